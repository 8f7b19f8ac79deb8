#include "dialogs/frame/preview_worker.h"

#include <algorithm>
#include <utility>

#include "paths/draw_par.h"
#include "platform/random/random.h"
#include "platform/toolbox/toolbox.h"
#include "views/image_box.h"

namespace {

// A box's preview job as a task: keyed by its box, shown by its box. Its
// aside renders take a lane of their own, so they never replace its preview.
constexpr int kAsideLane = 1;

class BoxJob final : public WorkerTask {
 public:
  explicit BoxJob(std::shared_ptr<vmkviews::PreviewJob> job)
      : WorkerTask(job->box(), job->aside() ? kAsideLane : 0), job_(std::move(job)) {}
  void Run() override { job_->Run(); }
  void Finish() override { job_->box()->FinishPreview(*job_); }
  void MarkStale() override { job_->MarkStale(); }
  bool stale() const override { return job_->stale(); }

 private:
  std::shared_ptr<vmkviews::PreviewJob> job_;
};

// A job's engine maps and draws its paths through a drawing record of its own, never the one
// the interface thread lends its views, and draws random numbers of its own, which no other
// window's render draws from.
void RunOwn(WorkerTask& job) {
  const RenderDrawingScope own;
  const plat::RenderRandomScope ownNumbers;
  job.Run();
}

}  // namespace

void PreviewWorker::Submit(std::shared_ptr<vmkviews::PreviewJob> job) {
  if (job != nullptr) SubmitTask(std::make_shared<BoxJob>(std::move(job)));
}

void PreviewWorker::SubmitTask(std::shared_ptr<WorkerTask> job) {
  if (job == nullptr) return;
  if (hold_) {
    held_.push_back(std::move(job));
    return;
  }
  if (plat::tb::RunsOnVirtualClock()) {
    RunOwn(*job);
    if (!job->stale()) job->Finish();
    return;
  }
  const std::lock_guard<std::mutex> hold(lock_);
  // A job of the same key still waiting is stale: the new one takes its
  // place in line. A box's aside previews wait in a line of their own.
  for (auto& waiting : queue_) {
    if (waiting->key() != job->key() || waiting->lane() != job->lane()) continue;
    waiting->MarkStale();
    waiting = std::move(job);
    wake_.notify_one();
    return;
  }
  queue_.push_back(std::move(job));
  if (!thread_.joinable()) {
    quit_ = false;
    thread_ = std::thread([this] { Work(); });
  }
  wake_.notify_one();
}

void PreviewWorker::Work() {
  std::unique_lock<std::mutex> hold(lock_);
  for (;;) {
    wake_.wait(hold, [this] { return quit_ || !queue_.empty(); });
    if (quit_) break;
    running_ = std::move(queue_.front());
    queue_.pop_front();
    std::shared_ptr<WorkerTask> job = running_;
    hold.unlock();
    RunOwn(*job);
    if (!job->stale()) {
      plat::tb::PostToEventLoop([open = open_, job] {
        if (*open && !job->stale()) job->Finish();
      });
    }
    hold.lock();
    running_.reset();
  }
}

void PreviewWorker::Stop() {
  {
    const std::lock_guard<std::mutex> hold(lock_);
    for (auto& waiting : queue_) waiting->MarkStale();
    queue_.clear();
    if (running_ != nullptr) running_->MarkStale();
    quit_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
  // Finishes already posted find the dialog closed.
  *open_ = false;
  open_ = std::make_shared<bool>(true);
  for (auto& job : held_) job->MarkStale();
  held_.clear();
}

int PreviewWorker::RunHeld() {
  std::vector<std::shared_ptr<WorkerTask>> jobs;
  jobs.swap(held_);
  for (const auto& job : jobs) {
    RunOwn(*job);
    if (!job->stale()) job->Finish();
  }
  return static_cast<int>(jobs.size());
}

bool PreviewWorker::Busy() {
  const std::lock_guard<std::mutex> hold(lock_);
  return running_ != nullptr || !queue_.empty();
}
