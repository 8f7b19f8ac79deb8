// The presets of the generator dialogs in the default content library:
// three textures, three spirographs, three stars, three cookie cutters, three
// plaids and four weave patterns, so that a new user's preset popups offer
// something to start from.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/types/mac_types.h"

namespace content {

// One preset: where it goes below the maker's folder, its file type, and its
// write (mode 1 of the family's writer, to the path the save dialog answers).
struct GeneratorPreset {
  const char* path;
  OSType type;
  std::function<int16_t()> write;
};

const std::vector<GeneratorPreset>& GeneratorPresets();

// Where each preset goes below the maker's folder.
const std::vector<std::string>& GeneratorPresetPaths();

// Writes every preset through its family's own preset writer (files already
// there are replaced). False, with a message, on the first failure.
bool MakeGeneratorPresets(const std::string& makersFolder, std::string* message);

}  // namespace content
