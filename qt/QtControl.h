// One control shown by the Qt backend: the widget for a control of the
// window model, the GUI thread's copy of the control as last pushed, and the
// user input it reports. The window places, shows and hides the widget;
// the control shows its contents (text, value, rows) and reports what the
// user did through its InputSink, with the data the user changed.
// Thread: the GUI thread.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "qt/DialogUnits.h"
#include "runtime/ui/Event.h"
#include "runtime/ui/WindowView.h"

namespace runtime::qt {

using InputSink = std::function<void(ui::EventCode code, std::int32_t control, ui::EventData data)>;

class QtControl : public QObject {
 public:
  ~QtControl() override;

  std::int32_t Number() const { return view_.properties.number; }
  const ui::ControlView& View() const { return view_; }
  // The copy of what is shown, kept in step by the window with what the
  // user changed (a chosen tab, a typed text) until the runtime pushes again.
  ui::ControlProperties& ShownProperties() { return view_.properties; }
  // The control's widget (owned by the window's client area); nullptr for
  // controls without one of their own (tabs, menus).
  QWidget* Widget() const { return widget_; }
  // Shows view's contents, replacing what was shown; user-input signals are
  // blocked meanwhile, so nothing shown by the runtime comes back as input.
  void Show(const ui::ControlView& view, const DialogUnits& units);
  // The widget's size when the description leaves it to the backend.
  virtual QSize NaturalSize() const;

 protected:
  QtControl(QWidget* widget, InputSink sink);
  virtual void ShowContents(const ui::ControlView& view, const DialogUnits& units) = 0;
  // The widget keyboard input goes to (a list's view, not its frame).
  virtual QWidget* KeyWidget() const { return widget_; }
  // Adds what the user changed so far (an entry's text) to an alert key the
  // control reports, so the runtime has it when the program takes the key.
  virtual void AddInput(ui::EventData& data) const { static_cast<void>(data); }
  // Installs the alert-key and focus watch on KeyWidget(); call once built.
  void WatchInput();
  void Report(ui::EventCode code, ui::EventData data = {}) const;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPointer<QWidget> widget_;
  InputSink sink_;
  ui::ControlView view_;
  std::string fontShown_;           // the described face the widget shows
  std::int32_t fontSizeShown_ = 0;  // and its described size
};

// The control for view's kind, with its widget made a child of parent.
// Tabs and menus get a control without a widget (the window builds them).
std::unique_ptr<QtControl> MakeControl(const ui::ControlView& view, QWidget* parent, InputSink sink);

}  // namespace runtime::qt
