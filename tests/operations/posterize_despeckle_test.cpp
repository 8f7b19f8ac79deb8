#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "operations/despeckle.h"
#include "operations/effects.h"
#include "support/session.h"

namespace {

using Plane = std::vector<unsigned char>;

class PosterizeDespeckle : public vmktest::SessionTest {};

TEST_F(PosterizeDespeckle, DespeckleScalesTightnessAndBlendsTheRegion) {
  // A two-pixel blob 25 from its left neighbour merges in pass 2 only at
  // tightness 8.0 or less; 100 percent passes exactly 8.0.
  const Plane start = {100, 100, 100, 100, 125, 125, 200, 200, 200, 200};
  Plane p = start;
  ASSERT_EQ(Effects::Despeckle(0, 255, 1, p.data(), nullptr, nullptr, 1, 10, 0, 0, 9, 0, nullptr,
                               3, 100),
            0);
  Plane direct = start;
  ASSERT_EQ(despeckle(direct.data(), nullptr, nullptr, 1, 1, 10, 3, 8.0f), 0);
  EXPECT_EQ(p, direct);
  EXPECT_EQ(p[4], 100);

  // The region limits what is written, not what is despeckled.
  p = start;
  ASSERT_EQ(Effects::Despeckle(0, 255, 1, p.data(), nullptr, nullptr, 1, 10, 5, 0, 9, 0, nullptr,
                               3, 100),
            0);
  EXPECT_EQ(p[4], 125);
  EXPECT_EQ(p[5], 100);

  for (int16_t channels : {0, 2, 3}) {
    p = start;
    EXPECT_EQ(Effects::Despeckle(0, 255, channels, p.data(), p.data(), p.data(), 1, 10, 0, 0, 9,
                                 0, nullptr, 3, 100),
              0);
    EXPECT_EQ(p, start);
  }
  p = start;
  EXPECT_EQ(Effects::Despeckle(0, 0, 1, p.data(), nullptr, nullptr, 1, 10, 0, 0, 9, 0, nullptr,
                               3, 100),
            0);
  EXPECT_EQ(p, start);
}

// A level or tightness outside the despeckler's range (level 0 is on the
// editor's slider) despeckles nothing, like level 1 on a plane without
// blobs: the unchanged copy is still blended back and the step succeeds, so
// replacement keeps the plane and the add mode doubles it, as level 1 does.
TEST_F(PosterizeDespeckle, DespeckleOutOfRangeBlendsTheUnchangedCopy) {
  const Plane start = {10, 10, 90, 200, 200};
  Plane levelOne = start;
  ASSERT_EQ(Effects::Despeckle(1, 255, 1, levelOne.data(), nullptr, nullptr, 1, 5, 0, 0, 4, 0,
                               nullptr, 1, 10),
            0);
  EXPECT_EQ(levelOne, (Plane{20, 20, 180, 255, 255}));
  for (auto [level, tightness] :
       {std::pair<int16_t, int16_t>{0, 10}, {21, 10}, {-3, 10}, {2, 101}, {2, -1}}) {
    Plane p = start;
    EXPECT_EQ(Effects::Despeckle(0, 255, 1, p.data(), nullptr, nullptr, 1, 5, 0, 0, 4, 0, nullptr,
                                 level, tightness),
              0)
        << level << " " << tightness;
    EXPECT_EQ(p, start) << level << " " << tightness;
    p = start;
    EXPECT_EQ(Effects::Despeckle(1, 255, 1, p.data(), nullptr, nullptr, 1, 5, 0, 0, 4, 0, nullptr,
                                 level, tightness),
              0);
    EXPECT_EQ(p, levelOne) << level << " " << tightness;
    // The planes of one step despeckled side by side give the same.
    Plane a = start, b = start, c = start;
    unsigned char* planes[3] = {a.data(), b.data(), c.data()};
    EXPECT_EQ(DespeckleEachPlane(1, 255, planes, 3, 1, 5, 0, 0, 4, 0, nullptr, level, tightness),
              0);
    EXPECT_EQ(a, levelOne);
    EXPECT_EQ(c, levelOne);
  }
}

TEST_F(PosterizeDespeckle, PosterizeClampsTheRegionAndReportsRefusal) {
  Plane r = {0, 0, 200, 200}, g = {0, 0, 100, 100}, b = {0, 0, 40, 40};
  ASSERT_EQ(Effects::PosterizeWU(0, 255, 3, 1, 4, r.data(), g.data(), b.data(), -5, -5, 1, 9,
                                 nullptr, 1),
            0);
  EXPECT_EQ(r, (Plane{100, 100, 200, 200}));
  // One plane passed as all three.
  Plane one = {0, 0, 200, 200};
  ASSERT_EQ(Effects::PosterizeWU(0, 255, 1, 1, 4, one.data(), one.data(), one.data(), 0, 0, 3, 0,
                                 nullptr, 1),
            0);
  EXPECT_EQ(one, (Plane{100, 100, 100, 100}));
  EXPECT_EQ(Effects::PosterizeWU(0, 255, 1, 1, 4, nullptr, one.data(), one.data(), 0, 0, 3, 0,
                                 nullptr, 1),
            -1);
}

}  // namespace
