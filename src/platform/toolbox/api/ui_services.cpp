// Dispatch of the user-interface services to the installed implementation,
// and the headless default used when nothing is installed.
#include "platform/toolbox/api/ui_services.h"

#include <chrono>
#include <thread>

#include "platform/draw/port.h"

namespace plat::ui {
namespace {

// Answers without a display: nothing is pressed, every question is
// cancelled. A mouse loop run here ends at its first step.
class Headless final : public Services {
 public:
  double Now() override {
    using namespace std::chrono;
    return duration<double>(steady_clock::now() - start_).count();
  }
  int16_t NextMouse(void*, Point* where) override {
    if (where != nullptr) *where = Point{};
    return kTrackMouseUp;
  }
  bool StillDown() override { return false; }
  bool Button() override { return false; }
  Point MouseLocation(void*) override { return Point{}; }
  uint32_t Modifiers() override { return 0; }
  void ShowCursor(const CursorChoice&) override {}
  bool ChooseColor(const std::string&, RGBColor*) override { return false; }
  bool ChooseOpenFile(const OpenRequest&, std::string*) override { return false; }
  bool ChooseSaveFile(const SaveRequest&, std::string*, bool*) override { return false; }
  bool ChooseFolder(const std::string&, std::string*) override { return false; }
  int16_t ShowAlert(const AlertRequest&) override { return 1; }
  void Beep() override {}

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

Headless& TheHeadless() {
  static Headless h;
  return h;
}

Services* gInstalled = nullptr;
CursorChoice gLastCursor;

void* OwnerOf(draw::Port* port) { return port != nullptr ? port->owner : nullptr; }

Point ToPort(draw::Port* port, Point p) {
  if (port != nullptr) {
    p.h = static_cast<int16_t>(p.h - port->originInWindow.h);
    p.v = static_cast<int16_t>(p.v - port->originInWindow.v);
  }
  return p;
}

void SetCursorChoice(const CursorChoice& c) {
  gLastCursor = c;
  CurrentServices().ShowCursor(c);
}

}  // namespace

uint32_t Services::Ticks() {
  double t = Now();
  return t <= 0.0 ? 0u : static_cast<uint32_t>(static_cast<uint64_t>(t * 60.0));
}

bool Services::KeyDown(uint16_t virtualKey) {
  uint32_t m = Modifiers();
  switch (virtualKey) {
    case kVKCommand: return (m & cmdKey) != 0;
    case kVKShift: return (m & shiftKey) != 0;
    case kVKCapsLock: return (m & alphaLock) != 0;
    case kVKOption: return (m & optionKey) != 0;
    case kVKControl: return (m & controlKey) != 0;
    default: return false;
  }
}

void Services::Delay(uint32_t ticks) {
  std::this_thread::sleep_for(std::chrono::microseconds(static_cast<int64_t>(ticks) * 1000000 / 60));
}

bool Services::MenuMade(OpaqueMenuRef*) { return true; }
void Services::MenuChanged(OpaqueMenuRef*) {}
void Services::MenuDisposed(OpaqueMenuRef*) {}

Services* InstallServices(Services* services) {
  Services* previous = gInstalled;
  gInstalled = services;
  return previous;
}

Services& CurrentServices() { return gInstalled != nullptr ? *gInstalled : TheHeadless(); }

double Now() { return CurrentServices().Now(); }
uint32_t TickCount() { return CurrentServices().Ticks(); }
void Delay(uint32_t ticks) { CurrentServices().Delay(ticks); }

void TrackMouseLocation(draw::Port* port, Point* where, int16_t* result) {
  if (port == nullptr) port = draw::GetPort();
  Point p;
  int16_t r = CurrentServices().NextMouse(OwnerOf(port), &p);
  if (where != nullptr) *where = ToPort(port, p);
  if (result != nullptr) *result = r;
}

bool StillDown() { return CurrentServices().StillDown(); }
bool Button() { return CurrentServices().Button(); }

void GetMouse(Point* where) {
  draw::Port* port = draw::GetPort();
  Point p = CurrentServices().MouseLocation(OwnerOf(port));
  if (where != nullptr) *where = ToPort(port, p);
}

uint32_t GetCurrentKeyModifiers() { return CurrentServices().Modifiers(); }
bool KeyIsDown(uint16_t virtualKey) { return CurrentServices().KeyDown(virtualKey); }

void SetThemeCursor(int32_t themeCursor) { SetCursorChoice(CursorChoice{CursorChoice::Theme, themeCursor, 0}); }
void SetAnimatedThemeCursor(int32_t themeCursor, int32_t step) {
  SetCursorChoice(CursorChoice{CursorChoice::Theme, themeCursor, step});
}
void SetResourceCursor(int16_t cursorId) { SetCursorChoice(CursorChoice{CursorChoice::Resource, cursorId, 0}); }
CursorChoice LastCursor() { return gLastCursor; }

bool AskColor(const std::string& prompt, RGBColor* colour) {
  if (colour == nullptr) return false;
  RGBColor c = *colour;
  if (!CurrentServices().ChooseColor(prompt, &c)) return false;
  *colour = c;
  return true;
}

bool AskOpenFile(const std::string& prompt, const std::vector<OSType>& types, std::string* path,
                 const std::string& folder) {
  std::string chosen;
  if (!CurrentServices().ChooseOpenFile(OpenRequest{prompt, types, folder}, &chosen) || chosen.empty()) return false;
  if (path != nullptr) *path = chosen;
  return true;
}

bool AskSaveFile(const std::string& prompt, const std::string& defaultName, OSType type, OSType creator,
                 std::string* path, bool* replacing, const std::string& folder) {
  std::string chosen;
  bool replace = false;
  if (!CurrentServices().ChooseSaveFile(SaveRequest{prompt, defaultName, type, creator, folder}, &chosen,
                                        &replace) ||
      chosen.empty()) {
    return false;
  }
  if (path != nullptr) *path = chosen;
  if (replacing != nullptr) *replacing = replace;
  return true;
}

bool AskFolder(const std::string& prompt, std::string* path) {
  std::string chosen;
  if (!CurrentServices().ChooseFolder(prompt, &chosen) || chosen.empty()) return false;
  if (path != nullptr) *path = chosen;
  return true;
}

int16_t Alert(const AlertRequest& request) { return CurrentServices().ShowAlert(request); }
void SysBeep(int16_t) { CurrentServices().Beep(); }

}  // namespace plat::ui
