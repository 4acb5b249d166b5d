// SPDX-License-Identifier: MIT
#include "error/cExceptionBase.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "error/Exception.h"

namespace nTQVLKAET100 {
namespace nENSPAN000 {

namespace {

constexpr std::int32_t kCodeOutOfMemory = static_cast<std::int32_t>(0xBFF63010u);
constexpr std::int32_t kCodeNullBuffer = static_cast<std::int32_t>(0xBFF63259u);
constexpr std::int32_t kCodeBufferTooSmall = static_cast<std::int32_t>(0xBFF63258u);

}  // namespace

cExceptionBase::cExceptionBase(std::uint32_t module, std::uint32_t fileNumber, std::uint32_t line,
                               std::int32_t code)
    : text_{}, code_(0), location_(0) {
  store(code, module, fileNumber, line, Kind::kWithCode);
}

cExceptionBase::cExceptionBase(std::uint32_t module, std::uint32_t fileNumber, std::uint32_t line)
    : text_{}, code_(0), location_(0) {
  store(1, module, fileNumber, line, Kind::kWithoutCode);
}

cExceptionBase::cExceptionBase(std::uint32_t module, std::uint32_t fileNumber, std::uint32_t line,
                               AdoptedCode adopted)
    : text_{}, code_(0), location_(0) {
  store(adopted.code, module, fileNumber, line, Kind::kAdopted);
}

cExceptionBase::~cExceptionBase() = default;

void cExceptionBase::store(std::int32_t code, std::uint32_t module, std::uint32_t fileNumber,
                           std::uint32_t line, Kind kind) {
  // A location already stored (bit 31 set) is the first site and stays.
  if (static_cast<std::int32_t>(location_) < 0) return;
  code_ = code;
  location_ = 0x80000000u | (module & 0x1Fu) << 26 | (fileNumber & 0x3FFu) << 16 |
              (static_cast<std::uint32_t>(kind) & 0x3u) << 14 | (line & 0x3FFFu);
}

const char* cExceptionBase::what() const noexcept {
  std::snprintf(text_, sizeof text_, "0x%08X", static_cast<unsigned>(code_));
  return text_;
}

void translateCurrentException() {
  try {
    throw;
  } catch (const tqerr::ExceptionBase& e) {
    throw cExceptionBase(kModule, kFileNumber, 59, cExceptionBase::AdoptedCode{e.code()});
  } catch (const std::bad_alloc&) {
    throw cExceptionBase(kModule, kFileNumber, 63, kCodeOutOfMemory);
  }
}

void boundedCopy(const std::string& text, char* buffer, std::uint64_t size) {
  if (buffer == nullptr && size != 0)
    throw cExceptionBase(kModule, kFileNumber, 71, kCodeNullBuffer);
  if (size < text.size() + 1) throw cExceptionBase(kModule, kFileNumber, 76, kCodeBufferTooSmall);
  std::memcpy(buffer, text.c_str(), text.size() + 1);
}

}  // namespace nENSPAN000
}  // namespace nTQVLKAET100
