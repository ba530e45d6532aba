#include "window/QueryManager.h"

#include <utility>

#include "runtime/text/CaseFolding.h"
#include "runtime/text/FixedText.h"
#include "window/Globals.h"
#include "window/QueryWindow.h"

namespace marlinden {

namespace {

constexpr std::size_t kNameWidth = 99;
constexpr std::size_t kPictureWidth = 39;
constexpr std::size_t kValueWidth = 499;
constexpr std::size_t kFilterWidth = 5000;
constexpr std::size_t kOperatorPrefix = 20;  // leading characters Combine looks at
constexpr std::size_t kExampleOperator = 9;  // leading characters GetFilter takes as the operator
constexpr std::string_view kUpper = "UPPER(";

std::string Cut(std::string_view text, std::size_t width) { return std::string(runtime::CutToWidth(text, width)); }

bool HasUpper(std::string_view expression) { return expression.find(kUpper) != std::string_view::npos; }

// The length of text's leading run of characters from set, at most limit.
std::size_t LeadingRun(std::string_view text, std::string_view set, std::size_t limit) {
  std::size_t n = 0;
  while (n < text.size() && n < limit && set.find(text[n]) != std::string_view::npos) ++n;
  return n;
}

// '<', '>' and '~' once each in order of appearance, then '=' when any.
std::string MergeOperator(std::string_view characters) {
  std::string op;
  for (const char c : characters) {
    if (c != '=' && op.find(c) == std::string::npos) op.push_back(c);
  }
  if (characters.find('=') != std::string_view::npos) op.push_back('=');
  return op;
}

// The operator as the expression language reads it: no character twice, and
// a comparison in it ("~" alone would read as NOT; nothing at all as no
// operator), so a bare or empty operator compares for equality.
std::string LanguageOperator(std::string_view op) {
  std::string merged = MergeOperator(op);
  if (merged.find_first_of("<>=") == std::string::npos) merged.push_back('=');
  return merged;
}

// A value the language reads as a number: an optional sign, digits, and
// optionally a point followed by more digits.
bool IsNumber(std::string_view text) {
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
  auto digits = [&text] {
    std::size_t n = 0;
    while (n < text.size() && text[n] >= '0' && text[n] <= '9') ++n;
    text.remove_prefix(n);
    return n > 0;
  };
  if (!digits()) return false;
  if (text.empty()) return true;
  if (text.front() != '.') return false;
  text.remove_prefix(1);
  return digits() && text.empty();
}

std::string Quoted(std::string_view value) {
  std::string quoted = "'";
  for (const char c : value) {
    quoted.push_back(c);
    if (c == '\'') quoted.push_back('\'');
  }
  quoted.push_back('\'');
  return quoted;
}

bool IsTextPicture(const QueryField& field) { return !field.PICTURE.empty() && field.PICTURE.front() == 'S'; }

std::string NormalisedPicture(std::string_view picture) {
  if (!picture.empty() && picture.front() == '@') picture.remove_prefix(1);
  std::string stored = Cut(picture, kPictureWidth);
  if (stored.empty()) return "S255";
  if (stored.front() == 's') stored.front() = 'S';
  return stored;
}

// The caseless marker: "^value" makes the expression UPPER(expression),
// kept for later filters, and the value upper case without its marker. On
// an expression made caseless already the marker is still taken off, so a
// second "^" query compares as the first did.
void ApplyCaseless(QueryField& field, std::string& value) {
  if (value.empty() || value.front() != '^') return;
  if (!HasUpper(field.NAME)) field.NAME = std::string(kUpper) + field.NAME + ")";
  value = runtime::UpperText(std::string_view(value).substr(1));
}

}  // namespace

std::string QueryManager::Combine(std::string_view op, std::string_view value) {
  const std::size_t lead = LeadingRun(value, "=<>~", kOperatorPrefix);
  std::string characters(value.substr(0, lead));
  characters += op;
  return MergeOperator(characters) + std::string(value.substr(lead));
}

void QueryManager::Init(QueryWindow& win) {
  WIN = &win;
  win.QUERY = this;
  FIELDS = std::make_unique<runtime::Queue<QueryField>>();
}

void QueryManager::Kill() {
  if (WIN != nullptr) (void)WIN->Kill();
  FIELDS.reset();
}

void QueryManager::AddField(std::string_view name, std::string_view title, std::string_view picture) {
  if (!FIELDS) return;
  QueryField field;
  field.NAME = Cut(name, kNameWidth);
  field.TITLE = Cut(title, kNameWidth);
  field.PICTURE = NormalisedPicture(picture);
  FIELDS->Add(std::move(field));
}

QueryField* QueryManager::Find(std::string_view name) {
  if (!FIELDS) return nullptr;
  return FIELDS->Find([&](const QueryField& field) { return field.NAME == name; });
}

void QueryManager::SetLimit(std::string_view name, std::string_view low, std::string_view high, std::string_view middle,
                            std::uint8_t keep) {
  QueryField* field = Find(name);
  if (field == nullptr) return;
  if ((keep & KeepLow) == 0) field->LOW = Cut(low, kValueWidth);
  if ((keep & KeepHigh) == 0) field->HIGH = Cut(high, kValueWidth);
  if ((keep & KeepMiddle) == 0) field->MIDDLE = Cut(middle, kValueWidth);
}

void QueryManager::ClearLimits(std::string_view name) {
  if (QueryField* field = Find(name)) field->LOW = field->MIDDLE = field->HIGH = std::string();
}

void QueryManager::ClearLimits() {
  if (!FIELDS) return;
  for (QueryField& field : *FIELDS) field.LOW = field.MIDDLE = field.HIGH = std::string();
}

Severity QueryManager::Ask(bool keepValues) {
  if (WIN == nullptr || !FIELDS) return SeverityOk;
  if (!keepValues) ClearLimits();
  WIN->REQUEST = RequestNone;
  return WIN->Run() == ResponseCompleted ? SeverityNotify : SeverityOk;
}

// --- The filter --------------------------------------------------------------------------------

std::string QueryManager::GetFilter() {
  std::string filter;
  if (!FIELDS) return filter;
  for (QueryField& field : *FIELDS) {
    if (!field.LOW.empty()) AppendRange(filter, field, '>', field.LOW);
    if (!field.HIGH.empty()) AppendRange(filter, field, '<', field.HIGH);
    if (field.LOW.empty() && field.HIGH.empty() && !field.MIDDLE.empty()) AppendExample(filter, field);
  }
  return filter;
}

void QueryManager::AppendRange(std::string& filter, QueryField& field, char op, std::string limit) {
  std::string ops(1, op);
  // A limit equal to the example, or written "=limit", includes itself.
  if (limit == field.MIDDLE) ops.push_back('=');
  if (!limit.empty() && limit.front() == '=') {
    ops.push_back('=');
    limit.erase(0, 1);
  }
  ApplyCaseless(field, limit);
  Append(filter, field.NAME, ops, limit, IsTextPicture(field));
}

void QueryManager::AppendExample(std::string& filter, QueryField& field) {
  std::string value = field.MIDDLE;
  if (HasUpper(field.NAME)) value = runtime::UpperText(value);
  const std::size_t lead = LeadingRun(value, "><~=", kExampleOperator);
  std::string op = value.substr(0, lead);
  value.erase(0, lead);
  ApplyCaseless(field, value);
  if (!value.empty() && value.front() == '*') {
    // Contains: the rest anywhere in the field.
    const std::string expression = "INSTRING(" + Quoted(value.substr(1)) + "," + field.NAME + ",1,1)";
    Append(filter, expression, "<>", "0", false);
  } else if (!value.empty() && value.back() == '*') {
    // Begins with: the field's first bytes (SUB counts bytes) equal the rest.
    value.pop_back();
    const std::string expression = "SUB(" + field.NAME + ",1," + std::to_string(value.size()) + ")";
    Append(filter, expression, op, value, true);
  } else {
    const bool between = op.find('>') != std::string::npos && op.find('<') != std::string::npos;
    if (!between) op.push_back('=');
    Append(filter, field.NAME, op, value, IsTextPicture(field));
  }
}

void QueryManager::Append(std::string& filter, const std::string& expression, std::string op, std::string value,
                          bool quoted) {
  if (HasUpper(expression)) value = runtime::UpperText(value);
  // A number field compares with numbers; anything else there is compared
  // as text rather than read as a name or as more of the expression.
  const std::string shown = quoted || !IsNumber(value) ? Quoted(value) : value;
  std::string condition = filter.empty() ? "" : " AND ";
  condition += "(" + expression + " " + LanguageOperator(op) + " " + shown + ")";
  // Cutting a condition would leave a filter the view refuses.
  if (filter.size() + condition.size() > kFilterWidth) return;
  filter += condition;
}

}  // namespace marlinden
