// SPDX-License-Identifier: MIT
// cSysqWrapper: the product's one system-query object. It joins the standard
// directories (tqsysq::SysqWrapper, first base) and the relocatable
// installation directories (tqsysq::SysqWrapper_Linux, second base), which
// cPath builds every product directory from, and adds recursive directory
// creation. It holds no data and cannot fail to construct.
#ifndef PRODUCTPATH_CSYSQWRAPPER_H_
#define PRODUCTPATH_CSYSQWRAPPER_H_

#include "tqsysq/stdpath.h"

namespace nTQVLKAET100 {
namespace vlpath {

class cSysqWrapper : public tqsysq::SysqWrapper, public tqsysq::SysqWrapper_Linux {
 public:
  cSysqWrapper() {}
  ~cSysqWrapper() override;

  // Creates path and its missing parents; throws tqerr::Exception on
  // failure. existed (may be null) tells whether the directory was there.
  virtual void createDirectories(const char* path, bool* existed);
};

}  // namespace vlpath
}  // namespace nTQVLKAET100

#endif  // PRODUCTPATH_CSYSQWRAPPER_H_
