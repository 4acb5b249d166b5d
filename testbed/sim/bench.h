// SPDX-License-Identifier: MIT
// Bench: the description of a simulated driver installation, read from one
// small text file (format in testbed/sim/README.md), and the builder of the /proc
// tree that the simulator shows in place of /proc/driver/tq.
//
// A bench names devices (with their deviceProperties files), their device
// interfaces (with the interfacePath text and the device node they stand
// for), property sizes, the values the driver holds from the start, the
// faults to inject, and optionally the state file that keeps the values
// across processes. parseBench never throws: a malformed line makes it
// return false with a message naming the line.
#ifndef SIM_BENCH_H_
#define SIM_BENCH_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace tqsim {

struct PropertyFile {
  std::string name;   // file name under deviceProperties
  std::string bytes;  // raw content
  bool isDirectory = false;
};

struct Device {
  std::string dir;  // directory name under /proc/driver/tq
  std::uint32_t serial = 0;
  std::uint32_t numPorts = 0;
  std::uint32_t pid = 0;
  std::vector<PropertyFile> overrides;  // replace or add deviceProperties files
};

enum class NodeState { present, missing, forbidden };

struct Interface {
  std::string device;  // Device::dir
  std::string dir;     // e.g. "ae_ae\0" with a literal backslash
  std::string node;    // device node path the tool opens
  std::string text;    // content of interfacePath
  NodeState state = NodeState::present;
};

// Where an injected fault applies; every field left unset matches anything.
// A fault fires on the matching calls numbered from..(from + times - 1);
// times 0 means every matching call from 'from' on.
enum class FaultKind { ioctl, glob, fopen, fread, read, flock, open };

// What an ioctl fault does to the calls it fires on: fail with an errno,
// put a status block into the reply, or answer a set as the driver would
// but keep nothing of it.
enum class FaultEffect { error, status, discard };

struct Fault {
  FaultKind kind = FaultKind::ioctl;
  FaultEffect effect = FaultEffect::error;
  // ioctl selection
  std::uint64_t seq = 0;  // 0: any; else the n-th ioctl on simulated nodes
  std::string device;
  bool hasPort = false;
  std::uint32_t port = 0;
  bool hasProperty = false;
  std::uint32_t property = 0;
  std::uint32_t request = 0;  // 0: any; the whole code or the request number
  // effect
  int error = 0;  // errno for the failing call (effect error and the path kinds)
  std::int32_t code = 0;
  std::uint32_t line = 0;
  std::string file;
  int globResult = 0;  // GLOB_ABORTED or GLOB_NOSPACE
  std::string path;    // fopen/fread: /proc path; read/flock/open: plain path
  std::uint64_t from = 1;
  std::uint64_t times = 0;
  std::uint64_t seen = 0;  // matching calls so far (run time state)
};

// The property values a driver holds: (device dir, port, property id) -> bytes.
using Values = std::map<std::tuple<std::string, std::uint32_t, std::uint32_t>, std::string>;

struct Bench {
  std::vector<Device> devices;
  std::vector<Interface> interfaces;
  std::map<std::uint32_t, std::uint32_t> sizes;  // property id -> size
  // Values the driver holds from the start: (device dir, port, property id)
  // -> bytes, as if written before the program ran.
  Values values;
  std::vector<Fault> faults;
  // The state file (bench line 'state'): empty when the values live as long
  // as the process. readBenchFile makes a relative name relative to the
  // bench file's directory.
  std::string statePath;
};

// The property sizes the simulated driver reports unless the bench says
// otherwise: 1 byte for forcelinkdisable, 4 for the other table properties.
std::map<std::uint32_t, std::uint32_t> defaultPropertySizes();

bool parseBench(const std::string& text, Bench& bench, std::string& error);
bool readBenchFile(const std::string& path, Bench& bench, std::string& error);

// The value lines of a state file: only 'value' lines (and comments) of the
// bench's grammar, naming the bench's devices; errors name "<what> line N".
bool parseValues(const std::string& text, const Bench& bench, const std::string& what,
                 Values& values, std::string& error);
// One value line in the bench's grammar, without the newline.
std::string valueLine(const std::string& device, std::uint32_t port, std::uint32_t property,
                      const std::string& bytes);

// Creates root/tq/<device>/deviceProperties/... and
// root/tq/<device>/deviceInterfaces/<interface>/interfacePath, plus
// root/node, the placeholder file behind every simulated node descriptor.
bool buildTree(const Bench& bench, const std::string& root, std::string& error);

// Lowercase hex of the bytes, two digits each.
std::string hex(const void* data, std::size_t length);

// Accepts decimal numbers and the symbolic names of common errno values.
bool parseErrno(const std::string& text, int& value);

}  // namespace tqsim

#endif  // SIM_BENCH_H_
