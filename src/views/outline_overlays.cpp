// The star, spirograph and cookie-cutter outlines over the picture: the
// outline of the box's record built exactly as its engine builds the shape it
// fills, over the image rectangle, and drawn in blue with the box's drawing
// parameters. A shape that cannot be placed draws nothing.
#include "engines/patterns/draw_par_keeper.h"
#include "engines/patterns/shape_outlines.h"
#include "paths/path_list.h"
#include "views/image_box.h"

namespace {

constexpr RGBColor kBlue{0, 0, 65535};

}  // namespace

void VMKimabox::DrawOutlines(GrafPtr port, const Rect& image) {
  if (param_.starMode == 1 && shape_ != nullptr) DrawOutline(port, image, 0);
  if (param_.spiroMode == 1 && shape_ != nullptr) DrawOutline(port, image, 1);
  if (param_.cookieMode == 1 && cookiCut_ != nullptr) DrawOutline(port, image, 2);
}

// kind 0 star, 1 spirograph, 2 cookie cutter. The path list works on the
// session's shared drawing parameters: they are lent for the drawing only.
void VMKimabox::DrawOutline(GrafPtr port, const Rect& image, int kind) {
  DrawParKeeper keeper;
  CPathList list(0);
  list.SetDrw(port, drawPar_);
  const int32_t w = image.right - image.left + 1;
  const int32_t h = image.bottom - image.top + 1;
  int32_t result = -1;
  if (kind == 0) result = BuildStarOutline(&list, *shape_, w, h);
  if (kind == 1) result = BuildSpiroOutline(&list, *shape_, w, h, shape_->width, shape_->height);
  if (kind == 2)
    result = BuildCookieOutline(&list, *cookiCut_, w, h, static_cast<float>(w), static_cast<float>(h));
  if (result == -1) return;
  list.InActivateAll(0);
  list.DrawPathList(port, 0, 1, kBlue);
}
