#include "views/image_buffer_loader.h"

#include <cstring>

#include "app/core/memory_manager.h"
#include "app/image_import.h"
#include "platform/memory/block.h"
#include "raster/blend_filters.h"
#include "raster/plane_copy.h"
#include "script/document_data.h"
#include "script/ramp_bitmaps.h"
#include "script/script_file.h"

namespace {

// The current document's script with planes, or null.
ScriptFile* CurrentScript() {
  DocData* doc = CurrentDocData();
  ScriptFile* s = doc != nullptr ? doc->script : nullptr;
  return s != nullptr && s->planeWidth > 0 && s->planeHeight > 0 ? s : nullptr;
}

// Channel c of the script rescaled into `out` (w x h); a missing channel leaves it.
void ChannelInto(ScriptFile* s, int32_t c, uint8_t* out, int32_t w, int32_t h) {
  const uint8_t* plane = s->ChannelPlane(c, 0);
  if (plane == nullptr || out == nullptr) return;
  if (s->planeWidth == w && s->planeHeight == h) {
    std::memcpy(out, plane, static_cast<size_t>(w) * static_cast<size_t>(h));
    return;
  }
  BufToBufChar_andR(0, s->planeWidth, s->planeHeight, plane, w, h, out, 0, 0, s->planeWidth,
                    s->planeHeight, 0, 0, w, h);
}

// The picture read whole into work planes first, so that a file that cannot be read leaves
// the caller's planes as they were.
int16_t ReadImage(fichier* file, uint8_t* const planes[4], int32_t w, int32_t h) {
  if (file == nullptr) return -1;
  const int64_t n = int64_t{w} * h;
  plat::Block<uint8_t> work(4 * n, WorkSource());
  if (!work) return -1;
  std::memset(work.get(), 255, static_cast<size_t>(4 * n));  // no alpha: all of it shows
  uint8_t* at[4] = {work.get(), work.get() + n, work.get() + 2 * n, work.get() + 3 * n};
  if (AS_GetResizedImage(file, 1, 0, 0, 0, 0, w, h, 0, 0, w - 1, h - 1, 3, at[0], at[1], at[2],
                         at[3]) != 0)
    return -1;
  for (int k = 0; k < 4; ++k)
    if (planes[k] != nullptr) std::memcpy(planes[k], at[k], static_cast<size_t>(n));
  return 0;
}

}  // namespace

int16_t LoadImaBuf(int16_t kind, uint8_t* r, uint8_t* g, uint8_t* b, uint8_t* m, int32_t w,
                   int32_t h, fichier* file, LutVign* lut, int16_t hue, int16_t saturation,
                   int16_t lightness) {
  if (kind < 0 || kind > 3) return 0;
  if (r == nullptr || g == nullptr || b == nullptr || w <= 0 || h <= 0) return -1;
  uint8_t* const planes[4] = {r, g, b, m};
  if (kind == 0 || kind == 1) {
    ScriptFile* s = CurrentScript();
    if (s == nullptr || (kind == 1 && (lut == nullptr || w > INT16_MAX || h > INT16_MAX)))
      return -1;
    if (kind == 0) {
      for (int k = 0; k < 4; ++k) ChannelInto(s, 3 + k, planes[k], w, h);
    } else {
      Rect bar;  // a port rectangle: 16-bit edges
      bar.bottom = static_cast<int16_t>(h);
      bar.right = static_cast<int16_t>(w);
      build_BufRGBBar(&bar, r, g, b, lut, 0, 0, 0);
      ChannelInto(s, 6, m, w, h);
    }
  } else if (ReadImage(file, planes, w, h) != 0) {
    return -1;
  }
  // No shift leaves the planes as loaded: the kernel's round trip through floats would move
  // some samples by one.
  if (hue != 0 || saturation != 0 || lightness != 0)
    HSLBlendChar(r, g, b, h, w, 0, 0, w - 1, h - 1, hue, saturation, lightness);
  return 0;
}
