// SPDX-License-Identifier: MIT
#include "tqapal/tTrace.h"

#include <cstring>

#include "tqapal/tqsdbg.h"

namespace nTQVLKAET100 {
namespace nTQAPAL000 {

namespace {
constexpr char kDescription[] = " --destination apal";
}

iTraceDestination& tConsoleTraceDestination::write(const char* text) {
  tqsdbg_printf("%s", text);
  return *this;
}

iTraceDestination& tConsoleTraceDestination::write(const char* text, std::size_t length) {
  // "%.<length>s": print at most length characters of text.
  char format[80] = "%.";
  char* end = integerToText(length, 10, format + 2);
  end[0] = 's';
  end[1] = 0;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
  tqsdbg_printf(format, text);
#pragma GCC diagnostic pop
  return *this;
}

char* tConsoleTraceDestination::describe(char* buffer, std::size_t size, std::size_t* needed) {
  char* end = buffer;
  if (buffer != nullptr && size != 0) {
    std::size_t i = 0;
    while (i < size && kDescription[i] != 0) {
      buffer[i] = kDescription[i];
      ++i;
    }
    if (i < size) {
      buffer[i] = 0;
      end = buffer + i;
    } else {
      end = buffer + size;
    }
    buffer[size - 1] = 0;
  }
  if (needed != nullptr) *needed = sizeof(kDescription);
  return end;
}

tTrace::tTrace(iTraceDestination* destination)
    : destination_(destination),
      options_{1, 1, 0, 1, 1, 0, 0},
      flags_{0, 0, 1, 1},
      limit_(50),
      word_(0),
      mutex_(),
      mutexInitialised_(0),
      text_(),
      textStart_(text_.c_str()) {}

tTrace::~tTrace() {
  std::memset(options_, 0, sizeof(options_));
  if (flags_[1] != 0) {
    if (mutexInitialised_ != 0) pthread_mutex_destroy(&mutex_);
    mutexInitialised_ = 0;
    flags_[1] = 0;
  }
}

// Constructed during static initialisation, destroyed by the exit handlers.
// Defined here, in a source that is always linked into the program.
namespace {
tConsoleTraceDestination gConsoleDestination;
tTrace gTrace(&gConsoleDestination);
}  // namespace

tConsoleTraceDestination& consoleTraceDestination() { return gConsoleDestination; }
tTrace& processTrace() { return gTrace; }

}  // namespace nTQAPAL000
}  // namespace nTQVLKAET100
