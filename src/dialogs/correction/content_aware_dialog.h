// The content-aware resize dialog (effect 101): the kind of resize or
// removal, a source and a target rectangle of the picture, the kind's two
// values, colour options, and two masks painted by hand on the preview, one
// protecting what it covers and one marking what should go.
//
// It is the effect dialog's shape (effect_dialog.h) with these differences,
// stated as description fields and hooks: the record lives in a content-aware
// holder (masks included) with no backup and no preset list; a view state
// (1 the unaltered picture with its rectangles and masks, 2 the result)
// stands where the preview mode stands; only five event types; the fit and
// 1:1 scales reckon with 640 pixels; the navigator's pan is held inside the
// picture; the two value rows change meaning with the kind and with painting
// (kept as pages); the settings of the last accepted run come back from a
// temporary file at every opening.
#pragma once

#include <cstdint>

#include "app/core/file_records.h"
#include "dialogs/correction/effect_dialog.h"
#include "engines/correction/resize_record.h"
#include "views/preview_job.h"

extern const EffectRecordOps kYoxelRecordOps;

class VMKyoxelUI : public EffectDialog {
 public:
  VMKyoxelUI();
  ~VMKyoxelUI() override;

  // The owner's hand-over, masks included: in before running, out after OK.
  void GetYoxelPar(YoxelPar* out);
  void SetYoxelPar(YoxelPar* in);
  // The navigator: the record itself in the source view; in the result view
  // the main view's render of the whole picture, scaled down.
  void RefreshNavDisplay();
  // The five readouts: red, green, blue, protect and erase.
  void DrawRGBPEPicker();
  void DrawRGBPicker() override { DrawRGBPEPicker(); }
  void WinYoxel_getval(plat::tb::WindowRef) {}
  // 1 after OK, 0 after cancel or when the window cannot be made.
  int16_t Do_YoxelDlg();
  void GetEditValue() override;
  void YoxelLoop(plat::tb::EventLoopTimerRef timer, void* window) { Loop(timer, window); }
  OSStatus YoxelWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window) {
    return WindowEventHandler(call, event, window);
  }
  // Every command is answered as not handled, so the standard handlers still
  // see it (kept).
  OSStatus YoxelWindowEventCommandProcess(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                                          void* window) {
    CommandProcess(call, event, window);
    return plat::tb::eventNotHandledErr;
  }

  YoxelPar* editRecord() const { return static_cast<YoxelPar*>(edit); }
  static int16_t UndoRequest();

  // Pages of the two value rows: the kinds 0 to 7 (noise, sharpness), kind 8
  // (linear, adjust) and painting (the brush size alone).
  static constexpr int16_t kResizePage = 1;
  static constexpr int16_t kContentPage = 2;
  static constexpr int16_t kBrushPage = 3;

  // Record words the dialog reads or writes.
  static constexpr int32_t kKind = 9;
  static constexpr int32_t kSourceQuad = 10;
  static constexpr int32_t kTargetQuad = 18;
  static constexpr int32_t kThirdQuad = 26;
  static constexpr int32_t kNoise = 34;
  static constexpr int32_t kSharpness = 35;
  static constexpr int32_t kColourOptions = 36;
  static constexpr int32_t kRemoval = 40;
  static constexpr int32_t kAdjust = 41;
  static constexpr int32_t kLinear = 42;
  static constexpr int32_t kChoiceA = 43;
  static constexpr int32_t kProtectStrength = 48;
  static constexpr int32_t kEraseStrength = 49;
  static constexpr int32_t kMaskMode = 50;
  static constexpr int32_t kBrushSize = 51;
  static constexpr int32_t kBrushWord2 = 52;
  static constexpr int32_t kBrushDirection = 53;
  static constexpr int32_t kBrushWord3 = 54;
  static constexpr int32_t kChoiceB = 55;

  // ---- state, in the order the dialog keeps it (the display word, result,
  // fit and refresh flags, pan and 1:1 rectangles, zoom table, temporary
  // file, timer and controls are the bases') ----
  Yoxel* holder = nullptr;
  int16_t viewState = 1;  // 1 source view, 2 result view ('Rprv')
  int16_t unit = 1;       // of the rectangle fields, pixfromunit's codes ('Puni')
  // Red, green, blue, protect and erase under the mouse, then two words the
  // view fills.
  int16_t readouts[7] = {0, 0, 0, 0, 0, 0, 0};
  char* workBuffer = nullptr;  // 71,680 bytes; its first 70 name the load and save files

 protected:
  void DrawOwnContent(plat::tb::WindowRef window) override;
  bool OwnCommand(uint32_t command, plat::tb::ControlRef source, plat::tb::WindowRef window) override;
  bool OwnEvent(plat::tb::EventRef event, plat::tb::WindowRef window, OSStatus* status) override;
  bool ReadyToRun() const override;
  void PrepareBoxesAndMenus(plat::tb::WindowRef window) override;
  void BeforeShow(plat::tb::WindowRef window) override;
  void ShowPreview() override;
  void MainViewEdited() override;
  int16_t MainPreviewMode() const override { return static_cast<int16_t>(viewState == 1 ? 0 : 1); }

 private:
  bool Painting();
  int16_t CurrentPage();
  void SetUpViews();
  void ToMain(int16_t mode);
  // The views' display mode: the pan frames they show (CopyBufParam).
  void MainDisplayMode(int16_t frames);
  void NavDisplayMode(int16_t frames);
  void FillNavigator(const vmkviews::PreviewJob& job);
  void ShowKind(plat::tb::WindowRef window);
  void ShowRectangles();
  void ShowViewState();
  void ReadRectangles();
  void QuadFrames(int16_t first);
  void ResetView(plat::tb::WindowRef window);
  void FitWhole();
  void KindCommand(plat::tb::WindowRef window);
  void AdjustCommand(plat::tb::WindowRef window);
  void MaskCommand(int16_t mode, plat::tb::WindowRef window);
  void MaskOptions(int16_t which);
  void ValueCommand(uint32_t command, plat::tb::ControlRef source, plat::tb::WindowRef window);
  void PercentCommand();
  void ColourCommand();
  void MaskViewCommand(uint32_t command, plat::tb::ControlRef source);
  void ResetCommand();
  void LoadCommand(plat::tb::WindowRef window);
  void SaveCommand();
  bool CopyCommand(uint32_t command, plat::tb::WindowRef window);
  bool ChoiceCommand(uint32_t command);
  void ReadPointer(const Point& where);
  int16_t TempFile(int16_t mode);
};

extern VMKyoxelUI* gVMKyoxel;

void YoxelLoopHandler(plat::tb::EventLoopTimerRef timer, void* window);
OSStatus YoxelWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window);
const plat::tb::EventHandlerProc& GetYoxelWindowEventHandlerUPP();
