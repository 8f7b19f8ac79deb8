// Images drawn into a view's context. The context follows the image views'
// convention: the image's row 0 lands at the bottom of the destination, so
// buffers built bottom-up show upright.
#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/draw/port.h"

namespace plat::draw {
namespace {

struct Rgba {
  float c[4];
};

Rgba Texel(const ImageRef& img, int x, int y) {
  x = std::clamp(x, 0, img.width - 1);
  y = std::clamp(y, 0, img.height - 1);
  const uint8_t* p = img.data + static_cast<long>(y) * img.rowBytes + static_cast<long>(x) * 4;
  return Rgba{{static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2]), static_cast<float>(p[3])}};
}

// One premultiplied source pixel over a port pixel, in single precision:
// out = src + dst * (1 - alpha).
uint32_t Over(const Rgba& c, uint32_t dstPx) {
  uint32_t out = 0xFF000000u;
  const float alpha = c.c[3];
  for (int k = 0; k < 3; ++k) {
    const int shift = 16 - 8 * k;
    const float d = static_cast<float>((dstPx >> shift) & 0xFFu);
    const float v = c.c[k] + d * (255.0f - alpha) / 255.0f;
    const uint32_t iv = static_cast<uint32_t>(std::clamp(static_cast<int>(v + 0.5f), 0, 255));
    out |= iv << shift;
  }
  return out;
}

// Nearest sampling: every row takes the same source columns, worked out
// once; an opaque source pixel is copied and a clear one leaves the port's,
// which is what Over gives them (a picture shown at twice the density has
// four times the pixels, most of them opaque).
void DrawNearest(Surface& s, const ImageRef& image, int l, int t, int r, int b, float x0, float y0, float kx,
                 float ky) {
  std::vector<int> columns(static_cast<size_t>(r - l));
  for (int x = l; x < r; ++x)
    columns[static_cast<size_t>(x - l)] =
        std::clamp(static_cast<int>(std::floor(((x + 0.5f) - x0) * kx)), 0, image.width - 1);
  for (int y = t; y < b; ++y) {
    uint32_t* row = s.row(y);
    // Continuous source row measured from the image's first row, which is
    // the bottom of the destination.
    const float sy = image.height - ((y + 0.5f) - y0) * ky;
    const int iy = std::clamp(static_cast<int>(std::floor(sy)), 0, image.height - 1);
    const uint8_t* src = image.data + static_cast<long>(iy) * image.rowBytes;
    for (int x = l; x < r; ++x) {
      const uint8_t* p = src + static_cast<long>(columns[static_cast<size_t>(x - l)]) * 4;
      if (p[3] == 255) {
        row[x] = 0xFF000000u | (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
      } else if (p[3] == 0 && p[0] == 0 && p[1] == 0 && p[2] == 0) {
        row[x] |= 0xFF000000u;
      } else {
        row[x] = Over(Rgba{{static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2]),
                            static_cast<float>(p[3])}},
                      row[x]);
      }
    }
  }
}

}  // namespace

void DrawImage(const Context& ctx, const CGRect& dst, const ImageRef& image, bool smooth) {
  Port* port = ctx.port;
  if (port == nullptr || image.data == nullptr || image.width <= 0 || image.height <= 0 ||
      image.rowBytes < image.width * 4 || dst.size.width <= 0.0f || dst.size.height <= 0.0f) {
    return;
  }
  if (port->recording()) {
    port->record("DrawImage " + std::to_string(image.width) + "x" + std::to_string(image.height) +
                 (smooth ? " smooth" : ""));
  }
  // Everything below is in device pixels: the destination, the clips and
  // the sampling steps are the port's times its backing scale.
  const int k = port->backingScale();
  const float fk = static_cast<float>(k);
  const float x0 = (ctx.originH + dst.origin.x) * fk, y0 = (ctx.originV + dst.origin.y) * fk;
  const float dw = dst.size.width * fk, dh = dst.size.height * fk;
  const int left = static_cast<int>(std::floor(x0 + 0.5f));
  const int top = static_cast<int>(std::floor(y0 + 0.5f));
  const int right = static_cast<int>(std::floor(x0 + dw + 0.5f));
  const int bottom = static_cast<int>(std::floor(y0 + dh + 0.5f));
  Surface& s = port->surface();
  const int l = std::max({left, 0, ctx.clip.left * k, port->portRect.left * k});
  const int t = std::max({top, 0, ctx.clip.top * k, port->portRect.top * k});
  const int r = std::min({right, s.width(), ctx.clip.right * k, port->portRect.right * k});
  const int b = std::min({bottom, s.height(), ctx.clip.bottom * k, port->portRect.bottom * k});
  if (l >= r || t >= b) return;
  const float kx = image.width / dw, ky = image.height / dh;
  if (!smooth) {
    DrawNearest(s, image, l, t, r, b, x0, y0, kx, ky);
  } else {
    for (int y = t; y < b; ++y) {
      uint32_t* row = s.row(y);
      const float sy = image.height - ((y + 0.5f) - y0) * ky;
      for (int x = l; x < r; ++x) {
        const float sx = ((x + 0.5f) - x0) * kx;
        const float fx = sx - 0.5f, fy = sy - 0.5f;
        const int ix = static_cast<int>(std::floor(fx)), iy = static_cast<int>(std::floor(fy));
        const float ax = fx - ix, ay = fy - iy;
        const Rgba a = Texel(image, ix, iy), bq = Texel(image, ix + 1, iy), cq = Texel(image, ix, iy + 1),
                   d = Texel(image, ix + 1, iy + 1);
        Rgba c;
        for (int n = 0; n < 4; ++n) {
          const float top0 = a.c[n] + (bq.c[n] - a.c[n]) * ax;
          const float bot0 = cq.c[n] + (d.c[n] - cq.c[n]) * ax;
          c.c[n] = top0 + (bot0 - top0) * ay;
        }
        row[x] = Over(c, row[x]);
      }
    }
  }
  if (port->onChanged) {
    port->onChanged(Rect{static_cast<int16_t>(t / k), static_cast<int16_t>(l / k),
                         static_cast<int16_t>((b + k - 1) / k), static_cast<int16_t>((r + k - 1) / k)});
  }
}

}  // namespace plat::draw
