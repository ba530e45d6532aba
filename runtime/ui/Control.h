// One control of the window model. Setters change the model and mark the
// control for display; the window pushes marked controls to the backend
// before its thread waits for the next event, or at once on Display.
// Guarded by the runtime lock (owned by its Window).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "runtime/ui/ControlProperties.h"
#include "runtime/ui/ListSource.h"
#include "runtime/ui/Property.h"
#include "runtime/values/Value.h"

namespace runtime::ui {

enum class ScrollBar : std::uint8_t { Hidden, Shown };

class Control {
 public:
  explicit Control(ControlProperties properties);

  const ControlProperties& Properties() const { return p_; }
  std::int32_t Number() const { return p_.number; }
  ControlKind Kind() const { return p_.kind; }
  std::int32_t Parent() const { return p_.parent; }

  const std::string& Text() const { return p_.text; }
  void SetText(std::string text);
  std::int32_t Value() const { return p_.value; }
  void SetValue(std::int32_t value);

  bool Enabled() const { return p_.enabled; }
  void Enable();
  void Disable();
  bool Hidden() const { return p_.hidden; }
  void Hide();
  void Unhide();

  const Rect& Position() const { return p_.rect; }
  // Clamped into the coordinate range.
  void SetPosition(Rect rect);
  void SetIcon(std::string icon);
  void SetTip(std::string tip);
  void SetColours(Colour text, Colour background);
  bool Transparent() const { return p_.transparent; }
  void SetTransparent(bool transparent);
  // Window resizing leaves the control alone.
  bool NoResize() const { return p_.noResize; }
  void SetNoResize(bool noResize);
  void SetCursor(Cursor cursor);
  void SetPicture(std::string picture);
  // What the user may type into an input control: with a string picture
  // ("@s255") at most that many bytes of UTF-8, cut at a whole character;
  // the text itself otherwise.
  std::string_view TakeableText(std::string_view text) const;

  // Lists. The source is borrowed and must outlive its use by this control
  // (reset it to nullptr before it goes); the rows are read at display time.
  void SetColumns(std::vector<ListColumn> columns);
  void SetColumnColour(std::int32_t column, Colour text);  // 1-based
  void SetListSource(const ListSource* source);
  const ListSource* Source() const { return source_; }
  std::int32_t SelectedRow() const { return p_.selectedRow; }
  void SetSelectedRow(std::int32_t row);
  // Rows the list shows at its height (kListRowHeight each, below a header
  // row when a column has one); at least 1.
  std::int32_t VisibleItems() const;
  std::int32_t Thumb() const { return p_.thumb; }
  void SetThumb(std::int32_t percent);  // clamped to 0..100
  void SetScrollBar(ScrollBar bar);
  ListPaging Paging() const { return p_.paging; }
  void SetPaging(ListPaging paging);
  // Where the user last clicked the list (1-based; 0 = nowhere yet).
  std::int32_t MouseRow() const { return p_.mouseRow; }
  std::int32_t MouseColumn() const { return p_.mouseColumn; }
  void SetMouseCell(std::int32_t row, std::int32_t column);
  // The rows the list has now: its source's, 0 without one.
  std::int32_t RowCount() const;

  // Alert keys. Slots run 1..255; a slot out of range is ignored.
  void Alert(std::size_t slot, KeyCode key);
  void Unalert(std::size_t slot);
  // The slot holding key, or 0.
  std::size_t AlertSlot(KeyCode key) const;

  // In-place editing: shows this control over a cell of a list.
  void PlaceInList(std::int32_t list, std::int32_t row, std::int32_t column);
  void RemoveFromList();

  // False when the accept-all pass must reject the control: a required input
  // left blank, or a numeric picture ("@n...") holding something else.
  bool Valid() const;

  // Generic access. Set returns false, changing nothing, for a read-only
  // property or a text where a number belongs.
  runtime::Value Get(Property property) const;
  bool Set(Property property, const runtime::Value& value);

  // Display bookkeeping (Window's).
  bool Dirty() const { return dirty_; }
  void MarkDirty() { dirty_ = true; }
  void ClearDirty() { dirty_ = false; }

 private:
  ControlProperties p_;
  const ListSource* source_ = nullptr;  // borrowed, see SetListSource
  bool dirty_ = true;
};

// A value's number when it holds one ("12", " -3", 7); nullopt for "abc".
std::optional<std::int64_t> NumberOf(const runtime::Value& value);

}  // namespace runtime::ui
