#include "runtime/files/drivers/KeyedStation.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "runtime/files/DataFile.h"
#include "runtime/system/RuntimeError.h"
#include "runtime/system/Wait.h"

namespace runtime {

namespace {
// Marker bytes of the lock file.
constexpr std::int64_t kGate = 0;  // serialises the conflict test and the marking
constexpr std::int64_t kReading = 1;
constexpr std::int64_t kWriting = 2;
constexpr std::int64_t kDeniesRead = 3;
constexpr std::int64_t kDeniesWrite = 4;
constexpr std::int64_t kPresent = 5;  // every open station
// Held records: one byte per record number, far above the markers.
constexpr std::int64_t kHoldBase = std::int64_t{1} << 32;

// The lock byte of a record number. Any number (a damaged file may hold
// negative ones or ones near the limits) maps above the markers; numbers
// 2^62 apart share a byte.
std::int64_t HoldOffset(std::int64_t rowid) {
  return kHoldBase + static_cast<std::int64_t>(static_cast<std::uint64_t>(rowid) & ((std::uint64_t{1} << 62) - 1));
}

constexpr auto kRecoverPoll = std::chrono::milliseconds(50);

struct Sharing {
  bool reads, writes, deniesRead, deniesWrite;
};

Sharing SharingOf(std::uint8_t mode) {
  const std::uint8_t access = mode & 0x0F;
  const std::uint8_t share = mode & 0xF0;
  Sharing s{};
  s.reads = access == AccessRead || access == AccessReadWrite;
  s.writes = access == AccessWrite || access == AccessReadWrite;
  s.deniesRead = share == ShareDenyAll || share == ShareDenyRead;
  s.deniesWrite = share == ShareDenyAll || share == ShareDenyWrite;
  // ShareCompatible and ShareDenyNone deny nothing.
  return s;
}
}  // namespace

KeyedStation::KeyedStation(std::unique_ptr<LockFile> locks) : locks_(std::move(locks)) {}

KeyedStation::~KeyedStation() { ReleaseAll(); }

std::int32_t KeyedStation::Join(const std::string& lockPath, std::uint8_t mode, int waitSeconds,
                                std::unique_ptr<KeyedStation>& station) {
  int error = 0;
  std::unique_ptr<LockFile> locks = LockFile::Open(lockPath, error);
  if (!locks) {
    if (error == EACCES || error == EROFS || error == EPERM)
      return SetError(AccessDenied, std::to_string(error), std::strerror(error));
    return SetError(DriverFailure, std::to_string(error), std::strerror(error));
  }
  std::unique_ptr<KeyedStation> joined(new KeyedStation(std::move(locks)));
  LockFile& lf = *joined->locks_;
  const Sharing s = SharingOf(mode);
  const WaitDeadline deadline{std::chrono::seconds(waitSeconds)};
  for (;;) {
    // A read-only lock file cannot take the gate; the conflict test then
    // races with another opener, which only matters for deny modes.
    const bool gated = lf.Writable() && lf.LockWaiting(kGate);
    bool conflict = joined->Conflicts(s.reads, s.writes, s.deniesRead, s.deniesWrite);
    if (!conflict) {
      const std::pair<bool, std::int64_t> marks[] = {{true, kPresent},
                                                     {s.reads, kReading},
                                                     {s.writes, kWriting},
                                                     {s.deniesRead, kDeniesRead},
                                                     {s.deniesWrite, kDeniesWrite}};
      for (auto [wanted, offset] : marks) {
        if (wanted && lf.TryLock(offset, LockKind::Shared) != LockResult::Taken) conflict = true;
      }
      // Nobody else is here, so nobody holds a record: a counter left high
      // by a station that died holding records starts again from zero.
      if (!conflict && !joined->OthersPresent() && lf.Writable() && lf.SharedCounter() != nullptr) {
        lf.SharedCounter()->store(0);
      }
    }
    if (gated) lf.Unlock(kGate);
    if (!conflict) break;
    for (std::int64_t offset : {kPresent, kReading, kWriting, kDeniesRead, kDeniesWrite}) lf.Unlock(offset);
    // The runtime lock is released while waiting: other runtime threads go on.
    if (!WaitPauseBefore(deadline, kRecoverPoll)) return SetError(AccessDenied);
  }
  station = std::move(joined);
  return SetError(NoError);
}

bool KeyedStation::Conflicts(bool reads, bool writes, bool deniesRead, bool deniesWrite) const {
  const LockFile& lf = *locks_;
  return (reads && lf.LockedByOther(kDeniesRead, LockKind::Exclusive)) ||
         (writes && lf.LockedByOther(kDeniesWrite, LockKind::Exclusive)) ||
         (deniesRead && lf.LockedByOther(kReading, LockKind::Exclusive)) ||
         (deniesWrite && lf.LockedByOther(kWriting, LockKind::Exclusive));
}

bool KeyedStation::OthersPresent() const { return locks_->LockedByOther(kPresent, LockKind::Exclusive); }

std::int32_t KeyedStation::Hold(std::int64_t rowid) {
  if (HoldsRecord(rowid)) return NoError;
  if (!locks_->Writable() || locks_->SharedCounter() == nullptr) return AccessDenied;
  switch (locks_->TryLock(HoldOffset(rowid), LockKind::Exclusive)) {
    case LockResult::Taken:
      break;
    case LockResult::Busy:
      return RecordHeld;
    case LockResult::Failed:
      return AccessDenied;
  }
  held_.push_back(rowid);
  // Counted after the lock is taken, so a reader that sees 0 cannot miss it.
  locks_->SharedCounter()->fetch_add(1);
  return NoError;
}

bool KeyedStation::HoldsRecord(std::int64_t rowid) const {
  return std::find(held_.begin(), held_.end(), rowid) != held_.end();
}

void KeyedStation::ReleaseAll() {
  for (std::int64_t rowid : held_) locks_->Unlock(HoldOffset(rowid));
  if (!held_.empty()) locks_->SharedCounter()->fetch_sub(static_cast<std::int64_t>(held_.size()));
  held_.clear();
}

bool KeyedStation::HeldByOther(std::int64_t rowid) const {
  std::atomic<std::int64_t>* counter = locks_->SharedCounter();
  if (counter != nullptr && counter->load() <= static_cast<std::int64_t>(held_.size())) return false;
  return locks_->LockedByOther(HoldOffset(rowid), LockKind::Exclusive);
}

}  // namespace runtime
