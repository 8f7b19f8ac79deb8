// The tessellation renderer: tiles per tile set warped into the effective quads and blended
// back, its tile files, and its engine row.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <set>
#include <vector>

#include "engines/families/effect_families.h"
#include "engines/tessellation/quad_lists.h"
#include "engines/tessellation/tessellation_render.h"
#include "script/engine_rows.h"
#include "script/script_file.h"
#include "platform/imageio/image_io.h"
#include "platform/parallel/parallel.h"
#include "support/plane_hash.h"
#include "support/session.h"

#include "engine_row_fixture.h"

namespace {

using Plane = std::vector<uint8_t>;
constexpr int32_t kW = 64, kH = 48, kN = kW * kH;

using vmktest::Fnv;

Plane Pattern(int seed) {
  Plane p(kN);
  for (int32_t i = 0; i < kN; ++i) p[i] = static_cast<uint8_t>((i % kW) * 3 + (i / kW) * seed);
  return p;
}

struct Rgb {
  Plane r = Pattern(1), g = Pattern(2), b = Pattern(5);
};

std::unique_ptr<TessPar> Record(int32_t type, int32_t tileSource) {
  auto r = std::make_unique<TessPar>();
  Init_TessPar(r.get(), 0, 0, 1);
  r->head.w[kTessSymmetry] = type;
  r->head.w[kTessTileSource] = tileSource;
  Init_TessParQuad(r.get(), static_cast<int16_t>(type), -1);
  return r;
}

int32_t Render(const TessPar& r, Rgb* p, int16_t apply = 1, int16_t mode = 0) {
  MiscQuorlin e;
  e.SetTessPar(&r);
  return e.FillBuf(3, mode, 255, 0, apply, kW, kH, 0, 0, kW, kH, kW, kH, 0, 0, kW, kH, 1.f, 1.f,
                   p->r.data(), p->g.data(), p->b.data(), nullptr, nullptr);
}

std::set<std::array<int, 3>> ColoursOf(const Rgb& p) {
  std::set<std::array<int, 3>> s;
  for (int32_t i = 0; i < kN; ++i) s.insert({p.r[i], p.g[i], p.b[i]});
  return s;
}

TEST(TessRender, FlatSetsDisabledSetsAndTheSelfBlend) {
  // Type 1, four flat tile sets: every pixel a quad reaches takes its set's colour.
  auto r = Record(1, 4);
  Rgb grey;
  grey.g = grey.b = grey.r;
  Rgb p = grey;
  EXPECT_EQ(Render(*r, &p), 0);
  const std::set<std::array<int, 3>> flat = {{128, 0, 0}, {128, 128, 0}, {0, 128, 0}, {0, 128, 128}};
  std::set<std::array<int, 3>> seen;
  int32_t drawn = 0;
  for (int32_t i = 0; i < kN; ++i) {
    const std::array<int, 3> c = {p.r[i], p.g[i], p.b[i]};
    if (flat.count(c) != 0) {
      seen.insert(c);
      ++drawn;
    } else {
      EXPECT_EQ(c, (std::array<int, 3>{grey.r[i], grey.r[i], grey.r[i]})) << i;
    }
  }
  EXPECT_EQ(seen, flat);
  EXPECT_GT(drawn, kN * 9 / 10);

  // A disabled set draws none of its quads; counts beyond twelve sets are held at twelve.
  r->sets[2].w[kTessEnabled] = 0;
  r->head.w[kTessSetsInUse] = 40;
  Rgb q = grey;
  Render(*r, &q);
  EXPECT_EQ(ColoursOf(q).count({0, 128, 0}), 0u);
  EXPECT_EQ(ColoursOf(q).count({128, 0, 0}), 1u);

  // Apply other than 1, or a blend mode with no case, leaves every pixel as it was.
  for (const auto& [apply, mode] : {std::pair<int16_t, int16_t>{0, 0}, {1, 40}}) {
    Rgb s = grey;
    EXPECT_EQ(Render(*r, &s, apply, mode), 0);
    EXPECT_EQ(s.r, grey.r);
    EXPECT_EQ(s.b, grey.b);
  }
}

TEST(TessRender, OnePlaneTakesTheGreyAverageAndMissingSetsDrawNothing) {
  auto r = Record(7, 4);  // eight tile sets
  Rgb three;
  three.g = three.b = three.r;
  const Plane start = three.r;
  Render(*r, &three);
  MiscQuorlin e;
  e.SetTessPar(r.get());
  Plane one = start;
  e.FillBuf(1, 0, 255, 0, 1, kW, kH, 0, 0, kW, kH, kW, kH, 0, 0, kW, kH, 1.f, 1.f, one.data(),
            nullptr, nullptr, nullptr, nullptr);
  for (int32_t i = 0; i < kN; ++i)
    ASSERT_EQ(one[i], (three.r[i] + three.g[i] + three.b[i]) / 3) << i;

  // Tile source 1 with four sets in use: the quads of sets 4..7 have no tile and are left.
  auto ramps = Record(7, 1);
  ramps->head.w[kTessSetsInUse] = 4;
  Rgb part;
  Render(*ramps, &part);
  int32_t kept = 0;
  const Rgb before;
  for (int32_t i = 0; i < kN; ++i) kept += part.r[i] == before.r[i] && part.g[i] == before.g[i];
  EXPECT_GT(kept, kN / 3);
  EXPECT_LT(kept, kN * 2 / 3);
}

TEST(TessRender, FlatSourceQuadTakesTheWholeTile) {
  // Ramp tiles (a gradient across each tile) show how the tile lies in its quad.
  auto r = Record(1, 1);
  for (LutVign& ramp : r->ramps)
    for (int i = 0; i < 256; ++i) {
      ramp.opacity[i] = 255;
      ramp.colour[0][i] = static_cast<uint8_t>(i);
      ramp.colour[1][i] = static_cast<uint8_t>(255 - i);
      ramp.colour[2][i] = 40;
    }
  Rgb whole;
  Render(*r, &whole);
  for (TessInfo& set : r->sets) std::fill(&set.w[kTessSourceX], &set.w[kTessSourceX + 4], 500);
  Rgb flat;
  Render(*r, &flat);
  EXPECT_EQ(flat.r, whole.r);
  EXPECT_EQ(flat.g, whole.g);
  for (TessInfo& set : r->sets) set.w[kTessSourceX + 2] = 1000;
  Rgb half;  // corner 2 out to the right: corners 0, 1 and 3 fold onto one tile edge
  Render(*r, &half);
  EXPECT_NE(half.r, whole.r);
}

TEST(TessRender, GoldenTypeSeventeenFromThePicture) {
  auto r = Record(17, 0);
  r->head.w[kTessSetsInUse] = 12;
  r->sets[5].w[kTessOffset] = 250;  // rolled further than a whole tile
  r->sets[6].w[kTessOffset + 1] = -130;
  r->sets[3].w[kTessColourShift] = 90;
  r->sets[8].w[kTessBleed] = 110;
  // The same picture on one thread as on many.
  for (const int threads : {1, 6}) {
    plat::SetThreadCount(threads);
    Rgb p;
    ASSERT_EQ(Render(*r, &p, 1, 3), 0);
    EXPECT_EQ(Fnv(p.b, Fnv(p.g, Fnv(p.r))), 2121553344u) << threads;
  }
  plat::SetThreadCount(0);
}

TEST(TessRender, AbsurdBleedIsHeldToTenTimes) {
  // A damaged record's bleed must not size tiles millions of pixels wide.
  auto held = Record(1, 0);
  auto absurd = Record(1, 0);
  held->sets[0].w[kTessBleed] = held->sets[0].w[kTessBleed + 1] = tessrender::kMaxBleedPercent;
  absurd->sets[0].w[kTessBleed] = INT32_MAX;
  absurd->sets[0].w[kTessBleed + 1] = INT32_MIN;
  held->sets[0].w[kTessBleed + 1] = -tessrender::kMaxBleedPercent;
  Rgb a, b;
  ASSERT_EQ(Render(*held, &a), 0);
  ASSERT_EQ(Render(*absurd, &b), 0);
  EXPECT_EQ(a.r, b.r);
  EXPECT_EQ(a.g, b.g);
  EXPECT_EQ(a.b, b.b);
}

// Stored corners count y upward from the bottom in thousandths; a corner at the end of the
// range is turned over in 64 bits and held to 32, not wrapped round.
TEST(TessRender, SourceCornersAtTheEndsOfTheirRangeTurnOverWithoutWrapping) {
  int32_t w[kTessInfoWords] = {};
  w[kTessBleed] = w[kTessBleed + 1] = 100;
  const int32_t xs[4] = {100, 900, 900, 100}, ys[4] = {100, 100, 800, 800};
  for (int k = 0; k < 4; ++k) w[kTessSourceX + k] = xs[k], w[kTessSourceY + k] = ys[k];
  int32_t box[4];
  tessrender::SourceBox(w, false, box);
  EXPECT_EQ(box[1], 200);  // 1000 - 800
  EXPECT_EQ(box[3], 900);
  w[kTessSourceY + 0] = w[kTessSourceY + 1] = INT32_MIN;  // the bottom corners far below
  tessrender::SourceBox(w, false, box);
  EXPECT_EQ(box[1], 200);
  EXPECT_GT(box[3], 1000000);  // far below still, not wrapped to far above
}

TEST(TessRender, NoWorkMemoryLeavesThePlanes) {
  auto r = Record(1, 4);
  Rgb p;
  const Rgb before;
  vmktest::NoWorkMemory none;
  EXPECT_EQ(Render(*r, &p), -1);
  EXPECT_EQ(p.r, before.r);
}

// A 20 x 10 picture without alpha, (200, 30, 60) with a darker red right half.
void WriteTile(const std::string& path) {
  std::vector<uint8_t> px(20 * 10 * 4);
  for (size_t i = 0; i < px.size(); i += 4) {
    px[i] = (i / 4) % 20 < 10 ? 200 : 10;
    px[i + 1] = 30;
    px[i + 2] = 60;
    px[i + 3] = 255;
  }
  plat::imageio::PixelSource s;
  s.base = px.data();
  s.rowBytes = 20 * 4;
  s.width = 20;
  s.height = 10;
  ASSERT_EQ(plat::imageio::WriteImage(path, plat::imageio::kTypeTIFF, {}, s), plat::imageio::kOk);
}

class TessTileFile : public vmktest::SessionTest {
 protected:
  vmktest::TempDir dir_;
};

TEST_F(TessTileFile, SizeAndTheBoxOfATileFile) {
  WriteTile(dir_.file("tile.tif"));
  fichier f;
  ASSERT_TRUE(SetFicFromPosix(&f, dir_.file("tile.tif")));
  int32_t w = 0, h = 0;
  EXPECT_EQ(MiscQuorlin::TileBufSize(&f, &w, &h), 0);
  EXPECT_EQ(w, 20);
  EXPECT_EQ(h, 10);

  // The left half only: every red sample is the left half's.
  Plane t[4] = {Plane(48, 7), Plane(48, 7), Plane(48, 7), Plane(48, 7)};
  EXPECT_EQ(MiscQuorlin::LoadTileBuf(&f, 0, 0, 450, 1000, 6, 8, t[0].data(), t[1].data(),
                                     t[2].data(), t[3].data()),
            0);
  // The filter may ring by a level at the box's edges.
  for (int i = 0; i < 48; ++i) {
    EXPECT_NEAR(t[0][i], 200, 1) << i;
    EXPECT_NEAR(t[1][i], 30, 1) << i;
    EXPECT_NEAR(t[3][i], 255, 1) << i;  // no alpha in the file: an opaque fourth plane
  }

  fichier missing;
  ASSERT_TRUE(SetFicFromPosix(&missing, dir_.file("none.tif")));
  Plane u = Plane(48, 7);
  EXPECT_EQ(MiscQuorlin::TileBufSize(&missing, &w, &h), -1);
  EXPECT_EQ(MiscQuorlin::LoadTileBuf(&missing, 0, 0, 1000, 1000, 6, 8, u.data(), u.data(),
                                     u.data(), u.data()),
            -1);
  EXPECT_EQ(u, Plane(48, 7));

  // Tile source 2 draws the file's colour into the quads.
  auto r = Record(1, 2);
  for (fichier& tile : r->tiles) Copy_FicStruct(&f, &tile);
  Rgb p;
  Render(*r, &p);
  int32_t tiled = 0;
  for (int32_t i = 0; i < kN; ++i) tiled += p.g[i] >= 29 && p.g[i] <= 30 && p.b[i] >= 59 && p.b[i] <= 60;
  EXPECT_GT(tiled, kN / 2);
}

// A tile file named for a set that enabled quads draw, gone: the render stops naming it and
// leaves the planes. Tile sources that read no file, the set turned off, or its reference
// naming nothing, the render goes on.
TEST_F(TessTileFile, ANamedTileFileThatCannotBeReadStopsTheRender) {
  WriteTile(dir_.file("tile.tif"));
  auto r = Record(1, 2);
  for (fichier& tile : r->tiles) ASSERT_TRUE(SetFicFromPosix(&tile, dir_.file("tile.tif")));
  ASSERT_TRUE(SetFicFromPosix(&r->tiles[0], dir_.file("gone.tif")));
  MiscQuorlin e;
  const auto render = [&](int32_t expected) {
    e.SetTessPar(r.get());
    Rgb p;
    EXPECT_EQ(e.FillBuf(3, 0, 255, 0, 1, kW, kH, 0, 0, kW, kH, kW, kH, 0, 0, kW, kH, 1.f, 1.f,
                        p.r.data(), p.g.data(), p.b.data(), nullptr, nullptr),
              expected);
    EXPECT_EQ(e.UnreadableFile(), expected == 0 ? "" : dir_.file("gone.tif"));
    return p.g == Rgb().g && p.r == Rgb().r;
  };
  for (int32_t source : {2, 3}) {
    r->head.w[kTessTileSource] = source;
    EXPECT_TRUE(render(-1)) << source;
  }
  for (int32_t source : {0, 1, 4}) {
    r->head.w[kTessTileSource] = source;
    EXPECT_FALSE(render(0)) << source;
  }
  r->head.w[kTessTileSource] = 2;
  r->sets[0].w[kTessEnabled] = 0;
  render(0);
  r->sets[0].w[kTessEnabled] = 1;
  r->tiles[0] = fichier{};
  render(0);
}

class TessRow : public vmktest::EngineRowTest<kW, kH> {};

TEST_F(TessRow, RendersTheDefaultRecordOnOnePlane) {
  ASSERT_NE(FindEngineRow(58), nullptr);
  Oprn* op = OnePlaneOperation(58);
  op->Mode = 0;
  op->Opa = 200;
  const Plane in = Pattern(3);
  std::memcpy(s_.ChannelPlane(9, 1), in.data(), kN);
  EXPECT_EQ(s_.PerformToEffect(op), 0);
  const uint8_t* got = s_.ChannelPlane(9, 0);

  auto r = std::make_unique<TessPar>();
  Init_TessPar(r.get(), 1, 1, 1);
  MiscQuorlin e;
  e.SetTessPar(r.get());
  Plane want = in;
  e.FillBuf(1, 0, 200, 0, 1, kW, kH, 0, 0, kW, kH, kW, kH, 0, 0, kW, kH, 1.f, 1.f, want.data(),
            nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(Plane(got, got + kN), want);
  EXPECT_NE(want, in);
}

}  // namespace
