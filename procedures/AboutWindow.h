// The About window: the program's name, version, build date and maker, the
// desktop's default web browser, a fanfare, and links to the maker's home
// page. Runs modally on the calling runtime thread, holding the runtime lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "errors/Severity.h"
#include "runtime/ui/WindowDescription.h"
#include "window/WindowManager.h"

namespace marlinden {

// The window's controls, numbered in declaration order.
enum AboutControl : std::int32_t {
  AboutOkButton = 1,
  AboutMakerButton,
  AboutTitle,
  AboutBuildPrompt,
  AboutVersion,
  AboutBuildDate,
  AboutWrittenBy,
  AboutMaker,
  AboutMakerLink,
  AboutBrowserPrompt,
  AboutBrowser,
};

inline constexpr const char* kNoDefaultBrowser = "No default browser";
inline constexpr const char* kAboutSound = "Fanfare2.wav";
// Created in the current directory while the default browser is looked up,
// then removed; a file of that name that already exists is left alone.
inline constexpr const char* kBrowserProbeFile = "x.htm";

runtime::ui::WindowDescription AboutWindowDescription();

// A date as the About window shows it ("mm.dd.yy"); empty for no date (0).
std::string FormatBuildDate(std::int32_t date);

class AboutWindow : public WindowManager {
 public:
  Severity Init() override;
  Severity Kill() override;
  Severity TakeAccepted() override;
  // Escape closes the window as OK does.

 private:
  // The text of the browser line: the default browser's name,
  // kNoDefaultBrowser when the desktop names none, or empty when the probe
  // file could not be created.
  static std::string DefaultBrowserLine();
  void CloseAndOpenMakerPage();
};

// The About procedure: runs the window; leaves its result in ResponseCode.
void About();

}  // namespace marlinden
