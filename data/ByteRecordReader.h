// Reads typed values out of a packed byte string into a list of variables,
// one record at a time. A record is the items added with AddItem, read in
// order; the source ends as its termination mode says. Reads never go past
// the source: bytes missing at its end read as zero (a text ends there), and
// the record they cut short is the last one. Used under the runtime lock.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "errors/Severity.h"
#include "runtime/queue/Queue.h"
#include "runtime/values/FieldRef.h"
#include "runtime/values/Value.h"

namespace marlinden {

class ByteRecordReader {
 public:
  enum ItemType : std::uint8_t {
    ItemZeroText = 1,    // bytes up to a zero byte; the text before it (at most 1,024 bytes)
    ItemLengthText = 2,  // a length byte n, then n bytes of text
    ItemByte = 3,        // unsigned 8-bit
    ItemShort = 4,       // signed 16-bit, little-endian
    ItemUShort = 5,      // unsigned 16-bit, little-endian
    ItemLong = 6,        // signed 32-bit: low 16 bits first, then high 16 bits
  };

  enum Termination : std::uint8_t {
    UntilUsedUp = 1,      // records follow one another to the end of the source
    CountedShort = 2,     // the source starts with a 16-bit little-endian record count
    CountedByte = 3,      // the source starts with a one-byte record count
    UntilTerminator = 4,  // a record whose first item equals TERMINATORVALUE ends it
  };

  struct ReaderItem {
    std::uint8_t ITEMTYPE = 0;
    runtime::FieldRef DESTINATION;  // borrowed; an invalid reference skips the value
  };

  // No source, no items, TERMINATION = termination, no terminator.
  void Init(std::uint8_t termination);
  // Drops the items and the source copy.
  void Kill();

  // Appends an item; false for a type outside 1..6.
  bool AddItem(std::uint8_t type, runtime::FieldRef destination);
  // Takes a copy of bytes as the source and starts again from its beginning.
  void SetSource(std::string_view bytes);
  // The end marker of mode 4 (at most 33 bytes).
  void SetTerminator(std::string_view value);

  // Reads one record into the destinations: SeverityOk when a record was
  // read, SeverityNotify when the source is exhausted.
  Severity NextRecord();

  // --- Fields (read by callers and tests) ---------------------------------
  std::int32_t CHARPNT = 1;     // 1-based position of the next byte
  std::uint16_t ITEMS = 0;      // records in the source (modes 2 and 3)
  std::uint16_t RECORDPNT = 1;  // number of the next record
  std::int32_t SOURCESIZE = 0;
  std::string STR;  // the source bytes, owned
  std::uint8_t TERMINATION = UntilUsedUp;
  std::string TERMINATORVALUE;  // at most 33 bytes
  runtime::Queue<ReaderItem> DESCRIPTOR;

 private:
  void Reset();
  bool UsedUp() const { return CHARPNT > SOURCESIZE; }
  std::uint32_t ReadBytes(int count);  // little-endian; missing bytes read as zero
  runtime::Value ReadItem(std::uint8_t type);
};

}  // namespace marlinden
