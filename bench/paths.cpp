// Path masks on a 2048 x 1536 plane: the soft fill, the feathered hard fill
// and the colour-blending fill of a 64-point star, an ellipse and an offset
// rounded rectangle, and the spirograph's knot layout. When cairo is
// present, its even-odd fill of the same flattened polygons into an A8
// surface runs beside ours.
//
// Path-list distortions on a list of 10,000 knots (100 paths of 100 knots
// over a 1000 x 800 box): the envelope transform through four edge paths
// and the bending into a four-curve warp frame. The knots are put back
// between iterations outside the timing. And the two rows of a warp grid
// of 5,000 cells laid along two paths.
//
// Text along a spiral: 200 letters loaded as outline lists, placed along
// the path, and filled; FreeType's own rasteriser renders the same glyphs
// placed the same way beside it.
//
// The table layout of 50 slices in a 5 x 10 grid over a 2048 x 1536 image,
// with the image cells and their event codes from two behaviours.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench_session.h"
#include "paths/draw_par.h"
#include "paths/path.h"
#include "paths/path_fill.h"
#include "paths/path_list.h"
#include "paths/text_objects.h"
#include "paths/shape_params.h"
#include "paths/behaviours.h"
#include "paths/slices.h"
#include "paths/warp_frame.h"
#include "platform/draw/font_face.h"
#include "raster/warp_frame_record.h"

#include FT_OUTLINE_H

#ifdef VMK_HAVE_CAIRO
#include <cairo.h>
#endif

namespace {

constexpr int32_t kW = 2048;
constexpr int32_t kH = 1536;

enum Shape { kStar, kEllipse, kRoundedRect };

std::unique_ptr<CPathList> Scene(int64_t shape) {
  auto l = std::make_unique<CPathList>(0);
  int32_t* w = l->objPar.w;
  w[kObjCentreX] = kW / 2;
  w[kObjCentreY] = kH / 2;
  switch (shape) {
    case kStar:
      w[kObjStarPoints] = 64;
      w[kObjStarRadius] = 700;
      w[kObjStarInner] = 70;
      l->fct_crea_ngon(0);
      break;
    case kEllipse:
      w[kObjBoxWidth] = 1800;
      w[kObjBoxHeight] = 1300;
      l->fct_crea_ellipse(0);
      break;
    default:
      w[kObjBoxLeft] = 150;
      w[kObjBoxTop] = 120;
      w[kObjBoxWidth] = 1700;
      w[kObjBoxHeight] = 1250;
      for (int i = 0; i < 4; ++i) w[kObjCornerRadius + i] = 60 * (i + 1);
      w[kObjCornerStyle + 1] = 1;
      w[kObjOutlineOffset] = -40;
      l->fct_crea_RRect(0);
      break;
  }
  return l;
}

void Label(benchmark::State& state) {
  static const char* names[] = {"star64", "ellipse", "offset_rrect"};
  state.SetLabel(names[state.range(0)]);
  state.SetItemsProcessed(state.iterations() * kW * kH);
}

void BM_FillColPath(benchmark::State& state) {
  BenchSession session;
  auto list = Scene(state.range(0));
  const auto feather = static_cast<int32_t>(state.range(1));
  std::vector<uint8_t> mask(static_cast<size_t>(kW) * kH);
  for (auto _ : state) {
    std::memset(mask.data(), 0, mask.size());
    benchmark::DoNotOptimize(
        FillColPath(0, list.get(), kH, kW, mask.data(), 1, kH, 1.0f, 1.0f, 0, 0, 255, feather));
  }
  Label(state);
}
BENCHMARK(BM_FillColPath)
    ->ArgsProduct({{kStar, kEllipse, kRoundedRect}, {0, 8}})
    ->ArgNames({"shape", "feather"})
    ->Unit(benchmark::kMillisecond);

void BM_FillColinPath(benchmark::State& state) {
  BenchSession session;
  auto list = Scene(state.range(0));
  const size_t n = static_cast<size_t>(kW) * kH;
  std::vector<uint8_t> mask(n), selection(n, 255);
  std::vector<uint8_t> planes[4];
  for (auto& p : planes) p.assign(n, 90);
  const uint8_t colour[4] = {200, 40, 120, 10};
  const int16_t opacity = 180;
  for (auto _ : state) {
    std::memset(mask.data(), 0, n);
    benchmark::DoNotOptimize(FillColinPath(
        0, list.get(), kH, kW, mask.data(), kH, planes[0].data(), planes[1].data(),
        planes[2].data(), planes[3].data(), kH, kW, 0, 0, kW - 1, kH - 1, 4, selection.data(),
        colour, &opacity));
  }
  Label(state);
}
BENCHMARK(BM_FillColinPath)->DenseRange(kStar, kRoundedRect)->Unit(benchmark::kMillisecond);

void BM_SpiroLayout(benchmark::State& state) {
  CPathList list(0);
  for (auto _ : state) {
    CPath p;
    list.fct_calc_spiro(0, 0, 0, 0, 0, kW / 2, kH / 2, &p, 101, 37, 50, 1, 200);
    benchmark::DoNotOptimize(
        list.fct_calc_spiro(1, 0, 0, 0, 0, kW / 2, kH / 2, &p, 101, 37, 50, 1, 200));
    state.counters["knots"] = static_cast<double>(p.count);
  }
}
BENCHMARK(BM_SpiroLayout)->Unit(benchmark::kMillisecond);

#ifdef VMK_HAVE_CAIRO
// The paths flattened exactly as the fill flattens them (32 samples a
// segment, rows counted down from the plane's height).
std::vector<std::vector<float>> Polygons(const CPathList& list) {
  std::vector<std::vector<float>> out;
  for (const CPath* p = list.first; p != nullptr; p = p->next) {
    if (p->count <= 1) continue;
    std::vector<float> xs(static_cast<size_t>(p->count) * 33), ys(xs.size());
    const int32_t n = p->DrawToTable(xs.data(), ys.data(), 3);
    std::vector<float> poly;
    for (int32_t i = 0; i < n; ++i) {
      poly.push_back(xs[i]);
      poly.push_back(static_cast<float>(kH) - ys[i]);
    }
    out.push_back(std::move(poly));
  }
  return out;
}

void BM_CairoEvenOddFill(benchmark::State& state) {
  BenchSession session;
  auto list = Scene(state.range(0));
  const auto polys = Polygons(*list);
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, kW, kH);
  cairo_t* cr = cairo_create(surface);
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
  unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (auto _ : state) {
    cairo_surface_flush(surface);
    std::memset(data, 0, static_cast<size_t>(stride) * kH);
    cairo_surface_mark_dirty(surface);
    for (const auto& poly : polys) {
      cairo_move_to(cr, poly[0], poly[1]);
      for (size_t i = 2; i < poly.size(); i += 2) cairo_line_to(cr, poly[i], poly[i + 1]);
      cairo_close_path(cr);
    }
    cairo_fill(cr);
    cairo_surface_flush(surface);
    benchmark::DoNotOptimize(data);
  }
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
  Label(state);
}
BENCHMARK(BM_CairoEvenOddFill)->DenseRange(kStar, kRoundedRect)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

namespace {

constexpr int kPaths = 100;
constexpr int kKnots = 100;

struct PathSession {
  BenchSession session;
  DrawPar drawPar;
  PathSession() {
    Init_DrawPar(&drawPar);
    gPer->drawPar = &drawPar;
  }
};

// Wavy open paths across the box, one per row.
std::unique_ptr<CPathList> WavyList() {
  auto list = std::make_unique<CPathList>(0);
  CPath* last = nullptr;
  for (int p = 0; p < kPaths; ++p) {
    CPath* path = new CPath;
    for (int k = 0; k < kKnots; ++k) {
      const float x = 10.0f * static_cast<float>(k);
      const float y = 8.0f * static_cast<float>(p) + 3.0f * std::sin(0.3f * static_cast<float>(k));
      auto* knot = new CPathPoint(x, y, 0);
      knot->outX = x + 3.0f;
      knot->inX = x - 3.0f;
      path->AddPoint(knot);
    }
    if (last == nullptr) {
      list->first = path;
    } else {
      last->next = path;
    }
    last = path;
    ++list->count;
  }
  return list;
}

std::vector<float> Coordinates(CPathList& list) {
  std::vector<float> out;
  for (CPath* p = list.first; p != nullptr; p = p->next) {
    for (CPathPoint* k = p->first; k != nullptr; k = k->next) {
      out.insert(out.end(), {k->x, k->y, k->outX, k->outY, k->inX, k->inY});
    }
  }
  return out;
}

void Restore(CPathList& list, const std::vector<float>& c) {
  size_t i = 0;
  for (CPath* p = list.first; p != nullptr; p = p->next) {
    for (CPathPoint* k = p->first; k != nullptr; k = k->next) {
      k->x = c[i++];
      k->y = c[i++];
      k->outX = c[i++];
      k->outY = c[i++];
      k->inX = c[i++];
      k->inY = c[i++];
    }
  }
}

CPath* Edge(float x0, float y0, float x1, float y1, float bulge) {
  CPath* p = new CPath;
  auto* a = new CPathPoint(x0, y0, 0);
  auto* b = new CPathPoint(x1, y1, 0);
  a->outX = x0 + (x1 - x0) / 3 + bulge;
  a->outY = y0 + (y1 - y0) / 3 + bulge;
  b->inX = x0 + 2 * (x1 - x0) / 3 + bulge;
  b->inY = y0 + 2 * (y1 - y0) / 3 + bulge;
  p->AddPoint(a);
  p->AddPoint(b);
  return p;
}

void BM_EnvelopeTransform(benchmark::State& state) {
  PathSession s;
  auto list = WavyList();
  const std::vector<float> start = Coordinates(*list);
  std::unique_ptr<CPath> top(Edge(0, 0, 990, 0, -40));
  std::unique_ptr<CPath> right(Edge(990, 0, 990, 795, 30));
  std::unique_ptr<CPath> bottom(Edge(990, 795, 0, 795, 20));
  std::unique_ptr<CPath> left(Edge(0, 795, 0, 0, -10));
  for (auto _ : state) {
    list->Transform(0, 0, 0, 990, 795, top.get(), right.get(), bottom.get(), left.get());
    state.PauseTiming();
    Restore(*list, start);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kPaths * kKnots);
}
BENCHMARK(BM_EnvelopeTransform)->Unit(benchmark::kMillisecond);

void BM_DistortWithPath(benchmark::State& state) {
  PathSession s;
  auto list = WavyList();
  const std::vector<float> start = Coordinates(*list);
  CWarpPath frame;
  frame.kind = 33;
  frame.Reset(list.get());
  for (int i = 22; i <= 26; ++i) frame.Y[i] -= 60.0f;
  for (int i = 15; i <= 19; ++i) frame.X[i] += 40.0f;
  for (auto _ : state) {
    list->DistortWithPath(0, frame.X, frame.Y, 0);
    state.PauseTiming();
    Restore(*list, start);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kPaths * kKnots);
}
BENCHMARK(BM_DistortWithPath)->Unit(benchmark::kMillisecond);

void BM_TwoPathsToGrid(benchmark::State& state) {
  PathSession s;
  auto list = WavyList();
  const CPath* a = list->first;
  const CPath* b = a->next;
  auto grid = std::make_unique<TCWrap>();
  for (auto _ : state) {
    benchmark::DoNotOptimize(a->X_TwoPartPaths_toGrid(b, 0, 100, 5000, grid.get()));
  }
  state.SetItemsProcessed(state.iterations() * 2 * 5001);
}
BENCHMARK(BM_TwoPathsToGrid)->Unit(benchmark::kMillisecond);


// ---------------------------------------------------------------------------
// Text along a spiral: 200 letters of DejaVu Sans at 24 pixels loaded as
// outline lists, placed along an Archimedean spiral over the 2048 x 1536
// plane, and filled. FreeType's own anti-aliased rasteriser renders the
// same glyphs, turned and placed the same way, into a plane of that size.

constexpr int kLetterCount = 200;
constexpr float kLetterSize = 24.0f;

const char* LetterText() {
  static char text[kLetterCount + 1] = {};
  static const char kPhrase[] = "The quick brown fox jumps over the lazy dog. ";
  for (int i = 0; i < kLetterCount; ++i) text[i] = kPhrase[i % (sizeof kPhrase - 1)];
  return text;
}

// A spiral r = 120 + 60 theta / pi about the plane's centre, one knot every
// quarter radian, its handles along the derivative.
CPath* Spiral() {
  auto* p = new CPath;
  const float step = 0.25f;
  for (int i = 0; i <= 120; ++i) {
    const float t = static_cast<float>(i) * step;
    const float r = 120.0f + 60.0f * t / 3.14159265f;
    const float dr = 60.0f / 3.14159265f;
    const float x = kW / 2 + r * std::cos(t), y = kH / 2 + r * std::sin(t);
    const float dx = dr * std::cos(t) - r * std::sin(t), dy = dr * std::sin(t) + r * std::cos(t);
    auto* k = new CPathPoint(x, y, 0);
    k->outX = x + dx * step / 3.0f;
    k->outY = y + dy * step / 3.0f;
    k->inX = x - dx * step / 3.0f;
    k->inY = y - dy * step / 3.0f;
    p->AddPoint(k);
  }
  p->CreaTxtPath();
  CTxtPath& tp = *p->txtPath;
  tp.settings.real1 = kLetterSize;
  tp.settings.text[0] = kLetterCount;
  std::memcpy(tp.settings.text + 1, LetterText(), kLetterCount);
  return p;
}

void BM_LoadLetters(benchmark::State& state) {
  BenchSession session;
  std::unique_ptr<CPath> spiral(Spiral());
  for (auto _ : state) {
    spiral->txtPath->LoadLetters(LetterText(), kLetterCount);
    benchmark::DoNotOptimize(spiral->txtPath->letters[kLetterCount - 1]);
  }
  state.SetItemsProcessed(state.iterations() * kLetterCount);
}
BENCHMARK(BM_LoadLetters)->Unit(benchmark::kMillisecond);

void BM_TransfoToOutline(benchmark::State& state) {
  BenchSession session;
  std::unique_ptr<CPath> spiral(Spiral());
  CPathList warm(0);
  spiral->txtPath->TransfoToOutline(0, &warm);  // letters loaded once
  for (auto _ : state) {
    CPathList placed(0);
    spiral->txtPath->TransfoToOutline(0, &placed);
    benchmark::DoNotOptimize(placed.count);
  }
  state.SetItemsProcessed(state.iterations() * kLetterCount);
}
BENCHMARK(BM_TransfoToOutline)->Unit(benchmark::kMillisecond);

void BM_FillLettersAlongSpiral(benchmark::State& state) {
  BenchSession session;
  std::unique_ptr<CPath> spiral(Spiral());
  CPathList placed(0);
  spiral->txtPath->TransfoToOutline(0, &placed);
  std::vector<uint8_t> mask(static_cast<size_t>(kW) * kH);
  for (auto _ : state) {
    std::memset(mask.data(), 0, mask.size());
    FillColPath(0, &placed, kH, kW, mask.data(), 1, kH, 1.0f, 1.0f, 0, 0, 255, 0);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kW * kH);
}
BENCHMARK(BM_FillLettersAlongSpiral)->Unit(benchmark::kMillisecond);

// The same letters through FT_Outline_Render: each glyph's unhinted outline
// turned about its pivot and moved to its place on the spiral (y up, as
// FreeType's plane and our flipped mask both have it) outside the timing.
void BM_FreeTypeRenderAlongSpiral(benchmark::State& state) {
  BenchSession session;
  FT_Face face = plat::draw::SharedFace();
  if (face == nullptr) {
    state.SkipWithError("no font file");
    return;
  }
  std::unique_ptr<CPath> spiral(Spiral());
  CTxtPath& tp = *spiral->txtPath;
  CPathList warm(0);
  tp.TransfoToOutline(0, &warm);
  const float length = spiral->GetAcuPathLength();
  FT_Library lib = face->glyph->library;
  FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(kLetterSize * 64), 72, 72);
  std::vector<FT_Outline> outlines;
  for (int i = 0; i < kLetterCount; ++i) {
    float p = static_cast<float>(tp.advance[i] + tp.offset[i] + tp.startInt +
                                 (tp.rightExtent[i] - tp.leftExtent[i]) / 2);
    if (p > length) break;
    float angle = 0, x = 0, y = 0;
    spiral->GetPointAtLength(0, p, &angle, &x, &y, nullptr, nullptr);
    if (FT_Load_Char(face, static_cast<uint8_t>(LetterText()[i]),
                     FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0) {
      continue;
    }
    FT_Outline o;
    const FT_Outline& src = face->glyph->outline;
    if (FT_Outline_New(lib, static_cast<FT_UInt>(src.n_points), src.n_contours, &o) != 0) continue;
    FT_Outline_Copy(&src, &o);
    const float pivot = static_cast<float>((tp.leftExtent[i] + tp.rightExtent[i]) / 2 -
                                           tp.advance[i]);
    FT_Outline_Translate(&o, static_cast<FT_Pos>(-pivot * 64.0f), 0);
    FT_Matrix m;
    m.xx = static_cast<FT_Fixed>(std::cos(angle) * 65536.0);
    m.xy = static_cast<FT_Fixed>(-std::sin(angle) * 65536.0);
    m.yx = static_cast<FT_Fixed>(std::sin(angle) * 65536.0);
    m.yy = m.xx;
    FT_Outline_Transform(&o, &m);
    FT_Outline_Translate(&o, static_cast<FT_Pos>(x * 64.0f),
                         static_cast<FT_Pos>((static_cast<float>(kH) - y) * 64.0f));
    outlines.push_back(o);
  }
  std::vector<uint8_t> plane(static_cast<size_t>(kW) * kH);
  FT_Bitmap bitmap = {};
  bitmap.rows = kH;
  bitmap.width = kW;
  bitmap.pitch = kW;
  bitmap.buffer = plane.data();
  bitmap.num_grays = 256;
  bitmap.pixel_mode = FT_PIXEL_MODE_GRAY;
  FT_Raster_Params params = {};
  params.target = &bitmap;
  params.flags = FT_RASTER_FLAG_AA;
  for (auto _ : state) {
    std::memset(plane.data(), 0, plane.size());
    for (FT_Outline& o : outlines) FT_Outline_Render(lib, &o, &params);
    benchmark::ClobberMemory();
  }
  for (FT_Outline& o : outlines) FT_Outline_Done(lib, &o);
  state.SetItemsProcessed(state.iterations() * kW * kH);
  state.SetLabel(std::to_string(outlines.size()) + " glyphs");
}
BENCHMARK(BM_FreeTypeRenderAlongSpiral)->Unit(benchmark::kMillisecond);

}  // namespace

void BM_PrepareSliima(benchmark::State& state) {
  CSliceList list;
  list.width = 2048;
  list.height = 1536;
  for (int row = 0; row < 10; ++row) {
    for (int col = 0; col < 5; ++col) {
      list.AddSlice(0);
      const auto x = static_cast<float>(40 + col * 400);
      const auto y = static_cast<float>(20 + row * 150);
      list.current->CreaSlice(x, y, x + 300, y + 120);
    }
  }
  list.behav->first->SetParam(3, 1, 0, 12, 3);
  list.behav->AddBehav(7);
  list.behav->current->SetParam(2, 1, 0, 1, 1);
  for (auto _ : state) {
    list.PrepareSliima();
    benchmark::DoNotOptimize(list.imaCount);
  }
  state.SetItemsProcessed(state.iterations() * 50);
}
BENCHMARK(BM_PrepareSliima)->Unit(benchmark::kMillisecond);
