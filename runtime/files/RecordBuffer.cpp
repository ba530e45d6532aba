#include "runtime/files/RecordBuffer.h"

#include <algorithm>
#include <cstring>

namespace runtime {

RecordBuffer::RecordBuffer(const RecordLayout& layout)
    : layout_(&layout), bytes_(layout.RecordSize()), memos_(layout.MemoCount()) {
  Clear();
}

void RecordBuffer::Assign(std::string_view bytes) {
  const std::size_t n = std::min(bytes.size(), bytes_.size());
  std::memcpy(bytes_.data(), bytes.data(), n);
  std::fill(bytes_.begin() + static_cast<std::ptrdiff_t>(n), bytes_.end(), ' ');
}

FieldRef RecordBuffer::Field(std::size_t number) {
  if (number == 0 || number > layout_->FieldCount()) return {};
  const FieldDesc& desc = layout_->Field(number);
  return FieldRef(bytes_.data() + desc.offset, desc);
}

FieldRef RecordBuffer::Field(std::string_view label) { return Field(layout_->FindField(label)); }

void RecordBuffer::SetMemo(std::size_t number, std::string_view text) {
  const std::string_view kept = CutToWidth(text, layout_->Memo(number).maxSize);
  memos_.at(number - 1).assign(kept.data(), kept.size());
}

void RecordBuffer::Clear() {
  for (std::size_t i = 1; i <= layout_->FieldCount(); ++i) Field(i).Clear();
  for (std::string& memo : memos_) memo.clear();
}

}  // namespace runtime
