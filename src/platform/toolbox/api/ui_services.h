// The user-interface services that plain code may call without Qt.
//
// What it is for
//   The raster, path and application code runs its own mouse loops (drag a
//   knot, a quad, a rubber band), sets cursors, asks for a colour or a file
//   and shows alerts, yet must not link Qt. It calls the free functions
//   below; they forward to one installed `plat::ui::Services` object:
//     - the Qt toolbox installs the live one when the application starts;
//     - tests install a `plat::ui::ScriptedUi` (scripted_ui.h, Qt-free)
//       that plays a scripted mouse sequence and scripted picker answers and
//       records what was asked;
//     - with nothing installed a headless default answers: the button is up,
//       no modifier is down, every picker is cancelled, alerts answer 1.
//
// Clock
//   Now() is the one clock of the layer, in seconds (real time live, a
//   virtual clock that tests advance under ScriptedUi); TickCount() is the
//   same in 1/60 s. Event-loop timers of the toolbox run on it.
//
// Mouse tracking
//   TrackMouseLocation(port, &pt, &result) blocks until the mouse moves or
//   the button is released and gives the location in the port's coordinates
//   (window content coordinates for a window's port); result is
//   kTrackMouseUp (2) on the release, kTrackMouseDragged otherwise. When the
//   button is already up it returns the release at once, so a loop "until
//   result == kTrackMouseUp" always ends. StillDown() answers whether the
//   button is still down; GetMouse(&pt) reads the location in the current
//   port (under a script, a "while (StillDown()) GetMouse(...)" polling loop
//   walks the scripted points; see scripted_ui.h).
//
// Modifiers
//   GetCurrentKeyModifiers() gives the whole modifier state with the bits of
//   platform/types/mac_types.h (cmdKey 0x0100, shiftKey 0x0200, alphaLock
//   0x0400, optionKey 0x0800, controlKey 0x1000); compare whole masks.
//   Live: Command = Ctrl, Option = Alt, Control = Meta. KeyIsDown(code)
//   answers for the virtual key codes of the modifiers (kVKCommand 0x37,
//   kVKShift 0x38, kVKCapsLock 0x39, kVKOption 0x3A, kVKControl 0x3B).
//
// Cursors
//   SetThemeCursor(kArrowCursor / kCrossCursor / ...), SetAnimatedThemeCursor
//   (kSpinningCursor, step), SetResourceCursor(id) for the resource file's
//   cursors; LastCursor() is what was set last (tests read it).
//
// Pickers and alerts
//   AskColor(prompt, &rgb): true when confirmed; rgb is in and out, 16-bit.
//   AskOpenFile(prompt, types, &path[, folder]): POSIX path of the chosen
//     file; the types are four-character file types that the dialog filters
//     on through the file-type table (an empty list shows every file); the
//     dialog opens in `folder` when one is given.
//   AskSaveFile(prompt, defaultName, type, &path, &replacing[, folder]): the
//     dialog opens in `folder` when one is given.
//   AskFolder(prompt, &path).
//   Alert(request): the 1-based number of the button pressed.
//   SysBeep(duration).
//   Conversion of paths to file records is the callers' business.
//
// Menus
//   Plain code builds menus with plain_menus.h; the installed services are
//   told of each menu made (MenuMade may refuse it), changed and disposed
//   of. By default every menu is accepted and nothing is shown.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/types/mac_types.h"

namespace plat::draw {
class Port;
}
struct OpaqueMenuRef;

namespace plat::ui {

// Tracking results.
enum : int16_t {
  kTrackMouseDown = 1,
  kTrackMouseUp = 2,
  kTrackMouseDragged = 5,
};

// Theme cursors in use.
enum : int32_t {
  kArrowCursor = 0,
  kIBeamCursor = 4,
  kCrossCursor = 5,
  kWatchCursor = 7,
  kSpinningCursor = 14,
};

// Virtual key codes of the modifier keys.
enum : uint16_t {
  kVKCommand = 0x37,
  kVKShift = 0x38,
  kVKCapsLock = 0x39,
  kVKOption = 0x3A,
  kVKControl = 0x3B,
};

struct CursorChoice {
  enum Kind : int16_t { Theme, Resource };
  Kind kind = Theme;
  int32_t id = kArrowCursor;
  int32_t step = 0;  // animation step of an animated theme cursor
  bool operator==(const CursorChoice&) const = default;
};

struct OpenRequest {
  std::string prompt;
  std::vector<OSType> types;  // empty: every file
  std::string folder;         // where the dialog opens; empty: where it likes
};

struct SaveRequest {
  std::string prompt;
  std::string defaultName;
  OSType type = 0;
  OSType creator = 0;
  std::string folder;  // where the dialog opens; empty: where it likes
};

struct AlertRequest {
  int16_t alertId = 0;              // resource alert number, or 0
  std::string windowName;           // nib window of the alert, or ""
  std::vector<std::string> params;  // texts put in for ^0 .. ^3
};

// What an installed implementation provides. Locations are in the content
// coordinates of `window` (a port's owner; null means "the window under
// the mouse" or, for scripts, the scripted coordinates as they stand).
class Services {
 public:
  virtual ~Services() = default;

  virtual double Now() = 0;
  // 1/60 s since an arbitrary start; by default Now() in ticks.
  virtual uint32_t Ticks();

  // Waits `ticks` (1/60 s) while the window's loop goes on: its timers
  // fire and it paints, and the user's input is taken after the wait. By
  // default the thread sleeps.
  virtual void Delay(uint32_t ticks);

  virtual int16_t NextMouse(void* window, Point* where) = 0;
  virtual bool StillDown() = 0;
  virtual bool Button() = 0;
  virtual Point MouseLocation(void* window) = 0;
  virtual uint32_t Modifiers() = 0;
  // By default the modifier keys from Modifiers().
  virtual bool KeyDown(uint16_t virtualKey);

  virtual void ShowCursor(const CursorChoice& cursor) = 0;

  virtual bool ChooseColor(const std::string& prompt, RGBColor* colour) = 0;
  virtual bool ChooseOpenFile(const OpenRequest& request, std::string* path) = 0;
  virtual bool ChooseSaveFile(const SaveRequest& request, std::string* path, bool* replacing) = 0;
  virtual bool ChooseFolder(const std::string& prompt, std::string* path) = 0;
  virtual int16_t ShowAlert(const AlertRequest& request) = 0;
  virtual void Beep() = 0;

  // A menu was made (false refuses it), had items added, or is about to go.
  virtual bool MenuMade(OpaqueMenuRef* menu);
  virtual void MenuChanged(OpaqueMenuRef* menu);
  virtual void MenuDisposed(OpaqueMenuRef* menu);
};

// Installs `services` (null: the headless default) and returns the one it
// replaces. The caller keeps ownership.
Services* InstallServices(Services* services);
Services& CurrentServices();

// Installs for the lifetime of the guard, then puts back the previous one.
class ScopedServices {
 public:
  explicit ScopedServices(Services* services) : previous_(InstallServices(services)) {}
  ~ScopedServices() { InstallServices(previous_); }
  ScopedServices(const ScopedServices&) = delete;
  ScopedServices& operator=(const ScopedServices&) = delete;

 private:
  Services* previous_;
};

// ---- what plain code calls ----
double Now();
uint32_t TickCount();
// A pause in a mouse press (a click told from a drag by the button's state
// after it) that never holds the event loop: see Services::Delay.
void Delay(uint32_t ticks);

// Port null: the current drawing port.
void TrackMouseLocation(draw::Port* port, Point* where, int16_t* result);
bool StillDown();
bool Button();
void GetMouse(Point* where);
uint32_t GetCurrentKeyModifiers();
bool KeyIsDown(uint16_t virtualKey);

void SetThemeCursor(int32_t themeCursor);
void SetAnimatedThemeCursor(int32_t themeCursor, int32_t step);
void SetResourceCursor(int16_t cursorId);
CursorChoice LastCursor();

bool AskColor(const std::string& prompt, RGBColor* colour);
bool AskOpenFile(const std::string& prompt, const std::vector<OSType>& types, std::string* path,
                 const std::string& folder = {});
bool AskSaveFile(const std::string& prompt, const std::string& defaultName, OSType type, OSType creator,
                 std::string* path, bool* replacing, const std::string& folder = {});
bool AskFolder(const std::string& prompt, std::string* path);
int16_t Alert(const AlertRequest& request);
void SysBeep(int16_t duration);

}  // namespace plat::ui
