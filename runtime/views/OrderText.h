// Order texts: how a key of a record layout is named to a view. A key's text
// lists its components separated by commas, "-" before a descending one and
// "UPPER(" label ")" for a text component of a case-insensitive key, as the
// file manager writes it ("-L:NUM,UPPER(L:NAME)"). Any thread may call these.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/files/RecordLayout.h"

namespace runtime {

// The order text of key (1-based).
std::string KeyOrderText(const RecordLayout& layout, std::size_t key);

// The key whose order text equals text, compared without case and spaces;
// 0 for a blank text (record order); nullopt when no key matches. The first
// matching key wins when two keys read the same.
std::optional<std::size_t> KeyForOrderText(const RecordLayout& layout, std::string_view text);

}  // namespace runtime
