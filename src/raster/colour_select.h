// Colour selections: the HSV colour-range weight, the RGB colour mask of the
// masked brush, and the YMCK toolbox (selection, channel exchange and
// gradation of four-channel buffers, whose pixels keep Y, M, C, K in bytes
// 0..3).
//
// Every buffer function takes an inclusive rectangle, clipped to the buffer
// (left and top raised to 0, right and bottom lowered to width - 1 and
// height - 1), and returns -1 for an empty one without touching anything.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

inline constexpr int32_t kFalloffSize = 1601;
inline constexpr int32_t kClampTableSize = 766;

// Selection weight of one colour: 0 fully inside the hue, saturation and
// value windows, 255 fully outside. Hue in degrees (hueMin may be negative,
// hueMax above 360 for a window across 0), saturation in percent, value 0..255.
void Calc_mskselHSV(int16_t hueMin, int16_t hueMax, int16_t satMin, int16_t satMax,
                    int16_t valMin, int16_t valMax, int32_t r, int32_t g, int32_t b,
                    int32_t* out);

// Calc_mskselHSV for many pixels under one set of windows: the saturation and value weights
// depend only on a pixel's largest and smallest component, so they come from tables made once,
// and a pixel outside either window is known to be 255 without its hue being worked out.
// At(r, g, b) equals Calc_mskselHSV's value for every byte triple.
class HsvSelection {
 public:
  HsvSelection(int16_t hueMin, int16_t hueMax, int16_t satMin, int16_t satMax, int16_t valMin,
               int16_t valMax);
  int32_t At(int32_t r, int32_t g, int32_t b) const {
    const int32_t mx = std::max(r, std::max(g, b));
    const int32_t mn = std::min(r, std::min(g, b));
    const int32_t wVal = valueWeight_[mx];
    if (wVal == 0) return 255;
    const int32_t wSat = saturationWeight_[mx * 256 + mn];
    if (wSat == 0) return 255;
    return Inside(r, g, b, wSat, wVal);
  }
  // Every colour whose smallest component lies outside low[largest] .. high[largest] is
  // outside the windows (At gives 255): a test of many pixels at once that needs no conversion.
  const unsigned char* CandidateLow() const { return low_; }
  const unsigned char* CandidateHigh() const { return high_; }

 private:
  int32_t Inside(int32_t r, int32_t g, int32_t b, int32_t wSat, int32_t wVal) const;
  int16_t hueMin_, hueMax_;
  int16_t valueWeight_[256];
  unsigned char low_[256], high_[256];
  std::vector<int16_t> saturationWeight_;  // [largest * 256 + smallest]
};

// Shared tables of both selections: the falloff table (entries 0..399 fall
// from full weight to 0, the rest are 0) and the clamp table (entry
// value + 255 is the value limited to 0..255).

// RGB colour mask of nine selections.
struct TMaskPar {
  int16_t enabled;
  int16_t invert;
  int16_t centreR[9];
  int16_t centreG[9];
  int16_t centreB[9];
  int16_t tolerance[9];
  int16_t active[9];
  int16_t strength[9];
  int16_t remove[9];
  int16_t tabR[9][256];
  int16_t tabG[9][256];
  int16_t tabB[9][256];
  int32_t falloff[kFalloffSize];
  unsigned char clamp[kClampTableSize];
};

void Init_MaskRGB(const int16_t* centreR, const int16_t* centreG, const int16_t* centreB,
                  const int16_t* active, const int16_t* tolerance, int16_t (*tabR)[256],
                  int16_t (*tabG)[256], int16_t (*tabB)[256], int32_t* falloff,
                  unsigned char* clamp);
// Mode 0 builds the record's tables from the given selections; any other mode
// writes the mask value 0..255 of the colour (r, g, b) to `out`.
void Calc_MaskRGB(int16_t mode, TMaskPar* mask, const int16_t* centreR, const int16_t* centreG,
                  const int16_t* centreB, const int16_t* active, const int16_t* strength,
                  const int16_t* tolerance, const int16_t* remove, int32_t r, int32_t g,
                  int32_t b, int32_t* out);

// YMCK selection of eight selections.
struct TSelec {
  int32_t distY[8][256];
  int32_t distM[8][256];
  int32_t distC[8][256];
  int32_t distK[8][256];
  int32_t falloff[kFalloffSize];
  int32_t rangeY[10];
  int32_t rangeM[10];
  int32_t rangeC[10];
  int32_t rangeK[10];
  int32_t tolerance1[10];
  int32_t tolerance2[10];
  int32_t tolerance3[10];
  int32_t tolerance4[10];
  unsigned char clamp[kClampTableSize];
};

// Builds the tables; mode 0 uses bounded distances with a summed falloff,
// any other mode squared distances with a radial falloff.
void Init_selYMCK(int16_t mode, TSelec* selection, const int32_t* centreY, const int32_t* centreM,
                  const int32_t* centreC, const int32_t* centreK, const int32_t* targetY,
                  const int32_t* targetM, const int32_t* targetC, const int32_t* targetK,
                  const int32_t* active, const int32_t* tolerance1, const int32_t* tolerance2,
                  const int32_t* tolerance3, const int32_t* tolerance4);
void Calc_sel0YMCK(const TSelec* selection, int32_t y, int32_t m, int32_t c, int32_t k,
                   int32_t* outY, int32_t* outM, int32_t* outC, int32_t* outK);
void Calc_sel1YMCK(const TSelec* selection, int32_t y, int32_t m, int32_t c, int32_t k,
                   int32_t* outY, int32_t* outM, int32_t* outC, int32_t* outK);
int32_t X_seleYMCK_buffer(int16_t mode, int32_t height, int32_t width, const uint32_t* src,
                          uint32_t* dst, int32_t left, int32_t top, int32_t right, int32_t bottom,
                          int32_t ignored1, int32_t ignored2, TSelec* selection,
                          const int32_t* centreY, const int32_t* centreM, const int32_t* centreC,
                          const int32_t* centreK, const int32_t* targetY, const int32_t* targetM,
                          const int32_t* targetC, const int32_t* targetK, const int32_t* active,
                          const int32_t* tolerance1, const int32_t* tolerance2,
                          const int32_t* tolerance3, const int32_t* tolerance4);

// Channel exchange: for each output channel j whose bit (1 Y, 2 M, 4 C, 8 K)
// is set, (y coefY[j] + m coefM[j] + c coefC[j] + k coefK[j] + 255
// constants[j]) / 100; the others pass through; all clamped to 0..255.
void Calc_exchYMCK(int16_t channels, const int32_t* coefY, const int32_t* coefM,
                   const int32_t* coefC, const int32_t* coefK, const int32_t* constants,
                   int32_t y, int32_t m, int32_t c, int32_t k, int32_t* outY, int32_t* outM,
                   int32_t* outC, int32_t* outK);
int32_t X_exchYMCK_buffer(int32_t height, int32_t width, const uint32_t* src, uint32_t* dst,
                          int32_t left, int32_t top, int32_t right, int32_t bottom,
                          int16_t channels, const int32_t* coefY, const int32_t* coefM,
                          const int32_t* coefC, const int32_t* coefK, const int32_t* constants);

// Gradation curves of 256 entries per channel for the channels whose bit is
// set. The one-colour form clamps and returns the channel bits; the buffer
// form stores the entries' low bytes.
int16_t Calc_lutYMCK(int16_t channels, const int16_t* lutY, const int16_t* lutM,
                     const int16_t* lutC, const int16_t* lutK, int32_t y, int32_t m, int32_t c,
                     int32_t k, int32_t* outY, int32_t* outM, int32_t* outC, int32_t* outK);
int32_t X_gradYMCK_buffer(int32_t height, int32_t width, const uint32_t* src, uint32_t* dst,
                          int32_t left, int32_t top, int32_t right, int32_t bottom,
                          int16_t channels, int16_t ignored, const int16_t* lutY,
                          const int16_t* lutM, const int16_t* lutC, const int16_t* lutK);
