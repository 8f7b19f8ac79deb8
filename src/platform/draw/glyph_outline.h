// Letter outlines: the contours of one character of the shared face as cubic
// Bezier segments, for text that is set along paths and turned into paths.
//
// Outlines are unhinted (the letter keeps its designed shape at any size and
// under any later transform), in pixels with y down and the baseline at
// y = 0, the pen at x = 0. TrueType's quadratic arcs become cubics exactly
// (each control point two thirds of the way from its ends to the arc's
// control point), and straight lines become cubics whose control points sit
// on their ends. Every contour is closed: its last segment ends where it
// started.
#pragma once

#include <cstdint>
#include <vector>

namespace plat::draw {

// One cubic from the previous end point, through two control points, to
// (x, y).
struct GlyphSegment {
  float c1x = 0.0f, c1y = 0.0f;
  float c2x = 0.0f, c2y = 0.0f;
  float x = 0.0f, y = 0.0f;
  bool line = false;  // a straight line: the control points sit on the ends
};

struct GlyphContour {
  float startX = 0.0f, startY = 0.0f;
  std::vector<GlyphSegment> segments;
};

struct GlyphOutline {
  bool hasGlyph = false;  // false: the face has no glyph for the character
  float advance = 0.0f;   // pen advance, pixels
  // FreeType's control box of the outline, pixels, y down (0s when empty).
  float xMin = 0.0f, yMin = 0.0f, xMax = 0.0f, yMax = 0.0f;
  std::vector<GlyphContour> contours;
};

// The outline of `charCode` at `pixelSize` pixels per em. A character the
// face has no glyph for gives no contours and the advance of the face's
// missing-glyph box. False (and `out` emptied) when no font file could be
// opened or FreeType refuses the size or the glyph.
bool LoadGlyphOutline(uint32_t charCode, float pixelSize, GlyphOutline* out);

}  // namespace plat::draw
