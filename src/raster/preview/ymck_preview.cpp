// Preview conversion and drawing of RGB and YMCK long buffers.
//
// Buffers are converted in bands of 32 rows, from the bottom of the
// rectangle upward, into one small block of display pixels, and each band is
// drawn on its own; memory stays at 32 rows whatever the picture's size.
#include "raster/preview/ymck_preview.h"

#include <cstring>
#include <vector>

#include "app/core/sample_clamp.h"
#include "platform/draw/port.h"
#include "app/core/memory_manager.h"
#include "platform/memory/block.h"

namespace {

constexpr int32_t kBandRows = 32;

inline int32_t Stride(int32_t width) { return (width + 3) & ~3; }

// YMCK to display bytes 1..3 through display planes and black factors.
inline void DisplayYmck(const unsigned char* planeR, const unsigned char* planeG,
                        const unsigned char* planeB, uint32_t blackFactor, const unsigned char* s,
                        unsigned char* d) {
  const int32_t i = DisplayIndex(s[0], s[1], s[2]);
  d[1] = static_cast<unsigned char>((planeR[i] * blackFactor) >> 8);
  d[2] = static_cast<unsigned char>((planeG[i] * blackFactor) >> 8);
  d[3] = static_cast<unsigned char>((planeB[i] * blackFactor) >> 8);
}

// Runs `convert(srcRow, dstRow, rowCount)` for each band of the rectangle,
// bottom band first, then `draw(firstRow, rowCount, band)`.
template <typename Convert, typename Draw>
bool ForEachBand(int32_t left, int32_t top, int32_t right, int32_t bottom, Convert convert,
                 Draw draw) {
  const int32_t rw = right - left + 1;
  const int32_t stride = Stride(rw);
  const plat::Block<uint32_t> bandBlock(static_cast<int64_t>(stride) * kBandRows, WorkSource());
  if (!bandBlock) return false;
  bandBlock.Clear();
  uint32_t* band = bandBlock.get();
  for (int32_t last = bottom; last >= top; last -= kBandRows) {
    const int32_t first = last - kBandRows + 1 > top ? last - kBandRows + 1 : top;
    const int32_t rows = last - first + 1;
    for (int32_t r = 0; r < rows; ++r) {
      convert(first + r, reinterpret_cast<unsigned char*>(band + static_cast<int64_t>(r) * stride));
    }
    draw(first, rows, band);
  }
  return true;
}

// Draws one converted band whose first row lies `rowOffset` rows below the
// rectangle's top, at the zoomed position below (x, y).
void DrawBand(plat::draw::Port* port, const uint32_t* band, int32_t width, int32_t rows,
              int32_t rowOffset, int32_t x, int32_t y, float zoom) {
  const Rect bounds{0, 0, static_cast<int16_t>(kBandRows), static_cast<int16_t>(Stride(width))};
  const int32_t y0 = y + static_cast<int32_t>(static_cast<float>(rowOffset) * zoom);
  const int32_t y1 = y + static_cast<int32_t>(static_cast<float>(rowOffset + rows) * zoom);
  S_write_image(bounds, port, band, width, rows, x, y0,
                static_cast<int32_t>(static_cast<float>(width) * zoom), y1 - y0);
}

}  // namespace

int32_t X_conv_YMCK_RGB(const unsigned char* src, unsigned char* dst, int32_t count,
                        const ModTemplate* model) {
  if (model == nullptr || src == nullptr || dst == nullptr) return -1;
  const unsigned char* planeR = model->bytes + kModDisplayR;
  const unsigned char* planeG = model->bytes + kModDisplayG;
  const unsigned char* planeB = model->bytes + kModDisplayB;
  for (int32_t n = 0; n < count; ++n, src += 4, dst += 3) {
    unsigned char d[4];
    DisplayYmck(planeR, planeG, planeB, ModBlackFactor(*model, src[3]), src, d);
    dst[0] = d[1];
    dst[1] = d[2];
    dst[2] = d[3];
  }
  return 0;
}

int32_t CreatePhoMod(PhoModTemplate* model) {
  (void)model;
  return 0;
}

void HiQ_RGBConvert(int16_t view, unsigned char* pixel, int16_t single, int32_t a, int32_t b,
                    int32_t c) {
  if (pixel == nullptr) return;
  int32_t v[3];
  const bool own = single == 1;
  switch (view) {
    case 1: v[0] = a; v[1] = own ? 0 : a; v[2] = own ? 0 : a; break;
    case 2: v[0] = own ? 0 : b; v[1] = b; v[2] = own ? 0 : b; break;
    case 3: v[0] = a; v[1] = b; v[2] = 0; break;
    case 4: v[0] = own ? 0 : c; v[1] = own ? 0 : c; v[2] = c; break;
    case 5: v[0] = a; v[1] = 0; v[2] = c; break;
    case 6: v[0] = 0; v[1] = b; v[2] = c; break;
    case 7: v[0] = a; v[1] = b; v[2] = c; break;
    default: return;
  }
  pixel[1] = static_cast<unsigned char>(v[0]);
  pixel[2] = static_cast<unsigned char>(v[1]);
  pixel[3] = static_cast<unsigned char>(v[2]);
}

void S_write_image(const Rect& bounds, plat::draw::Port* port, const uint32_t* data,
                   int32_t width, int32_t height, int32_t x, int32_t y, int32_t w, int32_t h) {
  (void)bounds;
  if (port == nullptr || data == nullptr || width <= 0 || height <= 0 || w <= 0 || h <= 0) return;
  const int32_t stride = Stride(width);
  // The port's image drawing takes top-to-bottom-flipped RGBA rows (row 0 at
  // the bottom of the destination); the pixels are opaque.
  std::vector<uint8_t> rgba(static_cast<size_t>(width) * height * 4);
  for (int32_t row = 0; row < height; ++row) {
    const unsigned char* s =
        reinterpret_cast<const unsigned char*>(data + static_cast<int64_t>(row) * stride);
    uint8_t* d = rgba.data() + static_cast<size_t>(height - 1 - row) * width * 4;
    for (int32_t col = 0; col < width; ++col, s += 4, d += 4) {
      d[0] = s[1];
      d[1] = s[2];
      d[2] = s[3];
      d[3] = 255;
    }
  }
  plat::draw::Context ctx;
  ctx.port = port;
  ctx.clip = port->clipRect;
  plat::draw::ImageRef image{rgba.data(), width, height, width * 4};
  CGRect dst;
  dst.origin = CGPoint{static_cast<float>(x), static_cast<float>(y)};
  dst.size = CGSize{static_cast<float>(w), static_cast<float>(h)};
  plat::draw::DrawImage(ctx, dst, image, false);
}

void X_RGBecho_UG(plat::draw::Port* port, int32_t height, int32_t width, int32_t left,
                  int32_t top, int32_t right, int32_t bottom, int32_t x, int32_t y, int16_t view,
                  const TColMsk* colourMask, int16_t single, int16_t invert,
                  const uint32_t* buffer, const unsigned char* mask, float zoom) {
  if (port == nullptr || buffer == nullptr || !ClipInclusiveRect(width, height, left, top, right, bottom)) {
    return;
  }
  const int32_t rw = right - left + 1;
  ForEachBand(
      left, top, right, bottom,
      [&](int32_t row, unsigned char* out) {
        const int64_t base = static_cast<int64_t>(row) * width;
        const unsigned char* s = reinterpret_cast<const unsigned char*>(buffer + base + left);
        for (int32_t i = 0; i < rw; ++i, s += 4, out += 4) {
          int32_t v[3] = {s[0], s[1], s[2]};
          if (invert == 0) {
            for (int32_t& c : v) c = 255 - c;
          }
          if (view == -1) {
            out[1] = out[2] = out[3] = 255;
          } else {
            HiQ_RGBConvert(view, out, single, v[0], v[1], v[2]);
          }
          if (colourMask != nullptr && mask != nullptr && mask[base + left + i] != 0) {
            const int32_t alpha = (mask[base + left + i] * colourMask->opacity) >> 8;
            const int32_t colour[3] = {colourMask->red, colourMask->green, colourMask->blue};
            for (int k = 0; k < 3; ++k) {
              out[k + 1] = static_cast<unsigned char>((out[k + 1] * (255 - alpha) + alpha * colour[k]) >> 8);
            }
          }
        }
      },
      [&](int32_t first, int32_t rows, const uint32_t* band) {
        DrawBand(port, band, rw, rows, first - top, x, y, zoom);
      });
}

void X_YMCKecho_UG(plat::draw::Port* port, int32_t height, int32_t width, int32_t left,
                   int32_t top, int32_t right, int32_t bottom, int32_t x, int32_t y, float zoom,
                   int16_t view1, int16_t view2, int16_t view3, int16_t view4,
                   const uint32_t* buffer, const PhoModTemplate* model) {
  (void)view1;
  (void)view2;
  (void)view3;
  (void)view4;
  if (port == nullptr || buffer == nullptr || model == nullptr ||
      !ClipInclusiveRect(width, height, left, top, right, bottom)) {
    return;
  }
  const unsigned char* planeR = model->bytes;
  const unsigned char* planeG = model->bytes + kDisplayPlaneSize;
  const unsigned char* planeB = model->bytes + 2 * kDisplayPlaneSize;
  const unsigned char* black = model->bytes + kPhoBlack;
  const int32_t rw = right - left + 1;
  ForEachBand(
      left, top, right, bottom,
      [&](int32_t row, unsigned char* out) {
        const unsigned char* s = reinterpret_cast<const unsigned char*>(
            buffer + static_cast<int64_t>(row) * width + left);
        for (int32_t i = 0; i < rw; ++i, s += 4, out += 4) {
          DisplayYmck(planeR, planeG, planeB, black[s[3]], s, out);
        }
      },
      [&](int32_t first, int32_t rows, const uint32_t* band) {
        DrawBand(port, band, rw, rows, first - top, x, y, zoom);
      });
}

void X_echo_OFFSCREEN(const uint32_t* buffer, plat::draw::Port* offscreen, int16_t view,
                      int16_t mode, int32_t height, int32_t width, int32_t left, int32_t top,
                      int32_t right, int32_t bottom, int32_t destLeft, int32_t destTop,
                      int32_t destRight, int32_t destBottom, const PhoModTemplate* model) {
  (void)view;
  (void)destRight;
  (void)destBottom;
  if (buffer == nullptr || offscreen == nullptr ||
      !ClipInclusiveRect(width, height, left, top, right, bottom)) {
    return;
  }
  if (mode == 15 && model == nullptr) return;
  const int32_t rw = right - left + 1;
  plat::draw::Surface& surface = offscreen->surface();
  ForEachBand(
      left, top, right, bottom,
      [&](int32_t row, unsigned char* out) {
        const unsigned char* s = reinterpret_cast<const unsigned char*>(
            buffer + static_cast<int64_t>(row) * width + left);
        for (int32_t i = 0; i < rw; ++i, s += 4, out += 4) {
          if (mode == 15) {
            DisplayYmck(model->bytes, model->bytes + kDisplayPlaneSize,
                        model->bytes + 2 * kDisplayPlaneSize, model->bytes[kPhoBlack + s[3]], s,
                        out);
          } else {
            out[1] = s[0];
            out[2] = s[1];
            out[3] = s[2];
          }
        }
      },
      [&](int32_t first, int32_t rows, const uint32_t* band) {
        for (int32_t r = 0; r < rows; ++r) {
          const int32_t py = destTop + first + r - top;
          if (py < 0 || py >= surface.height()) continue;
          const unsigned char* b =
              reinterpret_cast<const unsigned char*>(band + static_cast<int64_t>(r) * Stride(rw));
          uint32_t* dst = surface.row(py);
          for (int32_t i = 0; i < rw; ++i, b += 4) {
            const int32_t px = destLeft + i;
            if (px < 0 || px >= surface.width()) continue;
            dst[px] = 0xFF000000u | (static_cast<uint32_t>(b[1]) << 16) |
                      (static_cast<uint32_t>(b[2]) << 8) | b[3];
          }
        }
        if (offscreen->onChanged) offscreen->onChanged(offscreen->portRect);
      });
}
