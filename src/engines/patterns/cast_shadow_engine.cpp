#include "engines/patterns/cast_shadow_engine.h"

#include <algorithm>
#include <cstring>

#include "app/core/memory_manager.h"
#include "app/core/sample_clamp.h"
#include "operations/effects.h"
#include "platform/memory/block.h"
#include "raster/distortion_warp.h"
#include "script/param_block.h"
#include "script/render_cases.h"

namespace {

constexpr int16_t kShadoKind = 11;

void TreatMask(int32_t treatment, uint8_t* mask, size_t bytes) {
  if (mask == nullptr) return;
  if (treatment == 0) {
    for (size_t i = 0; i < bytes; ++i) mask[i] = static_cast<uint8_t>(255 - mask[i]);
  } else if (treatment == 2) {
    std::memset(mask, 255, bytes);
  }
}

// One weight per position along a length of `count`; a length of 0 has no positions.
bool FadeTable(plat::Block<uint8_t>& table, int32_t count, int32_t centre, int32_t spread) {
  table = plat::Block<uint8_t>(std::max<int64_t>(count, 1), WorkSource());
  if (!table) return false;
  for (int32_t i = 0; i < count; ++i)
    table.get()[i] =
        ShadowFadeWeight(static_cast<int32_t>(int64_t{100} * i / count), centre, spread);
  return true;
}

uint8_t Mix(uint8_t sharp, uint8_t blurred, uint8_t r) {
  return static_cast<uint8_t>(((255 - r) * sharp + r * blurred) / 255);
}

// x' = area x stored / reference; a reference of 0 cannot be scaled from and leaves the
// value as it stands.
int32_t ScaleCorner(int32_t value, int32_t area, int32_t reference) {
  if (reference == 0) return value;
  return ClampToInt32(int64_t{area} * value / reference);
}

}  // namespace

uint8_t ShadowFadeWeight(int32_t p, int32_t c, int32_t s) {
  // The span's ends in 64 bits: a record's centre and spread at the ends of their range reach
  // past 32 bits before they are held to 0..100.
  const int64_t twice = 2 * int64_t{s};
  if (s < 0) {
    const int64_t lo = std::max<int64_t>(0, c + twice), hi = std::min<int64_t>(100, c - twice);
    if (p < lo) return 255;
    if (p < hi) return static_cast<uint8_t>(255 - (p - lo) * 255 / (hi - lo));
    return 0;
  }
  const int64_t lo = std::max<int64_t>(0, c - twice), hi = std::min<int64_t>(100, c + twice);
  if (p < lo) return 0;
  if (lo == hi || p >= hi) return 255;
  return static_cast<uint8_t>((p - lo) * 255 / (hi - lo));
}

MiscPhotoShado::MiscPhotoShado() {
  if (par_.valid()) Init_ShadoPar(par_.get(), 0);
}

void MiscPhotoShado::SetShadoPar(const ShadoPar* par) {
  if (par_.valid() && par != nullptr) Copy_ShadoPar(par, par_.get());
}

int32_t MiscPhotoShado::FillBuf(int16_t blendMode, int16_t opacity, int32_t width,
                                int32_t height, uint8_t* plane0, uint8_t* plane1,
                                uint8_t* plane2, uint8_t* source, uint8_t* mask,
                                int32_t areaWidth, int32_t areaHeight) {
  if (!par_.valid() || source == nullptr) return -1;
  if (width <= 0 || height <= 0) return 0;  // nothing to fade or to draw
  const int32_t* w = par_->w;
  const size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height);
  // The mask is the renderer's temporary: it is treated in place, before anything can fail.
  TreatMask(w[kShaMaskTreatment], mask, bytes);

  plat::Block<uint8_t> copy(static_cast<int64_t>(bytes), WorkSource());
  if (!copy) return -1;
  std::memcpy(copy.get(), source, bytes);
  // The source channel itself is blurred and faded, so operations after this one read the
  // shadow rather than the original channel; scripts made so far rely on it.
  if (w[kShaBlur] > 0)
    Effects::Blur(0, 255, source, nullptr, width, height, 0, 0, width - 1, height - 1,
                  static_cast<int16_t>(std::min<int64_t>(2 * int64_t{w[kShaBlur]}, 32767)), 1);
  plat::Block<uint8_t> rows, columns;
  if (!FadeTable(rows, height, w[kShaFadeV], w[kShaFadeV + 1]) ||
      !FadeTable(columns, width, w[kShaFadeH], w[kShaFadeH + 1]))
    return -1;
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* s = source + static_cast<size_t>(y) * width;
    const uint8_t* c = copy.get() + static_cast<size_t>(y) * width;
    for (int32_t x = 0; x < width; ++x) s[x] = Mix(c[x], s[x], rows.get()[y]);
  }
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* s = source + static_cast<size_t>(y) * width;
    const uint8_t* c = copy.get() + static_cast<size_t>(y) * width;
    for (int32_t x = 0; x < width; ++x) s[x] = Mix(c[x], s[x], columns.get()[x]);
  }

  int32_t cx[4], cy[4];
  for (int i = 0; i < 4; ++i) {
    cx[i] = ScaleCorner(w[kShaCornerX + i], areaWidth, w[kShaRefWidth]);
    cy[i] = ClampToInt32(areaHeight -
                         int64_t{ScaleCorner(w[kShaCornerY + i], areaHeight, w[kShaRefHeight])});
  }
  const RampTables lut = RampTablesOf(par_->ramp);
  auto low = [&](int k) { return static_cast<int16_t>(w[kShaDistort + k]); };
  const int32_t r = X_distortandlut_buffer(
      blendMode, opacity, low(0), low(1), low(2), low(3), height, width, source, height, width,
      plane0, plane1, plane2, cx[1], cy[1], cx[2], cy[2], cx[3], cy[3], cx[0], cy[0], 0, 0,
      areaWidth, areaHeight, 100, mask, lut.data(), low(4), low(5));
  return r < 0 ? -1 : 0;
}

namespace {

// Always the three composite planes, from the operation's source channel.
int32_t CastShadowCase(RenderCall& c) {
  const CaseArgs a(c);
  // The engine fades the source channel in place (see FillBuf).
  uint8_t* source = const_cast<uint8_t*>(c.source);
  if (source == nullptr) return 0;
  MiscPhotoShado engine;
  if (engine.record() == nullptr) return -1;
  const auto* own = static_cast<const ShadoPar*>(MulStrucRecord(c.op->MulStruc, kShadoKind));
  if (own != nullptr) engine.SetShadoPar(own);  // else the engine's copy is at the defaults
  return engine.FillBuf(a.mode, a.opa, a.w, a.h, CompositePlane(c, 3), CompositePlane(c, 4),
                        CompositePlane(c, 5), source, c.mask, a.aw, a.ah) < 0
             ? -1
             : 0;
}

}  // namespace

void RegisterCastShadowCase() { RegisterRenderCase(80, CastShadowCase); }
