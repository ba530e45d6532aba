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

}  // namespace runtime
