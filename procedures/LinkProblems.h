// "Dead and Moved Links": the bookmarks whose last link check did not find
// them at their address, with what it found, offered after a check. A moved
// link takes its new address in one click ("Use New Address"); a dead one
// can be opened to look or deleted. Runs modally on the calling runtime
// thread, holding the runtime lock.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "errors/Severity.h"
#include "links/LinkResult.h"
#include "runtime/ui/ListSource.h"
#include "runtime/ui/WindowDescription.h"
#include "window/WindowManager.h"

namespace marlinden {

enum LinkProblemsControl : std::int32_t {
  ProblemsList = 1,
  ProblemsUseNewAddress,
  ProblemsGoToPage,
  ProblemsDelete,
  ProblemsClose,
};

inline constexpr const char* kLinkProblemsTitle = "Dead and Moved Links";

struct LinkProblem {
  std::int64_t number = 0;  // the bookmark's
  std::string description;
  links::LinkResult result;  // result.url is the bookmark's address
};

// Every bookmark whose last check, of the address it has now, was not ok,
// in number order.
std::vector<LinkProblem> ReadLinkProblems();

// What the list shows of a problem: "moved", "moved (for now)", "dead 404",
// "error"; and the new address or the reason.
std::string ProblemStatus(const links::LinkResult& result);
std::string ProblemDetail(const links::LinkResult& result);

runtime::ui::WindowDescription LinkProblemsDescription();

class LinkProblemsWindow : public WindowManager, private runtime::ui::ListSource {
 public:
  explicit LinkProblemsWindow(std::vector<LinkProblem> problems) : problems_(std::move(problems)) {}

  Severity Init() override;
  Severity Kill() override;
  Severity TakeAccepted() override;
  Severity TakeNewSelection() override;

 private:
  std::size_t RowCount() const override { return problems_.size(); }
  runtime::ui::ListRow Row(std::size_t row) const override;

  // The highlighted problem; nullptr when the list is empty.
  const LinkProblem* Highlighted() const;
  void UseNewAddress();
  void DeleteBookmark();
  // Takes the highlighted problem off the list.
  void Drop();
  void ShowButtons();

  std::vector<LinkProblem> problems_;
  bool filesOpen_ = false;
};

// Shows the problems; nothing when there are none.
void ShowLinkProblems(std::vector<LinkProblem> problems);

inline constexpr const char* kNoLinkProblems =
    "No link checked so far was found dead or moved. Check Links asks for every web address.";
// Tells the user that no checked link was found dead or moved.
void TellNoLinkProblems();
// The problems the last checks found, or a message that there are none.
void ShowLinkProblemsOrTellNone();

}  // namespace marlinden
