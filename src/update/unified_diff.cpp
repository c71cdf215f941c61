#include "update/unified_diff.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace zet {

namespace {

constexpr size_t kContext = 3;
// Above this many cells the middle part is shown as removed and added
// whole rather than matched line by line: still a true diff, only longer.
constexpr size_t kMatchCells = 4u << 20;

// Lines end in LF, CR LF or CR alone (texture lists of old tools).
std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find_first_of("\r\n", at);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(at, end - at));
    at = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
  return lines;
}

// The edit script: ' ' keep, '-' remove a line of a, '+' add a line of b.
std::string EditScript(const std::vector<std::string>& a, const std::vector<std::string>& b) {
  size_t head = 0;
  while (head < a.size() && head < b.size() && a[head] == b[head]) ++head;
  size_t tail = 0;
  while (tail < a.size() - head && tail < b.size() - head && a[a.size() - 1 - tail] == b[b.size() - 1 - tail]) ++tail;
  const size_t n = a.size() - head - tail, m = b.size() - head - tail;
  std::string middle;
  if ((n + 1) * (m + 1) > kMatchCells) {
    middle = std::string(n, '-') + std::string(m, '+');
  } else {
    // Longest common subsequence of the middle parts, from the back.
    std::vector<uint32_t> lcs((n + 1) * (m + 1), 0);
    auto at = [&](size_t i, size_t j) -> uint32_t& { return lcs[i * (m + 1) + j]; };
    for (size_t i = n; i-- > 0;)
      for (size_t j = m; j-- > 0;)
        at(i, j) = a[head + i] == b[head + j] ? at(i + 1, j + 1) + 1 : std::max(at(i + 1, j), at(i, j + 1));
    size_t i = 0, j = 0;
    while (i < n || j < m) {
      if (i < n && j < m && a[head + i] == b[head + j]) {
        middle += ' ';
        ++i, ++j;
      } else if (i < n && (j == m || at(i + 1, j) >= at(i, j + 1))) {
        middle += '-';
        ++i;
      } else {
        middle += '+';
        ++j;
      }
    }
  }
  return std::string(head, ' ') + middle + std::string(tail, ' ');
}

std::string Range(size_t start, size_t count) {
  // A hunk without lines on one side names the line before it.
  return std::to_string(count == 0 ? start : start + 1) + "," + std::to_string(count);
}

}  // namespace

std::string UnifiedDiff(const std::string& before, const std::string& after, const std::string& name) {
  const std::vector<std::string> a = SplitLines(before), b = SplitLines(after);
  const std::string script = EditScript(a, b);
  if (script.find_first_not_of(' ') == std::string::npos) return {};
  std::string out = "--- " + name + "\n+++ " + name + "\n";
  size_t ai = 0, bi = 0;  // lines of a and b before script position k
  for (size_t k = 0; k < script.size();) {
    const size_t change = script.find_first_not_of(' ', k);
    if (change == std::string::npos) break;
    // Hunk: from kContext lines before the change to kContext lines after
    // the last change that is no more than 2 * kContext kept lines away.
    const size_t start = change - std::min(kContext, change - k);
    size_t end = change;
    for (;;) {
      size_t kept = script.find_first_not_of("+-", end);
      if (kept == std::string::npos) {
        end = script.size();
        break;
      }
      size_t next = script.find_first_not_of(' ', kept);
      if (next == std::string::npos || next - kept > 2 * kContext) {
        end = std::min(script.size(), kept + kContext);
        break;
      }
      end = next;
    }
    for (; k < start; ++k) ++ai, ++bi;
    size_t oldCount = 0, newCount = 0;
    for (size_t x = start; x < end; ++x) {
      oldCount += script[x] != '+';
      newCount += script[x] != '-';
    }
    out += "@@ -" + Range(ai, oldCount) + " +" + Range(bi, newCount) + " @@\n";
    for (; k < end; ++k) {
      const char op = script[k];
      out += op;
      out += op == '+' ? b[bi] : a[ai];
      out += '\n';
      if (op != '+') ++ai;
      if (op != '-') ++bi;
    }
  }
  return out;
}

}  // namespace zet
