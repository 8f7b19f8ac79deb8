// The denoise operation keeps a picture's brightness at every setting its dialog offers
// (1 to 10 passes, a threshold of 0 to 100; the spatial value takes no part in its 3 x 3
// window): on a textured, photo-like plane and on its negative the mean moves by at most a
// level, whole or through a mask; a flat plane stays exactly flat.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "operations/effects.h"
#include "support/photo_planes.h"
#include "support/session.h"

namespace {

using Plane = std::vector<unsigned char>;
using vmktest::Mean;
using vmktest::Negative;
using vmktest::PhotoLike;

constexpr int kThresholds[] = {0, 1, 3, 10, 25, 50, 100};

class DenoiseBrightness : public vmktest::SessionTest {
 protected:
  // The operation in the normal mode over the whole plane, as the render calls it.
  static Plane Denoised(Plane p, const Plane* mask, int w, int h, int passes, int threshold,
                        int opacity = 255) {
    EXPECT_EQ(Effects::DeNoise(0, static_cast<int16_t>(opacity), p.data(),
                               mask != nullptr ? mask->data() : nullptr, h, w, 0, 0, w, h,
                               static_cast<int16_t>(passes), static_cast<int16_t>(passes * 10),
                               static_cast<int16_t>(threshold)),
              0);
    return p;
  }
};

// Each pass truncated its weighted means (and medians), so the loss grew with the passes:
// on a 3000 x 2000 plane 4.6 levels at 10 passes, and the negative lost as much.
TEST_F(DenoiseBrightness, TheMeanMovesByAtMostALevelAtEverySetting) {
  {
    const int w = 1200, h = 800;
    const Plane photo = PhotoLike(w, h), negative = Negative(photo);
    const double before = Mean(photo);
    for (int passes = 1; passes <= 10; ++passes)
      for (const int t : kThresholds) {
        EXPECT_NEAR(Mean(Denoised(photo, nullptr, w, h, passes, t)), before, 1.0)
            << passes << " passes, threshold " << t;
        EXPECT_NEAR(255.0 - Mean(Denoised(negative, nullptr, w, h, passes, t)), before, 1.0)
            << "the negative, " << passes << " passes, threshold " << t;
      }
  }
  const int w = 3000, h = 2000;
  const Plane photo = PhotoLike(w, h), negative = Negative(photo);
  const double before = Mean(photo);
  for (const int t : {3, 25, 100}) {
    EXPECT_NEAR(Mean(Denoised(photo, nullptr, w, h, 10, t)), before, 1.0)
        << "3000 x 2000, threshold " << t;
    EXPECT_NEAR(255.0 - Mean(Denoised(negative, nullptr, w, h, 10, t)), before, 1.0)
        << "3000 x 2000, the negative, threshold " << t;
  }
}

// Through a mask of half weight, a soft ramp of every weight, and at half opacity, the
// smoothed copy is mixed with the plane once more.
TEST_F(DenoiseBrightness, ThroughAMaskAndAtPartOpacityToo) {
  const int w = 1200, h = 800;
  const Plane photo = PhotoLike(w, h), negative = Negative(photo);
  const double before = Mean(photo);
  const Plane half(photo.size(), 128);
  const Plane ramp = [&] {
    Plane m(photo.size());
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        m[static_cast<size_t>(y) * w + x] = static_cast<unsigned char>((x + 3 * y) % 256);
    return m;
  }();
  for (const int passes : {1, 4, 10})
    for (const int t : {1, 25, 100}) {
      for (const Plane* mask : {&half, &ramp}) {
        EXPECT_NEAR(Mean(Denoised(photo, mask, w, h, passes, t)), before, 1.0)
            << (mask == &half ? "half" : "ramp") << ", " << passes << " passes, threshold " << t;
        EXPECT_NEAR(255.0 - Mean(Denoised(negative, mask, w, h, passes, t)), before, 1.0)
            << "the negative, " << (mask == &half ? "half" : "ramp") << ", " << passes
            << " passes, threshold " << t;
      }
      EXPECT_NEAR(Mean(Denoised(photo, nullptr, w, h, passes, t, 128)), before, 1.0)
          << "opacity 128, " << passes << " passes, threshold " << t;
      EXPECT_NEAR(255.0 - Mean(Denoised(negative, nullptr, w, h, passes, t, 128)), before, 1.0)
          << "the negative, opacity 128, " << passes << " passes, threshold " << t;
    }
}

TEST_F(DenoiseBrightness, FlatPlanesStayExactlyFlat) {
  const int w = 97, h = 66;
  const Plane ramp = [&] {
    Plane m(static_cast<size_t>(w) * h);
    for (size_t i = 0; i < m.size(); ++i) m[i] = static_cast<unsigned char>(i * 7);
    return m;
  }();
  for (const unsigned char v : {0, 1, 77, 128, 254, 255}) {
    const Plane flat(static_cast<size_t>(w) * h, v);
    for (int passes = 1; passes <= 10; ++passes)
      for (const int t : kThresholds) {
        ASSERT_EQ(Denoised(flat, nullptr, w, h, passes, t), flat)
            << "level " << int{v} << ", " << passes << " passes, threshold " << t;
        ASSERT_EQ(Denoised(flat, &ramp, w, h, passes, t, 200), flat)
            << "through a mask, level " << int{v} << ", " << passes << " passes, threshold " << t;
      }
  }
}

}  // namespace
