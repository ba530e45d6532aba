// Byte-range locks on a lock file, owned by the open file description (Linux
// OFD locks): two LockFile objects are two owners even inside one process,
// and every lock an owner holds goes away when it is destroyed or its process
// dies, however it dies. The first bytes of the file are also mapped as a
// small shared memory area. A LockFile is used by one thread at a time.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "runtime/system/FileSystem.h"

namespace runtime {

enum class LockResult : std::uint8_t { Taken, Busy, Failed };

class LockFile {
 public:
  // Opens (creating it when it is missing and the directory allows) the
  // lock file at path, read-write when possible, else read-only (a
  // read-only owner can take shared locks only). nullptr with errno's value
  // in error when it cannot be opened at all.
  static std::unique_ptr<LockFile> Open(const std::string& path, int& error);
  ~LockFile();

  LockFile(const LockFile&) = delete;
  LockFile& operator=(const LockFile&) = delete;

  bool Writable() const { return writable_; }

  // Non-blocking: Busy when another owner's lock conflicts.
  [[nodiscard]] LockResult TryLock(std::int64_t offset, LockKind kind);
  // Waits for an exclusive lock (for short critical sections only).
  [[nodiscard]] bool LockWaiting(std::int64_t offset);
  void Unlock(std::int64_t offset);
  // Whether another owner holds a lock on offset that conflicts with kind
  // (for Exclusive: any lock at all).
  bool LockedByOther(std::int64_t offset, LockKind kind) const;

  // A 64-bit counter shared by every owner of the file through memory;
  // nullptr when the file could not be mapped.
  std::atomic<std::int64_t>* SharedCounter() { return counter_; }

 private:
  LockFile(int fd, bool writable);
  void MapCounter();

  const int fd_;
  const bool writable_;
  void* mapping_ = nullptr;
  std::atomic<std::int64_t>* counter_ = nullptr;  // inside mapping_
};

}  // namespace runtime
