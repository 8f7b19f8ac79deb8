#include "dialogs/correction/noise_dialog.h"

#include <iterator>

namespace tb = plat::tb;

VMKdnoiUI* gVMKdnoi = nullptr;

namespace {

// Raised by Cmd-Z or Control-Z; nothing reads it yet.
int16_t flag_restor = 0;

constexpr int32_t kLookup[] = {9,  14, 19, 7,  25, 16, 26, 18, 35, 34, 36, 13, 11,
                               23, 24, 8,  20, 21, 37, 27, 31, 28, 29, 32, 30};

EffectDialogDesc MakeDesc() {
  EffectDialogDesc d{"DeNoise", FourCC("Dnoi"), "dnoi", 103, FourCC("Sse4"), &kColCorRecordOps,
                     kLookup, static_cast<int32_t>(std::size(kLookup)), {}};
  EffectDialogIds& ids = d.ids;
  ids.mainView = 9;
  ids.fitIndicator = 14;
  ids.zoomIndicator = 19;
  ids.previewRadio = 7;
  ids.modeRadio = 36;
  ids.zoomSlider = 13;
  ids.zoomText = 11;
  ids.zoomOut = 23;
  ids.zoomIn = 24;
  ids.readout[0] = 8;
  ids.readout[1] = 20;
  ids.readout[2] = 21;
  ids.presetPopup = 37;
  ids.overlayGroup = 27;
  ids.overlayCheck = 31;
  ids.overlayPopup = 28;
  ids.overlayMore[0] = 29;
  ids.opacitySlider = 32;
  ids.opacityEdit = 30;
  ids.focusEdit = 18;
  d.modeWord = kCCNoise + 3;
  d.typingPush = 1.0;
  return d;
}

const EffectDialogDesc& Desc() {
  static const EffectDialogDesc desc = MakeDesc();
  return desc;
}

void ScrollBar32BitActionProc(tb::ControlRef control, int16_t part) { EffectDialog::StepSlider(control, part); }

void ScrollBarPan32BitActionProc(tb::ControlRef control, int16_t part) {
  EffectDialog::StepSlider(control, part);
  if (gVMKdnoi != nullptr)
    gVMKdnoi->AdjustPanZoom(static_cast<tb::WindowRef>(tb::GetControlReference(control)),
                            static_cast<int16_t>(tb::GetControl32BitValue(control)));
}

bool NumEditKeyFilter(tb::ControlRef, int16_t*, int16_t* charCode, uint32_t* modifiers) {
  return gVMKdnoi != nullptr && gVMKdnoi->FilterNumKey(*charCode, *modifiers);
}

}  // namespace

void DNoiLoopHandler(tb::EventLoopTimerRef timer, void* window) {
  if (gVMKdnoi != nullptr) gVMKdnoi->DNoiLoop(timer, window);
}

OSStatus DNoiWindowEventHandler(tb::EventHandlerCallRef call, tb::EventRef event, void* window) {
  return gVMKdnoi != nullptr ? gVMKdnoi->DNoiWindowEventHandler(call, event, window) : tb::eventNotHandledErr;
}

const tb::EventHandlerProc& GetDNoiWindowEventHandlerUPP() {
  static const tb::EventHandlerProc sHandler = DNoiWindowEventHandler;
  return sHandler;
}

VMKdnoiUI::VMKdnoiUI() : ColCorDialog(Desc(), &flag_restor) {
  gVMKdnoi = this;
  rows_ = {{FourCC("Smut"), 25, 16, 0, 100, kCCNoise},
           {FourCC("Samt"), 26, 18, 0, 100, kCCNoise + 1},
           {FourCC("Site"), 35, 34, 1, 5, kCCNoise + 2}};
}

VMKdnoiUI::~VMKdnoiUI() {
  if (gVMKdnoi == this) gVMKdnoi = nullptr;
}

int16_t VMKdnoiUI::UndoRequest() { return flag_restor; }

int16_t VMKdnoiUI::Do_DNoiDlg() {
  return Run({DNoiLoopHandler, GetDNoiWindowEventHandlerUPP(), ScrollBar32BitActionProc,
              ScrollBarPan32BitActionProc, nullptr, NumEditKeyFilter});
}
