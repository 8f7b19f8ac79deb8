// A dialog's own tasks on the preview worker's thread (no virtual clock): a newer task of
// the same key and lane takes the place of one still waiting, tasks of other keys or lanes
// all run, a stale task never finishes, and the finish comes back on the event loop.
#include "dialogs/frame/preview_worker.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

std::atomic<bool> gRelease{true};

struct Log {
  std::vector<std::string> ran;
  std::vector<std::string> finished;
  std::thread::id finishedOn;
};

class Probe final : public WorkerTask {
 public:
  Probe(const void* key, std::string name, Log* log, std::atomic<int>* entered, int lane = 0)
      : WorkerTask(key, lane), name_(std::move(name)), log_(log), entered_(entered) {}
  void Run() override {
    ++*entered_;
    while (!gRelease.load()) std::this_thread::yield();
    ran_ = true;
  }
  void Finish() override {
    log_->finished.push_back(name_);
    log_->finishedOn = std::this_thread::get_id();
    if (ran_) log_->ran.push_back(name_);
  }

 private:
  std::string name_;
  Log* log_;
  std::atomic<int>* entered_;
  bool ran_ = false;
};

void WaitIdle(PreviewWorker& worker) {
  while (worker.Busy()) std::this_thread::yield();
  QCoreApplication::sendPostedEvents();
}

TEST(WorkerTasks, NewestOfAKeyReplacesTheWaitingOne) {
  PreviewWorker worker;
  Log log;
  std::atomic<int> entered{0};
  int slotA = 0, slotB = 0;
  gRelease = false;
  worker.SubmitTask(std::make_shared<Probe>(&slotA, "a1", &log, &entered));
  while (entered.load() == 0) std::this_thread::yield();
  worker.SubmitTask(std::make_shared<Probe>(&slotA, "a2", &log, &entered));
  worker.SubmitTask(std::make_shared<Probe>(&slotA, "aside", &log, &entered, 1));
  worker.SubmitTask(std::make_shared<Probe>(&slotB, "b1", &log, &entered));
  worker.SubmitTask(std::make_shared<Probe>(&slotA, "a3", &log, &entered));
  EXPECT_TRUE(log.finished.empty());  // nothing shows before the event loop runs
  gRelease = true;
  WaitIdle(worker);
  EXPECT_EQ(log.finished, (std::vector<std::string>{"a1", "a3", "aside", "b1"}));
  EXPECT_EQ(entered.load(), 4);  // a2 never ran; the other lane kept its task
  EXPECT_EQ(log.finishedOn, std::this_thread::get_id());
}

TEST(WorkerTasks, AStaleTaskNeverFinishesAndStopDropsWhatWaits) {
  PreviewWorker worker;
  Log log;
  std::atomic<int> entered{0};
  int key = 0;
  gRelease = false;
  auto running = std::make_shared<Probe>(&key, "running", &log, &entered);
  worker.SubmitTask(running);
  while (entered.load() == 0) std::this_thread::yield();
  running->MarkStale();
  auto waiting = std::make_shared<Probe>(&key, "waiting", &log, &entered);
  worker.SubmitTask(waiting);
  // The running task is let go only once Stop has dropped the waiting one;
  // released earlier, the worker could take it up before Stop comes.
  std::thread release([&waiting] {
    while (!waiting->stale()) std::this_thread::yield();
    gRelease = true;
  });
  worker.Stop();
  release.join();
  QCoreApplication::sendPostedEvents();
  EXPECT_TRUE(log.finished.empty());
  EXPECT_EQ(entered.load(), 1);
}

}  // namespace
