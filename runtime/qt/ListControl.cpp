#include "runtime/qt/ListControl.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include "runtime/qt/Conversions.h"

namespace runtime::qt {

namespace {

// Draws a selected cell in the row's own selected colours when it has them,
// and indents cells by their column's indent.
class CellDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  std::vector<int> indents;  // pixels, per column

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    const auto column = static_cast<std::size_t>(index.column());
    if (column < indents.size()) option->rect.adjust(indents[column], 0, 0, 0);
    if (!(option->state & QStyle::State_Selected)) return;
    const QVariant text = index.data(ListModel::kSelectedTextRole);
    const QVariant background = index.data(ListModel::kSelectedBackgroundRole);
    if (text.isValid()) option->palette.setColor(QPalette::HighlightedText, text.value<QColor>());
    if (background.isValid()) option->palette.setColor(QPalette::Highlight, background.value<QColor>());
  }
};

}  // namespace

ListControl::ListControl(QWidget* parent, InputSink sink) : QtControl(new QWidget(parent), std::move(sink)) {
  Build(Widget());
  Widget()->setFocusProxy(table_);
  WatchInput();
}

void ListControl::Build(QWidget* frame) {
  auto* layout = new QHBoxLayout(frame);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  table_ = new QTableView(frame);
  model_ = new ListModel(table_);
  table_->setModel(model_);
  table_->setItemDelegate(new CellDelegate(table_));
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setShowGrid(false);
  table_->setWordWrap(false);
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setHighlightSections(false);
  table_->viewport()->installEventFilter(this);
  scrollBar_ = new QScrollBar(Qt::Vertical, frame);
  scrollBar_->setRange(0, 100);
  scrollBar_->setPageStep(10);
  scrollBar_->hide();
  layout->addWidget(table_, 1);
  layout->addWidget(scrollBar_);

  connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex& current) {
    if (!showing_ && current.isValid()) ReportRow(ui::EventCode::NewSelection, current.row(), ui::KeyCode::None);
  });
  connect(table_, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
    if (index.isValid()) ReportRow(ui::EventCode::Accepted, index.row(), ui::KeyCode::MouseLeftDouble);
  });
  connect(scrollBar_, &QAbstractSlider::actionTriggered, this, [this](int action) { ReportScroll(action); });
  connect(table_->verticalScrollBar(), &QAbstractSlider::actionTriggered, this, [this](int action) {
    if (!scrollBar_->isVisible()) ReportScroll(action);
  });
}

void ListControl::ShowContents(const ui::ControlView& view, const DialogUnits& units) {
  showing_ = true;
  const auto& p = view.properties;
  model_->Show(p.columns, view.rows);

  auto* delegate = static_cast<CellDelegate*>(table_->itemDelegate());
  delegate->indents.clear();
  bool anyHeader = false;
  for (std::size_t i = 0; i < p.columns.size(); ++i) {
    const ui::ListColumn& column = p.columns[i];
    delegate->indents.push_back(units.XToPixels(column.indent));
    anyHeader = anyHeader || !column.header.empty();
    const int section = static_cast<int>(i);
    const bool last = i + 1 == p.columns.size();
    table_->horizontalHeader()->setSectionResizeMode(
        section, last ? QHeaderView::Stretch : (column.resizable ? QHeaderView::Interactive : QHeaderView::Fixed));
    if (column.width > 0 && !last) table_->setColumnWidth(section, units.XToPixels(column.width));
  }
  if (p.columns.empty()) table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
  const int rowHeight = std::max(1, units.YToPixels(ui::kListRowHeight));
  table_->verticalHeader()->setMinimumSectionSize(1);
  table_->verticalHeader()->setDefaultSectionSize(rowHeight);
  table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  table_->horizontalHeader()->setVisible(anyHeader);
  table_->horizontalHeader()->setFixedHeight(rowHeight);

  const bool ownBar = p.scrollBar;
  scrollBar_->setVisible(ownBar);
  scrollBar_->setValue(std::clamp(p.thumb, 0, 100));
  table_->setVerticalScrollBarPolicy(ownBar ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);

  const int row = p.selectedRow - 1;
  if (row >= 0 && row < model_->rowCount()) {
    table_->selectRow(row);
  } else {
    table_->clearSelection();
    table_->selectionModel()->clearCurrentIndex();
  }
  if (auto colour = ToQColor(p.backgroundColour)) {
    QPalette palette = table_->palette();
    palette.setColor(QPalette::Base, *colour);
    table_->setPalette(palette);
  }
  showing_ = false;
}

void ListControl::ReportRow(ui::EventCode code, int row, ui::KeyCode key) {
  ui::EventData data;
  data.selectedRow = row + 1;
  data.key = key;
  Report(code, std::move(data));
}

void ListControl::ReportScroll(int action) {
  ui::EventData data;
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
    case QAbstractSlider::SliderMove: {
      code = ui::EventCode::ScrollDrag;
      const QScrollBar* bar = scrollBar_->isVisible() ? scrollBar_ : table_->verticalScrollBar();
      const int span = std::max(1, bar->maximum() - bar->minimum());
      data.thumb = std::clamp((bar->sliderPosition() - bar->minimum()) * 100 / span, 0, 100);
      break;
    }
    default:
      return;
  }
  Report(code, std::move(data));
}

bool ListControl::eventFilter(QObject* watched, QEvent* event) {
  if (watched == table_->viewport() && event->type() == QEvent::MouseButtonPress) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const QModelIndex index = table_->indexAt(mouse->position().toPoint());
    if (mouse->button() == Qt::RightButton && index.isValid()) {
      // The row under a right click becomes the selection; the runtime
      // learns of it with the key, so a popup menu can follow.
      showing_ = true;
      table_->selectRow(index.row());
      showing_ = false;
      ReportRow(ui::EventCode::NewSelection, index.row(), ui::KeyCode::MouseRightUp);
      return true;
    }
  }
  if (watched == table_ && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && table_->currentIndex().isValid()) {
      if (QtControl::eventFilter(watched, event)) return true;  // an alerted Enter wins
      ReportRow(ui::EventCode::Accepted, table_->currentIndex().row(), ui::KeyCode::Enter);
      return true;
    }
  }
  return QtControl::eventFilter(watched, event);
}

}  // namespace runtime::qt
