// The weave engine: two sets of threads (rows across the image, columns down it), coloured by
// a strip formula, a list of free strips or a colour ramp, painted into two layers and
// interleaved cell by cell by a weave pattern, with a little shading at the thread edges. It
// draws the plaid (whole image), the weave (through the operation's mask) and a woven frame.
//
// Strip formulas: every letter A..P (a palette entry) or Z (free, no thread colour), '[', ']'
// and '/' is a node whose count is the text before it (1 when empty): "3A2B" is A x 3, B x 2;
// "n[...]" repeats a group n times; "n/ABC" gives A B C C B A n times.
#pragma once

#include <cstdint>
#include <vector>

#include "engines/patterns/weave_plaid_record.h"

// One node of a strip list.
struct TStrip {
  char symbol = 0;
  int32_t count = 0;
  TStrip* next = nullptr;
  TStrip* prev = nullptr;
};

// Optional sign and the digits up to the first other character of a length-prefixed text;
// 0 when there is no digit.
int32_t StringToNum(const unsigned char* text);

// Palette index of a formula symbol: A..P 0..15, Z 16, anything else 0.
uint8_t StripIndex(char symbol);

inline constexpr int32_t kMaxStripCount = 65535;       // per node
inline constexpr int32_t kMaxStripLength = 1048576;    // positions of an expanded list
inline constexpr uint8_t kFreePosition = 16;

class MiscWeave {
 public:
  MiscWeave();
  ~MiscWeave();
  MiscWeave(const MiscWeave&) = delete;
  MiscWeave& operator=(const MiscWeave&) = delete;

  void SetPlaidPar(const PlaidPar* record);
  void SetBufSize(int32_t fullWidth, int32_t fullHeight, int32_t width, int32_t height,
                  int32_t resolution);

  int32_t CntStrip() const;
  void DelStrip();
  // Parses and expands formula1 (which 1) or formula2; reps x the expanded length.
  int32_t PrepareAndCnt(int16_t which, int16_t unused, int16_t reps);
  void PrepareFormula(int16_t which, int16_t mode, int32_t size, int32_t n, uint8_t* line,
                      int16_t reps);
  void PrepareFreeH(int16_t mode, int16_t cumulative, int32_t size, int32_t n, uint8_t* line,
                    int16_t reps);
  void PrepareFreeV(int16_t mode, int16_t cumulative, int32_t size, int32_t n, uint8_t* line,
                    int16_t reps);
  void LoadStrip(uint8_t* buffer, int16_t rows) const;
  void FillRows(int16_t channel, int16_t useFree, int16_t mode, int16_t cumulative,
                uint8_t* plane, int16_t angle, int16_t reps);
  void FillCols(int16_t channel, int16_t useFree, int16_t mode, int16_t cumulative,
                uint8_t* plane, int16_t angle, int16_t reps);
  void WeaveRowCols(int16_t channel, int16_t freeMode, int16_t mode, int16_t cumulative,
                    int32_t shade2, int32_t shade1, uint8_t* rowLayer, uint8_t* colLayer,
                    uint8_t* plane);
  // Weaves one plane (width x height), through the mask when there is one.
  int32_t FillBuf(int16_t blendMode, int16_t opacity, int16_t channel, int16_t freeMode,
                  int16_t mode, int16_t cumulative, uint8_t* plane, const uint8_t* mask,
                  int16_t clearFormula);
  // The engine protocol's form: sources, then one or three planes woven (plane3 the mask).
  int32_t FillBuf(int16_t planeCount, int16_t blendMode, int16_t opacity, int16_t source,
                  int16_t apply, int32_t left, int32_t top, int32_t right, int32_t bottom,
                  int32_t fullWidth, int32_t fullHeight, int32_t photoLeft, int32_t photoTop,
                  int32_t photoRight, int32_t photoBottom, float scaleX, float scaleY,
                  int32_t width, int32_t height, uint8_t* plane0, uint8_t* plane1,
                  uint8_t* plane2, uint8_t* plane3, uint8_t* plane4);
  // The cloth woven around a centre that keeps the picture, shrunk by the edge percentages.
  void FrameBuf(int16_t channel, int16_t mode, uint8_t* plane, int32_t height, int32_t width,
                int32_t left, int32_t top, int32_t right, int32_t bottom, const uint8_t* mask,
                const int16_t* opacity, int32_t holeX, int32_t holeY, int32_t edgeX,
                int32_t edgeY);

  PlaidPar par;
  TStrip* strips = nullptr;
  int32_t stripNodes = 0;
  int32_t fullWidth = 0, fullHeight = 0, width = 0, height = 0, span1 = 0, span2 = 0;
  int32_t resolution = 72;

 private:
  void ParseFormula(const char* formula);
  void ExpandStrip();
  void PrepareFree(const WWInfo& strips, int16_t mode, int16_t cumulative, int32_t size,
                   int32_t n, uint8_t* line, int16_t reps) const;
  void PaintThreads(bool fromStrips, int16_t which, int16_t useFree, int16_t channel,
                    int16_t mode, int16_t cumulative, int32_t full, int32_t n, uint8_t* plane,
                    int16_t angle, int16_t reps, const uint8_t (*palette)[kPlaidColours],
                    const LutVign& ramp);
};
