// The image picker: one image file chosen from the image library (a
// category popup, a name popup, a scroll bar and a page of fifteen
// thumbnails with their names), or from disk with 'Bloa'. Opened for the
// image-file effects, by the combine-images dialog and by the dialogs that
// place images.
//
// Owner protocol: new VMKloadima; SetSelecFich(current file);
// Do_LoadImaDlg(0); on 1 GetSelecFich(file); delete.
//
// It is a description and hooks on the one dialog frame: the window
// "LoadIma" of signatures 'Leff' (the thumbnail views 4 to 18) and 'Lima'
// (captions 26 to 40, scroll bar 22, category popup 23, name popup 24 and
// the frame 4 that the mouse is watched over), a 0.5 s loop timer, the
// fifteen picker boxes "com.vellmarkstead.lima.HIima0" to "HIima14", no
// record of its own, and this file's own scroll action (a step of the line
// step per arrow, ten per page, then the page clamp).
#pragma once

#include <cstdint>
#include <memory>

#include "dialogs/editor/effect_list.h"
#include "dialogs/frame/effect_frame.h"
#include "dialogs/photo/image_library.h"
#include "engines/patterns/spray_record.h"

class VMKloadima final : public EffectFrame {
 public:
  static constexpr int16_t kSlots = 15;

  VMKloadima();
  ~VMKloadima() override;

  // The file shown to the user as the current one: into the image record of
  // the selected slot.
  void SetSelecFich(const fichier* file);
  // Runs the picker; 1 when a file was chosen, 0 otherwise.
  int16_t Do_LoadImaDlg(int16_t flag);
  // The chosen file: its specification from folder path and name, its name
  // and folder path.
  void GetSelecFich(fichier* out) const;
  // First visible = value and the first slot selected, then kept inside the
  // name list: the last page ends with the last name, which gets selected.
  void AdjustScrollIma(int16_t value);

  void LoadImaLoop(plat::tb::EventLoopTimerRef timer, void* window) { Loop(timer, window); }
  OSStatus LoadImaWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                                     void* window) {
    return WindowEventHandler(call, event, window);
  }
  OSStatus LoadImaWindowEventCommandProcess(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                                            void* window) {
    return CommandProcess(call, event, window);
  }
  // The scroll bar's live action: the step times the part, then the clamp.
  void ScrollAction(plat::tb::ControlRef control, int16_t part);

  // ---- fields, in order ----
  int16_t lineStep = 1;
  SprayPar images[kSlots];
  TSSeff previewSlots[kSlots];
  std::unique_ptr<VMKlistima> keeper;
  int16_t selectedSlot = 1;  // 1-based
  int16_t slotCount = kSlots;
  // A file chosen from disk with 'Bloa': image record 1 holds it although
  // no thumbnail slot does.
  bool chosenFromDisk = false;

 protected:
  void DrawOwnContent(plat::tb::WindowRef window) override;
  bool OwnCommand(uint32_t command, plat::tb::ControlRef source, plat::tb::WindowRef window) override;
  bool OwnEvent(plat::tb::EventRef event, plat::tb::WindowRef window, OSStatus* status) override;
  bool PollTick(plat::tb::WindowRef window) override;
  bool TakePick() override;
  void OpenViews(plat::tb::WindowRef window) override;
  void LoadOwnMenus() override;
  void InstallOwnControls(const FrameProcs& procs, plat::tb::WindowRef window) override;

 private:
  plat::tb::ControlRef Scroll() const;
  plat::tb::ControlRef Categories() const;
  plat::tb::ControlRef Names() const;
  // Name popup range and scroll bar maximum after the name list changed.
  void NameRanges();
  void Page(int16_t first);
  bool SlotFilled(int16_t slot) const;
  VMKimabox* boxes_[kSlots] = {};
};

extern VMKloadima* gVMKloadima;

// The file-level procedures of the picker's source file.
void LoadImaLoopHandler(plat::tb::EventLoopTimerRef timer, void* window);
OSStatus LoadImaWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                                   void* window);
const plat::tb::EventHandlerProc& GetLoadImaWindowEventHandlerUPP();
