// The program's data files: exact layouts, the file managers' settings and
// keys, what the bookmark file keeps, and the favourite's INI file.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "app/AppTestSupport.h"
#include "app/DataFiles.h"
#include "app/Favorite.h"
#include "app/Globals.h"
#include "app/StartUp.h"
#include "errors/MessageIds.h"
#include "runtime/system/RuntimeError.h"
#include "testing/InstalledHeadlessMessageBoxes.h"

namespace marlinden {
namespace {

using runtime::FieldType;

struct FieldCase {
  runtime::RecordLayout layout;
  std::size_t number;
  const char* label;
  FieldType type;
  std::uint32_t offset;
  std::uint32_t size;
};

TEST(DataFilesLayoutTest, FieldsLieBackToBackAtTheirOffsets) {
  EXPECT_EQ(BookmarkLayout().RecordSize(), 510u);
  EXPECT_EQ(MailSettingsLayout().RecordSize(), 1325u);
  EXPECT_EQ(ExportLayout().RecordSize(), kExportLineWidth);
  EXPECT_EQ(ImportLayout().RecordSize(), kImportPieceBytes);
  EXPECT_EQ(BookmarkDetailsLayout().RecordSize(), 4u + kFolderPathWidth + 1 + 4 + 4);
  const std::vector<FieldCase> cases = {
      {BookmarkLayout(), WebNum, "WEB:NUM", FieldType::Int32, 0, 4},
      {BookmarkLayout(), WebUrl, "WEB:URL", FieldType::String, 4, 255},
      {BookmarkLayout(), WebDescription, "WEB:DESCRIPTION", FieldType::String, 259, 250},
      {BookmarkLayout(), WebNoteField, "WEB:NOTEFIELD", FieldType::UInt8, 509, 1},
      {MailSettingsLayout(), EmaSenderEmail, "EMA:SENDEREMAIL", FieldType::String, 0, 255},
      {MailSettingsLayout(), EmaSenderName, "EMA:SENDERNAME", FieldType::String, 255, 255},
      {MailSettingsLayout(), EmaReceiverEmail, "EMA:RECEIVEREMAIL", FieldType::String, 510, 255},
      {MailSettingsLayout(), EmaReceiverName, "EMA:RECEIVERNAME", FieldType::String, 765, 255},
      {MailSettingsLayout(), EmaSmtp, "EMA:SMTP", FieldType::String, 1020, 255},
      {MailSettingsLayout(), EmaSubject, "EMA:SUBJECT", FieldType::String, 1275, 50},
      {ExportLayout(), ExpBookmark, "EXP:BOOKMARK", FieldType::String, 0, kExportLineWidth},
      {ImportLayout(), HtmBookmark, "HTM:BOOKMARK", FieldType::String, 0, kImportPieceBytes},
      {BookmarkDetailsLayout(), FolNum, "FOL:NUM", FieldType::Int32, 0, 4},
      {BookmarkDetailsLayout(), FolPath, "FOL:PATH", FieldType::String, 4, kFolderPathWidth},
      {BookmarkDetailsLayout(), FolToolbar, "FOL:TOOLBAR", FieldType::UInt8, 4 + kFolderPathWidth, 1},
      {BookmarkDetailsLayout(), FolAdded, "FOL:ADDED", FieldType::UInt32, 5 + kFolderPathWidth, 4},
      {BookmarkDetailsLayout(), FolModified, "FOL:MODIFIED", FieldType::UInt32, 9 + kFolderPathWidth, 4},
  };
  for (const FieldCase& c : cases) {
    SCOPED_TRACE(c.label);
    const runtime::FieldDesc& field = c.layout.Field(c.number);
    EXPECT_EQ(field.label, c.label);
    EXPECT_EQ(field.type, c.type);
    EXPECT_EQ(field.offset, c.offset);
    EXPECT_EQ(field.size, c.size);
  }
  EXPECT_EQ(BookmarkLayout().Memo(WebNotes).label, "WEB:NOTES");
  EXPECT_EQ(BookmarkLayout().Memo(WebNotes).maxSize, 1000u);
  EXPECT_EQ(MailSettingsLayout().Memo(EmaMessage).label, "EMA:MESSGAE");
  EXPECT_EQ(MailSettingsLayout().Memo(EmaMessage).maxSize, 1000u);
  EXPECT_EQ(MailSettingsLayout().KeyCount(), 0u);
}

class DataFilesTest : public ::testing::Test {
 protected:
  DataFilesTest() {
    boxes.OnUnscripted([](const runtime::ui::MessageBoxRequest& r) { ADD_FAILURE() << "unscripted box: " << r.text; });
    EXPECT_EQ(StartUp(runtime::kInterfaceVersion), StartUpResult::Started);
    EXPECT_EQ(BookmarkStoreRelations->Open(), SeverityOk);
  }
  ~DataFilesTest() override {
    EXPECT_EQ(BookmarkStoreRelations->Close(), SeverityOk);
    ShutDown();
  }

  runtime::RecordBuffer& Web() { return BookmarkStore().Record(); }

  // Adds a bookmark through the file manager, as the procedures do.
  Severity Add(std::string_view url, std::string_view description) {
    Web().Clear();
    Web().Field(WebUrl).SetText(url);
    Web().Field(WebDescription).SetText(description);
    return BookmarkStoreManager->Insert();
  }

  testing_support::TempCurrentDirectory cwd;
  runtime::ui::InstalledHeadlessMessageBoxes boxes;
};

TEST_F(DataFilesTest, FileManagersStartWithTheProgramsSettingsAndKeys) {
  for (FileManager* manager :
       {BookmarkStoreManager, MailSettingsStoreManager, BookmarkExportFileManager, BookmarkImportFileManager}) {
    EXPECT_EQ(manager->CREATE, 1);
    EXPECT_EQ(manager->OPENMODE, 0x42);
    EXPECT_EQ(manager->LAZYOPEN, 1);
    EXPECT_EQ(manager->LOCKRECOVER, 10);
    EXPECT_EQ(manager->SKIPHELDRECORDS, 0);
  }
  EXPECT_EQ(BookmarkStoreManager->FILENAMEVALUE, "Marlinden");
  EXPECT_EQ(MailSettingsStoreManager->FILENAMEVALUE, "email");
  EXPECT_EQ(BookmarkExportFileManager->FILENAME, &TransferFileName);
  EXPECT_EQ(BookmarkImportFileManager->FILENAME, &TransferFileName);

  TransferFileName.Set("/home/user/bookmarks.htm");
  EXPECT_EQ(BookmarkExportFile().DiskName(), "/home/user/bookmarks.htm");
  EXPECT_EQ(BookmarkImportFile().DiskName(), "/home/user/bookmarks.htm");
  EXPECT_EQ(BookmarkExportFileManager->FileName(), "/home/user/bookmarks.htm");

  struct KeyCase {
    std::size_t key;
    const char* description;
    std::uint8_t autoInc;
    std::uint8_t dups;
  };
  const std::vector<KeyCase> keys = {
      {WebNumKey, "WEB:Numkey", 1, 0}, {WebNameKey, "WEB:Namekey", 0, 0}, {WebDescKey, "WEB:Desckey", 0, 1}};
  ASSERT_EQ(BookmarkStoreManager->KEYS.Records(), keys.size());
  for (std::size_t i = 0; i < keys.size(); ++i) {
    const FileManager::KeyEntry& entry = *BookmarkStoreManager->KEYS.Get(i + 1);
    EXPECT_EQ(entry.KEY, keys[i].key);
    EXPECT_EQ(entry.DESCRIPTION, keys[i].description);
    EXPECT_EQ(entry.AUTOINC, keys[i].autoInc);
    EXPECT_EQ(entry.DUPS, keys[i].dups);
    EXPECT_EQ(entry.NOCASE, 1);
  }
  EXPECT_EQ(MailSettingsStoreManager->KEYS.Records(), 0u);
}

TEST_F(DataFilesTest, BookmarksAreNumberedAndKeepAtMostTheirFieldWidths) {
  const std::string exact = "https://marlinden.example/" + std::string(255 - 26, 'x');
  // 254 bytes of ASCII, then a two-byte character that does not fit whole.
  const std::string tooLong = "ftp://" + std::string(248, 'y') + "\xC3\xA9" + "zz";
  const std::string longDescription(300, 'd');
  ASSERT_EQ(Add(exact, longDescription), SeverityOk);
  ASSERT_EQ(Add(tooLong, "second"), SeverityOk);

  Web().Clear();
  Web().Field(WebUrl).SetText(exact);
  ASSERT_EQ(BookmarkStoreManager->Fetch(WebNameKey), SeverityOk);
  EXPECT_EQ(Web().Field(WebUrl).ClippedText(), exact);
  EXPECT_EQ(Web().Field(WebDescription).ClippedText(), std::string(250, 'd'));
  EXPECT_EQ(Web().Field(WebNum).Get().AsInteger(), 1);

  Web().Clear();
  Web().Field(WebNum).SetInteger(2);
  ASSERT_EQ(BookmarkStoreManager->Fetch(WebNumKey), SeverityOk);
  EXPECT_EQ(Web().Field(WebUrl).ClippedText(), tooLong.substr(0, 254)) << "cut before the split character";
}

TEST_F(DataFilesTest, UrlsAreUniqueWithoutRegardToCaseWhileDescriptionsMayRepeat) {
  ASSERT_EQ(Add("https://marlinden.example/Page", "same"), SeverityOk);
  ASSERT_EQ(Add("https://marlinden.example/other", "same"), SeverityOk) << "descriptions may repeat";

  Web().Clear();
  Web().Field(WebNum).SetInteger(3);
  Web().Field(WebUrl).SetText("HTTPS://MARLINDEN.EXAMPLE/page");
  EXPECT_TRUE(BookmarkStore().Duplicate(WebNameKey));
  EXPECT_EQ(BookmarkStore().Add(), runtime::DuplicateKey);
  EXPECT_EQ(BookmarkStore().Records(), 2);
}

TEST(FavoriteTest, ReadsTheFavoriteOrNothing) {
  testing_support::TempCurrentDirectory cwd;
  EXPECT_EQ(ReadFavorite(), "") << "no INI file";

  std::ofstream("Marlimden.ini") << "[Favorite]\nOther=x\n[Elsewhere]\nMyFavorite=wrong\n";
  EXPECT_EQ(ReadFavorite(), "") << "no key in the section";

  ASSERT_EQ(WriteFavorite("https://marlinden.example/fav   "), runtime::NoError);
  EXPECT_EQ(ReadFavorite(), "https://marlinden.example/fav");

  const std::string tooLong = std::string(254, 'a') + "\xE2\x82\xAC";  // the euro sign would end at 257
  std::ofstream("Marlimden.ini") << "[favorite]\nmyfavorite=" << tooLong << "\n";
  EXPECT_EQ(ReadFavorite(), std::string(254, 'a'));
}

}  // namespace
}  // namespace marlinden
