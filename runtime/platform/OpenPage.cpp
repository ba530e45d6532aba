#include "runtime/platform/OpenPage.h"

#include <string>

#include "runtime/platform/ChildProcess.h"
#include "runtime/platform/DesktopPrograms.h"
#include "runtime/text/FixedText.h"

namespace runtime::platform {

void OpenPage(std::string_view address) {
  address = address.substr(0, address.find('\0'));
  address = Clip(address);
  if (address.empty()) return;
  (void)StartProgram(CurrentDesktopPrograms().opener, {std::string(address)});
}

}  // namespace runtime::platform
