// The file- and path-driven cases of the one-plane dispatch: a displacement by an image
// file's two maps (21), a relief embossed from a texture file (52), a colour fill of the
// layer's paths (27), and a sweep of the layer's paths from one rectangle to another, each
// step in a colour of the operation's ramp (28).
//
// Limits: the displacement maps are at most 256 x 256 (the map reader writes no more), the
// texture tile at most 5000 x 5000 and at least 1 x 1. The file cases read a copy of the
// operation's file record, so that finding a moved file does not rewrite the script's own
// record in the middle of a render.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "app/core/file_records.h"
#include "app/core/memory_manager.h"
#include "app/image_import.h"
#include "operations/effects.h"
#include "paths/path_fill.h"
#include "paths/path_list.h"
#include "platform/parallel/cancel.h"
#include "platform/parallel/parallel.h"
#include "platform/parallel/progress.h"
#include "script/displace_map_loader.h"
#include "script/render_cases.h"

namespace {

constexpr int32_t kMaxMapSide = 256;
constexpr int32_t kMaxTileSide = 5000;

// A distance at the render scale as a whole pixel count, in 32 bits so that a large
// parameter at a large scale does not wrap.
int32_t ScaledSide(int16_t v, float scale) {
  const double d = v * static_cast<double>(scale) + 0.5;
  return static_cast<int32_t>(std::clamp(d, -1.0e9, 1.0e9));
}

// --- 21: displacement by a file ----------------------------------------------------------

// Whether the operation names a file: a step without one (its kind just chosen, its file not
// yet) has nothing to read and renders nothing; one whose named file cannot be read fails.
bool NamesAFile(const Oprn& op) {
  return op.FileOprn != nullptr && op.FileOprn->name[0] != 0;
}

int32_t DisplaceByFile(RenderCall& c) {
  const CaseArgs a(c);
  // No image named yet: nothing to displace by, as the loaders load nothing without a file.
  if (!NamesAFile(*c.op)) return 0;
  const DisplaceMapLoader load = GetDisplaceMapLoader();
  // A named image that cannot be read (or no reader for it) leaves the step without its maps.
  if (load == nullptr) return FileUnreadable(c, *c.op->FileOprn);
  // The reader writes maps of at most 256 x 256, rows as long as the map is wide; the
  // displacement must read the same size or it reads the rows skewed and past what was set.
  const int32_t mw = std::clamp<int32_t>(a.p3, 1, kMaxMapSide);
  const int32_t mh = std::clamp<int32_t>(a.p4, 1, kMaxMapSide);
  plat::Block<uint8_t> mapX(int64_t{mw} * mh, WorkSource());
  if (!mapX) return -1;
  plat::Block<uint8_t> mapY(int64_t{mw} * mh, WorkSource());
  if (!mapY) return -1;
  mapX.Clear();
  mapY.Clear();
  fichier file = *c.op->FileOprn;
  if (load(mw, mh, &file, 0, 0, mapX.get(), mapY.get()) != 0)
    return FileUnreadable(c, *c.op->FileOprn);
  return ForEachTarget(c, kWithInk, [&](uint8_t* x, int32_t) {
    return Effects::DisplaceXY(a.mode, a.opa, x, mapX.get(), mapY.get(), mw, mh, c.mask, a.h, a.w,
                               0, 0, a.aw, a.ah, 1, a.p1, a.p2, a.p5);
  });
}

// --- 52: texture relief --------------------------------------------------------------------

// The file's whole image as a tw x th grey tile (the buffer one larger each way, as the
// resizer writes the inclusive rectangle). -1 when the file cannot be read.
int32_t LoadTile(const Oprn& op, int32_t tw, int32_t th, uint8_t* tile) {
  if (op.FileOprn == nullptr) return -1;
  fichier file = *op.FileOprn;
  int32_t iw = 0, ih = 0;
  int16_t unused = 0;
  if (AS_GetImageDimension(&file, &iw, &ih, &unused) == -1 || iw <= 0 || ih <= 0) return -1;
  return AS_GetResizedImage(&file, 1, 0, 0, iw - 1, ih - 1, tw, th, 0, 0, tw, th, 0, tile,
                            nullptr, nullptr, nullptr) == -1
             ? -1
             : 0;
}

int32_t TextureRelief(RenderCall& c) {
  if (!NamesAFile(*c.op)) return 0;  // no image named yet: no relief to draw
  const CaseArgs a(c);
  const int32_t tw = std::clamp(ScaledSide(a.p1, a.scaleX), 1, kMaxTileSide);
  const int32_t th = std::clamp(ScaledSide(a.p1, a.scaleY), 1, kMaxTileSide);
  plat::Block<uint8_t> tile(int64_t{tw + 1} * (th + 1), WorkSource());
  if (!tile) return -1;
  tile.Clear();
  if (LoadTile(*c.op, tw, th, tile.get()) != 0) return FileUnreadable(c, *c.op->FileOprn);
  plat::Block<uint8_t> relief(int64_t{a.w} * a.h, WorkSource());
  if (!relief) return -1;
  relief.Clear();

  if (Effects::LoadTexture(0, 255, relief.get(), tile.get(), 1, 1, c.mask, a.h, a.w, 0, 0, a.aw,
                           a.ah, tw, th, 0, 0) < 0 ||
      Effects::Emboss(0, 255, tile.get(), nullptr, tw, th, 0, 0, tw, th, 1, 1, 128, a.p4, 1) < 0)
    return -1;
  // The embossed tile is the map of both axes; the fourth ink is left as it is.
  if (ForEachTarget(c, kWithoutInk, [&](uint8_t* x, int32_t) {
        return Effects::DisplaceXY(a.mode, a.opa, x, tile.get(), tile.get(), tw, th, c.mask, a.h,
                                   a.w, 0, 0, a.aw, a.ah, 1, a.p2, a.p2, 128);
      }) < 0)
    return -1;
  tile.reset();

  if (Effects::Emboss(0, 255, relief.get(), c.mask, a.h, a.w, 0, 0, a.aw, a.ah, 1, 1, a.p3, a.p4,
                      1) < 0)
    return -1;
  const std::array<uint8_t, 256> row = BrightnessRow(a.p5, a.rgb);
  std::array<uint8_t, 4 * 256> tables;
  for (int32_t r = 0; r < 4; ++r) std::copy(row.begin(), row.end(), tables.begin() + 256 * r);
  // The relief is the mask of the brightness change.
  return ForEachTarget(c, kWithoutInk, [&](uint8_t* x, int32_t) {
    return Effects::Etch(a.mode, a.opa, x, a.h, a.w, 0, 0, a.aw, a.ah, 1, relief.get(),
                         tables.data());
  });
}

// --- 27: colour fill of the layer's paths ------------------------------------------------

// The thread's drawing record (the render's own), kept whole and put back when the fill has
// drawn through the script's own record.
class KeptDrawPar {
 public:
  KeptDrawPar() : shared_(SessionDrawPar()) {
    if (shared_ != nullptr) kept_ = *shared_;
  }
  ~KeptDrawPar() {
    if (shared_ != nullptr) *shared_ = kept_;
  }
  KeptDrawPar(const KeptDrawPar&) = delete;
  KeptDrawPar& operator=(const KeptDrawPar&) = delete;

 private:
  DrawPar* shared_;
  DrawPar kept_;
};

int32_t FillLayerPaths(RenderCall& c) {
  const CaseArgs a(c);
  ScriptFile& s = *c.script;
  const int64_t n = int64_t{a.w} * a.h;
  plat::Block<uint8_t> inside(n, WorkSource());
  if (!inside) return -1;
  inside.Clear();
  if (s.currentPaths != nullptr) {
    // A feathered fill is nearly all the operation's time; a stopped one colours nothing.
    const plat::ProgressStage filling(0.0, 0.8);
    const KeptDrawPar kept;
    s.currentPaths->SetDrw(nullptr, s.drawPar);
    if (FillColPath(0, s.currentPaths, a.h, a.w, inside.get(), 1, a.ah, 1.0f, 1.0f, 0, 0, 255,
                    a.p1) < 0)
      return -1;
  }
  if (plat::Cancelled()) return 0;
  const plat::ProgressStage colouring(0.8, 1.0);
  // Over the whole plane, not only the area: the fill's region reaches one row and one
  // column beyond the area, which would otherwise take the colour whatever the paths are.
  for (int64_t i = 0; i < n; ++i)
    c.mask[i] = static_cast<uint8_t>((c.mask[i] * inside[i]) >> 8);
  return FillWithColour(c, 255);
}

// --- 28: swept fill of the layer's paths -------------------------------------------------

// x + 0.5 truncated toward zero, held inside the 32-bit range (a zero scale gives 0).
int32_t Rounded(double x) {
  if (!std::isfinite(x)) return 0;
  return static_cast<int32_t>(std::clamp(x + 0.5, -2.0e9, 2.0e9));
}

// The Path3D's rectangles (drawing coordinates at the preview scale) in plane pixels, y
// counted up from the area's bottom row.
struct SweepRects {
  int32_t first[4];   // left, top, right, bottom
  int32_t second[4];
};

SweepRects PlaneRects(const ScriptFile& s, const Path3D& rec) {
  DrawPar dp;
  if (s.drawPar != nullptr) dp = *s.drawPar;
  auto r16 = [](double v) { return static_cast<int16_t>(Rounded(v)); };
  auto x = [&](int32_t v) {
    return Rounded((r16(v * static_cast<double>(s.previewScaleX)) - static_cast<double>(dp.originX)) /
                       dp.scaleX +
                   dp.viewOffsetX);
  };
  auto y = [&](int32_t v) {
    return (s.areaY1 - s.areaY0) -
           Rounded((r16(v * static_cast<double>(s.previewScaleY)) - static_cast<double>(dp.originY)) /
                       dp.scaleY +
                   dp.viewOffsetY);
  };
  SweepRects out;
  for (int32_t k = 0; k < 2; ++k) {
    int32_t* to = k == 0 ? out.first : out.second;
    const int32_t* v = rec.rects + 4 * k;
    to[0] = x(v[0]);
    to[1] = y(v[1]);
    to[2] = x(v[2]);
    to[3] = y(v[3]);
  }
  return out;
}

// Entry i = i below r, i - r from r on, held to 0..255 (a negative r would go beyond).
std::array<uint8_t, 256> WrapTable(int32_t r) {
  std::array<uint8_t, 256> t;
  for (int32_t i = 0; i < 256; ++i) t[i] = static_cast<uint8_t>(std::clamp(i < r ? i : i - r, 0, 255));
  return t;
}

int32_t SweepLayerPaths(RenderCall& c) {
  ScriptFile& s = *c.script;
  CPathList* paths = s.currentPaths;
  if (paths == nullptr || paths->first == nullptr) return 0;
  const CaseArgs a(c);
  Path3D rec;
  if (c.op->Path3D != nullptr)
    Copy_Path3D(c.op->Path3D, &rec);
  else
    s.GetPath3D(-1, 0, 0, &rec);
  const SweepRects rects = PlaneRects(s, rec);
  const std::array<uint8_t, 256> index = WrapTable(ScaledSide(a.p1, a.scaleX));
  const RampTables ramp = RampTablesOf(rec.lut);

  int64_t steps = int64_t{std::abs(rects.second[0] - rects.first[0])} +
                  std::abs(rects.second[1] - rects.first[1]) + 1;
  if (a.p2 < 255 && a.p2 < steps) steps = a.p2;
  const int32_t areaW = s.areaX1 - s.areaX0 + 1, areaH = s.areaY1 - s.areaY0 + 1;
  if (steps <= 0 || areaW <= 0 || areaH <= 0) return 0;

  const int32_t* from = rec.direction == 0 ? rects.first : rects.second;
  const int32_t* to = rec.direction == 0 ? rects.second : rects.first;
  const bool cmyk = a.rgb == 0;
  uint8_t* planes[4] = {c.plane, nullptr, nullptr, nullptr};
  int16_t count = 1;
  if (c.plane == nullptr) {
    planes[0] = CompositePlane(c, 3);
    planes[1] = CompositePlane(c, 4);
    planes[2] = CompositePlane(c, 5);
    planes[3] = cmyk ? CompositePlane(c, 2) : nullptr;
    count = cmyk ? 4 : 3;
  }
  // One mask for every step, cleared before each.
  const plat::Block<uint8_t> buffer(int64_t{areaW} * areaH, WorkSource());
  if (!buffer) return -1;
  for (int64_t i = 0; i < steps; ++i) {
    int32_t r[4];
    for (int32_t k = 0; k < 4; ++k)
      r[k] = steps == 1 ? from[k]
                        : static_cast<int32_t>(from[k] + i * (int64_t{to[k]} - from[k]) / (steps - 1));
    CPathList step(0);
    paths->CopyPathList(&step);
    paths->ResizePathsInRect(&step, a.ah, static_cast<float>(r[0]), static_cast<float>(r[2]),
                             static_cast<float>(r[1]), static_cast<float>(r[3]));
    // Zeroed in bands: one thread spent about a tenth of a 30-step sweep of
    // 6000 x 4000 clearing (and, when each step took its own, faulting in) the
    // 24 MB of the area.
    plat::ParallelFor(0, areaH, 64, [&buffer, areaW](int32_t first, int32_t last) {
      std::memset(buffer.get() + int64_t{first} * areaW, 0,
                  static_cast<size_t>(int64_t{last - first} * areaW));
    });
    const int32_t j = steps == 1 ? 0 : static_cast<int32_t>(i * 255 / (steps - 1));
    const uint8_t v = index[j];
    uint8_t colour[4];
    int16_t values[4];
    for (int32_t k = 0; k < 4; ++k) {
      colour[k] = ramp[256 * (1 + k) + v];
      values[k] = ramp[v];
    }
    if (FillColinPath(0, &step, areaH, areaW, buffer.get(), areaH, planes[0], planes[1], planes[2],
                      planes[3], a.h, a.w, std::max(r[0], 0), 0, std::min(r[2], a.aw), a.ah, count,
                      c.mask, colour, values) < 0)
      return -1;
  }
  return 0;
}

}  // namespace

void RegisterFileAndPathCases() {
  RegisterRenderCase(21, DisplaceByFile);
  RegisterRenderCase(27, FillLayerPaths);
  RegisterRenderCase(28, SweepLayerPaths);
  RegisterRenderCase(52, TextureRelief);
}
