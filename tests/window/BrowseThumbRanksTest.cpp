// The thumb of a browse that holds one page of a large keyed file, on the
// main window's four orders (by address with its step table, by
// description, web addresses only and FTP addresses only, the last two
// filtered) and under a query: a drag to 25, 50 and 75 shows the row at that
// rank of the view's rows (within 2 % of them), and after keys, scrolls and
// a locate the thumb shows the highlighted row's rank. The rows are written
// straight into the file before the program starts; the true ranks come
// from sorting the same rows here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "BrowseTestSupport.h"
#include "runtime/files/DataFile.h"
#include "runtime/system/RuntimeError.h"
#include "window/BrowseRanks.h"

namespace marlinden::testing {
namespace {

using runtime::ui::EventCode;

constexpr const char* kWebOnly = "(UPPER(sub(web:url,1,3)) = 'HTT')";
constexpr const char* kFtpOnly = "(UPPER(sub(web:url,1,3)) = 'FTP')";
constexpr const char* kSecureOnly = "(sub(web:url,1,5) = 'https')";

enum Order : std::size_t { ByUrl = 1, ByDescription, WebOnly, FtpOnly };

struct Bookmark {
  std::string url;
  std::string description;
};

// Row i of n: one in ten an FTP address, one in ten a mail address, the
// rest web addresses (http and https); addresses and descriptions each in
// an order of their own, unrelated to i and to each other.
Bookmark MadeUp(std::int64_t i, std::int64_t n) {
  static const char* const kSchemes[] = {"ftp://",   "mailto:", "http://",  "https://", "http://",
                                         "https://", "http://", "https://", "http://",  "https://"};
  char url[80];
  char description[40];
  std::snprintf(url, sizeof url, "%swww.site-%07lld.example/", kSchemes[i % 10], static_cast<long long>(i * 7919 % n));
  std::snprintf(description, sizeof description, "Page %07lld", static_cast<long long>(i * 104729 % n));
  return {url, description};
}

// Writes n made-up rows into a new keyed file at path, in one transaction.
void WriteRows(const std::string& path, std::int64_t n) {
  auto file = runtime::DataFile::Make(runtime::Driver::Keyed, testing_support::BookmarkLayout(), path);
  ASSERT_EQ(file->Create(), runtime::NoError);
  ASSERT_EQ(file->Open(runtime::AccessReadWrite | runtime::ShareDenyNone), runtime::NoError);
  ASSERT_EQ(file->BeginTransaction(5), runtime::NoError);
  for (std::int64_t i = 0; i < n; ++i) {
    const Bookmark bookmark = MadeUp(i, n);
    file->ClearBuffer();
    file->Record().Field("WEB:NUM").SetInteger(i + 1);
    file->Record().Field("WEB:URL").SetText(bookmark.url);
    file->Record().Field("WEB:DESCRIPTION").SetText(bookmark.description);
    ASSERT_EQ(file->Add(), runtime::NoError);
  }
  ASSERT_EQ(file->Commit(), runtime::NoError);
  ASSERT_EQ(file->Close(), runtime::NoError);
}

// The address of each row of a view, in its order, and each address's rank.
struct TrueOrder {
  std::vector<std::string> urls;
  std::map<std::string, std::int64_t> rank;
};

// The made-up rows that pass keep, in address order or by description
// (then address, as equal descriptions never occur here).
TrueOrder Sorted(std::int64_t n, bool byDescription, const std::function<bool(const std::string&)>& keep) {
  std::vector<Bookmark> rows;
  for (std::int64_t i = 0; i < n; ++i) {
    Bookmark bookmark = MadeUp(i, n);
    if (keep(bookmark.url)) rows.push_back(std::move(bookmark));
  }
  std::sort(rows.begin(), rows.end(), [byDescription](const Bookmark& a, const Bookmark& b) {
    return byDescription ? a.description < b.description : a.url < b.url;
  });
  TrueOrder order;
  for (const Bookmark& row : rows) {
    order.rank[row.url] = static_cast<std::int64_t>(order.urls.size());
    order.urls.push_back(row.url);
  }
  return order;
}

bool Any(const std::string&) { return true; }
bool Web(const std::string& url) { return url.rfind("http", 0) == 0; }
bool Ftp(const std::string& url) { return url.rfind("ftp", 0) == 0; }
bool Secure(const std::string& url) { return url.rfind("https", 0) == 0; }

// The main window's orders after the address order the test window has.
void MainWindowOrders(BrowseWindow& window) {
  (void)window.browse.AddSortOrder(nullptr, testing_support::DescKey);
  (void)window.browse.AddSortOrder(nullptr, testing_support::NameKey);
  window.browse.SetStandardFilter(kWebOnly);
  (void)window.browse.AddSortOrder(nullptr, testing_support::NameKey);
  window.browse.SetStandardFilter(kFtpOnly);
  (void)window.browse.ViewManager::SetSort(ByUrl);  // the first load shows it
}

class BrowseThumbRanksTest : public BrowseFixture {
 protected:
  // Starts the window over a file of n made-up rows.
  void OpenRows(std::int64_t n) {
    rows_ = n;
    path = dir.File("LARGE" + std::to_string(n));
    WriteRows(path, n);
    Start([this] {
      station = std::make_unique<Station>(path, errors);
      BrowseWindow window(*station, errors, MainWindowOrders);
      this->window = &window;
      response = window.Run();
      this->window = nullptr;
      station.reset();
    });
    id = driver.WaitForWindow(1);
  }

  void ShowOrder(Order order) {
    WithBrowse([order](BrowseWindow& w) { (void)w.browse.SetSort(order, ReloadIfNeeded); });
    ASSERT_TRUE(driver.WaitIdle(1));
  }
  // A query's filter on the current order, set as the query window sets it.
  void Query(const std::string& filter) {
    WithBrowse([&filter](BrowseWindow& w) {
      w.browse.SetFilter(filter, kQueryFilterId);
      w.browse.ApplyFilter();
      w.browse.ResetSort(ReloadAlways);
    });
    ASSERT_TRUE(driver.WaitIdle(1));
  }

  // The highlighted row's rank in expected; fails the test when the row is
  // not one of the view's.
  std::int64_t HighlightedRank(const TrueOrder& expected) {
    const auto found = expected.rank.find(Highlighted());
    EXPECT_NE(found, expected.rank.end()) << Highlighted();
    return found == expected.rank.end() ? -1 : found->second;
  }
  void ExpectThumbAtHighlight(const TrueOrder& expected, const std::string& after) {
    const auto rows = static_cast<std::int64_t>(expected.urls.size());
    EXPECT_EQ(List().thumb, RankPercent(HighlightedRank(expected), rows)) << "after " << after;
  }

  // Drags to 25, 50 and 75, each landing within 2 % of the rows, with the
  // thumb where it was let go; then keys, scrolls and the ends.
  void CheckOrder(const TrueOrder& expected) {
    const auto rows = static_cast<std::int64_t>(expected.urls.size());
    ASSERT_GT(rows, 100);
    for (std::int32_t p : {25, 50, 75}) {
      Drag(p);
      const std::int64_t wanted = p * (rows - 1) / 100;
      EXPECT_LE(std::abs(HighlightedRank(expected) - wanted), rows / 50) << "drag to " << p;
      EXPECT_EQ(List().thumb, p) << "drag to " << p;
    }
    for (EventCode event : {EventCode::PageDown, EventCode::ScrollDown, EventCode::PageUp, EventCode::ScrollUp}) {
      Post(event);
      ExpectThumbAtHighlight(expected, "scroll " + std::to_string(static_cast<int>(event)));
    }
    Post(EventCode::ScrollBottom);
    EXPECT_EQ(Highlighted(), expected.urls.back());
    EXPECT_EQ(List().thumb, 100);
    Post(EventCode::PageUp);
    ExpectThumbAtHighlight(expected, "page up from the bottom");
    Post(EventCode::ScrollTop);
    EXPECT_EQ(Highlighted(), expected.urls.front());
    EXPECT_EQ(List().thumb, 0);
    Drag(40);
    Post(EventCode::ScrollDown);
    ExpectThumbAtHighlight(expected, "a row down after a drag");
  }

  void CheckEveryTab() {
    SCOPED_TRACE(std::to_string(rows_) + " rows");
    {
      SCOPED_TRACE("by address");
      const TrueOrder expected = Sorted(rows_, false, Any);
      CheckOrder(expected);
      // A locate lands on a row the counting may not have kept.
      Post(EventCode::ScrollTop);
      TypeText("h");
      EXPECT_EQ(Highlighted().substr(0, 1), "h");
      ExpectThumbAtHighlight(expected, "locating h");
      TypeText("ttps://www.site-0005");
      ExpectThumbAtHighlight(expected, "locating https://www.site-0005");
    }
    struct Tab {
      Order order;
      const char* what;
      bool byDescription;
      bool (*keep)(const std::string&);
    };
    for (const Tab& tab : {Tab{ByDescription, "by description", true, Any}, Tab{WebOnly, "web only", false, Web},
                           Tab{FtpOnly, "ftp only", false, Ftp}}) {
      SCOPED_TRACE(tab.what);
      ShowOrder(tab.order);
      CheckOrder(Sorted(rows_, tab.byDescription, tab.keep));
    }
    {
      SCOPED_TRACE("by address under a query");
      ShowOrder(ByUrl);
      Query(kSecureOnly);
      CheckOrder(Sorted(rows_, false, Secure));
      Query("");
      ShowOrder(WebOnly);
      SCOPED_TRACE("web only, after the query on another order");
      CheckOrder(Sorted(rows_, false, Web));
    }
  }

  std::int64_t rows_ = 0;
};

// A drag that comes while the rows are still being counted (a forced
// reload starts the count over; the drag is queued behind its first slice)
// counts the rest first and lands where a drag after the count would.
TEST_F(BrowseThumbRanksTest, ADragWhileTheRowsAreCountedCountsThemFirst) {
  OpenRows(3 * kRankSliceRows);
  const TrueOrder expected = Sorted(rows_, false, Any);
  bool counting = false;
  WithBrowse([&](BrowseWindow& w) {
    (void)w.browse.SetSort(ByUrl, ReloadAlways);
    runtime::ui::EventData data;
    data.thumb = 60;
    driver.Post(id, EventCode::ScrollDrag, kList, std::move(data));
    counting = true;
  });
  ASSERT_TRUE(counting);
  ASSERT_TRUE(driver.WaitIdle(1));
  // At or a little past the rank asked for: less than a kept position's
  // stride, which is at most rows / kRankPositions.
  const std::int64_t past = HighlightedRank(expected) - RankAtPercent(60, rows_);
  EXPECT_GE(past, 0);
  EXPECT_LT(past, rows_ / static_cast<std::int64_t>(kRankPositions));
  EXPECT_EQ(List().thumb, 60);
}

TEST_F(BrowseThumbRanksTest, TenThousandRowsOnEveryTab) {
  OpenRows(10000);
  CheckEveryTab();
}

TEST_F(BrowseThumbRanksTest, AHundredThousandRowsOnEveryTab) {
  OpenRows(100000);
  CheckEveryTab();
}

}  // namespace
}  // namespace marlinden::testing
