// Keyed driver benchmark: 100,000 bookmark records added through the file
// manager as the import adds them (Insert numbering the record), a quarter
// as many as a form adds them (PrimeRecord reserving the number, then
// Insert), a full Next scan in each key order, and
// 100,000 random fetches by the address key. Each figure is compared with raw
// SQLite doing the same work with prepared statements, measured in the same
// run. Output: one line per figure, "NAME VALUE UNIT ratio R", R = our time /
// baseline time.
//
// Usage: keyed_driver [--server] [bookmark.html] [records]
// Addresses and titles come from the bookmark file when one is given (the
// anchors' HREF and text, distinct without regard to ASCII case), else they
// are made up. With --server the file lives on a PostgreSQL server the run
// starts on 127.0.0.1 (as the tests do), and the baseline is raw libpq doing
// the same statements over the same loopback connection: each add in a
// transaction of its own, each scan one query, each fetch one prepared
// statement. A form's add is also compared with the two statements it
// needs at the least (the numbered row reserved, then the record put).
// Rates are compared per record.
#include <libpq-fe.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "app/DataFiles.h"
#include "data/FileManager.h"
#include "errors/ErrorManager.h"
#include "runtime/files/DataFile.h"
#include "runtime/files/drivers/KeyedServer.h"
#include "runtime/text/FixedText.h"
#include "support/PgTestServer.h"

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
  double reservedAdds = 0;  // ours: PrimeRecord + Insert; server baseline: reserve, then put
  std::size_t scanned[3] = {0, 0, 0};
};

// The records a form's adds are timed on.
std::size_t ReservedCount(std::size_t records) { return std::max<std::size_t>(records / 4, 1); }

// A bookmark file at path, opened through manager with the program's keys.
std::unique_ptr<runtime::DataFile> OpenBookmarks(const std::string& path, marlinden::FileManager& manager,
                                                 marlinden::ErrorManager& errors) {
  auto file = runtime::DataFile::Make(runtime::Driver::Keyed, marlinden::BookmarkLayout(), path);
  manager.Init(*file, errors);
  manager.AddKey(1, "WEB:Numkey", 1);
  manager.AddKey(2, "WEB:Namekey", 0);
  manager.AddKey(3, "WEB:Desckey", 0);
  if (manager.Open() != marlinden::SeverityOk) std::abort();
  return file;
}

OursTimes RunOurs(const std::string& dir, const std::vector<Bookmark>& bookmarks,
                  const std::vector<std::size_t>& fetchOrder) {
  OursTimes times;
  marlinden::ErrorManager errors;
  errors.Init();
  marlinden::FileManager manager;
  auto file = OpenBookmarks(dir + "/MARLINDEN", manager, errors);
  runtime::FieldRef url = file->Record().Field("WEB:URL");
  runtime::FieldRef description = file->Record().Field("WEB:DESCRIPTION");

  Clock::time_point start = Clock::now();
  for (const Bookmark& b : bookmarks) {
    file->ClearBuffer();
    url.SetText(b.url);
    description.SetText(b.description);
    if (manager.Insert() != marlinden::SeverityOk) std::abort();
  }
  times.adds = Seconds(start);

  {
    marlinden::FileManager formManager;
    auto forms = OpenBookmarks(dir + "/FORMS", formManager, errors);
    runtime::FieldRef formUrl = forms->Record().Field("WEB:URL");
    runtime::FieldRef formDescription = forms->Record().Field("WEB:DESCRIPTION");
    start = Clock::now();
    for (std::size_t i = 0; i < ReservedCount(bookmarks.size()); ++i) {
      if (formManager.PrimeRecord(false) != marlinden::SeverityOk) std::abort();
      formUrl.SetText(bookmarks[i].url);
      formDescription.SetText(bookmarks[i].description);
      if (formManager.Insert() != marlinden::SeverityOk) std::abort();
    }
    times.reservedAdds = Seconds(start);
    (void)formManager.Close();
    formManager.Kill();
  }

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

// ---------------------------------------------------------------------------
// Baseline on the server: raw libpq, the same table and indexes as the
// driver makes.

struct PgBaseline {
  PGconn* conn = nullptr;
  PGresult* Exec(const char* sql, int count = 0, const char* const* values = nullptr, bool prepared = false) {
    PGresult* result = prepared     ? PQexecPrepared(conn, sql, count, values, nullptr, nullptr, 0)
                       : count == 0 ? PQexec(conn, sql)
                                    : PQexecParams(conn, sql, count, nullptr, values, nullptr, nullptr, 0);
    const ExecStatusType status = PQresultStatus(result);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
      std::fprintf(stderr, "baseline: %s\n", PQerrorMessage(conn));
      std::abort();
    }
    return result;
  }
};

void ReadPgRow(const PGresult* result, int r, Row& row) {
  row.num = std::strtoll(PQgetvalue(result, r, 0), nullptr, 10);
  row.url.assign(PQgetvalue(result, r, 1), static_cast<std::size_t>(PQgetlength(result, r, 1)));
  row.description.assign(PQgetvalue(result, r, 2), static_cast<std::size_t>(PQgetlength(result, r, 2)));
  row.notefield = std::strtoll(PQgetvalue(result, r, 3), nullptr, 10);
  row.notes.assign(PQgetvalue(result, r, 4), static_cast<std::size_t>(PQgetlength(result, r, 4)));
}

OursTimes RunPgBaseline(const std::string& connection, const std::vector<Bookmark>& bookmarks,
                        const std::vector<std::size_t>& fetchOrder) {
  OursTimes times;
  PgBaseline base;
  base.conn = PQconnectdb(connection.c_str());
  if (PQstatus(base.conn) != CONNECTION_OK) std::abort();
  PQclear(base.Exec(
      "CREATE TABLE bookmarks(id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY, version bigint NOT NULL, "
      "num bigint NOT NULL, url text COLLATE \"C\" NOT NULL, description text COLLATE \"C\" NOT NULL, notefield "
      "bigint NOT NULL, notes text NOT NULL);"
      "CREATE UNIQUE INDEX numkey ON bookmarks(num);"
      "CREATE UNIQUE INDEX namekey ON bookmarks((lower(url)));"
      "CREATE INDEX desckey ON bookmarks((lower(description)), id)"));
  PQclear(PQprepare(base.conn, "insert",
                    "INSERT INTO bookmarks(version, num, url, description, notefield, notes) VALUES(1, (SELECT "
                    "coalesce(max(num), 0) + 1 FROM bookmarks), $1, $2, 0, '')",
                    0, nullptr));
  Clock::time_point start = Clock::now();
  for (const Bookmark& b : bookmarks) {
    const char* values[2] = {b.url.c_str(), b.description.c_str()};
    PQclear(base.Exec("insert", 2, values, true));
  }
  times.adds = Seconds(start);

  // What a form's add needs at the least: a numbered record reserved, then
  // the whole record put.
  PQclear(base.Exec("CREATE TABLE numbered (LIKE bookmarks INCLUDING ALL)"));
  PQclear(PQprepare(base.conn, "reserve",
                    "INSERT INTO numbered(version, num, url, description, notefield, notes) VALUES(1, (SELECT "
                    "coalesce(max(num), 0) + 1 FROM numbered), '', '', 0, '') RETURNING id",
                    0, nullptr));
  PQclear(PQprepare(base.conn, "put",
                    "UPDATE numbered SET version = version + 1, url = $2, description = $3 WHERE id = $1 AND "
                    "version = 1",
                    0, nullptr));
  start = Clock::now();
  for (std::size_t i = 0; i < ReservedCount(bookmarks.size()); ++i) {
    PGresult* reserved = base.Exec("reserve", 0, nullptr, true);
    const std::string id = PQgetvalue(reserved, 0, 0);
    PQclear(reserved);
    const char* put[3] = {id.c_str(), bookmarks[i].url.c_str(), bookmarks[i].description.c_str()};
    PQclear(base.Exec("put", 3, put, true));
  }
  times.reservedAdds = Seconds(start);

  const char* scans[3] = {
      "SELECT num, url, description, notefield, notes FROM bookmarks ORDER BY num",
      "SELECT num, url, description, notefield, notes FROM bookmarks ORDER BY lower(url)",
      "SELECT num, url, description, notefield, notes FROM bookmarks ORDER BY lower(description), id",
  };
  Row row;
  for (int key = 0; key < 3; ++key) {
    start = Clock::now();
    PGresult* result = base.Exec(scans[key]);
    for (int r = 0; r < PQntuples(result); ++r) {
      ReadPgRow(result, r, row);
      ++times.scanned[key];
    }
    PQclear(result);
    times.scans[key] = Seconds(start);
  }

  PQclear(PQprepare(base.conn, "fetch",
                    "SELECT num, url, description, notefield, notes FROM bookmarks WHERE lower(url) = lower($1)", 0,
                    nullptr));
  start = Clock::now();
  for (std::size_t i : fetchOrder) {
    const char* values[1] = {bookmarks[i].url.c_str()};
    PGresult* result = base.Exec("fetch", 1, values, true);
    if (PQntuples(result) != 1) std::abort();
    ReadPgRow(result, 0, row);
    PQclear(result);
  }
  times.fetches = Seconds(start);
  PQfinish(base.conn);
  return times;
}

}  // namespace

int main(int argc, char** argv) {
  const bool server = argc > 1 && std::string(argv[1]) == "--server";
  if (server) {
    --argc;
    ++argv;
  }
  const char* html = argc > 1 && std::string(argv[1]) != "-" ? argv[1] : nullptr;
  const std::size_t count = argc > 2 ? std::stoul(argv[2]) : (server ? 20000 : 100000);
  const std::vector<Bookmark> bookmarks = LoadBookmarks(html, count);
  std::vector<std::size_t> fetchOrder(bookmarks.size());
  for (std::size_t i = 0; i < fetchOrder.size(); ++i) fetchOrder[i] = i;
  std::shuffle(fetchOrder.begin(), fetchOrder.end(), std::mt19937(42));

  std::string pattern = (std::filesystem::temp_directory_path() / "keyed-bench-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return 1;
  OursTimes baseline, ours;
  if (server) {
    testing_support::PgTestServer database;
    if (!database.Ok()) {
      std::fprintf(stderr, "keyed_driver: %s\n", database.Failure().c_str());
      return 1;
    }
    baseline = RunPgBaseline(database.Connection(), bookmarks, fetchOrder);
    runtime::SetKeyedServer(database.Connection());
    ours = RunOurs(pattern, bookmarks, fetchOrder);
    runtime::SetKeyedServer("");
  } else {
    baseline = RunBaseline(pattern, bookmarks, fetchOrder);
    ours = RunOurs(pattern, bookmarks, fetchOrder);
  }
  std::filesystem::remove_all(pattern);

  const char* scanNames[3] = {"scan_numkey", "scan_namekey", "scan_desckey"};
  const std::size_t reserved = ReservedCount(bookmarks.size());
  Report("adds", bookmarks.size(), ours.adds, baseline.adds);
  // Per record, against the raw inserts of every record.
  Report("adds_reserved", reserved, ours.reservedAdds,
         baseline.adds * static_cast<double>(reserved) / static_cast<double>(bookmarks.size()));
  if (server) Report("adds_reserved_vs_same_statements", reserved, ours.reservedAdds, baseline.reservedAdds);
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
