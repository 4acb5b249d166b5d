// SPDX-License-Identifier: MIT
// The request procedure of the AE proxy on arbitrary records: a caller's
// tStatus of any content goes into a compact adaptor, one property request
// is issued, and the adaptor is merged back. The device is a stand-in whose
// ioctl either fails with an arbitrary transport record (the road through
// compactFromStatus) or answers with an arbitrary reply record.
//
// Invariants: the block's file field is always terminated; a caller's error
// is never replaced and stops the request from being sent; a transport
// failure reaches the block as its code, line and base name cut to 23
// characters; a reply reaches it byte for byte. compactFromStatus is also run
// on its own on arbitrary pairs of records.
#include <cstdint>
#include <cstring>
#include <string>

#include "device/tInterfaceProxy_ae.h"
#include "error/Exception.h"
#include "error/json.h"
#include "fuzz/fuzzCheck.h"
#include "tqapal/tCompactStatus.h"
#include "tqapal/tStatus.h"

namespace {

using nTQVLKAET100::nTQAPAL000::compactFromStatus;
using nTQVLKAET100::nTQAPAL000::kStatusFullSize;
using nTQVLKAET100::nTQAPAL000::tCompactStatus;
using nTQVLKAET100::nTQAPAL000::tCompactStatusAdaptor;
using nTQVLKAET100::nTQAPAL000::tStatus;
using tqfuzz::check;

// The input, read in fixed-size pieces; missing bytes are zero.
class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  void take(void* out, std::size_t n) {
    std::memset(out, 0, n);
    const std::size_t available = offset_ < size_ ? size_ - offset_ : 0;
    std::memcpy(out, data_ + offset_, n < available ? n : available);
    offset_ += n;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t offset_ = 0;
};

bool terminated(const tCompactStatus& block) {
  return strnlen(block.file, sizeof(block.file)) < sizeof(block.file) && block.file[23] == 0;
}

// What compactFromStatus must leave in a block that held no error.
tCompactStatus expectedCompact(const tStatus& full) {
  tCompactStatus block;
  std::memset(&block, 0, sizeof(block));
  block.code = static_cast<std::int32_t>(full.code);
  if (full.structSize < kStatusFullSize) return block;
  block.line = static_cast<std::uint32_t>(full.line);
  const std::string file(full.file, strnlen(full.file, sizeof(full.file)));
  const std::size_t slash = file.rfind('/');
  const std::string base = slash == std::string::npos ? file : file.substr(slash + 1);
  std::memcpy(block.file, base.data(), base.size() < 23 ? base.size() : 23);
  return block;
}

bool sameCompact(const tCompactStatus& a, const tCompactStatus& b) {
  return a.code == b.code && a.line == b.line && std::strncmp(a.file, b.file, sizeof(a.file)) == 0;
}

// A device that answers from the input instead of a driver.
class tScriptedProxy : public nTQVLKAET100::tInterfaceProxy_ae {
 public:
  tScriptedProxy(bool fails, const tStatus& transport, const unsigned char (&reply)[36])
      : fails_(fails), transport_(transport) {
    std::memcpy(reply_, reply, sizeof(reply_));
  }

  std::uint32_t ioctl(std::uint32_t, const void*, std::uint32_t, void* output,
                      std::uint32_t outputSize, tStatus& status) override {
    ++requests;
    if (fails_) {
      std::memcpy(&status, &transport_, sizeof(status));
      return 0;
    }
    std::memcpy(output, reply_, outputSize < sizeof(reply_) ? outputSize : sizeof(reply_));
    return outputSize;
  }

  int requests = 0;

 private:
  bool fails_;
  tStatus transport_;
  unsigned char reply_[36];
};

void checkRequest(Input& input) {
  std::uint8_t mode = 0;
  input.take(&mode, 1);
  tStatus owner;
  input.take(&owner, sizeof(owner));
  tStatus transport;
  input.take(&transport, sizeof(transport));
  // An ioctl failure is a transport status that holds an error.
  if (transport.code >= 0) transport.code = -1 - transport.code;
  unsigned char reply[36];
  input.take(reply, sizeof(reply));
  const bool fails = (mode & 1) != 0;
  const bool get = (mode & 2) != 0;

  const tStatus ownerBefore = owner;
  tCompactStatusAdaptor adaptor(owner);
  check(terminated(adaptor.block()), "the adaptor's file field is not terminated");
  check(adaptor.block().code == static_cast<std::int32_t>(owner.code),
        "the adaptor did not take the caller's code");
  const tCompactStatus sent = adaptor.block();

  tScriptedProxy proxy(fails, transport, reply);
  std::uint32_t size = 0x5A5A5A5A;
  const std::uint8_t value = 1;
  if (get) {
    proxy.getProperty(0, 0xFFFFFFFF, 0x13FFF7, nullptr, 0, size, adaptor);
  } else {
    proxy.setProperty(0, 0xFFFFFFFF, 0x13FFF7, &value, 1, adaptor);
  }
  const tCompactStatus& block = adaptor.block();
  check(terminated(block) || (!fails && proxy.requests == 1),
        "a transport failure left the file field unterminated");
  if (sent.code < 0) {
    check(proxy.requests == 0, "a request was sent on a failed status");
    check(std::memcmp(&block, &sent, sizeof(block)) == 0, "a failed block was changed");
    check(size == 0x5A5A5A5A, "a request not sent gave a result");
  } else if (fails) {
    check(sameCompact(block, expectedCompact(transport)),
          "a transport failure reached the block wrongly");
    check(size == 0x5A5A5A5A, "a failed request gave a result");
  } else {
    const std::size_t at = get ? 4 : 0;
    check(std::memcmp(&block, reply + at, sizeof(block)) == 0,
          "the driver's answer did not replace the block");
    if (get) check(std::memcmp(&size, reply, 4) == 0, "the reply's size was not taken");
  }
  // A caller's error whose code the 32-bit block can carry never lets a
  // request out.
  if (owner.code < 0 && owner.code >= INT32_MIN) {
    check(proxy.requests == 0, "a request was sent for a caller that had failed");
  }

  // A driver's reply may leave the block unterminated; the merge must not
  // read past it.
  const bool taken = adaptor.mergeBack();
  if (ownerBefore.code < 0) {
    check(!taken && std::memcmp(&owner, &ownerBefore, sizeof(owner)) == 0,
          "the first error was replaced");
    return;
  }
  if (!taken || owner.structSize < kStatusFullSize) return;
  check(std::strcmp(owner.component, "tqvlkae") == 0, "a merged answer lost its component");
  check(strnlen(owner.file, sizeof(owner.file)) < sizeof(owner.file),
        "a merged answer left the file unterminated");
  check(owner.code == block.code, "a merged answer has another code");
  // The report the entry point would print for it.
  try {
    nTQVLKAET100::nTQAPAL000::throwIfFatal(owner);
    check(owner.code >= 0, "throwIfFatal let an error pass");
  } catch (const tqerr::Exception& error) {
    const char* component = tqerr::json::findMember(error.what(), "component");
    check(component != nullptr && std::strncmp(component, "\"tqvlkae\"", 9) == 0,
          "the report lost the driver's component");
    check(error.what()[0] == '{' && tqerr::json::findContainerEnd(error.what()) != nullptr,
          "the report's detail is not one well-formed object");
  }
}

void checkCompactFromStatus(Input& input) {
  tCompactStatus compact;
  input.take(&compact, sizeof(compact));
  tStatus full;
  input.take(&full, sizeof(full));
  const tCompactStatus before = compact;
  compactFromStatus(compact, full);
  if (before.code < 0) {
    check(std::memcmp(&compact, &before, sizeof(compact)) == 0, "the first error was replaced");
    return;
  }
  check(terminated(compact), "compactFromStatus left the file unterminated");
  check(sameCompact(compact, expectedCompact(full)), "compactFromStatus gave another block");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input request(data, size);
  checkRequest(request);
  Input records(data, size);
  checkCompactFromStatus(records);
  return 0;
}
