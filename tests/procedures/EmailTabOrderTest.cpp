// The order Tab visits the e-mail form's controls in: the backend's focus
// chain follows declaration order, so the controls that take the focus must
// be declared as they stand on the screen, from the top down.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "procedures/EmailWindow.h"

namespace marlinden {
namespace {

using runtime::ui::ControlKind;

bool TakesFocus(ControlKind kind) { return runtime::ui::IsInputKind(kind) || kind == ControlKind::Button; }

TEST(EmailTabOrderTest, TabVisitsTheFieldsFromTheTopDown) {
  const runtime::ui::WindowDescription form = EmailWindowDescription();
  std::vector<std::int32_t> visits;
  for (std::size_t i = 0; i < form.controls.size(); ++i) {
    if (TakesFocus(form.controls[i].kind)) visits.push_back(static_cast<std::int32_t>(i + 1));
  }
  EXPECT_EQ(visits,
            (std::vector<std::int32_t>{EmailHost, EmailSender, EmailReceiver, EmailAttachmentButton, EmailAttachment,
                                       EmailSubject, EmailMessage, EmailOkButton, EmailCancelButton}));
  // Each stop is below the one before, or beside it on the same line.
  for (std::size_t i = 1; i < visits.size(); ++i) {
    const runtime::ui::Rect before = form.controls[visits[i - 1] - 1].rect;
    const runtime::ui::Rect after = form.controls[visits[i] - 1].rect;
    const bool sameLine = after.y < before.y + before.height && before.y < after.y + after.height;
    EXPECT_TRUE(sameLine ? after.x > before.x : after.y > before.y) << "control " << visits[i];
  }
  // The prompts name the entries they stand beside.
  const auto promptBeside = [&](std::int32_t entry) {
    for (const auto& control : form.controls) {
      if (control.kind == ControlKind::Prompt && control.rect.y == form.controls[entry - 1].rect.y) return control.text;
    }
    return std::string();
  };
  EXPECT_EQ(promptBeside(EmailHost), "Your mail host");
  EXPECT_EQ(promptBeside(EmailSender), "Your Email");
  EXPECT_EQ(promptBeside(EmailReceiver), "Receiver Email");
  EXPECT_EQ(promptBeside(EmailSubject), "Subject");
  EXPECT_EQ(promptBeside(EmailMessage), "Message");
}

}  // namespace
}  // namespace marlinden
