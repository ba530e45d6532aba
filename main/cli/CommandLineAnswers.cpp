#include "main/cli/CommandLineAnswers.h"

namespace marlinden::cli {

CommandLineAnswers::CommandLineAnswers(Answer answer, std::ostream& err) : answer_(answer), err_(err) {
  previous_ = runtime::ui::SetMessageBoxService(this);
}

CommandLineAnswers::~CommandLineAnswers() { runtime::ui::SetMessageBoxService(previous_); }

std::uint32_t CommandLineAnswers::Show(const runtime::ui::MessageBoxRequest& request) {
  err_ << "marlinden-cli: " << (request.caption.empty() ? "" : request.caption + ": ") << request.text << "\n";
  if ((request.buttons & runtime::ui::ButtonYes) == 0) return request.defaultButton;
  if (answer_ == Answer::Yes) return runtime::ui::ButtonYes;
  err_ << "marlinden-cli: not answered Yes without --yes\n";
  return (request.buttons & runtime::ui::ButtonNo) != 0 ? runtime::ui::ButtonNo : runtime::ui::ButtonCancel;
}

}  // namespace marlinden::cli
