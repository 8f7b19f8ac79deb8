#include "dialogs/correction/channel_mixer_dialog.h"

#include <iterator>

namespace tb = plat::tb;

VMKcmixUI* gVMKcmix = nullptr;

namespace {

// Raised by Cmd-Z or Control-Z; nothing reads it yet.
int16_t flag_restor = 0;
// The mixer keeps its refresh flag and its preview mode here rather than in
// the object; its constructor sets them each time.
int16_t refresh_flag = 0;
int16_t flag_befaft = 1;

constexpr int32_t kLookup[] = {9,  14, 19, 7,  25, 16, 18, 33, 37, 39, 40, 41, 44, 45, 46,
                               38, 42, 47, 52, 53, 54, 56, 57, 58, 60, 61, 62, 55, 59, 63,
                               13, 11, 23, 24, 8,  20, 21, 34, 35, 26, 27, 28, 29, 30, 31};

// Fields and arrows by source row (red, green, blue, constant) and output
// column (red, green, blue).
constexpr int32_t kFields[4][3] = {{18, 33, 37}, {39, 40, 41}, {44, 45, 46}, {38, 42, 47}};
constexpr int32_t kArrows[4][3] = {{52, 53, 54}, {56, 57, 58}, {60, 61, 62}, {55, 59, 63}};
constexpr int kSourceRow[4] = {0, 1, 2, 4};  // the constant is the record's fifth row
constexpr uint32_t kCommands[3][4] = {
    {FourCC("LiR0"), FourCC("LiR1"), FourCC("LiR2"), FourCC("LiR3")},
    {FourCC("LiG0"), FourCC("LiG1"), FourCC("LiG2"), FourCC("LiG3")},
    {FourCC("LiB0"), FourCC("LiB1"), FourCC("LiB2"), FourCC("LiB3")}};

EffectDialogDesc MakeDesc() {
  EffectDialogDesc d{"ChannelMix", FourCC("Cmix"), "cmix", 119, FourCC("Sse2"), &kColCorRecordOps,
                     kLookup, static_cast<int32_t>(std::size(kLookup)), {}};
  EffectDialogIds& ids = d.ids;
  ids.mainView = 9;
  ids.fitIndicator = 14;
  ids.zoomIndicator = 19;
  ids.previewRadio = 7;
  ids.zoomSlider = 13;
  ids.zoomText = 11;
  ids.zoomOut = 23;
  ids.zoomIn = 24;
  ids.readout[0] = 8;
  ids.readout[1] = 20;
  ids.readout[2] = 21;
  ids.presetPopup = 34;
  ids.presetCompanion = 35;
  ids.overlayGroup = 26;
  ids.overlayCheck = 28;
  ids.overlayPopup = 27;
  ids.overlayMore[0] = 30;
  ids.opacitySlider = 31;
  ids.opacityEdit = 29;
  ids.focusEdit = 18;
  d.typingPush = 1.0;
  d.sliderPush = 0.0;
  d.presetRoom = 4096;
  d.keyExtra = NumKeyExtra::kCmdSTogglesPreview;
  // The mixer leaves its fit indicators and overlay section as the nib has
  // them.
  d.showsFitAndOverlay = false;
  d.navPanFirst = true;
  return d;
}

const EffectDialogDesc& Desc() {
  static const EffectDialogDesc desc = MakeDesc();
  return desc;
}

void ScrollBar32BitActionProc(tb::ControlRef control, int16_t part) { EffectDialog::StepSlider(control, part); }

void ScrollBarPan32BitActionProc(tb::ControlRef control, int16_t part) {
  EffectDialog::StepSlider(control, part);
  if (gVMKcmix != nullptr)
    gVMKcmix->AdjustPanZoom(static_cast<tb::WindowRef>(tb::GetControlReference(control)),
                            static_cast<int16_t>(tb::GetControl32BitValue(control)));
}

bool NumEditKeyFilter(tb::ControlRef, int16_t*, int16_t* charCode, uint32_t* modifiers) {
  return gVMKcmix != nullptr && gVMKcmix->FilterNumKey(*charCode, *modifiers);
}

}  // namespace

void LittleArrowActionProc(tb::ControlRef control, int16_t part) { EffectDialog::StepArrows(control, part); }

void CMixLoopHandler(tb::EventLoopTimerRef timer, void* window) {
  if (gVMKcmix != nullptr) gVMKcmix->CMixLoop(timer, window);
}

OSStatus CMixWindowEventHandler(tb::EventHandlerCallRef call, tb::EventRef event, void* window) {
  return gVMKcmix != nullptr ? gVMKcmix->CMixWindowEventHandler(call, event, window) : tb::eventNotHandledErr;
}

const tb::EventHandlerProc& GetCMixWindowEventHandlerUPP() {
  static const tb::EventHandlerProc sHandler = CMixWindowEventHandler;
  return sHandler;
}

VMKcmixUI::VMKcmixUI() : ColCorDialog(Desc(), &flag_restor) {
  gVMKcmix = this;
  refresh_flag = 0;
  flag_befaft = 1;
  KeepFlagsIn(&refresh_flag, &flag_befaft);
  // Strength first, then output column by column: the red, green, blue and
  // constant sources of each.
  rows_ = {{FourCC("Smut"), 25, 16, 0, 100, kCCMixPercent}};
  for (int k = 0; k < 3; ++k) {
    for (int s = 0; s < 4; ++s) {
      rows_.push_back({kCommands[k][s], kArrows[s][k], kFields[s][k], -500, 500, MatrixWord(kSourceRow[s], k),
                       ValueRow::kArrows});
    }
  }
}

VMKcmixUI::~VMKcmixUI() {
  if (gVMKcmix == this) gVMKcmix = nullptr;
}

int16_t VMKcmixUI::UndoRequest() { return flag_restor; }
int16_t VMKcmixUI::RefreshFlag() { return refresh_flag; }
int16_t VMKcmixUI::BeforeAfter() { return flag_befaft; }

int16_t VMKcmixUI::Do_CMixDlg() {
  return Run({CMixLoopHandler, GetCMixWindowEventHandlerUPP(), ScrollBar32BitActionProc,
              ScrollBarPan32BitActionProc, LittleArrowActionProc, NumEditKeyFilter});
}
