// Port property requests as a whole step each, on an open AE device: the
// size query (the read-only request restore makes before every write), the
// read of a value through a receive buffer, and the write. Each links the
// request's compact status block to the caller's tStatus and merges the
// driver's answer back into it with the component "tqvlkae": a driver
// warning stays a warning there, an error or a transport failure becomes
// the status's error. Nothing is sent when the status already holds an
// error. All requests go to every selector (kAllSelectors).
#ifndef DEVICE_PROPERTYACCESS_H_
#define DEVICE_PROPERTYACCESS_H_

#include <cstdint>
#include <vector>

#include "device/iInterfaceProxy_ae.h"
#include "tqapal/tStatus.h"

namespace nTQVLKAET100 {

// The property's size in bytes, as the driver reports it (getProperty with no
// buffer); 0 when status holds an error.
std::uint32_t queryPropertySize(iInterfaceProxy_ae& proxy, std::uint32_t port,
                                std::uint32_t propertyId, nTQAPAL000::tStatus& status);

// Reads the property's current value: the size query, then getProperty with a
// receive buffer of that size. Read-only. Empty when status holds an error.
std::vector<unsigned char> readPropertyValue(iInterfaceProxy_ae& proxy, std::uint32_t port,
                                             std::uint32_t propertyId, nTQAPAL000::tStatus& status);

// The read alone, for a size already queried (a read-only pass asks each
// property's size once).
std::vector<unsigned char> readPropertyValueOfSize(iInterfaceProxy_ae& proxy, std::uint32_t port,
                                                   std::uint32_t propertyId, std::uint32_t size,
                                                   nTQAPAL000::tStatus& status);

// Writes size bytes at value to the property (setProperty).
void writePropertyValue(iInterfaceProxy_ae& proxy, std::uint32_t port, std::uint32_t propertyId,
                        const void* value, std::uint32_t size, nTQAPAL000::tStatus& status);

}  // namespace nTQVLKAET100

#endif  // DEVICE_PROPERTYACCESS_H_
