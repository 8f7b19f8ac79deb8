#include "engines/patterns/texture_weave_rows.h"

#include "engines/patterns/backdrop_compo_engines.h"
#include "engines/patterns/lens_flare_gradient_engines.h"
#include "engines/patterns/texture_engine.h"
#include "engines/patterns/weave_engine.h"
#include "script/operation.h"
#include "script/engine_rows.h"

namespace {

int32_t RunTextu(const EngineRowCall& c) {
  // On the composite the texture spans the picture: a fitted preview's planes count its
  // waves, warp and particles in the picture's pixels, as the texture generator's preview
  // does, rather than draw a whole picture's pattern at the view's size (a texture of 150
  // dot columns previewed as 16). A render of the whole picture is as before.
  const bool composite = c.planes[1] != nullptr;
  return RunEngineOnce<MiscTextu>(
      [&](MiscTextu& e) {
        e.SetTextuPar(&c.Record<TextuPar>());
        if (composite) e.SetPictureSize(c.pictureW, c.pictureH);
      },
      [&](MiscTextu& e) {
        // It answers nothing; the render sees memory refused to it.
        e.FillBuf(c.n, c.mode, c.opacity, 0, c.scaleX, c.scaleY, c.w, c.h, c.planes[0], c.planes[1],
                  c.planes[2], c.mask);
        return 0;
      });
}

int32_t RunBackDrop(const EngineRowCall& c) {
  return RunEngineOnce<MiscBackDrop>([&](MiscBackDrop& e) { e.SetBDropPar(&c.Record<BDropPar>()); },
                                     [&](MiscBackDrop& e) {
                                       return e.FillBuf(c.n, c.mode, c.opacity, 0, c.w, c.h, 0, 0,
                                                        c.aw, c.ah, c.planes[0], c.planes[1],
                                                        c.planes[2], c.mask);
                                     });
}

int32_t RunCompo(const EngineRowCall& c) {
  return RunEngineOnce<MiscCompo>([&](MiscCompo& e) { e.SetCompoPar(&c.Record<CompoPar>()); },
                                  [&](MiscCompo& e) {
                                    return e.FillBuf(c.n, c.mode, c.opacity, 0, 1, 0, 0, c.aw, c.ah,
                                                     c.w, c.h, 0, 0, c.w, c.h, 1.0f, 1.0f, c.w, c.h,
                                                     c.planes[0], c.planes[1], c.planes[2], nullptr,
                                                     c.mask);
                                  });
}

int32_t RunLensBlur(const EngineRowCall& c) {
  return RunEngineOnce<MiscLensBlur>([&](MiscLensBlur& e) { e.SetLBlurPar(&c.Record<LBlurPar>()); },
                                     [&](MiscLensBlur& e) {
                                       return e.FillBuf(c.mode, c.opacity, c.w, c.h, 0, 0, c.aw,
                                                        c.ah, c.planes[0], c.planes[1], c.planes[2],
                                                        c.mask, c.mask, c.mask);
                                     });
}

// Every weave row first sizes the engine at the plane and hands it the record.
void PrepareWeave(MiscWeave& e, const EngineRowCall& c) {
  e.SetBufSize(c.w, c.h, c.w, c.h, c.resolution);
  e.SetPlaidPar(&c.Record<PlaidPar>());
}

// The woven frame: always the composite planes; Param1 is the opacity, the low bytes of
// Param2..Param5 the hole and edge percentages.
int32_t RunWeaveFrame(const EngineRowCall& c) {
  return RunEngineOnce<MiscWeave>([&](MiscWeave& e) { PrepareWeave(e, c); },
                                  [&](MiscWeave& e) {
                                    const int16_t opacity = c.p1;
                                    // The frame answers nothing: memory refused leaves a plane
                                    // unframed.
                                    for (int16_t k = 0; k < 3; ++k)
                                      e.FrameBuf(k, e.par.lineMode, c.planes[k], c.h, c.w, 0, 0,
                                                 c.aw, c.ah, c.mask, &opacity, c.p2 & 0xFF,
                                                 c.p3 & 0xFF, c.p4 & 0xFF, c.p5 & 0xFF);
                                    return 0;
                                  });
}

int32_t RunPlaid(const EngineRowCall& c) {
  return RunEngineOnce<MiscWeave>([&](MiscWeave& e) { PrepareWeave(e, c); },
                                  [&](MiscWeave& e) {
                                    return e.FillBuf(c.n, c.mode, c.opacity, 0, 1, 0, 0, c.aw, c.ah,
                                                     c.w, c.h, 0, 0, c.w, c.h, 1.0f, 1.0f, c.w, c.h,
                                                     c.planes[0], c.planes[1], c.planes[2], c.mask,
                                                     nullptr);
                                  });
}

// The weave: on one plane it weaves the destination plane, like each composite plane.
int32_t RunWeave(const EngineRowCall& c) {
  if (c.op != nullptr && c.op->MulStruc == nullptr) return 0;  // no multi-record: nothing drawn
  return RunEngineOnce<MiscWeave>(
      [&](MiscWeave& e) { PrepareWeave(e, c); },
      [&](MiscWeave& e) {
        for (int16_t k = 0; k < c.n && k < 3; ++k)
          if (e.FillBuf(c.mode, c.opacity, k, 0, e.par.lineMode, 0, c.planes[k], c.mask, c.p1) < 0)
            return -1;
        return 0;
      });
}

}  // namespace

// The super gradient (49) takes no row: the dispatch only makes and deletes its engine,
// which draws nothing.
void RegisterTextureWeaveRows() {
  RegisterEngineRow(77, RunTextu);
  RegisterEngineRow(40, RunWeaveFrame);
  RegisterEngineRow(42, RunPlaid);
  RegisterEngineRow(43, RunWeave);
  RegisterEngineRow(94, RunBackDrop);
  RegisterEngineRow(111, RunCompo);
  RegisterEngineRow(85, RunLensBlur);
}
