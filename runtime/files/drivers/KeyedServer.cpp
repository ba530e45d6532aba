#include "runtime/files/drivers/KeyedServer.h"

#include <libpq-fe.h>

#include <memory>
#include <mutex>
#include <utility>

namespace runtime {

namespace {
std::mutex& SettingMutex() {
  static std::mutex mutex;
  return mutex;
}
std::string& Setting() {
  static std::string setting;
  return setting;
}

std::function<void()>& CreationHook() {
  static std::function<void()> hook;
  return hook;
}

struct OptionsFree {
  void operator()(PQconninfoOption* options) const { PQconninfoFree(options); }
};
}  // namespace

void SetKeyedServer(std::string connection) {
  const std::lock_guard lock(SettingMutex());
  Setting() = std::move(connection);
}

std::string KeyedServer() {
  const std::lock_guard lock(SettingMutex());
  return Setting();
}

void SetCreationHook(std::function<void()> hook) {
  const std::lock_guard lock(SettingMutex());
  CreationHook() = std::move(hook);
}

std::function<void()> TakeCreationHook() {
  const std::lock_guard lock(SettingMutex());
  return std::exchange(CreationHook(), {});
}

std::string ServerConnectionString(std::string_view connection) {
  if (connection.find('=') == std::string_view::npos && connection.find("://") == std::string_view::npos &&
      connection.find(' ') == std::string_view::npos && !connection.empty()) {
    return "service=" + std::string(connection);
  }
  return std::string(connection);
}

std::string RedactedConnection(std::string_view connection) {
  char* error = nullptr;
  const std::unique_ptr<PQconninfoOption, OptionsFree> options(
      PQconninfoParse(ServerConnectionString(connection).c_str(), &error));
  PQfreemem(error);
  if (!options) return "(a connection string that cannot be read)";
  std::string shown;
  for (const PQconninfoOption* option = options.get(); option->keyword != nullptr; ++option) {
    const std::string_view keyword = option->keyword;
    if (option->val == nullptr || *option->val == '\0') continue;
    if (keyword != "host" && keyword != "hostaddr" && keyword != "port" && keyword != "dbname" && keyword != "user" &&
        keyword != "service") {
      continue;
    }
    if (!shown.empty()) shown += ' ';
    shown += std::string(keyword) + "=" + option->val;
  }
  return shown.empty() ? "(the default server)" : shown;
}

}  // namespace runtime
