// A data file's record layout, described once: fields lying back to back with
// no padding (strings space-padded, integers little-endian), memo fields kept
// outside the fixed record, and keys. Field, memo and key numbers are 1-based
// as everywhere in the runtime. Constant after construction.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/values/FieldDesc.h"

namespace runtime {

struct MemoDesc {
  std::string label;
  std::uint32_t maxSize = 0;
};

enum class Order : std::uint8_t { Ascending, Descending };

struct KeyComponentDesc {
  std::uint16_t field = 0;  // field number
  Order order = Order::Ascending;
};

enum KeyFlags : std::uint8_t {
  KeyDuplicates = 0,  // duplicates allowed, case-sensitive
  KeyUnique = 1,
  KeyNoCase = 2,
  KeyPrimary = 4,  // the primary key is also unique
};

struct KeyDesc {
  std::string label;  // "WEB:NAMEKEY"
  std::vector<KeyComponentDesc> components;
  bool unique = false;
  bool noCase = false;
  bool primary = false;
};

class RecordLayout {
 public:
  class Builder;

  const std::string& Name() const { return name_; }
  const std::string& Prefix() const { return prefix_; }
  std::uint32_t RecordSize() const { return recordSize_; }

  std::size_t FieldCount() const { return fields_.size(); }
  const FieldDesc& Field(std::size_t number) const { return fields_.at(number - 1); }
  // Field number for a label (case-insensitive, with or without the
  // prefix); 0 when there is none.
  std::size_t FindField(std::string_view label) const;

  std::size_t MemoCount() const { return memos_.size(); }
  const MemoDesc& Memo(std::size_t number) const { return memos_.at(number - 1); }

  std::size_t KeyCount() const { return keys_.size(); }
  const KeyDesc& Key(std::size_t number) const { return keys_.at(number - 1); }
  std::size_t FindKey(std::string_view label) const;
  // Number of the primary key, 0 when there is none.
  std::size_t PrimaryKey() const;

 private:
  std::string name_;
  std::string prefix_;
  std::vector<FieldDesc> fields_;
  std::vector<MemoDesc> memos_;
  std::vector<KeyDesc> keys_;
  std::uint32_t recordSize_ = 0;
};

// Describes a layout field by field, computing offsets:
//   RecordLayout web = RecordLayout::Builder("MARLINDEN", "WEB")
//       .Field("NUM", FieldType::Int32).String("URL", 255)
//       .Key("NUMKEY", {{1}}, KeyUnique | KeyNoCase).Build();
class RecordLayout::Builder {
 public:
  Builder(std::string name, std::string prefix);
  Builder& Field(std::string_view name, FieldType type);
  Builder& String(std::string_view name, std::uint32_t size);
  Builder& Memo(std::string_view name, std::uint32_t maxSize);
  // Components name field numbers. Field labels get the prefix.
  Builder& Key(std::string_view name, std::vector<KeyComponentDesc> components, std::uint8_t flags);
  RecordLayout Build() const;

 private:
  std::string Label(std::string_view name) const;
  RecordLayout layout_;
};

}  // namespace runtime
