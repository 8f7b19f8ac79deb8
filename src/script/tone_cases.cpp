// The table and tone cases of the one-plane dispatch. Five effects map every sample through
// a 256-entry table built here from the parameters (invert, curve, levels, posterize,
// brightness) and applied by Etch; the others hand the parameters to a tone or colour
// operation as they stand. Table entries keep the low 8 bits of the computed value; only
// brightness clamps.
#include <algorithm>
#include <array>

#include "operations/effects.h"
#include "script/render_cases.h"

namespace {

using Table = std::array<uint8_t, 256>;

Table InvertTable() {
  Table t;
  for (int32_t i = 0; i < 256; ++i) t[i] = static_cast<uint8_t>(255 - i);
  return t;
}

// Straight segments through (0, p1), (64, p2), (128, p3), (192, p4), (256, p5). The divisions
// truncate toward zero, so a falling segment stays nearer its start value; the point at 256
// lies outside the table, so entry 255 falls one 64th short of p5.
Table CurveTable(const CaseArgs& a) {
  const int32_t p[5] = {a.p1, a.p2, a.p3, a.p4, a.p5};
  Table t;
  for (int32_t i = 0; i < 256; ++i) {
    const int32_t seg = i == 0 ? 0 : (i - 1) / 64;  // entries 64, 128, 192 end a segment
    const int32_t k = i - 64 * seg;
    t[i] = static_cast<uint8_t>(p[seg] + (k * (p[seg + 1] - p[seg])) / 64);
  }
  return t;
}

// Black point b and white point t, in either order. With b = t there is no ramp: the
// entries below the point are 0 and the rest 255, never a division by zero.
Table LevelsTable(const CaseArgs& a) {
  const int32_t b = std::min(a.p1, a.p2), top = std::max(a.p1, a.p2);
  Table t;
  for (int32_t i = 0; i < 256; ++i) {
    if (i < b)
      t[i] = 0;
    else if (i > top || top == b)
      t[i] = 255;
    else
      t[i] = static_cast<uint8_t>(((i - b) * 255) / (top - b));
  }
  return t;
}

// n levels. One level or fewer leaves every sample as it is; more than 255 posterizes as 255.
Table PosterizeTable(const CaseArgs& a) {
  Table t;
  const int32_t n = std::min<int32_t>(a.p1, 255);
  if (n <= 1) {
    for (int32_t i = 0; i < 256; ++i) t[i] = static_cast<uint8_t>(i);
    return t;
  }
  const int32_t outStep = 255 / (n - 1), inStep = 255 / n;
  for (int32_t i = 0; i < 256; ++i) t[i] = static_cast<uint8_t>(std::min(255, outStep * (i / inStep)));
  return t;
}

Table BrightnessTable(const CaseArgs& a) { return BrightnessRow(a.p1, a.rgb); }

// Etch with the table's row on the destination, or on planes 3, 4, 5 and (CMYK) 2.
int32_t EtchWith(const RenderCall& c, const Table& row) {
  const CaseArgs a(c);
  // Four rows, as for an interleaved composite; a one-sample plane reads row 0 only.
  std::array<uint8_t, 4 * 256> tables;
  for (int32_t r = 0; r < 4; ++r) std::copy(row.begin(), row.end(), tables.begin() + 256 * r);
  return ForEachTarget(c, kWithInk, [&](uint8_t* x, int32_t) {
    return Effects::Etch(a.mode, a.opa, x, a.h, a.w, 0, 0, a.aw, a.ah, 1, c.mask, tables.data());
  });
}

int32_t Invert(RenderCall& c) { return EtchWith(c, InvertTable()); }
int32_t Curve(RenderCall& c) { return EtchWith(c, CurveTable(CaseArgs(c))); }
int32_t Levels(RenderCall& c) { return EtchWith(c, LevelsTable(CaseArgs(c))); }
int32_t Posterize(RenderCall& c) { return EtchWith(c, PosterizeTable(CaseArgs(c))); }
int32_t Brightness(RenderCall& c) { return EtchWith(c, BrightnessTable(CaseArgs(c))); }

int32_t Contrast(RenderCall& c) {
  const CaseArgs a(c);
  return ForEachTarget(c, kWithoutInk, [&](uint8_t* x, int32_t) {
    return Effects::AdjContrast(a.mode, a.opa, x, a.h, a.w, 0, 0, a.aw, a.ah, 1, c.mask, a.p1, a.p2,
                                a.p3);
  });
}

// Hue, saturation and lightness work on the composite whatever the destination; a single
// destination plane stays as the frame prepared it.
int32_t HueSaturation(RenderCall& c) {
  const CaseArgs a(c);
  return Effects::HSLBlend(a.mode, a.opa, a.h, a.w, CompositePlane(c, 3), CompositePlane(c, 4),
                           CompositePlane(c, 5), a.rgb == 0 ? CompositePlane(c, 2) : nullptr,
                           c.mask, 0, 0, a.aw, a.ah, a.p1, a.p2, a.p3, a.rgb) < 0
             ? -1
             : 0;
}

int32_t ColourWave(RenderCall& c) {
  if (c.op->LutVign == nullptr) return 0;
  const CaseArgs a(c);
  const RampTables r = RampTablesOf(*c.op->LutVign);
  if (c.plane != nullptr)
    return Effects::ColorWave(a.mode, a.opa, c.plane, a.h, a.w, 0, 0, a.aw, a.ah, a.rgb,
                              c.planeCount, c.mask, r.data(), a.p2, a.p1, 0) < 0
               ? -1
               : 0;
  return Effects::ColorWave(a.mode, a.opa, CompositePlane(c, 3), CompositePlane(c, 4),
                            CompositePlane(c, 5), a.rgb == 0 ? CompositePlane(c, 2) : nullptr, a.h,
                            a.w, 0, 0, a.aw, a.ah, a.rgb, c.planeCount, c.mask, r.data(), a.p2,
                            a.p1) < 0
             ? -1
             : 0;
}

int32_t ChannelLevels(RenderCall& c) {
  const CaseArgs a(c);
  if (c.plane != nullptr)
    return Effects::AdjustChan(a.mode, a.opa, a.h, a.w, c.plane, c.mask, 0, 0, a.aw, a.ah, a.p1,
                               a.p4) < 0
               ? -1
               : 0;
  // Its work planes refused, the shift changes nothing and says nothing.
  Effects::AdjustRGBChan(a.mode, a.opa, a.h, a.w, CompositePlane(c, 3), CompositePlane(c, 4),
                         CompositePlane(c, 5), c.mask, 0, 0, a.aw, a.ah, a.p1, a.p2, a.p3, a.p4,
                         a.p5);
  return 0;
}

int32_t PosterizeColours(RenderCall& c) {
  const CaseArgs a(c);
  if (c.plane != nullptr)
    return Effects::PosterizeWU(a.mode, a.opa, 1, a.h, a.w, c.plane, c.plane, c.plane, 0, 0, a.aw,
                                a.ah, c.mask, a.p1) < 0
               ? -1
               : 0;
  return Effects::PosterizeWU(a.mode, a.opa, 3, a.h, a.w, CompositePlane(c, 3),
                              CompositePlane(c, 4), CompositePlane(c, 5), 0, 0, a.aw, a.ah, c.mask,
                              a.p1) < 0
             ? -1
             : 0;
}

// The ramp's colour table 1 on a single plane; tables 1, 2, 3 on planes 3, 4, 5.
int32_t ColourCircle(RenderCall& c) {
  if (c.op->LutVign == nullptr) return 0;
  const CaseArgs a(c);
  const RampTables r = RampTablesOf(*c.op->LutVign);
  return ForEachTargetInTurn(c, kWithoutInk, [&](uint8_t* x, int32_t k) {
    return Effects::ColorCirc(a.mode, a.opa, x, a.h, a.w, 0, 0, a.aw, a.ah,
                              static_cast<int16_t>(k + 1), c.mask, r.data(), a.p1, a.p2, a.p3, a.p4,
                              a.p5, 5);
  });
}

int32_t NoiseOrGrain(RenderCall& c) {
  const CaseArgs a(c);
  if (c.plane != nullptr)
    return Effects::Noise(a.mode, a.opa, 0, c.plane, c.mask, a.h, a.w, 0, 0, a.aw, a.ah, a.scaleX,
                          a.scaleY, 0, 0, 0, 0) < 0
               ? -1
               : 0;
  return Effects::FilmGrain(a.mode, a.opa, a.h, a.w, CompositePlane(c, 3), CompositePlane(c, 4),
                            CompositePlane(c, 5), 0, 0, a.aw, a.ah, c.mask, a.p1, a.p2, a.p3, a.p4,
                            a.p5, 0) < 0
             ? -1
             : 0;
}

// The response map coloured through the ramp.
int32_t Convolution(RenderCall& c) { return RampColouredCase(c, &Effects::Convolution); }

}  // namespace

// CMYK samples are ink: more brightness is less ink, so the shift turns over.
std::array<uint8_t, 256> BrightnessRow(int16_t shift, int16_t rgb) {
  const int32_t d = rgb == 0 ? -shift : shift;
  std::array<uint8_t, 256> t;
  for (int32_t i = 0; i < 256; ++i) t[i] = static_cast<uint8_t>(std::clamp(i + d, 0, 255));
  return t;
}

void RegisterToneCases() {
  RegisterRenderCase(9, Invert);
  RegisterRenderCase(13, Curve);
  RegisterRenderCase(14, Levels);
  RegisterRenderCase(15, Posterize);
  RegisterRenderCase(16, Brightness);
  RegisterRenderCase(17, Contrast);
  RegisterRenderCase(18, HueSaturation);
  RegisterRenderCase(29, ColourWave);
  RegisterRenderCase(60, ChannelLevels);
  RegisterRenderCase(78, PosterizeColours);
  RegisterRenderCase(79, ColourCircle);
  RegisterRenderCase(108, Convolution);
  RegisterRenderCase(122, NoiseOrGrain);
}
