// Crash sweep over the raster core's public pixel functions: awkward
// shapes, rectangles, masks and parameter values; see
// support/argument_sweep.h.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "raster/anisotropic_diffusion.h"
#include "raster/blend_filters.h"
#include "raster/colour_select.h"
#include "raster/convolution.h"
#include "raster/crop_box.h"
#include "raster/densitometer.h"
#include "raster/displacement_resample.h"
#include "raster/distortion_warp.h"
#include "raster/focus_filters.h"
#include "raster/plane_copy.h"
#include "raster/quad_mapping.h"
#include "raster/rescale.h"
#include "raster/smart_blur.h"
#include "raster/susan_denoise.h"
#include "raster/tile_transform.h"
#include "raster/tone_lut.h"
#include "support/argument_sweep.h"
#include "support/session.h"

namespace {

using vmktest::sweep::Call;
using vmktest::sweep::Results;
using vmktest::sweep::Row;

constexpr Results kRc = Results::kZeroOrMinusOne;
constexpr Results kAny = Results::kAny;

using vmktest::sweep::Held;
using vmktest::sweep::Held16;

// The focus drivers share their leading arguments: 32-bit source and
// target, the source's first plane as the grey guide, an exactly sized
// edge-map scratch plane and the region with right and bottom exclusive.
template <typename Fn, typename... Tail>
int32_t Guided(Fn fn, Call& c, Tail... tail) {
  auto& P = *c.planes;
  std::vector<unsigned char> scratch(P.n);
  return fn(static_cast<int16_t>(c.p & 1), c.s.h, c.s.w, P.spx.data(), P.px.data(), c.s.h, c.s.w,
            P.sr.data(), scratch.data(), c.s.h, c.s.w, c.r.x0, c.r.y0, c.r.x1 + 1, c.r.y1 + 1, 1,
            0, 0, 1.0f, 1.0f, tail...);
}

std::vector<Row> Rows() {
  std::vector<Row> rows;
  // ---- rectangle copies (right and bottom exclusive) ----
  rows.push_back({"BufToBufCharLow_andR", 1, true, kRc, [](Call& c) {
                    auto& P = *c.planes;
                    return BufToBufCharLow_andR(c.s.w, c.s.h, P.sr.data(), c.s.w, c.s.h,
                                                P.r.data(), c.r.x0, c.r.y0, c.r.x1 + 1,
                                                c.r.y1 + 1, c.r.x0 - c.p, c.r.y0, c.r.x1 + c.p,
                                                c.r.y1 + 1);
                  }});
  rows.push_back({"BufToBufLong_andR", 1, true, kRc, [](Call& c) {
                    auto& P = *c.planes;
                    return BufToBufLong_andR(c.s.w, c.s.h, P.spx.data(), c.s.w, c.s.h,
                                             P.px.data(), c.r.x0, c.r.y0, c.r.x1 + 1, c.r.y1 + 1,
                                             c.r.x0, c.r.y0 - c.p, c.r.x1 + 1, c.r.y1 + c.p);
                  }});
  rows.push_back({"BufToBufChar_andR", 1, true, kRc, [](Call& c) {
                    auto& P = *c.planes;
                    const int32_t grow = Held(c.p, -300, 300);
                    return BufToBufChar_andR(0, c.s.w, c.s.h, P.sr.data(), c.s.w, c.s.h,
                                             P.r.data(), c.r.x0, c.r.y0, c.r.x1 + 1, c.r.y1 + 1,
                                             c.r.x0 - grow, c.r.y0, c.r.x1 + grow, c.r.y1 + 1);
                  }});
  rows.push_back({"BufToBufChar_andStepR", 2, true, kRc, [](Call& c) {
                    auto& P = *c.planes;
                    const int32_t cells = Held(c.p, -10, 300);
                    return BufToBufChar_andStepR(cells, cells, c.s.w, c.s.h, P.sr.data(), c.s.w,
                                                 c.s.h, P.r.data(), c.r.x0, c.r.y0, c.r.x1 + 1,
                                                 c.r.y1 + 1, 0, 0, c.s.w, c.s.h);
                  }});
  rows.push_back({"ChBufToChBufArea", 1, true, kRc, [](Call& c) {
                    ChBufToChBufArea(c.s.w, c.s.h, c.planes->r.data(), c.p, -c.p, c.r.x0, c.r.y0,
                                     c.r.x1, c.r.y1 + 1);
                    return 0;
                  }});
  // ---- tiles and offsets ----
  rows.push_back({"OffsetCharBuf", 30, true, kRc, [](Call& c) {
                    for (int16_t mode = -1; mode <= 3; ++mode) {
                      OffsetCharBuf(mode, c.planes->r.data(), c.s.h, c.s.w, c.r.x0, c.r.y0,
                                    c.r.x1, c.r.y1, c.p16(), static_cast<int16_t>(-c.p));
                    }
                    return 0;
                  }});
  // ---- rescale ----
  rows.push_back({"X_Newechant_charbuf", 5, true, kRc, [](Call& c) {
                    auto& P = *c.planes;
                    return X_Newechant_charbuf(c.p16(), P.sr.data(), c.s.w, c.s.h, P.r.data(),
                                               c.s.w, c.s.h, c.r.x0, c.r.y0, c.r.x1 + 1,
                                               c.r.y1 + 1, -1, -2, c.s.w + 3, c.s.h / 2 + 1);
                  }});
  rows.push_back({"X_Newechant_longbuf", 7, true, kRc, [](Call& c) {
                    auto& P = *c.planes;
                    return X_Newechant_longbuf(c.p16(), P.spx.data(), c.s.w, c.s.h, P.px.data(),
                                               c.s.w, c.s.h, c.r.x0, c.r.y0, c.r.x1 + 1,
                                               c.r.y1 + 1, 0, 0, c.s.w / 2 + 1, c.s.h + 2);
                  }});
  // ---- 3 x 3 convolution and median ----
  rows.push_back({"X_Mat_Chbuf and X_Mat_Lnbuf", 4096, true, kRc, [](Call& c) {
                    int32_t kernel[9] = {};
                    int16_t divisor = 0;
                    Load_matrix(static_cast<int16_t>(c.p & 1), c.p16(), kernel, &divisor);
                    // The 8-bit and 32-bit forms refuse alike: a disagreement fails.
                    const int32_t rc8 = X_Mat_Chbuf(c.s.w, c.s.h, c.planes->r.data(), c.r.x0,
                                                    c.r.y0, c.r.x1, c.r.y1, c.p16(), divisor,
                                                    kernel, c.p);
                    const int32_t rc32 = X_Mat_Lnbuf(c.s.w, c.s.h, c.planes->px.data(), c.r.x0,
                                                     c.r.y0, c.r.x1, c.r.y1, c.p16(), divisor,
                                                     kernel, c.p);
                    return rc8 == rc32 ? rc8 : 1;
                  }});
  rows.push_back({"X_median_buf", 0, true, kRc, [](Call& c) {
                    return X_median_buf(c.s.w, c.s.h, c.planes->r.data(), c.r.x0, c.r.y0, c.r.x1,
                                        c.r.y1, c.p16());
                  }});
  // ---- blends, emboss, edges ----
  rows.push_back({"HSLBlendChar", 40, true, kRc, [](Call& c) {
                    auto& P = *c.planes;
                    return HSLBlendChar(P.r.data(), P.g.data(), P.b.data(), c.s.h, c.s.w, c.r.x0,
                                        c.r.y0, c.r.x1, c.r.y1, c.p16(), c.p16(),
                                        static_cast<int16_t>(-c.p));
                  }});
  rows.push_back({"X_Blur_buffer", 3, true, kRc, [](Call& c) {
                    return X_Blur_buffer(c.planes->i3.data(), c.mask, c.s.w, c.s.h, c.r.x0,
                                         c.r.y0, c.r.x1, c.r.y1, Held(c.p, -5, 400), 3);
                  }});
  rows.push_back({"X_Emboss", 2, true, kRc, [](Call& c) {
                    return X_Emboss(c.planes->r.data(), c.mask, c.s.h, c.s.w, c.r.x0, c.r.y0,
                                    c.r.x1, c.r.y1, Held(c.p, -3, 6), 1, c.p, c.p,
                                    c.pf());
                  }});
  rows.push_back({"X_FindEdge", 2, true, kRc, [](Call& c) {
                    return X_FindEdge(c.planes->r.data(), c.mask, c.s.h, c.s.w, c.r.x0, c.r.y0,
                                      c.r.x1, c.r.y1, c.opacity, Held(c.p, -3, 6), c.p, 0);
                  }});
  rows.push_back({"X_sharp_buffer", 2, true, kRc, [](Call& c) {
                    return X_sharp_buffer(c.s.w, c.s.h, c.planes->r.data(), c.r.x0, c.r.y0,
                                          c.r.x1, c.r.y1, c.p, Held(c.p, -3, 4), c.p,
                                          Held(c.p, -3, 8));
                  }});
  rows.push_back({"X_medianedg_buf", 2, true, kRc, [](Call& c) {
                    return X_medianedg_buf(c.s.w, c.s.h, c.planes->r.data(), c.r.x0, c.r.y0,
                                           c.r.x1, c.r.y1, Held(c.p, -3, 4), Held(c.p, -3, 8));
                  }});
  // ---- tone tables ----
  rows.push_back({"X_lut_buffer", 50, true, kRc, [](Call& c) {
                    auto& P = *c.planes;
                    std::vector<int16_t> lut(256);
                    for (int i = 0; i < 256; ++i) lut[i] = static_cast<int16_t>(255 - i);
                    std::vector<int16_t> mask(P.n, static_cast<int16_t>(Held(c.p, 0, 8192)));
                    return X_lut_buffer(c.s.h, c.s.w, P.spx.data(), P.px.data(), c.r.x0, c.r.y0,
                                        c.r.x1 + 1, c.r.y1 + 1, c.mask ? mask.data() : nullptr,
                                        c.p16(), lut.data(), lut.data(), nullptr, lut.data());
                  }});
  // ---- colour selections ----
  rows.push_back({"X_exchYMCK_buffer", 100, true, kRc, [](Call& c) {
                    auto& P = *c.planes;
                    const int32_t k[4] = {c.p, -c.p, c.p / 3, 7};
                    return X_exchYMCK_buffer(c.s.h, c.s.w, P.spx.data(), P.px.data(), c.r.x0,
                                             c.r.y0, c.r.x1, c.r.y1, c.p16(), k, k, k, k, k);
                  }});
  // ---- warps ----
  rows.push_back({"X_distort_buffer", 60, true, kAny, [](Call& c) {
                    auto& P = *c.planes;
                    for (int16_t pixelMode = 0; pixelMode <= 1; ++pixelMode) {
                      void* dst = pixelMode == 0 ? static_cast<void*>(P.r.data()) : P.px.data();
                      const void* src =
                          pixelMode == 0 ? static_cast<const void*>(P.sr.data()) : P.spx.data();
                      X_distort_buffer(pixelMode, c.s.h, c.s.w, src, 1, c.mask, c.s.h, c.s.w, dst,
                                       c.r.x0, c.r.y0, c.r.x1 + c.p, c.r.y0, c.r.x1, c.r.y1 - c.p,
                                       c.r.x0, c.r.y1, c.r.x0, c.r.y0, c.r.x1 - c.r.x0,
                                       c.r.y1 - c.r.y0, c.p16());
                    }
                    return 0;
                  }});
  rows.push_back({"QuadBufToQuadBuf", 3, true, kAny, [](Call& c) {
                    auto& P = *c.planes;
                    const int32_t d = Held(c.p, -200, 200);
                    return QuadBufToQuadBuf(c.s.h, c.s.w, P.sr.data(), 0, nullptr, c.s.h, c.s.w,
                                            P.r.data(), c.r.x0, c.r.y0, c.r.x1, c.r.y0, c.r.x1,
                                            c.r.y1, c.r.x0, c.r.y1, c.r.x0 - d, c.r.y0, c.r.x1 + d,
                                            c.r.y0 - d, c.r.x1, c.r.y1 + d, c.r.x0, c.r.y1);
                  }});
  rows.push_back({"ComputeBufRGBInterDisAtXY", 3, true, kAny, [](Call& c) {
                    auto& P = *c.planes;
                    std::vector<uint32_t> xs(P.n), ys(P.n);
                    std::vector<const uint32_t*> xRows(c.s.h), yRows(c.s.h);
                    for (size_t i = 0; i < P.n; ++i) {
                      xs[i] = kDisplacementNeutral + static_cast<uint32_t>(c.p) * 128u;
                      ys[i] = kDisplacementNeutral - static_cast<uint32_t>(c.p) * 64u;
                    }
                    for (int32_t y = 0; y < c.s.h; ++y) {
                      xRows[y] = xs.data() + static_cast<size_t>(y) * c.s.w;
                      yRows[y] = ys.data() + static_cast<size_t>(y) * c.s.w;
                    }
                    ComputeBufRGBInterDisAtXY(c.s.h, c.s.w, P.sr.data(), P.sg.data(), P.sb.data(),
                                              c.mask, P.r.data(), P.g.data(), P.b.data(),
                                              c.mask ? P.k.data() : nullptr, xRows.data(),
                                              yRows.data());
                    ComputeBufRGBInterDisAtXYfring(
                        c.s.h, c.s.w, P.sr.data(), P.sg.data(), P.sb.data(), nullptr, P.r.data(),
                        P.g.data(), P.b.data(), nullptr, xRows.data(), yRows.data(), c.p, -c.p, 0);
                    return 0;
                  }});
  rows.push_back({"X_distortandlut_buffer", 50, true, kRc, [](Call& c) {
                    auto& P = *c.planes;
                    std::vector<uint8_t> lut(4 * 256);
                    for (size_t i = 0; i < lut.size(); ++i) lut[i] = static_cast<uint8_t>(i);
                    return X_distortandlut_buffer(
                        c.mode, c.opacity, c.p16(), c.p16(), static_cast<int16_t>(-c.p), c.p16(),
                        c.s.h, c.s.w, P.sr.data(), c.s.h, c.s.w, P.r.data(), P.g.data(),
                        P.b.data(), c.r.x0, c.r.y0, c.r.x1, c.r.y0, c.r.x1 + 2, c.r.y1, c.r.x0 - 2,
                        c.r.y1, c.r.x0, c.r.y0, c.r.x1 - c.r.x0, c.r.y1 - c.r.y0, c.p16(), c.mask,
                        lut.data(), c.p16(), c.p16());
                  }});
  // ---- focus, denoise, smart blur, diffusion ----
  rows.push_back({"DeBlur", 2, true, kRc, [](Call& c) {
                    return DeBlur(c.mode, c.opacity, c.planes->r.data(), c.mask, c.s.h, c.s.w,
                                  c.r.x0, c.r.y0, c.r.x1, c.r.y1, c.p16(), c.p16());
                  }});
  rows.push_back({"HighPass", 3, true, kRc, [](Call& c) {
                    return HighPass(c.mode, c.opacity, c.planes->r.data(), c.mask, c.s.w, c.s.h,
                                    c.r.x0, c.r.y0, c.r.x1, c.r.y1, Held16(c.p, -5, 400),
                                    c.p16());
                  }});
  rows.push_back({"DeNoise", 1, true, kRc, [](Call& c) {
                    return DeNoise(c.mode, c.opacity, c.planes->r.data(), c.mask, c.s.h, c.s.w,
                                   c.r.x0, c.r.y0, c.r.x1, c.r.y1, Held16(c.p, -5, 3), c.p16(),
                                   c.p16());
                  }});
  rows.push_back({"X_SmartBlur_RGB", 10, true, kAny, [](Call& c) {
                    auto& P = *c.planes;
                    X_SmartBlur_RGB(static_cast<int16_t>(c.p & 1), c.s.h, c.s.w, P.spx.data(),
                                    P.px.data(), c.p16(), c.p16(), c.p16(), c.p16());
                    return 0;
                  },
                  true});
  rows.push_back({"AnisotropicDiffusion", 2, true, kAny, [](Call& c) {
                    AnisotropicDiffusion(c.s.w, c.s.h, c.planes->r.data(),
                                         static_cast<int16_t>(c.p & 1), Held16(c.p, -5, 20),
                                         c.pf());
                    return 0;
                  },
                  true});
  // ---- guided channel drivers on 32-bit pixels (right and bottom exclusive) ----
  rows.push_back({"X_DeBlur_buffer", 2, true, kRc, [](Call& c) {
                    return Guided(&X_DeBlur_buffer, c, c.opacity, c.p16(), c.p16(),
                                  Held16(c.p, -5, 12));
                  }});
  rows.push_back({"X_HighSharp_buffer", 2, true, kRc, [](Call& c) {
                    return Guided(&X_HighSharp_buffer, c, c.p16(), Held16(c.p, -5, 400), c.p16(),
                                  Held16(c.p, -5, 12));
                  }});
  rows.push_back({"X_bluroutedge_buffer", 5, true, kRc, [](Call& c) {
                    return Guided(&X_bluroutedge_buffer, c, c.p16(), Held16(c.p, -5, 12),
                                  Held16(c.p, -5, 400), c.p16(), c.p16());
                  }});
  rows.push_back({"X_Smooth_buffer", 5, true, kRc, [](Call& c) {
                    auto& P = *c.planes;
                    return X_Smooth_buffer(static_cast<int16_t>(c.p & 1), c.s.h, c.s.w,
                                           P.spx.data(), P.px.data(), c.s.h, c.s.w, P.sr.data(),
                                           c.s.h, c.s.w, c.r.x0, c.r.y0, c.r.x1 + 1, c.r.y1 + 1, 1,
                                           0, 0, 1.0f, 1.0f, static_cast<int16_t>(c.p % 3),
                                           Held16(c.p, -3, 3), c.p16(), c.p16(), c.p16(), c.p16(),
                                           c.p16());
                  }});
  rows.push_back({"X_AutoCorrect_buffer", 50, true, kRc, [](Call& c) {
                    auto& P = *c.planes;
                    std::vector<unsigned char> work(P.n);
                    return X_AutoCorrect_buffer(
                        static_cast<int16_t>(c.p & 1), c.s.h, c.s.w, P.spx.data(), P.px.data(),
                        c.s.h, c.s.w, P.sr.data(), work.data(), c.s.h, c.s.w, c.r.x0, c.r.y0,
                        c.r.x1 + 1, c.r.y1 + 1, 0, 0, 0, 1.0f, 1.0f, c.p16(),
                        Held16(c.p, -5, 400), c.p16(), c.p16(), 0, c.p16(), nullptr, nullptr,
                        nullptr, nullptr);
                  }});
  rows.push_back({"X_graincorr_buffer", 50, true, kRc, [](Call& c) {
                    auto& P = *c.planes;
                    std::vector<unsigned char> work(P.n);
                    return X_graincorr_buffer(c.s.h, c.s.w, P.spx.data(), P.px.data(), c.s.h,
                                              c.s.w, P.sr.data(), work.data(), c.s.h, c.s.w,
                                              c.r.x0, c.r.y0, c.r.x1 + 1, c.r.y1 + 1, 0, 0, 0,
                                              1.0f, 1.0f, c.p16(), Held16(c.p, -5, 12),
                                              Held16(c.p, -3, 4), c.p16());
                  }});
  rows.push_back({"X_DeNoise_buffer", 1, true, kRc, [](Call& c) {
                    auto& P = *c.planes;
                    return X_DeNoise_buffer(static_cast<int16_t>(c.p & 1), c.s.h, c.s.w,
                                            P.spx.data(), P.px.data(), c.r.x0, c.r.y0, c.r.x1 + 1,
                                            c.r.y1 + 1, c.p16(), Held16(c.p, -3, 3), c.p16(),
                                            c.p16());
                  }});
  rows.push_back({"X_Aniso_buffer", 2, true, kRc, [](Call& c) {
                    auto& P = *c.planes;
                    return X_Aniso_buffer(0, c.s.h, c.s.w, P.spx.data(), P.px.data(), c.r.x0,
                                          c.r.y0, c.r.x1, c.r.y1 + 1, 0, Held16(c.p, -5, 20),
                                          c.p16());
                  }});
  rows.push_back({"X_histo_buffer", 0, true, kAny, [](Call& c) {
                    auto& P = *c.planes;
                    std::vector<int32_t> h0(256), h1(256), h2(256), hm(256);
                    int32_t m0 = 0, m1 = 0, m2 = 0, mm = 0, total = 0;
                    return X_histo_buffer(c.s.h, c.s.w, P.px.data(), c.r.x0 - c.p, c.r.y0,
                                          c.r.x1, c.r.y1 + c.p, h0.data(), h1.data(), h2.data(),
                                          hm.data(), &m0, &m1, &m2, &mm, &total);
                  }});
  rows.push_back({"X_gradYMCK_buffer", 0, true, kRc, [](Call& c) {
                    auto& P = *c.planes;
                    std::vector<int16_t> lut(256);
                    for (int i = 0; i < 256; ++i) lut[i] = static_cast<int16_t>(i * 3 - 200 + c.p);
                    return X_gradYMCK_buffer(c.s.h, c.s.w, P.spx.data(), P.px.data(), c.r.x0,
                                             c.r.y0, c.r.x1, c.r.y1, c.p16(), 0, lut.data(),
                                             lut.data(), lut.data(), lut.data());
                  }});
  // ---- further copies, turns and rescales ----
  rows.push_back({"RotaPatCharBuf", 0, false, kAny, [](Call& c) {
                    auto& P = *c.planes;
                    RotaPatCharBuf(c.p16(), P.sr.data(), P.r.data(), c.s.w, c.s.h);
                    return 0;
                  }});
  rows.push_back({"X_Newechant_buffer", 2, true, kRc, [](Call& c) {
                    auto& P = *c.planes;
                    return X_Newechant_buffer(c.p16(), P.sr.data(), P.sg.data(), P.sb.data(),
                                              c.s.w, c.s.h, P.r.data(), P.g.data(), P.b.data(),
                                              c.s.w, c.s.h, c.r.x0, c.r.y0, c.r.x1 + 1,
                                              c.r.y1 + 1, -2, 1, c.s.w * 2, c.s.h + 1);
                  }});
  rows.push_back({"X_BiCubic_charbuf", 0, false, kAny, [](Call& c) {
                    auto& P = *c.planes;
                    const int32_t grow = Held(c.p, -300, 300);
                    X_BiCubic_charbuf(P.sr.data(), c.s.w, c.s.h, P.r.data(), c.s.w, c.s.h, c.r.x0,
                                      c.r.y0, c.r.x1 + 1, c.r.y1 + 1, -grow, 0, c.s.w + grow,
                                      c.s.h);
                    return 0;
                  }});
  rows.push_back({"ApplyMatrix", 1, true, kRc, [](Call& c) {
                    const int32_t radius = Held(c.p, -3, 6);
                    const int32_t side = 2 * std::max(radius, 0) + 1;
                    std::vector<int32_t> kernel(static_cast<size_t>(side) * side, 1);
                    const unsigned char offsets[3] = {0, 9, 250};
                    return ApplyMatrix(c.planes->i3.data(), c.mask, 1, 1, c.s.w, c.s.h, c.r.x0,
                                       c.r.x1, c.r.y0, c.r.y1, radius, 3, offsets,
                                       c.pf(), kernel.data());
                  }});
  rows.push_back({"X_Opa_BufToBuf_andR", 128, true, kRc, [](Call& c) {
                    auto& P = *c.planes;
                    return X_Opa_BufToBuf_andR(c.s.w, c.s.h, P.spx.data(), c.s.w, c.s.h,
                                               P.px.data(), c.r.x0, c.r.y0, c.r.x1 + 1,
                                               c.r.y1 + 1, -1, -1, c.s.w + 1, c.s.h + 2, c.r.x0,
                                               c.r.y0, c.r.x1, c.r.y1, Held(c.p, -255, 511));
                  }});
  rows.push_back({"X_lutcontrast", 0, true, kAny, [](Call& c) {
                    std::vector<int32_t> table(256);
                    X_lutcontrast(table.data(), c.p);
                    return 0;
                  }});
  rows.push_back({"QuadBufRGBToQuadBufRGB", 3, true, kAny, [](Call& c) {
                    auto& P = *c.planes;
                    const int32_t d = Held(c.p, -200, 200);
                    return QuadBufRGBToQuadBufRGB(
                        c.s.h, c.s.w, P.sr.data(), P.sg.data(), P.sb.data(),
                        static_cast<int16_t>(c.p & 3), c.mask, c.s.h, c.s.w, P.r.data(),
                        P.g.data(), P.b.data(), c.r.x0, c.r.y0, c.r.x1, c.r.y0, c.r.x1, c.r.y1,
                        c.r.x0, c.r.y1, c.r.x0 + d, c.r.y0 - d, c.r.x1, c.r.y0, c.r.x1 - d,
                        c.r.y1 + d, c.r.x0, c.r.y1);
                  }});
  rows.push_back({"X_Grid_buffer", 2, true, kRc, [](Call& c) {
                    auto& P = *c.planes;
                    const int16_t n = Held16(c.p, -2, 6);
                    const size_t nodes = static_cast<size_t>(std::max<int32_t>(n, 0) + 1) *
                                         (std::max<int32_t>(n, 0) + 1);
                    std::vector<float> nx(nodes), ny(nodes);
                    for (size_t i = 0; i < nodes; ++i) {
                      nx[i] = static_cast<float>((i * 13) % (c.s.w + 3)) - 1.0f;
                      ny[i] = static_cast<float>((i * 7) % (c.s.h + 3)) - 1.0f;
                    }
                    return X_Grid_buffer(0, 0, c.s.h, c.s.w, P.sr.data(), nullptr, c.s.h, c.s.w,
                                         P.r.data(), nullptr, nullptr, n, n, nx.data(), ny.data(),
                                         c.r.x0, c.r.y0, c.r.x1 - c.r.x0, c.r.y1 - c.r.y0, 1.0f,
                                         1.0f, c.p16());
                  }});
  // ---- read-outs ----
  rows.push_back({"X_CharDensitometre", 3, false, kRc, [](Call& c) {
                    int16_t v = 0, r = 0, g = 0, b = 0, k = 0;
                    auto& P = *c.planes;
                    int32_t rc = X_CharDensitometre(c.s.h, c.s.w, P.r.data(), c.r.x1, c.r.y0,
                                                    c.p16(), &v);
                    rc |= X_RGBLongDensitometre(c.s.h, c.s.w, P.px.data(), c.r.x0, c.r.y1,
                                                c.p16(), &r, &g, &b);
                    rc |= X_YMCKdensitometre(c.s.h, c.s.w, P.px.data(), c.r.x0 + c.p, c.r.y0,
                                             c.p16(), &r, &g, &b, &k);
                    return rc;
                  }});
  rows.push_back({"inCropbuf", 0, true, kAny, [](Call& c) {
                    int32_t l = 0, t = 0, r = 0, b = 0;
                    inCropbuf(c.s.w, c.s.h, c.planes->r.data(), &l, &t, &r, &b);
                    return 0;
                  },
                  true});
  return rows;
}

VMK_ARGUMENT_SWEEP(RasterArgumentSweep, EveryFunction, Rows);

}  // namespace
