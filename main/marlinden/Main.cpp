// The program's entry: makes the data folder the current directory, then
// start-up, the main bookmark window and shutdown run on the runtime's first
// thread, with the Qt backend showing the windows. There is no command line.
// The exit code is 0, or 1 when the data folder cannot be used (the user is
// told why and no file is written).
#include <optional>
#include <system_error>

#include "app/DataFolder.h"
#include "app/StartUp.h"
#include "procedures/MainWindow.h"
#include "qt/RunQtProgram.h"
#include "runtime/ui/Dialogs.h"

int main(int argc, char** argv) {
  const std::optional<std::filesystem::path> folder = marlinden::DataFolder();
  const std::error_code error =
      folder ? marlinden::EnterDataFolder(*folder) : std::make_error_code(std::errc::no_such_file_or_directory);
  if (error) {
    runtime::qt::RunQtProgram(argc, argv, [&folder, error] {
      runtime::ui::MessageBoxRequest request;
      request.caption = marlinden::kDataFolderErrorTitle;
      request.text = marlinden::DataFolderError(folder, error);
      request.icon = runtime::ui::Icon::Hand;
      (void)runtime::ui::AskMessage(request);
    });
    return 1;
  }
  runtime::qt::RunQtProgram(argc, argv, [] { (void)marlinden::RunProgram(marlinden::MainBookmarkWindow); });
  return 0;
}
