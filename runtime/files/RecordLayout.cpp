#include "runtime/files/RecordLayout.h"

#include "runtime/text/FixedText.h"

namespace runtime {

namespace {
// "WEB:URL" and "URL" both name the field WEB:URL of a layout with prefix WEB.
bool LabelMatches(std::string_view label, std::string_view wanted, std::string_view prefix) {
  if (CompareText(label, wanted, CaseMode::Insensitive) == 0) return true;
  if (prefix.empty() || label.size() <= prefix.size() + 1) return false;
  return CompareText(label.substr(prefix.size() + 1), wanted, CaseMode::Insensitive) == 0;
}
}  // namespace

std::size_t RecordLayout::FindField(std::string_view label) const {
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    if (LabelMatches(fields_[i].label, label, prefix_)) return i + 1;
  }
  return 0;
}

std::size_t RecordLayout::FindKey(std::string_view label) const {
  for (std::size_t i = 0; i < keys_.size(); ++i) {
    if (LabelMatches(keys_[i].label, label, prefix_)) return i + 1;
  }
  return 0;
}

std::size_t RecordLayout::PrimaryKey() const {
  for (std::size_t i = 0; i < keys_.size(); ++i) {
    if (keys_[i].primary) return i + 1;
  }
  return 0;
}

RecordLayout::Builder::Builder(std::string name, std::string prefix) {
  layout_.name_ = std::move(name);
  layout_.prefix_ = std::move(prefix);
}

std::string RecordLayout::Builder::Label(std::string_view name) const {
  if (layout_.prefix_.empty()) return std::string(name);
  return layout_.prefix_ + ":" + std::string(name);
}

RecordLayout::Builder& RecordLayout::Builder::Field(std::string_view name, FieldType type) {
  const std::uint32_t size = SizeOf(type);
  layout_.fields_.push_back({Label(name), type, size, layout_.recordSize_});
  layout_.recordSize_ += size;
  return *this;
}

RecordLayout::Builder& RecordLayout::Builder::String(std::string_view name, std::uint32_t size) {
  layout_.fields_.push_back({Label(name), FieldType::String, size, layout_.recordSize_});
  layout_.recordSize_ += size;
  return *this;
}

RecordLayout::Builder& RecordLayout::Builder::Memo(std::string_view name, std::uint32_t maxSize) {
  layout_.memos_.push_back({Label(name), maxSize});
  return *this;
}

RecordLayout::Builder& RecordLayout::Builder::Key(std::string_view name, std::vector<KeyComponentDesc> components,
                                                  std::uint8_t flags) {
  KeyDesc key;
  key.label = Label(name);
  key.components = std::move(components);
  key.primary = (flags & KeyPrimary) != 0;
  key.unique = key.primary || (flags & KeyUnique) != 0;
  key.noCase = (flags & KeyNoCase) != 0;
  layout_.keys_.push_back(std::move(key));
  return *this;
}

RecordLayout RecordLayout::Builder::Build() const { return layout_; }

}  // namespace runtime
