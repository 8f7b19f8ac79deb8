// The colour-ramp browser: one ramp of the ramp library picked by looking at
// it. A category popup, a name popup, a page of six thumbnails (each a
// colour bar drawn from a ramp file, its file name under it) and a scroll
// bar over the category. The ramp-list keeper (VMKlisteff in colour-ramp
// mode) owns the list and draws the thumbnails; the browser drives it.
//
// It runs on the effect-dialog frame with the chosen ramp as the current
// record and its copy, while the name popup is open, as the backup. It has
// no undo: Cmd-Z is taken and does nothing.
#pragma once

#include <cstdint>
#include <memory>

#include "dialogs/editor/effect_list.h"
#include "dialogs/frame/effect_frame.h"
#include "script/lut_vign.h"

class VMKloadvign final : public EffectFrame {
 public:
  static constexpr int16_t kSlots = 6;
  // The stored size of a slot record; ours may be smaller in memory.
  static constexpr int32_t kSlotBytes = 580;

  VMKloadvign();
  ~VMKloadvign() override;

  // 1 when a ramp was chosen ('ok  ' on a slot that holds one, or a ramp
  // file opened with 'Bloa'), 0 otherwise.
  int16_t Do_LoadVignDlg();
  void GetLutVign(LutVign* out) const;
  void SetLutVign(const LutVign* ramp);
  // Moves the page to a scroll position (0 to 1000).
  void AdjustScrollVign(int16_t position);

  void LoadVignLoop(plat::tb::EventLoopTimerRef timer, void* window) { Loop(timer, window); }
  OSStatus LoadVignWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window) {
    return WindowEventHandler(call, event, window);
  }
  OSStatus LoadVignWindowEventCommandProcess(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                                             void* window) {
    return CommandProcess(call, event, window);
  }

  LutVign* chosen() const { return static_cast<LutVign*>(edit); }
  // Names of the selected category.
  int16_t NameCount() const;

  // ---- members, in the order the dialog keeps them ----
  int16_t scrollStep = 1;
  TSSeff** slotTable = nullptr;  // not "slots": a word Qt takes for itself
  std::unique_ptr<VMKlisteff> keeper;
  char categoryText[kLutVignTextSize] = {};
  char secondText[kLutVignTextSize] = {};
  int16_t selectedSlot = 1;  // 1-based
  int16_t layout = 3;
  int16_t slotCount = kSlots;

 protected:
  void ShowPreview() override;
  void DrawOwnContent(plat::tb::WindowRef window) override;
  bool OwnCommand(uint32_t command, plat::tb::ControlRef source, plat::tb::WindowRef window) override;
  bool PollTick(plat::tb::WindowRef window) override;
  bool TakePick() override;
  bool ReadyToRun() const override;
  void OpenViews(plat::tb::WindowRef window) override;
  void LoadOwnMenus() override;
  void InstallOwnControls(const FrameProcs& procs, plat::tb::WindowRef window) override;
  void HoverItem(int32_t item, plat::tb::WindowRef window) override;
  void HoverBackRest(int16_t n) override;

 private:
  // The page from the keeper's first shown entry; `anew` after the category
  // changed, when the keeper's memory of its last page no longer holds.
  void Render(bool anew);
  void SetScrollStep(bool rounded);
  void PlaceFirst(int32_t first);
  void ChooseSlot(plat::tb::WindowRef window);
  void OpenFile(plat::tb::WindowRef window);
  void NewCategory(plat::tb::WindowRef window, int16_t first);
  void ViewsInto(VMKimabox** views) const;

  MenuRef categoryMenu_ = nullptr;
  MenuRef nameMenu_ = nullptr;
};

extern VMKloadvign* gVMKloadvign;

void LoadVignLoopHandler(plat::tb::EventLoopTimerRef timer, void* window);
OSStatus LoadVignWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window);
const plat::tb::EventHandlerProc& GetLoadVignWindowEventHandlerUPP();
