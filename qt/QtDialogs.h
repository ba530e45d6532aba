// The questions the Qt backend asks: each opens its widget (non-blocking,
// deleted when done), registers it with questions, and replies with the
// user's answer. parent is the asking thread's window (nullptr = none).
// Thread: the GUI thread.
#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>

#include "qt/ModalQuestions.h"
#include "runtime/ui/DialogRequests.h"
#include "runtime/ui/MessageBox.h"

namespace runtime::qt {

// Replies with the button pressed; closing the box answers Cancel, No or
// the default button, the first the box has.
void StartMessageBox(const ui::MessageBoxRequest& request, QWidget* parent, ModalQuestions& questions,
                     ModalQuestions::Reply<std::uint32_t> reply);
// The answer a message box gives when it is closed without a button.
std::uint32_t DismissedButton(const ui::MessageBoxRequest& request);

// Replies with the chosen item's number, 0 when dismissed.
void StartPopupMenu(const ui::PopupMenuRequest& request, QWidget* parent, QPoint at, ModalQuestions& questions,
                    ModalQuestions::Reply<std::int32_t> reply);

// Replies with the chosen path, empty when cancelled.
void StartFileDialog(const ui::FileDialogRequest& request, QWidget* parent, ModalQuestions& questions,
                     ModalQuestions::Reply<std::string> reply);
// "HTML files (*.htm *.html)" for each mask; "All files (*)" when none.
QStringList NameFilters(const std::vector<ui::FileMask>& masks);

}  // namespace runtime::qt
