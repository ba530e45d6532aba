// Browse list benchmark: a browse over a keyed bookmark file in a headless
// window, driven the way a user drives it, on 1,000, 10,000 and 1,000,000
// bookmarks. Figures: the time to the first full page (the window opening
// over the file, until the list shows its rows), one page down, one row
// down at the end of a page, a locator jump of two typed letters, and thumb
// drags to 25, 50 and 75 from the top; each the median of several
// repetitions in a run, printed for the largest file with the ratio to
// 10,000 bookmarks, in CPU time (the cost must not grow with the
// collection). After the first page the window counts the view's rows in
// slices for the thumb: an opening is timed until the list shows its rows
// and then closed, and the time until the counting is done (the window
// idle) is printed too, with its ratio (it grows with the rows; the user's
// events go between its slices). Then the peak memory of a run on the largest file with the ratio
// to 1,000 bookmarks, and the largest distance of a dragged-to row from the
// rank the thumb asked for, as a percentage of the rows, with its ratio to
// the goal of 2 %. The report runs the three files in turn five times, each
// run in a child process of its own, and takes the median of each figure
// over the five.
// Output: "NAME VALUE UNIT ratio R".
//
// Usage:
//   browse create DISKNAME RECORDS < bookmarks.html   builds a data file
//   browse run DISKNAME                                measures one file
//   browse report DISKNAME_1K DISKNAME_10K DISKNAME_1M runs each in a child
//   browse server                                      the same over a PostgreSQL
//                                                      server it starts (loopback),
//                                                      on made-up bookmarks
// With MARLINDEN_DATABASE set, the files of the other modes live on that
// server.
// Addresses and titles come from the anchors of the bookmark HTML on
// standard input (distinct without regard to ASCII case), topped up with
// made-up ones when it holds too few.
#include <stdio.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "app/DataFiles.h"
#include "data/FileManager.h"
#include "data/RelationManager.h"
#include "errors/ErrorManager.h"
#include "runtime/files/DataFile.h"
#include "runtime/files/drivers/KeyedServer.h"
#include "runtime/headless/HeadlessBackend.h"
#include "runtime/system/RuntimeError.h"
#include "runtime/text/FixedText.h"
#include "runtime/ui/Program.h"
#include "runtime/views/View.h"
#include "support/PgTestServer.h"
#include "testing/TestDriver.h"
#include "window/BrowseManager.h"
#include "window/BrowseQueue.h"
#include "window/IncrementalLocator.h"
#include "window/StringStep.h"
#include "window/WindowManager.h"

namespace {

using runtime::ui::EventCode;
using namespace marlinden;

constexpr std::int32_t kList = 1;
constexpr int kVisibleRows = 20;
constexpr int kRepeats = 31;
constexpr int kOpenings = 9;
constexpr int kCountings = 3;
constexpr int kRounds = 5;
constexpr std::size_t kBatch = 10000;
constexpr double kRankErrorGoal = 2.0;  // percent of the rows

[[noreturn]] void Fail(const std::string& what) {
  const runtime::RuntimeError& error = runtime::LastError();
  std::fprintf(stderr, "browse: %s: %d %s %s\n", what.c_str(), error.code, error.text.c_str(),
               error.driverText.c_str());
  std::exit(1);
}

// CPU time of the whole process (the runtime thread does the work; the
// driving thread waits), so other work on a shared machine blurs it less
// than the wall clock would.
double CpuSeconds() {
  timespec now{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// --- Data ------------------------------------------------------------------------------

// The text between the quotes after HREF=, and between ">" and "</A>".
bool ParseAnchor(const std::string& line, std::string& url, std::string& title) {
  const std::size_t href = line.find("HREF=\"");
  if (href == std::string::npos) return false;
  const std::size_t urlEnd = line.find('"', href + 6);
  const std::size_t textStart = urlEnd == std::string::npos ? urlEnd : line.find('>', urlEnd);
  const std::size_t textEnd = textStart == std::string::npos ? textStart : line.find("</A>", textStart);
  if (textEnd == std::string::npos) return false;
  url = line.substr(href + 6, urlEnd - href - 6);
  title = line.substr(textStart + 1, textEnd - textStart - 1);
  return true;
}

void Create(const std::string& diskName, std::size_t records) {
  auto file = runtime::DataFile::Make(runtime::Driver::Keyed, BookmarkLayout(), diskName);
  if (file->Open(runtime::AccessRead | runtime::ShareDenyNone) == runtime::NoError) {
    const bool same = file->Records() == static_cast<std::int64_t>(records);
    (void)file->Close();
    if (same) return;
    if (file->Remove() != runtime::NoError) Fail("removing the old data file");
  }
  if (file->Create() != runtime::NoError) Fail("creating the data file");
  if (file->Open(runtime::AccessReadWrite | runtime::ShareDenyNone) != runtime::NoError) Fail("opening the data file");
  std::set<std::string> seen;
  std::mt19937 random(7);
  std::string line, url, title;
  std::size_t added = 0;
  std::size_t madeUp = 0;
  while (added < records) {
    if (file->BeginTransaction(5) != runtime::NoError) Fail("beginning a transaction");
    for (std::size_t end = std::min(records, added + kBatch); added < end;) {
      if (std::getline(std::cin, line)) {
        if (!ParseAnchor(line, url, title)) continue;
      } else {
        url = "https://www.site-" + std::to_string(random() % 100000) + ".example/page/" + std::to_string(++madeUp);
        title = "Page about things";
      }
      url = std::string(runtime::CutToWidth(url, kUrlWidth));
      if (runtime::Clip(url).empty() || !seen.insert(runtime::UpperAscii(runtime::Clip(url))).second) continue;
      file->ClearBuffer();
      file->Record().Field("WEB:NUM").SetInteger(static_cast<std::int64_t>(++added));
      file->Record().Field("WEB:URL").SetText(url);
      file->Record().Field("WEB:DESCRIPTION").SetText(title);
      if (file->Add() != runtime::NoError) Fail("adding a record");
    }
    if (file->Commit() != runtime::NoError) Fail("committing");
  }
  (void)file->Close();
}

// --- The window --------------------------------------------------------------------------

runtime::ui::ListColumn Column(std::string header, std::int32_t width) {
  runtime::ui::ListColumn column;
  column.header = std::move(header);
  column.width = width;
  return column;
}

runtime::ui::WindowDescription BrowseWindowDescription() {
  runtime::ui::WindowDescription d;
  d.name = d.title = "Browse";
  d.rect = {0, 0, 400, 260};
  runtime::ui::ControlDescription list;
  list.kind = runtime::ui::ControlKind::List;
  list.rect = {4, 4, 390, runtime::ui::kListRowHeight * (kVisibleRows + 1)};
  list.scrollBar = true;
  list.columns = {Column("URL", 196), Column("Description", 141)};
  d.controls.push_back(list);
  return d;
}

runtime::RecordLayout RowLayout() {
  return runtime::RecordLayout::Builder("Row", "ROW").String("URL", 255).String("DESCRIPTION", 250).Build();
}

// The main window's address order: a computed step table over the
// upper-case letters and a locator on the address.
class BrowseWindow : public WindowManager {
 public:
  BrowseWindow(runtime::DataFile& file, RelationManager& relation, ErrorManager& errors)
      : file_(file), relation_(relation), errors_(errors), view_(file) {}

  Severity Init() override {
    const Severity base = WindowManager::Init();
    if (base != SeverityOk) return base;
    ERRORS = &errors_;
    FIRSTFIELD = kList;
    if (relation_.Open() != SeverityOk) return SeverityNotify;
    OpenWindow(BrowseWindowDescription());
    OPENED = 1;
    browse_.Init(kList, queue_, view_, *this, relation_);
    step_.Init(StepLetters, LookupComputed);
    (void)browse_.AddSortOrder(&step_, WebNameKey);
    locator_.Init(0, file_.Record().Field("WEB:URL"), 1, &browse_);
    browse_.AddLocator(locator_);
    browse_.AddField(queue_.Field(1), file_.Record().Field("WEB:URL"));
    browse_.AddField(queue_.Field(2), file_.Record().Field("WEB:DESCRIPTION"));
    SetAlerts();
    return SeverityOk;
  }

  Severity Kill() override {
    const Severity base = WindowManager::Kill();
    if (base != SeverityOk) return base;
    (void)relation_.Close();
    if (view_.IsOpen()) (void)view_.Close();
    CloseWindow();
    return SeverityOk;
  }

 private:
  runtime::DataFile& file_;
  RelationManager& relation_;
  ErrorManager& errors_;
  runtime::View view_;
  BrowseQueue queue_{RowLayout(), {{1, 0}, {2, 0}}};
  BrowseManager browse_;
  StringStep step_;
  IncrementalLocator locator_;
};

// The headless backend, noting when the list first shows rows.
class FirstPageBackend : public runtime::ui::HeadlessBackend {
 public:
  void CreateControl(runtime::ui::WindowId window, const runtime::ui::ControlView& control) override {
    Note(window, control);
    HeadlessBackend::CreateControl(window, control);
  }
  void UpdateControl(runtime::ui::WindowId window, const runtime::ui::ControlView& control) override {
    Note(window, control);
    HeadlessBackend::UpdateControl(window, control);
  }
  // Waits until the list shows rows; its window, with the CPU seconds then.
  runtime::ui::WindowId WaitForFirstRows(double& cpuSeconds) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!shown_.wait_for(lock, std::chrono::seconds(120), [this] { return window_ != runtime::ui::kNoWindow; })) {
      Fail("waiting for the first page");
    }
    cpuSeconds = firstRows_;
    return window_;
  }

 private:
  void Note(runtime::ui::WindowId window, const runtime::ui::ControlView& control) {
    if (control.properties.number != kList || control.rows.empty()) return;
    const double now = CpuSeconds();
    const std::lock_guard<std::mutex> lock(mutex_);
    if (window_ != runtime::ui::kNoWindow) return;
    firstRows_ = now;
    window_ = window;
    shown_.notify_all();
  }
  std::mutex mutex_;
  std::condition_variable shown_;
  // Guarded by mutex_.
  double firstRows_ = 0;
  runtime::ui::WindowId window_ = runtime::ui::kNoWindow;
};

// How long a session waits once it started its program.
enum class Until : std::uint8_t {
  FirstPage,  // the list shows its first page (the rows are still being counted)
  Idle,       // the window is idle: the rows are counted
};

// One program running the browse window over the file until it is closed.
class Session {
 public:
  Session(const std::string& diskName, Until until) : program_(backend_) {
    driver_.OnTimeout([](std::string_view what) {
      std::fprintf(stderr, "browse: waited too long for %.*s\n", static_cast<int>(what.size()), what.data());
      std::exit(1);
    });
    const double start = CpuSeconds();
    if (!program_.Start([diskName] {
          ErrorManager errors;
          errors.Init();
          auto file = runtime::DataFile::Make(runtime::Driver::Keyed, BookmarkLayout(), diskName);
          FileManager files;
          files.Init(*file, errors);
          files.AddKey(WebNumKey, "WEB:Numkey", 1);
          files.AddKey(WebNameKey, "WEB:Namekey", 0);
          files.AddKey(WebDescKey, "WEB:Desckey", 0);
          RelationManager relation;
          relation.Init(files, true);
          {
            BrowseWindow window(*file, relation, errors);
            (void)window.Run();
          }
          relation.Kill();
          errors.Kill();
        })) {
      Fail("starting the program");
    }
    double shown = 0;
    window_ = backend_.WaitForFirstRows(shown);
    firstPage_ = shown - start;
    if (until == Until::Idle) {
      if (!driver_.WaitIdle(1)) Fail("waiting for the rows to be counted");
      counted_ = CpuSeconds() - start;
    }
  }
  ~Session() {
    driver_.Post(window_, EventCode::CloseWindow);
    program_.WaitForEnd();
  }

  double FirstPage() const { return firstPage_; }
  // Until the window was idle (Until::Idle): the view's rows counted.
  double Counted() const { return counted_; }
  // The address on the highlighted row.
  std::string Highlighted() {
    const std::vector<std::string> urls = driver_.ColumnTexts(window_, kList, 0);
    const std::int32_t row = driver_.Properties(window_, kList).selectedRow;
    return row >= 1 && row <= static_cast<std::int32_t>(urls.size()) ? urls[static_cast<std::size_t>(row - 1)] : "";
  }

  // CPU seconds from posting the events until the window is idle again.
  double Time(const std::vector<std::pair<EventCode, runtime::ui::EventData>>& events) {
    const double start = CpuSeconds();
    for (const auto& [code, data] : events) {
      driver_.Post(window_, code, kList, data);
      if (!driver_.WaitIdle(1)) Fail("waiting for the window");
    }
    return CpuSeconds() - start;
  }
  void Do(EventCode code, runtime::ui::EventData data = {}) { (void)Time({{code, data}}); }

 private:
  FirstPageBackend backend_;
  runtime::ui::Program program_;
  runtime::ui::TestDriver driver_{std::chrono::seconds(120)};
  runtime::ui::WindowId window_ = runtime::ui::kNoWindow;
  double firstPage_ = 0;
  double counted_ = 0;
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

runtime::ui::EventData Typed(char c) {
  runtime::ui::EventData data;
  data.key = runtime::ui::Letter(static_cast<char>(c - 'a' + 'A'));
  data.keyText = std::string(1, c);
  return data;
}

long PeakKilobytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return 0;
}

// The rank of each address in the address order, read straight from the
// file; the addresses not found are left out.
std::map<std::string, std::int64_t> RanksOf(const std::string& diskName, const std::vector<std::string>& urls,
                                            std::int64_t& rows) {
  auto file = runtime::DataFile::Make(runtime::Driver::Keyed, BookmarkLayout(), diskName);
  if (file->Open(runtime::AccessRead | runtime::ShareDenyNone) != runtime::NoError) Fail("opening the data file");
  if (file->SetOrder(WebNameKey) != runtime::NoError) Fail("reading in address order");
  const std::set<std::string> wanted(urls.begin(), urls.end());
  std::map<std::string, std::int64_t> ranks;
  rows = 0;
  while (file->Next() == runtime::NoError) {
    const std::string url(runtime::Clip(file->Record().Field("WEB:URL").ClippedText()));
    if (wanted.count(url) != 0) ranks[url] = rows;
    ++rows;
  }
  (void)file->Close();
  return ranks;
}

void Run(const std::string& diskName) {
  std::vector<double> firstPage, counted;
  for (int i = 0; i < kOpenings; ++i) firstPage.push_back(Session(diskName, Until::FirstPage).FirstPage());
  auto session = std::make_unique<Session>(diskName, Until::Idle);
  counted.push_back(session->Counted());
  std::vector<double> pageDown, rowDown, locate, drag;
  for (int i = 0; i < kRepeats; ++i) pageDown.push_back(session->Time({{EventCode::PageDown, {}}}));
  session->Do(EventCode::ScrollTop);
  for (int i = 1; i < kVisibleRows; ++i) session->Do(EventCode::ScrollDown);  // the highlight on the last row
  for (int i = 0; i < kRepeats; ++i) rowDown.push_back(session->Time({{EventCode::ScrollDown, {}}}));
  const std::string pairs[] = {"ht", "ft", "ma", "ja", "pl", "fi", "hx", "ab"};
  for (int i = 0; i < kRepeats; ++i) {
    session->Do(EventCode::ScrollUp);  // a scroll clears the typed text
    const std::string& pair = pairs[i % std::size(pairs)];
    locate.push_back(session->Time({{EventCode::AlertKey, Typed(pair[0])}, {EventCode::AlertKey, Typed(pair[1])}}));
  }
  // Drags from the top, and the address each one showed.
  std::vector<std::pair<std::int32_t, std::string>> dragged;
  for (int i = 0; i < kRepeats; ++i) {
    const std::int32_t p = 25 * (1 + i % 3);
    runtime::ui::EventData thumb;
    thumb.thumb = p;
    session->Do(EventCode::ScrollTop);
    drag.push_back(session->Time({{EventCode::ScrollDrag, thumb}}));
    if (i < 3) dragged.emplace_back(p, session->Highlighted());
  }
  for (std::int32_t p = 5; p < 100; p += 10) {
    runtime::ui::EventData thumb;
    thumb.thumb = p;
    session->Do(EventCode::ScrollDrag, thumb);
    dragged.emplace_back(p, session->Highlighted());
  }
  session.reset();
  // Counted once more in sessions of their own, after the figures above: a
  // long run of work before them would make a shared machine's CPU slower
  // for the large file's figures alone.
  for (int i = 1; i < kCountings; ++i) counted.push_back(Session(diskName, Until::Idle).Counted());
  std::printf("first_page %.9f\npage_down %.9f\nrow_down_at_page_end %.9f\nlocate_two_letters %.9f\n",
              Median(firstPage), Median(pageDown), Median(rowDown), Median(locate));
  std::printf("thumb_drag_25_50_75 %.9f\nrows_counted %.9f\npeak_memory %ld\n", Median(drag), Median(counted),
              PeakKilobytes());
  std::vector<std::string> urls;
  for (const auto& [p, url] : dragged) urls.push_back(url);
  std::int64_t rows = 0;
  const std::map<std::string, std::int64_t> ranks = RanksOf(diskName, urls, rows);
  double largest = 0;
  for (const auto& [p, url] : dragged) {
    const auto found = ranks.find(url);
    if (found == ranks.end()) Fail("a dragged-to row that is not in the file: " + url);
    const double asked = static_cast<double>(p) * static_cast<double>(rows - 1) / 100;
    largest = std::max(largest, std::abs(static_cast<double>(found->second) - asked) * 100 / static_cast<double>(rows));
  }
  std::printf("rank_error %.9f\n", largest);
}

// Runs "browse run diskName" in a child process and reads its figures.
std::map<std::string, double> RunChild(const std::string& diskName) {
  const std::string command = std::filesystem::read_symlink("/proc/self/exe").string() + " run '" + diskName + "'";
  FILE* child = ::popen(command.c_str(), "r");
  if (child == nullptr) Fail("starting a run");
  std::map<std::string, double> figures;
  char name[64];
  double value = 0;
  while (std::fscanf(child, "%63s %lf", name, &value) == 2) figures[name] = value;
  if (::pclose(child) != 0) Fail("a run of " + diskName);
  return figures;
}

// The median of each figure over kRounds runs of the three files in turn,
// so that a change of load on a shared machine falls on every file alike.
void Report(const std::string& small, const std::string& medium, const std::string& large) {
  const std::string* files[] = {&small, &medium, &large};
  std::map<std::string, std::vector<double>> runs[std::size(files)];
  for (int round = 0; round < kRounds; ++round) {
    for (std::size_t f = 0; f < std::size(files); ++f) {
      for (const auto& [name, value] : RunChild(*files[f])) runs[f][name].push_back(value);
    }
  }
  auto s = [&runs](const char* name) { return Median(runs[0].at(name)); };
  auto m = [&runs](const char* name) { return Median(runs[1].at(name)); };
  auto l = [&runs](const char* name) { return Median(runs[2].at(name)); };
  for (const char* name : {"first_page", "page_down", "row_down_at_page_end", "locate_two_letters",
                           "thumb_drag_25_50_75", "rows_counted"}) {
    std::printf("browse_%s_1M %.3f ms ratio %.2f\n", name, l(name) * 1000, l(name) / m(name));
  }
  std::printf("browse_peak_memory_1M %.0f kB ratio %.2f\n", l("peak_memory"), l("peak_memory") / s("peak_memory"));
  std::printf("browse_rank_error_1M %.3f %% ratio %.2f\n", l("rank_error"), l("rank_error") / kRankErrorGoal);
}

}  // namespace

// The report over a server of its own: the three files made on it, the
// children told of it through the environment.
int ServerReport() {
  testing_support::PgTestServer server;
  if (!server.Ok()) Fail(server.Failure());
  ::setenv("MARLINDEN_DATABASE", server.Connection().c_str(), 1);
  runtime::SetKeyedServer(server.Connection());
  const std::string names[] = {"BROWSE1000", "BROWSE10000", "BROWSE1000000"};
  const std::size_t sizes[] = {1000, 10000, 1000000};
  for (std::size_t i = 0; i < std::size(names); ++i) Create(names[i], sizes[i]);
  Report(names[0], names[1], names[2]);
  return 0;
}

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (const char* database = std::getenv("MARLINDEN_DATABASE"); database != nullptr && *database != '\0') {
    runtime::SetKeyedServer(database);
  }
  if (mode == "server" && argc == 2) return ServerReport();
  if (mode == "create" && argc == 4) {
    Create(argv[2], static_cast<std::size_t>(std::strtoull(argv[3], nullptr, 10)));
  } else if (mode == "run" && argc == 3) {
    Run(argv[2]);
  } else if (mode == "report" && argc == 5) {
    Report(argv[2], argv[3], argv[4]);
  } else {
    std::fprintf(stderr,
                 "usage: browse create DISKNAME RECORDS < bookmarks.html | run DISKNAME | "
                 "report DISKNAME_1K DISKNAME_10K DISKNAME_1M\n");
    return 2;
  }
  return 0;
}
