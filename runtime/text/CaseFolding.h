// Letter case over the whole of Unicode for UTF-8 texts: what the expression
// language's UPPER and LOWER give and what a query's caseless marker ("^") compares
// in. Each character maps to one character (the simple mappings), so "ß"
// stays "ß", "ü" becomes "Ü" and "σ" and "ς" both become "Σ"; bytes that are
// not valid UTF-8 are kept as they are. Any thread may call it.
#pragma once

#include <string>
#include <string_view>

namespace runtime {

// The text with every letter in upper case.
std::string UpperText(std::string_view text);
// out = text with every letter in upper (lower) case; text must not lie in
// out. out's storage is reused.
void AssignUpperText(std::string& out, std::string_view text);
void AssignLowerText(std::string& out, std::string_view text);

// text as a caseless key compares it: the ASCII letters in lower case, the
// rest as it is (the keyed files fold ASCII only).
void FoldKeyCase(std::string& text);

// The first and the last, in byte order, of the spellings of text that
// differ from it only in the case of letters outside ASCII (each such
// letter in its spelling of the same length with the lowest or the highest
// bytes). ASCII is left as it is: a caseless key folds it itself. A caseless
// search for text in a key's order lies between the two.
std::string LowestCaseSpelling(std::string_view text);
std::string HighestCaseSpelling(std::string_view text);

}  // namespace runtime
