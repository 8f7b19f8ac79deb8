// The editor's loop, and the image-tools window's preview: the layer's
// script rendered over the document's picture at the size of the preview
// view, kept channel by channel before (source table) and after (result
// table) the script, and the strip of stored-effect thumbnails.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/core/session_state.h"
#include "app/file_access.h"
#include "app/keyboard.h"
#include "dialogs/editor/preview_render.h"
#include "dialogs/editor/tune_effect.h"
#include "dialogs/editor/tune_effect_ids.h"
#include "dialogs/editor/tune_effect_tables.h"
#include "dialogs/frame/effect_registry.h"
#include "engines/correction/colour_correction.h"
#include "engines/correction/resize_record.h"
#include "engines/patterns/weave_plaid_record.h"
#include "engines/records/param_record.h"
#include "platform/files/private_copy.h"
#include "platform/parallel/cancel.h"
#include "host/session/document.h"
#include "host/session/small_dialogs.h"
#include "paths/draw_par.h"
#include "script/lut_vign.h"
#include "script/misc_render.h"
#include "script/script_file.h"
#include "views/colour_box.h"
#include "views/image_box.h"

namespace tb = plat::tb;
using namespace tuneeff;


namespace {

constexpr int32_t kWholePicture[4] = {0, 0, 100000, 100000};
constexpr int32_t kFirstExtra = 7;  // channels the script makes beyond the picture's

size_t PlaneSize(int32_t w, int32_t h) { return static_cast<size_t>(w) * static_cast<size_t>(h); }

}  // namespace

// ---- the loop ----

void VMKtuneeff::TuneEffLoop(tb::EventLoopTimerRef, void* data) {
  auto w = static_cast<tb::WindowRef>(data);
  if (script == nullptr) return;
  if (*restor() == 1) {
    BackRestEff(0);
    *restor() = 0;
    DrawWindowContent(w);
    return;
  }
  bool redraw = false;
  if (ImageTools()) {
    if (PollRampEditor()) refreshFlag = 1;
    if (PollThumbnails()) redraw = true;
  }
  if (PollSwatches()) refreshFlag = 1;
  if (PollPreviewClick()) refreshFlag = 1;
  if (PollSelectionDialog()) refreshFlag = 1;
  if (refreshFlag != 1) {
    if (redraw) DrawWindowContent(w);
    return;
  }
  GetEditValue();
  LoadActMenu(family);
  if (ImageTools()) {
    if (previewOn == 1) PrepareWindowForDisplay(w);
    ShowPreviewChannel();
  }
  pendingPreview = 1;
  refreshFlag = 0;
  DrawWindowContent(w);
}

// A ramp editor running nested over the image-tools window hands its live
// ramp to the current operation.
bool VMKtuneeff::PollRampEditor() {
  if (rampEditor == nullptr || rampEditor->CheckSetPreview(0) != 1) return false;
  ScratchRecord<LutVign> ramp;
  if (!ramp || script->GetOprn(stack, layer, currentOprn) == nullptr) return true;
  rampEditor->GetLutVign(ramp.get());
  script->SetLutVign(stack, layer, currentOprn, ramp.get());
  return true;
}

// Refresh flag 2 reloads the thumbnails whose entry changed; a click
// selects a thumbnail. True when the window wants a redraw.
bool VMKtuneeff::PollThumbnails() {
  bool redraw = false;
  if (refreshFlag == 2) {
    const int16_t first = FirstShown();
    for (int32_t k = 0; k < slotCount; ++k) {
      if (loopWords[k] == firstVisible + k) continue;
      const int32_t entry = first + k;
      VMKimabox* box = thumbView(k);
      // A slot past the end of the list keeps what it showed.
      if (box != nullptr && effectFiles != nullptr && entry < effectCount) {
        fichier file;
        Copy_FSSpeStruct(&effectFiles[entry], &file);
        box->SetRender(1, &file, 1, loopCount);
      }
      // The slot records the first visible entry's offset, not the entry
      // it shows once the strip is held at the end of the list.
      loopWords[k] = static_cast<int16_t>(firstVisible + k);
    }
    refreshFlag = 1;
    redraw = true;
  }
  if (TakePick()) redraw = true;
  return redraw;
}

bool VMKtuneeff::TakePick() {
  bool changed = false;
  for (int32_t k = 0; k < slotCount; ++k) {
    VMKimabox* box = thumbView(k);
    if (box != nullptr && box->CheckSetRefresh(0) == 1 && box->GetSel() == 1) {
      selectedSlot = static_cast<int16_t>(k);
      changed = true;
    }
  }
  return changed;
}

// The swatches the user changed: their colour goes into the operation where
// its code keeps one.
bool VMKtuneeff::PollSwatches() {
  bool changed = false;
  for (int k = 0; k < 3; ++k) {
    VMKcolbox* box = swatch(k);
    if (box == nullptr || box->CheckSetRefresh(0) != 1) continue;
    box->GetCol(&swatchColours[k][0], &swatchColours[k][1], &swatchColours[k][2]);
    if (k < 2) StoreSwatch(k);
    changed = true;
  }
  return changed;
}

void VMKtuneeff::StoreSwatch(int k) {
  if (script->GetOprn(stack, layer, currentOprn) == nullptr) return;
  const int16_t code = CurrentCode();
  const int16_t* rgb = swatchColours[k];
  if (k == 0 && (code == 10 || code == 27 || code == 34 || code == 37 || code == 61)) {
    const bool low = code == 10 || code == 27 || code == 34;
    SetParamOf(low ? 2 : 3, rgb[0]);
    SetParamOf(low ? 3 : 4, rgb[1]);
    SetParamOf(low ? 4 : 5, rgb[2]);
    DrawWindowContent(window);
  } else if (code == 40 || code == 43) {
    ScratchRecord<PlaidPar> plaid;
    if (!plaid) return;
    script->GetPlaidPar(stack, layer, currentOprn, plaid.get());
    SetPlaidColour(plaid.get(), k, rgb);
    script->SetPlaidPar(stack, layer, currentOprn, plaid.get());
  } else if (code == 86) {
    ScratchRecord<ColCorPar> record;
    if (!record) return;
    script->GetColCorPar(stack, layer, currentOprn, record.get());
    SetRangeColour(record.get(), k, rgb);
    script->SetColCorPar(stack, layer, currentOprn, record.get());
  }
}

// A click in the preview: a colour range takes the colour picked as the
// colour it matches; with Option held, another operation's colour
// selection takes the point clicked (in percent of the picture, from its
// bottom).
bool VMKtuneeff::PollPreviewClick() {
  VMKimabox* view = ImageTools() ? previewView() : nullptr;
  if (view == nullptr || view->CheckSetRefresh(0) != 1) return false;
  if (script->GetOprn(stack, layer, currentOprn) == nullptr) return true;
  if (CurrentCode() == 86) {
    int16_t rgb[3] = {0, 0, 0};
    view->GetRGBcolSel(&rgb[0], &rgb[1], &rgb[2]);
    ScratchRecord<ColCorPar> record;
    if (!record) return true;
    script->GetColCorPar(stack, layer, currentOprn, record.get());
    SetRangeColour(record.get(), 0, rgb);
    script->SetColCorPar(stack, layer, currentOprn, record.get());
  } else if (TestKeyModif(optionKey) == 1 && docWidth > 0 && docHeight > 0) {
    ScratchRecord<OprnExt> ext;
    if (!ext || script->GetSelOprnExt(stack, layer, currentOprn, ext.get()) != 1) return true;
    int32_t x = 0, y = 0;
    view->GetCoord(&x, &y);
    const int32_t entry = std::clamp<int32_t>(ext->head[5], 0, OprnExt::kEntries - 1);
    ext->SelValueC[entry] = static_cast<int32_t>(static_cast<double>(x) * 100.0 / docWidth + 0.5);
    ext->SelValueD[entry] = static_cast<int32_t>(static_cast<double>(docHeight - y) * 100.0 / docHeight + 0.5);
    script->SetSelOprnExt(stack, layer, currentOprn, ext.get());
  }
  return true;
}

// The selection options running nested hand their values over live.
bool VMKtuneeff::PollSelectionDialog() {
  if (selectionDialog == nullptr || selectionDialog->SeleCheckSetRefresh(0) != 1) return false;
  ScratchRecord<OprnExt> ext;
  if (!ext || script->GetOprn(stack, layer, currentOprn) == nullptr) return true;
  InitOprnExt(ext.get());
  script->GetSelOprnExt(stack, layer, currentOprn, ext.get());
  selectionDialog->GetSeleVal(ext.get());
  script->SetSelOprnExt(stack, layer, currentOprn, ext.get());
  return true;
}

// ---- the image-tools window ----

// Step 9 of the run: the work record, the views and the stored effects.
void VMKtuneeff::OpenImageTools() {
  std::copy(std::begin(kWholePicture), std::end(kWholePicture), panRect);
  const DocData* doc = document;
  docWidth = doc != nullptr ? doc->width : 0;
  docHeight = doc != nullptr ? doc->height : 0;
  if (workRecord != nullptr)
    Init_YoxelPar(workRecord, docWidth, docHeight, doc != nullptr ? doc->resolution : 72, 0, 5);
  if (VMKimabox* view = previewView()) {
    view->InitBuf(21);
    view->SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0);
    view->SetPanBufCoord(panRect[0], panRect[1], panRect[2], panRect[3]);
    if (workRecord != nullptr) view->SetOveLay(workRecord->overlayOn, workRecord->overlayIndex, workRecord->overlayOpacity);
    view->SetPickmode(1, 1);
    view->SetPickCoord(1);
  }
  PrepareWindowForDisplay(nullptr);
  for (int32_t k = 0; k < slotCount; ++k) {
    VMKimabox* box = thumbView(k);
    if (box == nullptr || workRecord == nullptr) continue;
    box->InitBuf(20);
    box->SetBufParam(1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0);
    box->SetPanBufCoord(0, 0, 100000, 100000);
    box->SetYoxelPar(workRecord, 0, loopCount);
  }
  LoadEffMenus();
  tb::SetControl32BitMaximum(Ctl(kThumbScroll), effectCount);
  firstVisible = 0;
  startFlag = 1;
  selectedSlot = 0;
}

void VMKtuneeff::PrepareWindowForDisplay() {
  if (ImageTools()) PrepareWindowForDisplay(window);
}

void VMKtuneeff::PrepareWindowForDisplay(tb::WindowRef) {
  VMKimabox* view = previewView();
  if (view == nullptr || workRecord == nullptr) return;
  view->InitBufSize();
  view->SetYoxelPar(workRecord, 0, loopCount);
  // The view only lays the picture out here: its planes come from the
  // tables below, not from a content-aware preview of its own.
  view->StalePreview();
  view->PrepEffBuf(2, 255, 0, 0);
  viewWidth = view->GetRectSizx();
  viewHeight = view->GetRectSizy();
  viewOriginX = view->GetRectOrix();
  viewOriginY = view->GetRectOriy();
  FitPicture();
  if (drawPar != nullptr && fittedWidth > 0 && fittedHeight > 0) {
    drawPar->viewOffsetX = static_cast<float>(viewOriginX + (viewWidth - fittedWidth) * 0.5);
    drawPar->viewOffsetY = static_cast<float>(viewOriginY + (viewHeight - fittedHeight) * 0.5);
    drawPar->originX = 0.0f;
    drawPar->originY = 0.0f;
    drawPar->scaleX = static_cast<float>(docWidth) / static_cast<float>(fittedWidth);
    drawPar->scaleY = static_cast<float>(docHeight) / static_cast<float>(fittedHeight);
    drawPar->limit = Rect{static_cast<int16_t>(viewOriginY), static_cast<int16_t>(viewOriginX),
                          static_cast<int16_t>(viewOriginY + viewHeight), static_cast<int16_t>(viewOriginX + viewWidth)};
    view->SetDrw(drawPar);
  }
  if (workRecord != nullptr && workRecord->imageWidth > 0 && workRecord->imageHeight > 0) {
    minScaleX = std::min<int32_t>(100000, static_cast<int32_t>(int64_t{viewWidth} * 100000 / workRecord->imageWidth));
    minScaleY = std::min<int32_t>(100000, static_cast<int32_t>(int64_t{viewHeight} * 100000 / workRecord->imageHeight));
  }
  std::copy(std::begin(kWholePicture), std::end(kWholePicture), panRect);
  panWords[0] = panWords[1] = 0;
  // Both stages go to the worker as one render.
  holdSubmit_ = true;
  PrepareBuf(0, 1, 0, viewWidth, viewHeight, nullptr, nullptr, nullptr);
  holdSubmit_ = false;
  PrepareBuf(0, 1, 1, viewWidth, viewHeight, nullptr, nullptr, nullptr);
}

// The picture fitted into the view's planes, keeping its aspect.
void VMKtuneeff::FitPicture() {
  fittedWidth = fittedHeight = 0;
  if (docWidth <= 0 || docHeight <= 0 || viewWidth <= 0 || viewHeight <= 0) return;
  const int64_t iw = docWidth, ih = docHeight, vw = viewWidth, vh = viewHeight;
  int64_t fw = 0, fh = 0;
  if (iw > ih) {
    fw = vw;
    fh = ih * vw / iw;
    if (fh > vh) {
      fw = iw * vh / ih;
      fh = vh;
    }
  } else {
    fh = vh;
    fw = iw * vh / ih;
    if (fw > vw) {
      fh = ih * vw / iw;
      fw = vw;
    }
  }
  // A picture one pixel across still shows that pixel, however long its
  // other side.
  fittedWidth = static_cast<int32_t>(std::max<int64_t>(fw, 1));
  fittedHeight = static_cast<int32_t>(std::max<int64_t>(fh, 1));
}

// ---- rendering ----

void VMKtuneeff::PrepareBuf(short, short target, short stage, int32_t width, int32_t height, uint32_t* pixels,
                            short* usedWidth, short* usedHeight) {
  if (script == nullptr || gPer == nullptr) return;
  // The editor's script as a combined-layer file in the layer scratch file,
  // which the render reads back (the preview's render a copy of it).
  File_kern kern(&gPer->layerScratch);
  errno = 0;
  const bool written = script->SaveCombiLay(&kern, stack, nullptr) == 0;
  const int error = errno;
  if (target == 0) {
    if (written) RenderThumbnail(width, height, pixels, usedWidth, usedHeight);
    return;
  }
  if (written) built = 1;
  stagesWanted_ = static_cast<int16_t>(stagesWanted_ | (stage == 0 ? 1 : 2));
  // A preview whose layers could not be saved is told so over the view, not
  // left showing the last picture.
  if (!holdSubmit_) SubmitPreview(written, error);
}

void VMKtuneeff::RenderThumbnail(int32_t w, int32_t h, uint32_t* pixels, short* usedWidth, short* usedHeight) {
  if (w <= 0 || h <= 0 || docWidth <= 0 || docHeight <= 0) return;
  const float scale = std::max(static_cast<float>(docWidth) / static_cast<float>(w),
                               static_cast<float>(docHeight) / static_cast<float>(h));
  int32_t uw = w, uh = h;
  if (docWidth > docHeight)
    uh = static_cast<int32_t>(int64_t{docHeight} * h / docWidth);
  else
    uw = static_cast<int32_t>(int64_t{docWidth} * w / docHeight);
  // A picture one pixel across keeps that pixel in the stored preview.
  uw = std::max(uw, 1);
  uh = std::max(uh, 1);
  uint8_t* planes[4] = {};
  bool ok = true;
  for (auto& p : planes) ok = (p = static_cast<uint8_t*>(vmkrec::NewScratch(PlaneSize(w, h)))) != nullptr && ok;
  if (ok && pixels != nullptr &&
      RenderFittedPreview(gPer->layerScratch, 1, docWidth, docHeight, uw, uh, scale, w, h, planes, nullptr)) {
    auto* bytes = reinterpret_cast<uint8_t*>(pixels);
    for (size_t i = 0; i < PlaneSize(w, h); ++i)
      for (int c = 0; c < 3; ++c) bytes[4 * i + static_cast<size_t>(c)] = planes[c][i];
  }
  if (usedWidth != nullptr) *usedWidth = static_cast<short>(uw);
  if (usedHeight != nullptr) *usedHeight = static_cast<short>(uh);
  for (uint8_t* p : planes) vmkrec::DeleteScratch(p);
}

// The tables' planes 3 to 6 at the view's size on the window's device
// pixels, made when missing or of another size.
bool VMKtuneeff::MakeTablePlanes() {
  if (resultPlanes == nullptr || sourcePlanes == nullptr || viewWidth <= 0 || viewHeight <= 0) return false;
  const VMKimabox* view = previewView();
  const int32_t k = view != nullptr ? std::max<int32_t>(view->backingScale(), 1) : 1;
  if (tablesWidth != viewWidth || tablesHeight != viewHeight || tablesScale != k) {
    ReleaseTables(3, kPlaneSlots - 1);
    tablesWidth = viewWidth;
    tablesHeight = viewHeight;
    tablesScale = k;
  }
  const size_t size = PlaneSize(viewWidth * k, viewHeight * k);
  for (uint8_t** table : {sourcePlanes, resultPlanes})
    for (int32_t c = 3; c <= 6; ++c) {
      if (table[c] == nullptr) table[c] = static_cast<uint8_t*>(vmkrec::NewScratch(size));
      if (table[c] == nullptr) return false;
    }
  return true;
}

void VMKtuneeff::ReleaseTables(int32_t first, int32_t last) {
  for (uint8_t** table : {sourcePlanes, resultPlanes}) {
    if (table == nullptr) continue;
    for (int32_t c = first; c <= last; ++c) {
      vmkrec::DeleteScratch(table[c]);
      table[c] = nullptr;
    }
  }
}

namespace {

// One image-tools render away from the window: its own copy of the
// combined-layer file (the window rewrites the scratch file at the next
// refresh), the geometry, and the planes it fills. What the window does not
// take is given back when the last holder lets go. The view and fitted
// sizes are in device pixels, `density` of them per view pixel.
struct PreviewRender {
  fichier file{};
  plat::files::PrivateCopy copy;  // removed with the render
  // Why the render cannot start (or could not have its planes): it fails
  // with these words.
  std::string refused;
  int32_t density = 1;
  int32_t viewWidth = 0, viewHeight = 0;
  int32_t fittedWidth = 0, fittedHeight = 0;
  int32_t docWidth = 0, docHeight = 0;
  int16_t stages = 0;
  uint8_t* planes[2][4] = {};  // source, result: red, green, blue, fourth
  uint8_t* extra[VMKtuneeff::kPlaneSlots] = {};
  // The step that stopped a render that failed, for the view's notice.
  std::optional<RenderFailure> failure;

  PreviewRender() = default;
  PreviewRender(const PreviewRender&) = delete;
  PreviewRender& operator=(const PreviewRender&) = delete;
  ~PreviewRender() {
    for (auto& stage : planes)
      for (uint8_t* p : stage) vmkrec::DeleteScratch(p);
    for (uint8_t* p : extra) vmkrec::DeleteScratch(p);
  }

  // Any thread: the asked stages over the picture fitted into the view's
  // planes; the result stage also keeps the further channels the script
  // made. False when a plane cannot be had, a render fails or the job went
  // stale on the way.
  bool Run() {
    if (!refused.empty()) return false;
    const float scale = std::max(static_cast<float>(docWidth) / static_cast<float>(fittedWidth),
                                 static_cast<float>(docHeight) / static_cast<float>(fittedHeight));
    for (int16_t stage = 0; stage < 2; ++stage) {
      if ((stages & (1 << stage)) == 0) continue;
      for (uint8_t*& p : planes[stage])
        if ((p = static_cast<uint8_t*>(vmkrec::NewScratch(PlaneSize(viewWidth, viewHeight)))) == nullptr) {
          refused = PreviewMemoryFailureWords();
          return false;
        }
      if (!RenderFittedPreview(file, stage, docWidth, docHeight, fittedWidth, fittedHeight, scale, viewWidth, viewHeight,
                        planes[stage], stage == 1 ? extra : nullptr, 2, &failure) ||
          plat::Cancelled())
        return false;
      if (stage == 1) {
        // Plane 6 is the result's own fourth plane, already rendered.
        vmkrec::DeleteScratch(extra[6]);
        extra[6] = nullptr;
      }
    }
    return !plat::Cancelled();
  }
};

}  // namespace

// The stages asked for render on the preview worker, the newest request
// replacing one still waiting and stopping one still running; the tables
// keep the last complete preview until the new one is back. Stage 0 is the
// picture alone (source table), stage 1 the script over it (result table,
// with every further channel the script made, each a plane of 255 in the
// source table).
//
// A render that cannot start (its layers not saved or not copied, no planes
// for the tables) goes to the worker all the same and fails there, so that
// the view tells why in its turn, as it does for one that fails on the way.
void VMKtuneeff::SubmitPreview(bool written, int error) {
  if (fittedWidth <= 0 || fittedHeight <= 0 || viewWidth <= 0 || viewHeight <= 0 || previewView() == nullptr) return;
  auto job = std::make_shared<PreviewRender>();
  const uint64_t number = ++previewNumber_;
  if (!MakeTablePlanes()) {
    job->refused = PreviewMemoryFailureWords();
  } else if (!written) {
    job->refused = PreviewFileFailureWords(false, error);
  } else if (const int copyError = job->copy.Make(FicToPosix(gPer->layerScratch), kRenderCopyTag); copyError != 0) {
    job->refused = PreviewFileFailureWords(true, copyError);
  } else if (!SetFicFromPosix(&job->file, job->copy.path())) {
    job->refused = PreviewFileFailureWords(true, ENAMETOOLONG);
  }
  // The same fit over the device pixels: the layout stays the view's.
  const int32_t k = tablesScale;
  job->density = k;
  job->viewWidth = viewWidth * k;
  job->viewHeight = viewHeight * k;
  job->fittedWidth = fittedWidth * k;
  job->fittedHeight = fittedHeight * k;
  job->docWidth = docWidth;
  job->docHeight = docHeight;
  job->stages = stagesWanted_;
  auto work = [job] { return job->Run(); };
  auto show = [this, job, number] {
    // A newer render was asked for, or the view changed size on the way.
    if (number != previewNumber_ || job->density != tablesScale || job->viewWidth != tablesWidth * tablesScale ||
        job->viewHeight != tablesHeight * tablesScale)
      return;
    runningPreview_.reset();
    stagesWanted_ = 0;
    ReleaseTables(kFirstExtra, kPlaneSlots - 1);
    for (int16_t stage = 0; stage < 2; ++stage) {
      if ((job->stages & (1 << stage)) == 0) continue;
      uint8_t** table = stage == 0 ? sourcePlanes : resultPlanes;
      for (int c = 0; c < 4; ++c) std::swap(table[3 + c], job->planes[stage][c]);
    }
    for (int32_t c = kFirstExtra; c < kPlaneSlots; ++c) {
      std::swap(resultPlanes[c], job->extra[c]);
      if (resultPlanes[c] == nullptr) continue;
      sourcePlanes[c] = static_cast<uint8_t*>(vmkrec::NewScratch(PlaneSize(job->viewWidth, job->viewHeight)));
      if (sourcePlanes[c] != nullptr) std::memset(sourcePlanes[c], 255, PlaneSize(job->viewWidth, job->viewHeight));
    }
    ++previewsShown_;
    ShowPreviewChannel();
    if (tb::ControlRef view = Ctl(kPreviewFrame)) tb::SetControlNeedsDisplay(view);
  };
  if (auto older = runningPreview_.lock()) older->MarkStale();
  auto why = [job] { return job->refused.empty() ? PreviewFailureWords(job->failure) : job->refused; };
  auto preview = std::make_shared<vmkviews::PreviewJob>(previewView(), std::move(work), std::move(show), std::move(why));
  runningPreview_ = preview;
  previews().Submit(std::move(preview));
}

// The channel chosen by the channel flag, after the script (image-tools
// value 1) or before it, grey for a single channel; a channel with no plane
// shows black.
void VMKtuneeff::ShowPreviewChannel() {
  VMKimabox* view = previewView();
  if (view == nullptr || sourcePlanes == nullptr || resultPlanes == nullptr) return;
  // Planes of another size than the view's are not shown.
  if (tablesWidth != viewWidth || tablesHeight != viewHeight || viewWidth <= 0 || viewHeight <= 0) return;
  uint8_t** table = imaToolsValue == 1 ? resultPlanes : sourcePlanes;
  const int32_t v = chanFlag;
  uint8_t* r = nullptr;
  uint8_t* g = nullptr;
  uint8_t* b = nullptr;
  int32_t right = fittedWidth, bottom = fittedHeight;
  // A channel with no plane: a plane of zeros, given back after.
  std::unique_ptr<vmkrec::ScratchBytes> zeros;
  if (v == 1) {
    r = table[3], g = table[4], b = table[5];
    right = fittedWidth - 1;
    bottom = fittedHeight - 1;
  } else if (v >= 2 && v <= 4) {
    r = g = b = table[v + 1];
    right = fittedWidth - 1;
  } else if (v + 1 >= 0 && v + 1 < kPlaneSlots && resultPlanes[v + 1] != nullptr) {
    r = g = b = table[v + 1];
  } else {
    zeros = std::make_unique<vmkrec::ScratchBytes>(PlaneSize(viewWidth * tablesScale, viewHeight * tablesScale));
    if (!zeros->valid()) return;
    r = g = b = zeros->data();
  }
  if (r == nullptr || g == nullptr || b == nullptr) return;
  // Bounds and rows in view pixels; the planes at the tables' density.
  view->SetFineBufRGB(tablesScale, 0, 0, right, bottom, viewWidth, viewHeight, r, g, b, nullptr, 255, 0);
}

// ---- the thumbnail scroll bar ----

void tuneeff::ScrollBarEff32BitActionProc(tb::ControlRef control, int16_t part) {
  VMKtuneeff* e = gVMKtuneeff;
  if (e == nullptr) return;
  int32_t v = tb::GetControl32BitValue(control);
  switch (part) {
    case tb::kControlUpButtonPart: v -= e->startFlag; break;
    case tb::kControlDownButtonPart: v += e->startFlag; break;
    case tb::kControlPageUpPart: v -= 10 * e->startFlag; break;
    case tb::kControlPageDownPart: v += 10 * e->startFlag; break;
    default: break;
  }
  tb::SetControl32BitValue(control, v);
  e->firstVisible = static_cast<int16_t>(tb::GetControl32BitValue(control));
  e->refreshFlag = 2;
  e->selectedSlot = 0;
}
