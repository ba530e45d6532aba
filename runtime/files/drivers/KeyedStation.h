// One station's presence on a keyed file, kept as locks on the file's
// companion lock file (never on the database itself: SQLite's own POSIX locks
// on it would be dropped when any other descriptor of it is closed).
//
// Open modes are emulated with shared locks on marker bytes (opened for
// read, opened for write, denies read, denies write); an open that conflicts
// with another station's markers is refused. A held record is an exclusive
// lock on a byte standing for its record number. A shared counter of held
// records lets readers skip the per-record lock test while nobody holds
// anything. Used under the runtime lock.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "runtime/system/FileLocks.h"

namespace runtime {

class KeyedStation {
 public:
  // Joins the file's stations with mode (OpenMode), waiting up to
  // waitSeconds of runtime-clock time for a conflicting station to leave
  // (through the wait service: the runtime lock is released meanwhile). Returns 0,
  // AccessDenied on a sharing conflict, or DriverFailure (error set).
  [[nodiscard]] static std::int32_t Join(const std::string& lockPath, std::uint8_t mode, int waitSeconds,
                                         std::unique_ptr<KeyedStation>& station);
  ~KeyedStation();

  KeyedStation(const KeyedStation&) = delete;
  KeyedStation& operator=(const KeyedStation&) = delete;

  // Whether any other station has the file open now.
  bool OthersPresent() const;

  // Holds record rowid for this station: 0, RecordHeld, or AccessDenied for
  // a station that cannot take exclusive locks (read-only lock file).
  [[nodiscard]] std::int32_t Hold(std::int64_t rowid);
  bool HoldsRecord(std::int64_t rowid) const;
  void ReleaseAll();
  // Whether another station holds rowid. Cheap while nobody holds anything.
  bool HeldByOther(std::int64_t rowid) const;

 private:
  explicit KeyedStation(std::unique_ptr<LockFile> locks);
  bool Conflicts(bool reads, bool writes, bool deniesRead, bool deniesWrite) const;

  std::unique_ptr<LockFile> locks_;
  std::vector<std::int64_t> held_;  // rowids this station holds
};

}  // namespace runtime
