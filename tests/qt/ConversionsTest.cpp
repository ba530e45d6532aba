// The Qt backend's conversions of the runtime's values: colours in the
// Windows RGB order the program writes (0x00BBGGRR), and the program's own
// icons found by the names the windows give.
#include <gtest/gtest.h>

#include <QColor>

#include "qt/Conversions.h"

namespace runtime::qt {
namespace {

TEST(ConversionsTest, ColoursAreReadInTheWindowsOrder) {
  struct Case {
    ui::Colour colour;
    QColor expected;
  };
  const Case cases[] = {
      {0x0000FF, QColor(255, 0, 0)},  // the favourite's red
      {0xFF0000, QColor(0, 0, 255)},  // the selected tab's blue
      {0x808080, QColor(128, 128, 128)},
      {0x123456, QColor(0x56, 0x34, 0x12)},
  };
  for (const Case& c : cases) {
    const std::optional<QColor> colour = ToQColor(c.colour);
    ASSERT_TRUE(colour.has_value());
    EXPECT_EQ(*colour, c.expected) << std::hex << c.colour;
  }
  EXPECT_FALSE(ToQColor(ui::kNoColour).has_value());
}

TEST(ConversionsTest, IconsAreLookedUpByTheirNamesStemInLowerCase) {
  EXPECT_EQ(IconResource("Web2.ico"), ":/icons/web2.svg");
  EXPECT_EQ(IconResource("Exit2.ico"), ":/icons/exit2.svg");
  EXPECT_EQ(IconResource(""), "");
  EXPECT_TRUE(LoadIcon("NoSuchIcon.ico").isNull());
}

TEST(ConversionsTest, TheOldDialogFacesStandForTheDesktopsUiFont) {
  for (const char* face : {"MS Sans Serif", "ms sans serif", "MS Shell Dlg", "Microsoft Sans Serif"}) {
    EXPECT_TRUE(IsSystemUiFace(face)) << face;
  }
  for (const char* face : {"Comic Sans MS", "DejaVu Sans", ""}) EXPECT_FALSE(IsSystemUiFace(face)) << face;
}

TEST(ConversionsTest, ControlFacesMapToTheDesktopsFonts) {
  QFont window(QStringLiteral("DejaVu Sans"), 9);
  EXPECT_EQ(ControlFont(window, ""), window);
  EXPECT_EQ(ControlFont(window, "MS Sans Serif"), window) << "the old dialog face is the window's";
  const QFont title = ControlFont(window, "Comic Sans MS");
  EXPECT_EQ(title.families().value(0), QStringLiteral("Comic Sans MS"));
  EXPECT_GT(title.families().size(), 1) << "with decorative fallbacks";
  EXPECT_EQ(title.styleHint(), QFont::Cursive);
  EXPECT_EQ(title.pointSize(), 9) << "the size stays the window's";
  EXPECT_EQ(ControlFont(window, "DejaVu Serif").families(), QStringList{QStringLiteral("DejaVu Serif")});
}

}  // namespace
}  // namespace runtime::qt
