// The opening steps every procedure's window manager takes in its Init,
// and the list column its lists share.
// Thread: the procedure's runtime thread, holding the runtime lock.
#pragma once

#include <cstdint>
#include <string>

#include "errors/Severity.h"
#include "runtime/ui/WindowDescription.h"
#include "window/WindowManager.h"

namespace marlinden {

// The stack size of a procedure started on a thread of its own (the export
// and the e-mail form).
inline constexpr std::uint32_t kProcedureStackBytes = 25000;

// Takes the caller's request into REQUEST, runs the window manager's own
// Init, then makes firstField the field selected first, routes record
// navigation through VcrRequest and messages through the program's error
// manager, and clears RequestCode and ResponseCode for this procedure's
// callees. Returns the base Init's result; nothing else is done when it
// fails.
Severity StartProcedure(WindowManager& manager, std::int32_t firstField);

// A list column of a procedure's list: its header, width in dialog units,
// a small indent, and an edge the user may drag.
runtime::ui::ListColumn ResizableColumn(std::string header, std::int32_t width);

}  // namespace marlinden
