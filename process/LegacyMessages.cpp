#include "process/LegacyMessages.h"

#include <algorithm>

#include "runtime/system/Halt.h"
#include "runtime/system/RuntimeError.h"
#include "runtime/text/FixedText.h"
#include "runtime/ui/MessageBox.h"

namespace marlinden {

namespace {

using runtime::ui::ButtonNo;
using runtime::ui::ButtonOk;
using runtime::ui::ButtonYes;
using runtime::ui::Icon;

constexpr int kFailureExit = 1;
constexpr std::uint8_t kReadWriteShared = 66;

std::uint32_t Tell(std::string_view title, const std::string& text) {
  return AskBarredMessage(title, text, static_cast<std::uint32_t>(Icon::Exclamation), ButtonOk, ButtonOk);
}

}  // namespace

std::uint32_t AskBarredMessage(std::string_view title, std::string_view text, std::uint32_t icon, std::uint32_t buttons,
                               std::uint32_t defaultButton) {
  runtime::ui::MessageBoxRequest request;
  request.caption = std::string(title);
  request.text = std::string(text);
  std::replace(request.text.begin(), request.text.end(), '|', '\n');
  request.icon = static_cast<Icon>(icon);
  request.buttons = buttons;
  request.defaultButton = defaultButton;
  return runtime::ui::ShowMessage(request);
}

std::string LegacyErrorDescription() {
  const runtime::RuntimeError& error = runtime::LastError();
  std::string description;
  if (error.code == runtime::DriverFailure) {
    description =
        std::string(runtime::Clip(error.driverText)) + " (" + std::string(runtime::Clip(error.driverCode)) + ")";
  } else {
    description = std::string(runtime::Clip(error.text)) + " (" + std::to_string(error.code) + ")";
  }
  if (description.size() > 150) description.resize(150);
  return description;
}

std::int32_t LegacyWarning(std::int32_t id, std::string_view fileName) {
  const std::string name(runtime::Clip(fileName));
  const std::string described = id == 2 ? std::string() : LegacyErrorDescription();
  auto endWith = [](std::string_view shown) {
    runtime::Halt(kFailureExit, shown);
    return 0;
  };
  switch (id) {
    case 1:
      Tell("Invalid File", "Error: (" + described + ") accessing " + name + ".  Press OK to end this application.");
      return endWith("Invalid File!");
    case 2: {
      const std::uint32_t answer =
          AskBarredMessage("Invalid Key", name + " key file is invalid.  Do you want to rebuild the key?",
                           static_cast<std::uint32_t>(Icon::Question), ButtonYes | ButtonNo, ButtonYes);
      if (answer == ButtonYes) return 2;
      return endWith("Invalid Key!");
    }
    case 3:
      Tell("Key Rebuild Error",
           "Error: (" + described + ") repairing key for " + name + ".  Press OK to end this application.");
      return endWith("Error Rebuilding Key!");
    case 4:
      Tell("File Creation Error",
           "Error: (" + described + ") creating " + name + ".  Press OK to end this application.");
      return endWith("File Creation Error!");
    case 5:
      Tell("File Creation Error",
           "Error: (" + described + ") opening created file:" + name + ".  Press OK to end this application.");
      return endWith("File Creation Error!");
    case 30:
      return static_cast<std::int32_t>(
          Tell("File Access Error", "File (" + name + ") could not be opened.  Error: " + described + "."));
    case 35:
      Tell("Record Retrieval Error", "Error: (" + described + ") attempting to access a record from the " + name +
                                         " file.  Returning to previous window.");
      return 0;
    case 36:
      Tell("View Open Error",
           "Error: (" + described + ") attempting to open the current VIEW. Filter and Range Limits ignored.");
      return 0;
    default:
      return 0;
  }
}

std::int32_t OpenOrRecoverFile(runtime::DataFile& file, bool createAllowed, bool noCreate, std::uint8_t mode,
                               bool shareAll) {
  const std::uint8_t openMode = shareAll ? kReadWriteShared : mode;
  const std::string name = file.Name();
  std::int32_t code = file.Open(openMode);
  if (code == runtime::FileLocked) {
    (void)file.SendOption("Recover=10");
    code = file.Open(openMode);
  }
  switch (code) {
    case runtime::NoError:
    case runtime::AlreadyOpen:
      return code;
    case runtime::FileNotFound:
      if (noCreate) break;
      if (!createAllowed) {
        LegacyWarning(4, name);
        return code;
      }
      if (file.Create() != runtime::NoError) {
        LegacyWarning(4, name);
        return runtime::LastErrorCode();
      }
      code = file.Open(openMode);
      if (code != runtime::NoError) LegacyWarning(5, name);
      return code;
    case runtime::KeysInvalid:
      if (LegacyWarning(2, name) != 2) return code;
      if (file.BuildKeys() != runtime::NoError) {
        LegacyWarning(3, name);
        return runtime::LastErrorCode();
      }
      code = file.Open(openMode);
      break;
    case runtime::LayoutMismatch:
      LegacyWarning(1, name);
      return code;
    default:
      break;
  }
  if (code != runtime::NoError && code != runtime::AlreadyOpen) {
    if (LegacyWarning(30, name) != 0) runtime::Halt(kFailureExit, "Disk Error");
  }
  return code;
}

}  // namespace marlinden
