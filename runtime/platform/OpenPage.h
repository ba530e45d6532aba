// Opening an address (a web page, an FTP site, a file) in the program the
// desktop associates with it. Any thread.
#pragma once

#include <string_view>

namespace runtime::platform {

// Hands the address, without its trailing spaces, to the desktop's opener
// (DesktopPrograms::opener) as its one and only argument, without a shell:
// spaces, quotes, semicolons, "$(...)" or back quotes in it are just text
// and never run anything. The text ends at a NUL byte, which no argument can
// hold. An empty address opens nothing. An address starting with '-' is
// still passed unchanged and alone; the standard opener takes no "--", so it
// refuses such an argument as an unknown option (or prints its help or
// version text for "--help", "--version") and opens nothing. Whether the
// page opens is not reported, as the user sees it; the opener is reaped in
// the background.
void OpenPage(std::string_view address);

}  // namespace runtime::platform
