// The file-level functions of an effect dialog's source file, written once.
// Each reaches the open dialog through the file's process-wide pointer
// `Global` and does nothing while no dialog is open. A dialog file names its
// own `<X>LoopHandler`, `<X>WindowEventHandler`,
// `Get<X>WindowEventHandlerUPP`, `NumEditKeyFilter`,
// `ScrollBar32BitActionProc` and `LittleArrowActionProc` as one-line calls of
// these and hands Run the set from Procs.
#pragma once

#include <cstdint>
#include <type_traits>
#include <utility>

#include "dialogs/frame/effect_frame.h"

template <auto& Global>
struct EffectFrameTrampolines {
  // The pointer follows the newest dialog; one closing clears it only when
  // it is that dialog, so an older one going away leaves the newer reachable.
  using Dialog = std::remove_pointer_t<std::remove_reference_t<decltype(Global)>>;

  static void Claim(Dialog* dialog) { Global = dialog; }
  static void Release(const Dialog* dialog) {
    if (Global == dialog) Global = nullptr;
  }

  static void LoopHandler(plat::tb::EventLoopTimerRef timer, void* window) {
    if (Global != nullptr) Global->Loop(timer, window);
  }

  static OSStatus WindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                                     void* window) {
    return Global != nullptr ? Global->WindowEventHandler(call, event, window)
                             : plat::tb::eventNotHandledErr;
  }

  // Made once, so every install of the window handler hands the same one.
  static const plat::tb::EventHandlerProc& WindowEventHandlerUPP() {
    static const plat::tb::EventHandlerProc sHandler = WindowEventHandler;
    return sHandler;
  }

  static bool NumEditKeyFilter(plat::tb::ControlRef, int16_t*, int16_t* charCode, uint32_t* modifiers) {
    return Global != nullptr && Global->FilterNumKey(*charCode, *modifiers);
  }

  static void ScrollBar32BitActionProc(plat::tb::ControlRef control, int16_t part) {
    EffectFrame::StepSlider(control, part);
  }

  static void LittleArrowActionProc(plat::tb::ControlRef control, int16_t part) {
    EffectFrame::StepArrows(control, part);
  }

  // What Run installs: the file's own loop and window handlers, the slider
  // and key actions, and the little arrows' action.
  static FrameProcs Procs(plat::tb::EventLoopTimerProc loop, plat::tb::EventHandlerProc window,
                          plat::tb::ControlActionProc arrows = LittleArrowActionProc,
                          plat::tb::ControlActionProc slider = ScrollBar32BitActionProc) {
    return {std::move(loop), std::move(window), std::move(slider), nullptr, std::move(arrows), NumEditKeyFilter};
  }
};
