#include "dialogs/editor/preview_render.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "app/core/memory_manager.h"
#include "dialogs/editor/tune_effect_tables.h"
#include "engines/records/param_record.h"
#include "platform/memory/block.h"
#include "platform/parallel/parallel.h"
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
    case StepFailure::kFileUnreadable:
      // Which file, as the user named it, so that it can be put back or the step pointed
      // at another.
      return step + " could not read its file" + (f.file.empty() ? "" : " \"" + f.file + "\"");
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

namespace {

// The footprints' edges are placed to a 65536th of a picture pixel: the weights of a view
// sample's footprint then add up to its width in those units exactly, and a sum of 255 times
// the product of two widths stays within 64 bits for steps up to 4096.
constexpr int32_t kShareBits = 16;
constexpr int64_t kShareOne = int64_t{1} << kShareBits;
constexpr double kLargestReduction = 4096.0;

// One axis of a reduction: for each of `count` view samples, the first picture sample its
// footprint covers and the weights of the samples it covers from there (in kShareOne parts of
// a pixel), which add up to the width of the footprint inside the picture.
struct AxisShares {
  std::vector<int32_t> first;
  std::vector<int32_t> offset;  // count + 1 entries: sample i's weights are [offset[i], offset[i + 1])
  std::vector<uint32_t> weights;
  int32_t low = 0, high = 0;    // the picture samples any footprint covers, [low, high)
};

AxisShares SharesOf(double origin, double step, int32_t count, int32_t size) {
  AxisShares a;
  a.first.resize(static_cast<size_t>(count));
  a.offset.resize(static_cast<size_t>(count) + 1);
  a.weights.reserve(static_cast<size_t>(count) * static_cast<size_t>(std::ceil(step) + 1.0));
  const int64_t end = int64_t{size} * kShareOne;
  // Each edge worked out once, from its own index: a sample's right edge is its neighbour's
  // left edge, so the footprints tile the picture without gap or overlap.
  const auto edge = [&](int32_t i) {
    const double at = std::round((origin + static_cast<double>(i) * step) * static_cast<double>(kShareOne));
    return std::clamp(static_cast<int64_t>(std::clamp(at, -1e15, 1e15)), int64_t{0}, end);
  };
  a.low = size;
  int64_t e0 = edge(0);
  for (int32_t i = 0; i < count; ++i) {
    const int64_t e1 = edge(i + 1);
    a.offset[static_cast<size_t>(i)] = static_cast<int32_t>(a.weights.size());
    if (e1 <= e0) {
      // Wholly outside the picture (or thinner than a share): the sample at the edge it is at.
      const auto p = static_cast<int32_t>(std::min<int64_t>(e0 >> kShareBits, size - 1));
      a.first[static_cast<size_t>(i)] = p;
      a.weights.push_back(1);
    } else {
      const auto p0 = static_cast<int32_t>(e0 >> kShareBits), p1 = static_cast<int32_t>((e1 - 1) >> kShareBits);
      a.first[static_cast<size_t>(i)] = p0;
      for (int32_t p = p0; p <= p1; ++p)
        a.weights.push_back(static_cast<uint32_t>(std::min(e1, (int64_t{p} + 1) << kShareBits) -
                                                  std::max(e0, int64_t{p} << kShareBits)));
    }
    const int32_t first = a.first[static_cast<size_t>(i)];
    const auto n = static_cast<int32_t>(a.weights.size()) - a.offset[static_cast<size_t>(i)];
    a.low = std::min(a.low, first);
    a.high = std::max(a.high, first + n);
    e0 = e1;
  }
  a.offset[static_cast<size_t>(count)] = static_cast<int32_t>(a.weights.size());
  return a;
}

// View rows a band of the reduction takes. Measured on a 640 x 480 view at 61 % (the 3000 x
// 2000 picture's planes, four of them): 1.1 ms a plane on one thread, the rest of a zoomed
// render some 600 ms; bands this tall keep the column sums of a band's rows in the first-level
// cache for any view and still give eight threads work on a phone-sized one.
constexpr int32_t kReductionBand = 16;

// The reach's margin starts on a multiple of this many samples of the whole picture at the
// planes' scale, counted from its left and its foot (the planes' first row): the pyramid blur
// groups the samples in fours from the planes' first column and row, and a window that groups
// them as the whole does blurs as the whole does.
constexpr int32_t kWindowGrid = 4;

int32_t Rounded(double v) { return static_cast<int32_t>(std::clamp<double>(std::lround(v), INT32_MIN, INT32_MAX)); }

// The shown part of planes `from` (a plan's planes, rows from the bottom) into the first
// part.shownWidth x part.shownHeight samples of `to` (rows `stride` apart, from the bottom):
// above one picture pixel a view sample, the mean of each view sample's k x k block, or, on the
// picture's own pixels, of the pixels under it; at or below one, the picture pixel under the
// view sample's centre. False when the reduction's work memory cannot be had.
bool CutPart(const uint8_t* from, const ZoomedPlanes& plan, const ZoomedPart& part, uint8_t* to, int32_t stride) {
  const int32_t pw = plan.width, ph = plan.height, sw = part.shownWidth, sh = part.shownHeight;
  if (plan.ownPixels) {
    // Both held bottom row first: the views start at their top rows and step down through memory.
    const plat::ConstPlaneView<uint8_t> planes(from + static_cast<size_t>(ph - 1) * static_cast<size_t>(pw), pw, ph,
                                               -int64_t{pw});
    const plat::PlaneView<uint8_t> view(to + static_cast<size_t>(sh - 1) * static_cast<size_t>(stride), sw, sh,
                                        -int64_t{stride});
    return ReduceToView(planes, 1, part.left - plan.x0, part.top - plan.y0, part.step, view, 1);
  }
  // Row y of the part, from its top, is row ph - 1 - (first + y) of the planes.
  const auto planeRow = [&](int32_t fromTop) {
    return from + static_cast<size_t>(ph - 1 - std::clamp(fromTop, 0, ph - 1)) * static_cast<size_t>(pw);
  };
  if (part.step > 1.0) {
    const int32_t k = plan.k;
    for (int32_t y = 0; y < sh; ++y) {
      uint8_t* d = to + static_cast<size_t>(sh - 1 - y) * static_cast<size_t>(stride);
      for (int32_t x = 0; x < sw; ++x) {
        uint32_t sum = 0;
        for (int32_t v = 0; v < k; ++v) {
          const uint8_t* s = planeRow(plan.shownY + y * k + v);
          for (int32_t u = 0; u < k; ++u) sum += s[std::clamp(plan.shownX + x * k + u, 0, pw - 1)];
        }
        const auto n = static_cast<uint32_t>(k * k);
        d[x] = static_cast<uint8_t>((sum + n / 2) / n);
      }
    }
    return true;
  }
  const auto pixel = [&](int32_t origin, int32_t k) {
    return static_cast<int32_t>(std::floor(origin + (static_cast<double>(k) + 0.5) * part.step));
  };
  std::vector<int32_t> column(static_cast<size_t>(sw));
  for (int32_t x = 0; x < sw; ++x)
    column[static_cast<size_t>(x)] = std::clamp(pixel(part.left, x) - plan.x0, 0, pw - 1);
  for (int32_t y = 0; y < sh; ++y) {
    const uint8_t* s = planeRow(pixel(part.top, y) - plan.y0);
    uint8_t* d = to + static_cast<size_t>(sh - 1 - y) * static_cast<size_t>(stride);
    for (int32_t x = 0; x < sw; ++x) d[x] = s[column[static_cast<size_t>(x)]];
  }
  return true;
}

}  // namespace

bool ReduceToView(plat::ConstPlaneView<uint8_t> from, int32_t fromPixelStep, double left, double top, double step,
                  plat::PlaneView<uint8_t> to, int32_t toPixelStep) {
  if (!from.valid() || !to.valid() || fromPixelStep < 1 || toPixelStep < 1 || !(step >= 1.0) ||
      step > kLargestReduction || !std::isfinite(left) || !std::isfinite(top))
    return false;
  const AxisShares across = SharesOf(left, step, to.width, from.width);
  const AxisShares down = SharesOf(top, step, to.height, from.height);
  // Each band sums its rows' footprints down the columns first, then across: a view sample
  // is a function of the picture's samples alone, whichever band or thread takes it.
  const int32_t span = across.high - across.low;
  const int32_t bands = plat::BandCount(0, to.height, kReductionBand);
  plat::Block<uint64_t> sums(int64_t{span} * bands, WorkSource());
  if (!sums) return false;
  plat::ParallelFor(0, to.height, kReductionBand, [&](int32_t band, int32_t firstRow, int32_t lastRow) {
    uint64_t* column = sums.get() + static_cast<int64_t>(band) * span;
    for (int32_t y = firstRow; y < lastRow; ++y) {
      const int32_t v0 = down.first[static_cast<size_t>(y)];
      const int32_t rows = down.offset[static_cast<size_t>(y) + 1] - down.offset[static_cast<size_t>(y)];
      const uint32_t* wy = down.weights.data() + down.offset[static_cast<size_t>(y)];
      uint64_t height = 0;
      for (int32_t j = 0; j < rows; ++j) height += wy[j];
      std::fill(column, column + span, uint64_t{0});
      for (int32_t j = 0; j < rows; ++j) {
        const uint8_t* s = from.Row(v0 + j) + static_cast<int64_t>(across.low) * fromPixelStep;
        const uint64_t w = wy[j];
        for (int32_t u = 0; u < span; ++u) column[u] += w * s[static_cast<int64_t>(u) * fromPixelStep];
      }
      uint8_t* d = to.Row(y);
      for (int32_t x = 0; x < to.width; ++x) {
        const int32_t u0 = across.first[static_cast<size_t>(x)] - across.low;
        const int32_t o0 = across.offset[static_cast<size_t>(x)], o1 = across.offset[static_cast<size_t>(x) + 1];
        uint64_t sum = 0, width = 0;
        for (int32_t i = o0; i < o1; ++i) {
          sum += across.weights[static_cast<size_t>(i)] * column[u0 + (i - o0)];
          width += across.weights[static_cast<size_t>(i)];
        }
        const uint64_t n = width * height;
        d[static_cast<int64_t>(x) * toPixelStep] = static_cast<uint8_t>((sum + n / 2) / n);
      }
    }
  });
  return true;
}

ZoomedPlanes PlanZoomedPlanes(int32_t docW, int32_t docH, const ZoomedPart& part, int32_t reach) {
  ZoomedPlanes z;
  docW = std::max(docW, 1);
  docH = std::max(docH, 1);
  const bool whole = reach < 0;
  const double step = part.step > 0.0 ? part.step : 1.0;
  const bool reduced = step > 1.0;
  if (reduced) {
    z.k = FittedSupersampling(static_cast<float>(step));
    // The whole picture is rendered on planes no larger than the picture, at most the memory
    // OK's render of it takes. Where k planes' samples a view sample would be more than the
    // picture's pixels, its own pixels are the finest planes that keep to that, and OK's: the
    // record reads its lengths as OK's render reads them, and the view takes the mean of the
    // pixels under each of its samples, as OK's result scaled down shows it. (Capped at a
    // whole number of samples a view sample instead, the planes were the picture read a
    // sample every 1.05 to 1.97 of its pixels from 51 % up, one sample a view pixel: a
    // texture's particles and an edge finder's grain aliased.)
    if (whole && z.k > step) {
      z.k = 1;
      z.ownPixels = true;
    } else {
      z.sampleStep = step / z.k;
    }
  }
  z.wholeWidth = std::max(1, Rounded(docW / z.sampleStep));
  z.wholeHeight = std::max(1, Rounded(docH / z.sampleStep));
  // The part's samples in the whole: k a view sample from the sample nearest its corner, or
  // the picture pixels under the view samples' centres.
  const auto span = [&](int32_t origin, int32_t shown, int32_t size, int32_t* first, int32_t* end) {
    if (z.ownPixels) {
      *first = origin;
      *end = static_cast<int32_t>(std::ceil(origin + std::max(shown, 1) * step));
    } else if (reduced) {
      *first = Rounded(origin / z.sampleStep);
      *end = *first + std::max(shown, 1) * z.k;
    } else {
      *first = origin;
      *end = origin + static_cast<int32_t>(std::floor((std::max(shown, 1) - 0.5) * step)) + 1;
    }
    *first = std::clamp(*first, 0, size - 1);
    *end = std::clamp(*end, *first + 1, size);
  };
  int32_t cx0 = 0, cx1 = 0, cy0 = 0, cy1 = 0;
  span(part.left, part.shownWidth, z.wholeWidth, &cx0, &cx1);
  span(part.top, part.shownHeight, z.wholeHeight, &cy0, &cy1);
  int32_t x0 = 0, y0 = 0, x1 = z.wholeWidth, y1 = z.wholeHeight;
  if (!whole) {
    x0 = std::max(0, cx0 - reach);
    x0 -= x0 % kWindowGrid;
    x1 = std::min(z.wholeWidth, cx1 + reach);
    y0 = std::max(0, cy0 - reach);
    y1 = std::min(z.wholeHeight, cy1 + reach);
    // The planes' first row is the window's foot.
    const int32_t foot = z.wholeHeight - y1;
    y1 = z.wholeHeight - (foot - foot % kWindowGrid);
  }
  z.x0 = x0;
  z.y0 = y0;
  z.width = x1 - x0;
  z.height = y1 - y0;
  z.shownX = cx0 - x0;
  z.shownY = cy0 - y0;
  return z;
}

// The part is rendered as the whole picture at the planes' scale would render it there: the
// script's area is the whole picture's (MiscRender::wholeWidth), so its places and lengths are
// the whole render's, and the planes read the picture's rectangle under them. Where a layer
// has no reach the whole picture is rendered, at the part's scale but on planes no larger
// than the picture (at its own pixels where the part's scale would take more).
bool RenderZoomedPreview(const fichier& file, int16_t apply, int32_t docW, int32_t docH, const ZoomedPart& part,
                         int32_t w, int32_t h, uint8_t* const planes[4], uint8_t** extra, int16_t kind,
                         std::optional<RenderFailure>* failure) {
  if (failure != nullptr) failure->reset();
  if (docW <= 0 || docH <= 0 || part.shownWidth <= 0 || part.shownHeight <= 0 || part.shownWidth > w ||
      part.shownHeight > h || !(part.step > 0.0))
    return false;
  MiscRender render;
  render.SetFich(&file, nullptr, kind, 0, 0);
  render.fittedPreview = true;
  ZoomedPlanes plan = PlanZoomedPlanes(docW, docH, part, 0);
  render.wholeWidth = plan.wholeWidth;
  render.wholeHeight = plan.wholeHeight;
  const int32_t reach = render.SourceReach(plan.wholeWidth, plan.wholeHeight);
  if (reach != 0) {
    plan = PlanZoomedPlanes(docW, docH, part, reach);
    render.wholeWidth = plan.wholeWidth;
    render.wholeHeight = plan.wholeHeight;
  }
  // The picture's rectangle under the planes, read a plane sample every sampleStep pixels;
  // the render's planes are the script's own, cut into the view's as they are handed over.
  const double p = plan.sampleStep;
  const int32_t photoLeft = std::clamp(Rounded(plan.x0 * p), 0, docW - 1);
  const int32_t photoTop = std::clamp(Rounded(plan.y0 * p), 0, docH - 1);
  const int32_t photoRight = std::clamp(Rounded((plan.x0 + plan.width) * p) - 1, photoLeft, docW - 1);
  const int32_t photoBottom = std::clamp(Rounded((plan.y0 + plan.height) * p) - 1, photoTop, docH - 1);
  const auto read = static_cast<float>(p);
  bool cut = true;
  if (render.RenderPhoto(apply, photoLeft, photoTop, photoRight, photoBottom, read, read, plan.width, plan.height,
                         [&](uint8_t* const rendered[4]) {
                           for (int c = 0; c < 4; ++c) cut = CutPart(rendered[c], plan, part, planes[c], w) && cut;
                         }) != 0) {
    if (failure != nullptr) *failure = render.failure;
    return false;
  }
  if (!cut) return false;
  if (extra == nullptr) return true;
  uint8_t* channels[MiscRender::kKeptPlanes] = {};
  render.CollectChans(plan.width, plan.height, channels);
  for (int32_t c = 0; c < MiscRender::kKeptPlanes; ++c) {
    if (channels[c] == nullptr) continue;
    if (extra[c] == nullptr) {
      extra[c] = static_cast<uint8_t*>(vmkrec::NewScratch(PlaneSize(w, h)));
      if (extra[c] != nullptr) std::memset(extra[c], 0, PlaneSize(w, h));
    }
    if (extra[c] != nullptr) cut = CutPart(channels[c], plan, part, extra[c], w) && cut;
    vmkrec::DeleteScratch(channels[c]);
  }
  return cut;
}

std::string PreviewFileFailureWords(bool copying, int error) {
  // Short, so that the system's words still fit the band, which a narrow view cuts at its
  // right end.
  std::string words = std::string("The preview could not be rendered: its layers could not be ") +
                      (copying ? "copied" : "saved");
  if (error != 0) words += std::string(": ") + std::strerror(error);
  return words + ".";
}

std::string PreviewMemoryFailureWords() {
  return "The preview could not be rendered: there is not enough memory for it.";
}
