// The settings files of the content-aware resize dialog in the default
// content library: seam-carving runs that narrow or lower the picture and a
// plain half-size resample, for its load button to start from.
#pragma once

#include <string>
#include <vector>

namespace content {

// Where each file goes below the maker's folder.
const std::vector<std::string>& ResizePresetPaths();

// Writes every file through the engine's own writer, with both masks empty
// (files already there are replaced). False, with a message, on the first
// failure.
bool MakeResizePresets(const std::string& makersFolder, std::string* message);

}  // namespace content
