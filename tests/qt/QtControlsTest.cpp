#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include "qt/ListControl.h"
#include "qt/QtFixture.h"
#include "runtime/ui/Control.h"
#include "support/TempDir.h"

namespace runtime::qt {
namespace {

using testing::Control;
using ui::ControlKind;

ui::ListColumn Column(std::string header, std::int32_t width = 0) {
  ui::ListColumn column;
  column.header = std::move(header);
  column.width = width;
  return column;
}

class Rows : public ui::ListSource {
 public:
  std::size_t RowCount() const override { return 3; }
  ui::ListRow Row(std::size_t row) const override {
    return {ui::ListCell{"url" + std::to_string(row), {}}, ui::ListCell{"description" + std::to_string(row), {}}};
  }
};

class QtControlsTest : public testing::QtFixture {
 protected:
  // A sheet (1) with tabs (2, 3); a list (4) on the first tab and a button
  // (5) on the second.
  static ui::WindowDescription SheetWithList() {
    ui::WindowDescription d;
    d.name = "browse";
    d.title = "Browse";
    d.rect = {10, 10, 240, 140};
    d.controls.push_back(Control(ControlKind::Sheet, "", {2, 2, 236, 136}));
    d.controls.push_back(Control(ControlKind::Tab, "URL", {}, 0));
    d.controls.push_back(Control(ControlKind::Tab, "Description", {}, 0));
    ui::ControlDescription list = Control(ControlKind::List, "", {8, 20, 220, 80}, 1);
    list.columns = {Column("URL", 100), Column("Description", 100)};
    d.controls.push_back(list);
    d.controls.push_back(Control(ControlKind::Button, "Go", {8, 20, 40, 14}, 2));
    return d;
  }

  void RunSheetWithList() {
    Rows rows;
    RunWindow(SheetWithList(), [&](ui::Window& w, const ui::Event& e) {
      if (e.code == ui::EventCode::OpenWindow) {
        w.Find(4)->SetListSource(&rows);
        w.Display(4);
      }
      if (e.code == ui::EventCode::CloseWindow) w.Find(4)->SetListSource(nullptr);
      return ui::LoopAction::CarryOn;
    });
  }
};

// A picture control shows its picture file, and nothing (never a broken
// image) for a name with neither a file nor a drawing of the program's.
TEST_F(QtControlsTest, APictureShowsItsFileAndAMissingOneShowsNothing) {
  testing_support::TempDir dir;
  const std::string file = dir.File("letter.png");
  QImage image(8, 8, QImage::Format_RGB32);
  image.fill(Qt::red);
  ASSERT_TRUE(image.save(QString::fromStdString(file)));
  ui::WindowDescription d;
  d.name = "pictures";
  d.rect = {0, 0, 120, 60};
  ui::ControlDescription shown = Control(ControlKind::Image, "", {10, 10, 40, 40});
  shown.icon = file;
  ui::ControlDescription missing = Control(ControlKind::Image, "", {60, 10, 40, 40});
  missing.icon = "NoSuchPicture.gif";
  d.controls = {shown, missing};
  Start([&] { RunWindow(d); });
  QtWindow* window = WaitForWindows();
  ASSERT_NE(window, nullptr);
  auto* picture = qobject_cast<QLabel*>(window->ControlWidget(1));
  auto* none = qobject_cast<QLabel*>(window->ControlWidget(2));
  ASSERT_NE(picture, nullptr);
  ASSERT_NE(none, nullptr);
  EXPECT_FALSE(picture->pixmap().isNull());
  EXPECT_TRUE(none->pixmap().isNull());
  CloseWindows();
}

TEST_F(QtControlsTest, ClickingAListRowArrivesAsNewSelectionWithTheRow) {
  Start([&] { RunSheetWithList(); });
  QtWindow* window = WaitForWindows();
  ASSERT_NE(window, nullptr);
  auto* table = window->ControlWidget(4)->findChild<QTableView*>();
  ASSERT_NE(table, nullptr);
  ASSERT_TRUE(PumpUntil([&] { return table->model()->rowCount() == 3; }));
  EXPECT_EQ(table->model()->headerData(1, Qt::Horizontal).toString(), "Description");
  EXPECT_EQ(table->model()->index(2, 0).data().toString(), "url3");
  const QRect row2 = table->visualRect(table->model()->index(1, 0));
  QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, row2.center());
  const auto chosen = WaitFor(ui::EventCode::NewSelection, 4);
  ASSERT_TRUE(chosen);
  EXPECT_EQ(chosen->event.data.selectedRow, 2);
  EXPECT_EQ(chosen->modelValue, 2);
  CloseWindows();
}

TEST_F(QtControlsTest, SwitchingTabsArrivesAsNewSelectionOnTheSheetAndShowsThatTabsControls) {
  Start([&] { RunSheetWithList(); });
  QtWindow* window = WaitForWindows();
  ASSERT_NE(window, nullptr);
  auto* sheet = qobject_cast<QTabWidget*>(window->ControlWidget(1));
  ASSERT_NE(sheet, nullptr);
  ASSERT_EQ(sheet->count(), 2);
  EXPECT_TRUE(window->ControlWidget(4)->isVisible());
  EXPECT_FALSE(window->ControlWidget(5)->isVisible());
  QTest::mouseClick(sheet->tabBar(), Qt::LeftButton, {}, sheet->tabBar()->tabRect(1).center());
  const auto switched = WaitFor(ui::EventCode::NewSelection, 1);
  ASSERT_TRUE(switched);
  EXPECT_EQ(switched->event.data.value, 2);
  EXPECT_EQ(switched->modelValue, 2);
  EXPECT_FALSE(window->ControlWidget(4)->isVisible());
  EXPECT_TRUE(window->ControlWidget(5)->isVisible());
  CloseWindows();
}

TEST_F(QtControlsTest, ATabsTextColourIsShownInTheWindowsOrderAndNoneGivesTheStylesBack) {
  Start([&] {
    RunWindow(SheetWithList(), [](ui::Window& w, const ui::Event& e) {
      if (e.code == ui::EventCode::OpenWindow) {
        w.Find(2)->SetColours(0xFF0000, ui::kNoColour);  // blue in the Windows order
        w.Display();
      }
      return ui::LoopAction::CarryOn;
    });
  });
  QtWindow* window = WaitForWindows();
  ASSERT_NE(window, nullptr);
  auto* sheet = qobject_cast<QTabWidget*>(window->ControlWidget(1));
  ASSERT_NE(sheet, nullptr);
  EXPECT_TRUE(PumpUntil([&] { return sheet->tabBar()->tabTextColor(0) == QColor(0, 0, 255); }));
  EXPECT_FALSE(sheet->tabBar()->tabTextColor(1).isValid()) << "a tab without a colour keeps the style's";
  CloseWindows();
}

TEST(ListModelTest, PassesTheModelTesterThroughEveryChangeOfShape) {
  ListModel model;
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
  const std::vector<ui::ListColumn> two{Column("A"), Column("B")};
  auto rows = [](int count, std::string text, std::size_t cells) {
    return std::vector<ui::ListRow>(static_cast<std::size_t>(count), ui::ListRow(cells, ui::ListCell{text, {}}));
  };
  model.Show(two, rows(3, "x", 2));
  model.Show(two, rows(3, "y", 2));  // same shape: cells change
  EXPECT_EQ(model.index(2, 1).data().toString(), "y");
  model.Show({Column("only")}, rows(5, "z", 1));
  model.Show(two, rows(2, "short", 1));  // rows with fewer cells than columns
  EXPECT_FALSE(model.index(1, 1).data().isValid());
  model.Show({}, {});
  EXPECT_EQ(model.rowCount(), 0);
  EXPECT_EQ(model.columnCount(), 1);
}

TEST(ListModelTest, CellColoursComeFromTheRowUnlessTheColumnOverridesThem) {
  ListModel model;
  ui::ListColumn grey = Column("A");
  grey.textColour = 0x808080;
  ui::ListCell cell{"c", {}};
  cell.colours.text = 0x0000FF;
  cell.colours.background = 0xFF0000;
  cell.colours.selectedText = 0x00FF00;
  model.Show({Column("plain"), grey}, {{cell, cell}});
  EXPECT_EQ(model.index(0, 0).data(Qt::ForegroundRole).value<QColor>(), QColor(255, 0, 0));  // 0x00BBGGRR
  EXPECT_EQ(model.index(0, 0).data(Qt::BackgroundRole).value<QColor>(), QColor(0, 0, 255));
  EXPECT_EQ(model.index(0, 0).data(ListModel::kSelectedTextRole).value<QColor>(), QColor(0, 255, 0));
  EXPECT_EQ(model.index(0, 1).data(Qt::ForegroundRole).value<QColor>(), QColor(128, 128, 128));
  EXPECT_FALSE(model.index(0, 0).data(ListModel::kSelectedBackgroundRole).isValid());
}

}  // namespace
}  // namespace runtime::qt
