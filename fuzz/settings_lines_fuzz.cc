// SPDX-License-Identifier: MIT
// The settings text read by both readers: the tool's INI reader and the
// line-aware reader of the checker. Any difference between them is a
// finding: success against failure; other sections, entries, order or
// values; another first message or line; an entry or header that is not on
// the line it names; a further error that the INI reader does not report once
// the earlier bad lines are comments (settingsReadersDifference.h).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "fuzz/fuzzCheck.h"
#include "fuzz/settingsReadersDifference.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string difference =
      tqfuzz::settingsReadersDifference(reinterpret_cast<const char*>(data), size);
  if (!difference.empty()) std::fprintf(stderr, "%s\n", difference.c_str());
  tqfuzz::check(difference.empty(), "the two settings readers differ");
  return 0;
}
