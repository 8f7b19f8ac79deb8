// make-content FOLDER: writes the default content library into FOLDER (the
// maker's folder), making it and its content folders when missing.
#include <cstdio>
#include <string>

#include "colour_matrix_presets.h"
#include "colour_presets.h"
#include "colour_ramps.h"
#include "combine_presets.h"
#include "content/effects/stored_effects.h"
#include "content_images.h"
#include "generator_presets.h"
#include "grid_presets.h"
#include "lens_presets.h"
#include "photo_effect_presets.h"
#include "resize_presets.h"

int main(int argc, char** argv) {
  if (argc != 2 || argv[1][0] == '\0') {
    std::fprintf(stderr, "usage: make-content FOLDER\n");
    return 2;
  }
  std::string message;
  if (!content::MakeLibrary(argv[1], &message) || !content::MakeColourPresets(argv[1], &message) ||
      !content::MakeLensPresets(argv[1], &message) || !content::MakeColourRamps(argv[1], &message) ||
      !content::MakeColourMatrixPresets(argv[1], &message) || !content::MakeGeneratorPresets(argv[1], &message) ||
      !content::MakeCombinePresets(argv[1], &message) || !content::MakePhotoEffectPresets(argv[1], &message) ||
      !content::MakeResizePresets(argv[1], &message) || !content::MakeGridPresets(argv[1], &message)) {
    std::fprintf(stderr, "make-content: %s\n", message.c_str());
    return 1;
  }
  // The stored effects' thumbnails show what each does to the library's generic picture.
  for (const content::Item& item : content::Library()) {
    if (item.path != "Images/generic.tif") continue;
    const content::Picture generic = item.draw();
    if (!content::MakeStoredEffects(argv[1], generic.pixels.data(), generic.width, generic.height,
                                    &message)) {
      std::fprintf(stderr, "make-content: %s\n", message.c_str());
      return 1;
    }
  }
  const size_t files =
      content::Library().size() + content::ColourPresetPaths().size() + content::LensPresetPaths().size() +
      content::ContentRamps().size() + content::ColourMatrixPresetPaths().size() +
      content::GeneratorPresetPaths().size() + content::CombinePresetPaths().size() +
      content::PhotoEffectPresetPaths().size() + content::ResizePresetPaths().size() +
      content::GridPresetPaths().size();
  std::printf("Content library written to %s (%zu files, %zu stored effects).\n", argv[1], files,
              content::StoredEffects().size());
  return 0;
}
