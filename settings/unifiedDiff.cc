// SPDX-License-Identifier: MIT
#include "settings/unifiedDiff.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace nTQVLKAET100 {

namespace {

constexpr std::size_t kContext = 3;
// Above this many cells of the edit table, the changed middle is shown as
// removed and added whole rather than searched for a shortest edit.
constexpr std::size_t kMaxTable = 16u << 20;

// The lines of a text, each with its '\n' when it has one, so that a last
// line without one differs from the same line with one.
std::vector<std::string_view> splitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
    lines.push_back(text.substr(start, next - start));
    start = next;
  }
  return lines;
}

enum class tOp : char { kKeep = ' ', kRemove = '-', kAdd = '+' };

// The edit from a to b: common head and tail, and the longest common
// subsequence of the middle, removals before additions.
std::vector<tOp> editScript(const std::vector<std::string_view>& a,
                            const std::vector<std::string_view>& b) {
  std::size_t head = 0;
  while (head < a.size() && head < b.size() && a[head] == b[head]) ++head;
  std::size_t tail = 0;
  while (tail < a.size() - head && tail < b.size() - head &&
         a[a.size() - 1 - tail] == b[b.size() - 1 - tail]) {
    ++tail;
  }
  const std::size_t n = a.size() - head - tail;
  const std::size_t m = b.size() - head - tail;
  std::vector<tOp> ops(head, tOp::kKeep);
  if ((n + 1) * (m + 1) > kMaxTable) {
    ops.insert(ops.end(), n, tOp::kRemove);
    ops.insert(ops.end(), m, tOp::kAdd);
  } else {
    // common[i][j]: the longest common subsequence of a's and b's middles
    // from i and j on.
    std::vector<std::uint32_t> common((n + 1) * (m + 1), 0);
    auto at = [&](std::size_t i, std::size_t j) -> std::uint32_t& {
      return common[i * (m + 1) + j];
    };
    for (std::size_t i = n; i-- > 0;) {
      for (std::size_t j = m; j-- > 0;) {
        at(i, j) = a[head + i] == b[head + j] ? at(i + 1, j + 1) + 1
                                              : std::max(at(i + 1, j), at(i, j + 1));
      }
    }
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < n || j < m) {
      if (i < n && j < m && a[head + i] == b[head + j]) {
        ops.push_back(tOp::kKeep);
        ++i;
        ++j;
      } else if (i < n && (j == m || at(i + 1, j) >= at(i, j + 1))) {
        ops.push_back(tOp::kRemove);
        ++i;
      } else {
        ops.push_back(tOp::kAdd);
        ++j;
      }
    }
  }
  ops.insert(ops.end(), tail, tOp::kKeep);
  return ops;
}

// "start,count" as diff -u writes it: an empty range names the line before.
std::string range(std::size_t first, std::size_t count) {
  if (count == 0) return std::to_string(first) + ",0";
  if (count == 1) return std::to_string(first + 1);
  return std::to_string(first + 1) + "," + std::to_string(count);
}

void appendLine(std::string& out, char mark, std::string_view line) {
  out += mark;
  out.append(line.data(), line.size());
  if (line.empty() || line.back() != '\n') out += "\n\\ No newline at end of file\n";
}

}  // namespace

std::string unifiedDiff(std::string_view oldText, std::string_view newText,
                        const std::string& oldLabel, const std::string& newLabel) {
  const std::vector<std::string_view> a = splitLines(oldText);
  const std::vector<std::string_view> b = splitLines(newText);
  const std::vector<tOp> ops = editScript(a, b);
  std::string out;
  std::size_t k = 0;
  // Positions in a and b of ops[k].
  std::size_t i = 0;
  std::size_t j = 0;
  while (k < ops.size()) {
    if (ops[k] == tOp::kKeep) {
      ++k, ++i, ++j;
      continue;
    }
    // A hunk: up to kContext kept lines before the change, then changes
    // joined while fewer than 2 * kContext + 1 kept lines part them.
    const std::size_t before = std::min({kContext, i, j});
    std::size_t start = k - before;
    std::size_t end = k;
    for (;;) {
      while (end < ops.size() && ops[end] != tOp::kKeep) ++end;
      std::size_t kept = end;
      while (kept < ops.size() && ops[kept] == tOp::kKeep) ++kept;
      if (kept < ops.size() && kept - end <= 2 * kContext) {
        end = kept;
        continue;
      }
      end = std::min(kept, end + kContext);
      break;
    }
    std::size_t oldCount = 0;
    std::size_t newCount = 0;
    for (std::size_t h = start; h < end; ++h) {
      oldCount += ops[h] != tOp::kAdd;
      newCount += ops[h] != tOp::kRemove;
    }
    if (out.empty()) out = "--- " + oldLabel + "\n+++ " + newLabel + "\n";
    out += "@@ -" + range(i - before, oldCount) + " +" + range(j - before, newCount) + " @@\n";
    std::size_t x = i - before;
    std::size_t y = j - before;
    for (std::size_t h = start; h < end; ++h) {
      if (ops[h] == tOp::kAdd) {
        appendLine(out, '+', b[y++]);
      } else {
        appendLine(out, static_cast<char>(ops[h]), a[x++]);
        y += ops[h] == tOp::kKeep;
      }
    }
    k = end;
    i = x;
    j = y;
  }
  return out;
}

}  // namespace nTQVLKAET100
