// The fitted preview of a combined-layer file, as the image tools render
// their preview and their stored preview: the picture fitted into the first
// samples of the view's planes, the layers over it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/core/file_records.h"
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
