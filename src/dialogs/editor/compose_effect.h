// The compose-effect chooser: four preview slots in a 2 x 2 grid, each showing one stored
// effect rendered over the picture and the current layer's paths. Slot 0 ("Current") holds
// the layer's own operations, saved by the caller into a scratch file; slots 1 to 3 hold
// effects picked from the family's list, from the load-effect browser or from a file
// dialog, and are kept between uses in a small temporary file of the maker's folder.
//
// The user clicks a slot to make it current; OK answers the current slot's file, which the
// caller loads into the layer. Nothing here loads anything into the document.
//
// Each slot renders on the dialog's preview worker, one job per slot: a newer request for
// a slot replaces one still waiting, and the last complete image of a slot stays until its
// replacement is ready.
#pragma once

#include <cstdint>

#include "app/core/file_records.h"
#include "dialogs/editor/effect_list.h"
#include "dialogs/frame/effect_frame.h"

class CPathList;
struct DrawPar;

class VMKcompeff final : public EffectFrame {
 public:
  static constexpr int16_t kSlotCount = 4;
  // The temporary slot file: the records of slots 1 to 3, 538 bytes each.
  static constexpr const char* kSlotFile = ":tmpvmkcompeff";

  VMKcompeff();
  ~VMKcompeff() override;

  // 1 after OK (the current slot's file is the choice), 0 after cancel or when the window
  // cannot be made.
  int16_t Do_CompEffDlg(int16_t family, CPathList* paths);
  void GetSelecFich(fichier* out);
  // Sets the current slot's record: before the window opens, slot 0's.
  void SetSelecFich(fichier* in);
  // 1 writes slots 1 to 3 to the temporary file, 0 reads them back; the file's result.
  int16_t BackupRestoreFich(int16_t n);
  // Renders slot k's preview (on the worker).
  void PrepareBuf(int16_t k);
  void PrepareWindowForDisplay() override;
  // The chooser has no number fields.
  void GetEditValue() override {}

  void CompEffLoop(plat::tb::EventLoopTimerRef timer, void* window) { Loop(timer, window); }
  OSStatus CompEffWindowEventCommandProcess(plat::tb::EventHandlerCallRef call,
                                            plat::tb::EventRef event, void* window) {
    return CommandProcess(call, event, window);
  }
  OSStatus CompEffWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                                     void* window) {
    return WindowEventHandler(call, event, window);
  }
  // A finished render of slot k (window's thread): its planes become the slot's.
  void SlotRendered(int16_t k, uint64_t generation, int32_t status, uint8_t* const planes[4]);

  // ---- members, in order ----
  // [plane][slot], view width x height pixels times the slot's density_ on
  // each axis.
  uint8_t* slotPlanes[4][kSlotCount] = {};
  TSSeff** slots = nullptr;
  DrawPar* drawPar = nullptr;
  VMKlisteff* list = nullptr;
  CPathList* paths = nullptr;
  int16_t currentSlot = 0;
  int16_t slotCount = kSlotCount;
  int32_t imageWidth = 0;
  int32_t imageHeight = 0;
  int32_t viewOriginX = 0, viewOriginY = 0, viewWidth = 0, viewHeight = 0;
  plat::tb::ControlRef slotLabels[kSlotCount] = {};
  plat::tb::ControlRef categoryPopup = nullptr;
  plat::tb::ControlRef namePopup = nullptr;
  MenuRef categoryMenu = nullptr;
  MenuRef nameMenu = nullptr;

 protected:
  bool ReadyToRun() const override;
  void OpenViews(plat::tb::WindowRef window) override;
  void LoadOwnMenus() override;
  void BeforeShow(plat::tb::WindowRef window) override;
  void DrawOwnContent(plat::tb::WindowRef window) override;
  bool OwnCommand(uint32_t command, plat::tb::ControlRef source, plat::tb::WindowRef window) override;
  void HoverItem(int32_t item, plat::tb::WindowRef window) override;
  void HoverBackRest(int16_t n) override;
  bool PollTick(plat::tb::WindowRef window) override;
  bool TakePick() override;

 private:
  VMKimabox* View(int k) const { return Box(static_cast<size_t>(k)); }
  VMKimabox** ViewTable();
  bool Changeable() const { return currentSlot >= 1 && currentSlot < kSlotCount; }
  void LayOutViews();
  void FitSlot(int k, struct YoxelPar* record);
  void FreePlanes(int k);
  void ShowMenus();

  int16_t family_ = 0;
  plat::tb::WindowRef window_ = nullptr;
  uint64_t generation_[kSlotCount] = {};
  // Device pixels per view pixel of each slot's planes (the window's
  // backing scale when the slot was laid out).
  int32_t density_[kSlotCount] = {1, 1, 1, 1};
  VMKimabox* views_[kSlotCount] = {};
  // Slots 1 to 3 as they were when the name menu opened, and whether the slot file took
  // them: the menu's close restores these when the file could not be written or read back.
  fichier heldSlots_[kSlotCount - 1];
  bool holding_ = false;
  bool heldInFile_ = false;
};

extern VMKcompeff* gVMKcompeff;

void CompEffLoopHandler(plat::tb::EventLoopTimerRef timer, void* window);
OSStatus CompEffWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                                   void* window);
const plat::tb::EventHandlerProc& GetCompEffWindowEventHandlerUPP();
