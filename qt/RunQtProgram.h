// The program's entry on Qt: creates the QApplication on the calling
// (main) thread, runs the runtime's program with the Qt backend, with
// mainProcedure on runtime thread 1, and runs Qt's event loop until the
// program has ended. Returns the process's exit status. While it runs, a
// halt (Halt.h) ends the program in order (ui::HaltProgram) and the process
// with the halt's exit code.
// Thread: the process's main thread, once.
#pragma once

#include <functional>

namespace runtime::qt {

int RunQtProgram(int& argc, char** argv, std::function<void()> mainProcedure);

}  // namespace runtime::qt
