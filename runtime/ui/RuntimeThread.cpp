#include "runtime/ui/RuntimeThread.h"

#include <limits.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <utility>

#include "runtime/system/RuntimeLock.h"
#include "runtime/system/ThreadNumber.h"
#include "runtime/system/ThreadSwitch.h"
#include "runtime/ui/Backend.h"
#include "runtime/ui/ThreadContext.h"
#include "runtime/ui/Window.h"

namespace runtime::ui {

namespace {

std::atomic<int> refusals{0};  // live ScopedThreadStartRefusal objects

struct ThreadStart {
  std::function<void()> procedure;
  std::shared_ptr<ThreadContext> context;
};

// Program end: every other thread closes down, and open questions are
// dismissed so nothing waits for a user who is gone.
void EndProgram() {
  for (const auto& context : Registry::Instance().BeginEnding()) {
    context->closingDown = true;
    context->queue.Poke();
  }
  CurrentBackend().ProgramEnding();
}

void* ThreadBody(void* argument) {
  std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(argument));
  ThreadContext& context = *start->context;
  SetCurrentContext(&context);
  runtime::SetCurrentThreadNumber(context.number);
  RuntimeLock::Acquire();
  start->procedure();
  start->procedure = nullptr;  // its captures go while the lock is held
  while (!context.windows.empty()) context.windows.back()->Close();
  runtime::RunThreadEndHooks(context.number);
  RuntimeLock::Release();
  if (context.number == 1) EndProgram();
  SetCurrentContext(nullptr);
  Registry& registry = Registry::Instance();
  registry.RemoveThread(context.number);
  if (registry.Ending() && registry.LiveThreads() == 0) {
    if (auto onEnd = registry.TakeOnEnd()) onEnd();
  }
  return nullptr;
}

}  // namespace

std::size_t StackBytesFor(std::uint32_t requested) {
  const auto page = static_cast<std::size_t>(std::max(::sysconf(_SC_PAGESIZE), 4096L));
  std::size_t bytes =
      std::max<std::size_t>({requested, kMinimumStackBytes, static_cast<std::size_t>(PTHREAD_STACK_MIN)});
  return (bytes + page - 1) / page * page;
}

// Also used by Program for thread 1.
std::int32_t StartRuntimeThread(std::int32_t number, std::function<void()> procedure, std::uint32_t stackBytes) {
  Registry& registry = Registry::Instance();
  auto start = std::make_unique<ThreadStart>(ThreadStart{std::move(procedure), registry.AddThread(number)});
  pthread_attr_t attributes;
  ::pthread_attr_init(&attributes);
  ::pthread_attr_setstacksize(&attributes, StackBytesFor(stackBytes));
  pthread_t handle;
  const int failed = ::pthread_create(&handle, &attributes, ThreadBody, start.get());
  ::pthread_attr_destroy(&attributes);
  if (failed != 0) {
    registry.RemoveThread(number);
    return 0;
  }
  start.release();  // the thread owns it now
  registry.AddHandle(handle);
  return number;
}

ScopedThreadStartRefusal::ScopedThreadStartRefusal() { ++refusals; }
ScopedThreadStartRefusal::~ScopedThreadStartRefusal() { --refusals; }

std::int32_t StartThread(std::function<void()> procedure, std::uint32_t stackBytes) {
  if (refusals.load() > 0) return 0;
  return StartRuntimeThread(Registry::Instance().NextThreadNumber(), std::move(procedure), stackBytes);
}

bool IsRuntimeThread() { return CurrentContext() != nullptr; }

Window* TargetWindow() {
  ThreadContext* context = CurrentContext();
  if (context == nullptr) return nullptr;
  if (context->target != nullptr) return context->target;
  return context->windows.empty() ? nullptr : context->windows.back();
}

void SetTargetWindow(Window* window) {
  if (ThreadContext* context = CurrentContext()) context->target = window;
}

KeyCode LastKeyCode() {
  ThreadContext* context = CurrentContext();
  return context != nullptr ? context->lastKey : KeyCode::None;
}

void SetLastKeyCode(KeyCode key) {
  if (ThreadContext* context = CurrentContext()) {
    context->lastKey = key;
    context->lastKeyText.clear();
  }
}

std::string LastKeyText() {
  ThreadContext* context = CurrentContext();
  return context != nullptr ? context->lastKeyText : std::string();
}

bool CloseDownOtherThreads() {
  ThreadContext* self = CurrentContext();
  if (self == nullptr) return true;
  Registry& registry = Registry::Instance();
  if (registry.HaltCode().has_value() && !registry.HaltingThread(self->number)) return false;
  for (const auto& context : registry.BeginEnding()) {
    if (context.get() == self) continue;
    context->closingDown = true;
    context->queue.Poke();
  }
  CurrentBackend().ProgramEnding();
  UnlockedSection unlocked;
  while (!registry.WaitUntil(std::chrono::steady_clock::now() + std::chrono::hours(1),
                             [](Registry& r) { return r.RunningThreadsLocked() <= 1; })) {
  }
  return true;
}

const std::atomic<bool>& CloseDownFlag() {
  static const std::atomic<bool> never{false};
  ThreadContext* context = CurrentContext();
  return context != nullptr ? context->closingDown : never;
}

void SetHaltSteps(std::function<void()> steps) { Registry::Instance().SetHaltSteps(std::move(steps)); }

namespace {

[[noreturn]] void EndProcess(int exitCode) {
  std::fflush(nullptr);
  std::_Exit(exitCode);
}

// The thread waits here, without the lock, until the process ends.
[[noreturn]] void Park() {
  Registry::Instance().AddParked();
  if (RuntimeLock::HeldByThisThread()) RuntimeLock::Release();
  for (;;) ::pause();
}

}  // namespace

void HaltProgram(int exitCode) {
  ThreadContext* self = CurrentContext();
  Registry& registry = Registry::Instance();
  if (self == nullptr || !RuntimeLock::HeldByThisThread()) EndProcess(exitCode);
  if (!registry.StartHalt(self->number, exitCode)) Park();
  (void)CloseDownOtherThreads();
  if (auto steps = registry.TakeHaltSteps()) steps();
  auto onHalt = registry.TakeOnHalt();
  if (!onHalt) EndProcess(exitCode);
  onHalt(exitCode);
  Park();
}

void PostToThread(std::int32_t thread, EventCode code, std::int32_t control) {
  auto context = Registry::Instance().Thread(thread);
  if (context == nullptr || context->windows.empty()) return;
  context->windows.back()->Post(code, control);
}

}  // namespace runtime::ui
