// The keyed driver's database file as a file on disk: the checks made before
// SQLite is let near it (it exists, may be written, carries the header of a
// WAL database), the name SQLite opens it by, its atomic creation and its
// removal with the companion files. Every check leaves the runtime error.
// Used under the runtime lock.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/files/drivers/KeyedSchema.h"

namespace runtime {

class KeyedDiskFile {
 public:
  explicit KeyedDiskFile(std::string path) : path_(std::move(path)) {}

  const std::string& Path() const { return path_; }
  bool Exists() const;

  // FileNotFound for a missing file, PathNotFound for a missing directory,
  // AccessDenied for something that is not a regular file or, forWrite, a
  // file or directory that cannot be written.
  [[nodiscard]] std::int32_t CheckExisting(bool forWrite) const;
  // Reads the database header before SQLite touches the file: SQLite would
  // take an empty file for a new database, and would roll back a hot journal
  // of a foreign one. Our files are always in WAL mode. shorterThanHeader
  // tells a file shorter than its header's page count, which only SQLite
  // can judge with the write-ahead log beside it.
  [[nodiscard]] std::int32_t CheckHeader(bool& shorterThanHeader) const;

  // The name and open flags SQLite opens the database with. In a read-only
  // directory a WAL database without its -wal file cannot be read normally;
  // nobody can change it there, so it is opened as immutable.
  std::string OpenName(bool writable, int& flags) const;

  // Builds the database of schema under a temporary name beside it and
  // links it into place without replacing anything, so a crash leaves no
  // file or a whole one. AccessDenied when the file exists. The temporary
  // file is locked while it is built.
  [[nodiscard]] std::int32_t Create(const KeyedSchema& schema) const;
  // Removes what a creation killed half-way left beside the database: its
  // temporary files that nobody holds locked, and their journals.
  void RemoveAbandonedCreations() const;

  // Whether the -wal and -shm files beside the database exist.
  struct Companions {
    bool wal = false;
    bool shm = false;
  };
  Companions CompanionsPresent() const;
  // Removes the companions absent before (as CompanionsPresent found them)
  // while the -wal is empty: what a connection that closed without a
  // checkpoint leaves behind.
  void RemoveEmptyCompanions(Companions before) const;

  // Removes the database, its -wal and -shm files and lockPath.
  [[nodiscard]] std::int32_t Remove(const std::string& lockPath) const;

 private:
  std::string path_;
};

}  // namespace runtime
