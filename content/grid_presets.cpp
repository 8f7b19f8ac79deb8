#include "grid_presets.h"

#include <cmath>
#include <filesystem>
#include <memory>

#include "app/core/app_data.h"
#include "engines/correction/grid_record.h"
#include "platform/toolbox/api/scripted_ui.h"

namespace fs = std::filesystem;

namespace content {

namespace {

constexpr int32_t kCells = 4;
constexpr int32_t kSmoothing = 90;

// How a preset moves the out node at (column, row) of the 4 x 4 grid, in
// 1/100000 of the picture; the border nodes stay where they are.
struct Preset {
  const char* path;
  void (*move)(int32_t column, int32_t row, int32_t* dx, int32_t* dy);
};

// Away from (or toward) the centre by a share of the node's distance to it.
void Radial(int32_t column, int32_t row, int32_t percent, int32_t* dx, int32_t* dy) {
  const int32_t x = column * 100000 / kCells - 50000;
  const int32_t y = row * 100000 / kCells - 50000;
  *dx = x * percent / 100;
  *dy = y * percent / 100;
}

const Preset kPresets[] = {
    {"Presets/Grid warp/Bulge.hxgr", [](int32_t c, int32_t r, int32_t* dx, int32_t* dy) { Radial(c, r, 30, dx, dy); }},
    {"Presets/Grid warp/Pinch.hxgr", [](int32_t c, int32_t r, int32_t* dx, int32_t* dy) { Radial(c, r, -30, dx, dy); }},
    {"Presets/Grid warp/Wave.hxgr",
     [](int32_t c, int32_t r, int32_t* dx, int32_t* dy) {
       *dx = 0;
       *dy = (c % 2 == 0 ? 1 : -1) * (r % 2 == 0 ? 4000 : -4000);
     }},
    {"Presets/Grid warp/Lean.hxgr",
     [](int32_t, int32_t r, int32_t* dx, int32_t* dy) {
       *dx = (kCells - r) * 2500;
       *dy = 0;
     }},
};

// One smooth grid whose inner out nodes the preset moves.
void Fill(GridPar* record, const Preset& p) {
  Init_GridPar(record, 0, 0, kCells, kCells, 1, 3, 1, 1);
  GridInfo& g = record->grids[0];
  g.w[kGiCurvature] = kSmoothing;
  for (int32_t row = 1; row < kCells; ++row)
    for (int32_t column = 1; column < kCells; ++column) {
      int32_t dx = 0, dy = 0;
      p.move(column, row, &dx, &dy);
      const int32_t k = row * (kCells + 1) + column;
      g.node[kGaOut + kGaX][k] += dx;
      g.node[kGaOut + kGaY][k] += dy;
    }
}

}  // namespace

const std::vector<std::string>& GridPresetPaths() {
  static const std::vector<std::string> paths = [] {
    std::vector<std::string> out;
    for (const Preset& p : kPresets) out.push_back(p.path);
    return out;
  }();
  return paths;
}

bool MakeGridPresets(const std::string& makersFolder, std::string* message) {
  // The grid writer asks where to save: the answers are the library's own.
  plat::ui::ScriptedUi answers;
  plat::ui::ScopedServices scoped(&answers);
  TAppData data;
  TAppData* const previous = gappData;
  gappData = &data;
  bool ok = true;
  // The record is 23 MB: one, reused.
  auto record = std::make_unique<GridPar>();
  for (const Preset& p : kPresets) {
    const fs::path path = fs::path(makersFolder) / p.path;
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    // The picture size is the document's when a preset is read; a preset
    // carries no selection.
    Fill(record.get(), p);
    answers.AnswerSaveFile(path.string(), true);
    const FSSpec none{};
    if (ec || Do_AGrid_file(1, none, record.get(), 0, 0, 0, nullptr) != 0) {
      if (message != nullptr) *message = std::string("cannot write ") + p.path;
      ok = false;
      break;
    }
  }
  gappData = previous;
  return ok;
}

}  // namespace content
