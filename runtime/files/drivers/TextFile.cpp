#include "runtime/files/drivers/TextFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <system_error>
#include <thread>

#include "runtime/system/RuntimeError.h"

namespace runtime {

namespace {

bool IsDirectory(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
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
// conflicting station to let go.
bool LockForSharing(int fd, std::uint8_t mode, int waitSeconds) {
  const int operation = (WantsExclusiveUse(mode) ? LOCK_EX : LOCK_SH) | LOCK_NB;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(waitSeconds);
  for (;;) {
    if (::flock(fd, operation) == 0) return true;
    if (errno != EWOULDBLOCK && errno != EINTR) return false;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

}  // namespace

TextFile::TextFile(Driver driver, RecordLayout layout, std::string diskName)
    : DataFile(driver, std::move(layout), std::move(diskName)) {}

TextFile::~TextFile() {
  if (fd_ >= 0) ::close(fd_);
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

  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return OpenFailure(errno, path);
  if (S_ISDIR(info.st_mode)) return SetError(AccessDenied);
  // A file nobody may write is read-only, whatever our own privileges.
  if (writes && (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return SetError(AccessDenied);

  const int fd = ::open(path.c_str(), (writes ? O_RDWR : O_RDONLY) | O_CLOEXEC);
  if (fd < 0) return OpenFailure(errno, path);
  const int waitSeconds = std::exchange(recoverSeconds_, 0);
  if (!LockForSharing(fd, mode, waitSeconds)) {
    ::close(fd);
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
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return OpenFailure(errno, path);
  ::close(fd);
  return SetError(NoError);
}

std::int32_t TextFile::Close() {
  if (!open_) return SetError(FileNotOpen);
  reader_.Attach(-1);
  ::close(fd_);  // also lets go of the share lock
  fd_ = -1;
  open_ = false;
  ForgetCurrent();
  return SetError(NoError);
}

std::int32_t TextFile::BuildKeys() { return SetError(Unsupported); }

std::int32_t TextFile::Remove() {
  if (open_) return SetError(AccessDenied);
  const std::string path = DiskName();
  if (path.empty()) return SetError(FileNotFound);
  if (IsDirectory(path)) return SetError(AccessDenied);
  if (::unlink(path.c_str()) != 0) return OpenFailure(errno, path);
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
  return ReadInto(nextOffset_);
}

std::int32_t TextFile::Previous() {
  if (const std::int32_t error = CheckReadable()) return error;
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
  if (const std::int32_t error = SeparatorBeforeAppend(separator)) return error;
  const std::string text = FormatRecord();
  std::int64_t size = 0;
  if (const std::int32_t error = FileSize(size)) return error;
  const std::string bytes = separator + text + std::string(Terminator());
  reader_.Invalidate();
  if (const int error = WriteAt(size, bytes)) {
    // Take back whatever part of the record reached the file, so a failed
    // add never leaves half a record behind; the earlier records are untouched.
    (void)::ftruncate(fd_, size);
    return SystemFailure(error);
  }
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
  const std::string text = FormatRecord();
  if (static_cast<std::int64_t>(text.size()) != currentLength_) return SetError(Unsupported);
  std::int64_t size = 0;
  if (const std::int32_t error = FileSize(size)) return error;
  if (currentStart_ + currentLength_ > size) return SetError(RecordNotFound);
  reader_.Invalidate();
  if (const int error = WriteAt(currentStart_, text)) return SystemFailure(error);
  return SetError(NoError);
}

std::int32_t TextFile::Delete() { return SetError(Unsupported); }

bool TextFile::Duplicate(std::size_t) {
  SetError(NoError);
  return false;
}

// --- Properties -------------------------------------------------------------------

std::int64_t TextFile::Records() {
  if (CheckOpen() != NoError) return 0;
  std::int64_t count = 0;
  if (CountRecords(count) != NoError) return 0;
  SetError(NoError);
  return count;
}

std::int64_t TextFile::Bytes() {
  std::int64_t size = 0;
  if (open_) {
    if (FileSize(size) != NoError) return 0;
    SetError(NoError);
    return size;
  }
  struct stat info {};
  if (::stat(DiskName().c_str(), &info) != 0) {
    OpenFailure(errno, DiskName());
    return 0;
  }
  SetError(NoError);
  return static_cast<std::int64_t>(info.st_size);
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
  struct stat info {};
  if (::fstat(fd_, &info) != 0) return SystemFailure(errno);
  size = static_cast<std::int64_t>(info.st_size);
  return NoError;
}

int TextFile::WriteAt(std::int64_t offset, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::pwrite(fd_, bytes.data(), bytes.size(), offset);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return errno;
    if (written == 0) return EIO;
    bytes.remove_prefix(static_cast<std::size_t>(written));
    offset += written;
  }
  return 0;
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
