// The description of one field of a record or of a bound variable: its type,
// its size and where it lies. Record layouts (runtime/files) are built from
// these; field references and bindings read them.
#pragma once

#include <cstdint>
#include <string>

namespace runtime {

enum class FieldType : std::uint8_t {
  String,  // fixed-length, space-padded bytes
  Int8,
  UInt8,
  Int16,
  UInt16,
  Int32,
  UInt32,
  Real,  // 8-byte IEEE double
  Date,  // 32-bit signed: days since 1970-01-01, 0 = no date
  Time,  // 32-bit signed: hundredths of a second since midnight, plus 1; 0 = no time
};

bool IsText(FieldType type);
std::uint32_t SizeOf(FieldType type);  // fixed size of a non-text type

struct FieldDesc {
  std::string label;  // with the file's prefix: "WEB:URL"
  FieldType type = FieldType::String;
  std::uint32_t size = 0;
  std::uint32_t offset = 0;
};

}  // namespace runtime
