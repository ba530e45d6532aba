// The update side of the browse list, end to end in a headless window: the
// keys it alerts, the update procedure run for insert, change and delete,
// the list refreshed afterwards, toolbar navigation from record to record,
// selecting, the popup menu, and a change saved over another station's.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BrowseTestSupport.h"
#include "errors/MessageIds.h"
#include "runtime/system/RuntimeError.h"
#include "window/QueryManager.h"
#include "window/QueryWindow.h"
#include "window/ToolbarManager.h"

namespace marlinden::testing {
namespace {

using runtime::ui::ButtonNo;
using runtime::ui::ButtonOk;
using runtime::ui::ButtonYes;
using runtime::ui::EventCode;
using runtime::ui::KeyCode;
using Urls = std::vector<std::string>;

constexpr std::uint16_t kUpdateProcedure = 7;

// One call of the update procedure: its request and the record it was given.
struct Call {
  std::uint8_t request;
  std::string url;
  friend bool operator==(const Call&, const Call&) = default;
};

class BrowseActionsTest : public BrowseFixture {
 protected:
  // Opens the window with an update procedure that logs each call and then
  // runs step (on the window's thread) for its response.
  void OpenWithProcedure(int records, std::function<std::uint8_t(std::uint8_t)> step, std::uint8_t request = 0) {
    Urls urls;
    for (int i = 1; i <= records; ++i) urls.push_back(Site(i));
    Open(
        urls,
        [this, step](BrowseWindow& w) {
          w.browse.ASKPROCEDURE = kUpdateProcedure;
          w.procedure = [this, step](std::uint16_t number, std::uint8_t request) -> std::uint8_t {
            EXPECT_EQ(number, kUpdateProcedure);
            calls.push_back({request, std::string(station->Url().ClippedText())});
            return step(request);
          };
        },
        request);
  }

  std::vector<Call> calls;
};

TEST_F(BrowseActionsTest, InsertKeyRunsTheProcedureAndHighlightsTheNewRecord) {
  OpenWithProcedure(20, [this](std::uint8_t) {
    station->Url().SetText("http://www.site-007a.example/");
    return station->files.Insert() == SeverityOk ? ResponseCompleted : ResponseCancelled;
  });
  Post(EventCode::ScrollDown);
  Key(KeyCode::Insert);
  EXPECT_EQ(calls, (std::vector<Call>{{RequestInsert, ""}})) << "the procedure gets a primed, empty record";
  EXPECT_EQ(Highlighted(), "http://www.site-007a.example/");
  EXPECT_EQ(List().selected, 2) << "on the line of the row highlighted before";
  EXPECT_EQ(Buffer(), "http://www.site-007a.example/");
}

TEST_F(BrowseActionsTest, DeleteAsksAndTakesTheRowOut) {
  Open(20);
  Post(EventCode::ScrollDown);  // site-002
  backend.MessageBoxes().Script(ButtonNo);
  Key(KeyCode::Delete);
  EXPECT_EQ(List().urls, (Urls{Site(1), Site(2), Site(3), Site(4), Site(5)})) << "declined: nothing changes";
  backend.MessageBoxes().Script(ButtonYes);
  Key(KeyCode::Delete);
  EXPECT_EQ(List().urls, (Urls{Site(1), Site(3), Site(4), Site(5), Site(6)}));
  EXPECT_EQ(Highlighted(), Site(3));
  ASSERT_EQ(backend.MessageBoxRequests().size(), 2u);
  EXPECT_EQ(backend.MessageBoxRequests()[0].caption, "Confirm Delete");
}

TEST_F(BrowseActionsTest, OnAnEmptyListDeleteDoesNothingAndInsertInserts) {
  OpenWithProcedure(0, [](std::uint8_t) { return ResponseCancelled; });
  Key(KeyCode::Delete);
  Key(KeyCode::CtrlEnter);
  EXPECT_TRUE(calls.empty());
  Key(KeyCode::Insert);
  EXPECT_EQ(calls, (std::vector<Call>{{RequestInsert, ""}}));
}

TEST_F(BrowseActionsTest, DoubleClickChangesTheHighlightedRecord) {
  OpenWithProcedure(20, [](std::uint8_t) { return ResponseCancelled; });
  Post(EventCode::ScrollDown);
  Post(EventCode::ScrollDown);
  Key(KeyCode::MouseLeftDouble);
  EXPECT_EQ(calls, (std::vector<Call>{{RequestChange, Site(3)}}));
  EXPECT_EQ(Highlighted(), Site(3)) << "a cancelled change reloads around the same row";
  Key(KeyCode::CtrlEnter);
  EXPECT_EQ(calls.size(), 2u);
}

TEST_F(BrowseActionsTest, DoubleClickSelectsWhenTheWindowWasCalledToSelect) {
  OpenWithProcedure(
      20, [](std::uint8_t) { return ResponseCancelled; }, RequestSelect);
  EXPECT_EQ(Highlighted(), Site(20)) << "selecting starts at the record in the buffer";
  Post(EventCode::ScrollTop);
  Post(EventCode::ScrollDown);
  runtime::ui::EventData click;
  click.key = KeyCode::MouseLeftDouble;
  driver.Post(id, EventCode::AlertKey, kList, click);
  ASSERT_TRUE(program->WaitForEnd(std::chrono::seconds(10)));
  id = runtime::ui::kNoWindow;
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(response, ResponseCompleted);
  EXPECT_EQ(bufferUrl, Site(2)) << "the caller gets the highlighted record";
}

TEST_F(BrowseActionsTest, ToolbarNavigationMovesFromRecordToRecord) {
  int call = 0;
  OpenWithProcedure(20, [&](std::uint8_t) {
    if (++call < 3) VcrRequest = 2008;  // next record
    return ResponseCancelled;
  });
  Key(KeyCode::CtrlEnter);
  EXPECT_EQ(calls, (std::vector<Call>{{RequestChange, Site(1)}, {RequestChange, Site(2)}, {RequestChange, Site(3)}}));
  EXPECT_EQ(Highlighted(), Site(3));
  EXPECT_EQ(VcrRequest, 0);
}

TEST_F(BrowseActionsTest, NextRecordWhileInsertingKeepsInserting) {
  int call = 0;
  OpenWithProcedure(5, [&](std::uint8_t) {
    station->Url().SetText("http://new-" + std::to_string(++call) + ".example/");
    if (call < 2) VcrRequest = 2008;
    return station->files.Insert() == SeverityOk ? ResponseCompleted : ResponseCancelled;
  });
  Key(KeyCode::Insert);
  EXPECT_EQ(calls, (std::vector<Call>{{RequestInsert, ""}, {RequestInsert, ""}}));
  EXPECT_EQ(Highlighted(), "http://new-2.example/");
}

TEST_F(BrowseActionsTest, RightClickBelowTheLastRowShowsTheMenuForTheLastRow) {
  Open(3);
  backend.ScriptPopupChoice(0);
  Key(KeyCode::MouseRightDown, {}, 99);
  EXPECT_EQ(Highlighted(), Site(3)) << "the row number is held to the rows there are";
  const auto popups = backend.PopupRequests();
  ASSERT_EQ(popups.size(), 1u);
  EXPECT_NE(popups[0].text.find("&Insert"), std::string::npos);
  EXPECT_NE(popups[0].text.find("&Delete"), std::string::npos);
  // The popup's Delete entry (third item) deletes the highlighted row.
  backend.ScriptPopupChoice(3);
  backend.MessageBoxes().Script(ButtonYes);
  Key(KeyCode::MouseRightDown, {}, 1);
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(List().urls, (Urls{Site(2), Site(3)}));
  Post(EventCode::ScrollDown);
  EXPECT_EQ(backend.PopupRequests().size(), 2u) << "a later selection does not open the menu again";
}

TEST_F(BrowseActionsTest, AChangeSavedOverAnotherStationsIsReported) {
  Station* other = nullptr;
  std::unique_ptr<Station> otherStation;
  OpenWithProcedure(5, [&](std::uint8_t) {
    // Another station changes the record while it is being edited here.
    other->Url().SetText(Site(2));
    EXPECT_EQ(other->files.Fetch(testing_support::NameKey), SeverityOk);
    other->Description().SetText("theirs");
    EXPECT_EQ(other->files.Update(), SeverityOk);
    station->Description().SetText("mine");
    return station->relation.Update(false) == SeverityOk ? ResponseCompleted : ResponseCancelled;
  });
  otherStation = std::make_unique<Station>(path, errors);
  other = otherStation.get();
  driver.WithWindow(id, [&](runtime::ui::Window&) {
    ASSERT_EQ(other->relation.Open(), SeverityOk);
    ASSERT_EQ(other->files.UseFile(), SeverityOk);
  });
  Post(EventCode::ScrollDown);
  backend.MessageBoxes().Script(ButtonOk);
  Key(KeyCode::CtrlEnter);
  ASSERT_EQ(backend.MessageBoxRequests().size(), 1u);
  EXPECT_EQ(backend.MessageBoxRequests()[0].caption, "Record Was Not Updated");
  EXPECT_EQ(backend.MessageBoxRequests()[0].text, "This record was changed by another station.");
  std::string description;
  driver.WithWindow(id, [&](runtime::ui::Window& w) { description = w.Find(kList)->Source()->Row(2)[1].text; });
  EXPECT_EQ(description, "theirs") << "the other station's change is kept and shown";
  driver.WithWindow(id, [&](runtime::ui::Window&) { (void)other->relation.Close(); });
}

TEST_F(BrowseActionsTest, AQueryFiltersTheListAndARefusedOneLeavesItAsItWas) {
  auto query = std::make_shared<QueryManager>();
  auto queryWindow = std::make_shared<QueryWindow>();
  Urls urls;
  for (int i = 1; i <= 20; ++i) urls.push_back(Site(i));
  urls.push_back("ftp://files.example/");
  Open(urls, [query, queryWindow](BrowseWindow& w) {
    query->Init(*queryWindow);
    w.browse.AddQuery(*query);
    w.browse.SetStandardFilter("(UPPER(sub(web:url,1,3)) = 'HTT')");
  });
  EXPECT_EQ(List().urls.front(), Site(1)) << "the order's own filter leaves the FTP address out";
  driver.Post(id, EventCode::Locate, kList);
  runtime::ui::WindowId example = driver.WaitForWindow(1);
  ASSERT_NE(example, id);
  driver.Type(example, 2, "*site-01");
  ASSERT_TRUE(driver.WaitIdle(1));
  driver.Click(example, kQueryOk);
  ASSERT_TRUE(driver.WaitForClose(example));
  ASSERT_TRUE(driver.WaitIdle(1));
  const Urls filtered = {Site(10), Site(11), Site(12), Site(13), Site(14)};
  EXPECT_EQ(List().urls, filtered);

  // A condition the view cannot compile: message 40, and the list keeps
  // both its own filter and the query it had.
  WithBrowse([&](BrowseWindow&) {
    query->AddField("NOPE:NOTHING", "Nope", "S20");
    query->SetLimit("NOPE:NOTHING", "", "", "x");
  });
  backend.MessageBoxes().Script(ButtonOk);
  driver.Post(id, EventCode::Locate, kList);
  example = driver.WaitForWindow(1);
  driver.Click(example, kQueryOk);
  ASSERT_TRUE(driver.WaitForClose(example));
  ASSERT_TRUE(driver.WaitIdle(1));
  ASSERT_EQ(backend.MessageBoxRequests().size(), 1u);
  EXPECT_EQ(backend.MessageBoxRequests()[0].caption, "View Open Error");
  EXPECT_EQ(List().urls, filtered);
  Post(EventCode::ScrollBottom);
  EXPECT_EQ(List().urls.back(), Site(19));
}

TEST_F(BrowseActionsTest, TheToolbarDrivesTheListAndNavigatesTheUpdateProcedure) {
  auto toolbar = std::make_shared<ToolbarManager>();
  int call = 0;
  Open(20, [&, toolbar](BrowseWindow& w) {
    w.AddItem(*toolbar);
    w.browse.ASKPROCEDURE = kUpdateProcedure;
    w.browse.AddToolbarTarget(*toolbar);
    w.procedure = [&](std::uint16_t, std::uint8_t request) -> std::uint8_t {
      calls.push_back({request, std::string(station->Url().ClippedText())});
      if (++call == 1) VcrRequest = 2006;  // next page
      return ResponseCancelled;
    };
  });
  driver.Click(id, ToolbarPageDown);
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(Highlighted(), Site(6));
  driver.Click(id, ToolbarChange);
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(calls, (std::vector<Call>{{RequestChange, Site(6)}, {RequestChange, Site(11)}}))
      << "next page moved the highlight a page down before the second call";
}

}  // namespace
}  // namespace marlinden::testing
