// One failure of restore as a value: the status code, the report line the
// tool writes for it (restore/reports.h) and the settings line of the entry
// it happened at. It is built once, where the failure happens, from the
// exception the lower layers throw there; from then on it is passed and
// compared, never thrown again, so that the companion reads the code and the
// report without rethrowing anything.
//
// captureFailure is the one place where a throwing step of restore becomes
// such a value. A full memory (std::bad_alloc) is not captured: it ends the
// run, as it always has.
#ifndef RESTORE_FAILURE_H_
#define RESTORE_FAILURE_H_

#include <cstdint>
#include <new>
#include <optional>
#include <ostream>
#include <string>

namespace nTQVLKAET100 {

struct tRestoreFailure {
  std::int32_t code = 0;   // the status code; 0 for an exception that carries none
  std::string report;      // the report line without its line end
  unsigned long line = 0;  // the entry's line in the settings file; 0: none known
};

// The failure value of the exception being handled; call it only inside a
// catch handler.
tRestoreFailure currentFailure();

// Writes the failure as the tool's report line, with its line end.
void writeFailure(std::ostream& err, const tRestoreFailure& failure);

// Runs work; nothing when it returned, else what it threw as a value.
template <typename Work>
std::optional<tRestoreFailure> captureFailure(Work&& work) {
  try {
    work();
    return std::nullopt;
  } catch (const std::bad_alloc&) {
    throw;
  } catch (...) {
    return currentFailure();
  }
}

}  // namespace nTQVLKAET100

#endif  // RESTORE_FAILURE_H_
