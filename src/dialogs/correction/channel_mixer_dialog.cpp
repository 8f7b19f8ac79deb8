#include "dialogs/correction/channel_mixer_dialog.h"

#include "dialogs/correction/effect_dialog_procs.h"

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

constexpr EffectDialogDesc kDesc{
    .window = "ChannelMix", .signature = FourCC("Cmix"), .viewKey = "cmix", .effect = 119,
    .presetType = FourCC("Sse2"), .record = &kColCorRecordOps, .lookup = kLookup,
    .ids = {.mainView = 9, .fitIndicator = 14, .zoomIndicator = 19, .previewRadio = 7, .zoomSlider = 13,
            .zoomText = 11, .zoomOut = 23, .zoomIn = 24, .readout = {8, 20, 21}, .presetPopup = 34,
            .presetCompanion = 35, .overlayGroup = 26, .overlayCheck = 28, .overlayPopup = 27,
            .overlayMore = {30, -1}, .opacitySlider = 31, .opacityEdit = 29, .focusEdit = 18},
    .typingPush = 1.0,
    .sliderPush = 0.0,
    .presetRoom = 4096,
    .keyExtra = NumKeyExtra::kCmdSTogglesPreview,
    // The mixer leaves its fit indicators and overlay section as the nib has
    // them.
    .showsFitAndOverlay = false,
    .navPanFirst = true};

using Trampolines = EffectDialogTrampolines<gVMKcmix>;

}  // namespace

void LittleArrowActionProc(tb::ControlRef control, int16_t part) { EffectDialog::StepArrows(control, part); }

void CMixLoopHandler(tb::EventLoopTimerRef timer, void* window) { Trampolines::LoopHandler(timer, window); }

OSStatus CMixWindowEventHandler(tb::EventHandlerCallRef call, tb::EventRef event, void* window) {
  return Trampolines::WindowEventHandler(call, event, window);
}

const tb::EventHandlerProc& GetCMixWindowEventHandlerUPP() { return Trampolines::WindowEventHandlerUPP(); }

VMKcmixUI::VMKcmixUI() : ColCorDialog(kDesc, &flag_restor) {
  Trampolines::Claim(this);
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

VMKcmixUI::~VMKcmixUI() { Trampolines::Release(this); }

int16_t VMKcmixUI::UndoRequest() { return flag_restor; }
int16_t VMKcmixUI::RefreshFlag() { return refresh_flag; }
int16_t VMKcmixUI::BeforeAfter() { return flag_befaft; }

int16_t VMKcmixUI::Do_CMixDlg() {
  return Run(Trampolines::Procs(CMixLoopHandler, GetCMixWindowEventHandlerUPP(), LittleArrowActionProc));
}
