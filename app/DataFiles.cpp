#include "app/DataFiles.h"

#include <memory>
#include <string>

#include "app/BookmarkFileManager.h"
#include "app/DataFolder.h"
#include "runtime/files/ThreadedFile.h"

namespace marlinden {

using runtime::FieldType;

runtime::FixedText<255> TransferFileName;

namespace {

void NameByTransferFileName(runtime::DataFile& file) {
  file.SetDiskNameSource([] { return DataFolderPath(TransferFileName.Clipped()); });
}

std::unique_ptr<runtime::DataFile> MakeTransferFile(runtime::Driver driver, runtime::RecordLayout layout) {
  auto file = runtime::DataFile::Make(driver, std::move(layout), "");
  NameByTransferFileName(*file);
  return file;
}

// A per-thread keyed file named diskName in the data folder: each runtime
// thread has its own record, position and station on it.
std::unique_ptr<runtime::DataFile> MakeStoreFile(runtime::RecordLayout layout, const char* diskName) {
  auto file = runtime::ThreadedFile::Make(runtime::Driver::Keyed, std::move(layout), diskName);
  file->SetDiskNameSource([diskName] { return DataFolderPath(diskName); });
  return file;
}

// The settings every file of the program shares.
void ApplyCommonSettings(FileManager& manager) {
  manager.CREATE = 1;
  manager.OPENMODE = runtime::AccessReadWrite | runtime::ShareDenyNone;
  manager.LAZYOPEN = 1;
  manager.LOCKRECOVER = 10;
  manager.SKIPHELDRECORDS = 0;
}

}  // namespace

namespace {

runtime::RecordLayout::Builder BookmarkLayoutBuilder() {
  runtime::RecordLayout::Builder builder("MARLINDEN", "WEB");
  builder.Field("NUM", FieldType::Int32)
      .String("URL", kUrlWidth)
      .String("DESCRIPTION", 250)
      .Field("NOTEFIELD", FieldType::UInt8)
      .Memo("NOTES", 1000)
      .Key("NUMKEY", {{WebNum}}, runtime::KeyUnique | runtime::KeyNoCase)
      .Key("NAMEKEY", {{WebUrl}}, runtime::KeyUnique | runtime::KeyNoCase)
      .Key("DESCKEY", {{WebDescription}}, runtime::KeyNoCase);
  return builder;
}

}  // namespace

runtime::RecordLayout BookmarkLayout() { return BookmarkLayoutBuilder().Build(); }

runtime::RecordLayout ListedBookmarkLayout() {
  constexpr std::size_t kFolderOrderField = WebNoteField + 1;
  return BookmarkLayoutBuilder().String("FOLDERORDER", 1).Key("FOLDERKEY", {{kFolderOrderField}}, 0).Build();
}

runtime::RecordLayout BookmarkDetailsLayout() {
  return runtime::RecordLayout::Builder("FOLDERS", "FOL")
      .Field("NUM", FieldType::Int32)
      .String("PATH", kFolderPathWidth)
      .Field("TOOLBAR", FieldType::UInt8)
      .Field("ADDED", FieldType::UInt32)
      .Field("MODIFIED", FieldType::UInt32)
      .Key("NUMKEY", {{FolNum}}, runtime::KeyUnique)
      .Build();
}

runtime::RecordLayout LinkCheckLayout() {
  return runtime::RecordLayout::Builder("LINKS", "LNK")
      .Field("NUM", FieldType::Int32)
      .String("URL", kUrlWidth)
      .String("STATUS", 10)
      .Field("CODE", FieldType::Int32)
      .String("LOCATION", kLinkLocationWidth)
      .Field("PERMANENT", FieldType::UInt8)
      .String("ERROR", kLinkErrorWidth)
      .Field("CHECKED", FieldType::UInt32)
      .Key("NUMKEY", {{LnkNum}}, runtime::KeyUnique)
      .Build();
}

runtime::RecordLayout BookmarkWordsLayout() {
  return runtime::RecordLayout::Builder("WORDS", "WRD")
      .String("WORD", kSearchWordWidth)
      .Field("NUM", FieldType::Int32)
      .Key("WORDKEY", {{WrdWord}, {WrdNum}}, runtime::KeyUnique)
      .Key("NUMKEY", {{WrdNum}, {WrdWord}}, runtime::KeyUnique)
      .Build();
}

runtime::RecordLayout FolderOrderLayout() {
  return runtime::RecordLayout::Builder("ORDER", "ORD")
      .Field("NUM", FieldType::Int32)
      .String("SORT", kFolderOrderWidth)
      .Key("NUMKEY", {{OrdNum}}, runtime::KeyUnique)
      .Key("SORTKEY", {{OrdSort}, {OrdNum}}, runtime::KeyUnique)
      .Build();
}

runtime::RecordLayout MailSettingsLayout() {
  return runtime::RecordLayout::Builder("EMAIL", "EMA")
      .String("SENDEREMAIL", 255)
      .String("SENDERNAME", 255)
      .String("RECEIVEREMAIL", 255)
      .String("RECEIVERNAME", 255)
      .String("SMTP", 255)
      .String("SUBJECT", 50)
      // EMA:MESSGAE, spelt so: the stored field's name, which existing mail
      // settings files carry.
      .Memo("MESSGAE", 1000)
      .Build();
}

runtime::RecordLayout ExportLayout() {
  return runtime::RecordLayout::Builder("BookmarkExportFile", "EXP").String("BOOKMARK", kExportLineWidth).Build();
}

runtime::RecordLayout ImportLayout() {
  return runtime::RecordLayout::Builder("BookmarkImportFile", "HTM").String("BOOKMARK", kImportPieceBytes).Build();
}

runtime::DataFile& BookmarkStore() {
  static const std::unique_ptr<runtime::DataFile> file = MakeStoreFile(BookmarkLayout(), "MARLINDEN");
  return *file;
}

runtime::DataFile& BookmarkDetailsStore() {
  static const std::unique_ptr<runtime::DataFile> file = MakeStoreFile(BookmarkDetailsLayout(), "FOLDERS");
  return *file;
}

runtime::DataFile& LinkCheckStore() {
  static const std::unique_ptr<runtime::DataFile> file = MakeStoreFile(LinkCheckLayout(), "LINKS");
  return *file;
}

runtime::DataFile& BookmarkWordsStore() {
  static const std::unique_ptr<runtime::DataFile> file = MakeStoreFile(BookmarkWordsLayout(), "WORDS");
  return *file;
}

runtime::DataFile& FolderOrderStore() {
  static const std::unique_ptr<runtime::DataFile> file = MakeStoreFile(FolderOrderLayout(), "ORDER");
  return *file;
}

std::unique_ptr<runtime::DataFile> MakeFolderOrderReader() {
  auto file = runtime::DataFile::Make(runtime::Driver::Keyed, FolderOrderLayout(), "ORDER");
  file->SetDiskNameSource([] { return DataFolderPath("ORDER"); });
  return file;
}

runtime::DataFile& MailSettingsStore() {
  static const std::unique_ptr<runtime::DataFile> file = MakeStoreFile(MailSettingsLayout(), "EMAIL");
  return *file;
}

runtime::DataFile& BookmarkExportFile() {
  static const std::unique_ptr<runtime::DataFile> file = MakeTransferFile(runtime::Driver::Ascii, ExportLayout());
  return *file;
}

runtime::DataFile& BookmarkImportFile() {
  static const std::unique_ptr<runtime::DataFile> file = MakeTransferFile(runtime::Driver::Dos, ImportLayout());
  return *file;
}

void InitBookmarkStoreManager(FileManager& manager, ErrorManager& errors) {
  AddBookmarkMessages(errors);
  manager.Init(BookmarkStore(), errors);
  manager.FILENAMEVALUE = "Marlinden";
  ApplyCommonSettings(manager);
  manager.AddKey(WebNumKey, "WEB:Numkey", 1);  // numbers new bookmarks
  manager.AddKey(WebNameKey, "WEB:Namekey", 0);
  manager.AddKey(WebDescKey, "WEB:Desckey", 0);
}

void InitBookmarkDetailsStoreManager(FileManager& manager, ErrorManager& errors) {
  manager.Init(BookmarkDetailsStore(), errors);
  manager.FILENAMEVALUE = "Folders";
  ApplyCommonSettings(manager);
  manager.AddKey(FolNumKey, "FOL:Numkey", 0);
}

void InitLinkCheckStoreManager(FileManager& manager, ErrorManager& errors) {
  manager.Init(LinkCheckStore(), errors);
  manager.FILENAMEVALUE = "Links";
  ApplyCommonSettings(manager);
  manager.AddKey(LnkNumKey, "LNK:Numkey", 0);
}

void InitBookmarkWordsStoreManager(FileManager& manager, ErrorManager& errors) {
  manager.Init(BookmarkWordsStore(), errors);
  manager.FILENAMEVALUE = "Words";
  ApplyCommonSettings(manager);
  manager.AddKey(WrdWordKey, "WRD:Wordkey", 0);
  manager.AddKey(WrdNumKey, "WRD:Numkey", 0);
}

void InitFolderOrderStoreManager(FileManager& manager, ErrorManager& errors) {
  manager.Init(FolderOrderStore(), errors);
  manager.FILENAMEVALUE = "Folder Order";
  ApplyCommonSettings(manager);
  manager.AddKey(OrdNumKey, "ORD:Numkey", 0);
  manager.AddKey(OrdSortKey, "ORD:Sortkey", 0);
}

void InitMailSettingsStoreManager(FileManager& manager, ErrorManager& errors) {
  manager.Init(MailSettingsStore(), errors);
  manager.FILENAMEVALUE = "email";
  ApplyCommonSettings(manager);
}

void InitBookmarkExportFileManager(FileManager& manager, ErrorManager& errors) {
  manager.Init(BookmarkExportFile(), errors);
  manager.FILENAME = &TransferFileName;
  ApplyCommonSettings(manager);
}

void InitBookmarkImportFileManager(FileManager& manager, ErrorManager& errors) {
  manager.Init(BookmarkImportFile(), errors);
  manager.FILENAME = &TransferFileName;
  ApplyCommonSettings(manager);
}

TransferFileBinding::TransferFileBinding(runtime::DataFile& file, FileManager& manager, std::string path,
                                         std::string_view shownName)
    : file_(file), manager_(manager), path_(std::move(path)), shownName_(shownName) {
  manager_.FILENAME = &shownName_;
  file_.SetDiskNameSource([this] { return path_; });
}

TransferFileBinding::~TransferFileBinding() {
  manager_.FILENAME = &TransferFileName;
  NameByTransferFileName(file_);
}

}  // namespace marlinden
