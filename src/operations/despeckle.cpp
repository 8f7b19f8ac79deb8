// Despeckling in passes over one work mask. Each blob is counted, then
// either left alone (big enough), merged into its most similar touching
// colour (close enough), or finished in its own colour.
#include "operations/despeckle.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/memory/block.h"
#include "platform/types/plane_view.h"

namespace {

constexpr unsigned char kCounted = 1;
constexpr unsigned char kSearched = 2;
constexpr unsigned char kFinished = 3;

// Visits the scan-line runs reached from (x, y), depth first: for each
// column of a run, the row above and then the row below. enter(x, y, x1,
// x2) tests and marks one place and answers whether it opened a run
// x1..x2 to walk on from.
template <typename Enter>
void WalkRuns(int32_t x, int32_t y, int32_t height, Enter enter, int32_t* stopAt = nullptr,
              const int32_t* count = nullptr) {
  struct Frame {
    int32_t y, x2, col;
    bool below;
  };
  // One stack per thread, kept between blobs: a pass walks millions of blobs, and a stack made
  // for each cost a fifth of the despeckle in allocations. No walk runs inside another.
  thread_local std::vector<Frame> stack;
  stack.clear();
  auto visit = [&](int32_t vx, int32_t vy) {
    if (vy < 0 || vy >= height) return;
    int32_t x1 = 0, x2 = 0;
    if (enter(vx, vy, x1, x2)) stack.push_back({vy, x2, x1, false});
  };
  visit(x, y);
  while (!stack.empty() && (stopAt == nullptr || *count < *stopAt)) {
    Frame& f = stack.back();
    if (f.col > f.x2) {
      stack.pop_back();
      continue;
    }
    const int32_t vx = f.col;
    const int32_t vy = f.below ? f.y + 1 : f.y - 1;
    if (f.below) ++f.col;
    f.below = !f.below;
    visit(vx, vy);
  }
}

// The run through column x of the columns that satisfy `same`.
template <typename Same>
void RunOf(int32_t x, int32_t width, Same same, int32_t& x1, int32_t& x2) {
  x1 = x;
  while (x1 > 0 && same(x1 - 1)) --x1;
  x2 = x;
  while (x2 < width - 1 && same(x2 + 1)) ++x2;
}

void MarkRun(unsigned char* mask, int64_t row, int32_t x1, int32_t x2, unsigned char mark) {
  std::memset(mask + row + x1, mark, static_cast<size_t>(x2 - x1 + 1));
}

// One 8-bit plane: a colour is a sample. The searches read a plane they
// never write, so `Sample` may be const.
template <typename Sample>
struct Grey {
  using Colour = unsigned char;
  plat::PlaneView<Sample> plane;
  Colour at(int32_t x, int32_t y) const { return plane.At(x, y); }
  void set(int32_t x, int32_t y, Colour c) const { plane.At(x, y) = c; }
  static int32_t error(Colour a, Colour b) { return (a - b) * (a - b); }
};

// Three 8-bit planes: a colour is the triple at one place.
struct Rgb {
  using Colour = std::array<unsigned char, 3>;
  std::array<plat::PlaneView<unsigned char>, 3> planes;
  Colour at(int32_t x, int32_t y) const {
    return {planes[0].At(x, y), planes[1].At(x, y), planes[2].At(x, y)};
  }
  void set(int32_t x, int32_t y, const Colour& c) const {
    for (int k = 0; k < 3; ++k) planes[k].At(x, y) = c[k];
  }
  static int32_t error(const Colour& a, const Colour& b) {
    int32_t e = 0;
    for (int k = 0; k < 3; ++k) e += (a[k] - b[k]) * (a[k] - b[k]);
    return e;
  }
};

// The blob's size; with a stopAt, counting may end as soon as the size
// reaches it (the walked part then stays marked counted).
template <typename Px>
int32_t FindSize(const Px& px, typename Px::Colour colour, int32_t x, int32_t y, int32_t width,
                 int32_t height, unsigned char* mask, int32_t stopAt = 0) {
  int32_t count = 0;
  WalkRuns(x, y, height, [&](int32_t vx, int32_t vy, int32_t& x1, int32_t& x2) {
    const int64_t row = static_cast<int64_t>(vy) * width;
    if (mask[row + vx] == kCounted || px.at(vx, vy) != colour) return false;
    RunOf(vx, width, [&](int32_t c) { return px.at(c, vy) == colour; }, x1, x2);
    count += x2 - x1 + 1;
    MarkRun(mask, row, x1, x2, kCounted);
    return true;
  }, stopAt > 0 ? &stopAt : nullptr, &count);
  return count;
}

template <typename Px>
void FindMostSimilar(const Px& px, typename Px::Colour colour, typename Px::Colour& best,
                     int32_t& bestError, int32_t x, int32_t y, int32_t width, int32_t height,
                     unsigned char* mask) {
  auto candidate = [&](int32_t cx, int32_t cy) {
    const int32_t e = Px::error(px.at(cx, cy), colour);
    if (bestError < 0 || e < bestError) {
      best = px.at(cx, cy);
      bestError = e;
    }
  };
  WalkRuns(x, y, height, [&](int32_t vx, int32_t vy, int32_t& x1, int32_t& x2) {
    const int64_t row = static_cast<int64_t>(vy) * width;
    if (mask[row + vx] == kSearched) return false;
    if (px.at(vx, vy) != colour) {
      candidate(vx, vy);
      return false;
    }
    RunOf(vx, width, [&](int32_t c) { return px.at(c, vy) == colour; }, x1, x2);
    if (x1 > 0) candidate(x1 - 1, vy);
    if (x2 < width - 1) candidate(x2 + 1, vy);
    MarkRun(mask, row, x1, x2, kSearched);
    return true;
  });
}

template <typename Px>
void Fill(const Px& px, typename Px::Colour colour, int32_t x, int32_t y, int32_t width,
          int32_t height, unsigned char* mask) {
  WalkRuns(x, y, height, [&](int32_t vx, int32_t vy, int32_t& x1, int32_t& x2) {
    const int64_t row = static_cast<int64_t>(vy) * width;
    if (mask[row + vx] != kSearched) return false;
    RunOf(vx, width, [&](int32_t c) { return mask[row + c] == kSearched; }, x1, x2);
    for (int32_t c = x1; c <= x2; ++c) px.set(c, vy, colour);
    MarkRun(mask, row, x1, x2, kFinished);
    return true;
  });
}

// ---- the quick pass ----
//
// What a pass does to the colours depends on the mask in one way only: a pixel marked finished
// is not a starting point. Counting and searching walk finished pixels like unvisited ones, and
// a blob at the limit is never recoloured in its pass, so its area only grows (merged speckles
// join it) and any later start inside it again finds it at the limit and changes nothing. So
// whichever part of such a blob is marked finished, as long as it holds the start, the colours
// come out the same. (It is also why counting need not go on past the limit: measured on a
// 2048 x 1536 texture cut to eight grey levels with grain, at level 8, counting every blob in
// full took 24 s.) The quick pass uses this: a start whose own run, with the runs right above
// and below it, already reaches the limit finishes that run alone, a row scan instead of a walk
// of the whole area; and at small limits a blob counted to the limit has only the runs walked
// finished. A blob is counted and searched in one walk (the search walks the very runs the
// count walks, in the same order) whose runs are kept, so a small blob is recoloured from its
// run list. Lone pixels, the bulk of a noisy plane, skip the walk altogether. The walk order
// (and so which of two equally near colours wins) is the plain walk's.
//
// Measured on 6000 x 4000 planes at the render's defaults (level 4, tightness 2.4), one plane on
// one thread of the shared 8-core machine (load about 4): the (x ^ y) plane of lone pixels 1.91 s
// to 0.44 s, a ramp of 23-pixel columns 0.90 s to 0.07 s, one of 15-row bands 0.58 s to 0.05 s.
// Counting the runs above and below, not only the two pixels, took the (x ^ y) plane from 0.64
// to 0.51 s of processor time under a load of 15. Stepping over finished marks eight at a time
// gained nothing measurable; walking on past a small limit to finish more of a blob at once
// (four limits) cost a third more: both left out.

// A pixel's colour as one number, for quick equality; samples read by index of a packed plane.
struct GreyKeys {
  unsigned char* plane;
  using Key = uint32_t;
  Key key(int64_t i) const { return plane[i]; }
  void set(int64_t i, Key k) const { plane[i] = static_cast<unsigned char>(k); }
  static int32_t error(Key a, Key b) {
    const int32_t d = static_cast<int32_t>(a) - static_cast<int32_t>(b);
    return d * d;
  }
};

struct RgbKeys {
  unsigned char* r;
  unsigned char* g;
  unsigned char* b;
  using Key = uint32_t;
  Key key(int64_t i) const {
    return static_cast<uint32_t>(r[i]) | static_cast<uint32_t>(g[i]) << 8 |
           static_cast<uint32_t>(b[i]) << 16;
  }
  void set(int64_t i, Key k) const {
    r[i] = static_cast<unsigned char>(k);
    g[i] = static_cast<unsigned char>(k >> 8);
    b[i] = static_cast<unsigned char>(k >> 16);
  }
  static int32_t error(Key a, Key b) {
    int32_t e = 0;
    for (int s = 0; s < 24; s += 8) {
      const int32_t d = static_cast<int32_t>((a >> s) & 255) - static_cast<int32_t>((b >> s) & 255);
      e += d * d;
    }
    return e;
  }
};

struct RunAt {
  int64_t row;  // index of the row's first pixel
  int32_t x1, x2;
};

struct WalkFrame {
  int32_t y, x2, col;
  bool below;
};

// Work lists of one despeckle, kept from blob to blob and pass to pass: room for the runs and
// frames of a counting walk (at most the largest limit, or every pixel), and a stack for the
// walks that finish a whole blob, which have no such bound.
struct Work {
  WalkFrame* frames = nullptr;
  RunAt* runs = nullptr;
  std::vector<WalkFrame> stack;
};

// The largest limit at which a blob found at its limit has only its walked runs finished.
constexpr int32_t kWalkedOnly = 64;

template <typename Keys>
class QuickPass {
 public:
  using Key = typename Keys::Key;

  QuickPass(const Keys& keys, int32_t width, int32_t height, int32_t limit, int32_t threshold,
            unsigned char* mask, Work& work)
      : k_(keys),
        w_(width),
        h_(height),
        limit_(limit),
        mask_(mask),
        work_(work),
        mostMerged_(MostMerged(threshold)) {}

  void Run() {
    for (int32_t y = 0; y < h_; ++y) {
      const int64_t row = static_cast<int64_t>(y) * w_;
      for (int32_t x = 0; x < w_; ++x) {
        if (mask_[row + x] != 0) continue;
        const Key c = k_.key(row + x);
        int32_t x1 = x, x2 = x;
        while (x1 > 0 && k_.key(row + x1 - 1) == c) --x1;
        while (x2 < w_ - 1 && k_.key(row + x2 + 1) == c) ++x2;
        if (x2 - x1 + 1 >= limit_) {
          Mark(mask_ + row + x1, x2 - x1 + 1, kFinished);
          x = x2;
          continue;
        }
        // The run and the runs right above and below it belong to the blob.
        const int32_t need = limit_ - (x2 - x1 + 1);
        const int32_t above = y > 0 ? RunsAlong(row - w_, x1, x2, c, need) : 0;
        const int32_t touching =
            above + (y < h_ - 1 && above < need ? RunsAlong(row + w_, x1, x2, c, need - above) : 0);
        if (x2 - x1 + 1 + touching >= limit_) {
          Mark(mask_ + row + x1, x2 - x1 + 1, kFinished);
          x = x2;
          continue;
        }
        if (x1 == x2 && touching == 0) {
          Lone(row + x, x, y, c);
          continue;
        }
        Blob(x, y, c);
      }
    }
  }

 private:
  // The pixels of the runs of colour c in the row at `row` that meet columns x1..x2, counted
  // no further than `need` (a run is not followed past it, so a long run costs no more).
  int32_t RunsAlong(int64_t row, int32_t x1, int32_t x2, Key c, int32_t need) const {
    int32_t total = 0;
    for (int32_t col = x1; col <= x2 && total < need; ++col) {
      if (k_.key(row + col) != c) continue;
      int32_t a = col, b = col;
      while (a > 0 && total + (b - a + 1) < need && k_.key(row + a - 1) == c) --a;
      while (b < w_ - 1 && total + (b - a + 1) < need && k_.key(row + b + 1) == c) ++b;
      total += b - a + 1;
      col = b;
    }
    return total;
  }

  // A pixel whose four neighbours all differ: a blob of one, below every limit of a pass that
  // runs. The plain search meets its neighbours left, right, above, below.
  void Lone(int64_t i, int32_t x, int32_t y, Key c) {
    Key best = c;
    int32_t bestError = -1;
    if (x > 0) Candidate(k_.key(i - 1), c, best, bestError);
    if (x < w_ - 1) Candidate(k_.key(i + 1), c, best, bestError);
    if (y > 0) Candidate(k_.key(i - w_), c, best, bestError);
    if (y < h_ - 1) Candidate(k_.key(i + w_), c, best, bestError);
    if (bestError < 0) {
      mask_[i] = kSearched;
      return;
    }
    if (Merges(bestError)) k_.set(i, best);
    mask_[i] = kFinished;
  }

  static void Candidate(Key other, Key c, Key& best, int32_t& bestError) {
    const int32_t e = Keys::error(other, c);
    if (bestError < 0 || e < bestError) {
      best = other;
      bestError = e;
    }
  }

  bool Merges(int32_t bestError) const { return bestError <= mostMerged_; }

  // The largest squared error that still merges: sqrt(e / 3.0) <= threshold holds for every e
  // up to it and none beyond (both steps round monotonically), so one look per pass replaces a
  // square root per blob.
  static int32_t MostMerged(int32_t threshold) {
    auto merges = [&](int32_t e) { return std::sqrt(e / 3.0) <= threshold; };
    int32_t lo = -1, hi = 3 * 255 * 255 + 1;  // past every error; merges(lo) or lo < 0
    if (merges(hi)) return hi;
    while (hi - lo > 1) {
      const int32_t mid = lo + (hi - lo) / 2;
      (merges(mid) ? lo : hi) = mid;
    }
    return lo;
  }

  // Marks x1..x2 of a row; runs here are mostly a few pixels, too short for a call to pay.
  static void Mark(unsigned char* at, int32_t count, unsigned char mark) {
    if (count > 16) {
      std::memset(at, mark, static_cast<size_t>(count));
      return;
    }
    for (int32_t i = 0; i < count; ++i) at[i] = mark;
  }

  // The count and the search in one walk, stopped once the count reaches the limit. Each run
  // walked adds at least one to the count, so the walk keeps at most `limit` runs and frames.
  void Blob(int32_t x, int32_t y, Key c) {
    const Keys k = k_;
    const int32_t w = w_, h = h_, limit = limit_;
    unsigned char* const mask = mask_;
    WalkFrame* const stack = work_.frames;
    RunAt* const runs = work_.runs;
    int32_t top = 0, runCount = 0, count = 0;
    Key best = c;
    int32_t bestError = -1;
    auto visit = [&](int32_t vx, int32_t vy) {
      if (vy < 0 || vy >= h) return;
      const int64_t row = static_cast<int64_t>(vy) * w;
      if (mask[row + vx] == kCounted) return;
      const Key here = k.key(row + vx);
      if (here != c) {
        Candidate(here, c, best, bestError);
        return;
      }
      int32_t x1 = vx, x2 = vx;
      while (x1 > 0 && k.key(row + x1 - 1) == c) --x1;
      while (x2 < w - 1 && k.key(row + x2 + 1) == c) ++x2;
      if (x1 > 0) Candidate(k.key(row + x1 - 1), c, best, bestError);
      if (x2 < w - 1) Candidate(k.key(row + x2 + 1), c, best, bestError);
      Mark(mask + row + x1, x2 - x1 + 1, kCounted);
      count += x2 - x1 + 1;
      runs[runCount++] = {row, x1, x2};
      stack[top++] = {vy, x2, x1, false};
    };
    visit(x, y);
    while (top > 0 && count < limit) {
      WalkFrame& f = stack[top - 1];
      if (f.col > f.x2) {
        --top;
        continue;
      }
      const int32_t vx = f.col;
      const int32_t vy = f.below ? f.y + 1 : f.y - 1;
      if (f.below) ++f.col;
      f.below = !f.below;
      visit(vx, vy);
    }
    if (count >= limit) {
      // With a small limit the walked runs alone are finished: a later start in the rest of
      // the blob walks no more than the limit again, less than walking the rest now.
      if (limit > kWalkedOnly) {
        Finish(x, y, c);
        return;
      }
      for (int32_t r = 0; r < runCount; ++r)
        Mark(mask + runs[r].row + runs[r].x1, runs[r].x2 - runs[r].x1 + 1, kFinished);
      return;
    }
    if (bestError < 0) {  // nothing else touches it: stays searched
      for (int32_t r = 0; r < runCount; ++r)
        Mark(mask + runs[r].row + runs[r].x1, runs[r].x2 - runs[r].x1 + 1, kSearched);
      return;
    }
    const Key to = bestError <= mostMerged_ ? best : c;
    for (int32_t r = 0; r < runCount; ++r) {
      const RunAt run = runs[r];
      if (to != c)
        for (int32_t col = run.x1; col <= run.x2; ++col) k.set(run.row + col, to);
      Mark(mask + run.row + run.x1, run.x2 - run.x1 + 1, kFinished);
    }
  }

  // A blob at a large limit: finished through every unvisited or counted pixel joined to the
  // start (a counted pixel left counted would hide it from later counts), so that the rest of a
  // large area is not counted to the limit again from each of its rows.
  void Finish(int32_t x, int32_t y, Key c) {
    std::vector<WalkFrame>& stack = work_.stack;
    stack.clear();
    auto open = [&](int64_t i) {
      return (mask_[i] == 0 || mask_[i] == kCounted) && k_.key(i) == c;
    };
    auto visit = [&](int32_t vx, int32_t vy) {
      if (vy < 0 || vy >= h_) return;
      const int64_t row = static_cast<int64_t>(vy) * w_;
      if (!open(row + vx)) return;
      int32_t x1 = vx, x2 = vx;
      while (x1 > 0 && open(row + x1 - 1)) --x1;
      while (x2 < w_ - 1 && open(row + x2 + 1)) ++x2;
      std::memset(mask_ + row + x1, kFinished, static_cast<size_t>(x2 - x1 + 1));
      stack.push_back({vy, x2, x1, false});
    };
    visit(x, y);
    while (!stack.empty()) {
      WalkFrame& f = stack.back();
      if (f.col > f.x2) {
        stack.pop_back();
        continue;
      }
      const int32_t vx = f.col;
      const int32_t vy = f.below ? f.y + 1 : f.y - 1;
      if (f.below) ++f.col;
      f.below = !f.below;
      visit(vx, vy);
    }
  }

  Keys k_;
  int32_t w_, h_, limit_;
  unsigned char* mask_;
  Work& work_;
  int32_t mostMerged_;
};

// The passes of one despeckle; pass 0 (limit 1) is left out, as every blob is at its limit
// there and nothing changes.
template <typename Keys>
int32_t Despeckle(const Keys& keys, int32_t height, int32_t width, int32_t level, float tightness) {
  const int64_t n = static_cast<int64_t>(height) * width;
  // One mask for every pass, cleared before each: a pass never runs
  // without it, and a refusal is known before anything changes.
  plat::Block<unsigned char> owner(n);
  const int64_t most = std::min<int64_t>(int64_t{1} << (level - 1), n);
  plat::Block<WalkFrame> frames(most);
  plat::Block<RunAt> runs(most);
  if (!owner || !frames || !runs) return -1;
  unsigned char* mask = owner.get();
  Work work;
  work.frames = frames.get();
  work.runs = runs.get();
  for (int32_t i = 1; i < level; ++i) {
    const int32_t limit = 1 << i;
    const auto threshold =
        static_cast<int32_t>(256.0 / (1.0 + static_cast<double>(tightness * static_cast<float>(i))));
    std::memset(mask, 0, static_cast<size_t>(n));
    QuickPass<Keys>(keys, width, height, limit, threshold, mask, work).Run();
  }
  return 0;
}

template <typename Sample>
Grey<Sample> GreyOf(Sample* plane, int32_t width, int32_t height) {
  return {plat::PlaneView<Sample>::Packed(plane, width, height)};
}

Rgb RgbOf(unsigned char* const planes[3], int32_t width, int32_t height) {
  using View = plat::PlaneView<unsigned char>;
  return {{View::Packed(planes[0], width, height), View::Packed(planes[1], width, height),
           View::Packed(planes[2], width, height)}};
}

}  // namespace

int32_t despeckle(unsigned char* red, unsigned char* green, unsigned char* blue, int16_t channels,
                  int32_t height, int32_t width, int32_t level, float tightness) {
  if (!(tightness >= 0.0f && tightness <= 8.0f) || level < 1 || level > 20) return -1;
  if (channels != 1 && channels != 3) return 0;
  if (red == nullptr || (channels == 3 && (green == nullptr || blue == nullptr))) return -1;
  if (height <= 0 || width <= 0) return 0;
  if (channels == 1) return Despeckle(GreyKeys{red}, height, width, level, tightness);
  return Despeckle(RgbKeys{red, green, blue}, height, width, level, tightness);
}

int32_t find_size(const unsigned char colour[3], int32_t x, int32_t y, int32_t width,
                  int32_t height, unsigned char* const planes[3], unsigned char* mask) {
  return FindSize(RgbOf(planes, width, height), Rgb::Colour{colour[0], colour[1], colour[2]}, x,
                  y, width, height, mask);
}

int32_t find_size_8(unsigned char colour, int32_t x, int32_t y, int32_t width, int32_t height,
                    const unsigned char* plane, unsigned char* mask) {
  return FindSize(GreyOf(plane, width, height), colour, x, y, width, height, mask);
}

void find_most_similar_neighbor(const unsigned char colour[3], unsigned char bestColour[3],
                                int32_t* bestError, int32_t x, int32_t y, int32_t width,
                                int32_t height, unsigned char* const planes[3],
                                unsigned char* mask) {
  Rgb::Colour best{bestColour[0], bestColour[1], bestColour[2]};
  FindMostSimilar(RgbOf(planes, width, height), Rgb::Colour{colour[0], colour[1], colour[2]},
                  best, *bestError, x, y, width, height, mask);
  for (int k = 0; k < 3; ++k) bestColour[k] = best[k];
}

void find_most_similar_neighbor_8(unsigned char colour, unsigned char* bestColour,
                                  int32_t* bestError, int32_t x, int32_t y, int32_t width,
                                  int32_t height, const unsigned char* plane, unsigned char* mask) {
  FindMostSimilar(GreyOf(plane, width, height), colour, *bestColour, *bestError, x, y, width,
                  height, mask);
}

void fill(const unsigned char colour[3], int32_t x, int32_t y, int32_t width, int32_t height,
          unsigned char* const planes[3], unsigned char* mask) {
  Fill(RgbOf(planes, width, height), Rgb::Colour{colour[0], colour[1], colour[2]}, x, y, width,
       height, mask);
}

void fill_8(unsigned char colour, int32_t x, int32_t y, int32_t width, int32_t height,
            unsigned char* plane, unsigned char* mask) {
  Fill(GreyOf(plane, width, height), colour, x, y, width, height, mask);
}

void ignore(int32_t x, int32_t y, int32_t width, int32_t height, unsigned char* mask) {
  WalkRuns(x, y, height, [&](int32_t vx, int32_t vy, int32_t& x1, int32_t& x2) {
    const int64_t row = static_cast<int64_t>(vy) * width;
    if (mask[row + vx] != kCounted) return false;
    RunOf(vx, width, [&](int32_t c) { return mask[row + c] == kCounted; }, x1, x2);
    MarkRun(mask, row, x1, x2, kFinished);
    return true;
  });
}
