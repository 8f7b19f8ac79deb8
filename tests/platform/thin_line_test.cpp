// The one-pixel pen's lines are drawn straight into the surface; they must
// leave every pixel, and report every change, as the general coverage path
// does for the same line.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/draw/coverage.h"
#include "platform/draw/port.h"

namespace {

using namespace plat::draw;

// The reference: the line's pixels marked in a coverage, then the pen applied.
void CoverageLine(Port& port, int x0, int y0, int x1, int y1) {
  Coverage cov(std::min(x0, x1), std::min(y0, y1), std::max(x0, x1) + 1, std::max(y0, y1) + 1);
  const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
  const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
  int err = dx + dy;
  for (;;) {
    cov.set(x0, y0);
    if (x0 == x1 && y0 == y1) break;
    const int e2 = 2 * err;
    if (e2 >= dy) err += dy, x0 += sx;
    if (e2 <= dx) err += dx, y0 += sy;
  }
  ApplyPen(port, cov);
}

void Fill(Port& port, uint32_t seed) {
  Surface& s = port.surface();
  for (int y = 0; y < s.height(); ++y)
    for (int x = 0; x < s.width(); ++x) s.row(y)[x] = 0xFF000000u | ((x * 131 + y * 71 + seed) * 2654435761u >> 8);
}

TEST(ThinLine, EveryModePatternAndClipAsTheCoveragePath) {
  const int16_t modes[] = {patCopy, patOr, patXor, addMax};
  const Pattern patterns[] = {kBlackPattern, Pattern{{0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55}},
                              Pattern{{0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81}}};
  const Rect clips[] = {Rect{0, 0, 60, 80}, Rect{7, 11, 43, 52}, Rect{30, 30, 30, 30}};
  srand(7);
  for (int16_t mode : modes)
    for (const Pattern& pattern : patterns)
      for (const Rect& clip : clips)
        for (int n = 0; n < 40; ++n) {
          const int x0 = rand() % 120 - 20, y0 = rand() % 100 - 20, x1 = rand() % 120 - 20, y1 = rand() % 100 - 20;
          Port fast(80, 60), plain(80, 60);
          Fill(fast, n);
          Fill(plain, n);
          std::vector<Rect> fastChanges, plainChanges;
          fast.onChanged = [&](const Rect& r) { fastChanges.push_back(r); };
          plain.onChanged = [&](const Rect& r) { plainChanges.push_back(r); };
          for (Port* p : {&fast, &plain}) {
            SetPort(p);
            ClipRect(clip);
            PenMode(mode);
            PenPat(pattern);
            RGBForeColor(RGBColor{0x1200, 0xA500, 0x7F00});
            RGBBackColor(RGBColor{0x3300, 0x4400, 0x5500});
          }
          SetPort(&fast);
          MoveTo(static_cast<int16_t>(x0), static_cast<int16_t>(y0));
          LineTo(static_cast<int16_t>(x1), static_cast<int16_t>(y1));
          SetPort(&plain);
          CoverageLine(plain, x0, y0, x1, y1);
          SetPort(nullptr);
          ASSERT_EQ(fast.surface().pixels(), plain.surface().pixels()) << mode << " " << n;
          ASSERT_EQ(fastChanges.size(), plainChanges.size());
          for (size_t k = 0; k < fastChanges.size(); ++k) {
            EXPECT_EQ(fastChanges[k].left, plainChanges[k].left);
            EXPECT_EQ(fastChanges[k].top, plainChanges[k].top);
            EXPECT_EQ(fastChanges[k].right, plainChanges[k].right);
            EXPECT_EQ(fastChanges[k].bottom, plainChanges[k].bottom);
          }
        }
}

}  // namespace
