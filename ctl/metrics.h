// SPDX-License-Identifier: MIT
// tqvlkaectl metrics: the state of the bench against its settings file, as
// metrics in Prometheus' text format (ctl/exposition.h) for the node
// exporter's textfile collector, written to standard output or put in place
// whole as a file (ctl/outputFile.h). It asks the driver what diff asks
// (restore/targetState.h, restore/benchView.h) and reads each port property
// that restore would leave set once; nothing is written to a device.
//
// The families (HELP lines in metrics.cc say the same):
// - tqvlkae_setting_in_sync{serial,port,property}: 1 or 0 for each port
//   property that the entries restore would apply leave set (an entry of an
//   absent device is skipped by restore, so it has none; several entries for
//   the same property give one sample, for the value the last one leaves);
//   a property whose live value the driver refused to read has no sample
//   here but one in tqvlkae_setting_read_refused{serial,port,property} (1);
// - tqvlkae_settings_entries: the entries of [PortSetting];
// - tqvlkae_settings_out_of_sync: the properties that differ or could not be
//   read (what diff reports as differing);
// - tqvlkae_device_present{serial}: 1 or 0 for every serial that a valid key
//   names or a device has;
// - tqvlkae_settings_check_errors: the errors check --live finds in the file;
// - tqvlkae_last_restore_recorded: 1 when the boot unit's record of its last
//   run is there (ctl/restoreRecord.h), 0 when not; only with a record,
//   tqvlkae_last_restore_success (1 or 0) and
//   tqvlkae_last_restore_timestamp_seconds (when that run ended);
// - tqvlkae_metrics_timestamp_seconds: when these metrics were taken.
// A missing driver (/proc/driver/tq) is data: no device is present. Devices
// that cannot be listed are trouble, as for diff.
#ifndef CTL_METRICS_H_
#define CTL_METRICS_H_

#include <ostream>
#include <string>

namespace nTQVLKAET100 {

struct tMetricsOptions {
  std::string file;    // empty: the file restore reads
  std::string output;  // empty: standard output
};

// Returns kCtlClean once the metrics are written, whatever the drift
// (ctl/exitStatus.h); throws tCtlTrouble for trouble.
int runMetrics(const tMetricsOptions& options, std::ostream& out);

}  // namespace nTQVLKAET100

#endif  // CTL_METRICS_H_
