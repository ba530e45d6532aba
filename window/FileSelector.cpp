#include "window/FileSelector.h"

#include <filesystem>

#include "runtime/system/Directory.h"
#include "runtime/ui/DialogRequests.h"
#include "runtime/ui/Dialogs.h"

namespace marlinden {

namespace {

constexpr std::size_t kMaskWidth = 254;
constexpr std::size_t kTitleWidth = 79;
constexpr std::size_t kDefaultFileWidth = 255;
constexpr std::string_view kAllFiles = "All Files|*.*";

std::string_view ClipRight(std::string_view text) {
  const std::size_t end = text.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1);
}

}  // namespace

void FileSelector::Init() {
  PWINDOWTITLE = "Select A File";
  FLAGS = 0;
}

void FileSelector::SetMask(std::string_view description, std::string_view pattern) {
  MASKSTRING.clear();
  AddMask(description, pattern);
}

void FileSelector::AddMask(std::string_view description, std::string_view pattern) {
  if (ClipRight(description).empty() && ClipRight(pattern).empty()) return;
  const std::string piece = std::string(ClipRight(description)) + "|" + std::string(pattern);
  if (MASKSTRING.empty()) {
    MASKSTRING = piece;
  } else {
    MASKSTRING = std::string(ClipRight(MASKSTRING)) + "|" + std::string(ClipRight(piece));
  }
  if (MASKSTRING.size() > kMaskWidth) MASKSTRING.resize(kMaskWidth);
}

std::string FileSelector::Ask(KeepDirectory keep) {
  // The whole current directory is kept: a shortened one would name another.
  if (keep == KeepDirectory::Yes) SAVEPATH = runtime::ShortPath(runtime::CurrentDirectory());
  if (!DEFAULTDIRECTORY.empty()) (void)runtime::SetCurrentDirectory(DEFAULTDIRECTORY);

  const auto mode = (FLAGS & SelectorSave) != 0 ? runtime::ui::FileDialogMode::Save : runtime::ui::FileDialogMode::Open;
  std::uint32_t flags = 0;
  if ((FLAGS & SelectorKeepDirectory) != 0 || keep == KeepDirectory::Yes) flags |= runtime::ui::KeepDirectory;
  if ((FLAGS & SelectorDirectory) != 0) flags |= runtime::ui::ChooseDirectory;
  const std::string_view masks = MASKSTRING.empty() ? kAllFiles : std::string_view(MASKSTRING);
  const std::string_view title = std::string_view(PWINDOWTITLE).substr(0, kTitleWidth);
  const std::string_view file = std::string_view(DEFAULTFILE).substr(0, kDefaultFileWidth);
  // The dialog is told where to start rather than left to find the current
  // directory, which the user may have changed in an earlier dialog.
  const std::string initial = DEFAULTDIRECTORY.empty() ? std::string(file)
                              : file.empty()           ? DEFAULTDIRECTORY
                                                       : (std::filesystem::path(DEFAULTDIRECTORY) / file).string();
  // The chosen path is returned whole: a cut path would name another file.
  std::string result = runtime::ui::FileDialog(mode, title, initial, masks, flags);

  if (keep == KeepDirectory::Yes) (void)runtime::SetCurrentDirectory(SAVEPATH);
  return result;
}

}  // namespace marlinden
