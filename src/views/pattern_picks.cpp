// The pattern tools of the image box's mouse editing: the plaid stripe pick,
// the weave cell toggle, the tessellation's cell parallelogram and base quad,
// and the repeat tile pick. Each edits the box's copy of its record in place.
//
// Indices read from a record to write it (the current tile set) and sizes
// that are divisors here (an empty display, a repeat picture of no size)
// leave the press alone.
#include <algorithm>
#include <memory>
#include <new>

#include "app/quad_tracking.h"
#include "engines/correction/resize_record.h"
#include "engines/patterns/weave_plaid_record.h"
#include "engines/tessellation/photo_repeat_engine.h"
#include "engines/tessellation/tessellation_record.h"
#include "platform/toolbox/api/ui_services.h"
#include "views/image_box.h"
#include "views/view_geometry.h"

using namespace plat::draw;
using namespace plat::tb;

namespace {

// Rounded (x + 0.5, truncated) and held inside the 32-bit range: corners
// handed back untouched may still carry what a damaged record held.
int32_t HeldRnd(float v) {
  constexpr float kLimit = 2147483520.0f;
  if (v != v) return 0;
  return static_cast<int32_t>(std::clamp(v + 0.5f, -kLimit, kLimit));
}

float Distance2(float ax, float ay, float bx, float by) { return (ax - bx) * (ax - bx) + (ay - by) * (ay - by); }

// The edges meeting at corner b are both longer than about 8.5 display
// pixels: a quad squeezed smaller is not taken.
bool EdgesLongEnough(const float* x, const float* y, int a, int b, int c) {
  return Distance2(x[b], y[b], x[a], y[a]) > 72.0f && Distance2(x[b], y[b], x[c], y[c]) > 72.0f;
}

}  // namespace

// ---- plaid stripes ----

void VMKimabox::TrackStripe(GrafPtr port, const Rect& bounds, int16_t* result) {
  Point press;
  plat::ui::TrackMouseLocation(port, &press, result);
  if (plaid_ == nullptr) return;
  const int32_t j = StripeAt(param_.stripeMode, bounds, press);
  if (j < 0) return;
  (param_.stripeMode == 1 ? plaid_->free2 : plaid_->free1).selected = j;
}

// ---- weave ----

// The cell under the event's point, rows counted from the bottom. The cell
// size is the image rectangle's right edge (not its width) over the count
// (kept: the weave editor's picks have always been reckoned so).
void VMKimabox::TrackWeaveCell(EventRef event, const Rect& image) {
  const float x = event->viewPoint.x, y = event->viewPoint.y;
  const int32_t tx = static_cast<int32_t>(std::clamp(x, -32768.0f, 32767.0f));
  const int32_t ty = static_cast<int32_t>(std::clamp(y, -32768.0f, 32767.0f));
  cursorX_ = static_cast<int16_t>(tx);
  cursorY_ = static_cast<int16_t>(ty);
  if (weave_ == nullptr || weave_->columns <= 0 || weave_->rows <= 0 || image.right <= 0 || image.bottom <= 0)
    return;
  const float column = x / (static_cast<float>(image.right) / static_cast<float>(weave_->columns));
  const float row = static_cast<float>(image.bottom - ty) / (static_cast<float>(image.bottom) / static_cast<float>(weave_->rows));
  // Truncation toward zero, as the pick always took it; only then the range.
  if (!(column > -1.0f && column < 128.0f && row > -1.0f && row < 128.0f)) return;
  const auto c = static_cast<int32_t>(column), r = static_cast<int32_t>(row);
  uint8_t& cell = weave_->cells[r][c];
  cell = cell == 0 ? 1 : 0;
}

// ---- tessellation ----

// The cell parallelogram of the first tile set: corners A, B, C in percent of
// the displayed picture, y from the bottom, D = C - B + A derived. The record
// keeps them as elements 2 (A), 3 (B), 0 (C) and 1 (D).
void VMKimabox::TrackTessCell(GrafPtr port, const Rect& bounds, int16_t*) {
  const int32_t dw = dispWidth_, dh = dispHeight_;
  if (tess_ == nullptr || port == nullptr || dw <= 0 || dh <= 0) return;
  int32_t* X = &tess_->sets[0].w[kTessBaseX];
  int32_t* Y = &tess_->sets[0].w[kTessBaseY];
  constexpr int kElement[4] = {2, 3, 0, 1};  // A, B, C, D
  float x[4], y[4];
  for (int k = 0; k < 4; ++k) {
    x[k] = static_cast<float>(X[kElement[k]]) * static_cast<float>(dw) / 100.0f;
    y[k] = static_cast<float>(dh) - static_cast<float>(dh) * static_cast<float>(Y[kElement[k]]) / 100.0f;
  }
  const Point origin = ImageOrigin(bounds);
  int16_t flag = 0;
  updatequad(port, origin.h, origin.v, bounds, &x[0], &y[0], &x[1], &y[1], &x[2], &y[2], &x[3], &y[3], &flag, 0, 0,
             static_cast<int16_t>(state_.quadTag), 0);
  if (!EdgesLongEnough(x, y, 0, 1, 2)) return;
  int32_t px[3], py[3];
  for (int k = 0; k < 3; ++k) {
    px[k] = HeldRnd(x[k] * 100.0f / static_cast<float>(dw));
    py[k] = HeldRnd((static_cast<float>(dh) - y[k]) * 100.0f / static_cast<float>(dh));
  }
  for (int k = 0; k < 3; ++k) {
    X[kElement[k]] = px[k];
    Y[kElement[k]] = py[k];
  }
  X[1] = static_cast<int32_t>(int64_t{px[2]} - px[1] + px[0]);
  Y[1] = static_cast<int32_t>(int64_t{py[2]} - py[1] + py[0]);
}

// The base quad of the current tile set, in thousandths of the displayed
// picture, y down; a tile set outside the record's sixteen is left alone.
void VMKimabox::TrackTessBase(GrafPtr port, const Rect& bounds, int16_t*) {
  const int32_t dw = dispWidth_, dh = dispHeight_;
  if (tess_ == nullptr || port == nullptr || dw <= 0 || dh <= 0) return;
  const int32_t set = tess_->head.w[kTessCurrentSet];
  if (set < 0 || set >= kTessSets) return;
  int32_t* X = &tess_->sets[set].w[kTessSourceX];
  int32_t* Y = &tess_->sets[set].w[kTessSourceY];
  float x[4], y[4];
  for (int k = 0; k < 4; ++k) {
    x[k] = static_cast<float>(X[k] * static_cast<double>(dw) / 1000.0);
    y[k] = static_cast<float>(Y[k] * static_cast<double>(dh) / 1000.0);
  }
  const Point origin = ImageOrigin(bounds);
  int16_t flag = 0;
  updatequad(port, origin.h, origin.v, bounds, &x[0], &y[0], &x[1], &y[1], &x[2], &y[2], &x[3], &y[3], &flag, 0, 0,
             static_cast<int16_t>(state_.quadTag), 0);
  if (!EdgesLongEnough(x, y, 0, 1, 2)) return;
  for (int k = 0; k < 4; ++k) {
    X[k] = HeldRnd(x[k] * 1000.0f / static_cast<float>(dw));
    Y[k] = HeldRnd(y[k] * 1000.0f / static_cast<float>(dh));
  }
}

// ---- repeat ----

// The first tile of the repeat's list under the press selects its cell; true
// on a hit (the grid tools then do not run). The tiles are laid over the
// content-aware holder's picture size, rows counted from its bottom.
bool VMKimabox::TrackRepeat(GrafPtr port, const Rect& bounds, int16_t* result) {
  Point press;
  plat::ui::TrackMouseLocation(port, &press, result);
  const YoxelPar* holder = yoxelRecord();
  if (rep_ == nullptr || holder == nullptr || dispWidth_ <= 0 || dispHeight_ <= 0) return false;
  const int32_t w = holder->imageWidth, h = holder->imageHeight;
  const int32_t pan[4] = {state_.panLeft, state_.panTop, state_.panRight, state_.panBottom};
  const vmkviews::PanMap map = vmkviews::MakePanMap(w, h, pan, dispWidth_, dispHeight_, 0, 0);
  if (!map.ok) return false;
  const Point origin = ImageOrigin(bounds);
  const float fx = static_cast<float>(press.h - origin.h) / map.sx + static_cast<float>(map.x0);
  const float fy = static_cast<float>(press.v - origin.v) / map.sy + static_cast<float>(map.y0);
  std::unique_ptr<MiscCastel> engine(new (std::nothrow) MiscCastel);
  if (engine == nullptr) return false;
  engine->SetRepPar(rep_);
  engine->PrepareRepPat(w, h);
  const TRepPat* t = engine->head;
  for (int32_t n = 0; n < engine->pieceCount && t != nullptr; ++n, t = t->next) {
    const Rect& d = t->destination;
    const float top = static_cast<float>(h - d.bottom), bottom = static_cast<float>(h - d.top);
    if (d.left <= fx && fx <= d.right && top <= fy && fy <= bottom) {
      int32_t* g = rep_->grid.w;
      g[kRepSelRow] = t->row;
      g[kRepSelColumn] = t->column;
      g[kRepSelCell] = static_cast<int32_t>(int64_t{t->row} * g[kRepColumnCount] + t->column);
      return true;
    }
  }
  return false;
}
