#include "runtime/files/ThreadedFile.h"

#include <algorithm>
#include <mutex>
#include <utility>
#include <vector>

#include "runtime/system/RuntimeError.h"
#include "runtime/system/ThreadNumber.h"
#include "runtime/system/ThreadSwitch.h"

namespace runtime {

namespace {

struct Files {
  std::mutex mutex;
  std::vector<ThreadedFile*> all;  // guarded by mutex
};

Files& TheFiles() {
  static Files files;
  return files;
}

std::vector<ThreadedFile*> AllFiles() {
  std::lock_guard lock(TheFiles().mutex);
  return TheFiles().all;
}

void CopyRecord(const RecordBuffer& from, RecordBuffer& to) {
  to.Assign(from.View());
  for (std::size_t i = 1; i <= from.Layout().MemoCount(); ++i) to.SetMemo(i, from.Memo(i));
}

}  // namespace

std::unique_ptr<DataFile> ThreadedFile::Make(Driver driver, RecordLayout layout, std::string diskName) {
  std::unique_ptr<ThreadedFile> file(new ThreadedFile(driver, std::move(layout), std::move(diskName)));
  AddThreadSwitchHook(&ThreadedFile::SwitchAll);
  AddThreadEndHook(&ThreadedFile::EndThread);
  std::lock_guard lock(TheFiles().mutex);
  TheFiles().all.push_back(file.get());
  return file;
}

ThreadedFile::ThreadedFile(Driver driver, RecordLayout layout, std::string diskName)
    : DataFile(driver, std::move(layout), std::move(diskName)), inner_(driver) {
  SetThreaded(true);
}

ThreadedFile::~ThreadedFile() {
  std::lock_guard lock(TheFiles().mutex);
  std::erase(TheFiles().all, this);
}

void ThreadedFile::SwitchAll() {
  const std::int32_t thread = CurrentThreadNumber();
  for (ThreadedFile* file : AllFiles()) file->SwitchTo(thread);
}

void ThreadedFile::EndThread(std::int32_t threadNumber) {
  for (ThreadedFile* file : AllFiles()) {
    auto it = file->threads_.find(threadNumber);
    if (it == file->threads_.end()) continue;
    if (it->second.file->IsOpen()) (void)it->second.file->Close();
    file->threads_.erase(it);
    if (file->owner_ == threadNumber) file->owner_ = 0;
  }
}

void ThreadedFile::SwitchTo(std::int32_t threadNumber) {
  if (owner_ == threadNumber) return;
  if (auto previous = threads_.find(owner_); previous != threads_.end()) {
    CopyRecord(Record(), previous->second.file->Record());
  }
  owner_ = threadNumber;
  auto next = threads_.find(threadNumber);
  if (next == threads_.end()) {
    // A thread that has not used the file starts with a clear record.
    ClearBuffer();
    open_ = held_ = watched_ = false;
    order_ = 0;
    return;
  }
  const DataFile& file = *next->second.file;
  CopyRecord(file.Record(), Record());
  open_ = file.IsOpen();
  held_ = file.IsHeld();
  watched_ = file.IsWatched();
  order_ = file.CurrentOrder();
  mode_ = file.Mode();
}

ThreadedFile::ThreadFile& ThreadedFile::Current() {
  const std::int32_t thread = CurrentThreadNumber();
  SwitchTo(thread);
  auto it = threads_.find(thread);
  if (it == threads_.end()) {
    ThreadFile made;
    made.file = DataFile::Make(inner_, Layout(), DiskName());
    made.file->SetDiskNameSource([this] { return DiskName(); });
    it = threads_.emplace(thread, std::move(made)).first;
  }
  return it->second;
}

template <typename Operation>
auto ThreadedFile::Run(Operation operation) {
  ThreadFile& thread = Current();
  DataFile& file = *thread.file;
  CopyRecord(Record(), file.Record());
  if (quickScan_ != thread.quickScan) {
    (void)file.SendOption(quickScan_ ? "QUICKSCAN=on" : "QUICKSCAN=off");
    thread.quickScan = quickScan_;
  }
  if (keysOnly_ != thread.keysOnly) {
    (void)file.SendOption(keysOnly_ ? "KEYSONLY=on" : "KEYSONLY=off");
    thread.keysOnly = keysOnly_;
  }
  if (recoverSeconds_ > 0) (void)file.SendOption("Recover=" + std::to_string(std::exchange(recoverSeconds_, 0)));
  if (TakeSkipMemos()) file.SkipMemosOnNextRead();
  // The options above must not leave their error: the operation's counts.
  auto result = operation(file);
  const RuntimeError error = LastError();
  // A wait inside the operation may have let other threads run; the lock
  // is back, and with it this thread's record (SwitchAll).
  CopyRecord(file.Record(), Record());
  open_ = file.IsOpen();
  held_ = file.IsHeld();
  watched_ = file.IsWatched();
  order_ = file.CurrentOrder();
  mode_ = file.Mode();
  SetError(error.code, error.driverCode, error.driverText);
  return result;
}

std::int32_t ThreadedFile::Open(std::uint8_t mode) {
  return Run([&](DataFile& f) { return f.Open(mode); });
}
std::int32_t ThreadedFile::Create() {
  return Run([](DataFile& f) { return f.Create(); });
}
std::int32_t ThreadedFile::Close() {
  return Run([](DataFile& f) { return f.Close(); });
}
std::int32_t ThreadedFile::BuildKeys() {
  return Run([](DataFile& f) { return f.BuildKeys(); });
}
std::int32_t ThreadedFile::Remove() {
  return Run([](DataFile& f) { return f.Remove(); });
}
std::int32_t ThreadedFile::SetOrder(std::size_t key) {
  return Run([&](DataFile& f) { return f.SetOrder(key); });
}
std::int32_t ThreadedFile::SetOrderAtBuffer(std::size_t key) {
  return Run([&](DataFile& f) { return f.SetOrderAtBuffer(key); });
}
std::int32_t ThreadedFile::SetOrderAtPosition(std::size_t key, std::string_view position) {
  return Run([&](DataFile& f) { return f.SetOrderAtPosition(key, position); });
}
std::int32_t ThreadedFile::Next() {
  return Run([](DataFile& f) { return f.Next(); });
}
std::int32_t ThreadedFile::Previous() {
  return Run([](DataFile& f) { return f.Previous(); });
}
std::int32_t ThreadedFile::Get(std::size_t key) {
  return Run([&](DataFile& f) { return f.Get(key); });
}
std::int32_t ThreadedFile::GetAt(std::string_view position) {
  return Run([&](DataFile& f) { return f.GetAt(position); });
}
std::int32_t ThreadedFile::Reget(std::string_view position) {
  return Run([&](DataFile& f) { return f.Reget(position); });
}
std::int32_t ThreadedFile::Hold() {
  return Run([](DataFile& f) { return f.Hold(); });
}
std::int32_t ThreadedFile::Release() {
  return Run([](DataFile& f) { return f.Release(); });
}
std::int32_t ThreadedFile::Watch() {
  return Run([](DataFile& f) { return f.Watch(); });
}
std::int32_t ThreadedFile::Add() {
  return Run([](DataFile& f) { return f.Add(); });
}
bool ThreadedFile::NumbersOnAdd() { return Current().file->NumbersOnAdd(); }
std::int32_t ThreadedFile::AddNumbered(std::size_t key, std::size_t component) {
  return Run([key, component](DataFile& f) { return f.AddNumbered(key, component); });
}
std::int32_t ThreadedFile::AddNumberedRows(std::size_t key, std::vector<RecordBuffer>& rows,
                                           std::vector<NumberedRow>& added) {
  return Run([&](DataFile& f) { return f.AddNumberedRows(key, rows, added); });
}
std::vector<std::int64_t> ThreadedFile::UpcomingValues(std::size_t field, bool forward, std::size_t limit) {
  return Run([&](DataFile& f) { return f.UpcomingValues(field, forward, limit); });
}
std::int32_t ThreadedFile::ReadAheadKeys(std::size_t key, const std::vector<std::int64_t>& values) {
  return Run([&](DataFile& f) { return f.ReadAheadKeys(key, values); });
}
std::int32_t ThreadedFile::Put() {
  return Run([](DataFile& f) { return f.Put(); });
}
std::int32_t ThreadedFile::Delete() {
  return Run([](DataFile& f) { return f.Delete(); });
}
bool ThreadedFile::Duplicate(std::size_t key) {
  return Run([&](DataFile& f) { return f.Duplicate(key); });
}
std::int64_t ThreadedFile::Records() {
  return Run([](DataFile& f) { return f.Records(); });
}
std::int64_t ThreadedFile::Bytes() {
  return Run([](DataFile& f) { return f.Bytes(); });
}
std::string ThreadedFile::Position(std::size_t key) {
  return Run([&](DataFile& f) { return f.Position(key); });
}
bool ThreadedFile::SupportsTransactions() const { return inner_ == Driver::Keyed; }
std::int32_t ThreadedFile::BeginTransaction(int lockWaitSeconds) {
  return Run([&](DataFile& f) { return f.BeginTransaction(lockWaitSeconds); });
}
std::int32_t ThreadedFile::Commit() {
  return Run([](DataFile& f) { return f.Commit(); });
}
std::int32_t ThreadedFile::Rollback() {
  return Run([](DataFile& f) { return f.Rollback(); });
}

}  // namespace runtime
