#include "host/render_progress.h"

#include <QDialog>
#include <QEventLoop>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <atomic>
#include <thread>
#include <utility>

#include "platform/hostapi/live_log.h"
#include "platform/parallel/cancel.h"
#include "platform/toolbox/toolbox.h"

namespace {

plat::CancelFlag* gRunning = nullptr;

std::function<void()>& StartWatcher() {
  static std::function<void()> watcher;
  return watcher;
}

// The window that shows after a second: a busy bar and Cancel (its command
// 'canc', like every Cancel of the plug-in). Esc answers as Cancel.
class ProgressWindow : public QDialog {
 public:
  explicit ProgressWindow(plat::CancelFlag* flag) : flag_(flag) {
    setWindowTitle("Rendering");
    setWindowModality(Qt::ApplicationModal);
    auto* layout = new QVBoxLayout(this);
    label_ = new QLabel("Rendering the effect over the image...", this);
    auto* bar = new QProgressBar(this);
    bar->setRange(0, 0);  // no measure of the part done: a busy bar
    button_ = new QPushButton("Cancel", this);
    button_->setProperty("cmd", "canc");
    layout->addWidget(label_);
    layout->addWidget(bar);
    layout->addWidget(button_, 0, Qt::AlignRight);
    connect(button_, &QPushButton::clicked, this, [this] { Stop(); });
  }
  void Stop() {
    flag_->Cancel();
    label_->setText("Stopping...");
    button_->setEnabled(false);
  }

 protected:
  // Closing the window or pressing Esc stops the render; the window stays
  // until the render has stopped.
  void reject() override { Stop(); }

 private:
  plat::CancelFlag* flag_;
  QLabel* label_ = nullptr;
  QPushButton* button_ = nullptr;
};

int32_t RunBeside(const std::function<int32_t()>& render, plat::CancelFlag* flag) {
  std::atomic<bool> done{false};
  int32_t result = 0;
  QEventLoop loop;
  std::thread worker([&] {
    {
      const plat::CancelScope scope(flag);
      result = render();
    }
    done = true;
    QMetaObject::invokeMethod(&loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
  });
  // The first second: events but no input.
  QTimer wait;
  wait.setSingleShot(true);
  QObject::connect(&wait, &QTimer::timeout, &loop, [&loop] { loop.quit(); });
  wait.start(1000);
  loop.exec(QEventLoop::ExcludeUserInputEvents);
  if (!done) {
    ProgressWindow window(flag);
    window.show();
    while (!done) loop.exec();
    window.hide();
  }
  worker.join();
  return result;
}

}  // namespace

int32_t RunRenderWithProgress(const std::function<int32_t()>& render) {
  plat::CancelFlag flag;
  plat::CancelFlag* outer = std::exchange(gRunning, &flag);
  if (StartWatcher()) StartWatcher()();
  plat::hostapi::LiveLog("render-begin");
  int32_t result = 0;
  if (plat::tb::RunsOnVirtualClock()) {
    const plat::CancelScope scope(&flag);
    result = render();
  } else {
    result = RunBeside(render, &flag);
  }
  gRunning = outer;
  plat::hostapi::LiveLog("render-end %d", flag.cancelled() ? kRenderCancelled : result);
  return flag.cancelled() ? kRenderCancelled : result;
}

void CancelRender() {
  if (gRunning != nullptr) gRunning->Cancel();
}

bool RenderRunning() { return gRunning != nullptr; }

void SetRenderStartWatcher(std::function<void()> watcher) { StartWatcher() = std::move(watcher); }
