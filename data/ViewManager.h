// The view manager: reads the records of a runtime view in one of several
// sort orders, limited by a range on the leading components of the order's
// key and by any number of named filter texts, which it joins into the one
// filter text the view compiles. Keeps the view's paging settings, primes new
// records inside the range and opens the view's files through their file
// managers. The browse list and the batch process derive from it. Called from
// runtime threads under the runtime lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/BufferedPairs.h"
#include "data/RelationManager.h"
#include "errors/Severity.h"
#include "runtime/queue/Queue.h"
#include "runtime/values/FieldRef.h"
#include "runtime/views/View.h"

namespace marlinden {

// How a sort order's range limits its key (LIMITTYPE). Every pair of the
// range list gives the filter its right value.
enum RangeLimit : std::uint8_t {
  RangeNone = 0,     // no range (so is any value above RangeRelated)
  RangeFixed = 1,    // leading components equal fixed values
  RangeCurrent = 2,  // as fixed; the last value follows its field in the buffer
  RangeBetween = 3,  // fixed components, then low <= next component <= high
  RangeRelated = 4,  // as fixed; the values are a related file's fields
};

// What ValidateRecord makes of the record just read.
enum RecordJudgement : std::uint8_t {
  RecordAccepted = 0,
  RecordOutOfRange = 1,  // stop reading
  RecordSkipped = 2,     // and any other value
};

class ViewManager {
 public:
  struct FilterEntry {
    std::string ID;      // at most 30 characters, clipped; the queue is sorted descending
    std::string FILTER;  // clipped expression text
  };

  // One sort order. A derived manager may add its own fields by deriving
  // from it and adding entries through the protected AddSortOrder.
  struct SortOrder {
    virtual ~SortOrder() = default;
    std::unique_ptr<runtime::Queue<FilterEntry>> FILTER;  // created on first use
    runtime::FieldRef FREEELEMENT;                        // first key component not fixed by the range
    std::uint8_t LIMITTYPE = RangeNone;
    std::size_t MAINKEY = 0;  // key number in the primary file, 0 = none
    std::string ORDER;        // order text for the view; empty = record order
    std::unique_ptr<BufferedPairs> RANGELIST;
    // RangeBetween: the low and high values the filter uses (right of the last
    // two pairs), copied from their sources by AddRange and RefreshRange.
    std::vector<std::unique_ptr<OwnedValue>> LIMITCOPIES;
  };
  using SortOrderQueue = runtime::Queue<std::unique_ptr<SortOrder>>;

  virtual ~ViewManager() = default;

  // view and primary are borrowed and must outlive Kill; so must orderQueue
  // when given, else the manager creates and owns one. Ends with UseView, so
  // the view's files must have been opened (their managers' Open).
  void Init(runtime::View& view, RelationManager& primary, SortOrderQueue* orderQueue = nullptr);
  // Appends an order on key (0 = record order) and makes it current; returns
  // its number.
  std::size_t AddSortOrder(std::size_t key);
  // Makes every file of the view usable (UseFile); the first failure ends it.
  Severity UseView();

  // Range limits of the current order, replacing any it had; false (and no
  // change) when the order has no key or the key has too few components.
  // RangeFixed, RangeCurrent, RangeRelated: values[i] limits component i+1
  // (pairs: component field, value). RangeCurrent writes the buffer's value
  // of the last component into the last variable when it changes.
  bool AddRange(RangeLimit kind, const std::vector<runtime::FieldRef>& values);
  // RangeBetween: fixed values as above, then low..high on the next
  // component, taken from the two sources now and by RefreshRange.
  bool AddRange(const std::vector<runtime::FieldRef>& fixed, runtime::FieldRef low, runtime::FieldRef high);

  // The filter text of the current order's range and filters.
  std::string FilterText();

  // --- Virtual operations, in slot order ----------------------------------
  virtual void ApplyFilter();
  virtual void ApplyOrder();
  virtual bool RefreshRange();
  virtual void Close();
  virtual std::string FreeElementName();
  virtual std::size_t FreeElementPosition();
  virtual void Kill();
  virtual Severity Next();
  virtual void Open();
  virtual Severity Previous();
  virtual Severity PrimeRecord(bool keepBuffer);
  virtual void ResetFrom(std::size_t components);
  virtual void Reset();
  virtual void SetStandardFilter(std::string_view text);
  virtual void SetFilter(std::string_view text, std::string_view id);
  virtual void SetOrder(std::string_view text);
  virtual bool SetSort(std::size_t n);
  virtual std::uint8_t ValidateRecord();

  // --- Fields -------------------------------------------------------------
  std::uint8_t DISPOSEORDER = 0;
  std::uint8_t OPENED = 0;
  SortOrderQueue* ORDER = nullptr;  // current entry = active order; see Init
  std::uint16_t PAGESAHEAD = 0;
  std::uint16_t PAGESBEHIND = 2;
  std::uint16_t PAGESIZE = 20;
  RelationManager* PRIMARY = nullptr;  // borrowed
  std::uint16_t TIMEOUT = 60;
  runtime::View* VIEW = nullptr;  // borrowed

 protected:
  // Appends entry (of a derived order type) as AddSortOrder does.
  std::size_t AddSortOrder(std::unique_ptr<SortOrder> entry, std::size_t key);
  // The active order; nullptr when there is none.
  SortOrder* Current();

 private:
  enum class Direction : std::uint8_t { Forward, Backward };
  Severity Read(Direction direction);
  // Starts the current order's range over with kind; nullptr when it has no key.
  SortOrder* StartRange(RangeLimit kind, std::size_t pairs);
  std::string Quoted(FieldPair& pair, const std::string& name);
  FileManager& Files() { return *PRIMARY->ME; }

  std::unique_ptr<SortOrderQueue> ownedOrder_;
  bool killed_ = false;
};

}  // namespace marlinden
