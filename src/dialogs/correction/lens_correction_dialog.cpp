#include "dialogs/correction/lens_correction_dialog.h"

#include <iterator>
#include <memory>

#include "app/keyboard.h"
#include "dialogs/correction/effect_dialog_procs.h"
#include "host/session/small_dialogs.h"
#include "views/image_box.h"

namespace tb = plat::tb;

VMKzondracUI* gVMKzondrac = nullptr;

namespace {

// Raised by Cmd-Z or Control-Z; never read (kept).
int16_t flag_restor = 0;

// ---- the record ----

void Init(void* r, const RecordContext& c) {
  Init_ZondracPar(static_cast<ZondracPar*>(r), c.width, c.height, c.resolution, 20, 20, 2);
}
void Copy(const void* s, void* d) { Copy_ZondracPar(static_cast<const ZondracPar*>(s), static_cast<ZondracPar*>(d)); }
int16_t File(int16_t mode, FSSpec spec, void* r, int16_t) {
  return Do_AZondrac_file(mode, spec, static_cast<ZondracPar*>(r));
}
void ToView(VMKimabox* view, void* r, int16_t mode, int16_t level) {
  view->SetZondracPar(static_cast<ZondracPar*>(r), mode, level);
}
int32_t* Words(void* r) { return static_cast<ZondracPar*>(r)->w; }

// Record words the dialog itself reads or writes.
constexpr int32_t kFirstGridValue = kZndFrameCells;     // word 5
constexpr int32_t kSecondGridValue = kZndFrameLastRow;  // word 6
constexpr int32_t kGridOverlay = 7;           // 0 none, 1 regular, 2 corrected, 3 both

// ---- the window ----

constexpr int32_t kTabs = 1;
constexpr int32_t kSwitch = 41;
constexpr int32_t kStatus = 42;
constexpr int32_t kRegularGrid = 52;
constexpr int32_t kCorrectedGrid = 53;

constexpr int32_t kLookup[] = {1,  8,  9,  21, 22, 10, 12, 14, 15, 20, 24, 25, 16, 18, 34, 38,
                               43, 46, 49, 17, 19, 35, 39, 44, 47, 50, 26, 27, 36, 40, 45, 48,
                               51, 28, 30, 29, 31, 32, 33, 37, 41, 42, 52, 53, 54, 55};
static_assert(std::size(kLookup) == 46);

// Row r of the seven: its label, field, slider and command.
struct RowControls {
  int32_t label, edit, slider;
  uint32_t command;
};
constexpr RowControls kRow[7] = {{16, 17, 26, FourCC("Sla0")}, {18, 19, 27, FourCC("Sla1")},
                                 {34, 35, 36, FourCC("Sla2")}, {38, 39, 40, FourCC("Sla3")},
                                 {43, 44, 45, FourCC("Sla4")}, {46, 47, 48, FourCC("Sla5")},
                                 {49, 50, 51, FourCC("Sla6")}};

// What each page's rows edit: label, range (slider and clamp), word.
struct PageRow {
  int16_t page;
  int row;
  const char* title;
  int32_t minimum, maximum;
  int32_t word;
};
constexpr PageRow kPageRows[] = {
    {1, 0, "Horizontal:", -100, 100, kZndDistortH},
    {1, 1, "Vertical:", -100, 100, kZndDistortV},
    {1, 2, "Size:", -100, 100, kZndSize},
    {1, 3, "Rotate:", -180, 180, kZndRotation},
    {1, 4, "Perspect. H:", -100, 100, kZndPerspBottom},
    {1, 5, "Perspect. V:", -100, 100, kZndPerspLeft},
    {1, 6, "Mutate:", 0, 100, kZndMutate},
    {2, 0, "Bright R:", -100, 100, kZndBrightness},
    {2, 1, "Bright G:", -100, 100, kZndBrightness + 1},
    {2, 2, "Bright B:", -100, 100, kZndBrightness + 2},
    {2, 3, "Balance:", 0, 100, kZndBalance},
    {3, 0, "Fringe R:", 80, 120, kZndFringe},
    {3, 1, "Fringe G:", 80, 120, kZndFringe + 1},
    {3, 2, "Fringe B:", 80, 120, kZndFringe + 2},
};

constexpr EffectDialogDesc kDesc{
    .window = "Zondrac", .signature = FourCC("Zond"), .viewKey = "zond", .effect = 113,
    .presetType = FourCC("hZnd"), .record = &kZondracRecordOps, .lookup = kLookup,
    .ids = {.mainView = 10, .fitIndicator = 15, .zoomIndicator = 20, .previewRadio = 8, .zoomSlider = 14,
            .zoomText = 12, .zoomOut = 24, .zoomIn = 25, .readout = {9, 21, 22}, .readoutXY = {54, 55},
            .presetPopup = 37, .overlayGroup = 28, .overlayCheck = 32, .overlayPopup = 29, .overlayMore = {30, -1},
            .opacitySlider = 33, .opacityEdit = 31, .focusEdit = 17},
    .loopInterval = 0.5,
    // Typing raises the flag only; the tick is not moved (kept).
    .typingPush = 0.0,
    .sliderPush = 0.0,
    .squareOneToOne = false,
    .navPanTag = 0,
    .mainPreviewAtOpen = true,
    .bufMode = 30,
    .crossHair = true};

using Trampolines = EffectDialogTrampolines<gVMKzondrac>;

// The file's own names of the shared live actions and key filter.
void ScrollBar32BitActionProc(tb::ControlRef control, int16_t part) {
  Trampolines::ScrollBar32BitActionProc(control, part);
}
void ScrollBarPan32BitActionProc(tb::ControlRef control, int16_t part) {
  Trampolines::ScrollBarPan32BitActionProc(control, part);
}
bool NumEditKeyFilter(tb::ControlRef control, int16_t* keyCode, int16_t* charCode, uint32_t* modifiers) {
  return Trampolines::NumEditKeyFilter(control, keyCode, charCode, modifiers);
}

}  // namespace

const EffectRecordOps kZondracRecordOps = {
    {static_cast<int32_t>(sizeof(ZondracPar)), Init, Copy, File}, ToView, Words,
    kZndWidth, kZndHeight,
    8, 9, 10,        // overlay on, index, opacity
    12, 16, 14, 18,  // region left, top, right, bottom
};

void ZondracLoopHandler(tb::EventLoopTimerRef timer, void* window) { Trampolines::LoopHandler(timer, window); }

OSStatus ZondracWindowEventHandler(tb::EventHandlerCallRef call, tb::EventRef event, void* window) {
  return Trampolines::WindowEventHandler(call, event, window);
}

const tb::EventHandlerProc& GetZondracWindowEventHandlerUPP() { return Trampolines::WindowEventHandlerUPP(); }

VMKzondracUI::VMKzondracUI() : EffectDialog(kDesc, &flag_restor) {
  Trampolines::Claim(this);
  flag_restor = 0;
  // The page lives only as long as the dialog; the record does not keep it.
  page = kLensPage;
  for (const PageRow& p : kPageRows) {
    const RowControls& c = kRow[p.row];
    rows_.push_back({c.command, c.slider, c.edit, p.minimum, p.maximum, p.word, ValueRow::kSlider, ValueRow::kWord,
                     p.page, c.label, p.title});
  }
}

VMKzondracUI::~VMKzondracUI() { Trampolines::Release(this); }

int16_t VMKzondracUI::UndoRequest() { return flag_restor; }

void VMKzondracUI::GetZondracPar(ZondracPar* out) {
  if (edit != nullptr && out != nullptr) Copy_ZondracPar(editRecord(), out);
}

void VMKzondracUI::SetZondracPar(ZondracPar* in) {
  if (edit != nullptr && in != nullptr) Copy_ZondracPar(in, editRecord());
}

int16_t VMKzondracUI::Do_ZondracDlg() {
  return Run({ZondracLoopHandler, GetZondracWindowEventHandlerUPP(), ScrollBar32BitActionProc,
              ScrollBarPan32BitActionProc, nullptr, NumEditKeyFilter});
}

const char* VMKzondracUI::StatusText(int32_t lens, int32_t vignette, int32_t fringe) {
  static const char* const kTexts[8] = {
      "Zondrac: OFF, Vignette: OFF, Fringe: OFF", "Zondrac: OFF, Vignette: OFF, Fringe: ON",
      "Zondrac: OFF, Vignette: ON, Fringe: OFF",  "Zondrac: OFF, Vignette: ON, Fringe: ON",
      "Zondrac: ON, Vignette: OFF, Fringe: OFF",  "Zondrac: ON, Vignette: OFF, Fringe: ON",
      "Zondrac: ON, Vignette: ON, Fringe: OFF",   "Zondrac: ON, Vignette: ON, Fringe: ON"};
  return kTexts[(lens == 1 ? 4 : 0) + (vignette == 1 ? 2 : 0) + (fringe == 1 ? 1 : 0)];
}

// The switch of the shown page; -1 on a page that has none.
int32_t VMKzondracUI::SwitchWord() const {
  switch (page) {
    case kLensPage: return kZndMutateOn;
    case kVignettePage: return kZndVignetteOn;
    case kFringePage: return kZndFringeOn;
    default: return -1;
  }
}

// Steps of the dialog's own before the shared ones: the tab, the page's
// switch, the status line and the two grid boxes. The rows of the page are
// the shared value rows, kept by page.
void VMKzondracUI::DrawOwnContent(tb::WindowRef) {
  tb::SetControl32BitValue(Ctl(kTabs), page);
  if (SwitchWord() >= 0) tb::SetControl32BitValue(Ctl(kSwitch), Word(SwitchWord()));
  tb::SetControlText(Ctl(kStatus), StatusText(Word(kZndMutateOn), Word(kZndVignetteOn), Word(kZndFringeOn)));
  const int32_t grids = Word(kGridOverlay);
  tb::SetControl32BitValue(Ctl(kRegularGrid), grids == 1 || grids == 3 ? 1 : 0);
  tb::SetControl32BitValue(Ctl(kCorrectedGrid), grids == 2 || grids == 3 ? 1 : 0);
}

// The mesh the main view draws over the preview follows the record's grid
// overlay at every tick.
void VMKzondracUI::BeforeMainPreview() { mainView()->SetZondracMode(static_cast<int16_t>(Word(kGridOverlay))); }

bool VMKzondracUI::OwnCommand(uint32_t command, tb::ControlRef source, tb::WindowRef window) {
  switch (command) {
    case FourCC("Cact"):
      if (SwitchWord() >= 0) Word(SwitchWord()) = tb::GetControl32BitValue(source);
      DrawWindowContent(window);
      refresh() = 1;
      return true;
    case FourCC("Tbch"):
      // Changing page redraws only: nothing of the record changed.
      page = static_cast<int16_t>(tb::GetControl32BitValue(Ctl(kTabs)));
      DrawWindowContent(window);
      return true;
    case FourCC("Cgin"):
    case FourCC("Cgou"):
      GridOverlayCommand(command);
      DrawWindowContent(window);
      refresh() = 1;
      return true;
    case FourCC("Plib"):
      presetEntry = static_cast<int16_t>(tb::GetControl32BitValue(Ctl(kDesc.ids.presetPopup)) - 1);
      return false;  // the shared load follows
    default: break;
  }
  // A row slider the page does not show stores nothing; it still refreshes.
  for (const RowControls& c : kRow)
    if (c.command == command) {
      for (const ValueRow& row : rows_)
        if (row.command == command && Shown(row)) return false;
      refresh() = 1;
      return true;
    }
  return false;
}

void VMKzondracUI::GridOverlayCommand(uint32_t) {
  if (TestKeyModif(optionKey) == 1) {
    GridStep();
    return;
  }
  int32_t grids = 0;
  if (tb::GetControl32BitValue(Ctl(kRegularGrid)) == 1) grids = 1;
  if (tb::GetControl32BitValue(Ctl(kCorrectedGrid)) == 1) grids = grids == 1 ? 3 : 2;
  Word(kGridOverlay) = grids;
}

// The grid-step dialog writes its numbers back even when cancelled, so it
// gets copies and the record takes them only on OK.
void VMKzondracUI::GridStep() {
  auto library = std::make_unique<VMKlibr>();
  int32_t second = Word(kSecondGridValue);
  int32_t first = Word(kFirstGridValue);
  if (library->Do_GrdStpDlg(&second, &first) == 1) {
    Word(kSecondGridValue) = second;
    Word(kFirstGridValue) = first;
  }
}
