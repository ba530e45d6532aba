// The find's index of the bookmarks' words, kept in the words file
// (BookmarkWordsStore, DataFiles.h): the words of a bookmark's address,
// description, notes and folder names (runtime/text/SearchWords.h), each
// once. Whatever adds or changes a bookmark writes its words in the same
// transaction as the bookmark, before the bookmark commits; a deleted
// bookmark's words go with it. So the index holds at least every stored
// bookmark's words: a find takes what the index gives as candidates and
// keeps those whose own words still match.
//
// A collection made before the index has none: the index then counts as
// incomplete until SearchIndexBuild has gone through every bookmark, and
// a find meanwhile tests the bookmarks themselves (FindPlan::Walk).
// Call under the runtime lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "data/RelationManager.h"
#include "errors/Severity.h"

namespace marlinden {

// Candidates a find fetches and orders itself at most; with more, the
// list's own order is walked and each row tested.
inline constexpr std::size_t kFindCandidates = 2000;
// Bookmarks the index is read for one typed word at most; a word with more
// only narrows by the test of each row. The entries are read from the
// index alone (KEYSONLY), under a microsecond each.
inline constexpr std::size_t kFindWordReadLimit = 50000;

// The words of a bookmark the index keeps, each once, each cut to the
// index's width: all but a few that nearly every address has ("https",
// "www", "com", ...), which the find looks for by testing each row.
std::vector<std::string> BookmarkWords(std::string_view url, std::string_view description, std::string_view notes,
                                       const std::vector<std::string>& folder);
// The words of the bookmark in the bookmark file's buffer, with the folder
// names stored for its number.
std::vector<std::string> BufferedBookmarkWords();

// How WriteBookmarkWords treats the words stored for the number before.
enum class WordsWrite : std::uint8_t {
  Replace,  // the words become exactly these
  AddOnly,  // these are added; the others stay (before a change commits)
  New,      // none are stored (a fresh number, FreshNumbers.h): added without reading
};
// Writes the words of bookmark number. Quiet: SeverityNotify when it failed.
Severity WriteBookmarkWords(std::int64_t number, const std::vector<std::string>& words, WordsWrite mode);

// Whether every bookmark's words are in the index. A collection without
// bookmarks and without a word is marked complete here.
bool SearchIndexComplete();

// Whether the find's index and the folder order (FolderOrder.h) both hold
// every bookmark.
bool BookmarkIndexesComplete();

// Builds what a collection made before them lacks of the find's index and
// the folder order, a batch at a time, each batch one transaction on the
// files it writes; the bookmark file's buffer and position are kept.
class SearchIndexBuild {
 public:
  SearchIndexBuild();
  // Indexes up to bookmarks more bookmarks in number order. SeverityOk
  // while it goes on or when done; anything else: the batch was rolled back.
  Severity Step(std::int64_t bookmarks);
  bool Done() const { return done_; }
  std::int64_t Indexed() const { return indexed_; }

 private:
  // The records of the bookmark in the bookmark file's buffer.
  Severity WriteBuffered() const;
  Severity MarkComplete() const;

  bool words_;             // the words' index is built
  bool order_;             // the folder order is built
  std::int64_t next_ = 0;  // the lowest bookmark number not yet indexed
  std::int64_t indexed_ = 0;
  bool done_ = false;
};

// What a find has to do for the words typed.
struct FindPlan {
  enum class Kind : std::uint8_t {
    All,      // no word typed: every bookmark
    Numbers,  // the candidates in numbers, few enough to fetch and order
    Walk,     // too many candidates: the list's order is walked
  };
  Kind kind = Kind::All;
  std::vector<std::string> words;  // the typed words, folded, cut and without those implied by others
  // Ascending: the bookmarks the index has the words read for, when some
  // typed word has few enough entries to read (bounded). A candidate is a match
  // when its own words still match (BookmarkMatches).
  std::vector<std::int64_t> numbers;
  bool bounded = false;
};

// Plans the find of typed: the index is read for the typed words, longest
// first, that have at most kFindWordReadLimit entries, and the candidates
// are those all of them give, until they are at most candidates: those are
// fetched (Numbers); with more, the list is walked (Walk). The bookmark
// file's buffer and position are kept.
FindPlan PlanFind(std::string_view typed, std::size_t candidates = kFindCandidates);

// Whether the bookmark in the bookmark file's buffer is one plan finds:
// among its candidates when it has them, and with every one of its words
// as the start of one of the bookmark's words.
bool BookmarkMatches(const FindPlan& plan);

// Whether the bookmark in the bookmark file's buffer has every one of words
// (FindPlan::words) as the start of one of its words.
bool BookmarkHasWords(const std::vector<std::string>& words);

// Relates the words file to the bookmarks: opened and closed with them, a
// bookmark's words deleted with it.
void RelateBookmarkWords(RelationManager& bookmarks, RelationManager& words);

}  // namespace marlinden
