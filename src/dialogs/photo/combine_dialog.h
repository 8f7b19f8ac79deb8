// The combine-images dialog (effect 92): a stack of up to 127 images laid
// over the picture, each with its file, texture, placement corners, blend
// mode, opacity, ramp and further values. Images come from the image library
// (three thumbnails a page) or from stored combinations ('hCim' presets,
// three a page too, each rendered over the picture); a layer popup picks the
// image being edited; a live preview shows the result and its corners are
// dragged on it.
//
// A description and hooks on the one dialog frame: the window "CombIma"
// (signature 'Cima', 34 controls, resizable and zoomable), a 0.2 s loop,
// the boxes "com.vellmarkstead.cima.HIima" (the preview), ".HIvig" (the
// ramp bar), ".HIss0" to ".HIss2" (the slots) and the colour box ".HIcol",
// the record CombImaPar with its preset file. The owner's protocol:
// SetCombImaPar, Do_CImaDlg(flag), on 1 GetCombImaPar.
#pragma once

#include <cstdint>
#include <memory>

#include "dialogs/editor/effect_list.h"
#include "dialogs/frame/effect_frame.h"
#include "dialogs/photo/image_library.h"
#include "engines/patterns/image_combination_record.h"
#include "engines/patterns/spray_record.h"
#include "paths/draw_par.h"

class VMKcolbox;

class VMKcimaUI final : public EffectFrame {
 public:
  static constexpr int16_t kSlots = 3;

  VMKcimaUI();
  ~VMKcimaUI() override;

  // The record into the working copy and the backup alike, so that an undo
  // straight after opening gives back exactly what the owner handed in.
  void SetCombImaPar(const CombImaPar* record);
  void GetCombImaPar(CombImaPar* out) const;
  // The dialog has no number fields.
  void GetEditValue() override {}
  int16_t Do_CImaDlg(int16_t flag);
  // 1 copies the working record to the backup, 0 the backup back.
  void BackRestCombi(int16_t n) { BackRest(n); }
  // Library mode: the file of library slot `slot` (0-based).
  void GetSelecFich(fichier* out, int16_t slot) const;
  // Library mode: the selected library slot's record.
  void SetSelecFich(const fichier* file);
  void LoadLayerMenus();
  void LoadCombImaMenus();
  void AdjustScrollEdg(int16_t value);
  void PrepareWindowForDisplay() override;
  void DrawWindowContent(plat::tb::WindowRef window) override;

  void CImaLoop(plat::tb::EventLoopTimerRef timer, void* window) { Loop(timer, window); }
  OSStatus CImaWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                                  void* window) {
    return WindowEventHandler(call, event, window);
  }
  OSStatus CImaWindowEventCommandProcess(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                                         void* window) {
    return CommandProcess(call, event, window);
  }
  void ScrollAction(plat::tb::ControlRef control, int16_t part);

  CombImaPar* record() const { return static_cast<CombImaPar*>(edit); }
  CombImaPar* backupRecord() const { return static_cast<CombImaPar*>(backup); }

  // ---- fields, in order ----
  int16_t lineStep = 1;
  int16_t libraryStep = 1;
  int16_t presetStep = 1;
  int16_t mode = 1;  // 0 library thumbnails, 1 preset thumbnails
  int16_t firstPreset = 0;
  int16_t previewMode = 3;  // 2 under flag 1, else 3
  int16_t selectedPreset = 0;
  int16_t selectedLibrary = 0;
  int16_t slotCount = kSlots;
  int16_t shownPreset[4] = {-1, -1, -1, -1};
  std::unique_ptr<VMKlistima> keeper;
  // The open ramp editor and the ramp preview flag are the frame's
  // (rampEditor, rampPreview = 1).
  SprayPar images[4];
  TSSeff previewSlots[4];
  DrawPar* drawPar = nullptr;

 protected:
  void ShowPreview() override;
  void DrawOwnContent(plat::tb::WindowRef window) override;
  bool OwnCommand(uint32_t command, plat::tb::ControlRef source, plat::tb::WindowRef window) override;
  bool OwnEvent(plat::tb::EventRef event, plat::tb::WindowRef window, OSStatus* status) override;
  bool PollTick(plat::tb::WindowRef window) override;
  bool TakePick() override;
  void OpenViews(plat::tb::WindowRef window) override;
  void LoadOwnMenus() override;
  void InstallOwnControls(const FrameProcs& procs, plat::tb::WindowRef window) override;
  void BeforeShow(plat::tb::WindowRef window) override;
  void InitRecord(void* record) override;

 private:
  CombImaInfo& Current() const;
  fichier& CurrentFile() const;
  int32_t PresetCount() const;
  bool PresetThere(int32_t index) const;
  bool LibrarySlotFilled() const;
  // The image picker on `file`; true when a file was chosen into it.
  bool PickImage(fichier* file);
  bool ChooseTexture();
  void SlotBoxesPicture(bool library);
  void DrawPresetSlots();
  void DrawLibrarySlots();
  void DrawImageControls();
  void DrawRamp();
  bool LibraryCommand(uint32_t command, plat::tb::WindowRef window);
  bool ListCommand(uint32_t command, plat::tb::WindowRef window);
  bool ImageCommand(uint32_t command, plat::tb::ControlRef source, plat::tb::WindowRef window);
  bool TextureCommand(uint32_t command, plat::tb::ControlRef source);
  void RunRampEditor();
  OSStatus NamePopupEvent(plat::tb::EventRef event, plat::tb::WindowRef window);

  VMKimabox* preview_ = nullptr;
  VMKimabox* rampBox_ = nullptr;
  VMKimabox* slotBoxes_[kSlots] = {};
  VMKcolbox* colourBox_ = nullptr;
  bool namesOpen_ = false;  // the name popup's menu is open: the stack is kept
};

extern VMKcimaUI* gVMKcima;

void CImaLoopHandler(plat::tb::EventLoopTimerRef timer, void* window);
OSStatus CImaWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window);
const plat::tb::EventHandlerProc& GetCImaWindowEventHandlerUPP();
