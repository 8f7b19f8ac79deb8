// Text that a path may carry: a text object (text set in a warpable frame)
// and a text path (text whose letters follow another path).
//
// Letter outlines are never loaded, so neither kind adds outline paths,
// bounds or drawing; both keep their settings so that they survive copying,
// saving and loading with their path.
#pragma once

#include <cstdint>

#include "paths/draw_par.h"

class CPath;
class CPathList;
class CWarpPath;

// The text settings shared by both kinds; nothing in the system interprets
// them beyond storing, copying and saving.
struct TextSettings {
  int16_t settingA = 0;
  int16_t settingB = 0;
  int16_t settingC = 0;
  int16_t settingD = 0;
  int32_t settingE = 0;
  float real1 = 0.0f;
  float real2 = 0.0f;
  float real3 = 0.0f;
  float real4 = 0.0f;
  uint8_t text[256] = {};  // length-prefixed, at most 255 characters
  int16_t settingF = 0;
  int16_t settingG = 0;
  int16_t settingH = 0;
  int16_t flag1 = 1;
  int16_t flag2 = 1;
};

class CTxtObj {
 public:
  CTxtObj();
  ~CTxtObj();
  CTxtObj(const CTxtObj&) = delete;
  CTxtObj& operator=(const CTxtObj&) = delete;

  // No control of the frame is ever hit.
  int16_t OnCtrl(Point) const { return 0; }
  // Letters are never loaded: nothing is added to the list.
  void RenderToList(CPathList*) const {}
  // Outlines of the text: none, so the list stays as it is.
  void TransfoToOutline(CPathList*) const {}

  TextSettings settings;
  CWarpPath* frame = nullptr;  // owned; frame kind 20
  DrawPar drawPar;             // its own mapping
};

class CTxtPath {
 public:
  static constexpr int kLetters = 255;
  // Bytes of the placement state as a path record stores it.
  static constexpr int kLayoutBytes = 16588;

  CTxtPath();
  ~CTxtPath();
  CTxtPath(const CTxtPath&) = delete;
  CTxtPath& operator=(const CTxtPath&) = delete;

  // No letter mark is ever hit.
  int16_t OnCtrl(Point) const { return 0; }
  // Letters are never loaded: nothing is added to the list.
  void RenderToList(CPathList*) const {}
  // Places the letters along the followed path into the list; with no
  // letter outlines only the plain text and the letter count are remade.
  void TransfoToOutline(int16_t mode, CPathList* list);

  TextSettings settings;
  // Placement state, stored as one block by the path record.
  int16_t state = 0;        // 0 not yet attached, 1 attached
  int16_t letterCount = 0;
  char plainText[256] = {};
  int32_t startInt = 0;     // start offset, integer part
  int32_t spare1[kLetters] = {};
  int32_t advance[kLetters] = {};
  int32_t offset[kLetters] = {};
  int32_t spare2[kLetters] = {};
  int32_t leftExtent[kLetters] = {};
  int32_t spare3[kLetters] = {};
  int32_t rightExtent[kLetters] = {};
  int32_t baseline[kLetters] = {};
  int32_t startFrac = 0;    // start offset, hundred-thousandths
  uint8_t reserved[8160] = {};
  // Not part of the stored block.
  CPath* followed = nullptr;              // borrowed, never owned
  CPathList* letters[kLetters] = {};      // owned; all null here
  DrawPar drawPar;
};
