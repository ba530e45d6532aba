#include "runtime/system/ThreadSwitch.h"

#include <array>
#include <atomic>
#include <cstdlib>
#include <mutex>

namespace runtime {

namespace {

// Few hooks, added once each and never removed: read without a lock on
// every take of the runtime lock.
template <typename Hook>
class HookList {
 public:
  void Add(Hook hook) {
    std::lock_guard lock(mutex_);
    const std::size_t count = count_.load();
    for (std::size_t i = 0; i < count; ++i) {
      if (hooks_[i].load() == hook) return;
    }
    if (count == hooks_.size()) std::abort();  // more kinds of per-thread state than foreseen
    hooks_[count].store(hook);
    count_.store(count + 1);
  }
  template <typename... Args>
  void Run(Args... args) const {
    const std::size_t count = count_.load();
    for (std::size_t i = 0; i < count; ++i) hooks_[i].load()(args...);
  }

 private:
  std::mutex mutex_;  // serialises Add
  std::array<std::atomic<Hook>, 8> hooks_{};
  std::atomic<std::size_t> count_{0};
};

HookList<ThreadSwitchHook>& Switches() {
  static HookList<ThreadSwitchHook> hooks;
  return hooks;
}

HookList<ThreadEndHook>& Ends() {
  static HookList<ThreadEndHook> hooks;
  return hooks;
}

}  // namespace

void AddThreadSwitchHook(ThreadSwitchHook hook) { Switches().Add(hook); }
void AddThreadEndHook(ThreadEndHook hook) { Ends().Add(hook); }
void RunThreadSwitchHooks() { Switches().Run(); }
void RunThreadEndHooks(std::int32_t threadNumber) { Ends().Run(threadNumber); }

}  // namespace runtime
