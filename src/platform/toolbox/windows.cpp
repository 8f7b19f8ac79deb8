// Windows built from the nib, their port, the deferred redraw pass and the
// application-modal loops with the layer's own input blocking.
#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QEventLoop>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QUiLoader>
#include <QWindow>

#include <algorithm>
#include <cmath>

#include "platform/hostapi/live_log.h"
#include "platform/toolbox/toolbox_internal.h"

namespace plat::tb {
namespace {

std::string& NibFolderRef() {
  static std::string folder;
  return folder;
}

std::vector<Window*>& AllWindows() {
  static std::vector<Window*> windows;
  return windows;
}

ModalRunner* gRunner = nullptr;
Window* gLastInput = nullptr;

// Creates the project's widget classes by the names the .ui files use.
class Loader : public QUiLoader {
 public:
  QWidget* createWidget(const QString& className, QWidget* parent, const QString& name) override {
    QWidget* w = nullptr;
    if (className == "VmkRadioGroup") w = new RadioGroupWidget(parent);
    else if (className == "VmkIndicator") w = new IndicatorWidget(parent);
    else if (className == "VmkLittleArrows") w = new LittleArrowsWidget(parent);
    else if (className == "VmkImageView") w = new ImageViewWidget(parent);
    else if (className == "VmkCustomView") w = new CustomViewWidget(parent);
    if (w == nullptr) return QUiLoader::createWidget(className, parent, name);
    w->setObjectName(name);
    return w;
  }
};

OSType CodeOf(const QVariant& v) {
  QByteArray b = v.toString().toLatin1();
  if (b.size() != 4) return 0;
  return (static_cast<uint32_t>(static_cast<uint8_t>(b[0])) << 24) |
         (static_cast<uint32_t>(static_cast<uint8_t>(b[1])) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(b[2])) << 8) | static_cast<uint32_t>(static_cast<uint8_t>(b[3]));
}

// Input the layer keeps from windows under a modal loop: the owners of the
// innermost modal window, up its owner chain.
class InputGate : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::Wheel:
      case QEvent::ShortcutOverride:
        break;
      default:
        return false;
    }
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr) return false;
    Window* w = WindowOfWidget(widget);
    if (w == nullptr) return false;
    if (InputBlocked(w)) return true;
    // The second press of a double click is a press too: one that lands on a
    // palette after the first closed the window over it opens what the
    // palette's button opens, from the palette.
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick ||
        event->type() == QEvent::KeyPress)
      gLastInput = w;
    return false;
  }
};

void EnsureGate() {
  static InputGate* gate = nullptr;
  if (gate == nullptr && qApp != nullptr) {
    gate = new InputGate;
    qApp->installEventFilter(gate);
  }
}

void CollectControls(Window* w) {
  const auto widgets = w->form->findChildren<QWidget*>();
  std::vector<QWidget*> all(widgets.begin(), widgets.end());
  all.insert(all.begin(), w->form);
  for (QWidget* qw : all) {
    QVariant sig = qw->property("sig");
    bool isView = dynamic_cast<CustomViewWidget*>(qw) != nullptr;
    if (!sig.isValid() && !isView) continue;
    auto c = std::make_unique<Control>();
    c->window = w;
    c->widget = qw;
    c->kind = KindOf(qw);
    c->sig = CodeOf(sig);
    c->id = qw->property("id").toInt();
    c->command = CodeOf(qw->property("cmd"));
    for (const QString& code : qw->property("itemCmds").toString().split(',', Qt::SkipEmptyParts))
      c->itemCommands.push_back(CodeOf(code.trimmed()));
    if (auto* v = dynamic_cast<CustomViewWidget*>(qw)) {
      v->control = c.get();
      c->classId = qw->property("classId").toString().toStdString();
    }
    if (auto* iv = dynamic_cast<ImageViewWidget*>(qw)) iv->control = c.get();
    if (c->kind == Kind::LittleArrows || c->kind == Kind::Indicator) {
      c->minimum = qw->property("minimum").toInt();
      c->maximum = qw->property("maximum").isValid() ? qw->property("maximum").toInt() : 100;
      c->value = qw->property("value").toInt();
    }
    if (c->kind == Kind::RadioGroup) {
      c->minimum = 1;
      c->maximum = static_cast<int32_t>(qw->findChildren<QRadioButton*>().size());
    }
    w->controls.push_back(std::move(c));
  }
  for (auto& c : w->controls) WireControl(c.get());
}

// The window a new one is opened from: the innermost modal window, or a
// palette above it whose button the user pressed last (a shape tool's
// dialog belongs to the path palette, not to the editor behind it).
Window* OpenerOfNewWindow() {
  std::vector<Window*>& modal = ModalStack();
  Window* top = modal.empty() ? nullptr : modal.back();
  if (gLastInput == nullptr || gLastInput == top || InputBlocked(gLastInput)) return top != nullptr ? top : gLastInput;
  if (top == nullptr) return gLastInput;
  for (Window* o = gLastInput->owner; o != nullptr; o = o->owner)
    if (o == top) return gLastInput;
  return top;
}

// The owner, or the nearest of its owners, that is on the screen.
Window* ShownOwner(const Window* w) {
  for (Window* o = w->owner; o != nullptr; o = o->owner)
    if (!o->disposed && o->widget != nullptr && o->widget->isVisible()) return o;
  return nullptr;
}

// Tells the window manager whose window this is; again after the native
// window was made anew.
void TieToOwner(Window* w) {
  Window* owner = ShownOwner(w);
  if (owner == nullptr) return;
  (void)w->widget->winId();
  (void)owner->widget->winId();
  if (w->widget->windowHandle() != nullptr && owner->widget->windowHandle() != nullptr)
    w->widget->windowHandle()->setTransientParent(owner->widget->windowHandle());
}

// A window opened from another is a dialog of it (the window manager keeps
// it with its owner; only dialogs tell the X server whose they are); the
// title bar offers close only when the nib gives the window a close box and
// maximize when it may be resized.
void ApplyWindowFlags(Window* w) {
  Qt::WindowFlags flags = (w->owner != nullptr ? Qt::Dialog : Qt::Window) | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint;
  if (w->owner == nullptr) flags |= Qt::WindowMinimizeButtonHint;
  if (w->resizable) flags |= Qt::WindowMaximizeButtonHint;
  if (w->closeBox) flags |= Qt::WindowCloseButtonHint;
  if (w->widget->windowFlags() == flags) return;
  // Changing the flags re-creates the native window and hides it.
  const bool visible = w->widget->isVisible();
  w->widget->setWindowFlags(flags);
  if (visible) {
    TieToOwner(w);
    w->widget->show();
  }
}

QMargins FrameMarginsOf(const QWidget* w) {
  const QWindow* h = w != nullptr ? w->windowHandle() : nullptr;
  return h != nullptr ? h->frameMargins() : QMargins();
}

// Puts a window where it opens, the first time it shows.
void PlaceOnFirstShow(Window* w) {
  QWidget* ww = w->widget;
  // Made now, so that a move places the content, whose offset in the frame
  // is known, rather than the frame.
  (void)ww->winId();
  Window* owner = ShownOwner(w);
  QScreen* screen = owner != nullptr ? owner->widget->screen() : ww->screen();
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  Placement p;
  // The tests' offscreen platform has a screen that nobody sees: nothing
  // is fitted into it.
  if (screen != nullptr && QGuiApplication::platformName() != "offscreen") p.area = screen->availableGeometry();
  if (owner != nullptr) p.ownerFrame = owner->widget->frameGeometry();
  // A second palette of the same window goes beside the first rather than
  // over it: the palettes shown beside the owner count as part of it.
  if (owner != nullptr && w->beside)
    for (Window* o : AllWindows())
      if (o != w && o->beside && !o->disposed && o->widget != nullptr && o->widget->isVisible() &&
          ShownOwner(o) == owner)
        p.ownerFrame |= o->widget->frameGeometry();
  p.size = ww->size();
  // A window not yet shown has no frame: the owner's is the best guess of
  // what the window manager will add.
  p.frame = FrameMarginsOf(owner != nullptr ? owner->widget : nullptr);
  p.resizable = w->resizable;
  p.beside = w->beside;
  p.minimum = ww->minimumSize();
  const QRect frame = PlaceWindow(p);
  const QSize content(frame.width() - p.frame.left() - p.frame.right(),
                      frame.height() - p.frame.top() - p.frame.bottom());
  if (content != ww->size()) ww->resize(content);
  ww->move(frame.topLeft() + QPoint(p.frame.left(), p.frame.top()));
}

}  // namespace

QRect PlaceWindow(const Placement& p) {
  const int extraW = p.frame.left() + p.frame.right();
  const int extraH = p.frame.top() + p.frame.bottom();
  QSize outer(p.size.width() + extraW, p.size.height() + extraH);
  const bool bounded = !p.area.isEmpty();
  if (bounded && p.resizable) {
    outer.setWidth(std::min(outer.width(), std::max(p.area.width(), p.minimum.width() + extraW)));
    outer.setHeight(std::min(outer.height(), std::max(p.area.height(), p.minimum.height() + extraH)));
  }
  QRect r(QPoint(0, 0), outer);
  if (!p.ownerFrame.isEmpty()) {
    r.moveCenter(p.ownerFrame.center());
    if (p.beside) {
      const int gap = 4;
      r.moveTop(p.ownerFrame.top());
      if (!bounded || p.ownerFrame.right() + gap + outer.width() <= p.area.right() + 1) {
        r.moveLeft(p.ownerFrame.right() + 1 + gap);
      } else if (p.ownerFrame.left() - gap - outer.width() >= p.area.left()) {
        r.moveRight(p.ownerFrame.left() - 1 - gap);
      } else {
        r.moveRight(p.area.right());
      }
    }
  } else if (bounded) {
    r.moveCenter(p.area.center());
  }
  if (bounded) {
    // Inside the area; where it cannot all be, its top-left corner is.
    r.moveLeft(std::max(std::min(r.left(), p.area.right() + 1 - outer.width()), p.area.left()));
    r.moveTop(std::max(std::min(r.top(), p.area.bottom() + 1 - outer.height()), p.area.top()));
  }
  return r;
}

Window* FrontWindow() {
  std::vector<Window*>& modal = ModalStack();
  Window* front = OpenerOfNewWindow();
  if (front != nullptr && !front->disposed && front->widget != nullptr && front->widget->isVisible()) return front;
  for (auto it = modal.rbegin(); it != modal.rend(); ++it)
    if ((*it)->widget != nullptr && (*it)->widget->isVisible()) return *it;
  return nullptr;
}

// ---- Window ----

Control* Window::ControlFor(QWidget* qw) const {
  for (const auto& c : controls)
    if (c->widget == qw) return c.get();
  return nullptr;
}

void Window::SchedulePass() {
  if (passScheduled || widget == nullptr) return;
  passScheduled = true;
  QMetaObject::invokeMethod(
      widget, [this] { RunPass(); }, Qt::QueuedConnection);
}

void Window::RunPass() {
  passScheduled = false;
  if (disposed) return;
  if (contentPending) {
    contentPending = false;
    Event e;
    e.eventClass = kEventClassWindow;
    e.kind = kEventWindowDrawContent;
    e.window = this;
    e.port = port.get();
    Deliver(e, nullptr, this);
  }
  for (auto& c : controls) {
    if (c->kind != Kind::CustomView || !c->needsDisplay || !c->constructed) continue;
    if (c->widget == nullptr || !c->widget->isVisibleTo(widget)) continue;
    c->needsDisplay = false;
    Event e;
    SendViewEvent(c.get(), kEventControlDraw, e);
  }
  widget->update();
}

int& BackingScaleOverride() {
  static int scale = 0;
  return scale;
}

int BackingScaleOf(const QWidget* widget) {
  if (BackingScaleOverride() > 0) return std::clamp(BackingScaleOverride(), 1, 4);
  if (widget == nullptr) return 1;
  // A ratio a rounding step above a whole number is that number.
  const double ratio = widget->devicePixelRatioF();
  return std::clamp(static_cast<int>(std::ceil(ratio - 1e-3)), 1, 4);
}

void Window::SyncBackingScale() {
  if (port == nullptr || widget == nullptr || disposed) return;
  const int scale = BackingScaleOf(widget);
  if (scale == port->backingScale()) return;
  port->SetBackingScale(scale);
  for (auto& c : controls) c->needsDisplay = true;
  contentPending = true;
  SchedulePass();
}

// ---- WindowWidget ----

WindowWidget::WindowWidget(Window* w) : window(w) { setAttribute(Qt::WA_OpaquePaintEvent); }

bool WindowWidget::event(QEvent* event) {
  // Moved to a screen of another density: the port follows before the
  // next paint.
  bool density = event->type() == QEvent::ScreenChangeInternal || event->type() == QEvent::Show;
#if QT_VERSION >= QT_VERSION_CHECK(6, 6, 0)
  density = density || event->type() == QEvent::DevicePixelRatioChange;
#endif
  if (window != nullptr && density) window->SyncBackingScale();
  return QWidget::event(event);
}

void WindowWidget::paintEvent(QPaintEvent*) {
  if (window == nullptr || window->port == nullptr) return;
  if (hostapi::LiveLogOn()) hostapi::LiveLog("paint %s", window->name.c_str());
  const draw::Surface& s = window->port->surface();
  QImage img(reinterpret_cast<const uchar*>(s.pixels().data()), s.width(), s.height(), s.width() * 4,
             QImage::Format_RGB32);
  // The surface holds the port at its backing scale: shown at that ratio it
  // lands one to one on the device pixels, not scaled up by Qt.
  img.setDevicePixelRatio(window->port->backingScale());
  QPainter p(this);
  p.drawImage(0, 0, img);
}

void WindowWidget::resizeEvent(QResizeEvent*) {
  if (window == nullptr || window->port == nullptr) return;
  const Rect& r = window->port->portRect;
  if (r.right - r.left == width() && r.bottom - r.top == height()) return;
  window->port->resize(width(), height());
  if (window->form != nullptr) window->form->resize(size());
  if (isVisible()) {
    Event e;
    e.eventClass = kEventClassWindow;
    e.kind = kEventWindowResizeCompleted;
    e.window = window;
    QMetaObject::invokeMethod(
        this, [w = window, e]() mutable { Deliver(e, nullptr, w); }, Qt::QueuedConnection);
  }
  for (auto& c : window->controls) c->needsDisplay = true;
  window->contentPending = true;
  window->SchedulePass();
}

void WindowWidget::changeEvent(QEvent* event) {
  if (window != nullptr && event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMaximized)) {
    Event e;
    e.eventClass = kEventClassWindow;
    e.kind = kEventWindowZoomed;
    e.window = window;
    QMetaObject::invokeMethod(
        this, [w = window, e]() mutable { Deliver(e, nullptr, w); }, Qt::QueuedConnection);
  }
  QWidget::changeEvent(event);
}

void WindowWidget::closeEvent(QCloseEvent* event) {
  // The close box (or the window manager's Close, Alt+F4) never takes the
  // window away by itself: whoever owns the window decides. A window without
  // one has nothing to report.
  event->ignore();
  if (window == nullptr || !window->closeBox) return;
  RequestClose(window);
}

void RequestClose(Window* w) {
  // Behind a modal window the close box answers no more than the buttons.
  if (w == nullptr || w->disposed || InputBlocked(w)) return;
  Event e;
  e.eventClass = kEventClassWindow;
  e.kind = kEventWindowClickCloseRgn;
  e.window = w;
  if (Deliver(e, nullptr, w) != eventNotHandledErr || w->disposed) return;
  // Nobody took the click itself: a window with a Cancel button is cancelled
  // by it, so that its owner's cancel path runs as for the button (a disabled
  // one cancels nothing); any other hears the standard close command.
  for (auto& c : w->controls) {
    if (c->kind == Kind::Button && c->command == FourCC("canc") && c->widget != nullptr &&
        c->widget->isVisibleTo(w->widget)) {
      if (c->widget->isEnabled()) qobject_cast<QAbstractButton*>(c->widget)->click();
      return;
    }
  }
  Event close;
  close.eventClass = kEventClassCommand;
  close.kind = kEventCommandProcess;
  close.command = FourCC("clos");
  close.window = w;
  Deliver(close, nullptr, w);
}

void WindowWidget::mousePressEvent(QMouseEvent* event) {
  if (window == nullptr) return;
  Event e;
  e.eventClass = kEventClassWindow;
  e.kind = kEventWindowClickContentRgn;
  e.window = window;
  e.mouse = Point{static_cast<int16_t>(event->position().y()), static_cast<int16_t>(event->position().x())};
  e.modifiers = ModifiersOf(event->modifiers());
  Deliver(e, nullptr, window);
}

// ---- nib and windows ----

void SetNibFolder(const std::string& folder) { NibFolderRef() = folder; }
const std::string& NibFolder() { return NibFolderRef(); }

OSStatus CreateWindowFromNib(const std::string& name, WindowRef* out) {
  if (out == nullptr) return paramErr;
  *out = nullptr;
  if (qApp == nullptr || NibFolderRef().empty() || name.empty() || name.find('/') != std::string::npos) {
    return errNibNotFound;
  }
  QFile file(QString::fromStdString(NibFolderRef() + "/" + name + ".ui"));
  if (!file.open(QIODevice::ReadOnly)) return errWindowNotFound;
  EnsureGate();
  auto* w = new Window;
  w->name = name;
  w->widget = new WindowWidget(w);
  // The nib's name is what a person or the live check knows the window by.
  w->widget->setObjectName(QString::fromStdString(name));
  Loader loader;
  w->form = loader.load(&file, w->widget);
  if (w->form == nullptr) {
    delete w->widget;
    delete w;
    return errWindowNotFound;
  }
  w->form->setWindowFlags(Qt::Widget);
  w->form->setAutoFillBackground(false);
  if (w->form->layout() != nullptr) w->form->layout()->activate();
  QSize size = w->form->size().isValid() && !w->form->size().isEmpty() ? w->form->size() : w->form->sizeHint();
  w->form->move(0, 0);
  w->form->resize(size);
  w->port = std::make_unique<draw::Port>(size.width(), size.height());
  w->port->SetBackingScale(BackingScaleOf(w->widget));
  w->port->owner = w;
  w->port->onChanged = [w](const Rect&) {
    if (w->widget != nullptr) w->widget->update();
  };
  w->widget->resize(size);
  w->resizable = w->form->property("resizable").toBool();
  if (w->resizable) {
    w->widget->setMinimumSize(0, 0);
    w->widget->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  } else {
    w->widget->setFixedSize(size);
  }
  const QVariant closeBox = w->form->property("closeBox");
  w->closeBox = !closeBox.isValid() || closeBox.toBool();
  w->beside = w->form->property("placement").toString() == "beside";
  w->widget->setWindowTitle(w->form->windowTitle());
  w->widget->setMouseTracking(true);
  w->owner = OpenerOfNewWindow();
  ApplyWindowFlags(w);
  CollectControls(w);
  // Keys and mouse moves of every widget pass the window first.
  w->widget->installEventFilter(w->widget);
  for (QWidget* child : w->widget->findChildren<QWidget*>()) {
    child->installEventFilter(w->widget);
    child->setMouseTracking(true);
  }
  AllWindows().push_back(w);
  for (auto& c : w->controls)
    if (c->kind == Kind::CustomView) ConstructView(c.get());
  *out = w;
  return noErr;
}

void DisposeWindow(WindowRef w) {
  if (w == nullptr || w->disposed) return;
  w->disposed = true;
  for (auto& c : w->controls)
    if (c->kind == Kind::CustomView) DestructView(c.get());
  auto& all = AllWindows();
  all.erase(std::remove(all.begin(), all.end(), w), all.end());
  for (Window* other : all)
    if (other->owner == w) other->owner = w->owner;
  if (gLastInput == w) gLastInput = nullptr;
  w->widget->hide();
  // The widget may be inside one of its own handlers on the stack; delete
  // it once control is back in the event loop, and the record with it.
  w->widget->window = nullptr;
  QObject::connect(w->widget, &QObject::destroyed, qApp, [w] { QTimer::singleShot(0, qApp, [w] { delete w; }); });
  w->widget->deleteLater();
  w->widget = nullptr;
}

void ShowWindow(WindowRef w) {
  if (w == nullptr || w->widget == nullptr) return;
  bool wasVisible = w->widget->isVisible();
  if (!wasVisible) {
    TieToOwner(w);
    if (!w->placed) PlaceOnFirstShow(w);
    w->placed = true;
  }
  w->widget->show();
  w->widget->raise();
  if (!wasVisible) {
    // A window that comes up takes the keys, so that Return and Escape
    // answer the dialog just opened, not the window under it.
    w->widget->activateWindow();
    w->contentPending = true;
    for (auto& c : w->controls) c->needsDisplay = true;
    w->SchedulePass();
  }
}

void HideWindow(WindowRef w) {
  if (w != nullptr && w->widget != nullptr) w->widget->hide();
}

bool IsWindowVisible(WindowRef w) { return w != nullptr && w->widget != nullptr && w->widget->isVisible(); }

void SetWindowTitle(WindowRef w, const std::string& title) {
  if (w != nullptr && w->widget != nullptr) w->widget->setWindowTitle(QString::fromStdString(title));
}

std::string GetWindowTitle(WindowRef w) {
  return w != nullptr && w->widget != nullptr ? w->widget->windowTitle().toStdString() : std::string();
}

void SetWindowResizable(WindowRef w, bool resizable) {
  if (w == nullptr || w->widget == nullptr) return;
  w->resizable = resizable;
  if (resizable) {
    w->widget->setMinimumSize(0, 0);
    w->widget->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  } else {
    w->widget->setFixedSize(w->widget->size());
  }
  ApplyWindowFlags(w);
}

bool IsWindowResizable(WindowRef w) { return w != nullptr && w->resizable; }

void SizeWindow(WindowRef w, int16_t width, int16_t height) {
  if (w == nullptr || w->widget == nullptr || width <= 0 || height <= 0) return;
  if (!w->resizable) w->widget->setFixedSize(width, height);
  w->widget->resize(width, height);
}

Rect GetWindowContentBounds(WindowRef w) {
  if (w == nullptr || w->port == nullptr) return Rect{};
  return w->port->portRect;
}

draw::Port* GetWindowPort(WindowRef w) { return w != nullptr ? w->port.get() : nullptr; }

void DrawControls(WindowRef w) {
  if (w == nullptr) return;
  for (auto& c : w->controls) c->needsDisplay = true;
  w->SchedulePass();
}

void InvalidateWindowContent(WindowRef w) {
  if (w == nullptr) return;
  w->contentPending = true;
  w->SchedulePass();
}

std::string GetWindowName(WindowRef w) { return w != nullptr ? w->name : std::string(); }

QWidget* QtWidgetOf(WindowRef w) { return w != nullptr ? w->widget : nullptr; }

void TieToFrontWindow(QWidget* dialog) {
  Window* front = FrontWindow();
  if (dialog == nullptr || front == nullptr) return;
  (void)dialog->winId();
  (void)front->widget->winId();
  if (dialog->windowHandle() == nullptr || front->widget->windowHandle() == nullptr) return;
  dialog->windowHandle()->setTransientParent(front->widget->windowHandle());
  // Over the window it belongs to, and on the screen.
  Placement p;
  if (QScreen* screen = front->widget->screen(); screen != nullptr && QGuiApplication::platformName() != "offscreen")
    p.area = screen->availableGeometry();
  p.ownerFrame = front->widget->frameGeometry();
  p.size = dialog->size().isEmpty() ? dialog->sizeHint() : dialog->size();
  p.frame = FrameMarginsOf(front->widget);
  dialog->move(PlaceWindow(p).topLeft() + QPoint(p.frame.left(), p.frame.top()));
}

Window* WindowOfWidget(QWidget* qw) {
  for (QWidget* p = qw; p != nullptr; p = p->parentWidget())
    if (auto* ww = dynamic_cast<WindowWidget*>(p)) return ww->window;
  return nullptr;
}

// ---- modal loops ----

std::vector<Window*>& ModalStack() {
  static std::vector<Window*> stack;
  return stack;
}

void SetModalRunner(ModalRunner* runner) { gRunner = runner; }

bool InputBlocked(Window* w) {
  auto& stack = ModalStack();
  if (stack.empty() || w == nullptr) return false;
  Window* top = stack.back();
  if (w == top) return false;
  for (Window* o = top->owner; o != nullptr; o = o->owner)
    if (o == w) return true;
  return std::find(stack.begin(), stack.end(), w) != stack.end();
}

OSStatus RunAppModalLoopForWindow(WindowRef w) {
  if (w == nullptr || w->disposed || w->inModal) return paramErr;
  auto& stack = ModalStack();
  stack.push_back(w);
  w->inModal = true;
  w->quitRequested = false;
  if (gRunner != nullptr) {
    gRunner->Run(w);
  } else {
    QEventLoop loop;
    w->loop = &loop;
    if (!w->quitRequested) loop.exec();
    w->loop = nullptr;
  }
  w->inModal = false;
  stack.erase(std::remove(stack.begin(), stack.end(), w), stack.end());
  return noErr;
}

OSStatus QuitAppModalLoopForWindow(WindowRef w) {
  if (w == nullptr || !w->inModal) return paramErr;
  w->quitRequested = true;
  if (w->loop != nullptr) w->loop->quit();
  return noErr;
}

int ModalDepth() { return static_cast<int>(ModalStack().size()); }

}  // namespace plat::tb
