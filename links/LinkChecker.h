// Checks web addresses for dead links over libcurl's multi interface:
// several links at once (16 connections, at most 2 to one host), each asked
// for with HEAD and, when the server refuses HEAD (405, 501), with a GET
// that reads the answer's head and discards at most kBodyCap bytes of its
// body. Redirects are followed one at a time, at most 5 (a loop, or a 6th,
// is an error), all within the link's own time limit. Certificates are
// verified against the system's authorities (plus any the caller adds); no
// cookies are kept. FTP and every other non-web address is reported
// NotChecked without any request.
//
// Made for a time-sliced batch: Start with the addresses, then Poll once
// per timer event. Poll works for at most its budget and hands back the
// links finished meanwhile. Addresses are taken from the source only as
// transfers free up (a few hundred ahead), so a source of a million addresses
// costs no more memory than one of a hundred. No thread of its own; the
// transfers run only inside Poll.
//
// Thread: one thread at a time (the batch's).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "links/LinkResult.h"

namespace marlinden::links {

inline constexpr const char* kLinkCheckUserAgent = "Marlinden/3.0 (link check)";
// The most body bytes a GET reads before it takes the answer's code and ends.
inline constexpr std::size_t kBodyCap = 64 * 1024;
// Addresses taken from the source ahead of the transfers, per connection:
// enough that a run of links to one busy host leaves others to start.
inline constexpr int kLookAheadPerConnection = 16;

struct LinkCheckOptions {
  std::chrono::milliseconds timeout{10000};  // per link, its redirects included
  int connections = 16;                      // transfers and connections at once
  int connectionsPerHost = 2;
  int maxRedirects = 5;
  std::string userAgent = kLinkCheckUserAgent;
  // PEM text of certificate authorities trusted besides the system's.
  std::string extraAuthorities;
  // "name:port:address" entries the check resolves itself instead of asking
  // the system (many host names for one local server).
  std::vector<std::string> resolve;
  // Seconds since 1970 for LinkResult::checkedAt; the system clock when empty.
  std::function<std::int64_t()> now;
};

struct LinkRequest {
  std::uint64_t id = 0;
  std::string url;
};

// The next address to check, nothing when there are no more.
using LinkSource = std::function<std::optional<LinkRequest>()>;

struct LinkCheckProgress {
  std::int64_t total = -1;  // addresses to check; -1 when a source does not tell
  std::int64_t taken = 0;   // taken from the source so far
  std::int64_t finished = 0;
  std::int32_t running = 0;  // transfers under way
};

class LinkChecker {
 public:
  // Null when libcurl cannot be started.
  static std::unique_ptr<LinkChecker> Create(LinkCheckOptions options = {});
  ~LinkChecker();
  LinkChecker(const LinkChecker&) = delete;
  LinkChecker& operator=(const LinkChecker&) = delete;

  // Begins a check of urls (their ids are their positions), or of what next
  // gives. A check still under way is cancelled first. False when the
  // transfers cannot be set up again after a Cancel (out of memory):
  // nothing is started then.
  [[nodiscard]] bool Start(std::vector<std::string> urls);
  [[nodiscard]] bool Start(LinkSource next, std::int64_t total = -1);

  // Runs the transfers for at most budget (a budget of zero does what can
  // be done without waiting) and returns the links finished meanwhile, in
  // the order they finished. Returns sooner once Done.
  std::vector<LinkResult> Poll(std::chrono::milliseconds budget);
  // True when every address has been checked, or after Cancel.
  bool Done() const;
  // Ends every transfer at once and closes every connection; the links not
  // finished are not reported.
  void Cancel();
  LinkCheckProgress Progress() const;

 private:
  struct State;
  explicit LinkChecker(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

}  // namespace marlinden::links
