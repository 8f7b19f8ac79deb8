#include "paths/text_objects.h"

#include "paths/warp_frame.h"

CTxtObj::CTxtObj() : frame(new CWarpPath) {
  frame->kind = 20;
  Init_DrawPar(&drawPar);
}

CTxtObj::~CTxtObj() { delete frame; }

CTxtPath::CTxtPath() {
  settings.settingB = 1;
  Init_DrawPar(&drawPar);
}

CTxtPath::~CTxtPath() = default;
