// SPDX-License-Identifier: MIT
// Prints the 19 relocatable directories of this process, "key=value" or
// "key error CODE" a line. Started by the tests with their own library path,
// so that the table it prints was built, before main, from a stand-in
// relocation library. When TQ_RELOC_LOG is set, main first appends "main"
// to it, after whatever the library logged while the table was built.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "error/Exception.h"
#include "tqsysq/relocation.h"
#include "tqsysq/stdpath.h"

int main() {
  if (const char* logFile = std::getenv("TQ_RELOC_LOG")) {
    if (std::FILE* out = std::fopen(logFile, "a")) {
      std::fputs("main\n", out);
      std::fclose(out);
    }
  }
  using Operation = std::string (tqsysq::SysqWrapper_Linux::*)();
  using W = tqsysq::SysqWrapper_Linux;
  const Operation operations[19] = {
      &W::getPrefixDir,       &W::getExecPrefixDir, &W::getBinDir,         &W::getSbinDir,
      &W::getLibDir,          &W::getLib32Dir,      &W::getLib64Dir,       &W::getNativeLibDir,
      &W::getMultiarchLibDir, &W::getLibexecDir,    &W::getSharedStateDir, &W::getDataRootDir,
      &W::getDataDir,         &W::getSysconfDir,    &W::getLocalStateDir,  &W::getRunStateDir,
      &W::getIncludeDir,      &W::getDocDir,        &W::getInitdDir,
  };
  W wrapper;
  int index = 0;
  for (const Operation operation : operations) {
    const char* key = tqsysq::kRelocationKeys[index++].key;
    try {
      const std::string dir = (wrapper.*operation)();
      std::cout << key << "=" << dir << "\n";
    } catch (const tqerr::ExceptionBase& e) {
      std::cout << key << " error " << e.code() << "\n";
    }
  }
  return 0;
}
