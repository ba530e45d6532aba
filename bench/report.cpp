// The report benchmark's two programs, timed by bench/report.sh:
//
// report OUTPUT.pdf < addresses
//   The floor: the same lines as the Web Page List (a header on every page,
//   one address a line, the total) written to a PDF file with one QPainter,
//   reading the addresses from standard input.
//
// report --preview DATA_FOLDER
//   The preview's build: the Web Page List run over the bookmarks of the
//   data folder as the window program runs it (the preview question answered
//   Yes, the progress window taking its timer events on the real clock), on
//   the headless backend. Prints the seconds from the start until the
//   preview is shown, and the number of pages it shows.
#include <QGuiApplication>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>

#include "app/StartUp.h"
#include "procedures/WebPageList.h"
#include "runtime/headless/HeadlessBackend.h"
#include "runtime/ui/Program.h"

namespace {

using Clock = std::chrono::steady_clock;

// Notes when the preview is shown and how many pages it holds.
class PreviewTimingBackend : public runtime::ui::HeadlessBackend {
 public:
  runtime::ui::PreviewAnswer ShowPreview(const runtime::ui::PreviewRequest& request) override {
    shownAt = Clock::now();
    pages = request.pages.size();
    return HeadlessBackend::ShowPreview(request);
  }
  Clock::time_point shownAt;
  std::size_t pages = 0;
};

int PreviewBuild(const char* folder) {
  std::error_code error;
  std::filesystem::current_path(folder, error);
  if (error) {
    std::cerr << "report: cannot enter " << folder << ": " << error.message() << "\n";
    return 1;
  }
  PreviewTimingBackend backend;
  const auto unscripted = [](std::string_view kind, std::string_view what) {
    std::cerr << "report: unanswered " << kind << ": " << what << "\n";
  };
  backend.OnUnscripted(unscripted);
  backend.MessageBoxes().OnUnscripted(
      [&](const runtime::ui::MessageBoxRequest& request) { unscripted(request.caption, request.text); });
  backend.MessageBoxes().Script(runtime::ui::ButtonYes);  // preview
  backend.ScriptPreviewAnswer(runtime::ui::PreviewAnswer::Cancel);
  runtime::ui::Program program(backend);
  const Clock::time_point start = Clock::now();
  if (!program.Start([] { (void)marlinden::RunProgram([] { (void)marlinden::WebPageList(); }); })) return 1;
  program.WaitForEnd();
  if (backend.pages == 0) {
    std::cerr << "report: no preview was shown\n";
    return 1;
  }
  std::printf("%.3f %zu\n", std::chrono::duration<double>(backend.shownAt - start).count(), backend.pages);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--preview") == 0) return PreviewBuild(argv[2]);
  if (argc != 2) {
    std::cerr << "usage: report OUTPUT.pdf < addresses | report --preview DATA_FOLDER\n";
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int qtArgc = 1;
  QGuiApplication app(qtArgc, argv);
  QPdfWriter writer(QString::fromLocal8Bit(argv[1]));
  writer.setPageSize(QPageSize(QPageSize::Letter));
  writer.setResolution(1000);  // one unit per thousandth of an inch, like the report
  QPainter painter(&writer);
  const QFont title("Arial", 14, QFont::Bold);
  const QFont text("Arial", 10);
  int page = 0;
  int y = 0;
  long count = 0;
  auto header = [&] {
    if (page > 0) writer.newPage();
    ++page;
    painter.setFont(title);
    painter.drawText(QRect(500, 500, 7500, 320), Qt::AlignCenter, QStringLiteral("Web Page List"));
    painter.setFont(text);
    painter.drawText(QRect(500, 900, 4500, 200), Qt::AlignLeft, QStringLiteral("Run: 12/7/26  2:05 PM"));
    painter.drawText(QRect(6000, 900, 2000, 200), Qt::AlignRight, QStringLiteral("Page: %1").arg(page));
    painter.drawText(QRect(500, 1200, 7500, 200), Qt::AlignLeft, QStringLiteral("Web Address"));
    painter.drawLine(500, 1420, 8000, 1420);
    y = 1500;
  };
  std::string line;
  header();
  while (std::getline(std::cin, line)) {
    if (y + 200 > 10500) header();
    painter.save();
    painter.setClipRect(QRect(500, y, 7500, 200));
    painter.drawText(QRect(500, y, 7500, 200), Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(line));
    painter.restore();
    y += 200;
    ++count;
  }
  if (y + 450 > 10500) header();
  painter.drawText(QRect(500, y + 200, 4500, 200), Qt::AlignLeft, QStringLiteral("Total Number Of Web Pages Listed"));
  painter.drawText(QRect(5100, y + 200, 2900, 200), Qt::AlignRight, QString::number(count));
  return painter.end() ? 0 : 1;
}
