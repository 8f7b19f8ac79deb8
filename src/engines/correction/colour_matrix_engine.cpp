#include "engines/correction/colour_matrix_engine.h"

#include <algorithm>
#include <optional>

#include "app/core/colour_spaces.h"
#include "app/core/memory_manager.h"
#include "app/core/percent.h"
#include "app/core/sample_clamp.h"
#include "engines/correction/colour_matrix_dither.h"
#include "engines/records/engine_frame.h"
#include "operations/effects.h"
#include "platform/memory/block.h"
#include "platform/parallel/cancel.h"
#include "platform/parallel/progress.h"

void MiscColMat::SetColMatPar(const ColMatPar* record) { Copy_ColMatPar(record, par_.get()); }

void MiscColMat::GetColMatPar(ColMatPar* record) const { Copy_ColMatPar(par_.get(), record); }

void MiscColMat::SetColMatVal(const int32_t* cells, int16_t noise, int16_t shift1,
                              int16_t shift2, int16_t shift3, int16_t contrast) {
  if (!par_.valid() || cells == nullptr) return;
  for (int k = 0; k < kColMatCells; ++k) par_->cells[k] = static_cast<uint32_t>(cells[k]);
  par_->noise = noise;
  par_->shift[0] = shift1;
  par_->shift[1] = shift2;
  par_->shift[2] = shift3;
  par_->contrast = contrast;
}

namespace {

// One sample of the stretched grid, in 1/65536 of a channel value.
struct GridPoint {
  int32_t k = 0;  // upper-left cell
  int32_t wx = 0, wy = 0;
};

GridPoint At(int32_t x, int32_t y, int32_t left, int32_t top, int64_t spanX, int64_t spanY) {
  const int64_t fy = (static_cast<int64_t>(y - top) * 8192) / spanY;
  const int64_t fx = (static_cast<int64_t>(x - left) * 8192) / spanX;
  return {static_cast<int32_t>((fy >> 8) * kColMatSide + (fx >> 8)), static_cast<int32_t>(fx & 255),
          static_cast<int32_t>(fy & 255)};
}

int32_t Interpolate(const float* f, const GridPoint& g) {
  const int32_t wx = g.wx, wy = g.wy;
  const float v = wy * wx * f[g.k + 34] + wy * (256 - wx) * f[g.k + 33] +
                  (256 - wy) * (256 - wx) * f[g.k] + (256 - wy) * wx * f[g.k + 1];
  return static_cast<int32_t>(v);
}

uint8_t Mix(int16_t blendMode, int32_t a, uint8_t value, uint8_t dithered) {
  unsigned char r = value;  // a mode outside 0..11 keeps the value
  X_optionRPart(&r, static_cast<uint32_t>(blendMode + 1), value, dithered);
  return static_cast<uint8_t>(((255 - a) * value + a * r) / 255);
}

// The vignette over any sample layout: `sample(c, i)` is channel c of pixel i.
template <class Sample>
int32_t Vignette(int16_t blendMode, int16_t opacity, int16_t channels, int32_t height,
                 int32_t width, const uint8_t* mask, int32_t left, int32_t top, int32_t right,
                 int32_t bottom, const uint32_t* cells, int16_t deviation, Sample sample) {
  if (cells == nullptr || width <= 0 || height <= 0) return -1;
  // The spans come from the area as asked, so a clipped area keeps the grid's placement.
  const int64_t spanX = static_cast<int64_t>(right) - left + 1;
  const int64_t spanY = static_cast<int64_t>(bottom) - top + 1;
  const int32_t x0 = std::max(left, 0), y0 = std::max(top, 0);
  const int32_t x1 = std::min(right, width - 1), y1 = std::min(bottom, height - 1);
  if (x0 > x1 || y0 > y1) return -1;
  const int32_t count = channels == 4 ? 4 : 1;

  plat::Block<uint8_t> table(kDitherTableSize, WorkSource());
  plat::Block<float> f(4 * kColMatCells, WorkSource());
  if (!table || !f) {
    S2_alea(1);
    return -1;
  }
  S_precalcul_alea(table.get(), 1, deviation);
  S2_alea(0);
  for (int32_t c = 0; c < 4; ++c)
    for (int32_t k = 0; k < kColMatCells; ++k)
      f[c * kColMatCells + k] = ColMatChannel(cells[k], c);

  int32_t p = 0;
  // The draws go pixel after pixel, so the rows cannot be shared out: they report themselves,
  // and a stopped render ends at the next row (its owner drops what is left).
  const int64_t rows = int64_t{y1} - y0 + 1;
  bool stopped = false;
  for (int32_t y = y0; y <= y1 && !(stopped = plat::Cancelled()); ++y) {
    for (int32_t x = x0; x <= x1; ++x) {
      const GridPoint g = At(x, y, left, top, spanX, spanY);
      const int64_t i = static_cast<int64_t>(y) * width + x;
      const int32_t a = mask != nullptr ? mask[i] * opacity / 255 : opacity;
      for (int32_t c = 0; c < count; ++c) {
        const int32_t v = Interpolate(f.get() + c * kColMatCells, g);
        uint8_t& s = sample(c, i);
        s = Mix(blendMode, a, s, table[(v >> 14) * 256 + p]);
      }
      // Past the row's end the position jumps to a fresh random place.
      if (++p > 255) p = S2_alea(0);
    }
    plat::ReportProgress(int64_t{y} - y0 + 1, rows);
  }
  S2_alea(1);
  return stopped ? -1 : 0;
}

}  // namespace

int32_t MiscColMat::ProcessVignette1(int16_t blendMode, int16_t opacity, int16_t channels,
                                     int32_t height, int32_t width, uint32_t* pixels,
                                     const uint8_t* mask, int32_t left, int32_t top,
                                     int32_t right, int32_t bottom, const uint32_t* cells,
                                     int16_t deviation) {
  if (pixels == nullptr) return -1;
  auto* bytes = reinterpret_cast<uint8_t*>(pixels);
  return Vignette(blendMode, opacity, channels, height, width, mask, left, top, right, bottom,
                  cells, deviation,
                  [bytes](int32_t c, int64_t i) -> uint8_t& { return bytes[4 * i + c]; });
}

int32_t MiscColMat::ProcessVignette4(int16_t blendMode, int16_t opacity, int16_t channels,
                                     int32_t height, int32_t width, uint8_t* red,
                                     uint8_t* green, uint8_t* blue, uint8_t* fourth,
                                     const uint8_t* mask, int32_t left, int32_t top,
                                     int32_t right, int32_t bottom, const uint32_t* cells,
                                     int16_t deviation) {
  uint8_t* planes[4] = {red, green, blue, fourth};
  const int32_t count = channels == 4 ? 4 : 1;
  for (int32_t c = 0; c < count; ++c)
    if (planes[c] == nullptr) return -1;
  return Vignette(blendMode, opacity, channels, height, width, mask, left, top, right, bottom,
                  cells, deviation,
                  [&planes](int32_t c, int64_t i) -> uint8_t& { return planes[c][i]; });
}

void MiscColMat::FillBuf(int16_t planes, int16_t blendMode, int16_t opacity, int16_t source,
                         int16_t apply, int16_t fill, int32_t left, int32_t top, int32_t right,
                         int32_t bottom, int32_t, int32_t, int32_t photoLeft, int32_t photoTop,
                         int32_t photoRight, int32_t photoBottom, float scaleX, float scaleY,
                         int32_t width, int32_t height, uint8_t* red, uint8_t* green,
                         uint8_t* blue, uint8_t* fourth, const uint8_t* mask) {
  const int16_t count = planes == 3 ? 3 : 1;
  if (!par_.valid() || width <= 0 || height <= 0 || red == nullptr) return;
  if (count == 3 && (green == nullptr || blue == nullptr)) return;
  // The effect works on the inclusive area; the blend back uses it exclusive.
  const vmkrec::EngineArea in = vmkrec::ClampArea(left, top, right, bottom, width, height, true);
  const vmkrec::EngineArea area = vmkrec::ClampArea(left, top, right, bottom, width, height, false);

  const vmkrec::SourceRequest request = vmkrec::MakeSourceRequest(
      width, height, in.right - in.left, in.bottom - in.top, photoLeft, photoTop, photoRight,
      photoBottom, scaleX, scaleY, red, green, blue, fourth);
  vmkrec::PrepareEngineSource(source, count, static_cast<uint8_t>(fill), request);

  const int64_t n = static_cast<int64_t>(width) * height;
  plat::Block<uint32_t> A(n, WorkSource());
  plat::Block<uint32_t> B(n, WorkSource());
  if (!A || !B) return;
  uint8_t* plane[3] = {red, green, blue};
  auto* a = reinterpret_cast<uint8_t*>(A.get());
  auto* b = reinterpret_cast<uint8_t*>(B.get());
  // The steps' shares of the progress, as they divide the time of a 6000 x 4000 render (the
  // grid's colours, drawn pixel after pixel, the longest); each reports within its share, and
  // a stopped render takes no further step (its owner drops the planes).
  std::optional<plat::ProgressStage> step;
  auto next = [&step](double from, double to) {
    step.reset();
    if (plat::Cancelled()) return false;
    step.emplace(from, to);
    return true;
  };
  next(0.0, 0.15);
  for (int64_t i = 0; i < n; ++i)
    for (int32_t c = 0; c < 4; ++c)
      a[4 * i + c] = b[4 * i + c] = c == 3 ? 0 : plane[count == 3 ? c : 0][i];

  plat::Block<uint8_t> T(n, WorkSource());
  if (apply == 1) {
    const ColMatPar& r = *par_;
    if (!next(0.15, 0.55)) return;
    ProcessVignette1(0, 255, count == 3 ? 4 : 1, height, width, B.get(), nullptr, in.left,
                     in.top, in.right, in.bottom, r.cells, static_cast<int16_t>(r.noise));
    if (!T) return;
    if (!next(0.55, 0.65)) return;
    Effects::HSLBlend(0, 255, height, width, B.get(), nullptr, in.left, in.top, in.right,
                      in.bottom, static_cast<int16_t>(r.shift[0]), static_cast<int16_t>(r.shift[1]),
                      static_cast<int16_t>(r.shift[2]), 0);
    const int16_t k = PercentTo255Int16(r.contrast);
    if (!next(0.65, 0.8)) return;
    if (count == 3) {
      Effects::AdjContrast(0, 255, b, height, width, 0, 0, width, height, 4, nullptr, k, 0, 0);
      // Channel 3 of the grid is the share of the source image kept.
      for (int64_t i = 0; i < n; ++i) {
        const int32_t t = b[4 * i + 3];
        for (int32_t c = 0; c < 3; ++c)
          b[4 * i + c] = static_cast<uint8_t>(((255 - t) * b[4 * i + c] + t * a[4 * i + c]) / 255);
      }
    } else {
      for (int64_t i = 0; i < n; ++i)
        T[i] = static_cast<uint8_t>((b[4 * i] + b[4 * i + 1] + b[4 * i + 2]) / 3);
      Effects::AdjContrast(0, 255, T.get(), height, width, 0, 0, width, height, 1, nullptr, k, 0,
                           0);
    }
  } else {
    if (!T) return;
    // Unprocessed, a single plane blends its own grey.
    if (count == 1)
      for (int64_t i = 0; i < n; ++i)
        T[i] = static_cast<uint8_t>((b[4 * i] + b[4 * i + 1] + b[4 * i + 2]) / 3);
  }

  if (count == 1) {
    if (!next(0.8, 1.0)) return;
    vmkrec::BlendEffect(red, T.get(), mask, width, area, blendMode, opacity);
    return;
  }
  for (int32_t c = 0; c < 3; ++c) {
    if (!next(0.8 + 0.2 * c / 3, 0.8 + 0.2 * (c + 1) / 3)) return;
    for (int64_t i = 0; i < n; ++i) T[i] = b[4 * i + c];
    vmkrec::BlendEffect(plane[c], T.get(), mask, width, area, blendMode, opacity);
  }
}
