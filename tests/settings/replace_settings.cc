// SPDX-License-Identifier: MIT
// Test equipment: replaces the settings file at the first argument with the
// content of the file at the second, as a store does once it has rewritten
// the text. Exits 0 when replaced, 2 when the file changed meanwhile, 1 after
// a failure (its text on standard error).
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>

#include "settings/loadSettingsFile.h"
#include "settings/replaceSettingsFile.h"

int main(int argc, char** argv) {
  if (argc != 3) return 64;
  try {
    const std::optional<std::string> old = nTQVLKAET100::readSettingsBytes(argv[1]);
    std::ifstream in(argv[2], std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return nTQVLKAET100::replaceSettingsFile(argv[1], old.value_or(""), bytes) ==
                   nTQVLKAET100::tReplaceResult::kReplaced
               ? 0
               : 2;
  } catch (const std::exception& error) {
    std::cerr << error.what() << "\n";
    return 1;
  }
}
