// SPDX-License-Identifier: MIT
// The report lines that end a failed run of the tool, as the end-to-end
// tests expect them byte for byte: "Exception (<type>): <what>" and a line
// end, with the type named as the C++ runtime names it. Here once, so that a
// test says which failure it expects rather than spelling a mangled name.
#ifndef TESTS_SUPPORT_REPORTS_H_
#define TESTS_SUPPORT_REPORTS_H_

#include <string>

namespace tqtest {

// A failure of the path layer (cExceptionBase) with its code, e.g.
// "0xFFFF34DA".
inline std::string pathReport(const std::string& code) {
  return "Exception (N12nTQVLKAET10010nENSPAN00014cExceptionBaseE): " + code + "\n";
}

}  // namespace tqtest

#endif  // TESTS_SUPPORT_REPORTS_H_
