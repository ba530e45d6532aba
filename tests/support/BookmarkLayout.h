// The bookmark record layout (510 bytes, one memo, three keys), for tests
// and benchmarks of the data layers.
#pragma once

#include "runtime/files/RecordLayout.h"

namespace testing_support {

enum BookmarkKey : std::size_t { NumKey = 1, NameKey = 2, DescKey = 3 };

inline runtime::RecordLayout BookmarkLayout() {
  using runtime::FieldType;
  return runtime::RecordLayout::Builder("Marlinden", "WEB")
      .Field("NUM", FieldType::Int32)
      .String("URL", 255)
      .String("DESCRIPTION", 250)
      .Field("NOTEFIELD", FieldType::UInt8)
      .Memo("NOTES", 1000)
      .Key("NUMKEY", {{1}}, runtime::KeyUnique | runtime::KeyNoCase)
      .Key("NAMEKEY", {{2}}, runtime::KeyUnique | runtime::KeyNoCase)
      .Key("DESCKEY", {{3}}, runtime::KeyNoCase)
      .Build();
}

}  // namespace testing_support
