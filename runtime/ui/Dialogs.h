// Modal questions and system requests for program code: message box, popup
// menu, file dialog, print preview, printing, cursor, beep, sound, tray icon.
// Each pushes the calling thread's windows to the backend first; the modal
// ones release the runtime lock while they wait for the user, so other
// runtime threads go on. Requires: a runtime thread holding the runtime lock
// (a call from any other thread simply goes to the backend).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/ui/Backend.h"
#include "runtime/ui/Cursor.h"
#include "runtime/ui/DialogRequests.h"
#include "runtime/ui/MessageBox.h"
#include "runtime/ui/PopupMenuText.h"

namespace runtime::ui {

// Returns the button pressed.
std::uint32_t AskMessage(const MessageBoxRequest& request);
// Shows a popup menu written in the popup-menu text format (PopupMenuText.h)
// at a position of the target window (a zero coordinate: at the mouse);
// returns the chosen item's number, 0 when dismissed. An answer that names
// no choosable item is taken as dismissed.
std::int32_t PopupMenu(std::string_view text, Point at = {});
// The same for a menu built as data: item texts are shown literally, so no
// text can add, remove or shift an item. Choosable items are numbered here
// 1, 2, ... in order, whatever numbers they carried.
std::int32_t PopupMenu(std::vector<PopupMenuItem> items, Point at = {});
// Returns the chosen path, empty when cancelled. masks: "desc|pattern|...".
std::string FileDialog(FileDialogMode mode, std::string_view title, std::string_view initialPath,
                       std::string_view masks, std::uint32_t flags);
// zoom: percent of the pages' real size, 0 for the preview's fit to width.
PreviewAnswer Preview(std::string_view title, std::vector<std::string> pages, std::int16_t zoom = 0);
bool Print(const PrintRequest& request);
void SetCursor(Cursor cursor);
void Beep(BeepKind kind = BeepKind::Default);
void PlaySound(const std::string& file);
// The request's window is filled in with the target window when empty.
bool AddTrayIcon(TrayIconRequest request);
bool DeleteTrayIcon(std::uint32_t id);

// The message-box service Program installs, so ShowMessage (used by the
// error manager) goes to the backend with the runtime lock released.
MessageBoxService& BackendMessageBoxService();
// The cursor service Program installs, so the framework's busy cursor
// (Cursor.h) reaches the backend.
CursorService& BackendCursorService();

}  // namespace runtime::ui
