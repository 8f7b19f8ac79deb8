// A content-aware preview taken away from its box: the job runs over its own
// copies of the record's two masks, so that the box's holder may rewrite or
// remake its masks while the job is on its way.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "engines/correction/resize_record.h"
#include "support/session.h"
#include "views/image_box.h"
#include "views/preview_engines.h"
#include "views/preview_job.h"

namespace {

// Keeps what it is handed; the test runs the jobs itself.
class HeldRunner : public vmkviews::PreviewRunner {
 public:
  void Submit(std::shared_ptr<vmkviews::PreviewJob> job) override { jobs.push_back(std::move(job)); }
  std::vector<std::shared_ptr<vmkviews::PreviewJob>> jobs;
};

// What the engine saw: the record's mask pointers and a sample of each.
struct Seen {
  const int16_t* protect = nullptr;
  const int16_t* remove = nullptr;
  int16_t protectSample = -1;
  int16_t removeSample = -1;
};
Seen& Last() {
  static Seen seen;
  return seen;
}

int32_t Look(const vmkviews::PreviewCall& call) {
  const YoxelPar* r = call.recordAs<YoxelPar>();
  Seen& s = Last();
  s.protect = r->protectMask;
  s.remove = r->removeMask;
  s.protectSample = r->protectMask != nullptr ? r->protectMask[7 * r->maskWidth + 3] : -1;
  s.removeSample = r->removeMask != nullptr ? r->removeMask[r->maskWidth * r->maskHeight - 1] : -1;
  return 0;
}

class YoxelJobTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::tb::Event init;
    init.eventClass = plat::tb::kEventClassHIObject;
    init.kind = plat::tb::kEventHIObjectInitialize;
    init.bounds = CGRect{{0.0f, 0.0f}, {40.0f, 30.0f}};
    box_.ImaBoxEventHandler(nullptr, &init, nullptr);
    box_.InitBuf(21);
    box_.SetPreviewRunner(&runner_);
    vmkviews::RegisterPreviewEngine(vmkviews::kPreviewYoxel, 0, Look);
    Init_YoxelPar(holder_.par, 80, 60, 72, 0, 8);
    holder_.par->maskWidth = 10;
    holder_.par->maskHeight = 8;
    Init_YoxelMsk(holder_.par, 0);
  }
  void TearDown() override {
    box_.SetPreviewRunner(nullptr);
    vmkviews::RegisterPreviewEngines();
  }
  void Paint(int16_t protect, int16_t remove) {
    const int32_t n = holder_.par->maskWidth * holder_.par->maskHeight;
    std::fill(holder_.par->protectMask, holder_.par->protectMask + n, protect);
    std::fill(holder_.par->removeMask, holder_.par->removeMask + n, remove);
  }

  vmktest::ScopedSession session_;
  VMKimabox box_;
  HeldRunner runner_;
  Yoxel holder_;
};

TEST_F(YoxelJobTest, TheJobReadsItsOwnCopiesOfBothMasks) {
  Paint(1000, 2000);
  box_.SetYoxelPar(holder_.par, 0, 3);
  ASSERT_EQ(runner_.jobs.size(), 1u);
  // Before the first job runs, the box's holder is given masks of another
  // size, which it makes anew over the old ones.
  holder_.par->maskWidth = 20;
  holder_.par->maskHeight = 16;
  Init_YoxelMsk(holder_.par, 0);
  Paint(3000, 4000);
  box_.SetYoxelPar(holder_.par, 0, 3);
  YoxelPar* inBox = box_.yoxelRecord();
  ASSERT_NE(inBox, nullptr);
  const YoxelPar* inJob = runner_.jobs[0]->call().recordAs<YoxelPar>();
  EXPECT_NE(inJob->protectMask, inBox->protectMask);
  EXPECT_NE(inJob->removeMask, inBox->removeMask);
  // The first job is stale by now; what its engine would read is its call.
  EXPECT_TRUE(runner_.jobs[0]->stale());
  Look(runner_.jobs[0]->call());
  EXPECT_EQ(Last().protect, inJob->protectMask);
  EXPECT_EQ(Last().protectSample, 1000);
  EXPECT_EQ(Last().removeSample, 2000);
  runner_.jobs[1]->Run();
  EXPECT_EQ(Last().protectSample, 3000);
  EXPECT_EQ(Last().removeSample, 4000);
}

TEST_F(YoxelJobTest, ARecordWithoutMasksHandsNone) {
  Yoxel bare;
  Init_YoxelPar(bare.par, 80, 60, 72, 0, 5);
  YoxelPar* inBox = box_.yoxelRecord();
  Dele_YoxelMsk(inBox);
  box_.SetYoxelPar(bare.par, 0, 3);
  ASSERT_EQ(runner_.jobs.size(), 1u);
  runner_.jobs[0]->Run();
  EXPECT_EQ(Last().protect, nullptr);
  EXPECT_EQ(Last().remove, nullptr);
  EXPECT_TRUE(runner_.jobs[0]->ok());
}


// A preview asked for aside is neither shown in the box nor made stale by
// the box's next preview; once complete its owner gets it. A newer aside
// preview, or a value change, makes it stale.
TEST_F(YoxelJobTest, AnAsidePreviewGoesToItsOwnerAndLeavesTheBoxAlone) {
  box_.SetPanBufCoord(0, 0, 100000, 100000);
  int handed = 0;
  int32_t handedLeft = -1, handedRight = -1;
  auto done = [&](const vmkviews::PreviewJob& job) {
    ++handed;
    handedLeft = job.call().srcRect[0];
    handedRight = job.call().srcRect[2];
  };
  box_.RenderAside(done, [&] { box_.SetYoxelPar(holder_.par, 1, 3); });
  box_.SetPanBufCoord(50000, 0, 100000, 100000);
  box_.SetYoxelPar(holder_.par, 1, 3);
  ASSERT_EQ(runner_.jobs.size(), 2u);
  EXPECT_TRUE(runner_.jobs[0]->aside());
  EXPECT_FALSE(runner_.jobs[1]->aside());
  EXPECT_FALSE(runner_.jobs[0]->stale());
  const int64_t shown = box_.previewsShown();
  for (auto& job : runner_.jobs) {
    job->Run();
    box_.FinishPreview(*job);
  }
  EXPECT_EQ(handed, 1);
  EXPECT_EQ(handedLeft, 0);
  EXPECT_EQ(handedRight, 79);
  EXPECT_EQ(box_.previewsShown(), shown + 1);
  EXPECT_EQ(box_.state().panLeft, 50000);
  // A second aside makes the first stale; a value change the second.
  runner_.jobs.clear();
  box_.RenderAside(done, [&] { box_.SetYoxelPar(holder_.par, 1, 3); });
  box_.RenderAside(done, [&] { box_.SetYoxelPar(holder_.par, 1, 3); });
  ASSERT_EQ(runner_.jobs.size(), 2u);
  EXPECT_TRUE(runner_.jobs[0]->stale());
  EXPECT_FALSE(runner_.jobs[1]->stale());
  box_.StalePreview();
  EXPECT_TRUE(runner_.jobs[1]->stale());
  for (auto& job : runner_.jobs) {
    job->Run();
    box_.FinishPreview(*job);
  }
  EXPECT_EQ(handed, 1);
}

// A picture the box's owner puts in (a library thumbnail) replaces the picture preview its
// new picture record asked for just before: that preview, finishing afterwards, does not
// cover it with the photograph's corner, and the thumbnail takes the layout of that record
// (the box showed a wide photograph before, which left room for a third of it). A preview
// asked for after it is shown as ever.
TEST_F(YoxelJobTest, AnOwnersPictureIsNotCoveredByAnEarlierPreview) {
  vmkviews::RegisterPreviewEngine(vmkviews::kPreviewYoxel, 0, [](const vmkviews::PreviewCall& call) {
    const int64_t n = static_cast<int64_t>(call.viewWidth) * call.viewHeight;
    for (int c = 0; c < 3; ++c) std::fill(call.planes[c], call.planes[c] + n, uint8_t{20});
    return int32_t{0};
  });
  box_.SetBufParam(1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0);
  box_.SetPanBufCoord(0, 0, 100000, 100000);
  Yoxel wide;
  Init_YoxelPar(wide.par, 120, 30, 72, 0, 5);
  box_.SetYoxelPar(wide.par, 0, 3);
  ASSERT_EQ(runner_.jobs.size(), 1u);
  runner_.jobs[0]->Run();
  box_.FinishPreview(*runner_.jobs[0]);
  ASSERT_LT(box_.displayedHeight(), 30);
  Yoxel thumb;
  Init_YoxelPar(thumb.par, 40, 30, 72, 0, 5);
  box_.SetYoxelPar(thumb.par, 0, 3);
  ASSERT_EQ(runner_.jobs.size(), 2u);
  std::vector<uint8_t> light(40 * 30 * 4);
  for (size_t i = 0; i < light.size(); i += 4) {
    light[i] = 200;
    light[i + 1] = 190;
    light[i + 2] = 170;
  }
  box_.SetBuf(0, 40, 40, reinterpret_cast<char*>(light.data()), 40, 30, 255);
  const auto shown = [this](int32_t x, int32_t y) {
    const plat::draw::ImageRef im = box_.DisplayImage();
    const uint8_t* p = im.data + static_cast<size_t>(y) * im.rowBytes + static_cast<size_t>(x) * 4;
    return std::vector<int>{p[0], p[1], p[2], p[3]};
  };
  const std::vector<int> thumbnail{200, 190, 170, 255};
  // The picture's 40 x 30 pixels span 39 x 29 in the view's 40 x 30, which the layout keeps.
  EXPECT_EQ(box_.displayedWidth(), 40);
  EXPECT_EQ(box_.displayedHeight(), 29);
  EXPECT_EQ(shown(5, 5), thumbnail);
  EXPECT_EQ(shown(39, 28), thumbnail);
  EXPECT_TRUE(runner_.jobs[1]->stale());
  runner_.jobs[1]->Run();
  box_.FinishPreview(*runner_.jobs[1]);
  EXPECT_EQ(shown(5, 5), thumbnail);
  EXPECT_EQ(shown(39, 28), thumbnail);
  box_.SetYoxelPar(thumb.par, 0, 3);
  ASSERT_EQ(runner_.jobs.size(), 3u);
  runner_.jobs[2]->Run();
  box_.FinishPreview(*runner_.jobs[2]);
  EXPECT_EQ(shown(5, 5)[0], 20);
}

// A finished job's planes sampled into a smaller picture as the display is.
TEST_F(YoxelJobTest, JobPicturesAreSampledAsTheDisplayIs) {
  vmkviews::RegisterPreviewEngine(vmkviews::kPreviewYoxel, 0, [](const vmkviews::PreviewCall& call) {
    for (int32_t y = 0; y < call.viewHeight; ++y)
      for (int32_t x = 0; x < call.viewWidth; ++x) {
        const int64_t i = static_cast<int64_t>(y) * call.viewWidth + x;
        call.planes[0][i] = static_cast<uint8_t>(x);
        call.planes[1][i] = static_cast<uint8_t>(y);
        call.planes[2][i] = 7;
      }
    return int32_t{0};
  });
  box_.SetYoxelPar(holder_.par, 2, 3);  // 80 x 60 fitted in 40 x 30: all of it
  ASSERT_EQ(runner_.jobs.size(), 1u);
  runner_.jobs[0]->Run();
  std::vector<uint8_t> r(10 * 4), g(10 * 4), b(10 * 4);
  VMKimabox::GetJobRGB(*runner_.jobs[0], 10, r.data(), g.data(), b.data(), 8, 3);
  // Column x * 40 / 8, row y * 30 / 3.
  EXPECT_EQ(r[0], 0);
  EXPECT_EQ(r[7], 35);
  EXPECT_EQ(g[2 * 10 + 4], 20);
  EXPECT_EQ(b[10 + 1], 7);
  EXPECT_EQ(r[8], 0);  // beyond w: untouched
}

}  // namespace
