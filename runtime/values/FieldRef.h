// A generic reference to one fixed-layout variable (a record field or any
// variable described by a FieldDesc): reads it as a typed Value and assigns
// with conversion. Borrowed: the storage and the descriptor must outlive it.
#pragma once

#include <cstdint>
#include <string_view>

#include "runtime/values/FieldDesc.h"
#include "runtime/values/Value.h"

namespace runtime {

class FieldRef {
 public:
  FieldRef() = default;
  FieldRef(std::uint8_t* storage, const FieldDesc& desc) : storage_(storage), desc_(&desc) {}

  bool Valid() const { return storage_ != nullptr; }
  const FieldDesc& Desc() const { return *desc_; }
  const std::string& Label() const { return desc_->label; }
  FieldType Type() const { return desc_->type; }
  bool IsText() const { return runtime::IsText(desc_->type); }

  Value Get() const;
  // Assigns with conversion: a text is cut to the field width (never inside
  // a UTF-8 character) and padded; numbers are converted, and an integer out
  // of the field's range is clamped to it.
  void Set(const Value& value);
  void SetText(std::string_view text) { Set(Value::Text(text)); }
  void SetInteger(std::int64_t number) { Set(Value::Integer(number)); }

  // Clears to blank (text) or zero.
  void Clear();
  // Sets the highest or lowest value of the field's type (all 0xFF bytes for
  // text, the largest or smallest number otherwise).
  void SetHighest();
  void SetLowest();

  // The field's text without trailing spaces (text fields only).
  std::string_view ClippedText() const;
  // The raw bytes of the field.
  std::string_view Bytes() const;

 private:
  std::uint8_t* storage_ = nullptr;  // start of the field, not of the record
  const FieldDesc* desc_ = nullptr;
};

int Compare(const FieldRef& a, const FieldRef& b, CaseMode mode = CaseMode::Sensitive);

}  // namespace runtime
