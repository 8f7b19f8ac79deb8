#include "app/keyboard.h"

#include "platform/toolbox/api/ui_services.h"

int16_t TestKeyModif(uint32_t mask) {
  return plat::ui::GetCurrentKeyModifiers() == mask ? 1 : 0;
}

int16_t KeyIsDown(int16_t keyCode) {
  if (keyCode < 0 || keyCode > 127) return 0;
  return plat::ui::KeyIsDown(static_cast<uint16_t>(keyCode)) ? 1 : 0;
}

int16_t TestStop() { return KeyIsDown(55) != 0 && KeyIsDown(47) != 0 ? 1 : 0; }
