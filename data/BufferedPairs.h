// A pair list that keeps a third value per pair: the BUFFER, a value of the
// right variable's type owned by the entry (for example a relation's linking
// fields as they were when the record was read, or a range limit of a sort
// order). The base operations see LEFT and RIGHT of the same entries.
// Used under the runtime lock.
#pragma once

#include "data/FieldPairs.h"

namespace marlinden {

class BufferedPairs : public FieldPairs {
 public:
  // Drops any existing entries; LIST and REALLIST are the same list.
  void Init() override;
  // Drops every entry with its buffer; REALLIST refers to nothing after it.
  void Kill() override;

  // Appends an entry for left and right with a blank BUFFER of right's type
  // (right's own value is unchanged). Refuses references to nothing.
  bool AddPair(runtime::FieldRef left, runtime::FieldRef right) override;

  // For every entry, assigns between the two named members.
  void AssignLeftToBuffer();
  void AssignRightToBuffer();
  void AssignBufferToLeft();
  void AssignBufferToRight();
  // True when every entry's left (right) equals its buffer; true when empty.
  bool EqualLeftBuffer();
  bool EqualRightBuffer();

  // The same list as LIST, seen with its buffers; nullptr after Kill.
  runtime::Queue<FieldPair>* REALLIST = &LIST;
};

}  // namespace marlinden
