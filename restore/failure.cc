#include "restore/failure.h"

#include <exception>
#include <sstream>

#include "error/Exception.h"
#include "restore/reports.h"

namespace nTQVLKAET100 {

tRestoreFailure currentFailure() {
  tRestoreFailure failure;
  std::ostringstream line;
  try {
    throw;
  } catch (const tqerr::ExceptionBase& error) {
    failure.code = error.code();
    reportError(line, error);
  } catch (const std::exception& exception) {
    reportException(line, exception);
  } catch (...) {
    reportUnknownException(line);
  }
  failure.report = line.str();
  if (!failure.report.empty() && failure.report.back() == '\n') failure.report.pop_back();
  return failure;
}

void writeFailure(std::ostream& err, const tRestoreFailure& failure) {
  err << failure.report << std::endl;
}

}  // namespace nTQVLKAET100
