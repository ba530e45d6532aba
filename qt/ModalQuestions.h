// Modal questions (message box, popup menu, file dialog, preview) asked on
// the GUI thread while the asking runtime thread waits for the answer. The
// GUI thread only opens the question and goes on with its event loop, so
// other runtime threads' windows stay live and questions of two threads
// never nest; the answer comes back when the user finishes. Asked on the
// GUI thread itself, a question waits in a local event loop instead.
// Ask: any thread. Start functions run on the GUI thread.
#pragma once

#include <QEventLoop>
#include <QList>
#include <QPointer>
#include <QWidget>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "qt/GuiThread.h"

namespace runtime::qt {

class ModalQuestions {
 public:
  template <typename Answer>
  using Reply = std::function<void(Answer)>;  // the first reply counts; any thread
  // Opens the question: builds its widget, registers it with Track, arranges
  // for reply to be called when the user finishes, and returns at once.
  template <typename Answer>
  using Start = std::function<void(Reply<Answer> reply)>;

  // Asks and waits for the answer; once the program is ending, answers
  // dismissed at once.
  template <typename Answer>
  Answer Ask(const Start<Answer>& start, Answer dismissed);

  // GUI thread: the question's widget, closed by DismissAll.
  void Track(QWidget* question) {
    open_.removeIf([](const QPointer<QWidget>& q) { return q.isNull(); });
    open_.append(question);
  }
  // GUI thread: closes every open question as the user would (so each
  // answers dismissed) and answers later ones dismissed at once.
  void DismissAll();

 private:
  template <typename Answer>
  struct Slot {
    std::mutex mutex;
    std::condition_variable answered;
    std::optional<Answer> answer;
    QPointer<QEventLoop> loop;  // set while the GUI thread itself waits
  };

  QList<QPointer<QWidget>> open_;  // GUI thread only
  bool ending_ = false;            // GUI thread only
};

template <typename Answer>
Answer ModalQuestions::Ask(const Start<Answer>& start, Answer dismissed) {
  auto slot = std::make_shared<Slot<Answer>>();
  Reply<Answer> reply = [slot](Answer answer) {
    std::lock_guard lock(slot->mutex);
    if (slot->answer) return;
    slot->answer = std::move(answer);
    slot->answered.notify_all();
    if (slot->loop) slot->loop->quit();  // only set on the GUI thread's own question
  };
  const bool onGui = OnGuiThread();
  QEventLoop loop;
  if (onGui) slot->loop = &loop;
  RunOnGuiThread([&] {
    if (ending_) {
      reply(dismissed);
    } else {
      start(reply);
    }
  });
  if (onGui) {
    bool done = false;
    {
      std::lock_guard lock(slot->mutex);
      done = slot->answer.has_value();
    }
    if (!done) loop.exec();
  }
  std::unique_lock lock(slot->mutex);
  slot->answered.wait(lock, [&] { return slot->answer.has_value(); });
  slot->loop = nullptr;
  return std::move(*slot->answer);
}

}  // namespace runtime::qt
