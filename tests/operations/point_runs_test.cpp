// The point operations that run in bands of rows and in 16-bit lanes (the runs of
// effect_support.h) give the bytes of their plain row-by-row forms, written out here as the
// operations were first written, at one, three and eight threads, on odd sizes, tall and wide
// planes, every blend mode, opacities and amounts inside and outside the lanes' range, with
// and without a mask, through shifted and scaled regions and with source and target the same
// planes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "operations/effect_support.h"
#include "operations/effects.h"
#include "platform/parallel/parallel.h"
#include "platform/parallel/simd.h"
#include "support/noise_plane.h"

namespace {

using Plane = std::vector<unsigned char>;
using effect_support::Blend;
using effect_support::Clamp255;
using effect_support::Combine;
using effect_support::Mix;
using effect_support::Weight;

struct Threads {
  explicit Threads(int n) { plat::SetThreadCount(n); }
  ~Threads() { plat::SetThreadCount(0); }
};

using vmktest::Noise;

struct Size {
  int32_t w, h;
};
constexpr Size kSizes[] = {{1, 1}, {17, 3}, {2049, 5}, {5, 2049}, {601, 67}};

struct Blending {
  int16_t mode, opacity, amount;
  bool masked;
};

// Every mode (and one past them) at a middle weight; then replacement and one other mode
// over opacities and amounts on both sides of the lanes' range.
std::vector<Blending> Blendings() {
  std::vector<Blending> v;
  for (int16_t mode = 0; mode <= 12; ++mode) v.push_back({mode, 200, 150, true});
  for (int16_t mode : {0, 5})
    for (int16_t opacity : {0, 255, 300, -7})
      for (int16_t amount : {0, 255, 256, -40})
        for (bool masked : {false, true}) v.push_back({mode, opacity, amount, masked});
  return v;
}

// --- Plain forms -----------------------------------------------------------------------------

struct Regions {
  int32_t sx0, sy0, sx1, sy1, tx0, ty0, tx1, ty1;
};

template <typename Visit>
int32_t PlainMapped(int16_t opacity, int32_t sh, int32_t sw, int32_t dh, int32_t dw, Regions r,
                    const unsigned char* mask, Visit visit) {
  int32_t tx0 = r.tx0, ty0 = r.ty0, tx1 = r.tx1, ty1 = r.ty1;
  effect_support::ClampRegion(dw, dh, tx0, ty0, tx1, ty1);
  if (tx1 < tx0 || ty1 < ty0) return -1;
  std::vector<int16_t> col(tx1 - tx0 + 1), row(ty1 - ty0 + 1);
  if (Effects::GetOffset(sh, sw, dh, dw, r.sx0, r.sy0, r.sx1, r.sy1, r.tx0, r.ty0, r.tx1, r.ty1,
                         col.data(), row.data()) != 0)
    return -1;
  for (int32_t y = ty0; y <= ty1; ++y)
    for (int32_t x = tx0; x <= tx1; ++x) {
      const int64_t target = static_cast<int64_t>(y) * dw + x;
      visit(static_cast<int64_t>(row[y - ty0]) * sw + col[x - tx0], target,
            Weight(mask, target, opacity));
    }
  return 0;
}

enum class Op { kAdd, kSubtract, kDifference, kMultiply };

int32_t PlainEffect(Op op, int32_t k, int32_t old, int32_t s) {
  switch (op) {
    case Op::kAdd:
      return old + k * s / 255;
    case Op::kSubtract:
      return old - k * s / 255;
    case Op::kDifference: {
      const int32_t d = old - k * s / 255;
      return d < 0 ? -d : d;
    }
    case Op::kMultiply:
      return old * s / 255;
  }
  return 0;
}

int32_t PlainTwoLayer(Op op, const Blending& b, const unsigned char* src, int32_t sh, int32_t sw,
                      unsigned char* dst, int32_t dh, int32_t dw, Regions r,
                      const unsigned char* mask) {
  return PlainMapped(b.opacity, sh, sw, dh, dw, r, mask, [&](int64_t f, int64_t t, int32_t a) {
    const int32_t s = src[f], old = dst[t];
    dst[t] = Mix(old, Combine(b.mode, old, Clamp255(PlainEffect(op, b.amount, old, s))), a);
  });
}

int32_t RunTwoLayer(Op op, const Blending& b, const unsigned char* src, int32_t sh, int32_t sw,
                    unsigned char* dst, int32_t dh, int32_t dw, Regions r,
                    const unsigned char* mask) {
  switch (op) {
    case Op::kAdd:
      return Effects::Add(b.mode, b.opacity, src, sh, sw, dst, dh, dw, r.sx0, r.sy0, r.sx1, r.sy1,
                          r.tx0, r.ty0, r.tx1, r.ty1, 1, 1, mask, b.amount);
    case Op::kSubtract:
      return Effects::Subtract(b.mode, b.opacity, src, sh, sw, dst, dh, dw, r.sx0, r.sy0, r.sx1,
                               r.sy1, r.tx0, r.ty0, r.tx1, r.ty1, 1, 1, mask, b.amount);
    case Op::kDifference:
      return Effects::Difference(b.mode, b.opacity, src, sh, sw, dst, dh, dw, r.sx0, r.sy0, r.sx1,
                                 r.sy1, r.tx0, r.ty0, r.tx1, r.ty1, 1, 1, mask, b.amount);
    case Op::kMultiply:
      return Effects::Multiply(b.mode, b.opacity, src, sh, sw, dst, dh, dw, r.sx0, r.sy0, r.sx1,
                               r.sy1, r.tx0, r.ty0, r.tx1, r.ty1, 1, 1, mask);
  }
  return -1;
}

// The whole planes, a shifted part (the source two columns and one row on), and a source
// region scaled onto a smaller target.
std::vector<Regions> RegionsOf(Size s) {
  return {{0, 0, s.w, s.h, 0, 0, s.w, s.h},
          {2, 1, s.w - 1, s.h - 1, 0, 0, s.w - 3, s.h - 2},
          {0, 0, s.w - 1, s.h - 1, 1, 1, s.w / 2, s.h / 2}};
}

std::string Where(Size s, int threads, const Blending& b, size_t region) {
  return std::to_string(s.w) + "x" + std::to_string(s.h) + " threads " + std::to_string(threads) +
         " mode " + std::to_string(b.mode) + " opacity " + std::to_string(b.opacity) + " amount " +
         std::to_string(b.amount) + (b.masked ? " masked" : "") + " region " +
         std::to_string(region);
}

// --- The checks ------------------------------------------------------------------------------

// Exhaustive over the samples and weights the lanes see: the replacing blend of a run is
// Mix for every old sample, value, mask sample and opacity 0..255.
TEST(PointRuns, MixRunIsTheMixForEverySampleWeightAndOpacity) {
  Plane old(256 * 256), value(256 * 256), mask(256 * 256);
  for (int32_t i = 0; i < 256 * 256; ++i) {
    old[i] = static_cast<unsigned char>(i & 255);
    value[i] = static_cast<unsigned char>(i >> 8);
  }
  for (int32_t opacity = 0; opacity <= 255; opacity += 1) {
    for (int32_t m : {0, 1, 127, 128, 254, 255, opacity}) {
      std::fill(mask.begin(), mask.end(), static_cast<unsigned char>(m));
      Plane p = old;
      for (size_t at = 0; at < p.size(); at += effect_support::kRun)
        effect_support::MixRun(p.data() + at, value.data() + at, mask.data() + at, opacity,
                               effect_support::kRun);
      Plane q = old;
      effect_support::MixRun(q.data(), value.data(), nullptr, opacity,
                             static_cast<int32_t>(q.size()));
      for (int32_t i = 0; i < 256 * 256; ++i) {
        ASSERT_EQ(p[i], Mix(old[i], value[i], m * opacity / 255))
            << opacity << " " << m << " " << i;
        ASSERT_EQ(q[i], Mix(old[i], value[i], opacity)) << opacity << " " << i;
      }
    }
  }
}

TEST(PointRuns, AddSubtractDifferenceMultiplyEqualTheirPlainForms) {
  for (Size s : kSizes) {
    const size_t n = static_cast<size_t>(s.w) * s.h;
    const Plane src = Noise(n, 3), orig = Noise(n, 5), mask = Noise(n, 9);
    for (Op op : {Op::kAdd, Op::kSubtract, Op::kDifference, Op::kMultiply}) {
      const std::vector<Regions> regions = RegionsOf(s);
      for (size_t ri = 0; ri < regions.size(); ++ri) {
        const Regions& r = regions[ri];
        for (const Blending& b : Blendings()) {
          const unsigned char* m = b.masked ? mask.data() : nullptr;
          Plane expect = orig, expectSame = orig;
          const int32_t rc =
              PlainTwoLayer(op, b, src.data(), s.h, s.w, expect.data(), s.h, s.w, r, m);
          // Source and target the same plane.
          PlainTwoLayer(op, b, expectSame.data(), s.h, s.w, expectSame.data(), s.h, s.w, r, m);
          for (int threads : {1, 3, 8}) {
            const Threads t(threads);
            Plane got = orig, same = orig;
            ASSERT_EQ(RunTwoLayer(op, b, src.data(), s.h, s.w, got.data(), s.h, s.w, r, m), rc);
            RunTwoLayer(op, b, same.data(), s.h, s.w, same.data(), s.h, s.w, r, m);
            ASSERT_EQ(got, expect) << static_cast<int>(op) << " " << Where(s, threads, b, ri);
            ASSERT_EQ(same, expectSame) << static_cast<int>(op) << " " << Where(s, threads, b, ri);
          }
        }
      }
    }
  }
}

// Replace over one plane, three planes (their own source each, the composite onto itself
// included), the mean of three into one, and one source into three.
TEST(PointRuns, ReplaceEqualsItsPlainFormForEveryPlaneCount) {
  for (Size s : kSizes) {
    const size_t n = static_cast<size_t>(s.w) * s.h;
    const Plane mask = Noise(n, 9);
    const Plane src[3] = {Noise(n, 11), Noise(n, 12), Noise(n, 13)};
    const Plane orig[3] = {Noise(n, 21), Noise(n, 22), Noise(n, 23)};
    const std::vector<Regions> regions = RegionsOf(s);
    for (size_t ri = 0; ri < regions.size(); ++ri) {
      const Regions& r = regions[ri];
      for (const Blending& b : Blendings()) {
        const unsigned char* m = b.masked ? mask.data() : nullptr;
        const int32_t k = b.amount;
        // cs, ct, and whether the sources are the targets themselves.
        const int32_t shapes[][3] = {{1, 1, 0}, {3, 3, 0}, {3, 3, 1},
                                     {3, 1, 0}, {1, 3, 0}, {1, 1, 1}};
        for (const auto& shape : shapes) {
          const int32_t cs = shape[0], ct = shape[1];
          const bool self = shape[2] == 1;
          Plane expect[3] = {orig[0], orig[1], orig[2]};
          const unsigned char* from[3] = {src[0].data(), src[1].data(), src[2].data()};
          if (self)
            for (int32_t c = 0; c < 3; ++c) from[c] = expect[c].data();
          auto put = [&](unsigned char* d, int32_t sv, int32_t a) {
            const int32_t old = *d;
            *d = Mix(old, Clamp255(((255 - k) * old + k * Combine(b.mode, old, sv)) / 255), a);
          };
          const int32_t rc = PlainMapped(
              b.opacity, s.h, s.w, s.h, s.w, r, m, [&](int64_t f, int64_t t, int32_t a) {
                if (cs == 3 && ct == 1) {
                  put(&expect[0][t], (from[0][f] + from[1][f] + from[2][f]) / 3, a);
                  return;
                }
                const int32_t s0 = from[0][f];
                for (int32_t c = 0; c < ct; ++c) put(&expect[c][t], cs == 3 ? from[c][f] : s0, a);
              });
          for (int threads : {1, 3, 8}) {
            const Threads t(threads);
            Plane got[3] = {orig[0], orig[1], orig[2]};
            const unsigned char* in[3] = {src[0].data(), src[1].data(), src[2].data()};
            if (self)
              for (int32_t c = 0; c < 3; ++c) in[c] = got[c].data();
            ASSERT_EQ(Effects::Replace(
                          b.mode, b.opacity, in[0], cs == 3 ? in[1] : nullptr,
                          cs == 3 ? in[2] : nullptr, s.h, s.w, got[0].data(),
                          ct == 3 ? got[1].data() : nullptr, ct == 3 ? got[2].data() : nullptr, s.h,
                          s.w, r.sx0, r.sy0, r.sx1, r.sy1, r.tx0, r.ty0, r.tx1, r.ty1,
                          static_cast<int16_t>(cs), static_cast<int16_t>(ct), m, b.amount),
                      rc);
            for (int32_t c = 0; c < 3; ++c)
              ASSERT_EQ(got[c], expect[c])
                  << "planes " << cs << " to " << ct << (self ? " self" : "") << " plane " << c
                  << " " << Where(s, threads, b, ri);
          }
        }
      }
    }
  }
}

TEST(PointRuns, FillOfAPlaneEqualsItsPlainForm) {
  for (Size s : kSizes) {
    const size_t n = static_cast<size_t>(s.w) * s.h;
    const Plane orig = Noise(n, 31), mask = Noise(n, 9);
    const std::vector<Regions> regions = RegionsOf(s);
    for (size_t ri = 0; ri < regions.size(); ++ri) {
      const Regions& r = regions[ri];
      for (const Blending& b : Blendings()) {
        const unsigned char* m = b.masked ? mask.data() : nullptr;
        const unsigned char colour = 173;
        const int16_t strength = b.amount;
        Plane expect = orig;
        effect_support::ForEachPixel(
            s.w, s.h, r.tx0, r.ty0, r.tx1, r.ty1, [&](int64_t i, int32_t, int32_t) {
              const int32_t old = expect[i];
              expect[i] =
                  Blend(b.mode, old, Clamp255(((255 - strength) * old + strength * colour) / 255),
                        Weight(m, i, b.opacity));
            });
        for (int threads : {1, 3, 8}) {
          const Threads t(threads);
          Plane got = orig;
          ASSERT_EQ(Effects::Fill(b.mode, b.opacity, got.data(), s.h, s.w, r.tx0, r.ty0, r.tx1,
                                  r.ty1, 1, m, &colour, &strength),
                    0);
          ASSERT_EQ(got, expect) << Where(s, threads, b, ri);
        }
      }
    }
  }
}

// Operations whose rows went to the shared threads unchanged, their blend-back through the
// runs: the same bytes at one, three and eight threads, and, at one thread with a full mask,
// what the unmasked call gives (the lanes weigh a mask of 255 as no mask).
TEST(PointRuns, WaveChannelLevelsAndColourRangeAtAnyThreadCount) {
  for (Size s : kSizes) {
    const size_t n = static_cast<size_t>(s.w) * s.h;
    const Plane mask = Noise(n, 9), full(n, 255);
    const Plane orig[3] = {Noise(n, 41), Noise(n, 42), Noise(n, 43)};
    for (const Blending& b : Blendings()) {
      if (b.amount != 255 && b.amount != 150) continue;
      auto run = [&](int threads, const unsigned char* m) {
        const Threads t(threads);
        std::vector<Plane> p(orig, orig + 3);
        std::vector<Plane> q(orig, orig + 3);
        Effects::SinusWave(b.mode, b.opacity, p[0].data(), m, s.h, s.w, 1, 0, s.w, s.h - 2, 0, 3,
                           20, 2, 15);
        Effects::SinusWave(b.mode, b.opacity, p[1].data(), m, s.h, s.w, 0, 0, s.w, s.h, 1, 2, 30,
                           5, 40);
        Effects::AdjustRGBChan(b.mode, b.opacity, s.h, s.w, p[0].data(), p[1].data(),
                               p[2].data(), m, 0, 1, s.w - 2, s.h, 30, -20, 10, 40, b.amount % 4);
        const unsigned char newColour[3] = {200, 30, 90}, ref[3] = {120, 60, 30};
        Effects::ColorRange(b.mode, b.opacity, 3, orig[0].data(), orig[1].data(), orig[2].data(),
                            s.h, s.w, 3, q[0].data(), q[1].data(), q[2].data(), 0, 0, 0, 0,
                            s.w, s.h, m, 40, newColour, ref);
        p.insert(p.end(), q.begin(), q.end());
        return p;
      };
      const unsigned char* m = b.masked ? mask.data() : nullptr;
      const std::vector<Plane> one = run(1, m);
      for (int threads : {3, 8})
        ASSERT_EQ(run(threads, m), one) << Where(s, threads, b, 0);
      if (!b.masked) {
        ASSERT_EQ(run(1, full.data()), one) << Where(s, 1, b, 0);
      }
    }
  }
}

// The three-channel levels without their whole-plane work copies: each run's three channels
// from the samples before the blend, against the form that shifted every pixel into three work
// planes and then blended them back (written out here), every range, with and without a mask,
// the same plane given as two channels, shifts and contrasts that change nothing, that
// saturate and that lie between, on every vector path, at one, three and eight threads.
TEST(PointRuns, ChannelLevelsByRunsEqualTheWorkPlaneForm) {
  struct Levels {
    int32_t shifts[3], contrast;
  };
  const Levels levels[] = {{{30, -20, 10}, 40}, {{0, 0, 0}, 0}, {{500, -1000, 0}, 0},
                           {{-5, 7, 120}, -30}, {{0, 0, 0}, 200}};
  std::vector<plat::SimdLevel> paths = {plat::SimdLevel::kBaseline};
  if (plat::SimdSupported() >= plat::SimdLevel::kAvx512) paths.push_back(plat::SimdLevel::kAvx512);
  auto step = [](int64_t percent) {
    percent = std::clamp<int64_t>(percent, -1000, 1000);
    return static_cast<int32_t>(static_cast<double>(static_cast<float>(percent)) * 2.55 + 0.5);
  };
  for (Size s : kSizes) {
    const size_t n = static_cast<size_t>(s.w) * s.h;
    const Plane mask = Noise(n, 19);
    const Plane orig[3] = {Noise(n, 51), Noise(n, 52), Noise(n, 53)};
    const int32_t x0 = 0, y0 = s.h > 2 ? 1 : 0, x1 = s.w - 2, y1 = s.h;
    for (int32_t range = 0; range <= 3; ++range) {
      for (const Blending& b : Blendings()) {
        if (b.amount != 255) continue;
        for (bool shared : {false, true})
        for (const Levels& lv : levels) {
          const unsigned char* m = b.masked ? mask.data() : nullptr;
          std::vector<Plane> plain(orig, orig + 3);
          unsigned char* pp[3] = {plain[0].data(), plain[1].data(),
                                  shared ? plain[0].data() : plain[2].data()};
          unsigned char table[256];
          Effects::CreaLut(table, static_cast<int16_t>(lv.contrast), 0, 0);
          const int32_t* shifts = lv.shifts;
          std::vector<Plane> work(3, Plane(n));
          int32_t l = x0, t = y0, r = x1, bo = y1;
          effect_support::ClampRegion(s.w, s.h, l, t, r, bo);
          for (int32_t y = t; y <= bo; ++y)
            for (int32_t x = l; x <= r; ++x) {
              const size_t i = static_cast<size_t>(y) * s.w + x;
              const int32_t L = (2 * pp[0][i] + pp[1][i]) / 3;
              const int32_t mid = 128 - (L > 128 ? L - 128 : 128 - L);
              const int32_t off = 128 - mid;
              for (int32_t c = 0; c < 3; ++c) {
                int64_t sh = shifts[c];
                if (range == 1) sh = sh * L / 255;
                if (range == 2) sh = sh * mid / 128;
                if (range == 3) sh = sh * (255 - L) / 255;
                const int32_t v = Clamp255(pp[c][i] + step(sh));
                const int32_t out = range == 0   ? table[v]
                                    : range == 1 ? (L * table[v] + (255 - L) * v) / 255
                                    : range == 2 ? (table[v] * mid + off * v) / 128
                                                 : (table[v] * (255 - L) + L * v) / 255;
                work[c][i] = static_cast<unsigned char>(out);
              }
            }
          for (int32_t y = t; y <= bo; ++y)
            for (int32_t c = 0; c < 3; ++c)
              for (int32_t x = l; x <= r; ++x) {
                const size_t i = static_cast<size_t>(y) * s.w + x;
                pp[c][i] = Blend(b.mode, pp[c][i], work[c][i], Weight(m, i, b.opacity));
              }
          for (const plat::SimdLevel path : paths)
            for (int threads : {1, 3, 8}) {
              const Threads th(threads);
              plat::SetSimdLevel(path);
              std::vector<Plane> runs(orig, orig + 3);
              unsigned char* rp[3] = {runs[0].data(), runs[1].data(),
                                      shared ? runs[0].data() : runs[2].data()};
              Effects::AdjustRGBChan(b.mode, b.opacity, s.h, s.w, rp[0], rp[1], rp[2], m, x0,
                                     y0, x1, y1, shifts[0], shifts[1], shifts[2], lv.contrast,
                                     range);
              plat::SetSimdLevel(plat::SimdLevel::kAvx512);
              ASSERT_EQ(runs, plain) << Where(s, threads, b, range) << " shared " << shared
                                     << " path " << static_cast<int>(path) << " shift "
                                     << shifts[0] << " contrast " << lv.contrast;
            }
        }
      }
    }
  }
}

// The byte lanes' multiply-high quotients (the channel levels' lightness by 3 and mix by 255),
// for every 16-bit numerator.
TEST(PointRuns, SixteenBitMultiplyHighQuotientsAreExact) {
  for (uint32_t x = 0; x <= 0xFFFF; ++x) {
    ASSERT_EQ(((x * 0xAAABu) >> 16) >> 1, x / 3) << x;
    ASSERT_EQ(((x * 0x8081u) >> 16) >> 7, x / 255) << x;
  }
}

// The divide-free quotient of a byte-weighted sum, for every divisor 1..32767, at both sides
// of every whole quotient 0..255 and at the top of the range.
TEST(PointRuns, ByteSumQuotientIsExactForEveryDivisor) {
  for (int32_t d = 1; d <= 32767; ++d) {
    const effect_support::ByteSumQuotient q(d);
    for (int32_t k = 0; k <= 255; ++k)
      for (int32_t n : {k * d - 1, k * d, k * d + d - 1}) {
        if (n < 0 || n > 255 * d) continue;
        ASSERT_EQ(q(n), n / d) << d << " " << n;
      }
  }
}

}  // namespace
