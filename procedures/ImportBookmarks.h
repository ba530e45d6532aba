// The import window: the user names the bookmark HTML file (typed, or
// chosen in the file dialog) and starts the import. A name that is missing,
// empty, a folder or unreadable is told in a message and the window stays
// open for a correction. Thread: the calling runtime thread (the main
// window's, modally), holding the runtime lock.
#pragma once

#include <cstdint>

#include "errors/Severity.h"
#include "runtime/text/FixedText.h"
#include "runtime/ui/WindowDescription.h"
#include "window/FileSelector.h"
#include "window/WindowManager.h"

namespace marlinden {

enum ImportControl : std::int32_t {
  ImportPrompt = 1,
  ImportEntry,
  ImportLookup,
  ImportOk,
  ImportCancel,
};

// The file dialog's first choice: bookmark HTML files, by either ending.
inline constexpr const char* kBookmarkFilesMask = "Bookmark files";
inline constexpr const char* kBookmarkFilesPatterns = "*.html;*.htm";
// The second: the browsers' own stores (BrowserStores.h), by their names.
inline constexpr const char* kBrowserStoresMask = "Browsers' bookmark stores";
inline constexpr const char* kBrowserStoresPatterns = "Bookmarks;places.sqlite";

runtime::ui::WindowDescription ImportWindowDescription();

class ImportBookmarksWindow : public WindowManager {
 public:
  Severity Init() override;
  Severity Kill() override;
  Severity TakeAccepted() override;

 private:
  FileSelector selector_;
  runtime::FixedText<255> path_;  // the file named in the entry
};

// The import procedure; leaves its result in ResponseCode.
void ImportBookmarks();

}  // namespace marlinden
