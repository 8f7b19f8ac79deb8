// The photo-border dialog (effect 106): one BordPar of up to 127 layers,
// each a frame of four sides (strips of up to 64 tiles) and four corners.
// The dialog edits the layer list, the geometry of the current side or
// corner (repeat count or height, width, blend, enabled) and the look of
// the tiles, applying a tile change to the current tile, the current side
// (or all four corners) or the whole layer by the apply mode.
//
// A description and hooks on the one dialog frame: the window "CreaBord"
// (signature 'Cbor', 51 controls, zoomable), a 0.5 s loop, the boxes
// "com.vellmarkstead.cbor.HIima" (the border over the picture) and
// ".HIori" (the current tile's image or ramp), presets of type 'hBor', the
// temporary settings file ":tmpvmkpbo.hbr". A preset or settings file out
// of range (current layer, side or corner, side tile, tile image) is
// refused like an unreadable one; an owner's record is brought into range.
#pragma once

#include <cstdint>

#include "dialogs/frame/effect_frame.h"
#include "dialogs/photo/tile_view_picture.h"
#include "engines/patterns/border_record.h"

class VMKmirrovanUI final : public EffectFrame {
 public:
  // Rows of the slider limits: minimum and maximum of the repeat (or
  // height), width and blend sliders.
  enum : int16_t { kRepeatMin, kRepeatMax, kWidthMin, kWidthMax, kBlendMin, kBlendMax };

  VMKmirrovanUI();
  ~VMKmirrovanUI() override;

  // The owner's record, held to its ranges, into current and backup alike.
  void SetBordPar(const BordPar* record);
  void GetBordPar(BordPar* record) const;
  void BackRestBord(int16_t n) { BackRest(n); }
  int16_t Do_MirrovanDlg(int16_t flag);

  void GetEditValue() override;
  void PrepareWindowForDisplay() override;
  void LoadMirrovanMenus() { LoadPresetMenus(); }
  // Popup 62: "Layer 1" .. "Layer n".
  void LoadLayMenus();
  // Popup 27: the tiles of side s ("1" .. its repeat count) or, for the
  // corners, the mirror choices.
  void LoadTilMenus(int16_t kind);
  // One value into one tile; the look's values then redraw the window.
  void ModifTilVal(plat::tb::WindowRef window, BordTile* tile, uint32_t code, int32_t value);
  // One value by the apply mode (0 current tile, 1 current side or the four
  // corners, 2 the whole layer, with the side and corner entries in mode 2);
  // backs the record up first.
  void ModifAllVal(plat::tb::WindowRef window, int16_t mode, uint32_t code, int32_t value);
  void MirrovanLoop(plat::tb::EventLoopTimerRef timer, void* window) { Loop(timer, window); }
  OSStatus MirrovanWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                                      void* window) {
    return WindowEventHandler(call, event, window);
  }
  OSStatus MirrovanWindowEventCommandProcess(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                                             void* window) {
    return CommandProcess(call, event, window);
  }
  int32_t RowValue(const ValueRow& row) override;
  // The limits of the side or corner index s, each maximum floored at 0.
  void ComputeSliderLimits();

  BordPar* current() const { return static_cast<BordPar*>(edit); }
  BordPar* backupRecord() const { return static_cast<BordPar*>(backup); }
  BordLay& Layer() const;
  BordTile& Tile() const;
  // The side or corner entries of the current index: repeat or height,
  // width, blend and enabled.
  int32_t& Entry(uint32_t code) const;

  // ---- members, in the order of the dialog's table (records, preset
  // list, temporary file, preview source, result, refresh, draw parameters
  // and timer are the frame's) ----
  int16_t previewDisplay = 1;
  int16_t previewOverlay = 1;
  int16_t applyMode = 2;
  int16_t sliderLimits[6][4] = {};
  int32_t imageWidth = 0, imageHeight = 0;
  int32_t boxLeft = 0, boxTop = 0, boxWidth = 0, boxHeight = 0;
  int32_t displayWidth = 0, displayHeight = 0;
  // The tile view's picture, made on the preview worker.
  TileViewPicture tileView;

 protected:
  void ShowPreview() override;
  void DrawOwnContent(plat::tb::WindowRef window) override;
  bool OwnCommand(uint32_t command, plat::tb::ControlRef source, plat::tb::WindowRef window) override;
  void OpenViews(plat::tb::WindowRef window) override;
  void LoadOwnMenus() override { LoadLayMenus(); }
  void AfterRecordLoad() override { LoadLayMenus(); }
  void InitRecord(void* record) override;

 private:
  bool Corners() const;
  void StoreAll(int16_t mode, uint32_t code, int32_t value);
  void StoreEntries(uint32_t code, int32_t value);
  void DrawGeometry();
  void DrawTileLook();
  void DrawTileView();
  void Touched(plat::tb::WindowRef window);
  bool RecordCommand(uint32_t command, int32_t value, plat::tb::WindowRef window);
  bool GeometryCommand(uint32_t command, int32_t value, plat::tb::WindowRef window);
  bool LookCommand(uint32_t command, int32_t value, plat::tb::WindowRef window);
  bool ListCommand(uint32_t command, plat::tb::WindowRef window);
};

extern VMKmirrovanUI* gVMKmirrovan;

void MirrovanLoopHandler(plat::tb::EventLoopTimerRef timer, void* window);
OSStatus MirrovanWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window);
const plat::tb::EventHandlerProc& GetMirrovanWindowEventHandlerUPP();
