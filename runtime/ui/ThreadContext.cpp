#include "runtime/ui/ThreadContext.h"

#include <utility>

namespace runtime::ui {

namespace {
thread_local ThreadContext* current = nullptr;
}

ThreadContext* CurrentContext() { return current; }
void SetCurrentContext(ThreadContext* context) { current = context; }

Registry& Registry::Instance() {
  static Registry registry;
  return registry;
}

std::shared_ptr<ThreadContext> Registry::AddThread(std::int32_t number) {
  auto context = std::make_shared<ThreadContext>(number);
  {
    std::lock_guard lock(mutex_);
    if (ending_) context->closingDown = true;
    threads_[number] = context;
  }
  changed_.notify_all();
  return context;
}

void Registry::RemoveThread(std::int32_t number) {
  {
    std::lock_guard lock(mutex_);
    threads_.erase(number);
  }
  changed_.notify_all();
}

std::shared_ptr<ThreadContext> Registry::Thread(std::int32_t number) {
  std::lock_guard lock(mutex_);
  auto it = threads_.find(number);
  return it == threads_.end() ? nullptr : it->second;
}

std::vector<std::shared_ptr<ThreadContext>> Registry::Threads() {
  std::lock_guard lock(mutex_);
  std::vector<std::shared_ptr<ThreadContext>> all;
  for (auto& [number, context] : threads_) all.push_back(context);
  return all;
}

std::int32_t Registry::NextThreadNumber() {
  std::lock_guard lock(mutex_);
  return nextThread_++;
}

std::size_t Registry::LiveThreads() {
  std::lock_guard lock(mutex_);
  return threads_.size();
}

void Registry::AddHandle(pthread_t handle) {
  std::lock_guard lock(mutex_);
  handles_.push_back(handle);
}

std::vector<pthread_t> Registry::TakeHandles() {
  std::lock_guard lock(mutex_);
  return std::exchange(handles_, {});
}

WindowId Registry::AddWindow(std::int32_t thread, Window* window) {
  WindowId id;
  {
    std::lock_guard lock(mutex_);
    id = nextWindow_++;
    windows_[id] = {thread, window};
  }
  changed_.notify_all();
  return id;
}

void Registry::RemoveWindow(WindowId window) {
  {
    std::lock_guard lock(mutex_);
    windows_.erase(window);
  }
  changed_.notify_all();
}

std::shared_ptr<ThreadContext> Registry::OwnerOf(WindowId window) {
  std::lock_guard lock(mutex_);
  auto it = windows_.find(window);
  if (it == windows_.end()) return nullptr;
  auto thread = threads_.find(it->second.thread);
  return thread == threads_.end() ? nullptr : thread->second;
}

Window* Registry::Find(WindowId window) {
  std::lock_guard lock(mutex_);
  auto it = windows_.find(window);
  return it == windows_.end() ? nullptr : it->second.window;
}

WindowId Registry::NewestWindowLocked(std::int32_t thread) const {
  WindowId newest = kNoWindow;
  for (const auto& [id, entry] : windows_) {
    if (entry.thread == thread) newest = id;
  }
  return newest;
}

WindowId Registry::NewestWindowOf(std::int32_t thread) {
  std::lock_guard lock(mutex_);
  return NewestWindowLocked(thread);
}

void Registry::PostInput(Event event) {
  std::lock_guard lock(mutex_);
  auto window = windows_.find(event.window);
  if (window == windows_.end()) return;
  auto thread = threads_.find(window->second.thread);
  if (thread == threads_.end()) return;
  if (IsUserAction(event) && NewestWindowLocked(window->second.thread) != event.window) return;
  thread->second->queue.PostInput(std::move(event));
}

void Registry::Reset() {
  std::lock_guard lock(mutex_);
  nextThread_ = 1;
  ending_ = false;
  onEnd_ = nullptr;
  haltingThread_ = 0;
  haltCode_ = 0;
  parked_ = 0;
  haltSteps_ = nullptr;
  onHalt_ = nullptr;
}

bool Registry::Ending() {
  std::lock_guard lock(mutex_);
  return ending_;
}

std::vector<std::shared_ptr<ThreadContext>> Registry::BeginEnding() {
  std::lock_guard lock(mutex_);
  ending_ = true;
  std::vector<std::shared_ptr<ThreadContext>> alive;
  for (auto& [number, context] : threads_) alive.push_back(context);
  return alive;
}

void Registry::SetOnEnd(std::function<void()> onEnd) {
  std::lock_guard lock(mutex_);
  onEnd_ = std::move(onEnd);
}

std::function<void()> Registry::TakeOnEnd() {
  std::lock_guard lock(mutex_);
  return std::exchange(onEnd_, nullptr);
}

bool Registry::StartHalt(std::int32_t thread, int exitCode) {
  std::lock_guard lock(mutex_);
  if (haltingThread_ != 0) return false;
  haltingThread_ = thread;
  haltCode_ = exitCode;
  return true;
}

std::optional<int> Registry::HaltCode() {
  std::lock_guard lock(mutex_);
  if (haltingThread_ == 0) return std::nullopt;
  return haltCode_;
}

bool Registry::HaltingThread(std::int32_t thread) {
  std::lock_guard lock(mutex_);
  return haltingThread_ != 0 && haltingThread_ == thread;
}

void Registry::AddParked() {
  {
    std::lock_guard lock(mutex_);
    ++parked_;
  }
  changed_.notify_all();
}

void Registry::SetHaltSteps(std::function<void()> steps) {
  std::lock_guard lock(mutex_);
  haltSteps_ = std::move(steps);
}

std::function<void()> Registry::TakeHaltSteps() {
  std::lock_guard lock(mutex_);
  return std::exchange(haltSteps_, nullptr);
}

void Registry::SetOnHalt(std::function<void(int)> onHalt) {
  std::lock_guard lock(mutex_);
  onHalt_ = std::move(onHalt);
}

std::function<void(int)> Registry::TakeOnHalt() {
  std::lock_guard lock(mutex_);
  return std::exchange(onHalt_, nullptr);
}

}  // namespace runtime::ui
