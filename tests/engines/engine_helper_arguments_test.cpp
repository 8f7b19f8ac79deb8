// The engines' public helpers called with hostile arguments: rectangles at the ends of the
// int range, empty and inverted ones, cells of no size, list positions at the 16-bit limits,
// missing planes and files. Planes are allocated at exactly their size, so the sanitizer
// build catches any write past them; results are checked where the helper promises one.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "engines/patterns/border_engine.h"
#include "engines/patterns/border_record.h"
#include "engines/patterns/screen_engine.h"
#include "engines/patterns/screen_record.h"
#include "engines/patterns/script_image_loaders.h"
#include "engines/tessellation/photo_repeat_engine.h"
#include "engines/tessellation/photo_repeat_record.h"
#include "engines/tessellation/quad_lists.h"
#include "engines/tessellation/tessellation_record.h"
#include "support/session.h"

namespace {

constexpr int32_t kMax = 2147483647, kMin = -2147483647 - 1;
constexpr int32_t kW = 9, kH = 7, kN = kW * kH;

using Plane = std::vector<uint8_t>;

class EngineHelpers : public vmktest::SessionTest {};

TEST_F(EngineHelpers, BorderTileSizesAndMergesAtTheIntLimits) {
  auto rec = std::make_unique<BordPar>();
  Init_BordPar(rec.get(), kW, kH, 0, 1, 1, 0);
  MiscBord e;
  e.SetBordPar(rec.get());
  int32_t w = -1, h = -1;
  for (int16_t layer : {int16_t{-1}, int16_t{0}, int16_t{32767}}) {
    e.GetBiggestTile(layer, kMin, kMin, kMax, kMax, &w, &h);
    e.GetBiggestTile(layer, kMax, kMax, kMin, kMin, &w, &h);
    e.GetBiggestTile(layer, 0, 0, 0, 0, nullptr, nullptr);
  }
  e.GetBiggestTile(-1, 0, 0, 100, 100, &w, &h);
  EXPECT_EQ(w, 0);  // no such layer
  EXPECT_EQ(h, 0);

  const Plane cell(4 * 3, 200);
  Plane r(kN, 1), g(kN, 2), b(kN, 3);
  BordTile tile = rec->layers[0].tiles[0];
  for (int32_t v : {kMax, kMin}) {
    tile.blendMode = v;
    tile.opacity = v;
    for (int32_t k : {0, 1, 2}) {
      tile.maskKind = k;
      // Cells placed at the ends of the range, of no size and of a negative one.
      e.MergeCell(4, 3, cell.data(), cell.data(), cell.data(), cell.data(), kW, kH, r.data(),
                  g.data(), b.data(), kMax - 1, kMax - 1, kMax, kMax, &tile);
      e.MergeCell(4, 3, cell.data(), cell.data(), cell.data(), cell.data(), kW, kH, r.data(),
                  g.data(), b.data(), kMin, kMin, kMax, kMax, &tile);
      e.MergeCell(0, 0, cell.data(), cell.data(), cell.data(), cell.data(), kW, kH, r.data(),
                  g.data(), b.data(), 0, 0, kW, kH, &tile);
      e.MergeCell(-4, -3, cell.data(), cell.data(), cell.data(), cell.data(), kW, kH, r.data(),
                  g.data(), b.data(), 2, 2, kW, kH, &tile);
    }
  }
  EXPECT_EQ(r, Plane(kN, 1));  // every cell fell outside the planes or had no size
  // A cell inside, at an opacity past 100 %: held to a full merge.
  tile.blendMode = 0;
  tile.maskKind = 0;
  tile.opacity = 400;
  e.MergeCell(4, 3, cell.data(), cell.data(), cell.data(), cell.data(), kW, kH, r.data(),
              g.data(), b.data(), 1, 1, 5, 4, &tile);
  EXPECT_EQ(r[1 * kW + 1], 200);
  EXPECT_EQ(r[3 * kW + 4], 200);
  EXPECT_EQ(r[3 * kW + 5], 1);

  Plane t0(kN, 5), t1(kN, 5), t2(kN, 5), t3(kN, 5);
  EXPECT_EQ(e.LoadTileBuf(nullptr, 0, 0, 1000, 1000, kW, kH, t0.data(), t1.data(), t2.data(),
                          t3.data()),
            -1);
  EXPECT_EQ(t0, Plane(kN, 5));
}

TEST_F(EngineHelpers, ScreenCellsAndGreyAtTheLimits) {
  MiscScreen e;
  auto rec = std::make_unique<ScreenPar>();
  Init_ScreenPar(rec.get(), 0);
  e.SetScreenPar(rec.get());
  const Plane r(kN, 30), g(kN, 60), b(kN, 90);
  int32_t gray = -7;
  EXPECT_EQ(e.AverageGray(kW, kH, r.data(), g.data(), b.data(), kMin, kMin, kMax, kMax, 0, 0,
                          &gray),
            0);
  EXPECT_EQ(gray, 60);
  gray = -7;
  EXPECT_EQ(e.AverageGray(kW, kH, r.data(), g.data(), b.data(), kMax, kMax, kMin, kMin, kMax,
                          kMin, &gray),
            0);
  EXPECT_EQ(gray, -7);  // an empty block leaves it
  EXPECT_EQ(e.AverageGray(kW, kH, nullptr, g.data(), b.data(), 0, 0, kW, kH, 0, 0, &gray), -1);

  for (int32_t cell : {kMin, -1, 0, 1, kMax}) {
    EXPECT_EQ(e.PrepQuscr(kW, kH, r.data(), g.data(), b.data(), cell, cell, kMax, kMin), 0);
    EXPECT_EQ(e.PrepQuscr(0, kH, r.data(), g.data(), b.data(), cell, cell, 0, 0), 0);
  }
  // One cell per pixel for every cell size held to 1, one cell for the largest.
  const int32_t made = 4 * kN + 1;
  EXPECT_EQ(e.count(), made);
  for (int16_t k : {int16_t{-32768}, int16_t{-1}, int16_t{0}, int16_t{32767}}) {
    if (k != 0 && k != -1) {
      EXPECT_EQ(e.GetQuscr(k), nullptr);
    }
    e.AddQuscr(k, new Quscr);
    e.AddQuscr(k, nullptr);
  }
  EXPECT_EQ(e.count(), made + 4);
  for (int16_t k : {int16_t{-32768}, int16_t{-1}, int16_t{0}, int16_t{32767}}) e.DeleteQuscr(k);
  EXPECT_EQ(e.count(), made + 4);
  e.DeleteQuscr(static_cast<int16_t>(made + 4));
  EXPECT_EQ(e.count(), made + 3);
  e.DeleteAllQuscr();
  EXPECT_EQ(e.count(), 0);
  EXPECT_EQ(e.GetQuscr(1), nullptr);
}

TEST_F(EngineHelpers, TessellationQuadsOfAbsurdRectangles) {
  auto rec = std::make_unique<TessPar>();
  Init_TessPar(rec.get(), 0, 0, 1);
  rec->head.w[kTessSymmetry] = 7;
  Init_TessParQuad(rec.get(), 7, -1);
  MiscQuorlin e;
  e.SetTessPar(rec.get());
  // Rectangles inverted, empty or spanning more than the int range make no quads; the lists
  // are emptied each time.
  for (auto [l, t, r, b] : {std::array{kMin, kMin, kMax, kMax}, std::array{kMax, kMax, kMin, kMin},
                            std::array{5, 5, 5, 5}, std::array{0, 0, -40, -30}})
    e.PrepQuads(l, t, r, b);
  int32_t q[8];
  MiscQuorlin::BleedQuad(kMax, kMin, kMin, kMax, kMax, kMax, kMin, kMin, kMax, kMin, &q[0],
                         &q[1], &q[2], &q[3], &q[4], &q[5], &q[6], &q[7]);
  MiscQuorlin::BleedQuad(0, 0, 10, 0, 10, 10, 0, 10, 100, 100, &q[0], &q[1], &q[2], &q[3], &q[4],
                         &q[5], &q[6], &q[7]);
  EXPECT_EQ(q[4], 10);  // 100 % leaves the quad
  EXPECT_EQ(q[5], 10);
  Plane t(kN, 9);
  EXPECT_EQ(MiscQuorlin::LoadTileBuf(nullptr, 0, 0, 1000, 1000, kH, kW, t.data(), t.data(),
                                     t.data(), t.data()),
            -1);
  int32_t w = 0, h = 0;
  EXPECT_EQ(MiscQuorlin::TileBufSize(nullptr, &w, &h), -1);
  EXPECT_EQ(t, Plane(kN, 9));
}

TEST_F(EngineHelpers, RepeatPiecesAndColourCellsAtTheLimits) {
  auto rec = std::make_unique<RepPar>();
  Init_RepPar(rec.get(), 0, 4, 3);
  MiscCastel e;
  e.SetRepPar(rec.get());
  for (auto [w, h] : {std::pair{0, 0}, std::pair{-5, -5}, std::pair{kMax, kMax},
                      std::pair{kMin, kMax}}) {
    e.PrepareRepPat(w, h);
    e.DelRepPat();
    EXPECT_EQ(e.pieceCount, 0);
  }
  Plane p(kN, 0);
  const Rect wide{-32768, -32768, 32767, 32767};
  MiscCastel::PutColInBuf(kW, 0, p.data(), kW, kH, 1, wide, 0, 0);
  EXPECT_EQ(p, Plane(kN, 255));  // the whole plane, nothing past it
  // An area below the plane is clamped on to its last row.
  Plane below(kN, 0);
  MiscCastel::PutColInBuf(kW, 0, below.data(), kW, kH, 2, Rect{10, 2, 12, 4}, 0, 0);
  for (int32_t i = 0; i < kN; ++i)
    EXPECT_EQ(below[i], i / kW == kH - 1 && i % kW >= 2 && i % kW < 4 ? 255 : 0) << i;
  for (int16_t bad : {int16_t{-1}, int16_t{3}, int16_t{32767}})
    MiscCastel::PutColInBuf(kW, 0, p.data(), kW, kH, bad, wide, 1, 0);
  MiscCastel::PutColInBuf(kW, 0, p.data(), kW, kH, 0, wide, 1, -32768);
  MiscCastel::PutColInBuf(kW, 0, p.data(), 0, kH, 0, wide, 0, 0);
  EXPECT_EQ(p, Plane(kN, 255));
  Plane t(kN, 9);
  EXPECT_EQ(e.LoadTileBuf(1, nullptr, 0, kW, kH, t.data(), t.data(), t.data(), t.data()), -1);
  EXPECT_EQ(e.LoadTileBuf(7, nullptr, 0, kW, kH, t.data(), t.data(), t.data(), t.data()), -1);
  EXPECT_EQ(e.LoadTileBuf(1, nullptr, 0, kMin, kMax, t.data(), t.data(), t.data(), t.data()), -1);
  EXPECT_EQ(t, Plane(kN, 9));
}

TEST_F(EngineHelpers, DisplacementFileWithoutAFileOrASize) {
  Plane x(kN, 4), y(kN, 4);
  fichier none;
  EXPECT_EQ(LoadDisplaceFile(kW, kH, nullptr, 0, 0, x.data(), y.data()), -1);
  EXPECT_EQ(LoadDisplaceFile(kW, kH, &none, 0, 0, x.data(), y.data()), -1);
  EXPECT_EQ(LoadDisplaceFile(kMin, kMax, &none, 0, 0, x.data(), y.data()), -1);
  EXPECT_EQ(LoadDisplaceFile(kW, kH, &none, 0, 0, nullptr, y.data()), -1);
  EXPECT_EQ(x, Plane(kN, 4));
  EXPECT_EQ(y, Plane(kN, 4));
}

}  // namespace
