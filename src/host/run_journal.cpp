#include "host/run_journal.h"

#include "host/journal.h"
#include "zet_version.h"

namespace zet {

bool RunWithJournal(const RunRequest& request, UpdateView& view, RunReport& report, std::string& error,
                    const std::function<void()>& beforeChanges) {
  if (request.mode != RunMode::Install || !request.journal || request.writer != nullptr) {
    if (beforeChanges) beforeChanges();
    report = RunUpdate(request, view);
    return true;
  }
  Journal journal;
  JournalStart start;
  start.root = request.journalRoot.empty() ? JournalRoot() : request.journalRoot;
  start.target = request.target;
  start.package = request.source;
  start.version = ZET_VELTRAN_VERSION;
  if (!journal.Begin(start, error)) return false;
  if (beforeChanges) beforeChanges();
  JournalWriter writer(journal, request.target);
  RunRequest journalled = request;
  journalled.writer = &writer;
  report = RunUpdate(journalled, view);
  // A journal whose end mark cannot be written shows the run as
  // interrupted: undo still takes it back.
  journal.Finish();
  return true;
}

}  // namespace zet
