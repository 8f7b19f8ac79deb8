// The fractal engine: escape-time Julia images of 32 formulas, coloured
// through the entry's ramp, blurred and blended onto the picture; and the
// plasma and aggregation generators, which the image operations own and
// this engine offers under its own names.
//
// Complex values are pairs of doubles; the helpers below write the real
// part through the first pointer, the imaginary part through the second.
#pragma once

#include <cstdint>

#include "engines/patterns/fractal_record.h"
#include "engines/records/param_record.h"

struct EngineRowCall;
class ScriptFile;

// cos(x + iy) and sin(x + iy).
void CosCompl(double x, double y, double* re, double* im);
void SinCompl(double x, double y, double* re, double* im);
// (a + bi) conj(c + di) / |c + di|: divided by the modulus, not its square,
// so the result keeps the modulus of a + bi and is turned by minus the angle
// of c + di. The formulas are tuned to this; kept as it is.
void DivCompl(double a, double b, double c, double d, double* re, double* im);

class MiscFract {
 public:
  void SetFractPar(const FractPar* par);
  void GetFractPar(FractPar* par) const;

  // Draws the Julia image of `formula` over left..right - 1, top..bottom - 1
  // of three planes `stride` samples wide, coloured from `table` (row 0 the
  // opacity of each index, rows 1..3 red, green, blue): every pixel first
  // takes entry 0, an escaping one the entry of its smooth escape count x
  // colourScale. Formulas outside 1..31 and 50 never escape. Returns 0.
  int32_t FractJulia(int16_t formula, int32_t stride, int32_t rows, uint8_t* plane1,
                     uint8_t* plane2, uint8_t* plane3, int32_t left, int32_t top, int32_t right,
                     int32_t bottom, const uint8_t (*table)[256], int32_t iterationLimit,
                     int32_t colourScale, int32_t bailout, double xLeft, double yTop,
                     double xRight, double yBottom, double cRe, double cIm);

  // Draws entry 0 of the record over the area (right and bottom exclusive,
  // clamped to the planes) and blends it onto the planes. planeCount 1 takes
  // plane0 alone and blends the mean of the three coloured planes into it.
  // 0, or -1 (planes unchanged) when work memory is refused.
  int32_t FillBuf(int16_t planeCount, int16_t blendMode, int16_t opacity, int16_t source,
                  int16_t apply, ScriptFile* script, int32_t width, int32_t height, int32_t left,
                  int32_t top, int32_t right, int32_t bottom, int32_t fullWidth,
                  int32_t fullHeight, int32_t photoLeft, int32_t photoTop, int32_t photoRight,
                  int32_t photoBottom, float scaleX, float scaleY, uint8_t* plane0,
                  uint8_t* plane1, uint8_t* plane2, uint8_t* plane3, const uint8_t* mask);

  // The image operations' generators (operations/fractal_generators.h).
  int32_t FractPlasma(int32_t width, int32_t height, uint8_t* plane);
  int32_t DiffuseAggreg(int32_t width, int32_t height, uint8_t* plane, int16_t colourRow,
                        const uint8_t (*table)[256], int32_t seed, int32_t walkerCount,
                        int32_t unused, int32_t passes, int32_t startXPercent,
                        int32_t startYPercent);
  int32_t nearanother(int32_t width, int32_t height, int32_t x, int32_t y, char** grid);

  FractPar* record() const { return par_.get(); }

 private:
  vmkrec::ScratchRecord<FractPar> par_;
};

// The engine row of the fractal effect.
int32_t RunFractRow(const EngineRowCall& call);
