#include "engines/patterns/shape_outlines.h"

#include <algorithm>

#include "paths/path_list.h"
#include "paths/shape_params.h"

namespace {

// The five spirograph longs follow the star's eight.
constexpr int kSpiroWords = kObjTipPerPoint + 1;

// Star or polygon: mode 0 gives the current path its points, mode 1 places them.
int32_t StarInto(CPathList* list, const TObjPar& t, float cx, float cy, float radius) {
  list->AddPath(0);
  const auto points = static_cast<int16_t>(t.w[kObjStarPoints]);
  const int32_t* l = &t.w[kObjInnerForward];
  list->fct_calc_ngon(0, 1.0f, points, list->current, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f,
                      &t.w[kObjPointDepth], 0.0f, 0.0f, l[0], l[1], l[2], l[3], l[4], l[5], l[6],
                      l[7]);
  return list->fct_calc_ngon(1, 1.0f, points, list->current, cx, cy, radius,
                             static_cast<float>(t.w[kObjStarInner]),
                             static_cast<float>(t.w[kObjStarAltTip]),
                             static_cast<float>(t.w[kObjStarAltInner]), &t.w[kObjPointDepth],
                             0.0f, 0.0f, l[0], l[1], l[2], l[3], l[4], l[5], l[6], l[7]);
}

}  // namespace

ShapePlace PlaceShape(const ShapePar& r, int32_t rw, int32_t rh) {
  const int32_t s = std::min(rw, rh);
  return ShapePlace{static_cast<int32_t>(rw * r.centreX / 100.0 + 0.5),
                    static_cast<int32_t>(rh * r.centreY / 100 + 0.5),
                    static_cast<int32_t>(static_cast<float>(s) * r.radius / 100.0f + 0.5f)};
}

int32_t BuildStarOutline(CPathList* list, const ShapePar& r, int32_t rw, int32_t rh) {
  const ShapePlace at = PlaceShape(r, rw, rh);
  const TObjPar& t = r.shape;
  // A nonzero doubling value lays an identical outline first; the even-odd fill then
  // decides what the pair draws. Kept: stored shapes rely on how they looked.
  if (t.w[kObjOutlineOffset] != 0) StarInto(list, t, at.cx, at.cy, at.radius);
  const int32_t result = StarInto(list, t, at.cx, at.cy, at.radius);
  if (result != -1) list->InActivateAll(0);
  // Whole turns are taken off first so that 360 degrees draws exactly what 0 does
  // (the turn through a rounded pi would move the soft edges by a level).
  const int32_t degrees = r.rotation % 360;
  list->RotatePathList(0, 0, at.cx, at.cy, static_cast<float>(degrees * 3.141592654 / 180.0));
  return result;
}

int32_t BuildSpiroOutline(CPathList* list, const ShapePar& r, int32_t rw, int32_t rh,
                          int32_t fullWidth, int32_t fullHeight) {
  // The spirograph takes neither the rotation nor the radius.
  const ShapePlace at = PlaceShape(r, rw, rh);
  const int32_t dx = rw - 1, dy = rh - 1;
  list->AddPath(0);
  const int32_t* v = &r.shape.w[kSpiroWords];
  list->fct_calc_spiro(0, dx, dy, fullWidth, fullHeight, at.cx, at.cy, list->current, v[0], v[1],
                       v[2], v[3], v[4]);
  const int32_t result = list->fct_calc_spiro(1, dx, dy, fullWidth, fullHeight, at.cx, at.cy,
                                              list->current, v[0], v[1], v[2], v[3], v[4]);
  if (result != -1) list->InActivateAll(0);
  return result;
}

int32_t BuildCookieOutline(CPathList* list, const CookiCutPar& r, int32_t rw, int32_t rh,
                           float width, float height) {
  float ax = 1.0f, ay = 1.0f;
  if (rw > rh)
    ax = static_cast<float>(rw) / static_cast<float>(rh);
  else
    ay = static_cast<float>(rh) / static_cast<float>(rw);
  const int32_t s = std::min(rw, rh);
  list->AddPath(0);
  const auto centreX = static_cast<float>(rw / 2), centreY = static_cast<float>(rh / 2);
  const float size = static_cast<float>(s / 3.0);
  int32_t result = 0;
  for (int16_t mode = 0; mode < 2; ++mode)
    result = list->fct_calc_cooki(mode, 1.0f, 120, list->current, centreX, centreY, size, r.radius,
                                  r.angle, r.turns, r.shape[0], r.shape[1], r.shape[2],
                                  r.shape[3], r.shapeScale);
  list->ResizePathList(0, 0, rw * 0.5f, rh * 0.5f, width, width * ax, height, height * ay);
  return result;
}
