// Where an effect dialog's previews render: one worker thread beside the
// window's event loop.
//
// The dialog's image boxes hand it their preview jobs; it runs them one
// at a time, newest per box first in line (a job still waiting when its box
// asks for another is stale and never runs), each job's engine spreading
// its bands over the shared pool. A finished job goes back to the event
// loop, where its box shows it unless it went stale on the way. The window
// never waits for an engine, and a stale render stops at its next band.
//
// Under the test driver's virtual clock a job runs in line when submitted,
// so dialog tests see every preview at once and in order. Hold() keeps jobs
// until RunHeld(), for the tests of what arrives late.
#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "views/preview_job.h"

class PreviewWorker final : public vmkviews::PreviewRunner {
 public:
  PreviewWorker() = default;
  ~PreviewWorker() override { Stop(); }
  PreviewWorker(const PreviewWorker&) = delete;
  PreviewWorker& operator=(const PreviewWorker&) = delete;

  void Submit(std::shared_ptr<vmkviews::PreviewJob> job) override;
  // Marks every job stale, waits for the running one to stop and drops
  // the results still on their way to the event loop. Submit starts again.
  void Stop();

  // Tests: keep submitted jobs (in order) until RunHeld runs and finishes
  // them; the number run.
  void Hold(bool on) { hold_ = on; }
  int RunHeld();
  // True while a job waits or runs on the thread.
  bool Busy();

 private:
  void Work();
  static void Finish(const std::shared_ptr<vmkviews::PreviewJob>& job);

  std::mutex lock_;
  std::condition_variable wake_;
  std::deque<std::shared_ptr<vmkviews::PreviewJob>> queue_;
  std::shared_ptr<vmkviews::PreviewJob> running_;
  bool quit_ = false;
  std::thread thread_;
  // Read on the event loop's thread by the posted finishes: false once the
  // dialog has stopped its worker.
  std::shared_ptr<bool> open_ = std::make_shared<bool>(true);
  bool hold_ = false;
  std::vector<std::shared_ptr<vmkviews::PreviewJob>> held_;
};
