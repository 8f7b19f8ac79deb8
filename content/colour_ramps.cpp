#include "colour_ramps.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <numbers>

#include "app/core/app_data.h"
#include "platform/toolbox/api/scripted_ui.h"

namespace fs = std::filesystem;

namespace content {

namespace {

uint8_t Byte(double v) { return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L)); }

struct Colour {
  double r, g, b;
};

// Entry i of a ramp through colour stops spread evenly from 0 to 255.
LutVign Through(std::initializer_list<Colour> stops, bool fadeOut = false) {
  LutVign lut;
  const std::vector<Colour> s(stops);
  for (int i = 0; i < 256; ++i) {
    const double at = i / 255.0 * static_cast<double>(s.size() - 1);
    const size_t k = std::min(static_cast<size_t>(at), s.size() - 2);
    const double t = at - static_cast<double>(k);
    lut.colour[0][i] = Byte(s[k].r + (s[k + 1].r - s[k].r) * t);
    lut.colour[1][i] = Byte(s[k].g + (s[k + 1].g - s[k].g) * t);
    lut.colour[2][i] = Byte(s[k].b + (s[k + 1].b - s[k].b) * t);
    lut.colour[3][i] = lut.colour[0][i];
    lut.opacity[i] = fadeOut ? static_cast<uint8_t>(255 - i) : 255;
  }
  return lut;
}

// A polished metal: dark at the ends, a bright band where the light falls,
// and a faint grain from a fixed seed.
LutVign Metal(Colour base, Colour light, uint32_t seed) {
  LutVign lut;
  uint32_t state = seed;
  for (int i = 0; i < 256; ++i) {
    const double x = i / 255.0;
    const double sheen = 0.5 + 0.5 * std::cos(2.0 * std::numbers::pi * (x - 0.35) * 1.5);
    state = state * 1664525u + 1013904223u;
    const double grain = (static_cast<double>(state >> 24) - 127.5) / 127.5 * 4.0;
    const double shade = 0.55 + 0.45 * sheen;
    lut.colour[0][i] = Byte(base.r * shade + (light.r - base.r) * sheen * sheen + grain);
    lut.colour[1][i] = Byte(base.g * shade + (light.g - base.g) * sheen * sheen + grain);
    lut.colour[2][i] = Byte(base.b * shade + (light.b - base.b) * sheen * sheen + grain);
    lut.colour[3][i] = lut.colour[0][i];
    lut.opacity[i] = 255;
  }
  return lut;
}

// Hue, saturation 0..1, value 0..1 to 0..255 components.
Colour Hsv(double hue, double s, double v) {
  hue = std::fmod(std::fmod(hue, 360.0) + 360.0, 360.0) / 60.0;
  const int k = static_cast<int>(hue) % 6;
  const double f = hue - std::floor(hue);
  const double p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
  const double rgb[6][3] = {{v, t, p}, {q, v, p}, {p, v, t}, {p, q, v}, {t, p, v}, {v, p, q}};
  return {rgb[k][0] * 255.0, rgb[k][1] * 255.0, rgb[k][2] * 255.0};
}

// Spectrum ramp k of 20: a sweep of hue that starts further round the
// circle for each k, every fourth a half circle only, every fifth fading
// out, with saturation and value waves of their own.
LutVign Spectrum(int k) {
  LutVign lut;
  const double start = 18.0 * k;
  const double span = k % 4 == 3 ? 180.0 : 360.0;
  for (int i = 0; i < 256; ++i) {
    const double x = i / 255.0;
    const double s = 0.75 + 0.25 * std::cos(2.0 * std::numbers::pi * x * (1 + k % 3));
    const double v = 0.85 + 0.15 * std::sin(2.0 * std::numbers::pi * x * (1 + k % 2));
    const Colour c = Hsv(start + span * x, s, v);
    lut.colour[0][i] = Byte(c.r);
    lut.colour[1][i] = Byte(c.g);
    lut.colour[2][i] = Byte(c.b);
    lut.colour[3][i] = lut.colour[0][i];
    lut.opacity[i] = k % 5 == 4 ? static_cast<uint8_t>(255 - i / 2) : 255;
  }
  return lut;
}

std::vector<ContentRamp> Build() {
  std::vector<ContentRamp> out;
  auto add = [&](const char* category, const std::string& name, const LutVign& lut) {
    out.push_back({std::string("Ramps/") + category + "/" + name + ".hvig", category, name, lut});
  };
  add("Basic", "Black to white", Through({{0, 0, 0}, {255, 255, 255}}));
  add("Basic", "White to black", Through({{255, 255, 255}, {0, 0, 0}}));
  add("Basic", "White fading out", Through({{255, 255, 255}, {255, 255, 255}}, true));
  add("Basic", "Sepia", Through({{38, 22, 10}, {150, 105, 62}, {246, 232, 205}}));
  add("Metals", "Gold", Metal({170, 120, 30}, {255, 236, 150}, 11));
  add("Metals", "Silver", Metal({140, 142, 148}, {250, 250, 255}, 12));
  add("Metals", "Copper", Metal({150, 70, 40}, {255, 180, 140}, 13));
  add("Metals", "Bronze", Metal({120, 80, 40}, {230, 180, 110}, 14));
  add("Metals", "Brass", Metal({160, 130, 50}, {250, 230, 140}, 15));
  add("Metals", "Steel", Metal({90, 100, 110}, {210, 220, 230}, 16));
  add("Metals", "Chrome", Metal({60, 64, 72}, {255, 255, 255}, 17));
  for (int k = 0; k < 20; ++k) {
    char name[32];
    std::snprintf(name, sizeof name, "Spectrum %02d", k + 1);
    add("Spectrum", name, Spectrum(k));
  }
  return out;
}

}  // namespace

const std::vector<ContentRamp>& ContentRamps() {
  static const std::vector<ContentRamp> ramps = Build();
  return ramps;
}

bool MakeColourRamps(const std::string& makersFolder, std::string* message) {
  // The ramp writer asks where to save: the answers are the library's own.
  plat::ui::ScriptedUi answers;
  plat::ui::ScopedServices scoped(&answers);
  // The file layer keeps its open files in the application's data.
  TAppData data;
  TAppData* const previous = gappData;
  gappData = &data;
  bool ok = true;
  for (const ContentRamp& r : ContentRamps()) {
    const fs::path path = fs::path(makersFolder) / r.path;
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    fs::remove(path, ec);
    char category[kLutVignTextSize] = {};
    char text[kLutVignTextSize] = {};
    std::strncpy(category, r.category.c_str(), sizeof category - 1);
    std::strncpy(text, r.text.c_str(), sizeof text - 1);
    LutVign copy = r.ramp;
    answers.AnswerSaveFile(path.string());
    FSSpec none{};
    if (Do_ALutVign_file(1, none, &copy, category, text, 0, 0, 0, 0) != 0) {
      if (message != nullptr) *message = "cannot write " + path.string();
      ok = false;
      break;
    }
  }
  gappData = previous;
  return ok;
}

}  // namespace content
