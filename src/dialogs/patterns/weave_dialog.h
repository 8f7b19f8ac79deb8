// The weave-pattern editor: a grid of up to 128 x 128 cells, each 0 or 1,
// whose top-left width x height cells are the repeat the weave engine tiles.
// The pattern view shows the repeat (the warp colour behind, cells that are
// 1 in the weft colour) and toggles the cell under a click while it
// stretches the repeat over the view; nine operations (invert, clear,
// transpose, shift, the two mirrors, import from a picture, combine with a
// weave file, resize), weave files, presets with a hover preview and one
// undo level.
//
// It runs on the effect-dialog frame: the frame's current and backup
// records are the pattern and its undo copy; the two colours, the three
// check boxes and the shown size are the object's own. The shift and the
// resize ask their two numbers in two small windows of their own.
//
// Every size that comes in (from the owner, a file, a preset) is held to
// 0..128 before anything walks the cells. A size of 0 typed in the fields is
// kept while the dialog runs (the view then draws nothing) and leaves the
// dialog raised to 1.
#pragma once

#include <cstdint>

#include "dialogs/frame/effect_frame.h"
#include "engines/patterns/weave_plaid_record.h"

class VMKcolbox;

// Holds a pattern's width and height to the grid (0..128).
void HoldWeaveSize(WeaveInfo* weave);

class VMKcreaweavUI final : public EffectFrame {
 public:
  // Where the values of the number fields live (a row's `word`).
  enum Value : int32_t { kWidth, kHeight, kWarpRed, kWarpGreen, kWarpBlue, kWeftRed, kWeftGreen, kWeftBlue };

  VMKcreaweavUI();
  ~VMKcreaweavUI() override;

  void SetWeaveInfo(const WeaveInfo* weave);
  void GetWeaveInfo(WeaveInfo* weave) const;
  void SetCol(uint8_t warpRed, uint8_t warpGreen, uint8_t warpBlue, uint8_t weftRed, uint8_t weftGreen,
              uint8_t weftBlue);
  void GetCol(uint8_t* warpRed, uint8_t* warpGreen, uint8_t* warpBlue, uint8_t* weftRed, uint8_t* weftGreen,
              uint8_t* weftBlue) const;
  int16_t Do_CreaWeavDlg();
  // The two small windows: shift (columns, rows) and resize (width,
  // height). Both numbers are read back whatever the answer.
  int16_t Do_ShiftWeavDlg(int32_t* dx, int32_t* dy);
  int16_t Do_ExpandWeavDlg(int32_t* width, int32_t* height);
  // 1 when done or given up, 0 when the picture cannot be read at the
  // chosen size (the pattern is then as it was).
  int16_t ImportWeaveDataFromFile(WeaveInfo* weave);
  void BackRestWeave(int16_t n) { BackRest(n); }

  void LoadCreaWeavMenus() { LoadPresetMenus(); }
  void CreaWeavLoop(plat::tb::EventLoopTimerRef timer, void* window) { Loop(timer, window); }
  OSStatus CreaWeavWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window) {
    return WindowEventHandler(call, event, window);
  }
  OSStatus CreaWeavWindowEventCommandProcess(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                                             void* window) {
    return CommandProcess(call, event, window);
  }
  OSStatus ShiftWeavWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window);
  OSStatus ExpandWeavWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window);

  int32_t RowValue(const ValueRow& row) override;
  void SetRowValue(const ValueRow& row, int32_t value) override;

  WeaveInfo* current() const { return static_cast<WeaveInfo*>(edit); }
  WeaveInfo* backupRecord() const { return static_cast<WeaveInfo*>(backup); }
  VMKimabox* patternView() const { return Box(0); }
  static int16_t UndoRequest();

  // ---- the object's own state ----
  int16_t Ceff = 1;
  int16_t Cgrd = 0;
  int16_t Cpat = 1;
  int16_t shiftResult = 0;
  int16_t resizeResult = 0;
  uint8_t warp[3] = {0, 0, 0};
  uint8_t weft[3] = {255, 255, 255};
  uint8_t shownWidth = 0;
  uint8_t shownHeight = 0;

 protected:
  void ShowPreview() override;
  void DrawOwnContent(plat::tb::WindowRef window) override;
  bool OwnCommand(uint32_t command, plat::tb::ControlRef source, plat::tb::WindowRef window) override;
  bool PollTick(plat::tb::WindowRef window) override;
  void OpenViews(plat::tb::WindowRef window) override;

 private:
  uint8_t* Member(int32_t which);
  bool PollSwatch(VMKcolbox* swatch, uint8_t* rgb, plat::tb::WindowRef window);
  bool Operation(uint32_t command);
  void Shift();
  void Resize();
  void Combine();
  int16_t AskTwoNumbers(const char* window, OSType signature, const plat::tb::EventHandlerProc& handler,
                        int32_t* first, int32_t* second);

  VMKcolbox* warpSwatch_ = nullptr;
  VMKcolbox* weftSwatch_ = nullptr;
};

extern VMKcreaweavUI* gVMKcreaweav;

void CreaWeavLoopHandler(plat::tb::EventLoopTimerRef timer, void* window);
OSStatus CreaWeavWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window);
OSStatus ShiftWeavWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window);
OSStatus ExpandWeavWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window);
const plat::tb::EventHandlerProc& GetCreaWeavWindowEventHandlerUPP();
const plat::tb::EventHandlerProc& GetShiftWeavWindowEventHandlerUPP();
const plat::tb::EventHandlerProc& GetExpandWeavWindowEventHandlerUPP();
