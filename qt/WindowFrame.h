// The top-level widget of a window: a menu bar (when the window has menus)
// over the client area that holds the controls. It reports what the user did
// to the window itself: the close button, focus, moves, sizes and state
// changes. Changes the backend makes on the runtime's behalf are not
// reported back (the frame compares with the geometry it was last given).
// Thread: the GUI thread.
#pragma once

#include <QMainWindow>
#include <functional>

#include "runtime/ui/Event.h"
#include "runtime/ui/WindowDescription.h"

namespace runtime::qt {

class WindowFrame : public QMainWindow {
  Q_OBJECT

 public:
  using Reporter = std::function<void(ui::EventCode code, ui::EventData data)>;
  // Converts the frame's geometry to the window's rect in dialog units.
  using RectFromPixels = std::function<ui::Rect(const QRect& frame, int clientTop)>;

  WindowFrame(Reporter report, RectFromPixels toUnits);

  QWidget* ClientArea() const { return client_; }
  // Height of the menu bar above the client area (0 without menus).
  int ClientTop() const;
  // Places the frame at geometry (the runtime's wish) without reporting it;
  // a fixed frame cannot be resized by the user, a resizable one not below
  // minimumClient and not above maximumClient (QWIDGETSIZE_MAX: no limit).
  void Place(const QRect& geometry, ui::Frame frame, QSize minimumClient, QSize maximumClient);
  // Shows the state the runtime asks for, without reporting it.
  void ShowState(ui::WindowState state, bool hidden);
  // Called once the frame has been shown the first time.
  void OnFirstShown(std::function<void()> shown) { onFirstShown_ = std::move(shown); }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void ReportGeometry(ui::EventCode code);
  ui::WindowState StateShown() const;

  Reporter report_;
  RectFromPixels toUnits_;
  QWidget* client_;                                  // owned by the frame
  QRect placed_;                                     // the geometry last given or reported
  ui::WindowState state_ = ui::WindowState::Normal;  // last given or reported
  bool active_ = false;
  bool applying_ = false;  // set while the runtime's wishes are applied
  std::function<void()> onFirstShown_;
};

}  // namespace runtime::qt
