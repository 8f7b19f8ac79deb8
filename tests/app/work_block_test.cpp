#include <cstdint>
#include <utility>

#include <gtest/gtest.h>

#include "app/core/memory_manager.h"
#include "platform/memory/block.h"
#include "support/session.h"

namespace {

// A kernel shaped the usual way: two blocks, a failure half way through.
int32_t TwoBlocksThenFail(bool fail) {
  plat::Block<int32_t> a(16, WorkSource());
  if (!a) return -1;
  plat::Block<float> b(8, WorkSource());
  if (!b) return -1;
  if (fail) return -1;
  return 0;
}

TEST(WorkBlock, GoesBackToTheSessionRegistryOnEveryPath) {
  vmktest::ScopedSession session;
  CMemMan& man = session.memMan();
  {
    plat::Block<uint16_t> row(10, WorkSource());
    ASSERT_TRUE(row);
    EXPECT_EQ(man.count(), 1);
    EXPECT_EQ(man.head()->size, 20);
    EXPECT_EQ(row.size(), 10);
    EXPECT_EQ(row.bytes(), 20);
  }
  EXPECT_EQ(man.count(), 0);
  EXPECT_EQ(TwoBlocksThenFail(true), -1);
  EXPECT_EQ(man.count(), 0);
  EXPECT_EQ(TwoBlocksThenFail(false), 0);
  EXPECT_EQ(man.count(), 0);
}

TEST(WorkBlock, MovesKeepOneOwnerAndResetFreesEarly) {
  vmktest::ScopedSession session;
  CMemMan& man = session.memMan();
  plat::Block<char> a(4, WorkSource());
  char* p = a.get();
  plat::Block<char> b(std::move(a));
  EXPECT_FALSE(a);
  EXPECT_EQ(b.get(), p);
  plat::Block<char> c(2, WorkSource());
  EXPECT_EQ(man.count(), 2);
  c = std::move(b);  // c's own block goes back first
  EXPECT_EQ(man.count(), 1);
  EXPECT_EQ(c.get(), p);
  c.reset();
  EXPECT_FALSE(c);
  EXPECT_EQ(man.count(), 0);
}

TEST(WorkBlock, FailureIsEmptyAndZeroCountIsNot) {
  vmktest::ScopedSession session;
  plat::Block<int32_t> negative(-1, WorkSource());
  EXPECT_FALSE(negative);
  EXPECT_EQ(negative.size(), 0);
  // Beyond the registry's 32-bit sizes: refused, nothing registered.
  plat::Block<int32_t> huge(int64_t{1} << 30, WorkSource());
  EXPECT_FALSE(huge);
  plat::Block<double> overflow(INT64_MAX / 4, WorkSource());
  EXPECT_FALSE(overflow);
  EXPECT_EQ(session.memMan().count(), 0);
  plat::Block<int32_t> none(0, WorkSource());
  EXPECT_TRUE(none);
  EXPECT_EQ(none.size(), 0);
}

TEST(WorkBlock, WithoutASessionThePlainAllocatorServes) {
  ASSERT_EQ(SessionMemMan(), nullptr);
  const int64_t live = plat::LiveBlockCount();
  {
    plat::Block<uint8_t> b(100, WorkSource());
    ASSERT_TRUE(b);
    b.Clear();
    EXPECT_EQ(b[99], 0);
    EXPECT_EQ(plat::GetPtrSize(b.get()), 100);
    EXPECT_EQ(plat::LiveBlockCount(), live + 1);
  }
  EXPECT_EQ(plat::LiveBlockCount(), live);
}

}  // namespace
