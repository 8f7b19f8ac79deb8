// Every converted kernel, failing at each of its allocations in turn: -1 (or nothing
// written), the image as it was, and every block handed back to the session's registry.
#include <cstdint>
#include <functional>
#include <vector>

#include <gtest/gtest.h>

#include "platform/memory/memory.h"
#include "raster/blend_filters.h"
#include "raster/focus_filters.h"
#include "raster/smart_blur.h"
#include "raster/susan_denoise.h"
#include "support/pixels.h"
#include "support/session.h"

namespace {

constexpr int32_t kW = 41, kH = 33;

std::vector<uint8_t> Picture() {
  std::vector<uint8_t> p(kW * kH);
  for (size_t i = 0; i < p.size(); ++i) p[i] = static_cast<uint8_t>((i * 37) ^ (i >> 3));
  return p;
}

std::vector<uint32_t> Pixels() {
  const std::vector<uint8_t> p = Picture();
  std::vector<uint32_t> px(p.size());
  for (size_t i = 0; i < p.size(); ++i) px[i] = vmktest::Px(p[i], 255 - p[i], p[i] / 2, 200);
  return px;
}

struct Case {
  const char* name;
  // Runs the kernel on fresh data; returns its result and whether the data changed.
  std::function<int32_t(bool* changed)> run;
};

std::vector<Case> Cases() {
  auto plane = [](auto kernel) {
    return [kernel](bool* changed) {
      std::vector<uint8_t> p = Picture();
      const int32_t rc = kernel(p.data());
      *changed = p != Picture();
      return rc;
    };
  };
  auto pixels = [](auto kernel) {
    return [kernel](bool* changed) {
      const std::vector<uint32_t> src = Pixels();
      std::vector<uint32_t> dst(src.size(), 7);
      const std::vector<uint8_t> guide = Picture();
      std::vector<uint8_t> scratch(guide.size());
      const int32_t rc = kernel(src.data(), dst.data(), guide.data(), scratch.data());
      *changed = dst != std::vector<uint32_t>(src.size(), 7);
      return rc;
    };
  };
  return {
      {"DeBlur", plane([](uint8_t* p) {
         return DeBlur(0, 200, p, nullptr, kH, kW, 1, 1, kW - 2, kH - 2, 3, 40);
       })},
      {"HighPass", plane([](uint8_t* p) {
         return HighPass(0, 255, p, nullptr, kW, kH, 0, 0, kW - 1, kH - 1, 6, 100);
       })},
      {"DeNoise", plane([](uint8_t* p) {
         return DeNoise(0, 255, p, nullptr, kH, kW, 0, 0, kW - 1, kH - 1, 2, 10, 20);
       })},
      {"X_Blur_buffer", plane([](uint8_t* p) {
         return X_Blur_buffer(p, nullptr, kW, kH, 0, 0, kW - 1, kH - 1, 9, 1);
       })},
      {"X_FindEdge", plane([](uint8_t* p) {
         return X_FindEdge(p, nullptr, kH, kW, 0, 0, kW - 1, kH - 1, 255, 2, -64, 0);
       })},
      {"X_sharp_buffer edge-protected", plane([](uint8_t* p) {
         return X_sharp_buffer(kW, kH, p, 1, 1, kW - 2, kH - 2, 100, 1, 300, 2);
       })},
      {"X_medianedg_buf edge-protected",
       plane([](uint8_t* p) { return X_medianedg_buf(kW, kH, p, 1, 1, kW - 2, kH - 2, 1, 2); })},
      {"X_DeBlur_buffer", pixels([](const uint32_t* s, uint32_t* d, const uint8_t* g, uint8_t* sc) {
         return X_DeBlur_buffer(0, kH, kW, s, d, kH, kW, g, sc, kH, kW, 0, 0, kW, kH, 0, 0, 0,
                                1.0f, 1.0f, 200, 2, 30, 5);
       })},
      {"X_bluroutedge_buffer",
       pixels([](const uint32_t* s, uint32_t* d, const uint8_t* g, uint8_t* sc) {
         return X_bluroutedge_buffer(1, kH, kW, s, d, kH, kW, g, sc, kH, kW, 0, 0, kW, kH, 0, 0,
                                     0, 1.0f, 1.0f, 80, 3, 20, 10, 50);
       })},
      {"X_Smooth_buffer", pixels([](const uint32_t* s, uint32_t* d, const uint8_t* g, uint8_t*) {
         return X_Smooth_buffer(1, kH, kW, s, d, kH, kW, g, kH, kW, 0, 0, kW, kH, 0, 0, 0, 1.0f,
                                1.0f, 0, 2, 80, 6, 30, 2, 4);
       })},
  };
}

TEST(WorkMemoryPaths, EachFailingAllocationLeavesTheImageAndFreesEverything) {
  vmktest::ScopedSession session;
  for (const Case& c : Cases()) {
    bool changed = false;
    ASSERT_EQ(c.run(&changed), 0) << c.name;
    ASSERT_TRUE(changed) << c.name;
    const int64_t live = plat::LiveBlockCount();
    int32_t n = 0;
    for (;; ++n) {
      ASSERT_LT(n, 200) << c.name;
      plat::FailNthAllocation(n);
      const int32_t rc = c.run(&changed);
      plat::FailNthAllocation(-1);
      EXPECT_EQ(session.memMan().count(), 0) << c.name << " failing at " << n;
      EXPECT_EQ(plat::LiveBlockCount(), live) << c.name << " failing at " << n;
      if (rc == 0 && changed) break;  // n passed the last allocation
      EXPECT_EQ(rc, -1) << c.name << " failing at " << n;
      EXPECT_FALSE(changed) << c.name << " failing at " << n;
    }
    EXPECT_GT(n, 0) << c.name;
  }
}

}  // namespace
