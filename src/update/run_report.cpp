#include "update/run_report.h"

#include "update/run_state.h"
#include "update/unified_diff.h"

namespace zet {

RunReport g_RunReport;

namespace {

// A diff as a terminal may show it: tabs and line ends kept, every other
// control character (a package's escape sequence, say) a '?'.
std::string ShownDiff(const std::string& diff) {
  std::string out;
  size_t start = 0;
  for (size_t i = 0; i <= diff.size(); ++i) {
    if (i < diff.size() && diff[i] != '\n' && diff[i] != '\t') continue;
    out += platform::ShownText(diff.substr(start, i - start));
    if (i < diff.size()) out += diff[i];
    start = i + 1;
  }
  return out;
}

}  // namespace

std::string PreviewListing(const RunReport& report, bool withDiffs) {
  std::string out;
  for (const PreviewChange& change : report.changes()) {
    out += PreviewLine(change) + "\n";
    if (withDiffs && (change.kind == ChangeKind::FileMerged || !change.newBytes.empty()))
      out += ShownDiff(UnifiedDiff(change.oldBytes, change.newBytes, platform::ShownPath(change.path)));
  }
  return out;
}

}  // namespace zet
