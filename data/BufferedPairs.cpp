#include "data/BufferedPairs.h"

#include <algorithm>

namespace marlinden {

void BufferedPairs::Init() {
  FieldPairs::Init();
  REALLIST = &LIST;
}

void BufferedPairs::Kill() {
  FieldPairs::Kill();
  REALLIST = nullptr;
}

bool BufferedPairs::AddPair(runtime::FieldRef left, runtime::FieldRef right) {
  if (!left.Valid() || !right.Valid()) return false;
  REALLIST = &LIST;
  FieldPair pair{left, right, {}};
  pair.BUFFER.DESC = right.Desc();
  pair.BUFFER.DESC.offset = 0;
  pair.BUFFER.BYTES.assign(std::max<std::size_t>(pair.BUFFER.DESC.size, 1), 0);
  pair.BUFFER.Ref().Clear();
  LIST.Add(std::move(pair));
  return true;
}

namespace {
template <typename Step>
void ForEach(runtime::Queue<FieldPair>* list, Step step) {
  if (list == nullptr) return;
  for (FieldPair& pair : *list) step(pair);
}

template <typename Test>
bool All(runtime::Queue<FieldPair>* list, Test test) {
  return list == nullptr || std::all_of(list->begin(), list->end(), test);
}
}  // namespace

void BufferedPairs::AssignLeftToBuffer() {
  ForEach(REALLIST, [](FieldPair& p) { p.BUFFER.Ref().Set(p.LEFT.Get()); });
}

void BufferedPairs::AssignRightToBuffer() {
  ForEach(REALLIST, [](FieldPair& p) { p.BUFFER.Ref().Set(p.RIGHT.Get()); });
}

void BufferedPairs::AssignBufferToLeft() {
  ForEach(REALLIST, [](FieldPair& p) { p.LEFT.Set(p.BUFFER.Ref().Get()); });
}

void BufferedPairs::AssignBufferToRight() {
  ForEach(REALLIST, [](FieldPair& p) { p.RIGHT.Set(p.BUFFER.Ref().Get()); });
}

bool BufferedPairs::EqualLeftBuffer() {
  return All(REALLIST, [](FieldPair& p) { return runtime::Compare(p.LEFT, p.BUFFER.Ref()) == 0; });
}

bool BufferedPairs::EqualRightBuffer() {
  return All(REALLIST, [](FieldPair& p) { return runtime::Compare(p.RIGHT, p.BUFFER.Ref()) == 0; });
}

}  // namespace marlinden
