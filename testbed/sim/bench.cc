// SPDX-License-Identifier: MIT
#include "sim/bench.h"

#include <errno.h>
#include <fcntl.h>
#include <glob.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace tqsim {
namespace {

const std::uint32_t kForceLinkDisable = 0x0210FEEA;

bool parseNumber(const std::string& text, std::uint64_t& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  unsigned long long v = std::strtoull(text.c_str(), &end, 0);
  if (errno != 0 || *end != 0 || text[0] == '-') return false;
  value = v;
  return true;
}

bool parseU32(const std::string& text, std::uint32_t& value) {
  std::uint64_t v = 0;
  if (!parseNumber(text, v) || v > 0xFFFFFFFFu) return false;
  value = static_cast<std::uint32_t>(v);
  return true;
}

bool parseHex(const std::string& text, std::string& bytes) {
  if (text.size() % 2 != 0) return false;
  bytes.clear();
  for (std::size_t i = 0; i < text.size(); i += 2) {
    char pair[3] = {text[i], text[i + 1], 0};
    char* end = nullptr;
    long v = std::strtol(pair, &end, 16);
    if (*end != 0 || !std::isxdigit(static_cast<unsigned char>(pair[0])) ||
        !std::isxdigit(static_cast<unsigned char>(pair[1])))
      return false;
    bytes.push_back(static_cast<char>(v));
  }
  return true;
}

std::string le32(std::uint32_t v) {
  std::string s(4, '\0');
  std::memcpy(&s[0], &v, 4);
  return s;
}

// Splits "key=value"; a word without "=" has an empty value and hasValue false.
struct Word {
  std::string key;
  std::string value;
  bool hasValue = false;
};

Word splitWord(const std::string& w) {
  Word r;
  auto eq = w.find('=');
  if (eq == std::string::npos) {
    r.key = w;
  } else {
    r.key = w.substr(0, eq);
    r.value = w.substr(eq + 1);
    r.hasValue = true;
  }
  return r;
}

bool parseStatus(const std::string& text, Fault& f) {
  auto c1 = text.find(':');
  auto c2 = c1 == std::string::npos ? c1 : text.find(':', c1 + 1);
  if (c2 == std::string::npos) return false;
  char* end = nullptr;
  std::string codeText = text.substr(0, c1);
  errno = 0;
  long long code = std::strtoll(codeText.c_str(), &end, 0);
  if (codeText.empty() || *end != 0 || errno != 0 || code < INT32_MIN || code > INT32_MAX)
    return false;
  if (!parseU32(text.substr(c1 + 1, c2 - c1 - 1), f.line)) return false;
  f.file = text.substr(c2 + 1);
  if (f.file.size() > 23) return false;
  f.code = static_cast<std::int32_t>(code);
  return true;
}

// The words a fault of each kind reads; any other word on its line is a
// mistake, not a selector to ignore.
bool takesWord(FaultKind kind, const std::string& key) {
  if (key == "from" || key == "times") return true;
  switch (kind) {
    case FaultKind::ioctl:
      return key == "seq" || key == "dev" || key == "port" || key == "prop" || key == "req" ||
             key == "errno" || key == "status" || key == "discard";
    case FaultKind::glob:
      return key == "result";
    case FaultKind::fread:
      return key == "path";
    default:
      return key == "path" || key == "errno";
  }
}

bool parseFault(const std::vector<std::string>& words, Fault& f, std::string& why) {
  if (words.size() < 2) {
    why = "fault needs a kind";
    return false;
  }
  static const std::map<std::string, FaultKind> kinds = {
      {"ioctl", FaultKind::ioctl}, {"glob", FaultKind::glob}, {"fopen", FaultKind::fopen},
      {"fread", FaultKind::fread}, {"read", FaultKind::read}, {"flock", FaultKind::flock},
      {"open", FaultKind::open}};
  auto k = kinds.find(words[1]);
  if (k == kinds.end()) {
    why = "unknown fault kind '" + words[1] + "'";
    return false;
  }
  f.kind = k->second;
  int effects = 0;  // errno=, status= and discard given on an ioctl line
  for (std::size_t i = 2; i < words.size(); ++i) {
    Word w = splitWord(words[i]);
    if (!takesWord(f.kind, w.key)) {
      why = "fault " + words[1] + " takes no word '" + words[i] + "'";
      return false;
    }
    bool ok = w.hasValue;
    if (w.key == "discard") {
      ok = !w.hasValue;
      f.effect = FaultEffect::discard;
      ++effects;
    } else if (!ok) {
    } else if (w.key == "seq") {
      ok = parseNumber(w.value, f.seq) && f.seq > 0;
    } else if (w.key == "dev") {
      f.device = w.value;
    } else if (w.key == "port") {
      ok = parseU32(w.value, f.port);
      f.hasPort = true;
    } else if (w.key == "prop") {
      ok = parseU32(w.value, f.property);
      f.hasProperty = true;
    } else if (w.key == "req") {
      ok = parseU32(w.value, f.request);
    } else if (w.key == "errno") {
      ok = parseErrno(w.value, f.error) && f.error > 0;
      f.effect = FaultEffect::error;
      ++effects;
    } else if (w.key == "status") {
      ok = parseStatus(w.value, f);
      f.effect = FaultEffect::status;
      ++effects;
    } else if (w.key == "result") {
      if (w.value == "aborted") {
        f.globResult = GLOB_ABORTED;
      } else if (w.value == "nospace") {
        f.globResult = GLOB_NOSPACE;
      } else {
        ok = false;
      }
    } else if (w.key == "path") {
      f.path = w.value;
    } else if (w.key == "from") {
      ok = parseNumber(w.value, f.from) && f.from > 0;
    } else if (w.key == "times") {
      ok = parseNumber(w.value, f.times);
    } else {
      ok = false;
    }
    if (!ok) {
      why = "bad fault word '" + words[i] + "'";
      return false;
    }
  }
  switch (f.kind) {
    case FaultKind::ioctl:
      if (effects != 1) {
        why = "ioctl fault needs exactly one of errno=, status= and discard";
        return false;
      }
      break;
    case FaultKind::glob:
      if (f.globResult == 0) {
        why = "glob fault needs result=aborted|nospace";
        return false;
      }
      break;
    case FaultKind::fread:
      if (f.path.empty()) {
        why = "fread fault needs path=";
        return false;
      }
      break;
    default:
      if (f.path.empty() || f.error == 0) {
        why = "fault needs path= and errno=";
        return false;
      }
  }
  return true;
}

Device* findDevice(Bench& bench, const std::string& dir) {
  for (auto& d : bench.devices)
    if (d.dir == dir) return &d;
  return nullptr;
}

const Device* findDevice(const Bench& bench, const std::string& dir) {
  for (const auto& d : bench.devices)
    if (d.dir == dir) return &d;
  return nullptr;
}

// Hands the words of every line that holds any (comments removed) to take;
// the first line it refuses ends the walk with "<what> line N: <why>".
template <typename Take>
bool forEachLine(const std::string& text, const std::string& what, std::string& error, Take take) {
  std::istringstream in(text);
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    auto hash = line.find('#');
    if (hash != std::string::npos) line.erase(hash);
    std::istringstream words(line);
    std::vector<std::string> w;
    for (std::string word; words >> word;) w.push_back(word);
    if (w.empty()) continue;
    std::string why;
    if (!take(w, why)) {
      error = what + " line " + std::to_string(number) + ": " + why;
      return false;
    }
  }
  return true;
}

// value <dir> port=<n> prop=<id> hex=<bytes>, the words after the
// device in any order, each once.
bool parseValue(const std::vector<std::string>& words, const Bench& bench, Values& values,
                std::string& why) {
  std::uint32_t port = 0, id = 0;
  std::string bytes;
  bool ok = words.size() == 5 && findDevice(bench, words[1]) != nullptr;
  unsigned seen = 0;  // one bit per word kind: each must come once
  for (std::size_t i = 2; ok && i < words.size(); ++i) {
    Word w = splitWord(words[i]);
    const unsigned bit = w.key == "port" ? 1 : w.key == "prop" ? 2 : w.key == "hex" ? 4 : 0;
    ok = w.hasValue && bit != 0 && (seen & bit) == 0 &&
         (bit == 1   ? parseU32(w.value, port)
          : bit == 2 ? parseU32(w.value, id)
                     : parseHex(w.value, bytes));
    seen |= bit;
  }
  if (!ok) {
    why = "value needs a declared device, port=<n>, prop=<id> and hex=<bytes>";
    return false;
  }
  values[std::make_tuple(words[1], port, id)] = bytes;
  return true;
}

bool parseLine(const std::vector<std::string>& words, Bench& bench, std::string& why) {
  const std::string& kind = words[0];
  if (kind == "device") {
    if (words.size() < 2) {
      why = "device needs a directory name";
      return false;
    }
    if (words[1].find('=') != std::string::npos) {
      why = "device needs a directory name before its words, not '" + words[1] + "'";
      return false;
    }
    if (findDevice(bench, words[1]) != nullptr) {
      why = "device '" + words[1] + "' declared twice";
      return false;
    }
    Device d;
    d.dir = words[1];
    for (std::size_t i = 2; i < words.size(); ++i) {
      Word w = splitWord(words[i]);
      bool ok = w.hasValue;
      if (ok && w.key == "serial") {
        ok = parseU32(w.value, d.serial);
      } else if (ok && w.key == "ports") {
        ok = parseU32(w.value, d.numPorts);
      } else if (ok && w.key == "pid") {
        ok = parseU32(w.value, d.pid);
      } else {
        ok = false;
      }
      if (!ok) {
        why = "bad device word '" + words[i] + "'";
        return false;
      }
    }
    bench.devices.push_back(d);
    return true;
  }
  if (kind == "property") {
    Device* d = words.size() == 4 ? findDevice(bench, words[1]) : nullptr;
    if (d == nullptr) {
      why = "property needs a declared device, a name and hex=<bytes> or dir";
      return false;
    }
    PropertyFile p;
    p.name = words[2];
    Word w = splitWord(words[3]);
    if (w.key == "dir" && !w.hasValue) {
      p.isDirectory = true;
    } else if (!(w.key == "hex" && parseHex(w.value, p.bytes))) {
      why = "bad property content '" + words[3] + "'";
      return false;
    }
    d->overrides.push_back(p);
    return true;
  }
  if (kind == "interface") {
    if (words.size() < 3 || findDevice(bench, words[1]) == nullptr) {
      why = "interface needs a declared device and a directory name";
      return false;
    }
    Interface itf;
    itf.device = words[1];
    itf.dir = words[2];
    bool hasText = false;
    for (std::size_t i = 3; i < words.size(); ++i) {
      Word w = splitWord(words[i]);
      bool ok = true;
      if (w.hasValue && w.key == "node") {
        itf.node = w.value;
      } else if (w.hasValue && w.key == "text") {
        itf.text = w.value;
        hasText = true;
      } else if (w.hasValue && w.key == "texthex") {
        ok = parseHex(w.value, itf.text);
        hasText = true;
      } else if (!w.hasValue && w.key == "missing") {
        itf.state = NodeState::missing;
      } else if (!w.hasValue && w.key == "forbidden") {
        itf.state = NodeState::forbidden;
      } else {
        ok = false;
      }
      if (!ok) {
        why = "bad interface word '" + words[i] + "'";
        return false;
      }
    }
    if (itf.node.empty()) {
      why = "interface needs node=<path>";
      return false;
    }
    if (!hasText) itf.text = itf.node;
    bench.interfaces.push_back(itf);
    return true;
  }
  if (kind == "size") {
    std::uint32_t id = 0, size = 0;
    if (words.size() != 3 || !parseU32(words[1], id) || !parseU32(words[2], size)) {
      why = "size needs a property id and a byte count";
      return false;
    }
    bench.sizes[id] = size;
    return true;
  }
  if (kind == "value") return parseValue(words, bench, bench.values, why);
  if (kind == "state") {
    if (words.size() != 2 || words[1].find('=') != std::string::npos || !bench.statePath.empty()) {
      why = "state needs one file name, once";
      return false;
    }
    bench.statePath = words[1];
    return true;
  }
  if (kind == "fault") {
    Fault f;
    if (!parseFault(words, f, why)) return false;
    if (!f.device.empty() && findDevice(bench, f.device) == nullptr) {
      why = "fault names device '" + f.device + "', which no device line declared before it";
      return false;
    }
    bench.faults.push_back(f);
    return true;
  }
  why = "unknown line kind '" + kind + "'";
  return false;
}

bool writeFile(const std::string& path, const std::string& bytes) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  return ::close(fd) == 0 && ok;
}

bool makeDir(const std::string& path) {
  return ::mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

}  // namespace

std::map<std::uint32_t, std::uint32_t> defaultPropertySizes() {
  return {{kForceLinkDisable, 1}, {0x13FFFE, 4}, {0x13FFFD, 4}, {0x13FFF7, 4},
          {0x13FFF5, 4},          {0x13FFF3, 4}, {0x13FFEF, 4}};
}

bool parseErrno(const std::string& text, int& value) {
  static const std::map<std::string, int> names = {
      {"EPERM", EPERM},   {"ENOENT", ENOENT}, {"EINTR", EINTR},        {"EIO", EIO},
      {"ENXIO", ENXIO},   {"EBADF", EBADF},   {"EAGAIN", EAGAIN},      {"ENOMEM", ENOMEM},
      {"EACCES", EACCES}, {"EFAULT", EFAULT}, {"EBUSY", EBUSY},        {"ENODEV", ENODEV},
      {"EINVAL", EINVAL}, {"EMFILE", EMFILE}, {"ENOTTY", ENOTTY},      {"ENOSPC", ENOSPC},
      {"ENOLCK", ENOLCK}, {"ENOSYS", ENOSYS}, {"ETIMEDOUT", ETIMEDOUT}};
  auto it = names.find(text);
  if (it != names.end()) {
    value = it->second;
    return true;
  }
  std::uint32_t v = 0;
  if (!parseU32(text, v) || v > 4095) return false;
  value = static_cast<int>(v);
  return true;
}

bool parseBench(const std::string& text, Bench& bench, std::string& error) {
  bench = Bench();
  bench.sizes = defaultPropertySizes();
  return forEachLine(text, "bench", error,
                     [&bench](const std::vector<std::string>& w, std::string& why) {
                       return parseLine(w, bench, why);
                     });
}

bool parseValues(const std::string& text, const Bench& bench, const std::string& what,
                 Values& values, std::string& error) {
  values.clear();
  return forEachLine(text, what, error, [&](const std::vector<std::string>& w, std::string& why) {
    if (w[0] != "value") {
      why = "only value lines belong here, not '" + w[0] + "'";
      return false;
    }
    return parseValue(w, bench, values, why);
  });
}

std::string valueLine(const std::string& device, std::uint32_t port, std::uint32_t property,
                      const std::string& bytes) {
  char id[16];
  std::snprintf(id, sizeof id, "0x%08x", property);
  return "value " + device + " port=" + std::to_string(port) + " prop=" + id +
         " hex=" + hex(bytes.data(), bytes.size());
}

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

bool readBenchFile(const std::string& path, Bench& bench, std::string& error) {
  // Read to the end with the error of every call kept: a directory opens
  // and fails only on reading, and must not pass for an empty bench.
  std::string text;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  int readError = fd < 0 ? errno : 0;
  char buffer[4096];
  while (readError == 0) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
      text.append(buffer, static_cast<std::size_t>(n));
    } else if (n == 0) {
      break;
    } else if (errno != EINTR) {
      readError = errno;
    }
  }
  if (fd >= 0) ::close(fd);
  if (readError != 0) {
    error = "cannot read bench file " + path + ": " + std::strerror(readError);
    return false;
  }
  if (!parseBench(text, bench, error)) return false;
  if (!bench.statePath.empty() && bench.statePath[0] != '/') {
    const auto slash = path.rfind('/');
    if (slash != std::string::npos) bench.statePath = path.substr(0, slash + 1) + bench.statePath;
  }
  return true;
}

bool buildTree(const Bench& bench, const std::string& root, std::string& error) {
  const std::string tq = root + "/tq";
  bool ok = makeDir(root) && makeDir(tq) && writeFile(root + "/node", "");
  for (const auto& d : bench.devices) {
    const std::string dev = tq + "/" + d.dir;
    const std::string props = dev + "/deviceProperties";
    ok = ok && makeDir(dev) && makeDir(props) && makeDir(dev + "/deviceInterfaces");
    std::map<std::string, PropertyFile> files;
    files["SerialNum"] = {"SerialNum", le32(d.serial), false};
    files["NumPorts"] = {"NumPorts", le32(d.numPorts), false};
    files["PID"] = {"PID", le32(d.pid), false};
    for (const auto& p : d.overrides) files[p.name] = p;
    for (const auto& [name, p] : files) {
      const std::string path = props + "/" + name;
      ok = ok && (p.isDirectory ? makeDir(path) : writeFile(path, p.bytes));
    }
  }
  for (const auto& i : bench.interfaces) {
    const std::string dir = tq + "/" + i.device + "/deviceInterfaces/" + i.dir;
    ok = ok && makeDir(dir) && writeFile(dir + "/interfacePath", i.text);
  }
  if (!ok) error = "cannot build the driver tree under " + root + ": " + std::strerror(errno);
  return ok;
}

}  // namespace tqsim
