// The presets of the grid-warp dialog in the default content library: a
// bulge, a pinch, a wave and a lean, each one smooth 4 x 4 grid, so that its
// preset popup offers something to start from.
#pragma once

#include <string>
#include <vector>

namespace content {

// Where each preset goes below the maker's folder.
const std::vector<std::string>& GridPresetPaths();

// Writes every preset through the engine's own grid file writer (files
// already there are replaced). False, with a message, on the first failure.
bool MakeGridPresets(const std::string& makersFolder, std::string* message);

}  // namespace content
