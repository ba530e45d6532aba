// Whether two web addresses name the same page: the key two addresses share
// when they differ only in what a browser or a tracker varies without
// changing the page. Any thread may call it.
#pragma once

#include <string>
#include <string_view>

namespace runtime {

// The address with http and https alike, the scheme and host in lower case,
// a leading "www." and a default port dropped, no trailing "/" on the path,
// no "#fragment" and no tracking parameters (utm_*, fbclid, gclid and the
// like). The path and the other parameters are kept as they are, in their
// order. An address without "scheme://" is only trimmed of blanks.
std::string SamePageKey(std::string_view address);

// Whether name is a query parameter that only tracks the visitor.
bool IsTrackingParameter(std::string_view name);

}  // namespace runtime
