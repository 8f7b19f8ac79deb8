// The host's side of the live log (platform/hostapi/live_log.h), on only when
// VMK_LIVE_LOG names a file: a heartbeat in the event loop that logs every
// gap longer than 50 ms (with the part of it the loop's thread waited for a
// processor and the part it ran) and, at the end, the longest held; each top-level window
// that shows (once exposed, where the window manager put it), moves or hides, with its
// controls where they are on the screen, and what a message box that shows
// says (an "alert" line: its text and buttons); and
// the same for every visible window whenever the process gets SIGUSR1, so
// that the live check can find a control after a page changed; a bare
// "sync" line on SIGUSR2, by which the check knows the loop has handled the
// input it sent before. Nothing here
// sends input: the check presses and types through the X server.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <vector>

class QApplication;
class QSocketNotifier;
class QTimer;

class LiveProbe : public QObject {
 public:
  // Null when the log is off.
  static LiveProbe* Install(QApplication* app);
  // Logs the longest gap of the loop; call once the loop has ended.
  void Finish();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  explicit LiveProbe(QApplication* app);
  void Beat();
  bool ThreadTimes(double* ran, double* queued) const;
  void DumpAll();
  void DumpWindow(QWidget* window, const char* what);
  // Logs a window as shown, where it is now.
  void LogShown(QWidget* window);

  QTimer* heart_ = nullptr;
  QSocketNotifier* dumpRequests_ = nullptr;
  double last_ = -1.0;
  double lastRan_ = -1.0;
  double lastQueued_ = -1.0;
  double longest_ = 0.0;
  int schedstat_ = -1;
  long dumps_ = 0;
  long syncs_ = 0;
  // Shown, not yet exposed: logged once they are.
  std::vector<QPointer<QWidget>> awaiting_;
};
