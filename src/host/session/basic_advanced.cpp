// The Basic/Advanced choice before an effect that has both a plain dialog and
// the layered editor.
#include "host/session/app_object.h"
#include "platform/toolbox/api/ui_services.h"

namespace {

const char* BasAdvWindowName(int16_t effect) {
  switch (effect) {
    case 41: return "BasAdvCRep";
    case 42: return "BasAdvTWeav";
    case 58: return "BasAdvQTess";
    case 92: return "BasAdvWFram";
    case 100: return "BasAdvOFract";
    case 106: return "BasAdvMBord";
    case 114: return "BasAdvHFram";
    case 116: return "BasAdvBSurf";
    default: return nullptr;
  }
}

OSStatus BasAdvCommandHandler(plat::tb::EventHandlerCallRef, plat::tb::EventRef event, void* data) {
  auto window = static_cast<plat::tb::WindowRef>(data);
  if (gVMKapp != nullptr && event->command == FourCC("bas ")) {
    gVMKapp->basAdvAnswer = 1;
    plat::tb::QuitAppModalLoopForWindow(window);
  } else if (gVMKapp != nullptr && event->command == FourCC("adv ")) {
    gVMKapp->basAdvAnswer = 2;
    plat::tb::QuitAppModalLoopForWindow(window);
  }
  // Reported as not handled so that the platform's own handling runs too.
  return plat::tb::eventNotHandledErr;
}

}  // namespace

int16_t VMKapp::Do_BasAdvDlog(int16_t effect) {
  plat::ui::SetThemeCursor(plat::ui::kArrowCursor);
  const char* name = BasAdvWindowName(effect);
  plat::tb::WindowRef window = nullptr;
  if (name == nullptr || plat::tb::CreateWindowFromNib(name, &window) != 0) return 0;
  static const plat::tb::EventHandlerProc handler = BasAdvCommandHandler;
  plat::tb::InstallWindowEventHandler(window, handler, {{plat::tb::kEventClassCommand, 1}}, window);
  plat::tb::ShowWindow(window);
  plat::tb::RunAppModalLoopForWindow(window);
  plat::tb::HideWindow(window);
  plat::tb::DisposeWindow(window);
  return basAdvAnswer;
}
