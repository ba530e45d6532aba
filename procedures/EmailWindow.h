// The e-mail form: one message, with at most one attached file, to the mail
// server of the user's choice. The mail host and the sender come back from
// the last use (the mail settings file holds one record); everything else
// starts empty. OK sends through a MailSender while a "Sending Email . . ."
// window shows (OK is disabled meanwhile), tells the result in a message
// box and stores the settings; a sent mail closes the form, a failed send
// leaves it open with everything typed, to be corrected and sent again.
// Cancel closes it without storing anything. Runs on the
// calling runtime thread, holding the runtime lock (released while the mail
// is handed over).
#pragma once

#include <cstdint>
#include <string>

#include "errors/Severity.h"
#include "runtime/ui/WindowDescription.h"
#include "window/FileSelector.h"
#include "window/WindowManager.h"

namespace marlinden {

// The form's controls, numbered in declaration order, which is the screen's
// from the top (and so the order Tab visits them in).
enum EmailControl : std::int32_t {
  EmailHost = 1,
  EmailSender,
  EmailReceiver,
  EmailAttachmentButton,
  EmailAttachment,
  EmailSubject,
  EmailMessage,
  EmailOkButton,
  EmailCancelButton,
};

inline constexpr const char* kEmailIniSection = "emailscreen";
inline constexpr const char* kEmailMailer = "Marlinden";
inline constexpr const char* kMailSentText = "Mail Send OK!";
inline constexpr const char* kMailFailedText = "Error sending E-Mail!|";
inline constexpr const char* kMailBoxCaption = "Internet Mail";
inline constexpr const char* kAttachmentTooLongText =
    "The path of the chosen file is longer than 250 characters, so the file cannot be attached.";
inline constexpr std::size_t kAttachmentWidth = 250;
inline constexpr std::size_t kEmailMessageWidth = 1000;
inline constexpr std::uint8_t kEmailAttachmentType = 8;
inline constexpr std::uint8_t kEmailMessageType = 6;

runtime::ui::WindowDescription EmailWindowDescription();
runtime::ui::WindowDescription SendingEmailWindowDescription();

class EmailWindow : public WindowManager {
 public:
  Severity Init() override;
  Severity Kill() override;
  Severity TakeAccepted() override;

 private:
  void ChooseAttachment();
  // Copies the entries into the settings record (each cut to its field).
  void StoreControls();
  // Sends the form's mail and tells the result; true when it was sent.
  bool SendMail();
  void StoreSettings();

  FileSelector selector_;
  bool filesOpened_ = false;
  bool hasRecord_ = false;  // the settings file holds the record this form stores
  bool sending_ = false;    // from OK until the send has ended
};

// The e-mail procedure: runs the form; leaves its result in ResponseCode.
void Email();

}  // namespace marlinden
