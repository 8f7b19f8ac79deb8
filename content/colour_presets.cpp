#include "colour_presets.h"

#include <filesystem>
#include <initializer_list>

#include "app/core/app_data.h"
#include "engines/correction/colour_correction.h"
#include "platform/toolbox/api/scripted_ui.h"

namespace fs = std::filesystem;

namespace content {

namespace {

struct Preset {
  const char* path;
  int16_t effect;
  int32_t first;                      // the first word set
  std::initializer_list<int32_t> words;  // from `first` on
  int32_t mixPercent = 100;           // channel mixing only
};

// A warm mix: more red from red, a little less blue, as a matrix of source
// rows (red, green, blue, fourth, constant) by outputs (red, green, blue).
constexpr int32_t kWarm[5][3] = {{112, 0, 0}, {-6, 100, 0}, {-6, 0, 90}, {0, 0, 0}, {0, 2, -4}};

const Preset kPresets[] = {
    // Noise reduction: mutate, amount, iterations, mode.
    {"Presets/Noise reduction/Light.sse4", 103, kCCNoise, {100, 25, 1, 0}},
    {"Presets/Noise reduction/Medium.sse4", 103, kCCNoise, {100, 50, 2, 0}},
    {"Presets/Noise reduction/Strong.sse4", 103, kCCNoise, {100, 80, 4, 0}},
    // Smoothing: mutate, amount, iterate, detail, gradient, mode. The amount
    // is twice the smart blur's radius and iterate its threshold (neighbours
    // nearer than it in every channel are averaged in); the detail is the gain
    // of a contrast mask laid over the blur, the guide's high pass (of the
    // gradient's smoothing step) added back, and on a grainy photograph that
    // is the grain, amplified. So the stronger the preset, the wider and more
    // tolerant the blur and the less detail it gives back: a detail that grew
    // with the strength made Strong grainier than the picture it smoothed.
    // Strong's threshold stays low enough that a picture without grain keeps
    // its hard edges (it moves by under a level).
    {"Presets/Smoothing/Light.sse5", 104, kCCSmoothing, {100, 10, 40, 15, 15, 0}},
    {"Presets/Smoothing/Medium.sse5", 104, kCCSmoothing, {100, 20, 50, 5, 25, 0}},
    {"Presets/Smoothing/Strong.sse5", 104, kCCSmoothing, {100, 40, 60, 0, 40, 0}},
    // Focus: mutate, iterations, amount and threshold of each group
    // interleaved (deblur, denoise, sharpen, edge blur). The presets differ in
    // the sharpening group alone and switch on only it; the other groups keep
    // their defaults for whoever switches them on. The sharpening adds the
    // difference from a pyramid blur of the iterations' radius, times the
    // amount, in whole levels: on a photograph soft at its own pixels, as a
    // camera's is, a radius of 2 at amount 30 rounded to nothing almost
    // everywhere (a twelfth of Medium's change or less). So Light reaches far
    // enough to change such a photograph by about half of what Medium does;
    // the radii follow the blur's spread, which is less at 8 than at 7, and
    // Medium's and Strong's still show in a preview fitted to a photograph
    // of 6000 pixels.
    {"Presets/Focus/Light.sse3", 105, kCCFocus, {100, 100, 100, 100, 2, 2, 5, 5, 30, 20, 50, 5, 0, 20, 2, 40}},
    {"Presets/Focus/Medium.sse3", 105, kCCFocus, {100, 100, 100, 100, 2, 2, 7, 5, 30, 20, 70, 5, 0, 20, 2, 40}},
    {"Presets/Focus/Strong.sse3", 105, kCCFocus, {100, 100, 100, 100, 2, 2, 10, 5, 30, 20, 90, 5, 0, 20, 1, 40}},
    // Channel mixing: the warm mix at a third, two thirds and in full.
    {"Presets/Channel mixing/Light.sse2", 119, 0, {}, 35},
    {"Presets/Channel mixing/Medium.sse2", 119, 0, {}, 65},
    {"Presets/Channel mixing/Strong.sse2", 119, 0, {}, 100},
};

void Fill(const Preset& p, ColCorPar* r) {
  Init_ColCorPar(r, 0, 0, 72, p.effect, 0, 0);
  // The mode word is a mask of the groups (1 deblur, 2 denoise, 4 sharpen,
  // 8 edge blur), not a group's number.
  if (p.effect == 105) r->w[kCCFocusMode] = 4;
  int32_t at = p.first;
  for (int32_t v : p.words) r->w[at++] = v;
  if (p.effect != 119) return;
  r->w[kCCMixPercent] = p.mixPercent;
  for (int source = 0; source < 5; ++source)
    for (int output = 0; output < 3; ++output) r->w[kCCMatrix + 4 * source + output] = kWarm[source][output];
}

}  // namespace

const std::vector<std::string>& ColourPresetPaths() {
  static const std::vector<std::string> paths = [] {
    std::vector<std::string> out;
    for (const Preset& p : kPresets) out.push_back(p.path);
    return out;
  }();
  return paths;
}

bool MakeColourPresets(const std::string& makersFolder, std::string* message) {
  // The preset writer asks where to save: the answers are the library's own.
  plat::ui::ScriptedUi answers;
  plat::ui::ScopedServices scoped(&answers);
  // The file layer keeps its open files in the application's data.
  TAppData data;
  TAppData* const previous = gappData;
  gappData = &data;
  for (const Preset& p : kPresets) {
    const fs::path path = fs::path(makersFolder) / p.path;
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    ColCorPar record;
    Fill(p, &record);
    answers.AnswerSaveFile(path.string(), true);
    const FSSpec none{};
    if (ec || Do_AColCor_file(1, none, &record, p.effect) != 0) {
      if (message != nullptr) *message = std::string("cannot write ") + p.path;
      gappData = previous;
      return false;
    }
  }
  gappData = previous;
  return true;
}

}  // namespace content
