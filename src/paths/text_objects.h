// Text that a path may carry: a text object (text set in a warpable frame)
// and a text path (text whose letters follow another path).
//
// Letters are real outlines from the drawing layer's face (glyph_outline.h):
// one closed path per glyph contour, in pixels, y down, baseline at y 0.
// Their size is real 1 of the text settings, in pixels, when it lies in
// 1..1000, else 36; the other settings are stored, copied and saved only.
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

// Letter size in pixels: real 1 when it lies in 1..1000, else 36.
float LetterSize(const TextSettings& t);

class CTxtObj {
 public:
  CTxtObj();
  ~CTxtObj();
  CTxtObj(const CTxtObj&) = delete;
  CTxtObj& operator=(const CTxtObj&) = delete;

  // Answer of OnCtrl for a point away from the frame: the path list
  // passes it over and asks the next text object.
  static constexpr int16_t kOffFrame = 5;

  // Stores the text settings (argument numbers as the field comments say).
  void F_TextParam(int16_t f, int16_t a, int16_t g, int16_t h, const uint8_t* text, int16_t d,
                   float real1, float real2, int32_t real3, int32_t real4, float e, int16_t b,
                   int16_t c);
  // Frame, settings and flags into target.
  void CopyTxtObj(CTxtObj* target) const;
  // 1 on a handle that the frame's kind makes editable, 0 elsewhere within
  // the box of the frame's points grown by 6, kOffFrame outside it.
  int16_t OnCtrl(Point pt);
  // The letters set on one line, fitted to the box of the frame and bent
  // by it, added to the list (active); nothing without text.
  void RenderToList(CPathList* list);
  // The same outlines handed to the list for good.
  void TransfoToOutline(CPathList* list);
  // Bounds of the letters as CPathList::GetBound gives them (no text: four
  // zeros and 0).
  int32_t GetBound(float* left, float* top, float* right, float* bottom);
  // The letters drawn plain (mode 0 in XOR, else in the colour).
  void Draw(int16_t mode, RGBColor colour);
  // Typing into the object takes nothing yet.
  void InputText(int16_t x, int16_t y);
  // The frame drawn by its kind through the object's view mapping.
  void DisplayFrame2(int16_t mode, RGBColor colour);
  // The object's and its frame's mapping take the session's view values,
  // so that hit tests and frame drawing follow the view's scale and scroll.
  void FollowView();

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

  // Stores the text settings, as CTxtObj::F_TextParam.
  void F_TextParam(int16_t f, int16_t a, int16_t g, int16_t h, const uint8_t* text, int16_t d,
                   float real1, float real2, int32_t real3, int32_t real4, float e, int16_t b,
                   int16_t c);
  // Settings, flags, placement state, letter count, start (integer part),
  // plain text and the per-letter arrays into target; not the followed
  // path, the letter lists or the mapping.
  void CopyTxtPath(CTxtPath* target) const;
  // No letter mark is ever hit.
  int16_t OnCtrl(Point) const { return 0; }
  // Copies of the letters placed along the followed path, added to the
  // list; the letter lists stay as loaded.
  void RenderToList(CPathList* list);
  // Places the letters along the followed path into the list. Mode 1 hands
  // the letter lists themselves over (their slots become null); any other
  // mode places copies.
  void TransfoToOutline(int16_t mode, CPathList* list);
  // The placed letters drawn plain (mode 0 in XOR, else in the colour).
  void Draw(int16_t mode, RGBColor colour);
  // Gives each of the first `count` characters its outline list and sets
  // its advance (pen position), extents and baseline; offsets stay.
  void LoadLetters(const char* text, int16_t count);
  // A press: state 0 attaches the text to the path under the point (0);
  // state 1 drags the letter mark under it (1).
  int16_t Interactive(CPathList* list, Point pt);
  // Drags the first letter whose mark lies within 3 units of (x, y), and
  // every letter after it, along the followed path.
  void AdjustMarks(float x, float y);
  // Letters and marks from letter `from` on, in XOR.
  void DisplayLetters(int16_t from);
  void DisplayMarks(int16_t from);

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
  CPathList* letters[kLetters] = {};      // owned; null until placed
  DrawPar drawPar;

 private:
  // Remakes the plain text and letter count; loads the letters when a
  // list is missing, or the text or size changed.
  void PrepareLetters();
  // Where letter i sits along the line: its advance and offset, or its
  // working position during a mark drag.
  float Position(int i) const;
  // The placement: letters from `from` on, attached to `list` or (list
  // null) drawn in XOR; mode 1 hands the lists over.
  void PlaceLetters(int16_t mode, CPathList* list, int from);

  float loadedSize_ = 0.0f;      // size the letter lists were made at
  float working_[kLetters] = {};
  int workFrom_ = kLetters;      // letters from here on use working_
};
