#include "app/BookmarkFileManager.h"

#include <array>
#include <string_view>

#include "app/BookmarkDetails.h"
#include "app/DataFiles.h"
#include "app/FolderOrder.h"
#include "app/FreshNumbers.h"
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

NewBookmarkRecords WriteNewBookmarkRecords(runtime::RecordBuffer& web, const BookmarkDetails& details) {
  const std::int64_t number = web.Field(WebNum).Get().AsInteger();
  const bool fresh = IsFreshBookmarkNumber(number);
  const NumberRecords stored = fresh ? NumberRecords::None : NumberRecords::MayExist;
  const std::string_view url = web.Field(WebUrl).ClippedText();
  const std::string_view description = web.Field(WebDescription).ClippedText();
  NewBookmarkRecords written;
  written.details = WriteBookmarkDetails(number, details, stored);
  // Without its words the bookmark could not be found, and without its
  // order record it would be missing from the folder tab.
  written.indexes = WriteBookmarkWords(number, BookmarkWords(url, description, web.Memo(WebNotes), details.folder),
                                       fresh ? WordsWrite::New : WordsWrite::Replace);
  if (written.indexes == SeverityOk) written.indexes = WriteFolderOrder(number, details.folder, description, stored);
  return written;
}

Severity BookmarkFileManager::Insert() {
  BookmarkDetails details;
  const bool given = TakeDetailsForInsert(details);
  const Severity result = FileManager::Insert();
  if (result != SeverityOk) return result;
  if (!given) details = {{}, 0, SecondsNow(), SecondsNow()};
  const NewBookmarkRecords written = WriteNewBookmarkRecords(FILE->Record(), details);
  // The caller's transaction is told when the words or order failed; a
  // bookmark added by hand keeps its insert whatever happens to its dates.
  if (written.indexes != SeverityOk) return written.indexes;
  return given ? written.details : result;
}

}  // namespace marlinden
