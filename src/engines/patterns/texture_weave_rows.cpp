#include "engines/patterns/texture_weave_rows.h"

#include "engines/patterns/backdrop_compo_engines.h"
#include "engines/patterns/lens_flare_gradient_engines.h"
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

void RunBackDrop(const EngineRowCall& c) {
  RunEngineOnce<MiscBackDrop>([&](MiscBackDrop& e) { e.SetBDropPar(&c.Record<BDropPar>()); },
                              [&](MiscBackDrop& e) {
                                return e.FillBuf(c.n, c.mode, c.opacity, 0, c.w, c.h, 0, 0,
                                                 c.aw, c.ah, c.planes[0], c.planes[1],
                                                 c.planes[2], c.mask);
                              });
}

void RunCompo(const EngineRowCall& c) {
  RunEngineOnce<MiscCompo>([&](MiscCompo& e) { e.SetCompoPar(&c.Record<CompoPar>()); },
                           [&](MiscCompo& e) {
                             return e.FillBuf(c.n, c.mode, c.opacity, 0, 1, 0, 0, c.aw, c.ah,
                                              c.w, c.h, 0, 0, c.w, c.h, 1.0f, 1.0f, c.w, c.h,
                                              c.planes[0], c.planes[1], c.planes[2], nullptr,
                                              c.mask);
                           });
}

void RunLensBlur(const EngineRowCall& c) {
  RunEngineOnce<MiscLensBlur>([&](MiscLensBlur& e) { e.SetLBlurPar(&c.Record<LBlurPar>()); },
                              [&](MiscLensBlur& e) {
                                return e.FillBuf(c.mode, c.opacity, c.w, c.h, 0, 0, c.aw, c.ah,
                                                 c.planes[0], c.planes[1], c.planes[2], c.mask,
                                                 c.mask, c.mask);
                              });
}

}  // namespace

// The super gradient (49) takes no row: the dispatch only makes and deletes its engine,
// which draws nothing.
void RegisterTextureWeaveRows() {
  RegisterEngineRow(77, RunTextu);
  RegisterEngineRow(94, RunBackDrop);
  RegisterEngineRow(111, RunCompo);
  RegisterEngineRow(85, RunLensBlur);
}
