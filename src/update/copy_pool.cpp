#include "update/copy_pool.h"

#include <algorithm>
#include <new>
#include <system_error>

#include "platform/platform.h"
#include "update/update_run.h"

namespace zet {

CopyPool::CopyPool(int workers) {
  workers = std::min(workers, kMostWorkers);
  if (workers < 2) return;
  ring_.resize(static_cast<size_t>(workers) * 4);
  try {
    for (int i = 0; i < workers; ++i) threads_.emplace_back([this] { Work(); });
  } catch (const std::system_error&) {
    // No more threads to be had (a process limit, little memory): the
    // workers made copy; without any, the caller's thread does.
  }
}

CopyPool::~CopyPool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  queued_.notify_all();
  for (std::thread& t : threads_) t.join();
}

int CopyPool::DefaultWorkers() {
  // Under Wine the pool is slower than the walk's own thread: its server
  // takes the file calls one at a time.
  if (platform::RunsUnderWine()) return 1;
  return std::max(2, static_cast<int>(std::thread::hardware_concurrency()));
}

void CopyPool::Copy(const std::string& from, const std::string& to, bool overwrite) {
  if (threads_.empty()) {
    RecordCopy(CopyFileUnrecorded(from, to, overwrite, EmptySource::LeftOut));
    return;
  }
  Job job;
  job.from = from;
  job.to = to;
  job.overwrite = overwrite;
  open_.jobs.push_back(std::move(job));
  if (++openCopies_ == kBatchCopies) Submit();
}

void CopyPool::Note(CopyResult result) {
  if (threads_.empty()) {
    RecordCopy(result);
    return;
  }
  Job job;
  job.done = true;
  job.result = std::move(result);
  open_.jobs.push_back(std::move(job));
  if (open_.jobs.size() >= 2 * kBatchCopies) Submit();
}

// Hands the open batch to the workers, waiting for room in the ring.
void CopyPool::Submit() {
  if (open_.jobs.empty()) return;
  open_.done = openCopies_ == 0;
  openCopies_ = 0;
  std::unique_lock<std::mutex> lock(mutex_);
  while (added_ - recorded_ == ring_.size()) {
    lock.unlock();
    RecordReady(true);
    lock.lock();
  }
  ring_[added_++ % ring_.size()] = std::move(open_);
  open_ = Batch();
  const bool wake = idle_ > 0;
  lock.unlock();
  if (wake) queued_.notify_one();
  RecordReady(false);
}

void CopyPool::Finish() {
  if (threads_.empty()) return;
  Submit();
  while (true) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (recorded_ == added_) return;
    }
    RecordReady(true);
  }
}

// Records the outcomes of the batches at the front of the ring that are
// done; with wait, waits for the first one at least.
void CopyPool::RecordReady(bool wait) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (wait) {
    walkWaits_ = true;
    finished_.wait(lock, [this] { return WalkMayGoOn(); });
    walkWaits_ = false;
  }
  while (recorded_ < added_ && ring_[recorded_ % ring_.size()].done) {
    const std::vector<Job> jobs = std::move(ring_[recorded_++ % ring_.size()].jobs);
    lock.unlock();
    for (const Job& job : jobs) RecordCopy(job.result);
    lock.lock();
  }
}

// A waiting walk goes on once half the ring (or all that is queued) is
// done at its front: woken for every batch, it would take a core from the
// workers as often as they finish one.
bool CopyPool::WalkMayGoOn() const {
  const uint64_t want = std::min<uint64_t>(added_ - recorded_, (ring_.size() + 1) / 2);
  for (uint64_t i = 0; i < want; ++i)
    if (!ring_[(recorded_ + i) % ring_.size()].done) return false;
  return true;
}

void CopyPool::Work() {
  // A worker opens and closes the folders it holds and the files it copies
  // itself (the run's descriptors, its journal's among them, are open before
  // the pool starts, and stay so until it ends).
  platform::UseOwnFileTable();
  std::unique_lock<std::mutex> lock(mutex_);
  while (true) {
    ++idle_;
    queued_.wait(lock, [this] { return quit_ || taken_ < added_; });
    --idle_;
    if (quit_) return;
    Batch& batch = ring_[taken_++ % ring_.size()];
    if (batch.done) continue;
    // More waiting: another worker takes it while this one copies.
    if (taken_ < added_ && idle_ > 0) queued_.notify_one();
    lock.unlock();
    for (Job& job : batch.jobs) {
      if (job.done) continue;
      // Once the user stops the run, the copies queued are not made (a copy
      // under way is made whole): as where the walk copies itself, nothing
      // is installed after the stop, and nothing counted.
      if (RunStopRequested()) {
        job.result = {CopyOutcome::LeftOut, {}, {}};
        continue;
      }
      try {
        job.result = CopyFileUnrecorded(job.from, job.to, job.overwrite, EmptySource::LeftOut);
      } catch (const std::bad_alloc&) {
        job.result = {CopyOutcome::Failed, job.to, "not enough memory; not copied"};
      }
    }
    lock.lock();
    batch.done = true;
    if (walkWaits_ && WalkMayGoOn()) {
      // Woken while this thread holds the mutex, the walk would sleep again
      // at once, waiting for it.
      walkWaits_ = false;
      lock.unlock();
      finished_.notify_one();
      lock.lock();
    }
  }
}

}  // namespace zet
