#include "runtime/system/FileLocks.h"

#include <cerrno>

namespace runtime {

namespace {
constexpr std::size_t kMappedBytes = 4096;
}  // namespace

std::unique_ptr<LockFile> LockFile::Open(const std::string& path, int& error) {
  FileSystem& files = CurrentFileSystem();
  int fd = -1;
  bool writable = true;
  error = files.Open(path, FileAccess::ReadWrite, FileCreation::CreateIfMissing, fd);
  if (error != 0) {
    error = files.Open(path, FileAccess::Read, FileCreation::Existing, fd);
    writable = false;
  }
  if (error != 0) return nullptr;
  std::unique_ptr<LockFile> file(new LockFile(fd, writable));
  file->MapCounter();
  return file;
}

LockFile::LockFile(int fd, bool writable) : fd_(fd), writable_(writable) {}

LockFile::~LockFile() {
  if (mapping_ != nullptr) CurrentFileSystem().Unmap(mapping_, kMappedBytes);
  (void)CurrentFileSystem().Close(fd_);  // drops every lock of this description
}

void LockFile::MapCounter() {
  FileSystem& files = CurrentFileSystem();
  FileInfo info;
  if (files.StatOpen(fd_, info) != 0) return;
  // Growing the file is harmless when two owners race: both write zeros.
  if (info.size < static_cast<std::int64_t>(kMappedBytes) && (!writable_ || files.Truncate(fd_, kMappedBytes) != 0)) {
    return;
  }
  void* at = nullptr;
  if (files.MapShared(fd_, kMappedBytes, writable_, at) != 0) return;
  mapping_ = at;
  static_assert(std::atomic<std::int64_t>::is_always_lock_free, "the shared counter must be address-free");
  counter_ = static_cast<std::atomic<std::int64_t>*>(at);
  // A read-only owner may only read the counter; it never holds records.
}

LockResult LockFile::TryLock(std::int64_t offset, LockKind kind) {
  const int error = CurrentFileSystem().LockByte(fd_, offset, kind, LockWait::NoWait);
  if (error == 0) return LockResult::Taken;
  return (error == EAGAIN || error == EACCES) ? LockResult::Busy : LockResult::Failed;
}

bool LockFile::LockWaiting(std::int64_t offset) {
  return CurrentFileSystem().LockByte(fd_, offset, LockKind::Exclusive, LockWait::Wait) == 0;
}

void LockFile::Unlock(std::int64_t offset) { (void)CurrentFileSystem().UnlockByte(fd_, offset); }

bool LockFile::LockedByOther(std::int64_t offset, LockKind kind) const {
  bool locked = false;
  if (CurrentFileSystem().ByteLockedByOther(fd_, offset, kind, locked) != 0) return false;
  return locked;
}

}  // namespace runtime
