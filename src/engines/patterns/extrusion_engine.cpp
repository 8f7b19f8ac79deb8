#include "engines/patterns/extrusion_engine.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "app/core/colour_spaces.h"
#include "app/core/memory_manager.h"
#include "app/core/plane_geometry.h"
#include "app/core/sample_clamp.h"
#include "engines/records/session_defaults.h"
#include "platform/memory/block.h"
#include "platform/random/random.h"
#include "script/param_block.h"
#include "script/render_cases.h"

namespace {

constexpr int16_t kXTrudeKind = 16;
constexpr int32_t kDefaultSegment = 30;

template <class T>
T* NewItems(int32_t n) {
  return static_cast<T*>(std::calloc(static_cast<size_t>(std::max(n, 1)), sizeof(T)));
}

uint8_t Byte(int32_t v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

// The arrays of one entry, multipliers at 255 and offsets at 0; false when refused.
bool AllocateEntry(outlist& e, int32_t n) {
  e.n = n;
  e.offsets = NewItems<int16_t>(n);
  e.multipliers = NewItems<int16_t>(n);
  e.brightness = NewItems<int16_t>(n);
  e.shade = NewItems<int16_t>(n);
  e.angle = NewItems<int16_t>(n);
  e.red = NewItems<uint8_t>(n);
  e.green = NewItems<uint8_t>(n);
  e.blue = NewItems<uint8_t>(n);
  e.four = NewItems<uint8_t>(n);
  e.front = NewItems<OutPoint>(n);
  e.back = NewItems<OutPoint>(n);
  if (!e.offsets || !e.multipliers || !e.brightness || !e.shade || !e.angle || !e.red ||
      !e.green || !e.blue || !e.four || !e.front || !e.back)
    return false;
  std::fill(e.multipliers, e.multipliers + n, int16_t{255});
  std::fill(e.four, e.four + n, uint8_t{255});
  return true;
}

// Segments of `segment` points, each running linearly from the previous target to a new
// one: 255 - (r mod range) from the random source, or, without a range, 0 then 230.
void FillBrightness(outlist& e, int32_t segment, int32_t range) {
  if (segment <= 0) segment = kDefaultSegment;
  auto level = [range] {
    return range != 0 ? 255 - (plat::Random() & 0xFFFF) % range : 230;
  };
  int32_t previous = range != 0 ? level() : 0;
  for (int32_t start = 0; start < e.n; start += segment) {
    const int32_t target = level();
    const int32_t end = std::min(start + segment, e.n);
    for (int32_t i = start; i < end; ++i)
      e.brightness[i] = static_cast<int16_t>(previous + (target - previous) * (i - start) /
                                             (end - start));
    previous = target;
  }
}

// Whole degrees of the direction from a to b, folded into 0..180.
int32_t FoldedAngle(const OutPoint& a, const OutPoint& b) {
  float radians = 0.0f;
  A_ang_2point(static_cast<float>(a.x), static_cast<float>(a.y), static_cast<float>(b.x),
               static_cast<float>(b.y), &radians);
  const auto degrees = static_cast<int32_t>(std::lround(radians * 180.0 / 3.141592653589793));
  return degrees > 179 ? 360 - degrees : degrees;
}

// 0 along the light, full strength across it. 2.55 is a double, so full strength 100 gives
// 254, not 255; stored renders were made so.
// In 64 bits, and the shade held to its 16-bit word: a record's light angle and strength at
// the ends of their range overflow 32 bits on the way.
int16_t LightShade(int32_t angle, int32_t light, int32_t strength) {
  int64_t d = std::abs(int64_t{angle} - light);
  if (d > 180) d = 360 - d;
  const int64_t along = std::clamp<int64_t>(d <= 90 ? d : 180 - d, INT32_MIN, INT32_MAX);
  return TruncToInt16(static_cast<double>(along * strength / 90) * 2.55);
}

const uint8_t* Sample(const uint8_t* plane, int32_t width, int32_t height, OutPoint p) {
  return plane + static_cast<size_t>(std::clamp(p.y, 0, height - 1)) * width +
         std::clamp(p.x, 0, width - 1);
}

// Pairs, distance, shade and colours of one outline (front count nf, back count nb).
int32_t DescribeOutline(outlist& e, const pixel_outline_type& f, const pixel_outline_type& b,
                        int32_t height, int32_t width, const XTrudePar& r,
                        const uint8_t* const copies[3], const uint8_t* const ramp[4]) {
  const auto nf = static_cast<int32_t>(f.length), nb = static_cast<int32_t>(b.length);
  const int32_t n = std::max(nf, nb), m = std::min(nf, nb);
  auto stored = [height](const coords& c) {
    return OutPoint{static_cast<int32_t>(c.x), height - static_cast<int32_t>(c.y)};
  };
  auto partner = [n, m](int32_t i) {
    return std::min(static_cast<int32_t>(static_cast<double>(i) * m / n + 0.5), m - 1);
  };
  int32_t longest = 0;
  for (int32_t i = 0; i < n; ++i) {
    const bool frontLonger = nf >= nb;
    e.front[i] = stored(f.data[frontLonger ? i : partner(i)]);
    e.back[i] = stored(b.data[frontLonger ? partner(i) : i]);
    const double dx = e.back[i].x - e.front[i].x, dy = e.back[i].y - e.front[i].y;
    longest = std::max(longest, static_cast<int32_t>(std::sqrt(dx * dx + dy * dy)));
  }
  const int32_t mode = r.w[kXtrColourMode];
  for (int32_t i = 0; i < n; ++i) {
    e.angle[i] = static_cast<int16_t>(FoldedAngle(e.front[i], e.front[(i + 8) % n]));
    e.shade[i] = LightShade(e.angle[i], r.w[kXtrLightAngle], r.w[kXtrLightStrength]);
    uint8_t* rgb[3] = {e.red, e.green, e.blue};
    if (mode == 0) {
      for (int k = 0; k < 3; ++k)
        if (copies[k] != nullptr) rgb[k][i] = *Sample(copies[k], width, height, e.front[i]);
    } else if (mode == 2) {
      const auto at = static_cast<int32_t>(static_cast<double>(i) * 255 / n + 0.5);
      for (int k = 0; k < 3; ++k) rgb[k][i] = ramp[k + 1][std::min(at, 255)];
    }
  }
  return longest;
}

// A limit tested without sign: a negative value also becomes the limit.
int32_t Limited(int32_t v, int32_t limit) {
  return static_cast<uint32_t>(v) > static_cast<uint32_t>(limit) ? limit : v;
}

void ClearCover(uint8_t* cover, int32_t height, int32_t width, int32_t n, const OutPoint* p) {
  for (int32_t i = 0; i < n; ++i) *const_cast<uint8_t*>(Sample(cover, width, height, p[i])) = 0;
}

struct Traced {
  pixel_outline_list_type front{nullptr, 0};
  pixel_outline_list_type back{nullptr, 0};
  outlist* list = nullptr;
  int32_t count = 0;
  uint8_t* cover = nullptr;
  OutPoint* scratch = nullptr;
  ~Traced() {
    free_pixel_outline_list(&front);
    free_pixel_outline_list(&back);
    if (list != nullptr) FreeOutlist(list, count);
    std::free(cover);
    std::free(scratch);
  }
};

// Traces the shape, makes the outline list and a cover plane at 255. False when refused.
bool TraceShape(Traced& t, const uint8_t* shape, int32_t height, int32_t width) {
  int16_t abort = 0;
  t.front = find_outline_pixels(shape, height, width, 0, &abort);
  if (abort == -1) return false;
  t.count = static_cast<int32_t>(t.front.length);
  t.list = static_cast<outlist*>(std::malloc(sizeof(outlist) * std::max(t.count, 1)));
  if (t.list == nullptr) return false;
  InitOutlist(t.list, t.count);
  t.cover = NewItems<uint8_t>(static_cast<int32_t>(int64_t{width} * height));
  if (t.cover == nullptr) return false;
  std::memset(t.cover, 255, static_cast<size_t>(width) * height);
  return true;
}

}  // namespace

void InitOutlist(outlist* list, int32_t count) {
  for (int32_t i = 0; i < count; ++i) list[i] = outlist{};
}

void FreeOutlist(outlist* list, int32_t count) {
  if (list == nullptr) return;
  for (int32_t i = 0; i < count; ++i) {
    outlist& e = list[i];
    for (void* p : {static_cast<void*>(e.offsets), static_cast<void*>(e.multipliers),
                    static_cast<void*>(e.brightness), static_cast<void*>(e.shade),
                    static_cast<void*>(e.angle), static_cast<void*>(e.red),
                    static_cast<void*>(e.green), static_cast<void*>(e.blue),
                    static_cast<void*>(e.four), static_cast<void*>(e.front),
                    static_cast<void*>(e.back)})
      std::free(p);
  }
  std::free(list);
}

namespace {

template <class ColourOf>
void DrawPoints(int16_t blendMode, int16_t opacity, uint8_t* plane, uint8_t* cover,
                int32_t height, int32_t width, int16_t clear, int32_t n, const OutPoint* points,
                const int16_t* multipliers, const int16_t* offsets, ColourOf colour) {
  if (plane == nullptr || width <= 0 || height <= 0) return;
  for (int32_t i = 0; i < n; ++i) {
    uint8_t& value = *const_cast<uint8_t*>(Sample(plane, width, height, points[i]));
    const int32_t v = Byte(colour(i) + offsets[i]);
    const uint8_t w = Byte(v * multipliers[i] / 255);
    int32_t a = opacity;
    // The first outline to reach a pixel covers it: with `clear` 1 its cover byte goes to 0,
    // and later (deeper) layers landing there are drawn with no weight.
    if (cover != nullptr) {
      uint8_t& c = *const_cast<uint8_t*>(Sample(cover, width, height, points[i]));
      a = opacity * c / 255;
      if (clear == 1) c = 0;
    }
    uint8_t b = value;  // a mode without a case keeps the pixel
    X_optionRPart(&b, static_cast<uint32_t>(blendMode + 1), value, w);
    value = static_cast<uint8_t>(((255 - a) * value + a * b) / 255);
  }
}

}  // namespace

void DrawOutline(int16_t blendMode, int16_t opacity, uint8_t* plane, uint8_t* cover,
                 int32_t height, int32_t width, int16_t clear, int32_t n, const OutPoint* points,
                 const int16_t* multipliers, const int16_t* offsets, const uint8_t* colours) {
  DrawPoints(blendMode, opacity, plane, cover, height, width, clear, n, points, multipliers,
             offsets, [colours](int32_t i) { return int32_t{colours[i]}; });
}

void DrawOutlineCol(int16_t blendMode, int16_t opacity, uint8_t* plane, uint8_t* cover,
                    int32_t height, int32_t width, int16_t clear, int32_t n,
                    const OutPoint* points, const int16_t* multipliers, const int16_t* offsets,
                    uint8_t colour) {
  DrawPoints(blendMode, opacity, plane, cover, height, width, clear, n, points, multipliers,
             offsets, [colour](int32_t) { return int32_t{colour}; });
}

void ChanDrawOutline(int32_t, const pixel_outline_list_type* traced, const outlist* list,
                     int32_t dx, int32_t dy, int32_t lastChannel, const int32_t colours[4],
                     uint8_t* shape, uint8_t* copy0, uint8_t* copy1, uint8_t* copy2,
                     uint8_t* cover, int32_t height, int32_t width) {
  uint8_t* planes[4] = {shape, copy0, copy1, copy2};
  for (int32_t c = 0; c <= std::min(lastChannel, 3); ++c) {
    for (uint32_t k = 0; k < traced->length; ++k) {
      const outlist& e = list[k];
      if (e.n == 0 || e.front == nullptr) continue;
      const pixel_outline_type& o = traced->data[k];
      for (int32_t i = 0; i < e.n; ++i) {
        const int32_t y = static_cast<int32_t>(o.data[i].y) + dy;
        e.front[i] = {Limited(static_cast<int32_t>(o.data[i].x) + dx, width),
                      Limited(height - y, height)};
      }
      const int16_t clear = c == 3 ? 1 : 0;
      const auto colour = static_cast<uint8_t>(colours[c] & 0xFF);
      if (planes[c] == nullptr) {
        if (clear == 1) ClearCover(cover, height, width, e.n, e.front);
        continue;
      }
      DrawOutlineCol(0, 255, planes[c], cover, height, width, clear, e.n, e.front,
                     c == 0 ? e.brightness : e.multipliers, c == 0 ? e.offsets : e.shade,
                     colour);
    }
  }
}

int32_t ExtrudeBackLightExpand(int16_t planeCount, uint8_t* shape, uint8_t* copy0,
                               uint8_t* copy1, uint8_t* copy2, int32_t height, int32_t width,
                               int32_t, int32_t, int32_t, int32_t, int16_t,
                               const XTrudePar* record, float* fx, float* fy, float* bx,
                               float* by) {
  if (record == nullptr || shape == nullptr || width <= 0 || height <= 0) return -1;
  if (planeCount == 1) copy1 = copy2 = nullptr;  // one plane: no second or third copy
  Traced t;
  if (!TraceShape(t, shape, height, width)) return -1;
  // The mapper runs its u along corners 0 to 1, while the record's corners go up the left
  // side first: handed over as 0, 3, 2, 1 the shape keeps its orientation rather than being
  // mirrored across its diagonal.
  const float qx[4] = {bx[0], bx[3], bx[2], bx[1]}, qy[4] = {by[0], by[3], by[2], by[1]};
  if (newcopy_pixel_outline_list(&t.front, &t.back) != 0 ||
      DistortInQuadOutlineList(&t.front, &t.back, fx, fy, qx, qy) != 0)
    return -1;
  const RampTables lut = RampTablesOf(record->ramp);
  const uint8_t* ramp[4] = {lut.data(), lut.data() + 256, lut.data() + 512, lut.data() + 768};
  const uint8_t* copies[3] = {copy0, copy1, copy2};
  int32_t longest = 0, most = 0;
  for (int32_t k = 0; k < t.count; ++k) {
    const pixel_outline_type& f = t.front.data[k];
    const pixel_outline_type& b = t.back.data[k];
    if (f.length == 0 || b.length == 0) continue;  // nothing to draw from
    outlist& e = t.list[k];
    if (!AllocateEntry(e, static_cast<int32_t>(std::max(f.length, b.length)))) return -1;
    FillBrightness(e, record->w[kXtrSegment], record->w[kXtrVariation]);
    e.longest = DescribeOutline(e, f, b, height, width, *record, copies, ramp);
    longest = std::max(longest, e.longest);
    most = std::max(most, e.n);
  }
  t.scratch = NewItems<OutPoint>(most);
  if (t.scratch == nullptr) return -1;

  uint8_t* planes[4] = {shape, copy0, copy1, copy2};
  const int32_t mode = record->w[kXtrColourMode];
  const int32_t steps = 3 * longest;
  for (int32_t s = 0; s < steps; ++s) {
    const auto depth = static_cast<int32_t>(static_cast<double>(s) * 255 / steps + 0.5);
    for (int32_t c = 0; c < 4; ++c) {
      for (int32_t k = 0; k < t.count; ++k) {
        const outlist& e = t.list[k];
        if (e.n == 0) continue;
        for (int32_t i = 0; i < e.n; ++i) {
          auto mix = [&](int32_t a, int32_t b) {
            return static_cast<int32_t>(
                static_cast<double>((steps - s) * int64_t{a} + s * int64_t{b}) / steps + 0.5);
          };
          t.scratch[i] = {Limited(mix(e.front[i].x, e.back[i].x), width),
                          Limited(mix(e.front[i].y, e.back[i].y), height)};
        }
        const int16_t clear = c == 3 ? 1 : 0;
        if (planes[c] == nullptr) {
          // The layer still covers the pixel, so later (deeper) layers stay behind it.
          if (clear == 1) ClearCover(t.cover, height, width, e.n, t.scratch);
        } else if (c == 0) {
          DrawOutlineCol(0, 255, shape, t.cover, height, width, 0, e.n, t.scratch,
                         e.brightness, e.offsets, ramp[0][depth]);
        } else if (mode == 1) {
          DrawOutlineCol(0, 255, planes[c], t.cover, height, width, clear, e.n, t.scratch,
                         e.multipliers, e.shade, ramp[c][depth]);
        } else {
          const uint8_t* rgb[3] = {e.red, e.green, e.blue};
          DrawOutline(0, 255, planes[c], t.cover, height, width, clear, e.n, t.scratch,
                      e.multipliers, e.shade, rgb[c - 1]);
        }
      }
    }
  }
  return 0;
}

int32_t ExtrudeBackLightOffset(int16_t planeCount, uint8_t* shape, uint8_t* copy0,
                               uint8_t* copy1, uint8_t* copy2, int32_t height, int32_t width,
                               int32_t, int32_t, int32_t, int32_t, int16_t,
                               const XTrudePar* record, int32_t areaWidth, int32_t areaHeight) {
  if (record == nullptr || shape == nullptr || width <= 0 || height <= 0) return -1;
  if (planeCount == 1) copy1 = copy2 = nullptr;
  Traced t;
  if (!TraceShape(t, shape, height, width)) return -1;
  for (int32_t k = 0; k < t.count; ++k) {
    const auto n = static_cast<int32_t>(t.front.data[k].length);
    if (n == 0) continue;
    if (!AllocateEntry(t.list[k], n)) return -1;
    FillBrightness(t.list[k], record->w[kXtrSegment], record->w[kXtrVariation]);
    // A straight body has no side turned to the light: one shade for all of it.
  }
  const int32_t* w = record->w;
  const int64_t ddx = w[XTrudeQuadWord(0, 9)] - int64_t{w[XTrudeQuadWord(0, 0)]};
  const int64_t ddy = w[XTrudeQuadWord(1, 9)] - int64_t{w[XTrudeQuadWord(1, 0)]};
  // Each axis scales by its own area size; an area of no size leaves the offset unscaled.
  const auto dx = static_cast<int32_t>(areaWidth != 0 ? width * ddx / areaWidth : ddx);
  const auto dy = static_cast<int32_t>(areaHeight != 0 ? height * ddy / areaHeight : ddy);
  const int32_t length = std::max(std::abs(dx), std::abs(dy));
  const RampTables lut = RampTablesOf(record->ramp);
  for (int32_t r = 0; r <= length; ++r) {
    const auto along = [&](int32_t v) {
      return length == 0 ? 0 : static_cast<int32_t>(std::lround(static_cast<double>(v) * r / length));
    };
    const auto at = length == 0 ? 0 : static_cast<int32_t>(static_cast<double>(r) * 255 / length + 0.5);
    const int32_t colours[4] = {lut[at], lut[256 + at], lut[512 + at], lut[768 + at]};
    ChanDrawOutline(0, &t.front, t.list, along(dx), along(dy), 3, colours, shape, copy0, copy1,
                    copy2, t.cover, height, width);
  }
  return 0;
}

MiscXTrude::MiscXTrude() {
  if (par_.valid()) Init_XTrudePar(par_.get(), 0, SessionPhotoWidth(), SessionPhotoHeight());
}

void MiscXTrude::SetXTrudePar(const XTrudePar* par) {
  if (par_.valid() && par != nullptr) Copy_XTrudePar(par, par_.get());
}

int32_t MiscXTrude::FillBuf(int16_t blendMode, int16_t opacity, int32_t width, int32_t height,
                            int16_t planeCount, uint8_t* plane0, uint8_t* plane1,
                            uint8_t* plane2, const uint8_t* source, const uint8_t* mask,
                            int32_t areaWidth, int32_t areaHeight) {
  if (!par_.valid() || source == nullptr || plane0 == nullptr) return -1;
  if (width <= 0 || height <= 0) return 0;
  const size_t size = static_cast<size_t>(width) * static_cast<size_t>(height);
  plat::Block<uint8_t> shape(static_cast<int64_t>(size), WorkSource());
  if (!shape) return -1;
  for (size_t i = 0; i < size; ++i) shape.get()[i] = source[i] >= 128 ? 255 : 0;
  const int32_t count = planeCount == 1 ? 1 : 3;
  uint8_t* planes[3] = {plane0, count == 3 ? plane1 : nullptr, count == 3 ? plane2 : nullptr};
  plat::Block<uint8_t> copies[3];
  for (int32_t k = 0; k < 3; ++k) {
    if (planes[k] == nullptr) continue;
    copies[k] = plat::Block<uint8_t>(static_cast<int64_t>(size), WorkSource());
    if (!copies[k]) return -1;
    std::memcpy(copies[k].get(), planes[k], size);
  }

  // A photo of no size gives no unit to scale from: the area stands in for it.
  const int32_t photoW = SessionPhotoWidth() > 0 ? SessionPhotoWidth() : areaWidth;
  const int32_t photoH = SessionPhotoHeight() > 0 ? SessionPhotoHeight() : areaHeight;
  const int32_t* w = par_->w;
  float fx[4], fy[4], bx[4], by[4];
  for (int32_t k = 0; k < 4; ++k) {
    auto x = [&](int32_t quad) {
      return photoW != 0 ? static_cast<float>(areaWidth) * w[XTrudeQuadWord(2 * k, quad)] / photoW : 0.0f;
    };
    auto y = [&](int32_t quad) {
      const float scaled = photoH != 0 ? static_cast<float>(areaHeight) * w[XTrudeQuadWord(2 * k + 1, quad)] / photoH : 0.0f;
      return scaled + static_cast<float>(height - areaHeight);
    };
    fx[k] = x(0), fy[k] = y(0), bx[k] = x(9), by[k] = y(9);
  }
  // The outlines are traced at the quadrilaterals' size and the body is drawn in as many
  // steps as they are long: a damaged record's corner millions of pixels away would render
  // for hours. A corner is held to one picture's size beyond each edge, further than the
  // dialog's quadrilaterals reach.
  for (float* c : {fx, bx})
    for (int32_t k = 0; k < 4; ++k) c[k] = std::clamp(c[k], -1.0f * width, 2.0f * width);
  for (float* c : {fy, by})
    for (int32_t k = 0; k < 4; ++k) c[k] = std::clamp(c[k], -1.0f * height, 2.0f * height);
  (void)ExtrudeBackLightExpand(static_cast<int16_t>(count), shape.get(), copies[0].get(),
                               copies[1].get(), copies[2].get(), height, width, 0, 0, width - 1,
                               height - 1, 0, par_.get(), fx, fy, bx, by);

  for (size_t i = 0; i < size; ++i) {
    const int32_t m = shape.get()[i];
    const int32_t a = mask != nullptr ? mask[i] * opacity * m / 65025 : opacity * m / 255;
    for (int32_t k = 0; k < 3; ++k) {
      if (planes[k] == nullptr) continue;
      uint8_t v = planes[k][i];  // a mode without a case keeps the pixel
      X_optionRPart(&v, static_cast<uint32_t>(blendMode + 1), planes[k][i], copies[k].get()[i]);
      planes[k][i] = static_cast<uint8_t>(((255 - a) * planes[k][i] + a * v) / 255);
    }
  }
  return 0;
}

namespace {

// Planes 3, 4 and 5 for the composite, else the destination alone.
int32_t ExtrusionCase(RenderCall& c) {
  const CaseArgs a(c);
  if (c.source == nullptr) return 0;
  MiscXTrude engine;
  if (engine.record() == nullptr) return -1;
  const auto* own = static_cast<const XTrudePar*>(MulStrucRecord(c.op->MulStruc, kXTrudeKind));
  if (own != nullptr) engine.SetXTrudePar(own);
  const int32_t drawn =
      c.plane != nullptr
          ? engine.FillBuf(a.mode, a.opa, a.w, a.h, 1, c.plane, nullptr, nullptr, c.source, c.mask,
                           a.aw, a.ah)
          : engine.FillBuf(a.mode, a.opa, a.w, a.h, 3, CompositePlane(c, 3), CompositePlane(c, 4),
                           CompositePlane(c, 5), c.source, c.mask, a.aw, a.ah);
  return drawn < 0 ? -1 : 0;
}

}  // namespace

void RegisterExtrusionCase() { RegisterRenderCase(90, ExtrusionCase); }
