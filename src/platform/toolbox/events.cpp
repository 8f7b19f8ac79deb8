// Event delivery: handler chains, keys and mouse moves of a window, and
// the custom views' class registry and protocol.
#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>

#include <algorithm>
#include <map>
#include <vector>

#include "platform/toolbox/toolbox_internal.h"

namespace plat::tb {
namespace {

struct ViewClass {
  EventHandlerProc handler;
  void* userData = nullptr;
  std::unique_ptr<Handler> asHandler;
};

std::map<std::string, ViewClass>& Registry() {
  static std::map<std::string, ViewClass> registry;
  return registry;
}

void InstallOn(std::vector<std::unique_ptr<Handler>>& list, EventHandlerProc proc,
               const std::vector<EventTypeSpec>& types, void* userData, EventHandlerRef* out) {
  auto h = std::make_unique<Handler>();
  h->proc = std::move(proc);
  h->types = types;
  h->userData = userData;
  if (out != nullptr) *out = h.get();
  list.push_back(std::move(h));
}

int16_t CharCodeOf(QKeyEvent* ke) {
  switch (ke->key()) {
    case Qt::Key_Return: return 13;
    case Qt::Key_Enter: return 3;
    case Qt::Key_Escape: return 27;
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return 9;
    case Qt::Key_Delete: return 127;
    case Qt::Key_Left: return 28;
    case Qt::Key_Right: return 29;
    case Qt::Key_Up: return 30;
    case Qt::Key_Down: return 31;
    default: break;
  }
  const int key = ke->key();
  const bool letter = key >= Qt::Key_A && key <= Qt::Key_Z;
  const Qt::KeyboardModifiers mods = ke->modifiers();
  // Command is Ctrl here, and a desktop's keyboard turns Ctrl with a key
  // into that key's control character (Ctrl+Z types 26, Ctrl+M a Return):
  // the system's command shortcuts expect the key itself with the command
  // modifier, as they always had it, so the key's own character is given.
  if ((mods & Qt::ControlModifier) && key >= Qt::Key_Space && key <= Qt::Key_AsciiTilde) {
    if (!letter) return static_cast<int16_t>(key);
    return static_cast<int16_t>(((mods & Qt::ShiftModifier) ? 'A' : 'a') + (key - Qt::Key_A));
  }
  // Control (Meta here) with a letter, without Command, typed the letter's
  // control character where the system comes from, and its keys are
  // checked that way; a desktop leaves the letter as it is.
  if ((mods & Qt::MetaModifier) && letter) return static_cast<int16_t>(1 + (key - Qt::Key_A));
  QString t = ke->text();
  if (!t.isEmpty() && t[0].unicode() < 256) return static_cast<int16_t>(t[0].unicode());
  if (letter) return static_cast<int16_t>('a' + (key - Qt::Key_A));
  return 0;
}

// Return and Escape act as the default and cancel buttons.
bool ButtonKey(Window* w, uint32_t command) {
  for (auto& c : w->controls) {
    if (c->kind == Kind::Button && c->command == command && c->widget != nullptr && c->widget->isEnabled() &&
        c->widget->isVisibleTo(w->widget)) {
      qobject_cast<QAbstractButton*>(c->widget)->click();
      return true;
    }
  }
  Event e;
  e.eventClass = kEventClassCommand;
  e.kind = kEventCommandProcess;
  e.command = command;
  e.window = w;
  Deliver(e, nullptr, w);
  return true;
}

// Tab and Shift-Tab walk the window's edit fields in the order of their ids,
// whatever order the form made them in, and wrap at the ends; the field
// reached shows its text selected, ready to be typed over. False when the
// window has no field to go to.
bool TabToField(Window* w, Control* from, bool backwards) {
  std::vector<Control*> fields;
  for (auto& c : w->controls)
    if (c->kind == Kind::EditText && c->widget != nullptr && c->widget->isEnabled() &&
        c->widget->isVisibleTo(w->widget))
      fields.push_back(c.get());
  if (fields.empty()) return false;
  std::stable_sort(fields.begin(), fields.end(), [](const Control* a, const Control* b) { return a->id < b->id; });
  Control* to = nullptr;
  if (from == nullptr) {
    to = backwards ? fields.back() : fields.front();
  } else if (backwards) {
    auto it = std::find_if(fields.rbegin(), fields.rend(), [from](const Control* c) { return c->id < from->id; });
    to = it != fields.rend() ? *it : fields.back();
  } else {
    auto it = std::find_if(fields.begin(), fields.end(), [from](const Control* c) { return c->id > from->id; });
    to = it != fields.end() ? *it : fields.front();
  }
  to->widget->setFocus(backwards ? Qt::BacktabFocusReason : Qt::TabFocusReason);
  if (auto* edit = qobject_cast<QLineEdit*>(to->widget.data())) edit->selectAll();
  return true;
}

uint64_t gLastMoveStamp = ~0ull;
QPoint gLastMovePos;

}  // namespace

bool Handler::Wants(OSType cls, uint32_t kind) const {
  if (removed) return false;
  for (const EventTypeSpec& t : types)
    if (t.eventClass == cls && t.eventKind == kind) return true;
  return false;
}

uint32_t ModifiersOf(Qt::KeyboardModifiers mods) {
  uint32_t m = 0;
  if (mods & Qt::ControlModifier) m |= cmdKey;
  if (mods & Qt::ShiftModifier) m |= shiftKey;
  if (mods & Qt::AltModifier) m |= optionKey;
  if (mods & Qt::MetaModifier) m |= controlKey;
  return m;
}

std::vector<Handler*> ChainOf(Control* control, Window* window) {
  std::vector<Handler*> chain;
  if (control != nullptr)
    for (auto it = control->handlers.rbegin(); it != control->handlers.rend(); ++it) chain.push_back(it->get());
  if (window != nullptr)
    for (auto it = window->handlers.rbegin(); it != window->handlers.rend(); ++it) chain.push_back(it->get());
  return chain;
}

OSStatus CallNextEventHandler(EventHandlerCallRef call, EventRef event) {
  if (call == nullptr || event == nullptr) return eventNotHandledErr;
  while (call->next < call->chain.size()) {
    Handler* h = call->chain[call->next++];
    if (!h->Wants(event->eventClass, event->kind)) continue;
    OSStatus s = h->proc(call, event, h->userData);
    if (s != eventNotHandledErr) return s;
  }
  return eventNotHandledErr;
}

OSStatus DeliverToHandlers(Event& event, const std::vector<Handler*>& chain) {
  HandlerCall call{chain, 0};
  return CallNextEventHandler(&call, &event);
}

OSStatus Deliver(Event& event, Control* control, Window* window) {
  if (window != nullptr && window->disposed) return eventNotHandledErr;
  if (event.window == nullptr) event.window = window;
  if (event.port == nullptr && window != nullptr) event.port = window->port.get();
  // Nothing takes it: the default handling is to do nothing harmful.
  return DeliverToHandlers(event, ChainOf(control, window));
}

OSStatus SendEventToEventTarget(EventRef event, WindowRef window, ControlRef control) {
  if (event == nullptr || (window == nullptr && control == nullptr)) return paramErr;
  if (window == nullptr) window = control->window;
  return Deliver(*event, control, window);
}

OSStatus InstallWindowEventHandler(WindowRef w, EventHandlerProc handler, const std::vector<EventTypeSpec>& types,
                                   void* userData, EventHandlerRef* out) {
  if (w == nullptr || !handler) return paramErr;
  InstallOn(w->handlers, std::move(handler), types, userData, out);
  return noErr;
}

OSStatus InstallControlEventHandler(ControlRef c, EventHandlerProc handler, const std::vector<EventTypeSpec>& types,
                                    void* userData, EventHandlerRef* out) {
  if (c == nullptr || !handler) return paramErr;
  InstallOn(c->handlers, std::move(handler), types, userData, out);
  return noErr;
}

OSStatus RemoveEventHandler(EventHandlerRef h) {
  // The record stays with its target until the target goes, so a chain
  // that is running keeps valid pointers.
  if (h == nullptr) return paramErr;
  h->removed = true;
  return noErr;
}

// ---- keys and mouse moves of a window ----

bool WindowWidget::eventFilter(QObject* watched, QEvent* event) {
  if (window == nullptr) return false;
  if (event->type() == QEvent::MouseMove) {
    auto* me = static_cast<QMouseEvent*>(event);
    QPoint global = me->globalPosition().toPoint();
    if (me->timestamp() == gLastMoveStamp && global == gLastMovePos) return false;
    gLastMoveStamp = me->timestamp();
    gLastMovePos = global;
    auto* w = qobject_cast<QWidget*>(watched);
    if (w == nullptr) return false;
    QPoint p = w->mapTo(this, me->position().toPoint());
    Event e;
    e.eventClass = kEventClassMouse;
    e.kind = kEventMouseMoved;
    e.mouse = Point{static_cast<int16_t>(p.y()), static_cast<int16_t>(p.x())};
    e.modifiers = ModifiersOf(me->modifiers());
    Deliver(e, nullptr, window);
    return false;
  }
  if (event->type() != QEvent::KeyPress) return false;
  // Keys propagate from the focus widget to its parents; act once, where
  // the key arrived first.
  QWidget* focus = focusWidget();
  if (watched != (focus != nullptr ? static_cast<QObject*>(focus) : static_cast<QObject*>(this))) return false;
  auto* ke = static_cast<QKeyEvent*>(event);
  Control* fc = focus != nullptr ? window->ControlFor(focus) : nullptr;
  int16_t charCode = CharCodeOf(ke);
  uint32_t mods = ModifiersOf(ke->modifiers());
  Window* w = window;
  Event raw;
  raw.eventClass = kEventClassKeyboard;
  raw.kind = kEventRawKeyDown;
  raw.charCode = charCode;
  raw.modifiers = mods;
  raw.control = fc;
  if (Deliver(raw, fc, w) != eventNotHandledErr) return true;
  if (window == nullptr) return true;  // disposed by a handler
  if (charCode == 13 || charCode == 3) return ButtonKey(w, FourCC("ok  "));
  if (charCode == 27) return ButtonKey(w, FourCC("canc"));
  if (charCode == 9 && (mods & (cmdKey | optionKey | controlKey)) == 0 &&
      TabToField(w, fc, (mods & shiftKey) != 0 || ke->key() == Qt::Key_Backtab))
    return true;
  if (fc == nullptr || fc->kind != Kind::EditText) return false;
  int16_t keyCode = static_cast<int16_t>(ke->nativeVirtualKey());
  if (fc->keyFilter && !fc->keyFilter(fc, &keyCode, &charCode, &mods)) return true;
  Event typed;
  typed.eventClass = kEventClassTextInput;
  typed.kind = kEventTextInputUnicodeForKeyEvent;
  typed.control = fc;
  typed.charCode = charCode;
  typed.modifiers = mods;
  typed.text = ke->text().toStdString();
  if (Deliver(typed, fc, w) != eventNotHandledErr) return true;
  return false;
}

// ---- custom views ----

OSStatus RegisterCustomViewClass(const std::string& classId, EventHandlerProc handler, void* userData) {
  if (classId.empty() || !handler) return paramErr;
  ViewClass vc;
  vc.handler = handler;
  vc.userData = userData;
  vc.asHandler = std::make_unique<Handler>();
  vc.asHandler->proc = handler;
  vc.asHandler->userData = userData;
  vc.asHandler->types = {{kEventClassHIObject, kEventHIObjectConstruct},
                         {kEventClassHIObject, kEventHIObjectInitialize},
                         {kEventClassHIObject, kEventHIObjectDestruct},
                         {kEventClassControl, kEventControlHitTest},
                         {kEventClassControl, kEventControlTrack},
                         {kEventClassControl, kEventControlBoundsChanged},
                         {kEventClassControl, kEventControlDraw}};
  Registry()[classId] = std::move(vc);
  return noErr;
}

void UnregisterCustomViewClass(const std::string& classId) { Registry().erase(classId); }

std::string GetCustomViewClass(ControlRef c) { return c != nullptr ? c->classId : std::string(); }
void* GetCustomViewData(ControlRef c) { return c != nullptr ? c->viewData : nullptr; }
void SetCustomViewData(ControlRef c, void* data) {
  if (c != nullptr) c->viewData = data;
}

namespace {

OSStatus SendToView(Control* c, OSType cls, uint32_t kind, Event& e) {
  auto it = Registry().find(c->classId);
  e.eventClass = cls;
  e.kind = kind;
  e.control = c;
  e.window = c->window;
  e.port = c->window != nullptr ? c->window->port.get() : nullptr;
  Rect b = BoundsInWindow(c);
  e.context = draw::Context{e.port, b.left, b.top, b};
  if (e.bounds.size.width == 0.0f && e.bounds.size.height == 0.0f) {
    e.bounds = CGRect{{0.0f, 0.0f}, {static_cast<float>(b.right - b.left), static_cast<float>(b.bottom - b.top)}};
  }
  std::vector<Handler*> chain = ChainOf(c, nullptr);
  if (it != Registry().end()) chain.push_back(it->second.asHandler.get());
  return DeliverToHandlers(e, chain);
}

}  // namespace

void SendViewEvent(Control* c, uint32_t kind, Event& e) {
  if (c == nullptr || !c->constructed) return;
  SendToView(c, kEventClassControl, kind, e);
}

void ConstructView(Control* c) {
  if (c == nullptr || c->constructed || Registry().find(c->classId) == Registry().end()) return;
  Event construct;
  construct.instance = c;
  SendToView(c, kEventClassHIObject, kEventHIObjectConstruct, construct);
  Event init;
  SendToView(c, kEventClassHIObject, kEventHIObjectInitialize, init);
  c->lastBounds = init.bounds;
  c->constructed = true;
}

void DestructView(Control* c) {
  if (c == nullptr || !c->constructed) return;
  Event e;
  SendToView(c, kEventClassHIObject, kEventHIObjectDestruct, e);
  c->constructed = false;
}

CustomViewWidget::CustomViewWidget(QWidget* parent) : QWidget(parent) { setMouseTracking(true); }

void CustomViewWidget::Press(const QPointF& local, uint32_t modifiers) {
  if (control == nullptr || !control->constructed) return;
  Event hit;
  hit.viewPoint = CGPoint{static_cast<float>(local.x()), static_cast<float>(local.y())};
  hit.modifiers = modifiers;
  hit.part = kControlNoPart;
  OSStatus s = SendToView(control, kEventClassControl, kEventControlHitTest, hit);
  int16_t part = hit.part;
  if (s == eventNotHandledErr) {
    bool inside = local.x() >= 0 && local.y() >= 0 && local.x() < width() && local.y() < height();
    part = inside ? kControlContentPart : kControlNoPart;
  }
  if (part == kControlNoPart) return;
  Event track;
  track.viewPoint = hit.viewPoint;
  track.modifiers = modifiers;
  track.part = part;
  SendToView(control, kEventClassControl, kEventControlTrack, track);
}

void CustomViewWidget::mousePressEvent(QMouseEvent* event) {
  Press(event->position(), ModifiersOf(event->modifiers()));
}

void CustomViewWidget::resizeEvent(QResizeEvent*) {
  if (control == nullptr || !control->constructed) return;
  CGRect now{{0.0f, 0.0f}, {static_cast<float>(width()), static_cast<float>(height())}};
  if (now.size.width == control->lastBounds.size.width && now.size.height == control->lastBounds.size.height) return;
  control->lastBounds = now;
  Event e;
  e.bounds = now;
  SendToView(control, kEventClassControl, kEventControlBoundsChanged, e);
  SetControlNeedsDisplay(control);
}

}  // namespace plat::tb
