#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "app/core/plane_geometry.h"
#include "operations/effects.h"
#include "platform/parallel/cancel.h"
#include "platform/parallel/parallel.h"
#include "platform/parallel/progress.h"
#include "support/session.h"

namespace {

using Plane = std::vector<unsigned char>;

Plane Noise(int32_t w, int32_t h, uint32_t seed) {
  Plane p(static_cast<size_t>(w) * h);
  for (auto& v : p) {
    seed = seed * 1103515245u + 12345u;
    v = static_cast<unsigned char>(seed >> 16);
  }
  return p;
}

// The blurs written plainly, sample by sample, every index of the range
// visited, mode 0 at full opacity: the mean of the samples strictly inside.
// Row y of the region into `out` (the plane's row).
template <typename Gather>
void ReferenceRow(const Plane& src, int32_t w, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                  int32_t y, Gather gather, unsigned char* out) {
  for (int32_t x = x0; x <= x1; ++x) {
    int64_t sum = 0, n = 0;
    gather(x, y, [&](double fx, double fy) {
      if (!(fx > -3e9 && fx < 3e9 && fy > -3e9 && fy < 3e9)) return;
      const auto xs = static_cast<int64_t>(fx), ys = static_cast<int64_t>(fy);
      if (xs <= x0 || xs >= x1 || ys <= y0 || ys >= y1) return;
      sum += src[ys * w + xs];
      ++n;
    });
    out[x] = static_cast<unsigned char>(n > 0 ? sum / n : 0);
  }
}

template <typename Gather>
Plane Reference(const Plane& src, int32_t w, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                Gather gather) {
  Plane out = src;
  for (int32_t y = y0; y <= y1; ++y)
    ReferenceRow(src, w, x0, y0, x1, y1, y, gather, out.data() + static_cast<size_t>(y) * w);
  return out;
}

Plane ZoomReference(const Plane& src, int32_t w, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                    int16_t count, int16_t centreX, int16_t centreY) {
  const int64_t cx = static_cast<int64_t>(x1 - x0) * centreX / 100;
  const int64_t cy = static_cast<int64_t>(y1 - y0) * centreY / 100;
  return Reference(src, w, x0, y0, x1, y1, [&](int32_t x, int32_t y, const auto& add) {
    const double dx = x - static_cast<double>(cx), dy = y - static_cast<double>(cy);
    const double d = std::sqrt(dx * dx + dy * dy);
    float a = 0.0f;
    A_ang_2point(static_cast<float>(cx), static_cast<float>(cy), static_cast<float>(x),
                 static_cast<float>(y), &a);
    for (int32_t k = -(count / 2); k <= count / 2 - 1; ++k) {
      const float r = static_cast<float>(d) - static_cast<float>(k);
      add(r * std::cos(static_cast<double>(a)) + static_cast<double>(cx),
          r * std::sin(static_cast<double>(a)) + static_cast<double>(cy));
    }
  });
}

// The streak's samples of one pixel, every index visited.
auto MotionGather(int16_t length, int16_t angle) {
  const double theta = angle * 3.141592654 / 180.0;
  const float c = static_cast<float>(std::cos(theta)), s = static_cast<float>(std::sin(theta));
  return [=](int32_t x, int32_t y, const auto& add) {
    for (int32_t k = 0; k < length; ++k) {
      const float fk = static_cast<float>(k);
      add(c * fk + static_cast<float>(x), s * fk + static_cast<float>(y));
    }
  };
}

Plane MotionReference(const Plane& src, int32_t w, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                      int16_t length, int16_t angle) {
  return Reference(src, w, x0, y0, x1, y1, MotionGather(length, angle));
}

class StreakBlur : public vmktest::SessionTest {};

TEST_F(StreakBlur, CountOrLengthZeroIsRefused) {
  Plane p(25, 90);
  EXPECT_EQ(Effects::RadialBlur(0, 255, p.data(), nullptr, nullptr, 5, 5, 0, 0, 4, 4, nullptr, 1, 0,
                                50, 50, 0),
            -1);
  EXPECT_EQ(
      Effects::MotionBlur(0, 255, p.data(), nullptr, nullptr, 5, 5, 0, 0, 4, 4, nullptr, 1, 0, 30),
      -1);
  EXPECT_EQ(p, Plane(25, 90));
}

TEST_F(StreakBlur, RadialCountOneTakesThePixelItself) {
  // Its index range is empty, which would give every pixel 0 (black in mode 0): the one
  // sample is the pixel itself, on the border lines too, so the plane stays as it was in
  // mode 0 and in mode 1 each pixel meets its own value.
  Plane ramp(25);
  for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<unsigned char>(10 * i + 5);
  for (const int16_t kind : {0, 1}) {
    Plane p = ramp;
    ASSERT_EQ(Effects::RadialBlur(0, 255, p.data(), nullptr, nullptr, 5, 5, 0, 0, 4, 4, nullptr, 1,
                                  1, 50, 50, kind),
              0);
    EXPECT_EQ(p, ramp) << "kind " << kind;
  }
  Plane p(25, 90);
  ASSERT_EQ(Effects::RadialBlur(1, 255, p.data(), nullptr, nullptr, 5, 5, 0, 0, 4, 4, nullptr, 1, 1,
                                50, 50, 0),
            0);
  Plane twice(25, 90);
  ASSERT_EQ(Effects::RadialBlur(1, 255, twice.data(), nullptr, nullptr, 5, 5, 1, 1, 3, 3, nullptr, 1,
                                4, 50, 50, 0),
            0);
  // The centre pixel of the second averages 90s too: both blend 90 into 90 in mode 1.
  EXPECT_EQ(p[12], twice[12]);
  for (const unsigned char v : p) EXPECT_EQ(v, p[0]);
}

TEST_F(StreakBlur, RadialCentreAndCornersOfAFlatPlane) {
  for (int16_t kind : {0, 1}) {
    Plane p(49, 100);
    ASSERT_EQ(Effects::RadialBlur(0, 255, p.data(), nullptr, nullptr, 7, 7, 0, 0, 6, 6, nullptr, 1,
                                  4, 50, 50, kind),
              0);
    // The centre (3, 3) samples only inside the region; three corners only
    // on or beyond its border. From (6, 6) the pixel's own position comes
    // back from the angle a hair short, 5.99..., and truncates into the
    // region.
    EXPECT_EQ(p[3 * 7 + 3], 100) << kind;
    for (int corner : {0, 6, 42}) EXPECT_EQ(p[corner], 0) << kind << " " << corner;
    EXPECT_EQ(p[48], 100) << kind;
  }
}

TEST_F(StreakBlur, MotionAlongXAveragesForwardAndZeroesTheBorder) {
  // 5 x 4, angle 0, length 2: the pixel and its right neighbour, counted
  // only strictly inside the region.
  Plane p = {10, 20, 30, 40, 50,  //
             11, 21, 31, 41, 51,  //
             12, 22, 32, 42, 52,  //
             13, 23, 33, 43, 53};
  ASSERT_EQ(
      Effects::MotionBlur(0, 255, p.data(), nullptr, nullptr, 4, 5, 0, 0, 4, 3, nullptr, 1, 2, 0),
      0);
  EXPECT_EQ(p, (Plane{0,  0,  0,  0,  0,  //
                      21, 26, 36, 41, 0,  //
                      22, 27, 37, 42, 0,  //
                      0,  0,  0,  0,  0}));
}

TEST_F(StreakBlur, OneChannelTouchesRedOnlyAndMaskZeroKeeps) {
  Plane r(36, 60), g(36, 60), b(36, 60);
  ASSERT_EQ(Effects::MotionBlur(0, 255, r.data(), g.data(), b.data(), 6, 6, 0, 0, 5, 5, nullptr, 1,
                                3, 45),
            0);
  EXPECT_NE(r, Plane(36, 60));
  EXPECT_EQ(g, Plane(36, 60));
  EXPECT_EQ(b, Plane(36, 60));

  Plane mask(36, 0);
  mask[14] = 255;
  Plane r3(36, 60), g3(36, 70), b3(36, 80);
  ASSERT_EQ(Effects::RadialBlur(0, 255, r3.data(), g3.data(), b3.data(), 6, 6, 0, 0, 5, 5,
                                mask.data(), 3, 2, 50, 50, 0),
            0);
  for (int i = 0; i < 36; ++i) {
    if (i == 14) continue;
    EXPECT_EQ(r3[i], 60);
    EXPECT_EQ(g3[i], 70);
    EXPECT_EQ(b3[i], 80);
  }
  // Pixel (2, 2) lies inside: all three planes keep their flat value.
  EXPECT_EQ(r3[14], 60);
  EXPECT_EQ(g3[14], 70);
  EXPECT_EQ(b3[14], 80);
}

TEST_F(StreakBlur, LongZoomsAndStreaksMatchEverySampleVisited) {
  // The blurs skip samples that cannot land in the region; counts and
  // lengths at the top of their range give what visiting every one gives.
  const int32_t w = 11, h = 8;
  const Plane src = Noise(w, h, 5);
  struct Region {
    int32_t x0, y0, x1, y1;
  };
  for (const Region r : {Region{0, 0, w - 1, h - 1}, Region{2, 1, 9, 6}}) {
    for (const auto& [cx, cy] :
         {std::pair<int16_t, int16_t>{50, 50}, {0, 0}, {-300, 900}, {32767, -32768}, {100, 3}}) {
      Plane p = src;
      ASSERT_EQ(Effects::RadialBlur(0, 255, p.data(), nullptr, nullptr, h, w, r.x0, r.y0, r.x1,
                                    r.y1, nullptr, 1, 32767, cx, cy, 0),
                0);
      EXPECT_EQ(p, ZoomReference(src, w, r.x0, r.y0, r.x1, r.y1, 32767, cx, cy))
          << "centre " << cx << "," << cy;
    }
    for (const int16_t angle : {0, 33, 90, 135, 180, 250, 270, 300, -45, 32767}) {
      Plane p = src;
      ASSERT_EQ(Effects::MotionBlur(0, 255, p.data(), nullptr, nullptr, h, w, r.x0, r.y0, r.x1,
                                    r.y1, nullptr, 1, 32767, angle),
                0);
      EXPECT_EQ(p, MotionReference(src, w, r.x0, r.y0, r.x1, r.y1, 32767, angle))
          << "angle " << angle;
    }
  }
}

// The rows go to the shared threads in bands: every plane, every blur, at one, three and
// eight threads, equals the plain sample-by-sample walk, on planes of many bands.
TEST_F(StreakBlur, BandsOfRowsEqualThePlainWalkAtAnyThreadCount) {
  for (const auto& [w, h] : {std::pair<int32_t, int32_t>{37, 70}, {5, 129}, {301, 19}}) {
    const Plane src[3] = {Noise(w, h, 11), Noise(w, h, 12), Noise(w, h, 13)};
    for (int threads : {1, 3, 8}) {
      plat::SetThreadCount(threads);
      for (int blur = 0; blur < 3; ++blur) {
        Plane p[3] = {src[0], src[1], src[2]};
        if (blur < 2)
          ASSERT_EQ(
              Effects::RadialBlur(0, 255, p[0].data(), p[1].data(), p[2].data(), h, w, 0, 0, w - 1,
                                  h - 1, nullptr, 3, 24, 40, 60, static_cast<int16_t>(blur)),
              0);
        else
          ASSERT_EQ(Effects::MotionBlur(0, 255, p[0].data(), p[1].data(), p[2].data(), h, w, 0, 0,
                                        w - 1, h - 1, nullptr, 3, 9, 120),
                    0);
        for (int k = 0; k < 3; ++k) {
          Plane expect;
          if (blur == 0) {
            expect = ZoomReference(src[k], w, 0, 0, w - 1, h - 1, 24, 40, 60);
          } else if (blur == 2) {
            expect = MotionReference(src[k], w, 0, 0, w - 1, h - 1, 9, 120);
          } else {
            const int64_t cx = static_cast<int64_t>(w - 1) * 40 / 100;
            const int64_t cy = static_cast<int64_t>(h - 1) * 60 / 100;
            expect = Reference(src[k], w, 0, 0, w - 1, h - 1,
                               [&](int32_t x, int32_t y, const auto& add) {
                                 const double dx = x - static_cast<double>(cx);
                                 const double dy = y - static_cast<double>(cy);
                                 const float r = static_cast<float>(std::sqrt(dx * dx + dy * dy));
                                 float a = 0.0f;
                                 A_ang_2point(static_cast<float>(cx), static_cast<float>(cy),
                                              static_cast<float>(x), static_cast<float>(y), &a);
                                 for (int32_t j = -12; j <= 11; ++j) {
                                   const double aj = a + j * 6.283185308 / 360.0;
                                   add(r * std::cos(aj) + static_cast<double>(cx),
                                       r * std::sin(aj) + static_cast<double>(cy));
                                 }
                               });
          }
          ASSERT_EQ(p[k], expect) << w << "x" << h << " threads " << threads << " blur " << blur
                                  << " plane " << k;
        }
      }
    }
  }
  plat::SetThreadCount(0);
}

TEST_F(StreakBlur, AWideZoomWithAFarCentreStaysIn64Bits) {
  // 70000 x 32767 % puts the centre at 22.9 million pixels: beyond what
  // the product held in 32 bits.
  const int32_t w = 70000, h = 3;
  const Plane src = Noise(w, h, 9);
  Plane p = src;
  ASSERT_EQ(Effects::RadialBlur(0, 255, p.data(), nullptr, nullptr, h, w, 0, 0, w - 1, h - 1,
                                nullptr, 1, 64, 32767, 50, 0),
            0);
  EXPECT_EQ(p, ZoomReference(src, w, 0, 0, w - 1, h - 1, 64, 32767, 50));
  p = src;
  EXPECT_EQ(Effects::RadialBlur(0, 255, p.data(), nullptr, nullptr, h, w, 0, 0, w - 1, h - 1,
                                nullptr, 1, 16, 32767, -32768, 1),
            0);
}

// The spin's samples of one pixel, every index visited.
auto SpinGather(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int16_t count, int16_t centreX,
                int16_t centreY) {
  const int64_t cx = static_cast<int64_t>(x1 - x0) * centreX / 100;
  const int64_t cy = static_cast<int64_t>(y1 - y0) * centreY / 100;
  return [=](int32_t x, int32_t y, const auto& add) {
    const double dx = x - static_cast<double>(cx), dy = y - static_cast<double>(cy);
    const float r = static_cast<float>(std::sqrt(dx * dx + dy * dy));
    float a = 0.0f;
    A_ang_2point(static_cast<float>(cx), static_cast<float>(cy), static_cast<float>(x),
                 static_cast<float>(y), &a);
    for (int32_t k = -(count / 2); k <= count / 2 - 1; ++k) {
      const double ak = a + k * 6.283185308 / 360.0;
      add(r * std::cos(ak) + static_cast<double>(cx), r * std::sin(ak) + static_cast<double>(cy));
    }
  };
}

Plane SpinReference(const Plane& src, int32_t w, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                    int16_t count, int16_t centreX, int16_t centreY) {
  return Reference(src, w, x0, y0, x1, y1, SpinGather(x0, y0, x1, y1, count, centreX, centreY));
}

// A spin longer than a turn counts each degree as often as the index range
// visits it: the same result as visiting every index, on regions at and off
// the corner, with the centre inside (where a pixel right of it has angle 0
// and the turns' samples straddle a pixel's edge) and outside, at one thread
// and many.
TEST_F(StreakBlur, ASpinPastOneTurnEqualsEverySampleVisited) {
  struct Case {
    int32_t w, h, x0, y0, x1, y1;
    int16_t cx, cy;
  };
  for (const Case& c : {Case{29, 23, 0, 0, 28, 22, 50, 50}, Case{31, 17, 3, 2, 27, 15, 40, 60},
                        Case{19, 21, 0, 0, 18, 20, 0, 0}, Case{23, 19, 2, 1, 20, 17, 150, -30}}) {
    const Plane src = Noise(c.w, c.h, 21);
    for (int16_t count : {361, 362, 500, 719, 720, 721, 1000}) {
      const Plane expect = SpinReference(src, c.w, c.x0, c.y0, c.x1, c.y1, count, c.cx, c.cy);
      for (int threads : {1, 8}) {
        plat::SetThreadCount(threads);
        Plane p = src;
        ASSERT_EQ(Effects::RadialBlur(0, 255, p.data(), nullptr, nullptr, c.h, c.w, c.x0, c.y0,
                                      c.x1, c.y1, nullptr, 1, count, c.cx, c.cy, 1),
                  0);
        EXPECT_EQ(p, expect) << c.w << "x" << c.h << " count " << count << " threads " << threads;
      }
    }
  }
  plat::SetThreadCount(0);
  // The largest count, on a small plane.
  const Plane src = Noise(13, 9, 3);
  Plane p = src;
  ASSERT_EQ(Effects::RadialBlur(0, 255, p.data(), nullptr, nullptr, 9, 13, 0, 0, 12, 8, nullptr, 1,
                                32767, 40, 60, 1),
            0);
  EXPECT_EQ(p, SpinReference(src, 13, 0, 0, 12, 8, 32767, 40, 60));
  // Counts past a turn are not the turn itself.
  Plane turn = src, more = src;
  Effects::RadialBlur(0, 255, turn.data(), nullptr, nullptr, 9, 13, 0, 0, 12, 8, nullptr, 1, 360,
                      40, 60, 1);
  Effects::RadialBlur(0, 255, more.data(), nullptr, nullptr, 9, 13, 0, 0, 12, 8, nullptr, 1, 500,
                      40, 60, 1);
  EXPECT_NE(more, turn);
}

// Every share a meter took, in its order, and a cancel flag it raises at the first share of
// `raiseAt` or more (never, with 0).
struct StoppingMeter {
  plat::ProgressMeter meter;
  plat::CancelFlag flag;
  std::vector<int32_t> reports;
  int32_t raisedAt = -1;  // index of the report that raised the flag
  explicit StoppingMeter(int32_t raiseAt) {
    meter.SetObserver([this, raiseAt](int32_t parts) {
      reports.push_back(parts);
      if (raiseAt > 0 && parts >= raiseAt && raisedAt < 0) {
        raisedAt = static_cast<int32_t>(reports.size()) - 1;
        flag.Cancel();
      }
    });
  }
};

// The blurs at the largest the operation lists offer, stopped: a spin of 100 samples about the
// corner and a streak of 500 along the rows, on a 1600 x 1600 picture (the spin runs seconds
// at one thread), the flag raised as the meter takes the fifth of the hundred bands of 16 rows.
// Each row is then whole (the plain walk's) or as it was: at one thread exactly the five bands
// reported are done and nothing more is reported; at three and eight no more than a band a
// thread besides them is done (each thread ends the row it is in), and a report after the flag
// can only be one a thread had begun as the flag went up.
TEST_F(StreakBlur, AStoppedBlurEndsWithinARowOfEachThread) {
  const int32_t w = 1600, h = 1600, band = 16, bands = h / band, stopAt = 5;
  const Plane src[3] = {Noise(w, h, 31), Noise(w, h, 32), Noise(w, h, 33)};
  for (const int threads : {1, 3, 8}) {
    plat::SetThreadCount(threads);
    for (const bool spin : {true, false}) {
      StoppingMeter m(stopAt * plat::ProgressMeter::kWhole / bands);
      Plane p[3] = {src[0], src[1], src[2]};
      {
        const plat::CancelScope cancel(&m.flag);
        const plat::ProgressScope progress(&m.meter);
        if (spin)
          ASSERT_EQ(Effects::RadialBlur(0, 255, p[0].data(), p[1].data(), p[2].data(), h, w, 0, 0,
                                        w - 1, h - 1, nullptr, 3, 100, 100, 100, 1),
                    0);
        else
          ASSERT_EQ(Effects::MotionBlur(0, 255, p[0].data(), p[1].data(), p[2].data(), h, w, 0, 0,
                                        w - 1, h - 1, nullptr, 3, 500, 360),
                    0);
      }
      const std::string what = std::string(spin ? "spin" : "streak") + " at " +
                               std::to_string(threads) + " threads";
      ASSERT_TRUE(m.flag.cancelled()) << what;
      EXPECT_EQ(m.reports[m.raisedAt], stopAt * plat::ProgressMeter::kWhole / bands) << what;
      EXPECT_LE(m.reports.size() - m.raisedAt - 1, static_cast<size_t>(threads - 1)) << what;
      int32_t done = 0, last = -1;
      std::vector<unsigned char> row(static_cast<size_t>(w));
      for (int32_t y = 0; y < h; ++y) {
        const size_t at = static_cast<size_t>(y) * w;
        bool touched = false;
        for (int k = 0; k < 3; ++k)
          touched = touched || !std::equal(p[k].begin() + at, p[k].begin() + at + w, src[k].begin() + at);
        if (!touched) continue;
        ++done;
        last = y;
        // The three planes are blurred together: the first measured against the plain walk,
        // the others only touched with it.
        if (spin)
          ReferenceRow(src[0], w, 0, 0, w - 1, h - 1, y,
                       SpinGather(0, 0, w - 1, h - 1, 100, 100, 100), row.data());
        else
          ReferenceRow(src[0], w, 0, 0, w - 1, h - 1, y, MotionGather(500, 360), row.data());
        ASSERT_TRUE(std::equal(row.begin(), row.end(), p[0].begin() + at))
            << what << ": row " << y << " is neither done nor untouched";
        for (int k = 1; k < 3; ++k)
          ASSERT_FALSE(std::equal(p[k].begin() + at, p[k].begin() + at + w, src[k].begin() + at))
              << what << ": row " << y << " of plane " << k << " was left behind";
      }
      EXPECT_GE(done, stopAt * band) << what;
      EXPECT_LE(done, (stopAt + threads - 1) * band) << what;
      if (threads == 1) {
        EXPECT_EQ(done, stopAt * band) << what;
        EXPECT_EQ(last, stopAt * band - 1) << what;
      }
    }
  }
  plat::SetThreadCount(0);
}

// The meter follows the gathering, not the copies the blurs read from: at one thread, as the
// meter takes band n of the rows, exactly the rows of the first n bands are blurred.
TEST_F(StreakBlur, TheMeterFollowsTheRowsBlurred) {
  const int32_t w = 300, h = 200, band = 16, bands = (h + band - 1) / band;
  const Plane src = Noise(w, h, 41);
  plat::SetThreadCount(1);
  for (const bool spin : {true, false}) {
    Plane p = src;
    std::vector<int32_t> rowsAtReport;
    plat::ProgressMeter meter;
    meter.SetObserver([&](int32_t) {
      int32_t rows = 0;
      for (int32_t y = 0; y < h; ++y) {
        const size_t at = static_cast<size_t>(y) * w;
        if (!std::equal(p.begin() + at, p.begin() + at + w, src.begin() + at)) ++rows;
      }
      rowsAtReport.push_back(rows);
    });
    {
      const plat::ProgressScope progress(&meter);
      if (spin)
        Effects::RadialBlur(0, 255, p.data(), nullptr, nullptr, h, w, 0, 0, w - 1, h - 1, nullptr,
                            1, 100, 100, 100, 1);
      else
        Effects::MotionBlur(0, 255, p.data(), nullptr, nullptr, h, w, 0, 0, w - 1, h - 1, nullptr,
                            1, 500, 360);
    }
    ASSERT_EQ(rowsAtReport.size(), static_cast<size_t>(bands)) << spin;
    for (int32_t n = 1; n <= bands; ++n)
      EXPECT_EQ(rowsAtReport[n - 1], std::min(n * band, h)) << "band " << n << (spin ? " spin" : " streak");
    EXPECT_EQ(meter.parts(), plat::ProgressMeter::kWhole);
  }
  plat::SetThreadCount(0);
}

TEST(StreakBlurOutOfMemory, NoWorkPlaneNoChange) {
  vmktest::NoWorkMemory none;
  Plane p(16, 33);
  EXPECT_EQ(
      Effects::MotionBlur(0, 255, p.data(), nullptr, nullptr, 4, 4, 0, 0, 3, 3, nullptr, 1, 2, 0),
      -1);
  EXPECT_EQ(p, Plane(16, 33));
}

}  // namespace
