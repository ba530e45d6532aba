#include "runtime/ui/MessageBox.h"

#include <atomic>

namespace runtime::ui {

namespace {
std::atomic<MessageBoxService*> installed{nullptr};
}

MessageBoxService* SetMessageBoxService(MessageBoxService* service) { return installed.exchange(service); }

std::uint32_t ShowMessage(const MessageBoxRequest& request) {
  MessageBoxService* service = installed.load();
  if (service == nullptr) return request.defaultButton;
  return service->Show(request);
}

}  // namespace runtime::ui
