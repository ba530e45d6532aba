// The runtime's message-box service: a caption, a text, an icon, a set of
// buttons and a default button; returns the button pressed. The service in
// use is installed once by the backend (headless for tests, the GUI backend
// for the program). Called from runtime threads under the runtime lock.
#pragma once

#include <cstdint>
#include <string>

namespace runtime::ui {

// Stock icons, numbered as the platform's stock icon resources.
enum class Icon : std::uint32_t {
  None = 0,
  Hand = 32513,
  Question = 32514,
  Exclamation = 32515,
  Asterisk = 32516,
};

// Buttons; a button set is a bitwise or of them.
enum Button : std::uint32_t {
  ButtonOk = 1,
  ButtonYes = 2,
  ButtonNo = 4,
  ButtonAbort = 8,
  ButtonRetry = 16,
  ButtonIgnore = 32,
  ButtonCancel = 64,
  ButtonHelp = 128,
};

struct MessageBoxRequest {
  std::string caption;
  std::string text;
  Icon icon = Icon::None;
  std::uint32_t buttons = ButtonOk;
  std::uint32_t defaultButton = ButtonOk;
};

class MessageBoxService {
 public:
  virtual ~MessageBoxService() = default;
  // Shows the box and returns the button pressed (one bit of buttons).
  virtual std::uint32_t Show(const MessageBoxRequest& request) = 0;
};

// Installs the service (borrowed; it must outlive its use). Returns the
// previous one.
MessageBoxService* SetMessageBoxService(MessageBoxService* service);

// Shows a message box through the installed service. With no service
// installed the default button is returned, so nothing ever blocks unseen.
std::uint32_t ShowMessage(const MessageBoxRequest& request);

}  // namespace runtime::ui
