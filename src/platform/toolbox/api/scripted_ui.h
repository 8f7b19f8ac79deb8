// A scripted stand-in for the user, for tests (no Qt).
//
// Install it (plat::ui::ScopedServices guard(&ui)) and script what the
// user does:
//   ui.Press(40, 30); ui.DragTo(60, 30, shiftKey); ui.Release(60, 31);
// Each scripted point is one mouse event, taken in order:
//   - TrackMouseLocation takes the next one (the press point comes first,
//     then each drag as one movement, then the release as the mouse-up);
//   - StillDown() answers true while the next one is not the release, and
//     takes the release when it is next;
//   - GetMouse() reads the location where the mouse is; it takes the press
//     point when that is still pending, and takes the next point when
//     StillDown() was asked since the last point was taken, so a polling
//     loop "while (StillDown()) GetMouse(...)" walks the script, while two
//     GetMouse calls in a row see the same place.
// A sample's modifiers become the live modifier state when the sample is
// taken (kKeepModifiers leaves the state as it is). Once the script is used
// up the button is up and every further tracking call returns the release.
//
// Menus made through plain_menus.h are recorded (their numbers, and how
// many are alive); AcceptMenus(n) lets n more be made and refuses the rest.
//
// Picker and alert answers are queued the same way and consumed in order;
// an unanswered picker is cancelled and an unanswered alert answers 1.
// Every question is logged so tests can check prompts and file types.
//
// The clock is virtual: Now() moves only by Advance(), by Delay() (which
// records each pause it was asked for) and, so that a busy wait on
// TickCount() ends, by one tick per TickCount() query (switch that off with
// TickQueriesAdvance(false)).
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/toolbox/api/ui_services.h"

namespace plat::ui {

class ScriptedUi : public Services {
 public:
  static constexpr uint32_t kKeepModifiers = 0xFFFFFFFFu;

  // ---- mouse and keys ----
  void Press(int16_t h, int16_t v, uint32_t modifiers = kKeepModifiers);
  void DragTo(int16_t h, int16_t v, uint32_t modifiers = kKeepModifiers);
  void Release(int16_t h, int16_t v, uint32_t modifiers = kKeepModifiers);
  void SetModifiers(uint32_t modifiers) { modifiers_ = modifiers; }
  // Holds (or lets go of) a key by virtual key code, for KeyIsDown.
  void SetKeyDown(uint16_t virtualKey, bool down);
  void ClearMouseScript() { samples_.clear(); }
  size_t PendingMouseSamples() const { return samples_.size(); }
  Point Location() const { return location_; }

  // ---- clock ----
  void Advance(double seconds) { now_ += seconds; }
  void SetNow(double seconds) { now_ = seconds; }
  void TickQueriesAdvance(bool on) { tickQueriesAdvance_ = on; }

  // ---- answers ----
  void AnswerColor(std::optional<RGBColor> colour) { colours_.push_back(colour); }
  void AnswerOpenFile(std::optional<std::string> path) { opens_.push_back(std::move(path)); }
  void AnswerSaveFile(std::optional<std::string> path, bool replacing = false);
  void AnswerFolder(std::optional<std::string> path) { folders_.push_back(std::move(path)); }
  void AnswerAlert(int16_t button) { alerts_.push_back(button); }

  // ---- menus ----
  // The next n menus are made, later ones refused; -1 accepts every menu.
  void AcceptMenus(int n) { menuBudget_ = n; }

  // ---- what was asked and set ----
  std::vector<int16_t> menuIds;  // every menu made, in order
  int menusAlive = 0;
  std::vector<std::string> colorPrompts;
  std::vector<OpenRequest> openRequests;
  std::vector<SaveRequest> saveRequests;
  std::vector<std::string> folderPrompts;
  std::vector<AlertRequest> alertRequests;
  std::vector<CursorChoice> cursors;
  int beeps = 0;
  std::vector<uint32_t> delays;  // every Delay(ticks), in order

  // ---- Services ----
  double Now() override { return now_; }
  uint32_t Ticks() override;
  void Delay(uint32_t ticks) override {
    delays.push_back(ticks);
    now_ += static_cast<double>(ticks) / 60.0;
  }
  int16_t NextMouse(void* window, Point* where) override;
  bool StillDown() override;
  bool Button() override;
  Point MouseLocation(void* window) override;
  uint32_t Modifiers() override { return modifiers_; }
  bool KeyDown(uint16_t virtualKey) override;
  void ShowCursor(const CursorChoice& cursor) override { cursors.push_back(cursor); }
  bool ChooseColor(const std::string& prompt, RGBColor* colour) override;
  bool ChooseOpenFile(const OpenRequest& request, std::string* path) override;
  bool ChooseSaveFile(const SaveRequest& request, std::string* path, bool* replacing) override;
  bool ChooseFolder(const std::string& prompt, std::string* path) override;
  int16_t ShowAlert(const AlertRequest& request) override;
  void Beep() override { ++beeps; }
  bool MenuMade(OpaqueMenuRef* menu) override;
  void MenuDisposed(OpaqueMenuRef*) override { --menusAlive; }

 private:
  struct Sample {
    Point where;
    uint32_t modifiers;
    bool up;
    bool press;
  };
  void Consume();

  std::deque<Sample> samples_;
  Point location_;
  bool armed_ = false;
  std::vector<uint16_t> keysDown_;  // StillDown() was asked: GetMouse moves on
  uint32_t modifiers_ = 0;
  double now_ = 0.0;
  bool tickQueriesAdvance_ = true;
  std::deque<std::optional<RGBColor>> colours_;
  std::deque<std::optional<std::string>> opens_;
  std::deque<std::pair<std::optional<std::string>, bool>> saves_;
  std::deque<std::optional<std::string>> folders_;
  std::deque<int16_t> alerts_;
  int menuBudget_ = -1;
};

}  // namespace plat::ui
