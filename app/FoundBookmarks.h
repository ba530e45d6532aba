// The bookmark file as the find narrows it: a data file over the bookmark
// file that reads only the bookmarks with every typed word, in the order
// asked for, so a view and a browse over it show the narrowed list with
// their own order, filters, paging, thumb and editing. With no word typed
// it passes every operation straight on.
//
// It reads by the plan of the find (SearchIndex.h): for few matches it
// fetches the candidates once, orders them by the key's values (text in
// any letter case, then number) and reads them in that order, passing over
// those that lack a word by now; for many, it reads the bookmark file in
// the key's order and passes over the bookmarks the plan does not find. Either way it holds no more than the matches'
// numbers and positions, never the bookmarks themselves.
//
// Every read leaves the bookmark file's current record and buffer as the
// bookmark file itself would, so the program's fields, filters, changes and
// deletions act on the bookmark file as always; a positioning at the
// buffer's key values takes them from the bookmark file's buffer (where
// the program's fields are). This file's own buffer is not used.
//
// Besides the bookmark file's keys it has one more, the folder order
// (kListedFolderKey, DataFiles.h): read through the folder order file
// (FolderOrder.h) on a station of its own, each bookmark fetched by its
// number. A position in that order holds the bookmark's record position
// and its order record's position.
// Thread: the runtime thread of the view using it, holding the runtime lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "app/DataFiles.h"
#include "app/SearchIndex.h"
#include "runtime/files/DataFile.h"

namespace marlinden {

class FoundBookmarks final : public runtime::DataFile {
 public:
  // bookmarks (borrowed) is the bookmark file; it must outlive this file.
  explicit FoundBookmarks(runtime::DataFile& bookmarks);

  // The words to narrow to; planned by Replan.
  void SetTyped(std::string typed) { typed_ = std::move(typed); }
  const std::string& Typed() const { return typed_; }
  // Narrows to these bookmark numbers (ascending) besides the typed words;
  // nothing: no such bound.
  void SetOnly(std::optional<std::vector<std::int64_t>> numbers) { only_ = std::move(numbers); }
  bool HasOnly() const { return only_.has_value(); }
  // Plans the typed words afresh (the bookmarks may have changed).
  void Replan();
  const FindPlan& Plan() const { return plan_; }
  // Whether a word narrows the list.
  bool Narrowed() const { return plan_.kind != FindPlan::Kind::All; }

  std::int32_t Open(std::uint8_t mode) override;
  std::int32_t Create() override;
  std::int32_t Close() override;
  std::int32_t BuildKeys() override;
  std::int32_t Remove() override;
  std::int32_t SetOrder(std::size_t key) override;
  std::int32_t SetOrderAtBuffer(std::size_t key) override;
  std::int32_t SetOrderAtPosition(std::size_t key, std::string_view position) override;
  std::int32_t Next() override;
  std::int32_t Previous() override;
  std::int32_t Get(std::size_t key) override;
  std::int32_t GetAt(std::string_view position) override;
  std::int32_t Reget(std::string_view position) override;
  std::int32_t Hold() override;
  std::int32_t Release() override;
  std::int32_t Watch() override;
  std::int32_t Add() override;
  std::int32_t Put() override;
  std::int32_t Delete() override;
  bool Duplicate(std::size_t key) override;
  std::int64_t Records() override;
  std::int64_t Bytes() override;
  std::string Position(std::size_t key) override;
  bool SupportsTransactions() const override;
  std::int32_t BeginTransaction(int lockWaitSeconds) override;
  std::int32_t Commit() override;
  std::int32_t Rollback() override;

 protected:
  std::int32_t DriverOption(std::string_view name, std::string_view value) override;
  std::int32_t QuickScanChanged() override;

 private:
  // One match of a plan of numbers, in the order of rowsKey_.
  struct Row {
    std::vector<std::string> values;  // the key's components, text in lower case
    std::int64_t number = 0;
    std::string position;  // in the bookmark file's order rowsKey_
  };
  bool Listed() const { return plan_.kind == FindPlan::Kind::Numbers; }
  bool FolderOrdered() const { return order_ == kListedFolderKey; }
  // The folder order file's own station, opened on first use; null when it
  // cannot be opened.
  runtime::DataFile* FolderWalk();
  // The folder order read in the given direction, each record's bookmark
  // fetched; the bookmarks deleted since (and, narrowed, those the find
  // does not find) are passed over.
  std::int32_t ReadFolderOrder(bool forward);
  // Before the bookmark numbered number is fetched for the walk: unless it
  // was read ahead, reads it ahead with those the walk has read ahead after
  // it (at most kBookmarksReadAhead in all), so a page of the folder order
  // costs one fetch of bookmarks, not one per row.
  void ReadAheadBookmarks(runtime::DataFile& walk, std::int64_t number, bool forward);
  // The folder walk at the bookmark file's current record: Next reads the
  // one after it.
  void FolderWalkAtCurrent();
  // Re-reads the bookmark at a position of the order read.
  std::int32_t RegetBookmark(std::string_view position);
  // The matches ordered for key, when they are not already.
  void Order(std::size_t key);
  std::vector<std::string> KeyValues(std::size_t key);
  bool Before(const std::vector<std::string>& a, std::int64_t aNumber, const Row& b) const;
  // The rows before the bookmark file's buffer's key values and number.
  std::ptrdiff_t RowsBefore(std::int64_t number);
  // The cursor between two rows: Next reads next, Previous next - 1.
  void CursorAt(std::ptrdiff_t next);
  // Reads the cursor's row in the given direction; the matches another
  // station deleted meanwhile are passed over.
  std::int32_t ReadListed(bool forward);
  std::int32_t ReadWalking(bool forward);
  // After a re-read of the bookmark file, the cursor at its record.
  void CursorAtCurrent();

  runtime::DataFile& bookmarks_;
  bool openedBookmarks_ = false;
  std::unique_ptr<runtime::DataFile> folderWalk_;
  static constexpr std::size_t kBookmarksReadAhead = 64;
  std::unordered_set<std::int64_t> readAhead_;  // the numbers read ahead, not fetched yet
  std::string typed_;
  std::optional<std::vector<std::int64_t>> only_;
  FindPlan plan_;
  // Plan of numbers: the ordered rows, the key they are ordered for, and
  // the cursor: the row the next Next reads and the row the next Previous
  // reads (-1: none).
  std::vector<Row> rows_;
  std::unordered_map<std::int64_t, std::size_t> rowOf_;
  std::size_t rowsKey_ = 0;
  bool ordered_ = false;
  std::ptrdiff_t nextRow_ = 0;
  std::ptrdiff_t previousRow_ = -1;
};

}  // namespace marlinden
