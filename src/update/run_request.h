#pragma once
// What a front end asks of one update run.

#include <string>

namespace zet {

class HostWriter;

enum class RunMode {
  Install,  // changes the host's tree
  Preview,  // changes nothing; the report lists each change the run would make
};

struct RunRequest {
  std::string source;  // the package's resource folder, as the user gave it
  std::string target;  // the host's resource folder
  // Replace files the host has, and copy the files the archive holds as well.
  bool overwrite = false;
  RunMode mode = RunMode::Install;
  // Install only: keep a journal of the run that can take it back. The
  // journal lives a layer above the run: RunWithJournal (host/run_journal.h)
  // opens it and passes its writer; RunUpdate itself only reads writer.
  bool journal = true;
  std::string journalRoot;  // empty: JournalRoot()
  // What makes the run's changes to the host's tree, rooted at target; null:
  // the disk (Install) or a preview of its own (Preview). Not owned.
  HostWriter* writer = nullptr;
  // The threads that copy the package's files: 0 for one per core (at least
  // two); 1 copies each file on the run's own thread. A preview, which
  // copies nothing, lists its changes on the run's own thread.
  int copyWorkers = 0;
};

// The checks both programs make before a run. The language text that refuses
// the request ("IDMSG2": the package's folder is missing, "IDMSG3": the
// host's, "IDMSG4": one folder named twice, "IDMSG_TARGET_IN_PACKAGE": the
// host's folder inside the package's), or nullptr when it may run.
const char* RequestRefusal(const RunRequest& request);

}  // namespace zet
