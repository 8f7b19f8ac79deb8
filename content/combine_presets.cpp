#include "combine_presets.h"

#include <filesystem>
#include <memory>

#include "app/core/app_data.h"
#include "app/core/pascal_strings.h"
#include "engines/patterns/image_combination_record.h"
#include "script/lut_vign.h"
#include "platform/toolbox/api/scripted_ui.h"

namespace fs = std::filesystem;

namespace content {

// A picture of the library by its name and its content folder, as a
// relative colon path (":Images:"): the presets hold no place of their own
// making, so they read the same wherever the library is installed, and the
// engines find the pictures in the session's content folders by name.
fichier ContentFile(const char* rel) {
  fichier f;
  Init_FicStruct(&f);
  const fs::path p(rel);
  std::string folder = ":";
  for (const fs::path& part : p.parent_path()) folder += part.string() + ":";
  SetPStr(f.path, folder);
  SetPStr(f.name, p.filename().string());
  f.creator = FourCC("vMkC");
  return f;
}

namespace {

// One picture of a combination: its file below the maker's folder, where its
// corners go (percent of the picture, x from the left, y upward) and how it
// is laid on.
struct Layer {
  const char* file;
  int32_t x0, y0, x1, y1;  // the rectangle its four corners span
  int32_t opacity = 100;
  int32_t blendMode = 0;
  int32_t edge = 0;
  int32_t edgeColour = 0;  // grey of the edge colouring
  const char* texture = nullptr;
  int32_t across = 0, down = 0;
};

struct Combination {
  const char* path;
  std::vector<Layer> layers;
};

// The engine lays each picture over the whole picture area, black outside
// its corners: the pictures laid over the first take a blend mode in which
// black leaves what is under it (screen, lighten).
const std::vector<Combination>& Combinations() {
  static const std::vector<Combination> all = {
      {"Presets/Combine images/Two-image overlay.hcim",
       {{"Images/sunset.jpg", 0, 0, 100, 100},
        {"Images/mirvder_rose.tif", 20, 15, 80, 85, 70, 7}}},
      {"Presets/Combine images/Four-corner collage.hcim",
       {{"Images/generic.tif", 0, 50, 50, 100},
        {"Images/sunset.jpg", 50, 50, 100, 100, 100, 3},
        {"Tiles/marble.jpg", 0, 0, 50, 50, 100, 3},
        {"Images/mirvder_rose.tif", 50, 0, 100, 50, 100, 3}}},
      {"Presets/Combine images/Textured stack.hcim",
       {{"Images/generic.tif", 0, 0, 100, 100},
        {"Tiles/brick.tif", 10, 10, 90, 90, 60, 3, 0, 0, "HaldenF/canvas.tif", 4, 3}}},
      // The edge colouring finds its edges in each channel of its picture: set on a colour
      // picture shown through a grey ramp it draws the channels' own contour lines in
      // colour, so it is set on the grey vignette, whose channels agree.
      {"Presets/Combine images/Edged vignette.hcim",
       {{"Images/sunset.jpg", 5, 5, 95, 95},
        {"Images/Edges/vignette.tif", 0, 0, 100, 100, 80, 6, 3, 40}}},
  };
  return all;
}

void Lay(const Layer& l, CombImaPar* r) {
  const fichier image = ContentFile(l.file);
  const int16_t at = static_cast<int16_t>(r->head.count);
  AddCombIma(r, at, &image);
  CombImaInfo& info = r->infos[at];
  const int32_t xs[4] = {l.x0, l.x1, l.x1, l.x0};
  const int32_t ys[4] = {l.y0, l.y0, l.y1, l.y1};
  for (int k = 0; k < 4; ++k) {
    info.cornerX[k] = xs[k];
    info.cornerY[k] = ys[k];
  }
  // The ramp colours the picture's grey: full opacity, black to white, so the
  // pictures come through as greys.
  Init_LutVign(0, &info.ramp, 0, 0, 0, 0);
  info.opacity = l.opacity;
  info.blendMode = l.blendMode;
  info.edge = l.edge;
  for (int32_t& c : info.edgeColour) c = l.edgeColour;
  if (l.texture != nullptr) {
    r->textures[at] = ContentFile(l.texture);
    info.textureOn = 1;
    info.textureAcross = l.across;
    info.textureDown = l.down;
  }
}

}  // namespace

const std::vector<std::string>& CombinePresetPaths() {
  static const std::vector<std::string> paths = [] {
    std::vector<std::string> out;
    for (const Combination& c : Combinations()) out.push_back(c.path);
    return out;
  }();
  return paths;
}

void BuildCombinePreset(size_t k, CombImaPar* record) {
  Init_CombImaPar(record, 1);
  if (k >= Combinations().size()) return;
  for (const Layer& l : Combinations()[k].layers) Lay(l, record);
  record->head.current = 0;
}

bool MakeCombinePresets(const std::string& makersFolder, std::string* message) {
  // The preset writer asks where to save: the answers are the library's own.
  plat::ui::ScriptedUi answers;
  plat::ui::ScopedServices scoped(&answers);
  TAppData data;
  TAppData* const previous = gappData;
  gappData = &data;
  auto record = std::make_unique<CombImaPar>();
  bool ok = true;
  for (size_t k = 0; k < Combinations().size() && ok; ++k) {
    const fs::path path = fs::path(makersFolder) / Combinations()[k].path;
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    BuildCombinePreset(k, record.get());
    answers.AnswerSaveFile(path.string(), true);
    const FSSpec none{};
    ok = !ec && Do_ACombIma_file(1, none, record.get()) == 0;
    if (!ok && message != nullptr) *message = std::string("cannot write ") + Combinations()[k].path;
  }
  gappData = previous;
  return ok;
}

}  // namespace content
