#include "qt/ModalQuestions.h"

#include <QDialog>
#include <QMenu>

namespace runtime::qt {

void ModalQuestions::DismissAll() {
  ending_ = true;
  const QList<QPointer<QWidget>> open = std::exchange(open_, {});
  for (const QPointer<QWidget>& question : open) {
    if (question == nullptr) continue;
    if (auto* dialog = qobject_cast<QDialog*>(question.data())) {
      dialog->reject();
    } else {
      question->close();
    }
  }
}

}  // namespace runtime::qt
