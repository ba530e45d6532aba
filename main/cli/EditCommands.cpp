#include "main/cli/EditCommands.h"

#include <optional>
#include <string>
#include <vector>

#include "app/BookmarkDetails.h"
#include "app/DataFiles.h"
#include "app/Globals.h"
#include "errors/MessageIds.h"
#include "main/cli/BookmarkCommands.h"
#include "main/cli/CommandLineAnswers.h"
#include "runtime/files/Transaction.h"
#include "runtime/system/RuntimeError.h"

namespace marlinden::cli {
namespace {

// How long an add waits for another station's lock on the bookmark file.
constexpr int kLockWaitSeconds = 5;

// "URL (description)", or the URL alone when it has no description.
std::string Named(runtime::RecordBuffer& web) {
  std::string name(web.Field(WebUrl).ClippedText());
  const std::string_view description = web.Field(WebDescription).ClippedText();
  if (!description.empty()) name += " (" + std::string(description) + ")";
  return name;
}

// Looks url up by WEB:NAMEKEY (letter case aside). Ok: found, the record in
// the buffer; Notify: not stored; Fatal: the file could not be read (said
// on err).
Severity FindBookmark(const std::string& url, const char* command, std::ostream& err) {
  runtime::RecordBuffer& web = BookmarkStore().Record();
  web.Clear();
  web.Field(WebUrl).SetText(url);
  if (BookmarkStoreManager->TryFetch(WebNameKey) == SeverityOk) return SeverityOk;
  if (runtime::LastErrorCode() == runtime::RecordNotFound) return SeverityNotify;
  err << "marlinden-cli: " << command << ": the bookmark file could not be read: " << runtime::LastError().text << "\n";
  return SeverityFatal;
}

// The description and the notes given are kept up to their widths, cut at
// a whole character; a cut is said, never made silently.
void SayWhatWasCut(const char* command, runtime::RecordBuffer& web, const std::string& description,
                   const std::string& notes, std::ostream& err) {
  if (runtime::Clip(description).size() > web.Field(WebDescription).ClippedText().size()) {
    err << "marlinden-cli: " << command << ": the description was cut to " << web.Field(WebDescription).Desc().size
        << " bytes.\n";
  }
  if (notes.size() > web.Memo(WebNotes).size()) {
    err << "marlinden-cli: " << command << ": the notes were cut to " << web.Layout().Memo(WebNotes).maxSize
        << " bytes.\n";
  }
}

// A folder name given on the command line: one line, not blank.
bool IsFolderName(const std::string& name) {
  return name.find('\n') == std::string::npos && !runtime::Clip(name).empty();
}

// URL [--description TEXT] [--notes TEXT] [--folder NAME]...
class AddCommand : public CliCommand {
 public:
  int Parse(std::span<const std::string> args, std::ostream& err) override {
    for (std::size_t i = 0; i < args.size(); ++i) {
      const std::string& arg = args[i];
      if ((arg == "--description" || arg == "--notes") && i + 1 < args.size()) {
        (arg == "--description" ? description_ : notes_) = args[++i];
      } else if (arg == "--folder" && i + 1 < args.size()) {
        const std::string& name = args[++i];
        if (!IsFolderName(name)) {
          err << "marlinden-cli add: a folder name is one line of text, not blank\n";
          return kExitUsage;
        }
        folder_.push_back(name);
      } else if (arg.starts_with("--") || seen_) {
        err << "marlinden-cli add: unexpected argument " << arg << "\n";
        return kExitUsage;
      } else {
        url_ = arg;
        seen_ = true;
      }
    }
    if (!seen_) {
      err << "marlinden-cli add: name the address to add\n";
      return kExitUsage;
    }
    return kExitOk;
  }

  int Execute(std::ostream& out, std::ostream& err) override {
    const std::string url(runtime::Clip(url_));
    if (url.empty()) {
      err << "marlinden-cli: add: the address is blank; a bookmark needs one.\n";
      return kExitRefused;
    }
    // A cut address is a broken link: it is refused rather than stored cut.
    if (url.size() > kUrlWidth) {
      err << "marlinden-cli: add: the address is " << url.size() << " bytes long; a bookmark holds at most "
          << kUrlWidth << ".\n";
      return kExitRefused;
    }
    // A folder path is kept whole or refused.
    if (DecodeFolderPath(EncodeFolderPath(folder_)).size() != folder_.size()) {
      err << "marlinden-cli: add: the folder path is longer than the " << kFolderPathWidth
          << " bytes a bookmark keeps.\n";
      return kExitRefused;
    }
    return WithBookmarkFile(err, [&] { return Add(url, out, err); });
  }

 private:
  int Add(const std::string& url, std::ostream& out, std::ostream& err) {
    // The look-up and the insert are one transaction over the bookmarks and
    // their details, so no other station stores the address in between.
    if (EnlistBookmarkFiles(CommitOrder::DetailsFirst) != SeverityOk) {
      (void)runtime::RollbackTransaction();
      return kExitIoError;
    }
    if (runtime::BeginTransaction(kLockWaitSeconds) != runtime::NoError) {
      (void)BookmarkStoreManager->Raise(MsgLogoutError);
      (void)runtime::RollbackTransaction();
      return kExitIoError;
    }
    const int status = AddInTransaction(url, out, err);
    if (status != kExitOk) (void)runtime::RollbackTransaction();
    return status;
  }

  int AddInTransaction(const std::string& url, std::ostream& out, std::ostream& err) {
    runtime::RecordBuffer& web = BookmarkStore().Record();
    const Severity found = FindBookmark(url, "add", err);
    if (found == SeverityFatal) return kExitIoError;
    if (found == SeverityOk) {
      err << "marlinden-cli: add: " << url << " is stored already as " << Named(web) << ".\n";
      return kExitRefused;
    }
    web.Clear();
    web.Field(WebUrl).SetText(url);
    web.Field(WebDescription).SetText(description_);
    web.SetMemo(WebNotes, notes_);
    const std::uint32_t now = SecondsNow();
    DetailsForNextInsert({folder_, 0, now, now});
    // The file manager numbers the record as the window's insert does, and
    // writes its details.
    if (BookmarkStoreManager->Insert() != SeverityOk) return kExitIoError;
    if (runtime::CommitTransaction() != runtime::NoError) {
      err << "marlinden-cli: add: " << url << " could not be stored: " << runtime::LastError().text << "\n";
      return kExitIoError;
    }
    SayWhatWasCut("add", web, description_, notes_, err);
    out << "added " << Named(web) << " as bookmark " << web.Field(WebNum).Get().AsInteger() << "\n";
    return kExitOk;
  }

  std::string url_;
  std::string description_;
  std::string notes_;
  std::vector<std::string> folder_;  // from the top down
  bool seen_ = false;
};

// URL [--description TEXT] [--notes TEXT] [--folder NAME]... [--no-folder]
class ChangeCommand : public CliCommand {
 public:
  int Parse(std::span<const std::string> args, std::ostream& err) override {
    for (std::size_t i = 0; i < args.size(); ++i) {
      const std::string& arg = args[i];
      if ((arg == "--description" || arg == "--notes") && i + 1 < args.size()) {
        (arg == "--description" ? description_ : notes_) = args[++i];
      } else if (arg == "--folder" && i + 1 < args.size() && !noFolder_) {
        if (!IsFolderName(args[i + 1])) {
          err << "marlinden-cli change: a folder name is one line of text, not blank\n";
          return kExitUsage;
        }
        if (!folder_) folder_.emplace();
        folder_->push_back(args[++i]);
      } else if (arg == "--no-folder" && !folder_) {
        noFolder_ = true;
        folder_.emplace();
      } else if (arg.starts_with("--") || url_) {
        err << "marlinden-cli change: unexpected argument " << arg << "\n";
        return kExitUsage;
      } else {
        url_ = arg;
      }
    }
    if (!url_ || (!description_ && !notes_ && !folder_)) {
      err << "marlinden-cli change: name the address and what to change\n";
      return kExitUsage;
    }
    return kExitOk;
  }

  int Execute(std::ostream& out, std::ostream& err) override {
    const std::string url(runtime::Clip(*url_));
    if (folder_ && DecodeFolderPath(EncodeFolderPath(*folder_)).size() != folder_->size()) {
      err << "marlinden-cli: change: the folder path is longer than the " << kFolderPathWidth
          << " bytes a bookmark keeps.\n";
      return kExitRefused;
    }
    return WithBookmarkFile(err, [&] {
      // Read watched: a change another station makes before this one is
      // saved is not overwritten (the manager says so).
      (void)BookmarkStore().Watch();
      const Severity found = FindBookmark(url, "change", err);
      if (found == SeverityFatal) return kExitIoError;
      if (found != SeverityOk) {
        err << "marlinden-cli: change: " << url << " is not stored.\n";
        return kExitRefused;
      }
      runtime::RecordBuffer& web = BookmarkStore().Record();
      if (description_) web.Field(WebDescription).SetText(*description_);
      if (notes_) web.SetMemo(WebNotes, *notes_);
      if (folder_) FolderForNextSave(*folder_);
      const Severity saved = BookmarkStoreRelations->Update(false);
      ResetFolderForNextSave();
      if (saved != SeverityOk) return kExitRefused;
      SayWhatWasCut("change", web, description_.value_or(""), notes_.value_or(""), err);
      out << "changed " << Named(web) << "\n";
      return kExitOk;
    });
  }

 private:
  std::optional<std::string> url_;
  std::optional<std::string> description_;
  std::optional<std::string> notes_;
  std::optional<std::vector<std::string>> folder_;  // from the top down; empty: none
  bool noFolder_ = false;
};

// URL
class DeleteCommand : public CliCommand {
 public:
  int Parse(std::span<const std::string> args, std::ostream& err) override {
    if (args.size() == 1 && !args[0].starts_with("--")) {
      url_ = args[0];
      return kExitOk;
    }
    err << "marlinden-cli delete: name the one address to delete\n";
    return kExitUsage;
  }

  int Execute(std::ostream& out, std::ostream& err) override {
    const std::string url(runtime::Clip(url_));
    return WithBookmarkFile(err, [&] {
      const Severity found = FindBookmark(url, "delete", err);
      if (found == SeverityFatal) return kExitIoError;
      if (found != SeverityOk) {
        err << "marlinden-cli: delete: " << url << " is not stored.\n";
        return kExitRefused;
      }
      const std::string named = Named(BookmarkStore().Record());
      // The relation manager deletes the record just read, in a
      // transaction of its own.
      if (BookmarkStoreRelations->Delete(false) != SeverityOk) return kExitIoError;
      out << "deleted " << named << "\n";
      return kExitOk;
    });
  }

 private:
  std::string url_;
};

}  // namespace

std::unique_ptr<CliCommand> MakeAddCommand() { return std::make_unique<AddCommand>(); }
std::unique_ptr<CliCommand> MakeChangeCommand() { return std::make_unique<ChangeCommand>(); }
std::unique_ptr<CliCommand> MakeDeleteCommand() { return std::make_unique<DeleteCommand>(); }

}  // namespace marlinden::cli
