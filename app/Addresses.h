// The web addresses the program offers the user besides the bookmarks: the
// maker's home page (About window, tray menu) and a web search portal
// (tray menu). Kept in one place so they are changed together.
#pragma once

namespace marlinden {

inline constexpr const char* kMakerHomePage = "https://marlinden.example/";
inline constexpr const char* kSearchPortal = "https://search.marlinden.example/";

}  // namespace marlinden
