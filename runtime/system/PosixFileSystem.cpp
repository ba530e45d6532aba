#include "runtime/system/PosixFileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace runtime {

namespace {

FileInfo InfoOf(const struct stat& status) {
  FileInfo info;
  info.size = static_cast<std::int64_t>(status.st_size);
  info.mode = status.st_mode;
  info.changedSeconds = static_cast<std::int64_t>(status.st_mtim.tv_sec);
  info.changedNanoseconds = static_cast<std::int64_t>(status.st_mtim.tv_nsec);
  return info;
}

// Lock operations on one byte; open-file-description locks need l_pid 0.
struct flock ByteLock(std::int64_t offset, short type) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = static_cast<off_t>(offset);
  lock.l_len = 1;
  lock.l_pid = 0;
  return lock;
}

short LockType(LockKind kind) { return kind == LockKind::Shared ? F_RDLCK : F_WRLCK; }

// Runs call until it is not interrupted by a signal; 0 or errno.
template <typename Call>
int Retrying(Call call) {
  for (;;) {
    if (call() >= 0) return 0;
    if (errno != EINTR) return errno;
  }
}

}  // namespace

int PosixFileSystem::Open(const std::string& path, FileAccess access, FileCreation creation, int& fd) {
  int flags = O_CLOEXEC;
  flags |= access == FileAccess::Read ? O_RDONLY : (access == FileAccess::Write ? O_WRONLY : O_RDWR);
  if (creation == FileCreation::CreateIfMissing) flags |= O_CREAT;
  if (creation == FileCreation::CreateNew) flags |= O_CREAT | O_EXCL;
  fd = -1;
  return Retrying([&] { return fd = ::open(path.c_str(), flags, 0666); });
}

int PosixFileSystem::CreateUnique(std::string& pathTemplate, int& fd) {
  fd = ::mkostemp(pathTemplate.data(), O_CLOEXEC);
  return fd < 0 ? errno : 0;
}

int PosixFileSystem::Close(int fd) {
  // The descriptor is gone even when close reports an error: never retried.
  return ::close(fd) == 0 || errno == EINTR ? 0 : errno;
}

int PosixFileSystem::Read(int fd, std::int64_t offset, char* into, std::size_t size, std::size_t& got) {
  got = 0;
  ssize_t n = 0;
  if (const int error = Retrying([&] { return n = ::pread(fd, into, size, static_cast<off_t>(offset)); })) return error;
  got = static_cast<std::size_t>(n);
  return 0;
}

int PosixFileSystem::Write(int fd, std::int64_t offset, std::string_view bytes, std::size_t& written) {
  written = 0;
  ssize_t n = 0;
  if (const int error =
          Retrying([&] { return n = ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset)); })) {
    return error;
  }
  written = static_cast<std::size_t>(n);
  return 0;
}

int PosixFileSystem::Sync(int fd) {
  return Retrying([&] { return ::fsync(fd); });
}

int PosixFileSystem::Truncate(int fd, std::int64_t size) {
  return Retrying([&] { return ::ftruncate(fd, static_cast<off_t>(size)); });
}

int PosixFileSystem::StatOpen(int fd, FileInfo& info) {
  struct stat status {};
  if (::fstat(fd, &status) != 0) return errno;
  info = InfoOf(status);
  return 0;
}

int PosixFileSystem::SetPermissions(int fd, std::uint32_t mode) {
  return Retrying([&] { return ::fchmod(fd, static_cast<mode_t>(mode & 07777)); });
}

int PosixFileSystem::LockWhole(int fd, LockKind kind) {
  return Retrying([&] { return ::flock(fd, (kind == LockKind::Shared ? LOCK_SH : LOCK_EX) | LOCK_NB); });
}

int PosixFileSystem::LockByte(int fd, std::int64_t offset, LockKind kind, LockWait wait) {
  struct flock lock = ByteLock(offset, LockType(kind));
  return Retrying([&] { return ::fcntl(fd, wait == LockWait::Wait ? F_OFD_SETLKW : F_OFD_SETLK, &lock); });
}

int PosixFileSystem::UnlockByte(int fd, std::int64_t offset) {
  struct flock lock = ByteLock(offset, F_UNLCK);
  return Retrying([&] { return ::fcntl(fd, F_OFD_SETLK, &lock); });
}

int PosixFileSystem::ByteLockedByOther(int fd, std::int64_t offset, LockKind kind, bool& locked) {
  struct flock lock = ByteLock(offset, LockType(kind));
  locked = false;
  if (::fcntl(fd, F_OFD_GETLK, &lock) != 0) return errno;
  locked = lock.l_type != F_UNLCK;
  return 0;
}

int PosixFileSystem::MapShared(int fd, std::size_t size, bool writable, void*& at) {
  at = ::mmap(nullptr, size, writable ? PROT_READ | PROT_WRITE : PROT_READ, MAP_SHARED, fd, 0);
  if (at != MAP_FAILED) return 0;
  at = nullptr;
  return errno;
}

void PosixFileSystem::Unmap(void* at, std::size_t size) { ::munmap(at, size); }

int PosixFileSystem::Stat(const std::string& path, LinkHandling links, FileInfo& info) {
  struct stat status {};
  const int result = links == LinkHandling::Follow ? ::stat(path.c_str(), &status) : ::lstat(path.c_str(), &status);
  if (result != 0) return errno;
  info = InfoOf(status);
  return 0;
}

int PosixFileSystem::CheckWritable(const std::string& path) { return ::access(path.c_str(), W_OK) == 0 ? 0 : errno; }

int PosixFileSystem::Rename(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int PosixFileSystem::RenameNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  const int error = errno;
  if (error != EINVAL && error != ENOSYS) return error;
  // A file system without the flag: a hard link never replaces either.
  if (::link(from.c_str(), to.c_str()) != 0) return errno;
  (void)::unlink(from.c_str());
  return 0;
}

int PosixFileSystem::Unlink(const std::string& path) { return ::unlink(path.c_str()) == 0 ? 0 : errno; }

int PosixFileSystem::SyncDirectory(const std::string& path) {
  int fd = -1;
  if (const int error = Retrying([&] { return fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); })) {
    return error;
  }
  const int error = Sync(fd);
  ::close(fd);
  return error;
}

int PosixFileSystem::ListNames(const std::string& directory, std::vector<std::string>& names) {
  names.clear();
  DIR* handle = ::opendir(directory.c_str());
  if (handle == nullptr) return errno;
  int error = 0;
  for (;;) {
    errno = 0;
    const dirent* item = ::readdir(handle);
    if (item == nullptr) {
      error = errno;
      break;
    }
    const std::string_view name = item->d_name;
    if (name != "." && name != "..") names.emplace_back(name);
  }
  ::closedir(handle);
  return error;
}

int PosixFileSystem::RealPath(const std::string& path, std::string& resolved) {
  char* target = ::realpath(path.c_str(), nullptr);
  if (target == nullptr) return errno;
  resolved = target;
  std::free(target);
  return 0;
}

int PosixFileSystem::CurrentDirectory(std::string& path) {
  char* current = ::getcwd(nullptr, 0);
  if (current == nullptr) return errno;
  path = current;
  std::free(current);
  return 0;
}

int PosixFileSystem::ChangeDirectory(const std::string& path) { return ::chdir(path.c_str()) == 0 ? 0 : errno; }

}  // namespace runtime
