#include "qt/SessionEnd.h"

#include <QGuiApplication>
#include <QSessionManager>

#include "runtime/ui/Backend.h"
#include "runtime/ui/Event.h"

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#endif

namespace runtime::qt {

#ifdef Q_OS_UNIX
namespace {

int signalPipe[2] = {-1, -1};
struct sigaction previousTerm {};

void OnTerm(int) {
  const char byte = 1;
  (void)!write(signalPipe[1], &byte, 1);  // async-signal-safe; a full pipe already says it
}

}  // namespace
#endif

SessionEnd::SessionEnd(QtBackend& backend) : backend_(backend) {
  // Saving the session means ending the program the ordinary way.
  QObject::connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) { CloseDown(); });
#ifdef Q_OS_UNIX
  if (pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) == 0) {
    notifier_ = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
      char bytes[16];
      while (read(signalPipe[0], bytes, sizeof bytes) > 0) {
      }
      CloseDown();
    });
    struct sigaction action {};
    action.sa_handler = OnTerm;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, &previousTerm);
  }
#endif
}

SessionEnd::~SessionEnd() {
#ifdef Q_OS_UNIX
  if (notifier_ != nullptr) {
    sigaction(SIGTERM, &previousTerm, nullptr);
    notifier_.reset();
    close(signalPipe[0]);
    close(signalPipe[1]);
    signalPipe[0] = signalPipe[1] = -1;
  }
#endif
}

void SessionEnd::CloseDown() {
  for (ui::WindowId id : backend_.Windows()) ui::PostInput(ui::Event{ui::EventCode::CloseDown, 0, id, {}});
}

}  // namespace runtime::qt
