// SPDX-License-Identifier: MIT
// Entry point of tqvlkaectl, the companion of tqvlkaepropinit that checks
// its settings file and shows and compares the live port properties.
#include <iostream>

#include "ctl/commandLine.h"

int main(int argc, char* argv[]) {
  return nTQVLKAET100::runControl(argc, argv, std::cout, std::cerr);
}
