#include "runtime/system/RuntimeLock.h"

#include <cassert>
#include <mutex>

#include "runtime/system/ThreadSwitch.h"

namespace runtime {

namespace {
std::mutex lock;
thread_local bool held = false;
}  // namespace

void RuntimeLock::Acquire() {
  assert(!held);
  lock.lock();
  held = true;
  RunThreadSwitchHooks();
}

void RuntimeLock::Release() {
  assert(held);
  held = false;
  lock.unlock();
}

bool RuntimeLock::HeldByThisThread() { return held; }

UnlockedSection::UnlockedSection() : released_(held) {
  if (released_) RuntimeLock::Release();
}

UnlockedSection::~UnlockedSection() {
  if (released_) RuntimeLock::Acquire();
}

LockedSection::LockedSection() : acquired_(!held) {
  if (acquired_) RuntimeLock::Acquire();
}

LockedSection::~LockedSection() {
  if (acquired_) RuntimeLock::Release();
}

}  // namespace runtime
