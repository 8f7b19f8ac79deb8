// The per-tile lists: up to twelve tiles side by side, each filled by an
// image file (VMKsetima, window "ImageList", signature 'Lima') or a colour
// ramp (VMKsetvig, window "VignList", signature 'Livi'), chosen tile by tile
// and copied from one tile to another or to all.
//
// Two owners use them: the tessellation dialog hands in a TessPar and no
// layer, the photo-border dialog no TessPar and one BordLay. A list works on
// a private copy of the twelve files or ramps and writes it back only on OK:
// the first tile-count entries to a TessPar, all twelve to a layer.
//
// Owner protocol: new; Do_SetImaDlg / Do_SetVigDlg (record, layer); delete.
//
// Both are descriptions on the one dialog frame with no record, no preset
// popup, no undo, no temporary file and no loop timer: every change is
// drawn at once.
#pragma once

#include <array>
#include <cstdint>

#include "app/core/file_records.h"
#include "dialogs/frame/effect_frame.h"
#include "engines/patterns/border_record.h"
#include "engines/tessellation/tessellation_record.h"
#include "script/lut_vign.h"

class VMKadjvignUI;

inline constexpr int16_t kTileListTiles = 12;

// What the two lists share: the tile count, the two copy popups, which
// tiles are shown, and the copy of one working entry to others.
class TileListFrame : public EffectFrame {
 public:
  // Tile k (0-based): its thumbnail box and its companion control.
  static constexpr std::array<int32_t, kTileListTiles> kBoxIds = {4, 6, 8, 10, 12, 14, 19, 21, 23, 25, 27, 29};
  static constexpr std::array<int32_t, kTileListTiles> kCompanionIds = {3,  5,  7,  9,  11, 13,
                                                                         18, 20, 22, 24, 26, 28};
  static constexpr int32_t kSourcePopup = 15;
  static constexpr int32_t kTargetPopup = 16;

  TileListFrame(const EffectFrameDesc& desc, int16_t* restor) : EffectFrame(desc, restor) {}

  // Popup 15: "1" .. count; popup 16: "All", then "1" .. count.
  void LoadTilNbMenu(int16_t count);

  int16_t tileCount = kTileListTiles;

 protected:
  // The tile count an owner hands in, held to 1 .. 12 (a damaged record
  // must not make the list read past its twelve tiles).
  static int16_t OwnerCount(const TessPar* tess);
  // Resets the twelve thumbnail boxes for pictures of their own.
  void OpenViews(plat::tb::WindowRef window) override;
  void LoadOwnMenus() override { LoadTilNbMenu(tileCount); }
  // Shows or hides tile k's box, companion and (id >= 0) one more control.
  void ShowTile(int16_t k, int32_t more);
  // The 'Bcpy' choice: the source tile and the target tile (0-based), the
  // target -1 for all twelve. False when a popup names no tile.
  bool CopyChoice(int16_t* from, int16_t* to) const;
  // The size of tile k's box.
  bool BoxSize(int16_t k, int32_t* w, int32_t* h) const;
};

class VMKsetima final : public TileListFrame {
 public:
  static constexpr int32_t kChooseBase = 30;  // choose controls 30 .. 41

  VMKsetima();
  ~VMKsetima() override;

  // 1 when the owner's files were replaced, 0 after cancel or when the
  // window cannot be made. Exactly one of the two is given.
  int16_t Do_SetImaDlg(TessPar* tess, BordLay* layer);
  void DrawWindowSetImaContent(plat::tb::WindowRef window) { DrawWindowContent(window); }
  OSStatus SetImaWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                                    void* window) {
    return WindowEventHandler(call, event, window);
  }

  fichier tiles[kTileListTiles];  // the working copy

 protected:
  void DrawOwnContent(plat::tb::WindowRef window) override;
  bool OwnCommand(uint32_t command, plat::tb::ControlRef source, plat::tb::WindowRef window) override;

 private:
  void ShowThumbnail(int16_t k);
};

class VMKsetvig final : public TileListFrame {
 public:
  VMKsetvig();
  ~VMKsetvig() override;

  int16_t Do_SetVigDlg(TessPar* tess, BordLay* layer);
  void DrawWindowSetVigContent(plat::tb::WindowRef window) { DrawWindowContent(window); }
  OSStatus SetVigWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                                    void* window) {
    return WindowEventHandler(call, event, window);
  }

  VMKadjvignUI* rampEditorUI = nullptr;  // while the ramp editor is open
  LutVign ramps[kTileListTiles];         // the working copy

 protected:
  void DrawOwnContent(plat::tb::WindowRef window) override;
  bool OwnCommand(uint32_t command, plat::tb::ControlRef source, plat::tb::WindowRef window) override;

 private:
  void EditRamp(int16_t k, plat::tb::WindowRef window);
};

extern VMKsetima* gVMKsetima;
extern VMKsetvig* gVMKsetvig;

// The file-level procedures of the lists' source file.
OSStatus SetImaWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window);
OSStatus SetVigWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window);
const plat::tb::EventHandlerProc& GetSetImaWindowEventHandlerUPP();
const plat::tb::EventHandlerProc& GetSetVigWindowEventHandlerUPP();
