#include "qt/RunQtProgram.h"

#include <QApplication>
#include <QMetaObject>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "qt/QtBackend.h"
#include "qt/SessionEnd.h"
#include "runtime/system/Halt.h"
#include "runtime/ui/Program.h"
#include "runtime/ui/RuntimeThread.h"

namespace runtime::qt {

int RunQtProgram(int& argc, char** argv, std::function<void()> mainProcedure) {
  QApplication app(argc, argv);
  // The runtime closes windows; Qt must not quit when the last one goes.
  QApplication::setQuitOnLastWindowClosed(false);
  QtBackend backend;
  SessionEnd sessionEnd(backend);
  {
    ui::Program program(backend);
    // Called on the last runtime thread; the quit is queued to the GUI
    // thread, so it also works when it comes before the loop runs.
    program.OnEnd(
        [] { QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection); });
    // A halt (a fatal message) has shut the program down in order on its
    // runtime thread; the GUI thread leaves its loop and ends the process.
    program.OnHalt([](int exitCode) {
      QMetaObject::invokeMethod(
          QCoreApplication::instance(), [exitCode] { QCoreApplication::exit(exitCode); }, Qt::QueuedConnection);
    });
    const HaltHandler previous = SetHaltHandler([](int exitCode, std::string_view text) {
      if (!text.empty()) std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
      ui::HaltProgram(exitCode);
    });
    if (!program.Start(std::move(mainProcedure))) {
      std::fprintf(stderr, "could not start the program's first thread\n");
      return 1;
    }
    QApplication::exec();
    if (const std::optional<int> halted = program.HaltCode()) {
      // The halting thread never ends: nothing is destroyed, nothing waited for.
      std::fflush(nullptr);
      std::_Exit(*halted);
    }
    program.WaitForEnd();
    SetHaltHandler(previous);
  }
  return 0;
}

}  // namespace runtime::qt
