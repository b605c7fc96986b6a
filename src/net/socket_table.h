#pragma once
#include <vector>

class CAsyncSocketEx;

// The sockets of one thread, by slot. A socket's slot is how its events find it again, so a
// slot is never reused while its socket lives, and free slots are handed out in rotation.
class SocketTable {
 public:
  static constexpr int kInitialCapacity = 512;
  static constexpr int kGrowth = 512;
  static constexpr int kMaxCapacity = 48126;
  static constexpr int kHeadroom = 10;

  // Stores the socket and returns its slot, or -1 when the table is full.
  int Add(CAsyncSocketEx* socket);
  void Remove(int slot);
  CAsyncSocketEx* At(int slot) const;

  int Capacity() const { return static_cast<int>(entries_.size()); }
  int Count() const { return count_; }

 private:
  std::vector<CAsyncSocketEx*> entries_;
  int count_ = 0;
  int nextFree_ = 0;
};
