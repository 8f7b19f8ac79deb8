#include "engines/patterns/pattern_record_kinds.h"

#include "engines/patterns/backdrop_compo_records.h"
#include "engines/patterns/border_engine.h"
#include "engines/patterns/border_record.h"
#include "engines/patterns/cast_shadow_engine.h"
#include "engines/patterns/cast_shadow_record.h"
#include "engines/patterns/cookie_cutter_record.h"
#include "engines/patterns/extrusion_engine.h"
#include "engines/patterns/extrusion_record.h"
#include "engines/patterns/fractal_record.h"
#include "engines/patterns/image_combination_engine.h"
#include "engines/patterns/image_combination_record.h"
#include "engines/patterns/lens_flare_gradient_records.h"
#include "engines/patterns/misc_fract.h"
#include "engines/patterns/path_shape_engines.h"
#include "engines/patterns/painter_strokes_engine.h"
#include "engines/patterns/painter_strokes_record.h"
#include "engines/patterns/pattern_script_blocks.h"
#include "engines/patterns/screen_engine.h"
#include "engines/patterns/screen_record.h"
#include "engines/patterns/script_image_loaders.h"
#include "engines/patterns/shape_record.h"
#include "engines/patterns/texture_record.h"
#include "engines/patterns/texture_weave_rows.h"
#include "engines/patterns/weave_plaid_record.h"
#include "script/engine_rows.h"
#include "script/record_kinds.h"

namespace {

// Defaults with the arguments the parameter block and the script accessors use. Records
// sized by the picture take the session's preview size in both places.
void PlaidDefaults(PlaidPar* r, const DefaultSizes&) { Init_PlaidPar(r, 0); }
void SupVigDefaults(SupVigPar* r, const DefaultSizes&) { Init_SupVigPar(r); }
void ScreenDefaults(ScreenPar* r, const DefaultSizes&) { Init_ScreenPar(r, 1); }
void FramDefaults(FramPar* r, const DefaultSizes&) { Init_FramPar(r); }
void TextuDefaults(TextuPar* r, const DefaultSizes&) { Init_TextuPar(r); }
void ShadoDefaults(ShadoPar* r, const DefaultSizes&) { Init_ShadoPar(r, 0); }
void CookiCutDefaults(CookiCutPar* r, const DefaultSizes&) { Init_CookiCutPar(r); }
void StrokDefaults(StrokPar* r, const DefaultSizes&) { Init_StrokPar(r); }
void LBlurDefaults(LBlurPar* r, const DefaultSizes&) { Init_LBlurPar(r); }
void FlareDefaults(FlarePar* r, const DefaultSizes&) { Init_FlarePar(r); }
void XTrudeDefaults(XTrudePar* r, const DefaultSizes& s) {
  Init_XTrudePar(r, 0, s.previewWidth, s.previewHeight);
}
void CombImaDefaults(CombImaPar* r, const DefaultSizes&) { Init_CombImaPar(r, 1); }
void BDropDefaults(BDropPar* r, const DefaultSizes&) { Init_BDropPar(r, 1); }
void FractDefaults(FractPar* r, const DefaultSizes&) { Init_FractPar(r, 1, 1); }
void BordDefaults(BordPar* r, const DefaultSizes& s) {
  Init_BordPar(r, s.previewWidth, s.previewHeight, 1, 1, 1, 1);
}
void ShapeDefaults(ShapePar* r, const DefaultSizes& s) {
  Init_ShapePar(r, s.previewWidth, s.previewHeight, 0);
}
void CompoDefaults(CompoPar* r, const DefaultSizes& s) {
  Init_CompoPar(r, s.previewWidth, s.previewHeight, 1, 1, 1, 1);
}

}  // namespace

void RegisterPatternRecords() {
  RegisterRecordKind(WithSwap<PlaidPar, SwapPlaidPar>(RecordKindOf<PlaidPar, PlaidDefaults, Copy_PlaidPar>(2)));
  RegisterRecordKind(RecordKindOf<SupVigPar, SupVigDefaults, Copy_SupVigPar>(4));
  RegisterRecordKind(RecordKindOf<ScreenPar, ScreenDefaults, Copy_ScreenPar>(5));
  RegisterRecordKind(WithSwap<FramPar, SwapFramPar>(RecordKindOf<FramPar, FramDefaults, Copy_FramPar>(7)));
  RegisterRecordKind(RecordKindOf<TextuPar, TextuDefaults, Copy_TextuPar>(10));
  RegisterRecordKind(RecordKindOf<ShadoPar, ShadoDefaults, Copy_ShadoPar>(11));
  RegisterRecordKind(
      WithSwap<CookiCutPar, SwapCookiCutPar>(RecordKindOf<CookiCutPar, CookiCutDefaults, Copy_CookiCutPar>(12)));
  RegisterRecordKind(WithSwap<StrokPar, SwapStrokPar>(RecordKindOf<StrokPar, StrokDefaults, Copy_StrokPar>(13)));
  RegisterRecordKind(RecordKindOf<LBlurPar, LBlurDefaults, Copy_LBlurPar>(14));
  RegisterRecordKind(RecordKindOf<FlarePar, FlareDefaults, Copy_FlarePar>(15));
  RegisterRecordKind(
      WithSwap<XTrudePar, SwapXTrudePar>(RecordKindOf<XTrudePar, XTrudeDefaults, Copy_XTrudePar>(16)));
  RegisterRecordKind(
      WithSwap<CombImaPar, SwapCombImaPar>(RecordKindOf<CombImaPar, CombImaDefaults, Copy_CombImaPar>(17)));
  RegisterRecordKind(WithSwap<BDropPar, SwapBDropPar>(RecordKindOf<BDropPar, BDropDefaults, Copy_BDropPar>(19)));
  RegisterRecordKind(WithSwap<FractPar, SwapFractPar>(RecordKindOf<FractPar, FractDefaults, Copy_FractPar>(20)));
  RegisterRecordKind(WithSwap<BordPar, SwapBordPar>(RecordKindOf<BordPar, BordDefaults, Copy_BordPar>(24)));
  RegisterRecordKind(WithSwap<ShapePar, SwapShapePar>(RecordKindOf<ShapePar, ShapeDefaults, Copy_ShapePar>(26)));
  RegisterRecordKind(WithSwap<CompoPar, SwapCompoPar>(RecordKindOf<CompoPar, CompoDefaults, Copy_CompoPar>(27)));
  RegisterPatternScriptBlocks();
  // The engine rows of the family's engines.
  RegisterEngineRow(100, RunFractRow);
  // The path-shape engines: cookie cutter, star or polygon, spirograph.
  RegisterEngineRow(81, RunCookiCutRow);
  RegisterEngineRow(109, RunShapeRow);
  RegisterEngineRow(110, RunShapeRow);
  RegisterEngineRow(82, RunStrokRow);
  // The border and the screen.
  RegisterEngineRow(106, RunBordRow);
  RegisterEngineRow(50, RunScreenRow);
  RegisterTextureWeaveRows();
  RegisterEngineRow(92, RunCombImaRow);
  // The render loop's image loaders and the displacement maps' reader.
  RegisterScriptImageLoaders();
  // The layer-to-layer cases of the shadow and the extrusion.
  RegisterCastShadowCase();
  RegisterExtrusionCase();
}
