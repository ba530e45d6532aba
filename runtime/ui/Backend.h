// The backend interface: what shows windows to the user and turns the user's
// input into events. The runtime calls it from runtime threads, synchronously
// (a GUI backend marshals each call to its GUI thread and blocks until done).
// Window and control calls are made with the runtime lock held; modal calls
// (message box, popup menu, file dialog, preview) with it released, so a
// question open on one thread never freezes another.
//
// Input: the backend reports what the user did by calling PostInput (below)
// from any thread, with the window's id, the event and what the user changed
// (EventData). It never takes the runtime lock and never reads runtime
// state: everything it shows was pushed to it as a snapshot.
//
// Positions are dialog units (Geometry.h). A closed window's id is never
// reused; calls for an unknown id are ignored.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/ui/DialogRequests.h"
#include "runtime/ui/MessageBox.h"
#include "runtime/ui/WindowView.h"

namespace runtime::ui {

class Backend {
 public:
  virtual ~Backend() = default;

  // --- Windows (runtime lock held) -------------------------------------------------
  // Creates the window with every control of window.controls, hidden while
  // window.hidden.
  virtual void CreateWindow(const WindowView& window) = 0;
  // Title, icon, position, size, state, hidden, focus changed (controls empty).
  virtual void UpdateWindow(const WindowView& window) = 0;
  virtual void DestroyWindow(WindowId window) = 0;
  virtual void CreateControl(WindowId window, const ControlView& control) = 0;
  // Shows control as given, replacing what was shown (texts, rows, state).
  virtual void UpdateControl(WindowId window, const ControlView& control) = 0;
  virtual void DestroyControl(WindowId window, std::int32_t control) = 0;
  // Gives the control the keyboard focus.
  virtual void SelectControl(WindowId window, std::int32_t control) = 0;
  // Where window's client area may lie: one rectangle per screen, the
  // primary screen's first, each the screen's available area (without the
  // desktop's panels) less window's frame (title bar, borders, menu bar), in
  // the dialog units of window's font. A client rectangle inside one puts
  // the whole frame on that screen. Empty when the backend knows no screen.
  virtual std::vector<Rect> ClientAreas(const WindowView& window) const {
    (void)window;
    return {};
  }
  // False for a backend whose windows nobody sees (the command-line
  // companion's): their places are no user's to keep.
  virtual bool ShowsWindows() const { return true; }
  // The widths the user gave list's columns by dragging their edges, in the
  // dialog units of window's font, one per column; empty when the backend
  // shows the list as the runtime last gave it.
  virtual std::vector<std::int32_t> ListColumnWidths(const WindowView& window, std::int32_t list) const {
    (void)window;
    (void)list;
    return {};
  }

  // --- Modal questions (runtime lock released) ---------------------------------------
  // Returns the button pressed (one bit of request.buttons).
  virtual std::uint32_t ShowMessageBox(const MessageBoxRequest& request) = 0;
  // Returns the chosen item's number, 0 when dismissed.
  virtual std::int32_t ShowPopupMenu(const PopupMenuRequest& request) = 0;
  // Returns the chosen path, empty when cancelled.
  virtual std::string ShowFileDialog(const FileDialogRequest& request) = 0;
  virtual PreviewAnswer ShowPreview(const PreviewRequest& request) = 0;

  // --- System (runtime lock held) ------------------------------------------------
  // True when every page was handed to the printer.
  virtual bool Print(const PrintRequest& request) = 0;
  // True on success; the icon then posts request's events to its window.
  virtual bool AddTrayIcon(const TrayIconRequest& request) = 0;
  virtual bool DeleteTrayIcon(std::uint32_t id) = 0;
  // The application-wide cursor (Busy during long work).
  virtual void SetCursor(Cursor cursor) = 0;
  virtual void Beep(BeepKind kind) = 0;
  // Starts playing a sound file and returns; failures are ignored.
  virtual void PlaySound(const std::string& file) = 0;

  // The program is ending: dismiss any question still open (as if the user
  // had closed it) so the threads waiting on them can finish.
  virtual void ProgramEnding() {}
};

// Reports user input: queues event for the thread that owns event.window.
// Events for a window that has closed are dropped, and so is what the user
// does to a window held by a newer window of its thread (Window::Held).
// Any thread; thread-safe.
void PostInput(Event event);

}  // namespace runtime::ui

namespace runtime::ui {

// Installs the backend (borrowed; it must outlive its use) and returns the
// previous one. Program installs its backend for its lifetime.
Backend* SetBackend(Backend* backend);
// The installed backend; with none installed, one that shows nothing and
// answers every question as dismissed.
Backend& CurrentBackend();

}  // namespace runtime::ui
