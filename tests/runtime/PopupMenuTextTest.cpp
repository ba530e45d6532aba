#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "runtime/ui/Dialogs.h"
#include "runtime/ui/PopupMenuText.h"
#include "support/WindowTestFixture.h"

namespace runtime::ui {
namespace {

// One line per item: kind letter (I item, S separator, M submenu), depth,
// number, flags (d disabled, + checked, - unchecked), icon, text.
std::string Describe(const std::vector<PopupMenuItem>& items) {
  std::string out;
  for (const auto& item : items) {
    out += item.kind == MenuItemKind::Item ? 'I' : item.kind == MenuItemKind::Separator ? 'S' : 'M';
    out += std::to_string(item.depth) + "#" + std::to_string(item.number);
    if (!item.enabled) out += 'd';
    if (item.check == MenuCheck::Checked) out += '+';
    if (item.check == MenuCheck::Unchecked) out += '-';
    if (!item.icon.empty()) out += "[" + item.icon + "]";
    out += " " + item.text + "\n";
  }
  return out;
}

TEST(PopupMenuTextTest, EveryConstructParses) {
  struct Case {
    const char* text;
    const char* expected;
  };
  const Case cases[] = {
      {"", ""},
      {"One", "I1#1 One\n"},
      {"&Insert|&Change", "I1#1 &Insert\nI1#2 &Change\n"},
      {"A|-|B", "I1#1 A\nS1#0 \nI1#2 B\n"},
      {"A||B", "I1#1 A\nS1#0 \nI1#2 B\n"},
      {"~Off|+On|-Unticked|~+Both", "I1#1d Off\nI1#2+ On\nI1#3- Unticked\nI1#4d+ Both\n"},
      {"Sub{Child1|Child2}After", "M1#0 Sub\nI2#1 Child1\nI2#2 Child2\nI1#3 After\n"},
      {"A{B{C}}D", "M1#0 A\nM2#0 B\nI3#1 C\nI1#2 D\n"},
      {"A{B}", "M1#0 A\nI2#1 B\n"},
      {"[icon(~Web2.ico)]Go|[]Plain", "I1#1[Web2.ico] Go\nI1#2 Plain\n"},
      {"~[icon(x.ico)]Off", "I1#1d[x.ico] Off\n"},
      {"Has [brackets] inside", "I1#1 Has [brackets] inside\n"},
      // '[' after a marker character inside the text is text, so the '|' after it still separates.
      {"A-[B|C", "I1#1 A-[B\nI1#2 C\n"},
      {"Go~[x]|+Two+[y]", "I1#1 Go~[x]\nI1#2+ Two+[y]\n"},
      {"-~[icon(i.ico)]Both|[a][b]", "I1#1d-[i.ico] Both\nI1#2 [b]\n"},
      // Malformed texts.
      {"}A", "I1#1 A\n"},
      {"{A", "I1#1 A\n"},
      {"A{B", "M1#0 A\nI2#1 B\n"},
      {"A}}}B", "I1#1 A\nI1#2 B\n"},
      {"[icon(~broken", "I1#1[broken] \n"},
      {"-", "S1#0 \n"},
      {"|", "S1#0 \nS1#0 \n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Describe(ParsePopupMenu(c.text)), c.expected) << "text: " << c.text;
  }
}

TEST(PopupMenuTextTest, TheTrayMenuNumbersItsSevenItems) {
  const auto items = ParsePopupMenu(
      "Brackwell Web Page||Yahoo Search||http://fav||Print Your Web Pages||Restore Marlinden||Send An Email||"
      "Exit Marlinden");
  EXPECT_EQ(ChoosableItems(items), 7);
  EXPECT_EQ(items.back().text, "Exit Marlinden");
  EXPECT_EQ(items.back().number, 7);
}

TEST(PopupMenuTextTest, RandomTextsNeverBreakTheItemInvariants) {
  std::mt19937 random(12345);
  const std::string alphabet = "ab|{}[]~+-()icon&";
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    const int length = static_cast<int>(random() % 40);
    for (int i = 0; i < length; ++i) text += alphabet[random() % alphabet.size()];
    std::int32_t expectedNumber = 0;
    for (const auto& item : ParsePopupMenu(text)) {
      ASSERT_GE(item.depth, 1u) << text;
      ASSERT_LE(item.depth, kMaxMenuDepth) << text;
      if (item.kind == MenuItemKind::Item) {
        ASSERT_EQ(item.number, ++expectedNumber) << text;
      } else {
        ASSERT_EQ(item.number, 0) << text;
      }
    }
  }
  std::string deep;
  for (int i = 0; i < 100; ++i) deep += "x{";
  for (const auto& item : ParsePopupMenu(deep)) EXPECT_LE(item.depth, kMaxMenuDepth);
}

TEST(PopupMenuTextTest, FileMasksPairDescriptionsWithPatterns) {
  using M = FileMask;
  EXPECT_EQ(ParseFileMasks("HTML|*.htm;*.html|All files|*.*"),
            (std::vector<M>{{"HTML", "*.htm;*.html"}, {"All files", "*.*"}}));
  EXPECT_EQ(ParseFileMasks("Only a description"), (std::vector<M>{{"Only a description", "*.*"}}));
  EXPECT_EQ(ParseFileMasks("||Text|*.txt|"), (std::vector<M>{{"Text", "*.txt"}}));
  EXPECT_TRUE(ParseFileMasks("").empty());
}

class PopupMenuDialogTest : public testing::WindowFixture<> {};

TEST_F(PopupMenuDialogTest, QuestionsAreAnsweredFromTheScriptAndRecorded) {
  backend.ScriptPopupChoice(2);
  backend.ScriptPopupChoice(9);  // no such item: taken as dismissed
  backend.ScriptFileChoice("/tmp/bookmarks.htm");
  backend.ScriptPreviewAnswer(PreviewAnswer::Print);
  std::vector<std::int32_t> choices;
  std::string path;
  PreviewAnswer preview = PreviewAnswer::Cancel;
  Start([&] {
    auto window = Window::Open(testing::Form("asks"));
    choices.push_back(PopupMenu("Go|-|~Favourite|Exit"));
    choices.push_back(PopupMenu("One|Two", {30, 40}));
    path = FileDialog(FileDialogMode::Open, "Choose", "", "HTML|*.htm", FileMustExist);
    preview = Preview("Web Page List", {"page1.img"});
    Beep(BeepKind::Warning);
    SetCursor(Cursor::Busy);
  });
  program->WaitForEnd();
  EXPECT_EQ(choices, (std::vector<std::int32_t>{2, 0}));
  EXPECT_EQ(path, "/tmp/bookmarks.htm");
  EXPECT_EQ(preview, PreviewAnswer::Print);
  const auto popups = backend.PopupRequests();
  ASSERT_EQ(popups.size(), 2u);
  EXPECT_EQ(popups[0].text, "Go|-|~Favourite|Exit");
  EXPECT_FALSE(popups[0].at.has_value());
  EXPECT_EQ(popups[1].at, (Point{30, 40}));
  EXPECT_NE(popups[0].window, kNoWindow);
  ASSERT_EQ(backend.FileDialogRequests().size(), 1u);
  EXPECT_EQ(backend.FileDialogRequests()[0].masks, (std::vector<FileMask>{{"HTML", "*.htm"}}));
  EXPECT_EQ(backend.Beeps(), (std::vector{BeepKind::Warning}));
  EXPECT_EQ(backend.Cursors(), (std::vector{Cursor::Busy}));
  EXPECT_EQ(backend.Unanswered(), 0u);
}

TEST_F(PopupMenuDialogTest, AnUnscriptedQuestionIsReportedAndAnsweredAsDismissed) {
  std::vector<std::string> reported;
  backend.OnUnscripted([&](std::string_view kind, std::string_view) { reported.emplace_back(kind); });
  std::int32_t choice = -1;
  std::uint32_t button = 0;
  Start([&] {
    choice = PopupMenu("A|B");
    button = ShowMessage({"Title", "Text", Icon::Hand, ButtonYes | ButtonNo, ButtonNo});
  });
  program->WaitForEnd();
  EXPECT_EQ(choice, 0);
  EXPECT_EQ(button, ButtonNo);
  EXPECT_EQ(reported, (std::vector<std::string>{"popup menu", "message box"}));
}

}  // namespace
}  // namespace runtime::ui
