// A per-thread data file: one DataFile that every thread names the same way
// (one label, one record buffer whose fields the program binds once), with a
// file of the driver of its own behind it for each runtime thread: its own
// station, open state, position, held record and record contents. So a
// thread reading every record never moves or overwrites the record another
// thread shows or is editing.
//
// The record buffer all threads see holds the contents of the thread that
// holds the runtime lock: when another thread takes the lock, the buffer's
// contents go back to the thread that had them and that thread's come in
// (ThreadSwitch.h). A thread's file is closed and dropped when it ends.
// Used under the runtime lock, like every DataFile.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "runtime/files/DataFile.h"

namespace runtime {

class ThreadedFile final : public DataFile {
 public:
  // A closed per-thread file whose threads' files use driver.
  static std::unique_ptr<DataFile> Make(Driver driver, RecordLayout layout, std::string diskName);
  ~ThreadedFile() override;

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
  // The running thread's file's answers: a wrapped server file numbers as
  // it adds, in one step.
  bool NumbersOnAdd() override;
  std::int32_t AddNumbered(std::size_t key, std::size_t component) override;
  std::int32_t AddNumberedRows(std::size_t key, std::vector<RecordBuffer>& rows,
                               std::vector<NumberedRow>& added) override;
  std::vector<std::int64_t> UpcomingValues(std::size_t field, bool forward, std::size_t limit) override;
  std::int32_t ReadAheadKeys(std::size_t key, const std::vector<std::int64_t>& values) override;
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

  // The runtime lock's hooks: every per-thread file's buffer to the thread
  // that runs; a thread's files closed and dropped when it ends.
  static void SwitchAll();
  static void EndThread(std::int32_t threadNumber);

 private:
  struct ThreadFile {
    std::unique_ptr<DataFile> file;
    bool quickScan = false;  // the QUICKSCAN value last passed on to it
    bool keysOnly = false;   // and the KEYSONLY value
  };

  ThreadedFile(Driver driver, RecordLayout layout, std::string diskName);

  // The calling thread's file, made when missing, with the calling thread's
  // record in the shared buffer.
  ThreadFile& Current();
  void SwitchTo(std::int32_t threadNumber);
  // Runs an operation on the calling thread's file: the shared buffer and
  // the options given since go in, the record and the file's state come out.
  template <typename Operation>
  auto Run(Operation operation);

  const Driver inner_;
  std::map<std::int32_t, ThreadFile> threads_;
  std::int32_t owner_ = 0;  // whose record the shared buffer holds; 0 = nobody's
};

}  // namespace runtime
