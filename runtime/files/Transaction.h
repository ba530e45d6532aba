// Transactions over several data files, one transaction per runtime thread.
// A caller marks every file the next change can reach, begins (each marked
// file takes its write lock, waiting at most the given seconds for other
// stations), works through the files as usual, then commits or rolls back
// all of them together. Every operation leaves the thread's runtime error
// and returns its code, like the file operations.
//
// Each keyed file is a database of its own, so a commit over several files
// is made file by file: a commit that fails on one file rolls back that file
// and those after it, but cannot take back the files committed before it.
#pragma once

#include <cstdint>

namespace runtime {

class DataFile;

// Marks file (borrowed; it must stay open until the transaction ends) as
// taking part in the next transaction of this thread; marking it twice is
// harmless. Unsupported for a driver without transactions (the caller then
// works without one), FileNotOpen for a closed file, BadParameter while a
// transaction is active.
[[nodiscard]] std::int32_t EnlistInTransaction(DataFile& file);

// Begins the transaction on every marked file, in the order they were
// marked. When one cannot begin (FileLocked when another station holds its
// lock past lockWaitSeconds), those already begun are rolled back and that
// file's error is returned. With no marked file nothing begins and the
// result is NoError. The marks are used up either way.
[[nodiscard]] std::int32_t BeginTransaction(int lockWaitSeconds);

// Commits the active transaction; NoError when none is active.
[[nodiscard]] std::int32_t CommitTransaction();

// Rolls back the active transaction, if any, and drops marks not yet used.
// A rollback that succeeds leaves the thread's runtime error as it was, so
// the failure that led to it can still be reported.
[[nodiscard]] std::int32_t RollbackTransaction();

// Whether this thread has begun a transaction not yet ended.
bool TransactionActive();

}  // namespace runtime
