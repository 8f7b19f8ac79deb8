#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "operations/effects.h"
#include "support/session.h"

namespace {

using Plane = std::vector<unsigned char>;

class TwoLayer : public vmktest::SessionTest {};

// Add of a w x h source onto an equal target, whole regions.
int32_t AddAll(int16_t mode, int16_t opacity, const Plane& src, Plane& dst, int32_t w, int32_t h,
               const unsigned char* mask, int16_t amount) {
  return Effects::Add(mode, opacity, src.data(), h, w, dst.data(), h, w, 0, 0, w - 1, h - 1, 0,
                      0, w - 1, h - 1, 1, 1, mask, amount);
}

TEST(RegionMapping, EqualExtentsMapOneToOneAndHalfExtentsTakeEveryOtherColumn) {
  int16_t cols[8], rows[8];
  ASSERT_EQ(Effects::GetOffset(4, 5, 4, 5, 0, 0, 4, 3, 0, 0, 4, 3, cols, rows), 0);
  EXPECT_EQ((std::vector<int16_t>(cols, cols + 5)), (std::vector<int16_t>{0, 1, 2, 3, 4}));
  EXPECT_EQ((std::vector<int16_t>(rows, rows + 4)), (std::vector<int16_t>{0, 1, 2, 3}));

  // Source extent 8 onto target extent 4, starting at column 2 of the
  // source: every other column, ending exactly on the source's last.
  ASSERT_EQ(Effects::GetOffset(3, 12, 3, 8, 2, 0, 10, 2, 1, 0, 5, 2, cols, rows), 0);
  EXPECT_EQ((std::vector<int16_t>(cols, cols + 5)), (std::vector<int16_t>{2, 4, 6, 8, 10}));

  // An uneven extent still ends on the last column: 9 over 4 steps.
  ASSERT_EQ(Effects::GetOffset(2, 10, 2, 5, 0, 0, 9, 1, 0, 0, 4, 1, cols, rows), 0);
  EXPECT_EQ((std::vector<int16_t>(cols, cols + 5)), (std::vector<int16_t>{0, 2, 4, 6, 9}));

  // Bounds beyond the planes are clamped to them.
  ASSERT_EQ(Effects::GetOffset(3, 6, 3, 6, -5, -1, 99, 99, -2, 0, 50, 2, cols, rows), 0);
  EXPECT_EQ((std::vector<int16_t>(cols, cols + 6)), (std::vector<int16_t>{0, 1, 2, 3, 4, 5}));
  EXPECT_EQ((std::vector<int16_t>(rows, rows + 3)), (std::vector<int16_t>{0, 1, 2}));
}

TEST(RegionMapping, RegionsThatCannotBeMappedWriteNothing) {
  int16_t cols[4] = {-7, -7, -7, -7}, rows[4] = {-7, -7, -7, -7};
  // One target row; one source column; a region clamped down to one column.
  EXPECT_EQ(Effects::GetOffset(4, 4, 4, 4, 0, 0, 3, 3, 0, 2, 3, 2, cols, rows), -1);
  EXPECT_EQ(Effects::GetOffset(4, 4, 4, 4, 1, 0, 1, 3, 0, 0, 3, 3, cols, rows), -1);
  EXPECT_EQ(Effects::GetOffset(4, 4, 4, 4, 0, 0, 3, 3, 3, 0, 9, 3, cols, rows), -1);
  // Source columns past the 16-bit tables would wrap.
  EXPECT_EQ(Effects::GetOffset(2, 40000, 2, 4, 0, 0, 39999, 1, 0, 0, 3, 1, cols, rows), -1);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(cols[i], -7);
    EXPECT_EQ(rows[i], -7);
  }
}

TEST_F(TwoLayer, AddSubtractDifferenceMultiplyAtFullStrength) {
  const Plane src = {0, 80, 200, 255};
  const Plane old = {10, 50, 100, 255};
  const Plane mask(4, 255);
  Plane dst = old;
  ASSERT_EQ(AddAll(0, 255, src, dst, 2, 2, mask.data(), 255), 0);
  EXPECT_EQ(dst, (Plane{10, 130, 255, 255}));  // min(255, old + s)
  dst = old;
  ASSERT_EQ(AddAll(0, 255, src, dst, 2, 2, mask.data(), 0), 0);
  EXPECT_EQ(dst, old);
  dst = old;
  ASSERT_EQ(AddAll(0, 255, src, dst, 2, 2, mask.data(), 128), 0);
  EXPECT_EQ(dst, (Plane{10, 50 + 128 * 80 / 255, 100 + 128 * 200 / 255, 255}));

  dst = old;
  ASSERT_EQ(Effects::Subtract(0, 255, src.data(), 2, 2, dst.data(), 2, 2, 0, 0, 1, 1, 0, 0, 1, 1,
                              1, 1, mask.data(), 255),
            0);
  EXPECT_EQ(dst, (Plane{10, 0, 0, 0}));
  dst = old;
  ASSERT_EQ(Effects::Difference(0, 255, src.data(), 2, 2, dst.data(), 2, 2, 0, 0, 1, 1, 0, 0, 1,
                                1, 1, 1, mask.data(), 255),
            0);
  EXPECT_EQ(dst, (Plane{10, 30, 100, 0}));
  dst = old;
  ASSERT_EQ(Effects::Multiply(0, 255, src.data(), 2, 2, dst.data(), 2, 2, 0, 0, 1, 1, 0, 0, 1, 1,
                              1, 1, mask.data()),
            0);
  // s = 255 keeps the sample, s = 0 gives 0.
  EXPECT_EQ(dst, (Plane{0, 50 * 80 / 255, 100 * 200 / 255, 255}));
}

TEST_F(TwoLayer, WeightModesAndMasks) {
  const Plane src(4, 100);
  Plane dst(4, 100);
  // Weight 200 * 128 / 255 = 100: (155 * 100 + 100 * 200) / 255.
  const Plane mask(4, 200);
  ASSERT_EQ(AddAll(0, 128, src, dst, 2, 2, mask.data(), 255), 0);
  EXPECT_EQ(dst, Plane(4, 139));

  // A mask of 0 keeps every pixel whatever the mode.
  const Plane zero(4, 0);
  for (int16_t mode = 0; mode < 12; ++mode) {
    Plane d = {0, 90, 180, 255};
    ASSERT_EQ(AddAll(mode, 255, src, d, 2, 2, zero.data(), 255), 0);
    EXPECT_EQ(d, (Plane{0, 90, 180, 255})) << "mode " << mode;
  }

  // No mask is the full effect.
  dst.assign(4, 100);
  ASSERT_EQ(AddAll(0, 255, src, dst, 2, 2, nullptr, 255), 0);
  EXPECT_EQ(dst, Plane(4, 200));

  // Blend mode 7 (the kernel's eighth) is the product of the complements,
  // not its complement: Add with amount 0 feeds it the old sample itself.
  dst.assign(4, 55);
  ASSERT_EQ(AddAll(7, 255, src, dst, 2, 2, nullptr, 0), 0);
  EXPECT_EQ(dst, Plane(4, 200 * 200 / 255));
}

TEST_F(TwoLayer, InterleavedTargetsTakeTheSourcePixelsFirstSample) {
  // Source: 3 samples a pixel; only the first counts.
  const Plane src = {10, 99, 99, 20, 99, 99, 30, 99, 99, 40, 99, 99};
  Plane dst(2 * 2 * 2, 5);
  ASSERT_EQ(Effects::Add(0, 255, src.data(), 2, 2, dst.data(), 2, 2, 0, 0, 1, 1, 0, 0, 1, 1, 3,
                         2, nullptr, 255),
            0);
  EXPECT_EQ(dst, (Plane{15, 15, 25, 25, 35, 35, 45, 45}));
}

TEST_F(TwoLayer, ScaledRegionsAndClampedTargets) {
  // A 4 x 1 source row of distinct values onto a 2 x 2 part of a 4 x 4
  // target (rows cannot be one row: use two source rows).
  const Plane src = {10, 20, 30, 40, 50, 60, 70, 80};
  Plane dst(16, 0);
  ASSERT_EQ(Effects::Add(0, 255, src.data(), 2, 4, dst.data(), 4, 4, 0, 0, 3, 1, 2, 2, 3, 3, 1,
                         1, nullptr, 255),
            0);
  EXPECT_EQ(dst, (Plane{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 10, 40, 0, 0, 50, 80}));
  // A target region reaching past the plane is clamped to it.
  dst.assign(16, 0);
  ASSERT_EQ(Effects::Add(0, 255, src.data(), 2, 4, dst.data(), 4, 4, 0, 0, 3, 1, 2, -3, 9, 9, 1,
                         1, nullptr, 255),
            0);
  EXPECT_EQ(dst[2], 10);
  EXPECT_EQ(dst[3], 40);
  EXPECT_EQ(dst[15], 80);
  EXPECT_EQ(dst[0], 0);
}

TEST_F(TwoLayer, UnmappableRegionsAndMissingMemoryLeaveTheTarget) {
  const Plane src(16, 100);
  const Plane old(16, 7);
  Plane dst = old;
  // A single target row.
  EXPECT_EQ(Effects::Add(0, 255, src.data(), 4, 4, dst.data(), 4, 4, 0, 0, 3, 3, 0, 1, 3, 1, 1,
                         1, nullptr, 255),
            -1);
  EXPECT_EQ(Effects::Replace(0, 255, src.data(), nullptr, nullptr, 4, 4, dst.data(), nullptr,
                             nullptr, 4, 4, 2, 0, 2, 3, 0, 0, 3, 3, 1, 1, nullptr, 255),
            -1);
  EXPECT_EQ(dst, old);

  vmktest::NoWorkMemory none;
  EXPECT_EQ(AddAll(0, 255, src, dst, 4, 4, nullptr, 255), -1);
  EXPECT_EQ(Effects::Multiply(0, 255, src.data(), 4, 4, dst.data(), 4, 4, 0, 0, 3, 3, 0, 0, 3, 3,
                              1, 1, nullptr),
            -1);
  none.End();
  EXPECT_EQ(dst, old);
  EXPECT_EQ(gPer->memMan->count(), 0);  // the tables went back
}

TEST_F(TwoLayer, ReplaceCopiesMixesAndAveragesPlanes) {
  const Plane sr = {30, 60, 90, 120}, sg = {0, 10, 20, 255}, sb = {3, 5, 7, 255};
  const Plane old = {200, 200, 200, 200};
  const Plane mask(4, 255);
  Plane r = old, g = old, b = old;
  auto replace = [&](int16_t cs, int16_t ct, int16_t amount, unsigned char* tg,
                     unsigned char* tb) {
    return Effects::Replace(0, 255, sr.data(), sg.data(), sb.data(), 2, 2, r.data(), tg, tb, 2, 2,
                            0, 0, 1, 1, 0, 0, 1, 1, cs, ct, mask.data(), amount);
  };
  // Amount 255: a copy, plane by plane.
  ASSERT_EQ(replace(3, 3, 255, g.data(), b.data()), 0);
  EXPECT_EQ(r, sr);
  EXPECT_EQ(g, sg);
  EXPECT_EQ(b, sb);
  // Amount 0: nothing changes.
  r = g = b = old;
  ASSERT_EQ(replace(3, 3, 0, g.data(), b.data()), 0);
  EXPECT_EQ(r, old);
  EXPECT_EQ(b, old);
  // Amount 128 mixes the kernel's result into the old sample first.
  ASSERT_EQ(replace(1, 1, 128, nullptr, nullptr), 0);
  EXPECT_EQ(r[0], (127 * 200 + 128 * 30) / 255);
  // Three planes into one: the truncated mean, red plane only.
  r = old;
  ASSERT_EQ(replace(3, 1, 255, nullptr, nullptr), 0);
  EXPECT_EQ(r, (Plane{(30 + 0 + 3) / 3, (60 + 10 + 5) / 3, (90 + 20 + 7) / 3, (120 + 510) / 3}));
  // One plane into three: red into each.
  r = g = b = old;
  ASSERT_EQ(replace(1, 3, 255, g.data(), b.data()), 0);
  EXPECT_EQ(r, sr);
  EXPECT_EQ(g, sr);
  EXPECT_EQ(b, sr);
  // One into one touches only red.
  r = g = old;
  ASSERT_EQ(replace(1, 1, 255, g.data(), b.data()), 0);
  EXPECT_EQ(r, sr);
  EXPECT_EQ(g, old);
  // Three target planes asked for without them: refused.
  r = old;
  EXPECT_EQ(replace(1, 3, 255, nullptr, nullptr), -1);
  EXPECT_EQ(r, old);
}

}  // namespace
