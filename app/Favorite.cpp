#include "app/Favorite.h"

#include "app/DataFolder.h"
#include "runtime/ini/IniFile.h"
#include "runtime/text/FixedText.h"

namespace marlinden {
namespace {

std::string Fit(std::string_view url) {
  return std::string(runtime::Clip(runtime::CutToWidth(runtime::Clip(url), kFavoriteWidth)));
}

}  // namespace

std::string ReadFavorite() {
  return Fit(runtime::IniFile(DataFolderPath(kFavoriteIniFile)).Read(kFavoriteSection, kFavoriteKey, ""));
}

std::int32_t WriteFavorite(std::string_view url) {
  return runtime::IniFile(DataFolderPath(kFavoriteIniFile)).Write(kFavoriteSection, kFavoriteKey, Fit(url));
}

}  // namespace marlinden
