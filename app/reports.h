// The report lines that a failed run writes to standard error: one line per
// run, "Error (" for a failed status carried by a tqerr exception, "Exception
// (" with the mangled dynamic type name for any other std::exception.
#ifndef APP_REPORTS_H_
#define APP_REPORTS_H_

#include <exception>
#include <functional>
#include <ostream>

#include "error/Exception.h"

namespace nTQVLKAET100 {

// Runs work; whatever it throws becomes one report line on err. Returns the
// exit status: success when work returned, failure when it threw.
int runReported(std::ostream& err, const std::function<void()>& work);

void reportError(std::ostream& err, const tqerr::ExceptionBase& error);
void reportException(std::ostream& err, const std::exception& exception);
// An exception of a type the tool does not know.
void reportUnknownException(std::ostream& err);

}  // namespace nTQVLKAET100

#endif  // APP_REPORTS_H_
