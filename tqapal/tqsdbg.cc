// SPDX-License-Identifier: MIT
#include "tqapal/tqsdbg.h"

#include <cstdio>

namespace nTQVLKAET100 {
namespace nTQAPAL000 {

namespace {

void writeToStandardError(const char* text) { std::fputs(text, stderr); }

int formatWithVsnprintf(char* buffer, std::size_t size, const char* format,
                        std::va_list arguments) {
  return std::vsnprintf(buffer, size, format, arguments);
}

}  // namespace

tqsdbgOutputFunction tqsdbg_output = writeToStandardError;
tqsdbgFormatFunction tqsdbg_format = formatWithVsnprintf;

void tqsdbg_printf(const char* format, ...) {
  char buffer[kTqsdbgBufferSize];
  buffer[0] = 0;
  std::va_list arguments;
  va_start(arguments, format);
  tqsdbg_format(buffer, sizeof(buffer), format, arguments);
  va_end(arguments);
  buffer[sizeof(buffer) - 1] = 0;
  tqsdbg_output(buffer);
}

char* integerToText(unsigned long long value, unsigned base, char* buffer) {
  char* out = buffer;
  if (base == 16) {
    *out++ = '0';
    *out++ = 'x';
  } else if (base != 10) {
    out += std::snprintf(out, 4, "%u", base);
    *out++ = '#';
  }
  if (base < 2 || base > 36) {
    *out = 0;
    return out;
  }
  char digits[64];
  int count = 0;
  do {
    const unsigned digit = static_cast<unsigned>(value % base);
    digits[count++] = static_cast<char>(digit < 10 ? '0' + digit : 'A' + (digit - 10));
    value /= base;
  } while (value != 0);
  while (count > 0) *out++ = digits[--count];
  *out = 0;
  return out;
}

}  // namespace nTQAPAL000
}  // namespace nTQVLKAET100
