// The windowing layer every window of the system is written on: windows
// built by name from the nib, controls found by signature and index, events
// delivered to handlers, event-loop timers, application-modal loops and
// custom views. Implemented on Qt Widgets; this header names no Qt type, so
// dialog code reads the same whatever draws the widgets.
//
// Nib: a folder of Qt Designer .ui files, one per window name. Each control
// that code reaches carries the dynamic properties "sig" (four characters)
// and "id" (number); "cmd" (four characters) is the command it sends after
// a user change, and a popup's "itemCmds" (four characters each, separated
// by commas) gives each of its items a command of its own, sent in place of
// "cmd" when that item is chosen. Widget classes give the kind:
//   QPushButton push button ("ok  " is the default button, Return; "canc"
//     the cancel button, Escape), QCheckBox check box, QRadioButton a
//     lone radio button (value 1 on, 0 off; lone buttons that share a
//     parent turn each other off when clicked), QComboBox popup
//     button (value = 1-based item), QSlider slider, QScrollBar scroll bar,
//     QLineEdit edit text, QLabel static text, QTabWidget tab control (value
//     = 1-based page), QGroupBox group box, and the project's own classes
//     VmkRadioGroup (a container of QRadioButtons; value = 1-based button),
//     VmkLittleArrows, VmkIndicator, VmkImageView and VmkCustomView (with the
//     string property "classId" naming the registered view class).
//
// Events are (class, kind) pairs with parameters, delivered to the handlers
// installed on a control, then its window, for the types each asked for;
// a handler answers noErr (handled) or eventNotHandledErr, and an event no
// handler takes goes to a harmless default. Events sent:
//   'cmds' 1   command after a user change (command, source control)
//   'mous' 5   mouse moved (window coordinates; never sent to views)
//   'text' 2   a key typed into an edit field (after its key filter)
//   'text' 14  an edit field's text changed by typing
//   'keyb' 1   raw key down (character code, modifiers)
//   'menu' 4, 6, 5   popup menu opening, target item (hovered item), closed;
//              on a choice "closed" arrives before the command
//   'cntl' 3, 4, 51, 154   hit test, draw, track, bounds changed (views)
//   'wind' 2 draw content, 29 resize completed, 76 zoomed, 35 close box,
//          37 click in content
// Setting a control's value never sends an event synchronously.
//
// A window whose .ui root carries the property "closeBox" false has no close
// box: it never reports 'wind' 35. A close request (close box, Alt+F4) that
// no handler of 'wind' 35 takes presses the window's Cancel button ('canc')
// when it has one, else sends the command 'clos'. A window opened from
// another is its dialog for the window manager, opens centred over it (a
// root with "placement" "beside": next to it) and inside the screen.
//
// Clock: timers run on plat::ui::Now() (real time live; a virtual clock the
// test driver advances in tests).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/draw/port.h"
#include "platform/types/mac_types.h"

class QMenu;
class QWidget;
struct OpaqueMenuRef;

namespace plat::tb {

class Window;
class Control;
struct Timer;
struct Handler;
using WindowRef = Window*;
using ControlRef = Control*;
using EventLoopTimerRef = Timer*;
using EventHandlerRef = Handler*;

// ---- result codes ----
enum : OSStatus {
  eventNotHandledErr = -9874,
  errUnknownControl = -30584,
  errNibNotFound = -10001,
  errWindowNotFound = -10002,
  paramErr = -50,
};

// ---- event classes and kinds ----
enum : OSType {
  kEventClassCommand = FourCC("cmds"),
  kEventClassMouse = FourCC("mous"),
  kEventClassTextInput = FourCC("text"),
  kEventClassKeyboard = FourCC("keyb"),
  kEventClassMenu = FourCC("menu"),
  kEventClassControl = FourCC("cntl"),
  kEventClassWindow = FourCC("wind"),
  kEventClassHIObject = FourCC("hiob"),
};
enum : uint32_t {
  kEventCommandProcess = 1,
  kEventMouseMoved = 5,
  kEventTextInputUnicodeForKeyEvent = 2,
  kEventTextInputFilterText = 14,
  kEventRawKeyDown = 1,
  kEventMenuOpening = 4,
  kEventMenuClosed = 5,
  kEventMenuTargetItem = 6,
  kEventControlHitTest = 3,
  kEventControlDraw = 4,
  kEventControlTrack = 51,
  kEventControlBoundsChanged = 154,
  kEventWindowDrawContent = 2,
  kEventWindowResizeCompleted = 29,
  kEventWindowClickCloseRgn = 35,
  kEventWindowClose = 72,
  kEventControlHit = 1,
  kEventWindowClickContentRgn = 37,
  kEventWindowZoomed = 76,
  kEventHIObjectConstruct = 1,
  kEventHIObjectInitialize = 2,
  kEventHIObjectDestruct = 3,
};

// ---- control parts ----
enum : int16_t {
  kControlNoPart = 0,
  kControlContentPart = 10,
  kControlUpButtonPart = 20,
  kControlDownButtonPart = 21,
  kControlPageUpPart = 22,
  kControlPageDownPart = 23,
  kControlIndicatorPart = 129,
};

struct EventTypeSpec {
  OSType eventClass;
  uint32_t eventKind;
};

// One event with the parameters of its kind.
struct Event {
  OSType eventClass = 0;
  uint32_t kind = 0;
  uint32_t command = 0;          // 'cmds' 1
  ControlRef control = nullptr;  // source control, popup of a menu event, the view
  WindowRef window = nullptr;
  Point mouse;                   // window coordinates
  CGPoint viewPoint;             // view-local floats (hit test, track)
  CGRect bounds;                 // view-local bounds (initialize, bounds changed)
  std::string text;              // typed text
  int16_t charCode = 0;
  uint32_t modifiers = 0;
  int32_t menuItem = 0;          // 1-based item
  int16_t part = kControlNoPart; // written by hit-test handlers
  draw::Context context;         // draw and track: view-local context
  draw::Port* port = nullptr;    // the window's port
  void* instance = nullptr;      // construct: the view's custom data slot
};
using EventRef = Event*;

// The chain of handlers an event is passing through; CallNextEventHandler
// hands the event to the rest of the chain.
struct HandlerCall;
using EventHandlerCallRef = HandlerCall*;
using EventHandlerProc = std::function<OSStatus(EventHandlerCallRef, EventRef, void* userData)>;
OSStatus CallNextEventHandler(EventHandlerCallRef call, EventRef event);

OSStatus InstallWindowEventHandler(WindowRef window, EventHandlerProc handler, const std::vector<EventTypeSpec>& types,
                                   void* userData, EventHandlerRef* out = nullptr);
OSStatus InstallControlEventHandler(ControlRef control, EventHandlerProc handler,
                                    const std::vector<EventTypeSpec>& types, void* userData,
                                    EventHandlerRef* out = nullptr);
OSStatus RemoveEventHandler(EventHandlerRef handler);
// Sends an event now to a control (then its window) or, with no control,
// to a window: the handlers' answer, eventNotHandledErr when none took it.
OSStatus SendEventToEventTarget(EventRef event, WindowRef window, ControlRef control = nullptr);

// ---- nib and windows ----
// The folder holding the .ui files (the bundle's nib folder, or a test nib).
void SetNibFolder(const std::string& folder);
const std::string& NibFolder();

// Builds the window `name` from the nib; noErr and *out set, or an error
// code and *out null. The window starts hidden.
OSStatus CreateWindowFromNib(const std::string& name, WindowRef* out);
// Only the window's owner disposes of it (the close box never does).
void DisposeWindow(WindowRef window);
void ShowWindow(WindowRef window);
void HideWindow(WindowRef window);
bool IsWindowVisible(WindowRef window);
void SetWindowTitle(WindowRef window, const std::string& title);
std::string GetWindowTitle(WindowRef window);
// Resizable and zoomable; off by default for nib windows unless the .ui
// root carries the property "resizable".
void SetWindowResizable(WindowRef window, bool resizable);
bool IsWindowResizable(WindowRef window);
void SizeWindow(WindowRef window, int16_t width, int16_t height);
Rect GetWindowContentBounds(WindowRef window);  // (0, 0, height, width)
// The window's drawing port (window content coordinates).
draw::Port* GetWindowPort(WindowRef window);
// Redraws the custom views (draw events) and shows the port; done on the
// next pass of the event loop, never synchronously.
void DrawControls(WindowRef window);
// Asks for a draw-content event on the next pass of the event loop.
void InvalidateWindowContent(WindowRef window);
// The window's name in the nib.
std::string GetWindowName(WindowRef window);
// The top-level widget of a window, for a host that shows it itself; null
// for a null window.
QWidget* QtWidgetOf(WindowRef window);
// A window the program makes itself with Qt (a file dialog, a progress
// window) becomes the window manager's dialog of the window in front (the
// innermost modal one, or the palette above it used last), which it opens
// centred over; nothing when no window is shown. Call before it shows.
void TieToFrontWindow(QWidget* dialog);

// ---- application-modal loops ----
// Runs until QuitAppModalLoopForWindow(window). While it runs, windows
// running an outer modal loop take no input; windows that run no loop of
// their own (palettes) stay usable.
OSStatus RunAppModalLoopForWindow(WindowRef window);
OSStatus QuitAppModalLoopForWindow(WindowRef window);
int ModalDepth();

// ---- controls ----
struct ControlID {
  OSType signature;
  int32_t id;
};
// The control with that signature and index in the window, or
// errUnknownControl.
OSStatus GetControlByID(WindowRef window, const ControlID& id, ControlRef* out);
ControlRef FindControl(WindowRef window, OSType signature, int32_t id);
WindowRef GetControlOwner(ControlRef control);
ControlID GetControlID(ControlRef control);

int32_t GetControl32BitValue(ControlRef c);
void SetControl32BitValue(ControlRef c, int32_t value);  // kept within min..max
int32_t GetControl32BitMinimum(ControlRef c);
void SetControl32BitMinimum(ControlRef c, int32_t value);
int32_t GetControl32BitMaximum(ControlRef c);
void SetControl32BitMaximum(ControlRef c, int32_t value);
void ShowControl(ControlRef c);
void HideControl(ControlRef c);
void SetControlVisibility(ControlRef c, bool visible);
bool IsControlVisible(ControlRef c);
void EnableControl(ControlRef c);
void DisableControl(ControlRef c);
bool IsControlEnabled(ControlRef c);
// Bounds in window coordinates.
Rect GetControlBounds(ControlRef c);
void SetControlBounds(ControlRef c, const Rect& bounds);
uint32_t GetControlCommandID(ControlRef c);
void SetControlCommandID(ControlRef c, uint32_t command);
// An opaque value the code attaches (a pointer, often another control).
void SetControlReference(ControlRef c, void* reference);
void* GetControlReference(ControlRef c);
void SetControlNeedsDisplay(ControlRef c);

// Edit text and static text: text; other controls: their title.
void SetControlText(ControlRef c, const std::string& text);
std::string GetControlText(ControlRef c);
void SetControlTitle(ControlRef c, const std::string& title);
// True for an edit-text field.
bool IsEditText(ControlRef c);
// The selected characters of an edit-text field, start and end (equal when
// nothing is selected); 0, 0 for another control.
void GetEditTextSelection(ControlRef c, int32_t* start, int32_t* end);
void SetEditTextSelection(ControlRef c, int32_t start, int32_t end);

// Keyboard focus in the window (null clears it).
void SetKeyboardFocus(WindowRef window, ControlRef c);
ControlRef GetKeyboardFocus(WindowRef window);

// Live action of sliders, scroll bars and little arrows during tracking,
// with the part: arrows and page parts for clicks, the indicator part for
// thumb drags. The action decides the new value for arrow and page parts.
using ControlActionProc = std::function<void(ControlRef, int16_t part)>;
void SetControlAction(ControlRef c, ControlActionProc action);

// Key filter of an edit field: return false to block the key.
using KeyFilterProc = std::function<bool(ControlRef, int16_t* keyCode, int16_t* charCode, uint32_t* modifiers)>;
void SetKeyFilter(ControlRef c, KeyFilterProc filter);

// Menus built by plain code (platform/toolbox/api/plain_menus.h), shown as
// Qt menus: the QMenu kept in step with `menu` while the live services are
// installed; null for a null menu or one made without them.
QMenu* QtMenuOf(OpaqueMenuRef* menu);

// Popup menus.
void DeleteMenuItems(ControlRef popup);
void AppendMenuItemText(ControlRef popup, const std::string& text);
int32_t CountMenuItems(ControlRef popup);
std::string GetMenuItemText(ControlRef popup, int32_t item);  // 1-based

// Image views: RGBA premultiplied bytes (row 0 at the top), copied; scaled
// to fit the view keeping the aspect, or shown at its size from the view's
// top-left corner. `scale` is the image's pixels per view pixel: an image
// made at the window's backing scale shows one to one on a denser screen.
void SetImageViewImage(ControlRef c, const draw::ImageRef& image, float scale = 1.0f);
void SetImageViewScaleToFit(ControlRef c, bool fit);
// The backing scale of the control's window (device pixels per window
// pixel); 1 without a window.
int GetControlBackingScale(ControlRef c);

// ---- custom views ----
// The one handler that serves every view of a class: it receives 'hiob' 1
// construct, 2 initialize, 3 destruct and 'cntl' 3 hit test (set part),
// 51 track, 154 bounds changed, 4 draw.
OSStatus RegisterCustomViewClass(const std::string& classId, EventHandlerProc handler, void* userData);
void UnregisterCustomViewClass(const std::string& classId);
std::string GetCustomViewClass(ControlRef c);
// Per-view data slot (the construct event's instance).
void* GetCustomViewData(ControlRef c);
void SetCustomViewData(ControlRef c, void* data);

// ---- event-loop timers ----
using EventLoopTimerProc = std::function<void(EventLoopTimerRef, void* userData)>;
constexpr double kEventDurationForever = -1.0;
// First fire after `delay` seconds (-1: dormant); then every `interval`
// seconds after each firing (0: once).
OSStatus InstallEventLoopTimer(double delay, double interval, EventLoopTimerProc proc, void* userData,
                               EventLoopTimerRef* out);
// 0: as soon as possible; -1: dormant; t > 0: in t seconds. Replaces what
// was pending.
OSStatus SetEventLoopTimerNextFireTime(EventLoopTimerRef timer, double delay);
OSStatus RemoveEventLoopTimer(EventLoopTimerRef timer);
// True while the test driver's virtual clock runs the timers: work that
// would otherwise run beside the event loop runs in line, so that a test
// sees the same sequence every time.
bool RunsOnVirtualClock();
// Calls `call` on the event loop's thread at one of its next passes (inside
// a modal loop too); safe from any thread. Nothing happens without a Qt
// application.
void PostToEventLoop(std::function<void()> call);

// ---- application object ----
// Installs the live user-interface services (mouse tracking, cursors,
// pickers, alerts) for the running QApplication.
void InstallLiveServices();
// For programs without a Qt main of their own (the benchmarks): makes the
// application once, on the offscreen platform unless another is asked for,
// with the live services.
void StartOffscreenApplication();

}  // namespace plat::tb
