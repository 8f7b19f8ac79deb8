#include "dialogs/editor/preview_render.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "dialogs/editor/tune_effect_tables.h"
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

// Plane `from` of rw x rh reduced into the first fw x fh samples of plane `to` (rows `stride`
// apart), each sample the rounded mean of the samples its share of the plane covers (rw / fw
// columns by rh / fh rows, the shares' ends truncated). Both hold their picture bottom row
// first.
void Reduce(const uint8_t* from, int32_t rw, int32_t rh, uint8_t* to, int32_t stride, int32_t fw, int32_t fh) {
  std::vector<int32_t> column(static_cast<size_t>(fw) + 1);
  for (int32_t x = 0; x <= fw; ++x) column[static_cast<size_t>(x)] = static_cast<int32_t>(int64_t{x} * rw / fw);
  for (int32_t y = 0; y < fh; ++y) {
    const auto y0 = static_cast<int32_t>(int64_t{y} * rh / fh);
    const auto y1 = std::max(y0 + 1, static_cast<int32_t>(int64_t{y + 1} * rh / fh));
    uint8_t* d = to + static_cast<size_t>(y) * static_cast<size_t>(stride);
    for (int32_t x = 0; x < fw; ++x) {
      const int32_t x0 = column[static_cast<size_t>(x)];
      const int32_t x1 = std::max(x0 + 1, column[static_cast<size_t>(x) + 1]);
      uint32_t sum = 0;
      for (int32_t v = y0; v < y1; ++v) {
        const uint8_t* s = from + PlaneSize(rw, v);
        for (int32_t u = x0; u < x1; ++u) sum += s[u];
      }
      const auto n = static_cast<uint32_t>((y1 - y0) * (x1 - x0));
      d[x] = static_cast<uint8_t>((sum + n / 2) / n);
    }
  }
}

}  // namespace

std::string RenderFailureWords(const RenderFailure& f) {
  const std::string name = tuneeff::OperationName(f.effect);
  const std::string step = "operation " + std::to_string(f.operation) + " (" +
                           (name.empty() ? "effect " + std::to_string(f.effect) : name) +
                           ") of layer " + std::to_string(f.layer);
  switch (f.why) {
    case StepFailure::kNoMemory: return step + " could not get the memory it needs";
    case StepFailure::kFileUnreadable: return step + " could not read its file";
    case StepFailure::kFileUnwritable: return step + " could not write its file in the support folder";
    case StepFailure::kFailed: break;
  }
  return step + " could not be rendered";
}

std::string PreviewFailureWords(const std::optional<RenderFailure>& failure) {
  if (!failure.has_value()) return "The preview could not be rendered.";
  return "The preview could not be rendered: " + RenderFailureWords(*failure) + ".";
}

int32_t FittedSupersampling(float scale) {
  return std::clamp(static_cast<int32_t>(std::ceil(scale)), 1, kFittedSupersamplingLimit);
}

// Rendered on planes of the fitted size, then laid into the first fw x fh samples of the
// view's planes: on the view's planes the rows and columns the picture leaves empty took part
// in the render as picture, and a blur of the whole plane drew a dark band into its edge
// that the result has not. A picture smaller than its fitted size both ways is rendered at
// its own size and spread over the fitted samples: the plane readers step through the
// picture by a single scale with the half added, which, below one picture pixel a sample,
// gives the first row and column half a share and runs out of picture a half pixel before
// the end (a picture of one pixel filled half the preview, one of 2 x 2 quarters of unequal
// size over a black band).
//
// A picture larger than its fitted size is rendered on planes a few times the fitted size
// each way and each sample of the view is the mean of its block. A view sample shows the
// result scaled down, which is the mean of the effect over the picture's pixels under it, not
// the effect of the one pixel the reader took there: a posterize over a grainy photograph
// gives each picture pixel one of its levels, and where the grain straddles a level the
// result scaled down shows their mixture (brown) while the effect of single samples shows one
// of the levels (peach) over whole regions. Lengths the layers draw at the preview's scale
// are drawn at the planes' scale.
bool RenderFittedPreview(const fichier& file, int16_t apply, int32_t docW, int32_t docH, int32_t fw, int32_t fh,
                         float scale, int32_t w, int32_t h, uint8_t* const planes[4], uint8_t** extra, int16_t kind,
                         std::optional<RenderFailure>* failure) {
  if (failure != nullptr) failure->reset();
  if (fw <= 0 || fh <= 0 || fw > w || fh > h) return false;
  MiscRender render;
  render.SetFich(&file, nullptr, kind, 0, 0);
  render.fittedPreview = true;
  const bool enlarged = docW <= fw && docH <= fh && (docW < fw || docH < fh);
  const int32_t k = enlarged ? 1 : FittedSupersampling(scale);
  // The planes the render takes: the picture's own size when it is enlarged, else the fitted
  // size (the caller's own planes when they are that size), or, supersampled, the whole picture
  // read at the finer of the two sides' scales at k times the fitted size: the planes' sides
  // are what the render's lengths are reckoned on (a wave's period is a whole number of their
  // rows), and the fitted size cut to whole samples on one side would leave them a sample or
  // two short of the picture's shape there.
  const float fine = enlarged || k == 1 ? scale
                                        : std::min(static_cast<float>(docW) / static_cast<float>(fw * k),
                                                   static_cast<float>(docH) / static_cast<float>(fh * k));
  const auto over = [&](int32_t side, int32_t fitted) {
    return std::max(fitted * k, static_cast<int32_t>(static_cast<float>(side) / fine + 0.5f));
  };
  const int32_t rw = enlarged ? docW : k > 1 ? over(docW, fw) : fw;
  const int32_t rh = enlarged ? docH : k > 1 ? over(docH, fh) : fh;
  const bool own = k > 1 || rw != w || rh != h;
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
  const float readScale = enlarged ? 1.0f : fine;
  if (render.FillBuf(3, 0, 255, 3, apply, nullptr, 0, 0, rw, rh, 0, 0, docW - 1, docH - 1, readScale, readScale, rw,
                     rh, target[0], target[1], target[2], target[3], nullptr) != 0) {
    if (failure != nullptr) *failure = render.failure;
    return false;
  }
  if (!own) {
    if (extra != nullptr) render.CollectChans(w, h, extra);
    return true;
  }
  // Outside the fitted samples the planes stay as the caller made them (empty).
  const auto fit = [&](const uint8_t* from, uint8_t* to) {
    if (k > 1)
      Reduce(from, rw, rh, to, w, fw, fh);
    else
      Lay(from, rw, rh, to, w, fw, fh);
  };
  for (int c = 0; c < 4; ++c) fit(target[c], planes[c]);
  if (extra == nullptr) return true;
  uint8_t* channels[MiscRender::kKeptPlanes] = {};
  render.CollectChans(rw, rh, channels);
  for (int32_t c = 0; c < MiscRender::kKeptPlanes; ++c) {
    if (channels[c] == nullptr) continue;
    if (extra[c] == nullptr) {
      extra[c] = static_cast<uint8_t*>(vmkrec::NewScratch(PlaneSize(w, h)));
      if (extra[c] != nullptr) std::memset(extra[c], 0, PlaneSize(w, h));
    }
    if (extra[c] != nullptr) fit(channels[c], extra[c]);
    vmkrec::DeleteScratch(channels[c]);
  }
  return true;
}
