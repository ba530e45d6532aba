// Bookmarks that name one page under different spellings (SamePageKey):
// finding their groups in a collection of any size, and merging a group
// into the one bookmark kept. Call under the runtime lock with the bookmark
// files open (BookmarkStoreRelations).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace marlinden {

struct DuplicateBookmark {
  std::int64_t number = 0;
  std::string url;
  std::string description;
  std::uint32_t added = 0;  // seconds since 1970; 0 = unknown
};

// Two or more bookmarks of one page, the oldest first (by date added, an
// unknown date after every known one, then by number).
using DuplicateGroup = std::vector<DuplicateBookmark>;

// Bookmarks a step of the finding reads in order, at most: a few
// hundredths of a second, so a progress window answers between steps.
inline constexpr std::size_t kDuplicateStepBookmarks = 8000;

// The progress window's text line, and the command-line companion's bar's.
inline constexpr const char* kFindingDuplicatesLine = "Finding Duplicates";

// The finding of every group, a step at a time. The first pass reads the
// bookmarks in address order keeping a hash of each one's page, its place
// and its number; then, sorted by hash, only bookmarks whose hashes meet are
// read again and their whole keys compared. The bookmark file's position is
// the finder's from its first step to its last.
class DuplicateFinder {
 public:
  explicit DuplicateFinder(std::size_t bookmarksPerStep = kDuplicateStepBookmarks)
      : perStep_(std::max<std::size_t>(bookmarksPerStep, 1)) {}

  // Reads up to bookmarksPerStep bookmarks in order, or sorts what the
  // first pass kept, or reads an eighth as many again by number (each costs
  // about eight read in order); a run of equal hashes is read again whole.
  // A read that fails ends the first pass, as the end of the file does.
  void Step();
  bool Done() const { return phase_ == Phase::Done; }
  // How far the finding is, 0 to 100: the first pass counts for the first
  // 90, the reading again for the rest.
  int Percent() const;
  // Every group found, in the address order of their first bookmarks.
  // Requires: Done().
  std::vector<DuplicateGroup> TakeGroups();

 private:
  enum class Phase : std::uint8_t { Start, Reading, Sorting, Comparing, Done };
  // A bookmark of the first pass: its page's hash, its place in address
  // order and its number (a bookmark's number is a 32-bit field).
  struct Seen {
    std::uint64_t hash = 0;
    std::uint32_t rank = 0;
    std::int32_t number = 0;
  };
  static_assert(sizeof(Seen) == 16, "the first pass keeps 16 bytes a bookmark");

  void Read();
  void Sort();
  void Compare();
  // Reads the bookmarks of seen_[from, to), whose hashes are equal, and
  // keeps those that name one page as a group.
  void CompareRun(std::size_t from, std::size_t to);

  const std::size_t perStep_;
  Phase phase_ = Phase::Start;
  std::vector<Seen> seen_;
  std::int64_t expected_ = 0;  // the bookmarks the file held at the start
  std::size_t colliding_ = 0;  // bookmarks whose hash another one has
  std::size_t compared_ = 0;   // of them, read again so far
  std::size_t next_ = 0;       // while comparing: the start of the next run in seen_
  // Groups by the rank of their first bookmark in address order.
  std::map<std::size_t, DuplicateGroup> groups_;
};

// Every group of the collection, in one go through a DuplicateFinder; each
// change of its percentage is told to TellBatchProgress.
std::vector<DuplicateGroup> FindDuplicateGroups(std::size_t bookmarksPerStep = kDuplicateStepBookmarks);

// What a merge did: the bookmarks deleted, and those left because their
// notes do not fit beside the kept one's (or they changed meanwhile).
struct MergeOutcome {
  std::size_t merged = 0;
  std::size_t left = 0;
  bool failed = false;  // a change could not be saved (the managers said why)
};

// Keeps group[keep], appends the notes of the others it does not hold yet
// (each after an empty line, whole or not at all), keeps its own folder,
// and deletes the others with their details. The kept bookmark is saved
// before any other is deleted, so a failure part-way loses nothing.
MergeOutcome MergeDuplicates(const DuplicateGroup& group, std::size_t keep);

// How many bookmarks numbered above highestBefore (an import's) name a page
// that a bookmark numbered up to it names under another spelling. Keeps a
// hash per bookmark.
std::int64_t CountLookAlikes(std::int64_t highestBefore);

}  // namespace marlinden
