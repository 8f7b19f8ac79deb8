// Scan-line fill: crossings, the soft fill and its ramps, the feathered hard
// fill, the colour blend, and failures of work memory.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "path_fixture.h"
#include "paths/path_fill.h"
#include "paths/path_list.h"
#include "paths/text_objects.h"
#include "platform/memory/memory.h"

using pathtest::ClosedPath;
using pathtest::OpenPath;

namespace {

constexpr int32_t kW = 64;
constexpr int32_t kH = 48;

// Fails the n-th allocation from now for the life of the object.
class FailingAllocation {
 public:
  explicit FailingAllocation(int64_t n) { plat::FailNthAllocation(n); }
  ~FailingAllocation() { plat::FailNthAllocation(-1); }
};

class PathFillTest : public pathtest::PathTest {
 protected:
  // Appends a path to the list.
  static CPath* Add(CPathList& l, CPath* p) {
    if (l.first == nullptr) {
      l.first = p;
    } else {
      CPath* last = l.first;
      while (last->next != nullptr) last = last->next;
      last->next = p;
    }
    ++l.count;
    return p;
  }
  static CPath* Square(CPathList& l, float x0, float y0, float x1, float y1) {
    return Add(l, ClosedPath({{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}));
  }

  // Mask sample at a path position (rows count down from the flip height).
  uint8_t At(int32_t x, int32_t pathY) const { return mask_[(kH - pathY) * kW + x]; }
  int32_t Fill(CPathList& l, int32_t feather = 0, int16_t mode = 0) {
    return FillColPath(mode, &l, kH, kW, mask_.data(), 1, kH, 1.0f, 1.0f, 0, 0, 255, feather);
  }
  bool MaskEmpty() const {
    return std::all_of(mask_.begin(), mask_.end(), [](uint8_t v) { return v == 0; });
  }

  std::vector<uint8_t> mask_ = std::vector<uint8_t>(kW * kH, 0);
};

// Lines for rows, owned by the test.
struct Rows {
  explicit Rows(int n) : lines(n), table(n) {
    for (int i = 0; i < n; ++i) table[i] = &lines[i];
  }
  std::vector<VFLine> lines;
  std::vector<VFLine*> table;
};

TEST_F(PathFillTest, LinesKeepTheirPointsAndSort) {
  VFLine line;
  EXPECT_EQ(line.head, nullptr);
  line.Attach(3.0f);
  VFPt* second = line.Attach(1.0f);
  line.Attach(2.0f);
  EXPECT_EQ(line.count, 3);
  EXPECT_EQ(line.head->next, second);
  line.Sort();
  EXPECT_EQ(line.head->x, 1.0f);
  EXPECT_EQ(second->x, 2.0f);
  EXPECT_EQ(second->next->x, 3.0f);
  EXPECT_EQ(session_.memMan().count(), 0);
}

TEST_F(PathFillTest, SoftSpanEndsCarryTheirFraction) {
  Rows rows(2);
  rows.lines[0].Attach(20.75f);
  rows.lines[0].Attach(10.25f);
  std::vector<uint8_t> m(2 * 32, 0);
  ASSERT_EQ(VFFillOpaCharBuf(m.data(), 2, 32, rows.table.data(), 255, nullptr, nullptr, nullptr,
                             nullptr, 0, 0, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr),
            1);
  std::vector<uint8_t> want(64, 0);
  want[10] = 191;
  std::fill(want.begin() + 11, want.begin() + 21, 255);
  want[21] = 191;
  EXPECT_EQ(m, want);
}

TEST_F(PathFillTest, RowsHoldMoreThanSixteenBitsOfCrossings) {
  constexpr int32_t kPairs = 20000;  // 40000 crossings on one row
  constexpr int32_t kWide = 4 * kPairs;
  Rows rows(1);
  for (int32_t i = 0; i < kPairs; ++i) {
    rows.lines[0].Attach(4.0f * i + 1.0f);
    rows.lines[0].Attach(4.0f * i + 3.0f);
  }
  EXPECT_EQ(rows.lines[0].count, 2 * kPairs);
  std::vector<uint8_t> m(kWide, 0);
  ASSERT_EQ(VFFillOpaCharBuf(m.data(), 1, kWide, rows.table.data(), 255, nullptr, nullptr,
                             nullptr, nullptr, 0, 0, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr),
            1);
  EXPECT_EQ(std::count(m.begin(), m.end(), 255), 3 * kPairs);
  EXPECT_EQ(m[kWide - 4], 0);
  EXPECT_EQ(m[kWide - 1], 255);
}

TEST_F(PathFillTest, EdgesMovingMoreThanAPixelAreRamped) {
  // Row 0 spans 10-20, row 1 spans 5-15: the left edge moves out on row 1
  // (ramp on row 0), the right edge lies further out on row 0 (ramp on row 1).
  Rows rows(2);
  rows.lines[0].Attach(10.0f);
  rows.lines[0].Attach(20.0f);
  rows.lines[1].Attach(5.0f);
  rows.lines[1].Attach(15.0f);
  std::vector<uint8_t> m(2 * 32, 0);
  ASSERT_EQ(VFFillOpaCharBuf(m.data(), 2, 32, rows.table.data(), 255, nullptr, nullptr, nullptr,
                             nullptr, 0, 0, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr),
            1);
  std::vector<uint8_t> want(64, 0);
  const uint8_t up[5] = {0, 51, 102, 153, 204};
  std::copy(up, up + 5, want.begin() + 6);
  std::fill(want.begin() + 11, want.begin() + 21, 255);
  std::fill(want.begin() + 32 + 5, want.begin() + 32 + 16, 255);
  const uint8_t down[5] = {204, 153, 102, 51, 0};
  std::copy(down, down + 5, want.begin() + 32 + 16);
  EXPECT_EQ(m, want);
}

TEST_F(PathFillTest, HorizontalEdgesAddNothingAndTurnsKeepRowsEven) {
  CPathList l(0);
  Square(l, 10, 10, 30, 30);
  // A triangle with its apex at path y 33 (row 15): the walk turns back
  // there. Its rows (3 to 15) lie below the square's (18 to 38).
  Add(l, ClosedPath({{45, 33}, {55, 45}, {35, 45}}));
  Rows rows(kH);
  ASSERT_EQ(Fill_Px_Py(0, &l, rows.table.data(), kH, kW, 0, 0, kH, 1.0f, 1.0f), 0);
  for (int y = 0; y < kH; ++y) EXPECT_EQ(rows.lines[y].count % 2, 0) << "row " << y;
  // The square's horizontal edges on rows 38 and 18 add no crossing: each
  // of its rows holds exactly its two sides.
  for (int y = 18; y <= 22; ++y) {
    rows.lines[y].Sort();
    EXPECT_EQ(rows.lines[y].count, 2) << "row " << y;
    EXPECT_EQ(rows.lines[y].head->x, 10.0f);
    EXPECT_EQ(rows.lines[y].head->next->x, 30.0f);
  }
  EXPECT_EQ(rows.lines[38].count, 2);
  EXPECT_EQ(rows.lines[39].count, 0);
  // The apex row holds the walk's crossing and the turning one at the
  // integer column of the step before.
  VFLine& apex = rows.lines[15];
  apex.Sort();
  ASSERT_EQ(apex.count, 2);
  EXPECT_NEAR(apex.head->x, 45.0f, 1e-4f);
  EXPECT_NEAR(apex.head->next->x, 45.0f, 1e-4f);
  EXPECT_TRUE(apex.head->x == 45.0f || apex.head->next->x == 45.0f);
  EXPECT_EQ(rows.lines[3].count, 2);
  EXPECT_EQ(session_.memMan().count(), 0);
}

TEST_F(PathFillTest, EvenOddModesAndPathsThatGiveNothing) {
  CPathList l(0);
  Square(l, 10, 10, 30, 30);
  Square(l, 20, 20, 40, 40);
  ASSERT_EQ(Fill(l), 0);
  EXPECT_EQ(At(15, 15), 255);
  EXPECT_EQ(At(35, 35), 255);
  EXPECT_EQ(At(25, 25), 0);  // the overlap
  EXPECT_EQ(At(50, 15), 0);

  // Mode 1 leaves out the inactive second square.
  std::fill(mask_.begin(), mask_.end(), 0);
  l.first->next->active = 0;
  ASSERT_EQ(Fill(l, 0, 1), 0);
  EXPECT_EQ(At(25, 25), 255);
  EXPECT_EQ(At(35, 35), 0);

  // No paths, single knots, flat figures and text paths add nothing.
  CPathList none(0);
  Add(none, OpenPath({{5, 5}}));
  Add(none, ClosedPath({{5, 20}, {40, 20}, {20, 20}}));
  CPath* text = Square(none, 10, 10, 30, 30);
  text->CreaTxtPath();
  std::fill(mask_.begin(), mask_.end(), 0);
  EXPECT_EQ(Fill(none), 0);
  EXPECT_TRUE(MaskEmpty());
  CPathList empty(0);
  EXPECT_EQ(Fill(empty), 0);
  EXPECT_TRUE(MaskEmpty());

  // An open path fills as if closed.
  CPathList open(0);
  Add(open, OpenPath({{10, 10}, {30, 10}, {30, 30}, {10, 30}}));
  ASSERT_EQ(Fill(open), 0);
  EXPECT_EQ(At(20, 20), 255);
}

TEST_F(PathFillTest, FeatherOneIsAPlainHardFill) {
  CPathList l(0);
  Add(l, ClosedPath({{10, 10}, {50, 14}, {30, 40}}));
  ASSERT_EQ(Fill(l, 1), 0);
  // Only 0 and V, and every row's inside is one run from trunc(A) to
  // trunc(B) of its crossings.
  Rows rows(kH);
  ASSERT_EQ(Fill_Px_Py(0, &l, rows.table.data(), kH, kW, 0, 0, kH, 1.0f, 1.0f), 0);
  int inside = 0;
  for (int y = 0; y < kH; ++y) {
    std::vector<uint8_t> want(kW, 0);
    if (rows.lines[y].count == 2) {
      rows.lines[y].Sort();
      const int a = static_cast<int>(rows.lines[y].head->x);
      const int b = static_cast<int>(rows.lines[y].head->next->x);
      std::fill(want.begin() + a, want.begin() + b + 1, 255);
      inside += b - a + 1;
    }
    EXPECT_EQ(std::vector<uint8_t>(mask_.begin() + y * kW, mask_.begin() + (y + 1) * kW), want)
        << "row " << y;
  }
  EXPECT_GT(inside, 400);
}

TEST_F(PathFillTest, FeatherStampsEdgesAndTheBorder) {
  // A figure covering the whole mask: the border samples are stamped (the
  // larger value wins), the inner ones are set to V.
  CPathList l(0);
  Square(l, -5, -5, kW + 5, kH + 5);
  std::fill(mask_.begin(), mask_.end(), 200);
  ASSERT_EQ(FillColPath(0, &l, kH, kW, mask_.data(), 1, kH, 1.0f, 1.0f, 0, 0, 100, 3), 0);
  EXPECT_EQ(mask_[0], 200);
  EXPECT_EQ(mask_[kW - 1], 200);
  EXPECT_EQ(mask_[(kH - 1) * kW + 5], 200);
  EXPECT_EQ(mask_[5 * kW], 200);
  EXPECT_EQ(mask_[5 * kW + 5], 100);

  // Outside an edge the kernel falls off: V - V * d^2 / R^2.
  CPathList half(0);
  Square(half, -5, -5, 20, kH + 5);
  std::fill(mask_.begin(), mask_.end(), 0);
  ASSERT_EQ(Fill(half, 3), 0);
  const uint8_t* row = &mask_[20 * kW];
  EXPECT_EQ(row[20], 255);
  EXPECT_EQ(row[21], 255 - 255 / 9);
  EXPECT_EQ(row[22], 255 - 255 * 4 / 9);
  EXPECT_EQ(row[23], 0);
}

TEST_F(PathFillTest, SixteenBitSoftFillMatchesTheByteFill) {
  CPathList l(0);
  Add(l, ClosedPath({{10, 10}, {50, 14}, {30, 40}}));
  ASSERT_EQ(Fill(l), 0);
  std::vector<uint16_t> wide(kW * kH, 0);
  ASSERT_EQ(FillColPath(0, &l, kH, kW, reinterpret_cast<uint8_t*>(wide.data()), 2, kH, 1.0f,
                        1.0f, 0, 0, 255, 0),
            0);
  EXPECT_TRUE(std::equal(wide.begin(), wide.end(), mask_.begin()));
  EXPECT_GT(std::count(wide.begin(), wide.end(), 255), 400);
}

TEST_F(PathFillTest, ColourBlendInsideTheMask) {
  CPathList l(0);
  Square(l, 10, 10, 30, 30);
  const int32_t pw = kW + 6;  // planes wider than the mask
  std::vector<uint8_t> planes[4];
  for (auto& p : planes) p.assign(pw * kH, 50);
  std::vector<uint8_t> sel(pw * kH, 255);
  const uint8_t colour[4] = {10, 20, 30, 40};
  int16_t opacity = 0;
  auto blend = [&](int16_t channels, uint8_t* p3, const uint8_t* selection) {
    std::fill(mask_.begin(), mask_.end(), 0);
    return FillColinPath(0, &l, kH, kW, mask_.data(), kH, planes[0].data(), planes[1].data(),
                         planes[2].data(), p3, kH, pw, 0, 0, kW - 1, kH - 1, channels, selection,
                         colour, &opacity);
  };
  ASSERT_EQ(blend(4, planes[3].data(), sel.data()), 0);
  for (auto& p : planes) EXPECT_TRUE(std::all_of(p.begin(), p.end(), [](uint8_t v) { return v == 50; }));

  opacity = 255;
  // More than four channels blend four; no selection plane selects all.
  ASSERT_EQ(blend(9, planes[3].data(), nullptr), 0);
  const int32_t at = (kH - 20) * pw + 20;
  for (int c = 0; c < 4; ++c) EXPECT_EQ(planes[c][at], colour[c]) << "channel " << c;
  EXPECT_EQ(planes[0][(kH - 20) * pw + 40], 50);  // outside
  // A missing fourth plane ends the channels at three.
  for (auto& p : planes) std::fill(p.begin(), p.end(), 50);
  ASSERT_EQ(blend(4, nullptr, sel.data()), 0);
  EXPECT_EQ(planes[2][at], 30);
  EXPECT_EQ(planes[3][at], 50);
  // Partial mask and selection: ((255 - a) v + a k) / 255 weighed by u.
  for (auto& p : planes) std::fill(p.begin(), p.end(), 50);
  std::fill(sel.begin(), sel.end(), 128);
  opacity = 200;
  ASSERT_EQ(blend(1, nullptr, sel.data()), 0);
  const int t = ((255 - 200) * 50 + 200 * 10) / 255;
  const int u = 128 * 255 / 255;
  EXPECT_EQ(planes[0][at], (50 * (255 - u) + u * t) / 255);
}

TEST_F(PathFillTest, RefusedMemoryFailsAndWritesNothing) {
  CPathList l(0);
  Square(l, 10, 10, 30, 30);
  const int64_t live = plat::LiveBlockCount();
  // 0 the row table, 1 and 2 the path's sample tables, 3 a row array.
  for (int64_t n : {0, 1, 2, 3}) {
    FailingAllocation fail(n);
    EXPECT_EQ(Fill(l), -1) << "allocation " << n;
    EXPECT_TRUE(MaskEmpty()) << "allocation " << n;
  }
  {
    FailingAllocation fail(3);
    std::vector<uint16_t> wide(kW * kH, 0);
    EXPECT_EQ(FillColPath(0, &l, kH, kW, reinterpret_cast<uint8_t*>(wide.data()), 2, kH, 1.0f,
                          1.0f, 0, 0, 255, 0),
              -1);
  }
  {
    // The hard fill: 3 the inside plane, 4 the row array (the feathering
    // still runs, over nothing), 5 the kernel.
    for (int64_t n : {3, 4, 5}) {
      FailingAllocation fail(n);
      EXPECT_EQ(Fill(l, 2), -1) << "allocation " << n;
      EXPECT_TRUE(MaskEmpty());
    }
  }
  {
    FailingAllocation fail(0);
    const int16_t opacity = 255;
    const uint8_t colour[3] = {1, 2, 3};
    std::vector<uint8_t> p(kW * kH, 7);
    EXPECT_EQ(FillColinPath(0, &l, kH, kW, mask_.data(), kH, p.data(), p.data(), p.data(),
                            nullptr, kH, kW, 0, 0, kW - 1, kH - 1, 3, nullptr, colour, &opacity),
              -1);
    EXPECT_TRUE(std::all_of(p.begin(), p.end(), [](uint8_t v) { return v == 7; }));
  }
  EXPECT_EQ(session_.memMan().count(), 0);
  EXPECT_EQ(plat::LiveBlockCount(), live);

  // An empty mask is no failure: nothing to write.
  EXPECT_EQ(FillColPath(0, &l, 0, kW, mask_.data(), 1, kH, 1.0f, 1.0f, 0, 0, 255, 0), 0);
  EXPECT_EQ(FillColPath(0, &l, kH, -3, mask_.data(), 1, kH, 1.0f, 1.0f, 0, 0, 255, 4), 0);
  EXPECT_TRUE(MaskEmpty());
}

TEST_F(PathFillTest, CrossingsBeyondTheMaskStayInside) {
  // A figure far larger than the mask and one mirrored below it: every
  // crossing is clamped or dropped, every write bounded.
  CPathList l(0);
  Square(l, -3000, -3000, 3000, 3000);
  Square(l, 10, kH + 20, 30, kH + 40);
  std::vector<uint8_t> guarded(kW * kH + 64, 0xAB);
  EXPECT_EQ(FillColPath(0, &l, kH, kW, guarded.data() + 32, 1, kH, 1.0f, 1.0f, 0, 0, 255, 0), 0);
  EXPECT_EQ(FillColPath(0, &l, kH, kW, guarded.data() + 32, 1, kH, 3.0f, 5.0f, 0, 0, 255, 4), 0);
  for (int i = 0; i < 32; ++i) {
    EXPECT_EQ(guarded[i], 0xAB);
    EXPECT_EQ(guarded[guarded.size() - 1 - i], 0xAB);
  }
}

}  // namespace
