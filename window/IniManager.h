// Settings kept in an INI file: plain values, and each window's position,
// size and maximised state in a section named after its procedure.
//
// Thread: runtime threads, holding the runtime lock (one writer per file at a
// time); the file is read afresh on every call.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/ui/Window.h"
#include "runtime/ui/WindowDescription.h"

namespace marlinden {

// What FetchField answers for a missing key.
inline constexpr std::string_view kUnknownValue = "---Unknown---";

class IniManager {
 public:
  // FILENAME = fileName, cut to 259 characters.
  void Init(std::string_view fileName);

  // The value, empty when the file, section or key is missing.
  std::string Fetch(std::string_view section, std::string_view key) const;
  // The value (at most 999 characters), kUnknownValue when missing.
  std::string FetchField(std::string_view section, std::string_view key) const;
  // Returns 0 or the runtime's error code of a failed write.
  [[nodiscard]] std::int32_t Update(std::string_view section, std::string_view key, std::string_view value) const;

  // Writes "Maximize" ("Yes"/"No") and, when not maximised, "XPos", "YPos"
  // and for a resizable frame "Height" and "Width". A minimised window
  // writes nothing. Returns 0 or the first failed write's code.
  std::int32_t SaveWindow(std::string_view section, const runtime::ui::Window& window, runtime::ui::Frame frame) const;
  // Puts the window back as SaveWindow left it. Nothing happens unless
  // "Maximize" is "Yes" or "No"; a position or size that is missing or
  // not a sensible number leaves that property as it is.
  void RestoreWindow(std::string_view section, runtime::ui::Window& window, runtime::ui::Frame frame) const;

  std::string FILENAME;
};

}  // namespace marlinden
