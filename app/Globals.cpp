#include "app/Globals.h"

#include "app/DataFiles.h"

namespace marlinden {

ErrorManager GlobalErrors;
IniManager GlobalIni;

FileManager* BookmarkStoreManager = nullptr;
RelationManager* BookmarkStoreRelations = nullptr;
FileManager* BookmarkDetailsStoreManager = nullptr;
RelationManager* BookmarkDetailsStoreRelations = nullptr;
FileManager* LinkCheckStoreManager = nullptr;
RelationManager* LinkCheckStoreRelations = nullptr;
FileManager* BookmarkWordsStoreManager = nullptr;
RelationManager* BookmarkWordsStoreRelations = nullptr;
FileManager* FolderOrderStoreManager = nullptr;
RelationManager* FolderOrderStoreRelations = nullptr;
FileManager* MailSettingsStoreManager = nullptr;
RelationManager* MailSettingsStoreRelations = nullptr;
FileManager* BookmarkExportFileManager = nullptr;
RelationManager* BookmarkExportFileRelations = nullptr;
FileManager* BookmarkImportFileManager = nullptr;
RelationManager* BookmarkImportFileRelations = nullptr;

runtime::FixedText<250> ExportSavedDirectory;
runtime::FixedText<250> ExportChosenName;

bool FetchBookmarkNumber(std::int64_t number) {
  runtime::RecordBuffer& web = BookmarkStore().Record();
  web.Clear();
  web.Field(WebNum).Set(runtime::Value::Integer(number));
  return BookmarkStoreManager->TryFetch(WebNumKey) == SeverityOk;
}

}  // namespace marlinden
