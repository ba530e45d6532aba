#include "app/StartUp.h"

#include <array>

#include "app/BookmarkDetails.h"
#include "app/BookmarkFileManager.h"
#include "app/DataFiles.h"
#include "app/DataFolder.h"
#include "app/FolderOrder.h"
#include "app/Globals.h"
#include "app/LinkResults.h"
#include "app/SearchIndex.h"
#include "runtime/files/drivers/KeyedServer.h"
#include "runtime/ui/RuntimeThread.h"
#include "window/Globals.h"

namespace marlinden {
namespace {

// One data file's managers and the global references that lead to them.
struct ManagedFile {
  void (*initManager)(FileManager&, ErrorManager&);
  runtime::DataFile& (*file)();
  FileManager*& managerReference;
  RelationManager*& relationsReference;
  FileManager& manager;
  RelationManager& relations;
};

// In the order of start-up and shutdown. Lives for the process, so a
// reference handed out during a run stays valid memory after it.
std::array<ManagedFile, 8>& Files() {
  static BookmarkFileManager bookmarks;
  static BookmarkRelationManager bookmarkRelations;
  static FileManager details;
  static RelationManager detailsRelations;
  static FileManager links;
  static RelationManager linksRelations;
  static FileManager words;
  static RelationManager wordsRelations;
  static FileManager order;
  static RelationManager orderRelations;
  static FileManager mailSettings;
  static RelationManager mailSettingsRelations;
  static FileManager exports;
  static RelationManager exportsRelations;
  static FileManager imports;
  static RelationManager importsRelations;
  static std::array<ManagedFile, 8> files{{
      {InitBookmarkStoreManager, BookmarkStore, BookmarkStoreManager, BookmarkStoreRelations, bookmarks,
       bookmarkRelations},
      {InitBookmarkDetailsStoreManager, BookmarkDetailsStore, BookmarkDetailsStoreManager,
       BookmarkDetailsStoreRelations, details, detailsRelations},
      {InitLinkCheckStoreManager, LinkCheckStore, LinkCheckStoreManager, LinkCheckStoreRelations, links,
       linksRelations},
      {InitBookmarkWordsStoreManager, BookmarkWordsStore, BookmarkWordsStoreManager, BookmarkWordsStoreRelations, words,
       wordsRelations},
      {InitFolderOrderStoreManager, FolderOrderStore, FolderOrderStoreManager, FolderOrderStoreRelations, order,
       orderRelations},
      {InitMailSettingsStoreManager, MailSettingsStore, MailSettingsStoreManager, MailSettingsStoreRelations,
       mailSettings, mailSettingsRelations},
      {InitBookmarkExportFileManager, BookmarkExportFile, BookmarkExportFileManager, BookmarkExportFileRelations,
       exports, exportsRelations},
      {InitBookmarkImportFileManager, BookmarkImportFile, BookmarkImportFileManager, BookmarkImportFileRelations,
       imports, importsRelations},
  }};
  return files;
}

bool started = false;

void ClearGlobals() {
  TransferFileName.Clear();
  ExportSavedDirectory.Clear();
  ExportChosenName.Clear();
  RequestCode = RequestNone;
  ResponseCode = ResponseNone;
  VcrRequest = 0;
  for (ManagedFile& f : Files()) f.file().ClearBuffer();
}

}  // namespace

StartUpResult StartUp(std::uint32_t runtimeVersion) {
  if (runtimeVersion != runtime::kInterfaceVersion) return StartUpResult::WrongRuntime;
  FixDataFolder();
  // Read before any keyed file is made; a process keeps the place its first
  // files were made for.
  if (std::string database = DatabaseSetting(); !database.empty()) runtime::SetKeyedServer(std::move(database));
  ClearGlobals();
  GlobalErrors.Init();
  GlobalIni.Init(DataFolderPath(kWindowIniFile));
  for (ManagedFile& f : Files()) {
    f.managerReference = &f.manager;
    f.relationsReference = &f.relations;
  }
  for (ManagedFile& f : Files()) {
    f.initManager(f.manager, GlobalErrors);
    f.relations.Init(f.manager, true);
  }
  RelateBookmarkDetails(*BookmarkStoreRelations, *BookmarkDetailsStoreRelations);
  RelateLinkResults(*BookmarkStoreRelations, *LinkCheckStoreRelations);
  RelateBookmarkWords(*BookmarkStoreRelations, *BookmarkWordsStoreRelations);
  RelateFolderOrder(*BookmarkStoreRelations, *FolderOrderStoreRelations);
  started = true;
  return StartUpResult::Started;
}

void ShutDown() {
  if (!started) return;
  started = false;
  for (ManagedFile& f : Files()) {
    f.manager.Kill();
    f.managerReference = nullptr;
    f.relations.Kill();
    f.relationsReference = nullptr;
    // A file a procedure left open is closed here, not left to the end of
    // the process.
    if (f.file().IsOpen()) (void)f.file().Close();
  }
  GlobalErrors.Kill();
  ForgetDataFolder();
}

int RunProgram(const std::function<void()>& mainProcedure, std::uint32_t runtimeVersion) {
  if (StartUp(runtimeVersion) == StartUpResult::WrongRuntime) return 0;
  // A fatal message halts the program through the same shutdown.
  runtime::ui::SetHaltSteps(&ShutDown);
  if (mainProcedure) mainProcedure();
  // The export or an e-mail form may still run on threads of their own: they
  // end before the managers they use are killed. When another thread halts
  // the program, it runs the shutdown.
  if (!runtime::ui::CloseDownOtherThreads()) return 0;
  runtime::ui::SetHaltSteps(nullptr);
  ShutDown();
  return 0;
}

}  // namespace marlinden
