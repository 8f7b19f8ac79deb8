#include "photo_effect_presets.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>

#include "app/core/app_data.h"
#include "combine_presets.h"
#include "engines/patterns/border_record.h"
#include "engines/patterns/fractal_record.h"
#include "engines/tessellation/photo_repeat_record.h"
#include "engines/tessellation/tessellation_record.h"
#include "platform/toolbox/api/scripted_ui.h"

namespace fs = std::filesystem;

namespace content {

namespace {

struct Stop {
  int at;  // ramp entry 0..255
  int r, g, b;
};

// An opaque ramp through colour stops (the first at 0, the last at 255),
// each span blended linearly.
void Stops(LutVign* ramp, std::initializer_list<Stop> stops) {
  Init_LutVign(0, ramp, 0, 0, 0, 0);
  const std::vector<Stop> s(stops);
  for (size_t k = 0; k + 1 < s.size(); ++k) {
    const Stop& a = s[k];
    const Stop& b = s[k + 1];
    for (int i = a.at; i <= b.at; ++i) {
      const int span = std::max(1, b.at - a.at), t = i - a.at;
      ramp->colour[0][i] = static_cast<uint8_t>(a.r + (b.r - a.r) * t / span);
      ramp->colour[1][i] = static_cast<uint8_t>(a.g + (b.g - a.g) * t / span);
      ramp->colour[2][i] = static_cast<uint8_t>(a.b + (b.b - a.b) * t / span);
    }
  }
}

// A fractal of `type` with its constant, window and settings.
int16_t Fractal(int16_t type, double re, double im, const std::function<void(FractInfo*)>& set) {
  FractPar r;
  Init_FractPar(&r, type, 0);
  FractInfo* e = &r.entries[0];
  SetFractFixed(&e->w[kFraConstRe], re);
  SetFractFixed(&e->w[kFraConstIm], im);
  set(e);
  return Do_AFract_file(1, FSSpec{}, &r);
}

void Window(FractInfo* e, double xMin, double xMax, double yMin, double yMax) {
  SetFractFixed(&e->w[kFraWindowLeft], xMin);
  SetFractFixed(&e->w[kFraWindowRight], xMax);
  SetFractFixed(&e->w[kFraWindowTop], yMin);
  SetFractFixed(&e->w[kFraWindowBottom], yMax);
}

// A tessellation of symmetry `type`, its tile count from the type, filled
// from `fill` (0 photo, 1 ramps, 2 tile images).
int16_t Tessellation(int32_t type, int32_t count, int32_t fill, const std::function<void(TessPar*)>& set) {
  auto r = std::make_unique<TessPar>();
  Init_TessPar(r.get(), 1, 1, 1);
  r->head.w[kTessSymmetry] = type;
  r->head.w[kTessSetsInUse] = count;
  r->head.w[kTessTileSource] = fill;
  Init_TessParQuad(r.get(), static_cast<int16_t>(type), -1);
  set(r.get());
  return Do_ATessPar_file(1, FSSpec{}, r.get());
}

// A repeat of columns x rows over the library's default tile picture,
// named as the library's combinations name their pictures.
int16_t Repeat(int16_t columns, int16_t rows, const std::function<void(RepPar*)>& set) {
  auto r = std::make_unique<RepPar>();
  Init_RepPar(r.get(), 1, columns, rows);
  r->tiles[0] = ContentFile("Images/generic.tif");
  set(r.get());
  return Do_ARepPar_file(1, FSSpec{}, r.get());
}

// Orientations 0..6 drawn as the dialog's 'Bran' draws them, from a fixed
// seed of a generator of our own, so the file is the same on every run.
void TurnedCells(RepPar* r) {
  uint32_t state = 20240607u;
  for (RepInfo& cell : r->cells) {
    state = state * 1103515245u + 12345u;
    const auto v = static_cast<int16_t>((state >> 8) & 0xFFFF);
    cell.w[kCellOrientation] = std::abs(v % 7);
  }
}

// Every other row moved across by half a cell, the shifts by rows.
void ShiftedRows(RepPar* r) {
  r->grid.w[11] = 1;
  for (int32_t row = 0; row < kRepMaxSide; ++row) r->grid.w[kRepRowShift + row] = row % 2 == 1 ? 50 : 0;
}

}  // namespace

// A border of `layers` layers over a 600 x 400 picture, each filled from
// images (fill 1) or ramps (fill 0), adjusted by `set`.
int16_t Border(int32_t layers, int16_t fill, const std::function<void(BordPar*)>& set) {
  auto r = std::make_unique<BordPar>();
  Init_BordPar(r.get(), 600, 400, 1, 1, 1, fill);
  r->head.layerCount = layers;
  set(r.get());
  return Do_ABordPar_file(1, FSSpec{}, r.get());
}

// Every tile of `layer` takes image or ramp `image`.
void AllTiles(BordLay* layer, int32_t image) {
  for (BordTile& t : layer->tiles) t.image = image;
}

const std::vector<GeneratorPreset>& PhotoEffectPresets() {
  static const std::vector<GeneratorPreset> presets = {
      {"Presets/Fractals/Dendrite.hfra", FourCC("hFra"), [] { return Fractal(1, 0.0, 1.0, [](FractInfo* e) {
         e->w[kFraIterations] = 160;
         e->w[kFraColourScale] = 12;
         Window(e, -1.6, 1.6, -1.6, 1.6);
         Stops(&e->ramp, {{0, 8, 10, 30}, {90, 40, 90, 170}, {180, 230, 240, 250}, {255, 255, 210, 120}});
       }); }},
      {"Presets/Fractals/Sea horses.hfra", FourCC("hFra"), [] { return Fractal(2, -0.1, 0.65, [](FractInfo* e) {
         e->w[kFraIterations] = 200;
         e->w[kFraColourScale] = 24;
         e->w[kFraColourShift] = 40;
         Stops(&e->ramp, {{0, 0, 30, 40}, {100, 0, 140, 130}, {200, 250, 220, 120}, {255, 120, 30, 20}});
       }); }},
      {"Presets/Fractals/Sine lace.hfra", FourCC("hFra"), [] { return Fractal(9, 1.0, 0.12, [](FractInfo* e) {
         e->w[kFraIterations] = 120;
         e->w[kFraBailOut] = 50;
         e->w[kFraColourScale] = 40;
         Window(e, -3.0, 3.0, -2.0, 2.0);
         Stops(&e->ramp, {{0, 250, 245, 235}, {128, 150, 20, 60}, {255, 20, 10, 40}});
       }); }},
      {"Presets/Fractals/Copper rings.hfra", FourCC("hFra"), [] { return Fractal(11, 0.9, 0.45, [](FractInfo* e) {
         e->w[kFraIterations] = 90;
         e->w[kFraBailOut] = 30;
         e->w[kFraColourScale] = 50;
         e->w[kFraBlur] = 1;
         Stops(&e->ramp, {{0, 30, 10, 5}, {70, 180, 90, 40}, {140, 250, 200, 150}, {255, 90, 40, 20}});
       }); }},
      {"Presets/Fractals/Spiral.hfra", FourCC("hFra"), [] { return Fractal(1, -0.75, 0.11, [](FractInfo* e) {
         e->w[kFraIterations] = 300;
         e->w[kFraColourScale] = 8;
         e->w[kFraOpacity] = 80;
         Window(e, -0.6, 0.6, -0.6, 0.6);
         Stops(&e->ramp, {{0, 0, 0, 0}, {60, 90, 0, 120}, {150, 255, 120, 0}, {255, 255, 255, 200}});
       }); }},
      // Tessellations: two tiles of the library's images, eight tiles of
      // ramps, twelve tiles of the photo recoloured one by one.
      {"Presets/Tessellations/Brick and marble.hpts", FourCC("hPts"), [] { return Tessellation(5, 2, 2, [](TessPar* r) {
         r->tiles[0] = ContentFile("Tiles/brick.tif");
         r->tiles[1] = ContentFile("Tiles/marble.jpg");
         r->sets[1].w[kTessColourShift] = 20;
       }); }},
      {"Presets/Tessellations/Warm ramps.hpts", FourCC("hPts"), [] { return Tessellation(11, 8, 1, [](TessPar* r) {
         for (int k = 0; k < 8; ++k)
           Stops(&r->ramps[k], {{0, 40 + 20 * k, 20, 10}, {128, 250, 120 + 10 * k, 40}, {255, 90, 30, 20}});
       }); }},
      {"Presets/Tessellations/Photo wheel.hpts", FourCC("hPts"), [] { return Tessellation(17, 12, 0, [](TessPar* r) {
         for (int k = 0; k < 12; ++k) r->sets[k].w[kTessColourShift] = -180 + 30 * k;
       }); }},
      // Borders: one layer of banded frame, a rope with a row of beads
      // inside it, and a border of four ramps.
      {"Presets/Borders/Banded frame.hbor", FourCC("hBor"), [] { return Border(1, 1, [](BordPar* r) {
         r->layers[0].files[0] = ContentFile("Bord/bands.tif");
         AllTiles(&r->layers[0], 0);
       }); }},
      {"Presets/Borders/Rope and beads.hbor", FourCC("hBor"), [] { return Border(2, 1, [](BordPar* r) {
         r->layers[0].files[0] = ContentFile("Bord/rope.tif");
         AllTiles(&r->layers[0], 0);
         BordLay& beads = r->layers[1];
         beads.files[0] = ContentFile("Bord/beads.tif");
         AllTiles(&beads, 0);
         for (int k = 0; k < 4; ++k) {
           beads.info.cells[k] = 12;
           beads.info.thickness[k] = 8;
           beads.info.inset[k] = 20;
           beads.info.cornerOn[k] = 0;
         }
       }); }},
      {"Presets/Borders/Ramp border.hbor", FourCC("hBor"), [] { return Border(1, 0, [](BordPar* r) {
         BordLay& layer = r->layers[0];
         for (int k = 0; k < 4; ++k)
           Stops(&layer.ramps[k], {{0, 20 + 50 * k, 30, 90}, {128, 240, 200 - 30 * k, 60}, {255, 40, 20, 10 + 40 * k}});
         for (int i = 0; i < kBordTiles; ++i) layer.tiles[i].image = i % 4;
       }); }},
      {"Presets/Repeats/Four by four.hpre", FourCC("hPre"), [] { return Repeat(4, 4, [](RepPar*) {}); }},
      {"Presets/Repeats/Six by six turned.hpre", FourCC("hPre"), [] { return Repeat(6, 6, TurnedCells); }},
      {"Presets/Repeats/Rows shifted.hpre", FourCC("hPre"), [] { return Repeat(3, 8, ShiftedRows); }},
  };
  return presets;
}

const std::vector<std::string>& PhotoEffectPresetPaths() {
  static const std::vector<std::string> paths = [] {
    std::vector<std::string> out;
    for (const GeneratorPreset& p : PhotoEffectPresets()) out.push_back(p.path);
    return out;
  }();
  return paths;
}

bool MakePhotoEffectPresets(const std::string& makersFolder, std::string* message) {
  // The writers ask where to save: the answers are the library's own.
  plat::ui::ScriptedUi answers;
  plat::ui::ScopedServices scoped(&answers);
  // The file layer keeps its open files in the application's data.
  TAppData data;
  TAppData* const previous = gappData;
  gappData = &data;
  bool ok = true;
  for (const GeneratorPreset& p : PhotoEffectPresets()) {
    const fs::path path = fs::path(makersFolder) / p.path;
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    answers.AnswerSaveFile(path.string(), true);
    if (ec || p.write() != 0) {
      if (message != nullptr) *message = std::string("cannot write ") + p.path;
      ok = false;
      break;
    }
  }
  gappData = previous;
  return ok;
}

}  // namespace content
