#include "engines/records/engine_frame.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "app/core/colour_spaces.h"
#include "app/core/sample_clamp.h"
#include "app/plane_readers.h"
#include "operations/effect_support.h"
#include "platform/parallel/cancel.h"
#include "platform/parallel/parallel.h"

namespace vmkrec {

namespace {

SourceReader gRenderFileSource = nullptr;

}  // namespace

EngineArea ClampArea(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t width,
                     int32_t height, bool inclusive) {
  EngineArea a{left, top, right, bottom};
  if (inclusive) {
    (void)ClipInclusiveRect(width, height, a.left, a.top, a.right, a.bottom);
  } else {
    (void)ClipExclusiveRect(width, height, a.left, a.top, a.right, a.bottom);
  }
  return a;
}

void SetRenderFileSource(SourceReader reader) { gRenderFileSource = reader; }

SourceRequest MakeSourceRequest(int32_t width, int32_t height, int32_t areaWidth,
                                int32_t areaHeight, int32_t photoLeft, int32_t photoTop,
                                int32_t photoRight, int32_t photoBottom, float scaleX, float scaleY,
                                uint8_t* red, uint8_t* green, uint8_t* blue, uint8_t* fourth) {
  SourceRequest r;
  r.width = width;
  r.height = height;
  r.areaWidth = areaWidth;
  r.areaHeight = areaHeight;
  r.photoLeft = photoLeft;
  r.photoTop = photoTop;
  r.photoRight = photoRight;
  r.photoBottom = photoBottom;
  r.scaleX = scaleX;
  r.scaleY = scaleY;
  r.planes[0] = red;
  r.planes[1] = green;
  r.planes[2] = blue;
  r.planes[3] = fourth;
  return r;
}

bool PlanesGiven(int32_t width, int32_t height, bool three, const uint8_t* plane0,
                 const uint8_t* plane1, const uint8_t* plane2) {
  return width > 0 && height > 0 && plane0 != nullptr &&
         (!three || (plane1 != nullptr && plane2 != nullptr));
}

void PreparePlaneSource(int16_t source, int16_t planeCount, int32_t width, int32_t height,
                        uint8_t* red, uint8_t* green, uint8_t* blue) {
  SourceRequest request;
  request.width = width;
  request.height = height;
  request.planes[0] = red;
  request.planes[1] = green;
  request.planes[2] = blue;
  PrepareEngineSource(source, planeCount == 1 ? 1 : 3, 255, request);
}

void PrepareEngineSource(int16_t source, int16_t planeCount, uint8_t fillValue,
                         const SourceRequest& request) {
  if (request.width <= 0 || request.height <= 0) return;
  const size_t n = static_cast<size_t>(request.width) * static_cast<size_t>(request.height);
  if (planeCount != 3) {
    if (source == 1 && request.planes[0] != nullptr) std::memset(request.planes[0], fillValue, n);
    return;
  }
  switch (source) {
    case 1:
      for (int i = 0; i < 3; ++i)
        if (request.planes[i] != nullptr) std::memset(request.planes[i], 0xFF, n);
      break;
    case 2:
      if (gRenderFileSource != nullptr) gRenderFileSource(request);
      break;
    case 3:
      // The host photo's rectangle, resampled into the area at the given scales; without a
      // photo the reader fails and the planes stay as they were. The reader takes right and
      // bottom just outside: the inclusive corners plus one, or the last column and row of
      // the photo would never be read.
      ReadCharBuffromPho(3, 0, request.width, request.height, request.planes[0],
                         request.planes[1], request.planes[2], request.planes[3], 0, nullptr,
                         nullptr, request.photoLeft, request.photoTop,
                         ClampToInt32(int64_t{request.photoRight} + 1),
                         ClampToInt32(int64_t{request.photoBottom} + 1), request.areaWidth,
                         request.areaHeight, request.scaleX, request.scaleY, request.width,
                         request.height);
      break;
    default:
      break;
  }
}

void BlendEffect(uint8_t* plane, const uint8_t* result, const uint8_t* mask, int32_t width,
                 const EngineArea& area, int16_t blendMode, int16_t opacity) {
  if (plane == nullptr || result == nullptr || width <= 0) return;
  // Each sample blends alone, so the rows run in bands on the shared threads.
  const int32_t left = area.left, right = area.right;
  // The first mode replaces the sample by the result: with an opacity in 0..255 the mix is the
  // operations' run mix, 16-bit lanes that give these same quotients.
  const bool replace = blendMode == 0 && effect_support::InByteRange(opacity);
  plat::ParallelFor(area.top, area.bottom, 32, [=](int32_t y0, int32_t y1) {
    for (int32_t y = y0; y < y1; ++y) {
      // A stopped render leaves the rest; its owner drops the plane.
      if (plat::Cancelled()) return;
      const size_t row = static_cast<size_t>(y) * static_cast<size_t>(width);
      if (replace) {
        for (int32_t x = left; x < right; x += effect_support::kRun) {
          const size_t i = row + static_cast<size_t>(x);
          effect_support::MixRun(plane + i, result + i, mask != nullptr ? mask + i : nullptr,
                                 opacity, std::min(right - x, effect_support::kRun));
        }
        continue;
      }
      for (int32_t x = left; x < right; ++x) {
        const size_t i = row + static_cast<size_t>(x);
        const int32_t a = mask != nullptr ? mask[i] * opacity / 255 : opacity;
        unsigned char blended = plane[i];
        X_optionRPart(&blended, static_cast<uint32_t>(blendMode + 1), plane[i], result[i]);
        plane[i] = static_cast<uint8_t>(((255 - a) * plane[i] + a * blended) / 255);
      }
    }
  });
}

}  // namespace vmkrec
