// Plain resizes of the content-aware resize engine (see yoxel_plain_resize.h).
//
// Every result is staged in a plane of exactly the target rectangle's size and finished
// there before it is placed: the median, the sharpening (which filters its whole plane)
// and the grain then see only the resized picture, never the stale samples around the
// target rectangle, and a refusal part way leaves the caller's planes as they were.
#include "engines/correction/yoxel_plain_resize.h"

#include <algorithm>
#include <cstring>

#include "app/core/memory_manager.h"
#include "operations/effects.h"
#include "platform/memory/block.h"
#include "raster/rescale.h"

namespace {

// Sharpening after a resize is the plain matrix sharpening: one pass of the mildest
// sharpening matrix at the given weight in percent, without the edge map (edge depth 0).
// Nothing else in the system calls the edge-weighted sharpening, so it has no settings of
// its own to borrow; this is our choice.
constexpr int16_t kSharpenPasses = 1;
constexpr int16_t kSharpenLevel = 1;
constexpr int16_t kSharpenEdgeDepth = 0;
// The median after a Lanczos enlargement softens its ringing: the 3 x 3 median (setting 3)
// of the whole result, again without the edge map, as the sharpening.
constexpr int16_t kMedianSetting = 3;
constexpr int16_t kMedianEdgeDepth = 0;
// Grain after a resize is uniform noise (kind 0; a kind the noise does not know would leave
// the picture as it was and make the noise amount a dead setting) mixed in normally (mode 0) with
// the noise amount as its opacity (0..255), over the whole result with no mask, no blur and a
// neutral tone table. The seed is fixed so that a render repeats exactly; every plane gets the same
// draws, so the grain on a colour picture is grey rather than coloured speckle.
constexpr int16_t kNoiseKind = 0;
constexpr int16_t kNoiseSeed = 1;

constexpr int32_t kStepSharpen = 30;  // sharpening after a one-step reduction
constexpr int32_t kMidSharpen = 20;   // sharpening of the Lanczos intermediate
constexpr int32_t kMidShare = 30;     // percent of the enlargement done by the first step

struct Rects {
  int32_t sl = 0, st = 0, sr = 0, sb = 0;  // source, clamped to its plane
  int32_t tl = 0, tt = 0, tw = 0, th = 0;  // target origin and extent
  bool ok = false;
};

Rects Resolve(int32_t sourceWidth, int32_t sourceHeight, int32_t sl, int32_t st, int32_t sr,
              int32_t sb, int32_t tl, int32_t tt, int32_t tr, int32_t tb) {
  Rects r;
  r.sl = std::max(sl, 0);
  r.st = std::max(st, 0);
  r.sr = std::min(sr, sourceWidth);
  r.sb = std::min(sb, sourceHeight);
  r.tl = tl;
  r.tt = tt;
  r.tw = tr - tl;
  r.th = tb - tt;
  r.ok = r.sr > r.sl && r.sb > r.st && r.tw > 0 && r.th > 0;
  return r;
}

struct Plan {
  int16_t filter = 0;
  int16_t sharpen = 0;
  bool twoSteps = false;
  int32_t midW = 0, midH = 0;
};

Plan PlanFor(int16_t filter, int16_t sharpen, const Rects& r) {
  const int32_t sw = r.sr - r.sl, sh = r.sb - r.st;
  Plan p{filter, sharpen, false, 0, 0};
  if (r.tw < sw || r.th < sh) {
    p.sharpen = kStepSharpen;
  } else if (r.tw == sw && r.th == sh) {
    p.filter = 0;
  } else {
    p.twoSteps = true;
    p.midW = sw + (r.tw - sw) * kMidShare / 100;
    p.midH = sh + (r.th - sh) * kMidShare / 100;
  }
  return p;
}

void Sharpen(uint8_t* plane, int32_t w, int32_t h, int32_t weight) {
  (void)Effects::X_sharpedg_buf(w, h, plane, 0, 0, w - 1, h - 1, static_cast<int16_t>(weight),
                                kSharpenPasses, kSharpenLevel, kSharpenEdgeDepth);
}

int32_t Finish(const Plan& p, int16_t noise, uint8_t* plane, int32_t w, int32_t h) {
  if (p.filter == 6) {
    (void)Effects::X_medianedg_buf(w, h, plane, 0, 0, w - 1, h - 1, kMedianSetting,
                                   kMedianEdgeDepth);
  }
  if (p.sharpen != 0) Sharpen(plane, w, h, p.sharpen);
  if (noise == 0) return 0;
  const auto strength = static_cast<int16_t>(std::clamp<int32_t>(noise, 0, 255));
  return Effects::Noise(0, strength, kNoiseKind, plane, nullptr, h, w, 0, 0, w - 1, h - 1, 1.0f,
                        1.0f, 0, 0, 0, kNoiseSeed);
}

// One plane (n = 1) or red, green and blue (n = 3) from the source rectangle onto planes
// of exactly dw x dh.
int32_t Resample(int16_t filter, int32_t n, const uint8_t* const* src, int32_t w, int32_t h,
                 const int32_t* rect, uint8_t* const* dst, int32_t dw, int32_t dh) {
  if (n == 3) {
    return X_Newechant_buffer(filter, src[0], src[1], src[2], w, h, dst[0], dst[1], dst[2], dw,
                              dh, rect[0], rect[1], rect[2], rect[3], 0, 0, dw, dh);
  }
  return X_Newechant_charbuf(filter, src[0], w, h, dst[0], dw, dh, rect[0], rect[1], rect[2],
                             rect[3], 0, 0, dw, dh);
}

// The staged planes of one call: up to five results and three intermediates.
struct Stage {
  plat::Block<uint8_t> result[5];
  plat::Block<uint8_t> mid[3];
  bool Take(const bool (&wanted)[5], int32_t mids, const Rects& r, const Plan& p) {
    const int64_t size = static_cast<int64_t>(r.tw) * r.th;
    for (int32_t i = 0; i < 5; ++i) {
      if (!wanted[i]) continue;
      result[i] = plat::Block<uint8_t>(size, WorkSource());
      if (!result[i]) return false;
    }
    const int64_t midSize = static_cast<int64_t>(p.midW) * p.midH;
    for (int32_t i = 0; i < (p.twoSteps ? mids : 0); ++i) {
      mid[i] = plat::Block<uint8_t>(midSize, WorkSource());
      if (!mid[i]) return false;
    }
    return true;
  }
};

// The planes through the plan's one or two steps, finished.
int32_t RunPlanes(const Plan& p, int16_t noise, int32_t n, const uint8_t* const* src, int32_t w,
                  int32_t h, const Rects& r, uint8_t* const* staged, uint8_t* const* mid) {
  const int32_t sourceRect[4] = {r.sl, r.st, r.sr, r.sb};
  if (!p.twoSteps) {
    if (Resample(p.filter, n, src, w, h, sourceRect, staged, r.tw, r.th) != 0) return -1;
  } else {
    if (Resample(p.filter, n, src, w, h, sourceRect, mid, p.midW, p.midH) != 0) return -1;
    if (p.filter == 6)
      for (int32_t c = 0; c < n; ++c) Sharpen(mid[c], p.midW, p.midH, kMidSharpen);
    const int32_t midRect[4] = {0, 0, p.midW, p.midH};
    const uint8_t* const midIn[3] = {mid[0], mid[n == 3 ? 1 : 0], mid[n == 3 ? 2 : 0]};
    if (Resample(p.filter, n, midIn, p.midW, p.midH, midRect, staged, r.tw, r.th) != 0) return -1;
  }
  for (int32_t c = 0; c < n; ++c)
    if (Finish(p, noise, staged[c], r.tw, r.th) != 0) return -1;
  return 0;
}

// The staged plane into the part of the target rectangle that lies in the target plane.
void Place(const uint8_t* staged, const Rects& r, uint8_t* target, int32_t width, int32_t height) {
  const int32_t x0 = std::max(r.tl, 0), x1 = std::min(r.tl + r.tw, width);
  const int32_t y0 = std::max(r.tt, 0), y1 = std::min(r.tt + r.th, height);
  if (x1 <= x0) return;
  for (int32_t y = y0; y < y1; ++y) {
    const uint8_t* from = staged + static_cast<int64_t>(y - r.tt) * r.tw + (x0 - r.tl);
    std::memcpy(target + static_cast<int64_t>(y) * width + x0, from,
                static_cast<size_t>(x1 - x0));
  }
}

}  // namespace

int16_t PerformYoxelCharResize(int16_t filter, int32_t sharpenAmount, int32_t noiseAmount,
                               const uint8_t* source, int32_t sourceWidth, int32_t sourceHeight,
                               uint8_t* target, int32_t targetWidth, int32_t targetHeight,
                               int32_t sourceLeft, int32_t sourceTop, int32_t sourceRight,
                               int32_t sourceBottom, int32_t targetLeft, int32_t targetTop,
                               int32_t targetRight, int32_t targetBottom) {
  if (source == nullptr || target == nullptr || sourceWidth <= 0 || sourceHeight <= 0 ||
      targetWidth <= 0 || targetHeight <= 0) {
    return -1;
  }
  const Rects r = Resolve(sourceWidth, sourceHeight, sourceLeft, sourceTop, sourceRight,
                          sourceBottom, targetLeft, targetTop, targetRight, targetBottom);
  if (!r.ok) return -1;
  const Plan p = PlanFor(filter, static_cast<int16_t>(sharpenAmount), r);
  Stage s;
  if (!s.Take({true, false, false, false, false}, 1, r, p)) return -1;
  const uint8_t* const src[1] = {source};
  uint8_t* const staged[1] = {s.result[0].get()};
  uint8_t* const mid[1] = {s.mid[0].get()};
  if (RunPlanes(p, static_cast<int16_t>(noiseAmount), 1, src, sourceWidth, sourceHeight, r,
                staged, mid) != 0) {
    return -1;
  }
  Place(staged[0], r, target, targetWidth, targetHeight);
  return 0;
}

int16_t PerformYoxelRGBKTResize(int16_t filter, int32_t sharpenAmount, int32_t noiseAmount,
                                const uint8_t* sourceRed, const uint8_t* sourceGreen,
                                const uint8_t* sourceBlue, const uint8_t* sourceFourth,
                                const uint8_t* sourceFifth, int32_t sourceWidth,
                                int32_t sourceHeight, uint8_t* targetRed, uint8_t* targetGreen,
                                uint8_t* targetBlue, uint8_t* targetFourth, uint8_t* targetFifth,
                                int32_t targetWidth, int32_t targetHeight, int32_t sourceLeft,
                                int32_t sourceTop, int32_t sourceRight, int32_t sourceBottom,
                                int32_t targetLeft, int32_t targetTop, int32_t targetRight,
                                int32_t targetBottom) {
  const uint8_t* const src[3] = {sourceRed, sourceGreen, sourceBlue};
  uint8_t* const dst[3] = {targetRed, targetGreen, targetBlue};
  for (int32_t c = 0; c < 3; ++c)
    if (src[c] == nullptr || dst[c] == nullptr) return -1;
  if (sourceWidth <= 0 || sourceHeight <= 0 || targetWidth <= 0 || targetHeight <= 0) return -1;
  const Rects r = Resolve(sourceWidth, sourceHeight, sourceLeft, sourceTop, sourceRight,
                          sourceBottom, targetLeft, targetTop, targetRight, targetBottom);
  if (!r.ok) return -1;
  const bool fourth = sourceFourth != nullptr && targetFourth != nullptr;
  const bool fifth = sourceFifth != nullptr && targetFifth != nullptr;
  const Plan p = PlanFor(filter, static_cast<int16_t>(sharpenAmount), r);
  Stage s;
  if (!s.Take({true, true, true, fourth, fifth}, 3, r, p)) return -1;
  uint8_t* const staged[3] = {s.result[0].get(), s.result[1].get(), s.result[2].get()};
  uint8_t* const mid[3] = {s.mid[0].get(), s.mid[1].get(), s.mid[2].get()};
  const auto noise = static_cast<int16_t>(noiseAmount);
  if (RunPlanes(p, noise, 3, src, sourceWidth, sourceHeight, r, staged, mid) != 0) return -1;
  // The fourth plane goes straight to the target size whatever the colours' plan.
  Plan direct = p;
  direct.twoSteps = false;
  uint8_t* const k[1] = {s.result[3].get()};
  const uint8_t* const kSrc[1] = {sourceFourth};
  if (fourth && RunPlanes(direct, noise, 1, kSrc, sourceWidth, sourceHeight, r, k, nullptr) != 0)
    return -1;
  // The fifth plane rides along: always the cubic filter, never finished.
  const int32_t sourceRect[4] = {r.sl, r.st, r.sr, r.sb};
  uint8_t* const t[1] = {s.result[4].get()};
  const uint8_t* const tSrc[1] = {sourceFifth};
  if (fifth &&
      Resample(2, 1, tSrc, sourceWidth, sourceHeight, sourceRect, t, r.tw, r.th) != 0) {
    return -1;
  }
  for (int32_t c = 0; c < 3; ++c) Place(staged[c], r, dst[c], targetWidth, targetHeight);
  if (fourth) Place(k[0], r, targetFourth, targetWidth, targetHeight);
  if (fifth) Place(t[0], r, targetFifth, targetWidth, targetHeight);
  return 0;
}
