// The transform works out only the window of its turned box that lands on the region. Every
// sample it writes is the one the whole box gives: on small planes of odd sizes, over scales
// that make the box smaller than the region, about its size and many times larger, turns,
// shifts, regions from the plane's corner and away from it (where the copy back wraps through
// the box), one to four planes together, at one thread and at several.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/core/memory_manager.h"
#include "operations/effects.h"
#include "platform/memory/memory.h"
#include "platform/parallel/parallel.h"
#include "support/noise_plane.h"

namespace {

using Plane = std::vector<unsigned char>;
using vmktest::Noise;

struct Size {
  int32_t w, h;
};
struct Region {
  int32_t x0, y0, x1, y1;  // x1, y1 exclusive, as the transform takes them
};
struct Turn {
  int16_t shiftX, shiftY, scaleX, scaleY, angle, fill;
};

// The whole box, the plain form, whatever happens in between.
struct WholeBox {
  WholeBox() { SetTransformBoxBounded(false); }
  ~WholeBox() { SetTransformBoxBounded(true); }
};

struct Threads {
  explicit Threads(int n) { plat::SetThreadCount(n); }
  ~Threads() { plat::SetThreadCount(0); }
};

std::vector<Plane> Turned(const std::vector<Plane>& from, Size s, const Region& r, const Turn& t,
                          int16_t mode, int16_t opacity, const unsigned char* mask) {
  std::vector<Plane> out = from;
  unsigned char* planes[4] = {};
  for (size_t k = 0; k < out.size(); ++k) planes[k] = out[k].data();
  EXPECT_EQ(Effects::TransformPlanes(mode, opacity, planes, static_cast<int32_t>(out.size()), s.h,
                                     s.w, r.x0, r.y0, r.x1, r.y1, t.shiftX, t.shiftY, t.scaleX,
                                     t.scaleY, t.angle, t.fill, mask),
            0);
  return out;
}

std::string Name(Size s, const Region& r, const Turn& t, size_t planes, int threads) {
  return std::to_string(s.w) + "x" + std::to_string(s.h) + " region " + std::to_string(r.x0) + "," +
         std::to_string(r.y0) + "-" + std::to_string(r.x1) + "," + std::to_string(r.y1) +
         " scale " + std::to_string(t.scaleX) + "/" + std::to_string(t.scaleY) + " angle " +
         std::to_string(t.angle) + " shift " + std::to_string(t.shiftX) + "," +
         std::to_string(t.shiftY) + " planes " + std::to_string(planes) + " threads " +
         std::to_string(threads);
}

TEST(TransformWindow, EverySampleIsTheWholeBoxs) {
  constexpr Size kSizes[] = {{1, 1}, {2, 3}, {17, 5}, {31, 23}, {40, 9}, {9, 44}};
  constexpr Turn kTurns[] = {
      {0, 0, 100, 100, 0, 9},     {0, 0, 100, 100, 90, 0},   {0, 0, 100, 100, 45, 255},
      {5, -3, 90, 110, 25, 40},   {0, 0, 30, 45, 10, 7},     {-2, 4, 130, 100, 315, 0},
      {0, 0, 1000, 1000, 359, 3}, {7, 9, 1000, 250, 180, 1}, {0, 0, 400, 1000, 75, 200},
      {1, 1, 10, 10, 270, 5},     {0, 0, 0, 100, 33, 4},     {-31, 17, 333, 777, 123, 66},
      {0, 0, 101, 99, 1, 8},      {3, 0, 250, 250, 200, 2},  {0, 0, 1000, 1000, 0, 11},
  };
  for (const Size s : kSizes) {
    const size_t n = static_cast<size_t>(s.w) * s.h;
    const Plane mask = Noise(n, 70);
    // From the corner; away from it (the copy back then wraps through the box); one column
    // and one row; reaching past the far edges.
    const Region regions[] = {{0, 0, s.w, s.h},
                              {s.w / 3, s.h / 2, s.w, s.h},
                              {s.w / 2, 0, s.w, s.h - s.h / 3},
                              {s.w - 1, s.h - 1, s.w, s.h},
                              {-4, -3, s.w + 5, s.h + 2}};
    for (const Region& r : regions)
      for (const Turn& t : kTurns)
        for (const size_t count : {size_t{1}, size_t{3}, size_t{4}}) {
          std::vector<Plane> from;
          for (size_t k = 0; k < count; ++k)
            from.push_back(Noise(n, static_cast<uint32_t>(11 + k)));
          const bool masked = count == 3;
          const int16_t mode = masked ? 3 : 0, opacity = masked ? 200 : 255;
          std::vector<Plane> whole;
          {
            const WholeBox plain;
            whole = Turned(from, s, r, t, mode, opacity, masked ? mask.data() : nullptr);
          }
          for (const int threads : {1, 3, 8}) {
            const Threads th(threads);
            const std::vector<Plane> window =
                Turned(from, s, r, t, mode, opacity, masked ? mask.data() : nullptr);
            ASSERT_EQ(window, whole) << Name(s, r, t, count, threads);
          }
        }
  }
}

// A box ten times the picture's size both ways takes, at the window, about the picture's
// own samples: within a block limit of a few planes it renders where the whole box is
// refused, and gives what the whole box gives where the whole box can be had.
TEST(TransformWindow, ABoxTenTimesThePictureRendersWithinAFewPlanes) {
  const Size s{120, 80};
  const size_t n = static_cast<size_t>(s.w) * s.h;
  const Plane from = Noise(n, 5);
  const Turn t{1000, 1000, 1000, 1000, 359, 0};
  const Region r{0, 0, s.w, s.h};
  std::vector<Plane> whole;
  {
    const WholeBox plain;
    whole = Turned({from}, s, r, t, 0, 255, nullptr);
  }
  // The whole box is some 1200 x 800 samples: a limit of four planes refuses it.
  const int64_t limit = 4 * static_cast<int64_t>(n);
  const int64_t before = plat::SetBlockLimit(limit);
  Plane refused = from;
  {
    const WholeBox plain;
    EXPECT_EQ(Effects::Transform(0, 255, refused.data(), s.h, s.w, r.x0, r.y0, r.x1, r.y1, t.shiftX,
                                 t.shiftY, t.scaleX, t.scaleY, t.angle, t.fill, 0, nullptr),
              -1);
  }
  EXPECT_EQ(refused, from) << "a refused box leaves the plane as it was";
  Plane bounded = from;
  EXPECT_EQ(Effects::Transform(0, 255, bounded.data(), s.h, s.w, r.x0, r.y0, r.x1, r.y1, t.shiftX,
                               t.shiftY, t.scaleX, t.scaleY, t.angle, t.fill, 0, nullptr),
            0);
  plat::SetBlockLimit(before);
  EXPECT_EQ(bounded, whole[0]);
  EXPECT_NE(bounded, from);
}

}  // namespace
