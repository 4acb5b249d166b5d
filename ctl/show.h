// tqvlkaectl show: every AE device (serial, node, port count, PID) and the
// current value of each port property of the table (device/aeProperties.h)
// on each of its ports, read with getProperty and a receive buffer: only
// size queries and reads reach the driver. A property the driver refuses is
// shown with the driver's code, and the others are still read.
#ifndef CTL_SHOW_H_
#define CTL_SHOW_H_

#include <cstdint>
#include <ostream>
#include <vector>

namespace nTQVLKAET100 {

struct tShowOptions {
  bool json = false;
  std::vector<std::uint32_t> serials;  // empty: every AE device
};

// Returns the exit status (ctl/exitStatus.h); throws for trouble (the
// devices cannot be listed) after showing the devices listed before it.
int runShow(const tShowOptions& options, std::ostream& out);

}  // namespace nTQVLKAET100

#endif  // CTL_SHOW_H_
