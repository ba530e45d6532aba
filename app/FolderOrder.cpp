#include "app/FolderOrder.h"

#include "app/BookmarkDetails.h"
#include "app/DataFiles.h"
#include "app/Globals.h"
#include "runtime/files/ScopedQuickScan.h"
#include "runtime/system/RuntimeError.h"
#include "runtime/text/FixedText.h"
#include "runtime/text/SearchWords.h"

namespace marlinden {
namespace {

// Between two names of a path. Below every character a name's sort text
// starts with, so a folder's subtree sorts right after the folder.
constexpr char kNameEnd = '\x01';
// Between the words of a name or description and its spelling.
constexpr char kSpellingStart = '\x02';
// Between the path and the description: below the next name's first
// character, so a folder's own bookmarks come before its subfolders.
constexpr std::string_view kPathEnd = "\x01\x01";

// The record that says every bookmark has its order record: under a number
// no bookmark has.
constexpr std::int64_t kCompleteMarkNumber = -1;

// The sort text of one name or description: its words (folded, without
// accents), then its spelling as it stands without the characters that
// separate the parts, so names that differ only in letter case or
// punctuation stay apart.
std::string SortText(std::string_view text) {
  std::string sorted;
  for (const std::string& word : runtime::SearchWords(text)) {
    if (!sorted.empty()) sorted += ' ';
    sorted += word;
  }
  sorted += kSpellingStart;
  for (const char c : text) {
    if (c != kNameEnd && c != kSpellingStart) sorted += c;
  }
  return sorted;
}

runtime::RecordBuffer& Order() { return FolderOrderStore().Record(); }

bool HasCompleteMark() { return FetchFolderOrder(kCompleteMarkNumber); }

}  // namespace

std::string FolderOrderText(const std::vector<std::string>& folder, std::string_view description) {
  std::string text;
  for (const std::string& name : folder) {
    if (!text.empty()) text += kNameEnd;
    text += SortText(name);
  }
  text += kPathEnd;
  text += SortText(description);
  return std::string(runtime::CutToWidth(text, kFolderOrderWidth));
}

bool FetchFolderOrder(std::int64_t number) {
  runtime::RecordBuffer& record = Order();
  record.Clear();
  record.Field(OrdNum).SetInteger(number);
  return FolderOrderStoreManager->TryFetch(OrdNumKey) == SeverityOk;
}

Severity WriteFolderOrder(std::int64_t number, const std::vector<std::string>& folder, std::string_view description,
                          NumberRecords stored) {
  FileManager& manager = *FolderOrderStoreManager;
  if (manager.UseFile() != SeverityOk) return SeverityNotify;
  const std::string text = FolderOrderText(folder, description);
  // On a server the add goes with the next statement.
  const runtime::ScopedQuickScan batch(FolderOrderStore());
  const bool found = stored == NumberRecords::MayExist && FetchFolderOrder(number);
  if (!found && stored == NumberRecords::MayExist && runtime::LastErrorCode() != runtime::RecordNotFound) {
    return SeverityNotify;
  }
  runtime::RecordBuffer& record = Order();
  if (found && record.Field(OrdSort).ClippedText() == text) return SeverityOk;
  if (!found) {
    record.Clear();
    record.Field(OrdNum).SetInteger(number);
  }
  record.Field(OrdSort).SetText(text);
  return found ? manager.TryUpdate() : (FolderOrderStore().Add() == runtime::NoError ? SeverityOk : SeverityNotify);
}

Severity WriteBufferedFolderOrder() {
  runtime::RecordBuffer& web = BookmarkStore().Record();
  const std::int64_t number = web.Field(WebNum).Get().AsInteger();
  return WriteFolderOrder(number, ReadBookmarkDetails(number).folder, web.Field(WebDescription).ClippedText(),
                          NumberRecords::MayExist);
}

Severity DeleteFolderOrder(std::int64_t number) {
  if (FolderOrderStoreManager->UseFile() != SeverityOk) return SeverityNotify;
  if (!FetchFolderOrder(number))
    return runtime::LastErrorCode() == runtime::RecordNotFound ? SeverityOk : SeverityNotify;
  return FolderOrderStore().Delete() == runtime::NoError ? SeverityOk : SeverityNotify;
}

bool FolderOrderComplete() {
  if (FolderOrderStoreManager->UseFile() != SeverityOk || BookmarkStoreManager->UseFile() != SeverityOk) return false;
  const std::int64_t bookmarks = BookmarkStore().Records();
  // Marked, yet fewer records than bookmarks: a bookmark was stored without
  // its record (a crash between two commits outside a transaction, another
  // program), and would be missing from the folder tab until built again.
  if (HasCompleteMark()) return FolderOrderStore().Records() - 1 >= bookmarks;
  if (bookmarks != 0) return false;
  return !FolderOrderStore().IsReadOnly() && MarkFolderOrderComplete() == SeverityOk;
}

Severity MarkFolderOrderComplete() {
  if (HasCompleteMark()) return SeverityOk;
  runtime::RecordBuffer& record = Order();
  record.Clear();
  record.Field(OrdNum).SetInteger(kCompleteMarkNumber);
  return FolderOrderStore().Add() == runtime::NoError ? SeverityOk : SeverityNotify;
}

bool IsBookmarkOrderRecord() { return Order().Field(OrdNum).Get().AsInteger() > 0; }

void RelateFolderOrder(RelationManager& bookmarks, RelationManager& order) {
  bookmarks.AddRelation(order, RiNone, RiCascade, OrdNumKey);
  (void)bookmarks.AddLinkingFields(BookmarkStore().Record().Field(WebNum), FolderOrderStore().Record().Field(OrdNum));
}

}  // namespace marlinden
