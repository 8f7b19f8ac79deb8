// Turning one path into several, or two paths into one or into the first
// two rows of a warp grid: division into pieces of equal length or at the
// numbered knots, evenly spaced points and locations, the tangent at a
// point, interpolation between two paths, and the path-to-grid rows.
//
// The cut operations tag the knots they cut at with mark numbers 1..n and
// read those tags back to build the pieces; a piece is an open chain that
// shares its end knots with its neighbours. Destination paths are the
// caller's, handed in empty; pieces are appended to them.
//
// The grid rows go into the destination lattice of a warp-grid record, as
// node (i, 0) along this path and node (i, 1) along the other.
//
// Every walk is bounded by the knot count, so a chain whose numbers or
// links are not what the cut expects ends after one round instead of
// running for ever.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "app/core/plane_geometry.h"
#include "paths/path.h"
#include "paths/path_internal.h"
#include "raster/warp_frame_record.h"

namespace {

using paths_detail::Curve;

// Appends knots to the end of a path's chain, finding its end only once.
// Destinations come empty; one that already holds an open chain keeps it
// and gets the new knots after it.
class ChainAppender {
 public:
  explicit ChainAppender(CPath* path) : path_(path) {
    if (path->first != nullptr) last_ = paths_detail::OpenChainLast(path->first, path->count);
  }

  // Links `knot` at the end; false (knot not taken) when the destination's
  // chain has no open end to append to.
  bool Link(CPathPoint* knot) {
    if (path_->first != nullptr && last_ == nullptr) return false;
    knot->prev = last_;
    knot->next = nullptr;
    paths_detail::LinkLast(path_->first, last_, knot);
    ++path_->count;
    return true;
  }

  // A copy of `src` (position, handles, kind, selection, and its mark number
  // when `keepMark`), linked at the end.
  void Append(const CPathPoint* src, bool keepMark) {
    CPathPoint* c = new CPathPoint;
    src->CopyPoint(c);
    c->markNum = keepMark ? src->markNum : 0;
    if (!Link(c)) delete c;
  }

 private:
  CPath* path_;
  CPathPoint* last_ = nullptr;
};

// The first knot of the chain carrying mark number `mark` (at most `count`
// knots walked), or null.
CPathPoint* KnotWithMark(CPathPoint* first, int32_t count, int16_t mark) {
  CPathPoint* k = first;
  for (int32_t i = 0; i < count && k != nullptr; ++i) {
    if (k->markNum == mark) return k;
    k = k->next;
    if (k == first) break;
  }
  return nullptr;
}

// Copies from `start` (included) along the next links until a copied knot
// carries `endMark`, at most `bound` knots after the first, stopping at a
// knot without a next knot. The last knot copied is returned.
const CPathPoint* CopyUntilMark(const CPathPoint* start, int16_t endMark, int32_t bound,
                                bool keepMarks, CPath* piece) {
  ChainAppender out(piece);
  out.Append(start, keepMarks);
  const CPathPoint* k = start;
  for (int32_t i = 0; i < bound && k->next != nullptr; ++i) {
    k = k->next;
    out.Append(k, keepMarks);
    if (k->markNum == endMark) break;
  }
  return k;
}

// The mark number that ends piece i (0-based) of n: i + 2, or 1 for the last.
int16_t EndMark(int32_t i, int32_t n) {
  return static_cast<int16_t>(i + 2 > n ? 1 : i + 2);
}

// A whole-number coordinate, truncated toward zero (held at the ends of the
// 32-bit range; NaN gives 0).
int32_t TruncInt(float v) {
  const double t = std::trunc(static_cast<double>(v));
  if (!(t == t)) return 0;
  if (t >= 2147483647.0) return INT32_MAX;
  if (t <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(t);
}

// Cumulative segment lengths of a path relative to its whole-number total
// length: entry 0 is 0, entry k the length of the first k segments.
std::vector<float> RelativeLengths(const CPath* p) {
  std::vector<float> rel(static_cast<size_t>(p->count > 0 ? p->count : 1), 0.0f);
  // A path shorter than 1 has no whole-number length to relate to: all its
  // knots then count as lying at the start.
  const float total = std::trunc(p->GetAcuPathLength());
  if (!(total >= 1.0f)) return rel;
  float acc = 0.0f;
  const CPathPoint* k = p->first;
  for (int32_t i = 1; i < p->count && k != nullptr && k->next != nullptr; ++i) {
    acc += CPath::SplineLength(k->x, k->y, k->outX, k->outY, k->next->inX, k->next->inY,
                               k->next->x, k->next->y, 3);
    rel[static_cast<size_t>(i)] = acc / total;
    k = k->next;
  }
  return rel;
}

// The index of the entry nearest to v (the first on ties).
size_t Nearest(const std::vector<float>& table, size_t used, float v) {
  size_t best = 0;
  float bestD = std::fabs(table[0] - v);
  for (size_t i = 1; i < used; ++i) {
    const float d = std::fabs(table[i] - v);
    if (d < bestD) {
      bestD = d;
      best = i;
    }
  }
  return best;
}

// The knots of a chain in order, at most `count`.
std::vector<const CPathPoint*> Knots(const CPath* p) {
  std::vector<const CPathPoint*> out;
  const CPathPoint* k = p->first;
  for (int32_t i = 0; i < p->count && k != nullptr; ++i) {
    out.push_back(k);
    k = k->next;
    if (k == p->first) break;
  }
  return out;
}

}  // namespace

int32_t CPath::DivideInNb(int32_t n, CPath** pieces) {
  // Marks are set before the open-path test, so an open path comes back
  // with its marks renewed; callers have always seen it that way.
  // Marks that cannot be set (n outside 1..20, a path without length) would
  // leave the cuts at the old ones.
  if (n < 1 || n > kMaxMarks || PutMarks(static_cast<int16_t>(n), 1) != 0) return -1;
  if (closed == 0 || pieces == nullptr || first == nullptr) return -1;
  for (int32_t i = 0; i < n; ++i) {
    if (pieces[i] == nullptr) return -1;
  }

  // The cuts go into the reversed duplicate, so the pieces run against the
  // path's own direction; the frames that divide paths rely on that order.
  CPath work;
  work.DuplicatePath(this, 0);
  const float total = work.GetAcuPathLength();
  CPathPoint* spare = new CPathPoint;
  for (int32_t i = 0; i < n; ++i) {
    float x = 0.0f, y = 0.0f, ang = 0.0f;
    CPathPoint* a = nullptr;
    CPathPoint* b = nullptr;
    work.GetPointAtLength(0, total * marks[i], &ang, &x, &y, &a, &b);
    const int32_t r = work.InsertPointOnSpline(a, b, spare, x, y);
    const auto mark = static_cast<int16_t>(i + 1);
    if (r == 1) {
      a->markNum = mark;
    } else if (r == 2) {
      b->markNum = mark;
    } else if (r == 3) {
      spare->prev = a;
      spare->next = b;
      a->next = spare;
      b->prev = spare;
      spare->markNum = mark;
      ++work.count;
      spare = new CPathPoint;
    } else {
      delete spare;
      return -1;
    }
  }
  delete spare;

  // Two cuts landing on one knot leave a number missing: that cut failed,
  // and no piece is started.
  for (int32_t i = 0; i < n; ++i) {
    if (KnotWithMark(work.first, work.count, static_cast<int16_t>(i + 1)) == nullptr) return -1;
  }
  for (int32_t i = 0; i < n; ++i) {
    const CPathPoint* start = KnotWithMark(work.first, work.count, static_cast<int16_t>(i + 1));
    CopyUntilMark(start, EndMark(i, n), work.count, false, pieces[i]);
  }
  return 0;
}

void CPath::DivideAlongMarkedPoints(int16_t n, CPath** pieces) const {
  if (n < 1 || pieces == nullptr || first == nullptr) return;
  const CPathPoint* start = first;
  for (int32_t k = 1; k <= n; ++k) {
    if (pieces[k - 1] == nullptr) return;
    // A piece whose end number never comes stops after one round and keeps
    // what it copied; the next piece starts where it stopped.
    start = CopyUntilMark(start, EndMark(k - 1, n), count, true, pieces[k - 1]);
  }
}

int32_t CPath::CutPathInto(int32_t n, int32_t* xs, int32_t* ys) const {
  if (n < 1 || xs == nullptr || ys == nullptr || first == nullptr) return 0;
  const float total = GetAcuPathLength();
  // Without length every point is the start.
  if (!(total > 0.0f)) {
    for (int32_t j = 0; j < n; ++j) {
      xs[j] = TruncInt(first->x);
      ys[j] = TruncInt(first->y);
    }
    return 0;
  }
  const float step = total / static_cast<float>(n);
  float acc = 0.0f;
  float ax = first->x, ay = first->y;  // the anchor
  float px = first->x, py = first->y;  // the previous sample
  int32_t emitted = 0;
  const CPathPoint* k = first;
  for (int32_t s = 0; s < count && k != nullptr && k->next != nullptr; ++s) {
    const Curve seg(k, k->next);
    seg.SetUp();
    for (int i = 0; i <= 99; i += 3) {
      float x, y;
      seg.At(static_cast<float>(i) / 100.0f, &x, &y);
      acc += distance(px, py, x, y);
      px = x;
      py = y;
      const float excess = acc - step * static_cast<float>(emitted);
      if (excess < step) continue;
      const float parts = excess / step;
      const auto m = static_cast<int32_t>(parts + 0.5f);
      for (int32_t j = 0; j < m && emitted < n; ++j) {
        xs[emitted] = TruncInt(ax + static_cast<float>(j) * (x - ax) / parts);
        ys[emitted] = TruncInt(ay + static_cast<float>(j) * (y - ay) / parts);
        ++emitted;
      }
      ax = x;
      ay = y;
    }
    k = k->next;
  }
  xs[n - 1] = TruncInt(px);
  ys[n - 1] = TruncInt(py);
  return 0;
}

void CPath::GetLocation(int32_t* x, int32_t* y, int32_t n, int32_t k) const {
  if (x == nullptr || y == nullptr || first == nullptr) return;
  auto put = [&](const CPathPoint* p) {
    *x = TruncInt(p->x);
    *y = TruncInt(p->y);
  };
  const auto total = static_cast<int64_t>(std::trunc(GetAcuPathLength()));
  // A path shorter than 1 has no spacing: every location is its start.
  if (total < 1) {
    put(first);
    return;
  }
  int64_t start = 1;
  const CPathPoint* a = first;
  for (int32_t s = 0; s < count; ++s) {
    const CPathPoint* b = a->next;
    if (b == nullptr) {
      put(a);
      return;
    }
    // The closing segment of a ring is not walked: its locations are the
    // first knot.
    if (b == first) {
      put(b);
      return;
    }
    const Curve seg(std::trunc(a->x), std::trunc(a->y), std::trunc(a->outX), std::trunc(a->outY),
                    std::trunc(b->inX), std::trunc(b->inY), std::trunc(b->x), std::trunc(b->y));
    const auto len = static_cast<int64_t>(std::trunc(
        SplineLength(seg.p[0], seg.p[1], seg.p[2], seg.p[3], seg.p[4], seg.p[5], seg.p[6],
                     seg.p[7], 3)));
    const int64_t end = start + len * n / total;
    if (start <= k && k <= end) {
      const int64_t h = (k - start) * 100 / (end - start + 1);
      float px, py;
      seg.SetUp();
      seg.At(static_cast<float>(h) / 100.0f, &px, &py);
      *x = TruncInt(px + 0.5f);
      *y = TruncInt(py + 0.5f);
      return;
    }
    start = end;
    a = b;
  }
  put(a);
}

int32_t CPath::Tan_atOnSpline(float x, float y, const CPathPoint* a, const CPathPoint* b,
                              float* dx, float* dy) const {
  int16_t h = 0;
  if (a == nullptr || b == nullptr || dx == nullptr || dy == nullptr ||
      IfOnSegment(x, y, a, b, &h) == 0) {
    return -1;
  }
  if (h == 0) {
    *dx = a->outX - a->x;
    *dy = a->outY - a->y;
    return 1;
  }
  if (h == 100) {
    *dx = b->x - b->inX;
    *dy = b->y - b->inY;
    return 2;
  }
  // The two inner points of the exact subdivision at s: their difference is
  // a third of the curve's derivative there.
  const float s = static_cast<float>(h) / 100.0f;
  auto lerp = [s](float p, float q) { return p + (q - p) * s; };
  const float q01x = lerp(a->x, a->outX), q01y = lerp(a->y, a->outY);
  const float q12x = lerp(a->outX, b->inX), q12y = lerp(a->outY, b->inY);
  const float q23x = lerp(b->inX, b->x), q23y = lerp(b->inY, b->y);
  *dx = lerp(q12x, q23x) - lerp(q01x, q12x);
  *dy = lerp(q12y, q23y) - lerp(q01y, q12y);
  return 3;
}

void CPath::InterPolatePath(const CPath* a, const CPath* b, float t) {
  if (first != nullptr || a == nullptr || b == nullptr || a->first == nullptr ||
      b->first == nullptr) {
    return;
  }
  const std::vector<const CPathPoint*> ka = Knots(a);
  const std::vector<const CPathPoint*> kb = Knots(b);
  ChainAppender out(this);
  auto add = [&](const CPathPoint* pa, const CPathPoint* pb, int16_t mark) {
    CPathPoint* k = new CPathPoint;
    k->InterPolatePoint(pa, pb, t);
    k->markNum = mark;
    out.Link(k);
  };

  if (a->count == b->count) {
    const size_t n = std::min(ka.size(), kb.size());
    for (size_t i = 0; i < n; ++i) add(ka[i], kb[i], i == 0 ? 1 : kb[i]->markNum);
  } else {
    // The tables are as long as the paths: a knot beyond a fixed size would
    // otherwise be paired with a table entry that was never written.
    const std::vector<float> ra = RelativeLengths(a);
    const std::vector<float> rb = RelativeLengths(b);
    const bool aLeads = a->count > b->count;
    const std::vector<const CPathPoint*>& lead = aLeads ? ka : kb;
    const std::vector<const CPathPoint*>& other = aLeads ? kb : ka;
    const std::vector<float>& rl = aLeads ? ra : rb;
    const std::vector<float>& ro = aLeads ? rb : ra;
    const size_t otherUsed = std::min(other.size(), ro.size());
    add(ka[0], kb[0], 1);
    for (size_t i = 1; i < lead.size() && i < rl.size(); ++i) {
      const CPathPoint* partner = other[Nearest(ro, otherUsed, rl[i])];
      add(aLeads ? lead[i] : partner, aLeads ? partner : lead[i], lead[i]->markNum);
    }
    markCount = 1;
  }
  closed = 1;
  CPathPoint* last = paths_detail::OpenChainLast(first, count);
  if (last != nullptr) {
    last->next = first;
    first->prev = last;
  }
}

int32_t CPath::X_TwoPartPaths_toGrid(const CPath* other, int16_t from, int16_t to, int16_t n,
                                     TCWrap* grid) const {
  if (other == nullptr || grid == nullptr) return -1;
  // Two rows of n + 1 nodes must fit the node tables, and n cells need n >= 1.
  if (n < 1 || 2 * (static_cast<int32_t>(n) + 1) > kTCWrapMaxNodes) return -1;
  const float L1 = GetAcuPathLength();
  const float L2 = other->GetAcuPathLength();
  if (!(L1 >= 0.01f) || !(L2 >= 0.01f) || from == to) return -1;
  grid->columns = n;
  grid->rows = 1;
  // The destination lattice: the one the grid warp pulls the picture into.
  TCWrapNodes& nodes = grid->set2;
  auto row = [&](const CPath* p, float L, int32_t base) {
    const float start = L * from / 100.0f;
    const float span = L * to / 100.0f - start;
    for (int32_t i = 0; i <= n; ++i) {
      float x = 0.0f, y = 0.0f, ang = 0.0f;
      p->GetPointAtLength(1, start + span * static_cast<float>(i) / static_cast<float>(n), &ang,
                          &x, &y, nullptr, nullptr);
      nodes.x[base + i] = x;
      nodes.y[base + i] = y;
    }
  };
  row(this, L1, 0);
  row(other, L2, n + 1);
  return 0;
}
