#include "runtime/text/SamePage.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace runtime {
namespace {

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

std::string Lowered(std::string_view text) {
  std::string lowered(text);
  std::transform(lowered.begin(), lowered.end(), lowered.begin(), Lower);
  return lowered;
}

std::string_view Trimmed(std::string_view text) {
  const auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

std::string_view DefaultPort(std::string_view scheme) {
  if (scheme == "http") return "80";
  if (scheme == "https") return "443";
  if (scheme == "ftp") return "21";
  return {};
}

// The query without its tracking parameters, in the order the others came.
std::string KeptParameters(std::string_view query) {
  std::string kept;
  while (!query.empty()) {
    const std::size_t end = std::min(query.find('&'), query.size());
    const std::string_view parameter = query.substr(0, end);
    query.remove_prefix(std::min(end + 1, query.size()));
    if (parameter.empty()) continue;
    const std::string_view name = parameter.substr(0, parameter.find('='));
    if (IsTrackingParameter(name)) continue;
    if (!kept.empty()) kept += '&';
    kept += parameter;
  }
  return kept;
}

}  // namespace

bool IsTrackingParameter(std::string_view name) {
  static constexpr std::array<std::string_view, 22> kTrackers = {
      "fbclid",  "gclid",       "dclid",      "gbraid",     "wbraid",  "msclkid", "yclid", "twclid",
      "igshid",  "mc_cid",      "mc_eid",     "_ga",        "_gl",     "_hsenc",  "_hsmi", "mkt_tok",
      "vero_id", "oly_anon_id", "oly_enc_id", "rb_clickid", "s_kwcid", "ttclid"};
  const std::string lowered = Lowered(name);
  return StartsWith(lowered, "utm_") || std::find(kTrackers.begin(), kTrackers.end(), lowered) != kTrackers.end();
}

std::string SamePageKey(std::string_view address) {
  address = Trimmed(address);
  const std::size_t schemeEnd = address.find("://");
  if (schemeEnd == std::string_view::npos || schemeEnd == 0) return std::string(address);
  std::string scheme = Lowered(address.substr(0, schemeEnd));
  std::string_view rest = address.substr(schemeEnd + 3);
  rest = rest.substr(0, rest.find('#'));

  const std::size_t authorityEnd = std::min(rest.find_first_of("/?"), rest.size());
  std::string_view authority = rest.substr(0, authorityEnd);
  std::string_view path = rest.substr(authorityEnd);
  std::string_view query;
  if (const std::size_t mark = path.find('?'); mark != std::string_view::npos) {
    query = path.substr(mark + 1);
    path = path.substr(0, mark);
  }

  // user:password@ stays as it is; only the host and port are the server's.
  std::string key;
  const std::size_t at = authority.rfind('@');
  std::string_view user;
  if (at != std::string_view::npos) {
    user = authority.substr(0, at + 1);
    authority = authority.substr(at + 1);
  }
  std::string host = Lowered(authority);
  const std::size_t colon = host.rfind(':');
  if (colon != std::string::npos && host.find(']', colon) == std::string::npos) {
    const std::string_view port = std::string_view(host).substr(colon + 1);
    if (port.empty() || port == DefaultPort(scheme)) host.resize(colon);
  }
  if (StartsWith(host, "www.")) host.erase(0, 4);
  if (scheme == "https") scheme = "http";

  key = scheme + "://" + std::string(user) + host;
  while (!path.empty() && path.back() == '/') path.remove_suffix(1);
  key += path;
  if (const std::string kept = KeptParameters(query); !kept.empty()) key += "?" + kept;
  return key;
}

}  // namespace runtime
