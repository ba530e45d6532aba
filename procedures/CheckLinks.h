// "Check Links": every bookmark's web address asked for (links::LinkChecker)
// in a progress window with Cancel, as the import is, each result kept in
// the link check file as its link's check ends (LinkResults.h). FTP and
// other addresses are left unchecked and keep no result. Runs modally on
// the calling runtime thread, holding the runtime lock.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "errors/Severity.h"
#include "links/LinkChecker.h"
#include "procedures/BatchProgress.h"
#include "runtime/views/View.h"
#include "window/WindowManager.h"

namespace marlinden {

inline constexpr const char* kCheckLinksSection = "checklinks";
inline constexpr const char* kCheckLinksCaption = "Check Links";

struct LinkCheckSettings {
  std::chrono::milliseconds timeout{10000};  // per link
  std::vector<std::string> resolve;          // links::LinkCheckOptions::resolve
  bool offerProblems = true;                 // offer the dead and moved links' window afterwards
};

// What the last check found.
struct LinkCheckFigures {
  std::int64_t checked = 0;  // web addresses asked for
  std::int64_t ok = 0;
  std::int64_t moved = 0;
  std::int64_t dead = 0;
  std::int64_t errors = 0;
  bool cancelled = false;
  bool failed = false;  // a result could not be saved, or the check could not start
};
extern LinkCheckFigures LastLinkCheckFigures;

// "Checked 12 links: 9 ok, 1 moved, 1 dead, 1 could not be reached."
std::string LinkCheckSummary(const LinkCheckFigures& figures);

// Told of each web address's result as its check ends (the command-line
// companion prints them). Empty when nobody listens. Guarded by the
// runtime lock.
using LinkCheckListener = std::function<void(std::int64_t number, const links::LinkResult& result)>;
extern LinkCheckListener LinkCheckListen;

class CheckLinksWindow : public WindowManager {
 public:
  explicit CheckLinksWindow(LinkCheckSettings settings) : settings_(std::move(settings)) {}

  Severity Init() override;
  Severity Kill() override;
  Severity TakeAccepted() override;
  Severity TakeCloseEvent() override;
  Severity TakeWindowEvent() override;

 private:
  // The next bookmark's address, in number order.
  std::optional<links::LinkRequest> NextBookmark();
  // Keeps the results in one transaction; false when they could not be saved.
  bool Keep(const std::vector<links::LinkResult>& results);
  void ShowProgress();
  void End(bool cancelled);

  LinkCheckSettings settings_;
  std::unique_ptr<runtime::View> view_;
  std::unique_ptr<links::LinkChecker> checker_;
  bool filesOpen_ = false;
  bool ended_ = false;
  std::int64_t total_ = 0;
  std::int32_t percent_ = -1;
};

// Runs the check and shows what it found; when links are dead or moved,
// offers to show them (LinkProblems.h). Leaves the figures in
// LastLinkCheckFigures and the check window's result in ResponseCode.
void CheckLinks(const LinkCheckSettings& settings = {});

}  // namespace marlinden
