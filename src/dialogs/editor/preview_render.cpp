#include "dialogs/editor/preview_render.h"

#include <cstring>
#include <vector>

#include "engines/records/param_record.h"
#include "script/misc_render.h"

namespace {

size_t PlaneSize(int32_t w, int32_t h) { return static_cast<size_t>(w) * static_cast<size_t>(h); }

// Plane `from` of a w x h picture spread over the first fw x fh samples of plane `to` (rows
// `stride` apart), each sample taking the picture's sample under its centre (at the same
// size, a copy of its rows). Both planes hold their picture bottom row first, as the plane
// readers leave it.
void Lay(const uint8_t* from, int32_t w, int32_t h, uint8_t* to, int32_t stride, int32_t fw, int32_t fh) {
  std::vector<int32_t> column(static_cast<size_t>(fw));
  for (int32_t x = 0; x < fw; ++x)
    column[static_cast<size_t>(x)] = static_cast<int32_t>((2 * int64_t{x} + 1) * w / (2 * int64_t{fw}));
  for (int32_t y = 0; y < fh; ++y) {
    // Row y of the plane is picture row fh - 1 - y.
    const auto row = static_cast<int32_t>((2 * int64_t{fh - 1 - y} + 1) * h / (2 * int64_t{fh}));
    const uint8_t* s = from + PlaneSize(w, h - 1 - row);
    uint8_t* d = to + static_cast<size_t>(y) * static_cast<size_t>(stride);
    for (int32_t x = 0; x < fw; ++x) d[x] = s[column[static_cast<size_t>(x)]];
  }
}

}  // namespace

// Rendered on planes of the fitted size, then laid into the first fw x fh samples of the
// view's planes: on the view's planes the rows and columns the picture leaves empty took part
// in the render as picture, and a blur of the whole plane drew a dark band into its edge
// that the result has not. A picture smaller than its fitted size both ways is rendered at
// its own size and spread over the fitted samples: the plane readers step through the
// picture by a single scale with the half added, which, below one picture pixel a sample,
// gives the first row and column half a share and runs out of picture a half pixel before
// the end (a picture of one pixel filled half the preview, one of 2 x 2 quarters of unequal
// size over a black band).
bool RenderFittedPreview(const fichier& file, int16_t apply, int32_t docW, int32_t docH, int32_t fw, int32_t fh,
                         float scale, int32_t w, int32_t h, uint8_t* const planes[4], uint8_t** extra, int16_t kind) {
  if (fw <= 0 || fh <= 0 || fw > w || fh > h) return false;
  MiscRender render;
  render.SetFich(&file, nullptr, kind, 0, 0);
  render.fittedPreview = true;
  const bool enlarged = docW <= fw && docH <= fh && (docW < fw || docH < fh);
  // The planes the render takes: the picture's own size when it is enlarged, else the
  // fitted size (the caller's own planes when they are that size).
  const int32_t rw = enlarged ? docW : fw, rh = enlarged ? docH : fh;
  const bool own = rw != w || rh != h;
  const size_t n = PlaneSize(rw, rh);
  vmkrec::ScratchBytes made[4] = {vmkrec::ScratchBytes(own ? n : 1), vmkrec::ScratchBytes(own ? n : 1),
                                  vmkrec::ScratchBytes(own ? n : 1), vmkrec::ScratchBytes(own ? n : 1)};
  uint8_t* target[4] = {planes[0], planes[1], planes[2], planes[3]};
  if (own) {
    for (int c = 0; c < 4; ++c) {
      if (!made[c].valid()) return false;
      target[c] = made[c].data();
      std::memset(target[c], 0, n);
    }
  }
  const float readScale = enlarged ? 1.0f : scale;
  if (render.FillBuf(3, 0, 255, 3, apply, nullptr, 0, 0, rw, rh, 0, 0, docW - 1, docH - 1, readScale, readScale, rw,
                     rh, target[0], target[1], target[2], target[3], nullptr) != 0)
    return false;
  if (!own) {
    if (extra != nullptr) render.CollectChans(w, h, extra);
    return true;
  }
  // Outside the fitted samples the planes stay as the caller made them (empty).
  for (int c = 0; c < 4; ++c) Lay(target[c], rw, rh, planes[c], w, fw, fh);
  if (extra == nullptr) return true;
  uint8_t* channels[MiscRender::kKeptPlanes] = {};
  render.CollectChans(rw, rh, channels);
  for (int32_t c = 0; c < MiscRender::kKeptPlanes; ++c) {
    if (channels[c] == nullptr) continue;
    if (extra[c] == nullptr) {
      extra[c] = static_cast<uint8_t*>(vmkrec::NewScratch(PlaneSize(w, h)));
      if (extra[c] != nullptr) std::memset(extra[c], 0, PlaneSize(w, h));
    }
    if (extra[c] != nullptr) Lay(channels[c], rw, rh, extra[c], w, fw, fh);
    vmkrec::DeleteScratch(channels[c]);
  }
  return true;
}
