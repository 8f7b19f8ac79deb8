// The file-level functions of a colour-correction dialog's source file: the
// frame's trampolines, and the zoom slider's action, which pans and zooms.
#pragma once

#include <cstdint>
#include <utility>

#include "dialogs/correction/effect_dialog.h"
#include "dialogs/frame/effect_frame_procs.h"

template <auto& Global>
struct EffectDialogTrampolines : EffectFrameTrampolines<Global> {
  using Base = EffectFrameTrampolines<Global>;

  // The zoom slider steps like a value slider, then pans and zooms the view.
  // Its reference is the window, not a number field: nothing is written
  // into it.
  static void ScrollBarPan32BitActionProc(plat::tb::ControlRef control, int16_t part) {
    (void)EffectFrame::StepValue(control, part);
    if (Global != nullptr)
      Global->AdjustPanZoom(static_cast<plat::tb::WindowRef>(plat::tb::GetControlReference(control)),
                            static_cast<int16_t>(plat::tb::GetControl32BitValue(control)));
  }

  // What Run installs: the file's own loop and window handlers, the shared
  // slider, pan and key actions, and the little arrows' action if any.
  static EffectDialogProcs Procs(plat::tb::EventLoopTimerProc loop, plat::tb::EventHandlerProc window,
                                 plat::tb::ControlActionProc arrows = nullptr) {
    EffectDialogProcs procs = Base::Procs(std::move(loop), std::move(window), std::move(arrows));
    procs.pan = ScrollBarPan32BitActionProc;
    return procs;
  }
};
