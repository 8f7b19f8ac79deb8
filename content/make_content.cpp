// make-content FOLDER: writes the default content library into FOLDER (the
// maker's folder), making it and its content folders when missing.
#include <cstdio>
#include <filesystem>
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
  // The preset writers go through file records, whose paths are absolute;
  // a folder named from the working folder is made absolute once here.
  std::error_code ec;
  const std::string folder = std::filesystem::absolute(argv[1], ec).lexically_normal().string();
  if (ec) {
    std::fprintf(stderr, "make-content: %s: %s\n", argv[1], ec.message().c_str());
    return 1;
  }
  std::string message;
  if (!content::MakeLibrary(folder, &message) || !content::MakeColourPresets(folder, &message) ||
      !content::MakeLensPresets(folder, &message) || !content::MakeColourRamps(folder, &message) ||
      !content::MakeColourMatrixPresets(folder, &message) ||
      !content::MakeGeneratorPresets(folder, &message) ||
      !content::MakeCombinePresets(folder, &message) ||
      !content::MakePhotoEffectPresets(folder, &message) ||
      !content::MakeResizePresets(folder, &message) ||
      !content::MakeGridPresets(folder, &message)) {
    std::fprintf(stderr, "make-content: %s\n", message.c_str());
    return 1;
  }
  // The stored effects' thumbnails show what each does to the library's generic picture.
  for (const content::Item& item : content::Library()) {
    if (item.path != "Images/generic.tif") continue;
    const content::Picture generic = item.draw();
    if (!content::MakeStoredEffects(folder, generic.pixels.data(), generic.width, generic.height,
                                    &message)) {
      std::fprintf(stderr, "make-content: %s\n", message.c_str());
      return 1;
    }
  }
  const size_t files =
      content::Library().size() + content::ColourPresetPaths().size() +
      content::LensPresetPaths().size() + content::ContentRamps().size() +
      content::ColourMatrixPresetPaths().size() + content::GeneratorPresetPaths().size() +
      content::CombinePresetPaths().size() + content::PhotoEffectPresetPaths().size() +
      content::ResizePresetPaths().size() + content::GridPresetPaths().size();
  std::printf("Content library written to %s (%zu files, %zu stored effects).\n", folder.c_str(),
              files, content::StoredEffects().size());
  return 0;
}
