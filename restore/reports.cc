#include "restore/reports.h"

#include <typeinfo>

namespace nTQVLKAET100 {

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
