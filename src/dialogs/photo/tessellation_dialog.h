// The tessellation dialog (effect 58): one TessPar, a base quad repeated
// over the picture under one of 17 symmetry types, and up to twelve tiles,
// each filled from the photo, a colour ramp or an image file, with its own
// colour shift, offset, bleed, mask and base quad. The preview box shows
// the tessellation, the tile box the current tile's picture with its quad;
// the source-picture view (VMKoriima) edits that quad large, the per-tile
// lists the tiles' images and ramps.
//
// A description and hooks on the one dialog frame: the window "QuoTess"
// (signature 'Qtss', 26 controls, zoomable), a 0.5 s loop, the boxes
// "com.vellmarkstead.qorl.HIima" and ".HIori", presets of type 'hPts',
// the temporary settings file ":tmpvmkpts.hts". The six value rows edit
// the current tile; with the link flag a change reaches tiles 1 to 12.
// A preset or settings file out of range (symmetry type, tile count,
// current tile) is refused like an unreadable one.
#pragma once

#include <cstdint>

#include "dialogs/frame/effect_frame.h"
#include "dialogs/photo/tile_view_picture.h"
#include "engines/tessellation/tessellation_record.h"

class VMKoriima;

class VMKquorlinUI final : public EffectFrame {
 public:
  VMKquorlinUI();
  ~VMKquorlinUI() override;

  // The owner's record, held to its ranges, into current and backup alike.
  void SetTessPar(const TessPar* record);
  void GetTessPar(TessPar* record) const;
  int16_t Do_QuorlinDlg(int16_t flag);

  void GetEditValue() override;
  void PrepareWindowForDisplay() override;
  // Tile count from the symmetry type, the tile popup anew; the current
  // tile becomes the first unless `keep` is 1.
  void LoadTileMenus(int16_t keep);
  void LoadQuorlinMenus() { LoadPresetMenus(); }
  void QuorlinLoop(plat::tb::EventLoopTimerRef timer, void* window) { Loop(timer, window); }
  OSStatus QuorlinWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window) {
    return WindowEventHandler(call, event, window);
  }
  OSStatus QuorlinWindowEventCommandProcess(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                                            void* window) {
    return CommandProcess(call, event, window);
  }
  int32_t RowValue(const ValueRow& row) override;
  void SetRowValue(const ValueRow& row, int32_t value) override;

  TessPar* current() const { return static_cast<TessPar*>(edit); }
  TessPar* backupRecord() const { return static_cast<TessPar*>(backup); }
  int32_t* Head() const { return current()->head.w; }
  TessInfo& Tile() const;

  // ---- members, in the order of the dialog's table (records, preset
  // list, temporary file, flag, preview source, result, refresh, draw
  // parameters and timer are the frame's) ----
  VMKoriima* oriView = nullptr;  // while the source-picture view is open
  int16_t effectDisplay = 1;
  int16_t presetIndex = 1;
  int32_t imageWidth = 0, imageHeight = 0;
  int32_t boxLeft = 0, boxTop = 0, boxWidth = 0, boxHeight = 0;
  // The tile view's picture, made on the preview worker.
  TileViewPicture tileView;

 protected:
  void ShowPreview() override;
  void DrawOwnContent(plat::tb::WindowRef window) override;
  bool OwnCommand(uint32_t command, plat::tb::ControlRef source, plat::tb::WindowRef window) override;
  bool PollTick(plat::tb::WindowRef window) override;
  void OpenViews(plat::tb::WindowRef window) override;
  void LoadOwnMenus() override { LoadTileMenus(0); }
  void InstallOwnControls(const FrameProcs& procs, plat::tb::WindowRef window) override;
  void InitRecord(void* record) override;

 private:
  // With the link flag, copy group `group` of the current tile to tiles 1..12.
  void LinkedCopy(int16_t group);
  void FillTileMenu();
  bool HeadCommand(uint32_t command, int32_t value, plat::tb::WindowRef window);
  bool TileCommand(uint32_t command, int32_t value, plat::tb::WindowRef window);
  bool SubDialogCommand(uint32_t command, plat::tb::WindowRef window);
  void ResetQuads(bool second, bool base, int32_t type);
};

// The source-picture view: the current tile's picture large with its base
// quad for mouse editing, the mask flag and the bleed. Its owner polls it
// (CheckSetPreview) and copies each change into its own record.
class VMKoriima final : public EffectFrame {
 public:
  VMKoriima();
  ~VMKoriima() override;

  int16_t Do_OriImaDlg(TessPar* record, int16_t flag);
  void SetOriImaFlagPreview(int16_t v) { flagPreview = v; }
  int16_t GetOriImaFlagPreview() const { return flagPreview; }
  // With the preview flag 1: the pending flag, which becomes `v`; else 0.
  int16_t CheckSetPreview(int16_t v);
  void OriImaLoop(plat::tb::EventLoopTimerRef timer, void* window) { Loop(timer, window); }
  OSStatus OriImaWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window) {
    return WindowEventHandler(call, event, window);
  }
  void GetEditValue() override;
  void PrepareWindowForDisplay() override;
  int32_t RowValue(const ValueRow& row) override;

  TessPar* current() const { return static_cast<TessPar*>(edit); }

  int16_t flagPreview = 1;
  int16_t pending = 0;
  int32_t imageWidth = 0, imageHeight = 0;
  int32_t boxLeft = 0, boxTop = 0, boxWidth = 0, boxHeight = 0;
  // The tile view's picture, made on the preview worker.
  TileViewPicture tileView;

 protected:
  void ShowPreview() override;
  void DrawOwnContent(plat::tb::WindowRef window) override;
  bool OwnCommand(uint32_t command, plat::tb::ControlRef source, plat::tb::WindowRef window) override;
  bool PollTick(plat::tb::WindowRef window) override;
  void OpenViews(plat::tb::WindowRef window) override;
};

extern VMKquorlinUI* gVMKquorlin;
extern VMKoriima* gVMKoriima;

// The picture well's picture of symmetry type `type` ('PICT' 16419 +
// type, scaled to the well); false, and the well emptied, for a type out of
// range or a picture that cannot be read.
bool ShowSymmetryPicture(plat::tb::ControlRef well, int32_t type);

void QuorlinLoopHandler(plat::tb::EventLoopTimerRef timer, void* window);
OSStatus QuorlinWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window);
const plat::tb::EventHandlerProc& GetQuorlinWindowEventHandlerUPP();
void OriImaLoopHandler(plat::tb::EventLoopTimerRef timer, void* window);
OSStatus OriImaWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window);
const plat::tb::EventHandlerProc& GetOriImaWindowEventHandlerUPP();
