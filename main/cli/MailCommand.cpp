#include "main/cli/MailCommand.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <vector>

#include "mail/MailSender.h"

namespace marlinden::cli {
namespace {

constexpr const char* kMailer = "Marlinden";
constexpr std::uint8_t kAttachmentType = 8;
constexpr std::uint8_t kMessageType = 6;

class MailCommand : public CliCommand {
 public:
  int Parse(std::span<const std::string> args, std::ostream& err) override {
    for (std::size_t i = 0; i < args.size(); ++i) {
      const std::string& option = args[i];
      std::string* single = option == "--server"    ? &server_
                            : option == "--from"    ? &from_
                            : option == "--to-name" ? &toName_
                            : option == "--subject" ? &subject_
                                                    : nullptr;
      const bool repeated = option == "--to" || option == "--attach" || option == "--body-file";
      if (single == nullptr && !repeated) {
        err << "marlinden-cli mail: unknown option " << option << "\n";
        return kExitUsage;
      }
      if (i + 1 == args.size()) {
        err << "marlinden-cli mail: " << option << " needs a value\n";
        return kExitUsage;
      }
      const std::string& value = args[++i];
      if (single != nullptr) {
        *single = value;
      } else if (option == "--to") {
        to_.push_back(value);
      } else if (option == "--attach") {
        attachments_.push_back(std::filesystem::absolute(value).string());
      } else {
        bodyFile_ = std::filesystem::absolute(value).string();
      }
    }
    for (const auto& [name, value] : {std::pair{"--server", server_}, std::pair{"--from", from_}}) {
      if (value.empty()) {
        err << "marlinden-cli mail: " << name << " is required\n";
        return kExitUsage;
      }
    }
    if (to_.empty()) {
      err << "marlinden-cli mail: --to is required\n";
      return kExitUsage;
    }
    return kExitOk;
  }

  int Execute(std::ostream&, std::ostream& err) override {
    std::string body;
    if (bodyFile_) {
      std::ifstream in(*bodyFile_, std::ios::binary);
      std::ostringstream text;
      if (in) text << in.rdbuf();
      if (!in || in.bad()) {
        err << "marlinden-cli mail: cannot read " << *bodyFile_ << "\n";
        return kExitNoInput;
      }
      body = text.str();
    }

    MailSender sender;
    sender.Init();
    sender.SetMailHost(server_);
    sender.SetMailer(kMailer);
    sender.SetFrom(from_);
    sender.SetSubject(subject_);
    (void)sender.TONAME.Set(toName_);
    for (const std::string& to : to_) sender.AddRecipient(to);
    for (const std::string& path : attachments_) sender.AddAttachment(path, kAttachmentType);
    if (bodyFile_) sender.SetMessageText(body, kMessageType);
    const std::uint32_t result = sender.Send();
    if (result != MailSent) {
      // The server's reply follows a carriage return in the text; on a
      // terminal it goes on a line of its own.
      std::string text = sender.ErrorText(result);
      std::replace(text.begin(), text.end(), '\r', '\n');
      err << "marlinden-cli mail: " << text << "\n";
    }
    sender.Kill();
    return result <= MailNoRecipients ? static_cast<int>(result) : static_cast<int>(MailUnknownError);
  }

 private:
  std::string server_, from_, toName_, subject_;
  std::vector<std::string> to_, attachments_;
  std::optional<std::string> bodyFile_;
};

}  // namespace

std::unique_ptr<CliCommand> MakeMailCommand() { return std::make_unique<MailCommand>(); }

}  // namespace marlinden::cli
