// A runtime view: the records of a primary file read in one of its key
// orders (or in record order), through a filter text compiled once and
// evaluated per record. Every operation leaves the runtime error and returns
// it, as data files do. Used under the runtime lock.
//
// While the view is open it owns the primary file's reading order: reading
// the file through the view and repositioning the file directly at the same
// time gives the view's next read whatever the file's order is then.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "runtime/files/DataFile.h"

namespace runtime {

// Read-ahead settings a view is given. Stored for the caller; the keyed
// driver reads ahead on its own (more with "QUICKSCAN=on", which the file's
// users send), so these never change what a read returns.
struct ViewPaging {
  std::uint16_t pageSize = 20;    // records per page
  std::uint16_t pagesBehind = 2;  // pages kept behind
  std::uint16_t pagesAhead = 0;   // pages read ahead
  std::uint16_t timeout = 60;     // seconds a buffered page stays valid
};

class View {
 public:
  // primary is borrowed and must outlive the view.
  explicit View(DataFile& primary);
  ~View();

  View(const View&) = delete;
  View& operator=(const View&) = delete;

  // The view's files; 1 is the primary file (the only one).
  std::size_t FileCount() const;
  // Requires: number is 1.
  DataFile& File(std::size_t number);

  // Opens the primary file with mode when it is not open yet (Close then
  // closes it again); an open primary file is used as it is. The view starts
  // at the beginning of its order. AlreadyOpen when the view is open.
  [[nodiscard]] std::int32_t Open(std::uint8_t mode);
  // FileNotOpen when the view is not open.
  [[nodiscard]] std::int32_t Close();
  bool IsOpen() const;

  // An order text names the components of one of the primary file's keys as
  // the file manager writes them ("-L:NUM,UPPER(L:NAME)"); empty means
  // record order. A text that matches no key is refused (BadParameter) and
  // the order stays as it was. On an open view the reading starts again at
  // the beginning of the new order.
  [[nodiscard]] std::int32_t SetOrder(std::string_view orderText);
  // The key the view reads in (1-based), 0 for record order.
  std::size_t CurrentKey() const;
  // Compiled once here; a text that does not compile is refused with the
  // expression's error and the view reads unfiltered. Empty: no filter.
  // Field labels must be bound (the file's fields) before the filter is set.
  [[nodiscard]] std::int32_t SetFilter(std::string_view filterText);
  bool IsFiltered() const;
  void SetPaging(std::uint16_t pageSize, std::uint16_t pagesBehind, std::uint16_t pagesAhead, std::uint16_t timeout);
  const ViewPaging& Paging() const;

  // The positioning operations require the view open (FileNotOpen).
  // To the start of the order.
  [[nodiscard]] std::int32_t Reset();
  // To the first record whose first `components` key components equal the
  // primary buffer's values (0: the start; more than the key has: all of
  // them, none in record order); the buffer is left as it was.
  [[nodiscard]] std::int32_t ResetToBuffer(std::size_t components);
  // To a position made by Position(): the next Next reads that record (or,
  // if it is gone, the one that followed it), the next Previous the one
  // before it.
  [[nodiscard]] std::int32_t ResetToPosition(std::string_view position);
  // The next (previous) record that passes the filter; NoRecord at the end,
  // after which the buffer holds the last record the file read. RecordHeld
  // and other errors of the file pass through; after RecordHeld the next
  // read goes on past the held record.
  [[nodiscard]] std::int32_t Next();
  [[nodiscard]] std::int32_t Previous();
  // Forgets read-ahead so the next read sees other stations' changes; the
  // reading goes on from the current record.
  void Flush();
  [[nodiscard]] std::int32_t Watch();
  // Re-reads the record at position; the reading goes on from it.
  [[nodiscard]] std::int32_t Reget(std::string_view position);
  // The current record's position in the view's order; empty when there is
  // none.
  std::string Position();

 private:
  class State;
  std::unique_ptr<State> state_;
};

}  // namespace runtime
