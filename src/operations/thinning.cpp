// Table-driven thinning. Each pixel's 3 x 3 neighbourhood map is built
// incrementally, one shift and two masks per pixel, from the map of the
// pixel to its left and the saved map of the pixel above; the plane is
// changed as it is read, so a removal is seen by the rows below it only
// through the saved maps (which hold the samples as they were read).
#include "operations/thinning.h"

#include <algorithm>
#include <array>

#include "operations/system_array.h"

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

// One pass of the four sub-passes over `value`; answers the removals.
int64_t Pass(unsigned char* plane, int32_t height, int32_t width, unsigned char bg,
             unsigned char value, unsigned char* map) {
  int64_t removed = 0;
  auto is = [value](unsigned char s) { return s == value ? 1 : 0; };
  for (const int32_t m : masks) {
    auto test = [&](int32_t p, unsigned char* sample) {
      if ((p & m) == 0 && todelete[p] != 0) {
        *sample = bg;
        ++removed;
      }
    };
    int32_t p = is(plane[0]);
    for (int32_t x = 0; x < width - 1; ++x) {
      p = ((p << 1) & 0006) | is(plane[x + 1]);
      map[x] = static_cast<unsigned char>(p);
    }
    for (int32_t y = 0; y < height - 1; ++y) {
      unsigned char* row = plane + static_cast<int64_t>(y) * width;
      const unsigned char* below = row + width;
      p = ((map[0] << 2) & 0330) | is(below[0]);
      for (int32_t x = 0; x < width - 1; ++x) {
        p = ((p << 1) & 0666) | ((map[x] << 3) & 0110) | is(below[x + 1]);
        map[x] = static_cast<unsigned char>(p);
        test(p, &row[x]);
      }
      p = (p << 1) & 0666;
      test(p, &row[width - 1]);
    }
    unsigned char* last = plane + static_cast<int64_t>(height - 1) * width;
    p = (map[0] << 2) & 0330;
    for (int32_t x = 0; x < width; ++x) {
      p = ((p << 1) & 0666) | ((map[x] << 3) & 0110);
      test(p, &last[x]);
    }
  }
  return removed;
}

void Thin(unsigned char* plane, int32_t height, int32_t width, unsigned char bg,
          unsigned char value, unsigned char* map) {
  map[width - 1] = 0;
  while (Pass(plane, height, width, bg, value, map) != 0) {
  }
}

}  // namespace

const int32_t masks[4] = {0200, 0002, 0040, 0010};

constexpr std::array<unsigned char, 512> todelete = UnpackTable(
    "0000137300003b33000000f300000033000000f30000bbff000080f30000bbff"
    "000000000000bb330000000000000033000080f30000bbff000080f30000bbff");

int32_t thin1(unsigned char* plane, int32_t height, int32_t width, int32_t background,
              unsigned char value) {
  if (plane == nullptr || height <= 0 || width <= 0) return 0;
  const operations::SystemArray<unsigned char> map(width);
  if (!map.ok()) return -1;
  Thin(plane, height, width, static_cast<unsigned char>(background), value,
       map.get());
  return 0;
}

int32_t thin_image(unsigned char* plane, int32_t height, int32_t width, int32_t background) {
  if (plane == nullptr || height <= 0 || width <= 0) return 0;
  const operations::SystemArray<unsigned char> map(width);
  if (!map.ok()) return -1;
  // Each value is thinned once, in the order of its last occurrence from
  // the end of the plane. Thinning one value never touches another, so
  // the order only matters for keeping runs comparable.
  const int64_t n = static_cast<int64_t>(height) * width;
  std::array<int64_t, 256> lastAt;
  lastAt.fill(-1);
  for (int64_t i = 0; i < n; ++i) lastAt[plane[i]] = i;
  std::array<int32_t, 256> order{};
  int32_t count = 0;
  for (int32_t v = 0; v < 256; ++v) {
    if (lastAt[v] >= 0 && v != background) order[count++] = v;
  }
  std::sort(order.begin(), order.begin() + count,
            [&lastAt](int32_t a, int32_t b) { return lastAt[a] > lastAt[b]; });
  for (int32_t k = 0; k < count; ++k) {
    Thin(plane, height, width, static_cast<unsigned char>(background),
         static_cast<unsigned char>(order[k]), map.get());
  }
  return 0;
}
