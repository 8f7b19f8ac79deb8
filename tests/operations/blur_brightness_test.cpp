// The pyramid blur keeps a picture's brightness and its edges where they were: on a textured,
// photo-like plane its mean moves by at most a level at every radius it takes, whole or
// through a mask, on one sample or interleaved; a flat plane stays exactly flat; a step
// blurs to the complement of the opposite step's blur, its half-way point at the step; and a
// window of a picture blurs as the picture does.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "operations/effects.h"
#include "raster/blend_filters.h"
#include "support/photo_planes.h"
#include "support/session.h"

namespace {

using Plane = std::vector<unsigned char>;

using vmktest::Mean;
using vmktest::PhotoLike;

class BlurBrightness : public vmktest::SessionTest {};

// Every radius on a plane the size of a small photo; the radii the darkening was first seen
// at on one of 3000 x 2000. Each box pass truncated its mean, so the loss grew with the
// number of passes: 3 levels at radius 5, 43 at 111, 74 at 199 on the large plane.
TEST_F(BlurBrightness, TheMeanMovesByAtMostALevelAtEveryRadius) {
  {
    const int w = 1200, h = 800;
    const Plane photo = PhotoLike(w, h);
    const double before = Mean(photo);
    for (int r = 0; r <= 199; ++r) {
      Plane p = photo;
      ASSERT_EQ(Effects::Blur(0, 255, p.data(), nullptr, w, h, 0, 0, w - 1, h - 1,
                              static_cast<int16_t>(r), 1),
                0);
      EXPECT_NEAR(Mean(p), before, 1.0) << "radius " << r;
    }
  }
  const int w = 3000, h = 2000;
  const Plane photo = PhotoLike(w, h);
  const double before = Mean(photo);
  for (const int r : {0, 5, 11, 80, 111, 199}) {
    Plane p = photo;
    ASSERT_EQ(Effects::Blur(0, 255, p.data(), nullptr, w, h, 0, 0, w - 1, h - 1,
                            static_cast<int16_t>(r), 1),
              0);
    EXPECT_NEAR(Mean(p), before, 1.0) << "3000 x 2000, radius " << r;
  }
}

// A mask of partial weight mixes each box pass with the level as it was, a second division
// in every pass; three interleaved samples take the whole-level steps instead of the bands.
TEST_F(BlurBrightness, ThroughAMaskAndOnInterleavedSamplesToo) {
  const int w = 1200, h = 800;
  const Plane photo = PhotoLike(w, h);
  const Plane half(photo.size(), 128);
  const double before = Mean(photo);
  const Plane three = PhotoLike(w, h, 3);
  const double beforeThree = Mean(three);
  for (const int r : {0, 2, 5, 11, 40, 80, 111, 199}) {
    Plane p = photo;
    ASSERT_EQ(X_Blur_buffer(p.data(), half.data(), w, h, 0, 0, w - 1, h - 1, r, 1), 0);
    EXPECT_NEAR(Mean(p), before, 1.0) << "through a mask of 128, radius " << r;
    p = three;
    ASSERT_EQ(X_Blur_buffer(p.data(), nullptr, w, h, 0, 0, w - 1, h - 1, r, 3), 0);
    EXPECT_NEAR(Mean(p), beforeThree, 1.0) << "three samples, radius " << r;
  }
}

TEST_F(BlurBrightness, FlatPlanesStayExactlyFlat) {
  const int w = 97, h = 66;
  for (const unsigned char v : {0, 1, 77, 128, 254, 255}) {
    const Plane flat(static_cast<size_t>(w) * h, v);
    const Plane half(flat.size(), 128);
    for (int r = 0; r <= 199; ++r) {
      Plane p = flat;
      ASSERT_EQ(Effects::Blur(0, 255, p.data(), nullptr, w, h, 0, 0, w - 1, h - 1,
                              static_cast<int16_t>(r), 1),
                0);
      ASSERT_EQ(p, flat) << "level " << int{v} << " radius " << r;
      ASSERT_EQ(X_Blur_buffer(p.data(), half.data(), w, h, 0, 0, w - 1, h - 1, r, 1), 0);
      ASSERT_EQ(p, flat) << "through a mask, level " << int{v} << " radius " << r;
    }
  }
}

// A step of 0 to 255 across the middle of the plane, along x or along y, and the opposite
// step: their blurs add up to 255 at every sample (256 where a mean ties at 127.5, which
// goes to 128 either way), and the middle line across the step passes the half-way level
// within two samples of the step (the pyramid's levels sit up to a sample and a half before
// the samples they were made from).
TEST_F(BlurBrightness, AStepEdgeStaysCentred) {
  const int length = 1024, across = 64;
  for (const bool alongX : {true, false}) {
    const int w = alongX ? length : across, h = alongX ? across : length;
    const auto index = [&](int k, int j) {
      return alongX ? static_cast<size_t>(j) * w + k : static_cast<size_t>(k) * w + j;
    };
    Plane rising(static_cast<size_t>(w) * h), falling(rising.size());
    for (int k = 0; k < length; ++k)
      for (int j = 0; j < across; ++j) {
        rising[index(k, j)] = k >= length / 2 ? 255 : 0;
        falling[index(k, j)] = k >= length / 2 ? 0 : 255;
      }
    for (const int r : {0, 1, 2, 3, 4, 5, 7, 11, 20, 40, 80, 111, 150, 199}) {
      Plane up = rising, down = falling;
      ASSERT_EQ(Effects::Blur(0, 255, up.data(), nullptr, w, h, 0, 0, w - 1, h - 1,
                              static_cast<int16_t>(r), 1),
                0);
      ASSERT_EQ(Effects::Blur(0, 255, down.data(), nullptr, w, h, 0, 0, w - 1, h - 1,
                              static_cast<int16_t>(r), 1),
                0);
      int low = 0, high = 0;
      for (size_t i = 0; i < up.size(); ++i) {
        low = std::min(low, up[i] + down[i] - 255);
        high = std::max(high, up[i] + down[i] - 255);
      }
      EXPECT_EQ(low, 0) << (alongX ? "along x" : "along y") << ", radius " << r;
      EXPECT_LE(high, 1) << (alongX ? "along x" : "along y") << ", radius " << r;
      int cross = 0;
      while (cross < length && up[index(cross, across / 2)] < 128) ++cross;
      EXPECT_LE(std::abs(cross - length / 2), 2)
          << (alongX ? "along x" : "along y") << ", radius " << r << ": half way at " << cross;
    }
  }
}

// A window of a picture, placed on the pyramid's grid (every fourth column and row), blurs as
// the picture does wherever the window's own edges are out of reach: the rounding depends on
// the samples alone, never on where they lie, so a preview of a part shows what the whole
// render makes there.
TEST_F(BlurBrightness, AWindowBlursAsThePictureDoes) {
  const int w = 640, h = 480, x0 = 64, y0 = 48, ww = 320, wh = 240, margin = 64;
  const Plane photo = PhotoLike(w, h);
  for (const int r : {0, 3, 5, 11, 40}) {
    Plane whole = photo;
    ASSERT_EQ(Effects::Blur(0, 255, whole.data(), nullptr, w, h, 0, 0, w - 1, h - 1,
                            static_cast<int16_t>(r), 1),
              0);
    Plane part(static_cast<size_t>(ww) * wh);
    for (int y = 0; y < wh; ++y)
      std::copy_n(photo.begin() + static_cast<long>(y0 + y) * w + x0, ww,
                  part.begin() + static_cast<long>(y) * ww);
    ASSERT_EQ(Effects::Blur(0, 255, part.data(), nullptr, ww, wh, 0, 0, ww - 1, wh - 1,
                            static_cast<int16_t>(r), 1),
              0);
    int differ = 0;
    for (int y = margin; y < wh - margin; ++y)
      for (int x = margin; x < ww - margin; ++x)
        differ += part[static_cast<size_t>(y) * ww + x] !=
                  whole[static_cast<size_t>(y0 + y) * w + x0 + x];
    EXPECT_EQ(differ, 0) << "radius " << r;
  }
}

}  // namespace
