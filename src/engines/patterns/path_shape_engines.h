// The engines that draw one generated outline into a mask and colour the picture through
// their record's ramp where the mask is set: the shape (star, polygon or spirograph, placed
// by percentages of the drawing rectangle) and the cookie cutter (a lobed outline centred
// in the rectangle and stretched to its aspect).
//
// Both build their outline with the path list, which works on the session's shared drawing
// parameters; they put those back as they found them before returning, whatever happens.
// A rectangle that clamps to nothing leaves the planes as the source step made them.
#pragma once

#include <cstdint>

#include "engines/patterns/cookie_cutter_record.h"
#include "engines/patterns/shape_record.h"
#include "engines/records/param_record.h"

struct EngineRowCall;

class MiscShape {
 public:
  void SetShapePar(const ShapePar* par);
  void GetShapePar(ShapePar* par) const;

  // Width-and-height-last arrangement; inclusive corners. plane3 serves the source step
  // only. 0, or -1 when a plane or the work memory is missing.
  int32_t FillBuf(int16_t planeCount, int16_t blendMode, int16_t opacity, int16_t source,
                  int16_t apply, int32_t left, int32_t top, int32_t right, int32_t bottom,
                  int32_t fullWidth, int32_t fullHeight, int32_t photoLeft, int32_t photoTop,
                  int32_t photoRight, int32_t photoBottom, float scaleX, float scaleY,
                  int32_t width, int32_t height, uint8_t* plane0, uint8_t* plane1,
                  uint8_t* plane2, uint8_t* plane3, const uint8_t* mask);

  ShapePar* record() const { return par_.get(); }

 private:
  vmkrec::ScratchRecord<ShapePar> par_;
};

class MiscCookiCut {
 public:
  MiscCookiCut();  // the copy starts at the record's defaults
  void SetCookiCutPar(const CookiCutPar* par);
  void GetCookiCutPar(CookiCutPar* par) const;

  // Width-and-height-first arrangement; inclusive corners. 0, or -1 when a plane or the
  // work memory is missing.
  int32_t FillBuf(int16_t planeCount, int16_t blendMode, int16_t opacity, int16_t source,
                  int16_t apply, int32_t width, int32_t height, int32_t left, int32_t top,
                  int32_t right, int32_t bottom, int32_t fullWidth, int32_t fullHeight,
                  int32_t photoLeft, int32_t photoTop, int32_t photoRight, int32_t photoBottom,
                  float scaleX, float scaleY, uint8_t* plane0, uint8_t* plane1, uint8_t* plane2,
                  uint8_t* plane3, const uint8_t* mask);

  CookiCutPar* record() const { return par_.get(); }

 private:
  vmkrec::ScratchRecord<CookiCutPar> par_;
};

// The engine rows of the two shape effects (star or polygon, spirograph) and the cookie
// cutter.
int32_t RunShapeRow(const EngineRowCall& call);
int32_t RunCookiCutRow(const EngineRowCall& call);
