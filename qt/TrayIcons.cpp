#include "qt/TrayIcons.h"

#include <QApplication>
#include <QStyle>

#include "qt/Conversions.h"
#include "runtime/ui/Backend.h"

namespace runtime::qt {

bool TrayIcons::Add(const ui::TrayIconRequest& request) {
  if (!QSystemTrayIcon::isSystemTrayAvailable()) return false;
  QIcon icon = LoadIcon(request.icon);
  if (icon.isNull()) icon = QApplication::style()->standardIcon(QStyle::SP_ComputerIcon);
  auto tray = std::make_unique<QSystemTrayIcon>(icon);
  tray->setToolTip(ToQString(request.tip));
  const ui::TrayIconRequest events = request;
  QObject::connect(tray.get(), &QSystemTrayIcon::activated, tray.get(),
                   [events](QSystemTrayIcon::ActivationReason reason) {
                     ui::EventCode code = ui::EventCode::None;
                     switch (reason) {
                       case QSystemTrayIcon::Trigger:
                         code = events.leftClick;
                         break;
                       case QSystemTrayIcon::Context:
                         code = events.rightClick;
                         break;
                       case QSystemTrayIcon::DoubleClick:
                         code = events.leftDoubleClick;
                         break;
                       default:
                         break;
                     }
                     if (code != ui::EventCode::None) ui::PostInput(ui::Event{code, 0, events.window, {}});
                   });
  tray->show();
  icons_[request.id] = std::move(tray);
  return true;
}

bool TrayIcons::Delete(std::uint32_t id) { return icons_.erase(id) != 0; }

const QSystemTrayIcon* TrayIcons::Find(std::uint32_t id) const {
  auto it = icons_.find(id);
  return it == icons_.end() ? nullptr : it->second.get();
}

}  // namespace runtime::qt
