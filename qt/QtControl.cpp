#include "qt/QtControl.h"

#include <QCheckBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSignalBlocker>

#include "qt/ControlWidgets.h"
#include "qt/Conversions.h"
#include "qt/ListControl.h"

namespace runtime::qt {

QtControl::QtControl(QWidget* widget, InputSink sink) : widget_(widget), sink_(std::move(sink)) {}

QtControl::~QtControl() {
  if (widget_ != nullptr) {
    // Losing the focus as it goes must not report input for a control gone.
    widget_->blockSignals(true);
    if (QWidget* keys = KeyWidget(); keys != nullptr) keys->blockSignals(true);
  }
  delete widget_.data();
}

void QtControl::Show(const ui::ControlView& view, const DialogUnits& units) {
  view_ = view;
  if (widget_ == nullptr) return;
  const QSignalBlocker blocker(widget_);
  const QSignalBlocker keyBlocker(KeyWidget());
  const ui::ControlProperties& p = view.properties;
  if (p.font != fontShown_ || p.fontSize != fontSizeShown_) {
    // No face and no size let the widget take its window's font again.
    if (p.font.empty() && p.fontSize <= 0) {
      widget_->setFont(QFont());
    } else {
      QFont font =
          ControlFont(widget_->parentWidget() != nullptr ? widget_->parentWidget()->font() : widget_->font(), p.font);
      if (p.fontSize > 0) font.setPointSize(p.fontSize);
      widget_->setFont(font);
    }
    fontShown_ = p.font;
    fontSizeShown_ = p.fontSize;
  }
  ShowContents(view, units);
}

QSize QtControl::NaturalSize() const { return widget_ != nullptr ? widget_->sizeHint() : QSize(); }

void QtControl::WatchInput() {
  if (QWidget* keys = KeyWidget()) keys->installEventFilter(this);
}

void QtControl::Report(ui::EventCode code, ui::EventData data) const {
  if (sink_) sink_(code, view_.properties.number, std::move(data));
}

bool QtControl::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const ui::KeyCode key = ToKeyCode(*static_cast<QKeyEvent*>(event));
    if (key != ui::KeyCode::None) {
      for (ui::KeyCode alerted : view_.properties.alerts) {
        if (alerted != key) continue;
        const auto& pressed = *static_cast<QKeyEvent*>(event);
        ui::EventData data;
        data.key = key;
        if (!pressed.text().isEmpty() && pressed.text().at(0).isPrint()) data.keyText = pressed.text().toStdString();
        AddInput(data);
        Report(ui::EventCode::AlertKey, std::move(data));
        return true;
      }
    }
  } else if (event->type() == QEvent::FocusIn) {
    // Focus the runtime gave (SelectControl) is not reported back.
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::MouseFocusReason ||
        reason == Qt::ShortcutFocusReason) {
      Report(ui::EventCode::Selected);
    }
  }
  return QObject::eventFilter(watched, event);
}

std::unique_ptr<QtControl> MakeControl(const ui::ControlView& view, QWidget* parent, InputSink sink) {
  using ui::ControlKind;
  switch (view.properties.kind) {
    case ControlKind::Prompt:
    case ControlKind::String:
      return MakeLabel(parent, std::move(sink));
    case ControlKind::LinkText:
      return MakeLinkText(parent, std::move(sink));
    case ControlKind::Image:
      return MakeImage(parent, std::move(sink));
    case ControlKind::Entry:
      return MakeEntry(parent, std::move(sink));
    case ControlKind::Text:
      return MakeTextEditor(parent, std::move(sink));
    case ControlKind::Button:
      return MakeButton(parent, std::move(sink));
    case ControlKind::Check:
      return MakeCheck(parent, std::move(sink));
    case ControlKind::Radio:
      return MakeRadio(parent, std::move(sink));
    case ControlKind::Option:
    case ControlKind::Group:
      return MakeGroup(parent, std::move(sink));
    case ControlKind::Line:
    case ControlKind::Box:
      return MakeFrame(parent, std::move(sink));
    case ControlKind::Region:
      return MakeRegion(parent, std::move(sink));
    case ControlKind::Progress:
      return MakeProgress(parent, std::move(sink));
    case ControlKind::Sheet:
      return MakeSheet(parent, std::move(sink));
    case ControlKind::Spin:
      return MakeSpin(parent, std::move(sink));
    case ControlKind::Combo:
      return MakeCombo(parent, std::move(sink));
    case ControlKind::List:
      return std::make_unique<ListControl>(parent, std::move(sink));
    case ControlKind::Tab:
    case ControlKind::Menu:
    case ControlKind::MenuItem:
      return MakeWithoutWidget(std::move(sink));
  }
  return MakeWithoutWidget(std::move(sink));
}

}  // namespace runtime::qt
