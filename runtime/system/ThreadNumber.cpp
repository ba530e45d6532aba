#include "runtime/system/ThreadNumber.h"

#include <atomic>

namespace runtime {

namespace {
std::atomic<std::int32_t> nextNumber{1};
thread_local std::int32_t current = 0;
}  // namespace

std::int32_t CurrentThreadNumber() {
  if (current == 0) current = nextNumber++;
  return current;
}

void SetCurrentThreadNumber(std::int32_t number) { current = number; }

}  // namespace runtime
