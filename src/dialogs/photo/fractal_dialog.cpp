#include "dialogs/photo/fractal_dialog.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <limits>
#include <string>

#include "app/core/pascal_strings.h"
#include "app/keyboard.h"
#include "dialogs/frame/effect_frame_procs.h"
#include "dialogs/frame/effect_registry.h"
#include "dialogs/patterns/ramp_editor_session.h"
#include "engines/correction/resize_record.h"
#include "platform/files/file_types.h"
#include "platform/toolbox/api/ui_services.h"
#include "script/lut_vign.h"
#include "views/image_box.h"

namespace tb = plat::tb;

VMKorreluneUI* gVMKorrelune = nullptr;

namespace {

// Raised by Cmd-Z or Control-Z (key event or key filter); the next tick
// restores the backup.
int16_t flag_restor = 0;

using Trampolines = EffectFrameTrampolines<gVMKorrelune>;

constexpr OSType kSig = FourCC("Orlf");

enum : int32_t {
  kPreview = 4,
  kRampView = 24,
  kStripBar = 20,
  kTypePopup = 25,
  kFilePopup = 26,
  kOpacityPopup = 27,
  kModePopup = 28,
  kBlurPopup = 29,
  kXMinEdit = 42,
  kXMaxEdit = 44,
  kYMinEdit = 46,
  kYMaxEdit = 48,
  kReEdit = 50,
  kImEdit = 52,
  kZoomSlider = 61,
  kReadoutR = 62,
  kReadoutI = 63,
};
constexpr int32_t kSlotViews[VMKorreluneUI::kSamples] = {9, 7, 5};
constexpr int32_t kSlotNames[VMKorreluneUI::kSamples] = {10, 8, 6};
constexpr int32_t kReArrows[4] = {53, 54, 55, 56};
constexpr int32_t kImArrows[4] = {57, 58, 59, 60};

// Words of the first entry the dialog edits: the window and the constant
// (fixed-point pairs), and the preview's quad (four x, then four y).
enum : int32_t {
  kXMin = kFraWindowLeft,
  kXMax = kFraWindowRight,
  kYMin = kFraWindowTop,
  kYMax = kFraWindowBottom,
  kCRe = kFraConstRe,
  kCIm = kFraConstIm,
  kQuad = kFraExtras,
};

// The 39 controls of the window, in the order of the dialog's table.
constexpr std::array<int32_t, 39> kLookup = {4,  24, 9,  7,  5,  10, 8,  6,  20, 25, 26, 27, 28,
                                             29, 31, 34, 37, 40, 32, 35, 38, 41, 42, 44, 46, 48,
                                             50, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63};

constexpr std::array<tb::EventTypeSpec, 11> kEvents = {
    {{tb::kEventClassCommand, tb::kEventCommandProcess},
     {tb::kEventClassMouse, tb::kEventMouseMoved},
     {tb::kEventClassTextInput, tb::kEventTextInputFilterText},
     {tb::kEventClassKeyboard, tb::kEventRawKeyDown},
     {tb::kEventClassMenu, tb::kEventMenuOpening},
     {tb::kEventClassMenu, tb::kEventMenuTargetItem},
     {tb::kEventClassMenu, tb::kEventMenuClosed},
     {tb::kEventClassControl, tb::kEventControlTrack},
     {tb::kEventClassWindow, tb::kEventWindowResizeCompleted},
     {tb::kEventClassWindow, tb::kEventWindowZoomed},
     {tb::kEventClassWindow, tb::kEventWindowDrawContent}}};

// The preview follows the values; the ramp bar and the samples are drawn
// by the dialog itself.
constexpr std::array<FrameBox, 5> kBoxes = {
    {{"HIima", true}, {"HIvig", false}, {"HIss1", false}, {"HIss2", false}, {"HIss3", false}}};

FractPar* Rec(void* r) { return static_cast<FractPar*>(r); }

void InitRecord(void* r, const RecordContext&) { Init_FractPar(Rec(r), 1, 0); }
void CopyRecord(const void* s, void* d) { Copy_FractPar(static_cast<const FractPar*>(s), Rec(d)); }
int16_t RecordFile(int16_t mode, FSSpec spec, void* r, int16_t) { return Do_AFract_file(mode, spec, Rec(r)); }
LutVign* RecordRamp(void* r) { return &Rec(r)->entries[0].ramp; }

constexpr FrameRecordOps kOps{static_cast<int32_t>(sizeof(FractPar)), InitRecord, CopyRecord, RecordFile,
                              RecordRamp};

const EffectFrameDesc kDesc = [] {
  EffectFrameDesc d;
  d.window = "OrrFract";
  d.signature = kSig;
  d.lookup = kLookup;
  d.viewKey = "orrl";
  d.boxes = kBoxes;
  d.effect = 100;
  d.presetType = FourCC("hFra");
  d.record = &kOps;
  d.presetPopup = kFilePopup;
  d.presetRoom = kPresetRoom;
  d.presetLimit = kPresetRoom;
  d.events = kEvents;
  d.loopInterval = 0.5;
  // The fractal renders slowly: typing waits a second for the preview.
  d.typingPush = 1.0;
  d.tempFile = ":tmpvmkfract.hfa";
  d.focusEdit = 32;
  d.resizable = true;
  d.drawParams = true;
  // After the fields are read and the preview asked for, the sample strip.
  d.refreshAfterRead = 2;
  return d;
}();

// The four settings, read in the order D, A, C, B, each with its bar and
// field; the bars are read together by any of their four commands.
constexpr uint8_t kSettings = 1;
constexpr uint32_t kSettingCommands[] = {FourCC("Site"), FourCC("Sstp"), FourCC("Scyc"), FourCC("Sbai")};

ValueRow Setting(int32_t bar, int32_t field, int32_t low, int32_t high, int32_t word) {
  ValueRow row{0, bar, field, low, high, static_cast<int32_t>(offsetof(FractPar, entries)) + 4 * word};
  row.storage = ValueRow::kInt32;
  row.group = kSettings;
  return row;
}

// ---- fixed-point pairs ----

constexpr double kUnit = 10000000.0;
constexpr int64_t kOffset = 10;

// Values beyond what a pair's integer word holds are held at its ends;
// what is not a number reads 0.
double Held(double v) {
  if (!(v == v)) return 0.0;
  return std::clamp(v, -2000000000.0, 2000000000.0);
}

void StorePair(int32_t* words, double value, bool rounded) {
  const double v = Held(value);
  const double whole = std::trunc(v);
  const double part = (v - whole) * kUnit;
  int64_t integer = static_cast<int64_t>(whole);
  // std::round takes halves away from zero: -1.5 keeps -5,000,000.
  int64_t fraction = static_cast<int64_t>(rounded ? std::round(part) : std::trunc(part));
  const auto unit = static_cast<int64_t>(kUnit);
  if (fraction >= unit) {
    fraction -= unit;
    ++integer;
  } else if (fraction <= -unit) {
    fraction += unit;
    --integer;
  }
  words[0] = static_cast<int32_t>(integer + kOffset);
  words[1] = static_cast<int32_t>(fraction);
}

std::string Fixed7(double v) {
  // "%2.7f" without the locale's decimal mark: the key filter keeps '.'.
  char text[64];
  const auto end = std::to_chars(text, text + sizeof text, Held(v), std::chars_format::fixed, 7);
  return std::string(text, end.ptr);
}

// What a field holds as a real number; text that does not begin with one
// reads 0.
double FieldReal(tb::ControlRef field) {
  const std::string text = tb::GetControlText(field);
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return 0.0;
  double v = 0.0;
  const auto r = std::from_chars(text.data() + first, text.data() + text.size(), v);
  return r.ec == std::errc() ? Held(v) : 0.0;
}

void ShowNumber(tb::ControlRef field, int32_t v) { tb::SetControlText(field, std::to_string(v)); }

int32_t AddHeld(int32_t word, int64_t delta) {
  return static_cast<int32_t>(std::clamp<int64_t>(int64_t{word} + delta, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

// ---- the file's own procedures ----

// This file's member of the scroll-action family: the dialog's step.
void ScrollBar32BitActionProc(tb::ControlRef control, int16_t part) {
  if (gVMKorrelune != nullptr) gVMKorrelune->ScrollAction(control, part, false);
}

// Digits back the record up before they reach the field.
bool NumEditKeyFilter(tb::ControlRef c, int16_t* key, int16_t* charCode, uint32_t* modifiers) {
  return Trampolines::NumEditKeyFilter(c, key, charCode, modifiers);
}

void DigitArrow(tb::ControlRef c, int16_t part, bool imaginary, int16_t digit) {
  if (gVMKorrelune != nullptr) gVMKorrelune->DigitArrowAction(c, part, imaginary, digit);
}

}  // namespace

void ScrollBarEff32BitActionProc(tb::ControlRef control, int16_t part) {
  if (gVMKorrelune != nullptr) gVMKorrelune->ScrollAction(control, part, true);
}
void LittleArrowR0ActionProc(tb::ControlRef c, int16_t part) { DigitArrow(c, part, false, 0); }
void LittleArrowR1ActionProc(tb::ControlRef c, int16_t part) { DigitArrow(c, part, false, 1); }
void LittleArrowR2ActionProc(tb::ControlRef c, int16_t part) { DigitArrow(c, part, false, 2); }
void LittleArrowR3ActionProc(tb::ControlRef c, int16_t part) { DigitArrow(c, part, false, 3); }
void LittleArrowJ0ActionProc(tb::ControlRef c, int16_t part) { DigitArrow(c, part, true, 0); }
void LittleArrowJ1ActionProc(tb::ControlRef c, int16_t part) { DigitArrow(c, part, true, 1); }
void LittleArrowJ2ActionProc(tb::ControlRef c, int16_t part) { DigitArrow(c, part, true, 2); }
void LittleArrowJ3ActionProc(tb::ControlRef c, int16_t part) { DigitArrow(c, part, true, 3); }

void OrreluneLoopHandler(tb::EventLoopTimerRef timer, void* window) { Trampolines::LoopHandler(timer, window); }

OSStatus OrreluneWindowEventHandler(tb::EventHandlerCallRef call, tb::EventRef event, void* window) {
  return Trampolines::WindowEventHandler(call, event, window);
}

const tb::EventHandlerProc& GetOrreluneWindowEventHandlerUPP() { return Trampolines::WindowEventHandlerUPP(); }

void FractStoreRounded(int32_t* words, double value) { StorePair(words, value, true); }
void FractStoreTruncated(int32_t* words, double value) { StorePair(words, value, false); }

// ---- construction ----

VMKorreluneUI::VMKorreluneUI() : EffectFrame(kDesc, &flag_restor) {
  Trampolines::Claim(this);
  flag_restor = 0;
  rows_ = {Setting(40, 41, 4, 255, kFraBailOut), Setting(37, 38, 20, 2000, kFraIterations),
           Setting(34, 35, 0, 255, kFraColourShift), Setting(31, 32, 1, 64, kFraColourScale)};
}

VMKorreluneUI::~VMKorreluneUI() { Trampolines::Release(this); }

void VMKorreluneUI::InitRecord(void* record) { Init_FractPar(Rec(record), 1, 0); }

void VMKorreluneUI::SetFractPar(const FractPar* record) {
  if (record == nullptr || current() == nullptr) return;
  Copy_FractPar(record, current());
  Copy_FractPar(record, backupRecord());
}

void VMKorreluneUI::GetFractPar(FractPar* record) const {
  if (record != nullptr && current() != nullptr) Copy_FractPar(current(), record);
}

int16_t VMKorreluneUI::Do_OrreluneDlg(int16_t runFlag) {
  const int16_t answer = Run({OrreluneLoopHandler, GetOrreluneWindowEventHandlerUPP(), ScrollBar32BitActionProc,
                             nullptr, Trampolines::LittleArrowActionProc, NumEditKeyFilter},
                            runFlag);
  // The timer goes with the window here; the destructor finds none.
  if (loopTimerUPP) {
    tb::SetEventLoopTimerNextFireTime(loopTimer, tb::kEventDurationForever);
    tb::RemoveEventLoopTimer(loopTimer);
    loopTimerUPP = nullptr;
    loopTimer = nullptr;
  }
  return answer;
}

int32_t VMKorreluneUI::FileCount() const {
  return std::min<int32_t>(tb::CountMenuItems(Ctl(kFilePopup)), kDesc.presetRoom);
}

// ---- the boxes and menus ----

void VMKorreluneUI::OpenViews(tb::WindowRef) {
  VMKimabox* preview = Box(0);
  preview->InitBuf(20);
  preview->SetBufParam(0, 0, 0, 0, 0, 1, 1, 0, 0, 1, 0, 0, 0);
  // The quad's tag 1: a press draws a new rectangle from where it began.
  preview->SetBufSSQua(0, 0, 100000, 0, 100000, 100000, 0, 100000, 0, 1);
  preview->SetPanBufCoord(0, 0, 100000, 100000);
  preview->SetBufSSPan(0, 0, 100000, 100000, 0, 0, 0);
  PrepareWindowForDisplay();
  ScratchRecord<YoxelPar> picture;
  if (picture) Init_YoxelPar(picture.get(), context.width, context.height, context.resolution, 0, 5);
  for (int16_t k = 0; k < kSamples; ++k) {
    VMKimabox* box = Sample(k);
    box->InitBuf(20);
    box->SetBufParam(1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0);
    box->SetPanBufCoord(0, 0, 100000, 100000);
    if (picture) box->SetYoxelPar(picture.get(), 0, previewSource);
  }
  Box(1)->InitBuf(21);
  Box(1)->SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0);
}

void VMKorreluneUI::PrepareWindowForDisplay() {
  VMKimabox* preview = Box(0);
  if (preview == nullptr) return;
  preview->InitBufSize();
  const PictureFit fit = PlacePicture(preview);
  imageWidth = context.width;
  imageHeight = context.height;
  boxLeft = fit.left;
  boxTop = fit.top;
  boxWidth = fit.width;
  boxHeight = fit.height;
  fittedWidth = fit.fittedWidth;
  fittedHeight = fit.fittedHeight;
}

void VMKorreluneUI::LoadFractMenus() { LoadPresetMenus(); }

// After the list: the strip scrolls over every listed file and starts at
// the first, its first slot selected.
void VMKorreluneUI::LoadOwnMenus() {
  tb::SetControl32BitMaximum(Ctl(kStripBar), tb::CountMenuItems(Ctl(kFilePopup)));
  selectedSample = 0;
  step = 1;
  firstSample = 0;
}

void VMKorreluneUI::InstallOwnControls(const FrameProcs& procs, tb::WindowRef window) {
  tb::SetControlReference(Ctl(kStripBar), window);
  tb::SetControlAction(Ctl(kStripBar), ScrollBarEff32BitActionProc);
  for (int32_t field : {kReEdit, kImEdit, kXMinEdit, kYMinEdit, kXMaxEdit, kYMaxEdit})
    tb::SetKeyFilter(Ctl(field), procs.keys);
  const tb::ControlActionProc re[4] = {LittleArrowR0ActionProc, LittleArrowR1ActionProc, LittleArrowR2ActionProc,
                                       LittleArrowR3ActionProc};
  const tb::ControlActionProc im[4] = {LittleArrowJ0ActionProc, LittleArrowJ1ActionProc, LittleArrowJ2ActionProc,
                                       LittleArrowJ3ActionProc};
  for (int k = 0; k < 4; ++k) {
    tb::SetControlReference(Ctl(kReArrows[k]), Ctl(kReEdit));
    tb::SetControlAction(Ctl(kReArrows[k]), re[k]);
    tb::SetControlReference(Ctl(kImArrows[k]), Ctl(kImEdit));
    tb::SetControlAction(Ctl(kImArrows[k]), im[k]);
  }
}

// ---- live actions ----

void VMKorreluneUI::ScrollAction(tb::ControlRef control, int16_t part, bool strip) {
  int32_t v = tb::GetControl32BitValue(control);
  switch (part) {
    case tb::kControlUpButtonPart: v -= step; break;
    case tb::kControlDownButtonPart: v += step; break;
    case tb::kControlPageUpPart: v -= 10 * step; break;
    case tb::kControlPageDownPart: v += 10 * step; break;
    default: break;
  }
  // The bar keeps the value within its range.
  tb::SetControl32BitValue(control, v);
  v = tb::GetControl32BitValue(control);
  if (strip) {
    AdjustScrollEdg(static_cast<int16_t>(v));
    return;
  }
  if (auto field = static_cast<tb::ControlRef>(tb::GetControlReference(control))) ShowNumber(field, v);
}

void VMKorreluneUI::DigitArrowAction(tb::ControlRef control, int16_t part, bool imaginary, int16_t digit) {
  const int32_t before = tb::GetControl32BitValue(control);
  if (part == tb::kControlUpButtonPart) tb::SetControl32BitValue(control, before + 1);
  if (part == tb::kControlDownButtonPart) tb::SetControl32BitValue(control, before - 1);
  const auto delta = static_cast<int16_t>(tb::GetControl32BitValue(control) - before);
  if (imaginary)
    AdjustJima(digit, delta);
  else
    AdjustJrea(digit, delta);
}

namespace {

void StepDigit(int32_t* fraction, int16_t digit, int16_t delta) {
  constexpr int32_t kPlaces[5] = {1000000, 100000, 10000, 1000, 100};
  if (digit < 0 || digit > 4) return;
  *fraction = AddHeld(*fraction, int64_t{delta} * kPlaces[digit]);
}

}  // namespace

// Kept: only the fraction word moves, so 0.95 stepped by 0.1 is (10,
// 10,500,000) until the fields are read again; and nothing is previewed
// but the strip while an arrow is held (refresh 2).
void VMKorreluneUI::AdjustJrea(int16_t digit, int16_t delta) {
  if (current() == nullptr) return;
  BackRest(1);
  StepDigit(&layer().w[kCRe + 1], digit, delta);
  refresh() = 2;
}

void VMKorreluneUI::AdjustJima(int16_t digit, int16_t delta) {
  if (current() == nullptr) return;
  BackRest(1);
  StepDigit(&layer().w[kCIm + 1], digit, delta);
  refresh() = 2;
}

void VMKorreluneUI::AdjustScrollEdg(int16_t first) {
  firstSample = first;
  refresh() = 2;
  selectedSample = 0;
}

// ---- the fields ----

// A digit backs the record up before it changes the field; the rest is the
// frame's filter ('-', space and backspace pass, '.' is blocked so a real
// keeps the point the redraw wrote, Cmd-Z undoes).
bool VMKorreluneUI::OwnKey(int16_t charCode, uint32_t, bool* pass) {
  if (charCode < '0' || charCode > '9') return false;
  BackRest(1);
  *pass = true;
  return true;
}

void VMKorreluneUI::ReadBound(int32_t edit, int32_t word) {
  tb::ControlRef field = Ctl(edit);
  if (field == nullptr) return;
  const double v = FieldReal(field);
  int32_t* w = &layer().w[word];
  int32_t typed[2];
  FractStoreRounded(typed, v);
  if (typed[0] == w[0] && typed[1] == w[1]) return;
  const int32_t* e = layer().w;
  bool holds = true;
  switch (word) {
    case kXMin: holds = v < FractFixedValue(&e[kXMax]); break;
    case kYMin: holds = v < FractFixedValue(&e[kYMax]); break;
    case kXMax: holds = v > FractFixedValue(&e[kXMin]); break;
    case kYMax: holds = v > FractFixedValue(&e[kYMin]); break;
    default: break;
  }
  // A refused bound leaves the record; the field shows the refused text
  // until the next redraw.
  if (!holds) return;
  w[0] = typed[0];
  w[1] = typed[1];
}

void VMKorreluneUI::GetEditValue() {
  if (current() == nullptr) return;
  // Settings D, A, C, B, each held to its range.
  EffectFrame::GetEditValue();
  // The bounds in this order, each against the others as stored by then.
  ReadBound(kXMinEdit, kXMin);
  ReadBound(kYMinEdit, kYMin);
  ReadBound(kXMaxEdit, kXMax);
  ReadBound(kYMaxEdit, kYMax);
  ReadBound(kReEdit, kCRe);
  ReadBound(kImEdit, kCIm);
}

// ---- drawing ----

void VMKorreluneUI::DrawStrip() {
  for (int16_t k = 0; k < kSamples; ++k) {
    const int32_t index = firstSample + k;
    Sample(k)->SetSelMode(1, k == selectedSample ? 1 : 0);
    // A slot past the last listed file stays empty: no picture, no name.
    const bool there = FileThere(index);
    tb::SetControlVisibility(Ctl(kSlotViews[k]), there);
    tb::SetControlVisibility(Ctl(kSlotNames[k]), true);
    tb::SetControlText(
        Ctl(kSlotNames[k]),
        there ? plat::files::DisplayName(PStrString(presetList[index].name)) : std::string());
  }
}

void VMKorreluneUI::DrawReals() {
  const int32_t* w = layer().w;
  const std::pair<int32_t, int32_t> fields[] = {{kXMinEdit, kXMin}, {kYMinEdit, kYMin}, {kXMaxEdit, kXMax},
                                                {kYMaxEdit, kYMax}, {kReEdit, kCRe},     {kImEdit, kCIm}};
  for (const auto& [field, word] : fields) tb::SetControlText(Ctl(field), Fixed7(FractFixedValue(&w[word])));
}

void VMKorreluneUI::DrawOwnContent(tb::WindowRef) {
  if (current() == nullptr) return;
  const int32_t* w = layer().w;
  // Kept: the readout takes the top edge as Y min (the drag and the click
  // take it as Y max).
  const double xMin = FractFixedValue(&w[kXMin]), xMax = FractFixedValue(&w[kXMax]);
  const double yMin = FractFixedValue(&w[kYMin]), yMax = FractFixedValue(&w[kYMax]);
  const double r = imageWidth > 0 ? xMin + mouseX * (xMax - xMin) / imageWidth : xMin;
  const double i = imageHeight > 0 ? yMin + mouseY * (yMax - yMin) / imageHeight : yMin;
  tb::SetControlText(Ctl(kReadoutR), "R " + Fixed7(r));
  tb::SetControlText(Ctl(kReadoutI), "I " + Fixed7(i));
  tb::SetControl32BitValue(Ctl(kFilePopup), firstSample + 1);
  DrawStrip();
  tb::SetControl32BitValue(Ctl(kStripBar), firstSample);
  tb::SetControl32BitValue(Ctl(kZoomSlider), zoomValue);
  ShowRampBar(Box(1), Ctl(kRampView), &layer().ramp, 0, 0, 0);
  tb::SetControl32BitValue(Ctl(kTypePopup), w[kFraType]);
  // Kept: an opacity that is not a step of the popup leaves it as it is.
  if (w[kFraOpacity] >= 0 && w[kFraOpacity] <= 100 && w[kFraOpacity] % 10 == 0)
    tb::SetControl32BitValue(Ctl(kOpacityPopup), w[kFraOpacity] / 10 + 1);
  tb::SetControl32BitValue(Ctl(kModePopup), ItemOfWord(w[kFraColourMode]));
  tb::SetControl32BitValue(Ctl(kBlurPopup), ItemOfWord(w[kFraBlur]));
  DrawReals();
}

// ---- the preview and the loop ----

void VMKorreluneUI::ShowPreview() {
  if (current() != nullptr) Box(0)->SetFractPar(current(), renderFlag, previewSource, nullptr);
}

// Each slot whose file changed since it was drawn reads its file and
// previews it; a slot past the list shows nothing and reads nothing.
bool VMKorreluneUI::UpdateStrip() {
  ScratchRecord<FractPar> sample;
  for (int16_t k = 0; k < kSamples; ++k) {
    const int32_t index = firstSample + k;
    if (shownIndex[k] == index) continue;
    if (!FileThere(index)) {
      shownIndex[k] = -1;
      continue;
    }
    if (!sample) return true;
    Init_FractPar(sample.get(), 1, 0);
    if (Do_AFract_file(2, presetList[index], sample.get()) == 0)
      Sample(k)->SetFractPar(sample.get(), 1, previewSource, nullptr);
    shownIndex[k] = static_cast<int16_t>(index);
  }
  return true;
}

// A click picks C on the square from -2 to 2, whatever the window; a drag
// zooms into its rectangle (top edge = Y max). Kept: both truncate the
// fractions. A rectangle of no width or no height, and a bound that would
// leave its axis empty or inverted, change no bound of that axis.
bool VMKorreluneUI::PreviewPick() {
  VMKimabox* box = Box(0);
  if (box->CheckSetRefresh(0) != 1) return false;
  BackRest(1);
  int32_t* w = layer().w;
  int32_t* qx = &w[kQuad];
  int32_t* qy = &w[kQuad + 4];
  box->GetBufSSQua(&qx[0], &qy[0], &qx[1], &qy[1], &qx[2], &qy[2], &qx[3], &qy[3]);
  if (qx[1] == qx[0] && qy[2] == qy[0]) {
    FractStoreTruncated(&w[kCRe], -2.0 + 4.0 * qx[0] / 100000.0);
    FractStoreTruncated(&w[kCIm], 2.0 - 4.0 * qy[0] / 100000.0);
  } else {
    if (qx[0] > qx[1]) std::swap(qx[0], qx[1]);
    if (qy[0] > qy[2]) std::swap(qy[0], qy[2]);
    const double xMin = FractFixedValue(&w[kXMin]), xMax = FractFixedValue(&w[kXMax]);
    const double yMin = FractFixedValue(&w[kYMin]), yMax = FractFixedValue(&w[kYMax]);
    const double width = xMax - xMin, height = yMin - yMax;
    auto axis = [&](int32_t low, int32_t high, double lowValue, double highValue) {
      int32_t a[2], b[2];
      FractStoreTruncated(a, lowValue);
      FractStoreTruncated(b, highValue);
      if (FractFixedValue(a) >= FractFixedValue(b)) return;
      std::copy(a, a + 2, &w[low]);
      std::copy(b, b + 2, &w[high]);
    };
    // A line (no width or no height) is no rectangle: it changes nothing.
    if (qx[0] != qx[1] && qy[0] != qy[2]) {
      axis(kXMin, kXMax, xMin + width * qx[0] / 100000.0, xMin + width * qx[1] / 100000.0);
      axis(kYMin, kYMax, yMax + height * qy[2] / 100000.0, yMax + height * qy[0] / 100000.0);
    }
  }
  const int32_t fullX[4] = {0, 100000, 100000, 0}, fullY[4] = {0, 0, 100000, 100000};
  std::copy(fullX, fullX + 4, qx);
  std::copy(fullY, fullY + 4, qy);
  ShowPreview();
  box->SetBufSSQua(0, 0, 100000, 0, 100000, 100000, 0, 100000, 0, 1);
  return true;
}

bool VMKorreluneUI::TakePick() { return SampleSelection(); }

bool VMKorreluneUI::SampleSelection() {
  bool changed = false;
  for (int16_t k = 0; k < kSamples; ++k) {
    if (Sample(k)->CheckSetRefresh(0) != 1 || Sample(k)->GetSel() != 1) continue;
    selectedSample = k;
    changed = true;
  }
  return changed;
}

// Refresh 2 (after the read and preview of refresh 1, or alone) brings the
// strip up to date; then the preview's picks and the samples' selection.
bool VMKorreluneUI::PollTick(tb::WindowRef) {
  bool changed = false;
  if (refresh() == 2) {
    UpdateStrip();
    refresh() = 0;
    changed = true;
  }
  if (PreviewPick()) changed = true;
  if (SampleSelection()) changed = true;
  return changed;
}

// ---- events ----

void VMKorreluneUI::PickConstant(double re, double im) {
  int32_t* w = layer().w;
  FractStoreRounded(&w[kCRe], re);
  FractStoreRounded(&w[kCIm], im);
  PushTick(1.0);
  StalePreviews();
  refresh() = 1;
}

void VMKorreluneUI::MouseMoved(tb::EventRef event, tb::WindowRef window) {
  const Rect frame = tb::GetControlBounds(Ctl(kPreview));
  const Point p = event->mouse;
  const bool inside = p.h >= frame.left && p.h < frame.right && p.v >= frame.top && p.v < frame.bottom;
  if (inside && current() != nullptr) {
    Box(0)->GetRGBcolfromBuf(0, p.h - frame.left, p.v - frame.top, &red, &green, &blue, &mouseX, &mouseY);
    // Option (as the keyboard is now) picks C under the mouse; kept: with
    // the top edge as Y min. Outside the picture there is nothing to pick.
    if (TestKeyModif(optionKey) == 1 && mouseX >= 0 && mouseY >= 0 && imageWidth > 0 && imageHeight > 0) {
      const int32_t* w = layer().w;
      const double xMin = FractFixedValue(&w[kXMin]), xMax = FractFixedValue(&w[kXMax]);
      const double yMin = FractFixedValue(&w[kYMin]), yMax = FractFixedValue(&w[kYMax]);
      PickConstant(xMin + mouseX * (xMax - xMin) / imageWidth, yMin + mouseY * (yMax - yMin) / imageHeight);
    }
    DrawWindowContent(window);
  }
  plat::ui::SetThemeCursor(plat::ui::kArrowCursor);
}

bool VMKorreluneUI::OwnEvent(tb::EventRef event, tb::WindowRef window, OSStatus* status) {
  if (event->eventClass != tb::kEventClassMouse || event->kind != tb::kEventMouseMoved) return false;
  MouseMoved(event, window);
  *status = tb::eventNotHandledErr;
  return true;
}

// ---- commands ----

// The slider's percentage: below 0 the window opens out towards the square
// from -2 to 2, from 0 on it closes in on its centre. Kept: truncated
// fractions. An axis the zoom would leave empty or inverted (+100 collapses
// both) keeps its bounds.
void VMKorreluneUI::ZoomWindow(int32_t v, tb::WindowRef window) {
  BackRest(1);
  zoomValue = static_cast<int16_t>(v);
  int32_t* w = layer().w;
  auto axis = [&](int32_t low, int32_t high) {
    const double a = FractFixedValue(&w[low]), b = FractFixedValue(&w[high]);
    double na, nb;
    if (v < 0) {
      const double p = -v;
      na = (a * (100 - p) - 2 * p) / 100;
      nb = (b * (100 - p) + 2 * p) / 100;
    } else {
      const double c = (a + b) / 2;
      na = (a * (100 - v) + c * v) / 100;
      nb = (b * (100 - v) + c * v) / 100;
    }
    int32_t pa[2], pb[2];
    FractStoreTruncated(pa, na);
    FractStoreTruncated(pb, nb);
    if (FractFixedValue(pa) >= FractFixedValue(pb)) return;
    std::copy(pa, pa + 2, &w[low]);
    std::copy(pb, pb + 2, &w[high]);
  };
  axis(kXMin, kXMax);
  axis(kYMin, kYMax);
  zoomValue = 0;
  DrawWindowContent(window);
  StalePreviews();
  refresh() = 1;
}

bool VMKorreluneUI::OwnCommand(uint32_t command, tb::ControlRef, tb::WindowRef window) {
  if (current() == nullptr) return false;
  int32_t* w = layer().w;
  auto changed = [&](bool draw) {
    if (draw) DrawWindowContent(window);
    StalePreviews();
    refresh() = 1;
  };
  auto popup = [&](int32_t id) { return tb::GetControl32BitValue(Ctl(id)); };
  if (std::find(std::begin(kSettingCommands), std::end(kSettingCommands), command) !=
      std::end(kSettingCommands)) {
    // The four bars act alike: each reads all four.
    BackRest(1);
    TakeSliders(kSettings);
    changed(true);
    return true;
  }
  switch (command) {
    case FourCC("Bsav"):
      // No backup: the record does not change. The list is read again so the
      // new file shows, and the strip, whose files may have moved in the
      // list, is drawn again.
      (void)SavePreset([&] { return RecordFile(1, presetList[0], edit); });
      LoadFractMenus();
      tb::SetControl32BitMaximum(Ctl(kStripBar), tb::CountMenuItems(Ctl(kFilePopup)));
      std::fill(std::begin(shownIndex), std::end(shownIndex), int16_t{-1});
      refresh() = 2;
      return true;
    case FourCC("Bres"):
      BackRest(1);
      Init_FractPar(current(), static_cast<int16_t>(w[kFraType]), 0);
      changed(true);
      return true;
    case FourCC("Pknd"):
      BackRest(1);
      Init_FractPar(current(), static_cast<int16_t>(popup(kTypePopup)), 0);
      changed(true);
      return true;
    case FourCC("Plib"):
      // The chosen file becomes the strip's first sample; the record stays.
      BackRest(1);
      firstSample = static_cast<int16_t>(popup(kFilePopup) - 1);
      refresh() = 1;
      return true;
    case FourCC("Badd"): {
      const int32_t index = firstSample + selectedSample;
      if (!FileThere(index)) return true;
      BackRest(1);
      (void)RecordFile(2, presetList[index], edit);
      changed(true);
      return true;
    }
    case FourCC("Seff"):
      AdjustScrollEdg(static_cast<int16_t>(popup(kStripBar)));
      return true;
    case FourCC("Popa"): {
      BackRest(1);
      const int32_t item = popup(kOpacityPopup);
      if (item >= 1 && item <= 11) w[kFraOpacity] = 10 * (item - 1);
      changed(false);
      return true;
    }
    case FourCC("Pmod"):
      BackRest(1);
      w[kFraColourMode] = popup(kModePopup) - 1;
      changed(false);
      return true;
    case FourCC("Pblu"):
      BackRest(1);
      w[kFraBlur] = popup(kBlurPopup) - 1;
      changed(false);
      return true;
    case FourCC("Lre0"):
    case FourCC("Lre1"):
    case FourCC("Lre2"):
    case FourCC("Lre3"):
    case FourCC("Lim0"):
    case FourCC("Lim1"):
    case FourCC("Lim2"):
    case FourCC("Lim3"):
      // The arrow is released: C goes into its fields and is read back.
      changed(true);
      return true;
    case FourCC("Binv"):
      BackRest(1);
      Invert_LutVign(1, &layer().ramp, 0, 255);
      changed(true);
      return true;
    case FourCC("Badj"):
    case FourCC("Bvig"):
      RampEditorSession::RunFor(*this);
      return true;
    case FourCC("Szoo"):
      ZoomWindow(popup(kZoomSlider), window);
      return true;
    default: return false;
  }
}
