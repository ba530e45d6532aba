// An INI file: "[Section]" lines and "key=value" lines below them. Section
// and key names compare without regard to ASCII letter case; values are
// returned as stored, without surrounding spaces. Lines starting with ';' or
// '#' are comments; a line without '=' is no key. With duplicate sections or
// keys the first occurrence counts.
//
// Every call reads the file afresh, so several IniFile objects (and other
// programs) may share one file. Writing keeps every other line of the file
// byte for byte, line ends included, and replaces the file atomically: a new
// file is written beside it, flushed to disk and renamed over it, so a
// failed write leaves the old file as it was. Any thread may call, one at a
// time per file (the runtime lock).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace runtime {

class IniFile {
 public:
  explicit IniFile(std::string path) : path_(std::move(path)) {}

  const std::string& Path() const { return path_; }

  // The value of key in section; fallback when the file, the section or the
  // key is missing.
  std::string Read(std::string_view section, std::string_view key, std::string_view fallback = {}) const;
  // The value as a decimal integer; fallback when it is missing or is not
  // wholly a number (so "12px", "" or "many" read as fallback).
  std::int64_t ReadInt(std::string_view section, std::string_view key, std::int64_t fallback) const;

  // Sets key in section to value, adding the key (at the end of the section)
  // or the section (at the end of the file) when missing, and creating the
  // file when it does not exist. Returns 0, BadParameter for names or values
  // that cannot be stored on one line (line breaks, '=' or '[' starting a
  // key, ']' in a section name), or the failure (AccessDenied, PathNotFound,
  // DriverFailure with errno) of a write that left the old file untouched.
  // The code is also left as the runtime's error.
  [[nodiscard]] std::int32_t Write(std::string_view section, std::string_view key, std::string_view value) const;

 private:
  std::string path_;
};

}  // namespace runtime
