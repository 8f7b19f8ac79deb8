#include "paths/shape_params.h"

#include <algorithm>

#include "engines/records/param_record.h"

void Init_TObjPar(TObjPar* p) {
  if (p == nullptr) return;
  int32_t* w = p->w;
  std::fill(w + 2, w + TObjPar::kWords, 0);
  w[kObjStarRadius] = 20;
  w[kObjStarInner] = 50;
  w[kObjStarAltTip] = 100;
  w[kObjStarAltInner] = 50;
  w[kObjColumnGap] = 5;
  w[kObjRowGap] = 5;
  w[kObjStepX] = 10;
  w[kObjStepY] = 10;
  w[kObjStepScaleX] = 110;
  w[kObjStepScaleY] = 110;
  w[kObjStepAngle] = 45;
  w[kObjColumns] = 1;
  w[kObjRows] = 1;
  w[kObjStarPoints] = 5;
  w[kObjInnerForward] = 50;
  w[kObjInnerBackward] = 50;
  w[kObjInnerStyle] = 1;
  w[kObjTipForward] = 50;
  w[kObjTipBackward] = 50;
  w[kObjTipStyle] = 1;
  w[555] = 25;
  w[556] = -50;
  w[557] = 25;
  w[558] = 1;
  w[559] = 100;
}

void Copy_TObjPar(const TObjPar* src, TObjPar* dst) {
  if (src == nullptr || dst == nullptr || src == dst) return;
  std::copy(src->w, src->w + TObjPar::kWords, dst->w);
}

int32_t SwapTObjPar(TObjPar* p, int16_t direction, int16_t force) {
  if (p == nullptr) return 0;
  vmkrec::SwapRecord(*p, direction, force);
  return p->w[TObjPar::kWords - 1];
}
