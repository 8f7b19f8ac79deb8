// The fitted preview of a combined-layer file, as the image tools render
// their preview and their stored preview: the picture fitted into the first
// samples of the view's planes, the layers over it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/core/file_records.h"
#include "platform/types/plane_view.h"
#include "script/script_file.h"

// Stage `apply` (0 the picture alone, 1 the layers over it) of the
// combined-layer file `file` over the picture (docW x docH) fitted into the
// first fw x fh samples of the four w x h planes (rows from the bottom), read
// at `scale` picture pixels a sample; with `extra`, the further channels the
// script made, w x h planes into extra[7..]. `kind` 2 reads a combined-layer
// file, 3 an effect file. A picture larger than the fitted size is rendered
// on planes FittedSupersampling(scale) times the fitted size each way, each
// view sample the mean of its block. The lengths the layers keep in the whole
// picture's pixels are drawn at the planes' scale. False when a plane cannot
// be had or the render fails; with `failure`, the step that stopped the
// render goes there (none when no step did).
bool RenderFittedPreview(const fichier& file, int16_t apply, int32_t docW, int32_t docH, int32_t fw, int32_t fh,
                         float scale, int32_t w, int32_t h, uint8_t* const planes[4], uint8_t** extra,
                         int16_t kind = 2, std::optional<RenderFailure>* failure = nullptr);

// The step that stopped a render and why, in the user's words: "operation 2 (Transform) of
// layer 1 could not get the memory it needs".
std::string RenderFailureWords(const RenderFailure& failure);

// What a preview that could not be rendered says of itself ("The preview could not be
// rendered", and the step that stopped it when one did).
std::string PreviewFailureWords(const std::optional<RenderFailure>& failure);

// How many times the fitted size each way the layers are rendered at for a view read at
// `scale` picture pixels a sample, before each view sample takes the mean of its block: the
// whole number of picture pixels a sample covers, at most the limit (the render's cost grows
// as its square).
inline constexpr int32_t kFittedSupersamplingLimit = 3;
int32_t FittedSupersampling(float scale);

// The part of a picture a zoomed view shows: from picture point (left, top) on, `step`
// picture pixels a view sample each way, over shownWidth x shownHeight samples.
struct ZoomedPart {
  double step = 1.0;
  int32_t left = 0, top = 0;
  int32_t shownWidth = 0, shownHeight = 0;
};

// The planes a zoomed render takes for a part, with a margin of `reach` samples around it
// (kReachesWhole, -1: the whole picture). Above one picture pixel a view sample the planes
// are FittedSupersampling(step) times the view's samples each way; at or below one they hold
// the picture's own pixels. The whole picture is never rendered on planes larger than itself:
// where the supersampled planes would be (k above the step) it is rendered at its own pixels
// and each view sample is the mean of the pixels under it (ReduceToView); where they would not
// (three times from 33 % down, twice at 50 %), supersampled.
struct ZoomedPlanes {
  int32_t k = 1;                            // plane samples a view sample each way, above one pixel
  bool ownPixels = false;                   // the whole picture at its own pixels, reduced by ReduceToView
  double sampleStep = 1.0;                  // picture pixels a plane sample
  int32_t wholeWidth = 0, wholeHeight = 0;  // the whole picture at the planes' scale
  int32_t x0 = 0, y0 = 0;                   // the planes' first sample in the whole, from its top-left
  int32_t width = 0, height = 0;            // the planes' size
  int32_t shownX = 0, shownY = 0;           // the part's first sample in the planes, from their top-left
};
ZoomedPlanes PlanZoomedPlanes(int32_t docW, int32_t docH, const ZoomedPart& part, int32_t reach);

// A picture reduced to a zoomed view of it, each view sample the mean of the picture's samples
// under it, `step` picture pixels a view sample each way: sample (x, y) of `to` covers
// [left + x step, left + (x + 1) step) x [top + y step, top + (y + 1) step) of `from`, the
// samples its edges cut through weighted by the share of them it covers (the edges placed to a
// 65536th of a pixel, so that neighbouring samples share them exactly), rounded. A footprint
// reaching past the picture's edge takes the part inside it; one wholly outside, the edge's
// sample. Samples lie `fromPixelStep` and `toPixelStep` apart along a row (3 for a channel of
// interleaved RGB); a view's row step may be negative (planes held bottom row first, the view
// at their top row). For steps from 1 to 4096. The layered editor's zoomed view reduces the
// whole picture rendered at its own pixels so, and its checks scale OK's result the same way.
// False when its work memory cannot be had.
bool ReduceToView(plat::ConstPlaneView<uint8_t> from, int32_t fromPixelStep, double left, double top, double step,
                  plat::PlaneView<uint8_t> to, int32_t toPixelStep);

// Stage `apply` of the file over the part of the docW x docH picture a zoomed view shows,
// into the first shownWidth x shownHeight samples of the four w x h planes (rows from the
// bottom); with `extra`, the further channels likewise into extra[7..] (w x h planes). Only
// the part shown and the margin the layers reach around it are rendered (MiscRender::
// SourceReach), the layers' places and lengths those of the whole picture at the planes'
// scale: above one picture pixel a view sample each view sample is the mean of its block of
// planes, as the result scaled down shows it; at or below one it is the picture pixel under
// it, as the result shows enlarged. False when a plane cannot be had or the render fails; with
// `failure`, the step that stopped the render (none when it never started).
bool RenderZoomedPreview(const fichier& file, int16_t apply, int32_t docW, int32_t docH, const ZoomedPart& part,
                         int32_t w, int32_t h, uint8_t* const planes[4], uint8_t** extra, int16_t kind = 2,
                         std::optional<RenderFailure>* failure = nullptr);

// What the render copies of the layer scratch file are named by, beside it: "<scratch>.render<N>"
// (plat::files::PrivateCopy).
inline constexpr char kRenderCopyTag[] = ".render";

// What a preview that never started says of itself. Its layers are saved (`copying` false)
// and copied into the support folder for its render, and either can fail; `error` is the
// system's error (0: none known), told in the system's own words: "The preview could not be
// rendered: its layers could not be copied: No space left on device."
std::string PreviewFileFailureWords(bool copying, int error);
// A preview whose planes cannot be had.
std::string PreviewMemoryFailureWords();
