// The report lines that a failed run of restore writes to standard error:
// one line per run, "Error (<code>): <detail>" for a failed status carried
// by a tqerr exception, "Exception (<mangled type>): <what>" for any other
// std::exception, and a fixed line for anything else. The tool's report is
// part of its contract: these are its only spellings, and the companion
// quotes them so that a verdict can be matched with the journal.
#ifndef RESTORE_REPORTS_H_
#define RESTORE_REPORTS_H_

#include <exception>
#include <ostream>

#include "error/Exception.h"

namespace nTQVLKAET100 {

// The tool's exit statuses for a run of work: 0 when it returned, 1 when it
// failed (app/exitStatus.h names them for the tool).
constexpr int kReportedSuccess = 0;
constexpr int kReportedFailure = 1;

// Each writes one report line with its line end, and flushes.
void reportError(std::ostream& err, const tqerr::ExceptionBase& error);
void reportException(std::ostream& err, const std::exception& exception);
// An exception of a type the tool does not know.
void reportUnknownException(std::ostream& err);

// Runs work; whatever it throws becomes one report line on err. Returns
// kReportedSuccess when work returned, kReportedFailure when it threw. A
// template, not a std::function: wrapping the work must not allocate, since
// a full memory is among the failures reported here.
template <typename Work>
int runReported(std::ostream& err, Work&& work) {
  try {
    work();
    return kReportedSuccess;
  } catch (const tqerr::ExceptionBase& error) {
    reportError(err, error);
  } catch (const std::exception& exception) {
    reportException(err, exception);
  } catch (...) {
    reportUnknownException(err);
  }
  return kReportedFailure;
}

}  // namespace nTQVLKAET100

#endif  // RESTORE_REPORTS_H_
