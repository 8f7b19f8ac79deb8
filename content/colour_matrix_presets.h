// The presets of the colour-matrix dialog in the default content library: a
// warm corner, a cool gradient and a masked centre, painted on the matrix
// with the dialog's own grid tools.
#pragma once

#include <string>
#include <vector>

namespace content {

// Where each preset goes below the maker's folder.
const std::vector<std::string>& ColourMatrixPresetPaths();

// Writes every preset through the engine's own preset writer (files already
// there are replaced). False, with a message, on the first failure.
bool MakeColourMatrixPresets(const std::string& makersFolder, std::string* message);

}  // namespace content
