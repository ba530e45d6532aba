#include "runtime/reports/PageImageList.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace runtime {

namespace {

// The temporary folder's parent: $TMPDIR when its names leave room for the
// page names within the list's 128 characters, else /tmp.
std::string TempParent() {
  const char* tmp = std::getenv("TMPDIR");
  if (tmp != nullptr && *tmp != '\0' && std::string(tmp).size() < 80) return tmp;
  return "/tmp";
}

}  // namespace

PageImageList::~PageImageList() {
  Clear();
  if (!folder_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
}

bool PageImageList::MakeFolder() {
  if (!folder_.empty()) return true;
  std::string pattern = TempParent() + "/mlpgXXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) return false;
  folder_ = pattern;
  return true;
}

bool PageImageList::Add(const PageImage& page) {
  if (!MakeFolder()) return false;
  char name[32];
  std::snprintf(name, sizeof name, "/p%zu.pg", ++made_);
  std::string path = folder_ + name;
  if (path.size() > kNameSize || !page.Save(path)) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    return false;
  }
  names_.push_back(std::move(path));
  return true;
}

void PageImageList::Clear() {
  for (const std::string& name : names_) {
    std::error_code ignored;
    std::filesystem::remove(name, ignored);
  }
  names_.clear();
  copies = 1;
  collate = false;
}

}  // namespace runtime
