#include "runtime/files/Transaction.h"

#include <algorithm>
#include <vector>

#include "runtime/files/DataFile.h"
#include "runtime/system/RuntimeError.h"

namespace runtime {

namespace {

struct ThreadTransaction {
  std::vector<DataFile*> marked;  // borrowed; for the next begin
  std::vector<DataFile*> begun;   // borrowed; the active transaction
};

ThreadTransaction& Current() {
  thread_local ThreadTransaction state;
  return state;
}

// Rolls back files from the back; returns the first failure, keeping its
// error, or NoError with the caller's error state untouched.
std::int32_t RollBack(std::vector<DataFile*>& files) {
  const RuntimeError before = LastError();
  std::int32_t result = NoError;
  RuntimeError failure;
  for (auto it = files.rbegin(); it != files.rend(); ++it) {
    const std::int32_t code = (*it)->Rollback();
    if (code != NoError && result == NoError) {
      result = code;
      failure = LastError();
    }
  }
  files.clear();
  const RuntimeError& keep = result == NoError ? before : failure;
  SetError(keep.code, keep.driverCode, keep.driverText);
  return result;
}

}  // namespace

std::int32_t EnlistInTransaction(DataFile& file) {
  ThreadTransaction& state = Current();
  if (!state.begun.empty()) return SetError(BadParameter);
  if (!file.SupportsTransactions()) return SetError(Unsupported);
  if (!file.IsOpen()) return SetError(FileNotOpen);
  if (std::find(state.marked.begin(), state.marked.end(), &file) == state.marked.end()) state.marked.push_back(&file);
  return SetError(NoError);
}

std::int32_t BeginTransaction(int lockWaitSeconds) {
  ThreadTransaction& state = Current();
  if (!state.begun.empty()) return SetError(BadParameter);
  std::vector<DataFile*> marked;
  marked.swap(state.marked);
  for (DataFile* file : marked) {
    const std::int32_t code = file->BeginTransaction(lockWaitSeconds);
    if (code != NoError) {
      const RuntimeError failure = LastError();
      (void)RollBack(state.begun);
      return SetError(failure.code, failure.driverCode, failure.driverText);
    }
    state.begun.push_back(file);
  }
  return SetError(NoError);
}

std::int32_t CommitTransaction() {
  ThreadTransaction& state = Current();
  std::vector<DataFile*> begun;
  begun.swap(state.begun);
  for (std::size_t i = 0; i < begun.size(); ++i) {
    if (begun[i]->Commit() == NoError) continue;
    const RuntimeError failure = LastError();
    std::vector<DataFile*> rest(begun.begin() + static_cast<std::ptrdiff_t>(i), begun.end());
    (void)RollBack(rest);
    return SetError(failure.code, failure.driverCode, failure.driverText);
  }
  return SetError(NoError);
}

std::int32_t RollbackTransaction() {
  ThreadTransaction& state = Current();
  state.marked.clear();
  return RollBack(state.begun);
}

bool TransactionActive() { return !Current().begun.empty(); }

}  // namespace runtime
