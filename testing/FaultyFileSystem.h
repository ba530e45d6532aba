// A file system for tests that fails chosen calls: the real file system,
// except that the call armed with Fail answers a chosen errno after a chosen
// number of calls of its kind (once, or from then on, as a full disk does),
// and a write armed with ShortWrite stores only half of its bytes. Put in
// place with SetFileSystem; used by one thread at a time.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/system/FileSystem.h"
#include "runtime/system/PosixFileSystem.h"

namespace runtime {

enum class FileCall : std::uint8_t {
  Open,
  Close,
  Read,
  Write,
  Sync,
  Truncate,
  StatOpen,
  Lock,  // whole-file and byte locks
  Stat,
  Rename,  // both kinds
  Unlink,
  SyncDirectory,
  ListNames,
  Other,  // every call not named above
};

enum class FaultRepeat : std::uint8_t { Once, Always };

class FaultyFileSystem final : public FileSystem {
 public:
  // After `after` more calls of kind call succeed, the next one fails with
  // error (and with Always every one after it too).
  void Fail(FileCall call, int error, int after = 0, FaultRepeat repeat = FaultRepeat::Once);
  // After `after` more writes succeed, the next one stores only the first
  // half of its bytes (at least one) and reports that count.
  void ShortWrite(int after = 0);
  // Disarms every fault.
  void Heal() { faults_.clear(); }
  // Calls of a kind so far (failed ones included).
  int Calls(FileCall call) const { return calls_[static_cast<std::size_t>(call)]; }

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

 private:
  static constexpr int kShortWrite = -1;  // error of a short-write fault

  struct Fault {
    FileCall call;
    int error;
    int after;
    FaultRepeat repeat;
  };

  // Counts the call and answers the errno of a fault due now (kShortWrite
  // for a short write), else 0.
  int Due(FileCall call);

  PosixFileSystem real_;
  std::vector<Fault> faults_;
  int calls_[static_cast<std::size_t>(FileCall::Other) + 1] = {};
};

}  // namespace runtime
