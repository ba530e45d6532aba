#include "runtime/values/FieldDesc.h"

namespace runtime {

bool IsText(FieldType type) { return type == FieldType::String; }

std::uint32_t SizeOf(FieldType type) {
  switch (type) {
    case FieldType::String:
      return 0;
    case FieldType::Int8:
    case FieldType::UInt8:
      return 1;
    case FieldType::Int16:
    case FieldType::UInt16:
      return 2;
    case FieldType::Int32:
    case FieldType::UInt32:
    case FieldType::Date:
    case FieldType::Time:
      return 4;
    case FieldType::Real:
      return 8;
  }
  return 0;
}

}  // namespace runtime
