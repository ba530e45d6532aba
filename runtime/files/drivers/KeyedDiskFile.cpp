#include "runtime/files/drivers/KeyedDiskFile.h"

#include <stdio.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "runtime/files/drivers/KeyedSqlite.h"
#include "runtime/system/FileSystem.h"
#include "runtime/system/RuntimeError.h"

namespace runtime {

namespace {
std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool PathExists(const std::string& path) {
  FileInfo info;
  return CurrentFileSystem().Stat(path, LinkHandling::NoFollow, info) == 0;
}

// A temporary database is named after the database, this infix and
// kUniqueLength characters that make the name unique.
constexpr const char* kCreationInfix = "-new-";
constexpr std::size_t kUniqueLength = 6;

void RemoveWithJournals(FileSystem& files, const std::string& database) {
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) (void)files.Unlink(database + suffix);
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
  FileSystem& files = CurrentFileSystem();
  FileInfo info;
  if (const int error = files.Stat(path_, LinkHandling::Follow, info)) {
    if (error == ENOENT) {
      FileInfo dir;
      if (files.Stat(DirectoryOf(path_), LinkHandling::Follow, dir) == 0 && dir.IsDirectory()) {
        return SetError(FileNotFound);
      }
      return SetError(PathNotFound);
    }
    return ErrnoError(error, path_);
  }
  if (!info.IsRegular()) return SetError(AccessDenied, "", path_ + " is not a regular file");
  // Write access needs the file and its directory (for the write-ahead log).
  if (forWrite) {
    int error = files.CheckWritable(path_);
    if (error == 0) error = files.CheckWritable(DirectoryOf(path_));
    if (error != 0) return ErrnoError(error, path_);
  }
  return SetError(NoError);
}

std::int32_t KeyedDiskFile::CheckHeader(bool& shorterThanHeader) const {
  shorterThanHeader = false;
  FileSystem& files = CurrentFileSystem();
  int fd = -1;
  if (const int error = files.Open(path_, FileAccess::Read, FileCreation::Existing, fd))
    return ErrnoError(error, path_);
  unsigned char header[100];
  std::size_t got = 0;
  const int readError = ReadFully(fd, 0, reinterpret_cast<char*>(header), sizeof header, got);
  FileInfo info;
  const bool statted = files.StatOpen(fd, info) == 0;
  (void)files.Close(fd);  // read only: nothing to lose
  if (readError != 0) return ErrnoError(readError, path_);
  if (got != sizeof header || std::memcmp(header, "SQLite format 3", 16) != 0) {
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
                      static_cast<std::uint64_t>(info.size) < std::uint64_t{pages} * pageSize;
  return SetError(NoError);
}

std::string KeyedDiskFile::OpenName(bool writable, int& flags) const {
  flags = SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_EXRESCODE | (writable ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY);
  if (!writable && CurrentFileSystem().CheckWritable(DirectoryOf(path_)) != 0 && !PathExists(path_ + "-wal")) {
    flags |= SQLITE_OPEN_URI;
    return ImmutableUri(path_);
  }
  return path_;
}

std::int32_t KeyedDiskFile::Create(const KeyedSchema& schema) const {
  const std::string& path = path_;
  if (Exists()) return SetError(AccessDenied, "", path + " already exists");
  FileSystem& files = CurrentFileSystem();
  std::string temporary = path + kCreationInfix + "XXXXXX";
  int fd = -1;
  if (const int error = files.CreateUnique(temporary, fd)) return ErrnoError(error, path);
  // Locked until the creation ends, so another station's open tells this
  // creation from one a kill abandoned.
  (void)files.LockWhole(fd, LockKind::Exclusive);
  struct Unlocker {
    FileSystem& files;
    int fd;
    ~Unlocker() { (void)files.Close(fd); }
  } unlocker{files, fd};
  auto discard = [&files, &temporary] { RemoveWithJournals(files, temporary); };
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
  // The new file is on disk before its name is: a crash never leaves an
  // empty or partial file under the real name.
  int sync = -1;
  int error = files.Open(temporary, FileAccess::Read, FileCreation::Existing, sync);
  if (error == 0) {
    error = files.Sync(sync);
    const int closed = files.Close(sync);
    if (error == 0) error = closed;
  }
  // Into place without replacing a file another station created meanwhile.
  if (error == 0) error = files.RenameNoReplace(temporary, path);
  if (error != 0) {
    discard();
    return ErrnoError(error, path);
  }
  // The file is whole under its name; a failed sync of the folder only puts
  // the name at risk in a power cut, as with the INI files.
  (void)files.SyncDirectory(DirectoryOf(path));
  return SetError(NoError);
}

void KeyedDiskFile::RemoveAbandonedCreations() const {
  FileSystem& files = CurrentFileSystem();
  const std::string folder = DirectoryOf(path_);
  const std::string prefix = path_.substr(path_.rfind('/') + 1) + kCreationInfix;
  std::vector<std::string> names;
  if (files.ListNames(folder, names) != 0) return;
  for (const std::string& name : names) {
    if (!name.starts_with(prefix)) continue;
    const std::string temporary = folder + "/" + name.substr(0, prefix.size() + kUniqueLength);
    if (name.size() == prefix.size() + kUniqueLength) {
      int fd = -1;
      if (files.Open(temporary, FileAccess::Read, FileCreation::Existing, fd) != 0) continue;
      // A creation under way holds its lock; a killed one left it free.
      if (files.LockWhole(fd, LockKind::Exclusive) == 0) RemoveWithJournals(files, temporary);
      (void)files.Close(fd);
    } else if (!PathExists(temporary)) {
      (void)files.Unlink(folder + "/" + name);  // a journal whose file is gone
    }
  }
}

KeyedDiskFile::Companions KeyedDiskFile::CompanionsPresent() const {
  return {PathExists(path_ + "-wal"), PathExists(path_ + "-shm")};
}

void KeyedDiskFile::RemoveEmptyCompanions(Companions before) const {
  const std::string wal = path_ + "-wal";
  FileSystem& files = CurrentFileSystem();
  FileInfo info;
  if (files.Stat(wal, LinkHandling::Follow, info) == 0 && info.size != 0) return;
  if (!before.wal) (void)files.Unlink(wal);
  if (!before.shm) (void)files.Unlink(path_ + "-shm");
}

std::int32_t KeyedDiskFile::Remove(const std::string& lockPath) const {
  FileSystem& files = CurrentFileSystem();
  if (const int error = files.Unlink(path_)) return ErrnoError(error, path_);
  // The companions may well be absent.
  for (const char* suffix : {"-wal", "-shm"}) (void)files.Unlink(path_ + suffix);
  (void)files.Unlink(lockPath);
  return SetError(NoError);
}

}  // namespace runtime
