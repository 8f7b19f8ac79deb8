// The grid warp: curved cells, and the engine over straight and curved grids, with its
// blend weights.
#include "engines/correction/grid_warp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engines/correction/correction_engine_rows.h"
#include "platform/parallel/cancel.h"
#include "platform/parallel/parallel.h"
#include "platform/parallel/simd.h"
#include "raster/displacement_resample.h"
#include "script/engine_rows.h"

namespace {

SubGrid Square() {
  SubGrid s;
  float xs[4] = {0, 800, 800, 0}, ys[4] = {0, 0, 800, 800};
  s.InitSubGrid(xs, ys);
  return s;
}

TEST(GridWarpCells, InitTruncatesTheEdgePoints) {
  SubGrid s;
  float xs[4] = {0.7f, 800.9f, 800.9f, 0.7f}, ys[4] = {800.6f, 800.6f, -0.9f, -0.9f};
  s.InitSubGrid(xs, ys);
  EXPECT_EQ(s.ptX[0][0], 0.0f);
  EXPECT_EQ(s.ptX[0][8], 800.0f);
  EXPECT_EQ(s.ptX[4][4], 400.0f);
  EXPECT_EQ(s.ptY[0][3], 800.0f);
  EXPECT_EQ(s.ptY[3][0], 500.0f);
  EXPECT_EQ(s.ptY[8][5], 0.0f);
}

TEST(GridWarpCells, PerspectiveWeightsAndSharedEdges) {
  SubGrid s = Square();
  PerspSubGrid(&s, 4, 4, 80, 0);
  EXPECT_EQ(s.ptX[4][4], 480.0f);
  EXPECT_EQ(s.ptX[4][2], 260.0f);  // 1 - (400 - 200)^2 / 400^2 = 0.75
  EXPECT_EQ(s.ptX[2][4], 460.0f);
  EXPECT_EQ(s.ptX[2][2], 245.0f);  // 0.75 x 0.75
  EXPECT_EQ(s.ptX[0][0], 0.0f);
  EXPECT_EQ(s.ptX[4][8], 800.0f);
  EXPECT_EQ(s.ptY[4][4], 400.0f);

  // The row's end takes the full move without a side to divide by; no move moves nothing.
  SubGrid e = Square();
  PerspSubGrid(&e, 8, 4, 0, 40);
  EXPECT_EQ(e.ptY[4][8], 440.0f);
  EXPECT_EQ(e.ptY[4][0], 400.0f);
  const SubGrid before = e;
  PerspSubGrid(&e, 3, 3, 0, 0);
  EXPECT_EQ(std::memcmp(&before, &e, sizeof e), 0);

  // Two cells side by side share the right cell's left edge, corners excepted.
  SubGrid a = Square(), b = Square();
  a.ptX[3][8] = 811;
  a.ptX[8][8] = 999;
  SubGrid* table[4] = {&a, &b, nullptr, nullptr};
  CorrAdj_SubGrid(table, 2, 1);
  EXPECT_EQ(b.ptX[3][0], 811.0f);
  EXPECT_EQ(b.ptX[0][0], 800.0f);
  EXPECT_EQ(b.ptX[8][0], 0.0f);
}

// A cell whose right column is far longer than the column of the moved point: the parabola
// measured down a long column went below 0 by (d / side)^2 and threw points the wrong way.
// Each point now moves by at most the move asked for and never against it.
TEST(GridWarpCells, APointPastTwiceTheSideStays) {
  SubGrid s;
  float xs[4] = {0, 800, 800, 0}, ys[4] = {0, 0, 8000, 100};
  s.InitSubGrid(xs, ys);
  const SubGrid before = s;
  PerspSubGrid(&s, 2, 0, 80, 0);
  EXPECT_EQ(s.ptX[0][2], 280.0f);  // the column of the move: full weight at its row
  // Column 1 is 1087 long against 2075: 1 - (2075 - 1087)^2 / 2075^2 of the row's 60.
  EXPECT_FLOAT_EQ(s.ptX[0][1], 100.0f + 60.0f * (1.0f - 988.0f * 988.0f / (2075.0f * 2075.0f)));
  EXPECT_EQ(s.ptX[0][5], 500.0f);  // 5037 long: more than twice 2075
  for (int32_t j = 0; j <= 8; ++j) {
    for (int32_t i = 0; i <= 8; ++i) {
      EXPECT_GE(s.ptX[j][i] - before.ptX[j][i], 0.0f) << j << "," << i;
      EXPECT_LE(s.ptX[j][i] - before.ptX[j][i], 80.0f) << j << "," << i;
      EXPECT_EQ(s.ptY[j][i], before.ptY[j][i]);
    }
  }
}

// The record the sweep left behind, in kind: a 4 x 4 grid at curvature 90 with one node
// dragged straight down past the row below it, folding its cells. Bent as the engine and the view bend them
// (each edge point drawn 30 percent toward its handle, from the cell as the previous bend
// left it), no point of any cell leaves a few grid widths: before, a cell's points reached
// 2 x 10^9 node units and the preview walked a quad ten million pixels wide.
TEST(GridWarpCells, AFoldedGridBendsNearTheGrid) {
  constexpr int32_t kCols = 4, kRows = 4, kStride = kCols + 1;
  int32_t x[25], y[25];
  for (int32_t r = 0; r <= kRows; ++r) {
    for (int32_t c = 0; c <= kCols; ++c) {
      x[r * kStride + c] = c * 25000;
      y[r * kStride + c] = 100000 - r * 25000;
    }
  }
  y[6] = 40000;  // node (1, 1), from (25000, 75000)
  std::vector<SubGrid> cells(25);
  SubGrid* table[25] = {};
  for (int32_t r = 0; r < kRows; ++r) {
    for (int32_t c = 0; c < kCols; ++c) {
      const int32_t k = r * kStride + c, n[4] = {k, k + 1, k + kStride + 1, k + kStride};
      float xs[4], ys[4];
      for (int32_t q = 0; q < 4; ++q) {
        xs[q] = static_cast<float>(x[n[q]]);
        ys[q] = static_cast<float>(y[n[q]]);
      }
      cells[k].InitSubGrid(xs, ys);
      table[k] = &cells[k];
    }
  }
  CalcTgt_SubGrid(x, y, table, kCols, kRows);
  CalcDisp_SubGrid(x, y, table, kCols, kRows);
  static constexpr int32_t kRow[8] = {0, 0, 2, 6, 8, 8, 6, 2}, kColumn[8] = {2, 6, 8, 8, 6, 2, 0, 0};
  float far = 0.0f;
  for (int32_t r = 0; r < kRows; ++r) {
    for (int32_t c = 0; c < kCols; ++c) {
      SubGrid* s = table[r * kStride + c];
      for (int32_t k = 0; k < 8; ++k) {
        const int32_t j = kRow[k], i = kColumn[k];
        PerspSubGrid(s, i, j, static_cast<int32_t>(30.0f * (s->hdlX[k] - s->ptX[j][i]) / 100.0f),
                     static_cast<int32_t>(30.0f * (s->hdlY[k] - s->ptY[j][i]) / 100.0f));
      }
      for (int32_t j = 0; j <= 8; ++j)
        for (int32_t i = 0; i <= 8; ++i) far = std::max({far, std::abs(s->ptX[j][i]), std::abs(s->ptY[j][i])});
    }
  }
  EXPECT_LT(far, 500000.0f);
}

constexpr int32_t kW = 100, kH = 50;

struct Picture {
  std::vector<uint8_t> r, g, b;
  Picture() : r(kW * kH), g(kW * kH), b(kW * kH) {
    for (int32_t y = 0; y < kH; ++y)
      for (int32_t x = 0; x < kW; ++x) {
        r[y * kW + x] = static_cast<uint8_t>(2 * x);
        g[y * kW + x] = static_cast<uint8_t>(4 * y);
        b[y * kW + x] = static_cast<uint8_t>(x + y);
      }
  }
};

std::unique_ptr<GridPar> Grid(int32_t columns, int32_t rows, int32_t morph, int32_t curvature) {
  auto r = std::make_unique<GridPar>();
  Init_GridPar(r.get(), kW, kH, columns, rows, 1, 3, 1, 1);
  r->grids[0].w[kGiMorph] = morph;
  r->grids[0].w[kGiCurvature] = curvature;
  return r;
}

Picture Render(const GridPar& record, int16_t makeMaps, int16_t strength = 255, int16_t blendMode = 0,
               const uint8_t* mask = nullptr, uint8_t* selection = nullptr, int32_t right = kW) {
  Picture p;
  MiscGrid engine;
  engine.SetGridPar(&record);
  EXPECT_EQ(engine.FillBuf(3, blendMode, strength, 0, makeMaps, 1, kW, kH, -5, 0, right, kH + 9, kW, kH, 0,
                           0, kW, kH, 1.0f, 1.0f, p.r.data(), p.g.data(), p.b.data(), selection, mask),
            0);
  return p;
}

TEST(GridWarpEngine, MorphZeroKeepsThePicture) {
  const Picture original;
  for (int16_t maps : {0, 1}) {
    for (int32_t curvature : {0, 60}) {
      SCOPED_TRACE(maps * 100 + curvature);
      auto g = Grid(4, 3, 0, curvature);
      for (int32_t k = 0; k < 20; ++k) g->grids[0].node[kGaOut + kGaX][k] += 7000;
      const Picture p = Render(*g, maps);
      // Up to the quad functions' resampling.
      int32_t worst = 0;
      for (int32_t y = 2; y < kH - 2; ++y)
        for (int32_t x = 2; x < kW - 2; ++x)
          for (std::vector<uint8_t> Picture::*plane : {&Picture::r, &Picture::g, &Picture::b}) {
            const int32_t d = (p.*plane)[y * kW + x] - (original.*plane)[y * kW + x];
            worst = std::max(worst, d < 0 ? -d : d);
          }
      EXPECT_LE(worst, 3);
    }
  }
}

TEST(GridWarpEngine, ShiftedCellMovesTheRamp) {
  auto g = Grid(1, 1, 100, 0);
  for (int32_t k = 0; k < 4; ++k) g->grids[0].node[kGaOut + kGaX][k] += 10000;
  const Picture p = Render(*g, 1);
  for (int32_t x = 12; x < 95; x += 7) EXPECT_EQ(p.r[25 * kW + x], 2 * (x - 10)) << x;
  EXPECT_EQ(p.g[25 * kW + 50], 100);

  // One cell column, or curvature 0, stays straight whatever the curvature.
  auto straight = Grid(1, 3, 100, 0);
  auto bent = Grid(1, 3, 100, 90);
  for (auto* r : {straight.get(), bent.get()})
    for (int32_t k = 0; k < 8; ++k) r->grids[0].node[kGaOut + kGaX][k] += 10000 + 1000 * k;
  EXPECT_EQ(Render(*straight, 1).r, Render(*bent, 1).r);
  // A later grid wins where both land.
  auto two = Grid(1, 1, 100, 0);
  two->head.w[kGpCount] = 2;
  Init_GridInfo(&two->grids[1], 1, 1, 1, 1, 3);
  two->grids[1].w[kGiMorph] = 100;
  EXPECT_EQ(Render(*two, 1).r, Picture().r);
}

TEST(GridWarpEngine, StrengthMaskSelectionAndRectangle) {
  auto g = Grid(1, 1, 100, 0);
  for (int32_t k = 0; k < 4; ++k) g->grids[0].node[kGaOut + kGaX][k] += 10000;
  const Picture original;
  EXPECT_EQ(Render(*g, 1, 0).r, original.r);
  EXPECT_EQ(Render(*g, 1, 255, 77).r, original.r);  // no such blend mode: values kept
  const int32_t i = 25 * kW + 50;  // 100, warped 80
  EXPECT_EQ(Render(*g, 1, 128).r[i], (127 * 100 + 128 * 80) / 255);
  std::vector<uint8_t> mask(kW * kH, 51);
  EXPECT_EQ(Render(*g, 1, 255, 0, mask.data()).r[i], (204 * 100 + 51 * 80) / 255);
  std::vector<uint8_t> selection(kW * kH, 102);
  g->head.w[kGpSelection] = 1;
  EXPECT_EQ(Render(*g, 1, 255, 0, mask.data(), selection.data()).r[i],
            (235 * 100 + 20 * 80) / 255);  // a = 102 x (51 x 255 / 255) / 255 = 20
  EXPECT_EQ(Render(*g, 1, 255, 0, nullptr, nullptr).r[i], 80);  // switch on, no plane: full
  // Only the clamped half-open rectangle changes.
  const Picture part = Render(*g, 1, 255, 0, nullptr, nullptr, 60);
  EXPECT_NE(part.r[25 * kW + 59], 118);
  EXPECT_EQ(part.r[25 * kW + 60], 120);
}

// The blend back at replacement runs in lanes: with a varying mask and selection at a lower
// strength, each sample is the plain mix of the picture and the full-strength warp, at one,
// three and eight threads.
TEST(GridWarpEngine, WeightedBlendBackIsThePlainMixAtAnyThreadCount) {
  auto g = Grid(3, 2, 100, 40);
  for (int32_t k = 0; k < 12; ++k) g->grids[0].node[kGaOut + kGaX][k] += 3000 + 500 * k;
  const Picture original, full = Render(*g, 1);
  ASSERT_NE(full.r, original.r);
  std::vector<uint8_t> mask(kW * kH), selection(kW * kH);
  for (size_t i = 0; i < mask.size(); ++i) {
    mask[i] = static_cast<uint8_t>(i * 37 + 5);
    selection[i] = static_cast<uint8_t>(i * 11 + 90);
  }
  g->head.w[kGpSelection] = 1;
  for (int threads : {1, 3, 8}) {
    plat::SetThreadCount(threads);
    const Picture p = Render(*g, 1, 200, 0, mask.data(), selection.data());
    for (std::vector<uint8_t> Picture::*plane : {&Picture::r, &Picture::g, &Picture::b})
      for (size_t i = 0; i < mask.size(); ++i) {
        const int32_t a = selection[i] * (mask[i] * 200 / 255) / 255;
        ASSERT_EQ((p.*plane)[i], ((255 - a) * (original.*plane)[i] + a * (full.*plane)[i]) / 255)
            << threads << " " << i;
      }
  }
  plat::SetThreadCount(0);
}

TEST(GridWarpEngine, RowIsRegistered) {
  RegisterCorrectionEngineRows();
  EXPECT_NE(FindEngineRow(102), nullptr);
}

// Under a flag nobody raises the render is the same; raised before it, the
// render stops before it warps or blends and leaves the planes as the
// source step left them.
TEST(GridWarpEngine, CancelledRendersStopAndUncancelledOnesAreUnchanged) {
  auto g = Grid(1, 1, 100, 0);
  for (int32_t k = 0; k < 4; ++k) g->grids[0].node[kGaOut + kGaX][k] += 10000;
  for (int16_t maps : {0, 1}) {
    const Picture plain = Render(*g, maps);
    plat::CancelFlag flag;
    const plat::CancelScope scope(&flag);
    EXPECT_EQ(Render(*g, maps).r, plain.r) << maps;
    EXPECT_NE(plain.r, Picture().r);
    flag.Cancel();
    EXPECT_EQ(Render(*g, maps).r, Picture().r) << maps;
  }
}

// The grids read the caller's planes themselves and, on the maps path, pull into warped
// copies never filled from the planes: at full strength the planes become the plain pull of
// the untouched picture through the maps ValidGrid lays over neutral ones, and both paths,
// straight and curved, with two grids, give on every vector form at one, three and eight
// threads what the plain forms give at one, on odd and tall pictures.
TEST(GridWarpEngine, EveryPathOnEveryFormEqualsThePlainFormsOnOddSizes) {
  struct Size {
    int32_t w, h;
  };
  for (const Size size : {Size{1, 1}, Size{17, 3}, Size{2049, 5}, Size{37, 509}, Size{301, 203}}) {
    const int32_t w = size.w, h = size.h;
    const size_t n = static_cast<size_t>(w) * h;
    auto picture = [&](int seed) {
      std::vector<uint8_t> p(n);
      for (size_t i = 0; i < n; ++i)
        p[i] = static_cast<uint8_t>((i % w) * 5 + (i / w) * 3 + seed * 53 + (i * i) % 11);
      return p;
    };
    for (const int32_t curvature : {0, 60}) {
      auto record = std::make_unique<GridPar>();
      Init_GridPar(record.get(), w, h, 6, 5, 1, 3, 1, 1);
      record->head.w[kGpCount] = 2;
      for (int32_t k = 0; k < 2; ++k) {
        GridInfo& g = record->grids[k];
        g = record->grids[0];
        g.w[kGiEnabled] = 1;
        g.w[kGiMorph] = k == 0 ? 100 : 60;
        g.w[kGiCurvature] = curvature;
        for (int32_t row = 1; row < 5; ++row)
          for (int32_t col = 1; col < 6; ++col) {
            const int32_t node = row * 7 + col;
            g.node[kGaOut + kGaX][node] += static_cast<int32_t>(2500 * std::sin(row * 0.9 + k));
            g.node[kGaOut + kGaY][node] += static_cast<int32_t>(2500 * std::cos(col * 0.7 - k));
          }
      }
      auto render = [&](int16_t makeMaps, std::vector<uint8_t> out[3]) {
        MiscGrid e;
        e.SetGridPar(record.get());
        for (int c = 0; c < 3; ++c) out[c] = picture(c);
        ASSERT_EQ(e.FillBuf(3, 0, 255, 0, makeMaps, 1, w, h, 0, 0, w, h, w, h, 0, 0, w, h, 1.0f,
                            1.0f, out[0].data(), out[1].data(), out[2].data(), nullptr, nullptr),
                  0);
      };
      {
        plat::SetSimdLevel(plat::SimdLevel::kBaseline);
        plat::SetThreadCount(1);
        std::vector<uint32_t> mx(n, kDisplacementNeutral), my(n, kDisplacementNeutral);
        std::vector<uint32_t*> rx(h), ry(h);
        for (int32_t y = 0; y < h; ++y) {
          rx[y] = mx.data() + static_cast<size_t>(y) * w;
          ry[y] = my.data() + static_cast<size_t>(y) * w;
        }
        const std::vector<uint8_t> src[3] = {picture(0), picture(1), picture(2)};
        std::vector<uint8_t> expect[3] = {src[0], src[1], src[2]};
        MiscGrid e;
        e.SetGridPar(record.get());
        for (int32_t k = 0; k < 2; ++k)
          ASSERT_EQ(e.ValidGrid(1, rx.data(), ry.data(), &record->grids[k], w, h, w, h, 0, 0, w, h,
                                w, h, src[0].data(), src[1].data(), src[2].data(), w, h, nullptr,
                                nullptr, nullptr),
                    0);
        ComputeBufRGBInterDisAtXY(h, w, src[0].data(), src[1].data(), src[2].data(), nullptr,
                                  expect[0].data(), expect[1].data(), expect[2].data(), nullptr,
                                  rx.data(), ry.data());
        std::vector<uint8_t> got[3];
        render(1, got);
        for (int c = 0; c < 3; ++c)
          ASSERT_EQ(got[c], expect[c]) << w << "x" << h << " curvature " << curvature;
      }
      for (const int16_t makeMaps : {1, 0}) {
        std::vector<uint8_t> expect[3];
        plat::SetSimdLevel(plat::SimdLevel::kBaseline);
        plat::SetThreadCount(1);
        render(makeMaps, expect);
        for (const plat::SimdLevel level :
             {plat::SimdLevel::kBaseline, plat::SimdLevel::kAvx2, plat::SimdLevel::kAvx512}) {
          plat::SetSimdLevel(level);
          for (int threads : {1, 3, 8}) {
            plat::SetThreadCount(threads);
            std::vector<uint8_t> got[3];
            render(makeMaps, got);
            for (int c = 0; c < 3; ++c)
              ASSERT_EQ(got[c], expect[c])
                  << w << "x" << h << " curvature " << curvature << " maps " << makeMaps
                  << " level " << static_cast<int>(level) << " threads " << threads;
          }
        }
      }
    }
  }
  plat::SetSimdLevel(plat::SimdLevel::kAvx512);
  plat::SetThreadCount(0);
}

}  // namespace
