// The path list: adding and removing paths, copies, bounds, the delete key,
// the pivot mark; the shape-tool parameters; the whole-list transforms.
#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "path_fixture.h"
#include "paths/path_list.h"
#include "paths/shape_params.h"
#include "paths/text_objects.h"
#include "paths/warp_frame.h"
#include "platform/bytes/byte_order.h"
#include "platform/draw/port.h"
#include "platform/toolbox/api/scripted_ui.h"

using pathtest::Knot;
using pathtest::OpenPath;

namespace {

class PathListTest : public pathtest::InteractivePathTest {
 protected:
  // Appends an open path through the points to the list.
  static CPath* Append(CPathList& l, std::initializer_list<std::pair<float, float>> pts) {
    CPath* p = OpenPath(pts);
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
};

TEST_F(PathListTest, StartsWithTheSessionParameters) {
  CPathList l(0);
  EXPECT_EQ(l.drawPar, &drawPar_);
  EXPECT_EQ(l.lastReform, 0);
  EXPECT_EQ(l.objPar.w[kObjStarPoints], 5);
  l.SetDrwVal(1, 2, 3, 4, 10.0f, 20.0f, 7, 2.0f, 3.0f, 5.0f, 6.0f);
  EXPECT_EQ(drawPar_.viewOffsetY, 20.0f);
  EXPECT_EQ(drawPar_.mode, 7);
  EXPECT_EQ(drawPar_.scaleY, 3.0f);
  EXPECT_EQ(drawPar_.originX, 5.0f);
}

TEST_F(PathListTest, AddingPaths) {
  CPathList l(0);
  ASSERT_EQ(l.AddPath(0), 0);
  EXPECT_EQ(l.count, 1);
  ASSERT_NE(l.current, nullptr);
  EXPECT_EQ(l.current, l.first);
  // Refused while the current path is still empty.
  EXPECT_EQ(l.AddPath(0), -1);
  EXPECT_EQ(l.count, 1);
  l.current->AddPoint(new CPathPoint(1.0f, 1.0f, 0));
  ASSERT_EQ(l.AddPath(1), 0);
  EXPECT_EQ(l.count, 2);
  EXPECT_EQ(l.first->active, 0);
  EXPECT_EQ(l.first->next, l.current);
  EXPECT_EQ(l.current->active, 1);
  // A path with a text object counts as holding something.
  l.current->CreaTxtObj();
  EXPECT_EQ(l.AddPath(0), 0);

  CPathList single(1);
  ASSERT_EQ(single.AddPath(0), 0);
  single.current->AddPoint(new CPathPoint(1.0f, 1.0f, 0));
  EXPECT_EQ(single.AddPath(0), -1);
  EXPECT_EQ(single.count, 1);
}

TEST_F(PathListTest, RemovingPaths) {
  CPathList l(0);
  CPath* a = Append(l, {{0, 0}, {10, 0}});
  CPath* b = Append(l, {{0, 5}, {10, 5}});
  Append(l, {{0, 9}, {10, 9}});
  l.current = b;
  for (CPath* p = l.first; p != nullptr; p = p->next) p->active = 0;
  l.RemoveSelPath(1);
  EXPECT_EQ(l.count, 3);
  EXPECT_EQ(l.first, a);
  EXPECT_EQ(l.current, nullptr);

  b->active = 1;
  a->active = 1;
  l.RemoveSelPath(0);
  ASSERT_EQ(l.count, 1);
  EXPECT_EQ(l.first->first->y, 9.0f);
  EXPECT_EQ(l.first->next, nullptr);

  Append(l, {{1, 1}});
  l.ActivateAll(0);
  l.RemoveSelPath(0);
  EXPECT_EQ(l.first, nullptr);
  EXPECT_EQ(l.count, 0);

  Append(l, {{1, 1}});
  Append(l, {{2, 2}});
  l.RemovePath(0);
  EXPECT_EQ(l.first, nullptr);
  EXPECT_EQ(l.count, 0);
}

TEST_F(PathListTest, DeleteKeyByTool) {
  CPathList l(0);
  CPath* p = Append(l, {{10, 10}, {50, 10}, {90, 10}});
  Append(l, {{0, 0}, {5, 5}});
  l.current = p;
  l.SetToolmode(23);
  l.DelKeyHit();
  EXPECT_EQ(l.count, 2);
  EXPECT_EQ(p->count, 2);
  l.SetToolmode(15);
  p->active = 0;
  l.DelKeyHit();
  ASSERT_EQ(l.count, 1);
  EXPECT_EQ(l.first, p);
}

TEST_F(PathListTest, CopiesKeepTheCurrentPath) {
  CPathList src(0), dst(0);
  Append(dst, {{1, 1}});
  src.CopyPathList(&dst);
  EXPECT_EQ(dst.first, nullptr);
  EXPECT_EQ(dst.count, 0);

  Append(src, {{0, 0}, {1, 1}});
  CPath* second = Append(src, {{5, 5}, {6, 6}});
  Append(src, {{9, 9}});
  src.current = second;
  src.SetToolmode(27);
  src.CopyPathList(&dst);
  ASSERT_EQ(dst.count, 3);
  ASSERT_NE(dst.current, nullptr);
  EXPECT_EQ(dst.current, dst.first->next);
  EXPECT_NE(dst.current, second);
  EXPECT_EQ(dst.current->first->x, 5.0f);
  EXPECT_EQ(dst.tool, 27);

  // Active paths with something in them; the rest stay behind.
  src.first->active = 0;
  CPathList act(0);
  src.CopyActivePaths(&act);
  EXPECT_EQ(act.count, 2);
  EXPECT_EQ(act.current, nullptr);

  // Attaching moves the chain over and leaves the other list empty.
  CPathList target(0);
  Append(target, {{3, 3}});
  target.AttachPathList(0, &act);
  EXPECT_EQ(target.count, 3);
  EXPECT_EQ(target.first->active, 0);
  EXPECT_EQ(target.first->next->active, 1);
  EXPECT_EQ(act.first, nullptr);
  EXPECT_EQ(act.count, 0);

  target.CopyAttachPathList(&src);
  EXPECT_EQ(target.count, 6);
  EXPECT_EQ(target.first->next->active, 0);
}

TEST_F(PathListTest, Bounds) {
  CPathList l(0);
  float a = 5, b = 5, c = 5, d = 5;
  EXPECT_EQ(l.GetBound(0, &a, &b, &c, &d), 0);
  EXPECT_EQ(a, 0.0f);
  EXPECT_EQ(d, 0.0f);
  Append(l, {{-10, -20}, {-5, -3}});
  EXPECT_EQ(l.GetBound(0, &a, &b, &c, &d), 1);
  EXPECT_EQ(a, -10.0f);
  EXPECT_EQ(b, -20.0f);
  EXPECT_EQ(c, 0.0f);  // the maxima never fall below 0
  EXPECT_EQ(d, 0.0f);
  l.first->active = 0;
  EXPECT_EQ(l.GetBound(1, &a, &b, &c, &d), 0);
  // A text object with no letters adds nothing.
  CPath* t = Append(l, {});
  t->CreaTxtObj();
  EXPECT_EQ(l.GetBound(0, &a, &b, &c, &d), 0);
  EXPECT_EQ(a, -10.0f);
}

TEST_F(PathListTest, PivotMark) {
  CPathList l(0);
  drawPar_.viewOffsetX = 50.0f;
  drawPar_.scaleX = 2.0f;
  std::vector<std::string> log;
  port_.RecordTo(&log);
  l.DrawPivot(0, RGBColor{}, 100.0f, 50.0f);  // maps to the port point (100, 50)
  port_.RecordTo(nullptr);
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].rfind("Line 95 50 105 50", 0), 0u);
  EXPECT_EQ(log[1].rfind("Line 100 45 100 55", 0), 0u);
  l.DrawPivot(0, RGBColor{}, 100.0f, 50.0f);
  EXPECT_TRUE(PortIsWhite());
  EXPECT_EQ(port_.pen.pnMode, plat::draw::patCopy);
}

TEST_F(PathListTest, HitTests) {
  CPathList l(0);
  Append(l, {{0, 0}, {100, 0}});
  CPath* q = Append(l, {{0, 50}, {100, 50}});
  intptr_t info = -1, path = -1;
  EXPECT_EQ(l.AreWeOnPath(Point{51, 30}, &info, &path), 1);
  EXPECT_EQ(path, reinterpret_cast<intptr_t>(q));
  EXPECT_EQ(l.AreWeOnPath(Point{25, 30}, &info, &path), 0);
  EXPECT_EQ(path, 0);
  float len = 0.0f;
  EXPECT_EQ(l.CapturePath(30.0f, 50.0f, &len), q);
  EXPECT_GT(len, 0.0f);
  EXPECT_EQ(l.CapturePath(30.0f, 25.0f, &len), nullptr);
  EXPECT_EQ(l.LookForTxtPath(), 0);
  q->CreaTxtPath();
  EXPECT_EQ(l.LookForTxtPath(), 1);
  intptr_t tp = 0;
  EXPECT_EQ(l.AreWeOnTxtPath(Point{50, 30}, &tp), 1);
  EXPECT_EQ(tp, reinterpret_cast<intptr_t>(q->txtPath));
  EXPECT_EQ(l.FillOption(), 1);
}

TEST(ShapeParamsTest, DefaultsCopyAndSwap) {
  TObjPar p;
  p.w[0] = 77;
  p.w[1] = 88;
  p.w[600] = 99;
  Init_TObjPar(&p);
  EXPECT_EQ(p.w[0], 77);
  EXPECT_EQ(p.w[1], 88);
  EXPECT_EQ(p.w[600], 99);
  EXPECT_EQ(p.w[kObjStarPoints], 5);
  EXPECT_EQ(p.w[kObjStarRadius], 20);
  EXPECT_EQ(p.w[kObjStarInner], 50);
  EXPECT_EQ(p.w[kObjInnerStyle], 1);
  EXPECT_EQ(p.w[kObjTipStyle], 1);
  EXPECT_EQ(p.w[kObjColumns], 1);
  EXPECT_EQ(p.w[kObjRows], 1);
  EXPECT_EQ(p.w[kObjColumnGap], 5);
  EXPECT_EQ(p.w[kObjStepX], 10);
  EXPECT_EQ(p.w[kObjStepY], 10);
  EXPECT_EQ(p.w[556], -50);
  EXPECT_EQ(p.w[559], 100);

  TObjPar q;
  q.w[600] = 5;
  Copy_TObjPar(&p, &q);
  EXPECT_EQ(q.w[0], 77);
  EXPECT_EQ(q.w[559], 100);
  EXPECT_EQ(q.w[600], 5);

  for (int i = 1; i < TObjPar::kWords; ++i) p.w[i] = i * 1000 + 7;
  TObjPar before = p;
  EXPECT_EQ(SwapTObjPar(&p, 1, 0), 559 * 1000 + 7);
  EXPECT_EQ(p.w[0], 1);
  EXPECT_EQ(SwapTObjPar(&p, 0, 0), 559 * 1000 + 7);
  EXPECT_EQ(p.w[0], 1);
  for (int i = 1; i < TObjPar::kWords; ++i) ASSERT_EQ(p.w[i], before.w[i]) << i;

  // On a big-endian host the words go through reversed and come back.
  plat::bytes::setHostOrderForTesting(plat::bytes::Order::Big);
  SwapTObjPar(&p, 1, 0);
  EXPECT_EQ(p.w[5], static_cast<int32_t>(plat::bytes::swap32(5007)));
  SwapTObjPar(&p, 0, 0);
  plat::bytes::setHostOrderForTesting(std::nullopt);
  EXPECT_EQ(p.w[0], 0);
  for (int i = 1; i < TObjPar::kWords; ++i) ASSERT_EQ(p.w[i], before.w[i]) << i;
  EXPECT_EQ(p.w[600], 99);
}

TEST_F(PathListTest, MoveResizeRotateFlip) {
  CPathList l(0);
  CPath* a = Append(l, {{10, 10}});
  CPath* b = Append(l, {{10.7f, -3.2f}});
  b->active = 0;
  l.ResizePathList(0, 1, 0.0f, 0.0f, 100.0f, 200.0f, 100.0f, 50.0f);
  EXPECT_EQ(a->first->x, 20.0f);
  EXPECT_EQ(a->first->y, 5.0f);
  EXPECT_EQ(a->first->outX, 20.0f);
  EXPECT_EQ(b->first->x, 10.7f);

  l.RotatePathList(0, 0, 0.0f, 0.0f, 0.0f);
  EXPECT_EQ(b->first->x, 10.0f);
  EXPECT_EQ(b->first->y, -3.0f);
  EXPECT_EQ(b->first->inY, -3.0f);

  // A quarter turn about (10, 10), anticlockwise on the screen.
  a->first->x = a->first->outX = a->first->inX = 20.0f;
  a->first->y = a->first->outY = a->first->inY = 10.0f;
  l.RotatePathList(0, 1, 10.0f, 10.0f, 1.5707964f);
  EXPECT_EQ(a->first->x, 10.0f);
  EXPECT_EQ(a->first->y, 0.0f);

  l.MovePathList(0, 2, 1.5f, -1.0f);
  EXPECT_EQ(a->first->x, 11.5f);
  EXPECT_EQ(b->first->outY, -4.0f);

  a->first->outX = 30.0f;
  l.FlipPathList(0, 1, 0.0f, 7.0f, 0.3f);
  EXPECT_NE(a->first->x, 11.5f);
  l.FlipPathList(0, 1, 0.0f, 7.0f, 0.3f);
  EXPECT_NEAR(a->first->x, 11.5f, 1e-3f);
  EXPECT_NEAR(a->first->y, -1.0f, 1e-3f);
  EXPECT_NEAR(a->first->outX, 30.0f, 1e-3f);

  // A text object's frame moves in place of knots.
  CPath* t = Append(l, {});
  t->CreaTxtObj();
  t->txtObj->frame->X[3] = 4.0f;
  l.MovePathList(0, 0, 1.0f, 0.0f);
  EXPECT_EQ(t->txtObj->frame->X[3], 5.0f);
  l.ResizePathList(0, 0, 0.0f, 0.0f, 1.0f, 2.0f, 1.0f, 1.0f);
  EXPECT_EQ(t->txtObj->frame->X[3], 10.0f);
}

TEST_F(PathListTest, RectangleAroundKnotsAndFitting) {
  CPathList l(0);
  float x0 = 9, x1 = 9, y0 = 9, y1 = 9;
  EXPECT_EQ(l.RectAroundPaths(&x0, &x1, &y0, &y1), -1);
  EXPECT_EQ(x0, 9.0f);
  CPath* p = Append(l, {{0, 0}});
  p->first->outX = 50.0f;
  p->first->outY = 50.0f;
  ASSERT_EQ(l.RectAroundPaths(&x0, &x1, &y0, &y1), 0);
  EXPECT_EQ(x0, 0.0f);
  EXPECT_EQ(x1, 0.0f);
  EXPECT_EQ(y1, 0.0f);

  CPathList dst(0);
  EXPECT_EQ(l.ResizePathsInRect(&dst, 100, 0, 10, 0, 10), -1);
  CPathList line(0);
  Append(line, {{5, 0}, {5, 40}});
  line.CopyPathList(&dst);
  EXPECT_EQ(line.ResizePathsInRect(&dst, 100, 0, 10, 0, 10), -1);
  EXPECT_EQ(dst.first->first->x, 5.0f);

  CPathList box(0);
  Append(box, {{10, 10}, {30, 50}});
  box.CopyPathList(&dst);
  // Target 100..200 across, 20..60 up from the bottom of a 100-high image.
  ASSERT_EQ(box.ResizePathsInRect(&dst, 100, 100.7f, 200.0f, 20.0f, 60.0f), 0);
  EXPECT_EQ(dst.first->first->x, 100.0f);
  EXPECT_EQ(dst.first->first->y, 40.0f);
  EXPECT_EQ(dst.first->first->next->x, 200.0f);
  EXPECT_EQ(dst.first->first->next->y, 80.0f);
}

TEST_F(PathListTest, RepeatingTheLastReform) {
  CPathList l(0);
  CPath* p = Append(l, {{10, 10}, {20, 10}});
  l.ApplyLastReform();
  EXPECT_EQ(p->first->x, 10.0f);

  l.lastReform = 27;
  l.moveX = 5.0f;
  l.moveY = 1.0f;
  l.ApplyLastReform();
  EXPECT_EQ(l.count, 1);
  EXPECT_EQ(p->first->x, 15.0f);
  EXPECT_EQ(p->first->next->y, 11.0f);

  l.lastReform = 29;
  l.pivotX = 15.0f;
  l.pivotY = 11.0f;
  l.resizeNumX = 2;
  l.resizeDenX = 1;
  l.resizeNumY = 1;
  l.resizeDenY = 1;
  l.ApplyLastReform();
  EXPECT_EQ(p->first->next->x, 35.0f);

  // With Option alone the transformed copies are added beside the originals.
  ui_.SetModifiers(optionKey);
  l.lastReform = 27;
  l.ApplyLastReform();
  ASSERT_EQ(l.count, 2);
  EXPECT_EQ(p->active, 0);
  EXPECT_EQ(p->first->x, 15.0f);
  EXPECT_EQ(p->next->first->x, 20.0f);
  EXPECT_EQ(p->next->active, 1);
}

TEST_F(PathListTest, OutlineCopyAndDuplicates) {
  CPathList l(0);
  Append(l, {{0, 0}, {10, 0}});
  Append(l, {});
  CPath* t = Append(l, {{0, 5}, {10, 5}});
  t->CreaTxtPath();
  CPath* o = Append(l, {});
  o->CreaTxtObj();
  l.SetToolmode(30);
  CPathList dst(0);
  l.CopyPathListAndExtend(&dst);
  ASSERT_EQ(dst.count, 1);
  EXPECT_EQ(dst.first->count, 2);
  EXPECT_EQ(dst.tool, 30);

  CPathList d(0);
  CPath* a = Append(d, {{0, 0}, {10, 0}});
  d.DuplicatePathList();
  ASSERT_EQ(d.count, 2);
  EXPECT_NE(d.first, a);
  EXPECT_EQ(d.first->next, a);
  // Reversed and moved by (20, 20), all knots selected.
  EXPECT_EQ(d.first->first->x, 30.0f);
  EXPECT_EQ(d.first->first->y, 20.0f);
  EXPECT_EQ(d.first->first->selected, 1);
}

}  // namespace
