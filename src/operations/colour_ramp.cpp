// Conversion of a colour ramp to inks through the application's colour
// model, with the plain conversion standing in when no model is loaded.
#include "operations/colour_ramp.h"

#include <cstring>

#include "app/core/app_data.h"
#include "app/core/colour_model.h"
#include "app/core/colour_spaces.h"
#include "app/core/sample_clamp.h"

RampRows::RampRows(const unsigned char* ramp, bool rgb, Inks order) {
  std::memcpy(rows, ramp, sizeof rows);
  if (!rgb) ToInks(order);
}

void RampRows::ToInks(Inks order) {
  const auto* model =
      gappData != nullptr ? static_cast<const ModTemplate*>(gappData->colourModel) : nullptr;
  for (int32_t i = 0; i < 256; ++i) {
    const int32_t r = rows[1][i], g = rows[2][i], b = rows[3][i];
    int16_t y = 0, m = 0, c = 0, k = 0;
    if (RGB_to_YMCK(r, g, b, &y, &m, &c, &k, model) != 0) {
      // No colour model is ever loaded: the plain conversion stands in.
      float fc = 0, fm = 0, fy = 0, fk = 0;
      RGB2CMYK(r / 255.0f, g / 255.0f, b / 255.0f, fc, fm, fy, fk);
      c = static_cast<int16_t>(fc * 255.0f + 0.5f);
      m = static_cast<int16_t>(fm * 255.0f + 0.5f);
      y = static_cast<int16_t>(fy * 255.0f + 0.5f);
      k = static_cast<int16_t>(fk * 255.0f + 0.5f);
    }
    const bool cyanFirst = order == Inks::kCMYK;
    rows[1][i] = static_cast<unsigned char>(Clamp255(cyanFirst ? c : y));
    rows[2][i] = static_cast<unsigned char>(Clamp255(m));
    rows[3][i] = static_cast<unsigned char>(Clamp255(cyanFirst ? y : c));
    rows[4][i] = static_cast<unsigned char>(Clamp255(k));
  }
}
