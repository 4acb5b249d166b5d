// SPDX-License-Identifier: MIT
#include "productpath/cSysqWrapper.h"

#include "error/Exception.h"
#include "tqsysq/stdpath_util.h"

namespace nTQVLKAET100 {
namespace vlpath {

cSysqWrapper::~cSysqWrapper() {}

void cSysqWrapper::createDirectories(const char* path, bool* existed) {
  tqerr::JsonStatus status;
  tqsysq::makeDirectories(path, tqsysq::makeDirectory, status, existed);
  tqerr::throwIfFailed(status);
}

}  // namespace vlpath
}  // namespace nTQVLKAET100
