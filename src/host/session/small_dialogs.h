// The small modal dialogs that several editors share: names, library
// updates, grid steps, layer moves, clear, mask, colour and percentage
// options, two alerts, the five shape tools' parameters and the selection
// options. Create a VMKlibr, call one Do_<X>Dlg, read the answer, delete it.
#pragma once

#include <cstdint>

#include "platform/toolbox/toolbox.h"

class VMKlibr {
 public:
  VMKlibr();
  ~VMKlibr();
  VMKlibr(const VMKlibr&) = delete;
  VMKlibr& operator=(const VMKlibr&) = delete;

  // "SaveAlert" (1) or "SeleAlert" (2): 1 for OK, 2 for the second choice,
  // 0 for cancel, another `which` or no window.
  int16_t Do_AlertDlg(int16_t which);

  OSStatus AlertEventHandler(plat::tb::EventRef event, plat::tb::WindowRef window);

  int16_t alertAnswer = 0;
};

extern VMKlibr* gVMKlibr;
