// Table-driven thinning. Each pixel's 3 x 3 neighbourhood map is built
// incrementally, one shift and two masks per pixel, from the map of the
// pixel to its left and the saved map of the pixel above; the plane is
// changed as it is read, so a removal is seen by the rows below it only
// through the saved maps (which hold the samples as they were read).
#include "operations/thinning.h"

#include <algorithm>
#include <array>

#include "platform/memory/block.h"
#include "platform/types/plane_view.h"

namespace {

constexpr int32_t HexDigit(char c) { return c <= '9' ? c - '0' : c - 'a' + 10; }

// The removal table as 512 bits, entry 0 first, highest bit of each digit
// first.
constexpr std::array<unsigned char, 512> UnpackTable(const char* hex) {
  std::array<unsigned char, 512> t{};
  for (int i = 0; i < 512; ++i) {
    t[i] = static_cast<unsigned char>((HexDigit(hex[i / 4]) >> (3 - i % 4)) & 1);
  }
  return t;
}

using Plane = plat::PlaneView<unsigned char>;

// One pass of the four sub-passes over `value`; answers the removals.
int64_t Pass(const Plane& plane, unsigned char bg, unsigned char value, unsigned char* map) {
  const int32_t width = plane.width;
  const int32_t height = plane.height;
  int64_t removed = 0;
  auto is = [value](unsigned char s) { return s == value ? 1 : 0; };
  for (const int32_t m : masks) {
    auto test = [&](int32_t p, unsigned char* sample) {
      if ((p & m) == 0 && todelete[p] != 0) {
        *sample = bg;
        ++removed;
      }
    };
    const unsigned char* first = plane.Row(0);
    int32_t p = is(first[0]);
    for (int32_t x = 0; x < width - 1; ++x) {
      p = ((p << 1) & 0006) | is(first[x + 1]);
      map[x] = static_cast<unsigned char>(p);
    }
    for (int32_t y = 0; y < height - 1; ++y) {
      unsigned char* row = plane.Row(y);
      const unsigned char* below = plane.Row(y + 1);
      p = ((map[0] << 2) & 0330) | is(below[0]);
      for (int32_t x = 0; x < width - 1; ++x) {
        p = ((p << 1) & 0666) | ((map[x] << 3) & 0110) | is(below[x + 1]);
        map[x] = static_cast<unsigned char>(p);
        test(p, &row[x]);
      }
      p = (p << 1) & 0666;
      test(p, &row[width - 1]);
    }
    unsigned char* last = plane.Row(height - 1);
    p = (map[0] << 2) & 0330;
    for (int32_t x = 0; x < width; ++x) {
      p = ((p << 1) & 0666) | ((map[x] << 3) & 0110);
      test(p, &last[x]);
    }
  }
  return removed;
}

// `map` is the row buffer of width bytes.
void Thin(const Plane& plane, unsigned char bg, unsigned char value, unsigned char* map) {
  map[plane.width - 1] = 0;
  while (Pass(plane, bg, value, map) != 0) {
  }
}

// Every value but the background, each thinned once in the order of its
// last occurrence from the end of the plane. Thinning one value never
// touches another, so the order only keeps runs comparable.
void ThinAll(const Plane& plane, int32_t background, unsigned char* map) {
  std::array<int64_t, 256> lastAt;
  lastAt.fill(-1);
  for (int32_t y = 0; y < plane.height; ++y) {
    const unsigned char* row = plane.Row(y);
    for (int32_t x = 0; x < plane.width; ++x) {
      lastAt[row[x]] = static_cast<int64_t>(y) * plane.width + x;
    }
  }
  std::array<int32_t, 256> order{};
  int32_t count = 0;
  for (int32_t v = 0; v < 256; ++v) {
    if (lastAt[v] >= 0 && v != background) order[count++] = v;
  }
  std::sort(order.begin(), order.begin() + count,
            [&lastAt](int32_t a, int32_t b) { return lastAt[a] > lastAt[b]; });
  for (int32_t k = 0; k < count; ++k) {
    Thin(plane, static_cast<unsigned char>(background), static_cast<unsigned char>(order[k]), map);
  }
}

}  // namespace

const int32_t masks[4] = {0200, 0002, 0040, 0010};

constexpr std::array<unsigned char, 512> todelete = UnpackTable(
    "0000137300003b33000000f300000033000000f30000bbff000080f30000bbff"
    "000000000000bb330000000000000033000080f30000bbff000080f30000bbff");

int32_t thin1(unsigned char* plane, int32_t height, int32_t width, int32_t background,
              unsigned char value) {
  const Plane view = Plane::Packed(plane, width, height);
  if (!view.valid()) return 0;
  plat::Block<unsigned char> map(width);
  if (!map) return -1;
  Thin(view, static_cast<unsigned char>(background), value, map.get());
  return 0;
}

int32_t thin_image(unsigned char* plane, int32_t height, int32_t width, int32_t background) {
  const Plane view = Plane::Packed(plane, width, height);
  if (!view.valid()) return 0;
  // The row buffer is taken once here: without it nothing could be thinned,
  // and the caller must hear so.
  plat::Block<unsigned char> map(width);
  if (!map) return -1;
  ThinAll(view, background, map.get());
  return 0;
}
