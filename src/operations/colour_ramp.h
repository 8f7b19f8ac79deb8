// The colour ramp table of the ramp-painting operations, copied before use
// so that the caller's table is never changed: row 0 the ramp's opacity,
// rows 1 to 4 its channel values. A CMYK layer wants inks, so rows 1 to 3
// are converted colour by colour into four ink rows first.
#pragma once

#include <cstdint>

struct RampRows {
  // Which ink goes into which of rows 1 to 4 after the conversion: the
  // colour ramps fill cyan, magenta, yellow, black; the luminance ramps
  // fill yellow, magenta, cyan, black.
  enum class Inks { kCMYK, kYMCK };

  unsigned char rows[5][256];

  RampRows(const unsigned char* ramp, bool rgb, Inks order = Inks::kCMYK);

 private:
  void ToInks(Inks order);
};
