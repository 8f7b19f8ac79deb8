// The spray engine: small picture cells (three colour planes and a 16-bit mask each, level
// = value / 32, 255 outside the cell) laid onto three colour planes, scattered at random,
// repeated on a staggered grid coloured from the picture underneath, or along paths.
//
// It has no record: its settings live in the object and persist between drawings, so a
// second drawing continues the cell sequence. Cells reach it through the cell tables as
// memory-manager buffers (the destructor hands them back there); LoadCells reads none.
#pragma once

#include <cstdint>

#include "platform/memory/block.h"

struct fichier;
class CPathList;

// A colour record: a first triple, then a second one.
struct TColMisc {
  int16_t first[3] = {};
  int16_t second[3] = {};
};

// One node of the step-and-repeat grid.
struct TSprayPat {
  int16_t column = 0;
  int16_t row = 0;
  uint8_t spare[2] = {};
  uint8_t red = 0, green = 0, blue = 0;
  int16_t top = 0, left = 0, bottom = 0, right = 0;  // plane pixels, right and bottom outside
  TSprayPat* next = nullptr;
};

// The integer mean of the plane over columns left..right - 1 of rows top..bottom - 1 (held
// to the plane), counting only pixels whose mask level is below 255 (all when mask is
// null). `average` is written only when a pixel counted. Returns the row it stopped at.
int32_t AvrgCol_inRect(int32_t width, int32_t height, const uint8_t* plane, const uint16_t* mask,
                       int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t* average);

class MiscSpray {
 public:
  MiscSpray();
  ~MiscSpray();
  MiscSpray(const MiscSpray&) = delete;
  MiscSpray& operator=(const MiscSpray&) = delete;

  void SetBuf(int32_t width, int32_t height, int32_t areaWidth, int32_t areaHeight,
              uint8_t* planeA, uint8_t* planeB, uint8_t* planeC);
  void SetSprayInfo(int32_t a, int32_t b, int32_t c, int32_t d, int32_t e, int32_t f, int32_t g,
                    int32_t first, int32_t last, int32_t mode);
  float ScrXToAOI(int16_t x) const;
  float ScrYToAOI(int16_t y) const;
  int16_t AOIXToScr(float x) const;
  int16_t AOIYToScr(float y) const;
  // Reads no cells: the cell tables are filled by whoever drives the engine.
  void LoadCells(const fichier* file);
  void CalcMask(int16_t softness);
  // Turn 0 frees the turned cell; otherwise makes it (sizes through newWidth, newHeight).
  // -1 when its memory cannot be had.
  int32_t RotaCell(int16_t turn, float angle, const uint8_t* cellA, const uint8_t* cellB,
                   const uint8_t* cellC, const uint16_t* cellMask, int32_t width, int32_t height,
                   int32_t* newWidth, int32_t* newHeight);
  void CellToBuf(int32_t cellWidth, int32_t cellHeight, const uint8_t* cellA,
                 const uint8_t* cellB, const uint8_t* cellC, const uint16_t* cellMask, int32_t x,
                 int32_t y, int16_t blendMode, int16_t opacity, const int16_t* maskTable,
                 int16_t spare, int16_t maskMode, int16_t areaMode, const uint8_t* areaMask,
                 TColMisc* colour);
  void PrepareSprayPat(int32_t width, int32_t height, int16_t cellSize, int16_t shift);
  void DelSprayPat();
  void ColInSprayPat(const uint8_t* plane);
  void StepRepeatBuf(int16_t cellSize, int16_t opacity, int16_t maskMode, int16_t shift,
                     const uint8_t* plane, int16_t areaKind, const uint8_t* areaMask);
  void FillBuf(int16_t count, int16_t opacity, int16_t areaMode, const uint8_t* areaMask);
  // Lays cells along every path of more than one point, `step` apart (1: at every pixel,
  // no gaps), turned along the path when turn is 1, fading over `segments` equal parts.
  void FillonPath(CPathList* pathList, int16_t step, int16_t opacity, int16_t turn,
                  int16_t segments, int16_t areaMode, const uint8_t* areaMask);

  // Settings and state, as the driver gives them.
  TSprayPat* patternHead = nullptr;
  int32_t patternCount = 0;
  int16_t options[15] = {1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1};
  int32_t planeWidth = 0, planeHeight = 0;
  int32_t sprayInfo[8] = {1, 1, 50, 50, 100, 0, 0, 0};
  int16_t blendMode = 1;
  int16_t firstCell = 1, lastCell = 1;
  int16_t currentCell = 0;
  int16_t maskTable[256] = {};
  int32_t cellWidth = 0, cellHeight = 0;
  int32_t areaWidth = 0, areaHeight = 0;
  uint8_t* planes[3] = {};  // A, B, C: C takes colour component 0, A component 2
  // Per cell number: first, second and third colour plane and the mask (CMemMan buffers).
  uint8_t* cellPlanes[3][256] = {};
  uint16_t* cellMasks[256] = {};
  float viewValues[2] = {};
  float viewOriginX = 0.0f, viewOriginY = 0.0f, viewScaleX = 1.0f, viewScaleY = 1.0f;

  // The drawn box (left, top, right, bottom): empty before each drawing.
  int16_t* drawnBox() { return &options[4]; }

 private:
  void EmptyDrawnBox();
  void NextCell();
  int32_t CellIndex(int32_t k) const;
  void DrawOnPath(int32_t x, int32_t y, float angle, int16_t opacity, int16_t turn,
                  int16_t areaMode, const uint8_t* areaMask);

  plat::Block<uint8_t> rotated_[3];
  plat::Block<uint16_t> rotatedMask_;
};
