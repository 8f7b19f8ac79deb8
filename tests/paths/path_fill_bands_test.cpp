// The colour blend of the soft fill runs in bands once the whole mask is filled: at 1, 3 and
// 8 threads the planes are those of the plain walk below (the mask filled alone, then each
// row blended over its outermost crossings when it and the row under it have any), on odd
// sizes, a tall plane, rows without crossings between others, planes wider and shorter than
// the mask, a partial selection and a column window.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "path_fixture.h"
#include "paths/path_fill.h"
#include "paths/path_list.h"
#include "support/level_and_threads.h"
#include "support/noise_plane.h"

using pathtest::ClosedPath;

namespace {

using Plane = std::vector<uint8_t>;
using vmktest::LevelAndThreads;
using vmktest::Noise;

struct Size {
  int32_t w, h;
};
constexpr Size kSizes[] = {{1, 1}, {17, 3}, {2049, 5}, {5, 2049}, {97, 61}};

// Crossings of every row drawn from a seed: no, two, three or four a row, some beyond the
// row's ends.
struct RandomRows {
  RandomRows(int32_t w, int32_t h, uint32_t seed) : lines(h), table(h) {
    const Plane draw = Noise(static_cast<size_t>(h) * 5, seed);
    for (int32_t y = 0; y < h; ++y) {
      table[y] = &lines[y];
      const int32_t n = std::array<int32_t, 4>{0, 2, 3, 4}[draw[5 * y] % 4];
      for (int32_t k = 0; k < n; ++k)
        lines[y].Attach(
            static_cast<float>(draw[5 * y + 1 + k]) * static_cast<float>(w + 3) / 255.0f - 1.5f);
    }
  }
  std::vector<VFLine> lines;
  std::vector<VFLine*> table;
};

int32_t Trunc(float v) {
  return static_cast<int32_t>(std::clamp<double>(v, -1.0e9, 1.0e9));
}

struct Blend {
  int32_t pw, ph, left, right, channels;
  const uint8_t* selection;
  uint8_t colour[4];
  int32_t opacity;
};

// The plain blend of the filled mask into the planes.
void PlainBlend(const Plane& mask, int32_t w, int32_t h, VFLine** rows, const Blend& b,
                uint8_t* const* planes) {
  for (int32_t y = 0; y + 1 < h; ++y) {
    if (rows[y]->count == 0 || rows[y + 1]->count == 0 || y >= b.ph) continue;
    std::vector<float> c;
    for (const VFPt* q = rows[y]->head; q != nullptr; q = q->next) c.push_back(q->x);
    std::sort(c.begin(), c.end());
    const int32_t x0 = std::max({b.left, Trunc(c.front()), 0});
    const int32_t x1 = std::min({b.right, Trunc(c.back()), w - 1, b.pw - 1});
    for (int32_t x = x0; x <= x1; ++x) {
      const int32_t s = b.selection != nullptr ? b.selection[int64_t{y} * b.pw + x] : 255;
      const int32_t u = s * mask[int64_t{y} * w + x] / 255;
      if (u == 0) continue;
      for (int32_t ch = 0; ch < b.channels; ++ch) {
        uint8_t& v = planes[ch][int64_t{y} * b.pw + x];
        const int32_t mixed = ((255 - b.opacity) * v + b.opacity * b.colour[ch]) / 255;
        v = static_cast<uint8_t>((v * (255 - u) + u * mixed) / 255);
      }
    }
  }
}

class PathFillBandsTest : public pathtest::PathTest {};

TEST_F(PathFillBandsTest, BlendOfRandomRowsAtEveryThreadCountIsThePlainWalk) {
  for (const Size& z : kSizes) {
    const RandomRows rows(z.w, z.h, static_cast<uint32_t>(z.w * 31 + z.h));
    Plane filled(static_cast<size_t>(z.w) * z.h, 0);
    ASSERT_EQ(VFFillOpaCharBuf(filled.data(), z.h, z.w, const_cast<VFLine**>(rows.table.data()),
                               255, nullptr, nullptr, nullptr, nullptr, 0, 0, 0, 0, 0, 0, 0,
                               nullptr, nullptr, nullptr),
              1);
    // 0: four channels at full opacity; 1: a selection and a column window; 2: planes shorter
    // than the mask; 3: two channels on one plane (each pixel still takes its channels in
    // order) and a third plane that is the selection's bytes one column on, so that each
    // pixel's selection is the sample its left neighbour has just blended.
    for (int32_t variant = 0; variant < 4; ++variant) {
      Blend b{z.w + 3,
              variant == 2 ? std::max(z.h - 2, 1) : z.h,
              0,
              z.w - 1,
              variant == 3 ? 3 : 4 - variant,
              nullptr,
              {10, 200, 77, 255},
              variant == 0 ? 255 : 140};
      const Plane sel = Noise(static_cast<size_t>(b.pw) * b.ph, 9);
      if (variant > 0) b.selection = sel.data();
      if (variant == 1) {
        b.left = 2;
        b.right = z.w - 4;
      }
      Plane start[4];
      for (int ch = 0; ch < 4; ++ch) start[ch] = Noise(static_cast<size_t>(b.pw) * b.ph, 20 + ch);
      Plane plain[4] = {start[0], start[1], start[2], start[3]};
      // The planes as the blend is handed them, and the selection, in the given copies.
      const auto handed = [&](Plane* to, std::array<uint8_t*, 4>& ptr) {
        for (int ch = 0; ch < 4; ++ch) ptr[ch] = to[ch].data();
        if (variant == 3) {
          ptr[1] = ptr[0];
          b.selection = ptr[2];
          ptr[2] = ptr[2] + 1;
        }
      };
      std::array<uint8_t*, 4> plainPtr;
      handed(plain, plainPtr);
      PlainBlend(filled, z.w, z.h, const_cast<VFLine**>(rows.table.data()), b, plainPtr.data());
      // Something is blended wherever the column window leaves room.
      if (z.w >= 8 && z.h > 1) {
        EXPECT_NE(plain[0], start[0]) << z.w << "x" << z.h << " variant " << variant;
      }
      for (int threads : {1, 3, 8}) {
        const LevelAndThreads run(plat::SimdLevel::kAvx512, threads);
        Plane p[4] = {start[0], start[1], start[2], start[3]};
        std::array<uint8_t*, 4> ptr;
        handed(p, ptr);
        Plane mask(filled.size(), 0);
        const int16_t opacity = static_cast<int16_t>(b.opacity);
        ASSERT_EQ(
            VFFillOpaCharBuf(mask.data(), z.h, z.w, const_cast<VFLine**>(rows.table.data()), 255,
                             ptr[0], ptr[1], ptr[2], ptr[3], b.ph, b.pw, b.left, 0, b.right, 0,
                             static_cast<int16_t>(b.channels), b.selection, b.colour, &opacity),
            1);
        EXPECT_EQ(mask, filled);
        for (int ch = 0; ch < 4; ++ch)
          ASSERT_EQ(p[ch], plain[ch]) << z.w << "x" << z.h << " variant " << variant << " channel "
                                      << ch << " threads " << threads;
      }
    }
  }
}

TEST_F(PathFillBandsTest, ColourFillOfPathsAtEveryThreadCountIsThePlainWalk) {
  for (const Size& z : kSizes) {
    const float W = static_cast<float>(z.w), H = static_cast<float>(z.h);
    CPathList l(0);
    l.first = ClosedPath(
        {{0.5f * W, -1.0f}, {W + 1.0f, 0.5f * H}, {0.5f * W, H + 1.0f}, {-1.0f, 0.5f * H}});
    l.first->next = ClosedPath(
        {{0.2f * W, 0.3f * H}, {0.7f * W, 0.3f * H}, {0.7f * W, 0.9f * H}, {0.2f * W, 0.9f * H}});
    l.count = 2;
    Plane filled(static_cast<size_t>(z.w) * z.h, 0);
    ASSERT_EQ(FillColPath(0, &l, z.h, z.w, filled.data(), 1, z.h, 1.0f, 1.0f, 0, 0, 255, 0), 0);
    std::vector<VFLine> lines(z.h);
    std::vector<VFLine*> table(z.h);
    for (int32_t y = 0; y < z.h; ++y) table[y] = &lines[y];
    ASSERT_EQ(Fill_Px_Py(0, &l, table.data(), z.h, z.w, 0, 0, z.h, 1.0f, 1.0f), 0);
    const Plane sel = Noise(static_cast<size_t>(z.w) * z.h, 11);
    const Blend b{z.w, z.h, 0, z.w - 1, 3, sel.data(), {250, 5, 128, 0}, 200};
    Plane start[4];
    for (int ch = 0; ch < 3; ++ch) start[ch] = Noise(static_cast<size_t>(z.w) * z.h, 30 + ch);
    Plane plain[4] = {start[0], start[1], start[2], {}};
    uint8_t* const plainPtr[4] = {plain[0].data(), plain[1].data(), plain[2].data(), nullptr};
    PlainBlend(filled, z.w, z.h, table.data(), b, plainPtr);
    if (z.w > 1 && z.h > 1) {
      EXPECT_NE(plain[0], start[0]) << z.w << "x" << z.h;
    }
    for (int threads : {1, 3, 8}) {
      const LevelAndThreads run(plat::SimdLevel::kAvx512, threads);
      Plane p[3] = {start[0], start[1], start[2]};
      Plane mask(filled.size(), 0);
      const int16_t opacity = 200;
      ASSERT_EQ(FillColinPath(0, &l, z.h, z.w, mask.data(), z.h, p[0].data(), p[1].data(),
                              p[2].data(), nullptr, z.h, z.w, 0, 0, z.w - 1, z.h - 1, 3, sel.data(),
                              b.colour, &opacity),
                0);
      for (int ch = 0; ch < 3; ++ch)
        ASSERT_EQ(p[ch], plain[ch])
            << z.w << "x" << z.h << " channel " << ch << " threads " << threads;
    }
  }
}

}  // namespace
