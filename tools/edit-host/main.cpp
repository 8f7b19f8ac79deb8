// edit-host: the stand-in photo host. It takes image files as the user's
// selected versions, makes an editable TIFF copy of each in the versions
// folder (16 bits where the source has them, with its alpha where it has
// one), loads the plug-in bundle, starts an edit session and shows the
// plug-in's window until the plug-in ends or cancels the session. It prints
// where the edited versions are.
//
//   edit-host [--versions DIR] [--bundle DIR] [--layers FILE] [--effect N [--dialog ok|cancel]]
//             [--auto ok|cancel] [--] IMAGE ...
//
// --layers installs a combined-layer file as the session's layer file and
// renders it as a confirmed effect would; --effect presses the button of
// effect N in the plug-in's window once it shows, and --dialog answers that
// effect's dialog with OK or Cancel once it has shown its first preview (and
// a question the dialog then asks, such as the grid warp's on closing, with
// its first choice; a dialog that shows no preview within a minute ends the
// run with status 1);
// --auto then presses OK or Cancel and answers the plug-in's questions with
// OK: for tests and scripted runs. Exit status 0
// when the session ended or was cancelled; 1 when it could not start, a
// version could not be made, the plug-in showed an alert (an edited version
// or a confirmed effect that could not be written) or a dialog showed no
// preview; the alert's text is printed.
// Only a session that ended confirmed keeps the copies it made in the
// versions folder; a cancelled or failed one removes them again (the
// versions OK wrote over them too), and so does one stopped by Ctrl+C,
// Ctrl+\, a closed terminal or SIGTERM (status 128 + the signal's number);
// each says so, naming what it could not remove. A stop that comes while
// OK writes the edited versions is taken once they are written: they are
// kept, the run says which, and the status is 3. What a run killed
// outright or crashed left (as its record says) goes when the next starts.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "host_session.h"
#include "live_probe.h"
#include "stop_signals.h"
#include "platform/files/file_io.h"
#include "platform/files/run_record.h"
#include "platform/hostapi/live_log.h"

namespace fs = std::filesystem;

namespace {

// Seconds an effect's dialog is given to show its first preview before a
// --dialog run gives up on it.
constexpr int kFirstPreviewWait = 60;
// The exit status of a run stopped once OK had written the edited versions,
// which it keeps: a script tells it from a stop that removed the copies
// (128 + the signal) and from an end with no stop (0).
constexpr int kStoppedAfterOk = 3;

// The write end of the pipe on which a stop signal reaches the event loop:
// a handler may only write, the copies are removed from the loop.
int gStopSignalPipe = -1;
// Set while the application's event loop runs; a signal sent before it runs
// or after it ended cannot wait for it.
volatile sig_atomic_t gLoopServes = 0;
// The stop signal passed to the loop, if any; a second one is not.
volatile sig_atomic_t gStopPassed = 0;

void OnStopSignal(int signal) {
  // The loop takes the first stop, also once the session ended confirmed
  // and before the loop has ended (an alert OK showed after the versions
  // were written may still be open): the run then ends keeping them.
  if (gLoopServes != 0 && gStopPassed == 0) {
    gStopPassed = signal;
    const unsigned char number = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t n = ::write(gStopSignalPipe, &number, 1);
    return;
  }
  // Once the outcome is settled (the session ended confirmed, or the run is
  // saying what it leaves), a stop changes nothing.
  if (!stops::Open()) return;
  // The main thread is held where the loop cannot run (making a copy,
  // loading the plug-in, a file that does not answer), or the loop did not
  // take the first signal: what this start made goes from here, and the
  // process ends.
  stops::StopFromHandler(signal);
}

// Says what became of what a session that did not end confirmed made:
// `done` when it is all gone, else each thing that stays, with the reason.
void TellCopiesRemoved(const EditableCopies& copies, const char* how, const std::string& done) {
  if (copies.NotRemoved().empty()) {
    std::printf("%s; %s\n", how, done.c_str());
    return;
  }
  for (const std::string& left : copies.NotRemoved()) std::printf("%s; could not remove %s\n", how, left.c_str());
}

// Names each copy whose name another file took during the edit, and where
// the file written for it went instead; the other file stays as it is.
void TellMoved() {
  for (const auto& [name, instead] : stops::Moved())
    std::printf("%s was no longer the editable copy (another file had taken its name, and stays): "
                "its version is in %s\n",
                name.c_str(), instead.c_str());
}

// Names each file of someone else's that a write-back had to leave at
// another name (a third file took its name in the moment it was checked).
void TellStranded() {
  for (const stops::Stranded& s : stops::StrandedFiles()) {
    if (s.cameAfter)
      std::printf("The file that had taken the name %s is back there; another file, put at that name while it was "
                  "checked, is now at %s\n",
                  s.name.c_str(), s.at.c_str());
    else if (s.error == EEXIST)
      std::printf("The file that had taken the name %s is now at %s: another took that name while it was checked\n",
                  s.name.c_str(), s.at.c_str());
    else
      std::printf("The file that had taken the name %s is now at %s: it could not be put back: %s\n", s.name.c_str(),
                  s.at.c_str(), std::strerror(s.error));
  }
}

// Ctrl+C, Ctrl+\, a closed terminal and SIGTERM end the run as a cancel would, from
// the event loop (or from a modal loop of the plug-in's): an unconfirmed
// session's copies are removed, then the process ends at once.
void StopOnSignals(QApplication* app, const HostEditManager* manager, EditableCopies* copies,
                   const std::string& versions) {
  stops::SetStopLine("Edit stopped; the editable copies it made in " + versions + " are removed");
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
  gStopSignalPipe = fds[1];
  auto* notifier = new QSocketNotifier(fds[0], QSocketNotifier::Read, app);
  QObject::connect(notifier, &QSocketNotifier::activated, [=] {
    unsigned char number = 0;
    if (::read(fds[0], &number, 1) != 1) return;
    // OK writes the versions and then asks for the session's end, which
    // waits in the queue: a stop that came while it wrote is taken after it.
    QCoreApplication::sendPostedEvents(qApp, QEvent::MetaCall);
    if (manager->outcome() == HostEditManager::Outcome::kEnded) {
      // Ended confirmed (an alert OK shows after it may still be open): the
      // run ends now, keeping the versions, and main says which they are.
      QCoreApplication::exit(0);
      return;
    }
    if (!stops::BeginStop()) return;
    copies->Remove();
    TellCopiesRemoved(*copies, "Edit stopped", "the editable copies it made in " + versions + " are removed");
    std::fflush(stdout);
    stops::EndRecord();
    plat::hostapi::LiveLog("exit %d", 128 + number);
    std::_Exit(128 + number);
  });
  struct sigaction action = {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  // A signal the run was started with ignored (nohup, a background job of a
  // script) stays ignored.
  for (int signal : stops::kStopSignals) {
    struct sigaction old = {};
    if (::sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    ::sigaction(signal, &action, nullptr);
  }
}

struct Options {
  std::vector<std::string> images;
  std::string versions;
  std::string bundle;
  std::string autoAnswer;
  std::string layers;
  int effect = 0;
  std::string dialogAnswer;
};

// The plug-in window's button of each effect.
const char* EffectCommand(int effect) {
  static constexpr struct {
    int effect;
    const char* command;
  } kButtons[] = {{92, "Bmfr"},  {100, "Bpfr"}, {102, "Bgrd"}, {103, "Bdno"}, {104, "Bsmo"},
                  {105, "Bfoc"}, {106, "Bbor"}, {113, "Bpfx"}, {114, "Bcfr"}, {115, "Bpli"},
                  {116, "Bpsu"}, {117, "Btex"}, {118, "Btoo"}};
  for (const auto& b : kButtons)
    if (b.effect == effect) return b.command;
  return nullptr;
}

void Usage() {
  std::fprintf(stderr,
               "usage: edit-host [--versions DIR] [--bundle DIR] [--layers FILE] "
               "[--effect N [--dialog ok|cancel]] [--auto ok|cancel] [--] IMAGE ...\n");
}

bool ParseArguments(int argc, char** argv, Options* o) {
  bool options = true;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    // After "--" every argument is an image, whatever it starts with.
    if (!options) {
      o->images.push_back(a);
      continue;
    }
    if (a == "--") {
      options = false;
      continue;
    }
    auto value = [&](std::string* out) {
      if (i + 1 >= argc) return false;
      *out = argv[++i];
      return true;
    };
    if (a == "--versions") {
      if (!value(&o->versions)) return false;
    } else if (a == "--bundle") {
      if (!value(&o->bundle)) return false;
    } else if (a == "--layers") {
      if (!value(&o->layers)) return false;
    } else if (a == "--effect") {
      std::string n;
      if (!value(&n)) return false;
      o->effect = std::atoi(n.c_str());
      if (EffectCommand(o->effect) == nullptr) return false;
    } else if (a == "--dialog") {
      if (!value(&o->dialogAnswer) || (o->dialogAnswer != "ok" && o->dialogAnswer != "cancel")) return false;
    } else if (a == "--auto") {
      if (!value(&o->autoAnswer) || (o->autoAnswer != "ok" && o->autoAnswer != "cancel")) return false;
    } else if (a == "--help" || a == "-h" || (a.size() > 1 && a[0] == '-')) {
      return false;
    } else {
      o->images.push_back(a);
    }
  }
  return !o->images.empty() && (o->dialogAnswer.empty() || o->effect != 0);
}

std::string DefaultVersionsFolder() {
  const char* data = std::getenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  const fs::path base = data != nullptr && *data != 0 ? fs::path(data)
                        : home != nullptr             ? fs::path(home) / ".local/share"
                                                      : fs::temp_directory_path();
  return (base / "Vellmarkstead versions").string();
}

std::string DefaultBundleFolder(const char* argv0) {
  std::error_code ec;
  fs::path exe = fs::canonical("/proc/self/exe", ec);
  if (ec) exe = fs::absolute(argv0);
  // Built tree: build/tools/edit-host and build/ApeVMKPlugin.bundle.
  return (exe.parent_path().parent_path() / "ApeVMKPlugin.bundle").string();
}

// The shown push button of `w` that sends `command`, or null.
QAbstractButton* CommandButton(QWidget* w, const char* command) {
  for (QAbstractButton* b : w->findChildren<QAbstractButton*>())
    if (b->property("cmd").toString() == QString::fromLatin1(command) && b->isVisible()) return b;
  return nullptr;
}

// Clicks the push button of `w` that sends `command`; false when it has none.
bool ClickCommand(QWidget* w, const char* command) {
  QAbstractButton* b = CommandButton(w, command);
  if (b != nullptr) b->click();
  return b != nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  // What the run says is for whoever reads it: a reader that went away
  // (`| head`, a `tee` ended by Ctrl+C) must not end the run at its next
  // line, between a write and its clean-up or in the midst of a stop's
  // removals. Its lines are then lost, nothing else: the same files are
  // kept or removed, with the same status.
  std::signal(SIGPIPE, SIG_IGN);
  plat::hostapi::LiveLog("start");
  Options options;
  if (!ParseArguments(argc, argv, &options)) {
    Usage();
    return 2;
  }
  if (options.versions.empty()) options.versions = DefaultVersionsFolder();
  if (options.bundle.empty()) options.bundle = DefaultBundleFolder(argv[0]);

  std::atexit([] { stops::HoldForTest("exit"); });
  QApplication app(argc, argv);
  LiveProbe* probe = LiveProbe::Install(&app);
  HostEditManager manager;
  // Taken away again on every way out but a confirmed end.
  EditableCopies copies;
  StopOnSignals(&app, &manager, &copies, options.versions);
  // What runs killed outright or crashed left, as their records say, goes
  // now; this run's record starts before anything is made.
  std::vector<std::string> notes;
  stops::BeginRecord(plat::files::RunRecordsFolder(), &notes);
  for (const std::string& note : notes) std::fprintf(stderr, "edit-host: left by a run that was killed: %s\n", note.c_str());
  // The temporary files that the host's own writers and the plug-in's make
  // are recorded, so that a stop takes a half-written one away.
  plat::files::WatchTemporaries(stops::TemporaryWatch());
  // A run that fails once it made copies takes them away and says so.
  auto failed = [&] {
    stops::Settle();
    copies.Remove();
    if (copies.made())
      TellCopiesRemoved(copies, "Edit failed", "the editable copies it made in " + options.versions + " are removed");
    return 1;
  };
  for (const std::string& image : options.images) {
    std::string copy;
    std::string why;
    if (!copies.Make(image, options.versions, &copy, &why)) {
      std::fprintf(stderr, "edit-host: no editable version of %s: %s\n", image.c_str(), why.c_str());
      return failed();
    }
    manager.AddVersion(copy);
  }
  stops::HoldForTest("copies");
  HostApiManager api(&manager);

  std::string why;
  PluginModule module;
  if (!module.Load(options.bundle, &why)) {
    std::fprintf(stderr, "edit-host: %s\n", why.c_str());
    return failed();
  }
  module.WatchTemporaries(stops::TemporaryWatch());
  plat::hostapi::ApertureEditPlugin* plugin = module.Create(&api);
  if (plugin == nullptr) {
    std::fprintf(stderr, "edit-host: the plug-in refused the host\n");
    return failed();
  }
  plugin->beginEditSession();
  auto* window = static_cast<QWidget*>(plugin->editWindow());
  if (window == nullptr) {
    const std::string reason = plugin->lastErrorMessage();
    std::fprintf(stderr, "edit-host: the plug-in has no window: %s\n",
                 reason.empty() ? "unknown reason" : reason.c_str());
    delete plugin;
    return failed();
  }
  if (!options.layers.empty() && module.RenderLayers(plugin, options.layers) != 0) {
    const std::string reason = plugin->lastErrorMessage();
    std::fprintf(stderr, "edit-host: %s\n",
                 reason.empty() ? ("cannot render " + options.layers).c_str() : reason.c_str());
    delete plugin;
    return failed();
  }
  window->show();

  int status = 0;
  // While the effect's dialog is open: the previews shown before it opened,
  // and the time since it was asked for.
  long previewsBefore = -1;
  QElapsedTimer sinceOpened;
  bool dialogAnswered = false;
  // The dialog answered; a window it opens then (a question on closing) is
  // answered with its first choice.
  QWidget* answeredDialog = nullptr;
  if (options.effect != 0 || !options.autoAnswer.empty()) {
    QTimer::singleShot(0, window, [&] {
      if (options.effect != 0) {
        previewsBefore = module.PreviewsShown(plugin);
        sinceOpened.start();
        // Returns once the dialog has closed and its effect is rendered.
        ClickCommand(window, EffectCommand(options.effect));
        previewsBefore = -1;
      }
      // After an alert (an effect that was not applied, say) the session is
      // not ended as if all had gone well.
      if (!options.autoAnswer.empty() && status == 0)
        ClickCommand(window, options.autoAnswer == "ok" ? "ok  " : "canc");
    });
    auto* watcher = new QTimer(&app);
    QObject::connect(watcher, &QTimer::timeout, [&] {
      QWidget* modal = QApplication::activeModalWidget();
      if (modal == nullptr) {
        // The plug-in's own dialogs run their modal loops without Qt's
        // modality: any other window that shows is one of them. The
        // effect's dialog is answered once it shows a preview; other
        // questions with OK.
        const bool inEffect = previewsBefore >= 0;
        if (inEffect && dialogAnswered) {
          for (QWidget* w : QApplication::topLevelWidgets())
            if (w != window && w != answeredDialog && w->isVisible() && ClickCommand(w, "ok  ")) return;
          return;
        }
        if (inEffect && !options.dialogAnswer.empty() && module.PreviewsShown(plugin) <= previewsBefore &&
            sinceOpened.elapsed() > kFirstPreviewWait * 1000) {
          // A dialog that never shows a preview would hold the run for ever.
          QString name;
          for (QWidget* w : QApplication::topLevelWidgets())
            if (w != window && w->isVisible() && name.isEmpty())
              name = !w->objectName().isEmpty() ? w->objectName() : w->windowTitle();
          std::fprintf(stderr, "edit-host: the window %s showed no preview within %d s\n",
                       name.isEmpty() ? "of the effect" : name.toLocal8Bit().constData(), kFirstPreviewWait);
          status = 1;
          app.exit(1);
          return;
        }
        if (inEffect && (options.dialogAnswer.empty() || module.PreviewsShown(plugin) <= previewsBefore))
          return;
        if (!inEffect && options.autoAnswer.empty()) return;
        const char* answer = inEffect && options.dialogAnswer == "cancel" ? "canc" : "ok  ";
        for (QWidget* w : QApplication::topLevelWidgets()) {
          QAbstractButton* b = w != window && w->isVisible() ? CommandButton(w, answer) : nullptr;
          if (b == nullptr) continue;
          if (!inEffect) {
            b->click();
            return;
          }
          // Clicked from the event loop, not from this timer: the click
          // returns only once the dialog has closed, and a question the
          // dialog asks meanwhile needs this timer free to answer it.
          dialogAnswered = true;
          answeredDialog = w;
          QMetaObject::invokeMethod(b, "click", Qt::QueuedConnection);
          return;
        }
        return;
      }
      if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        std::fprintf(stderr, "edit-host: %s\n", box->text().toLocal8Bit().constData());
        status = 1;
        box->done(QMessageBox::Ok);
        app.exit(1);
        return;
      }
      ClickCommand(modal, "ok  ");
    });
    watcher->start(20);
  }
  // Posted after the effect's click, so that it comes inside the dialog's
  // own loop when there is one.
  QTimer::singleShot(0, &app, [] { stops::HoldForTest("turn"); });
  stops::HoldForTest("loop");
  // Set before the loop's first turn, which may already press OK: a stop
  // while OK writes the versions then waits for the loop.
  gLoopServes = 1;
  const int loop = app.exec();
  gLoopServes = 0;
  // From here on a stop signal changes nothing: what the run says below is
  // what it leaves.
  stops::Settle();
  if (probe != nullptr) probe->Finish();
  if (loop != 0) status = 1;
  delete plugin;
  // Windows the plug-in closed in its last turns are deleted by a loop turn
  // that no longer comes once the session has ended.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QCoreApplication::processEvents();
  // A stop signal that the loop was given and did not act on.
  const int stopped = gStopPassed;
  const std::string removed = "the editable copies it made in " + options.versions + " are removed";
  switch (manager.outcome()) {
    case HostEditManager::Outcome::kEnded: {
      copies.Keep();
      if (stopped != 0) {
        // It came while OK rendered and wrote the versions, which are whole.
        std::string written;
        for (const std::string& path : stops::WrittenBack()) written += (written.empty() ? "" : ", ") + path;
        std::printf("Edit stopped once OK had written the edited versions: they are in %s%s\n",
                    options.versions.c_str(), written.empty() ? "" : (" (" + written + ")").c_str());
        status = kStoppedAfterOk;
      } else {
        std::printf("Edited versions are in %s\n", options.versions.c_str());
      }
      TellMoved();
      break;
    }
    case HostEditManager::Outcome::kCancelled:
    case HostEditManager::Outcome::kOpen:
      copies.Remove();
      if (stopped != 0) {
        TellCopiesRemoved(copies, "Edit stopped", removed);
        status = 128 + stopped;
      } else if (manager.outcome() == HostEditManager::Outcome::kCancelled) {
        TellCopiesRemoved(copies, "Edit cancelled", removed);
      } else {
        if (status == 0) status = 1;
        TellCopiesRemoved(copies, "Edit failed", removed);
      }
      break;
  }
  TellStranded();
  plat::hostapi::LiveLog("exit %d", status);
  return status;
}
