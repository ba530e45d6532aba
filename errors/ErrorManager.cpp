#include "errors/ErrorManager.h"

#include <array>
#include <cstddef>

#include "runtime/system/Halt.h"
#include "runtime/system/RuntimeError.h"
#include "runtime/text/FixedText.h"
#include "runtime/ui/MessageBox.h"

namespace marlinden {

namespace {

constexpr std::size_t kFieldWidth = 255;
constexpr std::size_t kFormatWidth = 2000;
constexpr std::string_view kFatalSuffix = "  Press OK to end this application";

// The manager's text fields hold clipped values of at most 255 bytes.
std::string FieldValue(std::string_view text) {
  return std::string(runtime::Clip(runtime::CutToWidth(text, kFieldWidth)));
}

// Reads a packed message block row by row without ever reading past its end.
class BlockReader {
 public:
  explicit BlockReader(std::span<const std::uint8_t> block) : block_(block) {}

  bool Byte(std::uint8_t& out) {
    if (at_ >= block_.size()) return false;
    out = block_[at_++];
    return true;
  }

  bool Word(std::uint16_t& out) {
    std::uint8_t low = 0;
    std::uint8_t high = 0;
    if (block_.size() - at_ < 2) return false;
    Byte(low);
    Byte(high);
    out = static_cast<std::uint16_t>(low | (high << 8));
    return true;
  }

  // A text of the length given by the byte before it.
  bool Text(std::string_view& out) {
    std::uint8_t length = 0;
    if (!Byte(length) || block_.size() - at_ < length) return false;
    out = std::string_view(reinterpret_cast<const char*>(block_.data() + at_), length);
    at_ += length;
    return true;
  }

 private:
  std::span<const std::uint8_t> block_;
  std::size_t at_ = 0;
};

// The placeholders in the order they are tried at each '%'. A placeholder
// comes before every shorter one that is its prefix.
enum class Placeholder { ErrorCode, ErrorText, Error, FileErrorCode, FileError, File, Message, Field, Previous };

struct PlaceholderName {
  std::string_view name;
  Placeholder which;
};

constexpr std::array<PlaceholderName, 9> kPlaceholders{{
    {"%ErrorCode", Placeholder::ErrorCode},
    {"%ErrorText", Placeholder::ErrorText},
    {"%Error", Placeholder::Error},
    {"%FileErrorCode", Placeholder::FileErrorCode},
    {"%FileError", Placeholder::FileError},
    {"%File", Placeholder::File},
    {"%Message", Placeholder::Message},
    {"%Field", Placeholder::Field},
    {"%Previous", Placeholder::Previous},
}};

}  // namespace

void ErrorManager::Init() {
  ERRORS.Free();
  current_ = 0;
  AddMessages(DefaultMessages());
  AddMessages(FurtherMessages());
}

void ErrorManager::Kill() {
  ERRORS.Free();
  current_ = 0;
}

void ErrorManager::AddMessages(std::span<const std::uint8_t> block) {
  BlockReader reader(block);
  std::uint16_t rows = 0;
  if (!reader.Word(rows)) return;
  for (std::uint16_t row = 0; row < rows; ++row) {
    MessageEntry entry;
    if (!reader.Word(entry.ID) || !reader.Byte(entry.FATALITY) || !reader.Text(entry.TITLE) ||
        !reader.Text(entry.MESSAGE)) {
      return;  // a block cut short keeps the rows read so far
    }
    ERRORS.Add(entry);
  }
}

bool ErrorManager::FindMessage(std::uint16_t id) {
  current_ = 0;
  if (ERRORS.FindLast([id](const MessageEntry& entry) { return entry.ID == id; }) == nullptr) return false;
  current_ = ERRORS.Pointer();
  return true;
}

const ErrorManager::MessageEntry* ErrorManager::Current() const {
  if (current_ == 0 || current_ > ERRORS.Records()) return nullptr;
  return &*(ERRORS.begin() + static_cast<std::ptrdiff_t>(current_ - 1));
}

void ErrorManager::SetFileName(std::string_view name) { FILENAME = FieldValue(name); }

void ErrorManager::SetFieldName(std::string_view name) { FIELDNAME = FieldValue(name); }

void ErrorManager::CaptureErrors() {
  const runtime::RuntimeError& error = runtime::LastError();
  SAVEERRORCODE = error.code;
  SAVEERROR = FieldValue(error.text);
  SAVEFILEERRORCODE = FieldValue(error.driverCode);
  SAVEFILEERROR = FieldValue(error.driverText);
}

Severity ErrorManager::Raise(std::uint16_t id) {
  CaptureErrors();
  return HandleError(id);
}

Severity ErrorManager::RaiseMessage(std::uint16_t id, std::string_view text) {
  MESSAGETEXT = FieldValue(text);
  return Raise(id);
}

Severity ErrorManager::HandleError(std::uint16_t id) {
  if (!FindMessage(id)) return SeverityNotify;
  switch (Current()->FATALITY) {
    case SeverityOk:
      return HandleOk();
    case SeverityUser:
    case SeverityCancel:
      return HandleUser();
    case SeverityProgram:
      return HandleProgram();
    case SeverityFatal:
      return HandleFatal();
    case SeverityNotify:
      return HandleNotify();
    default:
      return HandleOther();
  }
}

std::uint32_t ErrorManager::Ask(std::uint16_t id, std::uint32_t buttons, std::uint32_t defaultButton) {
  if (!FindMessage(id)) return defaultButton;
  runtime::ui::MessageBoxRequest request;
  request.caption = std::string(Current()->TITLE);
  request.text = FormatMessage();
  request.icon = runtime::ui::Icon::Exclamation;
  request.buttons = buttons;
  request.defaultButton = defaultButton;
  return runtime::ui::ShowMessage(request);
}

std::string ErrorManager::FormatMessage() {
  const MessageEntry* row = Current();
  if (row == nullptr) return {};

  const std::string code = std::to_string(SAVEERRORCODE);
  const std::string errorText = SAVEERRORCODE == runtime::DriverFailure ? SAVEFILEERROR + " (" + SAVEFILEERRORCODE + ")"
                                                                        : SAVEERROR + " (" + code + ")";

  // The raw text of the older row with the same id, looked up only when the
  // text asks for it; the current row stays current.
  bool previousLooked = false;
  std::string_view previous;
  auto previousText = [&]() -> std::string_view {
    if (!previousLooked) {
      previousLooked = true;
      for (std::size_t position = current_ - 1; position > 0; --position) {
        const MessageEntry& older = *(ERRORS.begin() + static_cast<std::ptrdiff_t>(position - 1));
        if (older.ID == row->ID) {
          previous = older.MESSAGE;
          break;
        }
      }
    }
    return previous;
  };

  auto valueOf = [&](Placeholder which) -> std::string_view {
    switch (which) {
      case Placeholder::ErrorCode:
        return code;
      case Placeholder::ErrorText:
        return errorText;
      case Placeholder::Error:
        return SAVEERROR;
      case Placeholder::FileErrorCode:
        return SAVEFILEERRORCODE;
      case Placeholder::FileError:
        return SAVEFILEERROR;
      case Placeholder::File:
        return FILENAME;
      case Placeholder::Message:
        return MESSAGETEXT;
      case Placeholder::Field:
        return FIELDNAME;
      case Placeholder::Previous:
        return previousText();
    }
    return {};
  };

  // One pass over the row's text: values are appended as they are and never
  // scanned again, so a value that holds a placeholder name stays as it is.
  const std::string_view text = row->MESSAGE;
  std::string out;
  std::size_t at = 0;
  while (at < text.size() && out.size() <= kFormatWidth) {
    const PlaceholderName* match = nullptr;
    if (text[at] == '%') {
      for (const PlaceholderName& placeholder : kPlaceholders) {
        if (text.substr(at).starts_with(placeholder.name)) {
          match = &placeholder;
          break;
        }
      }
    }
    if (match == nullptr) {
      out += text[at++];
      continue;
    }
    out += valueOf(match->which);
    at += match->name.size();
  }
  return std::string(runtime::CutToWidth(out, kFormatWidth));
}

Severity ErrorManager::HandleOk() { return SeverityOk; }

Severity ErrorManager::HandleFatal() {
  const MessageEntry* row = Current();
  // Copied before the box opens: another thread may raise while it is open.
  const std::string title = row != nullptr ? std::string(row->TITLE) : std::string();
  runtime::ui::MessageBoxRequest request;
  request.caption = title;
  request.text = FormatMessage() + std::string(kFatalSuffix);
  request.icon = runtime::ui::Icon::Asterisk;
  request.buttons = runtime::ui::ButtonOk;
  request.defaultButton = runtime::ui::ButtonOk;
  (void)runtime::ui::ShowMessage(request);
  runtime::Halt(0, title);
  return SeverityFatal;
}

Severity ErrorManager::HandleNotify() {
  const MessageEntry* row = Current();
  runtime::ui::MessageBoxRequest request;
  request.caption = row != nullptr ? std::string(row->TITLE) : std::string();
  request.text = FormatMessage();
  request.icon = runtime::ui::Icon::Asterisk;
  request.buttons = runtime::ui::ButtonOk;
  request.defaultButton = runtime::ui::ButtonOk;
  (void)runtime::ui::ShowMessage(request);
  return SeverityNotify;
}

Severity ErrorManager::HandleOther() { return HandleProgram(); }

Severity ErrorManager::HandleProgram() { return HandleFatal(); }

Severity ErrorManager::HandleUser() {
  const MessageEntry* row = Current();
  runtime::ui::MessageBoxRequest request;
  request.caption = row != nullptr ? std::string(row->TITLE) : std::string();
  request.text = FormatMessage();
  request.icon = runtime::ui::Icon::Exclamation;
  request.buttons = runtime::ui::ButtonYes | runtime::ui::ButtonNo;
  request.defaultButton = runtime::ui::ButtonYes;
  return runtime::ui::ShowMessage(request) == runtime::ui::ButtonYes ? SeverityOk : SeverityCancel;
}

}  // namespace marlinden
