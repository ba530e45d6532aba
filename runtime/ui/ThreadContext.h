// The runtime's bookkeeping of its threads and open windows (internal to the
// runtime's window layer and its test driver). The registry has its own
// mutex; the parts of a ThreadContext marked so are guarded by the runtime
// lock and touched only by code holding it.
#pragma once

#include <pthread.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "runtime/ui/Event.h"
#include "runtime/ui/EventQueue.h"
#include "runtime/ui/KeyCode.h"

namespace runtime::ui {

// The first runtime thread numbered: the one a program's start-up and main
// window run on.
inline constexpr std::int32_t kMainThread = 1;

class Window;

struct ThreadContext {
  explicit ThreadContext(std::int32_t n) : number(n) {}

  // Constant after construction.
  const std::int32_t number;
  EventQueue queue;  // thread-safe itself
  // Set once when the program ends; the thread's loops then close down.
  std::atomic<bool> closingDown{false};

  // Guarded by the runtime lock.
  std::vector<Window*> windows;  // open windows, oldest first (borrowed)
  Window* target = nullptr;      // nullptr = the newest open window
  KeyCode lastKey = KeyCode::None;
  std::string lastKeyText;           // what lastKey typed (UTF-8), empty = nothing
  std::vector<const Event*> events;  // the event each running loop handles
};

class Registry {
 public:
  static Registry& Instance();

  // Threads.
  std::shared_ptr<ThreadContext> AddThread(std::int32_t number);
  void RemoveThread(std::int32_t number);
  std::shared_ptr<ThreadContext> Thread(std::int32_t number);
  std::int32_t NextThreadNumber();
  std::size_t LiveThreads();
  void AddHandle(pthread_t handle);
  std::vector<pthread_t> TakeHandles();

  // Windows. The Window pointer may be used only under the runtime lock.
  WindowId AddWindow(std::int32_t thread, Window* window);
  void RemoveWindow(WindowId window);
  std::shared_ptr<ThreadContext> OwnerOf(WindowId window);
  Window* Find(WindowId window);
  // The newest window open on thread, or kNoWindow.
  WindowId NewestWindowOf(std::int32_t thread);
  // Queues what the user did for the thread owning event.window. A user
  // action (IsUserAction) on a window that is not its thread's newest is
  // dropped: a modal window of the thread holds it. Decided and queued under
  // the registry's mutex, so an event is either dropped here or queued before
  // a window opening over it drops the queued ones (Window::Open).
  void PostInput(Event event);

  // Program state.
  void Reset();  // a new program starts: numbering from 1
  bool Ending();
  // Marks the program ending; returns the contexts of the threads still alive.
  std::vector<std::shared_ptr<ThreadContext>> BeginEnding();
  void SetOnEnd(std::function<void()> onEnd);
  std::function<void()> TakeOnEnd();

  // Halting (RuntimeThread.h). StartHalt marks the program halting by
  // thread with exitCode; false when another thread halts it already.
  bool StartHalt(std::int32_t thread, int exitCode);
  std::optional<int> HaltCode();
  bool HaltingThread(std::int32_t thread);
  // A thread that will never end (a halting one) and must not be waited for.
  void AddParked();
  void SetHaltSteps(std::function<void()> steps);
  std::function<void()> TakeHaltSteps();
  void SetOnHalt(std::function<void(int)> onHalt);
  std::function<void(int)> TakeOnHalt();

  // Waits for a registry change (thread or window added or removed) or until
  // the deadline; used by the test driver and Program.
  template <typename Predicate>
  bool WaitUntil(std::chrono::steady_clock::time_point deadline, Predicate predicate) {
    std::unique_lock lock(mutex_);
    return changed_.wait_until(lock, deadline, [&] { return predicate(*this); });
  }
  // Callable from a WaitUntil predicate (the registry mutex is held there).
  bool HasThreadLocked(std::int32_t number) const { return threads_.count(number) != 0; }
  std::size_t LiveThreadsLocked() const { return threads_.size(); }
  // Live threads less the parked ones.
  std::size_t RunningThreadsLocked() const { return threads_.size() - parked_; }
  WindowId NewestWindowLocked(std::int32_t thread) const;
  bool HasWindowLocked(WindowId window) const { return windows_.count(window) != 0; }
  // Every live thread's context.
  std::vector<std::shared_ptr<ThreadContext>> Threads();

 private:
  struct WindowEntry {
    std::int32_t thread = 0;
    Window* window = nullptr;
  };

  std::mutex mutex_;
  // Guarded by mutex_.
  std::condition_variable changed_;
  std::map<std::int32_t, std::shared_ptr<ThreadContext>> threads_;
  std::map<WindowId, WindowEntry> windows_;
  std::vector<pthread_t> handles_;
  std::int32_t nextThread_ = 1;
  WindowId nextWindow_ = 1;
  bool ending_ = false;
  std::function<void()> onEnd_;
  std::int32_t haltingThread_ = 0;  // 0 = not halting
  int haltCode_ = 0;
  std::size_t parked_ = 0;
  std::function<void()> haltSteps_;
  std::function<void(int)> onHalt_;
};

// The calling runtime thread's context; nullptr on other threads.
ThreadContext* CurrentContext();
void SetCurrentContext(ThreadContext* context);

}  // namespace runtime::ui
