#include "qt/QtWindow.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QScreen>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTabWidget>
#include <QWindow>
#include <algorithm>

#include "qt/Conversions.h"
#include "qt/ListControl.h"
#include "runtime/ui/Backend.h"

namespace runtime::qt {

namespace {

using ui::ControlKind;

// A QLineEdit keeps this many pixels between its border and its text.
constexpr int kLineEditTextMargin = 2;

// Parent chains deeper than this are taken as cycles.
constexpr int kMaxNesting = 32;

bool IsMenuKind(ControlKind kind) { return kind == ControlKind::Menu || kind == ControlKind::MenuItem; }

QFont FontOf(const ui::WindowFont& font) {
  QFont result = QGuiApplication::font();
  if (!font.name.empty() && !IsSystemUiFace(font.name)) result.setFamily(ToQString(font.name));
  if (font.points > 0) result.setPointSize(font.points);
  return result;
}

void ApplyColours(QWidget& widget, const ui::ControlProperties& p) {
  const auto text = ToQColor(p.textColour);
  const auto background = ToQColor(p.backgroundColour);
  if (!text && !background) return;
  QPalette palette = widget.palette();
  if (text) {
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) palette.setColor(role, *text);
  }
  if (background) {
    for (auto role : {QPalette::Window, QPalette::Base, QPalette::Button}) palette.setColor(role, *background);
    widget.setAutoFillBackground(true);
  }
  widget.setPalette(palette);
}

}  // namespace

QtWindow::QtWindow(const ui::WindowView& view, const QtWindow* owner)
    : view_(view),
      units_(1, 1),
      frame_(new WindowFrame([this](ui::EventCode code, ui::EventData data) { Report(code, 0, std::move(data)); },
                             [this](const QRect& frame, int clientTop) {
                               return units_.FromPixels(frame.adjusted(0, 0, 0, -clientTop));
                             })) {
  view_.controls.clear();
  frame_->setObjectName(ToQString(view.name));
  frame_->setFont(FontOf(view.font));
  units_ = DialogUnits(frame_->font());
  frame_->setWindowTitle(ToQString(view.title));
  frame_->setWindowIcon(LoadIcon(view.icon));
  for (const ui::ControlView& control : view.controls) CreateControl(control);
  LinkPromptsToTheirControls(view);
  PlaceFrame();
  if (owner != nullptr) {
    // A click on the disabled owner must not raise it over this window: the
    // desktop keeps a dialog above the window it is transient for (a plain
    // window's transient parent is not passed on to the desktop).
    frame_->setWindowFlag(Qt::Dialog);
    frame_->winId();
    owner->frame_->winId();
    frame_->windowHandle()->setTransientParent(owner->frame_->windowHandle());
  }
  frame_->setEnabled(!view.held);
  frame_->ShowState(view.state, view.hidden);
  if (view.focus != 0) Select(view.focus);
}

QtWindow::~QtWindow() {
  controls_.clear();
  delete frame_;
}

void QtWindow::Update(const ui::WindowView& view) {
  const ui::WindowView old = std::exchange(view_, view);
  view_.controls.clear();
  if (view.title != old.title) frame_->setWindowTitle(ToQString(view.title));
  if (view.icon != old.icon) frame_->setWindowIcon(LoadIcon(view.icon));
  if (view.font != old.font) {
    frame_->setFont(FontOf(view.font));
    units_ = DialogUnits(frame_->font());
    for (auto& [number, control] : controls_) PlaceControl(*control);
  }
  if (view.font != old.font || view.rect != old.rect || view.frame != old.frame || view.minWidth != old.minWidth ||
      view.minHeight != old.minHeight || view.maxWidth != old.maxWidth || view.maxHeight != old.maxHeight) {
    PlaceFrame();
  }
  // A window held by a modal window of its thread is disabled for real: the
  // desktop greys it and gives it no input.
  // The keyboard goes back to the control that had it: a re-enabled window
  // would give it to its first control.
  if (view.held != old.held) {
    if (view.held) focusBeforeHeld_ = frame_->focusWidget();
    frame_->setEnabled(!view.held);
    if (!view.held && focusBeforeHeld_) focusBeforeHeld_->setFocus(Qt::OtherFocusReason);
  }
  // Brought to the front, the window also shows the state asked for, which
  // the desktop may have changed meanwhile (minimised, hidden).
  if (view.state != old.state || view.hidden != old.hidden || view.raised != old.raised) {
    frame_->ShowState(view.state, view.hidden);
  }
  if (view.raised != old.raised && !view.hidden) {
    frame_->raise();
    frame_->activateWindow();
  }
  if (view.focus != old.focus && view.focus != 0) Select(view.focus);
}

void QtWindow::LinkPromptsToTheirControls(const ui::WindowView& view) {
  for (const ui::ControlView& prompt : view.controls) {
    const ui::ControlProperties& properties = prompt.properties;
    if (properties.kind != ui::ControlKind::Prompt || properties.text.find('&') == std::string::npos) continue;
    auto next = controls_.upper_bound(properties.number);
    if (next == controls_.end() || !ui::IsInputKind(next->second->ShownProperties().kind)) continue;
    auto* label = qobject_cast<QLabel*>(controls_.at(properties.number)->Widget());
    if (label == nullptr) continue;
    label->setBuddy(next->second->Widget());
    controls_.at(properties.number)->Show(prompt, units_);
  }
}

void QtWindow::CreateControl(const ui::ControlView& view) {
  const std::int32_t number = view.properties.number;
  if (controls_.count(number) != 0) DestroyControl(number);
  auto control = MakeControl(
      view, frame_->ClientArea(),
      [this](ui::EventCode code, std::int32_t n, ui::EventData data) { OnControlInput(code, n, std::move(data)); });
  QtControl& shown = *control;
  controls_.emplace(number, std::move(control));
  shown.ShownProperties() = view.properties;
  if (QWidget* widget = shown.Widget()) widget->setObjectName(QStringLiteral("control%1").arg(number));
  if (auto* list = dynamic_cast<ListControl*>(&shown)) list->OnCellsMoved([this, number] { FollowCells(number); });
  Attach(shown);
  shown.Show(view, units_);
  ShowControl(shown);
  RefreshVisibility();
}

void QtWindow::UpdateControl(const ui::ControlView& view) {
  auto it = controls_.find(view.properties.number);
  if (it == controls_.end()) return;
  it->second->Show(view, units_);
  ShowControl(*it->second);
  RefreshVisibility();
}

void QtWindow::DestroyControl(std::int32_t number) {
  // Controls over its cells are the window's, not the list's, to destroy.
  for (auto& [other, control] : controls_) {
    if (other == number || control->View().properties.placement.list == number) LeaveCell(*control);
  }
  Detach(number);
  controls_.erase(number);
  RefreshVisibility();
}

void QtWindow::Select(std::int32_t number) {
  if (QWidget* widget = ControlWidget(number)) widget->setFocus(Qt::OtherFocusReason);
}

QWidget* QtWindow::ControlWidget(std::int32_t number) const {
  auto it = controls_.find(number);
  return it == controls_.end() ? nullptr : it->second->Widget();
}

QPoint QtWindow::ToScreen(ui::Point at) const {
  return frame_->ClientArea()->mapToGlobal(QPoint(units_.XToPixels(at.x), units_.YToPixels(at.y)));
}

void QtWindow::Report(ui::EventCode code, std::int32_t control, ui::EventData data) {
  ui::PostInput(ui::Event{code, control, view_.id, std::move(data)});
}

void QtWindow::OnControlInput(ui::EventCode code, std::int32_t control, ui::EventData data) {
  auto it = controls_.find(control);
  if (it == controls_.end()) return;
  ui::ControlProperties& shown = it->second->ShownProperties();
  if (data.text) shown.text = *data.text;
  if (data.selectedRow) shown.selectedRow = *data.selectedRow;
  if (data.thumb) shown.thumb = *data.thumb;
  if (data.value) shown.value = *data.value;
  if (shown.kind == ControlKind::Sheet && data.value) RefreshVisibility();
  const ui::ControlView* option = ViewOf(shown.parent);
  if (shown.kind == ControlKind::Radio && option != nullptr && option->properties.kind == ControlKind::Option) {
    // A radio chooses its option's value: its place among the option's radios.
    const std::int32_t optionNumber = shown.parent;
    std::int32_t ordinal = 0, chosen = 0;
    for (auto& [number, other] : controls_) {
      ui::ControlProperties& p = other->ShownProperties();
      if (p.kind != ControlKind::Radio || p.parent != optionNumber) continue;
      ++ordinal;
      if (number == control) chosen = ordinal;
      p.value = number == control ? 1 : 0;
      if (auto* button = qobject_cast<QAbstractButton*>(other->Widget())) {
        const QSignalBlocker blocker(button);
        button->setChecked(number == control);
      }
    }
    controls_.at(optionNumber)->ShownProperties().value = chosen;
    ui::EventData optionData;
    optionData.value = chosen;
    Report(code, optionNumber, std::move(optionData));
    return;
  }
  Report(code, control, std::move(data));
}

const ui::ControlView* QtWindow::ViewOf(std::int32_t number) const {
  auto it = controls_.find(number);
  return it == controls_.end() ? nullptr : &it->second->View();
}

void QtWindow::Attach(QtControl& control) {
  const ui::ControlProperties& p = control.View().properties;
  const std::int32_t number = p.number;
  const ui::ControlView* parent = ViewOf(p.parent);
  if (p.kind == ControlKind::Tab) {
    auto* tabs = parent != nullptr ? qobject_cast<QTabWidget*>(ControlWidget(p.parent)) : nullptr;
    if (tabs == nullptr) return;
    int position = 0;
    for (const auto& [tab, page] : tabPages_) {
      if (tab < number && page != nullptr && page->parentWidget() != nullptr && tabs->indexOf(page) >= 0) ++position;
    }
    const QSignalBlocker blocker(tabs);
    auto* page = new QWidget();
    tabs->insertTab(position, page, ToQString(p.text));
    tabPages_[number] = page;
    if (parent->properties.value - 1 >= 0 && parent->properties.value - 1 < tabs->count()) {
      tabs->setCurrentIndex(parent->properties.value - 1);
    }
    return;
  }
  if (!IsMenuKind(p.kind)) return;
  QMenu* parentMenu = menus_.count(p.parent) != 0 ? menus_[p.parent].data() : nullptr;
  QAction* action = nullptr;
  if (p.kind == ControlKind::Menu) {
    auto* menu = new QMenu(ToQString(p.text), frame_);
    menus_[number] = menu;
    action = parentMenu != nullptr ? parentMenu->addMenu(menu) : frame_->menuBar()->addMenu(menu);
  } else if (p.text == "-") {
    action = parentMenu != nullptr ? parentMenu->addSeparator() : frame_->menuBar()->addSeparator();
  } else {
    action = parentMenu != nullptr ? parentMenu->addAction(ToQString(p.text))
                                   : frame_->menuBar()->addAction(ToQString(p.text));
    QObject::connect(action, &QAction::triggered, frame_,
                     [this, number] { Report(ui::EventCode::Accepted, number, {}); });
  }
  actions_[number] = action;
}

void QtWindow::Detach(std::int32_t number) {
  if (auto it = tabPages_.find(number); it != tabPages_.end()) {
    delete it->second.data();  // the sheet drops the tab with its page
    tabPages_.erase(it);
  }
  if (auto it = actions_.find(number); it != actions_.end()) {
    delete it->second.data();
    actions_.erase(it);
  }
  if (auto it = menus_.find(number); it != menus_.end()) {
    delete it->second.data();
    menus_.erase(it);
  }
}

void QtWindow::ShowControl(QtControl& control) {
  const ui::ControlProperties& p = control.View().properties;
  if (auto it = actions_.find(p.number); it != actions_.end() && it->second != nullptr) {
    QAction* action = it->second;
    if (!action->isSeparator()) action->setText(ToQString(p.text));
    action->setEnabled(p.enabled);
    action->setVisible(!p.hidden);
    action->setToolTip(ToQString(p.tip));
    if (p.kind == ControlKind::MenuItem) {
      action->setCheckable(p.value != 0);
      action->setChecked(p.value != 0);
      action->setIcon(LoadIcon(p.icon));
    }
  }
  if (auto it = tabPages_.find(p.number); it != tabPages_.end() && it->second != nullptr) {
    auto* tabs = qobject_cast<QTabWidget*>(ControlWidget(p.parent));
    const int index = tabs != nullptr ? tabs->indexOf(it->second) : -1;
    if (index >= 0) {
      const QSignalBlocker blocker(tabs);
      tabs->setTabText(index, ToQString(p.text));
      tabs->setTabEnabled(index, p.enabled);
      tabs->setTabVisible(index, !p.hidden);
      tabs->setTabToolTip(index, ToQString(p.tip));
      // An invalid colour (none) gives the tab back the style's own.
      tabs->tabBar()->setTabTextColor(index, ToQColor(p.textColour).value_or(QColor()));
    }
  }
  QWidget* widget = control.Widget();
  if (widget == nullptr) return;
  widget->setEnabled(p.enabled);
  widget->setToolTip(ToQString(p.tip));
  const ui::Cursor cursor =
      p.kind == ControlKind::LinkText && p.cursor == ui::Cursor::Normal ? ui::Cursor::Hand : p.cursor;
  if (cursor == ui::Cursor::Normal) {
    widget->unsetCursor();
  } else {
    widget->setCursor(ToCursorShape(cursor));
  }
  ApplyColours(*widget, p);
  // A transparent control leaves its background unpainted, whatever its colour.
  if (p.transparent) widget->setAutoFillBackground(false);
  PlaceControl(control);
}

void QtWindow::PlaceControl(QtControl& control) {
  QWidget* widget = control.Widget();
  if (widget == nullptr) return;
  const ui::ControlProperties& p = control.View().properties;
  ListControl* list = ListOf(p.placement.list);
  const QModelIndex cell = list != nullptr ? list->Cell(p.placement.row, p.placement.column) : QModelIndex();
  if (cell.isValid()) {
    // Over a cell of a list (in-place editing): a child of the list's rows,
    // which clip it when the cell is partly scrolled away.
    QWidget* rows = list->TableView()->viewport();
    auto* edit = qobject_cast<QLineEdit*>(widget);
    if (widget->parentWidget() != rows) {
      widget->setParent(rows);
      // A thin border marks the cell being edited.
      if (edit != nullptr) edit->setStyleSheet(QStringLiteral("QLineEdit { border: 1px solid palette(highlight); }"));
      widget->setVisible(IsShown(p.number));
    }
    // The text stays where the cell's was.
    if (edit != nullptr) edit->setTextMargins(std::max(0, list->TextIndent(cell) - kLineEditTextMargin - 1), 0, 0, 0);
    widget->setGeometry(list->TableView()->visualRect(cell));
    return;
  }
  LeaveCell(control);
  QRect rect = units_.ToPixels(p.rect);
  const QSize natural = control.NaturalSize();
  if (rect.width() <= 0) rect.setWidth(std::max(natural.width(), 1));
  if (rect.height() <= 0) rect.setHeight(std::max(natural.height(), 1));
  widget->setGeometry(rect);
}

void QtWindow::LeaveCell(QtControl& control) {
  QWidget* widget = control.Widget();
  if (widget == nullptr || widget->parentWidget() == frame_->ClientArea()) return;
  const bool focused = widget->hasFocus();
  QWidget* list = widget->parentWidget()->parentWidget();  // the rows' view
  const QSignalBlocker blocker(widget);                    // leaving the cell is no input of the user's
  widget->setParent(frame_->ClientArea());
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
    edit->setStyleSheet({});
    edit->setTextMargins(0, 0, 0, 0);
  }
  widget->setVisible(IsShown(control.Number()));
  // The keyboard goes back to the list the edit was over.
  if (focused) list->setFocus(Qt::OtherFocusReason);
}

void QtWindow::FollowCells(std::int32_t list) {
  for (auto& [number, control] : controls_) {
    if (control->View().properties.placement.list == list) PlaceControl(*control);
  }
}

std::vector<std::int32_t> QtWindow::UsersColumnWidths(std::int32_t list) const {
  const ListControl* control = ListOf(list);
  return control != nullptr ? control->UsersColumnWidths(units_) : std::vector<std::int32_t>{};
}

ListControl* QtWindow::ListOf(std::int32_t number) const {
  auto it = controls_.find(number);
  return it != controls_.end() ? dynamic_cast<ListControl*>(it->second.get()) : nullptr;
}

void QtWindow::RefreshVisibility() {
  for (auto& [number, control] : controls_) {
    if (QWidget* widget = control->Widget()) widget->setVisible(IsShown(number));
  }
}

bool QtWindow::IsShown(std::int32_t number, int depth) const {
  const ui::ControlView* view = ViewOf(number);
  if (view == nullptr || view->properties.hidden || depth > kMaxNesting) return false;
  const std::int32_t parent = view->properties.parent;
  if (parent == 0) return true;
  const ui::ControlView* parentView = ViewOf(parent);
  if (parentView == nullptr) return true;
  if (parentView->properties.kind == ControlKind::Tab) {
    // Controls of a tab show while their tab is the sheet's current one.
    auto page = tabPages_.find(parent);
    auto* tabs = qobject_cast<QTabWidget*>(ControlWidget(parentView->properties.parent));
    if (page == tabPages_.end() || tabs == nullptr || tabs->currentWidget() != page->second) return false;
  }
  return IsShown(parent, depth + 1);
}

QMargins QtWindow::Decoration() const {
  const QRect inner = frame_->geometry();
  const QRect outer = frame_->frameGeometry();
  return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
          outer.bottom() - inner.bottom()};
}

DialogUnits QtWindow::UnitsOf(const ui::WindowFont& font) { return DialogUnits(FontOf(font)); }

void QtWindow::PlaceFrame() {
  QRect rect = units_.ToPixels(view_.rect);
  if (rect.width() <= 0 || rect.height() <= 0) {
    // The natural size: around the controls, with a margin.
    QRect around;
    for (auto& [number, control] : controls_) {
      if (QWidget* widget = control->Widget()) around |= widget->geometry();
    }
    if (rect.width() <= 0) rect.setWidth(std::max(around.right() + 1, 0) + units_.XToPixels(4));
    if (rect.height() <= 0) rect.setHeight(std::max(around.bottom() + 1, 0) + units_.YToPixels(4));
  }
  // A window never gets larger than the screen it may be shown on.
  QSize limit(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  if (QScreen* screen = QGuiApplication::primaryScreen()) limit = screen->availableVirtualSize();
  const int top = frame_->ClientTop();
  // A maximum size (0: none) also bounds the size the window is given.
  const QSize maximum(view_.maxWidth > 0 ? std::max(units_.XToPixels(view_.maxWidth), 1) : QWIDGETSIZE_MAX,
                      view_.maxHeight > 0 ? std::max(units_.YToPixels(view_.maxHeight), 1) : QWIDGETSIZE_MAX);
  const QSize client(std::clamp(rect.width(), 1, std::max(std::min(limit.width(), maximum.width()), 1)),
                     std::clamp(rect.height(), 1, std::max(std::min(limit.height() - top, maximum.height()), 1)));
  const QSize minimum(std::min(units_.XToPixels(view_.minWidth), client.width()),
                      std::min(units_.YToPixels(view_.minHeight), client.height()));
  frame_->Place(QRect(rect.topLeft(), QSize(client.width(), client.height() + top)), view_.frame, minimum, maximum);
}

}  // namespace runtime::qt
