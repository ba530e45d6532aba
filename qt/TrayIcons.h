// Tray icons: each posts its window's program events for the user's clicks
// (left, right, left double; a right double click cannot be told apart from
// a right click by the system tray, so it arrives as a right click).
// Thread: the GUI thread.
#pragma once

#include <QSystemTrayIcon>
#include <cstdint>
#include <map>
#include <memory>

#include "runtime/ui/DialogRequests.h"

namespace runtime::qt {

class TrayIcons {
 public:
  // False when the desktop has no system tray.
  bool Add(const ui::TrayIconRequest& request);
  // False when there is no such icon.
  bool Delete(std::uint32_t id);
  const QSystemTrayIcon* Find(std::uint32_t id) const;

 private:
  std::map<std::uint32_t, std::unique_ptr<QSystemTrayIcon>> icons_;
};

}  // namespace runtime::qt
