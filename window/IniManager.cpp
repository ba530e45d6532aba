#include "window/IniManager.h"

#include <charconv>
#include <optional>

#include "runtime/ini/IniFile.h"
#include "runtime/ui/Backend.h"
#include "runtime/ui/Geometry.h"

namespace marlinden {

namespace {

constexpr std::size_t kFileNameWidth = 259;
constexpr std::size_t kFieldWidth = 999;

// The whole text as a decimal number within [low, high]; nullopt for
// anything else ("12px", "", "abc", out of range).
std::optional<std::int32_t> NumberIn(const std::string& text, std::int64_t low, std::int64_t high) {
  std::int64_t number = 0;
  const char* end = text.data() + text.size();
  const auto [at, error] = std::from_chars(text.data(), end, number);
  if (text.empty() || error != std::errc() || at != end) return std::nullopt;
  if (number < low || number > high) return std::nullopt;
  return static_cast<std::int32_t>(number);
}

// A window's top-left corner must lie on the positive side of the
// coordinate range: a saved negative or huge position would put it where
// the user cannot reach it.
std::optional<std::int32_t> PositionValue(const std::string& text) {
  return NumberIn(text, 0, runtime::ui::kMaxCoordinate);
}

std::optional<std::int32_t> ExtentValue(const std::string& text) { return NumberIn(text, 1, runtime::ui::kMaxExtent); }

}  // namespace

void IniManager::Init(std::string_view fileName) { FILENAME = std::string(fileName.substr(0, kFileNameWidth)); }

std::string IniManager::Fetch(std::string_view section, std::string_view key) const {
  return runtime::IniFile(FILENAME).Read(section, key);
}

std::string IniManager::FetchField(std::string_view section, std::string_view key) const {
  std::string value = runtime::IniFile(FILENAME).Read(section, key, kUnknownValue);
  if (value.size() > kFieldWidth) value.resize(kFieldWidth);
  return value;
}

std::int32_t IniManager::Update(std::string_view section, std::string_view key, std::string_view value) const {
  return runtime::IniFile(FILENAME).Write(section, key, value);
}

std::int32_t IniManager::SaveWindow(std::string_view section, const runtime::ui::Window& window,
                                    runtime::ui::Frame frame) const {
  using runtime::ui::WindowState;
  if (window.State() == WindowState::Iconised || !runtime::ui::CurrentBackend().ShowsWindows()) return 0;
  const bool maximised = window.State() == WindowState::Maximised;
  std::int32_t first = 0;
  auto write = [&](std::string_view key, std::string_view value) {
    const std::int32_t code = Update(section, key, value);
    if (first == 0) first = code;
  };
  write("Maximize", maximised ? "Yes" : "No");
  if (maximised) return first;
  const runtime::ui::Rect& rect = window.Position();
  write("XPos", std::to_string(rect.x));
  write("YPos", std::to_string(rect.y));
  if (frame == runtime::ui::Frame::Resizable) {
    write("Height", std::to_string(rect.height));
    write("Width", std::to_string(rect.width));
  }
  return first;
}

void IniManager::RestoreWindow(std::string_view section, runtime::ui::Window& window, runtime::ui::Frame frame) const {
  using runtime::ui::WindowState;
  const std::string maximize = Fetch(section, "Maximize");
  if (maximize != "Yes" && maximize != "No") return;
  const bool wantMaximised = maximize == "Yes";
  if (!wantMaximised && window.State() == WindowState::Maximised) window.SetState(WindowState::Normal);
  if (!Fetch(section, "XPos").empty()) {
    // FetchField answers kUnknownValue for a missing key, which is no number,
    // so a missing entry leaves its property alone like any other nonsense.
    runtime::ui::Rect rect = window.Position();
    if (auto x = PositionValue(FetchField(section, "XPos"))) rect.x = *x;
    if (auto y = PositionValue(FetchField(section, "YPos"))) rect.y = *y;
    if (frame == runtime::ui::Frame::Resizable) {
      if (auto width = ExtentValue(FetchField(section, "Width"))) rect.width = *width;
      if (auto height = ExtentValue(FetchField(section, "Height"))) rect.height = *height;
    }
    if (rect != window.Position()) window.SetPosition(rect);
  }
  if ((window.State() == WindowState::Maximised) != wantMaximised) {
    window.SetState(wantMaximised ? WindowState::Maximised : WindowState::Normal);
  }
}

}  // namespace marlinden
