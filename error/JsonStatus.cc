// SPDX-License-Identifier: MIT
#include "error/JsonStatus.h"

#include <cstdlib>
#include <cstring>

#include "error/mergeRule.h"

namespace tqerr {

namespace {

constexpr std::uint32_t kMinimumCapacity = 512;
constexpr std::uint32_t kLargestText = 0x7FFFFFFD;
constexpr std::uint32_t kLargestCapacity = 0x7FFFFFFF;

std::uint32_t roundUpToPowerOfTwo(std::uint32_t n) {
  std::uint32_t power = 1;
  while (power < n) power <<= 1;
  return power;
}

}  // namespace

const ErrorLocation kAllocatorLocation = {"tqhtl/err/Allocator", 32, "tqvlkaepropinit",
                                          "tqapalerr_memoryFull"};

bool defaultReallocate(JsonStatus& status, std::uint32_t newCapacity) {
  if (newCapacity == 0) {
    std::free(status.text);
    status.text = nullptr;
    status.capacity = 0;
    return true;
  }
  if (newCapacity <= status.capacity) return true;
  if (newCapacity > kLargestCapacity) return false;
  const std::uint32_t capacity =
      newCapacity <= kMinimumCapacity ? kMinimumCapacity : roundUpToPowerOfTwo(newCapacity);
  char* buffer = static_cast<char*>(std::malloc(capacity));
  if (buffer == nullptr) return false;
  if (json::initBuffer(buffer, capacity, status.text ? status.text : "{}") == nullptr) {
    std::free(buffer);
    return false;
  }
  std::free(status.text);
  status.text = buffer;
  status.capacity = capacity;
  return true;
}

JsonStatus::JsonStatus(JsonStatus&& other) noexcept
    : code(other.code), capacity(other.capacity), reallocate(other.reallocate), text(other.text) {
  other.capacity = 0;
  other.text = nullptr;
}

JsonStatus& JsonStatus::operator=(JsonStatus&& other) noexcept {
  if (this == &other) return *this;
  release(*this);
  code = other.code;
  capacity = other.capacity;
  reallocate = other.reallocate;
  text = other.text;
  other.capacity = 0;
  other.text = nullptr;
  return *this;
}

JsonStatus::~JsonStatus() {
  release(*this);
}

void release(JsonStatus& status) {
  if (status.text != nullptr && status.reallocate != nullptr) status.reallocate(status, 0);
}

bool mergeCode(JsonStatus& status, std::int32_t code) {
  if (!mergeTakes(status.code, code)) return false;
  status.code = code;
  // The detail belonged to the code that was replaced.
  if (status.text != nullptr) json::initBuffer(status.text, status.capacity, "{}");
  return true;
}

bool setText(JsonStatus& status, const char* text) {
  const std::size_t length = text ? std::strlen(text) : 2;
  if (length > kLargestText) return false;
  const std::uint32_t needed = static_cast<std::uint32_t>(length) + 2;
  if (status.capacity < needed || status.text == nullptr) {
    if (status.reallocate == nullptr || !status.reallocate(status, needed)) return false;
    if (status.text == nullptr || status.capacity < needed) return false;
  }
  return json::initBuffer(status.text, status.capacity, text ? text : "{}") != nullptr;
}

bool copy(JsonStatus& destination, const JsonStatus& source) {
  if (&destination == &source) return true;
  if (source.capacity == 0 || source.text == nullptr) {
    release(destination);
    destination.code = source.code;
    return true;
  }
  if (!setText(destination, source.text)) return false;
  destination.code = source.code;
  return true;
}

void mergeAndCopy(JsonStatus& destination, const JsonStatus& source, bool* ok) {
  if (&destination == &source) return;
  if (!mergeCode(destination, source.code) || source.text == nullptr) return;
  if (!setText(destination, source.text) && ok) *ok = false;
}

void mergeAndMove(JsonStatus& destination, JsonStatus& source, bool* ok) {
  if (&destination == &source) return;
  if (!mergeCode(destination, source.code) || source.text == nullptr) return;
  if (destination.reallocate != source.reallocate) {
    if (!setText(destination, source.text) && ok) *ok = false;
    return;
  }
  release(destination);
  destination.capacity = source.capacity;
  destination.text = source.text;
  source.capacity = 0;
  source.text = nullptr;
}

char* reserve(JsonStatus& status, std::uint32_t n) {
  if (n > kLargestText) return nullptr;
  const std::uint32_t needed = n + 2;
  if (status.capacity < needed || status.text == nullptr) {
    if (status.reallocate == nullptr || !status.reallocate(status, needed)) return nullptr;
    if (status.text == nullptr || status.capacity < needed) return nullptr;
  }
  return const_cast<char*>(json::findContainerEnd(status.text));
}

char* grow(char* position, void* context) {
  JsonStatus* status = static_cast<JsonStatus*>(context);
  if (position == nullptr || status == nullptr || status->text == nullptr) return nullptr;
  const std::size_t offset = static_cast<std::size_t>(position - status->text);
  const std::uint32_t before = status->capacity;
  if (reserve(*status, before * 2u - 4u) == nullptr) return nullptr;
  // A buffer that did not get larger would have the writer retry forever.
  if (status->capacity <= before) return nullptr;
  return status->text + offset;
}

char* setCodeWithLocation(JsonStatus& status, std::int32_t code, const ErrorLocation& location,
                          bool* ok) {
  if (!mergeCode(status, code)) return nullptr;
  if (!setText(status, nullptr)) {
    if (ok) *ok = false;
    return nullptr;
  }
  const json::Grower growth = grower(status);
  char* at = const_cast<char*>(json::findContainerEnd(status.text));
  at = json::appendString(at, "error_constant", location.errorConstant, growth);
  at = json::appendString(at, "file", location.file, growth);
  at = json::appendInt(at, "line", location.line, growth);
  if (location.component != nullptr && location.component[0] != 0) {
    at = json::appendString(at, "component", location.component, growth);
  }
  if (at == nullptr && ok) *ok = false;
  return at;
}

}  // namespace tqerr
