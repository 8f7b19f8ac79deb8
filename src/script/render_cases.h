// Writing a render case: what every case of the two dispatches shares, and the calls that
// register the script's own cases.
//
// A case is a plain function `int32_t Case(RenderCall& call)` (script/effect_registries.h),
// registered under its effect number by one line in its group's Register function:
//
//   int32_t Wind(RenderCall& c) {
//     const CaseArgs a(c);
//     ForEachTarget(c, kWithInk, [&](uint8_t* x, int32_t) {
//       Effects::Wind(a.mode, a.opa, x, a.h, a.w, 0, 0, a.aw, a.ah, c.mask, a.p1, a.p2, a.p3);
//     });
//     return 0;
//   }
//   ...
//   void RegisterFilterCases() { RegisterRenderCase(32, Wind); ... }
//
// The frame has made the destination plane and the mask by then; a case only calls its
// operation with the row's argument list, once on the destination plane or once per
// composite plane. The results of the operations are not examined, as the render loop goes
// on whatever one operation did; a case returns -1 only when memory of its own is refused.
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

// Calls f(plane) on the destination, or for the composite on planes 3, 4, 5 and (CMYK,
// withInk) 2 in that order; f's second argument is the plane's place 0..3 in that order.
template <class F>
void ForEachTarget(const RenderCall& call, InkPlane withInk, F f) {
  if (call.plane != nullptr) {
    f(call.plane, 0);
    return;
  }
  const int32_t count = withInk && call.script->colourModel == 0 ? 4 : 3;
  static constexpr int32_t kChannels[4] = {3, 4, 5, 2};
  for (int32_t k = 0; k < count; ++k)
    if (uint8_t* x = CompositePlane(call, kChannels[k])) f(x, k);
}

// ForEachTarget for an operation that does its whole work on each plane in turn (its long
// loops run once a plane): each plane takes an even part of the operation's progress, so that
// the later planes move the meter on rather than finding it at the end of the first's loops,
// and a stopped render starts no further plane.
template <class F>
void ForEachTargetInTurn(const RenderCall& call, InkPlane withInk, F f) {
  if (call.plane != nullptr) {
    f(call.plane, 0);
    return;
  }
  const int32_t count = withInk && call.script->colourModel == 0 ? 4 : 3;
  static constexpr int32_t kChannels[4] = {3, 4, 5, 2};
  for (int32_t k = 0; k < count; ++k) {
    if (plat::Cancelled()) return;
    const plat::ProgressStage stage(static_cast<double>(k) / count,
                                    static_cast<double>(k + 1) / count);
    if (uint8_t* x = CompositePlane(call, kChannels[k])) f(x, k);
  }
}

// A colour ramp as the operations read it: the opacity table, then the four colour tables.
using RampTables = std::array<uint8_t, 5 * 256>;
RampTables RampTablesOf(const LutVign& lut);

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
