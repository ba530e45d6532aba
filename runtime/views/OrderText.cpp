#include "runtime/views/OrderText.h"

#include "runtime/text/FixedText.h"

namespace runtime {

namespace {
// Upper case without spaces, the form two order texts are compared in.
std::string Normalised(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == ' ' || c == '\t') continue;
    out += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  }
  return out;
}
}  // namespace

std::string KeyOrderText(const RecordLayout& layout, std::size_t key) {
  const KeyDesc& desc = layout.Key(key);
  std::string text;
  for (const KeyComponentDesc& component : desc.components) {
    const FieldDesc& field = layout.Field(component.field);
    if (!text.empty()) text += ',';
    if (component.order == Order::Descending) text += '-';
    const std::string_view label = Clip(field.label);
    if (desc.noCase && IsText(field.type)) {
      text += "UPPER(";
      text += label;
      text += ')';
    } else {
      text += label;
    }
  }
  return text;
}

std::optional<std::size_t> KeyForOrderText(const RecordLayout& layout, std::string_view text) {
  const std::string wanted = Normalised(text);
  if (wanted.empty()) return 0;
  for (std::size_t key = 1; key <= layout.KeyCount(); ++key) {
    if (Normalised(KeyOrderText(layout, key)) == wanted) return key;
  }
  return std::nullopt;
}

}  // namespace runtime
