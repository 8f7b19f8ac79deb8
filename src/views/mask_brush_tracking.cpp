// The mask brush of the image box's mouse editing: paints mask A (mask mode
// 1) or mask B (any other mode) under the pointer and shows the result live.
//
// At the press the host picture under the visible window is read once into
// four planes of the view's size (times the fine display's scale on a
// denser screen); every changed pointer position stamps the brush into the
// mask, recomposes only the rectangle around the brush from those planes
// (with the masks' tint) and draws the display into the view, the brush
// outline following in XOR. Everything taken for the press is given
// back at the release.
//
// Masks missing, or smaller than the mask size (mask mode set before the
// masks were made), and windows with no extent leave the press alone.
#include <algorithm>

#include "app/core/memory_manager.h"
#include "app/core/session_state.h"
#include "app/plane_readers.h"
#include "platform/memory/block.h"
#include "platform/toolbox/api/ui_services.h"
#include "raster/mask_brush.h"
#include "views/image_box.h"
#include "views/image_box_drawing.h"
#include "views/view_geometry.h"

using namespace plat::draw;
using namespace plat::tb;
using vmkviews::Rnd;

namespace {

// A brush wider than this many mask samples each way is no brush the view
// can show; it is refused rather than allocated.
constexpr int32_t kMaxBrushRadius = 4096;

}  // namespace

// The window of the visible part of the mask: the source window's rule with
// the mask's size, left and top raised to 0; right and bottom are kept only
// while they are not beyond the source picture's last column and row, else
// they are the mask's own (kept: the brush has always reckoned so).
bool VMKimabox::MaskWindow(MaskFrame* f) const {
  const int32_t mw = state_.maskWidth, mh = state_.maskHeight;
  f->left = std::max(vmkviews::PixelOfUnit(mw, state_.panLeft), 0);
  f->top = std::max(vmkviews::PixelOfUnit(mh, state_.panTop), 0);
  f->right = vmkviews::PixelOfUnit(mw, state_.panRight);
  f->bottom = vmkviews::PixelOfUnit(mh, state_.panBottom);
  if (f->right > state_.srcWidth - 1) f->right = mw - 1;
  if (f->bottom > state_.srcHeight - 1) f->bottom = mh - 1;
  if (f->right == f->left || f->bottom == f->top) return false;
  f->kx = static_cast<float>(dispWidth_) / static_cast<float>(f->right - f->left);
  f->ky = static_cast<float>(dispHeight_) / static_cast<float>(f->bottom - f->top);
  f->rx = Rnd(static_cast<float>(state_.brushSize) / f->kx);
  f->ry = Rnd(static_cast<float>(state_.brushSize) / f->ky);
  return f->rx >= 0 && f->ry >= 0 && f->rx <= kMaxBrushRadius && f->ry <= kMaxBrushRadius;
}

void VMKimabox::TrackMaskBrush(GrafPtr port, ControlRef view, const Context& context, const Rect& bounds,
                               const Rect& image, int16_t* result) {
  const plat::Block<int16_t>& chosen = state_.maskMode == 1 ? maskA_ : maskB_;
  const int32_t vw = state_.viewWidth, vh = state_.viewHeight;
  if (port == nullptr || !MaskUsable(chosen) || !display_ || vw <= 0 || vh <= 0 || dispWidth_ <= 0 ||
      dispHeight_ <= 0)
    return;
  const int32_t pan[4] = {state_.panLeft, state_.panTop, state_.panRight, state_.panBottom};
  const vmkviews::PanMap source =
      vmkviews::MakeClampedPanMap(state_.srcWidth, state_.srcHeight, pan, dispWidth_, dispHeight_, 0, 0);
  MaskFrame f;
  if (!source.ok || !MaskWindow(&f)) return;
  // On a denser screen the picture under the window is read at the fine
  // display's resolution, so the stroke shows at once as sharp as the
  // previews; the display takes every k-th sample of it.
  const int32_t k = fine_ && backing_ > 1 ? backing_ : 1;
  const int64_t area = int64_t{vw} * vh * k * k;
  plat::Block<uint8_t> planes[4] = {plat::Block<uint8_t>(area, WorkSource()), plat::Block<uint8_t>(area, WorkSource()),
                                    plat::Block<uint8_t>(area, WorkSource()), plat::Block<uint8_t>(area, WorkSource())};
  plat::Block<int16_t> footprint((2 * int64_t{f.rx} + 1) * (2 * int64_t{f.ry} + 1), WorkSource());
  for (const auto& p : planes)
    if (!p) return;
  if (!footprint) return;
  for (auto& p : planes) p.Clear();
  // The read scale: source pixels per plane pixel, the larger of the two.
  const float scale = std::max(static_cast<float>(source.x1 - source.x0) / static_cast<float>(vw),
                               static_cast<float>(source.y1 - source.y0) / static_cast<float>(vh));
  const float step = scale / static_cast<float>(k);
  ReadCharBuffromPho(static_cast<int16_t>(gPer != nullptr ? gPer->planeMode : 3), 0, vw * k, vh * k,
                     planes[0].get(), planes[1].get(), planes[2].get(), planes[3].get(), 0, nullptr, nullptr,
                     source.x0, source.y0, source.x1, source.y1, std::min(state_.effWidth, vw) * k,
                     std::min(state_.effHeight, vh) * k, step, step, vw * k, vh * k);
  X_prepare_MskBrush(0, footprint.get(), f.rx, f.ry, state_.brushValue2 * 4096 / 100);
  const Point origin = ImageOrigin(bounds);
  Point last;
  plat::ui::TrackMouseLocation(port, &last, result);
  while (*result != plat::ui::kTrackMouseUp) {
    Point pt;
    plat::ui::TrackMouseLocation(port, &pt, result);
    if (pt.h == last.h && pt.v == last.v) continue;
    last = pt;
    BrushStep(view, context, image, f, footprint.get(), planes, k, pt, origin);
  }
}

// One stamp at the port point pt, then the display recomposed around it and
// shown, the outline moved there. The planes hold `scale` samples per view
// pixel each way.
void VMKimabox::BrushStep(ControlRef view, const Context& context, const Rect& image, const MaskFrame& f,
                          const int16_t* footprint, const plat::Block<uint8_t> planes[4], int32_t scale, Point pt,
                          Point origin) {
  int16_t* mask = state_.maskMode == 1 ? maskA_.get() : maskB_.get();
  const int32_t x = pt.h - origin.h, y = pt.v - origin.v;
  const int32_t s = state_.brushSize;
  // The box's masks have no spare row below their last one: the stamp's
  // spare row is the mask's own last row.
  X_Brush_Msk(static_cast<float>(f.left), static_cast<float>(f.top), f.kx, f.ky, state_.maskWidth,
              state_.maskHeight - 1, mask, footprint, x, y, s, static_cast<int16_t>(state_.brushValue4));
  DrawBruShape(view, 0, pt.h, pt.v);
  // Rows of the display count from the bottom.
  const int32_t dw = dispWidth_, dh = dispHeight_;
  const int32_t x0 = std::max(x - s, 0), y0 = std::max(dh - (y + s), 0);
  const int32_t x1 = std::min(x + s, dw - 1), y1 = std::min(dh - (y - s), dh - 1);
  // The planes are view height rows high: a tall view's upper rows are
  // recomposed too.
  SetFineBufRGB(scale, x0, y0, x1, y1, state_.viewWidth, state_.viewHeight, planes[0].get(), planes[1].get(),
                planes[2].get(), planes[3].get(), 255, 0);
  const CGRect where{{static_cast<float>(image.left), static_cast<float>(image.top)},
                     {static_cast<float>(dw), static_cast<float>(dh)}};
  DrawImage(context, where, DisplayImage(), false);
  DrawBruShape(view, 1, pt.h, pt.v);
}
