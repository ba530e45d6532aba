#include "runtime/files/drivers/KeyedDiskFile.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "runtime/files/drivers/KeyedSqlite.h"
#include "runtime/system/RuntimeError.h"

namespace runtime {

namespace {
std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool PathExists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

std::int32_t ErrnoError(int error, const std::string& what) {
  std::int32_t code = DriverFailure;
  if (error == EACCES || error == EPERM || error == EROFS || error == EEXIST) code = AccessDenied;
  if (error == ENOENT || error == ENOTDIR) code = PathNotFound;
  return SetError(code, std::to_string(error), what + ": " + std::strerror(error));
}

// "file:" URI of a path, for opening a database that nobody can change.
std::string ImmutableUri(const std::string& path) {
  std::string uri = "file:";
  for (char c : path) {
    if (c == '%' || c == '?' || c == '#') {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", static_cast<unsigned char>(c));
      uri += hex;
    } else {
      uri += c;
    }
  }
  return uri + "?immutable=1";
}

std::uint32_t BigEndian32(const unsigned char* at) {
  return (std::uint32_t{at[0]} << 24) | (std::uint32_t{at[1]} << 16) | (std::uint32_t{at[2]} << 8) | at[3];
}
}  // namespace

bool KeyedDiskFile::Exists() const { return PathExists(path_); }

std::int32_t KeyedDiskFile::CheckExisting(bool forWrite) const {
  struct stat info {};
  if (::stat(path_.c_str(), &info) != 0) {
    const int error = errno;
    if (error == ENOENT) {
      struct stat dir {};
      if (::stat(DirectoryOf(path_).c_str(), &dir) == 0 && S_ISDIR(dir.st_mode)) return SetError(FileNotFound);
      return SetError(PathNotFound);
    }
    return ErrnoError(error, path_);
  }
  if (!S_ISREG(info.st_mode)) return SetError(AccessDenied, "", path_ + " is not a regular file");
  // Write access needs the file and its directory (for the write-ahead log).
  if (forWrite && (::access(path_.c_str(), W_OK) != 0 || ::access(DirectoryOf(path_).c_str(), W_OK) != 0)) {
    return ErrnoError(errno, path_);
  }
  return SetError(NoError);
}

std::int32_t KeyedDiskFile::CheckHeader(bool& shorterThanHeader) const {
  shorterThanHeader = false;
  const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return ErrnoError(errno, path_);
  unsigned char header[100];
  const ssize_t got = ::pread(fd, header, sizeof header, 0);
  struct stat info {};
  const bool statted = ::fstat(fd, &info) == 0;
  ::close(fd);
  if (got != static_cast<ssize_t>(sizeof header) || std::memcmp(header, "SQLite format 3", 16) != 0) {
    return SetError(DriverFailure, std::to_string(SQLITE_NOTADB), "file is not a database");
  }
  if (header[18] != 2 || header[19] != 2) {
    return SetError(LayoutMismatch, "", "not a keyed data file (the database is not in WAL mode)");
  }
  // The header's page count is trusted only while its change counter
  // matches the version-valid-for number.
  const std::uint32_t pageSize = header[16] == 0 && header[17] == 1 ? 65536u : (header[16] << 8u) | header[17];
  const std::uint32_t pages = BigEndian32(header + 28);
  shorterThanHeader = statted && pages != 0 && BigEndian32(header + 24) == BigEndian32(header + 92) &&
                      static_cast<std::uint64_t>(info.st_size) < std::uint64_t{pages} * pageSize;
  return SetError(NoError);
}

std::string KeyedDiskFile::OpenName(bool writable, int& flags) const {
  flags = SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_EXRESCODE | (writable ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY);
  if (!writable && ::access(DirectoryOf(path_).c_str(), W_OK) != 0 && !PathExists(path_ + "-wal")) {
    flags |= SQLITE_OPEN_URI;
    return ImmutableUri(path_);
  }
  return path_;
}

std::int32_t KeyedDiskFile::Create(const KeyedSchema& schema) const {
  const std::string& path = path_;
  if (Exists()) return SetError(AccessDenied, "", path + " already exists");
  std::string temporary = path + "-new-XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) return ErrnoError(errno, path);
  ::close(fd);
  auto discard = [&temporary] {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) ::unlink((temporary + suffix).c_str());
  };
  {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(temporary.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_EXRESCODE, nullptr);
    SqliteConnection db(raw);
    if (rc != SQLITE_OK) {
      SqliteError(db.get(), rc);
      discard();
      return LastErrorCode();
    }
    std::string sql = "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; BEGIN; " + schema.CreateTablesSql();
    for (std::size_t k = 1; k <= schema.Layout().KeyCount(); ++k) sql += schema.CreateIndexSql(k) + ";";
    sql += "INSERT INTO keyed_meta VALUES('format', '" + std::string(KeyedSchema::kFormatMarker) + "');COMMIT;";
    sqlite3_stmt* raw_insert = nullptr;
    std::int32_t code = SqliteExec(db.get(), sql.c_str());
    if (code == NoError) {
      // Signatures hold labels, so they are bound rather than spliced in.
      int step = sqlite3_prepare_v2(db.get(), "INSERT INTO keyed_meta VALUES('layout', ?1), ('keys', ?2)", -1,
                                    &raw_insert, nullptr);
      SqliteStatement insert(raw_insert);
      const std::string layout = schema.LayoutSignature(), keys = schema.KeysSignature();
      if (step == SQLITE_OK) {
        sqlite3_bind_text(insert.get(), 1, layout.data(), static_cast<int>(layout.size()), SQLITE_STATIC);
        sqlite3_bind_text(insert.get(), 2, keys.data(), static_cast<int>(keys.size()), SQLITE_STATIC);
        step = sqlite3_step(insert.get());
      }
      if (step != SQLITE_DONE && step != SQLITE_OK) code = SqliteError(db.get(), step);
    }
    if (code != NoError) {
      const RuntimeError error = LastError();
      db.reset();
      discard();
      return SetError(error.code, error.driverCode, error.driverText);
    }
    // Closing checkpoints the log into the file and removes it.
    const int closed = sqlite3_close(db.release());
    if (closed != SQLITE_OK) {
      discard();
      return SqliteError(nullptr, closed);
    }
  }
  const int sync = ::open(temporary.c_str(), O_RDONLY | O_CLOEXEC);
  if (sync >= 0) {
    (void)::fsync(sync);
    ::close(sync);
  }
  // Into place without replacing a file another station created meanwhile.
  if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) != 0) {
    const int error = errno;
    if (error != EINVAL && error != ENOSYS) {
      discard();
      return ErrnoError(error, path);
    }
    const int linked = ::link(temporary.c_str(), path.c_str()) == 0 ? 0 : errno;
    discard();
    if (linked != 0) return ErrnoError(linked, path);
  }
  const int dir = ::open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    (void)::fsync(dir);
    ::close(dir);
  }
  return SetError(NoError);
}

KeyedDiskFile::Companions KeyedDiskFile::CompanionsPresent() const {
  return {PathExists(path_ + "-wal"), PathExists(path_ + "-shm")};
}

void KeyedDiskFile::RemoveEmptyCompanions(Companions before) const {
  const std::string wal = path_ + "-wal";
  struct stat info {};
  if (::stat(wal.c_str(), &info) == 0 && info.st_size != 0) return;
  if (!before.wal) ::unlink(wal.c_str());
  if (!before.shm) ::unlink((path_ + "-shm").c_str());
}

std::int32_t KeyedDiskFile::Remove(const std::string& lockPath) const {
  if (::unlink(path_.c_str()) != 0) return ErrnoError(errno, path_);
  for (const char* suffix : {"-wal", "-shm"}) ::unlink((path_ + suffix).c_str());
  ::unlink(lockPath.c_str());
  return SetError(NoError);
}

}  // namespace runtime
