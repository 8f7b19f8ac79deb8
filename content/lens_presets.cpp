#include "lens_presets.h"

#include <filesystem>
#include <initializer_list>
#include <utility>

#include "app/core/app_data.h"
#include "engines/correction/lens_correction.h"
#include "platform/toolbox/api/scripted_ui.h"

namespace fs = std::filesystem;

namespace content {

namespace {

struct Preset {
  const char* path;
  std::initializer_list<std::pair<int32_t, int32_t>> words;  // word, value
};

// Each starts from the record's defaults (the lens switch on, the vignette
// and fringe switches off) and sets what it is about.
const Preset kPresets[] = {
    {"Presets/Lens correction/Barrel.hznd", {{kZndDistortH, -30}, {kZndDistortV, -30}, {kZndSize, 8}}},
    {"Presets/Lens correction/Pincushion.hznd", {{kZndDistortH, 25}, {kZndDistortV, 25}, {kZndSize, -4}}},
    {"Presets/Lens correction/Vignette lift.hznd",
     {{kZndMutateOn, 0}, {kZndVignetteOn, 1}, {kZndBrightness, 40}, {kZndBrightness + 1, 40},
      {kZndBrightness + 2, 40}, {kZndBalance, 60}}},
    {"Presets/Lens correction/Fringe fix.hznd",
     {{kZndMutateOn, 0}, {kZndFringeOn, 1}, {kZndFringe, 102}, {kZndFringe + 1, 100}, {kZndFringe + 2, 98}}},
};

}  // namespace

const std::vector<std::string>& LensPresetPaths() {
  static const std::vector<std::string> paths = [] {
    std::vector<std::string> out;
    for (const Preset& p : kPresets) out.push_back(p.path);
    return out;
  }();
  return paths;
}

bool MakeLensPresets(const std::string& makersFolder, std::string* message) {
  // The preset writer asks where to save: the answers are the library's own.
  plat::ui::ScriptedUi answers;
  plat::ui::ScopedServices scoped(&answers);
  // The file layer keeps its open files in the application's data.
  TAppData data;
  TAppData* const previous = gappData;
  gappData = &data;
  bool ok = true;
  for (const Preset& p : kPresets) {
    const fs::path path = fs::path(makersFolder) / p.path;
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    // The image size is the document's when a preset is read.
    ZondracPar record;
    Init_ZondracPar(&record, 0, 0, 72, 20, 20, 2);
    for (const auto& [word, value] : p.words) record.w[word] = value;
    answers.AnswerSaveFile(path.string(), true);
    const FSSpec none{};
    if (ec || Do_AZondrac_file(1, none, &record) != 0) {
      if (message != nullptr) *message = std::string("cannot write ") + p.path;
      ok = false;
      break;
    }
  }
  gappData = previous;
  return ok;
}

}  // namespace content
