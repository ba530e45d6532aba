#include "main/cli/DuplicatesCommand.h"

#include <string>
#include <vector>

#include "app/DataFiles.h"
#include "app/Globals.h"
#include "main/cli/BookmarkCommands.h"
#include "main/cli/CommandLineAnswers.h"
#include "main/cli/ProgressBar.h"
#include "procedures/Duplicates.h"

namespace marlinden::cli {

namespace {

// [--merge --yes]
class DuplicatesCommand : public CliCommand {
 public:
  int Parse(std::span<const std::string> args, std::ostream& err) override {
    bool yes = false;
    for (const std::string& arg : args) {
      if (arg == "--merge") {
        merge_ = true;
      } else if (arg == "--yes") {
        yes = true;
      } else {
        err << "marlinden-cli duplicates: takes only --merge --yes\n";
        return kExitUsage;
      }
    }
    if (merge_ != yes) {
      err << "marlinden-cli duplicates: a merge deletes bookmarks; give --merge --yes together\n";
      return kExitUsage;
    }
    return kExitOk;
  }

  int Execute(std::ostream& out, std::ostream& err) override {
    return WithBookmarkFile(err, [&] {
      std::vector<DuplicateGroup> groups;
      {
        ProgressBar bar(err);
        groups = FindDuplicateGroups();
      }
      if (!merge_) {
        for (std::size_t g = 0; g < groups.size(); ++g) {
          if (g > 0) out << '\n';
          for (const DuplicateBookmark& bookmark : groups[g])
            out << bookmark.url << '\t' << bookmark.description << '\n';
        }
        return kExitOk;
      }
      std::size_t merged = 0;
      std::size_t left = 0;
      bool failed = false;
      for (const DuplicateGroup& group : groups) {
        const MergeOutcome outcome = MergeDuplicates(group, 0);
        merged += outcome.merged;
        left += outcome.left;
        failed = failed || outcome.failed;
      }
      out << "groups: " << groups.size() << "\nmerged into the oldest of their group: " << merged << '\n';
      if (left > 0) out << "left, their notes do not fit beside the kept one's or they changed: " << left << '\n';
      return failed ? kExitIoError : kExitOk;
    });
  }

 private:
  bool merge_ = false;
};

}  // namespace

std::unique_ptr<CliCommand> MakeDuplicatesCommand() { return std::make_unique<DuplicatesCommand>(); }

}  // namespace marlinden::cli
