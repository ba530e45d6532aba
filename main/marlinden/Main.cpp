// The program's entry: start-up, the main procedure and shutdown run on the
// runtime's first thread, with the Qt backend showing the windows. There is
// no command line; the exit code is 0 in every case.
#include "app/StartUp.h"
#include "procedures/AboutWindow.h"
#include "runtime/qt/RunQtProgram.h"

namespace {

// The main procedure. Until the main bookmark window exists, the About
// window stands in for it, so the program starts and shows a real window;
// closing it ends the program.
void MainProcedure() { marlinden::About(); }

}  // namespace

int main(int argc, char** argv) {
  runtime::qt::RunQtProgram(argc, argv, [] { (void)marlinden::RunProgram(MainProcedure); });
  return 0;
}
