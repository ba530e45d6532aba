// The file manager's keys: how they are described, the key utilities the
// relation and view managers build on, and automatic numbering of new records.
#include <algorithm>

#include "data/FileManager.h"
#include "data/RecordDeleter.h"
#include "runtime/system/RuntimeError.h"

namespace marlinden {

namespace {
constexpr std::size_t kDescriptionWidth = 80;
constexpr std::size_t kLabelWidth = 1000;
constexpr std::size_t kOrderTextWidth = 512;
constexpr int kAutoNumberAttempts = 3;
// How often the user is asked to try numbering again before it gives up.
constexpr int kAutoNumberQuestions = 3;
}  // namespace

void FileManager::AddKey(std::size_t key, std::string_view description, std::uint8_t autoIncComponent) {
  const runtime::KeyDesc& desc = FILE->Layout().Key(key);
  KeyEntry entry;
  entry.KEY = key;
  entry.DESCRIPTION = std::string(runtime::CutToWidth(description, kDescriptionWidth));
  entry.AUTOINC = autoIncComponent;
  entry.DUPS = desc.unique ? 0 : 1;
  entry.NOCASE = desc.noCase ? 1 : 0;
  if (autoIncComponent != 0) HASAUTOINC = 1;
  for (const runtime::KeyComponentDesc& component : desc.components) {
    KeyComponent part;
    part.ASCEND = component.order == runtime::Order::Ascending ? 1 : 0;
    part.FIELD = BUFFER->Field(component.field);
    part.FIELDNAME = std::string(runtime::Clip(runtime::CutToWidth(part.FIELD.Label(), kLabelWidth)));
    if (entry.NOCASE && part.FIELD.IsText()) part.FIELDNAME = "UPPER(" + part.FIELDNAME + ")";
    entry.FIELDS.Add(std::move(part));
  }
  KEYS.Add(std::move(entry));
  if (desc.primary) PRIMARYKEY = static_cast<std::uint8_t>(KEYS.Records());
}

FileManager::KeyEntry* FileManager::FindKey(std::size_t key) {
  return KEYS.Find([key](const KeyEntry& entry) { return entry.KEY == key; });
}

std::string FileManager::KeyOrderText(std::size_t key, std::size_t firstComponent) {
  KeyEntry* entry = FindKey(key);
  if (entry == nullptr) return {};
  std::string text;
  const std::size_t count = entry->FIELDS.Records();
  for (std::size_t n = std::max<std::size_t>(firstComponent, 1); n <= count; ++n) {
    const KeyComponent& part = *entry->FIELDS.Get(n);
    if (!text.empty()) text += ',';
    if (!part.ASCEND) text += '-';
    text += part.FIELDNAME;
  }
  return std::string(runtime::CutToWidth(text, kOrderTextWidth));
}

std::size_t FileManager::ComponentCount(std::size_t key) {
  KeyEntry* entry = FindKey(key);
  return entry == nullptr ? 0 : entry->FIELDS.Records();
}

std::string FileManager::ComponentName(std::size_t key, std::size_t n) {
  KeyEntry* entry = FindKey(key);
  if (entry == nullptr || entry->FIELDS.Get(n) == nullptr) return {};
  return entry->FIELDS.Get(n)->FIELDNAME;
}

runtime::FieldRef FileManager::ComponentField(std::size_t key, std::size_t n) {
  KeyEntry* entry = FindKey(key);
  if (entry == nullptr || entry->FIELDS.Get(n) == nullptr) return {};
  return entry->FIELDS.Get(n)->FIELD;
}

void FileManager::ClearKey(std::size_t key, std::size_t first, std::size_t last, bool highEnd) {
  KeyEntry* entry = FindKey(key);
  if (entry == nullptr) return;
  for (std::size_t n = std::max<std::size_t>(first, 1); n <= last; ++n) {
    KeyComponent* part = entry->FIELDS.Get(n);
    if (part == nullptr) break;
    // The low end of an ascending component is blank for text and the
    // lowest value for a number (zero would skip negative keys); of a
    // descending one, the highest value of its type.
    const bool toHighest = part->ASCEND ? highEnd : !highEnd;
    if (toHighest) {
      part->FIELD.SetHighest();
    } else if (part->FIELD.IsText()) {
      part->FIELD.Clear();
    } else {
      part->FIELD.SetLowest();
    }
  }
}

// --- Auto-numbering ------------------------------------------------------------

Severity FileManager::PrimeAutoInc() { return NumberRecord(true); }
Severity FileManager::TryPrimeAutoInc() { return NumberRecord(false); }
Severity FileManager::PrimeFields() { return SeverityOk; }

std::string FileManager::GroupPrefix(KeyEntry& entry, std::size_t count) {
  std::string prefix;
  for (std::size_t n = 1; n < count; ++n) {
    prefix += entry.FIELDS.Get(n)->FIELD.Get().AsText();
    prefix += '|';
  }
  return prefix;
}

bool FileManager::NextAutoNumber(KeyEntry& entry, std::int64_t& number) {
  const std::size_t n = entry.AUTOINC;
  KeyComponent& part = *entry.FIELDS.Get(n);
  const bool ascending = part.ASCEND != 0;
  std::uint16_t copy = SaveBuffer();
  FILE->SkipMemosOnNextRead();
  std::int32_t code;
  bool sameGroup = true;
  if (entry.FIELDS.Records() == 1) {
    (void)FILE->SetOrder(entry.KEY);
    code = ascending ? FILE->Previous() : FILE->Next();
  } else {
    const std::string wanted = GroupPrefix(entry, n);
    part.FIELD.SetHighest();
    (void)FILE->SetOrderAtBuffer(entry.KEY);
    code = ascending ? FILE->Previous() : FILE->Next();
    sameGroup = code == runtime::NoError && GroupPrefix(entry, n) == wanted;
  }
  if (code != runtime::NoError && code != runtime::NoRecord) {
    SetError(MsgRetrievalError);
    RestoreBuffer(copy, true);
    return false;
  }
  number = (code == runtime::NoRecord || !sameGroup) ? 1 : part.FIELD.Get().AsInteger() + 1;
  RestoreBuffer(copy, true);
  part.FIELD.SetInteger(number);
  return true;
}

Severity FileManager::NumberRecord(bool raise) {
  if (UseFile() != SeverityOk) return SeverityFatal;
  if (!HASAUTOINC || SetThread().AUTOINCDONE) return SeverityOk;
  // A driver that numbers as it adds does both in one step (one round trip
  // on a server) when one key is numbered; otherwise the highest number is
  // read first.
  KeyEntry* numbered = nullptr;
  std::size_t numberedKeys = 0;
  for (KeyEntry& entry : KEYS) {
    if (entry.AUTOINC == 0) continue;
    numbered = &entry;
    ++numberedKeys;
  }
  const bool driverNumbers = numberedKeys == 1 && FILE->NumbersOnAdd();
  int failures = 0;
  int questions = 0;
  for (;;) {
    if (!driverNumbers) {
      for (KeyEntry& entry : KEYS) {
        if (entry.AUTOINC == 0) continue;
        std::int64_t number = 0;
        if (!NextAutoNumber(entry, number)) return raise ? HandleError() : SeverityNotify;
      }
    }
    const std::int32_t added = driverNumbers ? FILE->AddNumbered(numbered->KEY, numbered->AUTOINC) : FILE->Add();
    if (added == runtime::NoError) break;
    // A full disk or a read-only file is told once: asking to try again
    // would only ask again, for ever.
    if (!runtime::RetryMayMend(added)) {
      SetError(MsgAutoIncFailed);
      if (raise) (void)HandleError();
      return SeverityNotify;
    }
    if (++failures < kAutoNumberAttempts) continue;
    SetError(MsgAutoIncError);
    if (raise && ++questions <= kAutoNumberQuestions && HandleError() == SeverityOk) {
      failures = 0;
      continue;
    }
    return SeverityNotify;
  }
  SetThread().AUTOINCDONE = 1;
  return SeverityOk;
}

Severity FileManager::PrimeRecord(bool keepBuffer) {
  if (ALIASEDFILE != nullptr) {
    std::uint16_t saved = ALIASEDFILE->SaveBuffer();
    const Severity result = ALIASEDFILE->PrimeRecord(false);
    if (result == SeverityOk) BUFFER->Assign(ALIASEDFILE->BUFFER->View());
    ALIASEDFILE->RestoreBuffer(saved, true);
    return result;
  }
  if (!keepBuffer) FILE->ClearBuffer();
  (void)PrimeFields();
  return HASAUTOINC ? PrimeAutoInc() : SeverityOk;
}

Severity FileManager::CancelAutoInc(RecordDeleter* relationManager) {
  if (UseFile() != SeverityOk) return SeverityOk;
  if (!HASAUTOINC || !SetThread().AUTOINCDONE) return SeverityOk;
  Severity result = SeverityOk;
  if (relationManager != nullptr) {
    result = relationManager->DeleteWithoutConfirmation();
  } else if (FILE->Delete() != runtime::NoError) {
    result = SeverityNotify;
  }
  if (result != SeverityOk) return result;
  SetThread().AUTOINCDONE = 0;
  return SeverityOk;
}

}  // namespace marlinden
