#include "runtime/platform/ProgramFile.h"

#include <sys/stat.h>
#include <time.h>

#include <filesystem>
#include <system_error>

#include "runtime/system/Clock.h"

namespace runtime::platform {

namespace {
constexpr const char* kSelf = "/proc/self/exe";
}

std::string ProgramFileName() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink(kSelf, error);
  if (error) return {};
  return self.filename().string();
}

std::int32_t ProgramFileDate() {
  // stat follows the link to the program file itself, wherever it lies.
  struct stat info {};
  if (::stat(kSelf, &info) != 0) return 0;
  tm local{};
  if (::localtime_r(&info.st_mtim.tv_sec, &local) == nullptr) return 0;
  return DateFromCivil(local.tm_year + 1900, static_cast<std::uint32_t>(local.tm_mon + 1),
                       static_cast<std::uint32_t>(local.tm_mday));
}

}  // namespace runtime::platform
