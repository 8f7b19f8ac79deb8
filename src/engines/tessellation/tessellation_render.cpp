#include "engines/tessellation/tessellation_render.h"

#include "app/core/sample_clamp.h"
#include "operations/effects.h"
#include "raster/blend_filters.h"
#include "raster/plane_copy.h"
#include "raster/quad_mapping.h"

namespace tessrender {

namespace {

// The twelve flat colours of tile source 4.
constexpr uint8_t kFlatColours[kMaxTileSets][3] = {
    {128, 0, 0},  {128, 128, 0}, {0, 128, 0},  {0, 128, 128}, {0, 0, 128},   {128, 0, 128},
    {64, 64, 0},  {0, 64, 0},    {0, 64, 64},  {128, 64, 0},  {128, 172, 0}, {0, 172, 172}};

int64_t PlaneSize(int32_t w, int32_t h) { return int64_t{w} * h; }

// Brings v into 0..size - 1 by steps of size - 1, as many as it takes.
int32_t WrapRoll(int32_t v, int32_t size) {
  const int32_t step = size - 1;
  if (step <= 0) return 0;
  if (v < 0) return v + step * ((-v + step - 1) / step);
  if (v >= size) return v - step * ((v - size + step) / step);
  return v;
}

// The picture's box into a tile plane; a missing picture plane (no fourth plane) gives an
// opaque mask.
void PictureIntoTile(const Job& job, const uint8_t* plane, const int32_t box[4], int32_t maxW,
                     int32_t maxH, uint8_t* tile) {
  if (plane == nullptr) {
    std::memset(tile, 255, static_cast<size_t>(PlaneSize(maxW, maxH)));
    return;
  }
  BufToBufChar_andR(0, job.width, job.height, plane, maxW, maxH, tile,
                    static_cast<int32_t>(int64_t{job.W} * box[0] / 1000),
                    static_cast<int32_t>(int64_t{job.H} * box[1] / 1000),
                    static_cast<int32_t>(int64_t{job.W} * box[2] / 1000),
                    static_cast<int32_t>(int64_t{job.H} * box[3] / 1000), 0, 0, maxW, maxH);
}

void PictureTile(const Job& job, const int32_t box[4], int32_t maxW, int32_t maxH,
                 uint8_t* const* planes, bool colour) {
  if (colour)
    for (int c = 0; c < 3; ++c)
      PictureIntoTile(job, job.planeCount == 3 ? job.planes[c] : job.planes[0], box, maxW, maxH,
                      planes[c]);
  PictureIntoTile(job, job.planes[3], box, maxW, maxH, planes[3]);
}

void RampTile(const LutVign& ramp, int32_t maxW, int32_t maxH, uint8_t* const* planes) {
  uint8_t table[5 * 256];
  std::memcpy(table, ramp.opacity, 256);
  std::memcpy(table + 256, ramp.colour, 4 * 256);
  Effects::ColorWave(0, 255, planes[0], planes[1], planes[2], nullptr, maxH, maxW, 0, 0, maxW,
                     maxH, 1, 3, nullptr, table, 0, 0);
}

void FlatTile(int32_t k, int32_t maxW, int32_t maxH, uint8_t* const* planes) {
  static constexpr int16_t kFull = 255;
  for (int c = 0; c < 3; ++c)
    Effects::Fill(0, 255, planes[c], maxH, maxW, 0, 0, maxW, maxH, 1, nullptr,
                  &kFlatColours[k][c], &kFull);
  // Flat colours have no mask of their own: the whole tile is drawn.
  std::memset(planes[3], 255, static_cast<size_t>(PlaneSize(maxW, maxH)));
}

}  // namespace

void BleedQuad(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
               int32_t x3, int32_t y3, int32_t percentX, int32_t percentY, int32_t* r) {
  // The dialog offers 20..300 %; a damaged record's bleed of millions of
  // percent would size tiles millions of pixels wide and render for hours.
  // Ten times each way keeps every value a user can set.
  percentX = std::clamp(percentX, -kMaxBleedPercent, kMaxBleedPercent);
  percentY = std::clamp(percentY, -kMaxBleedPercent, kMaxBleedPercent);
  MiscQuorlin::BleedQuad(x0, y0, x1, y1, x2, y2, x3, y3, percentX, percentY, &r[0], &r[1], &r[2],
                         &r[3], &r[4], &r[5], &r[6], &r[7]);
}

void SourceBox(const int32_t* w, bool twin, int32_t box[4]) {
  const int32_t* x = &w[kTessSourceX];
  const int32_t* y = &w[kTessSourceY];
  int32_t d[8];
  // Stored corners count y from the bottom, in thousandths: turned over in 64 bits and held
  // to 32, so a damaged record's corner at the end of the range does not overflow.
  auto up = [y](int k) { return ClampToInt32(1000 - int64_t{y[k]}); };
  if (twin)
    BleedQuad(x[0], y[0], x[1], y[1], x[2], y[2], x[3], y[3], w[kTessBleed], w[kTessBleed + 1], d);
  else
    BleedQuad(x[3], up(3), x[2], up(2), x[1], up(1), x[0], up(0), w[kTessBleed],
              w[kTessBleed + 1], d);
  inf_sup(d[0], d[1], d[2], d[3], d[4], d[5], d[6], d[7], &box[0], &box[1], &box[2], &box[3]);
}

bool TileSets::Take(int32_t count, int32_t maxW, int32_t maxH) {
  const int64_t size = PlaneSize(maxW, maxH);
  block_ = plat::Block<uint8_t>(4 * int64_t{count} * size, WorkSource());
  if (!block_) return false;
  block_.Clear();
  planes_.resize(static_cast<size_t>(count) * 4);
  for (size_t p = 0; p < planes_.size(); ++p) planes_[p] = block_.get() + static_cast<int64_t>(p) * size;
  count_ = count;
  return true;
}

bool PrepareTiles(const TessInfo1& head, const TessInfo* const* sets, const LutVign* ramps,
                  const fichier* files, const Job& job, int32_t maxW, int32_t maxH,
                  TileLoader loader, TileSets* tiles) {
  const int32_t mode = head.w[kTessTileSource];
  if (mode < 0 || mode > 4) return true;  // no tile set: nothing is drawn
  const int32_t count =
      mode == 4 ? kMaxTileSets : std::clamp(head.w[kTessSetsInUse], 0, kMaxTileSets);
  if (!tiles->Take(count, maxW, maxH)) return false;
  for (int32_t k = 0; k < count; ++k) {
    uint8_t* const* planes = tiles->planes(k);
    int32_t box[4];
    SourceBox(sets[k]->w, job.twin, box);
    switch (mode) {
      case 0:
        // The twin takes the picture only when the planes held it to begin with.
        if (!job.twin || job.source == 0) PictureTile(job, box, maxW, maxH, planes, true);
        break;
      case 1:
        RampTile(ramps[k], maxW, maxH, planes);
        if (job.source == 0) PictureTile(job, box, maxW, maxH, planes, false);
        break;
      case 2:
      case 3:
        if (loader != nullptr &&
            loader(&files[k], box[0], box[1], box[2], box[3], maxH, maxW, planes) != 0 &&
            files[k].name[0] != 0)
          tiles->MarkUnread(k);
        break;
      default:
        FlatTile(k, maxW, maxH, planes);
        break;
    }
  }
  return true;
}

bool RollAndShift(const int32_t* w, int32_t maxW, int32_t maxH, uint8_t* const* planes) {
  const int64_t size = PlaneSize(maxW, maxH);
  plat::Block<uint8_t> rolled(size, WorkSource());
  plat::Block<int32_t> columns(maxW, WorkSource());
  if (!rolled || !columns) return false;
  const auto offX = static_cast<int32_t>(int64_t{maxW} * w[kTessOffset] / 100);
  const auto offY = static_cast<int32_t>(int64_t{maxH} * w[kTessOffset + 1] / 100);
  for (int32_t c = 0; c < maxW; ++c) columns[c] = maxW - 1 - WrapRoll(offX + c, maxW);
  for (int p = 0; p < 4; ++p) {
    for (int32_t r = 0; r < maxH; ++r) {
      const uint8_t* from = planes[p] + int64_t{WrapRoll(offY + r, maxH)} * maxW;
      uint8_t* to = rolled.get() + int64_t{r} * maxW;
      for (int32_t c = 0; c < maxW; ++c) to[c] = from[columns[c]];
    }
    std::memcpy(planes[p], rolled.get(), static_cast<size_t>(size));
  }
  if (w[kTessColourShift] != 0 || w[kTessColourShift + 1] != 0 || w[kTessColourShift + 2] != 0)
    HSLBlendChar(planes[0], planes[1], planes[2], maxH, maxW, 0, 0, maxW, maxH,
                 static_cast<int16_t>(w[kTessColourShift]),
                 static_cast<int16_t>(w[kTessColourShift + 1]),
                 static_cast<int16_t>(w[kTessColourShift + 2]));
  return true;
}

bool PlaceQuad(const int32_t* qx, const int32_t* qy, const int32_t* w, const Job& job, int32_t maxW,
               int32_t maxH, int32_t* t, int32_t* d) {
  const int32_t H = job.H, W = job.W;
  // Destination corners 3..0 with y turned upward: the order the warp has always been
  // given, which decides how every copy lies.
  int32_t box[4];
  BleedQuad(qx[3], H - qy[3], qx[2], H - qy[2], qx[1], H - qy[1], qx[0], H - qy[0],
            w[kTessBleed], w[kTessBleed + 1], d);
  inf_sup(d[0], d[1], d[2], d[3], d[4], d[5], d[6], d[7], &box[0], &box[1], &box[2], &box[3]);
  if (box[2] < 0 || box[3] < 0 || box[0] > job.width || box[1] > job.height) return false;
  // Whole tile unless the source quad spans a box (the twin always takes the whole tile).
  const int32_t whole[8] = {0, 0, maxW - 1, 0, maxW - 1, maxH - 1, 0, maxH - 1};
  std::copy(whole, whole + 8, t);
  if (!job.twin) {
    int32_t s[8], sb[4];
    for (int i = 0; i < 4; ++i) {
      const int c = 3 - i;
      s[2 * i] = static_cast<int32_t>(int64_t{W} * w[kTessSourceX + c] / 1000);
      s[2 * i + 1] = static_cast<int32_t>(H - int64_t{H} * w[kTessSourceY + c] / 1000);
    }
    inf_sup(s[0], s[1], s[2], s[3], s[4], s[5], s[6], s[7], &sb[0], &sb[1], &sb[2], &sb[3]);
    const int32_t sw = sb[2] - sb[0], sh = sb[3] - sb[1];
    if (sw > 0 && sh > 0)
      for (int i = 0; i < 4; ++i) {
        t[2 * i] = static_cast<int32_t>(int64_t{s[2 * i] - sb[0]} * (maxW - 1) / sw);
        t[2 * i + 1] = static_cast<int32_t>(int64_t{s[2 * i + 1] - sb[1]} * (maxH - 1) / sh);
      }
  }
  return true;
}

void WarpQuad(const PlacedQuad& q, const Job& job, int32_t maxW, int32_t maxH, int32_t rowFirst,
              int32_t rowEnd) {
  const int32_t* t = q.t;
  const int32_t* d = q.d;
  uint8_t* const* planes = q.planes;
  QuadBufRGBToQuadBufRGBRows(rowFirst, rowEnd, maxH, maxW, planes[0], planes[1], planes[2], q.mode,
                             planes[3], job.height, job.width, job.copies[0], job.copies[1],
                             job.copies[2], t[0], t[1], t[2], t[3], t[4], t[5], t[6], t[7], d[0],
                             d[1], d[2], d[3], d[4], d[5], d[6], d[7]);
}

void DrawQuad(const int32_t* qx, const int32_t* qy, const int32_t* w, const Job& job, int32_t maxW,
              int32_t maxH, uint8_t* const* planes) {
  PlacedQuad q;
  if (!PlaceQuad(qx, qy, w, job, maxW, maxH, q.t, q.d)) return;
  q.planes = planes;
  q.mode = static_cast<int16_t>(w[kTessWarpMode]);
  WarpQuad(q, job, maxW, maxH, 0, job.height);
}

void DrawPlacedQuads(const std::vector<PlacedQuad>& quads, const Job& job, int32_t maxW,
                     int32_t maxH) {
  const auto count = static_cast<int64_t>(quads.size());
  // The tiles are read while the copies are written: bands only when the two never meet.
  const auto tileSize = static_cast<size_t>(PlaneSize(maxW, maxH));
  const auto copySize = static_cast<size_t>(PlaneSize(job.width, job.height));
  const uint8_t* const copies[3] = {job.copies[0], job.copies[1], job.copies[2]};
  bool apart = true;
  for (const PlacedQuad& q : quads) {
    const uint8_t* const tile[4] = {q.planes[0], q.planes[1], q.planes[2], q.planes[3]};
    apart = apart && !PlanesShareBytes(tile, 4, tileSize, copies, 3, copySize);
  }
  auto rows = [&](int64_t i, int32_t* top, int32_t* bottom) {
    const QuadPair pair{{},
                        {quads[i].d[0], quads[i].d[1], quads[i].d[2], quads[i].d[3], quads[i].d[4],
                         quads[i].d[5], quads[i].d[6], quads[i].d[7]}};
    return QuadPairRows(pair, top, bottom);
  };
  auto lay = [&](int64_t i, int32_t first, int32_t end) {
    WarpQuad(quads[i], job, maxW, maxH, first, end);
  };
  if (apart && LayInRowBands(count, job.height, rows, lay)) return;
  for (int64_t i = 0; i < count; ++i) lay(i, 0, job.height);
}

bool StartJob(int16_t planeCount, int32_t width, int32_t height, const vmkrec::EngineArea& area,
              uint8_t* const planes[4], Job* job) {
  const int16_t n = planeCount == 3 ? 3 : 1;
  if (!vmkrec::PlanesGiven(width, height, n == 3, planes[0], planes[1], planes[2])) return false;
  job->planeCount = n;
  job->width = width;
  job->height = height;
  job->W = area.right - area.left;
  job->H = area.bottom - area.top;
  std::copy(planes, planes + 4, job->planes);
  return true;
}

plat::Block<uint8_t> TakeCopies(const Job& job, uint8_t** copies) {
  const int64_t stride = int64_t{job.width + 1} * (job.height + 1);
  plat::Block<uint8_t> block(3 * stride, WorkSource());
  if (!block) return block;
  const auto n = static_cast<size_t>(PlaneSize(job.width, job.height));
  for (int c = 0; c < 3; ++c) {
    copies[c] = block.get() + c * stride;
    std::memcpy(copies[c], job.planeCount == 3 ? job.planes[c] : job.planes[0], n);
  }
  return block;
}

void BlendBack(const Job& job, const vmkrec::EngineArea& area, const uint8_t* mask,
               int16_t blendMode, int16_t opacity) {
  if (job.planeCount == 3) {
    for (int c = 0; c < 3; ++c)
      vmkrec::BlendEffect(job.planes[c], job.copies[c], mask, job.width, area, blendMode, opacity);
    return;
  }
  uint8_t* grey = job.copies[0];
  for (int32_t y = area.top; y < area.bottom; ++y)
    for (int32_t x = area.left; x < area.right; ++x) {
      const int64_t i = int64_t{y} * job.width + x;
      grey[i] = static_cast<uint8_t>((job.copies[0][i] + job.copies[1][i] + job.copies[2][i]) / 3);
    }
  vmkrec::BlendEffect(job.planes[0], grey, mask, job.width, area, blendMode, opacity);
}

}  // namespace tessrender
