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
#include <QScrollBar>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QUiLoader>

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
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::KeyPress) gLastInput = w;
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

}  // namespace

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
  // The close box only reports; whoever owns the window decides. A window
  // without one has nothing to report.
  event->ignore();
  if (window == nullptr || !window->closeBox) return;
  Event e;
  e.eventClass = kEventClassWindow;
  e.kind = kEventWindowClickCloseRgn;
  e.window = window;
  Deliver(e, nullptr, window);
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
  SetWindowResizable(w, w->resizable);
  const QVariant closeBox = w->form->property("closeBox");
  w->closeBox = !closeBox.isValid() || closeBox.toBool();
  if (!w->closeBox) w->widget->setWindowFlag(Qt::WindowCloseButtonHint, false);
  w->widget->setWindowTitle(w->form->windowTitle());
  w->widget->setMouseTracking(true);
  std::vector<Window*>& modal = ModalStack();
  w->owner = !modal.empty() ? modal.back() : gLastInput;
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
  // Changing a flag re-creates the native window and hides it.
  if (w->widget->windowFlags().testFlag(Qt::WindowMaximizeButtonHint) != resizable) {
    bool visible = w->widget->isVisible();
    w->widget->setWindowFlag(Qt::WindowMaximizeButtonHint, resizable);
    if (visible) w->widget->show();
  }
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
