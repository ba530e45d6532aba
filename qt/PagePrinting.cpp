#include "qt/PagePrinting.h"

#include <QDialog>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPageLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinterInfo>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

#include "qt/Conversions.h"
#include "qt/PageRenderer.h"
#include "runtime/reports/PageImage.h"

namespace runtime::qt {

namespace {

// The printer the user chose in the last preview's print dialog; the next
// print uses it once.
std::unique_ptr<QPrinter>& ChosenPrinter() {
  static std::unique_ptr<QPrinter> chosen;
  return chosen;
}

// The page size of the first page, so the sheet matches the report.
void MatchPageSize(const std::vector<std::string>& pages, QPrinter& printer) {
  PageImage first;
  if (pages.empty() || !first.Load(pages.front())) return;
  printer.setFullPage(true);
  printer.setPageSize(QPageSize(QSizeF(first.width / 1000.0, first.height / 1000.0), QPageSize::Inch));
  printer.setPageMargins(QMarginsF(0, 0, 0, 0));
}

void ToPdf(QPrinter& printer, const std::string& file) {
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(ToQString(file));
}

}  // namespace

bool PaintPages(const std::vector<std::string>& pages, QPrinter& printer, int copies, bool collate) {
  copies = std::max(copies, 1);
  printer.setCopyCount(copies);
  printer.setCollateCopies(collate);
  const int repeats = printer.supportsMultipleCopies() ? 1 : copies;
  std::vector<std::size_t> order;
  for (int copy = 0; copy < (collate ? repeats : 1); ++copy)
    for (std::size_t i = 0; i < pages.size(); ++i)
      for (int again = 0; again < (collate ? 1 : repeats); ++again) order.push_back(i);
  QPainter painter;
  if (!painter.begin(&printer)) return false;
  bool ok = true;
  PageImage page;
  for (std::size_t n = 0; n < order.size() && ok; ++n) {
    if (n > 0 && !printer.newPage()) ok = false;
    if (ok && !page.Load(pages[order[n]])) ok = false;
    if (ok) DrawPage(page, painter, QRectF(painter.viewport()));
  }
  return painter.end() && ok;
}

namespace {

// Tall enough for a page where the screen allows, never larger than the
// screen the preview opens on, with room for the desktop's frame.
QSize PreviewSize(const QWidget* parent) {
  constexpr QSize kWanted(760, 900);
  constexpr QSize kFrameAllowance(16, 48);
  QScreen* screen = parent != nullptr ? parent->screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) return kWanted;
  return kWanted.boundedTo(screen->availableGeometry().size() - kFrameAllowance);
}

}  // namespace

bool PrintPages(const ui::PrintRequest& request, QWidget* parent) {
  std::unique_ptr<QPrinter> printer;
  int copies = static_cast<int>(request.copies);
  if (!request.pdfFile.empty()) {
    printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    ToPdf(*printer, request.pdfFile);
  } else if (!request.printerName.empty()) {
    const QPrinterInfo info = QPrinterInfo::printerInfo(ToQString(request.printerName));
    if (info.isNull()) return false;
    printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
  } else if (ChosenPrinter() != nullptr) {
    printer = std::move(ChosenPrinter());
    copies = std::max(copies, printer->copyCount());  // the copies asked in the print dialog
  } else if (!QPrinterInfo::defaultPrinter().isNull()) {
    printer = std::make_unique<QPrinter>(QPrinterInfo::defaultPrinter(), QPrinter::HighResolution);
  } else {
    const auto answer = QMessageBox::question(
        parent, ToQString(request.title), QObject::tr("No printer is installed.\n\nSave the report as a PDF file?"));
    if (answer != QMessageBox::Yes) return false;
    const QString file =
        QFileDialog::getSaveFileName(parent, QObject::tr("Save as PDF"), QString(), QObject::tr("PDF (*.pdf)"));
    if (file.isEmpty()) return false;
    printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    ToPdf(*printer, file.toStdString());
  }
  printer->setDocName(ToQString(request.title));
  MatchPageSize(request.pages, *printer);
  return PaintPages(request.pages, *printer, copies, request.collate);
}

void StartPreview(const ui::PreviewRequest& request, QWidget* parent, ModalQuestions& questions,
                  ModalQuestions::Reply<ui::PreviewAnswer> reply) {
  auto* dialog = new QDialog(parent);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setObjectName(QStringLiteral("PrintPreview"));
  dialog->setWindowTitle(ToQString(request.title));
  auto* layout = new QVBoxLayout(dialog);
  auto* printer = new QPrinter(QPrinter::ScreenResolution);
  MatchPageSize(request.pages, *printer);
  auto* preview = new QPrintPreviewWidget(printer, dialog);
  const std::vector<std::string> pages = request.pages;
  QObject::connect(preview, &QPrintPreviewWidget::paintRequested, dialog,
                   [pages](QPrinter* target) { PaintPages(pages, *target); });

  auto* bar = new QHBoxLayout;
  auto button = [&](const QString& text, const char* name) {
    auto* b = new QPushButton(text, dialog);
    b->setObjectName(QString::fromLatin1(name));
    bar->addWidget(b);
    return b;
  };
  QPushButton* previous = button(QObject::tr("< Pre&vious"), "previous");
  auto* pageLabel = new QLabel(dialog);
  pageLabel->setObjectName(QStringLiteral("page"));
  bar->addWidget(pageLabel);
  QPushButton* next = button(QObject::tr("&Next >"), "next");
  QPushButton* zoomOut = button(QObject::tr("Zoom &Out"), "zoomOut");
  QPushButton* zoomIn = button(QObject::tr("Zoom &In"), "zoomIn");
  QPushButton* fitWidth = button(QObject::tr("Fit &Width"), "fitWidth");
  bar->addStretch(1);
  QPushButton* print = button(QObject::tr("&Print..."), "print");
  QPushButton* close = button(QObject::tr("&Close"), "close");
  const auto showPage = [preview, pageLabel] {
    pageLabel->setText(QObject::tr("Page %1 of %2").arg(preview->currentPage()).arg(preview->pageCount()));
  };
  const auto goTo = [preview, showPage](int page) {
    preview->setCurrentPage(std::clamp(page, 1, std::max(preview->pageCount(), 1)));
    showPage();
  };
  QObject::connect(preview, &QPrintPreviewWidget::previewChanged, dialog, showPage);
  QObject::connect(previous, &QPushButton::clicked, dialog, [preview, goTo] { goTo(preview->currentPage() - 1); });
  QObject::connect(next, &QPushButton::clicked, dialog, [preview, goTo] { goTo(preview->currentPage() + 1); });
  // Home and End go to the first and the last page wherever the focus is,
  // Page Up and Page Down one page back and on.
  QObject::connect(new QShortcut(QKeySequence(Qt::Key_Home), dialog), &QShortcut::activated, dialog,
                   [goTo] { goTo(1); });
  QObject::connect(new QShortcut(QKeySequence(Qt::Key_End), dialog), &QShortcut::activated, dialog,
                   [preview, goTo] { goTo(preview->pageCount()); });
  QObject::connect(new QShortcut(QKeySequence(Qt::Key_PageUp), dialog), &QShortcut::activated, dialog,
                   [preview, goTo] { goTo(preview->currentPage() - 1); });
  QObject::connect(new QShortcut(QKeySequence(Qt::Key_PageDown), dialog), &QShortcut::activated, dialog,
                   [preview, goTo] { goTo(preview->currentPage() + 1); });
  QObject::connect(zoomIn, &QPushButton::clicked, preview, [preview] { preview->zoomIn(); });
  QObject::connect(zoomOut, &QPushButton::clicked, preview, [preview] { preview->zoomOut(); });
  QObject::connect(fitWidth, &QPushButton::clicked, preview, &QPrintPreviewWidget::fitToWidth);
  QObject::connect(close, &QPushButton::clicked, dialog, &QDialog::reject);
  QObject::connect(print, &QPushButton::clicked, dialog, [dialog, pages] {
    auto chosen = std::make_unique<QPrinter>(QPrinter::HighResolution);
    MatchPageSize(pages, *chosen);
    QPrintDialog ask(chosen.get(), dialog);
    if (ask.exec() != QDialog::Accepted) return;
    ChosenPrinter() = std::move(chosen);
    dialog->accept();
  });

  layout->addLayout(bar);
  layout->addWidget(preview, 1);
  if (request.zoom > 0) {
    preview->setZoomMode(QPrintPreviewWidget::CustomZoom);
    preview->setZoomFactor(request.zoom / 100.0);
  } else {
    preview->fitToWidth();
  }
  dialog->resize(PreviewSize(parent));
  QObject::connect(dialog, &QDialog::finished, dialog, [reply, printer](int result) {
    delete printer;
    reply(result == QDialog::Accepted ? ui::PreviewAnswer::Print : ui::PreviewAnswer::Cancel);
  });
  questions.Track(dialog);
  dialog->open();
}

}  // namespace runtime::qt
