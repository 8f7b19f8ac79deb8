// The content-aware resize engine: the record's rectangles in plane coordinates, FillBuf
// against the carving driver run by hand, fill modes, contrast capping, partial requests.
#include <cstdint>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "engines/correction/yoxel_engine.h"
#include "engines/correction/yoxel_seams.h"
#include "platform/parallel/cancel.h"

namespace {

constexpr int32_t kW = 24, kH = 16;

void SetQuad(int32_t* q, int32_t x0, int32_t y0, int32_t x2, int32_t y2) {
  q[0] = q[3] = x0;
  q[1] = q[2] = x2;
  q[4] = q[5] = y0;
  q[6] = q[7] = y2;
}

YoxelPar Record(int32_t fillMode, int32_t contrast) {
  YoxelPar r;
  Init_YoxelPar(&r, kW, kH, 72, 0, 5);
  r.resizeMethod = 8;
  r.twoStage = 0;
  r.flipMode = 2;
  r.edgeKernel = 2;
  r.energySpread = 0;
  r.contrast = contrast;
  r.fillMode = fillMode;
  r.fillRed = 11;
  r.fillGreen = 22;
  r.fillBlue = 33;
  r.maskWidth = 0;
  r.maskHeight = 0;
  SetQuad(r.sourceQuad, 0, 0, 100000, 100000);
  SetQuad(r.targetQuad, 0, 25000, 75000, 100000);  // 18 x 12, the top rows of the plane
  SetQuad(r.middleQuad, 0, 0, 100000, 100000);
  return r;
}

struct Picture {
  std::vector<uint8_t> r, g, b;
  Picture() : r(kW * kH), g(kW * kH), b(kW * kH) {
    std::mt19937 rng(7);
    for (int32_t i = 0; i < kW * kH; ++i) {
      r[i] = static_cast<uint8_t>(rng());
      g[i] = static_cast<uint8_t>(rng());
      b[i] = static_cast<uint8_t>(i * 3);
    }
  }
};

int16_t Fill(YoxelPar& rec, Picture& p, int16_t apply = 1, int16_t source = 0,
             int32_t fullRight = kW - 1) {
  MiscYoxel e;
  e.SetYoxelPar(&rec);
  return e.FillBuf(3, 0, 255, source, apply, kW, kH, 0, 0, kW, kH, kW, kH, 0, 0, fullRight, kH - 1,
                   1.0f, 1.0f, p.r.data(), p.g.data(), p.b.data(), nullptr, nullptr, nullptr,
                   nullptr);
}

TEST(YoxelEngine, RecordRectanglesFlipY) {
  int32_t q[8];
  SetQuad(q, 10000, 20000, 60000, 90000);
  const YoxelRect r = YoxelQuadToRect(q, 100, 50);
  EXPECT_EQ(r.left, 10);
  EXPECT_EQ(r.right, 60);
  EXPECT_EQ(r.top, 5);      // 50 - 45
  EXPECT_EQ(r.bottom, 40);  // 50 - 10
}

TEST(YoxelEngine, FillBufCarvesAsTheDriverDoes) {
  for (int32_t fillMode : {0, 1, 2}) {
    SCOPED_TRACE(fillMode);
    YoxelPar rec = Record(fillMode, 0);
    Picture byEngine, byHand;
    ASSERT_EQ(Fill(rec, byEngine), 0);
    ASSERT_EQ(PerformSmartBufResize(3, 0, 255, kW, kH, 0, 0, kW, kH, byHand.r.data(),
                                    byHand.g.data(), byHand.b.data(), nullptr, nullptr, nullptr, 0,
                                    0, nullptr, nullptr, rec.protectWeight, rec.removeWeight, 0, 0,
                                    0, kW, kH, 2, 2, 0, 0, 0, 0, 0, 0, 0, 0, kW, kH, 0, 0, 18, 12,
                                    static_cast<int16_t>(fillMode), 11, 22, 33),
              0);
    EXPECT_EQ(byEngine.r, byHand.r);
    EXPECT_EQ(byEngine.g, byHand.g);
    EXPECT_EQ(byEngine.b, byHand.b);
    // Outside the target: the picture kept, black, or the fill colour.
    const Picture original;
    const int32_t outside = 13 * kW + 20;
    const uint8_t expected[3] = {original.r[outside], 0, 11};
    EXPECT_EQ(byEngine.r[outside], expected[fillMode]);
  }
}

TEST(YoxelEngine, ContrastIsCappedAtFifty) {
  YoxelPar at50 = Record(1, 50), at80 = Record(1, 80);
  Picture a, b;
  ASSERT_EQ(Fill(at50, a), 0);
  ASSERT_EQ(Fill(at80, b), 0);
  EXPECT_EQ(a.r, b.r);
  EXPECT_EQ(a.b, b.b);
}

TEST(YoxelEngine, NoApplyAndEmptyPartialRequestsLeaveThePicture) {
  const Picture original;
  YoxelPar rec = Record(1, 0);
  Picture p;
  EXPECT_EQ(Fill(rec, p, 0), 0);
  EXPECT_EQ(p.r, original.r);
  EXPECT_EQ(p.b, original.b);
  // A partial request whose target rectangle is empty writes nothing.
  SetQuad(rec.targetQuad, 0, 25000, 0, 100000);
  EXPECT_EQ(Fill(rec, p, 1, 3, kW / 2), -1);
  EXPECT_EQ(p.r, original.r);
}

// Under a flag nobody raises the carving and the resampling are the same; with the flag
// raised (a stale preview) the engine stops before it writes anything back, and so do the
// seam loops on their own.
TEST(YoxelEngine, CancelledRendersStopAndUncancelledOnesAreUnchanged) {
  const Picture original;
  for (int32_t method : {8, 2}) {
    SCOPED_TRACE(method);
    YoxelPar rec = Record(1, 0);
    rec.resizeMethod = method;
    Picture plain, watched, stopped;
    ASSERT_EQ(Fill(rec, plain), 0);
    ASSERT_NE(plain.r, original.r);
    plat::CancelFlag flag;
    const plat::CancelScope scope(&flag);
    ASSERT_EQ(Fill(rec, watched), 0);
    EXPECT_EQ(watched.r, plain.r);
    EXPECT_EQ(watched.b, plain.b);
    flag.Cancel();
    EXPECT_EQ(Fill(rec, stopped), 0);
    EXPECT_EQ(stopped.r, original.r);
    EXPECT_EQ(stopped.g, original.g);
  }
  // The seam loop alone: no seam is taken once the flag is up.
  Picture p;
  std::vector<uint8_t> lum(p.b);
  std::vector<int32_t> edge(kW * kH, 5), mask(kW * kH, 0);
  plat::CancelFlag flag;
  flag.Cancel();
  const plat::CancelScope scope(&flag);
  EXPECT_EQ(Smart_VRemove(2, 6, kH, kW, kW, kH, p.r.data(), p.g.data(), p.b.data(), lum.data(),
                          edge.data(), mask.data()),
            0);
  EXPECT_EQ(p.r, original.r);
  EXPECT_EQ(Smart_HAdd(2, 3, kH - 3, kW, kW, kH, p.r.data(), p.g.data(), p.b.data(), lum.data(),
                       edge.data(), mask.data()),
            0);
  EXPECT_EQ(p.r, original.r);
}

}  // namespace
