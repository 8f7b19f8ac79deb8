#include "engines/correction/colour_correction_engine.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

#include "app/core/memory_manager.h"
#include "engines/records/engine_frame.h"
#include "operations/effects.h"
#include "platform/memory/block.h"
#include "platform/parallel/cancel.h"
#include "raster/focus_filters.h"
#include "raster/smart_blur.h"
#include "raster/susan_denoise.h"
#include "script/blur_spread.h"

namespace {

// Step orders of focus modes 1..15. Edge blur goes before deblur and denoise before both,
// so a mode never sharpens what it is about to blur.
constexpr int16_t kChains[15][5] = {
    {kFocusDeblur},
    {kFocusDenoise},
    {kFocusDeblur, kFocusDenoise},
    {kFocusSharpen},
    {kFocusDeblur, kFocusSharpen},
    {kFocusDenoise, kFocusSharpen},
    {kFocusDeblur, kFocusDenoise, kFocusSharpen},
    {kFocusEdgeBlur},
    {kFocusEdgeBlur, kFocusDeblur},
    {kFocusDenoise, kFocusEdgeBlur},
    {kFocusDenoise, kFocusEdgeBlur, kFocusDeblur},
    {kFocusEdgeBlur, kFocusSharpen},
    {kFocusEdgeBlur, kFocusDeblur, kFocusSharpen},
    {kFocusDenoise, kFocusEdgeBlur, kFocusSharpen},
    {kFocusDenoise, kFocusEdgeBlur, kFocusDeblur, kFocusSharpen},
};

int16_t S(int32_t v) { return static_cast<int16_t>(v); }

uint8_t* Bytes(uint32_t* p) { return reinterpret_cast<uint8_t*>(p); }

// Bytes 0, 1, 2 of every pixel of both buffers from the planes (one plane: its value thrice),
// and their grey level.
void Pack(int16_t count, uint8_t* const* planes, size_t size, uint32_t* src, uint32_t* dst,
          uint8_t* grey) {
  for (size_t i = 0; i < size; ++i) {
    // Stopped work leaves the rest: FillBuf drops it.
    if ((i & 0xFFFFF) == 0 && plat::Cancelled()) return;
    uint8_t* s = Bytes(src + i);
    uint8_t* d = Bytes(dst + i);
    const uint8_t r = planes[0][i];
    const uint8_t g = count == 3 ? planes[1][i] : r;
    const uint8_t b = count == 3 ? planes[2][i] : r;
    s[0] = d[0] = r;
    s[1] = d[1] = g;
    s[2] = d[2] = b;
    s[3] = d[3] = 0;
    grey[i] = static_cast<uint8_t>((r + g + b) / 3);
  }
}

// --- Fitted previews ---------------------------------------------------------------------
//
// A preview of the picture fitted into a view renders on planes `scale` times smaller than
// the picture (12 times for a photograph of 6000 pixels in a view of 500). Every step here
// works on its planes' own pixels: a smart blur over five of them, a 3 x 3 denoise pass, a
// deblur kernel two pixels wide, a 3 x 3 contrast mask. On the picture these reach a few of
// its pixels, which the render scaled down to the view averages away; on the planes they
// reach as many view pixels, `scale` times as far, so at the record's own values the preview
// smoothed a photograph flat or sharpened its grain where the written version was lightly
// changed. So at such a scale each step is drawn as the render looks at it: a smoothing's
// reach and a sharpening's spread as the picture's pixels shrink into the view's, which takes
// the square of the scale off every spread (a variance), and where the planes' smallest
// kernel already spreads more than that, fewer repeats of it, or one mixed in at the share it
// amounts to. The render and a preview at the picture's own size take the record as it is.
constexpr float kFittedFrom = 1.05f;

// A count of repeats that need not be whole: a whole number of them from one up, and below
// one a single repeat that the step mixes in at that share.
struct Repeats {
  int32_t count;
  double share;
};

Repeats RepeatsOf(double repeats) {
  if (repeats >= 1.0) return {static_cast<int32_t>(std::min(repeats + 0.5, 32767.0)), 1.0};
  return {1, std::max(repeats, 0.0)};
}

int32_t Share(int32_t opacity, double share) {
  return static_cast<int32_t>(std::lround(opacity * share));
}

// The smart blur's radius, iterations and opacity on planes `scale` times smaller. Its scans
// reach half its radius (held to 5..22) around a pixel, so the spread of an iteration grows
// with the square of that reach: on the planes the radius shrinks with the scale down to the
// blur's least, 5 (a reach of 2), and past that as many iterations of the least as spread the
// picture as far, or one mixed in at its share. Returns that share (1 when whole).
double SmartBlurAtScale(float scale, int32_t* radius, int32_t* iterations, int32_t* opacity) {
  const int32_t held = std::clamp(*radius, 5, 22);
  const double shrunk = held / static_cast<double>(scale);
  if (shrunk >= 5.0) {
    *radius = static_cast<int32_t>(std::lround(shrunk));
    return 1.0;
  }
  const double reach = (held >> 1) / static_cast<double>(scale);
  const Repeats r = RepeatsOf(std::max(*iterations, 1) * reach * reach / (2.0 * 2.0));
  *radius = 5;
  *iterations = r.count;
  *opacity = Share(*opacity, r.share);
  return r.share;
}

// `count` repeats of a 3 x 3 pass, which spreads as much on any planes: on planes `scale`
// times smaller the picture's spread over the square of the scale.
Repeats PassesAtScale(float scale, int32_t count) {
  return RepeatsOf(count / (static_cast<double>(scale) * scale));
}

// The high pass's blur radius and amount: the radius whose pyramid blur spreads on the planes
// as the record's spreads on the picture once it shrinks into them, and, where the least blur
// spreads further than that, the least with the amount cut by as much (the high pass of a
// blur moves a picture in proportion to its spread). Left as they are when the spreads
// cannot be measured.
void HighPassAtScale(float scale, int32_t* radius, int32_t* amount) {
  if (*radius <= 0 || *amount == 0) return;
  const double spread = PyramidBlurSpread(*radius);
  if (!(spread > 0.0)) return;
  const double want = spread / (static_cast<double>(scale) * scale);
  int32_t best = -1;
  double bestSpread = 0.0;
  for (int32_t r = 1; r <= *radius; ++r) {
    const double s = PyramidBlurSpread(r);
    if (!(s > 0.0)) continue;
    if (best < 0 || std::fabs(s - want) < std::fabs(bestSpread - want)) {
      best = r;
      bestSpread = s;
    }
  }
  if (best < 0) return;
  *radius = best;
  if (want < bestSpread) *amount = static_cast<int32_t>(std::lround(*amount * want / bestSpread));
}

// ---- reaches ----------------------------------------------------------------------------

constexpr int64_t kLargestReach = 1 << 20;

// The guide rescaled onto the planes (a Lanczos filter of three lobes) and its edges found by
// four embosses of `radius`.
int64_t EdgeMapReach(int32_t radius) { return std::max(radius, 0) + 1 + 3; }

// The pyramid blur: two halvings (1 and 2 samples), (radius % 4 + 1) 3 x 3 box passes on the
// first level (2 samples each) and as many on the second for each further 4 of the radius (4
// samples each), two doublings (2 and 1), and a level's sample of slack.
int64_t PyramidReach(int32_t radius) {
  radius = std::max(radius, 0);
  const int64_t groups = radius / 4;
  const int64_t passes = radius - 4 * groups + 1;
  return 2 * passes + 4 * passes * groups + 2 + 4 + 4 + 2 + 4;
}

// The smoothing: a smart blur whose scans reach half its radius (held to 5..22), `iterations`
// times, shaped by a contrast mask of the guide (two 3 x 3 kernels over the rescaled guide).
int64_t SmoothReach(int32_t radius, int32_t iterations) {
  const int32_t held = std::clamp(radius, 5, 22);
  return int64_t{held >> 1} * std::max(iterations, 1) + 2 + 3;
}

}  // namespace

int32_t ColCorReach(const ColCorPar& record) {
  const int32_t* w = record.w;
  // The words reach the kernels as 16-bit values.
  const auto s = [&](int32_t k) { return static_cast<int32_t>(S(w[k])); };
  int64_t reach = 0;
  switch (w[kCCKind]) {
    case 103:
      reach = SmoothReach(10, s(5015));
      break;
    case 104:
      reach = SmoothReach(s(5008) / 2, 1);
      break;
    case 105: {
      const int16_t* chain = FocusChain(S(w[kCCFocusMode]));
      for (int k = 0; chain != nullptr && k < 5 && chain[k] != 0; ++k) {
        switch (chain[k]) {
          case kFocusDeblur:
            // Each term of the series one more pair of 27-tap passes.
            reach += int64_t{std::clamp<int32_t>(s(4995), 0, kDeBlurMaxOrders)} * 2 * 13;
            if (s(5003) > 0) reach += EdgeMapReach(11 - s(5003));
            break;
          case kFocusDenoise:
            reach += std::max(s(4996), 0);  // 3 x 3 passes
            break;
          case kFocusSharpen:
            reach += PyramidReach(s(4997));
            if (s(5005) > 0) reach += EdgeMapReach(s(5005));
            break;
          default:
            reach += EdgeMapReach(s(4998)) + std::max(s(5006) / 10, 0);
            break;
        }
      }
      break;
    }
    default:
      break;  // the channel mixer maps each pixel by itself
  }
  return static_cast<int32_t>(std::min(reach, kLargestReach));
}

const int16_t* FocusChain(int16_t focusMode) {
  if (focusMode < 1 || focusMode > 15) return nullptr;
  return kChains[focusMode - 1];
}

MiscColCor::MiscColCor() = default;
MiscColCor::~MiscColCor() = default;

void MiscColCor::SetColCorPar(const ColCorPar* record) {
  if (par_.valid() && record != nullptr) Copy_ColCorPar(record, par_.get(), 0, 0, 0);
}

void MiscColCor::GetColCorPar(ColCorPar* record) const {
  if (par_.valid() && record != nullptr) Copy_ColCorPar(par_.get(), record, 0, 0, 0);
}

void MiscColCor::ProcessChannelMix(int32_t height, int32_t width, const uint32_t* src,
                                   uint32_t* dst) {
  const int32_t* w = par_->w;
  // Word 18 is the share of the mix, in percent, over the unmixed pixel.
  Effects::X_exchRGB_LongBuf(height, width, src, dst, 0, 0, width, height, 7, w[kCCMixPercent],
                             &w[kCCMatrix], &w[kCCMatrix + 4], &w[kCCMatrix + 8],
                             &w[kCCMatrix + 16]);
}

void MiscColCor::ProcessDeNoise(int32_t height, int32_t width, const uint32_t* src,
                                uint32_t* dst, const uint8_t* grey) {
  const int32_t* w = par_->w;
  int32_t radius = 10, iterations = w[5015], opacity = w[5013];
  if (viewScale_ > kFittedFrom) SmartBlurAtScale(viewScale_, &radius, &iterations, &opacity);
  X_Smooth_buffer(1, height, width, src, dst, height, width, grey, height, width, 0, 0, width,
                  height, 0, 0, 0, 1.0f, 1.0f, S(w[5016]), S(iterations), S(opacity), S(radius),
                  S(w[5014] / 3), 0, 0);
}

void MiscColCor::ProcessSmooth(int32_t height, int32_t width, const uint32_t* src,
                               uint32_t* dst, const uint8_t* grey) {
  const int32_t* w = par_->w;
  // Word 5008 is halved toward zero, as the smoothing dialog stores a diameter. The smart blur
  // holds the radius within 5..22 and scans half of it (radius >> 1) around each pixel, so the
  // amount moves the result only in steps of four and not at all from 44 up: every amount from
  // 44 to 100 scans the same 11 pixels, and 0 to 11 the same 2. Kept so, because stored
  // smoothing effects and presets were made against these steps; a wider scan would render
  // them differently.
  int32_t radius = w[5008] / 2, iterations = 1, opacity = w[5007], gain = w[5010];
  if (viewScale_ > kFittedFrom) {
    const double share = SmartBlurAtScale(viewScale_, &radius, &iterations, &opacity);
    // The contrast mask is a 3 x 3 high pass of the guide: on the planes it reaches the
    // scale's square as far, and the blur's share mixes it in too.
    const double s2 = static_cast<double>(viewScale_) * viewScale_;
    if (share > 0.0) gain = static_cast<int32_t>(std::lround(gain / (s2 * share)));
  }
  X_Smooth_buffer(1, height, width, src, dst, height, width, grey, height, width, 0, 0, width,
                  height, 0, 0, 0, 1.0f, 1.0f, S(w[5012]), S(iterations), S(opacity), S(radius),
                  S(w[5009]), S(w[5011]), S(gain));
}

void MiscColCor::ProcessFocus(int16_t focusMode, int32_t height, int32_t width, uint32_t* src,
                              uint32_t* dst, const uint8_t* grey, uint8_t* spare) {
  const int16_t* chain = FocusChain(focusMode);
  if (chain == nullptr) return;  // modes 0 and 16 up run nothing
  const int32_t* w = par_->w;
  // The steps' values, at a fitted preview's scale as its render would show them there.
  int32_t deblurOpacity = w[4991], deblurStrength = w[4999];
  int32_t denoiseOpacity = w[4992], denoisePasses = w[4996];
  int32_t sharpenBlur = w[4997], sharpenAmount = w[5001];
  int32_t edgeOpacity = w[4994], edgeBlur = w[5006];
  if (viewScale_ > kFittedFrom) {
    // The deblur adds a series of Laplacians of its kernel, at first order the strength
    // times one; a Laplacian of the picture shrinks by the scale's square into the view.
    if (deblurStrength > 0) {
      const Repeats r = PassesAtScale(viewScale_, deblurStrength);
      deblurStrength = r.count;
      deblurOpacity = Share(deblurOpacity, r.share);
    }
    if (denoisePasses > 0) {
      const Repeats r = PassesAtScale(viewScale_, denoisePasses);
      denoisePasses = r.count;
      denoiseOpacity = Share(denoiseOpacity, r.share);
    }
    HighPassAtScale(viewScale_, &sharpenBlur, &sharpenAmount);
    // The edge blur smooths a tenth of its value in 3 x 3 passes.
    if (edgeBlur >= 10) {
      const Repeats r = PassesAtScale(viewScale_, edgeBlur / 10);
      edgeBlur = 10 * r.count;
      edgeOpacity = Share(edgeOpacity, r.share);
    }
  }
  const size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
  for (int k = 0; k < 5 && chain[k] != 0 && !plat::Cancelled(); ++k) {
    // The next step reads what the last one made; dst starts as its own input because the
    // kernels mix into it.
    if (k > 0) std::memcpy(src, dst, bytes);
    switch (chain[k]) {
      case kFocusDeblur:
        X_DeBlur_buffer(1, height, width, src, dst, height, width, grey, spare, height, width, 0,
                        0, width, height, 0, 0, 0, 1.0f, 1.0f, S(deblurOpacity), S(w[4995]),
                        S(deblurStrength), S(w[5003]));
        break;
      case kFocusDenoise:
        X_DeNoise_buffer(1, height, width, src, dst, 0, 0, width, height, S(denoiseOpacity),
                         S(denoisePasses), S(w[5000]), S(w[5004]));
        break;
      case kFocusSharpen:
        X_HighSharp_buffer(1, height, width, src, dst, height, width, grey, spare, height, width,
                           0, 0, width, height, 0, 0, 0, 1.0f, 1.0f, S(w[4993]), S(sharpenBlur),
                           S(sharpenAmount), S(w[5005]));
        break;
      default:
        X_bluroutedge_buffer(1, height, width, src, dst, height, width, grey, spare, height,
                             width, 0, 0, width, height, 0, 0, 0, 1.0f, 1.0f, S(edgeOpacity),
                             S(w[4998]), S(edgeBlur), S(w[5002]), 0);
        break;
    }
  }
}

int32_t MiscColCor::FillBuf(int16_t planes, int16_t blendMode, int16_t strength, int16_t source,
                            int16_t apply, int32_t width, int32_t height, int32_t left,
                            int32_t top, int32_t right, int32_t bottom, int32_t readWidth,
                            int32_t readHeight, int32_t photoLeft, int32_t photoTop,
                            int32_t photoRight, int32_t photoBottom, float scaleX, float scaleY,
                            uint8_t* red, uint8_t* green, uint8_t* blue, uint8_t* fourth,
                            const uint8_t* mask) {
  const int16_t count = planes == 3 ? 3 : 1;
  if (width <= 0 || height <= 0 || red == nullptr || !par_.valid()) return 0;
  if (count == 3 && (green == nullptr || blue == nullptr)) return 0;
  const vmkrec::EngineArea area = vmkrec::ClampArea(left, top, right, bottom, width, height, false);
  // Picture pixels to a plane pixel: 1 in a render, more in a preview fitted into its view.
  const float scale = std::max(scaleX, scaleY);
  viewScale_ = std::isfinite(scale) && scale > 1.0f ? scale : 1.0f;

  // The read lands in the planes, so their size is the reader's stride and
  // height; the picture's own size (the first two of the reader's longs) is
  // the same only when the planes hold the whole picture, as in a render,
  // and not in a preview of the view's size.
  (void)readWidth;
  (void)readHeight;
  const vmkrec::SourceRequest request = vmkrec::MakeSourceRequest(
      width, height, area.right - area.left, area.bottom - area.top, photoLeft, photoTop,
      photoRight, photoBottom, scaleX, scaleY, red, green, blue, fourth);
  vmkrec::PrepareEngineSource(source, count, 255, request);
  // Cancelled work stops between its steps; its owner drops the planes.
  if (plat::Cancelled()) return 0;
  // Source 3 brings its own selection in the fourth plane; without one every pixel counts as
  // selected (a null mask blends at full strength).
  if (source == 3 && count == 3) mask = fourth;

  uint8_t* plane[3] = {red, green, blue};
  const size_t size = static_cast<size_t>(width) * static_cast<size_t>(height);
  const size_t padded = static_cast<size_t>(width + 1) * static_cast<size_t>(height + 1);

  if (apply == 0 || apply == 2) {
    // No correction: each plane blends with a copy of itself.
    plat::Block<uint8_t> copies(3 * padded, WorkSource());
    if (!copies) return 0;
    for (int k = 0; k < count; ++k) {
      uint8_t* copy = copies.get() + k * padded;
      std::memcpy(copy, plane[k], size);
      vmkrec::BlendEffect(plane[k], copy, mask, width, area, blendMode, strength);
    }
    return 0;
  }
  if (apply != 1) return 0;

  plat::Block<uint32_t> src(padded, WorkSource());
  if (!src) return 0;
  plat::Block<uint32_t> dst(padded, WorkSource());
  if (!dst) return 0;
  plat::Block<uint8_t> grey(padded, WorkSource());
  if (!grey) return 0;
  Pack(count, plane, size, src.get(), dst.get(), grey.get());
  if (plat::Cancelled()) return 0;

  switch (par_->w[kCCKind]) {
    case 103:
      ProcessDeNoise(height, width, src.get(), dst.get(), grey.get());
      break;
    case 104:
      ProcessSmooth(height, width, src.get(), dst.get(), grey.get());
      break;
    case 105: {
      plat::Block<uint8_t> spare(padded, WorkSource());
      if (!spare) return 0;
      ProcessFocus(S(par_->w[kCCFocusMode]), height, width, src.get(), dst.get(), grey.get(),
                   spare.get());
      break;
    }
    case 119:
      ProcessChannelMix(height, width, src.get(), dst.get());
      break;
    default:
      break;  // any other word 17 leaves the packed input
  }
  if (plat::Cancelled()) return 0;

  // The grey plane has served its kernels; it now carries each channel of the result.
  uint8_t* result = grey.get();
  const uint8_t* d = reinterpret_cast<const uint8_t*>(dst.get());
  if (count == 1) {
    for (size_t i = 0; i < size; ++i)
      result[i] = static_cast<uint8_t>((d[4 * i] + d[4 * i + 1] + d[4 * i + 2]) / 3);
    vmkrec::BlendEffect(red, result, mask, width, area, blendMode, strength);
    return 0;
  }
  for (int k = 0; k < 3 && !plat::Cancelled(); ++k) {
    for (size_t i = 0; i < size; ++i) result[i] = d[4 * i + k];
    vmkrec::BlendEffect(plane[k], result, mask, width, area, blendMode, strength);
  }
  return 0;
}
