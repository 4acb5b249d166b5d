// SPDX-License-Identifier: MIT
// The product path layer on arbitrary bytes: trimPath, cPath::appendUtf8 and
// cPath::getMbs.
//
// Input: one mode byte, then components, each a length byte followed by that
// many bytes. With an odd mode byte the path starts from the temporary
// directory (kind 13) with TMPDIR set to the first component, so that the
// directory builder's own appends see arbitrary text too; otherwise it starts
// as "/home/kbuser" (kind 17).
//
// Each append must accept exactly the valid UTF-8 components and join them by
// the trimming rule; an invalid one must throw with the path unchanged.
// getMbs must give the path itself when it is ASCII and fail with -52027
// otherwise (the tool runs in the "C" locale).
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "error/cExceptionBase.h"
#include "fuzz/fuzzCheck.h"
#include "productpath/cPath.h"
#include "productpath/cSysqWrapper.h"
#include "tqsysq/stdpath_util.h"

namespace {

using nTQVLKAET100::nENSPAN000::cExceptionBase;
using nTQVLKAET100::vlpath::cPath;
using tqfuzz::check;

constexpr std::int32_t kNotConvertible = -52027;
constexpr std::uint32_t kLineBadUtf8 = 513;

// RFC 3629, written out independently of the tool's validator.
bool validUtf8(const std::string& text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = p + text.size();
  while (p < end) {
    const unsigned lead = *p;
    std::size_t more;
    std::uint32_t code;
    if (lead < 0x80) {
      ++p;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      more = 1;
      code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      more = 2;
      code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      more = 3;
      code = lead & 0x07;
    } else {
      return false;
    }
    if (static_cast<std::size_t>(end - p) <= more) return false;
    for (std::size_t i = 1; i <= more; ++i) {
      if ((p[i] & 0xC0) != 0x80) return false;
      code = (code << 6) | (p[i] & 0x3F);
    }
    if ((more == 2 && code < 0x800) || (more == 3 && code < 0x10000)) return false;
    if ((code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return false;
    p += more + 1;
  }
  return true;
}

bool trimmedAtEnd(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r') || c == 0 || c == '/';
}

std::string trimmed(const std::string& text) {
  std::size_t end = text.size();
  while (end > 0 && trimmedAtEnd(text[end - 1])) --end;
  std::size_t begin = 0;
  while (begin < end && (text[begin] == ' ' || (text[begin] >= '\t' && text[begin] <= '\r'))) {
    ++begin;
  }
  return text.substr(begin, end - begin);
}

bool ascii(const std::string& text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

void checkMbs(cPath& path) {
  const std::string utf8 = path.getUtf8();
  try {
    const std::string mbs = path.getMbs();
    check(ascii(utf8), "a path outside ASCII converted in the C locale");
    check(mbs == utf8, "an ASCII path changed in conversion");
  } catch (const cExceptionBase& error) {
    check(!ascii(utf8), "an ASCII path failed to convert");
    check(error.code() == kNotConvertible, "a conversion failed with another code");
  }
  check(path.getUtf8() == utf8, "getMbs changed the path");
}

void append(cPath& path, const std::string& component) {
  const std::string before = path.getUtf8();
  const bool valid = validUtf8(component);
  try {
    path.appendUtf8(component);
    check(valid, "invalid UTF-8 was appended");
    const std::string head = trimmed(before);
    const std::string tail = trimmed(component);
    check(path.getUtf8() == (head.empty() ? tail : head + "/" + tail),
          "an append did not join by the trimming rule");
  } catch (const cExceptionBase& error) {
    check(!valid, "valid UTF-8 was refused");
    check((error.location() & 0x3FFF) == kLineBadUtf8, "invalid UTF-8 refused at another site");
    check(path.getUtf8() == before, "a refused append changed the path");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::vector<std::string> components;
  for (std::size_t i = 1; i < size;) {
    const std::size_t length = data[i++];
    const std::size_t taken = length < size - i ? length : size - i;
    components.emplace_back(reinterpret_cast<const char*>(data + i), taken);
    i += taken;
  }

  for (const std::string& component : components) {
    std::string copy = component;
    tqsysq::trimPath(copy);
    check(copy == trimmed(component), "trimPath disagrees with its rule");
  }

  // TMPDIR always comes from the input, never from an earlier input or the
  // environment.
  const bool fromTemp = (data[0] & 1) != 0 && !components.empty();
  nTQVLKAET100::vlpath::cSysqWrapper wrapper;
  std::size_t next = 0;
  std::string base = "/home/kbuser";
  if (fromTemp) {
    const std::string temp(components[next++].c_str());
    ::setenv("TMPDIR", temp.c_str(), 1);
    base = temp;
  }
  try {
    cPath path(fromTemp ? 13 : 17, wrapper);
    check(validUtf8(base), "a directory of invalid UTF-8 was built");
    const std::string head = trimmed(base);
    check(path.getUtf8() == (fromTemp ? (head.empty() ? "tq-vlnk" : head + "/tq-vlnk") : base),
          "the directory builder gave another path");
    for (; next < components.size(); ++next) append(path, components[next]);
    checkMbs(path);
  } catch (const cExceptionBase& error) {
    check(!validUtf8(base), "the directory builder failed on valid UTF-8");
    check((error.location() & 0x3FFF) == kLineBadUtf8, "the builder failed at another site");
  }
  return 0;
}
