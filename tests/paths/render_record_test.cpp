// A render's own drawing record: what SessionDrawPar() gives inside and outside the scope, on
// one thread and on two, and the record that paths copied across the scope's edge keep.
#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "path_fixture.h"
#include "paths/draw_par.h"
#include "paths/path_internal.h"
#include "paths/path_list.h"
#include "platform/draw/port.h"

namespace {

bool AtDefaults(const DrawPar& d) {
  DrawPar fresh;
  Init_DrawPar(&fresh);
  return d.viewOffsetX == fresh.viewOffsetX && d.viewOffsetY == fresh.viewOffsetY &&
         d.originX == fresh.originX && d.originY == fresh.originY && d.scaleX == fresh.scaleX &&
         d.scaleY == fresh.scaleY && d.mode == fresh.mode && d.limit.right == fresh.limit.right &&
         d.limit.bottom == fresh.limit.bottom && d.port == nullptr;
}

// Every path of the list and every knot of each keeps `dp`.
bool AllOn(const CPathList& list, const DrawPar* dp) {
  int32_t n = 0;
  for (CPath* p = list.first; p != nullptr; p = p->next) {
    if (p->drawPar != dp) return false;
    bool knots = true;
    paths_detail::ForEachPathKnot(p, [&](CPathPoint* k) { knots = knots && k->drawPar == dp; });
    if (!knots) return false;
    ++n;
  }
  return n > 0;
}

// Two closed four-knot paths.
void TwoPaths(CPathList* list) {
  for (int i = 0; i < 2; ++i) {
    list->AddPath(0);
    list->current->CreaPathof_xpts(4, 1);
    list->fct_calc_Rect(list->current, 10.0f * i, 0.0f, 10.0f * i + 5.0f, 5.0f);
  }
  list->ActivateAll(0);
}

class RenderRecord : public pathtest::PathTest {
 protected:
  RenderRecord() : port_(20, 20) {
    drawPar_.scaleX = drawPar_.scaleY = 4.0f;
    drawPar_.viewOffsetX = 37.0f;
    drawPar_.port = &port_;  // lent by a view
  }
  plat::draw::Port port_;
};

TEST_F(RenderRecord, AScopeGivesItsThreadARecordOfItsOwnAtTheDefaults) {
  const DrawPar lent = drawPar_;
  ASSERT_EQ(SessionDrawPar(), &drawPar_);
  {
    const RenderDrawingScope scope;
    DrawPar* own = SessionDrawPar();
    ASSERT_NE(own, nullptr);
    ASSERT_NE(own, &drawPar_);
    EXPECT_TRUE(AtDefaults(*own));
    CPathList list(0);
    EXPECT_EQ(list.drawPar, own);
    list.SetDrwVal(0, 0, 0, 0, 3.0f, 4.0f, 1, 2.0f, 2.0f, 0.0f, 0.0f);
    list.SetDrw(&port_, nullptr);
    EXPECT_EQ(own->scaleX, 2.0f);
    {
      const RenderDrawingScope inner;  // a render inside a render keeps its caller's record
      EXPECT_EQ(SessionDrawPar(), own);
    }
    EXPECT_EQ(SessionDrawPar(), own);
  }
  EXPECT_EQ(SessionDrawPar(), &drawPar_);
  EXPECT_EQ(drawPar_.scaleX, lent.scaleX);
  EXPECT_EQ(drawPar_.viewOffsetX, lent.viewOffsetX);
  EXPECT_EQ(drawPar_.viewOffsetY, lent.viewOffsetY);
  EXPECT_EQ(drawPar_.mode, lent.mode);
  EXPECT_EQ(drawPar_.port, &port_);
}

TEST_F(RenderRecord, TwoRendersAtOnceHaveARecordEachAndOtherThreadsTheSessions) {
  std::atomic<int> inside{0};
  std::atomic<bool> leave{false};
  DrawPar* seen[3] = {};
  auto render = [&](int k) {
    const RenderDrawingScope scope;
    seen[k] = SessionDrawPar();
    seen[k]->scaleX = 10.0f + k;
    inside.fetch_add(1);
    while (!leave.load()) std::this_thread::yield();
    EXPECT_EQ(seen[k]->scaleX, 10.0f + k);
  };
  std::thread a(render, 0);
  std::thread b(render, 1);
  std::thread plain([&] { seen[2] = SessionDrawPar(); });  // a thread in no render
  plain.join();
  while (inside.load() < 2) std::this_thread::yield();
  EXPECT_EQ(SessionDrawPar(), &drawPar_);
  leave.store(true);
  a.join();
  b.join();
  EXPECT_NE(seen[0], seen[1]);
  EXPECT_NE(seen[0], &drawPar_);
  EXPECT_NE(seen[1], &drawPar_);
  EXPECT_EQ(seen[2], &drawPar_);
  EXPECT_EQ(drawPar_.scaleX, 4.0f);
}

TEST_F(RenderRecord, ASessionWithoutARecordRendersWithoutOne) {
  gPer->drawPar = nullptr;
  {
    const RenderDrawingScope scope;
    EXPECT_EQ(SessionDrawPar(), nullptr);
    CPathList list(0);
    EXPECT_EQ(list.drawPar, nullptr);
  }
  gPer->drawPar = &drawPar_;
}

// A render that fills a list made outside it (the layer's paths, loaded by a "load paths"
// step) leaves no pointer to its own record there: the paths and their knots take the list's.
TEST_F(RenderRecord, PathsCopiedOrAttachedIntoAListTakeItsRecord) {
  CPathList copied(0), active(0), attached(0), extended(0), moved(0);
  CPath single;
  {
    const RenderDrawingScope scope;
    DrawPar* own = SessionDrawPar();
    CPathList made(0);
    TwoPaths(&made);
    ASSERT_TRUE(AllOn(made, own));
    made.CopyPathList(&copied);
    made.CopyActivePaths(&active);
    attached.CopyAttachPathList(&made);
    made.CopyPathListAndExtend(&extended);
    made.first->CopyPath(&single);
    CPathList given(0);
    TwoPaths(&given);
    moved.AttachPathList(0, &given);
    EXPECT_EQ(given.first, nullptr);
    EXPECT_TRUE(AllOn(made, own));
  }
  for (const CPathList* l : {&copied, &active, &attached, &extended, &moved})
    EXPECT_TRUE(AllOn(*l, &drawPar_));
  ASSERT_NE(single.first, nullptr);
  bool knots = true;
  paths_detail::ForEachPathKnot(&single, [&](CPathPoint* k) { knots = knots && k->drawPar == &drawPar_; });
  EXPECT_TRUE(knots);
  EXPECT_EQ(copied.count, 2);
  EXPECT_EQ(moved.count, 2);
}

// A path drawn on a worker in a render, with the session's record naming a view's port:
// nothing reaches that port, nor the port the interface thread has current.
TEST_F(RenderRecord, TwoThreadsAtOnceARendersPathsReachNoPortOfTheInterface) {
  plat::draw::Port current(20, 20);
  plat::draw::SetPort(&current);
  std::thread worker([] {
    const RenderDrawingScope scope;
    CPathList list(0);
    TwoPaths(&list);
    list.DrawPathList(nullptr, 0, 1, RGBColor{0, 0, 0});
    list.first->DrawPath(0, RGBColor{0, 0, 0});
  });
  worker.join();
  for (const plat::draw::Port* p : {&current, &port_}) {
    const std::vector<uint32_t>& px = p->surface().pixels();
    EXPECT_TRUE(std::all_of(px.begin(), px.end(), [](uint32_t v) { return v == 0xFFFFFFFFu; }));
  }
  EXPECT_EQ(plat::draw::GetPort(), &current);
  plat::draw::SetPort(nullptr);
}

// A window closed while the record names its port: the record forgets it, and keeps any
// other port it names.
TEST_F(RenderRecord, AFreedPortLeavesNoRecordNamingIt) {
  auto* window = new plat::draw::Port(20, 20);
  drawPar_.port = window;
  delete window;
  EXPECT_EQ(drawPar_.port, nullptr);
  drawPar_.port = &port_;
  { plat::draw::Port other(8, 8); }
  EXPECT_EQ(drawPar_.port, &port_);
  drawPar_.port = nullptr;
}

}  // namespace
