// Controls: what each widget class means, how user changes become
// commands, and the value, bounds and text accessors.
#include <QAbstractSlider>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QTabWidget>
#include <QToolButton>

#include <algorithm>

#include "platform/hostapi/live_log.h"
#include "platform/toolbox/toolbox_internal.h"

namespace plat::tb {
namespace {

struct Quiet {
  explicit Quiet(Control* c) : c_(c) { ++c_->quiet; }
  ~Quiet() { --c_->quiet; }
  Control* c_;
};

QList<QRadioButton*> RadiosOf(Control* c) {
  return c->widget->findChildren<QRadioButton*>(QString(), Qt::FindDirectChildrenOnly).isEmpty()
             ? c->widget->findChildren<QRadioButton*>()
             : c->widget->findChildren<QRadioButton*>(QString(), Qt::FindDirectChildrenOnly);
}

int16_t PartOfAction(int action) {
  switch (action) {
    case QAbstractSlider::SliderSingleStepSub: return kControlUpButtonPart;
    case QAbstractSlider::SliderSingleStepAdd: return kControlDownButtonPart;
    case QAbstractSlider::SliderPageStepSub: return kControlPageUpPart;
    case QAbstractSlider::SliderPageStepAdd: return kControlPageDownPart;
    default: return kControlIndicatorPart;
  }
}

// The default live action when the code installs none: arrows step by one,
// pages by ten.
void DefaultAction(Control* c, int16_t part, bool arrowsCountUp) {
  int32_t v = GetControl32BitValue(c);
  int32_t step = 0;
  switch (part) {
    case kControlUpButtonPart: step = arrowsCountUp ? 1 : -1; break;
    case kControlDownButtonPart: step = arrowsCountUp ? -1 : 1; break;
    case kControlPageUpPart: step = arrowsCountUp ? 10 : -10; break;
    case kControlPageDownPart: step = arrowsCountUp ? -10 : 10; break;
    default: return;
  }
  SetControl32BitValue(c, v + step);
}

class PopupWatcher : public QObject {
 public:
  PopupWatcher(Control* c, QObject* parent) : QObject(parent), c_(c) {}
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Show || event->type() == QEvent::Hide) {
      Event e;
      e.eventClass = kEventClassMenu;
      e.kind = event->type() == QEvent::Show ? kEventMenuOpening : kEventMenuClosed;
      e.control = c_;
      e.window = c_->window;
      Deliver(e, c_, c_->window);
    }
    return false;
  }

 private:
  Control* c_;
};

}  // namespace

Kind KindOf(QWidget* w) {
  if (dynamic_cast<CustomViewWidget*>(w)) return Kind::CustomView;
  if (dynamic_cast<ImageViewWidget*>(w)) return Kind::ImageView;
  if (dynamic_cast<LittleArrowsWidget*>(w)) return Kind::LittleArrows;
  if (dynamic_cast<IndicatorWidget*>(w)) return Kind::Indicator;
  if (dynamic_cast<RadioGroupWidget*>(w)) return Kind::RadioGroup;
  if (qobject_cast<QPushButton*>(w)) return Kind::Button;
  if (qobject_cast<QCheckBox*>(w)) return Kind::CheckBox;
  if (qobject_cast<QRadioButton*>(w)) return Kind::RadioButton;
  if (qobject_cast<QComboBox*>(w)) return Kind::Popup;
  if (qobject_cast<QScrollBar*>(w)) return Kind::ScrollBar;
  if (qobject_cast<QSlider*>(w)) return Kind::Slider;
  if (qobject_cast<QLineEdit*>(w)) return Kind::EditText;
  if (qobject_cast<QLabel*>(w)) return Kind::StaticText;
  if (qobject_cast<QTabWidget*>(w)) return Kind::Tab;
  if (qobject_cast<QGroupBox*>(w)) return Kind::GroupBox;
  return Kind::Other;
}

// A popup with item commands sends the chosen item's (none for an item
// beyond the list); every other control its own.
uint32_t CommandOf(const Control* c) {
  if (c->kind != Kind::Popup || c->itemCommands.empty()) return c->command;
  const auto* combo = qobject_cast<QComboBox*>(c->widget);
  const int index = combo != nullptr ? combo->currentIndex() : -1;
  return index >= 0 && index < static_cast<int>(c->itemCommands.size()) ? c->itemCommands[index] : 0;
}

void SendCommand(Control* c) {
  if (c == nullptr || c->quiet > 0) return;
  Event e;
  e.eventClass = kEventClassCommand;
  e.kind = kEventCommandProcess;
  e.command = CommandOf(c);
  e.control = c;
  e.window = c->window;
  if (hostapi::LiveLogOn()) {
    const char code[5] = {static_cast<char>(c->command >> 24), static_cast<char>(c->command >> 16),
                          static_cast<char>(c->command >> 8), static_cast<char>(c->command), 0};
    hostapi::LiveLog("command %s %s", code, c->window != nullptr ? c->window->name.c_str() : "-");
  }
  Deliver(e, c, c->window);
}

void WireControl(Control* c) {
  QWidget* w = c->widget;
  switch (c->kind) {
    case Kind::Button: {
      auto* b = qobject_cast<QPushButton*>(w);
      if (c->command == FourCC("ok  ")) b->setDefault(true);
      QObject::connect(b, &QPushButton::clicked, [c] { SendCommand(c); });
      break;
    }
    case Kind::CheckBox:
      QObject::connect(qobject_cast<QCheckBox*>(w), &QCheckBox::clicked, [c] { SendCommand(c); });
      break;
    case Kind::RadioButton:
      QObject::connect(qobject_cast<QRadioButton*>(w), &QRadioButton::clicked, [c] { SendCommand(c); });
      break;
    case Kind::RadioGroup:
      for (QRadioButton* r : RadiosOf(c)) QObject::connect(r, &QRadioButton::clicked, [c] { SendCommand(c); });
      break;
    case Kind::Popup: {
      auto* combo = qobject_cast<QComboBox*>(w);
      c->minimum = 1;
      c->maximum = combo->count();
      QObject::connect(combo, &QComboBox::activated, [c](int) { SendCommand(c); });
      QObject::connect(combo, &QComboBox::highlighted, [c](int index) {
        Event e;
        e.eventClass = kEventClassMenu;
        e.kind = kEventMenuTargetItem;
        e.control = c;
        e.window = c->window;
        e.menuItem = index + 1;
        Deliver(e, c, c->window);
      });
      if (combo->view() != nullptr && combo->view()->window() != nullptr) {
        combo->view()->window()->installEventFilter(new PopupWatcher(c, combo));
      }
      break;
    }
    case Kind::Slider:
    case Kind::ScrollBar: {
      auto* s = qobject_cast<QAbstractSlider*>(w);
      // The live action owns the arrow and page steps.
      s->setSingleStep(0);
      s->setPageStep(0);
      QObject::connect(s, &QAbstractSlider::actionTriggered, [c, s](int action) {
        if (c->quiet > 0 || action == QAbstractSlider::SliderNoAction) return;
        int16_t part = PartOfAction(action);
        if (c->action) c->action(c, part);
        else DefaultAction(c, part, false);
        if (part != kControlIndicatorPart && !s->isSliderDown()) {
          // A click on an arrow or the page area: the change is complete
          // once the value is in.
          QMetaObject::invokeMethod(
              s, [c] { SendCommand(c); }, Qt::QueuedConnection);
        }
      });
      QObject::connect(s, &QAbstractSlider::sliderReleased, [c] { SendCommand(c); });
      break;
    }
    case Kind::LittleArrows: {
      auto* a = static_cast<LittleArrowsWidget*>(w);
      auto press = [c](int16_t part) {
        if (c->action) c->action(c, part);
        else DefaultAction(c, part, true);
      };
      QObject::connect(a->up, &QToolButton::pressed, [press] { press(kControlUpButtonPart); });
      QObject::connect(a->down, &QToolButton::pressed, [press] { press(kControlDownButtonPart); });
      QObject::connect(a->up, &QToolButton::released, [c] { SendCommand(c); });
      QObject::connect(a->down, &QToolButton::released, [c] { SendCommand(c); });
      break;
    }
    case Kind::EditText:
      QObject::connect(qobject_cast<QLineEdit*>(w), &QLineEdit::textEdited, [c](const QString& text) {
        Event e;
        e.eventClass = kEventClassTextInput;
        e.kind = kEventTextInputFilterText;
        e.control = c;
        e.window = c->window;
        e.text = text.toStdString();
        Deliver(e, c, c->window);
      });
      break;
    case Kind::Tab: {
      auto* t = qobject_cast<QTabWidget*>(w);
      c->minimum = 1;
      c->maximum = t->count();
      QObject::connect(t, &QTabWidget::currentChanged, [c](int) { SendCommand(c); });
      break;
    }
    default:
      break;
  }
}

// ---- lookup ----

OSStatus GetControlByID(WindowRef w, const ControlID& id, ControlRef* out) {
  if (out != nullptr) *out = nullptr;
  if (w == nullptr || out == nullptr) return paramErr;
  for (auto& c : w->controls) {
    if (c->sig == id.signature && c->id == id.id && c->widget != nullptr) {
      *out = c.get();
      return noErr;
    }
  }
  return errUnknownControl;
}

ControlRef FindControl(WindowRef w, OSType signature, int32_t id) {
  ControlRef c = nullptr;
  GetControlByID(w, ControlID{signature, id}, &c);
  return c;
}

WindowRef GetControlOwner(ControlRef c) { return c != nullptr ? c->window : nullptr; }
ControlID GetControlID(ControlRef c) { return c != nullptr ? ControlID{c->sig, c->id} : ControlID{0, 0}; }

// ---- values ----

int32_t GetControl32BitValue(ControlRef c) {
  if (c == nullptr || c->widget == nullptr) return 0;
  QWidget* w = c->widget;
  switch (c->kind) {
    case Kind::CheckBox: return qobject_cast<QCheckBox*>(w)->isChecked() ? 1 : 0;
    case Kind::RadioButton: return qobject_cast<QRadioButton*>(w)->isChecked() ? 1 : 0;
    case Kind::Button: return qobject_cast<QPushButton*>(w)->isChecked() ? 1 : 0;
    case Kind::RadioGroup: {
      auto radios = RadiosOf(c);
      for (int i = 0; i < radios.size(); ++i)
        if (radios[i]->isChecked()) return i + 1;
      return 0;
    }
    case Kind::Popup: return qobject_cast<QComboBox*>(w)->currentIndex() + 1;
    case Kind::Slider:
    case Kind::ScrollBar: return qobject_cast<QAbstractSlider*>(w)->sliderPosition();
    case Kind::Tab: return qobject_cast<QTabWidget*>(w)->currentIndex() + 1;
    default: return c->value;
  }
}

void SetControl32BitValue(ControlRef c, int32_t value) {
  if (c == nullptr || c->widget == nullptr) return;
  Quiet quiet(c);
  QWidget* w = c->widget;
  // Radio groups and tabs check the value against their items (a group at 0
  // has no button on). A popup is held to its range as every other control
  // is: below its minimum it shows its first item, never an empty field.
  bool ownRange = c->kind == Kind::RadioGroup || c->kind == Kind::Tab;
  int32_t lo = GetControl32BitMinimum(c), hi = GetControl32BitMaximum(c);
  if (!ownRange && hi >= lo) value = std::clamp(value, lo, hi);
  switch (c->kind) {
    case Kind::CheckBox: qobject_cast<QCheckBox*>(w)->setChecked(value != 0); break;
    case Kind::RadioButton: {
      // A radio button that shares its parent with others is exclusive:
      // Qt would refuse to turn it off, so exclusion is lifted for that.
      auto* r = qobject_cast<QRadioButton*>(w);
      const bool exclusive = r->autoExclusive();
      if (value == 0) r->setAutoExclusive(false);
      r->setChecked(value != 0);
      r->setAutoExclusive(exclusive);
      break;
    }
    case Kind::Button:
      if (qobject_cast<QPushButton*>(w)->isCheckable()) qobject_cast<QPushButton*>(w)->setChecked(value != 0);
      break;
    case Kind::RadioGroup: {
      auto radios = RadiosOf(c);
      if (value >= 1 && value <= radios.size()) {
        radios[value - 1]->setChecked(true);
      } else {
        for (QRadioButton* r : radios) {
          r->setAutoExclusive(false);
          r->setChecked(false);
          r->setAutoExclusive(true);
        }
      }
      break;
    }
    case Kind::Popup: {
      auto* combo = qobject_cast<QComboBox*>(w);
      combo->setCurrentIndex(value >= 1 && value <= combo->count() ? value - 1 : -1);
      break;
    }
    case Kind::Slider:
    case Kind::ScrollBar: qobject_cast<QAbstractSlider*>(w)->setValue(value); break;
    case Kind::Tab: {
      auto* t = qobject_cast<QTabWidget*>(w);
      if (value >= 1 && value <= t->count()) t->setCurrentIndex(value - 1);
      break;
    }
    case Kind::Indicator:
      c->value = value;
      static_cast<IndicatorWidget*>(w)->value = value;
      w->update();
      break;
    default: c->value = value; break;
  }
}

int32_t GetControl32BitMinimum(ControlRef c) {
  if (c == nullptr || c->widget == nullptr) return 0;
  switch (c->kind) {
    case Kind::Slider:
    case Kind::ScrollBar: return qobject_cast<QAbstractSlider*>(c->widget)->minimum();
    case Kind::CheckBox:
    case Kind::RadioButton: return 0;
    default: return c->minimum;
  }
}

void SetControl32BitMinimum(ControlRef c, int32_t value) {
  if (c == nullptr || c->widget == nullptr) return;
  Quiet quiet(c);
  if (c->kind == Kind::Slider || c->kind == Kind::ScrollBar) {
    qobject_cast<QAbstractSlider*>(c->widget)->setMinimum(value);
  } else {
    c->minimum = value;
    if (c->value < value && c->kind != Kind::Popup && c->kind != Kind::Tab) c->value = value;
  }
}

int32_t GetControl32BitMaximum(ControlRef c) {
  if (c == nullptr || c->widget == nullptr) return 0;
  switch (c->kind) {
    case Kind::Slider:
    case Kind::ScrollBar: return qobject_cast<QAbstractSlider*>(c->widget)->maximum();
    case Kind::CheckBox:
    case Kind::RadioButton: return 1;
    case Kind::Button:
      // A button that stays pressed (a bevel button of a choice) is on or off.
      if (qobject_cast<QPushButton*>(c->widget)->isCheckable()) return std::max(c->maximum, 1);
      return c->maximum >= c->minimum ? c->maximum : c->minimum;
    case Kind::Other:
    case Kind::EditText:
    case Kind::StaticText:
    case Kind::GroupBox:
    case Kind::ImageView:
    case Kind::CustomView: return c->maximum >= c->minimum ? c->maximum : c->minimum;
    default: return c->maximum;
  }
}

void SetControl32BitMaximum(ControlRef c, int32_t value) {
  if (c == nullptr || c->widget == nullptr) return;
  Quiet quiet(c);
  if (c->kind == Kind::Slider || c->kind == Kind::ScrollBar) {
    qobject_cast<QAbstractSlider*>(c->widget)->setMaximum(value);
  } else {
    c->maximum = value;
    if (c->value > value && c->kind != Kind::Popup && c->kind != Kind::Tab) c->value = value;
  }
}

// ---- visibility, state, bounds ----

void ShowControl(ControlRef c) { SetControlVisibility(c, true); }
void HideControl(ControlRef c) { SetControlVisibility(c, false); }

// A custom view draws into its window's port, under the widgets: hidden, its
// area of the port is cleared to the port's white, or the window would go on
// showing what the view drew last.
void ClearViewArea(Control* c) {
  Window* w = c->window;
  if (w == nullptr || w->port == nullptr || w->widget == nullptr) return;
  const Rect b = BoundsInWindow(c);
  draw::Surface& s = w->port->surface();
  const int k = w->port->backingScale();
  const int left = std::max<int>(b.left * k, 0), right = std::min<int>(b.right * k, s.width());
  for (int y = std::max<int>(b.top * k, 0); y < std::min<int>(b.bottom * k, s.height()); ++y)
    std::fill(s.row(y) + left, s.row(y) + std::max(left, right), 0xFFFFFFFFu);
  w->widget->update();
}

void SetControlVisibility(ControlRef c, bool visible) {
  if (c == nullptr || c->widget == nullptr) return;
  const bool was = !c->widget->isHidden();
  c->widget->setVisible(visible);
  if (visible && c->kind == Kind::CustomView) SetControlNeedsDisplay(c);
  if (!visible && was && c->kind == Kind::CustomView) ClearViewArea(c);
}

// Visible as the control itself is set: a control inside a hidden group
// reports hidden, as its group hides it.
bool IsControlVisible(ControlRef c) {
  if (c == nullptr || c->widget == nullptr || c->window == nullptr || c->window->widget == nullptr) return false;
  return c->widget->isVisibleTo(c->window->widget);
}

void EnableControl(ControlRef c) {
  if (c != nullptr && c->widget != nullptr) c->widget->setEnabled(true);
}
void DisableControl(ControlRef c) {
  if (c != nullptr && c->widget != nullptr) c->widget->setEnabled(false);
}
bool IsControlEnabled(ControlRef c) { return c != nullptr && c->widget != nullptr && c->widget->isEnabled(); }

Rect BoundsInWindow(Control* c) {
  if (c == nullptr || c->widget == nullptr || c->window == nullptr || c->window->widget == nullptr) return Rect{};
  QPoint tl = c->widget->mapTo(c->window->widget, QPoint(0, 0));
  return Rect{static_cast<int16_t>(tl.y()), static_cast<int16_t>(tl.x()),
              static_cast<int16_t>(tl.y() + c->widget->height()), static_cast<int16_t>(tl.x() + c->widget->width())};
}

Rect GetControlBounds(ControlRef c) { return BoundsInWindow(c); }

void SetControlBounds(ControlRef c, const Rect& r) {
  if (c == nullptr || c->widget == nullptr || c->window == nullptr || c->window->widget == nullptr) return;
  QWidget* parent = c->widget->parentWidget();
  QPoint tl(r.left, r.top);
  if (parent != nullptr) tl = parent->mapFrom(c->window->widget, tl);
  c->widget->setGeometry(tl.x(), tl.y(), std::max(0, r.right - r.left), std::max(0, r.bottom - r.top));
}

uint32_t GetControlCommandID(ControlRef c) { return c != nullptr ? c->command : 0; }
void SetControlCommandID(ControlRef c, uint32_t command) {
  if (c != nullptr) c->command = command;
}
void SetControlReference(ControlRef c, void* reference) {
  if (c != nullptr) c->reference = reference;
}
void* GetControlReference(ControlRef c) { return c != nullptr ? c->reference : nullptr; }

void SetControlNeedsDisplay(ControlRef c) {
  if (c == nullptr || c->window == nullptr) return;
  c->needsDisplay = true;
  if (c->widget != nullptr) c->widget->update();
  c->window->SchedulePass();
}

// ---- text ----

void SetControlText(ControlRef c, const std::string& text) {
  if (c == nullptr || c->widget == nullptr) return;
  Quiet quiet(c);
  QString t = QString::fromStdString(text);
  QWidget* w = c->widget;
  // A field that already shows the text keeps its cursor and selection: a
  // window that redraws its values on every tick of its timer would
  // otherwise drop what the user just selected to type over.
  if (auto* e = qobject_cast<QLineEdit*>(w)) {
    if (e->text() != t) e->setText(t);
  } else if (auto* l = qobject_cast<QLabel*>(w)) l->setText(t);
  else if (auto* b = qobject_cast<QAbstractButton*>(w)) b->setText(t);
  else if (auto* g = qobject_cast<QGroupBox*>(w)) g->setTitle(t);
  else w->setWindowTitle(t);
}

std::string GetControlText(ControlRef c) {
  if (c == nullptr || c->widget == nullptr) return std::string();
  QWidget* w = c->widget;
  if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text().toStdString();
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text().toStdString();
  if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text().toStdString();
  if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title().toStdString();
  if (auto* combo = qobject_cast<QComboBox*>(w)) return combo->currentText().toStdString();
  return w->windowTitle().toStdString();
}

void SetControlTitle(ControlRef c, const std::string& title) { SetControlText(c, title); }

bool IsEditText(ControlRef c) { return c != nullptr && c->widget != nullptr && c->kind == Kind::EditText; }

void GetEditTextSelection(ControlRef c, int32_t* start, int32_t* end) {
  int32_t s = 0, e = 0;
  if (IsEditText(c)) {
    auto* field = qobject_cast<QLineEdit*>(c->widget);
    if (field->hasSelectedText()) {
      s = field->selectionStart();
      e = s + static_cast<int32_t>(field->selectedText().size());
    } else {
      s = e = field->cursorPosition();
    }
  }
  if (start != nullptr) *start = s;
  if (end != nullptr) *end = e;
}

void SetEditTextSelection(ControlRef c, int32_t start, int32_t end) {
  if (!IsEditText(c)) return;
  Quiet quiet(c);
  auto* field = qobject_cast<QLineEdit*>(c->widget);
  const int32_t length = static_cast<int32_t>(field->text().size());
  start = std::clamp(start, 0, length);
  end = std::clamp(end, start, length);
  field->setSelection(start, end - start);
}

void SetKeyboardFocus(WindowRef w, ControlRef c) {
  if (w == nullptr || w->widget == nullptr) return;
  if (c == nullptr || c->widget == nullptr) {
    if (QWidget* f = w->widget->focusWidget()) f->clearFocus();
    return;
  }
  c->widget->setFocus(Qt::OtherFocusReason);
  if (auto* e = qobject_cast<QLineEdit*>(c->widget)) e->selectAll();
}

ControlRef GetKeyboardFocus(WindowRef w) {
  if (w == nullptr || w->widget == nullptr) return nullptr;
  QWidget* f = w->widget->focusWidget();
  return f != nullptr ? w->ControlFor(f) : nullptr;
}

void SetControlAction(ControlRef c, ControlActionProc action) {
  if (c != nullptr) c->action = std::move(action);
}
void SetKeyFilter(ControlRef c, KeyFilterProc filter) {
  if (c != nullptr) c->keyFilter = std::move(filter);
}

// ---- popup menus ----

void DeleteMenuItems(ControlRef c) {
  if (c == nullptr || c->kind != Kind::Popup || c->widget == nullptr) return;
  Quiet quiet(c);
  auto* combo = qobject_cast<QComboBox*>(c->widget);
  if (c->maximum == combo->count()) c->maximum = 0;
  combo->clear();
}

void AppendMenuItemText(ControlRef c, const std::string& text) {
  if (c == nullptr || c->kind != Kind::Popup || c->widget == nullptr) return;
  Quiet quiet(c);
  auto* combo = qobject_cast<QComboBox*>(c->widget);
  // The maximum follows the item count unless the code set another.
  bool tracking = c->maximum == combo->count();
  // Literal text: no metacharacter of the item is interpreted.
  combo->addItem(QString::fromStdString(text));
  if (tracking) c->maximum = combo->count();
}

int32_t CountMenuItems(ControlRef c) {
  if (c == nullptr || c->kind != Kind::Popup || c->widget == nullptr) return 0;
  return qobject_cast<QComboBox*>(c->widget)->count();
}

std::string GetMenuItemText(ControlRef c, int32_t item) {
  if (c == nullptr || c->kind != Kind::Popup || c->widget == nullptr) return std::string();
  auto* combo = qobject_cast<QComboBox*>(c->widget);
  if (item < 1 || item > combo->count()) return std::string();
  return combo->itemText(item - 1).toStdString();
}

// ---- image views ----

void SetImageViewImage(ControlRef c, const draw::ImageRef& image, float scale) {
  if (c == nullptr || c->widget == nullptr) return;
  if (image.data == nullptr || image.width <= 0 || image.height <= 0 || image.rowBytes < image.width * 4) {
    c->image = QImage();
  } else {
    c->image = QImage(image.data, image.width, image.height, image.rowBytes, QImage::Format_RGBA8888_Premultiplied)
                   .copy();
    // Qt draws an image of ratio k at 1/k of its pixels' size: on a screen
    // of that ratio, pixel for pixel.
    c->image.setDevicePixelRatio(scale >= 1.0f && scale <= 16.0f ? scale : 1.0f);
  }
  c->widget->update();
}

int GetControlBackingScale(ControlRef c) {
  if (c == nullptr || c->window == nullptr || c->window->port == nullptr) return 1;
  return c->window->port->backingScale();
}

void SetImageViewScaleToFit(ControlRef c, bool fit) {
  if (c == nullptr || c->widget == nullptr) return;
  c->scaleToFit = fit;
  c->widget->update();
}

void ImageViewWidget::paintEvent(QPaintEvent*) {
  if (control == nullptr || control->image.isNull()) return;
  if (hostapi::LiveLogOn())
    hostapi::LiveLog("paint-image %s", control->window != nullptr ? control->window->name.c_str() : "-");
  QPainter p(this);
  const QImage& img = control->image;
  if (!control->scaleToFit) {
    p.drawImage(0, 0, img);
    return;
  }
  QSize s = img.size().scaled(size(), Qt::KeepAspectRatio);
  QRect target((width() - s.width()) / 2, (height() - s.height()) / 2, s.width(), s.height());
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  p.drawImage(target, img);
}

void IndicatorWidget::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  int d = std::min(width(), height()) - 2;
  if (d <= 0) return;
  QRect r((width() - d) / 2, (height() - d) / 2, d, d);
  p.setPen(palette().color(QPalette::WindowText));
  p.setBrush(value != 0 ? palette().color(QPalette::Highlight) : palette().color(QPalette::Base));
  p.drawEllipse(r);
}

LittleArrowsWidget::LittleArrowsWidget(QWidget* parent) : QWidget(parent) {
  up = new QToolButton(this);
  down = new QToolButton(this);
  up->setArrowType(Qt::UpArrow);
  down->setArrowType(Qt::DownArrow);
}

void LittleArrowsWidget::resizeEvent(QResizeEvent*) {
  up->setGeometry(0, 0, width(), height() / 2);
  down->setGeometry(0, height() / 2, width(), height() - height() / 2);
}

}  // namespace plat::tb
