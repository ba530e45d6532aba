#include "qt/WindowFrame.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <algorithm>

namespace runtime::qt {

WindowFrame::WindowFrame(Reporter report, RectFromPixels toUnits)
    : report_(std::move(report)), toUnits_(std::move(toUnits)), client_(new QWidget(this)) {
  setCentralWidget(client_);
  setAttribute(Qt::WA_DeleteOnClose, false);
}

int WindowFrame::ClientTop() const {
  QWidget* bar = menuWidget();
  return bar != nullptr && !bar->isHidden() ? bar->sizeHint().height() : 0;
}

void WindowFrame::Place(const QRect& geometry, ui::Frame frame, QSize minimumClient, QSize maximumClient) {
  applying_ = true;
  if (frame == ui::Frame::Fixed) {
    setFixedSize(geometry.size());
  } else {
    const int top = ClientTop();
    setMinimumSize(minimumClient.width(), minimumClient.height() + top);
    setMaximumSize(maximumClient.width(), std::min(maximumClient.height(), QWIDGETSIZE_MAX - top) + top);
  }
  placed_ = geometry;
  setGeometry(geometry);
  applying_ = false;
}

void WindowFrame::ShowState(ui::WindowState state, bool hidden) {
  applying_ = true;
  if (hidden) {
    hide();
  } else if (state != state_ || !isVisible()) {
    switch (state) {
      case ui::WindowState::Maximised:
        showMaximized();
        break;
      case ui::WindowState::Iconised:
        showMinimized();
        break;
      case ui::WindowState::Normal:
        showNormal();
        break;
    }
  }
  state_ = state;
  applying_ = false;
}

void WindowFrame::closeEvent(QCloseEvent* event) {
  // The runtime decides whether the window closes; it destroys it if so.
  event->ignore();
  // A control being typed in reports its text first (as when it is left),
  // so closing by the frame loses nothing typed; it keeps the focus if the
  // window stays.
  QWidget* focused = focusWidget();
  if (focused != nullptr) focused->clearFocus();
  report_(ui::EventCode::CloseWindow, {});
  if (focused != nullptr) focused->setFocus(Qt::OtherFocusReason);
}

void WindowFrame::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::ActivationChange) {
    const bool active = isActiveWindow();
    if (active != active_) {
      active_ = active;
      report_(active ? ui::EventCode::GainFocus : ui::EventCode::LoseFocus, {});
    }
  } else if (event->type() == QEvent::WindowStateChange && !applying_) {
    const ui::WindowState shown = StateShown();
    if (shown == state_) return;
    state_ = shown;
    switch (shown) {
      case ui::WindowState::Maximised:
        report_(ui::EventCode::Maximised, {});
        break;
      case ui::WindowState::Iconised:
        report_(ui::EventCode::Iconised, {});
        break;
      case ui::WindowState::Normal:
        report_(ui::EventCode::Restored, {});
        break;
    }
  }
}

ui::WindowState WindowFrame::StateShown() const {
  if (windowState() & Qt::WindowMinimized) return ui::WindowState::Iconised;
  if (windowState() & Qt::WindowMaximized) return ui::WindowState::Maximised;
  return ui::WindowState::Normal;
}

void WindowFrame::moveEvent(QMoveEvent* event) {
  QMainWindow::moveEvent(event);
  ReportGeometry(ui::EventCode::Moved);
}

void WindowFrame::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  ReportGeometry(ui::EventCode::Sized);
}

void WindowFrame::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (onFirstShown_) std::exchange(onFirstShown_, nullptr)();
}

void WindowFrame::ReportGeometry(ui::EventCode code) {
  if (applying_ || !isVisible() || geometry() == placed_) return;
  // A minimised window has no place of its own; a maximised one reports its
  // size, so its contents are laid out for it, but not its moves.
  const ui::WindowState state = StateShown();
  if (state == ui::WindowState::Iconised || (state == ui::WindowState::Maximised && code != ui::EventCode::Sized)) {
    return;
  }
  placed_ = geometry();
  ui::EventData data;
  data.windowRect = toUnits_(placed_, ClientTop());
  report_(code, std::move(data));
}

}  // namespace runtime::qt
