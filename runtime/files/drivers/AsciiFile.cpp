// The ASCII driver: one record per text line. The record's bytes (all its
// fields together) receive the line's text, space-padded; a longer line is
// cut to the record's size without splitting a UTF-8 character. Add writes
// the record without its trailing spaces.
#include "runtime/files/drivers/Drivers.h"
#include "runtime/files/drivers/TextLineFile.h"
#include "runtime/text/FixedText.h"

namespace runtime {

namespace {

class AsciiFile final : public TextLineFile {
 public:
  AsciiFile(RecordLayout layout, std::string diskName)
      : TextLineFile(Driver::Ascii, std::move(layout), std::move(diskName)) {}

 private:
  // A few bytes past the record's size show where the last whole
  // character ends.
  std::size_t BytesKept() const override { return Layout().RecordSize() + 4; }

  void LoadRecord(std::string_view text) override { Record().Assign(CutToWidth(text, Record().Size())); }

  // Clipped first, so a wide record costs what its text costs; a text
  // without line ends (nearly every one) is taken as it stands.
  std::string FormatRecord() override {
    const std::string_view text = Clip(Record().View());
    if (text.find('\n') == std::string_view::npos && text.find('\r') == std::string_view::npos) {
      return std::string(text);
    }
    return std::string(Clip(AsSingleLine(text)));
  }
};

}  // namespace

std::unique_ptr<DataFile> MakeAsciiFile(RecordLayout layout, std::string diskName) {
  return std::make_unique<AsciiFile>(std::move(layout), std::move(diskName));
}

}  // namespace runtime
