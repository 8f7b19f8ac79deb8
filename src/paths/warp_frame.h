// The warp frame: a closed outline of four edges of seven points each (28
// points, every corner stored twice), laid over a path list or a text
// object so that what it surrounds can be bent into its shape.
//
// Points 0-6 run down the left edge, 7-13 right along the bottom, 14-20 up
// the right edge and 21-27 left along the top; 0/27, 6/7, 13/14 and 20/21
// are the same corner and always move together.
#pragma once

#include <cstdint>

#include "paths/draw_par.h"

#include "platform/files/file_spec.h"

struct OpaqueMenuRef;

class CWarpPath {
 public:
  static constexpr int kPoints = 28;
  static constexpr int kMenus = 5;  // kinds 2, 3, 20, 30, 33

  CWarpPath();
  ~CWarpPath();
  CWarpPath(const CWarpPath&) = delete;
  CWarpPath& operator=(const CWarpPath&) = delete;

  // Points, centre and kind into dst (its saved copy, menus and mapping stay).
  void CopyWarpPath(CWarpPath* dst) const;
  void MoveFrame(float dx, float dy);
  // X = px + (X - px) * toW / fromW, likewise Y, multiplying first.
  void ResizeFrame(float px, float py, float fromW, float toW, float fromH, float toH);
  // Turns every point about (cx, cy), the angle counted with y pointing up.
  void RotateFrame(float cx, float cy, float angle);

  FSSpec* fileTables[kMenus] = {};   // warp files listed in each menu
  OpaqueMenuRef* menus[kMenus] = {};
  int16_t spareWords[6] = {1, 1, 1, 1, 1, 1};
  float X[kPoints] = {};
  float Y[kPoints] = {};
  float savedX[kPoints] = {};
  float savedY[kPoints] = {};
  float centreX = 0.0f;
  float centreY = 0.0f;
  int16_t kind = 0;       // which edges are curves: 2, 3, 20, 30 or 33
  int16_t savedKind = 0;
  DrawPar drawPar;        // maps this frame alone to the port
};
