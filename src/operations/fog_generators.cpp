// Fog (noise brightening) and the two random fractals coloured or blended
// onto the image.
//
// The generators draw into a work plane of the whole picture; the plasma
// is then coloured through the step's ramp onto the region, the
// aggregation (which paints its own colours) blended over it. Unsupported
// kinds are refused before anything changes.
#include <algorithm>
#include <cstring>

#include "operations/effect_support.h"
#include "operations/effects.h"
#include "operations/fractal_generators.h"
#include "platform/random/random.h"
#include "platform/types/plane_view.h"

using effect_support::Blend;
using effect_support::Weight;

namespace {

using IRect = plat::InclusiveRect;

constexpr int16_t kFogNoiseKind = 2;
constexpr int32_t kSeedPositions = 9;

// The plasma's rectangle (0, 0)..(rw, rh) coloured through the ramp onto
// the region: one interleaved target (layout 1) or three planes.
int32_t ColourPlasma(int16_t mode, int16_t opacity, int16_t layout, const unsigned char* work,
                     int32_t height, int32_t width, unsigned char* const targets[3],
                     const unsigned char* mask, IRect r, const unsigned char* ramp) {
  const int32_t rw = r.right - r.left, rh = r.bottom - r.top;
  if (layout == 1)
    return Effects::LutToColor(mode, opacity, work, height, width, targets[0], height, width, 0,
                               0, rw, rh, r.left, r.top, r.right, r.bottom, 1, 1, 1, 0, mask,
                               ramp, 0, 255);
  return Effects::LutToColor(mode, opacity, work, nullptr, nullptr, nullptr, height, width,
                             targets[0], targets[1], targets[2], nullptr, height, width, 0, 0, rw,
                             rh, r.left, r.top, r.right, r.bottom, 1, 1, 3, mask, ramp, 0, 255);
}

}  // namespace

int32_t Effects::Foggy(int16_t mode, int16_t opacity, int16_t kind, unsigned char* plane,
                       const unsigned char* mask, unsigned char* fog, int32_t height,
                       int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                       float sizeX, float sizeY, int16_t s1, int16_t s2, int16_t s3, int16_t s4,
                       int16_t s5) {
  if (plane == nullptr || width <= 0 || height <= 0) return -1;
  if (kind < 0 || kind > 2 || (kind != 0 && fog == nullptr)) return -1;
  plat::Block<unsigned char> own;
  if (kind == 0) {
    own = plat::Block<unsigned char>(int64_t{width} * height, WorkSource());
    if (!own) return -1;
    own.Clear();
    fog = own.get();
  }
  if (kind != 2 &&
      Noise(0, 255, kFogNoiseKind, fog, mask, height, width, x0, y0, x1, y1, sizeX, sizeY,
            static_cast<int16_t>(s1 + 1), s2, s3, s5) != 0) {
    return -1;
  }
  unsigned char table[256];
  for (int32_t i = 0; i < 256; ++i) table[i] = Clamp255(i + s4);
  // Every pixel from its own samples: rows in bands on the shared threads.
  effect_support::ForEachPixelParallel(
      width, height, x0, y0, x1, y1, [&](int64_t i, int32_t, int32_t) {
        const int32_t v = plane[i], f = fog[i];
        plane[i] = Blend(mode, v, (table[v] * f + (255 - f) * v) / 255, Weight(mask, i, opacity));
      });
  return 0;
}

int32_t Effects::FractPlasma(int16_t mode, int16_t opacity, int16_t layout, unsigned char* first,
                             unsigned char* second, unsigned char* third,
                             const unsigned char* mask, int32_t height, int32_t width,
                             int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                             const unsigned char* ramp, int32_t seed, int32_t blurRadius,
                             int32_t contrast, int32_t brightness) {
  if (first == nullptr || ramp == nullptr || width <= 0 || height <= 0) return -1;
  if (layout != 1 && (second == nullptr || third == nullptr)) return -1;
  IRect r{x0, y0, x1, y1};
  if (!r.ClipTo(width, height)) return 0;
  plat::Block<unsigned char> work(int64_t{width} * height, WorkSource());
  if (!work) return -1;
  std::memset(work.get(), 255, static_cast<size_t>(work.size()));
  plat::SeedRandom(static_cast<uint32_t>(seed));
  DrawPlasma(width, height, work.get());
  const int32_t rw = r.right - r.left, rh = r.bottom - r.top;
  if (contrast != 0 || brightness != 0)
    AdjContrast(0, 255, work.get(), height, width, 0, 0, rw, rh, 1, nullptr,
                static_cast<int16_t>(contrast), static_cast<int16_t>(brightness), 0);
  // A blur refused its memory would paint the plasma unblurred: the step fails instead.
  if (blurRadius > 0 && Blur(0, 255, work.get(), nullptr, width, height, 0, 0, width - 1,
                             height - 1, static_cast<int16_t>(std::min(blurRadius, 32767)), 1) != 0)
    return -1;
  unsigned char* const targets[3] = {first, second, third};
  return ColourPlasma(mode, opacity, layout, work.get(), height, width, targets, mask, r, ramp);
}

int32_t Effects::DiffusAggreg(int16_t mode, int16_t opacity, unsigned char* plane,
                              const unsigned char* mask, int32_t height, int32_t width,
                              int32_t x0, int32_t y0, int32_t x1, int32_t y1, int16_t colourRow,
                              const unsigned char* ramp, int32_t seed, int32_t walkers,
                              int32_t /*unused*/, int32_t passes, int32_t position) {
  if (plane == nullptr || ramp == nullptr || width <= 0 || height <= 0) return -1;
  if (position < 0 || position >= kSeedPositions) return -1;
  unsigned char table[5 * 256];
  std::memcpy(table, ramp, sizeof table);
  plat::Block<unsigned char> work(int64_t{width} * height, WorkSource());
  if (!work) return -1;
  std::memcpy(work.get(), plane, static_cast<size_t>(work.size()));
  const int32_t px = 25 + 25 * (position / 3), py = 25 + 25 * (position % 3);
  if (DrawAggregation(width, height, work.get(), colourRow, table, seed, walkers, passes, px,
                      py) != 0)
    return -1;
  effect_support::ForEachPixel(width, height, x0, y0, x1, y1, [&](int64_t i, int32_t, int32_t) {
    plane[i] = Blend(mode, plane[i], work.get()[i], Weight(mask, i, opacity));
  });
  return 0;
}
