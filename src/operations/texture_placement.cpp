// Laying a loaded picture onto the image: a texture tiled over a region
// (optionally in relief), the image shrunk into a box inside a textured
// frame, and a colour stamped through an 8-bit stamp.
//
// The texture is anchored at the clamped region's corner, not the buffer's
// origin, so a texture laid over part of an image starts with its first
// texel there. A texture of no size is refused before anything changes.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "operations/effect_support.h"
#include "operations/effects.h"
#include "platform/parallel/parallel.h"
#include "platform/types/plane_view.h"
#include "raster/plane_copy.h"

using effect_support::Blend;
using effect_support::Weight;

namespace {

using IRect = plat::InclusiveRect;

constexpr int16_t kReliefMax = 10;
// The texture's colours are laid over the relief in this blend mode.
constexpr int16_t kOverReliefMode = 8;

// Calls visit(pixel index, texel index) for every pixel of the region by
// the tiling rule.
template <typename Visit>
void Tile(int32_t width, IRect r, int32_t tw, int32_t th, Visit visit) {
  for (int32_t y = r.top, k = 0; y <= r.bottom; ++y, ++k) {
    const int64_t texRow = int64_t{k % th} * tw;
    for (int32_t x = r.left, j = 0; x <= r.right; ++x, ++j)
      visit(int64_t{y} * width + x, texRow + j % tw);
  }
}

// Tile with the rows in bands on the shared threads when `banded`, visit(pixel index, texel
// index, x, y): for visits that write only their own pixel and read nothing another pixel
// writes. Each row finds its texture row afresh, so any band gives the serial walk's texels.
template <typename Visit>
void TileRows(int32_t width, IRect r, int32_t tw, int32_t th, bool banded, Visit visit) {
  const auto rows = [&visit, width, r, tw, th](int32_t first, int32_t end) {
    for (int32_t y = first; y < end; ++y) {
      const int64_t texRow = int64_t{(y - r.top) % th} * tw;
      const int64_t row = int64_t{y} * width;
      for (int32_t x = r.left, j = 0; x <= r.right; ++x, ++j) {
        if (j == tw) j = 0;
        visit(row + x, texRow + j, x, y);
      }
    }
  };
  if (banded)
    plat::ParallelFor(r.top, r.bottom + 1, effect_support::kPixelBandRows, rows);
  else
    rows(r.top, r.bottom + 1);
}

// Whether planes of `an` and `bn` bytes share any byte (null shares none).
bool Meet(const void* a, int64_t an, const void* b, int64_t bn) {
  if (a == nullptr || b == nullptr) return false;
  const auto p = reinterpret_cast<uintptr_t>(a), q = reinterpret_cast<uintptr_t>(b);
  return p < q + static_cast<uint64_t>(bn) && q < p + static_cast<uint64_t>(an);
}

// The tiled first channel of the texture in a work plane, embossed. The
// samples outside the region start at 0, so the emboss reads defined values
// at the region's rim.
template <typename FirstChannel>
plat::Block<unsigned char> EmbossedTiling(int32_t height, int32_t width, IRect r, int32_t tw,
                                          int32_t th, int16_t lightAngle, int16_t relief,
                                          FirstChannel first) {
  plat::Block<unsigned char> work(int64_t{width} * height, WorkSource());
  if (!work) return work;
  work.Clear();
  unsigned char* w = work.get();
  Tile(width, r, tw, th, [&](int64_t p, int64_t t) { w[p] = first(t); });
  if (Effects::Emboss(0, 255, w, nullptr, height, width, r.left, r.top, r.right, r.bottom,
                      std::min(relief, kReliefMax), 1, -128, lightAngle, 1) != 0)
    return {};
  return work;
}

// Darkens each target sample by the embossed texture and blends it in.
void DarkenByRelief(int16_t mode, int16_t opacity, unsigned char* target, int32_t channels,
                    const unsigned char* mask, int32_t width, IRect r, const unsigned char* work) {
  for (int32_t y = r.top; y <= r.bottom; ++y) {
    for (int32_t x = r.left; x <= r.right; ++x) {
      const int64_t p = int64_t{y} * width + x;
      const int32_t a = Weight(mask, p, opacity);
      for (int32_t c = 0; c < channels; ++c) {
        unsigned char& s = target[p * channels + c];
        s = Blend(mode, s, std::min(255, s * work[p] / 255), a);
      }
    }
  }
}

bool TextureRefused(int32_t tw, int32_t th) { return tw <= 0 || th <= 0; }

int32_t InterleavedTexture(int16_t mode, int16_t opacity, unsigned char* target,
                           const unsigned char* texture, int32_t targetChannels,
                           int32_t textureChannels, const unsigned char* mask, int32_t width,
                           IRect r, int32_t tw, int32_t th) {
  const int64_t targetBytes = int64_t{width} * (r.bottom + 1) * targetChannels;
  const bool apart =
      !Meet(texture, int64_t{tw} * th * textureChannels, target, targetBytes) &&
      !Meet(mask, int64_t{width} * (r.bottom + 1), target, targetBytes);
  TileRows(width, r, tw, th, apart, [=](int64_t p, int64_t t, int32_t, int32_t) {
    const int32_t a = Weight(mask, p, opacity);
    const unsigned char v = texture[t * textureChannels];
    for (int32_t c = 0; c < targetChannels; ++c) {
      unsigned char& s = target[p * targetChannels + c];
      s = Blend(mode, s, v, a);
    }
  });
  return 0;
}

// Planes r, g, b (and k) from the texel's values 0..3 through value(t, n), read from the
// texture blocks given (each of `texBytes`). The rows go in bands when no plane shares bytes
// with another plane, a texture block or the mask.
template <typename Value>
void PlanarTexture(int16_t mode, int16_t opacity, unsigned char* const planes[4], bool withK,
                   const unsigned char* mask, int32_t width, IRect r, int32_t tw, int32_t th,
                   const unsigned char* const* textures, int32_t textureCount, int64_t texBytes,
                   Value value) {
  const int32_t count = withK && planes[3] != nullptr ? 4 : 3;
  const int64_t planeBytes = int64_t{width} * (r.bottom + 1);
  bool apart = true;
  for (int32_t n = 0; n < count; ++n) {
    apart = apart && !Meet(mask, planeBytes, planes[n], planeBytes);
    for (int32_t k = 0; k < textureCount; ++k)
      apart = apart && !Meet(textures[k], texBytes, planes[n], planeBytes);
    for (int32_t m = n + 1; m < count; ++m)
      apart = apart && !Meet(planes[m], planeBytes, planes[n], planeBytes);
  }
  TileRows(width, r, tw, th, apart, [&](int64_t p, int64_t t, int32_t, int32_t) {
    const int32_t a = Weight(mask, p, opacity);
    for (int32_t n = 0; n < count; ++n) planes[n][p] = Blend(mode, planes[n][p], value(t, n), a);
  });
}

}  // namespace

int32_t Effects::LoadTexture(int16_t mode, int16_t opacity, unsigned char* target,
                             const unsigned char* texture, int16_t targetChannels,
                             int16_t textureChannels, const unsigned char* mask, int32_t height,
                             int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                             int32_t tw, int32_t th, int16_t lightAngle, int16_t relief) {
  if (TextureRefused(tw, th) || target == nullptr || texture == nullptr) return -1;
  if (width <= 0 || height <= 0 || targetChannels <= 0 || textureChannels <= 0) return -1;
  IRect r{x0, y0, x1, y1};
  if (!r.ClipTo(width, height)) return 0;
  if (relief <= 0)
    return InterleavedTexture(mode, opacity, target, texture, targetChannels, textureChannels,
                              mask, width, r, tw, th);
  plat::Block<unsigned char> work =
      EmbossedTiling(height, width, r, tw, th, lightAngle, relief,
                     [&](int64_t t) { return texture[t * textureChannels]; });
  if (!work) return -1;
  DarkenByRelief(mode, opacity, target, targetChannels, mask, width, r, work.get());
  return InterleavedTexture(kOverReliefMode, opacity, target, texture, targetChannels,
                            textureChannels, mask, width, r, tw, th);
}

int32_t Effects::LoadTexture(int16_t mode, int16_t opacity, unsigned char* red,
                             unsigned char* green, unsigned char* blue, unsigned char* black,
                             const unsigned char* texels, int16_t kFlag,
                             const unsigned char* mask, int32_t height, int32_t width,
                             int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t tw,
                             int32_t th, int16_t lightAngle, int16_t relief) {
  if (TextureRefused(tw, th) || texels == nullptr) return -1;
  if (red == nullptr || green == nullptr || blue == nullptr || width <= 0 || height <= 0)
    return -1;
  IRect r{x0, y0, x1, y1};
  if (!r.ClipTo(width, height)) return 0;
  unsigned char* const planes[4] = {red, green, blue, black};
  auto texel = [&](int64_t t, int32_t n) { return texels[t * 4 + n]; };
  if (relief > 0) {
    plat::Block<unsigned char> work =
        EmbossedTiling(height, width, r, tw, th, lightAngle, relief,
                       [&](int64_t t) { return texels[t * 4]; });
    if (!work) return -1;
    for (int32_t n = 0; n < 3; ++n)
      DarkenByRelief(mode, opacity, planes[n], 1, mask, width, r, work.get());
    mode = kOverReliefMode;
  }
  PlanarTexture(mode, opacity, planes, kFlag == 0, mask, width, r, tw, th, &texels, 1,
                int64_t{tw} * th * 4, texel);
  return 0;
}

int32_t Effects::LoadTexture(int16_t mode, int16_t opacity, unsigned char* target,
                             const unsigned char* textureRed, const unsigned char* textureGreen,
                             const unsigned char* textureBlue, const unsigned char* mask,
                             int32_t height, int32_t width, int32_t x0, int32_t y0, int32_t x1,
                             int32_t y1, int32_t tw, int32_t th) {
  if (TextureRefused(tw, th) || target == nullptr || width <= 0 || height <= 0) return -1;
  if (textureRed == nullptr || textureGreen == nullptr || textureBlue == nullptr) return -1;
  IRect r{x0, y0, x1, y1};
  if (!r.ClipTo(width, height)) return 0;
  Tile(width, r, tw, th, [&](int64_t p, int64_t t) {
    const int32_t grey = (textureRed[t] + textureGreen[t] + textureBlue[t]) / 3;
    target[p] = Blend(mode, target[p], grey, Weight(mask, p, opacity));
  });
  return 0;
}

int32_t Effects::LoadTexture(int16_t mode, int16_t opacity, unsigned char* red,
                             unsigned char* green, unsigned char* blue, unsigned char* black,
                             const unsigned char* textureRed, const unsigned char* textureGreen,
                             const unsigned char* textureBlue, const unsigned char* textureBlack,
                             int16_t kFlag, const unsigned char* mask, int32_t height,
                             int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                             int32_t tw, int32_t th, int16_t lightAngle, int16_t relief) {
  if (TextureRefused(tw, th) || textureRed == nullptr || textureGreen == nullptr ||
      textureBlue == nullptr)
    return -1;
  if (red == nullptr || green == nullptr || blue == nullptr || width <= 0 || height <= 0)
    return -1;
  IRect r{x0, y0, x1, y1};
  if (!r.ClipTo(width, height)) return 0;
  unsigned char* const planes[4] = {red, green, blue, black};
  const unsigned char* const texture[4] = {textureRed, textureGreen, textureBlue, textureBlack};
  const bool withK = kFlag == 0 && textureBlack != nullptr;
  if (relief > 0) {
    // The relief comes from the texture's grey.
    plat::Block<unsigned char> work =
        EmbossedTiling(height, width, r, tw, th, lightAngle, relief, [&](int64_t t) {
          return static_cast<unsigned char>((textureRed[t] + textureGreen[t] + textureBlue[t]) /
                                            3);
        });
    if (!work) return -1;
    for (int32_t n = 0; n < 3; ++n)
      DarkenByRelief(mode, opacity, planes[n], 1, mask, width, r, work.get());
    mode = kOverReliefMode;
  }
  PlanarTexture(mode, opacity, planes, withK, mask, width, r, tw, th, texture, withK ? 4 : 3,
                int64_t{tw} * th, [&](int64_t t, int32_t n) { return texture[n][t]; });
  return 0;
}

int32_t Effects::LoadInFrame(unsigned char* plane, const unsigned char* texture,
                             const unsigned char* mask, int32_t height, int32_t width,
                             int16_t mode, int32_t opacity, int32_t boxWidth, int32_t boxHeight,
                             int32_t marginX, int32_t marginY, int32_t x0, int32_t y0,
                             int32_t x1, int32_t y1, int32_t tw, int32_t th) {
  if (TextureRefused(tw, th) || plane == nullptr || texture == nullptr) return -1;
  if (width <= 0 || height <= 0) return -1;
  plat::Block<unsigned char> work(int64_t{width} * height, WorkSource());
  if (!work) return -1;
  std::memcpy(work.get(), plane, static_cast<size_t>(work.size()));
  IRect r{x0, y0, x1, y1};
  if (!r.ClipTo(width, height)) return 0;
  const float hw = static_cast<float>(r.right - r.left) * 0.5f;
  const float hh = static_cast<float>(r.bottom - r.top) * 0.5f;
  const auto left = static_cast<int32_t>(hw - hw * static_cast<float>(boxWidth) / 100);
  const auto right = static_cast<int32_t>(hw + hw * static_cast<float>(boxWidth) / 100);
  const auto top = static_cast<int32_t>(hh - hh * static_cast<float>(boxHeight) / 100);
  const auto bottom = static_cast<int32_t>(hh + hh * static_cast<float>(boxHeight) / 100);
  const auto pl = static_cast<int32_t>(int64_t{left} * marginX / 100);
  const auto pt = static_cast<int32_t>(int64_t{top} * marginY / 100);
  const auto pr = static_cast<int32_t>(right + int64_t{r.right - right} * (100 - marginX) / 100);
  const auto pb =
      static_cast<int32_t>(bottom + int64_t{r.bottom - bottom} * (100 - marginY) / 100);
  BufToBufChar_andR(0, width, height, work.get(), width, height, plane, r.left, r.top, r.right,
                    r.bottom, pl, pt, pr, pb);
  // The frame's pixels are independent unless the texture or the mask shares bytes with the
  // plane (the tiled frame of 6000 x 4000 spent about a fifth of its 0.55 s here on one
  // thread).
  const int64_t planeBytes = int64_t{width} * height;
  const bool apart = !Meet(texture, int64_t{tw} * th, plane, planeBytes) &&
                     !Meet(mask, planeBytes, plane, planeBytes);
  TileRows(width, r, tw, th, apart, [=](int64_t p, int64_t t, int32_t x, int32_t y) {
    if (left < x && x < right && top < y && y < bottom) return;
    plane[p] = Blend(mode, plane[p], texture[t], Weight(mask, p, opacity));
  });
  return 0;
}

int32_t Effects::PlaceBuf(int16_t mode, int16_t opacity, unsigned char* red,
                          unsigned char* green, unsigned char* blue, const unsigned char* mask,
                          int32_t height, int32_t width, const unsigned char* stamp,
                          int32_t stampHeight, int32_t stampWidth, int32_t left, int32_t top,
                          int16_t colourRed, int16_t colourGreen, int16_t colourBlue) {
  if (red == nullptr || green == nullptr || blue == nullptr || stamp == nullptr) return 0;
  unsigned char* const planes[3] = {red, green, blue};
  const int32_t colour[3] = {colourRed, colourGreen, colourBlue};
  const int64_t yEnd = std::min<int64_t>(int64_t{top} + stampHeight, height);
  const int64_t xEnd = std::min<int64_t>(int64_t{left} + stampWidth, width);
  for (int64_t y = std::max(0, top); y < yEnd; ++y) {
    for (int64_t x = std::max(0, left); x < xEnd; ++x) {
      const int64_t p = y * width + x;
      int32_t a = stamp[(y - top) * stampWidth + (x - left)] * opacity / 255;
      if (mask != nullptr) a = a * mask[p] / 255;
      // A weight of 0 mixes back the old sample exactly. Much of a brush's box holds no paint:
      // skipping those samples brought the painter's 29,000 strokes on 2048 x 1536 planes from 470 to
      // 330 ms (one core of the build machine).
      if (a == 0) continue;
      for (int32_t n = 0; n < 3; ++n) planes[n][p] = Blend(mode, planes[n][p], colour[n], a);
    }
  }
  return 0;
}

int32_t Effects::CropBuf(const unsigned char* /*srcRed*/, const unsigned char* /*srcGreen*/,
                         const unsigned char* /*srcBlue*/, int32_t /*height*/, int32_t /*width*/,
                         unsigned char* /*dstRed*/, unsigned char* /*dstGreen*/,
                         unsigned char* /*dstBlue*/, int32_t /*x0*/, int32_t /*y0*/,
                         int32_t /*x1*/, int32_t /*y1*/) {
  return 0;
}
