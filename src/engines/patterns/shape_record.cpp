#include "engines/patterns/shape_record.h"

#include <algorithm>

#include "engines/records/preset_file.h"

namespace {

constexpr vmkrec::PresetFormat kShapeFile{FourCC("hShp"), "Load a New Shape...",
                                          vmkrec::PresetLayout::RecordOnly, 0, false};

}  // namespace

void Init_ShapePar(ShapePar* r, int32_t width, int32_t height, int32_t kind) {
  if (r == nullptr) return;
  r->byteOrderFlag = HostOrderFlag();
  r->version = 1;
  r->width = width;
  r->height = height;
  Init_TObjPar(&r->shape);
  r->kind = kind;
  r->centreX = 50;
  r->centreY = 50;
  r->radius = 40;
  r->rotation = 0;
  r->softness = 0;
  const int32_t carried[5] = {0, 0, 0, 0, 255};
  std::copy(carried, carried + 5, r->carried);
  r->hueShift = r->saturationShift = r->lightnessShift = 0;
  Init_LutVign(3, &r->ramp, 0, 0, 0, 0);
}

void Copy_ShapePar(const ShapePar* s, ShapePar* d) {
  if (s == nullptr || d == nullptr || s == d) return;
  d->byteOrderFlag = s->byteOrderFlag;
  d->version = s->version;
  d->width = s->width;
  d->height = s->height;
  Copy_TObjPar(&s->shape, &d->shape);
  d->kind = s->kind;
  d->centreX = s->centreX;
  d->centreY = s->centreY;
  d->radius = s->radius;
  d->rotation = s->rotation;
  d->softness = s->softness;
  std::copy(s->carried, s->carried + 5, d->carried);
  d->hueShift = s->hueShift;
  d->saturationShift = s->saturationShift;
  d->lightnessShift = s->lightnessShift;
  Copy_LutVign(&s->ramp, &d->ramp);
}

void SwapShapePar(ShapePar* record, int16_t direction, int16_t force) {
  if (record != nullptr) vmkrec::SwapRecord(*record, direction, force);
}

int16_t Do_AShapePar_file(int16_t mode, FSSpec spec, ShapePar* record) {
  // Whole: the copy leaves out the shape-tool record's spare words, which the file holds.
  return vmkrec::DoPresetFile(mode, spec, record, kShapeFile, Copy_ShapePar,
                              vmkrec::TakeWhole<ShapePar>);
}
