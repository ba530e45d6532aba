// Two addresses are the same page when they differ only in the scheme's
// security, letter case of scheme and host, "www.", a default port, a
// trailing slash, the fragment and tracking parameters; the path and the
// other parameters still tell pages apart.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "runtime/text/SamePage.h"

namespace runtime {
namespace {

TEST(SamePageTest, SpellingsOfOnePageShareTheirKey) {
  const std::string key = SamePageKey("http://example.org/news/today");
  for (const char* spelling : {
           "https://example.org/news/today",
           "HTTP://Example.ORG/news/today",
           "https://www.example.org/news/today/",
           "http://example.org:80/news/today",
           "https://example.org:443/news/today#top",
           "http://www.example.org/news/today?utm_source=feed&utm_medium=rss",
           "https://example.org/news/today?fbclid=abc123",
           "https://example.org/news/today?GCLID=x#section-2",
           "  https://example.org/news/today  ",
       }) {
    EXPECT_EQ(SamePageKey(spelling), key) << spelling;
  }
}

TEST(SamePageTest, ThePathTheOtherParametersAndOtherPortsTellPagesApart) {
  const std::vector<std::pair<const char*, const char*>> different = {
      {"https://example.org/News/today", "https://example.org/news/today"},
      {"https://example.org/news?id=1", "https://example.org/news?id=2"},
      {"https://example.org/news?id=1&utm_source=x", "https://example.org/news"},
      {"https://example.org:8443/", "https://example.org/"},
      {"https://http.example.org/", "https://example.org/"},
      {"ftp://example.org/pub", "http://example.org/pub"},
      {"https://user@example.org/", "https://example.org/"},
      {"https://wwwexample.org/", "https://example.org/"},
  };
  for (const auto& [a, b] : different) EXPECT_NE(SamePageKey(a), SamePageKey(b)) << a << " vs " << b;
}

TEST(SamePageTest, KeptParametersKeepTheirOrderAndTheQueryGoesWhenOnlyTrackersWereThere) {
  EXPECT_EQ(SamePageKey("https://example.org/a?b=2&utm_campaign=x&a=1"), "http://example.org/a?b=2&a=1");
  EXPECT_EQ(SamePageKey("https://example.org/?utm_source=x&&fbclid=y"), "http://example.org");
  EXPECT_EQ(SamePageKey("https://[::1]:443/x"), "http://[::1]/x") << "an IPv6 host keeps its brackets";
  EXPECT_EQ(SamePageKey("https://[::1]/x"), "http://[::1]/x");
}

TEST(SamePageTest, WhatIsNotAnAddressIsOnlyTrimmed) {
  EXPECT_EQ(SamePageKey("  not an address "), "not an address");
  EXPECT_EQ(SamePageKey("://example.org"), "://example.org");
  EXPECT_EQ(SamePageKey(""), "");
}

}  // namespace
}  // namespace runtime
