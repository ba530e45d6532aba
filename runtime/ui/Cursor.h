// The mouse cursor the program shows over its windows. The window backend
// installs a service that changes the real cursor; until one is installed a
// headless service only keeps the current cursor, so code and tests can set
// and read it without windows. Any thread may call these.
#pragma once

#include <cstdint>

namespace runtime::ui {

// A cursor identifier: a stock cursor of the platform or one of the runtime's.
using CursorId = std::uint32_t;

inline constexpr CursorId CursorDefault = 0;  // the window's own cursor
// The runtime's busy cursor, identifier bytes FF 01 03 7F.
inline constexpr CursorId CursorBusy = 0x7F0301FFu;

class CursorService {
 public:
  virtual ~CursorService() = default;
  virtual void SetCursor(CursorId cursor) = 0;
  virtual CursorId GetCursor() const = 0;
};

// Installs the service (borrowed; it must outlive its use); nullptr goes back
// to the headless one. Returns the previous service (nullptr for the
// headless one).
CursorService* SetCursorService(CursorService* service);

void SetCursor(CursorId cursor);
CursorId GetCursor();

// Shows the busy cursor while it lives, then the cursor that was there.
class BusyCursor {
 public:
  BusyCursor() : previous_(GetCursor()) { SetCursor(CursorBusy); }
  ~BusyCursor() { SetCursor(previous_); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;

 private:
  CursorId previous_;
};

}  // namespace runtime::ui
