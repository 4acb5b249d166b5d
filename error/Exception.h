// SPDX-License-Identifier: MIT
// The error library's exceptions: tqerr::ExceptionBase carries one JsonStatus
// (its code and detail text); tqerr::Exception adds std::exception and is the
// type thrown for a failed status at the boundary of every layer.
#ifndef ERROR_EXCEPTION_H_
#define ERROR_EXCEPTION_H_

#include <exception>

#include "error/JsonStatus.h"

namespace tqerr {

class ExceptionBase {
 public:
  ExceptionBase();
  // Takes over the status's code and buffer (merge-and-move).
  explicit ExceptionBase(JsonStatus& status);
  ExceptionBase(const ExceptionBase& other);
  ExceptionBase& operator=(const ExceptionBase&) = delete;
  virtual ~ExceptionBase();
  virtual const char* what() const noexcept;

  std::int32_t code() const { return status_.code; }
  const JsonStatus& status() const { return status_; }

 private:
  mutable JsonStatus status_;
};

class Exception : public virtual ExceptionBase, public virtual std::exception {
 public:
  Exception() = default;
  explicit Exception(JsonStatus& status) : ExceptionBase(status) {}
  Exception(const Exception& other) : ExceptionBase(other), std::exception(other) {}
  const char* what() const noexcept override { return ExceptionBase::what(); }
};

// Throws Exception taking over status when its code is negative and no
// exception is propagating; otherwise releases the status's text.
void throwIfFailed(JsonStatus& status);

}  // namespace tqerr

#endif  // ERROR_EXCEPTION_H_
