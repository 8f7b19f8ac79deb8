// The automatic and grain corrections: both work from a guide plane (a small
// grey picture of the image) that is blurred or turned into edges, laid over
// the image's rectangle as a fill plane, and used to steer the correction.
#include <cstring>

#include "app/core/memory_manager.h"
#include "app/core/sample_clamp.h"
#include "platform/memory/block.h"
#include "raster/blend_filters.h"
#include "raster/convolution.h"
#include "raster/plane_copy.h"
#include "raster/rescale.h"
#include "raster/tone_lut.h"

namespace {

// Fill plane of width x height bytes, cleared; empty when memory is short.
// It has the image's row length, as the corrections index it by the image's
// pixel, whatever the fill rectangle's size.
plat::Block<unsigned char> NewFillPlane(int32_t width, int32_t height) {
  const int64_t size = static_cast<int64_t>(width) * height;
  plat::Block<unsigned char> plane(size > 0 ? size : 1, WorkSource());
  plane.Clear();
  return plane;
}

// Lays the guide over the corner 0, 0 .. fillWidth, fillHeight of the fill
// plane (width x height, the image's layout): rescaled, or sampled nearest
// with the rows counted from the bottom on both sides. Samples that would
// fall off the guide take its nearest edge sample; fill samples that would
// fall off the image are left out.
void FillFromGuide(unsigned char* fill, int32_t width, int32_t height, int32_t fillWidth,
                   int32_t fillHeight, const unsigned char* guideWork, int32_t guideWidth,
                   int32_t guideHeight, int16_t filtered, int32_t offsetX, int32_t offsetY,
                   float scaleX, float scaleY) {
  if (fillWidth <= 0 || fillHeight <= 0 || guideWidth <= 0 || guideHeight <= 0) return;
  if (filtered == 1) {
    X_Newechant_charbuf(5, guideWork, guideWidth, guideHeight, fill, width, height, 0, 0,
                        guideWidth, guideHeight, 0, 0, fillWidth, fillHeight);
    return;
  }
  const int32_t columns = fillWidth < width ? fillWidth : width;
  for (int32_t y = 0; y < fillHeight; ++y) {
    const int32_t rowIndex = fillHeight - 1 - y;
    if (rowIndex >= height) continue;
    const int32_t ys = static_cast<int32_t>(static_cast<float>(y) * scaleY + 0.5f);
    int32_t gy = guideHeight - offsetY - ys;
    gy = ClampInt(gy, 0, guideHeight - 1);
    unsigned char* row = fill + static_cast<int64_t>(rowIndex) * width;
    for (int32_t x = 0; x < columns; ++x) {
      const int32_t xs = static_cast<int32_t>(static_cast<float>(x) * scaleX + 0.5f);
      int32_t gx = xs + offsetX;
      gx = ClampInt(gx, 0, guideWidth - 1);
      row[x] = guideWork[gx + static_cast<int64_t>(guideWidth) * gy];
    }
  }
}

}  // namespace

int32_t X_AutoCorrect_buffer(int16_t threeChannels, int32_t height, int32_t width,
                             const uint32_t* src, uint32_t* dst, int32_t guideHeight,
                             int32_t guideWidth, const unsigned char* guide,
                             unsigned char* guideWork, int32_t fillHeight, int32_t fillWidth,
                             int32_t left, int32_t top, int32_t right, int32_t bottom,
                             int16_t filtered, int32_t offsetX, int32_t offsetY, float scaleX,
                             float scaleY, int16_t percent, int16_t blurRadius, int16_t sharpen,
                             int16_t amountA, int16_t ignored, int16_t amountB,
                             const int16_t* lut0, const int16_t* lut1, const int16_t* lut2,
                             const int16_t* lut3) {
  (void)ignored;
  if (src == nullptr || dst == nullptr || guide == nullptr || guideWork == nullptr ||
      width <= 0 || height <= 0) {
    return -1;
  }
  ChBufToChBuf(guideWidth, guideHeight, guide, guideWork);
  X_Blur_buffer(guideWork, nullptr, guideWidth, guideHeight, 0, 0, guideWidth - 1,
                guideHeight - 1, blurRadius, 1);

  const plat::Block<unsigned char> fillPlane = NewFillPlane(width, height);
  if (!fillPlane) return -1;
  const plat::Block<unsigned char> channelPlane(static_cast<int64_t>(width) * height, WorkSource());
  if (!channelPlane) return -1;
  unsigned char* fill = fillPlane.get();
  unsigned char* channel = channelPlane.get();
  FillFromGuide(fill, width, height, fillWidth, fillHeight, guideWork, guideWidth, guideHeight,
                filtered, offsetX, offsetY, scaleX, scaleY);

  if (!ClipExclusiveRect(width, height, left, top, right, bottom)) return 0;
  const unsigned char* s = reinterpret_cast<const unsigned char*>(src);
  unsigned char* d = reinterpret_cast<unsigned char*>(dst);
  const int64_t count = static_cast<int64_t>(width) * height;
  const int channels = threeChannels == 0 ? 4 : 3;
  for (int k = 0; k < channels; ++k) {
    // Outside the rectangle the channel plane holds the source, so the
    // smoothing below reads real neighbours at the rectangle's edges.
    for (int64_t i = 0; i < count; ++i) channel[i] = s[i * 4 + k];
    for (int32_t y = top; y < bottom; ++y) {
      for (int32_t x = left; x < right; ++x) {
        const int64_t i = static_cast<int64_t>(y) * width + x;
        unsigned char t = 0;
        X_optionBlend(&t, 9, s[i * 4 + k], fill[i]);
        channel[i] = static_cast<unsigned char>((t * percent + (100 - percent) * s[i * 4 + k]) / 100);
      }
    }
    if (sharpen != 0) {
      int32_t kernel[9];
      int16_t divisor = 1;
      Load_matrix(1, 5, kernel, &divisor);
      int32_t rc =
          X_Mat_Chbuf(width, height, channel, 0, 0, width - 1, height - 1, 0, divisor, kernel, 4096);
      const int16_t step = static_cast<int16_t>(sharpen * 750 / 100);
      if (rc == 0 && step != 0) {
        Load_matrix(2, step, kernel, &divisor);
        rc = X_Mat_Chbuf(width, height, channel, 0, 0, width - 1, height - 1, 0, divisor, kernel,
                         4096);
      }
      if (rc != 0) return -1;
    }
    for (int32_t y = top; y < bottom; ++y) {
      for (int32_t x = left; x < right; ++x) {
        const int64_t i = static_cast<int64_t>(y) * width + x;
        d[i * 4 + k] = channel[i];
      }
    }
  }
  X_lut_buffer(height, width, dst, dst, left, top, right, bottom, nullptr, 0, lut0, lut1, lut2,
               lut3);

  if (amountA > 99 && amountB > 99) return 0;
  const int32_t hi = threeChannels == 0 ? amountB : amountA;
  const int32_t lo = threeChannels == 0 ? amountA : amountB;
  static const int kOrder[4] = {2, 1, 0, 3};
  for (int32_t y = top; y < bottom; ++y) {
    for (int32_t x = left; x < right; ++x) {
      const int64_t i = static_cast<int64_t>(y) * width + x;
      for (int n = 0; n < channels; ++n) {
        const int k = kOrder[n];
        const int32_t sv = s[i * 4 + k];
        const int32_t ov = d[i * 4 + k];
        const int32_t dd = hi * (sv - 128) / 128;
        if (dd >= 1) {
          d[i * 4 + k] = static_cast<unsigned char>((dd * ov + (100 - dd) * sv) / 100);
        } else {
          const int32_t e = lo * (128 - sv) / 128;
          d[i * 4 + k] = static_cast<unsigned char>((e * ov + (100 - e) * sv) / 100);
        }
      }
    }
  }
  return 0;
}

int32_t X_graincorr_buffer(int32_t height, int32_t width, const uint32_t* src, uint32_t* dst,
                           int32_t guideHeight, int32_t guideWidth, const unsigned char* guide,
                           unsigned char* guideWork, int32_t fillHeight, int32_t fillWidth,
                           int32_t left, int32_t top, int32_t right, int32_t bottom,
                           int16_t filtered, int32_t offsetX, int32_t offsetY, float scaleX,
                           float scaleY, int16_t amount, int16_t edge, int16_t passes,
                           int16_t sharpen) {
  // The smoothed and sharpened planes of the passes and sharpen values never
  // reached the result; they are not built.
  (void)passes;
  (void)sharpen;
  if (src == nullptr || dst == nullptr || guide == nullptr || guideWork == nullptr ||
      width <= 0 || height <= 0) {
    return -1;
  }
  ChBufToChBuf(guideWidth, guideHeight, guide, guideWork);
  X_FindEdge(guideWork, nullptr, guideHeight, guideWidth, 0, 0, guideWidth - 1, guideHeight - 1,
             255, edge, -64, 0);
  const plat::Block<unsigned char> fillPlane = NewFillPlane(width, height);
  if (!fillPlane) return -1;
  unsigned char* fill = fillPlane.get();
  FillFromGuide(fill, width, height, fillWidth, fillHeight, guideWork, guideWidth, guideHeight,
                filtered, offsetX, offsetY, scaleX, scaleY);
  int32_t table[256];
  X_lutcontrast(table, 60);
  if (ClipExclusiveRect(width, height, left, top, right, bottom)) {
    const unsigned char* s = reinterpret_cast<const unsigned char*>(src);
    unsigned char* d = reinterpret_cast<unsigned char*>(dst);
    for (int32_t y = top; y < bottom; ++y) {
      for (int32_t x = left; x < right; ++x) {
        const int64_t i = static_cast<int64_t>(y) * width + x;
        int32_t w = 100 - (amount * table[fill[i]]) / 255;
        // Amounts beyond 0..100 would weigh outside the two pixels and wrap.
        w = ClampInt(w, 0, 100);
        for (int k = 0; k < 4; ++k) {
          d[i * 4 + k] =
              static_cast<unsigned char>((w * s[i * 4 + k] + (100 - w) * d[i * 4 + k]) / 100);
        }
      }
    }
  }
  return 0;
}
