// The fitted preview against what OK writes: the box's preview of a record,
// laid out to fit the view, beside the script's render of the same record
// on the whole picture scaled down to the preview's size. The two are of
// different sizes and reach the picture through different resamplings, so
// they are compared by their mean difference per sample, within a bound
// that a preview of another part of the picture, or of features at another
// scale, is far outside.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <memory>
#include <vector>

#include "box_fixture.h"
#include "engines/correction/grid_record.h"
#include "engines/correction/lens_correction.h"
#include "engines/families/effect_families.h"
#include "engines/patterns/border_record.h"
#include "engines/patterns/image_combination_record.h"
#include "host/ApePlugInUtilities/ape_spans.h"
#include "host/ApePlugInUtilities/image_files.h"
#include "app/core/file_records.h"
#include "script/lut_vign.h"
#include "script/script_file.h"
#include "support/image_fixtures.h"
#include "support/session.h"
#include "views/preview_engines.h"

namespace vmktest {
namespace {

// A 3:2 picture: the box's 200 x 200 view shows it 200 x 133, a fifth of its
// size, with room above and below.
constexpr int32_t kW = 1020, kH = 680;

// Top-down RGB, three bytes a pixel.
struct Picture {
  int32_t w = 0, h = 0;
  std::vector<uint8_t> rgb;
  const uint8_t* at(int32_t x, int32_t y) const { return &rgb[(static_cast<size_t>(y) * w + x) * 3]; }
};

// Every pixel of `big` that falls in a pixel of the small picture, averaged.
Picture ScaledTo(const Picture& big, int32_t w, int32_t h) {
  Picture out{w, h, std::vector<uint8_t>(static_cast<size_t>(w) * h * 3)};
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const int32_t x0 = x * big.w / w, x1 = std::max(x0 + 1, (x + 1) * big.w / w);
      const int32_t y0 = y * big.h / h, y1 = std::max(y0 + 1, (y + 1) * big.h / h);
      for (int c = 0; c < 3; ++c) {
        int64_t sum = 0;
        for (int32_t yy = y0; yy < y1; ++yy)
          for (int32_t xx = x0; xx < x1; ++xx) sum += big.at(xx, yy)[c];
        out.rgb[(static_cast<size_t>(y) * w + x) * 3 + c] =
            static_cast<uint8_t>(sum / ((x1 - x0) * (y1 - y0)));
      }
    }
  return out;
}

double MeanDifference(const Picture& a, const Picture& b) {
  EXPECT_EQ(a.w, b.w);
  EXPECT_EQ(a.h, b.h);
  if (a.rgb.size() != b.rgb.size() || a.rgb.empty()) return 255.0;
  double sum = 0;
  for (size_t i = 0; i < a.rgb.size(); ++i) sum += std::abs(int{a.rgb[i]} - int{b.rgb[i]});
  return sum / static_cast<double>(a.rgb.size());
}

class FittedPreview : public BoxTest {
 protected:
  void SetUp() override {
    BoxTest::SetUp();
    RegisterEffectFamilies();
    vmkviews::RegisterPreviewEngines();
    // The maker's folder (the render's swap files) is a temporary one.
    ASSERT_TRUE(SetFicFromPosix(&app_.data().makersFolder, dir_.path().string()));
    // Broad shapes that tell top from bottom and left from right, over
    // gradients: a picture that each resampling shows alike.
    for (int32_t y = 0; y < kH; ++y)
      for (int32_t x = 0; x < kW; ++x) {
        uint8_t* p = photo_.rowPtr(static_cast<uint32_t>(y)) + 4 * x;
        const bool sun = (x - 250) * (x - 250) + (y - 170) * (y - 170) < 90 * 90;
        const bool block = x > 640 && x < 900 && y > 420 && y < 590;
        p[0] = sun ? 250 : static_cast<uint8_t>(230 - y * 200 / kH);
        p[1] = sun ? 230 : block ? 245 : static_cast<uint8_t>(x * 120 / kW);
        p[2] = block ? 250 : static_cast<uint8_t>(30 + y * 200 / kH);
        // A dark band across the middle, as a horizon.
        if (y > 330 && y < 350) p[0] = p[1] = p[2] = 10;
        p[3] = 255;
      }
    rec_.imageRect = Rect{0, 0, kH, kW};
    rec_.inLastPlane = 2;
    rec_.imageWidth = kW;
    rec_.imageHeight = kH;
    rec_.planeCount = 3;
    rec_.imageMode = 3;
    gFilterRecord = &rec_;
    SetSessionSpanImages(&photo_, &unused_);
    box_.InitBuf(1);
    box_.SetPanBufCoord(0, 0, 100000, 100000);
  }
  void TearDown() override {
    SetSessionSpanImages(nullptr, nullptr);
    gFilterRecord = nullptr;
    BoxTest::TearDown();
  }

  // The photo as the render reads it, top-down.
  Picture Photo() const {
    Picture p{kW, kH, std::vector<uint8_t>(static_cast<size_t>(kW) * kH * 3)};
    for (int32_t y = 0; y < kH; ++y)
      for (int32_t x = 0; x < kW; ++x)
        std::memcpy(&p.rgb[(static_cast<size_t>(y) * kW + x) * 3], photo_.rowPtr(static_cast<uint32_t>(y)) + 4 * x,
                    3);
    return p;
  }

  // The one operation `effect` of layer 1 rendered on the whole picture as
  // the session's OK renders it (its planes stored bottom row first), with
  // the record that `store` puts into the script.
  Picture Render(int16_t effect, const std::function<void(ScriptFile&)>& store) {
    ScriptFile s;
    EXPECT_EQ(s.I_ScriptFile(3, kW, kH, 72.0f, kW, kH, 0, 0, kW, kH), 0);
    s.SetDrwVal(0, 0, 1.0f, 1.0f, 0, 0);
    s.NewLimSize(0, 0, kW, kH, 1.0f, 1.0f);
    uint8_t* planes[4];
    for (int c = 0; c < 4; ++c) planes[c] = reinterpret_cast<uint8_t*>(s.planes->CreBuf(3 + c));
    for (int32_t y = 0; y < kH; ++y)
      for (int32_t x = 0; x < kW; ++x) {
        const size_t i = static_cast<size_t>(kH - 1 - y) * kW + x;
        const uint8_t* p = photo_.rowPtr(static_cast<uint32_t>(y)) + 4 * x;
        for (int c = 0; c < 3; ++c) planes[c][i] = p[c];
        planes[3][i] = 255;
      }
    s.SetBuf(planes[0], planes[1], planes[2], nullptr, planes[3], nullptr);
    s.SetEffect(0, 1, 1, effect, 0, 0, kW, kH);
    s.SetAct(0, 1, 1, 1);
    s.SetToChannel(0, 1, 1, 2);
    s.SetOpa(0, 1, 1, 255);
    store(s);
    EXPECT_EQ(s.Render(0, 0, 0, nullptr, nullptr, nullptr, 0, 0), 0);
    Picture out{kW, kH, std::vector<uint8_t>(static_cast<size_t>(kW) * kH * 3)};
    for (int32_t y = 0; y < kH; ++y)
      for (int32_t x = 0; x < kW; ++x)
        for (int c = 0; c < 3; ++c)
          out.rgb[(static_cast<size_t>(y) * kW + x) * 3 + c] =
              reinterpret_cast<const uint8_t*>(s.ChannelPlane(3 + c, 0))[static_cast<size_t>(kH - 1 - y) * kW + x];
    return out;
  }

  // What the view shows of the picture: the laid-out preview, top-down.
  Picture Preview() const {
    const ImaboxState& st = box_.state();
    Picture out{st.effWidth, st.effHeight, std::vector<uint8_t>(static_cast<size_t>(st.effWidth) * st.effHeight * 3)};
    for (int32_t y = 0; y < st.effHeight; ++y)
      for (int32_t x = 0; x < st.effWidth; ++x) {
        const uint32_t v = Display(x, st.effHeight - 1 - y);
        uint8_t* o = &out.rgb[(static_cast<size_t>(y) * st.effWidth + x) * 3];
        o[0] = static_cast<uint8_t>(v >> 24);
        o[1] = static_cast<uint8_t>(v >> 16);
        o[2] = static_cast<uint8_t>(v >> 8);
      }
    return out;
  }

  // The preview beside the render scaled to its size.
  double PreviewAgainst(const Picture& render) const {
    const Picture shown = Preview();
    EXPECT_EQ(shown.w, 200);
    EXPECT_EQ(shown.h, 133);
    const double d = MeanDifference(shown, ScaledTo(render, shown.w, shown.h));
    return d;
  }

  TempDir dir_;
  ScopedAppData app_;
  PixelBuffer photo_{kW, kH, 1, 4};
  PixelBuffer unused_;
  FilterRecord rec_;
};

// The bound of a preview that shows the render: the two resamplings of the
// picture's edges part by a level or two on average (here 1.1 to 1.7); a
// preview showing another half of the picture is tens of levels away (the
// lens preview that showed the lower half twice: 42 to 52).
constexpr double kSamePicture = 3.0;
// With blurs, reliefs and edges drawn at the preview's size the pyramid blur
// and the edge colouring round their small radii their own way: 3.5 to 7.2
// here, against 52 to 84 for lengths drawn in the picture's pixels.
constexpr double kSameFeatures = 8.0;

TEST_F(FittedPreview, LensCorrectionShowsTheWholePictureCorrected) {
  // The plain picture first: the preview's reading of it is the bound's base.
  const double plain = MeanDifference(
      [&] {
        ZondracPar r;
        Init_ZondracPar(&r, kW, kH, 72, 20, 20, 0);
        box_.SetZondracPar(&r, 0, 3);  // before: the picture as it is
        return Preview();
      }(),
      ScaledTo(Photo(), 200, 133));
  EXPECT_LT(plain, kSamePicture);

  // No correction, then the record's defaults (horizontal and vertical 10,
  // size 5) and a strong barrel with a turn.
  for (const auto& words : std::vector<std::vector<std::pair<int32_t, int32_t>>>{
           {{kZndDistortH, 0}, {kZndDistortV, 0}, {kZndSize, 0}},
           {},
           {{kZndDistortH, -60}, {kZndDistortV, 40}, {kZndRotation, 8}}}) {
    ZondracPar r;
    Init_ZondracPar(&r, kW, kH, 72, 20, 20, 0);
    for (auto [word, value] : words) r.w[word] = value;
    box_.SetZondracPar(&r, 1, 3);
    const double d = PreviewAgainst(Render(113, [&](ScriptFile& s) { s.SetZondracPar(0, 1, 1, &r); }));
    EXPECT_LT(d, kSamePicture) << r.w[kZndDistortH] << " " << r.w[kZndDistortV];
  }
}


// The grid warp of the view's own record: the out node of column 1, row 1
// of a 3 x 3 grid pulled right and down. Both the warp and, with the grid
// switched off, the picture left as it is, as the render leaves it.
TEST_F(FittedPreview, GridWarpShowsWhatTheRenderWrites) {
  auto record = std::make_unique<GridPar>();
  Init_GridPar(record.get(), kW, kH, 3, 3, 0, 3, 1, 1);
  GridInfo& g = record->grids[0];
  const int32_t node = 1 * (g.w[kGiColumns] + 1) + 1;
  g.node[kGaOut + kGaX][node] += 15000;
  g.node[kGaOut + kGaY][node] -= 12000;
  for (int32_t on : {1, 0}) {
    g.w[kGiEnabled] = on;
    box_.SetGridPar(record.get(), 1, 3);
    const double d = PreviewAgainst(Render(102, [&](ScriptFile& s) { s.SetGridPar(0, 1, 1, record.get()); }));
    EXPECT_LT(d, kSamePicture) << "grid on " << on;
  }
}

// An image combination whose entry is edge-coloured and blurred: lengths
// in the picture's pixels, which the fitted preview must draw at its own
// scale (thin contour lines round the disc, not a filled disc).
TEST_F(FittedPreview, CombinationDrawsItsLengthsAtTheViewsScale) {
  RawImage entry;
  entry.width = kW;
  entry.height = kH;
  entry.data.assign(static_cast<size_t>(kW) * kH * 4, 0);
  for (int32_t y = 0; y < kH; ++y)
    for (int32_t x = 0; x < kW; ++x) {
      uint8_t* p = entry.row(static_cast<uint32_t>(y)) + 4 * x;
      const bool disc = (x - 600) * (x - 600) + (y - 300) * (y - 300) < 160 * 160;
      const bool bar = x > 150 && x < 330 && y > 380 && y < 600;
      p[0] = p[1] = p[2] = disc ? 240 : bar ? 180 : 30;
      p[3] = 255;
    }
  const std::string path = (dir_.path() / "entry.tif").string();
  WriteImageFile(path, plat::imageio::kTypeTIFF, entry);
  fichier file;
  ASSERT_TRUE(SetFicFromPosix(&file, path));
  auto record = std::make_unique<CombImaPar>();
  Init_CombImaPar(record.get(), 1);
  AddCombIma(record.get(), 0, &file);
  CombImaInfo& info = record->infos[0];
  Init_LutVign(0, &info.ramp, 0, 0, 0, 0);
  info.active = 1;
  info.opacity = 100;
  info.edge = 12;
  for (int32_t& c : info.edgeColour) c = 250;
  // The picture's size comes to the preview by effect number from the box's
  // content-aware record, as every dialog gives it one.
  YoxelPar picture;
  Init_YoxelPar(&picture, kW, kH, 72, 0, 5);
  box_.SetYoxelPar(&picture, 2, 0);
  for (const auto& [blur, emboss] : {std::pair{0, 0}, std::pair{10, 0}, std::pair{0, 8}}) {
    info.blur = blur;
    info.emboss = emboss;
    box_.SetCombImaPar(record.get(), 1, 3);
    const double d = PreviewAgainst(Render(92, [&](ScriptFile& s) { s.SetCombImaPar(0, 1, 1, record.get()); }));
    EXPECT_LT(d, kSameFeatures) << "blur " << blur << " emboss " << emboss;
  }
}

// A border of picture tiles: its geometry is in fractions of the drawn
// rectangle and its tiles are made at the size of the largest cell, so the
// fitted preview of the record OK keeps shows the same frame: 3.8 and 6.6
// here, the cells' edges rounded at the view's size; the preview of the
// same frame with its sides half as thick again is 17 and 26 away.
TEST_F(FittedPreview, BorderDrawsTheFrameTheRenderWrites) {
  RawImage tile;
  tile.width = tile.height = 120;
  tile.data.assign(static_cast<size_t>(120) * 120 * 4, 0);
  for (int32_t y = 0; y < 120; ++y)
    for (int32_t x = 0; x < 120; ++x) {
      uint8_t* p = tile.row(static_cast<uint32_t>(y)) + 4 * x;
      const int32_t r2 = (x - 60) * (x - 60) + (y - 60) * (y - 60);
      const bool ring = r2 > 34 * 34 && r2 < 54 * 54;
      const bool petal = std::abs(x - 60) < 12 || std::abs(y - 60) < 12;
      p[0] = ring ? 200 : 220;
      p[1] = ring ? 160 : 40;
      p[2] = ring ? 60 : 70;
      p[3] = ring || petal ? 255 : 0;
    }
  const std::string path = (dir_.path() / "tile.tif").string();
  WriteImageFile(path, plat::imageio::kTypeTIFF, tile);
  fichier file;
  ASSERT_TRUE(SetFicFromPosix(&file, path));
  auto record = std::make_unique<BordPar>();
  Init_BordPar(record.get(), kW, kH, 0, 1, 1, 1);
  for (fichier& f : record->layers[0].files) Copy_FicStruct(&file, &f);
  YoxelPar picture;
  Init_YoxelPar(&picture, kW, kH, 72, 0, 5);
  box_.SetYoxelPar(&picture, 2, 0);
  for (const auto& [cells, thickness] : {std::pair{4, 20}, std::pair{12, 40}}) {
    for (int32_t k = 0; k < 4; ++k) {
      record->layers[0].info.cells[k] = cells;
      record->layers[0].info.thickness[k] = thickness;
    }
    box_.SetBordPar(record.get(), 1, 3, nullptr);
    const double d = PreviewAgainst(Render(106, [&](ScriptFile& s) { s.SetBordPar(0, 1, 1, record.get()); }));
    EXPECT_LT(d, kSameFeatures) << cells << " cells, width " << thickness;
  }
}

}  // namespace
}  // namespace vmktest
