#include "runtime/qt/PagePrinting.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QImage>
#include <QPainter>
#include <QPrintPreviewWidget>
#include <QPrinterInfo>
#include <QPushButton>
#include <QVBoxLayout>

#include "runtime/qt/Conversions.h"

namespace runtime::qt {

bool PaintPages(const std::vector<std::string>& pages, QPrinter& printer) {
  QPainter painter;
  if (!painter.begin(&printer)) return false;
  bool allRead = true;
  for (std::size_t i = 0; i < pages.size(); ++i) {
    if (i > 0 && !printer.newPage()) {
      painter.end();
      return false;
    }
    const QRect page = painter.viewport();
    QImage image;
    if (!image.load(ToQString(pages[i]))) {
      allRead = false;
      painter.drawText(page, Qt::AlignCenter,
                       QStringLiteral("Page %1 cannot be read: %2").arg(i + 1).arg(ToQString(pages[i])));
      continue;
    }
    const QSize size = image.size().scaled(page.size(), Qt::KeepAspectRatio);
    painter.drawImage(QRect(page.topLeft(), size), image);
  }
  return painter.end() && allRead;
}

bool PrintPages(const ui::PrintRequest& request) {
  if (QPrinterInfo::defaultPrinter().isNull()) return false;
  QPrinter printer(QPrinter::HighResolution);
  printer.setDocName(ToQString(request.title));
  printer.setCopyCount(static_cast<int>(std::max<std::uint32_t>(request.copies, 1)));
  return PaintPages(request.pages, printer);
}

void StartPreview(const ui::PreviewRequest& request, QWidget* parent, ModalQuestions& questions,
                  ModalQuestions::Reply<ui::PreviewAnswer> reply) {
  auto* dialog = new QDialog(parent);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setWindowTitle(ToQString(request.title));
  auto* layout = new QVBoxLayout(dialog);
  auto* printer = new QPrinter(QPrinter::ScreenResolution);
  auto* preview = new QPrintPreviewWidget(printer, dialog);
  const std::vector<std::string> pages = request.pages;
  QObject::connect(preview, &QPrintPreviewWidget::paintRequested, dialog,
                   [pages](QPrinter* target) { PaintPages(pages, *target); });
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, dialog);
  buttons->addButton(QObject::tr("&Print"), QDialogButtonBox::AcceptRole);
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  layout->addWidget(preview, 1);
  layout->addWidget(buttons);
  dialog->resize(640, 800);
  QObject::connect(dialog, &QDialog::finished, dialog, [reply, printer](int result) {
    delete printer;
    reply(result == QDialog::Accepted ? ui::PreviewAnswer::Print : ui::PreviewAnswer::Cancel);
  });
  questions.Track(dialog);
  dialog->open();
}

}  // namespace runtime::qt
