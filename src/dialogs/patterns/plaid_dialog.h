// The plaid creator (effect 42) and its hue, saturation and value
// sub-dialog, which share one source file and so one undo request.
//
// A plaid is woven from two thread systems, the warp and the weft. For each
// the record holds a weave pattern, a stripe sequence (an editable list of
// up to 256 stripes, or a formula), sixteen colours and a colour ramp that
// can replace them. The creator shows the plaid live over the picture, the
// two weaves, the two stripe sequences and the 32 swatches; it loads and
// saves plaid files, lists them in seven menus so that any part of a stored
// plaid (colours, ramp, weave, stripes, formula) can be taken over, keeps
// its last settings in ":tmpvmkplaid.hpl", and opens the weave editor, the
// HSV sub-dialog (live: its values are previewed on a copy of the record at
// the creator's next tick, and reach the record only on its OK) and the
// colour-ramp editor (not live).
//
// In the record the weft's colours, ramp and formula come first and the
// warp's second, while the warp's weave and stripe list come first.
//
// Both run on the effect-dialog frame. Every count that comes in (from the
// owner, the temporary file, a preset, a loaded file, a stripe box) is held
// to the record's arrays before anything walks them: stripe counts to
// 0..256, current stripes to 0..count - 1, weave sizes to 0..128.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dialogs/frame/effect_frame.h"
#include "engines/patterns/weave_plaid_record.h"

class VMKcolbox;

// Holds the counts and sizes of a plaid record to its arrays.
void HoldPlaidCounts(PlaidPar* record);
// The text of stripe `index` of a list in the stripe popup: number, mark,
// length and running end (label " | Y: " for the warp, " | X: " for the
// weft), colour letter; `end` carries the running end from item to item.
std::string StripeItemText(const WWInfo& list, int32_t index, int16_t lengthMode, bool warp, int32_t picture,
                           int64_t markedSum, int32_t* end);

// ---- the hue, saturation and value sub-dialog ----

class VMKadjHSVUI final : public EffectFrame {
 public:
  enum Value : int32_t { kWarpHue, kWarpSaturation, kWarpValue, kWeftHue, kWeftSaturation, kWeftValue };

  VMKadjHSVUI();
  ~VMKadjHSVUI() override;

  void SetHSV(int16_t warpHue, int16_t warpSaturation, int16_t warpValue, int16_t weftHue, int16_t weftSaturation,
              int16_t weftValue);
  void GetHSV(int16_t* warpHue, int16_t* warpSaturation, int16_t* warpValue, int16_t* weftHue,
              int16_t* weftSaturation, int16_t* weftValue) const;
  void SetAdjHSVFlagPreview(int16_t value) { previewFlag = value; }
  void GetAdjHSVFlagPreview(int16_t* value) const { *value = previewFlag; }
  // 0 unless the preview flag is 1; else the pending flag, which `value`
  // replaces.
  int16_t CheckSetPreview(int16_t value);
  int16_t Do_AdjHSVUIDlg();

  void AdjHSVLoop(plat::tb::EventLoopTimerRef timer, void* window) { Loop(timer, window); }
  OSStatus AdjHSVWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window) {
    return WindowEventHandler(call, event, window);
  }
  OSStatus AdjHSVWindowEventCommandProcess(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                                           void* window) {
    return CommandProcess(call, event, window);
  }

  int32_t RowValue(const ValueRow& row) override;
  void SetRowValue(const ValueRow& row, int32_t value) override;

  // ---- members, in the order the dialog keeps them ----
  int16_t values[6] = {0, 0, 0, 0, 0, 0};  // warp hue, saturation, value, then the weft's
  int16_t link = 0;                        // 1: the weft takes the warp's values
  int16_t previewFlag = -1;                // set by the owner; 1 enables the hand-shake
  int16_t pending = 0;                     // changed since the owner last looked

 protected:
  void ShowPreview() override { pending = 1; }
  void DrawOwnContent(plat::tb::WindowRef window) override;
  bool OwnCommand(uint32_t command, plat::tb::ControlRef source, plat::tb::WindowRef window) override;
};

extern VMKadjHSVUI* gVMKadjHSVUI;

// ---- the plaid creator ----

class VMKcreaplaidUI final : public EffectFrame {
 public:
  // Values of the object's own that value rows show (a row's `word`).
  enum Value : int32_t { kOpacityPercent = -1, kWarpLength = -2, kWeftLength = -3 };
  static constexpr int32_t kSwatches = 16;

  VMKcreaplaidUI();
  ~VMKcreaplaidUI() override;

  void SetPlaidPar(int16_t opacity, const PlaidPar* record);
  void GetPlaidPar(int16_t* opacity, PlaidPar* record) const;
  int16_t Do_CreaPlaidDlg(int16_t flag);

  void CreaPlaidLoop(plat::tb::EventLoopTimerRef timer, void* window) { Loop(timer, window); }
  OSStatus CreaPlaidWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window) {
    return WindowEventHandler(call, event, window);
  }
  OSStatus CreaPlaidWindowEventCommandProcess(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                                              void* window) {
    return CommandProcess(call, event, window);
  }
  void GetEditValue() override;
  void DrawRGBPicker();
  void LoadCreaPlaidMenus();
  void LoadWWMenus();
  void PrepareWindowForDisplay() override;
  void BackRestPlaid(int16_t n) { BackRest(n); }

  int32_t RowValue(const ValueRow& row) override;
  void SetRowValue(const ValueRow& row, int32_t value) override;

  PlaidPar* current() const { return static_cast<PlaidPar*>(edit); }
  PlaidPar* backupRecord() const { return static_cast<PlaidPar*>(backup); }
  VMKimabox* previewBox() const { return Box(0); }
  static int16_t UndoRequest();

  // ---- members, in the order the dialog keeps them ----
  int32_t displayedWidth = 0, displayedHeight = 0;
  VMKadjHSVUI* hsvDialog = nullptr;  // while the HSV sub-dialog runs
  int16_t hsvPreviewRequest = 1;     // the HSV sub-dialog's preview flag
  int16_t opacity = 255;             // 0..255, shown as percent
  int16_t weftStripeList = 0, warpStripeList = 0;  // 1: the side takes its stripe list
  // The last colour-mode radio choice of each side in this run.
  int16_t weftRampFlag = 0, warpRampFlag = 0, weftColoursFlag = 1, warpColoursFlag = 1;
  // Warp hue, saturation, value, weft hue, saturation, value: previewed
  // while the HSV sub-dialog runs, 0 otherwise.
  int16_t pendingHSV[6] = {0, 0, 0, 0, 0, 0};
  int16_t readoutRed = 0, readoutGreen = 0, readoutBlue = 0;
  int16_t readoutX = 0, readoutY = 0;
  int16_t readoutUnit = 2;  // 1 percent, 2 pixels, 3 inches, 4 points
  int16_t colourPresetIndex = 0;
  int16_t presetCount = 0;
  int32_t boxLeft = 0, boxTop = 0, boxWidth = 0, boxHeight = 0;

 protected:
  void ShowPreview() override;
  void DrawOwnContent(plat::tb::WindowRef window) override;
  bool OwnCommand(uint32_t command, plat::tb::ControlRef source, plat::tb::WindowRef window) override;
  bool OwnEvent(plat::tb::EventRef event, plat::tb::WindowRef window, OSStatus* status) override;
  bool PollTick(plat::tb::WindowRef window) override;
  void OpenViews(plat::tb::WindowRef window) override;
  void PrepareBoxesAndMenus(plat::tb::WindowRef window) override;
  void InstallOwnControls(const FrameProcs& procs, plat::tb::WindowRef window) override;
  void BeforeShow(plat::tb::WindowRef window) override;
  void ReadPreset(int32_t entry) override;
  void HoverItem(int32_t item, plat::tb::WindowRef window) override;

 private:
  // Preset `entry` read into a scratch record; false when unreadable.
  bool ReadScratch(int32_t entry, PlaidPar* scratch);
  WWInfo& List(bool warp) const { return warp ? current()->free1 : current()->free2; }
  void ShowSide(bool warp);
  void ShowStripeControls(bool warp);
  void FillStripePopup(bool warp);
  void FillFileMenu(int32_t id, int32_t* count);
  bool PollSwatches();
  bool PollHSV();
  bool PollStripeBox(bool warp, plat::tb::WindowRef window);
  void MouseReadout(const Point& where);
  // The commands by family.
  bool ColourCommand(uint32_t command, plat::tb::WindowRef window);
  bool StripeCommand(uint32_t command, plat::tb::WindowRef window);
  bool WeaveCommand(uint32_t command, plat::tb::WindowRef window);
  void WeaveMenu(bool warp, int32_t item);
  void ColourMenu(bool warp, int32_t item);
  void PresetColours(bool warp, int32_t entry);
  void NextColourPreset(bool warp);
  void StripeMenu(bool warp, int32_t item);
  void AddStripe(bool warp);
  void DeleteStripe(bool warp);
  void RunWeaveEditor(WeaveInfo* weave);
  void RunHSV();
  void RunRampEditor(LutVign* ramp);

  std::vector<VMKcolbox*> warpSwatches_, weftSwatches_;
  std::vector<std::string> fixedItems_[7];  // the nib's fixed items of the six file menus and popup 13
};

extern VMKcreaplaidUI* gVMKcreaplaid;

void CreaPlaidLoopHandler(plat::tb::EventLoopTimerRef timer, void* window);
OSStatus CreaPlaidWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window);
const plat::tb::EventHandlerProc& GetCreaPlaidWindowEventHandlerUPP();
void AdjHSVLoopHandler(plat::tb::EventLoopTimerRef timer, void* window);
OSStatus AdjHSVWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window);
const plat::tb::EventHandlerProc& GetAdjHSVWindowEventHandlerUPP();
