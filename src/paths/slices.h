// Slices: an image divided into rectangular slices, each with a link and
// the list's shared behaviours, and the table layout derived from them (cut
// lines, rectangular cells and image cells that carry each cell's link and
// event codes). Slices are drawn on the preview with the XOR pen, made and
// edited with the mouse by the list's tool handler, and kept in slice files
// ('sLic') or inside the combined-layer script.
//
// Record (written in this host's order, little-endian; the version word, 1,
// tells the order, so a record whose version reads 0x0100 is read
// big-endian throughout, its behaviour records included):
//   0 version (2), 2 slice count (4), then per slice: URL active (2), URL
//   target (2), URL (255), alternative text (255), left, top, right, bottom
//   (4-byte floats), the behaviour-list record.
#pragma once

#include <cstdint>

#include "paths/draw_par.h"
#include "platform/types/mac_types.h"

class CBehav;
class CBehavList;
class File_kern;
struct fichier;

class CSlice {
 public:
  static constexpr int kUrlBytes = 255;
  static constexpr int32_t kFixedBytes = 530;  // before the behaviour record
  enum Limit { kLeftLimit, kRightLimit, kLowLeftLimit, kLowRightLimit };

  CSlice();

  void GetURL(int16_t* active, int16_t* target, unsigned char* url, unsigned char* alt) const;
  void SetURLactive(int16_t v) { urlActive = v; }
  void SetURLtarget(int16_t v) { urlTarget = v; }
  void SetURLname(const unsigned char* url);
  void SetURLalt(const unsigned char* alt);
  void CreaSlice(float l, float t, float r, float b);
  void GetBound(float* l, float* t, float* r, float* b) const;
  void Activate() { active = 1; }
  void Inactivate() { active = 0; }
  void SelectAll() {}
  void DeselectAll() {}
  // Does nothing: duplicated slices land on their originals, as they always
  // have.
  void Move(float, float) {}
  // 1 when left < x < right and top < y < bottom.
  int16_t IfOnSlice(float x, float y) const;
  // Rectangle, limits, flags, link and the behaviour list's contents (not
  // when the target shares our list).
  void CopySlice(CSlice* target) const;
  // Mode 0 frames in XOR; any other mode draws no frame, in the colour with
  // the "or" pen. An active slice is then painted with its pattern.
  void DrawSlice(int16_t mode, RGBColor colour);
  // One slice at *pos (mode 1: the file is open already). 0, or -1 at the
  // first failed transfer. Reading replaces the behaviour list's contents
  // only when the whole slice was read.
  int32_t WriteSlice(int16_t mode, File_kern* file, int32_t* pos) const;
  int32_t ReadSlice(int16_t mode, File_kern* file, int32_t* pos);

  float left = 0.0f, top = 0.0f, right = 0.0f, bottom = 0.0f;
  float limits[4] = {};      // layout limits, recomputed by PrepareDraw
  CBehavList* behav = nullptr;  // the list's, shared, not owned
  int16_t active = 1;
  int16_t spare = 1;
  int16_t orderMark = -1;    // -1 unsorted, 1 sorted
  int16_t orderNumber = 0;   // position in reading order
  int16_t urlActive = 0;
  int16_t urlTarget = 0;
  unsigned char urlName[kUrlBytes] = {};
  unsigned char urlAlt[kUrlBytes] = {};
  CSlice* next = nullptr;
  DrawPar drawPar;
};

struct CSlihori {  // horizontal cut line
  CSlihori(int16_t from, int16_t to, int16_t at) : fromX(from), toX(to), atY(at) {}
  int16_t fromX, toX, atY;
  int16_t number = -1;
  CSlihori* next = nullptr;
};

struct CSliverti {  // vertical cut line
  CSliverti(int16_t from, int16_t to, int16_t at) : fromY(from), toY(to), atX(at) {}
  int16_t fromY, toY, atX;
  int16_t number = -1;
  CSliverti* next = nullptr;
};

struct CSlirect {  // rectangular cell
  CSlirect(int16_t l, int16_t t, int16_t r, int16_t b) : left(l), top(t), right(r), bottom(b) {}
  int16_t left, top, right, bottom;
  int16_t number = 0;
  int16_t orderMark = -1;
  int16_t owner = -1;  // order number of the slice that holds the cell
  int16_t hCount = 0, vCount = 0;
  CSlirect* next = nullptr;
};

struct CSliima {  // image cell
  static constexpr int kEvents = 128;
  CSliima(int16_t k, int16_t n, int16_t h, int16_t v, int32_t l, int32_t t, int32_t r, int32_t b)
      : left(l), top(t), right(r), bottom(b), kind(k), number(n), hCount(h), vCount(v) {}
  int32_t left, top, right, bottom;
  int16_t kind;  // 0 the cell itself, others extra states made by behaviours
  int16_t number;
  int16_t hCount, vCount;
  int16_t events[kEvents] = {};  // 0-terminated
  int16_t urlActive = 0;
  int16_t urlTarget = 0;
  unsigned char urlName[CSlice::kUrlBytes] = {};
  unsigned char urlAlt[CSlice::kUrlBytes] = {};
  CSliima* next = nullptr;
  // Appends one event code; the last slot stays the terminating 0.
  void AddEvent(int16_t code);
};

class CSliceList {
 public:
  static constexpr int16_t kToolSelect = 57;
  static constexpr int16_t kToolEdit = 58;
  static constexpr int16_t kPatternList = 16301;

  CSliceList();
  ~CSliceList();
  CSliceList(const CSliceList&) = delete;
  CSliceList& operator=(const CSliceList&) = delete;

  // --- Slices ----------------------------------------------------------------------
  int32_t AddSlice(int16_t draw);
  void RemoveSlice(int16_t draw);
  void RemoveSelSlice(int16_t draw);
  void DelKeyHit() { RemoveSelSlice(1); }
  void ActivateAll(int16_t draw);
  void InActivateAll(int16_t draw);
  void SelectAll(int16_t draw) { ActivateAll(draw); }
  void UpdSelectSlice(CSlice* s) { current = s; }
  void SetToolmode(int32_t t) { tool = t; }
  void SetOffG(int32_t, int32_t, int32_t, int32_t, float deviceX, float deviceY, int16_t spareValue,
               float scaleX, float scaleY, float worldX, float worldY);
  void CopySliceList(CSliceList* target) const;
  void CopyActiveSlices(CSliceList* target) const;
  void CopyAttachSliceList(const CSliceList* source);
  // Takes the source's own slices; the source is left without slices.
  void AttachSliceList(int16_t draw, CSliceList* source);
  void DuplicateSliceList();
  int32_t GetBound(int16_t activeOnly, float* l, float* t, float* r, float* b) const;
  void fct_calc_Rect(CSlice* s, float x1, float y1, float x2, float y2) const;

  // --- Finding -----------------------------------------------------------------------
  CSlice* ExtractSliceFromNum(int16_t n) const;
  CSlirect* ExtractSlirectFromNum(int16_t n) const;
  CSliima* ExtractSliimaFromNum(int16_t n) const;
  CBehav* ExtractBehavFromNum(int16_t n, int16_t* kind) const;
  // Snaps the point onto a slice edge within 5 units (strictly).
  void Capture(float* x, float* y) const;
  CSlice* CaptureSlice(float x, float y) const;
  // Kept for the callers of old: there is no such cell.
  int32_t SlirectFromSlice(int16_t) const { return -1; }

  // --- Layout elements ----------------------------------------------------------------
  void InfoSliima(CSliima* cell, int16_t flag, const unsigned char* url, const unsigned char* alt,
                  int16_t target) const;
  void CreaSlihori(int16_t from, int16_t to, int16_t at);
  void CreaSliverti(int16_t from, int16_t to, int16_t at);
  CSliima* CreaSliima(int16_t kind, int16_t number, int16_t lines1, int16_t lines2, int32_t l,
                      int32_t t, int32_t r, int32_t b);
  void CutSlirect(CSlirect* cell);
  void CutSlihori(CSlihori* line);
  int16_t SplitHori(int16_t inclusive, int16_t position, int16_t from, int16_t* to) const;
  int16_t SplitVerti(int16_t inclusive, int16_t position, int16_t from, int16_t* to) const;
  void SliceSlirect(CSlirect* a, CSlirect* b);
  void DeleteSlirect();
  void DeleteSlihori();
  void DeleteSliverti();
  void DeleteSliima();

  // --- Layout -------------------------------------------------------------------------
  void SortSlice();
  void SortSlirect();
  void PrepareDraw();
  void PrepareSlirect();
  void PrepareSliima();

  // --- Drawing ------------------------------------------------------------------------
  void DrawSliceList(GrafPtr port, int16_t mode, RGBColor colour);
  void DrawSlirect(int16_t mode, RGBColor colour);
  void SelectAllandDraw();

  // --- Record and files ------------------------------------------------------------------
  // 0, or -1 when the file cannot be opened or written.
  int32_t WriteSliceList(int16_t mode, File_kern* file, int32_t* pos);
  // Appends the record's slices, inactive; a short or over-counted record
  // keeps the complete slices read and answers -1.
  int32_t ReadSliceList(int16_t mode, File_kern* file, int32_t* pos, int16_t drawMode,
                        RGBColor colour);
  // Hands over the slices (and their behaviours) a ReadSliceList into another,
  // empty list gathered, as that read into this list would have: this list's
  // slices go inactive and the read ones follow. `read` keeps no slices.
  void TakeReadSlices(CSliceList* read, int16_t drawMode, RGBColor colour);
  int32_t SaveSlice();
  // The slices are replaced only by a file read whole.
  int32_t RecallSlice(int16_t drawMode, RGBColor colour);
  // Without dialogs: 1 removes every slice, 0 writes into `file`, 2 reads it.
  int32_t DefaultSlice(int16_t mode, const fichier* file);

  // --- Mouse ----------------------------------------------------------------------------
  // Tools 57 and 58: select, draw (Shift: square) and, with 58, drag a
  // corner of the current slice. Other tools do nothing.
  void DoClick(GrafPtr port, Rect clip);

  CSlirect* firstRect = nullptr;
  int16_t rectCount = 0;
  CSlihori* firstHori = nullptr;
  int16_t horiCount = 0;
  CSliverti* firstVerti = nullptr;
  int16_t vertiCount = 0;
  CSliima* firstIma = nullptr;
  int16_t imaCount = 0;
  CSlice* first = nullptr;
  int32_t count = 0;
  CSlice* current = nullptr;
  int32_t width = 0, height = 0;  // bound the layout
  int16_t single = 0;             // 1: a second slice is refused
  RGBColor colour{0, 0, 0};
  CBehavList* behav = nullptr;    // owned; lent to every slice
  int32_t tool = 0;
  float deviceX = 0.0f, deviceY = 0.0f, worldX = 0.0f, worldY = 0.0f;
  float scaleX = 1.0f, scaleY = 1.0f;
  int16_t spareValue = 0;

 private:
  CSlice* Last() const;
  CSlice* NewSlice() const;
  // The slice's drawing parameters follow the list's transform.
  void Draw(CSlice* s, int16_t mode, RGBColor c) const;
  void AppendSlice(CSlice* s);
  void BuildCutLines();
  void BuildCells();
  void CountCellLines();
  void BuildColumns();
  void AddBehaviourCodes(CSliima* cell) const;
  void AddBehaviourCells();
};
