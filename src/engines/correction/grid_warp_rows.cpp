#include "engines/correction/grid_warp_rows.h"

#include "engines/correction/grid_warp.h"
#include "script/engine_rows.h"

namespace {

// The row hands a copy of plane 6 as the selection plane and no mask; the whole plane is
// the image and the view.
int32_t RunGridWarp(const EngineRowCall& c) {
  return RunEngineOnce<MiscGrid>(
      [&](MiscGrid& e) { e.SetGridPar(&c.Record<GridPar>()); },
      [&](MiscGrid& e) {
        return e.FillBuf(c.n, c.mode, c.opacity, 0, 1, 1, c.w, c.h, 0, 0, c.aw, c.ah, c.w, c.h, 0, 0,
                         c.w, c.h, 1.0f, 1.0f, c.planes[0], c.planes[1], c.planes[2], c.mask, nullptr);
      });
}

}  // namespace

void RegisterGridWarpEngineRows() { RegisterEngineRow(102, RunGridWarp); }
