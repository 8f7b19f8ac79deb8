// A colour-correction record rendered over a whole picture as OK renders it: the engine row as
// the script runs it (planes bottom row first, no mask), back to a top-down picture.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engines/correction/colour_correction.h"
#include "engines/families/effect_families.h"
#include "script/engine_rows.h"
#include "support/preview_compare.h"

namespace vmktest {

inline Picture RenderedByEngineRow(const Picture& picture, const ColCorPar& record, int16_t effect) {
  const int32_t w = picture.w, h = picture.h;
  const size_t n = static_cast<size_t>(w) * h;
  std::vector<uint8_t> planes(3 * n);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      for (int k = 0; k < 3; ++k) planes[k * n + static_cast<size_t>(h - 1 - y) * w + x] = picture.at(x, y, k);
  ColCorPar copy = record;
  EngineRowCall row;
  row.effect = effect;
  row.record = &copy;
  row.n = 3;
  row.w = row.aw = w;
  row.h = row.ah = h;
  for (int k = 0; k < 3; ++k) row.planes[k] = planes.data() + k * n;
  RegisterEffectFamilies();
  const EngineAdapter adapter = FindEngineRow(effect);
  EXPECT_NE(adapter, nullptr) << effect;
  if (adapter != nullptr) adapter(row);
  Picture out{w, h, std::vector<uint8_t>(n * 3)};
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      for (int k = 0; k < 3; ++k)
        out.rgb[(static_cast<size_t>(y) * w + x) * 3 + k] = planes[k * n + static_cast<size_t>(h - 1 - y) * w + x];
  return out;
}

}  // namespace vmktest
