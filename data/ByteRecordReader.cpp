#include "data/ByteRecordReader.h"

#include <algorithm>

#include "runtime/text/FixedText.h"

namespace marlinden {

namespace {
constexpr std::size_t kZeroTextLimit = 1024;
constexpr std::size_t kTerminatorWidth = 33;
}  // namespace

void ByteRecordReader::Init(std::uint8_t termination) {
  STR.clear();
  SOURCESIZE = 0;
  DESCRIPTOR.Free();
  TERMINATION = termination;
  TERMINATORVALUE.clear();
  Reset();
}

void ByteRecordReader::Kill() {
  DESCRIPTOR.Free();
  STR.clear();
  SOURCESIZE = 0;
}

bool ByteRecordReader::AddItem(std::uint8_t type, runtime::FieldRef destination) {
  if (type < ItemZeroText || type > ItemLong) return false;
  DESCRIPTOR.Add(ReaderItem{type, destination});
  return true;
}

void ByteRecordReader::SetSource(std::string_view bytes) {
  STR.assign(bytes);
  SOURCESIZE = static_cast<std::int32_t>(std::min<std::size_t>(STR.size(), INT32_MAX));
  Reset();
}

void ByteRecordReader::SetTerminator(std::string_view value) {
  TERMINATORVALUE = std::string(value.substr(0, kTerminatorWidth));
}

void ByteRecordReader::Reset() {
  RECORDPNT = 1;
  CHARPNT = 1;
  ITEMS = 0;
  if (TERMINATION == CountedShort) ITEMS = static_cast<std::uint16_t>(ReadBytes(2));
  if (TERMINATION == CountedByte) ITEMS = static_cast<std::uint16_t>(ReadBytes(1));
}

std::uint32_t ByteRecordReader::ReadBytes(int count) {
  std::uint32_t value = 0;
  for (int i = 0; i < count; ++i, ++CHARPNT) {
    if (!UsedUp()) value |= std::uint32_t{static_cast<std::uint8_t>(STR[CHARPNT - 1])} << (8 * i);
  }
  return value;
}

runtime::Value ByteRecordReader::ReadItem(std::uint8_t type) {
  switch (type) {
    case ItemZeroText: {
      const std::string_view rest = UsedUp() ? std::string_view() : std::string_view(STR).substr(CHARPNT - 1);
      const std::size_t zero = rest.find('\0');
      const std::string_view text = rest.substr(0, zero);
      // Past the zero byte, or to the end of the source when it has none.
      CHARPNT += static_cast<std::int32_t>(zero == std::string_view::npos ? rest.size() : zero + 1);
      return runtime::Value::Text(text.substr(0, kZeroTextLimit));
    }
    case ItemLengthText: {
      const auto length = static_cast<std::int32_t>(ReadBytes(1));
      std::string_view text;
      if (!UsedUp()) {
        const std::int32_t available = std::min(length, SOURCESIZE - CHARPNT + 1);
        text = std::string_view(STR).substr(CHARPNT - 1, static_cast<std::size_t>(available));
      }
      CHARPNT += length;
      return runtime::Value::Text(text);
    }
    case ItemByte:
      return runtime::Value::Integer(ReadBytes(1));
    case ItemShort:
      return runtime::Value::Integer(static_cast<std::int16_t>(ReadBytes(2)));
    case ItemUShort:
      return runtime::Value::Integer(ReadBytes(2));
    case ItemLong:
      return runtime::Value::Integer(static_cast<std::int32_t>(ReadBytes(4)));
    default:
      return {};
  }
}

Severity ByteRecordReader::NextRecord() {
  // Whatever the mode, a source that is used up holds no further record: a
  // wrong count or a missing terminator must not yield records of zeros.
  if (UsedUp()) return SeverityNotify;
  const bool counted = TERMINATION == CountedShort || TERMINATION == CountedByte;
  // RECORDPNT wraps to 0 after record 65535, the most a count can give.
  if (counted && (ITEMS < RECORDPNT || RECORDPNT == 0)) return SeverityNotify;
  // Without items a record reads nothing, so only a count can end the source.
  if (!counted && DESCRIPTOR.Empty()) return SeverityNotify;
  const std::int32_t recordStart = CHARPNT;
  bool first = true;
  for (ReaderItem& item : DESCRIPTOR) {
    const runtime::Value value = ReadItem(item.ITEMTYPE);
    if (item.DESTINATION.Valid()) item.DESTINATION.Set(value);
    if (first && TERMINATION == UntilTerminator &&
        runtime::Compare(value, runtime::Value::Text(TERMINATORVALUE)) == 0) {
      // Stay on the terminating record so every later call ends here too.
      CHARPNT = recordStart;
      return SeverityNotify;
    }
    first = false;
  }
  ++RECORDPNT;
  return SeverityOk;
}

}  // namespace marlinden
