// The BASIC driver: one record per line of comma-delimited fields, assigned
// to the record's fields in order with conversion. All fields but the last
// are read comma-delimited, a field that starts with a double quote being
// quoted ("" inside it is a quote); the last field receives the rest of the
// line exactly as it stands, commas and quotes included. So a one-field
// record holds the whole line.
//
// Add writes the fields comma-separated: numbers plain, text without its
// trailing spaces, quoted (quotes doubled) when it holds a comma or a quote;
// the last field is written as it stands, since that is how it reads back.
#include <limits>

#include "runtime/files/drivers/Drivers.h"
#include "runtime/files/drivers/TextLineFile.h"
#include "runtime/text/FixedText.h"
#include "runtime/values/FieldRef.h"

namespace runtime {

namespace {

// Reads one delimited field of line from at, leaving at after its comma
// (or at the end of the line).
std::string TakeField(std::string_view line, std::size_t& at) {
  std::string field;
  if (at < line.size() && line[at] == '"') {
    ++at;
    while (at < line.size()) {
      if (line[at] == '"') {
        if (at + 1 < line.size() && line[at + 1] == '"') {
          field += '"';
          at += 2;
          continue;
        }
        ++at;  // closing quote; anything up to the comma is kept as it stands
        break;
      }
      field += line[at++];
    }
  }
  const std::size_t comma = line.find(',', at);
  const std::size_t stop = comma == std::string_view::npos ? line.size() : comma;
  field.append(line.substr(at, stop - at));
  at = comma == std::string_view::npos ? line.size() : comma + 1;
  return field;
}

std::string Quoted(std::string_view text) {
  if (text.find_first_of(",\"") == std::string_view::npos) return std::string(text);
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

class BasicFile final : public TextLineFile {
 public:
  BasicFile(RecordLayout layout, std::string diskName)
      : TextLineFile(Driver::Basic, std::move(layout), std::move(diskName)) {}

 private:
  // The whole line: fields before the last may be quoted and so longer than
  // their width, and a reader of RecordText() gets the line as it stands
  // (a bookmark line carries its icon's data, whole files come on one line).
  std::size_t BytesKept() const override { return std::numeric_limits<std::size_t>::max(); }

  void LoadRecord(std::string_view line) override {
    RecordBuffer& record = Record();
    const std::size_t count = Layout().FieldCount();
    if (count == 0) {
      record.Assign(CutToWidth(line, record.Size()));
      return;
    }
    std::size_t at = 0;
    for (std::size_t number = 1; number < count; ++number) record.Field(number).Set(Value::Text(TakeField(line, at)));
    record.Field(count).Set(Value::Text(line.substr(at)));
  }

  std::string FormatRecord() override {
    RecordBuffer& record = Record();
    const std::size_t count = Layout().FieldCount();
    if (count == 0) return std::string(Clip(AsSingleLine(record.View())));
    std::string line;
    for (std::size_t number = 1; number <= count; ++number) {
      const FieldRef field = record.Field(number);
      if (number > 1) line += ',';
      if (!field.IsText()) {
        line += field.Get().AsText();
        continue;
      }
      const std::string text(Clip(AsSingleLine(field.ClippedText())));
      line += number == count ? text : Quoted(text);
    }
    return line;
  }
};

}  // namespace

std::unique_ptr<DataFile> MakeBasicFile(RecordLayout layout, std::string diskName) {
  return std::make_unique<BasicFile>(std::move(layout), std::move(diskName));
}

}  // namespace runtime
