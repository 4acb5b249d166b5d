#include "device/propertyAccess.h"

#include "tqapal/tCompactStatus.h"

namespace nTQVLKAET100 {

using nTQAPAL000::isFatal;
using nTQAPAL000::mergeStatus;
using nTQAPAL000::requestInto;
using nTQAPAL000::tCompactStatus;
using nTQAPAL000::tStatus;

std::uint32_t queryPropertySize(iInterfaceProxy_ae& proxy, std::uint32_t port,
                                std::uint32_t propertyId, tStatus& status) {
  std::uint32_t size = 0;
  requestInto(status, [&](tCompactStatus& block) {
    proxy.getProperty(port, kAllSelectors, propertyId, nullptr, 0, size, block);
  });
  return isFatal(status) ? 0 : size;
}

std::vector<unsigned char> readPropertyValue(iInterfaceProxy_ae& proxy, std::uint32_t port,
                                             std::uint32_t propertyId, tStatus& status) {
  if (isFatal(status)) return {};
  // Each request starts from a clean block, as restore's requests do: a
  // warning of the size query does not travel with the read.
  tStatus sizeStatus;
  const std::uint32_t size = queryPropertySize(proxy, port, propertyId, sizeStatus);
  mergeStatus(status, sizeStatus);
  return readPropertyValueOfSize(proxy, port, propertyId, size, status);
}

std::vector<unsigned char> readPropertyValueOfSize(iInterfaceProxy_ae& proxy, std::uint32_t port,
                                                   std::uint32_t propertyId, std::uint32_t size,
                                                   tStatus& status) {
  if (isFatal(status)) return {};
  std::vector<unsigned char> value(size);
  std::uint32_t reported = 0;
  tStatus readStatus;
  requestInto(readStatus, [&](tCompactStatus& block) {
    proxy.getProperty(port, kAllSelectors, propertyId, value.data(), size, reported, block);
  });
  mergeStatus(status, readStatus);
  if (isFatal(status)) return {};
  // A value that shrank between the two requests keeps only its own bytes.
  if (reported < value.size()) value.resize(reported);
  return value;
}

void writePropertyValue(iInterfaceProxy_ae& proxy, std::uint32_t port, std::uint32_t propertyId,
                        const void* value, std::uint32_t size, tStatus& status) {
  requestInto(status, [&](tCompactStatus& block) {
    proxy.setProperty(port, kAllSelectors, propertyId, value, size, block);
  });
}

}  // namespace nTQVLKAET100
