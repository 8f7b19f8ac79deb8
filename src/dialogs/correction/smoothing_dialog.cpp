#include "dialogs/correction/smoothing_dialog.h"

#include <iterator>

namespace tb = plat::tb;

VMKglimUI* gVMKglim = nullptr;

namespace {

// Raised by Cmd-Z or Control-Z; nothing reads it yet.
int16_t flag_restor = 0;

constexpr int32_t kLookup[] = {9,  14, 19, 7,  25, 16, 26, 18, 35, 34, 40, 39, 43, 42, 36,
                               13, 11, 23, 24, 8,  20, 21, 37, 27, 31, 28, 44, 29, 32, 30};

EffectDialogDesc MakeDesc() {
  EffectDialogDesc d{"Glimmerock", FourCC("Glim"), "glim", 104, FourCC("Sse5"), &kColCorRecordOps,
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
  ids.overlayMore[0] = 44;
  ids.overlayMore[1] = 29;
  ids.opacitySlider = 32;
  ids.opacityEdit = 30;
  ids.focusEdit = 18;
  d.modeWord = kCCSmoothing + 5;
  d.mouseRedrawsAll = true;
  d.oneToOnePush = 3.0;
  d.squareOneToOne = false;
  d.navPanTag = 0;
  d.mainPreviewAtOpen = true;
  return d;
}

const EffectDialogDesc& Desc() {
  static const EffectDialogDesc desc = MakeDesc();
  return desc;
}

void ScrollBar32BitActionProc(tb::ControlRef control, int16_t part) { EffectDialog::StepSlider(control, part); }

void ScrollBarPan32BitActionProc(tb::ControlRef control, int16_t part) {
  EffectDialog::StepSlider(control, part);
  if (gVMKglim != nullptr)
    gVMKglim->AdjustPanZoom(static_cast<tb::WindowRef>(tb::GetControlReference(control)),
                            static_cast<int16_t>(tb::GetControl32BitValue(control)));
}

bool NumEditKeyFilter(tb::ControlRef, int16_t*, int16_t* charCode, uint32_t* modifiers) {
  return gVMKglim != nullptr && gVMKglim->FilterNumKey(*charCode, *modifiers);
}

}  // namespace

void GlimLoopHandler(tb::EventLoopTimerRef timer, void* window) {
  if (gVMKglim != nullptr) gVMKglim->GlimLoop(timer, window);
}

OSStatus GlimWindowEventHandler(tb::EventHandlerCallRef call, tb::EventRef event, void* window) {
  return gVMKglim != nullptr ? gVMKglim->GlimWindowEventHandler(call, event, window) : tb::eventNotHandledErr;
}

const tb::EventHandlerProc& GetGlimWindowEventHandlerUPP() {
  static const tb::EventHandlerProc sHandler = GlimWindowEventHandler;
  return sHandler;
}

VMKglimUI::VMKglimUI() : ColCorDialog(Desc(), &flag_restor) {
  gVMKglim = this;
  flag_restor = 0;
  // The 'Sdet' value sits before the 'Sgra' value in the record; the fields
  // are read gradient first.
  rows_ = {{FourCC("Smut"), 25, 16, 0, 100, kCCSmoothing},
           {FourCC("Samt"), 26, 18, 0, 100, kCCSmoothing + 1},
           {FourCC("Site"), 35, 34, 0, 100, kCCSmoothing + 2},
           {FourCC("Sgra"), 40, 39, 0, 100, kCCSmoothing + 4},
           {FourCC("Sdet"), 43, 42, 0, 100, kCCSmoothing + 3}};
}

VMKglimUI::~VMKglimUI() {
  if (gVMKglim == this) gVMKglim = nullptr;
}

int16_t VMKglimUI::UndoRequest() { return flag_restor; }

int16_t VMKglimUI::Do_GlimDlg() {
  return Run({GlimLoopHandler, GetGlimWindowEventHandlerUPP(), ScrollBar32BitActionProc,
              ScrollBarPan32BitActionProc, nullptr, NumEditKeyFilter});
}
