#include <QAbstractItemModelTester>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include "qt/ListControl.h"
#include "qt/QtFixture.h"
#include "qt/QtWindow.h"
#include "runtime/ui/Control.h"
#include "runtime/ui/RuntimeThread.h"

namespace runtime::qt {
namespace {

using ui::EventCode;
using ui::KeyCode;

struct Reported {
  EventCode code;
  ui::EventData data;
};

ui::ListColumn Column(std::string header, std::int32_t width, bool resizable = true) {
  ui::ListColumn column;
  column.header = std::move(header);
  column.width = width;
  column.indent = 2;
  column.resizable = resizable;
  return column;
}

std::vector<ui::ListRow> Rows(int count, std::size_t cells = 2) {
  std::vector<ui::ListRow> rows;
  for (int r = 1; r <= count; ++r) {
    ui::ListRow row;
    for (std::size_t c = 1; c <= cells; ++c) row.push_back({"r" + std::to_string(r) + "c" + std::to_string(c), {}});
    rows.push_back(row);
  }
  return rows;
}

// A list paged by the program: columns 40 and 40 units wide, five rows of a
// page, the first selected, the thumb at 30.
ui::ControlView PagedList(ui::Rect rect = {0, 0, 120, 60}) {
  ui::ControlView view;
  ui::ControlProperties& p = view.properties;
  p.number = 1;
  p.kind = ui::ControlKind::List;
  p.rect = rect;
  p.paging = ui::ListPaging::Program;
  p.scrollBar = true;
  p.thumb = 30;
  p.selectedRow = 1;
  p.columns = {Column("URL", 40), Column("Description", 40)};
  ui::Control model(p);
  view.visibleItems = model.VisibleItems();
  view.rows = Rows(view.visibleItems);
  return view;
}

// A list control alone in a shown top-level widget, recording what it reports.
class ListControlTest : public ::testing::Test {
 protected:
  void Show(const ui::ControlView& view) {
    list.Show(view, units);
    list.Widget()->setGeometry(units.ToPixels(view.properties.rect));
    top.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&top));
    Settle();
  }

  // Lays the list out: a change of size may take a few rounds of events.
  static void Settle() {
    for (int round = 0; round < 5; ++round) QCoreApplication::processEvents();
  }

  QTableView* Table() const { return list.TableView(); }

  void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(Table(), &press);
  }

  void Wheel(int delta, QWidget* over) {
    const QPointF at(5, 5);
    QWheelEvent wheel(at, over->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(over, &wheel);
  }

  QPoint CellCentre(int row, int column) const {
    return Table()->visualRect(list.Model()->index(row, column)).center();
  }

  std::vector<std::pair<EventCode, KeyCode>> Taken() {
    std::vector<std::pair<EventCode, KeyCode>> taken;
    for (const Reported& r : reported) taken.emplace_back(r.code, r.data.key);
    reported.clear();
    return taken;
  }

  QWidget top;
  DialogUnits units{6, 16};
  std::vector<Reported> reported;
  ListControl list{&top, [this](EventCode code, std::int32_t, ui::EventData data) {
                     reported.push_back({code, std::move(data)});
                   }};
};

TEST_F(ListControlTest, KeysPastThePageAndPageKeysBecomeScrollEventsAndOthersMoveTheRow) {
  Show(PagedList());
  ASSERT_EQ(list.Model()->rowCount(), 5);
  using P = std::pair<EventCode, KeyCode>;
  struct Case {
    int key;
    Qt::KeyboardModifiers modifiers;
    P expected;
    int rowAfter;  // 1-based
  };
  const Case cases[] = {
      {Qt::Key_Up, Qt::NoModifier, P{EventCode::ScrollUp, KeyCode::Up}, 1},
      {Qt::Key_Down, Qt::NoModifier, P{EventCode::NewSelection, KeyCode::Down}, 2},
      {Qt::Key_End, Qt::NoModifier, P{EventCode::NewSelection, KeyCode::End}, 5},
      {Qt::Key_Down, Qt::NoModifier, P{EventCode::ScrollDown, KeyCode::Down}, 5},
      {Qt::Key_Up, Qt::NoModifier, P{EventCode::NewSelection, KeyCode::Up}, 4},
      {Qt::Key_PageUp, Qt::NoModifier, P{EventCode::PageUp, KeyCode::PageUp}, 4},
      {Qt::Key_PageDown, Qt::NoModifier, P{EventCode::PageDown, KeyCode::PageDown}, 4},
      {Qt::Key_Home, Qt::ControlModifier, P{EventCode::ScrollTop, KeyCode::Ctrl | KeyCode::Home}, 4},
      {Qt::Key_End, Qt::ControlModifier, P{EventCode::ScrollBottom, KeyCode::Ctrl | KeyCode::End}, 4},
      {Qt::Key_Home, Qt::NoModifier, P{EventCode::NewSelection, KeyCode::Home}, 1},
  };
  for (const Case& c : cases) {
    Key(c.key, c.modifiers);
    EXPECT_EQ(Taken(), std::vector<P>{c.expected}) << "key " << std::hex << c.key;
    EXPECT_EQ(Table()->currentIndex().row() + 1, c.rowAfter) << "key " << std::hex << c.key;
  }
}

TEST_F(ListControlTest, TypedCharactersAndAlertedKeysReachTheProgramWithTheCharacter) {
  ui::ControlView view = PagedList();
  view.properties.alerts[253] = KeyCode::Delete;
  view.properties.alerts[252] = KeyCode::CtrlEnter;
  Show(view);
  Key(Qt::Key_A, Qt::NoModifier, "a");
  Key(Qt::Key_A, Qt::ShiftModifier, "A");
  Key(Qt::Key_Period, Qt::NoModifier, ".");
  Key(Qt::Key_Eacute, Qt::NoModifier, QString::fromUtf8("\xC3\xA9"));
  Key(Qt::Key_Delete);
  Key(Qt::Key_Return, Qt::ControlModifier);
  Key(Qt::Key_C, Qt::ControlModifier, "\x03");  // a control character: not typed text
  ASSERT_EQ(reported.size(), 6u);
  const std::vector<std::pair<KeyCode, std::string>> expected{
      {ui::Letter('A'), "a"},    {ui::Letter('A') | KeyCode::Shift, "A"},
      {KeyCode::Character, "."}, {KeyCode::Character, "\xC3\xA9"},
      {KeyCode::Delete, ""},     {KeyCode::CtrlEnter, ""}};
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(reported[i].code, EventCode::AlertKey);
    EXPECT_EQ(std::make_pair(reported[i].data.key, reported[i].data.keyText), expected[i]) << "key " << i;
  }
}

TEST_F(ListControlTest, TheWheelScrollsByRowsAndTheScrollBarIsTheProgramsThumb) {
  Show(PagedList());
  QScrollBar* thumb = list.ThumbBar();
  ASSERT_TRUE(thumb->isVisible());
  EXPECT_FALSE(Table()->verticalScrollBar()->isVisible());
  EXPECT_EQ(thumb->value(), 30);
  const int lines = QApplication::wheelScrollLines();
  using P = std::pair<EventCode, KeyCode>;
  Wheel(-120, Table()->viewport());
  EXPECT_EQ(Taken(), std::vector<P>(static_cast<std::size_t>(lines), P{EventCode::ScrollDown, KeyCode::None}));
  Wheel(60, thumb);  // half a notch: nothing yet
  EXPECT_TRUE(Taken().empty());
  Wheel(60, thumb);
  EXPECT_EQ(Taken(), std::vector<P>(static_cast<std::size_t>(lines), P{EventCode::ScrollUp, KeyCode::None}));

  const std::pair<QAbstractSlider::SliderAction, EventCode> actions[] = {
      {QAbstractSlider::SliderSingleStepAdd, EventCode::ScrollDown},
      {QAbstractSlider::SliderSingleStepSub, EventCode::ScrollUp},
      {QAbstractSlider::SliderPageStepAdd, EventCode::PageDown},
      {QAbstractSlider::SliderPageStepSub, EventCode::PageUp},
      {QAbstractSlider::SliderToMinimum, EventCode::ScrollTop},
      {QAbstractSlider::SliderToMaximum, EventCode::ScrollBottom},
  };
  for (const auto& [action, code] : actions) {
    thumb->triggerAction(action);
    EXPECT_EQ(Taken(), std::vector<P>{P(code, KeyCode::None)});
    EXPECT_EQ(thumb->value(), 30) << "the thumb moves only where the runtime puts it";
  }
  // The list follows the held thumb; letting it go where it was reported
  // last asks for nothing more.
  thumb->setSliderDown(true);
  thumb->setSliderPosition(40);
  thumb->setSliderPosition(70);
  thumb->setSliderDown(false);
  ASSERT_EQ(reported.size(), 2u);
  EXPECT_EQ(reported[0].code, EventCode::ScrollDrag);
  EXPECT_EQ(reported[0].data.thumb, 40);
  EXPECT_EQ(reported[1].code, EventCode::ScrollDrag);
  EXPECT_EQ(reported[1].data.thumb, 70);
}

TEST_F(ListControlTest, MouseClicksReportTheirCellHeldToTheRowsThereAre) {
  ui::ControlView view = PagedList({0, 0, 160, 60});
  view.rows = Rows(3);  // a short page: room below the last row
  view.properties.alerts[248] = KeyCode::MouseRightUp;
  view.properties.alerts[251] = KeyCode::MouseLeftDouble;
  Show(view);
  QWidget* rows = Table()->viewport();
  const QPoint belowLast(CellCentre(0, 0).x(), CellCentre(2, 0).y() + 3 * Table()->rowHeight(2));
  ASSERT_LT(Table()->rowAt(belowLast.y()), 0);

  QTest::mouseClick(rows, Qt::LeftButton, {}, CellCentre(1, 1));
  QTest::mouseClick(rows, Qt::RightButton, {}, belowLast);
  QTest::mouseDClick(rows, Qt::LeftButton, {}, belowLast);
  struct Expected {
    EventCode code;
    KeyCode key;
    std::optional<std::int32_t> selected;
    std::int32_t row, column;
  };
  const std::vector<Expected> expected{
      {EventCode::NewSelection, KeyCode::MouseLeft, 2, 2, 2},     // the click
      {EventCode::AlertKey, KeyCode::MouseRightUp, 3, 3, 1},      // below the rows: the last, selected
      {EventCode::AlertKey, KeyCode::MouseLeftDouble, {}, 3, 1},  // also
  };
  ASSERT_EQ(reported.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const Reported& r = reported[i];
    EXPECT_EQ(r.code, expected[i].code) << i;
    EXPECT_EQ(r.data.key, expected[i].key) << i;
    EXPECT_EQ(r.data.selectedRow, expected[i].selected) << i;
    EXPECT_EQ(r.data.row, expected[i].row) << i;
    EXPECT_EQ(r.data.column, expected[i].column) << i;
  }
  EXPECT_EQ(Table()->currentIndex().row(), 2) << "the row right-clicked is selected";
}

TEST_F(ListControlTest, EveryRowOfAPageShowsWholeWhateverTheHeight) {
  for (const bool sideways : {false, true}) {
    for (const std::int32_t height : {4, 12, 18, 25, 33, 60, 97, 108, 240}) {
      if (sideways && height < 12) continue;  // lower than the scroll bar itself
      ui::ControlView view = PagedList({0, 0, 120, height});
      if (sideways) view.properties.columns[0].width = 200;  // a horizontal scroll bar takes room too
      Show(view);
      const QRect rows = Table()->viewport()->rect();
      const std::string where = "height " + std::to_string(height) + (sideways ? " scrolling sideways" : "");
      ASSERT_EQ(list.Model()->rowCount(), view.visibleItems);
      EXPECT_EQ(Table()->horizontalScrollBar()->isVisible(), sideways) << where;
      for (int r = 0; r < view.visibleItems; ++r) {
        const QRect cell = Table()->visualRect(list.Model()->index(r, 0));
        EXPECT_TRUE(cell.top() >= rows.top() && cell.bottom() <= rows.bottom())
            << where << " row " << r + 1 << " of " << view.visibleItems;
      }
      EXPECT_EQ(Table()->rowAt(0), 0) << where << ": the page is not scrolled";
    }
  }
}

TEST_F(ListControlTest, ColumnsKeepTheirDescribedWidthsAndWhatTheUserMadeOfThem) {
  ui::ControlView view = PagedList({0, 0, 200, 60});
  Show(view);
  QHeaderView* header = Table()->horizontalHeader();
  EXPECT_EQ(header->sectionSize(0), units.XToPixels(40));
  EXPECT_EQ(header->sectionSize(1), Table()->viewport()->width() - header->sectionSize(0))
      << "the last column fills the list";
  EXPECT_TRUE(list.UsersColumnWidths(units).empty()) << "nothing dragged yet";
  header->resizeSection(0, 280);  // as the user would
  EXPECT_EQ(list.UsersColumnWidths(units), (std::vector<std::int32_t>{units.XFromPixels(280), 40}))
      << "the last column as described, not as it stretches";
  view.rows = Rows(2);  // the next page is short
  view.properties.columns[1].textColour = 0x808080;
  list.Show(view, units);
  EXPECT_EQ(header->sectionSize(0), 280);
  EXPECT_EQ(header->sectionSize(1), units.XToPixels(40)) << "never narrower than described";
  EXPECT_TRUE(Table()->horizontalScrollBar()->maximum() > 0) << "wider than the list: it scrolls sideways";
}

TEST(ListModelTest, RowsComeAndGoWithoutResettingTheModel) {
  ListModel model;
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
  const std::vector<ui::ListColumn> two{Column("A", 10), Column("B", 10)};
  model.Show(two, Rows(3));
  QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
  QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);
  model.Show(two, Rows(5));
  model.Show(two, Rows(1));
  model.Show(two, Rows(1));  // nothing changed: no signal
  model.Show(two, {});
  std::vector<ui::ListColumn> grey = two;
  grey[1].textColour = 0x808080;
  model.Show(grey, Rows(2));
  model.Show(grey, Rows(2));
  EXPECT_EQ(resets.count(), 0);
  EXPECT_EQ(changes.count(), 0) << "rows only added or removed, or nothing changed";
  auto other = Rows(2);
  other[1][1].text = "changed";
  model.Show(two, other);  // a changed cell and the colour back
  EXPECT_EQ(changes.count(), 1);
  EXPECT_EQ(model.index(1, 1).data().toString(), "changed");
  EXPECT_FALSE(model.index(1, 1).data(Qt::ForegroundRole).isValid());
  model.Show({Column("only", 10)}, Rows(2, 1));
  EXPECT_EQ(resets.count(), 1) << "fewer columns: a new shape";
}

// A window with a list (control 1) of three columns and an entry (control 2)
// placed over one of its cells, as the runtime creates an in-place editor.
class InPlaceEditorTest : public ::testing::Test {
 protected:
  InPlaceEditorTest() {
    view.rect = {0, 0, 220, 100};
    ui::ControlView list = PagedList({4, 4, 200, 80});
    list.properties.columns = {Column("URL", 80), Column("Description", 80), Column("Notes", 80)};
    list.rows = Rows(list.visibleItems, 3);
    view.controls.push_back(list);
    editor.properties.number = 2;
    editor.properties.kind = ui::ControlKind::Entry;
    editor.properties.placement = {1, 2, 2};
    view.controls.push_back(editor);
    window = std::make_unique<QtWindow>(view);
    table = window->ControlWidget(1)->findChild<QTableView*>();
    edit = qobject_cast<QLineEdit*>(window->ControlWidget(2));
  }

  void SetUp() override {
    ASSERT_NE(table, nullptr);
    ASSERT_NE(edit, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window->Frame()));
    QCoreApplication::processEvents();
  }

  QRect Cell(int row, int column) const { return table->visualRect(table->model()->index(row, column)); }

  ui::WindowView view;
  ui::ControlView editor;
  std::unique_ptr<QtWindow> window;
  QTableView* table = nullptr;
  QLineEdit* edit = nullptr;
};

TEST_F(InPlaceEditorTest, TheEditorSitsOverItsCellAndFollowsItWhenColumnsResizeOrScroll) {
  EXPECT_EQ(edit->parentWidget(), table->viewport());
  EXPECT_TRUE(edit->isVisible());
  EXPECT_EQ(edit->geometry(), Cell(1, 1));
  table->horizontalHeader()->resizeSection(0, 200);  // the user widens the first column
  EXPECT_EQ(edit->geometry(), Cell(1, 1));
  table->horizontalScrollBar()->setValue(table->horizontalScrollBar()->maximum());
  ASSERT_GT(table->horizontalScrollBar()->value(), 0);
  EXPECT_EQ(edit->geometry(), Cell(1, 1));
  editor.properties.placement = {1, 9, 9};  // past the rows and columns: the last cell
  window->UpdateControl(editor);
  EXPECT_EQ(edit->geometry(), Cell(table->model()->rowCount() - 1, 2));
  window->DestroyControl(1);  // the list goes first: the editor is the window's
  ASSERT_EQ(window->ControlWidget(2), edit);
  EXPECT_EQ(edit->parentWidget(), window->Frame()->ClientArea());
}

TEST_F(InPlaceEditorTest, TheKeyboardGoesBackToTheListWhenTheEditEnds) {
  window->Frame()->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window->Frame()));
  edit->setFocus();
  ASSERT_TRUE(edit->hasFocus());
  editor.properties.placement = {};
  window->UpdateControl(editor);  // removed from the cell
  EXPECT_EQ(edit->parentWidget(), window->Frame()->ClientArea());
  EXPECT_TRUE(table->hasFocus());

  editor.properties.placement = {1, 1, 1};
  window->UpdateControl(editor);
  edit->setFocus();
  window->DestroyControl(2);
  EXPECT_TRUE(table->hasFocus());
}

class QtInPlaceEditorTest : public testing::QtFixture {};

TEST_F(QtInPlaceEditorTest, AnAlertedKeyOnTheEditorBringsTheTextTypedSoFarIntoTheModel) {
  ui::WindowDescription d;
  d.name = "edit";
  d.rect = {0, 0, 120, 40};
  d.controls.push_back(testing::Control(ui::ControlKind::Entry, "", {4, 4, 100, 12}));
  Start([&] {
    RunWindow(d, [](ui::Window& w, const ui::Event& e) {
      if (e.code == EventCode::OpenWindow) {
        w.Find(1)->Alert(1, KeyCode::Tab);
        w.SetText(1, "ready");  // shown with the alert
      }
      return ui::LoopAction::CarryOn;
    });
  });
  QtWindow* window = WaitForWindows();
  ASSERT_NE(window, nullptr);
  auto* edit = qobject_cast<QLineEdit*>(window->ControlWidget(1));
  ASSERT_NE(edit, nullptr);
  ASSERT_TRUE(PumpUntil([&] { return edit->text() == "ready"; }));
  edit->setText("http://typed.example/");
  QTest::keyClick(edit, Qt::Key_Tab);
  const auto taken = WaitFor(EventCode::AlertKey, 1);
  ASSERT_TRUE(taken);
  EXPECT_EQ(taken->event.data.key, KeyCode::Tab);
  EXPECT_EQ(taken->modelText, "http://typed.example/");
  CloseWindows();
}

// Twenty records shown a page at a time, as a browse shows them.
class PagedRecords : public ui::ListSource {
 public:
  std::size_t first = 1;  // the record on the first row
  std::size_t page = 1;
  std::size_t RowCount() const override { return page; }
  ui::ListRow Row(std::size_t row) const override { return {{"record " + std::to_string(first + row - 1), {}}}; }
};

class QtPagedListTest : public testing::QtFixture {};

TEST_F(QtPagedListTest, TheRuntimeAnswersScrollingWithTheNextPageAndTheKeysCharacterReachesIt) {
  ui::WindowDescription d;
  d.name = "paged";
  d.rect = {0, 0, 120, 80};
  ui::ControlDescription list = testing::Control(ui::ControlKind::List, "", {4, 4, 112, 64});
  list.paging = ui::ListPaging::Program;
  list.columns = {Column("Record", 100)};
  d.controls.push_back(list);
  PagedRecords records;
  Start([&] {
    RunWindow(d, [&](ui::Window& w, const ui::Event& e) {
      ui::Control* c = w.Find(1);
      if (e.code == EventCode::OpenWindow) {
        records.page = static_cast<std::size_t>(c->VisibleItems());
        c->SetListSource(&records);
        c->SetSelectedRow(1);
      }
      if (e.code == EventCode::ScrollDown && records.first + records.page <= 20) {
        ++records.first;  // one record on, the highlight stays on its line
        w.Display(1);
      }
      if (e.code == EventCode::AlertKey) w.SetTitle(ui::LastKeyText());
      if (e.code == EventCode::CloseWindow) c->SetListSource(nullptr);
      return ui::LoopAction::CarryOn;
    });
  });
  QtWindow* window = WaitForWindows();
  ASSERT_NE(window, nullptr);
  auto* table = window->ControlWidget(1)->findChild<QTableView*>();
  ASSERT_NE(table, nullptr);
  ASSERT_TRUE(PumpUntil([&] { return table->model()->rowCount() == 5; })) << "64 units: a header and five rows";
  QTest::keyClick(table, Qt::Key_End);
  QTest::keyClick(table, Qt::Key_Down);
  QTest::keyClick(table, Qt::Key_Down);
  ASSERT_TRUE(PumpUntil([&] { return table->model()->index(0, 0).data().toString() == "record 3"; }));
  EXPECT_EQ(table->model()->index(4, 0).data().toString(), "record 7");
  EXPECT_EQ(table->currentIndex().row(), 4) << "the highlight stays on the last line";
  QKeyEvent typed(QEvent::KeyPress, Qt::Key_Eacute, Qt::NoModifier, QString::fromUtf8("\xC3\xA9"));
  QApplication::sendEvent(table, &typed);
  ASSERT_TRUE(PumpUntil([&] { return window->Frame()->windowTitle() == QString::fromUtf8("\xC3\xA9"); }));
  CloseWindows();
}

}  // namespace
}  // namespace runtime::qt
