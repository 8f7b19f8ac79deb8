// MiscYoxel with the resampling methods: whole renders against the plain resize run by
// hand, the write-back (fill, opacity plane, fourth and fifth planes), refusals, failed
// allocations, partial requests against whole renders of the same picture, row 101
// through the script, and one golden render.
#include <cstdint>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "engines/correction/yoxel_engine.h"
#include "engines/correction/yoxel_plain_resize.h"
#include "engines/families/effect_families.h"
#include "host/ApePlugInUtilities/ape_spans.h"
#include "host/ApePlugInUtilities/image_files.h"
#include "platform/memory/memory.h"
#include "raster/rescale.h"
#include "script/engine_rows.h"
#include "script/param_block.h"
#include "script/script_file.h"
#include "support/session.h"

namespace {

using Plane = std::vector<uint8_t>;
constexpr int32_t kW = 24, kH = 16, kN = kW * kH;

Plane Pattern(int32_t seed, int32_t w = kW, int32_t h = kH) {
  Plane p(static_cast<size_t>(w) * h);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      p[y * w + x] = static_cast<uint8_t>((x * 23 + y * 41 + seed * 67 + (x * y) % 5 * 17) & 255);
  return p;
}

void SetQuad(int32_t* q, int32_t x0, int32_t y0, int32_t x2, int32_t y2) {
  q[0] = q[3] = x0;
  q[1] = q[2] = x2;
  q[4] = q[5] = y0;
  q[6] = q[7] = y2;
}

YoxelPar Record(int32_t method, int32_t sharpen, int32_t noise, int32_t fillMode) {
  YoxelPar r;
  Init_YoxelPar(&r, kW, kH, 72, 0, method);
  r.sharpenAmount = sharpen;
  r.noiseAmount = noise;
  r.fillMode = fillMode;
  r.fillRed = 0x111;  // low bytes used
  r.fillGreen = 22;
  r.fillBlue = 33;
  return r;
}

struct Picture {
  Plane r = Pattern(1), g = Pattern(2), b = Pattern(3), k = Pattern(4), t = Pattern(5);
};

int16_t Fill(const YoxelPar& rec, Picture& p, int16_t mode = 0, int16_t opacity = 255,
             const uint8_t* opacityPlane = nullptr, int16_t apply = 1) {
  YoxelPar copy = rec;
  MiscYoxel e;
  e.SetYoxelPar(&copy);
  return e.FillBuf(3, mode, opacity, 0, apply, kW, kH, 0, 0, kW, kH, kW, kH, 0, 0, kW - 1, kH - 1,
                   1.0f, 1.0f, p.r.data(), p.g.data(), p.b.data(), p.k.data(), p.t.data(), nullptr,
                   opacityPlane);
}

TEST(YoxelResampleEngine, SameSizeMovesTheRectangleAndFillsAroundIt) {
  // Source: columns 0..11, rows 4..11 of the planes; target: columns 12..23, rows 8..15 (the
  // record's y runs upward). Same size, no sharpening: a copy.
  YoxelPar rec = Record(3, 0, 0, 1);
  SetQuad(rec.sourceQuad, 0, 25000, 50000, 75000);
  SetQuad(rec.targetQuad, 50000, 0, 100000, 50000);
  const Picture in;
  Picture p;
  ASSERT_EQ(Fill(rec, p), 0);
  Plane fifth(12 * 8);
  X_Newechant_charbuf(2, in.t.data(), kW, kH, fifth.data(), 12, 8, 0, 4, 12, 12, 0, 0, 12, 8);
  for (int32_t y = 0; y < kH; ++y)
    for (int32_t x = 0; x < kW; ++x) {
      const int32_t i = y * kW + x;
      if (x >= 12 && y >= 8) {
        const int32_t from = (y - 4) * kW + x - 12;
        ASSERT_EQ(p.r[i], in.r[from]) << x << "," << y;
        ASSERT_EQ(p.b[i], in.b[from]);
        ASSERT_EQ(p.k[i], in.k[from]);  // the fourth plane follows the colours
        ASSERT_EQ(p.t[i], fifth[(y - 8) * 12 + x - 12]);  // the fifth, cubic
      } else {
        ASSERT_EQ(p.r[i], 0);  // fill mode 1: black, the fifth plane cleared
        ASSERT_EQ(p.t[i], 0);
        ASSERT_EQ(p.k[i], in.k[i]);
      }
    }
  // Fill mode 2 paints the fill colour's low bytes, 0 keeps the picture.
  rec.fillMode = 2;
  p = Picture();
  ASSERT_EQ(Fill(rec, p), 0);
  EXPECT_EQ(p.r[0], 0x11);
  EXPECT_EQ(p.b[0], 33);
  EXPECT_EQ(p.t[0], in.t[0]);
  rec.fillMode = 0;
  p = Picture();
  ASSERT_EQ(Fill(rec, p), 0);
  EXPECT_EQ(p.g[5], in.g[5]);
}

TEST(YoxelResampleEngine, OnePlaneAgainstTheCharResize) {
  YoxelPar rec = Record(6, 12, 0, 2);
  SetQuad(rec.sourceQuad, 10000, 10000, 60000, 90000);  // columns 2..13, rows 2..14
  SetQuad(rec.targetQuad, 0, 0, 100000, 100000);        // enlarged to the whole plane
  const Plane in = Pattern(7);
  Plane want(kN);
  ASSERT_EQ(PerformYoxelCharResize(6, 12, 0, in.data(), kW, kH, want.data(), kW, kH, 2, 2, 14,
                                   15, 0, 0, kW, kH),
            0);
  Plane p = in;
  MiscYoxel e;
  e.SetYoxelPar(&rec);
  ASSERT_EQ(e.FillBuf(1, 0, 255, 0, 1, kW, kH, 0, 0, kW, kH, kW, kH, 0, 0, kW - 1, kH - 1, 1.f,
                      1.f, p.data(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
            0);
  EXPECT_EQ(p, want);
}

TEST(YoxelResampleEngine, OpacityPlaneWeighsEvenAFullOpacityCopy) {
  YoxelPar rec = Record(0, 0, 0, 0);
  SetQuad(rec.sourceQuad, 0, 0, 50000, 100000);
  SetQuad(rec.targetQuad, 50000, 0, 100000, 100000);
  Plane opacity(kN, 255);
  opacity[3 * kW + 12] = 0;
  opacity[3 * kW + 13] = 128;
  const Picture in;
  Picture p;
  ASSERT_EQ(Fill(rec, p, 0, 255, opacity.data()), 0);
  EXPECT_EQ(p.r[3 * kW + 12], in.r[3 * kW + 12]);
  EXPECT_EQ(p.r[3 * kW + 13], (127 * in.r[3 * kW + 13] + 128 * in.r[3 * kW + 1]) / 255);
  EXPECT_EQ(p.g[3 * kW + 14], in.g[3 * kW + 2]);
  // Not applied: blended with itself, unchanged in mode 0.
  p = Picture();
  ASSERT_EQ(Fill(rec, p, 0, 100, nullptr, 0), 0);
  EXPECT_EQ(p.r, in.r);
}

TEST(YoxelResampleEngine, RefusalsAndFailedAllocationsWriteNothing) {
  const Picture in;
  YoxelPar rec = Record(2, 9, 20, 1);
  SetQuad(rec.sourceQuad, 10000, 10000, 50000, 60000);
  SetQuad(rec.targetQuad, 30000, 30000, 30000, 90000);  // no width
  Picture p;
  EXPECT_EQ(Fill(rec, p), -1);
  EXPECT_EQ(p.r, in.r);
  EXPECT_EQ(p.t, in.t);
  SetQuad(rec.targetQuad, 0, 0, 100000, 100000);
  const int64_t live = plat::LiveBlockCount();
  int16_t result = -1;
  for (int64_t n = 0; result != 0 && n < 200; ++n) {
    p = Picture();
    plat::FailNthAllocation(n);
    result = Fill(rec, p);
    plat::FailNthAllocation(-1);
    EXPECT_EQ(plat::LiveBlockCount(), live) << n;
    if (result != 0) {
      ASSERT_EQ(p.r, in.r) << n;
      ASSERT_EQ(p.k, in.k) << n;
      ASSERT_EQ(p.t, in.t) << n;
    }
  }
  ASSERT_EQ(result, 0);
  EXPECT_NE(p.r, in.r);
}

TEST(YoxelResampleEngine, GoldenColourResize) {
  // Lanczos enlargement through the intermediate, sharpening and grain.
  YoxelPar rec = Record(6, 25, 30, 2);
  SetQuad(rec.sourceQuad, 5000, 20000, 55000, 70000);
  SetQuad(rec.targetQuad, 10000, 5000, 95000, 95000);
  Picture p;
  ASSERT_EQ(Fill(rec, p, 0, 230), 0);
  uint64_t h = 14695981039346656037ull;
  for (const Plane* q : {&p.r, &p.g, &p.b, &p.k, &p.t})
    for (uint8_t v : *q) h = (h ^ v) * 1099511628211ull;
  EXPECT_EQ(h, 8429356508951509170ull);
}

// Partial requests read the picture through the host; a 24 x 16 photo whose channels
// differ everywhere.
class YoxelResamplePartial : public vmktest::SessionTest {
 protected:
  void SetUp() override {
    photo_ = PixelBuffer(kW, kH, 1, 4);
    for (uint32_t y = 0; y < kH; ++y)
      for (uint32_t x = 0; x < kW; ++x) {
        uint8_t* px = photo_.rowPtr(y) + 4 * x;
        px[0] = static_cast<uint8_t>(x * 10 + y);
        px[1] = static_cast<uint8_t>(x * 3 + y * 13);
        px[2] = static_cast<uint8_t>((x * y * 7) & 255);
        px[3] = 255;
      }
    rec_.imageRect = Rect{0, 0, kH, kW};
    rec_.inLastPlane = 2;
    rec_.imageWidth = kW;
    rec_.imageHeight = kH;
    gFilterRecord = &rec_;
    SetSessionSpanImages(&photo_, &unused_);
  }
  void TearDown() override {
    SetSessionSpanImages(nullptr, nullptr);
    gFilterRecord = nullptr;
  }
  // The whole picture, or the columns left..right (inclusive) of it, rendered from the photo.
  static std::vector<Plane> Render(const YoxelPar& par, int32_t left, int32_t right) {
    const int32_t w = right - left + 1;
    std::vector<Plane> out(3, Plane(static_cast<size_t>(w) * kH, 0));
    YoxelPar copy = par;
    MiscYoxel e;
    e.SetYoxelPar(&copy);
    EXPECT_EQ(e.FillBuf(3, 0, 255, 3, 1, w, kH, 0, 0, w, kH, kW, kH, left, 0, right, kH - 1, 1.f,
                        1.f, out[0].data(), out[1].data(), out[2].data(), nullptr, nullptr,
                        nullptr, nullptr),
              0);
    return out;
  }
  static void ExpectColumns(const std::vector<Plane>& whole, const std::vector<Plane>& tile,
                            int32_t left) {
    const int32_t w = static_cast<int32_t>(tile[0].size()) / kH;
    for (int32_t c = 0; c < 3; ++c)
      for (int32_t y = 0; y < kH; ++y)
        for (int32_t x = 0; x < w; ++x)
          ASSERT_EQ(tile[c][y * w + x], whole[c][y * kW + left + x]) << c << ":" << x << "," << y;
  }
  PixelBuffer photo_, unused_;
  FilterRecord rec_;
};

TEST_F(YoxelResamplePartial, TileHoldingTheTargetMatchesTheWholeRender) {
  YoxelPar par = Record(6, 15, 25, 1);
  SetQuad(par.sourceQuad, 0, 20000, 40000, 80000);
  SetQuad(par.targetQuad, 50000, 25000, 100000, 100000);
  const std::vector<Plane> whole = Render(par, 0, kW - 1);
  ExpectColumns(whole, Render(par, 12, kW - 1), 12);
  ExpectColumns(whole, Render(par, 8, kW - 1), 8);
}

TEST_F(YoxelResamplePartial, TileCuttingASameSizeTargetMatchesTheWholeRender) {
  // The tile takes the right half of the target; its source part is carried back exactly.
  YoxelPar par = Record(0, 0, 0, 2);
  SetQuad(par.sourceQuad, 0, 25000, 50000, 75000);
  SetQuad(par.targetQuad, 25000, 0, 75000, 50000);
  const std::vector<Plane> whole = Render(par, 0, kW - 1);
  ExpectColumns(whole, Render(par, 12, kW - 1), 12);
  // A tile beside the target is only blended with itself.
  SetQuad(par.targetQuad, 0, 0, 25000, 50000);
  const std::vector<Plane> beside = Render(par, 12, kW - 1);
  // The photo as the engine head reads it, bottom row first; the head stops before the
  // request's last row and column.
  for (int32_t y = 1; y < kH; ++y)
    for (int32_t x = 0; x < 11; ++x)
      ASSERT_EQ(beside[0][y * 12 + x], static_cast<uint8_t>((12 + x) * 10 + kH - 1 - y));
}

// Row 101 with a resampling method through the script, against a direct engine call.
class YoxelResampleRow : public vmktest::SessionTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SetFicFromPosix(&app_.data().makersFolder, dir_.path().string()));
    RegisterEffectFamilies();
    ASSERT_EQ(s_.I_ScriptFile(3, kW, kH, 72.0f, kW, kH, 0, 0, kW - 1, kH - 1), 0);
  }
  YoxelPar* Operation(int16_t channel) {
    s_.SetEffect(0, 1, 1, 101, 0, 0, 0, 0);
    s_.SetAct(0, 1, 1, 1);
    s_.SetToChannel(0, 1, 1, channel);
    op_ = s_.GetOprn(0, 1, 1);
    if (op_->MulStruc == nullptr && Alloc_MulStruc(&op_->MulStruc, 0) != 0) return nullptr;
    if (Init_MulStruc(op_->MulStruc, 1, 21) != 0) return nullptr;
    auto* par = static_cast<YoxelPar*>(MulStrucRecord(op_->MulStruc, 21));
    if (par == nullptr) return nullptr;
    par->resizeMethod = 4;
    par->sharpenAmount = 10;
    par->fillMode = 2;
    SetQuad(par->sourceQuad, 0, 0, 60000, 70000);
    SetQuad(par->targetQuad, 20000, 10000, 90000, 100000);
    op_->Mode = 0;
    op_->Opa = 200;
    return par;
  }
  vmktest::TempDir dir_;
  vmktest::ScopedAppData app_;
  ScriptFile s_;
  Oprn* op_ = nullptr;
};

TEST_F(YoxelResampleRow, OnePlaneMatchesTheEngine) {
  ASSERT_NE(FindEngineRow(101), nullptr);
  YoxelPar* par = Operation(9);
  ASSERT_NE(par, nullptr);
  const Plane in = Pattern(8);
  std::memcpy(s_.ChannelPlane(9, 1), in.data(), kN);
  EXPECT_EQ(s_.PerformToEffect(op_), 0);
  const uint8_t* got = s_.ChannelPlane(9, 0);
  Plane want = in;
  MiscYoxel e;
  e.SetYoxelPar(par);
  ASSERT_EQ(e.FillBuf(1, 0, 200, 0, 1, kW, kH, 0, 0, kW, kH, kW, kH, 0, 0, kW, kH, 1.f, 1.f,
                      want.data(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
            0);
  EXPECT_EQ(Plane(got, got + kN), want);
  EXPECT_NE(want, in);
}

TEST_F(YoxelResampleRow, CompositeCarriesPlaneEightyNine) {
  YoxelPar* par = Operation(2);
  ASSERT_NE(par, nullptr);
  Picture want;
  for (int32_t c : {3, 4, 5}) std::memcpy(s_.ChannelPlane(c, 1), Pattern(c - 2).data(), kN);
  std::memcpy(s_.ChannelPlane(89, 1), want.t.data(), kN);
  EXPECT_EQ(s_.PerformToEffect(op_), 0);
  MiscYoxel e;
  e.SetYoxelPar(par);
  ASSERT_EQ(e.FillBuf(3, 0, 200, 0, 1, kW, kH, 0, 0, kW, kH, kW, kH, 0, 0, kW, kH, 1.f, 1.f,
                      want.r.data(), want.g.data(), want.b.data(), nullptr, want.t.data(),
                      nullptr, nullptr),
            0);
  const uint8_t* got4 = s_.ChannelPlane(4, 0);
  const uint8_t* got89 = s_.ChannelPlane(89, 0);
  EXPECT_EQ(Plane(got4, got4 + kN), want.g);
  EXPECT_EQ(Plane(got89, got89 + kN), want.t);
  EXPECT_NE(want.t, Pattern(5));
}

}  // namespace
