#include "engines/correction/grid_record.h"

#include <algorithm>
#include <cstring>

namespace {

int32_t ClampCells(int32_t n) { return std::clamp(n, 1, kGridMaxCells); }

// Grids in use, as far as the slots go.
int32_t CountInUse(const GridInfo1& head) { return std::clamp(head.w[kGpCount], 0, kGridSlots); }

// Nodes a copy moves: enough for either orientation of the lattice.
size_t NodesInUse(const GridInfo& g) {
  const int32_t side =
      std::max(std::clamp(g.w[kGiColumns], 0, kGridMaxCells), std::clamp(g.w[kGiRows], 0, kGridMaxCells)) +
      1;
  return static_cast<size_t>(side) * static_cast<size_t>(side);
}

// A regular lattice over the whole picture in one set (base 0 in, kGaOut out); the
// selection flags cleared, the handles left.
void FillRegular(GridInfo& g, int32_t base, int32_t columns, int32_t rows) {
  int32_t* xs = g.node[base + kGaX];
  int32_t* ys = g.node[base + kGaY];
  int32_t* sel = g.node[base + kGaSelected];
  for (int32_t r = 0; r <= rows; ++r) {
    for (int32_t c = 0; c <= columns; ++c) {
      const int32_t k = r * (columns + 1) + c;
      xs[k] = static_cast<int32_t>(static_cast<float>(c * 100000) / static_cast<float>(columns) + 0.5f);
      ys[k] = static_cast<int32_t>(static_cast<float>((rows - r) * 100000) / static_cast<float>(rows) +
                                   0.5f);
      sel[k] = 0;
    }
  }
}

}  // namespace

void Init_GridInfo1(GridInfo1* head, int32_t width, int32_t height) {
  if (head == nullptr) return;
  static constexpr int32_t kSettings[10] = {1, 128, 0, 0, 1, 0, 1, 1, 2, 0};
  int32_t* w = head->w;
  w[0] = HostOrderFlag();
  w[kGpVersion] = 3;
  w[kGpWidth] = width;
  w[kGpHeight] = height;
  w[kGpCount] = 1;
  w[kGpCurrent] = 0;
  std::copy(kSettings, kSettings + 10, w + 6);
}

void Init_GridInfo(GridInfo* g, int16_t initHead, int16_t initFrame, int32_t columns, int32_t rows,
                   int16_t nodes) {
  if (g == nullptr) return;
  int32_t* w = g->w;
  w[0] = HostOrderFlag();
  w[kGiVersion] = 3;
  // The lattice divides by both counts.
  columns = ClampCells(columns);
  rows = ClampCells(rows);
  if (initHead == 1) {
    static constexpr int32_t kSettings[9] = {1, 0, 255, 0, 0, 0, 100, 0, 0};
    std::copy(kSettings, kSettings + 9, w + kGiEnabled);
    w[19] = 1;
    w[20] = 1;
    w[kGiColumns] = columns;
    w[kGiRows] = rows;
  }
  if (initFrame == 1) {
    static constexpr int32_t kFrame[8] = {0, 100000, 100000, 0, 0, 0, 100000, 100000};
    std::copy(kFrame, kFrame + 8, w + kGiFrameX);
  }
  if (nodes >= 1 && nodes <= 3) {
    w[kGiColumns] = columns;
    w[kGiRows] = rows;
    if (nodes != 2) FillRegular(*g, 0, columns, rows);
    if (nodes != 1) FillRegular(*g, kGaOut, columns, rows);
  }
  g->extraWord = 0;
  std::memset(g->extra, 0, sizeof g->extra);
}

void Init_GridPar(GridPar* r, int32_t width, int32_t height, int32_t columns, int32_t rows,
                  int16_t initFiles, int16_t nodes, int16_t initHead, int16_t initGridHeads) {
  if (r == nullptr) return;
  if (initHead == 1) Init_GridInfo1(&r->head, width, height);
  if (initFiles == 1)
    for (auto& f : r->files) Init_FicStruct(&f);
  for (auto& g : r->grids) Init_GridInfo(&g, initGridHeads, 1, columns, rows, nodes);
}

void Copy_GridInfo1(const GridInfo1* source, GridInfo1* destination) {
  if (source == nullptr || destination == nullptr || source == destination) return;
  *destination = *source;
}

void Copy_GridInfo(const GridInfo* s, GridInfo* d) {
  if (s == nullptr || d == nullptr || s == d) return;
  std::copy(s->w, s->w + kGridHeadWords, d->w);
  const size_t n = NodesInUse(*s);
  for (int32_t a = 0; a < kGridArrays; ++a) std::copy(s->node[a], s->node[a] + n, d->node[a]);
  d->extraWord = s->extraWord;
  std::memcpy(d->extra, s->extra, sizeof d->extra);
}

void Copy_GridPar(const GridPar* s, GridPar* d) {
  if (s == nullptr || d == nullptr || s == d) return;
  d->head = s->head;
  const int32_t count = CountInUse(s->head);
  for (int32_t i = 0; i < count; ++i) {
    Copy_FicStruct(&s->files[i], &d->files[i]);
    Copy_GridInfo(&s->grids[i], &d->grids[i]);
  }
}

void Copy_GridInfoInOut(const GridInfo* first, GridInfo* second, int16_t direction) {
  if (first == nullptr || second == nullptr) return;
  const size_t n = NodesInUse(*second);
  for (int32_t a = 0; a < kGaOut; ++a) {
    const int32_t from = direction != 0 ? a : a + kGaOut;
    const int32_t to = direction != 0 ? a + kGaOut : a;
    std::memmove(second->node[to], first->node[from], n * sizeof(int32_t));
  }
}

void SwapGridInfo(GridInfo* grid, int16_t direction, int16_t force) {
  if (grid != nullptr) vmkrec::SwapRecord(*grid, direction, force);
}

void SwapGridInfo1(GridInfo1* head, int16_t direction, int16_t force) {
  if (head != nullptr) vmkrec::SwapRecord(*head, direction, force);
}

void SwapGridPar(GridPar* r, int16_t direction, int16_t force) {
  if (r == nullptr) return;
  // The count must be read in this host's order before anything turns: a forced
  // reversal means the record holds the other order's numbers; otherwise a record
  // flagged little-endian holds little-endian ones.
  int32_t count = r->head.w[kGpCount];
  if (direction == 1 && force == 1 && !HostIsBigEndian())
    count = static_cast<int32_t>(plat::bytes::swap32(static_cast<uint32_t>(count)));
  else if (direction != 1 && r->head.w[0] != 0)
    CFSwapSInt32LittleToHost(&count);
  count = std::clamp(count, 0, kGridSlots);
  SwapGridInfo1(&r->head, direction, force);
  for (int32_t i = 0; i < count; ++i) SwapGridInfo(&r->grids[i], direction, force);
}

void DelGrd_GridPar(GridPar* r, int16_t index) {
  if (r == nullptr) return;
  const int32_t count = CountInUse(r->head);
  // Deleting a grid that is not there would leave every grid regular: refuse it.
  if (index < 0 || index >= count) return;
  vmkrec::ScratchRecord<GridPar> scratch;
  if (!scratch.valid()) return;
  Copy_GridPar(r, scratch.get());
  const GridInfo& current = r->grids[std::clamp(r->head.w[kGpCurrent], 0, kGridSlots - 1)];
  const int32_t columns = current.w[kGiColumns];
  const int32_t rows = current.w[kGiRows];
  Init_GridPar(r, r->head.w[kGpWidth], r->head.w[kGpHeight], columns, rows, 0, 3, 1, 1);
  for (int32_t k = 0; k < 16; ++k)
    if (k != kGpCount && k != kGpCurrent) r->head.w[k] = scratch->head.w[k];
  r->head.w[kGpCurrent] = 0;
  r->head.w[kGpCount] = count - 1;
  for (int32_t i = 0; i < count; ++i) {
    if (i == index) continue;
    const int32_t to = i < index ? i : i - 1;
    Copy_FicStruct(&scratch->files[i], &r->files[to]);
    Copy_GridInfo(&scratch->grids[i], &r->grids[to]);
  }
}
