// SPDX-License-Identifier: MIT
// Builds the process's relocation table before main runs, so that the
// relocation library is consulted once at start-up and never while a program
// is working. Linked into every program as a start-up object
// (tqvlkae_startup), so that no program can miss it.
#include <string>

#include "error/JsonStatus.h"
#include "tqsysq/relocation.h"

namespace tqsysq {
namespace {

[[maybe_unused]] const bool kTableBuiltAtStartup = [] {
  tqerr::JsonStatus throwAway;
  std::string ignored;
  processRelocationTable().lookup("prefixdir", ignored, throwAway);
  tqerr::release(throwAway);
  return true;
}();

}  // namespace
}  // namespace tqsysq
