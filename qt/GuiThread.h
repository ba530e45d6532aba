// Runs work on the GUI thread: the thread that created the QApplication.
// A call from another thread is queued to the GUI thread's event loop and
// blocks until the work is done; a call on the GUI thread runs at once.
// Any thread. Requires: a QApplication exists and its thread runs its event
// loop (or pumps events) while other threads call.
#pragma once

#include <functional>
#include <optional>
#include <utility>

namespace runtime::qt {

bool OnGuiThread();
void RunOnGuiThread(const std::function<void()>& work);

template <typename Work>
auto CallOnGuiThread(Work work) -> decltype(work()) {
  std::optional<decltype(work())> result;
  RunOnGuiThread([&] { result.emplace(work()); });
  return std::move(*result);
}

}  // namespace runtime::qt
