// The dialogs' preview worker on its own thread (no virtual clock): jobs run
// beside the event loop, finished ones show at its next pass, a stale one
// never shows, and Stop leaves nothing on its way.
#include "dialogs/frame/preview_worker.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <atomic>
#include <cstring>
#include <thread>

#include "engines/correction/colour_correction.h"
#include "views/image_box.h"
#include "views/preview_engines.h"

namespace {

std::atomic<int>& Entered() {
  static std::atomic<int> n{0};
  return n;
}
std::atomic<bool>& Release() {
  static std::atomic<bool> b{true};
  return b;
}

// Paints red at the record's noise amount; waits for Release() when held.
int32_t Paint(const vmkviews::PreviewCall& c) {
  ++Entered();
  while (!Release().load()) std::this_thread::yield();
  const size_t n = static_cast<size_t>(c.viewWidth) * c.viewHeight;
  std::memset(c.planes[0], c.recordAs<ColCorPar>()->w[kCCNoise + 1], n);
  std::memset(c.planes[1], 0, n);
  std::memset(c.planes[2], 0, n);
  return 0;
}

struct WorkerBox {
  VMKimabox box;
  ColCorPar record;
  WorkerBox() {
    plat::tb::Event init;
    init.eventClass = plat::tb::kEventClassHIObject;
    init.kind = plat::tb::kEventHIObjectInitialize;
    init.bounds = CGRect{{0.0f, 0.0f}, {40.0f, 30.0f}};
    box.ImaBoxEventHandler(nullptr, &init, nullptr);
    box.InitBuf(23);
    box.SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0);
    box.SetRGBmode(1, 2, 4, 0, 0, 0);
    Init_ColCorPar(&record, 80, 60, 72, 103, 0, 0);
  }
  void Ask(int32_t amount) {
    record.w[kCCNoise + 1] = amount;
    box.SetColCorPar(&record, 1, 3);
  }
  int32_t Red() const { return box.displayBuffer()[4 * (15 * 40 + 20)]; }
};

void WaitIdle(PreviewWorker& worker) {
  while (worker.Busy()) std::this_thread::yield();
  QCoreApplication::sendPostedEvents();
}

TEST(PreviewWorkerThread, JobsRunBesideTheLoopAndOnlyTheNewestShows) {
  vmkviews::RegisterPreviewEngine(vmkviews::kPreviewColCor, 0, Paint);
  WorkerBox b;
  PreviewWorker worker;
  b.box.SetPreviewRunner(&worker);
  b.Ask(40);
  WaitIdle(worker);
  EXPECT_EQ(b.Red(), 40);
  // One job held in its engine, two more asked for meanwhile: the first is
  // stale, the second waits and is replaced by the third.
  Release() = false;
  Entered() = 0;
  b.Ask(50);
  while (Entered().load() == 0) std::this_thread::yield();
  b.Ask(60);
  b.Ask(70);
  EXPECT_EQ(b.Red(), 40);  // the last complete preview stays
  Release() = true;
  WaitIdle(worker);
  EXPECT_EQ(b.Red(), 70);
  EXPECT_EQ(Entered().load(), 2);  // 50 and 70; 60 never ran
  // Closing: a job on its way when the worker stops never shows.
  Release() = false;
  Entered() = 0;
  b.Ask(80);
  while (Entered().load() == 0) std::this_thread::yield();
  std::thread release([] { Release() = true; });
  worker.Stop();
  release.join();
  QCoreApplication::sendPostedEvents();
  EXPECT_EQ(b.Red(), 70);
  b.box.SetPreviewRunner(nullptr);
  vmkviews::RegisterPreviewEngines();
}

}  // namespace
