// The zoomed preview renders only the part of the picture its view shows and
// the margin its layers reach: where that part is shown at one picture pixel
// a view pixel it is OK's result there, sample for sample; enlarged, OK's
// pixels under the view's; reduced by a whole factor, the rounded means of
// OK's blocks. Layers that reach the whole picture (flips, offsets, noise)
// render the whole picture and give the same; below 1:1, where supersampled
// planes of it would be larger than the picture, at its own pixels, each view
// pixel the area mean of OK's pixels under it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/core/file_records.h"
#include "app/core/session_state.h"
#include "app/file_access.h"
#include "dialogs/editor/preview_render.h"
#include "dialogs/editor/tune_effect_tables.h"
#include "engines/families/effect_families.h"
#include "host/ApePlugInUtilities/ape_spans.h"
#include "host/ApePlugInUtilities/image_files.h"
#include "host/ApePlugInUtilities/pixel_buffer.h"
#include "paths/draw_par.h"
#include "paths/path_list.h"
#include "platform/parallel/parallel.h"
#include "platform/random/random.h"
#include "platform/types/plane_view.h"
#include "script/layers.h"
#include "script/misc_render.h"
#include "script/lut_vign.h"
#include "script/record_kinds.h"
#include "script/render_reach.h"
#include "script/script_file.h"
#include "support/session.h"

namespace {

constexpr int32_t kW = 600, kH = 400;
constexpr uint32_t kSeed = 20261210;

// An operation of the layer: its effect and first three parameters.
struct Op {
  int16_t code, p1 = 0, p2 = 0, p3 = 0;
};

class ZoomedPreviewTest : public ::testing::Test {
 protected:
  ZoomedPreviewTest() : photo_(kW, kH, 1, 4) {}

  void SetUp() override {
    RegisterEffectFamilies();
    gPer = &per_;
    per_.memMan = new CMemMan;
    Init_DrawPar(&drawPar_);
    per_.drawPar = &drawPar_;
    per_.previewWidth = kW;
    per_.previewHeight = kH;
    per_.resolution = 72.0f;
    ASSERT_TRUE(SetFicFromPosix(&app_.data().makersFolder, dir_.path().string()));
    ASSERT_TRUE(SetFicFromPosix(&layers_, dir_.file("layers")));
    // Shapes, gradients and a grain of a pixel: something for every filter
    // to change at every distance.
    for (int32_t y = 0; y < kH; ++y)
      for (int32_t x = 0; x < kW; ++x) {
        uint8_t* p = photo_.rowPtr(static_cast<uint32_t>(y)) + 4 * x;
        const int grain = static_cast<int>((x * 7919 + y * 104729) % 23) - 11;
        const bool disc = (x - 220) * (x - 220) + (y - 180) * (y - 180) < 90 * 90;
        const bool bars = x > 380 && (x / 9) % 2 == 0;
        p[0] = static_cast<uint8_t>(std::clamp((disc ? 230 : 40 + x / 4) + grain, 0, 255));
        p[1] = static_cast<uint8_t>(std::clamp((bars ? 200 : 70 + y / 3) + grain, 0, 255));
        p[2] = static_cast<uint8_t>(std::clamp((disc ? 60 : 180 - y / 4) - grain, 0, 255));
        p[3] = 255;
      }
    rec_.imageRect = Rect{0, 0, static_cast<int16_t>(kH), static_cast<int16_t>(kW)};
    rec_.inLastPlane = 2;
    rec_.imageWidth = kW;
    rec_.imageHeight = kH;
    rec_.planeCount = 3;
    rec_.imageMode = 3;
    rec_.resolutionH = 72 << 16;
    gFilterRecord = &rec_;
    SetSessionSpanImages(&photo_, &unused_);
    // The document's script at the picture's size: the layer file keeps the
    // parameters as they are set.
    ASSERT_EQ(document_.I_ScriptFile(3, kW, kH, 72.0f, kW, kH, 0, 0, kW - 1, kH - 1), 0);
    document_.SetDrw(nullptr, &drawPar_);
  }

  void TearDown() override {
    script_.reset();
    SetSessionSpanImages(nullptr, nullptr);
    gFilterRecord = nullptr;
    gPer = nullptr;
    delete per_.memMan;
  }

  // The layer's operations, each on the composite as the image tools make
  // one of its kind (its source, ramp and record), then written as the
  // layered editor writes its layer file.
  void Layer(const std::vector<Op>& ops) {
    int16_t o = 1;
    for (const Op& op : ops) {
      document_.SetEffect(0, 1, o, op.code, 0, 0, kW, kH);
      document_.SetToChannel(0, 1, o, 2);
      document_.SetAct(0, 1, o, 1);
      if (const tuneeff::KindChange* k = tuneeff::KindChangeOf(op.code)) {
        if (k->record == tuneeff::KindRecord::kRecord) {
          const RecordKind* rk = FindRecordKind(k->recordKind);
          ASSERT_NE(rk, nullptr);
          void* block = NewRecordBlock(rk->blockSize);
          ASSERT_NE(block, nullptr);
          rk->construct(block);
          document_.GetRecordPar(k->recordKind, 0, 1, o, block);
          document_.SetRecordPar(k->recordKind, 0, 1, o, block);
          if (rk->release != nullptr) rk->release(block);
          DeleteRecordBlock(block);
        }
        if (k->ramp >= 0) {
          auto ramp = std::make_unique<LutVign>();
          document_.GetLutVign(k->ramp, 0, 1, o, ramp.get());
          document_.SetLutVign(0, 1, o, ramp.get());
        }
        if (k->source != 0) document_.SetFromChannel(0, 1, o, k->source);
      }
      document_.SetParam1(0, 1, o, op.p1);
      document_.SetParam2(0, 1, o, op.p2);
      document_.SetParam3(0, 1, o, op.p3);
      ++o;
    }
    File_kern kern(&layers_);
    ASSERT_EQ(document_.SaveCombiLay(&kern, 0, nullptr), 0);
  }

  // OK's result: the layer file over the whole picture as the host renders
  // it, top row first, three samples a pixel.
  std::vector<uint8_t> Result() {
    ScriptFile s;
    EXPECT_EQ(s.I_ScriptFile(3, kW, kH, 72.0f, kW, kH, 0, 0, kW, kH), 0);
    s.SetDrwVal(0, 0, 1.0f, 1.0f, 0, 0);
    s.NewLimSize(0, 0, kW, kH, 1.0f, 1.0f);
    uint8_t* planes[4];
    for (int c = 0; c < 4; ++c) planes[c] = reinterpret_cast<uint8_t*>(s.planes->CreBuf(3 + c));
    for (int32_t y = 0; y < kH; ++y) {
      const size_t at = static_cast<size_t>(kH - 1 - y) * kW;
      for (int32_t x = 0; x < kW; ++x)
        for (int c = 0; c < 3; ++c) planes[c][at + x] = photo_.rowPtr(static_cast<uint32_t>(y))[4 * x + c];
      std::memset(planes[3] + at, 255, kW);
    }
    s.SetBuf(planes[0], planes[1], planes[2], nullptr, planes[3], nullptr);
    File_kern file(&layers_);
    int32_t value = 0;
    EXPECT_EQ(s.RecallCombiLay(&file, 2, &value, nullptr), 0);
    plat::SeedRandom(kSeed);
    EXPECT_EQ(s.Render(0, 0, 0, nullptr, planes[3], nullptr, 0, 0), 0);
    std::vector<uint8_t> out(static_cast<size_t>(kW) * kH * 3);
    for (int32_t y = 0; y < kH; ++y)
      for (int32_t x = 0; x < kW; ++x)
        for (int c = 0; c < 3; ++c)
          out[(static_cast<size_t>(y) * kW + x) * 3 + c] =
              s.ChannelPlane(3 + c, 0)[static_cast<size_t>(kH - 1 - y) * kW + x];
    return out;
  }

  // The zoomed preview of `part` in a view of the part's size, top row first.
  std::vector<uint8_t> Zoomed(const ZoomedPart& part) {
    const int32_t vw = part.shownWidth, vh = part.shownHeight;
    const size_t n = static_cast<size_t>(vw) * vh;
    std::vector<uint8_t> planes[4] = {std::vector<uint8_t>(n), std::vector<uint8_t>(n), std::vector<uint8_t>(n),
                                      std::vector<uint8_t>(n)};
    uint8_t* p[4] = {planes[0].data(), planes[1].data(), planes[2].data(), planes[3].data()};
    plat::SeedRandom(kSeed);
    EXPECT_TRUE(RenderZoomedPreview(layers_, 1, kW, kH, part, vw, vh, p, nullptr));
    std::vector<uint8_t> out(n * 3);
    for (int32_t y = 0; y < vh; ++y)
      for (int32_t x = 0; x < vw; ++x)
        for (int c = 0; c < 3; ++c)
          out[(static_cast<size_t>(y) * vw + x) * 3 + c] = p[c][static_cast<size_t>(vh - 1 - y) * vw + x];
    return out;
  }

  // What the view of `part` shows of OK's result: its pixel under each view
  // pixel's centre at one picture pixel a view pixel or less, else the
  // rounded mean of the k x k block of the view pixel.
  static std::vector<uint8_t> ResultShown(const std::vector<uint8_t>& result, const ZoomedPart& part, int32_t k) {
    std::vector<uint8_t> out(static_cast<size_t>(part.shownWidth) * part.shownHeight * 3);
    for (int32_t y = 0; y < part.shownHeight; ++y)
      for (int32_t x = 0; x < part.shownWidth; ++x)
        for (int c = 0; c < 3; ++c) {
          uint32_t v = 0;
          if (k <= 1) {
            const auto px = static_cast<int32_t>(part.left + (x + 0.5) * part.step);
            const auto py = static_cast<int32_t>(part.top + (y + 0.5) * part.step);
            v = result[(static_cast<size_t>(py) * kW + px) * 3 + c];
          } else {
            uint32_t sum = 0;
            for (int32_t j = 0; j < k; ++j)
              for (int32_t i = 0; i < k; ++i)
                sum += result[(static_cast<size_t>(part.top + y * k + j) * kW + part.left + x * k + i) * 3 + c];
            v = (sum + static_cast<uint32_t>(k * k / 2)) / static_cast<uint32_t>(k * k);
          }
          out[(static_cast<size_t>(y) * part.shownWidth + x) * 3 + c] = static_cast<uint8_t>(v);
        }
    return out;
  }

  // OK's result as the view of `part` shows it reduced by ReduceToView, top row first.
  static std::vector<uint8_t> ResultReduced(const std::vector<uint8_t>& result, const ZoomedPart& part) {
    std::vector<uint8_t> out(static_cast<size_t>(part.shownWidth) * part.shownHeight * 3);
    for (int c = 0; c < 3; ++c)
      EXPECT_TRUE(ReduceToView(plat::ConstPlaneView<uint8_t>(result.data() + c, kW, kH, int64_t{kW} * 3), 3,
                               part.left, part.top, part.step,
                               plat::PlaneView<uint8_t>(out.data() + c, part.shownWidth, part.shownHeight,
                                                        int64_t{part.shownWidth} * 3),
                               3));
    return out;
  }

  // Samples of `got` other than `want`.
  static int Differing(const std::vector<uint8_t>& got, const std::vector<uint8_t>& want) {
    if (got.size() != want.size()) return -1;
    int n = 0;
    for (size_t i = 0; i < got.size(); ++i) n += got[i] != want[i];
    return n;
  }

  // How far the layer file reads at the picture's own scale.
  int32_t Reach() {
    MiscRender render;
    render.SetFich(&layers_, nullptr, 2, 0, 0);
    render.fittedPreview = true;
    render.wholeWidth = kW;
    render.wholeHeight = kH;
    return render.SourceReach(kW, kH);
  }

  // Each of the parts shown as OK's result shows it: at 1:1 inside the
  // picture and at its far corner, enlarged, and reduced 2 and 3 times.
  void ExpectPartsAsTheResult(const std::string& what, int32_t reach) {
    SCOPED_TRACE(what);
    EXPECT_EQ(Reach(), reach);
    const std::vector<uint8_t> result = Result();
    const struct {
      ZoomedPart part;
      int32_t k;
    } parts[] = {
        {{1.0, 203, 117, 160, 120}, 1},    // inside, away from the sample grid
        {{1.0, 440, 280, 160, 120}, 1},    // the picture's bottom-right corner
        {{1.0, 0, 0, 97, 61}, 1},          // its top-left corner
        {{0.5, 251, 143, 130, 90}, 1},     // at 200 %
        {{2.0, 150, 90, 110, 70}, 2},      // at 50 %
        {{3.0, 150, 21, 150, 110}, 3},     // at 33 %, reaching the picture's right edge
    };
    for (const auto& p : parts) {
      SCOPED_TRACE(std::to_string(p.part.left) + ", " + std::to_string(p.part.top) + " at step " +
                   std::to_string(p.part.step));
      EXPECT_EQ(Differing(Zoomed(p.part), ResultShown(result, p.part, p.k)), 0);
    }
  }

  vmktest::TempDir dir_;
  vmktest::ScopedAppData app_;
  TPermanent per_;
  DrawPar drawPar_;
  fichier layers_;
  PixelBuffer photo_;
  PixelBuffer unused_;
  FilterRecord rec_;
  // Made with the fixture and ended in TearDown, while the session that holds its records lives.
  std::optional<ScriptFile> script_{std::in_place};
  ScriptFile& document_ = *script_;
};

TEST_F(ZoomedPreviewTest, LayersThatMapEachSampleAreTheResultThere) {
  for (const std::vector<Op>& ops : std::vector<std::vector<Op>>{
           {{16, 30}},                       // brightness
           {{17, 20, 10, 0}},                // contrast
           {{18, 40, 130, 10}},              // hue, saturation, lightness
           {{9}, {15, 5}},                   // invert, posterize
           {{3, 120}, {5, 90}},              // add and difference of the composite
       }) {
    Layer(ops);
    ExpectPartsAsTheResult("effect " + std::to_string(ops.front().code), 0);
  }
}

TEST_F(ZoomedPreviewTest, LayersThatReadANeighbourhoodAreTheResultThere) {
  const struct {
    std::vector<Op> ops;
    int32_t reach;
  } cases[] = {
      {{{11, 9}}, BlurReach(9)},                                     // blur
      {{{11, 42}}, BlurReach(42)},                                   // wide, grouped in fours on the coarser level
      {{{11, 199}}, BlurReach(199)},                                 // the widest
      {{{7, 3, 5}}, 6},                                              // dilation
      {{{8, 6, 2}}, 7},                                              // erosion
      {{{12, 3, 45, 128}}, 4},                                       // relief
      {{{34, 5}}, 6},                                                // contour growth
      {{{47, 4}}, 5},
      {{{55, 2, 3}}, 7},                                             // median, two passes
      {{{84, 25, 30}}, 26},                                          // motion blur
      {{{11, 13}, {16, 20}, {7, 2, 2}}, BlurReach(13) + 3},          // reaches add up
  };
  for (const auto& c : cases) {
    Layer(c.ops);
    ExpectPartsAsTheResult("effect " + std::to_string(c.ops.front().code) + " " + std::to_string(c.ops.front().p1),
                           c.reach);
  }
}

// Layers that reach the whole picture.
std::vector<std::vector<Op>> WholePictureLayers() {
  return {
      {{54, 1}},            // flip
      {{19, 50, 20}},       // offset
      {{63, 30}},           // noise, drawn from the same seed
      {{16, 10}, {54, 2}},  // a mapped layer before one without a reach
  };
}

// Layers without a reach: the part comes from a render of the whole picture.
TEST_F(ZoomedPreviewTest, LayersThatReachTheWholePictureAreTheResultThere) {
  for (const std::vector<Op>& ops : WholePictureLayers()) {
    Layer(ops);
    ExpectPartsAsTheResult("effect " + std::to_string(ops.back().code), kReachesWhole);
  }
}

// Between 1:1 and the step where the whole picture is supersampled a whole number of times
// within its own size, a layer that reaches the whole picture is rendered at the picture's own
// pixels: its record reads as OK's render reads it (the noise draws the same grain, the texture
// its particles at the same places), and each view pixel is the mean of OK's result under it.
TEST_F(ZoomedPreviewTest, WholePictureLayersBelowOneToOneAreTheResultReduced) {
  const ZoomedPart parts[] = {
      {10000.0 / 9441.0, 37, 21, 500, 350},   // 94 %
      {10000.0 / 7049.0, 170, 120, 300, 200},  // 70 %
      {10000.0 / 6066.0, 11, 3, 300, 200},     // 61 %
      {1.9, 100, 40, 290, 190},                // 53 %, past the picture's right and bottom edges
      {2.5, 77, 13, 200, 150},                 // 40 %, where three samples a view pixel would be larger
  };
  for (const std::vector<Op>& ops : WholePictureLayers()) {
    Layer(ops);
    SCOPED_TRACE("effect " + std::to_string(ops.back().code));
    EXPECT_EQ(Reach(), kReachesWhole);
    const std::vector<uint8_t> result = Result();
    for (const ZoomedPart& part : parts) {
      SCOPED_TRACE("at step " + std::to_string(part.step));
      const ZoomedPlanes plan = PlanZoomedPlanes(kW, kH, part, kReachesWhole);
      EXPECT_TRUE(plan.ownPixels);
      EXPECT_EQ(plan.width, kW);
      EXPECT_EQ(plan.height, kH);
      EXPECT_EQ(Differing(Zoomed(part), ResultReduced(result, part)), 0);
    }
  }
}

// The planes a part takes: the part alone where the layers map each sample,
// the margin they reach around it (from a multiple of four samples of the
// whole, counted from its left and its foot) cut at the picture's edges, the
// whole picture where they reach it; reduced, k samples a view pixel, on
// planes no larger than the picture for the whole.
TEST(ZoomedPlanes, ThePartTheMarginAndTheWhole) {
  const ZoomedPart inside{1.0, 203, 117, 160, 120};
  ZoomedPlanes z = PlanZoomedPlanes(kW, kH, inside, 0);
  EXPECT_EQ(z.k, 1);
  EXPECT_EQ(z.x0, 200);
  EXPECT_EQ(z.y0, 117);
  EXPECT_EQ(z.width, 163);
  EXPECT_EQ(z.height, 120 + (kH - 237) % 4);
  EXPECT_EQ(z.shownX, 3);
  EXPECT_EQ(z.shownY, 0);
  EXPECT_EQ((kH - (z.y0 + z.height)) % 4, 0);

  z = PlanZoomedPlanes(kW, kH, inside, 30);
  EXPECT_EQ(z.x0, 172);
  EXPECT_EQ(z.y0, 87);
  EXPECT_EQ(z.x0 + z.width, 393);
  EXPECT_EQ((kH - (z.y0 + z.height)) % 4, 0);
  EXPECT_GE(z.y0 + z.height, 117 + 120 + 30);
  EXPECT_EQ(z.shownX, 31);
  EXPECT_EQ(z.shownY, 30);

  // Cut at the picture's edges.
  z = PlanZoomedPlanes(kW, kH, ZoomedPart{1.0, 10, 350, 100, 50}, 40);
  EXPECT_EQ(z.x0, 0);
  EXPECT_EQ(z.x0 + z.width, 150);
  EXPECT_EQ(z.y0, 310);
  EXPECT_EQ(z.y0 + z.height, kH);

  z = PlanZoomedPlanes(kW, kH, inside, kReachesWhole);
  EXPECT_EQ(z.x0, 0);
  EXPECT_EQ(z.y0, 0);
  EXPECT_EQ(z.width, kW);
  EXPECT_EQ(z.height, kH);
  EXPECT_EQ(z.shownX, 203);
  EXPECT_EQ(z.shownY, 117);

  // Enlarged: the picture's own pixels under the view.
  z = PlanZoomedPlanes(kW, kH, ZoomedPart{0.25, 100, 100, 160, 120}, 0);
  EXPECT_EQ(z.sampleStep, 1.0);
  EXPECT_EQ(z.width, 40);
  EXPECT_EQ(z.height, 30 + (kH - 130) % 4);

  // Reduced by 2.5: three samples a view pixel, on planes of 1.2 times the
  // picture's size; for the whole picture, whose planes would be larger than
  // it, its own pixels, each view pixel the mean of those under it.
  z = PlanZoomedPlanes(kW, kH, ZoomedPart{2.5, 100, 50, 100, 60}, 0);
  EXPECT_EQ(z.k, 3);
  EXPECT_FALSE(z.ownPixels);
  EXPECT_EQ(z.wholeWidth, 720);
  EXPECT_EQ(z.width, 300 + 120 % 4);
  z = PlanZoomedPlanes(kW, kH, ZoomedPart{2.5, 100, 50, 100, 60}, kReachesWhole);
  EXPECT_TRUE(z.ownPixels);
  EXPECT_EQ(z.sampleStep, 1.0);
  EXPECT_EQ(z.wholeWidth, kW);
  EXPECT_EQ(z.wholeHeight, kH);
  EXPECT_EQ(z.width, kW);
  EXPECT_EQ(z.shownX, 100);
  EXPECT_EQ(z.shownY, 50);
  // Just above 1:1 likewise.
  z = PlanZoomedPlanes(kW, kH, ZoomedPart{1.06, 0, 0, 500, 300}, kReachesWhole);
  EXPECT_TRUE(z.ownPixels);
  EXPECT_EQ(z.wholeWidth, kW);
  // Where k samples a view pixel stay within the picture (twice at 50 %, three times from 33 %
  // down), the whole picture is supersampled as the part is.
  z = PlanZoomedPlanes(kW, kH, ZoomedPart{2.0, 100, 50, 100, 60}, kReachesWhole);
  EXPECT_FALSE(z.ownPixels);
  EXPECT_EQ(z.k, 2);
  EXPECT_EQ(z.wholeWidth, kW);
  z = PlanZoomedPlanes(kW, kH, ZoomedPart{3.5, 100, 50, 100, 60}, kReachesWhole);
  EXPECT_FALSE(z.ownPixels);
  EXPECT_EQ(z.k, 3);
  EXPECT_EQ(z.wholeWidth, 514);
  EXPECT_EQ(z.wholeHeight, 343);
  // At and above 1:1 nothing changes: the picture's own pixels, no reduction.
  z = PlanZoomedPlanes(kW, kH, ZoomedPart{1.0, 0, 0, 500, 300}, kReachesWhole);
  EXPECT_FALSE(z.ownPixels);
  EXPECT_EQ(z.k, 1);
}

// The reduction a zoomed view takes of the picture at its own pixels against a plain area mean
// in doubles: the share of each picture pixel under a view pixel's footprint, the part of the
// footprint inside the picture (a footprint wholly outside, the edge's pixel).
std::vector<std::pair<int32_t, double>> Shares(double origin, double step, int32_t i, int32_t size) {
  const double a = std::clamp(origin + i * step, 0.0, static_cast<double>(size));
  const double b = std::clamp(origin + (i + 1) * step, 0.0, static_cast<double>(size));
  if (b <= a) return {{std::min(static_cast<int32_t>(a), size - 1), 1.0}};
  std::vector<std::pair<int32_t, double>> out;
  for (auto p = static_cast<int32_t>(std::floor(a)); p < b; ++p)
    out.emplace_back(p, std::min(b, p + 1.0) - std::max(a, static_cast<double>(p)));
  return out;
}

// A picture of hashed samples, 0 and 255 among them.
std::vector<uint8_t> Hashed(int32_t w, int32_t h, uint32_t salt) {
  std::vector<uint8_t> out(static_cast<size_t>(w) * h);
  for (size_t i = 0; i < out.size(); ++i) {
    uint32_t v = static_cast<uint32_t>(i) * 2654435761u + salt;
    v ^= v >> 15;
    v *= 2246822519u;
    v ^= v >> 13;
    out[i] = static_cast<uint8_t>(v % 7 == 0 ? (v % 2) * 255 : v >> 24);
  }
  return out;
}

TEST(ReduceToView, IsTheAreaMeanOfThePixelsUnderEachViewPixel) {
  const struct {
    int32_t w, h;
    double left, top, step;
  } cases[] = {
      {7, 5, 0, 0, 1.0},      {7, 5, 0, 0, 1.3},       {13, 11, 1, 2, 1.5},   {13, 11, 0.25, 0.75, 1.64},
      {31, 17, 3, 1, 2.5},    {31, 17, -1.5, -0.5, 3.7}, {9, 7, 2.2, 1.1, 7.0}, {5, 3, 0, 0, 10000.0 / 9441.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + " x " + std::to_string(c.h) + " from " + std::to_string(c.left) + ", " +
                 std::to_string(c.top) + " at step " + std::to_string(c.step));
    const std::vector<uint8_t> from = Hashed(c.w, c.h, static_cast<uint32_t>(c.w * 31 + c.h));
    // Enough view pixels to run past the picture's right and bottom edges.
    const auto vw = static_cast<int32_t>(std::ceil(c.w / c.step)) + 2;
    const auto vh = static_cast<int32_t>(std::ceil(c.h / c.step)) + 2;
    std::vector<uint8_t> to(static_cast<size_t>(vw) * vh, 7);
    ASSERT_TRUE(ReduceToView(plat::ConstPlaneView<uint8_t>::Packed(from.data(), c.w, c.h), 1, c.left, c.top, c.step,
                             plat::PlaneView<uint8_t>::Packed(to.data(), vw, vh), 1));
    for (int32_t y = 0; y < vh; ++y)
      for (int32_t x = 0; x < vw; ++x) {
        double sum = 0.0, area = 0.0;
        for (const auto& [v, wy] : Shares(c.top, c.step, y, c.h))
          for (const auto& [u, wx] : Shares(c.left, c.step, x, c.w)) {
            sum += wx * wy * from[static_cast<size_t>(v) * c.w + u];
            area += wx * wy;
          }
        const double mean = sum / area;
        const int got = to[static_cast<size_t>(y) * vw + x];
        // The footprints' edges are placed to a 65536th of a pixel: a mean within a hair of a
        // half may round either way.
        const auto below = static_cast<int>(std::floor(mean));
        if (std::abs(mean - below - 0.5) < 0.01)
          EXPECT_TRUE(got == below || got == below + 1) << x << ", " << y << ": " << mean;
        else
          EXPECT_EQ(got, static_cast<int>(std::floor(mean + 0.5))) << x << ", " << y << ": " << mean;
      }
  }
}

// The same samples at one thread and at many, from interleaved samples held bottom row first as
// from packed ones; and no reduction for a step under one pixel or past the largest.
TEST(ReduceToView, GivesTheSameSamplesAtAnyThreadCountAndLayout) {
  constexpr int32_t w = 401, h = 263, vw = 300, vh = 200;
  constexpr double step = 1.37, left = 3.5, top = 0.25;
  const std::vector<uint8_t> from = Hashed(w, h, 5);
  const auto reduce = [&](int threads) {
    plat::SetThreadCount(threads);
    std::vector<uint8_t> to(static_cast<size_t>(vw) * vh);
    EXPECT_TRUE(ReduceToView(plat::ConstPlaneView<uint8_t>::Packed(from.data(), w, h), 1, left, top, step,
                             plat::PlaneView<uint8_t>::Packed(to.data(), vw, vh), 1));
    plat::SetThreadCount(0);
    return to;
  };
  const std::vector<uint8_t> one = reduce(1);
  EXPECT_EQ(reduce(8), one);
  EXPECT_EQ(reduce(3), one);

  // Three samples a pixel, rows from the bottom, the view likewise.
  std::vector<uint8_t> interleaved(static_cast<size_t>(w) * h * 3, 0);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      interleaved[(static_cast<size_t>(h - 1 - y) * w + x) * 3 + 1] = from[static_cast<size_t>(y) * w + x];
  std::vector<uint8_t> view(static_cast<size_t>(vw) * vh * 3, 0);
  plat::SetThreadCount(8);
  ASSERT_TRUE(ReduceToView(
      plat::ConstPlaneView<uint8_t>(interleaved.data() + static_cast<size_t>(h - 1) * w * 3 + 1, w, h, -int64_t{w} * 3),
      3, left, top, step, plat::PlaneView<uint8_t>(view.data() + static_cast<size_t>(vh - 1) * vw * 3 + 1, vw, vh,
                                                   -int64_t{vw} * 3),
      3));
  plat::SetThreadCount(0);
  int differing = 0;
  for (int32_t y = 0; y < vh; ++y)
    for (int32_t x = 0; x < vw; ++x)
      differing += view[(static_cast<size_t>(vh - 1 - y) * vw + x) * 3 + 1] != one[static_cast<size_t>(y) * vw + x];
  EXPECT_EQ(differing, 0);

  std::vector<uint8_t> to(static_cast<size_t>(vw) * vh);
  const auto packedFrom = plat::ConstPlaneView<uint8_t>::Packed(from.data(), w, h);
  const auto packedTo = plat::PlaneView<uint8_t>::Packed(to.data(), vw, vh);
  EXPECT_FALSE(ReduceToView(packedFrom, 1, 0, 0, 0.9, packedTo, 1));
  EXPECT_FALSE(ReduceToView(packedFrom, 1, 0, 0, 5000.0, packedTo, 1));
  EXPECT_FALSE(ReduceToView(packedFrom, 1, std::nan(""), 0, 2.0, packedTo, 1));
}

}  // namespace
