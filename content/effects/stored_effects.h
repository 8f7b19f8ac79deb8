// The stored effects of the default content library: for every effect family with a list
// file, a few effect files of the family's type, in two or three categories, each holding
// one operation of the family's kinds with values of its own and a 130 x 130 thumbnail
// rendered on the library's generic picture, so that a new user's browsers are not empty.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace content {

struct StoredEffect {
  int16_t family;
  const char* name;      // file name without its extension
  const char* category;  // the text the browsers file it under
  int16_t effect;        // one of the family's kinds
  int16_t params[5];
};

// Every stored effect of the library, family by family.
const std::vector<StoredEffect>& StoredEffects();

// Writes every stored effect into "Effects/<family>/" below `makersFolder` (those of the
// image tools, family 118, into `makersFolder` itself as well), rendering its thumbnail on
// `picture` (width x height pixels of 4 bytes, row 0 at the top). False, with a message,
// on the first failure.
bool MakeStoredEffects(const std::string& makersFolder, const uint8_t* picture, uint32_t width,
                       uint32_t height, std::string* message);

}  // namespace content
