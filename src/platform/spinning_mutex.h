#pragma once
// A mutex for short work that several threads ask for with every file: a
// thread that finds it held tries again for a while before it sleeps, as
// the holder is about to let go; sleeping and waking cost more than the
// work. Held for long, it sleeps as a plain mutex does.

#include <mutex>

namespace zet::platform {

class SpinningMutex {
 public:
  void lock() {
    for (int tries = 0; tries < 200; ++tries) {
      if (mutex_.try_lock()) return;
#if defined(__x86_64__) || defined(__i386__)
      __builtin_ia32_pause();
#endif
    }
    mutex_.lock();
  }
  void unlock() { mutex_.unlock(); }

 private:
  std::mutex mutex_;
};

}  // namespace zet::platform
