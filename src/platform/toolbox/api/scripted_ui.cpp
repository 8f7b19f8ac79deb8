#include "platform/toolbox/api/scripted_ui.h"

#include <algorithm>

#include "platform/toolbox/api/plain_menus.h"

namespace plat::ui {

void ScriptedUi::Press(int16_t h, int16_t v, uint32_t modifiers) {
  samples_.push_back(Sample{Point{v, h}, modifiers, false, true});
}
void ScriptedUi::DragTo(int16_t h, int16_t v, uint32_t modifiers) {
  samples_.push_back(Sample{Point{v, h}, modifiers, false, false});
}
void ScriptedUi::Release(int16_t h, int16_t v, uint32_t modifiers) {
  samples_.push_back(Sample{Point{v, h}, modifiers, true, false});
}

void ScriptedUi::SetKeyDown(uint16_t virtualKey, bool down) {
  auto it = std::find(keysDown_.begin(), keysDown_.end(), virtualKey);
  if (down && it == keysDown_.end()) keysDown_.push_back(virtualKey);
  if (!down && it != keysDown_.end()) keysDown_.erase(it);
}

bool ScriptedUi::KeyDown(uint16_t virtualKey) {
  return std::find(keysDown_.begin(), keysDown_.end(), virtualKey) != keysDown_.end() ||
         Services::KeyDown(virtualKey);
}

void ScriptedUi::AnswerSaveFile(std::optional<std::string> path, bool replacing) {
  saves_.emplace_back(std::move(path), replacing);
}

void ScriptedUi::Consume() {
  const Sample& s = samples_.front();
  location_ = s.where;
  if (s.modifiers != kKeepModifiers) modifiers_ = s.modifiers;
  samples_.pop_front();
  armed_ = false;
}

uint32_t ScriptedUi::Ticks() {
  if (tickQueriesAdvance_) now_ += 1.0 / 60.0;
  return Services::Ticks();
}

int16_t ScriptedUi::NextMouse(void*, Point* where) {
  int16_t result = kTrackMouseUp;
  if (!samples_.empty()) {
    result = samples_.front().up ? kTrackMouseUp : kTrackMouseDragged;
    Consume();
  }
  if (where != nullptr) *where = location_;
  return result;
}

bool ScriptedUi::StillDown() {
  if (samples_.empty()) return false;
  if (samples_.front().up) {
    Consume();
    return false;
  }
  armed_ = true;
  return true;
}

bool ScriptedUi::Button() { return !samples_.empty() && !samples_.front().up; }

Point ScriptedUi::MouseLocation(void*) {
  if (!samples_.empty() && !samples_.front().up && (samples_.front().press || armed_)) Consume();
  return location_;
}

bool ScriptedUi::ChooseColor(const std::string& prompt, RGBColor* colour) {
  colorPrompts.push_back(prompt);
  if (colours_.empty()) return false;
  std::optional<RGBColor> a = colours_.front();
  colours_.pop_front();
  if (!a) return false;
  *colour = *a;
  return true;
}

bool ScriptedUi::ChooseOpenFile(const OpenRequest& request, std::string* path) {
  openRequests.push_back(request);
  if (opens_.empty()) return false;
  std::optional<std::string> a = opens_.front();
  opens_.pop_front();
  if (!a) return false;
  *path = *a;
  return true;
}

bool ScriptedUi::ChooseSaveFile(const SaveRequest& request, std::string* path, bool* replacing) {
  saveRequests.push_back(request);
  if (saves_.empty()) return false;
  auto a = saves_.front();
  saves_.pop_front();
  if (!a.first) return false;
  *path = *a.first;
  *replacing = a.second;
  return true;
}

bool ScriptedUi::ChooseFolder(const std::string& prompt, std::string* path) {
  folderPrompts.push_back(prompt);
  if (folders_.empty()) return false;
  std::optional<std::string> a = folders_.front();
  folders_.pop_front();
  if (!a) return false;
  *path = *a;
  return true;
}

int16_t ScriptedUi::ShowAlert(const AlertRequest& request) {
  alertRequests.push_back(request);
  if (alerts_.empty()) return 1;
  int16_t b = alerts_.front();
  alerts_.pop_front();
  return b;
}

bool ScriptedUi::MenuMade(OpaqueMenuRef* menu) {
  if (menuBudget_ == 0) return false;
  if (menuBudget_ > 0) --menuBudget_;
  menuIds.push_back(menu->id);
  ++menusAlive;
  return true;
}

}  // namespace plat::ui
