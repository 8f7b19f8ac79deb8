// Fuzz target: Preset files of every engine family, read with Do_A<X>_file mode 2 (the
// first byte of an input picks the family), and the ramp file.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <type_traits>
#include <string>
#include <vector>

#include "content/generator_presets.h"
#include "content/photo_effect_presets.h"
#include "engines/tessellation/photo_repeat_check.h"
#include "fuzz/fuzz_support.h"
#include "content/combine_presets.h"
#include "engines/correction/colour_correction.h"
#include "engines/correction/colour_matrix.h"
#include "engines/correction/lens_correction.h"
#include "engines/patterns/backdrop_compo_records.h"
#include "engines/patterns/border_record.h"
#include "engines/patterns/cast_shadow_record.h"
#include "engines/patterns/cookie_cutter_record.h"
#include "engines/patterns/fractal_record.h"
#include "engines/patterns/image_combination_record.h"
#include "engines/patterns/lens_flare_gradient_records.h"
#include "engines/patterns/painter_strokes_record.h"
#include "engines/patterns/screen_record.h"
#include "engines/patterns/shape_record.h"
#include "engines/patterns/texture_record.h"
#include "engines/patterns/weave_plaid_record.h"
#include "engines/tessellation/photo_repeat_record.h"
#include "engines/patterns/border_editing.h"
#include "engines/tessellation/tessellation_checks.h"
#include "engines/tessellation/tessellation_record.h"
#include "engines/tessellation/twin_tessellation_record.h"
#include "platform/files/file_types.h"
#include "platform/types/mac_types.h"
#include "script/lut_vign.h"


namespace vmkfuzz {
namespace {


struct PresetEntry {
  const char* name;
  OSType type;
  std::function<Bytes()> seed;                      // the family's own writer, variant 0
  std::function<void(const uint8_t*, size_t)> one;  // read as variant 1 and check
};

template <class R>
struct PresetKit {
  static_assert(std::is_trivially_copyable_v<R>, "records are plain data");
  using DoFile = std::function<int16_t(int16_t, FSSpec, R*)>;
  const char* name;
  OSType type;
  DoFile doFile;
  std::function<void(R*, int)> init;
  // The family's range checks over an accepted record: a message when the
  // record indexes outside itself even after the checks bring it in range.
  std::function<const char*(R*)> check;
  std::unique_ptr<R> pristine, work;

  Bytes Seed() {
    auto r = std::make_unique<R>();
    init(r.get(), 0);
    return Save(r.get(), "seed");
  }
  Bytes Save(R* r, const std::string& base) {
    return Store(r, base) ? GetFile(File(std::string(name) + "-" + base) + plat::files::ExtensionForType(type))
                          : Bytes{};
  }
  // Stores the record through its writer; false when the writer fails.
  bool Store(R* r, const std::string& base) {
    Ui().AnswerSaveFile(File(std::string(name) + "-" + base));
    return doFile(1, FSSpec{}, r) == 0;
  }
  void One(const uint8_t* data, size_t size) {
    if (!pristine) {
      pristine = std::make_unique<R>();
      work = std::make_unique<R>();
      init(pristine.get(), 1);
      std::memcpy(static_cast<void*>(work.get()), pristine.get(), sizeof(R));
    }
    // The caller's record equals the pristine one here: a refused file must
    // leave it so (checked below), and an accepted one is put back after. The
    // border's record is 8 MB, so it is not copied again for every input.
    const std::string path = File("offered-preset");
    PutFile(path, data, size);
    const int16_t rc = doFile(2, SpecForPath(path), work.get());
    if (rc != 0 && rc != -1) Violation(name, "answer " + std::to_string(rc));
    if (rc == -1 && std::memcmp(work.get(), pristine.get(), sizeof(R)) != 0)
      Violation(name, "record changed by a refused file");
    rc == 0 ? Accepted() : RefusedChecked();
    if (rc == 0 && check)
      if (const char* what = check(work.get())) Violation(name, what);
    if (rc == 0 && !Store(work.get(), "again"))
      Violation(name, "what was read cannot be stored again");
    if (rc == 0) std::memcpy(static_cast<void*>(work.get()), pristine.get(), sizeof(R));
  }
};

template <class R>
PresetEntry Entry(const char* name, OSType type, typename PresetKit<R>::DoFile doFile,
                  std::function<void(R*, int)> init, std::function<const char*(R*)> check = {}) {
  auto kit = std::make_shared<PresetKit<R>>();
  kit->check = std::move(check);
  kit->name = name;
  kit->type = type;
  kit->doFile = std::move(doFile);
  kit->init = std::move(init);
  return PresetEntry{name, type, [kit] { return kit->Seed(); },
                     [kit](const uint8_t* d, size_t n) { kit->One(d, n); }};
}

// The ramp file: the ramp and the caller's two texts.
struct RampKit {
  LutVign lut{};
  char text1[256] = {}, text2[256] = {};
  void Init(int variant) {
    lut = LutVign{};
    Init_LutVign(variant == 0 ? 6 : 2, &lut, 10, 200, 30, 90);
    std::memset(text1, 0, sizeof text1);
    std::memset(text2, 0, sizeof text2);
    std::snprintf(text1, sizeof text1, "%s", variant == 0 ? "Category" : "Kept");
    std::snprintf(text2, sizeof text2, "%s", variant == 0 ? "A ramp" : "Also kept");
  }
  Bytes Snapshot() {
    Bytes b = RawBytes(lut);
    b.insert(b.end(), text1, text1 + sizeof text1);
    b.insert(b.end(), text2, text2 + sizeof text2);
    return b;
  }
  int16_t Do(int16_t mode, FSSpec spec) {
    return Do_ALutVign_file(mode, spec, &lut, text1, text2, 0, 0, 0, 0);
  }
  Bytes Save(const std::string& base) {
    const std::string path = File(base);
    Ui().AnswerSaveFile(path);
    if (Do(1, FSSpec{}) != 0) return {};
    return GetFile(path + plat::files::ExtensionForType(FourCC("hVig")));
  }
};

// What the repeat dialog does with a read record: refused when its grid or
// current cell lies outside what the cells hold, else taken; an owner's
// record is clamped, and never names a cell past the table.
const char* RepeatGridChecked(RepPar* r) {
  if (Check_RepPar(r) == 0) return nullptr;
  Clamp_RepPar(r);
  if (Check_RepPar(r) != 0 || CurrentRepCell(r) < 0 || CurrentRepCell(r) >= kRepCells)
    return "a clamped record names a cell outside the grid";
  return nullptr;
}

std::vector<PresetEntry>& PresetTable() {
  static std::vector<PresetEntry> t;
  if (!t.empty()) return t;
  auto ramp = std::make_shared<RampKit>();
  t.push_back(PresetEntry{
      "ramp", FourCC("hVig"),
      [ramp] {
        ramp->Init(0);
        return ramp->Save("ramp-seed");
      },
      [ramp](const uint8_t* d, size_t n) {
        ramp->Init(1);
        const Bytes before = ramp->Snapshot();
        const std::string path = File("offered.hvig");
        PutFile(path, d, n);
        const int16_t rc = ramp->Do(2, SpecForPath(path));
        if (rc != 0 && rc != -1) Violation("ramp", "answer");
        if (rc == -1 && ramp->Snapshot() != before) Violation("ramp", "changed by a refused file");
        rc == 0 ? Accepted() : RefusedChecked();
        if (rc == 0 && ramp->Save("ramp-again").empty())
          Violation("ramp", "what was read cannot be stored again");
      }});
  t.push_back(Entry<ColMatPar>("colour matrix", FourCC("hCma"), Do_AColMatPar_file,
                               [](ColMatPar* r, int v) {
                                 Init_ColMatPar(r);
                                 if (v == 0) r->contrast = 1234;
                               }));
  for (int16_t kind : {119, 105, 103, 104}) {
    t.push_back(Entry<ColCorPar>(
        "colour correction", ColCorFileType(kind),
        [kind](int16_t mode, FSSpec spec, ColCorPar* r) { return Do_AColCor_file(mode, spec, r, kind); },
        [kind](ColCorPar* r, int v) {
          Init_ColCorPar(r, v == 0 ? 640 : 300, 480, 72, kind, 0, 0);
          if (v == 0)
            for (int32_t i = 2; i < 200; ++i) r->w[i] += i % 13;
        }));
  }
  t.push_back(Entry<ZondracPar>("lens correction", FourCC("hZnd"), Do_AZondrac_file,
                                [](ZondracPar* r, int v) {
                                  Init_ZondracPar(r, v == 0 ? 3000 : 640, 480, 72, 20, 20, 2);
                                }));
  t.push_back(Entry<CombImaPar>("image combination", FourCC("hCim"), Do_ACombIma_file,
                                [](CombImaPar* r, int v) { Init_CombImaPar(r, v == 0); }));
  // What the border dialog does with a read record: refused when out of
  // range, else taken as it is; an owner's record is clamped instead.
  t.push_back(Entry<BordPar>(
      "border", FourCC("hBor"), Do_ABordPar_file,
      [](BordPar* r, int v) { Init_BordPar(r, 640, 480, 1, 1, 1, v == 0 ? 1 : 2); },
      [](BordPar* r) -> const char* {
        if (BordParInRange(*r)) return nullptr;
        ClampBordPar(r);
        return BordParInRange(*r) ? nullptr : "a clamped record is still out of range";
      }));
  t.push_back(Entry<TextuPar>("texture", FourCC("hTex"), Do_ATextu_file,
                              [](TextuPar* r, int) { Init_TextuPar(r); }));
  t.push_back(Entry<WeaveInfo>("weave", FourCC("hWea"), Do_AWeaveInfo_file,
                               [](WeaveInfo* r, int v) {
                                 Init_WeaveInfo(r, v == 0 ? 6 : 3, v == 0 ? 10 : 4);
                               }));
  t.push_back(Entry<PlaidPar>("plaid", FourCC("hPld"), Do_APlaidPar_file,
                              [](PlaidPar* r, int v) { Init_PlaidPar(r, v == 0); }));
  t.push_back(Entry<FractPar>("fractal", FourCC("hFra"), Do_AFract_file,
                              [](FractPar* r, int v) { Init_FractPar(r, v == 0 ? 1 : 2, 0); }));
  t.push_back(Entry<CookiCutPar>("cookie cutter", FourCC("hCoo"), Do_ACookiCut_file,
                                 [](CookiCutPar* r, int) { Init_CookiCutPar(r); }));
  t.push_back(Entry<ShapePar>("shape", FourCC("hShp"), Do_AShapePar_file, [](ShapePar* r, int v) {
    Init_ShapePar(r, v == 0 ? 100 : 30, 60, v == 0 ? 1 : 2);
  }));
  t.push_back(Entry<ScreenPar>("screen", FourCC("hScr"), Do_AScreenPar_file,
                               [](ScreenPar* r, int v) { Init_ScreenPar(r, v == 0); }));
  t.push_back(Entry<BDropPar>("backdrop", FourCC("hCbd"), Do_ABDrop_file,
                              [](BDropPar* r, int v) { Init_BDropPar(r, v == 0); }));
  t.push_back(Entry<CompoPar>("compo", FourCC("hCom"), Do_ACompoPar_file, [](CompoPar* r, int v) {
    Init_CompoPar(r, v == 0 ? 320 : 64, 200, 1, 1, 1, 1);
  }));
  t.push_back(Entry<SupVigPar>("super gradient", FourCC("hSvr"), Do_ASupVigPar_file,
                               [](SupVigPar* r, int v) {
                                 Init_SupVigPar(r);
                                 r->w[3] = v == 0 ? 77 : 5;
                               }));
  t.push_back(Entry<StrokPar>("strokes", FourCC("hSto"), Do_AStrok_file,
                              [](StrokPar* r, int) { Init_StrokPar(r); }));
  t.push_back(Entry<ShadoPar>("cast shadow", FourCC("hShs"), Do_AShadoPar_file,
                              [](ShadoPar* r, int v) {
                                Init_ShadoPar(r, 0);
                                r->w[kShaCornerX + 1] = v == 0 ? 333 : -9;
                              }));
  // What the tessellation dialog does with a read record: refused when out
  // of range, else taken as it is; an owner's record is clamped instead.
  t.push_back(Entry<TessPar>(
      "tessellation", FourCC("hPts"), Do_ATessPar_file, [](TessPar* r, int v) { Init_TessPar(r, v == 0, 0, v == 0); },
      [](TessPar* r) -> const char* {
        if (TessParInRange(*r)) return nullptr;
        ClampTessPar(r);
        return TessParInRange(*r) ? nullptr : "a clamped record is still out of range";
      }));
  t.push_back(Entry<HeschPar>("twin tessellation", FourCC("hHhs"), Do_AHeschPar_file,
                              [](HeschPar* r, int v) { Init_HeschPar(r, 1, 1, v == 0); }));
  t.push_back(Entry<RepPar>(
      "photo repeat", FourCC("hPre"), Do_ARepPar_file,
      [](RepPar* r, int v) { Init_RepPar(r, 1, v == 0 ? 5 : 2, v == 0 ? 4 : 2); }, RepeatGridChecked));
  return t;
}

// The presets of the content library's generator, fractal and repeat
// dialogs, written as make-content writes them, each led by its family's byte.
void AddContentSeeds(std::vector<Bytes>* out) {
  auto& t = PresetTable();
  std::vector<content::GeneratorPreset> presets = content::GeneratorPresets();
  const std::vector<content::GeneratorPreset>& photo = content::PhotoEffectPresets();
  presets.insert(presets.end(), photo.begin(), photo.end());
  for (const content::GeneratorPreset& p : presets) {
    size_t family = 0;
    while (family < t.size() && t[family].type != p.type) ++family;
    if (family == t.size()) Violation("no family for a content preset", p.path);
    const std::string path = File("content-preset");
    Ui().AnswerSaveFile(path);
    if (p.write() != 0) Violation("content preset writer failed", p.path);
    Bytes b = GetFile(path + plat::files::ExtensionForType(p.type));
    b.insert(b.begin(), static_cast<uint8_t>(family));
    out->push_back(std::move(b));
  }
}

// The content library's stored combinations, as make-content writes them.
void ContentCombinationSeeds(uint8_t family, std::vector<Bytes>* out) {
  auto r = std::make_unique<CombImaPar>();
  for (size_t k = 0; k < content::CombinePresetPaths().size(); ++k) {
    content::BuildCombinePreset(k, r.get());
    const std::string path = File("content-combination-" + std::to_string(k) + ".hcim");
    Ui().AnswerSaveFile(path);
    if (Do_ACombIma_file(1, FSSpec{}, r.get()) != 0) Violation("seed writer failed", "content combination");
    Bytes b = GetFile(path);
    b.insert(b.begin(), family);
    out->push_back(std::move(b));
  }
}

// A family whose stored file is large (the image combination's is 909 kB, the fractal's
// 776 kB) would need inputs as large, and libFuzzer took a few of those a second. With the
// top bit of the family byte set, an input is instead a list of changes to the family's own
// seed file: a 24-bit offset (little-endian), a length byte and that many bytes to put
// there; the offset 0xFFFFFF cuts or lengthens (with zeros) the file to the 24-bit size that
// follows. A change reaching past the end of the file ends the list.
constexpr uint8_t kPatched = 0x80;
constexpr size_t kLargeFile = 16384;

const Bytes& BaseFile(size_t family) {
  static std::vector<std::unique_ptr<Bytes>> files(PresetTable().size());
  if (!files[family]) files[family] = std::make_unique<Bytes>(PresetTable()[family].seed());
  return *files[family];
}

// The file is built in one buffer kept from input to input: a fresh megabyte for every
// input cost more than the reading did. A file grows to at most 64 kB past its seed.
const Bytes& Patched(size_t family, const uint8_t* data, size_t size) {
  static Bytes file;
  const Bytes& base = BaseFile(family);
  file.assign(base.begin(), base.end());
  size_t at = 0;
  while (at + 4 <= size) {
    const uint32_t offset = data[at] | (data[at + 1] << 8) | (static_cast<uint32_t>(data[at + 2]) << 16);
    if (offset == 0xFFFFFF) {
      if (at + 6 > size) break;
      const size_t length = data[at + 3] | (data[at + 4] << 8) | (static_cast<size_t>(data[at + 5]) << 16);
      file.resize(std::min(length, base.size() + 65536));
      at += 6;
      continue;
    }
    const size_t n = data[at + 3];
    at += 4;
    if (at + n > size || offset + n > file.size()) break;
    std::memcpy(file.data() + offset, data + at, n);
    at += n;
  }
  return file;
}

// The families' own files, a large one as its unchanged seed, cut short, and with its first
// words changed.
std::vector<Bytes> PresetSeeds() {
  std::vector<Bytes> out;
  auto& t = PresetTable();
  for (size_t i = 0; i < t.size(); ++i) {
    const Bytes& b = BaseFile(i);
    if (b.empty()) Violation("seed writer failed", t[i].name);
    const auto family = static_cast<uint8_t>(i);
    if (b.size() <= kLargeFile) {
      Bytes seed(b.size() + 1);
      seed[0] = family;
      std::copy(b.begin(), b.end(), seed.begin() + 1);
      out.push_back(std::move(seed));
      continue;
    }
    const auto half = static_cast<uint32_t>(b.size() / 2);
    out.push_back({static_cast<uint8_t>(family | kPatched)});
    out.push_back({static_cast<uint8_t>(family | kPatched), 0xFF, 0xFF, 0xFF, static_cast<uint8_t>(half),
                   static_cast<uint8_t>(half >> 8), static_cast<uint8_t>(half >> 16)});
    out.push_back({static_cast<uint8_t>(family | kPatched), 8, 0, 0, 8, 0xFF, 0xFF, 0xFF, 0x7F, 3, 0, 0, 0});
  }
  return out;
}

// The content library's presets, as make-content writes them: replayed as they are (some
// are the size of their family's large file), not handed to libFuzzer.
std::vector<Bytes> ContentSeeds() {
  std::vector<Bytes> out;
  auto& t = PresetTable();
  for (size_t i = 0; i < t.size(); ++i)
    if (std::string(t[i].name) == "image combination") ContentCombinationSeeds(static_cast<uint8_t>(i), &out);
  AddContentSeeds(&out);
  return out;
}

void PresetOne(const uint8_t* data, size_t size) {
  if (size < 1) return;
  auto& t = PresetTable();
  const size_t family = (data[0] & ~kPatched) % t.size();
  if ((data[0] & kPatched) == 0) {
    t[family].one(data + 1, size - 1);
    return;
  }
  const Bytes& file = Patched(family, data + 1, size - 1);
  t[family].one(file.data(), file.size());
}

}  // namespace

const Family& TheFamily() {
  static const Family family{"preset", PresetSeeds, PresetOne, ContentSeeds};
  return family;
}

}  // namespace vmkfuzz
