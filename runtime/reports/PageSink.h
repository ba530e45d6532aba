// Where printed pages go: the system's printer or a PDF file (the Qt
// backend), or a test's recorder. A sink is begun once per print job with
// the copies it is to make itself, takes pages in order, and is ended.
//
// Thread: the report's thread.
#pragma once

#include <cstdint>

#include "runtime/reports/PageImage.h"

namespace runtime {

class PageSink {
 public:
  virtual ~PageSink() = default;
  // True when the printer makes copies itself (its driver supports a copy
  // count); false when copies must be made by sending pages again.
  virtual bool MakesCopies() const = 0;
  // Starts a job of copies copies made by the sink (1 when it cannot).
  [[nodiscard]] virtual bool Begin(std::int32_t copies, bool collate) = 0;
  [[nodiscard]] virtual bool TakePage(const PageImage& page) = 0;
  // Ends the job; false when the job failed (nothing may count as printed).
  [[nodiscard]] virtual bool End() = 0;
  // Drops a begun job: nothing of it is printed.
  virtual void Abort() = 0;
};

}  // namespace runtime
