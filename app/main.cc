// Entry point of tqvlkaepropinit. With no arguments at all it lists the AE
// device interfaces; with any argument it is in option mode (--help,
// --restore). The mode is chosen by the argument count alone.
#include <iostream>

#include "app/commandLine.h"
#include "app/listing.h"
#include "restore/restoreSequence.h"

int main(int argc, char* argv[]) {
  if (argc == 1) {
    return nTQVLKAET100::runListingMode(std::cout, std::cerr);
  }
  return nTQVLKAET100::runOptionMode(argc, argv, std::cout, std::cerr,
                                     nTQVLKAET100::restoreSequence);
}
