#include "engines/correction/yoxel_seams.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "app/core/memory_manager.h"
#include "operations/effects.h"
#include "platform/memory/block.h"
#include "platform/parallel/cancel.h"
#include "platform/parallel/parallel.h"
#include "platform/parallel/simd.h"

#if VMK_SIMD_X86
#include <immintrin.h>
#endif

thread_local int16_t addweight = 0;

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

// One row of a vertical map, columns lo..hi: the energies plus the least of the three
// sums above. Rows are contiguous, so the inner columns run without index arithmetic or
// edge tests.
//
// Measured (bench/resize_grid_engines, 8-core x86-64 shared with other builds, -O2):
// 2048 x 1536 narrowed by 512 seams took 11.4 s with one strided loop for every step
// (liblqr 2.8 s then); with this row form and memmove shifts it takes 4.2 s (liblqr
// 2.1 s), and 1024 x 768 widened by 256 seams 2.2 s -> 0.6 s (liblqr 0.26 s). The map is
// now about half of the time: its sums are formed in 64 bits and clamped, which keeps the
// loop scalar; the in-place shifts of the seven planes are most of the rest.
// The inner columns first..last of a map row: energies plus the least of the three sums
// above, in 64 bits and clamped (e3 may be null).
using InnerFn = void (*)(int32_t first, int32_t last, int32_t* cur, const int32_t* prev,
                         const int32_t* e1, const int32_t* e2, const int32_t* e3);

void InnerPlain(int32_t first, int32_t last, int32_t* cur, const int32_t* prev, const int32_t* e1,
                const int32_t* e2, const int32_t* e3) {
  if (e3 != nullptr) {
    for (int32_t j = first; j <= last; ++j) {
      const int32_t least = std::min(std::min(prev[j - 1], prev[j]), prev[j + 1]);
      cur[j] = Saturate(static_cast<int64_t>(e1[j]) + e2[j] + e3[j] + least);
    }
  } else {
    for (int32_t j = first; j <= last; ++j) {
      const int32_t least = std::min(std::min(prev[j - 1], prev[j]), prev[j + 1]);
      cur[j] = Saturate(static_cast<int64_t>(e1[j]) + e2[j] + least);
    }
  }
}

#if VMK_SIMD_X86
// Four 32-bit values widened to 64 bits.
VMK_TARGET_AVX2 inline __m256i Wide4(const int32_t* p) {
  return _mm256_cvtepi32_epi64(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

// Four sums of the row held to +-kMaxEnergy, as Saturate does, then narrowed back.
VMK_TARGET_AVX2 inline __m128i Held4(__m256i sum) {
  const __m256i top = _mm256_set1_epi64x(kMaxEnergy), bottom = _mm256_set1_epi64x(-kMaxEnergy);
  sum = _mm256_blendv_epi8(sum, top, _mm256_cmpgt_epi64(sum, top));
  sum = _mm256_blendv_epi8(sum, bottom, _mm256_cmpgt_epi64(bottom, sum));
  const __m256i low = _mm256_permutevar8x32_epi32(sum, _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6));
  return _mm256_castsi256_si128(low);
}

// InnerPlain four columns a step: the least of the three sums above in 32-bit lanes, the
// energies and the least summed in 64-bit lanes in the same order, clamped the same way.
VMK_TARGET_AVX2 void InnerAvx2(int32_t first, int32_t last, int32_t* cur, const int32_t* prev,
                               const int32_t* e1, const int32_t* e2, const int32_t* e3) {
  int32_t j = first;
  for (; j + 3 <= last; j += 4) {
    const __m128i l = _mm_loadu_si128(reinterpret_cast<const __m128i*>(prev + j - 1));
    const __m128i m = _mm_loadu_si128(reinterpret_cast<const __m128i*>(prev + j));
    const __m128i r = _mm_loadu_si128(reinterpret_cast<const __m128i*>(prev + j + 1));
    const __m256i least = _mm256_cvtepi32_epi64(_mm_min_epi32(_mm_min_epi32(l, m), r));
    __m256i sum = _mm256_add_epi64(Wide4(e1 + j), Wide4(e2 + j));
    if (e3 != nullptr) sum = _mm256_add_epi64(sum, Wide4(e3 + j));
    sum = _mm256_add_epi64(sum, least);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(cur + j), Held4(sum));
  }
  if (j <= last) InnerPlain(j, last, cur, prev, e1, e2, e3);
}
#endif

InnerFn PickInner() {
#if VMK_SIMD_X86
  return plat::PickKernel<InnerFn>(InnerPlain, InnerAvx2);
#else
  return InnerPlain;
#endif
}

void MapRow(int32_t i, int32_t lo, int32_t hi, int32_t across, int32_t* cur, const int32_t* prev,
            const int32_t* e1, const int32_t* e2, const int32_t* e3, InnerFn inner) {
  auto energy = [&](int32_t j) {
    return static_cast<int64_t>(e1[j]) + e2[j] + (e3 != nullptr ? e3[j] : 0);
  };
  if (i == 0) {
    for (int32_t j = lo; j <= hi; ++j) cur[j] = Saturate(energy(j));
    return;
  }
  auto edgeSum = [&](int32_t j) {
    int32_t least = prev[j];
    if (j > 0) least = std::min(least, prev[j - 1]);
    if (j + 1 < across) least = std::min(least, prev[j + 1]);
    cur[j] = Saturate(energy(j) + least);
  };
  const int32_t first = std::max(lo, 1), last = std::min(hi, across - 2);
  if (lo < first) edgeSum(lo);
  inner(first, last, cur, prev, e1, e2, e3);
  for (int32_t j = std::max(last + 1, first); j <= hi; ++j) edgeSum(j);
}

// A horizontal map, columns taken sixteen at a time (one cache line of a row) along a
// skewed front: column i of the group runs two rows behind column i - 1, so the three
// samples it reads from that column are final, and each row's line serves the whole
// group while it is in the cache. Walked one column at a time, every sample sat on its
// own line: 2048 x 1536 lowered by 384 seams took about 20 s (bench/resize_grid_engines,
// loaded 8-core machine), ten times the same number of vertical seams; this way about
// 14 s. Rows a power-of-two stride apart still share cache sets, which keeps it from
// doing better; groups of 64 columns or a lag of one row measured the same.
// `range(i, &lo, &hi)` gives the rows column i recomputes (the cone).
template <class R>
void MapColumns(int32_t along, int32_t across, int32_t stride, int32_t* map, const int32_t* e1,
                const int32_t* e2, const int32_t* e3, R range) {
  constexpr int32_t kGroup = 16;
  const int64_t s = stride;
  auto cell = [&](int32_t i, int32_t j) {
    const int64_t k = j * s + i;
    int64_t v = static_cast<int64_t>(e1[k]) + e2[k] + (e3 != nullptr ? e3[k] : 0);
    if (i > 0) {
      int32_t least = map[k - 1];
      if (j > 0) least = std::min(least, map[k - 1 - s]);
      if (j + 1 < across) least = std::min(least, map[k - 1 + s]);
      v += least;
    }
    map[k] = Saturate(v);
  };
  int32_t lo[kGroup], hi[kGroup];
  for (int32_t i0 = 0; i0 < along; i0 += kGroup) {
    const int32_t n = std::min(kGroup, along - i0);
    int32_t tFirst = std::numeric_limits<int32_t>::max(), tLast = std::numeric_limits<int32_t>::min();
    for (int32_t c = 0; c < n; ++c) {
      range(i0 + c, &lo[c], &hi[c]);
      if (lo[c] > hi[c]) continue;
      tFirst = std::min(tFirst, lo[c] + 2 * c);
      tLast = std::max(tLast, hi[c] + 2 * c);
    }
    for (int32_t t = tFirst; t <= tLast; ++t) {
      for (int32_t c = 0; c < n; ++c) {
        const int32_t j = t - 2 * c;
        if (j >= lo[c] && j <= hi[c]) cell(i0 + c, j);
      }
    }
  }
}

void Map(const Axis& a, int32_t along, int32_t across, int32_t* map, const int32_t* e1, const int32_t* e2,
         const int32_t* e3, const pixXY* seed) {
  if (map == nullptr || e1 == nullptr || e2 == nullptr || along <= 0 || across <= 0) return;
  const int32_t s = seed != nullptr ? a.across(*seed) : 0;
  auto range = [&](int32_t i, int32_t* lo, int32_t* hi) {
    *lo = 0;
    *hi = across - 1;
    if (seed != nullptr) {
      // A removal averages the seam's left neighbour and the edge refresh reaches three
      // pixels left and two right of the seam, so the cone starts that much wider than
      // the seam's own reach of one column per row; narrower, it would keep stale sums.
      *lo = std::max(s - 3 - i, 0);
      *hi = std::min(s + 2 + i, across - 1);
    }
  };
  if (!a.vertical) {
    MapColumns(along, across, a.stride, map, e1, e2, e3, range);
    return;
  }
  const InnerFn inner = PickInner();
  for (int32_t i = 0; i < along; ++i) {
    int32_t lo = 0, hi = 0;
    range(i, &lo, &hi);
    const int64_t row = static_cast<int64_t>(i) * a.stride;
    MapRow(i, lo, hi, across, map + row, i > 0 ? map + row - a.stride : nullptr, e1 + row, e2 + row,
           e3 != nullptr ? e3 + row : nullptr, inner);
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

struct Planes {
  uint8_t* bytes[4];
  int32_t* words[3];  // map, edge, mask
};

// Rows per band when a vertical seam's rows are moved or refreshed.
constexpr int32_t kSeamBandRows = 16;

// Vertical seams: each row is contiguous, so the tail moves with one memmove.
template <class T>
void RemoveInRow(T* row, int32_t x, int32_t across) {
  if (row == nullptr || x == across - 1) return;  // the last one drops out
  if (x > 0) {
    row[x - 1] = Mean(row[x - 1], row[x]);
    row[x] = Mean(row[x], row[x + 1]);
    std::memmove(row + x + 1, row + x + 2, static_cast<size_t>(across - x - 2) * sizeof(T));
  } else {
    std::memmove(row, row + 1, static_cast<size_t>(across - 1) * sizeof(T));
  }
}

// Horizontal seams, taken row by row (a column walk would touch one sample per row):
// row j of a column whose seam lies at x (0 <= x <= across - 2) becomes the mean of rows
// j and j + 1 at j = x - 1 and j = x (x > 0), row j + 1 from max(x - 1, 0) on otherwise.
// Rows are visited downward, so row j + 1 still holds its old samples.
//
// Only the band of rows the seam crosses needs a look at each column: above it nothing
// moves, below it (every point in place) whole rows move up by one copy.
struct Band {
  int32_t lo = 0, hi = 0;  // least and greatest seam row
  Band(const std::vector<int32_t>& xs) {
    if (xs.empty()) return;
    const auto [a, b] = std::minmax_element(xs.begin(), xs.end());
    lo = *a;
    hi = *b;
  }
};

template <class T>
void RemoveByRows(T* p, int32_t stride, int32_t along, int32_t across, const int32_t* xs, const Band& band) {
  if (p == nullptr) return;
  for (int32_t j = std::max(band.lo - 1, 0); j + 1 < across; ++j) {
    T* row = p + static_cast<int64_t>(j) * stride;
    const T* next = row + stride;
    if (band.lo >= 0 && j > band.hi) {
      std::memcpy(row, next, static_cast<size_t>(along) * sizeof(T));
      continue;
    }
    for (int32_t i = 0; i < along; ++i) {
      const int32_t x = xs[i];
      if (x < 0 || x > across - 2 || j < x - 1) continue;
      row[i] = j <= x && x > 0 ? Mean(row[i], next[i]) : next[i];
    }
  }
}

void Remove(const Axis& a, int32_t along, int32_t across, const Planes& p, const pixXY* seam) {
  if (seam == nullptr) return;
  if (!a.vertical) {
    std::vector<int32_t> xs(static_cast<size_t>(along));
    for (int32_t i = 0; i < along; ++i) xs[i] = a.across(seam[i]);
    const Band band(xs);
    for (uint8_t* b : p.bytes) RemoveByRows(b, a.stride, along, across, xs.data(), band);
    for (int32_t* w : p.words) RemoveByRows(w, a.stride, along, across, xs.data(), band);
    return;
  }
  // A vertical seam moves each row's tail within the row: the rows go in bands to the shared
  // threads.
  plat::ParallelFor(0, along, kSeamBandRows, [&](int32_t first, int32_t end) {
    for (int32_t i = first; i < end; ++i) {
      const int32_t x = a.across(seam[i]);
      if (x < 0 || x >= across) continue;
      const int64_t row = static_cast<int64_t>(i) * a.stride;
      for (uint8_t* b : p.bytes) RemoveInRow(b != nullptr ? b + row : nullptr, x, across);
      for (int32_t* w : p.words) RemoveInRow(w != nullptr ? w + row : nullptr, x, across);
    }
  });
}

// Vertical seams: the samples from the seam point on move right with one memmove; the
// seam point becomes the mean of its left neighbour and itself (column 0 copies column 1,
// its own old sample).
template <class T>
void InsertInRow(T* row, int32_t x, int32_t across) {
  if (row == nullptr) return;
  std::memmove(row + x + 1, row + x, static_cast<size_t>(across - 1 - x) * sizeof(T));
  row[x] = x > 0 ? Mean(row[x - 1], row[x]) : row[1];
}

// Horizontal insertion row by row, upward so that row j - 1 still holds its old samples:
// below the seam row x a row takes the one above it; row x becomes the mean of rows
// x - 1 and x (x > 0) or keeps its own (x = 0). The added-seam plane takes old[x] +
// addweight at rows x and x + 1.
template <class T>
void InsertByRows(T* p, int32_t stride, int32_t along, int32_t across, const int32_t* xs, const Band& band) {
  if (p == nullptr) return;
  for (int32_t j = across - 1; j >= std::max(band.lo, 0); --j) {
    T* row = p + static_cast<int64_t>(j) * stride;
    const T* above = j > 0 ? row - stride : row;  // read only below the seam row
    if (band.lo >= 0 && j > band.hi) {
      std::memcpy(row, above, static_cast<size_t>(along) * sizeof(T));
      continue;
    }
    for (int32_t i = 0; i < along; ++i) {
      const int32_t x = xs[i];
      if (x < 0 || x > across - 2 || j < x) continue;
      if (j > x) {
        row[i] = above[i];
      } else if (x > 0) {
        row[i] = Mean(above[i], row[i]);
      }
    }
  }
}

void AddedByRows(int32_t* p, int32_t stride, int32_t along, int32_t across, const int32_t* xs, const Band& band) {
  for (int32_t j = across - 1; j >= std::max(band.lo, 0); --j) {
    int32_t* row = p + static_cast<int64_t>(j) * stride;
    if (band.lo >= 0 && j > band.hi + 1) {
      std::memcpy(row, row - stride, static_cast<size_t>(along) * sizeof(int32_t));
      continue;
    }
    for (int32_t i = 0; i < along; ++i) {
      const int32_t x = xs[i];
      if (x < 0 || x > across - 2 || j < x) continue;
      if (j > x + 1) {
        row[i] = row[i - stride];
      } else if (j == x + 1) {
        row[i] = Saturate(static_cast<int64_t>(row[i - stride]) + addweight);
      } else {
        row[i] = Saturate(static_cast<int64_t>(row[i]) + addweight);
      }
    }
  }
}

void Add(const Axis& a, int32_t along, int32_t across, const Planes& p, int32_t* added, const pixXY* seam) {
  if (seam == nullptr || across < 2) return;
  if (!a.vertical) {
    std::vector<int32_t> xs(static_cast<size_t>(along));
    for (int32_t i = 0; i < along; ++i) xs[i] = a.across(seam[i]);
    const Band band(xs);
    for (uint8_t* b : p.bytes) InsertByRows(b, a.stride, along, across, xs.data(), band);
    for (int32_t* w : p.words) InsertByRows(w, a.stride, along, across, xs.data(), band);
    if (added != nullptr) AddedByRows(added, a.stride, along, across, xs.data(), band);
    return;
  }
  for (int32_t i = 0; i < along; ++i) {
    const int32_t x = a.across(seam[i]);
    if (x < 0 || x > across - 2) continue;
    const int64_t row = static_cast<int64_t>(i) * a.stride;
    for (uint8_t* b : p.bytes) InsertInRow(b != nullptr ? b + row : nullptr, x, across);
    for (int32_t* w : p.words) InsertInRow(w != nullptr ? w + row : nullptr, x, across);
    if (added == nullptr) continue;
    int32_t* r = added + row;
    std::memmove(r + x + 1, r + x, static_cast<size_t>(across - 1 - x) * sizeof(int32_t));
    const int32_t v = Saturate(static_cast<int64_t>(r[x]) + addweight);
    r[x] = v;
    r[x + 1] = v;
  }
}

// The refresh convolves at the same place and with the same detector as the full pass,
// so a refreshed pixel holds what a full detection would give there.
void Refresh(const Axis& a, int16_t kernel, int32_t along, int32_t across, int32_t alongLimit,
             const uint8_t* lum, int32_t* edge, const pixXY* seam, int32_t stride, int32_t maxHeight) {
  if (lum == nullptr || edge == nullptr || seam == nullptr) return;
  auto points = [&](int32_t first, int32_t end) {
    for (int32_t i = first; i < end; ++i) {
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
  };
  // Each point reads the luminance, which no point writes, and writes only its own row's (or
  // column's) edge samples: the points go to the shared threads in bands.
  plat::ParallelFor(0, along, kSeamBandRows, points);
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
    // A stale preview stops between seams; its owner drops the planes.
    if (plat::Cancelled()) return 0;
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
    if (plat::Cancelled()) return 0;
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
