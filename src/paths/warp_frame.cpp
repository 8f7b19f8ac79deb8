#include "paths/warp_frame.h"

#include "app/plane_geometry.h"

CWarpPath::CWarpPath() { Init_DrawPar(&drawPar); }

CWarpPath::~CWarpPath() = default;

void CWarpPath::CopyWarpPath(CWarpPath* dst) const {
  if (dst == nullptr || dst == this) return;
  for (int i = 0; i < kPoints; ++i) {
    dst->X[i] = X[i];
    dst->Y[i] = Y[i];
  }
  dst->centreX = centreX;
  dst->centreY = centreY;
  dst->kind = kind;
}

void CWarpPath::MoveFrame(float dx, float dy) {
  for (int i = 0; i < kPoints; ++i) {
    X[i] += dx;
    Y[i] += dy;
  }
}

void CWarpPath::ResizeFrame(float px, float py, float fromW, float toW, float fromH, float toH) {
  // A zero reference size has no ratio; that axis keeps its points.
  for (int i = 0; i < kPoints; ++i) {
    if (fromW != 0.0f) X[i] = px + ((X[i] - px) * toW) / fromW;
    if (fromH != 0.0f) Y[i] = py + ((Y[i] - py) * toH) / fromH;
  }
}

void CWarpPath::RotateFrame(float cx, float cy, float angle) {
  for (int i = 0; i < kPoints; ++i) {
    float rx = 0.0f, ry = 0.0f;
    A_point_fromAng(cx, -cy, X[i], -Y[i], &rx, &ry, angle);
    X[i] = rx;
    Y[i] = -ry;
  }
}
