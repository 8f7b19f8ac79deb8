// The main editing window's picture: the layer stack rendered at view size
// into the effect planes, the untouched picture into the source planes, and
// the channel shown in the main view.
//
// On a denser screen both are rendered at the view's size times the main
// view's backing scale and land one to one in its fine display, as the
// view's own previews do; the preview and view sizes, the drawing
// parameters and everything a press or a readout reckons with stay in view
// pixels.
//
// A render is a job of its own with its own planes and its own copy of the
// combined layer file, so the window never waits for it and the next
// request never writes under a render that is still reading: only the
// newest request of each kind goes on, and its planes replace the shown ones
// only when it is complete.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/core/file_records.h"
#include "app/core/session_state.h"
#include "dialogs/editor/main_editor.h"
#include "dialogs/editor/preview_render.h"
#include "engines/records/param_record.h"
#include "paths/draw_par.h"
#include "platform/files/private_copy.h"
#include "platform/hostapi/live_log.h"
#include "platform/memory/block.h"
#include "dialogs/frame/preview_worker.h"
#include "platform/parallel/cancel.h"
#include "script/document_data.h"
#include "script/misc_render.h"
#include "views/image_box.h"
#include "views/preview_job.h"
#include "views/view_geometry.h"

// One render of the window's picture at view size.
class PinmainRender {
 public:
  PinmainRender(int16_t mode, uint64_t generation) : mode_(mode), generation_(generation) {}
  ~PinmainRender() {
    for (uint8_t* c : channels_) vmkrec::DeleteScratch(c);
  }
  PinmainRender(const PinmainRender&) = delete;
  PinmainRender& operator=(const PinmainRender&) = delete;

  // The render's own copy of the layer scratch file, made now and removed
  // with the render; false (refused() says why) when the scratch file was
  // not `written` (the system's `error`) or cannot be copied.
  bool CopyLayers(bool written, int error) {
    kind_ = 2;
    if (!written || gPer == nullptr) {
      // The copy would hold the layers of an earlier request: shown as this
      // one's, they would pass the last picture off as the new one.
      refused_ = PreviewFileFailureWords(false, error);
      return false;
    }
    copy_ = std::make_unique<plat::files::PrivateCopy>();
    if (const int copyError = copy_->Make(FicToPosix(gPer->layerScratch), kRenderCopyTag); copyError != 0) {
      refused_ = PreviewFileFailureWords(true, copyError);
      return false;
    }
    Init_FicStruct(&file_);
    if (!SetFicFromPosix(&file_, copy_->path())) {
      refused_ = PreviewFileFailureWords(true, ENAMETOOLONG);
      return false;
    }
    return true;
  }
  // The render of another file (its kind: 2 combined layers, 3 one effect
  // file), which it reads as it is.
  void UseFile(const fichier& file, int16_t kind) {
    file_ = file;
    kind_ = kind;
  }
  // Why the render cannot start, or empty: one that cannot runs no further
  // and fails with these words.
  const std::string& refused() const { return refused_; }

  // The sizes and the planes; false (refused() says why) when a plane
  // cannot be had.
  // `zoom` is what the view shows, in view pixels; the render's own sizes
  // are `scale` times them each way.
  bool Prepare(int32_t imageW, int32_t imageH, int32_t previewW, int32_t previewH, int32_t viewW, int32_t viewH,
               const PinmainZoom& zoom, int32_t scale) {
    zoom_ = zoom;
    part_ = PinmainRenderedPart(zoom, scale);
    imageW_ = imageW, imageH_ = imageH, previewW_ = previewW, previewH_ = previewH;
    viewW_ = viewW, viewH_ = viewH;
    const int64_t n = static_cast<int64_t>(viewW) * viewH;
    if (n <= 0 || previewW <= 0 || previewH <= 0) return false;
    for (auto& p : planes_) {
      p = plat::Block<uint8_t>(n);
      if (!p) {
        refused_ = PreviewMemoryFailureWords();
        return false;
      }
      p.Clear();
    }
    return true;
  }

  void Run(const plat::CancelFlag* cancel) {
    if (!refused_.empty()) return;
    const plat::CancelScope scope(cancel);
    if (zoom_.zoomed) {
      status_ = RunZoomed() ? 0 : -1;
      return;
    }
    // One scale on both axes, the larger, so the whole picture fits.
    const float scale = std::max(static_cast<float>(imageW_) / static_cast<float>(previewW_),
                                 static_cast<float>(imageH_) / static_cast<float>(previewH_));
    // The layers over the picture fitted into the view, their lengths at the
    // view's scale, as the image tools render their preview.
    uint8_t* planes[4] = {planes_[0].get(), planes_[1].get(), planes_[2].get(), planes_[3].get()};
    status_ = RenderFittedPreview(file_, mode_ == 0 ? 0 : 1, imageW_, imageH_, previewW_, previewH_, scale, viewW_,
                                  viewH_, planes, mode_ != 0 ? channels_ : nullptr, kind_, &failure_)
                  ? 0
                  : -1;
  }

  bool ok() const { return status_ == 0; }
  // The step that stopped a render that failed, or none.
  const std::optional<RenderFailure>& failure() const { return failure_; }

  // Only the part the view shows is rendered (with the margin its layers
  // reach), at the view's scale.
  bool RunZoomed() {
    uint8_t* planes[4] = {planes_[0].get(), planes_[1].get(), planes_[2].get(), planes_[3].get()};
    return RenderZoomedPreview(file_, mode_ == 0 ? 0 : 1, imageW_, imageH_, part_, viewW_, viewH_, planes,
                               mode_ != 0 ? channels_ : nullptr, kind_, &failure_);
  }

  // On the window's thread: the planes go to the window when it still
  // wants them.
  void Finish(VMKpinmainUI* window) {
    if (status_ != 0 || window == nullptr || gVMKpinmain != window) return;
    uint8_t* planes[4] = {planes_[0].get(), planes_[1].get(), planes_[2].get(), planes_[3].get()};
    // The window takes the further channels over.
    window->TakeRender(mode_, generation_, viewW_, viewH_, zoom_, planes, channels_);
    std::fill(std::begin(channels_), std::end(channels_), nullptr);
  }

 private:
  int16_t mode_;
  uint64_t generation_;
  fichier file_{};
  int16_t kind_ = 2;
  std::unique_ptr<plat::files::PrivateCopy> copy_;  // the render's own copy of the layers, or none
  std::string refused_;                             // why it cannot start, or empty
  int32_t imageW_ = 0, imageH_ = 0, previewW_ = 0, previewH_ = 0, viewW_ = 0, viewH_ = 0;
  int32_t status_ = -1;
  std::optional<RenderFailure> failure_;
  PinmainZoom zoom_;  // what the view shows, in view pixels
  ZoomedPart part_;   // the same in the planes' samples
  plat::Block<uint8_t> planes_[4];
  uint8_t* channels_[MiscRender::kKeptPlanes] = {};  // the further channels, until the window takes them
};

void VMKpinmainUI::FreePlanes(uint8_t** table, int first, int last) {
  if (table == nullptr) return;
  for (int k = first; k <= last; ++k) {
    vmkrec::DeleteScratch(table[k]);
    table[k] = nullptr;
  }
}

size_t VMKpinmainUI::PlaneSize() const {
  const size_t k = static_cast<size_t>(planeScale_);
  return static_cast<size_t>(std::max(viewWidth, 0)) * static_cast<size_t>(std::max(viewHeight, 0)) * k * k;
}

// Planes 3 to 6 of both tables at view size (times the plane scale), taken
// once per layout.
bool VMKpinmainUI::TakeViewPlanes() {
  const size_t n = PlaneSize();
  bool ok = n > 0;
  // Fresh planes hold no picture until a render of this layout arrives.
  rendered_[0] = rendered_[1] = false;
  for (uint8_t** table : {effectPlanes, sourcePlanes}) {
    FreePlanes(table, 3, 6);
    for (int k = 3; k <= 6 && ok; ++k) {
      table[k] = static_cast<uint8_t*>(vmkrec::NewScratch(n));
      ok = table[k] != nullptr;
    }
  }
  return ok;
}

void VMKpinmainUI::PrepareBuf(int16_t mode, fichier* file) {
  if (effectPlanes == nullptr || sourcePlanes == nullptr || gPer == nullptr) return;
  const int lane = mode == 0 ? 0 : 1;
  auto render = std::make_shared<PinmainRender>(mode, ++generation_[lane]);
  const int32_t k = planeScale_;
  asked_ = ViewZoom();
  // The scratch file is what 'ok  ' would write; the render reads its own
  // copy of it.
  bool ready = true;
  if (file != nullptr) {
    render->UseFile(*file, 3);
  } else {
    errno = 0;
    const bool written = WriteCombinedLayers() == 0;
    ready = render->CopyLayers(written, errno);
  }
  ready = ready && render->Prepare(imageWidth, imageHeight, previewWidth * k, previewHeight * k, viewWidth * k,
                                   viewHeight * k, asked_, k);
  if (!ready) {
    // One that cannot start goes to the worker all the same, so that its
    // failure is told over the view in its turn, as that of one failing on
    // the way is, rather than the last picture staying as if it were its
    // result.
    if (!render->refused().empty()) SubmitRender(render, lane);
    return;
  }
  ++rendersAsked_;
  // "layers-asked MODE GENERATION", and "layers-shown" with the same when
  // that render is shown: the live check waits for the render a step asked
  // for, not for one asked before it that arrives late.
  plat::hostapi::LiveLog("layers-asked %d %llu", mode == 0 ? 0 : 1, static_cast<unsigned long long>(generation_[lane]));
  SubmitRender(render, lane);
}

// The planes of a complete render replace the shown ones; a render that a
// newer one has overtaken, or one of another layout, is dropped.
void VMKpinmainUI::TakeRender(int16_t mode, uint64_t generation, int32_t width, int32_t height,
                              const PinmainZoom& zoom, uint8_t** planes, uint8_t** channels) {
  const int lane = mode == 0 ? 0 : 1;
  const bool current = generation == generation_[lane] && width == viewWidth * planeScale_ &&
                       height == viewHeight * planeScale_;
  if (!current) {
    for (int k = 0; k < MiscRender::kKeptPlanes; ++k) vmkrec::DeleteScratch(channels[k]);
    return;
  }
  const size_t n = static_cast<size_t>(width) * static_cast<size_t>(height);
  uint8_t** table = mode == 0 ? sourcePlanes : effectPlanes;
  for (int k = 0; k < 4; ++k)
    if (table[3 + k] != nullptr) std::memcpy(table[3 + k], planes[k], n);
  if (mode != 0) {
    // Further channels are those of this render only.
    FreePlanes(effectPlanes, 7, kPlanes - 1);
    FreePlanes(sourcePlanes, 7, kPlanes - 1);
    vmkrec::DeleteScratch(channels[6]);
    for (int k = 7; k < kPlanes; ++k) {
      effectPlanes[k] = channels[k];
      if (effectPlanes[k] == nullptr) continue;
      sourcePlanes[k] = static_cast<uint8_t*>(vmkrec::NewScratch(n));
      if (sourcePlanes[k] != nullptr) std::memset(sourcePlanes[k], 255, n);
    }
  }
  rendered_[lane] = true;
  shown_[lane] = zoom;
  ++rendersShown_;
  // Until the first of these the main view has no layers to show: the live
  // check waits for it before it looks at the picture.
  plat::hostapi::LiveLog("layers-shown %d %llu", lane, static_cast<unsigned long long>(generation));
  refreshFlag = 1;
  // A render arrives between two of the loop's steps, often just after the
  // one that opened the window: shown now, not up to half a second later.
  // The next step still refreshes the view as it always does.
  if (window != nullptr) {
    ShowChannel();
    if (plat::tb::ControlRef view = mainView()->state().view) plat::tb::SetControlNeedsDisplay(view);
  }
}

// The chosen table's channel into the main view.
void VMKpinmainUI::ShowChannel() {
  uint8_t** table = showEffect == 1 ? effectPlanes : sourcePlanes;
  // Planes that no render has filled yet are blank: loaded, they would
  // cover the view's own picture with black until the render arrives.
  if (table == nullptr || !rendered_[showEffect == 1 ? 1 : 0]) return;
  uint8_t* r = nullptr;
  uint8_t* g = nullptr;
  uint8_t* b = nullptr;
  uint8_t* blank = nullptr;
  if (channelShown == 1) {
    r = table[3], g = table[4], b = table[5];
  } else if (channelShown >= 2 && channelShown <= 4) {
    r = g = b = table[channelShown + 1];
  } else if (channelShown + 1 >= 0 && channelShown + 1 < kPlanes && effectPlanes[channelShown + 1] != nullptr) {
    r = g = b = table[channelShown + 1];
  } else {
    // A channel the render did not make shows black.
    const size_t n = PlaneSize();
    blank = static_cast<uint8_t*>(vmkrec::NewScratch(std::max<size_t>(n, 1)));
    if (blank != nullptr) std::memset(blank, 0, n);
    r = g = b = blank;
  }
  // A preview of the view's own still on its way must not cover the layers.
  mainView()->StalePreview();
  // The view is laid out for the picture the planes hold: the fitted
  // picture, or the zoomed part of it (a preview of the view's own may have
  // laid it out for another).
  const PinmainZoom& shown = shown_[showEffect == 1 ? 1 : 0];
  const int32_t sw = shown.zoomed ? shown.shownWidth : previewWidth;
  const int32_t sh = shown.zoomed ? shown.shownHeight : previewHeight;
  mainView()->LayOutOwnPicture(imageWidth, imageHeight, sw, sh);
  // The load's right and bottom ends are exclusive: the picture's last
  // column and its top row (the planes' last) are loaded too, not left
  // showing what the view held before. Planes of a denser screen go to the
  // view's fine display, the view's own display taking their samples at
  // view pixels.
  mainView()->SetFineBufRGB(planeScale_, 0, 0, sw, sh, viewWidth, viewHeight, r, g, b, nullptr, 255, 0);
  vmkrec::DeleteScratch(blank);
}

void VMKpinmainUI::FitPicture(int32_t viewW, int32_t viewH) {
  viewWidth = viewW;
  viewHeight = viewH;
  // The main view's density as its InitBufSize found it.
  const VMKimabox* main = mainView();
  planeScale_ = main != nullptr ? std::max(main->backingScale(), 1) : 1;
  // An empty picture still has proportions of 1 x 1.
  const int32_t width = std::max(imageWidth, 1);
  const int32_t height = std::max(imageHeight, 1);
  int32_t dw = 0;
  int32_t dh = 0;
  if (width > height) {
    dw = viewW;
    dh = height * viewW / width;
    if (dh > viewH) {
      dh = viewH;
      dw = width * viewH / height;
    }
  } else {
    dh = viewH;
    dw = width * viewH / height;
    if (dw > viewW) {
      dw = viewW;
      dh = height * viewW / width;
    }
  }
  // A picture one pixel across still shows that pixel, however long it is.
  previewWidth = std::max(dw, 1);
  previewHeight = std::max(dh, 1);
  TakeViewPlanes();
}

// The view's rectangle, the picture fitted into it, the drawing parameters,
// fresh planes and a fresh render.
void VMKpinmainUI::PrepareWindowForDisplay(plat::tb::WindowRef w) {
  VMKimabox* main = mainView();
  main->InitBufSize();
  main->SetYoxelPar(display, 0, displayWord);
  // The fitted picture's place in the view from the start, not only once the
  // view's own first preview lays it out: that preview goes stale when the
  // layers' first render comes before it (they run on two workers), and the
  // render was then drawn in a picture place the size of the whole view, at
  // its foot, with the band above it left see-through.
  main->PrepEffBuf(2, 0, 0, 0);
  viewOriginX = main->GetRectOrix();
  viewOriginY = main->GetRectOriy();
  // A resize away from Fit keeps the middle of the part shown.
  const double middleX = static_cast<double>(imageWidth) * (pan[0] + pan[2]) / 200000.0;
  const double middleY = static_cast<double>(imageHeight) * (pan[1] + pan[3]) / 200000.0;
  FitPicture(main->GetRectSizx(), main->GetRectSizy());
  const int32_t width = std::max(imageWidth, 1);
  const int32_t height = std::max(imageHeight, 1);
  oneToOne[0] = oneToOne[1] = 0;
  oneToOne[2] = static_cast<int32_t>(std::min<int64_t>(int64_t{viewWidth} * 100000 / width, 100000));
  oneToOne[3] = static_cast<int32_t>(std::min<int64_t>(int64_t{viewHeight} * 100000 / height, 100000));
  pan[0] = pan[1] = 0;
  pan[2] = pan[3] = 100000;
  SetPanZoom(w, 100);
  curIndex = midIndex;
  curZoom = zoomTable[midIndex];
  if (fitFlag == 0) {
    PanAtZoom(middleX, middleY, curZoom);
    navigator()->SetBufSSPan(pan[0], pan[1], pan[2], pan[3], 100, 0, 0);
    main->SetPanBufCoord(pan[0], pan[1], pan[2], pan[3]);
  }
  ApplyViewMapping();
  PrepareBuf(0, nullptr);
  PrepareBuf(1, nullptr);
}

PinmainZoom VMKpinmainUI::ViewZoom() const {
  PinmainZoom z;
  const int32_t width = std::max(imageWidth, 1);
  const int32_t height = std::max(imageHeight, 1);
  if (fitFlag == 1 || viewWidth <= 0 || viewHeight <= 0) {
    z.shownWidth = previewWidth;
    z.shownHeight = previewHeight;
    z.step = static_cast<double>(width) / std::max(previewWidth, 1);
    return z;
  }
  return PinmainZoomedView(width, height, viewWidth, viewHeight, pan, curZoom);
}

PinmainZoom PinmainZoomedView(int32_t width, int32_t height, int32_t viewW, int32_t viewH, const int32_t pan[4],
                              int32_t zoom) {
  PinmainZoom z;
  // The pan rectangle's part at the zoom: the view's size at that zoom, or
  // the whole side where the picture has less.
  const vmkviews::ShownPart part = vmkviews::ShownPartOf(pan, zoom, width, height, viewW, viewH);
  z.zoomed = true;
  z.step = part.step;
  z.left = part.left;
  z.top = part.top;
  z.shownWidth = part.shownWidth;
  z.shownHeight = part.shownHeight;
  return z;
}

// Device pixels: each view pixel is scale x scale of them, each a scale-th
// of the view pixel's share of the picture.
ZoomedPart PinmainRenderedPart(const PinmainZoom& zoom, int32_t scale) {
  scale = std::max(scale, 1);
  ZoomedPart part;
  part.step = zoom.step / scale;
  part.left = zoom.left;
  part.top = zoom.top;
  part.shownWidth = zoom.shownWidth * scale;
  part.shownHeight = zoom.shownHeight * scale;
  return part;
}

// The path tools draw and take their presses where the view shows the
// picture: the fitted picture from its corner, or the zoomed part from the
// pan rectangle's corner at its scale.
void VMKpinmainUI::ApplyViewMapping() {
  const PinmainZoom z = ViewZoom();
  VMKimabox* main = mainView();
  if (main == nullptr || drawPar == nullptr) return;
  const int32_t dw = z.zoomed ? z.shownWidth : previewWidth;
  const int32_t dh = z.zoomed ? z.shownHeight : previewHeight;
  drawPar->viewOffsetX = static_cast<float>(viewOriginX) + static_cast<float>(viewWidth - dw) * 0.5f;
  drawPar->viewOffsetY = static_cast<float>(viewOriginY) + static_cast<float>(viewHeight - dh) * 0.5f;
  if (z.zoomed) {
    drawPar->originX = static_cast<float>(z.left);
    drawPar->originY = static_cast<float>(z.top);
    drawPar->scaleX = drawPar->scaleY = static_cast<float>(z.step);
  } else {
    drawPar->originX = 0.0f;
    drawPar->originY = 0.0f;
    drawPar->scaleX = static_cast<float>(imageWidth) / static_cast<float>(std::max(dw, 1));
    drawPar->scaleY = static_cast<float>(imageHeight) / static_cast<float>(std::max(dh, 1));
  }
  drawPar->limit = Rect{static_cast<int16_t>(viewOriginY), static_cast<int16_t>(viewOriginX),
                        static_cast<int16_t>(viewOriginY + viewHeight), static_cast<int16_t>(viewOriginX + viewWidth)};
  main->SetDrw(drawPar);
  // The readout names the picture point under the pointer through the pan.
  main->SetPanBufCoord(pan[0], pan[1], pan[2], pan[3]);
}

void VMKpinmainUI::FollowZoom() {
  if (window == nullptr || ViewZoom() == asked_) return;
  ApplyViewMapping();
  PrepareBuf(0, nullptr);
  PrepareBuf(1, nullptr);
}

namespace {

// The box whose place in the render worker's line a render of this lane
// takes: the source render waits in the navigator's place, the layers'
// render in the main view's, so the two never replace each other.
VMKimabox* LaneKey(VMKpinmainUI* window, int lane) {
  return lane == 0 ? window->navigator() : window->mainView();
}

}  // namespace

// While the window is open a render is a job of the window's render worker:
// a newer request of the same lane takes the place of one still waiting and
// the one running stops at its next band; the planes of the last complete
// render stay shown meanwhile. Without a window (a caller that only wants
// the planes) it runs at once. Under the test driver's virtual clock the
// worker runs it in line.
void VMKpinmainUI::SubmitRender(const std::shared_ptr<PinmainRender>& render, int lane) {
  VMKimabox* key = window != nullptr && renders_ != nullptr ? LaneKey(this, lane) : nullptr;
  if (key == nullptr) {
    render->Run(nullptr);
    render->Finish(this);
    return;
  }
  if (auto running = lastRender_[lane].lock()) running->MarkStale();
  auto work = [render] {
    render->Run(plat::CurrentCancelFlag());
    return render->ok() && !plat::Cancelled();
  };
  auto show = [this, render] { render->Finish(this); };
  auto why = [render] {
    return render->refused().empty() ? PreviewFailureWords(render->failure()) : render->refused();
  };
  auto job = std::make_shared<vmkviews::PreviewJob>(key, std::move(work), std::move(show), std::move(why));
  lastRender_[lane] = job;
  renders_->Submit(std::move(job));
}

void VMKpinmainUI::StopRenders() {
  if (renders_ != nullptr) renders_->Stop();
  for (auto& last : lastRender_) last.reset();
}
