#include "engines/patterns/path_shape_engines.h"

#include <algorithm>
#include <cstring>

#include "app/core/memory_manager.h"
#include "engines/patterns/draw_par_keeper.h"
#include "engines/patterns/shape_outlines.h"
#include "engines/records/engine_frame.h"
#include "operations/effects.h"
#include "paths/draw_par.h"
#include "paths/path_fill.h"
#include "paths/path_list.h"
#include "platform/memory/block.h"
#include "script/engine_rows.h"

namespace {

struct ShapeCall {
  int16_t planeCount, blendMode, opacity, source;
  int32_t width, height;
  int32_t photoLeft, photoTop, photoRight, photoBottom;
  float scaleX, scaleY;
  uint8_t* planes[4];
  const uint8_t* mask;
};

bool PlanesMissing(const ShapeCall& c) {
  if (c.width <= 0 || c.height <= 0 || c.planes[0] == nullptr) return true;
  return c.planeCount != 1 && (c.planes[1] == nullptr || c.planes[2] == nullptr);
}

void PrepareSource(const ShapeCall& c, const vmkrec::EngineArea& area) {
  const vmkrec::SourceRequest request = vmkrec::MakeSourceRequest(
      c.width, c.height, area.right - area.left + 1, area.bottom - area.top + 1, c.photoLeft,
      c.photoTop, c.photoRight, c.photoBottom, c.scaleX, c.scaleY, c.planes[0], c.planes[1],
      c.planes[2], c.planes[3]);
  vmkrec::PrepareEngineSource(c.source, c.planeCount == 1 ? 1 : 3, 255, request);
}

// The head both engines share: the record learns the plane size, the sources are prepared,
// and a cleared work plane is taken for the outline. 1 to draw; 0 when there is nothing to
// draw (apply other than 1, or an empty rectangle, which has no centre, radius or aspect to
// place an outline by); -1 when the plane cannot be had.
template <class Par>
int32_t StartShape(const ShapeCall& c, Par& r, int16_t apply, const vmkrec::EngineArea& a,
                   plat::Block<uint8_t>* shape) {
  r.width = c.width;
  r.height = c.height;
  PrepareSource(c, a);
  if (apply != 1 || a.empty()) return 0;
  *shape = plat::Block<uint8_t>(int64_t{c.width} * c.height, WorkSource());
  if (!*shape) return -1;
  shape->Clear();
  return 1;
}

// Softens the shape plane, shifts the ramp's colours (the engine's copy only) and colours
// the planes through the ramp with the shape plane as the amount.
void ColourShape(const ShapeCall& c, const vmkrec::EngineArea& a, uint8_t* shape,
                 int32_t softness, int32_t hue, int32_t saturation, int32_t lightness,
                 LutVign* ramp) {
  const int32_t rw = a.right - a.left + 1, rh = a.bottom - a.top + 1;
  if (softness != 0) {
    const auto radius = static_cast<int16_t>(int64_t{c.width} * softness / 350);
    Effects::Blur(0, 255, shape, nullptr, c.width, c.height, 0, 0, rw, rh, radius, 1);
  }
  HSLadjust_LutVign(ramp, static_cast<int16_t>(hue), static_cast<int16_t>(saturation),
                    static_cast<int16_t>(lightness));
  uint8_t table[5 * 256];
  std::memcpy(table, ramp->opacity, 256);
  std::memcpy(table + 256, ramp->colour, 4 * 256);
  if (c.planeCount == 1) {
    Effects::LutToColor(c.blendMode, c.opacity, shape, c.height, c.width, c.planes[0], c.height,
                        c.width, a.left, a.top, a.right, a.bottom, a.left, a.top, a.right,
                        a.bottom, 1, 1, 1, 0, c.mask, table, 0, 255);
    return;
  }
  Effects::LutToColor(c.blendMode, c.opacity, shape, nullptr, nullptr, nullptr, c.height,
                      c.width, c.planes[0], c.planes[1], c.planes[2], nullptr, c.height, c.width,
                      a.left, a.top, a.right, a.bottom, a.left, a.top, a.right, a.bottom, 1, 1, 3,
                      c.mask, table, 0, 255);
}

void FillShapePlane(CPathList* list, const ShapeCall& c, int32_t rh, uint8_t* shape) {
  FillColPath(0, list, c.height, c.width, shape, 1, rh, 1.0f, 1.0f, 0, 0, 255, 0);
}

}  // namespace

void MiscShape::SetShapePar(const ShapePar* par) {
  if (par_.valid() && par != nullptr) Copy_ShapePar(par, par_.get());
}

void MiscShape::GetShapePar(ShapePar* par) const {
  if (par_.valid() && par != nullptr) Copy_ShapePar(par_.get(), par);
}

int32_t MiscShape::FillBuf(int16_t planeCount, int16_t blendMode, int16_t opacity,
                           int16_t source, int16_t apply, int32_t left, int32_t top,
                           int32_t right, int32_t bottom, int32_t fullWidth,
                           int32_t fullHeight, int32_t photoLeft, int32_t photoTop,
                           int32_t photoRight, int32_t photoBottom, float scaleX, float scaleY,
                           int32_t width, int32_t height, uint8_t* plane0, uint8_t* plane1,
                           uint8_t* plane2, uint8_t* plane3, const uint8_t* mask) {
  const ShapeCall c{planeCount, blendMode, opacity, source, width, height, photoLeft,
                    photoTop, photoRight, photoBottom, scaleX, scaleY,
                    {plane0, plane1, plane2, plane3}, mask};
  if (!par_.valid() || PlanesMissing(c)) return -1;
  const vmkrec::EngineArea a = vmkrec::ClampArea(left, top, right, bottom, width, height, true);
  ShapePar& r = *par_;
  plat::Block<uint8_t> shape;
  if (const int32_t start = StartShape(c, r, apply, a, &shape); start != 1) return start;
  {
    DrawParKeeper keeper;
    const int32_t rw = a.right - a.left + 1, rh = a.bottom - a.top + 1;
    CPathList list(0);
    list.SetDrwVal(0, rw, 0, rh, 0.0f, 0.0f, 0, 1.0f, 1.0f, 0.0f, 0.0f);
    if (r.kind == 0) {
      BuildStarOutline(&list, r, rw, rh);
    } else if (r.kind == 1) {
      BuildSpiroOutline(&list, r, rw, rh, fullWidth, fullHeight);
    }
    FillShapePlane(&list, c, rh, shape.get());
  }
  ColourShape(c, a, shape.get(), r.softness, r.hueShift, r.saturationShift, r.lightnessShift,
              &r.ramp);
  return 0;
}

MiscCookiCut::MiscCookiCut() {
  if (par_.valid()) Init_CookiCutPar(par_.get());
}

void MiscCookiCut::SetCookiCutPar(const CookiCutPar* par) {
  if (par_.valid() && par != nullptr) Copy_CookiCutPar(par, par_.get());
}

void MiscCookiCut::GetCookiCutPar(CookiCutPar* par) const {
  if (par_.valid() && par != nullptr) Copy_CookiCutPar(par_.get(), par);
}

int32_t MiscCookiCut::FillBuf(int16_t planeCount, int16_t blendMode, int16_t opacity,
                              int16_t source, int16_t apply, int32_t width, int32_t height,
                              int32_t left, int32_t top, int32_t right, int32_t bottom,
                              int32_t /*fullWidth*/, int32_t /*fullHeight*/, int32_t photoLeft,
                              int32_t photoTop, int32_t photoRight, int32_t photoBottom,
                              float scaleX, float scaleY, uint8_t* plane0, uint8_t* plane1,
                              uint8_t* plane2, uint8_t* plane3, const uint8_t* mask) {
  const ShapeCall c{planeCount, blendMode, opacity, source, width, height, photoLeft,
                    photoTop, photoRight, photoBottom, scaleX, scaleY,
                    {plane0, plane1, plane2, plane3}, mask};
  if (!par_.valid() || PlanesMissing(c)) return -1;
  const vmkrec::EngineArea a = vmkrec::ClampArea(left, top, right, bottom, width, height, true);
  CookiCutPar& r = *par_;
  plat::Block<uint8_t> shape;
  if (const int32_t start = StartShape(c, r, apply, a, &shape); start != 1) return start;
  {
    DrawParKeeper keeper;
    const int32_t rw = a.right - a.left + 1, rh = a.bottom - a.top + 1;
    CPathList list(0);
    list.SetDrwVal(0, rw, 0, rh, 0.0f, 0.0f, 0, 1.0f, 1.0f, 0.0f, 0.0f);
    BuildCookieOutline(&list, r, rw, rh, static_cast<float>(width), static_cast<float>(height));
    FillShapePlane(&list, c, rh, shape.get());
  }
  ColourShape(c, a, shape.get(), r.softness, r.hueShift, r.saturationShift, r.lightnessShift,
              &r.ramp);
  return 0;
}

int32_t RunShapeRow(const EngineRowCall& c) {
  return RunEngineOnce<MiscShape>(
      [&](MiscShape& e) { e.SetShapePar(&c.Record<ShapePar>()); },
      [&](MiscShape& e) {
        return e.FillBuf(c.n, c.mode, c.opacity, 0, 1, 0, 0, c.aw, c.ah, c.w, c.h, 0, 0, c.w,
                         c.h, 1.0f, 1.0f, c.w, c.h, c.planes[0], c.planes[1], c.planes[2],
                         c.plane6, c.mask);
      });
}

int32_t RunCookiCutRow(const EngineRowCall& c) {
  return RunEngineOnce<MiscCookiCut>(
      [&](MiscCookiCut& e) { e.SetCookiCutPar(&c.Record<CookiCutPar>()); },
      [&](MiscCookiCut& e) {
        return e.FillBuf(c.n, c.mode, c.opacity, 0, 1, c.w, c.h, 0, 0, c.aw, c.ah, c.w, c.h, 0,
                         0, c.w, c.h, 1.0f, 1.0f, c.planes[0], c.planes[1], c.planes[2], nullptr,
                         c.mask);
      });
}
