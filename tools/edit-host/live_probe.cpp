#include "live_probe.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPointer>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QScrollBar>
#include <QSocketNotifier>
#include <QTabBar>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform/hostapi/live_log.h"

namespace lv = plat::hostapi;

namespace {

constexpr int kBeatMs = 10;
// Shorter gaps are ordinary scheduling noise on a busy machine; the check's
// limit is 250 ms.
constexpr double kLoggedGapMs = 50.0;

int gDumpPipe[2] = {-1, -1};

// SIGUSR1 asks for every window with its controls, SIGUSR2 for a bare
// "sync" line: either way the answer comes from the event loop, after the
// input that reached the process before it.
void OnDumpSignal(int signal) {
  const char byte = signal == SIGUSR1 ? 1 : 2;
  const ssize_t n = ::write(gDumpPipe[1], &byte, 1);
  (void)n;
}

// The rectangle of `w` on the screen in device pixels, as the X server sees it.
QJsonObject& PutRect(QJsonObject& o, const QWidget* w, const QRect& local) {
  const qreal dpr = w->devicePixelRatioF();
  const QPoint g = w->mapToGlobal(local.topLeft());
  o["x"] = qRound(g.x() * dpr);
  o["y"] = qRound(g.y() * dpr);
  o["w"] = qRound(local.width() * dpr);
  o["h"] = qRound(local.height() * dpr);
  return o;
}

QString KindOf(const QWidget* w) {
  if (w->property("classId").isValid()) return "view";
  if (qobject_cast<const QComboBox*>(w)) return "popup";
  if (qobject_cast<const QCheckBox*>(w)) return "check";
  if (qobject_cast<const QRadioButton*>(w)) return "radio";
  if (qobject_cast<const QAbstractButton*>(w)) return "button";
  if (qobject_cast<const QLineEdit*>(w)) return "edit";
  if (qobject_cast<const QScrollBar*>(w)) return "scroll";
  if (qobject_cast<const QAbstractSlider*>(w)) return "slider";
  if (qobject_cast<const QTabBar*>(w)) return "tabs";
  return w->property("sig").isValid() ? "other" : QString();
}

void LogJson(const char* what, const QJsonObject& o) {
  lv::LiveLog("%s %s", what, QJsonDocument(o).toJson(QJsonDocument::Compact).constData());
}

// What a message box says as it shows (before it is exposed: a scripted run
// answers it at once): a run that ends on an alert (a file that could not
// be written, a question it asked) tells why from the log alone, and the
// check can name the alert in a failed row.
void LogAlert(QWidget* w) {
  auto* box = qobject_cast<QMessageBox*>(w);
  if (box == nullptr) return;
  QJsonObject o;
  o["win"] = QString::number(static_cast<qulonglong>(w->internalWinId()));
  o["title"] = box->windowTitle();
  o["text"] = box->text();
  if (!box->informativeText().isEmpty()) o["info"] = box->informativeText();
  QStringList buttons;
  for (QAbstractButton* b : box->buttons()) buttons << b->text();
  o["buttons"] = buttons.join(QLatin1Char('|'));
  LogJson("alert", o);
}

void DumpControl(qulonglong window, QWidget* w) {
  const QString kind = KindOf(w);
  if (kind.isEmpty() || !w->isVisible()) return;
  QJsonObject o;
  o["win"] = QString::number(window);
  o["k"] = kind;
  if (w->property("sig").isValid()) o["sig"] = w->property("sig").toString();
  if (w->property("id").isValid()) o["id"] = w->property("id").toInt();
  if (w->property("cmd").isValid()) o["cmd"] = w->property("cmd").toString();
  if (w->property("classId").isValid()) o["classId"] = w->property("classId").toString();
  o["name"] = w->objectName();
  o["en"] = w->isEnabled();
  o["focus"] = w->hasFocus();
  PutRect(o, w, w->rect());
  if (auto* b = qobject_cast<QAbstractButton*>(w)) {
    o["text"] = b->text();
    o["val"] = b->isChecked() ? 1 : 0;
  } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
    o["text"] = e->text();
  } else if (auto* s = qobject_cast<QAbstractSlider*>(w)) {
    o["val"] = s->value();
    o["min"] = s->minimum();
    o["max"] = s->maximum();
    o["step"] = s->singleStep();
    o["page"] = s->pageStep();
    o["vertical"] = s->orientation() == Qt::Vertical;
  } else if (auto* c = qobject_cast<QComboBox*>(w)) {
    o["text"] = c->currentText();
    o["val"] = c->currentIndex();
    o["count"] = c->count();
  } else if (auto* l = qobject_cast<QLabel*>(w)) {
    // What a caption says: a chooser's slots are known by their names.
    o["text"] = l->text();
  }
  LogJson("ctl", o);
  if (auto* t = qobject_cast<QTabBar*>(w)) {
    for (int i = 0; i < t->count(); ++i) {
      QJsonObject tab;
      tab["win"] = QString::number(window);
      tab["k"] = "tab";
      tab["index"] = i;
      tab["text"] = t->tabText(i);
      tab["val"] = i == t->currentIndex() ? 1 : 0;
      PutRect(tab, t, t->tabRect(i));
      LogJson("ctl", tab);
    }
  }
}

// A window that exists only for the live check's test of itself
// (VMK_LIVE_PLANTED): a click in it crashes the host, so that the check can
// show that a crash in a window is reported with the seed that found it.
class PlantedWindow : public QWidget {
 public:
  PlantedWindow() {
    setObjectName("LivePlanted");
    setWindowTitle("Planted");
    resize(320, 200);
    // Beside the main window, never under it.
    move(1000, 600);
  }

 protected:
  void mousePressEvent(QMouseEvent*) override {
    lv::LiveLog("planted crash");
    std::abort();
  }
};

}  // namespace

LiveProbe* LiveProbe::Install(QApplication* app) {
  if (!lv::LiveLogOn()) return nullptr;
  return new LiveProbe(app);
}

LiveProbe::LiveProbe(QApplication* app) : QObject(app) {
  // The loop's own thread: the probe is installed from it.
  schedstat_ = ::open("/proc/thread-self/schedstat", O_RDONLY | O_CLOEXEC);
  heart_ = new QTimer(this);
  heart_->setTimerType(Qt::PreciseTimer);
  connect(heart_, &QTimer::timeout, this, [this] { Beat(); });
  heart_->start(kBeatMs);
  app->installEventFilter(this);
  if (::pipe2(gDumpPipe, O_CLOEXEC | O_NONBLOCK) == 0) {
    dumpRequests_ = new QSocketNotifier(gDumpPipe[0], QSocketNotifier::Read, this);
    connect(dumpRequests_, &QSocketNotifier::activated, this, [this] {
      char bytes[64];
      ssize_t n = 0;
      while ((n = ::read(gDumpPipe[0], bytes, sizeof bytes)) > 0)
        for (ssize_t i = 0; i < n; ++i) {
          if (bytes[i] == 1) {
            DumpAll();
          } else {
            lv::LiveLog("sync %ld", ++syncs_);
          }
        }
    });
    struct sigaction action {};
    action.sa_handler = OnDumpSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGUSR1, &action, nullptr);
    sigaction(SIGUSR2, &action, nullptr);
  }
  lv::LiveLog("probe pid=%d", static_cast<int>(::getpid()));
  const char* planted = std::getenv("VMK_LIVE_PLANTED");
  if (planted != nullptr && *planted == '1') {
    auto* w = new PlantedWindow;
    connect(this, &QObject::destroyed, w, [w] { delete w; });
    QTimer::singleShot(0, w, [w] { w->show(); });
  }
}

// The calling thread's schedstat in milliseconds: the time it ran on a
// processor and the time it was runnable but waited for one. False when the
// kernel does not tell.
bool LiveProbe::ThreadTimes(double* ran, double* queued) const {
  if (schedstat_ < 0) return false;
  char text[128];
  const ssize_t n = ::pread(schedstat_, text, sizeof text - 1, 0);
  if (n <= 0) return false;
  text[n] = 0;
  unsigned long long r = 0, q = 0;
  if (std::sscanf(text, "%llu %llu", &r, &q) != 2) return false;
  *ran = static_cast<double>(r) / 1e6;
  *queued = static_cast<double>(q) / 1e6;
  return true;
}

void LiveProbe::Beat() {
  const double now = lv::LiveClockMs();
  double ran = -1.0, queued = -1.0;
  const bool told = ThreadTimes(&ran, &queued);
  if (last_ < 0.0) {
    lv::LiveLog("loop-start");
  } else {
    // A gap is logged with the part of it the loop's thread waited for a
    // processor and the part it ran: on a busy machine (or while the X server
    // is slow to answer) the wall time says little of what the program did;
    // the time it ran is the time it held its own loop.
    const double gap = now - last_;
    const bool both = told && lastRan_ >= 0.0;
    const double waited = both ? std::max(queued - lastQueued_, 0.0) : 0.0;
    const double held = both ? std::min(std::max(ran - lastRan_, 0.0), gap) : gap;
    longest_ = std::max(longest_, held);
    if (gap > kLoggedGapMs) lv::LiveLog("gap %.1f %.1f %.1f", gap, waited, held);
  }
  last_ = now;
  lastRan_ = told ? ran : -1.0;
  lastQueued_ = told ? queued : -1.0;
}

void LiveProbe::Finish() {
  heart_->stop();
  if (schedstat_ >= 0) ::close(schedstat_);
  schedstat_ = -1;
  lv::LiveLog("maxgap %.1f", longest_);
}

void LiveProbe::DumpAll() {
  ++dumps_;
  lv::LiveLog("dump-begin %ld", dumps_);
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible()) DumpWindow(w, "window");
  // The window that takes input now: an open popup, else the innermost
  // modal window; the others wait behind it.
  QWidget* top = QApplication::activePopupWidget();
  if (top == nullptr) top = QApplication::activeModalWidget();
  if (top != nullptr && top->internalWinId() != 0)
    lv::LiveLog("top %llu", static_cast<qulonglong>(top->internalWinId()));
  lv::LiveLog("dump-end %ld", dumps_);
}

void LiveProbe::DumpWindow(QWidget* w, const char* what) {
  QJsonObject o;
  const qulonglong id = w->winId();
  o["win"] = QString::number(id);
  o["name"] = w->objectName();
  o["title"] = w->windowTitle();
  o["type"] = w->windowType() == Qt::Popup ? "popup" : w->windowType() == Qt::ToolTip ? "tooltip" : "window";
  o["modal"] = w->isModal();
  o["dpr"] = w->devicePixelRatioF();
  o["class"] = w->metaObject()->className();
  PutRect(o, w, w->rect());
  LogJson(what, o);
  for (QWidget* c : w->findChildren<QWidget*>()) DumpControl(id, c);
  QWidget* focus = QApplication::focusWidget();
  if (focus != nullptr && focus->window() == w) {
    QJsonObject f;
    f["win"] = QString::number(id);
    f["name"] = focus->objectName();
    if (focus->property("id").isValid()) f["id"] = focus->property("id").toInt();
    if (focus->property("sig").isValid()) f["sig"] = focus->property("sig").toString();
    f["class"] = focus->metaObject()->className();
    LogJson("focus", f);
  }
}

void LiveProbe::LogShown(QWidget* w) {
  for (auto it = awaiting_.begin(); it != awaiting_.end();) {
    if (*it == nullptr || *it == w) it = awaiting_.erase(it);
    else ++it;
  }
  if (w != nullptr && w->isVisible()) DumpWindow(w, "shown");
}

bool LiveProbe::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Expose) {
    // A window is where it shows once it is first exposed: a window manager
    // places (and frames) it before it maps it, and Qt hears the move first.
    auto* h = qobject_cast<QWindow*>(watched);
    if (h == nullptr || !h->isExposed()) return false;
    for (auto it = awaiting_.begin(); it != awaiting_.end(); ++it)
      if (*it != nullptr && (*it)->windowHandle() == h) {
        QTimer::singleShot(0, this, [this, w = *it] {
          if (w != nullptr && w->isVisible()) DumpWindow(w, "shown");
        });
        awaiting_.erase(it);
        break;
      }
    return false;
  }
  if (event->type() == QEvent::Move) {
    // Moved once shown (by the window manager or a person): its controls
    // are elsewhere on the screen now.
    auto* w = qobject_cast<QWidget*>(watched);
    if (w == nullptr || !w->isWindow() || !w->isVisible() || w->internalWinId() == 0) return false;
    if (std::find(awaiting_.begin(), awaiting_.end(), w) != awaiting_.end()) return false;
    QTimer::singleShot(0, this, [this, w = QPointer<QWidget>(w)] {
      if (w != nullptr && w->isVisible()) DumpWindow(w, "window");
    });
    return false;
  }
  if (event->type() != QEvent::Show && event->type() != QEvent::Hide) return false;
  auto* w = qobject_cast<QWidget*>(watched);
  if (w == nullptr || !w->isWindow()) return false;
  if (event->type() == QEvent::Show) {
    LogAlert(w);
    // Logged when it is first exposed; a window that never is (nothing maps
    // it) is logged after a second anyway.
    awaiting_.push_back(w);
    QTimer::singleShot(1000, this, [this, w = QPointer<QWidget>(w)] {
      if (w != nullptr && std::find(awaiting_.begin(), awaiting_.end(), w) != awaiting_.end()) LogShown(w);
    });
  } else if (w->internalWinId() != 0) {
    lv::LiveLog("hidden {\"win\":\"%llu\",\"name\":\"%s\"}", static_cast<qulonglong>(w->internalWinId()),
                w->objectName().toUtf8().constData());
  }
  return false;
}
