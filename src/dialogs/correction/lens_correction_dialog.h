// The lens-correction dialog (effect 113): geometry, vignetting and colour
// fringing of the lens record, each group on its own page with its own
// switch, over a live preview that can show the correction's regular and
// corrected grids. It is the effect dialog's shape with seven value rows
// whose meaning changes with the page, a status line of the three switches,
// the grid overlay boxes and a cross-hair over the preview.
#pragma once

#include <cstdint>

#include "dialogs/correction/effect_dialog.h"
#include "engines/correction/lens_correction.h"

extern const EffectRecordOps kZondracRecordOps;

class VMKzondracUI : public EffectDialog {
 public:
  VMKzondracUI();
  ~VMKzondracUI() override;

  // The owner's hand-over: in before running, out after OK.
  void GetZondracPar(ZondracPar* out);
  void SetZondracPar(ZondracPar* in);
  int16_t Do_ZondracDlg();
  void ZondracLoop(plat::tb::EventLoopTimerRef timer, void* window) { Loop(timer, window); }
  OSStatus ZondracWindowEventCommandProcess(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                                            void* window) {
    return CommandProcess(call, event, window);
  }
  OSStatus ZondracWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window) {
    return WindowEventHandler(call, event, window);
  }
  void PrepareLayPhoMenus() { LoadLayPhoMenus(); }
  void PrepareZondracMenus() { LoadPresetMenus(); }
  ZondracPar* editRecord() const { return static_cast<ZondracPar*>(edit); }
  static int16_t UndoRequest();

  // The status line for the three switches (lens, vignette, fringe), each
  // counted on only when it is 1.
  static const char* StatusText(int32_t lens, int32_t vignette, int32_t fringe);

  // The preset popup's value - 1 at the last 'Plib'.
  int16_t presetEntry = 0;
  // The readout counts pixels; nothing changes the unit (kept).
  int16_t readoutUnit = 2;

  static constexpr int16_t kLensPage = 1;
  static constexpr int16_t kVignettePage = 2;
  static constexpr int16_t kFringePage = 3;

 protected:
  void DrawOwnContent(plat::tb::WindowRef window) override;
  bool OwnCommand(uint32_t command, plat::tb::ControlRef source, plat::tb::WindowRef window) override;
  void BeforeMainPreview() override;

 private:
  void GridOverlayCommand(uint32_t command);
  void GridStep();
  int32_t SwitchWord() const;
};

extern VMKzondracUI* gVMKzondrac;

void ZondracLoopHandler(plat::tb::EventLoopTimerRef timer, void* window);
OSStatus ZondracWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window);
const plat::tb::EventHandlerProc& GetZondracWindowEventHandlerUPP();
