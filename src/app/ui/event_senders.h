// Sending toolbox events from code: a command to a window, a close request
// to a window, a hit to a control. Each is handled at once by the handlers
// installed on the target, as if the user had done it.
#pragma once

#include <cstdint>

#include "platform/toolbox/toolbox.h"

// The 14-byte command record of a command event.
struct HICommand {
  uint32_t attributes = 0;
  uint32_t commandID = 0;
  void* menuRef = nullptr;
  uint16_t menuItemIndex = 0;
};

// 'cmds' 1 with the record's command.
OSStatus SendWindowCommandEvent(plat::tb::WindowRef window, const HICommand* command);
// 'wind' 72.
OSStatus SendWindowCloseEvent(plat::tb::WindowRef window);
// 'cntl' 1 to the control, then its window.
OSStatus SendControlEventHit(plat::tb::ControlRef control);
