#include "runtime/platform/DesktopPrograms.h"

#include <mutex>
#include <utility>

namespace runtime::platform {
namespace {

std::mutex& ProgramsMutex() {
  static std::mutex mutex;
  return mutex;
}

DesktopPrograms& Programs() {
  static DesktopPrograms programs;
  return programs;
}

}  // namespace

DesktopPrograms CurrentDesktopPrograms() {
  std::lock_guard lock(ProgramsMutex());
  return Programs();
}

DesktopPrograms SetDesktopPrograms(DesktopPrograms programs) {
  std::lock_guard lock(ProgramsMutex());
  return std::exchange(Programs(), std::move(programs));
}

}  // namespace runtime::platform
