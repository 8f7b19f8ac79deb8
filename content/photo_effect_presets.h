// The presets of the fractal, tessellation and photo-repeat dialogs in the default content
// library: five fractals (each its own formula, constant and ramp, so the
// fractal dialog's strip of samples has something to show), three
// tessellations (image, ramp and photo fills) and three repeats, written by the families' own preset writers.
#pragma once

#include <string>
#include <vector>

#include "generator_presets.h"

namespace content {

const std::vector<GeneratorPreset>& PhotoEffectPresets();

// Where each preset goes below the maker's folder.
const std::vector<std::string>& PhotoEffectPresetPaths();

// Writes every preset (files already there are replaced). False, with a
// message, on the first failure.
bool MakePhotoEffectPresets(const std::string& makersFolder, std::string* message);

}  // namespace content
