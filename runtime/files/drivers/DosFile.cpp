// The DOS driver: records are the record's raw bytes, back to back. A short
// last piece reads padded with spaces.
#include "runtime/files/drivers/Drivers.h"
#include "runtime/files/drivers/TextFile.h"
#include "runtime/system/RuntimeError.h"

namespace runtime {

namespace {

class DosFile final : public TextFile {
 public:
  DosFile(RecordLayout layout, std::string diskName) : TextFile(Driver::Dos, std::move(layout), std::move(diskName)) {}

 private:
  std::int64_t Width() const { return static_cast<std::int64_t>(Layout().RecordSize()); }

  std::int32_t ReadRecordAt(std::int64_t offset, Extent& record) override {
    record = Extent{};
    record.start = offset;
    const std::size_t width = static_cast<std::size_t>(Width());
    std::int64_t at = offset;
    while (record.text.size() < width) {
      std::string_view bytes;
      if (const int error = Reader().Peek(at, bytes)) return SystemFailure(error);
      if (bytes.empty()) break;
      bytes = bytes.substr(0, width - record.text.size());
      record.text.append(bytes);
      at += static_cast<std::int64_t>(bytes.size());
    }
    if (record.text.empty()) return SetError(NoRecord);
    record.end = at;
    record.length = at - offset;
    return NoError;
  }

  std::int32_t StartOfRecordBefore(std::int64_t offset, std::int64_t& start) override {
    start = Width() == 0 ? 0 : (offset - 1) / Width() * Width();
    return NoError;
  }

  std::int32_t IsRecordStart(std::int64_t offset, bool& isStart) override {
    isStart = Width() != 0 && offset % Width() == 0;
    return NoError;
  }

  std::int32_t CountRecords(std::int64_t& count) override {
    std::int64_t size = 0;
    if (const std::int32_t error = FileSize(size)) return error;
    count = Width() == 0 ? 0 : (size + Width() - 1) / Width();
    return NoError;
  }

  // A short last piece is completed with spaces (as it reads) so the new
  // record starts on a record boundary.
  std::int32_t SeparatorBeforeAppend(std::string& separator) override {
    separator.clear();
    std::int64_t size = 0;
    if (const std::int32_t error = FileSize(size)) return error;
    if (Width() != 0 && size % Width() != 0) separator.assign(static_cast<std::size_t>(Width() - size % Width()), ' ');
    return NoError;
  }

  void LoadRecord(std::string_view text) override { Record().Assign(text); }
  std::string FormatRecord() override { return std::string(Record().View()); }
  std::string_view Terminator() const override { return {}; }
};

}  // namespace

std::unique_ptr<DataFile> MakeDosFile(RecordLayout layout, std::string diskName) {
  return std::make_unique<DosFile>(std::move(layout), std::move(diskName));
}

}  // namespace runtime
