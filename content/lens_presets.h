// The presets of the lens-correction dialog in the default content library:
// barrel and pincushion corrections, a vignette lift and a fringe fix, so
// that its preset popup offers something to start from.
#pragma once

#include <string>
#include <vector>

namespace content {

// Where each preset goes below the maker's folder.
const std::vector<std::string>& LensPresetPaths();

// Writes every preset through the engine's own preset writer (files already
// there are replaced). False, with a message, on the first failure.
bool MakeLensPresets(const std::string& makersFolder, std::string* message);

}  // namespace content
