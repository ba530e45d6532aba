// Key codes: the runtime's own numbering of keys and mouse buttons, as
// backends report them with an event and as alert keys name them. A key code
// is a base key with modifier bits or'ed in (Ctrl+Enter = Ctrl | Enter).
// Plain values; any thread.
#pragma once

#include <cstdint>

namespace runtime::ui {

enum class KeyCode : std::uint32_t {
  None = 0,
  // Base keys. Letters and digits are their upper-case ASCII codes ('A' =
  // 0x41, '0' = 0x30); use Letter() and Digit() below.
  Backspace = 0x08,
  Tab = 0x09,
  Enter = 0x0D,
  Esc = 0x1B,
  Space = 0x20,
  PageUp = 0x21,
  PageDown = 0x22,
  End = 0x23,
  Home = 0x24,
  Left = 0x25,
  Up = 0x26,
  Right = 0x27,
  Down = 0x28,
  Insert = 0x2D,
  Delete = 0x2E,
  F1 = 0x70,  // F1..F12 are 0x70..0x7B
  F2 = 0x71,
  F12 = 0x7B,
  // Mouse buttons, reported like keys.
  MouseLeft = 0x1001,
  MouseLeftDouble = 0x1002,
  MouseRightDown = 0x1003,
  MouseRightUp = 0x1004,
  MouseRightDouble = 0x1005,
  MouseCentre = 0x1006,
  // A left click on a list's column header; the column comes with it.
  MouseHeader = 0x1007,
  // A key that typed a character without a code of its own ('.', 'é'); the
  // character comes with it (LastKeyText).
  Character = 0x1100,
  // Modifier bits.
  Shift = 0x10000,
  Ctrl = 0x20000,
  Alt = 0x40000,
  // Combinations in use.
  ShiftTab = Shift | Tab,
  CtrlEnter = Ctrl | Enter,
};

inline constexpr std::uint32_t kModifierMask = 0x70000;

constexpr KeyCode operator|(KeyCode a, KeyCode b) {
  return static_cast<KeyCode>(static_cast<std::uint32_t>(a) | static_cast<std::uint32_t>(b));
}
constexpr KeyCode BaseKey(KeyCode key) {
  return static_cast<KeyCode>(static_cast<std::uint32_t>(key) & ~kModifierMask);
}
constexpr KeyCode Letter(char upper) { return static_cast<KeyCode>(static_cast<unsigned char>(upper)); }
constexpr KeyCode Digit(int digit) { return static_cast<KeyCode>(0x30 + digit); }
constexpr bool IsRightMouse(KeyCode key) {
  return key == KeyCode::MouseRightDown || key == KeyCode::MouseRightUp || key == KeyCode::MouseRightDouble;
}

}  // namespace runtime::ui
