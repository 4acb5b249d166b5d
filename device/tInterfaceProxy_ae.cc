// SPDX-License-Identifier: MIT
#include "device/tInterfaceProxy_ae.h"

#include <cstring>
#include <utility>

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

// The steps every AE request shares, in one place: nothing is sent once the
// caller's block holds an error; otherwise a zeroed request record gets the
// arguments (fill) and the caller's block, and is exchanged for the reply.
// Returns true when the driver answered, so that the reply's results may be
// taken.
template <typename Request, typename Reply, typename Fill>
bool send(nTQAPAL000::iInterfaceProxy& proxy, std::uint32_t code, Reply& reply,
          tCompactStatus& status, Fill&& fill) {
  reply = blank<Reply>();
  if (nTQAPAL000::isFatal(status)) return false;
  auto request = blank<Request>();
  fill(request);
  request.status = status;
  return exchange(proxy, code, request, reply, status);
}

// A request whose reply holds only the driver's status.
template <typename Request, typename Fill>
void send(nTQAPAL000::iInterfaceProxy& proxy, std::uint32_t code, tCompactStatus& status,
          Fill&& fill) {
  ae::tStatusReply reply;
  send<Request>(proxy, code, reply, status, std::forward<Fill>(fill));
}

void noArguments(ae::tStatusOnlyRequest&) {}

// The fields of setProperty and getProperty.
auto propertyFields(std::uint32_t port, std::uint32_t selector, std::uint32_t propertyId,
                    const void* buffer, std::uint32_t bufferSize) {
  return [=](ae::tPropertyRequest& r) {
    r.port = port;
    r.selector = selector;
    r.propertyId = propertyId;
    r.buffer = reinterpret_cast<std::uintptr_t>(buffer);
    r.bufferSize = bufferSize;
  };
}

// Fillers for the records whose leading fields are named a, b, c, d.
template <typename A, typename B>
auto fields(A a, B b) {
  return [=](auto& r) {
    r.a = a;
    r.b = b;
  };
}

template <typename A, typename B, typename C>
auto fields(A a, B b, C c) {
  return [=](auto& r) {
    fields(a, b)(r);
    r.c = c;
  };
}

template <typename A, typename B, typename C, typename D>
auto fields(A a, B b, C c, D d) {
  return [=](auto& r) {
    fields(a, b, c)(r);
    r.d = d;
  };
}

}  // namespace

void tInterfaceProxy_ae::aeRequest01(u32 a, u32 b, u32 c, u32 d, u32& value,
                                     tCompactStatus& status) {
  ae::tU32Reply reply;
  if (send<ae::tU32x4Request>(*this, ae::kAeRequest01, reply, status, fields(a, b, c, d))) {
    value = reply.value;
  }
}

void tInterfaceProxy_ae::aeRequest02(u32 a, u32 b, tCompactStatus& status) {
  sendU32x2(ae::kAeRequest02, a, b, status);
}

void tInterfaceProxy_ae::aeRequest03(u32 a, u32 b, u64 c, u64 d, tCompactStatus& status) {
  send<ae::tU32x2U64x2Request>(*this, ae::kAeRequest03, status, fields(a, b, c, d));
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
  send<ae::tPropertyRequest>(*this, ae::kSetProperty, status,
                             propertyFields(port, selector, propertyId, buffer, bufferSize));
}

void tInterfaceProxy_ae::getProperty(u32 port, u32 selector, u32 propertyId, void* buffer,
                                     u32 bufferSize, u32& size, tCompactStatus& status) {
  ae::tU32Reply reply;
  if (send<ae::tPropertyRequest>(*this, ae::kGetProperty, reply, status,
                                 propertyFields(port, selector, propertyId, buffer, bufferSize))) {
    size = reply.value;
  }
}

void tInterfaceProxy_ae::aeRequest0B(u64 a, u32 b, tCompactStatus& status) {
  send<ae::tU64U32Request>(*this, ae::kAeRequest0B, status, fields(a, b));
}

void tInterfaceProxy_ae::aeRequest0C(u32 a, u32 b, u32 c, u32 d, u64 (&values)[3],
                                     tCompactStatus& status) {
  ae::tU64x3Reply reply;
  if (send<ae::tU32x4Request>(*this, ae::kAeRequest0C, reply, status, fields(a, b, c, d))) {
    for (int i = 0; i < 3; ++i) values[i] = reply.values[i];
  }
}

void tInterfaceProxy_ae::aeRequest0D(u32 a, u32 b, u32 c, u32 d, tCompactStatus& status) {
  sendU32x4(ae::kAeRequest0D, a, b, c, d, status);
}

void tInterfaceProxy_ae::aeRequest0E(u32 a, u32 b, u64 c, u64& value, u32 e,
                                     tCompactStatus& status) {
  ae::tU64Reply reply;
  if (send<ae::tValueRequest>(*this, ae::kAeRequest0E, reply, status, [&](auto& r) {
        fields(a, b, c)(r);
        r.value = value;
        r.e = e;
      })) {
    value = reply.value;
  }
}

void tInterfaceProxy_ae::aeRequest0F(u32 a, u32 b, u32 c, u32 d, tCompactStatus& status) {
  sendU32x4(ae::kAeRequest0F, a, b, c, d, status);
}

void tInterfaceProxy_ae::aeRequest10(u32 a, u32 b, u32 c, u32 d, tCompactStatus& status) {
  sendU32x4(ae::kAeRequest10, a, b, c, d, status);
}

void tInterfaceProxy_ae::aeRequest11(u32 a, u32 b, u64 c, u32 d, tCompactStatus& status) {
  send<ae::tU32x2U64U32Request>(*this, ae::kAeRequest11, status, fields(a, b, c, d));
}

void tInterfaceProxy_ae::aeRequest13(tCompactStatus& status) {
  send<ae::tStatusOnlyRequest>(*this, ae::kAeRequest13, status, noArguments);
}

void tInterfaceProxy_ae::aeRequest14(tCompactStatus& status) {
  send<ae::tStatusOnlyRequest>(*this, ae::kAeRequest14, status, noArguments);
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
  send<ae::tU32x3Request>(*this, ae::kAeRequest18, status, fields(a, b, c));
}

void tInterfaceProxy_ae::aeRequest19(u32 a, u32 b, u64 c, tCompactStatus& status) {
  send<ae::tU32x2U64Request>(*this, ae::kAeRequest19, status, fields(a, b, c));
}

// The record shapes that several requests share.
void tInterfaceProxy_ae::sendU32x2(u32 code, u32 a, u32 b, tCompactStatus& status) {
  send<ae::tU32x2Request>(*this, code, status, fields(a, b));
}

void tInterfaceProxy_ae::sendU32x4(u32 code, u32 a, u32 b, u32 c, u32 d, tCompactStatus& status) {
  send<ae::tU32x4Request>(*this, code, status, fields(a, b, c, d));
}

void tInterfaceProxy_ae::sendValueU32x2(u32 code, u32 a, u32 b, u64 c, u64& value, u32 e, u32 f,
                                        tCompactStatus& status) {
  ae::tU64Reply reply;
  if (send<ae::tValueU32x2Request>(*this, code, reply, status, [&](auto& r) {
        fields(a, b, c)(r);
        r.value = value;
        r.e = e;
        r.f = f;
      })) {
    value = reply.value;
  }
}

}  // namespace nTQVLKAET100
