#include "engines/records/engine_frame.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "app/core/colour_spaces.h"
#include "app/plane_readers.h"
#include "host/ApePlugInUtilities/ape_spans.h"
#include "host/ApePlugInUtilities/image_files.h"
#include "platform/parallel/parallel.h"
#include "platform/random/random.h"
#include "support/session.h"

namespace {

TEST(EngineArea, ClampsToThePlanesInBothConventions) {
  vmkrec::EngineArea a = vmkrec::ClampArea(-5, -1, 900, 700, 640, 480, false);
  EXPECT_EQ(a.left, 0);
  EXPECT_EQ(a.top, 0);
  EXPECT_EQ(a.right, 640);
  EXPECT_EQ(a.bottom, 480);
  a = vmkrec::ClampArea(3, 4, 640, 480, 640, 480, true);
  EXPECT_EQ(a.right, 639);
  EXPECT_EQ(a.bottom, 479);
  a = vmkrec::ClampArea(3, 4, 10, 20, 640, 480, true);
  EXPECT_EQ(a.right, 10);
  EXPECT_EQ(a.bottom, 20);
  EXPECT_TRUE(vmkrec::ClampArea(700, 0, 800, 10, 640, 480, true).empty());
}

int gRenderCalls = 0;
void CountingReader(const vmkrec::SourceRequest& r) {
  ++gRenderCalls;
  r.planes[0][0] = 42;
}

TEST(EngineSource, WhiteFillRenderFileAndPhoto) {
  std::vector<uint8_t> r(6, 1), g(6, 2), b(6, 3), m(6, 4);
  vmkrec::SourceRequest req;
  req.width = 3;
  req.height = 2;
  req.planes[0] = r.data();
  req.planes[1] = g.data();
  req.planes[2] = b.data();
  req.planes[3] = m.data();

  vmkrec::PrepareEngineSource(0, 3, 0, req);
  EXPECT_EQ(r[0], 1);
  // Sources 2 and 3 without a reader leave the planes as they are.
  vmkrec::PrepareEngineSource(2, 3, 0, req);
  vmkrec::PrepareEngineSource(3, 3, 0, req);
  EXPECT_EQ(g[5], 2);
  // One plane: only source 1 acts, with the fill value, on the first plane only.
  vmkrec::PrepareEngineSource(1, 1, 77, req);
  EXPECT_EQ(r[5], 77);
  EXPECT_EQ(g[5], 2);
  vmkrec::SetRenderFileSource(CountingReader);
  vmkrec::PrepareEngineSource(2, 1, 0, req);
  EXPECT_EQ(gRenderCalls, 0);
  vmkrec::PrepareEngineSource(2, 3, 0, req);
  vmkrec::SetRenderFileSource(nullptr);
  EXPECT_EQ(gRenderCalls, 1);
  EXPECT_EQ(r[0], 42);
  // Three planes: white whatever was passed; the fourth plane is left.
  vmkrec::PrepareEngineSource(1, 3, 9, req);
  for (auto* p : {&r, &g, &b})
    for (uint8_t v : *p) EXPECT_EQ(v, 255);
  EXPECT_EQ(m[0], 4);
}

class EnginePhotoSource : public vmktest::SessionTest {};

TEST_F(EnginePhotoSource, ReadsTheHostRectangleIntoThePlanes) {
  PixelBuffer photo(3, 2, 1, 4), unused;
  for (uint32_t y = 0; y < 2; ++y)
    for (uint32_t x = 0; x < 3; ++x) {
      uint8_t* p = photo.rowPtr(y) + 4 * x;
      p[0] = static_cast<uint8_t>(10 * x + y);
      p[1] = 100;
      p[2] = 200;
      p[3] = 255;
    }
  FilterRecord rec;
  rec.imageRect = Rect{0, 0, 2, 3};
  rec.inLastPlane = 2;
  rec.imageWidth = 3;
  rec.imageHeight = 2;
  gFilterRecord = &rec;
  SetSessionSpanImages(&photo, &unused);

  // Planes of 4 x 2 with an area of 2 x 2: the photo's first two columns, the rest of
  // each row a margin; plane rows bottom first, as the photo reader lays them.
  std::vector<uint8_t> r(8, 0xEE), g(8, 0xEE), b(8, 0xEE), m(8, 0xEE);
  vmkrec::SourceRequest req;
  req.width = 4;
  req.height = 2;
  req.areaWidth = 2;
  req.areaHeight = 2;
  req.photoRight = 3;
  req.photoBottom = 2;
  req.planes[0] = r.data();
  req.planes[1] = g.data();
  req.planes[2] = b.data();
  req.planes[3] = m.data();
  vmkrec::PrepareEngineSource(3, 3, 0, req);
  SetSessionSpanImages(nullptr, nullptr);
  gFilterRecord = nullptr;
  EXPECT_EQ((std::vector<uint8_t>(r.begin(), r.begin() + 2)), (std::vector<uint8_t>{1, 11}));
  EXPECT_EQ((std::vector<uint8_t>(r.begin() + 4, r.begin() + 6)), (std::vector<uint8_t>{0, 10}));
  EXPECT_EQ(r[2], 0);
  EXPECT_EQ(g[5], 100);
  EXPECT_EQ(b[0], 200);
}

// The photo rectangle of a request has inclusive corners: the whole 3 x 2 photo is 0, 0, 2, 1,
// and its last column and row are read like the others, not the one before them repeated.
TEST_F(EnginePhotoSource, TheLastColumnAndRowOfThePhotoAreRead) {
  PixelBuffer photo(3, 2, 1, 4), unused;
  for (uint32_t y = 0; y < 2; ++y)
    for (uint32_t x = 0; x < 3; ++x) {
      uint8_t* p = photo.rowPtr(y) + 4 * x;
      p[0] = static_cast<uint8_t>(10 * x + y);
      p[1] = p[2] = 0;
      p[3] = 255;
    }
  FilterRecord rec;
  rec.imageRect = Rect{0, 0, 2, 3};
  rec.inLastPlane = 2;
  rec.imageWidth = 3;
  rec.imageHeight = 2;
  gFilterRecord = &rec;
  SetSessionSpanImages(&photo, &unused);
  std::vector<uint8_t> r(6, 0xEE), g(6), b(6), m(6);
  vmkrec::SourceRequest req;
  req.width = req.areaWidth = 3;
  req.height = req.areaHeight = 2;
  req.photoRight = 2;
  req.photoBottom = 1;
  req.planes[0] = r.data();
  req.planes[1] = g.data();
  req.planes[2] = b.data();
  req.planes[3] = m.data();
  vmkrec::PrepareEngineSource(3, 3, 0, req);
  SetSessionSpanImages(nullptr, nullptr);
  gFilterRecord = nullptr;
  // Plane rows bottom first: the photo's row 1, then its row 0.
  EXPECT_EQ(r, (std::vector<uint8_t>{1, 11, 21, 0, 10, 20}));
}

TEST(EngineBlend, OpacityMaskAndArea) {
  std::vector<uint8_t> plane = {100, 100, 100, 100};
  const std::vector<uint8_t> result = {200, 200, 200, 200};
  const std::vector<uint8_t> mask = {255, 0, 128, 255};
  // Mode 0 + 1 takes the result; opacity 128 weighs it: (127 * 100 + 128 * 200) / 255.
  vmkrec::BlendEffect(plane.data(), result.data(), nullptr, 2, {0, 0, 2, 1}, 0, 128);
  EXPECT_EQ(plane[0], 150);
  EXPECT_EQ(plane[1], 150);
  EXPECT_EQ(plane[2], 100);  // outside the area (second row)
  plane = {100, 100, 100, 100};
  vmkrec::BlendEffect(plane.data(), result.data(), mask.data(), 2, {0, 0, 2, 2}, 0, 255);
  EXPECT_EQ(plane[0], 200);
  EXPECT_EQ(plane[1], 100);
  EXPECT_EQ(plane[2], 150);  // a = 128: (127 * 100 + 128 * 200) / 255
  // Mode 1 + 1 adds, clamped.
  plane = {100, 100, 100, 100};
  vmkrec::BlendEffect(plane.data(), result.data(), nullptr, 2, {0, 0, 1, 1}, 1, 255);
  EXPECT_EQ(plane[0], 255);
}

TEST(EngineBlend, AnyThreadCountMatchesThePlainBlend) {
  // Every shared mode, opacities in and out of 0..255 (the first mode's runs take 16-bit lanes
  // inside it), with and without a mask, whole and inner areas.
  for (auto [w, h] : {std::pair{1, 1}, std::pair{17, 3}, std::pair{2049, 5}, std::pair{5, 2049}}) {
    const size_t n = static_cast<size_t>(w) * h;
    plat::SeedRandom(static_cast<uint32_t>(w + h));
    std::vector<uint8_t> base(n), result(n), mask(n);
    for (size_t i = 0; i < n; ++i) {
      base[i] = static_cast<uint8_t>(plat::Random() % 256);
      result[i] = static_cast<uint8_t>(plat::Random() % 256);
      mask[i] = static_cast<uint8_t>(plat::Random() % 256);
    }
    const vmkrec::EngineArea areas[] = {{0, 0, w, h}, {w / 3, h / 4, w - w / 3, h - h / 5}};
    for (const auto& area : areas)
      for (int16_t mode = 0; mode < 12; ++mode)
        for (int16_t opacity : {200, 0, 255, 300, -7})
        for (const uint8_t* m :
             {static_cast<const uint8_t*>(nullptr), static_cast<const uint8_t*>(mask.data())}) {
          auto want = base;
          for (int32_t y = area.top; y < area.bottom; ++y)
            for (int32_t x = area.left; x < area.right; ++x) {
              const size_t i = static_cast<size_t>(y) * w + x;
              const int a = m != nullptr ? m[i] * opacity / 255 : opacity;
              unsigned char b = want[i];
              X_optionRPart(&b, static_cast<uint32_t>(mode + 1), want[i], result[i]);
              want[i] = static_cast<uint8_t>(((255 - a) * want[i] + a * b) / 255);
            }
          for (int threads : {1, 3, 8}) {
            plat::SetThreadCount(threads);
            auto got = base;
            vmkrec::BlendEffect(got.data(), result.data(), m, w, area, mode, opacity);
            ASSERT_EQ(got, want) << w << "x" << h << " mode " << mode << " opacity " << opacity
                                 << " threads " << threads;
          }
          plat::SetThreadCount(0);
        }
  }
}

}  // namespace
