#include "app/BookmarkFileManager.h"

#include <array>
#include <string_view>

#include "app/BookmarkDetails.h"
#include "app/DataFiles.h"
#include "app/FolderOrder.h"
#include "app/SearchIndex.h"

namespace marlinden {
namespace {

constexpr std::string_view kBlankUrlTitle = "Web Address Required";
constexpr std::string_view kBlankUrlText = "A bookmark needs its web address (URL).";

// The message as a packed block of one row (see ErrorManager::AddMessages).
constexpr auto kBlankUrlBlock = [] {
  std::array<std::uint8_t, 2 + 3 + 1 + kBlankUrlTitle.size() + 1 + kBlankUrlText.size()> block{};
  std::size_t n = 0;
  block[n++] = 1;
  block[n++] = 0;
  block[n++] = kMsgBlankUrl & 0xFF;
  block[n++] = kMsgBlankUrl >> 8;
  block[n++] = SeverityNotify;
  block[n++] = static_cast<std::uint8_t>(kBlankUrlTitle.size());
  for (char c : kBlankUrlTitle) block[n++] = static_cast<std::uint8_t>(c);
  block[n++] = static_cast<std::uint8_t>(kBlankUrlText.size());
  for (char c : kBlankUrlText) block[n++] = static_cast<std::uint8_t>(c);
  return block;
}();

}  // namespace

void AddBookmarkMessages(ErrorManager& errors) { errors.AddMessages(kBlankUrlBlock); }

Severity BookmarkFileManager::ValidateField(std::size_t fieldNumber) {
  if (fieldNumber == WebUrl && FILE->Record().Field(WebUrl).ClippedText().empty()) {
    if (ERRORS != nullptr) (void)ERRORS->Raise(kMsgBlankUrl);
    return SeverityNotify;
  }
  return FileManager::ValidateField(fieldNumber);
}

Severity BookmarkFileManager::Insert() {
  BookmarkDetails details;
  const bool given = TakeDetailsForInsert(details);
  const Severity result = FileManager::Insert();
  if (result != SeverityOk) return result;
  if (!given) details = {{}, 0, SecondsNow(), SecondsNow()};
  runtime::RecordBuffer& web = FILE->Record();
  const std::int64_t number = web.Field(WebNum).Get().AsInteger();
  const Severity written = WriteBookmarkDetails(number, details);
  // Without its words the bookmark could not be found: the caller's
  // transaction is told, like a failed details record.
  const Severity words =
      WriteBookmarkWords(number,
                         BookmarkWords(web.Field(WebUrl).ClippedText(), web.Field(WebDescription).ClippedText(),
                                       web.Memo(WebNotes), details.folder),
                         WordsWrite::Replace);
  if (words != SeverityOk) return words;
  // Without its order record the bookmark would be missing from the folder tab.
  const Severity order = WriteFolderOrder(number, details.folder, web.Field(WebDescription).ClippedText());
  if (order != SeverityOk) return order;
  return given ? written : result;
}

}  // namespace marlinden
