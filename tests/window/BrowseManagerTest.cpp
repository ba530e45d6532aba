// The browse list over a real keyed bookmark file in a headless window:
// loading, scrolling by row, page and to the ends, the thumb with and
// without a step table, the locator, reloads that keep the highlighted row,
// another station's changes, hidden lists and list heights.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BrowseTestSupport.h"
#include "runtime/files/DataFile.h"
#include "runtime/system/RuntimeError.h"

namespace marlinden::testing {
namespace {

using runtime::ui::EventCode;
using runtime::ui::KeyCode;
using Urls = std::vector<std::string>;

Urls Sites(int from, int to) {
  Urls urls;
  for (int i = from; i <= to; ++i) urls.push_back(Site(i));
  return urls;
}

class BrowseManagerTest : public BrowseFixture {};

TEST_F(BrowseManagerTest, ScrollingByRowPageAndToTheEnds) {
  Open(20);
  ListView view = List();
  EXPECT_EQ(view.urls, Sites(1, 5));
  EXPECT_EQ(view.selected, 1);
  EXPECT_TRUE(view.scrollBar);
  EXPECT_EQ(Buffer(), Site(1));

  struct Step {
    EventCode event;
    int first;  // the page shows first..first+4
    int selected;
  };
  const std::vector<Step> steps = {
      {EventCode::ScrollDown, 1, 2}, {EventCode::ScrollDown, 1, 3},    {EventCode::ScrollDown, 1, 4},
      {EventCode::ScrollDown, 1, 5}, {EventCode::ScrollDown, 2, 5},  // the page moves by one record
      {EventCode::PageDown, 7, 5},   {EventCode::ScrollBottom, 16, 5}, {EventCode::ScrollDown, 16, 5},
      {EventCode::PageDown, 16, 5},  {EventCode::PageUp, 11, 5},       {EventCode::ScrollUp, 11, 4},
      {EventCode::ScrollTop, 1, 1},  {EventCode::ScrollUp, 1, 1},      {EventCode::PageUp, 1, 1},
  };
  for (const Step& step : steps) {
    Post(step.event);
    view = List();
    SCOPED_TRACE("event " + std::to_string(static_cast<int>(step.event)));
    EXPECT_EQ(view.urls, Sites(step.first, step.first + 4));
    EXPECT_EQ(view.selected, step.selected);
    EXPECT_EQ(Buffer(), Site(step.first + step.selected - 1)) << "the highlighted row is in the buffer";
  }
}

TEST_F(BrowseManagerTest, AShortListShowsEveryRecordWithoutAScrollBar) {
  Open(3);
  ListView view = List();
  EXPECT_EQ(view.urls, Sites(1, 3));
  EXPECT_FALSE(view.scrollBar);
  Post(EventCode::PageDown);
  EXPECT_EQ(List().selected, 3) << "page down keeps the highlight within the rows";
  Post(EventCode::ScrollBottom);
  EXPECT_EQ(List().urls, Sites(1, 3));
  EXPECT_EQ(List().selected, 3);
}

// 0, 1 and 2 records, with and without a step: no position outside the
// rows, no thumb outside 0-100, nothing read that is not there.
TEST_F(BrowseManagerTest, TinyCollectionsSurviveEveryMove) {
  for (int records : {0, 1, 2}) {
    for (bool withStep : {true, false}) {
      SCOPED_TRACE(std::to_string(records) + (withStep ? " with step" : " without step"));
      if (records != 0 || !withStep) {
        program.reset();
        program = std::make_unique<runtime::ui::Program>(backend);
      }
      Open(records, withStep ? Configure() : Configure(WithoutStep));
      for (EventCode event : {EventCode::ScrollDown, EventCode::PageDown, EventCode::ScrollBottom, EventCode::ScrollUp,
                              EventCode::PageUp, EventCode::ScrollTop}) {
        Post(event);
      }
      for (int thumb : {0, 1, 30, 50, 70, 100}) Drag(thumb);
      const ListView view = List();
      EXPECT_EQ(view.urls, Sites(1, records));
      EXPECT_EQ(view.selected, records == 0 ? 0 : view.selected);
      EXPECT_LE(view.selected, records);
      EXPECT_GE(view.thumb, 0);
      EXPECT_LE(view.thumb, 100);
      EXPECT_EQ(Buffer(), records == 0 ? "" : Highlighted());
      Close();
    }
  }
}

TEST_F(BrowseManagerTest, EmptyListDisablesChangeAndDelete) {
  Open(0);
  bool changeEnabled = true;
  bool deleteEnabled = true;
  bool insertEnabled = false;
  driver.WithWindow(id, [&](runtime::ui::Window& w) {
    changeEnabled = w.Find(kChange)->Enabled();
    deleteEnabled = w.Find(kDelete)->Enabled();
    insertEnabled = w.Find(kInsert)->Enabled();
  });
  EXPECT_FALSE(changeEnabled);
  EXPECT_FALSE(deleteEnabled);
  EXPECT_TRUE(insertEnabled);
  EXPECT_EQ(List().selected, 0);
}

// Addresses whose words after the shared prefix spread over the alphabet,
// ascending with n (0-99): aa, ag, am, as, ba, ...
std::string Word(int n) {
  return std::string("http://www.") + static_cast<char>('a' + n / 4) + static_cast<char>('a' + n % 4 * 6) + ".example/";
}

TEST_F(BrowseManagerTest, TheThumbStandsForTheRankAndADragShowsTheRowThere) {
  Urls urls;
  for (int n = 0; n < 100; ++n) urls.push_back(Word(n));
  Open(urls);
  EXPECT_EQ(List().thumb, 0);
  Drag(50);
  EXPECT_EQ(Highlighted(), Word(50));
  EXPECT_EQ(List().selected, 1) << "the row dragged to keeps the highlighted row's screen line";
  EXPECT_EQ(List().thumb, 50);
  Drag(100);
  EXPECT_EQ(List().urls, Urls(urls.end() - 5, urls.end()));
  EXPECT_EQ(Highlighted(), Word(99));
  EXPECT_EQ(List().thumb, 100);
  Drag(0);
  EXPECT_EQ(List().urls, Urls(urls.begin(), urls.begin() + 5));
  EXPECT_EQ(List().thumb, 0);
}

// Without a step table the thumb works the same: by rank, not by paging.
TEST_F(BrowseManagerTest, WithoutAStepADragShowsTheRowAtItsRank) {
  Open(20, WithoutStep);
  Drag(50);
  EXPECT_EQ(List().urls, Sites(11, 15)) << "rank 10 of 0-19";
  Drag(70);
  EXPECT_EQ(List().urls, Sites(15, 19)) << "rank 14: 13.3 rounded up";
  Drag(30);
  EXPECT_EQ(List().urls, Sites(7, 11));
  Post(EventCode::ScrollBottom);
  EXPECT_EQ(List().thumb, 100);
  Post(EventCode::ScrollUp);
  EXPECT_EQ(List().thumb, 94) << "rank 18 of 0-19";
  Post(EventCode::ScrollTop);
  EXPECT_EQ(List().thumb, 0);
}

TEST_F(BrowseManagerTest, TypedLettersLocateAndTheNextScrollClearsThem) {
  Urls urls = Sites(1, 30);
  urls.push_back("ftp://files.example/");
  Open(urls);
  Post(EventCode::ScrollDown);
  Post(EventCode::ScrollDown);  // the highlight on row 3
  TypeText("http://www.site-01");
  EXPECT_EQ(Highlighted(), Site(10));
  EXPECT_EQ(List().selected, 2) << "the first letter found one record above it; later ones keep that line";
  Key(KeyCode::Backspace);
  EXPECT_EQ(Highlighted(), Site(1));
  Key(static_cast<KeyCode>(0x74));  // F5
  EXPECT_EQ(Highlighted(), Site(1)) << "a key that types nothing leaves the list as it was";
  Post(EventCode::ScrollDown);
  std::string shadow = "?";
  WithBrowse([&](BrowseWindow& w) { shadow = w.locator.SHADOW; });
  EXPECT_EQ(shadow, "");
  TypeText("f");
  EXPECT_EQ(Highlighted(), "ftp://files.example/");
}

TEST_F(BrowseManagerTest, AnAcceptedLocatorEntryLocatesAndSelectsTheList) {
  Open(30, [](BrowseWindow& w) { w.locator.CONTROL = kLocatorEntry; });
  driver.Type(id, kLocatorEntry, "http://www.site-012");
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(Highlighted(), Site(12));
  std::int32_t focus = 0;
  driver.WithWindow(id, [&](runtime::ui::Window& w) { focus = w.Focus(); });
  EXPECT_EQ(focus, kList);
  driver.Type(id, kLocatorEntry, "");
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(Highlighted(), Site(12)) << "an empty entry locates nothing";
}

TEST_F(BrowseManagerTest, MultiByteLocatorInputGoesToTheRightRow) {
  const std::string cafe = "http://caf\xC3\xA9.example/";    // é
  const std::string cafe2 = "http://caf\xC3\xA8s.example/";  // è sorts before é
  Open(Urls{"http://cafa.example/", cafe, cafe2, "http://cafz.example/"});
  TypeText("http://caf");
  Key(runtime::ui::Letter('E'), "\xC3\xA9");
  EXPECT_EQ(Highlighted(), cafe);
  Key(KeyCode::Backspace);
  Key(runtime::ui::Letter('E'), "\xC3\xA8");
  EXPECT_EQ(Highlighted(), cafe2) << "Backspace took the whole character back";
  std::string shadow;
  WithBrowse([&](BrowseWindow& w) { shadow = w.locator.SHADOW; });
  EXPECT_EQ(shadow, "http://caf\xC3\xA8");
}

TEST_F(BrowseManagerTest, AForcedReloadKeepsTheHighlightedRowOnItsLine) {
  Open(20);
  Post(EventCode::PageDown);  // site-006 on row 1
  Post(EventCode::ScrollDown);
  Post(EventCode::ScrollDown);  // site-008 on row 3
  ASSERT_EQ(Highlighted(), Site(8));
  WithBrowse([](BrowseWindow& w) { w.Reset(1); });
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(List().urls, Sites(6, 10));
  EXPECT_EQ(List().selected, 3);
  Post(EventCode::ScrollTop);
  Post(EventCode::ScrollDown);
  WithBrowse([](BrowseWindow& w) { w.Reset(1); });
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(List().urls, Sites(1, 5)) << "not enough records above: the row moves up";
  EXPECT_EQ(Highlighted(), Site(2));
}

TEST_F(BrowseManagerTest, AnotherStationDeletingOrChangingTheHighlightedRecord) {
  Open(20);
  Post(EventCode::ScrollDown);
  Post(EventCode::ScrollDown);  // site-003 on row 3
  Station other(path, errors);
  ASSERT_EQ(other.relation.Open(), SeverityOk);
  ASSERT_EQ(other.files.UseFile(), SeverityOk);
  other.Url().SetText(Site(3));
  ASSERT_EQ(other.files.Fetch(testing_support::NameKey), SeverityOk);
  ASSERT_EQ(other.file->Delete(), runtime::NoError);
  WithBrowse([](BrowseWindow& w) { w.Reset(1); });
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(Highlighted(), Site(4)) << "the record that followed takes the line";
  EXPECT_EQ(List().urls, (Urls{Site(1), Site(2), Site(4), Site(5), Site(6)}));

  other.Url().SetText(Site(4));
  ASSERT_EQ(other.files.Fetch(testing_support::NameKey), SeverityOk);
  other.Description().SetText("changed elsewhere");
  ASSERT_EQ(other.files.Update(), SeverityOk);
  WithBrowse([](BrowseWindow& w) { w.Reset(1); });
  ASSERT_TRUE(driver.WaitIdle(1));
  std::string description;
  driver.WithWindow(id, [&](runtime::ui::Window& w) { description = w.Find(kList)->Source()->Row(3)[1].text; });
  EXPECT_EQ(description, "changed elsewhere");
  (void)other.relation.Close();
}

TEST_F(BrowseManagerTest, AHiddenListLoadsOnlyWhenItsTabIsShown) {
  auto second = std::make_shared<std::unique_ptr<BrowseManager>>();
  auto queue = std::make_shared<std::unique_ptr<BrowseQueue>>();
  auto view = std::make_shared<std::unique_ptr<runtime::View>>();
  Open(12, [this, second, queue, view](BrowseWindow& w) {
    *view = std::make_unique<runtime::View>(*station->file);
    *queue = std::make_unique<BrowseQueue>(RowLayout(), std::vector<BrowseQueue::Column>{{1, 0}, {2, 0}});
    *second = std::make_unique<BrowseManager>();
    (*second)->Init(kList2, **queue, **view, w, station->relation);
    (void)(*second)->AddSortOrder(nullptr, testing_support::DescKey);
    (*second)->AddField((*queue)->Field(1), station->Url());
    (*second)->AddField((*queue)->Field(2), station->Description());
  });
  EXPECT_EQ(List().urls, Sites(1, 5));
  EXPECT_TRUE(List(kList2).urls.empty()) << "hidden on the second tab";
  std::uint8_t pending = 0;
  WithBrowse([&](BrowseWindow&) { pending = (*second)->LOADPENDING; });
  EXPECT_EQ(pending, 1);
  runtime::ui::EventData tab;
  tab.value = 2;
  Post(EventCode::NewSelection, kSheet, tab);
  EXPECT_EQ(List(kList2).urls.size(), 5u);
  Close();
}

TEST_F(BrowseManagerTest, TheListFollowsItsHeight) {
  Open(20);
  auto resize = [&](int height) {
    driver.WithWindow(id, [&](runtime::ui::Window& w) {
      runtime::ui::Control* list = w.Find(kList);
      runtime::ui::Rect rect = list->Position();
      rect.height = height;
      list->SetPosition(rect);
    });
    Post(EventCode::Sized, 0);
  };
  resize(100);
  EXPECT_EQ(List().urls, Sites(1, 9));
  resize(5);
  EXPECT_EQ(List().urls, Sites(1, 1)) << "less than one row still loads one";
  Post(EventCode::ScrollDown);
  EXPECT_EQ(List().urls, Sites(2, 2));
}

TEST_F(BrowseManagerTest, AnotherOrderKeepsTheHighlightedRecord) {
  // Numbered in this order, so the number order differs from the address order.
  const Urls urls = {Site(5), Site(3), Site(1), Site(4), Site(2), Site(6), Site(7)};
  Open(urls, [](BrowseWindow& w) { (void)w.browse.AddSortOrder(nullptr, testing_support::NumKey); });
  WithBrowse([](BrowseWindow& w) { (void)w.browse.SetSort(1, 0); });
  ASSERT_TRUE(driver.WaitIdle(1));
  Post(EventCode::ScrollTop);
  Post(EventCode::ScrollDown);
  Post(EventCode::ScrollDown);
  ASSERT_EQ(Highlighted(), Site(3));
  std::uint8_t reloaded = 0;
  WithBrowse([&](BrowseWindow& w) { reloaded = w.browse.SetSort(2, 0); });
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(reloaded, 1);
  EXPECT_EQ(List().urls, (Urls{Site(5), Site(3), Site(1), Site(4), Site(2)}));
  EXPECT_EQ(Highlighted(), Site(3));
}

TEST_F(BrowseManagerTest, AFullyLoadedListPlacesTheThumbByRow) {
  Open(20, [](BrowseWindow& w) {
    WithoutStep(w);
    w.browse.FILELOADED = 1;
  });
  EXPECT_EQ(List().urls, Sites(1, 20)) << "every record, not a page";
  Drag(50);
  EXPECT_EQ(Highlighted(), Site(10));
  EXPECT_EQ(List().thumb, 50);
  Post(EventCode::PageDown);
  EXPECT_EQ(Highlighted(), Site(15));
  Post(EventCode::ScrollBottom);
  EXPECT_EQ(List().thumb, 100);
  EXPECT_EQ(List().urls.size(), 20u);
}

}  // namespace
}  // namespace marlinden::testing
