// The presets of the four colour-correction dialogs in the default content
// library: a light, a medium and a strong setting of noise reduction,
// smoothing, focus and channel mixing, so that a new user's preset popups
// offer something to start from.
#pragma once

#include <string>
#include <vector>

namespace content {

// Where each preset goes below the maker's folder.
const std::vector<std::string>& ColourPresetPaths();

// Writes every preset through the engines' own preset writer (files already
// there are replaced). False, with a message, on the first failure.
bool MakeColourPresets(const std::string& makersFolder, std::string* message);

}  // namespace content
