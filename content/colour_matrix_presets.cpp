#include "colour_matrix_presets.h"

#include <filesystem>
#include <initializer_list>

#include "app/core/app_data.h"
#include "engines/correction/colour_matrix.h"
#include "platform/toolbox/api/scripted_ui.h"

namespace fs = std::filesystem;

namespace content {

namespace {

// One click of the dialog: the grid tool, the cell (column, row from the
// bottom), the channels it reaches and what it paints them with.
struct Stroke {
  int32_t tool;
  int16_t column, row;
  int32_t on[4];
  int32_t value[4];
};

struct Preset {
  const char* path;
  std::initializer_list<Stroke> strokes;
  int32_t shape;  // the shape the dialog opens with
};

const Preset kPresets[] = {
    // Orange light falling off from the top right corner.
    {"Presets/Colour matrix/Warm corner.hcma",
     {{4, 0, 0, {1, 1, 1, 1}, {255, 255, 255, 255}}, {5, 26, 26, {1, 1, 1, 1}, {255, 170, 80, 150}}},
     5},
    // Blue on the left to cyan on the right, half kept.
    {"Presets/Colour matrix/Cool gradient.hcma",
     {{4, 0, 0, {1, 1, 1, 1}, {140, 200, 255, 128}}, {2, 0, 16, {1, 1, 1, 0}, {90, 120, 255, 0}},
      {2, 32, 16, {1, 1, 1, 0}, {150, 235, 240, 0}}},
     2},
    // The picture kept in the middle, a dark frame around it.
    {"Presets/Colour matrix/Masked centre.hcma",
     {{4, 0, 0, {1, 1, 1, 1}, {30, 30, 40, 0}}, {5, 16, 16, {0, 0, 0, 1}, {0, 0, 0, 255}}},
     5},
};

}  // namespace

const std::vector<std::string>& ColourMatrixPresetPaths() {
  static const std::vector<std::string> paths = [] {
    std::vector<std::string> out;
    for (const Preset& p : kPresets) out.push_back(p.path);
    return out;
  }();
  return paths;
}

bool MakeColourMatrixPresets(const std::string& makersFolder, std::string* message) {
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
    ColMatPar record;
    Init_ColMatPar(&record);
    for (const Stroke& s : p.strokes) {
      record.tool = s.tool;
      Calc_vign(&record, s.column, s.row, 0, s.on[0], s.on[1], s.on[2], s.on[3], s.value[0], s.value[1], s.value[2],
                s.value[3]);
    }
    record.tool = p.shape;
    answers.AnswerSaveFile(path.string(), true);
    const FSSpec none{};
    if (ec || Do_AColMatPar_file(1, none, &record) != 0) {
      if (message != nullptr) *message = std::string("cannot write ") + p.path;
      ok = false;
      break;
    }
  }
  gappData = previous;
  return ok;
}

}  // namespace content
