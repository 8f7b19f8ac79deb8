// The slice tool: a click selects the slice under it, a drag draws a new
// slice (square with Shift), and with the editing tool a corner of the
// current slice can be dragged.
#include <algorithm>
#include <cmath>

#include "app/quad_tracking.h"
#include "paths/path_internal.h"
#include "paths/slices.h"
#include "platform/draw/port.h"
#include "platform/toolbox/api/ui_services.h"

namespace ui = plat::ui;

namespace {

constexpr uint32_t kWaitTicks = 20;

}  // namespace

void CSliceList::DoClick(GrafPtr port, Rect clip) {
  if (tool != kToolSelect && tool != kToolEdit) return;
  paths_detail::PortScope portScope(port);
  auto toWorldX = [&](float h) { return (h - deviceX) * scaleX + worldX; };
  auto toWorldY = [&](float v) { return (v - deviceY) * scaleY + worldY; };
  auto toDevX = [&](float x) { return std::trunc((x - worldX) / scaleX + deviceX + 0.5f); };
  auto toDevY = [&](float y) { return std::trunc((y - worldY) / scaleY + deviceY + 0.5f); };

  paths_detail::XorPen pen;

  if (tool == kToolEdit && current != nullptr) {
    CSlice* s = current;
    float x1 = toDevX(s->left), y1 = toDevY(s->top), x2 = toDevX(s->right), y2 = y1;
    float x3 = x2, y3 = toDevY(s->bottom), x4 = x1, y4 = y3;
    int16_t flag = 0;
    if (updatequad(port, 0, 0, clip, &x1, &y1, &x2, &y2, &x3, &y3, &x4, &y4, &flag, 0, 1, 0, 0) != -1) {
      Draw(s, 0, colour);
      fct_calc_Rect(s, toWorldX(x1), toWorldY(y1), toWorldX(x3), toWorldY(y3));
      Draw(s, 0, colour);
      return;
    }
  }

  // Read after the corner drag, which takes the press itself.
  Point where;
  ui::GetMouse(&where);
  float x = toWorldX(where.h);
  float y = toWorldY(where.v);
  const bool shift = ui::KeyIsDown(ui::kVKShift);

  current = nullptr;
  // Without holding the window's loop (see path_tools.cpp).
  ui::Delay(kWaitTicks);
  for (CSlice* s = first; s != nullptr; s = s->next) {
    if (s->active != 0 || s->IfOnSlice(x, y) == 0) continue;
    if (ui::StillDown()) break;
    InActivateAll(1);
    Draw(s, 0, colour);
    s->Activate();
    Draw(s, 0, colour);
    current = s;
    return;
  }
  if (!shift) InActivateAll(1);
  if (!ui::StillDown()) return;

  Capture(&x, &y);
  bool made = false;
  float lastX = x, lastY = y;
  while (ui::StillDown()) {
    ui::GetMouse(&where);
    float mx = toWorldX(where.h);
    float my = toWorldY(where.v);
    Capture(&mx, &my);
    if (std::fabs(mx - lastX) <= 0.1f && std::fabs(my - lastY) <= 0.1f) continue;
    lastX = mx;
    lastY = my;
    if (!made) {
      if (AddSlice(0) != 0) return;
      made = true;
    } else {
      Draw(current, 0, colour);
    }
    if (shift) {
      // The shorter side grows to the longer, toward the mouse.
      const float side = std::max(std::fabs(mx - x), std::fabs(my - y));
      mx = x + std::copysign(side, mx - x);
      my = y + std::copysign(side, my - y);
    }
    fct_calc_Rect(current, x, y, mx, my);
    Draw(current, 0, colour);
  }
}
