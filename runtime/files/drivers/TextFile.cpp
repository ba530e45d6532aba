#include "runtime/files/drivers/TextFile.h"

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <system_error>

#include "runtime/system/FileSystem.h"
#include "runtime/system/RuntimeError.h"
#include "runtime/system/Wait.h"

namespace runtime {

namespace {

bool IsDirectory(const std::string& path) {
  FileInfo info;
  return CurrentFileSystem().Stat(path, LinkHandling::Follow, info) == 0 && info.IsDirectory();
}

// Maps a failed open, create or unlink onto the runtime's codes.
std::int32_t OpenFailure(int error, const std::string& path) {
  switch (error) {
    case ENOENT: {
      const std::filesystem::path parent = std::filesystem::path(path).parent_path();
      if (!parent.empty() && !IsDirectory(parent.string())) return SetError(PathNotFound);
      return SetError(FileNotFound);
    }
    case ENOTDIR:
    case ENAMETOOLONG:
      return SetError(PathNotFound);
    case EACCES:
    case EPERM:
    case EROFS:
    case EEXIST:
    case EISDIR:
    case ETXTBSY:
      return SetError(AccessDenied);
    default:
      return SetError(DriverFailure, std::to_string(error), std::error_code(error, std::generic_category()).message());
  }
}

bool WantsExclusiveUse(std::uint8_t mode) {
  const std::uint8_t share = mode & 0xF0;
  return share == ShareDenyAll || share == ShareDenyWrite || share == ShareDenyRead;
}

// Takes the station's share lock, waiting up to waitSeconds for a
// conflicting station to let go (through the wait service: the runtime lock
// is released meanwhile and the time is the runtime clock's).
bool LockForSharing(int fd, std::uint8_t mode, int waitSeconds) {
  const LockKind kind = WantsExclusiveUse(mode) ? LockKind::Exclusive : LockKind::Shared;
  const WaitDeadline deadline{std::chrono::seconds(waitSeconds)};
  for (;;) {
    const int error = CurrentFileSystem().LockWhole(fd, kind);
    if (error == 0) return true;
    if (error != EWOULDBLOCK) return false;
    if (!WaitPauseBefore(deadline, std::chrono::milliseconds(50))) return false;
  }
}

}  // namespace

TextFile::TextFile(Driver driver, RecordLayout layout, std::string diskName)
    : DataFile(driver, std::move(layout), std::move(diskName)) {}

TextFile::~TextFile() {
  if (fd_ < 0) return;
  (void)WriteHeldAppends();
  (void)CurrentFileSystem().Close(fd_);
}

std::int32_t TextFile::SystemFailure(int error) {
  return SetError(DriverFailure, std::to_string(error), std::error_code(error, std::generic_category()).message());
}

// --- Opening and closing ----------------------------------------------------

std::int32_t TextFile::Open(std::uint8_t mode) {
  if (open_) return SetError(AlreadyOpen);
  const std::string path = DiskName();
  if (path.empty()) return SetError(FileNotFound);
  const std::uint8_t access = mode & 0x0F;
  if (access > AccessReadWrite) return SetError(BadParameter);
  const bool writes = access != AccessRead;

  FileSystem& files = CurrentFileSystem();
  FileInfo info;
  if (const int error = files.Stat(path, LinkHandling::Follow, info)) return OpenFailure(error, path);
  if (info.IsDirectory()) return SetError(AccessDenied);
  // A file nobody may write is read-only, whatever our own privileges.
  if (writes && !info.AnyoneMayWrite()) return SetError(AccessDenied);

  int fd = -1;
  if (const int error =
          files.Open(path, writes ? FileAccess::ReadWrite : FileAccess::Read, FileCreation::Existing, fd)) {
    return OpenFailure(error, path);
  }
  const int waitSeconds = std::exchange(recoverSeconds_, 0);
  if (!LockForSharing(fd, mode, waitSeconds)) {
    (void)files.Close(fd);
    return SetError(AccessDenied);
  }
  fd_ = fd;
  reader_.Attach(fd_);
  mode_ = mode;
  open_ = true;
  held_ = false;
  watched_ = false;
  order_ = 0;
  ForgetCurrent();
  nextOffset_ = 0;
  previousEnd_ = kEnd;
  return SetError(NoError);
}

std::int32_t TextFile::Create() {
  const std::string path = DiskName();
  if (path.empty()) return SetError(PathNotFound);
  int fd = -1;
  if (const int error = CurrentFileSystem().Open(path, FileAccess::Write, FileCreation::CreateNew, fd)) {
    return OpenFailure(error, path);
  }
  if (const int error = CurrentFileSystem().Close(fd)) return SystemFailure(error);
  return SetError(NoError);
}

std::int32_t TextFile::Close() {
  if (!open_) return SetError(FileNotOpen);
  const std::int32_t written = WriteHeldAppends();
  reader_.Attach(-1);
  FileSystem& files = CurrentFileSystem();
  // What was written must be on the disk before the close reports success.
  const int synced = (mode_ & 0x0F) == AccessRead ? 0 : files.Sync(fd_);
  const int closed = files.Close(fd_);  // also lets go of the share lock
  fd_ = -1;
  open_ = false;
  ForgetCurrent();
  if (written != NoError) return written;  // its error is set already
  if (synced != 0 || closed != 0) return SystemFailure(synced != 0 ? synced : closed);
  return SetError(NoError);
}

std::int32_t TextFile::BuildKeys() { return SetError(Unsupported); }

std::int32_t TextFile::Remove() {
  if (open_) return SetError(AccessDenied);
  const std::string path = DiskName();
  if (path.empty()) return SetError(FileNotFound);
  if (IsDirectory(path)) return SetError(AccessDenied);
  if (const int error = CurrentFileSystem().Unlink(path)) return OpenFailure(error, path);
  return SetError(NoError);
}

// --- Positioning --------------------------------------------------------------

std::int32_t TextFile::SetOrder(std::size_t key) {
  if (key != 0) return SetError(Unsupported);
  if (const std::int32_t error = CheckOpen()) return error;
  order_ = 0;
  nextOffset_ = 0;
  previousEnd_ = kEnd;
  return SetError(NoError);
}

std::int32_t TextFile::SetOrderAtBuffer(std::size_t) { return SetError(Unsupported); }

std::int32_t TextFile::SetOrderAtPosition(std::size_t key, std::string_view position) {
  if (key != 0) return SetError(Unsupported);
  if (const std::int32_t error = CheckOpen()) return error;
  std::int64_t offset = 0;
  if (!DecodeTextPosition(position, offset)) return SetError(BadParameter);
  if (const std::int32_t error = WriteHeldAppends()) return error;
  std::int64_t size = 0;
  if (const std::int32_t error = FileSize(size)) return error;
  if (offset < size) {
    bool isStart = false;
    if (const std::int32_t error = IsRecordStart(offset, isStart)) return error;
    if (!isStart) return SetError(BadParameter);
  }
  order_ = 0;
  nextOffset_ = offset;
  previousEnd_ = offset;
  return SetError(NoError);
}

// --- Reading --------------------------------------------------------------------

std::int32_t TextFile::Next() {
  if (const std::int32_t error = CheckReadable()) return error;
  if (const std::int32_t error = WriteHeldAppends()) return error;
  return ReadInto(nextOffset_);
}

std::int32_t TextFile::Previous() {
  if (const std::int32_t error = CheckReadable()) return error;
  if (const std::int32_t error = WriteHeldAppends()) return error;
  std::int64_t end = previousEnd_;
  if (end == kEnd) {
    if (const std::int32_t error = FileSize(end)) return error;
  }
  if (end <= 0) return SetError(NoRecord);
  std::int64_t start = 0;
  if (const std::int32_t error = StartOfRecordBefore(end, start)) return error;
  return ReadInto(start);
}

std::int32_t TextFile::Get(std::size_t) { return SetError(Unsupported); }

std::int32_t TextFile::GetAt(std::string_view position) {
  if (const std::int32_t error = CheckReadable()) return error;
  if (position.empty()) {
    ForgetCurrent();
    return SetError(NoError);
  }
  return ReadAtPosition(position);
}

std::int32_t TextFile::Reget(std::string_view position) {
  if (const std::int32_t error = CheckReadable()) return error;
  return ReadAtPosition(position);
}

std::int32_t TextFile::ReadAtPosition(std::string_view position) {
  std::int64_t offset = 0;
  if (!DecodeTextPosition(position, offset)) return SetError(BadParameter);
  if (const std::int32_t error = WriteHeldAppends()) return error;
  std::int64_t size = 0;
  if (const std::int32_t error = FileSize(size)) return error;
  if (offset >= size) return SetError(RecordNotFound);
  bool isStart = false;
  if (const std::int32_t error = IsRecordStart(offset, isStart)) return error;
  if (!isStart) return SetError(RecordNotFound);
  return ReadInto(offset);
}

std::int32_t TextFile::ReadInto(std::int64_t offset) {
  TakeSkipMemos();  // text files have no memos
  reader_.SetCapacity(quickScan_ ? TextReader::kQuickScanCapacity : TextReader::kDefaultCapacity);
  Extent record;
  if (const std::int32_t error = ReadRecordAt(offset, record)) return error;
  LoadRecord(record.text);
  currentText_ = std::move(record.text);
  currentStart_ = record.start;
  currentLength_ = record.length;
  nextOffset_ = record.end;
  previousEnd_ = record.start;
  return SetError(NoError);
}

// --- Holding, watching, transactions: not for text files ----------------------

std::int32_t TextFile::Hold() { return SetError(Unsupported); }
std::int32_t TextFile::Release() { return SetError(NoError); }  // nothing is ever held
std::int32_t TextFile::Watch() { return SetError(Unsupported); }
std::int32_t TextFile::BeginTransaction(int) { return SetError(Unsupported); }
std::int32_t TextFile::Commit() { return SetError(Unsupported); }
std::int32_t TextFile::Rollback() { return SetError(Unsupported); }

// --- Writing --------------------------------------------------------------------

std::int32_t TextFile::Add() {
  if (const std::int32_t error = CheckWritable()) return error;
  std::string separator;
  std::int64_t size = 0;
  if (heldAppends_.empty()) {
    if (const std::int32_t error = SeparatorBeforeAppend(separator)) return error;
    if (const std::int32_t error = FileSize(size)) return error;
  } else {
    // The held records end with a whole record: no separator is needed.
    size = heldStart_ + static_cast<std::int64_t>(heldAppends_.size());
  }
  const std::string text = FormatRecord();
  if (quickScan_) {
    if (heldAppends_.empty()) heldStart_ = size;
    heldAppends_.append(separator).append(text).append(Terminator());
    if (heldAppends_.size() >= kHeldAppendLimit) {
      if (const std::int32_t error = WriteHeldAppends()) return error;
    }
  } else if (const int error = WriteAt(size, separator + text + std::string(Terminator()))) {
    // Take back whatever part of the record reached the file, so a failed
    // add never leaves half a record behind; the earlier records are untouched.
    (void)CurrentFileSystem().Truncate(fd_, size);
    return SystemFailure(error);
  }
  reader_.Invalidate();
  // The separator completed the last record; a reader that stood at its
  // end now stands after it.
  if (nextOffset_ == size) nextOffset_ += static_cast<std::int64_t>(separator.size());
  currentStart_ = size + static_cast<std::int64_t>(separator.size());
  currentLength_ = static_cast<std::int64_t>(text.size());
  return SetError(NoError);
}

std::int32_t TextFile::Put() {
  if (const std::int32_t error = CheckWritable()) return error;
  if (currentStart_ == kNone) return SetError(NoRecord);
  if (const std::int32_t error = WriteHeldAppends()) return error;
  const std::string text = FormatRecord();
  if (static_cast<std::int64_t>(text.size()) != currentLength_) return SetError(Unsupported);
  std::int64_t size = 0;
  if (const std::int32_t error = FileSize(size)) return error;
  if (currentStart_ + currentLength_ > size) return SetError(RecordNotFound);
  // The stored record, to put back when the new one reaches the file only
  // in part.
  std::string stored(static_cast<std::size_t>(currentLength_), '\0');
  std::size_t got = 0;
  if (const int error = ReadFully(fd_, currentStart_, stored.data(), stored.size(), got)) return SystemFailure(error);
  if (got != stored.size()) return SetError(RecordNotFound);
  reader_.Invalidate();
  if (const int error = WriteAt(currentStart_, text)) {
    (void)WriteAt(currentStart_, stored);
    return SystemFailure(error);
  }
  return SetError(NoError);
}

std::int32_t TextFile::Delete() { return SetError(Unsupported); }

bool TextFile::Duplicate(std::size_t) {
  SetError(NoError);
  return false;
}

// --- Properties -------------------------------------------------------------------

std::int64_t TextFile::Records() {
  if (CheckOpen() != NoError || WriteHeldAppends() != NoError) return 0;
  std::int64_t count = 0;
  if (CountRecords(count) != NoError) return 0;
  SetError(NoError);
  return count;
}

std::int64_t TextFile::Bytes() {
  std::int64_t size = 0;
  if (open_) {
    if (WriteHeldAppends() != NoError || FileSize(size) != NoError) return 0;
    SetError(NoError);
    return size;
  }
  FileInfo info;
  if (const int error = CurrentFileSystem().Stat(DiskName(), LinkHandling::Follow, info)) {
    OpenFailure(error, DiskName());
    return 0;
  }
  SetError(NoError);
  return info.size;
}

std::string TextFile::Position(std::size_t key) {
  if (key != 0) {
    SetError(Unsupported);
    return {};
  }
  SetError(NoError);
  if (currentStart_ == kNone) return {};
  return EncodeTextPosition(currentStart_);
}

// --- Helpers ----------------------------------------------------------------------

std::int32_t TextFile::CheckOpen() const {
  if (!open_) return SetError(FileNotOpen);
  return NoError;
}

std::int32_t TextFile::CheckReadable() const {
  if (const std::int32_t error = CheckOpen()) return error;
  if ((mode_ & 0x0F) == AccessWrite) return SetError(AccessDenied);
  return NoError;
}

std::int32_t TextFile::CheckWritable() const {
  if (const std::int32_t error = CheckOpen()) return error;
  if ((mode_ & 0x0F) == AccessRead) return SetError(AccessDenied);
  return NoError;
}

std::int32_t TextFile::FileSize(std::int64_t& size) const {
  FileInfo info;
  if (const int error = CurrentFileSystem().StatOpen(fd_, info)) return SystemFailure(error);
  size = info.size;
  return NoError;
}

int TextFile::WriteAt(std::int64_t offset, std::string_view bytes) { return WriteFully(fd_, offset, bytes); }

std::int32_t TextFile::WriteHeldAppends() {
  if (heldAppends_.empty()) return NoError;
  reader_.Invalidate();
  const int error = WriteAt(heldStart_, heldAppends_);
  heldAppends_.clear();  // its room is kept for the next block
  if (error != 0) {
    (void)CurrentFileSystem().Truncate(fd_, heldStart_);
    return SystemFailure(error);
  }
  return NoError;
}

std::int32_t TextFile::QuickScanChanged() {
  if (quickScan_ || !open_) return SetError(NoError);
  if (const std::int32_t error = WriteHeldAppends()) return error;
  // The batch's records must be on the disk before its end reports success.
  if ((mode_ & 0x0F) != AccessRead) {
    if (const int error = CurrentFileSystem().Sync(fd_)) return SystemFailure(error);
  }
  return SetError(NoError);
}

void TextFile::ForgetCurrent() {
  currentStart_ = kNone;
  currentLength_ = 0;
  currentText_.clear();
}

std::string EncodeTextPosition(std::int64_t offset) {
  std::string position(8, '\0');
  auto value = static_cast<std::uint64_t>(offset);
  for (char& byte : position) {
    byte = static_cast<char>(value & 0xFF);
    value >>= 8;
  }
  return position;
}

bool DecodeTextPosition(std::string_view position, std::int64_t& offset) {
  if (position.size() != 8) return false;
  std::uint64_t value = 0;
  for (std::size_t i = 8; i > 0; --i) value = (value << 8) | static_cast<unsigned char>(position[i - 1]);
  if (value > static_cast<std::uint64_t>(INT64_MAX)) return false;
  offset = static_cast<std::int64_t>(value);
  return true;
}

}  // namespace runtime
