// SPDX-License-Identifier: MIT
// Stand-in relocation libraries record each key they are asked for, one a
// line, in the file named by TQ_RELOC_LOG (when set), so that the tests can
// tell which keys were asked and when.
#ifndef TESTS_TQSYSQ_FAKE_RELOC_ASKEDLOG_H_
#define TESTS_TQSYSQ_FAKE_RELOC_ASKEDLOG_H_

#include <cstdio>
#include <cstdlib>

inline void logAsked(const char* key) {
  const char* logFile = std::getenv("TQ_RELOC_LOG");
  if (logFile == nullptr) return;
  if (std::FILE* out = std::fopen(logFile, "a")) {
    std::fprintf(out, "%s\n", key);
    std::fclose(out);
  }
}

#endif  // TESTS_TQSYSQ_FAKE_RELOC_ASKEDLOG_H_
