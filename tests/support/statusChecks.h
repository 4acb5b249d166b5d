// SPDX-License-Identifier: MIT
// Assertions on tStatus records shared by the device-layer tests.
#ifndef TESTS_SUPPORT_STATUSCHECKS_H_
#define TESTS_SUPPORT_STATUSCHECKS_H_

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "tqapal/tStatus.h"

namespace tqtest {

// The status holds code, reported by the tool's own component at file:line.
inline ::testing::AssertionResult reportedAt(const nTQVLKAET100::nTQAPAL000::tStatus& status,
                                             std::int64_t code, const std::string& file,
                                             std::uint64_t line) {
  if (status.code == code && std::string(status.component) == "tqvlkaepr" &&
      std::string(status.file) == file && status.line == line) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << "status is {" << status.code << ", \"" << status.component << "\", \"" << status.file
         << "\", " << status.line << "}, expected {" << code << ", \"tqvlkaepr\", \"" << file
         << "\", " << line << "}";
}

// A failed status for tests of the "caller already failed" road.
inline nTQVLKAET100::nTQAPAL000::tStatus failedStatus() {
  nTQVLKAET100::nTQAPAL000::tStatus status;
  nTQVLKAET100::nTQAPAL000::setCode(status, -1, "earlier", "earlier/site", 7);
  return status;
}

}  // namespace tqtest

#endif  // TESTS_SUPPORT_STATUSCHECKS_H_
