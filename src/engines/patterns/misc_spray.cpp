#include "engines/patterns/misc_spray.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "app/core/colour_spaces.h"
#include "app/core/memory_manager.h"
#include "app/core/percent.h"
#include "app/core/plane_geometry.h"
#include "app/core/session_state.h"
#include "engines/patterns/draw_par_keeper.h"
#include "paths/path.h"
#include "paths/path_list.h"
#include "platform/random/random.h"
#include "raster/distortion_warp.h"

namespace {

constexpr int32_t kOutsideMask = 8160;  // level 255: outside the cell

// The toolbox's Random: a signed 16-bit value.
int16_t ToolboxRandom() { return static_cast<int16_t>(plat::Random()); }

// |Random mod (size - 1)|; an area of one pixel or none has only coordinate 0 (the number
// is drawn all the same, so the sequence does not depend on the area).
int32_t RandomCoordinate(int32_t size) {
  const int32_t r = ToolboxRandom();
  return size - 1 > 0 ? std::abs(r % (size - 1)) : 0;
}

int32_t Level(const uint16_t* mask, int64_t i) { return std::min<int32_t>(mask[i] / 32, 255); }

// The averages of the cell's three planes over the whole cell, third plane first.
void CellAverages(int32_t w, int32_t h, const uint8_t* const cell[3], const uint16_t* mask,
                  int16_t out[3]) {
  for (int32_t k = 0; k < 3; ++k) {
    int32_t average = 0;
    AvrgCol_inRect(w, h, cell[2 - k], mask, 0, 0, w, h, &average);
    out[k] = static_cast<int16_t>(average);
  }
}

}  // namespace

int32_t AvrgCol_inRect(int32_t width, int32_t height, const uint8_t* plane, const uint16_t* mask,
                       int32_t left, int32_t top, int32_t right, int32_t bottom,
                       int32_t* average) {
  // Held to the plane: staggered grid cells reach past its right and bottom edges.
  const int32_t x0 = std::max(left, 0), x1 = std::min(right, width);
  const int32_t y0 = std::max(top, 0), y1 = std::min(bottom, height);
  int64_t sum = 0, n = 0;
  int32_t y = y0;
  for (; y < y1; ++y) {
    for (int32_t x = x0; x < x1; ++x) {
      const int64_t i = int64_t{y} * width + x;
      if (mask != nullptr && Level(mask, i) >= 255) continue;
      sum += plane[i];
      ++n;
    }
  }
  if (n > 0 && average != nullptr) *average = static_cast<int32_t>(sum / n);
  return y;
}

MiscSpray::MiscSpray() {
  for (int32_t i = 0; i < 256; ++i) maskTable[i] = static_cast<int16_t>(i);
}

MiscSpray::~MiscSpray() {
  CMemMan* memMan = SessionMemMan();
  auto give = [&](void* p) {
    if (p != nullptr && memMan != nullptr) memMan->DelBuf(p);
  };
  for (int32_t n = 0; n < 256; ++n) {
    for (auto& table : cellPlanes) give(table[n]), table[n] = nullptr;
    give(cellMasks[n]);
    cellMasks[n] = nullptr;
  }
  DelSprayPat();
}

void MiscSpray::SetBuf(int32_t width, int32_t height, int32_t aw, int32_t ah, uint8_t* planeA,
                       uint8_t* planeB, uint8_t* planeC) {
  planeWidth = width;
  planeHeight = height;
  areaWidth = aw;
  areaHeight = ah;
  planes[0] = planeA;
  planes[1] = planeB;
  planes[2] = planeC;
}

void MiscSpray::SetSprayInfo(int32_t a, int32_t b, int32_t c, int32_t d, int32_t e, int32_t f,
                             int32_t g, int32_t first, int32_t last, int32_t mode) {
  sprayInfo[0] = c;
  sprayInfo[1] = d;
  sprayInfo[2] = a;
  sprayInfo[3] = b;
  sprayInfo[5] = e;
  sprayInfo[6] = f;
  sprayInfo[7] = g;
  firstCell = static_cast<int16_t>(first + 1);
  currentCell = static_cast<int16_t>(first + 1);
  lastCell = static_cast<int16_t>(last + 1);
  blendMode = static_cast<int16_t>(mode);
}

float MiscSpray::ScrXToAOI(int16_t x) const { return x * viewScaleX + viewOriginX; }
float MiscSpray::ScrYToAOI(int16_t y) const { return y * viewScaleY + viewOriginY; }
int16_t MiscSpray::AOIXToScr(float x) const {
  return static_cast<int16_t>((x - viewOriginX) / viewScaleX + 0.5f);
}
int16_t MiscSpray::AOIYToScr(float y) const {
  return static_cast<int16_t>((y - viewOriginY) / viewScaleY + 0.5f);
}

void MiscSpray::LoadCells(const fichier* /*file*/) {}

void MiscSpray::CalcMask(int16_t softness) {
  const auto t = static_cast<int32_t>(PercentTo255(softness));
  for (int32_t i = 0; i < 256; ++i) {
    if (t == 0)
      maskTable[i] = 0;
    else
      maskTable[i] = static_cast<int16_t>(i < t ? i * 255 / t : 255);
  }
}

int32_t MiscSpray::RotaCell(int16_t turn, float angle, const uint8_t* cellA,
                            const uint8_t* cellB, const uint8_t* cellC, const uint16_t* cellMask,
                            int32_t width, int32_t height, int32_t* newWidth,
                            int32_t* newHeight) {
  for (auto& p : rotated_) p = plat::Block<uint8_t>();
  rotatedMask_ = plat::Block<uint16_t>();
  if (turn == 0) return 0;
  if (cellA == nullptr || cellB == nullptr || cellC == nullptr || cellMask == nullptr ||
      width <= 0 || height <= 0)
    return -1;
  const float cx = width / 2.0f, cy = height / 2.0f;
  const float px[4] = {0.0f, static_cast<float>(width), static_cast<float>(width), 0.0f};
  const float py[4] = {0.0f, 0.0f, static_cast<float>(height), static_cast<float>(height)};
  int32_t x[4], y[4];
  for (int32_t k = 0; k < 4; ++k) {
    float rx = 0, ry = 0;
    A_point_fromAng(cx, cy, px[k], py[k], &rx, &ry, angle);
    x[k] = static_cast<int32_t>(std::floor(rx + 0.5f));
    y[k] = static_cast<int32_t>(std::floor(ry + 0.5f));
  }
  int32_t minX = 0, minY = 0, maxX = 0, maxY = 0;
  inf_sup(x[0], y[0], x[1], y[1], x[2], y[2], x[3], y[3], &minX, &minY, &maxX, &maxY);
  const int32_t w = std::max(maxX - minX, 1), h = std::max(maxY - minY, 1);
  for (auto& p : rotated_) p = plat::Block<uint8_t>(int64_t{w} * h);
  rotatedMask_ = plat::Block<uint16_t>(int64_t{w} * h);
  if (!rotated_[0] || !rotated_[1] || !rotated_[2] || !rotatedMask_) {
    RotaCell(0, 0.0f, nullptr, nullptr, nullptr, nullptr, 0, 0, nullptr, nullptr);
    return -1;
  }
  rotatedMask_.Clear();
  std::fill(rotatedMask_.get(), rotatedMask_.get() + int64_t{w} * h,
            static_cast<uint16_t>(kOutsideMask));
  for (auto& p : rotated_) p.Clear();
  const uint8_t* cell[3] = {cellA, cellB, cellC};
  for (int32_t k = 0; k < 4; ++k) x[k] -= minX, y[k] -= minY;
  for (int32_t k = 0; k < 3; ++k)
    X_distort_bufcol(2, height, width, cell[k], h, w, rotated_[k].get(), x[0], y[0], x[1], y[1],
                     x[2], y[2], x[3], y[3], 0, 0, w, h, 0, 100);
  X_distort_bufcol(1, height, width, cellMask, h, w, rotatedMask_.get(), x[0], y[0], x[1], y[1],
                   x[2], y[2], x[3], y[3], 0, 0, w, h, 0, 100);
  if (newWidth != nullptr) *newWidth = w;
  if (newHeight != nullptr) *newHeight = h;
  return 0;
}

void MiscSpray::EmptyDrawnBox() {
  int16_t* box = drawnBox();
  box[0] = box[1] = SHRT_MAX;
  box[2] = box[3] = SHRT_MIN;
}

void MiscSpray::CellToBuf(int32_t cw, int32_t ch, const uint8_t* cellA, const uint8_t* cellB,
                          const uint8_t* cellC, const uint16_t* cellMask, int32_t x, int32_t y,
                          int16_t mode, int16_t opacity, const int16_t* table, int16_t /*spare*/,
                          int16_t maskMode, int16_t areaMode, const uint8_t* areaMask,
                          TColMisc* colour) {
  if (cellA == nullptr || cellB == nullptr || cellC == nullptr || cellMask == nullptr) return;
  if (planes[0] == nullptr || planes[1] == nullptr || planes[2] == nullptr || cw <= 0 || ch <= 0)
    return;
  const bool wrap = maskMode == 0;
  int16_t* box = drawnBox();
  auto widen = [&](int32_t v, int32_t lo, int32_t hi) {
    return static_cast<int16_t>(wrap ? std::clamp(v, lo, hi) : v);
  };
  box[0] = std::min<int16_t>(box[0], widen(x, 0, areaWidth));
  box[1] = std::min<int16_t>(box[1], widen(y, 0, areaHeight));
  box[2] = std::max<int16_t>(box[2], widen(x + cw, 0, areaWidth));
  box[3] = std::max<int16_t>(box[3], widen(y + ch, 0, areaHeight));
  const uint8_t* const cell[3] = {cellA, cellB, cellC};
  // Without a colour record the modes that read one take the cell's own colours.
  TColMisc own;
  if (colour == nullptr) {
    CellAverages(cw, ch, cell, cellMask, own.first);
    std::copy(own.first, own.first + 3, own.second);
    colour = &own;
  } else if (mode == 10) {
    CellAverages(cw, ch, cell, cellMask, colour->second);
  }
  const int32_t base = opacity * 4096 / 255;
  const int32_t aw = std::min(areaWidth, planeWidth), ah = std::min(areaHeight, planeHeight);
  if (aw <= 0 || ah <= 0) return;
  for (int32_t j = 0; j < ch; ++j) {
    int32_t py = y + j;
    if (wrap) py = ((py % ah) + ah) % ah;
    if (py < 0 || py >= ah) continue;
    for (int32_t i = 0; i < cw; ++i) {
      int32_t px = x + i;
      if (wrap) px = ((px % aw) + aw) % aw;
      if (px < 0 || px >= aw) continue;
      const int64_t d = int64_t{py} * planeWidth + px, s = int64_t{j} * cw + i;
      int32_t area = 255;
      if (areaMask != nullptr && areaMode == 2) area = areaMask[d];
      if (areaMask != nullptr && areaMode == 3) area = 255 - areaMask[d];
      int32_t weight = 255;
      if (maskMode == 2) weight = 255 - table[Level(cellMask, s)];
      if (maskMode == 3) weight = table[Level(cellMask, s)];
      const int32_t a = base * area / 255 * weight / 255;
      uint8_t* dst[3] = {planes[2] + d, planes[1] + d, planes[0] + d};
      const uint8_t src[3] = {cell[2][s], cell[1][s], cell[0][s]};
      uint8_t combined[3] = {src[0], src[1], src[2]};
      if (mode != 11)
        X_optionRGBPart(&combined[0], &combined[1], &combined[2], static_cast<uint32_t>(mode),
                        colour->first, *dst[0], *dst[1], *dst[2], src[0], src[1], src[2]);
      for (int32_t k = 0; k < 3; ++k) {
        const int32_t from = mode == 11 ? colour->first[k] : *dst[k];
        const int32_t to = mode == 11 ? src[k] : combined[k];
        *dst[k] = static_cast<uint8_t>(std::clamp(((4096 - a) * from + a * to) / 4096, 0, 255));
      }
    }
  }
}

void MiscSpray::PrepareSprayPat(int32_t width, int32_t height, int16_t cellSize, int16_t shift) {
  DelSprayPat();
  patternHead = new TSprayPat;
  patternCount = 0;
  if (cellSize <= 0) return;
  const auto columns = static_cast<int32_t>(static_cast<float>(width) / cellSize + 0.5f);
  const auto rows = static_cast<int32_t>(static_cast<float>(height) / cellSize + 0.5f);
  TSprayPat* node = patternHead;
  for (int32_t r = 0; r < rows; ++r) {
    for (int32_t c = 0; c < columns; ++c) {
      node->column = static_cast<int16_t>(c);
      node->row = static_cast<int16_t>(r);
      int32_t left = c * cellSize, top = r * cellSize;
      if (shift >= 0)
        left += ((r * cellSize * shift) / 100) % cellSize;
      else
        top += ((-(shift * cellSize * c)) / 100) % cellSize;
      node->left = static_cast<int16_t>(left);
      node->top = static_cast<int16_t>(top);
      node->right = static_cast<int16_t>(left + cellSize);
      node->bottom = static_cast<int16_t>(top + cellSize);
      node->next = new TSprayPat;
      node = node->next;
      ++patternCount;
    }
  }
}

void MiscSpray::DelSprayPat() {
  while (patternHead != nullptr) {
    TSprayPat* next = patternHead->next;
    delete patternHead;
    patternHead = next;
  }
  patternCount = 0;
}

void MiscSpray::ColInSprayPat(const uint8_t* plane) {
  TSprayPat* node = patternHead;
  for (int32_t n = 0; n < patternCount && node != nullptr; ++n, node = node->next) {
    uint8_t* rgb[3] = {&node->red, &node->green, &node->blue};
    for (int32_t k = 0; k < 3; ++k) {
      const uint8_t* source = plane != nullptr ? plane : planes[2 - k];
      if (source == nullptr) continue;
      int32_t average = *rgb[k];
      AvrgCol_inRect(planeWidth, planeHeight, source, nullptr, node->left, node->top,
                     node->right, node->bottom, &average);
      *rgb[k] = static_cast<uint8_t>(average);
    }
  }
}

int32_t MiscSpray::CellIndex(int32_t k) const { return std::clamp(k, 0, 255); }

void MiscSpray::StepRepeatBuf(int16_t cellSize, int16_t opacity, int16_t maskMode, int16_t shift,
                              const uint8_t* plane, int16_t areaKind, const uint8_t* areaMask) {
  EmptyDrawnBox();
  const int16_t areaMode = (areaKind == 1 || areaKind == 2) ? 2 : 0;
  PrepareSprayPat(planeWidth, planeHeight, cellSize, shift);
  ColInSprayPat(plane);
  currentCell = static_cast<int16_t>(lastCell - firstCell);
  TSprayPat* node = patternHead;
  for (int32_t n = 0; n < patternCount && node != nullptr; ++n, node = node->next) {
    // Picks run from first - 2 to last - 2, never below 0; kept as the grid has always
    // chosen its cells.
    const int32_t grey = (node->red + node->green + node->blue) / 3;
    const int32_t k = CellIndex(firstCell + grey * (lastCell - firstCell) / 255 - 2);
    TColMisc colour;
    colour.first[0] = colour.second[0] = node->red;
    colour.first[1] = colour.second[1] = node->green;
    colour.first[2] = colour.second[2] = node->blue;
    CellToBuf(cellWidth, cellHeight, cellPlanes[0][k], cellPlanes[1][k], cellPlanes[2][k],
              cellMasks[k], node->left, node->top, blendMode, opacity, maskTable, 0, maskMode,
              areaMode, areaMask, &colour);
  }
}

void MiscSpray::NextCell() {
  // The sequence runs from first - 1 to last - 2 and starts again; kept as drawn so far.
  currentCell = static_cast<int16_t>(currentCell + 1);
  if (currentCell >= lastCell - 1) currentCell = static_cast<int16_t>(firstCell - 1);
}

void MiscSpray::FillBuf(int16_t count, int16_t opacity, int16_t areaMode,
                        const uint8_t* areaMask) {
  EmptyDrawnBox();
  for (int32_t round = 0; round < count; ++round) {
    for (int32_t attempt = 0; attempt < 10; ++attempt) {
      const int32_t x = RandomCoordinate(areaWidth);
      const int32_t y = RandomCoordinate(areaHeight);
      if (areaMode > 5) continue;
      if (areaMask != nullptr && areaMode >= 2) {
        const uint8_t m = areaMask[int64_t{y} * planeWidth + x];
        const bool inside = m > 128;
        if ((areaMode == 2 || areaMode == 4) != inside) continue;
      }
      const int32_t k = CellIndex(currentCell);
      CellToBuf(cellWidth, cellHeight, cellPlanes[0][k], cellPlanes[1][k], cellPlanes[2][k],
                cellMasks[k], x - cellWidth / 2, y - cellHeight / 2, blendMode, opacity,
                maskTable, options[3], 1, areaMode, areaMask, nullptr);
      NextCell();
    }
  }
}

void MiscSpray::DrawOnPath(int32_t x, int32_t y, float angle, int16_t opacity, int16_t turn,
                           int16_t areaMode, const uint8_t* areaMask) {
  const int32_t k = CellIndex(currentCell);
  if (turn != 1) {
    CellToBuf(cellWidth, cellHeight, cellPlanes[0][k], cellPlanes[1][k], cellPlanes[2][k],
              cellMasks[k], x - cellWidth / 2, y - cellHeight / 2, blendMode, opacity,
              maskTable, options[3], 1, areaMode, areaMask, nullptr);
  } else {
    int32_t w = 0, h = 0;
    // A cell that cannot be turned is left out; the sequence moves on all the same.
    if (RotaCell(1, angle, cellPlanes[0][k], cellPlanes[1][k], cellPlanes[2][k], cellMasks[k],
                 cellWidth, cellHeight, &w, &h) == 0) {
      CellToBuf(w, h, rotated_[0].get(), rotated_[1].get(), rotated_[2].get(),
                rotatedMask_.get(), x - w / 2, y - h / 2, blendMode, opacity, maskTable,
                options[3], 1, areaMode, areaMask, nullptr);
    }
    RotaCell(0, 0.0f, nullptr, nullptr, nullptr, nullptr, 0, 0, nullptr, nullptr);
  }
  NextCell();
}

void MiscSpray::FillonPath(CPathList* pathList, int16_t step, int16_t opacity, int16_t turn,
                           int16_t segments, int16_t areaMode, const uint8_t* areaMask) {
  if (pathList == nullptr) return;
  EmptyDrawnBox();
  if (step < 1) step = 1;
  RotaCell(0, 0.0f, nullptr, nullptr, nullptr, nullptr, 0, 0, nullptr, nullptr);
  DrawParKeeper keeper;
  CPathList copy(0);
  pathList->CopyPathListAndExtend(&copy);
  copy.SetDrwVal(0, 0, 0, 0, viewValues[0], viewValues[1], 0, viewScaleX, viewScaleY,
                 viewOriginX, viewOriginY);
  for (CPath* p = copy.first; p != nullptr; p = p->next) {
    if (p->count <= 1) continue;
    const float length = p->GetAcuPathLength();
    const float part = segments > 0 ? length / segments : 0.0f;
    bool havePrevious = false, last = false;
    int32_t px = 0, py = 0;
    for (float t = 0.0f; !last; t += step) {
      if (t >= length) t = length, last = true;
      float angle = 0, fx = 0, fy = 0;
      CPathPoint *a = nullptr, *b = nullptr;
      p->GetPointAtLength(0, t, &angle, &fx, &fy, &a, &b);
      const auto x = static_cast<int32_t>((fx - viewOriginX) / viewScaleX + 0.5f);
      const int32_t row = static_cast<int32_t>((fy - viewOriginY) / viewScaleY + 0.5f);
      const int32_t y = areaHeight - row - 1;  // rows counted from the bottom
      int16_t op = opacity;
      if (part > 0.0f) {
        const float k = std::min(std::floor(t / part), static_cast<float>(segments - 1));
        op = static_cast<int16_t>(opacity * (((k + 1) * part - t) / part));
      }
      if (step == 1 && havePrevious) {
        // Every pixel between the two points, along x on the old row, then along y.
        for (int32_t xi = px; xi != x;) {
          xi += x > px ? 1 : -1;
          DrawOnPath(xi, py, angle, op, turn, areaMode, areaMask);
        }
        for (int32_t yi = py; yi != y;) {
          yi += y > py ? 1 : -1;
          DrawOnPath(x, yi, angle, op, turn, areaMode, areaMask);
        }
      } else if (!havePrevious || step != 1) {
        DrawOnPath(x, y, angle, op, turn, areaMode, areaMask);
      }
      havePrevious = true;
      px = x, py = y;
    }
  }
}
