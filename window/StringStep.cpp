#include "window/StringStep.h"

#include <algorithm>
#include <string_view>

#include "runtime/text/FixedText.h"

namespace marlinden {

namespace {

// Surname prefixes, three characters each, ascending.
constexpr std::string_view kNameTable =
    "   ALBAMEARNBAKBATBENBIABOBBRABROBUACACCARCENCHRCOECONCORCRUDASDELDIADONDURELDEVEFELFISFLOFREFUTGARGIBGOLGOSGRE"
    "GUTHAMHEMHOBHOTINGJASJONKAGKEAKIRKORKYOLATLEOLIGLOUMACMAQMARMAUMCKMERMILMONMORNATNOLOKEPAGPAUPETPINPORPULRAU"
    "REYROBROSRUBSALSCASCHSCRSHASIGSKISNASOUSTESTISUNTAYTIRTUCVANWACWASWEIWIEWIMWOLYOR";
static_assert(kNameTable.size() == 3 * kStepEntries);

// Every letter followed by a space, F, N and T (Q and Z: space and N only);
// the first entry is two spaces.
std::string AlphabetTable() {
  std::string table;
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    const std::string_view seconds = letter == 'Q' || letter == 'Z' ? " N" : " FNT";
    for (char second : seconds) {
      table += letter;
      table += second;
    }
  }
  table[0] = ' ';
  return table;
}

// The special characters a key may hold (option StepSpecials); 0xA3 is the
// pound sign of the single-byte character set.
constexpr std::string_view kSpecials = "`!\"\xA3$%%^&*()'-=_+][#;~@:/.,?\\| ";
static_assert(kSpecials.size() == 31);

constexpr std::size_t kComputedWidth = 4;
constexpr std::size_t kWholeValueWidth = 79;

// Compares as fixed texts do: the shorter one is padded with spaces.
int PaddedCompare(std::string_view a, std::string_view b) {
  const std::size_t n = std::max(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(i < a.size() ? a[i] : ' ');
    const auto y = static_cast<unsigned char>(i < b.size() ? b[i] : ' ');
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

// count bytes of text from start, with spaces for what is missing.
std::string Slice(std::string_view text, std::size_t start, std::size_t count) {
  std::string slice(count, ' ');
  for (std::size_t i = 0; i < count && start + i < text.size(); ++i) slice[i] = text[start + i];
  return slice;
}

}  // namespace

void StringStep::Init(std::uint8_t options, std::uint8_t mode) {
  CONTROLS = options;
  LOOKUPMODE = mode;
  ROOT.clear();
  SORTCHARS.clear();
  switch (mode) {
    case LookupNames:
      REF = std::string(kNameTable);
      TESTLEN = 3;
      break;
    case LookupAlphabet:
      REF = AlphabetTable();
      TESTLEN = 2;
      break;
    default:
      TESTLEN = kComputedWidth;
      REF.assign(kStepEntries * TESTLEN, ' ');
      for (int code = 1; code <= 255; ++code) {
        const char c = static_cast<char>(code);
        const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        const bool upper = c >= 'A' && c <= 'Z';
        if (((CONTROLS & StepSpecials) != 0 && kSpecials.find(c) != std::string_view::npos) ||
            ((CONTROLS & StepDigits) != 0 && c >= '0' && c <= '9') ||
            ((CONTROLS & StepLetters) != 0 && letter && ((CONTROLS & StepCaseSensitive) != 0 || upper))) {
          SORTCHARS += c;
        }
      }
      break;
  }
}

std::string_view StringStep::Entry(std::size_t p) const {
  if (p < 1 || p > kStepEntries || REF.size() < kStepEntries * TESTLEN) return {};
  return std::string_view(REF).substr((p - 1) * TESTLEN, TESTLEN);
}

std::string StringStep::Normalised(std::string_view text) const {
  return (CONTROLS & StepCaseSensitive) != 0 ? std::string(text) : runtime::UpperAscii(text);
}

std::int32_t StringStep::GetPercentile(std::string_view value) {
  // Past the common prefix only the next characters tell records apart; a
  // value shorter than the prefix reads as spaces there.
  const std::string text = Normalised(ROOT.empty() ? value.substr(0, std::min(value.size(), kWholeValueWidth))
                                                   : std::string_view(Slice(value, ROOT.size(), TESTLEN + 1u)));
  std::int32_t p = 0;
  for (std::size_t e = 1; e <= kStepEntries && PaddedCompare(Entry(e), text) <= 0; ++e) ++p;
  p = std::max(p, 1);
  // A descending order mirrors the ascending positions, so its lowest value
  // is at 100 and its highest at 1.
  if ((CONTROLS & StepDescending) != 0) p = static_cast<std::int32_t>(kStepEntries) + 1 - p;
  return p;
}

std::string StringStep::GetValue(std::int32_t percentile) {
  std::int32_t p = std::clamp(percentile, 1, static_cast<std::int32_t>(kStepEntries));
  if ((CONTROLS & StepDescending) != 0) p = static_cast<std::int32_t>(kStepEntries) + 1 - p;
  return ROOT + std::string(Entry(static_cast<std::size_t>(p)));
}

void StringStep::Kill() {
  REF.clear();
  SORTCHARS.clear();
  ROOT.clear();
}

std::uint8_t StringStep::NeedsLimits() { return LOOKUPMODE == LookupComputed ? 1 : 0; }

// A key character's digit: its place in SORTCHARS counted from 0; a
// character that is not there counts as the next one above it, so the
// digits keep the order of the characters.
std::uint64_t StringStep::KeyValue(std::string_view key) const {
  const std::uint64_t n = SORTCHARS.size();
  std::uint64_t value = 0;
  for (char c : Normalised(key)) {
    const auto at = std::lower_bound(SORTCHARS.begin(), SORTCHARS.end(), c, [](char a, char b) {
      return static_cast<unsigned char>(a) < static_cast<unsigned char>(b);
    });
    value = value * n + std::min<std::uint64_t>(static_cast<std::uint64_t>(at - SORTCHARS.begin()), n - 1);
  }
  return value;
}

std::string StringStep::KeyOf(std::uint64_t value) const {
  const std::uint64_t n = SORTCHARS.size();
  std::string key(kComputedWidth, ' ');
  for (std::size_t i = kComputedWidth; i > 0; --i) {
    key[i - 1] = SORTCHARS[value % n];
    value /= n;
  }
  return key;
}

void StringStep::SetLimits(std::string_view lowValue, std::string_view highValue) {
  if (LOOKUPMODE != LookupComputed) return;
  const std::string low = Normalised(runtime::Clip(lowValue));
  const std::string high = Normalised(runtime::Clip(highValue));
  const std::size_t shorter = std::min(low.size(), high.size());
  std::size_t common = 0;
  while (common < shorter && low[common] == high[common]) ++common;
  // The prefix ends between whole UTF-8 characters.
  while (common > 0 && common < low.size() && (static_cast<unsigned char>(low[common]) & 0xC0) == 0x80) --common;
  ROOT = low.substr(0, common);
  REF.assign(kStepEntries * TESTLEN, ' ');
  if (SORTCHARS.empty()) return;  // no character to step through

  // The four characters after the prefix; a shorter remainder is filled from
  // its last character on with the lowest (highest) character a key holds.
  auto limitKey = [&](const std::string& value, char fill) {
    std::string key = Slice(value, common, kComputedWidth);
    const std::size_t rest = value.size() - common;
    for (std::size_t position = rest; rest != 0 && position <= kComputedWidth; ++position) key[position - 1] = fill;
    return key;
  };
  const std::uint64_t from = KeyValue(limitKey(low, SORTCHARS.front()));
  const std::uint64_t to = KeyValue(limitKey(high, SORTCHARS.back()));
  const std::uint64_t step = to > from ? (to - from) / kStepEntries : 0;
  for (std::size_t i = 0; i < kStepEntries; ++i) {
    REF.replace(i * TESTLEN, TESTLEN, KeyOf(from + i * step));
  }
}

}  // namespace marlinden
