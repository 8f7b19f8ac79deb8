// The progress meter: stages that divide a span, loops that report their bands, and a meter
// that never goes back.
#include "platform/parallel/progress.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/parallel/cancel.h"
#include "platform/parallel/parallel.h"

namespace {

using plat::ProgressMeter;

struct Threads {
  explicit Threads(int n) { plat::SetThreadCount(n); }
  ~Threads() { plat::SetThreadCount(0); }
};

// Every share the meter took, in its order.
struct Recorder {
  ProgressMeter meter;
  std::vector<int32_t> reports;
  Recorder() {
    meter.SetObserver([this](int32_t parts) { reports.push_back(parts); });
  }
  bool Rising() const {
    for (size_t i = 1; i < reports.size(); ++i)
      if (reports[i] <= reports[i - 1]) return false;
    return true;
  }
};

// Stages nest, each report lands in its stage's part of its parent, and a report below what
// the meter shows (a stage reported out of order) leaves it where it is.
TEST(Progress, StagesDivideTheirSpanAndTheMeterNeverGoesBack) {
  Recorder r;
  {
    const plat::ProgressScope scope(&r.meter);
    {
      const plat::ProgressStage half(0.0, 0.5);
      plat::ReportProgress(1, 4);  // an eighth
      {
        const plat::ProgressStage inner(0.5, 1.0);  // the second quarter of the whole
        plat::ReportProgress(1, 2);
      }
      plat::ReportProgress(1, 4);  // behind: no report
      plat::ReportProgress(0, 0);  // no total: nothing
    }
    EXPECT_EQ(r.meter.parts(), ProgressMeter::kWhole / 2);  // the stage's end
    const plat::ProgressStage rest(0.5, 1.0);
    plat::ReportProgress(7, 5);  // past its total: held at the stage's end
  }
  EXPECT_EQ(r.reports, (std::vector<int32_t>{125000, 375000, 500000, 1000000}));
  EXPECT_DOUBLE_EQ(r.meter.share(), 1.0);
  // Outside a scope nothing is reported, and nothing breaks.
  plat::ReportProgress(1, 2);
  const plat::ProgressStage none(0.2, 0.4);
  EXPECT_EQ(r.reports.size(), 4u);
}

// A top-level loop moves the span on by each band it finished, on the pool's threads as on
// the caller's; a loop inside a band reports nothing of its own; the last band reaches the
// span's end.
TEST(Progress, LoopsReportTheirBandsAtAnyThreadCount) {
  for (int n : {1, 3, 8}) {
    const Threads t(n);
    Recorder r;
    {
      const plat::ProgressScope scope(&r.meter);
      const plat::ProgressStage second(0.5, 1.0);
      plat::ParallelFor(0, 100, 1, [&](int32_t, int32_t) {
        plat::ParallelFor(0, 3, 1, [](int32_t, int32_t) {});
      });
    }
    EXPECT_TRUE(r.Rising()) << n;
    ASSERT_FALSE(r.reports.empty());
    EXPECT_EQ(r.reports.back(), ProgressMeter::kWhole) << n;
    // 100 bands, each worth 5000 parts of the second half: every report is a whole band.
    for (const int32_t p : r.reports) EXPECT_EQ((p - 500000) % 5000, 0) << p;
    if (n == 1) {
      EXPECT_EQ(r.reports.size(), 100u);
      EXPECT_EQ(r.reports.front(), 505000);
    }
  }
}

// Loops started under QuietProgress (the byte passes over whole planes) report nothing, and
// leave what the loops around them report alone.
TEST(Progress, QuietLoopsReportNothing) {
  const Threads t(4);
  Recorder r;
  {
    const plat::ProgressScope scope(&r.meter);
    {
      const plat::QuietProgress quiet;
      plat::ParallelFor(0, 50, 1, [](int32_t, int32_t) {});
    }
    EXPECT_TRUE(r.reports.empty());
    plat::ParallelFor(0, 4, 1, [](int32_t, int32_t) {
      const plat::QuietProgress quiet;
      plat::ParallelFor(0, 9, 1, [](int32_t, int32_t) {});
    });
  }
  ASSERT_FALSE(r.reports.empty());
  for (const int32_t p : r.reports) EXPECT_EQ(p % 250000, 0) << p;
  EXPECT_EQ(r.reports.back(), ProgressMeter::kWhole);
}

// A cancelled stage does not report its end: the meter stays where the work stopped.
TEST(Progress, ACancelledStageStopsWhereTheWorkStopped) {
  Recorder r;
  plat::CancelFlag flag;
  {
    const plat::ProgressScope scope(&r.meter);
    const plat::CancelScope cancel(&flag);
    const plat::ProgressStage stage(0.0, 0.5);
    plat::ReportProgress(1, 5);
    flag.Cancel();
  }
  EXPECT_EQ(r.reports, std::vector<int32_t>{100000});
}

}  // namespace
