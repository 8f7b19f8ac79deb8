#include "app/ui/event_senders.h"

namespace tb = plat::tb;

OSStatus SendWindowCommandEvent(tb::WindowRef window, const HICommand* command) {
  if (window == nullptr || command == nullptr) return tb::paramErr;
  tb::Event e;
  e.eventClass = tb::kEventClassCommand;
  e.kind = tb::kEventCommandProcess;
  e.command = command->commandID;
  e.menuItem = command->menuItemIndex;
  return tb::SendEventToEventTarget(&e, window);
}

OSStatus SendWindowCloseEvent(tb::WindowRef window) {
  if (window == nullptr) return tb::paramErr;
  tb::Event e;
  e.eventClass = tb::kEventClassWindow;
  e.kind = tb::kEventWindowClose;
  return tb::SendEventToEventTarget(&e, window);
}

OSStatus SendControlEventHit(tb::ControlRef control) {
  if (control == nullptr) return tb::paramErr;
  tb::Event e;
  e.eventClass = tb::kEventClassControl;
  e.kind = tb::kEventControlHit;
  e.control = control;
  return tb::SendEventToEventTarget(&e, nullptr, control);
}
