#include "device/tInterfaceProxy_ae.h"

#include <cstring>

#include "device/aeRecords.h"
#include "tqapal/tStatus.h"

namespace nTQVLKAET100 {

using nTQAPAL000::tCompactStatus;
using nTQAPAL000::tStatus;

namespace {

// A record with every byte 0, padding included: nothing of the caller's
// stack travels to the driver.
template <typename Record>
Record blank() {
  Record record;
  std::memset(&record, 0, sizeof(record));
  return record;
}

// The reply of a request without results: only its status block is set up.
ae::tStatusReply statusReply() {
  ae::tStatusReply reply;
  nTQAPAL000::clearCompact(reply.status);
  return reply;
}

bool alreadyFailed(const tCompactStatus& status) {
  return status.code < 0;
}

// Sends one request and takes the answer into the caller's block. Returns
// true when the driver answered, so that its results may be taken; false
// when the request was not delivered (the block then holds the transport
// failure unless it held an error before).
template <typename Request, typename Reply>
bool exchange(nTQAPAL000::iInterfaceProxy& proxy, std::uint32_t code, const Request& request,
              Reply& reply, tCompactStatus& status) {
  tStatus transport;
  proxy.ioctl(code, &request, sizeof(Request), &reply, sizeof(Reply), transport);
  if (nTQAPAL000::isFatal(transport)) {
    nTQAPAL000::compactFromStatus(status, transport);
    return false;
  }
  std::memcpy(&status, &reply.status, sizeof(status));
  return true;
}

}  // namespace

void tInterfaceProxy_ae::sendU32x2(u32 code, u32 a, u32 b, tCompactStatus& status) {
  ae::tStatusReply reply = statusReply();
  if (alreadyFailed(status)) return;
  auto request = blank<ae::tU32x2Request>();
  request.a = a;
  request.b = b;
  request.status = status;
  exchange(*this, code, request, reply, status);
}

void tInterfaceProxy_ae::sendU32x4(u32 code, u32 a, u32 b, u32 c, u32 d, tCompactStatus& status) {
  ae::tStatusReply reply = statusReply();
  if (alreadyFailed(status)) return;
  auto request = blank<ae::tU32x4Request>();
  request.a = a;
  request.b = b;
  request.c = c;
  request.d = d;
  request.status = status;
  exchange(*this, code, request, reply, status);
}

void tInterfaceProxy_ae::sendStatusOnly(u32 code, tCompactStatus& status) {
  ae::tStatusReply reply = statusReply();
  if (alreadyFailed(status)) return;
  auto request = blank<ae::tStatusOnlyRequest>();
  request.status = status;
  exchange(*this, code, request, reply, status);
}

void tInterfaceProxy_ae::sendValueU32x2(u32 code, u32 a, u32 b, u64 c, u64& value, u32 e, u32 f,
                                        tCompactStatus& status) {
  auto reply = blank<ae::tU64Reply>();
  if (alreadyFailed(status)) return;
  auto request = blank<ae::tValueU32x2Request>();
  request.a = a;
  request.b = b;
  request.c = c;
  request.value = value;
  request.e = e;
  request.f = f;
  request.status = status;
  if (exchange(*this, code, request, reply, status)) value = reply.value;
}

void tInterfaceProxy_ae::aeRequest01(u32 a, u32 b, u32 c, u32 d, u32& value,
                                     tCompactStatus& status) {
  auto reply = blank<ae::tU32Reply>();
  if (alreadyFailed(status)) return;
  auto request = blank<ae::tU32x4Request>();
  request.a = a;
  request.b = b;
  request.c = c;
  request.d = d;
  request.status = status;
  if (exchange(*this, ae::kAeRequest01, request, reply, status)) value = reply.value;
}

void tInterfaceProxy_ae::aeRequest02(u32 a, u32 b, tCompactStatus& status) {
  sendU32x2(ae::kAeRequest02, a, b, status);
}

void tInterfaceProxy_ae::aeRequest03(u32 a, u32 b, u64 c, u64 d, tCompactStatus& status) {
  ae::tStatusReply reply = statusReply();
  if (alreadyFailed(status)) return;
  auto request = blank<ae::tU32x2U64x2Request>();
  request.a = a;
  request.b = b;
  request.c = c;
  request.d = d;
  request.status = status;
  exchange(*this, ae::kAeRequest03, request, reply, status);
}

void tInterfaceProxy_ae::aeRequest04(u32 a, u32 b, tCompactStatus& status) {
  sendU32x2(ae::kAeRequest04, a, b, status);
}

void tInterfaceProxy_ae::aeRequest05(u32 a, u32 b, tCompactStatus& status) {
  sendU32x2(ae::kAeRequest05, a, b, status);
}

void tInterfaceProxy_ae::aeRequest06(u32 a, u32 b, tCompactStatus& status) {
  sendU32x2(ae::kAeRequest06, a, b, status);
}

void tInterfaceProxy_ae::setProperty(u32 port, u32 selector, u32 propertyId, const void* buffer,
                                     u32 bufferSize, tCompactStatus& status) {
  ae::tStatusReply reply = statusReply();
  if (alreadyFailed(status)) return;
  auto request = blank<ae::tPropertyRequest>();
  request.port = port;
  request.selector = selector;
  request.propertyId = propertyId;
  request.buffer = reinterpret_cast<std::uintptr_t>(buffer);
  request.bufferSize = bufferSize;
  request.status = status;
  exchange(*this, ae::kSetProperty, request, reply, status);
}

void tInterfaceProxy_ae::getProperty(u32 port, u32 selector, u32 propertyId, void* buffer,
                                     u32 bufferSize, u32& size, tCompactStatus& status) {
  auto reply = blank<ae::tU32Reply>();
  if (alreadyFailed(status)) return;
  auto request = blank<ae::tPropertyRequest>();
  request.port = port;
  request.selector = selector;
  request.propertyId = propertyId;
  request.buffer = reinterpret_cast<std::uintptr_t>(buffer);
  request.bufferSize = bufferSize;
  request.status = status;
  if (exchange(*this, ae::kGetProperty, request, reply, status)) size = reply.value;
}

void tInterfaceProxy_ae::aeRequest0B(u64 a, u32 b, tCompactStatus& status) {
  ae::tStatusReply reply = statusReply();
  if (alreadyFailed(status)) return;
  auto request = blank<ae::tU64U32Request>();
  request.a = a;
  request.b = b;
  request.status = status;
  exchange(*this, ae::kAeRequest0B, request, reply, status);
}

void tInterfaceProxy_ae::aeRequest0C(u32 a, u32 b, u32 c, u32 d, u64 (&values)[3],
                                     tCompactStatus& status) {
  auto reply = blank<ae::tU64x3Reply>();
  if (alreadyFailed(status)) return;
  auto request = blank<ae::tU32x4Request>();
  request.a = a;
  request.b = b;
  request.c = c;
  request.d = d;
  request.status = status;
  if (!exchange(*this, ae::kAeRequest0C, request, reply, status)) return;
  for (int i = 0; i < 3; ++i) values[i] = reply.values[i];
}

void tInterfaceProxy_ae::aeRequest0D(u32 a, u32 b, u32 c, u32 d, tCompactStatus& status) {
  sendU32x4(ae::kAeRequest0D, a, b, c, d, status);
}

void tInterfaceProxy_ae::aeRequest0E(u32 a, u32 b, u64 c, u64& value, u32 e,
                                     tCompactStatus& status) {
  auto reply = blank<ae::tU64Reply>();
  if (alreadyFailed(status)) return;
  auto request = blank<ae::tValueRequest>();
  request.a = a;
  request.b = b;
  request.c = c;
  request.value = value;
  request.e = e;
  request.status = status;
  if (exchange(*this, ae::kAeRequest0E, request, reply, status)) value = reply.value;
}

void tInterfaceProxy_ae::aeRequest0F(u32 a, u32 b, u32 c, u32 d, tCompactStatus& status) {
  sendU32x4(ae::kAeRequest0F, a, b, c, d, status);
}

void tInterfaceProxy_ae::aeRequest10(u32 a, u32 b, u32 c, u32 d, tCompactStatus& status) {
  sendU32x4(ae::kAeRequest10, a, b, c, d, status);
}

void tInterfaceProxy_ae::aeRequest11(u32 a, u32 b, u64 c, u32 d, tCompactStatus& status) {
  ae::tStatusReply reply = statusReply();
  if (alreadyFailed(status)) return;
  auto request = blank<ae::tU32x2U64U32Request>();
  request.a = a;
  request.b = b;
  request.c = c;
  request.d = d;
  request.status = status;
  exchange(*this, ae::kAeRequest11, request, reply, status);
}

void tInterfaceProxy_ae::aeRequest13(tCompactStatus& status) {
  sendStatusOnly(ae::kAeRequest13, status);
}

void tInterfaceProxy_ae::aeRequest14(tCompactStatus& status) {
  sendStatusOnly(ae::kAeRequest14, status);
}

void tInterfaceProxy_ae::aeRequest15(u32 a, u32 b, u64 c, u64& value, u32 e, u32 f,
                                     tCompactStatus& status) {
  sendValueU32x2(ae::kAeRequest15, a, b, c, value, e, f, status);
}

void tInterfaceProxy_ae::aeRequest17(u32 a, u32 b, u64 c, u64& value, u32 e, u32 f,
                                     tCompactStatus& status) {
  sendValueU32x2(ae::kAeRequest17, a, b, c, value, e, f, status);
}

void tInterfaceProxy_ae::aeRequest18(u32 a, u32 b, u32 c, tCompactStatus& status) {
  ae::tStatusReply reply = statusReply();
  if (alreadyFailed(status)) return;
  auto request = blank<ae::tU32x3Request>();
  request.a = a;
  request.b = b;
  request.c = c;
  request.status = status;
  exchange(*this, ae::kAeRequest18, request, reply, status);
}

void tInterfaceProxy_ae::aeRequest19(u32 a, u32 b, u64 c, tCompactStatus& status) {
  ae::tStatusReply reply = statusReply();
  if (alreadyFailed(status)) return;
  auto request = blank<ae::tU32x2U64Request>();
  request.a = a;
  request.b = b;
  request.c = c;
  request.status = status;
  exchange(*this, ae::kAeRequest19, request, reply, status);
}

}  // namespace nTQVLKAET100
