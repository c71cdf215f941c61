#pragma once
// What one update run did: the files it copied, the files it left to the
// package's archive or to the host because they exist there, the lists it
// merged, and every failure with its path.

#include <string>
#include <vector>

#include "update/host_writer.h"

namespace zet {

struct RunFailure {
  std::string path;
  std::string reason;
};

class RunReport {
 public:
  void Reset() { *this = RunReport(); }

  void Copied() { ++copied_; }
  void LeftToArchive() { ++leftToArchive_; }
  void KeptExisting() { ++keptExisting_; }
  void ListMerged() { ++listsMerged_; }
  // The user stopped the run: what it had not done is not done.
  void Stopped() { stopped_ = true; }
  void Failure(std::string path, std::string reason) {
    failures_.push_back({std::move(path), std::move(reason)});
    if (failureHook_ != nullptr) failureHook_(failures_.back());
  }
  // Called with each failure as it is recorded (a preview lists them).
  void SetFailureHook(void (*hook)(const RunFailure&)) { failureHook_ = hook; }

  int copied() const { return copied_; }
  int leftToArchive() const { return leftToArchive_; }
  int keptExisting() const { return keptExisting_; }
  int listsMerged() const { return listsMerged_; }
  bool stopped() const { return stopped_; }
  const std::vector<RunFailure>& failures() const { return failures_; }
  // A preview's changes, in run order; empty after a real run.
  const std::vector<PreviewChange>& changes() const { return changes_; }
  void SetChanges(std::vector<PreviewChange> changes) { changes_ = std::move(changes); }

 private:
  int copied_ = 0;
  int leftToArchive_ = 0;
  int keptExisting_ = 0;
  int listsMerged_ = 0;
  bool stopped_ = false;
  std::vector<RunFailure> failures_;
  std::vector<PreviewChange> changes_;
  void (*failureHook_)(const RunFailure&) = nullptr;
};

// A preview's changes, one PreviewLine a line; withDiffs adds after each
// merged file the unified diff of its bytes.
std::string PreviewListing(const RunReport& report, bool withDiffs);

}  // namespace zet
