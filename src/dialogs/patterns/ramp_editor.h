// The colour-ramp editor: one LutVign edited with two pickers (colour and
// opacity), two ramp bars that paint the current colour or opacity into a
// range of the ramp (or sample it with Option), a range selector, invert,
// reset and random, hue, saturation and value shifts applied when the ramp
// is handed out or saved, and the ramp library through its category and
// name popups, the ramp browser and the save command.
//
// It runs on the effect-dialog frame; its values (colour, opacity, shifts,
// range) are its own members, the frame's current and backup records are
// the ramp and its undo copy. An owner that follows it live polls it
// through LivePreviewSource (see ramp_editor_session.h for the hand-shake).
#pragma once

#include <cstdint>
#include <memory>

#include "dialogs/editor/effect_list.h"
#include "dialogs/frame/effect_frame.h"
#include "dialogs/frame/live_preview.h"
#include "script/lut_vign.h"

class VMKcolbox;

class VMKadjvignUI final : public EffectFrame, public LivePreviewSource {
 public:
  // Where the values live among the members (a row's `word`).
  enum Value : int32_t { kRed, kGreen, kBlue, kOpacity, kHue, kSaturation, kValue };
  // The scratch image every bar and picker is drawn in, in turn.
  static constexpr int32_t kScratchBytes = 51200;

  VMKadjvignUI();
  ~VMKadjvignUI() override;

  // The owner's hand-over: the ramp in (current and backup), the ramp out
  // with the shifts applied (the editor's own ramp keeps them apart).
  void SetLutVign(const LutVign* ramp);
  void GetLutVign(LutVign* out) override;
  void SetAdjVignFlagPreview(int16_t value) { flagPreview = value; }
  void GetAdjVignFlagPreview(int16_t* value) const { *value = flagPreview; }
  int16_t CheckSetPreview(int16_t value) override;
  int16_t Do_AdjVignUIDlg();

  void AdjVignLoop(plat::tb::EventLoopTimerRef timer, void* window) { Loop(timer, window); }
  OSStatus AdjVignWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window) {
    return WindowEventHandler(call, event, window);
  }
  OSStatus AdjVignWindowEventCommandProcess(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                                            void* window) {
    return CommandProcess(call, event, window);
  }

  int32_t RowValue(const ValueRow& row) override;
  void SetRowValue(const ValueRow& row, int32_t value) override;

  LutVign* current() const { return static_cast<LutVign*>(edit); }
  LutVign* backupRamp() const { return static_cast<LutVign*>(backup); }
  // The undo request of the editor's file.
  static int16_t UndoRequest();

  // ---- members, in the order the dialog keeps them ----
  std::unique_ptr<VMKlisteff> keeper;
  char secondText[kLutVignTextSize] = {};
  int16_t from = 0, to = 255;
  int16_t red = 255, green = 255, blue = 255;
  int16_t opacity = 255;
  int16_t hue = 0, saturation = 0, value = 0;
  int16_t flagPreview = -1;  // -1: no live preview offered; 0 or 1: the checkbox
  int16_t pending = 0;       // the ramp changed since the owner last looked

 protected:
  void ShowPreview() override;
  void DrawOwnContent(plat::tb::WindowRef window) override;
  bool OwnCommand(uint32_t command, plat::tb::ControlRef source, plat::tb::WindowRef window) override;
  bool OwnEvent(plat::tb::EventRef event, plat::tb::WindowRef window, OSStatus* status) override;
  bool PollTick(plat::tb::WindowRef window) override;
  void OpenViews(plat::tb::WindowRef window) override;
  void LoadOwnMenus() override;
  void HoverItem(int32_t item, plat::tb::WindowRef window) override;

 private:
  int16_t* Member(int32_t which);
  VMKimabox* View(int k) const { return Box(static_cast<size_t>(k)); }
  // Entry `index` of the selected category read into the ramp (Option keeps
  // its opacity).
  void ReadEntry(int16_t index);
  void ShowBitmaps();
  bool PollPicker(plat::tb::WindowRef window);
  bool PollBar(int k);
  void LoadRamps();
  void SaveRamp(plat::tb::WindowRef window);
  void Cursor(const Point& where) const;

  VMKcolbox* swatch_ = nullptr;
  MenuRef categoryMenu_ = nullptr;
  MenuRef nameMenu_ = nullptr;
};

extern VMKadjvignUI* gVMKadjvignUI;

// The editor's four images (colour bar, opacity bar, colour picker, opacity
// picker), drawn in turn in one scratch of kScratchBytes and handed to their
// boxes at full opacity; on a denser screen each is drawn at its box's
// device pixels instead, over as many rows as the scratch gives it.
void DrawRampImages(VMKimabox* colourBar, VMKimabox* opacityBar, VMKimabox* colourPicker, VMKimabox* opacityPicker,
                    const LutVign* ramp, int16_t hue, int16_t saturation, int16_t value);

void AdjVignLoopHandler(plat::tb::EventLoopTimerRef timer, void* window);
OSStatus AdjVignWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window);
const plat::tb::EventHandlerProc& GetAdjVignWindowEventHandlerUPP();
