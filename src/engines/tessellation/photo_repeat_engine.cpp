#include "engines/tessellation/photo_repeat_engine.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "app/core/colour_spaces.h"
#include "app/core/memory_manager.h"
#include "app/plane_readers.h"
#include "engines/records/engine_frame.h"
#include "engines/records/param_record.h"
#include "engines/records/session_defaults.h"
#include "engines/tessellation/tessellation_render.h"
#include "engines/tessellation/tessellation_rows.h"
#include "engines/tessellation/tile_files.h"
#include "platform/imageio/image_io.h"
#include "platform/memory/block.h"
#include "platform/parallel/parallel.h"
#include "raster/plane_copy.h"
#include "raster/tile_transform.h"
#include "script/engine_rows.h"

namespace {

// Grids hold 1 to 24 cells each way; a stored count outside that would index past the
// cells or divide by nothing.
int32_t GridCount(int32_t v) { return std::clamp(v, 1, kRepMaxSide); }

// A float quotient plus a half, truncated: the rounding every size of the grid takes. Held to
// the int range (NaN to 0): absurd shifts or counts of a record must not make it undefined.
int32_t Rounded(float v) {
  const double r = static_cast<double>(v) + 0.5;
  if (!(r == r)) return 0;
  return static_cast<int32_t>(std::clamp(r, -2147483648.0, 2147483647.0));
}

Rect MakeRect(int32_t top, int32_t left, int32_t bottom, int32_t right) {
  Rect r;
  r.top = static_cast<int16_t>(top);
  r.left = static_cast<int16_t>(left);
  r.bottom = static_cast<int16_t>(bottom);
  r.right = static_cast<int16_t>(right);
  return r;
}

// The eight cell colours (red, green, blue) of colour cells.
constexpr uint8_t kCellColours[8][3] = {{255, 255, 255}, {255, 128, 0}, {255, 255, 0},
                                        {0, 255, 255},   {0, 0, 255},   {255, 0, 0},
                                        {0, 255, 0},     {255, 0, 255}};

}  // namespace

int32_t PatBufSize(const fichier* file, int32_t* width, int32_t* height) {
  return TilePictureSize(file, width, height);
}

MiscCastel::MiscCastel() : par(static_cast<RepPar*>(vmkrec::NewScratch(sizeof(RepPar)))) {}

MiscCastel::~MiscCastel() {
  DelRepPat();
  vmkrec::DeleteScratch(par);
}

void MiscCastel::SetRepPar(const RepPar* record) {
  if (par != nullptr && record != nullptr) Copy_RepPar(record, par);
}

void MiscCastel::DelRepPat() {
  while (head != nullptr) {
    TRepPat* next = head->next;
    delete head;
    head = next;
  }
  pieceCount = 0;
}

void MiscCastel::PrepareRepPat(int32_t areaWidth, int32_t areaHeight) {
  // Pieces keep 16-bit rectangles: an area of no picture (negative, or past the largest a
  // session holds) adds none rather than overflow their edges.
  const auto fits = [](int32_t v) { return v >= 0 && v <= int32_t{plat::imageio::kMaxSessionSide}; };
  if (par == nullptr || !fits(areaWidth) || !fits(areaHeight)) return;
  const int32_t* g = par->grid.w;
  const int32_t columns = GridCount(g[kRepColumnCount]), rows = GridCount(g[kRepRowCount]);
  const float unitX = static_cast<float>(areaWidth) / static_cast<float>(columns);
  const float unitY = static_cast<float>(areaHeight) / static_cast<float>(rows);
  // The list may already hold pieces: this area's follow them, from the unfilled last one.
  TRepPat* cur = head;
  if (cur == nullptr) {
    cur = head = new (std::nothrow) TRepPat;
    if (cur == nullptr) return;
  }
  while (cur->next != nullptr) cur = cur->next;
  ++pieceCount;
  bool refused = false;
  auto link = [&](TRepPat* p) {
    TRepPat* n = new (std::nothrow) TRepPat;
    if (n == nullptr) {
      refused = true;
      return p;
    }
    p->next = n;
    ++pieceCount;
    return n;
  };
  const int64_t selected = int64_t{g[kRepSelColumn]} * rows + g[kRepSelRow];
  for (int32_t a = 0; a < columns && !refused; ++a)
    for (int32_t b = 0; b < rows && !refused; ++b) {
      const int32_t k = b + a * rows;
      const int32_t* w = par->cells[k].w;
      const int32_t rowShift = g[kRepRowShift + b], columnShift = g[kRepColumnShift + a];
      auto at = [](float unit, int64_t n, int32_t shift) {
        const float f = static_cast<float>(n);
        return static_cast<int16_t>(Rounded(unit * f + unit * static_cast<float>(shift) / 100.0f));
      };
      int32_t left = at(unitX, w[kCellColumn], rowShift);
      int32_t right = at(unitX, int64_t{w[kCellColumn]} + 1, rowShift);
      const int32_t top = at(unitY, w[kCellRow], columnShift);
      const int32_t bottom = at(unitY, int64_t{w[kCellRow]} + 1, columnShift);
      // Every piece of the cell carries its words and its place in the grid.
      auto fill = [&](TRepPat* p, Rect source, Rect destination) {
        p->column = static_cast<int16_t>(a);
        p->row = static_cast<int16_t>(b);
        p->selected = k == selected ? 1 : 0;
        p->on = static_cast<int16_t>(w[kCellOn]);
        p->orientation = static_cast<int16_t>(w[kCellOrientation]);
        p->maskMode = static_cast<int16_t>(w[kCellMaskMode]);
        p->cellBlendMode = static_cast<int16_t>(w[kCellBlendMode]);
        p->opacityPercent = static_cast<int16_t>(w[kCellOpacity]);
        p->scrollX = static_cast<int16_t>(w[kCellScrollX]);
        p->scrollY = static_cast<int16_t>(w[kCellScrollY]);
        p->skewX = static_cast<int16_t>(w[kCellSkewX]);
        p->skewY = static_cast<int16_t>(w[kCellSkewY]);
        p->source = source;
        p->destination = destination;
      };
      if (right <= areaWidth && bottom <= areaHeight) {
        fill(cur, MakeRect(0, 0, bottom - top, right - left), MakeRect(top, left, bottom, right));
        cur = link(cur);
        continue;
      }
      if (right > areaWidth) {
        // The part past the right edge re-enters at the left; the part inside stays.
        const auto shifted = static_cast<int32_t>(int64_t{cellWidth} * rowShift / 100);
        fill(cur, MakeRect(0, cellWidth - shifted, bottom - top, right - areaWidth),
             MakeRect(top, 0, bottom, right - areaWidth));
        TRepPat* inside = link(cur);
        fill(inside, MakeRect(0, 0, bottom - top, areaWidth - left),
             MakeRect(top, left, bottom, areaWidth));
        cur = link(inside);
        right = areaWidth;
      }
      if (bottom > areaHeight && !refused) {
        const auto shifted = static_cast<int32_t>(int64_t{cellHeight} * columnShift / 100);
        fill(cur, MakeRect(cellHeight - shifted, 0, bottom - areaHeight, right - left),
             MakeRect(0, left, bottom - areaHeight, right));
        TRepPat* inside = link(cur);
        fill(inside, MakeRect(0, 0, areaHeight - top, right - left),
             MakeRect(top, left, areaHeight, right));
        cur = link(inside);
      }
    }
  // Memory ran out half way: no half-built grid is drawn.
  if (refused) {
    DelRepPat();
    return;
  }
  --pieceCount;
}

int32_t MiscCastel::LoadTileBuf(int16_t source, const fichier* file, int16_t /*unused*/,
                                int32_t width, int32_t height, uint8_t* p0, uint8_t* p1,
                                uint8_t* p2, uint8_t* p3) {
  uint8_t* tile[4] = {p0, p1, p2, p3};
  if (width <= 0 || height <= 0 || std::find(tile, tile + 4, nullptr) != tile + 4) return -1;
  if (source == 0) {
    const int32_t pw = SessionPhotoWidth(), ph = SessionPhotoHeight();
    if (pw <= 0 || ph <= 0) return -1;
    // The whole photo: right and bottom just outside it, as the reader takes them.
    return ReadCharBuffromPho(3, 0, width, height, p0, p1, p2, p3, 0, nullptr, nullptr, 0, 0,
                              pw, ph, width, height,
                              static_cast<float>(pw) / static_cast<float>(width),
                              static_cast<float>(ph) / static_cast<float>(height), width, height);
  }
  if (source != 1) return -1;
  TilePicture picture;
  if (LoadTilePicture(file, &picture) != 0) return -1;
  for (int k = 0; k < 4; ++k)
    BufToBufChar_andR(1, picture.width, picture.height, picture.plane(k), width, height, tile[k],
                      0, 0, picture.width, picture.height, 0, 0, width, height);
  return 0;
}

void MiscCastel::PutColInBuf(int32_t stride, int32_t /*unused*/, uint8_t* plane, int32_t width,
                             int32_t height, int16_t channel, Rect area, int16_t colourMode,
                             int16_t colourIndex) {
  if (plane == nullptr || width <= 0 || height <= 0 || channel < 0 || channel > 2) return;
  uint8_t value = 255;
  if (colourMode == 1) {
    if (colourIndex < 0 || colourIndex > 7) return;
    value = kCellColours[colourIndex][channel];
  } else if (colourMode != 0) {
    return;
  }
  if (area.right <= area.left || area.bottom <= area.top) return;
  // Every place of the area clamped into the plane: the clamped span of its edges, walked
  // once, rather than the whole area (up to 65535 x 65535) with every place clamped.
  const int32_t x0 = std::clamp<int32_t>(area.left, 0, width - 1);
  const int32_t x1 = std::clamp<int32_t>(area.right - 1, 0, width - 1);
  const int32_t y0 = std::clamp<int32_t>(area.top, 0, height - 1);
  const int32_t y1 = std::clamp<int32_t>(area.bottom - 1, 0, height - 1);
  for (int32_t y = y0; y <= y1; ++y) {
    uint8_t* row = plane + int64_t{y} * stride;
    std::fill(row + x0, row + x1 + 1, value);
  }
}

namespace {

constexpr int32_t kMergeRun = 512;

// The weights of a merge: keep[m] of the plane's sample and blend[m] of the blended one, by
// the tile mask's sample m (one pair for every m when the mask plays no part).
struct MergeWeights {
  int32_t keep[256], blend[256];
  // Whether every pair sums to 255 in 0..255, so that a mix of two samples stays a byte.
  bool bytes = true;
  MergeWeights(int16_t opacity, int16_t maskMode) {
    for (int32_t m = 0; m < 256; ++m) {
      keep[m] = 255 - opacity;
      blend[m] = opacity;
      if (maskMode != 1) {
        const auto k = static_cast<int32_t>(m * opacity / 255.0 + 0.5);
        keep[m] = maskMode == 2 ? k : 255 - k;
        blend[m] = 255 - keep[m];
      }
      bytes = bytes && keep[m] >= 0 && keep[m] <= 255;
    }
  }
};

// One merged sample: the cell's mode reaches the kernel without the + 1 the final blend adds
// (the cell default 1 is the kernel's first mode), as stored patterns were made with. A mode
// with no case leaves the blended value at the destination's.
inline void MergeSample(uint8_t& d, uint8_t colour, uint8_t mask, const MergeWeights& w,
                        int16_t blendMode) {
  unsigned char b = d;
  X_optionRPart(&b, static_cast<uint32_t>(blendMode), d, colour);
  d = static_cast<uint8_t>(std::clamp((w.keep[mask] * d + w.blend[mask] * b) / 255, 0, 255));
}

// Rows [first, end) of the destination of MergeTileBuf, in order. Columns left of the plane
// all land on its first column and columns right of it on its last, each over the one before:
// those stay in order sample by sample. Between them a column lands on its own sample and reads
// the tile's column at a fixed offset (held to the tile at its edges): with the kernel's first
// mode and byte weights that run mixes in 16-bit lanes, (keep d + blend c) / 255 being at most
// 255, so the clamp never acts.
void MergeTileRows(int32_t tileWidth, int32_t tileHeight, const uint8_t* colour,
                   const uint8_t* mask, int32_t width, int32_t height, uint8_t* plane,
                   const MergeWeights& w, int16_t blendMode, bool maskWeighs, Rect source,
                   Rect destination, int32_t first, int32_t end) {
  const int32_t left = destination.left, right = destination.right;
  const int32_t offset = source.left - destination.left;
  const int32_t inLeft = std::clamp(left, 0, width), inRight = std::clamp(right, 0, width);
  // The inner columns whose tile column needs no holding.
  const int32_t runLeft = std::clamp(-offset, inLeft, std::max(inLeft, inRight));
  const int32_t runRight = std::clamp(tileWidth - offset, runLeft, std::max(runLeft, inRight));
  const bool lanes = blendMode == 1 && w.bytes;
  for (int32_t y = first; y < end; ++y) {
    const int32_t yc = std::clamp(y, 0, height - 1);
    const int32_t ty = std::clamp(source.top + yc - destination.top, 0, tileHeight - 1);
    const uint8_t* colourRow = colour + int64_t{ty} * tileWidth;
    const uint8_t* maskRow = mask + int64_t{ty} * tileWidth;
    uint8_t* row = plane + int64_t{yc} * width;
    const auto one = [&](int32_t x) {
      const int32_t xc = std::clamp(x, 0, width - 1);
      const int32_t tx = std::clamp(offset + xc, 0, tileWidth - 1);
      MergeSample(row[xc], colourRow[tx], maskRow[tx], w, blendMode);
    };
    for (int32_t x = left; x < std::min(right, runLeft); ++x) one(x);
    if (lanes) {
      uint8_t* p = row + runLeft;
      const uint8_t* c = colourRow + offset + runLeft;
      const uint8_t* m = maskRow + offset + runLeft;
      const int32_t n = runRight - runLeft;
      if (!maskWeighs) {
        const auto keep = static_cast<uint16_t>(w.keep[0]), blend = static_cast<uint16_t>(w.blend[0]);
        for (int32_t i = 0; i < n; ++i)
          p[i] = static_cast<uint8_t>(static_cast<uint16_t>(keep * p[i] + blend * c[i]) / 255);
      } else {
        uint8_t weight[kMergeRun];
        for (int32_t at = 0; at < n; at += kMergeRun) {
          const int32_t k = std::min(n - at, kMergeRun);
          for (int32_t i = 0; i < k; ++i) weight[i] = static_cast<uint8_t>(w.blend[m[at + i]]);
          uint8_t* q = p + at;
          const uint8_t* v = c + at;
          for (int32_t i = 0; i < k; ++i) {
            const auto b = static_cast<uint16_t>(weight[i]);
            q[i] = static_cast<uint8_t>(static_cast<uint16_t>((255 - b) * q[i] + b * v[i]) / 255);
          }
        }
      }
    } else {
      for (int32_t x = runLeft; x < runRight; ++x) one(x);
    }
    for (int32_t x = std::max(left, runRight); x < right; ++x) one(x);
  }
}

}  // namespace

void MiscCastel::MergeTileBuf(int32_t tileWidth, int32_t tileHeight, const uint8_t* colour,
                              const uint8_t* mask, int32_t width, int32_t height, uint8_t* plane,
                              int16_t opacity, int16_t blendMode, int16_t maskMode, Rect source,
                              Rect destination) {
  if (colour == nullptr || mask == nullptr || plane == nullptr || width <= 0 || height <= 0 ||
      tileWidth <= 0 || tileHeight <= 0)
    return;
  // A mask mode outside 1..3 has no weights of its own: the opacity alone decides.
  if (maskMode < 1 || maskMode > 3) maskMode = 1;
  const MergeWeights weights(opacity, maskMode);
  const auto rows = [&, maskWeighs = maskMode != 1](int32_t first, int32_t end) {
    MergeTileRows(tileWidth, tileHeight, colour, mask, width, height, plane, weights, blendMode,
                  maskWeighs, source, destination, first, end);
  };
  const int32_t top = destination.top, bottom = destination.bottom;
  if (height < 3) {
    rows(top, bottom);
    return;
  }
  // Rows at or above the plane's first all land on it, and rows at or below its last on the
  // last, each blending over what the one before left: those two groups stay one walk each, in
  // order. Every row between lands on a row of its own, so those go in bands.
  rows(top, std::min(bottom, 1));
  plat::ParallelFor(std::max(top, 1), std::min(bottom, height - 1), 16, rows);
  rows(std::max(top, height - 1), bottom);
}

namespace {

// What a cell's tile looks like once turned, skewed, scrolled and resized: every piece of
// every cell with the same of these gets the same sized tile.
struct TileLook {
  int16_t orientation, scrollX, scrollY, skewX, skewY;
  bool operator==(const TileLook&) const = default;
};

// The cell size a tile is resized to: the cell, or with `direct` 1 the cell parted by the
// repeat counts (below 1 counted as 1).
void SizedCell(int16_t direct, int16_t repeatX, int16_t repeatY, int32_t cellW, int32_t cellH,
               int32_t* cw, int32_t* ch) {
  *cw = cellW;
  *ch = cellH;
  if (direct == 1) {
    *cw = Rounded(static_cast<float>(cellW) / static_cast<float>(std::max<int32_t>(repeatX, 1)));
    *ch = Rounded(static_cast<float>(cellH) / static_cast<float>(std::max<int32_t>(repeatY, 1)));
  }
}

// The tile's mask and colour turned, skewed, scrolled and resized to cw x ch: mask first,
// then colour, in `sized` (2 x cw x ch). False when work memory is missing.
bool SizeTile(int32_t tileW, int32_t tileH, const uint8_t* tileMask, const uint8_t* tileColour,
              int32_t cw, int32_t ch, const TileLook& look, uint8_t* sized) {
  plat::Block<uint8_t> scratch(int64_t{tileW} * tileH, WorkSource());
  if (!scratch) return false;
  const uint8_t* from[2] = {tileMask, tileColour};
  uint8_t* to[2] = {sized, sized + int64_t{cw} * ch};
  for (int p = 0; p < 2; ++p) {
    scratch.Clear();
    RotaPatCharBuf(look.orientation, from[p], scratch.get(), tileW, tileH);
    if (look.skewX != 0)
      OffsetCharBuf(2, scratch.get(), tileH, tileW, 0, 0, tileW - 1, tileH - 1, look.skewX,
                    look.skewY);
    if (look.skewY != 0)
      OffsetCharBuf(1, scratch.get(), tileH, tileW, 0, 0, tileW - 1, tileH - 1, look.skewX,
                    look.skewY);
    if (look.scrollX != 0 || look.scrollY != 0)
      OffsetCharBuf(0, scratch.get(), tileH, tileW, 0, 0, tileW - 1, tileH - 1, look.scrollX,
                    look.scrollY);
    BufToBufChar_andR(1, tileW, tileH, scratch.get(), cw, ch, to[p], 0, 0, tileW, tileH, 0, 0, cw,
                      ch);
  }
  return true;
}

// A sized tile merged into the work plane: once, or with `direct` 1 once in each of the
// repeatX x repeatY parts of the area.
void MergeSizedTile(int16_t direct, int16_t repeatX, int16_t repeatY, int32_t cw, int32_t ch,
                    const uint8_t* sized, int32_t areaWidth, int32_t areaHeight,
                    int32_t workWidth, int32_t workHeight, uint8_t* work, int16_t opacity,
                    int16_t cellBlendMode, int16_t maskMode, Rect source, Rect destination) {
  const uint8_t* sizedMask = sized;
  const uint8_t* sizedColour = sized + int64_t{cw} * ch;
  if (direct != 1) {
    MiscCastel::MergeTileBuf(cw, ch, sizedColour, sizedMask, workWidth, workHeight, work, opacity,
                             cellBlendMode, maskMode, source, destination);
    return;
  }
  const int32_t rx = std::max<int32_t>(repeatX, 1), ry = std::max<int32_t>(repeatY, 1);
  const int32_t h = Rounded(static_cast<float>(destination.bottom - destination.top) / ry);
  const int32_t w = Rounded(static_cast<float>(destination.right - destination.left) / rx);
  for (int32_t j = 1; j <= ry; ++j)
    for (int32_t i = 1; i <= rx; ++i) {
      const int32_t top = Rounded(static_cast<float>(areaHeight) / ry * (j - 1) +
                                  static_cast<float>(destination.top) / ry);
      const int32_t left = Rounded(static_cast<float>(areaWidth) / rx * (i - 1) +
                                   static_cast<float>(destination.left) / rx);
      MiscCastel::MergeTileBuf(cw, ch, sizedColour, sizedMask, workWidth, workHeight, work,
                               opacity, cellBlendMode, maskMode, source,
                               MakeRect(top, left, top + h, left + w));
    }
}

// The sized tiles of one render and one colour plane, by their look: a grid of hundreds of
// cells mostly repeats a handful of looks, and resizing the tile anew for each piece was most
// of a render's time.
class SizedTiles {
 public:
  SizedTiles(int32_t tileW, int32_t tileH, const uint8_t* mask, const uint8_t* colour, int32_t cw,
             int32_t ch)
      : tileW_(tileW), tileH_(tileH), mask_(mask), colour_(colour), cw_(cw), ch_(ch) {}
  // The sized tile of that look, made on first use; null when memory is missing.
  const uint8_t* Get(const TileLook& look) {
    for (const Entry& e : made_)
      if (e.look == look) return e.sized.get();
    plat::Block<uint8_t> sized(2 * int64_t{cw_} * ch_, WorkSource());
    if (!sized || !SizeTile(tileW_, tileH_, mask_, colour_, cw_, ch_, look, sized.get()))
      return nullptr;
    made_.push_back({look, std::move(sized)});
    return made_.back().sized.get();
  }

 private:
  struct Entry {
    TileLook look;
    plat::Block<uint8_t> sized;
  };
  int32_t tileW_, tileH_;
  const uint8_t* mask_;
  const uint8_t* colour_;
  int32_t cw_, ch_;
  std::vector<Entry> made_;
};

}  // namespace

void MiscCastel::PasteTileBuf(int16_t direct, int16_t repeatX, int16_t repeatY,
                              int32_t tileW, int32_t tileH, const uint8_t* tileMask,
                              const uint8_t* tileColour, int32_t cellW, int32_t cellH,
                              int32_t areaWidth, int32_t areaHeight, int32_t workWidth,
                              int32_t workHeight, uint8_t* work, uint8_t* /*unused*/,
                              int16_t orientation, int16_t scrollX, int16_t scrollY,
                              int16_t skewX, int16_t skewY, int16_t opacity,
                              int16_t cellBlendMode, int16_t maskMode, Rect source,
                              Rect destination) {
  if (tileMask == nullptr || tileColour == nullptr || work == nullptr || tileW <= 0 || tileH <= 0)
    return;
  int32_t cw = 0, ch = 0;
  SizedCell(direct, repeatX, repeatY, cellW, cellH, &cw, &ch);
  if (cw <= 0 || ch <= 0) return;
  plat::Block<uint8_t> sized(2 * int64_t{cw} * ch, WorkSource());
  if (!sized || !SizeTile(tileW, tileH, tileMask, tileColour, cw, ch,
                          {orientation, scrollX, scrollY, skewX, skewY}, sized.get()))
    return;
  MergeSizedTile(direct, repeatX, repeatY, cw, ch, sized.get(), areaWidth, areaHeight, workWidth,
                 workHeight, work, opacity, cellBlendMode, maskMode, source, destination);
}

int32_t MiscCastel::FillBuf(int16_t planeCount, int16_t blendMode, int16_t opacity,
                            int16_t source, int16_t apply, int16_t tileOpacity, int16_t direct,
                            int16_t repeatX, int16_t repeatY, int16_t /*unused*/, int32_t width,
                            int32_t height, int32_t left, int32_t top, int32_t right,
                            int32_t bottom, int32_t /*fullWidth*/, int32_t /*fullHeight*/,
                            int32_t photoLeft, int32_t photoTop, int32_t photoRight,
                            int32_t photoBottom, float scaleX, float scaleY, uint8_t* plane0,
                            uint8_t* plane1, uint8_t* plane2, uint8_t* plane3,
                            const uint8_t* mask) {
  unreadable_.clear();
  const vmkrec::EngineArea area = vmkrec::ClampArea(left, top, right, bottom, width, height, false);
  uint8_t* const planes[4] = {plane0, plane1, plane2, plane3};
  tessrender::Job job;
  if (par == nullptr || !tessrender::StartJob(planeCount, width, height, area, planes, &job))
    return -1;
  const int16_t n = job.planeCount;
  const int32_t aw = job.W, ah = job.H;
  vmkrec::PrepareEngineSource(
      source, n, 255,
      vmkrec::MakeSourceRequest(width, height, aw, ah, photoLeft, photoTop, photoRight,
                                photoBottom, scaleX, scaleY, plane0, plane1, plane2, plane3));
  const int32_t workSide = std::max(width, height);
  const int32_t* g = par->grid.w;
  const int32_t tileSource = g[kRepTileSource];
  // Only a tile taken from the file needs the file; the picture is its own tile otherwise,
  // and a tile file gone missing must not stop a render that never reads it.
  if (tileSource == 1 && PatBufSize(&par->tiles[0], &tileWidth, &tileHeight) == -1) {
    unreadable_ = FicForUser(par->tiles[0]);
    return -1;
  }
  cellWidth = Rounded(static_cast<float>(aw) / static_cast<float>(GridCount(g[kRepColumnCount]))) + 1;
  cellHeight = Rounded(static_cast<float>(ah) / static_cast<float>(GridCount(g[kRepRowCount]))) + 1;
  tileSideX = tileSideY = std::max(cellWidth, cellHeight);
  const int32_t side = tileSideX;

  // With one plane, plane0 stands for the colour planes the caller did not give.
  uint8_t* picture[3] = {plane0, n == 3 ? plane1 : plane0, n == 3 ? plane2 : plane0};
  const int64_t tileSize = int64_t{side} * side;
  plat::Block<uint8_t> tileBlock(4 * tileSize, WorkSource());
  if (!tileBlock) return -1;
  tileBlock.Clear();
  uint8_t* tile[4];
  for (int k = 0; k < 4; ++k) tile[k] = tileBlock.get() + k * tileSize;
  if (tileSource == 0) {
    for (int k = 0; k < 3; ++k)
      BufToBufChar_andR(1, width, height, picture[k], side, side, tile[k], 0, 0, aw, ah, 0, 0,
                        side, side);
    // Without a fourth plane the picture is its own opaque mask.
    if (plane3 == nullptr)
      std::memset(tile[3], 255, static_cast<size_t>(tileSize));
    else
      BufToBufChar_andR(1, width, height, plane3, side, side, tile[3], 0, 0, aw, ah, 0, 0, side,
                        side);
  } else if (tileSource == 1 &&
             LoadTileBuf(1, &par->tiles[0], 0, side, side, tile[0], tile[1], tile[2], tile[3]) != 0) {
    unreadable_ = FicForUser(par->tiles[0]);  // measured but not readable: as a missing picture
    return -1;
  }

  const plat::Block<uint8_t> copies = tessrender::TakeCopies(job, job.copies);
  if (!copies) return -1;
  if (apply == 1) {
    plat::Block<uint8_t> work(int64_t{workSide} * workSide, WorkSource());
    if (!work) return -1;
    DelRepPat();
    PrepareRepPat(aw, ah);
    const int32_t nx = direct != 1 ? std::max<int32_t>(repeatX, 1) : 1;
    const int32_t ny = direct != 1 ? std::max<int32_t>(repeatY, 1) : 1;
    // Every piece is pasted as PasteTileBuf pastes it, each look of the tile sized once.
    int32_t cw = 0, ch = 0;
    SizedCell(direct, repeatX, repeatY, cellWidth, cellHeight, &cw, &ch);
    for (int16_t c = 0; c < 3; ++c) {
      BufToBufChar_andR(1, width, height, picture[c], workSide, workSide, work.get(), 0, 0, width,
                        height, 0, 0, width, height);
      SizedTiles sized(side, side, tile[3], tile[c], cw, ch);
      const TRepPat* p = head;
      for (int32_t k = 0; k < pieceCount && p != nullptr; ++k, p = p->next) {
        if (g[kRepColourCells] == 1)
          PutColInBuf(workSide, workSide, work.get(), width, height, c, p->destination, 1,
                      p->orientation);
        if (p->on != 1 || cw <= 0 || ch <= 0) continue;
        const uint8_t* look = sized.Get({p->orientation, p->scrollX, p->scrollY, p->skewX, p->skewY});
        if (look != nullptr)
          MergeSizedTile(direct, repeatX, repeatY, cw, ch, look, aw, ah, workSide, workSide,
                         work.get(), static_cast<int16_t>(p->opacityPercent * tileOpacity / 100),
                         p->cellBlendMode, p->maskMode, p->source, p->destination);
      }
      BufToBufChar_andStepR(nx, ny, workSide, workSide, work.get(), width, height, job.copies[c],
                            0, 0, aw, ah, 0, 0, aw, ah);
    }
    DelRepPat();
  }
  tessrender::BlendBack(job, area, mask, blendMode, opacity);
  return 0;
}

int32_t RunCastelRow(const EngineRowCall& c) {
  return RunEngineOnce<MiscCastel>(
      [&](MiscCastel& e) { e.SetRepPar(&c.Record<RepPar>()); },
      [&](MiscCastel& e) {
        const int32_t r = e.FillBuf(c.n, c.mode, c.opacity, 0, 1, c.p1, 1, c.p2, c.p3, 0, c.w, c.h,
                                    0, 0, c.aw, c.ah, c.w, c.h, 0, 0, c.w, c.h, 1.0f, 1.0f,
                                    c.planes[0], c.planes[1], c.planes[2], c.plane6, c.mask);
        c.TellUnreadable(e.UnreadableFile());
        return r;
      });
}
