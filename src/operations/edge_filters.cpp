// Relief and edges: the two-tap emboss, the edge map made of four embossed
// directions, sharpening that spares flat areas, the thinned skeleton of a
// threshold and the contour lines of a source layer.
//
// The emboss offset is chosen among the points on the border of the
// (2 * depth + 1)^2 square, the one whose direction lies nearest the
// angle folded into 0..90 degrees, its signs then set by the quadrant.
// Its depth is limited to 1000 pixels: the square kernel it goes through
// would otherwise take gigabytes for two taps.
//
// The edge map's contrast table stretches the edge strengths from a lower
// bound t up (contrast c >= 0: t = 2c, at most 255) or squeezes them below
// t = 2c + 256 (c < 0; c is held at -128 and up so that t is never
// negative), then turns them over so that edges come out dark on white.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "operations/edge_mix.h"
#include "operations/effect_support.h"
#include "operations/effects.h"
#include "operations/outline_tracing.h"
#include "operations/thinning.h"
#include "platform/parallel/byte_passes.h"
#include "platform/parallel/cancel.h"
#include "platform/parallel/parallel.h"
#include "platform/parallel/progress.h"
#include "raster/blend_filters.h"
#include "raster/convolution.h"

using effect_support::Blend;
using effect_support::Clamp255;
using effect_support::ClampRegion;
using effect_support::Weight;

namespace {

constexpr int32_t kMaxEmbossDepth = 1000;
// The contour lines keep one outline list per level.
constexpr int32_t kMaxLevels = 130;
// Levels traced side by side. Measured tracing ten levels of a 6000 x 4000 source (the mean of
// two ramps and an (x ^ y) plane) on the shared 8-core machine under a load of about 18: one
// level after the other 0.34 s, five at once 0.19 s. More at once would take more memory (two
// bytes a source pixel each) for rounds that the slowest level decides anyway.
constexpr int32_t kMostLevelsAtOnce = 5;

struct KernelOffset {
  int32_t dx;
  int32_t dy;
};

// The emboss offset for a depth and an angle in degrees.
KernelOffset EmbossOffset(int32_t r, int32_t angle) {
  while (angle > 360) angle -= 360;
  int32_t folded = angle;
  if (angle > 90 && angle <= 180) {
    folded = 180 - angle;
  } else if (angle > 180 && angle <= 270) {
    folded = angle - 180;
  } else if (angle > 270 && angle <= 360) {
    folded = 360 - angle;
  }
  const double a = static_cast<float>(folded) * 6.2831855f / 360.0f;
  KernelOffset o{r, 0};
  double best = 0.0;
  // Depth 0 has a single candidate, the centre itself.
  if (r > 0) {
    for (int32_t i = 0; i <= r; ++i) {
      const double theta = std::atan(static_cast<double>(i) / r);
      if (std::fabs(theta - a) < std::fabs(a - best)) {
        o = {r, i};
        best = theta;
      }
    }
    for (int32_t j = 0; j <= r; ++j) {
      const double theta = j == 0 ? 3.141592653589793 / 2.0 : std::atan(static_cast<double>(r) / j);
      if (std::fabs(theta - a) < std::fabs(a - best)) {
        o = {j, r};
        best = theta;
      }
    }
  }
  if (angle >= 91 && angle <= 180) {
    o.dx = -o.dx;
  } else if (angle >= 181 && angle <= 270) {
    o = {-o.dx, -o.dy};
  } else if (angle >= 271 && angle <= 360) {
    o.dy = -o.dy;
  }
  return o;
}

// Edge strength of an embossed sample (bias 128): twice its distance from
// the bias, at most 255.
int32_t EdgeStrength(int32_t e) { return std::min(255, e <= 128 ? 2 * (128 - e) : 2 * e - 256); }

// The contrast table of the edge map, already turned over.
void EdgeTable(int32_t contrast, int32_t table[256]) {
  const int32_t c = std::max(contrast, -128);
  if (c >= 0) {
    const int32_t t = std::min(255, 2 * c);
    for (int32_t i = 0; i < 256; ++i) table[i] = i <= t ? 0 : (i - t) * 255 / (255 - t);
  } else {
    const int32_t t = 2 * c + 256;
    for (int32_t i = 0; i < 256; ++i) table[i] = i > t ? 255 : (t == 0 ? 0 : i * 255 / t);
  }
  for (int32_t i = 0; i < 256; ++i) table[i] = Clamp255(255 - table[i]);
}

// The edge map of a packed plane (rw x rh) into `edges`: the strongest of
// the four directions. `work` is overwritten.
int32_t EdgeMap(unsigned char* work, const unsigned char* unfiltered, unsigned char* edges,
                const unsigned char* mask, int32_t rw, int32_t rh, int16_t depth) {
  const int64_t size = static_cast<int64_t>(rw) * rh;
  // Each direction a quarter of the progress; a stopped render gets no map (nothing reads an
  // unfinished one).
  int32_t quarter = 0;
  for (const int16_t angle : {0, 90, 180, 270}) {
    if (plat::Cancelled()) return -1;
    const plat::ProgressStage stage(quarter / 4.0, (quarter + 1) / 4.0);
    ++quarter;
    if (Effects::Emboss(0, 255, work, mask, rh, rw, 0, 0, rw - 1, rh - 1, depth, 1, 128, angle,
                        1) != 0) {
      return -1;
    }
    // Each sample's strength from its own embossed sample alone: in runs on the shared threads.
    plat::ForEachByteRun(size, [=](int64_t first, int64_t last) {
      for (int64_t i = first; i < last; ++i) {
        const int32_t m = EdgeStrength(work[i]);
        edges[i] = static_cast<unsigned char>(angle == 0 ? m : std::max<int32_t>(m, edges[i]));
      }
    });
    plat::CopyBytes(work, unfiltered, size);
  }
  return plat::Cancelled() ? -1 : 0;
}

// Sharpening by the raster core's matrix of `level`, `passes` times over
// the whole plane.
void SharpenPasses(unsigned char* plane, int32_t width, int32_t height, int16_t weight,
                   int16_t passes, int16_t level) {
  if (level == 0) return;  // no matrix: nothing to apply
  int32_t kernel[9] = {};
  int16_t divisor = 0;
  Load_matrix(0, level, kernel, &divisor);
  const auto strength = static_cast<int32_t>(weight * 40.96 + 0.5);
  for (int32_t p = 0; p < passes; ++p) {
    (void)X_Mat_Chbuf(width, height, plane, 0, 0, width - 1, height - 1, 0, divisor, kernel,
                      strength);
  }
}

// Frees every traced list however the contour lines end.
// The target pixel of an outline's corner. Corner coordinates count rows upward from the bottom;
// a source larger than the target draws along the target's last row and column.
coords TargetPixel(coords corner, int32_t width, int32_t height) {
  const int64_t row = static_cast<int64_t>(height) - corner.y;
  return {std::min<uint32_t>(corner.x, static_cast<uint32_t>(width - 1)),
          static_cast<uint32_t>(std::clamp<int64_t>(row, 0, height - 1))};
}

int64_t PixelOf(coords corner, int32_t width, int32_t height) {
  const coords p = TargetPixel(corner, width, height);
  return static_cast<int64_t>(p.y) * width + p.x;
}

// 0 below the level, 255 from it on; written so that the compiler takes 16 samples at a time.
void TwoLevels(unsigned char* __restrict plane, const unsigned char* __restrict source,
               int64_t count, unsigned char level) {
  for (int64_t p = 0; p < count; ++p)
    plane[p] = static_cast<unsigned char>(0 - static_cast<unsigned char>(source[p] >= level));
}

struct TracedLevels {
  pixel_outline_list_type lists[kMaxLevels] = {};
  int32_t count = 0;
  ~TracedLevels() {
    for (int32_t i = 0; i < count; ++i) free_pixel_outline_list(&lists[i]);
  }
};

}  // namespace

void MixByEdges(unsigned char* plane, const unsigned char* edges, const unsigned char* other,
                int32_t width, int32_t height, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  int32_t table[256];
  X_lutcontrast(table, 40);
  ClampRegion(width, height, x0, y0, x1, y1);
  for (int32_t y = y0; y < y1; ++y) {
    for (int32_t x = x0; x <= x1; ++x) {
      const int64_t i = static_cast<int64_t>(y) * width + x;
      const int32_t t = table[edges[i]] * 100 / 255;
      plane[i] = static_cast<unsigned char>((t * plane[i] + (100 - t) * other[i]) / 100);
    }
  }
}

int32_t Effects::Emboss(int16_t mode, int16_t opacity, unsigned char* buffer,
                        const unsigned char* mask, int32_t height, int32_t width, int32_t x0,
                        int32_t y0, int32_t x1, int32_t y1, int16_t depth, int16_t channels,
                        int16_t bias, int16_t angle, int16_t divisor) {
  if (buffer == nullptr || width <= 0 || height <= 0) return -1;
  if (depth < 0 || depth > kMaxEmbossDepth || channels < 1 || channels > 9) return -1;
  const int32_t r = depth;
  const int32_t side = 2 * r + 1;
  plat::Block<int32_t> kernel(static_cast<int64_t>(side) * side, WorkSource());
  if (!kernel) return -1;
  kernel.Clear();
  unsigned char biases[9];
  std::memset(biases, static_cast<unsigned char>(bias & 0xFF), sizeof biases);
  const KernelOffset o = EmbossOffset(r, angle);
  // Rows grow downward: +1 up-right of the centre, -1 opposite. At depth 0
  // both fall on the centre and the -1 stays.
  kernel[static_cast<int64_t>(r - o.dy) * side + (r + o.dx)] = 1;
  kernel[static_cast<int64_t>(r + o.dy) * side + (r - o.dx)] = -1;
  return ApplyMatrix(mode, opacity, buffer, mask, 1, 1, width, height, x0, x1, y0, y1, depth,
                     channels, biases, static_cast<float>(divisor), kernel.get());
}

int32_t Effects::FindEdge(int16_t mode, int16_t opacity, unsigned char* plane,
                          const unsigned char* mask, int32_t height, int32_t width, int32_t x0,
                          int32_t y0, int32_t x1, int32_t y1, int32_t strength, int16_t depth,
                          int16_t contrast) {
  if (plane == nullptr || width <= 0 || height <= 0) return -1;
  ClampRegion(width, height, x0, y0, x1, y1);
  if (x0 > x1 || y0 > y1) return 0;
  const int32_t rw = x1 - x0 + 1, rh = y1 - y0 + 1;
  const int64_t size = static_cast<int64_t>(rw) * rh;
  plat::Block<unsigned char> work(size, WorkSource()), unfiltered(size, WorkSource());
  plat::Block<unsigned char> edges(size, WorkSource());
  if (!work || !unfiltered || !edges) return -1;
  unsigned char* const packed = unfiltered.get();
  {
    // A pass over memory: the edge map's embossings, which take nearly all the time, move the
    // meter (nine tenths of it; the blend the rest).
    const plat::QuietProgress quiet;
    plat::ParallelFor(0, rh, effect_support::kPixelBandRows, [=](int32_t first, int32_t end) {
      for (int32_t y = first; y < end; ++y)
        std::memcpy(packed + static_cast<int64_t>(y) * rw,
                    plane + static_cast<int64_t>(y + y0) * width + x0, static_cast<size_t>(rw));
    });
  }
  plat::CopyBytes(work.get(), packed, size);
  {
    const plat::ProgressStage mapping(0.0, 0.9);
    // The embossing reads the caller's mask as a plane of the region's width.
    if (EdgeMap(work.get(), packed, edges.get(), mask, rw, rh, depth) != 0) return -1;
  }
  int32_t table[256];
  EdgeTable(contrast, table);
  const int32_t k = Clamp255(strength);
  // Each pixel from its own packed samples: the rows in bands on the shared threads.
  const unsigned char* const edge = edges.get();
  const plat::ProgressStage blending(0.9, 1.0);
  plat::ParallelFor(y0, y1 + 1, effect_support::kPixelBandRows, [&](int32_t first, int32_t end) {
    for (int32_t y = first; y < end; ++y) {
      for (int32_t x = x0; x <= x1; ++x) {
        const int64_t i = static_cast<int64_t>(y) * width + x;
        const int64_t j = static_cast<int64_t>(y - y0) * rw + (x - x0);
        const int32_t a = mask != nullptr ? opacity * k * mask[i] / 65025 : opacity * k / 255;
        plane[i] = Blend(mode, packed[j], table[edge[j]], a);
      }
    }
  });
  return 0;
}

int32_t Effects::X_sharpedg_buf(int32_t width, int32_t height, unsigned char* plane, int32_t x0,
                                int32_t y0, int32_t x1, int32_t y1, int16_t weight,
                                int16_t passes, int16_t level, int16_t edgeDepth) {
  if (plane == nullptr || width <= 0 || height <= 0) return -1;
  if (edgeDepth == 0) {
    SharpenPasses(plane, width, height, weight, passes, level);
    return 0;
  }
  const int64_t size = static_cast<int64_t>(width) * height;
  plat::Block<unsigned char> edges(size, WorkSource()), sharp(size, WorkSource());
  // Unsharpened for want of memory is a failure, and the caller hears of it.
  if (!edges || !sharp) return -1;
  std::memcpy(edges.get(), plane, static_cast<size_t>(size));
  std::memcpy(sharp.get(), plane, static_cast<size_t>(size));
  if (FindEdge(0, 255, edges.get(), nullptr, height, width, 0, 0, width - 1, height - 1, 255,
               edgeDepth, -64) != 0) {
    return -1;
  }
  SharpenPasses(sharp.get(), width, height, weight, passes, level);
  MixByEdges(plane, edges.get(), sharp.get(), width, height, x0, y0, x1, y1);
  return 0;
}

int32_t Effects::Skeleton(int16_t mode, int16_t opacity, int16_t channels, unsigned char* red,
                          unsigned char* green, unsigned char* blue, int32_t height,
                          int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                          const unsigned char* mask, int16_t edge) {
  if (red == nullptr || width <= 0 || height <= 0) return -1;
  if (channels != 1 && (channels != 3 || green == nullptr || blue == nullptr)) return -1;
  const int64_t size = static_cast<int64_t>(width) * height;
  plat::Block<unsigned char> work(size, WorkSource());
  if (!work) return -1;
  for (int64_t i = 0; i < size; ++i) {
    const int32_t v = channels == 1 ? red[i] : (red[i] + green[i] + blue[i]) / 3;
    work[i] = v >= 128 ? 255 : 0;
  }
  if (edge == 1 && FindEdge(0, 255, work.get(), nullptr, height, width, 0, 0, width - 1,
                            height - 1, 255, 1, 0) != 0) {
    return -1;
  }
  if (thin_image(work.get(), height, width, 255) != 0) return -1;
  ClampRegion(width, height, x0, y0, x1, y1);
  unsigned char* planes[3] = {red, green, blue};
  for (int32_t y = y0; y <= y1; ++y) {
    for (int32_t x = x0; x <= x1; ++x) {
      const int64_t i = static_cast<int64_t>(y) * width + x;
      const int32_t a = Weight(mask, i, opacity);
      for (int32_t k = 0; k < channels; ++k) planes[k][i] = Blend(mode, planes[k][i], work[i], a);
    }
  }
  return 0;
}

int32_t Effects::GeoLevels(int16_t mode, int16_t opacity, int16_t channels,
                           const unsigned char* source, int32_t srcHeight, int32_t srcWidth,
                           unsigned char* red, unsigned char* green, unsigned char* blue,
                           int32_t height, int32_t width, int32_t x0, int32_t y0, int32_t x1,
                           int32_t y1, const unsigned char* mask, int16_t count,
                           const unsigned char* colour) {
  if (source == nullptr || red == nullptr || colour == nullptr) return -1;
  if (srcWidth <= 0 || srcHeight <= 0 || width <= 0 || height <= 0) return -1;
  if (channels != 1 && (channels != 3 || green == nullptr || blue == nullptr)) return -1;
  const int32_t levels = std::clamp<int32_t>(count, 0, kMaxLevels);
  const int64_t srcSize = static_cast<int64_t>(srcWidth) * srcHeight;
  const int64_t size = static_cast<int64_t>(width) * height;

  // The levels are traced side by side, each on its own two-level plane (and the tracer's own
  // marks): `side` planes at a time, in as few rounds as that allows, evened out. Five at most,
  // as each takes two bytes a source pixel; one when more cannot be had.
  TracedLevels traced;
  {
    const int32_t most =
        std::clamp(std::min(plat::ThreadCount(), kMostLevelsAtOnce), 1, std::max(levels, 1));
    const int32_t rounds = (levels + most - 1) / most;
    int32_t side = rounds > 0 ? (levels + rounds - 1) / rounds : 1;
    plat::Block<unsigned char> twoLevel[kMostLevelsAtOnce];
    for (int32_t k = 0; k < side; ++k) {
      twoLevel[k] = plat::Block<unsigned char>(srcSize, WorkSource());
      if (!twoLevel[k]) {
        if (k == 0) return -1;
        side = 1;
        break;
      }
    }
    int16_t aborts[kMaxLevels] = {};
    // The tracing is nearly all the time (128 levels over 6000 x 4000 took 2 to 4 s under
    // load): each round of levels moves the meter by its share of nine tenths, and a stopped
    // render traces no further round and draws nothing.
    const plat::ProgressStage tracing(0.0, 0.9);
    for (int32_t first = 0; first < levels; first += side) {
      if (plat::Cancelled()) return -1;
      const int32_t last = std::min(levels, first + side);
      const plat::ProgressStage round(static_cast<double>(first) / levels,
                                      static_cast<double>(last) / levels);
      plat::ParallelFor(first, last, 1, [&](int32_t i, int32_t) {
        unsigned char* plane = twoLevel[i - first].get();
        const int32_t t = 255 * (i + 1) / (levels + 1);
        TwoLevels(plane, source, srcSize, static_cast<unsigned char>(t));
        traced.lists[i] = find_outline_pixels(plane, srcHeight, srcWidth,
                                              static_cast<unsigned char>(t), &aborts[i]);
      });
      traced.count = last;
      for (int32_t i = first; i < last; ++i)
        if (aborts[i] == -1) return -1;
    }
  }
  if (plat::Cancelled()) return -1;

  // Every outline is drawn at full strength in one colour, as 255 into the line plane and as the
  // colour into each plane's copy, each pixel at most once a level (a pixel's later points find
  // it drawn). A pixel drawn once more would be given the same values again, so the drawing
  // comes down to which pixels lie on an outline of some level: those take the colour, by the
  // line's full weight, and every other pixel keeps its own. (Drawing every point into four
  // planes, each level's fill of the undrawn marks and the plane copies took 0.3 s of a
  // 6000 x 4000 target's contour lines.)
  const int32_t planeCount = channels;
  plat::Block<unsigned char> line(size, WorkSource());
  if (!line) return -1;
  line.Clear();
  for (int32_t level = 0; level < traced.count; ++level) {
    const pixel_outline_list_type& list = traced.lists[level];
    for (uint32_t o = 0; o < list.length; ++o) {
      const pixel_outline_type& outline = list.data[o];
      const uint32_t n = std::min<uint32_t>(outline.length, INT32_MAX);
      for (uint32_t k = 0; k < n; ++k) line[PixelOf(outline.data[k], width, height)] = 255;
    }
  }

  ClampRegion(width, height, x0, y0, x1, y1);
  const plat::ProgressStage blending(0.9, 1.0);
  // Every pixel from its own samples: rows in bands on the shared threads.
  unsigned char* targets[3] = {red, green, blue};
  const unsigned char* lines = line.get();
  plat::ParallelFor(y0, y1 + 1, 16, [=](int32_t first, int32_t last) {
    for (int32_t y = first; y < last; ++y) {
      for (int32_t x = x0; x <= x1; ++x) {
        const int64_t i = static_cast<int64_t>(y) * width + x;
        if (lines[i] == 0) continue;  // a weight of 0 keeps the target
        const int32_t a =
            mask != nullptr ? mask[i] * opacity * lines[i] / 65025 : opacity * lines[i] / 255;
        for (int32_t k = 0; k < planeCount; ++k) {
          targets[k][i] = Blend(mode, targets[k][i], colour[k], a);
        }
      }
    }
  });
  return 0;
}

void DrawOutline(int16_t mode, int16_t opacity, unsigned char* plane, unsigned char* mask,
                 int32_t /*height*/, int32_t width, int16_t clear, int32_t count,
                 const coords* points, const int16_t* opacities, const int16_t* offsets,
                 unsigned char base) {
  if (plane == nullptr || points == nullptr || opacities == nullptr || offsets == nullptr) return;
  for (int32_t k = 0; k < count; ++k) {
    const int32_t value = Clamp255(Clamp255(base + offsets[k]) * opacities[k] / 255);
    const int64_t i = static_cast<int64_t>(width) * points[k].y + points[k].x;
    int32_t a = opacity;
    if (mask != nullptr) {
      a = opacity * mask[i] / 255;
      if (clear == 1) mask[i] = 0;
    }
    plane[i] = Blend(mode, plane[i], value, a);
  }
}
