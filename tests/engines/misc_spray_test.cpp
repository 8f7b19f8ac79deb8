// The spray engine: its step-and-repeat grid, mask table, averages, how a cell is laid
// (weights, wrapping) and the random spray's draws.
#include "engines/patterns/misc_spray.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "paths/path_list.h"
#include "paths/shape_params.h"
#include "platform/random/random.h"
#include "support/session.h"

namespace {

using Plane = std::vector<uint8_t>;

TEST(MiscSpray, StaggeredGridAndTheEmptyOne) {
  MiscSpray s;
  s.PrepareSprayPat(100, 60, 20, 50);
  ASSERT_EQ(s.patternCount, 15);
  const TSprayPat* n = s.patternHead;
  for (int32_t r = 0; r < 3; ++r) {
    for (int32_t c = 0; c < 5; ++c, n = n->next) {
      ASSERT_NE(n, nullptr);
      EXPECT_EQ(n->left, c * 20 + (r == 1 ? 10 : 0));
      EXPECT_EQ(n->top, r * 20);
      EXPECT_EQ(n->right - n->left, 20);
      EXPECT_EQ(n->bottom - n->top, 20);
    }
  }
  ASSERT_NE(n, nullptr);  // the closing empty node
  EXPECT_EQ(n->next, nullptr);
  s.PrepareSprayPat(100, 60, -20, 50);
  EXPECT_EQ(s.patternCount, 0);
  ASSERT_NE(s.patternHead, nullptr);
  EXPECT_EQ(s.patternHead->next, nullptr);
}

TEST(MiscSpray, MaskTableAndMaskedAverages) {
  MiscSpray s;
  s.CalcMask(0);
  for (int16_t v : s.maskTable) ASSERT_EQ(v, 0);
  s.CalcMask(100);
  for (int32_t i = 0; i < 256; ++i) ASSERT_EQ(s.maskTable[i], i);
  s.CalcMask(50);  // t = 127: 50 x 2.55 is a little under 127.5
  EXPECT_EQ(s.maskTable[64], 128);
  EXPECT_EQ(s.maskTable[128], 255);

  const Plane p = {10, 20, 30, 40};
  std::vector<uint16_t> mask = {8160, 8160, 8160, 8160};
  int32_t average = 99;
  AvrgCol_inRect(2, 2, p.data(), mask.data(), 0, 0, 2, 2, &average);
  EXPECT_EQ(average, 99);
  mask[1] = 0;
  mask[3] = 254 * 32;
  EXPECT_EQ(AvrgCol_inRect(2, 2, p.data(), mask.data(), 0, 0, 2, 2, &average), 2);
  EXPECT_EQ(average, 30);
  // A rectangle past the plane is held to it.
  AvrgCol_inRect(2, 2, p.data(), nullptr, 1, 1, 9, 9, &average);
  EXPECT_EQ(average, 40);
}

struct Canvas {
  int32_t w, h;
  Plane a, b, c;
  Canvas(int32_t width, int32_t height, uint8_t v)
      : w(width), h(height), a(w * h, v), b(w * h, v), c(w * h, v) {}
  void Attach(MiscSpray& s) { s.SetBuf(w, h, w, h, a.data(), b.data(), c.data()); }
};

TEST(MiscSpray, CellWeightsAndWrapping) {
  MiscSpray s;
  Canvas cv(4, 3, 100);
  cv.Attach(s);
  const Plane ca = {200, 200}, cb = {150, 150}, cc = {50, 50};
  const std::vector<uint16_t> mask = {0, 128 * 32};
  TColMisc colour;
  colour.first[0] = 20, colour.first[1] = 30, colour.first[2] = 40;
  // Mode 11 at full weight: the cell itself; mask mode 3 weighs level 128 by 128.
  s.CellToBuf(2, 1, ca.data(), cb.data(), cc.data(), mask.data(), 1, 1, 11, 255, s.maskTable, 0,
              3, 0, nullptr, &colour);
  EXPECT_EQ(cv.c[5], 20);  // weight 0: the colour record's first component
  const int32_t a = 4096 * 128 / 255;
  EXPECT_EQ(cv.c[6], ((4096 - a) * 20 + a * 50) / 4096);
  EXPECT_EQ(cv.a[6], ((4096 - a) * 40 + a * 200) / 4096);
  EXPECT_EQ(s.drawnBox()[2], 3);  // widened from the constructor's box
  EXPECT_EQ(s.drawnBox()[3], 2);
  // Mask mode 0 wraps at full weight: x = -1 lands on column 3; others clip.
  s.CellToBuf(2, 1, ca.data(), cb.data(), cc.data(), mask.data(), -1, 0, 11, 255, s.maskTable,
              0, 0, 0, nullptr, &colour);
  EXPECT_EQ(cv.a[3], 200);
  EXPECT_EQ(cv.a[0], 200);
  s.CellToBuf(2, 1, ca.data(), cb.data(), cc.data(), mask.data(), -1, 2, 11, 255, s.maskTable,
              0, 1, 0, nullptr, &colour);
  EXPECT_EQ(cv.a[11], 100);
  EXPECT_EQ(cv.a[8], 200);
  // No cell: nothing at all.
  Canvas before = cv;
  s.CellToBuf(2, 1, nullptr, cb.data(), cc.data(), mask.data(), 0, 0, 11, 255, s.maskTable, 0,
              1, 0, nullptr, &colour);
  EXPECT_EQ(cv.a, before.a);
}

int32_t gDraws = 0;
int32_t Counting() { return gDraws++; }

TEST(MiscSpray, RandomSprayDrawsNumbersEvenWhenItDrawsNothing) {
  vmktest::ScopedSession session;
  plat::SetRandomFunctions(&Counting, nullptr);
  MiscSpray s;
  Canvas cv(8, 1, 0);  // one row: every y is 0
  cv.Attach(s);
  gDraws = 0;
  s.FillBuf(3, 255, 6, nullptr);
  EXPECT_EQ(gDraws, 60);
  EXPECT_EQ(cv.a, Plane(8, 0));
  // A 1 x 1 cell of grey 90 at x = r mod 7.
  s.cellWidth = s.cellHeight = 1;
  for (int32_t k = 0; k < 3; ++k) {
    s.cellPlanes[k][0] = reinterpret_cast<uint8_t*>(gPer->memMan->NewBuf(1));
    s.cellPlanes[k][0][0] = 90;
  }
  s.cellMasks[0] = reinterpret_cast<uint16_t*>(gPer->memMan->NewBuf(2));
  s.cellMasks[0][0] = 0;
  s.blendMode = 11;
  gDraws = 0;
  s.FillBuf(1, 255, 0, nullptr);
  plat::SetRandomFunctions(nullptr, nullptr);
  for (int32_t x = 0; x < 7; ++x) EXPECT_EQ(cv.a[x], 90) << x;
  EXPECT_EQ(cv.a[7], 0);
  EXPECT_EQ(s.currentCell, 0);  // first - 1 .. last - 2 with first = last = 1
}

// A grey 1 x 1 cell number 0, laid normally.
void GreyCell(MiscSpray& s, uint8_t grey) {
  s.cellWidth = s.cellHeight = 1;
  for (int32_t k = 0; k < 3; ++k) {
    s.cellPlanes[k][0] = reinterpret_cast<uint8_t*>(gPer->memMan->NewBuf(1));
    s.cellPlanes[k][0][0] = grey;
  }
  s.cellMasks[0] = reinterpret_cast<uint16_t*>(gPer->memMan->NewBuf(2));
  s.cellMasks[0][0] = 0;
  s.blendMode = 1;
}

// A five-pointed star about (10, 10), radius 7.
void Star(CPathList* list) {
  TObjPar t;
  Init_TObjPar(&t);
  const int32_t* l = &t.w[kObjInnerForward];
  list->AddPath(0);
  for (int16_t phase = 0; phase < 2; ++phase)
    list->fct_calc_ngon(phase, 1.0f, 5, list->current, phase * 10.0f, phase * 10.0f,
                        phase * 7.0f, 50.0f, 100.0f, 50.0f, &t.w[kObjPointDepth], 0.0f, 0.0f,
                        l[0], l[1], l[2], l[3], l[4], l[5], l[6], l[7]);
}

TEST(MiscSpray, PathSprayStepOneLeavesNoGapAndSegmentsFade) {
  vmktest::ScopedSession session;
  CPathList list(0);
  Star(&list);
  MiscSpray s;
  GreyCell(s, 200);
  Canvas cv(20, 20, 0);
  cv.Attach(s);
  s.FillonPath(&list, 0, 255, 0, 0, 0, nullptr);  // step 0 is taken as 1
  // The trail is one 4-connected set of cells.
  std::vector<int32_t> todo;
  std::vector<bool> seen(400, false);
  int32_t drawn = 0, reached = 0;
  for (int32_t i = 0; i < 400; ++i) {
    if (cv.a[i] == 0) continue;
    ASSERT_EQ(cv.a[i], 200);
    if (drawn++ == 0) todo.push_back(i), seen[i] = true;
  }
  while (!todo.empty()) {
    const int32_t i = todo.back();
    todo.pop_back();
    ++reached;
    const int32_t x = i % 20, y = i / 20;
    const int32_t next[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
    for (const auto& n : next) {
      if (n[0] < 0 || n[0] >= 20 || n[1] < 0 || n[1] >= 20) continue;
      const int32_t j = n[1] * 20 + n[0];
      if (cv.a[j] != 0 && !seen[j]) seen[j] = true, todo.push_back(j);
    }
  }
  EXPECT_GT(drawn, 30);
  EXPECT_EQ(reached, drawn);
  // One segment: the cells fade from full to nothing along the path.
  Canvas faded(20, 20, 0);
  faded.Attach(s);
  s.FillonPath(&list, 2, 255, 0, 1, 0, nullptr);
  int32_t strong = 0, weak = 0;
  for (uint8_t v : faded.a) strong += v > 150, weak += v > 0 && v < 50;
  EXPECT_GT(strong, 0);
  EXPECT_GT(weak, 0);
}

TEST(MiscSpray, StepRepeatPicksCellsByTheGreyUnderneath) {
  vmktest::ScopedSession session;
  MiscSpray s;
  s.cellWidth = s.cellHeight = 20;
  for (int32_t n = 0; n < 2; ++n) {
    for (int32_t k = 0; k < 3; ++k) {
      s.cellPlanes[k][n] = reinterpret_cast<uint8_t*>(gPer->memMan->NewBuf(400));
      std::fill(s.cellPlanes[k][n], s.cellPlanes[k][n] + 400, n == 0 ? 10 : 240);
    }
    s.cellMasks[n] = reinterpret_cast<uint16_t*>(gPer->memMan->NewBuf(800));
    std::fill(s.cellMasks[n], s.cellMasks[n] + 400, 0);
  }
  s.SetSprayInfo(0, 0, 0, 0, 0, 0, 0, 0, 2, 1);  // cells 1 to 3, normal blend
  Canvas cv(40, 20, 0);
  for (int32_t i = 0; i < 800; ++i) cv.a[i] = cv.b[i] = cv.c[i] = (i % 40) < 20 ? 0 : 255;
  cv.Attach(s);
  const Plane picture = cv.a;
  // Grey 0 picks 1 + 0 - 2, held to cell 0; grey 255 picks 1 + 2 - 2 = cell 1.
  s.StepRepeatBuf(20, 255, 1, 0, picture.data(), 0, nullptr);
  EXPECT_EQ(s.patternCount, 2);
  for (int32_t i = 0; i < 800; ++i) ASSERT_EQ(cv.c[i], (i % 40) < 20 ? 10 : 240) << i;
  EXPECT_EQ(s.drawnBox()[0], 0);
  EXPECT_EQ(s.drawnBox()[2], 40);
}

}  // namespace
