// Letter outlines through FT_Outline_Decompose on the shared face.
#include "platform/draw/glyph_outline.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <cmath>

#include "platform/draw/font_face.h"

namespace plat::draw {
namespace {

constexpr float kUnit = 1.0f / 64.0f;  // 26.6 fixed point to pixels

// Collects the decomposed contours, turning FreeType's y up into y down.
struct Collector {
  GlyphOutline* out;
  float lastX = 0.0f, lastY = 0.0f;

  static float X(const FT_Vector* v) { return static_cast<float>(v->x) * kUnit; }
  static float Y(const FT_Vector* v) { return -static_cast<float>(v->y) * kUnit; }

  void Add(float c1x, float c1y, float c2x, float c2y, float x, float y, bool line) {
    if (out->contours.empty()) return;
    GlyphSegment s;
    s.c1x = c1x;
    s.c1y = c1y;
    s.c2x = c2x;
    s.c2y = c2y;
    s.x = x;
    s.y = y;
    s.line = line;
    out->contours.back().segments.push_back(s);
    lastX = x;
    lastY = y;
  }
};

Collector& Of(void* user) { return *static_cast<Collector*>(user); }

int MoveTo(const FT_Vector* to, void* user) {
  Collector& c = Of(user);
  GlyphContour contour;
  contour.startX = Collector::X(to);
  contour.startY = Collector::Y(to);
  c.out->contours.push_back(contour);
  c.lastX = contour.startX;
  c.lastY = contour.startY;
  return 0;
}

int LineTo(const FT_Vector* to, void* user) {
  Collector& c = Of(user);
  const float x = Collector::X(to), y = Collector::Y(to);
  c.Add(c.lastX, c.lastY, x, y, x, y, true);
  return 0;
}

// The quadratic P0, Q, P1 is the cubic P0, P0 + 2/3 (Q - P0), P1 + 2/3 (Q - P1),
// P1: the same curve, not an approximation of it.
int ConicTo(const FT_Vector* control, const FT_Vector* to, void* user) {
  Collector& c = Of(user);
  const float qx = Collector::X(control), qy = Collector::Y(control);
  const float x = Collector::X(to), y = Collector::Y(to);
  c.Add(c.lastX + 2.0f * (qx - c.lastX) / 3.0f, c.lastY + 2.0f * (qy - c.lastY) / 3.0f,
        x + 2.0f * (qx - x) / 3.0f, y + 2.0f * (qy - y) / 3.0f, x, y, false);
  return 0;
}

int CubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
  Collector& c = Of(user);
  c.Add(Collector::X(c1), Collector::Y(c1), Collector::X(c2), Collector::Y(c2), Collector::X(to),
        Collector::Y(to), false);
  return 0;
}

// FreeType closes every contour with a segment back to its start; when the
// contour already listed its start again that segment has no length.
void DropEmptyClosings(GlyphOutline* out) {
  for (GlyphContour& c : out->contours) {
    if (c.segments.size() < 2) continue;
    const GlyphSegment& last = c.segments.back();
    const GlyphSegment& before = c.segments[c.segments.size() - 2];
    if (last.line && last.x == before.x && last.y == before.y) c.segments.pop_back();
  }
}

}  // namespace

bool LoadGlyphOutline(uint32_t charCode, float pixelSize, GlyphOutline* out) {
  if (out == nullptr) return false;
  *out = GlyphOutline();
  const std::lock_guard<std::mutex> hold(SharedFaceLock());
  FT_Face face = SharedFace();
  if (face == nullptr || !(pixelSize > 0.0f) || pixelSize > 10000.0f) return false;
  const auto size = static_cast<FT_F26Dot6>(std::lround(pixelSize * 64.0f));
  if (FT_Set_Char_Size(face, 0, size, 72, 72) != 0) return false;
  const FT_UInt index = FT_Get_Char_Index(face, charCode);
  if (FT_Load_Glyph(face, index, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0) return false;
  const FT_GlyphSlot g = face->glyph;
  out->advance = static_cast<float>(g->advance.x) * kUnit;
  out->hasGlyph = index != 0;
  if (index == 0 || g->format != FT_GLYPH_FORMAT_OUTLINE) return true;

  FT_BBox box;
  FT_Outline_Get_CBox(&g->outline, &box);
  out->xMin = static_cast<float>(box.xMin) * kUnit;
  out->xMax = static_cast<float>(box.xMax) * kUnit;
  out->yMin = -static_cast<float>(box.yMax) * kUnit;
  out->yMax = -static_cast<float>(box.yMin) * kUnit;

  FT_Outline_Funcs funcs;
  funcs.move_to = MoveTo;
  funcs.line_to = LineTo;
  funcs.conic_to = ConicTo;
  funcs.cubic_to = CubicTo;
  funcs.shift = 0;
  funcs.delta = 0;
  Collector collector{out};
  if (FT_Outline_Decompose(&g->outline, &funcs, &collector) != 0) {
    *out = GlyphOutline();
    return false;
  }
  DropEmptyClosings(out);
  return true;
}

}  // namespace plat::draw
