// Report pages on paper and on screen: the page-image files of a report,
// each an image Qt can read (one page per file, scaled to the printer's
// page), printed on the system's default printer or shown in a preview
// window whose Print button answers "print". A page that cannot be read is
// printed as a line naming the file, so a missing page is never silent.
// Thread: the GUI thread.
#pragma once

#include <QPrinter>
#include <QWidget>
#include <string>
#include <vector>

#include "runtime/qt/ModalQuestions.h"
#include "runtime/ui/DialogRequests.h"

namespace runtime::qt {

// Draws the pages on printer, one per sheet; false when a page could not be
// read or the printer refused.
bool PaintPages(const std::vector<std::string>& pages, QPrinter& printer);
// True when every page was handed to the default printer; false without one.
bool PrintPages(const ui::PrintRequest& request);
// Replies Print when the user chose to print, Cancel otherwise.
void StartPreview(const ui::PreviewRequest& request, QWidget* parent, ModalQuestions& questions,
                  ModalQuestions::Reply<ui::PreviewAnswer> reply);

}  // namespace runtime::qt
