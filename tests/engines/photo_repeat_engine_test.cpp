// The photo-repeat engine: its pieces and wraps, the tile merge, colour cells, the repeat
// counts, its tile file and its engine row.
#include "engines/tessellation/photo_repeat_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <memory>
#include <utility>
#include <vector>

#include "app/core/colour_spaces.h"
#include "engines/families/effect_families.h"
#include "platform/imageio/image_io.h"
#include "platform/parallel/parallel.h"
#include "raster/plane_copy.h"
#include "script/engine_rows.h"
#include "script/script_file.h"
#include "support/plane_hash.h"
#include "support/session.h"

namespace {

using Plane = std::vector<uint8_t>;
using Box = std::array<int, 4>;  // top, left, bottom, right
constexpr int32_t kW = 64, kH = 48, kN = kW * kH;

using vmktest::Fnv;

Plane Pattern(int seed) {
  Plane p(kN);
  for (int32_t i = 0; i < kN; ++i) p[i] = static_cast<uint8_t>((i % kW) * 3 + (i / kW) * seed);
  return p;
}

Box BoxOf(const Rect& r) { return {r.top, r.left, r.bottom, r.right}; }

std::vector<Box> Destinations(const MiscCastel& e) {
  std::vector<Box> v;
  const TRepPat* p = e.head;
  for (int32_t k = 0; k < e.pieceCount; ++k, p = p->next) v.push_back(BoxOf(p->destination));
  return v;
}

std::unique_ptr<RepPar> Grid(int16_t columns, int16_t rows) {
  auto r = std::make_unique<RepPar>();
  Init_RepPar(r.get(), 1, columns, rows);
  return r;
}

TEST(RepeatPieces, GridShiftsAndWraps) {
  auto r = Grid(2, 2);
  r->grid.w[kRepSelColumn] = 1;
  MiscCastel e;
  EXPECT_EQ(e.cellWidth, 0);  // a preview builds pieces before any FillBuf
  e.SetRepPar(r.get());
  e.PrepareRepPat(100, 100);
  EXPECT_EQ(Destinations(e), (std::vector<Box>{{0, 0, 50, 50}, {50, 0, 100, 50}, {0, 50, 50, 100},
                                               {50, 50, 100, 100}}));
  EXPECT_EQ(e.head->next->next->selected, 1);  // column 1, row 0
  EXPECT_EQ(e.head->selected, 0);
  e.DelRepPat();
  EXPECT_EQ(e.head, nullptr);

  // Row 0 shifted by half a cell: its cell of column 1 re-enters at the left edge.
  r->grid.w[kRepRowShift] = 50;
  e.SetRepPar(r.get());
  e.cellWidth = 51;
  e.PrepareRepPat(100, 100);
  ASSERT_EQ(e.pieceCount, 5);
  const TRepPat* wrap = e.head->next->next;
  EXPECT_EQ(BoxOf(wrap->destination), (Box{0, 0, 50, 25}));
  EXPECT_EQ(BoxOf(wrap->source), (Box{0, 51 - 25, 50, 25}));
  EXPECT_EQ(BoxOf(wrap->next->destination), (Box{0, 75, 50, 100}));
  EXPECT_EQ(wrap->next->column, 1);
  EXPECT_EQ(wrap->next->selected, 1);

  // Shifted both ways, the cell of column 1 and row 1 gives four pieces and no corner.
  e.DelRepPat();
  r->grid.w[kRepRowShift] = 0;
  r->grid.w[kRepRowShift + 1] = 50;
  r->grid.w[kRepColumnShift + 1] = 50;
  e.SetRepPar(r.get());
  e.cellHeight = 51;
  e.PrepareRepPat(100, 100);
  ASSERT_EQ(e.pieceCount, 7);
  const std::vector<Box> d = Destinations(e);
  EXPECT_EQ(std::vector<Box>(d.begin() + 3, d.end()),
            (std::vector<Box>{{75, 0, 125, 25}, {75, 75, 125, 100}, {0, 75, 25, 100}, {75, 75, 100, 100}}));
  const TRepPat* top = e.head;
  for (int k = 0; k < 5; ++k) top = top->next;
  EXPECT_EQ(BoxOf(top->source), (Box{51 - 25, 0, 25, 25}));

  // Stored counts outside 1..24 are held there; appending keeps what the list held.
  r->grid.w[kRepRowShift + 1] = r->grid.w[kRepColumnShift + 1] = 0;
  r->grid.w[kRepColumnCount] = 0;
  r->grid.w[kRepRowCount] = 99;
  e.SetRepPar(r.get());
  e.PrepareRepPat(48, 48);
  // One column of 24 rows: cells 2 and 3 still say column 1 and so wrap from the right.
  EXPECT_EQ(e.pieceCount, 7 + 24 + 2);
}

// The merge's rows in bands give the one walk's bytes: destinations running off every edge of
// the plane (whose first and last rows and columns then take several tile rows and columns in
// turn) or reading the tile from a shifted column, tiles held at their edges or wider than the
// plane (the runs in 16-bit lanes), every mask mode, several blend modes and opacities in and
// out of 0..255, at one, three and eight threads.
TEST(RepeatMerge, BandsGiveTheOneWalksBytes) {
  struct Size {
    int32_t w, h;
  };
  // Tiles narrower than the plane (held at their edges) and wider (one run of lanes a row).
  for (const Size tile : {Size{13, 11}, Size{2100, 7}}) {
    const int32_t tw = tile.w, th = tile.h;
    Plane colour(static_cast<size_t>(tw) * th), mask(static_cast<size_t>(tw) * th);
    for (size_t i = 0; i < colour.size(); ++i) {
      colour[i] = static_cast<uint8_t>(i * 37 + 5);
      mask[i] = static_cast<uint8_t>(i * 91 + 17);
    }
    for (const Size size : {Size{1, 1}, Size{7, 2}, Size{17, 3}, Size{33, 70}, Size{2049, 5}, Size{5, 301}}) {
      const int32_t w = size.w, h = size.h;
      Plane start(static_cast<size_t>(w) * h);
      for (size_t i = 0; i < start.size(); ++i) start[i] = static_cast<uint8_t>(i * 53 + 1);
      // Off every edge of the plane, and inside it reading the tile from a shifted column.
      for (const bool inside : {false, true}) {
        Rect source, destination;
        source.top = 2, source.left = inside ? -4 : 1;
        destination.top = inside ? 0 : -20, destination.left = inside ? w / 3 : -3;
        destination.bottom = static_cast<int16_t>(inside ? h : h + 21);
        destination.right = static_cast<int16_t>(inside ? w - w / 4 : w + 6);
        for (int16_t opacity : {180, 0, 255, 300, -20}) {
          for (int16_t maskMode : {1, 2, 3}) {
            for (int16_t blendMode : {1, 4, 10}) {
              // The one walk, as the merge was first written.
              Plane plain = start;
              for (int32_t y = destination.top; y < destination.bottom; ++y) {
                const int32_t yc = std::clamp(y, 0, h - 1);
                const int32_t ty = std::clamp(source.top + yc - destination.top, 0, th - 1);
                for (int32_t x = destination.left; x < destination.right; ++x) {
                  const int32_t xc = std::clamp(x, 0, w - 1);
                  const int32_t tx = std::clamp(source.left + xc - destination.left, 0, tw - 1);
                  const int32_t ti = ty * tw + tx;
                  int32_t keep = 255 - opacity, blend = opacity;
                  if (maskMode != 1) {
                    const auto k = static_cast<int32_t>(mask[ti] * opacity / 255.0 + 0.5);
                    keep = maskMode == 2 ? k : 255 - k;
                    blend = 255 - keep;
                  }
                  uint8_t& d = plain[static_cast<size_t>(yc) * w + xc];
                  unsigned char b = d;
                  X_optionRPart(&b, static_cast<uint32_t>(blendMode), d, colour[ti]);
                  d = static_cast<uint8_t>(std::clamp((keep * d + blend * b) / 255, 0, 255));
                }
              }
              for (int threads : {1, 3, 8}) {
                plat::SetThreadCount(threads);
                Plane banded = start;
                MiscCastel::MergeTileBuf(tw, th, colour.data(), mask.data(), w, h, banded.data(),
                                         opacity, blendMode, maskMode, source, destination);
                ASSERT_EQ(banded, plain) << w << "x" << h << " tile " << tw << " inside " << inside
                                         << " opacity " << opacity << " mask mode " << maskMode
                                         << " blend " << blendMode << " threads " << threads;
              }
              plat::SetThreadCount(0);
            }
          }
        }
      }
    }
  }
}

TEST(RepeatMerge, MaskModesBlendModesAndColourCells) {
  const Plane colour(4, 200), full(4, 255);
  auto merged = [&](int16_t maskMode, int16_t blendMode, int16_t opacity) {
    Plane dst(4, 40);
    Rect all;
    all.bottom = all.right = 2;
    MiscCastel::MergeTileBuf(2, 2, colour.data(), full.data(), 2, 2, dst.data(), opacity,
                             blendMode, maskMode, Rect{}, all);
    return dst[3];
  };
  EXPECT_EQ(merged(2, 1, 255), 40);   // the mask works inverted: kept
  EXPECT_EQ(merged(3, 1, 255), 200);  // replaced by the blended value
  EXPECT_EQ(merged(1, 1, 102), (153 * 40 + 102 * 200) / 255);
  EXPECT_EQ(merged(9, 1, 102), merged(1, 1, 102));  // unknown mask modes weigh as 1
  EXPECT_EQ(merged(1, 0, 255), 40);   // no such blend mode: the pixel keeps its value
  EXPECT_EQ(merged(1, 13, 255), 40);

  Plane p(6 * 5, 9);
  Rect r;
  r.top = 1, r.left = 4, r.bottom = 9, r.right = 9;  // runs off the plane: held at its edge
  MiscCastel::PutColInBuf(6, 6, p.data(), 5, 4, 1, r, 1, 1);
  EXPECT_EQ(p[1 * 6 + 4], 128);
  EXPECT_EQ(p[3 * 6 + 4], 128);
  EXPECT_EQ(p[3 * 6 + 5], 9);  // the stride's spare column is not the plane's
  EXPECT_EQ(p[0 * 6 + 4], 9);
  Plane q = p;
  MiscCastel::PutColInBuf(6, 6, q.data(), 5, 4, 1, r, 1, 8);  // no such colour
  MiscCastel::PutColInBuf(6, 6, q.data(), 5, 4, 1, r, 2, 1);  // no such mode
  EXPECT_EQ(q, p);
  MiscCastel::PutColInBuf(6, 6, q.data(), 5, 4, 2, r, 0, 5);
  EXPECT_EQ(q[2 * 6 + 4], 255);
}

struct Rgb {
  Plane r = Pattern(1), g = Pattern(2), b = Pattern(5);
};

int32_t Render(const RepPar& par, Rgb* p, int16_t apply = 1, int16_t direct = 1,
               int16_t repeatX = 1, int16_t repeatY = 1) {
  MiscCastel e;
  e.SetRepPar(&par);
  return e.FillBuf(3, 0, 255, 0, apply, 255, direct, repeatX, repeatY, 0, kW, kH, 0, 0, kW, kH,
                   kW, kH, 0, 0, kW, kH, 1.f, 1.f, p->r.data(), p->g.data(), p->b.data(), nullptr,
                   nullptr);
}

TEST(RepeatRender, ColourCellsRepeatsAndTheSelfBlend) {
  // The picture is its own tile (no file needed); the cells are off and coloured.
  auto r = Grid(2, 2);
  r->grid.w[kRepTileSource] = 0;
  r->grid.w[kRepColourCells] = 1;
  for (int k = 0; k < 4; ++k) {
    r->cells[k].w[kCellOn] = 0;
    r->cells[k].w[kCellOrientation] = k + 4;  // blue, red, green, magenta
  }
  Rgb p;
  ASSERT_EQ(Render(*r, &p), 0);
  // Cell k lies at row k % 2 and column k / 2.
  const std::array<int, 3> want[2][2] = {{{0, 0, 255}, {255, 0, 0}}, {{0, 255, 0}, {255, 0, 255}}};
  for (int32_t y = 0; y < kH; ++y)
    for (int32_t x = 0; x < kW; ++x) {
      const int32_t i = y * kW + x;
      ASSERT_EQ((std::array<int, 3>{p.r[i], p.g[i], p.b[i]}), want[x / 32][y / 24]) << x << "," << y;
    }

  // Tiles on: repeat counts below 1 are 1; apply other than 1 leaves the picture.
  for (RepInfo& cell : r->cells) cell.w[kCellOn] = 1;
  r->grid.w[kRepColourCells] = 0;
  Rgb once, zero, twice, none;
  Render(*r, &once);
  Render(*r, &zero, 1, 1, 0, -3);
  Render(*r, &twice, 1, 1, 2, 2);
  EXPECT_EQ(zero.g, once.g);
  EXPECT_NE(twice.g, once.g);
  EXPECT_NE(once.g, Rgb().g);
  Render(*r, &none, 0);
  EXPECT_EQ(none.g, Rgb().g);
}

// The plain reference of a render with the picture as its tile: every piece pasted by
// PasteTileBuf, which turns and resizes the tile anew each time, over the picture in the
// engine's work plane; the cell and tile sizes as the render under test took them.
Rgb PlainRender(const RepPar& par, const MiscCastel& sizes, int16_t repeatX, int16_t repeatY) {
  Rgb in;
  const int32_t side = sizes.tileSideX, workSide = std::max(kW, kH);
  const uint8_t* picture[3] = {in.r.data(), in.g.data(), in.b.data()};
  std::vector<uint8_t> tile[4];
  for (int k = 0; k < 3; ++k) {
    tile[k].resize(static_cast<size_t>(side) * side);
    BufToBufChar_andR(1, kW, kH, picture[k], side, side, tile[k].data(), 0, 0, kW, kH, 0, 0, side, side);
  }
  tile[3].assign(static_cast<size_t>(side) * side, 255);
  MiscCastel e;
  e.SetRepPar(&par);
  e.cellWidth = sizes.cellWidth;
  e.cellHeight = sizes.cellHeight;
  e.PrepareRepPat(kW, kH);
  Rgb out;
  Plane* planes[3] = {&out.r, &out.g, &out.b};
  for (int c = 0; c < 3; ++c) {
    std::vector<uint8_t> work(static_cast<size_t>(workSide) * workSide);
    for (int32_t y = 0; y < kH; ++y) std::memcpy(&work[static_cast<size_t>(y) * workSide], picture[c] + y * kW, kW);
    const TRepPat* p = e.head;
    for (int32_t k = 0; k < e.pieceCount && p != nullptr; ++k, p = p->next)
      if (p->on == 1)
        e.PasteTileBuf(1, repeatX, repeatY, side, side, tile[3].data(), tile[c].data(), e.cellWidth,
                       e.cellHeight, kW, kH, workSide, workSide, work.data(), nullptr, p->orientation,
                       p->scrollX, p->scrollY, p->skewX, p->skewY,
                       static_cast<int16_t>(p->opacityPercent * 255 / 100), p->cellBlendMode, p->maskMode,
                       p->source, p->destination);
    for (int32_t y = 0; y < kH; ++y)
      std::memcpy(planes[c]->data() + y * kW, &work[static_cast<size_t>(y) * workSide], kW);
  }
  return out;
}

// A render sizes each look of the tile (turn, scroll, skew) once for all the cells that share
// it: the same bytes as pasting every piece on its own, at one thread and at several, for
// looks shared by cells far apart, wrapped pieces, and the parted placement of the repeat
// counts.
TEST(RepeatRender, SharedTileLooksAreThePlainPasteOfEveryPiece) {
  auto r = Grid(7, 6);
  r->grid.w[kRepTileSource] = 0;
  r->grid.w[kRepRowShift + 2] = 35;
  r->grid.w[kRepColumnShift + 4] = 20;
  for (int32_t k = 0; k < 42; ++k) {
    int32_t* w = r->cells[k].w;
    w[kCellOrientation] = k % 3;
    if (k % 5 == 0) w[kCellScrollX] = 30;
    if (k % 4 == 1) w[kCellSkewY] = 15;
    if (k % 6 == 2) w[kCellSkewX] = -10;
    w[kCellOpacity] = 40 + (k * 13) % 61;
    w[kCellMaskMode] = 1 + k % 3;
    w[kCellBlendMode] = k % 5;
  }
  r->cells[9].w[kCellOn] = 0;
  for (const auto& [rx, ry] : {std::pair<int16_t, int16_t>{1, 1}, {2, 3}}) {
    for (const int threads : {1, 6}) {
      plat::SetThreadCount(threads);
      MiscCastel e;
      e.SetRepPar(r.get());
      Rgb fast;
      ASSERT_EQ(e.FillBuf(3, 0, 255, 0, 1, 255, 1, rx, ry, 0, kW, kH, 0, 0, kW, kH, kW, kH, 0, 0, kW, kH,
                          1.f, 1.f, fast.r.data(), fast.g.data(), fast.b.data(), nullptr, nullptr),
                0);
      const Rgb plain = PlainRender(*r, e, rx, ry);
      EXPECT_EQ(fast.r, plain.r) << rx << " " << threads;
      EXPECT_EQ(fast.g, plain.g) << rx << " " << threads;
      EXPECT_EQ(fast.b, plain.b) << rx << " " << threads;
      EXPECT_NE(fast.g, Rgb().g);
    }
  }
  plat::SetThreadCount(0);
}

class RepeatFiles : public vmktest::SessionTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(vmktest::MakeContentLibrary((dir_.path() / "Maker" / "Vellmarkstead").string()));
    ASSERT_TRUE(SetFicFromPosix(&gPer->makersFolder, (dir_.path() / "Maker").string()));
    ASSERT_TRUE(SetFicFromPosix(&app_.data().makersFolder, dir_.path().string()));
  }
  vmktest::TempDir dir_;
  vmktest::ScopedAppData app_;
};

TEST_F(RepeatFiles, GoldenFourByThreeWithTheContentTile) {
  auto r = std::make_unique<RepPar>();
  Init_RepPar(r.get(), 0, 4, 3);
  int32_t w = 0, h = 0;
  ASSERT_EQ(PatBufSize(&r->tiles[0], &w, &h), 0);
  EXPECT_GT(w, 0);
  r->grid.w[kRepRowShift + 1] = 30;
  r->cells[4].w[kCellOrientation] = 5;
  r->cells[5].w[kCellSkewX] = 20;
  r->cells[7].w[kCellScrollY] = 40;
  r->cells[9].w[kCellOpacity] = 50;
  for (const int threads : {1, 6}) {
    plat::SetThreadCount(threads);
    Rgb p;
    ASSERT_EQ(Render(*r, &p), 0);
    EXPECT_EQ(Fnv(p.b, Fnv(p.g, Fnv(p.r))), 3182283867u) << threads;
  }
  plat::SetThreadCount(0);

  // A picture that can be measured but not read draws nothing, as a missing one.
  const std::string cut = (dir_.path() / "cut.png").string();
  std::vector<uint8_t> px(40 * 40 * 4, 99);
  plat::imageio::PixelSource src{px.data(), 40 * 4, 40, 40, 1};
  ASSERT_EQ(plat::imageio::WriteImage(cut, plat::imageio::kTypePNG, {}, src), plat::imageio::kOk);
  std::filesystem::resize_file(cut, 60);
  ASSERT_TRUE(SetFicFromPosix(&r->tiles[0], cut));
  ASSERT_EQ(PatBufSize(&r->tiles[0], &w, &h), 0);
  Rgb kept;
  EXPECT_EQ(Render(*r, &kept), -1);
  EXPECT_EQ(kept.g, Rgb().g);
  // Without the tile file a file tile draws nothing, while the picture tile still draws.
  SetPStr(r->tiles[0].name, "none.tif");
  EXPECT_EQ(Render(*r, &kept), -1);
  EXPECT_EQ(kept.g, Rgb().g);
  r->grid.w[kRepTileSource] = 0;
  EXPECT_EQ(Render(*r, &kept), 0);
  EXPECT_NE(kept.g, Rgb().g);
}

TEST_F(RepeatFiles, RowRendersTheDefaultRecord) {
  RegisterEffectFamilies();
  ASSERT_NE(FindEngineRow(41), nullptr);
  ScriptFile s;
  ASSERT_EQ(s.I_ScriptFile(3, kW, kH, 72.0f, kW, kH, 0, 0, kW - 1, kH - 1), 0);
  s.SetEffect(0, 1, 1, 41, 0, 0, 0, 0);
  s.SetAct(0, 1, 1, 1);
  s.SetToChannel(0, 1, 1, 9);
  Oprn* op = s.GetOprn(0, 1, 1);
  op->Param1 = 200;  // tile opacity
  op->Param2 = 2;    // repeats, unused with the direct placement
  op->Param3 = 2;
  const Plane in = Pattern(3);
  std::memcpy(s.ChannelPlane(9, 1), in.data(), kN);
  EXPECT_EQ(s.PerformToEffect(op), 0);
  const uint8_t* got = s.ChannelPlane(9, 0);

  auto r = std::make_unique<RepPar>();
  Init_RepPar(r.get(), 0, 4, 4);
  MiscCastel e;
  e.SetRepPar(r.get());
  Plane want = in;
  e.FillBuf(1, 0, 255, 0, 1, 200, 1, 2, 2, 0, kW, kH, 0, 0, kW, kH, kW, kH, 0, 0, kW, kH, 1.f,
            1.f, want.data(), nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(Plane(got, got + kN), want);
  EXPECT_NE(want, in);
}

}  // namespace
