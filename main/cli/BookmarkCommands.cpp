#include "main/cli/BookmarkCommands.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/BookmarkDetails.h"
#include "app/DataFiles.h"
#include "app/FoundBookmarks.h"
#include "app/Globals.h"
#include "app/LinkResults.h"
#include "app/SearchIndex.h"
#include "main/cli/CommandLineAnswers.h"
#include "main/cli/ProgressBar.h"
#include "procedures/BatchProgress.h"
#include "procedures/CheckLinks.h"
#include "procedures/ExportProcess.h"
#include "procedures/ImportProcess.h"
#include "procedures/LinkProblems.h"
#include "runtime/system/RuntimeError.h"
#include "runtime/text/SearchWords.h"
#include "window/Globals.h"

namespace marlinden::cli {
namespace {

// FILE [--yes]: the file is resolved against the folder the user is in.
int ParseFileAndYes(const char* name, std::span<const std::string> args, std::ostream& err, std::string& file,
                    bool& yes) {
  for (const std::string& arg : args) {
    if (arg == "--yes") {
      yes = true;
    } else if (arg.starts_with("--") || !file.empty()) {
      err << "marlinden-cli " << name << ": unexpected argument " << arg << "\n";
      return kExitUsage;
    } else {
      file = std::filesystem::absolute(arg).string();
    }
  }
  if (file.empty()) {
    err << "marlinden-cli " << name << ": name the bookmark file\n";
    return kExitUsage;
  }
  return kExitOk;
}

class ImportCommand : public CliCommand {
 public:
  int Parse(std::span<const std::string> args, std::ostream& err) override {
    return ParseFileAndYes("import", args, err, file_, yes_);
  }

  int Execute(std::ostream& out, std::ostream& err) override {
    if (const std::string problem = ImportFileProblem(file_); !problem.empty()) {
      err << "marlinden-cli: Import Bookmarks: " << problem << "\n";
      return kExitNoInput;
    }
    CommandLineAnswers answers(yes_ ? Answer::Yes : Answer::No, err);
    {
      ProgressBar bar(err);
      ImportProcess(file_);
    }
    const ImportFigures& figures = LastImportFigures;
    if (figures.noBookmarks) return kExitDataError;
    out << ImportSummary(figures);
    return figures.failure.empty() ? kExitOk : kExitIoError;
  }

 private:
  std::string file_;
  bool yes_ = false;
};

class ExportCommand : public CliCommand {
 public:
  int Parse(std::span<const std::string> args, std::ostream& err) override {
    return ParseFileAndYes("export", args, err, file_, yes_);
  }

  int Execute(std::ostream& out, std::ostream& err) override {
    if (const std::string problem = ExportTargetProblem(file_); !problem.empty()) {
      err << "marlinden-cli: Export Bookmarks: " << problem << "\n";
      return kExitCannotCreate;
    }
    if (!yes_ && ExportTargetExists(file_)) {
      err << "marlinden-cli: Export Bookmarks: " << file_ << " already exists; give --yes to replace it.\n";
      return kExitCannotCreate;
    }
    CommandLineAnswers answers(yes_ ? Answer::Yes : Answer::No, err);
    {
      ProgressBar bar(err);
      ExportProcess(file_);
    }
    if (LastExportFailed) return kExitIoError;
    out << "bookmarks exported: " << LastExportLines << "\n";
    return kExitOk;
  }

 private:
  std::string file_;
  bool yes_ = false;
};

// The length of the valid UTF-8 character at text[at] (a byte of 0x80 or
// more), 0 when none starts there.
std::size_t Utf8CharLength(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  const std::size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                             : lead >= 0xE0 && lead <= 0xEF ? 3
                             : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                            : 0;
  if (length == 0 || at + length > text.size()) return 0;
  std::uint32_t cp = lead & (0xFF >> (length + 1));
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[at + i]);
    if ((next & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (next & 0x3F);
  }
  const bool overlong = (length == 3 && cp < 0x800) || (length == 4 && cp < 0x10000);
  return overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) ? 0 : length;
}

// text as a JSON string: quotes, backslashes and control characters
// escaped, a byte that starts no valid UTF-8 character as U+FFFD.
std::string JsonString(std::string_view text) {
  std::string json = "\"";
  for (std::size_t at = 0; at < text.size();) {
    const auto c = static_cast<unsigned char>(text[at]);
    if (c == '"' || c == '\\') {
      json += '\\';
      json += static_cast<char>(c);
    } else if (c == '\n') {
      json += "\\n";
    } else if (c < 0x20 || c == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      json += escaped;
    } else if (c >= 0x80) {
      const std::size_t length = Utf8CharLength(text, at);
      if (length == 0) {
        json += "\\ufffd";
        ++at;
        continue;
      }
      json.append(text.substr(at, length));
      at += length;
      continue;
    } else {
      json += static_cast<char>(c);
    }
    ++at;
  }
  return json + "\"";
}

// Everything the collection holds of the bookmark in web, as one JSON
// object.
std::string JsonLine(runtime::RecordBuffer& web) {
  const BookmarkDetails details = ReadBookmarkDetails(web.Field(WebNum).Get().AsInteger());
  std::string line = "{\"url\": " + JsonString(web.Field(WebUrl).ClippedText()) +
                     ", \"description\": " + JsonString(web.Field(WebDescription).ClippedText()) + ", \"folder\": [";
  for (std::size_t i = 0; i < details.folder.size(); ++i) {
    line += (i == 0 ? "" : ", ") + JsonString(details.folder[i]);
  }
  line +=
      "], \"added\": " + std::to_string(details.added) + ", \"modified\": " + std::to_string(details.modified) +
      ", \"notes\": " + JsonString(web.Memo(WebNotes)) + ", \"link\": " +
      JsonString(LinkResultName(ReadLinkResult(web.Field(WebNum).Get().AsInteger(), web.Field(WebUrl).ClippedText()))) +
      "}";
  return line;
}

// The bookmark in web as list prints it: one JSON object, or the address,
// a tab and the description.
std::string ListLine(runtime::RecordBuffer& web, bool json) {
  if (json) return JsonLine(web);
  return std::string(web.Field(WebUrl).ClippedText()) + '\t' + std::string(web.Field(WebDescription).ClippedText());
}

// A collection made before the find's index and the folder order gets them
// now; when that cannot be done (a collection that can only be read), the
// find tests every bookmark and the folder order lacks what it lacked.
void BuildIndex() {
  constexpr std::int64_t kIndexBatch = 2000;
  if (BookmarkStore().IsReadOnly() || BookmarkIndexesComplete()) return;
  SearchIndexBuild build;
  while (!build.Done() && build.Step(kIndexBatch) == SeverityOk) {
  }
}

// [--json] [--link-problems] [--by-folder]
class ListCommand : public CliCommand {
 public:
  int Parse(std::span<const std::string> args, std::ostream& err) override {
    for (const std::string& arg : args) {
      if (arg == "--json" && !json_) {
        json_ = true;
      } else if (arg == "--link-problems" && !problemsOnly_) {
        problemsOnly_ = true;
      } else if (arg == "--by-folder" && !byFolder_) {
        byFolder_ = true;
      } else {
        err << "marlinden-cli list: takes only --json, --link-problems and --by-folder, each once\n";
        return kExitUsage;
      }
    }
    return kExitOk;
  }
  int Execute(std::ostream& out, std::ostream& err) override {
    return WithBookmarkFile(err, [&] {
      std::vector<std::int64_t> problems;
      if (problemsOnly_) {
        for (const LinkProblem& problem : ReadLinkProblems()) problems.push_back(problem.number);
      }
      // By folder: read as the main window's folder tab reads it (the
      // bookmark file is open, so this opens nothing more).
      FoundBookmarks byFolder(BookmarkStore());
      if (byFolder_) {
        BuildIndex();
        (void)byFolder.Open(BookmarkStore().Mode());
      }
      runtime::DataFile& file = byFolder_ ? static_cast<runtime::DataFile&>(byFolder) : BookmarkStore();
      (void)file.SetOrder(byFolder_ ? kListedFolderKey : static_cast<std::size_t>(WebNameKey));
      while (file.Next() == runtime::NoError) {
        const std::int64_t number = file.Record().Field(WebNum).Get().AsInteger();
        if (problemsOnly_ && !std::binary_search(problems.begin(), problems.end(), number)) continue;
        out << ListLine(BookmarkStore().Record(), json_) << '\n';
      }
      return kExitOk;
    });
  }

  bool json_ = false;
  bool problemsOnly_ = false;  // the bookmarks whose last check found them dead or moved
  bool byFolder_ = false;      // by folder, then description, as the folder tab
};

// WORD... [--json]
class SearchCommand : public CliCommand {
 public:
  int Parse(std::span<const std::string> args, std::ostream& err) override {
    for (const std::string& arg : args) {
      if (arg == "--json") {
        json_ = true;
      } else if (arg.starts_with("--")) {
        err << "marlinden-cli search: unexpected argument " << arg << "\n";
        return kExitUsage;
      } else {
        typed_ += arg + ' ';
      }
    }
    if (runtime::SearchWords(typed_).empty()) {
      err << "marlinden-cli search: give a word to find (letters or digits)\n";
      return kExitUsage;
    }
    return kExitOk;
  }
  int Execute(std::ostream& out, std::ostream& err) override {
    return WithBookmarkFile(err, [&] {
      BuildIndex();
      const FindPlan plan = PlanFind(typed_);
      const std::size_t found = plan.kind == FindPlan::Kind::Numbers ? PrintNumbers(plan, out) : PrintWalk(plan, out);
      out.flush();
      return found == 0 ? kExitNothingFound : kExitOk;
    });
  }

 private:
  // The candidates the index gave that match, in list's order (by address, in any letter
  // case).
  std::size_t PrintNumbers(const FindPlan& plan, std::ostream& out) const {
    struct Match {
      std::string key;
      std::string line;
    };
    std::vector<Match> matches;
    runtime::DataFile& file = BookmarkStore();
    for (const std::int64_t number : plan.numbers) {
      file.Record().Clear();
      file.Record().Field(WebNum).SetInteger(number);
      if (file.Get(WebNumKey) != runtime::NoError || !BookmarkMatches(plan)) continue;
      std::string key(file.Record().Field(WebUrl).ClippedText());
      std::transform(key.begin(), key.end(), key.begin(),
                     [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
      matches.push_back({std::move(key), ListLine(file.Record(), json_)});
    }
    std::sort(matches.begin(), matches.end(), [](const Match& a, const Match& b) { return a.key < b.key; });
    for (const Match& match : matches) out << match.line << '\n';
    return matches.size();
  }

  // Too many candidates to fetch: every bookmark in list's order, tested.
  std::size_t PrintWalk(const FindPlan& plan, std::ostream& out) const {
    std::size_t found = 0;
    runtime::DataFile& file = BookmarkStore();
    (void)file.SetOrder(WebNameKey);
    while (file.Next() == runtime::NoError) {
      if (!BookmarkMatches(plan)) continue;
      out << ListLine(file.Record(), json_) << '\n';
      ++found;
    }
    return found;
  }

  std::string typed_;
  bool json_ = false;
};

class CountCommand : public CliCommand {
 public:
  int Parse(std::span<const std::string> args, std::ostream& err) override {
    if (args.empty()) return kExitOk;
    err << "marlinden-cli count: takes no arguments\n";
    return kExitUsage;
  }
  int Execute(std::ostream& out, std::ostream& err) override {
    return WithBookmarkFile(err, [&] {
      out << BookmarkStore().Records() << '\n';
      return kExitOk;
    });
  }
};

// [--json] [--timeout SECONDS]
class CheckCommand : public CliCommand {
 public:
  int Parse(std::span<const std::string> args, std::ostream& err) override {
    for (std::size_t i = 0; i < args.size(); ++i) {
      if (args[i] == "--json") {
        json_ = true;
      } else if (args[i] == "--timeout" && i + 1 < args.size()) {
        char* end = nullptr;
        const double seconds = std::strtod(args[++i].c_str(), &end);
        if (*end != '\0' || !(seconds > 0) || seconds > 3600) {
          err << "marlinden-cli check: --timeout takes seconds, more than 0 and at most 3600\n";
          return kExitUsage;
        }
        settings_.timeout = std::chrono::milliseconds(static_cast<std::int64_t>(seconds * 1000));
      } else {
        err << "marlinden-cli check: unexpected argument " << args[i] << "\n";
        return kExitUsage;
      }
    }
    return kExitOk;
  }
  int Execute(std::ostream& out, std::ostream& err) override {
    return WithBookmarkFile(err, [&] {
      LinkCheckListen = [&](std::int64_t, const links::LinkResult& result) { out << Line(result) << '\n'; };
      CheckLinks(settings_);
      LinkCheckListen = nullptr;
      out.flush();
      return LastLinkCheckFigures.failed ? kExitIoError : kExitOk;
    });
  }

 private:
  std::string Line(const links::LinkResult& r) const {
    const std::string status(links::LinkStatusName(r.status));
    if (json_) {
      return "{\"url\": " + JsonString(r.url) + ", \"status\": " + JsonString(status) +
             ", \"code\": " + std::to_string(r.code) + ", \"location\": " + JsonString(r.location) +
             ", \"error\": " + JsonString(r.error) + "}";
    }
    std::string line = status + '\t' + std::to_string(r.code) + '\t' + r.url;
    if (r.status == links::LinkStatus::Redirect) line += '\t' + r.location;
    if (r.status == links::LinkStatus::Error) line += '\t' + r.error;
    return line;
  }

  bool json_ = false;
  LinkCheckSettings settings_{.offerProblems = false};
};

}  // namespace

std::unique_ptr<CliCommand> MakeImportCommand() { return std::make_unique<ImportCommand>(); }
std::unique_ptr<CliCommand> MakeExportCommand() { return std::make_unique<ExportCommand>(); }
std::unique_ptr<CliCommand> MakeListCommand() { return std::make_unique<ListCommand>(); }
std::unique_ptr<CliCommand> MakeSearchCommand() { return std::make_unique<SearchCommand>(); }
std::unique_ptr<CliCommand> MakeCountCommand() { return std::make_unique<CountCommand>(); }
std::unique_ptr<CliCommand> MakeCheckCommand() { return std::make_unique<CheckCommand>(); }

}  // namespace marlinden::cli
