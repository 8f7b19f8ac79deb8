// The texture, plaid, lens-blur and compo engines on a 2048 x 1536 picture with their
// default records (the texture also with turbulence 100 and 2048 particles), the plaid
// beside G'MIC's weave when its development package was found; the cookie cutter and the
// star and spirograph shapes (the star beside G'MIC's shape_star and blur), and the spray's
// step and repeat with 32-pixel cells; the image combination with three generated entries
// (its default record has none) beside libvips' composite2 "over" of three layers, and the
// script's texture loader tiling a file over the composite; the default border and the
// screen with 5 % cells, both on a tile file with alpha; the painter with one content brush,
// the cast shadow and the extrusion of a disc (beside G'MIC's brushify and drop_shadow).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/core/file_records.h"
#include "bench_session.h"
#include "content_images.h"
#include "engines/patterns/backdrop_compo_engines.h"
#include "engines/patterns/border_engine.h"
#include "engines/patterns/cast_shadow_engine.h"
#include "engines/patterns/extrusion_engine.h"
#include "engines/patterns/image_combination_engine.h"
#include "engines/patterns/lens_flare_gradient_engines.h"
#include "engines/patterns/misc_spray.h"
#include "engines/patterns/painter_strokes_engine.h"
#include "engines/patterns/path_shape_engines.h"
#include "engines/patterns/screen_engine.h"
#include "engines/patterns/script_image_loaders.h"
#include "engines/patterns/texture_engine.h"
#include "engines/patterns/weave_engine.h"
#include "gmic_peer.h"
#include "peer_ratio.h"
#include "platform/imageio/image_io.h"
#include "script/script_file.h"

#if defined(VMK_PEER_VIPS)
#include <vips/vips.h>
#endif

namespace {

constexpr int32_t kW = 2048;
constexpr int32_t kH = 1536;

struct Picture : BenchPlanes {
  Picture() : BenchPlanes(kW, kH) {}
};

void Items(benchmark::State& state) {
  state.SetItemsProcessed(state.iterations() * int64_t{kW} * kH);
}

void Texture(benchmark::State& state, bool busy) {
  BenchSession session;
  TextuPar r;
  Init_TextuPar(&r);
  if (busy) {
    r.turbulence = 100.0f;
    r.particleCount = 2048;
  }
  Picture pic;
  for (auto _ : state) {
    MiscTextu e;
    e.SetTextuPar(&r);
    e.FillBuf(3, 0, 255, 0, 1.0f, 1.0f, kW, kH, pic.p[0].data(), pic.p[1].data(),
              pic.p[2].data(), nullptr);
    benchmark::DoNotOptimize(pic.p[0].data());
  }
  Items(state);
}
void BM_Texture_Default(benchmark::State& state) { Texture(state, false); }
BENCHMARK(BM_Texture_Default)->Unit(benchmark::kMillisecond);
void BM_Texture_Turbulence100_Particles2048(benchmark::State& state) { Texture(state, true); }
BENCHMARK(BM_Texture_Turbulence100_Particles2048)->Unit(benchmark::kMillisecond);

void BM_Plaid(benchmark::State& state) {
  BenchSession session;
  PlaidPar r;
  Init_PlaidPar(&r, 0);
  Picture pic;
  for (auto _ : state) {
    MiscWeave e;
    e.SetPlaidPar(&r);
    e.FillBuf(3, 0, 255, 0, 1, 0, 0, kW, kH, kW, kH, 0, 0, kW, kH, 1.0f, 1.0f, kW, kH,
              pic.p[0].data(), pic.p[1].data(), pic.p[2].data(), nullptr, nullptr);
    benchmark::DoNotOptimize(pic.p[0].data());
  }
  Items(state);
}
BENCHMARK(BM_Plaid)->Unit(benchmark::kMillisecond);

void BM_LensBlur(benchmark::State& state) {
  BenchSession session;
  LBlurPar r;
  Init_LBlurPar(&r);
  Picture pic;
  for (auto _ : state) {
    MiscLensBlur e;
    e.SetLBlurPar(&r);
    e.FillBuf(0, 255, kW, kH, 0, 0, kW, kH, pic.p[0].data(), pic.p[1].data(), pic.p[2].data(),
              nullptr, nullptr, nullptr);
    benchmark::DoNotOptimize(pic.p[0].data());
  }
  Items(state);
}
BENCHMARK(BM_LensBlur)->Unit(benchmark::kMillisecond);

void BM_Compo(benchmark::State& state) {
  BenchSession session;
  CompoPar r;
  Init_CompoPar(&r, kW, kH, 1, 1, 1, 1);
  Picture pic;
  for (auto _ : state) {
    MiscCompo e;
    e.SetCompoPar(&r);
    e.FillBuf(3, 0, 255, 0, 1, 0, 0, kW, kH, kW, kH, 0, 0, kW, kH, 1.0f, 1.0f, kW, kH,
              pic.p[0].data(), pic.p[1].data(), pic.p[2].data(), nullptr, nullptr);
    benchmark::DoNotOptimize(pic.p[0].data());
  }
  Items(state);
}
BENCHMARK(BM_Compo)->Unit(benchmark::kMillisecond);

#if defined(VMK_PEER_GMIC)
void BM_Peer_Gmic_Weave(benchmark::State& state) {
  RunGmic(state, "2048,1536,1,3 weave", int64_t{kW} * kH);
}
BENCHMARK(BM_Peer_Gmic_Weave)->Unit(benchmark::kMillisecond);
#endif

void BM_CookieCutter(benchmark::State& state) {
  BenchSession session;
  CookiCutPar r;
  Init_CookiCutPar(&r);
  Picture pic;
  for (auto _ : state) {
    MiscCookiCut e;
    e.SetCookiCutPar(&r);
    e.FillBuf(3, 0, 255, 0, 1, kW, kH, 0, 0, kW, kH, kW, kH, 0, 0, kW, kH, 1.0f, 1.0f,
              pic.p[0].data(), pic.p[1].data(), pic.p[2].data(), nullptr, nullptr);
    benchmark::DoNotOptimize(pic.p[0].data());
  }
  Items(state);
}
BENCHMARK(BM_CookieCutter)->Unit(benchmark::kMillisecond);

void Shape(benchmark::State& state, int32_t kind) {
  BenchSession session;
  ShapePar r;
  Init_ShapePar(&r, kW, kH, kind);
  Picture pic;
  for (auto _ : state) {
    MiscShape e;
    e.SetShapePar(&r);
    e.FillBuf(3, 0, 255, 0, 1, 0, 0, kW, kH, kW, kH, 0, 0, kW, kH, 1.0f, 1.0f, kW, kH,
              pic.p[0].data(), pic.p[1].data(), pic.p[2].data(), nullptr, nullptr);
    benchmark::DoNotOptimize(pic.p[0].data());
  }
  Items(state);
}
void BM_Shape_Star(benchmark::State& state) { Shape(state, 0); }
BENCHMARK(BM_Shape_Star)->Unit(benchmark::kMillisecond);
void BM_Shape_Spirograph(benchmark::State& state) { Shape(state, 1); }
BENCHMARK(BM_Shape_Spirograph)->Unit(benchmark::kMillisecond);

void BM_Spray_StepRepeat32(benchmark::State& state) {
  BenchSession session;
  constexpr int32_t kCell = 32;
  std::vector<uint8_t> cell(kCell * kCell, 180);
  std::vector<uint16_t> mask(kCell * kCell, 0);
  Picture pic;
  MiscSpray e;
  e.SetBuf(kW, kH, kW, kH, pic.p[0].data(), pic.p[1].data(), pic.p[2].data());
  e.cellWidth = e.cellHeight = kCell;
  for (int32_t k = 0; k < 3; ++k) e.cellPlanes[k][0] = cell.data();
  e.cellMasks[0] = mask.data();
  for (auto _ : state) {
    e.StepRepeatBuf(kCell, 255, 1, 50, nullptr, 0, nullptr);
    benchmark::DoNotOptimize(pic.p[0].data());
  }
  // The cells belong to this benchmark, not to the memory manager.
  for (int32_t k = 0; k < 3; ++k) e.cellPlanes[k][0] = nullptr;
  e.cellMasks[0] = nullptr;
  Items(state);
}
BENCHMARK(BM_Spray_StepRepeat32)->Unit(benchmark::kMillisecond);

#if defined(VMK_PEER_GMIC)
void BM_Peer_Gmic_StarBlur(benchmark::State& state) {
  for (auto _ : state) {
    gmic_list<float> images;
    gmic_list<char> names;
    try {
      gmic("shape_star 1536 resize 2048,1536,1,3,0,0,0.5,0.5 blur 3", images, names);
    } catch (...) {
      state.SkipWithError("G'MIC refused the star command");
      break;
    }
    benchmark::DoNotOptimize(images._data);
  }
  Items(state);
}
BENCHMARK(BM_Peer_Gmic_StarBlur)->Unit(benchmark::kMillisecond);
#endif

// ---- Image combination and the texture loader ----

// Three 512 x 384 pictures written once into a temporary folder: the combination's entries
// and the loader's texture.
struct EntryFiles {
  BenchScratchDir folder;
  std::string paths[3];
  EntryFiles() {
    if (folder.path.empty()) return;
    constexpr uint32_t w = 512, h = 384;
    std::vector<uint8_t> px(size_t{w} * h * 4);
    for (int32_t k = 0; k < 3; ++k) {
      for (size_t i = 0; i < px.size(); ++i) px[i] = static_cast<uint8_t>((i * (3 + k)) & 255);
      plat::imageio::PixelSource src{px.data(), size_t{w} * 4, w, h, 1};
      paths[k] = folder.path + "/entry" + std::to_string(k) + ".tif";
      plat::imageio::WriteImage(paths[k], plat::imageio::kTypeTIFF, {}, src);
    }
  }
};

const EntryFiles& Entries() {
  static const EntryFiles files;
  return files;
}

void BM_CombIma_ThreeEntries(benchmark::State& state) {
  BenchSession session;
  auto rec = std::make_unique<CombImaPar>();
  Init_CombImaPar(rec.get(), 1);
  for (int32_t k = 0; k < 3; ++k) {
    const fichier f = BenchFileRecord(Entries().paths[k]);
    AddCombIma(rec.get(), kCombImaMaxEntries, &f);
    rec->infos[k].opacity = 70;
  }
  Picture pic;
  for (auto _ : state) {
    MiscCombIma e;
    e.SetCombImaPar(rec.get());
    e.FillBuf(3, 0, 255, 0, 1, kW, kH, 0, 0, kW, kH, kW, kH, 0, 0, kW, kH, 1.0f, 1.0f,
              pic.p[0].data(), pic.p[1].data(), pic.p[2].data(), nullptr, nullptr);
    benchmark::DoNotOptimize(pic.p[0].data());
  }
  Items(state);
}
BENCHMARK(BM_CombIma_ThreeEntries)->Unit(benchmark::kMillisecond);

// A 200 x 200 tile of a file laid over the composite planes of a script.
void BM_LoadTextureFile_Composite(benchmark::State& state) {
  BenchSession session;
  ScriptFile script;
  if (script.I_ScriptFile(3, kW, kH, 72.0f, kW, kH, 0, 0, kW - 1, kH - 1) != 0) {
    state.SkipWithError("no script planes");
    return;
  }
  script.previewScaleX = script.previewScaleY = 1.0f;
  Picture pic;
  for (int32_t k = 0; k < 3; ++k) {
    uint8_t* p = script.ChannelPlane(3 + k, 1);
    std::copy(pic.p[k].begin(), pic.p[k].end(), p);
  }
  Oprn op;
  op.Act = 1;
  op.ToChannel = 2;
  op.Param1 = op.Param2 = 200;
  op.FileOprn = new fichier(BenchFileRecord(Entries().paths[0]));
  for (auto _ : state) benchmark::DoNotOptimize(LoadTextureFile(&script, &op));
  Items(state);
}
BENCHMARK(BM_LoadTextureFile_Composite)->Unit(benchmark::kMillisecond);

#if defined(VMK_PEER_VIPS)
// libvips laying three RGBA layers of 70 % alpha "over" an opaque base of the same size,
// computed into memory single-threaded like ours (the layers are already decoded: the
// loading and resizing our entries do is not in this time).
void BM_Peer_Vips_Composite2Over(benchmark::State& state) {
  if (VIPS_INIT("bench_pattern_engines") != 0) {
    state.SkipWithError("libvips would not start");
    return;
  }
  vips_concurrency_set(1);
  const size_t n = size_t{kW} * kH;
  std::vector<uint8_t> layers[4];
  Picture pic;
  for (int32_t l = 0; l < 4; ++l) {
    layers[l].resize(n * 4);
    for (size_t i = 0; i < n; ++i) {
      for (int32_t k = 0; k < 3; ++k)
        layers[l][4 * i + k] = l == 0 ? pic.p[k][i] : static_cast<uint8_t>((i * (2 + l)) & 255);
      layers[l][4 * i + 3] = l == 0 ? 255 : 178;
    }
  }
  for (auto _ : state) {
    VipsImage* in[4];
    for (int32_t l = 0; l < 4; ++l) {
      VipsImage* raw = vips_image_new_from_memory(layers[l].data(), layers[l].size(), kW, kH, 4,
                                                  VIPS_FORMAT_UCHAR);
      // Bytes from memory carry no colour space; these are sRGB with alpha.
      if (vips_copy(raw, &in[l], "interpretation", VIPS_INTERPRETATION_sRGB, nullptr) != 0)
        in[l] = raw;
      else
        g_object_unref(raw);
    }
    VipsImage* acc = in[0];
    g_object_ref(acc);
    for (int32_t l = 1; l < 4 && acc != nullptr; ++l) {
      VipsImage* out = nullptr;
      if (vips_composite2(acc, in[l], &out, VIPS_BLEND_MODE_OVER, nullptr) != 0) {
        state.SkipWithError(vips_error_buffer());
        out = nullptr;
      }
      g_object_unref(acc);
      acc = out;
    }
    if (acc != nullptr) {
      size_t length = 0;
      void* bytes = vips_image_write_to_memory(acc, &length);
      if (bytes == nullptr) state.SkipWithError(vips_error_buffer());
      benchmark::DoNotOptimize(bytes);
      g_free(bytes);
      g_object_unref(acc);
    }
    for (VipsImage* im : in) g_object_unref(im);
  }
  Items(state);
}
BENCHMARK(BM_Peer_Vips_Composite2Over)->Unit(benchmark::kMillisecond)->UseRealTime();

// The ratio row of the image combination: three entries at 70 % over the picture against
// libvips laying three layers of 70 % alpha over it, both at default threads (libvips at its
// default concurrency). The two composite differently, so each side's change is shown.
void BM_Ratio_ImageCombination_Vips(benchmark::State& state) {
  BenchSession session;
  if (VIPS_INIT("bench_pattern_engines") != 0) {
    state.SkipWithError("libvips would not start");
    return;
  }
  vips_concurrency_set(0);
  auto rec = std::make_unique<CombImaPar>();
  Init_CombImaPar(rec.get(), 1);
  for (int32_t k = 0; k < 3; ++k) {
    const fichier f = BenchFileRecord(Entries().paths[k]);
    AddCombIma(rec.get(), kCombImaMaxEntries, &f);
    rec->infos[k].opacity = 70;
  }
  const Picture original;
  Picture mine;
  auto project = [&] {
    mine = original;
    MiscCombIma e;
    e.SetCombImaPar(rec.get());
    e.FillBuf(3, 0, 255, 0, 1, kW, kH, 0, 0, kW, kH, kW, kH, 0, 0, kW, kH, 1.0f, 1.0f,
              mine.p[0].data(), mine.p[1].data(), mine.p[2].data(), nullptr, nullptr);
  };
  const size_t n = size_t{kW} * kH;
  std::vector<uint8_t> layers[4], result;
  for (int32_t l = 0; l < 4; ++l) {
    layers[l].resize(n * 4);
    for (size_t i = 0; i < n; ++i) {
      for (int32_t k = 0; k < 3; ++k)
        layers[l][4 * i + k] =
            l == 0 ? original.p[k][i] : static_cast<uint8_t>((i * (2 + l)) & 255);
      layers[l][4 * i + 3] = l == 0 ? 255 : 178;
    }
  }
  auto peer = [&] {
    VipsImage* in[4];
    for (int32_t l = 0; l < 4; ++l) {
      VipsImage* raw = vips_image_new_from_memory(layers[l].data(), layers[l].size(), kW, kH, 4,
                                                  VIPS_FORMAT_UCHAR);
      if (vips_copy(raw, &in[l], "interpretation", VIPS_INTERPRETATION_sRGB, nullptr) != 0)
        in[l] = raw;
      else
        g_object_unref(raw);
    }
    VipsImage* acc = in[0];
    g_object_ref(acc);
    for (int32_t l = 1; l < 4 && acc != nullptr; ++l) {
      VipsImage* out = nullptr;
      if (vips_composite2(acc, in[l], &out, VIPS_BLEND_MODE_OVER, nullptr) != 0) out = nullptr;
      g_object_unref(acc);
      acc = out;
    }
    if (acc != nullptr) {
      size_t length = 0;
      auto* bytes = static_cast<uint8_t*>(vips_image_write_to_memory(acc, &length));
      if (bytes != nullptr) result.assign(bytes, bytes + length);
      g_free(bytes);
      g_object_unref(acc);
    }
    for (VipsImage* im : in) g_object_unref(im);
  };
  PeerRatio ratio;
  for (auto _ : state) {
    project();
    peer();
    std::vector<uint8_t> theirs(n, 0);
    const size_t bands = result.size() / std::max<size_t>(n, 1);
    for (size_t i = 0; i < n && bands > 0; ++i) theirs[i] = result[bands * i];
    ratio.projectChange = MeanAbsDifference(mine.p[0].data(), original.p[0].data(), n);
    ratio.peerChange = MeanAbsDifference(theirs.data(), original.p[0].data(), n);
    TimeSideBySide(project, peer, 7, &ratio);
  }
  ReportRatio(state, "image combination, 3 entries (92) / vips_composite2", ratio,
              "compositing differs: times only");
}
BENCHMARK(BM_Ratio_ImageCombination_Vips)->Iterations(1)->Unit(benchmark::kMillisecond);
#endif

// ---- Border and screen ----

// A 128 x 128 tile with a round alpha, written once into a scratch folder for the border and
// the screen, which read their tiles from files.
struct TileFile {
  BenchScratchDir folder;
  fichier file;
  TileFile() {
    if (folder.path.empty()) return;
    std::vector<uint8_t> px(128 * 128 * 4);
    for (uint32_t y = 0; y < 128; ++y)
      for (uint32_t x = 0; x < 128; ++x) {
        uint8_t* q = px.data() + (y * 128 + x) * 4;
        const int32_t dx = static_cast<int32_t>(x) - 64, dy = static_cast<int32_t>(y) - 64;
        q[0] = static_cast<uint8_t>(x * 2);
        q[1] = static_cast<uint8_t>(y * 2);
        q[2] = 90;
        q[3] = dx * dx + dy * dy < 60 * 60 ? 255 : 0;
      }
    plat::imageio::PixelSource src;
    src.base = px.data();
    src.rowBytes = 128 * 4;
    src.width = 128;
    src.height = 128;
    const std::string path = folder.path + "/tile.tif";
    if (plat::imageio::WriteRgbaTiff(path, src) == plat::imageio::kOk) SetFicFromPosix(&file, path);
  }
};

// The default border (one layer of picture tiles, four cells a side) with the tile file.
void BM_Border_Default(benchmark::State& state) {
  BenchSession session;
  TileFile tile;
  auto r = std::make_unique<BordPar>();
  Init_BordPar(r.get(), kW, kH, 0, 1, 1, 1);
  for (fichier& f : r->layers[0].files) f = tile.file;
  Picture pic;
  for (auto _ : state) {
    MiscBord e;
    e.SetBordPar(r.get());
    e.FillBuf(3, 0, 255, 0, 1, kW, kH, 0, 0, kW, kH, kW, kH, 0, 0, kW, kH, 1.0f, 1.0f,
              pic.p[0].data(), pic.p[1].data(), pic.p[2].data(), nullptr, nullptr);
    benchmark::DoNotOptimize(pic.p[0].data());
  }
  Items(state);
}
BENCHMARK(BM_Border_Default)->Unit(benchmark::kMillisecond);

// The screen in image mode 0 with cells of 5 % of the picture (a 20 x 20 grid).
void BM_Screen_Mode0_Cells5(benchmark::State& state) {
  BenchSession session;
  TileFile tile;
  auto r = std::make_unique<ScreenPar>();
  Init_ScreenPar(r.get(), 0);
  r->images[0] = tile.file;
  Picture pic;
  for (auto _ : state) {
    MiscScreen e;
    e.SetScreenPar(r.get());
    e.FillBuf(3, 0, 255, 0, kW, kH, 0, 0, kW, kH, pic.p[0].data(), pic.p[1].data(),
              pic.p[2].data(), nullptr, 10, 10, 0, 0);
    benchmark::DoNotOptimize(pic.p[0].data());
  }
  Items(state);
}
BENCHMARK(BM_Screen_Mode0_Cells5)->Unit(benchmark::kMillisecond);

// ---- painter strokes, cast shadow, extrusion ----

// The round soft brush of the content library, written once to a scratch file.
std::string ContentBrush() {
  static const std::string path = [] {
    const std::string p = (std::filesystem::temp_directory_path() / "vmk_bench_brush.tif").string();
    for (const content::Item& item : content::Library()) {
      if (item.path != "Sprays/brush_round_soft.tif") continue;
      const content::Picture pic = item.draw();
      plat::imageio::PixelSource src;
      src.base = pic.pixels.data();
      src.rowBytes = size_t{pic.width} * 4;
      src.width = pic.width;
      src.height = pic.height;
      plat::imageio::WriteImage(p, plat::imageio::kTypeTIFF, {}, src);
    }
    return p;
  }();
  return path;
}

// One content brush in set 0 at density 50 (170 x 170 strokes of a 30-pixel brush in 16
// angles); the default record names no brush and would draw nothing.
void BM_PainterStrokes_OneBrush_Density50(benchmark::State& state) {
  BenchSession session;
  StrokPar r;
  Init_StrokPar(&r);
  SetFicFromPosix(&r.brushes[0], ContentBrush());
  Picture pic;
  for (auto _ : state) {
    MiscStrok e;
    e.SetStrokPar(&r);
    e.FillBuf(1, 0, 0, 3, 0, 255, kW, kH, 0, 0, kW, kH, pic.p[0].data(), pic.p[1].data(),
              pic.p[2].data(), nullptr);
    benchmark::DoNotOptimize(pic.p[0].data());
  }
  Items(state);
}
BENCHMARK(BM_PainterStrokes_OneBrush_Density50)->Unit(benchmark::kMillisecond);

// The default record of a photo the size of the planes. The engine fades its source channel
// in place, so each pass starts from a fresh copy (one plane's memcpy, timed with it).
void BM_CastShadow_Default(benchmark::State& state) {
  BenchSession session;
  session.per.previewWidth = kW;
  session.per.previewHeight = kH;
  ShadoPar r;
  Init_ShadoPar(&r, 0);
  Picture pic;
  std::vector<uint8_t> source(pic.p[0].size()), mask(pic.p[0].size());
  for (auto _ : state) {
    std::copy(pic.p[1].begin(), pic.p[1].end(), source.begin());
    std::fill(mask.begin(), mask.end(), uint8_t{0});
    MiscPhotoShado e;
    e.SetShadoPar(&r);
    e.FillBuf(0, 255, kW, kH, pic.p[0].data(), pic.p[1].data(), pic.p[2].data(), source.data(),
              mask.data(), kW, kH);
    benchmark::DoNotOptimize(pic.p[0].data());
  }
  Items(state);
}
BENCHMARK(BM_CastShadow_Default)->Unit(benchmark::kMillisecond);

// A disc of radius 600 in the source channel, the back quadrilateral shrunk to two thirds and
// shifted toward the lower right.
void BM_Extrusion_Disc_BackShifted(benchmark::State& state) {
  BenchSession session;
  session.per.previewWidth = kW;
  session.per.previewHeight = kH;
  XTrudePar r;
  Init_XTrudePar(&r, 0, kW, kH);
  const int32_t x[4] = {900, 900, 2000, 2000}, y[4] = {100, 1100, 1100, 100};
  for (int32_t k = 0; k < 4; ++k) {
    r.w[XTrudeQuadWord(2 * k, kXTrudeQuads - 1)] = x[k];
    r.w[XTrudeQuadWord(2 * k + 1, kXTrudeQuads - 1)] = y[k];
  }
  std::vector<uint8_t> disc(static_cast<size_t>(kW) * kH, 0);
  for (int32_t yy = 0; yy < kH; ++yy)
    for (int32_t xx = 0; xx < kW; ++xx) {
      const int64_t dx = xx - kW / 2, dy = yy - kH / 2;
      if (dx * dx + dy * dy < 600 * 600) disc[static_cast<size_t>(yy) * kW + xx] = 255;
    }
  Picture pic;
  for (auto _ : state) {
    MiscXTrude e;
    e.SetXTrudePar(&r);
    e.FillBuf(0, 255, kW, kH, 3, pic.p[0].data(), pic.p[1].data(), pic.p[2].data(), disc.data(),
              nullptr, kW, kH);
    benchmark::DoNotOptimize(pic.p[0].data());
  }
  Items(state);
}
BENCHMARK(BM_Extrusion_Disc_BackShifted)->Unit(benchmark::kMillisecond);

#if defined(VMK_PEER_GMIC)
// G'MIC's painterly brushify with its own default brush set, and its drop shadow.
void BM_Peer_Gmic_Brushify(benchmark::State& state) {
  RunGmic(state, "2048,1536,1,3 noise 60 shape_circle 32 brushify[0] [1] rm[1]", int64_t{kW} * kH);
}
BENCHMARK(BM_Peer_Gmic_Brushify)->Unit(benchmark::kMillisecond);

void BM_Peer_Gmic_DropShadow(benchmark::State& state) {
  RunGmic(state, "2048,1536,1,4 noise 60 drop_shadow 3,3,1", int64_t{kW} * kH);
}
BENCHMARK(BM_Peer_Gmic_DropShadow)->Unit(benchmark::kMillisecond);
#endif

}  // namespace
