// The cases of the two-plane dispatch: one source plane (or the composite) into one
// destination plane (or the composite) through the operation mask. Source and destination
// regions are both the area region 0, 0, area width, area height, which the operations clamp.
#include <cstring>

#include "app/core/memory_manager.h"
#include "operations/effects.h"
#include "script/param_block.h"
#include "script/record_kinds.h"
#include "script/render_cases.h"

namespace {

// The three planes a case that takes three source planes reads, and their count.
struct Sources {
  const uint8_t* s[3] = {};
  int16_t count = 1;
};

Sources SourcesOf(const RenderCall& c) {
  Sources s;
  if (c.compositeSource) {
    s.s[0] = CompositePlane(c, 3);
    s.s[1] = CompositePlane(c, 4);
    s.s[2] = CompositePlane(c, 5);
    s.count = 3;
  } else {
    s.s[0] = c.source;
  }
  return s;
}

struct Targets {
  uint8_t* d[3] = {};
  int16_t count = 1;
};

Targets TargetsOf(const RenderCall& c) {
  Targets t;
  if (c.plane != nullptr) {
    t.d[0] = c.plane;
    return t;
  }
  t.d[0] = CompositePlane(c, 3);
  t.d[1] = CompositePlane(c, 4);
  t.d[2] = CompositePlane(c, 5);
  t.count = 3;
  return t;
}

int32_t Replace(RenderCall& c) {
  const CaseArgs a(c);
  if (MapsNothing(a)) return 0;
  const Sources s = SourcesOf(c);
  const Targets t = TargetsOf(c);
  return Effects::Replace(a.mode, a.opa, s.s[0], s.s[1], s.s[2], a.h, a.w, t.d[0], t.d[1], t.d[2],
                          a.h, a.w, 0, 0, a.aw, a.ah, 0, 0, a.aw, a.ah, s.count, t.count, c.mask,
                          a.p1) < 0
             ? -1
             : 0;
}

// Add, Subtract, Difference and Multiply share one argument list; the composite runs plane
// by plane, each from the same-numbered plane of a composite source or from the one source,
// and stops at a plane that fails.
template <class Op>
int32_t PerPlane(RenderCall& c, Op op) {
  const CaseArgs a(c);
  if (MapsNothing(a)) return 0;
  const Targets t = TargetsOf(c);
  const Sources s = SourcesOf(c);
  for (int32_t k = 0; k < t.count; ++k) {
    const uint8_t* src = c.plane == nullptr && c.compositeSource ? s.s[k] : c.source;
    if (t.d[k] != nullptr && src != nullptr && op(a, src, t.d[k]) < 0) return -1;
  }
  return 0;
}

int32_t Add(RenderCall& c) {
  return PerPlane(c, [&](const CaseArgs& a, const uint8_t* s, uint8_t* d) {
    return Effects::Add(a.mode, a.opa, s, a.h, a.w, d, a.h, a.w, 0, 0, a.aw, a.ah, 0, 0, a.aw, a.ah,
                        1, 1, c.mask, a.p1);
  });
}

int32_t Subtract(RenderCall& c) {
  return PerPlane(c, [&](const CaseArgs& a, const uint8_t* s, uint8_t* d) {
    return Effects::Subtract(a.mode, a.opa, s, a.h, a.w, d, a.h, a.w, 0, 0, a.aw, a.ah, 0, 0, a.aw,
                             a.ah, 1, 1, c.mask, a.p1);
  });
}

int32_t Difference(RenderCall& c) {
  return PerPlane(c, [&](const CaseArgs& a, const uint8_t* s, uint8_t* d) {
    return Effects::Difference(a.mode, a.opa, s, a.h, a.w, d, a.h, a.w, 0, 0, a.aw, a.ah, 0, 0,
                               a.aw, a.ah, 1, 1, c.mask, a.p1);
  });
}

int32_t Multiply(RenderCall& c) {
  return PerPlane(c, [&](const CaseArgs& a, const uint8_t* s, uint8_t* d) {
    return Effects::Multiply(a.mode, a.opa, s, a.h, a.w, d, a.h, a.w, 0, 0, a.aw, a.ah, 0, 0, a.aw,
                             a.ah, 1, 1, c.mask);
  });
}

// The colour-correction record's words that colour range reads: entry 0 of its 32-entry
// arrays 24, 25, 26 (the new colour) and 0, 1, 2 (the colour to match).
constexpr int16_t kColCorKind = 23;
constexpr int32_t kNewColourWords[3] = {812, 844, 876};
constexpr int32_t kRefColourWords[3] = {44, 76, 108};

int32_t ColourRange(RenderCall& c) {
  // An operation without the record takes the record's defaults, as its dialog would show.
  const RecordKind* kind = FindRecordKind(kColCorKind);
  if (kind == nullptr) return -1;
  const int32_t* words = static_cast<const int32_t*>(MulStrucRecord(c.op->MulStruc, kColCorKind));
  plat::Block<uint8_t> defaults;
  if (words == nullptr) {
    defaults = plat::Block<uint8_t>(static_cast<int64_t>(kind->blockSize), WorkSource());
    if (!defaults) return -1;
    defaults.Clear();
    kind->construct(defaults.get());
    kind->blockDefaults(defaults.get(), SessionDefaultSizes());
    words = reinterpret_cast<const int32_t*>(defaults.get());
  }
  uint8_t newColour[3], refColour[3];
  for (int k = 0; k < 3; ++k) {
    newColour[k] = static_cast<uint8_t>(words[kNewColourWords[k]]);
    refColour[k] = static_cast<uint8_t>(words[kRefColourWords[k]]);
  }
  if (words == reinterpret_cast<const int32_t*>(defaults.get()) && kind->release != nullptr)
    kind->release(defaults.get());
  const CaseArgs a(c);
  if (c.plane != nullptr) newColour[0] = static_cast<uint8_t>(a.p2);
  const Sources s = SourcesOf(c);
  const Targets t = TargetsOf(c);
  return Effects::ColorRange(a.mode, a.opa, s.count, s.s[0], s.s[1], s.s[2], a.h, a.w, t.count,
                             t.d[0], t.d[1], t.d[2], a.h, a.w, 0, 0, a.aw, a.ah, c.mask, a.p1,
                             newColour, refColour) < 0
             ? -1
             : 0;
}

// The four planes of the ramp cases: planes 3, 4, 5 and, in a CMYK script, 2 (null in an
// RGB one), with their count 3 or 4.
struct Four {
  uint8_t* p[4] = {};
  int16_t count = 3;
};

Four FourOf(const RenderCall& c) {
  Four f;
  const bool cmyk = c.script->colourModel == 0;
  f.p[0] = CompositePlane(c, 3);
  f.p[1] = CompositePlane(c, 4);
  f.p[2] = CompositePlane(c, 5);
  f.p[3] = cmyk ? CompositePlane(c, 2) : nullptr;
  f.count = cmyk ? 4 : 3;
  return f;
}

// The sources of a four-plane ramp call: the composite's own planes for a composite source,
// else the one source plane.
struct FourSources {
  const uint8_t* p[4] = {};
  int16_t count = 1;
};

FourSources RampSourcesOf(const RenderCall& c, const Four& composite) {
  FourSources f;
  if (c.compositeSource) {
    for (int32_t k = 0; k < 4; ++k) f.p[k] = composite.p[k];
    f.count = composite.count;
  } else {
    f.p[0] = c.source;
  }
  return f;
}

// The source's grey through the operation's ramp; an operation without a ramp paints nothing.
int32_t LumToColour(RenderCall& c) {
  if (c.op->LutVign == nullptr) return 0;
  const CaseArgs a(c);
  if (MapsNothing(a)) return 0;
  const RampTables r = RampTablesOf(*c.op->LutVign);
  if (c.plane != nullptr)
    return Effects::LutToColor(a.mode, a.opa, c.source, a.h, a.w, c.plane, a.h, a.w, 0, 0, a.aw,
                               a.ah, 0, 0, a.aw, a.ah, a.rgb, 1, 1, 0, c.mask, r.data(), a.p2,
                               a.p1) < 0
               ? -1
               : 0;
  const Four d = FourOf(c);
  const FourSources s = RampSourcesOf(c, d);
  return Effects::LutToColor(a.mode, a.opa, s.p[0], s.p[1], s.p[2], s.p[3], a.h, a.w, d.p[0],
                             d.p[1], d.p[2], d.p[3], a.h, a.w, 0, 0, a.aw, a.ah, 0, 0, a.aw, a.ah,
                             a.rgb, s.count, d.count, c.mask, r.data(), a.p2, a.p1) < 0
             ? -1
             : 0;
}

// Blur radius and horizontal offset at the horizontal scale, vertical offset at the vertical.
int32_t Shadow(RenderCall& c) {
  if (c.op->LutVign == nullptr) return 0;
  const CaseArgs a(c);
  // The shadow is painted through the ramp's region mapping.
  if (MapsNothing(a)) return 0;
  const RampTables r = RampTablesOf(*c.op->LutVign);
  const int16_t blur = ScaledDistance(a.p1, a.scaleX);
  const int16_t dx = ScaledDistance(a.p2, a.scaleX), dy = ScaledDistance(a.p3, a.scaleY);
  const Four d = FourOf(c);
  const FourSources s = RampSourcesOf(c, d);
  const int16_t ns = c.compositeSource ? d.count : 1;
  if (c.plane != nullptr)
    return Effects::Shadow(a.mode, a.opa, c.source, a.h, a.w, c.plane, a.h, a.w, 0, 0, a.aw, a.ah,
                           0, 0, a.aw, a.ah, a.rgb, ns, 1, c.mask, blur, dx, dy, r.data(), a.p5,
                           a.p4) < 0
               ? -1
               : 0;
  return Effects::Shadow(a.mode, a.opa, s.p[0], s.p[1], s.p[2], s.p[3], a.h, a.w, d.p[0], d.p[1],
                         d.p[2], d.p[3], a.h, a.w, 0, 0, a.aw, a.ah, 0, 0, a.aw, a.ah, a.rgb, ns,
                         d.count, c.mask, blur, dx, dy, r.data(), a.p5, a.p4) < 0
             ? -1
             : 0;
}

// Grow (34, 48) or shrink (47) the bright shapes by the scaled Param1. A single destination is
// painted in the low byte of Param2 at strength Param3; the composite's planes 3, 4, 5 in the
// low bytes of Param2, 3, 4 at strength Param5, each from its own plane of a composite source.
template <int16_t kKind>
int32_t ContourGrowth(RenderCall& c) {
  const CaseArgs a(c);
  const int16_t radius = ScaledDistance(a.p1, a.scaleX);
  if (c.plane != nullptr)
    return Effects::ContrExp(kKind, a.mode, a.opa, c.source, a.h, a.w, c.plane, a.h, a.w, 0, 0,
                             a.aw, a.ah, 0, 0, a.aw, a.ah, 0, 1, 1, radius, c.mask,
                             static_cast<uint8_t>(a.p2), a.p3) < 0
               ? -1
               : 0;
  const Targets t = TargetsOf(c);
  const Sources s = SourcesOf(c);
  const uint8_t colours[3] = {static_cast<uint8_t>(a.p2), static_cast<uint8_t>(a.p3),
                              static_cast<uint8_t>(a.p4)};
  for (int32_t k = 0; k < 3; ++k) {
    const uint8_t* src = c.compositeSource ? s.s[k] : c.source;
    if (t.d[k] == nullptr || src == nullptr) continue;
    if (Effects::ContrExp(kKind, a.mode, a.opa, src, a.h, a.w, t.d[k], a.h, a.w, 0, 0, a.aw, a.ah,
                          0, 0, a.aw, a.ah, 0, 1, 1, radius, c.mask, colours[k], a.p5) < 0)
      return -1;
  }
  return 0;
}

// Param1 levels of the source drawn in the colour of the low bytes of Param3, 4, 5.
int32_t ContourLines(RenderCall& c) {
  const CaseArgs a(c);
  const uint8_t colour[3] = {static_cast<uint8_t>(a.p3), static_cast<uint8_t>(a.p4),
                             static_cast<uint8_t>(a.p5)};
  const Targets t = TargetsOf(c);
  return Effects::GeoLevels(a.mode, a.opa, t.count, c.source, a.h, a.w, t.d[0], t.d[1], t.d[2], a.h,
                            a.w, 0, 0, a.aw, a.ah, c.mask, a.p1, colour) < 0
             ? -1
             : 0;
}

}  // namespace

void RegisterTwoPlaneCases() {
  RegisterRenderCase(2, Replace);
  RegisterRenderCase(3, Add);
  RegisterRenderCase(4, Subtract);
  RegisterRenderCase(5, Difference);
  RegisterRenderCase(6, Multiply);
  RegisterRenderCase(23, LumToColour);
  RegisterRenderCase(33, Shadow);
  RegisterRenderCase(34, ContourGrowth<1>);
  RegisterRenderCase(47, ContourGrowth<0>);
  RegisterRenderCase(48, ContourGrowth<1>);
  RegisterRenderCase(86, ColourRange);
  RegisterRenderCase(91, ContourLines);
}
