// The page-image list: the names of a report's finished pages, each a page
// image file in a private temporary folder (mode 0700) made for this list.
// Names are short, so a full name fits the list's 128 characters. Emptying
// the list deletes its files; destroying it removes the folder too.
//
// Thread: the report's thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/reports/PageImage.h"

namespace runtime {

class PageImageList {
 public:
  static constexpr std::size_t kNameSize = 128;

  PageImageList() = default;
  ~PageImageList();
  PageImageList(const PageImageList&) = delete;
  PageImageList& operator=(const PageImageList&) = delete;

  // Writes page to a new file at the end of the list; false when the folder
  // or the file cannot be made (the page is then not listed).
  [[nodiscard]] bool Add(const PageImage& page);
  // Deletes every listed file and empties the list.
  void Clear();

  std::size_t Count() const { return names_.size(); }
  bool Empty() const { return names_.empty(); }
  const std::vector<std::string>& Names() const { return names_; }
  const std::string& Name(std::size_t index) const { return names_[index]; }

  // Copies asked of whoever prints the list (HANDLECOPIES), and whether
  // they are collated. 1 by default.
  std::int32_t copies = 1;
  bool collate = false;

 private:
  bool MakeFolder();

  std::string folder_;
  std::size_t made_ = 0;  // files made since the folder was created, for unique names
  std::vector<std::string> names_;
};

}  // namespace runtime
