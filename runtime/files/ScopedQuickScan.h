// A quick scan of one data file for the life of the object: the driver may
// read ahead in large batches and, on a server inside a transaction, send
// adds together with its next statement (a failed one fails the commit).
// Used under the runtime lock, like the file.
#pragma once

#include "runtime/files/DataFile.h"

namespace runtime {

class ScopedQuickScan {
 public:
  // file is borrowed and must outlive the scan.
  explicit ScopedQuickScan(DataFile& file) : file_(file) { (void)file_.SendOption("QUICKSCAN=on"); }
  ~ScopedQuickScan() { (void)file_.SendOption("QUICKSCAN=off"); }
  ScopedQuickScan(const ScopedQuickScan&) = delete;
  ScopedQuickScan& operator=(const ScopedQuickScan&) = delete;

 private:
  DataFile& file_;
};

}  // namespace runtime
