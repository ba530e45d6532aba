// marlinden-cli print as a user runs it: the PDF it writes is read back with
// pdftotext; an empty collection is refused.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/CommandOutput.h"
#include "support/TempDir.h"

namespace {

class CliPrintTest : public ::testing::Test {
 protected:
  int Run(const std::string& command, std::string* out = nullptr) {
    testing_support::CommandResult result = testing_support::RunCommand(command);
    if (out != nullptr) *out = std::move(result.out);
    return result.status;
  }
  int Cli(const std::string& args, std::string* out = nullptr) {
    return Run(std::string(MARLINDEN_CLI) + " --data " + dir.File("data") + " " + args + " 2>" + dir.File("err"), out);
  }
  std::string Err() {
    std::ifstream in(dir.File("err"));
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  testing_support::TempDir dir;
};

TEST_F(CliPrintTest, APdfHoldsTheWholeListWithHeadersPageNumbersAndTotal) {
  std::ofstream html(dir.File("in.htm"));
  std::vector<std::string> urls;
  for (int i = 0; i < 130; ++i) {
    char url[96];
    std::snprintf(url, sizeof url, "https://site%03d.example/%s", i, i == 7 ? std::string(300, 'x').c_str() : "");
    html << "<DT><A HREF=\"" << url << "\">" << i << "</A>\n";
    urls.emplace_back(url);
  }
  html.close();
  ASSERT_EQ(Cli("import " + dir.File("in.htm")), 0);
  std::string out;
  ASSERT_EQ(Cli("print --pdf " + dir.File("list.pdf"), &out), 0) << Err();
  EXPECT_EQ(out, dir.File("list.pdf") + "\n");
  std::string text;
  ASSERT_EQ(Run("pdftotext -layout " + dir.File("list.pdf") + " -", &text), 0);
  std::size_t pages = 0;
  for (char c : text) pages += c == '\f';
  EXPECT_GE(pages, 3u);
  std::istringstream sheets(text);
  std::string sheet;
  std::size_t at = 0;
  for (std::size_t page = 1; std::getline(sheets, sheet, '\f') && page <= pages; ++page) {
    EXPECT_NE(sheet.find("Web Page List"), std::string::npos) << page;
    EXPECT_NE(sheet.find("Web Address"), std::string::npos) << page;
    EXPECT_NE(sheet.find("Run: "), std::string::npos) << page;
    EXPECT_NE(sheet.find("Page: " + std::to_string(page)), std::string::npos) << page;
  }
  for (const std::string& url : urls) {
    // The long address is cut to the stored width and at the page's edge.
    const std::string shown = url.substr(0, 40);
    const std::size_t found = text.find(shown, at);
    ASSERT_NE(found, std::string::npos) << shown;
    at = found;
  }
  const std::size_t total = text.find("Total Number Of Web Pages Listed");
  ASSERT_NE(total, std::string::npos);
  EXPECT_GT(total, at);
  EXPECT_NE(text.find("130", total), std::string::npos);
}

TEST_F(CliPrintTest, CopiesAreMadeOnceEachAndNeverDoubled) {
  std::ofstream html(dir.File("in.htm"));
  for (int i = 0; i < 60; ++i) html << "<DT><A HREF=\"https://copy" << i << ".example/\">" << i << "</A>\n";
  html.close();
  ASSERT_EQ(Cli("import " + dir.File("in.htm")), 0);
  for (const int copies : {1, 2, 3}) {
    const std::string pdf = dir.File("copies" + std::to_string(copies) + ".pdf");
    ASSERT_EQ(Cli("print --copies " + std::to_string(copies) + " --pdf " + pdf), 0) << Err();
    std::string text;
    ASSERT_EQ(Run("pdftotext -layout " + pdf + " -", &text), 0);
    std::vector<std::string> sheets;
    std::istringstream in(text);
    for (std::string sheet; std::getline(in, sheet, '\f');) sheets.push_back(sheet);
    if (!sheets.empty() && sheets.back().find_first_not_of(" \n") == std::string::npos) sheets.pop_back();
    // Two pages of addresses; a PDF file makes no copies itself, so each
    // page is written copies times in a row (not collated).
    ASSERT_EQ(sheets.size(), 2u * copies) << copies;
    for (std::size_t i = 0; i < sheets.size(); ++i) {
      const std::size_t page = i / copies + 1;
      EXPECT_NE(sheets[i].find("Page: " + std::to_string(page)), std::string::npos) << copies << " sheet " << i;
    }
  }
}

TEST_F(CliPrintTest, AnEmptyCollectionIsNothingToPrint) {
  EXPECT_NE(Cli("print --pdf " + dir.File("empty.pdf")), 0);
  EXPECT_NE(Err().find("Nothing to Print."), std::string::npos) << Err();
  EXPECT_EQ(Cli("print --copies 0"), 64);
  EXPECT_EQ(Cli("print --fax 1"), 64);
}

}  // namespace
