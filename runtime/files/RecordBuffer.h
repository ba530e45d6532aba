// A data file's record buffer: the fixed-layout bytes of one record plus its
// memo texts. Every operation on the file passes through it. Owned by the
// DataFile; used under the runtime lock.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/files/RecordLayout.h"
#include "runtime/values/FieldRef.h"

namespace runtime {

class RecordBuffer {
 public:
  explicit RecordBuffer(const RecordLayout& layout);

  const RecordLayout& Layout() const { return *layout_; }
  std::uint8_t* Data() { return bytes_.data(); }
  const std::uint8_t* Data() const { return bytes_.data(); }
  std::size_t Size() const { return bytes_.size(); }
  std::string_view View() const { return {reinterpret_cast<const char*>(bytes_.data()), bytes_.size()}; }
  // Copies bytes into the record (cut or space-padded to its size).
  void Assign(std::string_view bytes);

  // Field by number (1-based) or label; an invalid FieldRef when there is none.
  FieldRef Field(std::size_t number);
  FieldRef Field(std::string_view label);

  // Memo by number (1-based); texts longer than the memo's size are cut
  // (never inside a UTF-8 character) when set.
  const std::string& Memo(std::size_t number) const { return memos_.at(number - 1); }
  void SetMemo(std::size_t number, std::string_view text);

  // Strings to spaces, numbers to zero, memos empty.
  void Clear();

 private:
  const RecordLayout* layout_;  // borrowed; the file's layout outlives the buffer
  std::vector<std::uint8_t> bytes_;
  std::vector<std::string> memos_;
};

// Keeps a buffer's record and memos while in scope and puts them back when
// it ends: for reads through a file's buffer that must leave it as it was.
class SavedRecordBuffer {
 public:
  explicit SavedRecordBuffer(RecordBuffer& buffer) : buffer_(buffer), bytes_(buffer.View()) {
    for (std::size_t m = 1; m <= buffer.Layout().MemoCount(); ++m) memos_.push_back(buffer.Memo(m));
  }
  ~SavedRecordBuffer() {
    buffer_.Assign(bytes_);
    for (std::size_t m = 1; m <= memos_.size(); ++m) buffer_.SetMemo(m, memos_[m - 1]);
  }
  SavedRecordBuffer(const SavedRecordBuffer&) = delete;
  SavedRecordBuffer& operator=(const SavedRecordBuffer&) = delete;

 private:
  RecordBuffer& buffer_;
  const std::string bytes_;
  std::vector<std::string> memos_;
};

}  // namespace runtime
