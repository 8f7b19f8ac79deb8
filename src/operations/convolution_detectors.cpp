// Edge and gradient strength from fixed 3 x 3 kernels: one response at a
// pixel, a response map over a region (mixed over time with the map's
// earlier values and optionally through a contrast table), and the effect
// that stretches the map of an image to 0..255 and colours it through a
// ramp.
//
// The kernels never read outside the plane: the map's outermost rows and
// columns take the response of their inner neighbour. The contrast table
// is indexed by value / q with q = maximum / 255 (at least 1), held to the
// table.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "operations/effect_support.h"
#include "operations/effects.h"

using effect_support::ClampRegion;

namespace {

// The 3 x 3 neighbourhood of a pixel, by compass.
struct Neighbourhood {
  int32_t nw, n, ne, w, c, e, sw, s, se;
};

Neighbourhood Read(const unsigned char* plane, int32_t width, int32_t x, int32_t y) {
  const unsigned char* up = plane + static_cast<int64_t>(y - 1) * width + x;
  const unsigned char* mid = up + width;
  const unsigned char* down = mid + width;
  return {up[-1], up[0], up[1], mid[-1], mid[0], mid[1], down[-1], down[0], down[1]};
}

// The mean of the nine 32-bit words about (x, y).
int32_t WordMean(const void* source, int32_t width, int32_t x, int32_t y) {
  const auto* bytes = static_cast<const unsigned char*>(source);
  int64_t sum = 0;
  for (int32_t dy = -1; dy <= 1; ++dy) {
    for (int32_t dx = -1; dx <= 1; ++dx) {
      uint32_t word = 0;
      std::memcpy(&word, bytes + ((static_cast<int64_t>(y + dy) * width + x + dx) * 4), 4);
      sum += word;
    }
  }
  return static_cast<int32_t>(sum / 9);
}

int32_t Response(const Neighbourhood& p, int16_t kind) {
  const int32_t horizontal = (p.ne + p.e + p.se) - (p.nw + p.w + p.sw);
  const int32_t vertical = (p.sw + p.s + p.se) - (p.nw + p.n + p.ne);
  switch (kind) {
    case 0: return std::abs(horizontal) + std::abs(vertical);
    case 1:
    case 8: return horizontal * horizontal;
    case 2:
    case 6: return std::abs(horizontal);
    case 3:
      return std::abs((p.ne + 2 * p.e + p.se) - (p.nw + 2 * p.w + p.sw)) +
             std::abs((p.sw + 2 * p.s + p.se) - (p.nw + 2 * p.n + p.ne));
    case 4: return std::abs(p.n + p.s + p.w + p.e - 4 * p.c);
    case 7: return std::abs(vertical);
    case 9: return vertical * vertical;
    default: return 0;
  }
}

// The kernel's position for a map position: the border rows and columns
// use their inner neighbour.
int32_t Inner(int32_t v, int32_t extent) {
  if (v == 0) return 1;
  if (v == extent - 1) return extent - 2;
  return v;
}

}  // namespace

void Effects::Convolve_Pixel(int16_t layout, int32_t width, int32_t height, const void* source,
                             int32_t x, int32_t y, int16_t kind, int32_t* result) {
  if (result == nullptr) return;
  *result = 0;
  if (source == nullptr || x < 1 || y < 1 || x > width - 2 || y > height - 2) return;
  if (kind == 5) {
    // The mean is kept for 32-bit words; a byte plane gives 0.
    if (layout == 4) *result = WordMean(source, width, x, y);
    return;
  }
  *result = Response(Read(static_cast<const unsigned char*>(source), width, x, y), kind);
}

int32_t Effects::Conv_Detect(int16_t layout, int32_t width, int32_t height, const void* source,
                             int32_t* map, int32_t* maximum, int16_t kind, int16_t mix,
                             int16_t contrast, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  if (source == nullptr || map == nullptr || maximum == nullptr || width <= 0 || height <= 0) {
    return -1;
  }
  unsigned char table[256];
  int64_t q = 1;
  if (contrast != 0) {
    CreaLut(table, contrast, 0, 0);
    q = std::max<int64_t>(*maximum / 255, 1);
  }
  ClampRegion(width, height, x0, y0, x1, y1);
  for (int32_t y = y0; y <= y1; ++y) {
    const int32_t ky = Inner(y, height);
    for (int32_t x = x0; x <= x1; ++x) {
      int32_t v = 0;
      Convolve_Pixel(layout, width, height, source, Inner(x, width), ky, kind, &v);
      int32_t* out = map + static_cast<int64_t>(y) * width + x;
      int64_t value = v;
      if (mix != 100) value = (mix * value + (100 - static_cast<int64_t>(mix)) * *out) / 100;
      if (contrast != 0) value = q * table[std::clamp<int64_t>(value / q, 0, 255)];
      *out = static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
      *maximum = std::max(*maximum, *out);
    }
  }
  return 0;
}

int32_t Effects::Convolution(int16_t mode, int16_t opacity, int16_t layout,
                             unsigned char* plane1, unsigned char* plane2, unsigned char* plane3,
                             const unsigned char* mask, int32_t height, int32_t width, int32_t x0,
                             int32_t y0, int32_t x1, int32_t y1, const unsigned char* ramp,
                             int32_t kind, int32_t blurRadius, int32_t contrast,
                             int32_t brightness) {
  const bool onePlane = layout == 1;
  if (plane1 == nullptr || ramp == nullptr || width <= 0 || height <= 0) return -1;
  if (!onePlane && (plane2 == nullptr || plane3 == nullptr)) return -1;
  ClampRegion(width, height, x0, y0, x1, y1);
  if (x0 > x1 || y0 > y1) return 0;
  const int64_t size = static_cast<int64_t>(width) * height;
  plat::Block<unsigned char> work(size, WorkSource());
  if (!work) return -1;
  {
    plat::Block<int32_t> map(size, WorkSource());
    if (!map) return -1;
    for (int64_t i = 0; i < size; ++i) {
      work[i] = onePlane ? plane1[i]
                         : static_cast<unsigned char>(
                               (299 * plane1[i] + 587 * plane2[i] + 114 * plane3[i]) / 1000);
    }
    // Only the region's responses count toward the stretch.
    map.Clear();
    int32_t maximum = 0;
    (void)Conv_Detect(1, width, height, work.get(), map.get(), &maximum,
                      static_cast<int16_t>(std::clamp<int32_t>(kind, INT16_MIN, INT16_MAX)), 100,
                      0, x0, y0, x1, y1);
    const int32_t m = std::max(*std::max_element(map.begin(), map.end()), 1);
    for (int64_t i = 0; i < size; ++i) {
      work[i] = static_cast<unsigned char>(static_cast<int32_t>(map[i] * 255.0 / m));
    }
  }
  // The stretched map is adjusted and painted from its top-left corner, as
  // large as the region.
  const int32_t rw = x1 - x0, rh = y1 - y0;
  if (contrast != 0 || brightness != 0) {
    AdjContrast(0, 255, work.get(), height, width, 0, 0, rw, rh, 1, nullptr,
                ClampToInt16(contrast), ClampToInt16(brightness), 0);
  }
  if (blurRadius > 0) {
    if (Blur(0, 255, work.get(), nullptr, width, height, 0, 0, width - 1, height - 1,
             ClampToInt16(blurRadius), 1) != 0) {
      return -1;
    }
  }
  if (onePlane) {
    return LutToColor(mode, opacity, work.get(), height, width, plane1, height, width, 0, 0, rw,
                      rh, x0, y0, x1, y1, 1, 1, 1, 0, mask, ramp, 0, 255);
  }
  return LutToColor(mode, opacity, work.get(), nullptr, nullptr, nullptr, height, width, plane1,
                    plane2, plane3, nullptr, height, width, 0, 0, rw, rh, x0, y0, x1, y1, 1, 1,
                    3, mask, ramp, 0, 255);
}
