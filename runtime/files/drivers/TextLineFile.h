// Framing shared by the line drivers (ASCII, BASIC): one record per line.
// Reading accepts "\n" and "\r\n" line ends and a last line without one;
// the drivers write "\n". Used under the runtime lock.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/files/drivers/TextFile.h"

namespace runtime {

class TextLineFile : public TextFile {
 protected:
  TextLineFile(Driver driver, RecordLayout layout, std::string diskName);

  // How many leading bytes of a line the driver needs to fill its record;
  // the rest of a longer line is skipped (it is never another record).
  virtual std::size_t BytesKept() const = 0;

  [[nodiscard]] std::int32_t ReadRecordAt(std::int64_t offset, Extent& record) final;
  [[nodiscard]] std::int32_t StartOfRecordBefore(std::int64_t offset, std::int64_t& start) final;
  [[nodiscard]] std::int32_t IsRecordStart(std::int64_t offset, bool& isStart) final;
  [[nodiscard]] std::int32_t CountRecords(std::int64_t& count) final;
  [[nodiscard]] std::int32_t SeparatorBeforeAppend(std::string& separator) final;
  std::string_view Terminator() const final { return "\n"; }

 private:
  // The byte at offset (which must lie inside the file).
  [[nodiscard]] std::int32_t ByteAt(std::int64_t offset, char& byte);
};

// A record's text as one line: line breaks inside it become spaces, so the
// record cannot turn into several records when written.
std::string AsSingleLine(std::string_view text);

}  // namespace runtime
