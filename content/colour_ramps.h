// The colour ramps of the default content library: the ramp library that the
// colour-ramp editor's popups and the ramp browser list, in three categories
// ("Basic", "Metals", "Spectrum"), each ramp drawn from a formula (the few
// random touches from fixed seeds), so every run writes the same bytes.
#pragma once

#include <string>
#include <vector>

#include "script/lut_vign.h"

namespace content {

struct ContentRamp {
  std::string path;      // below the maker's folder
  std::string category;  // the ramp file's first text
  std::string text;      // its second text
  LutVign ramp;
};

// Every ramp of the library, in the order it is written.
const std::vector<ContentRamp>& ContentRamps();

// Writes every ramp through the ramp writer (files already there are
// replaced). False, with a message, on the first failure.
bool MakeColourRamps(const std::string& makersFolder, std::string* message);

}  // namespace content
