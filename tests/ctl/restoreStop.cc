// Runs the restore sequence in this process, as the tool's --restore does,
// and prints where it ended: "exit=0" when it ran through, else "exit=1
// line=N" with the settings line of the entry it stopped at (0 when it
// stopped at none: the file, the port pass). The agreement test holds the
// companion's verdicts to this, and the tool's exit status to its exit.
#include <iostream>
#include <optional>
#include <string>

#include "restore/restoreSequence.h"
#include "settings/loadSettingsFile.h"
#include "settings/portSettingSection.h"
#include "settings/settingsLines.h"

int main() {
  using namespace nTQVLKAET100;
  const tRestoreRun run = restoreSequence();
  unsigned long line = 0;
  if (run.stopEntry != 0) {
    const std::optional<std::string> bytes = readSettingsBytes(settingsFilePath());
    const tSettingsLines lines = readSettingsLines(bytes->data(), bytes->size());
    line = lines.section(kPortSettingSection)->entries.at(run.stopEntry - 1).line;
  }
  std::cout << "exit=" << (run.failure ? 1 : 0);
  if (run.failure) std::cout << " line=" << line;
  std::cout << "\n";
  return 0;
}
