// The words the find looks for: a text split on every character that is
// not a letter or a digit, each word case folded (full folding, so "ß"
// gives "ss") and stripped of its accents (canonical decomposition with
// the combining marks dropped, so "Zürich" gives "zurich"). Bytes that are
// not valid UTF-8 split words like punctuation. Any thread may call it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace runtime {

// Appends the words of text to words, in the order they stand.
void AppendSearchWords(std::string_view text, std::vector<std::string>& words);

// The words of text, in the order they stand.
std::vector<std::string> SearchWords(std::string_view text);

// Whether every word of wanted is the start of a word of words.
bool MatchesEveryPrefix(const std::vector<std::string>& wanted, const std::vector<std::string>& words);

}  // namespace runtime
