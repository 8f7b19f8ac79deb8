// Crash sweep over every image operation: awkward shapes, regions, masks,
// blends and parameter values; see support/argument_sweep.h.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "operations/effects.h"
#include "support/argument_sweep.h"
#include "support/session.h"

namespace {

using vmktest::sweep::Call;
using vmktest::sweep::Results;
using vmktest::sweep::Row;

constexpr Results kRc = Results::kZeroOrMinusOne;

// Ramp and look-up tables are the caller's fixed-size records, not swept.
std::vector<unsigned char> Table(size_t n) {
  std::vector<unsigned char> t(n);
  for (size_t i = 0; i < n; ++i) t[i] = static_cast<unsigned char>(i * 7 + 3);
  return t;
}

const std::vector<unsigned char>& Ramp() {
  static const std::vector<unsigned char> ramp = Table(5 * 256);
  return ramp;
}

using vmktest::sweep::Held;
using vmktest::sweep::Held16;

std::vector<Row> Rows() {
  std::vector<Row> rows;
  // ---- two-layer arithmetic ----
  rows.push_back({"GetOffset", 0, true, kRc, [](Call& c) {
                    std::vector<int16_t> columns(c.s.w), rowTable(c.s.h);
                    const int32_t rc = Effects::GetOffset(
                        c.s.h, c.s.w, c.s.h, c.s.w, c.r.x0 - c.p, c.r.y0, c.r.x1, c.r.y1 + c.p,
                        c.r.x0, c.r.y0, c.r.x1, c.r.y1, columns.data(), rowTable.data());
                    return rc;
                  }});
  rows.push_back({"Replace", 200, true, kRc, [](Call& c) {
                    auto& P = *c.planes;
                    return Effects::Replace(c.mode, c.opacity, P.sr.data(), P.sg.data(),
                                            P.sb.data(), c.s.h, c.s.w, P.r.data(), P.g.data(),
                                            P.b.data(), c.s.h, c.s.w, 0, 0, c.s.w - 1, c.s.h - 1,
                                            c.r.x0, c.r.y0, c.r.x1, c.r.y1, 3, 3, c.mask, c.p16());
                  }});
  using Arith = int32_t (*)(int16_t, int16_t, const unsigned char*, int32_t, int32_t,
                            unsigned char*, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                            int32_t, int32_t, int32_t, int32_t, int16_t, int16_t,
                            const unsigned char*, int16_t);
  for (const auto& [name, fn] : {std::pair<const char*, Arith>{"Add", &Effects::Add},
                                 {"Subtract", &Effects::Subtract},
                                 {"Difference", &Effects::Difference}}) {
    rows.push_back({name, 200, true, kRc, [fn](Call& c) {
                      auto& P = *c.planes;
                      return fn(c.mode, c.opacity, P.si3.data(), c.s.h, c.s.w, P.i3.data(), c.s.h,
                                c.s.w, c.r.x0, c.r.y0, c.r.x1, c.r.y1, c.r.x0, c.r.y0, c.r.x1,
                                c.r.y1, 3, 3, c.mask, c.p16());
                    }});
  }
  rows.push_back({"Multiply one into three channels", 0, true, kRc, [](Call& c) {
                    auto& P = *c.planes;
                    return Effects::Multiply(c.mode, c.opacity, P.sr.data(), c.s.h, c.s.w,
                                             P.i3.data(), c.s.h, c.s.w, 0, 0, c.s.w - 1 + c.p,
                                             c.s.h - 1, c.r.x0, c.r.y0, c.r.x1, c.r.y1, 1, 3,
                                             c.mask);
                  }});

  // ---- tables, contrast and levels ----
  rows.push_back({"Etch", 0, true, kRc, [](Call& c) {
                    const auto tables = Table(3 * 256);
                    return Effects::Etch(c.mode, c.opacity, c.planes->i3.data(), c.s.h, c.s.w,
                                         c.r.x0, c.r.y0, c.r.x1, c.r.y1, 3, c.mask,
                                         tables.data());
                  }});
  rows.push_back({"CreaLut", 20, true, kRc, [](Call& c) {
                    std::vector<unsigned char> table(256);
                    return Effects::CreaLut(table.data(), c.p16(), c.p16(),
                                            static_cast<int16_t>(c.p & 1));
                  }});
  rows.push_back({"AdjContrast", 20, true, kRc, [](Call& c) {
                    return Effects::AdjContrast(c.mode, c.opacity, c.planes->i3.data(), c.s.h,
                                                c.s.w, c.r.x0, c.r.y0, c.r.x1, c.r.y1, 3, c.mask,
                                                c.p16(), static_cast<int16_t>(-c.p), 1);
                  }});
  rows.push_back({"AdjustChan", 20, true, kRc, [](Call& c) {
                    return Effects::AdjustChan(c.mode, c.opacity, c.s.h, c.s.w,
                                               c.planes->r.data(), c.mask, c.r.x0, c.r.y0, c.r.x1,
                                               c.r.y1, c.p, -c.p);
                  }});
  rows.push_back({"AdjustRGBChan", 2, true, kRc, [](Call& c) {
                    auto& P = *c.planes;
                    Effects::AdjustRGBChan(c.mode, c.opacity, c.s.h, c.s.w, P.r.data(),
                                           P.g.data(), P.b.data(), c.mask, c.r.x0, c.r.y0,
                                           c.r.x1, c.r.y1, c.p, -c.p, c.p / 2, c.p, c.p);
                    return 0;
                  }});

  // ---- fills, colour ranges, frames, bars, ramps ----
  rows.push_back({"Fill", 128, true, kRc, [](Call& c) {
                    const unsigned char colour[3] = {10, 200, 90};
                    const int16_t strength = c.p16();
                    return Effects::Fill(c.mode, c.opacity, c.planes->i3.data(), c.s.h, c.s.w,
                                         c.r.x0, c.r.y0, c.r.x1, c.r.y1, 3, c.mask, colour,
                                         &strength);
                  }});
  rows.push_back({"ColorRange", 30, true, kRc, [](Call& c) {
                    auto& P = *c.planes;
                    const unsigned char newColour[3] = {1, 2, 3};
                    const unsigned char refColour[3] = {120, 60, 30};
                    return Effects::ColorRange(c.mode, c.opacity, 3, P.sr.data(), P.sg.data(),
                                               P.sb.data(), c.s.h, c.s.w, 3, P.r.data(),
                                               P.g.data(), P.b.data(), 0, 0, c.r.x0, c.r.y0,
                                               c.r.x1, c.r.y1, c.mask, c.p, newColour,
                                               refColour);
                  }});
  rows.push_back({"ColorFrame", 50, true, kRc, [](Call& c) {
                    const unsigned char colour[4] = {9, 99, 199, 255};
                    return Effects::ColorFrame(c.planes->r.data(), c.s.h, c.s.w, c.r.x0, c.r.y0,
                                               c.r.x1, c.r.y1, c.mask, colour, c.p, c.p / 2,
                                               -c.p, c.p);
                  }});
  rows.push_back({"ColorBar", 5, true, kRc, [](Call& c) {
                    // The pattern holds one entry a stripe.
                    const int32_t period = Held(c.p, -100000, 70000);
                    std::vector<unsigned char> pattern(std::max(period, 1));
                    for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = i % 20;
                    const auto colours = Table(16);
                    return Effects::ColorBar(c.planes->r.data(), c.s.h, c.s.w, c.r.x0, c.r.y0,
                                             c.r.x1, c.r.y1, period, pattern.data(),
                                             colours.data(), c.p16());
                  }});
  rows.push_back({"ColorWavePlane", 2, true, kRc, [](Call& c) {
                    return Effects::ColorWavePlane(c.planes->r.data(), c.s.h, c.s.w, c.r.x0,
                                                   c.r.y0, c.r.x1, c.r.y1, c.p16(), Ramp().data(),
                                                   c.p16(), c.p16());
                  }});
  rows.push_back({"ColorWave planes", 2, true, kRc, [](Call& c) {
                    auto& P = *c.planes;
                    return Effects::ColorWave(c.mode, c.opacity, P.r.data(), P.g.data(),
                                              P.b.data(), P.k.data(), c.s.h, c.s.w, c.r.x0,
                                              c.r.y0, c.r.x1, c.r.y1,
                                              static_cast<int16_t>(c.p & 1), 4, c.mask,
                                              Ramp().data(), c.p16(), c.p16());
                  }});
  rows.push_back({"ColorWave interleaved", 2, true, kRc, [](Call& c) {
                    return Effects::ColorWave(c.mode, c.opacity, c.planes->i4.data(), c.s.h,
                                              c.s.w, c.r.x0, c.r.y0, c.r.x1, c.r.y1,
                                              static_cast<int16_t>(c.p & 1), 4, c.mask,
                                              Ramp().data(), c.p16(), c.p16(),
                                              static_cast<int16_t>(c.p & 1));
                  }});
  rows.push_back({"ColorWaveChan", 2, true, kRc, [](Call& c) {
                    return Effects::ColorWaveChan(c.mode, c.opacity, c.planes->r.data(), c.s.h,
                                                  c.s.w, c.r.x0, c.r.y0, c.r.x1, c.r.y1, c.p16(),
                                                  c.mask, Ramp().data(), c.p16(), c.p16(),
                                                  static_cast<int16_t>(c.p & 1));
                  }});

  // ---- matrix filter, pyramid blur, sharpening ----
  rows.push_back({"ApplyMatrix", 1, true, kRc, [](Call& c) {
                    // The kernel is the caller's (2r + 1)^2 array.
                    const int32_t radius = Held(c.p, -3, 6);
                    const int32_t side = 2 * std::max(radius, 0) + 1;
                    std::vector<int32_t> kernel(static_cast<size_t>(side) * side, 1);
                    const unsigned char bias[3] = {0, 5, 250};
                    return Effects::ApplyMatrix(c.mode, c.opacity, c.planes->i3.data(), c.mask, 1,
                                                1, c.s.w, c.s.h, c.r.x0, c.r.x1, c.r.y0, c.r.y1,
                                                static_cast<int16_t>(radius), 3, bias, c.pf(),
                                                kernel.data());
                  }});
  rows.push_back({"Blur one plane", 3, true, kRc, [](Call& c) {
                    return Effects::Blur(c.mode, c.opacity, c.planes->r.data(), c.mask, c.s.w,
                                         c.s.h, c.r.x0, c.r.y0, c.r.x1, c.r.y1, c.p16(), 1);
                  }});
  rows.push_back({"Blur interleaved", 3, true, kRc, [](Call& c) {
                    return Effects::Blur(c.mode, c.opacity, c.planes->i3.data(), c.mask, c.s.w,
                                         c.s.h, c.r.x0, c.r.y0, c.r.x1, c.r.y1, c.p16(), 3);
                  }});
  rows.push_back({"UnSharpMask", 3, true, kRc, [](Call& c) {
                    return Effects::UnSharpMask(c.mode, c.opacity, c.planes->r.data(), c.mask,
                                                c.s.w, c.s.h, c.r.x0, c.r.y0, c.r.x1, c.r.y1,
                                                c.p16(), c.p16(), c.p16());
                  }});
  rows.push_back({"HighPass", 3, true, kRc, [](Call& c) {
                    return Effects::HighPass(c.mode, c.opacity, c.planes->r.data(), c.mask, c.s.w,
                                             c.s.h, c.r.x0, c.r.y0, c.r.x1, c.r.y1, c.p16(),
                                             c.p16());
                  }});
  rows.push_back({"Sharpen", 3, true, kRc, [](Call& c) {
                    return Effects::Sharpen(c.mode, c.opacity, c.planes->r.data(), c.mask, c.s.w,
                                            c.s.h, c.r.x0, c.r.y0, c.r.x1, c.r.y1, c.p16());
                  }});
  rows.push_back({"DeBlur", 2, true, kRc, [](Call& c) {
                    return Effects::DeBlur(c.mode, c.opacity, c.planes->r.data(), c.mask, c.s.h,
                                           c.s.w, c.r.x0, c.r.y0, c.r.x1, c.r.y1, c.p16(),
                                           c.p16());
                  }});
  rows.push_back({"GaussianMatrix", 4, true, kRc, [](Call& c) {
                    const int16_t n = static_cast<int16_t>(Held(c.p, -5, 30));
                    std::vector<int32_t> out(std::max<int32_t>(n, 0) + 1);
                    Effects::GaussianMatrix(out.data(), n);
                    return 0;
                  }});

  // ---- streak blurs ----
  rows.push_back({"RadialBlur zoom", 6, true, kRc, [](Call& c) {
                    auto& P = *c.planes;
                    return Effects::RadialBlur(c.mode, c.opacity, P.r.data(), P.g.data(),
                                               P.b.data(), c.s.h, c.s.w, c.r.x0, c.r.y0, c.r.x1,
                                               c.r.y1, c.mask, 3, c.p16(), c.p16(),
                                               static_cast<int16_t>(-c.p), 0);
                  }});
  rows.push_back({"RadialBlur spin", 6, true, kRc, [](Call& c) {
                    auto& P = *c.planes;
                    return Effects::RadialBlur(c.mode, c.opacity, P.r.data(), P.g.data(),
                                               P.b.data(), c.s.h, c.s.w, c.r.x0, c.r.y0, c.r.x1,
                                               c.r.y1, c.mask, 1, c.p16(), 50, c.p16(), 1);
                  }});
  rows.push_back({"MotionBlur", 6, true, kRc, [](Call& c) {
                    auto& P = *c.planes;
                    return Effects::MotionBlur(c.mode, c.opacity, P.r.data(), P.g.data(),
                                               P.b.data(), c.s.h, c.s.w, c.r.x0, c.r.y0, c.r.x1,
                                               c.r.y1, c.mask, 3, c.p16(), c.p16());
                  }});

  // ---- gradients ----
  rows.push_back({"ColorCirc", 50, true, kRc, [](Call& c) {
                    for (int16_t kind = 0; kind < 3; ++kind) {
                      const int32_t rc = Effects::ColorCirc(
                          c.mode, c.opacity, c.planes->r.data(), c.s.h, c.s.w, c.r.x0, c.r.y0,
                          c.r.x1, c.r.y1, 2, c.mask, Ramp().data(), c.p16(), c.p16(),
                          static_cast<int16_t>(-c.p), c.p16(), kind, c.p16());
                      if (rc != 0) return rc;
                    }
                    return 0;
                  }});
  rows.push_back({"ColorCirc colour row", 4, true, kRc, [](Call& c) {
                    // The ramp table is exactly its five rows.
                    return Effects::ColorCirc(c.mode, c.opacity, c.planes->r.data(), c.s.h,
                                              c.s.w, c.r.x0, c.r.y0, c.r.x1, c.r.y1, c.p16(),
                                              c.mask, Ramp().data(), 3, 50, 50, 80, 1, 2);
                  }});

  // ---- hue, saturation, lightness ----
  rows.push_back({"HSLBlend planes", 30, true, kRc, [](Call& c) {
                    auto& P = *c.planes;
                    return Effects::HSLBlend(c.mode, c.opacity, c.s.h, c.s.w, P.r.data(),
                                             P.g.data(), P.b.data(), P.k.data(), c.mask, c.r.x0,
                                             c.r.y0, c.r.x1, c.r.y1, c.p16(), c.p16(),
                                             static_cast<int16_t>(-c.p),
                                             static_cast<int16_t>(c.p & 1));
                  }});
  rows.push_back({"HSLBlend pixels", 30, true, kRc, [](Call& c) {
                    return Effects::HSLBlend(c.mode, c.opacity, c.s.h, c.s.w, c.planes->px.data(),
                                             c.mask, c.r.x0, c.r.y0, c.r.x1, c.r.y1, c.p16(),
                                             c.p16(), static_cast<int16_t>(-c.p),
                                             static_cast<int16_t>(c.p & 1));
                  }});

  // ---- noise, wind, grain, denoise ----
  rows.push_back({"Noise", 2, true, kRc, [](Call& c) {
                    for (int16_t kind = 0; kind <= 5; ++kind) {
                      const int32_t rc = Effects::Noise(
                          c.mode, c.opacity, kind, c.planes->r.data(), c.mask, c.s.h, c.s.w,
                          c.r.x0, c.r.y0, c.r.x1, c.r.y1, c.pf(), c.pf() / 3.0f, c.p16(), c.p16(),
                          static_cast<int16_t>(-c.p), 11);
                      if (rc != 0) return rc;
                    }
                    return 0;
                  }});
  rows.push_back({"Wind", 5, true, kRc, [](Call& c) {
                    return Effects::Wind(c.mode, c.opacity, c.planes->r.data(), c.s.h, c.s.w,
                                         c.r.x0, c.r.y0, c.r.x1, c.r.y1, c.mask, c.p16(), c.p16(),
                                         c.p16());
                  }});
  rows.push_back({"FilmGrain", 30, true, kRc, [](Call& c) {
                    auto& P = *c.planes;
                    return Effects::FilmGrain(c.mode, c.opacity, c.s.h, c.s.w, P.r.data(),
                                              P.g.data(), P.b.data(), c.r.x0, c.r.y0, c.r.x1,
                                              c.r.y1, c.mask, c.p16(), c.p16(), c.p16(), c.p16(),
                                              c.p16(), 5);
                  }});
  rows.push_back({"DeNoise", 1, true, kRc, [](Call& c) {
                    return Effects::DeNoise(c.mode, c.opacity, c.planes->r.data(), c.mask, c.s.h,
                                            c.s.w, c.r.x0, c.r.y0, c.r.x1, c.r.y1,
                                            static_cast<int16_t>(Held(c.p, -5, 3)), c.p16(),
                                            c.p16());
                  }});

  // ---- posterize and despeckle ----
  rows.push_back({"PosterizeWU", 16, true, kRc, [](Call& c) {
                    return Effects::PosterizeWU(c.mode, c.opacity, 3, c.s.h, c.s.w,
                                                c.planes->r.data(), c.planes->g.data(),
                                                c.planes->b.data(), c.r.x0, c.r.y0, c.r.x1,
                                                c.r.y1, c.mask, c.p16());
                  }});
  rows.push_back({"Despeckle", 4, true, kRc, [](Call& c) {
                    return Effects::Despeckle(c.mode, c.opacity, 1, c.planes->r.data(), nullptr,
                                              nullptr, c.s.h, c.s.w, c.r.x0, c.r.y0, c.r.x1,
                                              c.r.y1, c.mask, Held16(c.p, -1, 21), c.p16());
                  }});

  // ---- waves ----
  rows.push_back({"SinusWave", 3, true, kRc, [](Call& c) {
                    return Effects::SinusWave(c.mode, c.opacity, c.planes->r.data(), c.mask,
                                              c.s.h, c.s.w, c.r.x0, c.r.y0, c.r.x1, c.r.y1,
                                              static_cast<int16_t>(c.p % 4), c.p16(), c.p16(),
                                              static_cast<int16_t>(-c.p), c.p16());
                  }});
  rows.push_back({"DrawLine", 7, true, kRc, [](Call& c) {
                    DrawLine(c.mode, c.opacity, c.planes->r.data(), c.mask, c.s.h, c.s.w,
                             static_cast<int16_t>(c.r.x0), static_cast<int16_t>(c.r.y0),
                             static_cast<int16_t>(c.r.x1 + c.p), static_cast<int16_t>(c.r.y1),
                             c.p, c.p);
                    return 0;
                  }});
  // ---- emboss, edges, skeleton, contour lines ----
  rows.push_back({"Emboss", 2, true, kRc, [](Call& c) {
                    // Depths beyond 1000 are refused; the sweep reaches just past.
                    return Effects::Emboss(c.mode, c.opacity, c.planes->i3.data(), c.mask, c.s.h,
                                           c.s.w, c.r.x0, c.r.y0, c.r.x1, c.r.y1,
                                           Held16(c.p, -5, 1001), 3, c.p16(), c.p16(), c.p16());
                  }});
  rows.push_back({"FindEdge", 1, true, kRc, [](Call& c) {
                    return Effects::FindEdge(c.mode, c.opacity, c.planes->r.data(), c.mask, c.s.h,
                                             c.s.w, c.r.x0, c.r.y0, c.r.x1, c.r.y1, c.p,
                                             Held16(c.p, -5, 40), c.p16());
                  }});
  rows.push_back({"X_sharpedg_buf", 1, true, kRc, [](Call& c) {
                    return Effects::X_sharpedg_buf(c.s.w, c.s.h, c.planes->r.data(), c.r.x0,
                                                   c.r.y0, c.r.x1, c.r.y1, c.p16(),
                                                   Held16(c.p, -2, 3), c.p16(),
                                                   Held16(c.p, -3, 30));
                  }});
  rows.push_back({"Skeleton", 1, true, kRc, [](Call& c) {
                    auto& P = *c.planes;
                    return Effects::Skeleton(c.mode, c.opacity, static_cast<int16_t>(c.p & 3),
                                             P.r.data(), P.g.data(), P.b.data(), c.s.h, c.s.w,
                                             c.r.x0, c.r.y0, c.r.x1, c.r.y1, c.mask, c.p16());
                  }});
  // Each level traces the whole source, so only one swept value (1000)
  // stands for the counts past the 130 levels the operation keeps.
  rows.push_back({"GeoLevels", 3, true, kRc, [](Call& c) {
                    auto& P = *c.planes;
                    const unsigned char colour[3] = {250, 5, 128};
                    const int16_t count = c.p == 1000 ? int16_t{131} : Held16(c.p, -5, 20);
                    return Effects::GeoLevels(c.mode, c.opacity, 3, P.sr.data(), c.s.h, c.s.w,
                                              P.r.data(), P.g.data(), P.b.data(), c.s.h, c.s.w,
                                              c.r.x0, c.r.y0, c.r.x1, c.r.y1, c.mask, count,
                                              colour);
                  }});
  rows.push_back({"GeoLevels smaller target", 2, true, kRc, [](Call& c) {
                    // Contours of a source larger than the target stay inside it.
                    auto& P = *c.planes;
                    const unsigned char colour[3] = {250, 5, 128};
                    const int32_t w = std::max(c.s.w / 2, 1), h = std::max(c.s.h / 2, 1);
                    return Effects::GeoLevels(c.mode, c.opacity, 1, P.sr.data(), c.s.h, c.s.w,
                                              P.r.data(), nullptr, nullptr, h, w, c.r.x0, c.r.y0,
                                              c.r.x1, c.r.y1, c.mask, Held16(c.p, -5, 4), colour);
                  }});

  // ---- maximum, minimum, median ----
  rows.push_back({"Maxima", 2, true, kRc, [](Call& c) {
                    return Effects::Maxima(c.mode, c.opacity, c.planes->i3.data(), c.s.h, c.s.w,
                                           c.r.x0, c.r.y0, c.r.x1, c.r.y1, c.p16(),
                                           static_cast<int16_t>(~c.p), 3, c.mask);
                  }});
  rows.push_back({"Minima", 2, true, kRc, [](Call& c) {
                    return Effects::Minima(c.mode, c.opacity, c.planes->r.data(), c.s.h, c.s.w,
                                           c.r.x0, c.r.y0, c.r.x1, c.r.y1, c.p16(), c.p16(), 1,
                                           c.mask);
                  }});
  rows.push_back({"Median", 2, true, kRc, [](Call& c) {
                    return Effects::Median(c.mode, c.opacity, c.planes->r.data(), c.s.h, c.s.w,
                                           c.r.x0, c.r.y0, c.r.x1, c.r.y1, c.p16(),
                                           Held16(c.p, -1, 3), c.mask);
                  }});
  rows.push_back({"X_medianedg_buf", 1, true, kRc, [](Call& c) {
                    return Effects::X_medianedg_buf(c.s.w, c.s.h, c.planes->r.data(), c.r.x0,
                                                    c.r.y0, c.r.x1, c.r.y1, c.p16(),
                                                    Held16(c.p, -3, 30));
                  }});

  // ---- luminance ramps, shadows, outlines ----
  rows.push_back({"LutToColor planes", 40, true, kRc, [](Call& c) {
                    auto& P = *c.planes;
                    return Effects::LutToColor(
                        c.mode, c.opacity, P.sr.data(), P.sg.data(), P.sb.data(), P.k.data(),
                        c.s.h, c.s.w, P.r.data(), P.g.data(), P.b.data(), P.k.data(), c.s.h,
                        c.s.w, 0, 0, c.s.w - 1 + Held(c.p, -99, 99), c.s.h - 1, c.r.x0, c.r.y0, c.r.x1, c.r.y1,
                        static_cast<int16_t>(c.p & 1), static_cast<int16_t>(c.p % 5),
                        static_cast<int16_t>(c.p % 6), c.mask, Ramp().data(), c.p16(), c.p16());
                  }});
  rows.push_back({"LutToColor interleaved", 40, true, kRc, [](Call& c) {
                    auto& P = *c.planes;
                    return Effects::LutToColor(
                        c.mode, c.opacity, P.si3.data(), c.s.h, c.s.w, P.i4.data(), c.s.h, c.s.w,
                        c.r.x0, c.r.y0, c.r.x1, c.r.y1, 0, 0, c.s.w - 1, c.s.h - 1 - Held(c.p, -99, 99),
                        static_cast<int16_t>(c.p & 1), 3, static_cast<int16_t>(1 + (c.p & 3)),
                        c.p16(), c.mask, Ramp().data(), c.p16(), c.p16());
                  }});
  rows.push_back({"Shadow planes", 3, true, kRc, [](Call& c) {
                    auto& P = *c.planes;
                    return Effects::Shadow(
                        c.mode, c.opacity, P.sr.data(), P.sg.data(), P.sb.data(), P.k.data(),
                        c.s.h, c.s.w, P.r.data(), P.g.data(), P.b.data(), nullptr, c.s.h, c.s.w,
                        c.r.x0, c.r.y0, c.r.x1, c.r.y1, 0, 0, c.s.w - 1, c.s.h - 1,
                        static_cast<int16_t>(c.p & 1), 4, 3, c.mask, c.p16(), c.p16(),
                        static_cast<int16_t>(~c.p), Ramp().data(), c.p16(), 255);
                  }});
  rows.push_back({"Shadow interleaved", 3, true, kRc, [](Call& c) {
                    auto& P = *c.planes;
                    return Effects::Shadow(c.mode, c.opacity, P.si3.data(), c.s.h, c.s.w,
                                           P.r.data(), c.s.h, c.s.w, 0, 0, c.s.w - 1, c.s.h - 1,
                                           c.r.x0, c.r.y0, c.r.x1, c.r.y1, 0, 3, 3, c.mask, 2,
                                           c.p16(), c.p16(), Ramp().data(), 5, c.p16());
                  }});
  rows.push_back({"ContrExp", 3, true, kRc, [](Call& c) {
                    auto& P = *c.planes;
                    for (int16_t kind = 0; kind < 2; ++kind) {
                      const int32_t rc = Effects::ContrExp(
                          kind, c.mode, c.opacity, P.sr.data(), c.s.h, c.s.w, P.i3.data(), 0, 0,
                          c.r.x0, c.r.y0, c.r.x1, c.r.y1, 0, 0, 0, 0,
                          static_cast<int16_t>(c.p & 1), 1, 3, c.p16(), c.mask, 77, c.p16());
                      if (rc != 0) return rc;
                    }
                    return 0;
                  }});
  rows.push_back({"Outline", 3, true, kRc, [](Call& c) {
                    auto& P = *c.planes;
                    return Effects::Outline(c.mode, c.opacity, P.sr.data(), c.s.h, c.s.w,
                                            P.r.data(), 0, 0, c.r.x0, c.r.y0, c.r.x1, c.r.y1, 0,
                                            0, 0, 0, 1, 1, c.p16(), c.mask, 200, c.p16());
                  }});

  // ---- convolution detectors ----
  rows.push_back({"Convolve_Pixel", 3, true, kRc, [](Call& c) {
                    int32_t v = 0;
                    for (int16_t kind = -1; kind <= 10; ++kind) {
                      Effects::Convolve_Pixel(1, c.s.w, c.s.h, c.planes->r.data(), c.r.x0 + Held(c.p, -99, 99),
                                              c.r.y1, kind, &v);
                      Effects::Convolve_Pixel(4, c.s.w, c.s.h, c.planes->px.data(), c.r.x1,
                                              c.r.y0 - Held(c.p, -99, 99), kind, &v);
                    }
                    return 0;
                  }});
  rows.push_back({"Conv_Detect", 50, true, kRc, [](Call& c) {
                    std::vector<int32_t> map(static_cast<size_t>(c.s.w) * c.s.h, c.p);
                    int32_t maximum = c.p;
                    return Effects::Conv_Detect(static_cast<int16_t>(c.p & 5), c.s.w, c.s.h,
                                                c.planes->px.data(), map.data(), &maximum,
                                                static_cast<int16_t>(c.p % 11), c.p16(), c.p16(),
                                                c.r.x0, c.r.y0, c.r.x1, c.r.y1);
                  }});
  rows.push_back({"Convolution", 3, true, kRc, [](Call& c) {
                    auto& P = *c.planes;
                    return Effects::Convolution(c.mode, c.opacity, static_cast<int16_t>(c.p & 3),
                                                P.r.data(), P.g.data(), P.b.data(), c.mask, c.s.h,
                                                c.s.w, c.r.x0, c.r.y0, c.r.x1, c.r.y1,
                                                Ramp().data(), c.p % 11, c.p, c.p, ~c.p);
                  }});

  // ---- textures, framing and placement ----
  rows.push_back({"LoadTexture interleaved", 3, true, kRc, [](Call& c) {
                    const auto tex = Table(3 * 5 * 3);
                    const int32_t tw = Held(c.p, -5, 5), th = 3;
                    return Effects::LoadTexture(c.mode, c.opacity, c.planes->i3.data(),
                                                tex.data(), 3, 3, c.mask, c.s.h, c.s.w, c.r.x0,
                                                c.r.y0, c.r.x1, c.r.y1, tw, th, c.p16(),
                                                Held16(c.p, -3, 12));
                  }});
  rows.push_back({"LoadTexture planar", 3, true, kRc, [](Call& c) {
                    const auto tex = Table(4 * 4 * 3);
                    auto& P = *c.planes;
                    return Effects::LoadTexture(c.mode, c.opacity, P.r.data(), P.g.data(),
                                                P.b.data(), P.k.data(), tex.data(),
                                                static_cast<int16_t>(c.p & 1), c.mask, c.s.h,
                                                c.s.w, c.r.x0, c.r.y0, c.r.x1, c.r.y1,
                                                Held(c.p, -4, 4), 3, c.p16(), Held16(c.p, -3, 12));
                  }});
  rows.push_back({"LoadTexture texture planes", 3, true, kRc, [](Call& c) {
                    const auto tex = Table(4 * 3);
                    auto& P = *c.planes;
                    return Effects::LoadTexture(c.mode, c.opacity, P.r.data(), P.g.data(),
                                                P.b.data(), P.k.data(), tex.data(), tex.data(),
                                                tex.data(), tex.data(),
                                                static_cast<int16_t>(c.p & 1), c.mask, c.s.h,
                                                c.s.w, c.r.x0, c.r.y0, c.r.x1, c.r.y1, 4,
                                                Held(c.p, -3, 3), c.p16(), Held16(c.p, -3, 12));
                  }});
  rows.push_back({"LoadInFrame", 50, true, kRc, [](Call& c) {
                    const auto tex = Table(4 * 3);
                    return Effects::LoadInFrame(c.planes->r.data(), tex.data(), c.mask, c.s.h,
                                                c.s.w, c.mode, c.opacity, c.p, c.p / 2, c.p,
                                                -c.p, c.r.x0, c.r.y0, c.r.x1, c.r.y1,
                                                Held(c.p, -4, 4), 3);
                  }});
  rows.push_back({"PlaceBuf", 2, true, kRc, [](Call& c) {
                    const auto stamp = Table(5 * 4);
                    auto& P = *c.planes;
                    return Effects::PlaceBuf(c.mode, c.opacity, P.r.data(), P.g.data(),
                                             P.b.data(), c.mask, c.s.h, c.s.w, stamp.data(), 5,
                                             4, c.r.x0 - c.p, c.r.y0 + c.p, c.p16(), 7, 9);
                  }});

  // ---- geometry and displacement ----
  rows.push_back({"Twirl", 90, true, kRc, [](Call& c) {
                    return Effects::Twirl(c.mode, c.opacity, c.planes->r.data(), c.mask, c.s.h,
                                          c.s.w, c.r.x0, c.r.y0, c.r.x1, c.r.y1, c.p, c.p,
                                          -c.p);
                  }});
  rows.push_back({"Kaleido", 7, true, kRc, [](Call& c) {
                    return Effects::Kaleido(c.mode, c.opacity, c.planes->r.data(), c.mask, c.s.h,
                                            c.s.w, c.r.x0, c.r.y0, c.r.x1, c.r.y1,
                                            Held(c.p, -5, 40), 9, c.p16(),
                                            static_cast<int16_t>(-c.p));
                  }});
  rows.push_back({"Offset", 3, true, kRc, [](Call& c) {
                    return Effects::Offset(c.planes->i3.data(), c.s.h, c.s.w, c.r.x0, c.r.y0,
                                           c.r.x1, c.r.y1, c.p16(), static_cast<int16_t>(-c.p),
                                           Held16(c.p, -1, 3));
                  }});
  rows.push_back({"Flip", 1, true, kRc, [](Call& c) {
                    return Effects::Flip(c.mode, c.opacity, c.planes->r.data(), c.s.h, c.s.w,
                                         c.r.x0, c.r.y0, c.r.x1, c.r.y1, c.p16(),
                                         static_cast<int16_t>(1 - c.p), 0, 0, c.mask);
                  }});
  rows.push_back({"Mirror", 4, true, kRc, [](Call& c) {
                    return Effects::Mirror(c.mode, c.opacity, c.planes->r.data(), c.s.h, c.s.w,
                                           c.r.x0, c.r.y0, c.r.x1, c.r.y1, c.p16(), 0, c.mask);
                  }});
  rows.push_back({"Mosaic", 2, true, kRc, [](Call& c) {
                    return Effects::Mosaic(c.mode, c.opacity, c.planes->r.data(), c.s.h, c.s.w,
                                           c.r.x0, c.r.y0, c.r.x1, c.r.y1, c.mask,
                                           Held16(c.p, -2, 70), Held16(-c.p, -2, 70));
                  }});
  rows.push_back({"DeInterlace", 1, true, kRc, [](Call& c) {
                    return Effects::DeInterlace(c.mode, c.opacity, c.planes->r.data(), c.mask,
                                                c.s.h, c.s.w, c.r.x0, c.r.y0, c.r.x1, c.r.y1,
                                                c.p & 1, c.p);
                  }});
  rows.push_back({"Displace", 50, true, kRc, [](Call& c) {
                    auto& P = *c.planes;
                    return Effects::Displace(c.mode, c.opacity, P.i3.data(), P.sr.data(), c.s.h,
                                             c.s.w, c.r.x0, c.r.y0, c.r.x1, c.r.y1, 3, c.mask,
                                             c.p16(), static_cast<int16_t>(-c.p), 128);
                  }});
  rows.push_back({"DisplaceXY", 50, true, kRc, [](Call& c) {
                    auto& P = *c.planes;
                    // Two whole 3 x 2 maps: the vertical one must not run past the record.
                    const auto map = Table(3 * 2 * 2);
                    return Effects::DisplaceXY(c.mode, c.opacity, P.i3.data(), map.data(),
                                               map.data() + 3 * 2, Held(c.p, -1, 3), 2, c.mask,
                                               c.s.h, c.s.w, c.r.x0, c.r.y0, c.r.x1, c.r.y1, 3,
                                               c.p16(), c.p16(), 128);
                  }});
  rows.push_back({"Transform", 30, true, kRc, [](Call& c) {
                    return Effects::Transform(c.mode, c.opacity, c.planes->r.data(), c.s.h,
                                              c.s.w, c.r.x0, c.r.y0, c.r.x1, c.r.y1, c.p16(),
                                              static_cast<int16_t>(-c.p), Held16(c.p, -300, 300),
                                              150, c.p16(), 9, 0, c.mask);
                  }});

  // ---- fog, generators and channel mixing ----
  rows.push_back({"Foggy", 30, true, kRc, [](Call& c) {
                    return Effects::Foggy(c.mode, c.opacity, static_cast<int16_t>(c.p % 4),
                                          c.planes->r.data(), c.mask, c.planes->g.data(), c.s.h,
                                          c.s.w, c.r.x0, c.r.y0, c.r.x1, c.r.y1, 1.0f, 1.0f,
                                          Held16(c.p, -5, 5), c.p16(), 0, c.p16(), 3);
                  }});
  rows.push_back({"DiffusAggreg", 4, true, kRc, [](Call& c) {
                    return Effects::DiffusAggreg(c.mode, c.opacity, c.planes->r.data(), c.mask,
                                                 c.s.h, c.s.w, c.r.x0, c.r.y0, c.r.x1, c.r.y1,
                                                 Held16(c.p, -1, 5), Ramp().data(), c.p,
                                                 Held(c.p, -3, 20), 0, Held(c.p, -2, 30), c.p);
                  }});
  rows.push_back({"SelCol", 30, true, kRc, [](Call& c) {
                    auto& P = *c.planes;
                    const unsigned char ref[3] = {40, 90, 200}, colour[3] = {255, 10, 99};
                    return Effects::SelCol(c.mode, c.opacity, P.sr.data(), P.sg.data(),
                                           P.sb.data(), c.s.h, c.s.w, P.r.data(), P.g.data(),
                                           P.b.data(), c.s.h, c.s.w, 0, 0, 0, 0, c.r.x0, c.r.y0,
                                           c.r.x1, c.r.y1, static_cast<int16_t>(1 + 2 * (c.p & 1)),
                                           3, c.mask, c.p16(), ref, colour);
                  }});
  rows.push_back({"X_exchRGB_CharBuf", 50, false, kRc, [](Call& c) {
                    auto& P = *c.planes;
                    const int32_t w[3] = {c.p, -c.p, 40}, off[3] = {c.p, 0, -c.p};
                    return Effects::X_exchRGB_CharBuf(c.s.h, c.s.w, P.sr.data(), P.sg.data(),
                                                      P.sb.data(), P.r.data(), P.g.data(),
                                                      P.b.data(), c.r.x0, c.r.y0, c.r.x1, c.r.y1,
                                                      7, Held(c.p, -1000, 1000), w, w, w, off);
                  }});
  rows.push_back({"X_exchRGB_LongBuf", 50, false, kRc, [](Call& c) {
                    auto& P = *c.planes;
                    const int32_t w[3] = {c.p, -c.p, 40}, off[3] = {c.p, 0, -c.p};
                    return Effects::X_exchRGB_LongBuf(c.s.h, c.s.w, P.spx.data(), P.px.data(),
                                                      c.r.x0, c.r.y0, c.r.x1, c.r.y1, 5,
                                                      Held(c.p, -1000, 1000), w, w, w, off);
                  }});
  rows.push_back({"BWConversion", 30, true, kRc, [](Call& c) {
                    auto& P = *c.planes;
                    return Effects::BWConversion(c.mode, c.opacity, c.s.h, c.s.w, P.r.data(),
                                                 P.g.data(), P.b.data(), c.r.x0, c.r.y0, c.r.x1,
                                                 c.r.y1, c.mask, c.p16(), Held16(c.p, -200, 200),
                                                 c.p16(), static_cast<int16_t>(-c.p),
                                                 Held16(c.p, -200, 200));
                  }});
  rows.push_back({"MinOutOfBuf and MaxOutOfBuf", 2, true, kRc, [](Call& c) {
                    unsigned char out[3] = {};
                    const int32_t r = Held(c.p, -3, 9);
                    Effects::MinOutOfBuf(c.r.x0, c.r.y0, c.planes->i3.data(), c.s.w, c.s.h, r, r,
                                         out, 3);
                    Effects::MaxOutOfBuf(c.r.x1, c.r.y1, c.planes->i3.data(), c.s.w, c.s.h, r, r,
                                         out, 3);
                    return 0;
                  }});

  // The pyramid steps take no height to clamp against: their region is
  // the caller's, so only regions inside the half-size target are swept.
  rows.push_back({"DivideInHalf", 0, true, kRc,
                  [](Call& c) {
                    const int32_t hw = std::max(c.s.w / 2, 1), hh = std::max(c.s.h / 2, 1);
                    std::vector<unsigned char> half(static_cast<size_t>(hw) * hh);
                    const int32_t x = std::min(c.r.x0 / 2, hw - 1), y = std::min(c.r.y0 / 2, hh - 1);
                    const int32_t x1 = std::min(c.r.x1 / 2, hw - 1), y1 = std::min(c.r.y1 / 2, hh - 1);
                    if (c.s.w >= 2 && c.s.h >= 2) {
                      Effects::DivideInHalf(c.s.w, c.s.h, hw, hh, x, y, x1, y1, 1,
                                            c.planes->r.data(), half.data());
                    }
                    return 0;
                  },
                  true});
  return rows;
}

VMK_ARGUMENT_SWEEP(EffectsArgumentSweep, EveryOperation, Rows);

}  // namespace
