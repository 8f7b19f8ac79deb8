#include "engines/patterns/extrusion_record.h"

#include <algorithm>

#include "engines/records/session_defaults.h"

void Init_XTrudePar(XTrudePar* r, int16_t keepQuads, int32_t width, int32_t height) {
  if (r == nullptr) return;
  int32_t* w = r->w;
  w[0] = 0;
  w[1] = 1;
  w[kXtrWidth] = width;
  w[kXtrHeight] = height;
  w[139] = 0;
  w[kXtrColourMode] = 1;
  w[141] = 5;
  w[142] = 0;
  w[143] = 5;
  w[144] = 0;
  w[kXtrLightAngle] = 0;
  w[kXtrLightStrength] = 0;
  w[kXtrSegment] = 30;
  w[kXtrVariation] = 50;
  if (keepQuads == 0) {
    const int32_t pw = SessionPhotoWidth(), ph = SessionPhotoHeight();
    // Corners (0, 0), (0, ph), (pw, ph), (pw, 0).
    const int32_t corner[8] = {0, 0, 0, ph, pw, ph, pw, 0};
    for (int32_t t = 0; t < 8; ++t)
      std::fill_n(w + XTrudeQuadWord(t, 0), kXTrudeQuads, corner[t]);
  }
  Init_LutVign(4, &r->ramp, 0, 0, 0, 0);
}

void Copy_XTrudePar(const XTrudePar* s, XTrudePar* d) {
  if (s == nullptr || d == nullptr || s == d) return;
  d->w[0] = s->w[0];
  d->w[1] = s->w[1];
  std::copy(s->w + kXtrWidth, s->w + 145, d->w + kXtrWidth);
  std::copy(s->w + kXtrLightAngle, s->w + kXTrudeWords, d->w + kXtrLightAngle);
  Copy_LutVign(&s->ramp, &d->ramp);
}

void SetQuad_XTrudePar(XTrudePar* r, const int32_t* x0, const int32_t* y0, const int32_t* x1,
                       const int32_t* y1, const int32_t* x2, const int32_t* y2,
                       const int32_t* x3, const int32_t* y3) {
  if (r == nullptr) return;
  const int32_t* tables[8] = {x0, y0, x1, y1, x2, y2, x3, y3};
  for (int32_t t = 0; t < 8; ++t)
    if (tables[t] != nullptr) std::copy(tables[t], tables[t] + kXTrudeQuads, r->w + XTrudeQuadWord(t, 0));
}

void SwapXTrudePar(XTrudePar* record, int16_t direction, int16_t force) {
  if (record != nullptr) vmkrec::SwapRecord(*record, direction, force);
}
