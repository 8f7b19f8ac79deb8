// Knots, knot chains and the path record: construction, rings, freeing,
// copies and reversed duplicates, bounds, link texts, drawing parameters.
#include <cstring>
#include <memory>

#include <gtest/gtest.h>

#include "path_fixture.h"
#include "paths/text_objects.h"
#include "paths/warp_frame.h"

using pathtest::Knot;
using pathtest::OpenPath;
using pathtest::ClosedPath;

namespace {

class PathChainTest : public pathtest::PathTest {};

TEST(DrawParTest, DefaultsAndMapping) {
  DrawPar dp;
  dp.scaleX = 7.0f;
  dp.port = reinterpret_cast<GrafPtr>(0x10);
  Init_DrawPar(&dp);
  EXPECT_EQ(dp.scaleX, 1.0f);
  EXPECT_EQ(dp.scaleY, 1.0f);
  EXPECT_EQ(dp.viewOffsetX, 0.0f);
  EXPECT_EQ(dp.limit.top, 0);
  EXPECT_EQ(dp.limit.left, 0);
  EXPECT_EQ(dp.limit.bottom, 32000);
  EXPECT_EQ(dp.limit.right, 32000);
  EXPECT_EQ(dp.port, nullptr);

  dp.viewOffsetX = 10.0f;
  dp.viewOffsetY = -4.0f;
  dp.originX = 100.0f;
  dp.originY = 50.0f;
  dp.scaleX = 2.0f;
  dp.scaleY = 0.5f;
  // (107 - 100) / 2 + 10 + 0.5 = 14.0 -> 14; (50.2 - 50) / 0.5 - 4 + 0.5 = -3.1 -> -3.
  EXPECT_EQ(PathToPortH(dp, 107.0f), 14);
  EXPECT_EQ(PathToPortV(dp, 50.2f), -3);
  // Truncation toward zero, not flooring: -0.75 + 0.5 = -0.25 -> 0.
  EXPECT_EQ(PathToPortH(dp, 78.5f), 0);
  EXPECT_EQ(PathToUnitH(dp, 107.0f), 4);
  EXPECT_FLOAT_EQ(PortToPathX(dp, 14.0f), 108.0f);
  EXPECT_FLOAT_EQ(PortToPathY(dp, -3.0f), 50.5f);
  // Far outside the port's range the coordinate is held at its end.
  EXPECT_EQ(PathToPortH(dp, 1.0e9f), 32767);
  EXPECT_EQ(PathToPortH(dp, -1.0e9f), -32768);

  DrawPar copy;
  copy.port = reinterpret_cast<GrafPtr>(0x20);
  dp.port = reinterpret_cast<GrafPtr>(0x30);
  Copy_DrawPar(&dp, &copy);
  EXPECT_EQ(copy.originX, 100.0f);
  EXPECT_EQ(copy.scaleY, 0.5f);
  EXPECT_EQ(copy.port, reinterpret_cast<GrafPtr>(0x20));
}

TEST_F(PathChainTest, KnotsShareTheSessionDrawingParameters) {
  CPathPoint k(3.0f, 4.0f, 1);
  EXPECT_EQ(k.outX, 3.0f);
  EXPECT_EQ(k.inY, 4.0f);
  EXPECT_EQ(k.kind, 1);
  EXPECT_EQ(k.drawPar, &drawPar_);
  CPath p;
  EXPECT_EQ(p.drawPar, &drawPar_);
  EXPECT_EQ(p.markCount, -1);
  EXPECT_EQ(p.active, 1);
  EXPECT_EQ(p.plain, 1);
  EXPECT_EQ(p.urlActive, 1);

  DrawPar other;
  Init_DrawPar(&other);
  other.scaleX = 4.0f;
  k.SetDrw(reinterpret_cast<GrafPtr>(0x40), &other);
  EXPECT_EQ(drawPar_.scaleX, 4.0f);
  EXPECT_EQ(drawPar_.port, reinterpret_cast<GrafPtr>(0x40));
  p.SetDrwVal(1, 2, 3, 5, 7, 11);
  EXPECT_EQ(drawPar_.viewOffsetY, 2.0f);
  EXPECT_EQ(drawPar_.scaleY, 5.0f);
  EXPECT_EQ(drawPar_.originY, 11.0f);
}

TEST_F(PathChainTest, KnotArithmetic) {
  CPathPoint a(10.0f, 20.0f, 0), b(0.0f, 0.0f, 0);
  a.outX = 12.0f;
  b.inY = -8.0f;
  CPathPoint m;
  m.markNum = 3;
  m.InterPolatePoint(&a, &b, 1.0f);
  EXPECT_EQ(m.x, 10.0f);
  EXPECT_EQ(m.outX, 12.0f);
  EXPECT_EQ(m.markNum, 0);
  m.InterPolatePoint(&a, &b, 0.0f);
  EXPECT_EQ(m.x, 0.0f);
  EXPECT_EQ(m.inY, -8.0f);
  m.InterPolatePoint(&a, &b, 0.25f);
  EXPECT_FLOAT_EQ(m.y, 5.0f);

  a.MovePoint(1.0f, -1.0f);
  EXPECT_EQ(a.x, 11.0f);
  EXPECT_EQ(a.outX, 13.0f);
  EXPECT_EQ(a.inY, 19.0f);
  a.ZoomPoint(2.0f, 0.5f);
  EXPECT_EQ(a.outX, 26.0f);
  EXPECT_EQ(a.y, 9.5f);

  CPathPoint c;
  c.markNum = 7;
  a.selected = 1;
  a.CopyPoint(&c);
  EXPECT_EQ(c.x, 22.0f);
  EXPECT_EQ(c.selected, 1);
  EXPECT_EQ(c.markNum, 7);
}

TEST_F(PathChainTest, RingsAndChainsFreeTheirKnots) {
  const int64_t before = CPathPoint::LiveCount();
  {
    CPath ring;
    ring.CreaPathof_xpts(4, 0);
    EXPECT_EQ(ring.count, 4);
    EXPECT_EQ(ring.closed, 0);
    EXPECT_EQ(Knot(&ring, 4), ring.first);
    EXPECT_EQ(ring.first->prev, Knot(&ring, 3));
    EXPECT_EQ(CPathPoint::LiveCount(), before + 4);
  }
  EXPECT_EQ(CPathPoint::LiveCount(), before);
  {
    CPath one;
    one.CreaPathof_xpts(1, 1);
    EXPECT_EQ(one.first->next, one.first);
    EXPECT_EQ(one.first->prev, one.first);
  }
  EXPECT_EQ(CPathPoint::LiveCount(), before);
  {
    std::unique_ptr<CPath> chain(OpenPath({{0, 0}, {1, 0}, {2, 0}, {3, 0}}));
    EXPECT_EQ(chain->count, 4);
    EXPECT_EQ(CPathPoint::LiveCount(), before + 4);
    // A count beyond the chain stops at the null link.
    chain->count = 9;
  }
  EXPECT_EQ(CPathPoint::LiveCount(), before);
  {
    // A count beyond a ring never frees a knot twice.
    CPath ring;
    ring.CreaPathof_xpts(3, 1);
    ring.count = 7;
  }
  EXPECT_EQ(CPathPoint::LiveCount(), before);
  {
    // Rebuilding a path that still has knots does not lose them.
    CPath p;
    p.CreaPathof_xpts(3, 0);
    p.CreaPathof_xpts(2, 0);
    EXPECT_EQ(CPathPoint::LiveCount(), before + 2);
  }
  EXPECT_EQ(CPathPoint::LiveCount(), before);
}

TEST_F(PathChainTest, ReversedDuplicates) {
  std::unique_ptr<CPath> open(OpenPath({{1, 1}, {2, 2}, {3, 3}}));
  Knot(open.get(), 0)->outX = 10.0f;  // A's out
  Knot(open.get(), 2)->inX = 30.0f;   // C's in
  CPath rev;
  rev.DuplicatePath(open.get(), 0);
  ASSERT_EQ(rev.count, 3);
  EXPECT_EQ(rev.closed, 0);
  EXPECT_EQ(Knot(&rev, 0)->x, 3.0f);
  EXPECT_EQ(Knot(&rev, 1)->x, 2.0f);
  EXPECT_EQ(Knot(&rev, 2)->x, 1.0f);
  // Out and in points exchange.
  EXPECT_EQ(Knot(&rev, 0)->outX, 30.0f);
  EXPECT_EQ(Knot(&rev, 0)->inX, 3.0f);
  EXPECT_EQ(Knot(&rev, 2)->inX, 10.0f);

  std::unique_ptr<CPath> ring(ClosedPath({{1, 1}, {2, 2}, {3, 3}}));
  CPath rrev;
  rrev.DuplicatePath(ring.get(), 0);
  ASSERT_EQ(rrev.count, 3);
  EXPECT_EQ(rrev.closed, 1);
  EXPECT_EQ(Knot(&rrev, 0)->x, 1.0f);
  EXPECT_EQ(Knot(&rrev, 1)->x, 3.0f);
  EXPECT_EQ(Knot(&rrev, 2)->x, 2.0f);
  EXPECT_EQ(Knot(&rrev, 3), rrev.first);

  CPath same;
  same.DuplicatePath(ring.get(), 1);
  ASSERT_EQ(same.count, 3);
  EXPECT_EQ(same.closed, 1);
  EXPECT_EQ(Knot(&same, 1)->x, 2.0f);
  EXPECT_EQ(same.first->prev, Knot(&same, 2));
  EXPECT_EQ(Knot(&same, 2)->next, same.first);

  CPath fwd;
  fwd.DuplicatePath(open.get(), 1);
  EXPECT_EQ(fwd.closed, 0);
  EXPECT_EQ(fwd.first->prev, nullptr);
  EXPECT_EQ(Knot(&fwd, 2)->next, nullptr);
  EXPECT_EQ(fwd.first->outX, 10.0f);
  EXPECT_EQ(fwd.first->selected, 0);

  CPath empty, none;
  none.DuplicatePath(&empty, 0);
  EXPECT_EQ(none.first, nullptr);
  EXPECT_EQ(none.count, 0);
}

TEST_F(PathChainTest, CopyKeepsCurrentRingMarksAndLinks) {
  std::unique_ptr<CPath> src(ClosedPath({{0, 0}, {5, 0}, {5, 5}}));
  src->current = Knot(src.get(), 1);
  src->markCount = 2;
  src->marks[0] = 0.25f;
  src->marks[1] = 0.75f;
  src->active = 0;
  src->plain = 0;
  src->urlTarget = 3;
  const uint8_t name[] = "\x05hello";
  src->SetURLname(name);
  CPath dst;
  src->CopyPath(&dst);
  ASSERT_EQ(dst.count, 3);
  EXPECT_EQ(dst.closed, 1);
  EXPECT_EQ(dst.current, Knot(&dst, 1));
  EXPECT_EQ(Knot(&dst, 3), dst.first);
  EXPECT_EQ(dst.first->prev, Knot(&dst, 2));
  EXPECT_EQ(dst.markCount, 2);
  EXPECT_EQ(dst.marks[1], 0.75f);
  EXPECT_EQ(dst.active, 0);
  EXPECT_EQ(dst.plain, 0);
  EXPECT_EQ(dst.urlTarget, 3);
  EXPECT_EQ(0, std::memcmp(dst.urlName, name, 6));
}

TEST_F(PathChainTest, LinkTextsFitTheirFields) {
  CPath p;
  uint8_t longName[256];
  longName[0] = 255;
  std::memset(longName + 1, 'a', 255);
  p.SetURLname(longName);
  p.SetURLalt(reinterpret_cast<const uint8_t*>("\x03" "alt"));
  uint8_t name[256] = {}, alt[256] = {};
  int16_t act = 0, tgt = -1;
  p.GetURL(&act, &tgt, name, alt);
  EXPECT_EQ(act, 1);
  EXPECT_EQ(tgt, 0);
  // The 255-byte field holds the length byte and 254 characters.
  EXPECT_EQ(name[0], 254);
  EXPECT_EQ(name[254], 'a');
  EXPECT_EQ(alt[0], 3);
  EXPECT_EQ(alt[3], 't');
}

TEST_F(PathChainTest, BoundsWidenWithControlPoints) {
  CPath empty;
  float x0 = 5, y0 = 6, x1 = 7, y1 = 8;
  EXPECT_EQ(empty.GetBound(&x0, &y0, &x1, &y1), 0);
  EXPECT_EQ(x0, 5.0f);
  EXPECT_EQ(y1, 8.0f);

  std::unique_ptr<CPath> p(OpenPath({{10, 10}, {20, 30}}));
  p->first->outX = -4.0f;
  Knot(p.get(), 1)->inY = 40.0f;
  float a = 1e11f, b = 1e11f, c = 0, d = 0;
  EXPECT_EQ(p->GetBound(&a, &b, &c, &d), 1);
  EXPECT_EQ(a, -4.0f);
  EXPECT_EQ(b, 10.0f);
  EXPECT_EQ(c, 20.0f);
  EXPECT_EQ(d, 40.0f);
}

TEST_F(PathChainTest, MoveZoomActivate) {
  std::unique_ptr<CPath> p(OpenPath({{1, 2}, {3, 4}}));
  p->Move(1.0f, 1.0f);
  EXPECT_EQ(p->first->x, 2.0f);
  p->Zoom(2.0f, 3.0f);
  EXPECT_EQ(Knot(p.get(), 1)->y, 15.0f);
  p->Inactivate();
  EXPECT_EQ(p->active, 0);
  EXPECT_EQ(p->first->selected, 0);
  p->Activate();
  EXPECT_EQ(Knot(p.get(), 1)->selected, 1);
  EXPECT_EQ(p->IfOnSelectedPoint(2.0f, 3.0f), nullptr);

  // A path that carries a text object keeps its knots where they are.
  p->CreaTxtObj();
  p->Move(5.0f, 5.0f);
  EXPECT_EQ(p->first->x, 4.0f);
}

TEST_F(PathChainTest, TextRecordsStartWithTheirDefaults) {
  CPath p;
  EXPECT_EQ(p.CreaTxtPath(), 0);
  ASSERT_NE(p.txtPath, nullptr);
  EXPECT_EQ(p.txtPath->state, 1);
  EXPECT_EQ(p.txtPath->followed, &p);
  EXPECT_EQ(p.txtPath->settings.settingB, 1);
  EXPECT_EQ(p.txtPath->settings.flag1, 1);
  EXPECT_EQ(p.txtPath->letters[254], nullptr);
  EXPECT_EQ(p.plain, 0);

  EXPECT_EQ(p.CreaTxtObj(), 0);
  ASSERT_NE(p.txtObj, nullptr);
  ASSERT_NE(p.txtObj->frame, nullptr);
  EXPECT_EQ(p.txtObj->frame->kind, 20);
  EXPECT_EQ(p.txtObj->settings.text[0], 0);
  EXPECT_EQ(p.txtObj->drawPar.limit.right, 32000);
  EXPECT_EQ(p.txtObj->frame->drawPar.scaleX, 1.0f);
  EXPECT_EQ(p.txtObj->frame->spareWords[5], 1);
}

}  // namespace
