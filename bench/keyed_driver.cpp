// Keyed driver benchmark: 100,000 bookmark records added through the file
// manager (PrimeRecord + Insert), a full Next scan in each key order, and
// 100,000 random fetches by the address key. Each figure is compared with raw
// SQLite doing the same work with prepared statements, measured in the same
// run. Output: one line per figure, "NAME VALUE UNIT ratio R", R = our time /
// baseline time.
//
// Usage: keyed_driver [bookmark.html] [records]
// Addresses and titles come from the bookmark file when one is given (the
// anchors' HREF and text, distinct without regard to ASCII case), else they
// are made up.
#include <sqlite3.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "app/DataFiles.h"
#include "data/FileManager.h"
#include "errors/ErrorManager.h"
#include "runtime/files/DataFile.h"
#include "runtime/text/FixedText.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Bookmark {
  std::string url;
  std::string description;
};

// The text between the first two double quotes after HREF=, and between ">"
// and "</A>".
bool ParseAnchor(const std::string& line, Bookmark& out) {
  const std::size_t href = line.find("HREF=\"");
  if (href == std::string::npos) return false;
  const std::size_t urlStart = href + 6;
  const std::size_t urlEnd = line.find('"', urlStart);
  const std::size_t textStart = line.find('>', urlEnd);
  const std::size_t textEnd = line.find("</A>", textStart);
  if (urlEnd == std::string::npos || textStart == std::string::npos || textEnd == std::string::npos) return false;
  out.url = std::string(runtime::CutToWidth(line.substr(urlStart, urlEnd - urlStart), 255));
  out.description = std::string(runtime::CutToWidth(line.substr(textStart + 1, textEnd - textStart - 1), 250));
  return true;
}

std::vector<Bookmark> LoadBookmarks(const char* path, std::size_t wanted) {
  std::vector<Bookmark> bookmarks;
  std::set<std::string> seen;
  auto keep = [&](Bookmark b) {
    std::string folded = runtime::UpperAscii(runtime::Clip(b.url));
    if (folded.empty() || !seen.insert(folded).second) return;
    bookmarks.push_back(std::move(b));
  };
  if (path != nullptr) {
    std::ifstream in(path);
    std::string line;
    Bookmark b;
    while (bookmarks.size() < wanted && std::getline(in, line)) {
      if (ParseAnchor(line, b)) keep(b);
    }
  }
  std::mt19937 random(7);
  for (std::size_t i = 0; bookmarks.size() < wanted; ++i) {
    keep({"https://www.site-" + std::to_string(random() % 100000) + ".example/page/" + std::to_string(i),
          "Page " + std::to_string(random() % 5000) + " about things"});
  }
  return bookmarks;
}

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void Report(const char* name, std::size_t records, double ours, double baseline) {
  std::printf("%s %.0f records/s ratio %.2f\n", name, static_cast<double>(records) / ours, ours / baseline);
  std::fflush(stdout);
}

// ---------------------------------------------------------------------------
// Ours: the file manager over the keyed driver.

struct OursTimes {
  double adds = 0, scans[3] = {0, 0, 0}, fetches = 0;
  std::size_t scanned[3] = {0, 0, 0};
};

OursTimes RunOurs(const std::string& dir, const std::vector<Bookmark>& bookmarks,
                  const std::vector<std::size_t>& fetchOrder) {
  OursTimes times;
  marlinden::ErrorManager errors;
  errors.Init();
  auto file = runtime::DataFile::Make(runtime::Driver::Keyed, marlinden::BookmarkLayout(), dir + "/MARLINDEN");
  marlinden::FileManager manager;
  manager.Init(*file, errors);
  manager.AddKey(1, "WEB:Numkey", 1);
  manager.AddKey(2, "WEB:Namekey", 0);
  manager.AddKey(3, "WEB:Desckey", 0);
  if (manager.Open() != marlinden::SeverityOk) std::abort();
  runtime::FieldRef url = file->Record().Field("WEB:URL");
  runtime::FieldRef description = file->Record().Field("WEB:DESCRIPTION");

  Clock::time_point start = Clock::now();
  for (const Bookmark& b : bookmarks) {
    if (manager.PrimeRecord(false) != marlinden::SeverityOk) std::abort();
    url.SetText(b.url);
    description.SetText(b.description);
    if (manager.Insert() != marlinden::SeverityOk) std::abort();
  }
  times.adds = Seconds(start);

  for (std::size_t key = 1; key <= 3; ++key) {
    start = Clock::now();
    (void)file->SetOrder(key);
    while (manager.TryNext() == marlinden::SeverityOk) ++times.scanned[key - 1];
    times.scans[key - 1] = Seconds(start);
  }

  start = Clock::now();
  for (std::size_t i : fetchOrder) {
    url.SetText(bookmarks[i].url);
    if (manager.TryFetch(2) != marlinden::SeverityOk) std::abort();
  }
  times.fetches = Seconds(start);
  (void)manager.Close();
  manager.Kill();
  errors.Kill();
  return times;
}

// ---------------------------------------------------------------------------
// Baseline: raw SQLite with prepared statements, the same table and indexes.

struct Baseline {
  sqlite3* db = nullptr;
  void Exec(const char* sql) {
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
      std::fprintf(stderr, "baseline: %s\n", sqlite3_errmsg(db));
      std::abort();
    }
  }
  sqlite3_stmt* Prepare(const char* sql) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr) != SQLITE_OK) std::abort();
    return statement;
  }
};

// What one row read costs in the baseline: the columns copied out, as into a
// record buffer.
struct Row {
  std::int64_t num = 0;
  std::string url, description, notes;
  std::int64_t notefield = 0;
};

void ReadRow(sqlite3_stmt* statement, Row& row) {
  row.num = sqlite3_column_int64(statement, 0);
  row.url.assign(reinterpret_cast<const char*>(sqlite3_column_text(statement, 1)), sqlite3_column_bytes(statement, 1));
  row.description.assign(reinterpret_cast<const char*>(sqlite3_column_text(statement, 2)),
                         sqlite3_column_bytes(statement, 2));
  row.notefield = sqlite3_column_int64(statement, 3);
  const unsigned char* notes = sqlite3_column_text(statement, 4);
  row.notes.assign(notes ? reinterpret_cast<const char*>(notes) : "", sqlite3_column_bytes(statement, 4));
}

OursTimes RunBaseline(const std::string& dir, const std::vector<Bookmark>& bookmarks,
                      const std::vector<std::size_t>& fetchOrder) {
  OursTimes times;
  Baseline base;
  if (sqlite3_open((dir + "/baseline.db").c_str(), &base.db) != SQLITE_OK) std::abort();
  base.Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;");
  base.Exec(
      "CREATE TABLE bookmarks(num INTEGER, url TEXT, description TEXT, notefield INTEGER, notes TEXT);"
      "CREATE UNIQUE INDEX numkey ON bookmarks(num);"
      "CREATE UNIQUE INDEX namekey ON bookmarks(url COLLATE NOCASE);"
      "CREATE INDEX desckey ON bookmarks(description COLLATE NOCASE);");
  sqlite3_stmt* insert =
      base.Prepare("INSERT INTO bookmarks VALUES((SELECT COALESCE(MAX(num), 0) + 1 FROM bookmarks), ?, ?, 0, '')");
  Clock::time_point start = Clock::now();
  for (const Bookmark& b : bookmarks) {
    sqlite3_bind_text(insert, 1, b.url.data(), static_cast<int>(b.url.size()), SQLITE_STATIC);
    sqlite3_bind_text(insert, 2, b.description.data(), static_cast<int>(b.description.size()), SQLITE_STATIC);
    if (sqlite3_step(insert) != SQLITE_DONE) std::abort();
    sqlite3_reset(insert);
  }
  times.adds = Seconds(start);

  const char* scans[3] = {
      "SELECT num, url, description, notefield, notes FROM bookmarks ORDER BY num",
      "SELECT num, url, description, notefield, notes FROM bookmarks ORDER BY url COLLATE NOCASE",
      "SELECT num, url, description, notefield, notes FROM bookmarks ORDER BY description COLLATE NOCASE, rowid",
  };
  Row row;
  for (int key = 0; key < 3; ++key) {
    sqlite3_stmt* scan = base.Prepare(scans[key]);
    start = Clock::now();
    while (sqlite3_step(scan) == SQLITE_ROW) {
      ReadRow(scan, row);
      ++times.scanned[key];
    }
    times.scans[key] = Seconds(start);
    sqlite3_finalize(scan);
  }

  sqlite3_stmt* fetch =
      base.Prepare("SELECT num, url, description, notefield, notes FROM bookmarks WHERE url = ? COLLATE NOCASE");
  start = Clock::now();
  for (std::size_t i : fetchOrder) {
    sqlite3_bind_text(fetch, 1, bookmarks[i].url.data(), static_cast<int>(bookmarks[i].url.size()), SQLITE_STATIC);
    if (sqlite3_step(fetch) != SQLITE_ROW) std::abort();
    ReadRow(fetch, row);
    sqlite3_reset(fetch);
  }
  times.fetches = Seconds(start);
  sqlite3_finalize(insert);
  sqlite3_finalize(fetch);
  sqlite3_close(base.db);
  return times;
}

}  // namespace

int main(int argc, char** argv) {
  const char* html = argc > 1 && std::string(argv[1]) != "-" ? argv[1] : nullptr;
  const std::size_t count = argc > 2 ? std::stoul(argv[2]) : 100000;
  const std::vector<Bookmark> bookmarks = LoadBookmarks(html, count);
  std::vector<std::size_t> fetchOrder(bookmarks.size());
  for (std::size_t i = 0; i < fetchOrder.size(); ++i) fetchOrder[i] = i;
  std::shuffle(fetchOrder.begin(), fetchOrder.end(), std::mt19937(42));

  std::string pattern = (std::filesystem::temp_directory_path() / "keyed-bench-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return 1;
  const OursTimes baseline = RunBaseline(pattern, bookmarks, fetchOrder);
  const OursTimes ours = RunOurs(pattern, bookmarks, fetchOrder);
  std::filesystem::remove_all(pattern);

  const char* scanNames[3] = {"scan_numkey", "scan_namekey", "scan_desckey"};
  Report("adds", bookmarks.size(), ours.adds, baseline.adds);
  for (int key = 0; key < 3; ++key) {
    if (ours.scanned[key] != baseline.scanned[key]) {
      std::fprintf(stderr, "%s read %zu records, the baseline %zu\n", scanNames[key], ours.scanned[key],
                   baseline.scanned[key]);
      return 1;
    }
    Report(scanNames[key], ours.scanned[key], ours.scans[key], baseline.scans[key]);
  }
  Report("fetch_namekey", fetchOrder.size(), ours.fetches, baseline.fetches);
  return 0;
}
