// The user's favourite page, kept in its own INI file in the data folder
// (DataFolder.h). Call under the runtime lock.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace marlinden {

// "Marlimden", not "Marlinden": the name the favourite has always been stored
// under; a corrected name would lose every user's favourite.
inline constexpr const char* kFavoriteIniFile = "Marlimden.ini";
inline constexpr const char* kFavoriteSection = "Favorite";
inline constexpr const char* kFavoriteKey = "MyFavorite";
inline constexpr std::size_t kFavoriteWidth = 255;

// The favourite address read afresh from the file: at most kFavoriteWidth
// bytes (cut, never inside a UTF-8 character), without trailing spaces;
// empty when the file or the key is missing.
std::string ReadFavorite();

// Stores url (without trailing spaces, cut like ReadFavorite) as the
// favourite. Returns 0 or the runtime's error code of the failed write.
[[nodiscard]] std::int32_t WriteFavorite(std::string_view url);

}  // namespace marlinden
