// Internal to the toolbox: the Qt objects behind windows and controls.
#pragma once

#include <QImage>
#include <QPointer>
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

#include "platform/toolbox/modal_runner.h"
#include "platform/toolbox/toolbox.h"

class QAbstractFileIconProvider;
class QEventLoop;
class QFileDialog;
class QToolButton;

namespace plat::tb {

// The file dialogs' icons and kinds of file, told from the names alone. Qt's
// own provider reads the first bytes of every file listed to guess its kind,
// and a folder such as /proc holds files whose read never returns, which
// froze the dialog and the program with it.
QAbstractFileIconProvider* FileDialogIcons();

// What every file dialog of the program is: Qt's own widgets with the icons
// above, and a chooser only. Qt's file list moves a folder dropped on
// another, and deletes, renames and makes folders from its menu and keys;
// a stray drag in a dialog that had wandered to / moved system folders.
// Read-only, the list does none of that: the dialog only names a file.
void PrepareFileDialog(QFileDialog& dialog);

// Whether the file dialogs list an item: a folder always; a file when its
// type (recorded or by extension) is one of `types`, or whatever its type
// when `types` is empty; never a file a dialog keeps its last settings in,
// which shares the presets' folder and type but is no preset to open or to
// save over.
bool FileDialogLists(const std::string& posix, bool folder, const std::vector<OSType>& types);

enum class Kind {
  Button,
  CheckBox,
  RadioButton,  // a lone radio button, on (1) or off (0)
  RadioGroup,
  Popup,
  Slider,
  ScrollBar,
  LittleArrows,
  EditText,
  StaticText,
  Tab,
  Indicator,
  GroupBox,
  ImageView,
  CustomView,
  Other,
};

struct Handler {
  EventHandlerProc proc;
  std::vector<EventTypeSpec> types;
  void* userData = nullptr;
  bool removed = false;
  bool Wants(OSType cls, uint32_t kind) const;
};

struct HandlerCall {
  std::vector<Handler*> chain;
  size_t next = 0;
};

class WindowWidget;

class Control {
 public:
  Window* window = nullptr;
  QPointer<QWidget> widget;
  Kind kind = Kind::Other;
  OSType sig = 0;
  int32_t id = 0;
  uint32_t command = 0;
  // A popup whose items carry commands of their own: the chosen item's.
  std::vector<uint32_t> itemCommands;
  void* reference = nullptr;
  std::vector<std::unique_ptr<Handler>> handlers;
  ControlActionProc action;
  KeyFilterProc keyFilter;
  // Values of the kinds that Qt keeps none for (arrows, indicator, views).
  int32_t value = 0, minimum = 0, maximum = 0;
  // Custom views.
  std::string classId;
  void* viewData = nullptr;
  bool constructed = false;
  bool needsDisplay = true;
  CGRect lastBounds;
  // Image views.
  QImage image;
  bool scaleToFit = true;
  // While the toolbox itself changes a widget, its signals are not user
  // changes and send nothing.
  int quiet = 0;
};

class Window {
 public:
  std::string name;
  WindowWidget* widget = nullptr;  // top level, owned by this object
  QWidget* form = nullptr;         // the loaded .ui, child of widget
  std::unique_ptr<draw::Port> port;
  std::vector<std::unique_ptr<Control>> controls;
  std::vector<std::unique_ptr<Handler>> handlers;
  Window* owner = nullptr;
  bool resizable = false;
  bool closeBox = true;  // false: the nib gives the window none
  // A palette floats beside the window it belongs to rather than over it
  // (the .ui root's "placement" is "beside").
  bool beside = false;
  bool placed = false;  // shown once: from then on it stays where it was left
  bool inModal = false;
  bool quitRequested = false;
  QEventLoop* loop = nullptr;
  bool passScheduled = false;
  bool contentPending = false;
  bool disposed = false;

  Control* ControlFor(QWidget* w) const;
  void SchedulePass();
  void RunPass();
  // Gives the port the backing scale of the screen the window is on (or the
  // tests' choice); a change redraws the whole window.
  void SyncBackingScale();
};

// The top-level widget of a window: it shows the port under the controls.
class WindowWidget : public QWidget {
 public:
  explicit WindowWidget(Window* w);
  Window* window;

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;
  void closeEvent(QCloseEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void changeEvent(QEvent* event) override;
};

// The project's own widget classes named in the .ui files.
class RadioGroupWidget : public QWidget {
 public:
  using QWidget::QWidget;
};
class IndicatorWidget : public QWidget {
 public:
  using QWidget::QWidget;
  int32_t value = 0;

 protected:
  void paintEvent(QPaintEvent*) override;
};
class LittleArrowsWidget : public QWidget {
 public:
  explicit LittleArrowsWidget(QWidget* parent);
  QToolButton* up;
  QToolButton* down;

 protected:
  void resizeEvent(QResizeEvent*) override;
};
class ImageViewWidget : public QWidget {
 public:
  using QWidget::QWidget;
  Control* control = nullptr;

 protected:
  void paintEvent(QPaintEvent*) override;
};
class CustomViewWidget : public QWidget {
 public:
  explicit CustomViewWidget(QWidget* parent);
  Control* control = nullptr;
  // The press of a tracking gesture at a point in view coordinates.
  void Press(const QPointF& local, uint32_t modifiers);

 protected:
  void mousePressEvent(QMouseEvent*) override;
  void resizeEvent(QResizeEvent*) override;
};

// ---- shared between the toolbox's files ----
// Handlers of the control (last installed first), then of its window.
OSStatus Deliver(Event& event, Control* control, Window* window);
OSStatus DeliverToHandlers(Event& event, const std::vector<Handler*>& chain);
std::vector<Handler*> ChainOf(Control* control, Window* window);
uint32_t ModifiersOf(Qt::KeyboardModifiers mods);
// Sends a control's command (after a user change).
void SendCommand(Control* c);
void WireControl(Control* c);
Kind KindOf(QWidget* w);
Window* WindowOfWidget(QWidget* w);
bool InputBlocked(Window* w);
// A close request from the close box or the window manager: the window's
// handlers hear the click; when none takes it, the window's Cancel button
// answers, or else the standard close command 'clos'.
void RequestClose(Window* w);
void SendViewEvent(Control* c, uint32_t kind, Event& e);
void ConstructView(Control* c);
void DestructView(Control* c);
// Rect of a widget in its window's coordinates.
Rect BoundsInWindow(Control* c);
// Fires the timers due at the layer's clock; returns how many fired.
int FireDueTimers();
// The earliest pending fire time, or a negative value when none.
double EarliestTimer();
void UseVirtualClock(bool on);
bool VirtualClock();

std::vector<Window*>& ModalStack();

// Where a window opens: its frame (the window with what the window manager
// draws around it) centred over its owner's frame, or beside it for a
// palette (right of it, else left of it), or centred in the area when it has
// no owner; then moved inside the area, and a window larger than the area
// is shrunk to it when it may be resized, else kept at its size with its
// top-left corner (the title bar) inside. An empty area leaves the position
// unbounded and the size as it is. Returns the frame.
struct Placement {
  QRect area;        // the screen's available area
  QRect ownerFrame;  // empty: no owner
  QSize size;        // the window's content
  QMargins frame;    // what the window manager adds around the content
  bool resizable = false;
  bool beside = false;
  QSize minimum;     // the smallest content a resizable window takes
};
QRect PlaceWindow(const Placement& p);
// The shown window that takes input now: the innermost modal one, or a
// palette above it that was used last; null when none is shown.
Window* FrontWindow();
// The backing scale the tests ask every window for; 0 follows the screen.
int& BackingScaleOverride();
// Device pixels per window pixel for a widget: its device pixel ratio
// rounded up (a ratio of 1.5 draws at 2 and lets Qt scale down), 1 to 4.
int BackingScaleOf(const QWidget* widget);

}  // namespace plat::tb
