#include "dialogs/correction/noise_dialog.h"

#include "dialogs/correction/effect_dialog_procs.h"

namespace tb = plat::tb;

VMKdnoiUI* gVMKdnoi = nullptr;

namespace {

// Raised by Cmd-Z or Control-Z; nothing reads it yet.
int16_t flag_restor = 0;

constexpr int32_t kLookup[] = {9,  14, 19, 7,  25, 16, 26, 18, 35, 34, 36, 13, 11,
                               23, 24, 8,  20, 21, 37, 27, 31, 28, 29, 32, 30};

constexpr EffectDialogDesc kDesc{
    .window = "DeNoise", .signature = FourCC("Dnoi"), .viewKey = "dnoi", .effect = 103,
    .presetType = FourCC("Sse4"), .record = &kColCorRecordOps, .lookup = kLookup,
    .ids = {.mainView = 9, .fitIndicator = 14, .zoomIndicator = 19, .previewRadio = 7, .modeRadio = 36,
            .zoomSlider = 13, .zoomText = 11, .zoomOut = 23, .zoomIn = 24, .readout = {8, 20, 21},
            .presetPopup = 37, .overlayGroup = 27, .overlayCheck = 31, .overlayPopup = 28,
            .overlayMore = {29, -1}, .opacitySlider = 32, .opacityEdit = 30, .focusEdit = 18},
    .modeWord = kCCNoise + 3,
    .typingPush = 1.0};

using Trampolines = EffectDialogTrampolines<gVMKdnoi>;

}  // namespace

void DNoiLoopHandler(tb::EventLoopTimerRef timer, void* window) { Trampolines::LoopHandler(timer, window); }

OSStatus DNoiWindowEventHandler(tb::EventHandlerCallRef call, tb::EventRef event, void* window) {
  return Trampolines::WindowEventHandler(call, event, window);
}

const tb::EventHandlerProc& GetDNoiWindowEventHandlerUPP() { return Trampolines::WindowEventHandlerUPP(); }

VMKdnoiUI::VMKdnoiUI() : ColCorDialog(kDesc, &flag_restor) {
  Trampolines::Claim(this);
  rows_ = {{FourCC("Smut"), 25, 16, 0, 100, kCCNoise},
           {FourCC("Samt"), 26, 18, 0, 100, kCCNoise + 1},
           {FourCC("Site"), 35, 34, 1, 5, kCCNoise + 2}};
}

VMKdnoiUI::~VMKdnoiUI() { Trampolines::Release(this); }

int16_t VMKdnoiUI::UndoRequest() { return flag_restor; }

int16_t VMKdnoiUI::Do_DNoiDlg() {
  return Run(Trampolines::Procs(DNoiLoopHandler, GetDNoiWindowEventHandlerUPP()));
}
