// SPDX-License-Identifier: MIT
// The trace facility of the platform layer: a process-wide tTrace object that
// points at a trace destination, and the console destination, which writes to
// standard error through tqsdbg_printf. Both are set up during static
// initialisation and torn down by the exit handlers; nothing in the tool
// writes trace output, but the facility is complete so that a trace writer
// can be added without touching the start-up sequence.
#ifndef TQAPAL_TTRACE_H_
#define TQAPAL_TTRACE_H_

#include <pthread.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace nTQVLKAET100 {
namespace nTQAPAL000 {

class iTraceDestination {
 public:
  virtual ~iTraceDestination() = default;
  virtual iTraceDestination& write(const char* text) = 0;
  virtual iTraceDestination& write(const char* text, std::size_t length) = 0;
  virtual void flush() = 0;
  // Writes a description of the destination's command-line form into buffer
  // (cut and terminated when short), sets needed to the full size, returns
  // the end position.
  virtual char* describe(char* buffer, std::size_t size, std::size_t* needed) = 0;
  virtual bool isAvailable() = 0;
  virtual void reset() = 0;
  virtual const char* name() = 0;
};

class tConsoleTraceDestination : public iTraceDestination {
 public:
  iTraceDestination& write(const char* text) override;
  iTraceDestination& write(const char* text, std::size_t length) override;
  void flush() override {}
  char* describe(char* buffer, std::size_t size, std::size_t* needed) override;
  bool isAvailable() override { return true; }
  void reset() override {}
  const char* name() override { return "tqsdbg_printf"; }
};

class tTrace {
 public:
  explicit tTrace(iTraceDestination* destination);
  virtual ~tTrace();

  iTraceDestination* destination() const { return destination_; }
  const unsigned char* options() const { return options_; }
  const unsigned char* flags() const { return flags_; }
  std::uint64_t limit() const { return limit_; }
  std::uint64_t word() const { return word_; }

 private:
  iTraceDestination* destination_;
  unsigned char options_[7];
  unsigned char flags_[4];  // flags_[1]: the mutex was created
  std::uint64_t limit_;
  std::uint64_t word_;
  pthread_mutex_t mutex_;
  int mutexInitialised_;
  std::string text_;
  const char* textStart_;
};

// The process-wide objects.
tConsoleTraceDestination& consoleTraceDestination();
tTrace& processTrace();

}  // namespace nTQAPAL000
}  // namespace nTQVLKAET100

#endif  // TQAPAL_TTRACE_H_
