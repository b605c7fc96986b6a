#include <gtest/gtest.h>

#include "net/socket_table.h"

namespace {

CAsyncSocketEx* Fake(int n) {
  return reinterpret_cast<CAsyncSocketEx*>(static_cast<intptr_t>(n + 1) * 16);
}

TEST(SocketTable, GrowsBy512WhenTenSlotsAreLeftAndStopsAt48126) {
  SocketTable table;
  for (int i = 0; i < 502; ++i) ASSERT_EQ(table.Add(Fake(i)), i);
  EXPECT_EQ(table.Capacity(), 512);
  EXPECT_EQ(table.Add(Fake(502)), 502);
  EXPECT_EQ(table.Capacity(), 1024);
  EXPECT_EQ(table.At(0), Fake(0)) << "entries survive growth";

  SocketTable full;
  int added = 0;
  while (full.Add(Fake(added)) >= 0) ++added;
  EXPECT_EQ(full.Capacity(), SocketTable::kMaxCapacity);
  EXPECT_EQ(added, SocketTable::kMaxCapacity);
  full.Remove(7);
  EXPECT_EQ(full.Add(Fake(1)), 7) << "a freed slot is found after a full turn";
}

TEST(SocketTable, HandsOutSlotsInRotation) {
  SocketTable table;
  EXPECT_EQ(table.Add(Fake(0)), 0);
  EXPECT_EQ(table.Add(Fake(1)), 1);
  table.Remove(0);
  EXPECT_EQ(table.Count(), 1);
  EXPECT_EQ(table.At(0), nullptr);
  EXPECT_EQ(table.Add(Fake(2)), 2) << "a just-freed slot is not reused at once";
  table.Remove(2);
  table.Remove(2);
  EXPECT_EQ(table.Count(), 1) << "removing twice counts once";
  EXPECT_EQ(table.At(-1), nullptr);
  EXPECT_EQ(table.At(4000), nullptr);
}

}  // namespace
