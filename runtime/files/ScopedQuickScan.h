// A quick scan of one data file for the life of the object: the driver may
// read ahead in large batches and, on a server inside a transaction, send
// adds together with its next statement (a failed one fails the commit).
// Its end leaves the error of the last operation in it, unless ending the
// scan fails itself, so a failure's reason is still there to be told.
// Used under the runtime lock, like the file.
#pragma once

#include "runtime/files/DataFile.h"
#include "runtime/system/RuntimeError.h"

namespace runtime {

class ScopedQuickScan {
 public:
  // file is borrowed and must outlive the scan.
  explicit ScopedQuickScan(DataFile& file) : file_(file) { (void)file_.SendOption("QUICKSCAN=on"); }
  ~ScopedQuickScan() {
    const RuntimeError last = LastError();
    if (file_.SendOption("QUICKSCAN=off") == NoError) (void)SetError(last.code, last.driverCode, last.driverText);
  }
  ScopedQuickScan(const ScopedQuickScan&) = delete;
  ScopedQuickScan& operator=(const ScopedQuickScan&) = delete;

 private:
  DataFile& file_;
};

}  // namespace runtime
