// The driver of a content-aware resize: work planes from the source rectangle, the seam
// passes of one or two stages, and the write-back into the target rectangle.
#include <algorithm>

#include "app/core/colour_spaces.h"
#include "app/core/memory_manager.h"
#include "app/core/percent.h"
#include "app/core/sample_clamp.h"
#include "engines/correction/yoxel_seams.h"
#include "operations/effects.h"
#include "platform/memory/block.h"
#include "platform/parallel/cancel.h"

namespace {

// Rows handled between two looks at the cancellation flag.
constexpr int32_t kCancelBand = 64;

// A stale preview stops between bands of rows: every kCancelBand rows from `first`.
bool StopAt(int32_t y, int32_t first) { return (y - first) % kCancelBand == 0 && plat::Cancelled(); }

struct Rect {
  int32_t l, t, r, b;
  int32_t w() const { return r - l; }
  int32_t h() const { return b - t; }
  bool empty() const { return w() <= 0 || h() <= 0; }
  bool sameSize(const Rect& o) const { return w() == o.w() && h() == o.h(); }
};

Rect Clamp(Rect q, int32_t width, int32_t height) {
  return {std::max(q.l, 0), std::max(q.t, 0), std::min(q.r, width), std::min(q.b, height)};
}

struct Work {
  int32_t stride = 0, maxHeight = 0;
  plat::Block<uint8_t> red, green, blue, lum;
  plat::Block<int32_t> mask, edge;
  bool Take(int32_t s, int32_t m) {
    stride = s;
    maxHeight = m;
    const int64_t n = static_cast<int64_t>(s) * m;
    red = plat::Block<uint8_t>(n, WorkSource());
    green = plat::Block<uint8_t>(n, WorkSource());
    blue = plat::Block<uint8_t>(n, WorkSource());
    mask = plat::Block<int32_t>(n, WorkSource());
    lum = plat::Block<uint8_t>(n, WorkSource());
    edge = plat::Block<int32_t>(n, WorkSource());
    return red && green && blue && mask && lum && edge;
  }
};

struct MaskSource {
  int32_t width, height;
  const int16_t* protect;
  const int16_t* remove;
  int32_t protectWeight, removeWeight;
  bool usable() const { return protect != nullptr && remove != nullptr && width > 0 && height > 0; }
};

void Fill(Work& k, const Rect& src, const Rect& proc, int16_t flip, int16_t planes, const uint8_t* red,
          const uint8_t* green, const uint8_t* blue, int32_t width, const MaskSource& m) {
  const float sx = static_cast<float>(m.width) / static_cast<float>(proc.w());
  const float sy = static_cast<float>(m.height) / static_cast<float>(proc.h());
  const bool flipX = flip == 1 || flip == 3, flipY = flip == 2 || flip == 3;
  for (int32_t y = src.t; y < src.b; ++y) {
    if (StopAt(y, src.t)) return;
    for (int32_t x = src.l; x < src.r; ++x) {
      const int32_t px = flipX ? src.l + src.r - 1 - x : x;
      const int32_t py = flipY ? src.t + src.b - 1 - y : y;
      const int64_t p = static_cast<int64_t>(py) * width + px;
      const int64_t w = static_cast<int64_t>(y - src.t) * k.stride + (x - src.l);
      const uint8_t r = red[p], g = planes == 3 ? green[p] : r, b = planes == 3 ? blue[p] : r;
      k.red[w] = r;
      k.green[w] = g;
      k.blue[w] = b;
      k.lum[w] = planes == 3 ? static_cast<uint8_t>((299 * r + 587 * g + 114 * b) / 1000) : r;
      int32_t energy = 0;
      if (m.usable()) {
        const int32_t u = flipX ? proc.r - x : x - proc.l;
        const int32_t v = flipY ? proc.b - y : y - proc.t;
        const auto mx = static_cast<int32_t>(sx * static_cast<float>(u) + 0.5f);
        const auto my = static_cast<int32_t>(sy * static_cast<float>(v) + 0.5f);
        const int64_t i = static_cast<int64_t>(m.width) * (m.height - my) + mx;
        if (mx >= 0 && mx <= m.width && my >= 0 && my <= m.height)
          energy = static_cast<int32_t>((static_cast<int64_t>(m.protectWeight) * 32 * m.protect[i] -
                                         static_cast<int64_t>(m.removeWeight) * 32 * m.remove[i]) /
                                        100);
      }
      k.mask[w] = energy;
    }
  }
}

struct Stage {
  int32_t wFrom, hFrom, wTo, hTo;
};

// False when the work was cancelled on the way (the planes are then unfinished).
bool RunStage(Work& k, const Stage& s, int16_t kernel, int32_t contrast, int32_t spread) {
  const int16_t spreadContrast = TruncToInt16(contrast * 1.27 + 0.5);
  uint8_t* planes[4] = {k.red.get(), k.green.get(), k.blue.get(), k.lum.get()};
  auto detect = [&](int16_t kind, int32_t right, int32_t bottom, bool removing) {
    int32_t maximum = 0;
    Effects::Conv_Detect(1, k.stride, k.maxHeight, k.lum.get(), k.edge.get(), &maximum, kind, 100, 0, 0, 0,
                         right, bottom);
    if (removing && spread != 0)
      Effects::Conv_Detect(4, k.stride, k.maxHeight, k.edge.get(), k.edge.get(), &maximum, 5,
                           static_cast<int16_t>(spread), spreadContrast, 0, 0, right, bottom);
  };
  detect(kernel, s.wFrom - 1, s.hFrom - 1, s.wTo < s.wFrom);
  if (plat::Cancelled()) return false;
  if (s.wTo < s.wFrom) {
    Smart_VRemove(kernel, s.wFrom - s.wTo, s.hFrom, s.wFrom, k.stride, k.maxHeight, planes[0], planes[1],
                  planes[2], planes[3], k.edge.get(), k.mask.get());
  } else {
    addweight = static_cast<int16_t>(4 * int64_t{spread} + 1);  // the low 16 bits, as ever
    Smart_VAdd(kernel, s.wTo - s.wFrom, s.hFrom, s.wFrom, k.stride, k.maxHeight, planes[0], planes[1],
               planes[2], planes[3], k.edge.get(), k.mask.get());
  }
  if (plat::Cancelled()) return false;
  const int16_t hk = kernel == 2 ? 7 : (kernel == 1 ? 9 : kernel);
  // The region keeps the width before the vertical pass, as stored results were made.
  detect(hk, s.wFrom - 1, s.hFrom - 1, s.hTo < s.hFrom);
  if (plat::Cancelled()) return false;
  if (s.hTo < s.hFrom) {
    Smart_HRemove(hk, s.hFrom - s.hTo, s.hFrom, s.wTo, k.stride, k.maxHeight, planes[0], planes[1], planes[2],
                  planes[3], k.edge.get(), k.mask.get());
  } else {
    addweight = static_cast<int16_t>(4 * int64_t{spread} + 1);  // the low 16 bits, as ever
    Smart_HAdd(hk, s.hTo - s.hFrom, s.hFrom, s.wTo, k.stride, k.maxHeight, planes[0], planes[1], planes[2],
               planes[3], k.edge.get(), k.mask.get());
  }
  return !plat::Cancelled();
}

}  // namespace

int16_t PerformSmartBufResize(int16_t planes, int16_t blendMode, int16_t opacity, int32_t width,
                              int32_t height, int32_t left, int32_t top, int32_t right,
                              int32_t bottom, uint8_t* red, uint8_t* green, uint8_t* blue,
                              uint8_t*, uint8_t* fifth, const uint8_t* opacityPlane,
                              int32_t maskWidth, int32_t maskHeight, const int16_t* protect,
                              const int16_t* remove, int32_t protectWeight, int32_t removeWeight,
                              int16_t twoStage, int32_t middleLeft, int32_t middleTop,
                              int32_t middleRight, int32_t middleBottom, int16_t edgeKernel,
                              int16_t flipMode, int32_t contrast, int32_t energySpread, int32_t,
                              int32_t, int32_t, int32_t, int32_t sourceLeft, int32_t sourceTop,
                              int32_t sourceRight, int32_t sourceBottom, int32_t targetLeft,
                              int32_t targetTop, int32_t targetRight, int32_t targetBottom,
                              int16_t fillMode, int32_t fillRed, int32_t fillGreen,
                              int32_t fillBlue) {
  const int16_t count = planes == 3 ? 3 : 1;
  if (red == nullptr || width <= 0 || height <= 0 || flipMode < 0 || flipMode > 3) return -1;
  if (count == 3 && (green == nullptr || blue == nullptr)) return -1;
  const Rect proc = Clamp({left, top, right, bottom}, width, height);
  const Rect src = Clamp({sourceLeft, sourceTop, sourceRight, sourceBottom}, width, height);
  const Rect mid = Clamp({middleLeft, middleTop, middleRight, middleBottom}, width, height);
  const Rect tgt = Clamp({targetLeft, targetTop, targetRight, targetBottom}, width, height);
  const bool two = twoStage == 1;
  if (proc.empty() || src.empty() || tgt.empty() || (two && mid.empty())) return -1;
  if (two ? (src.sameSize(mid) && mid.sameSize(tgt)) : src.sameSize(tgt)) return -1;
  int32_t stride = std::max(src.w(), tgt.w()), maxHeight = std::max(src.h(), tgt.h());
  if (two) {
    stride = std::max(stride, mid.w());
    maxHeight = std::max(maxHeight, mid.h());
  }
  Work k;
  if (!k.Take(stride, maxHeight)) return -1;
  Fill(k, src, proc, flipMode, count, red, green, blue, width,
       {maskWidth, maskHeight, protect, remove, protectWeight, removeWeight});
  if (contrast != 0) {
    // Capped from above only: a large negative contrast passes as it is, held to the 16-bit
    // amount it travels in.
    const int32_t c = contrast <= 50 ? contrast : 50;
    Effects::AdjContrast(0, 255, k.lum.get(), maxHeight, stride, 0, 0, src.w(), src.h(), 1, nullptr,
                         PercentTo255Int16(c), 0, 0);
  }
  // Cancelled before the write-back (a stale preview), the caller's planes stay as they
  // came; cancelled during it, they are unfinished and their owner drops them.
  if (plat::Cancelled()) return 0;
  if (two) {
    if (!RunStage(k, {src.w(), src.h(), mid.w(), mid.h()}, edgeKernel, contrast, energySpread)) return 0;
    for (int32_t y = 0; y < src.h(); ++y)
      std::fill(k.mask.get() + static_cast<int64_t>(y) * stride, k.mask.get() + static_cast<int64_t>(y) * stride + src.w(), 0);
    if (!RunStage(k, {mid.w(), mid.h(), tgt.w(), tgt.h()}, edgeKernel, contrast, energySpread)) return 0;
  } else if (!RunStage(k, {src.w(), src.h(), tgt.w(), tgt.h()}, edgeKernel, contrast, energySpread)) {
    return 0;
  }

  uint8_t* plane[3] = {red, green, blue};
  const bool flipX = flipMode == 1 || flipMode == 3, flipY = flipMode == 2 || flipMode == 3;
  for (int32_t y = proc.t; y < proc.b; ++y) {
    if (StopAt(y, proc.t)) return 0;
    for (int32_t x = proc.l; x < proc.r; ++x) {
      const int64_t i = static_cast<int64_t>(y) * width + x;
      if (x < tgt.l || x >= tgt.r || y < tgt.t || y >= tgt.b) {
        const int32_t fill[3] = {fillMode == 1 ? 0 : fillRed & 255, fillMode == 1 ? 0 : fillGreen & 255,
                                 fillMode == 1 ? 0 : fillBlue & 255};
        if (fillMode != 1 && fillMode != 2) continue;
        for (int32_t c = 0; c < count; ++c) plane[c][i] = static_cast<uint8_t>(fill[c]);
        if (fillMode == 1 && fifth != nullptr) fifth[i] = 0;
        continue;
      }
      const int32_t kr = flipY ? tgt.b - 1 - y : y - tgt.t;
      const int32_t kc = flipX ? tgt.r - 1 - x : x - tgt.l;
      const int64_t w = static_cast<int64_t>(kr) * stride + kc;
      const int32_t op = opacityPlane != nullptr ? opacityPlane[i] * opacity / 255 : opacity;
      const uint8_t work[3] = {k.red[w], k.green[w], k.blue[w]};
      for (int32_t c = 0; c < count; ++c) {
        const uint8_t v = plane[c][i];
        const int32_t value = count == 3 ? work[c] : (work[0] + work[1] + work[2]) / 3;
        unsigned char b = v;  // a mode outside 0..11 keeps the value
        X_optionRPart(&b, static_cast<uint32_t>(blendMode + 1), v, value);
        plane[c][i] = static_cast<uint8_t>(((255 - op) * v + op * b) / 255);
      }
    }
  }
  return 0;
}
