#include "sim/driver.h"

#include <errno.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

// Under valgrind the simulated driver's writes into the tool's memory go
// through process_vm_writev, which memcheck does not count as defining that
// memory; the client request below tells it, as a kernel driver's copy to
// the caller would. Without the header (or outside valgrind) it does nothing.
#if __has_include(<valgrind/memcheck.h>)
#include <valgrind/memcheck.h>
#endif

namespace tqsim {
namespace {

// The records as the tool lays them out; the simulator reads them as bytes
// and decodes at these offsets.
struct CompactStatus {
  std::int32_t code;
  std::uint32_t line;
  char file[24];
};
static_assert(sizeof(CompactStatus) == 32);

struct IoctlBlock {
  std::uint64_t in;
  std::uint64_t out;
  std::uint32_t inSize;
  std::uint32_t outSize;
  std::uint32_t bytesReturned;
  std::uint32_t zero;
};
static_assert(sizeof(IoctlBlock) == 32);
static_assert(offsetof(IoctlBlock, inSize) == 16);
static_assert(offsetof(IoctlBlock, bytesReturned) == 24);

struct PropertyRecord {
  std::uint32_t port;
  std::uint32_t selector;
  std::uint32_t propertyId;
  std::uint32_t pad0;
  std::uint64_t buffer;
  std::uint32_t bufferSize;
  CompactStatus status;
  std::uint32_t pad1;
};
static_assert(sizeof(PropertyRecord) == 64);
static_assert(offsetof(PropertyRecord, propertyId) == 8);
static_assert(offsetof(PropertyRecord, buffer) == 16);
static_assert(offsetof(PropertyRecord, bufferSize) == 24);
static_assert(offsetof(PropertyRecord, status) == 28);

struct GetReply {
  std::uint32_t size;
  CompactStatus status;
};
static_assert(sizeof(GetReply) == 36);
static_assert(offsetof(GetReply, status) == 4);

// Larger records or values than any AE request uses are refused.
const std::uint32_t kMaxRecord = 4096;

std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* fmt, ...) {
  char text[512];
  va_list args;
  va_start(args, fmt);
  std::vsnprintf(text, sizeof text, fmt, args);
  va_end(args);
  return text;
}

std::string statusText(const CompactStatus& s) {
  return format("%d:%u:%.24s", s.code, s.line, s.file);
}

CompactStatus replyStatus(std::int32_t code, std::uint32_t line, const std::string& file) {
  CompactStatus s{};
  s.code = code;
  s.line = line;
  std::snprintf(s.file, sizeof s.file, "%s", file.c_str());
  return s;
}

bool fires(Fault& f) {
  ++f.seen;
  return f.seen >= f.from && (f.times == 0 || f.seen < f.from + f.times);
}

}  // namespace

std::string hex(const void* data, std::size_t length) {
  static const char digits[] = "0123456789abcdef";
  std::string s;
  const auto* p = static_cast<const unsigned char*>(data);
  for (std::size_t i = 0; i < length; ++i) {
    s.push_back(digits[p[i] >> 4]);
    s.push_back(digits[p[i] & 15]);
  }
  return s;
}

bool ProcessMemory::read(std::uint64_t address, void* into, std::size_t length) {
  if (length == 0) return true;
  iovec local{into, length};
  iovec remote{reinterpret_cast<void*>(address), length};
  return process_vm_readv(getpid(), &local, 1, &remote, 1, 0) == static_cast<ssize_t>(length);
}

bool ProcessMemory::write(std::uint64_t address, const void* from, std::size_t length) {
  if (length == 0) return true;
  iovec local{const_cast<void*>(from), length};
  iovec remote{reinterpret_cast<void*>(address), length};
  if (process_vm_writev(getpid(), &local, 1, &remote, 1, 0) != static_cast<ssize_t>(length)) {
    return false;
  }
#if __has_include(<valgrind/memcheck.h>)
  VALGRIND_MAKE_MEM_DEFINED(remote.iov_base, length);
#endif
  return true;
}

struct Driver::Request {
  std::string dir;
  std::uint32_t code = 0;
  std::uint64_t seq = 0;
  IoctlBlock block{};
  bool isProperty = false;
  PropertyRecord record{};
  std::uint64_t blockAddress = 0;
};

Driver::Driver(Bench bench) : bench_(std::move(bench)) {}

const Interface* Driver::interfaceForNode(const std::string& path) const {
  for (const auto& i : bench_.interfaces)
    if (i.node == path) return &i;
  return nullptr;
}

const Device* Driver::device(const std::string& dir) const {
  for (const auto& d : bench_.devices)
    if (d.dir == dir) return &d;
  return nullptr;
}

const Fault* Driver::systemFault(FaultKind kind, const std::string& path) {
  const Fault* hit = nullptr;
  for (auto& f : bench_.faults) {
    if (f.kind != kind || (!f.path.empty() && f.path != path)) continue;
    if (fires(f) && hit == nullptr) hit = &f;
  }
  return hit;
}

const Fault* Driver::ioctlFault(const Request& r, bool wantStatus) {
  const Fault* hit = nullptr;
  for (auto& f : bench_.faults) {
    if (f.kind != FaultKind::ioctl || f.replyStatus != wantStatus) continue;
    if (f.seq != 0 && f.seq != r.seq) continue;
    if (!f.device.empty() && f.device != r.dir) continue;
    if (f.request != 0 && f.request != r.code) continue;
    if ((f.hasPort || f.hasProperty) && !r.isProperty) continue;
    if (f.hasPort && f.port != r.record.port) continue;
    if (f.hasProperty && f.property != r.record.propertyId) continue;
    if (fires(f) && hit == nullptr) hit = &f;
  }
  return hit;
}

int Driver::ioctl(const std::string& dir, unsigned long request, std::uint64_t block,
                  Memory& memory, std::vector<std::string>& log) {
  Request r;
  r.dir = dir;
  r.seq = ++sequence_;
  r.code = static_cast<std::uint32_t>(request);
  r.blockAddress = block;
  if (request < kFirstRequest || request > kLastRequest) {
    log.push_back(format("ioctl dev=%s req=0x%06lx unknown", dir.c_str(), request));
    return ENOTTY;
  }
  if (!memory.read(block, &r.block, sizeof r.block)) {
    log.push_back(format("ioctl dev=%s req=0x%06x block=unreadable", dir.c_str(), r.code));
    return EFAULT;
  }
  const std::uint32_t expectedOut = r.code == kGetProperty ? sizeof(GetReply) : 32;
  r.isProperty = (r.code == kSetProperty || r.code == kGetProperty) &&
                 r.block.inSize == sizeof(PropertyRecord) && r.block.outSize == expectedOut;
  if (r.isProperty) {
    if (!memory.read(r.block.in, &r.record, sizeof r.record)) {
      log.push_back(format("ioctl dev=%s req=0x%06x in=%u out=%u input=unreadable", dir.c_str(),
                           r.code, r.block.inSize, r.block.outSize));
      return EFAULT;
    }
    return property(r, memory, log);
  }

  // Requests the tool does not issue: logged raw and answered with success.
  std::vector<unsigned char> input(r.block.inSize > kMaxRecord ? 0 : r.block.inSize);
  bool readable = r.block.inSize <= kMaxRecord && r.block.outSize <= kMaxRecord &&
                  memory.read(r.block.in, input.data(), input.size());
  log.push_back(format("ioctl dev=%s req=0x%06x in=%u out=%u data=", dir.c_str(), r.code,
                       r.block.inSize, r.block.outSize) +
                (readable ? hex(input.data(), input.size()) : std::string("unreadable")));
  if (!readable) return r.block.inSize > kMaxRecord ? EINVAL : EFAULT;
  if (r.code == kSetProperty || r.code == kGetProperty) return EINVAL;  // wrong record sizes
  if (const Fault* f = ioctlFault(r, false)) {
    log.push_back(format("fault ioctl seq=%llu dev=%s errno=%d", (unsigned long long)r.seq,
                         dir.c_str(), f->error));
    return f->error;
  }
  std::vector<unsigned char> reply(r.block.outSize, 0);
  if (const Fault* f = ioctlFault(r, true)) {
    // Every reply record ends in its status block.
    if (reply.size() >= 32) {
      CompactStatus s = replyStatus(f->code, f->line, f->file);
      std::memcpy(reply.data() + reply.size() - 32, &s, 32);
    }
    log.push_back(format("fault ioctl seq=%llu dev=%s status=%s", (unsigned long long)r.seq,
                         dir.c_str(), statusText(replyStatus(f->code, f->line, f->file)).c_str()));
  }
  if (!memory.write(r.block.out, reply.data(), reply.size())) return EFAULT;
  std::uint32_t returned = r.block.outSize;
  memory.write(block + offsetof(IoctlBlock, bytesReturned), &returned, sizeof returned);
  return 0;
}

int Driver::property(Request& r, Memory& memory, std::vector<std::string>& log) {
  const PropertyRecord& q = r.record;
  const bool isSet = r.code == kSetProperty;
  std::string value;
  bool valueReadable = true;
  if (isSet && q.buffer != 0) {
    if (q.bufferSize > kMaxRecord) {
      valueReadable = false;
    } else {
      value.resize(q.bufferSize);
      valueReadable = memory.read(q.buffer, &value[0], value.size());
    }
  }
  std::string valueText = !isSet || q.buffer == 0 ? "-"
                          : valueReadable         ? hex(value.data(), value.size())
                                                  : "unreadable";
  log.push_back(
      format("ioctl dev=%s req=0x%06x in=%u out=%u port=%u sel=0x%08x prop=0x%08x "
             "bufsize=%u value=%s status=%s",
             r.dir.c_str(), r.code, r.block.inSize, r.block.outSize, q.port, q.selector,
             q.propertyId, q.bufferSize, valueText.c_str(), statusText(q.status).c_str()));
  if (!valueReadable) return q.bufferSize > kMaxRecord ? EINVAL : EFAULT;
  if (const Fault* f = ioctlFault(r, false)) {
    log.push_back(format("fault ioctl seq=%llu dev=%s errno=%d", (unsigned long long)r.seq,
                         r.dir.c_str(), f->error));
    return f->error;
  }

  // The driver's own verdict first; an injected status replaces it.
  const Device* dev = device(r.dir);
  auto sizeIt = bench_.sizes.find(q.propertyId);
  std::uint32_t size = sizeIt == bench_.sizes.end() ? 0 : sizeIt->second;
  CompactStatus status{};
  bool stored = false;
  if (dev == nullptr || q.port >= dev->numPorts) {
    status = replyStatus(kReplyInvalidParameter, 1, kReplyFile);
  } else if (sizeIt == bench_.sizes.end()) {
    status = replyStatus(kReplyUnknownProperty, 2, kReplyFile);
  } else if (isSet && (q.buffer == 0 || q.bufferSize != size)) {
    status = replyStatus(kReplyInvalidParameter, 3, kReplyFile);
  } else if (!isSet && q.buffer != 0 && q.bufferSize < size) {
    status = replyStatus(kReplyBufferTooSmall, 4, kReplyFile);
  } else {
    stored = true;
  }
  if (const Fault* f = ioctlFault(r, true)) {
    status = replyStatus(f->code, f->line, f->file);
    stored = stored && f->code >= 0;
    log.push_back(format("fault ioctl seq=%llu dev=%s status=%s", (unsigned long long)r.seq,
                         r.dir.c_str(), statusText(status).c_str()));
  }

  auto key = std::make_tuple(r.dir, q.port, q.propertyId);
  if (isSet) {
    if (stored) values_[key] = value;
    if (!memory.write(r.block.out, &status, sizeof status)) return EFAULT;
  } else {
    if (stored && q.buffer != 0) {
      std::string current = values_.count(key) ? values_[key] : std::string(size, '\0');
      if (!memory.write(q.buffer, current.data(), current.size())) return EFAULT;
    }
    GetReply reply{};
    reply.size = size;
    reply.status = status;
    if (!memory.write(r.block.out, &reply, sizeof reply)) return EFAULT;
  }
  std::uint32_t returned = r.block.outSize;
  memory.write(r.blockAddress + offsetof(IoctlBlock, bytesReturned), &returned, sizeof returned);
  return 0;
}

}  // namespace tqsim
