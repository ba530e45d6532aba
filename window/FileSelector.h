// A file chosen by the user through the runtime's file dialog, with a
// default directory and file, a list of file-type masks and a title; the
// current directory can be kept as it was.
//
// Thread: a runtime thread holding the runtime lock (the dialog releases it
// while the user chooses). The current directory is the process's.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace marlinden {

// Option bits of FileSelector::FLAGS.
enum FileSelectorFlag : std::uint8_t {
  SelectorSave = 0x01,           // a save dialog instead of an open dialog
  SelectorKeepDirectory = 0x02,  // the dialog must not change the current directory
  SelectorLongNames = 0x10,      // long file names (always so on this platform)
  SelectorDirectory = 0x80,      // choose a directory
};

enum class KeepDirectory : std::uint8_t { No, Yes };

class FileSelector {
 public:
  // PWINDOWTITLE = "Select A File", FLAGS = 0.
  void Init();
  // The mask list becomes the one pair "description|pattern".
  void SetMask(std::string_view description, std::string_view pattern);
  // Appends "description|pattern" to the mask list (at most 254 characters).
  void AddMask(std::string_view description, std::string_view pattern);
  // Shows the dialog in DEFAULTDIRECTORY (when set: it is also the current
  // directory meanwhile, and the dialog is asked to start there) proposing
  // DEFAULTFILE;
  // returns the chosen path, empty when the user cancelled. With
  // KeepDirectory::Yes the current directory is the same afterwards.
  std::string Ask(KeepDirectory keep);

  std::string DEFAULTDIRECTORY;  // empty = the current directory
  std::string DEFAULTFILE;
  std::uint8_t FLAGS = 0;  // FileSelectorFlag bits
  std::string MASKSTRING;  // "description|pattern|description|pattern..."
  std::string SAVEPATH;    // the current directory kept during Ask
  std::string PWINDOWTITLE;
};

}  // namespace marlinden
