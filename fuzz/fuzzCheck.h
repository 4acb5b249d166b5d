// SPDX-License-Identifier: MIT
// The one way a fuzz target reports a broken invariant: a message naming it
// on standard error and abort(), which libFuzzer records as a crash and keeps
// the input for.
#ifndef FUZZ_FUZZCHECK_H_
#define FUZZ_FUZZCHECK_H_

#include <cstdio>
#include <cstdlib>

namespace tqfuzz {

inline void check(bool holds, const char* invariant) {
  if (holds) return;
  std::fprintf(stderr, "invariant broken: %s\n", invariant);
  std::abort();
}

}  // namespace tqfuzz

#endif  // FUZZ_FUZZCHECK_H_
