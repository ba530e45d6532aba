// The find's words: split on what is neither a letter nor a digit, case
// folded and without accents, whatever the script; and the prefix match.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/text/SearchWords.h"

namespace runtime {
namespace {

using Words = std::vector<std::string>;

TEST(SearchWordsTest, TextsSplitFoldAndLoseTheirAccents) {
  struct Case {
    std::string text;
    Words words;
  };
  const Case cases[] = {
      {"", {}},
      {"  --  ", {}},
      {"https://www.Example.COM/a_b-c?q=1#X", {"https", "www", "example", "com", "a", "b", "c", "q", "1", "x"}},
      {"Z\u00FCrich caf\u00E9 guide", {"zurich", "cafe", "guide"}},
      // The same letters decomposed: an e followed by a combining acute.
      {"Cafe\u0301 Zu\u0308rich", {"cafe", "zurich"}},
      {"Stra\u00DFe \u00C6r\u00F8", {"strasse", "\u00E6r\u00F8"}},
      {"\u0130stanbul na\u00EFve S\u00E3o Paulo", {"istanbul", "naive", "sao", "paulo"}},
      {"\u039F\u0394\u039F\u03A3 \u03BF\u03B4\u03CC\u03C2", {"\u03BF\u03B4\u03BF\u03C3", "\u03BF\u03B4\u03BF\u03C3"}},
      {"\u6771\u4EAC\u3001\u5927\u962A", {"\u6771\u4EAC", "\u5927\u962A"}},
      {"l'\u00E9t\u00E9 \u2014 r\u00E9sum\u00E9", {"l", "ete", "resume"}},
      // A byte that is no UTF-8 ends a word and the rest is still folded.
      {"ab\xFF"
       "C\u00E9",
       {"ab", "ce"}},
  };
  for (const Case& c : cases) EXPECT_EQ(SearchWords(c.text), c.words) << c.text;
}

TEST(SearchWordsTest, EveryWantedWordMustStartAWord) {
  const Words words = SearchWords("Z\u00FCrich caf\u00E9 guide");
  EXPECT_TRUE(MatchesEveryPrefix(SearchWords("zurich cafe"), words));
  EXPECT_TRUE(MatchesEveryPrefix(SearchWords("ZUR CAF\u00C9"), words));
  EXPECT_TRUE(MatchesEveryPrefix({}, words));
  EXPECT_FALSE(MatchesEveryPrefix(SearchWords("rich"), words)) << "inside a word";
  EXPECT_FALSE(MatchesEveryPrefix(SearchWords("zurich bar"), words)) << "every word, not any";
  EXPECT_FALSE(MatchesEveryPrefix(SearchWords("guides"), words));
}

}  // namespace
}  // namespace runtime
