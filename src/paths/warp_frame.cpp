#include "paths/warp_frame.h"

CWarpPath::CWarpPath() {
  Init_DrawPar(&drawPar);
}

CWarpPath::~CWarpPath() = default;
