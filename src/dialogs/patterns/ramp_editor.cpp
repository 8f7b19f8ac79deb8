#include "dialogs/patterns/ramp_editor.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "app/core/colour_spaces.h"
#include "app/keyboard.h"
#include "dialogs/frame/effect_frame_procs.h"
#include "dialogs/frame/fine_bitmap.h"
#include "dialogs/patterns/ramp_browser.h"
#include "engines/records/param_record.h"
#include "host/session/app_object.h"
#include "host/session/small_dialogs.h"
#include "platform/toolbox/api/ui_services.h"
#include "script/ramp_bitmaps.h"
#include "views/colour_box.h"
#include "views/image_box.h"

namespace tb = plat::tb;

VMKadjvignUI* gVMKadjvignUI = nullptr;

namespace {

// Raised by Cmd-Z, Ctrl-Z and by backspace or delete outside a field; the
// next tick restores the ramp from its backup.
int16_t flag_restor = 0;

using Trampolines = EffectFrameTrampolines<gVMKadjvignUI>;

void ScrollBar32BitActionProc(tb::ControlRef control, int16_t part) {
  Trampolines::ScrollBar32BitActionProc(control, part);
}
void LittleArrowActionProc(tb::ControlRef control, int16_t part) {
  Trampolines::LittleArrowActionProc(control, part);
}
bool NumEditKeyFilter(tb::ControlRef c, int16_t* key, int16_t* charCode, uint32_t* modifiers) {
  return Trampolines::NumEditKeyFilter(c, key, charCode, modifiers);
}

constexpr OSType kSig = FourCC("Avig");
constexpr int32_t kLookup[] = {5,  7,  9,  32, 11, 26, 29, 38, 39, 40, 41, 27, 28, 30,
                               23, 24, 25, 18, 19, 12, 15, 13, 16, 42, 44, 43, 17, 33};
constexpr int32_t kFromText = 18, kToText = 19;
constexpr int32_t kColourPickFrame = 12, kColourBarFrame = 15, kOpacityPickFrame = 13, kOpacityBarFrame = 16;
constexpr int32_t kPreviewCheck = 42, kCategoryPopup = 44, kNamePopup = 43;
constexpr int16_t kPickerCursor = 16001;

// The boxes, in the order View() numbers them; none renders an effect.
enum : int { kColourPicker, kColourBar, kOpacityPicker, kOpacityBar, kRange };
constexpr FrameBox kBoxes[] = {{"HIvigfr", false}, {"HIvigto", false}, {"HIopafr", false},
                               {"HIopato", false}, {"HIslid", false}};

constexpr tb::EventTypeSpec kEvents[] = {
    {tb::kEventClassCommand, tb::kEventCommandProcess}, {tb::kEventClassMouse, tb::kEventMouseMoved},
    {tb::kEventClassTextInput, tb::kEventTextInputFilterText}, {tb::kEventClassKeyboard, tb::kEventRawKeyDown},
    {tb::kEventClassMenu, tb::kEventMenuOpening}, {tb::kEventClassMenu, tb::kEventMenuTargetItem},
    {tb::kEventClassMenu, tb::kEventMenuClosed}, {tb::kEventClassControl, tb::kEventControlTrack},
    {tb::kEventClassWindow, tb::kEventWindowDrawContent}};

// A ramp before the owner hands one in: full opacity, black to white.
void InitRamp(void* r, const RecordContext&) { Init_LutVign(0, static_cast<LutVign*>(r), 0, 0, 0, 0); }
void CopyRamp(const void* s, void* d) { Copy_LutVign(static_cast<const LutVign*>(s), static_cast<LutVign*>(d)); }

constexpr FrameRecordOps kRampOps{static_cast<int32_t>(sizeof(LutVign)), InitRamp, CopyRamp, nullptr, nullptr};

EffectFrameDesc Desc() {
  EffectFrameDesc d;
  d.window = "AdjVign";
  d.signature = kSig;
  d.lookup = kLookup;
  d.viewKey = "adjvign";
  d.boxes = kBoxes;
  d.record = &kRampOps;
  d.hoverPopup = kNamePopup;
  d.events = kEvents;
  d.loopInterval = 0.3;
  d.focusEdit = 11;
  // The first tick only polls the boxes: the ramp is shown as handed in.
  d.refreshAtOpen = false;
  return d;
}

constexpr int32_t kAny = INT32_MIN, kAll = INT32_MAX;

bool Option() { return TestKeyModif(optionKey) == 1; }

bool Inside(tb::ControlRef c, const Point& p) {
  if (c == nullptr) return false;
  const Rect r = tb::GetControlBounds(c);
  return p.h >= r.left && p.h < r.right && p.v >= r.top && p.v < r.bottom;
}

// A box's drawing rectangle, (0, 0, height, width), from the size its view
// was given.
Rect BoxRect(VMKimabox* box) {
  const ImaboxState& st = box->state();
  return Rect{0, 0, static_cast<int16_t>(st.viewHeight), static_cast<int16_t>(st.viewWidth)};
}

}  // namespace

// One scratch image, drawn and handed to each box in turn; a box larger
// than the scratch shows as many rows as fit.
void DrawRampImages(VMKimabox* colourBar, VMKimabox* opacityBar, VMKimabox* colourPicker, VMKimabox* opacityPicker,
                    const LutVign* ramp, int16_t hue, int16_t saturation, int16_t value) {
  auto* scratch = static_cast<uint8_t*>(vmkrec::NewScratch(VMKadjvignUI::kScratchBytes));
  if (scratch == nullptr) return;
  for (VMKimabox* box : {colourBar, opacityBar, colourPicker, opacityPicker}) {
    if (box == nullptr) continue;
    Rect r = BoxRect(box);
    const int32_t w = r.right;
    if (w <= 0 || r.bottom <= 0 || w * 4 > VMKadjvignUI::kScratchBytes) continue;
    r.bottom = static_cast<int16_t>(std::min<int32_t>(r.bottom, VMKadjvignUI::kScratchBytes / (4 * w)));
    // On a denser screen each is drawn at the device pixels on a buffer of
    // its own (the rows kept to those the scratch holds at the view's size).
    auto draw = [&](int32_t scale, const Rect& at, uint8_t* bitmap) {
      if (box == colourBar) build_BufBarAt(scale, &at, bitmap, ramp, hue, saturation, value);
      if (box == opacityBar) build_BufBarOpaAt(scale, &at, bitmap, ramp);
      if (box == colourPicker) build_BufPick(0, &at, bitmap, hue, saturation, value);
      if (box == opacityPicker) build_BufPickPatAt(scale, &at, bitmap);
      return true;
    };
    ShowFineBitmap(box, w, r.bottom, draw, scratch);
  }
  vmkrec::DeleteScratch(scratch);
}

void AdjVignLoopHandler(tb::EventLoopTimerRef timer, void* window) { Trampolines::LoopHandler(timer, window); }

OSStatus AdjVignWindowEventHandler(tb::EventHandlerCallRef call, tb::EventRef event, void* window) {
  return Trampolines::WindowEventHandler(call, event, window);
}

const tb::EventHandlerProc& GetAdjVignWindowEventHandlerUPP() { return Trampolines::WindowEventHandlerUPP(); }

// ---- construction and hand-over ----

VMKadjvignUI::VMKadjvignUI() : EffectFrame(Desc(), &flag_restor), keeper(std::make_unique<VMKlisteff>(1, 1)) {
  flag_restor = 0;
  Trampolines::Claim(this);
  rows_ = {{FourCC("Larr"), 38, 5, 0, 255, kRed, ValueRow::kArrows, ValueRow::kInt16},
           {FourCC("Larg"), 39, 7, 0, 255, kGreen, ValueRow::kArrows, ValueRow::kInt16},
           {FourCC("Larb"), 40, 9, 0, 255, kBlue, ValueRow::kArrows, ValueRow::kInt16},
           {FourCC("Lara"), 41, 32, 0, 255, kOpacity, ValueRow::kArrows, ValueRow::kInt16},
           {FourCC("Shue"), 23, 11, -180, 180, kHue, ValueRow::kSlider, ValueRow::kInt16},
           {FourCC("Lahu"), 27, 11, -180, 180, kHue, ValueRow::kArrows, ValueRow::kInt16},
           {FourCC("Ssat"), 24, 26, -100, 100, kSaturation, ValueRow::kSlider, ValueRow::kInt16},
           {FourCC("Lasa"), 28, 26, -100, 100, kSaturation, ValueRow::kArrows, ValueRow::kInt16},
           // The value shift is stored as typed, held to its short.
           {FourCC("Sval"), 25, 29, kAny, kAll, kValue, ValueRow::kSlider, ValueRow::kInt16},
           {FourCC("Lava"), 30, 29, kAny, kAll, kValue, ValueRow::kArrows, ValueRow::kInt16}};
  if (gVMKapp != nullptr) {
    const int index = FindCustomView("com.vellmarkstead.adjvign.HIcolfr");
    swatch_ = index >= 0 ? gVMKapp->ColourView(index) : nullptr;
  }
  categoryMenu_ = plat::ui::NewMenu(16034, "categories");
  nameMenu_ = plat::ui::NewMenu(16033, "names");
}

VMKadjvignUI::~VMKadjvignUI() {
  plat::ui::DisposeMenu(categoryMenu_);
  plat::ui::DisposeMenu(nameMenu_);
  Trampolines::Release(this);
}

int16_t VMKadjvignUI::UndoRequest() { return flag_restor; }

void VMKadjvignUI::SetLutVign(const LutVign* ramp) {
  if (ramp == nullptr || edit == nullptr) return;
  Copy_LutVign(ramp, backupRamp());
  Copy_LutVign(ramp, current());
}

// Without shifts the ramp goes out as it is: the colour round trip of the
// adjustment would otherwise darken some entries by one at every hand-over.
void VMKadjvignUI::GetLutVign(LutVign* out) {
  if (out == nullptr || edit == nullptr) return;
  LutVign adjusted;
  Copy_LutVign(current(), &adjusted);
  if (hue != 0 || saturation != 0 || value != 0) HSLadjust_LutVign(&adjusted, hue, saturation, value);
  Copy_LutVign(&adjusted, out);
}

int16_t VMKadjvignUI::CheckSetPreview(int16_t v) {
  if (flagPreview != 1) return 0;
  const int16_t was = pending;
  pending = v;
  return was;
}

int16_t VMKadjvignUI::Do_AdjVignUIDlg() {
  return Run({AdjVignLoopHandler, GetAdjVignWindowEventHandlerUPP(), ScrollBar32BitActionProc, nullptr,
              LittleArrowActionProc, NumEditKeyFilter});
}

// ---- values ----

int16_t* VMKadjvignUI::Member(int32_t which) {
  switch (which) {
    case kRed: return &red;
    case kGreen: return &green;
    case kBlue: return &blue;
    case kOpacity: return &opacity;
    case kHue: return &hue;
    case kSaturation: return &saturation;
    case kValue: return &value;
    default: return nullptr;
  }
}

int32_t VMKadjvignUI::RowValue(const ValueRow& row) {
  const int16_t* m = Member(row.word);
  return m != nullptr ? *m : 0;
}

void VMKadjvignUI::SetRowValue(const ValueRow& row, int32_t v) {
  if (int16_t* m = Member(row.word)) *m = static_cast<int16_t>(ClampToStorage(ValueRow::kInt16, v));
}

// ---- opening ----

void VMKadjvignUI::OpenViews(tb::WindowRef) {
  for (int k : {kColourPicker, kColourBar, kOpacityPicker, kOpacityBar}) {
    View(k)->SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0);
    View(k)->SetPickCoord(1);
  }
  if (swatch_ != nullptr) swatch_->SetBufParam(0, 0, 0, 1);
  View(kRange)->SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0);
  View(kRange)->SetPickMinMax(1, 255);
  View(kRange)->SetMinMax(from, to);
}

void VMKadjvignUI::LoadOwnMenus() {
  keeper->fillLimit = 1;
  keeper->firstVisible = 0;
  keeper->PrepareCatNamMenus(categoryMenu_, nameMenu_, keeper->family);
  FillPopup(Ctl(kCategoryPopup), categoryMenu_);
  FillPopup(Ctl(kNamePopup), nameMenu_);
  tb::SetControl32BitValue(Ctl(kCategoryPopup), keeper->selectedCategory);
  for (int k : {kColourPicker, kColourBar, kOpacityPicker, kOpacityBar}) View(k)->InitBuf(21);
}

// ---- showing the state ----

void VMKadjvignUI::ShowBitmaps() {
  DrawRampImages(View(kColourBar), View(kOpacityBar), View(kColourPicker), View(kOpacityPicker), current(), hue,
                 saturation, value);
}

void VMKadjvignUI::DrawOwnContent(tb::WindowRef) {
  tb::ControlRef check = Ctl(kPreviewCheck);
  tb::SetControlVisibility(check, flagPreview != -1);
  if (flagPreview != -1) tb::SetControl32BitValue(check, flagPreview);
  char text[16];
  std::snprintf(text, sizeof text, "%d", from);
  tb::SetControlText(Ctl(kFromText), text);
  std::snprintf(text, sizeof text, "%d", to);
  tb::SetControlText(Ctl(kToText), text);
  if (swatch_ != nullptr) {
    float r = static_cast<float>(red) / 255.0f, g = static_cast<float>(green) / 255.0f,
          b = static_cast<float>(blue) / 255.0f;
    RGBHSLadjust(&r, &g, &b, hue, saturation, value);
    auto byte = [](float v) { return static_cast<int16_t>(std::clamp(v * 255.0f, 0.0f, 255.0f)); };
    swatch_->SetCol(byte(r), byte(g), byte(b));
  }
  ShowBitmaps();
}

// The loop's hand-off: the swatch takes the colour as typed and the owner
// is told the ramp may have changed.
void VMKadjvignUI::ShowPreview() {
  if (swatch_ != nullptr) swatch_->SetCol(red, green, blue);
  pending = 1;
}

// ---- the loop's own steps ----

bool VMKadjvignUI::PollPicker(tb::WindowRef) {
  bool changed = false;
  if (View(kRange)->CheckSetRefresh(0) == 1) {
    View(kRange)->GetMinMax(&from, &to);
    changed = true;
  }
  if (swatch_ != nullptr && swatch_->CheckSetRefresh(0) == 1) {
    swatch_->GetCol(&red, &green, &blue);
    changed = true;
  }
  int32_t x = 0, y = 0;
  if (View(kColourPicker)->CheckSetRefresh(0) == 1) {
    View(kColourPicker)->GetCoord(&x, &y);
    const Rect r = BoxRect(View(kColourPicker));
    uint16_t R = 0, G = 0, B = 0;
    getVPick(x, y, &r, &R, &G, &B);
    red = static_cast<int16_t>(R >> 8);
    green = static_cast<int16_t>(G >> 8);
    blue = static_cast<int16_t>(B >> 8);
    changed = true;
  }
  if (View(kOpacityPicker)->CheckSetRefresh(0) == 1) {
    View(kOpacityPicker)->GetCoord(&x, &y);
    const Rect r = BoxRect(View(kOpacityPicker));
    uint16_t a = 0;
    getAPick(x, y, &r, &a);
    opacity = static_cast<int16_t>(a);
    changed = true;
  }
  return changed;
}

// A click on a ramp bar paints the current colour (or opacity) at its
// entry, blended to the ends of the range; with Option it samples the
// entry instead, which leaves the ramp and the owner alone.
bool VMKadjvignUI::PollBar(int k) {
  if (View(k)->CheckSetRefresh(0) != 1) return false;
  BackRest(1);
  int32_t x = 0, y = 0;
  View(k)->GetCoord(&x, &y);
  const int32_t w = std::max<int32_t>(1, BoxRect(View(k)).right);
  const auto p = static_cast<int16_t>(std::clamp(static_cast<int32_t>(x * 255.0 / w + 0.5), 0, 255));
  LutVign* ramp = current();
  if (Option()) {
    if (k == kColourBar) {
      red = ramp->colour[0][p];
      green = ramp->colour[1][p];
      blue = ramp->colour[2][p];
    } else {
      opacity = ramp->opacity[p];
    }
    return true;
  }
  if (k == kColourBar) InterLutCol(from, to, ramp, p, red, green, blue);
  else InterLutOpa(from, to, ramp, p, opacity);
  pending = 1;
  return true;
}

bool VMKadjvignUI::PollTick(tb::WindowRef window) {
  bool changed = PollPicker(window);
  if (PollBar(kColourBar)) changed = true;
  if (PollBar(kOpacityBar)) changed = true;
  return changed;
}

// ---- the ramp library ----

void VMKadjvignUI::ReadEntry(int16_t index) {
  fichier file;
  Init_FicStruct(&file);
  keeper->GetFichInList(categoryMenu_, index, &file);
  if (file.name[0] == 0) return;
  char category[kLutVignTextSize] = {};
  (void)Do_ALutVign_file(2, SpecOf(file), current(), category, secondText, hue, saturation, value,
                         Option() ? 1 : 0);
}

void VMKadjvignUI::HoverItem(int32_t item, tb::WindowRef window) {
  if (item < 1 || item > tb::CountMenuItems(Ctl(kNamePopup))) return;
  ReadEntry(static_cast<int16_t>(item - 1));
  DrawWindowContent(window);
  refresh() = 1;
  Loop(loopTimer, window);
}

// The browser starts from the ramp being edited, so what it hands back is
// always defined.
void VMKadjvignUI::LoadRamps() {
  BackRest(1);
  auto browser = std::make_unique<VMKloadvign>();
  browser->SetLutVign(current());
  if (browser->Do_LoadVignDlg() == 1) browser->GetLutVign(current());
  browser.reset();
  refresh() = 1;
}

// The shifts become part of the ramp only when the file was written; the
// fields then show them at 0 before the next tick reads them back.
void VMKadjvignUI::SaveRamp(tb::WindowRef window) {
  auto library = std::make_unique<VMKlibr>();
  char category[kLutVignTextSize + 1] = "MISC";
  if (library->Do_CatalogDlg(1, category) == 1) {
    FSSpec none{};
    if (SavePreset([&] {
          return Do_ALutVign_file(1, none, current(), category, secondText, hue, saturation, value, 0);
        }) == 0)
      hue = saturation = value = 0;
  }
  library.reset();
  DrawWindowContent(window);
  refresh() = 1;
}

// ---- commands and events ----

bool VMKadjvignUI::OwnCommand(uint32_t command, tb::ControlRef, tb::WindowRef window) {
  switch (command) {
    case FourCC("Cprv"):
      flagPreview = static_cast<int16_t>(tb::GetControl32BitValue(Ctl(kPreviewCheck)));
      DrawWindowContent(window);
      return true;
    case FourCC("Binv"):
      BackRest(1);
      Invert_LutVign(Option() ? 1 : 0, current(), from, to);
      refresh() = 1;
      return true;
    case FourCC("Bres"):
      BackRest(1);
      Init_LutVign(Option() ? 1 : 0, current(), 0, 0, 0, 0);
      refresh() = 1;
      return true;
    case FourCC("Brnd"):
      BackRest(1);
      Random_LutVign(Option() ? 1 : 0, current());
      refresh() = 1;
      return true;
    case FourCC("Bloa"): LoadRamps(); return true;
    case FourCC("Bsav"): SaveRamp(window); return true;
    case FourCC("Pnam"): {
      const auto index = static_cast<int16_t>(tb::GetControl32BitValue(Ctl(kNamePopup)) - 1);
      keeper->firstVisible = index;
      ReadEntry(index);
      DrawWindowContent(window);
      return true;
    }
    default: return false;
  }
}

void VMKadjvignUI::Cursor(const Point& where) const {
  if (Inside(Ctl(kColourPickFrame), where) || Inside(Ctl(kOpacityPickFrame), where)) {
    plat::ui::SetResourceCursor(kPickerCursor);
  } else if (Inside(Ctl(kColourBarFrame), where) || Inside(Ctl(kOpacityBarFrame), where)) {
    if (Option()) plat::ui::SetResourceCursor(kPickerCursor);
    else plat::ui::SetThemeCursor(plat::ui::kCrossCursor);
  } else {
    plat::ui::SetThemeCursor(plat::ui::kArrowCursor);
  }
}

// Backspace and delete undo only when no number field has them to edit.
bool VMKadjvignUI::OwnEvent(tb::EventRef event, tb::WindowRef, OSStatus* status) {
  *status = tb::eventNotHandledErr;
  if (event->eventClass == tb::kEventClassMouse && event->kind == tb::kEventMouseMoved) {
    Cursor(event->mouse);
    return true;
  }
  if (event->eventClass != tb::kEventClassKeyboard || event->kind != tb::kEventRawKeyDown) return false;
  refresh() = 1;
  const int16_t c = event->charCode;
  const uint32_t m = event->modifiers;
  const bool inField = event->control != nullptr && tb::IsEditText(event->control);
  const bool undo = (m == cmdKey && c == 'z') || (m == controlKey && c == 26) ||
                    (!inField && (c == 8 || c == 127));
  if (undo) {
    flag_restor = 1;
    *status = noErr;
  }
  return true;
}
