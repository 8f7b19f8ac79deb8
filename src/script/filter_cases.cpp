// The filter, distortion, fill and frame cases of the one-plane dispatch: each hands one
// image operation the destination plane, or each composite plane in turn (planes 3, 4, 5 and,
// where a case runs with kWithInk, plane 2 of a CMYK script), with the row's parameters.
// Distances from the parameters are scaled to the render size first.
#include "operations/despeckle.h"
#include "operations/effects.h"
#include "script/render_cases.h"

// Colour bytes: Param2..Param5 on planes 3, 4, 5, 2; a single plane takes the first.
int32_t FillWithColour(RenderCall& c, int16_t strength) {
  const CaseArgs a(c);
  const uint8_t colour[4] = {static_cast<uint8_t>(a.p2), static_cast<uint8_t>(a.p3),
                             static_cast<uint8_t>(a.p4), static_cast<uint8_t>(a.p5)};
  const int16_t values[4] = {strength, strength, strength, strength};
  return ForEachTarget(c, kWithInk, [&](uint8_t* x, int32_t k) {
    return Effects::Fill(a.mode, a.opa, x, a.h, a.w, 0, 0, a.aw, a.ah, 1, c.mask, &colour[k],
                         values);
  });
}

namespace {

int32_t FillColour(RenderCall& c) { return FillWithColour(c, c.op->Param1); }

int32_t Blur(RenderCall& c) {
  const CaseArgs a(c);
  return ForEachTarget(c, kWithoutInk, [&](uint8_t* x, int32_t) {
    return Effects::Blur(a.mode, a.opa, x, c.mask, a.w, a.h, 0, 0, a.aw, a.ah, a.p1, 1);
  });
}

// The composite's planes side by side: each plane's wind is a walk of its own.
int32_t Wind(RenderCall& c) {
  const CaseArgs a(c);
  uint8_t* planes[4] = {};
  int32_t count = 0;
  ForEachTarget(c, kWithInk, [&](uint8_t* x, int32_t) {
    planes[count++] = x;
    return 0;
  });
  return WindEachPlane(a.mode, a.opa, planes, count, a.h, a.w, 0, 0, a.aw, a.ah, c.mask, a.p1, a.p2,
                       a.p3) < 0
             ? -1
             : 0;
}

// A single plane's frame is Param3 with Param4 and Param5 as its outer insets; the composite
// takes Param3, 4, 5 as the colours of planes 3, 4, 5 and 100, 100 as the insets. Plane 2 of a
// CMYK script is given no colour by the operation: it gets no ink there.
int32_t ColourFrame(RenderCall& c) {
  const CaseArgs a(c);
  if (c.plane != nullptr) {
    const uint8_t colour = static_cast<uint8_t>(a.p3);
    return Effects::ColorFrame(c.plane, a.h, a.w, 0, 0, a.aw, a.ah, c.mask, &colour, a.p1, a.p2,
                               a.p4, a.p5) < 0
               ? -1
               : 0;
  }
  const uint8_t colours[4] = {static_cast<uint8_t>(a.p3), static_cast<uint8_t>(a.p4),
                              static_cast<uint8_t>(a.p5), 0};
  return ForEachTarget(c, kWithInk, [&](uint8_t* x, int32_t k) {
    return Effects::ColorFrame(x, a.h, a.w, 0, 0, a.aw, a.ah, c.mask, &colours[k], a.p1, a.p2, 100,
                               100);
  });
}

// The composite's planes in one call: from one seed they may share their noise.
int32_t Noise(RenderCall& c) {
  const CaseArgs a(c);
  uint8_t* planes[4] = {};
  int32_t count = 0;
  ForEachTarget(c, kWithInk, [&](uint8_t* x, int32_t) {
    planes[count++] = x;
    return 0;
  });
  return NoiseEachPlane(a.mode, a.opa, a.p1, planes, count, c.mask, a.h, a.w, 0, 0, a.aw, a.ah,
                        a.scaleX, a.scaleY, a.p2, a.p3, a.p4, a.p5) < 0
             ? -1
             : 0;
}

int32_t Sharpen(RenderCall& c) {
  const CaseArgs a(c);
  return ForEachTarget(c, kWithInk, [&](uint8_t* x, int32_t) {
    return Effects::Sharpen(a.mode, a.opa, x, c.mask, a.w, a.h, 0, 0, a.aw, a.ah, a.p1);
  });
}

int32_t UnSharpMask(RenderCall& c) {
  const CaseArgs a(c);
  return ForEachTarget(c, kWithInk, [&](uint8_t* x, int32_t) {
    return Effects::UnSharpMask(a.mode, a.opa, x, c.mask, a.w, a.h, 0, 0, a.aw, a.ah, a.p1, a.p2,
                                a.p3);
  });
}

int32_t DeBlur(RenderCall& c) {
  const CaseArgs a(c);
  return ForEachTarget(c, kWithInk, [&](uint8_t* x, int32_t) {
    return Effects::DeBlur(a.mode, a.opa, x, c.mask, a.h, a.w, 0, 0, a.aw, a.ah, a.p1, a.p2);
  });
}

int32_t DeNoise(RenderCall& c) {
  const CaseArgs a(c);
  return ForEachTarget(c, kWithInk, [&](uint8_t* x, int32_t) {
    return Effects::DeNoise(a.mode, a.opa, x, c.mask, a.h, a.w, 0, 0, a.aw, a.ah, a.p1, a.p2, a.p3);
  });
}

int32_t HighPass(RenderCall& c) {
  const CaseArgs a(c);
  return ForEachTarget(c, kWithInk, [&](uint8_t* x, int32_t) {
    return Effects::HighPass(a.mode, a.opa, x, c.mask, a.w, a.h, 0, 0, a.aw, a.ah, a.p1, a.p2);
  });
}

int32_t SinusWave(RenderCall& c) {
  const CaseArgs a(c);
  return ForEachTarget(c, kWithInk, [&](uint8_t* x, int32_t) {
    return Effects::SinusWave(a.mode, a.opa, x, c.mask, a.h, a.w, 0, 0, a.aw, a.ah, a.p1, a.p2,
                              a.p3, a.p4, a.p5);
  });
}

// The three-plane operations take the composite planes in one call.
struct Three {
  uint8_t* p[3];
  int16_t count;
};

Three ThreeOf(const RenderCall& c) {
  if (c.plane != nullptr) return {{c.plane, nullptr, nullptr}, 1};
  return {{CompositePlane(c, 3), CompositePlane(c, 4), CompositePlane(c, 5)}, 3};
}

// A count of 0 takes no samples: the blur leaves the planes as they are.
int32_t RadialBlur(RenderCall& c) {
  const CaseArgs a(c);
  if (a.p1 == 0) return 0;
  const Three t = ThreeOf(c);
  return Effects::RadialBlur(a.mode, a.opa, t.p[0], t.p[1], t.p[2], a.h, a.w, 0, 0, a.aw, a.ah,
                             c.mask, t.count, a.p1, a.p2, a.p3, a.p4) < 0
             ? -1
             : 0;
}

// A streak of no length leaves the planes as they are.
int32_t MotionBlur(RenderCall& c) {
  const CaseArgs a(c);
  if (a.p1 == 0) return 0;
  const Three t = ThreeOf(c);
  return Effects::MotionBlur(a.mode, a.opa, t.p[0], t.p[1], t.p[2], a.h, a.w, 0, 0, a.aw, a.ah,
                             c.mask, t.count, a.p1, a.p2) < 0
             ? -1
             : 0;
}

// The composite's planes side by side: each plane's despeckle is a serial walk of its own.
int32_t Despeckle(RenderCall& c) {
  const CaseArgs a(c);
  uint8_t* planes[3] = {};
  int32_t count = 0;
  ForEachTarget(c, kWithoutInk, [&](uint8_t* x, int32_t) {
    planes[count++] = x;
    return 0;
  });
  return DespeckleEachPlane(a.mode, a.opa, planes, count, a.h, a.w, 0, 0, a.aw, a.ah, c.mask, a.p1,
                            a.p2) < 0
             ? -1
             : 0;
}

// Save (0) into or recall (1) from the swap file of slot Param1. A save fails when the slot
// cannot be kept (its file not written); a recall of a slot that holds nothing, or that holds
// planes of another size, leaves the planes blended with themselves, as it always has.
template <int16_t kFileMode>
int32_t SaveRecall(RenderCall& c) {
  const CaseArgs a(c);
  const Three t = ThreeOf(c);
  if (Effects::SaveRecallBuf(a.mode, a.opa, t.p[0], t.p[1], t.p[2], a.h, a.w, 0, 0, a.aw, a.ah,
                             c.mask, t.count, kFileMode, a.p1) >= 0)
    return 0;
  if (kFileMode == 0) c.failure = StepFailure::kFileUnwritable;
  return -1;
}

// Dilation (7) and erosion (8) with scaled radii; per-plane calls take one channel.
template <int32_t (*Rank)(int16_t, int16_t, unsigned char*, int32_t, int32_t, int32_t, int32_t,
                          int32_t, int32_t, int16_t, int16_t, int16_t, const unsigned char*)>
int32_t RankExtreme(RenderCall& c) {
  const CaseArgs a(c);
  const int16_t rx = ScaledDistance(a.p1, a.scaleX), ry = ScaledDistance(a.p2, a.scaleY);
  return ForEachTarget(c, kWithInk, [&](uint8_t* x, int32_t) {
    return Rank(a.mode, a.opa, x, a.h, a.w, 0, 0, a.aw, a.ah, rx, ry, 1, c.mask);
  });
}

int32_t Emboss(RenderCall& c) {
  const CaseArgs a(c);
  const int16_t depth = ScaledDistance(a.p1, a.scaleX);
  // A relief the operation does not draw leaves the planes as they are.
  if (depth < 0 || depth > kEmbossDepthLimit) return 0;
  return ForEachTarget(c, kWithInk, [&](uint8_t* x, int32_t) {
    return Effects::Emboss(a.mode, a.opa, x, c.mask, a.h, a.w, 0, 0, a.aw, a.ah, depth, 1, a.p2,
                           a.p3, a.p4);
  });
}

int32_t FindEdge(RenderCall& c) {
  const CaseArgs a(c);
  const int16_t depth = ScaledDistance(a.p2, a.scaleX);
  // The edges are found through reliefs of that depth: one the relief does not draw finds none.
  if (depth < 0 || depth > kEmbossDepthLimit) return 0;
  return ForEachTargetInTurn(c, kWithInk, [&](uint8_t* x, int32_t) {
    return Effects::FindEdge(a.mode, a.opa, x, c.mask, a.h, a.w, 0, 0, a.aw, a.ah, a.p1, depth,
                             a.p3);
  });
}

// Param2 is the radius and Param1 the number of passes.
int32_t Median(RenderCall& c) {
  const CaseArgs a(c);
  return ForEachTarget(c, kWithInk, [&](uint8_t* x, int32_t) {
    return Effects::Median(a.mode, a.opa, x, a.h, a.w, 0, 0, a.aw, a.ah, a.p2, a.p1, c.mask);
  });
}

// The composite thresholds the mean of planes 3, 4, 5 and draws into all three.
int32_t Skeleton(RenderCall& c) {
  const CaseArgs a(c);
  const Three t = ThreeOf(c);
  return Effects::Skeleton(a.mode, a.opa, t.count, t.p[0], t.p[1], t.p[2], a.h, a.w, 0, 0, a.aw,
                           a.ah, c.mask, a.p1) < 0
             ? -1
             : 0;
}

}  // namespace

void RegisterFilterCases() {
  RegisterRenderCase(7, RankExtreme<&Effects::Maxima>);
  RegisterRenderCase(8, RankExtreme<&Effects::Minima>);
  RegisterRenderCase(10, FillColour);
  RegisterRenderCase(11, Blur);
  RegisterRenderCase(32, Wind);
  RegisterRenderCase(12, Emboss);
  RegisterRenderCase(37, ColourFrame);
  RegisterRenderCase(44, FindEdge);
  RegisterRenderCase(55, Median);
  RegisterRenderCase(63, Noise);
  // Sharpen, unsharp mask, deblur and high pass have cases, but the render loop does not
  // route their numbers: a stored script with them renders as it always did, without them.
  RegisterRenderCase(65, Sharpen);
  RegisterRenderCase(66, UnSharpMask);
  RegisterRenderCase(67, DeBlur);
  RegisterRenderCase(68, DeNoise);
  RegisterRenderCase(70, HighPass);
  RegisterRenderCase(71, SinusWave);
  RegisterRenderCase(72, Median);
  RegisterRenderCase(83, RadialBlur);
  RegisterRenderCase(84, MotionBlur);
  RegisterRenderCase(87, Despeckle);
  RegisterRenderCase(88, Skeleton);
  RegisterRenderCase(96, SaveRecall<0>);
  RegisterRenderCase(97, SaveRecall<1>);
}
