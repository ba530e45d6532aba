// The plain-file work shared by the text drivers (ASCII and BASIC lines, DOS
// raw records): opening with the mode byte, creating, buffered reading,
// appending, rewriting a record in place and positions that are the
// record's byte offset. A driver supplies how records are framed in the file
// and how one moves between the file and the record buffer.
//
// During a quick scan ("QUICKSCAN=on") appended records are held in memory
// and written a block at a time: before anything else reads or measures the
// file, when the block is full, when the quick scan ends and at the close. A
// block that fails to reach the file is taken back whole and the call that
// wrote it reports the failure.
//
// Text files have no keys, memos, holds, watches or transactions: those
// operations answer Unsupported, and Delete too (records cannot be removed
// from the middle of a text file without rewriting it). Used under the
// runtime lock; one TextFile is one station.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/files/DataFile.h"
#include "runtime/files/drivers/TextReader.h"

namespace runtime {

class TextFile : public DataFile {
 public:
  ~TextFile() override;

  [[nodiscard]] std::int32_t Open(std::uint8_t mode) final;
  [[nodiscard]] std::int32_t Create() final;
  [[nodiscard]] std::int32_t Close() final;
  [[nodiscard]] std::int32_t BuildKeys() final;
  [[nodiscard]] std::int32_t Remove() final;

  [[nodiscard]] std::int32_t SetOrder(std::size_t key) final;
  [[nodiscard]] std::int32_t SetOrderAtBuffer(std::size_t key) final;
  [[nodiscard]] std::int32_t SetOrderAtPosition(std::size_t key, std::string_view position) final;

  [[nodiscard]] std::int32_t Next() final;
  [[nodiscard]] std::int32_t Previous() final;
  [[nodiscard]] std::int32_t Get(std::size_t key) final;
  [[nodiscard]] std::int32_t GetAt(std::string_view position) final;
  [[nodiscard]] std::int32_t Reget(std::string_view position) final;
  std::string_view RecordText() const final { return currentText_; }

  [[nodiscard]] std::int32_t Hold() final;
  [[nodiscard]] std::int32_t Release() final;
  [[nodiscard]] std::int32_t Watch() final;

  [[nodiscard]] std::int32_t Add() final;
  // Rewrites the current record in place; only when its new text has the
  // length of the stored one (Unsupported otherwise).
  [[nodiscard]] std::int32_t Put() final;
  [[nodiscard]] std::int32_t Delete() final;
  bool Duplicate(std::size_t key) final;

  std::int64_t Records() final;
  std::int64_t Bytes() final;
  std::string Position(std::size_t key) final;

  [[nodiscard]] std::int32_t BeginTransaction(int lockWaitSeconds) final;
  [[nodiscard]] std::int32_t Commit() final;
  [[nodiscard]] std::int32_t Rollback() final;

 protected:
  [[nodiscard]] std::int32_t QuickScanChanged() final;

  TextFile(Driver driver, RecordLayout layout, std::string diskName);

  // One record as found in the file: its bytes run from start to end (the
  // line end included); text is its content without the line end, of which
  // the driver may keep only the leading part it needs (length is the full
  // content length).
  struct Extent {
    std::int64_t start = 0;
    std::int64_t end = 0;
    std::int64_t length = 0;
    std::string text;
  };

  // --- Framing, supplied by the driver ------------------------------------
  // Reads the record that starts at offset; NoRecord at the end of the file.
  [[nodiscard]] virtual std::int32_t ReadRecordAt(std::int64_t offset, Extent& record) = 0;
  // The start of the record that ends at offset (offset > 0).
  [[nodiscard]] virtual std::int32_t StartOfRecordBefore(std::int64_t offset, std::int64_t& start) = 0;
  // Whether a record starts at offset (offset < file size).
  [[nodiscard]] virtual std::int32_t IsRecordStart(std::int64_t offset, bool& isStart) = 0;
  [[nodiscard]] virtual std::int32_t CountRecords(std::int64_t& count) = 0;
  // Bytes to write before an appended record so it starts a record of its
  // own (a line end after a last line that has none).
  [[nodiscard]] virtual std::int32_t SeparatorBeforeAppend(std::string& separator) = 0;

  // --- Conversion, supplied by the driver ---------------------------------
  // Fills the record buffer from a record's text.
  virtual void LoadRecord(std::string_view text) = 0;
  // The record buffer as the record's text (without the record terminator).
  virtual std::string FormatRecord() = 0;
  // Written after each record ("\n" for line drivers).
  virtual std::string_view Terminator() const = 0;

  // --- Helpers for the drivers --------------------------------------------
  TextReader& Reader() { return reader_; }
  int Descriptor() const { return fd_; }
  // Records a failed read or write: DriverFailure with errno's code and text.
  static std::int32_t SystemFailure(int error);
  // The size of the open file.
  [[nodiscard]] std::int32_t FileSize(std::int64_t& size) const;

 private:
  static constexpr std::int64_t kNone = -1;
  static constexpr std::int64_t kEnd = -2;  // Previous starts from the end of the file
  static constexpr std::size_t kHeldAppendLimit = 64 * 1024;

  [[nodiscard]] std::int32_t ReadInto(std::int64_t offset);
  [[nodiscard]] std::int32_t ReadAtPosition(std::string_view position);
  [[nodiscard]] std::int32_t CheckOpen() const;
  [[nodiscard]] std::int32_t CheckReadable() const;
  [[nodiscard]] std::int32_t CheckWritable() const;
  // Writes all of bytes at offset; 0 or the errno of the failed write.
  int WriteAt(std::int64_t offset, std::string_view bytes);
  // Writes the held appends; on failure the file is cut back to where they
  // were to start.
  [[nodiscard]] std::int32_t WriteHeldAppends();
  void ForgetCurrent();

  int fd_ = -1;
  TextReader reader_;
  // The current record (kNone when there is none) and its stored length.
  std::int64_t currentStart_ = kNone;
  std::int64_t currentLength_ = 0;
  std::string currentText_;  // what the driver kept of the current record's text
  // Where Next starts reading and where the record Previous reads ends
  // (kEnd: at the end of the file).
  std::int64_t nextOffset_ = 0;
  std::int64_t previousEnd_ = kEnd;
  // Appends held during a quick scan, to be written at heldStart_.
  std::string heldAppends_;
  std::int64_t heldStart_ = 0;
};

// Positions of the text drivers: the record's byte offset, 8 bytes
// little-endian. Empty when there is no record; false for text that is not
// such a position.
std::string EncodeTextPosition(std::int64_t offset);
bool DecodeTextPosition(std::string_view position, std::int64_t& offset);

}  // namespace runtime
