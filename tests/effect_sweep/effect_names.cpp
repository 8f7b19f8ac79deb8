// Short names of the effect numbers for the contact sheet: what each runs.
#include "sweep_support.h"

namespace sweep {

const char* EffectName(int32_t effect) {
  static const char* const kNames[123] = {
      "",                                                                          // 0
      "family key", "replace", "add", "subtract", "difference", "multiply",       // 1-6
      "maxima", "minima", "invert", "fill", "blur", "emboss", "curve", "levels",  // 7-14
      "posterize", "brightness", "contrast", "hue/sat", "offset", "displace",     // 15-20
      "displace file", "colour matrix", "lum to colour", "image file",            // 21-24
      "texture file", "path file", "path fill", "path sweep", "colour wave",      // 25-29
      "envelope", "family key", "wind", "shadow", "contour", "no op", "no op",    // 30-36
      "colour frame", "image frame", "image frame 90", "weave frame",             // 37-40
      "photo repeat", "plaid", "weave", "find edge", "family key", "list load",   // 41-46
      "contour 0", "contour 1", "super gradient", "screen", "no case",            // 47-51
      "texture relief", "transform", "flip", "median", "kaleido", "family key",   // 52-57
      "tessellation", "family key", "channels", "path frame", "family key",       // 58-62
      "noise", "not routed", "sharpen", "unsharp", "deblur", "denoise", "foggy",  // 63-69
      "high pass", "sinus wave", "median", "no op", "no op", "frame tiled",       // 70-75
      "family key", "texture gen", "posterize wu", "colour circle", "cast shadow",  // 76-80
      "cookie cutter", "painter", "radial blur", "motion blur", "lens blur",       // 81-85
      "colour range", "despeckle", "skeleton", "family key", "extrusion",         // 86-90
      "geo levels", "combination", "no op", "backdrop", "twirl", "save buffer",   // 91-96
      "recall buffer", "plasma", "aggregation", "fractals", "resize", "grid warp",  // 97-102
      "colour corr", "colour corr", "colour corr", "borders", "mirror",           // 103-107
      "convolution", "star", "spirograph", "composition", "deinterlace",          // 108-112
      "lens corr", "family key", "family key", "family key", "family key",        // 113-117
      "tool window", "colour corr", "mosaic", "black/white", "film grain",        // 118-122
  };
  return effect >= 0 && effect <= 122 ? kNames[effect] : "";
}

}  // namespace sweep
