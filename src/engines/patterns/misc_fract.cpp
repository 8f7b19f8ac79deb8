// Julia images: for each pixel z0 of the window on the complex plane, z is
// iterated by the entry's formula until its squared modulus passes the
// bail-out; the smooth escape count picks the colour.
//
// Kept as the pictures depend on them: x advances by a running sum of its
// step (not by products), the constant of formulas 6 and 9 carries over
// from pixel to pixel in row order, and a modulus that is not a number
// escapes with index 0. Powers are built by the same squarings and products
// everywhere, so the last bits match from one formula to the next.
#include "engines/patterns/misc_fract.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "app/core/memory_manager.h"
#include "app/core/percent.h"
#include "engines/patterns/fractal_lanes.h"
#include "engines/records/engine_frame.h"
#include "operations/effects.h"
#include "operations/fractal_generators.h"
#include "platform/memory/block.h"
#include "platform/parallel/cancel.h"
#include "platform/parallel/parallel.h"
#include "platform/parallel/progress.h"
#include "script/engine_rows.h"

// The sines and cosines are the lane walk's own (fractal_lanes.h), so that a pixel's orbit is
// the same in one lane as in sixteen.
void CosCompl(double x, double y, double* re, double* im) {
  double s = 0, c = 0, sh = 0, ch = 0;
  fractlanes::SinCos(x, &s, &c);
  fractlanes::SinhCosh(y, &sh, &ch);
  *re = c * ch;
  *im = -s * sh;
}

void SinCompl(double x, double y, double* re, double* im) {
  double s = 0, c = 0, sh = 0, ch = 0;
  fractlanes::SinCos(x, &s, &c);
  fractlanes::SinhCosh(y, &sh, &ch);
  *re = s * ch;
  *im = c * sh;
}

void DivCompl(double a, double b, double c, double d, double* re, double* im) {
  const double s = std::sqrt(c * c + d * d);
  *re = (c * a + d * b) / s;
  *im = (c * b - d * a) / s;
}

namespace {

struct Cx {
  double re = 0, im = 0;
};

Cx operator+(Cx a, Cx b) { return {a.re + b.re, a.im + b.im}; }
Cx operator-(Cx a, Cx b) { return {a.re - b.re, a.im - b.im}; }
Cx operator*(Cx a, Cx b) { return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re}; }
Cx operator*(double s, Cx a) { return {s * a.re, s * a.im}; }
Cx D(Cx n, Cx w) {
  Cx r;
  DivCompl(n.re, n.im, w.re, w.im, &r.re, &r.im);
  return r;
}
Cx Sin(Cx z) {
  Cx r;
  SinCompl(z.re, z.im, &r.re, &r.im);
  return r;
}
Cx Cos(Cx z) {
  Cx r;
  CosCompl(z.re, z.im, &r.re, &r.im);
  return r;
}

constexpr Cx kOne{1, 0};

bool Draws(int16_t f) { return (f >= 1 && f <= 31) || f == 50; }

// The state of one pixel's iteration.
struct Orbit {
  Cx z, k, c;
};

// Sets z and k (and, for formula 9, c) before a pixel's first step.
void PreStep(int16_t f, Cx z0, Orbit& o) {
  o.z = z0;
  o.k = {};
  switch (f) {
    case 9: o.c = Cos(o.c); break;
    case 15: o.k = Sin(o.c + kOne); break;
    case 21: {
      const double e = std::exp(z0.re);
      o.k = {e * std::cos(z0.im), e * std::sin(z0.im)};
      break;
    }
    case 23: case 24: case 25: case 26: o.k = z0; break;
    case 29: o.k = kOne; break;
    case 31: o.k = {0.5, 0}; break;
    case 50: o.z = (-7.0 / 9.0) * z0; break;
    default: break;
  }
}

// (2 - Re z^2) + i Im z^2.
Cx Reflect(Cx z2) { return {2 - z2.re, z2.im}; }

void Step(int16_t f, Orbit& o) {
  const Cx z = o.z, c = o.c;
  const Cx z2 = z * z;
  switch (f) {
    case 1: o.z = z2 + c; break;
    case 2: o.z = z * z2 + c; break;
    case 3: o.z = z2 * z2 + c; break;
    case 4: o.z = z * (z2 * z2) + c; break;
    case 5: o.z = z2 * (z2 * z2) + c; break;
    case 6:
      o.z = z2 + c;
      o.c = {c.im, c.re};
      break;
    case 7: o.z = (c * z) * Reflect(z2); break;
    case 8: {
      const double t = std::sqrt((std::sqrt(z.re * z.re + z.im * z.im) - z.re) / 2);
      const double u = z.im / (2 * t) + 1;
      o.z = z2 + c * Cx{u, t};
      break;
    }
    case 9: case 10: o.z = c * Sin(z); break;
    case 11: o.z = c * Cos(z); break;
    case 12: o.z = c * Cos(c * z); break;
    case 13: o.z = c * Sin(z2 * z2); break;
    case 14: o.z = c * (z * Reflect(z2)); break;
    case 15: o.z = D(z2 * z2, o.k) + c; break;
    case 16: {
      const Cx z3 = z * z2, z4 = z2 * z2;
      o.z = z - D(c * z4 + z - c, 4 * (c * z3));
      break;
    }
    case 17: o.z = z - D(z * z2 - z - c, 3 * z2); break;
    case 18: o.z = D(z * (z2 * z2) + c, z2 + kOne); break;
    case 19: o.z = D(c * z2 + c, kOne - c * z2); break;
    case 20: {
      const Cx w = z + kOne;
      o.z = w * (w * w) + c;
      break;
    }
    case 21: o.z = z - o.k * D(z * z2 - kOne, 3 * z2) + c; break;
    case 22: o.z = D(Sin(z2) - kOne, 3 * z2) + c; break;
    case 23: o.z = z2 * z2 - o.k + c; break;
    case 24: o.z = z2 * z2 + 0.5 * o.k + c; break;
    case 25: o.z = z2 * z2 + o.k + c; break;
    case 26: o.z = z2 - o.k * o.k + c; break;
    case 27: {
      const Cx u = z - D(z * z2 - z, 3 * z2 - kOne);
      o.z = c * (z - u);
      break;
    }
    case 28: {
      const Cx u = z - D(z * z2 - kOne, 3 * z2);
      o.z = c * (u * (u * u));
      break;
    }
    case 29:
      o.z = z2 + c * o.k;
      o.k = z2 + c;
      break;
    case 30: o.z = c * (z - D(z * z2 - z, 3 * z2 - kOne)); break;
    case 31:
      o.z = z2 - o.k * o.k + c;
      o.k = z;
      break;
    case 50: {
      const Cx z4 = z2 * z2, z5 = z * z4, z8 = z4 * z4, z9 = z4 * z5;
      const Cx c2z13 = c * ((c * z8) * z5);
      o.z = z - D(z9 + c * z8 + c, 9 * z8 + 8 * c2z13);
      break;
    }
    default: break;
  }
}

// The colour-table entry of a pixel: 0 for one that never escapes (only
// its first blend then), else the clamped smooth escape count x scale.
// Returns -1 for no escape.
int32_t EscapeIndex(int16_t f, Orbit& o, int32_t limit, int32_t colourScale, int32_t bailout) {
  if (!Draws(f)) return -1;
  const double b = bailout;
  double prev = 0;
  for (int32_t n = 1; n <= limit; ++n) {
    Step(f, o);
    const double m = o.z.re * o.z.re + o.z.im * o.z.im;
    if (std::isnan(m)) return 0;
    if (m > b) return fractlanes::EscapeEntry(n, m, prev, b, colourScale);
    prev = m;
  }
  return -1;
}

using fractlanes::BlendEntry;

// Blur strength and radius of a blur level; false for no blur.
bool BlurOf(int32_t level, int16_t* strength, int16_t* radius) {
  if (level == 0) return false;
  if (level >= 1 && level <= 6) {
    *strength = static_cast<int16_t>(32 * level);
    *radius = 1;
  } else if (level == 7) {
    *strength = 255;
    *radius = 1;
  } else {
    *strength = 255;
    *radius = static_cast<int16_t>(std::clamp<int64_t>(int64_t{level} - 6, -32768, 32767));
  }
  return true;
}

// The constant of formula 9 pixel by pixel: each drawn pixel takes the cosine of the last
// one's, starting from the record's. The cosine's orbit settles on a cycle (usually a fixed
// point) within some thousands of steps, where a value repeats bit for bit; from there the
// values go round. Worked out once, so that pixels far apart need not wait on each other.
class CosineChain {
 public:
  // The chain from c until it repeats with a period of at most kLongestPeriod; false when it
  // has not within kMostValues values (or memory is refused): the pixels then go in order.
  bool Build(Cx c) {
    values_ = plat::Block<Cx>(kMostValues, WorkSource());
    if (!values_) return false;
    Cx v = c;
    for (int64_t i = 0; i < kMostValues; ++i) {
      v = Cos(v);
      values_[i] = v;
      for (int64_t p = 1; p <= kLongestPeriod && p <= i; ++p) {
        if (Same(values_[i - p], v)) {
          count_ = i + 1;
          period_ = p;
          return true;
        }
      }
    }
    return false;
  }
  // The constant of the pixel-th drawn pixel (0 the first).
  Cx At(int64_t pixel) const {
    if (pixel < count_) return values_[pixel];
    const int64_t cycle = count_ - period_;
    return values_[cycle + (pixel - cycle) % period_];
  }

 private:
  static constexpr int64_t kMostValues = 1 << 16;
  static constexpr int64_t kLongestPeriod = 8;
  static bool Same(Cx a, Cx b) {
    return std::bit_cast<uint64_t>(a.re) == std::bit_cast<uint64_t>(b.re) &&
           std::bit_cast<uint64_t>(a.im) == std::bit_cast<uint64_t>(b.im);
  }
  plat::Block<Cx> values_;
  int64_t count_ = 0, period_ = 1;
};

// How the lane walk starts a pixel: the one-pixel walk's PreStep, with the two constants it
// would work out again and again taken from here.
struct LaneStart {
  int16_t formula = 0;
  Orbit first;              // c, and k of formula 15 (the sine of c + 1, the same everywhere)
  const CosineChain* chain = nullptr;  // formula 9
};

void StartLane(const void* context, double x, double y, int64_t pixel, fractlanes::Start* out) {
  const auto& s = *static_cast<const LaneStart*>(context);
  Orbit o = s.first;
  if (s.formula == 9) {
    o.z = {x, y};
    o.k = {};
    o.c = s.chain->At(pixel);
  } else if (s.formula == 15) {
    o.z = {x, y};
  } else {
    PreStep(s.formula, Cx{x, y}, o);
  }
  *out = {o.z.re, o.z.im, o.k.re, o.k.im, o.c.re, o.c.im};
}

// FractJulia in vector lanes, where the processor has them and the formula allows: each pixel
// the same entries as the one-pixel walk gives it. False when the one-pixel walk is to draw
// (formula 6, whose constant turns with every step of every pixel before, formulas that draw
// nothing, no step at all, a chain of formula 9 that never repeats, or memory refused).
bool DrawInLanes(int16_t formula, int32_t stride, uint8_t* plane1, uint8_t* plane2,
                 uint8_t* plane3, int32_t left, int32_t top, int32_t right, int32_t bottom,
                 int32_t lastRow, int32_t lastColumn, const uint8_t (*table)[256], int32_t limit,
                 int32_t colourScale, int32_t bailout, double xLeft, double yTop, double dx,
                 double dy, Cx c) {
  if (formula == 6 || !Draws(formula) || limit < 1) return false;
  const fractlanes::WalkFn walk = fractlanes::PickWalk(formula);
  if (walk == nullptr) return false;
  const int32_t firstRow = std::max(top, 0), endRow = std::min(bottom, lastRow);
  const int32_t firstColumn = std::max(left, 0), endColumn = std::min(right, lastColumn);
  if (firstRow >= endRow || firstColumn >= endColumn) return false;
  LaneStart start;
  start.formula = formula;
  start.first.c = c;
  CosineChain chain;
  if (formula == 9) {
    if (!chain.Build(c)) return false;
    start.chain = &chain;
  } else if (formula == 15) {
    PreStep(formula, Cx{}, start.first);
  }
  // Each row at the height the one walk down reaches it, each column at the x its walk
  // across reaches.
  plat::Block<double> heights(int64_t{endRow} - firstRow, WorkSource());
  plat::Block<double> xs(int64_t{endColumn} - firstColumn, WorkSource());
  if (!heights || !xs) return false;
  double y = yTop;
  for (int32_t r = top; r < endRow; ++r, y -= dy)
    if (r >= firstRow) heights[r - firstRow] = y;
  double x = xLeft;
  for (int32_t q = left; q < endColumn; ++q, x += dx)
    if (q >= firstColumn) xs[q - firstColumn] = x;
  fractlanes::Job job;
  job.formula = formula;
  job.stride = stride;
  job.plane1 = plane1;
  job.plane2 = plane2;
  job.plane3 = plane3;
  job.table = table;
  job.limit = limit;
  job.colourScale = colourScale;
  job.bailout = bailout;
  job.firstColumn = firstColumn;
  job.endColumn = endColumn;
  job.firstRow = firstRow;
  job.xs = xs.get();
  job.heights = heights.get();
  job.start = StartLane;
  job.context = &start;
  plat::ParallelFor(firstRow, endRow, 8, [&](int32_t first, int32_t last) { walk(job, first, last); });
  return true;
}

}  // namespace

void MiscFract::SetFractPar(const FractPar* par) {
  if (par != nullptr && par_.valid()) Copy_FractPar(par, par_.get());
}

void MiscFract::GetFractPar(FractPar* par) const {
  if (par != nullptr && par_.valid()) Copy_FractPar(par_.get(), par);
}

int32_t MiscFract::FractJulia(int16_t formula, int32_t stride, int32_t rows, uint8_t* plane1,
                              uint8_t* plane2, uint8_t* plane3, int32_t left, int32_t top,
                              int32_t right, int32_t bottom, const uint8_t (*table)[256],
                              int32_t iterationLimit, int32_t colourScale, int32_t bailout,
                              double xLeft, double yTop, double xRight, double yBottom,
                              double cRe, double cIm) {
  if (plane1 == nullptr || plane2 == nullptr || plane3 == nullptr || table == nullptr) return 0;
  const int32_t columns = right - left, lines = bottom - top;
  const double dx = (xRight - xLeft) / (columns - 1);
  const double dy = (yTop - yBottom) / (lines - 1);
  // The picture lands on the rectangle's own pixels; the rows and the
  // stride bound it.
  const int32_t lastRow = rows > 0 ? std::min(bottom, rows) : bottom;
  const int32_t lastColumn = std::min(right, stride);
  Orbit o;
  o.c = {cRe, cIm};
  if (DrawInLanes(formula, stride, plane1, plane2, plane3, left, top, right, bottom, lastRow,
                  lastColumn, table, iterationLimit, colourScale, bailout, xLeft, yTop, dx, dy,
                  o.c))
    return 0;
  // Formulas 6 and 9 carry the constant from one pixel to the next; every other formula
  // starts each pixel afresh, so its rows run in bands on the shared threads, each row at
  // the height the one walk down reaches it.
  if (formula != 6 && formula != 9 && bottom > top) {
    plat::Block<double> heights(int64_t{bottom} - top, WorkSource());
    if (heights) {
      double y = yTop;
      for (int32_t r = top; r < bottom; ++r, y -= dy) heights[r - top] = y;
      const double* at = heights.get();
      plat::ParallelFor(top, bottom, 8, [&](int32_t first, int32_t last) {
        Orbit band;
        band.c = {cRe, cIm};
        for (int32_t r = first; r < last; ++r) {
          if (plat::Cancelled()) return;
          double x = xLeft;
          for (int32_t q = left; q < right; ++q, x += dx) {
            if (r < 0 || q < 0 || r >= lastRow || q >= lastColumn) continue;
            const int64_t i = int64_t{r} * stride + q;
            BlendEntry(table, 0, plane1 + i, plane2 + i, plane3 + i);
            PreStep(formula, Cx{x, at[r - top]}, band);
            const int32_t e = EscapeIndex(formula, band, iterationLimit, colourScale, bailout);
            if (e >= 0) BlendEntry(table, e, plane1 + i, plane2 + i, plane3 + i);
          }
        }
      });
      return 0;
    }
  }
  double y = yTop;
  for (int32_t r = top; r < bottom; ++r, y -= dy) {
    // A stale preview stops between rows; its owner drops the planes.
    if (plat::Cancelled()) return 0;
    double x = xLeft;
    for (int32_t q = left; q < right; ++q, x += dx) {
      if (r < 0 || q < 0 || r >= lastRow || q >= lastColumn) continue;
      const int64_t i = int64_t{r} * stride + q;
      BlendEntry(table, 0, plane1 + i, plane2 + i, plane3 + i);
      PreStep(formula, Cx{x, y}, o);
      const int32_t e = EscapeIndex(formula, o, iterationLimit, colourScale, bailout);
      if (e >= 0) BlendEntry(table, e, plane1 + i, plane2 + i, plane3 + i);
    }
    // The one walk that is no parallel loop reports its rows itself: formula 6 at the most
    // iterations keeps a user waiting for minutes.
    plat::ReportProgress(int64_t{r} - top + 1, int64_t{bottom} - top);
  }
  return 0;
}

namespace {

// The dialog offers 20 to 2000 iterations. A damaged record's count of millions would render
// for hours, so a stored count is held to what the dialog can set.
constexpr int32_t kFewestIterations = 20, kMostIterations = 2000;

int32_t IterationsOf(const FractInfo& e) {
  return std::clamp(e.w[kFraIterations], kFewestIterations, kMostIterations);
}

// The percentage as 0..255, held to the 16-bit word it travels in: a damaged record's
// percentage of millions is no undefined conversion.
int16_t OpacityOf(const FractInfo& e) {
  return PercentTo255Int16(e.w[kFraOpacity]);
}

}  // namespace

int32_t MiscFract::FillBuf(int16_t planeCount, int16_t blendMode, int16_t opacity,
                           int16_t source, int16_t apply, ScriptFile* /*script*/, int32_t width,
                           int32_t height, int32_t left, int32_t top, int32_t right,
                           int32_t bottom, int32_t /*fullWidth*/, int32_t /*fullHeight*/,
                           int32_t photoLeft, int32_t photoTop, int32_t photoRight,
                           int32_t photoBottom, float scaleX, float scaleY, uint8_t* plane0,
                           uint8_t* plane1, uint8_t* plane2, uint8_t* plane3,
                           const uint8_t* mask) {
  const bool three = planeCount != 1;
  if (!par_.valid() || !vmkrec::PlanesGiven(width, height, three, plane0, plane1, plane2))
    return -1;
  const vmkrec::EngineArea area = vmkrec::ClampArea(left, top, right, bottom, width, height, false);
  uint8_t identity[5][256];
  for (auto& row : identity)
    for (int32_t v = 0; v < 256; ++v) row[v] = static_cast<uint8_t>(v);

  const int64_t size = (int64_t{width} + 1) * (int64_t{height} + 1);
  plat::Block<uint8_t> work(6 * size, WorkSource());
  if (!work) return -1;
  uint8_t* W[6];
  for (int32_t k = 0; k < 6; ++k) W[k] = work.get() + k * size;

  const vmkrec::SourceRequest request = vmkrec::MakeSourceRequest(
      width, height, area.right - area.left, area.bottom - area.top, photoLeft, photoTop,
      photoRight, photoBottom, scaleX, scaleY, plane0, plane1, plane2, plane3);
  vmkrec::PrepareEngineSource(source, three ? 3 : 1, 255, request);

  uint8_t* const planes[3] = {plane0, three ? plane1 : plane0, three ? plane2 : plane0};
  const auto plain = static_cast<size_t>(int64_t{width} * height);
  for (int32_t k = 0; k < 3; ++k) {
    std::memcpy(W[k], planes[k], plain);
    std::memset(W[3 + k], 0, static_cast<size_t>(size));
  }
  const FractInfo& e = par_->entries[0];
  if (apply == 1 && !area.empty()) {
    FractJulia(static_cast<int16_t>(e.w[kFraType]), width, height, W[3], W[4], W[5], area.left,
               area.top, area.right, area.bottom, identity, IterationsOf(e),
               e.w[kFraColourScale], e.w[kFraBailOut], FractFixedValue(&e.w[kFraWindowLeft]),
               FractFixedValue(&e.w[kFraWindowTop]), FractFixedValue(&e.w[kFraWindowRight]),
               FractFixedValue(&e.w[kFraWindowBottom]), FractFixedValue(&e.w[kFraConstRe]),
               FractFixedValue(&e.w[kFraConstIm]));
    if (plat::Cancelled()) return 0;
    // The blur and the colouring work on the rectangle's own position, as
    // the drawing and the final blend do.
    int16_t strength = 0, radius = 0;
    if (BlurOf(e.w[kFraBlur], &strength, &radius)) {
      for (int32_t k = 3; k < 6; ++k)
        Effects::Blur(0, strength, W[k], nullptr, width, height, area.left, area.top, area.right,
                      area.bottom, radius, 1);
    }
    uint8_t ramp[5 * 256];
    std::memcpy(ramp, e.ramp.opacity, 256);
    std::memcpy(ramp + 256, e.ramp.colour, 4 * 256);
    Effects::LutToColor(static_cast<int16_t>(e.w[kFraColourMode]),
                        OpacityOf(e), W[3], W[4], W[5],
                        nullptr, height, width, W[0], W[1], W[2], nullptr, height, width,
                        area.left, area.top, area.right, area.bottom, area.left, area.top,
                        area.right, area.bottom, 1, 3, 3, nullptr, ramp,
                        static_cast<int16_t>(e.w[kFraColourShift]), 255);
  }
  if (three) {
    for (int32_t k = 0; k < 3; ++k)
      vmkrec::BlendEffect(planes[k], W[k], mask, width, area, blendMode, opacity);
    return 0;
  }
  for (int64_t i = 0; i < static_cast<int64_t>(plain); ++i)
    W[3][i] = static_cast<uint8_t>((W[0][i] + W[1][i] + W[2][i]) / 3);
  vmkrec::BlendEffect(plane0, W[3], mask, width, area, blendMode, opacity);
  return 0;
}

int32_t MiscFract::FractPlasma(int32_t width, int32_t height, uint8_t* plane) {
  return DrawPlasma(width, height, plane);
}

int32_t MiscFract::DiffuseAggreg(int32_t width, int32_t height, uint8_t* plane,
                                 int16_t colourRow, const uint8_t (*table)[256], int32_t seed,
                                 int32_t walkerCount, int32_t /*unused*/, int32_t passes,
                                 int32_t startXPercent, int32_t startYPercent) {
  return DrawAggregation(width, height, plane, colourRow, table != nullptr ? table[0] : nullptr,
                         seed, walkerCount, passes, startXPercent, startYPercent);
}

int32_t MiscFract::nearanother(int32_t width, int32_t height, int32_t x, int32_t y,
                               char** grid) {
  return ::nearanother(width, height, x, y, grid);
}

int32_t RunFractRow(const EngineRowCall& c) {
  return RunEngineOnce<MiscFract>(
      [&](MiscFract& e) { e.SetFractPar(&c.Record<FractPar>()); },
      [&](MiscFract& e) {
        return e.FillBuf(c.n, c.mode, c.opacity, 0, 1, nullptr, c.w, c.h, 0, 0, c.aw, c.ah, c.w,
                         c.h, 0, 0, c.w, c.h, 1.0f, 1.0f, c.planes[0], c.planes[1], c.planes[2],
                         nullptr, c.mask);
      });
}
