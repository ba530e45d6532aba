// An open window of the window model: its own properties and its controls.
// The model is the one truth; the window pushes what changed to the backend
// before its thread waits for the next event, or at once on Display.
//
// Thread: opened by a runtime thread, which owns it (its events go to that
// thread's queue). Every operation requires the runtime lock; Post may be
// called from any runtime thread, the owner's or another.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "runtime/ui/Control.h"
#include "runtime/ui/Event.h"
#include "runtime/ui/Property.h"
#include "runtime/ui/WindowDescription.h"
#include "runtime/ui/WindowView.h"

namespace runtime::ui {

struct ThreadContext;

class Window {
 public:
  // Opens a window from its description on the calling runtime thread: the
  // model is built (controls numbered in declaration order from 1, fixed
  // numbers kept, positions clamped), the backend shows it, and an
  // OpenWindow event is queued. The returned object owns the model; the
  // window closes when it is destroyed, when Close is called, or when its
  // thread ends. Requires: a runtime thread holding the runtime lock.
  static std::unique_ptr<Window> Open(const WindowDescription& description);
  ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  WindowId Id() const { return id_; }
  std::int32_t Thread() const;
  const std::string& Name() const { return name_; }
  bool IsOpen() const { return open_; }
  // Whether a newer window of the same thread is open: only a thread's newest
  // window takes the user's input; the older ones, the owners of a modal
  // procedure's window, are shown disabled and what the user does to them
  // is dropped, not kept for later. Set by Open and Close.
  bool Held() const { return view_.held; }
  // Closes the window: the lists take the column widths the user gave them
  // (TakeUsersColumnWidths), the backend forgets it, its queued events are
  // dropped and its event loops end. Nothing happens when it is closed
  // already.
  void Close();

  // --- Window properties ---------------------------------------------------------
  const std::string& Title() const { return view_.title; }
  void SetTitle(std::string title);
  void SetIcon(std::string icon);
  const Rect& Position() const { return view_.rect; }
  void SetPosition(Rect rect);  // clamped
  WindowState State() const { return view_.state; }
  void SetState(WindowState state);
  // The state the window had before it was last iconised (Normal or
  // Maximised): what bringing it back from the taskbar or tray restores.
  WindowState StateBeforeIconised() const { return stateBeforeIconised_; }
  // Raises the window above the others and makes it the active one.
  void BringToFront();
  Frame FrameKind() const { return view_.frame; }
  void SetFrame(Frame frame);
  // The smallest client size the user can give the window; 0 = no limit.
  void SetMinimumSize(std::int32_t width, std::int32_t height);
  // The largest client size the user can give the window; 0 = no limit.
  void SetMaximumSize(std::int32_t width, std::int32_t height);
  bool Hidden() const { return view_.hidden; }
  void Hide();
  void Unhide();
  // Timer events every hundredths of the runtime clock; 0 stops the timer.
  void SetTimer(std::int32_t hundredths);
  std::int32_t Timer() const { return timerHundredths_; }
  runtime::Value Get(Property property) const;
  bool Set(Property property, const runtime::Value& value);

  // --- Controls ------------------------------------------------------------------
  // nullptr when the window has no such control.
  Control* Find(std::int32_t number);
  const Control* Find(std::int32_t number) const;
  std::vector<std::int32_t> ControlNumbers() const;
  // Creates a control at run time with the next free number (above every
  // number in use below the toolbar range) and returns the number.
  std::int32_t CreateControl(ControlKind kind, std::int32_t parent = 0);
  bool DestroyControl(std::int32_t number);
  // Shorthands for Find(number)->...; unknown numbers are ignored.
  void SetText(std::int32_t number, std::string text);
  std::string Text(std::int32_t number) const;
  void Enable(std::int32_t number);
  void Disable(std::int32_t number);
  void Hide(std::int32_t number);
  void Unhide(std::int32_t number);
  // Takes the widths the user dragged list's columns to into the model
  // (without pushing them back); false when the backend reports none.
  bool TakeUsersColumnWidths(std::int32_t list);

  // Gives the control the focus.
  void Select(std::int32_t number);
  std::int32_t Focus() const { return view_.focus; }
  // Pushes the control (0 = the whole window) to the backend now, re-reading
  // list rows from their sources.
  void Display(std::int32_t number = 0);
  // Pushes what changed since the last push.
  void Flush();

  // --- Events ---------------------------------------------------------------------
  // Queues an event for this window on its owner's queue. Any runtime thread.
  void Post(EventCode code, std::int32_t control = 0, EventData data = {});
  // Starts the accept-all pass: when the current event has been handled,
  // every control is validated in number order; the first invalid one gets a
  // Rejected event, otherwise a Completed event follows. Either comes next.
  void AcceptAll();
  // From AcceptAll until the pass's Rejected or Completed event was handled.
  bool InAcceptAll() const { return acceptAll_ != PassState::Idle; }

  // --- For the event loop ------------------------------------------------------------
  ThreadContext& Owner() const { return *owner_; }
  // Applies what the user changed to the model, without pushing it back.
  void Apply(const Event& event);
  // The pass's result event when one is due (after the event that started it).
  std::optional<Event> TakeAcceptAllResult();
  void FinishAcceptAll(const Event& event);
  // A Timer event when the timer is due by the runtime clock; the next one is
  // then due an interval later.
  std::optional<Event> TakeTimerIfDue();
  // Steady microseconds of the runtime clock until the timer is due.
  std::optional<std::int64_t> MicrosUntilTimer() const;

 private:
  Window() = default;
  ControlView ViewOf(const Control& control) const;
  // Holds every open window of thread but the newest and frees the newest,
  // showing each change at once (the held windows' loops are not running).
  static void HoldOwners(ThreadContext& thread);
  WindowView ViewOfWindow(bool withControls) const;

  enum class PassState : std::uint8_t { Idle, Pending, Delivered };

  // Constant after construction.
  WindowId id_ = kNoWindow;
  std::string name_;
  std::shared_ptr<ThreadContext> owner_;

  // Guarded by the runtime lock.
  bool open_ = false;
  WindowView view_;  // window-level properties (controls kept below)
  bool windowDirty_ = false;
  std::map<std::int32_t, Control> controls_;
  WindowState stateBeforeIconised_ = WindowState::Normal;
  std::int32_t timerHundredths_ = 0;
  std::int64_t timerDueMicros_ = 0;
  PassState acceptAll_ = PassState::Idle;
};

}  // namespace runtime::ui
