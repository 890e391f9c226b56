// One more thread for the duration of one call: how the decoders use a
// second core. There is no pool and nothing outlives the call: the thread
// is started inside an operation and joined before the operation returns,
// so the library keeps no state between calls and stays callable from any
// thread. Progress callbacks never run on the helper.
#pragma once

#include <thread>
#include <utility>

namespace rk {

// Threads one picture may be split over: 2 on a machine with two or more
// cores, else 1 (std::thread::hardware_concurrency, 0 when unknown).
[[nodiscard]] inline int PictureThreads() { return std::thread::hardware_concurrency() >= 2 ? 2 : 1; }

class HelperThread {
 public:
  HelperThread() = default;
  ~HelperThread() { Join(); }
  HelperThread(const HelperThread&) = delete;
  HelperThread& operator=(const HelperThread&) = delete;

  // Runs fn() on a new thread. False when none could be started (no
  // resources): fn then has not run and the caller does the work itself.
  template <class F>
  [[nodiscard]] bool Start(F&& fn) noexcept {
    try {
      thread_ = std::thread(std::forward<F>(fn));
      return true;
    } catch (...) {
      return false;
    }
  }

  void Join() noexcept {
    try {
      if (thread_.joinable()) thread_.join();
    } catch (...) {
    }
  }

 private:
  std::thread thread_;
};

}  // namespace rk
