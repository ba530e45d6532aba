#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "runtime/system/Clock.h"
#include "support/WindowTestFixture.h"
#include "testing/TestClock.h"

namespace runtime::ui {
namespace {

using testing::Form;

struct Seen {
  EventCode code;
  std::int32_t control;
};

class WindowEventLoopTest : public testing::WindowFixture<> {
 protected:
  // Runs a form on thread 1; taker decides for each event, after it is
  // recorded in seen.
  void RunForm(WindowDescription description, std::function<LoopAction(Window&, const Event&)> taker) {
    Start([this, description, taker] {
      auto window = Window::Open(description);
      end = RunEventLoop(*window, [&](const Event& e) {
        seen.push_back({e.code, e.control});
        return taker(*window, e);
      });
      stillOpen = window->IsOpen();
    });
    id = driver.WaitForWindow(1);
  }

  std::vector<EventCode> Codes() const {
    std::vector<EventCode> codes;
    for (const Seen& s : seen) codes.push_back(s.code);
    return codes;
  }

  WindowId id = kNoWindow;
  std::vector<Seen> seen;
  LoopEnd end = LoopEnd::BrokenOff;
  bool stillOpen = true;
};

TEST_F(WindowEventLoopTest, CycleOnCloseKeepsTheWindowOpenAndCarryOnClosesIt) {
  int closes = 0;
  RunForm(Form("refuses once"), [&](Window&, const Event& e) {
    if (e.code == EventCode::CloseWindow && ++closes == 1) return LoopAction::Cycle;
    return LoopAction::CarryOn;
  });
  driver.Post(id, EventCode::CloseWindow);
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_TRUE(backend.Shown(id).has_value()) << "a refused close must leave the window shown";

  driver.Post(id, EventCode::CloseWindow);
  program->WaitForEnd();
  EXPECT_EQ(end, LoopEnd::WindowClosed);
  EXPECT_FALSE(stillOpen);
  EXPECT_EQ(Codes(), (std::vector{EventCode::OpenWindow, EventCode::CloseWindow, EventCode::CloseWindow}));
  EXPECT_FALSE(backend.Shown(id).has_value());
}

TEST_F(WindowEventLoopTest, BreakLeavesTheLoopWithTheWindowOpen) {
  RunForm(Form("breaks"), [](Window&, const Event& e) {
    return e.code == EventCode::Accepted ? LoopAction::Break : LoopAction::CarryOn;
  });
  driver.Click(id, 3);
  driver.Post(id, EventCode::CloseWindow);  // never taken
  program->WaitForEnd();
  EXPECT_EQ(end, LoopEnd::BrokenOff);
  EXPECT_TRUE(stillOpen);
  EXPECT_EQ(Codes(), (std::vector{EventCode::OpenWindow, EventCode::Accepted}));
}

TEST_F(WindowEventLoopTest, AcceptAllRejectsTheFirstInvalidControlAndCompletesOtherwise) {
  auto form = Form("record", 3);
  form.controls[1].required = true;
  form.controls[2].picture = "@n9";
  std::vector<bool> inPass;
  RunForm(form, [&](Window& w, const Event& e) {
    if (e.code == EventCode::Accepted && e.control == 4) w.AcceptAll();
    if (e.code == EventCode::Rejected || e.code == EventCode::Completed) inPass.push_back(w.InAcceptAll());
    if (e.code == EventCode::Completed) return LoopAction::Break;
    return LoopAction::CarryOn;
  });
  driver.Type(id, 3, "abc");  // not a number, but entry 2 fails first
  driver.Click(id, 4);
  ASSERT_TRUE(driver.WaitIdle(1));
  ASSERT_EQ(seen.back().code, EventCode::Rejected);
  EXPECT_EQ(seen.back().control, 2);
  EXPECT_EQ(backend.Shown(id)->focus, 0) << "focus is the runtime's model; the taker selects";
  driver.WithWindow(id, [](Window& w) { EXPECT_EQ(w.Focus(), 2); });

  driver.Type(id, 2, "filled");
  driver.Click(id, 4);
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(seen.back().code, EventCode::Rejected);
  EXPECT_EQ(seen.back().control, 3);

  driver.Type(id, 3, " 42");
  driver.Click(id, 4);
  program->WaitForEnd();
  EXPECT_EQ(seen.back().code, EventCode::Completed);
  EXPECT_EQ(inPass, (std::vector{true, true, true}));
  const auto codes = Codes();
  EXPECT_EQ(std::count(codes.begin(), codes.end(), EventCode::Completed), 1);
}

TEST_F(WindowEventLoopTest, UserDataReachesTheModelBeforeTheTakerSeesTheEvent) {
  auto form = Form("data", 1);
  ControlDescription list;
  list.kind = ControlKind::List;
  list.rect = {0, 40, 100, 50};
  form.controls.push_back(list);  // control 3
  std::string typed;
  std::int32_t row = 0;
  KeyCode key = KeyCode::None;
  RunForm(form, [&](Window& w, const Event& e) {
    if (e.code == EventCode::Accepted) typed = w.Text(1);
    if (e.code == EventCode::NewSelection) row = w.Find(3)->SelectedRow();
    if (e.code == EventCode::AlertKey) {
      key = LastKeyCode();
      return LoopAction::Break;
    }
    return LoopAction::CarryOn;
  });
  driver.Type(id, 1, "typed text");
  driver.Choose(id, 3, 4);
  driver.PressKey(id, 3, KeyCode::CtrlEnter);
  program->WaitForEnd();
  EXPECT_EQ(typed, "typed text");
  EXPECT_EQ(row, 4);
  EXPECT_EQ(key, KeyCode::CtrlEnter);
}

TEST_F(WindowEventLoopTest, NestedLoopTakesTheWindowsEventsUntilItBreaks) {
  std::vector<EventCode> inner;
  RunForm(Form("nested"), [&](Window& w, const Event& e) {
    if (e.code == EventCode::Accepted && e.control == 1) {
      RunEventLoop(w, [&](const Event& n) {
        inner.push_back(n.code);
        return n.code == EventCode::AlertKey ? LoopAction::Break : LoopAction::CarryOn;
      });
    }
    return LoopAction::CarryOn;
  });
  driver.Click(id, 1);
  driver.Choose(id, 2, 1);
  driver.PressKey(id, 2, KeyCode::Esc);
  driver.Click(id, 3);
  driver.Post(id, EventCode::CloseWindow);
  program->WaitForEnd();
  EXPECT_EQ(inner, (std::vector{EventCode::NewSelection, EventCode::AlertKey}));
  EXPECT_EQ(Codes(),
            (std::vector{EventCode::OpenWindow, EventCode::Accepted, EventCode::Accepted, EventCode::CloseWindow}));
}

TEST_F(WindowEventLoopTest, CloseInsideANestedLoopEndsBothLoops) {
  RunForm(Form("nested close"), [&](Window& w, const Event& e) {
    if (e.code == EventCode::Accepted) RunEventLoop(w, [](const Event&) { return LoopAction::CarryOn; });
    return LoopAction::CarryOn;
  });
  driver.Click(id, 1);
  driver.Post(id, EventCode::CloseWindow);
  program->WaitForEnd();
  EXPECT_EQ(end, LoopEnd::WindowClosed);
}

TEST_F(WindowEventLoopTest, TimerFiresWhenTheTestClockReachesItsInterval) {
  runtime::TestClock clock(20000, 0);
  runtime::ScopedTimeSource source(clock);
  auto form = Form("progress");
  form.timerHundredths = 50;
  int timers = 0;
  RunForm(form, [&](Window&, const Event& e) {
    if (e.code == EventCode::Timer) ++timers;
    return LoopAction::CarryOn;
  });
  driver.AdvanceClock(clock, 49);
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(timers, 0);
  driver.AdvanceClock(clock, 1);
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(timers, 1);
  driver.AdvanceClock(clock, 500);  // missed intervals come as one event
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(timers, 2);
  driver.Post(id, EventCode::CloseWindow);
  program->WaitForEnd();
}

TEST_F(WindowEventLoopTest, ModelChangesAreShownWhenTheLoopWaits) {
  struct Rows : ListSource {
    std::size_t RowCount() const override { return 2; }
    ListRow Row(std::size_t row) const override { return {ListCell{"row " + std::to_string(row), {255}}}; }
  } rows;
  auto form = Form("shown", 1);
  ControlDescription list;
  list.kind = ControlKind::List;
  list.rect = {0, 0, 100, 60};
  ListColumn column;
  column.header = "URL";
  column.width = 196;
  list.columns = {column};
  form.controls.push_back(list);  // control 3
  RunForm(form, [&](Window& w, const Event& e) {
    if (e.code == EventCode::OpenWindow) {
      w.Find(3)->SetListSource(&rows);
      w.Find(1)->Alert(5, KeyCode::Down);
      w.SetText(1, "pushed");
      w.SetTitle("new title");
    }
    if (e.code == EventCode::CloseWindow) w.Find(3)->SetListSource(nullptr);
    return LoopAction::CarryOn;
  });
  const auto listShown = backend.ShownControl(id, 3);
  ASSERT_TRUE(listShown.has_value());
  ASSERT_EQ(listShown->rows.size(), 2u);
  EXPECT_EQ(listShown->rows[1][0].text, "row 2");
  EXPECT_EQ(listShown->rows[1][0].colours.text, 255);
  EXPECT_EQ(listShown->visibleItems, 5) << "60 units: a header row and five rows";
  EXPECT_EQ(backend.ShownControl(id, 1)->properties.text, "pushed");
  EXPECT_EQ(backend.ShownControl(id, 1)->properties.alerts[4], KeyCode::Down);
  EXPECT_EQ(backend.Shown(id)->title, "new title");
  driver.Post(id, EventCode::CloseWindow);
  program->WaitForEnd();
}

TEST_F(WindowEventLoopTest, ListCellsFromTheBackendAreHeldToTheRowsAndColumnsThereAre) {
  struct Rows : ListSource {
    std::size_t count = 3;
    std::size_t RowCount() const override { return count; }
    ListRow Row(std::size_t row) const override { return {ListCell{std::to_string(row), {}}}; }
  } rows;
  auto form = Form("cells", 1);
  ControlDescription list;
  list.kind = ControlKind::List;
  list.rect = {0, 0, 100, 60};
  list.paging = ListPaging::Program;
  list.columns = {ListColumn{}, ListColumn{}};
  form.controls.push_back(list);  // control 3
  struct Cell {
    std::int32_t selected, mouseRow, mouseColumn;
  };
  std::vector<Cell> cells;
  RunForm(form, [&](Window& w, const Event& e) {
    Control* c = w.Find(3);
    if (e.code == EventCode::OpenWindow) c->SetListSource(&rows);
    if (e.control == 3) {
      cells.push_back({c->SelectedRow(), static_cast<std::int32_t>(c->Get(Property::MouseRow).AsInteger()),
                       static_cast<std::int32_t>(c->Get(Property::MouseColumn).AsInteger())});
      if (e.code == EventCode::ScrollDown) rows.count = 0;  // a reload found nothing
    }
    if (e.code == EventCode::CloseWindow) c->SetListSource(nullptr);
    return LoopAction::CarryOn;
  });
  ASSERT_EQ(backend.ShownControl(id, 3)->properties.paging, ListPaging::Program);
  auto post = [&](EventCode code, std::optional<std::int32_t> selected, std::optional<std::int32_t> row,
                  std::optional<std::int32_t> column) {
    EventData data;
    data.selectedRow = selected;
    data.row = row;
    data.column = column;
    driver.Post(id, code, 3, data);
  };
  post(EventCode::NewSelection, 2, 2, 1);   // as shown
  post(EventCode::NewSelection, 7, 9, 5);   // posted before a reload to fewer rows
  post(EventCode::AlertKey, {}, 0, -4);     // nonsense below the first
  post(EventCode::AlertKey, {}, {}, 2);     // only a column: the row stays
  post(EventCode::ScrollDown, {}, {}, {});  // empties the list
  post(EventCode::NewSelection, 2, 2, 2);   // a selection on an empty list
  ASSERT_TRUE(driver.WaitIdle(1));
  const std::vector<std::array<std::int32_t, 3>> expected{{2, 2, 1}, {3, 3, 2}, {3, 1, 1},
                                                          {3, 1, 2}, {3, 1, 2}, {0, 0, 2}};
  ASSERT_EQ(cells.size(), expected.size());
  for (std::size_t i = 0; i < cells.size(); ++i) {
    EXPECT_EQ((std::array{cells[i].selected, cells[i].mouseRow, cells[i].mouseColumn}), expected[i]) << "event " << i;
  }
  driver.Post(id, EventCode::CloseWindow);
  program->WaitForEnd();
}

TEST_F(WindowEventLoopTest, TheLastKeysCharacterComesWithItAndGoesWithTheNextKey) {
  std::vector<std::pair<KeyCode, std::string>> keys;
  RunForm(Form("typing", 1), [&](Window&, const Event& e) {
    if (e.code == EventCode::AlertKey) {
      keys.emplace_back(LastKeyCode(), LastKeyText());
      if (LastKeyText() == "x") SetLastKeyCode(KeyCode::Down);
    }
    if (e.code == EventCode::Accepted) keys.emplace_back(LastKeyCode(), LastKeyText());
    return LoopAction::CarryOn;
  });
  driver.TypeOnList(id, 1, "\xC3\xA9");  // é
  driver.TypeOnList(id, 1, "q");
  driver.Click(id, 2);  // no key: the last one stays
  driver.PressKey(id, 1, KeyCode::Delete);
  driver.TypeOnList(id, 1, "x");  // the program sets a key of its own
  driver.Click(id, 2);
  ASSERT_TRUE(driver.WaitIdle(1));
  const std::vector<std::pair<KeyCode, std::string>> expected{{KeyCode::Character, "\xC3\xA9"},
                                                              {Letter('Q'), "q"},
                                                              {Letter('Q'), "q"},
                                                              {KeyCode::Delete, ""},
                                                              {Letter('X'), "x"},
                                                              {KeyCode::Down, ""}};
  EXPECT_EQ(keys, expected);
  driver.Post(id, EventCode::CloseWindow);
  program->WaitForEnd();
}

}  // namespace
}  // namespace runtime::ui
