#include "app/SearchIndex.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <unordered_set>

#include "app/BookmarkDetails.h"
#include "app/DataFiles.h"
#include "app/FolderOrder.h"
#include "app/Globals.h"
#include "runtime/files/ScopedQuickScan.h"
#include "runtime/files/Transaction.h"
#include "runtime/system/RuntimeError.h"
#include "runtime/text/SearchWords.h"

namespace marlinden {
namespace {

// Seconds a build batch waits for another station's write lock.
constexpr int kLockWaitSeconds = 5;
// The record that says every bookmark's words are in the index: a blank
// word, which no text gives, under a number no bookmark has.
constexpr std::int64_t kCompleteMarkNumber = -1;

// Words nearly every address has: the index leaves them out (a tenth of
// its records), and a typed word that starts one of them is found by the
// test of each row instead.
constexpr std::string_view kCommonWords[] = {"com", "ftp", "http", "https", "www"};

bool Common(std::string_view word) {
  return std::find(std::begin(kCommonWords), std::end(kCommonWords), word) != std::end(kCommonWords);
}

bool StartsACommonWord(std::string_view typed) {
  return std::any_of(std::begin(kCommonWords), std::end(kCommonWords),
                     [typed](std::string_view common) { return common.starts_with(typed); });
}

// word cut to the index's width, never inside a UTF-8 character.
std::string CutWord(std::string word) {
  if (word.size() <= kSearchWordWidth) return word;
  std::size_t end = kSearchWordWidth;
  while (end > 0 && (static_cast<unsigned char>(word[end]) & 0xC0) == 0x80) --end;
  word.resize(end);
  return word;
}

runtime::RecordBuffer& Words() { return BookmarkWordsStore().Record(); }

// Positions the words file at the first entry at or after (word, number)
// in the order of key.
std::int32_t PositionWords(std::size_t key, std::string_view word, std::int64_t number) {
  runtime::RecordBuffer& record = Words();
  record.Clear();
  record.Field(WrdWord).SetText(word);
  record.Field(WrdNum).SetInteger(number);
  return BookmarkWordsStore().SetOrderAtBuffer(key);
}

// Puts the words stored for number into stored; under Replace deletes
// instead those not among words. False when a read or delete failed.
bool ReadStoredWords(std::int64_t number, const std::vector<std::string>& words, WordsWrite mode,
                     std::unordered_set<std::string>& stored) {
  runtime::DataFile& file = BookmarkWordsStore();
  runtime::RecordBuffer& record = Words();
  if (PositionWords(WrdNumKey, "", number) != runtime::NoError) return false;
  for (;;) {
    const std::int32_t read = file.Next();
    if (read == runtime::NoRecord) return true;
    if (read != runtime::NoError) return false;
    if (record.Field(WrdNum).Get().AsInteger() != number) return true;
    std::string word(record.Field(WrdWord).ClippedText());
    if (mode == WordsWrite::Replace && !std::binary_search(words.begin(), words.end(), word)) {
      if (file.Delete() != runtime::NoError) return false;
      continue;
    }
    stored.insert(std::move(word));
  }
}

bool HasCompleteMark() {
  runtime::RecordBuffer& record = Words();
  record.Clear();
  record.Field(WrdNum).SetInteger(kCompleteMarkNumber);
  return BookmarkWordsStore().Get(WrdWordKey) == runtime::NoError;
}

Severity AddCompleteMark() {
  runtime::RecordBuffer& record = Words();
  record.Clear();
  record.Field(WrdNum).SetInteger(kCompleteMarkNumber);
  return BookmarkWordsStore().Add() == runtime::NoError ? SeverityOk : SeverityNotify;
}

// The distinct bookmark numbers of the words that start with prefix,
// ascending; nothing when the index holds more than limit of those words.
std::optional<std::vector<std::int64_t>> NumbersOfPrefix(const std::string& prefix, std::size_t limit) {
  std::vector<std::int64_t> numbers;
  runtime::DataFile& file = BookmarkWordsStore();
  runtime::RecordBuffer& record = Words();
  record.Clear();
  record.Field(WrdWord).SetText(prefix);
  record.Field(WrdNum).SetLowest();
  if (file.SetOrderAtBuffer(WrdWordKey) != runtime::NoError) return std::nullopt;
  // A range read in one go, of the index alone: the driver may read ahead
  // in large batches and leave the records' other columns unread.
  (void)file.SendOption("QUICKSCAN=on");
  (void)file.SendOption("KEYSONLY=on");
  // Several words of one bookmark may share the prefix: the entries read
  // are counted against the limit, the numbers made distinct afterwards.
  std::size_t entries = 0;
  while (entries <= limit && file.Next() == runtime::NoError) {
    if (!record.Field(WrdWord).ClippedText().starts_with(prefix)) break;
    numbers.push_back(record.Field(WrdNum).Get().AsInteger());
    ++entries;
  }
  (void)file.SendOption("KEYSONLY=off");
  (void)file.SendOption("QUICKSCAN=off");
  std::sort(numbers.begin(), numbers.end());
  numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
  if (entries > limit) return std::nullopt;
  return numbers;
}

// The typed words as the index holds them, longest (most telling) first,
// without those another typed word implies (a word starting with "zurich"
// starts with "zur").
std::vector<std::string> TypedWords(std::string_view typed) {
  std::vector<std::string> words;
  for (std::string& word : runtime::SearchWords(typed)) words.push_back(CutWord(std::move(word)));
  std::sort(words.begin(), words.end(), [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
  std::vector<std::string> kept;
  for (std::string& word : words) {
    const bool implied =
        std::any_of(kept.begin(), kept.end(), [&word](const std::string& k) { return k.starts_with(word); });
    if (!implied) kept.push_back(std::move(word));
  }
  return kept;
}

// Keeps the bookmark file's buffer and position for its life.
class KeptBookmark {
 public:
  KeptBookmark() : saved_(BookmarkStoreManager->SaveFile()) {}
  ~KeptBookmark() { BookmarkStoreManager->RestoreFile(saved_); }
  KeptBookmark(const KeptBookmark&) = delete;
  KeptBookmark& operator=(const KeptBookmark&) = delete;

 private:
  std::uint16_t saved_;
};

}  // namespace

std::vector<std::string> BookmarkWords(std::string_view url, std::string_view description, std::string_view notes,
                                       const std::vector<std::string>& folder) {
  std::vector<std::string> words;
  runtime::AppendSearchWords(url, words);
  runtime::AppendSearchWords(description, words);
  runtime::AppendSearchWords(notes, words);
  for (const std::string& name : folder) runtime::AppendSearchWords(name, words);
  std::erase_if(words, [](const std::string& word) { return Common(word); });
  for (std::string& word : words) word = CutWord(std::move(word));
  std::sort(words.begin(), words.end());
  words.erase(std::unique(words.begin(), words.end()), words.end());
  return words;
}

std::vector<std::string> BufferedBookmarkWords() {
  runtime::RecordBuffer& web = BookmarkStore().Record();
  const std::int64_t number = web.Field(WebNum).Get().AsInteger();
  return BookmarkWords(web.Field(WebUrl).ClippedText(), web.Field(WebDescription).ClippedText(), web.Memo(WebNotes),
                       ReadBookmarkDetails(number).folder);
}

Severity WriteBookmarkWords(std::int64_t number, const std::vector<std::string>& words, WordsWrite mode) {
  if (BookmarkWordsStoreManager->UseFile() != SeverityOk) return SeverityNotify;
  runtime::DataFile& file = BookmarkWordsStore();
  runtime::RecordBuffer& record = Words();
  std::unordered_set<std::string> stored;
  // On a server inside a transaction the adds go with the next read or the
  // commit, which fails when one of them does.
  const runtime::ScopedQuickScan batch(file);
  if (mode != WordsWrite::New && !ReadStoredWords(number, words, mode, stored)) return SeverityNotify;
  for (const std::string& word : words) {
    if (stored.contains(word)) continue;
    record.Clear();
    record.Field(WrdWord).SetText(word);
    record.Field(WrdNum).SetInteger(number);
    if (file.Add() != runtime::NoError) return SeverityNotify;
  }
  return SeverityOk;
}

bool SearchIndexComplete() {
  if (BookmarkWordsStoreManager->UseFile() != SeverityOk) return false;
  if (HasCompleteMark()) return true;
  if (BookmarkStoreManager->UseFile() != SeverityOk || BookmarkStore().Records() != 0) return false;
  return !BookmarkWordsStore().IsReadOnly() && AddCompleteMark() == SeverityOk;
}

bool BookmarkIndexesComplete() { return SearchIndexComplete() && FolderOrderComplete(); }

SearchIndexBuild::SearchIndexBuild() : words_(!SearchIndexComplete()), order_(!FolderOrderComplete()) {
  done_ = !words_ && !order_;
}

Severity SearchIndexBuild::WriteBuffered() const {
  if (words_ && WriteBookmarkWords(BookmarkStore().Record().Field(WebNum).Get().AsInteger(), BufferedBookmarkWords(),
                                   WordsWrite::Replace) != SeverityOk) {
    return SeverityNotify;
  }
  return order_ ? WriteBufferedFolderOrder() : SeverityOk;
}

Severity SearchIndexBuild::MarkComplete() const {
  if (words_ && !HasCompleteMark() && AddCompleteMark() != SeverityOk) return SeverityNotify;
  return order_ ? MarkFolderOrderComplete() : SeverityOk;
}

Severity SearchIndexBuild::Step(std::int64_t bookmarks) {
  if (done_) return SeverityOk;
  if (BookmarkStoreManager->UseFile() != SeverityOk || BookmarkWordsStoreManager->UseFile() != SeverityOk ||
      FolderOrderStoreManager->UseFile() != SeverityOk) {
    return SeverityNotify;
  }
  if ((words_ && BookmarkWordsStoreRelations->Enlist() != SeverityOk) ||
      (order_ && FolderOrderStoreRelations->Enlist() != SeverityOk) ||
      runtime::BeginTransaction(kLockWaitSeconds) != runtime::NoError) {
    (void)runtime::RollbackTransaction();
    return SeverityNotify;
  }
  KeptBookmark kept;
  runtime::DataFile& file = BookmarkStore();
  file.Record().Clear();
  file.Record().Field(WebNum).SetInteger(next_);
  bool atEnd = file.SetOrderAtBuffer(WebNumKey) != runtime::NoError;
  std::int64_t done = 0;
  std::int64_t next = next_;
  while (!atEnd && done < bookmarks) {
    const std::int32_t read = file.Next();
    if (read == runtime::NoRecord) {
      atEnd = true;
      break;
    }
    if (read != runtime::NoError) {
      (void)runtime::RollbackTransaction();
      return SeverityNotify;
    }
    if (WriteBuffered() != SeverityOk) {
      (void)runtime::RollbackTransaction();
      return SeverityNotify;
    }
    next = file.Record().Field(WebNum).Get().AsInteger() + 1;
    ++done;
  }
  if (atEnd && MarkComplete() != SeverityOk) {
    (void)runtime::RollbackTransaction();
    return SeverityNotify;
  }
  if (runtime::CommitTransaction() != runtime::NoError) return SeverityNotify;
  next_ = next;
  indexed_ += done;
  done_ = atEnd;
  return SeverityOk;
}

FindPlan PlanFind(std::string_view typed, std::size_t candidates) {
  FindPlan plan;
  plan.words = TypedWords(typed);
  if (plan.words.empty()) return plan;
  plan.kind = FindPlan::Kind::Walk;
  if (!SearchIndexComplete()) return plan;
  for (const std::string& word : plan.words) {
    if (StartsACommonWord(word)) continue;
    std::optional<std::vector<std::int64_t>> read = NumbersOfPrefix(word, kFindWordReadLimit);
    if (!read) continue;
    std::vector<std::int64_t> numbers = std::move(*read);
    if (plan.bounded) {
      std::vector<std::int64_t> both;
      std::set_intersection(plan.numbers.begin(), plan.numbers.end(), numbers.begin(), numbers.end(),
                            std::back_inserter(both));
      numbers = std::move(both);
    }
    plan.numbers = std::move(numbers);
    plan.bounded = true;
    // Few enough to fetch: the other words are checked on each candidate
    // as it is read, cheaper than reading their entries.
    if (plan.numbers.size() <= candidates) break;
  }
  if (plan.bounded && plan.numbers.size() <= candidates) plan.kind = FindPlan::Kind::Numbers;
  return plan;
}

bool BookmarkMatches(const FindPlan& plan) {
  if (plan.kind == FindPlan::Kind::All) return true;
  if (plan.bounded) {
    const std::int64_t number = BookmarkStore().Record().Field(WebNum).Get().AsInteger();
    if (!std::binary_search(plan.numbers.begin(), plan.numbers.end(), number)) return false;
  }
  return BookmarkHasWords(plan.words);
}

bool BookmarkHasWords(const std::vector<std::string>& words) {
  runtime::RecordBuffer& web = BookmarkStore().Record();
  std::vector<std::string> own;
  runtime::AppendSearchWords(web.Field(WebUrl).ClippedText(), own);
  runtime::AppendSearchWords(web.Field(WebDescription).ClippedText(), own);
  runtime::AppendSearchWords(web.Memo(WebNotes), own);
  for (std::string& word : own) word = CutWord(std::move(word));
  if (runtime::MatchesEveryPrefix(words, own)) return true;
  // The folder names are read only when the record's own words fall short.
  for (const std::string& name : ReadBookmarkDetails(web.Field(WebNum).Get().AsInteger()).folder) {
    runtime::AppendSearchWords(name, own);
  }
  for (std::string& word : own) word = CutWord(std::move(word));
  return runtime::MatchesEveryPrefix(words, own);
}

void RelateBookmarkWords(RelationManager& bookmarks, RelationManager& words) {
  bookmarks.AddRelation(words, RiNone, RiCascade, WrdNumKey);
  (void)bookmarks.AddLinkingFields(BookmarkStore().Record().Field(WebNum), BookmarkWordsStore().Record().Field(WrdNum));
}

}  // namespace marlinden
