// Reading packed records: every item type, every termination mode, and
// sources that end too early (run under the sanitizers, any read past the
// copy of the source fails).
#include <gtest/gtest.h>

#include <string>

#include "data/ByteRecordReader.h"
#include "runtime/files/RecordBuffer.h"

using namespace marlinden;
using runtime::FieldType;

namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out += static_cast<char>(v);
  return out;
}

class ByteRecordReaderTest : public ::testing::Test {
 protected:
  ~ByteRecordReaderTest() override { reader.Kill(); }

  runtime::FieldRef F(const char* label) { return vars.Field(label); }

  // Reads every record, each as "number:text".
  std::vector<std::string> ReadAll() {
    std::vector<std::string> records;
    while (reader.NextRecord() == SeverityOk) {
      records.push_back(F("V:NUM").Get().AsText() + ":" + std::string(F("V:TEXT").ClippedText()));
      if (records.size() > 100) break;  // a reader that never ends fails here
    }
    return records;
  }

  runtime::RecordLayout layout = runtime::RecordLayout::Builder("Vars", "V")
                                     .Field("NUM", FieldType::Int32)
                                     .String("TEXT", 2000)
                                     .Field("BIG", FieldType::Real)
                                     .Build();
  runtime::RecordBuffer vars{layout};
  ByteRecordReader reader;
};

TEST_F(ByteRecordReaderTest, NumberTypesReadLittleEndianWithTheirSign) {
  struct Case {
    std::uint8_t type;
    std::string source;
    std::int64_t expected;
  };
  const std::vector<Case> cases = {
      {ByteRecordReader::ItemByte, Bytes({0xFF}), 255},
      {ByteRecordReader::ItemShort, Bytes({0xFE, 0xFF}), -2},
      {ByteRecordReader::ItemShort, Bytes({0x34, 0x12}), 0x1234},
      {ByteRecordReader::ItemUShort, Bytes({0xFE, 0xFF}), 65534},
      {ByteRecordReader::ItemLong, Bytes({0x01, 0x00, 0x02, 0x00}), 131073},
      {ByteRecordReader::ItemLong, Bytes({0xFF, 0xFF, 0xFF, 0xFF}), -1},
      {ByteRecordReader::ItemLong, Bytes({0x00, 0x00, 0x00, 0x80}), -2147483648LL},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.type));
    reader.Init(ByteRecordReader::UntilUsedUp);
    ASSERT_TRUE(reader.AddItem(c.type, F("V:BIG")));
    reader.SetSource(c.source);
    ASSERT_EQ(reader.NextRecord(), SeverityOk);
    EXPECT_EQ(F("V:BIG").Get().AsInteger(), c.expected);
    EXPECT_EQ(reader.NextRecord(), SeverityNotify);  // exactly one record, then the end
  }
  EXPECT_FALSE(reader.AddItem(7, F("V:NUM")));
  EXPECT_FALSE(reader.AddItem(0, F("V:NUM")));
}

TEST_F(ByteRecordReaderTest, CountedSourcesReadTheirCountOfRecords) {
  // Mode 3, as the toolbar packs it: a control number and a text per record.
  reader.Init(ByteRecordReader::CountedByte);
  reader.AddItem(ByteRecordReader::ItemUShort, F("V:NUM"));
  reader.AddItem(ByteRecordReader::ItemLengthText, F("V:TEXT"));
  reader.SetSource(Bytes({2, 0xD0, 0x07, 3}) + "Add" + Bytes({0xD1, 0x07, 0}) + "trailing junk");
  EXPECT_EQ(reader.ITEMS, 2);
  EXPECT_EQ(ReadAll(), (std::vector<std::string>{"2000:Add", "2001:"}));
  EXPECT_EQ(reader.RECORDPNT, 3);

  reader.SetSource(Bytes({0, 0xD0, 0x07, 1, 'x'}));  // a count of 0 yields nothing
  EXPECT_TRUE(ReadAll().empty());

  reader.Init(ByteRecordReader::CountedShort);
  reader.AddItem(ByteRecordReader::ItemByte, F("V:NUM"));
  reader.SetSource(Bytes({3, 0, 7, 8, 9, 10}));
  EXPECT_EQ(ReadAll(), (std::vector<std::string>{"7:", "8:", "9:"}));
}

// The largest count, 65535, reads exactly that many records: the record
// number must not wrap to 0 and read on; without items the count still ends.
TEST_F(ByteRecordReaderTest, TheLargestCountEndsAfterItsRecords) {
  const std::string source = Bytes({0xFF, 0xFF}) + std::string(70000, '\x01');
  for (bool withItem : {true, false}) {
    SCOPED_TRACE(withItem);
    reader.Init(ByteRecordReader::CountedShort);
    if (withItem) reader.AddItem(ByteRecordReader::ItemByte, F("V:NUM"));
    reader.SetSource(source);
    ASSERT_EQ(reader.ITEMS, 65535);
    int records = 0;
    while (reader.NextRecord() == SeverityOk && records <= 70000) ++records;
    EXPECT_EQ(records, 65535);
    EXPECT_EQ(reader.NextRecord(), SeverityNotify);
  }
}

TEST_F(ByteRecordReaderTest, TheTerminatorRecordEndsReadingUncounted) {
  reader.Init(ByteRecordReader::UntilTerminator);
  reader.SetTerminator("END");
  reader.AddItem(ByteRecordReader::ItemZeroText, F("V:TEXT"));
  reader.AddItem(ByteRecordReader::ItemByte, F("V:NUM"));
  reader.SetSource(std::string("a\0\1b\0\2END\0\3c\0\4", 14));
  EXPECT_EQ(ReadAll(), (std::vector<std::string>{"1:a", "2:b"}));
  EXPECT_EQ(reader.RECORDPNT, 3);
  EXPECT_EQ(reader.NextRecord(), SeverityNotify);  // and stays ended

  // Without its terminator the source still ends where its bytes do.
  reader.SetSource(std::string("a\0\1b\0\2", 6));
  EXPECT_EQ(ReadAll(), (std::vector<std::string>{"1:a", "2:b"}));
}

TEST_F(ByteRecordReaderTest, ASourceCutShortNeverReadsPastItsEnd) {
  struct Case {
    std::uint8_t termination;
    std::uint8_t first, second;
    std::string source;
    std::vector<std::string> expected;
  };
  using R = ByteRecordReader;
  const std::vector<Case> cases = {
      // The last record lacks bytes: they read as zero and reading stops.
      {R::UntilUsedUp, R::ItemLong, R::ItemLengthText, Bytes({1, 0, 0, 0, 1, 'a', 2}), {"1:a", "2:"}},
      // A length byte promising more than there is.
      {R::UntilUsedUp, R::ItemByte, R::ItemLengthText, Bytes({5, 200}) + "abc", {"5:abc"}},
      // A zero-ended text without its zero byte.
      {R::UntilUsedUp, R::ItemByte, R::ItemZeroText, Bytes({6}) + "open", {"6:open"}},
      // A count larger than the records present.
      {R::CountedShort, R::ItemByte, R::ItemLengthText, Bytes({50, 0, 1, 1, 'z'}), {"1:z"}},
      {R::CountedByte, R::ItemShort, R::ItemZeroText, Bytes({9}), {}},
      {R::CountedShort, R::ItemShort, R::ItemZeroText, Bytes({9}), {}},
      {R::UntilUsedUp, R::ItemByte, R::ItemLengthText, "", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.expected));
    reader.Init(c.termination);
    reader.AddItem(c.first, F("V:NUM"));
    reader.AddItem(c.second, F("V:TEXT"));
    reader.SetSource(c.source);
    EXPECT_EQ(ReadAll(), c.expected);
  }
}

TEST_F(ByteRecordReaderTest, ALongZeroEndedTextIsCutAndReadingGoesOnAfterIt) {
  reader.Init(ByteRecordReader::UntilUsedUp);
  reader.AddItem(ByteRecordReader::ItemZeroText, F("V:TEXT"));
  reader.AddItem(ByteRecordReader::ItemByte, F("V:NUM"));
  reader.SetSource(std::string(1500, 'x') + std::string("\0\x2a", 2));
  ASSERT_EQ(reader.NextRecord(), SeverityOk);
  EXPECT_EQ(F("V:TEXT").ClippedText(), std::string(1024, 'x'));
  EXPECT_EQ(F("V:NUM").Get().AsInteger(), 42);
  EXPECT_EQ(reader.NextRecord(), SeverityNotify);
}

}  // namespace
