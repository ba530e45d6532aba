// The modal and system requests program code makes of a backend, as plain
// data (the headless backend records them for tests). Any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/ui/Event.h"
#include "runtime/ui/PopupMenuText.h"

namespace runtime::ui {

struct PopupMenuRequest {
  WindowId window = kNoWindow;  // the asking thread's target window
  std::string text;             // as given, for assertions
  std::vector<PopupMenuItem> items;
  // Where to show it, in dialog units within the window; nullopt = at the
  // mouse (a zero coordinate in the program's call means the mouse).
  std::optional<Point> at;
};

enum class FileDialogMode : std::uint8_t { Open, Save };

// Flag bits of a file dialog.
enum FileDialogFlag : std::uint32_t {
  FileMustExist = 1,
  ConfirmOverwrite = 2,
  KeepDirectory = 4,  // do not change the current directory
  ChooseDirectory = 8,
};

struct FileMask {
  std::string description;  // "HTML files"
  std::string pattern;      // "*.htm;*.html"
  friend bool operator==(const FileMask&, const FileMask&) = default;
};

struct FileDialogRequest {
  WindowId window = kNoWindow;
  FileDialogMode mode = FileDialogMode::Open;
  std::string title;
  std::string initialPath;
  std::string masksText;  // as given: "desc|pattern|desc|pattern"
  std::vector<FileMask> masks;
  std::uint32_t flags = 0;
};

// "desc|pattern|desc|pattern"; a description without a pattern gets "*.*";
// empty pairs are skipped.
std::vector<FileMask> ParseFileMasks(std::string_view text);

enum class PreviewAnswer : std::uint8_t { Cancel, Print };

struct PreviewRequest {
  WindowId window = kNoWindow;
  std::string title;
  std::vector<std::string> pages;  // page-image files, in order
  std::int16_t zoom = 0;           // percent of the page's real size; 0: fitted to the window's width
};

// Page-image files printed on the printer the user chose in the preview,
// else the named printer, else the default printer; or written to a PDF
// file. The copies are made once, by the printer when it can, else by
// sending the pages again (collated: whole sets).
struct PrintRequest {
  std::string title;
  std::vector<std::string> pages;
  std::uint32_t copies = 1;
  bool collate = false;
  std::string printerName;  // empty: the printer chosen in the preview, else the default
  std::string pdfFile;      // non-empty: write a PDF file instead of printing
};

enum class BeepKind : std::uint8_t { Default, Warning, Error, Question };

// A tray icon posts its program events to its window's thread.
struct TrayIconRequest {
  std::uint32_t id = 0;
  WindowId window = kNoWindow;
  std::string icon;
  std::string tip;
  EventCode leftClick = EventCode::None;
  EventCode rightClick = EventCode::None;
  EventCode leftDoubleClick = EventCode::None;
  EventCode rightDoubleClick = EventCode::None;
};

}  // namespace runtime::ui
