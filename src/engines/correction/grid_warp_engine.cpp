#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "app/core/colour_spaces.h"
#include "app/core/memory_manager.h"
#include "app/core/sample_clamp.h"
#include "engines/correction/grid_warp.h"
#include "engines/records/engine_frame.h"
#include "operations/effect_support.h"
#include "platform/memory/block.h"
#include "platform/parallel/byte_passes.h"
#include "platform/parallel/cancel.h"
#include "platform/parallel/parallel.h"
#include "raster/displacement_resample.h"
#include "raster/quad_mapping.h"

void MiscGrid::SetGridPar(const GridPar* record) { Copy_GridPar(record, par_.get()); }

void MiscGrid::GetGridPar(GridPar* record) const { Copy_GridPar(par_.get(), record); }

namespace {

struct Pt {
  int32_t x = 0, y = 0;
};

// Where node units land in the source frame and in the destination view. Positions are
// rounded as trunc(v + 0.5), which below 0 rounds toward +infinity, as stored grids expect.
struct Placement {
  float frameW, frameH, frameH2, sx, sy, imageW, imageH, viewL, viewT;
  Pt Source(float x, float y) const {
    return {static_cast<int32_t>(frameW * x / 100000.0f + 0.5f),
            static_cast<int32_t>(frameH) - static_cast<int32_t>(frameH * y / 100000.0f + 0.5f) - 1};
  }
  Pt Destination(float x, float y) const {
    return {static_cast<int32_t>(sx * (x * imageW / 100000.0f - viewL) + 0.5f),
            static_cast<int32_t>(frameH2) - static_cast<int32_t>(sy * (y * imageH / 100000.0f - viewT) + 0.5f) -
                1};
  }
};

// The pairs of one grid, in the order the grid sends them; `direct` once the list has had no
// room, after which pairs are laid as they come.
struct PairList {
  std::vector<QuadPair> pairs;
  bool direct = false;
};

// Sends one quad pair to the planes or the maps: into the list, laid with the others once
// the grid is walked (in bands of rows on the shared threads), or at once.
struct QuadSink {
  int16_t mode;
  int32_t width, height;
  uint32_t** xMap;
  uint32_t** yMap;
  const uint8_t* src[3];
  uint8_t* dst[3];
  PairList* list;
  void operator()(const Pt* a, const Pt* b) const {
    if (!list->direct) {
      try {
        list->pairs.push_back({{a[0].x, a[0].y, a[1].x, a[1].y, a[2].x, a[2].y, a[3].x, a[3].y},
                               {b[0].x, b[0].y, b[1].x, b[1].y, b[2].x, b[2].y, b[3].x, b[3].y}});
        return;
      } catch (const std::bad_alloc&) {
        // The pairs listed so far are laid first, then this one and the rest one by one.
        Flush();
        list->direct = true;
      }
    }
    if (mode == 0)
      QuadBufRGBToQuadBufRGB(height, width, src[0], src[1], src[2], 0, nullptr, height, width, dst[0], dst[1],
                             dst[2], a[0].x, a[0].y, a[1].x, a[1].y, a[2].x, a[2].y, a[3].x, a[3].y, b[0].x,
                             b[0].y, b[1].x, b[1].y, b[2].x, b[2].y, b[3].x, b[3].y);
    else
      QuadToQuadDisRea(height, width, xMap, yMap, a[0].x, a[0].y, a[1].x, a[1].y, a[2].x, a[2].y, a[3].x,
                       a[3].y, b[0].x, b[0].y, b[1].x, b[1].y, b[2].x, b[2].y, b[3].x, b[3].y);
  }
  // Lays the listed pairs, in their order, and empties the list.
  void Flush() const {
    std::vector<QuadPair>& v = list->pairs;
    if (v.empty()) return;
    if (mode == 0)
      LayQuadPairsRGB(v.data(), static_cast<int64_t>(v.size()), height, width, src[0], src[1],
                      src[2], height, width, dst[0], dst[1], dst[2]);
    else
      LayQuadPairMaps(v.data(), static_cast<int64_t>(v.size()), height, width, xMap, yMap);
    v.clear();
  }
};

// Corners of cell (r, c) in the order top-left, top-right, bottom-right, bottom-left.
void CellNodes(int32_t r, int32_t c, int32_t cols, int32_t* k) {
  k[0] = r * (cols + 1) + c;
  k[1] = k[0] + 1;
  k[2] = k[1] + cols + 1;
  k[3] = k[0] + cols + 1;
}

void StraightGrid(const GridInfo& g, const Placement& at, const QuadSink& send) {
  const int32_t cols = g.w[kGiColumns], rows = g.w[kGiRows];
  const int64_t p = g.w[kGiMorph];
  const int32_t* ix = g.node[kGaX];
  const int32_t* iy = g.node[kGaY];
  const int32_t* ox = g.node[kGaOut + kGaX];
  const int32_t* oy = g.node[kGaOut + kGaY];
  for (int32_t r = 0; r < rows; ++r) {
    for (int32_t c = 0; c < cols; ++c) {
      int32_t k[4];
      CellNodes(r, c, cols, k);
      Pt a[4], b[4];
      for (int32_t i = 0; i < 4; ++i) {
        const int32_t n = k[i];
        a[i] = at.Source(static_cast<float>(ix[n]), static_cast<float>(iy[n]));
        const auto bx = static_cast<int32_t>((p * ox[n] + (100 - p) * ix[n]) / 100);
        const auto by = static_cast<int32_t>((p * oy[n] + (100 - p) * iy[n]) / 100);
        b[i] = at.Destination(static_cast<float>(bx), static_cast<float>(by));
      }
      send(a, b);
    }
  }
}

// Cells of one set, made, placed and bent. Null entries mark cells that could not be had.
using CellTable = std::vector<std::unique_ptr<SubGrid>>;

bool MakeCells(const GridInfo& g, int32_t base, CellTable* cells, std::vector<SubGrid*>* table) {
  const int32_t cols = g.w[kGiColumns], rows = g.w[kGiRows];
  const size_t n = static_cast<size_t>(cols + 1) * static_cast<size_t>(rows + 1);
  cells->resize(n);
  table->assign(n, nullptr);
  for (int32_t r = 0; r < rows; ++r) {
    for (int32_t c = 0; c < cols; ++c) {
      int32_t k[4];
      CellNodes(r, c, cols, k);
      auto cell = std::unique_ptr<SubGrid>(new (std::nothrow) SubGrid());
      if (!cell) return false;
      float xs[4], ys[4];
      for (int32_t i = 0; i < 4; ++i) {
        xs[i] = static_cast<float>(g.node[base + kGaX][k[i]]);
        ys[i] = static_cast<float>(g.node[base + kGaY][k[i]]);
      }
      cell->InitSubGrid(xs, ys);
      (*table)[k[0]] = cell.get();
      (*cells)[k[0]] = std::move(cell);
    }
  }
  return true;
}

// Each edge's quarter points are drawn toward its handles, by curvature / 3 percent.
void Bend(SubGrid* cell, float strength) {
  static constexpr int32_t kRow[8] = {0, 0, 2, 6, 8, 8, 6, 2};
  static constexpr int32_t kColumn[8] = {2, 6, 8, 8, 6, 2, 0, 0};
  for (int32_t k = 0; k < 8; ++k) {
    const int32_t j = kRow[k], i = kColumn[k];
    // A handle on a tangent all but square to its edge lies arbitrarily far out: held to
    // the int range rather than converted past it.
    const int32_t dx = TruncToInt32(strength * (cell->hdlX[k] - cell->ptX[j][i]) / 100.0f);
    const int32_t dy = TruncToInt32(strength * (cell->hdlY[k] - cell->ptY[j][i]) / 100.0f);
    PerspSubGrid(cell, i, j, dx, dy);
  }
}

int16_t CurvedGrid(const GridInfo& g, const Placement& at, const QuadSink& send) {
  const int32_t cols = g.w[kGiColumns], rows = g.w[kGiRows];
  const float p = static_cast<float>(g.w[kGiMorph]);
  const float strength = static_cast<float>(g.w[kGiCurvature]) / 3.0f;
  CellTable inCells, outCells;
  std::vector<SubGrid*> in, out;
  try {
    if (!MakeCells(g, 0, &inCells, &in) || !MakeCells(g, kGaOut, &outCells, &out)) return -1;
  } catch (const std::bad_alloc&) {
    return -1;
  }
  CalcTgt_SubGrid(g.node[kGaX], g.node[kGaY], in.data(), cols, rows);
  CalcTgt_SubGrid(g.node[kGaOut + kGaX], g.node[kGaOut + kGaY], out.data(), cols, rows);
  CalcDisp_SubGrid(g.node[kGaX], g.node[kGaY], in.data(), cols, rows);
  CalcDisp_SubGrid(g.node[kGaOut + kGaX], g.node[kGaOut + kGaY], out.data(), cols, rows);
  for (int32_t r = 0; r < rows; ++r) {
    for (int32_t c = 0; c < cols; ++c) {
      Bend(in[r * (cols + 1) + c], strength);
      Bend(out[r * (cols + 1) + c], strength);
    }
  }
  CorrAdj_SubGrid(in.data(), cols, rows);
  CorrAdj_SubGrid(out.data(), cols, rows);
  static constexpr int32_t kDi[4] = {0, 0, 1, 1}, kDj[4] = {0, 1, 1, 0};
  for (int32_t r = 0; r < rows; ++r) {
    for (int32_t c = 0; c < cols; ++c) {
      const SubGrid& a = *in[r * (cols + 1) + c];
      const SubGrid& b = *out[r * (cols + 1) + c];
      for (int32_t i = 0; i < 8; ++i) {
        for (int32_t j = 0; j < 8; ++j) {
          Pt sa[4], sb[4];
          for (int32_t q = 0; q < 4; ++q) {
            const int32_t y = i + kDi[q], x = j + kDj[q];
            sa[q] = at.Source(a.ptX[y][x], a.ptY[y][x]);
            sb[q] = at.Destination((p * b.ptX[y][x] + (100.0f - p) * a.ptX[y][x]) / 100.0f,
                                   (p * b.ptY[y][x] + (100.0f - p) * a.ptY[y][x]) / 100.0f);
          }
          send(sa, sb);
        }
      }
    }
  }
  return 0;
}

// Row pointers over one block of w x h neutral entries. The rows are 16 entries (a cache line)
// longer than the picture's: a lattice column writes one entry in each of many rows, and rows
// of a power-of-two size would all fall in one set of the cache (2048 entries are 8 KB). The
// pitch is no part of the result. Measured at one thread on 2048 x 1536: the lens
// correction's 40 x 40 cells were laid in 27 ms instead of 32; this engine's 10 x 10 grids
// showed no difference beyond the machine's noise.
struct DisplacementMap {
  plat::Block<uint32_t> values;
  plat::Block<uint32_t*> rows;
  bool Make(int32_t width, int32_t height) {
    const int64_t pitch = static_cast<int64_t>(width) + 16;
    const int64_t n = pitch * height;
    values = plat::Block<uint32_t>(n, WorkSource());
    rows = plat::Block<uint32_t*>(height, WorkSource());
    if (!values || !rows) return false;
    uint32_t* v = values.get();
    plat::ParallelFor(0, height, 16, [=](int32_t first, int32_t last) {
      std::fill(v + first * pitch, v + last * pitch, kDisplacementNeutral);
    });
    for (int32_t y = 0; y < height; ++y) rows[y] = values.get() + y * pitch;
    return true;
  }
};

}  // namespace

int16_t MiscGrid::ValidGrid(int16_t mode, uint32_t** xMap, uint32_t** yMap, const GridInfo* grid,
                            int32_t width, int32_t height, int32_t imageWidth, int32_t imageHeight,
                            int32_t viewLeft, int32_t viewTop, int32_t viewRight,
                            int32_t viewBottom, int32_t frameWidth, int32_t frameHeight,
                            const uint8_t* srcR, const uint8_t* srcG, const uint8_t* srcB,
                            int32_t, int32_t frameHeight2, uint8_t* dstR, uint8_t* dstG,
                            uint8_t* dstB) {
  if (grid == nullptr) return 0;
  const int32_t cols = grid->w[kGiColumns], rows = grid->w[kGiRows];
  if (cols < 1 || cols > kGridMaxCells || rows < 1 || rows > kGridMaxCells) return 0;
  // An empty view or frame has no scale.
  if (viewRight == viewLeft || viewBottom == viewTop || frameWidth <= 0 || frameHeight <= 0) return 0;
  if (mode == 0 ? (srcR == nullptr || srcG == nullptr || srcB == nullptr || dstR == nullptr ||
                   dstG == nullptr || dstB == nullptr)
                : (xMap == nullptr || yMap == nullptr))
    return 0;
  const Placement at{static_cast<float>(frameWidth),
                     static_cast<float>(frameHeight),
                     static_cast<float>(frameHeight2),
                     static_cast<float>(frameWidth) / static_cast<float>(viewRight - viewLeft),
                     static_cast<float>(frameHeight) / static_cast<float>(viewBottom - viewTop),
                     static_cast<float>(imageWidth),
                     static_cast<float>(imageHeight),
                     static_cast<float>(viewLeft),
                     static_cast<float>(viewTop)};
  PairList pairs;
  const QuadSink send{mode,  width, height, xMap, yMap, {srcR, srcG, srcB}, {dstR, dstG, dstB},
                      &pairs};
  const float curvature = static_cast<float>(grid->w[kGiCurvature]) / 3.0f;
  if (curvature <= 0.0f || cols < 2 || rows < 2) {
    StraightGrid(*grid, at, send);
    send.Flush();
    return 0;
  }
  const int16_t made = CurvedGrid(*grid, at, send);
  if (made == 0) send.Flush();
  return made;
}

int16_t MiscGrid::FillBuf(int16_t planes, int16_t blendMode, int16_t strength, int16_t source,
                          int16_t makeMaps, int16_t apply, int32_t width, int32_t height,
                          int32_t left, int32_t top, int32_t right, int32_t bottom,
                          int32_t imageWidth, int32_t imageHeight, int32_t viewLeft,
                          int32_t viewTop, int32_t viewRight, int32_t viewBottom, float scaleX,
                          float scaleY, uint8_t* red, uint8_t* green, uint8_t* blue, uint8_t* selection,
                          const uint8_t* mask) {
  const int16_t count = planes == 3 ? 3 : 1;
  if (!par_.valid() || width <= 0 || height <= 0 || red == nullptr) return -1;
  if (count == 3 && (green == nullptr || blue == nullptr)) return -1;
  // Only 0 copies quad by quad; every other value asks for the maps.
  if (makeMaps != 0) makeMaps = 1;
  const vmkrec::EngineArea area = vmkrec::ClampArea(left, top, right, bottom, width, height, false);
  const int32_t frameW = area.right - area.left, frameH = area.bottom - area.top;

  // With one plane only source 1 reads anything; sources 2 and 3 bring the picture
  // (render file or host image) into the planes, which the working copies then take, so
  // every grid reads what the source step read.
  vmkrec::SourceRequest request;
  request.width = width;
  request.height = height;
  request.areaWidth = frameW;
  request.areaHeight = frameH;
  request.photoRight = imageWidth;
  request.photoBottom = imageHeight;
  request.scaleX = frameW > 0 ? static_cast<float>(imageWidth) / static_cast<float>(frameW) : 1.0f;
  request.scaleY = frameH > 0 ? static_cast<float>(imageHeight) / static_cast<float>(frameH) : 1.0f;
  request.planes[0] = red;
  request.planes[1] = green;
  request.planes[2] = blue;
  request.planes[3] = selection;
  // Unwarped, the planes show the host picture itself: a zoomed preview's
  // window of it, at the caller's scales. (The warp reads the whole picture,
  // as it may pull from anywhere; read so without it, a view zoomed on a part
  // showed the whole picture squeezed into it.) A render's window is the
  // whole picture, and its planes are read as they always were.
  const bool window = viewLeft > 0 || viewTop > 0 || viewRight < imageWidth - 1 || viewBottom < imageHeight - 1;
  if (source == 3 && apply != 1 && window && scaleX > 0.0f && scaleY > 0.0f) {
    request.photoLeft = viewLeft;
    request.photoTop = viewTop;
    request.photoRight = viewRight;
    request.photoBottom = viewBottom;
    request.scaleX = scaleX;
    request.scaleY = scaleY;
  }
  vmkrec::PrepareEngineSource(source, count, 255, request);
  if (source == 3 && count == 3 && apply == 2) return 0;
  // A preview nobody waits for any more stops between its stages and its
  // bands of rows; what it leaves in the planes is dropped by its owner.
  if (plat::Cancelled()) return 0;

  const int64_t n = static_cast<int64_t>(width) * height;
  const int64_t padded = static_cast<int64_t>(width + 1) * (height + 1);
  // Nothing writes the planes before the blend, so the grids read them themselves rather
  // than copies of them. The warped copies start as the planes, except where the maps are
  // pulled through, which writes every one of their samples.
  const bool pulled = apply == 1 && makeMaps == 1;
  plat::Block<uint8_t> work(3 * padded, WorkSource());
  if (!work) return -1;
  uint8_t* plane[3] = {red, count == 3 ? green : red, count == 3 ? blue : red};
  const uint8_t* src[3];
  uint8_t* dst[3];
  for (int32_t c = 0; c < 3; ++c) {
    src[c] = plane[c];
    dst[c] = work.get() + c * padded;
    if (!pulled) plat::CopyBytes(dst[c], plane[c], n);
  }

  const GridPar& r = *par_;
  if (apply == 1) {
    DisplacementMap mx, my;
    if (makeMaps == 1 && (!mx.Make(width, height) || !my.Make(width, height))) return -1;
    const int32_t grids = std::clamp(r.head.w[kGpCount], 0, kGridSlots);
    for (int32_t i = 0; i < grids; ++i) {
      if (plat::Cancelled()) return 0;
      if (r.grids[i].w[kGiEnabled] != 1) continue;
      if (ValidGrid(makeMaps, mx.rows.get(), my.rows.get(), &r.grids[i], width, height, imageWidth,
                    imageHeight, viewLeft, viewTop, viewRight, viewBottom, frameW, frameH, src[0], src[1],
                    src[2], frameW, frameH, dst[0], dst[1], dst[2]) != 0)
        return -1;
    }
    if (plat::Cancelled()) return 0;
    if (makeMaps == 1)
      ComputeBufRGBInterDisAtXY(height, width, src[0], src[1], src[2], nullptr, dst[0], dst[1], dst[2],
                                nullptr, mx.rows.get(), my.rows.get());
  }

  // The blend weight: strength, by the mask, by the selection when the record asks for it
  // (no selection plane: full weight).
  const bool bySelection = r.head.w[kGpSelection] == 1 && selection != nullptr;
  // Every pixel of the blend reads and writes only its own samples: bands of rows.
  // Replacement of three planes at a strength of 0..255 mixes in 16-bit lanes from each
  // run's weights (X_optionRPart's mode 1 gives the warped sample itself).
  const bool lanes = blendMode == 0 && count == 3 && strength >= 0 && strength <= 255;
  if (plat::Cancelled()) return 0;
  plat::ParallelFor(area.top, area.bottom, 16, [&](int32_t first, int32_t last) {
    if (plat::Cancelled()) return;
    for (int32_t y = first; y < last && lanes; ++y) {
      for (int32_t x = area.left; x < area.right; x += effect_support::kRun) {
        const int32_t n = std::min(effect_support::kRun, area.right - x);
        const int64_t i = static_cast<int64_t>(y) * width + x;
        uint8_t weight[effect_support::kRun];
        for (int32_t k = 0; k < n; ++k) {
          int32_t a = strength;
          if (mask != nullptr) a = mask[i + k] * a / 255;
          if (bySelection) a = selection[i + k] * a / 255;
          weight[k] = static_cast<uint8_t>(a);
        }
        for (int32_t c = 0; c < 3; ++c)
          effect_support::MixRun(plane[c] + i, dst[c] + i, weight, 255, n);
      }
    }
    for (int32_t y = first; y < last && !lanes; ++y) {
      for (int32_t x = area.left; x < area.right; ++x) {
        const int64_t i = static_cast<int64_t>(y) * width + x;
        int32_t a = strength;
        if (mask != nullptr) a = mask[i] * a / 255;
        if (bySelection) a = selection[i] * a / 255;
        for (int32_t c = 0; c < count; ++c) {
          const uint8_t v = plane[c][i];
          const int32_t warped = count == 3 ? dst[c][i] : (dst[0][i] + dst[1][i] + dst[2][i]) / 3;
          unsigned char combined = v;  // a mode outside 0..11 keeps the value
          X_optionRPart(&combined, static_cast<uint32_t>(blendMode + 1), v, warped);
          plane[c][i] = static_cast<uint8_t>(((255 - a) * v + a * combined) / 255);
        }
      }
    }
  });
  return 0;
}
