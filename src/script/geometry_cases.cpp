// The geometry, displacement, fog and generator cases: moves and folds of a plane, the
// displacement by the source plane, fog, the plasma and aggregation generators coloured
// through the operation's ramp, and the black-and-white conversion of the composite.
// Per-plane composite calls take the planes count 1.
#include <algorithm>

#include "app/core/memory_manager.h"
#include "operations/effects.h"
#include "platform/memory/block.h"
#include "script/render_cases.h"

namespace {

// The kaleidoscope's tile is this many samples square.
constexpr int32_t kKaleidoTile = 999;

int32_t Offset(RenderCall& c) {
  const CaseArgs a(c);
  const int16_t dx = ScaledDistance(a.p1, a.scaleX), dy = ScaledDistance(a.p2, a.scaleY);
  return ForEachTarget(c, kWithInk, [&](uint8_t* x, int32_t) {
    return Effects::Offset(x, a.h, a.w, 0, 0, a.aw, a.ah, dx, dy, 1);
  });
}

// The source plane is the map.
int32_t Displace(RenderCall& c) {
  if (c.source == nullptr) return 0;
  const CaseArgs a(c);
  const int16_t dx = ScaledDistance(a.p1, a.scaleX), dy = ScaledDistance(a.p2, a.scaleY);
  return ForEachTarget(c, kWithInk, [&](uint8_t* x, int32_t) {
    return Effects::Displace(a.mode, a.opa, x, c.source, a.h, a.w, 0, 0, a.aw, a.ah, 1, c.mask, dx,
                             dy, a.p3);
  });
}

int32_t Transform(RenderCall& c) {
  const CaseArgs a(c);
  const int16_t dx = ScaledDistance(a.p1, a.scaleX), dy = ScaledDistance(a.p2, a.scaleY);
  return ForEachTarget(c, kWithInk, [&](uint8_t* x, int32_t) {
    return Effects::Transform(a.mode, a.opa, x, a.h, a.w, 0, 0, a.aw, a.ah, dx, dy, a.p3, a.p4,
                              a.p5, 0, 1, c.mask);
  });
}

int32_t Flip(RenderCall& c) {
  const CaseArgs a(c);
  return ForEachTarget(c, kWithInk, [&](uint8_t* x, int32_t) {
    return Effects::Flip(a.mode, a.opa, x, a.h, a.w, 0, 0, a.aw, a.ah, a.p1, a.p2, 0, 1, c.mask);
  });
}

// Param5 has no place in the operation's argument list.
int32_t Kaleidoscope(RenderCall& c) {
  const CaseArgs a(c);
  return ForEachTarget(c, kWithInk, [&](uint8_t* x, int32_t) {
    return Effects::Kaleido(a.mode, a.opa, x, c.mask, a.h, a.w, 0, 0, a.aw, a.ah, kKaleidoTile,
                            kKaleidoTile, a.p3, a.p4);
  });
}

// The composite draws its fog once, into a scratch plane, on plane 3, and the later planes
// brighten by that same fog.
int32_t Fog(RenderCall& c) {
  const CaseArgs a(c);
  if (c.plane != nullptr)
    return Effects::Foggy(a.mode, a.opa, 0, c.plane, c.mask, nullptr, a.h, a.w, 0, 0, a.aw, a.ah,
                          a.scaleX, a.scaleY, a.p1, a.p2, a.p3, a.p4, a.p5) < 0
               ? -1
               : 0;
  plat::Block<uint8_t> fog(static_cast<int64_t>(a.w) * a.h, WorkSource());
  if (!fog) return -1;
  fog.Clear();
  return ForEachTarget(c, kWithInk, [&](uint8_t* x, int32_t k) {
    return Effects::Foggy(a.mode, a.opa, static_cast<int16_t>(k == 0 ? 1 : 2), x, c.mask, fog.get(),
                          a.h, a.w, 0, 0, a.aw, a.ah, a.scaleX, a.scaleY, a.p1, a.p2, a.p3, a.p4,
                          a.p5);
  });
}

int32_t Twirl(RenderCall& c) {
  const CaseArgs a(c);
  return ForEachTargetInTurn(c, kWithoutInk, [&](uint8_t* x, int32_t) {
    return Effects::Twirl(a.mode, a.opa, x, c.mask, a.h, a.w, 0, 0, a.aw, a.ah, a.p1, a.p2, a.p3);
  });
}

int32_t Plasma(RenderCall& c) { return RampColouredCase(c, &Effects::FractPlasma); }

// A single plane paints with ramp row 0 (the opacity table); planes 3, 4, 5 with rows 1, 2,
// 3. Each composite plane grows its own aggregation from the same seed.
int32_t Aggregation(RenderCall& c) {
  if (c.op->LutVign == nullptr) return 0;
  const CaseArgs a(c);
  const RampTables r = RampTablesOf(*c.op->LutVign);
  const bool single = c.plane != nullptr;
  return ForEachTarget(c, kWithoutInk, [&](uint8_t* x, int32_t k) {
    return Effects::DiffusAggreg(a.mode, a.opa, x, c.mask, a.h, a.w, 0, 0, a.aw, a.ah,
                                 static_cast<int16_t>(single ? 0 : k + 1), r.data(), a.p1, a.p2,
                                 a.p3, 100, 4);
  });
}

// The diagonal folds (kinds 4 to 7) need two columns and two rows: on a picture one pixel
// wide or high there is no diagonal to fold along, and the planes stay as they are.
int32_t Mirror(RenderCall& c) {
  const CaseArgs a(c);
  const bool diagonal = a.p1 >= 4 && a.p1 <= 7;
  if (diagonal && (std::min<int32_t>(a.aw, a.w - 1) < 1 || std::min<int32_t>(a.ah, a.h - 1) < 1))
    return 0;
  return ForEachTarget(c, kWithoutInk, [&](uint8_t* x, int32_t) {
    return Effects::Mirror(a.mode, a.opa, x, a.h, a.w, 0, 0, a.aw, a.ah, a.p1, 1, c.mask);
  });
}

int32_t Deinterlace(RenderCall& c) {
  const CaseArgs a(c);
  return ForEachTarget(c, kWithoutInk, [&](uint8_t* x, int32_t) {
    return Effects::DeInterlace(a.mode, a.opa, x, c.mask, a.h, a.w, 0, 0, a.aw, a.ah, a.p1, a.p2);
  });
}

// Blocks of no size make no mosaic: the planes stay as they are.
int32_t Mosaic(RenderCall& c) {
  const CaseArgs a(c);
  if (a.p1 < 1 || a.p2 < 1) return 0;
  return ForEachTarget(c, kWithoutInk, [&](uint8_t* x, int32_t) {
    return Effects::Mosaic(a.mode, a.opa, x, a.h, a.w, 0, 0, a.aw, a.ah, c.mask, a.p1, a.p2);
  });
}

// A single plane has no colours to convert: it takes the contrast alone.
int32_t BlackAndWhite(RenderCall& c) {
  const CaseArgs a(c);
  if (c.plane != nullptr)
    return Effects::AdjContrast(a.mode, a.opa, c.plane, a.h, a.w, 0, 0, a.aw, a.ah, 1, c.mask, a.p3,
                                a.p4, a.p5) < 0
               ? -1
               : 0;
  uint8_t* const r = CompositePlane(c, 3);
  uint8_t* const g = CompositePlane(c, 4);
  uint8_t* const b = CompositePlane(c, 5);
  if (r == nullptr || g == nullptr || b == nullptr) return 0;
  return Effects::BWConversion(a.mode, a.opa, a.h, a.w, r, g, b, 0, 0, a.aw, a.ah, c.mask, a.p1,
                               a.p2, a.p3, a.p4, a.p5) < 0
             ? -1
             : 0;
}

}  // namespace

void RegisterGeometryCases() {
  RegisterRenderCase(19, Offset);
  RegisterRenderCase(20, Displace);
  RegisterRenderCase(53, Transform);
  RegisterRenderCase(54, Flip);
  RegisterRenderCase(56, Kaleidoscope);
  RegisterRenderCase(69, Fog);
  RegisterRenderCase(95, Twirl);
  RegisterRenderCase(98, Plasma);
  RegisterRenderCase(99, Aggregation);
  RegisterRenderCase(107, Mirror);
  RegisterRenderCase(112, Deinterlace);
  RegisterRenderCase(120, Mosaic);
  RegisterRenderCase(121, BlackAndWhite);
}
