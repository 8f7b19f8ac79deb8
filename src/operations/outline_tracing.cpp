// Outline tracing over one 8-bit plane: a pixel-edge walk whose edge marks
// are bits in a byte per pixel, so every edge of every area is walked once.
// Outer boundaries are walked counter-clockwise from a top edge, holes
// clockwise from the bottom edge of the pixel above them.
#include "operations/outline_tracing.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "app/core/plane_geometry.h"
#include "platform/memory/block.h"
#include "platform/types/plane_view.h"

namespace {

// The arrays that may still grow (kUnlimited: no limit). Atomic, as the contour lines trace their
// levels side by side.
constexpr int64_t kUnlimited = INT64_MIN;
std::atomic<int64_t> gGrowthAllowance{kUnlimited};

// One more growth of an array, when the allowance has room for it.
bool TakeGrowth() {
  int64_t left = gGrowthAllowance.load(std::memory_order_relaxed);
  while (left != kUnlimited) {
    if (left <= 0) return false;
    if (gGrowthAllowance.compare_exchange_weak(left, left - 1, std::memory_order_relaxed)) break;
  }
  return true;
}

using View = plat::ConstPlaneView<unsigned char>;

// Every array is held at std::bit_ceil(length) elements, so growth is due
// exactly when the length is 0 or a power of two.
template <typename T>
bool ReserveForAppend(T*& data, uint32_t length) {
  if (length != 0 && !std::has_single_bit(length)) return true;
  if (length > UINT32_MAX / 2) return false;
  if (!TakeGrowth()) return false;
  const size_t capacity = length == 0 ? 1 : static_cast<size_t>(length) * 2;
  void* grown = std::realloc(data, capacity * sizeof(T));
  if (grown == nullptr) return false;
  data = static_cast<T*>(grown);
  return true;
}

// A fresh array able to hold `length` elements and the appends after them.
template <typename T>
T* NewArray(uint32_t length) {
  if (length == 0) return nullptr;
  if (!TakeGrowth()) return nullptr;
  return static_cast<T*>(std::malloc(std::bit_ceil(static_cast<size_t>(length)) * sizeof(T)));
}

void FreeOutline(pixel_outline_type* outline) {
  std::free(outline->data);
  outline->data = nullptr;
  outline->length = 0;
}

pixel_outline_type EmptyOutline(unsigned char color) {
  return pixel_outline_type{nullptr, 0, 0, color, 0};
}

bool Aborted(const int16_t* abortFlag) { return *abortFlag == -1; }

// The point that stands for an edge on the walk: its end in the direction
// of an outer boundary's travel.
coords EdgePoint(int32_t edge, int32_t row, int32_t col, int32_t height) {
  const auto c = static_cast<uint32_t>(col);
  const auto top = static_cast<uint32_t>(height - row);
  switch (edge) {
    case RIGHT: return {c + 1, top};
    case TOP: return {c, top};
    case LEFT: return {c, top - 1};
    default: return {c + 1, top - 1};
  }
}

bool EdgeMarked(const unsigned char* marked, int32_t width, int32_t row, int32_t col,
                int32_t edge) {
  return (marked[static_cast<int64_t>(row) * width + col] & (1u << edge)) != 0;
}

// One place relative to the current pixel: row and column steps and an edge.
struct Probe {
  int8_t dr;
  int8_t dc;
  edge_type edge;
};

// A candidate of the walk. A diagonal candidate of the outer walk is
// refused when both edges of either pair have been walked already: the
// outline would otherwise cross another one at a shared corner.
struct Candidate {
  Probe target;
  bool guarded;
  Probe pairA[2];
  Probe pairB[2];
};

constexpr Probe kNone{0, 0, NO_EDGE};

// Outer boundaries (counter-clockwise), indexed by the current edge.
constexpr Candidate kCounterClockwise[4][3] = {
    // right
    {{{-1, 0, RIGHT}, false, {kNone, kNone}, {kNone, kNone}},
     {{-1, 1, BOTTOM}, true, {{0, 1, LEFT}, {-1, 0, BOTTOM}}, {{0, 1, TOP}, {-1, 0, RIGHT}}},
     {{0, 0, TOP}, false, {kNone, kNone}, {kNone, kNone}}},
    // top
    {{{0, -1, TOP}, false, {kNone, kNone}, {kNone, kNone}},
     {{-1, -1, RIGHT}, true, {{-1, 0, LEFT}, {0, -1, TOP}}, {{-1, 0, BOTTOM}, {0, -1, RIGHT}}},
     {{0, 0, LEFT}, false, {kNone, kNone}, {kNone, kNone}}},
    // left
    {{{1, 0, LEFT}, false, {kNone, kNone}, {kNone, kNone}},
     {{1, -1, TOP}, true, {{0, -1, RIGHT}, {1, 0, TOP}}, {{0, -1, BOTTOM}, {1, 0, LEFT}}},
     {{0, 0, BOTTOM}, false, {kNone, kNone}, {kNone, kNone}}},
    // bottom
    {{{0, 1, BOTTOM}, false, {kNone, kNone}, {kNone, kNone}},
     {{1, 1, LEFT}, true, {{1, 0, TOP}, {0, 1, LEFT}}, {{1, 0, RIGHT}, {0, 1, BOTTOM}}},
     {{0, 0, RIGHT}, false, {kNone, kNone}, {kNone, kNone}}},
};

// Holes (clockwise), indexed by the current edge; the diagonal comes last.
constexpr Probe kClockwise[4][3] = {
    {{0, 0, TOP}, {-1, 0, RIGHT}, {-1, 1, BOTTOM}},   // right
    {{0, 0, LEFT}, {0, -1, TOP}, {-1, -1, RIGHT}},    // top
    {{0, 0, BOTTOM}, {1, 0, LEFT}, {1, -1, TOP}},     // left
    {{0, 0, RIGHT}, {0, 1, BOTTOM}, {1, 1, LEFT}},    // bottom
};

bool Inside(int32_t height, int32_t width, int32_t row, int32_t col) {
  return row >= 0 && row < height && col >= 0 && col < width;
}

void ClearList(pixel_outline_list_type* list) {
  list->data = nullptr;
  list->length = 0;
}

// Appends a traced outline; a refusal aborts the tracing and frees it.
void AppendTraced(pixel_outline_list_type* list, pixel_outline_type* outline,
                  int16_t* abortFlag) {
  if (append_pixel_outline(list, *outline) != 0) {
    FreeOutline(outline);
    *abortFlag = -1;
  }
}

uint32_t ToCoordinate(float v) {
  if (!(v > 0.0f)) return 0;
  if (v >= 4294967295.0f) return UINT32_MAX;
  return static_cast<uint32_t>(v);
}

// The re-densified points of one outline; only the first `room` are
// written to `out`. Answers the full count.
uint64_t Expand(const pixel_outline_type* outline, coords* out, uint64_t room) {
  uint64_t count = 0;
  auto emit = [&](int64_t x, int64_t y) {
    if (out != nullptr && count < room) {
      out[count] = {static_cast<uint32_t>(x), static_cast<uint32_t>(y)};
    }
    ++count;
  };
  const uint32_t n = outline->length;
  for (uint32_t i = 0; i < n; ++i) {
    const coords a = outline->data[i];
    const coords b = outline->data[(i + 1) % n];
    const int64_t dx = static_cast<int64_t>(b.x) - a.x;
    const int64_t dy = static_cast<int64_t>(b.y) - a.y;
    const float len = std::sqrt(static_cast<float>(dx * dx + dy * dy));
    // The minor coordinate moves by |k| * d / len, not by d over the
    // major extent, so a diagonal run stops short of the next point's
    // minor coordinate; the shapes built from these outlines rely on it.
    if (dx != 0 && std::llabs(dx) > std::llabs(dy)) {
      const int64_t step = dx > 0 ? 1 : -1;
      int64_t k = 0;
      for (int64_t x = a.x; x != b.x; x += step, ++k) {
        const auto t =
            static_cast<int64_t>(static_cast<float>(k) * static_cast<float>(dy) / len + 0.5f);
        emit(x, a.y + t);
      }
    } else if (dx != 0) {
      const int64_t step = dy > 0 ? 1 : -1;
      int64_t k = 0;
      for (int64_t y = a.y; y != b.y; y += step, ++k) {
        const auto t =
            static_cast<int64_t>(static_cast<float>(k) * static_cast<float>(dx) / len + 0.5f);
        emit(a.x + t, y);
      }
    } else {
      const int64_t step = dy > 0 ? 1 : -1;
      for (int64_t y = a.y; y != b.y; y += step) emit(a.x, y);
    }
  }
  return count;
}

// The point of the unit square (u, v) inside the quadrilateral: where the
// line joining the u points of edges 0-1 and 3-2 meets the line joining
// the v points of edges 1-2 and 0-3.
coords MapIntoQuad(float u, float v, const float qx[4], const float qy[4]) {
  auto along = [](float from, float to, float t) { return from + t * (to - from); };
  const float ux0 = along(qx[0], qx[1], u), uy0 = along(qy[0], qy[1], u);
  const float ux1 = along(qx[3], qx[2], u), uy1 = along(qy[3], qy[2], u);
  const float vx0 = along(qx[1], qx[2], v), vy0 = along(qy[1], qy[2], v);
  const float vx1 = along(qx[0], qx[3], v), vy1 = along(qy[0], qy[3], v);
  float a1 = 0, b1 = 0, c1 = 0, a2 = 0, b2 = 0, c2 = 0;
  A_lig_2point(ux0, uy0, ux1, uy1, &a1, &b1, &c1);
  A_lig_2point(vx0, vy0, vx1, vy1, &a2, &b2, &c2);
  // Parallel lines only come from a folded quadrilateral; the point then
  // stays on the u line at v.
  float x = along(ux0, ux1, v);
  float y = along(uy0, uy1, v);
  A_int_2droit(a1, b1, c1, a2, b2, c2, &x, &y);
  return {ToCoordinate(x), ToCoordinate(y)};
}

// Centre-line directions: row and column steps.
constexpr int8_t kDirRow[8] = {-1, -1, 0, 1, 1, 1, 0, -1};
constexpr int8_t kDirCol[8] = {0, -1, -1, -1, 0, 1, 1, 1};
// Turns tried from the last direction: straight on, square turns, then
// half turns, then the sharp ones.
constexpr int8_t kTurns[7] = {0, 2, 6, 1, 7, 3, 5};

}  // namespace

void setOutlineGrowthLimitForTesting(std::optional<int64_t> allowed) {
  gGrowthAllowance.store(allowed ? std::max<int64_t>(*allowed, kUnlimited + 1) : kUnlimited);
}

// ---- Tracing ----

namespace {

// The walk over a plane and its edge marks (one byte a pixel, packed).
struct Walk {
  View plane;
  const unsigned char* marked;
  int16_t* abortFlag;
  unsigned char* writableMarks = nullptr;  // null for a walk that only looks

  int32_t height() const { return plane.height; }
  int32_t width() const { return plane.width; }
  unsigned char at(int32_t row, int32_t col) const { return plane.At(col, row); }
  bool Marked(int32_t row, int32_t col, int32_t edge) const {
    return EdgeMarked(marked, width(), row, col, edge);
  }
  void Mark(int32_t row, int32_t col, int32_t edge) const {
    writableMarks[static_cast<int64_t>(row) * width() + col] |= static_cast<unsigned char>(1u << edge);
  }
};

int16_t IsOutlineEdge(const View& plane, edge_type edge, int32_t row, int32_t col,
                      unsigned char value, int16_t* abortFlag) {
  if (plane.At(col, row) != value) return 0;
  switch (edge) {
    case RIGHT: return col == plane.width - 1 || plane.At(col + 1, row) != value;
    case TOP: return row == 0 || plane.At(col, row - 1) != value;
    case LEFT: return col == 0 || plane.At(col - 1, row) != value;
    case BOTTOM: return row == plane.height - 1 || plane.At(col, row + 1) != value;
    default: *abortFlag = -1; return 0;
  }
}

int16_t IsUnmarkedOutlineEdge(const Walk& w, int32_t row, int32_t col, edge_type edge,
                              unsigned char value) {
  if (edge >= RIGHT && edge <= BOTTOM && w.Marked(row, col, edge)) return 0;
  return IsOutlineEdge(w.plane, edge, row, col, value, w.abortFlag);
}

bool PairMarked(const Walk& w, int32_t row, int32_t col, const Probe pair[2]) {
  return w.Marked(row + pair[0].dr, col + pair[0].dc, pair[0].edge) &&
         w.Marked(row + pair[1].dr, col + pair[1].dc, pair[1].edge);
}

coords NextPoint(const Walk& w, edge_type* edge, int32_t* row, int32_t* col, unsigned char value,
                 int16_t clockwise) {
  if (*edge < RIGHT || *edge > BOTTOM) {
    if (*edge != NO_EDGE) *w.abortFlag = -1;
    *edge = NO_EDGE;
    return {0, 0};
  }
  for (int k = 0; k < 3; ++k) {
    const Candidate& ccw = kCounterClockwise[*edge][k];
    const Probe p = clockwise ? kClockwise[*edge][k] : ccw.target;
    const int32_t r = *row + p.dr;
    const int32_t c = *col + p.dc;
    if (!Inside(w.height(), w.width(), r, c)) continue;
    const bool ok = IsUnmarkedOutlineEdge(w, r, c, p.edge, value) &&
                    !(clockwise == 0 && ccw.guarded &&
                      (PairMarked(w, *row, *col, ccw.pairA) || PairMarked(w, *row, *col, ccw.pairB)));
    if (Aborted(w.abortFlag)) break;
    if (ok) {
      *edge = p.edge;
      *row = r;
      *col = c;
      return EdgePoint(p.edge, r, c, w.height());
    }
  }
  *edge = NO_EDGE;
  return {0, 0};
}

pixel_outline_type FindOneOutline(const Walk& w, edge_type edge, int32_t row, int32_t col,
                                  int16_t clockwise, int16_t ignore) {
  pixel_outline_type outline = EmptyOutline(w.at(row, col));
  if (edge < RIGHT || edge > BOTTOM) {
    *w.abortFlag = -1;
    return outline;
  }
  coords pos = EdgePoint(edge, row, col, w.height());
  while (!Aborted(w.abortFlag)) {
    if (!ignore && append_outline_pixel(&outline, pos) != 0) {
      *w.abortFlag = -1;
      break;
    }
    w.Mark(row, col, edge);
    pos = NextPoint(w, &edge, &row, &col, outline.color, clockwise);
    if (edge == NO_EDGE) break;
  }
  if (Aborted(w.abortFlag)) FreeOutline(&outline);
  return outline;
}

// One cleared mark per pixel of the plane; empty, with the abort flag set to
// -1, when the marks cannot be had.
plat::Block<unsigned char> ClearedMarks(const View& plane, int16_t* abortFlag) {
  plat::Block<unsigned char> marks(plane.count());
  if (!marks) {
    *abortFlag = -1;
    return marks;
  }
  marks.Clear();
  return marks;
}

// The first column from `col` on where the two rows differ, or the width.
int32_t NextDifference(const unsigned char* above, const unsigned char* here, int32_t col,
                       int32_t width) {
  while (col + 8 <= width) {
    static_assert(std::endian::native == std::endian::little, "the first byte is the lowest");
    uint64_t a, b;
    std::memcpy(&a, above + col, 8);
    std::memcpy(&b, here + col, 8);
    if (a != b) return col + std::countr_zero(a ^ b) / 8;
    col += 8;
  }
  while (col < width && above[col] == here[col]) ++col;
  return col;
}

pixel_outline_list_type FindOutlines(const View& plane, unsigned char background,
                                     int16_t* abortFlag) {
  pixel_outline_list_type list{nullptr, 0};
  if (!plane.valid() || Aborted(abortFlag)) return list;
  plat::Block<unsigned char> marks = ClearedMarks(plane, abortFlag);
  if (!marks) return list;
  const Walk w{plane, marks.get(), abortFlag, marks.get()};
  for (int32_t row = 0; row < plane.height && !Aborted(abortFlag); ++row) {
    for (int32_t col = 0; col < plane.width; ++col) {
      // Below the first row, both a top edge here and a bottom edge above need the pixel
      // above to differ: the columns where it does not are stepped over in words. (On a
      // 6000 x 4000 plane of a few areas this cuts a scan of 0.2 s to a few ms.)
      if (row > 0) {
        col = NextDifference(plane.Row(row - 1), plane.Row(row), col, plane.width);
        if (col == plane.width) break;
      }
      const unsigned char v = w.at(row, col);
      if (v != background && IsUnmarkedOutlineEdge(w, row, col, TOP, v)) {
        pixel_outline_type outline = FindOneOutline(w, TOP, row, col, 0, 0);
        outline.clockwise = 0;
        if (!Aborted(abortFlag)) AppendTraced(&list, &outline, abortFlag);
      }
      if (Aborted(abortFlag)) break;
      if (row == 0) continue;
      const unsigned char u = w.at(row - 1, col);
      if (u != background && IsUnmarkedOutlineEdge(w, row - 1, col, BOTTOM, u)) {
        // A hole in the background is recorded; one filled by another
        // value is only walked, so its edges are not traced again.
        const int16_t ignore = v == background ? 0 : 1;
        pixel_outline_type outline = FindOneOutline(w, BOTTOM, row - 1, col, 1, ignore);
        outline.clockwise = 1;
        if (!ignore && !Aborted(abortFlag)) AppendTraced(&list, &outline, abortFlag);
      }
      if (Aborted(abortFlag)) break;
    }
  }
  if (Aborted(abortFlag)) free_pixel_outline_list(&list);
  return list;
}

View Packed(const unsigned char* plane, int32_t height, int32_t width) {
  return View::Packed(plane, width, height);
}

}  // namespace

int16_t is_outline_edge(edge_type edge, const unsigned char* plane, int32_t height,
                        int32_t width, int32_t row, int32_t col, unsigned char value,
                        int16_t* abortFlag) {
  return IsOutlineEdge(Packed(plane, height, width), edge, row, col, value, abortFlag);
}

int16_t is_unmarked_outline_edge(int32_t row, int32_t col, edge_type edge,
                                 const unsigned char* plane, int32_t height, int32_t width,
                                 const unsigned char* marked, unsigned char value,
                                 int16_t* abortFlag) {
  const Walk w{Packed(plane, height, width), marked, abortFlag};
  return IsUnmarkedOutlineEdge(w, row, col, edge, value);
}

coords next_point(const unsigned char* plane, int32_t height, int32_t width, edge_type* edge,
                  int32_t* row, int32_t* col, unsigned char value, int16_t clockwise,
                  const unsigned char* marked, int16_t* abortFlag) {
  const Walk w{Packed(plane, height, width), marked, abortFlag};
  return NextPoint(w, edge, row, col, value, clockwise);
}

pixel_outline_type find_one_outline(const unsigned char* plane, int32_t height, int32_t width,
                                    edge_type edge, int32_t row, int32_t col,
                                    unsigned char* marked, int16_t clockwise, int16_t ignore,
                                    int16_t* abortFlag) {
  return FindOneOutline(Walk{Packed(plane, height, width), marked, abortFlag, marked}, edge, row,
                        col, clockwise, ignore);
}

pixel_outline_list_type find_outline_pixels(const unsigned char* plane, int32_t height,
                                            int32_t width, unsigned char background,
                                            int16_t* abortFlag) {
  return FindOutlines(Packed(plane, height, width), background, abortFlag);
}

// ---- List bookkeeping ----

int16_t append_outline_pixel(pixel_outline_type* outline, coords point) {
  if (!ReserveForAppend(outline->data, outline->length)) return -1;
  outline->data[outline->length++] = point;
  return 0;
}

int16_t append_pixel_outline(pixel_outline_list_type* list, pixel_outline_type outline) {
  if (!ReserveForAppend(list->data, list->length)) return -1;
  list->data[list->length++] = outline;
  return 0;
}

int16_t newcopy_pixel_outline_list(const pixel_outline_list_type* source,
                                   pixel_outline_list_type* dest) {
  ClearList(dest);
  if (source->length == 0) return 0;
  dest->data = NewArray<pixel_outline_type>(source->length);
  if (dest->data == nullptr) return -1;
  for (uint32_t i = 0; i < source->length; ++i) {
    pixel_outline_type copy = source->data[i];
    copy.data = NewArray<coords>(copy.length);
    if (copy.length != 0 && copy.data == nullptr) {
      free_pixel_outline_list(dest);
      return -1;
    }
    if (copy.length != 0) {
      std::memcpy(copy.data, source->data[i].data, copy.length * sizeof(coords));
    }
    dest->data[dest->length++] = copy;
  }
  return 0;
}

void free_pixel_outline_list(pixel_outline_list_type* list) {
  for (uint32_t i = 0; i < list->length; ++i) std::free(list->data[i].data);
  std::free(list->data);
  ClearList(list);
}

void MinMaxOutline(const pixel_outline_type* outline, float x[4], float y[4]) {
  float minX = 64000.0f, minY = 64000.0f, maxX = 0.0f, maxY = 0.0f;
  for (uint32_t i = 0; i < outline->length; ++i) {
    const auto px = static_cast<float>(outline->data[i].x);
    const auto py = static_cast<float>(outline->data[i].y);
    minX = std::min(minX, px);
    maxX = std::max(maxX, px);
    minY = std::min(minY, py);
    maxY = std::max(maxY, py);
  }
  x[0] = minX, y[0] = minY;
  x[1] = maxX, y[1] = minY;
  x[2] = maxX, y[2] = maxY;
  x[3] = minX, y[3] = maxY;
}

void MinMaxOutlineList(const pixel_outline_list_type* list, float x[4], float y[4]) {
  float minX = 64000.0f, minY = 64000.0f, maxX = 0.0f, maxY = 0.0f;
  for (uint32_t i = 0; i < list->length; ++i) {
    float bx[4], by[4];
    MinMaxOutline(&list->data[i], bx, by);
    for (int k = 0; k < 4; ++k) {
      minX = std::min(minX, bx[k]);
      maxX = std::max(maxX, bx[k]);
      minY = std::min(minY, by[k]);
      maxY = std::max(maxY, by[k]);
    }
  }
  x[0] = minX, y[0] = minY;
  x[1] = maxX, y[1] = minY;
  x[2] = maxX, y[2] = maxY;
  x[3] = minX, y[3] = maxY;
}

void CountExpandedOutline(const pixel_outline_type* outline, pixel_outline_type* output,
                          uint32_t* count) {
  const uint64_t n = Expand(outline, output != nullptr ? output->data : nullptr, UINT64_MAX);
  *count = static_cast<uint32_t>(std::min<uint64_t>(n, UINT32_MAX));
}

int16_t DistortInQuadOutlineList(const pixel_outline_list_type* source,
                                 pixel_outline_list_type* dest, float* /*unusedA*/,
                                 float* /*unusedB*/, const float qx[4], const float qy[4]) {
  pixel_outline_list_type copy{nullptr, 0};
  if (newcopy_pixel_outline_list(source, &copy) != 0) return -1;
  float bx[4], by[4];
  MinMaxOutlineList(&copy, bx, by);
  // A box of no width (or height) puts every point at u (or v) 0 rather
  // than dividing by zero.
  const float extentX = bx[1] - bx[0];
  const float extentY = by[2] - by[0];
  for (uint32_t i = 0; i < copy.length; ++i) {
    for (uint32_t k = 0; k < copy.data[i].length; ++k) {
      coords& p = copy.data[i].data[k];
      const float u = extentX != 0.0f ? (static_cast<float>(p.x) - bx[0]) / extentX : 0.0f;
      const float v = extentY != 0.0f ? (static_cast<float>(p.y) - by[0]) / extentY : 0.0f;
      p = MapIntoQuad(u, v, qx, qy);
    }
  }
  int16_t result = 0;
  const uint32_t records = std::min(copy.length, dest->length);
  for (uint32_t i = 0; i < records && result == 0; ++i) {
    const uint64_t n = Expand(&copy.data[i], nullptr, 0);
    coords* points = n <= UINT32_MAX ? NewArray<coords>(static_cast<uint32_t>(n)) : nullptr;
    if (n != 0 && points == nullptr) {
      result = -1;
      break;
    }
    Expand(&copy.data[i], points, n);
    pixel_outline_type& target = dest->data[i];
    std::free(target.data);
    target.data = points;
    target.length = static_cast<uint32_t>(n);
    target.clockwise = copy.data[i].clockwise;
    target.color = copy.data[i].color;
    target.open = copy.data[i].open;
  }
  free_pixel_outline_list(&copy);
  return result;
}

// ---- Centre lines ----

namespace {

// The centre-line walk: one bit a direction in each pixel's mark byte.
struct Lines {
  View plane;
  unsigned char* marked;

  int64_t at(int32_t row, int32_t col) const {
    return static_cast<int64_t>(row) * plane.width + col;
  }
};

int16_t NumNeighbors(const View& plane, int32_t row, int32_t col) {
  const unsigned char v = plane.At(col, row);
  int16_t n = 0;
  for (int d = 0; d < 8; ++d) {
    const int32_t r = row + kDirRow[d];
    const int32_t c = col + kDirCol[d];
    if (Inside(plane.height, plane.width, r, c) && plane.At(c, r) == v) ++n;
  }
  return n;
}

int16_t IsValidDir(const View& plane, const unsigned char* marked, int32_t row, int32_t col,
                   int32_t dir) {
  if ((marked[static_cast<int64_t>(row) * plane.width + col] & (1u << dir)) != 0) return 0;
  const int32_t r = row + kDirRow[dir];
  const int32_t c = col + kDirCol[dir];
  return Inside(plane.height, plane.width, r, c) && plane.At(c, r) == plane.At(col, row);
}

pixel_outline_type FindOneCenterline(const Lines& l, int32_t row, int32_t col, int32_t dir,
                                     int16_t* abortFlag) {
  pixel_outline_type line = EmptyOutline(l.plane.At(col, row));
  const int32_t height = l.plane.height;
  auto point = [height](int32_t r, int32_t c) {
    return coords{static_cast<uint32_t>(c), static_cast<uint32_t>(height - r - 1)};
  };
  if (append_outline_pixel(&line, point(row, col)) != 0) {
    *abortFlag = -1;
    return line;
  }
  int32_t r = row, c = col;
  int32_t last = dir;
  bool open = true;
  while (!Aborted(abortFlag)) {
    int32_t step = -1;
    for (int8_t turn : kTurns) {
      const int32_t d = (last + turn) % 8;
      if (IsValidDir(l.plane, l.marked, r, c, d)) {
        step = d;
        break;
      }
    }
    if (step < 0) break;
    const int32_t nr = r + kDirRow[step];
    const int32_t nc = c + kDirCol[step];
    const int32_t back = (step + 4) % 8;
    const auto others = static_cast<unsigned char>(~((1u << step) | (1u << back)));
    if ((l.marked[l.at(r, c)] & others) != 0 && (l.marked[l.at(nr, nc)] & others) != 0) break;
    if (r != row || c != col) l.marked[l.at(r, c)] |= static_cast<unsigned char>(1u << step);
    l.marked[l.at(nr, nc)] |= static_cast<unsigned char>(1u << back);
    if (nr == row && nc == col) {
      open = false;
      break;
    }
    if (append_outline_pixel(&line, point(nr, nc)) != 0) *abortFlag = -1;
    r = nr, c = nc, last = step;
  }
  l.marked[l.at(row, col)] |= static_cast<unsigned char>(1u << dir);
  line.open = open ? 1 : 0;
  if (Aborted(abortFlag)) FreeOutline(&line);
  return line;
}

pixel_outline_list_type FindCenterlines(const View& plane, unsigned char background,
                                        int16_t* abortFlag) {
  pixel_outline_list_type list{nullptr, 0};
  if (!plane.valid() || Aborted(abortFlag)) return list;
  plat::Block<unsigned char> marks = ClearedMarks(plane, abortFlag);
  if (!marks) return list;
  const Lines l{plane, marks.get()};
  for (int32_t row = 0; row < plane.height && !Aborted(abortFlag); ++row) {
    for (int32_t col = 0; col + 1 < plane.width && !Aborted(abortFlag); ++col) {
      const int64_t i = l.at(row, col);
      if (plane.At(col, row) == background || l.marked[i] != 0 || l.marked[i + 1] != 0) continue;
      if (NumNeighbors(plane, row, col) > 2) continue;
      if (!IsValidDir(plane, l.marked, row, col, EAST)) continue;
      pixel_outline_type line = FindOneCenterline(l, row, col, EAST, abortFlag);
      if (!Aborted(abortFlag)) AppendTraced(&list, &line, abortFlag);
    }
  }
  if (Aborted(abortFlag)) free_pixel_outline_list(&list);
  return list;
}

}  // namespace

int16_t num_neighbors(int32_t row, int32_t col, const unsigned char* plane, int32_t height,
                      int32_t width) {
  return NumNeighbors(Packed(plane, height, width), row, col);
}

int16_t is_valid_dir(int32_t row, int32_t col, direction_type dir, const unsigned char* plane,
                     int32_t height, int32_t width, const unsigned char* marked) {
  return IsValidDir(Packed(plane, height, width), marked, row, col, dir);
}

pixel_outline_type find_one_centerline(const unsigned char* plane, int32_t height, int32_t width,
                                       int32_t row, int32_t col, direction_type dir,
                                       unsigned char* marked, int16_t* abortFlag) {
  return FindOneCenterline(Lines{Packed(plane, height, width), marked}, row, col, dir, abortFlag);
}

pixel_outline_list_type find_centerline_pixels(const unsigned char* plane, int32_t height,
                                               int32_t width, unsigned char background,
                                               int16_t* abortFlag) {
  return FindCenterlines(Packed(plane, height, width), background, abortFlag);
}
