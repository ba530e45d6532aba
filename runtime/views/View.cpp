#include "runtime/views/View.h"

#include <algorithm>
#include <cassert>
#include <utility>

#include "runtime/expressions/Expression.h"
#include "runtime/system/RuntimeError.h"
#include "runtime/views/OrderText.h"

namespace runtime {

namespace {
enum class Direction : std::uint8_t { Forward, Backward };

// Where the last read left the reading: at an end, reading the other way
// reads the end record again.
enum class Edge : std::uint8_t { None, PastEnd, BeforeStart };

// Sets a key component to the value that sorts first in its order.
void SetLowEnd(FieldRef field, Order order) {
  if (order == Order::Descending) {
    field.SetHighest();
  } else if (field.IsText()) {
    field.Clear();  // blank: the empty text, lower than any other
  } else {
    field.SetLowest();  // not 0, which would pass over negative values
  }
}

// Runs close after a failure without losing the failure's error.
template <typename Close>
std::int32_t KeepingError(Close close) {
  const RuntimeError error = LastError();
  close();
  return SetError(error.code, error.driverCode, error.driverText);
}
}  // namespace

class View::State {
 public:
  explicit State(DataFile& file) : primary(file) {}

  // Forgets how the reading went since the last positioning.
  void Repositioned() {
    readSincePositioning = false;
    edge = Edge::None;
    flushPending = false;
    flushPosition.clear();
    skipPosition.clear();
  }

  std::int32_t Read(Direction direction);
  std::int32_t ApplyFlush(Direction direction);

  DataFile& primary;  // borrowed; outlives the view

  bool open = false;
  bool openedPrimary = false;  // Close closes the file only then
  std::size_t key = 0;         // 0: record order
  std::unique_ptr<Expression> filter;
  ViewPaging paging;

  // Reading state, reset by every positioning.
  bool readSincePositioning = false;
  Edge edge = Edge::None;
  bool flushPending = false;
  std::string flushPosition;  // the current record when Flush was called
  std::string skipPosition;   // the next forward read skips this record
};

std::int32_t View::State::ApplyFlush(Direction direction) {
  flushPending = false;
  const bool forward = direction == Direction::Forward;
  // Reading back from the end (or on from the start) reads the end record,
  // which is found afresh from that end.
  if (edge == (forward ? Edge::BeforeStart : Edge::PastEnd)) return primary.SetOrder(key);
  if (primary.SetOrderAtPosition(key, flushPosition) != NoError) return LastErrorCode();
  // Positioned on the current record: Previous reads the one before it, Next
  // would read it again.
  if (forward) skipPosition = flushPosition;
  return NoError;
}

std::int32_t View::State::Read(Direction direction) {
  if (!open) return SetError(FileNotOpen);
  if (flushPending && ApplyFlush(direction) != NoError) return LastErrorCode();
  const bool forward = direction == Direction::Forward;
  std::string skip = std::move(skipPosition);
  skipPosition.clear();
  readSincePositioning = true;
  for (;;) {
    const std::int32_t code = forward ? primary.Next() : primary.Previous();
    if (code != NoError) {
      edge = code == NoRecord ? (forward ? Edge::PastEnd : Edge::BeforeStart) : Edge::None;
      return code;
    }
    edge = Edge::None;
    if (!skip.empty()) {
      const bool same = primary.Position(key) == skip;
      skip.clear();
      if (same) continue;
    }
    if (filter != nullptr && !filter->IsTrue()) continue;
    return LastErrorCode() == NoError ? NoError : SetError(NoError);
  }
}

View::View(DataFile& primary) : state_(std::make_unique<State>(primary)) {}

View::~View() {
  if (state_->open) (void)Close();
}

std::size_t View::FileCount() const { return 1; }

DataFile& View::File(std::size_t number) {
  assert(number == 1);
  (void)number;
  return state_->primary;
}

std::int32_t View::Open(std::uint8_t mode) {
  State& s = *state_;
  if (s.open) return SetError(AlreadyOpen);
  bool opened = false;
  if (!s.primary.IsOpen()) {
    if (s.primary.Open(mode) != NoError) return LastErrorCode();
    opened = true;
  }
  if (s.primary.SetOrder(s.key) != NoError) {
    if (opened) return KeepingError([&] { (void)s.primary.Close(); });
    return LastErrorCode();
  }
  s.open = true;
  s.openedPrimary = opened;
  s.Repositioned();
  return NoError;
}

std::int32_t View::Close() {
  State& s = *state_;
  if (!s.open) return SetError(FileNotOpen);
  s.open = false;
  s.Repositioned();
  if (!std::exchange(s.openedPrimary, false)) return SetError(NoError);
  return s.primary.Close();
}

bool View::IsOpen() const { return state_->open; }

std::int32_t View::SetOrder(std::string_view orderText) {
  State& s = *state_;
  const std::optional<std::size_t> key = KeyForOrderText(s.primary.Layout(), orderText);
  if (!key) return SetError(BadParameter);
  s.key = *key;
  if (!s.open) return SetError(NoError);
  s.Repositioned();
  return s.primary.SetOrder(s.key);
}

std::size_t View::CurrentKey() const { return state_->key; }

std::int32_t View::SetFilter(std::string_view filterText) {
  State& s = *state_;
  s.filter.reset();
  if (filterText.find_first_not_of(" \t") == std::string_view::npos) return SetError(NoError);
  std::unique_ptr<Expression> compiled = Expression::Compile(filterText);
  if (compiled == nullptr) {
    // Refused: the view stays unfiltered rather than matching nothing.
    return LastErrorCode() != NoError ? LastErrorCode() : SetError(BadParameter);
  }
  s.filter = std::move(compiled);
  return SetError(NoError);
}

bool View::IsFiltered() const { return state_->filter != nullptr; }

void View::SetPaging(std::uint16_t pageSize, std::uint16_t pagesBehind, std::uint16_t pagesAhead,
                     std::uint16_t timeout) {
  state_->paging = ViewPaging{pageSize, pagesBehind, pagesAhead, timeout};
}

const ViewPaging& View::Paging() const { return state_->paging; }

std::int32_t View::Reset() {
  State& s = *state_;
  if (!s.open) return SetError(FileNotOpen);
  s.Repositioned();
  return s.primary.SetOrder(s.key);
}

std::int32_t View::ResetToBuffer(std::size_t components) {
  State& s = *state_;
  if (!s.open) return SetError(FileNotOpen);
  if (s.key == 0) return Reset();
  const KeyDesc& key = s.primary.Layout().Key(s.key);
  const std::size_t fixed = std::min(components, key.components.size());
  if (fixed == 0) return Reset();
  s.Repositioned();
  RecordBuffer& buffer = s.primary.Record();
  const std::string saved(buffer.View());
  for (std::size_t c = fixed; c < key.components.size(); ++c) {
    SetLowEnd(buffer.Field(key.components[c].field), key.components[c].order);
  }
  const std::int32_t code = s.primary.SetOrderAtBuffer(s.key);
  buffer.Assign(saved);
  return code;
}

std::int32_t View::ResetToPosition(std::string_view position) {
  State& s = *state_;
  if (!s.open) return SetError(FileNotOpen);
  s.Repositioned();
  return s.primary.SetOrderAtPosition(s.key, position);
}

std::int32_t View::Next() { return state_->Read(Direction::Forward); }
std::int32_t View::Previous() { return state_->Read(Direction::Backward); }

void View::Flush() {
  State& s = *state_;
  // Right after a positioning nothing has been read ahead yet.
  if (!s.open || !s.readSincePositioning) return;
  std::string position = s.primary.Position(s.key);
  // Without a current record (none read, or it was just deleted) the driver
  // holds nothing read ahead either.
  if (position.empty()) return;
  s.flushPosition = std::move(position);
  s.flushPending = true;
}

std::int32_t View::Watch() { return state_->primary.Watch(); }

std::int32_t View::Reget(std::string_view position) {
  State& s = *state_;
  if (s.primary.Reget(position) != NoError) return LastErrorCode();
  // The file reads on from the record re-read.
  s.Repositioned();
  s.readSincePositioning = true;
  return NoError;
}

std::string View::Position() {
  const State& s = *state_;
  if (!s.open) return {};
  return s.primary.Position(s.key);
}

}  // namespace runtime
