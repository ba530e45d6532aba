#include "runtime/values/FieldRef.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace runtime {

namespace {
template <typename T>
T Load(const std::uint8_t* at) {
  T value;
  std::memcpy(&value, at, sizeof value);  // little-endian host, as the file layout
  return value;
}

template <typename T>
void StoreClamped(std::uint8_t* at, std::int64_t number) {
  const std::int64_t low = static_cast<std::int64_t>(std::numeric_limits<T>::min());
  const std::int64_t high = static_cast<std::int64_t>(std::numeric_limits<T>::max());
  const T value = static_cast<T>(std::clamp(number, low, high));
  std::memcpy(at, &value, sizeof value);
}

template <typename T>
void StoreLimit(std::uint8_t* at, bool highest) {
  const T value = highest ? std::numeric_limits<T>::max() : std::numeric_limits<T>::lowest();
  std::memcpy(at, &value, sizeof value);
}
}  // namespace

Value FieldRef::Get() const {
  const std::uint8_t* at = storage_;
  switch (desc_->type) {
    case FieldType::String:
      return Value::Text(ClippedText());
    case FieldType::Int8:
      return Value::Integer(Load<std::int8_t>(at));
    case FieldType::UInt8:
      return Value::Integer(Load<std::uint8_t>(at));
    case FieldType::Int16:
      return Value::Integer(Load<std::int16_t>(at));
    case FieldType::UInt16:
      return Value::Integer(Load<std::uint16_t>(at));
    case FieldType::Int32:
    case FieldType::Date:
    case FieldType::Time:
      return Value::Integer(Load<std::int32_t>(at));
    case FieldType::UInt32:
      return Value::Integer(Load<std::uint32_t>(at));
    case FieldType::Real:
      return Value::Real(Load<double>(at));
  }
  return {};
}

void FieldRef::Set(const Value& value) {
  std::uint8_t* at = storage_;
  switch (desc_->type) {
    case FieldType::String:
      StoreFixed(std::span<char>(reinterpret_cast<char*>(at), desc_->size), value.AsText());
      return;
    case FieldType::Int8:
      StoreClamped<std::int8_t>(at, value.AsInteger());
      return;
    case FieldType::UInt8:
      StoreClamped<std::uint8_t>(at, value.AsInteger());
      return;
    case FieldType::Int16:
      StoreClamped<std::int16_t>(at, value.AsInteger());
      return;
    case FieldType::UInt16:
      StoreClamped<std::uint16_t>(at, value.AsInteger());
      return;
    case FieldType::Int32:
    case FieldType::Date:
    case FieldType::Time:
      StoreClamped<std::int32_t>(at, value.AsInteger());
      return;
    case FieldType::UInt32:
      StoreClamped<std::uint32_t>(at, value.AsInteger());
      return;
    case FieldType::Real: {
      const double number = value.AsReal();
      std::memcpy(at, &number, sizeof number);
      return;
    }
  }
}

void FieldRef::Clear() {
  if (IsText()) {
    std::memset(storage_, ' ', desc_->size);
  } else {
    std::memset(storage_, 0, desc_->size);
  }
}

void FieldRef::SetHighest() {
  switch (desc_->type) {
    case FieldType::String:
      std::memset(storage_, 0xFF, desc_->size);
      return;
    case FieldType::Int8:
      StoreLimit<std::int8_t>(storage_, true);
      return;
    case FieldType::UInt8:
      StoreLimit<std::uint8_t>(storage_, true);
      return;
    case FieldType::Int16:
      StoreLimit<std::int16_t>(storage_, true);
      return;
    case FieldType::UInt16:
      StoreLimit<std::uint16_t>(storage_, true);
      return;
    case FieldType::Int32:
    case FieldType::Date:
    case FieldType::Time:
      StoreLimit<std::int32_t>(storage_, true);
      return;
    case FieldType::UInt32:
      StoreLimit<std::uint32_t>(storage_, true);
      return;
    case FieldType::Real:
      StoreLimit<double>(storage_, true);
      return;
  }
}

void FieldRef::SetLowest() {
  switch (desc_->type) {
    case FieldType::String:
      std::memset(storage_, 0, desc_->size);
      return;
    case FieldType::Int8:
      StoreLimit<std::int8_t>(storage_, false);
      return;
    case FieldType::UInt8:
      StoreLimit<std::uint8_t>(storage_, false);
      return;
    case FieldType::Int16:
      StoreLimit<std::int16_t>(storage_, false);
      return;
    case FieldType::UInt16:
      StoreLimit<std::uint16_t>(storage_, false);
      return;
    case FieldType::Int32:
    case FieldType::Date:
    case FieldType::Time:
      StoreLimit<std::int32_t>(storage_, false);
      return;
    case FieldType::UInt32:
      StoreLimit<std::uint32_t>(storage_, false);
      return;
    case FieldType::Real:
      StoreLimit<double>(storage_, false);
      return;
  }
}

std::string_view FieldRef::ClippedText() const { return Clip(Bytes()); }

std::string_view FieldRef::Bytes() const { return {reinterpret_cast<const char*>(storage_), desc_->size}; }

int Compare(const FieldRef& a, const FieldRef& b, CaseMode mode) { return Compare(a.Get(), b.Get(), mode); }

}  // namespace runtime
