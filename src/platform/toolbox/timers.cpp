// Event-loop timers on the layer's one clock. Live, a single Qt timer wakes
// the loop at the earliest fire time; under the test driver's virtual clock
// nothing fires on real time and the driver fires due timers itself.
#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <memory>

#include "platform/toolbox/api/ui_services.h"
#include "platform/toolbox/toolbox_internal.h"

namespace plat::tb {

struct Timer {
  EventLoopTimerProc proc;
  void* userData = nullptr;
  double interval = 0.0;
  double next = -1.0;  // absolute time, negative when dormant
  bool running = false;
  bool removed = false;
};

namespace {

std::vector<std::unique_ptr<Timer>>& Timers() {
  static std::vector<std::unique_ptr<Timer>> timers;
  return timers;
}

bool gVirtual = false;

QTimer* Wake() {
  static QTimer* t = nullptr;
  if (t == nullptr && QCoreApplication::instance() != nullptr) {
    t = new QTimer(QCoreApplication::instance());
    t->setSingleShot(true);
    QObject::connect(t, &QTimer::timeout, [] { FireDueTimers(); });
  }
  return t;
}

void Reschedule() {
  if (gVirtual) return;
  QTimer* t = Wake();
  if (t == nullptr) return;
  double when = EarliestTimer();
  if (when < 0.0) {
    t->stop();
    return;
  }
  double wait = when - ui::Now();
  t->start(wait <= 0.0 ? 0 : static_cast<int>(wait * 1000.0 + 0.5));
}

bool Known(const Timer* timer) {
  for (const auto& t : Timers())
    if (t.get() == timer) return true;
  return false;
}

void Purge() {
  auto& ts = Timers();
  ts.erase(std::remove_if(ts.begin(), ts.end(), [](const auto& t) { return t->removed && !t->running; }), ts.end());
}

}  // namespace

void UseVirtualClock(bool on) {
  gVirtual = on;
  if (on) {
    if (QTimer* t = Wake()) t->stop();
  } else {
    Reschedule();
  }
}

bool VirtualClock() { return gVirtual; }

bool RunsOnVirtualClock() { return gVirtual; }

void PostToEventLoop(std::function<void()> call) {
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr || !call) return;
  QMetaObject::invokeMethod(app, std::move(call), Qt::QueuedConnection);
}

double EarliestTimer() {
  double best = -1.0;
  for (const auto& t : Timers())
    if (!t->removed && !t->running && t->next >= 0.0 && (best < 0.0 || t->next < best)) best = t->next;
  return best;
}

int FireDueTimers() {
  int fired = 0;
  // A callback may install, remove or re-arm timers, or run a nested modal
  // loop in which this function runs again; pick one due timer at a time.
  for (;;) {
    double now = ui::Now();
    Timer* due = nullptr;
    for (const auto& t : Timers()) {
      if (t->removed || t->running || t->next < 0.0 || t->next > now) continue;
      if (due == nullptr || t->next < due->next) due = t.get();
    }
    if (due == nullptr) break;
    due->next = due->interval > 0.0 ? now + due->interval : -1.0;
    due->running = true;
    if (due->proc) due->proc(due, due->userData);
    due->running = false;
    ++fired;
    if (fired > 10000) break;  // a timer re-arming itself at 0 forever
  }
  Purge();
  Reschedule();
  return fired;
}

OSStatus InstallEventLoopTimer(double delay, double interval, EventLoopTimerProc proc, void* userData,
                               EventLoopTimerRef* out) {
  if (!proc) return paramErr;
  auto t = std::make_unique<Timer>();
  t->proc = std::move(proc);
  t->userData = userData;
  t->interval = interval;
  t->next = delay < 0.0 ? -1.0 : ui::Now() + delay;
  if (out != nullptr) *out = t.get();
  Timers().push_back(std::move(t));
  Reschedule();
  return noErr;
}

OSStatus SetEventLoopTimerNextFireTime(EventLoopTimerRef timer, double delay) {
  if (timer == nullptr || !Known(timer) || timer->removed) return paramErr;
  timer->next = delay < 0.0 ? -1.0 : ui::Now() + delay;
  Reschedule();
  return noErr;
}

OSStatus RemoveEventLoopTimer(EventLoopTimerRef timer) {
  if (timer == nullptr || !Known(timer)) return paramErr;
  timer->removed = true;
  timer->next = -1.0;
  if (!timer->running) Purge();
  Reschedule();
  return noErr;
}

}  // namespace plat::tb
