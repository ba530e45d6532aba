#include "runtime/qt/RunQtProgram.h"

#include <QApplication>
#include <QMetaObject>
#include <cstdio>

#include "runtime/qt/QtBackend.h"
#include "runtime/qt/SessionEnd.h"
#include "runtime/ui/Program.h"

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
    if (!program.Start(std::move(mainProcedure))) {
      std::fprintf(stderr, "could not start the program's first thread\n");
      return 1;
    }
    QApplication::exec();
    program.WaitForEnd();
  }
  return 0;
}

}  // namespace runtime::qt
