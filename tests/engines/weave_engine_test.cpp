// The weave engine: strip formulas, free strips, the weave itself and the frame.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "app/core/colour_spaces.h"
#include "engines/families/effect_families.h"
#include "engines/patterns/weave_engine.h"
#include "platform/parallel/parallel.h"
#include "raster/plane_copy.h"
#include "script/engine_rows.h"
#include "script/lut_vign.h"

namespace {

std::vector<uint8_t> Expanded(const char* formula) {
  MiscWeave e;
  std::strcpy(e.par.formula1, formula);
  const int32_t length = e.PrepareAndCnt(1, 0, 1);
  std::vector<uint8_t> out(static_cast<size_t>(length));
  e.LoadStrip(out.data(), 1);
  return out;
}

TEST(WeaveFormula, GroupsMirrorsAndCounts) {
  EXPECT_EQ(Expanded("2[A3B]"), (std::vector<uint8_t>{0, 1, 1, 1, 0, 1, 1, 1}));
  EXPECT_EQ(Expanded("/ABC"), (std::vector<uint8_t>{0, 1, 2, 2, 1, 0}));
  EXPECT_EQ(Expanded("2[A3]"), (std::vector<uint8_t>{0, 0}));  // the count before ] is ignored
  EXPECT_EQ(Expanded("123"), std::vector<uint8_t>{});
  EXPECT_EQ(Expanded("2pz"), (std::vector<uint8_t>{15, 15, 16}));
  // Huge counts stop at the expansion's limit instead of running away.
  EXPECT_EQ(Expanded("99999[99999[99999A]]").size(), static_cast<size_t>(kMaxStripLength));
  const unsigned char minus[] = "\x04-12x", none[] = "\x02+x", empty[] = "\x00";
  EXPECT_EQ(StringToNum(minus), -12);
  EXPECT_EQ(StringToNum(none), 0);
  EXPECT_EQ(StringToNum(empty), 0);
}

TEST(WeaveFormula, LinesFromFormulasAndFreeStrips) {
  MiscWeave e;
  std::strcpy(e.par.formula1, "");
  std::vector<uint8_t> line(10, 16);
  e.PrepareFormula(1, 0, 10, 10, line.data(), 1);
  EXPECT_EQ(line, std::vector<uint8_t>(10, 0));  // an empty formula paints palette 0
  std::strcpy(e.par.formula1, "AB");
  e.PrepareFormula(1, 2, 10, 6, line.data(), 2);
  EXPECT_EQ(std::vector<uint8_t>(line.begin(), line.begin() + 6), (std::vector<uint8_t>{0, 0, 1, 0, 0, 1}));
  std::fill(line.begin(), line.end(), 16);
  e.PrepareFormula(1, 0, 0, 10, line.data(), 1);
  EXPECT_EQ(line, std::vector<uint8_t>(10, 16));  // no size: the line stays free

  Init_WWInfo(&e.par.free1);
  e.par.free1.stripCount = 2;
  e.par.free1.stripOn[0] = e.par.free1.stripOn[1] = 1;
  e.par.free1.stripWidth[0] = 30;
  e.par.free1.stripWidth[1] = 70;
  e.par.free1.stripColour[0] = 3;
  e.par.free1.stripColour[1] = 4;
  e.PrepareFreeH(1, 0, 100, 10, line.data(), 2);
  EXPECT_EQ(line, (std::vector<uint8_t>{3, 3, 3, 4, 4, 3, 3, 3, 4, 16}));
  e.PrepareFreeH(2, 0, 100, 10, line.data(), 2);
  EXPECT_EQ(line, (std::vector<uint8_t>{3, 3, 4, 4, 4, 3, 3, 4, 4, 16}));
  e.PrepareFreeH(3, 0, 100, 10, line.data(), 2);
  EXPECT_EQ(line, std::vector<uint8_t>(10, 16));
}

constexpr int32_t kW = 8, kH = 8;  // square: both lines cover the whole span

class Weave : public ::testing::Test {
 protected:
  void SetUp() override {
    Init_PlaidPar(&p, 0);
    p.threadSource = 0;
    p.lineMode = 2;
    p.freeMode = 0;
    std::strcpy(p.formula1, "A");
    std::strcpy(p.formula2, "B");
    p.paletteA[0][0] = 200;
    p.paletteB[0][1] = 50;
    Init_WeaveInfo(&p.weave1, 2, 2);
    p.sameWeave = 1;
    p.rowsWoven = p.colsWoven = 1;
    p.threadWidth = p.threadHeight = 1;
    p.rowAngle = 0;
    p.colAngle = 0;
    p.rowRepeats = p.colRepeats = 1;
  }
  std::vector<uint8_t> Woven(const uint8_t* mask = nullptr, int16_t opacity = 255,
                             int16_t blendMode = 0) {
    MiscWeave e;
    e.SetBufSize(kW, kH, kW, kH, 72);
    e.SetPlaidPar(&p);
    std::vector<uint8_t> plane(kW * kH, 7);
    e.FillBuf(blendMode, opacity, 0, 0, p.lineMode, 0, plane.data(), mask, 0);
    return plane;
  }
  PlaidPar p;
};

TEST_F(Weave, SameWeaveShowsColumnsOnEvenCellsAndRowsElsewhere) {
  const auto plane = Woven();
  for (int32_t y = 0; y < kH; ++y)
    for (int32_t x = 0; x < kW; ++x)
      EXPECT_EQ(plane[y * kW + x], (x % 2 == 0 && y % 2 == 0) ? 50 : 200) << x << "," << y;
  p.threadWidth = 6;  // too thick: no row thread is drawn
  for (uint8_t v : Woven()) EXPECT_NE(v, 200);
}

TEST_F(Weave, MaskBlendsTheWovenWithTheUnwoven) {
  const auto full = Woven();
  std::vector<uint8_t> mask(kW * kH);
  for (int32_t i = 0; i < kW * kH; ++i) mask[i] = static_cast<uint8_t>(i * 5);
  const auto masked = Woven(mask.data(), 128);
  for (int32_t i = 0; i < kW * kH; ++i) {
    const int32_t mixed = (128 * full[i] + 127 * 7) / 255;
    EXPECT_EQ(masked[i], ((255 - mask[i]) * 7 + mask[i] * mixed) / 255) << i;
  }
}

// A blend mode without a case in the kernel keeps the picture under the mask, as in every
// other engine.
TEST_F(Weave, ABlendModeWithoutACaseKeepsThePicture) {
  const std::vector<uint8_t> mask(kW * kH, 255);
  for (int16_t mode : {12, 40, -2}) EXPECT_EQ(Woven(mask.data(), 255, mode), std::vector<uint8_t>(kW * kH, 7)) << mode;
}

TEST_F(Weave, FrameKeepsThePictureInTheHole) {
  constexpr int32_t w = 40, h = 30;
  std::vector<uint8_t> plane(w * h), original;
  for (int32_t i = 0; i < w * h; ++i) plane[i] = static_cast<uint8_t>(90 + i % 3);
  original = plane;
  MiscWeave e;
  e.SetBufSize(w, h, w, h, 72);
  e.SetPlaidPar(&p);
  const int16_t opacity = 255;
  e.FrameBuf(0, p.lineMode, plane.data(), h, w, 0, 0, w, h, nullptr, &opacity, 50, 50, 0, 0);
  // Edge 0 keeps the picture at full size, so the centre is untouched.
  for (int32_t y = 11; y < 18; ++y)
    for (int32_t x = 13; x < 25; ++x) EXPECT_EQ(plane[y * w + x], original[y * w + x]) << x << "," << y;
  EXPECT_EQ(plane[0], 50);
  EXPECT_EQ(plane[1], 200);
}

TEST_F(Weave, GoldenPlaid) {
  std::strcpy(p.formula1, "2[A3B]/CD");
  std::strcpy(p.formula2, "4C2[DA]");
  for (int32_t k = 0; k < 16; ++k)
    for (int32_t c = 0; c < 3; ++c) {
      p.paletteA[c][k] = static_cast<uint8_t>(k * 13 + c * 40);
      p.paletteB[c][k] = static_cast<uint8_t>(250 - k * 11 - c * 30);
    }
  p.lineMode = 0;
  p.threadWidth = 2;
  p.threadHeight = 3;
  p.rowAngle = 30;
  p.colAngle = 10;
  p.shade1 = 80;
  p.shade2 = 120;
  constexpr int32_t w = 37, h = 23;
  std::vector<uint8_t> planes(3 * w * h, 100);
  MiscWeave e;
  e.SetPlaidPar(&p);
  e.FillBuf(3, 0, 255, 0, 1, 0, 0, w, h, w, h, 0, 0, w, h, 1, 1, w, h, planes.data(),
            planes.data() + w * h, planes.data() + 2 * w * h, nullptr, nullptr);
  uint64_t hash = 1469598103934665603ull;
  for (uint8_t b : planes) hash = (hash ^ b) * 1099511628211ull;
  EXPECT_EQ(hash, 9621137010293496193ull);
  // Ramp threads on a plane that is not square stay inside it.
  p.threadSource = 3;
  Init_LutVign(1, &p.ramp1, 255, 0, 0, 0);
  Init_LutVign(1, &p.ramp2, 0, 255, 0, 0);
  std::vector<uint8_t> wide(w * h, 100);
  e.SetPlaidPar(&p);
  e.FillBuf(1, 0, 255, 0, 1, 0, 0, w, h, w, h, 0, 0, w, h, 1, 1, w, h, wide.data(), nullptr,
            nullptr, nullptr, nullptr);
  EXPECT_NE(wide, std::vector<uint8_t>(w * h, 100));
}

// The threads one cell at a time, as the weave has always drawn them: a column thread's cell
// row by row down its column from the layer's value at the cell's first row, a row thread's
// cell along its row from its first column; the plain walk the banded rows must match.
std::vector<uint8_t> PlainWoven(MiscWeave& e, std::vector<uint8_t> plane, int32_t shade2,
                                int32_t shade1) {
  const PlaidPar& par = e.par;
  const int32_t w = e.width, h = e.height;
  const int32_t cw = std::max<int32_t>(par.threadWidth, 1), ch = std::max<int32_t>(par.threadHeight, 1);
  if (shade1 > 255) shade1 = 70;
  if (shade2 > 255) shade2 = 70;
  const WeaveInfo& wa = par.weave1;
  const WeaveInfo& wb = par.sameWeave == 1 ? par.weave1 : par.weave2;
  const int32_t aw = cw * wa.columns, ah = ch * wa.rows, bw = cw * wb.columns, bh = ch * wb.rows;
  const auto shaded = [](int32_t shade, int32_t v, int32_t old) {
    return std::min(255, ((shade * v / 100) * 70 + old * 30) / 100);
  };
  const auto draw = [&](uint8_t* first, int64_t step, int32_t count, int32_t available,
                        int32_t shade, int32_t v, bool rowThread) {
    if (count > 5) return;
    for (int32_t k = 0; k < count && k < available; ++k) {
      uint8_t& px = first[k * step];
      int32_t out = v;
      if (count == 2 && k == 1) out = shaded(shade, v, px);
      if (count >= 3 && k == 0) out = shaded(shade, v, px);
      if (rowThread && count == 3 && k == 2) out = std::min(255, (v * 70 + px * 30) / 100);
      px = static_cast<uint8_t>(out);
    }
  };
  std::vector<uint8_t> layer = plane;
  e.FillCols(0, 0, par.lineMode, 0, layer.data(), static_cast<int16_t>(par.colAngle + 90),
             par.colRepeats);
  for (int32_t y = 0; y < h; y += ch)
    for (int32_t x = 0; x < w; ++x) {
      const bool on = par.colsWoven == 1 ? wa.cells[(y % ah) / ch][(x % aw) / cw] != 0
                                         : par.colsWoven == 0;
      const int64_t i = int64_t{y} * w + x;
      if (on) draw(&plane[i], w, ch, h - y, shade2, layer[i], false);
    }
  layer = plane;
  e.FillRows(0, 0, par.lineMode, 0, layer.data(), par.rowAngle, par.rowRepeats);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; x += cw) {
      const bool on = par.rowsWoven == 1 ? wb.cells[(y % bh) / ch][(x % bw) / cw] == 0
                                         : par.rowsWoven == 0 && par.colsWoven != 0;
      const int64_t i = int64_t{y} * w + x;
      if (on) draw(&plane[i], 1, cw, w - x, shade1, layer[i], true);
    }
  return plane;
}

TEST_F(Weave, ThreadsInBandsOfRowsAreThePlainCellWalk) {
  struct Size {
    int32_t w, h;
  };
  std::strcpy(p.formula1, "2[A3B]/CD");
  std::strcpy(p.formula2, "4C2[DA]E");
  p.lineMode = 0;
  p.rowAngle = 30;
  p.colAngle = 0;
  Init_WeaveInfo(&p.weave1, 3, 5);
  Init_WeaveInfo(&p.weave2, 4, 2);
  for (int32_t r = 0; r < 5; ++r)
    for (int32_t c = 0; c < 3; ++c) p.weave1.cells[r][c] = static_cast<uint8_t>((r * 3 + c) % 4 == 1);
  p.weave2.cells[0][1] = p.weave2.cells[1][3] = 1;
  for (int32_t k = 0; k < 16; ++k) {
    p.paletteA[0][k] = static_cast<uint8_t>(k * 13 + 5);
    p.paletteB[0][k] = static_cast<uint8_t>(250 - k * 11);
  }
  for (const Size size : {Size{1, 1}, Size{17, 3}, Size{2049, 5}, Size{7, 301}}) {
    std::vector<uint8_t> start(static_cast<size_t>(size.w) * size.h);
    for (size_t i = 0; i < start.size(); ++i) start[i] = static_cast<uint8_t>(i * 37 % 251);
    for (int32_t thick : {1, 2, 3, 4, 5, 6}) {
      for (int32_t woven : {0, 1, 2}) {
        p.threadWidth = static_cast<int16_t>(thick);
        p.threadHeight = static_cast<int16_t>(7 - thick);
        p.colsWoven = static_cast<int16_t>(woven);
        p.rowsWoven = static_cast<int16_t>((woven + thick) % 3);
        p.sameWeave = static_cast<int16_t>(thick % 2);
        MiscWeave e;
        e.SetBufSize(size.w, size.h, size.w, size.h, 72);
        e.SetPlaidPar(&p);
        const auto plain = PlainWoven(e, start, 90, 300);
        for (int threads : {1, 3, 8}) {
          plat::SetThreadCount(threads);
          std::vector<uint8_t> plane = start, rows(start.size()), cols(start.size());
          e.WeaveRowCols(0, 0, p.lineMode, 0, 90, 300, rows.data(), cols.data(), plane.data());
          plat::SetThreadCount(0);
          ASSERT_EQ(plane, plain) << size.w << "x" << size.h << " thread " << thick << " woven "
                                  << woven << " threads " << threads;
        }
      }
    }
  }
}

// The frame in bands of rows, runs either side of the centre mixed in 16-bit lanes: the
// picture shrunk into the edges, the cloth woven on black and laid over every pixel outside
// the centre by the opacity and the mask, as one walk of the pixels did it; opacities in and
// out of 0..255, holes of none, half and all, odd and tall sizes, at 1, 3 and 8 threads.
TEST_F(Weave, FrameIsThePlainWalkOverTheCloth) {
  struct Size {
    int32_t w, h;
  };
  p.threadWidth = 2;
  p.threadHeight = 1;
  for (const Size size : {Size{1, 1}, Size{17, 3}, Size{2049, 5}, Size{7, 301}, Size{40, 30}}) {
    const int32_t w = size.w, h = size.h;
    const size_t n = static_cast<size_t>(w) * h;
    std::vector<uint8_t> start(n), mask(n);
    for (size_t i = 0; i < n; ++i) {
      start[i] = static_cast<uint8_t>(i * 29 + 11);
      mask[i] = static_cast<uint8_t>(i * 71 + 3);
    }
    for (int16_t opacity : {255, 100, 0, 300, -5}) {
      for (int32_t hole : {0, 50, 100}) {
        for (const uint8_t* m : {static_cast<const uint8_t*>(nullptr), static_cast<const uint8_t*>(mask.data())}) {
          MiscWeave e;
          e.SetBufSize(w, h, w, h, 72);
          e.SetPlaidPar(&p);
          // The plain walk: the old centre shrunk in, the cloth on black, one pixel at a time.
          std::vector<uint8_t> want = start, cloth(n, 0), rows(n), cols(n);
          const int32_t left = 0, top = 0, right = w - 1, bottom = h - 1;
          const double a = (right - left) * 0.5, b = (bottom - top) * 0.5;
          const auto xLo = static_cast<int32_t>(a - a * hole / 100), xHi = static_cast<int32_t>(a + a * hole / 100);
          const auto yLo = static_cast<int32_t>(b - b * hole / 100), yHi = static_cast<int32_t>(b + b * hole / 100);
          BufToBufChar_andR(0, w, h, start.data(), w, h, want.data(), left, top, right, bottom,
                            xLo * 20 / 100, yLo * 30 / 100, xHi + (right - xHi) * 80 / 100,
                            yHi + (bottom - yHi) * 70 / 100);
          e.WeaveRowCols(0, 0, p.lineMode, 0, p.shade2, p.shade1, rows.data(), cols.data(), cloth.data());
          for (int32_t y = top; y < bottom; ++y)
            for (int32_t x = left; x <= right; ++x) {
              if (x > xLo && x < xHi && y > yLo && y < yHi) continue;
              const size_t i = static_cast<size_t>(y) * w + x;
              const int32_t alpha = opacity * (m != nullptr ? m[i] : 255) / 255;
              want[i] = static_cast<uint8_t>(((255 - alpha) * want[i] + alpha * cloth[i]) / 255);
            }
          for (int threads : {1, 3, 8}) {
            plat::SetThreadCount(threads);
            std::vector<uint8_t> got = start;
            e.FrameBuf(0, p.lineMode, got.data(), h, w, left, top, right, bottom, m, &opacity,
                       hole, hole, 20, 30);
            plat::SetThreadCount(0);
            ASSERT_EQ(got, want) << w << "x" << h << " opacity " << opacity << " hole " << hole
                                 << " masked " << (m != nullptr) << " threads " << threads;
          }
        }
      }
    }
  }
}

TEST_F(Weave, RowsWeaveTheDestinationPlaneAndFrameTheComposite) {
  RegisterEffectFamilies();
  std::vector<uint8_t> planes(3 * kW * kH, 7), mask(kW * kH, 255);
  EngineRowCall c;
  c.record = &p;
  c.n = 1;
  c.w = c.aw = kW;
  c.h = c.ah = kH;
  c.resolution = 72;
  c.planes[0] = planes.data();
  c.mask = mask.data();
  // 43 on one plane weaves the destination plane itself.
  FindEngineRow(43)(c);
  EXPECT_EQ(std::vector<uint8_t>(planes.begin(), planes.begin() + kW * kH), Woven());
  // 42 renders the same plaid through its outer form.
  std::fill(planes.begin(), planes.end(), 7);
  c.mask = nullptr;
  FindEngineRow(42)(c);
  EXPECT_EQ(std::vector<uint8_t>(planes.begin(), planes.begin() + kW * kH), Woven());
  // 40 frames all three planes; with no hole the whole plane is cloth.
  std::fill(planes.begin(), planes.end(), 7);
  c.n = 3;
  c.planes[1] = planes.data() + kW * kH;
  c.planes[2] = planes.data() + 2 * kW * kH;
  c.p1 = 255;
  FindEngineRow(40)(c);
  EXPECT_EQ(planes[0], 50);
  EXPECT_EQ(planes[1], 200);
}

}  // namespace
