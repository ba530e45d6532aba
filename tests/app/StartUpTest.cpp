// Start-up and shutdown with the program's real data files: what start-up
// sets up, that no file is touched before its first use, and that shutdown
// leaves every global reference null.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "app/AppTestSupport.h"
#include "app/DataFiles.h"
#include "app/Favorite.h"
#include "app/Globals.h"
#include "app/StartUp.h"
#include "data/ManagerRegistry.h"
#include "runtime/system/RuntimeError.h"
#include "window/Globals.h"

namespace marlinden {
namespace {

std::vector<FileManager*> FileManagers() {
  return {BookmarkStoreManager, BookmarkDetailsStoreManager, MailSettingsStoreManager, BookmarkExportFileManager,
          BookmarkImportFileManager};
}
std::vector<RelationManager*> RelationManagers() {
  return {BookmarkStoreRelations, BookmarkDetailsStoreRelations, MailSettingsStoreRelations,
          BookmarkExportFileRelations, BookmarkImportFileRelations};
}
std::vector<runtime::DataFile*> Files() {
  return {&BookmarkStore(), &BookmarkDetailsStore(), &MailSettingsStore(), &BookmarkExportFile(),
          &BookmarkImportFile()};
}

class StartUpTest : public ::testing::Test {
 protected:
  ~StartUpTest() override { ShutDown(); }

  void ExpectAllReferencesNull() {
    for (FileManager* manager : FileManagers()) EXPECT_EQ(manager, nullptr);
    for (RelationManager* relations : RelationManagers()) EXPECT_EQ(relations, nullptr);
  }

  testing_support::TempCurrentDirectory cwd;
};

TEST_F(StartUpTest, StartsWithoutDataFilesAndCreatesTheBookmarkFileOnFirstUse) {
  ASSERT_EQ(StartUp(runtime::kInterfaceVersion), StartUpResult::Started);
  const std::vector<FileManager*> managers = FileManagers();
  const std::vector<RelationManager*> relations = RelationManagers();
  const std::vector<runtime::DataFile*> files = Files();
  for (std::size_t i = 0; i < files.size(); ++i) {
    ASSERT_NE(managers[i], nullptr);
    ASSERT_NE(relations[i], nullptr);
    EXPECT_EQ(managers[i]->FILE, files[i]);
    EXPECT_EQ(relations[i]->ME, managers[i]);
    EXPECT_EQ(relations[i]->USELOGOUT, 1);
    EXPECT_EQ(ManagerRegistry::FindManager(*files[i]), managers[i]);
    EXPECT_FALSE(files[i]->IsOpen());
  }
  EXPECT_TRUE(cwd.Empty()) << "start-up must not create or open any file";

  ASSERT_EQ(BookmarkStoreRelations->Open(), SeverityOk);
  EXPECT_TRUE(std::filesystem::exists("MARLINDEN.db"));
  EXPECT_FALSE(std::filesystem::exists("EMAIL.db"));
  EXPECT_EQ(BookmarkStoreRelations->Close(), SeverityOk);
}

TEST_F(StartUpTest, ShutdownKillsEveryManagerClosesTheFilesAndNullsTheReferences) {
  ASSERT_EQ(StartUp(runtime::kInterfaceVersion), StartUpResult::Started);
  ASSERT_EQ(BookmarkStoreRelations->Open(), SeverityOk);  // never closed by its user
  ShutDown();
  ExpectAllReferencesNull();
  for (runtime::DataFile* file : Files()) {
    EXPECT_EQ(ManagerRegistry::FindManager(*file), nullptr);
    EXPECT_FALSE(file->IsOpen());
  }
  ShutDown();  // a second time does nothing

  // The next run finds everything as new.
  ASSERT_EQ(StartUp(runtime::kInterfaceVersion), StartUpResult::Started);
  ASSERT_NE(BookmarkStoreRelations, nullptr);
  EXPECT_EQ(BookmarkStoreRelations->Open(), SeverityOk);
  EXPECT_EQ(BookmarkStoreRelations->Close(), SeverityOk);
}

TEST_F(StartUpTest, StartUpClearsTheGlobalsAndRecordBuffers) {
  TransferFileName.Set("/tmp/old.htm");
  ExportSavedDirectory.Set("/tmp/old");
  ExportChosenName.Set("/tmp/old/saved.htm");
  RequestCode = RequestChange;
  ResponseCode = ResponseCompleted;
  VcrRequest = 2003;
  for (runtime::DataFile* file : Files()) file->Record().Field(1).SetText("left over");
  BookmarkStore().Record().SetMemo(WebNotes, "old notes");

  ASSERT_EQ(StartUp(runtime::kInterfaceVersion), StartUpResult::Started);
  EXPECT_EQ(TransferFileName.Clipped(), "");
  EXPECT_EQ(ExportSavedDirectory.Padded(), std::string(250, ' '));
  EXPECT_EQ(ExportChosenName.Padded(), std::string(250, ' '));
  EXPECT_EQ(RequestCode, RequestNone);
  EXPECT_EQ(ResponseCode, ResponseNone);
  EXPECT_EQ(VcrRequest, 0);
  EXPECT_EQ(BookmarkStore().Record().Field(WebNum).Get().AsInteger(), 0);
  EXPECT_EQ(BookmarkStore().Record().Memo(WebNotes), "");
  EXPECT_EQ(BookmarkDetailsStore().Record().Field(FolNum).Get().AsInteger(), 0);
  EXPECT_EQ(BookmarkDetailsStore().Record().Field(FolPath).ClippedText(), "");
  for (runtime::DataFile* file : {&MailSettingsStore(), &BookmarkExportFile(), &BookmarkImportFile()}) {
    EXPECT_EQ(file->Record().View().find_first_not_of(' '), std::string_view::npos) << file->Name();
  }
}

TEST_F(StartUpTest, RunProgramRunsTheMainProcedureBetweenStartUpAndShutdown) {
  bool ran = false;
  EXPECT_EQ(RunProgram([&] {
              ran = true;
              EXPECT_NE(BookmarkStoreRelations, nullptr);
              EXPECT_EQ(GlobalIni.FILENAME, cwd.Dir().File("marlinden.INI"));
            }),
            0);
  EXPECT_TRUE(ran);
  ExpectAllReferencesNull();
}

// A file dialog may change the current directory while another thread opens
// a file: every data file and INI file stays in the folder the program
// started in.
TEST_F(StartUpTest, DataFilesStayInTheStartFolderWhenTheCurrentDirectoryChanges) {
  ASSERT_EQ(StartUp(runtime::kInterfaceVersion), StartUpResult::Started);
  testing_support::TempCurrentDirectory elsewhere;  // what a file dialog does

  ASSERT_EQ(BookmarkStoreRelations->Open(), SeverityOk);
  ASSERT_EQ(MailSettingsStoreRelations->Open(), SeverityOk);
  EXPECT_EQ(BookmarkStoreManager->TryNext(), SeverityNotify) << "opened (created) and read to its end";
  EXPECT_EQ(MailSettingsStoreManager->TryNext(), SeverityNotify);
  ASSERT_EQ(WriteFavorite("http://fav/"), runtime::NoError);
  TransferFileName.Set("export.htm");
  ASSERT_EQ(BookmarkExportFileRelations->Open(), SeverityOk);
  BookmarkExportFile().Record().Field(ExpBookmark).SetText("<HTML>");
  ASSERT_EQ(BookmarkExportFileManager->Insert(), SeverityOk);
  EXPECT_EQ(BookmarkExportFileRelations->Close(), SeverityOk);
  EXPECT_EQ(GlobalIni.FILENAME, cwd.Dir().File("marlinden.INI"));

  for (const char* name : {"MARLINDEN.db", "EMAIL.db", kFavoriteIniFile, "export.htm"}) {
    EXPECT_TRUE(std::filesystem::exists(cwd.Dir().File(name))) << name;
  }
  EXPECT_TRUE(elsewhere.Empty()) << "nothing was made in the new current directory";
  EXPECT_EQ(ReadFavorite(), "http://fav/");
  EXPECT_EQ(BookmarkStoreRelations->Close(), SeverityOk);
  EXPECT_EQ(MailSettingsStoreRelations->Close(), SeverityOk);
  ShutDown();
  TransferFileName.Clear();
}

TEST_F(StartUpTest, AnotherRuntimeVersionEndsSilentlyWithoutRunningAnything) {
  for (const std::uint32_t version : {runtime::kInterfaceVersion - 1, runtime::kInterfaceVersion + 1, 0u}) {
    bool ran = false;
    EXPECT_EQ(RunProgram([&] { ran = true; }, version), 0);
    EXPECT_FALSE(ran) << version;
    ExpectAllReferencesNull();
    EXPECT_EQ(ManagerRegistry::FindManager(BookmarkStore()), nullptr);
  }
  EXPECT_EQ(runtime::InterfaceVersion(), runtime::kInterfaceVersion) << "the linked runtime is the expected one";
  EXPECT_TRUE(cwd.Empty());
}

}  // namespace
}  // namespace marlinden
