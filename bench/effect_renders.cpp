// Rendering every effect number at its defaults on a 2048 x 1536 three-plane picture, one
// line per number so that the slowest effects stand out, and the file- and path-driven
// effects where a user waits on them: the path sweep at 30 steps, the path frame and the
// texture relief.
//
// The operations read a picture file and the default content library, both made in a
// temporary folder before the first benchmark.
//
// Measured on the shared 8-core build machine under load: a render that runs nothing costs
// about 12 ms (loading the planes and clearing the swap files); the slowest numbers at their
// defaults are the despeckle (87, about 1 s), the wind (32, 0.7 s), the weave frame, the
// texture generator and the plaid (40, 77, 42, about 0.5 s); the path sweep at 30 steps, the
// path frame and the texture relief take 0.2 to 0.25 s, the sweep nearly all in its 30 fills
// of the whole area.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/core/file_records.h"
#include "bench_session.h"
#include "engines/families/effect_families.h"
#include "paths/path_list.h"
#include "platform/imageio/image_io.h"
#include "script/effect_table.h"
#include "script/script_file.h"

namespace {

constexpr int32_t kW = 2048, kH = 1536;

struct Files {
  std::filesystem::path dir;
  fichier picture;
  bool content = false;
  Files() {
    dir = std::filesystem::temp_directory_path() / ("vmk-bench-effects-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::vector<uint8_t> px(256 * 192 * 4);
    for (size_t i = 0; i < px.size(); ++i) px[i] = static_cast<uint8_t>((i * 2654435761u) >> 24);
    plat::imageio::PixelSource src;
    src.base = px.data();
    src.rowBytes = 256 * 4;
    src.width = 256;
    src.height = 192;
    const std::string path = (dir / "picture.tif").string();
    plat::imageio::WriteImage(path, plat::imageio::kTypeTIFF, {}, src);
    Init_FicStruct(&picture);
    SetFicFromPosix(&picture, path);
#ifdef VMK_MAKE_CONTENT
    const std::string command = std::string("'") + VMK_MAKE_CONTENT + "' '" +
                                (dir / "Maker" / "Vellmarkstead").string() + "' >/dev/null";
    content = std::system(command.c_str()) == 0;
#endif
  }
  ~Files() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
};

Files& TheFiles() {
  static Files f;
  return f;
}

std::vector<uint8_t> Picture() {
  std::vector<uint8_t> v(static_cast<size_t>(kW) * kH * 4);
  for (int32_t y = 0; y < kH; ++y)
    for (int32_t x = 0; x < kW; ++x) {
      uint8_t* p = &v[(static_cast<size_t>(y) * kW + x) * 4];
      p[0] = static_cast<uint8_t>(x * 255 / kW);
      p[1] = static_cast<uint8_t>(y * 255 / kH);
      p[2] = static_cast<uint8_t>((x ^ y) & 255);
      p[3] = 255;
    }
  return v;
}

// One operation of `effect` at its defaults on the composite, with the layer's paths (an
// ellipse and a rectangle) and the picture file where the number reads one.
bool MakeScript(ScriptFile& s, int16_t effect) {
  if (s.I_ScriptFile(3, kW, kH, 72.0f, kW, kH, 0, 0, kW - 1, kH - 1) != 0) return false;
  s.previewScaleX = s.previewScaleY = 1.0f;
  s.SetDrwVal(0, 0, 1, 1, 0, 0);
  CPathList* paths = s.GetStack(0)->GetLaye(1)->paths;
  paths->objPar.w[kObjCentreX] = kW / 3;
  paths->objPar.w[kObjCentreY] = kH / 2;
  paths->objPar.w[kObjBoxWidth] = kW / 3;
  paths->objPar.w[kObjBoxHeight] = kH / 2;
  paths->objPar.w[kObjOutlineOffset] = 0;
  paths->fct_crea_ellipse(0);
  s.SetEffect(0, 1, 1, effect, 0, 0, 0, 0);
  s.SetAct(0, 1, 1, 1);
  s.SetFromChannel(0, 1, 1, 2);
  s.SetToChannel(0, 1, 1, 2);
  if ((EffectRowOf(effect).uses & kUsesFileRecord) != 0) s.SetFileOprn(0, 1, 1, &TheFiles().picture);
  return true;
}

void RunRenders(benchmark::State& state, ScriptFile& s) {
  static const std::vector<uint8_t> picture = Picture();
  for (auto _ : state) {
    s.Render(0, 0, 0, picture.data(), nullptr, nullptr, 0, 0);
    benchmark::ClobberMemory();
  }
}

void Prepare(BenchSession& session) {
  RegisterEffectFamilies();
  Files& f = TheFiles();
  SetFicFromPosix(&session.per.makersFolder, (f.dir / "Maker").string());
}

void BM_EffectAtDefaults(benchmark::State& state) {
  BenchSession session;
  Prepare(session);
  const auto effect = static_cast<int16_t>(state.range(0));
  ScriptFile s;
  if (!MakeScript(s, effect)) {
    state.SkipWithError("no memory for the script");
    return;
  }
  RunRenders(state, s);
  if (!s.MissingCases().empty()) state.SetLabel("no render case");
}
BENCHMARK(BM_EffectAtDefaults)->DenseRange(1, 122)->Unit(benchmark::kMillisecond);

// The swept fill of the layer's paths in 30 steps.
void BM_PathSweep30Steps(benchmark::State& state) {
  BenchSession session;
  Prepare(session);
  ScriptFile s;
  if (!MakeScript(s, 28)) return state.SkipWithError("no memory for the script");
  s.SetParam2(0, 1, 1, 30);
  RunRenders(state, s);
}
BENCHMARK(BM_PathSweep30Steps)->Unit(benchmark::kMillisecond);

void BM_PathFrame(benchmark::State& state) {
  BenchSession session;
  Prepare(session);
  ScriptFile s;
  if (!MakeScript(s, 61)) return state.SkipWithError("no memory for the script");
  RunRenders(state, s);
}
BENCHMARK(BM_PathFrame)->Unit(benchmark::kMillisecond);

void BM_TextureRelief(benchmark::State& state) {
  BenchSession session;
  Prepare(session);
  ScriptFile s;
  if (!MakeScript(s, 52)) return state.SkipWithError("no memory for the script");
  RunRenders(state, s);
}
BENCHMARK(BM_TextureRelief)->Unit(benchmark::kMillisecond);

}  // namespace
