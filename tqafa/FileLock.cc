// SPDX-License-Identifier: MIT
#include "tqafa/FileLock.h"

#include "error/Exception.h"

namespace tqafa {

namespace {

FileLockImpl makeImpl(std::int32_t fd) {
  tqerr::JsonStatus status;
  FileLockImpl impl(fd, status);
  tqerr::release(status);
  return impl;
}

}  // namespace

FileLock::FileLock(std::int32_t fd) : impl_(makeImpl(fd)) {}

void FileLock::lockShared(const nTQVLKAET100::nTQAPAL000::tLockWaitNotice& notice) {
  tqerr::JsonStatus status;
  impl_.lockShared(status, notice);
  tqerr::throwIfFailed(status);
}

}  // namespace tqafa
