// The resizer shares a list's width among its columns: in their snapshot
// proportions, exactly back at the snapshot size, and in the proportions the
// user gave them after a column was resized by hand.
#include <gtest/gtest.h>

#include <vector>

#include "runtime/ui/Window.h"
#include "support/WindowTestFixture.h"
#include "window/Resizer.h"

namespace marlinden {
namespace {

using runtime::ui::ControlKind;
using runtime::ui::Rect;

constexpr std::int32_t kList = 1;
constexpr std::int32_t kButton = 2;

runtime::ui::WindowDescription ListWindow() {
  runtime::ui::WindowDescription d;
  d.name = "columns";
  d.rect = {0, 0, 200, 100};
  runtime::ui::ControlDescription list;
  list.kind = ControlKind::List;
  list.rect = {10, 10, 100, 60};
  runtime::ui::ListColumn url;
  url.header = "URL";
  url.width = 60;
  runtime::ui::ListColumn description = url;
  description.header = "Description";
  description.width = 36;
  list.columns = {url, description};
  d.controls.push_back(list);
  runtime::ui::ControlDescription button;
  button.kind = ControlKind::Button;
  button.rect = {150, 80, 40, 14};
  d.controls.push_back(button);
  return d;
}

std::vector<std::int32_t> Widths(const runtime::ui::Window& w) {
  std::vector<std::int32_t> widths;
  for (const runtime::ui::ListColumn& c : w.Find(kList)->Properties().columns) widths.push_back(c.width);
  return widths;
}

class ResizerColumnsTest : public runtime::ui::testing::WindowFixture<> {};

TEST_F(ResizerColumnsTest, AListsColumnsShareItsWidthAndKeepTheUsersProportions) {
  Start([&] {
    auto w = runtime::ui::Window::Open(ListWindow());
    Resizer resizer;
    resizer.Init(*w, StrategyKeepControlSizes, SnapshotLimit::Limit, SnapshotLimit::None);
    auto sizeTo = [&](std::int32_t width, std::int32_t height) {
      w->SetPosition({0, 0, width, height});
      resizer.Resize();
    };
    sizeTo(400, 150);
    EXPECT_EQ(w->Find(kList)->Position().width, 200);
    EXPECT_EQ(Widths(*w), (std::vector<std::int32_t>{120, 72}));
    EXPECT_EQ(w->Find(kButton)->Position(), (Rect{350, 130, 40, 14})) << "the button keeps its size";
    sizeTo(333, 111);
    sizeTo(200, 100);
    EXPECT_EQ(Widths(*w), (std::vector<std::int32_t>{60, 36})) << "back at the snapshot size, exactly";

    // The user widens the first column at the snapshot size.
    std::vector<runtime::ui::ListColumn> columns = w->Find(kList)->Properties().columns;
    columns[0].width = 70;
    columns[1].width = 26;
    w->Find(kList)->SetColumns(columns);
    sizeTo(300, 100);
    EXPECT_EQ(Widths(*w), (std::vector<std::int32_t>{105, 39}));
    resizer.Kill();
  });
  ASSERT_TRUE(program->WaitForEnd(std::chrono::seconds(10)));
}

}  // namespace
}  // namespace marlinden
