// The end of the desktop session, or a SIGTERM, turned into the runtime's
// close-down event for every window the backend shows, so each window closes
// the ordinary way (open edits end, files are closed) and the program ends
// through its shutdown. While one exists it owns the process's SIGTERM
// handling (a signal only writes to a pipe; the GUI thread does the rest).
// Thread: the GUI thread; one at a time.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>

#include "qt/QtBackend.h"

namespace runtime::qt {

class SessionEnd : public QObject {
 public:
  // backend is borrowed and must outlive this object.
  explicit SessionEnd(QtBackend& backend);
  ~SessionEnd() override;
  SessionEnd(const SessionEnd&) = delete;
  SessionEnd& operator=(const SessionEnd&) = delete;

  // Posts the close-down event to every window shown.
  void CloseDown();

 private:
  QtBackend& backend_;
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace runtime::qt
