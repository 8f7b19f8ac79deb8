#include "platform/types/plane_view.h"

#include <cstdint>

#include <gtest/gtest.h>

namespace {

TEST(PlaneView, RowStepAddressesPaddedRowsAndConstViewsShareTheSamples) {
  uint8_t samples[3 * 5] = {};
  // A 3 x 2 window starting at column 1 of a plane 5 samples wide.
  const plat::PlaneView<uint8_t> v{samples + 1, 3, 2, 5};
  v.At(2, 1) = 9;
  EXPECT_EQ(samples[1 + 5 + 2], 9);
  EXPECT_EQ(v.Row(1), samples + 6);
  const plat::ConstPlaneView<uint8_t> c = v;
  EXPECT_EQ(c.At(2, 1), 9);
  EXPECT_TRUE(c.valid());
  EXPECT_FALSE((plat::PlaneView<uint8_t>{nullptr, 3, 2, 3}.valid()));
  EXPECT_EQ(plat::PlaneView<float>::Packed(nullptr, 4, 3).rowStep, 4);
}

TEST(PlaneRects, InclusiveAndExclusiveDifferByOneAtTheFarEdges) {
  plat::InclusiveRect in{-2, 1, 9, 3};
  EXPECT_EQ(in.width(), 12);
  EXPECT_TRUE(in.ClipTo(5, 3));
  EXPECT_EQ(in.left, 0);
  EXPECT_EQ(in.right, 4);
  EXPECT_EQ(in.bottom, 2);
  const plat::ExclusiveRect ex = in.Exclusive();
  EXPECT_EQ(ex.right, 5);
  EXPECT_EQ(ex.bottom, 3);
  EXPECT_EQ(ex.width(), in.width());
  EXPECT_EQ(ex.Inclusive().right, 4);
  plat::ExclusiveRect outside{6, 0, 8, 2};
  EXPECT_FALSE(outside.ClipTo(5, 3));
  EXPECT_TRUE((plat::ExclusiveRect{2, 2, 2, 4}.empty()));
  EXPECT_FALSE((plat::InclusiveRect{2, 2, 2, 2}.empty()));
  EXPECT_EQ(plat::InclusiveRect::Whole(4, 3).bottom, 2);
}

}  // namespace
