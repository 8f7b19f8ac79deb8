// Crash sweep over the pattern and tessellation engines' FillBuf: every engine on planes of
// odd shapes with areas inside, across, inverted and outside, with and without a mask,
// through the blend modes, and one argument of each swept to its limits (plane counts,
// photo rectangles and NaN or infinite scales, cell sizes, contrast words, repeats).
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "engines/patterns/border_engine.h"
#include "engines/patterns/border_record.h"
#include "engines/patterns/image_combination_engine.h"
#include "engines/patterns/image_combination_record.h"
#include "engines/patterns/painter_strokes_engine.h"
#include "engines/patterns/painter_strokes_record.h"
#include "engines/patterns/screen_engine.h"
#include "engines/patterns/screen_record.h"
#include "engines/tessellation/photo_repeat_engine.h"
#include "engines/tessellation/photo_repeat_record.h"
#include "engines/tessellation/quad_lists.h"
#include "engines/tessellation/tessellation_record.h"
#include "engines/tessellation/twin_tessellation_engine.h"
#include "engines/tessellation/twin_tessellation_record.h"
#include "support/argument_sweep.h"

namespace {

using vmktest::sweep::Call;
using vmktest::sweep::Held16;
using vmktest::sweep::Results;
using vmktest::sweep::Row;

constexpr Results kRc = Results::kZeroOrMinusOne;

// The sweep's regions are inclusive; the engines take exclusive right and bottom.
int32_t Right(const Call& c) { return c.r.x1 + 1; }
int32_t Bottom(const Call& c) { return c.r.y1 + 1; }
int16_t Count(const Call& c) { return Held16(c.p, -1, 5); }

// One engine for every call of a row, freed when the row ends (its memory belongs to the
// test's session): the record is large enough that making and copying it for each call
// would be most of the sweep's time.
std::unique_ptr<MiscBord>& KeptBorder() {
  static std::unique_ptr<MiscBord> e;
  return e;
}
MiscBord& BorderEngine() {
  std::unique_ptr<MiscBord>& e = KeptBorder();
  if (e == nullptr) {
    auto rec = std::make_unique<BordPar>();
    Init_BordPar(rec.get(), 64, 48, 0, 1, 1, 0);
    e = std::make_unique<MiscBord>();
    e->SetBordPar(rec.get());
  }
  return *e;
}
void FreeBorderEngine() { KeptBorder().reset(); }

int32_t Border(Call& c, int16_t planes, int16_t source, int32_t photo, float scale) {
  MiscBord& e = BorderEngine();
  auto& P = *c.planes;
  return e.FillBuf(planes, c.mode, c.opacity, source, 1, c.s.w, c.s.h, c.r.x0, c.r.y0, Right(c),
                   Bottom(c), c.s.w, c.s.h, -photo, photo, photo, -photo, scale, scale,
                   P.r.data(), P.g.data(), P.b.data(), P.k.data(), c.mask);
}

int32_t Tessellation(Call& c, int16_t planes, int16_t source, int32_t photo, float scale) {
  auto rec = std::make_unique<TessPar>();
  Init_TessPar(rec.get(), 0, 0, 1);
  rec->head.w[kTessSymmetry] = 7;
  Init_TessParQuad(rec.get(), 7, -1);
  MiscQuorlin e;
  e.SetTessPar(rec.get());
  auto& P = *c.planes;
  return e.FillBuf(planes, c.mode, c.opacity, source, 1, c.s.w, c.s.h, c.r.x0, c.r.y0, Right(c),
                   Bottom(c), c.s.w, c.s.h, -photo, photo, photo, -photo, scale, scale,
                   P.r.data(), P.g.data(), P.b.data(), P.k.data(), c.mask);
}

int32_t Combination(Call& c, int16_t planes, int32_t full, float scale) {
  auto rec = std::make_unique<CombImaPar>();
  Init_CombImaPar(rec.get(), 1);
  MiscCombIma e;
  e.SetCombImaPar(rec.get());
  auto& P = *c.planes;
  return e.FillBuf(planes, c.mode, c.opacity, 0, 1, c.s.w, c.s.h, c.r.x0, c.r.y0, Right(c),
                   Bottom(c), full, full, 0, 0, full, full, scale, scale, P.r.data(), P.g.data(),
                   P.b.data(), P.k.data(), c.mask);
}

int32_t Screen(Call& c, int16_t planes, int32_t size, int32_t lut) {
  auto rec = std::make_unique<ScreenPar>();
  Init_ScreenPar(rec.get(), 0);
  MiscScreen e;
  e.SetScreenPar(rec.get());
  auto& P = *c.planes;
  return e.FillBuf(planes, c.mode, c.opacity, 0, c.s.w, c.s.h, c.r.x0, c.r.y0, Right(c),
                   Bottom(c), P.r.data(), P.g.data(), P.b.data(), c.mask, size, size, lut, -lut);
}

int32_t Strokes(Call& c, int16_t planes) {
  auto rec = std::make_unique<StrokPar>();
  Init_StrokPar(rec.get());
  MiscStrok e;
  e.SetStrokPar(rec.get());
  auto& P = *c.planes;
  return e.FillBuf(1, 0, 0, planes, c.mode, c.opacity, c.s.w, c.s.h, c.r.x0, c.r.y0, Right(c),
                   Bottom(c), P.r.data(), P.g.data(), P.b.data(), c.mask);
}

int32_t Repeat(Call& c, int16_t planes, int16_t repeat) {
  auto rec = std::make_unique<RepPar>();
  Init_RepPar(rec.get(), 0, 4, 3);
  MiscCastel e;
  e.SetRepPar(rec.get());
  auto& P = *c.planes;
  return e.FillBuf(planes, c.mode, c.opacity, 0, 1, 255, 1, repeat, repeat, 0, c.s.w, c.s.h,
                   c.r.x0, c.r.y0, Right(c), Bottom(c), c.s.w, c.s.h, 0, 0, c.s.w, c.s.h, 1.f,
                   1.f, P.r.data(), P.g.data(), P.b.data(), P.k.data(), c.mask);
}

int32_t Twin(Call& c, int16_t planes) {
  auto rec = std::make_unique<HeschPar>();
  Init_HeschPar(rec.get(), 1, 1, 1);
  MiscPhotoHesch e;
  e.SetHeschPar(rec.get());
  auto& P = *c.planes;
  return e.FillBuf(planes, c.mode, c.opacity, 0, c.s.w, c.s.h, c.r.x0, c.r.y0, Right(c),
                   Bottom(c), P.r.data(), P.g.data(), P.b.data(), P.k.data(), c.mask);
}

std::vector<Row> Rows() {
  std::vector<Row> rows;
  rows.push_back({"Border", 3, true, kRc, [](Call& c) { return Border(c, Count(c), 0, 0, 1.f); },
                  false, FreeBorderEngine});
  rows.push_back({"BorderPhoto", 10, false, kRc,
                  [](Call& c) { return Border(c, 3, 3, c.p, c.pf()); }, true, FreeBorderEngine});
  rows.push_back({"Screen", 3, true, kRc, [](Call& c) { return Screen(c, Count(c), 20, 0); }});
  rows.push_back({"ScreenCells", 20, true, kRc, [](Call& c) { return Screen(c, 3, c.p, 0); }});
  rows.push_back({"ScreenContrast", 0, true, kRc, [](Call& c) { return Screen(c, 3, 20, c.p); }});
  rows.push_back({"Combination", 3, false, kRc,
                  [](Call& c) { return Combination(c, Count(c), c.s.w, 1.f); }});
  rows.push_back({"CombinationFull", 10, false, kRc,
                  [](Call& c) { return Combination(c, 3, c.p, c.pf()); }});
  rows.push_back({"Strokes", 3, true, kRc, [](Call& c) { return Strokes(c, Count(c)); }});
  rows.push_back({"Tessellation", 3, false, kRc,
                  [](Call& c) { return Tessellation(c, Count(c), 0, 0, 1.f); }});
  rows.push_back({"TessellationPhoto", 10, false, kRc,
                  [](Call& c) { return Tessellation(c, 3, 3, c.p, c.pf()); }});
  rows.push_back({"Repeat", 3, false, kRc, [](Call& c) { return Repeat(c, Count(c), 1); }});
  rows.push_back({"RepeatCount", 2, false, kRc,
                  [](Call& c) { return Repeat(c, 3, Held16(c.p, -40, 40)); }});
  rows.push_back({"Twin", 3, false, kRc, [](Call& c) { return Twin(c, Count(c)); }});
  return rows;
}

}  // namespace

VMK_ARGUMENT_SWEEP(EngineArgumentSweep, EveryEngine, Rows);
