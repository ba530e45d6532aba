#include "runtime/system/FileLocks.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>

namespace runtime {

namespace {
constexpr off_t kMappedBytes = 4096;

// Lock operations on one byte; OFD locks need l_pid 0.
flock ByteLock(std::int64_t offset, short type) {
  flock lock{};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = static_cast<off_t>(offset);
  lock.l_len = 1;
  lock.l_pid = 0;
  return lock;
}
}  // namespace

std::unique_ptr<LockFile> LockFile::Open(const std::string& path, int& error) {
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  bool writable = true;
  if (fd < 0) {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    writable = false;
  }
  if (fd < 0) {
    error = errno;
    return nullptr;
  }
  std::unique_ptr<LockFile> file(new LockFile(fd, writable));
  file->MapCounter();
  return file;
}

LockFile::LockFile(int fd, bool writable) : fd_(fd), writable_(writable) {}

LockFile::~LockFile() {
  if (mapping_ != nullptr) ::munmap(mapping_, kMappedBytes);
  ::close(fd_);  // drops every lock of this description
}

void LockFile::MapCounter() {
  struct stat info {};
  if (::fstat(fd_, &info) != 0) return;
  // Growing the file is harmless when two owners race: both write zeros.
  if (info.st_size < kMappedBytes && (!writable_ || ::ftruncate(fd_, kMappedBytes) != 0)) return;
  void* at = ::mmap(nullptr, kMappedBytes, writable_ ? PROT_READ | PROT_WRITE : PROT_READ, MAP_SHARED, fd_, 0);
  if (at == MAP_FAILED) return;
  mapping_ = at;
  static_assert(std::atomic<std::int64_t>::is_always_lock_free, "the shared counter must be address-free");
  counter_ = static_cast<std::atomic<std::int64_t>*>(at);
  // A read-only owner may only read the counter; it never holds records.
}

LockResult LockFile::TryLock(std::int64_t offset, LockKind kind) {
  flock lock = ByteLock(offset, kind == LockKind::Shared ? F_RDLCK : F_WRLCK);
  if (::fcntl(fd_, F_OFD_SETLK, &lock) == 0) return LockResult::Taken;
  return (errno == EAGAIN || errno == EACCES) ? LockResult::Busy : LockResult::Failed;
}

bool LockFile::LockWaiting(std::int64_t offset) {
  flock lock = ByteLock(offset, F_WRLCK);
  while (::fcntl(fd_, F_OFD_SETLKW, &lock) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

void LockFile::Unlock(std::int64_t offset) {
  flock lock = ByteLock(offset, F_UNLCK);
  (void)::fcntl(fd_, F_OFD_SETLK, &lock);
}

bool LockFile::LockedByOther(std::int64_t offset, LockKind kind) const {
  flock lock = ByteLock(offset, kind == LockKind::Shared ? F_RDLCK : F_WRLCK);
  if (::fcntl(fd_, F_OFD_GETLK, &lock) != 0) return false;
  return lock.l_type != F_UNLCK;
}

}  // namespace runtime
