// What a check of one link found: the status, the final HTTP code, the
// address a moved link ends at, a short text for an error, and when it was
// checked. Plain values; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace marlinden::links {

enum class LinkStatus : std::uint8_t {
  Ok,          // a 2xx answer at the address itself
  Redirect,    // a 2xx answer after one redirect or more; location is where
  Dead,        // a final answer of 400 or more; code holds it
  Error,       // no usable answer; error says why
  NotChecked,  // not a web address (FTP, mail, no scheme): nothing was asked
};

// "ok", "redirect", "dead", "error", "unchecked".
std::string_view LinkStatusName(LinkStatus status);

struct LinkResult {
  std::uint64_t id = 0;  // the caller's number for the link
  std::string url;       // the address as checked (surrounding blanks taken off)
  LinkStatus status = LinkStatus::Error;
  long code = 0;         // the last HTTP answer's code, 0 when none came
  std::string location;  // after redirects: the last address asked for
  // After redirects: each was permanent (301, 308), so the link has moved
  // for good; a temporary one (302, 303, 307: a login page, a language
  // page) is no address to save in the link's place.
  bool permanent = false;
  std::string error;           // Error and NotChecked: a short readable reason
  std::int64_t checkedAt = 0;  // seconds since 1970 when the check ended
};

}  // namespace marlinden::links
