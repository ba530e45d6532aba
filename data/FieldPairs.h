// Lists of variable pairs moved and compared as a group: FieldPairs holds
// (left, right) pairs of references to variables of any type (usually record
// fields of two files); BufferedPairs (BufferedPairs.h) adds a third value per
// pair that the entry owns. Assignment converts between types and comparison
// is by value, as the runtime's typed values do. The variables are borrowed
// and must outlive the list. Used under the runtime lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "runtime/files/RecordLayout.h"
#include "runtime/queue/Queue.h"
#include "runtime/values/FieldRef.h"

namespace marlinden {

// A value owned by a list entry: its own copy of a field descriptor and its
// own bytes. The reference is made on demand, so it stays right when the
// entry moves inside its queue; it is valid until the list changes.
struct OwnedValue {
  runtime::FieldDesc DESC;
  std::vector<std::uint8_t> BYTES;

  bool Valid() const { return !BYTES.empty(); }  // made with at least one byte
  runtime::FieldRef Ref() { return Valid() ? runtime::FieldRef(BYTES.data(), DESC) : runtime::FieldRef(); }
};

// One entry of a pair list. A plain FieldPairs list leaves BUFFER empty.
struct FieldPair {
  runtime::FieldRef LEFT;
  runtime::FieldRef RIGHT;
  OwnedValue BUFFER;  // BufferedPairs only: a value of RIGHT's type
};

class FieldPairs {
 public:
  FieldPairs() = default;
  virtual ~FieldPairs() = default;
  FieldPairs(const FieldPairs&) = delete;
  FieldPairs& operator=(const FieldPairs&) = delete;

  // Drops any existing pairs and starts an empty list.
  virtual void Init();
  // Drops every pair; a second call does nothing more.
  virtual void Kill();

  // Appends a pair referring to the two variables. Pairs with a reference
  // to nothing are refused (false), so no operation meets one later.
  virtual bool AddPair(runtime::FieldRef left, runtime::FieldRef right);

  // For every pair in order, assigns one side's value to the other.
  void AssignLeftToRight();
  void AssignRightToLeft();
  // For every pair, clears one side (blank text, zero number).
  void ClearLeft();
  void ClearRight();
  // True when every pair's left equals its right (true for an empty list).
  bool Equal();

  std::size_t Records() const { return LIST.Records(); }

  // The pairs, in the order they were added. Owned by the list.
  runtime::Queue<FieldPair> LIST;
};

}  // namespace marlinden
