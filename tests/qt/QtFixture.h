// A fixture for Qt backend tests: the Qt backend, a program run on it, and
// helpers that pump the GUI thread's events (the test's thread is the GUI
// thread, so it must never block while runtime threads call the backend)
// until a condition holds, under a watchdog. Runtime threads record what
// their event loops took in an EventLog the test reads.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "qt/QtBackend.h"
#include "runtime/system/ThreadNumber.h"
#include "runtime/ui/EventLoop.h"
#include "runtime/ui/Program.h"
#include "runtime/ui/Window.h"

namespace runtime::qt::testing {

struct Taken {
  std::int32_t thread = 0;
  ui::Event event;
  std::string modelText;        // the control's text in the model when taken
  std::int32_t modelValue = 0;  // its value (selected row for lists)
};

class EventLog {
 public:
  void Add(Taken taken) {
    std::lock_guard lock(mutex_);
    taken_.push_back(std::move(taken));
  }
  // The first event taken with code on control, if any.
  std::optional<Taken> Find(ui::EventCode code, std::int32_t control, std::int32_t thread = 0) const {
    std::lock_guard lock(mutex_);
    for (const Taken& t : taken_) {
      if (t.event.code == code && t.event.control == control && (thread == 0 || t.thread == thread)) return t;
    }
    return std::nullopt;
  }
  // Every event taken with code on control, in the order taken.
  std::vector<Taken> All(ui::EventCode code, std::int32_t control) const {
    std::lock_guard lock(mutex_);
    std::vector<Taken> all;
    for (const Taken& t : taken_) {
      if (t.event.code == code && t.event.control == control) all.push_back(t);
    }
    return all;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<Taken> taken_;
};

class QtFixture : public ::testing::Test {
 protected:
  void SetUp() override { program = std::make_unique<ui::Program>(backend); }

  void TearDown() override {
    if (!PumpUntil([&] { return program->WaitForEnd(std::chrono::milliseconds(0)); })) {
      ADD_FAILURE() << "the program did not end";
      std::abort();  // threads still running would outlive the fixture
    }
    program.reset();
  }

  void Start(std::function<void()> main) { ASSERT_TRUE(program->Start(std::move(main))); }

  // Processes GUI events until done() holds; false (and a failure) when the
  // watchdog runs out first.
  bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds watchdog = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + watchdog;
    QTimer tick;  // wakes the wait below to look at done() again
    tick.start(2);
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) {
        ADD_FAILURE() << "watchdog: the condition never held";
        return false;
      }
      QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
  }

  // Waits until count windows are shown; returns the newest.
  QtWindow* WaitForWindows(std::size_t count = 1) {
    if (!PumpUntil([&] { return backend.Windows().size() >= count; })) return nullptr;
    return backend.Find(backend.Windows().back());
  }

  // Closes every window as its close button would (the runtime agrees
  // unless a taker refuses).
  void CloseWindows() {
    for (ui::WindowId id : backend.Windows()) ui::PostInput(ui::Event{ui::EventCode::CloseWindow, 0, id, {}});
  }

  std::optional<Taken> WaitFor(ui::EventCode code, std::int32_t control, std::int32_t thread = 0) {
    std::optional<Taken> found;
    PumpUntil([&] { return (found = log.Find(code, control, thread)).has_value(); });
    return found;
  }

  // Runtime thread: opens description and runs its loop, recording every
  // event; answer decides each event's handling (CarryOn when empty).
  void RunWindow(const ui::WindowDescription& description,
                 std::function<ui::LoopAction(ui::Window&, const ui::Event&)> answer = {}) {
    auto window = ui::Window::Open(description);
    ui::RunEventLoop(*window, [&](const ui::Event& e) {
      Taken taken{runtime::CurrentThreadNumber(), e, {}, 0};
      if (const ui::Control* c = window->Find(e.control)) {
        taken.modelText = c->Text();
        taken.modelValue = c->Kind() == ui::ControlKind::List ? c->SelectedRow() : c->Value();
      }
      log.Add(taken);
      return answer ? answer(*window, e) : ui::LoopAction::CarryOn;
    });
  }

  QtBackend backend;
  std::unique_ptr<ui::Program> program;
  EventLog log;
};

// A control description in one line.
inline ui::ControlDescription Control(ui::ControlKind kind, std::string text, ui::Rect rect,
                                      std::int32_t parentIndex = -1) {
  ui::ControlDescription c;
  c.kind = kind;
  c.text = std::move(text);
  c.rect = rect;
  c.parentIndex = parentIndex;
  return c;
}

}  // namespace runtime::qt::testing
