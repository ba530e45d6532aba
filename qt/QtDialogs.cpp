#include "qt/QtDialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSpacerItem>
#include <QTimer>
#include <map>
#include <memory>
#include <vector>

#include "qt/Conversions.h"
#include "runtime/ui/MessageText.h"

namespace runtime::qt {

namespace {

struct ButtonChoice {
  ui::Button button;
  QMessageBox::StandardButton standard;
};

constexpr ButtonChoice kButtons[] = {
    {ui::ButtonOk, QMessageBox::Ok},         {ui::ButtonYes, QMessageBox::Yes},
    {ui::ButtonNo, QMessageBox::No},         {ui::ButtonAbort, QMessageBox::Abort},
    {ui::ButtonRetry, QMessageBox::Retry},   {ui::ButtonIgnore, QMessageBox::Ignore},
    {ui::ButtonCancel, QMessageBox::Cancel}, {ui::ButtonHelp, QMessageBox::Help},
};

QMessageBox::Icon ToMessageIcon(ui::Icon icon) {
  switch (icon) {
    case ui::Icon::Hand:
      return QMessageBox::Critical;
    case ui::Icon::Question:
      return QMessageBox::Question;
    case ui::Icon::Exclamation:
      return QMessageBox::Warning;
    case ui::Icon::Asterisk:
      return QMessageBox::Information;
    case ui::Icon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

// Room the window manager's title bar takes beside the caption: the
// window's icon and its buttons, with their padding.
constexpr int kTitleBarDecoration = 160;

// A box sized to a short text is narrower than its caption, which the window
// manager then cuts; the box is widened so the caption shows whole (title
// bars draw in a bold face, often a larger one).
void WidenForCaption(QMessageBox* box) {
  auto* grid = qobject_cast<QGridLayout*>(box->layout());
  if (grid == nullptr || box->windowTitle().isEmpty()) return;
  QFont titleFont = box->font();
  titleFont.setBold(true);
  const int width = QFontMetrics(titleFont).horizontalAdvance(box->windowTitle()) * 5 / 4 + kTitleBarDecoration;
  grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                grid->columnCount());
}

std::uint32_t ButtonsOf(const ui::MessageBoxRequest& request) {
  std::uint32_t buttons = 0;
  for (const ButtonChoice& choice : kButtons) buttons |= request.buttons & choice.button;
  return buttons != 0 ? buttons : ui::ButtonOk;
}

}  // namespace

std::uint32_t DismissedButton(const ui::MessageBoxRequest& request) {
  const std::uint32_t buttons = ButtonsOf(request);
  if (buttons & ui::ButtonCancel) return ui::ButtonCancel;
  if (buttons & ui::ButtonNo) return ui::ButtonNo;
  if (buttons & request.defaultButton) return request.defaultButton;
  for (const ButtonChoice& choice : kButtons) {
    if (buttons & choice.button) return choice.button;
  }
  return ui::ButtonOk;
}

void StartMessageBox(const ui::MessageBoxRequest& request, QWidget* parent, ModalQuestions& questions,
                     ModalQuestions::Reply<std::uint32_t> reply) {
  auto* box = new QMessageBox(ToMessageIcon(request.icon), ToQString(request.caption),
                              ToQString(ui::MessageBoxLines(request.text)), QMessageBox::NoButton, parent);
  box->setAttribute(Qt::WA_DeleteOnClose);
  auto pressed = std::make_shared<std::map<QAbstractButton*, std::uint32_t>>();
  const std::uint32_t buttons = ButtonsOf(request);
  for (const ButtonChoice& choice : kButtons) {
    if ((buttons & choice.button) == 0) continue;
    QPushButton* button = box->addButton(choice.standard);
    (*pressed)[button] = choice.button;
    if (request.defaultButton == choice.button) box->setDefaultButton(button);
  }
  const std::uint32_t dismissed = DismissedButton(request);
  for (const auto& [button, bit] : *pressed) {
    if (bit == dismissed) box->setEscapeButton(button);
  }
  WidenForCaption(box);
  QObject::connect(box, &QDialog::finished, box, [box, pressed, dismissed, reply] {
    auto it = pressed->find(box->clickedButton());
    reply(it != pressed->end() ? it->second : dismissed);
  });
  questions.Track(box);
  box->open();
}

void StartPopupMenu(const ui::PopupMenuRequest& request, QWidget* parent, QPoint at, ModalQuestions& questions,
                    ModalQuestions::Reply<std::int32_t> reply) {
  auto* root = new QMenu(parent);
  root->setAttribute(Qt::WA_DeleteOnClose);
  std::vector<QMenu*> levels{root};
  for (const ui::PopupMenuItem& item : request.items) {
    while (levels.size() > 1 && levels.size() > item.depth) levels.pop_back();
    QMenu* menu = levels.back();
    switch (item.kind) {
      case ui::MenuItemKind::Separator:
        menu->addSeparator();
        break;
      case ui::MenuItemKind::Submenu: {
        QMenu* sub = menu->addMenu(LoadIcon(item.icon), ToQString(item.text));
        sub->setEnabled(item.enabled);
        levels.push_back(sub);
        break;
      }
      case ui::MenuItemKind::Item: {
        QAction* action = menu->addAction(LoadIcon(item.icon), ToQString(item.text));
        action->setEnabled(item.enabled);
        action->setCheckable(item.check != ui::MenuCheck::None);
        action->setChecked(item.check == ui::MenuCheck::Checked);
        action->setData(item.number);
        break;
      }
    }
  }
  // Submenus pass their chosen actions up to the root's triggered signal.
  QObject::connect(root, &QMenu::triggered, root, [reply](QAction* action) { reply(action->data().toInt()); });
  // The menu hides before its chosen action triggers; a dismissal is only
  // known once the triggering has had its turn.
  QObject::connect(root, &QMenu::aboutToHide, root, [reply] { QTimer::singleShot(0, [reply] { reply(0); }); });
  questions.Track(root);
  root->popup(at);
}

QStringList NameFilters(const std::vector<ui::FileMask>& masks) {
  QStringList filters;
  for (const ui::FileMask& mask : masks) {
    QString patterns = ToQString(mask.pattern);
    patterns.replace(u';', u' ');
    if (patterns.trimmed() == QStringLiteral("*.*")) patterns = QStringLiteral("*");
    filters << QStringLiteral("%1 (%2)").arg(ToQString(mask.description), patterns.simplified());
  }
  if (filters.isEmpty()) filters << QStringLiteral("All files (*)");
  return filters;
}

void StartFileDialog(const ui::FileDialogRequest& request, QWidget* parent, ModalQuestions& questions,
                     ModalQuestions::Reply<std::string> reply) {
  auto* dialog = new QFileDialog(parent, ToQString(request.title));
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  const bool save = request.mode == ui::FileDialogMode::Save;
  dialog->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  if (request.flags & ui::ChooseDirectory) {
    dialog->setFileMode(QFileDialog::Directory);
  } else {
    dialog->setFileMode(!save && (request.flags & ui::FileMustExist) ? QFileDialog::ExistingFile
                                                                     : QFileDialog::AnyFile);
  }
  dialog->setOption(QFileDialog::DontConfirmOverwrite, save && !(request.flags & ui::ConfirmOverwrite));
  dialog->setNameFilters(NameFilters(request.masks));
  if (!request.initialPath.empty()) {
    const QFileInfo initial(ToQString(request.initialPath));
    if (initial.isDir()) {
      dialog->setDirectory(initial.absoluteFilePath());
    } else {
      dialog->setDirectory(initial.absolutePath());
      dialog->selectFile(initial.fileName());
    }
  }
  const bool keepDirectory = (request.flags & ui::KeepDirectory) != 0;
  QObject::connect(dialog, &QDialog::finished, dialog, [dialog, reply, keepDirectory](int result) {
    const QStringList chosen = dialog->selectedFiles();
    if (result != QDialog::Accepted || chosen.isEmpty()) {
      reply(std::string());
      return;
    }
    // Without KeepDirectory the chosen file's folder becomes the current one.
    const QFileInfo file(chosen.front());
    if (!keepDirectory) QDir::setCurrent(file.isDir() ? file.absoluteFilePath() : file.absolutePath());
    reply(chosen.front().toStdString());
  });
  questions.Track(dialog);
  dialog->open();
}

}  // namespace runtime::qt
