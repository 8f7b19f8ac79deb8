#include "dialogs/patterns/texture_dialog.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <memory>
#include <utility>

#include "app/core/memory_manager.h"
#include "dialogs/frame/effect_frame_procs.h"
#include "dialogs/patterns/ramp_editor_session.h"
#include "engines/patterns/texture_engine.h"
#include "engines/records/session_defaults.h"
#include "views/image_box.h"

namespace tb = plat::tb;

VMKtexturgenUI* gVMKtexturgen = nullptr;

namespace {

// Raised by Cmd-Z or Control-Z; the next tick restores the backup.
int16_t flag_restor = 0;

constexpr OSType kSig = FourCC("Tgen");
// Around the fitted picture: the light grey the image views show there.
constexpr uint8_t kGround = 233;

enum : int32_t {
  kPreview = 4,  // looked up with the others, reached through the application object
  kRamp = 17,
  kPresets = 21,
  kVertKind = 30,
  kHorizKind = 49,
  kParticleKind = 60,
  kEquation = 71,
};

constexpr int32_t kLookup[] = {4,  17, 21, 36, 35, 39, 38, 45, 44, 56, 55, 67, 66, 30, 49, 60,
                               34, 33, 53, 52, 64, 63, 42, 41, 48, 47, 59, 58, 70, 69, 71, 75,
                               74, 78, 77, 81, 80, 5,  9,  13, 12, 10, 14, 15, 11, 16};

constexpr tb::EventTypeSpec kEvents[] = {
    {tb::kEventClassCommand, tb::kEventCommandProcess},   {tb::kEventClassMouse, tb::kEventMouseMoved},
    {tb::kEventClassTextInput, tb::kEventTextInputFilterText}, {tb::kEventClassKeyboard, tb::kEventRawKeyDown},
    {tb::kEventClassMenu, tb::kEventMenuOpening},         {tb::kEventClassMenu, tb::kEventMenuTargetItem},
    {tb::kEventClassMenu, tb::kEventMenuClosed},          {tb::kEventClassControl, tb::kEventControlTrack},
    {tb::kEventClassWindow, tb::kEventWindowDrawContent}, {tb::kEventClassWindow, tb::kEventWindowClickContentRgn},
    {tb::kEventClassWindow, tb::kEventWindowClickCloseRgn}};

constexpr FrameBox kBoxes[] = {{"HIima", false}, {"HIvig", false}};

TextuPar* Rec(void* r) { return static_cast<TextuPar*>(r); }

void InitRecord(void* r, const RecordContext&) { Init_TextuPar(Rec(r)); }
void CopyRecord(const void* s, void* d) { Copy_TextuPar(static_cast<const TextuPar*>(s), Rec(d)); }
int16_t RecordFile(int16_t mode, FSSpec spec, void* r, int16_t) { return Do_ATextu_file(mode, spec, Rec(r)); }
LutVign* RecordRamp(void* r) { return &Rec(r)->ramp; }

// What a preset read with Option leaves: the ramp and the three shifts.
void KeepColours(const void* from, void* to) {
  const auto* f = static_cast<const TextuPar*>(from);
  Rec(to)->ramp = f->ramp;
  Rec(to)->hueShift = f->hueShift;
  Rec(to)->saturationShift = f->saturationShift;
  Rec(to)->lightnessShift = f->lightnessShift;
}

constexpr FrameRecordOps kOps{static_cast<int32_t>(sizeof(TextuPar)), InitRecord, CopyRecord, RecordFile,
                              RecordRamp};

EffectFrameDesc Description() {
  EffectFrameDesc d;
  d.window = "TextuGen";
  d.signature = kSig;
  d.lookup = kLookup;
  d.viewKey = "tgen";
  d.boxes = kBoxes;
  d.effect = 77;
  d.presetType = FourCC("hTex");
  d.record = &kOps;
  d.presetPopup = kPresets;
  d.presetRoom = kPresetRoom;
  d.presetLimit = kPresetRoom;
  d.events = kEvents;
  d.loopInterval = 0.5;
  return d;
}

// The fifteen parameter bars read together.
constexpr uint8_t kParameters = 1;

// The fifteen commands of the parameter bars, in the order of the bars' numbers.
constexpr uint32_t kParameterCommands[] = {FourCC("Shde"), FourCC("Scam"), FourCC("Scbr"), FourCC("Scco"),
                                           FourCC("Stde"), FourCC("Spre"), FourCC("Shvo"), FourCC("Shre"),
                                           FourCC("Spvo"), FourCC("Spsi"), FourCC("Stam"), FourCC("Svre"),
                                           FourCC("Svde"), FourCC("Stst"), FourCC("Svvo")};

ValueRow Parameter(uint32_t command, int32_t bar, int32_t field, int32_t low, int32_t high, size_t offset,
                   bool isFloat) {
  ValueRow row{command, bar, field, low, high, static_cast<int32_t>(offset), ValueRow::kSlider,
               isFloat ? ValueRow::kFloat : ValueRow::kInt32};
  row.group = kParameters;
  return row;
}

ValueRow Shift(uint32_t command, int32_t control, int32_t field, int32_t limit, size_t offset, bool arrows) {
  return {command, control, field, -limit, limit, static_cast<int32_t>(offset),
          arrows ? ValueRow::kArrows : ValueRow::kSlider, ValueRow::kInt32};
}

using Trampolines = EffectFrameTrampolines<gVMKtexturgen>;

bool NumEditKeyFilter(tb::ControlRef c, int16_t* key, int16_t* charCode, uint32_t* modifiers) {
  return Trampolines::NumEditKeyFilter(c, key, charCode, modifiers);
}
void ScrollBar32BitActionProc(tb::ControlRef c, int16_t part) { Trampolines::ScrollBar32BitActionProc(c, part); }
void LittleArrowActionProc(tb::ControlRef c, int16_t part) { Trampolines::LittleArrowActionProc(c, part); }

}  // namespace

void TexturGenLoopHandler(tb::EventLoopTimerRef timer, void* window) { Trampolines::LoopHandler(timer, window); }

OSStatus TexturGenWindowEventHandler(tb::EventHandlerCallRef call, tb::EventRef event, void* window) {
  return Trampolines::WindowEventHandler(call, event, window);
}

const tb::EventHandlerProc& GetTexturGenWindowEventHandlerUPP() { return Trampolines::WindowEventHandlerUPP(); }

// The frame fills current and backup with Init_TextuPar: undo straight after
// opening restores the defaults, never a record nobody filled.
VMKtexturgenUI::VMKtexturgenUI() : EffectFrame(Description(), &flag_restor) {
  Trampolines::Claim(this);
  flag_restor = 0;
  rows_ = {Parameter(FourCC("Scam"), 35, 36, -100, 100, offsetof(TextuPar, warp), true),
           Parameter(FourCC("Scbr"), 38, 39, 0, 100, offsetof(TextuPar, turbulence), true),
           Parameter(FourCC("Stde"), 44, 45, 0, 100, offsetof(TextuPar, vertAmount), true),
           Parameter(FourCC("Shre"), 55, 56, 0, 100, offsetof(TextuPar, horizAmount), true),
           Parameter(FourCC("Stam"), 66, 67, 0, 100, offsetof(TextuPar, particleAmount), true),
           Parameter(FourCC("Shde"), 33, 34, 0, 100, offsetof(TextuPar, vertFrequency), false),
           Parameter(FourCC("Shvo"), 52, 53, 0, 100, offsetof(TextuPar, horizFrequency), false),
           Parameter(FourCC("Spsi"), 63, 64, 0, 100, offsetof(TextuPar, particleCount), false),
           Parameter(FourCC("Scco"), 41, 42, 0, 100, offsetof(TextuPar, turbulenceDetail), true),
           Parameter(FourCC("Spre"), 47, 48, 0, 100, offsetof(TextuPar, vertDetail), true),
           Parameter(FourCC("Spvo"), 58, 59, 0, 100, offsetof(TextuPar, horizDetail), true),
           Parameter(FourCC("Svre"), 69, 70, 0, 1000, offsetof(TextuPar, particleSize), false),
           Parameter(FourCC("Svde"), 74, 75, 0, 100, offsetof(TextuPar, distortion), true),
           Parameter(FourCC("Stst"), 77, 78, 0, 100, offsetof(TextuPar, bias), true),
           Parameter(FourCC("Svvo"), 80, 81, 0, 100, offsetof(TextuPar, gain), true),
           Shift(FourCC("Shue"), 9, 5, 180, offsetof(TextuPar, hueShift), false),
           Shift(FourCC("Lahu"), 13, 5, 180, offsetof(TextuPar, hueShift), true),
           Shift(FourCC("Ssat"), 10, 12, 100, offsetof(TextuPar, saturationShift), false),
           Shift(FourCC("Lasa"), 14, 12, 100, offsetof(TextuPar, saturationShift), true),
           Shift(FourCC("Sval"), 11, 15, 100, offsetof(TextuPar, lightnessShift), false),
           Shift(FourCC("Lava"), 16, 15, 100, offsetof(TextuPar, lightnessShift), true)};
}

VMKtexturgenUI::~VMKtexturgenUI() {
  // The worker may still hold a render that shows into this dialog.
  previews().Stop();
  Trampolines::Release(this);
}

void VMKtexturgenUI::SetTextuPar(const TextuPar* record) {
  if (record == nullptr || current() == nullptr) return;
  Copy_TextuPar(current(), backupRecord());
  Copy_TextuPar(record, current());
}

void VMKtexturgenUI::GetTextuPar(TextuPar* record) const {
  if (record != nullptr && current() != nullptr) Copy_TextuPar(current(), record);
}

int16_t VMKtexturgenUI::Do_TexturGenDlg() {
  return Run({TexturGenLoopHandler, GetTexturGenWindowEventHandlerUPP(), ScrollBar32BitActionProc, nullptr,
              LittleArrowActionProc, NumEditKeyFilter},
             0);
}

// ---- the preview ----

bool VMKtexturgenUI::RenderTexture(const TextuPar& record, int32_t width, int32_t height, uint8_t* red,
                                   uint8_t* green, uint8_t* blue, int32_t density) {
  const int32_t pictureW = SessionPhotoWidth(), pictureH = SessionPhotoHeight();
  if (pictureW <= 0 || pictureH <= 0 || width <= 0 || height <= 0) {
    // No picture: a new engine for every render, as its buffers follow the
    // record. The texture spans the planes whatever their size; only the
    // particles' radius is in pixels, so it grows with the density.
    MiscTextu engine;
    engine.SetTextuPar(&record);
    const float scale = static_cast<float>(std::max<int32_t>(density, 1));
    engine.FillBuf(3, 0, 255, 1, scale, scale, width, height, red, green, blue, nullptr);
    return true;
  }
  // The texture the operation lays over the picture, shown as the picture
  // fitted into the planes and centred, on the view's ground: the operation
  // spans the picture, counts its waves and warp in the picture's pixels and
  // sizes its particles by the picture's larger side over 500, so the
  // preview takes the same at its scale (drawn over the square planes, the
  // waves were as many per plane pixel as the result has per picture pixel:
  // a dozen times too coarse on a 6000-pixel picture).
  const double fit = std::max(static_cast<double>(pictureW) / width, static_cast<double>(pictureH) / height);
  const auto fw = static_cast<int32_t>(std::clamp<double>(std::lround(pictureW / fit), 1, width));
  const auto fh = static_cast<int32_t>(std::clamp<double>(std::lround(pictureH / fit), 1, height));
  // Rendered at up to four samples a plane pixel each way (never finer than
  // the picture) and each block's mean taken, as the picture scaled down
  // takes the mean of what falls in a pixel: waves finer than the planes
  // then show as the colours they average to, not as stripes that alias or
  // a wave left out.
  const auto ss = static_cast<int32_t>(std::clamp(std::floor(fit), 1.0, 4.0));
  const int32_t sw = fw * ss, sh = fh * ss;
  const int64_t n = static_cast<int64_t>(sw) * sh;
  plat::Block<uint8_t> fine[3] = {plat::Block<uint8_t>(n, WorkSource()), plat::Block<uint8_t>(n, WorkSource()),
                                  plat::Block<uint8_t>(n, WorkSource())};
  plat::Block<uint8_t> fitted[3] = {plat::Block<uint8_t>(int64_t{fw} * fh, WorkSource()),
                                    plat::Block<uint8_t>(int64_t{fw} * fh, WorkSource()),
                                    plat::Block<uint8_t>(int64_t{fw} * fh, WorkSource())};
  for (int c = 0; c < 3; ++c)
    if (!fine[c] || !fitted[c]) return false;
  MiscTextu engine;
  engine.SetTextuPar(&record);
  engine.SetPictureSize(pictureW, pictureH);
  engine.FillBuf(3, 0, 255, 1, static_cast<float>(sw) / 500.0f, static_cast<float>(sh) / 500.0f, sw, sh,
                 fine[0].get(), fine[1].get(), fine[2].get(), nullptr);
  for (int c = 0; c < 3; ++c)
    for (int32_t y = 0; y < fh; ++y)
      for (int32_t x = 0; x < fw; ++x) {
        int32_t sum = 0;
        for (int32_t j = 0; j < ss; ++j)
          for (int32_t i = 0; i < ss; ++i) sum += fine[c][(static_cast<int64_t>(y) * ss + j) * sw + x * ss + i];
        fitted[c][static_cast<int64_t>(y) * fw + x] = static_cast<uint8_t>((sum + ss * ss / 2) / (ss * ss));
      }
  const int32_t left = (width - fw) / 2, top = (height - fh) / 2;
  uint8_t* planes[3] = {red, green, blue};
  for (int c = 0; c < 3; ++c) {
    std::memset(planes[c], kGround, static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int32_t y = 0; y < fh; ++y)
      std::memcpy(planes[c] + static_cast<size_t>(top + y) * static_cast<size_t>(width) + left,
                  fitted[c].get() + static_cast<size_t>(y) * static_cast<size_t>(fw), static_cast<size_t>(fw));
  }
  return true;
}

void VMKtexturgenUI::OpenViews(tb::WindowRef) {
  VMKimabox* preview = Box(0);
  VMKimabox* ramp = Box(1);
  preview->InitBuf(21);
  preview->SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0);
  preview->SetPanBufCoord(0, 0, 100000, 100000);
  ramp->InitBuf(21);
  ramp->SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0);
  // A view with no extent still gets planes of one pixel, so that every
  // render has somewhere to go.
  previewWidth_ = std::max<int32_t>(preview->GetRectSizx(), 1);
  previewHeight_ = std::max<int32_t>(preview->GetRectSizy(), 1);
  previewScale_ = std::max<int32_t>(preview->backingScale(), 1);
  const int64_t size = static_cast<int64_t>(previewWidth()) * previewHeight();
  for (plat::Block<uint8_t>& plane : planes_) {
    plane = plat::Block<uint8_t>(size, WorkSource());
    if (plane) plane.Clear();
  }
}

void VMKtexturgenUI::PrepareBuf() {
  if (current() == nullptr || Box(0) == nullptr || !planes_[0] || !planes_[1] || !planes_[2]) return;
  const uint64_t number = ++renderNumber_;
  const int32_t w = previewWidth(), h = previewHeight(), k = previewScale_;
  auto record = std::make_shared<TextuPar>(*current());
  auto out = std::make_shared<std::array<plat::Block<uint8_t>, 3>>();
  auto work = [record, out, w, h, k] {
    const int64_t size = static_cast<int64_t>(w) * h;
    for (plat::Block<uint8_t>& plane : *out) {
      plane = plat::Block<uint8_t>(size, WorkSource());
      if (!plane) return false;
    }
    return RenderTexture(*record, w, h, (*out)[0].get(), (*out)[1].get(), (*out)[2].get(), k);
  };
  // Only the newest render is shown; an older one finishing late is dropped.
  auto show = [this, number, out] {
    if (number != renderNumber_) return;
    for (int k = 0; k < 3; ++k) std::swap(planes_[k], (*out)[k]);
    ShowPlanes();
  };
  previews().Submit(std::make_shared<vmkviews::PreviewJob>(Box(0), std::move(work), std::move(show)));
}

void VMKtexturgenUI::ShowPlanes() {
  const int32_t w = previewWidth_, h = previewHeight_;
  Box(0)->SetFineBufRGB(previewScale_, 0, 0, w, h, w, h, planes_[0].get(), planes_[1].get(), planes_[2].get(),
                        nullptr, 255, 0);
  if (Ctl(kPreview) != nullptr) tb::SetControlNeedsDisplay(Ctl(kPreview));
  ++rendersShown_;
}

// ---- the window ----

void VMKtexturgenUI::DrawOwnContent(tb::WindowRef) {
  const TextuPar* r = current();
  if (r == nullptr) return;
  tb::SetControl32BitValue(Ctl(kVertKind), ItemOfWord(r->vertShape));
  tb::SetControl32BitValue(Ctl(kHorizKind), ItemOfWord(r->horizShape));
  tb::SetControl32BitValue(Ctl(kParticleKind), ItemOfWord(r->particleFalloff));
  tb::SetControl32BitValue(Ctl(kEquation), ItemOfWord(r->combineMode));
  ShowRampBar(Box(1), Ctl(kRamp), &r->ramp, r->hueShift, r->saturationShift, r->lightnessShift);
}

// With Option alone the preset gives only the pattern: the ramp and the
// three shifts stay.
void VMKtexturgenUI::ReadPreset(int32_t entry) { ReadPresetKeeping(entry, KeepColours); }

// A kind popup: items 1 to 4 (the equation 1 to 6) give the kind; any other
// value leaves it.
bool VMKtexturgenUI::KindCommand(uint32_t command) {
  TextuPar* r = current();
  struct Kind {
    uint32_t command;
    int32_t popup;
    int32_t TextuPar::*field;
    int32_t count;
  };
  static constexpr Kind kKinds[] = {{FourCC("Pver"), kVertKind, &TextuPar::vertShape, 4},
                                    {FourCC("Phor"), kHorizKind, &TextuPar::horizShape, 4},
                                    {FourCC("Ppar"), kParticleKind, &TextuPar::particleFalloff, 4},
                                    {FourCC("Pequ"), kEquation, &TextuPar::combineMode, 6}};
  for (const Kind& k : kKinds) {
    if (k.command != command) continue;
    BackRest(1);
    const int32_t v = tb::GetControl32BitValue(Ctl(k.popup));
    if (r != nullptr && v >= 1 && v <= k.count) r->*k.field = v - 1;
    refresh() = 1;
    return true;
  }
  return false;
}

bool VMKtexturgenUI::OwnCommand(uint32_t command, tb::ControlRef, tb::WindowRef window) {
  if (KindCommand(command)) return true;
  if (std::find(std::begin(kParameterCommands), std::end(kParameterCommands), command) !=
      std::end(kParameterCommands)) {
    // Any of the fifteen bars reads all fifteen.
    BackRest(1);
    TakeSliders(kParameters);
    DrawWindowContent(window);
    refresh() = 1;
    return true;
  }
  if (command == FourCC("Badj") || command == FourCC("Bvig")) {
    // The ramp editor shows each ramp tried in the preview; a cancel puts
    // the ramp back as it was.
    RampEditorSession::RunFor(*this);
    return true;
  }
  if (command == FourCC("Lahu") || command == FourCC("Lasa") || command == FourCC("Lava")) {
    // The arrows have written their field; the next tick reads it.
    BackRest(1);
    refresh() = 1;
    return true;
  }
  return false;
}
