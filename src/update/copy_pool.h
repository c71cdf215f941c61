#pragma once
// The tree walk's copies, made by a few worker threads while the walk goes
// on, and their outcomes recorded on the walk's thread in the order the walk
// queued them: progress, the report's counts and its failures are those of
// a walk that copies each file itself. Copies go to the workers in batches,
// so that handing them over costs little beside the copies; the queue is
// bounded, so what waits does not grow with the tree.

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "update/tree_copy.h"

namespace zet {

class CopyPool {
 public:
  // workers below 2: every copy is made at once on the caller's thread.
  explicit CopyPool(int workers);
  ~CopyPool();  // copies not begun are left undone
  CopyPool(const CopyPool&) = delete;
  CopyPool& operator=(const CopyPool&) = delete;

  // A copy to make; its outcome is recorded after those queued before it.
  // A file found empty is left out, as the walk leaves out empty files.
  void Copy(const std::string& from, const std::string& to, bool overwrite);
  // An outcome known without copying, recorded in its turn.
  void Note(CopyResult result);
  // Waits for every copy queued and records the outcomes still pending.
  void Finish();

  // One worker for each core, at least two; one (no pool) under Wine.
  static int DefaultWorkers();

 private:
  struct Job {
    std::string from, to;
    bool overwrite = false;
    bool done = false;  // result holds the outcome
    CopyResult result;
  };
  struct Batch {
    std::vector<Job> jobs;
    bool done = false;
  };
  static constexpr size_t kBatchCopies = 32;
  static constexpr int kMostWorkers = 64;  // more only wait for the disk

  void Submit();
  void RecordReady(bool wait);
  void Work();
  bool WalkMayGoOn() const;  // with mutex_ held

  Batch open_;           // the walk's batch being filled
  size_t openCopies_ = 0;
  std::vector<Batch> ring_;
  uint64_t recorded_ = 0, taken_ = 0, added_ = 0;  // counters of batches; each index modulo the ring's size
  bool quit_ = false;
  bool walkWaits_ = false;
  int idle_ = 0;  // workers waiting for a batch
  std::mutex mutex_;
  std::condition_variable queued_, finished_;
  std::vector<std::thread> threads_;
};

}  // namespace zet
