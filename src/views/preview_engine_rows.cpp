// The engines behind the dialogs' previews: the four dedicated routines
// (resize, grid, colour and lens correction) and the effects previewed by
// number (render file, colour matrix, repeat, weave, tessellation, cookie
// cutter, image combination, fractal, border, shapes). Each adapter makes
// its engine, hands it the box's record copy, calls FillBuf once with the
// box's leading shorts and the values in the order its engine takes them,
// and lets it go.
//
// An engine whose own record copy could not be had renders nothing: the
// adapter answers -1 and the box keeps its view as it was, rather than show
// work planes that no engine filled.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "app/core/memory_manager.h"
#include "engines/correction/colour_correction_engine.h"
#include "engines/correction/colour_matrix_engine.h"
#include "engines/correction/grid_warp.h"
#include "engines/correction/lens_correction_engine.h"
#include "engines/correction/yoxel_engine.h"
#include "engines/patterns/border_engine.h"
#include "engines/patterns/image_combination_engine.h"
#include "engines/patterns/image_combination_record.h"
#include "engines/patterns/misc_fract.h"
#include "engines/patterns/path_shape_engines.h"
#include "engines/patterns/weave_engine.h"
#include "engines/tessellation/photo_repeat_engine.h"
#include "engines/tessellation/quad_lists.h"
#include "platform/memory/block.h"
#include "script/misc_render.h"
#include "views/preview_engines.h"

namespace vmkviews {
namespace {

// The call's leading shorts after the fixed 3, 0; 0 past what the box gave.
int16_t Short(const PreviewCall& call, int k) { return k < call.shortCount ? call.shorts[k] : 0; }

// View size first: the view's planes, the target rectangle, the picture,
// the source rectangle and the scale; red, green, blue and the mask as
// the fourth plane.
int32_t ColCorPreview(const PreviewCall& call) {
  const auto* record = call.recordAs<ColCorPar>();
  if (record == nullptr) return -1;
  MiscColCor engine;
  if (engine.record() == nullptr) return -1;
  engine.SetColCorPar(record);
  return engine.FillBuf(Short(call, 0), Short(call, 1), Short(call, 2), Short(call, 3), Short(call, 4),
                        call.viewWidth, call.viewHeight, 0, 0, call.effWidth, call.effHeight,
                        call.srcWidth, call.srcHeight, call.srcRect[0], call.srcRect[1], call.srcRect[2],
                        call.srcRect[3], call.scale, call.scale, call.planes[0], call.planes[1],
                        call.planes[2], call.planes[3], call.planes[4]);
}

// View size after the scales, with seven planes: red, green, blue, no
// fourth, no extra plane, the mask as the selection, no mask.
int32_t ZondracPreview(const PreviewCall& call) {
  const auto* record = call.recordAs<ZondracPar>();
  if (record == nullptr) return -1;
  MiscZondrac engine;
  if (engine.record() == nullptr) return -1;
  engine.SetZondracPar(record);
  return engine.FillBuf(Short(call, 0), Short(call, 1), Short(call, 2), Short(call, 3), Short(call, 4),
                        Short(call, 5), 0, 0, call.effWidth, call.effHeight, call.srcWidth,
                        call.srcHeight, call.srcRect[0], call.srcRect[1], call.srcRect[2],
                        call.srcRect[3], call.scale, call.scale, call.viewWidth, call.viewHeight,
                        call.planes[0], call.planes[1], call.planes[2], call.planes[3],
                        call.planes[4], call.planes[5], call.planes[6]);
}

// View size after the scales; the picture's size lands on the two values
// the colour matrix does not read.
int32_t ColMatPreview(const PreviewCall& call) {
  const auto* record = call.recordAs<ColMatPar>();
  if (record == nullptr) return -1;
  MiscColMat engine;
  if (engine.record() == nullptr) return -1;
  engine.SetColMatPar(record);
  engine.FillBuf(Short(call, 0), Short(call, 1), Short(call, 2), Short(call, 3), Short(call, 4),
                 Short(call, 5), 0, 0, call.effWidth, call.effHeight, call.srcWidth, call.srcHeight,
                 call.srcRect[0], call.srcRect[1], call.srcRect[2], call.srcRect[3], call.scale,
                 call.scale, call.viewWidth, call.viewHeight, call.planes[0], call.planes[1],
                 call.planes[2], call.planes[3], call.planes[4]);
  return 0;
}

// View size first, five leading shorts and five planes: the engines that
// take the box's record and nothing else (tessellation, cookie cutter,
// image combination, border).
template <class Engine, class Record, void (Engine::*Set)(const Record*)>
int32_t ViewSizeFirst(const PreviewCall& call) {
  const auto* record = call.recordAs<Record>();
  if (record == nullptr) return -1;
  Engine engine;
  if constexpr (requires { engine.record(); }) {
    if (engine.record() == nullptr) return -1;
  }
  (engine.*Set)(record);
  return engine.FillBuf(Short(call, 0), Short(call, 1), Short(call, 2), Short(call, 3), Short(call, 4),
                        call.viewWidth, call.viewHeight, 0, 0, call.effWidth, call.effHeight,
                        call.srcWidth, call.srcHeight, call.srcRect[0], call.srcRect[1], call.srcRect[2],
                        call.srcRect[3], call.scale, call.scale, call.planes[0], call.planes[1],
                        call.planes[2], call.planes[3], call.planes[4]);
}

// View size after the scales, five leading shorts (weave, shapes).
template <class Engine, class Record, void (Engine::*Set)(const Record*)>
int32_t ViewSizeAfter(const PreviewCall& call) {
  const auto* record = call.recordAs<Record>();
  if (record == nullptr) return -1;
  Engine engine;
  if constexpr (requires { engine.record(); }) {
    if (engine.record() == nullptr) return -1;
  }
  (engine.*Set)(record);
  return engine.FillBuf(Short(call, 0), Short(call, 1), Short(call, 2), Short(call, 3), Short(call, 4),
                        0, 0, call.effWidth, call.effHeight, call.srcWidth, call.srcHeight,
                        call.srcRect[0], call.srcRect[1], call.srcRect[2], call.srcRect[3], call.scale,
                        call.scale, call.viewWidth, call.viewHeight, call.planes[0], call.planes[1],
                        call.planes[2], call.planes[3], call.planes[4]);
}

// A length of the picture's pixels drawn at the preview's scale: rounded as
// the script rounds its scaled distances, and a length the record has stays
// at least one pixel, so the preview never drops a step the result takes.
int32_t ScaledLength(int32_t v, float factor) {
  const auto length = static_cast<int16_t>(v);  // the engines read the low 16 bits
  if (length == 0 || factor == 1.0f) return v;
  const float magnitude = std::abs(static_cast<float>(length)) * factor + 0.5f;
  const auto scaled = static_cast<int32_t>(std::clamp(magnitude, 1.0f, 32767.0f));
  return length < 0 ? -scaled : scaled;
}

// The image combination lays each entry's picture over the drawing
// rectangle, which here is the view's, while its blur radius, emboss depth
// and edge width are in the whole picture's pixels: drawn as they are, a
// fitted preview showed an edge of a few result pixels as a band a fifth of
// the sun across, and filled the sun. The preview's own copy of the record
// has them in the view's pixels (the scale is picture pixels per view pixel,
// 1 at 1:1, where nothing changes).
int32_t CombImaPreview(const PreviewCall& call) {
  const auto* record = call.recordAs<CombImaPar>();
  if (record == nullptr || !(call.scale > 0.0f)) return -1;
  plat::Block<CombImaPar> scaled(1, WorkSource());
  if (!scaled) return -1;
  scaled.Clear();
  Copy_CombImaPar(record, scaled.get());
  const float factor = 1.0f / call.scale;
  const int32_t count = std::clamp(scaled.get()->head.count, 0, kCombImaMaxEntries);
  for (int32_t i = 0; i < count; ++i) {
    CombImaInfo& info = scaled.get()->infos[i];
    info.blur = ScaledLength(info.blur, factor);
    info.emboss = ScaledLength(info.emboss, factor);
    info.edge = ScaledLength(info.edge, factor);
  }
  PreviewCall own = call;
  own.record = scaled.get();
  return ViewSizeFirst<MiscCombIma, CombImaPar, &MiscCombIma::SetCombImaPar>(own);
}

// Seven planes, the mask sixth; the holder's record.
int32_t YoxelPreview(const PreviewCall& call) {
  auto* record = call.recordAs<YoxelPar>();
  if (record == nullptr) return -1;
  MiscYoxel engine;
  if (engine.record() == nullptr) return -1;
  engine.SetYoxelPar(record);
  return engine.FillBuf(Short(call, 0), Short(call, 1), Short(call, 2), Short(call, 3), Short(call, 4),
                        call.viewWidth, call.viewHeight, 0, 0, call.effWidth, call.effHeight,
                        call.srcWidth, call.srcHeight, call.srcRect[0], call.srcRect[1], call.srcRect[2],
                        call.srcRect[3], call.scale, call.scale, call.planes[0], call.planes[1],
                        call.planes[2], call.planes[3], call.planes[4], call.planes[5], call.planes[6]);
}

// Six leading shorts (the source, then whether to build displacement maps).
int32_t GridPreview(const PreviewCall& call) {
  const auto* record = call.recordAs<GridPar>();
  if (record == nullptr) return -1;
  MiscGrid engine;
  engine.SetGridPar(record);
  if (engine.record() == nullptr) return -1;
  return engine.FillBuf(Short(call, 0), Short(call, 1), Short(call, 2), Short(call, 3), Short(call, 4),
                        Short(call, 5), call.viewWidth, call.viewHeight, 0, 0, call.effWidth,
                        call.effHeight, call.srcWidth, call.srcHeight, call.srcRect[0], call.srcRect[1],
                        call.srcRect[2], call.srcRect[3], call.scale, call.scale, call.planes[0],
                        call.planes[1], call.planes[2], call.planes[3], call.planes[4]);
}

// The render file when the box names one (else the current document), no
// path list, and no picture size in the call.
int32_t RenderPreview(const PreviewCall& call) {
  MiscRender engine;
  if (call.renderFile != nullptr) engine.SetFich(call.renderFile, nullptr, 3, 0, 0);
  return engine.FillBuf(Short(call, 0), Short(call, 1), Short(call, 2), Short(call, 3), Short(call, 4),
                        nullptr, 0, 0, call.effWidth, call.effHeight, call.srcRect[0], call.srcRect[1],
                        call.srcRect[2], call.srcRect[3], call.scale, call.scale, call.viewWidth,
                        call.viewHeight, call.planes[0], call.planes[1], call.planes[2], call.planes[3],
                        call.planes[4]);
}

// Ten leading shorts: the tile opacity, direct drawing and the repeats.
int32_t RepeatPreview(const PreviewCall& call) {
  const auto* record = call.recordAs<RepPar>();
  if (record == nullptr) return -1;
  MiscCastel engine;
  if (engine.par == nullptr) return -1;
  engine.SetRepPar(record);
  return engine.FillBuf(Short(call, 0), Short(call, 1), Short(call, 2), Short(call, 3), Short(call, 4),
                        Short(call, 5), Short(call, 6), Short(call, 7), Short(call, 8), Short(call, 9),
                        call.viewWidth, call.viewHeight, 0, 0, call.effWidth, call.effHeight,
                        call.srcWidth, call.srcHeight, call.srcRect[0], call.srcRect[1], call.srcRect[2],
                        call.srcRect[3], call.scale, call.scale, call.planes[0], call.planes[1],
                        call.planes[2], call.planes[3], call.planes[4]);
}

// No script after the shorts: the preview draws the fractal alone.
int32_t FractPreview(const PreviewCall& call) {
  const auto* record = call.recordAs<FractPar>();
  if (record == nullptr) return -1;
  MiscFract engine;
  if (engine.record() == nullptr) return -1;
  engine.SetFractPar(record);
  return engine.FillBuf(Short(call, 0), Short(call, 1), Short(call, 2), Short(call, 3), Short(call, 4),
                        nullptr, call.viewWidth, call.viewHeight, 0, 0, call.effWidth, call.effHeight,
                        call.srcWidth, call.srcHeight, call.srcRect[0], call.srcRect[1], call.srcRect[2],
                        call.srcRect[3], call.scale, call.scale, call.planes[0], call.planes[1],
                        call.planes[2], call.planes[3], call.planes[4]);
}

// The plaid: the weave engine blends through its fourth plane as the
// operation's mask. A preview has no operation mask, so the whole picture
// is woven, as an operation without a mask renders; the box's cleared
// plane would have left the picture unwoven.
int32_t PlaidPreview(const PreviewCall& call) {
  if (call.planes[3] != nullptr && call.viewWidth > 0 && call.viewHeight > 0)
    std::memset(call.planes[3], 255, static_cast<size_t>(call.viewWidth) * static_cast<size_t>(call.viewHeight));
  return ViewSizeAfter<MiscWeave, PlaidPar, &MiscWeave::SetPlaidPar>(call);
}

}  // namespace

void RegisterPreviewEngines() {
  RegisterPreviewEngine(kPreviewYoxel, 0, YoxelPreview);
  RegisterPreviewEngine(kPreviewGrid, 0, GridPreview);
  RegisterPreviewEngine(kPreviewColCor, 0, ColCorPreview);
  RegisterPreviewEngine(kPreviewZondrac, 0, ZondracPreview);
  RegisterPreviewEngine(kPreviewEffect, 0, RenderPreview);
  RegisterPreviewEngine(kPreviewEffect, 22, ColMatPreview);
  RegisterPreviewEngine(kPreviewEffect, 41, RepeatPreview);
  RegisterPreviewEngine(kPreviewEffect, 42, PlaidPreview);
  RegisterPreviewEngine(kPreviewEffect, 58, ViewSizeFirst<MiscQuorlin, TessPar, &MiscQuorlin::SetTessPar>);
  RegisterPreviewEngine(kPreviewEffect, 81,
                        ViewSizeFirst<MiscCookiCut, CookiCutPar, &MiscCookiCut::SetCookiCutPar>);
  RegisterPreviewEngine(kPreviewEffect, 92, CombImaPreview);
  RegisterPreviewEngine(kPreviewEffect, 100, FractPreview);
  RegisterPreviewEngine(kPreviewEffect, 106, ViewSizeFirst<MiscBord, BordPar, &MiscBord::SetBordPar>);
  RegisterPreviewEngine(kPreviewEffect, 109, ViewSizeAfter<MiscShape, ShapePar, &MiscShape::SetShapePar>);
  RegisterPreviewEngine(kPreviewEffect, 110, ViewSizeAfter<MiscShape, ShapePar, &MiscShape::SetShapePar>);
}

}  // namespace vmkviews
