// SPDX-License-Identifier: MIT
// tqvlkaectl store: the other half of restore. Reads, read-only, every port
// property that restore writes back on every port of every AE device (or of
// the devices named), and stores the values into the settings file so that
// the next restore applies exactly them. The file is rewritten in place
// (settings/storeRewrite.h: everything but the replaced values survives) and
// replaced whole under the writer's lock (settings/replaceSettingsFile.h).
//
// Nothing is written when the driver refuses to read any such property (a
// half-captured state is worse than the old file), when the old file has an
// error that check reports, or with dryRun, which prints the unified diff of
// the file instead.
//
// It says how many values changed (an entry held another value), how many
// were added as new lines and how many were already right; with
// existingOnly, values that no entry names are not added, and counted.
#ifndef CTL_STORE_H_
#define CTL_STORE_H_

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace nTQVLKAET100 {

struct tStoreOptions {
  std::string file;  // empty: the file restore reads
  bool dryRun = false;
  std::vector<std::uint32_t> serials;  // empty: every AE device
  bool json = false;                   // one JSON document (ctl/schemas/store.schema.json)
  bool existingOnly = false;           // store only the port properties the file names
};

// Returns kCtlClean when the values are stored (or nothing changes),
// kCtlFound when store refuses (ctl/exitStatus.h); throws for trouble. Says
// on err when another program's lock keeps it waiting for the file.
int runStore(const tStoreOptions& options, std::ostream& out, std::ostream& err);

}  // namespace nTQVLKAET100

#endif  // CTL_STORE_H_
