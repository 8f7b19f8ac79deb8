// Colour-ramp gradients over a region: by distance from a centre (circle,
// diamond) or by position along the region's border (angular, drawn as lines
// from the centre), and the line painter the angular kind draws with.
//
// The painted value and the ramp's own opacity go into two work planes
// first; the blend then weighs each pixel by that opacity, by the fade with
// the distance from the centre and by the mask. The dither is seeded with 0
// on every call, so the same arguments always give the same grain.
//
// Degenerate regions (one row or column, a single pixel) would divide by a
// zero radius or perimeter; those are taken as 1.
#include <cmath>
#include <cstring>

#include "operations/effect_support.h"
#include "operations/effects.h"
#include "platform/parallel/cancel.h"
#include "platform/parallel/progress.h"
#include "platform/random/random.h"

using effect_support::Blend;
using effect_support::Clamp255;
using effect_support::ClampRegion;
using effect_support::Combine;
using effect_support::Mix;
using effect_support::Weight;

namespace {

constexpr double kRandomRange = 2147483647.0;
// Rows of the colour ramp table: the opacity row and four colour rows.
constexpr int16_t kRampRows = 5;

// Ramp position t (0..255) to table entry: turned by the shift, cycling over
// 1..255 once past the end. Shifts outside 0..255 wrap the same way instead
// of reaching outside the table.
int32_t RampIndex(int32_t shift, int32_t t) {
  int32_t j = shift + t;
  while (j > 255) j -= 255;
  while (j < 0) j += 255;
  return j;
}

// 64-bit: a centre given far outside the region (percentages are stored
// 16-bit values) puts distances past what a 32-bit square can hold.
inline int64_t Square(int64_t v) { return v * v; }
inline int64_t Abs(int64_t v) { return v < 0 ? -v : v; }

}  // namespace

void DrawLine(int16_t mode, int16_t opacity, unsigned char* plane, const unsigned char* mask,
              int32_t height, int32_t width, int16_t startX, int16_t startY, int16_t endX,
              int16_t endY, int32_t value, int32_t strength) {
  if (plane == nullptr) return;
  auto paint = [&](int32_t x, int32_t y) {
    if (x < 0 || y < 0 || x >= width || y >= height) return;
    const int64_t i = static_cast<int64_t>(y) * width + x;
    const int32_t old = plane[i];
    // 64-bit, and held well inside what the blend can take: a value or
    // strength far outside 0..255 must not wrap.
    int64_t mixed = ((255 - static_cast<int64_t>(strength)) * old +
                     static_cast<int64_t>(strength) * value) / 255;
    if (mixed > 255) mixed = 255;
    if (mixed < -65535) mixed = -65535;
    const int32_t c = static_cast<int32_t>(mixed);
    plane[i] = Blend(mode, old, c, Weight(mask, i, opacity));
  };
  if (startX == endX) {
    const int32_t top = startY < endY ? startY : endY;
    const int32_t bottom = startY < endY ? endY : startY;
    for (int32_t y = top; y < bottom; ++y) paint(startX, y);
    return;
  }
  const bool forward = startX < endX;
  const int32_t lx = forward ? startX : endX;
  const int32_t ly = forward ? startY : endY;
  const int32_t rx = forward ? endX : startX;
  const int32_t ry = forward ? endY : startY;
  const float dx = static_cast<float>(rx - lx);
  const float dy = static_cast<float>(ry - ly);
  int32_t previous = ly;
  for (int32_t x = lx; x <= rx; ++x) {
    const float k = static_cast<float>(x - lx);
    // The row's rounding is pinned to one fused multiply-add.
    const int32_t yk = static_cast<int32_t>(std::fma(k / dx, dy, static_cast<float>(ly)) + 0.5f);
    const int32_t from = previous < yk ? previous : yk;
    const int32_t to = previous < yk ? yk : previous;
    for (int32_t y = from; y <= to; ++y) paint(x, y);
    previous = yk;
  }
}

int32_t Effects::ColorCirc(int16_t mode, int16_t opacity, unsigned char* plane, int32_t height,
                           int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                           int16_t colourRow, const unsigned char* mask,
                           const unsigned char* tables, int16_t shift, int16_t centreX,
                           int16_t centreY, int16_t fade, int16_t kind, int16_t dither) {
  // The ramp table holds rows 0..4; any other row would be read from
  // beyond it.
  if (plane == nullptr || tables == nullptr || width <= 0 || height <= 0 || colourRow < 0 ||
      colourRow >= kRampRows) {
    return -1;
  }
  ClampRegion(width, height, x0, y0, x1, y1);
  plat::SeedRandom(0);
  const int64_t size = static_cast<int64_t>(width) * height;
  plat::Block<unsigned char> valueBuf(size, WorkSource());
  if (!valueBuf) return -1;
  plat::Block<unsigned char> alphaBuf(size, WorkSource());
  if (!alphaBuf) return -1;
  if (x0 > x1 || y0 > y1) return 0;
  unsigned char* V = valueBuf.get();
  unsigned char* A = alphaBuf.get();
  for (int32_t y = y0; y <= y1; ++y) {
    const int64_t row = static_cast<int64_t>(y) * width + x0;
    std::memcpy(V + row, plane + row, static_cast<size_t>(x1 - x0 + 1));
    std::memset(A + row, 255, static_cast<size_t>(x1 - x0 + 1));
  }
  int32_t index[256];
  for (int32_t i = 0; i < 256; ++i) index[i] = RampIndex(shift, i);
  const unsigned char* ramp = tables + static_cast<int64_t>(colourRow) * 256;
  const unsigned char* rampOpacity = tables;

  const int32_t w = x1 - x0;
  const int32_t h = y1 - y0;
  const int32_t cx = static_cast<int32_t>(x0 + static_cast<int64_t>(w) * centreX / 100);
  const int32_t cy = static_cast<int32_t>(y0 + static_cast<int64_t>(h) * centreY / 100);
  const int32_t mx = (x0 + x1) / 2;
  const int32_t my = (y0 + y1) / 2;
  float perimeter = static_cast<float>(2 * (w + h));
  if (perimeter < 1.0f) perimeter = 1.0f;

  const int32_t midX[4] = {mx, mx, x0, x1};
  const int32_t midY[4] = {y0, y1, my, my};
  int64_t farthest = 1;
  int64_t blocks = 1;
  for (int32_t k = 0; k < 4; ++k) {
    const int64_t d2 = Square(midX[k] - cx) + Square(midY[k] - cy);
    if (d2 > farthest) farthest = d2;
    const int64_t cityBlock = Abs(midX[k] - cx) + Abs(midY[k] - cy);
    if (cityBlock > blocks) blocks = cityBlock;
  }
  const float radius = std::sqrt(static_cast<float>(farthest));

  auto paintRamp = [&](int64_t i, int32_t t) {
    if (t > 255) t = 255;
    const int32_t j = index[t];
    int32_t v = ramp[j];
    if (dither != 0) {
      const double lifted = v + dither * (plat::Random() / kRandomRange);
      v = static_cast<int32_t>(std::floor(lifted));
      v = Clamp255(v);
    }
    V[i] = static_cast<unsigned char>(v);
    A[i] = rampOpacity[j];
  };

  // The painting and the blend below go pixel after pixel (the dither's draws come in the
  // pixels' order): each takes half of the operation's progress, reported row by row, and a
  // stopped render ends at the next row. Its owner drops what it leaves.
  const int64_t rows = int64_t{y1} - y0 + 1;
  if (kind == 1 || kind == 2) {
    for (int32_t y = y0; y <= y1; ++y) {
      if (plat::Cancelled()) return -1;
      for (int32_t x = x0; x <= x1; ++x) {
        int32_t t;
        if (kind == 1) {
          const float d = static_cast<float>(
              std::sqrt(static_cast<double>(Square(x - cx) + Square(y - cy))));
          t = static_cast<int32_t>(d * 255.0f / radius + 0.5f);
        } else {
          const float d = static_cast<float>(Abs(x - cx) + Abs(y - cy));
          t = static_cast<int32_t>(d * 255.0f / static_cast<float>(blocks) + 0.5f);
        }
        paintRamp(static_cast<int64_t>(y) * width + x, t);
      }
      plat::ReportProgress(int64_t{y} - y0 + 1, 2 * rows);
    }
  } else if (kind == 0) {
    auto line = [&](int32_t x, int32_t y, int32_t s) {
      const int32_t t = static_cast<int32_t>(static_cast<float>(s) * 255.0f / perimeter + 0.5f);
      const int32_t j = index[t > 255 ? 255 : t];
      DrawLine(0, 255, V, nullptr, height, width, static_cast<int16_t>(cx),
               static_cast<int16_t>(cy), static_cast<int16_t>(x), static_cast<int16_t>(y),
               ramp[j], 255);
      DrawLine(0, 255, A, nullptr, height, width, static_cast<int16_t>(cx),
               static_cast<int16_t>(cy), static_cast<int16_t>(x), static_cast<int16_t>(y),
               rampOpacity[j], 255);
    };
    // The lines to the border's pixels, one side after another.
    const int64_t lines = 2 * (int64_t{w} + 1) + 2 * (int64_t{h} + 1);
    int64_t drawn = 0;
    auto next = [&] {
      plat::ReportProgress(drawn++, 2 * lines);
      return !plat::Cancelled();
    };
    for (int32_t y = y0; y <= y1; ++y) {
      if (!next()) return -1;
      line(x0, y, (y - y0) + h + 2 * w);
    }
    for (int32_t x = x0; x <= x1; ++x) {
      if (!next()) return -1;
      line(x, y1, x - x0);
    }
    for (int32_t y = y1; y >= y0; --y) {
      if (!next()) return -1;
      line(x1, y, w + (y1 - y));
    }
    for (int32_t x = x1; x >= x0; --x) {
      if (!next()) return -1;
      line(x, y0, w + h + (x1 - x));
    }
  }

  // The fade curve: opacity falls slowly at first, then steeply.
  int32_t fadeCurve[256];
  for (int32_t i = 0; i < 256; ++i) fadeCurve[i] = 255 - (255 - i) * (255 - i) * (255 - i) / 65536;
  const int32_t op = Clamp255(opacity);

  for (int32_t y = y0; y <= y1; ++y) {
    if (plat::Cancelled()) return -1;
    for (int32_t x = x0; x <= x1; ++x) {
      const int64_t i = static_cast<int64_t>(y) * width + x;
      int32_t base;
      if (fade == 100) {
        base = op;
      } else if (fade == 0) {
        base = 0;
      } else {
        const double d = std::sqrt(static_cast<double>(Square(x - cx) + Square(y - cy)));
        int32_t r = static_cast<int32_t>(std::floor(d * 100.0 / radius));
        if (r > fade) r = fade;
        int32_t at = op - r * op / fade;
        at = Clamp255(at);
        base = fadeCurve[at];
      }
      if (mask != nullptr) base = base * mask[i] / 255;
      const int32_t weight = base * A[i] / 255;
      const int32_t old = plane[i];
      plane[i] = Mix(old, Combine(mode, old, V[i]), weight);
    }
    plat::ReportProgress(rows + y - y0 + 1, 2 * rows);
  }
  return 0;
}
