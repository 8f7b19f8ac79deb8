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

}  // namespace
