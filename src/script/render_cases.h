// Writing a render case: what every case of the two dispatches shares, and the calls that
// register the script's own cases.
//
// A case is a plain function `int32_t Case(RenderCall& call)` (script/effect_registries.h),
// registered under its effect number by one line in its group's Register function:
//
//   int32_t Mosaic(RenderCall& c) {
//     const CaseArgs a(c);
//     if (a.p1 < 1 || a.p2 < 1) return 0;  // blocks of no size: no mosaic to draw
//     return ForEachTarget(c, kWithoutInk, [&](uint8_t* x, int32_t) {
//       return Effects::Mosaic(a.mode, a.opa, x, a.h, a.w, 0, 0, a.aw, a.ah, c.mask, a.p1, a.p2);
//     });
//   }
//   ...
//   void RegisterGeometryCases() { RegisterRenderCase(120, Mosaic); ... }
//
// The frame has made the destination plane and the mask by then; a case calls its operation
// with the row's argument list, once on the destination plane or once per composite plane,
// and answers what the operation answered: a step that cannot do its work (memory refused, a
// file that cannot be read or written, a size beyond the operation's arithmetic) fails the
// render, which stops there. Values for which an operation does nothing and answers -1 (a
// motion blur of no length, blocks of no size, a mapping of one row) are no failure: the case
// sees them first and answers 0, as the planes stay as they were. An operation that answers a
// count or a value other than a failure is read as what it is. A block refused to the step, on
// the render's thread or in a band of its loops, fails it whatever the case answers: the
// renderer counts the render's refusals.
#pragma once

#include <array>
#include <cstdint>

#include "platform/parallel/cancel.h"
#include "platform/parallel/progress.h"
#include "script/effect_registries.h"
#include "script/script_file.h"

// The operation's and the script's values that every case's argument list draws from.
struct CaseArgs {
  explicit CaseArgs(const RenderCall& call);

  int16_t mode, opa;           // blend mode and opacity
  int32_t h, w;                // plane height and width
  // Area width and height. Every case passes the region 0, 0, aw, ah: one column and one row
  // beyond the area, which the operations' inclusive regions clamp to the plane's edge.
  int32_t aw, ah;
  int16_t p1, p2, p3, p4, p5;  // Param1 .. Param5
  int16_t rgb;                 // colour model: 1 RGB, 0 CMYK
  float scaleX, scaleY;        // render scales
};

// A pixel distance from a parameter at the render scale: v x scale + 0.5, truncated toward
// zero to 16 bits.
int16_t ScaledDistance(int16_t v, float scale);

// Planes 3, 4, 5 and 2 of the script (null where missing).
uint8_t* CompositePlane(const RenderCall& call, int32_t channel);

// Whether a per-plane composite call also runs on plane 2 of a CMYK script.
enum InkPlane : bool { kWithoutInk = false, kWithInk = true };

// Calls f(plane, place) on the destination, or for the composite on planes 3, 4, 5 and (CMYK,
// withInk) 2 in that order, place 0..3 in that order; f answers its operation's answer. Stops
// at the first plane whose answer is negative and answers -1, else 0.
template <class F>
int32_t ForEachTarget(const RenderCall& call, InkPlane withInk, F f) {
  if (call.plane != nullptr) return f(call.plane, 0) < 0 ? -1 : 0;
  const int32_t count = withInk && call.script->colourModel == 0 ? 4 : 3;
  static constexpr int32_t kChannels[4] = {3, 4, 5, 2};
  for (int32_t k = 0; k < count; ++k)
    if (uint8_t* x = CompositePlane(call, kChannels[k]))
      if (f(x, k) < 0) return -1;
  return 0;
}

// ForEachTarget for an operation that does its whole work on each plane in turn (its long
// loops run once a plane): each plane takes an even part of the operation's progress, so that
// the later planes move the meter on rather than finding it at the end of the first's loops,
// and a stopped render starts no further plane. A plane that fails ends it, as ForEachTarget.
template <class F>
int32_t ForEachTargetInTurn(const RenderCall& call, InkPlane withInk, F f) {
  if (call.plane != nullptr) return f(call.plane, 0) < 0 ? -1 : 0;
  const int32_t count = withInk && call.script->colourModel == 0 ? 4 : 3;
  static constexpr int32_t kChannels[4] = {3, 4, 5, 2};
  for (int32_t k = 0; k < count; ++k) {
    if (plat::Cancelled()) return 0;
    const plat::ProgressStage stage(static_cast<double>(k) / count,
                                    static_cast<double>(k + 1) / count);
    if (uint8_t* x = CompositePlane(call, kChannels[k]))
      if (f(x, k) < 0) return -1;
  }
  return 0;
}

// Whether the area region maps nothing in the two-layer and ramp operations (their mapping
// tables need two columns and two rows of area and plane): on a picture one pixel wide or
// high they leave the planes as they are, which is no failure of the step.
bool MapsNothing(const CaseArgs& a);

// Effects::Emboss (and the edges found through it) takes reliefs of depth 0 to this; it
// answers -1 and changes nothing for any other.
inline constexpr int32_t kEmbossDepthLimit = 1000;

// A colour ramp as the operations read it: the opacity table, then the four colour tables.
using RampTables = std::array<uint8_t, 5 * 256>;
RampTables RampTablesOf(const LutVign& lut);

// An operation that colours what it makes through the step's ramp (the response map, the
// plasma): onto one plane, or onto planes 3, 4, 5 in one call. A step without its ramp leaves
// the planes as they are.
template <class Op>
int32_t RampColouredCase(RenderCall& c, Op op) {
  if (c.op->LutVign == nullptr) return 0;
  const CaseArgs a(c);
  const RampTables r = RampTablesOf(*c.op->LutVign);
  const int32_t answer =
      c.plane != nullptr
          ? op(a.mode, a.opa, 1, c.plane, nullptr, nullptr, c.mask, a.h, a.w, 0, 0, a.aw, a.ah, r.data(), a.p1,
               a.p2, a.p3, a.p4)
          : op(a.mode, a.opa, 3, CompositePlane(c, 3), CompositePlane(c, 4), CompositePlane(c, 5), c.mask, a.h,
               a.w, 0, 0, a.aw, a.ah, r.data(), a.p1, a.p2, a.p3, a.p4);
  return answer < 0 ? -1 : 0;
}

// The fill of effect 10 at a given strength (its Param1): colour bytes Param2..Param5 on
// planes 3, 4, 5, 2, a single plane taking the first.
int32_t FillWithColour(RenderCall& call, int16_t strength);
// The brightness table of effect 16 for a shift (turned over for a CMYK script, rgb 0).
std::array<uint8_t, 256> BrightnessRow(int16_t shift, int16_t rgb);

// Whether the dispatches hand the number's case no mask (null) where its mask would be 255
// everywhere: its operations weigh a null mask exactly as a full one.
bool FullMaskPassedAsNull(EffectCode effect);
// The same for numbers that weigh a null mask as a full one only when they replace: blend
// mode 0 at opacity 255 (their filter stores its result unblended when it has no mask).
bool FullMaskPassedAsNullWhenReplacing(EffectCode effect);

// The script's own cases, by group. RegisterScriptRenderCases registers all of them; the
// renderer calls it before its first render, and calling it again is harmless.
void RegisterTwoPlaneCases();
void RegisterToneCases();
void RegisterFilterCases();
void RegisterGeometryCases();
void RegisterFileAndPathCases();
void RegisterPathSteps();
void RegisterScriptRenderCases();
