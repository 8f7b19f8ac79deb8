// The colour matrix: a 33 x 33 grid of four-channel cells that the colour-matrix effect
// stretches over the image, the drawing state with which its dialog paints the grid, and
// the five render settings. Preset files ('hCma') hold the record alone.
//
// A cell is one 32-bit word whose most significant byte is channel 0 (then 1, 2, 3):
// channels 0 to 2 act on red, green and blue, channel 3 is the share of the source image
// kept. Stored little-endian, so the bytes of a cell in a file run channel 3 .. channel 0.
#pragma once

#include <cstdint>

#include "app/core/file_records.h"
#include "engines/records/param_record.h"
#include "script/operation.h"

inline constexpr int32_t kColMatSide = 33;
// The operation of effect 22 carries the same cells.
static_assert(kColMatCells == kColMatSide * kColMatSide);

struct ColMatPar {
  int32_t byteOrder = 0;  // word 0
  int32_t second = 0;     // no part of the effect reads it
  uint32_t cells[kColMatCells] = {};
  int32_t tool = 0;       // grid tool of Calc_vign, 0 to 10
  int32_t paint[4] = {};  // what a click paints into channels 0 to 3
  int32_t shift[3] = {};  // hue, saturation, lightness settings of the render
  int32_t noise = 0;      // dither strength (low 16 bits)
  int32_t contrast = 0;   // percent

  static constexpr int32_t kStoredSize = 6452;
};

template <class V>
void VisitRecord(V& v, ColMatPar& r) {
  v.flag(r.byteOrder);
  v.i32(r.second);
  v.u32s(r.cells, kColMatCells);
  v.i32(r.tool);
  v.i32s(r.paint, 4);
  v.i32s(r.shift, 3);
  v.i32(r.noise);
  v.i32(r.contrast);
  v.reserved(2048);
}

// Channel c (0 to 3) of a cell, and the cell with channel c replaced.
inline uint8_t ColMatChannel(uint32_t cell, int c) {
  return static_cast<uint8_t>(cell >> (24 - 8 * c));
}
inline uint32_t ColMatWithChannel(uint32_t cell, int c, uint8_t v) {
  const int shift = 24 - 8 * c;
  return (cell & ~(0xFFu << shift)) | (static_cast<uint32_t>(v) << shift);
}

void Init_ColMatPar(ColMatPar* record);
// Copies every field but the reserved tail.
void Copy_ColMatPar(const ColMatPar* source, ColMatPar* destination);
// Every cell's channel c becomes 255 minus itself where flag c is 1.
void Invert_vign(ColMatPar* record, int32_t flag0, int32_t flag1, int32_t flag2, int32_t flag3);
void SwapColMatPar(ColMatPar* record, int16_t direction, int16_t force);
// Modes 0 to 2 of the preset convention, type 'hCma'; other modes return 0.
int16_t Do_AColMatPar_file(int16_t mode, FSSpec spec, ColMatPar* record);

// Edits the grid with the record's tool at column x, row y (0 to 32). accumulate 1 adds
// the new pattern to the cells as they were, -1 subtracts it (clamped to 0..255); flags
// say which channels take part, values are what they are painted with.
void Calc_vign(ColMatPar* record, int16_t x, int16_t y, int16_t accumulate, int32_t flag0,
               int32_t flag1, int32_t flag2, int32_t flag3, int32_t value0, int32_t value1,
               int32_t value2, int32_t value3);
