#include "qt/GuiThread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

namespace runtime::qt {

bool OnGuiThread() {
  QCoreApplication* app = QCoreApplication::instance();
  return app == nullptr || QThread::currentThread() == app->thread();
}

void RunOnGuiThread(const std::function<void()>& work) {
  if (OnGuiThread()) {
    work();
    return;
  }
  QMetaObject::invokeMethod(
      QCoreApplication::instance(), [&work] { work(); }, Qt::BlockingQueuedConnection);
}

}  // namespace runtime::qt
