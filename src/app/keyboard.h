// The keyboard state as the effects read it: exact modifier masks, single
// keys and the command-period stop. Kept out of app/core because it asks the
// user-interface services, which plain code below the shell must not link.
#pragma once

#include <cstdint>

// 1 when the current modifier state equals the mask exactly (a second held
// key, caps lock included, makes it 0).
int16_t TestKeyModif(uint32_t mask);
// 1 while the key with this virtual key code (0..127) is held.
int16_t KeyIsDown(int16_t keyCode);
// 1 while command and period are both held.
int16_t TestStop();
