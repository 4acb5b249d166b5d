// SPDX-License-Identifier: MIT
// Driver: the simulated kernel driver's request side. It answers the ioctl
// requests of the AE device interfaces in the driver's framing (a 32-byte
// argument block pointing at an input and an output record, each ending in a
// 32-byte status block), keeps the property values written to each port
// (in the bench's state file when it names one, else for the process's life),
// injects the faults of the bench, and produces one decoded log line per
// request and per injected fault.
//
// The driver follows the caller's pointers only through a Memory, so a bad
// address in a record makes the request fail with EFAULT instead of crashing
// the process, as the kernel's user-copy would.
#ifndef SIM_DRIVER_H_
#define SIM_DRIVER_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "sim/bench.h"

namespace tqsim {

constexpr std::uint32_t kSetProperty = 0x200109;
constexpr std::uint32_t kGetProperty = 0x20010A;
constexpr std::uint32_t kFirstRequest = 0x200101;
constexpr std::uint32_t kLastRequest = 0x200119;

// Codes the simulated driver puts into its reply status on its own account.
constexpr std::int32_t kReplyInvalidParameter = -52005;
constexpr std::int32_t kReplyUnknownProperty = -52006;
constexpr std::int32_t kReplyBufferTooSmall = -52019;
constexpr const char* kReplyFile = "tqsim_driver";

class Memory {
 public:
  virtual ~Memory() = default;
  virtual bool read(std::uint64_t address, void* into, std::size_t length) = 0;
  virtual bool write(std::uint64_t address, const void* from, std::size_t length) = 0;
};

// Reads and writes this process's own memory with process_vm_readv/writev,
// which report a bad address instead of faulting.
class ProcessMemory : public Memory {
 public:
  bool read(std::uint64_t address, void* into, std::size_t length) override;
  bool write(std::uint64_t address, const void* from, std::size_t length) override;
};

struct RequestLayout;

class Driver {
 public:
  explicit Driver(Bench bench);

  // The interface whose node path is path, or null.
  const Interface* interfaceForNode(const std::string& path) const;
  const Device* device(const std::string& dir) const;

  // Handles ioctl(fd, request, block) on a node of device dir. Returns 0, or
  // an errno value for a failing call. Appends its log lines to log.
  int ioctl(const std::string& dir, unsigned long request, std::uint64_t block, Memory& memory,
            std::vector<std::string>& log);

  // A matching fault of the given kind and path that fires now, or null.
  // Counts the call against every matching fault.
  const Fault* systemFault(FaultKind kind, const std::string& path);

  std::vector<Fault>& faults() { return bench_.faults; }

  // Not empty once the state file could not be read or written: the request
  // failed with EIO, and the simulator is no longer a faithful driver.
  const std::string& failure() const { return failure_; }

 private:
  struct Request;
  const Fault* ioctlFault(const Request& r, FaultEffect effect);
  int property(Request& r, Memory& memory, std::vector<std::string>& log);
  int other(Request& r, const RequestLayout& layout, Memory& memory, std::vector<std::string>& log);

  Bench bench_;
  std::uint64_t sequence_ = 0;
  Values values_;
  std::string failure_;
};

}  // namespace tqsim

#endif  // SIM_DRIVER_H_
