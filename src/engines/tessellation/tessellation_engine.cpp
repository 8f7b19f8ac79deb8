#include <algorithm>

#include "app/core/file_records.h"
#include "engines/records/engine_frame.h"
#include "engines/tessellation/quad_lists.h"
#include "engines/tessellation/tessellation_render.h"
#include "engines/tessellation/tessellation_rows.h"
#include "engines/tessellation/tile_files.h"
#include "raster/plane_copy.h"
#include "script/engine_rows.h"

namespace {

// Thousandths of a picture side to a pixel: the product in single precision, the rest in
// double, as stored boxes have always been read.
int32_t BoxPixel(int32_t thousandths, int32_t size) {
  const float product = static_cast<float>(thousandths) * static_cast<float>(size - 1);
  const auto v = static_cast<int32_t>(static_cast<double>(product) / 1000.0 + 0.5);
  return std::clamp(v, 0, size - 1);
}

int32_t LoadSetTile(const fichier* file, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                    int32_t maxH, int32_t maxW, uint8_t* const* planes) {
  return MiscQuorlin::LoadTileBuf(file, x0, y0, x1, y1, maxH, maxW, planes[0], planes[1],
                                  planes[2], planes[3]);
}

}  // namespace

int32_t MiscQuorlin::TileBufSize(const fichier* file, int32_t* width, int32_t* height) {
  return TilePictureSize(file, width, height);
}

int32_t MiscQuorlin::LoadTileBuf(const fichier* file, int32_t x0, int32_t y0, int32_t x1,
                                 int32_t y1, int32_t tileHeight, int32_t tileWidth, uint8_t* p0,
                                 uint8_t* p1, uint8_t* p2, uint8_t* p3) {
  uint8_t* tile[4] = {p0, p1, p2, p3};
  if (tileWidth <= 0 || tileHeight <= 0 || std::find(tile, tile + 4, nullptr) != tile + 4)
    return -1;
  TilePicture picture;
  if (LoadTilePicture(file, &picture) != 0) return -1;
  const int32_t iw = picture.width, ih = picture.height;
  const int32_t sx0 = BoxPixel(x0, iw), sy0 = BoxPixel(y0, ih);
  const int32_t sx1 = BoxPixel(x1, iw), sy1 = BoxPixel(y1, ih);
  // Every plane is copied, the fourth too: the reader gives an opaque one without alpha.
  for (int k = 0; k < 4; ++k)
    BufToBufChar_andR(1, iw, ih, picture.plane(k), tileWidth, tileHeight, tile[k], sx0, sy0, sx1,
                      sy1, 0, 0, tileWidth, tileHeight);
  return 0;
}

int32_t MiscQuorlin::FillBuf(int16_t planeCount, int16_t blendMode, int16_t opacity,
                             int16_t source, int16_t apply, int32_t width, int32_t height,
                             int32_t left, int32_t top, int32_t right, int32_t bottom,
                             int32_t /*fullWidth*/, int32_t /*fullHeight*/, int32_t photoLeft,
                             int32_t photoTop, int32_t photoRight, int32_t photoBottom,
                             float scaleX, float scaleY, uint8_t* plane0, uint8_t* plane1,
                             uint8_t* plane2, uint8_t* plane3, const uint8_t* mask) {
  unreadable_.clear();
  const vmkrec::EngineArea area = vmkrec::ClampArea(left, top, right, bottom, width, height, false);
  uint8_t* const planes[4] = {plane0, plane1, plane2, plane3};
  tessrender::Job job;
  if (par == nullptr || !tessrender::StartJob(planeCount, width, height, area, planes, &job))
    return -1;
  job.source = source;
  vmkrec::PrepareEngineSource(
      source, job.planeCount, 255,
      vmkrec::MakeSourceRequest(width, height, job.W, job.H, photoLeft, photoTop, photoRight,
                                photoBottom, scaleX, scaleY, plane0, plane1, plane2, plane3));
  const plat::Block<uint8_t> copies = tessrender::TakeCopies(job, job.copies);
  if (!copies) return -1;
  if (apply == 1 && job.W > 0 && job.H > 0) {
    PrepQuads(0, 0, job.W, job.H);
    const fichier* unread = nullptr;
    if (tessrender::DrawTiles(*par, effHead, job, LoadSetTile, &unread) != 0) {
      if (unread != nullptr) unreadable_ = FicForUser(*unread);
      return -1;
    }
  }
  tessrender::BlendBack(job, area, mask, blendMode, opacity);
  return 0;
}

int32_t RunQuorlinRow(const EngineRowCall& c) {
  return RunEngineOnce<MiscQuorlin>(
      [&](MiscQuorlin& e) { e.SetTessPar(&c.Record<TessPar>()); },
      [&](MiscQuorlin& e) {
        const int32_t r = e.FillBuf(c.n, c.mode, c.opacity, 0, 1, c.w, c.h, 0, 0, c.aw, c.ah,
                                    c.w, c.h, 0, 0, c.w, c.h, 1.0f, 1.0f, c.planes[0],
                                    c.planes[1], c.planes[2], c.plane6, c.mask);
        c.TellUnreadable(e.UnreadableFile());
        return r;
      });
}
