// The operating system's file calls, behind one interface so that tests can
// put a fault-injecting file system (FaultyFileSystem) in place of the real
// one (PosixFileSystem). The runtime's plain-file code (the text drivers,
// INI files, lock files, directory listing) calls the file system in use,
// CurrentFileSystem(), and nothing else.
//
// Every call returns 0 or an errno value and retries calls interrupted by a
// signal itself. Descriptors are the operating system's. Any thread may call;
// the file system in use is replaced only while no other thread uses files.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace runtime {

enum class FileAccess : std::uint8_t { Read, Write, ReadWrite };
enum class FileCreation : std::uint8_t {
  Existing,         // ENOENT when the file is missing
  CreateIfMissing,  // created empty (mode 0666 less the umask) when missing
  CreateNew,        // EEXIST when the file exists
};
enum class LinkHandling : std::uint8_t { Follow, NoFollow };
enum class LockKind : std::uint8_t { Shared, Exclusive };
enum class LockWait : std::uint8_t { NoWait, Wait };

struct FileInfo {
  std::int64_t size = 0;
  std::uint32_t mode = 0;  // type and permission bits, as stat gives them
  std::int64_t changedSeconds = 0;
  std::int64_t changedNanoseconds = 0;

  bool IsDirectory() const;
  bool IsRegular() const;
  bool IsLink() const;
  // Whether any write permission bit is set (a file nobody may write is
  // read-only whatever the caller's privileges).
  bool AnyoneMayWrite() const;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // --- Open files ---------------------------------------------------------------
  [[nodiscard]] virtual int Open(const std::string& path, FileAccess access, FileCreation creation, int& fd) = 0;
  // Creates and opens a new file whose name is pathTemplate with its last six
  // characters ("XXXXXX") replaced; pathTemplate becomes that name.
  [[nodiscard]] virtual int CreateUnique(std::string& pathTemplate, int& fd) = 0;
  // Closes fd even when it reports an error.
  [[nodiscard]] virtual int Close(int fd) = 0;
  // One read or write at offset; got or written may fall short of size.
  [[nodiscard]] virtual int Read(int fd, std::int64_t offset, char* into, std::size_t size, std::size_t& got) = 0;
  [[nodiscard]] virtual int Write(int fd, std::int64_t offset, std::string_view bytes, std::size_t& written) = 0;
  [[nodiscard]] virtual int Sync(int fd) = 0;
  [[nodiscard]] virtual int Truncate(int fd, std::int64_t size) = 0;
  [[nodiscard]] virtual int StatOpen(int fd, FileInfo& info) = 0;
  [[nodiscard]] virtual int SetPermissions(int fd, std::uint32_t mode) = 0;
  // A lock on the whole file, held until the descriptor is closed or Unlock;
  // never waits: EWOULDBLOCK while another descriptor's lock conflicts.
  [[nodiscard]] virtual int LockWhole(int fd, LockKind kind) = 0;
  // A lock on one byte, owned by the open file description (two descriptors
  // of one process are two owners); EAGAIN or EACCES when busy and not waiting.
  [[nodiscard]] virtual int LockByte(int fd, std::int64_t offset, LockKind kind, LockWait wait) = 0;
  [[nodiscard]] virtual int UnlockByte(int fd, std::int64_t offset) = 0;
  // Whether another owner holds a lock on offset that conflicts with kind.
  [[nodiscard]] virtual int ByteLockedByOther(int fd, std::int64_t offset, LockKind kind, bool& locked) = 0;
  // Maps the first size bytes of fd as memory shared with every other mapping.
  [[nodiscard]] virtual int MapShared(int fd, std::size_t size, bool writable, void*& at) = 0;
  virtual void Unmap(void* at, std::size_t size) = 0;

  // --- Paths ----------------------------------------------------------------------
  [[nodiscard]] virtual int Stat(const std::string& path, LinkHandling links, FileInfo& info) = 0;
  // Whether the caller may write path (0 or the reason it may not).
  [[nodiscard]] virtual int CheckWritable(const std::string& path) = 0;
  // Replaces to when it exists.
  [[nodiscard]] virtual int Rename(const std::string& from, const std::string& to) = 0;
  // EEXIST when to exists, also when another process creates it meanwhile.
  [[nodiscard]] virtual int RenameNoReplace(const std::string& from, const std::string& to) = 0;
  [[nodiscard]] virtual int Unlink(const std::string& path) = 0;
  // Makes the directory's entries (a rename, a new file) durable.
  [[nodiscard]] virtual int SyncDirectory(const std::string& path) = 0;
  // The names in a directory, "." and ".." left out, in no order.
  [[nodiscard]] virtual int ListNames(const std::string& directory, std::vector<std::string>& names) = 0;
  // The absolute path with every symbolic link resolved.
  [[nodiscard]] virtual int RealPath(const std::string& path, std::string& resolved) = 0;
  [[nodiscard]] virtual int CurrentDirectory(std::string& path) = 0;
  [[nodiscard]] virtual int ChangeDirectory(const std::string& path) = 0;
};

// The file system in use: the real one unless a test put another in place.
FileSystem& CurrentFileSystem();
// Puts fileSystem (borrowed; nullptr: the real one) in place and returns the
// one it replaces.
FileSystem* SetFileSystem(FileSystem* fileSystem);

// Reads or writes all of the bytes through the file system in use, going on
// after short transfers. ReadFully stops early only at the end of the file
// (got tells how far it came); WriteFully answers EIO when a write makes no
// progress.
[[nodiscard]] int ReadFully(int fd, std::int64_t offset, char* into, std::size_t size, std::size_t& got);
[[nodiscard]] int WriteFully(int fd, std::int64_t offset, std::string_view bytes);

}  // namespace runtime
