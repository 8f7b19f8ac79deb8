#include "dialogs/patterns/shape_dialogs.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <string>

#include "dialogs/frame/effect_frame_procs.h"
#include "dialogs/patterns/ramp_editor_session.h"
#include "host/session/app_object.h"
#include "platform/random/random.h"
#include "views/colour_box.h"
#include "views/image_box.h"

namespace tb = plat::tb;

VMKspiromakerUI* gVMKspiromaker = nullptr;
VMKstarmakerUI* gVMKstarmaker = nullptr;

namespace {

// Raised by Cmd-Z typed into a number field; the next tick restores the
// backup. One for the file, as the two makers share it.
int16_t flag_restor = 0;

constexpr tb::EventTypeSpec kEvents[] = {
    {tb::kEventClassCommand, tb::kEventCommandProcess},      {tb::kEventClassMouse, tb::kEventMouseMoved},
    {tb::kEventClassTextInput, tb::kEventTextInputFilterText}, {tb::kEventClassControl, tb::kEventControlTrack},
    {tb::kEventClassWindow, tb::kEventWindowDrawContent},    {tb::kEventClassWindow, tb::kEventWindowClickContentRgn},
    {tb::kEventClassWindow, tb::kEventWindowClickCloseRgn}};

constexpr FrameBox kBoxes[] = {{"HIima", true}, {"HIvig", false}};

ShapePar* Rec(void* r) { return static_cast<ShapePar*>(r); }
const ShapePar* Rec(const void* r) { return static_cast<const ShapePar*>(r); }

void InitSpiro(void* r, const RecordContext& c) { Init_ShapePar(Rec(r), c.width, c.height, 1); }
void InitStar(void* r, const RecordContext& c) { Init_ShapePar(Rec(r), c.width, c.height, 0); }
void CopyRecord(const void* s, void* d) { Copy_ShapePar(Rec(s), Rec(d)); }
int16_t RecordFile(int16_t mode, FSSpec spec, void* r, int16_t) { return Do_AShapePar_file(mode, spec, Rec(r)); }
LutVign* RecordRamp(void* r) { return &Rec(r)->ramp; }

// What a preset read with Option leaves: the ramp and the three shifts.
void KeepColours(const void* from, void* to) {
  Rec(to)->ramp = Rec(from)->ramp;
  Rec(to)->hueShift = Rec(from)->hueShift;
  Rec(to)->saturationShift = Rec(from)->saturationShift;
  Rec(to)->lightnessShift = Rec(from)->lightnessShift;
}

constexpr FrameRecordOps kSpiroOps{static_cast<int32_t>(sizeof(ShapePar)), InitSpiro, CopyRecord, RecordFile,
                                   RecordRamp};
constexpr FrameRecordOps kStarOps{static_cast<int32_t>(sizeof(ShapePar)), InitStar, CopyRecord, RecordFile,
                                  RecordRamp};

// The colour words sit between blur and the hue shift: one word, red, green, blue, one word.
constexpr int kRed = 1, kGreen = 2, kBlue = 3;

constexpr int32_t Word(size_t offset) { return static_cast<int32_t>(offset / 4); }
// Word k of the shape-tool record inside the shape record.
constexpr int32_t ObjWord(int k) { return Word(offsetof(ShapePar, shape)) + k; }

ValueRow Bar(uint32_t command, int32_t bar, int32_t field, int32_t low, int32_t high, int32_t word, uint8_t group) {
  ValueRow row{command, bar, field, low, high, word};
  row.group = group;
  return row;
}

// The three shifts: bar, arrows and their field each. The value is taken as
// typed, held to 16 bits.
void AddShifts(std::vector<ValueRow>* rows, const int32_t (&ids)[3][3]) {
  const uint32_t bars[3] = {FourCC("Shue"), FourCC("Ssat"), FourCC("Sval")};
  const uint32_t arrows[3] = {FourCC("Lahu"), FourCC("Lasa"), FourCC("Lava")};
  const int32_t limits[3][2] = {{-180, 180}, {-100, 100}, {-32768, 32767}};
  const int32_t words[3] = {Word(offsetof(ShapePar, hueShift)), Word(offsetof(ShapePar, saturationShift)),
                            Word(offsetof(ShapePar, lightnessShift))};
  for (int k = 0; k < 3; ++k) {
    const auto [field, bar, arrow] = ids[k];
    rows->push_back({bars[k], bar, field, limits[k][0], limits[k][1], words[k]});
    rows->push_back({arrows[k], arrow, field, limits[k][0], limits[k][1], words[k], ValueRow::kArrows});
  }
}

EffectFrameDesc Description(const char* window, OSType signature, std::span<const int32_t> lookup,
                            const char* key, int16_t effect, const FrameRecordOps* ops, int32_t presets) {
  EffectFrameDesc d;
  d.window = window;
  d.signature = signature;
  d.lookup = lookup;
  d.viewKey = key;
  d.boxes = kBoxes;
  d.effect = effect;
  d.presetType = FourCC("hShp");
  d.record = ops;
  d.presetPopup = presets;
  d.presetRoom = kPresetRoom;
  d.presetLimit = kPresetRoom;
  d.events = kEvents;
  d.loopInterval = 0.5;
  d.typingPush = 1.0;
  d.drawParams = true;
  return d;
}

bool Listed(std::span<const uint32_t> list, uint32_t command) {
  return std::find(list.begin(), list.end(), command) != list.end();
}

}  // namespace

void FillJitter(TObjPar* shape, bool inner, int16_t amplitude) {
  if (shape == nullptr) return;
  int32_t* table = shape->w + kObjPointDepth;
  for (int i = inner ? 1 : 0; i < 512; i += 2) {
    // 65535 x 32767 and 65535 x -32768 both fit 32 bits; / truncates towards zero.
    const int32_t r = plat::Random() & 0xFFFF;
    table[i] = r * amplitude / 65536;
  }
}

// ---- the twins' common part ----

ShapeMakerDialog::ShapeMakerDialog(const EffectFrameDesc& desc, const ShapeMakerDesc& shape, int16_t* restor)
    : EffectFrame(desc, restor), shape_(shape) {
  if (gVMKapp != nullptr) {
    const int index = FindCustomView(shape.colourView);
    colourBox_ = index >= 0 ? gVMKapp->ColourView(index) : nullptr;
  }
}

void ShapeMakerDialog::SetShapePar(const ShapePar* record) {
  if (record == nullptr || current() == nullptr) return;
  Copy_ShapePar(current(), backupRecord());
  Copy_ShapePar(record, current());
}

void ShapeMakerDialog::GetShapePar(ShapePar* record) const {
  if (record != nullptr && current() != nullptr) Copy_ShapePar(current(), record);
}

void ShapeMakerDialog::ShowPreview() {
  if (current() != nullptr) previewBox()->SetShapePar(current(), applyFlag, previewSource, shape_.effect);
}

void ShapeMakerDialog::OpenViews(tb::WindowRef) {
  VMKimabox* preview = previewBox();
  preview->InitBuf(26);
  preview->SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0);
  preview->SetPanBufCoord(0, 0, 100000, 100000);
  SetOutlineMode(outlineFlag);
  current()->width = context.width;
  current()->height = context.height;
  preview->SetShapePar(current(), -1, previewSource, shape_.effect);
  fit = PlacePicture(preview);
  Box(1)->InitBuf(21);
  Box(1)->SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0);
  if (colourBox_ != nullptr) colourBox_->SetBufParam(0, 0, 0, 1);
}

bool ShapeMakerDialog::ReadyToRun() const { return colourBox_ != nullptr && EffectFrame::ReadyToRun(); }

// Spirograph: the check boxes and the ramp bar; the colour box keeps what
// was last picked in it.
void ShapeMakerDialog::DrawOwnContent(tb::WindowRef) {
  const ShapePar* r = current();
  if (r == nullptr) return;
  tb::SetControl32BitValue(Ctl(shape_.applyCheck), applyFlag);
  tb::SetControl32BitValue(Ctl(shape_.outlineCheck), outlineFlag);
  ShowRampBar(Box(1), Ctl(shape_.rampView), &r->ramp, r->hueShift, r->saturationShift, r->lightnessShift);
}

// A colour picked in the colour box becomes the record's; the next tick
// previews it.
bool ShapeMakerDialog::PollTick(tb::WindowRef window) {
  if (colourBox_ == nullptr || colourBox_->CheckSetRefresh(0) != 1 || current() == nullptr) return false;
  int16_t rgb[3] = {0, 0, 0};
  colourBox_->GetCol(&rgb[0], &rgb[1], &rgb[2]);
  current()->carried[kRed] = rgb[0];
  current()->carried[kGreen] = rgb[1];
  current()->carried[kBlue] = rgb[2];
  DrawWindowContent(window);
  refresh() = 1;
  return false;
}

// With Option alone a preset gives the shape only; the shifts and the ramp stay.
void ShapeMakerDialog::ReadPreset(int32_t entry) { ReadPresetKeeping(entry, KeepColours); }

bool ShapeMakerDialog::OwnCommand(uint32_t command, tb::ControlRef, tb::WindowRef window) {
  const bool placement = Listed(shape_.placement, command);
  if (placement || Listed(shape_.shape, command)) {
    // Kept: the placement bars take no undo point.
    if (!placement) BackRest(1);
    TakeSliders(placement ? kPlacement : kShapeBars);
    StalePreviews();
    DrawWindowContent(window);
    refresh() = 1;
    return true;
  }
  switch (command) {
    case FourCC("Lahu"):
    case FourCC("Lasa"):
    case FourCC("Lava"):
      // Kept: the fields and the ramp bar follow the arrows at once, the
      // preview only at the next refresh.
      BackRest(1);
      GetEditValue();
      DrawWindowContent(window);
      return true;
    case FourCC("Badj"):
    case FourCC("Bvig"):
      // The ramp editor shows each ramp tried in the preview; a cancel puts
      // the ramp back as it was.
      RampEditorSession::RunFor(*this);
      return true;
    case FourCC("Ceff"):
      applyFlag = static_cast<int16_t>(tb::GetControl32BitValue(Ctl(shape_.applyCheck)));
      refresh() = 1;
      return true;
    case FourCC("Csha"):
      outlineFlag = static_cast<int16_t>(tb::GetControl32BitValue(Ctl(shape_.outlineCheck)));
      SetOutlineMode(outlineFlag);
      refresh() = 1;
      return true;
    default: return false;
  }
}

// ---- the spirograph ----

namespace {

using SpiroTrampolines = EffectFrameTrampolines<gVMKspiromaker>;

constexpr int32_t kSpiroLookup[] = {8,  11, 25, 28, 29, 48, 47, 51, 50, 54, 53, 31, 30, 33, 32,
                                    36, 35, 42, 41, 45, 44, 13, 17, 21, 20, 18, 22, 23, 19, 24};
constexpr uint32_t kSpiroPlacement[] = {FourCC("Sxce"), FourCC("Syce"), FourCC("Srad"), FourCC("Sang"),
                                        FourCC("Sblu")};
constexpr uint32_t kSpiroShape[] = {FourCC("Sac1"), FourCC("Sac2"), FourCC("Sac3"), FourCC("Sac4"), FourCC("Sac5")};

bool SpiroNumEditKeyFilter(tb::ControlRef c, int16_t* key, int16_t* charCode, uint32_t* modifiers) {
  return SpiroTrampolines::NumEditKeyFilter(c, key, charCode, modifiers);
}

}  // namespace

void SpiroMakerLoopHandler(tb::EventLoopTimerRef timer, void* window) { SpiroTrampolines::LoopHandler(timer, window); }

OSStatus SpiroMakerWindowEventHandler(tb::EventHandlerCallRef call, tb::EventRef event, void* window) {
  return SpiroTrampolines::WindowEventHandler(call, event, window);
}

const tb::EventHandlerProc& GetSpiroMakerWindowEventHandlerUPP() {
  return SpiroTrampolines::WindowEventHandlerUPP();
}

VMKspiromakerUI::VMKspiromakerUI()
    : ShapeMakerDialog(Description("SpiroMaker", FourCC("Spir"), kSpiroLookup, "spir", 110, &kSpiroOps, 11),
                       {110, kSpiroPlacement, kSpiroShape, "com.vellmarkstead.spir.HIcol", 28, 29, 25},
                       &flag_restor) {
  SpiroTrampolines::Claim(this);
  flag_restor = 0;
  AddShifts(&rows_, {{13, 17, 21}, {20, 18, 22}, {23, 19, 24}});
  const uint32_t sac[5] = {FourCC("Sac1"), FourCC("Sac2"), FourCC("Sac3"), FourCC("Sac4"), FourCC("Sac5")};
  rows_.push_back(Bar(FourCC("Sblu"), 47, 48, 0, 100, Word(offsetof(ShapePar, softness)), kPlacement));
  rows_.push_back(Bar(FourCC("Sxce"), 50, 51, 0, 100, Word(offsetof(ShapePar, centreX)), kPlacement));
  rows_.push_back(Bar(FourCC("Syce"), 53, 54, 0, 100, Word(offsetof(ShapePar, centreY)), kPlacement));
  // Rolling circle, fixed circle, pen distance, angle step, turns.
  const int32_t bars[5][4] = {{30, 31, 0, 100}, {32, 33, -100, 100}, {35, 36, -100, 100}, {41, 42, 1, 100},
                              {44, 45, 1, 200}};
  for (int k = 0; k < 5; ++k)
    rows_.push_back(Bar(sac[k], bars[k][0], bars[k][1], bars[k][2], bars[k][3], ObjWord(555 + k), kShapeBars));
}

VMKspiromakerUI::~VMKspiromakerUI() { SpiroTrampolines::Release(this); }

int16_t VMKspiromakerUI::Do_SpiroMakerDlg(int16_t runFlag) {
  return Run({SpiroMakerLoopHandler, GetSpiroMakerWindowEventHandlerUPP(), SpiroTrampolines::ScrollBar32BitActionProc,
              nullptr, SpiroTrampolines::LittleArrowActionProc, SpiroNumEditKeyFilter},
             runFlag);
}

void VMKspiromakerUI::SetOutlineMode(int16_t mode) { previewBox()->SetSpirMode(mode); }

// ---- the star ----

namespace {

using StarTrampolines = EffectFrameTrampolines<gVMKstarmaker>;

constexpr int32_t kStarLookup[] = {8,  9,  42, 43, 12, 26, 67, 66, 70, 69, 73, 72, 76, 75, 63, 62, 32, 31, 34,
                                   33, 37, 36, 39, 41, 50, 51, 59, 60, 52, 61, 48, 57, 29, 30, 49, 58, 7,  35,
                                   14, 18, 22, 21, 19, 23, 24, 20, 25, 44, 45, 46, 47, 53, 54, 55, 56};
constexpr uint32_t kStarPlacement[] = {FourCC("Sxce"), FourCC("Syce"), FourCC("Srad"), FourCC("Sang")};
constexpr uint32_t kStarShape[] = {FourCC("Sac1"), FourCC("Sac2"), FourCC("Sac3"), FourCC("Sblu")};

// The corner (inner) and tip (outer) sides of the star.
struct Side {
  bool inner;
  int32_t firstRadio;    // of the four kinds
  int32_t bars[2];       // its two values
  int32_t jitterCheck;   // its jitter switch
  int32_t newJitter;     // the button that draws a new table
  int32_t amplitudeBar;  // its jitter amplitude
  int words[4];          // the two values, the kind and the switch in the shape-tool record
  uint32_t kindCommands[4];
  uint32_t switchCommand;
  uint32_t amplitudeCommand;
  uint32_t newCommand;
};
constexpr Side kSides[2] = {
    {true, 44, {50, 51}, 48, 49, 52, {kObjInnerForward, kObjInnerBackward, kObjInnerStyle, kObjInnerPerPoint},
     {FourCC("Rei1"), FourCC("Rei2"), FourCC("Rei3"), FourCC("Rei4")}, FourCC("Chir"), FourCC("Rvli"),
     FourCC("Bgni")},
    {false, 53, {59, 60}, 57, 58, 61, {kObjTipForward, kObjTipBackward, kObjTipStyle, kObjTipPerPoint},
     {FourCC("Reo1"), FourCC("Reo2"), FourCC("Reo3"), FourCC("Reo4")}, FourCC("Chor"), FourCC("Rvlo"),
     FourCC("Bgno")}};
constexpr uint32_t kSideBarCommands[] = {FourCC("Rlxi"), FourCC("Rlxo"), FourCC("Rexi"), FourCC("Rexo")};

bool StarNumEditKeyFilter(tb::ControlRef c, int16_t* key, int16_t* charCode, uint32_t* modifiers) {
  return StarTrampolines::NumEditKeyFilter(c, key, charCode, modifiers);
}

}  // namespace

void StarMakerLoopHandler(tb::EventLoopTimerRef timer, void* window) { StarTrampolines::LoopHandler(timer, window); }

OSStatus StarMakerWindowEventHandler(tb::EventHandlerCallRef call, tb::EventRef event, void* window) {
  return StarTrampolines::WindowEventHandler(call, event, window);
}

const tb::EventHandlerProc& GetStarMakerWindowEventHandlerUPP() { return StarTrampolines::WindowEventHandlerUPP(); }

VMKstarmakerUI::VMKstarmakerUI()
    : ShapeMakerDialog(Description("StarMaker", FourCC("Star"), kStarLookup, "star", 109, &kStarOps, 12),
                       {109, kStarPlacement, kStarShape, "com.vellmarkstead.star.HIcol", 29, 30, 26},
                       &flag_restor) {
  StarTrampolines::Claim(this);
  flag_restor = 0;
  AddShifts(&rows_, {{14, 18, 22}, {21, 19, 23}, {24, 20, 25}});
  rows_.push_back(Bar(FourCC("Sxce"), 66, 67, 0, 100, Word(offsetof(ShapePar, centreX)), kPlacement));
  rows_.push_back(Bar(FourCC("Syce"), 69, 70, 0, 100, Word(offsetof(ShapePar, centreY)), kPlacement));
  rows_.push_back(Bar(FourCC("Srad"), 72, 73, 0, 200, Word(offsetof(ShapePar, radius)), kPlacement));
  rows_.push_back(Bar(FourCC("Sang"), 75, 76, 0, 360, Word(offsetof(ShapePar, rotation)), kPlacement));
  rows_.push_back(Bar(FourCC("Sblu"), 62, 63, 0, 100, Word(offsetof(ShapePar, softness)), kShapeBars));
  rows_.push_back(Bar(FourCC("Sac1"), 31, 32, 0, 100, ObjWord(kObjStarInner), kShapeBars));
  rows_.push_back(Bar(FourCC("Sac2"), 33, 34, 0, 100, ObjWord(kObjStarAltTip), kShapeBars));
  rows_.push_back(Bar(FourCC("Sac3"), 36, 37, 0, 100, ObjWord(kObjStarAltInner), kShapeBars));
  // Star parameter 4 and the point count have a field only.
  rows_.push_back(Bar(0, -1, 39, 0, 1000, ObjWord(kObjOutlineOffset), 0));
  rows_.push_back(Bar(0, -1, 41, 0, 256, ObjWord(kObjStarPoints), 0));
}

VMKstarmakerUI::~VMKstarmakerUI() { StarTrampolines::Release(this); }

int16_t VMKstarmakerUI::Do_StarMakerDlg(int16_t runFlag) {
  return Run({StarMakerLoopHandler, GetStarMakerWindowEventHandlerUPP(), StarTrampolines::ScrollBar32BitActionProc,
              nullptr, StarTrampolines::LittleArrowActionProc, StarNumEditKeyFilter},
             runFlag);
}

void VMKstarmakerUI::SetOutlineMode(int16_t mode) { previewBox()->SetStarMode(mode); }

void VMKstarmakerUI::DrawOwnContent(tb::WindowRef window) {
  ShapeMakerDialog::DrawOwnContent(window);
  ShowStarControls();
  const ShapePar* r = current();
  if (r != nullptr && colourBox() != nullptr)
    colourBox()->SetCol(static_cast<int16_t>(r->carried[kRed]), static_cast<int16_t>(r->carried[kGreen]),
                        static_cast<int16_t>(r->carried[kBlue]));
}

void VMKstarmakerUI::ShowStarControls() {
  const ShapePar* r = current();
  if (r == nullptr) return;
  const int32_t* w = r->shape.w;
  // Star parameters 2 and 3 belong to an even point count.
  const bool even = w[kObjStarPoints] % 2 == 0;
  for (int32_t id : {7, 33, 34, 35, 36, 37}) tb::SetControlVisibility(Ctl(id), even);
  for (const Side& side : kSides) {
    const int32_t kind = w[side.words[2]];
    const bool jitter = w[side.words[3]] != 0;
    const int16_t amplitude = side.inner ? innerAmplitude : outerAmplitude;
    for (int k = 1; k <= 4; ++k) tb::SetControl32BitValue(Ctl(side.firstRadio + k - 1), kind == k ? 1 : 0);
    for (int b = 0; b < 2; ++b) {
      tb::SetControl32BitValue(Ctl(side.bars[b]), w[side.words[b]]);
      // The first kind has no values to set.
      tb::SetControlVisibility(Ctl(side.bars[b]), kind != 1);
    }
    tb::SetControl32BitValue(Ctl(side.jitterCheck), jitter ? 1 : 0);
    tb::SetControl32BitValue(Ctl(side.amplitudeBar), amplitude);
    tb::SetControlVisibility(Ctl(side.amplitudeBar), jitter);
    // A new table means nothing at amplitude 0.
    tb::SetControlVisibility(Ctl(side.newJitter), jitter && amplitude != 0);
  }
}

// The kinds, the jitter switches, amplitudes and new tables. Kept: no undo
// point, and the window follows at the next tick.
bool VMKstarmakerUI::JitterCommand(uint32_t command) {
  int32_t* w = current()->shape.w;
  for (const Side& side : kSides) {
    int16_t& amplitude = side.inner ? innerAmplitude : outerAmplitude;
    for (int kind = 1; kind <= 4; ++kind) {
      if (command != side.kindCommands[kind - 1]) continue;
      w[side.words[2]] = kind;
      refresh() = 1;
      return true;
    }
    if (command == side.amplitudeCommand)
      amplitude = static_cast<int16_t>(tb::GetControl32BitValue(Ctl(side.amplitudeBar)));
    if (command == side.amplitudeCommand || command == side.switchCommand) {
      // Turning the jitter off keeps the table's entries.
      w[side.words[3]] = tb::GetControl32BitValue(Ctl(side.jitterCheck));
      if (w[side.words[3]] != 0) FillJitter(&current()->shape, side.inner, amplitude);
      refresh() = 1;
      return true;
    }
    if (command == side.newCommand) {
      FillJitter(&current()->shape, side.inner, amplitude);
      refresh() = 1;
      return true;
    }
  }
  return false;
}

bool VMKstarmakerUI::OwnCommand(uint32_t command, tb::ControlRef source, tb::WindowRef window) {
  if (current() == nullptr) return false;
  if (JitterCommand(command)) return true;
  if (Listed(kSideBarCommands, command)) {
    BackRest(1);
    for (const Side& side : kSides)
      for (int b = 0; b < 2; ++b) current()->shape.w[side.words[b]] = tb::GetControl32BitValue(Ctl(side.bars[b]));
    StalePreviews();
    DrawWindowContent(window);
    refresh() = 1;
    return true;
  }
  return ShapeMakerDialog::OwnCommand(command, source, window);
}
