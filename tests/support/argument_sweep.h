// A crash sweep over awkward arguments: every operation of a table runs on
// small planes of odd shapes with regions inside, on, across and outside
// the plane, with and without a mask, through a spread of blend modes and
// opacities and parameter values at and beyond their limits. Only three
// things are checked: nothing crashes (the sanitizer build catches
// overruns, so every plane is allocated at exactly its size), the result
// is one the operation may give, and a refusal leaves the planes alone
// where the operation promises that.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/random/random.h"
#include "support/session.h"

namespace vmktest::sweep {

struct Shape {
  int32_t w;
  int32_t h;
};

inline const std::vector<Shape>& Shapes() {
  static const std::vector<Shape> shapes = {{1, 1}, {1, 7}, {7, 1}, {2, 2},
                                            {3, 3}, {17, 5}, {64, 48}};
  return shapes;
}

// Inclusive bounds; each operation turns them into its own convention.
struct Region {
  int32_t x0;
  int32_t y0;
  int32_t x1;
  int32_t y1;
  const char* name;
};

inline std::vector<Region> Regions(Shape s) {
  const int32_t cx = s.w / 2;
  const int32_t cy = s.h / 2;
  return {{0, 0, s.w - 1, s.h - 1, "whole"},
          {cx, cy, cx, cy, "one pixel"},
          {cx + 1, cy + 1, cx, cy, "inverted"},
          {-3, -2, s.w + 4, s.h + 5, "overhanging"},
          {s.w + 2, s.h + 2, s.w + 9, s.h + 9, "outside"}};
}

struct BlendPair {
  int16_t mode;
  int16_t opacity;
};

inline const std::vector<BlendPair>& Blends() {
  static const std::vector<BlendPair> blends = {{0, 255}, {0, 0},   {1, 255},  {1, 0},
                                                {12, 255}, {12, 0}, {13, 255}, {13, 0},
                                                {-1, 255}, {-1, 0}};
  return blends;
}

// Near the ends of 32 bits, with room left for the sweep's own arithmetic
// on them (negation, region offsets).
inline constexpr int32_t kNearMax = INT32_MAX - 1000;
inline constexpr int32_t kNearMin = INT32_MIN + 1000;

// Parameter values: ordinary, the usual limits, just beyond them and far
// beyond (including values that wrap when narrowed to 16 bits), up to the
// ends of 32 bits.
inline const std::vector<int32_t>& Params() {
  static const std::vector<int32_t> params = {0,      1,     -1,          2,          7,
                                              -7,     100,   -100,        255,        256,
                                              1000,   32767, -32768,      70000,      2000000000,
                                              -2000000000, kNearMax, kNearMin};
  return params;
}

// Every sample buffer an operation may touch, each allocated at exactly its
// size: four planes, a three-sample and a four-sample interleaved buffer,
// 32-bit pixels, and a source layer of the same shape.
struct Planes {
  explicit Planes(Shape s)
      : n(static_cast<size_t>(s.w) * s.h),
        r(n), g(n), b(n), k(n), i3(n * 3), i4(n * 4), px(n), sr(n), sg(n), sb(n), si3(n * 3),
        spx(n), mask(n) {
    uint32_t v = 12345u;
    auto next = [&v]() {
      v = v * 1103515245u + 12345u;
      return static_cast<unsigned char>(v >> 16);
    };
    for (auto* p : {&r, &g, &b, &k, &i3, &i4, &sr, &sg, &sb, &si3, &mask}) {
      for (auto& c : *p) c = next();
    }
    for (auto& c : px) c = next() | (next() << 8) | (next() << 16) | (static_cast<uint32_t>(next()) << 24);
    for (auto& c : spx) c = next() | (next() << 8) | (next() << 16) | (static_cast<uint32_t>(next()) << 24);
  }
  bool SameTargets(const Planes& o) const {
    return r == o.r && g == o.g && b == o.b && k == o.k && i3 == o.i3 && i4 == o.i4 &&
           px == o.px;
  }
  size_t n;
  std::vector<unsigned char> r, g, b, k, i3, i4;
  std::vector<uint32_t> px;
  std::vector<unsigned char> sr, sg, sb, si3;
  std::vector<uint32_t> spx;
  std::vector<unsigned char> mask;
};

struct Call {
  Shape s;
  Region r;
  const unsigned char* mask;  // null or a plane of the target's size
  int16_t mode;
  int16_t opacity;
  int32_t p;  // the swept parameter value
  Planes* planes;
  int16_t p16() const { return static_cast<int16_t>(p); }
  // The swept value for a float parameter: the value itself, except that
  // the 16-bit limits stand for the infinities, 70000 for NaN and the
  // values near the 32-bit limits for the largest finite floats.
  float pf() const {
    switch (p) {
      case 32767: return std::numeric_limits<float>::infinity();
      case -32768: return -std::numeric_limits<float>::infinity();
      case 70000: return std::numeric_limits<float>::quiet_NaN();
      case kNearMax: return std::numeric_limits<float>::max();
      case kNearMin: return std::numeric_limits<float>::lowest();
      default: return static_cast<float>(p);
    }
  }
};

// What an operation may return.
enum class Results { kZeroOrMinusOne, kAny };

struct Row {
  const char* name;
  // The value the parameter takes while modes and opacities are swept.
  int32_t usual;
  // A -1 leaves every target as it was.
  bool keepsOnRefusal;
  Results results;
  std::function<int32_t(Call&)> run;
  // Some steps have no region clamp of their own; they get the whole
  // plane and the one pixel only.
  bool regionsInsideOnly = false;
  // Called once the row's sweep ends, however it ends, while the test's session still
  // lives: a row may keep state across its calls and free it here.
  std::function<void()> done = nullptr;
};

inline std::string Describe(const Row& row, const Call& c) {
  return std::string(row.name) + " on " + std::to_string(c.s.w) + "x" + std::to_string(c.s.h) +
         ", region " + c.r.name + ", " + (c.mask ? "masked" : "no mask") + ", mode " +
         std::to_string(c.mode) + ", opacity " + std::to_string(c.opacity) + ", parameter " +
         std::to_string(c.p);
}

inline void RunOne(const Row& row, Call c) {
  const Planes before = *c.planes;
  plat::SeedRandom(4321);
  const int32_t rc = row.run(c);
  if (row.results == Results::kZeroOrMinusOne) {
    ASSERT_TRUE(rc == 0 || rc == -1) << Describe(row, c) << " gave " << rc;
  }
  if (rc == -1 && row.keepsOnRefusal) {
    ASSERT_TRUE(before.SameTargets(*c.planes)) << Describe(row, c) << " refused but wrote";
  }
}

// Every shape, region and mask; on each, every blend at the usual value
// and every parameter value at mode 0, full opacity.
inline void Sweep(const Row& row) {
  struct Done {
    const Row& row;
    ~Done() {
      if (row.done) row.done();
    }
  } done{row};
  for (const Shape s : Shapes()) {
    Planes planes(s);
    for (const Region& region : Regions(s)) {
      const bool inside = std::string(region.name) == "whole" ||
                          std::string(region.name) == "one pixel";
      if (row.regionsInsideOnly && !inside) continue;
      for (const bool masked : {false, true}) {
        Call c{s, region, masked ? planes.mask.data() : nullptr, 0, 255, row.usual, &planes};
        for (const BlendPair bp : Blends()) {
          c.mode = bp.mode;
          c.opacity = bp.opacity;
          RunOne(row, c);
          if (::testing::Test::HasFatalFailure()) return;
        }
        c.mode = 0;
        c.opacity = 255;
        for (const int32_t p : Params()) {
          c.p = p;
          RunOne(row, c);
          if (::testing::Test::HasFatalFailure()) return;
        }
      }
    }
  }
}

// The swept value held to a range the caller's own arrays can be sized
// for, or that a small plane can take quickly.
inline int32_t Held(int32_t p, int32_t lo, int32_t hi) { return std::clamp(p, lo, hi); }
inline int16_t Held16(int32_t p, int32_t lo, int32_t hi) {
  return static_cast<int16_t>(std::clamp(p, lo, hi));
}

// A row's name as a test name.
inline std::string TestName(const char* name) {
  std::string out = name;
  for (char& ch : out) {
    if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
  }
  return out;
}

class SweepTest : public SessionTest, public ::testing::WithParamInterface<size_t> {};

}  // namespace vmktest::sweep

// One test per row of `rowsFn()`, named after the row.
#define VMK_ARGUMENT_SWEEP(Suite, Prefix, rowsFn)                                        \
  class Suite : public vmktest::sweep::SweepTest {};                                     \
  TEST_P(Suite, SurvivesAwkwardArguments) {                                              \
    static const std::vector<vmktest::sweep::Row> rows = rowsFn();                       \
    vmktest::sweep::Sweep(rows[GetParam()]);                                             \
  }                                                                                      \
  INSTANTIATE_TEST_SUITE_P(Prefix, Suite, ::testing::Range<size_t>(0, rowsFn().size()),  \
                           [](const ::testing::TestParamInfo<size_t>& info) {            \
                             return vmktest::sweep::TestName(rowsFn()[info.param].name); \
                           })
