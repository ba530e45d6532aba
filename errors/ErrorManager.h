// The error manager: a list of numbered messages (title, text with
// placeholders, severity). A caller raises a message by id; the manager fills
// the placeholders, shows the message according to its severity and returns
// a severity that tells the caller how to go on. Used from every runtime
// thread under the runtime lock.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "errors/MessageIds.h"
#include "errors/Severity.h"
#include "runtime/queue/Queue.h"

namespace marlinden {

// The built-in message blocks, packed as AddMessages expects them: the
// framework's default table, and the messages this program added to it.
std::span<const std::uint8_t> DefaultMessages();
std::span<const std::uint8_t> FurtherMessages();

class ErrorManager {
 public:
  // One row of the message list. The texts point into the block the row was
  // loaded from, so a block must outlive the manager.
  struct MessageEntry {
    std::uint16_t ID = 0;
    std::string_view MESSAGE;
    std::string_view TITLE;
    std::uint8_t FATALITY = 0;
  };

  virtual ~ErrorManager() = default;

  // Creates the message list and loads DefaultMessages and FurtherMessages.
  void Init();
  // Disposes the message list; a second call does nothing.
  void Kill();

  // Appends one entry per row of a packed block (a 16-bit little-endian row
  // count, then per row: id 16-bit LE, severity byte, title length byte,
  // title, text length byte, text). A block that is cut short is loaded up to
  // its last whole row. A row whose id already exists shadows the older one.
  virtual void AddMessages(std::span<const std::uint8_t> block);

  // Makes the newest row with that id current; false when there is none.
  bool FindMessage(std::uint16_t id);

  // Values of "%File" and "%Field": clipped, at most 255 bytes.
  void SetFileName(std::string_view name);
  void SetFieldName(std::string_view name);

  // Copies the runtime's current error state into the SAVE* fields.
  void CaptureErrors();

  // Raise, RaiseMessage and HandleError return the severity the shown
  // message leads to. An id that is not in the list shows nothing and
  // returns SeverityNotify: the operation failed, the program goes on.
  Severity Raise(std::uint16_t id);
  // Sets the value of "%Message" (clipped, at most 255 bytes), then Raise.
  Severity RaiseMessage(std::uint16_t id, std::string_view text);
  // Finds the row and dispatches on its severity; does not capture errors.
  Severity HandleError(std::uint16_t id);
  // Asks the row's formatted text with the caller's buttons; returns the
  // button pressed. Ignores the row's severity. An id that is not in the list
  // shows nothing and returns defaultButton.
  std::uint32_t Ask(std::uint16_t id, std::uint32_t buttons, std::uint32_t defaultButton);

  // The current row's text with its placeholders filled (at most 2,000 bytes;
  // "" when no row is current). Inserted values are never scanned again, so
  // a file name or message holding a placeholder name is shown as it is.
  std::string FormatMessage();

  // Read access for callers and tests.
  const runtime::Queue<MessageEntry>& Messages() const { return ERRORS; }
  const std::string& FileName() const { return FILENAME; }
  const std::string& MessageText() const { return MESSAGETEXT; }
  std::int32_t SavedErrorCode() const { return SAVEERRORCODE; }

 protected:
  virtual Severity HandleOk();
  virtual Severity HandleFatal();
  virtual Severity HandleNotify();
  virtual Severity HandleOther();
  virtual Severity HandleProgram();
  virtual Severity HandleUser();

  // The row FindMessage made current; nullptr when there is none.
  const MessageEntry* Current() const;

 private:
  runtime::Queue<MessageEntry> ERRORS;
  std::string FIELDNAME;
  std::string FILENAME;
  std::string MESSAGETEXT;
  std::string SAVEERROR;
  std::int32_t SAVEERRORCODE = 0;
  std::string SAVEFILEERROR;
  std::string SAVEFILEERRORCODE;
  std::size_t current_ = 0;  // position of the current row in ERRORS, 0 = none
};

}  // namespace marlinden
