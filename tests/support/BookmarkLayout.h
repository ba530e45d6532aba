// The bookmark record layout (510 bytes, one memo, three keys), the one copy
// every test uses: the layers below app/ cannot reach the program's own
// declaration, and tests/app/BookmarkTestLayoutTest.cpp keeps the two equal.
#pragma once

#include "runtime/files/RecordLayout.h"

namespace testing_support {

enum BookmarkKey : std::size_t { NumKey = 1, NameKey = 2, DescKey = 3 };

inline runtime::RecordLayout BookmarkLayout() {
  using runtime::FieldType;
  return runtime::RecordLayout::Builder("MARLINDEN", "WEB")
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
