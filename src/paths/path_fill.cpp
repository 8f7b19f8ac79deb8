// Scan-line fill of path lists: flattening into per-row crossings, the soft
// fill with its edge ramps and colour blend, and the feathered hard fill.
//
// Row indices run downwards from flipHeight on the paths' upward vertical
// axis (y' = flipHeight - y): the masks were always made that way and every
// caller passes the height it wants mirrored about.
#include "paths/path_fill.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "app/core/memory_manager.h"
#include "operations/effect_support.h"
#include "paths/path.h"
#include "paths/path_list.h"
#include "paths/text_objects.h"
#include "platform/memory/block.h"
#include "platform/parallel/cancel.h"
#include "platform/parallel/parallel.h"
#include "platform/parallel/progress.h"
#include "platform/types/plane_view.h"

namespace {

// Work memory of one fill call: the session's registry while a session
// runs, the plain allocator otherwise; handed back when the block goes.
template <typename T>
plat::Block<T> Work(int64_t n) {
  return plat::Block<T>(n, WorkSource());
}

// Truncation toward zero held to a range that later column arithmetic
// cannot overflow (NaN gives 0).
int32_t TruncHeld(double v) {
  if (!(v == v)) return 0;
  constexpr double kLimit = 1.0e9;
  return static_cast<int32_t>(std::clamp(v, -kLimit, kLimit));
}

// A sample end as the crossing walk sees it: v + 0.5 truncated, low 16 bits.
int32_t Low16(float v) {
  const double t = std::trunc(static_cast<double>(v) + 0.5);
  if (!(t == t)) return 0;
  const double held = std::clamp(t, -4.0e18, 4.0e18);
  return static_cast<int16_t>(static_cast<int64_t>(held));
}

int32_t Sign(int32_t v) { return (v > 0) - (v < 0); }

// The row table of one fill call: one empty line per row, all freed (points
// first) with the table.
class RowTable {
 public:
  explicit RowTable(int32_t height) : table_(Work<VFLine*>(height)), height_(height) {
    if (!table_) return;
    for (int32_t y = 0; y < height_; ++y) table_.get()[y] = new VFLine;
  }
  ~RowTable() {
    if (!table_) return;
    for (int32_t y = 0; y < height_; ++y) delete table_.get()[y];
  }
  RowTable(const RowTable&) = delete;
  RowTable& operator=(const RowTable&) = delete;

  explicit operator bool() const { return static_cast<bool>(table_); }
  VFLine** rows() const { return table_.get(); }

 private:
  plat::Block<VFLine*> table_;
  int32_t height_;
};

// Appends crossings to the rows that exist, clamped into the scaled width.
struct CrossingSink {
  VFLine** rows;
  int32_t rowLimit;    // rows 0 to rowLimit - 1 take crossings
  float scaledWidth;

  void Add(int32_t y, float x) const {
    if (y < 0 || y >= rowLimit) return;
    if (!(x >= 0.0f)) {
      x = 0.0f;
    } else if (x >= scaledWidth) {
      x = scaledWidth - 1.0f;
    }
    rows[y]->Attach(x);
  }
};

// Walks the closed polygon of n samples, appending a crossing for every row
// its edges pass and one more on every row where the outline turns back
// vertically, so that each row holds its crossings in even number.
void WalkSamples(const float* xs, const float* ys, int32_t n, const CrossingSink& sink) {
  // The vertical direction arriving at sample 0 comes from the last sample
  // that does not lie on the same row as the final one.
  int32_t j = n - 2;
  while (j >= 0 && ys[j] == ys[n - 1]) --j;
  if (j < 0) return;  // a flat figure covers no row
  int32_t d = ys[n - 1] < ys[j] ? -1 : 1;

  for (int32_t i = 0; i < n; ++i) {
    const int32_t prev = i == 0 ? n - 1 : i - 1;
    const float x0 = xs[prev], y0 = ys[prev];
    const int32_t X0 = Low16(x0), Y0 = Low16(y0);
    const int32_t dX = Low16(xs[i]) - X0, dY = Low16(ys[i]) - Y0;
    float dy = ys[i] - y0;
    if (dy > -0.1f && dy < 0.1f) dy = dy < 0.0f ? -0.1f : 0.1f;
    const float slope = (xs[i] - x0) / dy;
    auto crossing = [&](int32_t Y) { return x0 + slope * (static_cast<float>(Y) - y0); };

    int32_t Yp = Y0, Xp = X0;
    // The turning crossing takes the integer column of the step before:
    // the fill has always placed it there.
    auto turn = [&](int32_t s) {
      if (s == 0 || s != -d) return;
      sink.Add(Yp, static_cast<float>(Xp));
      d = s;
    };
    if (std::abs(dX) > std::abs(dY)) {
      const int32_t steps = std::abs(dX), sx = Sign(dX);
      for (int32_t k = 1; k <= steps; ++k) {
        const int32_t X = X0 + k * sx;
        const int32_t Y = TruncHeld(static_cast<float>(Y0) +
                                    static_cast<float>(k) * static_cast<float>(dY) /
                                        static_cast<float>(steps) +
                                    0.5f);
        int32_t s = 0;
        if (Y != Yp) {
          s = Sign(Y - Yp);
          sink.Add(Y, crossing(Y));
        }
        turn(s);
        Yp = Y;
        Xp = X;
      }
    } else {
      const int32_t steps = std::abs(dY), sy = Sign(dY);
      // Rows wholly above or below the mask take nothing: only the vertical
      // direction carries on (a figure far taller than the mask would
      // otherwise be walked row by row where no row can take it).
      if (std::max(Y0, Y0 + dY) < 0 || std::min(Y0, Y0 + dY) >= sink.rowLimit) {
        if (steps > 0) d = sy;
        continue;
      }
      for (int32_t k = 1; k <= steps; ++k) {
        const int32_t Y = Y0 + k * sy;
        const int32_t X = TruncHeld(static_cast<float>(X0) +
                                    static_cast<float>(k) * static_cast<float>(dX) /
                                        static_cast<float>(steps) +
                                    0.5f);
        sink.Add(Y, crossing(Y));
        turn(sy);
        Yp = Y;
        Xp = X;
      }
    }
  }
}

// Flattens one path's own knots into the rows; -1 when its sample tables
// cannot be had.
int32_t FlattenPath(const CPath* p, VFLine** rows, int32_t height, int32_t width,
                    int32_t flipHeight, float scaleX, float scaleY) {
  const int32_t n = p->count;
  if (n <= 1) return 0;
  const int64_t entries = static_cast<int64_t>(n) * 33;
  const auto xs = Work<float>(entries);
  const auto ys = Work<float>(entries);
  if (!xs || !ys) return -1;
  // The table always joins the last knot back to the first: an open path
  // fills as if it were closed.
  const int32_t samples = p->DrawToTable(xs.get(), ys.get(), 3);
  for (int32_t i = 0; i < samples; ++i) {
    xs.get()[i] = scaleX * xs.get()[i];
    ys.get()[i] = scaleY * (static_cast<float>(flipHeight) - ys.get()[i]);
  }
  const int32_t scaledRows = TruncHeld(static_cast<float>(height) * scaleY);
  const CrossingSink sink{rows, std::min(scaledRows, height),
                          static_cast<float>(TruncHeld(static_cast<float>(width) * scaleX))};
  if (samples >= 2) WalkSamples(xs.get(), ys.get(), samples, sink);
  // Parity repair: a row left odd (an outline that ends exactly on it) is
  // closed at the path's first sample, unclamped; the fill bounds it.
  for (int32_t y = 0; y < sink.rowLimit; ++y) {
    if ((rows[y]->count & 1) != 0) rows[y]->Attach(xs.get()[0]);
  }
  return 0;
}

// The largest crossing count of the rows.
int32_t MaxCount(VFLine** rows, int32_t height) {
  int32_t most = 0;
  for (int32_t y = 0; y < height; ++y) most = std::max(most, rows[y]->count);
  return most;
}

// A row's crossings copied into out and sorted ascending; returns the count.
int32_t SortedRow(const VFLine* line, float* out) {
  int32_t n = 0;
  for (const VFPt* q = line->head; q != nullptr && n < line->count; q = q->next) out[n++] = q->x;
  std::sort(out, out + n);
  return n;
}

// Columns first .. first + steps - 1 of a row, clipped to the row.
template <typename F>
void ForColumns(int32_t first, int64_t steps, int32_t width, F&& f) {
  const int64_t lo = std::max<int64_t>(0, -static_cast<int64_t>(first));
  const int64_t hi = std::min<int64_t>(steps, static_cast<int64_t>(width) - first);
  for (int64_t k = lo; k < hi; ++k) f(static_cast<int32_t>(first + k), k);
}

// Columns first .. first + steps - 1 of a row set to v, clipped to the row
// (one fill call: a span loop of the ellipse's soft fill took 80 percent of
// its time before).
template <typename S>
void FillColumns(S* row, int32_t first, int64_t steps, int32_t width, S v) {
  const int64_t lo = std::max<int64_t>(0, first);
  const int64_t hi = std::min<int64_t>(static_cast<int64_t>(first) + steps, width);
  if (lo < hi) std::fill(row + lo, row + hi, v);
}

// The soft fill of one mask row after another. S is the sample type.
template <typename S>
class SoftFill {
 public:
  SoftFill(plat::PlaneView<S> mask, int32_t value)
      : mask_(mask), width_(mask.width), value_(value) {}

  // Spans of row y between the pairs of C (c values, sorted), and the ramps
  // against the previous row's pairs P (p values, sorted).
  void Row(int32_t y, const float* C, int32_t c, const float* P, int32_t p) {
    S* row = mask_.Row(y);
    S* above = y > 0 ? mask_.Row(y - 1) : nullptr;
    for (int32_t i = 0; i + 1 < c; i += 2) {
      const float A = C[i], B = C[i + 1];
      const int32_t a = TruncHeld(A), b = TruncHeld(B);
      if (a >= width_ - 1 || static_cast<double>(B) <= 0.000001) continue;
      FillColumns(row, a + 1, static_cast<int64_t>(b) - a, width_, static_cast<S>(value_));
      KeepLarger(row, b + 1, TruncHeld((B - static_cast<float>(b)) * static_cast<float>(value_)));
      KeepLarger(row, a,
                 TruncHeld((1.0f - (A - static_cast<float>(a))) * static_cast<float>(value_)));
      if (above == nullptr) continue;
      for (int32_t j = 0; j + 1 < p; j += 2) Ramps(row, above, C, c, i, P, p, j);
    }
  }

 private:
  void KeepLarger(S* row, int32_t x, int32_t v) {
    if (x >= 0 && x < width_ && v > static_cast<int32_t>(row[x])) row[x] = static_cast<S>(v);
  }

  // Columns trunc(s) + 1 + k, k = 0 .. r - 1, rising k * V / r.
  void RampUp(S* row, float s, int32_t r) {
    if (r <= 0) return;
    ForColumns(TruncHeld(s) + 1, r, width_, [&](int32_t x, int64_t k) {
      row[x] = static_cast<S>(k * value_ / r);
    });
  }

  // Columns trunc(e0) + k, k = 1 .. r, falling V * (r - k) / r.
  void RampDown(S* row, float e0, int32_t r) {
    if (r <= 0) return;
    ForColumns(TruncHeld(e0) + 1, r, width_, [&](int32_t x, int64_t k) {
      row[x] = static_cast<S>(static_cast<int64_t>(value_) * (r - (k + 1)) / r);
    });
  }

  // Edges that move by more than a pixel between the rows are softened
  // with a ramp on the row where the edge lies further out.
  void Ramps(S* row, S* above, const float* C, int32_t c, int32_t i, const float* P, int32_t p,
             int32_t j) {
    const float A = C[i], B = C[i + 1], Pa = P[j], Pb = P[j + 1];
    if (Pa < A - 1.0f && A <= Pb) {
      float s = Pa;
      if (i > 0 && Pa < C[i - 1]) s = static_cast<float>((A + C[i - 1] + 1.0f) * 0.5);
      RampUp(row, s, TruncHeld(A - s));
    }
    // Plus one here where the edge on this row tests minus one: the two
    // right-edge tests were never symmetric, and masks made so are kept.
    if (Pa <= B && B < Pb + 1.0f) {
      float e = Pb;
      if (i < c - 2 && C[i + 2] <= Pb) e = static_cast<float>((B + C[i + 2] - 1.0f) * 0.5);
      RampDown(row, B, TruncHeld(e - B));
    }
    if (A + 1.0f < Pa && Pa <= B) {
      float s = A;
      if (j > 0 && A < P[j - 1]) s = static_cast<float>((Pa + P[j - 1] + 1.0f) * 0.5);
      RampUp(above, s, TruncHeld(Pa - s));
    }
    if (A <= Pb && Pb < B - 1.0f) {
      float e = B;
      if (j < p - 2 && P[j + 2] <= B) e = static_cast<float>((Pb + P[j + 2] - 1.0f) * 0.5);
      RampDown(above, Pb, TruncHeld(e - Pb));
    }
  }

  plat::PlaneView<S> mask_;
  int32_t width_;
  int32_t value_;
};

// The colour blended into the planes inside the mask.
struct ColourBlend {
  plat::PlaneView<uint8_t> planes[4];
  int32_t channels = 0;
  plat::ConstPlaneView<uint8_t> selection;  // null data: everything selected
  int32_t left = 0;
  int32_t right = 0;
  // The colour mixed into each old sample v at the opacity a:
  // ((255 - a) * v + a * colour) / 255, one table per channel (a division
  // less per sample: a 4-channel blend of 2048 x 1536 went from about 33 to
  // 20 ms on the shared 8-core build machine).
  uint8_t mixed[4][256] = {};
  uint8_t colourOf[4] = {};
  int32_t opacity = 0;

  void SetColour(const uint8_t* colour, int32_t a) {
    opacity = a;
    for (int32_t ch = 0; ch < channels; ++ch) {
      colourOf[ch] = colour[ch];
      for (int32_t v = 0; v < 256; ++v) {
        mixed[ch][v] = static_cast<uint8_t>(((255 - a) * v + a * colour[ch]) / 255);
      }
    }
  }

  // Samples a step of the lanes take: the build vectorises loops of a fixed count only.
  static constexpr int32_t kStep = 16;

  // Whether the columns x0..x1 of row y can go kStep at a time: every plane's run apart from
  // the mask's and the selection's and from each other plane's, or the same run. A step
  // then reads its weights before it writes, and each pixel still takes its channels in
  // order.
  bool LanesHold(const uint8_t* m, const uint8_t* sel, uint8_t* const* rows, int32_t x0,
                 int32_t x1) const {
    const auto meet = [x0, x1](const uint8_t* a, const uint8_t* b) {
      if (a == nullptr || b == nullptr) return false;
      const auto p = reinterpret_cast<uintptr_t>(a), q = reinterpret_cast<uintptr_t>(b);
      return p + x0 <= q + x1 && q + x0 <= p + x1;
    };
    for (int32_t ch = 0; ch < channels; ++ch) {
      if (meet(rows[ch], m) || meet(rows[ch], sel)) return false;
      for (int32_t k = 0; k < ch; ++k)
        if (rows[k] != rows[ch] && meet(rows[k], rows[ch])) return false;
    }
    return true;
  }

  // The blend of n pixels from x on (n a multiple of kStep, at most kRun) in 16-bit lanes:
  // every product is at most 255 x 255 and the quotients by 255 are the integer ones, so each
  // byte is that of the table's form; a weight of 0 gives the old sample back, as the skip
  // there does. (The table's lookups kept each pixel alone: the 30-step path sweep of
  // 6000 x 4000 blended for about 0.75 s on one thread.)
  static constexpr int32_t kRun = 512;
  void Run(const uint8_t* m, const uint8_t* sel, uint8_t* const* rows, int32_t x,
           int32_t n) const {
    uint16_t u[kRun];
    Weights(m + x, sel != nullptr ? sel + x : nullptr, u, n);
    const auto a = static_cast<uint16_t>(opacity);
    for (int32_t ch = 0; ch < channels; ++ch) Lanes(rows[ch] + x, u, a, colourOf[ch], n);
  }

  // s * m / 255 for each pixel, s = 255 without a selection.
  static void Weights(const uint8_t* __restrict m, const uint8_t* __restrict sel,
                      uint16_t* __restrict u, int32_t n) {
    if (sel == nullptr) {
      for (int32_t i = 0; i < n; i += kStep)
        for (int32_t j = 0; j < kStep; ++j) u[i + j] = m[i + j];  // 255 * m / 255
      return;
    }
    for (int32_t i = 0; i < n; i += kStep)
      for (int32_t j = 0; j < kStep; ++j)
        u[i + j] = effect_support::MaskLane(m[i + j], sel[i + j]);
  }

  // One channel's samples: the colour mixed in at a, then weighed by u.
  static void Lanes(uint8_t* __restrict r, const uint16_t* __restrict u, uint16_t a, uint16_t c,
                    int32_t n) {
    for (int32_t i = 0; i < n; i += kStep)
      for (int32_t j = 0; j < kStep; ++j)
        r[i + j] =
            effect_support::MixLane(r[i + j], effect_support::MixLane(r[i + j], c, a), u[i + j]);
  }

  // Blends row y over the columns the row's outermost crossings span.
  void Row(plat::ConstPlaneView<uint8_t> mask, int32_t y, const float* P, int32_t p) const {
    if (channels == 0 || p == 0 || y >= planes[0].height) return;
    const int32_t x0 = std::max({left, TruncHeld(P[0]), 0});
    const int32_t x1 =
        std::min({right, TruncHeld(P[p - 1]), mask.width - 1, planes[0].width - 1});
    const uint8_t* m = mask.Row(y);
    const uint8_t* sel = selection.data != nullptr ? selection.Row(y) : nullptr;
    uint8_t* rows[4] = {};
    for (int32_t ch = 0; ch < channels; ++ch) rows[ch] = planes[ch].Row(y);
    int32_t x = x0;
    if (x1 - x0 + 1 >= kStep && LanesHold(m, sel, rows, x0, x1)) {
      for (int32_t n; (n = std::min(kRun, (x1 + 1 - x) / kStep * kStep)) > 0; x += n)
        Run(m, sel, rows, x, n);
    }
    for (; x <= x1; ++x) {
      const int32_t s = sel != nullptr ? sel[x] : 255;
      const int32_t u = s * m[x] / 255;
      if (u == 0) continue;  // the sample stays: (v * 255 + 0) / 255
      for (int32_t ch = 0; ch < channels; ++ch) {
        uint8_t& v = rows[ch][x];
        v = static_cast<uint8_t>((v * (255 - u) + u * mixed[ch][v]) / 255);
      }
    }
  }
};

// A row's outermost crossings, kept for its blend.
struct BlendEnds {
  float outer[2];
  bool blended;
};

// The soft fill of every row, with the blend of each row once the row below
// it has crossings (so the mask's last row is never blended). 0, or -1 when
// the work arrays cannot be had.
template <typename S>
int32_t SoftFillRows(plat::PlaneView<S> mask, VFLine** rows, int32_t value,
                     const ColourBlend* blend) {
  const int32_t most = MaxCount(rows, mask.height);
  const auto curWork = Work<float>(most);
  const auto prevWork = Work<float>(most);
  if (!curWork || !prevWork) return -1;
  float* cur = curWork.get();
  float* prev = prevWork.get();
  // The blend reads only the outermost crossings of its row, and row y's
  // fill writes nothing above row y - 1, so the mask of a row is final once
  // the next row is filled. The blends can then wait for the whole fill and
  // run in bands (a 30-step path sweep of 6000 x 4000 spent 90 percent of
  // its 0.9 s blending on one thread). Each row keeps its outermost pair,
  // or none when it is not blended; without that table the blend follows
  // the fill row by row as it always did.
  plat::Block<BlendEnds> ends;
  if constexpr (sizeof(S) == 1) {
    if (blend != nullptr && blend->channels > 0 && mask.height > 1) {
      ends = Work<BlendEnds>(mask.height);
    }
  }
  BlendEnds* const end = ends.get();
  int32_t prevCount = 0;
  SoftFill<S> fill(mask, value);
  for (int32_t y = 0; y < mask.height; ++y) {
    if (end != nullptr) end[y].blended = false;
    if (rows[y]->count == 0) {
      prevCount = 0;
      continue;
    }
    const int32_t c = SortedRow(rows[y], cur);
    fill.Row(y, cur, c, prev, y > 0 ? prevCount : 0);
    if constexpr (sizeof(S) == 1) {
      if (blend != nullptr && y > 0) {
        if (end == nullptr) {
          blend->Row(mask, y - 1, prev, prevCount);
        } else if (prevCount > 0) {
          end[y - 1] = {{prev[0], prev[prevCount - 1]}, true};
        }
      }
    }
    std::swap(cur, prev);
    prevCount = c;
  }
  if constexpr (sizeof(S) == 1) {
    if (end != nullptr) {
      const plat::ConstPlaneView<uint8_t> done = mask;
      // Bands of 16 rows: each row's blend is short (its span only), so
      // thinner bands cost more in hand-overs than they gain in balance.
      plat::ParallelFor(0, mask.height - 1, 16, [blend, done, end](int32_t first, int32_t last) {
        for (int32_t y = first; y < last; ++y) {
          if (end[y].blended) blend->Row(done, y, end[y].outer, 2);
        }
      });
    }
  }
  return 0;
}

// The hard fill: spans into a 0/1 plane, then every inside sample either
// set to V (all four neighbours inside) or stamped with the feather kernel.
template <typename S>
int32_t FeatherFill(plat::PlaneView<S> out, VFLine** rows, int32_t value, int32_t radius) {
  const int32_t width = out.width, height = out.height;
  const auto insideWork = Work<uint8_t>(out.count());
  if (!insideWork) return -1;
  insideWork.Clear();
  const auto inside = plat::PlaneView<uint8_t>::Packed(insideWork.get(), width, height);
  int32_t result = 0;
  {
    const auto row = Work<float>(MaxCount(rows, height));
    if (row) {
      for (int32_t y = 0; y < height; ++y) {
        if (rows[y]->count == 0) continue;
        const int32_t c = SortedRow(rows[y], row.get());
        uint8_t* line = inside.Row(y);
        for (int32_t i = 0; i + 1 < c; i += 2) {
          const float A = row.get()[i], B = row.get()[i + 1];
          const int32_t a = TruncHeld(A), b = TruncHeld(B);
          if (a >= width - 1 || static_cast<double>(B) <= 0.000001) continue;
          FillColumns<uint8_t>(line, a, static_cast<int64_t>(b) - a + 1, width, 1);
        }
      }
    } else {
      result = -1;  // no row is filled, the feathering still runs
    }
  }

  // Kernel of 2R x 2R values: V - V * (dx^2 + dy^2) / R^2, at least 0,
  // for dx and dy from -R to R - 1. The stamp reaches one sample further up
  // and left than down and right; feathered masks have always leant so. A
  // radius of 1 leaves only the centre, so feather 1 is a plain hard fill.
  const int64_t side = 2 * static_cast<int64_t>(radius);
  if (side > 46340) return -1;  // the kernel's size would not fit 32 bits
  const auto kernelWork = Work<int32_t>(side * side);
  if (!kernelWork) return -1;
  int32_t* kernel = kernelWork.get();
  const int64_t r2 = static_cast<int64_t>(radius) * radius;
  for (int64_t i = 0; i < side; ++i) {
    for (int64_t j = 0; j < side; ++j) {
      const int64_t q = value * ((i - radius) * (i - radius) + (j - radius) * (j - radius)) / r2;
      kernel[i * side + j] = q <= value ? static_cast<int32_t>(value - q) : 0;
    }
  }

  auto at = [&](int32_t y, int32_t x) { return inside.At(x, y); };
  // Every edge pixel stamps the whole kernel (510 x 510 values at the largest feather): the
  // stamping goes row by row for seconds on a long outline, so it reports its rows, and a
  // stopped render ends it at the next row (its owner drops the mask).
  for (int32_t y = 0; y < height; ++y) {
    if (plat::Cancelled()) return -1;
    plat::ReportProgress(y, height);
    for (int32_t x = 0; x < width; ++x) {
      if (at(y, x) != 1) continue;
      S* o = &out.At(x, y);
      if (x > 0 && x < width - 1 && y > 0 && y < height - 1 && at(y, x - 1) == 1 &&
          at(y, x + 1) == 1 && at(y - 1, x) == 1 && at(y + 1, x) == 1) {
        *o = static_cast<S>(value);
        continue;
      }
      const int64_t r0 = std::max<int64_t>(0, static_cast<int64_t>(y) - radius);
      const int64_t r1 = std::min<int64_t>(height, static_cast<int64_t>(y) + radius);
      const int64_t c0 = std::max<int64_t>(0, static_cast<int64_t>(x) - radius);
      const int64_t c1 = std::min<int64_t>(width, static_cast<int64_t>(x) + radius);
      for (int64_t ry = r0; ry < r1; ++ry) {
        S* line = out.Row(static_cast<int32_t>(ry));
        const int32_t* k = kernel + (ry - y + radius) * side + (c0 - x + radius);
        for (int64_t cx = c0; cx < c1; ++cx, ++k) {
          if (*k > static_cast<int32_t>(line[cx])) line[cx] = static_cast<S>(*k);
        }
      }
    }
  }
  return result;
}

// The fill value held to what one sample can hold.
template <typename S>
int32_t HeldValue(int32_t value) {
  return std::clamp<int32_t>(value, 0, std::numeric_limits<S>::max());
}

}  // namespace

// ---------------------------------------------------------------------------
// Rows of crossings

VFLine::~VFLine() {
  VFPt* q = head;
  while (q != nullptr) {
    VFPt* nx = q->next;
    delete q;
    q = nx;
  }
}

VFPt* VFLine::Attach(float x) {
  auto* q = new VFPt;
  q->x = x;
  if (tail_ == nullptr) {
    head = q;
  } else {
    tail_->next = q;
  }
  tail_ = q;
  ++count;
  return q;
}

void VFLine::Sort() {
  const auto work = Work<float>(count);
  if (!work) return;
  const int32_t n = SortedRow(this, work.get());
  int32_t i = 0;
  for (VFPt* q = head; q != nullptr && i < n; q = q->next) q->x = work.get()[i++];
}

// ---------------------------------------------------------------------------
// Flattening

int32_t Fill_Px_Py(int16_t mode, CPathList* list, VFLine** rows, int32_t height, int32_t width,
                   int32_t spare1, int32_t spare2, int32_t flipHeight, float scaleX,
                   float scaleY) {
  if (list == nullptr || rows == nullptr || height < 1) return 0;
  auto nested = [&](auto* text) {
    CPathList letters(0);
    text->RenderToList(&letters);
    return Fill_Px_Py(mode, &letters, rows, height, width, spare1, spare2, flipHeight, scaleX,
                      scaleY);
  };
  for (CPath* p = list->first; p != nullptr; p = p->next) {
    if (mode == 1 && p->active == 0) continue;
    if (p->txtObj != nullptr && nested(p->txtObj) != 0) return -1;
    // A path carrying a text path gives only its letters, never its knots.
    if (p->txtPath != nullptr) {
      if (nested(p->txtPath) != 0) return -1;
      continue;
    }
    if (FlattenPath(p, rows, height, width, flipHeight, scaleX, scaleY) != 0) return -1;
  }
  return 0;
}

// ---------------------------------------------------------------------------
// Fill entry points

int32_t VFFillOpaCharBuf(uint8_t* mask, int32_t height, int32_t width, VFLine** rows,
                         int32_t value, uint8_t* plane0, uint8_t* plane1, uint8_t* plane2,
                         uint8_t* plane3, int32_t planeHeight, int32_t planeWidth, int32_t left,
                         int32_t /*top*/, int32_t right, int32_t /*bottom*/, int16_t channels,
                         const uint8_t* selection, const uint8_t* colour,
                         const int16_t* opacity) {
  if (mask == nullptr || rows == nullptr || height < 1 || width < 1) return 1;
  // The planes and the selection share the row step planeWidth; their rows
  // beyond planeHeight are never touched.
  ColourBlend blend;
  uint8_t* planes[4] = {plane0, plane1, plane2, plane3};
  // Only the leading planes that exist are blended, at most four.
  const int32_t wanted = std::clamp<int32_t>(channels, 0, 4);
  while (blend.channels < wanted && planes[blend.channels] != nullptr) {
    blend.planes[blend.channels] = {planes[blend.channels], planeWidth, planeHeight, planeWidth};
    ++blend.channels;
  }
  if (colour == nullptr || opacity == nullptr || planeWidth < 1) blend.channels = 0;
  blend.selection = {selection, planeWidth, planeHeight, planeWidth};
  blend.left = left;
  blend.right = right;
  if (blend.channels > 0) blend.SetColour(colour, std::clamp<int32_t>(*opacity, 0, 255));
  const int32_t r = SoftFillRows(plat::PlaneView<uint8_t>::Packed(mask, width, height), rows,
                                 HeldValue<uint8_t>(value), blend.channels > 0 ? &blend : nullptr);
  return r == 0 ? 1 : -1;
}

int32_t FillColPath(int16_t mode, CPathList* list, int32_t height, int32_t width, uint8_t* mask,
                    int16_t depth, int32_t flipHeight, float scaleX, float scaleY,
                    int32_t spare1, int32_t spare2, int32_t value, int32_t feather) {
  if (list == nullptr || mask == nullptr || height < 1 || width < 1) return 0;
  RowTable table(height);
  if (!table) return -1;
  VFLine** rows = table.rows();
  const auto bytes = plat::PlaneView<uint8_t>::Packed(mask, width, height);
  const auto wide =
      plat::PlaneView<uint16_t>::Packed(reinterpret_cast<uint16_t*>(mask), width, height);
  if (feather > 0) {
    if (Fill_Px_Py(mode, list, rows, height, width, spare1, spare2, flipHeight, scaleX,
                   scaleY) != 0) {
      return -1;
    }
    return depth == 1 ? FeatherFill(bytes, rows, HeldValue<uint8_t>(value), feather)
                      : FeatherFill(wide, rows, HeldValue<uint16_t>(value), feather);
  }
  // The soft fill always flattens at scale 1, whatever the caller asks.
  if (Fill_Px_Py(mode, list, rows, height, width, spare1, spare2, flipHeight, 1.0f, 1.0f) != 0) {
    return -1;
  }
  if (depth == 1) {
    return VFFillOpaCharBuf(mask, height, width, rows, value, nullptr, nullptr, nullptr, nullptr,
                            0, 0, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr) == 1
               ? 0
               : -1;
  }
  return SoftFillRows(wide, rows, HeldValue<uint16_t>(value), nullptr);
}

int32_t FillColinPath(int16_t mode, CPathList* list, int32_t height, int32_t width,
                      uint8_t* mask, int32_t flipHeight, uint8_t* plane0, uint8_t* plane1,
                      uint8_t* plane2, uint8_t* plane3, int32_t planeHeight, int32_t planeWidth,
                      int32_t left, int32_t top, int32_t right, int32_t bottom,
                      int16_t channels, const uint8_t* selection, const uint8_t* colour,
                      const int16_t* opacity) {
  if (list == nullptr || mask == nullptr || height < 1 || width < 1) return 0;
  RowTable table(height);
  if (!table) return -1;
  VFLine** rows = table.rows();
  if (Fill_Px_Py(mode, list, rows, height, width, 0, 0, flipHeight, 1.0f, 1.0f) != 0) return -1;
  return VFFillOpaCharBuf(mask, height, width, rows, 255, plane0, plane1, plane2, plane3,
                          planeHeight, planeWidth, left, top, right, bottom, channels, selection,
                          colour, opacity) == 1
             ? 0
             : -1;
}
