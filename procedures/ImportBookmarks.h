// The import window: the user names the bookmark HTML file (typed, or
// chosen in the file dialog), or picks one of the browser profiles found in
// the home folder (a selected row fills in its store, accepting the row
// imports it at once), and starts the import. A name that is missing,
// empty, a folder or unreadable is told in a message and the window stays
// open for a correction. Thread: the calling runtime thread (the main
// window's, modally), holding the runtime lock.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "errors/Severity.h"
#include "procedures/BrowserStores.h"
#include "runtime/text/FixedText.h"
#include "runtime/ui/ListSource.h"
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
  ImportStoresPrompt,
  ImportStores,  // the browser profiles found: browser, profile
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
  Severity TakeNewSelection() override;

 private:
  // The browser profiles' rows.
  class StoreRows : public runtime::ui::ListSource {
   public:
    std::size_t RowCount() const override { return stores.size(); }
    runtime::ui::ListRow Row(std::size_t row) const override;
    std::vector<FoundStore> stores;
  };

  // The store of the selected row ("" for none).
  std::string SelectedStore();
  // Imports the file at path, or says why it cannot.
  Severity Import(const std::string& path);

  FileSelector selector_;
  runtime::FixedText<255> path_;  // the file named in the entry
  StoreRows stores_;
};

// The import procedure; leaves its result in ResponseCode.
void ImportBookmarks();

}  // namespace marlinden
