#include "dialogs/correction/smoothing_dialog.h"

#include "dialogs/correction/effect_dialog_procs.h"

namespace tb = plat::tb;

VMKglimUI* gVMKglim = nullptr;

namespace {

// Raised by Cmd-Z or Control-Z; nothing reads it yet.
int16_t flag_restor = 0;

constexpr int32_t kLookup[] = {9,  14, 19, 7,  25, 16, 26, 18, 35, 34, 40, 39, 43, 42, 36,
                               13, 11, 23, 24, 8,  20, 21, 37, 27, 31, 28, 44, 29, 32, 30};

constexpr EffectDialogDesc kDesc{
    .window = "Glimmerock", .signature = FourCC("Glim"), .viewKey = "glim", .effect = 104,
    .presetType = FourCC("Sse5"), .record = &kColCorRecordOps, .lookup = kLookup,
    .ids = {.mainView = 9, .fitIndicator = 14, .zoomIndicator = 19, .previewRadio = 7, .modeRadio = 36,
            .zoomSlider = 13, .zoomText = 11, .zoomOut = 23, .zoomIn = 24, .readout = {8, 20, 21},
            .presetPopup = 37, .overlayGroup = 27, .overlayCheck = 31, .overlayPopup = 28,
            .overlayMore = {44, 29}, .opacitySlider = 32, .opacityEdit = 30, .focusEdit = 18},
    .modeWord = kCCSmoothing + 5,
    .mouseRedrawsAll = true,
    .oneToOnePush = 3.0,
    .squareOneToOne = false,
    .navPanTag = 0,
    .mainPreviewAtOpen = true};

using Trampolines = EffectDialogTrampolines<gVMKglim>;

}  // namespace

void GlimLoopHandler(tb::EventLoopTimerRef timer, void* window) { Trampolines::LoopHandler(timer, window); }

OSStatus GlimWindowEventHandler(tb::EventHandlerCallRef call, tb::EventRef event, void* window) {
  return Trampolines::WindowEventHandler(call, event, window);
}

const tb::EventHandlerProc& GetGlimWindowEventHandlerUPP() { return Trampolines::WindowEventHandlerUPP(); }

VMKglimUI::VMKglimUI() : ColCorDialog(kDesc, &flag_restor) {
  Trampolines::Claim(this);
  flag_restor = 0;
  // The 'Sdet' value sits before the 'Sgra' value in the record; the fields
  // are read gradient first.
  rows_ = {{FourCC("Smut"), 25, 16, 0, 100, kCCSmoothing},
           {FourCC("Samt"), 26, 18, 0, 100, kCCSmoothing + 1},
           {FourCC("Site"), 35, 34, 0, 100, kCCSmoothing + 2},
           {FourCC("Sgra"), 40, 39, 0, 100, kCCSmoothing + 4},
           {FourCC("Sdet"), 43, 42, 0, 100, kCCSmoothing + 3}};
}

VMKglimUI::~VMKglimUI() { Trampolines::Release(this); }

int16_t VMKglimUI::UndoRequest() { return flag_restor; }

int16_t VMKglimUI::Do_GlimDlg() {
  return Run(Trampolines::Procs(GlimLoopHandler, GetGlimWindowEventHandlerUPP()));
}
