// The load-effect browser: the modal window in which the user picks a stored effect of the
// current family. A category popup, a name popup, a scroll bar and fifteen preview views
// with their names show the entries of the family's effect-list file; resting on a name
// previews that effect in the main editing window.
//
// The browser only chooses. 'ok  ' and the browse button set the result and the last load
// mode; the caller asks for the chosen file with GetSelecFich and loads it itself (see
// effect_recall.h), so closing the browser never changes the document.
//
// It is a description and hooks on the one dialog frame: the frame runs the window, the
// timer, the modal loop and the undo keys; the browser adds its list, its popups, its
// scroll bar and its views.
#pragma once

#include <cstdint>

#include "app/core/file_records.h"
#include "dialogs/editor/effect_list.h"
#include "dialogs/frame/effect_frame.h"

// What the browser needs of the main editing window for its hover preview.
class PinMainLink {
 public:
  virtual ~PinMainLink() = default;
  // mode 1 renders the preview planes from `file`, or from the current script when null.
  virtual void PrepareBuf(int16_t mode, fichier* file) = 0;
  virtual void SetRefreshFlag(int16_t flag) = 0;
  // One pass of the main window's loop.
  virtual void RunLoopOnce() = 0;
};

class VMKloadeff final : public EffectFrame {
 public:
  static constexpr int16_t kSlots = 15;

  VMKloadeff();
  ~VMKloadeff() override;

  // 1 when an effect was chosen, 0 when cancelled or when the window cannot be made.
  int16_t Do_LoadEffDlg(int16_t family);
  // The reduced browser on "TestOpenWin": names, scroll bar and popups; 'ok  ' ends it.
  int16_t Do_TestOpenDlog(int16_t family);
  // After a result of 1: the browsed file (last load mode 3) or the selected slot's file.
  void GetSelecFich(fichier* out);
  // Copies a record into the selected slot's file record.
  void SetSelecFich(fichier* in);
  void SetPinMain(PinMainLink* mainWindow);
  // Scrolls the previews so that entry `first` is shown and selected.
  void AdjustScrollEff(int16_t first);

  void LoadEffLoop(plat::tb::EventLoopTimerRef timer, void* window) { Loop(timer, window); }
  OSStatus LoadEffWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                                     void* window) {
    return WindowEventHandler(call, event, window);
  }
  OSStatus LoadEffWindowEventCommandProcess(plat::tb::EventHandlerCallRef call,
                                            plat::tb::EventRef event, void* window) {
    return CommandProcess(call, event, window);
  }
  // The scroll bar's live action: one step for the arrows, ten for the page parts.
  void ScrollBy(plat::tb::ControlRef bar, int16_t part);
  // The file's undo request, raised by Cmd-Z or Control-Z.
  static int16_t UndoRequest();

  // ---- fields, in order ----
  int16_t scrollStep = 1;
  TSSeff** slots = nullptr;
  VMKlisteff* list = nullptr;
  PinMainLink* mainWindow = nullptr;
  fichier browsedFile;
  int16_t selectedSlot = 1;  // 1-based
  int16_t lastLoadMode = 0;
  int16_t listMode = 0;
  int16_t slotCount = kSlots;
  plat::tb::ControlRef nameTexts[kSlots] = {};
  plat::tb::ControlRef previewViews[kSlots] = {};
  plat::tb::ControlRef scrollBar = nullptr;
  plat::tb::ControlRef categoryPopup = nullptr;
  plat::tb::ControlRef namePopup = nullptr;
  // The menus the list fills, shown in the two popups.
  MenuRef categoryMenu = nullptr;
  MenuRef nameMenu = nullptr;

 protected:
  bool ReadyToRun() const override;
  void OpenViews(plat::tb::WindowRef window) override;
  void LoadOwnMenus() override;
  void InstallOwnControls(const FrameProcs& procs, plat::tb::WindowRef window) override;
  void DrawOwnContent(plat::tb::WindowRef window) override;
  bool OwnCommand(uint32_t command, plat::tb::ControlRef source, plat::tb::WindowRef window) override;
  bool PollTick(plat::tb::WindowRef window) override;
  bool TakePick() override;
  void HoverItem(int32_t item, plat::tb::WindowRef window) override;
  void HoverBackRest(int16_t n) override;

 private:
  VMKimabox* View(int k) const { return Box(static_cast<size_t>(k)); }
  // The fifteen views as the list takes them.
  VMKimabox** ViewTable();
  void FindOwnControls();
  void AllocateSlots();
  void ShowMenus();
  void SetRanges();
  void Refill();
  void Browse(plat::tb::WindowRef window);
  int16_t NameCount() const;

  int16_t family_ = 0;
  VMKimabox* views_[kSlots] = {};
};

extern VMKloadeff* gVMKloadeff;

void LoadEffLoopHandler(plat::tb::EventLoopTimerRef timer, void* window);
OSStatus LoadEffWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                                   void* window);
const plat::tb::EventHandlerProc& GetLoadEffWindowEventHandlerUPP();
