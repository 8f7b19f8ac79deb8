// The border engine: where a layer's cells fall, the random draws they take, the tile
// weights, the blend back, the limits of the record and one kept picture.
#include "engines/patterns/border_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "app/core/colour_spaces.h"
#include "engines/families/effect_families.h"
#include "platform/parallel/parallel.h"
#include "platform/parallel/progress.h"
#include "platform/random/random.h"
#include "raster/plane_copy.h"
#include "script/engine_rows.h"
#include "support/session.h"
#include "tile_pictures.h"

namespace {

using Planes = std::vector<std::vector<uint8_t>>;

// Counts the draws of the shared generator while it lives.
struct CountingRandom {
  static inline int32_t draws = 0;
  CountingRandom() {
    draws = 0;
    plat::SetRandomFunctions(
        [] {
          ++draws;
          return int32_t{12345};
        },
        [](uint32_t) {});
  }
  ~CountingRandom() { plat::SetRandomFunctions(nullptr, nullptr); }
};

// A flat 200 x 200 tile of v merged opaquely over black in a cell of w x h: the filtered
// resampling need not keep a flat tile flat, and resamples the opaque alpha alike.
std::vector<uint8_t> Merged(int32_t v, int32_t w, int32_t h) {
  const auto resampled = [&](int32_t value) {
    std::vector<uint8_t> tile(200 * 200, static_cast<uint8_t>(value)), cell(w * h);
    BufToBufChar_andR(0, 200, 200, tile.data(), w, h, cell.data(), 0, 0, 200, 200, 0, 0, w, h);
    return cell;
  };
  std::vector<uint8_t> out = resampled(v);
  const std::vector<uint8_t> alpha = resampled(255);
  for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<uint8_t>(alpha[i] * out[i] / 255);
  return out;
}

// Ramp k is one opaque colour: red 10 k + 10, green 200 - k, blue 3 k.
uint8_t Red(int32_t k) { return static_cast<uint8_t>(10 * k + 10); }

class Border : public vmktest::SessionTest {
 protected:
  void SetUp() override {
    rec = std::make_unique<BordPar>();
    Init_BordPar(rec.get(), 1000, 800, 0, 1, 1, 0);
    for (int32_t k = 0; k < 12; ++k) {
      LutVign& r = Layer().ramps[k];
      for (int32_t i = 0; i < 256; ++i) {
        r.opacity[i] = 255;
        r.colour[0][i] = Red(k);
        r.colour[1][i] = static_cast<uint8_t>(200 - k);
        r.colour[2][i] = static_cast<uint8_t>(3 * k);
      }
    }
  }
  BordLay& Layer(int32_t i = 0) { return rec->layers[i]; }
  BordTile& Tile(int32_t s, int32_t k) { return Layer().tiles[4 + 64 * s + k]; }

  int32_t Render(Planes& p, int16_t n, int16_t mode = 0, int16_t opacity = 255,
                 int16_t apply = 1, const uint8_t* mask = nullptr) {
    MiscBord e;
    e.SetBordPar(rec.get());
    const int32_t w = width, h = height;
    return e.FillBuf(n, mode, opacity, 0, apply, w, h, 0, 0, w, h, w, h, 0, 0, w, h, 1.0f, 1.0f,
                     p[0].data(), n == 1 ? nullptr : p[1].data(), n == 1 ? nullptr : p[2].data(),
                     nullptr, mask);
  }
  Planes Picture(uint8_t v = 0) const {
    return Planes(3, std::vector<uint8_t>(static_cast<size_t>(width) * height, v));
  }

  std::unique_ptr<BordPar> rec;
  int32_t width = 1000, height = 800;
};

TEST_F(Border, DefaultLayoutOfCornersAndSideCells) {
  // Straight tiles: corners unturned, side cells turned back by their side's offset.
  for (int32_t i = 0; i < 4; ++i) {
    Layer().tiles[i].angle = 0;
    Layer().tiles[i].mirror = 0;
    Layer().tiles[i].image = i;
  }
  const int32_t offset[2] = {180, 270};
  for (int32_t s = 0; s < 2; ++s)
    for (int32_t k = 0; k < 4; ++k) {
      Tile(s, k).angle = -offset[s];
      Tile(s, k).image = 4 + 4 * s + k;
    }
  Layer().info.sideOn[2] = Layer().info.sideOn[3] = 0;
  Planes p = Picture();
  ASSERT_EQ(Render(p, 3), 0);

  // The cell covering (x, y): its tile image, first column and row, width and height.
  struct Cell {
    int32_t k = -1, x0 = 0, y0 = 0, w = 0, h = 0;
  };
  const auto owner = [](int32_t x, int32_t y) -> Cell {
    if (x < 100 && y < 80) return {1, 0, 0, 100, 80};
    if (x < 100 && y >= 720) return {0, 0, 720, 100, 80};
    if (x >= 900 && y < 80) return {2, 900, 0, 100, 80};
    if (x >= 900 && y >= 720) return {3, 900, 720, 100, 80};
    if (x < 100) return {4 + (y - 80) / 160, 0, 80 + (y - 80) / 160 * 160, 100, 160};
    if (y < 80) return {8 + (899 - x) / 200, 700 - (899 - x) / 200 * 200, 0, 200, 80};
    return {};
  };
  std::vector<uint8_t> red[12], blue[12];
  for (int32_t k = 0; k < 12; ++k) {
    const int32_t w = k >= 8 ? 200 : 100, h = k >= 8 || k < 4 ? 80 : 160;
    red[k] = Merged(Red(k), w, h);
    blue[k] = Merged(3 * k, w, h);
  }
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      const Cell c = owner(x, y);
      const size_t i = static_cast<size_t>(y) * width + x;
      const size_t t = static_cast<size_t>(y - c.y0) * c.w + (x - c.x0);
      ASSERT_EQ(p[0][i], c.k < 0 ? 0 : red[c.k][t]) << x << "," << y;
      ASSERT_EQ(p[2][i], c.k < 0 ? 0 : blue[c.k][t]) << x << "," << y;
    }

  MiscBord e;
  e.SetBordPar(rec.get());
  int32_t a = 0, b = 0;
  e.GetBiggestTile(0, 0, 0, 1000, 800, &a, &b);
  EXPECT_EQ(a, 200);  // twice the corner width and the side thickness
  EXPECT_EQ(b, 160);
}

TEST_F(Border, DrawsTwiceForEachDrawnCellAndRendersTheSameTwice) {
  width = 120;
  height = 90;
  Tile(0, 1).angleJitter = 30;
  Tile(1, 2).scaleJitter = 20;
  {
    CountingRandom counting;
    Planes p = Picture(40);
    Render(p, 3);
    EXPECT_EQ(CountingRandom::draws, 2 * (4 + 16));
    Tile(0, 0).enabled = 2;  // only 1 counts
    Layer().info.cells[3] = 0;
    Planes q = Picture(40);
    Render(q, 3);
    EXPECT_EQ(CountingRandom::draws, 40 + 2 * (4 + 16 - 1 - 4));
    // The cell of the tile not drawn keeps the picture (side 0, cell 1: rows 9..26).
    EXPECT_EQ(q[0][15 * 120 + 5], 40);
    EXPECT_NE(p[0][15 * 120 + 5], 40);
  }
  Tile(0, 0).enabled = 1;
  Layer().info.cells[3] = 4;
  Planes a = Picture(40), b = Picture(40);
  Render(a, 3);
  Render(b, 3);
  EXPECT_EQ(a, b);
}

// The drawing reports its cells drawn of all cells (4 corners and 4 x 4 side cells, one side
// cell off): a rise for every cell, the loops inside a cell adding none of their own, then the
// blend back ends the render at the whole.
TEST_F(Border, EachCellDrawnIsReported) {
  width = 240;
  height = 180;
  Tile(2, 1).enabled = 2;
  for (const int threads : {1, 8}) {
    plat::SetThreadCount(threads);
    plat::ProgressMeter meter;
    std::vector<int32_t> reports;
    meter.SetObserver([&](int32_t parts) { reports.push_back(parts); });
    Planes p = Picture(40);
    {
      const plat::ProgressScope scope(&meter);
      ASSERT_EQ(Render(p, 3), 0);
    }
    ASSERT_EQ(reports.size(), 19u + 1u) << threads;  // the last one the blend back's
    for (size_t i = 0; i + 1 < reports.size(); ++i)
      EXPECT_EQ(reports[i], static_cast<int32_t>(950000 * (static_cast<double>(i + 1) / 19)))
          << i << " threads " << threads;
    EXPECT_EQ(reports.back(), plat::ProgressMeter::kWhole);
  }
  plat::SetThreadCount(0);
}

TEST_F(Border, OnePlaneTakesTheMeanOfTheMergedColours) {
  width = 60;
  height = 50;
  Planes three = Picture(90), one = Picture(90);
  Render(three, 3);
  Render(one, 1);
  for (size_t i = 0; i < one[0].size(); ++i)
    ASSERT_EQ(one[0][i], (three[0][i] + three[1][i] + three[2][i]) / 3) << i;
  EXPECT_EQ(one[1], Picture(90)[1]);
}

TEST_F(Border, TileWeights) {
  MiscBord e;
  BordTile t;
  Init_BordTile(&t, 0);
  const uint8_t red[4] = {200, 200, 200, 200}, alpha[4] = {255, 0, 128, 255};
  const auto merge = [&](int32_t kind, int32_t opacity, int32_t x1) {
    t.maskKind = kind;
    t.opacity = opacity;
    std::vector<uint8_t> w(3 * 3, 0), g(w), b(w);
    // A 2 x 2 cell handed a rectangle reaching past it and past the plane.
    e.MergeCell(2, 2, red, red, red, alpha, 3, 3, w.data(), g.data(), b.data(), 1, 1, x1, 9, &t);
    EXPECT_EQ(w, b);
    return w;
  };
  // Constant weights round in double: 90 gives 229, 10 gives 26.
  EXPECT_EQ(merge(0, 90, 3)[4], 200 * 229 / 255);
  EXPECT_EQ(merge(0, 10, 3)[4], 200 * 26 / 255);
  const std::vector<uint8_t> alphaWeighted = merge(1, 50, 9);
  EXPECT_EQ(alphaWeighted[4], 200 * (255 * 50 / 100) / 255);
  EXPECT_EQ(alphaWeighted[5], 0);
  EXPECT_EQ(alphaWeighted[7], 200 * (128 * 50 / 100) / 255);
  EXPECT_EQ(merge(2, 100, 3)[5], 200);  // inverted alpha
  EXPECT_EQ(merge(3, 100, 3), std::vector<uint8_t>(9, 0));
  EXPECT_EQ(merge(0, 400, 3)[4], 200);  // held at full weight
}

// A cell's merge in bands of rows, the first mode's mix in 16-bit lanes: every kind of
// weight, blend modes with and without a case, opacities in and out of 0..100, cells inside
// the plane and hanging off its corners, odd and tall sizes, at one, three and eight threads,
// the bytes of the pixel-by-pixel merge.
TEST_F(Border, CellMergeIsThePixelWalk) {
  struct Size {
    int32_t w, h;
  };
  const int32_t cw = 37, ch = 23;
  std::vector<uint8_t> tile[4];
  for (int32_t k = 0; k < 4; ++k) {
    tile[k].resize(static_cast<size_t>(cw) * ch);
    for (size_t i = 0; i < tile[k].size(); ++i) tile[k][i] = static_cast<uint8_t>(i * (31 + 10 * k) + 3 * k);
  }
  BordTile t;
  Init_BordTile(&t, 0);
  for (const Size size : {Size{1, 1}, Size{17, 3}, Size{2049, 5}, Size{5, 301}, Size{60, 40}}) {
    const size_t n = static_cast<size_t>(size.w) * size.h;
    Planes start(3, std::vector<uint8_t>(n));
    for (int32_t k = 0; k < 3; ++k)
      for (size_t i = 0; i < n; ++i) start[k][i] = static_cast<uint8_t>(i * 13 + 70 * k);
    for (const auto& [x0, y0] : {std::pair{-5, -4}, std::pair{3, 2}, std::pair{size.w - 10, size.h - 7}}) {
      for (int32_t kind : {0, 1, 2}) {
        for (int32_t opacity : {100, 37, 0, 180, -20}) {
          for (int32_t blendMode : {0, 3, 9, 40}) {
            t.maskKind = kind;
            t.opacity = opacity;
            t.blendMode = blendMode;
            const int32_t x1 = x0 + cw + 4, y1 = y0 + ch - 2;
            Planes want = start;
            const auto constant = static_cast<int32_t>(std::clamp(opacity * 2.55 + 0.5, 0.0, 255.0));
            for (int32_t y = std::max(y0, 0); y < std::min({y1, size.h, y0 + ch}); ++y)
              for (int32_t x = std::max(x0, 0); x < std::min({x1, size.w, x0 + cw}); ++x) {
                const size_t i = static_cast<size_t>(y) * size.w + x;
                const size_t c = static_cast<size_t>(y - y0) * cw + (x - x0);
                int64_t a = constant;
                if (kind == 1) a = int64_t{tile[3][c]} * opacity / 100;
                if (kind == 2) a = int64_t{255 - tile[3][c]} * opacity / 100;
                const auto wt = static_cast<int32_t>(std::clamp<int64_t>(a, 0, 255));
                for (int32_t k = 0; k < 3; ++k) {
                  unsigned char out = want[k][i];
                  X_optionRPart(&out, static_cast<uint32_t>(blendMode + 1), want[k][i], tile[k][c]);
                  want[k][i] = static_cast<uint8_t>(((255 - wt) * want[k][i] + wt * out) / 255);
                }
              }
            for (int threads : {1, 3, 8}) {
              plat::SetThreadCount(threads);
              Planes got = start;
              MiscBord e;
              e.MergeCell(cw, ch, tile[0].data(), tile[1].data(), tile[2].data(), tile[3].data(),
                          size.w, size.h, got[0].data(), got[1].data(), got[2].data(), x0, y0, x1,
                          y1, &t);
              plat::SetThreadCount(0);
              ASSERT_EQ(got, want) << size.w << "x" << size.h << " at " << x0 << "," << y0
                                   << " kind " << kind << " opacity " << opacity << " mode "
                                   << blendMode << " threads " << threads;
            }
          }
        }
      }
    }
  }
}

TEST_F(Border, LimitsOfTheRecord) {
  width = 80;
  height = 60;
  {
    CountingRandom counting;
    Layer().info.cells[0] = 1000;  // 64 at most
    rec->head.layerCount = 900;    // 128 at most; the other layers are shown too
    for (int32_t L = 1; L < 128; ++L) Layer(L).info.shown = 0;
    Planes p = Picture(7);
    EXPECT_EQ(Render(p, 3), 0);
    EXPECT_EQ(CountingRandom::draws, 2 * (4 + 64 + 12));
  }
  Layer().info.cells[0] = 4;
  // Insets and thicknesses pushing cells off the planes are clipped.
  Layer().info.inset[2] = -400;
  Layer().info.thickness[3] = 900;
  Layer().info.cornerInset[3] = 2000;
  Planes p = Picture(7);
  EXPECT_EQ(Render(p, 3), 0);
  // A side thicker than any memory: refused, nothing blended.
  Layer().info.thickness[0] = 2000000000;
  Planes absurd = Picture(7);
  EXPECT_EQ(Render(absurd, 3, 3), -1);
  EXPECT_EQ(absurd, Picture(7));
  Layer().info.thickness[0] = 20;
  {
    // A corner of no width takes its draws and merges nothing.
    CountingRandom counting;
    Layer().info.cornerWidth[0] = 0;
    Planes q = Picture(7);
    EXPECT_EQ(Render(q, 3), 0);
    EXPECT_EQ(CountingRandom::draws, 40);
    Layer().info.cornerWidth[0] = 20;
  }
  {
    // No tile images for an unknown kind: the draws, and nothing merged.
    CountingRandom counting;
    Layer().info.kind = 5;
    Planes q = Picture(7);
    EXPECT_EQ(Render(q, 3), 0);
    EXPECT_EQ(CountingRandom::draws, 40);
    EXPECT_EQ(q, Picture(7));
  }
  rec->head.layerCount = 0;
  Planes none = Picture(7);
  Render(none, 3, 3, 200);
  unsigned char self = 0;
  X_optionRPart(&self, 4, 7, 7);
  EXPECT_EQ(none[1][0], ((255 - 200) * 7 + 200 * self) / 255);
}

TEST_F(Border, ApplyZeroAndRefusedMemory) {
  width = 40;
  height = 30;
  Planes p = Picture(100);
  Render(p, 3, 0, 255, 0);
  EXPECT_EQ(p, Picture(100));
  vmktest::NoWorkMemory refused;
  Planes q = Picture(100);
  EXPECT_EQ(Render(q, 3), -1);
  EXPECT_EQ(q, Picture(100));
}

TEST_F(Border, ATileFileWithoutAlphaMergesFully) {
  vmktest::TempDir dir;
  const fichier tile = vmktest::SolidPicture(dir.file("tile.png"), 16, 16, 50, 100, 150);
  width = 100;
  height = 80;
  Init_BordPar(rec.get(), width, height, 0, 1, 1, 1);
  for (fichier& f : Layer().files) f = tile;
  Planes p = Picture(0);
  ASSERT_EQ(Render(p, 3), 0);
  // The middle of side 0's second cell: a turned square tile still covers its middle.
  const size_t i = 30 * 100 + 5;
  EXPECT_EQ(p[0][i], 50);
  EXPECT_EQ(p[1][i], 100);
  EXPECT_EQ(p[2][i], 150);
  // A tile that cannot be read is an empty, transparent one.
  Layer().files[0] = fichier{};
  SetFicFromPosix(&Layer().files[0], dir.file("missing.png"));
  MiscBord e;
  std::vector<uint8_t> r(4, 9), g(r), b(r), a(r);
  EXPECT_EQ(e.LoadTileBuf(&Layer().files[0], 0, 0, 1000, 1000, 2, 2, r.data(), g.data(), b.data(),
                          a.data()),
            -1);
  EXPECT_EQ(a, std::vector<uint8_t>(4, 9));
}

// A picture named for a tile image that a drawn cell (side or corner) needs, gone: the render
// stops naming it and leaves the planes. One only an unused image names, a slot naming nothing
// or a cell turned off stops nothing, and the border is as with its pictures there.
TEST_F(Border, ANamedTilePictureThatCannotBeReadStopsTheRender) {
  vmktest::TempDir dir;
  width = 100;
  height = 80;
  Init_BordPar(rec.get(), width, height, 0, 1, 1, 1);
  for (fichier& f : Layer().files) f = vmktest::SolidPicture(dir.file("tile.png"), 16, 16, 50, 100, 150);
  for (BordTile& t : Layer().tiles) t.image = 0;
  Planes with = Picture(9);
  ASSERT_EQ(Render(with, 3), 0);
  ASSERT_TRUE(SetFicFromPosix(&Layer().files[3], dir.file("gone.png")));
  Layer().files[7] = fichier{};
  MiscBord e;
  const auto render = [&](int32_t expected) {
    e.SetBordPar(rec.get());
    Planes p = Picture(9);
    EXPECT_EQ(e.FillBuf(3, 0, 255, 0, 1, width, height, 0, 0, width, height, width, height, 0, 0,
                        width, height, 1.0f, 1.0f, p[0].data(), p[1].data(), p[2].data(), nullptr,
                        nullptr),
              expected);
    EXPECT_EQ(e.UnreadableFile(), expected == 0 ? "" : dir.file("gone.png"));
    return p;
  };
  EXPECT_EQ(render(0), with);
  Tile(2, 1).image = Layer().tiles[2].image = 3;
  EXPECT_EQ(render(-1), Picture(9));
  Layer().info.cornerOn[2] = 0;
  EXPECT_EQ(render(-1), Picture(9));
  Tile(2, 1).enabled = 0;
  EXPECT_NE(render(0), Picture(9));
}

// Cells made once and merged again (a side of equal cells) and tile files read once against every
// cell made and file read on its own, on one thread and on many: two layers, image tiles of
// pictures with detail and ramps, corners
// that differ only by their mirror, side cells that differ only by hue, mask, scale, image or
// size, and jittered cells among equal ones.
TEST_F(Border, SharedCellsAreTheCellsMadeOneByOne) {
  vmktest::TempDir dir;
  const std::string path = dir.file("tile.png");
  vmktest::WritePicture(path, plat::imageio::kTypePNG, 40, 30, [](uint32_t x, uint32_t y, int c) {
    return static_cast<uint8_t>((x * 7 + y * 13 + c * 50) % 256);
  });
  width = 300;
  height = 240;
  rec->head.layerCount = 2;
  Init_BordLay(&Layer(1), 0, 1, 1, 1);
  Layer(1).info.shown = 1;
  // Image 1 from a second picture, every other image (read once) from the first.
  const std::string other = dir.file("other.png");
  vmktest::WritePicture(other, plat::imageio::kTypePNG, 30, 30, [](uint32_t x, uint32_t y, int c) {
    return static_cast<uint8_t>((x * 31 + y * 3 + c * 90) % 256);
  });
  for (fichier& f : Layer(1).files) ASSERT_TRUE(SetFicFromPosix(&f, path));
  ASSERT_TRUE(SetFicFromPosix(&Layer(1).files[1], other));
  for (int32_t L = 0; L < 2; ++L) {
    BordLay& layer = Layer(L);
    for (int32_t s = 0; s < 4; ++s) layer.info.cells[s] = 40 + 7 * s;
    for (int32_t i = 0; i < 4; ++i) {
      layer.tiles[i].angle = 0;
      layer.tiles[i].mirror = i % 3;
    }
    for (int32_t k = 0; k < 64 * 4; ++k) {
      BordTile& t = layer.tiles[4 + k];
      t.image = k % 5 == 0 ? 1 : k % 7 == 0 ? 2 : 0;
      if (k % 11 == 0) t.hue = 40;
      if (k % 13 == 0) t.maskKind = 2;
      if (k % 17 == 0) t.scale = 80;
      if (k % 19 == 0) t.angleJitter = 25;
    }
  }
  Planes picture(3, std::vector<uint8_t>(static_cast<size_t>(width) * height));
  for (int32_t k = 0; k < 3; ++k)
    for (size_t i = 0; i < picture[k].size(); ++i) picture[k][i] = static_cast<uint8_t>(i * (k + 5) / 9);
  const auto render = [&](bool reuse, int threads) {
    SetBorderCellReuse(reuse);
    plat::SetThreadCount(threads);
    Planes p = picture;
    EXPECT_EQ(Render(p, 3), 0);
    plat::SetThreadCount(0);
    SetBorderCellReuse(true);
    return p;
  };
  const Planes plain = render(false, 1);
  EXPECT_NE(plain, picture);
  EXPECT_EQ(render(true, 1), plain);
  EXPECT_EQ(render(true, 8), plain);
  EXPECT_EQ(render(true, 0), plain);
  EXPECT_EQ(render(false, 8), plain);
}

TEST_F(Border, KeptPictureAndEngineRow) {
  width = 96;
  height = 72;
  Init_BordPar(rec.get(), width, height, 0, 1, 1, 0);
  Tile(0, 1).angleJitter = 40;
  Tile(1, 0).scaleJitter = 30;
  Tile(2, 2).hue = 60;
  Tile(3, 3).maskKind = 0;
  Tile(3, 3).opacity = 60;
  Tile(3, 3).blendMode = 3;
  Planes p(3, std::vector<uint8_t>(static_cast<size_t>(width) * height));
  for (int32_t k = 0; k < 3; ++k)
    for (size_t i = 0; i < p[k].size(); ++i) p[k][i] = static_cast<uint8_t>(i * (k + 3) / 7);
  const Planes picture = p;
  ASSERT_EQ(Render(p, 3), 0);
  EXPECT_EQ(vmktest::PlanesHash(p), 9631455497021015526ull);
  // The same bytes on one thread.
  Planes one = picture;
  plat::SetThreadCount(1);
  Render(one, 3);
  plat::SetThreadCount(0);
  EXPECT_EQ(one, p);

  // Row 106 renders the operation's record over the area, as FillBuf does.
  RegisterEffectFamilies();
  ASSERT_EQ(FindEngineRow(106), &RunBordRow);
  Planes row = picture;
  EngineRowCall c;
  c.record = rec.get();
  c.n = 3;
  c.w = c.aw = width;
  c.h = c.ah = height;
  for (int32_t k = 0; k < 3; ++k) c.planes[k] = row[k].data();
  RunBordRow(c);
  EXPECT_EQ(row, p);
}

}  // namespace
