#include "runtime/system/FileSystem.h"

#include <sys/stat.h>

#include <atomic>
#include <cerrno>

#include "runtime/system/PosixFileSystem.h"

namespace runtime {

namespace {

PosixFileSystem& RealFileSystem() {
  static PosixFileSystem real;
  return real;
}

std::atomic<FileSystem*> inUse{nullptr};

}  // namespace

bool FileInfo::IsDirectory() const { return S_ISDIR(mode); }
bool FileInfo::IsRegular() const { return S_ISREG(mode); }
bool FileInfo::IsLink() const { return S_ISLNK(mode); }
bool FileInfo::AnyoneMayWrite() const { return (mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0; }

FileSystem& CurrentFileSystem() {
  FileSystem* current = inUse.load(std::memory_order_acquire);
  return current != nullptr ? *current : RealFileSystem();
}

FileSystem* SetFileSystem(FileSystem* fileSystem) {
  FileSystem* previous = inUse.exchange(fileSystem, std::memory_order_acq_rel);
  return previous != nullptr ? previous : &RealFileSystem();
}

int ReadFully(int fd, std::int64_t offset, char* into, std::size_t size, std::size_t& got) {
  got = 0;
  while (got < size) {
    std::size_t n = 0;
    if (const int error =
            CurrentFileSystem().Read(fd, offset + static_cast<std::int64_t>(got), into + got, size - got, n)) {
      return error;
    }
    if (n == 0) break;
    got += n;
  }
  return 0;
}

int WriteFully(int fd, std::int64_t offset, std::string_view bytes) {
  while (!bytes.empty()) {
    std::size_t written = 0;
    if (const int error = CurrentFileSystem().Write(fd, offset, bytes, written)) return error;
    if (written == 0) return EIO;
    bytes.remove_prefix(written);
    offset += static_cast<std::int64_t>(written);
  }
  return 0;
}

}  // namespace runtime
