#include "dialogs/correction/content_aware_dialog.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "app/core/percent.h"
#include "app/core/text_helpers.h"
#include "app/keyboard.h"
#include "dialogs/correction/effect_dialog_procs.h"
#include "engines/records/param_record.h"
#include "host/session/small_dialogs.h"
#include "platform/toolbox/api/ui_services.h"
#include "raster/mask_brush.h"
#include "views/image_box.h"

namespace tb = plat::tb;

VMKyoxelUI* gVMKyoxel = nullptr;

namespace {

// Raised by Cmd-Z in the number fields; never read (kept).
int16_t flag_restor = 0;

constexpr int32_t kWhole = 100000;
constexpr size_t kWorkBufferBytes = 71680;
constexpr int16_t kBrushCursor = 16007;
constexpr int16_t kEraseCursor = 16008;
constexpr int32_t kFitPixels = 640;

// ---- the record ----

void SetOnView(VMKimabox* view, void* r, int16_t mode, int16_t level) {
  view->SetYoxelPar(static_cast<YoxelPar*>(r), mode, level);
}
int32_t* Words(void* r) { return reinterpret_cast<int32_t*>(static_cast<YoxelPar*>(r)); }

// ---- the window ----

constexpr int32_t kKindPopup = 7;
constexpr int32_t kViewRadio = 8;
constexpr int32_t kProtectReadout = 59;
constexpr int32_t kEraseReadout = 60;
constexpr int32_t kMainView = 10;
constexpr int32_t kZoomIndicator = 20;
constexpr int32_t kValueSlider = 48;
constexpr int32_t kSecondSlider = 49;
constexpr int32_t kUnitPopup = 56;
constexpr int32_t kProtectRadio = 57;
constexpr int32_t kEraseRadio = 58;
constexpr int32_t kAdjustRadio = 63;
constexpr int32_t kBrushRadio = 61;
constexpr int32_t kEraseBrushRadio = 62;
constexpr int32_t kShowProtect = 64;
constexpr int32_t kShowErase = 69;
constexpr int32_t kSourceSize = 67;
constexpr int32_t kTargetSize = 68;
constexpr int32_t kSourceGroup[] = {26, 29, 30, 31, 32, 33, 34, 35, 36};
constexpr int32_t kTargetGroup[] = {37, 40, 41, 42, 43, 44, 45, 46, 47};

constexpr int32_t kLookup[] = {7,  8,  9,  21, 22, 59, 60, 10, 12, 14, 24, 25, 15, 20, 16, 48, 17, 18,
                               49, 19, 26, 29, 30, 31, 32, 33, 34, 35, 36, 37, 40, 41, 42, 43, 44, 45,
                               46, 47, 50, 51, 52, 53, 54, 55, 56, 57, 58, 63, 61, 62, 64, 69, 67, 68};
static_assert(std::size(kLookup) == 54);

// The rectangle fields in the order they are read: the quad (0 source, 1
// target), the axis and the edge (0 left or top, 1 right or bottom).
struct EdgeField {
  int32_t field;
  int16_t quad;
  bool x;
  int16_t edge;
};
constexpr EdgeField kEdges[] = {{31, 0, true, 0},  {34, 0, true, 1},  {32, 0, false, 0}, {36, 0, false, 1},
                                {42, 1, true, 0},  {45, 1, true, 1},  {43, 1, false, 0}, {47, 1, false, 1}};

// Only these five: no keyboard, menu, resize or zoom events.
constexpr tb::EventTypeSpec kEvents[] = {{tb::kEventClassCommand, tb::kEventCommandProcess},
                                         {tb::kEventClassMouse, tb::kEventMouseMoved},
                                         {tb::kEventClassTextInput, tb::kEventTextInputFilterText},
                                         {tb::kEventClassControl, tb::kEventControlTrack},
                                         {tb::kEventClassWindow, tb::kEventWindowDrawContent}};

}  // namespace

const EffectRecordOps kYoxelRecordOps = {
    // The record lives in the dialog's holder: the frame takes no blocks.
    {0, nullptr, nullptr, nullptr}, SetOnView, Words,
    2, 3,                   // image width, height
    5, 6, 7,                // overlay on, index, opacity
    10, 14, 12, 16,         // the source quad's corner 1 and corner 3
};

namespace {

constexpr EffectDialogDesc kDesc{
    .window = "Yoxelmain", .signature = FourCC("Yoxl"), .viewKey = "yoxl", .effect = 101, .presetType = 0,
    .record = &kYoxelRecordOps, .lookup = kLookup,
    .ids = {.mainView = kMainView, .fitIndicator = 15, .zoomIndicator = kZoomIndicator, .zoomSlider = 14,
            .zoomText = 12, .zoomOut = 24, .zoomIn = 25, .readout = {9, 21, 22}, .overlayGroup = 50,
            .overlayCheck = 54, .overlayPopup = 51, .overlayMore = {52, -1}, .opacitySlider = 55,
            .opacityEdit = 53},
    .loopInterval = 0.5,
    .typingPush = 1.0,
    // No 2.0 s pushes: value sliders, fit and 1:1 leave the tick where it is.
    .sliderPush = 0.0,
    .fitPush = 0.0,
    .oneToOnePush = 0.0,
    .squareOneToOne = false,
    .navPanTag = 0,
    .bufMode = 21,
    .navFrameFollowsFit = true,
    .events = kEvents,
    .fitPixels = kFitPixels,
    .drawingParameters = false,
    .refreshAtOpen = false};

using Trampolines = EffectDialogTrampolines<gVMKyoxel>;

// The file's own names of the shared live actions and key filter.
void ScrollBar32BitActionProc(tb::ControlRef control, int16_t part) {
  Trampolines::ScrollBar32BitActionProc(control, part);
}
void ScrollBarPan32BitActionProc(tb::ControlRef control, int16_t part) {
  Trampolines::ScrollBarPan32BitActionProc(control, part);
}
bool NumEditKeyFilter(tb::ControlRef control, int16_t* keyCode, int16_t* charCode, uint32_t* modifiers) {
  return Trampolines::NumEditKeyFilter(control, keyCode, charCode, modifiers);
}

// A decimal number as the field holds it; text that is no number reads 0.
// Held within a billion either way, so the unit conversion's float never
// leaves the 32-bit range.
double FieldDouble(tb::ControlRef field) {
  const std::string text = tb::GetControlText(field);
  const char* p = text.c_str();
  while (*p == ' ' || *p == '\t') ++p;
  double v = 0.0;
  if (std::from_chars(p, text.c_str() + text.size(), v).ec != std::errc()) v = 0.0;
  return std::clamp(v, -1.0e9, 1.0e9);
}

std::string Format(const char* format, long value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

int32_t AtLeastOne(int32_t v) { return v > 0 ? v : 1; }

// The file specification of the load and save commands: their modes ask
// the user, so what it names is never read (the work buffer's first bytes
// in the dialog's design).
FSSpec AskedSpec() { return FSSpec{}; }

void SetQuadWhole(int32_t* q) {
  static constexpr int32_t kWholeQuad[8] = {0, kWhole, kWhole, 0, 0, 0, kWhole, kWhole};
  std::copy(kWholeQuad, kWholeQuad + 8, q);
}

void Show(tb::ControlRef c, bool on) { tb::SetControlVisibility(c, on); }
void Enable(tb::ControlRef c, bool on) {
  if (on) tb::EnableControl(c);
  else tb::DisableControl(c);
}

}  // namespace

void YoxelLoopHandler(tb::EventLoopTimerRef timer, void* window) { Trampolines::LoopHandler(timer, window); }

OSStatus YoxelWindowEventHandler(tb::EventHandlerCallRef call, tb::EventRef event, void* window) {
  return Trampolines::WindowEventHandler(call, event, window);
}

const tb::EventHandlerProc& GetYoxelWindowEventHandlerUPP() { return Trampolines::WindowEventHandlerUPP(); }

// ---- construction ----

VMKyoxelUI::VMKyoxelUI() : EffectDialog(kDesc, &flag_restor) {
  Trampolines::Claim(this);
  flag_restor = 0;
  holder = new (std::nothrow) Yoxel();
  if (holder != nullptr && holder->par != nullptr) {
    edit = holder->par;
    Init_YoxelPar(editRecord(), context.width, context.height, context.resolution, 0, 5);
    Init_YoxelMsk(editRecord(), 0);
  }
  workBuffer = static_cast<char*>(vmkrec::NewScratch(kWorkBufferBytes));
  // The 1:1 view shows 640 picture pixels across and down.
  SetOneToOne(context.width, context.height);
  // The two values change meaning with the kind and with painting: a page
  // each, shown by DrawOwnContent.
  rows_ = {
      {FourCC("Snoi"), kValueSlider, 17, 0, 100, kNoise, ValueRow::kSlider, ValueRow::kWord, kResizePage, 16,
       "Noise:"},
      {FourCC("Ssha"), kSecondSlider, 19, 0, 100, kSharpness, ValueRow::kSlider, ValueRow::kWord, kResizePage, 18,
       "Sharp:"},
      {FourCC("Snoi"), kValueSlider, 17, 0, 100, kLinear, ValueRow::kSlider, ValueRow::kWord, kContentPage, 16,
       "Linear:"},
      {FourCC("Ssha"), kSecondSlider, 19, 0, 100, kAdjust, ValueRow::kSlider, ValueRow::kWord, kContentPage, 18,
       "Adjust:"},
      {FourCC("Snoi"), kValueSlider, 17, 0, 150, kBrushSize, ValueRow::kSlider, ValueRow::kWord, kBrushPage, 16,
       "Brush:"},
  };
  page = kResizePage;
}

// The holder frees the record and both masks; the base stops the timer only
// when one was installed.
VMKyoxelUI::~VMKyoxelUI() {
  previews().Stop();
  edit = nullptr;
  delete holder;
  holder = nullptr;
  vmkrec::DeleteScratch(workBuffer);
  Trampolines::Release(this);
}

int16_t VMKyoxelUI::UndoRequest() { return flag_restor; }

bool VMKyoxelUI::ReadyToRun() const {
  return edit != nullptr && workBuffer != nullptr && EffectDialog::ReadyToRun();
}

void VMKyoxelUI::GetYoxelPar(YoxelPar* out) {
  if (edit != nullptr && out != nullptr) Copy_YoxelPar(editRecord(), out);
}

// A record whose mask size its masks cannot hold (a script's record carries
// no masks, only their size) keeps the dialog's own masks and their size:
// every copy of the masks reads that many samples.
void VMKyoxelUI::SetYoxelPar(YoxelPar* in) {
  if (edit == nullptr || in == nullptr) return;
  YoxelPar* r = editRecord();
  const int32_t width = r->maskWidth, height = r->maskHeight;
  Copy_YoxelPar(in, r);
  const int64_t need = static_cast<int64_t>(r->maskWidth) * r->maskHeight;
  for (const int16_t* mask : {r->protectMask, r->removeMask}) {
    const int64_t bytes = plat::GetPtrSize(mask);
    if (r->maskWidth <= 0 || r->maskHeight <= 0 || mask == nullptr || bytes < 0 || bytes / 2 < need) {
      r->maskWidth = width;
      r->maskHeight = height;
      break;
    }
  }
}

// ---- running the window ----

// The temporary file of the last accepted run is named before the window.
int16_t VMKyoxelUI::Do_YoxelDlg() {
  if (MakersFolderItem(":tmpvmkyxl.hyx", &tempFile)) tempFile.type = FourCC("hYxl");
  return Run({YoxelLoopHandler, GetYoxelWindowEventHandlerUPP(), ScrollBar32BitActionProc,
              ScrollBarPan32BitActionProc, nullptr, NumEditKeyFilter});
}

int16_t VMKyoxelUI::TempFile(int16_t mode) {
  if (tempFile.name[0] == 0) return -1;
  YoxelPar* r = editRecord();
  return Do_AYoxel_file(mode, SpecOf(tempFile), r, 1, r->maskWidth, r->maskHeight, r->protectMask, r->removeMask);
}

void VMKyoxelUI::PrepareBoxesAndMenus(tb::WindowRef) {
  LoadLayPhoMenus();
  SetUpViews();
}

// The navigator, then the main view with its masks and the source and
// target quads as pan frames 0 and 1.
void VMKyoxelUI::SetUpViews() {
  VMKimabox* nav = navigator();
  VMKimabox* main = mainView();
  YoxelPar* r = editRecord();
  nav->InitBuf(21);
  if (viewState == 1) ToView(nav, 2);
  NavDisplayMode(fitFlag == 0 ? 1 : 0);
  nav->SetBufSSPan(pan[0], pan[1], pan[2], pan[3], 100, 0, 0);
  main->InitBuf(21);
  main->InitBufMsk(1000, 1000, 3);
  MainDisplayMode(viewState == 1 ? 3 : 2);
  PanToMain();
  main->SetOveLay(r->overlayOn, r->overlayIndex, r->overlayOpacity);
  ToMain(0);
  main->SetBufSSPan(r->sourceQuad[0], r->sourceQuad[4], r->sourceQuad[2], r->sourceQuad[6], 100, 0, 1);
  main->SetBufSSPan(r->targetQuad[0], r->targetQuad[4], r->targetQuad[2], r->targetQuad[6], 100, 1, 1);
  main->SetMskBuf(0, r->maskWidth, r->maskHeight, reinterpret_cast<char*>(r->protectMask),
                  reinterpret_cast<char*>(r->removeMask));
}

// The pan and zoom of the pattern, then the settings of the last accepted
// run: they replace the record; a missing or unreadable file leaves it.
// The views were set up with the record as it came, so a read file's masks
// and rectangles go to the main view too and the views show what was read:
// without that, the first paint stroke or rectangle drag took the old masks
// and rectangles back from the view over the ones just read.
void VMKyoxelUI::BeforeShow(tb::WindowRef window) {
  EffectDialog::BeforeShow(window);
  if (TempFile(2) != 0) return;
  YoxelPar* r = editRecord();
  mainView()->SetMskBuf(0, r->maskWidth, r->maskHeight, reinterpret_cast<char*>(r->protectMask),
                        reinterpret_cast<char*>(r->removeMask));
  QuadFrames(0);
  RefreshNavDisplay();
  PanToMain();
  ToMain(MainPreviewMode());
}

// ---- the views ----

void VMKyoxelUI::ToMain(int16_t mode) { ToView(mainView(), mode); }

void VMKyoxelUI::MainDisplayMode(int16_t frames) {
  ImaboxParam p;
  mainView()->InitBufParam(&p);
  p.panFrameSet = frames;
  mainView()->CopyBufParam(&p);
}

void VMKyoxelUI::NavDisplayMode(int16_t frames) {
  ImaboxParam p;
  navigator()->InitBufParam(&p);
  p.panFrameSet = frames;
  navigator()->CopyBufParam(&p);
}

// Pan frames `first` to 2 from the source, target and third quads' corners 1
// and 3.
void VMKyoxelUI::QuadFrames(int16_t first) {
  YoxelPar* r = editRecord();
  const int32_t* quads[3] = {r->sourceQuad, r->targetQuad, r->middleQuad};
  for (int16_t k = first; k < 3; ++k)
    mainView()->SetBufSSPan(quads[k][0], quads[k][4], quads[k][2], quads[k][6], 100, k, 1);
}

void VMKyoxelUI::RefreshNavDisplay() {
  YoxelPar* r = editRecord();
  if (viewState == 1) {
    ToView(navigator(), 2);
    return;
  }
  VMKimabox* main = mainView();
  // The whole picture, fitted, whatever the view shows: the callers put the
  // view's own pan and zoom back.
  main->SetPanBufCoord(0, 0, kWhole, kWhole);
  main->SetShownZoom(0);
  main->SetOveLay(r->overlayOn, r->overlayIndex, r->overlayOpacity);
  // The navigator takes the whole picture's render when it is complete; the
  // main view's own preview, asked for next, replaces nothing there.
  main->RenderAside([this](const vmkviews::PreviewJob& job) { FillNavigator(job); }, [this] { ToMain(1); });
}

// The render of the whole picture scaled down into the navigator, as the
// main view's GetBufRGB samples its display; on a denser screen at the
// navigator's device pixels (the render came at the same density).
void VMKyoxelUI::FillNavigator(const vmkviews::PreviewJob& job) {
  VMKimabox* nav = navigator();
  const int32_t w = nav->GetRectSizx(), h = nav->GetRectSizy();
  const int32_t ew = nav->GetEffWidth(), eh = nav->GetEffHeight();
  if (w <= 0 || h <= 0 || ew <= 0 || eh <= 0) return;
  const int32_t k = std::max<int32_t>(nav->backingScale(), 1);
  const int64_t n = static_cast<int64_t>(w) * k * h * k;
  plat::Block<uint8_t> red(n, WorkSource()), green(n, WorkSource()), blue(n, WorkSource());
  if (!red || !green || !blue) return;
  VMKimabox::GetJobRGB(job, w * k, red.get(), green.get(), blue.get(), std::min(ew, w) * k, std::min(eh, h) * k);
  nav->SetFineBufRGB(k, 0, 0, ew, eh, w, h, red.get(), green.get(), blue.get(), nullptr, 255, 0);
}

// ---- the loop ----

bool VMKyoxelUI::Painting() {
  const int32_t mode = Word(kMaskMode);
  return Word(kKind) == 8 && (mode == 1 || mode == 2);
}

int16_t VMKyoxelUI::CurrentPage() {
  if (Word(kKind) != 8) return kResizePage;
  return Painting() ? kBrushPage : kContentPage;
}

// The fields in their order: the page's two values, the overlay opacity,
// then the rectangles.
void VMKyoxelUI::GetEditValue() {
  page = CurrentPage();
  EffectDialog::GetEditValue();
  ReadRectangles();
}

// Each edge in pixels of the unit, then in 1/100000 of the picture, held to
// the picture and to its opposite edge, written into both corners on its
// side: the quad stays an upright rectangle.
void VMKyoxelUI::ReadRectangles() {
  YoxelPar* r = editRecord();
  int32_t* quads[2] = {r->sourceQuad, r->targetQuad};
  for (const EdgeField& e : kEdges) {
    tb::ControlRef field = Ctl(e.field);
    if (field == nullptr) continue;
    int32_t pixels = 0;
    pixfromunit(&pixels, unit, static_cast<float>(FieldDouble(field)), static_cast<float>(r->imageResolution));
    const int32_t size = AtLeastOne(e.x ? r->imageWidth : r->imageHeight);
    auto v = static_cast<int32_t>(static_cast<double>(pixels) * kWhole / size + 0.5);
    v = std::min(v, kWhole);
    int32_t* q = quads[e.quad];
    const int32_t base = e.x ? 0 : 4;
    const int32_t low = q[base], high = q[base + 2];  // corner 1 and corner 3
    if (e.edge == 0) {
      v = v < 0 ? 0 : std::min(v, high);
      if (e.x) q[0] = q[3] = v;
      else q[4] = q[5] = v;
    } else {
      v = v < 0 ? 0 : std::max(v, low);
      if (e.x) q[1] = q[2] = v;
      else q[6] = q[7] = v;
    }
  }
}

// Step 1 of the tick: the quads as pan frames (the source only in the
// source view), the navigator, then the record to the main view.
void VMKyoxelUI::ShowPreview() {
  YoxelPar* r = editRecord();
  QuadFrames(viewState == 1 ? 0 : 1);
  RefreshNavDisplay();
  PanToMain();
  mainView()->SetOveLay(r->overlayOn, r->overlayIndex, r->overlayOpacity);
  ToMain(MainPreviewMode());
}

// Step 3: the quads moved in the main view, and the mask being painted,
// back into the record. Only corners 1 and 3 come back (kept: the view's
// frames are upright rectangles).
void VMKyoxelUI::MainViewEdited() {
  YoxelPar* r = editRecord();
  int32_t* quads[3] = {r->sourceQuad, r->targetQuad, r->middleQuad};
  VMKimabox* main = mainView();
  const int16_t first = viewState == 1 ? 0 : 1;
  for (int16_t k = first; k < 3; ++k) main->GetBufSSPan(&quads[k][0], &quads[k][4], &quads[k][2], &quads[k][6], k);
  if (viewState == 1) {
    if (r->dialogSettings[0] == 1)
      main->GetMskBuf(0, r->maskWidth, r->maskHeight, reinterpret_cast<char*>(r->protectMask), nullptr);
    if (r->dialogSettings[0] == 2)
      main->GetMskBuf(0, r->maskWidth, r->maskHeight, nullptr, reinterpret_cast<char*>(r->removeMask));
  }
  RefreshNavDisplay();
  PanToMain();
  ToMain(MainPreviewMode());
}

// ---- showing the state ----

void VMKyoxelUI::DrawOwnContent(tb::WindowRef window) {
  ShowKind(window);
  page = CurrentPage();
  ShowRectangles();
  ShowViewState();
}

// Steps 1 and 2: what the kind and the painting show.
void VMKyoxelUI::ShowKind(tb::WindowRef) {
  VMKimabox* main = mainView();
  const int32_t kind = Word(kKind);
  const int32_t mode = Word(kMaskMode);
  const int16_t resultFrames = Word(kRemoval) == 1 ? 4 : 2;
  const bool kind8 = kind == 8;
  for (int32_t id : {kShowProtect, kShowErase}) {
    Show(Ctl(id), kind8);
    if (kind8) tb::EnableControl(Ctl(id));
  }
  for (int32_t id : {kAdjustRadio, kProtectRadio, kEraseRadio, kProtectReadout, kEraseReadout}) Show(Ctl(id), kind8);
  if (!kind8) {
    tb::SetControl32BitValue(Ctl(kKindPopup), ItemOfWord(kind));
    for (int32_t id : {kBrushRadio, kEraseBrushRadio}) Show(Ctl(id), false);
    Show(Ctl(kZoomIndicator), true);
    tb::EnableControl(Ctl(kViewRadio));
    Word(kMaskMode) = 0;
    main->SetMskMod(0);
    MainDisplayMode(viewState == 1 ? 3 : resultFrames);
    return;
  }
  tb::SetControl32BitValue(Ctl(kKindPopup), ItemOfWord(Word(kRemoval), 9));
  tb::SetControl32BitValue(Ctl(kAdjustRadio), mode == 0 ? 1 : 0);
  tb::SetControl32BitValue(Ctl(kProtectRadio), mode == 1 ? 1 : 0);
  tb::SetControl32BitValue(Ctl(kEraseRadio), mode == 2 ? 1 : 0);
  if (mode == 1 || mode == 2) {
    const int32_t direction = Word(kBrushDirection);
    for (int32_t id : {kBrushRadio, kEraseBrushRadio}) Show(Ctl(id), true);
    tb::SetControl32BitValue(Ctl(kBrushRadio), direction == 0 ? 1 : 0);
    tb::SetControl32BitValue(Ctl(kEraseBrushRadio), direction == 1 ? 1 : 0);
    Show(Ctl(kZoomIndicator), true);
    viewState = 1;
    tb::DisableControl(Ctl(kViewRadio));
    MainDisplayMode(0);
    main->SetBruMod(Word(kBrushSize), Word(kBrushWord2), Word(kBrushWord3), direction);
  } else if (mode == 0) {
    for (int32_t id : {kBrushRadio, kEraseBrushRadio}) Show(Ctl(id), false);
    // Kept: the whole picture, fitted, at every redraw of this kind.
    FitWhole();
    Show(Ctl(kZoomIndicator), false);
    tb::EnableControl(Ctl(kViewRadio));
    MainDisplayMode(viewState == 1 ? 3 : resultFrames);
  }
  main->SetMskMod(mode);
}

// Fit flag 1, the pan over the whole picture, and the navigator without
// its frame showing it.
void VMKyoxelUI::FitWhole() {
  fitFlag = 1;
  pan[0] = pan[1] = 0;
  pan[2] = pan[3] = kWhole;
  NavDisplayMode(0);
  navigator()->SetBufSSPan(pan[0], pan[1], pan[2], pan[3], 100, 0, 0);
}

// Steps 3 and 4: the rectangles in the unit, and the size of their RGB data.
void VMKyoxelUI::ShowRectangles() {
  YoxelPar* r = editRecord();
  const int32_t* quads[2] = {r->sourceQuad, r->targetQuad};
  for (const EdgeField& e : kEdges) {
    const int32_t* q = quads[e.quad];
    const int32_t unitValue = q[(e.x ? 0 : 4) + (e.edge == 0 ? 0 : 2)];
    const int32_t size = e.x ? r->imageWidth : r->imageHeight;
    const auto pixels = static_cast<int32_t>(static_cast<double>(unitValue) * size / 100000.0 + 0.5);
    float value = 0.0f;
    valfromunit(pixels, unit, &value, static_cast<float>(r->imageResolution));
    char text[64];
    std::snprintf(text, sizeof text, unit == 1 ? "%4.0f" : "%4.2f", static_cast<double>(value));
    tb::SetControlText(Ctl(e.field), text);
  }
  const int32_t labels[2] = {kSourceSize, kTargetSize};
  for (int k = 0; k < 2; ++k) {
    const int32_t* q = quads[k];
    const int64_t pw = static_cast<int64_t>(q[2] - q[0]) * r->imageWidth / kWhole;
    const int64_t ph = static_cast<int64_t>(q[6] - q[4]) * r->imageHeight / kWhole;
    tb::SetControlTitle(Ctl(labels[k]), Format("Size : %ld Mb", static_cast<long>(pw * ph * 3 / 1048576)));
  }
}

// Step 6: the source rectangle can be edited only in the source view.
void VMKyoxelUI::ShowViewState() {
  tb::SetControl32BitValue(Ctl(kViewRadio), viewState == 1 ? 1 : 2);
  for (int32_t id : kSourceGroup) Enable(Ctl(id), viewState == 1);
  for (int32_t id : kTargetGroup) tb::EnableControl(Ctl(id));
}

void VMKyoxelUI::DrawRGBPEPicker() {
  static const char* const kTitles[5] = {" R %ld", " G %ld", " B %ld", " Pro %ld", " Era %ld"};
  const int32_t ids[5] = {9, 21, 22, kProtectReadout, kEraseReadout};
  for (int k = 0; k < 5; ++k) tb::SetControlTitle(Ctl(ids[k]), Format(kTitles[k], readouts[k]));
}

// ---- events ----

// The readouts under the pointer, and over the main view while painting the
// brush's outline and its cursor. Passed on in every case; the timer is
// left alone.
bool VMKyoxelUI::OwnEvent(tb::EventRef event, tb::WindowRef, OSStatus* status) {
  if (event->eventClass != tb::kEventClassMouse || event->kind != tb::kEventMouseMoved) return false;
  *status = tb::eventNotHandledErr;
  ReadPointer(event->mouse);
  return true;
}

void VMKyoxelUI::ReadPointer(const Point& where) {
  tb::ControlRef view = Ctl(kMainView);
  const Rect frame = tb::GetControlBounds(view);
  const bool inside = view != nullptr && where.h >= frame.left && where.h < frame.right && where.v >= frame.top &&
                      where.v < frame.bottom;
  if (!inside) {
    plat::ui::SetThemeCursor(plat::ui::kArrowCursor);
    return;
  }
  const int32_t x = where.h - frame.left, y = where.v - frame.top;
  VMKimabox* main = mainView();
  main->GetRGBcolfromBuf(0, x, y, &readouts[0], &readouts[1], &readouts[2], &readouts[5], &readouts[6]);
  // The masks are read at the same view point as the colour: the box takes
  // view points for both.
  main->GetMskcolfromBuf(x, y, &readouts[4], &readouts[3]);
  DrawRGBPEPicker();
  if (Word(kMaskMode) == 0) {
    plat::ui::SetThemeCursor(plat::ui::kArrowCursor);
    return;
  }
  main->DrawBruShape(view, 1, where.h, where.v);
  plat::ui::SetResourceCursor(Word(kBrushDirection) == 0 ? kBrushCursor : kEraseCursor);
}

// ---- commands ----

bool VMKyoxelUI::OwnCommand(uint32_t command, tb::ControlRef source, tb::WindowRef window) {
  switch (command) {
    case FourCC("ok  "):
      // A value typed since the last tick counts.
      if (refresh() == 1) GetEditValue();
      ResetView(window);
      (void)TempFile(3);
      result = 1;
      tb::QuitAppModalLoopForWindow(window);
      return true;
    case FourCC("canc"):
      ResetView(window);
      result = 0;
      tb::QuitAppModalLoopForWindow(window);
      return true;
    case FourCC("Rprv"):
      viewState = static_cast<int16_t>(tb::GetControl32BitValue(Ctl(kViewRadio)));
      MainDisplayMode(viewState == 1 ? 3 : (Word(kRemoval) == 1 ? 4 : 2));
      StalePreviews();
      refresh() = 1;
      return true;
    case FourCC("Pknd"): KindCommand(window); return true;
    case FourCC("Badj"): AdjustCommand(window); return true;
    case FourCC("Bpro"): MaskCommand(1, window); return true;
    case FourCC("Bera"): MaskCommand(2, window); return true;
    case FourCC("Bbra"):
    case FourCC("Bbrd"):
      Word(kBrushDirection) = command == FourCC("Bbra") ? 0 : 1;
      mainView()->SetBruMod(Word(kBrushSize), Word(kBrushWord2), Word(kBrushWord3), Word(kBrushDirection));
      DrawWindowContent(window);
      return true;
    case FourCC("Snoi"):
    case FourCC("Ssha"): ValueCommand(command, source, window); return true;
    case FourCC("Bcol"): ColourCommand(); return true;
    case FourCC("Cpro"):
    case FourCC("Cera"): MaskViewCommand(command, source); return true;
    case FourCC("Bres"):
      ResetCommand();
      DrawWindowContent(window);
      StalePreviews();
      refresh() = 1;
      return true;
    case FourCC("Bloa"): LoadCommand(window); return true;
    case FourCC("Bsav"): SaveCommand(); return true;
    case FourCC("Puni"):
      unit = static_cast<int16_t>(tb::GetControl32BitValue(Ctl(kUnitPopup)));
      DrawWindowContent(window);
      return true;
    case FourCC("Sopa"):
      Word(kYoxelRecordOps.overlayOpacity) = static_cast<int32_t>(PercentFieldTo255(
          Word(kYoxelRecordOps.overlayOpacity), tb::GetControl32BitValue(Ctl(kDesc.ids.opacitySlider))));
      DrawWindowContent(window);
      StalePreviews();
      refresh() = 1;
      return true;
    default: break;
  }
  return CopyCommand(command, window) || ChoiceCommand(command);
}

// 'ok  ' and 'canc': the fitted result view over the whole picture.
void VMKyoxelUI::ResetView(tb::WindowRef window) {
  YoxelPar* r = editRecord();
  fitFlag = 1;
  viewState = 2;
  pan[0] = pan[1] = 0;
  pan[2] = pan[3] = kWhole;
  VMKimabox* main = mainView();
  main->SetBufSSPan(r->targetQuad[0], r->targetQuad[4], r->targetQuad[2], r->targetQuad[6], 100, 1, 1);
  RefreshNavDisplay();
  PanToMain();
  main->SetOveLay(r->overlayOn, r->overlayIndex, r->overlayOpacity);
  ToMain(1);
  DrawWindowContent(window);
  refresh() = 1;
}

// Items 1 to 8 the resampling kinds, 9 the content-aware kind, 10 the same
// as a removal over the whole picture.
void VMKyoxelUI::KindCommand(tb::WindowRef window) {
  YoxelPar* r = editRecord();
  const int32_t item = tb::GetControl32BitValue(Ctl(kKindPopup));
  Word(kKind) = item - 1;
  Word(kRemoval) = 0;
  if (item == 10) {
    Word(kKind) = 8;
    Word(kRemoval) = 1;
    SetQuadWhole(r->sourceQuad);
    SetQuadWhole(r->targetQuad);
  }
  Word(kMaskMode) = 0;
  if (item == 9 || item == 10) {
    viewState = 2;
    MainDisplayMode(2);
    mainView()->SetMskMod(0);
    FitWhole();
    navigator()->CheckSetRefresh(1);
  }
  DrawWindowContent(window);
  StalePreviews();
  refresh() = 1;
}

void VMKyoxelUI::AdjustCommand(tb::WindowRef window) {
  Word(kMaskMode) = 0;
  FitWhole();
  navigator()->CheckSetRefresh(1);
  viewState = 2;
  MainDisplayMode(Word(kRemoval) == 1 ? 4 : 2);
  mainView()->SetMskMod(0);
  DrawWindowContent(window);
  StalePreviews();
  refresh() = 1;
}

// 'Bpro' (1) and 'Bera' (2): with Option alone, the mask options first.
void VMKyoxelUI::MaskCommand(int16_t mode, tb::WindowRef window) {
  if (TestKeyModif(optionKey) == 1) MaskOptions(mode);
  Word(kMaskMode) = mode;
  mainView()->SetMskMod(mode);
  DrawWindowContent(window);
  StalePreviews();
  refresh() = 1;
}

// Choice 1 clears, 2 inverts (and for one mask sets its strength), 3 sets
// the strength; `which` 1 the protect mask, 2 the erase mask, 3 both.
void VMKyoxelUI::MaskOptions(int16_t which) {
  auto library = std::make_unique<VMKlibr>();
  int16_t choice = 3, value = 3;
  if (library->Do_MaskOptDlg(&choice, &value) != 1) return;
  YoxelPar* r = editRecord();
  const int32_t w = r->maskWidth, h = r->maskHeight;
  int16_t* masks[2] = {r->protectMask, r->removeMask};
  int32_t* strengths[2] = {&r->protectWeight, &r->removeWeight};
  for (int k = 0; k < 2; ++k) {
    if ((which & (k + 1)) == 0) continue;
    if (choice == 1) X_Color_Msk(w, h, masks[k], 0);
    if (choice == 2) X_Invert_Msk(w, h, masks[k]);
    if (choice == 3 || (choice == 2 && which != 3)) *strengths[k] = value;
  }
  if (choice != 1 && choice != 2) return;
  mainView()->SetMskBuf(0, w, h, (which & 1) != 0 ? reinterpret_cast<char*>(r->protectMask) : nullptr,
                        (which & 2) != 0 ? reinterpret_cast<char*>(r->removeMask) : nullptr);
}

// The first slider: noise, linear or the brush size; the second: sharpness
// or adjust, nothing while painting.
void VMKyoxelUI::ValueCommand(uint32_t command, tb::ControlRef source, tb::WindowRef window) {
  const int32_t value = tb::GetControl32BitValue(source);
  const bool first = command == FourCC("Snoi");
  if (Word(kKind) != 8) {
    Word(first ? kNoise : kSharpness) = value;
  } else if (!Painting()) {
    Word(first ? kLinear : kAdjust) = value;
  } else if (first) {
    Word(kBrushSize) = value;
    mainView()->SetBruMod(Word(kBrushSize), Word(kBrushWord2), Word(kBrushWord3), Word(kBrushDirection));
  }
  DrawWindowContent(window);
  StalePreviews();
  refresh() = 1;
}

// Edits the four colour options in place; the answer is not looked at
// (kept).
void VMKyoxelUI::ColourCommand() {
  refresh() = 1;
  int16_t options[4];
  for (int k = 0; k < 4; ++k) options[k] = static_cast<int16_t>(Word(kColourOptions + k));
  auto library = std::make_unique<VMKlibr>();
  (void)library->Do_ColorOptDlg(&options[0], &options[1], &options[2], &options[3]);
  for (int k = 0; k < 4; ++k) Word(kColourOptions + k) = options[k];
  StalePreviews();
}

// Whether the main view tints by the protect ('Cpro') or the erase mask
// ('Cera'); the navigator is not touched.
void VMKyoxelUI::MaskViewCommand(uint32_t command, tb::ControlRef source) {
  int16_t words[6] = {0, 0, 0, 0, 0, 0};
  mainView()->GetRGBmode(&words[0], &words[1], &words[2], &words[3], &words[4], &words[5]);
  const bool on = tb::GetControl32BitValue(source) != 0;
  if (command == FourCC("Cpro")) words[4] = static_cast<int16_t>(on ? 16 : 0);
  else words[5] = static_cast<int16_t>(on ? 32 : 0);
  mainView()->SetRGBmode(words[0], words[1], words[2], words[3], words[4], words[5]);
  refresh() = 1;
}

// Every value back to its default for the document, the masks kept; with
// Option alone, the mask options for both masks.
void VMKyoxelUI::ResetCommand() {
  Init_YoxelPar(editRecord(), context.width, context.height, context.resolution, 2, Word(kKind));
  if (TestKeyModif(optionKey) == 1) MaskOptions(3);
}

// The user picks the file. A failed load (cancelled or unreadable) still
// hands the masks to the view and refreshes (kept).
void VMKyoxelUI::LoadCommand(tb::WindowRef window) {
  YoxelPar* r = editRecord();
  if (Do_AYoxel_file(0, AskedSpec(), r, 1, r->maskWidth, r->maskHeight, r->protectMask, r->removeMask) == 0)
    DrawWindowContent(window);
  mainView()->SetMskBuf(0, r->maskWidth, r->maskHeight, reinterpret_cast<char*>(r->protectMask),
                        reinterpret_cast<char*>(r->removeMask));
  StalePreviews();
  refresh() = 1;
}

void VMKyoxelUI::SaveCommand() {
  YoxelPar* r = editRecord();
  (void)SavePreset([&] {
    return Do_AYoxel_file(1, AskedSpec(), r, 1, r->maskWidth, r->maskHeight, r->protectMask, r->removeMask);
  });
}

// 'Pcr0' the target takes the source, 'Pcr1' the other way round, 'Pcr2' a
// percentage of the source.
bool VMKyoxelUI::CopyCommand(uint32_t command, tb::WindowRef window) {
  YoxelPar* r = editRecord();
  switch (command) {
    case FourCC("Pcr0"): std::copy(r->sourceQuad, r->sourceQuad + 8, r->targetQuad); break;
    case FourCC("Pcr1"): std::copy(r->targetQuad, r->targetQuad + 8, r->sourceQuad); break;
    case FourCC("Pcr2"): {
      auto library = std::make_unique<VMKlibr>();
      int16_t px = 100, py = 100;
      if (library->Do_PercOptDlg(&px, &py) == 1) {
        for (int k = 0; k < 4; ++k) {
          r->targetQuad[k] = r->sourceQuad[k] * px / 100;
          r->targetQuad[4 + k] = r->sourceQuad[4 + k] * py / 100;
        }
      }
      break;
    }
    default: return false;
  }
  DrawWindowContent(window);
  StalePreviews();
  refresh() = 1;
  return true;
}

// 'Pse0' to 'Pse3' choice B, 'Pco0' to 'Pco4' choice A.
bool VMKyoxelUI::ChoiceCommand(uint32_t command) {
  for (int32_t k = 0; k < 4; ++k)
    if (command == FourCC("Pse0") + static_cast<uint32_t>(k)) {
      Word(kChoiceB) = k;
      StalePreviews();
      refresh() = 1;
      return true;
    }
  for (int32_t k = 0; k < 5; ++k)
    if (command == FourCC("Pco0") + static_cast<uint32_t>(k)) {
      Word(kChoiceA) = k;
      StalePreviews();
      refresh() = 1;
      return true;
    }
  return false;
}
