#include "paths/draw_par.h"

#include <cmath>

#include "app/core/session_state.h"
#include "paths/path_internal.h"
#include "platform/draw/port.h"

void Init_DrawPar(DrawPar* dp) {
  if (dp == nullptr) return;
  dp->viewOffsetX = 0.0f;
  dp->viewOffsetY = 0.0f;
  dp->originX = 0.0f;
  dp->originY = 0.0f;
  dp->scaleX = 1.0f;
  dp->scaleY = 1.0f;
  dp->mode = 0;
  dp->limit.top = 0;
  dp->limit.left = 0;
  dp->limit.bottom = 32000;
  dp->limit.right = 32000;
  dp->port = nullptr;
}

void Copy_DrawPar(const DrawPar* src, DrawPar* dst) {
  if (src == nullptr || dst == nullptr || src == dst) return;
  GrafPtr keep = dst->port;
  *dst = *src;
  dst->port = keep;
}

void SetDrawParAndPort(DrawPar* shared, GrafPtr port, const DrawPar* src) {
  if (shared == nullptr) return;
  if (src != nullptr) Copy_DrawPar(src, shared);
  shared->port = port;
}

namespace {

// The quotient and offset are single precision; the rounding half is added
// in double, as the port coordinate always was. A value outside the 16-bit
// range is held at its end rather than left to an undefined conversion.
int16_t ToPort(float v, float origin, float scale, float offset) {
  const float q = (v - origin) / scale + offset;
  return paths_detail::Trunc16Held(static_cast<double>(q) + 0.5);
}

}  // namespace

int16_t PathToPortH(const DrawPar& dp, float x) {
  return ToPort(x, dp.originX, dp.scaleX, dp.viewOffsetX);
}
int16_t PathToPortV(const DrawPar& dp, float y) {
  return ToPort(y, dp.originY, dp.scaleY, dp.viewOffsetY);
}
Point PathToPort(const DrawPar& dp, float x, float y) {
  Point p;
  p.h = PathToPortH(dp, x);
  p.v = PathToPortV(dp, y);
  return p;
}
int16_t PathToUnitH(const DrawPar& dp, float x) { return ToPort(x, dp.originX, dp.scaleX, 0.0f); }
int16_t PathToUnitV(const DrawPar& dp, float y) { return ToPort(y, dp.originY, dp.scaleY, 0.0f); }

float PortToPathX(const DrawPar& dp, float h) { return (h - dp.viewOffsetX) * dp.scaleX + dp.originX; }
float PortToPathY(const DrawPar& dp, float v) { return (v - dp.viewOffsetY) * dp.scaleY + dp.originY; }

namespace {

thread_local bool tRendering = false;
thread_local DrawPar* tRenderDrawPar = nullptr;

}  // namespace

DrawPar* SessionDrawPar() {
  if (tRenderDrawPar != nullptr) return tRenderDrawPar;
  return gPer != nullptr ? gPer->drawPar : nullptr;
}

namespace {

// A window's port goes with the window: the record of the thread that closes it (the
// interface's) stops naming it, so that no later drawing through the record reaches it.
void ForgetFreedPort(plat::draw::Port* port) {
  DrawPar* dp = SessionDrawPar();
  if (dp != nullptr && dp->port == port) dp->port = nullptr;
}

[[maybe_unused]] const bool kForgetsFreedPorts = (plat::draw::SetPortFreedHook(&ForgetFreedPort), true);

}  // namespace

RenderDrawingScope::RenderDrawingScope() {
  if (tRendering) return;
  tRendering = true;
  outermost_ = true;
  port_ = plat::draw::GetPort();
  plat::draw::SetPort(nullptr);
  // A session without a record renders without one, as it always did.
  if (gPer == nullptr || gPer->drawPar == nullptr) return;
  Init_DrawPar(&own_);
  tRenderDrawPar = &own_;
}

RenderDrawingScope::~RenderDrawingScope() {
  if (!outermost_) return;
  tRenderDrawPar = nullptr;
  plat::draw::SetPort(port_);
  tRendering = false;
}

namespace paths_detail {

int16_t Trunc16Held(double v) {
  const double r = std::trunc(v);
  if (r != r) return 0;
  if (r <= -32768.0) return -32768;
  if (r >= 32767.0) return 32767;
  return static_cast<int16_t>(r);
}

const DrawPar& DrawParOr(const DrawPar* dp) {
  static const DrawPar kDefault = [] {
    DrawPar d;
    Init_DrawPar(&d);
    return d;
  }();
  return dp != nullptr ? *dp : kDefault;
}

}  // namespace paths_detail
