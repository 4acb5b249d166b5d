#include "settings/unifiedDiff.h"

#include <algorithm>
#include <dtl/dtl.hpp>
#include <vector>

namespace nTQVLKAET100 {

namespace {

constexpr std::size_t kContext = 3;

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

// The edit from a to b: common head and tail, and a shortest edit of the
// middle (the O(NP) algorithm of libdtl, memory linear in the lines), each
// run of changes written as diff -u writes it: its removals before its
// additions.
std::vector<tOp> editScript(const std::vector<std::string_view>& a,
                            const std::vector<std::string_view>& b) {
  std::size_t head = 0;
  while (head < a.size() && head < b.size() && a[head] == b[head]) ++head;
  std::size_t tail = 0;
  while (tail < a.size() - head && tail < b.size() - head &&
         a[a.size() - 1 - tail] == b[b.size() - 1 - tail]) {
    ++tail;
  }
  std::vector<tOp> ops(head, tOp::kKeep);
  const std::vector<std::string_view> middleA(a.begin() + head, a.end() - tail);
  const std::vector<std::string_view> middleB(b.begin() + head, b.end() - tail);
  dtl::Diff<std::string_view, std::vector<std::string_view>> diff(middleA, middleB);
  diff.compose();
  std::size_t removed = 0;
  std::size_t added = 0;
  const auto flush = [&] {
    ops.insert(ops.end(), removed, tOp::kRemove);
    ops.insert(ops.end(), added, tOp::kAdd);
    removed = added = 0;
  };
  for (const auto& element : diff.getSes().getSequence()) {
    switch (element.second.type) {
      case dtl::SES_DELETE:
        ++removed;
        break;
      case dtl::SES_ADD:
        ++added;
        break;
      default:
        flush();
        ops.push_back(tOp::kKeep);
    }
  }
  flush();
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
