#include "engines/patterns/script_image_loaders.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "app/core/memory_manager.h"
#include "app/image_import.h"
#include "operations/effects.h"
#include "platform/parallel/cancel.h"
#include "platform/parallel/progress.h"
#include "script/displace_map_loader.h"
#include "script/effect_registries.h"
#include "script/script_file.h"

namespace {

constexpr int32_t kMaxTile = 1000;
constexpr int32_t kMaxMapSide = 256;

// What the three script loaders share once the operation is found to load something.
struct LoadJob {
  ScriptFile* s = nullptr;
  Oprn* op = nullptr;
  // A copy: finding a moved file must not rewrite the script's own reference mid-render.
  fichier file;
  int32_t fw = 0, fh = 0;  // the file's size
  // The load size: the area, but at most one less than the plane's width and height.
  int32_t cw = 0, ch = 0;
  bool composite = false;
  int64_t loadSize() const { return int64_t{cw} * ch; }
};

// 1 with the job filled, 0 when there is nothing to load (planes of one row or one column hold
// no load size), -1 when the file cannot be read or has no size.
int32_t StartLoad(ScriptFile* s, Oprn* op, LoadJob* job) {
  if (s == nullptr || op == nullptr || s->planes == nullptr) return 0;
  if (op->Act == 0 || op->FileOprn == nullptr || op->FileOprn->name[0] == 0) return 0;
  if (op->ToChannel < 2 || op->ToChannel >= ScriptFile::kPlaneSlots) return 0;
  job->s = s;
  job->op = op;
  job->file = *op->FileOprn;
  job->composite = op->ToChannel == 2;
  job->cw = std::min(s->areaWidth, s->planeWidth - 1);
  job->ch = std::min(s->areaHeight, s->planeHeight - 1);
  if (job->cw <= 0 || job->ch <= 0) return 0;
  int16_t unused = 0;
  if (AS_GetImageDimension(&job->file, &job->fw, &job->fh, &unused) == -1) return -1;
  return job->fw > 0 && job->fh > 0 ? 1 : -1;
}

// The planes a load goes into: 3, 4, 5 for the composite, else the target alone (made and
// cleared when missing). False when one cannot be had.
bool TargetPlanes(const LoadJob& j, uint8_t* out[3]) {
  if (!j.composite) {
    out[0] = j.s->PreparedPlane(j.op->ToChannel);
    return out[0] != nullptr;
  }
  for (int32_t k = 0; k < 3; ++k) out[k] = j.s->PreparedPlane(3 + k);
  return out[0] != nullptr && out[1] != nullptr && out[2] != nullptr;
}

// `count` cleared buffers of `each` bytes in one block.
plat::Block<uint8_t> Buffers(int32_t count, int64_t each) {
  plat::Block<uint8_t> b(count * each, WorkSource());
  if (b) b.Clear();
  return b;
}

// The loaders' part of the operation's progress spent reading and scaling the picture; the
// planes it is put into share the rest (at 6000 x 4000 each put, a texture's relief and blend,
// takes as long as the load or longer).
constexpr double kLoadShare = 0.2;

// put(k) for each of `count` planes, each in an even part of the progress after the load; a
// stopped render puts no further plane (its owner drops them). put answers true when its plane
// failed, which ends the turns: true then.
template <typename Put>
bool PutInTurn(int32_t count, Put put) {
  for (int32_t k = 0; k < count; ++k) {
    if (plat::Cancelled()) return false;
    const plat::ProgressStage stage(kLoadShare + (1.0 - kLoadShare) * k / count,
                                    kLoadShare + (1.0 - kLoadShare) * (k + 1) / count);
    if (put(k)) return true;
  }
  return false;
}

// A tile side from a parameter and a scale, at most 1000; 0 when not positive.
int32_t TileSide(float value) {
  if (!(value >= 1.0f)) return 0;
  return value >= static_cast<float>(kMaxTile) ? kMaxTile : static_cast<int32_t>(value);
}

}  // namespace

int32_t LoadImageFile(ScriptFile* script, Oprn* op, int16_t alpha) {
  LoadJob j;
  if (const int32_t st = StartLoad(script, op, &j); st != 1) return st;
  ScriptFile& s = *script;
  // The part of the file the area shows: from the left, and up from the file's last row.
  const auto right = static_cast<int32_t>(static_cast<float>(j.cw) * static_cast<float>(j.fw) /
                                              static_cast<float>(s.areaWidth) +
                                          0.5f);
  const auto rows = static_cast<int32_t>(static_cast<float>(j.ch) * static_cast<float>(j.fh) /
                                             static_cast<float>(s.areaHeight) +
                                         0.5f);
  const int32_t colours = j.composite ? 3 : 1;
  const bool withAlpha = alpha == 1;
  const int64_t n = j.loadSize();
  plat::Block<uint8_t> bufs = Buffers(colours + (withAlpha ? 1 : 0), n);
  if (!bufs) return -1;
  uint8_t* b[4] = {};
  for (int32_t k = 0; k < colours + (withAlpha ? 1 : 0); ++k) b[k] = bufs.get() + k * n;
  uint8_t* fourth = withAlpha ? b[colours] : nullptr;
  {
    const plat::ProgressStage loading(0.0, kLoadShare);
    if (AS_GetResizedImage(&j.file, 0, 0, j.fh - rows, right, j.fh, j.cw, j.ch, 0, 0, j.cw,
                           j.ch, j.composite ? 3 : 0, b[0], j.composite ? b[1] : nullptr,
                           j.composite ? b[2] : nullptr, fourth) == -1)
      return -1;
  }
  if (plat::Cancelled()) return -1;
  plat::Block<uint8_t> mask;
  if (s.OperationMask(op, &mask) != 0) return -1;
  uint8_t* target[3] = {};
  if (!TargetPlanes(j, target)) return -1;
  uint8_t* plane6 = nullptr;
  if (j.composite && withAlpha && (plane6 = s.PreparedPlane(6)) == nullptr) return -1;

  auto put = [&](uint8_t* plane, const uint8_t* from) {
    return Effects::LoadTexture(op->Mode, op->Opa, plane, from, 1, 1, mask.get(), s.planeHeight,
                                s.planeWidth, 0, 0, s.areaWidth, s.areaHeight, j.cw, j.ch,
                                op->Param1, op->Param2) < 0;
  };
  if (!j.composite)
    return PutInTurn(1, [&](int32_t) { return put(target[0], withAlpha ? fourth : b[0]); }) ? -1 : 1;
  // A CMYK script's ink plane was handed no source: it takes nothing.
  if (PutInTurn(withAlpha ? 4 : 3,
                [&](int32_t k) { return put(k < 3 ? target[k] : plane6, k < 3 ? b[k] : fourth); }))
    return -1;
  return 1;
}

int32_t LoadTextureFile(ScriptFile* script, Oprn* op) {
  LoadJob j;
  if (const int32_t st = StartLoad(script, op, &j); st != 1) return st;
  ScriptFile& s = *script;
  // No preview scale, or a tile that comes to no pixel at it: there is no tile to lay.
  if (!(s.previewScaleX > 0.0f) || !(s.previewScaleY > 0.0f)) return 0;
  const int32_t tw = TileSide(static_cast<float>(op->Param1) / s.previewScaleX + 0.5f);
  const int32_t th = TileSide(static_cast<float>(op->Param2) / s.previewScaleY + 0.5f);
  if (tw <= 0 || th <= 0) return 0;
  plat::Block<uint8_t> tile = Buffers(j.composite ? 4 : 1, (int64_t{tw} + 1) * (th + 1));
  if (!tile) return -1;
  // The whole file scaled to one tile: grey for one plane, four-byte pixels for the composite.
  if (AS_GetResizedImage(&j.file, j.composite ? 0 : 1, 0, 0, j.fw - 1, j.fh - 1, tw, th, 0, 0,
                         tw, th, j.composite ? 1 : 0, tile.get(), nullptr, nullptr,
                         nullptr) == -1)
    return -1;
  plat::Block<uint8_t> mask;
  if (s.OperationMask(op, &mask) != 0) return -1;
  uint8_t* target[3] = {};
  if (!TargetPlanes(j, target)) return -1;
  if (!j.composite)
    return Effects::LoadTexture(op->Mode, op->Opa, target[0], tile.get(), 1, 1, mask.get(),
                                s.planeHeight, s.planeWidth, 0, 0, s.areaWidth, s.areaHeight, tw,
                                th, op->Param3, op->Param4) < 0
               ? -1
               : 1;
  const bool rgb = s.colourModel != 0;
  uint8_t* ink = rgb ? nullptr : s.ChannelPlane(2, 0);
  return Effects::LoadTexture(op->Mode, op->Opa, target[0], target[1], target[2], ink, tile.get(),
                              rgb ? 1 : 0, mask.get(), s.planeHeight, s.planeWidth, 0, 0,
                              s.areaWidth, s.areaHeight, tw, th, op->Param3, op->Param4) < 0
             ? -1
             : 1;
}

namespace {

// The frame's picture turned a quarter turn. One plane takes the grey of the turned colour
// planes: the turned loader has no one-byte form, and its four-byte pixels would overrun a
// buffer of one byte a sample.
int32_t LoadTurned(LoadJob& j, int32_t top, int32_t right, uint8_t* const* b) {
  if (j.composite)
    return AS_Get90ResizedImage(&j.file, 0, 0, top, right, j.fh - 1, j.cw, j.ch, 0, 0, j.cw,
                                j.ch, 3, b[0], b[1], b[2], nullptr);
  const int64_t n = j.loadSize();
  plat::Block<uint8_t> rgb = Buffers(3, n);
  if (!rgb) return -1;
  if (AS_Get90ResizedImage(&j.file, 0, 0, top, right, j.fh - 1, j.cw, j.ch, 0, 0, j.cw, j.ch, 3,
                           rgb.get(), rgb.get() + n, rgb.get() + 2 * n, nullptr) == -1)
    return -1;
  for (int64_t i = 0; i < n; ++i) b[0][i] = GreyOf(rgb[i], rgb[n + i]);
  return 0;
}

// The frame's picture as a tile of `side` pixels repeated over the load size.
int32_t LoadTiled(LoadJob& j, int32_t side, uint8_t* const* b) {
  plat::Block<uint8_t> tile = Buffers(4, (int64_t{side} + 1) * (side + 1));
  if (!tile) return -1;
  if (AS_GetResizedImage(&j.file, 0, 0, 0, j.fw - 1, j.fh - 1, side, side, 0, 0, side, side,
                         j.composite ? 1 : 0, tile.get(), nullptr, nullptr, nullptr) == -1)
    return -1;
  if (j.composite)
    return Effects::LoadTexture(0, 255, b[0], b[1], b[2], nullptr, tile.get(), 1, nullptr, j.ch,
                                j.cw, 0, 0, j.cw, j.ch, side, side, 0, 0) < 0
               ? -1
               : 0;
  return Effects::LoadTexture(0, 255, b[0], tile.get(), 1, 1, nullptr, j.ch, j.cw, 0, 0, j.cw,
                              j.ch, side, side, 0, 0) < 0
             ? -1
             : 0;
}

}  // namespace

int32_t LoadImageFrame(ScriptFile* script, Oprn* op, int16_t mode) {
  if (mode < 0 || mode > 2) return 0;
  LoadJob j;
  if (const int32_t st = StartLoad(script, op, &j); st != 1) return st;
  ScriptFile& s = *script;
  const auto right = static_cast<int32_t>(int64_t{j.cw} * (j.fw - 1) / s.areaWidth);
  const auto top = static_cast<int32_t>(j.fh - int64_t{j.ch} * j.fh / s.areaHeight - 1);
  const int32_t colours = j.composite ? 3 : 1;
  const int64_t n = j.loadSize();
  plat::Block<uint8_t> bufs = Buffers(colours, n);
  if (!bufs) return -1;
  uint8_t* b[3] = {};
  for (int32_t k = 0; k < colours; ++k) b[k] = bufs.get() + k * n;

  int16_t frameMode = 0;
  int32_t first = op->Param1;
  int32_t st = 0;
  std::optional<plat::ProgressStage> loading(std::in_place, 0.0, kLoadShare);
  if (mode == 0) {
    st = AS_GetResizedImage(&j.file, 0, 0, top, right, j.fh - 1, j.cw, j.ch, 0, 0, j.cw, j.ch,
                            j.composite ? 3 : 0, b[0], b[1], b[2], nullptr);
  } else if (mode == 1) {
    st = LoadTurned(j, top, right, b);
  } else {
    // No preview scale, or a tile that comes to no pixel at it: there is no frame to lay.
    if (!(s.previewScaleX > 0.0f)) return 0;
    const int32_t side = TileSide(static_cast<float>(op->Param1) * s.previewScaleX + 0.5f);
    if (side <= 0) return 0;
    st = LoadTiled(j, side, b);
    frameMode = op->Mode;
    first = op->Opa;
  }
  if (st == -1) return -1;
  loading.reset();
  if (plat::Cancelled()) return -1;
  plat::Block<uint8_t> mask;
  if (s.OperationMask(op, &mask, false) != 0) return -1;
  uint8_t* target[3] = {};
  if (!TargetPlanes(j, target)) return -1;
  // A CMYK script's ink plane was handed no source: it takes nothing.
  if (PutInTurn(colours, [&](int32_t k) {
        return Effects::LoadInFrame(target[k], b[k], mask.get(), s.planeHeight, s.planeWidth,
                                    frameMode, first, op->Param2, op->Param3, op->Param4,
                                    op->Param5, 0, 0, s.areaWidth, s.areaHeight, j.cw, j.ch) < 0;
      }))
    return -1;
  return 1;
}

int32_t LoadDisplaceFile(int32_t width, int32_t height, fichier* file, int32_t, int32_t,
                         uint8_t* xMap, uint8_t* yMap) {
  if (file == nullptr || xMap == nullptr || yMap == nullptr) return -1;
  int32_t fw = 0, fh = 0;
  int16_t unused = 0;
  if (AS_GetImageDimension(file, &fw, &fh, &unused) == -1) return -1;
  const int32_t w = std::min(width, kMaxMapSide), h = std::min(height, kMaxMapSide);
  if (w <= 0 || h <= 0) return -1;
  const int64_t n = int64_t{w} * h;
  plat::Block<uint8_t> pixels = Buffers(4, n);
  if (!pixels) return -1;
  if (AS_GetResizedImage(file, 0, 0, 0, fw - 1, fh - 1, w, h, 0, 0, w - 1, h - 1, 1,
                         pixels.get(), nullptr, nullptr, nullptr) == -1)
    return -1;
  // Rows `w` long: the displacement reads them so.
  for (int64_t i = 0; i < n; ++i) {
    xMap[i] = pixels[4 * i];
    yMap[i] = pixels[4 * i + 1];
  }
  return 0;
}

namespace {

// Short of memory (which the renderer finds itself), a loader fails only when its file cannot
// be read.
int32_t Result(RenderCall& c, int32_t loaded) {
  if (loaded >= 0) return 0;
  if (c.op->FileOprn != nullptr) return FileUnreadable(c, *c.op->FileOprn);
  c.failure = StepFailure::kFileUnreadable;
  return -1;
}

int32_t LoadImageStep(RenderCall& c) {
  return Result(c, LoadImageFile(c.script, c.op, c.op->Param3));
}
int32_t LoadTextureStep(RenderCall& c) {
  return Result(c, LoadTextureFile(c.script, c.op));
}
int32_t FrameUprightStep(RenderCall& c) {
  return Result(c, LoadImageFrame(c.script, c.op, 0));
}
int32_t FrameTurnedStep(RenderCall& c) {
  return Result(c, LoadImageFrame(c.script, c.op, 1));
}
int32_t FrameTiledStep(RenderCall& c) {
  return Result(c, LoadImageFrame(c.script, c.op, 2));
}

}  // namespace

void RegisterScriptImageLoaders() {
  RegisterRenderCase(24, LoadImageStep);
  RegisterRenderCase(25, LoadTextureStep);
  RegisterRenderCase(38, FrameUprightStep);
  RegisterRenderCase(39, FrameTurnedStep);
  RegisterRenderCase(75, FrameTiledStep);
  SetDisplaceMapLoader(LoadDisplaceFile);
}
