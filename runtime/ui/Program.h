// A program run: installs the backend, starts runtime thread 1 with the main
// procedure, and tells when the program has ended. The program ends when
// thread 1 ends: every other runtime thread is then handed a CloseDown event
// in its event loop, its windows close, and the run is over when the last
// runtime thread has finished. One program runs at a time.
//
// Thread: any thread that is not a runtime thread (main(), a test).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

namespace runtime::ui {

class Backend;
class CursorService;
class MessageBoxService;

class Program {
 public:
  // backend is borrowed and must outlive the program; it is installed as the
  // runtime's backend and serves ShowMessage and the cursor service until the
  // program is destroyed.
  explicit Program(Backend& backend);
  // Waits for the end when started (unless halted).
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // Called once, on the last runtime thread as it finishes (a GUI backend
  // quits its event loop here). Set before Start.
  void OnEnd(std::function<void()> onEnd);
  // Called once by a halt (HaltProgram, RuntimeThread.h) on the halting
  // thread, after the program's shutdown steps: the backend leaves its loop
  // and ends the process with exitCode (the halting thread never ends, so
  // the program is not waited for). Set before Start.
  void OnHalt(std::function<void(int exitCode)> onHalt);
  // The exit code of a halt that has begun; none while the program runs
  // its normal course.
  std::optional<int> HaltCode() const;
  // Starts thread 1 running main. Requires: not started yet.
  // Returns false when the thread could not be created.
  [[nodiscard]] bool Start(std::function<void()> main, std::uint32_t stackBytes = 0);
  // Blocks until every runtime thread has finished; false when timeout
  // passed first.
  bool WaitForEnd(std::chrono::milliseconds timeout);
  void WaitForEnd();

 private:
  void JoinThreads();

  // Constant after construction.
  Backend& backend_;
  Backend* previousBackend_;
  MessageBoxService* previousMessageBoxes_;
  CursorService* previousCursors_;
  // Used by the constructing thread only.
  bool started_ = false;
  bool joined_ = false;
};

}  // namespace runtime::ui
