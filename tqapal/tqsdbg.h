// SPDX-License-Identifier: MIT
// tqsdbg_printf: the console output primitive of the trace facility. It
// formats into a 512-byte buffer (a longer message is cut to 511 characters)
// and hands the text to the process-wide output function, which writes it to
// standard error unchanged (no newline is added). Both the output and the
// format function are replaceable, so a host program can redirect traces.
#ifndef TQAPAL_TQSDBG_H_
#define TQAPAL_TQSDBG_H_

#include <cstdarg>
#include <cstddef>

namespace nTQVLKAET100 {
namespace nTQAPAL000 {

typedef void (*tqsdbgOutputFunction)(const char* text);
typedef int (*tqsdbgFormatFunction)(char* buffer, std::size_t size, const char* format,
                                    std::va_list arguments);

extern tqsdbgOutputFunction tqsdbg_output;
extern tqsdbgFormatFunction tqsdbg_format;

constexpr std::size_t kTqsdbgBufferSize = 512;

void tqsdbg_printf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Writes value in base into buffer (NUL-terminated) and returns the position
// of the NUL. Base 16 is prefixed "0x", base 10 has no prefix, any other base
// is prefixed with the base in decimal and '#'; digits above 9 are upper-case.
// buffer must hold at least 70 bytes.
char* integerToText(unsigned long long value, unsigned base, char* buffer);

}  // namespace nTQAPAL000
}  // namespace nTQVLKAET100

#endif  // TQAPAL_TQSDBG_H_
