#include "app/BookmarkDetails.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <utility>

#include "app/DataFiles.h"
#include "app/FolderOrder.h"
#include "app/Globals.h"
#include "app/SearchIndex.h"
#include "runtime/files/ScopedQuickScan.h"
#include "runtime/files/Transaction.h"
#include "runtime/system/RuntimeError.h"

namespace marlinden {

namespace {

// Seconds a transaction waits for another station's write lock.
constexpr int kLockWaitSeconds = 5;

thread_local std::optional<BookmarkDetails> nextInsert;
thread_local std::optional<std::vector<std::string>> nextSaveFolder;

std::optional<std::vector<std::string>> TakeFolderForSave() {
  std::optional<std::vector<std::string>> folder = std::move(nextSaveFolder);
  nextSaveFolder.reset();
  return folder;
}

// The toolbar folder stays marked while the names down to it are the same.
std::size_t ToolbarDepthAfter(const BookmarkDetails& before, const std::vector<std::string>& folder) {
  const std::size_t depth = before.toolbarDepth;
  if (depth == 0 || depth > folder.size()) return 0;
  return std::equal(folder.begin(), folder.begin() + static_cast<std::ptrdiff_t>(depth), before.folder.begin()) ? depth
                                                                                                                : 0;
}

// Reads number's record into the details file's buffer; true when found.
bool FetchDetails(std::int64_t number) {
  runtime::RecordBuffer& record = BookmarkDetailsStore().Record();
  record.Clear();
  record.Field(FolNum).Set(runtime::Value::Integer(number));
  return BookmarkDetailsStoreManager->TryFetch(FolNumKey) == SeverityOk;
}

}  // namespace

std::string EncodeFolderPath(const std::vector<std::string>& folder) {
  std::string stored;
  for (const std::string& name : folder) {
    if (stored.size() + name.size() + 1 > kFolderPathWidth) break;
    stored += name;
    stored += '\n';
  }
  return stored;
}

std::vector<std::string> DecodeFolderPath(std::string_view stored) {
  std::vector<std::string> folder;
  for (std::size_t end = stored.find('\n'); end != std::string_view::npos; end = stored.find('\n')) {
    folder.emplace_back(stored.substr(0, end));
    stored.remove_prefix(end + 1);
  }
  return folder;
}

std::string FolderText(const std::vector<std::string>& folder) {
  std::string text;
  for (const std::string& name : folder) text += (text.empty() ? "" : " \u203A ") + name;
  return text;
}

std::vector<std::string> ParseFolderText(std::string_view text) {
  constexpr std::string_view kSeparator = "\u203A";
  std::vector<std::string> folder;
  auto take = [&folder](std::string_view name) {
    const std::size_t first = name.find_first_not_of(" \t");
    if (first == std::string_view::npos) return;
    const std::size_t last = name.find_last_not_of(" \t");
    folder.emplace_back(name.substr(first, last - first + 1));
  };
  std::size_t start = 0;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t width = text[at] == '>'                                    ? 1
                              : text.substr(at, kSeparator.size()) == kSeparator ? kSeparator.size()
                                                                                 : 0;
    if (width == 0) {
      ++at;
      continue;
    }
    take(text.substr(start, at - start));
    at += width;
    start = at;
  }
  take(text.substr(start));
  return folder;
}

std::uint32_t SecondsNow() {
  const auto seconds =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
  return seconds <= 0 || seconds > UINT32_MAX ? 0 : static_cast<std::uint32_t>(seconds);
}

Severity WriteBookmarkDetails(std::int64_t number, const BookmarkDetails& details, NumberRecords stored) {
  FileManager& manager = *BookmarkDetailsStoreManager;
  if (manager.UseFile() != SeverityOk) return SeverityNotify;
  // On a server the add goes with the next statement: one round trip less
  // per bookmark.
  const runtime::ScopedQuickScan batch(BookmarkDetailsStore());
  const bool found = stored == NumberRecords::MayExist && FetchDetails(number);
  if (!found && stored == NumberRecords::MayExist && runtime::LastErrorCode() != runtime::RecordNotFound) {
    return SeverityNotify;
  }
  runtime::RecordBuffer& record = BookmarkDetailsStore().Record();
  if (!found) {
    record.Clear();
    record.Field(FolNum).Set(runtime::Value::Integer(number));
  }
  record.Field(FolPath).SetText(EncodeFolderPath(details.folder));
  record.Field(FolToolbar)
      .Set(runtime::Value::Integer(static_cast<std::int64_t>(
          std::min<std::size_t>(details.toolbarDepth <= details.folder.size() ? details.toolbarDepth : 0, 255))));
  record.Field(FolAdded).Set(runtime::Value::Integer(details.added));
  record.Field(FolModified).Set(runtime::Value::Integer(details.modified));
  return found ? manager.TryUpdate() : (BookmarkDetailsStore().Add() == runtime::NoError ? SeverityOk : SeverityNotify);
}

Severity DeleteBookmarkDetails(std::int64_t number) {
  if (BookmarkDetailsStoreManager->UseFile() != SeverityOk) return SeverityNotify;
  if (!FetchDetails(number)) return runtime::LastErrorCode() == runtime::RecordNotFound ? SeverityOk : SeverityNotify;
  return BookmarkDetailsStore().Delete() == runtime::NoError ? SeverityOk : SeverityNotify;
}

BookmarkDetails ReadBookmarkDetails(std::int64_t number) {
  BookmarkDetails details;
  if (BookmarkDetailsStoreManager->UseFile() != SeverityOk || !FetchDetails(number)) return details;
  runtime::RecordBuffer& record = BookmarkDetailsStore().Record();
  details.folder = DecodeFolderPath(record.Field(FolPath).ClippedText());
  details.toolbarDepth = static_cast<std::size_t>(record.Field(FolToolbar).Get().AsInteger());
  if (details.toolbarDepth > details.folder.size()) details.toolbarDepth = 0;
  details.added = static_cast<std::uint32_t>(record.Field(FolAdded).Get().AsInteger());
  details.modified = static_cast<std::uint32_t>(record.Field(FolModified).Get().AsInteger());
  return details;
}

void DetailsForNextInsert(const BookmarkDetails& details) { nextInsert = details; }

bool TakeDetailsForInsert(BookmarkDetails& details) {
  std::optional<std::vector<std::string>> folder = TakeFolderForSave();
  if (!nextInsert) {
    if (!folder) return false;
    details = {std::move(*folder), 0, SecondsNow(), SecondsNow()};
    return true;
  }
  details = std::move(*nextInsert);
  nextInsert.reset();
  return true;
}

void FolderForNextSave(std::vector<std::string> folder) { nextSaveFolder = std::move(folder); }

void ResetFolderForNextSave() { nextSaveFolder.reset(); }

Severity EnlistBookmarkFiles(CommitOrder order) {
  // The words and the folder order commit with the details: a bookmark is
  // never stored without them.
  std::vector<RelationManager*> files{BookmarkDetailsStoreRelations, BookmarkWordsStoreRelations,
                                      FolderOrderStoreRelations, BookmarkStoreRelations};
  if (order == CommitOrder::BookmarksFirst) std::rotate(files.begin(), files.end() - 1, files.end());
  for (RelationManager* file : files) {
    if (const Severity result = file->Enlist(); result != SeverityOk) return result;
  }
  return SeverityOk;
}

BookmarkFilesTransaction::BookmarkFilesTransaction(CommitOrder order) {
  if (EnlistBookmarkFiles(order) != SeverityOk) {
    (void)runtime::RollbackTransaction();
    return;
  }
  active_ = runtime::BeginTransaction(kLockWaitSeconds) == runtime::NoError;
}

BookmarkFilesTransaction::~BookmarkFilesTransaction() {
  if (active_) (void)runtime::RollbackTransaction();
}

bool BookmarkFilesTransaction::Commit() {
  if (!active_) return true;
  active_ = false;
  return runtime::CommitTransaction() == runtime::NoError;
}

void RelateBookmarkDetails(RelationManager& bookmarks, RelationManager& details) {
  bookmarks.AddRelation(details, RiNone, RiCascade, FolNumKey);
  (void)bookmarks.AddLinkingFields(BookmarkStore().Record().Field(WebNum),
                                   BookmarkDetailsStore().Record().Field(FolNum));
}

Severity BookmarkRelationManager::Open(bool cascaded) {
  const Severity result = RelationManager::Open(cascaded);
  // A collection that can only be read goes without details it lacks.
  if (result != SeverityOk || cascaded || !ME->FILE->IsOpen() || ME->FILE->IsReadOnly()) return result;
  const Severity details = BookmarkDetailsStoreManager->UseFile();
  // Bookmarks without their details are not opened at all (the manager
  // has told why), so the caller's failed open leaves nothing open.
  if (details != SeverityOk) {
    (void)Close(false);
    return details;
  }
  // A new collection starts with its index and folder order complete; one
  // made before them is told apart by lacking their marks.
  (void)SearchIndexComplete();
  (void)FolderOrderComplete();
  return details;
}

Severity BookmarkRelationManager::Update(bool canRecall) {
  const std::int64_t number = BookmarkStore().Record().Field(WebNum).Get().AsInteger();
  const std::optional<std::vector<std::string>> folder = TakeFolderForSave();
  BookmarkDetails details = ReadBookmarkDetails(number);
  if (folder) {
    details.toolbarDepth = ToolbarDepthAfter(details, *folder);
    details.folder = *folder;
  }
  // The new words are stored before the change and the old ones dropped
  // after it, so the index never lacks a word the bookmark has.
  runtime::RecordBuffer& web = BookmarkStore().Record();
  const std::vector<std::string> words = BookmarkWords(
      web.Field(WebUrl).ClippedText(), web.Field(WebDescription).ClippedText(), web.Memo(WebNotes), details.folder);
  if (WriteBookmarkWords(number, words, WordsWrite::AddOnly) != SeverityOk) {
    (void)ME->Raise(MsgPutError);
    return SeverityNotify;
  }
  const Severity result = RelationManager::Update(canRecall);
  if (result != SeverityOk) return result;
  (void)WriteBookmarkWords(number, words, WordsWrite::Replace);
  // A failed write leaves the bookmark where it stood in the folder order.
  (void)WriteFolderOrder(number, details.folder, web.Field(WebDescription).ClippedText(), NumberRecords::MayExist);
  // Only the date (and a new folder) is lost when this write fails: the
  // change itself is saved.
  details.modified = SecondsNow();
  (void)WriteBookmarkDetails(number, details, NumberRecords::MayExist);
  return result;
}

}  // namespace marlinden
