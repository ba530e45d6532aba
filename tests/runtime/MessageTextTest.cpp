#include <gtest/gtest.h>

#include "runtime/ui/MessageText.h"

namespace runtime::ui {
namespace {

TEST(MessageTextTest, BarsAndCarriageReturnsStartNewLines) {
  EXPECT_EQ(MessageBoxLines("Error sending E-Mail!|Mail Server Error:\r550 refused"),
            "Error sending E-Mail!\nMail Server Error:\n550 refused");
  EXPECT_EQ(MessageBoxLines("a\r\nb\nc||d"), "a\nb\nc\n\nd");
  EXPECT_EQ(MessageBoxLines(""), "");
}

}  // namespace
}  // namespace runtime::ui
