#include "raster/densitometer.h"

#include <algorithm>
#include <cstring>

#include "raster/pixel_bytes.h"

namespace {

struct Square {
  int32_t x0, y0, x1, y1;
  float count;
};

bool SquareIn(int32_t height, int32_t width, int32_t x, int32_t y, int16_t size, Square* s) {
  int32_t r = 0;
  switch (size) {
    case 2:
      r = 1;
      break;
    case 3:
      r = 2;
      break;
    case 4:
      r = 3;
      break;
    default:
      r = 0;
      break;
  }
  s->x0 = std::max(x - r, 0);
  s->x1 = std::min(x + r, width - 1);
  s->y0 = std::max(y - r, 0);
  s->y1 = std::min(y + r, height - 1);
  if (s->x1 < s->x0 || s->y1 < s->y0) return false;
  s->count = static_cast<float>(s->x1 - s->x0 + 1) * static_cast<float>(s->y1 - s->y0 + 1);
  return true;
}

inline int16_t Mean(int64_t sum, float count) {
  return static_cast<int16_t>(static_cast<float>(sum) / count + 0.5f);
}

// Sums `channels` values per sample, got through read(index, channel), and
// stores their means; all outputs 0 and -1 when the square misses.
template <int N, typename Read>
int32_t Measure(int32_t height, int32_t width, bool havePlane, int32_t x, int32_t y, int16_t size,
                int16_t* const (&out)[N], Read read) {
  Square s{};
  const bool ok = havePlane && SquareIn(height, width, x, y, size, &s);
  int64_t sum[N] = {};
  if (ok)
    for (int32_t yy = s.y0; yy <= s.y1; ++yy)
      for (int32_t xx = s.x0; xx <= s.x1; ++xx)
        for (int32_t c = 0; c < N; ++c) sum[c] += read(static_cast<int64_t>(yy) * width + xx, c);
  for (int32_t c = 0; c < N; ++c)
    if (out[c] != nullptr) *out[c] = ok ? Mean(sum[c], s.count) : 0;
  return ok ? 0 : -1;
}

}  // namespace

int32_t X_CharDensitometre(int32_t height, int32_t width, const uint8_t* plane, int32_t x,
                           int32_t y, int16_t size, int16_t* value) {
  int16_t* const out[1] = {value};
  return Measure<1>(height, width, plane != nullptr, x, y, size, out,
                    [&](int64_t i, int32_t) -> int32_t { return plane[i]; });
}

int32_t X_ShortDensitometre(int32_t height, int32_t width, const int16_t* plane, int32_t x,
                            int32_t y, int16_t size, int16_t* value) {
  int16_t* const out[1] = {value};
  return Measure<1>(height, width, plane != nullptr, x, y, size, out,
                    [&](int64_t i, int32_t) -> int32_t { return plane[i]; });
}

int32_t X_RGBCharDensitometre(int32_t height, int32_t width, const uint8_t* red,
                              const uint8_t* green, const uint8_t* blue, int32_t x, int32_t y,
                              int16_t size, int16_t* r, int16_t* g, int16_t* b) {
  const uint8_t* planes[3] = {red, green, blue};
  int16_t* const out[3] = {r, g, b};
  const bool have = red != nullptr && green != nullptr && blue != nullptr;
  return Measure<3>(height, width, have, x, y, size, out,
                    [&](int64_t i, int32_t c) -> int32_t { return planes[c][i]; });
}

int32_t X_RGBLongDensitometre(int32_t height, int32_t width, const uint32_t* buffer, int32_t x,
                              int32_t y, int16_t size, int16_t* r, int16_t* g, int16_t* b) {
  int16_t* const out[3] = {r, g, b};
  return Measure<3>(height, width, buffer != nullptr, x, y, size, out,
                    [&](int64_t i, int32_t c) { return PixelByte(buffer[i], c); });
}

int32_t X_YMCKdensitometre(int32_t height, int32_t width, const uint32_t* buffer, int32_t x,
                           int32_t y, int16_t size, int16_t* yellow, int16_t* magenta,
                           int16_t* cyan, int16_t* black) {
  int16_t* const out[4] = {yellow, magenta, cyan, black};
  return Measure<4>(height, width, buffer != nullptr, x, y, size, out, [&](int64_t i, int32_t c) {
    const int32_t v = PixelByte(buffer[i], c);
    return c == 0 ? (v | 1) : v;
  });
}
