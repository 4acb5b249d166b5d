// SPDX-License-Identifier: MIT
#include "sim/driver.h"

#include <errno.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "sim/state.h"

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

}  // namespace

// The records of the AE requests other than the two property requests, as
// the driver defines them: fields by name, offset and width, and where the
// status block sits. Kept apart from the tool's own definitions so that a
// mistake there shows up here as a wrong size or a wrong field.
struct LayoutField {
  const char* name;
  std::uint32_t offset;
  std::uint32_t width;  // 4 or 8
};

struct RequestLayout {
  std::uint32_t number;
  std::uint32_t inSize;
  std::vector<LayoutField> in;
  std::uint32_t inStatus;
  std::uint32_t outSize;
  std::vector<LayoutField> out;
  std::uint32_t outStatus;
};

namespace {

using Field = LayoutField;
using Layout = RequestLayout;

const std::vector<Field> kAB = {{"a", 0, 4}, {"b", 4, 4}};
const std::vector<Field> kABCD = {{"a", 0, 4}, {"b", 4, 4}, {"c", 8, 4}, {"d", 12, 4}};
const std::vector<Field> kValueEF = {{"a", 0, 4},      {"b", 4, 4},  {"c", 8, 8},
                                     {"value", 16, 8}, {"e", 24, 4}, {"f", 28, 4}};

const std::vector<Layout>& otherLayouts() {
  static const std::vector<Layout> layouts = {
      {0x01, 48, kABCD, 16, 36, {{"value", 0, 4}}, 4},
      {0x02, 40, kAB, 8, 32, {}, 0},
      {0x03, 56, {{"a", 0, 4}, {"b", 4, 4}, {"c", 8, 8}, {"d", 16, 8}}, 24, 32, {}, 0},
      {0x04, 40, kAB, 8, 32, {}, 0},
      {0x05, 40, kAB, 8, 32, {}, 0},
      {0x06, 40, kAB, 8, 32, {}, 0},
      {0x0B, 48, {{"a", 0, 8}, {"b", 8, 4}}, 12, 32, {}, 0},
      {0x0C, 48, kABCD, 16, 56, {{"values0", 0, 8}, {"values1", 8, 8}, {"values2", 16, 8}}, 24},
      {0x0D, 48, kABCD, 16, 32, {}, 0},
      {0x0E,
       64,
       {{"a", 0, 4}, {"b", 4, 4}, {"c", 8, 8}, {"value", 16, 8}, {"e", 24, 4}},
       28,
       40,
       {{"value", 0, 8}},
       8},
      {0x0F, 48, kABCD, 16, 32, {}, 0},
      {0x10, 48, kABCD, 16, 32, {}, 0},
      {0x11, 56, {{"a", 0, 4}, {"b", 4, 4}, {"c", 8, 8}, {"d", 16, 4}}, 20, 32, {}, 0},
      {0x13, 32, {}, 0, 32, {}, 0},
      {0x14, 32, {}, 0, 32, {}, 0},
      {0x15, 64, kValueEF, 32, 40, {{"value", 0, 8}}, 8},
      {0x17, 64, kValueEF, 32, 40, {{"value", 0, 8}}, 8},
      {0x18, 44, {{"a", 0, 4}, {"b", 4, 4}, {"c", 8, 4}}, 12, 32, {}, 0},
      {0x19, 48, {{"a", 0, 4}, {"b", 4, 4}, {"c", 8, 8}}, 16, 32, {}, 0},
  };
  return layouts;
}

const Layout* layoutOf(std::uint32_t code) {
  for (const Layout& layout : otherLayouts())
    if ((kFirstRequest & ~0xFFu) + layout.number == code) return &layout;
  return nullptr;
}

std::uint64_t fieldValue(const unsigned char* record, const Field& field) {
  std::uint64_t value = 0;
  std::memcpy(&value, record + field.offset, field.width);  // little-endian host
  return value;
}

// The value the driver answers in result field number index (from 1) of
// request number: the request number in the top byte, the index in the low.
std::uint64_t resultValue(std::uint32_t number, const Field& field, std::uint32_t index) {
  return (static_cast<std::uint64_t>(number) << (field.width * 8 - 8)) | index;
}

std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* fmt, ...) {
  char text[512];
  va_list args;
  va_start(args, fmt);
  std::vsnprintf(text, sizeof text, fmt, args);
  va_end(args);
  return text;
}

// code:line:file; bytes of the file name that are not printable, and
// spaces, are written as \xNN so that a log line stays one line of words.
std::string statusText(const CompactStatus& s) {
  std::string text = format("%d:%u:", s.code, s.line);
  for (std::size_t i = 0; i < sizeof s.file && s.file[i] != 0; ++i) {
    const unsigned char c = static_cast<unsigned char>(s.file[i]);
    text += c > 0x20 && c < 0x7F ? std::string(1, static_cast<char>(c)) : format("\\x%02x", c);
  }
  return text;
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

Driver::Driver(Bench bench) : bench_(std::move(bench)), values_(bench_.values) {}

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

const Fault* Driver::ioctlFault(const Request& r, FaultEffect effect) {
  const Fault* hit = nullptr;
  for (auto& f : bench_.faults) {
    if (f.kind != FaultKind::ioctl || f.effect != effect) continue;
    if (effect == FaultEffect::discard && r.code != kSetProperty) continue;
    if (f.seq != 0 && f.seq != r.seq) continue;
    if (!f.device.empty() && f.device != r.dir) continue;
    // req= names the whole code or only the request number (its low byte).
    if (f.request != 0 && f.request != r.code && f.request != (r.code & 0xFFu)) continue;
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
  const bool isPropertyCode = r.code == kSetProperty || r.code == kGetProperty;
  if (request < kFirstRequest || request > kLastRequest ||
      (!isPropertyCode && layoutOf(r.code) == nullptr)) {
    log.push_back(format("ioctl dev=%s req=0x%06lx unknown", dir.c_str(), request));
    return ENOTTY;
  }
  if (!memory.read(block, &r.block, sizeof r.block)) {
    log.push_back(format("ioctl dev=%s req=0x%06x block=unreadable", dir.c_str(), r.code));
    return EFAULT;
  }
  // The caller hands over a clean block: nothing returned yet, last word 0.
  if (r.block.bytesReturned != 0 || r.block.zero != 0) {
    log.push_back(format("ioctl dev=%s req=0x%06x returned=%u zero=%u block=dirty", dir.c_str(),
                         r.code, r.block.bytesReturned, r.block.zero));
    return EINVAL;
  }
  const std::uint32_t expectedOut = r.code == kGetProperty ? sizeof(GetReply) : 32;
  r.isProperty =
      isPropertyCode && r.block.inSize == sizeof(PropertyRecord) && r.block.outSize == expectedOut;
  if (r.isProperty) {
    if (!memory.read(r.block.in, &r.record, sizeof r.record)) {
      log.push_back(format("ioctl dev=%s req=0x%06x in=%u out=%u input=unreadable", dir.c_str(),
                           r.code, r.block.inSize, r.block.outSize));
      return EFAULT;
    }
    return property(r, memory, log);
  }

  const Layout* layout = layoutOf(r.code);
  if (layout == nullptr || r.block.inSize != layout->inSize || r.block.outSize != layout->outSize) {
    log.push_back(format("ioctl dev=%s req=0x%06x in=%u out=%u sizes=wrong", dir.c_str(), r.code,
                         r.block.inSize, r.block.outSize));
    return EINVAL;
  }
  return other(r, *layout, memory, log);
}

// The requests the tool does not issue: decoded by their layout, logged, and
// answered with success and recognisable result values.
int Driver::other(Request& r, const Layout& layout, Memory& memory, std::vector<std::string>& log) {
  std::vector<unsigned char> input(layout.inSize);
  if (!memory.read(r.block.in, input.data(), input.size())) {
    log.push_back(format("ioctl dev=%s req=0x%06x in=%u out=%u input=unreadable", r.dir.c_str(),
                         r.code, r.block.inSize, r.block.outSize));
    return EFAULT;
  }
  std::string line = format("ioctl dev=%s req=0x%06x in=%u out=%u", r.dir.c_str(), r.code,
                            r.block.inSize, r.block.outSize);
  for (const Field& field : layout.in) {
    line += format(" %s=0x%llx", field.name,
                   static_cast<unsigned long long>(fieldValue(input.data(), field)));
  }
  CompactStatus sent;
  std::memcpy(&sent, input.data() + layout.inStatus, sizeof sent);
  log.push_back(line + " status=" + statusText(sent));
  if (const Fault* f = ioctlFault(r, FaultEffect::error)) {
    log.push_back(format("fault ioctl seq=%llu dev=%s errno=%d", (unsigned long long)r.seq,
                         r.dir.c_str(), f->error));
    return f->error;
  }
  std::vector<unsigned char> reply(layout.outSize, 0);
  std::uint32_t index = 0;
  for (const Field& field : layout.out) {
    const std::uint64_t value = resultValue(layout.number, field, ++index);
    std::memcpy(reply.data() + field.offset, &value, field.width);
  }
  if (const Fault* f = ioctlFault(r, FaultEffect::status)) {
    const CompactStatus status = replyStatus(f->code, f->line, f->file);
    std::memcpy(reply.data() + layout.outStatus, &status, sizeof status);
    log.push_back(format("fault ioctl seq=%llu dev=%s status=%s", (unsigned long long)r.seq,
                         r.dir.c_str(), statusText(status).c_str()));
  }
  if (!memory.write(r.block.out, reply.data(), reply.size())) return EFAULT;
  std::uint32_t returned = r.block.outSize;
  memory.write(r.blockAddress + offsetof(IoctlBlock, bytesReturned), &returned, sizeof returned);
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
  if (const Fault* f = ioctlFault(r, FaultEffect::error)) {
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
  if (const Fault* f = ioctlFault(r, FaultEffect::status)) {
    status = replyStatus(f->code, f->line, f->file);
    stored = stored && f->code >= 0;
    log.push_back(format("fault ioctl seq=%llu dev=%s status=%s", (unsigned long long)r.seq,
                         r.dir.c_str(), statusText(status).c_str()));
  }
  if (!isSet) {
  } else if (ioctlFault(r, FaultEffect::discard) != nullptr) {
    stored = false;
    log.push_back(
        format("fault ioctl seq=%llu dev=%s discard", (unsigned long long)r.seq, r.dir.c_str()));
  }

  // With a state file, the values are those of the file, under its lock
  // until this request is answered.
  StateFile state(bench_.statePath);
  if (!bench_.statePath.empty() && !state.load(bench_, values_, failure_)) return EIO;
  auto key = std::make_tuple(r.dir, q.port, q.propertyId);
  if (isSet) {
    if (stored) {
      values_[key] = value;
      if (!bench_.statePath.empty() && !state.save(values_, failure_)) return EIO;
    }
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
