#include "app/FreshNumbers.h"

#include "app/DataFiles.h"
#include "app/Globals.h"
#include "runtime/system/RuntimeError.h"

namespace marlinden {
namespace {

thread_local std::optional<std::int64_t> freshAbove;

// Whether file holds no record numbered above highest in key, whose first
// component is the number (a text second component starts blank).
bool NoneAbove(FileManager& manager, std::size_t numberField, std::size_t key, std::int64_t highest) {
  if (manager.UseFile() != SeverityOk) return false;
  runtime::DataFile& file = *manager.FILE;
  runtime::RecordBuffer& record = file.Record();
  record.Clear();
  record.Field(numberField).SetInteger(highest + 1);
  file.SkipMemosOnNextRead();
  if (file.SetOrderAtBuffer(key) != runtime::NoError) return false;
  return file.Next() == runtime::NoRecord;
}

}  // namespace

std::optional<std::int64_t> HighestBookmarkNumber() {
  runtime::DataFile& store = BookmarkStore();
  store.SkipMemosOnNextRead();
  if (store.SetOrder(WebNumKey) != runtime::NoError) return std::nullopt;
  const std::int32_t read = store.Previous();
  if (read == runtime::NoRecord) return 0;
  if (read != runtime::NoError) return std::nullopt;
  return store.Record().Field(WebNum).Get().AsInteger();
}

FreshBookmarkNumbers::FreshBookmarkNumbers() {
  if (BookmarkStoreManager->UseFile() != SeverityOk) return;
  const std::optional<std::int64_t> highest = HighestBookmarkNumber();
  if (!highest) return;
  if (NoneAbove(*BookmarkDetailsStoreManager, FolNum, FolNumKey, *highest) &&
      NoneAbove(*BookmarkWordsStoreManager, WrdNum, WrdNumKey, *highest) &&
      NoneAbove(*FolderOrderStoreManager, OrdNum, OrdNumKey, *highest)) {
    freshAbove = highest;
  }
}

FreshBookmarkNumbers::~FreshBookmarkNumbers() { freshAbove.reset(); }

bool IsFreshBookmarkNumber(std::int64_t number) { return freshAbove && number > *freshAbove; }

}  // namespace marlinden
