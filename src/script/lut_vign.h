// The colour and opacity ramp of the system: for each of 256 positions an opacity and four
// colour components (tables 1 to 3 are drawn as red, green and blue). Script operations,
// the records of many effect families and the ramp editor all carry one.
//
// Only the flag and the 256 values have a byte order; the five byte tables are stored as
// they are. The ramp file ('hVig') holds two caller texts and the five tables, without the
// flag and the values.
#pragma once

#include <cstdint>

#include "app/core/file_records.h"
#include "engines/records/param_record.h"

struct LutVign {
  int16_t flag = 0;
  int16_t values[256] = {};
  uint8_t opacity[256] = {};
  uint8_t colour[4][256] = {};  // colour tables 1 to 4

  // As stored inside script records and parameter records.
  static constexpr int32_t kStoredSize = 1794;
};

template <class V>
void VisitRecord(V& v, LutVign& r) {
  v.i16(r.flag);
  v.i16s(r.values, 256);
  v.bytes(r.opacity, 256);
  v.bytes(r.colour, 4 * 256);
}

// Length of each caller text in a ramp file, and the file's size.
inline constexpr int32_t kLutVignTextSize = 255;
inline constexpr int32_t kLutVignFileSize = 1790;

// Fills the ramp from a preset (0 to 6; others only clear the flag and the values); a to d
// are colour values of which the low 8 bits are used.
void Init_LutVign(int16_t preset, LutVign* lut, int16_t a, int16_t b, int16_t c, int16_t d);
void Copy_LutVign(const LutVign* source, LutVign* destination);
// Clears the flag and the values, then random bytes: mode 0 opacity and colours, 1 opacity
// only, 2 colours only; other modes only clear.
void Random_LutVign(int16_t mode, LutVign* lut);
// Shifts colours 1 to 3 of every position in hue, saturation and lightness.
void HSLadjust_LutVign(LutVign* lut, int16_t hue, int16_t saturation, int16_t lightness);
// Reverses positions from..to (inclusive): mode 0 opacity and colours, 1 opacity, 2 colours.
void Invert_LutVign(int16_t mode, LutVign* lut, int32_t from, int32_t to);
// Direction 1 host to little-endian, other values little-endian to host (no force).
void SwapLutVign(LutVign* lut, int16_t direction);
// Mode 0 open dialog and read, 1 save dialog and write (the ramp is first shifted by the
// given hue, saturation and lightness, and stays so), 2 read the given file; other modes do
// nothing. text1 and text2 are the file's two 255-byte texts (null: not kept). With
// coloursOnly 1 a read keeps the ramp's opacity. 0, or -1 when cancelled or failed, the
// ramp and texts then unchanged.
int16_t Do_ALutVign_file(int16_t mode, FSSpec spec, LutVign* lut, char* text1, char* text2,
                         int16_t hue, int16_t saturation, int16_t lightness,
                         int16_t coloursOnly);
