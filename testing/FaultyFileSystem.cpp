#include "testing/FaultyFileSystem.h"

namespace runtime {

void FaultyFileSystem::Fail(FileCall call, int error, int after, FaultRepeat repeat) {
  faults_.push_back(Fault{call, error, after, repeat});
}

void FaultyFileSystem::ShortWrite(int after) {
  faults_.push_back(Fault{FileCall::Write, kShortWrite, after, FaultRepeat::Once});
}

int FaultyFileSystem::Due(FileCall call) {
  ++calls_[static_cast<std::size_t>(call)];
  int due = 0;
  for (auto fault = faults_.begin(); fault != faults_.end();) {
    if (fault->call != call || fault->after-- > 0) {
      ++fault;
      continue;
    }
    if (due == 0) due = fault->error;
    fault = fault->repeat == FaultRepeat::Once ? faults_.erase(fault) : fault + 1;
  }
  return due;
}

int FaultyFileSystem::Open(const std::string& path, FileAccess access, FileCreation creation, int& fd) {
  fd = -1;
  if (const int error = Due(FileCall::Open)) return error;
  return real_.Open(path, access, creation, fd);
}

int FaultyFileSystem::CreateUnique(std::string& pathTemplate, int& fd) {
  fd = -1;
  if (const int error = Due(FileCall::Open)) return error;
  return real_.CreateUnique(pathTemplate, fd);
}

int FaultyFileSystem::Close(int fd) {
  const int error = Due(FileCall::Close);
  const int closed = real_.Close(fd);  // a failed close still lets go of the descriptor
  return error != 0 ? error : closed;
}

int FaultyFileSystem::Read(int fd, std::int64_t offset, char* into, std::size_t size, std::size_t& got) {
  got = 0;
  if (const int error = Due(FileCall::Read)) return error;
  return real_.Read(fd, offset, into, size, got);
}

int FaultyFileSystem::Write(int fd, std::int64_t offset, std::string_view bytes, std::size_t& written) {
  written = 0;
  const int error = Due(FileCall::Write);
  if (error == kShortWrite && bytes.size() > 1)
    bytes = bytes.substr(0, bytes.size() / 2);
  else if (error != 0 && error != kShortWrite)
    return error;
  return real_.Write(fd, offset, bytes, written);
}

int FaultyFileSystem::Sync(int fd) {
  if (const int error = Due(FileCall::Sync)) return error;
  return real_.Sync(fd);
}

int FaultyFileSystem::Truncate(int fd, std::int64_t size) {
  if (const int error = Due(FileCall::Truncate)) return error;
  return real_.Truncate(fd, size);
}

int FaultyFileSystem::StatOpen(int fd, FileInfo& info) {
  if (const int error = Due(FileCall::StatOpen)) return error;
  return real_.StatOpen(fd, info);
}

int FaultyFileSystem::SetPermissions(int fd, std::uint32_t mode) {
  if (const int error = Due(FileCall::Other)) return error;
  return real_.SetPermissions(fd, mode);
}

int FaultyFileSystem::LockWhole(int fd, LockKind kind) {
  if (const int error = Due(FileCall::Lock)) return error;
  return real_.LockWhole(fd, kind);
}

int FaultyFileSystem::LockByte(int fd, std::int64_t offset, LockKind kind, LockWait wait) {
  if (const int error = Due(FileCall::Lock)) return error;
  return real_.LockByte(fd, offset, kind, wait);
}

int FaultyFileSystem::UnlockByte(int fd, std::int64_t offset) {
  if (const int error = Due(FileCall::Lock)) return error;
  return real_.UnlockByte(fd, offset);
}

int FaultyFileSystem::ByteLockedByOther(int fd, std::int64_t offset, LockKind kind, bool& locked) {
  locked = false;
  if (const int error = Due(FileCall::Lock)) return error;
  return real_.ByteLockedByOther(fd, offset, kind, locked);
}

int FaultyFileSystem::MapShared(int fd, std::size_t size, bool writable, void*& at) {
  at = nullptr;
  if (const int error = Due(FileCall::Other)) return error;
  return real_.MapShared(fd, size, writable, at);
}

void FaultyFileSystem::Unmap(void* at, std::size_t size) { real_.Unmap(at, size); }

int FaultyFileSystem::Stat(const std::string& path, LinkHandling links, FileInfo& info) {
  if (const int error = Due(FileCall::Stat)) return error;
  return real_.Stat(path, links, info);
}

int FaultyFileSystem::CheckWritable(const std::string& path) {
  if (const int error = Due(FileCall::Stat)) return error;
  return real_.CheckWritable(path);
}

int FaultyFileSystem::Rename(const std::string& from, const std::string& to) {
  if (const int error = Due(FileCall::Rename)) return error;
  return real_.Rename(from, to);
}

int FaultyFileSystem::RenameNoReplace(const std::string& from, const std::string& to) {
  if (const int error = Due(FileCall::Rename)) return error;
  return real_.RenameNoReplace(from, to);
}

int FaultyFileSystem::Unlink(const std::string& path) {
  if (const int error = Due(FileCall::Unlink)) return error;
  return real_.Unlink(path);
}

int FaultyFileSystem::SyncDirectory(const std::string& path) {
  if (const int error = Due(FileCall::SyncDirectory)) return error;
  return real_.SyncDirectory(path);
}

int FaultyFileSystem::ListNames(const std::string& directory, std::vector<std::string>& names) {
  names.clear();
  if (const int error = Due(FileCall::ListNames)) return error;
  return real_.ListNames(directory, names);
}

int FaultyFileSystem::RealPath(const std::string& path, std::string& resolved) {
  if (const int error = Due(FileCall::Other)) return error;
  return real_.RealPath(path, resolved);
}

int FaultyFileSystem::CurrentDirectory(std::string& path) {
  if (const int error = Due(FileCall::Other)) return error;
  return real_.CurrentDirectory(path);
}

int FaultyFileSystem::ChangeDirectory(const std::string& path) {
  if (const int error = Due(FileCall::Other)) return error;
  return real_.ChangeDirectory(path);
}

}  // namespace runtime
