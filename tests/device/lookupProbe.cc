// lookupProbe: looks up each serial number given on the command line (any
// base strtoul takes) with findInterfacePath and prints the result as
// "[path]" on standard output, one line per serial. A failure is printed as
// the tool prints it ("Error (" ...) and ends the run with status 1.
#include <cstdlib>
#include <iostream>
#include <string>

#include "app/reports.h"
#include "device/deviceLookup.h"
#include "error/Exception.h"

int main(int argc, char* argv[]) {
  try {
    for (int i = 1; i < argc; ++i) {
      const auto serial = static_cast<std::uint32_t>(std::strtoul(argv[i], nullptr, 0));
      const std::string path = nTQVLKAET100::findInterfacePath(serial);
      std::cout << "[" << path << "]\n";
    }
  } catch (const tqerr::ExceptionBase& error) {
    nTQVLKAET100::reportError(std::cerr, error);
    return 1;
  }
  return 0;
}
