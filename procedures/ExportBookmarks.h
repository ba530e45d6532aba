// The export's "Save As" window: the user names the bookmark HTML file
// (typed, or chosen in the save dialog) and starts the export, which writes
// to the path named at that moment; a file that is there already is
// replaced only when the user says so. Runs on a runtime thread of its own
// (StartExportBookmarks), so the main window stays usable; holds the
// runtime lock while it runs.
#pragma once

#include <cstdint>
#include <string>

#include "errors/Severity.h"
#include "runtime/ui/WindowDescription.h"
#include "window/WindowManager.h"

namespace marlinden {

enum ExportControl : std::int32_t {
  ExportPrompt = 1,
  ExportEntry,
  ExportOk,
  ExportCancel,
  ExportLookup,
};

runtime::ui::WindowDescription ExportWindowDescription();

inline constexpr const char* kExportExtension = ".html";
inline constexpr const char* kExportDefaultName = "bookmarks.html";
inline constexpr const char* kExportFilter = "Bookmark files|*.html;*.htm";

// The name the lookup makes of the dialog's answer: the path as chosen (its
// letter case and trailing spaces aside), with ".html" appended unless it
// ends in ".htm" or ".html" in any letter case; empty when nothing was
// chosen.
std::string ExportFileName(std::string_view chosen);

// The name the window proposes: the last export's path, else bookmarks.html
// in the folder the save dialog starts in (empty without one). Never the
// file last imported.
std::string ProposedExportPath();

// The path the save dialog starts from, given the entry's text: the entry's
// path when it names a file in an existing folder, else that file name (or
// bookmarks.html) in the folder last chosen in, else in the home folder.
std::string ExportDialogStart(std::string_view entry);

class ExportBookmarksWindow : public WindowManager {
 public:
  Severity Init() override;
  Severity Kill() override;
  Severity TakeAccepted() override;

 private:
  void LookUp();
};

// The export procedure (the "Save As" window); leaves its result in
// ResponseCode.
void ExportBookmarks();

// Starts ExportBookmarks on a new runtime thread; returns its thread number
// (0 when it could not start).
std::int32_t StartExportBookmarks();

}  // namespace marlinden
