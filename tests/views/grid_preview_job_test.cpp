// A grid preview of two passes (the word before the tool word set) is one
// job on the box's runner: both passes run away from the window's thread,
// the second over what the first left, and the view shows the result once,
// equal to the same preview rendered in line.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "box_fixture.h"
#include "engines/correction/grid_record.h"
#include "views/preview_engines.h"
#include "views/preview_job.h"

namespace vmktest {
namespace {

std::vector<std::vector<int16_t>>& Passes() {
  static std::vector<std::vector<int16_t>> p;
  return p;
}

// The first pass (apply 0) writes ten times its source, the second adds its
// own source to what it finds, so the result shows that both ran, in order,
// on one set of planes.
// What the engine found in the record it was handed: where it was, the
// grid count and a moved out node.
struct Seen {
  const void* record = nullptr;
  int32_t count = 0;
  int32_t node = 0;
};
Seen& LastSeen() {
  static Seen s;
  return s;
}

int32_t TwoStep(const vmkviews::PreviewCall& call) {
  Passes().emplace_back(call.shorts, call.shorts + call.shortCount);
  const GridPar* r = call.recordAs<GridPar>();
  LastSeen() = {r, r->head.w[kGpCount], r->grids[1].node[kGaOut + kGaX][7]};
  const size_t n = static_cast<size_t>(call.viewWidth) * call.viewHeight;
  for (size_t i = 0; i < n; ++i) {
    if (call.shorts[5] == 0) call.planes[0][i] = static_cast<uint8_t>(call.shorts[3] * 10);
    else call.planes[0][i] = static_cast<uint8_t>(call.planes[0][i] + call.shorts[3]);
  }
  return 0;
}

vmkviews::PreviewJob*& StaleOnFirst() {
  static vmkviews::PreviewJob* job = nullptr;
  return job;
}

struct HeldRunner : vmkviews::PreviewRunner {
  std::vector<std::shared_ptr<vmkviews::PreviewJob>> jobs;
  void Submit(std::shared_ptr<vmkviews::PreviewJob> job) override { jobs.push_back(std::move(job)); }
};

TEST_F(BoxTest, AGridPreviewOfTwoPassesIsOneJobShownOnceComplete) {
  vmkviews::RegisterPreviewEngine(vmkviews::kPreviewGrid, 0, TwoStep);
  box_.InitBuf(22);
  box_.SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0);
  box_.SetRGBmode(1, 2, 4, 0, 0, 0);
  auto grid = std::make_unique<GridPar>();
  Init_GridPar(grid.get(), 400, 300, 3, 3, 0, 3, 1, 1);
  grid->head.w[kGpTool - 1] = 1;
  grid->head.w[kGpCount] = 2;
  Init_GridInfo(&grid->grids[1], 1, 1, 3, 3, 3);
  grid->grids[1].node[kGaOut + kGaX][7] = 4321;
  // In line: both passes, the display after the second.
  Passes().clear();
  box_.SetGridPar(grid.get(), 1, 5);
  ASSERT_EQ(Passes().size(), 2u);
  const uint32_t inLine = Display(10, 10);
  EXPECT_EQ(inLine >> 24, 35u);  // 3 x 10 + 5: the second pass over the first
  // On a runner: one job; nothing shows until it is finished.
  box_.SetGridPar(grid.get(), 1, 2);  // another picture on the display first
  HeldRunner runner;
  box_.SetPreviewRunner(&runner);
  Passes().clear();
  box_.SetGridPar(grid.get(), 1, 5);
  ASSERT_EQ(runner.jobs.size(), 1u);
  EXPECT_TRUE(Passes().empty());
  EXPECT_NE(Display(10, 10), inLine);
  runner.jobs[0]->Run();
  ASSERT_EQ(Passes().size(), 2u);
  // The job read its own copy of what the grids use.
  EXPECT_NE(LastSeen().record, static_cast<const void*>(box_.gridRecord()));
  EXPECT_EQ(LastSeen().count, 2);
  EXPECT_EQ(LastSeen().node, 4321);
  EXPECT_EQ(Passes()[0], (std::vector<int16_t>{3, 0, 255, 3, 1, 0}));
  EXPECT_EQ(Passes()[1], (std::vector<int16_t>{3, 0, 255, 5, 1, 1}));
  const int64_t before = box_.previewsShown();
  box_.FinishPreview(*runner.jobs[0]);
  EXPECT_EQ(box_.previewsShown(), before + 1);
  EXPECT_EQ(Display(10, 10), inLine);
  // A job made stale during its first pass never runs its second.
  Passes().clear();
  runner.jobs.clear();
  box_.SetGridPar(grid.get(), 1, 5);
  ASSERT_EQ(runner.jobs.size(), 1u);
  StaleOnFirst() = runner.jobs[0].get();
  vmkviews::RegisterPreviewEngine(vmkviews::kPreviewGrid, 0, [](const vmkviews::PreviewCall& call) -> int32_t {
    Passes().emplace_back(call.shorts, call.shorts + call.shortCount);
    StaleOnFirst()->MarkStale();
    return 0;
  });
  runner.jobs[0]->Run();
  EXPECT_EQ(Passes().size(), 1u);
  EXPECT_FALSE(runner.jobs[0]->ok());
  box_.SetPreviewRunner(nullptr);
  vmkviews::RegisterPreviewEngines();
}

}  // namespace
}  // namespace vmktest
