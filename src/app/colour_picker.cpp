// Edits one colour with the system colour picker, in RGB or, through the
// application's colour model, in YMCK.
#include "app/colour_picker.h"

#include "app/core/app_data.h"
#include "app/core/colour_model.h"
#include "platform/draw/port.h"
#include "platform/toolbox/api/ui_services.h"
#include "platform/types/mac_types.h"

namespace {

const ModTemplate* ApplicationColourModel() {
  return gappData != nullptr ? static_cast<const ModTemplate*>(gappData->colourModel) : nullptr;
}

}  // namespace

int32_t DoChooseCol(int16_t model, int16_t* c1, int16_t* c2, int16_t* c3, int16_t* c4) {
  if (c1 == nullptr || c2 == nullptr || c3 == nullptr) return -1;
  const bool rgb = model == 3 || model == 4;
  const bool ymck = model == 1 || model == 2;
  if (!rgb && !ymck) return -1;
  const ModTemplate* colourModel = ApplicationColourModel();
  RGBColor colour;
  if (rgb) {
    colour.red = static_cast<uint16_t>(*c1 << 8);
    colour.green = static_cast<uint16_t>(*c2 << 8);
    colour.blue = static_cast<uint16_t>(*c3 << 8);
  } else {
    // Without a colour model there is nothing to convert through.
    if (c4 == nullptr ||
        YMCK_to_RGB(*c1, *c2, *c3, *c4, &colour.red, &colour.green, &colour.blue, colourModel) != 0) {
      return -1;
    }
  }

  plat::draw::Port* saved = plat::draw::GetPort();
  const bool confirmed = plat::ui::AskColor("Choose destination color", &colour);
  plat::draw::SetPort(saved);
  if (!confirmed) return 0;

  const int32_t r = colour.red >> 8;
  const int32_t g = colour.green >> 8;
  const int32_t b = colour.blue >> 8;
  if (rgb) {
    *c1 = static_cast<int16_t>(r);
    *c2 = static_cast<int16_t>(g);
    *c3 = static_cast<int16_t>(b);
    return 0;
  }
  int16_t y = *c1, m = *c2, c = *c3, k = *c4;
  if (RGB_to_YMCK(r, g, b, &y, &m, &c, &k, colourModel) != 0) return -1;
  *c1 = y;
  *c2 = m;
  *c3 = c;
  *c4 = k;
  return 0;
}
