// Which program the desktop uses for web pages. Call from a runtime thread;
// it runs the desktop's query programs and may block for up to their
// timeout (DesktopPrograms::queryTimeout) each.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace runtime::platform {

inline constexpr std::size_t kBrowserNameWidth = 48;

// The name of the desktop's default web browser, cut to kBrowserNameWidth
// bytes (never inside a UTF-8 character). The desktop is asked for the
// browser's desktop entry id (its default-web-browser setting, else the
// program it opens https addresses with); the name is the entry's Name when
// the entry is found in the application folders, else the program file of
// its Exec line, else the id without ".desktop". Empty when the desktop
// names none (or its queries fail or take too long).
std::string DefaultBrowser();

// --- Steps of the lookup, for tests -----------------------------------------

// The first line of a query's output when it is a plain desktop entry id
// ("firefox.desktop"): a name ending in ".desktop", without folders or
// blanks. Empty otherwise (an error text, nothing).
std::string DesktopIdFromOutput(std::string_view output);

// The program file name of a desktop entry's text: the [Desktop Entry]
// group's Exec value, its first word (quotes and backslash escapes taken
// as the desktop-entry format has them; an "env NAME=value ..." prefix
// skipped), without folders. Empty when there is no Exec value.
std::string ProgramFromDesktopEntry(std::string_view text);

// The [Desktop Entry] group's Name value, as written (not a translation);
// empty when there is none.
std::string NameFromDesktopEntry(std::string_view text);

// The path of the desktop entry with that id in one of the folders (ids of
// entries in subfolders have '-' for '/'); empty when none.
std::string FindDesktopEntry(std::string_view id, const std::vector<std::string>& applicationDirs);

}  // namespace runtime::platform
