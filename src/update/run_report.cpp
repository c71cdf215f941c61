#include "update/run_report.h"

#include "update/run_state.h"
#include "update/unified_diff.h"

namespace zet {

RunReport g_RunReport;

std::string PreviewListing(const RunReport& report, bool withDiffs) {
  std::string out;
  for (const PreviewChange& change : report.changes()) {
    out += PreviewLine(change) + "\n";
    if (withDiffs && (change.kind == ChangeKind::FileMerged || !change.newBytes.empty()))
      out += UnifiedDiff(change.oldBytes, change.newBytes, platform::ShownPath(change.path));
  }
  return out;
}

}  // namespace zet
