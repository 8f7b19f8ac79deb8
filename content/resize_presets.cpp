#include "resize_presets.h"

#include <filesystem>

#include "app/core/app_data.h"
#include "engines/correction/resize_record.h"
#include "platform/toolbox/api/scripted_ui.h"

namespace fs = std::filesystem;

namespace content {

namespace {

// The target rectangle's right and bottom edges in 1/100000 of the picture.
struct Preset {
  const char* path;
  int32_t kind;  // 0-7 a resampling filter, 8 content-aware
  int32_t right;
  int32_t bottom;
};

const Preset kPresets[] = {
    {"Presets/Content-aware resize/Narrower by a fifth.hyxl", 8, 80000, 100000},
    {"Presets/Content-aware resize/Lower by a quarter.hyxl", 8, 100000, 75000},
    {"Presets/Content-aware resize/Half size.hyxl", 5, 50000, 50000},
};

// The mask size of a fresh record; the masks scale to the picture's when
// a file is read.
constexpr int32_t kMaskSide = 1000;

}  // namespace

const std::vector<std::string>& ResizePresetPaths() {
  static const std::vector<std::string> paths = [] {
    std::vector<std::string> out;
    for (const Preset& p : kPresets) out.push_back(p.path);
    return out;
  }();
  return paths;
}

bool MakeResizePresets(const std::string& makersFolder, std::string* message) {
  // The writer asks where to save: the answers are the library's own.
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
    Yoxel holder;
    YoxelPar* r = holder.par;
    if (r != nullptr) {
      Init_YoxelPar(r, 0, 0, 72, 0, p.kind);
      Init_YoxelMsk(r, 0);
      r->targetQuad[1] = r->targetQuad[2] = p.right;
      r->targetQuad[6] = r->targetQuad[7] = p.bottom;
    }
    answers.AnswerSaveFile(path.string(), true);
    const FSSpec none{};
    if (ec || r == nullptr || r->protectMask == nullptr ||
        Do_AYoxel_file(1, none, r, 1, kMaskSide, kMaskSide, r->protectMask, r->removeMask) != 0) {
      if (message != nullptr) *message = std::string("cannot write ") + p.path;
      ok = false;
      break;
    }
  }
  gappData = previous;
  return ok;
}

}  // namespace content
