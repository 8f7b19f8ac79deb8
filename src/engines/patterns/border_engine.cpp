// Layout of a layer: sizes are single-precision fractions of the rendered rectangle's width W
// and height H, truncated toward zero, and positions are measured from row 0 and column 0 of
// the planes (not from the rectangle's corner), rows from the first row. Corners i: 0 last
// rows and first columns, 1 first rows and first columns, 2 first rows and last columns, 3
// last rows and last columns. A side's cells share the span between its two corners.
#include "engines/patterns/border_engine.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <deque>
#include <string>

#include "app/core/colour_spaces.h"
#include "app/core/file_records.h"
#include "app/core/memory_manager.h"
#include "app/core/percent.h"
#include "app/core/sample_clamp.h"
#include "engines/patterns/engine_planes.h"
#include "engines/records/engine_frame.h"
#include "operations/effects.h"
#include "platform/parallel/parallel.h"
#include "platform/parallel/progress.h"
#include "platform/random/random.h"
#include "raster/blend_filters.h"
#include "raster/plane_copy.h"
#include "script/engine_rows.h"

namespace {

constexpr int32_t kTileImages = 12;
// Tiles and cells beyond any memory are refused before their sizes could overflow.
constexpr int32_t kMaxSide = 1 << 24;

// Float to int toward zero; values beyond any plane are held where the cast stays defined.
int32_t Trunc(float v) { return static_cast<int32_t>(std::clamp(v, -1.0e9f, 1.0e9f)); }

// value x size / divisor in single precision.
float Part(int32_t value, int32_t size, float divisor) {
  return static_cast<float>(value) * static_cast<float>(size) / divisor;
}

// A cell: the rectangle handed to MergeCell and the size its planes are drawn at.
struct CellPlace {
  int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  int32_t width = 0, height = 0;
};

CellPlace PlaceOf(float left, float top, float right, float bottom, int32_t width,
                  int32_t height) {
  return {Trunc(left), Trunc(top), Trunc(right), Trunc(bottom), width, height};
}

struct Corner {
  int32_t cw = 0, ch = 0;  // drawn width and height
  float dx = 0, dy = 0;    // inset
};

Corner CornerOf(const BordInfo& info, int32_t i, int32_t W, int32_t H) {
  return {Trunc(Part(info.cornerWidth[i], W, 200)), Trunc(Part(info.cornerHeight[i], H, 200)),
          Part(info.cornerInset[i], W, 400), Part(info.cornerInset[i], H, 400)};
}

CellPlace CornerPlace(const Corner& c, int32_t i, int32_t W, int32_t H) {
  const float fw = static_cast<float>(W), fh = static_cast<float>(H);
  const bool left = i == 0 || i == 1, top = i == 1 || i == 2;
  const float x0 = left ? c.dx : fw - c.dx - static_cast<float>(c.cw);
  const float y0 = top ? c.dy : fh - c.dy - static_cast<float>(c.ch);
  return PlaceOf(x0, y0, x0 + static_cast<float>(c.cw), y0 + static_cast<float>(c.ch), c.cw,
                 c.ch);
}

int32_t CellsOf(const BordInfo& info, int32_t s) {
  return std::clamp(info.cells[s], int32_t{0}, kBordCellsPerSide);
}

// Cell k (1..n) of side s: across the side from the edge inset by its thickness, along it
// from the corner where the side begins.
CellPlace SidePlace(const BordInfo& info, const Corner (&c)[4], int32_t s, int32_t k, int32_t n,
                    int32_t W, int32_t H) {
  const bool vertical = s == 0 || s == 2;  // sides 0 and 2 run down the columns
  const int32_t across = vertical ? W : H;
  const int32_t t = Trunc(Part(info.thickness[s], across, 200));
  const float e = Part(info.inset[s], across, 400);
  const float fw = static_cast<float>(W), fh = static_cast<float>(H);
  float start = 0;
  float span = 0;
  bool grows = true;
  switch (s) {
    case 0:
      start = c[1].dy + static_cast<float>(c[1].ch);
      span = fh - start - (static_cast<float>(c[0].ch) + c[0].dy);
      break;
    case 1:
      start = fw - (c[2].dx + static_cast<float>(c[2].cw));
      span = fw - (c[1].dx + static_cast<float>(c[1].cw)) - (c[2].dx + static_cast<float>(c[2].cw));
      grows = false;
      break;
    case 2:
      start = fh - (static_cast<float>(c[3].ch) + c[3].dy);
      span = fh - (static_cast<float>(c[2].ch) + c[2].dy) - (static_cast<float>(c[3].ch) + c[3].dy);
      grows = false;
      break;
    default:
      start = static_cast<float>(c[0].cw) + c[0].dx;
      span = fw - start - (static_cast<float>(c[3].cw) + c[3].dx);
      break;
  }
  const int64_t L = Trunc(span);
  const float near = static_cast<float>(L * (k - 1) / n), far = static_cast<float>(L * k / n);
  const float a = grows ? start + near : start - far;
  const float b = grows ? start + far : start - near;
  const int32_t along = Trunc(b - a);
  const float lo = s < 2 ? e : static_cast<float>(across) - e - static_cast<float>(t);
  const float hi = lo + static_cast<float>(t);
  return vertical ? PlaceOf(lo, a, hi, b, t, along) : PlaceOf(a, lo, b, hi, along, t);
}

// Added to a side cell's angle: the tiles face the picture whichever side they line.
int32_t SideAngle(int32_t kind, int32_t s) {
  static constexpr int32_t kRamps[4] = {180, 270, 0, 90}, kImages[4] = {90, 180, 270, 0};
  return kind == 0 ? kRamps[s] : kImages[s];
}

// (50 - random() mod 100) x jitter / 50, truncated toward zero.
int32_t Jitter(int32_t jitter) {
  const int64_t r = 50 - plat::Random() % 100;
  return static_cast<int32_t>(r * jitter / 50);
}

int16_t Short(int64_t v) { return static_cast<int16_t>(std::clamp<int64_t>(v, -32768, 32767)); }

// The twelve tile images of a layer, four planes each, S x S (allocated S + 1 square).
struct LayerTiles {
  plat::Block<uint8_t> block;
  uint8_t* planes[kTileImages][4] = {};
  int32_t size = 0;
  bool made = false;
  bool unread[kTileImages] = {};  // a picture named for the image that could not be read
};

// A ramp's tables in the order the channel painter reads them: channel c is row c + 1, so
// channel 0 paints the opacity and channels 1 to 3 red, green and blue.
void RampRows(const LutVign& ramp, uint8_t (*rows)[256]) {
  std::memcpy(rows[0], ramp.opacity, 256);
  std::memcpy(rows[1], ramp.opacity, 256);
  for (int32_t k = 0; k < 3; ++k) std::memcpy(rows[2 + k], ramp.colour[k], 256);
}

struct Render {
  const MiscBord* engine = nullptr;
  int32_t width = 0, height = 0;
  uint8_t* const* work = nullptr;
};

// What a cell's four planes are made of: the same tile image mirrored, turned, scaled, resampled
// to the same size and recoloured the same way gives the same planes, so a side of equal cells
// (the jitters at 0) makes them once.
struct CellKey {
  int64_t angle = 0, scale = 0;
  int32_t image = 0, mirror = 0, fill = 0, width = 0, height = 0;
  int32_t hue = 0, saturation = 0, lightness = 0;
  bool operator==(const CellKey&) const = default;
};

std::atomic<bool> gReuseCells{true};

// The cells of one layer's render already made, newest last, up to a bound on their bytes (the
// oldest go first).
class CellPlanes {
 public:
  const plat::Block<uint8_t>* Find(const CellKey& key) const {
    for (const auto& e : entries_)
      if (e.key == key) return &e.planes;
    return nullptr;
  }
  // Takes the planes and answers where they are kept; null, and the planes left to the caller,
  // when they are not kept.
  const plat::Block<uint8_t>* Keep(const CellKey& key, plat::Block<uint8_t>& planes) {
    if (!gReuseCells.load(std::memory_order_relaxed) || planes.bytes() > kBytes) return nullptr;
    while (!entries_.empty() && bytes_ + planes.bytes() > kBytes) {
      bytes_ -= entries_.front().planes.bytes();
      entries_.pop_front();
    }
    bytes_ += planes.bytes();
    entries_.push_back({key, std::move(planes)});
    return &entries_.back().planes;
  }

 private:
  static constexpr int64_t kBytes = int64_t{64} << 20;
  struct Entry {
    CellKey key;
    plat::Block<uint8_t> planes;
  };
  std::deque<Entry> entries_;
  int64_t bytes_ = 0;
};

// A cell's four planes (width x height each) made from the tile: mirrored, turned and scaled at
// the tile's size, resampled to the cell, recoloured. Empty when memory fails.
plat::Block<uint8_t> MakeCell(const LayerTiles& tiles, const BordTile& T, const CellKey& key,
                              bool mirror) {
  const int32_t S = tiles.size;
  const int64_t cell = int64_t{key.width} * key.height;
  plat::Block<uint8_t> planes(4 * cell, WorkSource());
  const int64_t tile = int64_t{S} * S;
  const plat::Block<uint8_t> scratch(4 * tile, WorkSource());
  if (!planes || !scratch) return {};
  uint8_t* p[4];
  uint8_t* s[4];
  for (int32_t k = 0; k < 4; ++k) {
    p[k] = planes.get() + k * cell;
    s[k] = scratch.get() + k * tile;
  }
  // Each plane goes through the same steps on its own; the four turn together, so that the
  // turned box's positions are solved once for the cell.
  for (int32_t k = 0; k < 4; ++k) {
    ChBufToChBuf(S, S, tiles.planes[T.image][k], s[k]);
    if (mirror)
      Effects::Mirror(0, 255, s[k], S, S, 0, 0, S, S, Short(2 * int64_t{T.mirror} + 2), 1, nullptr);
  }
  if (key.angle != 0 || key.scale != 100)
    Effects::TransformPlanes(0, 255, s, 4, S, S, 0, 0, S, S, 0, 0, Short(key.scale),
                             Short(key.scale), static_cast<int16_t>(key.angle),
                             static_cast<int16_t>(key.fill), nullptr);
  for (int32_t k = 0; k < 4; ++k)
    BufToBufChar_andR(0, S, S, s[k], key.width, key.height, p[k], 0, 0, S, S, 0, 0, key.width,
                      key.height);
  if (T.hue != 0 || T.saturation != 0 || T.lightness != 0)
    HSLBlendChar(p[0], p[1], p[2], key.height, key.width, 0, 0, key.width - 1, key.height - 1,
                 Short(T.hue), Short(T.saturation), Short(T.lightness));
  return planes;
}

// Draws one enabled cell: two random draws (angle first), then, when there is something to
// draw, the tile mirrored, turned and scaled, resampled to the cell, recoloured and merged.
// -1 when memory fails.
int32_t DrawCell(const Render& r, const LayerTiles& tiles, CellPlanes* made, const BordTile& T,
                 const CellPlace& c, int32_t angleOffset, bool corner) {
  // Summed in 64 bits: a tile's words at the ends of their range must not overflow.
  int64_t angle = int64_t{T.angle} + Jitter(T.angleJitter) + angleOffset;
  const int64_t scale = int64_t{T.scale} + Jitter(T.scaleJitter);
  if (!tiles.made || c.width <= 0 || c.height <= 0 || T.image < 0 || T.image >= kTileImages)
    return 0;
  if (angle < -32768 || angle > 32767) angle %= 360;
  if (c.width > kMaxSide || c.height > kMaxSide) return -1;
  const bool mirror = corner && T.mirror != 0;
  const CellKey key{angle,   scale,    T.image, mirror ? T.mirror : 0, T.maskKind == 2 ? 255 : 0,
                    c.width, c.height, T.hue,   T.saturation,          T.lightness};
  const plat::Block<uint8_t>* planes = made->Find(key);
  plat::Block<uint8_t> own;
  if (planes == nullptr) {
    own = MakeCell(tiles, T, key, mirror);
    if (!own) return -1;
    planes = made->Keep(key, own);
    if (planes == nullptr) planes = &own;
  }
  const int64_t cell = int64_t{c.width} * c.height;
  const uint8_t* p = planes->get();
  r.engine->MergeCell(c.width, c.height, p, p + cell, p + 2 * cell, p + 3 * cell, r.width,
                      r.height, r.work[0], r.work[1], r.work[2], c.x0, c.y0, c.x1, c.y1, &T);
  return 0;
}

}  // namespace

MiscBord::MiscBord() : par_(1, WorkSource()) { par_.Clear(); }

void MiscBord::SetBordPar(const BordPar* record) {
  if (par_ && record != nullptr) Copy_BordPar(record, par_.get());
}

void MiscBord::GetBordPar(BordPar* record) const {
  if (par_ && record != nullptr) Copy_BordPar(par_.get(), record);
}

void MiscBord::GetBiggestTile(int16_t layer, int32_t left, int32_t top, int32_t right,
                              int32_t bottom, int32_t* width, int32_t* height) const {
  int32_t bw = 0, bh = 0;
  if (par_ && layer >= 0 && layer < kBordLayers) {
    const BordInfo& I = par_.get()->layers[layer].info;
    // Held spans: a rectangle at the ends of the int range must not overflow.
    const int32_t W = ClampToInt32(int64_t{right} - left);
    const int32_t H = ClampToInt32(int64_t{bottom} - top);
    float cw[4], ch[4];
    for (int32_t i = 0; i < 4; ++i) {
      cw[i] = Part(I.cornerWidth[i], W, 100);
      ch[i] = Part(I.cornerHeight[i], H, 100);
      bw = std::max(bw, Trunc(cw[i]));
      bh = std::max(bh, Trunc(ch[i]));
    }
    bw = std::max({bw, Trunc(Part(I.thickness[0], W, 100)), Trunc(Part(I.thickness[2], W, 100))});
    bh = std::max({bh, Trunc(Part(I.thickness[1], H, 100)), Trunc(Part(I.thickness[3], H, 100))});
    // Cells: the differences of consecutive positions along the span between two corners.
    const auto longest = [](float start, float span, int32_t n) {
      int32_t m = 0;
      for (int32_t k = 1; k <= n; ++k) {
        const float a = start + span * static_cast<float>(k - 1) / static_cast<float>(n);
        const float b = start + span * static_cast<float>(k) / static_cast<float>(n);
        m = std::max(m, Trunc(b - a));
      }
      return m;
    };
    const float fw = static_cast<float>(W), fh = static_cast<float>(H);
    bh = std::max({bh, longest(ch[1], fh - ch[1] - ch[0], CellsOf(I, 0)),
                   longest(ch[2], fh - ch[2] - ch[3], CellsOf(I, 2))});
    bw = std::max({bw, longest(cw[1], fw - cw[1] - cw[2], CellsOf(I, 1)),
                   longest(cw[0], fw - cw[0] - cw[3], CellsOf(I, 3))});
  }
  if (width != nullptr) *width = bw;
  if (height != nullptr) *height = bh;
}

int32_t MiscBord::LoadTileBuf(const fichier* file, int32_t x0, int32_t y0, int32_t x1,
                              int32_t y1, int32_t width, int32_t height, uint8_t* red,
                              uint8_t* green, uint8_t* blue, uint8_t* alpha) const {
  uint8_t* const planes[4] = {red, green, blue, alpha};
  return vmkpat::LoadTileImage(file, x0, y0, x1, y1, width, height, planes);
}

void MiscBord::MergeCell(int32_t cellWidth, int32_t cellHeight, const uint8_t* red,
                         const uint8_t* green, const uint8_t* blue, const uint8_t* alpha,
                         int32_t width, int32_t height, uint8_t* work1, uint8_t* work2,
                         uint8_t* work3, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                         const BordTile* tile) const {
  if (tile == nullptr || red == nullptr || green == nullptr || blue == nullptr ||
      alpha == nullptr)
    return;
  const int32_t kind = tile->maskKind, opacity = tile->opacity;
  if (kind < 0 || kind > 2) return;
  // Kept in double as the tile dialogs have always rounded it: 10 gives 26, 90 gives 229.
  // Held to the weights' range first: an absurd opacity must not leave the int range.
  const auto constant = static_cast<int32_t>(std::clamp<int64_t>(PercentTo255(opacity), 0, 255));
  const uint8_t* tilePlanes[3] = {red, green, blue};
  uint8_t* work[3] = {work1, work2, work3};
  const auto mode = static_cast<uint32_t>(int64_t{tile->blendMode} + 1);
  // The cell's far edges in 64 bits: a cell placed at the ends of the range must not overflow.
  const int32_t xs = std::max(x0, 0);
  const auto xe = static_cast<int32_t>(std::min<int64_t>({x1, width, int64_t{x0} + cellWidth}));
  const int32_t ys = std::max(y0, 0);
  const auto ye = static_cast<int32_t>(std::min<int64_t>({y1, height, int64_t{y0} + cellHeight}));
  if (xs >= xe || ys >= ye) return;
  // The weight of each alpha sample: the same sums as each pixel's own.
  uint8_t weightOf[256];
  for (int32_t v = 0; v < 256; ++v) {
    int64_t a = constant;
    if (kind == 1) a = int64_t{v} * opacity / 100;
    if (kind == 2) a = int64_t{255 - v} * opacity / 100;
    // An opacity beyond 0..100 percent would take the blend out of range.
    weightOf[v] = static_cast<uint8_t>(std::clamp<int64_t>(a, 0, 255));
  }
  // Each pixel of the cell blends alone: rows in bands. The first mode puts the tile's sample
  // in, so its mix ((255 - w) d + w t) / 255 of bytes takes 16-bit lanes.
  plat::ParallelFor(ys, ye, 16, [=, &weightOf](int32_t first, int32_t last) {
    uint8_t w[256];
    for (int32_t y = first; y < last; ++y) {
      const size_t row = static_cast<size_t>(y) * static_cast<size_t>(width);
      const size_t cellRow = static_cast<size_t>(y - y0) * static_cast<size_t>(cellWidth);
      for (int32_t x = xs; x < xe; x += 256) {
        const int32_t n = std::min(xe - x, 256);
        const uint8_t* a = alpha + cellRow + (x - x0);
        for (int32_t i = 0; i < n; ++i) w[i] = weightOf[a[i]];
        for (int32_t k = 0; k < 3; ++k) {
          uint8_t* d = work[k] + row + x;
          const uint8_t* t = tilePlanes[k] + cellRow + (x - x0);
          if (mode == 1) {
            for (int32_t i = 0; i < n; ++i) {
              const auto wi = static_cast<uint16_t>(w[i]);
              d[i] = static_cast<uint8_t>(static_cast<uint16_t>((255 - wi) * d[i] + wi * t[i]) / 255);
            }
            continue;
          }
          for (int32_t i = 0; i < n; ++i) {
            unsigned char out = d[i];
            X_optionRPart(&out, mode, d[i], t[i]);
            d[i] = static_cast<uint8_t>(((255 - w[i]) * d[i] + w[i] * out) / 255);
          }
        }
      }
    }
  });
}

namespace {

// The first of the layer's tile images before k read from the same file as k; -1 when there is
// none (or the cells are made one by one, the plain form).
int32_t SameFileBefore(const BordLay& layer, int32_t k) {
  if (!gReuseCells.load(std::memory_order_relaxed)) return -1;
  const std::string path = FicToPosix(layer.files[k]);
  if (path.empty()) return -1;
  for (int32_t j = 0; j < k; ++j)
    if (FicToPosix(layer.files[j]) == path) return j;
  return -1;
}

// The twelve tile images of a layer at size S: ramps (kind 0) or picture files (kind 1);
// any other kind makes none. False when memory fails.
bool MakeTiles(const MiscBord& engine, const BordLay& layer, int32_t S, LayerTiles* tiles) {
  tiles->size = S;
  const int32_t kind = layer.info.kind;
  if (kind != 0 && kind != 1) return true;
  if (S > kMaxSide) return false;
  const int64_t plane = (int64_t{S} + 1) * (int64_t{S} + 1);
  tiles->block = plat::Block<uint8_t>(plane * 4 * kTileImages, WorkSource());
  if (!tiles->block) return false;
  tiles->block.Clear();
  for (int32_t k = 0; k < kTileImages; ++k)
    for (int32_t c = 0; c < 4; ++c) tiles->planes[k][c] = tiles->block.get() + (4 * k + c) * plane;
  for (int32_t k = 0; k < kTileImages; ++k) {
    uint8_t** p = tiles->planes[k];
    if (kind == 0) {
      uint8_t rows[5][256];
      RampRows(layer.ramps[k], rows);
      static constexpr int16_t kChannels[4] = {1, 2, 3, 0};  // red, green, blue, alpha
      for (int32_t c = 0; c < 4; ++c)
        Effects::ColorWaveChan(0, 255, p[c], S, S, 0, 0, S, S, kChannels[c], nullptr, &rows[0][0],
                               0, 0, 0);
    } else if (const int32_t j = SameFileBefore(layer, k); j >= 0) {
      // The same file at the same size: its planes again, not a second read.
      for (int32_t c = 0; c < 4; ++c) std::memcpy(p[c], tiles->planes[j][c], static_cast<size_t>(plane));
      tiles->unread[k] = tiles->unread[j];
    } else if (engine.LoadTileBuf(&layer.files[k], 0, 0, 1000, 1000, S, S, p[0], p[1], p[2],
                                  p[3]) != 0) {
      // The planes stay cleared; whether that matters is for the cells that draw the image.
      tiles->unread[k] = layer.files[k].name[0] != 0;
    }
  }
  tiles->made = true;
  return true;
}

// The drawing's part of the border's progress: the cells take nearly all of a render, the
// blend back of the planes the rest.
constexpr double kDrawingShare = 0.95;

// The cells a layer draws, as DrawLayer picks them.
int64_t CellCount(const BordLay& layer) {
  const BordInfo& I = layer.info;
  int64_t n = 0;
  for (int32_t i = 0; i < 4; ++i) n += I.cornerOn[i] == 1 && layer.tiles[i].enabled == 1;
  for (int32_t s = 0; s < 4; ++s) {
    if (I.sideOn[s] != 1) continue;
    for (int32_t k = 1; k <= CellsOf(I, s); ++k)
      n += layer.tiles[4 + kBordCellsPerSide * s + k - 1].enabled == 1;
  }
  return n;
}

// The tile image of a cell the layer draws whose named picture could not be read; -1 when
// every cell that draws has its picture. The cells are the ones CellCount counts, whatever
// their size, so that a preview and the whole picture answer alike.
int32_t UnreadImageDrawn(const BordLay& layer, const LayerTiles& tiles) {
  const BordInfo& I = layer.info;
  const auto unread = [&](const BordTile& T) {
    return T.enabled == 1 && T.image >= 0 && T.image < kTileImages && tiles.unread[T.image];
  };
  for (int32_t i = 0; i < 4; ++i)
    if (I.cornerOn[i] == 1 && unread(layer.tiles[i])) return layer.tiles[i].image;
  for (int32_t s = 0; s < 4; ++s) {
    if (I.sideOn[s] != 1) continue;
    for (int32_t k = 1; k <= CellsOf(I, s); ++k) {
      const BordTile& T = layer.tiles[4 + kBordCellsPerSide * s + k - 1];
      if (unread(T)) return T.image;
    }
  }
  return -1;
}

// The border's progress: its cells drawn of all its layers' cells.
struct CellsDrawn {
  int64_t done = 0, total = 0;
  void One() { plat::ReportProgress(++done, total); }
};

int32_t DrawLayer(const Render& r, const BordLay& layer, const LayerTiles& tiles, int32_t W,
                  int32_t H, CellsDrawn* drawn) {
  const BordInfo& I = layer.info;
  Corner c[4];
  for (int32_t i = 0; i < 4; ++i) c[i] = CornerOf(I, i, W, H);
  CellPlanes made;
  for (int32_t i = 0; i < 4; ++i) {
    const BordTile& T = layer.tiles[i];
    if (I.cornerOn[i] != 1 || T.enabled != 1) continue;
    if (DrawCell(r, tiles, &made, T, CornerPlace(c[i], i, W, H), 0, true) != 0) return -1;
    drawn->One();
  }
  for (int32_t s = 0; s < 4; ++s) {
    if (I.sideOn[s] != 1) continue;
    const int32_t n = CellsOf(I, s);
    for (int32_t k = 1; k <= n; ++k) {
      const BordTile& T = layer.tiles[4 + kBordCellsPerSide * s + k - 1];
      if (T.enabled != 1) continue;
      if (DrawCell(r, tiles, &made, T, SidePlace(I, c, s, k, n, W, H), SideAngle(I.kind, s), false) != 0)
        return -1;
      drawn->One();
    }
  }
  return 0;
}

}  // namespace

int32_t MiscBord::FillBuf(int16_t planeCount, int16_t blendMode, int16_t opacity, int16_t source,
                          int16_t apply, int32_t width, int32_t height, int32_t left, int32_t top,
                          int32_t right, int32_t bottom, int32_t, int32_t, int32_t photoLeft,
                          int32_t photoTop, int32_t photoRight, int32_t photoBottom, float scaleX,
                          float scaleY, uint8_t* plane0, uint8_t* plane1, uint8_t* plane2,
                          uint8_t* plane3, const uint8_t* mask) {
  unreadable_.clear();
  const bool three = planeCount != 1;
  if (!par_ || !vmkrec::PlanesGiven(width, height, three, plane0, plane1, plane2)) return -1;
  const vmkrec::EngineArea area = vmkrec::ClampArea(left, top, right, bottom, width, height, false);
  const int32_t W = area.right - area.left, H = area.bottom - area.top;
  // Every render draws the same jitter.
  plat::SeedRandom(0);
  const vmkrec::SourceRequest request =
      vmkrec::MakeSourceRequest(width, height, W, H, photoLeft, photoTop, photoRight, photoBottom,
                                scaleX, scaleY, plane0, plane1, plane2, plane3);
  vmkrec::PrepareEngineSource(source, three ? 3 : 1, 255, request);

  vmkpat::WorkPlanes work(planeCount, plane0, plane1, plane2, width, height);
  if (!work) return -1;
  // Without apply, and for a border without layers, the unchanged copies still go back
  // through the blend, as stored scripts expect.
  if (apply == 1) {
    const Render r{this, width, height, work.all()};
    const int32_t layers = BordLayerCount(par_.get()->head.layerCount);
    // The cells measure the drawing (the blend back takes the rest of the progress); the many
    // short loops inside one cell report nothing of their own.
    CellsDrawn drawn;
    for (int32_t L = 0; L < layers; ++L)
      if (par_.get()->layers[L].info.shown != 0) drawn.total += CellCount(par_.get()->layers[L]);
    const plat::ProgressStage drawing(0.0, kDrawingShare);
    const plat::QuietProgress quiet;
    for (int32_t L = 0; L < layers; ++L) {
      const BordLay& layer = par_.get()->layers[L];
      if (layer.info.shown == 0) continue;
      int32_t a = 0, b = 0;
      GetBiggestTile(static_cast<int16_t>(L), area.left, area.top, area.right, area.bottom, &a,
                     &b);
      const int32_t S = std::max(a, b);
      if (S <= 0) continue;
      LayerTiles tiles;
      if (!MakeTiles(*this, layer, S, &tiles)) return -1;
      if (const int32_t k = UnreadImageDrawn(layer, tiles); k >= 0) {
        unreadable_ = FicForUser(layer.files[k]);
        return -1;
      }
      if (DrawLayer(r, layer, tiles, W, H, &drawn) != 0) return -1;
    }
  }
  work.BlendBack(mask, area, blendMode, opacity);
  return 0;
}

void SetBorderCellReuse(bool on) { gReuseCells.store(on, std::memory_order_relaxed); }

int32_t RunBordRow(const EngineRowCall& c) {
  return RunEngineOnce<MiscBord>(
      [&](MiscBord& e) { e.SetBordPar(&c.Record<BordPar>()); },
      [&](MiscBord& e) {
        const int32_t r = e.FillBuf(c.n, c.mode, c.opacity, 0, 1, c.w, c.h, 0, 0, c.aw, c.ah, c.w,
                                    c.h, 0, 0, c.w, c.h, 1.0f, 1.0f, c.planes[0], c.planes[1],
                                    c.planes[2], nullptr, c.mask);
        c.TellUnreadable(e.UnreadableFile());
        return r;
      });
}
