// The engines behind the correction dialogs' previews: colour correction and
// lens correction (their dedicated routines) and the colour matrix (effect
// 22). Each adapter makes its engine, hands it the box's record copy, calls
// FillBuf once with the box's leading shorts and the values in the order
// its engine takes them, and lets it go.
//
// An engine whose own record copy could not be had renders nothing: the
// adapter answers -1 and the box keeps its view as it was, rather than show
// work planes that no engine filled.
#include "engines/correction/colour_correction_engine.h"
#include "engines/correction/colour_matrix_engine.h"
#include "engines/correction/lens_correction_engine.h"
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

}  // namespace

void RegisterPreviewEngines() {
  RegisterPreviewEngine(kPreviewColCor, 0, ColCorPreview);
  RegisterPreviewEngine(kPreviewZondrac, 0, ZondracPreview);
  RegisterPreviewEngine(kPreviewEffect, 22, ColMatPreview);
}

}  // namespace vmkviews
