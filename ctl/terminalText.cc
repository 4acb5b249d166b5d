// SPDX-License-Identifier: MIT
#include "ctl/terminalText.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "productpath/utf8.h"

namespace nTQVLKAET100 {

namespace {

// One piece of the output: what it shows and how many input bytes it stands for.
struct tPiece {
  std::size_t begin;  // in the escaped text
  std::size_t bytes;  // of the input
};

void escapeBytes(const std::string& bytes, std::size_t at, std::size_t count, std::string& out) {
  char text[8];
  for (std::size_t i = at; i < at + count; ++i) {
    std::snprintf(text, sizeof text, "\\x%02x", static_cast<unsigned char>(bytes[i]));
    out += text;
  }
}

}  // namespace

std::string terminalText(const std::string& bytes, std::size_t limit) {
  // Most text is printable ASCII within the limit: copied as it is.
  if (bytes.size() <= limit &&
      std::all_of(bytes.begin(), bytes.end(), [](char c) { return c >= 0x20 && c < 0x7F; })) {
    return bytes;
  }
  std::string out;
  std::vector<tPiece> pieces;
  for (std::size_t at = 0; at < bytes.size();) {
    std::uint32_t codePoint = 0;
    std::size_t length = vlpath::decodeUtf8At(bytes, at, codePoint);
    pieces.push_back({out.size(), length == 0 ? 1 : length});
    const bool control = codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F);
    if (length == 0 || control) {
      escapeBytes(bytes, at, length == 0 ? 1 : length, out);
    } else {
      out.append(bytes, at, length);
    }
    at += pieces.back().bytes;
  }
  if (out.size() <= limit) return out;
  // The last piece that ends within half the limit, and the first that
  // starts within half the limit of the end.
  std::size_t head = 0;
  std::size_t headBytes = 0;
  while (head < pieces.size() &&
         (head + 1 < pieces.size() ? pieces[head + 1].begin : out.size()) <= limit / 2) {
    headBytes += pieces[head++].bytes;
  }
  std::size_t tail = pieces.size();
  std::size_t tailBytes = 0;
  while (tail > head && out.size() - pieces[tail - 1].begin <= limit / 2) {
    tailBytes += pieces[--tail].bytes;
  }
  const std::size_t headEnd = head < pieces.size() ? pieces[head].begin : out.size();
  const std::size_t tailBegin = tail < pieces.size() ? pieces[tail].begin : out.size();
  return out.substr(0, headEnd) + "[... " + std::to_string(bytes.size() - headBytes - tailBytes) +
         " bytes ...]" + out.substr(tailBegin);
}

}  // namespace nTQVLKAET100
