#include "app/reports.h"

#include <typeinfo>

#include "app/exitStatus.h"

namespace nTQVLKAET100 {

int runReported(std::ostream& err, const std::function<void()>& work) {
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

void reportError(std::ostream& err, const tqerr::ExceptionBase& error) {
  err << "Error (" << error.code() << "): " << error.what() << std::endl;
}

void reportException(std::ostream& err, const std::exception& exception) {
  err << "Exception (" << typeid(exception).name() << "): " << exception.what() << std::endl;
}

void reportUnknownException(std::ostream& err) {
  err << "Exception (unknown): the operation ended with an exception of unknown type" << std::endl;
}

}  // namespace nTQVLKAET100
