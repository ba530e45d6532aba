// The program's global objects: the error manager, the INI manager of
// window positions, and the file and relation manager of each data file.
// Start-up initialises them once per run, in a fixed order, and shutdown
// kills them (StartUp.h). Procedures use the references below, never copies
// of their own; a reference is null while its manager is not initialised.
// The request and response codes are the window layer's (window/Globals.h).
//
// Guarded by the runtime lock.
#pragma once

#include <cstdint>

#include "data/FileManager.h"
#include "data/RelationManager.h"
#include "errors/ErrorManager.h"
#include "runtime/text/FixedText.h"
#include "window/IniManager.h"

namespace marlinden {

inline constexpr const char* kWindowIniFile = "marlinden.INI";

extern ErrorManager GlobalErrors;
extern IniManager GlobalIni;

extern FileManager* BookmarkStoreManager;
extern RelationManager* BookmarkStoreRelations;
extern FileManager* BookmarkDetailsStoreManager;
extern RelationManager* BookmarkDetailsStoreRelations;
extern FileManager* LinkCheckStoreManager;
extern RelationManager* LinkCheckStoreRelations;
extern FileManager* BookmarkWordsStoreManager;
extern RelationManager* BookmarkWordsStoreRelations;
extern FileManager* FolderOrderStoreManager;
extern RelationManager* FolderOrderStoreRelations;
extern FileManager* MailSettingsStoreManager;
extern RelationManager* MailSettingsStoreRelations;
extern FileManager* BookmarkExportFileManager;
extern RelationManager* BookmarkExportFileRelations;
extern FileManager* BookmarkImportFileManager;
extern RelationManager* BookmarkImportFileRelations;

// Reads bookmark number into the bookmark file's buffer through its
// manager; false when there is none. Call with the bookmark files open.
bool FetchBookmarkNumber(std::int64_t number);

// The export window's save dialog: the current directory saved around it and
// the name last chosen there; start-up clears both.
extern runtime::FixedText<250> ExportSavedDirectory;
extern runtime::FixedText<250> ExportChosenName;

}  // namespace marlinden
