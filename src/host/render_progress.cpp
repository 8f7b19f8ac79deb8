#include "host/render_progress.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QLabel>
#include <QProgressBar>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <atomic>
#include <exception>
#include <new>
#include <thread>
#include <utility>

#include "paths/draw_par.h"
#include "platform/hostapi/live_log.h"
#include "platform/parallel/cancel.h"
#include "platform/parallel/progress.h"
#include "platform/random/random.h"
#include "platform/toolbox/toolbox.h"

namespace {

plat::CancelFlag* gRunning = nullptr;

std::function<void()>& StartWatcher() {
  static std::function<void()> watcher;
  return watcher;
}

std::function<void(int32_t)>& ProgressWatcher() {
  static std::function<void(int32_t)> watcher;
  return watcher;
}

// The bar's steps: tenths of a percent.
constexpr int kBarSteps = 1000;

// The window that shows after a second: the share of the render done and
// Cancel (its command 'canc', like every Cancel of the plug-in). Esc answers
// as Cancel.
class ProgressWindow : public QDialog {
 public:
  ProgressWindow(plat::CancelFlag* flag, const plat::ProgressMeter* meter)
      : flag_(flag), meter_(meter) {
    setWindowTitle("Rendering");
    setWindowModality(Qt::ApplicationModal);
    auto* layout = new QVBoxLayout(this);
    label_ = new QLabel("Rendering the effect over the image...", this);
    bar_ = new QProgressBar(this);
    bar_->setRange(0, kBarSteps);
    bar_->setObjectName("renderShare");
    Follow();
    // The render's threads only raise the meter; the window reads it at a
    // pace the eye follows.
    auto* poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, [this] { Follow(); });
    poll->start(100);
    button_ = new QPushButton("Cancel", this);
    button_->setProperty("cmd", "canc");
    layout->addWidget(label_);
    layout->addWidget(bar_);
    layout->addWidget(button_, 0, Qt::AlignRight);
    connect(button_, &QPushButton::clicked, this, [this] { Stop(); });
  }
  void Follow() {
    bar_->setValue(static_cast<int>(static_cast<int64_t>(meter_->parts()) * kBarSteps /
                                    plat::ProgressMeter::kWhole));
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
  const plat::ProgressMeter* meter_;
  QLabel* label_ = nullptr;
  QProgressBar* bar_ = nullptr;
  QPushButton* button_ = nullptr;
};

// The render's answer; an exception thrown by it is turned into one here, on
// the thread that ran it: none may end the process, nor leave the render's
// thread.
int32_t Guarded(const std::function<int32_t()>& render) {
  // The render's paths map and draw through a record of its own: the interface thread lends
  // the session's to its views meanwhile.
  const RenderDrawingScope ownDrawPar;
  const plat::RenderRandomScope ownNumbers;
  try {
    return render();
  } catch (const std::bad_alloc&) {
    return kRenderNoMemory;
  } catch (const std::exception&) {
    return -1;
  }
}

// The input of a render's first second, before its window shows: a click on a button reaches
// its window, whose owner holds what it is asked until the render is over (the main window's
// OK clicked right after a dialog's was dropped before: held back by the window system, it
// came only once the modal window below had shown, which made the main window drop it). Any
// other input is dropped, so that nothing else starts beside the render, nor a close box
// cancels the session under it.
class FirstSecondInput : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    // Taken where the widget gets it: the native window passes it on to the widget under it.
    if (!watched->isWidgetType()) return false;
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease: {
        auto* button = qobject_cast<QAbstractButton*>(watched);
        if (button == nullptr || button->isCheckable() || !button->isEnabled()) return true;
        if (event->type() == QEvent::MouseButtonPress) pressed_ = button;
        return false;
      }
      case QEvent::Close:
        // Refused, not only kept from the widget: a close event left accepted closes it.
        if (!event->spontaneous()) return false;
        event->ignore();
        return true;
      case QEvent::MouseButtonDblClick:
      case QEvent::MouseMove:
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::ShortcutOverride:
      case QEvent::Shortcut:
      case QEvent::Wheel:
      case QEvent::ContextMenu:
      case QEvent::InputMethod:
      case QEvent::TabletPress:
      case QEvent::TabletMove:
      case QEvent::TabletRelease:
      case QEvent::TouchBegin:
      case QEvent::TouchUpdate:
      case QEvent::TouchEnd:
      case QEvent::TouchCancel:
      case QEvent::DragEnter:
      case QEvent::DragMove:
      case QEvent::Drop:
        return true;
      default:
        return false;
    }
  }
  // A press whose release is still to come goes back up without a click: the modal window
  // would keep its release from the button.
  void Release() {
    if (pressed_ != nullptr && pressed_->isDown()) pressed_->setDown(false);
  }

 private:
  QPointer<QAbstractButton> pressed_;
};

int32_t RunBeside(const std::function<int32_t()>& render, plat::CancelFlag* flag,
                  plat::ProgressMeter* meter) {
  std::atomic<bool> done{false};
  int32_t result = 0;
  QEventLoop loop;
  std::thread worker([&] {
    {
      const plat::CancelScope scope(flag);
      const plat::ProgressScope progress(meter);
      result = Guarded(render);
    }
    done = true;
    QMetaObject::invokeMethod(&loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
  });
  // The first second: events, and of the input only clicks on buttons.
  QTimer wait;
  wait.setSingleShot(true);
  QObject::connect(&wait, &QTimer::timeout, &loop, [&loop] { loop.quit(); });
  wait.start(1000);
  {
    FirstSecondInput input;
    qApp->installEventFilter(&input);
    loop.exec();
    qApp->removeEventFilter(&input);
    input.Release();
  }
  if (!done) {
    ProgressWindow window(flag, meter);
    window.adjustSize();
    plat::tb::TieToFrontWindow(&window);
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
  plat::ProgressMeter meter;
  if (ProgressWatcher()) meter.SetObserver(ProgressWatcher());
  plat::CancelFlag* outer = std::exchange(gRunning, &flag);
  if (StartWatcher()) StartWatcher()();
  plat::hostapi::LiveLog("render-begin");
  int32_t result = 0;
  if (plat::tb::RunsOnVirtualClock()) {
    const plat::CancelScope scope(&flag);
    const plat::ProgressScope progress(&meter);
    result = Guarded(render);
  } else {
    result = RunBeside(render, &flag, &meter);
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

void SetRenderProgressWatcher(std::function<void(int32_t)> watcher) {
  ProgressWatcher() = std::move(watcher);
}
