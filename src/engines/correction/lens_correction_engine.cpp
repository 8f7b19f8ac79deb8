#include "engines/correction/lens_correction_engine.h"

#include "platform/parallel/cancel.h"

#include <algorithm>
#include <cstring>

#include "app/core/colour_spaces.h"
#include "app/core/memory_manager.h"
#include "engines/correction/colour_matrix_engine.h"
#include "engines/correction/warp_frame_maths.h"
#include "engines/records/engine_frame.h"
#include "operations/effect_support.h"
#include "operations/effects.h"
#include "platform/memory/block.h"
#include "platform/parallel/byte_passes.h"
#include "platform/parallel/cancel.h"
#include "platform/parallel/parallel.h"
#include "raster/displacement_resample.h"
#include "raster/quad_mapping.h"

namespace {

void FillTable(int32_t offset, uint8_t* table) {
  for (int32_t i = 0; i < 256; ++i) table[i] = static_cast<uint8_t>(std::clamp(i + offset, 0, 255));
}

// Truncation of v + 0.5; absurd records can push a corner out of any integer range, where the
// conversion would be undefined, so it is held to +-2^30 (NaN to 0).
int32_t Round(float v) {
  const float r = v + 0.5f;
  if (!(r == r)) return 0;
  return static_cast<int32_t>(std::clamp(r, -1073741824.0f, 1073741824.0f));
}

// A node of one set as (x, y).
struct Node {
  float x, y;
};
Node At(const TCWrapNodes& set, const TCWrap& f, int32_t i, int32_t j) {
  const int32_t k = i + j * (f.columns + 1);
  return {set.x[k], set.y[k]};
}

uint8_t Blend(int16_t blendMode, int32_t a, uint8_t value, int32_t processed) {
  unsigned char r = value;  // a mode outside 0..11 keeps the value
  X_optionRPart(&r, static_cast<uint32_t>(blendMode + 1), value, processed);
  return static_cast<uint8_t>(((255 - a) * value + a * r) / 255);
}

// The quad kernels walk a lattice as fine as the quad's diagonal, so their time grows with the
// square of its size. A quad wholly outside the plane writes nothing and is skipped; corners
// of an absurd record are held to a band of twice the plane's size around it.
int32_t Hold(int32_t v, int32_t size) { return std::clamp(v, -2 * size, 3 * size); }
bool Outside(const int32_t* b, int32_t width, int32_t height) {
  const int32_t minX = std::min({b[0], b[2], b[4], b[6]}), maxX = std::max({b[0], b[2], b[4], b[6]});
  const int32_t minY = std::min({b[1], b[3], b[5], b[7]}), maxY = std::max({b[1], b[3], b[5], b[7]});
  return maxX < 0 || maxY < 0 || minX >= width || minY >= height;
}

}  // namespace

void CompuBrightBalanceTable(int16_t balance, uint8_t* table) { FillTable(2 * balance - 200, table); }
void CompuBrightChannelTable(int16_t bright, uint8_t* table) { FillTable(2 * bright, table); }

void X_CompuBright(int32_t height, int32_t width, int32_t left, int32_t top, int32_t right,
                   int32_t bottom, uint8_t* red, uint8_t* green, uint8_t* blue, int16_t brightR,
                   int16_t brightG, int16_t brightB, int16_t balance) {
  if (height <= 0 || width <= 0 || red == nullptr || green == nullptr || blue == nullptr) return;
  plat::Block<uint8_t> buffer(static_cast<int64_t>(height) * width, WorkSource());
  if (!buffer) return;
  {
    ColMatPar defaults;
    Init_ColMatPar(&defaults);
    MiscColMat fallOff;
    if (fallOff.record() == nullptr) return;
    fallOff.SetColMatPar(&defaults);
    fallOff.FillBuf(1, 0, 255, 1, 1, 0, left, top, right, bottom, width, height, 0, 0, width - 1,
                    height - 1, 1.0f, 1.0f, width, height, buffer.get(), nullptr, nullptr, nullptr,
                    nullptr);
  }
  uint8_t table[256];
  CompuBrightBalanceTable(balance, table);
  Effects::Etch(0, 255, buffer.get(), height, width, left, top, right, bottom, 1, nullptr, table);
  uint8_t* channel[3] = {red, green, blue};
  const int16_t bright[3] = {brightR, brightG, brightB};
  for (int32_t c = 0; c < 3; ++c) {
    CompuBrightChannelTable(bright[c], table);
    Effects::Etch(0, 255, channel[c], height, width, left, top, right, bottom, 1, buffer.get(),
                  table);
  }
}

void MiscZondrac::SetZondracPar(const ZondracPar* record) {
  if (par_.valid() && record != nullptr) Copy_ZondracPar(record, par_.get());
}

void MiscZondrac::GetZondracPar(ZondracPar* record) const {
  if (par_.valid() && record != nullptr) Copy_ZondracPar(par_.get(), record);
}

int32_t MiscZondrac::PrepareGrid(TCWrap* grid, int32_t frameWidth, int32_t frameHeight,
                                 int32_t imageWidth, int32_t imageHeight, int32_t cells,
                                 int32_t lastRow) {
  if (grid == nullptr || !par_.valid()) return -1;
  const float fx = frameWidth != 0 ? static_cast<float>(imageWidth) / frameWidth : 0.0f;
  const float fy = frameHeight != 0 ? static_cast<float>(imageHeight) / frameHeight : 0.0f;
  InitTCWrap(4, frameWidth, frameHeight, imageWidth, imageHeight, 72.0f, cells, cells, 0, grid);
  grid->resolution = 72.0f;
  plat::Block<TCWrap> scratch(1, WorkSource());
  if (!scratch) return -1;
  const int32_t* w = par_->w;
  CopyTCWrap(0, grid, scratch.get());
  float minX = 0, minY = 0, maxX = 0, maxY = 0, cx = 0, cy = 0;
  MinMaxCenterGridTCWrap(grid, 1, &minX, &minY, &maxX, &maxY, &cx, &cy);
  // Summed as floats: a size word near the int limit must not overflow.
  const float s = static_cast<float>(w[kZndSize]) + 100.0f;
  SizeGridTCWrap(scratch.get(), grid, 1, 0, 0, cx, cy, 100.0f, 100.0f, s, s);
  CopyTCWrap(0, grid, scratch.get());
  RotaGridTCWrap(scratch.get(), grid, 1, 0, 0, cx, cy, 0.0f,
                 static_cast<float>(w[kZndRotation] * 3.141592654 / 180));
  ZondracTCWrap(grid, 1, 0, 0, 1, w[kZndDistortH] * 6.0f * fx, w[kZndDistortV] * 6.0f * fy);
  const int32_t n = cells, m = lastRow;
  const float bottom = static_cast<float>(w[kZndPerspBottom]);
  const float top = static_cast<float>(w[kZndPerspTop]);
  const float left = static_cast<float>(w[kZndPerspLeft]);
  const float right = static_cast<float>(w[kZndPerspRight]);
  // The frame's y axis points up, so a corner pulled down moves by a positive dy.
  const struct {
    int32_t column, row;
    float dx, dy;
  } moves[8] = {
      {0, 0, fx * top, 0},     {n, 0, -fx * top, 0},     {0, m, -fx * bottom, 0},
      {n, m, fx * bottom, 0},  {0, 0, 0, -fy * left},    {0, m, 0, fy * left},
      {n, 0, 0, fy * right},   {n, m, 0, -fy * right},
  };
  for (const auto& mv : moves)
    PerspGridTCWrap(grid, 1, 0, 0, 0, 1.0f, 1.0f, mv.column, mv.row, mv.dx, mv.dy);
  return 0;
}

int32_t MiscZondrac::ValidZondrac(int16_t makeMaps, uint32_t* const* xMap, uint32_t* const* yMap,
                                  int32_t width, int32_t height, int32_t imageWidth,
                                  int32_t imageHeight, int32_t windowX0, int32_t windowY0,
                                  int32_t windowX1, int32_t windowY1, int32_t regionWidth,
                                  int32_t regionHeight, const uint8_t* srcR, const uint8_t* srcG,
                                  const uint8_t* srcB, int32_t destWidth, int32_t destHeight,
                                  uint8_t* dstR, uint8_t* dstG, uint8_t* dstB) {
  return LayCells(nullptr, makeMaps, xMap, yMap, width, height, imageWidth, imageHeight,
                  windowX0, windowY0, windowX1, windowY1, regionWidth, regionHeight, srcR, srcG,
                  srcB, destWidth, destHeight, dstR, dstG, dstB);
}

int32_t MiscZondrac::LayCells(bool* neutral, int16_t makeMaps, uint32_t* const* xMap,
                              uint32_t* const* yMap, int32_t width, int32_t height,
                              int32_t imageWidth, int32_t imageHeight, int32_t windowX0,
                              int32_t windowY0, int32_t windowX1, int32_t windowY1,
                              int32_t regionWidth, int32_t regionHeight, const uint8_t* srcR,
                              const uint8_t* srcG, const uint8_t* srcB, int32_t destWidth,
                              int32_t destHeight, uint8_t* dstR, uint8_t* dstG, uint8_t* dstB) {
  if (neutral != nullptr) *neutral = false;
  // Every one of these would divide by zero below: nothing is warped.
  if (imageWidth <= 0 || imageHeight <= 0 || windowX1 == windowX0 || windowY1 == windowY0 ||
      regionWidth <= 0 || regionHeight <= 0 || !par_.valid())
    return 0;
  if (makeMaps != 0 ? (xMap == nullptr || yMap == nullptr)
                    : (srcR == nullptr || srcG == nullptr || srcB == nullptr || dstR == nullptr ||
                       dstG == nullptr || dstB == nullptr))
    return 0;
  plat::Block<TCWrap> frame(1, WorkSource());
  if (!frame) return 0;
  frame.Clear();
  if (PrepareGrid(frame.get(), imageWidth, imageHeight, imageWidth, imageHeight, 40, 40) != 0)
    return 0;
  const TCWrap& f = *frame.get();
  // A float share: 100 - m of a word near the int limit would overflow.
  const float m = par_->w[kZndMutateOn] != 0 ? static_cast<float>(par_->w[kZndMutate]) : 0.0f;
  const float rw = static_cast<float>(regionWidth), rh = static_cast<float>(regionHeight);
  const float iw = static_cast<float>(imageWidth), ih = static_cast<float>(imageHeight);
  const float ww = static_cast<float>(windowX1 - windowX0);
  const float wh = static_cast<float>(windowY1 - windowY0);
  const int32_t corner[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  // The cells' quads are gathered first and laid together, in their order, in bands of
  // destination rows; without room for the list each is laid as it comes.
  plat::Block<QuadPair> pairs(static_cast<int64_t>(f.rows) * f.columns, WorkSource());
  if (neutral != nullptr && !pairs) {
    // The quads go straight into the maps, over their neutral entries.
    FillNeutral(xMap, yMap, width, height);
    *neutral = true;
  }
  int64_t count = 0;
  for (int32_t j = 0; j < f.rows; ++j) {
    // A stale preview stops between rows of cells; its owner drops it.
    if (plat::Cancelled()) return 0;
    for (int32_t i = 0; i < f.columns; ++i) {
      int32_t a[8], b[8];
      for (int32_t q = 0; q < 4; ++q) {
        const Node reg = At(f.set1, f, i + corner[q][0], j + corner[q][1]);
        const Node cor = At(f.set2, f, i + corner[q][0], j + corner[q][1]);
        a[2 * q] = Round(rw * reg.x / iw);
        a[2 * q + 1] = regionHeight - Round(rh * reg.y / ih) - 1;
        const float px = (m * cor.x + (100.0f - m) * reg.x) / 100;
        const float py = (m * cor.y + (100.0f - m) * reg.y) / 100;
        b[2 * q] = Hold(Round((px - windowX0) * rw / ww), destWidth);
        // Rows counted from the region's bottom, as the sources' are: counted from the bottom
        // of planes taller than the region (a preview fitted into its view, a picture fitted
        // into the render file) they put the picture's lower half where its upper half
        // belongs, over the neutral copy of the lower half. The render's region is its planes.
        b[2 * q + 1] = Hold(regionHeight - Round((py - windowY0) * rh / wh) - 1, destHeight);
      }
      if (Outside(b, destWidth, destHeight)) continue;
      if (pairs) {
        std::copy(a, a + 8, pairs[count].a);
        std::copy(b, b + 8, pairs[count].b);
        ++count;
      } else if (makeMaps == 0) {
        QuadBufRGBToQuadBufRGB(height, width, srcR, srcG, srcB, 0, nullptr, destHeight, destWidth,
                               dstR, dstG, dstB, a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7],
                               b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7]);
      } else {
        QuadToQuadDisRea(height, width, xMap, yMap, a[0], a[1], a[2], a[3], a[4], a[5], a[6],
                         a[7], b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7]);
      }
    }
  }
  if (plat::Cancelled()) return 0;
  if (makeMaps == 0) {
    LayQuadPairsRGB(pairs.get(), count, height, width, srcR, srcG, srcB, destHeight, destWidth,
                    dstR, dstG, dstB);
  } else if (neutral != nullptr && !*neutral) {
    LayQuadPairMapsOnNeutral(pairs.get(), count, height, width, xMap, yMap);
    *neutral = true;
  } else {
    LayQuadPairMaps(pairs.get(), count, height, width, xMap, yMap);
  }
  return 0;
}

void MiscZondrac::FillNeutral(uint32_t* const* xMap, uint32_t* const* yMap, int32_t width,
                              int32_t height) {
  plat::ParallelFor(0, height, 16, [=](int32_t first, int32_t last) {
    for (int32_t y = first; y < last; ++y) {
      std::fill(xMap[y], xMap[y] + width, kDisplacementNeutral);
      std::fill(yMap[y], yMap[y] + width, kDisplacementNeutral);
    }
  });
}

bool MiscZondrac::Warp(int16_t makeMaps, int32_t width, int32_t height, int32_t regionWidth,
                       int32_t regionHeight, int32_t windowX0, int32_t windowY0,
                       int32_t windowX1, int32_t windowY1, uint8_t* const* src,
                       uint8_t* const* dst, uint8_t* extraSrc, uint8_t* extraDst) {
  // A geometry that would divide by zero warps nothing: the copies blend back unwarped.
  if (imageWidth_ <= 0 || imageHeight_ <= 0 || windowX1 == windowX0 || windowY1 == windowY0 ||
      regionWidth <= 0 || regionHeight <= 0)
    return false;
  const int32_t* w = par_->w;
  if (makeMaps == 0) {
    ValidZondrac(0, nullptr, nullptr, width, height, imageWidth_, imageHeight_, windowX0,
                 windowY0, windowX1, windowY1, regionWidth, regionHeight, src[0], src[1], src[2],
                 width, height, dst[0], dst[1], dst[2]);
    if (extraSrc != nullptr)
      ValidZondrac(0, nullptr, nullptr, width, height, imageWidth_, imageHeight_, windowX0,
                   windowY0, windowX1, windowY1, regionWidth, regionHeight, extraSrc, extraSrc,
                   extraSrc, width, height, extraDst, extraDst, extraDst);
    return false;
  }
  // The maps' rows are a few cache lines longer than the picture's, so that a lattice column,
  // which writes one entry in each of many rows, does not find every row in one set of the
  // cache (rows of 2048 entries are 8 KB apart). The pitch is no part of the result.
  // Measured on 2048 x 1536 at one thread: the cells laid in 27 ms instead of 32.
  const int64_t pitch = static_cast<int64_t>(width) + 16;
  const int64_t n = pitch * height + 512;
  plat::Block<uint32_t> maps(2 * n, WorkSource());
  plat::Block<uint32_t*> rows(2 * static_cast<int64_t>(height), WorkSource());
  if (!maps || !rows) return false;
  uint32_t* values = maps.get();
  uint32_t** xRows = rows.get();
  uint32_t** yRows = rows.get() + height;
  for (int32_t y = 0; y < height; ++y) {
    xRows[y] = values + static_cast<int64_t>(y) * pitch;
    yRows[y] = values + n + static_cast<int64_t>(y) * pitch;
  }
  // The maps are set to neutral as the cells are laid, a band of rows at a time; a frame that
  // lays nothing leaves that to here.
  bool neutral = false;
  LayCells(&neutral, 1, xRows, yRows, width, height, imageWidth_, imageHeight_, windowX0,
           windowY0, windowX1, windowY1, regionWidth, regionHeight, src[0], src[1], src[2], width,
           height, dst[0], dst[1], dst[2]);
  if (plat::Cancelled()) return false;
  if (!neutral) FillNeutral(xRows, yRows, width, height);
  // The fall-off is compensated on this path only; the direct quad path never had it.
  if (w[kZndVignetteOn] != 0 &&
      (w[kZndBrightness] != 0 || w[kZndBrightness + 1] != 0 || w[kZndBrightness + 2] != 0))
    X_CompuBright(height, width, 0, 0, regionWidth, regionHeight, src[0], src[1], src[2],
                  static_cast<int16_t>(w[kZndBrightness]),
                  static_cast<int16_t>(w[kZndBrightness + 1]),
                  static_cast<int16_t>(w[kZndBrightness + 2]), static_cast<int16_t>(w[kZndBalance]));
  const int32_t* k = &w[kZndFringe];
  // 100, 100, 100 scales nothing, so it takes the plain resampling.
  if (w[kZndFringeOn] != 0 && !(k[0] == 100 && k[1] == 100 && k[2] == 100))
    ComputeBufRGBInterDisAtXYfring(height, width, src[0], src[1], src[2], extraSrc, dst[0],
                                   dst[1], dst[2], extraDst, xRows, yRows, k[0], k[1], k[2]);
  else
    ComputeBufRGBInterDisAtXY(height, width, src[0], src[1], src[2], extraSrc, dst[0], dst[1],
                              dst[2], extraDst, xRows, yRows);
  // The pull writes every sample of the three planes, and of the extra one when there is one.
  return true;
}

int32_t MiscZondrac::FillBuf(int16_t planes, int16_t blendMode, int16_t strength, int16_t source,
                             int16_t makeMaps, int16_t apply, int32_t left, int32_t top,
                             int32_t right, int32_t bottom, int32_t imageWidth,
                             int32_t imageHeight, int32_t windowX0, int32_t windowY0,
                             int32_t windowX1, int32_t windowY1, float scaleX, float scaleY,
                             int32_t width, int32_t height, uint8_t* red, uint8_t* green,
                             uint8_t* blue, uint8_t* fourth, uint8_t* extra,
                             const uint8_t* selection, const uint8_t* mask) {
  const int16_t count = planes == 3 ? 3 : 1;
  imageWidth_ = imageWidth;
  imageHeight_ = imageHeight;
  if (!par_.valid() || width <= 0 || height <= 0 || red == nullptr) return 0;
  if (count == 3 && (green == nullptr || blue == nullptr)) return 0;
  const vmkrec::EngineArea area = vmkrec::ClampArea(left, top, right, bottom, width, height, false);
  const int32_t regionWidth = area.right - area.left;
  const int32_t regionHeight = area.bottom - area.top;
  uint8_t* plane[3] = {red, count == 3 ? green : red, count == 3 ? blue : red};

  // The caller's planes take the window; with apply 2 the preview shows the whole image.
  vmkrec::SourceRequest request;
  request.width = width;
  request.height = height;
  request.areaWidth = regionWidth;
  request.areaHeight = regionHeight;
  const bool whole = source == 3 && apply == 2;
  request.photoLeft = whole ? 0 : windowX0;
  request.photoTop = whole ? 0 : windowY0;
  request.photoRight = whole ? imageWidth - 1 : windowX1;
  request.photoBottom = whole ? imageHeight - 1 : windowY1;
  request.scaleX = scaleX;
  request.scaleY = scaleY;
  request.planes[0] = red;
  request.planes[1] = green;
  request.planes[2] = blue;
  request.planes[3] = fourth;
  vmkrec::PrepareEngineSource(source, count, 255, request);

  const int64_t size = static_cast<int64_t>(width) * height;
  const int64_t padded = static_cast<int64_t>(width + 1) * (height + 1);
  // The warp reads its source copies until the blend, which reads the caller's planes and the
  // warped ones: where nothing writes the source copies (no host image read into them, no
  // fall-off compensated in them) they would equal the caller's planes all along, and the warp
  // reads those planes themselves. On the maps path the pull writes every sample of the
  // warped planes, so they are copied from the caller's only when it has not run.
  const int32_t* words = par_->w;
  const bool compensates =
      apply == 1 && makeMaps != 0 && words[kZndVignetteOn] != 0 &&
      (words[kZndBrightness] != 0 || words[kZndBrightness + 1] != 0 || words[kZndBrightness + 2] != 0);
  const bool ownSource = (source == 3 && count == 3) || compensates;
  const bool pulled = apply == 1 && makeMaps != 0;
  plat::Block<uint8_t> work((ownSource ? 6 : 3) * padded, WorkSource());
  if (!work) return 0;
  uint8_t* src[3];
  uint8_t* dst[3];
  for (int32_t c = 0; c < 3; ++c) {
    dst[c] = work.get() + c * padded;
    src[c] = ownSource ? work.get() + (3 + c) * padded : plane[c];
    if (ownSource) plat::CopyBytes(src[c], plane[c], size);
    if (!pulled) plat::CopyBytes(dst[c], plane[c], size);
  }
  plat::Block<uint8_t> extraWork(extra != nullptr ? 2 * padded : 0, WorkSource());
  if (extra != nullptr && !extraWork) return 0;
  uint8_t* extraSrc = extra != nullptr ? extraWork.get() : nullptr;
  uint8_t* extraDst = extra != nullptr ? extraWork.get() + padded : nullptr;
  if (extra != nullptr) {
    plat::CopyBytes(extraSrc, extra, size);
    if (!pulled) plat::CopyBytes(extraDst, extra, size);
  }
  if (source == 3 && count == 3) {
    // The source copies are the whole host image scaled to the region, at
    // the step the remapping reads them with (region / image): the window's
    // own step fitted only the whole window, and a zoomed preview showed a
    // corner of the picture in place of its window.
    vmkrec::SourceRequest whole = request;
    whole.photoLeft = 0;
    whole.photoTop = 0;
    whole.photoRight = imageWidth - 1;
    whole.photoBottom = imageHeight - 1;
    if (regionWidth > 0 && regionHeight > 0) {
      whole.scaleX = static_cast<float>(imageWidth) / static_cast<float>(regionWidth);
      whole.scaleY = static_cast<float>(imageHeight) / static_cast<float>(regionHeight);
    }
    whole.planes[0] = src[0];
    whole.planes[1] = src[1];
    whole.planes[2] = src[2];
    whole.planes[3] = nullptr;
    vmkrec::PrepareEngineSource(3, 3, 255, whole);
  }

  const bool warpedWhole = apply == 1 && Warp(makeMaps, width, height, regionWidth,
                                              regionHeight, windowX0, windowY0, windowX1,
                                              windowY1, src, dst, extraSrc, extraDst);
  // Stopped, the caller's planes are left as the source read made them.
  if (plat::Cancelled()) return 0;
  if (pulled && !warpedWhole) {
    // The maps were never pulled through (a geometry without scale, no room for the maps):
    // the warped copies are the planes unwarped, as on every other path.
    for (int32_t c = 0; c < 3; ++c) plat::CopyBytes(dst[c], plane[c], size);
    if (extra != nullptr) plat::CopyBytes(extraDst, extra, size);
  }

  const bool bySelection = par_->w[kZndSelection] == 1;
  // Every pixel of the blend reads and writes only its own samples: bands of rows.
  // Replacement of three planes at a strength of 0..255: each run's weights first, then the
  // mix in 16-bit lanes (Blend of mode 0 is that mix).
  const bool lanes = blendMode == 0 && count == 3 && strength >= 0 && strength <= 255;
  plat::ParallelFor(area.top, area.bottom, 16, [&](int32_t first, int32_t last) {
    for (int32_t y = first; y < last && lanes; ++y) {
      for (int32_t x = area.left; x < area.right; x += effect_support::kRun) {
        const int32_t n = std::min(effect_support::kRun, area.right - x);
        const int64_t i = static_cast<int64_t>(y) * width + x;
        uint8_t weight[effect_support::kRun];
        for (int32_t k = 0; k < n; ++k) {
          int32_t a = strength;
          if (mask != nullptr) a = mask[i + k] * a / 255;
          if (bySelection && selection != nullptr) a = selection[i + k] * a / 255;
          weight[k] = static_cast<uint8_t>(a);
        }
        for (int32_t c = 0; c < 3; ++c)
          effect_support::MixRun(plane[c] + i, dst[c] + i, weight, 255, n);
        if (extra != nullptr) std::memcpy(extra + i, extraDst + i, static_cast<size_t>(n));
      }
    }
    for (int32_t y = first; y < last && !lanes; ++y) {
      for (int32_t x = area.left; x < area.right; ++x) {
        const int64_t i = static_cast<int64_t>(y) * width + x;
        int32_t a = strength;
        if (mask != nullptr) a = mask[i] * a / 255;
        // No selection plane means everything is selected.
        if (bySelection && selection != nullptr) a = selection[i] * a / 255;
        if (count == 1) {
          const int32_t value = (dst[0][i] + dst[1][i] + dst[2][i]) / 3;
          red[i] = Blend(blendMode, a, red[i], value);
        } else {
          for (int32_t c = 0; c < 3; ++c) plane[c][i] = Blend(blendMode, a, plane[c][i], dst[c][i]);
        }
        if (extra != nullptr) extra[i] = extraDst[i];
      }
    }
  });
  return 0;
}
