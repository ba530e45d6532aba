// The runtime lock: one process-wide lock a runtime thread holds whenever it
// runs program code, so program code never runs on two threads at once. The
// runtime releases it while a thread waits in its event loop, waits for the
// answer to a modal question, or sits in a blocking call (UnlockedSection).
// Threads outside the runtime (a test driver) take it with LockedSection to
// read or change the window model. The GUI thread never takes it.
#pragma once

namespace runtime {

class RuntimeLock {
 public:
  // Requires: the calling thread does not hold the lock. Puts the calling
  // thread's per-thread state in place (ThreadSwitch.h) once taken.
  static void Acquire();
  // Requires: the calling thread holds the lock.
  static void Release();
  static bool HeldByThisThread();
};

// Releases the lock for its lifetime when the calling thread holds it (e.g.
// around the mail call); otherwise does nothing.
class UnlockedSection {
 public:
  UnlockedSection();
  ~UnlockedSection();
  UnlockedSection(const UnlockedSection&) = delete;
  UnlockedSection& operator=(const UnlockedSection&) = delete;

 private:
  bool released_ = false;
};

// Takes the lock for its lifetime unless the calling thread holds it already.
class LockedSection {
 public:
  LockedSection();
  ~LockedSection();
  LockedSection(const LockedSection&) = delete;
  LockedSection& operator=(const LockedSection&) = delete;

 private:
  bool acquired_ = false;
};

}  // namespace runtime
