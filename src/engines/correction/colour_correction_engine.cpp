#include "engines/correction/colour_correction_engine.h"

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

}  // namespace

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
  X_Smooth_buffer(1, height, width, src, dst, height, width, grey, height, width, 0, 0, width,
                  height, 0, 0, 0, 1.0f, 1.0f, S(w[5016]), S(w[5015]), S(w[5013]), 10,
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
  X_Smooth_buffer(1, height, width, src, dst, height, width, grey, height, width, 0, 0, width,
                  height, 0, 0, 0, 1.0f, 1.0f, S(w[5012]), 1, S(w[5007]), S(w[5008] / 2),
                  S(w[5009]), S(w[5011]), S(w[5010]));
}

void MiscColCor::ProcessFocus(int16_t focusMode, int32_t height, int32_t width, uint32_t* src,
                              uint32_t* dst, const uint8_t* grey, uint8_t* spare) {
  const int16_t* chain = FocusChain(focusMode);
  if (chain == nullptr) return;  // modes 0 and 16 up run nothing
  const int32_t* w = par_->w;
  const size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
  for (int k = 0; k < 5 && chain[k] != 0 && !plat::Cancelled(); ++k) {
    // The next step reads what the last one made; dst starts as its own input because the
    // kernels mix into it.
    if (k > 0) std::memcpy(src, dst, bytes);
    switch (chain[k]) {
      case kFocusDeblur:
        X_DeBlur_buffer(1, height, width, src, dst, height, width, grey, spare, height, width, 0,
                        0, width, height, 0, 0, 0, 1.0f, 1.0f, S(w[4991]), S(w[4995]),
                        S(w[4999]), S(w[5003]));
        break;
      case kFocusDenoise:
        X_DeNoise_buffer(1, height, width, src, dst, 0, 0, width, height, S(w[4992]),
                         S(w[4996]), S(w[5000]), S(w[5004]));
        break;
      case kFocusSharpen:
        X_HighSharp_buffer(1, height, width, src, dst, height, width, grey, spare, height, width,
                           0, 0, width, height, 0, 0, 0, 1.0f, 1.0f, S(w[4993]), S(w[4997]),
                           S(w[5001]), S(w[5005]));
        break;
      default:
        X_bluroutedge_buffer(1, height, width, src, dst, height, width, grey, spare, height,
                             width, 0, 0, width, height, 0, 0, 0, 1.0f, 1.0f, S(w[4994]),
                             S(w[4998]), S(w[5006]), S(w[5002]), 0);
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
