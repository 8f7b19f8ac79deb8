// The photo-repeat dialog (effect 41): a RepPar, a grid of up to 23 x 23
// cells over the picture, each pasting the tile (the picture itself or an
// image file) with its own orientation, offsets, skews, opacity, mask and
// blend mode, plus a shift per column or per row. The user picks the
// current cell on the main preview; the controls edit that cell, or every
// cell while "All cells" is on; five popups copy the current cell's setting
// to its column, its row or all cells, or reset it everywhere. A source
// preview shows the tile's source; the image picker chooses the tile image.
//
// A description and hooks on the one dialog frame: the window "CasRep"
// (signature 'Prep', 39 controls, resizable and zoomable), a 0.5 s loop,
// the boxes "com.vellmarkstead.crep.HIima" (preview) and ".HIori" (source),
// the temporary settings file ":tmpvmkpre.hpr" (type 'hRep', so that it
// stays out of the preset popup, which lists 'hPre').
//
// Every record the dialog takes (owner, temporary file, preset, hover,
// 'Bloa') passes Check_RepPar: a file that fails it is refused like an
// unreadable one, an owner's record is clamped into the grid.
#pragma once

#include <cstdint>
#include <string>

#include "dialogs/frame/effect_frame.h"
#include "engines/tessellation/photo_repeat_record.h"

class VMKcastelUI : public EffectFrame {
 public:
  VMKcastelUI();
  ~VMKcastelUI() override;

  // The owner's record into the current record and the backup alike (an
  // undo straight after opening leaves it byte for byte), held to the grid.
  void SetRepPar(const RepPar* record);
  void GetRepPar(RepPar* record) const;
  // Flag 0: the settings of the last OK are read first and the previews
  // show the picture (3); flag 1: the owner's record as it is, over the
  // render file (2).
  int16_t Do_CastelDlg(int16_t flag);

  void GetEditValue() override;
  void PrepareWindowForDisplay() override;
  void LoadCastelMenus() { LoadPresetMenus(); }
  void CastelLoop(plat::tb::EventLoopTimerRef timer, void* window) { Loop(timer, window); }
  OSStatus CastelWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window) {
    return WindowEventHandler(call, event, window);
  }
  OSStatus CastelWindowEventCommandProcess(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                                           void* window) {
    return CommandProcess(call, event, window);
  }

  RepPar* current() const { return static_cast<RepPar*>(edit); }
  RepPar* backupRecord() const { return static_cast<RepPar*>(backup); }
  int32_t* grid() const { return current()->grid.w; }
  // The current cell's words.
  int32_t* cell() const;

  // ---- members, in the order of the dialog's table ----
  // Current and backup record, preset list, temporary file, flag and
  // preview source are the frame's.
  int16_t effectPreview = 1;  // checkbox 59
  int16_t gridDisplay = 1;    // checkbox 16, also the main box's
  int16_t maskDisplay = 0;    // checkbox 22, the source box's last short
  int16_t allCells = 1;       // checkbox 46
  // Result and refresh are the frame's.
  int32_t imageWidth = 0, imageHeight = 0;
  int32_t boxLeft = 0, boxTop = 0, boxWidth = 0, boxHeight = 0;
  // The draw parameters and the timer are the frame's.

  // Source previews handed to the source box so far (tests).
  int32_t sourcePreviews = 0;

 protected:
  void ShowPreview() override;
  void DrawOwnContent(plat::tb::WindowRef window) override;
  bool OwnCommand(uint32_t command, plat::tb::ControlRef source, plat::tb::WindowRef window) override;
  bool PollTick(plat::tb::WindowRef window) override;
  void OpenViews(plat::tb::WindowRef window) override;
  void InstallOwnControls(const FrameProcs& procs, plat::tb::WindowRef window) override;
  void InitRecord(void* record) override;
  void AfterRecordLoad() override;

 private:
  // The value to the current cell, and to every cell while All cells is on.
  void Apply(int32_t word, int32_t value);
  // The current cell's word to the cells of its column (1), its row (2) or
  // all cells (3).
  void CopyCell(int32_t word, int16_t where);
  void CopyCellPair(int32_t word, int16_t where);
  // Every cell's word to `value`.
  void SetAll(int32_t word, int32_t value);
  bool CellFamily(uint32_t command);
  void ReadGrid(int32_t edit, int32_t word);
  int32_t* Shift() const;
  void ClearShifts();
  void RandomOrientations();
  void BrowseTile();
  void DrawSource();
  bool PickCell();
  VMKimabox* Source() const { return Box(1); }

  // What the source box shows, so that a redraw with nothing new reads
  // nothing again.
  std::string sourceShown_;
};

extern VMKcastelUI* gVMKcastel;

void CastelLoopHandler(plat::tb::EventLoopTimerRef timer, void* window);
OSStatus CastelWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window);
const plat::tb::EventHandlerProc& GetCastelWindowEventHandlerUPP();
