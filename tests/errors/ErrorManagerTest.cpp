#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "errors/ErrorManager.h"
#include "runtime/system/Halt.h"
#include "runtime/system/RuntimeError.h"
#include "testing/InstalledHeadlessMessageBoxes.h"

namespace marlinden {
namespace {

using runtime::ui::ButtonCancel;
using runtime::ui::ButtonNo;
using runtime::ui::ButtonOk;
using runtime::ui::ButtonYes;
using runtime::ui::Icon;
using runtime::ui::MessageBoxRequest;

struct Row {
  std::uint16_t id;
  std::uint8_t severity;
  std::string title;
  std::string text;
};

// The default table as the program must show it, by id.
const std::vector<Row>& ExpectedDefaults() {
  static const std::vector<Row> rows = {
      {1, 5, "Record Retrieval Error",
       "Error: (%ErrorText) attempting to access a record from the %File file.  Returning to previous window."},
      {2, 5, "Access Denied", "Could not get write access to %File so trying read-only."},
      {3, 1, "Record Added", "This record has been added to the file. Do you want to add another record?"},
      {4, 5, "Record Insert Error", "An error was experienced during the creation of a record. Error: %ErrorText."},
      {5, 5, "Add New Record?", "Record match not found, do you wish to add a new one?"},
      {6, 5, "Record Was Not Updated", "This record was changed by another station."},
      {7, 5, "Record Was Not Updated",
       "This record was changed by another station. Those changes will now be displayed. Use the Ditto Button or "
       "Ctrl+' to recall your changes."},
      {8, 1, "Changes will be lost!", "Are you sure you want to cancel?"},
      {9, 1, "Confirm Delete", "Are you sure you want to delete the highlighted record?"},
      {10, 3, "File Creation Error", "Error: (%ErrorText) creating %File."},
      {11, 5, "Record was not deleted",
       "An error (%ErrorText) was experienced when deleting a record from the %File file."},
      {12, 5, "Invalid Request", "This form cannot be used to delete a record"},
      {13, 5, "Duplicate Key Error", "Adding this record creates a duplicate entry for the key: %Message"},
      {14, 5, "Field contents error", "The value of %Field must be found in the %Message file."},
      {15, 5, "Value Error", "The value of %Field must be in the list : %Message."},
      {16, 5, "Range Error", "The value of %Field must be between %Message."},
      {17, 5, "Range Error", "The value of %Field must be lower than %Message."},
      {18, 5, "Range Error", "The value of %Field must be higher than %Message."},
      {19, 5, "File Load Error", "%File File Load Error.  Error: %ErrorText."},
      {20, 5, "Invalid Request", "This form cannot be used to insert a record"},
      {21, 5, "Transaction cancelled", "Error: (%ErrorText) attempting to frame the transaction on %File."},
      {22, 5, "No Records", "There are no records available to process."},
      {23, 3, "File Access Error", "File (%File) could not be opened.  Error: %ErrorText."},
      {24, 5, "Procedure not defined", "The Procedure %Message has not been defined."},
      {25, 5, "Record was not updated", "An error (%ErrorText) was experienced when making changes to the %File file."},
      {26, 3, "Key was not built", "Error: (%ErrorText) repairing key for %File."},
      {27, 5, "Invalid Key", "%File key file is invalid. Key must be rebuilt."},
      {28, 5, "Record not read", "A record held by another station was encountered reading from the %File file."},
      {30, 5, "Referential Integrity Delete Error",
       "This record is referenced from the file %File. This record cannot be deleted while these references exist."},
      {31, 5, "Referential Integrity Update Error",
       "This record is referenced from the file %File. Linking field(s) have been restricted from change and have been "
       "reset to original values."},
      {32, 1, "Auto Increment Error",
       "Attempts to automatically number this record have failed.  Error: %ErrorText. Try Again?"},
      {33, 1, "Record Delete Error",
       "An error was experienced deleting this record. Do you want to try to delete it again?"},
      {34, 1, "Record Update Error",
       "An error was experienced changing this record. Do you want to try to save again?"},
      {35, 1, "Save Record", "Do you want to save the changes to this record?"},
      {36, 1, "Beginning of File Error",
       "The beginning of the file was encountered. Do you want to start again from the end of the file?"},
      {37, 1, "End of File Error",
       "The end of the file was encountered. Do you want to start again from the beginning?"},
      {38, 5, "Invalid Request", "This form cannot be used to update a record"},
      {39, 2, "File Usage Error", "Attempt to use file (%File) before it was opened"},
      {40, 5, "View Open Error",
       "Error: (%ErrorText) attempting to open the current VIEW. Filter and Range Limits ignored."},
  };
  return rows;
}

std::vector<std::uint8_t> Pack(const std::vector<Row>& rows, std::optional<std::uint16_t> count = std::nullopt) {
  const std::uint16_t n = count.value_or(static_cast<std::uint16_t>(rows.size()));
  std::vector<std::uint8_t> block{static_cast<std::uint8_t>(n & 0xFF), static_cast<std::uint8_t>(n >> 8)};
  for (const Row& row : rows) {
    block.push_back(static_cast<std::uint8_t>(row.id & 0xFF));
    block.push_back(static_cast<std::uint8_t>(row.id >> 8));
    block.push_back(row.severity);
    block.push_back(static_cast<std::uint8_t>(row.title.size()));
    block.insert(block.end(), row.title.begin(), row.title.end());
    block.push_back(static_cast<std::uint8_t>(row.text.size()));
    block.insert(block.end(), row.text.begin(), row.text.end());
  }
  return block;
}

// Reads a packed block independently of the manager. Returns the rows and,
// for each, the offset just past it; nullopt when the block is malformed.
struct Unpacked {
  std::uint16_t count = 0;
  std::vector<Row> rows;
  std::vector<std::size_t> rowEnds;
};

std::optional<Unpacked> Unpack(std::span<const std::uint8_t> block) {
  Unpacked out;
  if (block.size() < 2) return std::nullopt;
  out.count = static_cast<std::uint16_t>(block[0] | (block[1] << 8));
  std::size_t at = 2;
  auto text = [&](std::string& into) {
    if (at >= block.size()) return false;
    const std::size_t length = block[at++];
    if (block.size() - at < length) return false;
    into.assign(reinterpret_cast<const char*>(block.data() + at), length);
    at += length;
    return true;
  };
  for (std::uint16_t i = 0; i < out.count; ++i) {
    if (block.size() - at < 3) return std::nullopt;
    Row row{static_cast<std::uint16_t>(block[at] | (block[at + 1] << 8)), block[at + 2], {}, {}};
    at += 3;
    if (!text(row.title) || !text(row.text)) return std::nullopt;
    out.rows.push_back(row);
    out.rowEnds.push_back(at);
  }
  if (at != block.size()) return std::nullopt;
  return out;
}

class ErrorManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    boxes.OnUnscripted([](const MessageBoxRequest& request) {
      ADD_FAILURE() << "unscripted message box \"" << request.caption << "\": " << request.text;
    });
    boxes.OnBadAnswer([](const MessageBoxRequest& request, std::uint32_t answer) {
      ADD_FAILURE() << "scripted answer " << answer << " is not offered by \"" << request.caption << "\"";
    });
    previousHalt = runtime::SetHaltHandler([this](int exitCode, std::string_view text) {
      halts.push_back({exitCode, std::string(text)});
    });
    runtime::ClearError();
    errors.Init();
  }

  void TearDown() override {
    errors.Kill();
    runtime::SetHaltHandler(std::move(previousHalt));
    EXPECT_EQ(boxes.Unanswered(), 0u) << "scripted answers left over";
  }

  // Packs rows into a block that lives as long as the test and adds it.
  void Add(const std::vector<Row>& rows) {
    blocks.push_back(Pack(rows));
    errors.AddMessages(blocks.back());
  }

  // The only box shown so far.
  MessageBoxRequest OnlyBox() {
    const auto requests = boxes.Requests();
    EXPECT_EQ(requests.size(), 1u);
    return requests.empty() ? MessageBoxRequest{} : requests.front();
  }

  struct HaltCall {
    int exitCode;
    std::string text;
  };

  runtime::ui::InstalledHeadlessMessageBoxes boxes;
  ErrorManager errors;
  std::vector<HaltCall> halts;
  std::deque<std::vector<std::uint8_t>> blocks;  // deque: added blocks never move
  runtime::HaltHandler previousHalt;
};

TEST_F(ErrorManagerTest, DefaultMessagesHoldExactlyTheTableRows) {
  const std::span<const std::uint8_t> block = DefaultMessages();
  EXPECT_EQ(block.size(), 3414u);
  const std::optional<Unpacked> unpacked = Unpack(block);
  ASSERT_TRUE(unpacked.has_value()) << "the block is not a well-formed packed block";
  ASSERT_EQ(unpacked->count, 39);

  std::map<std::uint16_t, Row> stored;
  std::vector<std::uint16_t> order;
  for (const Row& row : unpacked->rows) {
    EXPECT_TRUE(stored.emplace(row.id, row).second) << "id " << row.id << " stored twice";
    order.push_back(row.id);
  }
  EXPECT_FALSE(std::is_sorted(order.begin(), order.end())) << "the block keeps its own order, not the id order";

  ASSERT_EQ(stored.size(), ExpectedDefaults().size());
  for (const Row& expected : ExpectedDefaults()) {
    SCOPED_TRACE("id " + std::to_string(expected.id));
    const auto found = stored.find(expected.id);
    ASSERT_NE(found, stored.end());
    EXPECT_EQ(found->second.severity, expected.severity);
    EXPECT_EQ(found->second.title, expected.title);
    EXPECT_EQ(found->second.text, expected.text);
  }
}

// Formats one row through a silent (severity 0) raise, so the capture and
// the %Message value are set exactly as a real raise sets them.
struct FormatCase {
  const char* name;
  std::string text;
  std::int32_t errorCode = runtime::NoError;
  std::string driverCode;
  std::string driverText;
  std::string fileName;
  std::string message;
  std::string fieldName;
  std::string expected;
};

TEST_F(ErrorManagerTest, FormatMessageFillsEveryPlaceholder) {
  const std::vector<FormatCase> cases = {
      {"no placeholders, a lone percent sign", "Done 100% of it.", runtime::FileNotFound, "", "", "web", "", "",
       "Done 100% of it."},
      {"error text from the runtime", "Error: (%ErrorText).", runtime::FileNotFound, "", "", "", "", "",
       "Error: (File Not Found (2))."},
      {"error text from the driver for code 90", "Error: (%ErrorText).", runtime::DriverFailure, "19",
       "UNIQUE constraint failed", "", "", "", "Error: (UNIQUE constraint failed (19))."},
      {"error code and error beside error text", "%ErrorCode|%Error|%ErrorText", runtime::AccessDenied, "", "", "", "",
       "", "5|Access Denied|Access Denied (5)"},
      {"code 90 keeps the runtime's own error text for %Error", "%Error/%ErrorCode", runtime::DriverFailure, "14",
       "unable to open", "", "", "", "File Driver Error/90"},
      {"file error placeholders are not broken by %File", "%FileErrorCode|%FileError|%File", runtime::DriverFailure,
       "19", "constraint", "web.db", "", "", "19|constraint|web.db"},
      {"message and field", "%Field must be in %Message.", runtime::NoError, "", "", "", "A, B", "WEB:URL",
       "WEB:URL must be in A, B."},
      {"adjacent placeholders", "%File%File", runtime::NoError, "", "", "ab", "", "", "abab"},
      {"placeholders are case-sensitive", "%file %FILE %Foo", runtime::NoError, "", "", "web", "", "",
       "%file %FILE %Foo"},
      {"a value holding its own placeholder is not replaced again", "[%File]", runtime::NoError, "", "",
       "/tmp/%File.htm", "", "", "[/tmp/%File.htm]"},
      {"a value holding a later placeholder is shown as it is", "%File: %Message", runtime::NoError, "", "",
       "/tmp/%Message%Previous.htm", "key", "", "/tmp/%Message%Previous.htm: key"},
      {"%Previous with no older row is removed", "a%Previous b", runtime::NoError, "", "", "", "", "", "a b"},
      {"values are clipped", "[%File][%Message]", runtime::NoError, "", "", "web.db   ", "name  ", "",
       "[web.db][name]"},
  };
  std::uint16_t id = 700;  // one id per case, so no case has an older row
  for (const FormatCase& c : cases) {
    SCOPED_TRACE(c.name);
    ++id;
    Add({{id, SeverityOk, "Silent", c.text}});
    errors.SetFileName(c.fileName);
    errors.SetFieldName(c.fieldName);
    runtime::SetError(c.errorCode, c.driverCode, c.driverText);
    EXPECT_EQ(errors.RaiseMessage(id, c.message), SeverityOk);
    EXPECT_EQ(errors.FormatMessage(), c.expected);
  }
  EXPECT_TRUE(boxes.Requests().empty());
}

TEST_F(ErrorManagerTest, PreviousShowsTheShadowedRowsRawText) {
  Add({{800, SeverityNotify, "Old", "Old text about %File"}, {801, SeverityNotify, "Other", "other"}});
  Add({{800, SeverityNotify, "New", "New: %Previous / %File"}});
  errors.SetFileName("web");
  boxes.Script(ButtonOk);

  EXPECT_EQ(errors.Raise(800), SeverityNotify);

  const MessageBoxRequest box = OnlyBox();
  EXPECT_EQ(box.caption, "New") << "the newest row stays current";
  EXPECT_EQ(box.text, "New: Old text about %File / web");
}

TEST_F(ErrorManagerTest, FormattedTextIsCutAt2000BytesWithoutSplittingACharacter) {
  std::string digits;
  for (int i = 0; i < 25; ++i) digits += "0123456789";  // 250 bytes
  std::string text;
  for (int i = 0; i < 28; ++i) text += "%Message|";
  Add({{900, SeverityOk, "Long", text}});
  EXPECT_EQ(errors.RaiseMessage(900, digits), SeverityOk);
  std::string full;
  for (int i = 0; i < 28; ++i) full += digits + "|";
  EXPECT_EQ(errors.FormatMessage(), full.substr(0, 2000));

  // 1 + 7 * 254 bytes leaves 221 bytes before the cut, which falls inside a
  // two-byte character: that character is dropped whole.
  std::string accents;
  for (int i = 0; i < 127; ++i) accents += "\xC3\xA9";
  std::string accentText = "a";
  for (int i = 0; i < 31; ++i) accentText += "%Message";
  Add({{901, SeverityOk, "Long", accentText}});
  EXPECT_EQ(errors.RaiseMessage(901, accents), SeverityOk);
  const std::string formatted = errors.FormatMessage();
  EXPECT_EQ(formatted.size(), 1999u);
  std::string expected = "a";
  while (expected.size() < 1999) expected += accents;
  EXPECT_EQ(formatted, expected.substr(0, 1999));
}

TEST_F(ErrorManagerTest, FieldsAreCutAt255BytesWithoutSplittingACharacter) {
  std::string accents;
  for (int i = 0; i < 150; ++i) accents += "\xC3\xA9";  // 300 bytes
  const std::string plain(400, 'x');
  Add({{910, SeverityOk, "Fields", "%File|%Message|%FileError|%FileErrorCode"}});
  errors.SetFileName(accents);
  runtime::SetError(runtime::DriverFailure, plain, accents);
  EXPECT_EQ(errors.RaiseMessage(910, plain), SeverityOk);
  const std::string cutAccents = accents.substr(0, 254);
  const std::string cutPlain = plain.substr(0, 255);
  EXPECT_EQ(errors.FormatMessage(), cutAccents + "|" + cutPlain + "|" + cutAccents + "|" + cutPlain);
}

struct DispatchCase {
  const char* name;
  std::uint8_t severity;
  std::optional<std::uint32_t> answer;  // nullopt: no box expected
  Severity expected;
  Icon icon;
  std::uint32_t buttons;
};

TEST_F(ErrorManagerTest, HandleErrorDispatchesOnTheRowsSeverity) {
  const std::vector<DispatchCase> cases = {
      {"ok shows nothing", SeverityOk, std::nullopt, SeverityOk, Icon::None, 0},
      {"user, Yes", SeverityUser, ButtonYes, SeverityOk, Icon::Exclamation, ButtonYes | ButtonNo},
      {"user, No", SeverityUser, ButtonNo, SeverityCancel, Icon::Exclamation, ButtonYes | ButtonNo},
      {"cancel asks like user, Yes", SeverityCancel, ButtonYes, SeverityOk, Icon::Exclamation, ButtonYes | ButtonNo},
      {"cancel asks like user, No", SeverityCancel, ButtonNo, SeverityCancel, Icon::Exclamation, ButtonYes | ButtonNo},
      {"notify", SeverityNotify, ButtonOk, SeverityNotify, Icon::Asterisk, ButtonOk},
  };
  for (const DispatchCase& c : cases) {
    SCOPED_TRACE(c.name);
    boxes.Reset();
    Add({{1000, c.severity, "Caption", "Text about %File"}});
    errors.SetFileName("web");
    if (c.answer) boxes.Script(*c.answer);

    EXPECT_EQ(errors.Raise(1000), c.expected);

    const auto requests = boxes.Requests();
    if (!c.answer) {
      EXPECT_TRUE(requests.empty());
      continue;
    }
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].caption, "Caption");
    EXPECT_EQ(requests[0].text, "Text about web");
    EXPECT_EQ(requests[0].icon, c.icon);
    EXPECT_EQ(requests[0].buttons, c.buttons);
    EXPECT_EQ(requests[0].defaultButton, c.buttons == ButtonOk ? ButtonOk : ButtonYes);
  }
  EXPECT_TRUE(halts.empty());
}

TEST_F(ErrorManagerTest, FatalProgramAndUnknownSeveritiesHaltAfterTheirBox) {
  for (const std::uint8_t severity : {std::uint8_t{SeverityFatal}, std::uint8_t{SeverityProgram}, std::uint8_t{9}}) {
    SCOPED_TRACE("severity " + std::to_string(severity));
    boxes.Reset();
    halts.clear();
    Add({{1100, severity, "File Creation Error", "Error: (%ErrorText) creating %File."}});
    errors.SetFileName("web.db");
    runtime::SetError(runtime::AccessDenied);
    boxes.Script(ButtonOk);

    EXPECT_EQ(errors.Raise(1100), SeverityFatal);

    const MessageBoxRequest box = OnlyBox();
    EXPECT_EQ(box.caption, "File Creation Error");
    EXPECT_EQ(box.text, "Error: (Access Denied (5)) creating web.db.  Press OK to end this application");
    EXPECT_EQ(box.icon, Icon::Asterisk);
    EXPECT_EQ(box.buttons, ButtonOk);
    ASSERT_EQ(halts.size(), 1u);
    EXPECT_EQ(halts[0].exitCode, 0);
    EXPECT_EQ(halts[0].text, "File Creation Error");
  }
}

TEST_F(ErrorManagerTest, DefaultQuestionsAndNoticesComeFromTheTable) {
  boxes.Script({ButtonNo, ButtonOk});
  EXPECT_EQ(errors.Raise(MsgConfirmDelete), SeverityCancel);
  EXPECT_EQ(errors.RaiseMessage(MsgDuplicateKey, "WEB:NAMEKEY"), SeverityNotify);

  const auto requests = boxes.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].caption, "Confirm Delete");
  EXPECT_EQ(requests[0].text, "Are you sure you want to delete the highlighted record?");
  EXPECT_EQ(requests[1].caption, "Duplicate Key Error");
  EXPECT_EQ(requests[1].text, "Adding this record creates a duplicate entry for the key: WEB:NAMEKEY");
}

TEST_F(ErrorManagerTest, HandleErrorShowsTheErrorCapturedEarlier) {
  errors.SetFileName("web");
  runtime::SetError(runtime::RecordHeld);
  errors.CaptureErrors();
  runtime::SetError(runtime::FileNotFound);
  boxes.Script(ButtonOk);

  EXPECT_EQ(errors.HandleError(MsgRetrievalError), SeverityNotify);

  EXPECT_EQ(OnlyBox().text,
            "Error: (Record Is Held By Another Station (43)) attempting to access a record from the web file.  "
            "Returning to previous window.");
}

TEST_F(ErrorManagerTest, AskUsesTheCallersButtonsAndIgnoresSeverity) {
  boxes.Script(ButtonCancel);
  const std::uint32_t buttons = ButtonYes | ButtonNo | ButtonCancel;

  EXPECT_EQ(errors.Ask(MsgOpenFailed, buttons, ButtonNo), ButtonCancel);

  const MessageBoxRequest box = OnlyBox();
  EXPECT_EQ(box.caption, "File Access Error");
  EXPECT_EQ(box.icon, Icon::Exclamation);
  EXPECT_EQ(box.buttons, buttons);
  EXPECT_EQ(box.defaultButton, ButtonNo);
  EXPECT_TRUE(halts.empty()) << "Ask never halts, even for a fatal row";
}

TEST_F(ErrorManagerTest, AddedRowShadowsTheDefaultRow) {
  Add({{MsgNoRecords, SeverityUser, "Nothing To Do", "Nothing matched %File. Try again?"}});
  errors.SetFileName("web");
  boxes.Script(ButtonYes);

  EXPECT_EQ(errors.Raise(MsgNoRecords), SeverityOk);

  EXPECT_EQ(errors.Messages().Records(), 42u) << "the default table, the two further messages and the added row";
  const MessageBoxRequest box = OnlyBox();
  EXPECT_EQ(box.caption, "Nothing To Do");
  EXPECT_EQ(box.text, "Nothing matched web. Try again?");
}

TEST_F(ErrorManagerTest, UnknownIdShowsNothing) {
  EXPECT_EQ(errors.Raise(999), SeverityNotify);
  EXPECT_EQ(errors.RaiseMessage(0, "x"), SeverityNotify);
  EXPECT_EQ(errors.Ask(999, ButtonYes | ButtonNo, ButtonNo), ButtonNo);
  EXPECT_FALSE(errors.FindMessage(999));
  EXPECT_EQ(errors.FormatMessage(), "");

  errors.Kill();
  errors.Kill();
  EXPECT_EQ(errors.Raise(MsgNoRecords), SeverityNotify) << "a killed manager has no rows";
  EXPECT_TRUE(boxes.Requests().empty());
}

TEST_F(ErrorManagerTest, BlockCutShortLoadsItsWholeRows) {
  const std::span<const std::uint8_t> defaults = DefaultMessages();
  const std::optional<Unpacked> unpacked = Unpack(defaults);
  ASSERT_TRUE(unpacked.has_value());
  for (std::size_t size = 0; size < defaults.size(); ++size) {
    // A copy of exactly size bytes, so a read past its end is a sanitizer error.
    const std::vector<std::uint8_t> cut(defaults.begin(), defaults.begin() + static_cast<std::ptrdiff_t>(size));
    ErrorManager manager;
    manager.AddMessages(cut);
    std::size_t whole = 0;
    while (whole < unpacked->rowEnds.size() && unpacked->rowEnds[whole] <= size) ++whole;
    ASSERT_EQ(manager.Messages().Records(), whole) << "block cut at " << size << " bytes";
  }

  // A count smaller than the rows present loads only the counted rows.
  ErrorManager manager;
  blocks.push_back(Pack({{1, SeverityOk, "a", "b"}, {2, SeverityOk, "c", "d"}}, 1));
  manager.AddMessages(blocks.back());
  EXPECT_EQ(manager.Messages().Records(), 1u);
}

TEST_F(ErrorManagerTest, GarbageBlocksNeverReadPastTheirEnd) {
  std::mt19937 random(20240601);
  for (int round = 0; round < 2000; ++round) {
    std::vector<std::uint8_t> garbage(random() % 80);
    // Every other round uses small bytes, so counts and lengths fit and rows load.
    const unsigned range = round % 2 == 0 ? 256 : 8;
    for (std::uint8_t& byte : garbage) byte = static_cast<std::uint8_t>(random() % range);
    ErrorManager manager;
    manager.AddMessages(garbage);
    for (const ErrorManager::MessageEntry& entry : manager.Messages()) {
      const auto* begin = reinterpret_cast<const char*>(garbage.data());
      EXPECT_GE(entry.MESSAGE.data(), begin);
      EXPECT_LE(entry.MESSAGE.data() + entry.MESSAGE.size(), begin + garbage.size());
      EXPECT_GE(entry.TITLE.data(), begin);
      EXPECT_LE(entry.TITLE.data() + entry.TITLE.size(), begin + garbage.size());
    }
    // A row loaded from garbage formats and shows without trouble.
    if (!manager.Messages().Empty()) {
      const ErrorManager::MessageEntry& last = *(manager.Messages().end() - 1);
      boxes.Script(ButtonOk);
      EXPECT_EQ(manager.Ask(last.ID, ButtonOk, ButtonOk), ButtonOk);
      EXPECT_LE(manager.FormatMessage().size(), 2000u);
    }
  }
}

}  // namespace
}  // namespace marlinden
