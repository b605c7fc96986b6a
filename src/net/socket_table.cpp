#include "net/socket_table.h"

#include <algorithm>

int SocketTable::Add(CAsyncSocketEx* socket) {
  if (entries_.empty()) entries_.assign(kInitialCapacity, nullptr);
  if (count_ >= Capacity() - kHeadroom && Capacity() < kMaxCapacity) {
    entries_.resize(std::min(Capacity() + kGrowth, kMaxCapacity), nullptr);
  }
  const int capacity = Capacity();
  for (int tried = 0; tried < capacity; ++tried) {
    const int slot = (nextFree_ + tried) % capacity;
    if (entries_[slot]) continue;
    entries_[slot] = socket;
    ++count_;
    nextFree_ = (slot + 1) % capacity;
    return slot;
  }
  return -1;
}

void SocketTable::Remove(int slot) {
  if (slot < 0 || slot >= Capacity() || !entries_[slot]) return;
  entries_[slot] = nullptr;
  --count_;
}

CAsyncSocketEx* SocketTable::At(int slot) const {
  return slot >= 0 && slot < Capacity() ? entries_[slot] : nullptr;
}
