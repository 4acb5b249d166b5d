// SPDX-License-Identifier: MIT
// The report lines that a failed run writes to standard error: one line per
// run, "Error (" for a failed status carried by a tqerr exception, "Exception
// (" with the mangled dynamic type name for any other std::exception.
#ifndef APP_REPORTS_H_
#define APP_REPORTS_H_

#include <exception>
#include <ostream>

#include "app/exitStatus.h"
#include "error/Exception.h"

namespace nTQVLKAET100 {

void reportError(std::ostream& err, const tqerr::ExceptionBase& error);
void reportException(std::ostream& err, const std::exception& exception);
// An exception of a type the tool does not know.
void reportUnknownException(std::ostream& err);

// Runs work; whatever it throws becomes one report line on err. Returns the
// exit status: success when work returned, failure when it threw. A
// template, not a std::function: wrapping the work must not allocate, since
// a full memory is among the failures reported here.
template <typename Work>
int runReported(std::ostream& err, Work&& work) {
  try {
    work();
    return kExitSuccess;
  } catch (const tqerr::ExceptionBase& error) {
    reportError(err, error);
  } catch (const std::exception& exception) {
    reportException(err, exception);
  } catch (...) {
    reportUnknownException(err);
  }
  return kExitFailure;
}

}  // namespace nTQVLKAET100

#endif  // APP_REPORTS_H_
