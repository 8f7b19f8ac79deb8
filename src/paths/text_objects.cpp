#include "paths/text_objects.h"

#include <cstring>

#include "paths/path_list.h"
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

CTxtPath::~CTxtPath() {
  for (CPathList*& l : letters) {
    delete l;
    l = nullptr;
  }
}

void CTxtPath::TransfoToOutline(int16_t, CPathList*) {
  const int n = settings.text[0];
  std::memcpy(plainText, settings.text + 1, static_cast<size_t>(n));
  plainText[n] = '\0';
  letterCount = static_cast<int16_t>(n);
}
