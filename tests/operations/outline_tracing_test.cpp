#include "operations/outline_tracing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

#include "support/noise_plane.h"

namespace {

using Plane = std::vector<unsigned char>;
using Points = std::vector<std::pair<uint32_t, uint32_t>>;

Points PointsOf(const pixel_outline_type& o) {
  Points p;
  for (uint32_t i = 0; i < o.length; ++i) p.emplace_back(o.data[i].x, o.data[i].y);
  return p;
}

// A list freed whatever the test's outcome.
struct Traced {
  Traced(const Plane& plane, int32_t h, int32_t w, unsigned char bg = 0) {
    list = find_outline_pixels(plane.data(), h, w, bg, &abortFlag);
  }
  ~Traced() { free_pixel_outline_list(&list); }
  pixel_outline_list_type list{};
  int16_t abortFlag = 0;
};

Plane Filled(int32_t w, int32_t h, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
             unsigned char v, Plane p = {}) {
  if (p.empty()) p.assign(static_cast<size_t>(w) * h, 0);
  for (int32_t y = y0; y <= y1; ++y)
    for (int32_t x = x0; x <= x1; ++x) p[static_cast<size_t>(y) * w + x] = v;
  return p;
}

TEST(OutlineTracing, BackgroundOnlyAndLonePixel) {
  const Traced empty(Plane(12, 7), 3, 4, 7);
  EXPECT_EQ(empty.list.length, 0u);
  EXPECT_EQ(empty.list.data, nullptr);

  const Traced lone(Filled(3, 3, 1, 1, 1, 1, 9), 3, 3);
  ASSERT_EQ(lone.list.length, 1u);
  EXPECT_EQ(PointsOf(lone.list.data[0]), (Points{{1, 2}, {1, 1}, {2, 1}, {2, 2}}));
  EXPECT_EQ(lone.list.data[0].clockwise, 0);
  EXPECT_EQ(lone.list.data[0].color, 9);
  EXPECT_EQ(lone.list.data[0].open, 0);
  EXPECT_EQ(lone.abortFlag, 0);
}

TEST(OutlineTracing, RingGivesOuterOutlineAndHoleNestedValueGivesNoHole) {
  Plane ring = Filled(5, 5, 1, 1, 3, 3, 6);
  ring[2 * 5 + 2] = 0;
  const Traced r(ring, 5, 5);
  ASSERT_EQ(r.list.length, 2u);
  EXPECT_EQ(r.list.data[0].clockwise, 0);
  EXPECT_EQ(r.list.data[0].length, 12u);
  EXPECT_EQ(r.list.data[1].clockwise, 1);
  EXPECT_EQ(r.list.data[1].color, 6);
  // The hole runs round the centre pixel's four corners.
  Points hole = PointsOf(r.list.data[1]);
  std::sort(hole.begin(), hole.end());
  EXPECT_EQ(hole, (Points{{2, 2}, {2, 3}, {3, 2}, {3, 3}}));

  ring[2 * 5 + 2] = 4;
  const Traced nested(ring, 5, 5);
  ASSERT_EQ(nested.list.length, 2u);
  EXPECT_EQ(nested.list.data[0].color, 6);
  EXPECT_EQ(nested.list.data[0].clockwise, 0);
  EXPECT_EQ(nested.list.data[1].color, 4);
  EXPECT_EQ(nested.list.data[1].clockwise, 0);
  EXPECT_EQ(nested.list.data[1].length, 4u);
}

TEST(OutlineTracing, OuterWalkCrossesCornersDiagonally) {
  // Two pixels touching at a corner make one outer outline through it.
  Plane p(9, 0);
  p[0] = 5;
  p[4] = 5;
  const Traced t(p, 3, 3);
  ASSERT_EQ(t.list.length, 1u);
  EXPECT_EQ(PointsOf(t.list.data[0]),
            (Points{{0, 3}, {0, 2}, {1, 2}, {1, 1}, {2, 1}, {2, 2}, {1, 2}, {1, 3}}));
}

TEST(OutlineTracing, EveryBorderEdgeOfNoiseOnceInClosedUnitChains) {
  // One value on the background: every edge between them belongs to one
  // recorded outline or hole, and each outline steps corner to corner
  // back to its start.
  for (int trial = 0; trial < 60; ++trial) {
    const int32_t w = 5 + trial % 19, h = 3 + trial % 13;
    Plane p(static_cast<size_t>(w) * h);
    uint32_t seed = static_cast<uint32_t>(trial) * 7919u + 1u;
    for (auto& v : p) v = ((seed = seed * 1103515245u + 12345u) >> 16) % 100 < 45 ? 5 : 0;
    auto is = [&](int32_t x, int32_t y) {
      return x >= 0 && y >= 0 && x < w && y < h && p[static_cast<size_t>(y) * w + x] == 5;
    };
    uint32_t edges = 0;
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x)
        if (is(x, y)) edges += !is(x - 1, y) + !is(x + 1, y) + !is(x, y - 1) + !is(x, y + 1);
    const Traced t(p, h, w);
    uint32_t points = 0;
    for (uint32_t k = 0; k < t.list.length; ++k) {
      const pixel_outline_type& o = t.list.data[k];
      points += o.length;
      for (uint32_t i = 0; i < o.length; ++i) {
        const coords a = o.data[i], b = o.data[(i + 1) % o.length];
        ASSERT_EQ(std::abs(static_cast<int64_t>(a.x) - b.x) + std::abs(static_cast<int64_t>(a.y) - b.y),
                  1)
            << trial;
      }
    }
    EXPECT_EQ(points, edges) << trial;
  }
}

TEST(OutlineTracing, LargeBlobTracesWithoutTrouble) {
  const int32_t n = 2000;
  const Plane p = Filled(n, n, 10, 10, n - 11, n - 11, 200);
  const Traced t(p, n, n);
  ASSERT_EQ(t.list.length, 1u);
  EXPECT_EQ(t.list.data[0].length, 4u * (n - 20));
  float x[4], y[4];
  MinMaxOutline(&t.list.data[0], x, y);
  EXPECT_EQ(x[0], 10.0f);
  EXPECT_EQ(x[1], static_cast<float>(n - 10));
  EXPECT_EQ(y[0], 10.0f);
  EXPECT_EQ(y[2], static_cast<float>(n - 10));
}

// The tracing's row scan written out plainly: every pixel asked for a top edge and the pixel
// above it for a bottom edge, as the tracer does without stepping over equal columns.
std::vector<pixel_outline_type> PlainOutlines(const Plane& plane, int32_t h, int32_t w,
                                              unsigned char bg) {
  std::vector<pixel_outline_type> out;
  std::vector<unsigned char> marks(plane.size(), 0);
  int16_t flag = 0;
  auto at = [&](int32_t r, int32_t c) { return plane[static_cast<size_t>(r) * w + c]; };
  for (int32_t r = 0; r < h; ++r) {
    for (int32_t c = 0; c < w; ++c) {
      const unsigned char v = at(r, c);
      if (v != bg &&
          is_unmarked_outline_edge(r, c, TOP, plane.data(), h, w, marks.data(), v, &flag)) {
        pixel_outline_type o =
            find_one_outline(plane.data(), h, w, TOP, r, c, marks.data(), 0, 0, &flag);
        o.clockwise = 0;
        out.push_back(o);
      }
      if (r == 0) continue;
      const unsigned char u = at(r - 1, c);
      if (u != bg &&
          is_unmarked_outline_edge(r - 1, c, BOTTOM, plane.data(), h, w, marks.data(), u, &flag)) {
        const int16_t ignore = v == bg ? 0 : 1;
        pixel_outline_type o =
            find_one_outline(plane.data(), h, w, BOTTOM, r - 1, c, marks.data(), 1, ignore, &flag);
        o.clockwise = 1;
        if (ignore == 0) out.push_back(o);
      }
    }
  }
  EXPECT_EQ(flag, 0);
  return out;
}

TEST(OutlineTracing, SteppingOverEqualColumnsMatchesThePlainScan) {
  struct Size {
    int32_t w, h;
  };
  for (const Size size : {Size{1, 1}, Size{17, 3}, Size{2049, 5}, Size{3, 701}, Size{61, 47}}) {
    const size_t n = static_cast<size_t>(size.w) * size.h;
    const Plane noise = vmktest::Noise(n, static_cast<uint32_t>(n) + 5);
    // Few values in blocks (long equal stretches between rows, as a threshold gives), grain
    // (rows that differ everywhere) and one value all over.
    Plane blocks(n), grain(n), flat(n, 9);
    for (size_t i = 0; i < n; ++i) {
      const auto x = static_cast<int32_t>(i % static_cast<size_t>(size.w));
      const auto y = static_cast<int32_t>(i / static_cast<size_t>(size.w));
      blocks[i] = static_cast<unsigned char>(((x / 11 + y / 3) % 3) * 100 + (noise[i] < 8 ? 7 : 0));
      grain[i] = static_cast<unsigned char>(noise[i] & 3);
    }
    for (const Plane* plane : {&blocks, &grain, &flat}) {
      for (const unsigned char bg : {0, 1, 100, 250}) {
        const Traced got(*plane, size.h, size.w, bg);
        std::vector<pixel_outline_type> want = PlainOutlines(*plane, size.h, size.w, bg);
        ASSERT_EQ(got.abortFlag, 0);
        ASSERT_EQ(got.list.length, want.size()) << size.w << "x" << size.h << " bg " << int{bg};
        for (size_t o = 0; o < want.size(); ++o) {
          EXPECT_EQ(PointsOf(got.list.data[o]), PointsOf(want[o])) << o;
          EXPECT_EQ(got.list.data[o].clockwise, want[o].clockwise);
          EXPECT_EQ(got.list.data[o].color, want[o].color);
        }
        for (pixel_outline_type& o : want) std::free(o.data);
      }
    }
  }
}

TEST(OutlineTracing, RefusedGrowthAbortsWithAnEmptyList) {
  const Plane p = Filled(8, 8, 1, 1, 6, 6, 3);
  for (int64_t allowed : {0, 1, 3, 6}) {  // 6: the points fit, the list refuses
    setOutlineGrowthLimitForTesting(allowed);
    Traced t(p, 8, 8);
    setOutlineGrowthLimitForTesting(std::nullopt);
    EXPECT_EQ(t.abortFlag, -1) << allowed;
    EXPECT_EQ(t.list.length, 0u);
    EXPECT_EQ(t.list.data, nullptr);
  }
}

TEST(OutlineTracing, BadEdgeSetsTheAbortFlag) {
  const Plane p = Filled(3, 3, 1, 1, 1, 1, 9);
  int16_t flag = 0;
  EXPECT_EQ(is_outline_edge(static_cast<edge_type>(7), p.data(), 3, 3, 1, 1, 9, &flag), 0);
  EXPECT_EQ(flag, -1);
}

TEST(OutlineLists, ExpandBoundsCopyAndQuad) {
  pixel_outline_type line{nullptr, 0, 0, 7, 0};
  ASSERT_EQ(append_outline_pixel(&line, {0, 0}), 0);
  ASSERT_EQ(append_outline_pixel(&line, {4, 0}), 0);
  uint32_t count = 0;
  CountExpandedOutline(&line, nullptr, &count);
  ASSERT_EQ(count, 8u);
  std::vector<coords> out(count);
  pixel_outline_type expanded{out.data(), count, 0, 7, 0};
  CountExpandedOutline(&line, &expanded, &count);
  EXPECT_EQ(PointsOf(expanded),
            (Points{{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {3, 0}, {2, 0}, {1, 0}}));

  // A diagonal stops short of the next point's minor coordinate:
  // t = trunc(k * 2 / sqrt(20) + 0.5) for k = 0..3 gives 0, 0, 1, 1, and
  // on the way back truncation toward zero keeps every t at 0.
  line.data[1] = {4, 2};
  CountExpandedOutline(&line, nullptr, &count);
  ASSERT_EQ(count, 8u);
  CountExpandedOutline(&line, &expanded, &count);
  EXPECT_EQ(PointsOf(expanded),
            (Points{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}, {3, 2}, {2, 2}, {1, 2}}));

  pixel_outline_list_type list{nullptr, 0};
  ASSERT_EQ(append_pixel_outline(&list, line), 0);
  float x[4], y[4];
  MinMaxOutlineList(&list, x, y);
  EXPECT_EQ((std::vector<float>{x[0], y[0], x[1], y[1], x[2], y[2], x[3], y[3]}),
            (std::vector<float>{0, 0, 4, 0, 4, 2, 0, 2}));
  pixel_outline_type none{nullptr, 0, 0, 0, 0};
  MinMaxOutline(&none, x, y);
  EXPECT_EQ(x[0], 64000.0f);
  EXPECT_EQ(x[1], 0.0f);

  pixel_outline_list_type copy{nullptr, 0};
  ASSERT_EQ(newcopy_pixel_outline_list(&list, &copy), 0);
  ASSERT_EQ(copy.length, 1u);
  EXPECT_NE(copy.data[0].data, list.data[0].data);
  EXPECT_EQ(PointsOf(copy.data[0]), PointsOf(list.data[0]));
  EXPECT_EQ(copy.data[0].color, 7);

  // Into a square twice the box's size: (0,0)-(4,2) maps onto (0,0)-(8,4).
  const float qx[4] = {0, 8, 8, 0};
  const float qy[4] = {0, 0, 4, 4};
  ASSERT_EQ(DistortInQuadOutlineList(&list, &copy, nullptr, nullptr, qx, qy), 0);
  EXPECT_EQ(copy.data[0].length, 16u);
  EXPECT_EQ(copy.data[0].data[0].x, 0u);
  EXPECT_EQ(copy.data[0].data[8].x, 8u);
  EXPECT_EQ(copy.data[0].data[8].y, 4u);
  EXPECT_EQ(copy.data[0].color, 7);

  // A flat box (no height) maps every point at v = 0 instead of dividing
  // by zero; a destination holding fewer records gets only those.
  line.data[1] = {4, 0};
  pixel_outline_type dot{nullptr, 0, 1, 9, 0};
  ASSERT_EQ(append_outline_pixel(&dot, {2, 0}), 0);
  ASSERT_EQ(append_pixel_outline(&list, dot), 0);
  ASSERT_EQ(DistortInQuadOutlineList(&list, &copy, nullptr, nullptr, qx, qy), 0);
  ASSERT_EQ(copy.length, 1u);
  EXPECT_EQ(copy.data[0].length, 16u);
  for (uint32_t i = 0; i < copy.data[0].length; ++i) EXPECT_EQ(copy.data[0].data[i].y, 0u);

  free_pixel_outline_list(&copy);
  free_pixel_outline_list(&list);
  EXPECT_EQ(list.length, 0u);
  EXPECT_EQ(list.data, nullptr);
}

TEST(CentreLines, LineIsOpenRingIsClosed) {
  Plane p(7 * 5, 0);
  for (int x = 1; x <= 5; ++x) p[1 * 7 + x] = 3;  // a horizontal line
  int16_t flag = 0;
  pixel_outline_list_type list = find_centerline_pixels(p.data(), 5, 7, 0, &flag);
  ASSERT_EQ(list.length, 1u);
  EXPECT_EQ(list.data[0].open, 1);
  EXPECT_EQ(PointsOf(list.data[0]), (Points{{1, 3}, {2, 3}, {3, 3}, {4, 3}, {5, 3}}));
  free_pixel_outline_list(&list);

  Plane ring = Filled(5, 5, 1, 1, 3, 3, 8);
  ring[12] = 0;
  list = find_centerline_pixels(ring.data(), 5, 5, 0, &flag);
  ASSERT_EQ(list.length, 1u);
  EXPECT_EQ(list.data[0].open, 0);
  EXPECT_EQ(list.data[0].length, 8u);
  EXPECT_EQ(list.data[0].color, 8);
  free_pixel_outline_list(&list);
  EXPECT_EQ(num_neighbors(1, 1, ring.data(), 5, 5), 2);
  EXPECT_EQ(flag, 0);
}

}  // namespace
