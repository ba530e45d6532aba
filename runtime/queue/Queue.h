// The runtime's queue: an in-memory table of entries with positional and
// keyed access. Positions are 1-based, as everywhere in the runtime; the
// current position is the entry last added, read or written. A miss is
// answered by nullptr or false and leaves the runtime's error state alone, so
// bookkeeping queues never disturb the code of a file operation. Not thread-safe:
// a queue belongs to the object that created it and is used under the
// runtime lock.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace runtime {

template <typename Entry>
class Queue {
 public:
  std::size_t Records() const { return entries_.size(); }
  bool Empty() const { return entries_.empty(); }
  // The current position: the entry last added, read or written; 0 if none.
  std::size_t Pointer() const { return pointer_; }

  // Adds at the end.
  void Add(Entry entry) {
    entries_.push_back(std::move(entry));
    pointer_ = entries_.size();
  }

  // Adds at position (1..Records()+1); a position past the end appends.
  void Insert(std::size_t position, Entry entry) {
    position = std::clamp<std::size_t>(position, 1, entries_.size() + 1);
    entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(position - 1), std::move(entry));
    pointer_ = position;
  }

  // Adds in key order: after every entry that does not sort after it, so
  // equal keys keep their order of arrival. less(a, b) is the key order.
  template <typename Less>
  void AddSorted(Entry entry, Less less) {
    auto at = std::upper_bound(entries_.begin(), entries_.end(), entry, less);
    pointer_ = static_cast<std::size_t>(at - entries_.begin()) + 1;
    entries_.insert(at, std::move(entry));
  }

  // The entry at position, or nullptr. The pointer is valid until the next
  // add, insert or delete.
  Entry* Get(std::size_t position) {
    if (position == 0 || position > entries_.size()) return nullptr;
    pointer_ = position;
    return &entries_[position - 1];
  }

  // The first entry for which matches(entry) holds, or nullptr.
  template <typename Match>
  Entry* Find(Match matches) {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
      if (matches(entries_[i])) return Get(i + 1);
    }
    return nullptr;
  }

  // The last entry for which matches(entry) holds (scanning back from the end).
  template <typename Match>
  Entry* FindLast(Match matches) {
    for (std::size_t i = entries_.size(); i > 0; --i) {
      if (matches(entries_[i - 1])) return Get(i);
    }
    return nullptr;
  }

  // Replaces the entry at position; false when there is none.
  bool Put(std::size_t position, Entry entry) {
    Entry* slot = Get(position);
    if (slot == nullptr) return false;
    *slot = std::move(entry);
    return true;
  }

  // Removes the entry at position; false when there is none.
  bool Delete(std::size_t position) {
    if (Get(position) == nullptr) return false;
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(position - 1));
    pointer_ = std::min(position, entries_.size());
    return true;
  }

  // Stable sort by less(a, b).
  template <typename Less>
  void Sort(Less less) {
    std::stable_sort(entries_.begin(), entries_.end(), less);
    pointer_ = 0;
  }

  void Free() {
    entries_.clear();
    pointer_ = 0;
  }

  auto begin() { return entries_.begin(); }
  auto end() { return entries_.end(); }
  auto begin() const { return entries_.begin(); }
  auto end() const { return entries_.end(); }

 private:
  std::vector<Entry> entries_;
  std::size_t pointer_ = 0;
};

}  // namespace runtime
