// A knot of a vector path: its position, its two control points and its
// links to the neighbouring knots.
//
// The segment from a knot K to its next knot N is the cubic Bezier curve
// K, K.out, N.in, N. A knot whose control points sit on it has straight
// segments at that end.
#pragma once

#include <cstdint>

#include "paths/draw_par.h"

class CPathPoint {
 public:
  // Position and both control points at (x, y).
  CPathPoint(float x, float y, int16_t kind);
  CPathPoint();
  ~CPathPoint();
  CPathPoint(const CPathPoint&) = delete;
  CPathPoint& operator=(const CPathPoint&) = delete;

  // Adds (dx, dy) to the position and both control points.
  void MovePoint(float dx, float dy);
  // Scales the position and both control points about (0, 0).
  void ZoomPoint(float sx, float sy);
  // Copies position, control points, kind and selection into dst (its links,
  // mark number and drawing parameters stay).
  void CopyPoint(CPathPoint* dst) const;
  // Position and control points become t * a + (1 - t) * b; mark number 0.
  void InterPolatePoint(const CPathPoint* a, const CPathPoint* b, float t);
  // Copies drawPar (when given) into the knot's record, then stores port.
  void SetDrw(GrafPtr port, const DrawPar* drawPar);
  // The knot square, and for a selected knot its handles (current pen).
  void DrawSelf();

  // Knots alive in the process, for leak checks.
  static int64_t LiveCount();

  float x = 0.0f, y = 0.0f;
  float outX = 0.0f, outY = 0.0f;  // control point leaving toward the next knot
  float inX = 0.0f, inY = 0.0f;    // control point arriving from the previous knot
  CPathPoint* prev = nullptr;
  CPathPoint* next = nullptr;
  int16_t kind = 0;      // 0 smooth (handles mirrored), nonzero corner
  int16_t markNum = 0;   // mark or cut number that made the knot, 0 none
  int16_t selected = 0;
  DrawPar* drawPar = nullptr;  // the record current when made, or its path's; not owned
};
