// What the bookmark commands of marlinden-cli share: the procedures'
// messages answered on the command line, and the bookmark file opened for
// a command. Thread: the runtime's thread 1, holding the runtime lock.
#pragma once

#include <cstdint>
#include <ostream>

#include "app/Globals.h"
#include "main/cli/CliCommand.h"
#include "runtime/ui/MessageBox.h"

namespace marlinden::cli {

// Whether a question the procedures ask is answered Yes (--yes) or No.
enum class Answer : std::uint8_t { No, Yes };

// While it lives, each message goes to standard error as its title and
// text; a Yes/No question is answered Yes with Answer::Yes and refused (No)
// otherwise.
class CommandLineAnswers final : public runtime::ui::MessageBoxService {
 public:
  CommandLineAnswers(Answer answer, std::ostream& err);
  ~CommandLineAnswers() override;
  CommandLineAnswers(const CommandLineAnswers&) = delete;
  CommandLineAnswers& operator=(const CommandLineAnswers&) = delete;

  std::uint32_t Show(const runtime::ui::MessageBoxRequest& request) override;

 private:
  const Answer answer_;
  std::ostream& err_;
  runtime::ui::MessageBoxService* previous_ = nullptr;
};

// Runs f (which returns an exit status) over the bookmark file, open for
// the command, its messages answered No on err; kExitNoInput when the file
// cannot be opened.
template <typename F>
int WithBookmarkFile(std::ostream& err, F f) {
  CommandLineAnswers answers(Answer::No, err);
  if (BookmarkStoreRelations->Open() != SeverityOk || BookmarkStoreManager->UseFile() != SeverityOk) {
    return kExitNoInput;
  }
  const int status = f();
  (void)BookmarkStoreRelations->Close();
  return status;
}

}  // namespace marlinden::cli
