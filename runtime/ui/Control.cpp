#include "runtime/ui/Control.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <utility>

#include "runtime/text/FixedText.h"

namespace runtime::ui {

namespace {

std::string_view Trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

bool IsNumber(std::string_view text) {
  text = Trimmed(text);
  if (text.empty()) return true;  // blank numeric entries mean 0
  double number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  return error == std::errc{} && end == text.data() + text.size();
}

}  // namespace

std::optional<std::int64_t> NumberOf(const runtime::Value& value) {
  if (value.IsNumeric()) return value.AsInteger();
  const std::string text = value.AsText();
  if (Trimmed(text).empty() || !IsNumber(text)) return std::nullopt;
  return value.AsInteger();
}

Control::Control(ControlProperties properties) : p_(std::move(properties)) { p_.rect = Clamped(p_.rect); }

void Control::SetText(std::string text) {
  p_.text = std::move(text);
  dirty_ = true;
}

void Control::SetValue(std::int32_t value) {
  p_.value = p_.kind == ControlKind::Progress ? std::clamp(value, 0, 100) : value;
  dirty_ = true;
}

void Control::Enable() {
  p_.enabled = true;
  dirty_ = true;
}

void Control::Disable() {
  p_.enabled = false;
  dirty_ = true;
}

void Control::Hide() {
  p_.hidden = true;
  dirty_ = true;
}

void Control::Unhide() {
  p_.hidden = false;
  dirty_ = true;
}

void Control::SetPosition(Rect rect) {
  p_.rect = Clamped(rect);
  dirty_ = true;
}

void Control::SetIcon(std::string icon) {
  p_.icon = std::move(icon);
  dirty_ = true;
}

void Control::SetTip(std::string tip) {
  p_.tip = std::move(tip);
  dirty_ = true;
}

void Control::SetColours(Colour text, Colour background) {
  p_.textColour = text;
  p_.backgroundColour = background;
  dirty_ = true;
}

void Control::SetTransparent(bool transparent) {
  p_.transparent = transparent;
  dirty_ = true;
}

void Control::SetNoResize(bool noResize) {
  p_.noResize = noResize;
  dirty_ = true;
}

void Control::SetCursor(Cursor cursor) {
  p_.cursor = cursor;
  dirty_ = true;
}

void Control::SetPicture(std::string picture) {
  p_.picture = std::move(picture);
  dirty_ = true;
}

std::string_view Control::TakeableText(std::string_view text) const {
  const std::size_t bytes = IsInputKind(p_.kind) ? TextPictureBytes(p_.picture) : 0;
  return bytes == 0 ? text : runtime::CutToWidth(text, bytes);
}

void Control::SetColumns(std::vector<ListColumn> columns) {
  p_.columns = std::move(columns);
  dirty_ = true;
}

void Control::SetColumnColour(std::int32_t column, Colour text) {
  if (column < 1 || static_cast<std::size_t>(column) > p_.columns.size()) return;
  p_.columns[static_cast<std::size_t>(column) - 1].textColour = text;
  dirty_ = true;
}

void Control::SetListSource(const ListSource* source) {
  source_ = source;
  dirty_ = true;
}

void Control::SetSelectedRow(std::int32_t row) {
  p_.selectedRow = std::max(row, 0);
  dirty_ = true;
}

std::int32_t Control::VisibleItems() const {
  const bool header =
      std::any_of(p_.columns.begin(), p_.columns.end(), [](const ListColumn& c) { return !c.header.empty(); });
  const std::int32_t rows = (p_.rect.height - (header ? kListRowHeight : 0)) / kListRowHeight;
  return std::max(rows, 1);
}

void Control::SetThumb(std::int32_t percent) {
  p_.thumb = std::clamp(percent, 0, 100);
  dirty_ = true;
}

void Control::SetScrollBar(ScrollBar bar) {
  p_.scrollBar = bar == ScrollBar::Shown;
  dirty_ = true;
}

void Control::SetPaging(ListPaging paging) {
  p_.paging = paging;
  dirty_ = true;
}

void Control::SetMouseCell(std::int32_t row, std::int32_t column) {
  p_.mouseRow = std::max(row, 0);
  p_.mouseColumn = std::max(column, 0);
  dirty_ = true;
}

std::int32_t Control::RowCount() const {
  if (source_ == nullptr) return 0;
  return static_cast<std::int32_t>(std::min<std::size_t>(source_->RowCount(), INT32_MAX));
}

void Control::Alert(std::size_t slot, KeyCode key) {
  if (slot < 1 || slot > kAlertSlots) return;
  p_.alerts[slot - 1] = key;
  dirty_ = true;
}

void Control::Unalert(std::size_t slot) { Alert(slot, KeyCode::None); }

std::size_t Control::AlertSlot(KeyCode key) const {
  if (key == KeyCode::None) return 0;
  for (std::size_t i = 0; i < kAlertSlots; ++i) {
    if (p_.alerts[i] == key) return i + 1;
  }
  return 0;
}

void Control::PlaceInList(std::int32_t list, std::int32_t row, std::int32_t column) {
  p_.placement = {list, row, column};
  dirty_ = true;
}

void Control::RemoveFromList() {
  p_.placement = {};
  dirty_ = true;
}

bool Control::Valid() const {
  if (!IsInputKind(p_.kind) || p_.hidden || !p_.enabled) return true;
  if (p_.required && Trimmed(p_.text).empty()) return false;
  const bool numeric = p_.picture.size() >= 2 && p_.picture[0] == '@' && (p_.picture[1] == 'n' || p_.picture[1] == 'N');
  return !numeric || IsNumber(p_.text);
}

runtime::Value Control::Get(Property property) const {
  using runtime::Value;
  switch (property) {
    case Property::Text:
      return Value::Text(p_.text);
    case Property::Value:
      return Value::Integer(p_.value);
    case Property::X:
      return Value::Integer(p_.rect.x);
    case Property::Y:
      return Value::Integer(p_.rect.y);
    case Property::Width:
      return Value::Integer(p_.rect.width);
    case Property::Height:
      return Value::Integer(p_.rect.height);
    case Property::Enabled:
      return Value::Integer(p_.enabled ? 1 : 0);
    case Property::Hidden:
      return Value::Integer(p_.hidden ? 1 : 0);
    case Property::Icon:
      return Value::Text(p_.icon);
    case Property::Tip:
      return Value::Text(p_.tip);
    case Property::TextColour:
      return Value::Integer(p_.textColour);
    case Property::BackgroundColour:
      return Value::Integer(p_.backgroundColour);
    case Property::SelectedRow:
      return Value::Integer(p_.selectedRow);
    case Property::Thumb:
      return Value::Integer(p_.thumb);
    case Property::VisibleItems:
      return Value::Integer(VisibleItems());
    case Property::MouseRow:
      return Value::Integer(p_.mouseRow);
    case Property::MouseColumn:
      return Value::Integer(p_.mouseColumn);
    default:
      return Value::Text("");
  }
}

bool Control::Set(Property property, const runtime::Value& value) {
  switch (property) {
    case Property::Text:
      SetText(value.AsText());
      return true;
    case Property::Icon:
      SetIcon(value.AsText());
      return true;
    case Property::Tip:
      SetTip(value.AsText());
      return true;
    default:
      break;
  }
  const std::optional<std::int64_t> number = NumberOf(value);
  if (!number) return false;
  const auto n32 = static_cast<std::int32_t>(std::clamp<std::int64_t>(*number, INT32_MIN, INT32_MAX));
  Rect r = p_.rect;
  switch (property) {
    case Property::Value:
      SetValue(n32);
      return true;
    case Property::X:
      r.x = ClampCoordinate(*number);
      break;
    case Property::Y:
      r.y = ClampCoordinate(*number);
      break;
    case Property::Width:
      r.width = ClampExtent(*number);
      break;
    case Property::Height:
      r.height = ClampExtent(*number);
      break;
    case Property::Enabled:
      *number != 0 ? Enable() : Disable();
      return true;
    case Property::Hidden:
      *number != 0 ? Hide() : Unhide();
      return true;
    case Property::TextColour:
      SetColours(n32, p_.backgroundColour);
      return true;
    case Property::BackgroundColour:
      SetColours(p_.textColour, n32);
      return true;
    case Property::SelectedRow:
      SetSelectedRow(n32);
      return true;
    case Property::Thumb:
      SetThumb(n32);
      return true;
    default:
      return false;
  }
  SetPosition(r);
  return true;
}

std::size_t TextPictureBytes(std::string_view picture) {
  if (picture.size() < 3 || picture[0] != '@' || (picture[1] != 's' && picture[1] != 'S')) return 0;
  std::size_t bytes = 0;
  for (std::size_t i = 2; i < picture.size() && picture[i] >= '0' && picture[i] <= '9'; ++i) {
    bytes = bytes * 10 + static_cast<std::size_t>(picture[i] - '0');
    if (bytes > 1'000'000) return 0;  // no field is that large: not a limit
  }
  return bytes;
}

}  // namespace runtime::ui
