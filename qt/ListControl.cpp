#include "qt/ListControl.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cstdlib>

#include "qt/Conversions.h"

namespace runtime::qt {

namespace {

// One notch of a mouse wheel, in QWheelEvent::angleDelta units.
constexpr int kWheelNotch = 120;

// Draws a cell with its text moved right by its column's indent (the
// background and the selection still fill the whole cell), and a selected
// cell in the row's own selected colours when it has them.
class CellDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  std::vector<int> indents;  // pixels, per column

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    const QString text = cell.text;
    cell.text.clear();
    const QWidget* widget = cell.widget;
    QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, widget);

    const auto column = static_cast<std::size_t>(index.column());
    QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &cell, widget);
    area.adjust(column < indents.size() ? indents[column] : 0, 0, 0, 0);
    if (text.isEmpty() || area.width() <= 0) return;
    const bool selected = (cell.state & QStyle::State_Selected) != 0;
    const QPalette::ColorGroup group =
        (cell.state & QStyle::State_Enabled) != 0 ? QPalette::Normal : QPalette::Disabled;
    painter->save();
    painter->setClipRect(area);
    painter->setFont(cell.font);
    painter->setPen(cell.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    painter->drawText(area, static_cast<int>(cell.displayAlignment),
                      cell.fontMetrics.elidedText(text, Qt::ElideRight, area.width()));
    painter->restore();
  }

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    option->state &= ~QStyle::State_HasFocus;  // the selected row is mark enough
    if (!(option->state & QStyle::State_Selected)) return;
    const QVariant text = index.data(ListModel::kSelectedTextRole);
    const QVariant background = index.data(ListModel::kSelectedBackgroundRole);
    if (text.isValid()) option->palette.setColor(QPalette::HighlightedText, text.value<QColor>());
    if (background.isValid()) {
      option->palette.setColor(QPalette::Highlight, background.value<QColor>());
      option->backgroundBrush = background.value<QColor>();
    }
  }
};

// A header as high as the runtime's rows; the view lays itself out by the
// header's size hint.
class ListHeader : public QHeaderView {
 public:
  using QHeaderView::QHeaderView;
  int height = 1;
  QSize sizeHint() const override { return {QHeaderView::sizeHint().width(), height}; }
};

class ListTable : public QTableView {
 public:
  using QTableView::QTableView;
  void Relayout() { updateGeometries(); }
};

bool SameWidths(const std::vector<ui::ListColumn>& a, const std::vector<ui::ListColumn>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const ui::ListColumn& x, const ui::ListColumn& y) {
    return x.width == y.width && x.resizable == y.resizable;
  });
}

}  // namespace

ListControl::ListControl(QWidget* parent, InputSink sink) : QtControl(new QFrame(parent), std::move(sink)) {
  Build(static_cast<QFrame*>(Widget()));
  Widget()->setFocusProxy(table_);
  WatchInput();
}

void ListControl::Build(QFrame* frame) {
  frame->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  auto* layout = new QHBoxLayout(frame);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  table_ = new ListTable(frame);
  table_->setFrameShape(QFrame::NoFrame);
  header_ = new ListHeader(Qt::Horizontal, table_);
  table_->setHorizontalHeader(header_);
  model_ = new ListModel(table_);
  table_->setModel(model_);
  table_->setItemDelegate(new CellDelegate(table_));
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  table_->setShowGrid(false);
  table_->setWordWrap(false);
  table_->verticalHeader()->hide();
  table_->verticalHeader()->setMinimumSectionSize(1);
  table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  header_->setHighlightSections(false);
  header_->setSectionsMovable(false);
  header_->setSectionsClickable(true);  // a click on a header is reported when alerted
  header_->setMinimumSectionSize(4);
  // The highlighted row shows as strongly while the focus is elsewhere.
  QPalette palette = table_->palette();
  for (auto role : {QPalette::Highlight, QPalette::HighlightedText}) {
    palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
  }
  table_->setPalette(palette);
  table_->viewport()->installEventFilter(this);

  auto* side = new QVBoxLayout();
  side->setContentsMargins(0, 0, 0, 0);
  side->setSpacing(0);
  thumbBarTop_ = new QWidget(frame);
  thumbBarTop_->setFixedHeight(0);
  thumbBar_ = new QScrollBar(Qt::Vertical, frame);
  thumbBar_->setRange(0, 100);
  thumbBar_->setPageStep(10);
  thumbBar_->setFocusPolicy(Qt::NoFocus);
  thumbBar_->installEventFilter(this);
  thumbBar_->hide();
  side->addWidget(thumbBarTop_);
  side->addWidget(thumbBar_, 1);
  layout->addWidget(table_, 1);
  layout->addLayout(side);

  connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex& current) {
    if (showing_ || !current.isValid()) return;
    ui::EventData data;
    data.selectedRow = current.row() + 1;
    data.key = std::exchange(keyMoving_, ui::KeyCode::None);
    QtControl::Report(ui::EventCode::NewSelection, std::move(data));
  });
  connect(thumbBar_, &QAbstractSlider::actionTriggered, this, [this](int action) { TakeBarAction(action); });
  // The list follows the thumb while it is held; the release reports where
  // it was let go unless the last move did.
  connect(thumbBar_, &QAbstractSlider::sliderPressed, this, [this] { draggedTo_ = -1; });
  connect(thumbBar_, &QAbstractSlider::sliderMoved, this, [this](int position) { ReportDrag(position); });
  connect(thumbBar_, &QAbstractSlider::sliderReleased, this, [this] { ReportDrag(thumbBar_->sliderPosition()); });
  connect(header_, &QHeaderView::sectionResized, this, [this](int section, int, int size) {
    if (fitting_) return;
    userResized_ = true;
    if (section == model_->columnCount() - 1) lastColumnWidth_ = size;  // the user's width from now on
    FitLastColumn();
    CellsMoved();
  });
  connect(header_, &QHeaderView::sectionClicked, this, [this](int section) {
    if (!IsAlerted(ui::KeyCode::MouseHeader)) return;
    ui::EventData data;
    data.key = ui::KeyCode::MouseHeader;
    data.column = section + 1;
    QtControl::Report(ui::EventCode::AlertKey, std::move(data));
  });
  connect(table_->horizontalScrollBar(), &QAbstractSlider::valueChanged, this, [this] { CellsMoved(); });
  connect(table_->verticalScrollBar(), &QAbstractSlider::valueChanged, this, [this] { CellsMoved(); });
}

QModelIndex ListControl::Cell(std::int32_t row, std::int32_t column) const {
  const int rows = model_->rowCount();
  if (rows == 0) return {};
  return model_->index(std::clamp(row, 1, rows) - 1, std::clamp(column, 1, model_->columnCount()) - 1);
}

int ListControl::TextIndent(const QModelIndex& cell) const {
  QStyleOptionViewItem option;
  option.initFrom(table_->viewport());
  option.rect = table_->visualRect(cell);
  option.features = QStyleOptionViewItem::HasDisplay;
  option.text = QStringLiteral("x");
  option.widget = table_;
  const QRect text = table_->style()->subElementRect(QStyle::SE_ItemViewItemText, &option, table_);
  const auto& indents = static_cast<const CellDelegate*>(table_->itemDelegate())->indents;
  const auto column = static_cast<std::size_t>(cell.column());
  return text.left() - option.rect.left() + (column < indents.size() ? indents[column] : 0);
}

void ListControl::ShowContents(const ui::ControlView& view, const DialogUnits& units) {
  showing_ = true;
  const ui::ControlProperties& p = view.properties;
  model_->Show(p.columns, view.rows);
  rowHeight_ = std::max(1, units.YToPixels(ui::kListRowHeight));
  visibleItems_ = std::max(1, view.visibleItems);
  ApplyColumns(p.columns, units);

  const bool header =
      std::any_of(p.columns.begin(), p.columns.end(), [](const ui::ListColumn& c) { return !c.header.empty(); });
  header_->setVisible(header);
  const bool program = p.paging == ui::ListPaging::Program;
  thumbBar_->setVisible(program && p.scrollBar);
  if (!thumbBar_->isSliderDown()) thumbBar_->setValue(std::clamp(p.thumb, 0, 100));  // not under the user's hand
  table_->setVerticalScrollBarPolicy(program ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
  FitRows();

  const int row = p.selectedRow - 1;
  if (row >= 0 && row < model_->rowCount()) {
    table_->selectRow(row);
  } else {
    table_->clearSelection();
    table_->selectionModel()->clearCurrentIndex();
  }
  KeepCurrentRowVisible();
  if (auto colour = ToQColor(p.backgroundColour)) {
    QPalette palette = table_->palette();
    palette.setColor(QPalette::Base, *colour);
    table_->setPalette(palette);
  }
  showing_ = false;
  CellsMoved();
}

void ListControl::ApplyColumns(const std::vector<ui::ListColumn>& columns, const DialogUnits& units) {
  auto* delegate = static_cast<CellDelegate*>(table_->itemDelegate());
  delegate->indents.clear();
  for (const ui::ListColumn& column : columns) delegate->indents.push_back(units.XToPixels(column.indent));
  const bool sameUnits =
      units.AverageCharWidth() == appliedUnits_.AverageCharWidth() && units.CharHeight() == appliedUnits_.CharHeight();
  // Widths once per design, so what the user resized stays as it is.
  if (widthsApplied_ && sameUnits && SameWidths(columns, *widthsApplied_)) return;
  widthsApplied_ = columns;
  appliedUnits_ = units;
  QHeaderView* header = header_;
  const int count = model_->columnCount();
  fitting_ = true;
  for (int i = 0; i < count; ++i) {
    const ui::ListColumn* column = static_cast<std::size_t>(i) < columns.size() ? &columns[i] : nullptr;
    const bool resizable = column != nullptr && column->resizable;
    header->setSectionResizeMode(i, resizable ? QHeaderView::Interactive : QHeaderView::Fixed);
    const int width = column != nullptr && column->width > 0 ? units.XToPixels(column->width) : 0;
    if (i + 1 < count) {
      header->resizeSection(i, width > 0 ? width : header->defaultSectionSize());
    } else {
      lastColumnWidth_ = width;
    }
  }
  fitting_ = false;
  FitLastColumn();
}

void ListControl::ReportDrag(int position) {
  const int thumb = std::clamp(position, 0, 100);
  if (thumb == draggedTo_) return;
  draggedTo_ = thumb;
  ui::EventData data;
  data.thumb = thumb;
  QtControl::Report(ui::EventCode::ScrollDrag, std::move(data));
}

std::vector<std::int32_t> ListControl::UsersColumnWidths(const DialogUnits& units) const {
  std::vector<std::int32_t> widths;
  if (!userResized_) return widths;
  const int last = model_->columnCount() - 1;
  for (int i = 0; i <= last; ++i) {
    const bool stretching = i == last && lastColumnWidth_ > 0;
    widths.push_back(units.XFromPixels(stretching ? lastColumnWidth_ : header_->sectionSize(i)));
  }
  return widths;
}

void ListControl::FitLastColumn() {
  const int last = model_->columnCount() - 1;
  QHeaderView* header = header_;
  int others = 0;
  for (int i = 0; i < last; ++i) others += header->sectionSize(i);
  const int width = std::max({lastColumnWidth_, table_->viewport()->width() - others, header->minimumSectionSize()});
  if (header->sectionSize(last) == width) return;
  fitting_ = true;
  header->resizeSection(last, width);
  fitting_ = false;
}

void ListControl::FitRows() {
  auto* header = static_cast<ListHeader*>(header_);
  int height = rowHeight_;
  if (PagedByProgram()) {
    // Every row given shows whole: a page is as many rows as the runtime
    // says fit, however the pixels round. Too low for them, the header and
    // the rows share the height.
    const int headerRows = header->isHidden() ? 0 : 1;
    // The height of the header and the rows: the view's, less a horizontal
    // scroll bar when the columns are wider (reckoned here, as the bar shows
    // only after the view has been laid out).
    const bool sideways = header->length() > table_->width();
    const int available = table_->height() - (sideways ? table_->horizontalScrollBar()->sizeHint().height() : 0);
    const int fitting = available / (visibleItems_ + headerRows);
    if (available > 0 && fitting < height) height = std::max(1, fitting);
  }
  thumbBarTop_->setFixedHeight(header->isHidden() ? 0 : height);
  if (table_->verticalHeader()->defaultSectionSize() != height) table_->verticalHeader()->setDefaultSectionSize(height);
  if (header->height != height) {
    header->height = height;
    static_cast<ListTable*>(table_)->Relayout();
  }
}

void ListControl::KeepCurrentRowVisible() {
  const QModelIndex current = table_->currentIndex();
  if (!current.isValid()) return;
  // The leftmost column shown, so keeping the row in view never scrolls sideways.
  const int column = std::max(0, table_->columnAt(0));
  table_->scrollTo(model_->index(current.row(), column));
}

void ListControl::CellsMoved() const {
  if (cellsMoved_) cellsMoved_();
}

bool ListControl::IsAlerted(ui::KeyCode key) const {
  const auto& alerts = View().properties.alerts;
  return std::find(alerts.begin(), alerts.end(), key) != alerts.end();
}

bool ListControl::eventFilter(QObject* watched, QEvent* event) {
  if (watched == table_->viewport()) {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::MouseMove:
        return TakeMouse(*static_cast<QMouseEvent*>(event), event->type());
      case QEvent::Wheel:
        if (TakeWheel(*static_cast<QWheelEvent*>(event))) return true;
        break;
      case QEvent::Resize:
        FitRows();
        FitLastColumn();
        KeepCurrentRowVisible();
        CellsMoved();
        break;
      default:
        break;
    }
  }
  if (watched == thumbBar_ && event->type() == QEvent::Wheel) return TakeWheel(*static_cast<QWheelEvent*>(event));
  // Rows squeezed to nothing get no resize of their own; the view still does.
  if (watched == table_ && event->type() == QEvent::Resize) FitRows();
  if (watched == table_ && event->type() == QEvent::KeyPress) {
    if (QtControl::eventFilter(watched, event)) return true;  // alerted keys first
    const auto* key = static_cast<QKeyEvent*>(event);
    if (PagedByProgram() && TakeKey(*key)) return true;
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && table_->currentIndex().isValid()) {
      ui::EventData data;
      data.selectedRow = table_->currentIndex().row() + 1;
      data.key = ui::KeyCode::Enter;
      QtControl::Report(ui::EventCode::Accepted, std::move(data));
      return true;
    }
    keyMoving_ = ToKeyCode(*key);  // Qt moves the row itself
    return false;
  }
  return QtControl::eventFilter(watched, event);
}

bool ListControl::TakeKey(const QKeyEvent& key) {
  const ui::KeyCode code = ToKeyCode(key);
  const bool ctrl = (key.modifiers() & Qt::ControlModifier) != 0;
  const int rows = model_->rowCount();
  const int row = table_->currentIndex().isValid() ? table_->currentIndex().row() : -1;
  switch (key.key()) {
    case Qt::Key_Up:
      row > 0 ? SelectRow(row - 1, code) : ReportScroll(ui::EventCode::ScrollUp, code);
      return true;
    case Qt::Key_Down:
      row + 1 < rows ? SelectRow(row + 1, code) : ReportScroll(ui::EventCode::ScrollDown, code);
      return true;
    case Qt::Key_PageUp:
      ReportScroll(ui::EventCode::PageUp, code);
      return true;
    case Qt::Key_PageDown:
      ReportScroll(ui::EventCode::PageDown, code);
      return true;
    case Qt::Key_Home:
      if (ctrl) {
        ReportScroll(ui::EventCode::ScrollTop, code);
      } else if (rows > 0) {
        SelectRow(0, code);
      }
      return true;
    case Qt::Key_End:
      if (ctrl) {
        ReportScroll(ui::EventCode::ScrollBottom, code);
      } else if (rows > 0) {
        SelectRow(rows - 1, code);
      }
      return true;
    case Qt::Key_Left:
    case Qt::Key_Right:
      table_->horizontalScrollBar()->triggerAction(key.key() == Qt::Key_Left ? QAbstractSlider::SliderSingleStepSub
                                                                             : QAbstractSlider::SliderSingleStepAdd);
      return true;
    default:
      break;
  }
  // A typed character goes to the program, which holds the rows to search.
  const QString text = key.text();
  const bool typed = !text.isEmpty() && text.at(0).isPrint() &&
                     (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) == 0;
  if (!typed) return false;
  ui::EventData data;
  data.key = code != ui::KeyCode::None ? code : ui::KeyCode::Character;
  data.keyText = text.toStdString();
  QtControl::Report(ui::EventCode::AlertKey, std::move(data));
  return true;
}

bool ListControl::TakeMouse(const QMouseEvent& mouse, QEvent::Type type) {
  if (type == QEvent::MouseMove) return mouse.buttons() != Qt::NoButton;  // no dragging a selection
  const QPoint at = mouse.position().toPoint();
  const int rows = model_->rowCount();
  const int under = table_->rowAt(at.y());
  const int row = under >= 0 ? under : rows - 1;  // below the last row: the last row
  const int column = table_->columnAt(at.x()) >= 0 ? table_->columnAt(at.x()) : model_->columnCount() - 1;
  ui::EventData data;
  data.row = row + 1;
  data.column = column + 1;
  const Qt::MouseButton button = mouse.button();
  if (button == Qt::LeftButton && type == QEvent::MouseButtonPress) {
    if (under >= 0) {
      showing_ = true;
      table_->selectRow(under);
      showing_ = false;
      data.selectedRow = under + 1;
      data.key = ui::KeyCode::MouseLeft;
      QtControl::Report(ui::EventCode::NewSelection, std::move(data));
    }
  } else if (button == Qt::LeftButton && type == QEvent::MouseButtonDblClick) {
    if (IsAlerted(ui::KeyCode::MouseLeftDouble)) {
      data.key = ui::KeyCode::MouseLeftDouble;
      QtControl::Report(ui::EventCode::AlertKey, std::move(data));
    } else if (under >= 0) {
      data.selectedRow = under + 1;
      data.key = ui::KeyCode::MouseLeftDouble;
      QtControl::Report(ui::EventCode::Accepted, std::move(data));
    }
  } else if (button == Qt::RightButton && type != QEvent::MouseButtonRelease) {
    if (IsAlerted(ui::KeyCode::MouseRightDown)) {
      ReportRightClick(ui::KeyCode::MouseRightDown, std::move(data));
    } else if (!IsAlerted(ui::KeyCode::MouseRightUp) && under >= 0) {
      // Unalerted, the row under a right click becomes the selection; the
      // runtime learns of it with the key, so a popup menu can follow.
      showing_ = true;
      table_->selectRow(under);
      showing_ = false;
      data.selectedRow = under + 1;
      data.key = ui::KeyCode::MouseRightUp;
      QtControl::Report(ui::EventCode::NewSelection, std::move(data));
    }
  } else if (button == Qt::RightButton && IsAlerted(ui::KeyCode::MouseRightUp)) {
    ReportRightClick(ui::KeyCode::MouseRightUp, std::move(data));
  }
  return button == Qt::LeftButton || button == Qt::RightButton;
}

void ListControl::ReportRightClick(ui::KeyCode key, ui::EventData data) {
  // The row clicked becomes the selection, as a popup menu for it follows.
  const int row = data.row.value_or(0) - 1;
  if (row >= 0) {
    showing_ = true;
    table_->selectRow(row);
    showing_ = false;
    data.selectedRow = row + 1;
  }
  data.key = key;
  QtControl::Report(ui::EventCode::AlertKey, std::move(data));
}

bool ListControl::TakeWheel(const QWheelEvent& wheel) {
  if (!PagedByProgram()) return false;
  const QPoint delta = wheel.angleDelta();
  // Sideways (or Shift with the wheel): the list scrolls itself.
  if (std::abs(delta.x()) > std::abs(delta.y()) || (wheel.modifiers() & Qt::ShiftModifier) != 0) return false;
  wheelDelta_ += delta.y();
  const int notches = wheelDelta_ / kWheelNotch;
  wheelDelta_ -= notches * kWheelNotch;
  if (notches != 0) {
    ReportScroll(notches > 0 ? ui::EventCode::ScrollUp : ui::EventCode::ScrollDown, ui::KeyCode::None,
                 std::abs(notches) * std::max(1, QApplication::wheelScrollLines()));
  }
  return true;
}

void ListControl::TakeBarAction(int action) {
  ui::EventCode code = ui::EventCode::None;
  switch (action) {
    case QAbstractSlider::SliderSingleStepAdd:
      code = ui::EventCode::ScrollDown;
      break;
    case QAbstractSlider::SliderSingleStepSub:
      code = ui::EventCode::ScrollUp;
      break;
    case QAbstractSlider::SliderPageStepAdd:
      code = ui::EventCode::PageDown;
      break;
    case QAbstractSlider::SliderPageStepSub:
      code = ui::EventCode::PageUp;
      break;
    case QAbstractSlider::SliderToMinimum:
      code = ui::EventCode::ScrollTop;
      break;
    case QAbstractSlider::SliderToMaximum:
      code = ui::EventCode::ScrollBottom;
      break;
    default:
      return;  // a drag reports when the thumb is let go
  }
  ReportScroll(code, ui::KeyCode::None);
  // The thumb shows where the runtime puts it, not where the step took it.
  thumbBar_->setSliderPosition(std::clamp(View().properties.thumb, 0, 100));
}

void ListControl::SelectRow(int row, ui::KeyCode key) {
  showing_ = true;
  table_->selectRow(row);
  showing_ = false;
  ui::EventData data;
  data.selectedRow = row + 1;
  data.key = key;
  QtControl::Report(ui::EventCode::NewSelection, std::move(data));
}

void ListControl::ReportScroll(ui::EventCode code, ui::KeyCode key, std::int32_t times) {
  for (std::int32_t i = 0; i < times; ++i) {
    ui::EventData data;
    data.key = key;
    QtControl::Report(code, std::move(data));
  }
}

}  // namespace runtime::qt
