#include "engines/patterns/texture_weave_rows.h"

#include "engines/patterns/texture_engine.h"
#include "script/engine_rows.h"

namespace {

void RunTextu(const EngineRowCall& c) {
  RunEngineOnce<MiscTextu>([&](MiscTextu& e) { e.SetTextuPar(&c.Record<TextuPar>()); },
                           [&](MiscTextu& e) {
                             e.FillBuf(c.n, c.mode, c.opacity, 0, c.scaleX, c.scaleY, c.w, c.h,
                                       c.planes[0], c.planes[1], c.planes[2], c.mask);
                           });
}

}  // namespace

void RegisterTextureWeaveRows() { RegisterEngineRow(77, RunTextu); }
