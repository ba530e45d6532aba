// The program's entry: start-up, the main bookmark window and shutdown run
// on the runtime's first thread, with the Qt backend showing the windows.
// There is no command line; the exit code is 0 in every case.
#include "app/StartUp.h"
#include "procedures/MainWindow.h"
#include "runtime/qt/RunQtProgram.h"

int main(int argc, char** argv) {
  runtime::qt::RunQtProgram(argc, argv, [] { (void)marlinden::RunProgram(marlinden::MainBookmarkWindow); });
  return 0;
}
