#include "update/copy_pool.h"

#include <algorithm>
#include <new>

namespace zet {

CopyPool::CopyPool(int workers) {
  if (workers < 2) return;
  ring_.resize(static_cast<size_t>(workers) * 16);
  for (int i = 0; i < workers; ++i) threads_.emplace_back([this] { Work(); });
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
#ifdef _WIN32
  // The Windows build copies on the walk's own thread until the pool has
  // been shown to run there; a run under Wine did not finish with it.
  return 1;
#else
  return std::max(2, static_cast<int>(std::thread::hardware_concurrency()));
#endif
}

void CopyPool::Copy(const std::string& from, const std::string& to, bool overwrite) {
  if (threads_.empty()) {
    RecordCopy(CopyFileUnrecorded(from, to, overwrite));
    return;
  }
  Slot slot;
  slot.from = from;
  slot.to = to;
  slot.overwrite = overwrite;
  Add(std::move(slot));
  queued_.notify_one();
}

void CopyPool::Note(CopyResult result) {
  if (threads_.empty()) {
    RecordCopy(result);
    return;
  }
  Slot slot;
  slot.done = true;
  slot.result = std::move(result);
  Add(std::move(slot));
}

void CopyPool::Add(Slot slot) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (added_ - recorded_ == ring_.size()) {
    lock.unlock();
    RecordReady(true);
    lock.lock();
  }
  ring_[added_++ % ring_.size()] = std::move(slot);
  lock.unlock();
  RecordReady(false);
}

void CopyPool::Finish() {
  while (true) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (recorded_ == added_) return;
    }
    RecordReady(true);
  }
}

// Records the outcomes at the front of the ring that are ready; with wait,
// waits for the first one at least.
void CopyPool::RecordReady(bool wait) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (wait) finished_.wait(lock, [this] { return recorded_ == added_ || ring_[recorded_ % ring_.size()].done; });
  while (recorded_ < added_ && ring_[recorded_ % ring_.size()].done) {
    CopyResult result = std::move(ring_[recorded_ % ring_.size()].result);
    ++recorded_;
    lock.unlock();
    RecordCopy(result);
    lock.lock();
  }
}

void CopyPool::Work() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (true) {
    queued_.wait(lock, [this] { return quit_ || taken_ < added_; });
    if (quit_) return;
    Slot& slot = ring_[taken_++ % ring_.size()];
    if (slot.done) continue;
    lock.unlock();
    CopyResult result;
    try {
      result = CopyFileUnrecorded(slot.from, slot.to, slot.overwrite);
    } catch (const std::bad_alloc&) {
      result = {CopyOutcome::Failed, slot.to, "not enough memory; not copied"};
    }
    lock.lock();
    slot.result = std::move(result);
    slot.done = true;
    finished_.notify_one();
  }
}

}  // namespace zet
