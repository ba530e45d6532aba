#include "procedures/EmailWindow.h"

#include <memory>

#include "app/DataFiles.h"
#include "app/Globals.h"
#include "mail/MailSender.h"
#include "procedures/ProcedureStart.h"
#include "runtime/text/FixedText.h"
#include "runtime/ui/Dialogs.h"
#include "window/Globals.h"

namespace marlinden {

using runtime::ui::ControlDescription;
using runtime::ui::ControlKind;

namespace {

ControlDescription Control(ControlKind kind, std::string text, runtime::ui::Rect rect, std::string picture = {}) {
  ControlDescription control = runtime::ui::DescribeControl(kind, std::move(text), rect);
  control.picture = std::move(picture);
  return control;
}

runtime::FieldRef Field(MailSettingsField field) { return MailSettingsStore().Record().Field(field); }

void ShowMailBox(const std::string& text, runtime::ui::Icon icon) {
  (void)runtime::ui::AskMessage({kMailBoxCaption, text, icon, runtime::ui::ButtonOk, runtime::ui::ButtonOk});
}

}  // namespace

runtime::ui::WindowDescription EmailWindowDescription() {
  runtime::ui::WindowDescription d;
  d.name = "Email";
  d.title = "Send An Email";
  d.icon = "mail.ico";
  d.rect = {0, 0, 270, 200};
  d.font = {"MS Sans Serif", 8};

  ControlDescription ok = Control(ControlKind::Button, "OK", {80, 176, 50, 16});
  ok.icon = "mail.ico";
  ControlDescription cancel = Control(ControlKind::Button, "Cancel", {140, 176, 50, 16});
  cancel.icon = "exit2.ico";
  // Declared from the top down: the order of declaration is the order Tab
  // visits the controls in.
  d.controls = {
      Control(ControlKind::Entry, "", {80, 10, 180, 10}, "@s255"),
      Control(ControlKind::Entry, "", {80, 24, 180, 10}, "@s255"),
      Control(ControlKind::Entry, "", {80, 38, 180, 10}, "@s255"),
      Control(ControlKind::Button, "Attachment", {10, 51, 60, 13}),
      Control(ControlKind::Entry, "", {80, 52, 180, 10}, "@s250"),
      Control(ControlKind::Entry, "", {80, 68, 180, 10}, "@s50"),
      Control(ControlKind::Text, "", {80, 82, 180, 88}, "@s1000"),
      ok,
      cancel,
      Control(ControlKind::Prompt, "Your mail host", {10, 10, 65, 10}),
      Control(ControlKind::Prompt, "Your Email", {10, 24, 65, 10}),
      Control(ControlKind::Prompt, "Receiver Email", {10, 38, 65, 10}),
      Control(ControlKind::Prompt, "Subject", {10, 68, 65, 10}),
      Control(ControlKind::Prompt, "Message", {10, 82, 65, 10}),
  };
  return d;
}

runtime::ui::WindowDescription SendingEmailWindowDescription() {
  runtime::ui::WindowDescription d;
  d.name = "SendingEmail";
  d.title = "Sending Email . . .";
  d.rect = {0, 0, 200, 60};
  d.font = {"MS Sans Serif", 8};
  ControlDescription picture = Control(ControlKind::Image, "", {10, 10, 40, 40});
  picture.icon = "Email3l.gif";
  d.controls = {picture, Control(ControlKind::String, "Sending your email Please wait", {60, 25, 130, 10})};
  return d;
}

Severity EmailWindow::Init() {
  if (const Severity result = StartProcedure(*this, EmailHost); result != SeverityOk) return result;

  if (const Severity opened = MailSettingsStoreRelations->Open(); opened != SeverityOk) return opened;
  filesOpened_ = true;
  (void)MailSettingsStore().SetOrder(0);
  hasRecord_ = MailSettingsStoreManager->Next() == SeverityOk;
  if (hasRecord_) {
    MailSettingsStore().Record().SetMemo(EmaMessage, "");
    Field(EmaSubject).Clear();
    Field(EmaReceiverEmail).Clear();
    Field(EmaReceiverName).Clear();
  }

  runtime::ui::Window& window = OpenWindow(EmailWindowDescription());
  OPENED = 1;
  window.SetText(EmailHost, std::string(Field(EmaSmtp).ClippedText()));
  window.SetText(EmailSender, std::string(Field(EmaSenderEmail).ClippedText()));
  window.SetText(EmailReceiver, std::string(Field(EmaReceiverEmail).ClippedText()));
  window.SetText(EmailSubject, std::string(Field(EmaSubject).ClippedText()));
  window.SetText(EmailMessage, MailSettingsStore().Record().Memo(EmaMessage));
  GlobalIni.RestoreWindow(kEmailIniSection, window, runtime::ui::Frame::Fixed);
  SelectFirstField();

  selector_.Init();
  selector_.FLAGS |= SelectorLongNames;
  selector_.SetMask("All Files (*.*)", "*.*");
  selector_.AddMask("Zip files (*.zip)", "*.zip");
  selector_.AddMask("Excel Files (*.xls)", "*.xls");
  selector_.AddMask("Word Files (*.doc)", "*.doc");
  selector_.PWINDOWTITLE = "Please Select A File";
  PressOnEscape(EmailCancelButton);
  SetAlerts();
  return SeverityOk;
}

Severity EmailWindow::Kill() {
  if (const Severity result = WindowManager::Kill(); result != SeverityOk) return result;
  if (filesOpened_) (void)MailSettingsStoreRelations->Close();
  if (OPENED != 0 && GetWindow() != nullptr) {
    (void)GlobalIni.SaveWindow(kEmailIniSection, *GetWindow(), runtime::ui::Frame::Fixed);
  }
  CloseWindow();
  return SeverityOk;
}

Severity EmailWindow::TakeAccepted() {
  const std::int32_t control = ThisEvent().control;
  runtime::ui::Window* window = GetWindow();
  if (control == EmailCancelButton && window != nullptr) window->Post(runtime::ui::EventCode::CloseWindow);
  if (control == EmailOkButton && window != nullptr && !sending_) {
    // OK stays disabled until the send ends, so one click sends one mail.
    sending_ = true;
    window->Disable(EmailOkButton);
    window->Display(EmailOkButton);
    const bool sent = SendMail();
    sending_ = false;
    if (sent) {
      window->Post(runtime::ui::EventCode::CloseWindow);
    } else {
      // The form stays open with what the user typed, to be corrected.
      window->Enable(EmailOkButton);
      window->Display(EmailOkButton);
      SelectFirstField();
    }
  }
  const Severity result = WindowManager::TakeAccepted();
  if (control == EmailAttachmentButton) ChooseAttachment();
  return result;
}

void EmailWindow::ChooseAttachment() {
  Update();
  std::string path = selector_.Ask(KeepDirectory::Yes);
  // A cut path would name another file: a path too long is not taken.
  if (path.size() > kAttachmentWidth) {
    ShowMailBox(kAttachmentTooLongText, runtime::ui::Icon::Exclamation);
    path.clear();
  }
  if (runtime::ui::Window* window = GetWindow()) {
    window->SetText(EmailAttachment, path);
    window->Display(EmailAttachment);
  }
}

void EmailWindow::StoreControls() {
  const runtime::ui::Window& window = *GetWindow();
  Field(EmaSmtp).SetText(window.Text(EmailHost));
  Field(EmaSenderEmail).SetText(window.Text(EmailSender));
  Field(EmaReceiverEmail).SetText(window.Text(EmailReceiver));
  Field(EmaSubject).SetText(window.Text(EmailSubject));
  const std::string message = window.Text(EmailMessage);
  MailSettingsStore().Record().SetMemo(EmaMessage, runtime::CutToWidth(message, kEmailMessageWidth));
}

bool EmailWindow::SendMail() {
  StoreControls();
  const std::string attachment = GetWindow()->Text(EmailAttachment);

  std::unique_ptr<runtime::ui::Window> sending = runtime::ui::Window::Open(SendingEmailWindowDescription());
  sending->Display();

  auto sender = std::make_unique<MailSender>();
  sender->Init();
  sender->SetMailHost(Field(EmaSmtp).ClippedText());
  sender->SetMailer(kEmailMailer);
  sender->SetFrom(Field(EmaSenderEmail).ClippedText());
  sender->SetSubject(Field(EmaSubject).ClippedText());
  sender->AddRecipient(Field(EmaReceiverEmail).ClippedText());
  if (!runtime::Clip(attachment).empty()) sender->AddAttachment(attachment, kEmailAttachmentType);
  sender->SetMessageText(runtime::PadToWidth(MailSettingsStore().Record().Memo(EmaMessage), kEmailMessageWidth),
                         kEmailMessageType);
  const std::uint32_t result = sender->Send();
  if (result == MailSent) {
    ShowMailBox(kMailSentText, runtime::ui::Icon::Asterisk);
  } else {
    ShowMailBox(kMailFailedText + sender->ErrorText(result), runtime::ui::Icon::Exclamation);
  }
  sender->Kill();
  sender.reset();

  sending.reset();
  StoreSettings();
  return result == MailSent;
}

void EmailWindow::StoreSettings() {
  if (MailSettingsStore().Records() == 0) {
    // A second send from the form (after a failed one) updates this record.
    hasRecord_ = MailSettingsStoreManager->Insert() == SeverityOk;
    return;
  }
  if (!hasRecord_) {
    // Another form stored the first record after this one opened: this
    // one's settings take its place rather than adding a second record.
    std::uint16_t saved = MailSettingsStoreManager->SaveBuffer();
    (void)MailSettingsStore().SetOrder(0);
    const bool read = MailSettingsStoreManager->Next() == SeverityOk;
    MailSettingsStoreManager->RestoreBuffer(saved, true);
    if (!read) return;
  }
  (void)MailSettingsStoreManager->Update();
}

void Email() {
  EmailWindow window;
  ResponseCode = window.Run();
}

}  // namespace marlinden
