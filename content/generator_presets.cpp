#include "generator_presets.h"

#include <cstdio>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <memory>
#include <utility>

#include "app/core/app_data.h"
#include "engines/patterns/cookie_cutter_record.h"
#include "engines/patterns/shape_record.h"
#include "engines/patterns/texture_record.h"
#include "engines/patterns/weave_plaid_record.h"
#include "platform/toolbox/api/scripted_ui.h"

namespace fs = std::filesystem;

namespace content {

namespace {

struct Rgb {
  int r, g, b;
};

// An opaque ramp from one colour to another.
void Gradient(LutVign* ramp, Rgb from, Rgb to) {
  Init_LutVign(0, ramp, 0, 0, 0, 0);
  for (int i = 0; i < 256; ++i) {
    ramp->colour[0][i] = static_cast<uint8_t>(from.r + (to.r - from.r) * i / 255);
    ramp->colour[1][i] = static_cast<uint8_t>(from.g + (to.g - from.g) * i / 255);
    ramp->colour[2][i] = static_cast<uint8_t>(from.b + (to.b - from.b) * i / 255);
  }
}

int16_t Texture(const std::function<void(TextuPar*)>& set) {
  TextuPar r;
  Init_TextuPar(&r);
  set(&r);
  return Do_ATextu_file(1, FSSpec{}, &r);
}

int16_t Shape(int32_t kind, const std::function<void(ShapePar*)>& set) {
  ShapePar r;
  Init_ShapePar(&r, 1000, 1000, kind);
  set(&r);
  return Do_AShapePar_file(1, FSSpec{}, &r);
}

int16_t Cookie(const std::function<void(CookiCutPar*)>& set) {
  CookiCutPar r;
  Init_CookiCutPar(&r);
  set(&r);
  return Do_ACookiCut_file(1, FSSpec{}, &r);
}

// The spirograph's five path values: rolling and fixed circle, pen, step, turns.
void Spiro(ShapePar* r, int32_t rolling, int32_t fixed, int32_t pen, int32_t step, int32_t turns) {
  int32_t* v = r->shape.w + 555;
  v[0] = rolling;
  v[1] = fixed;
  v[2] = pen;
  v[3] = step;
  v[4] = turns;
}

// ---- plaids and weaves ----

// Which thread is on top at column c, row r of a repeat.
using Crossing = bool (*)(int c, int r);

bool PlainCrossing(int c, int r) { return (c + r) % 2 == 0; }
bool TwillCrossing(int c, int r) { return (c - r + 4) % 4 < 2; }
bool ThreeOneCrossing(int c, int r) { return (c + r) % 4 != 0; }
bool SatinCrossing(int c, int r) { return (2 * c + 5 - r % 5) % 5 == 0; }
bool BasketCrossing(int c, int r) { return (c / 2 + r / 2) % 2 == 0; }

void SetWeave(WeaveInfo* w, int16_t columns, int16_t rows, Crossing up) {
  Init_WeaveInfo(w, columns, rows);
  for (int r = 0; r < kWeaveSide; ++r)
    for (int c = 0; c < kWeaveSide; ++c) w->cells[r][c] = r < rows && c < columns && up(c, r) ? 1 : 0;
}

// The first entries of a palette; the rest keep the record's grey ramp.
void SetPalette(uint8_t (*palette)[kPlaidColours], std::initializer_list<Rgb> colours) {
  int i = 0;
  for (const Rgb& c : colours) {
    palette[0][i] = static_cast<uint8_t>(c.r);
    palette[1][i] = static_cast<uint8_t>(c.g);
    palette[2][i] = static_cast<uint8_t>(c.b);
    ++i;
  }
}

// A free-strip list of (width, palette entry) pairs, widths as they are.
void SetStrips(WWInfo* list, std::initializer_list<std::pair<int32_t, int32_t>> strips) {
  Init_WWInfo(list);
  list->cumulative = 0;
  list->stripCount = static_cast<int32_t>(strips.size());
  int i = 0;
  for (const auto& [width, colour] : strips) {
    list->stripWidth[i] = width;
    list->stripColour[i] = colour;
    ++i;
  }
}

void SetFormula(char* formula, const char* text) { std::snprintf(formula, kFormulaSize, "%s", text); }

int16_t Plaid(const std::function<void(PlaidPar*)>& set) {
  auto r = std::make_unique<PlaidPar>();
  Init_PlaidPar(r.get(), 0);
  set(r.get());
  return Do_APlaidPar_file(1, FSSpec{}, r.get());
}

int16_t Weave(int16_t columns, int16_t rows, Crossing up) {
  auto w = std::make_unique<WeaveInfo>();
  SetWeave(w.get(), columns, rows, up);
  return Do_AWeaveInfo_file(1, FSSpec{}, w.get());
}

}  // namespace

const std::vector<GeneratorPreset>& GeneratorPresets() {
  static const std::vector<GeneratorPreset> presets = {
      {"Presets/Textures/Marble.htex", FourCC("hTex"), [] { return Texture([](TextuPar* r) {
         r->turbulence = 70.0f;
         r->turbulenceDetail = 60.0f;
         r->warp = 35.0f;
         r->vertAmount = 25.0f;
         r->vertFrequency = 8;
         r->horizAmount = 0.0f;
         r->combineMode = 2;
         Gradient(&r->ramp, {40, 44, 60}, {245, 245, 240});
       }); }},
      {"Presets/Textures/Wood grain.htex", FourCC("hTex"), [] { return Texture([](TextuPar* r) {
         r->vertAmount = 60.0f;
         r->vertFrequency = 30;
         r->vertShape = 1;
         r->horizAmount = 0.0f;
         r->turbulence = 30.0f;
         r->warp = 20.0f;
         Gradient(&r->ramp, {92, 52, 24}, {214, 164, 104});
       }); }},
      {"Presets/Textures/Sand.htex", FourCC("hTex"), [] { return Texture([](TextuPar* r) {
         r->particleAmount = 60.0f;
         r->particleCount = 100;
         r->particleSize = 8;
         r->particleFalloff = 1;
         r->turbulence = 20.0f;
         r->vertAmount = 0.0f;
         r->horizAmount = 0.0f;
         Gradient(&r->ramp, {176, 142, 96}, {238, 222, 186});
       }); }},
      {"Presets/Spirographs/Rosette.hshp", FourCC("hShp"), [] { return Shape(1, [](ShapePar* r) {
         Spiro(r, 25, -50, 25, 1, 100);
         Gradient(&r->ramp, {160, 20, 40}, {250, 200, 60});
       }); }},
      {"Presets/Spirographs/Loops.hshp", FourCC("hShp"), [] { return Shape(1, [](ShapePar* r) {
         Spiro(r, 30, 70, 60, 2, 150);
         r->softness = 2;
         Gradient(&r->ramp, {20, 60, 160}, {120, 220, 255});
       }); }},
      {"Presets/Spirographs/Star trail.hshp", FourCC("hShp"), [] { return Shape(1, [](ShapePar* r) {
         Spiro(r, 40, -90, 80, 3, 200);
         Gradient(&r->ramp, {30, 120, 60}, {230, 250, 140});
       }); }},
      {"Presets/Stars/Five points.hshp", FourCC("hShp"), [] { return Shape(0, [](ShapePar* r) {
         Gradient(&r->ramp, {200, 150, 0}, {255, 240, 120});
       }); }},
      {"Presets/Stars/Twelve points.hshp", FourCC("hShp"), [] { return Shape(0, [](ShapePar* r) {
         r->shape.w[kObjStarPoints] = 12;
         r->shape.w[kObjStarInner] = 58;
         r->radius = 45;
         Gradient(&r->ramp, {20, 40, 120}, {140, 190, 255});
       }); }},
      {"Presets/Stars/Sunburst.hshp", FourCC("hShp"), [] { return Shape(0, [](ShapePar* r) {
         r->shape.w[kObjStarPoints] = 24;
         r->shape.w[kObjStarInner] = 35;
         r->shape.w[kObjInnerStyle] = 2;
         r->shape.w[kObjTipStyle] = 3;
         r->softness = 4;
         Gradient(&r->ramp, {230, 80, 0}, {255, 230, 80});
       }); }},
      {"Presets/Cookie cutters/Flower.hcoo", FourCC("hCoo"), [] { return Cookie([](CookiCutPar* r) {
         r->shape[0] = 60;
         r->shape[1] = 30;
         Gradient(&r->ramp, {180, 30, 120}, {255, 190, 230});
       }); }},
      {"Presets/Cookie cutters/Gear.hcoo", FourCC("hCoo"), [] { return Cookie([](CookiCutPar* r) {
         r->shape[0] = 80;
         r->shape[1] = 100;
         r->shape[2] = 30;
         r->shape[3] = 30;
         r->shapeScale = 60;
         Gradient(&r->ramp, {70, 70, 80}, {200, 200, 210});
       }); }},
      {"Presets/Cookie cutters/Soft blob.hcoo", FourCC("hCoo"), [] { return Cookie([](CookiCutPar* r) {
         r->shape[0] = 30;
         r->shape[1] = 60;
         r->shape[2] = 60;
         r->shape[3] = 60;
         r->softness = 20;
         Gradient(&r->ramp, {0, 110, 120}, {150, 240, 220});
       }); }},
      // Plaids: each with colours, ramps, weaves, strip lists and formulas
      // of its own, so every file menu of the plaid creator takes something
      // that shows.
      {"Presets/Plaids/Highland tartan.hpld", FourCC("hPld"), [] { return Plaid([](PlaidPar* r) {
         SetPalette(r->paletteA, {{20, 70, 40}, {20, 30, 80}, {170, 30, 40}, {15, 15, 15}, {230, 200, 60}});
         SetPalette(r->paletteB, {{25, 80, 45}, {25, 35, 90}, {180, 35, 45}, {20, 20, 20}, {240, 210, 70}});
         Gradient(&r->ramp1, {20, 70, 40}, {20, 30, 80});
         Gradient(&r->ramp2, {170, 30, 40}, {15, 15, 15});
         SetWeave(&r->weave1, 4, 4, TwillCrossing);
         SetWeave(&r->weave2, 4, 4, TwillCrossing);
         SetFormula(r->formula1, "8A2D6B2D2E");
         SetFormula(r->formula2, "8A2D6B2D2C");
         SetStrips(&r->free1, {{24, 0}, {6, 3}, {18, 1}, {6, 3}, {4, 4}});
         SetStrips(&r->free2, {{24, 0}, {6, 3}, {18, 1}, {6, 2}});
         r->threadWidth = r->threadHeight = 2;
       }); }},
      {"Presets/Plaids/Gingham.hpld", FourCC("hPld"), [] { return Plaid([](PlaidPar* r) {
         SetPalette(r->paletteA, {{200, 30, 45}, {250, 250, 245}});
         SetPalette(r->paletteB, {{200, 30, 45}, {250, 250, 245}});
         Gradient(&r->ramp1, {250, 200, 205}, {200, 30, 45});
         Gradient(&r->ramp2, {250, 250, 245}, {240, 170, 180});
         SetWeave(&r->weave1, 2, 2, PlainCrossing);
         SetWeave(&r->weave2, 2, 2, PlainCrossing);
         SetFormula(r->formula1, "6A6B");
         SetFormula(r->formula2, "6A6B");
         SetStrips(&r->free1, {{12, 0}, {12, 1}});
         SetStrips(&r->free2, {{12, 0}, {12, 1}});
         r->sameWeave = 0;
       }); }},
      {"Presets/Plaids/Madras.hpld", FourCC("hPld"), [] { return Plaid([](PlaidPar* r) {
         SetPalette(r->paletteA, {{240, 120, 30}, {220, 50, 120}, {30, 170, 170}, {245, 210, 40}, {60, 150, 60}});
         SetPalette(r->paletteB, {{30, 60, 140}, {240, 120, 30}, {250, 240, 220}, {150, 40, 90}, {30, 170, 170}});
         Gradient(&r->ramp1, {245, 210, 40}, {220, 50, 120});
         Gradient(&r->ramp2, {30, 170, 170}, {30, 60, 140});
         SetWeave(&r->weave1, 4, 4, ThreeOneCrossing);
         SetWeave(&r->weave2, 4, 4, BasketCrossing);
         SetFormula(r->formula1, "3/A2BC4D");
         SetFormula(r->formula2, "2[A3E]B2C");
         SetStrips(&r->free1, {{8, 0}, {3, 1}, {10, 2}, {3, 3}, {6, 4}, {2, 1}});
         SetStrips(&r->free2, {{10, 0}, {4, 2}, {8, 1}});
         r->sameWeave = 0;
         r->rowRepeats = r->colRepeats = 2;
       }); }},
      // Weave patterns for the weave editor.
      {"Presets/Weaves/Plain.hwea", FourCC("hWea"), [] { return Weave(2, 2, PlainCrossing); }},
      {"Presets/Weaves/Twill 2-2.hwea", FourCC("hWea"), [] { return Weave(4, 4, TwillCrossing); }},
      {"Presets/Weaves/Satin 5.hwea", FourCC("hWea"), [] { return Weave(5, 5, SatinCrossing); }},
      {"Presets/Weaves/Basket.hwea", FourCC("hWea"), [] { return Weave(4, 4, BasketCrossing); }},
  };
  return presets;
}

const std::vector<std::string>& GeneratorPresetPaths() {
  static const std::vector<std::string> paths = [] {
    std::vector<std::string> out;
    for (const GeneratorPreset& p : GeneratorPresets()) out.push_back(p.path);
    return out;
  }();
  return paths;
}

bool MakeGeneratorPresets(const std::string& makersFolder, std::string* message) {
  // The writers ask where to save: the answers are the library's own.
  plat::ui::ScriptedUi answers;
  plat::ui::ScopedServices scoped(&answers);
  // The file layer keeps its open files in the application's data.
  TAppData data;
  TAppData* const previous = gappData;
  gappData = &data;
  bool ok = true;
  for (const GeneratorPreset& p : GeneratorPresets()) {
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
