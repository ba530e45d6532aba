#include "data/FieldPairs.h"

#include <algorithm>

namespace marlinden {

void FieldPairs::Init() { LIST.Free(); }

void FieldPairs::Kill() { LIST.Free(); }

bool FieldPairs::AddPair(runtime::FieldRef left, runtime::FieldRef right) {
  if (!left.Valid() || !right.Valid()) return false;
  LIST.Add(FieldPair{left, right, {}});
  return true;
}

void FieldPairs::AssignLeftToRight() {
  for (FieldPair& pair : LIST) pair.RIGHT.Set(pair.LEFT.Get());
}

void FieldPairs::AssignRightToLeft() {
  for (FieldPair& pair : LIST) pair.LEFT.Set(pair.RIGHT.Get());
}

void FieldPairs::ClearLeft() {
  for (FieldPair& pair : LIST) pair.LEFT.Clear();
}

void FieldPairs::ClearRight() {
  for (FieldPair& pair : LIST) pair.RIGHT.Clear();
}

bool FieldPairs::Equal() {
  return std::all_of(LIST.begin(), LIST.end(),
                     [](const FieldPair& pair) { return runtime::Compare(pair.LEFT, pair.RIGHT) == 0; });
}

}  // namespace marlinden
