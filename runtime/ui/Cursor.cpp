#include "runtime/ui/Cursor.h"

#include <atomic>

namespace runtime::ui {

namespace {

class HeadlessCursor : public CursorService {
 public:
  void SetCursor(CursorId cursor) override { current_.store(cursor); }
  CursorId GetCursor() const override { return current_.load(); }

 private:
  std::atomic<CursorId> current_{CursorDefault};
};

HeadlessCursor& Headless() {
  static HeadlessCursor headless;
  return headless;
}

std::atomic<CursorService*> installed{nullptr};

CursorService& Service() {
  CursorService* service = installed.load();
  return service != nullptr ? *service : Headless();
}

}  // namespace

CursorService* SetCursorService(CursorService* service) { return installed.exchange(service); }

void SetCursor(CursorId cursor) { Service().SetCursor(cursor); }

CursorId GetCursor() { return Service().GetCursor(); }

}  // namespace runtime::ui
