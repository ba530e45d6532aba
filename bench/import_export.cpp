// The import (with its clean-up) and the export through the real
// procedures on the headless backend, on generated browser files of 10,000
// and 100,000 links, against their floors in the same run:
//   import: one pass reading the file through the same reader, inserting
//           the distinct addresses with their notes into a fresh SQLite table
//           with the same indexes and their folder paths and dates into a
//           second one, in one transaction;
//   export: writing the same lines with buffered output; and, as a second
//           floor that also pays for getting the lines, reading the same
//           records and their details from the program's own SQLite files
//           with one statement, escaping them the same way and writing them
//           buffered in the same folder tree.
// Prints `NAME VALUE UNIT ratio R` (R = ours / floor; for memory, the peak
// over the 100 MiB budget).
//
// With --server (10,000 links only) the import and the export also run with
// the files on a PostgreSQL server the run starts on 127.0.0.1, as the
// tests do: `import_server_10k` and `export_server_10k`, R = the server's
// time / the local files' time in the same run.
//
// Usage: import_export GENERATOR.py [--server]
#include <sqlite3.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/BookmarkDetails.h"
#include "app/DataFiles.h"
#include "app/StartUp.h"
#include "procedures/BookmarkHtml.h"
#include "procedures/BookmarkReader.h"
#include "procedures/ExportProcess.h"
#include "procedures/ImportProcess.h"
#include "runtime/files/drivers/KeyedServer.h"
#include "runtime/headless/HeadlessBackend.h"
#include "runtime/text/FixedText.h"
#include "runtime/ui/Program.h"
#include "support/PgTestServer.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

// Runs body as the program's main procedure in the current directory.
void RunHeadless(const std::function<void()>& body) {
  runtime::ui::HeadlessBackend backend;
  backend.MessageBoxes().OnUnscripted([](const runtime::ui::MessageBoxRequest& request) {
    std::cerr << request.caption << ": " << request.text << "\n";
  });
  runtime::ui::Program program(backend);
  if (!program.Start([&] { (void)marlinden::RunProgram(body); })) std::exit(1);
  program.WaitForEnd();
}

void Exec(sqlite3* db, const char* sql) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
    std::cerr << "sqlite: " << (error ? error : "?") << "\n";
    std::exit(1);
  }
}

// The import's floor: read the file in pieces through the same reader
// (decoding, references, markup, folders, notes, dates), insert the
// distinct addresses and, for each, its folder path and dates into a
// second table, in one transaction.
double ImportFloor(const std::string& html, const std::string& database) {
  std::filesystem::remove(database);
  const auto start = Clock::now();
  sqlite3* db = nullptr;
  sqlite3_open(database.c_str(), &db);
  Exec(db,
       "PRAGMA journal_mode=WAL;"
       "CREATE TABLE records(id INTEGER PRIMARY KEY, num INTEGER, url TEXT, description TEXT, notefield INTEGER,"
       " notes TEXT);"
       "CREATE UNIQUE INDEX numkey ON records(num);"
       "CREATE UNIQUE INDEX namekey ON records(url COLLATE NOCASE);"
       "CREATE INDEX desckey ON records(description COLLATE NOCASE);"
       "CREATE TABLE folders(id INTEGER PRIMARY KEY, num INTEGER, path TEXT, toolbar INTEGER, added INTEGER,"
       " modified INTEGER);"
       "CREATE UNIQUE INDEX folnum ON folders(num);"
       "BEGIN;");
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(db, "INSERT OR IGNORE INTO records(num, url, description, notefield, notes) VALUES(?,?,?,0,?)", -1,
                     &insert, nullptr);
  sqlite3_stmt* folder = nullptr;
  sqlite3_prepare_v2(db, "INSERT OR REPLACE INTO folders(num, path, toolbar, added, modified) VALUES(?,?,?,?,?)", -1,
                     &folder, nullptr);
  std::ifstream in(html, std::ios::binary);
  std::string head(marlinden::kImportPieceBytes, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<std::size_t>(in.gcount()));
  const std::string declared = marlinden::DeclaredEncoding(head);
  marlinden::BookmarkReader reader(declared.empty() ? "UTF-8" : declared);
  std::int64_t number = 0;
  std::string piece = std::move(head);
  for (;;) {
    const bool last = in.peek() == EOF;
    reader.Read(piece, last);
    for (const marlinden::BookmarkEntry& link : reader.Entries()) {
      sqlite3_bind_int64(insert, 1, ++number);
      const std::string_view url = runtime::CutToWidth(link.url, 255);
      const std::string_view description = runtime::CutToWidth(link.description, 250);
      const std::string_view notes = runtime::CutToWidth(link.notes, 1000);
      sqlite3_bind_text(insert, 2, url.data(), static_cast<int>(url.size()), SQLITE_STATIC);
      sqlite3_bind_text(insert, 3, description.data(), static_cast<int>(description.size()), SQLITE_STATIC);
      sqlite3_bind_text(insert, 4, notes.data(), static_cast<int>(notes.size()), SQLITE_STATIC);
      sqlite3_step(insert);
      sqlite3_reset(insert);
      if (sqlite3_changes(db) == 0) continue;
      const std::string path = marlinden::EncodeFolderPath(link.folder);
      sqlite3_bind_int64(folder, 1, number);
      sqlite3_bind_text(folder, 2, path.data(), static_cast<int>(path.size()), SQLITE_STATIC);
      sqlite3_bind_int64(folder, 3, static_cast<std::int64_t>(link.toolbarDepth));
      sqlite3_bind_int64(folder, 4, link.added);
      sqlite3_bind_int64(folder, 5, link.modified);
      sqlite3_step(folder);
      sqlite3_reset(folder);
    }
    reader.Entries().clear();
    if (last) break;
    piece.resize(marlinden::kImportPieceBytes);
    in.read(piece.data(), static_cast<std::streamsize>(piece.size()));
    piece.resize(static_cast<std::size_t>(in.gcount()));
  }
  sqlite3_finalize(insert);
  sqlite3_finalize(folder);
  Exec(db, "COMMIT;");
  sqlite3_close(db);
  return Seconds(start);
}

// The export's floor: the same lines through a buffered stream.
double ExportFloor(const std::string& exported, const std::string& target) {
  std::vector<std::string> lines;
  {
    std::ifstream in(exported, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
  }
  const auto start = Clock::now();
  {
    std::ofstream out(target, std::ios::binary);
    for (const std::string& line : lines) out << line << '\n';
  }
  return Seconds(start);
}

// The export's floor with reading: one SELECT in record order over the
// bookmark file the import made joined with its details file (URL is column
// f2, description f3, notes m1; the details' path f2, toolbar f3, dates f4
// and f5), the same lines: those without a folder at once, the others
// grouped by folder and written in the tree at the end, buffered output.
double ExportReadFloor(const std::string& folder, const std::string& target) {
  const auto start = Clock::now();
  sqlite3* db = nullptr;
  sqlite3_open_v2((folder + "/MARLINDEN.db").c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  Exec(db, ("ATTACH DATABASE '" + folder + "/FOLDERS.db' AS details;").c_str());
  sqlite3_stmt* select = nullptr;
  sqlite3_prepare_v2(db,
                     "SELECT r.f2, r.f3, r.m1, d.f2, d.f3, d.f4, d.f5 FROM records r"
                     " LEFT JOIN details.records d ON d.f1 = r.f1 ORDER BY r.id",
                     -1, &select, nullptr);
  {
    std::ofstream out(target, std::ios::binary);
    for (const char* line : marlinden::kExportHeader) out << line << '\n';
    std::map<marlinden::TreePath, std::string> folders;
    while (sqlite3_step(select) == SQLITE_ROW) {
      auto text = [select](int column) {
        const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(select, column));
        return bytes == nullptr
                   ? std::string_view()
                   : std::string_view(bytes, static_cast<std::size_t>(sqlite3_column_bytes(select, column)));
      };
      const auto number = [select](int column) {
        return static_cast<std::uint32_t>(sqlite3_column_int64(select, column));
      };
      const marlinden::TreePath path =
          marlinden::MakeTreePath(marlinden::DecodeFolderPath(text(3)), static_cast<std::size_t>(number(4)));
      std::string lines =
          marlinden::ExportLine(runtime::Clip(text(0)), runtime::Clip(text(1)), number(5), number(6), path.size()) +
          '\n';
      for (const std::string& note : marlinden::ExportNoteLines(text(2), path.size())) lines += note + '\n';
      if (path.empty()) {
        out << lines;
      } else {
        folders[path] += lines;
      }
    }
    marlinden::FolderTreeWriter tree([&out](const std::string& line) {
      out << line << '\n';
      return true;
    });
    for (const auto& [path, lines] : folders) {
      (void)tree.Enter(path);
      out << lines;
    }
    (void)tree.Finish();
    out << marlinden::kExportFooter << '\n';
  }
  sqlite3_finalize(select);
  sqlite3_close(db);
  return Seconds(start);
}

constexpr int kRuns = 3;

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void Print(const std::string& name, double value, const char* unit, double ratio) {
  std::printf("%s %.3f %s ratio %.2f\n", name.c_str(), value, unit, ratio);
  std::fflush(stdout);
}

}  // namespace

// The import and the export of html with the files on the server, which is
// emptied first; their times.
std::pair<double, double> RunOnServer(const std::string& connection, const std::string& html,
                                      const std::string& exported) {
  const std::string emptied = testing_support::PgExec(connection, "DROP SCHEMA public CASCADE; CREATE SCHEMA public");
  if (!emptied.empty()) {
    std::cerr << "server: " << emptied << "\n";
    std::exit(1);
  }
  runtime::SetKeyedServer(connection);
  auto start = Clock::now();
  RunHeadless([&] { marlinden::ImportProcess(html); });
  const double import = Seconds(start);
  start = Clock::now();
  RunHeadless([&] { marlinden::ExportProcess(exported); });
  const double exportTime = Seconds(start);
  runtime::SetKeyedServer("");
  return {import, exportTime};
}

int main(int argc, char** argv) {
  const bool server = argc == 3 && std::string(argv[2]) == "--server";
  if (argc != 2 && !server) {
    std::cerr << "usage: import_export GENERATOR.py [--server]\n";
    return 2;
  }
  std::unique_ptr<testing_support::PgTestServer> database;
  if (server) {
    database = std::make_unique<testing_support::PgTestServer>();
    if (!database->Ok()) {
      std::cerr << "import_export: " << database->Failure() << "\n";
      return 1;
    }
  }
  const std::filesystem::path work =
      std::filesystem::temp_directory_path() / ("import_export." + std::to_string(::getpid()));
  std::filesystem::create_directories(work);
  for (const int links : {10'000, 100'000}) {
    if (server && links != 10'000) continue;
    const std::string tag = links == 10'000 ? "10k" : "100k";
    const std::filesystem::path folder = work / tag;
    std::filesystem::create_directories(folder);
    const std::string html = (folder / "bookmarks.html").string();
    const std::string command =
        "python3 " + std::string(argv[1]) + " " + std::to_string(links) + " -o " + html + " 2>/dev/null";
    if (std::system(command.c_str()) != 0) return 1;
    std::filesystem::current_path(folder);

    // Each figure is the median of three runs, ours and the floors taking
    // turns, so a busy moment of the machine does not decide a ratio.
    std::vector<double> floors, imports, exports, writeFloors, readFloors, serverImports, serverExports;
    const std::string exported = (folder / "exported.htm").string();
    for (int run = 0; run < kRuns; ++run) {
      floors.push_back(ImportFloor(html, (folder / "floor.db").string()));
      for (const char* file : {"MARLINDEN", "FOLDERS"}) {
        for (const char* suffix : {".db", ".db-wal", ".db-shm", ".lck"}) {
          std::filesystem::remove(std::string(file) + suffix);
        }
      }
      auto start = Clock::now();
      RunHeadless([&] { marlinden::ImportProcess(html); });
      imports.push_back(Seconds(start));
      start = Clock::now();
      RunHeadless([&] { marlinden::ExportProcess(exported); });
      exports.push_back(Seconds(start));
      writeFloors.push_back(ExportFloor(exported, (folder / "floor.htm").string()));
      readFloors.push_back(ExportReadFloor(folder.string(), (folder / "floor-read.htm").string()));
      if (server) {
        const auto [serverImport, serverExport] = RunOnServer(database->Connection(), html, exported);
        serverImports.push_back(serverImport);
        serverExports.push_back(serverExport);
      }
    }
    const double import = Median(imports);
    const double exportTime = Median(exports);
    Print("import_" + tag, import, "s", import / Median(floors));
    Print("export_" + tag, exportTime, "s", exportTime / Median(writeFloors));
    Print("export_with_reading_" + tag, exportTime, "s", exportTime / Median(readFloors));
    if (server) {
      Print("import_server_" + tag, Median(serverImports), "s", Median(serverImports) / import);
      Print("export_server_" + tag, Median(serverExports), "s", Median(serverExports) / exportTime);
    }
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const double mebibytes = static_cast<double>(usage.ru_maxrss) / 1024.0;
  Print("import_export_mem_100k", mebibytes, "MiB", mebibytes / 100.0);
  std::filesystem::current_path(std::filesystem::temp_directory_path());
  std::filesystem::remove_all(work);
  return 0;
}
