// Report pages on paper and on screen: the vector page-image files of a
// report, drawn one at a time by the page renderer, printed through Qt's
// print support (CUPS printers or a PDF file) or shown in a preview window
// with zoom, fit-to-width and page navigation (Previous and Next, Home and
// End for the first and the last page) whose Print button opens the
// system's print dialog; the printer chosen there prints the report. With no
// printer installed the user is told so and offered a PDF file. A page that
// cannot be read fails the print, so a missing page is never silent.
// Thread: the GUI thread.
#pragma once

#include <QPrinter>
#include <QWidget>
#include <string>
#include <vector>

#include "qt/ModalQuestions.h"
#include "runtime/ui/DialogRequests.h"

namespace runtime::qt {

// Draws the pages on printer, one per sheet, making copies copies: by the
// printer when it supports copies, else by drawing the pages again. False
// when a page could not be read or the printer refused.
bool PaintPages(const std::vector<std::string>& pages, QPrinter& printer, int copies = 1, bool collate = false);
// True when every page was printed or written; false otherwise (no printer
// and no PDF file chosen, a page unreadable, the printer refused).
bool PrintPages(const ui::PrintRequest& request, QWidget* parent);
// Replies Print when the user chose a printer in the print dialog, Cancel
// otherwise.
void StartPreview(const ui::PreviewRequest& request, QWidget* parent, ModalQuestions& questions,
                  ModalQuestions::Reply<ui::PreviewAnswer> reply);

}  // namespace runtime::qt
