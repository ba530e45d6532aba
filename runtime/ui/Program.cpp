#include "runtime/ui/Program.h"

#include <pthread.h>

#include <utility>

#include "runtime/ui/Backend.h"
#include "runtime/ui/Dialogs.h"
#include "runtime/ui/ThreadContext.h"

namespace runtime::ui {

std::int32_t StartRuntimeThread(std::int32_t number, std::function<void()> procedure, std::uint32_t stackBytes);

Program::Program(Backend& backend)
    : backend_(backend),
      previousBackend_(SetBackend(&backend)),
      previousMessageBoxes_(SetMessageBoxService(&BackendMessageBoxService())),
      previousCursors_(SetCursorService(&BackendCursorService())) {
  Registry::Instance().Reset();
}

Program::~Program() {
  if (started_ && !HaltCode()) WaitForEnd();
  SetCursorService(previousCursors_);
  SetMessageBoxService(previousMessageBoxes_);
  SetBackend(previousBackend_);
}

void Program::OnEnd(std::function<void()> onEnd) { Registry::Instance().SetOnEnd(std::move(onEnd)); }

void Program::OnHalt(std::function<void(int)> onHalt) { Registry::Instance().SetOnHalt(std::move(onHalt)); }

std::optional<int> Program::HaltCode() const { return Registry::Instance().HaltCode(); }

bool Program::Start(std::function<void()> main, std::uint32_t stackBytes) {
  if (started_) return false;
  Registry& registry = Registry::Instance();
  started_ = StartRuntimeThread(registry.NextThreadNumber(), std::move(main), stackBytes) != 0;
  return started_;
}

bool Program::WaitForEnd(std::chrono::milliseconds timeout) {
  if (!started_) return true;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  if (!Registry::Instance().WaitUntil(deadline, [](Registry& r) { return r.LiveThreadsLocked() == 0; })) return false;
  JoinThreads();
  return true;
}

void Program::WaitForEnd() {
  while (!WaitForEnd(std::chrono::hours(1))) {
  }
}

void Program::JoinThreads() {
  // Threads may start threads until the last one has finished; by now none
  // is alive, so the list is complete.
  for (pthread_t handle : Registry::Instance().TakeHandles()) ::pthread_join(handle, nullptr);
  joined_ = true;
}

}  // namespace runtime::ui
