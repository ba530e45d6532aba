// The toolbar over a window with two lists: choosing the target, tool tips
// from the packed table, which buttons work, and every button's action,
// driven through the window manager headless.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/WindowTestFixture.h"
#include "window/ToolbarManager.h"
#include "window/WindowManager.h"

namespace marlinden {
namespace {

using runtime::ui::ControlKind;
using runtime::ui::EventCode;

constexpr std::int32_t kListA = 1;
constexpr std::int32_t kListB = 2;
constexpr std::int32_t kInsert = 3;
constexpr std::int32_t kChange = 4;
constexpr std::int32_t kHelp = 5;

runtime::ui::WindowDescription ToolbarWindow() {
  runtime::ui::WindowDescription d;
  d.name = "toolbar";
  d.title = "toolbar";
  d.rect = {0, 0, 300, 200};
  auto add = [&d](ControlKind kind, std::int32_t fixed = 0, bool disabled = false) {
    runtime::ui::ControlDescription c;
    c.kind = kind;
    c.fixedNumber = fixed;
    c.disabled = disabled;
    d.controls.push_back(c);
  };
  add(ControlKind::List);
  add(ControlKind::List);
  add(ControlKind::Button);
  add(ControlKind::Button, 0, true);  // Change, disabled
  add(ControlKind::Button);
  for (std::int32_t b = ToolbarInsert; b <= ToolbarHelp; ++b) add(ControlKind::Button, b);
  return d;
}

class FakeBrowse : public ToolbarBrowse {
 public:
  runtime::ui::Window* ToolbarWindow() override { return window; }
  bool ListVisible() override { return visible; }
  runtime::ui::Window* window = nullptr;
  bool visible = true;
};

// A window with a toolbar and two list targets; logs every field event.
class ToolbarForm : public WindowManager {
 public:
  Severity Init() override {
    const Severity base = WindowManager::Init();
    if (base != SeverityOk) return base;
    AddItem(toolbar);
    runtime::ui::Window& window = OpenWindow(ToolbarWindow());
    for (FakeBrowse* browse : {&browseA, &browseB}) browse->window = &window;
    targetA.BROWSE = &browseA;
    targetB.BROWSE = &browseB;
    targetA.INSERTBUTTON = kInsert;
    targetA.CHANGEBUTTON = kChange;
    targetA.HELPBUTTON = kHelp;
    toolbar.AddTarget(targetB, kListB);
    toolbar.AddTarget(targetA, kListA);
    toolbar.SetTarget(kListA);
    return SeverityOk;
  }
  Severity Kill() override {
    const Severity base = WindowManager::Kill();
    CloseWindow();
    return base;
  }
  Severity TakeFieldEvent() override {
    log.push_back(std::to_string(static_cast<int>(ThisEvent().code)) + "@" + std::to_string(ThisEvent().control));
    return SeverityOk;
  }
  void Update() override {
    log.push_back("Update");
    WindowManager::Update();
  }

  ToolbarManager toolbar;
  ToolbarTarget targetA, targetB;
  FakeBrowse browseA, browseB;
  std::vector<std::string> log;
};

std::string Logged(EventCode code, std::int32_t control) {
  return std::to_string(static_cast<int>(code)) + "@" + std::to_string(control);
}

class ToolbarManagerTest : public runtime::ui::testing::WindowFixture<> {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    Start([this] { response = form.Run(); });
    id = driver.WaitForWindow(1);
    ASSERT_NE(id, runtime::ui::kNoWindow);
  }
  // Runs f on the form's thread state, under the runtime lock.
  void WithForm(const std::function<void()>& f) {
    driver.WithWindow(id, [&](runtime::ui::Window& w) {
      f();
      w.Flush();
    });
  }
  std::vector<std::string> Log() {
    std::vector<std::string> log;
    WithForm([&] { log = form.log; });
    return log;
  }

  ToolbarForm form;
  runtime::ui::WindowId id = runtime::ui::kNoWindow;
  std::uint8_t response = 0;
};

TEST_F(ToolbarManagerTest, TakingTheToolbarSetsTipsAndButtons) {
  EXPECT_EQ(driver.Properties(id, ToolbarDown).tip, "Go to the Next Record");
  EXPECT_EQ(driver.Properties(id, ToolbarBottom).tip, "Go to the Last Page");
  EXPECT_EQ(driver.Properties(id, ToolbarTop).tip, "Go to the First Page");
  EXPECT_EQ(driver.Properties(id, ToolbarPageDown).tip, "Go to the Next Page");
  EXPECT_EQ(driver.Properties(id, ToolbarPageUp).tip, "Go to the Prior Page");
  EXPECT_EQ(driver.Properties(id, ToolbarUp).tip, "Go to the Prior Record");
  EXPECT_EQ(driver.Properties(id, ToolbarInsert).tip, "Insert a new Record");
  EXPECT_EQ(driver.Properties(id, ToolbarLocate).tip, "");
  const std::vector<std::pair<std::int32_t, bool>> enabled = {
      {ToolbarInsert, true}, {ToolbarChange, false}, {ToolbarDelete, false},  {ToolbarSelect, false},
      {ToolbarBottom, true}, {ToolbarTop, true},     {ToolbarPageDown, true}, {ToolbarPageUp, true},
      {ToolbarDown, true},   {ToolbarUp, true},      {ToolbarLocate, true},   {ToolbarHistory, false},
      {ToolbarHelp, true},
  };
  for (const auto& [button, on] : enabled) EXPECT_EQ(driver.Properties(id, button).enabled, on) << button;
  driver.Post(id, EventCode::CloseWindow);
}

TEST_F(ToolbarManagerTest, SetTargetPicksTheLastVisibleList) {
  ToolbarTarget* picked = nullptr;
  WithForm([&] {
    form.toolbar.SetTarget(0);  // both visible: the later in control order
    picked = form.toolbar.Current();
  });
  EXPECT_EQ(picked, &form.targetB);
  EXPECT_FALSE(driver.Properties(id, ToolbarInsert).enabled);  // B has no insert button
  WithForm([&] {
    form.browseB.visible = false;
    form.toolbar.SetTarget(0);
    picked = form.toolbar.Current();
  });
  EXPECT_EQ(picked, &form.targetA);
  EXPECT_TRUE(driver.Properties(id, ToolbarInsert).enabled);
  WithForm([&] {
    form.browseA.visible = false;
    form.toolbar.SetTarget(0);  // none visible: the last, without taking the toolbar
    picked = form.toolbar.Current();
  });
  EXPECT_EQ(picked, &form.targetB);
  EXPECT_TRUE(driver.Properties(id, ToolbarInsert).enabled);
  driver.Post(id, EventCode::CloseWindow);
}

TEST_F(ToolbarManagerTest, EveryButtonActsOnTheCurrentList) {
  const std::vector<std::pair<std::int32_t, std::string>> actions = {
      {ToolbarInsert, Logged(EventCode::Accepted, kInsert)},    {ToolbarChange, Logged(EventCode::Accepted, kChange)},
      {ToolbarBottom, Logged(EventCode::ScrollBottom, kListA)}, {ToolbarTop, Logged(EventCode::ScrollTop, kListA)},
      {ToolbarPageDown, Logged(EventCode::PageDown, kListA)},   {ToolbarPageUp, Logged(EventCode::PageUp, kListA)},
      {ToolbarDown, Logged(EventCode::ScrollDown, kListA)},     {ToolbarUp, Logged(EventCode::ScrollUp, kListA)},
      {ToolbarLocate, Logged(EventCode::Locate, kListA)},       {ToolbarHelp, Logged(EventCode::Accepted, kHelp)},
  };
  VcrRequest = 2008;
  for (const auto& [button, expected] : actions) {
    WithForm([&] { form.log.clear(); });
    driver.Click(id, button);
    ASSERT_TRUE(driver.WaitIdle(1));
    EXPECT_EQ(Log(), (std::vector<std::string>{Logged(EventCode::Accepted, button), expected})) << button;
  }
  // No delete button on the target, and history belongs to the window: the
  // click is all that happens.
  for (const std::int32_t button : {ToolbarDelete, ToolbarHistory}) {
    WithForm([&] { form.log.clear(); });
    driver.Click(id, button);
    ASSERT_TRUE(driver.WaitIdle(1));
    EXPECT_EQ(Log(), (std::vector<std::string>{Logged(EventCode::Accepted, button)})) << button;
  }
  WithForm([&] { EXPECT_EQ(VcrRequest, 2008); });
  WithForm([&] { form.log.clear(); });
  driver.Click(id, ToolbarSelect);
  ASSERT_TRUE(driver.WaitForClose(id));
  ASSERT_TRUE(program->WaitForEnd(std::chrono::seconds(10)));
  EXPECT_EQ(response, ResponseCompleted);
  EXPECT_EQ(form.log, (std::vector<std::string>{"Update", Logged(EventCode::Accepted, ToolbarSelect)}));
  VcrRequest = 0;
}

}  // namespace
}  // namespace marlinden
