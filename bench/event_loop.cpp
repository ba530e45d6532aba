// Event-loop throughput and start-up time.
//
//  event_loop_headless: 100,000 events posted to a window and handled through
//    the runtime's event loop by a taker doing trivial work, headless.
//  event_loop_qt: the same on the Qt backend, the events posted from the GUI
//    thread as user input is (PostInput); the baseline is 100,000 custom
//    QEvents posted to and handled by a bare QObject on a bare Qt loop.
//  startup_qt: from process start to the first window's show event, a main
//    window opened through the runtime on the Qt backend; the baseline is a
//    bare Qt program showing one empty QWidget. Each is measured in a child
//    process (this program, exec'ed with --startup-child) that is handed the
//    start time and exits when the window is shown; the median of 7 runs.
//  startup_main_1m: the same for the program itself - start-up and the main
//    bookmark window - over a data folder holding 1,000,000 bookmarks
//    (MARLINDEN_BENCH_BOOKMARKS to change; the file is made once and kept in
//    bench_data/ of the current directory); the baseline is the same start
//    over an empty bookmark file. Opening must not read the collection.
//
// Prints "NAME VALUE UNIT" and, with a baseline, "ratio R" (ours / baseline).
// Qt runs offscreen unless QT_QPA_PLATFORM says otherwise.
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QWidget>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/DataFiles.h"
#include "app/StartUp.h"
#include "procedures/MainWindow.h"
#include "qt/QtBackend.h"
#include "runtime/files/DataFile.h"
#include "runtime/headless/HeadlessBackend.h"
#include "runtime/system/RuntimeError.h"
#include "runtime/text/FixedText.h"
#include "runtime/ui/EventLoop.h"
#include "runtime/ui/Program.h"
#include "runtime/ui/Window.h"

using namespace runtime::ui;
using Clock = std::chrono::steady_clock;

namespace {

constexpr std::int64_t kEvents = 100'000;
constexpr EventCode kWork = ProgramEvent(1);
constexpr int kStartupRuns = 7;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

WindowDescription EntryWindow() {
  WindowDescription description;
  description.name = "bench";
  ControlDescription entry;
  entry.kind = ControlKind::Entry;
  entry.rect = {0, 0, 40, 10};
  description.controls.push_back(entry);
  return description;
}

// A window shaped like the program's main window: menu bar, a sheet with
// four tabs, a two-column list and seven buttons.
WindowDescription MainLikeWindow() {
  WindowDescription d;
  d.name = "Main";
  d.title = "Marlinden";
  d.rect = {10, 10, 360, 220};
  d.frame = Frame::Resizable;
  auto add = [&](ControlKind kind, std::string text, Rect rect, std::int32_t parent = -1) {
    ControlDescription c;
    c.kind = kind;
    c.text = std::move(text);
    c.rect = rect;
    c.parentIndex = parent;
    d.controls.push_back(c);
  };
  for (const char* item :
       {"&Exit", "&Go To Web Page", "&Print ", "&Import Bookmarks", "&Export Bookmarks", "&Send An Email", "&About"}) {
    add(ControlKind::MenuItem, item, {});
  }
  add(ControlKind::Sheet, "", {4, 4, 352, 180});
  const std::int32_t sheet = static_cast<std::int32_t>(d.controls.size()) - 1;
  for (const char* tab : {"URL", "Description", "http", "ftp"}) add(ControlKind::Tab, tab, {}, sheet);
  add(ControlKind::List, "", {8, 20, 344, 160}, sheet + 1);
  ListColumn url, description;
  url.header = "URL";
  url.width = 196;
  description.header = "Description";
  description.width = 141;
  d.controls.back().columns = {url, description};
  std::int32_t x = 4;
  for (const char* button :
       {"&Query", "Close", "Set URL to Favorite", "&Insert", "&Change", "&Delete", "Go To Web Page"}) {
    add(ControlKind::Button, button, {x, 190, 48, 14});
    x += 50;
  }
  return d;
}

// --- Headless -----------------------------------------------------------------------

bool EventLoopHeadless() {
  HeadlessBackend backend;
  Program program(backend);
  double seconds = 0;
  std::int64_t handled = 0;
  if (!program.Start([&] {
        auto window = Window::Open(EntryWindow());
        const auto start = Clock::now();
        for (std::int64_t i = 0; i < kEvents; ++i) window->Post(kWork, 1);
        window->Post(EventCode::CloseWindow);
        RunEventLoop(*window, [&](const Event& e) {
          if (e.code == kWork) handled += e.control;
          return LoopAction::CarryOn;
        });
        seconds = Seconds(start);
      })) {
    std::fprintf(stderr, "could not start the runtime thread\n");
    return false;
  }
  program.WaitForEnd();
  if (handled != kEvents) {
    std::fprintf(stderr, "handled %lld of %lld events\n", static_cast<long long>(handled),
                 static_cast<long long>(kEvents));
    return false;
  }
  std::printf("event_loop_headless %.0f events/s\n", static_cast<double>(kEvents) / seconds);
  return true;
}

// --- Qt event loop --------------------------------------------------------------------

const QEvent::Type kBareEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

class Counter : public QObject {
 public:
  explicit Counter(QEventLoop& loop) : loop_(loop) {}
  std::int64_t handled = 0;

 protected:
  bool event(QEvent* event) override {
    if (event->type() != kBareEvent) return QObject::event(event);
    if (++handled == kEvents) loop_.quit();
    return true;
  }

 private:
  QEventLoop& loop_;
};

double BareQtEvents() {
  QEventLoop loop;
  Counter counter(loop);
  const auto start = Clock::now();
  for (std::int64_t i = 0; i < kEvents; ++i) QCoreApplication::postEvent(&counter, new QEvent(kBareEvent));
  loop.exec();
  return Seconds(start);
}

// Waits on the GUI thread, serving the backend, until done holds.
template <typename Done>
void Pump(Done done) {
  while (!done()) QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 10);
}

double RuntimeQtEvents() {
  runtime::qt::QtBackend backend;
  Program program(backend);
  QEventLoop loop;
  std::atomic<std::int64_t> handled{0};
  if (!program.Start([&] {
        auto window = Window::Open(EntryWindow());
        RunEventLoop(*window, [&](const Event& e) {
          if (e.code != kWork) return LoopAction::CarryOn;
          if (handled.fetch_add(e.control) + e.control == kEvents) {
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
            return LoopAction::Break;
          }
          return LoopAction::CarryOn;
        });
      })) {
    return -1;
  }
  Pump([&] { return !backend.Windows().empty(); });
  const WindowId id = backend.Windows().front();
  const auto start = Clock::now();
  for (std::int64_t i = 0; i < kEvents; ++i) PostInput(Event{kWork, 1, id, {}});
  loop.exec();
  const double seconds = Seconds(start);
  Pump([&] { return program.WaitForEnd(std::chrono::milliseconds(0)); });
  return seconds;
}

// --- Start-up -------------------------------------------------------------------------

std::int64_t NowNanos() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

// Reports the time since start when the first window is shown, and exits.
class FirstShow : public QObject {
 public:
  explicit FirstShow(std::int64_t startNanos) : start_(startNanos) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show && watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow()) {
      std::printf("%lld\n", static_cast<long long>(NowNanos() - start_));
      std::fflush(stdout);
      std::_Exit(0);
    }
    return false;
  }

 private:
  std::int64_t start_;
};

int StartupChild(const std::string& mode, std::int64_t startNanos) {
  int argc = 1;
  char name[] = "event_loop";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  FirstShow watch(startNanos);
  app.installEventFilter(&watch);
  if (mode == "bare") {
    QWidget window;
    window.show();
    return QApplication::exec();
  }
  runtime::qt::QtBackend backend;
  Program program(backend);
  if (mode.rfind("program:", 0) == 0) {
    if (::chdir(mode.c_str() + 8) != 0) return 1;
    if (!program.Start([] { (void)marlinden::RunProgram(marlinden::MainBookmarkWindow); })) return 1;
    return QApplication::exec();
  }
  if (!program.Start([] {
        auto window = Window::Open(MainLikeWindow());
        RunEventLoop(*window, [](const Event&) { return LoopAction::CarryOn; });
      })) {
    return 1;
  }
  return QApplication::exec();
}

// Median nanoseconds from spawning a child in mode to its first window.
double StartupSeconds(const char* self, const char* mode) {
  std::vector<double> runs;
  for (int run = 0; run < kStartupRuns; ++run) {
    int out[2];
    if (::pipe(out) != 0) return -1;
    const std::string start = std::to_string(NowNanos());
    const pid_t child = ::fork();
    if (child == 0) {
      ::dup2(out[1], STDOUT_FILENO);
      ::close(out[0]);
      ::close(out[1]);
      ::execl(self, self, "--startup-child", mode, start.c_str(), static_cast<char*>(nullptr));
      std::_Exit(127);
    }
    ::close(out[1]);
    char buffer[64] = {};
    const ssize_t got = ::read(out[0], buffer, sizeof buffer - 1);
    ::close(out[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (child < 0 || got <= 0) return -1;
    runs.push_back(std::strtod(buffer, nullptr) / 1e9);
  }
  std::sort(runs.begin(), runs.end());
  return runs[runs.size() / 2];
}

// A data folder whose bookmark file holds records bookmarks (made once).
std::string BookmarkFolder(std::size_t records) {
  const std::string folder = "bench_data/startup" + std::to_string(records);
  const std::string marker = folder + "/complete";
  if (::access(marker.c_str(), F_OK) == 0) return folder;
  (void)std::system(("rm -rf '" + folder + "' && mkdir -p '" + folder + "'").c_str());
  auto file = runtime::DataFile::Make(runtime::Driver::Keyed, marlinden::BookmarkLayout(), folder + "/MARLINDEN");
  if (file->Create() != runtime::NoError ||
      file->Open(runtime::AccessReadWrite | runtime::ShareDenyNone) != runtime::NoError) {
    return {};
  }
  std::fprintf(stderr, "event_loop: storing %zu bookmarks\n", records);
  for (std::size_t added = 0; added < records;) {
    if (file->BeginTransaction(5) != runtime::NoError) return {};
    for (std::size_t end = std::min(records, added + 10000); added < end;) {
      file->ClearBuffer();
      file->Record().Field("WEB:NUM").SetInteger(static_cast<std::int64_t>(++added));
      file->Record().Field("WEB:URL").SetText("https://www.site-" + std::to_string(added) + ".example/");
      file->Record().Field("WEB:DESCRIPTION").SetText("Page " + std::to_string(added));
      if (file->Add() != runtime::NoError) return {};
    }
    if (file->Commit() != runtime::NoError) return {};
  }
  (void)file->Close();
  std::FILE* done = std::fopen(marker.c_str(), "w");
  if (done == nullptr) return {};
  std::fclose(done);
  return folder;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (argc == 4 && std::strcmp(argv[1], "--startup-child") == 0) {
    return StartupChild(argv[2], std::strtoll(argv[3], nullptr, 10));
  }
  if (!EventLoopHeadless()) return 1;

  {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const double bare = BareQtEvents();
    const double ours = RuntimeQtEvents();
    if (ours < 0) {
      std::fprintf(stderr, "could not start the runtime thread\n");
      return 1;
    }
    std::printf("event_loop_qt %.0f events/s ratio %.2f\n", static_cast<double>(kEvents) / ours, ours / bare);
    std::printf("event_loop_qt_baseline %.0f events/s\n", static_cast<double>(kEvents) / bare);
  }

  const double bareStart = StartupSeconds("/proc/self/exe", "bare");
  const double ourStart = StartupSeconds("/proc/self/exe", "marlinden");
  if (bareStart <= 0 || ourStart <= 0) {
    std::fprintf(stderr, "a start-up child failed\n");
    return 1;
  }
  std::printf("startup_qt %.1f ms ratio %.2f\n", ourStart * 1e3, ourStart / bareStart);
  std::printf("startup_qt_baseline %.1f ms\n", bareStart * 1e3);

  const char* count = std::getenv("MARLINDEN_BENCH_BOOKMARKS");
  const std::size_t records = count != nullptr ? std::strtoull(count, nullptr, 10) : 1000000;
  const std::string full = BookmarkFolder(records);
  const std::string empty = BookmarkFolder(0);
  if (full.empty() || empty.empty()) {
    std::fprintf(stderr, "could not make the bookmark files\n");
    return 1;
  }
  const double emptyStart = StartupSeconds("/proc/self/exe", ("program:" + empty).c_str());
  const double fullStart = StartupSeconds("/proc/self/exe", ("program:" + full).c_str());
  if (emptyStart <= 0 || fullStart <= 0) {
    std::fprintf(stderr, "a program start failed\n");
    return 1;
  }
  std::printf("startup_main_%zu %.1f ms ratio %.2f\n", records, fullStart * 1e3, fullStart / emptyStart);
  std::printf("startup_main_empty %.1f ms\n", emptyStart * 1e3);
  return 0;
}
