#include "dialogs/editor/main_editor.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "app/core/percent.h"
#include "app/core/session_state.h"
#include "app/file_access.h"
#include "dialogs/editor/layer_palette.h"
#include "dialogs/editor/path_palette.h"
#include "dialogs/editor/tune_effect.h"
#include "dialogs/frame/effect_frame_procs.h"
#include "dialogs/frame/ok_render.h"
#include "dialogs/frame/preview_worker.h"
#include "engines/correction/resize_record.h"
#include "engines/records/param_record.h"
#include "host/session/app_object.h"
#include "paths/draw_par.h"
#include "paths/path_list.h"
#include "platform/toolbox/api/ui_services.h"
#include "script/document_data.h"
#include "script/layers.h"
#include "script/script_file.h"
#include "views/image_box.h"

namespace tb = plat::tb;

VMKpinmainUI* gVMKpinmain = nullptr;

namespace {

constexpr OSType kSignature = FourCC("Main");
constexpr int32_t kWhole = 100000;

// Control numbers.
enum : int32_t {
  kMainView = 9,
  kZoomSlider = 11,
  kZoomText = 31,
  kOverlayGroup = 23,
  kOpacityLabel = 29,
  kOpacityUnit = 25,
  kOverlayCheck = 27,
  kOverlayPopup = 24,
  kOpacitySlider = 28,
  kOpacityField = 26,
  kReadRed = 6,
  kReadGreen = 14,
  kReadBlue = 15,
  kZoomOut = 16,
  kZoomIn = 17,
  kFitIndicator = 12,
  kOneToOneIndicator = 13,
  kShowEffect = 18,
  kChannelPopup = 20,
  kPathEditIndicator = 30,
  kPathsButton = 22,
  kUnused = 3
};

constexpr int32_t kLookup[] = {kMainView,     kZoomSlider,    kZoomText,     kOverlayGroup, kOpacityLabel,
                               kOpacityUnit,  kOverlayCheck,  kOverlayPopup, kOpacitySlider, kOpacityField,
                               kReadRed,      kReadGreen,     kReadBlue,     kZoomOut,      kZoomIn,
                               kFitIndicator, kOneToOneIndicator, kShowEffect, kChannelPopup,
                               kPathEditIndicator, kPathsButton, kUnused};

// The layer render is the window's own: neither view renders a preview of
// the values, so typing makes no preview stale.
constexpr FrameBox kBoxes[] = {{"HIima", false}, {"HIpan", false}};

constexpr tb::EventTypeSpec kEvents[] = {{tb::kEventClassCommand, tb::kEventCommandProcess},
                                         {tb::kEventClassMouse, tb::kEventMouseMoved},
                                         {tb::kEventClassTextInput, tb::kEventTextInputFilterText},
                                         {tb::kEventClassControl, tb::kEventControlTrack},
                                         {tb::kEventClassWindow, tb::kEventWindowDrawContent},
                                         {tb::kEventClassWindow, tb::kEventWindowResizeCompleted},
                                         {tb::kEventClassWindow, tb::kEventWindowZoomed},
                                         {tb::kEventClassWindow, tb::kEventWindowClickCloseRgn}};

constexpr EffectFrameDesc MakeDesc() {
  EffectFrameDesc d;
  d.window = "PinMain";
  d.signature = kSignature;
  d.lookup = kLookup;
  d.viewKey = "pinmain";
  d.boxes = kBoxes;
  d.events = kEvents;
  d.loopInterval = 0.5;
  d.typingPush = 1.0;
  d.undoTick = false;
  d.refreshAtOpen = true;
  d.resizable = true;
  // The window's loop steps carry out the palettes' requests and show the
  // channel themselves (PollTick).
  d.pollBeforeRefresh = true;
  return d;
}
const EffectFrameDesc kDesc = MakeDesc();

using Trampolines = EffectFrameTrampolines<gVMKpinmain>;

struct Title {
  int16_t family;
  const char* product;
};
constexpr Title kTitles[] = {{41, "Castellune"},  {42, "Tavistrel"},   {58, "Quorlinth"},  {92, "Wyverlace"},
                             {100, "Orrelune"},   {106, "Mirrovane"},  {114, "Haldencrest"},
                             {115, "Sunnevald"},  {116, "Brindlemoor"}, {117, "Glossimbra"},
                             {118, "Fennistok"}};

int32_t AtLeastOne(int32_t v) { return v > 0 ? v : 1; }

constexpr int32_t kOneToOne = 10000;

// The leading integer of a field's text, as the system's string reader
// takes it: optional blanks and sign, then digits; no digits read 0, and a
// number beyond 32 bits is held at its end.
int64_t LeadingNumber(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  int64_t v = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    v = std::min<int64_t>(v * 10 + (text[i] - '0'), int64_t{1} << 31);
  v = negative ? -v : v;
  return std::clamp<int64_t>(v, INT32_MIN, INT32_MAX);
}

void ScrollBar32BitActionProc(tb::ControlRef control, int16_t part) {
  Trampolines::ScrollBar32BitActionProc(control, part);
}

// The zoom slider steps like a value slider, then pans and zooms the view.
// Its reference is the window, not a number field: nothing is written into
// it.
void ScrollBarPan32BitActionProc(tb::ControlRef control, int16_t part) {
  (void)EffectFrame::StepValue(control, part);
  if (gVMKpinmain != nullptr)
    gVMKpinmain->AdjustPanZoom(static_cast<tb::WindowRef>(tb::GetControlReference(control)),
                               static_cast<int16_t>(tb::GetControl32BitValue(control)));
}

bool NumEditKeyFilter(tb::ControlRef, int16_t*, int16_t* charCode, uint32_t*) {
  return VMKpinmainUI::NumEditKey(*charCode);
}

}  // namespace

// ---- file level ----

const char* PinmainProductName(int16_t family) {
  for (const Title& t : kTitles)
    if (t.family == family) return t.product;
  return nullptr;
}

std::string PinmainTitle(int16_t family) {
  const char* product = PinmainProductName(family);
  if (product == nullptr) return {};
  return std::string(product) + " " + kProductVersion + " - " + kMakerWebAddress;
}

bool IsPathlessFamily(int16_t family) {
  switch (family) {
    case 41: case 42: case 92: case 100: case 106: case 114: case 116: return true;
    default: return false;
  }
}

void PinmainLoopHandler(tb::EventLoopTimerRef timer, void* window) { Trampolines::LoopHandler(timer, window); }

OSStatus PinmainWindowEventHandler(tb::EventHandlerCallRef call, tb::EventRef event, void* window) {
  return Trampolines::WindowEventHandler(call, event, window);
}

const tb::EventHandlerProc& GetPinmainWindowEventHandlerUPP() { return Trampolines::WindowEventHandlerUPP(); }

// Digits pass. The editing keys (backspace, delete, the arrows) pass too:
// without them a typing slip could not be taken back.
bool VMKpinmainUI::NumEditKey(int16_t charCode) {
  if (charCode >= '0' && charCode <= '9') return true;
  if (charCode == 8 || charCode == 127 || (charCode >= 28 && charCode <= 31)) return true;
  plat::ui::SysBeep(1);
  return false;
}

// ---- construction ----

VMKpinmainUI::VMKpinmainUI() : EffectFrame(kDesc, nullptr) {
  Trampolines::Claim(this);
  imageWidth = context.width;
  imageHeight = context.height;
  if (void* block = vmkrec::NewScratch(sizeof(DrawPar))) {
    drawPar = new (block) DrawPar{};
    Init_DrawPar(drawPar);
  }
  if (void* block = vmkrec::NewScratch(sizeof(YoxelPar))) {
    display = new (block) YoxelPar{};
    Init_YoxelPar(display, imageWidth, imageHeight, context.resolution, 0, 5);
  }
  // Blocks come zeroed: every plane entry starts empty.
  renders_ = std::make_unique<PreviewWorker>();
  effectPlanes = static_cast<uint8_t**>(vmkrec::NewScratch(sizeof(uint8_t*) * kPlanes));
  sourcePlanes = static_cast<uint8_t**>(vmkrec::NewScratch(sizeof(uint8_t*) * kPlanes));
  BackRestPath(0, &undoRing, nullptr);
  BackRestPath(0, &redoRing, nullptr);
}

VMKpinmainUI::~VMKpinmainUI() {
  // No render finishes into planes that are going.
  previews().Stop();
  StopRenders();
  vmkrec::DeleteScratch(drawPar);
  vmkrec::DeleteScratch(display);
  FreePlanes(effectPlanes, 0, kPlanes - 1);
  FreePlanes(sourcePlanes, 0, kPlanes - 1);
  vmkrec::DeleteScratch(effectPlanes);
  vmkrec::DeleteScratch(sourcePlanes);
  BackRestPath(4, &undoRing, nullptr);
  BackRestPath(4, &redoRing, nullptr);
  if (layerPalette != nullptr) {
    layerPalette->CloseTuneLayWindow();
    delete layerPalette;
  }
  if (pathPalette != nullptr) {
    pathPalette->CloseToolPathWindow();
    delete pathPalette;
  }
  Trampolines::Release(this);
}

bool VMKpinmainUI::ReadyToRun() const {
  return drawPar != nullptr && display != nullptr && effectPlanes != nullptr && sourcePlanes != nullptr &&
         EffectFrame::ReadyToRun();
}

// ---- running the window ----

int16_t VMKpinmainUI::Do_PinmainDlg(int16_t f) {
  plat::ui::SetThemeCursor(plat::ui::kArrowCursor);
  family = f;
  const FrameProcs procs{PinmainLoopHandler,         GetPinmainWindowEventHandlerUPP(), ScrollBar32BitActionProc,
                         ScrollBarPan32BitActionProc, nullptr,                           NumEditKeyFilter};
  if (renders_ == nullptr) renders_ = std::make_unique<PreviewWorker>();
  // The layers are the document's script, which the session's render stores itself.
  RenderOnOk(TakeOkRender());
  const int16_t answer = Run(procs);
  // The window is gone; the palettes stay until the destructor closes them.
  // Renders still on their way find no planes to fill.
  StopRenders();
  window = nullptr;
  return answer;
}

void VMKpinmainUI::PrepareBoxesAndMenus(tb::WindowRef w) {
  window = w;
  PrepareLayPhoMenus();
  // The display record's region is the whole picture.
  const int32_t corners[8] = {0, 0, kWhole, 0, kWhole, kWhole, 0, kWhole};
  std::copy(corners, corners + 8, display->sourceQuad);
  SetNavZoom(10000);
  oneToOne[0] = oneToOne[1] = 0;
  oneToOne[2] = std::min(50000000 / AtLeastOne(imageWidth), kWhole);
  oneToOne[3] = std::min(50000000 / AtLeastOne(imageHeight), kWhole);
  pan[0] = pan[1] = 0;
  pan[2] = pan[3] = kWhole;
  fitFlag = 1;
  VMKimabox* nav = navigator();
  nav->InitBuf(21);
  nav->SetBufParam(0, 0, 0, 0, static_cast<int16_t>(1 - fitFlag), 0, 1, 0, 0, 0, 0, 0, 0);
  nav->SetYoxelPar(display, 2, 3);
  nav->SetBufSSPan(pan[0], pan[1], pan[2], pan[3], 100, 0, 0);
  VMKimabox* main = mainView();
  main->InitBuf(21);
  main->SetBufParam(0, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0);
  main->SetPanBufCoord(pan[0], pan[1], pan[2], pan[3]);
  main->SetOveLay(display->overlayOn, display->overlayIndex, display->overlayOpacity);
  PrepareWindowForDisplay(w);
}

void VMKpinmainUI::InstallOwnControls(const FrameProcs& procs, tb::WindowRef w) {
  tb::ControlRef field = Ctl(kOpacityField);
  tb::SetKeyFilter(field, procs.keys);
  if (tb::ControlRef slider = Ctl(kOpacitySlider)) {
    tb::SetControlReference(slider, field);
    tb::SetControlAction(slider, procs.slider);
  }
  if (tb::ControlRef zoom = Ctl(kZoomSlider)) {
    tb::SetControlReference(zoom, w);
    tb::SetControlAction(zoom, procs.pan);
  }
}

void VMKpinmainUI::BeforeShow(tb::WindowRef w) {
  if (IsPathlessFamily(family)) {
    if (Laye* layer = CurrentLayer(); layer != nullptr && layer->paths != nullptr) {
      delete layer->paths;
      layer->paths = new CPathList(0);
    }
  }
  const std::string title = PinmainTitle(family);
  if (!title.empty()) tb::SetWindowTitle(w, title);
  PrepareBuf(0, nullptr);
  PrepareBuf(1, nullptr);
}

// The layer-stack renders read the picture OK's render replaces, as the previews do.
void VMKpinmainUI::OkRenderRuns(bool running) {
  EffectFrame::OkRenderRuns(running);
  if (running) {
    for (int lane = 0; lane < 2; ++lane) stoppedForOk_[lane] = !lastRender_[lane].expired();
    StopRenders();
    return;
  }
  for (int lane = 0; lane < 2; ++lane)
    if (std::exchange(stoppedForOk_[lane], false)) PrepareBuf(static_cast<int16_t>(lane), nullptr);
}

// ---- commands ----

void VMKpinmainUI::ChannelCommand(uint32_t command, tb::ControlRef source) {
  int16_t words[6] = {0, 0, 0, 0, 0, 0};
  mainView()->GetRGBmode(&words[0], &words[1], &words[2], &words[3], &words[4], &words[5]);
  const int k = command == FourCC("Cred") ? 0 : command == FourCC("Cgre") ? 1 : 2;
  words[k] = tb::GetControl32BitValue(source) != 0 ? static_cast<int16_t>(1 << k) : 0;
  mainView()->SetRGBmode(words[0], words[1], words[2], words[3], words[4], words[5]);
  navigator()->CheckSetRefresh(1);
}

void VMKpinmainUI::OverlayToNavigator() {
  navigator()->SetOveLay(display->overlayOn, display->overlayIndex, display->overlayOpacity);
}

void VMKpinmainUI::ResetNavigator(tb::WindowRef, int16_t frames) {
  VMKimabox* nav = navigator();
  nav->SetBufParam(0, 0, 0, 0, frames, 0, 1, 0, 0, 0, 0, 0, 0);
  nav->SetBufSSPan(pan[0], pan[1], pan[2], pan[3], 100, 0, 0);
  nav->CheckSetRefresh(1);
}

void VMKpinmainUI::ApplyIndex(tb::WindowRef w, int32_t index) {
  curIndex = index;
  curZoom = zoomTable[index];
  tb::SetControl32BitValue(Ctl(kZoomSlider), ZoomSliderPosition(zoomTable, minIndex, midIndex, maxIndex, curZoom));
  SetPanZoom(w, curZoom);
}

// The combined layer file of the current script into the layer scratch
// file; 0, or -1 when it could not be written (the old file then stays).
int16_t VMKpinmainUI::WriteCombinedLayers() {
  DocData* doc = CurrentDocData();
  if (doc == nullptr || doc->script == nullptr || gPer == nullptr) return -1;
  File_kern file(&gPer->layerScratch);
  return doc->script->SaveCombiLay(&file, doc->saveWord, nullptr) == 0 ? 0 : -1;
}

bool VMKpinmainUI::OwnCommand(uint32_t command, tb::ControlRef source, tb::WindowRef w) {
  switch (command) {
    case FourCC("ok  "):
      if (rendersOnOk()) {
        // The session stores the layers and renders them; what it could not do keeps the
        // window open.
        if (!RenderOk(w)) return true;
        result = 1;
      } else {
        // Written even when nothing changed: the road renders from this file,
        // and renders nothing (the road says why) when it would not take them.
        result = WriteCombinedLayers() == 0 ? int16_t{1} : kEffectNotStored;
      }
      tb::QuitAppModalLoopForWindow(w);
      return true;
    case FourCC("canc"):
      // The edits stay in the document's script (the next effect sets it up
      // anew); nothing is rendered.
      result = 0;
      tb::QuitAppModalLoopForWindow(w);
      return true;
    case FourCC("Btun"): OpenOperationEditor(); break;
    case FourCC("Blay"):
      if (layerPalette == nullptr) {
        layerPalette = new VMKtunelay();
        layerPalette->Do_TuneLayDlg(family);
      } else {
        layerPalette->ShowHideTuneLayWindow(2);
      }
      break;
    case FourCC("Bpth"):
      if (pathPalette == nullptr) {
        pathPalette = new VMKtoolpath();
        pathPalette->Do_ToolPathDlg(family);
      } else {
        pathPalette->ShowHideToolPathWindow(2);
      }
      break;
    case FourCC("Bpre"): PrepareBuf(1, nullptr); break;
    case FourCC("Ceff"): showEffect = static_cast<int16_t>(tb::GetControl32BitValue(Ctl(kShowEffect))); break;
    case FourCC("Pcha"): channelShown = static_cast<int16_t>(tb::GetControl32BitValue(Ctl(kChannelPopup))); break;
    case FourCC("Copa"):
      display->overlayOn = tb::GetControl32BitValue(Ctl(kOverlayCheck));
      OverlayToNavigator();
      break;
    case FourCC("Popa"):
      display->overlayIndex = tb::GetControl32BitValue(Ctl(kOverlayPopup));
      OverlayToNavigator();
      break;
    case FourCC("Sopa"):
      // Kept as it stands: the slider's value, not scaled to 0..255.
      display->overlayOpacity = tb::GetControl32BitValue(Ctl(kOpacitySlider));
      OverlayToNavigator();
      break;
    case FourCC("Cred"):
    case FourCC("Cgre"):
    case FourCC("Cblu"): ChannelCommand(command, source); break;
    case FourCC("Span"): DrawWindowContent(w); return true;
    case FourCC("Bdiv"):
      ZoomStep(w, -1);
      return true;
    case FourCC("Bmul"):
      ZoomStep(w, 1);
      return true;
    case FourCC("Bfpa"):
      fitFlag = 1;
      pan[0] = pan[1] = 0;
      pan[2] = pan[3] = kWhole;
      ResetNavigator(w, 0);
      FollowZoom();
      break;
    case FourCC("Bsc1"): {
      // One picture pixel a view pixel, about the middle of the 1:1
      // rectangle: the part the navigator's frame was last left at, or the
      // part the view showed last at any zoom. Taken as it was, a rectangle
      // of another zoom showed that zoom, not 1:1.
      fitFlag = 0;
      curZoom = kOneToOne;
      curIndex = ZoomIndexAbove(zoomTable, minIndex, maxIndex, kOneToOne - 1, curIndex);
      PanAtZoom(PanCentreOf(imageWidth, oneToOne[0], oneToOne[2]), PanCentreOf(imageHeight, oneToOne[1], oneToOne[3]),
                curZoom);
      std::copy(pan, pan + 4, oneToOne);
      tb::SetControl32BitValue(Ctl(kZoomSlider), ZoomSliderPosition(zoomTable, minIndex, midIndex, maxIndex, curZoom));
      ResetNavigator(w, 1);
      FollowZoom();
      break;
    }
    default: return OwnLoadCommand(command);
  }
  refreshFlag = 1;
  return true;
}

// ---- events ----

bool VMKpinmainUI::ReadRGB(const Point& where) {
  tb::ControlRef view = Ctl(kMainView);
  if (view == nullptr) return false;
  const Rect frame = tb::GetControlBounds(view);
  if (where.h < frame.left || where.h >= frame.right || where.v < frame.top || where.v >= frame.bottom) return false;
  mainView()->GetRGBcolfromBuf(0, where.h - frame.left, where.v - frame.top, &readout[0], &readout[1], &readout[2],
                               &readout[3], &readout[4]);
  return true;
}

// The readout under the mouse; the frame then sets the arrow cursor.
bool VMKpinmainUI::OwnEvent(tb::EventRef event, tb::WindowRef, OSStatus*) {
  if (event->eventClass == tb::kEventClassMouse && event->kind == tb::kEventMouseMoved && ReadRGB(event->mouse))
    DrawRGBPicker();
  return false;
}

// ---- showing the state ----

void VMKpinmainUI::DrawRGBPicker() {
  static const char* const kTitles3[3] = {" R %ld", " G %ld", " B %ld"};
  const int32_t ids[3] = {kReadRed, kReadGreen, kReadBlue};
  for (int k = 0; k < 3; ++k) {
    char text[32];
    std::snprintf(text, sizeof text, kTitles3[k], static_cast<long>(readout[k]));
    tb::SetControlTitle(Ctl(ids[k]), text);
  }
}

void VMKpinmainUI::ShowFitControls() {
  const bool fit = fitFlag == 1;
  tb::SetControl32BitValue(Ctl(kFitIndicator), fit ? 1 : 0);
  tb::SetControl32BitValue(Ctl(kOneToOneIndicator), fit ? 0 : 1);
  for (int32_t id : {kZoomSlider, kZoomOut, kZoomIn}) tb::SetControlVisibility(Ctl(id), !fit);
}

// The overlay section: with index 0 (as PrepareLayPhoMenus leaves it) every
// overlay control stays hidden.
void VMKpinmainUI::ShowOverlay() {
  const int32_t index = display->overlayIndex;
  for (int32_t id : {kOverlayGroup, kOverlayCheck, kOverlayPopup, kOpacityLabel, kOpacityField, kOpacitySlider,
                     kOpacityUnit})
    tb::SetControlVisibility(Ctl(id), index != 0);
  if (index == 0) return;
  tb::SetControl32BitValue(Ctl(kOverlayCheck), display->overlayOn);
  tb::SetControl32BitValue(Ctl(kOverlayPopup), index);
  const int32_t percent = PercentOf255(display->overlayOpacity);
  tb::SetControl32BitValue(Ctl(kOpacitySlider), percent);
  if (tb::ControlRef field = Ctl(kOpacityField)) {
    char text[32];
    std::snprintf(text, sizeof text, "%ld", static_cast<long>(percent));
    tb::SetControlText(field, text);
  }
  for (int32_t id : {kOverlayPopup, kOpacityLabel, kOpacityField, kOpacitySlider, kOpacityUnit}) {
    if (display->overlayOn == 0) tb::DisableControl(Ctl(id));
    else tb::EnableControl(Ctl(id));
  }
}

// The zoom the fitted picture is shown at: the table's first entry for a
// picture larger than the view, but a picture smaller than the view is fitted
// into it enlarged, beyond the table's first entry (100 %).
int32_t VMKpinmainUI::FitZoom() const {
  return FittedZoom(previewWidth, previewHeight, imageWidth, imageHeight, zoomTable[minIndex]);
}

void VMKpinmainUI::DrawWindowContent(tb::WindowRef w) {
  const int32_t shown = fitFlag == 1 ? FitZoom() : curZoom;
  char text[32];
  std::snprintf(text, sizeof text, "%3.0f%%", static_cast<double>(static_cast<float>(shown) / 100.0f));
  tb::SetControlText(Ctl(kZoomText), text);
  DrawRGBPicker();
  ShowFitControls();
  ShowOverlay();
  if (IsPathlessFamily(family)) {
    tb::HideControl(Ctl(kPathsButton));
  } else if (CPathList* paths = LayerPaths()) {
    mainView()->SetPathList(paths);
  }
  tb::SetControl32BitValue(Ctl(kChannelPopup), channelShown);
  tb::SetControlVisibility(Ctl(kPathEditIndicator), pathEditFlag == 1);
  if (w != nullptr) tb::DrawControls(w);
  plat::ui::SetThemeCursor(plat::ui::kArrowCursor);
}

// The overlay popup loses its first item (the nib's placeholder) and, with
// no overlay, gets the one item "current"; the section stays hidden.
void VMKpinmainUI::PrepareLayPhoMenus() {
  tb::ControlRef popup = Ctl(kOverlayPopup);
  if (tb::CountMenuItems(popup) > 0) {
    std::vector<std::string> rest;
    for (int32_t i = 2; i <= tb::CountMenuItems(popup); ++i) rest.push_back(tb::GetMenuItemText(popup, i));
    tb::DeleteMenuItems(popup);
    for (const std::string& t : rest) tb::AppendMenuItemText(popup, t);
  }
  display->overlayOpacity = 128;
  display->overlayOn = 0;
  display->overlayIndex = 0;
  if (display->overlayIndex == 0) tb::AppendMenuItemText(popup, "current");
  tb::SetControl32BitMinimum(popup, 1);
  tb::SetControl32BitMaximum(popup, display->overlayIndex);
}

// The field's number as a percentage of 255, not held to 0..255 (kept: the
// field takes only digits); held to 32 bits so that a long row of digits
// cannot overflow. The nib's "50" is the percent of the 128 the overlay
// section starts with, so that value stays until the user types another.
void VMKpinmainUI::GetEditValue() {
  tb::ControlRef field = Ctl(kOpacityField);
  if (field == nullptr) return;
  const auto v = static_cast<int32_t>(LeadingNumber(tb::GetControlText(field)));
  const int64_t opacity = PercentFieldTo255(display->overlayOpacity, v);
  display->overlayOpacity = static_cast<int32_t>(std::clamp<int64_t>(opacity, INT32_MIN, INT32_MAX));
}

// ---- zoom and pan ----

void VMKpinmainUI::SetNavZoom(int32_t minimum) { FillZoomTable(zoomTable, minimum, &minIndex, &midIndex, &maxIndex); }

// The view at `zoom`, moved (not cut) at the picture's border so that a
// picture larger than the view at that zoom fills it (the dialogs' zoom
// arithmetic, which the effect dialogs share).
void PinmainPanAtZoom(int32_t width, int32_t height, int32_t viewW, int32_t viewH, double cx, double cy,
                      int32_t zoom, int32_t pan[4]) {
  ::PanAtZoom(pan, cx, cy, zoom, viewW, viewH, width, height);
}

double PinmainPanCentre(int32_t size, int32_t from, int32_t to) { return PanCentreOf(size, from, to); }

void VMKpinmainUI::PanAtZoom(double cx, double cy, int32_t zoom) {
  PinmainPanAtZoom(imageWidth, imageHeight, viewWidth, viewHeight, cx, cy, zoom, pan);
}

void VMKpinmainUI::SetPanZoom(tb::WindowRef w, int32_t zoom) {
  SetNavZoom(FitScaleOf(viewWidth, viewHeight, imageWidth, imageHeight));
  PanAtZoom(PanCentreOf(imageWidth, pan[0], pan[2]), PanCentreOf(imageHeight, pan[1], pan[3]), zoom);
  navigator()->SetBufSSPan(pan[0], pan[1], pan[2], pan[3], 100, 0, 0);
  navigator()->CheckSetRefresh(1);
  mainView()->SetPanBufCoord(pan[0], pan[1], pan[2], pan[3]);
  mainView()->SetYoxelPar(display, 0, 3);
  DrawWindowContent(w);
}

void VMKpinmainUI::AdjustPanZoom(tb::WindowRef w, int16_t position) {
  const int32_t z = ZoomAtSliderPosition(zoomTable, minIndex, midIndex, maxIndex, position);
  LeaveFit(w);
  curZoom = z;
  // Beyond the last entry the index stays where it was.
  curIndex = ZoomIndexAbove(zoomTable, minIndex, maxIndex, z, curIndex);
  SetPanZoom(w, z);
  FollowZoom();
}

// The steps go from the zoom shown (ZoomStepIndex).
void VMKpinmainUI::ZoomStep(tb::WindowRef w, int direction) {
  const bool fit = fitFlag == 1;
  // Below Fit there is nothing more of the picture to show.
  if (fit && direction < 0) return;
  const int32_t index = ZoomStepIndex(zoomTable, minIndex, maxIndex, fit ? FitZoom() : curZoom, direction);
  LeaveFit(w);
  ApplyIndex(w, index);
  FollowZoom();
}

// A zoom control used at Fit shows the picture zoomed from then on, with the
// navigator's frame.
void VMKpinmainUI::LeaveFit(tb::WindowRef w) {
  if (fitFlag != 1) return;
  fitFlag = 0;
  ResetNavigator(w, 1);
}

// The frame as the user left it (NavigatorFrameZoom): moved, the view
// follows it at the same zoom; resized, at the zoom that shows its part.
void VMKpinmainUI::TakeNavigatorFrame() {
  int32_t frame[4] = {pan[0], pan[1], pan[2], pan[3]};
  navigator()->GetBufSSPan(&frame[0], &frame[1], &frame[2], &frame[3], 0);
  const int32_t zoom = NavigatorFrameZoom(frame, pan, curZoom, viewWidth, viewHeight, imageWidth, imageHeight,
                                          zoomTable[minIndex], zoomTable[maxIndex]);
  if (zoom != curZoom) {
    curZoom = zoom;
    curIndex = ZoomIndexAbove(zoomTable, minIndex, maxIndex, curZoom, curIndex);
    tb::SetControl32BitValue(Ctl(kZoomSlider), ZoomSliderPosition(zoomTable, minIndex, midIndex, maxIndex, curZoom));
  }
  PanAtZoom(PanCentreOf(imageWidth, frame[0], frame[2]), PanCentreOf(imageHeight, frame[1], frame[3]), curZoom);
  // The frame shows what the view shows.
  navigator()->SetBufSSPan(pan[0], pan[1], pan[2], pan[3], 100, 0, 0);
}

// ---- the loop ----

// The window's loop steps, every 0.5 s (and when the load browser asks):
// the palettes' requests, the operation editor's changes, path edits in the
// main view, the refresh, the navigator. The frame draws the state when a
// step says so.
bool VMKpinmainUI::PollTick(tb::WindowRef w) {
  bool changed = TakeLayerRequest();
  FollowOperationEditor();
  if (pathEditFlag == 1) TakePathEdit();
  if (TakePathRequest()) changed = true;
  if (refreshFlag == 1) {
    GetEditValue();
    mainView()->SetOveLay(display->overlayOn, display->overlayIndex, display->overlayOpacity);
    ShowChannel();
    refreshFlag = 0;
    changed = true;
  }
  if (navigator()->CheckSetRefresh(0) == 1) {
    if (fitFlag == 0) {
      TakeNavigatorFrame();
      std::copy(pan, pan + 4, oneToOne);
      mainView()->SetPanBufCoord(pan[0], pan[1], pan[2], pan[3]);
      // The view shows the rectangle the frame was moved to.
      FollowZoom();
    }
    return true;
  }
  (void)w;
  return changed;
}
