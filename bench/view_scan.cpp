// View scan benchmark: a full read of a keyed bookmark file through a View
// in address order (WEB:NAMEKEY), without a filter and with the web-address
// filter, compared with raw SQLite stepping one prepared statement through
// the same index and copying each row out as a record read does (for the
// filtered read, the same query with the equivalent WHERE clause). Both are
// measured in the same run, on a warm page cache, in the thread's CPU time
// (user and system), so that other work on a shared machine does not blur the
// ratio. Output: one line per figure, "NAME VALUE UNIT ratio R", R = our time
// / baseline time.
//
// Usage: view_scan [directory] [records]
// The data file is created in directory (default: the current one) when it
// is missing or holds another number of records.
#include <sqlite3.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "app/DataFiles.h"
#include "runtime/files/DataFile.h"
#include "runtime/system/RuntimeError.h"
#include "runtime/values/FieldBindings.h"
#include "runtime/views/View.h"

namespace {

// CPU time of the calling thread.
double CpuSeconds() {
  timespec now{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

constexpr const char* kWebOnly = "(UPPER(sub(web:url,1,3)) = 'HTT')";
constexpr std::size_t kNameKey = 2;
constexpr std::size_t kBatch = 10000;

[[noreturn]] void Fail(const char* what) {
  const runtime::RuntimeError& error = runtime::LastError();
  std::fprintf(stderr, "view_scan: %s: %d %s %s\n", what, error.code, error.text.c_str(), error.driverText.c_str());
  std::exit(1);
}

// Addresses as a browser's bookmarks hold them: mostly web pages, some FTP
// sites, the rest scripts, mail addresses and browser places. The record
// number in each keeps them distinct; the words in front of it scatter the
// address order over the record order.
class BookmarkMaker {
 public:
  void Make(std::int32_t num, std::string& url, std::string& description) {
    const char* word = kWords[Pick(std::size(kWords))];
    const char* other = kWords[Pick(std::size(kWords))];
    const std::string n = std::to_string(num);
    const unsigned kind = Pick(100);
    if (kind < 60) {
      url = "https://www." + std::string(word) + n + ".com/" + other + "/index.html";
    } else if (kind < 85) {
      url = (Pick(2) == 0 ? "http://" : "HTTP://") + std::string(other) + "." + word + n + ".org/" + other + "?id=" + n;
    } else if (kind < 90) {
      url = "ftp://ftp." + std::string(word) + n + ".net/pub/" + other + "/";
    } else if (kind < 95) {
      url = "javascript:void(" + std::string(word) + n + ")";
    } else if (kind < 98) {
      url = "mailto:" + std::string(word) + n + "@" + other + ".com";
    } else {
      url = "place:folder=" + std::string(word) + n + "&sort=" + other;
    }
    description = std::string(word) + " " + other + " page " + n;
    description[0] = static_cast<char>(description[0] - 'a' + 'A');
  }

 private:
  static constexpr const char* kWords[] = {"alpha", "news",   "mail",  "docs",  "forum",  "shop",   "wiki",
                                           "blog",  "music",  "video", "maps",  "photos", "cloud",  "search",
                                           "games", "travel", "bank",  "learn", "sport",  "weather"};
  unsigned Pick(unsigned n) { return std::uniform_int_distribution<unsigned>(0, n - 1)(random_); }
  std::mt19937 random_{20240611};
};

void CreateFile(runtime::DataFile& file, std::size_t records) {
  const std::string db = file.DiskName() + ".db";
  if (std::FILE* existing = std::fopen(db.c_str(), "rb")) {
    std::fclose(existing);
    if (file.Open(runtime::AccessRead | runtime::ShareDenyNone) == runtime::NoError) {
      const bool same = file.Records() == static_cast<std::int64_t>(records);
      (void)file.Close();
      if (same) return;
    }
    if (file.Remove() != runtime::NoError) Fail("removing the old data file");
  }
  std::fprintf(stderr, "view_scan: creating %zu records in %s\n", records, db.c_str());
  if (file.Create() != runtime::NoError) Fail("creating the data file");
  if (file.Open(runtime::AccessReadWrite | runtime::ShareDenyNone) != runtime::NoError) Fail("opening the data file");
  BookmarkMaker maker;
  std::string url, description;
  for (std::size_t done = 0; done < records;) {
    if (file.BeginTransaction(5) != runtime::NoError) Fail("beginning a transaction");
    for (std::size_t end = std::min(records, done + kBatch); done < end; ++done) {
      const auto num = static_cast<std::int32_t>(done + 1);
      maker.Make(num, url, description);
      file.ClearBuffer();
      file.Record().Field("NUM").SetInteger(num);
      file.Record().Field("URL").SetText(url);
      file.Record().Field("DESCRIPTION").SetText(description);
      if (file.Add() != runtime::NoError) Fail("adding a record");
    }
    if (file.Commit() != runtime::NoError) Fail("committing");
  }
  (void)file.Close();
}

struct Scan {
  std::size_t records = 0;
  double seconds = 0;
};

Scan ScanView(runtime::DataFile& file, const char* filter) {
  runtime::View view(file);
  if (view.Open(runtime::AccessReadWrite | runtime::ShareDenyWrite) != runtime::NoError) Fail("opening the view");
  if (view.SetOrder("UPPER(WEB:URL)") != runtime::NoError) Fail("setting the order");
  if (view.SetFilter(filter) != runtime::NoError) Fail("setting the filter");
  if (view.Reset() != runtime::NoError) Fail("resetting the view");
  Scan scan;
  const double start = CpuSeconds();
  std::int32_t code;
  while ((code = view.Next()) == runtime::NoError) ++scan.records;
  scan.seconds = CpuSeconds() - start;
  if (code != runtime::NoRecord) Fail("reading the view");
  (void)view.Close();
  return scan;
}

// A record read's work on one row: numbers stored, texts copied and padded
// to their fields, the memo copied.
struct RawRecord {
  std::int64_t id = 0, version = 0;
  std::int32_t num = 0;
  char url[255];
  char description[250];
  std::uint8_t noteField = 0;
  std::string notes;
};

void CopyText(sqlite3_stmt* statement, int column, char* field, std::size_t size) {
  const auto* text = sqlite3_column_text(statement, column);
  const std::size_t length =
      std::min<std::size_t>(static_cast<std::size_t>(sqlite3_column_bytes(statement, column)), size);
  if (length > 0) std::memcpy(field, text, length);
  std::memset(field + length, ' ', size - length);
}

// Opened as the keyed driver opens its connection (no SQLite mutexes), read-only.
Scan ScanSqlite(const std::string& db, const char* where) {
  sqlite3* connection = nullptr;
  if (sqlite3_open_v2(db.c_str(), &connection, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
    std::fprintf(stderr, "view_scan: sqlite open: %s\n", sqlite3_errmsg(connection));
    std::exit(1);
  }
  const std::string sql =
      std::string("SELECT id, version, f1, f2, f3, f4, m1 FROM records ") + where + " ORDER BY f2 COLLATE NOCASE";
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(connection, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
    std::fprintf(stderr, "view_scan: sqlite prepare: %s\n", sqlite3_errmsg(connection));
    std::exit(1);
  }
  RawRecord record;
  Scan scan;
  const double start = CpuSeconds();
  int rc;
  while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
    record.id = sqlite3_column_int64(statement, 0);
    record.version = sqlite3_column_int64(statement, 1);
    record.num = static_cast<std::int32_t>(sqlite3_column_int64(statement, 2));
    CopyText(statement, 3, record.url, sizeof record.url);
    CopyText(statement, 4, record.description, sizeof record.description);
    record.noteField = static_cast<std::uint8_t>(sqlite3_column_int64(statement, 5));
    const auto* notes = reinterpret_cast<const char*>(sqlite3_column_text(statement, 6));
    record.notes.assign(notes != nullptr ? notes : "", static_cast<std::size_t>(sqlite3_column_bytes(statement, 6)));
    ++scan.records;
  }
  scan.seconds = CpuSeconds() - start;
  if (rc != SQLITE_DONE) {
    std::fprintf(stderr, "view_scan: sqlite step: %s\n", sqlite3_errmsg(connection));
    std::exit(1);
  }
  sqlite3_finalize(statement);
  sqlite3_close(connection);
  return scan;
}

void Report(const char* name, const Scan& ours, const Scan& baseline) {
  if (ours.records != baseline.records) {
    std::fprintf(stderr, "view_scan: %s read %zu records, the baseline %zu\n", name, ours.records, baseline.records);
    std::exit(1);
  }
  std::printf("%s %.0f records/s ratio %.2f\n", name, static_cast<double>(ours.records) / ours.seconds,
              ours.seconds / baseline.seconds);
  std::printf("%s_sqlite %.0f records/s ratio 1.00\n", name, static_cast<double>(baseline.records) / baseline.seconds);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string directory = argc > 1 ? argv[1] : ".";
  const std::size_t records = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 1000000;
  std::unique_ptr<runtime::DataFile> file =
      runtime::DataFile::Make(runtime::Driver::Keyed, marlinden::BookmarkLayout(), directory + "/MARLINDEN");
  CreateFile(*file, records);
  const std::string db = file->DiskName() + ".db";

  if (file->Open(runtime::AccessReadWrite | runtime::ShareDenyNone) != runtime::NoError) Fail("opening the file");
  for (std::size_t f = 1; f <= file->Layout().FieldCount(); ++f) {
    runtime::BindField(file->Layout().Field(f).label, file->Record().Field(f));
  }
  (void)ScanSqlite(db, "");  // warms the page cache for both

  // As the batch procedures read: with "QUICKSCAN=on".
  if (file->SendOption("QUICKSCAN=on") != runtime::NoError) Fail("QUICKSCAN=on");
  const Scan all = ScanView(*file, "");
  const Scan allSql = ScanSqlite(db, "");
  const Scan web = ScanView(*file, kWebOnly);
  const Scan webSql = ScanSqlite(db, "WHERE upper(substr(f2, 1, 3)) = 'HTT'");
  // As a browse list reads: the driver's ordinary read-ahead.
  if (file->SendOption("QUICKSCAN=off") != runtime::NoError) Fail("QUICKSCAN=off");
  const Scan allPlain = ScanView(*file, "");

  Report("view_scan_namekey", all, allSql);
  Report("view_scan_namekey_web_filter", web, webSql);
  std::printf("view_scan_namekey_no_quickscan %.0f records/s ratio %.2f\n",
              static_cast<double>(allPlain.records) / allPlain.seconds, allPlain.seconds / allSql.seconds);
  (void)file->Close();
  return 0;
}
