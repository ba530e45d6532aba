// What the last link check found for each bookmark, kept in the link check
// file (LinkCheckStore, DataFiles.h): written as each link's check ends,
// read back for the bookmark's current address only. Call under the
// runtime lock.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "data/RelationManager.h"
#include "errors/Severity.h"
#include "links/LinkResult.h"

namespace marlinden {

// Writes result as the last check of bookmark number (result.url is the
// address that was checked). Quiet: SeverityNotify when it failed.
Severity WriteLinkResult(std::int64_t number, const links::LinkResult& result);

// The last check of bookmark number while its address is still url;
// nothing when it was never checked or has another address since.
std::optional<links::LinkResult> ReadLinkResult(std::int64_t number, std::string_view url);

// "ok", "redirect", "dead" or "error" for a stored result, "" for none.
std::string LinkResultName(const std::optional<links::LinkResult>& result);

// Relates the link check file to the bookmarks: opened and closed with
// them, a bookmark's record deleted with it.
void RelateLinkResults(RelationManager& bookmarks, RelationManager& results);

}  // namespace marlinden
