// The focus and sharpening dialog (effect 105): four groups (focus, noise,
// high sharpening, JPEG repair) of four values each share one row of
// sliders; a selector picks the group shown and a check box switches it.
#pragma once

#include <cstdint>
#include <string>

#include "dialogs/correction/colour_correction_dialog.h"

class VMKkevrUI : public ColCorDialog {
 public:
  VMKkevrUI();
  ~VMKkevrUI() override;

  int16_t Do_KevrDlg();
  void KevrLoop(plat::tb::EventLoopTimerRef timer, void* window) { Loop(timer, window); }
  OSStatus KevrWindowEventCommandProcess(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                                         void* window) {
    return CommandProcess(call, event, window);
  }
  OSStatus KevrWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window) {
    return WindowEventHandler(call, event, window);
  }
  static int16_t UndoRequest();

  // The group the row shows (1 to 4); not part of the record, so it
  // survives preset loads and resets.
  int16_t currentGroup = 1;

  // The status line of a switch mask: one of sixteen fixed texts.
  static std::string StatusText(int32_t mask);
  // Record word of row r (0 to 3) of group g (1 to 4).
  static int32_t FocusWord(int r, int g) { return kCCFocus + 4 * r + (g - 1); }

 protected:
  void DrawOwnContent(plat::tb::WindowRef window) override;
  bool OwnCommand(uint32_t command, plat::tb::ControlRef source, plat::tb::WindowRef window) override;

 private:
  void ShowGroupRows();
};

extern VMKkevrUI* gVMKkevr;

void KevrLoopHandler(plat::tb::EventLoopTimerRef timer, void* window);
OSStatus KevrWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window);
const plat::tb::EventHandlerProc& GetKevrWindowEventHandlerUPP();
