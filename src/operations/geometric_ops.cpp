// Geometric and displacement operations: twirl, kaleidoscope, offset, flip,
// mirror, mosaic, deinterlace, displacement by maps and the rotate-and-scale
// transform.
//
// Each builds the moved picture in work memory (indexed by plane
// coordinates, so regions that do not span whole rows line up) and blends
// it back over the region through the mask. Positions leaving the region
// wrap back as often as needed, so a shift of any size reads inside it; a
// one-column (one-row) region reads its only column (row).
#include <algorithm>
#include <cmath>
#include <cstring>

#include "app/core/plane_geometry.h"
#include "app/core/sample_clamp.h"
#include "operations/effect_support.h"
#include "operations/effects.h"
#include "platform/parallel/byte_passes.h"
#include "platform/parallel/cancel.h"
#include "platform/types/plane_view.h"
#include "raster/distortion_warp.h"
#include "raster/plane_copy.h"
#include "raster/tile_transform.h"

using effect_support::Blend;
using effect_support::Weight;

namespace {

using View = plat::PlaneView<unsigned char>;
using IRect = plat::InclusiveRect;

constexpr double kPi = 3.141592654;

// The whole plane in a work block of its own.
plat::Block<unsigned char> CopyOf(View plane) {
  plat::Block<unsigned char> work(plane.count(), WorkSource());
  if (work) std::memcpy(work.get(), plane.data, static_cast<size_t>(plane.count()));
  return work;
}

// Blends work (same geometry as the plane) into the plane over the region.
void BlendBack(int16_t mode, int16_t opacity, View plane, const unsigned char* work,
               const unsigned char* mask, IRect r) {
  if (r.left > r.right || r.top > r.bottom) return;
  // Each sample from its own work sample: the rows in bands, each row's run blended in lanes
  // where they hold the blend.
  plat::ParallelFor(
      r.top, r.bottom + 1, effect_support::kPixelBandRows, [=](int32_t first, int32_t end) {
        for (int32_t y = first; y < end; ++y) {
          const int64_t i = plane.Index(r.left, y);
          effect_support::BlendRun(mode, opacity, plane.data + i, work + i,
                                   mask != nullptr ? mask + i : nullptr, r.right - r.left + 1);
        }
      });
}

// A half-open wrap: x0 + ((c - x0) mod n) for a span of n samples.
int32_t WrapHalfOpen(int64_t c, int32_t lo, int32_t n) {
  if (n <= 0) return lo;
  int64_t k = (c - lo) % n;
  if (k < 0) k += n;
  return static_cast<int32_t>(lo + k);
}

int32_t TwirlCore(int16_t mode, int16_t opacity, View plane, const unsigned char* mask, IRect r,
                  int32_t angle, int32_t centreX, int32_t centreY) {
  plat::Block<unsigned char> work = CopyOf(plane);
  if (!work) return -1;
  if (angle != 0) {
    // The centre is measured from the plane's origin, not the region's.
    const float cx = static_cast<float>(r.right - r.left) * static_cast<float>(centreX) / 100 + 0.5f;
    const float cy = static_cast<float>(r.bottom - r.top) * static_cast<float>(centreY) / 100 + 0.5f;
    const double R = std::sqrt(static_cast<double>(cx) * cx + static_cast<double>(cy) * cy);
    const double turn = static_cast<double>(angle) / (2 * kPi * R);
    // Each pixel reads the plane and writes its own work sample: the rows run in bands on the
    // shared threads. An arctangent, a sine and a cosine a pixel took 1.5 s a plane of
    // 6000 x 4000 on one thread under load (4 to 5 s for the composite), during which the
    // render could be neither followed nor stopped.
    unsigned char* const out = work.get();
    const IRect region = r;
    plat::ParallelFor(
        r.top, r.bottom + 1, effect_support::kPixelBandRows,
        [=](int32_t first, int32_t end) {
          for (int32_t y = first; y < end; ++y) {
            // A stopped render blends nothing back (below): the rows left need not be made.
            if (plat::Cancelled()) return;
            for (int32_t x = region.left; x <= region.right; ++x) {
              const double dx = x - static_cast<double>(cx);
              const double dy = y - static_cast<double>(cy);
              const double rr = std::sqrt(dx * dx + dy * dy);
              const double theta = std::atan2(dy, dx) + std::fabs(R - rr) * turn;
              // Held to 32 bits before the conversion: a centre far outside the plane puts
              // the source position beyond them, where it reads nothing anyway.
              const int32_t sx = TruncToInt32(
                  rr * static_cast<double>(static_cast<float>(std::cos(theta))) + cx + 0.5);
              const int32_t sy = TruncToInt32(
                  rr * static_cast<double>(static_cast<float>(std::sin(theta))) + cy + 0.5);
              const bool inside =
                  sx >= 0 && sx < plane.width - 1 && sy >= 0 && sy < plane.height - 1;
              out[plane.Index(x, y)] = inside ? plane.At(sx, sy) : 0;
            }
          }
        });
    if (plat::Cancelled()) return -1;
  }
  BlendBack(mode, opacity, plane, work.get(), mask, r);
  return 0;
}

// The kaleidoscope's folding of the shifted region, in plane coordinates.
void FoldWedge(View w, IRect r) {
  const int32_t x0 = r.left, y0 = r.top, x1 = r.right, y1 = r.bottom;
  const int32_t xm = (x0 + x1) / 2;
  const int32_t ym = (y0 + y1) / 2;
  for (int32_t y = y0, k = 0; y < ym; ++y, ++k) {
    const int32_t xs = x0 + k * (xm - x0) / (ym - y0);
    if (xm == xs) continue;
    for (int32_t x = xs; x <= xm; ++x)
      w.At(x, y) = w.At(xs, y + (x - xs) * (ym - y0 - k) / (xm - xs));
  }
  for (int32_t y = y0; y <= ym; ++y)
    for (int32_t x = xm; x <= x1; ++x) w.At(x, y) = w.At(std::max(x0, xm - (x - xm)), y);
  for (int32_t y = ym; y < y1; ++y)
    for (int32_t x = x0; x <= x1; ++x) w.At(x, y) = w.At(x, std::max(y0, ym - (y - ym)));
}

int32_t KaleidoCore(int16_t mode, int16_t opacity, View plane, const unsigned char* mask, IRect r,
                    int32_t tileWidth, int32_t tileHeight, int16_t shiftX, int16_t shiftY) {
  if (tileWidth <= 0 || tileHeight <= 0) return -1;
  plat::Block<unsigned char> work(plane.count(), WorkSource());
  if (!work) return -1;
  plat::Block<unsigned char> tile(static_cast<int64_t>(tileWidth) * tileHeight, WorkSource());
  if (!tile) return -1;
  const View w = View::Packed(work.get(), plane.width, plane.height);
  for (int32_t y = r.top; y <= r.bottom; ++y) {
    const int32_t sy = WrapInSpan(int64_t{y} + shiftY, r.top, r.bottom);
    for (int32_t x = r.left; x <= r.right; ++x)
      w.At(x, y) = plane.At(WrapInSpan(int64_t{x} + shiftX, r.left, r.right), sy);
  }
  FoldWedge(w, r);
  // A tile that cannot be shrunk (its tables refused) would tile whatever the memory held.
  if (BufToBufChar_andR(1, plane.width, plane.height, work.get(), tileWidth, tileHeight, tile.get(),
                        r.left, r.top, r.right + 1, r.bottom + 1, 0, 0, tileWidth, tileHeight) != 0)
    return -1;
  return Effects::LoadTexture(mode, opacity, plane.data, tile.get(), 1, 1, mask, plane.height,
                              plane.width, r.left, r.top, r.right, r.bottom, tileWidth,
                              tileHeight, 0, 0);
}

// Kinds 4..7: folds along a diagonal of the region. A column or row of the
// fold with no extent takes its sample from row 0 of the plane, as kinds 1
// and 3 count from row and column 0.
void FoldDiagonal(View w, IRect r, int16_t kind) {
  const int32_t x0 = r.left, y0 = r.top, x1 = r.right, y1 = r.bottom;
  const int32_t wx = x1 - x0, hy = y1 - y0;
  if (kind == 5) {
    for (int32_t k = 0; k <= hy; ++k) {
      const int32_t y = y0 + k;
      const int32_t xd = x0 + wx * k / hy;
      for (int32_t x = x0; x <= xd; ++x)
        w.At(x, y) = xd == x0 ? w.At(x0, 0) : w.At(xd, y0 + (x - x0) * k / (xd - x0));
    }
    return;
  }
  for (int32_t k = 0; k <= wx; ++k) {
    const int32_t x = x0 + k;
    if (kind == 4) {
      const int32_t yd = y0 + hy * k / wx;
      for (int32_t y = y0; y <= yd; ++y)
        w.At(x, y) = yd == y0 ? w.At(x0, 0) : w.At(x0 + (y - y0) * k / (yd - y0), yd);
    } else if (kind == 6) {
      const int32_t yd = y1 - k * hy / wx;
      for (int32_t y = y0; y <= yd; ++y)
        w.At(x, y) = yd == y0 ? w.At(x1, 0) : w.At(x1 - (y - y0) * (wx - k) / (yd - y0), yd);
    } else {
      const int32_t d = hy * k / wx;
      for (int32_t y = y1 - d; y <= y1; ++y)
        w.At(x, y) = d == 0 ? w.At(x0, 0) : w.At(x0 + (d * k - (y - y1 + d) * k) / d, y1 - d);
    }
  }
}

void MirrorHalves(View w, IRect r, int16_t kind) {
  const int32_t x0 = r.left, y0 = r.top, x1 = r.right, y1 = r.bottom;
  const int32_t xm = static_cast<int32_t>(static_cast<float>(x0 + x1) * 0.5f + 0.5f);
  const int32_t ym = static_cast<int32_t>(static_cast<float>(y0 + y1) * 0.5f + 0.5f);
  for (int32_t y = y0; y <= y1; ++y) {
    if (kind == 0)
      for (int32_t k = 0; xm + k <= x1; ++k) w.At(xm + k, y) = w.At(xm - k, y);
    // Kinds 1 and 3 count from column and row 0 of the plane, not from the
    // region's edge: the mirror the scripts were made with (on a region at
    // 0, 0 the two agree).
    if (kind == 1)
      for (int32_t k = 0; k < xm; ++k) w.At(k, y) = w.At(x1 - k, y);
  }
  for (int32_t x = x0; x <= x1; ++x) {
    if (kind == 2)
      for (int32_t k = 0; ym + k <= y1; ++k) w.At(x, ym + k) = w.At(x, ym - k);
    if (kind == 3)
      for (int32_t k = 0; k < ym; ++k) w.At(x, k) = w.At(x, y1 - k);
  }
}

// One byte-wise pixel displacement: source (sx, sy) for every region pixel,
// gathered packed, then blended byte by byte. Both passes go in bands of rows
// (the gather reads the plane as it was, so it ends before the blend starts);
// one sample a pixel blends a row at a time in the lanes. Three 6000 x 4000
// planes displaced by a tiled map took about 0.35 s on one thread.
template <typename Source>
int32_t DisplaceCore(int16_t mode, int16_t opacity, unsigned char* buffer, int32_t width,
                     IRect r, int16_t bytes, const unsigned char* mask, Source source) {
  if (bytes <= 0) return -1;
  const int64_t rw = r.width();
  plat::Block<unsigned char> work(rw * r.height() * bytes, WorkSource());
  if (!work) return -1;
  unsigned char* const gathered = work.get();
  plat::ParallelFor(r.top, r.bottom + 1, effect_support::kPixelBandRows,
                    [&source, gathered, buffer, width, r, rw, bytes](int32_t first, int32_t end) {
                      for (int32_t y = first; y < end; ++y) {
                        unsigned char* to = gathered + (y - r.top) * rw * bytes;
                        for (int32_t x = r.left; x <= r.right; ++x, to += bytes) {
                          int32_t sx = x, sy = y;
                          source(x, y, sx, sy);
                          std::memcpy(to, buffer + (int64_t{sy} * width + sx) * bytes,
                                      static_cast<size_t>(bytes));
                        }
                      }
                    });
  plat::ParallelFor(
      r.top, r.bottom + 1, effect_support::kPixelBandRows,
      [mode, opacity, gathered, buffer, width, r, rw, bytes, mask](int32_t first, int32_t end) {
        for (int32_t y = first; y < end; ++y) {
          const unsigned char* src = gathered + (y - r.top) * rw * bytes;
          const int64_t row = int64_t{y} * width + r.left;
          if (bytes == 1) {
            effect_support::BlendRun(mode, opacity, buffer + row, src,
                                     mask != nullptr ? mask + row : nullptr,
                                     static_cast<int32_t>(rw));
            continue;
          }
          for (int64_t p = row; p < row + rw; ++p, src += bytes) {
            const int32_t a = Weight(mask, p, opacity);
            for (int32_t b = 0; b < bytes; ++b)
              buffer[p * bytes + b] = Blend(mode, buffer[p * bytes + b], src[b], a);
          }
        }
      });
  return 0;
}

// (neutral - m) x amount / 100 from c, kept only inside lo..hi.
int32_t Displaced(int32_t c, int32_t m, int16_t amount, int16_t neutral, int32_t lo, int32_t hi) {
  const int32_t s = c + (neutral - m) * amount / 100;
  return s >= lo && s <= hi ? s : c;
}

// Whether the transform works out only the part of its box that the copy back reads.
bool gBoundedBox = true;

// One axis of what the transform's copy back reads of its box. The copy walks positions j of
// [first, end) (plane position less the box's offset) and reads box position j + shift,
// wrapped once by the box's extent less one when it runs past the last; so it reads at most
// two runs of the box, the second (when the wrap is reached) from j = wrapAt on.
struct BoxSpan {
  int32_t first = 0, end = 0;
  int32_t wrapAt = 0;  // the first j that wraps (end when none does)
  int32_t shift = 0;
  int32_t extent = 0;  // of the whole box

  int32_t count() const { return end - first; }
  // The box position that j reads.
  int32_t Source(int32_t j) const {
    int32_t s = j + shift;
    if (s > extent - 1) s -= extent - 1;
    return s;
  }
  // Run r (0 unwrapped, 1 wrapped): its first j and its length (0 for none).
  int32_t RunFirst(int r) const { return r == 0 ? first : wrapAt; }
  int32_t RunLength(int r) const { return r == 0 ? wrapAt - first : end - wrapAt; }
};

BoxSpan SpanOf(int32_t first, int32_t end, int32_t shift, int32_t extent) {
  BoxSpan s;
  s.first = first;
  s.end = std::max(first, end);
  s.shift = shift;
  s.extent = extent;
  s.wrapAt = std::clamp(extent - shift, s.first, s.end);
  return s;
}

// A window of the box (rows x columns from box position left, top) distorted into `to`, rows
// `columns` apart. The corners are moved by (-left, -top): the positions the distortion
// solves for a pixel come from whole-number differences of the pixel and the corners, the
// same wherever the window lies, so each sample comes out as the whole box has it.
void DistortWindow(const View* planes, int32_t count, uint8_t* const* to, int32_t top, int32_t left,
                   int32_t rows, int32_t columns, const int32_t* qx, const int32_t* qy,
                   int32_t minX, int32_t minY, int32_t x0, int32_t y0, int32_t w, int32_t h) {
  const uint8_t* from[4] = {};
  for (int32_t k = 0; k < count; ++k) from[k] = planes[k].data;
  const int32_t dx = minX + left, dy = minY + top;
  X_distort_planes(count, planes[0].height, planes[0].width, from, rows, columns, to, qx[0] - dx,
                   qy[0] - dy, qx[1] - dx, qy[1] - dy, qx[2] - dx, qy[2] - dy, qx[3] - dx,
                   qy[3] - dy, x0, y0, w - 1, h - 1, 100);
}

// The transform's box: the region turned and scaled into its bounding box,
// copied centred onto the plane, the uncovered band filled. Several planes of one size take
// the same box, their positions solved once.
//
// Only the window of the box that lands on the region is worked out (the box of a picture
// scaled ten times is a hundred pictures' samples, more than memory holds at photo size),
// each of its samples as the whole box has it: its rows and columns one after the other as
// the copy back reads them, a run that the wrap reads again taking its own place. Off, the
// whole box is made: the plain form the window is checked against.
int32_t TransformBoxes(const View* planes, int32_t count, int32_t x0, int32_t y0, int32_t x1,
                       int32_t y1, int16_t scaleX, int16_t scaleY, int16_t angle, int16_t fill) {
  const int32_t w = x1 - x0, h = y1 - y0;
  const float cx = 0.5f * static_cast<float>(w), cy = 0.5f * static_cast<float>(h);
  const float rad = static_cast<float>(angle * 6.283185308 / 360);
  const float px[4] = {0, static_cast<float>(w), static_cast<float>(w), 0};
  const float py[4] = {0, 0, static_cast<float>(h), static_cast<float>(h)};
  int32_t qx[4], qy[4];
  for (int i = 0; i < 4; ++i) {
    float rx = 0, ry = 0;
    A_point_fromAng(cx, cy, px[i], py[i], &rx, &ry, rad);
    qx[i] = static_cast<int32_t>(rx * scaleX / 100.0 + 0.5);
    qy[i] = static_cast<int32_t>(ry * scaleY / 100.0 + 0.5);
  }
  int32_t minX = 0, minY = 0, maxX = 0, maxY = 0;
  inf_sup(qx[0], qy[0], qx[1], qy[1], qx[2], qy[2], qx[3], qy[3], &minX, &minY, &maxX, &maxY);
  const int32_t bw = maxX - minX, bh = maxY - minY;
  const int32_t dx = (bw - w) / 2, dy = (bh - h) / 2;
  const int32_t ox = std::max(0, -dx), oy = std::max(0, -dy);
  const auto f = static_cast<unsigned char>(fill);
  // Box row j + oy of the plane is row j of the box, box column k is plane column ox + k.
  const BoxSpan rows = SpanOf(std::max(0, y0 - oy), std::min(bh, y1 - oy), std::max(0, dy), bh);
  const BoxSpan columns = SpanOf(std::max(0, x0 - ox), std::min(bw, x1 - ox), std::max(0, dx), bw);
  const bool bounded = gBoundedBox;
  const int32_t wh = bounded ? rows.count() : bh, ww = bounded ? columns.count() : bw;
  const int64_t windowSize = int64_t{wh} * ww;
  plat::Block<unsigned char> boxes(std::max<int64_t>(windowSize, 1) * count, WorkSource());
  if (!boxes) return -1;
  plat::FillBytes(boxes.get(), boxes.size(), f);
  uint8_t* to[4] = {};
  for (int32_t k = 0; k < count; ++k) to[k] = boxes.get() + k * windowSize;
  if (!bounded) {
    DistortWindow(planes, count, to, 0, 0, bh, bw, qx, qy, minX, minY, x0, y0, w, h);
  } else if (columns.RunLength(1) == 0) {
    // Whole rows of the window: each run of rows is worked out in its place.
    for (int r = 0; r < 2; ++r) {
      const int32_t n = rows.RunLength(r);
      if (n <= 0 || ww <= 0) continue;
      uint8_t* at[4] = {};
      for (int32_t k = 0; k < count; ++k)
        at[k] = to[k] + int64_t{rows.RunFirst(r) - rows.first} * ww;
      DistortWindow(planes, count, at, rows.Source(rows.RunFirst(r)), columns.Source(columns.first),
                    n, ww, qx, qy, minX, minY, x0, y0, w, h);
    }
  } else {
    // Two runs of columns: each piece is worked out on its own and laid into its place.
    for (int r = 0; r < 2; ++r)
      for (int c = 0; c < 2; ++c) {
        const int32_t n = rows.RunLength(r), m = columns.RunLength(c);
        if (n <= 0 || m <= 0) continue;
        plat::Block<unsigned char> piece(int64_t{n} * m * count, WorkSource());
        if (!piece) return -1;
        plat::FillBytes(piece.get(), piece.size(), f);
        uint8_t* at[4] = {};
        for (int32_t k = 0; k < count; ++k) at[k] = piece.get() + int64_t{k} * n * m;
        DistortWindow(planes, count, at, rows.Source(rows.RunFirst(r)),
                      columns.Source(columns.RunFirst(c)), n, m, qx, qy, minX, minY, x0, y0, w, h);
        for (int32_t k = 0; k < count; ++k)
          for (int32_t i = 0; i < n; ++i)
            std::memcpy(to[k] + int64_t{rows.RunFirst(r) - rows.first + i} * ww +
                            (columns.RunFirst(c) - columns.first),
                        at[k] + int64_t{i} * m, static_cast<size_t>(m));
      }
  }
  // The box copied back, then the band it leaves filled: the copy's columns and rows lie
  // inside the band's, so every sample takes one value, from the box or the fill. Rows go in
  // bands, each row's copy and fill together.
  const auto copy = [=, &planes, &to](int32_t first, int32_t last) {
    for (int32_t n = 0; n < count; ++n) {
      const View plane = planes[n];
      const unsigned char* box = to[n];
      for (int32_t row = first; row < last; ++row) {
        const int32_t j = row - oy;
        if (j >= rows.first && j < rows.end) {
          const int64_t at = int64_t{bounded ? j - rows.first : rows.Source(j)} * ww;
          for (int32_t k = columns.first; k < columns.end; ++k)
            plane.At(ox + k, row) = box[at + (bounded ? k - columns.first : columns.Source(k))];
        }
        if (dx < 0) {
          for (int32_t x = x0; x < std::min(-dx, x1); ++x) plane.At(x, row) = f;
          for (int32_t x = std::max(x0, -dx + bw); x < x1; ++x) plane.At(x, row) = f;
        }
        if (dy < 0 && (row < -dy || row >= -dy + bh))
          for (int32_t x = x0; x < x1; ++x) plane.At(x, row) = f;
      }
    }
  };
  plat::ParallelFor(y0, y1, effect_support::kPixelBandRows, copy);
  return 0;
}

}  // namespace

void SetTransformBoxBounded(bool on) {
  gBoundedBox = on;
}

int32_t Effects::Twirl(int16_t mode, int16_t opacity, unsigned char* plane,
                       const unsigned char* mask, int32_t height, int32_t width, int32_t x0,
                       int32_t y0, int32_t x1, int32_t y1, int32_t angle, int32_t centreX,
                       int32_t centreY) {
  if (plane == nullptr || width <= 0 || height <= 0) return -1;
  IRect r{x0, y0, x1, y1};
  r.ClipTo(width, height);
  return TwirlCore(mode, opacity, View::Packed(plane, width, height), mask, r, angle, centreX,
                   centreY);
}

int32_t Effects::Kaleido(int16_t mode, int16_t opacity, unsigned char* plane,
                         const unsigned char* mask, int32_t height, int32_t width, int32_t x0,
                         int32_t y0, int32_t x1, int32_t y1, int32_t tileWidth,
                         int32_t tileHeight, int16_t shiftX, int16_t shiftY) {
  if (plane == nullptr || width <= 0 || height <= 0) return -1;
  IRect r{x0, y0, x1, y1};
  if (!r.ClipTo(width, height)) return 0;
  return KaleidoCore(mode, opacity, View::Packed(plane, width, height), mask, r, tileWidth,
                     tileHeight, shiftX, shiftY);
}

int32_t Effects::Offset(unsigned char* buffer, int32_t height, int32_t width, int32_t x0,
                        int32_t y0, int32_t x1, int32_t y1, int16_t shiftX, int16_t shiftY,
                        int16_t bytesPerPixel) {
  if (buffer == nullptr || width <= 0 || height <= 0 || bytesPerPixel <= 0) return -1;
  IRect r{x0, y0, x1, y1};
  if (!r.ClipTo(width, height)) return 0;
  const int64_t bytes = bytesPerPixel;
  const int64_t rowBytes = r.width() * bytes;
  plat::Block<unsigned char> work(rowBytes * r.height(), WorkSource());
  if (!work) return -1;
  for (int32_t y = r.top; y <= r.bottom; ++y) {
    const int32_t sy = WrapInSpan(int64_t{y} + shiftY, r.top, r.bottom);
    unsigned char* out = work.get() + (y - r.top) * rowBytes;
    for (int32_t x = r.left; x <= r.right; ++x) {
      const int32_t sx = WrapInSpan(int64_t{x} - shiftX, r.left, r.right);
      std::memcpy(out + (x - r.left) * bytes, buffer + (int64_t{sy} * width + sx) * bytes,
                  static_cast<size_t>(bytes));
    }
  }
  for (int32_t y = r.top; y <= r.bottom; ++y)
    std::memcpy(buffer + (int64_t{y} * width + r.left) * bytes,
                work.get() + (y - r.top) * rowBytes, static_cast<size_t>(rowBytes));
  return 0;
}

int32_t Effects::Flip(int16_t mode, int16_t opacity, unsigned char* plane, int32_t height,
                      int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                      int16_t horizontal, int16_t vertical, int16_t /*unused1*/,
                      int16_t /*unused2*/, const unsigned char* mask) {
  if (plane == nullptr || width <= 0 || height <= 0) return -1;
  IRect r{x0, y0, x1, y1};
  if (!r.ClipTo(width, height)) return 0;
  const View p = View::Packed(plane, width, height);
  plat::Block<unsigned char> work(p.count(), WorkSource());
  if (!work) return -1;
  const View w = View::Packed(work.get(), width, height);
  for (int32_t y = r.top; y <= r.bottom; ++y) {
    const int32_t sy = vertical == 1 ? r.bottom - (y - r.top) : y;
    for (int32_t x = r.left; x <= r.right; ++x)
      w.At(x, y) = p.At(horizontal == 1 ? r.right - (x - r.left) : x, sy);
  }
  BlendBack(mode, opacity, p, work.get(), mask, r);
  return 0;
}

int32_t Effects::Mirror(int16_t mode, int16_t opacity, unsigned char* plane, int32_t height,
                        int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                        int16_t kind, int16_t /*unused*/, const unsigned char* mask) {
  if (plane == nullptr || width <= 0 || height <= 0) return -1;
  IRect r{x0, y0, x1, y1};
  if (!r.ClipTo(width, height)) return 0;
  // The diagonal folds divide by the region's extents.
  const bool diagonal = kind >= 4 && kind <= 7;
  if (diagonal && (r.width() < 2 || r.height() < 2)) return -1;
  const View p = View::Packed(plane, width, height);
  plat::Block<unsigned char> work = CopyOf(p);
  if (!work) return -1;
  const View w = View::Packed(work.get(), width, height);
  if (diagonal) {
    FoldDiagonal(w, r, kind);
  } else {
    MirrorHalves(w, r, kind);
  }
  BlendBack(mode, opacity, p, work.get(), mask, r);
  return 0;
}

int32_t Effects::Mosaic(int16_t mode, int16_t opacity, unsigned char* plane, int32_t height,
                        int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                        const unsigned char* mask, int16_t blockWidth, int16_t blockHeight) {
  if (plane == nullptr || width <= 0 || height <= 0) return -1;
  if (blockWidth < 1 || blockHeight < 1) return -1;
  IRect r{x0, y0, x1, y1};
  if (!r.ClipTo(width, height)) return 0;
  const View p = View::Packed(plane, width, height);
  plat::Block<unsigned char> work = CopyOf(p);
  if (!work) return -1;
  const View w = View::Packed(work.get(), width, height);
  for (int32_t by = r.top; by <= r.bottom; by += blockHeight) {
    for (int32_t bx = r.left; bx <= r.right; bx += blockWidth) {
      const unsigned char v = p.At(bx, by);
      for (int32_t j = 0; j < blockHeight; ++j) {
        const int32_t y = std::min(by + j, height - 1);
        for (int32_t i = 0; i < blockWidth; ++i) w.At(std::min(bx + i, width - 1), y) = v;
      }
    }
  }
  BlendBack(mode, opacity, p, work.get(), mask, r);
  return 0;
}

int32_t Effects::DeInterlace(int16_t mode, int16_t opacity, unsigned char* plane,
                             const unsigned char* mask, int32_t height, int32_t width,
                             int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t field,
                             int32_t method) {
  if (plane == nullptr || width <= 0 || height <= 0) return -1;
  IRect r{x0, y0, x1, y1};
  r.ClipTo(width, height);
  const View p = View::Packed(plane, width, height);
  plat::Block<unsigned char> work = CopyOf(p);
  if (!work) return -1;
  const View w = View::Packed(work.get(), width, height);
  for (int32_t row = r.top; row < r.bottom; row += 2) {
    const bool edge = row == r.top || row == r.bottom - 1;
    for (int32_t x = r.left; x <= r.right; ++x) {
      if (method == 0 && field == 0) p.At(x, row) = w.At(x, row + 1);
      if (method == 0 && field == 1) p.At(x, row + 1) = w.At(x, row);
      if (method == 1 && field == 0)
        p.At(x, row) = edge ? w.At(x, row + 1)
                            : static_cast<unsigned char>((w.At(x, row - 1) + w.At(x, row + 1)) / 2);
      if (method == 1 && field == 1)
        p.At(x, row + 1) =
            edge ? w.At(x, row)
                 : static_cast<unsigned char>((w.At(x, row) + w.At(x, row + 2)) / 2);
    }
  }
  // The plane as it was is the old value, the deinterlaced one the effect.
  for (int32_t y = r.top; y <= r.bottom; ++y) {
    for (int32_t x = r.left; x <= r.right; ++x) {
      const int64_t i = p.Index(x, y);
      plane[i] = Blend(mode, work.get()[i], plane[i], Weight(mask, i, opacity));
    }
  }
  return 0;
}

int32_t Effects::Displace(int16_t mode, int16_t opacity, unsigned char* buffer,
                          const unsigned char* map, int32_t height, int32_t width, int32_t x0,
                          int32_t y0, int32_t x1, int32_t y1, int16_t bytesPerPixel,
                          const unsigned char* mask, int16_t horizontal, int16_t vertical,
                          int16_t neutral) {
  if (buffer == nullptr || map == nullptr || width <= 0 || height <= 0) return -1;
  IRect r{x0, y0, x1, y1};
  if (!r.ClipTo(width, height)) return 0;
  return DisplaceCore(mode, opacity, buffer, width, r, bytesPerPixel, mask,
                      [&](int32_t x, int32_t y, int32_t& sx, int32_t& sy) {
                        const int32_t m = map[int64_t{y} * width + x];
                        sy = Displaced(y, m, vertical, neutral, r.top, r.bottom);
                        sx = Displaced(x, m, horizontal, neutral, r.left, r.right);
                      });
}

int32_t Effects::DisplaceXY(int16_t mode, int16_t opacity, unsigned char* buffer,
                            const unsigned char* mapX, const unsigned char* mapY,
                            int32_t mapWidth, int32_t mapHeight, const unsigned char* mask,
                            int32_t height, int32_t width, int32_t x0, int32_t y0, int32_t x1,
                            int32_t y1, int16_t bytesPerPixel, int16_t horizontal,
                            int16_t vertical, int16_t neutral) {
  if (buffer == nullptr || mapX == nullptr || mapY == nullptr || width <= 0 || height <= 0)
    return -1;
  if (mapWidth <= 0 || mapHeight <= 0) return -1;
  IRect r{x0, y0, x1, y1};
  if (!r.ClipTo(width, height)) return 0;
  return DisplaceCore(mode, opacity, buffer, width, r, bytesPerPixel, mask,
                      [&](int32_t x, int32_t y, int32_t& sx, int32_t& sy) {
                        const int64_t m = int64_t{y % mapHeight} * mapWidth + x % mapWidth;
                        sy = Displaced(y, mapY[m], vertical, neutral, r.top, r.bottom);
                        sx = Displaced(x, mapX[m], horizontal, neutral, r.left, r.right);
                      });
}

int32_t Effects::Transform(int16_t mode, int16_t opacity, unsigned char* plane, int32_t height,
                           int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                           int16_t shiftX, int16_t shiftY, int16_t scaleX, int16_t scaleY,
                           int16_t angle, int16_t fill, int16_t /*unused*/,
                           const unsigned char* mask) {
  if (plane == nullptr || width <= 0 || height <= 0) return -1;
  // Half-open: x1 and y1 are the first column and row outside.
  plat::ExclusiveRect e{x0, y0, x1, y1};
  if (!e.ClipTo(width, height)) return 0;
  unsigned char* const planes[1] = {plane};
  return TransformPlanes(mode, opacity, planes, 1, height, width, x0, y0, x1, y1, shiftX, shiftY,
                         scaleX, scaleY, angle, fill, mask);
}

int32_t Effects::TransformPlanes(int16_t mode, int16_t opacity, unsigned char* const* planes,
                                 int32_t count, int32_t height, int32_t width, int32_t x0,
                                 int32_t y0, int32_t x1, int32_t y1, int16_t shiftX,
                                 int16_t shiftY, int16_t scaleX, int16_t scaleY, int16_t angle,
                                 int16_t fill, const unsigned char* mask) {
  if (planes == nullptr || count < 1 || count > 4 || width <= 0 || height <= 0) return -1;
  for (int32_t k = 0; k < count; ++k)
    if (planes[k] == nullptr) return -1;
  // Planes that share bytes with each other or with the mask: one plane's turn must see what
  // the turns before it left, so each takes its own, in order.
  const auto meet = [n = static_cast<uintptr_t>(int64_t{width} * height)](const void* a,
                                                                          const void* b) {
    const auto p = reinterpret_cast<uintptr_t>(a), q = reinterpret_cast<uintptr_t>(b);
    return p < q + n && q < p + n;
  };
  bool apart = true;
  for (int32_t a = 0; a < count; ++a) {
    if (mask != nullptr && meet(planes[a], mask)) apart = false;
    for (int32_t b = a + 1; b < count; ++b)
      if (meet(planes[a], planes[b])) apart = false;
  }
  if (count > 1 && !apart) {
    for (int32_t k = 0; k < count; ++k)
      if (TransformPlanes(mode, opacity, &planes[k], 1, height, width, x0, y0, x1, y1, shiftX,
                          shiftY, scaleX, scaleY, angle, fill, mask) != 0)
        return -1;
    return 0;
  }
  // Half-open: x1 and y1 are the first column and row outside.
  plat::ExclusiveRect e{x0, y0, x1, y1};
  if (!e.ClipTo(width, height)) return 0;
  View views[4];
  for (int32_t k = 0; k < count; ++k) views[k] = View::Packed(planes[k], width, height);
  plat::Block<unsigned char> work(views[0].count(), WorkSource());
  if (!work) return -1;
  if (TransformBoxes(views, count, e.left, e.top, e.right, e.bottom, scaleX, scaleY, angle,
                     fill) != 0)
    return -1;
  const View w = View::Packed(work.get(), width, height);
  for (int32_t k = 0; k < count; ++k) {
    const View p = views[k];
    // The shifted copy reads the plane and writes the work plane: rows in bands.
    plat::ParallelFor(
        e.top, e.bottom, effect_support::kPixelBandRows, [&](int32_t first, int32_t end) {
          for (int32_t y = first; y < end; ++y) {
            const int32_t sy = WrapHalfOpen(int64_t{y} + shiftY, e.top, e.height());
            for (int32_t x = e.left; x < e.right; ++x)
              w.At(x, y) = p.At(WrapHalfOpen(int64_t{x} - shiftX, e.left, e.width()), sy);
          }
        });
    BlendBack(mode, opacity, p, work.get(), mask, e.Inclusive());
  }
  return 0;
}
