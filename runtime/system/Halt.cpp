#include "runtime/system/Halt.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace runtime {

namespace {
std::mutex handlerMutex;
HaltHandler installed;

void DefaultHalt(int exitCode, std::string_view text) {
  if (!text.empty()) std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
  std::exit(exitCode);
}
}  // namespace

void Halt(int exitCode, std::string_view text) {
  HaltHandler handler;
  {
    std::lock_guard lock(handlerMutex);
    handler = installed;
  }
  if (handler) {
    handler(exitCode, text);
    return;
  }
  DefaultHalt(exitCode, text);
}

HaltHandler SetHaltHandler(HaltHandler handler) {
  std::lock_guard lock(handlerMutex);
  HaltHandler old = std::move(installed);
  installed = std::move(handler);
  return old;
}

}  // namespace runtime
