#include "content/effects/stored_effects.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>

#include "app/core/memory_manager.h"
#include "app/core/session_state.h"
#include "app/file_access.h"
#include "engines/families/effect_families.h"
#include "paths/draw_par.h"
#include "platform/files/file_types.h"
#include "platform/random/random.h"
#include "script/effect_list_file.h"
#include "script/operation.h"
#include "script/script_file.h"

namespace content {

namespace {

namespace fs = std::filesystem;

constexpr int32_t kSide = 130;  // the thumbnail a stored effect carries
constexpr int16_t kImageTools = 118;

// A session of our own while the files are written: the script takes its planes and
// records from the session's registry.
class GeneratorSession {
 public:
  GeneratorSession() : previous_(gPer) {
    per_.memMan = new CMemMan;
    Init_DrawPar(&drawPar_);
    per_.drawPar = &drawPar_;
    per_.previewWidth = kSide;
    per_.previewHeight = kSide;
    gPer = &per_;
  }
  ~GeneratorSession() {
    gPer = previous_;
    delete per_.memMan;
  }
  GeneratorSession(const GeneratorSession&) = delete;
  GeneratorSession& operator=(const GeneratorSession&) = delete;

 private:
  TPermanent per_;
  DrawPar drawPar_;
  TPermanent* previous_;
};

// The picture at 130 x 130 (nearest sample), rows from the bottom as the planes hold them.
std::vector<uint8_t> ThumbnailSource(const uint8_t* picture, uint32_t w, uint32_t h) {
  std::vector<uint8_t> out(static_cast<size_t>(kSide) * kSide * 4);
  for (int32_t y = 0; y < kSide; ++y) {
    const uint32_t sy = static_cast<uint32_t>(kSide - 1 - y) * h / kSide;
    for (int32_t x = 0; x < kSide; ++x) {
      const uint32_t sx = static_cast<uint32_t>(x) * w / kSide;
      std::memcpy(&out[(static_cast<size_t>(y) * kSide + x) * 4],
                  picture + (static_cast<size_t>(sy) * w + sx) * 4, 4);
    }
  }
  return out;
}

void Configure(ScriptFile& s, const StoredEffect& e) {
  s.GetStack(0)->CleanOprnLaye(1);
  s.SetEffect(0, 1, 1, e.effect, 0, 0, 0, 0);
  s.SetAct(0, 1, 1, 1);
  s.SetFromChannel(0, 1, 1, 2);
  s.SetToChannel(0, 1, 1, 2);
  Oprn* op = s.GetOprn(0, 1, 1);
  int16_t* params[] = {&op->Param1, &op->Param2, &op->Param3, &op->Param4, &op->Param5};
  for (int k = 0; k < 5; ++k) *params[k] = e.params[k];
}

// Renders the operation over the picture and lays the result out as a preview: 130 x 130
// pixels of 4 bytes, rows from the bottom, as a view reads its display back.
std::vector<char> Thumbnail(ScriptFile& s, const std::vector<uint8_t>& source) {
  std::vector<uint8_t> extra(static_cast<size_t>(kSide) * kSide, 0);
  // Effects that draw random numbers draw the same ones on every run.
  plat::SeedRandom(20261207);
  s.Render(0, 0, 0, source.data(), extra.data(), extra.data(), 0, 0);
  std::vector<char> preview(static_cast<size_t>(kSide) * kSide * 4, 0);
  for (int32_t c = 0; c < 3; ++c) {
    const uint8_t* plane = s.ChannelPlane(3 + c, 0);
    for (size_t i = 0; i < static_cast<size_t>(kSide) * kSide; ++i)
      preview[4 * i + static_cast<size_t>(c)] =
          static_cast<char>(plane != nullptr ? plane[i] : source[4 * i + static_cast<size_t>(c)]);
  }
  for (size_t i = 0; i < static_cast<size_t>(kSide) * kSide; ++i) preview[4 * i + 3] = static_cast<char>(255);
  return preview;
}

bool WriteOne(ScriptFile& s, const StoredEffect& e, const std::vector<uint8_t>& source,
              const fs::path& folder, std::string* message) {
  const efflist::ListKind* kind = efflist::ListKindFor(0, e.family);
  if (kind == nullptr) {
    *message = std::string("no list for the family of ") + e.name;
    return false;
  }
  Configure(s, e);
  const std::vector<char> preview = Thumbnail(s, source);
  const std::string posix =
      (folder / plat::files::WithTypeExtension(e.name, kind->listed)).string();
  fichier f;
  if (!SetFicFromPosix(&f, posix)) {
    *message = "cannot name " + posix;
    return false;
  }
  f.type = kind->listed;
  f.creator = FourCC("vMkC");
  char text[255] = {};
  std::strncpy(text, e.category, sizeof text - 1);
  File_kern file(&f);
  if (s.SaveScript(1, s.GetOprn(0, 1, 1), &file, preview.data(), kSide, kSide, text, 0) != 0) {
    *message = "cannot write " + posix;
    return false;
  }
  return true;
}

// Where a family's stored effects go: its browser's folder, and for the
// image tools also the maker's folder itself, whose effects the image-tools
// window lists in its thumbnail strip.
std::vector<fs::path> FoldersOf(const std::string& makersFolder, int16_t family) {
  std::vector<fs::path> folders{fs::path(makersFolder) / "Effects" / std::to_string(family)};
  if (family == kImageTools) folders.emplace_back(makersFolder);
  return folders;
}

}  // namespace

// clang-format off
const std::vector<StoredEffect>& StoredEffects() {
  static const std::vector<StoredEffect> effects = {
      {41, "Slide across", "Offsets", 19, {64, 20, 0, 0, 0}},
      {41, "Kaleidoscope", "Mirrors", 56, {50, 50, 30, 30, 0}},
      {41, "Quarter offset", "Offsets", 19, {32, 32, 0, 0, 0}},
      {42, "Plaid light", "Plaids", 42, {170, 0, 0, 0, 0}},
      {42, "Plaid strong", "Plaids", 42, {235, 0, 0, 0, 0}},
      {42, "Small centre", "Transforms", 53, {0, 0, 80, 80, 0}},
      {58, "Tiled photo", "Tilings", 58, {230, 0, 0, 0, 0}},
      {58, "Warm fill", "Fills", 10, {120, 240, 170, 80, 255}},
      {58, "Displaced", "Fills", 20, {24, 24, 0, 0, 0}},
      // A blur's amount is a length of the 130-pixel thumbnail, scaled with the picture,
      // and the blur holds its radius at its largest: on a camera's 6000 x 4000 the amounts
      // from 5 on all render alike, so both blurs stay below that, the strong one just so.
      {92, "Soft blur", "Blurs", 11, {2, 0, 0, 0, 0}},
      {92, "Strong blur", "Blurs", 11, {4, 0, 0, 0, 0}},
      {92, "Brighter", "Tones", 16, {45, 0, 0, 0, 0}},
      {92, "Four tones", "Tones", 15, {4, 0, 0, 0, 0}},
      {100, "Spread light", "Filters", 7, {3, 3, 0, 0, 0}},
      {100, "Hue turn", "Colours", 18, {90, 20, 0, 0, 0}},
      {100, "More contrast", "Colours", 17, {45, 0, 0, 0, 0}},
      {106, "Pale levels", "Tones", 14, {30, 190, 0, 0, 0}},
      {106, "Relief", "Reliefs", 12, {1, 128, 135, 3, 0}},
      {106, "Deep relief", "Reliefs", 12, {1, 200, 45, 5, 0}},
      {114, "Colour frame", "Frames", 37, {85, 85, 255, 200, 120}},
      {114, "Thin frame", "Frames", 37, {93, 93, 40, 60, 160}},
      {114, "Emboss", "Reliefs", 12, {1, 160, 45, 2, 0}},
      {115, "Motion", "Blurs", 84, {35, 45, 0, 0, 0}},
      {115, "Ripples", "Streaks", 71, {0, 8, 10, 8, 10}},
      {115, "Edges", "Streaks", 44, {255, 2, -64, 0, 0}},
      {116, "Texture", "Textures", 77, {200, 0, 0, 0, 0}},
      {116, "Shrunk", "Turns", 53, {0, 0, 70, 70, 0}},
      {116, "Hard contrast", "Turns", 17, {60, 0, 0, 0, 0}},
      {117, "Warm hue", "Colour", 18, {30, 30, 0, 0, 0}},
      {117, "Poster", "Tone", 15, {5, 0, 0, 0, 0}},
      {117, "Fog", "Tone", 69, {6, -20, 6, 200, 0}},
      {117, "Levels", "Tone", 14, {40, 210, 0, 0, 0}},
      {118, "Mosaic", "Cells", 120, {8, 8, 0, 0, 0}},
      {118, "Black and white", "Tones", 121, {0, 70, 0, 0, 0}},
      {118, "Film grain", "Tones", 122, {20, 50, 50, 50, 0}},
      {118, "Soft focus", "Blurs", 11, {4, 0, 0, 0, 0}},
      {118, "Brighter", "Tones", 16, {40, 0, 0, 0, 0}},
  };
  return effects;
}
// clang-format on

bool MakeStoredEffects(const std::string& makersFolder, const uint8_t* picture, uint32_t width,
                       uint32_t height, std::string* message) {
  std::string why;
  if (picture == nullptr || width == 0 || height == 0) {
    if (message != nullptr) *message = "no picture for the thumbnails";
    return false;
  }
  GeneratorSession session;
  RegisterEffectFamilies();
  const std::vector<uint8_t> source = ThumbnailSource(picture, width, height);
  auto script = std::make_unique<ScriptFile>();
  if (script->I_ScriptFile(3, kSide, kSide, 72.0f, kSide, kSide, 0, 0, kSide - 1, kSide - 1) != 0) {
    if (message != nullptr) *message = "no memory for the thumbnails";
    return false;
  }
  script->previewScaleX = script->previewScaleY = 1.0f;
  script->SetDrwVal(0, 0, 1, 1, 0, 0);
  for (const StoredEffect& e : StoredEffects()) {
    for (const fs::path& folder : FoldersOf(makersFolder, e.family)) {
      std::error_code ec;
      fs::create_directories(folder, ec);
      if (ec) {
        why = "cannot make " + folder.string() + ": " + ec.message();
      } else if (WriteOne(*script, e, source, folder, &why)) {
        continue;
      }
      if (message != nullptr) *message = why;
      return false;
    }
  }
  return true;
}

}  // namespace content
