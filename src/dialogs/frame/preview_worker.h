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
// Besides the boxes' jobs it runs a dialog's own tasks (WorkerTask): work keyed
// by what it renders for, run on the thread and finished back on the event
// loop unless it went stale, a newer task of the same key taking the place of
// one still waiting.
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

#include "platform/parallel/cancel.h"
#include "views/preview_job.h"

// A piece of a dialog's own work for its worker. Run may be called on any thread and reads
// only what the task owns; Finish runs on the window's thread, and only when the task did
// not go stale. Tasks with the same key and lane replace each other while they wait.
class WorkerTask {
 public:
  explicit WorkerTask(const void* key, int lane = 0) : key_(key), lane_(lane) {}
  virtual ~WorkerTask() = default;
  WorkerTask(const WorkerTask&) = delete;
  WorkerTask& operator=(const WorkerTask&) = delete;

  virtual void Run() = 0;
  virtual void Finish() = 0;
  // Any thread: the result is no longer wanted.
  virtual void MarkStale() { cancel_.Cancel(); }
  virtual bool stale() const { return cancel_.cancelled(); }
  const void* key() const { return key_; }
  int lane() const { return lane_; }

 protected:
  const plat::CancelFlag& cancelFlag() const { return cancel_; }

 private:
  const void* key_;
  int lane_;
  plat::CancelFlag cancel_;
};

class PreviewWorker final : public vmkviews::PreviewRunner {
 public:
  PreviewWorker() = default;
  ~PreviewWorker() override { Stop(); }
  PreviewWorker(const PreviewWorker&) = delete;
  PreviewWorker& operator=(const PreviewWorker&) = delete;

  void Submit(std::shared_ptr<vmkviews::PreviewJob> job) override;
  // A dialog's own task; a waiting one of the same key and lane goes stale and gives up its place.
  void SubmitTask(std::shared_ptr<WorkerTask> task);
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

  std::mutex lock_;
  std::condition_variable wake_;
  std::deque<std::shared_ptr<WorkerTask>> queue_;
  std::shared_ptr<WorkerTask> running_;
  bool quit_ = false;
  std::thread thread_;
  // Read on the event loop's thread by the posted finishes: false once the
  // dialog has stopped its worker.
  std::shared_ptr<bool> open_ = std::make_shared<bool>(true);
  bool hold_ = false;
  std::vector<std::shared_ptr<WorkerTask>> held_;
};
