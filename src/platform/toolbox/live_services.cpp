// The live user-interface services: mouse tracking on the Qt event loop,
// the keyboard's modifier state, cursors, and the Qt standard dialogs.
#include <QApplication>
#include <QAction>
#include <QBitmap>
#include <QColorDialog>
#include <QCursor>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileSystemModel>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTextStream>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>

#if VMK_TOOLBOX_XCB
#include <xcb/xcb.h>
#endif

#include "platform/files/file_types.h"
#include "platform/files/folders.h"
#include "platform/hostapi/live_log.h"
#include "platform/resources/resource_file.h"
#include "platform/toolbox/api/plain_menus.h"
#include "platform/toolbox/api/ui_services.h"
#include "platform/toolbox/toolbox_internal.h"

namespace plat::tb {

namespace {

class NameOnlyIcons : public QFileIconProvider {
 public:
  QIcon icon(const QFileInfo& info) const override {
    return QFileIconProvider::icon(info.isDir() ? QFileIconProvider::Folder : QFileIconProvider::File);
  }
  QString type(const QFileInfo& info) const override {
    if (info.isDir()) return QStringLiteral("Folder");
    const QString suffix = info.suffix();
    return suffix.isEmpty() ? QStringLiteral("File") : suffix.toUpper() + QStringLiteral(" File");
  }
};

}  // namespace

QAbstractFileIconProvider* FileDialogIcons() {
  static NameOnlyIcons icons;
  return &icons;
}

bool FileDialogLists(const std::string& posix, bool folder, const std::vector<OSType>& types) {
  if (folder) return true;
  const size_t slash = posix.rfind('/');
  if (files::IsSettingsFileName(slash == std::string::npos ? posix : posix.substr(slash + 1))) return false;
  return types.empty() || std::find(types.begin(), types.end(), files::FileTypeOf(posix)) != types.end();
}

void PrepareFileDialog(QFileDialog& dialog) {
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setOption(QFileDialog::ReadOnly);
  dialog.setIconProvider(FileDialogIcons());
  // The list's menu keeps its New Folder entry on a read-only list (Qt
  // turns only the button off): hidden, with delete and rename, so that no
  // menu shows them and no key reaches them.
  for (QAction* action : dialog.findChildren<QAction*>()) {
    const QString name = action->objectName();
    if (name == QLatin1String("qt_new_folder_action") || name == QLatin1String("qt_delete_action") ||
        name == QLatin1String("qt_rename_action")) {
      action->setEnabled(false);
      action->setVisible(false);
    }
  }
}

namespace {

// The Qt menus that show the plain menus made while the live services run.
std::map<OpaqueMenuRef*, std::unique_ptr<QMenu>>& QtMenus() {
  static std::map<OpaqueMenuRef*, std::unique_ptr<QMenu>> menus;
  return menus;
}

QWidget* WidgetOf(void* window) {
  auto* w = static_cast<Window*>(window);
  return w != nullptr ? w->widget : nullptr;
}

Point LocalOf(void* window, const QPoint& global) {
  QWidget* w = WidgetOf(window);
  QPoint p = w != nullptr ? w->mapFromGlobal(global) : global;
  return Point{static_cast<int16_t>(p.y()), static_cast<int16_t>(p.x())};
}

// The left button as the X server has it at this moment. Qt's own state
// follows the events it has delivered, and the X connection holds back the
// input that arrives while a loop runs without user input (a pause inside a
// press, the first second of a render); on the event dispatcher of most
// desktops those held events wait for the next event of another kind, so a
// release seen only through Qt could be seen long after the button came up,
// or never, while a loop polls for it. Elsewhere than on X (offscreen), what
// Qt delivered is all there is.
bool LeftButtonDown() {
#if VMK_TOOLBOX_XCB
  if (auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr) {
    xcb_connection_t* c = x11->connection();
    const xcb_setup_t* setup = c != nullptr ? xcb_get_setup(c) : nullptr;
    if (setup != nullptr) {
      const xcb_screen_iterator_t screen = xcb_setup_roots_iterator(setup);
      xcb_query_pointer_reply_t* reply =
          screen.rem > 0 ? xcb_query_pointer_reply(c, xcb_query_pointer(c, screen.data->root), nullptr) : nullptr;
      if (reply != nullptr) {
        const bool down = (reply->mask & XCB_BUTTON_MASK_1) != 0;
        std::free(reply);
        return down;
      }
    }
  }
#endif
  return (QGuiApplication::mouseButtons() & Qt::LeftButton) != 0;
}

// How long a wait for the next mouse event goes before it asks the server
// whether the button is still down.
constexpr int kTrackPollMs = 15;

// Waits in a local loop for the next mouse movement or release.
class MouseWaiter : public QObject {
 public:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::MouseMove || event->type() == QEvent::MouseButtonRelease) {
      auto* me = static_cast<QMouseEvent*>(event);
      global = me->globalPosition().toPoint();
      released = event->type() == QEvent::MouseButtonRelease;
      done = true;
      if (loop != nullptr) loop->quit();
    }
    return false;
  }
  QEventLoop* loop = nullptr;
  QPoint global;
  bool released = false;
  bool done = false;
};

// The save dialog of a typed file. The dialog asks before it replaces the
// name as typed; "Light" typed over a "Light.sse4" (which the user's lists
// show as "Light") is the same overwrite once the type's suffix is added, so
// it is asked here in the dialog's own words, and No leaves the dialog open.
class SaveFileDialog : public QFileDialog {
 public:
  SaveFileDialog(const QString& title, OSType type) : QFileDialog(nullptr, title), type_(type) {}

  void accept() override {
    const QStringList typed = selectedFiles();
    if (type_ != 0 && !typed.isEmpty() && !QFileInfo(typed.front()).isDir()) {
      const std::string name = typed.front().toStdString();
      const std::string chosen = files::WithTypeExtension(name, type_);
      if (chosen != name && QFileInfo::exists(QString::fromStdString(chosen)) &&
          !ConfirmReplace(chosen))
        return;
    }
    QFileDialog::accept();
  }

 private:
  bool ConfirmReplace(const std::string& path) {
    const QString shown = QString::fromStdString(
        files::DisplayName(QFileInfo(QString::fromStdString(path)).fileName().toStdString()));
    return QMessageBox::warning(
               this, windowTitle(),
               QFileDialog::tr("%1 already exists.\nDo you want to replace it?").arg(shown),
               QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
  }

  OSType type_;
};

// Shows only the items FileDialogLists lets through.
class TypeFilter : public QSortFilterProxyModel {
 public:
  explicit TypeFilter(std::vector<OSType> types) : types_(std::move(types)) {}

 protected:
  bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
    auto* fs = qobject_cast<QFileSystemModel*>(sourceModel());
    if (fs == nullptr) return true;
    QModelIndex i = fs->index(row, 0, parent);
    return FileDialogLists(fs->filePath(i).toStdString(), fs->isDir(i), types_);
  }

 private:
  std::vector<OSType> types_;
};

// A cursor of the resource file: 16 rows of 16 characters ('X' black,
// 'o' white, anything else clear) and a line "hotspot h v".
bool ResourceCursor(int16_t id, QCursor* out) {
  auto text = res::GetResourceText(FourCC("CURS"), id);
  if (!text) return false;
  QBitmap bits(16, 16), mask(16, 16);
  bits.fill(Qt::color0);
  mask.fill(Qt::color0);
  QImage b(16, 16, QImage::Format_Mono), m(16, 16, QImage::Format_Mono);
  b.fill(0);
  m.fill(0);
  int row = 0, hx = 0, hy = 0;
  QString all = QString::fromStdString(*text);
  QTextStream in(&all);
  while (!in.atEnd()) {
    QString line = in.readLine();
    if (line.startsWith('#') || line.trimmed().isEmpty()) continue;
    if (line.startsWith("hotspot")) {
      QStringList parts = line.split(' ', Qt::SkipEmptyParts);
      if (parts.size() == 3) {
        hx = parts[1].toInt();
        hy = parts[2].toInt();
      }
      continue;
    }
    if (row >= 16) continue;
    for (int x = 0; x < 16 && x < line.size(); ++x) {
      if (line[x] == 'X') {
        b.setPixel(x, row, 1);
        m.setPixel(x, row, 1);
      } else if (line[x] == 'o') {
        m.setPixel(x, row, 1);
      }
    }
    ++row;
  }
  if (row != 16) return false;
  *out = QCursor(QBitmap::fromImage(b), QBitmap::fromImage(m), std::clamp(hx, 0, 15), std::clamp(hy, 0, 15));
  return true;
}

// Keys held down, by the virtual key codes the system asks for beyond the
// modifiers: only the period of Command-period, the stop request.
class KeyWatcher : public QObject {
 public:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
      auto* ke = static_cast<QKeyEvent*>(event);
      if (ke->key() == Qt::Key_Period && !ke->isAutoRepeat()) periodDown = event->type() == QEvent::KeyPress;
    }
    return false;
  }
  bool periodDown = false;
};

constexpr uint16_t kVKPeriod = 47;

class LiveServices final : public ui::Services {
 public:
  LiveServices() {
    clock_.start();
    qApp->installEventFilter(&keys_);
  }

  bool KeyDown(uint16_t virtualKey) override {
    if (virtualKey == kVKPeriod) return keys_.periodDown;
    return Services::KeyDown(virtualKey);
  }

  double Now() override { return static_cast<double>(clock_.nsecsElapsed()) / 1e9; }

  // The loop runs on meanwhile (timers, painting, the previews that
  // arrive); the user's input waits in the queue until the pause is over.
  void Delay(uint32_t ticks) override {
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(ticks * 1000 / 60), &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
  }

  // The next movement, or the release: the release as the server reports
  // it ends the wait even when its event is held back.
  int16_t NextMouse(void* window, Point* where) override {
    MouseWaiter waiter;
    qApp->installEventFilter(&waiter);
    while (!waiter.done && LeftButtonDown()) {
      QEventLoop loop;
      waiter.loop = &loop;
      QTimer::singleShot(kTrackPollMs, &loop, &QEventLoop::quit);
      if (!waiter.done) loop.exec();
      waiter.loop = nullptr;
    }
    qApp->removeEventFilter(&waiter);
    if (!waiter.done) {
      if (where != nullptr) *where = LocalOf(window, QCursor::pos());
      return ui::kTrackMouseUp;
    }
    if (where != nullptr) *where = LocalOf(window, waiter.global);
    return waiter.released ? ui::kTrackMouseUp : ui::kTrackMouseDragged;
  }

  // The loop runs on (painting, timers, the previews that arrive, and the
  // input, which a pass without it would hold back until some other event
  // came); the answer is the server's.
  bool StillDown() override {
    QCoreApplication::processEvents();
    return LeftButtonDown();
  }
  bool Button() override { return LeftButtonDown(); }
  Point MouseLocation(void* window) override { return LocalOf(window, QCursor::pos()); }
  uint32_t Modifiers() override { return ModifiersOf(QGuiApplication::queryKeyboardModifiers()); }

  void ShowCursor(const ui::CursorChoice& c) override {
    QCursor cursor(Qt::ArrowCursor);
    if (c.kind == ui::CursorChoice::Resource) {
      if (!ResourceCursor(static_cast<int16_t>(c.id), &cursor)) cursor = QCursor(Qt::ArrowCursor);
    } else {
      switch (c.id) {
        case ui::kCrossCursor: cursor = QCursor(Qt::CrossCursor); break;
        case ui::kIBeamCursor: cursor = QCursor(Qt::IBeamCursor); break;
        case ui::kWatchCursor: cursor = QCursor(Qt::WaitCursor); break;
        case ui::kSpinningCursor: cursor = QCursor(Qt::BusyCursor); break;
        default: break;
      }
    }
    if (QGuiApplication::overrideCursor() != nullptr) QGuiApplication::changeOverrideCursor(cursor);
    else QGuiApplication::setOverrideCursor(cursor);
  }

  bool ChooseColor(const std::string& prompt, RGBColor* colour) override {
    QColor start = QColor::fromRgba64(colour->red, colour->green, colour->blue);
    QColorDialog dialog(start);
    dialog.setWindowTitle(QString::fromStdString(prompt));
    TieToFrontWindow(&dialog);
    if (dialog.exec() != QDialog::Accepted) return false;
    const QColor chosen = dialog.selectedColor();
    if (!chosen.isValid()) return false;
    QRgba64 c = chosen.rgba64();
    *colour = RGBColor{c.red(), c.green(), c.blue()};
    return true;
  }

  bool ChooseOpenFile(const ui::OpenRequest& request, std::string* path) override {
    QFileDialog dialog(nullptr, QString::fromStdString(request.prompt));
    PrepareFileDialog(dialog);
    TieToFrontWindow(&dialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setProxyModel(new TypeFilter(request.types));
    if (!request.folder.empty()) dialog.setDirectory(QString::fromStdString(request.folder));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    *path = dialog.selectedFiles().front().toStdString();
    return true;
  }

  bool ChooseSaveFile(const ui::SaveRequest& request, std::string* path, bool* replacing) override {
    SaveFileDialog dialog(QString::fromStdString(request.prompt), request.type);
    PrepareFileDialog(dialog);
    TieToFrontWindow(&dialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // Any file may be saved over, but a dialog's settings file is not shown
    // among the presets it sits beside.
    dialog.setProxyModel(new TypeFilter({}));
    if (!request.folder.empty()) dialog.setDirectory(QString::fromStdString(request.folder));
    dialog.selectFile(QString::fromStdString(request.defaultName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    std::string chosen = dialog.selectedFiles().front().toStdString();
    if (request.type != 0) chosen = files::WithTypeExtension(chosen, request.type);
    *replacing = QFileInfo::exists(QString::fromStdString(chosen));
    *path = chosen;
    return true;
  }

  bool ChooseFolder(const std::string& prompt, std::string* path) override {
    QFileDialog dialog(nullptr, QString::fromStdString(prompt));
    PrepareFileDialog(dialog);
    TieToFrontWindow(&dialog);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    *path = dialog.selectedFiles().front().toStdString();
    return true;
  }

  int16_t ShowAlert(const ui::AlertRequest& request) override {
    // A render on a preview worker (a thumbnail of a damaged effect file) cannot build a
    // window off the interface thread; the render reports its failure itself.
    if (QThread::currentThread() != qApp->thread()) return 1;
    // An alert window of the nib when there is one: its buttons carry the
    // property "button" with their number.
    if (!request.windowName.empty()) {
      WindowRef w = nullptr;
      if (CreateWindowFromNib(request.windowName, &w) == noErr) return RunNibAlert(w, request);
    }
    QString text;
    if (auto t = res::GetResourceText(FourCC("ALRT"), request.alertId)) text = QString::fromStdString(*t).trimmed();
    for (size_t i = 0; i < request.params.size() && i < 4; ++i)
      text.replace(QString("^%1").arg(i), QString::fromStdString(request.params[i]));
    for (int i = 0; i < 4; ++i) text.replace(QString("^%1").arg(i), QString());
    QMessageBox box(QMessageBox::Warning, QString(), text, QMessageBox::Ok);
    TieToFrontWindow(&box);
    box.exec();
    return 1;
  }

  void Beep() override { QApplication::beep(); }

  bool MenuMade(OpaqueMenuRef* menu) override {
    auto q = std::make_unique<QMenu>(QString::fromStdString(menu->title));
    q->setObjectName(QString::number(menu->id));
    QtMenus()[menu] = std::move(q);
    MenuChanged(menu);
    return true;
  }

  void MenuChanged(OpaqueMenuRef* menu) override {
    auto it = QtMenus().find(menu);
    if (it == QtMenus().end()) return;
    QMenu* q = it->second.get();
    // Items are only ever appended: add the ones the Qt menu lacks.
    for (size_t i = static_cast<size_t>(q->actions().size()); i < menu->items.size(); ++i) {
      q->addAction(QString::fromStdString(menu->items[i]));
    }
  }

  void MenuDisposed(OpaqueMenuRef* menu) override { QtMenus().erase(menu); }

 private:
  static int16_t RunNibAlert(WindowRef w, const ui::AlertRequest& request) {
    QString said;
    for (auto& c : w->controls) {
      if (c->kind == Kind::StaticText) {
        std::string t = GetControlText(c.get());
        for (size_t i = 0; i < 4; ++i) {
          const std::string key{'^', static_cast<char>('0' + i)};
          std::string value = i < request.params.size() ? request.params[i] : std::string();
          for (size_t at = t.find(key); at != std::string::npos; at = t.find(key, at + value.size()))
            t.replace(at, key.size(), value);
        }
        SetControlText(c.get(), t);
        if (!said.isEmpty()) said += QLatin1Char('\n');
        said += QString::fromStdString(t);
      }
    }
    // The live log has each message box's text from the host; an alert of
    // the nib is no message box, so it says its own.
    if (hostapi::LiveLogOn()) {
      QJsonObject o;
      o["nib"] = QString::fromStdString(request.windowName);
      o["text"] = said;
      hostapi::LiveLog("alert %s", QJsonDocument(o).toJson(QJsonDocument::Compact).constData());
    }
    int16_t answer = 1;
    InstallWindowEventHandler(
        w,
        [&answer, w](EventHandlerCallRef, EventRef e, void*) -> OSStatus {
          if (e->control != nullptr) {
            int n = e->control->widget != nullptr ? e->control->widget->property("button").toInt() : 0;
            answer = static_cast<int16_t>(n > 0 ? n : (e->command == FourCC("canc") ? 2 : 1));
          } else {
            answer = e->command == FourCC("canc") ? 2 : 1;
          }
          QuitAppModalLoopForWindow(w);
          return noErr;
        },
        {{kEventClassCommand, kEventCommandProcess}}, nullptr);
    ShowWindow(w);
    RunAppModalLoopForWindow(w);
    HideWindow(w);
    DisposeWindow(w);
    return answer;
  }

  QElapsedTimer clock_;
  KeyWatcher keys_;
};

}  // namespace

QMenu* QtMenuOf(OpaqueMenuRef* menu) {
  auto it = QtMenus().find(menu);
  return it != QtMenus().end() ? it->second.get() : nullptr;
}

void InstallLiveServices() {
  static LiveServices* live = nullptr;
  if (live == nullptr) live = new LiveServices;
  ui::InstallServices(live);
}

void StartOffscreenApplication() {
  if (QCoreApplication::instance() == nullptr) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "vmk";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
  }
  InstallLiveServices();
}

}  // namespace plat::tb
