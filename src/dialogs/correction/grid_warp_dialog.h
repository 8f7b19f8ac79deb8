// The grid-warp dialog (effect 102): up to fifteen warp grids (grid layers)
// of one GridPar, each a lattice of nodes with an in set and an out set. The
// user picks one of ten grid tools and drags nodes in the main view, whose
// own mouse tracking edits the view's copy of the record; the loop takes the
// edited record back on the next tick, after backing the old one up, so every
// mouse edit and most commands can be undone with Cmd-Z (one step of the
// whole record).
//
// It is the effect dialog's shape (effect_dialog.h) with what sets it apart
// stated as hooks: its overlay lives in the dialog, not the record; the tick
// first serves the undo keys (Cmd-Z, Cmd-A, Cmd-B and their Control forms);
// the preview follows an update mode (every change, none, or one); a zoom
// only pans the main view, which the following tick renders; the grid files
// carry the photo's selection plane; and closing always asks whether to save
// the grids to a file. Three small windows ask the values of the create,
// reset and bell commands.
#pragma once

#include <cstdint>

#include "dialogs/correction/effect_dialog.h"
#include "engines/correction/grid_record.h"

extern const EffectRecordOps kGridRecordOps;

class VMKgridUI : public EffectDialog {
 public:
  VMKgridUI();
  ~VMKgridUI() override;

  // The owner's hand-over: in before running, out after OK.
  void GetGridPar(GridPar* out);
  void SetGridPar(GridPar* in);
  // Runs the dialog; flag 1 (an operation of the list) leaves the grids of
  // the last accepted run where they are.
  int16_t Do_GridDlg(int16_t flag);
  void ReadSelMsk();
  void PrepareLayerPhoMenus() { LoadLayPhoMenus(); }
  void PrepareLayerGrdMenus();
  void PrepareGridMenus() { LoadPresetMenus(); }
  void DrawRGBPicker() override;
  void GridLoop(plat::tb::EventLoopTimerRef timer, void* window) { Loop(timer, window); }
  OSStatus GridWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window) {
    return WindowEventHandler(call, event, window);
  }
  OSStatus GridWindowEventCommandProcess(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                                         void* window) {
    return CommandProcess(call, event, window);
  }

  // ---- the three small windows ----
  // Each shows the values handed in and writes them back only on OK; 1 for
  // OK, 0 for cancel or when the window cannot be made.
  int16_t Do_CreateGridDlg(int32_t* mode, int32_t* columns, int32_t* rows);
  int16_t Do_ResetGridDlg(int32_t* scope, int32_t* style);
  int16_t Do_BellGridDlg(int32_t* choice);
  void DrawCreateGridWindowContent(plat::tb::WindowRef window);
  void WinCreateGrid_getval(plat::tb::WindowRef window, int32_t* mode, int32_t* columns, int32_t* rows);
  void WinResetGrid_getval(plat::tb::WindowRef window, int32_t* scope, int32_t* style);
  void WinBellGrid_getval(plat::tb::WindowRef window, int32_t* choice);
  OSStatus CreateGridWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window);
  OSStatus ResetGridWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window);
  OSStatus BellGridWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window);

  GridPar* editRecord() const { return static_cast<GridPar*>(edit); }
  GridPar* backupRecord() const { return static_cast<GridPar*>(backup); }
  // The current grid of the edit record; null when its index lies outside
  // the record's slots.
  GridInfo* CurrentGrid() const;
  // The file's undo request: 1 undo, 2 select and 3 deselect every node of
  // the current grid, served by the next tick.
  static int16_t& UndoRequest();
  // The record's words the dialog edits (the head of GridPar).
  int32_t& Head(int32_t word) { return editRecord()->head.w[word]; }

  // ---- state (the display word, result, fit and refresh flags, readout,
  // image size, view rectangle, records, drawing parameters, pan and 1:1
  // rectangles, zoom table, preset list, temporary file, timer and controls
  // are the bases') ----
  int16_t smoothFlag = 1;    // 'Csmo': the smooth mesh in the main view
  int16_t presetIndex = 0;   // popup value - 1 of the last 'Plib'
  int16_t previewFlag = 1;   // 'Cprv': the main view's preview mode
  int16_t updateMode = 1;    // 1 follow every change, 0 none, 2 once then 0
  int16_t createResult = 0;  // of the three small windows
  int16_t resetResult = 0;
  int16_t bellResult = 0;
  int16_t overlayOpacity = 0;  // 0..255
  int16_t overlayOn = 0;
  int16_t overlayIndex = 0;
  int32_t selWidth = 0;  // the photo's selection, kept with the grid files
  int32_t selHeight = 0;
  uint8_t* selPlane = nullptr;

  // Head words of the record the dialog edits.
  static constexpr int32_t kBell = 10;
  static constexpr int32_t kEditedSet = 12;
  static constexpr int32_t kShowIn = 13;
  static constexpr int32_t kShowOut = 14;
  static constexpr int32_t kLink = 15;

 protected:
  int32_t Overlay(OverlayPart part) override;
  void SetOverlay(OverlayPart part, int32_t value) override;
  int32_t RowValue(const ValueRow& row) override;
  void SetRowValue(const ValueRow& row, int32_t value) override;
  int16_t RecordFile(int16_t mode, FSSpec spec, void* record) override;
  void PrepareBoxesAndMenus(plat::tb::WindowRef window) override;
  void OpenBoxes() override;
  void DrawOwnContent(plat::tb::WindowRef window) override;
  bool OwnCommand(uint32_t command, plat::tb::ControlRef source, plat::tb::WindowRef window) override;
  bool OwnEvent(plat::tb::EventRef event, plat::tb::WindowRef window, OSStatus* status) override;
  bool OwnKey(int16_t charCode, uint32_t modifiers, bool* pass) override;
  bool TickRequests(plat::tb::WindowRef window) override;
  void ShowPreview() override;
  void MainViewEdited() override;
  void HoverBackRest(int16_t n) override;

 private:
  // The main view's display words: the meshes shown and the smooth mesh.
  void MainViewParams(int16_t panFrames);
  // The record to the main view: a render when the update mode asks for one
  // (mode 2 then falls back to 0); `always` renders whatever the mode.
  void RenderMain();
  void MainSet() { ToView(mainView(), -1); }
  // The main view's edited record becomes the edit record, the one it
  // replaces the undo; no render.
  void TakeViewEdit();
  void NavigatorOverlay();
  void SetCursorForTool();
  bool CloseCommand(uint32_t command, plat::tb::WindowRef window);
  int16_t SaveGridFile();
  void ResetCommand();
  void ToolCommand(int32_t tool);
  void BellCommand();
  void CreateCommand();
  bool GridCommand(uint32_t command, plat::tb::WindowRef window);
  bool SetCommand(uint32_t command, plat::tb::WindowRef window);
  bool ViewCommand(uint32_t command, plat::tb::ControlRef source, plat::tb::WindowRef window);
};

extern VMKgridUI* gVMKgrid;

void GridLoopHandler(plat::tb::EventLoopTimerRef timer, void* window);
OSStatus GridWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window);
const plat::tb::EventHandlerProc& GetGridWindowEventHandlerUPP();
OSStatus CreateGridWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window);
OSStatus ResetGridWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window);
OSStatus BellGridWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window);
const plat::tb::EventHandlerProc& GetCreateGridWindowEventHandlerUPP();
const plat::tb::EventHandlerProc& GetResetGridWindowEventHandlerUPP();
const plat::tb::EventHandlerProc& GetBellGridWindowEventHandlerUPP();
