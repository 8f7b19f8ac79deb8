#include "engines/correction/correction_engine_rows.h"

#include "engines/correction/colour_correction_engine.h"
#include "engines/correction/colour_matrix_engine.h"
#include "engines/correction/grid_warp_rows.h"
#include "engines/correction/lens_correction_engine.h"
#include "engines/correction/yoxel_engine.h"
#include "script/engine_rows.h"

namespace {

// The operation's own 1089 cells and its five settings; plane 6 is the fourth plane.
int32_t RunColMat(const EngineRowCall& c) {
  return RunEngineOnce<MiscColMat>(
      [&](MiscColMat& e) { e.SetColMatVal(&c.Record<int32_t>(), c.p1, c.p2, c.p3, c.p4, c.p5); },
      [&](MiscColMat& e) {
        // It answers nothing; the render sees memory refused to it.
        e.FillBuf(c.n, c.mode, c.opacity, 0, 1, 255, 0, 0, c.aw, c.ah, c.w, c.h, 0, 0, c.w, c.h,
                  1.0f, 1.0f, c.w, c.h, c.planes[0], c.planes[1], c.planes[2], c.plane6, c.mask);
        return 0;
      });
}

// The row hands a copy of plane 6 as the mask, and the record's word 17 (not the effect
// number) says which correction runs.
int32_t RunColCor(const EngineRowCall& c) {
  return RunEngineOnce<MiscColCor>([&](MiscColCor& e) { e.SetColCorPar(&c.Record<ColCorPar>()); },
                                   [&](MiscColCor& e) {
                                     // It answers 0 whatever happens; the render sees
                                     // memory refused to it.
                                     (void)e.FillBuf(c.n, c.mode, c.opacity, 0, 1, c.w, c.h, 0, 0,
                                                     c.aw, c.ah, c.w, c.h, 0, 0, c.w, c.h, 1.0f,
                                                     1.0f, c.planes[0], c.planes[1], c.planes[2],
                                                     nullptr, c.mask);
                                     return 0;
                                   });
}

// Plane 89 (composite only) is warped with the image; no selection plane is handed over.
int32_t RunZondrac(const EngineRowCall& c) {
  return RunEngineOnce<MiscZondrac>(
      [&](MiscZondrac& e) { e.SetZondracPar(&c.Record<ZondracPar>()); },
      [&](MiscZondrac& e) {
        // It answers 0 whatever happens, also where memory refused to it leaves the planes
        // uncorrected or (without room for its maps) unwarped; the render sees the refusal.
        (void)e.FillBuf(c.n, c.mode, c.opacity, 0, 1, 1, 0, 0, c.aw, c.ah, c.w, c.h, 0, 0, c.w, c.h,
                        1.0f, 1.0f, c.w, c.h, c.planes[0], c.planes[1], c.planes[2], nullptr, c.q,
                        nullptr, c.mask);
        return 0;
      });
}

// Plane 89 (composite only) is the fifth plane, carried along with the picture; the mask
// weighs the opacity.
int32_t RunYoxel(const EngineRowCall& c) {
  return RunEngineOnce<MiscYoxel>(
      [&](MiscYoxel& e) { e.SetYoxelPar(&c.Record<YoxelPar>()); },
      [&](MiscYoxel& e) {
        return e.FillBuf(c.n, c.mode, c.opacity, 0, 1, c.w, c.h, 0, 0, c.aw, c.ah, c.w, c.h, 0,
                         0, c.w, c.h, 1.0f, 1.0f, c.planes[0], c.planes[1], c.planes[2],
                         nullptr, c.q, nullptr, c.mask);
      });
}

}  // namespace

void RegisterCorrectionEngineRows() {
  RegisterEngineRow(22, RunColMat);
  RegisterEngineRow(101, RunYoxel);
  RegisterEngineRow(113, RunZondrac);
  for (EffectCode effect : {103, 104, 105, 119}) RegisterEngineRow(effect, RunColCor);
  RegisterGridWarpEngineRows();
}
