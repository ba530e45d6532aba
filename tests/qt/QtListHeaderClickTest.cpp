// A click on a list's column header reaches the program, with its column,
// only when the list alerts header clicks.
#include <QHeaderView>
#include <QTableView>
#include <QTest>

#include "qt/ListControl.h"
#include "qt/QtFixture.h"
#include "runtime/ui/Control.h"

namespace runtime::qt {
namespace {

using ui::EventCode;
using ui::KeyCode;

struct Reported {
  EventCode code;
  ui::EventData data;
};

ui::ControlView HeaderedList(bool alerted) {
  ui::ControlView view;
  ui::ControlProperties& p = view.properties;
  p.number = 1;
  p.kind = ui::ControlKind::List;
  p.rect = {0, 0, 160, 60};
  for (const char* header : {"URL", "Description"}) {
    ui::ListColumn column;
    column.header = header;
    column.width = 60;
    column.resizable = true;
    p.columns.push_back(column);
  }
  if (alerted) p.alerts[245] = KeyCode::MouseHeader;
  view.visibleItems = ui::Control(p).VisibleItems();
  return view;
}

void ClickHeader(ListControl& list, int section) {
  QHeaderView* header = list.TableView()->horizontalHeader();
  const QPoint centre(header->sectionViewportPosition(section) + header->sectionSize(section) / 2,
                      header->height() / 2);
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, centre);
}

TEST(QtListHeaderClickTest, AnAlertedHeaderClickReportsItsColumn) {
  for (const bool alerted : {true, false}) {
    SCOPED_TRACE(alerted ? "alerted" : "not alerted");
    QWidget top;
    DialogUnits units{6, 16};
    std::vector<Reported> reported;
    ListControl list{&top, [&reported](EventCode code, std::int32_t, ui::EventData data) {
                       reported.push_back({code, std::move(data)});
                     }};
    const ui::ControlView view = HeaderedList(alerted);
    list.Show(view, units);
    list.Widget()->setGeometry(units.ToPixels(view.properties.rect));
    top.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&top));
    ClickHeader(list, 1);
    ClickHeader(list, 0);
    if (!alerted) {
      EXPECT_TRUE(reported.empty());
      continue;
    }
    ASSERT_EQ(reported.size(), 2U);
    for (std::size_t i = 0; i < reported.size(); ++i) {
      EXPECT_EQ(reported[i].code, EventCode::AlertKey);
      EXPECT_EQ(reported[i].data.key, KeyCode::MouseHeader);
    }
    EXPECT_EQ(reported[0].data.column, 2);
    EXPECT_EQ(reported[1].data.column, 1);
  }
}

}  // namespace
}  // namespace runtime::qt
