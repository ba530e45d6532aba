// A program the Qt tests run in a child process: the real start-up on the
// Qt backend, a bookmark added on thread 1, then a fatal message raised on
// thread 2 while thread 1 waits in its window. Its user answers every
// message box with OK. Argument: the folder to run in (the data folder).
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "app/DataFiles.h"
#include "app/Globals.h"
#include "app/StartUp.h"
#include "errors/MessageIds.h"
#include "qt/RunQtProgram.h"
#include "runtime/ui/EventLoop.h"
#include "runtime/ui/RuntimeThread.h"
#include "runtime/ui/Window.h"

namespace {

using namespace marlinden;

runtime::ui::WindowDescription Form(const char* name) {
  runtime::ui::WindowDescription d;
  d.name = name;
  d.title = name;
  d.rect = {10, 10, 120, 60};
  return d;
}

// The user: presses OK on any message box that is open.
void AnswerMessageBoxes() {
  auto* timer = new QTimer(QCoreApplication::instance());
  QObject::connect(timer, &QTimer::timeout, [] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(widget);
      if (box == nullptr || !box->isVisible()) continue;
      std::fprintf(stdout, "box: %s\n", box->windowTitle().toUtf8().constData());
      std::fflush(stdout);
      if (QAbstractButton* ok = box->button(QMessageBox::Ok)) ok->click();
    }
  });
  timer->start(20);
}

void MainProcedure() {
  QMetaObject::invokeMethod(QCoreApplication::instance(), &AnswerMessageBoxes, Qt::QueuedConnection);
  if (BookmarkStoreRelations->Open() != SeverityOk) return;
  BookmarkStore().Record().Clear();
  BookmarkStore().Record().Field(WebUrl).SetText("http://kept/");
  if (BookmarkStoreManager->Insert() != SeverityOk) return;
  runtime::ui::StartThread(
      [] {
        (void)BookmarkStoreRelations->Open();
        (void)BookmarkStoreManager->UseFile();
        ErrorManager& errors = GlobalErrors;
        errors.SetFileName("Marlinden");
        (void)errors.Raise(MsgOpenFailed);  // severity Fatal: the program halts
        std::fprintf(stdout, "returned from a fatal message\n");
      },
      25000);
  auto window = runtime::ui::Window::Open(Form("main"));
  runtime::ui::RunEventLoop(*window, [](const runtime::ui::Event&) { return runtime::ui::LoopAction::CarryOn; });
  std::fprintf(stdout, "main window closed\n");
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || ::chdir(argv[1]) != 0) return 2;
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  const int status = runtime::qt::RunQtProgram(argc, argv, [] { (void)RunProgram(MainProcedure); });
  std::fprintf(stdout, "ended without a halt\n");
  return status == 0 ? 3 : status;
}
