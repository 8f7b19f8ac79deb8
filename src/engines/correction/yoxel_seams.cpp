#include "engines/correction/yoxel_seams.h"

#include <algorithm>
#include <limits>

#include "app/core/memory_manager.h"
#include "operations/effects.h"
#include "platform/memory/block.h"

int16_t addweight = 0;

namespace {

constexpr int32_t kMaxEnergy = 2147483647;

int32_t Saturate(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, -kMaxEnergy, kMaxEnergy)); }

// One seam direction over the planes: `along` counts the seam's points (rows for a
// vertical seam), `across` is the live extent the seam crosses (the width).
struct Axis {
  bool vertical;
  int32_t stride;
  int64_t at(int32_t i, int32_t j) const {
    return vertical ? static_cast<int64_t>(i) * stride + j : static_cast<int64_t>(j) * stride + i;
  }
  int32_t across(const pixXY& p) const { return vertical ? p.x : p.y; }
  pixXY point(int32_t i, int32_t j) const { return vertical ? pixXY{j, i} : pixXY{i, j}; }
};

void Map(const Axis& a, int32_t along, int32_t across, int32_t* map, const int32_t* e1, const int32_t* e2,
         const int32_t* e3, const pixXY* seed) {
  if (map == nullptr || e1 == nullptr || e2 == nullptr || along <= 0 || across <= 0) return;
  const int32_t s = seed != nullptr ? a.across(*seed) : 0;
  for (int32_t i = 0; i < along; ++i) {
    int32_t lo = 0, hi = across - 1;
    if (seed != nullptr) {
      // A removal averages the seam's left neighbour and the edge refresh reaches three
      // pixels left and two right of the seam, so the cone starts that much wider than
      // the seam's own reach of one column per row; narrower, it would keep stale sums.
      lo = std::max(s - 3 - i, 0);
      hi = std::min(s + 2 + i, across - 1);
    }
    for (int32_t j = lo; j <= hi; ++j) {
      const int64_t k = a.at(i, j);
      int64_t v = static_cast<int64_t>(e1[k]) + e2[k] + (e3 != nullptr ? e3[k] : 0);
      if (i > 0) {
        int32_t least = map[a.at(i - 1, j)];
        if (j > 0) least = std::min(least, map[a.at(i - 1, j - 1)]);
        if (j + 1 < across) least = std::min(least, map[a.at(i - 1, j + 1)]);
        v += least;
      }
      map[k] = Saturate(v);
    }
  }
}

void Trace(const Axis& a, int32_t along, int32_t across, const int32_t* map, int32_t start, pixXY* seam) {
  if (map == nullptr || seam == nullptr || along <= 0 || across <= 0) return;
  int32_t c = std::clamp(start, 0, across - 1);
  for (int32_t i = along - 1; i >= 0; --i) {
    const int32_t left = c > 0 ? map[a.at(i, c - 1)] : kMaxEnergy;
    const int32_t middle = map[a.at(i, c)];
    const int32_t right = c + 1 < across ? map[a.at(i, c + 1)] : kMaxEnergy;
    int32_t pick = c, value = middle;
    if (left < middle) {
      pick = c - 1;
      value = left;
    }
    if (right < value) pick = c + 1;
    seam[i] = a.point(i, pick);
    c = pick;
  }
}

void Path(const Axis& a, int32_t along, int32_t across, const int32_t* map, pixXY* seam) {
  if (map == nullptr || along <= 0 || across <= 0) return;
  int32_t start = 0;
  for (int32_t j = 1; j < across; ++j)
    if (map[a.at(along - 1, j)] < map[a.at(along - 1, start)]) start = j;
  Trace(a, along, across, map, start, seam);
}

uint8_t Mean(uint8_t p, uint8_t q) { return static_cast<uint8_t>((p + q) >> 1); }
int32_t Mean(int32_t p, int32_t q) { return static_cast<int32_t>((static_cast<int64_t>(p) + q) / 2); }

template <class T>
void RemoveAt(const Axis& a, int32_t i, int32_t x, int32_t across, T* p) {
  if (p == nullptr) return;
  if (x == across - 1) return;  // the last one drops out
  if (x > 0) {
    p[a.at(i, x - 1)] = Mean(p[a.at(i, x - 1)], p[a.at(i, x)]);
    p[a.at(i, x)] = Mean(p[a.at(i, x)], p[a.at(i, x + 1)]);
    for (int32_t j = x + 2; j < across; ++j) p[a.at(i, j - 1)] = p[a.at(i, j)];
  } else {
    for (int32_t j = 1; j < across; ++j) p[a.at(i, j - 1)] = p[a.at(i, j)];
  }
}

struct Planes {
  uint8_t* bytes[4];
  int32_t* words[3];  // map, edge, mask
};

void Remove(const Axis& a, int32_t along, int32_t across, const Planes& p, const pixXY* seam) {
  if (seam == nullptr) return;
  for (int32_t i = 0; i < along; ++i) {
    const int32_t x = a.across(seam[i]);
    if (x < 0 || x >= across) continue;
    for (uint8_t* b : p.bytes) RemoveAt(a, i, x, across, b);
    for (int32_t* w : p.words) RemoveAt(a, i, x, across, w);
  }
}

template <class T>
void InsertAt(const Axis& a, int32_t i, int32_t x, int32_t across, T* p) {
  if (p == nullptr) return;
  for (int32_t j = across - 2; j >= x; --j) p[a.at(i, j + 1)] = p[a.at(i, j)];
  p[a.at(i, x)] = x > 0 ? Mean(p[a.at(i, x - 1)], p[a.at(i, x)]) : p[a.at(i, 1)];
}

void Add(const Axis& a, int32_t along, int32_t across, const Planes& p, int32_t* added, const pixXY* seam) {
  if (seam == nullptr || across < 2) return;
  for (int32_t i = 0; i < along; ++i) {
    const int32_t x = a.across(seam[i]);
    if (x < 0 || x > across - 2) continue;
    for (uint8_t* b : p.bytes) InsertAt(a, i, x, across, b);
    for (int32_t* w : p.words) InsertAt(a, i, x, across, w);
    if (added == nullptr) continue;
    for (int32_t j = across - 2; j >= x; --j) added[a.at(i, j + 1)] = added[a.at(i, j)];
    const int32_t v = Saturate(static_cast<int64_t>(added[a.at(i, x > 0 ? x : 1)]) + addweight);
    added[a.at(i, x)] = v;
    added[a.at(i, x + 1)] = v;
  }
}

// The refresh convolves at the same place and with the same detector as the full pass,
// so a refreshed pixel holds what a full detection would give there.
void Refresh(const Axis& a, int16_t kernel, int32_t along, int32_t across, int32_t alongLimit,
             const uint8_t* lum, int32_t* edge, const pixXY* seam, int32_t stride, int32_t maxHeight) {
  if (lum == nullptr || edge == nullptr || seam == nullptr) return;
  for (int32_t i = 0; i < along; ++i) {
    const int32_t x = a.across(seam[i]);
    const int32_t ci = i == 0 ? 1 : (i == alongLimit - 1 ? alongLimit - 2 : i);
    for (int32_t j = x - 3; j <= x + 2; ++j) {
      if (!(j > 3 && j < across - 3)) continue;
      const pixXY at = a.point(ci, j);
      int32_t v = 0;
      Effects::Convolve_Pixel(1, stride, maxHeight, lum, at.x, at.y, kernel, &v);
      edge[a.at(i, j)] = v;
    }
  }
}

int16_t RemoveLoop(const Axis& a, int16_t kernel, int32_t count, int32_t along, int32_t across,
                   int32_t maxHeight, const Planes& p) {
  const int32_t stride = a.stride;
  plat::Block<int32_t> map(static_cast<int64_t>(stride) * maxHeight, WorkSource());
  plat::Block<pixXY> seam(along, WorkSource());
  if (!map || !seam) return 0;
  Planes q = p;
  q.words[0] = map.get();
  for (int32_t n = 0; n < count && across > 1; ++n) {
    Map(a, along, across, map.get(), p.words[1], p.words[2], nullptr, n == 0 ? nullptr : &seam[0]);
    Path(a, along, across, map.get(), seam.get());
    Remove(a, along, across, q, seam.get());
    Refresh(a, kernel, along, across, a.vertical ? maxHeight : stride, p.bytes[3], p.words[1], seam.get(),
            stride, maxHeight);
    --across;
  }
  return 0;
}

int16_t AddLoop(const Axis& a, int16_t kernel, int32_t count, int32_t along, int32_t across,
                int32_t maxHeight, const Planes& p) {
  const int32_t stride = a.stride;
  const int64_t size = static_cast<int64_t>(stride) * maxHeight;
  plat::Block<int32_t> added(size, WorkSource());
  plat::Block<int32_t> map(size, WorkSource());
  plat::Block<pixXY> seam(a.vertical ? maxHeight : stride, WorkSource());
  if (!added || !map || !seam) return 0;
  added.Clear();
  Planes q = p;
  q.words[0] = map.get();
  Map(a, along, across, map.get(), p.words[1], p.words[2], added.get(), nullptr);
  Path(a, along, across, map.get(), seam.get());
  for (int32_t n = 1; n <= count; ++n) {
    const int32_t now = across + n;
    Add(a, along, now, q, added.get(), seam.get());
    Refresh(a, kernel, along, now, a.vertical ? maxHeight : stride, p.bytes[3], p.words[1], seam.get(),
            stride, maxHeight);
    if (n == count) break;
    Map(a, along, now, map.get(), p.words[1], p.words[2], added.get(), &seam[0]);
    Path(a, along, now, map.get(), seam.get());
  }
  return 0;
}

Planes PlanesOf(uint8_t* r, uint8_t* g, uint8_t* b, uint8_t* l, int32_t* map, int32_t* edge, int32_t* mask) {
  return {{r, g, b, l}, {map, edge, mask}};
}

}  // namespace

void Energy_VMap(int32_t height, int32_t width, int32_t stride, int32_t, int32_t* map,
                 const int32_t* e1, const int32_t* e2, const int32_t* e3, const pixXY* seed) {
  Map({true, stride}, height, width, map, e1, e2, e3, seed);
}
void Energy_HMap(int32_t height, int32_t width, int32_t stride, int32_t, int32_t* map,
                 const int32_t* e1, const int32_t* e2, const int32_t* e3, const pixXY* seed) {
  Map({false, stride}, width, height, map, e1, e2, e3, seed);
}
void Energy_VPath(int32_t height, int32_t width, int32_t stride, int32_t, const int32_t* map, pixXY* seam) {
  Path({true, stride}, height, width, map, seam);
}
void Energy_HPath(int32_t height, int32_t width, int32_t stride, int32_t, const int32_t* map, pixXY* seam) {
  Path({false, stride}, width, height, map, seam);
}
void Generate_VPath(int32_t height, int32_t width, int32_t stride, int32_t, const int32_t* map,
                    int32_t start, pixXY* seam) {
  Trace({true, stride}, height, width, map, start, seam);
}
void Generate_HPath(int32_t height, int32_t width, int32_t stride, int32_t, const int32_t* map,
                    int32_t start, pixXY* seam) {
  Trace({false, stride}, width, height, map, start, seam);
}
void Remove_VPath(int32_t height, int32_t width, int32_t stride, int32_t, uint8_t* red, uint8_t* green,
                  uint8_t* blue, uint8_t* luminance, int32_t* map, int32_t* edge, int32_t* mask,
                  const pixXY* seam) {
  Remove({true, stride}, height, width, PlanesOf(red, green, blue, luminance, map, edge, mask), seam);
}
void Remove_HPath(int32_t height, int32_t width, int32_t stride, int32_t, uint8_t* red, uint8_t* green,
                  uint8_t* blue, uint8_t* luminance, int32_t* map, int32_t* edge, int32_t* mask,
                  const pixXY* seam) {
  Remove({false, stride}, width, height, PlanesOf(red, green, blue, luminance, map, edge, mask), seam);
}
void Add_VPath(int32_t height, int32_t newWidth, int32_t stride, int32_t, uint8_t* red, uint8_t* green,
               uint8_t* blue, uint8_t* luminance, int32_t* map, int32_t* edge, int32_t* mask,
               int32_t* added, const pixXY* seam) {
  Add({true, stride}, height, newWidth, PlanesOf(red, green, blue, luminance, map, edge, mask), added, seam);
}
void Add_HPath(int32_t newHeight, int32_t width, int32_t stride, int32_t, uint8_t* red, uint8_t* green,
               uint8_t* blue, uint8_t* luminance, int32_t* map, int32_t* edge, int32_t* mask,
               int32_t* added, const pixXY* seam) {
  Add({false, stride}, width, newHeight, PlanesOf(red, green, blue, luminance, map, edge, mask), added, seam);
}
void AdjustV_Edge(int16_t kernel, int32_t height, int32_t width, int32_t stride, int32_t maxHeight,
                  const uint8_t* luminance, int32_t* edge, const pixXY* seam) {
  Refresh({true, stride}, kernel, height, width, maxHeight, luminance, edge, seam, stride, maxHeight);
}
void AdjustH_Edge(int16_t kernel, int32_t height, int32_t width, int32_t stride, int32_t maxHeight,
                  const uint8_t* luminance, int32_t* edge, const pixXY* seam) {
  Refresh({false, stride}, kernel, width, height, stride, luminance, edge, seam, stride, maxHeight);
}
int16_t Smart_VRemove(int16_t kernel, int32_t count, int32_t height, int32_t width, int32_t stride,
                      int32_t maxHeight, uint8_t* red, uint8_t* green, uint8_t* blue, uint8_t* luminance,
                      int32_t* edge, int32_t* mask) {
  return RemoveLoop({true, stride}, kernel, count, height, width, maxHeight,
                    PlanesOf(red, green, blue, luminance, nullptr, edge, mask));
}
int16_t Smart_VAdd(int16_t kernel, int32_t count, int32_t height, int32_t width, int32_t stride,
                   int32_t maxHeight, uint8_t* red, uint8_t* green, uint8_t* blue, uint8_t* luminance,
                   int32_t* edge, int32_t* mask) {
  return AddLoop({true, stride}, kernel, count, height, width, maxHeight,
                 PlanesOf(red, green, blue, luminance, nullptr, edge, mask));
}
int16_t Smart_HRemove(int16_t kernel, int32_t count, int32_t height, int32_t width, int32_t stride,
                      int32_t maxHeight, uint8_t* red, uint8_t* green, uint8_t* blue, uint8_t* luminance,
                      int32_t* edge, int32_t* mask) {
  return RemoveLoop({false, stride}, kernel, count, width, height, maxHeight,
                    PlanesOf(red, green, blue, luminance, nullptr, edge, mask));
}
int16_t Smart_HAdd(int16_t kernel, int32_t count, int32_t height, int32_t width, int32_t stride,
                   int32_t maxHeight, uint8_t* red, uint8_t* green, uint8_t* blue, uint8_t* luminance,
                   int32_t* edge, int32_t* mask) {
  return AddLoop({false, stride}, kernel, count, width, height, maxHeight,
                 PlanesOf(red, green, blue, luminance, nullptr, edge, mask));
}
