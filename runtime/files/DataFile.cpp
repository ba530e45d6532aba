#include "runtime/files/DataFile.h"

#include <atomic>
#include <charconv>

#include "runtime/files/drivers/Drivers.h"
#include "runtime/system/RuntimeError.h"
#include "runtime/text/FixedText.h"

namespace runtime {

namespace {
std::atomic<std::int32_t> nextLabel{1};

// The value of an option that is on or off, in any letter case; false
// when it is neither.
bool ParseOnOff(std::string_view value, bool& on) {
  const std::string flag = UpperAscii(value);
  if (flag != "ON" && flag != "OFF") return false;
  on = flag == "ON";
  return true;
}
}  // namespace

std::unique_ptr<DataFile> DataFile::Make(Driver driver, RecordLayout layout, std::string diskName) {
  switch (driver) {
    case Driver::Keyed:
      return MakeKeyedFile(std::move(layout), std::move(diskName));
    case Driver::Ascii:
      return MakeAsciiFile(std::move(layout), std::move(diskName));
    case Driver::Basic:
      return MakeBasicFile(std::move(layout), std::move(diskName));
    case Driver::Dos:
      return MakeDosFile(std::move(layout), std::move(diskName));
  }
  return nullptr;
}

DataFile::DataFile(Driver driver, RecordLayout layout, std::string diskName)
    : driver_(driver),
      label_(nextLabel++),
      layout_(std::move(layout)),
      record_(layout_),
      diskName_(std::move(diskName)) {}

DataFile::~DataFile() = default;

std::int32_t DataFile::AddNumbered(std::size_t, std::size_t) { return SetError(Unsupported); }
std::vector<std::int64_t> DataFile::UpcomingValues(std::size_t, bool, std::size_t) { return {}; }
std::int32_t DataFile::ReadAheadKeys(std::size_t, const std::vector<std::int64_t>&) { return SetError(NoError); }
std::int32_t DataFile::AddNumberedRows(std::size_t, std::vector<RecordBuffer>&, std::vector<NumberedRow>&) {
  return SetError(Unsupported);
}

std::string DataFile::DiskName() const {
  if (diskNameSource_) return std::string(Clip(diskNameSource_()));
  return diskName_;
}

std::int32_t DataFile::SendOption(std::string_view option) {
  const std::size_t equals = option.find('=');
  if (equals == std::string_view::npos) return SetError(BadParameter);
  const std::string name = UpperAscii(Clip(option.substr(0, equals)));
  const std::string_view value = Clip(option.substr(equals + 1));
  if (name == "RECOVER") {
    int seconds = 0;
    auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), seconds);
    if (error != std::errc() || end != value.data() + value.size() || seconds < 0) return SetError(BadParameter);
    recoverSeconds_ = seconds;
    return SetError(NoError);
  }
  if (name == "QUICKSCAN") {
    if (!ParseOnOff(value, quickScan_)) return SetError(BadParameter);
    return QuickScanChanged();
  }
  if (name == "KEYSONLY") return SetError(ParseOnOff(value, keysOnly_) ? NoError : BadParameter);
  return DriverOption(name, value);
}

std::int32_t DataFile::DriverOption(std::string_view, std::string_view) { return SetError(BadParameter); }

std::int32_t DataFile::QuickScanChanged() { return SetError(NoError); }

}  // namespace runtime
