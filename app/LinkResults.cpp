#include "app/LinkResults.h"

#include <algorithm>

#include "app/DataFiles.h"
#include "app/Globals.h"
#include "runtime/system/RuntimeError.h"

namespace marlinden {
namespace {

using links::LinkStatus;

constexpr LinkStatus kStoredStatuses[] = {LinkStatus::Ok, LinkStatus::Redirect, LinkStatus::Dead, LinkStatus::Error};

// Reads number's record into the file's buffer; true when found.
bool FetchResult(std::int64_t number) {
  runtime::RecordBuffer& record = LinkCheckStore().Record();
  record.Clear();
  record.Field(LnkNum).Set(runtime::Value::Integer(number));
  return LinkCheckStoreManager->TryFetch(LnkNumKey) == SeverityOk;
}

std::optional<LinkStatus> StatusNamed(std::string_view name) {
  for (const LinkStatus status : kStoredStatuses) {
    if (links::LinkStatusName(status) == name) return status;
  }
  return std::nullopt;
}

}  // namespace

Severity WriteLinkResult(std::int64_t number, const links::LinkResult& result) {
  FileManager& manager = *LinkCheckStoreManager;
  if (manager.UseFile() != SeverityOk) return SeverityNotify;
  const bool found = FetchResult(number);
  if (!found && runtime::LastErrorCode() != runtime::RecordNotFound) return SeverityNotify;
  runtime::RecordBuffer& record = LinkCheckStore().Record();
  if (!found) {
    record.Clear();
    record.Field(LnkNum).Set(runtime::Value::Integer(number));
  }
  record.Field(LnkUrl).SetText(result.url);
  record.Field(LnkStatus).SetText(links::LinkStatusName(result.status));
  record.Field(LnkCode).Set(runtime::Value::Integer(result.code));
  record.Field(LnkLocation).SetText(result.location.substr(0, kLinkLocationWidth));
  record.Field(LnkPermanent).Set(runtime::Value::Integer(result.permanent ? 1 : 0));
  record.Field(LnkError).SetText(result.error.substr(0, kLinkErrorWidth));
  record.Field(LnkChecked).Set(runtime::Value::Integer(std::clamp<std::int64_t>(result.checkedAt, 0, UINT32_MAX)));
  if (found) return manager.TryUpdate();
  return LinkCheckStore().Add() == runtime::NoError ? SeverityOk : SeverityNotify;
}

std::optional<links::LinkResult> ReadLinkResult(std::int64_t number, std::string_view url) {
  if (LinkCheckStoreManager->UseFile() != SeverityOk || !FetchResult(number)) return std::nullopt;
  runtime::RecordBuffer& record = LinkCheckStore().Record();
  const std::optional<LinkStatus> status = StatusNamed(record.Field(LnkStatus).ClippedText());
  if (!status || record.Field(LnkUrl).ClippedText() != url) return std::nullopt;
  links::LinkResult result;
  result.id = static_cast<std::uint64_t>(number);
  result.url = std::string(url);
  result.status = *status;
  result.code = static_cast<long>(record.Field(LnkCode).Get().AsInteger());
  result.location = std::string(record.Field(LnkLocation).ClippedText());
  result.permanent = record.Field(LnkPermanent).Get().AsInteger() != 0;
  result.error = std::string(record.Field(LnkError).ClippedText());
  result.checkedAt = record.Field(LnkChecked).Get().AsInteger();
  return result;
}

std::string LinkResultName(const std::optional<links::LinkResult>& result) {
  return result ? std::string(links::LinkStatusName(result->status)) : std::string();
}

void RelateLinkResults(RelationManager& bookmarks, RelationManager& results) {
  bookmarks.AddRelation(results, RiNone, RiCascade, LnkNumKey);
  (void)bookmarks.AddLinkingFields(BookmarkStore().Record().Field(WebNum), LinkCheckStore().Record().Field(LnkNum));
}

}  // namespace marlinden
