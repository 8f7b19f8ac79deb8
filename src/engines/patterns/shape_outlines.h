// The outlines of the shape and cookie-cutter records as the path list builds them: which
// record values go to which argument of the star, spirograph and cookie routines, and where
// the outline is placed in its rectangle. The engines fill these outlines into their shape
// planes and the preview draws them over the picture, from this one place, so that what the
// preview outlines is what the engine renders.
#pragma once

#include <cstdint>

#include "engines/patterns/cookie_cutter_record.h"
#include "engines/patterns/shape_record.h"

class CPathList;

// Centre and radius of a star over a rectangle of rw x rh pixels: the record's position
// (percent of each side) and radius (percent of the smaller side).
struct ShapePlace {
  int32_t cx, cy, radius;
};
ShapePlace PlaceShape(const ShapePar& r, int32_t rw, int32_t rh);

// The star or polygon of the record over rw x rh: a nonzero doubling value lays an
// identical outline first, then the one always built; the paths are made inactive when the
// last one could be placed, and all are turned about the centre by the record's angle.
// The last outline's result: 0, or -1 when it could not be placed.
int32_t BuildStarOutline(CPathList* list, const ShapePar& r, int32_t rw, int32_t rh);
// The spirograph of the record over rw x rh (full width and height are handed on as the
// routine takes them); inactive when placed. 0 or -1 as above.
int32_t BuildSpiroOutline(CPathList* list, const ShapePar& r, int32_t rw, int32_t rh,
                          int32_t fullWidth, int32_t fullHeight);
// The cookie cutter's lobed outline centred in rw x rh, a third of the smaller side in
// size, then stretched about the centre to the rectangle's aspect (width and height are
// the sizes the stretch is reckoned from). The second pass's result.
int32_t BuildCookieOutline(CPathList* list, const CookiCutPar& r, int32_t rw, int32_t rh,
                           float width, float height);
