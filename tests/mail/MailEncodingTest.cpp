#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mail/MailEncoding.h"

namespace marlinden::mail {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  lines.push_back(text.substr(start));
  return lines;
}

TEST(MailEncodingTest, QuotedPrintableKeepsLinesShortAndEscapesWhatMustBe) {
  struct Case {
    std::string text;
    std::string encoded;
  };
  for (const Case& c : std::vector<Case>{
           {"plain", "plain"},
           {"a=b", "a=3Db"},
           {"ends in space \nnext", "ends in space=20\r\nnext"},
           {"tab\t", "tab=09"},
           {"cr\rlf\ncrlf\r\nend\n", "cr\r\nlf\r\ncrlf\r\nend\r\n"},
           {"\xC3\xA9", "=C3=A9"},
           {".", "."},
       }) {
    EXPECT_EQ(QuotedPrintable(c.text), c.encoded) << c.text;
  }
  // Long lines are broken softly, never inside an escape, at most 76 wide.
  const std::string text = std::string(100, 'a') + std::string(30, '\xFF') + std::string(200, '=');
  const std::string encoded = QuotedPrintable(text);
  std::string decoded;
  for (const std::string& line : Lines(encoded)) {
    EXPECT_LE(line.size(), 76u) << line;
    for (std::size_t i = 0; i < line.size(); ++i) {
      if (line[i] != '=') {
        decoded += line[i];
      } else if (i + 1 < line.size()) {
        decoded += static_cast<char>(std::stoi(line.substr(i + 1, 2), nullptr, 16));
        i += 2;
      }
    }
  }
  EXPECT_EQ(decoded, text);
}

TEST(MailEncodingTest, HeaderWordsAndFileNames) {
  EXPECT_EQ(HeaderText("Plain subject"), "Plain subject");
  EXPECT_EQ(HeaderText("two\r\nlines"), "two  lines");
  EXPECT_EQ(HeaderText("caf\xC3\xA9"), "=?UTF-8?B?Y2Fmw6k=?=");
  EXPECT_EQ(HeaderText("=?looks encoded?="), "=?UTF-8?B?PT9sb29rcyBlbmNvZGVkPz0=?=");
  // A long non-ASCII text folds into words of whole characters.
  std::string accents;
  for (int i = 0; i < 40; ++i) accents += "\xC3\xA9";
  for (const std::string& line : Lines(HeaderText(accents))) {
    const std::string word = line.starts_with(" ") ? line.substr(1) : line;
    EXPECT_LE(word.size(), 75u);
    ASSERT_TRUE(word.starts_with("=?UTF-8?B?") && word.ends_with("?=")) << word;
  }
  EXPECT_EQ(DisplayName("Jo \"JJ\" Smith"), "\"Jo \\\"JJ\\\" Smith\"");
  EXPECT_EQ(DisplayName(""), "");
  EXPECT_EQ(FileNameParameter("/home/me/a b\x01\xC3\xA4.zip"), "UTF-8''a%20b%C3%A4.zip");
  EXPECT_EQ(FileNameParameter("/home/me/\x01\x02"), "UTF-8''attachment");
  EXPECT_EQ(Base64LinesSize(0), 0u);
  EXPECT_EQ(Base64LinesSize(57), 78u);
  EXPECT_EQ(Base64LinesSize(58), 78u + 4 + 2);
}

}  // namespace
}  // namespace marlinden::mail
