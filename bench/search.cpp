// The find as the main window runs it, at 10,000 and 1,000,000 bookmarks:
// the words of the box planned and the first page of the address tab read
// through the narrowing file and a view, as one key in the find box does.
// The collections are imported from the bookmark generator's files through
// the real import (which keeps the index), and each gets the same 25
// bookmarks of words the generator never writes, the rare words the user
// looks for; two words the generator writes often are timed as well.
//
// Prints `NAME VALUE UNIT ratio R`:
//   key_<words>_1m  one key at 1,000,000 over the same key at 10,000 (the
//                   goal: at most 2 for the rare words, key_quokka_reykjavik);
//   slice_<words>_1m  the thumb's first counting slice the main window's
//                   list reads after that key (4,096 rows, 32 while the
//                   find walks the order), at 1,000,000 over 10,000;
//   scan_1m         testing every bookmark of 1,000,000 for the rare words,
//                   over the find of them through the index (what a find
//                   without the index would cost).
// Each figure is the median of 7 runs.
//
// Usage: search DATA_FOLDER GENERATOR.py
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "app/BookmarkDetails.h"
#include "app/DataFiles.h"
#include "app/FoundBookmarks.h"
#include "app/Globals.h"
#include "app/SearchIndex.h"
#include "app/StartUp.h"
#include "procedures/ImportProcess.h"
#include "procedures/MainFind.h"
#include "runtime/headless/HeadlessBackend.h"
#include "runtime/system/RuntimeError.h"
#include "runtime/ui/Program.h"
#include "runtime/views/View.h"
#include "window/BrowseManager.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRuns = 7;
constexpr int kPageRows = 20;
constexpr int kNeedles = 25;

double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void Print(const std::string& name, double value, const char* unit, double ratio) {
  std::printf("%s %.6f %s ratio %.2f\n", name.c_str(), value, unit, ratio);
}

void RunHeadless(const std::function<void()>& body) {
  runtime::ui::HeadlessBackend backend;
  backend.MessageBoxes().OnUnscripted([](const runtime::ui::MessageBoxRequest& request) {
    std::cerr << request.caption << ": " << request.text << "\n";
  });
  runtime::ui::Program program(backend);
  if (!program.Start([&] { (void)marlinden::RunProgram(body); })) std::exit(1);
  program.WaitForEnd();
}

// Imports links generated bookmarks into folder.
void Create(const std::filesystem::path& folder, const std::string& generator, int links) {
  std::filesystem::create_directories(folder);
  std::filesystem::current_path(folder);
  const std::string html = (folder / "bookmarks.html").string();
  const std::string command = "python3 " + generator + " " + std::to_string(links) + " -o " + html + " 2>/dev/null";
  if (std::system(command.c_str()) != 0) std::exit(1);
  RunHeadless([&] { marlinden::ImportProcess(html); });
  std::filesystem::remove(html);
}

// Adds the needles to the collection in folder unless it has them: words
// the generator never writes, in the address, the description and a folder.
void AddNeedles(const std::filesystem::path& folder) {
  std::filesystem::current_path(folder);
  RunHeadless([] {
    using namespace marlinden;
    if (BookmarkStoreRelations->Open() != SeverityOk) std::exit(1);
    if (PlanFind("quokka").numbers.empty()) {
      BookmarkFilesTransaction batch(CommitOrder::DetailsFirst);
      for (int i = 0; i < kNeedles; ++i) {
        DetailsForNextInsert({{"Reisen", "\u00CDsland"}, 0, 1, 1});
        runtime::RecordBuffer& web = BookmarkStore().Record();
        web.Clear();
        web.Field(WebUrl).SetText("https://quokka.example.is/guide/" + std::to_string(i));
        web.Field(WebDescription).SetText("Quokka caf\u00E9s of Reykjav\u00EDk, part " + std::to_string(i));
        if (BookmarkStoreManager->Insert() != SeverityOk) std::exit(1);
      }
      if (!batch.Commit()) std::exit(1);
    }
    (void)BookmarkStoreRelations->Close();
  });
}

struct Timing {
  std::vector<double> keys;    // per typed text
  std::vector<double> slices;  // the thumb's first counting slice after it
  double scan = 0;
  std::int64_t bookmarks = 0;
};

// One key: plan the words and read the address tab's first page.
double Key(marlinden::FoundBookmarks& found, runtime::View& view, const std::string& typed) {
  const auto start = Clock::now();
  found.SetTyped(typed);
  found.Replan();
  if (view.Reset() != runtime::NoError) std::exit(1);
  for (int row = 0; row < kPageRows && view.Next() == runtime::NoError; ++row) {
  }
  return Seconds(start);
}

Timing Measure(const std::filesystem::path& folder, const std::vector<std::string>& typed) {
  std::filesystem::current_path(folder);
  Timing timing;
  RunHeadless([&] {
    using namespace marlinden;
    if (BookmarkStoreRelations->Open() != SeverityOk) std::exit(1);
    timing.bookmarks = BookmarkStore().Records();
    FoundBookmarks found(BookmarkStore());
    runtime::View view(found);
    if (view.Open(runtime::AccessRead | runtime::ShareDenyNone) != runtime::NoError) std::exit(1);
    if (view.SetOrder(BookmarkStoreManager->KeyOrderText(WebNameKey, 1)) != runtime::NoError) std::exit(1);
    (void)Key(found, view, typed.front());  // warms the caches as a first key would
    for (const std::string& text : typed) {
      std::vector<double> runs;
      std::vector<double> slices;
      for (int run = 0; run < kRuns; ++run) {
        runs.push_back(Key(found, view, text));
        // The main window's list counts its rows next, a slice per event.
        const std::int64_t rows = found.Plan().kind == FindPlan::Kind::Walk ? kWalkRankSliceRows : kRankSliceRows;
        const auto start = Clock::now();
        for (std::int64_t row = 0; row < rows && view.Next() == runtime::NoError; ++row) {
        }
        slices.push_back(Seconds(start));
      }
      timing.keys.push_back(Median(runs));
      timing.slices.push_back(Median(slices));
    }
    // What a find without the index does: every bookmark tested.
    const FindPlan plan = PlanFind(typed.back());
    std::vector<double> scans;
    for (int run = 0; run < 3; ++run) {
      const auto start = Clock::now();
      std::int64_t matches = 0;
      runtime::DataFile& file = BookmarkStore();
      (void)file.SetOrder(WebNameKey);
      while (file.Next() == runtime::NoError) matches += BookmarkHasWords(plan.words) ? 1 : 0;
      scans.push_back(Seconds(start));
      if (matches != kNeedles) std::cerr << "search: the scan found " << matches << "\n";
    }
    timing.scan = Median(scans);
    (void)view.Close();
    (void)BookmarkStoreRelations->Close();
  });
  return timing;
}

std::string Tag(const std::string& typed) {
  std::string tag;
  for (char c : typed) tag += c == ' ' ? '_' : c;
  return tag;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: search DATA_FOLDER GENERATOR.py\n";
    return 2;
  }
  const std::filesystem::path data = std::filesystem::absolute(argv[1]);
  const std::string generator = std::filesystem::absolute(argv[2]).string();
  // Two words the generator writes often, then the keys of the rare words
  // as they are typed, the last one the goal's.
  const std::vector<std::string> typed = {"zurich",      "zurich cafe",     "q", "qu", "quo", "quokka", "quokka r",
                                          "quokka reyk", "quokka reykjavik"};
  std::vector<Timing> timings;
  for (const int links : {10'000, 1'000'000}) {
    const std::filesystem::path folder = data / ("SEARCH" + std::to_string(links));
    if (!std::filesystem::exists(folder / "WORDS.db")) {
      std::cerr << "search: creating " << links << " bookmarks\n";
      Create(folder, generator, links);
    }
    AddNeedles(folder);
    timings.push_back(Measure(folder, typed));
  }
  const Timing& small = timings[0];
  const Timing& large = timings[1];
  std::printf("bookmarks %lld and %lld\n", static_cast<long long>(small.bookmarks),
              static_cast<long long>(large.bookmarks));
  for (std::size_t i = 0; i < typed.size(); ++i) {
    Print("key_" + Tag(typed[i]) + "_10k", small.keys[i], "s", 1.0);
    Print("key_" + Tag(typed[i]) + "_1m", large.keys[i], "s", large.keys[i] / small.keys[i]);
    Print("slice_" + Tag(typed[i]) + "_10k", small.slices[i], "s", 1.0);
    Print("slice_" + Tag(typed[i]) + "_1m", large.slices[i], "s", large.slices[i] / small.slices[i]);
  }
  Print("scan_1m", large.scan, "s", large.scan / large.keys.back());
  return 0;
}
