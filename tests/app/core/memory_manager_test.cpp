#include "app/core/memory_manager.h"

#include <gtest/gtest.h>

#include "support/session.h"

namespace {

TEST(CMemMan, LeftoverBlocksAreFreedExactlyOnceAtDestruction) {
  const int64_t before = plat::LiveBlockCount();
  {
    CMemMan m;
    ASSERT_NE(m.NewBuf(10), nullptr);
    ASSERT_NE(m.NewBuf(20), nullptr);
    EXPECT_EQ(plat::LiveBlockCount(), before + 2);
  }
  EXPECT_EQ(plat::LiveBlockCount(), before);
}

TEST(CMemMan, ForeignNullAndFreedBlocksAreHarmless) {
  CMemMan m;
  char* a = m.NewBuf(8);
  int foreign = 0;
  EXPECT_EQ(m.DelBuf(nullptr), 0);
  EXPECT_EQ(m.DelBuf(&foreign), 0);
  EXPECT_EQ(m.DelBuf(a), 1);
  EXPECT_EQ(m.DelBuf(a), 0);
  EXPECT_EQ(m.count(), 0);
}

TEST(CMemMan, ReverseOrderFreeThenAllocateLeavesOne) {
  CMemMan m;
  char* a = m.NewBuf(4);
  char* b = m.NewBuf(4);
  EXPECT_EQ(m.DelBuf(b), 1);
  EXPECT_EQ(m.DelBuf(a), 1);
  char* c = m.NewBuf(4);
  EXPECT_EQ(m.count(), 1);
  ASSERT_NE(m.head(), nullptr);
  EXPECT_EQ(m.head()->block, c);
  EXPECT_EQ(m.head()->next, nullptr);
}

TEST(CMemMan, NumberedBlocksTakeSerials) {
  CMemMan m;
  m.NewBuf(4, 1);
  m.NewBuf(4, 0);
  m.NewBuf(4, 1);
  EXPECT_EQ(m.head()->identifier, 1.0);
  EXPECT_EQ(m.head()->next->identifier, 0.0);
  EXPECT_EQ(m.head()->next->next->identifier, 2.0);
}

class VMKMemManTest : public vmktest::SessionTest {};

TEST_F(VMKMemManTest, SlotsCreateOnDemandAndReuse) {
  VMKMemMan v;
  v.IniVMKMemMan(4, 3, 8);
  EXPECT_EQ(v.bytesPerSample(), 1);
  EXPECT_EQ(v.GetBuf(5, 0), nullptr);
  EXPECT_EQ(session_.memMan().count(), 0);
  char* p = v.GetBuf(5, 1);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(v.GetBuf(5, 1), p);
  EXPECT_EQ(plat::GetPtrSize(p), 12);
  v.CreBuf(5);  // frees the old plane first
  EXPECT_EQ(session_.memMan().count(), 1);
}

TEST_F(VMKMemManTest, DeletingSlots) {
  VMKMemMan v;
  v.IniVMKMemMan(2, 2, 16);
  EXPECT_EQ(v.bytesPerSample(), 2);
  EXPECT_EQ(v.DelBuf(7), -1);
  v.GetBuf(7, 1);
  EXPECT_EQ(v.DelBuf(7), 0);
  EXPECT_EQ(v.depth(7), 0);
  EXPECT_EQ(session_.memMan().count(), 0);
}

TEST_F(VMKMemManTest, OutOfRangeSlotsAndHugePlanesAreRefused) {
  VMKMemMan v;
  v.IniVMKMemMan(100000, 100000, 32);
  EXPECT_EQ(v.GetBuf(-1, 1), nullptr);
  EXPECT_EQ(v.GetBuf(90, 1), nullptr);
  EXPECT_EQ(v.DelBuf(90), -1);
  // 4e10 bytes: refused, but the slot counts as created with no plane.
  EXPECT_EQ(v.CreBuf(3), nullptr);
  EXPECT_EQ(v.DelBuf(3), 0);
  EXPECT_EQ(v.depth(3), 4);
}

}  // namespace

namespace {

TEST(CMemMan, ZeroSizedBlocksRegisterAndRefusedSizesLeaveNoTrace) {
  CMemMan m;
  char* z = m.NewBuf(0);
  ASSERT_NE(z, nullptr);
  EXPECT_EQ(m.count(), 1);
  EXPECT_EQ(m.NewBuf(-1), nullptr);
  EXPECT_EQ(m.count(), 1);
  EXPECT_EQ(m.GetCMem(z)->size, 0);
  // Freeing from the middle keeps the order of the others.
  char* a = m.NewBuf(1);
  char* b = m.NewBuf(2);
  EXPECT_EQ(m.DelBuf(a), 1);
  EXPECT_EQ(m.head()->block, z);
  EXPECT_EQ(m.head()->next->block, b);
  EXPECT_EQ(m.count(), 2);
}

TEST_F(VMKMemManTest, DepthFollowsTheBitsPerSampleAndTheTableFreesItsPlanes) {
  const int64_t live = plat::LiveBlockCount();
  {
    VMKMemMan v;
    v.IniVMKMemMan(3, 2, 32);
    EXPECT_EQ(v.bytesPerSample(), 4);
    char* p = v.GetBuf(89, 1);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(plat::GetPtrSize(p), 24);
    int32_t slot = -1;
    EXPECT_EQ(v.GetID(p, &slot), 0);
    EXPECT_EQ(slot, 89);
    v.GetBuf(0, 1);
    v.DelAllBuf();
    EXPECT_EQ(session_.memMan().count(), 0);
    EXPECT_EQ(v.depth(0), 4);  // depths stay
    v.GetBuf(1, 1);
    EXPECT_EQ(session_.memMan().count(), 1);
  }
  // The table's destructor handed its last plane back.
  EXPECT_EQ(session_.memMan().count(), 0);
  EXPECT_EQ(plat::LiveBlockCount(), live);
}

}  // namespace
