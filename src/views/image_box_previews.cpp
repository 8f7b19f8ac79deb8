// The image box's effect previews: the record copies, their setters and
// getters, the layout of a preview in the box, and the preview routines that
// run an effect's engine over work planes of the view's size and load the
// result into the display buffer.
//
// Layout: the whole-image rule (mode 2) fits the picture W x H into the view;
// the pan rule fits the window of the picture that the pan rectangle shows
// and gives the scale (picture pixels per display pixel) the engine renders
// at. A zoomed view (SetShownZoom) shows the pan rectangle from its corner at
// its zoom instead, filling the view wherever the picture reaches: fitted,
// a pan rectangle of another shape than the view showed bands, and one whose
// size was not the view's at the zoom showed another zoom. The displayed
// image is centred: origin = (view size - effect size) / 2.
//
// On a window of backing scale k the box's own previews render at k times the
// laid-out sizes (and 1/k the scale) into the fine display; the layout the
// box commits stays in view pixels. Aside previews render at the same
// density: the window that takes one shows it on its own view of that
// window, which wants the device pixels too.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>

#include "app/core/memory_manager.h"
#include "engines/correction/colour_correction.h"
#include "engines/correction/colour_matrix.h"
#include "engines/correction/grid_record.h"
#include "engines/correction/lens_correction.h"
#include "engines/correction/resize_record.h"
#include "engines/patterns/border_record.h"
#include "engines/patterns/cookie_cutter_record.h"
#include "engines/patterns/fractal_record.h"
#include "engines/patterns/image_combination_record.h"
#include "engines/patterns/shape_record.h"
#include "engines/patterns/weave_plaid_record.h"
#include "engines/records/param_record.h"
#include "engines/tessellation/photo_repeat_record.h"
#include "engines/tessellation/tessellation_record.h"
#include "paths/path_list.h"
#include "platform/hostapi/live_log.h"
#include "views/box_memory.h"
#include "views/image_box.h"
#include "views/preview_job.h"
#include "views/view_geometry.h"

using vmkviews::FillOrder;
using vmkviews::PreviewCall;

namespace {

// A preview whose work memory cannot be had, before its engine runs.
constexpr char kNoMemoryWords[] = "The preview could not be rendered: there is not enough memory for it.";

// "preview <count> <sig> <id>": the box is named by its view's signature and
// index, as the live check's dump names the view, so that the check can wait
// for the preview of the view it looks at in a window of several boxes (their
// first previews come apart by hundreds of milliseconds on a slow build).
std::string BoxName(plat::tb::ControlRef view) {
  const plat::tb::ControlID id = view != nullptr ? plat::tb::GetControlID(view) : plat::tb::ControlID{0, 0};
  char sig[5] = {'-', '-', '-', '-', 0};
  if (view != nullptr)
    for (int k = 0; k < 4; ++k) sig[k] = static_cast<char>((id.signature >> (24 - 8 * k)) & 0xFF);
  return std::string(sig) + " " + std::to_string(id.id);
}

void LogPreview(const char* count, plat::tb::ControlRef view) {
  if (plat::hostapi::LiveLogOn()) plat::hostapi::LiveLog("preview %s %s", count, BoxName(view).c_str());
}

// "preview-asked <sig> <id>": a preview of the box was started. A preview
// that the box has shown is not yet the one of the last edit while a later
// one is on its way (a slow build shows each for longer than a look takes).
void LogPreviewAsked(plat::tb::ControlRef view) {
  if (plat::hostapi::LiveLogOn()) plat::hostapi::LiveLog("preview-asked %s", BoxName(view).c_str());
}

int32_t WindowEdge(int32_t size, int32_t unit) {
  return static_cast<int32_t>(static_cast<int64_t>(size - 1) * unit / 100000);
}

// The bytes of a record that a preview job may copy and read away from the
// box; 0 for a record that is not plain data (its preview runs at once).
template <class R>
constexpr size_t PlainSize() {
  if constexpr (std::is_trivially_copyable_v<R>) {
    return sizeof(R);
  } else {
    return 0;
  }
}

// Copies a record into the box's copy (or out of it) when both are there.
template <class R, class Copy>
bool CopyRecord(const R* from, R* to, Copy copy) {
  if (from == nullptr || to == nullptr) return false;
  copy(from, to);
  return true;
}

}  // namespace

// ---- layout and rendering ----

bool VMKimabox::LayOut(int16_t mode, int32_t w, int32_t h, bool clamp, bool panSource,
                       PreviewCall* call) {
  const ImaboxState& s = state_;
  const int32_t vw = s.viewWidth;
  const int32_t vh = s.viewHeight;
  if (w <= 0 || h <= 0 || vw <= 0 || vh <= 0) return false;
  int32_t ew = 0;
  int32_t eh = 0;
  float scale = 0.0f;
  int32_t rect[4] = {0, 0, w - 1, h - 1};
  if (mode == 2) {
    // The picture fills the view on the axis where it is relatively wider.
    // Deciding by W > H alone and scaling the other side by the view's own
    // side holds only for a square view: in a wider one (the navigators) the
    // rectangle lost the picture's shape, the engine's single scale then ran
    // out of picture short of the right edge and the reader repeated the
    // last column across the rest. In a square view both rules agree.
    // A picture one pixel across keeps that pixel, however long it is.
    if (static_cast<int64_t>(w) * vh > static_cast<int64_t>(h) * vw) {
      ew = vw;
      eh = std::max<int32_t>(static_cast<int32_t>(static_cast<int64_t>(vw) * h / w), 1);
    } else {
      eh = vh;
      ew = std::max<int32_t>(static_cast<int32_t>(static_cast<int64_t>(vh) * w / h), 1);
    }
    scale = std::max(static_cast<float>(w) / static_cast<float>(std::max(ew, 1)),
                     static_cast<float>(h) / static_cast<float>(std::max(eh, 1)));
  } else if (s.shownZoom > 0) {
    // A zoomed view: the pan rectangle's corner on at the zoom, filling the
    // view where the picture reaches that far. The source rectangle holds
    // every pixel the view samples (the readers take the sample at
    // trunc(step x j + 0.5) from its left column).
    const int32_t pan[4] = {s.panLeft, s.panTop, s.panRight, s.panBottom};
    const vmkviews::ShownPart part = vmkviews::ShownPartOf(pan, s.shownZoom, w, h, vw, vh);
    ew = part.shownWidth;
    eh = part.shownHeight;
    scale = static_cast<float>(part.step);
    if (panSource) {
      rect[0] = part.left;
      rect[1] = part.top;
      const auto reach = [](int32_t first, int32_t shown, double step, int32_t size) {
        const int64_t last = first + static_cast<int64_t>(std::ceil(shown * step));
        return static_cast<int32_t>(std::min<int64_t>(size - 1, last));
      };
      rect[2] = reach(part.left, ew, part.step, w);
      rect[3] = reach(part.top, eh, part.step, h);
      // At and above 100 % the picture's own pixels, each under the middle of
      // the view pixels it covers (the engines' readers sample the pixel
      // nearest a view pixel's left edge, which starts and ends the view with
      // half pixels, and their kernels would work on the enlarged planes).
      if (part.step <= 1.0) {
        call->part = true;
        call->partLeft = part.left;
        call->partTop = part.top;
        const auto pixels = [](int32_t shown, double step) {
          return static_cast<int32_t>(std::floor((shown - 0.5) * step)) + 1;
        };
        call->partWidth = std::min(w - part.left, pixels(ew, part.step));
        call->partHeight = std::min(h - part.top, pixels(eh, part.step));
        call->partStep = part.step;
      }
    }
  } else {
    int32_t x0 = WindowEdge(w, s.panLeft);
    int32_t y0 = WindowEdge(h, s.panTop);
    int32_t x1 = WindowEdge(w, s.panRight);
    int32_t y1 = WindowEdge(h, s.panBottom);
    if (clamp) {
      x0 = std::max(x0, 0);
      y0 = std::max(y0, 0);
      x1 = std::min(x1, w - 1);
      y1 = std::min(y1, h - 1);
    }
    // A window with no width or height (or an inverted one): nothing to
    // render. The window's extent is the distance between its first and
    // last pixel; a window one pixel across (a picture one pixel wide or
    // high, or a pan that narrow) still shows that pixel, as if it were one
    // pixel further, and a long picture one pixel across keeps a side of at
    // least one view pixel.
    if (s.panRight <= s.panLeft || s.panBottom <= s.panTop || x1 < x0 || y1 < y0) return false;
    const int32_t pw = std::max(x1 - x0, 1);
    const int32_t ph = std::max(y1 - y0, 1);
    const float rx = static_cast<float>(pw) / static_cast<float>(vw);
    const float ry = static_cast<float>(ph) / static_cast<float>(vh);
    if (rx > ry) {
      ew = vw;
      eh = std::max<int32_t>(static_cast<int32_t>(static_cast<int64_t>(ph) * ew / pw), 1);
      scale = rx;
    } else {
      eh = vh;
      ew = std::max<int32_t>(static_cast<int32_t>(static_cast<int64_t>(pw) * eh / ph), 1);
      scale = ry;
    }
    if (panSource) {
      rect[0] = x0;
      rect[1] = y0;
      rect[2] = x1;
      rect[3] = y1;
    }
  }
  call->viewWidth = vw;
  call->viewHeight = vh;
  call->effWidth = ew;
  call->effHeight = eh;
  call->srcWidth = w;
  call->srcHeight = h;
  std::copy(rect, rect + 4, call->srcRect);
  call->scale = scale;
  return true;
}

void VMKimabox::CommitLayout(const PreviewCall& call) {
  ImaboxState& s = state_;
  // A call laid out at a backing scale holds exact multiples of the layout.
  const int32_t k = std::max(call.backing, 1);
  s.srcWidth = call.srcWidth;
  s.srcHeight = call.srcHeight;
  s.effWidth = call.effWidth / k;
  s.effHeight = call.effHeight / k;
  s.originX = (s.viewWidth - s.effWidth) / 2;
  s.originY = (s.viewHeight - s.effHeight) / 2;
  dispWidth_ = s.effWidth;
  dispHeight_ = s.effHeight;
}

void VMKimabox::OwnPreviewAsked() const { LogPreviewAsked(state_.view); }

void VMKimabox::LayOutOwnPicture(int32_t w, int32_t h, int32_t shownWidth, int32_t shownHeight) {
  PreviewCall call;
  call.srcWidth = w;
  call.srcHeight = h;
  call.effWidth = std::clamp(shownWidth, 0, state_.viewWidth);
  call.effHeight = std::clamp(shownHeight, 0, state_.viewHeight);
  call.backing = 1;
  CommitLayout(call);
}

void VMKimabox::RenderAside(vmkviews::PreviewDone done, const std::function<void()>& ask) {
  asideNext_ = std::move(done);
  ask();
  asideNext_ = nullptr;
}

// An aside preview: its own job, which leaves the box's generation, layout
// and running preview alone.
void VMKimabox::RenderAsideJob(PreviewCall* call, const Pass* passes, int count, size_t recordBytes) {
  vmkviews::PreviewDone done = std::move(asideNext_);
  asideNext_ = nullptr;
  if (auto older = runningAside_.lock()) older->MarkStale();
  runningAside_.reset();
  // Only a preview of one pass over a record the job can keep goes aside.
  if (count != 1 || (call->record != nullptr && recordBytes == 0)) return;
  auto job = std::make_shared<vmkviews::PreviewJob>(this, 0);
  if (!job->Prepare(*call, passes[0].shorts, passes[0].count, passes[0].maskOk, recordBytes,
                    runner_ != nullptr))
    return;
  job->SetAside(std::move(done));
  if (runner_ == nullptr) {
    job->Run();
    if (job->ok()) job->asideDone()(*job);
    return;
  }
  runningAside_ = job;
  runner_->Submit(std::move(job));
}

void VMKimabox::Render(PreviewCall* call, const Pass* passes, int count, size_t recordBytes) {
  // At the window's density: the same picture window over k times the
  // pixels each way.
  if (backing_ > 1 && fine_) {
    const int32_t k = backing_;
    call->viewWidth *= k;
    call->viewHeight *= k;
    call->effWidth *= k;
    call->effHeight *= k;
    call->scale /= static_cast<float>(k);
    call->partStep /= k;
    call->backing = k;
  }
  if (asideNext_) {
    RenderAsideJob(call, passes, count, recordBytes);
    return;
  }
  LogPreviewAsked(state_.view);
  ++previewGeneration_;
  if (auto running = runningPreview_.lock()) running->MarkStale();
  runningPreview_.reset();
  // One or two passes over a record the job can keep: one job, on the
  // runner when there is one; the second pass works over the first one's
  // planes and the view shows the preview once, complete. A record that is
  // not plain data stays with the box: its passes run here and now.
  const bool jobs = (count == 1 || count == 2) && (call->record == nullptr || recordBytes > 0);
  if (!jobs) {
    RenderPasses(call, passes, count);
    return;
  }
  auto job = std::make_shared<vmkviews::PreviewJob>(this, previewGeneration_);
  if (!job->Prepare(*call, passes[0].shorts, passes[0].count, passes[0].maskOk, recordBytes,
                    runner_ != nullptr)) {
    // Its planes or its copy of the record cannot be had: said over the last
    // preview, which is not this one's.
    SetPreviewFailure(kNoMemoryWords);
    return;
  }
  if (count == 2) job->AddPass(passes[1].shorts, passes[1].count, passes[1].maskOk);
  if (runner_ == nullptr) {
    job->Run();
    FinishPreview(*job);
    return;
  }
  runningPreview_ = job;
  runner_->Submit(std::move(job));
}

void VMKimabox::FinishPreview(const vmkviews::PreviewJob& job) {
  if (job.ShowOwn()) {
    // A dialog that renders its preview itself is seen by the live log too.
    if (job.ok()) LogPreview("own", job.box() != nullptr ? job.box()->state().view : nullptr);
    // Its failure is told in its box; a stopped one is no failure.
    if (job.box() == this && !job.stale()) SetPreviewFailure(job.ok() ? std::string() : job.FailureWords());
    return;
  }
  if (job.aside()) {
    // Only the newest aside preview, complete, is handed on.
    if (job.box() != this || !job.ok() || runningAside_.lock().get() != &job) return;
    runningAside_.reset();
    job.asideDone()(job);
    return;
  }
  // A newer preview was asked for, this one failed or was stopped, or the
  // view changed size on the way: the view keeps the last complete one. One that failed says
  // so over it, rather than pass the picture off as its result.
  if (job.box() != this || job.generation() != previewGeneration_) return;
  if (!job.ok()) {
    if (!job.stale()) SetPreviewFailure(job.FailureWords());
    return;
  }
  const PreviewCall& call = job.call();
  if (call.viewWidth != state_.viewWidth * call.backing || call.viewHeight != state_.viewHeight * call.backing)
    return;
  runningPreview_.reset();
  CommitLayout(call);
  uint8_t* planes[4] = {job.plane(0), job.plane(1), job.plane(2), job.plane(3)};
  previewFailure_.clear();
  LoadPlanes(planes, job.maskOk(), call.backing);
  if (runner_ != nullptr) SetControlNeedsDisplay(state_.view);
}

void VMKimabox::SetPreviewFailure(const std::string& words) {
  if (words == previewFailure_) return;
  previewFailure_ = words;
  if (state_.view != nullptr) SetControlNeedsDisplay(state_.view);
}

void VMKimabox::StalePreview() {
  ++previewGeneration_;
  if (auto running = runningPreview_.lock()) running->MarkStale();
  runningPreview_.reset();
  if (auto aside = runningAside_.lock()) aside->MarkStale();
  runningAside_.reset();
}

void VMKimabox::GetJobRGB(const vmkviews::PreviewJob& job, int32_t stride, uint8_t* r, uint8_t* g,
                          uint8_t* b, int32_t w, int32_t h) {
  const PreviewCall& c = job.call();
  if (r == nullptr || g == nullptr || b == nullptr || c.effWidth <= 0 || c.effHeight <= 0 || w <= 0 ||
      h <= 0 || job.plane(0) == nullptr)
    return;
  for (int32_t y = 0; y < h; ++y) {
    const int64_t row = static_cast<int64_t>(y) * c.effHeight / h;
    for (int32_t x = 0; x < w; ++x) {
      const int64_t from = row * c.viewWidth + static_cast<int64_t>(x) * c.effWidth / w;
      const int64_t i = static_cast<int64_t>(y) * stride + x;
      r[i] = job.plane(0)[from];
      g[i] = job.plane(1)[from];
      b[i] = job.plane(2)[from];
    }
  }
}

void VMKimabox::RenderPasses(PreviewCall* call, const Pass* passes, int count) {
  const int64_t size = static_cast<int64_t>(call->viewWidth) * call->viewHeight;
  plat::Block<uint8_t> r(size, WorkSource()), g(size, WorkSource()), b(size, WorkSource()),
      m(size, WorkSource());
  if (!r || !g || !b || !m) {
    SetPreviewFailure(kNoMemoryWords);
    return;
  }
  // A preview without an engine shows these as they are: cleared, not
  // whatever the memory held.
  r.Clear();
  g.Clear();
  b.Clear();
  m.Clear();
  call->order = vmkviews::FillOrderOf(call->routine, call->code);
  const bool seven = call->routine == vmkviews::kPreviewYoxel || call->routine == vmkviews::kPreviewZondrac;
  std::fill(call->planes, call->planes + 7, nullptr);
  call->planes[0] = r.get();
  call->planes[1] = g.get();
  call->planes[2] = b.get();
  call->planes[seven ? 5 : 3] = m.get();
  call->planeCount = seven ? 7 : 5;
  const vmkviews::PreviewEngine engine = vmkviews::FindPreviewEngine(call->routine, call->code);
  vmkviews::EngineRun run;
  for (int k = 0; k < count; ++k) {
    call->shorts[0] = 3;
    call->shorts[1] = 0;
    std::copy(passes[k].shorts, passes[k].shorts + passes[k].count, call->shorts + 2);
    call->shortCount = static_cast<int16_t>(2 + passes[k].count);
    // A failed engine leaves the view as the passes before it made it (as
    // it was, when it is the first), and says so.
    if (run.Pass(engine, *call) != 0) {
      SetPreviewFailure("The preview could not be rendered.");
      return;
    }
    if (k == 0) previewFailure_.clear();
    if (k == 0) CommitLayout(*call);
    uint8_t* planes[4] = {r.get(), g.get(), b.get(), m.get()};
    LoadPlanes(planes, passes[k].maskOk, call->backing);
  }
}

void VMKimabox::LoadPlanes(uint8_t* const planes[4], int16_t maskOk, int32_t scale) {
  ++previewsShown_;
  LogPreview(std::to_string(previewsShown_).c_str(), state_.view);
  const int32_t vw = state_.viewWidth, vh = state_.viewHeight;
  if (scale <= 1) {
    SetBufRGB(0, 0, 0, state_.effWidth, state_.effHeight, maskOk, state_.srcWidth, state_.srcHeight, vw, vh,
              planes[0], planes[1], planes[2], planes[3], 255, 0);
    return;
  }
  SetFineBufRGB(scale, 0, 0, state_.effWidth, state_.effHeight, vw, vh, planes[0], planes[1], planes[2], planes[3],
                255, 0);
}

// ---- the dedicated previews ----

void VMKimabox::RunDedicated(int16_t routine, int16_t mode, int16_t level, int32_t w, int32_t h,
                             bool clamp, void* record, size_t recordBytes) {
  PreviewCall call;
  call.routine = routine;
  call.record = record;
  if (!LayOut(mode, w, h, clamp, true, &call)) return;
  Pass pass{{255, level, mode}, 3, 1};
  if (routine == vmkviews::kPreviewZondrac) {
    pass = Pass{{255, level, 1, mode}, 4, 1};
    // The lens warp pulls from anywhere in the picture, so it warps the whole
    // picture read at the planes' own size: on planes of a zoomed part it would
    // read the picture at the part's size, coarser than the view's.
    if (mode == 1) call.part = false;
  }
  Render(&call, &pass, 1, recordBytes);
}

// The content-aware box is said to copy, when the record's adjustment flag
// is 1, two four-value rectangles onto the two rectangles after them once
// the preview is drawn. The record names no such words: words 0 to 55 are
// all taken (41 is the energy spread, 5 by default and a weight, not a
// flag; its rectangles are eight-word quads), and the block past word 55 is
// never set, copied, converted or stored, so nothing there could hold a
// flag the box would find. The step is left out rather than guessed.
void VMKimabox::PrepYoxelBuf(int16_t mode, int16_t level) {
  YoxelPar* par = yoxelRecord();
  if (par == nullptr) return;
  RunDedicated(vmkviews::kPreviewYoxel, mode, level, par->imageWidth, par->imageHeight, false, par,
               PlainSize<YoxelPar>());
}

void VMKimabox::PrepColCorBuf(int16_t mode, int16_t level) {
  if (colCor_ == nullptr) return;
  RunDedicated(vmkviews::kPreviewColCor, mode, level, colCor_->w[kCCWidth], colCor_->w[kCCHeight],
               true, colCor_, PlainSize<ColCorPar>());
}

void VMKimabox::PrepZondracBuf(int16_t mode, int16_t level) {
  if (zondrac_ == nullptr) return;
  RunDedicated(vmkviews::kPreviewZondrac, mode, level, zondrac_->w[kZndWidth],
               zondrac_->w[kZndHeight], true, zondrac_, PlainSize<ZondracPar>());
}

// With the word before the tool word set, the grid renders twice: the
// picture first (source 3), then the warp over it, both in one job.
void VMKimabox::PrepGridBuf(int16_t mode, int16_t level) {
  if (grid_ == nullptr) return;
  PreviewCall call;
  call.routine = vmkviews::kPreviewGrid;
  call.record = grid_;
  if (!LayOut(mode, grid_->head.w[kGpWidth], grid_->head.w[kGpHeight], true, true, &call)) return;
  // The grids pull from anywhere in the picture: the engine reads the whole
  // picture at the planes' size, which a zoomed part's planes would coarsen.
  call.part = false;
  if (mode == 2) {
    const Pass pass{{255, level, 1, 2}, 4, 1};
    Render(&call, &pass, 1, PlainSize<GridPar>());
    return;
  }
  const Pass passes[2] = {{{255, 3, 1, 0}, 4, 0}, {{255, level, 1, mode}, 4, 1}};
  if (grid_->head.w[kGpTool - 1] != 0) {
    Render(&call, passes, 2, PlainSize<GridPar>());
  } else {
    Render(&call, passes + 1, 1, PlainSize<GridPar>());
  }
}

// ---- the preview by effect number ----

void VMKimabox::PrepEffBuf(int16_t mode, int16_t level, int16_t option, int16_t code) {
  YoxelPar* par = yoxelRecord();
  const int32_t w = par != nullptr ? par->imageWidth : 0;
  const int32_t h = par != nullptr ? par->imageHeight : 0;
  if (mode == 2) {
    PreviewCall layout;
    if (LayOut(2, w, h, false, false, &layout)) CommitLayout(layout);
    return;
  }
  PreviewCall call;
  call.routine = vmkviews::kPreviewEffect;
  call.code = code;
  Pass pass{{255, option, mode}, 3, 1};
  size_t bytes = 0;
  switch (code) {
    case 0:
      if (renderFlag_ != 0) call.renderFile = &renderFile_;
      break;
    case 22:
      call.record = colMat_;
      bytes = PlainSize<ColMatPar>();
      pass = Pass{{255, option, mode, 255}, 4, 1};
      break;
    case 41:
      call.record = rep_;
      bytes = PlainSize<RepPar>();
      pass = Pass{{255, option, mode, 255, 1, 1, 1, 0}, 8, 1};
      break;
    case 42:
      call.record = plaid_;
      bytes = PlainSize<PlaidPar>();
      pass = Pass{{level, option, mode}, 3, 1};
      break;
    case 58:
      call.record = tess_;
      bytes = PlainSize<TessPar>();
      break;
    case 81:
      call.record = cookiCut_;
      bytes = PlainSize<CookiCutPar>();
      break;
    case 92:
      call.record = combIma_;
      bytes = PlainSize<CombImaPar>();
      break;
    case 100:
      call.record = fract_;
      bytes = PlainSize<FractPar>();
      break;
    case 106:
      call.record = bord_;
      bytes = PlainSize<BordPar>();
      break;
    case 109:
    case 110:
      call.record = shape_;
      bytes = PlainSize<ShapePar>();
      break;
    default: break;
  }
  const bool needsRecord = code == 22 || code == 41 || code == 42 || code == 58 || code == 81 ||
                           code == 92 || code == 100 || code == 106 || code == 109 || code == 110;
  // A record InitBuf never made: leave the display as it is.
  if (needsRecord && call.record == nullptr) return;
  if (!LayOut(mode, w, h, false, false, &call)) return;
  Render(&call, &pass, 1, bytes);
}

// ---- record setters and getters ----

void VMKimabox::SetYoxelPar(YoxelPar* record, int16_t mode, int16_t level) {
  // The content-aware preview renders even for mode -1.
  if (CopyRecord(record, yoxelRecord(), Copy_YoxelPar)) PrepYoxelBuf(mode, level);
}

void VMKimabox::GetYoxelPar(YoxelPar* record) { CopyRecord<YoxelPar>(yoxelRecord(), record, Copy_YoxelPar); }

void VMKimabox::SetGridPar(GridPar* record, int16_t mode, int16_t level) {
  if (CopyRecord(record, grid_, Copy_GridPar) && mode != -1) PrepGridBuf(mode, level);
}

// Only a box in a grid mode hands its grid back; the dialogs rely on it to
// keep their own record while the grid tools are off.
void VMKimabox::GetGridPar(GridPar* record) {
  if (param_.gridMode != 0) CopyRecord<GridPar>(grid_, record, Copy_GridPar);
}

void VMKimabox::SetColCorPar(ColCorPar* record, int16_t mode, int16_t level) {
  auto copy = [](const ColCorPar* s, ColCorPar* d) { Copy_ColCorPar(s, d, 0, 0, 0); };
  if (CopyRecord(record, colCor_, copy) && mode != -1) PrepColCorBuf(mode, level);
}

void VMKimabox::GetColCorPar(ColCorPar* record) {
  CopyRecord<ColCorPar>(colCor_, record, [](const ColCorPar* s, ColCorPar* d) { Copy_ColCorPar(s, d, 0, 0, 0); });
}

void VMKimabox::SetZondracPar(ZondracPar* record, int16_t mode, int16_t level) {
  if (CopyRecord(record, zondrac_, Copy_ZondracPar) && mode != -1) PrepZondracBuf(mode, level);
}

void VMKimabox::GetZondracPar(ZondracPar* record) { CopyRecord<ZondracPar>(zondrac_, record, Copy_ZondracPar); }

void VMKimabox::SetRepPar(RepPar* record, int16_t mode, int16_t option, ScriptFile* script) {
  if (!CopyRecord(record, rep_, Copy_RepPar)) return;
  script_ = script;
  if (mode != -1) PrepEffBuf(mode, 255, option, 41);
}

void VMKimabox::GetRepPar(RepPar* record) { CopyRecord<RepPar>(rep_, record, Copy_RepPar); }

void VMKimabox::SetTessPar(TessPar* record, int16_t mode, int16_t option, ScriptFile* script) {
  if (!CopyRecord(record, tess_, Copy_TessPar)) return;
  script_ = script;
  if (mode != -1) PrepEffBuf(mode, 255, option, 58);
}

void VMKimabox::GetTessPar(TessPar* record) { CopyRecord<TessPar>(tess_, record, Copy_TessPar); }

void VMKimabox::SetFractPar(FractPar* record, int16_t mode, int16_t option, ScriptFile* script) {
  if (!CopyRecord(record, fract_, Copy_FractPar)) return;
  script_ = script;
  if (mode != -1) PrepEffBuf(mode, 255, option, 100);
}

void VMKimabox::GetFractPar(FractPar* record) { CopyRecord<FractPar>(fract_, record, Copy_FractPar); }

void VMKimabox::SetBordPar(BordPar* record, int16_t mode, int16_t option, ScriptFile* script) {
  // Each slider step hands the whole record over: only the layers that
  // changed are written.
  if (!CopyRecord(record, bord_, UpdateBordPar)) return;
  script_ = script;
  if (mode != -1) PrepEffBuf(mode, 255, option, 106);
}

void VMKimabox::GetBordPar(BordPar* record) { CopyRecord<BordPar>(bord_, record, Copy_BordPar); }

void VMKimabox::SetCombImaPar(CombImaPar* record, int16_t mode, int16_t option) {
  if (CopyRecord(record, combIma_, Copy_CombImaPar) && mode != -1) PrepEffBuf(mode, 255, option, 92);
}

void VMKimabox::SetCookiCutPar(CookiCutPar* record, int16_t mode, int16_t option) {
  if (CopyRecord(record, cookiCut_, Copy_CookiCutPar) && mode != -1) PrepEffBuf(mode, 255, option, 81);
}

void VMKimabox::SetShapePar(ShapePar* record, int16_t mode, int16_t option, int16_t code) {
  if (CopyRecord(record, shape_, Copy_ShapePar) && mode != -1) PrepEffBuf(mode, 255, option, code);
}

void VMKimabox::GetShapePar(ShapePar* record) { CopyRecord<ShapePar>(shape_, record, Copy_ShapePar); }

void VMKimabox::SetColMatPar(ColMatPar* record, int16_t mode, int16_t option, int16_t code) {
  if (CopyRecord(record, colMat_, Copy_ColMatPar) && mode != -1) PrepEffBuf(mode, 255, option, code);
}

void VMKimabox::GetColMatPar(ColMatPar* record) { CopyRecord<ColMatPar>(colMat_, record, Copy_ColMatPar); }

void VMKimabox::SetPlaidPar(PlaidPar* record, int16_t mode, int16_t level, int16_t option,
                            int16_t code) {
  if (CopyRecord(record, plaid_, Copy_PlaidPar) && mode != -1) PrepEffBuf(mode, level, option, code);
}

void VMKimabox::GetPlaidPar(PlaidPar* record) { CopyRecord<PlaidPar>(plaid_, record, Copy_PlaidPar); }

void VMKimabox::SetWeaveInfo(WeaveInfo* record, int16_t weaveMode, int16_t weaveGrid, int16_t r1,
                             int16_t g1, int16_t b1, int16_t r2, int16_t g2, int16_t b2) {
  auto copy = [](const WeaveInfo* s, WeaveInfo* d) { Copy_WeaveInfo(s, d, 0); };
  if (!CopyRecord(record, weave_, copy)) return;
  param_.weaveMode = weaveMode;
  param_.weaveGrid = weaveGrid;
  const int16_t colours[6] = {r1, g1, b1, r2, g2, b2};
  std::copy(colours, colours + 6, weaveColours_);
}

void VMKimabox::GetWeaveInfo(WeaveInfo* record) {
  CopyRecord<WeaveInfo>(weave_, record, [](const WeaveInfo* s, WeaveInfo* d) { Copy_WeaveInfo(s, d, 0); });
}

void VMKimabox::SetRender(int16_t flag, fichier* file, int16_t mode, int16_t option) {
  renderFlag_ = flag;
  if (flag != 0 && file != nullptr) Copy_FicStruct(file, &renderFile_);
  if (mode != -1) PrepEffBuf(mode, 255, option, 0);
}

// ---- drawing parameters and paths ----

void VMKimabox::SetDrw(DrawPar* drawPar) {
  if (drawPar == nullptr) return;
  vmkviews::GiveBack(drawPar_);
  drawPar_ = vmkviews::TakeRecord<DrawPar>();
  if (drawPar_ != nullptr) Copy_DrawPar(drawPar, drawPar_);
}

// During a press the path tools hold this list (and its paths) and edit it;
// the owner's copy is the older one until the press ends and the owner reads
// the edit back. Taking the owner's copy then would free what the tools hold
// and drop their edit: the press keeps its list, and the owner's next
// drawing after the read-back hands over the same paths.
void VMKimabox::SetPathList(CPathList* list) {
  if (list == nullptr || tracking_) return;
  delete pathList_;
  pathList_ = new CPathList(0);
  list->CopyPathList(pathList_);
}

void VMKimabox::GetPathList(CPathList* list) {
  if (pathList_ != nullptr && list != nullptr) pathList_->CopyPathList(list);
}
