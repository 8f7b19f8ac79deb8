#include "platform/toolbox/test_driver.h"

#include <algorithm>
#include <atomic>

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>

#include "platform/toolbox/toolbox_internal.h"

namespace plat::tb::test {

namespace {

// Time stamps of the mouse events a driver sends. A window takes a move
// with the stamp and place of the last one it saw for the same move met
// again on its way up the widgets; so the count goes on from one driver to
// the next in a program, or a later test's first move would be dropped.
uint64_t NextStamp() {
  static std::atomic<uint64_t> stamp{1};
  return ++stamp;
}

std::string CodeText(OSType c) {
  std::string s;
  for (int shift = 24; shift >= 0; shift -= 8) s.push_back(static_cast<char>((c >> shift) & 0xFF));
  return s;
}

int QtKeyOf(int16_t ch) {
  switch (ch) {
    case 13: return Qt::Key_Return;
    case 3: return Qt::Key_Enter;
    case 27: return Qt::Key_Escape;
    case 8: return Qt::Key_Backspace;
    case 9: return Qt::Key_Tab;
    case 127: return Qt::Key_Delete;
    default: break;
  }
  if (ch >= 'a' && ch <= 'z') return Qt::Key_A + (ch - 'a');
  if (ch >= 'A' && ch <= 'Z') return Qt::Key_A + (ch - 'A');
  if (ch >= 1 && ch <= 26) return Qt::Key_A + (ch - 1);  // Control-A .. Control-Z
  return ch;
}

Qt::KeyboardModifiers QtModifiersOf(uint32_t m) {
  Qt::KeyboardModifiers q;
  if (m & cmdKey) q |= Qt::ControlModifier;
  if (m & shiftKey) q |= Qt::ShiftModifier;
  if (m & optionKey) q |= Qt::AltModifier;
  if (m & controlKey) q |= Qt::MetaModifier;
  return q;
}

}  // namespace

void UseBackingScale(int scale) { BackingScaleOverride() = scale > 0 ? scale : 0; }

Driver::Driver() {
  previous_ = ui::InstallServices(&ui_);
  ui_.TickQueriesAdvance(false);
  UseVirtualClock(true);
  SetModalRunner(this);
}

Driver::~Driver() {
  // A window disposed of after the test's last loop turn (a progress window
  // closed outside any modal loop) is taken back as the host's next turn
  // would take it: its widget, then its record. No timer fires here.
  if (QCoreApplication::instance() != nullptr) {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::sendPostedEvents();
  }
  SetModalRunner(nullptr);
  UseVirtualClock(false);
  ui::InstallServices(previous_);
}

Driver& Driver::Queue(Step step) {
  steps_.push_back(std::move(step));
  return *this;
}

Control* Driver::Need(Window* w, OSType sig, int32_t id, const char* what) {
  Control* c = FindControl(w, sig, id);
  if (c == nullptr || c->widget == nullptr) {
    errors_.push_back(std::string(what) + ": no control '" + CodeText(sig) + "' " + std::to_string(id) + " in " +
                      (w != nullptr ? w->name : std::string("no window")));
    return nullptr;
  }
  return c;
}

void Driver::Click(QWidget* target) {
  QPointF local(target->width() / 2.0, target->height() / 2.0);
  // A radio button or check box takes clicks on its mark and its text only:
  // its mark is at the left.
  if (qobject_cast<QRadioButton*>(target) != nullptr || qobject_cast<QCheckBox*>(target) != nullptr)
    local.setX(std::min(8.0, target->width() / 2.0));
  QPointF global = target->mapToGlobal(local);
  QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  press.setTimestamp(NextStamp());
  QCoreApplication::sendEvent(target, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  release.setTimestamp(NextStamp());
  QCoreApplication::sendEvent(target, &release);
}

void Driver::ClickControl(ControlRef c) {
  if (c == nullptr || c->widget == nullptr) {
    errors_.push_back("ClickControl: no control");
    return;
  }
  Click(c->widget);
}

Driver& Driver::Press(OSType sig, int32_t id) {
  return Queue([this, sig, id](Window* w) {
    if (Control* c = Need(w, sig, id, "Press")) Click(c->widget);
  });
}

Driver& Driver::PressPart(OSType sig, int32_t id, int16_t part) {
  return Queue([this, sig, id, part](Window* w) {
    Control* c = Need(w, sig, id, "PressPart");
    if (c == nullptr) return;
    if (c->kind == Kind::LittleArrows) {
      auto* a = static_cast<LittleArrowsWidget*>(c->widget.data());
      Click(part == kControlDownButtonPart ? a->down : a->up);
    } else if (auto* s = qobject_cast<QAbstractSlider*>(c->widget)) {
      QAbstractSlider::SliderAction a = QAbstractSlider::SliderSingleStepSub;
      if (part == kControlDownButtonPart) a = QAbstractSlider::SliderSingleStepAdd;
      if (part == kControlPageUpPart) a = QAbstractSlider::SliderPageStepSub;
      if (part == kControlPageDownPart) a = QAbstractSlider::SliderPageStepAdd;
      s->triggerAction(a);
    } else {
      errors_.push_back("PressPart: the control has no parts");
    }
  });
}

Driver& Driver::Choose(OSType sig, int32_t id, int32_t value) {
  return Queue([this, sig, id, value](Window* w) {
    Control* c = Need(w, sig, id, "Choose");
    if (c == nullptr) return;
    if (c->kind == Kind::Popup) {
      auto* combo = qobject_cast<QComboBox*>(c->widget);
      if (value < 1 || value > combo->count()) {
        errors_.push_back("Choose: no item " + std::to_string(value));
        return;
      }
      Event open;
      open.eventClass = kEventClassMenu;
      open.kind = kEventMenuOpening;
      open.control = c;
      Deliver(open, c, w);
      Event target = open;
      target.kind = kEventMenuTargetItem;
      target.menuItem = value;
      Deliver(target, c, w);
      Event closed = open;
      closed.kind = kEventMenuClosed;
      Deliver(closed, c, w);
      SetControl32BitValue(c, value);
      SendCommand(c);
    } else if (c->kind == Kind::RadioGroup) {
      auto radios = c->widget->findChildren<QRadioButton*>();
      if (value < 1 || value > radios.size()) {
        errors_.push_back("Choose: no radio button " + std::to_string(value));
        return;
      }
      Click(radios[value - 1]);
    } else if (c->kind == Kind::Tab) {
      qobject_cast<QTabWidget*>(c->widget)->setCurrentIndex(value - 1);
    } else {
      errors_.push_back("Choose: not a popup, radio group or tab");
    }
  });
}

Driver& Driver::Hover(OSType sig, int32_t id, std::vector<int32_t> items) {
  return Queue([this, sig, id, items](Window* w) {
    Control* c = Need(w, sig, id, "Hover");
    if (c == nullptr) return;
    Event e;
    e.eventClass = kEventClassMenu;
    e.kind = kEventMenuOpening;
    e.control = c;
    Deliver(e, c, w);
    Pump();
    for (int32_t item : items) {
      Event t;
      t.eventClass = kEventClassMenu;
      t.kind = kEventMenuTargetItem;
      t.control = c;
      t.menuItem = item;
      Deliver(t, c, w);
      Pump();
    }
    Event closed;
    closed.eventClass = kEventClassMenu;
    closed.kind = kEventMenuClosed;
    closed.control = c;
    Deliver(closed, c, w);
  });
}

Driver& Driver::Slide(OSType sig, int32_t id, int32_t value) {
  return Queue([this, sig, id, value](Window* w) {
    Control* c = Need(w, sig, id, "Slide");
    if (c == nullptr) return;
    auto* s = qobject_cast<QAbstractSlider*>(c->widget);
    if (s == nullptr) {
      errors_.push_back("Slide: not a slider");
      return;
    }
    s->setSliderDown(true);
    s->setSliderPosition(value);
    s->setSliderDown(false);
  });
}

Driver& Driver::Type(OSType sig, int32_t id, const std::string& text, bool replace) {
  return Queue([this, sig, id, text, replace](Window* w) {
    Control* c = Need(w, sig, id, "Type");
    if (c == nullptr) return;
    auto* edit = qobject_cast<QLineEdit*>(c->widget);
    if (edit == nullptr) {
      errors_.push_back("Type: not an edit field");
      return;
    }
    edit->setFocus(Qt::OtherFocusReason);
    if (replace) edit->selectAll();
    else edit->end(false);
    for (char ch : text) {
      QString t = ch == '\b' ? QString() : QString(QChar(static_cast<unsigned char>(ch)));
      QKeyEvent press(QEvent::KeyPress, QtKeyOf(static_cast<int16_t>(ch)), Qt::NoModifier, t);
      QCoreApplication::sendEvent(edit, &press);
      QKeyEvent release(QEvent::KeyRelease, QtKeyOf(static_cast<int16_t>(ch)), Qt::NoModifier, t);
      QCoreApplication::sendEvent(edit, &release);
    }
  });
}

Driver& Driver::Key(int16_t charCode, uint32_t modifiers) {
  return Queue([charCode, modifiers](Window* w) {
    QWidget* target = w->widget->focusWidget() != nullptr ? w->widget->focusWidget() : w->widget;
    // The text is what a desktop's keyboard sends with the key: Ctrl (the
    // command key) with a letter types the letter's control character, and
    // Meta (the control key) leaves the letter as it is, so every key goes
    // through the layer's mapping as a real one does.
    const bool letter = (charCode >= 'a' && charCode <= 'z') || (charCode >= 'A' && charCode <= 'Z');
    QString t = charCode >= 32 && charCode < 127 ? QString(QChar(charCode)) : QString();
    if (charCode >= 1 && charCode <= 26) t = QString(QChar(charCode));
    if ((modifiers & cmdKey) && letter) t = QString(QChar(charCode & 0x1F));
    else if ((modifiers & controlKey) && charCode >= 1 && charCode <= 26) t = QString(QChar('a' + charCode - 1));
    QKeyEvent press(QEvent::KeyPress, QtKeyOf(charCode), QtModifiersOf(modifiers), t);
    QCoreApplication::sendEvent(target, &press);
  });
}

Driver& Driver::Drag(const std::vector<Point>& points, uint32_t modifiers) {
  return Queue([this, points, modifiers](Window* w) {
    if (points.empty()) return;
    const Point p0 = points.front();
    QWidget* hit = w->widget->childAt(p0.h, p0.v);
    CustomViewWidget* view = nullptr;
    for (QWidget* p = hit; p != nullptr && p != w->widget; p = p->parentWidget())
      if ((view = dynamic_cast<CustomViewWidget*>(p)) != nullptr) break;
    if (view != nullptr) {
      ui_.ClearMouseScript();
      ui_.Press(p0.h, p0.v, modifiers);
      for (size_t i = 1; i + 1 < points.size(); ++i) ui_.DragTo(points[i].h, points[i].v);
      ui_.Release(points.back().h, points.back().v);
      QPoint local = view->mapFrom(w->widget, QPoint(p0.h, p0.v));
      view->Press(QPointF(local), modifiers);
      ui_.ClearMouseScript();
      return;
    }
    if (hit != nullptr && w->ControlFor(hit) != nullptr) {
      Click(hit);
      return;
    }
    Event e;
    e.eventClass = kEventClassWindow;
    e.kind = kEventWindowClickContentRgn;
    e.mouse = p0;
    e.modifiers = modifiers;
    Deliver(e, nullptr, w);
  });
}

Driver& Driver::MoveMouse(int16_t h, int16_t v, uint32_t modifiers) {
  return Queue([h, v, modifiers](Window* w) {
    QWidget* target = w->widget->childAt(h, v);
    if (target == nullptr) target = w->widget;
    QPointF local = QPointF(target->mapFrom(w->widget, QPoint(h, v)));
    QMouseEvent move(QEvent::MouseMove, local, target->mapToGlobal(local), Qt::NoButton, Qt::NoButton,
                     QtModifiersOf(modifiers));
    move.setTimestamp(NextStamp());
    QCoreApplication::sendEvent(target, &move);
  });
}

void Driver::AdvanceNow(double seconds) {
  const double target = ui_.Now() + (seconds > 0.0 ? seconds : 0.0);
  Pump();
  for (;;) {
    double next = EarliestTimer();
    if (next < 0.0 || next > target) break;
    if (next > ui_.Now()) ui_.SetNow(next);
    Pump();
  }
  ui_.SetNow(target);
  Pump();
}

Driver& Driver::Advance(double seconds) {
  return Queue([this, seconds](Window*) { AdvanceNow(seconds); });
}

Driver& Driver::Resize(int16_t width, int16_t height) {
  return Queue([this, width, height](Window* w) {
    // The user's resize works on any window; the attribute only keeps the
    // size fixed once the new size is in.
    bool keep = w->resizable;
    SetWindowResizable(w, true);
    w->widget->resize(width, height);
    Pump();
    SetWindowResizable(w, keep);
  });
}

Driver& Driver::CloseBox() {
  return Queue([](Window* w) { w->widget->close(); });
}

Driver& Driver::Zoom() {
  return Queue([](Window* w) {
    Event e;
    e.eventClass = kEventClassWindow;
    e.kind = kEventWindowZoomed;
    Deliver(e, nullptr, w);
  });
}

Driver& Driver::Do(std::function<void(WindowRef)> action) {
  return Queue([action](Window* w) { action(w); });
}

void Driver::Pump() {
  for (int round = 0; round < 1000; ++round) {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (FireDueTimers() == 0) {
      QCoreApplication::sendPostedEvents();
      return;
    }
  }
  errors_.push_back("Pump: timers keep firing without the clock moving");
}

void Driver::Settle() {
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  Pump();
}

void Driver::RunSteps(WindowRef window) {
  Pump();
  while (!steps_.empty()) {
    Step s = std::move(steps_.front());
    steps_.pop_front();
    s(window);
    Pump();
  }
}

void Driver::Run(Window* window) {
  Pump();
  while (!window->quitRequested) {
    if (steps_.empty()) {
      errors_.push_back("the script ended before the modal loop of " + window->name + " quit");
      window->quitRequested = true;
      break;
    }
    Step s = std::move(steps_.front());
    steps_.pop_front();
    s(window);
    Pump();
  }
}

}  // namespace plat::tb::test
