// The real file system: the calls of this POSIX system (Linux: the byte
// locks are open-file-description locks and RenameNoReplace is atomic).
#pragma once

#include "runtime/system/FileSystem.h"

namespace runtime {

class PosixFileSystem final : public FileSystem {
 public:
  int Open(const std::string& path, FileAccess access, FileCreation creation, int& fd) override;
  int CreateUnique(std::string& pathTemplate, int& fd) override;
  int Close(int fd) override;
  int Read(int fd, std::int64_t offset, char* into, std::size_t size, std::size_t& got) override;
  int Write(int fd, std::int64_t offset, std::string_view bytes, std::size_t& written) override;
  int Sync(int fd) override;
  int Truncate(int fd, std::int64_t size) override;
  int StatOpen(int fd, FileInfo& info) override;
  int SetPermissions(int fd, std::uint32_t mode) override;
  int LockWhole(int fd, LockKind kind) override;
  int LockByte(int fd, std::int64_t offset, LockKind kind, LockWait wait) override;
  int UnlockByte(int fd, std::int64_t offset) override;
  int ByteLockedByOther(int fd, std::int64_t offset, LockKind kind, bool& locked) override;
  int MapShared(int fd, std::size_t size, bool writable, void*& at) override;
  void Unmap(void* at, std::size_t size) override;

  int Stat(const std::string& path, LinkHandling links, FileInfo& info) override;
  int CheckWritable(const std::string& path) override;
  int Rename(const std::string& from, const std::string& to) override;
  int RenameNoReplace(const std::string& from, const std::string& to) override;
  int Unlink(const std::string& path) override;
  int SyncDirectory(const std::string& path) override;
  int ListNames(const std::string& directory, std::vector<std::string>& names) override;
  int RealPath(const std::string& path, std::string& resolved) override;
  int CurrentDirectory(std::string& path) override;
  int ChangeDirectory(const std::string& path) override;
};

}  // namespace runtime
