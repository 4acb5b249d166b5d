// SPDX-License-Identifier: MIT
#include "error/Exception.h"

namespace tqerr {

ExceptionBase::ExceptionBase() = default;

ExceptionBase::ExceptionBase(JsonStatus& status) {
  mergeAndMove(status_, status, nullptr);
}

// The copy takes the source's buffer over instead of duplicating it, so that
// copying an exception in flight cannot fail for want of memory.
ExceptionBase::ExceptionBase(const ExceptionBase& other) {
  mergeAndMove(status_, other.status_, nullptr);
}

ExceptionBase::~ExceptionBase() {
  release(status_);
}

const char* ExceptionBase::what() const noexcept {
  return status_.text != nullptr ? status_.text : "";
}

void throwIfFailed(JsonStatus& status) {
  if (status.code < 0 && std::uncaught_exceptions() == 0) throw Exception(status);
  release(status);
}

}  // namespace tqerr
