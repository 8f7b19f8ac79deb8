// The stored combinations ('hCim') of the default content library, so that
// the combine-images dialog's preset thumbnails show something at once: a
// two-image overlay, a four-corner collage, a textured stack and an edged
// vignette, each made of the library's own pictures.
#pragma once

#include <string>
#include <vector>

struct CombImaPar;
struct fichier;

namespace content {

// A picture of the library by its content folder and name ("Tiles/brick.tif"),
// as the presets name it: a relative colon path found by name in any session.
fichier ContentFile(const char* rel);

// Where each combination goes below the maker's folder.
const std::vector<std::string>& CombinePresetPaths();

// Fills combination k (0-based, in the order of CombinePresetPaths) with the
// library's pictures, each named by its content folder and name.
void BuildCombinePreset(size_t k, CombImaPar* record);

// Writes every combination through the engines' own preset writer (files
// already there are replaced). False, with a message, on the first failure.
bool MakeCombinePresets(const std::string& makersFolder, std::string* message);

}  // namespace content
