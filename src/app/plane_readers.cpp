// Plane readers over the session's span reader.
#include "app/plane_readers.h"

#include <algorithm>
#include <cmath>

#include "app/core/app_data.h"
#include "app/core/memory_manager.h"
#include "app/core/session_state.h"
#include "host/ApePlugInUtilities/ape_spans.h"
#include "host/ApePlugInUtilities/image_files.h"

namespace {

constexpr uint16_t kNoDisplacement = 32768;

// Planes the record counts (3 for RGB); spans come packed three bytes a pixel.
int32_t SpanPlanes(const FilterRecord& rec) { return rec.inLastPlane - rec.inFirstPlane + 1; }

void SetRowRects(FilterRecord& rec, int32_t top, int32_t left, int32_t right) {
  const Rect r{static_cast<int16_t>(top), static_cast<int16_t>(left),
               static_cast<int16_t>(top + 1), static_cast<int16_t>(right)};
  rec.inRect = r;
  rec.maskRect = r;
}

// The fourth plane's value for a pixel whose alpha byte is given.
uint8_t MaskValue(const FilterRecord& rec, uint8_t alphaByte) {
  if (rec.maskFromSource == 1) return alphaByte;
  const int32_t effect = gPer != nullptr ? gPer->currentEffect : 0;
  // Frames and the layered editor's surfaces start from a clear mask.
  if (effect == 92 || effect == 114 || effect == 115 || effect == 117) return 0;
  return 255;
}

// The colour span (4 bytes a pixel) and the alpha span of one read.
struct SpanBuffers {
  explicit SpanBuffers(int32_t pixels)
      : span(pixels > 0 ? int64_t{pixels} * 4 : -1, WorkSource()),
        alpha(pixels > 0 ? pixels : -1, WorkSource()) {}
  bool ok() const { return span && alpha; }
  plat::Block<uint8_t> span;
  plat::Block<uint8_t> alpha;
};

// The readable part of [left, right) in the image; false when empty.
bool ClampColumns(const FilterRecord& rec, int32_t left, int32_t right, int32_t* l, int32_t* r) {
  *l = std::max<int32_t>(left, 0);
  *r = std::min<int32_t>(right, rec.imageRect.right);
  return *l < *r;
}

}  // namespace

int16_t ReadOneLineBuffromPho(int16_t mode, int32_t /*width*/, int32_t /*height*/, uint8_t* red,
                              uint8_t* green, uint8_t* blue, uint8_t* /*black*/, uint8_t* alpha,
                              uint8_t* /*extra*/, int32_t left, int32_t top, int32_t right,
                              int32_t bottom) {
  if (mode != 3 || gFilterRecord == nullptr) return -1;
  FilterRecord& rec = *gFilterRecord;
  SetRowRects(rec, top, left, right);
  const int32_t planes = SpanPlanes(rec);
  // Rows past the image are skipped.
  if (rec.imageRect.bottom < top + 1) return 0;
  int32_t l = 0, r = 0;
  if (!ClampColumns(rec, left, right, &l, &r)) return 0;
  const int32_t n = r - l;
  const int32_t skip = l - left;  // plane index of the first column read
  SpanBuffers buf(n);
  if (!buf.ok()) return -1;
  if (ReadAPEimage(n, buf.span.get(), buf.alpha.get(), static_cast<int16_t>(planes), l, top, r, bottom) != 0)
    return -1;
  for (int32_t i = 0; i < n; ++i) {
    const uint8_t* px = buf.span.get() + static_cast<size_t>(i) * 3;
    const int32_t o = skip + i;
    if (red != nullptr) red[o] = px[0];
    if (green != nullptr) green[o] = px[1];
    if (blue != nullptr) blue[o] = px[2];
    if (alpha != nullptr) alpha[o] = MaskValue(rec, buf.alpha.get()[i]);
  }
  return 0;
}

int16_t ReadCharBuffromPho(int16_t mode, int16_t alphaOnly, int32_t stride, int32_t /*unused1*/,
                           uint8_t* red, uint8_t* green, uint8_t* blue, uint8_t* alpha,
                           int16_t displFlag, uint16_t* displX, uint16_t* displY, int32_t left,
                           int32_t top, int32_t right, int32_t bottom, int32_t count,
                           int32_t rows, float stepX, float stepY, int32_t outWidth,
                           int32_t /*unused2*/) {
  if (mode != 3 || gFilterRecord == nullptr) return -1;
  FilterRecord& rec = *gFilterRecord;
  SetRowRects(rec, top, left, right);
  const int32_t planes = SpanPlanes(rec);
  int32_t l = 0, r = 0;
  if (!ClampColumns(rec, left, right, &l, &r) || rows <= 0) return 0;
  const int32_t n = r - l;
  const int32_t shift = l - left;  // span index = sampled column - shift
  bottom = std::min<int32_t>(bottom, rec.imageRect.bottom);
  count = std::max(count, 0);
  SpanBuffers buf(n);
  if (!buf.ok()) return -1;
  const bool colours = alphaOnly == 0;
  const bool displ = displFlag == 1;

  float total = 0.0f;
  int32_t row = top;
  for (int32_t k = 0; k <= rows - 1 && row + 1 <= bottom; ++k) {
    const size_t at = static_cast<size_t>(rows - 1 - k) * static_cast<size_t>(stride);
    if (ReadAPEimage(n, buf.span.get(), buf.alpha.get(), static_cast<int16_t>(planes), l, row, r,
                     row + 1) != 0) {
      if (gappData != nullptr) gappData->wordZero = 1;  // the read-error word
      return -1;
    }
    for (int32_t j = 0; j < count; ++j) {
      // The product in single precision, the half added as in C: in double.
      // Kept inside the span before any conversion: a step worked out from
      // an empty size (infinite or not a number) must not reach the cast.
      const double at0 = static_cast<double>(stepX * static_cast<float>(j)) + 0.5 - shift;
      const int32_t s = !(at0 >= 1.0) ? 0 : (at0 >= n - 1 ? n - 1 : static_cast<int32_t>(at0));
      const uint8_t* px = buf.span.get() + static_cast<size_t>(s) * 3;
      if (colours) {
        if (red != nullptr) red[at + j] = px[0];
        if (green != nullptr) green[at + j] = px[1];
        if (blue != nullptr) blue[at + j] = px[2];
      }
      if (alpha != nullptr) alpha[at + j] = MaskValue(rec, buf.alpha.get()[s]);
      if (displ && displX != nullptr) displX[at + j] = kNoDisplacement;
      if (displ && displY != nullptr) displY[at + j] = kNoDisplacement;
    }
    for (int32_t j = count; j < outWidth; ++j) {
      if (colours) {
        if (red != nullptr) red[at + j] = 0;
        if (green != nullptr) green[at + j] = 0;
        if (blue != nullptr) blue[at + j] = 0;
      }
      if (alpha != nullptr) alpha[at + j] = 0;
      if (displ && displX != nullptr) displX[at + j] = kNoDisplacement;
      if (displ && displY != nullptr) displY[at + j] = kNoDisplacement;
    }
    total += stepY;
    const double next = static_cast<double>(top) + std::trunc(static_cast<double>(total) + 0.5);
    // A step that is not a number or runs out of range ends the rows.
    row = next > -2.0e9 && next < 2.0e9 ? static_cast<int32_t>(next) : bottom;
    SetRowRects(rec, row, left, right);
  }
  return 0;
}
