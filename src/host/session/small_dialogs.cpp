#include "host/session/small_dialogs.h"

#include "platform/toolbox/api/ui_services.h"

namespace tb = plat::tb;

VMKlibr* gVMKlibr = nullptr;

namespace {

OSStatus AlertHandler(tb::EventHandlerCallRef, tb::EventRef event, void* data) {
  return gVMKlibr != nullptr ? gVMKlibr->AlertEventHandler(event, static_cast<tb::WindowRef>(data))
                             : tb::eventNotHandledErr;
}

}  // namespace

VMKlibr::VMKlibr() { gVMKlibr = this; }

VMKlibr::~VMKlibr() {
  if (gVMKlibr == this) gVMKlibr = nullptr;
}

OSStatus VMKlibr::AlertEventHandler(tb::EventRef event, tb::WindowRef window) {
  if (event->eventClass == tb::kEventClassMouse) {
    plat::ui::SetThemeCursor(plat::ui::kArrowCursor);
  } else if (event->eventClass == tb::kEventClassCommand) {
    if (event->command == FourCC("ok  ")) {
      alertAnswer = 1;
    } else if (event->command == FourCC("Val2")) {
      alertAnswer = 2;
    } else if (event->command == FourCC("canc")) {
      alertAnswer = 0;
    } else {
      return tb::eventNotHandledErr;
    }
    tb::QuitAppModalLoopForWindow(window);
  }
  return tb::eventNotHandledErr;
}

int16_t VMKlibr::Do_AlertDlg(int16_t which) {
  const char* name = which == 1 ? "SaveAlert" : which == 2 ? "SeleAlert" : nullptr;
  tb::WindowRef w = nullptr;
  alertAnswer = 0;
  if (name == nullptr || tb::CreateWindowFromNib(name, &w) != 0) return 0;
  tb::InstallWindowEventHandler(w, AlertHandler, {{tb::kEventClassCommand, 1}, {tb::kEventClassMouse, 5}},
                                w);
  tb::ShowWindow(w);
  tb::RunAppModalLoopForWindow(w);
  tb::HideWindow(w);
  tb::DisposeWindow(w);
  return alertAnswer;
}
