// The twin tessellation engine: its own expansion of types 3 and 7, whole tiles, and what
// a fresh record draws.
#include "engines/tessellation/twin_tessellation_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

using Plane = std::vector<uint8_t>;
constexpr int32_t kW = 48, kH = 36, kN = kW * kH;

// A cell whose 24ths are whole pixels.
constexpr int32_t kX0 = 100, kY0 = 200, kE1x = 240, kE1y = 48, kE3x = -24, kE3y = 480;

template <class Q>
Q* Cell() {
  auto* q = new Q;
  const int32_t x[4] = {kX0, kX0 + kE1x, kX0 + kE1x + kE3x, kX0 + kE3x};
  const int32_t y[4] = {kY0, kY0 + kE1y, kY0 + kE1y + kE3y, kY0 + kE3y};
  std::copy(x, x + 4, q->x);
  std::copy(y, y + 4, q->y);
  return q;
}

// Corner k of copy q as cell fractions (a, b) in 24ths.
std::vector<int32_t> At(const QuadsH& q) {
  std::vector<int32_t> v;
  for (int k = 0; k < 4; ++k) {
    // Solve P0 + a E1 + b E3 = corner for whole 24ths.
    const int32_t dx = q.x[k] - kX0, dy = q.y[k] - kY0;
    const int32_t det = kE1x * kE3y - kE1y * kE3x;
    v.push_back(24 * (dx * kE3y - dy * kE3x) / det);
    v.push_back(24 * (kE1x * dy - kE1y * dx) / det);
  }
  return v;
}

TEST(TwinExpansion, TypesThreeAndSevenTurnTheirOwnCopies) {
  for (int16_t type = 1; type <= 17; ++type) {
    MiscPhotoHesch twin;
    MiscQuorlin main;
    twin.AddQuadHGeo(1, Cell<QuadsH>());
    main.AddQuadGeo(1, Cell<Quads>());
    twin.QuadHGeotoQuadHEff(type);
    main.QuadGeotoQuadEff(type);
    ASSERT_EQ(twin.effCount, main.effCount) << type;
    for (int32_t k = 1; k <= twin.effCount; ++k) {
      const QuadsH* t = twin.GetQuadHEff(k);
      const Quads* m = main.GetQuadEff(k);
      const bool own = (type == 3 && (k == 3 || k == 4)) || (type == 7 && (k == 5 || k == 6));
      if (own) continue;
      EXPECT_TRUE(std::equal(t->x, t->x + 4, m->x) && std::equal(t->y, t->y + 4, m->y))
          << type << " " << k;
      EXPECT_EQ(t->tile, m->tile);
    }
  }
  MiscPhotoHesch t3, t7;
  t3.AddQuadHGeo(1, Cell<QuadsH>());
  t7.AddQuadHGeo(1, Cell<QuadsH>());
  t3.QuadHGeotoQuadHEff(3);
  t7.QuadHGeotoQuadHEff(7);
  EXPECT_EQ(At(*t3.GetQuadHEff(3)), (std::vector<int32_t>{12, 12, 24, 12, 24, 24, 12, 24}));
  EXPECT_EQ(At(*t3.GetQuadHEff(4)), (std::vector<int32_t>{12, 12, 0, 12, 0, 24, 12, 24}));
  EXPECT_EQ(t3.GetQuadHEff(4)->tile, 3);
  EXPECT_EQ(t3.GetQuadHEff(4)->tag, 1);
  EXPECT_EQ(At(*t7.GetQuadHEff(5)), (std::vector<int32_t>{6, 24, 0, 24, 0, 12, 6, 12}));
  EXPECT_EQ(At(*t7.GetQuadHEff(6)), (std::vector<int32_t>{6, 24, 12, 24, 12, 12, 6, 12}));
  EXPECT_EQ(t7.GetQuadHEff(6)->tile, 5);
  EXPECT_EQ(t7.GetQuadHEff(6)->tag, 0);
}

struct Rgb {
  Plane r = Plane(kN, 90), g = Plane(kN, 140), b = Plane(kN, 30);
};

int32_t Render(const HeschPar& par, Rgb* p, int16_t source = 0) {
  MiscPhotoHesch e;
  e.SetHeschPar(&par);
  return e.FillBuf(3, 0, 255, source, kW, kH, 0, 0, kW, kH, p->r.data(), p->g.data(),
                   p->b.data(), nullptr, nullptr);
}

TEST(TwinRender, FreshRecordWholeTilesAndUnloadedFiles) {
  auto r = std::make_unique<HeschPar>();
  Init_HeschPar(r.get(), 1, 1, 1);
  Rgb p;
  EXPECT_EQ(Render(*r, &p), 0);  // no symmetry type: no quad, nothing drawn
  EXPECT_EQ(p.r, Rgb().r);

  // Ramp tiles: the source quad plays no part in where the tile lies.
  r->head.w[kTessSymmetry] = 1;
  r->head.w[kTessTileSource] = 1;
  for (LutVign& ramp : r->ramps)
    for (int i = 0; i < 256; ++i) {
      ramp.opacity[i] = 255;
      ramp.colour[0][i] = static_cast<uint8_t>(i);
    }
  Rgb whole, bent;
  Render(*r, &whole);
  for (HeschInfo& set : r->sets) set.w[kTessSourceX + 2] = 300;
  Render(*r, &bent);
  EXPECT_EQ(bent.r, whole.r);
  EXPECT_NE(whole.r, Rgb().r);

  // Tile files are never loaded, and the picture is a tile only when it was the source:
  // their planes are cleared, so the quads draw black.
  for (const auto& [tileSource, source] : {std::pair<int32_t, int16_t>{2, 0}, {0, 1}}) {
    r->head.w[kTessTileSource] = tileSource;
    Rgb q;
    Render(*r, &q, source);
    int32_t black = 0;
    for (int32_t i = 0; i < kN; ++i) black += q.r[i] == 0 && q.g[i] == 0 && q.b[i] == 0;
    EXPECT_GT(black, kN * 9 / 10) << tileSource;
  }
}

}  // namespace
