// Blurs that smear a picture along lines: radial (zoom along the ray from a
// centre, spin around it) and motion (one-sided streak along an angle).
//
// Samples are read from copies of the region, so pixels already written
// never feed later ones, and only samples strictly inside the region count:
// the region's border lines average nothing and so receive 0 before the
// blend. An odd radial count takes one sample fewer than asked (the index
// runs over -(n / 2) .. n / 2 - 1), except a count of 1: its range is empty,
// which would blend black over the whole picture, so its one sample is the
// pixel itself, border lines included, and the picture stays as it was.
//
// Counts and lengths reach 32767, so the loops skip what cannot count
// without changing a result: a zoom leaves out the samples farther from
// the centre than the region's farthest corner or nearer than its nearest
// point, a motion streak stops once its samples have left the region for
// good. A spin past one full turn visits the same degrees again: each
// degree is measured once and counted as often as the range visits it,
// except where its sample lies so near a pixel's edge that the other turns
// (whose angles differ by a hair, the turn being taken as 6.283185308) might
// fall on the neighbour; there every visit is measured.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "app/core/plane_geometry.h"
#include "operations/effect_support.h"
#include "operations/effects.h"
#include "platform/parallel/cancel.h"
#include "platform/parallel/parallel.h"

using effect_support::Blend;
using effect_support::ClampRegion;
using effect_support::Weight;

namespace {

// The planes a call works on with their copies, and the per-pixel frame
// that every streak blur shares.
class StreakFrame {
 public:
  StreakFrame(unsigned char* red, unsigned char* green, unsigned char* blue, int16_t channels,
              int32_t width, int32_t height)
      : width_(width), planes_(channels == 1 ? 1 : 3) {
    plane_[0] = red;
    plane_[1] = green;
    plane_[2] = blue;
    const int64_t size = static_cast<int64_t>(width) * height;
    for (int32_t p = 0; p < planes_; ++p) copy_[p] = plat::Block<unsigned char>(size, WorkSource());
  }

  bool ok() const {
    for (int32_t p = 0; p < planes_; ++p) {
      if (plane_[p] == nullptr || !copy_[p]) return false;
    }
    return true;
  }

  // Runs `gather(x, y, add)` for every pixel of the region; `add(xs, ys)`
  // offers one sample position. The mean of the counted samples is blended
  // into each plane; with `own`, the pixel's own sample is (gather unused).
  template <typename Gather>
  void Run(int16_t mode, int16_t opacity, const unsigned char* mask, int32_t x0, int32_t y0,
           int32_t x1, int32_t y1, Gather gather, bool own = false) {
    if (x0 > x1 || y0 > y1) return;
    // Pixels read only the copies and write only themselves: the rows run in bands on the
    // shared threads, the copies first. The copies are a pass over memory, a moment beside
    // the gathering (a spin of 100 samples over 6000 x 4000 gathers for many seconds): they
    // report nothing, so that the gathering's bands move the meter through the operation's
    // share rather than finding it filled.
    {
      const plat::QuietProgress quiet;
      plat::ParallelFor(y0, y1 + 1, effect_support::kPixelBandRows,
                        [&](int32_t first, int32_t end) {
                          for (int32_t p = 0; p < planes_; ++p) {
                            for (int32_t y = first; y < end; ++y) {
                              const int64_t row = static_cast<int64_t>(y) * width_ + x0;
                              std::memcpy(copy_[p].get() + row, plane_[p] + row,
                                          static_cast<size_t>(x1 - x0 + 1));
                            }
                          }
                        });
    }
    plat::ParallelFor(y0, y1 + 1, effect_support::kPixelBandRows, [&](int32_t first, int32_t end) {
      for (int32_t y = first; y < end; ++y) {
        // A stopped render leaves the rows it has not reached as they were; its owner drops
        // the planes. A row of the longest gathering takes milliseconds, a band of sixteen a
        // good part of a second on a loaded machine: each row looks.
        if (plat::Cancelled()) return;
        for (int32_t x = x0; x <= x1; ++x) {
          int32_t sum[3] = {0, 0, 0};
          int32_t n = 0;
          const int64_t i = static_cast<int64_t>(y) * width_ + x;
          if (own) {
            for (int32_t p = 0; p < planes_; ++p) sum[p] = copy_[p].get()[i];
            n = 1;
          } else {
            gather(x, y, [&](int32_t xs, int32_t ys, int32_t times = 1) {
              if (xs <= x0 || xs >= x1 || ys <= y0 || ys >= y1) return;
              const int64_t s = static_cast<int64_t>(ys) * width_ + xs;
              for (int32_t p = 0; p < planes_; ++p) sum[p] += copy_[p].get()[s] * times;
              n += times;
            });
          }
          const int32_t weight = Weight(mask, i, opacity);
          for (int32_t p = 0; p < planes_; ++p) {
            plane_[p][i] = Blend(mode, plane_[p][i], n > 0 ? sum[p] / n : 0, weight);
          }
        }
      }
    });
  }

 private:
  int32_t width_;
  int32_t planes_;
  unsigned char* plane_[3] = {nullptr, nullptr, nullptr};
  plat::Block<unsigned char> copy_[3];
};

// A sample position truncated toward zero; positions beyond 32 bits (a
// centre far outside a wide plane) saturate, and count as outside.
int32_t SamplePos(double v) {
  if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

// The first index of lo..hi at which `holds`, which once true stays true,
// becomes true; hi + 1 when it never does.
template <typename Holds>
int32_t FirstHolding(int32_t lo, int32_t hi, Holds holds) {
  int64_t a = lo;
  int64_t b = static_cast<int64_t>(hi) + 1;
  while (a < b) {
    const int64_t m = a + (b - a) / 2;
    if (holds(static_cast<int32_t>(m)))
      b = m;
    else
      a = m + 1;
  }
  return static_cast<int32_t>(a);
}

// Degrees in one turn of a spin.
constexpr int32_t kSpinTurn = 360;

// One degree of a spin longer than a turn: its first index in the range
// and how many times the range visits it (once per turn).
struct SpinDegree {
  int32_t first = 0;
  int32_t visits = 0;
};

// How far a position lies from the nearest whole number, where truncation
// changes its result.
double FromWhole(double v) {
  return std::fabs(v - std::nearbyint(v));
}

}  // namespace

int32_t Effects::RadialBlur(int16_t mode, int16_t opacity, unsigned char* red,
                            unsigned char* green, unsigned char* blue, int32_t height,
                            int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                            const unsigned char* mask, int16_t channels, int16_t count,
                            int16_t centreX, int16_t centreY, int16_t kind) {
  if (count == 0 || width <= 0 || height <= 0) return -1;
  ClampRegion(width, height, x0, y0, x1, y1);
  StreakFrame frame(red, green, blue, channels, width, height);
  if (!frame.ok()) return -1;
  if (kind != 0 && kind != 1) return 0;
  if (count == 1) {
    frame.Run(mode, opacity, mask, x0, y0, x1, y1, [](int32_t, int32_t, auto) {}, true);
    return 0;
  }

  // 64-bit: a wide region times a centre of up to 32767 percent does not
  // fit 32 bits.
  const int64_t cx = static_cast<int64_t>(x1 - x0) * centreX / 100;
  const int64_t cy = static_cast<int64_t>(y1 - y0) * centreY / 100;
  const int32_t first = -(count / 2);
  const int32_t last = count / 2 - 1;
  // A spin over more than one turn: the degrees of the range with their
  // visits.
  SpinDegree degrees[kSpinTurn];
  const bool turns = kind == 1 && last - first + 1 > kSpinTurn;
  if (turns) {
    for (int32_t j = 0; j < kSpinTurn; ++j) {
      degrees[j].first = first + j;
      degrees[j].visits = (last - degrees[j].first) / kSpinTurn + 1;
    }
  }
  // A sample lies in the region only at a radius between the region's
  // nearest point and its farthest corner, give or take the truncation of
  // both coordinates: the zoom visits only those radii.
  double corner = 0.0;
  for (const int64_t px : {int64_t{x0}, int64_t{x1}}) {
    for (const int64_t py : {int64_t{y0}, int64_t{y1}}) {
      const double ddx = static_cast<double>(px - cx);
      const double ddy = static_cast<double>(py - cy);
      corner = std::max(corner, std::sqrt(ddx * ddx + ddy * ddy));
    }
  }
  const double nx = static_cast<double>(std::max({int64_t{x0} - cx, int64_t{0}, cx - x1}));
  const double ny = static_cast<double>(std::max({int64_t{y0} - cy, int64_t{0}, cy - y1}));
  const double reach = corner * (1.0 + 1e-9) + 2.0;
  const double near = std::max(0.0, std::sqrt(nx * nx + ny * ny) * (1.0 - 1e-9) - 2.0);
  const double fcx = static_cast<double>(cx);
  const double fcy = static_cast<double>(cy);
  frame.Run(mode, opacity, mask, x0, y0, x1, y1, [&](int32_t x, int32_t y, auto add) {
    const double dx = x - fcx;
    const double dy = y - fcy;
    const double d = std::sqrt(dx * dx + dy * dy);
    float a = 0.0f;
    A_ang_2point(static_cast<float>(cx), static_cast<float>(cy), static_cast<float>(x),
                 static_cast<float>(y), &a);
    if (kind == 0) {
      const double ca = std::cos(static_cast<double>(a));
      const double sa = std::sin(static_cast<double>(a));
      // The radius falls as k grows: the samples at a useful radius are
      // two runs, on this side of the centre and beyond it.
      auto radius = [&](int32_t k) { return static_cast<float>(d) - static_cast<float>(k); };
      auto below = [&](double limit) {
        return FirstHolding(first, last, [&](int32_t k) { return radius(k) < limit; });
      };
      auto atMost = [&](double limit) {
        return FirstHolding(first, last, [&](int32_t k) { return radius(k) <= limit; });
      };
      const int32_t aheadTo = below(near) - 1;
      const int32_t runs[2][2] = {{atMost(reach), aheadTo},
                                  {std::max(atMost(-near), aheadTo + 1), below(-reach) - 1}};
      for (const auto& run : runs) {
        for (int32_t k = run[0]; k <= run[1]; ++k) {
          const float r = radius(k);
          add(SamplePos(r * ca + fcx), SamplePos(r * sa + fcy));
        }
      }
    } else {
      const float r = static_cast<float>(d);
      auto sample = [&](int32_t k, double* sx, double* sy) {
        const double ak = a + k * 6.283185308 / 360.0;
        *sx = r * std::cos(ak) + fcx;
        *sy = r * std::sin(ak) + fcy;
      };
      if (!turns) {
        double sx = 0.0, sy = 0.0;
        for (int32_t k = first; k <= last; ++k) {
          sample(k, &sx, &sy);
          add(SamplePos(sx), SamplePos(sy));
        }
        return;
      }
      for (const SpinDegree& degree : degrees) {
        double sx = 0.0, sy = 0.0;
        sample(degree.first, &sx, &sy);
        // Each later turn moves the angle by 8.2e-10 more (the turn is a
        // little over 2 pi) and the rounding of the angle adds less than
        // 1e-12: the visits lie within this distance of the first one.
        const double spread = static_cast<double>(r) * 1e-9 * degree.visits + 1e-6;
        if (degree.visits == 1 || (FromWhole(sx) > spread && FromWhole(sy) > spread)) {
          add(SamplePos(sx), SamplePos(sy), degree.visits);
          continue;
        }
        for (int32_t v = 0; v < degree.visits; ++v) {
          sample(degree.first + v * kSpinTurn, &sx, &sy);
          add(SamplePos(sx), SamplePos(sy));
        }
      }
    }
  });
  return 0;
}

int32_t Effects::MotionBlur(int16_t mode, int16_t opacity, unsigned char* red,
                            unsigned char* green, unsigned char* blue, int32_t height,
                            int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                            const unsigned char* mask, int16_t channels, int16_t length,
                            int16_t angle) {
  if (length == 0 || width <= 0 || height <= 0) return -1;
  ClampRegion(width, height, x0, y0, x1, y1);
  StreakFrame frame(red, green, blue, channels, width, height);
  if (!frame.ok()) return -1;

  const double theta = angle * 3.141592654 / 180.0;
  const float c = static_cast<float>(std::cos(theta));
  const float s = static_cast<float>(std::sin(theta));
  frame.Run(mode, opacity, mask, x0, y0, x1, y1, [&](int32_t x, int32_t y, auto add) {
    const float fx = static_cast<float>(x);
    const float fy = static_cast<float>(y);
    for (int32_t k = 0; k < length; ++k) {
      const float fk = static_cast<float>(k);
      const int32_t xs = SamplePos(c * fk + fx);
      const int32_t ys = SamplePos(s * fk + fy);
      // Each coordinate moves one way only: once past the region's border
      // in that direction, no later sample comes back.
      if ((c >= 0.0f && xs >= x1) || (c <= 0.0f && xs <= x0) || (s >= 0.0f && ys >= y1) ||
          (s <= 0.0f && ys <= y0)) {
        break;
      }
      add(xs, ys);
    }
  });
  return 0;
}
