// marlinden-cli add and delete as a script runs them: the window's rules
// (blank and stored addresses refused, letter case aside), an address too
// long for its field refused rather than cut, description and notes cut at
// a whole character, and list showing what is stored; exit statuses checked.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "app/DataFiles.h"
#include "runtime/files/DataFile.h"
#include "support/CliTest.h"
#include "support/TempDir.h"

namespace marlinden {
namespace {

using Result = testing_support::CommandResult;

class CliEditCommandsTest : public testing_support::CliTest {
 protected:
  static std::string Quoted(const std::string& text) { return "'" + text + "'"; }
};

TEST_F(CliEditCommandsTest, AddRefusesWhatTheWindowRefusesAndDeleteFindsAnyLetterCase) {
  Result r = Cli("add http://example.com/ --description Example");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "added http://example.com/ (Example) as bookmark 1\n");
  r = Cli("add https://b.example/");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "added https://b.example/ as bookmark 2\n");

  r = Cli("add http://Example.com/ --description Other");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(Err(), "marlinden-cli: add: http://Example.com/ is stored already as http://example.com/ (Example).\n");

  for (const char* blank : {"''", "'   '"}) {
    SCOPED_TRACE(blank);
    r = Cli(std::string("add ") + blank + " --description Blank");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(Err(), "marlinden-cli: add: the address is blank; a bookmark needs one.\n");
  }

  const std::string prefix = "https://long.example/";
  const std::string longest = prefix + std::string(kUrlWidth - prefix.size(), 'p');
  r = Cli("add " + longest + "q");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(Err(), "marlinden-cli: add: the address is 256 bytes long; a bookmark holds at most 255.\n");
  EXPECT_EQ(Cli("add " + longest).status, 0) << "255 bytes are kept whole";

  EXPECT_EQ(Cli("list").out, "http://example.com/\tExample\nhttps://b.example/\t\n" + longest + "\t\n");

  r = Cli("delete HTTP://EXAMPLE.COM/");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "deleted http://example.com/ (Example)\n");
  r = Cli("delete http://example.com/");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(Err(), "marlinden-cli: delete: http://example.com/ is not stored.\n");
  EXPECT_EQ(Cli("list").out, "https://b.example/\t\n" + longest + "\t\n");
}

TEST_F(CliEditCommandsTest, ChangeSetsOnlyWhatItIsGivenAndTheFindFollowsTheNewWords) {
  ASSERT_EQ(Cli("add https://a.example/ --description Alpha --notes 'old notes' --folder Work --folder Tools").status,
            0);
  Result r = Cli("change HTTPS://A.EXAMPLE/ --notes 'zebra crossing' --folder Home --folder 'Town > Old'");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "changed https://a.example/ (Alpha)\n");
  const std::string line = Cli("list --json").out;
  EXPECT_NE(line.find("\"description\": \"Alpha\""), std::string::npos) << line;
  EXPECT_NE(line.find("\"folder\": [\"Home\", \"Town > Old\"]"), std::string::npos) << "names kept whole: " << line;
  EXPECT_NE(line.find("\"notes\": \"zebra crossing\""), std::string::npos) << line;
  EXPECT_EQ(Cli("search zebra").status, 0) << "the new notes' words are found";
  EXPECT_EQ(Cli("search home").status, 0) << "and the new folder's";
  EXPECT_EQ(Cli("search tools").status, 1) << "the old folder's are gone";

  EXPECT_EQ(Cli("change https://a.example/ --no-folder").status, 0);
  EXPECT_NE(Cli("list --json").out.find("\"folder\": []"), std::string::npos);
  EXPECT_NE(Cli("list --json").out.find("zebra crossing"), std::string::npos) << "the notes stay";

  r = Cli("change https://none.example/ --notes x");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(Err(), "marlinden-cli: change: https://none.example/ is not stored.\n");
  EXPECT_EQ(Cli("change https://a.example/").status, 64) << "nothing to change";
  EXPECT_EQ(Cli("change https://a.example/ --no-folder --folder X").status, 64);
}

TEST_F(CliEditCommandsTest, DescriptionAndNotesAreCutAtAWholeCharacterAndSaidSo) {
  const std::string euro = "\xE2\x82\xAC";
  const std::string description = std::string(248, 'd') + euro;  // 251 bytes: the euro sign does not fit
  const std::string notes = std::string(999, 'n') + euro;
  const Result r = Cli("add https://c.example/ --description " + Quoted(description) + " --notes " + Quoted(notes));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(Err(),
            "marlinden-cli: add: the description was cut to 250 bytes.\n"
            "marlinden-cli: add: the notes were cut to 1000 bytes.\n");

  auto file = runtime::DataFile::Make(runtime::Driver::Keyed, BookmarkLayout(), dir.File("data/MARLINDEN"));
  ASSERT_EQ(file->Open(runtime::AccessRead | runtime::ShareDenyNone), 0);
  (void)file->SetOrder(0);
  ASSERT_EQ(file->Next(), 0);
  EXPECT_EQ(file->Record().Field(WebDescription).ClippedText(), std::string(248, 'd'));
  EXPECT_EQ(file->Record().Memo(WebNotes), std::string(999, 'n'));
  (void)file->Close();
}

// Adds run at once as stations of their own: each is stored, under a
// number of its own.
TEST_F(CliEditCommandsTest, AddsRunningAtOnceEachGetANumberOfTheirOwn) {
  ASSERT_EQ(Cli("count").out, "0\n");  // the collection exists before the race
  constexpr int kAdds = 6;
  std::string script;
  for (int i = 0; i < kAdds; ++i) {
    script += "(" + std::string(MARLINDEN_CLI) + " --data " + dir.File("data") + " add https://n.example/" +
              std::to_string(i) + " >/dev/null 2>&1; echo $? >" + dir.File("status" + std::to_string(i)) + ") & ";
  }
  script += "wait";
  ASSERT_EQ(testing_support::RunCommand(script).status, 0);
  for (int i = 0; i < kAdds; ++i) {
    std::ifstream in(dir.File("status" + std::to_string(i)));
    int status = -1;
    in >> status;
    EXPECT_EQ(status, 0) << "add " << i;
  }
  auto file = runtime::DataFile::Make(runtime::Driver::Keyed, BookmarkLayout(), dir.File("data/MARLINDEN"));
  ASSERT_EQ(file->Open(runtime::AccessRead | runtime::ShareDenyNone), 0);
  (void)file->SetOrder(0);
  std::set<std::int64_t> numbers;
  int records = 0;
  while (file->Next() == 0) {
    numbers.insert(file->Record().Field(WebNum).Get().AsInteger());
    ++records;
  }
  (void)file->Close();
  EXPECT_EQ(records, kAdds);
  EXPECT_EQ(numbers.size(), static_cast<std::size_t>(kAdds));
}

TEST_F(CliEditCommandsTest, WrongArgumentsAreUsageErrors) {
  EXPECT_EQ(Cli("add").status, 64);
  EXPECT_EQ(Cli("add https://a.example/ https://b.example/").status, 64);
  EXPECT_EQ(Cli("add https://a.example/ --colour red").status, 64);
  EXPECT_EQ(Cli("add https://a.example/ --description").status, 64);
  EXPECT_EQ(Cli("delete").status, 64);
  EXPECT_EQ(Cli("delete a b").status, 64);
  EXPECT_EQ(Cli("count").out, "0\n");
}

}  // namespace
}  // namespace marlinden
