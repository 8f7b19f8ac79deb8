// The cookie-cutter dialog (effect 81): a superformula outline (symmetry,
// three exponents and their scale, turns, size, rotation, edge blur) filled
// through the record's colour ramp after a hue, saturation and value shift,
// previewed over the picture.
//
// The value shift is taken as typed, held only to the 16 bits the ramp bar
// and the ramp editor carry (500 stays 500). Typing does not push the next
// tick. The arrows of the three shifts update their text and the ramp bar
// but not the preview until the next refresh.
#pragma once

#include <cstdint>

#include "dialogs/frame/effect_frame.h"
#include "engines/patterns/cookie_cutter_record.h"

class VMKcookicutUI : public EffectFrame {
 public:
  VMKcookicutUI();
  ~VMKcookicutUI() override;

  // The owner's protocol: the current record goes to the undo record first,
  // so that an undo right after opening gives the constructor's defaults.
  void SetCookiCutPar(const CookiCutPar* record);
  void GetCookiCutPar(CookiCutPar* record) const;
  // Flag 1: an operation of the list is edited and the preview reads the
  // render file (source 2); otherwise the picture (3).
  int16_t Do_CookiCutDlg(int16_t flag);
  void LoadCookiCutMenus() { LoadPresetMenus(); }
  void CookiCutLoop(plat::tb::EventLoopTimerRef timer, void* window) { Loop(timer, window); }
  OSStatus CookiCutWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window) {
    return WindowEventHandler(call, event, window);
  }
  OSStatus CookiCutWindowEventCommandProcess(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                                             void* window) {
    return CommandProcess(call, event, window);
  }

  CookiCutPar* current() const { return static_cast<CookiCutPar*>(edit); }
  CookiCutPar* undoRecord() const { return static_cast<CookiCutPar*>(backup); }
  VMKimabox* previewBox() const { return Box(0); }

  // ---- the object's own state ----
  PictureFit fit;              // the picture's place in the preview box
  int16_t previewDisplay = 1;  // 'Ceff': 1 shows the cut-out shape
  int16_t overlayMode = 0;     // 'Csha': the outline overlay

 protected:
  void ShowPreview() override;
  void OpenViews(plat::tb::WindowRef window) override;
  void DrawOwnContent(plat::tb::WindowRef window) override;
  bool OwnCommand(uint32_t command, plat::tb::ControlRef source, plat::tb::WindowRef window) override;
  void ReadPreset(int32_t entry) override;
};

extern VMKcookicutUI* gVMKcookicut;

void CookiCutLoopHandler(plat::tb::EventLoopTimerRef timer, void* window);
OSStatus CookiCutWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window);
const plat::tb::EventHandlerProc& GetCookiCutWindowEventHandlerUPP();
