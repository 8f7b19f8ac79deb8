// What the image box draws on its view's draw event: the background, the
// display buffer as an image, and the overlays the display parameters switch
// on, in a fixed order.
//
// Rectangles: the view rectangle is the view's bounds, the control rectangle
// its bounds in the window (handed to every overlay routine), the image
// rectangle the displayed width x height centred in the view. QuickDraw
// drawing goes to the window's port, where the view lies at the context's
// origin; the image goes through the view's context.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "app/core/session_state.h"
#include "app/core/text_helpers.h"
#include "engines/correction/grid_record.h"
#include "engines/patterns/draw_par_keeper.h"
#include "paths/draw_par.h"
#include "paths/path_list.h"
#include "views/image_box.h"
#include "views/image_box_drawing.h"
#include "views/view_geometry.h"

using namespace plat::draw;
using namespace plat::tb;

namespace {

constexpr RGBColor kLightGrey{60000, 60000, 60000};
constexpr RGBColor kWhite{65535, 65535, 65535};
constexpr RGBColor kBlack{0, 0, 0};
constexpr RGBColor kRed{65535, 0, 0};
constexpr RGBColor kGreen{0, 65535, 0};
constexpr RGBColor kBlue{0, 0, 65535};

Rect Offset(Rect r, int32_t dh, int32_t dv) {
  r.left = static_cast<int16_t>(r.left + dh);
  r.right = static_cast<int16_t>(r.right + dh);
  r.top = static_cast<int16_t>(r.top + dv);
  r.bottom = static_cast<int16_t>(r.bottom + dv);
  return r;
}

Rect MakeRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  return Rect{static_cast<int16_t>(top), static_cast<int16_t>(left), static_cast<int16_t>(bottom),
              static_cast<int16_t>(right)};
}

// A checkerboard of 8 x 8 light-grey squares from the rectangle's top-left
// corner, kept inside the rectangle so nothing shows beside the image.
void Checkerboard(const Rect& image) {
  RGBForeColor(kLightGrey);
  auto square = [&](int32_t x, int32_t y) {
    const Rect cell = MakeRect(x, y, std::min<int32_t>(x + 8, image.right),
                               std::min<int32_t>(y + 8, image.bottom));
    if (cell.left < cell.right && cell.top < cell.bottom) PaintRect(cell);
  };
  for (int32_t y = image.top; y < image.bottom; y += 16) {
    for (int32_t x = image.left; x < image.right; x += 16) {
      square(x, y);
      square(x + 8, y + 8);
    }
  }
}

void Outline(const Point p[4]) {
  MoveTo(p[0].h, p[0].v);
  for (int k = 1; k <= 4; ++k) LineTo(p[k % 4].h, p[k % 4].v);
}

void Handle(int32_t x, int32_t y) { FrameRect(MakeRect(x - 2, y - 2, x + 2, y + 2)); }

}  // namespace

ImageRef CreateImageFromRGBA32Bitmap(int32_t width, int32_t height, const uint8_t* data,
                                     int32_t rowBytes) {
  return ImageRef{data, width, height, rowBytes};
}

void VMKimabox::DrawContent(EventRef, ControlRef view, const Context& context) {
  Port* port = context.port;
  if (port == nullptr && view != nullptr) port = GetWindowPort(GetControlOwner(view));
  if (port == nullptr) return;
  Port* previous = GetPort();
  SetPort(port);
  // Without a view (a box drawn offscreen) the view is the box's own size.
  const CGRect local =
      view != nullptr ? vmkviews::LocalBounds(view)
                      : CGRect{{0.0f, 0.0f},
                               {static_cast<float>(state_.viewWidth), static_cast<float>(state_.viewHeight)}};
  Rect viewLocal;
  ConvertCGRecttoRect(local, &viewLocal);
  const Rect viewRect = Offset(viewLocal, context.originH, context.originV);
  const Rect control = view != nullptr ? GetControlBounds(view) : viewRect;
  const int32_t vw = viewLocal.right - viewLocal.left;
  const int32_t vh = viewLocal.bottom - viewLocal.top;
  const bool hasImage = display_ && dispWidth_ > 0 && dispHeight_ > 0;
  const int32_t dw = hasImage ? dispWidth_ : 0;
  const int32_t dh = hasImage ? dispHeight_ : 0;
  const int32_t imgLeft = static_cast<int32_t>(static_cast<float>(vw - dw) * 0.5f + local.origin.x + 0.5f);
  const int32_t imgTop = static_cast<int32_t>(static_cast<float>(vh - dh) * 0.5f + local.origin.y + 0.5f);
  const Rect image = MakeRect(imgLeft + context.originH, imgTop + context.originV,
                              imgLeft + context.originH + dw, imgTop + context.originV + dh);
  if (param_.imageShown != 1) {
    if (param_.hiddenFill == 0) {
      RGBForeColor(kLightGrey);
      PaintRect(viewRect);
    }
  } else {
    state_.drawFlag = 0;
    // The image covers whatever cursor shape was on the screen.
    cursorShown_ = 0;
    RGBForeColor(kLightGrey);
    PaintRect(viewRect);
    RGBForeColor(kWhite);
    PaintRect(image);
    Checkerboard(image);
    RGBForeColor(kBlack);
    RGBBackColor(kWhite);
    if (hasImage) {
      // The fine display, when it holds the picture, lands one to one on a
      // denser port's device pixels; the display is drawn enlarged.
      const ImageRef bitmap = DisplayImage();
      const CGRect where{{static_cast<float>(imgLeft), static_cast<float>(imgTop)},
                         {static_cast<float>(dw), static_cast<float>(dh)}};
      // Drawn at its own size, so nearest sampling gives what interpolation
      // would, at a fraction of the cost (measured 18 ms against 11 for a
      // 500 x 500 box, debug build).
      DrawImage(context, where, bitmap, false);
    }
    FrameRect(viewRect);
    DrawOverlays(port, control, image);
    if (selectable_ == 1 && selected_ == 1) {
      SetPort(port);
      RGBForeColor(kRed);
      FrameRect(viewRect);
    }
  }
  SetPort(port);
  if (pickMinMaxOn_ == 1) DrawMinMax(viewRect);
  if (!previewFailure_.empty()) DrawPreviewFailure(viewRect);
  SetPort(previous);
}

// White words on a dark red band across the view's bottom edge, in as many lines (BandLines)
// as the view's width needs, so that the reason at the end of the words is seen in a narrow
// view too: the band grows up from the edge, to at most half the view's height.
void VMKimabox::DrawPreviewFailure(const Rect& view) {
  constexpr int16_t kTextSize = 11;
  constexpr int32_t kLine = 14, kPad = 4, kInset = 4;
  const int32_t width = view.right - view.left;
  const int32_t room = width - 2 * kInset;
  if (room <= 0 || view.bottom - view.top <= kLine + kPad) return;
  PenState pen;
  GetPenState(&pen);
  PenNormal();
  const int16_t keptSize = GetPort() != nullptr ? GetPort()->textSize : kTextSize;
  TextSize(kTextSize);
  const size_t most = static_cast<size_t>(std::max<int32_t>(1, ((view.bottom - view.top) / 2 - kPad) / kLine));
  const std::vector<std::string> lines =
      vmkviews::BandLines(previewFailure_, room, most, [](const std::string& line) { return StringWidth(line); });
  const int32_t height = static_cast<int32_t>(lines.size()) * kLine + kPad;
  const Rect band = MakeRect(view.left, view.bottom - height, view.right, view.bottom);
  RGBForeColor(RGBColor{40000, 0, 0});
  PaintRect(band);
  RGBForeColor(kWhite);
  for (size_t k = 0; k < lines.size(); ++k) {
    MoveTo(static_cast<int16_t>(view.left + kInset),
           static_cast<int16_t>(band.top + kLine - 1 + static_cast<int32_t>(k) * kLine));
    DrawString(lines[k]);
  }
  TextSize(keptSize);
  SetPenState(pen);
}

// The editing overlays in their fixed order: paths, plaid stripes, weave,
// shape outlines, quad, pan frames, lens mesh, grid mesh (and the points of
// a grid being created), border, repeat, tessellation.
void VMKimabox::DrawOverlays(GrafPtr port, const Rect& control, const Rect& image) {
  if (param_.pathMode == 1 && pathList_ != nullptr) DrawPaths(port);
  // The stripes go through the virtual operations, as a window reaches them.
  if (param_.stripeMode == 1) DrawWWIHStrip(port, control);
  if (param_.stripeMode == 2) DrawWWIVStrip(port, control);
  if (param_.weaveMode > 0) {
    auto wide = [](int16_t c) { return static_cast<uint16_t>(c << 8); };
    const int16_t* c = weaveColours_;
    DrawWeave(port, control, param_.weaveMode, param_.weaveGrid, RGBColor{wide(c[0]), wide(c[1]), wide(c[2])},
              RGBColor{wide(c[3]), wide(c[4]), wide(c[5])});
  }
  DrawOutlines(port, image);
  if (param_.quadMode == 1) DrawQuadFrame(image);
  DrawPanFrames(port, control);
  DrawMeshes(port, control);
  if (param_.borderMode != 0) DrawBord(port, control, kBlue, 1, 1);
  if (param_.repeatMode != 0) DrawRep(port, control, kBlue, 1, 1);
  if (param_.tessMode != 0) DrawTess(port, control, kBlue, 1, 1);
}

void VMKimabox::DrawMeshes(GrafPtr port, const Rect& control) {
  const int16_t lens = param_.lensMode;
  if (lens == 1 || lens == 3) DrawZondrac(port, control, 0, kRed, 1);
  if (lens == 2 || lens == 3) DrawZondrac(port, control, 1, kBlue, 1);
  const int16_t grid = param_.gridMode;
  if (grid == 1 || grid == 3) DrawGrid(port, control, 0, kRed, 1, 1);
  if (grid == 2 || grid == 3) DrawGrid(port, control, 1, kBlue, 1, 1);
  if (grid != 0 && grid_ != nullptr && grid_->head.w[kGpTool] == 5)
    DrawCre(port, control, creaX_, creaY_, newRowCol_[0], kGreen);
}

// The session's drawing parameters are shared by every path; the box lends
// them its own for the time of the drawing.
void VMKimabox::DrawPaths(GrafPtr port) {
  DrawParKeeper keeper;
  if (state_.vecModeB != 0) {
    pathList_->SetDrw(port, drawPar_);
    pathList_->DrawPathList(nullptr, 0, 1, kBlue);
  }
}

void VMKimabox::DrawQuadFrame(const Rect& image) {
  const int32_t dw = image.right - image.left;
  const int32_t dh = image.bottom - image.top;
  Point p[4];
  for (int k = 0; k < 4; ++k) {
    p[k].h = static_cast<int16_t>(image.left + static_cast<int64_t>(dw) * state_.quadX[k] / 100000);
    p[k].v = static_cast<int16_t>(image.top + static_cast<int64_t>(dh) * state_.quadY[k] / 100000);
  }
  const int32_t tag = state_.scaleTag;
  if (tag != 100) {
    const int32_t cx = ((p[0].h + p[2].h) / 2 + (p[1].h + p[3].h) / 2) / 2;
    const int32_t cy = ((p[0].v + p[2].v) / 2 + (p[1].v + p[3].v) / 2) / 2;
    Point q[4];
    for (int k = 0; k < 4; ++k) {
      q[k].h = static_cast<int16_t>(cx + (p[k].h - cx) * tag / 100);
      q[k].v = static_cast<int16_t>(cy + (p[k].v - cy) * tag / 100);
    }
    RGBForeColor(kBlue);
    Outline(q);
  }
  RGBForeColor(kRed);
  Outline(p);
  for (int k = 0; k < 4; ++k) {
    const Point& a = p[k];
    const Point& b = p[(k + 1) % 4];
    Handle(a.h, a.v);
    Handle((a.h + b.h) / 2, (a.v + b.v) / 2);
  }
}

void VMKimabox::DrawPanFrames(GrafPtr port, const Rect& control) {
  if (param_.panFrameShown[2] == 1) DrawPan(port, control, 2, kGreen, 1, 1);
  if (param_.panFrameShown[1] == 1) DrawPan(port, control, 1, kBlue, 1, 1);
  if (param_.panFrameShown[0] == 1) DrawPan(port, control, 0, kRed, 1, 1);
}

void VMKimabox::DrawMinMax(const Rect& view) {
  if (pickScale_ == 0) return;
  PenState pen;
  GetPenState(&pen);
  PenNormal();
  RGBForeColor(kBlack);
  vmkviews::DrawRangeFigure(view, pickMin_, pickMax_, pickScale_);
  SetPenState(pen);
}

namespace vmkviews {

std::vector<std::string> BandLines(const std::string& words, int32_t room, size_t most,
                                   const std::function<int32_t(const std::string&)>& width) {
  const auto fits = [&](const std::string& line) { return width(line) <= room; };
  // Cut to fit with an ellipsis: at a space, else at a letter.
  const auto cut = [&](std::string line) {
    while (!line.empty() && !fits(line + "...")) {
      const size_t space = line.find_last_of(' ');
      line = space == std::string::npos || space == 0 ? line.substr(0, line.size() - 1) : line.substr(0, space);
    }
    return line + "...";
  };
  std::vector<std::string> lines;
  std::string rest = words;
  while (!rest.empty()) {
    if (fits(rest)) {
      lines.push_back(rest);
      break;
    }
    size_t end = rest.find(' ');
    if (lines.size() + 1 >= most || end == std::string::npos) {
      lines.push_back(cut(rest));
      break;
    }
    if (!fits(rest.substr(0, end))) {
      // A first word too long for a line alone.
      lines.push_back(cut(rest.substr(0, end)));
    } else {
      // The longest run of whole words that fits.
      for (size_t next = rest.find(' ', end + 1); next != std::string::npos && fits(rest.substr(0, next));
           next = rest.find(' ', next + 1))
        end = next;
      std::string line = rest.substr(0, end);
      line.erase(line.find_last_not_of(' ') + 1);
      lines.push_back(std::move(line));
    }
    const size_t from = rest.find_first_not_of(' ', end);
    rest = from == std::string::npos ? std::string() : rest.substr(from);
  }
  return lines;
}

int32_t RangeMarkerX(const Rect& r, int32_t value, int32_t scale) {
  return r.left + static_cast<int32_t>(static_cast<float>(value) *
                                           static_cast<float>(r.right - r.left - 1) /
                                           static_cast<float>(scale) +
                                       0.5f);
}

void DrawRangeFigure(const Rect& r, int32_t minimum, int32_t maximum, int32_t scale) {
  const int32_t xmin = RangeMarkerX(r, minimum, scale);
  const int32_t xmax = RangeMarkerX(r, maximum, scale);
  const int16_t t = r.top;
  const int16_t b = r.bottom;
  auto marker = [&](int32_t x, int32_t dx) {
    MoveTo(static_cast<int16_t>(x), t);
    LineTo(static_cast<int16_t>(x), static_cast<int16_t>(b - 1));
    LineTo(static_cast<int16_t>(x + dx), static_cast<int16_t>(b - 8));
    LineTo(static_cast<int16_t>(x), t);
  };
  marker(xmin, 4);
  MoveTo(static_cast<int16_t>(xmin + 4), static_cast<int16_t>(b - 8));
  LineTo(static_cast<int16_t>(xmax - 4), static_cast<int16_t>(b - 8));
  marker(xmax, -4);
}

}  // namespace vmkviews
