#include "paths/path_point.h"

#include <atomic>

namespace {
std::atomic<int64_t> gLiveKnots{0};
}  // namespace

CPathPoint::CPathPoint(float px, float py, int16_t k)
    : x(px), y(py), outX(px), outY(py), inX(px), inY(py), kind(k), drawPar(SessionDrawPar()) {
  ++gLiveKnots;
}

CPathPoint::CPathPoint() : drawPar(SessionDrawPar()) { ++gLiveKnots; }

CPathPoint::~CPathPoint() { --gLiveKnots; }

int64_t CPathPoint::LiveCount() { return gLiveKnots.load(); }

void CPathPoint::MovePoint(float dx, float dy) {
  x += dx;
  y += dy;
  outX += dx;
  outY += dy;
  inX += dx;
  inY += dy;
}

void CPathPoint::ZoomPoint(float sx, float sy) {
  x *= sx;
  y *= sy;
  outX *= sx;
  outY *= sy;
  inX *= sx;
  inY *= sy;
}

void CPathPoint::CopyPoint(CPathPoint* dst) const {
  if (dst == nullptr) return;
  dst->x = x;
  dst->y = y;
  dst->outX = outX;
  dst->outY = outY;
  dst->inX = inX;
  dst->inY = inY;
  dst->kind = kind;
  dst->selected = selected;
}

void CPathPoint::InterPolatePoint(const CPathPoint* a, const CPathPoint* b, float t) {
  if (a == nullptr || b == nullptr) return;
  const float u = 1.0f - t;
  x = t * a->x + u * b->x;
  y = t * a->y + u * b->y;
  outX = t * a->outX + u * b->outX;
  outY = t * a->outY + u * b->outY;
  inX = t * a->inX + u * b->inX;
  inY = t * a->inY + u * b->inY;
  markNum = 0;
}

void CPathPoint::SetDrw(GrafPtr port, const DrawPar* dp) {
  SetDrawParAndPort(drawPar, port, dp);
}
