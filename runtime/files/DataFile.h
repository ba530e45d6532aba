// A runtime data file: a record layout, its record buffer and a driver that
// keeps the records on disk. Every operation leaves the calling thread's
// runtime error (0 on success; see RuntimeError.h) and returns the same code.
// Used under the runtime lock; one DataFile is one station on its file.
// Waits for other stations (Recover=, a write lock, a transaction's lock)
// go through the wait service (runtime/system/Wait.h), which releases the
// runtime lock meanwhile: a DataFile is used by one runtime thread at a
// time, so a file used by several threads is made per-thread.
//
// Orders: key number k (1-based) reads in that key's order (components, then
// record order for equal keys); 0 reads in record order. Positions are opaque
// byte strings made by Position() and taken back by the reset and re-read
// operations.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "runtime/files/RecordBuffer.h"
#include "runtime/files/RecordLayout.h"

namespace runtime {

enum class Driver : std::uint8_t { Keyed, Ascii, Basic, Dos };

// Open mode byte: low nibble access, high nibble sharing.
enum OpenMode : std::uint8_t {
  AccessRead = 0x00,
  AccessWrite = 0x01,
  AccessReadWrite = 0x02,
  ShareCompatible = 0x00,
  ShareDenyAll = 0x10,
  ShareDenyWrite = 0x20,
  ShareDenyRead = 0x30,
  ShareDenyNone = 0x40,
};

class DataFile {
 public:
  // Makes a closed file for the driver. diskName is the path given to the
  // driver (the keyed driver adds its own extension).
  static std::unique_ptr<DataFile> Make(Driver driver, RecordLayout layout, std::string diskName);
  virtual ~DataFile();

  DataFile(const DataFile&) = delete;
  DataFile& operator=(const DataFile&) = delete;

  // Identity of this runtime file, unique in the process.
  std::int32_t Label() const { return label_; }
  Driver DriverKind() const { return driver_; }
  const RecordLayout& Layout() const { return layout_; }
  RecordBuffer& Record() { return record_; }
  const RecordBuffer& Record() const { return record_; }

  // The declared name (the layout's name).
  const std::string& Name() const { return layout_.Name(); }
  // The path the driver uses: the name source's value when one is set (a
  // variable such as a user-chosen import file), else the declared disk name.
  std::string DiskName() const;
  void SetDiskName(std::string diskName) { diskName_ = std::move(diskName); }
  void SetDiskNameSource(std::function<std::string()> source) { diskNameSource_ = std::move(source); }

  // A per-thread file keeps separate state for each runtime thread
  // (ThreadedFile makes one).
  bool IsThreaded() const { return threaded_; }
  void SetThreaded(bool threaded) { threaded_ = threaded; }

  // --- Opening and closing ------------------------------------------------
  [[nodiscard]] virtual std::int32_t Open(std::uint8_t mode) = 0;
  // Creates a new empty file. Never replaces an existing file: that is
  // refused with AccessDenied and the file is left as it was.
  [[nodiscard]] virtual std::int32_t Create() = 0;
  [[nodiscard]] virtual std::int32_t Close() = 0;
  [[nodiscard]] virtual std::int32_t BuildKeys() = 0;
  // Driver option texts: "Recover=N" (wait up to N seconds for a lock at the
  // next open), "QUICKSCAN=on", "QUICKSCAN=off" (a sequential batch starts
  // or ends: drivers may read and write in larger blocks meanwhile; the
  // result of "off" says whether what the batch wrote reached the disk),
  // "KEYSONLY=on", "KEYSONLY=off" (while on, Next and Previous in a key's
  // order may fill only that key's fields, the others blank and memos
  // empty, so a keyed file reads its index alone; a Put of a record so
  // read is refused as ChangedByOther). Unknown options: BadParameter.
  [[nodiscard]] std::int32_t SendOption(std::string_view option);
  // Deletes the file from disk; the file must be closed.
  [[nodiscard]] virtual std::int32_t Remove() = 0;
  bool IsOpen() const { return open_; }
  bool IsReadOnly() const { return (mode_ & 0x0F) == AccessRead; }
  std::uint8_t Mode() const { return mode_; }  // of the last open

  // --- Positioning --------------------------------------------------------
  void ClearBuffer() { record_.Clear(); }
  // Start of order key (0 = record order): the next Next reads the first
  // record, the next Previous the last one.
  [[nodiscard]] virtual std::int32_t SetOrder(std::size_t key) = 0;
  // In key order, positioned at the buffer's key values: Next reads the first
  // record whose key is >= them, Previous the last whose key is <= them.
  [[nodiscard]] virtual std::int32_t SetOrderAtBuffer(std::size_t key) = 0;
  // In order key, positioned at position: Next reads that record (or, if it
  // is gone, the one that followed it); Previous the one before.
  [[nodiscard]] virtual std::int32_t SetOrderAtPosition(std::size_t key, std::string_view position) = 0;
  std::size_t CurrentOrder() const { return order_; }

  // --- Reading ------------------------------------------------------------
  // Next/Previous: NoRecord at the end; RecordHeld for a record held by
  // another station (skipped on the following call).
  [[nodiscard]] virtual std::int32_t Next() = 0;
  [[nodiscard]] virtual std::int32_t Previous() = 0;
  // The record whose key equals the buffer's key values (RecordNotFound).
  [[nodiscard]] virtual std::int32_t Get(std::size_t key) = 0;
  // The record at position; an empty position only forgets the current
  // record, so the buffer counts as a new record (for Duplicate()).
  [[nodiscard]] virtual std::int32_t GetAt(std::string_view position) = 0;
  // Re-reads the record at position (made with any order).
  [[nodiscard]] virtual std::int32_t Reget(std::string_view position) = 0;
  // The record last read as the file holds it: for the line drivers the
  // line as far as the driver keeps it (BASIC keeps the whole line, however
  // long), for the others the record's bytes. Valid until the next read.
  virtual std::string_view RecordText() const { return record_.View(); }
  // The next read skips memo fields (they read as empty).
  void SkipMemosOnNextRead() { skipMemos_ = true; }

  // --- Holding and watching -----------------------------------------------
  // Holds the current record against other stations (RecordHeld if one of
  // them holds it); Release lets go of every record this station holds.
  [[nodiscard]] virtual std::int32_t Hold() = 0;
  [[nodiscard]] virtual std::int32_t Release() = 0;
  bool IsHeld() const { return held_; }
  // Put then refuses to overwrite a record another station changed since this
  // one read it (ChangedByOther).
  [[nodiscard]] virtual std::int32_t Watch() = 0;
  bool IsWatched() const { return watched_; }

  // --- Writing ------------------------------------------------------------
  [[nodiscard]] virtual std::int32_t Add() = 0;
  // Whether the driver numbers a record as it adds it (AddNumbered), so the
  // number costs no read of its own.
  virtual bool NumbersOnAdd() { return false; }
  // Adds the buffer with component (1-based) of key set to one more than the
  // highest value stored among the records whose earlier components of key
  // equal the buffer's (1 when there is none), in one step, and leaves the
  // number in the buffer. DuplicateKey when a unique key is taken (another
  // station may have taken the number first: a retry numbers again).
  // Unsupported unless NumbersOnAdd.
  [[nodiscard]] virtual std::int32_t AddNumbered(std::size_t key, std::size_t component);
  // What AddNumberedRows did with one row.
  struct NumberedRow {
    std::int64_t number = 0;  // the number it was given; 0: it was not stored
    bool keyStored = false;   // not stored: a stored record has one of its unique keys
  };
  // Adds rows (records of this file's layout) in one step, one round trip on
  // a server, numbered as AddNumbered would number them in turn with key's
  // first component the number: the number given rows[i] goes into it and
  // into added[i]. A row not stored either has a unique key a stored record
  // has (keyStored), or one an earlier row or a record another station
  // added that moment took (AddNumbered of that row alone adds it or tells
  // why not). Leaves no current record; a failure may end a transaction
  // under way. Unsupported unless NumbersOnAdd.
  [[nodiscard]] virtual std::int32_t AddNumberedRows(std::size_t key, std::vector<RecordBuffer>& rows,
                                                     std::vector<NumberedRow>& added);
  // The values of integer field in the records read ahead that the next
  // reads in that direction deliver, in order, at most limit of them; none
  // where nothing is read ahead.
  virtual std::vector<std::int64_t> UpcomingValues(std::size_t field, bool forward, std::size_t limit);
  // Reads ahead the records whose key (of one integer component) has these
  // values, in one step (one round trip on a server): the next Get of each
  // of them by that key is served from what was read, as a row read ahead
  // is, unless a write, a transaction's step or a close comes first. A
  // driver that reads locally ignores it.
  [[nodiscard]] virtual std::int32_t ReadAheadKeys(std::size_t key, const std::vector<std::int64_t>& values);
  [[nodiscard]] virtual std::int32_t Put() = 0;     // the current record
  [[nodiscard]] virtual std::int32_t Delete() = 0;  // the current record
  // True when adding the buffer (or putting it, over the current record)
  // would break the uniqueness of key.
  virtual bool Duplicate(std::size_t key) = 0;

  // --- Properties ---------------------------------------------------------
  virtual std::int64_t Records() = 0;
  virtual std::int64_t Bytes() = 0;
  // The current record's position in order key (0 = record order); empty
  // when there is no current record.
  virtual std::string Position(std::size_t key) = 0;

  // --- Transactions -------------------------------------------------------
  // Whether the driver can take part in transactions at all.
  virtual bool SupportsTransactions() const { return false; }
  // Waits up to lockWaitSeconds for the file's write lock (FileLocked when
  // it stays busy). Drivers without transactions answer Unsupported.
  [[nodiscard]] virtual std::int32_t BeginTransaction(int lockWaitSeconds) = 0;
  [[nodiscard]] virtual std::int32_t Commit() = 0;
  [[nodiscard]] virtual std::int32_t Rollback() = 0;

 protected:
  DataFile(Driver driver, RecordLayout layout, std::string diskName);

  // Driver hook for options the base does not know; BadParameter by default.
  [[nodiscard]] virtual std::int32_t DriverOption(std::string_view name, std::string_view value);
  // Driver hook run after quickScan_ changed; NoError by default.
  [[nodiscard]] virtual std::int32_t QuickScanChanged();

  // Takes the skip-memo request for the read now starting.
  bool TakeSkipMemos() { return std::exchange(skipMemos_, false); }

  // State shared by the drivers.
  std::uint8_t mode_ = AccessReadWrite | ShareDenyNone;
  bool open_ = false;
  bool held_ = false;
  bool watched_ = false;
  bool quickScan_ = false;
  bool keysOnly_ = false;
  int recoverSeconds_ = 0;  // set by "Recover=", used by the next open
  std::size_t order_ = 0;

 private:
  const Driver driver_;
  const std::int32_t label_;
  const RecordLayout layout_;
  RecordBuffer record_;
  std::string diskName_;
  std::function<std::string()> diskNameSource_;
  bool threaded_ = false;
  bool skipMemos_ = false;
};

}  // namespace runtime
