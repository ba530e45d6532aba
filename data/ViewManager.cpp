#include "data/ViewManager.h"

#include <algorithm>
#include <utility>

#include "data/ManagerRegistry.h"
#include "errors/MessageIds.h"
#include "runtime/system/RuntimeError.h"
#include "runtime/text/FixedText.h"

namespace marlinden {

namespace {
constexpr std::uint8_t kViewOpenMode = runtime::AccessReadWrite | runtime::ShareDenyWrite;  // 0x22
constexpr std::size_t kFilterIdWidth = 30;
constexpr std::size_t kQuotedValueWidth = 2000;
constexpr std::size_t kFilterTextWidth = 5000;
constexpr std::string_view kStandardFilterId = "5 Standard";

bool HasUpper(const std::string& name) { return name.find("UPPER(") != std::string::npos; }

// A value of the source's type, owned by the caller of this function.
std::unique_ptr<OwnedValue> CopyOf(const runtime::FieldRef& source) {
  auto copy = std::make_unique<OwnedValue>();
  copy->DESC = source.Desc();
  copy->DESC.offset = 0;
  copy->BYTES.assign(std::max<std::size_t>(copy->DESC.size, 1), 0);
  copy->Ref().Set(source.Get());
  return copy;
}

bool Differ(const runtime::FieldRef& a, const runtime::FieldRef& b) { return runtime::Compare(a, b) != 0; }
}  // namespace

// --- Set-up ------------------------------------------------------------------

void ViewManager::Init(runtime::View& view, RelationManager& primary, SortOrderQueue* orderQueue) {
  VIEW = &view;
  PRIMARY = &primary;
  if (orderQueue != nullptr) {
    ORDER = orderQueue;
    DISPOSEORDER = 0;
  } else {
    ownedOrder_ = std::make_unique<SortOrderQueue>();
    ORDER = ownedOrder_.get();
    DISPOSEORDER = 1;
  }
  PAGESIZE = 20;
  PAGESBEHIND = 2;
  PAGESAHEAD = 0;
  TIMEOUT = 60;
  OPENED = 0;
  killed_ = false;
  (void)UseView();
}

std::size_t ViewManager::AddSortOrder(std::size_t key) { return AddSortOrder(std::make_unique<SortOrder>(), key); }

std::size_t ViewManager::AddSortOrder(std::unique_ptr<SortOrder> entry, std::size_t key) {
  entry->MAINKEY = key;
  entry->RANGELIST = std::make_unique<BufferedPairs>();
  entry->RANGELIST->Init();
  entry->LIMITTYPE = RangeNone;
  if (key != 0) {
    entry->FREEELEMENT = Files().ComponentField(key, 1);
    entry->ORDER = Files().KeyOrderText(key, 1);
  }
  ORDER->Add(std::move(entry));
  return ORDER->Records();
}

Severity ViewManager::UseView() {
  for (std::size_t i = 1; i <= VIEW->FileCount(); ++i) {
    FileManager* manager = ManagerRegistry::FindManager(VIEW->File(i));
    if (manager == nullptr) continue;
    const Severity used = manager->UseFile();
    if (used != SeverityOk) return used;
  }
  return SeverityOk;
}

ViewManager::SortOrder* ViewManager::Current() {
  if (ORDER == nullptr) return nullptr;
  std::unique_ptr<SortOrder>* entry = ORDER->Get(ORDER->Pointer());
  return entry == nullptr ? nullptr : entry->get();
}

// --- Range limits --------------------------------------------------------------

ViewManager::SortOrder* ViewManager::StartRange(RangeLimit kind, std::size_t pairs) {
  SortOrder* order = Current();
  if (order == nullptr || order->MAINKEY == 0 || pairs == 0) return nullptr;
  if (Files().ComponentCount(order->MAINKEY) < pairs) return nullptr;
  order->RANGELIST->Init();
  order->LIMITCOPIES.clear();
  order->LIMITTYPE = kind;
  return order;
}

bool ViewManager::AddRange(RangeLimit kind, const std::vector<runtime::FieldRef>& values) {
  if (kind != RangeFixed && kind != RangeCurrent && kind != RangeRelated) return false;
  for (const runtime::FieldRef& value : values) {
    if (!value.Valid()) return false;
  }
  SortOrder* order = StartRange(kind, values.size());
  if (order == nullptr) return false;
  for (std::size_t i = 0; i < values.size(); ++i) {
    (void)order->RANGELIST->AddPair(Files().ComponentField(order->MAINKEY, i + 1), values[i]);
  }
  // The related values as the filter is first built with them.
  if (kind == RangeRelated) order->RANGELIST->AssignRightToBuffer();
  order->FREEELEMENT = Files().ComponentField(order->MAINKEY, values.size() + 1);
  return true;
}

bool ViewManager::AddRange(const std::vector<runtime::FieldRef>& fixed, runtime::FieldRef low, runtime::FieldRef high) {
  if (!low.Valid() || !high.Valid()) return false;
  for (const runtime::FieldRef& value : fixed) {
    if (!value.Valid()) return false;
  }
  SortOrder* order = StartRange(RangeBetween, fixed.size() + 1);
  if (order == nullptr) return false;
  for (std::size_t i = 0; i < fixed.size(); ++i) {
    (void)order->RANGELIST->AddPair(Files().ComponentField(order->MAINKEY, i + 1), fixed[i]);
  }
  for (const runtime::FieldRef& source : {low, high}) {
    order->LIMITCOPIES.push_back(CopyOf(source));
    (void)order->RANGELIST->AddPair(source, order->LIMITCOPIES.back()->Ref());
  }
  order->FREEELEMENT = Files().ComponentField(order->MAINKEY, fixed.size() + 1);
  return true;
}

bool ViewManager::RefreshRange() {
  SortOrder* order = Current();
  if (order == nullptr) return false;
  runtime::Queue<FieldPair>& pairs = order->RANGELIST->LIST;
  const std::size_t count = pairs.Records();
  bool changed = false;
  switch (order->LIMITTYPE) {
    case RangeCurrent: {
      FieldPair* last = pairs.Get(count);
      if (last != nullptr && Differ(last->LEFT, last->RIGHT)) {
        last->RIGHT.Set(last->LEFT.Get());
        changed = true;
      }
      break;
    }
    case RangeBetween: {
      if (count < 2) break;
      FieldPair& low = *pairs.Get(count - 1);
      FieldPair& high = *pairs.Get(count);
      if (Differ(low.LEFT, low.RIGHT)) {
        low.RIGHT.Set(low.LEFT.Get());
        high.RIGHT.Set(high.LEFT.Get());
        changed = true;
      } else if (Differ(high.LEFT, high.RIGHT)) {
        high.RIGHT.Set(high.LEFT.Get());
        changed = true;
      }
      break;
    }
    case RangeRelated:
      if (!order->RANGELIST->EqualRightBuffer()) {
        order->RANGELIST->AssignRightToBuffer();
        changed = true;
      }
      break;
    default:
      break;
  }
  if (changed) ApplyFilter();
  return changed;
}

// The right value of pair as the filter writes it: texts quoted with inner
// quotes doubled (and compared caselessly when the name is), others plain.
std::string ViewManager::Quoted(FieldPair& pair, const std::string& name) {
  if (!pair.LEFT.IsText()) return pair.RIGHT.Get().AsText();
  const std::string value = pair.RIGHT.Get().AsText();
  const std::string_view cut = runtime::CutToWidth(runtime::Clip(value), kQuotedValueWidth);
  std::string quoted = "'";
  for (char c : cut) {
    quoted += c;
    if (c == '\'') quoted += '\'';
  }
  quoted += '\'';
  return HasUpper(name) ? "UPPER(" + quoted + ")" : quoted;
}

std::string ViewManager::FilterText() {
  SortOrder* order = Current();
  if (order == nullptr) return {};
  std::string text;
  runtime::Queue<FieldPair>& pairs = order->RANGELIST->LIST;
  const std::size_t count = pairs.Records();
  const std::uint8_t kind = order->LIMITTYPE;
  const bool between = kind == RangeBetween && count >= 2;
  if (kind == RangeFixed || kind == RangeCurrent || kind == RangeRelated || between) {
    const std::size_t equal = between ? count - 2 : count;
    std::size_t i = 0;
    for (FieldPair& pair : pairs) {
      if (++i > equal) break;
      const std::string name = Files().ComponentName(order->MAINKEY, i);
      if (i > 1) text += " AND ";
      text += name + " = " + Quoted(pair, name);
    }
    if (between) {
      const std::string name = Files().ComponentName(order->MAINKEY, count - 1);
      if (!text.empty()) text += " AND ";
      text += name + " >= " + Quoted(*pairs.Get(count - 1), name);
      text += " AND " + name + " <= " + Quoted(*pairs.Get(count), name);
    }
  }
  if (order->FILTER != nullptr) {
    for (const FilterEntry& filter : *order->FILTER) {
      text += text.empty() ? "(" : " AND (";
      text += filter.FILTER;
      text += ')';
    }
  }
  return text;
}

// --- Virtual operations ----------------------------------------------------------

void ViewManager::ApplyFilter() {
  const std::string text = FilterText();
  std::int32_t code = runtime::NoError;
  if (text.size() > kFilterTextWidth) {
    // A cut text would filter on something else, or not compile; neither is
    // what was asked, so the view reads unfiltered and says so.
    (void)VIEW->SetFilter({});
    code = runtime::SetError(runtime::ExpressionSyntax, {},
                             "filter text longer than " + std::to_string(kFilterTextWidth) + " characters");
  } else {
    code = VIEW->SetFilter(text);
  }
  if (code != runtime::NoError) (void)Files().Raise(MsgViewOpenFailed);
}

void ViewManager::ApplyOrder() {
  SortOrder* order = Current();
  if (order == nullptr) return;
  if (VIEW->SetOrder(order->ORDER) != runtime::NoError) (void)Files().Raise(MsgViewOpenFailed);
}

void ViewManager::Close() {
  if (OPENED) (void)VIEW->Close();
  OPENED = 0;
}

std::string ViewManager::FreeElementName() {
  const std::size_t position = FreeElementPosition();
  SortOrder* order = Current();
  if (position == 0 || order == nullptr) return {};
  return Files().ComponentName(order->MAINKEY, position);
}

// The first component the range leaves free. A low..high range leaves its
// component free, so it counts before the low and high pairs.
std::size_t ViewManager::FreeElementPosition() {
  SortOrder* order = Current();
  if (order == nullptr) return 0;
  const std::size_t pairs = order->RANGELIST->Records();
  const std::size_t position = order->LIMITTYPE == RangeBetween && pairs >= 2 ? pairs - 1 : pairs + 1;
  return Files().ComponentCount(order->MAINKEY) < position ? 0 : position;
}

void ViewManager::Kill() {
  if (killed_) return;
  killed_ = true;
  if (ORDER != nullptr) {
    for (std::unique_ptr<SortOrder>& order : *ORDER) {
      if (order->RANGELIST != nullptr) order->RANGELIST->Kill();
      order->RANGELIST.reset();
      order->LIMITCOPIES.clear();
      order->FILTER.reset();
      order->ORDER.clear();
      order->FREEELEMENT = {};
    }
  }
  if (DISPOSEORDER) {
    ownedOrder_.reset();
    ORDER = nullptr;
  }
}

Severity ViewManager::Next() { return Read(Direction::Forward); }

void ViewManager::Open() {
  if (OPENED) return;
  (void)UseView();
  if (VIEW->Open(kViewOpenMode) != runtime::NoError) (void)Files().Raise(MsgViewOpenFailed);
  VIEW->SetPaging(PAGESIZE, PAGESBEHIND, PAGESAHEAD, TIMEOUT);
  OPENED = 1;
  ApplyOrder();
  ApplyFilter();
}

Severity ViewManager::Previous() { return Read(Direction::Backward); }

Severity ViewManager::PrimeRecord(bool keepBuffer) {
  if (!keepBuffer) {
    for (std::size_t i = 1; i <= VIEW->FileCount(); ++i) VIEW->File(i).ClearBuffer();
  }
  SortOrder* order = Current();
  if (order != nullptr) {
    const std::size_t count = order->RANGELIST->Records();
    std::size_t fixed = 0;
    switch (order->LIMITTYPE) {
      case RangeFixed:
      case RangeCurrent:
      case RangeRelated:
        fixed = count;
        break;
      case RangeBetween:
        fixed = count >= 2 ? count - 2 : 0;
        break;
      default:
        break;
    }
    std::size_t i = 0;
    for (FieldPair& pair : order->RANGELIST->LIST) {
      if (++i > fixed) break;
      runtime::FieldRef field = Files().ComponentField(order->MAINKEY, i);
      if (field.Valid()) field.Set(pair.RIGHT.Get());
    }
  }
  return Files().PrimeRecord(true);
}

void ViewManager::ResetFrom(std::size_t components) {
  Open();
  const std::int32_t code = components == 0 ? VIEW->Reset() : VIEW->ResetToBuffer(components);
  if (code != runtime::NoError) (void)Files().Raise(MsgViewOpenFailed);
}

void ViewManager::Reset() { ResetFrom(0); }

void ViewManager::SetStandardFilter(std::string_view text) { SetFilter(text, kStandardFilterId); }

void ViewManager::SetFilter(std::string_view text, std::string_view id) {
  SortOrder* order = Current();
  if (order == nullptr) return;
  if (order->FILTER == nullptr) order->FILTER = std::make_unique<runtime::Queue<FilterEntry>>();
  runtime::Queue<FilterEntry>& filters = *order->FILTER;
  const std::string key(runtime::Clip(runtime::CutToWidth(id, kFilterIdWidth)));
  const std::string_view clipped = runtime::Clip(text);
  FilterEntry* entry = filters.Find([&](const FilterEntry& e) { return e.ID == key; });
  if (entry != nullptr) {
    const std::size_t position = filters.Pointer();
    if (clipped.empty()) {
      (void)filters.Delete(position);
    } else {
      entry->FILTER = std::string(clipped);
    }
    return;
  }
  if (clipped.empty()) return;
  filters.AddSorted(FilterEntry{key, std::string(clipped)},
                    [](const FilterEntry& a, const FilterEntry& b) { return a.ID > b.ID; });
}

void ViewManager::SetOrder(std::string_view text) {
  SortOrder* order = Current();
  if (order != nullptr) order->ORDER = std::string(runtime::Clip(text));
}

bool ViewManager::SetSort(std::size_t n) {
  if (ORDER == nullptr) return false;
  if (n == 0) n = 1;
  if (n == ORDER->Pointer() || n > ORDER->Records()) return false;
  (void)ORDER->Get(n);
  return true;
}

std::uint8_t ViewManager::ValidateRecord() { return RecordAccepted; }

// --- Reading -------------------------------------------------------------------------

Severity ViewManager::Read(Direction direction) {
  for (;;) {
    const std::int32_t code = direction == Direction::Forward ? VIEW->Next() : VIEW->Previous();
    if (code == runtime::NoRecord) return SeverityNotify;
    if (code != runtime::NoError) {
      (void)Files().Raise(MsgRetrievalError);
      return SeverityFatal;
    }
    switch (ValidateRecord()) {
      case RecordAccepted:
        return SeverityOk;
      case RecordOutOfRange:
        return SeverityNotify;
      default:
        break;  // skipped: read on
    }
  }
}

}  // namespace marlinden
