// Every stored effect of the content library, and every image-tools
// operation at its defaults, previewed at Fit against what OK writes: the
// effect is read into the document's layer as the windows read it, the
// layer file is rendered once as the windows' previews render it (the
// picture fitted into the view they use) and once as OK renders it (the
// whole picture), and the render, scaled down to the preview's size, must
// look like the preview: the mean absolute difference per sample of the two
// pictures' medians over blocks of 8 x 8 pixels (as the live check compares
// a window's preview with the version OK wrote) stays within a bound. Each
// is checked on a modest picture and on a camera's 6000 x 4000, where the
// lengths a stored effect scales by the picture's width grow large.
//
// A bound alone passes a preview that draws nothing wherever the effect
// moves the picture at the view's scale by less than the bound (the wind
// did so on a photograph). So on the photograph the preview must also be
// nearer the result than the untouched preview is, by at least half of the
// result's distance from it, wherever the result moves the picture by more
// than the view's own floor (Moves, NearEnough below); there also every
// image-tools operation with each slider at its largest, and the wind along
// its rows both ways at its default strength and its largest.
//
// A picture between one and three times its view is previewed on planes
// larger than itself (the preview supersamples it a whole number of times
// the fitted size): the stored effects and the image-tools operations are
// checked on a 1000 x 700 picture at Fit. The layered editor's zoomed view
// renders only the part it shows and the margin its layers reach around it,
// or the whole picture (at its own pixels, or supersampled on planes smaller
// than it, never on larger ones): the stored effects are checked on a 3000 x
// 2000 picture at its zoom steps between Fit and 1:1, the part shown centred
// and in a corner rendered through its own road, against OK's result reduced
// to the part as the zoomed view reduces the whole picture. Both by the
// bound and the relative rule.
//
// The few rows whose preview cannot show what OK writes without a change
// to the render are listed below with the reason for each; README.md's
// "What it does not do" names exactly those (checked here too).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <regex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/core/file_records.h"
#include "app/core/session_state.h"
#include "app/file_access.h"
#include "content/effects/stored_effects.h"
#include "dialogs/editor/effect_recall.h"
#include "dialogs/editor/main_editor.h"
#include "dialogs/editor/preview_render.h"
#include "dialogs/editor/tune_effect_tables.h"
#include "dialogs/frame/zoom_pan.h"
#include "engines/families/effect_families.h"
#include "host/ApePlugInUtilities/ape_spans.h"
#include "host/ApePlugInUtilities/image_files.h"
#include "host/ApePlugInUtilities/pixel_buffer.h"
#include "paths/draw_par.h"
#include "paths/path_list.h"
#include "platform/files/file_types.h"
#include "platform/random/random.h"
#include "platform/types/plane_view.h"
#include "script/effect_list_file.h"
#include "script/layers.h"
#include "script/lut_vign.h"
#include "script/record_kinds.h"
#include "script/render_reach.h"
#include "script/script_file.h"
#include "support/session.h"
#include "support/preview_compare.h"

namespace {
using vmktest::MedianDifference;
using vmktest::Picture;
using vmktest::ScaledTo;


// A modest picture, 3:2 as a photograph, and a photograph's own size: the
// lengths a stored effect scales by the picture's width are checked small
// and at the radii a camera's picture gives them.
struct Size {
  int32_t w, h;
};
constexpr Size kModest = {1200, 800};
constexpr Size kPhoto = {6000, 4000};
// The preview views the windows fit it into: the layered editor's main view
// and the image tools' preview.
constexpr int32_t kEditorView[2] = {640, 480};
constexpr int32_t kToolsView[2] = {380, 300};
// The main window's box the document's script is laid out for.
constexpr int32_t kBoxLimit = 500;

// The live check's bound of a preview that shows what OK writes.
constexpr double kBound = 6.0;

// Stored effects (family/name) and image-tools operations (tools/code) whose
// fitted preview cannot show what OK writes without a change to the render,
// each with why; `shown` is how README.md's "What it does not do" names it,
// and it names exactly these.
struct Unmatched {
  const char* key;
  int sizes;
  const char* shown;
  const char* reason;
};
const std::vector<Unmatched>& UnmatchedEffects();
// The same for the pictures previewed on planes of another size than themselves (below): larger
// at Fit, and larger or smaller at the layered editor's zoom steps; README.md names these too.
const std::vector<Unmatched>& UnmatchedOnLargerPlanes();

// Previews that show what OK writes a little further from it than the
// common bound, each with its own and why.
struct Looser {
  const char* key;
  int sizes;
  double bound;
  const char* reason;
};
const std::vector<Looser>& LooserBounds();

// One row: a stored effect of the library, or an image-tools operation at
// its defaults (family 0, code `effect`), or with the parameters `set` (Param n, value) in
// place of those; `variant` names them in the row's key.
struct Row {
  int16_t family = 0;
  std::string name;
  int16_t effect = 0;
  std::vector<std::pair<int, int16_t>> set;
  std::string variant;
};

std::string RowKey(const Row& r) {
  const std::string key = r.family != 0 ? std::to_string(r.family) + "/" + r.name : "tools/" + std::to_string(r.effect);
  return r.variant.empty() ? key : key + " " + r.variant;
}

void PrintTo(const Row& r, std::ostream* os) { *os << RowKey(r) << " (" << r.effect << ")"; }

std::string RowName(const Row& r) {
  std::string s = r.family != 0 ? std::to_string(r.family) + "_" + r.name : "tools_" + std::to_string(r.effect);
  if (!r.variant.empty()) s += "_" + r.variant;
  for (char& c : s)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return s;
}

std::vector<Row> StoredRows() {
  std::vector<Row> rows;
  for (const content::StoredEffect& e : content::StoredEffects()) rows.push_back({e.family, e.name, e.effect, {}, {}});
  return rows;
}

std::vector<Row> ToolRows() {
  std::vector<Row> rows;
  const tuneeff::Family* tools = tuneeff::FamilyOf(tuneeff::kImageTools);
  if (tools == nullptr) return rows;
  for (int16_t code : tools->codes)
    if (code > 1) rows.push_back({0, "", code, {}, {}});
  return rows;
}

// Every image-tools operation with each of its sliders at its largest value, as the window
// lays them out on the composite destination the operation is made with (the operations
// without sliders are their defaults' rows).
std::vector<Row> LargestToolRows() {
  std::vector<Row> rows;
  for (Row row : ToolRows()) {
    const tuneeff::SliderLayout* layout = tuneeff::LayoutOf(row.effect, true);
    if (layout == nullptr) continue;
    for (int n = 0; n < 5; ++n)
      if (layout->rows[n].used())
        row.set.emplace_back(n + 1, static_cast<int16_t>(std::clamp<int32_t>(layout->rows[n].maximum, INT16_MIN, INT16_MAX)));
    if (row.set.empty()) continue;
    row.variant = "largest";
    rows.push_back(row);
  }
  return rows;
}

// The wind along its rows, to the right (0 degrees) and to the left (180), at its default
// strength and at its largest, the rest as the window makes it.
std::vector<Row> WindRows() {
  std::vector<Row> rows;
  for (const int16_t strength : {18, 50})
    for (const int16_t angle : {0, 180})
      rows.push_back({0, "", 32, {{1, strength}, {2, angle}},
                      "strength " + std::to_string(strength) + " at " + std::to_string(angle)});
  return rows;
}

// The mean absolute difference of two pictures of one size, sample by sample.
double MeanDifference(const Picture& a, const Picture& b) {
  uint64_t sum = 0;
  for (size_t i = 0; i < a.rgb.size(); ++i) sum += static_cast<uint64_t>(std::abs(a.rgb[i] - b.rgb[i]));
  return static_cast<double>(sum) / static_cast<double>(a.rgb.size());
}

// A picture as a zoomed view of `part` shows it reduced: each view pixel the mean of the pixels
// under it, from left + x step to left + (x + 1) step each way, those its edges cut through by the
// share of them it covers -- as the layered editor's zoomed view reduces the whole picture
// rendered at its own pixels, by the same function, so the check and the view scale alike.
Picture ScaledPart(const Picture& big, const ZoomedPart& part) {
  const int32_t w = part.shownWidth, h = part.shownHeight;
  Picture out{w, h, std::vector<uint8_t>(static_cast<size_t>(w) * h * 3)};
  for (int c = 0; c < 3; ++c) {
    const plat::ConstPlaneView<uint8_t> from(big.rgb.data() + c, big.w, big.h, int64_t{big.w} * 3);
    const plat::PlaneView<uint8_t> to(out.rgb.data() + c, w, h, int64_t{w} * 3);
    EXPECT_TRUE(ReduceToView(from, 3, part.left, part.top, part.step, to, 3));
  }
  return out;
}

// A preview measured at the view's scale: the block-median distance of the preview from the
// result scaled down to it; of the untouched preview (the picture alone, as the windows show
// it before the effect) from that result, how far the effect moves the picture as the view
// shows it; and of the untouched preview from the untouched picture scaled down as the result
// is, the view's own floor, the distance that the two ways of reducing the picture give
// where the effect changes nothing.
struct Figures {
  double preview = 0.0;
  double untouched = 0.0;
  double floor = 0.0;
};

// The relative rule. Both distances from the result hold the view's floor, the part that the
// two ways of reducing the picture give whatever the effect does; what lies above it is what
// the view shows of the effect. The result moves the picture at the view's scale by more than
// the floor where the untouched preview is more than the floor from it beyond the floor:
//   untouched - floor > floor.
// There the preview must be nearer the result than the untouched preview is by at least half
// of the result's distance from it, both counted above the floor:
//   preview - floor <= (untouched - floor) - (untouched - floor) / 2 = (untouched - floor) / 2.
// A preview that draws nothing is the untouched preview (preview = untouched) and fails it.
bool Moves(const Figures& f) { return f.untouched - f.floor > f.floor; }
bool NearEnough(const Figures& f) { return f.preview - f.floor <= 0.5 * (f.untouched - f.floor); }

class PreviewAgainstResult : public ::testing::TestWithParam<Row> {
 protected:
  explicit PreviewAgainstResult(Size size) : w_(size.w), h_(size.h), photo_(w_, h_, 1, 4) {}

  // The stored effects as the content generator writes them (their
  // thumbnails drawn on a plain grey picture, which the previews never read).
  static void SetUpTestSuite() {
    library_ = new vmktest::TempDir;
    const std::vector<uint8_t> grey(64 * 64 * 4, 128);
    std::string why;
    made_ = content::MakeStoredEffects(library_->path().string(), grey.data(), 64, 64, &why);
    EXPECT_TRUE(made_) << why;
  }
  static void TearDownTestSuite() {
    delete library_;
    library_ = nullptr;
  }

  void SetUp() override {
    ASSERT_TRUE(made_);
    RegisterEffectFamilies();
    gPer = &per_;
    per_.memMan = new CMemMan;
    Init_DrawPar(&drawPar_);
    per_.drawPar = &drawPar_;
    per_.previewWidth = w_;
    per_.previewHeight = h_;
    per_.resolution = 72.0f;
    per_.boxLimitWidth = per_.boxLimitHeight = kBoxLimit;
    per_.boxWidth = static_cast<float>(kBoxLimit);
    per_.boxHeight = static_cast<float>(kBoxLimit) * h_ / w_;
    ASSERT_TRUE(SetFicFromPosix(&app_.data().makersFolder, dir_.path().string()));
    ASSERT_TRUE(SetFicFromPosix(&layers_, dir_.file("layers")));
    // Broad shapes, gradients, stripes and windows a few tens of pixels
    // across, and a photograph's fine grain (some five levels either way):
    // something at every scale a preview reduces.
    // The shapes keep their place in the picture at either size; the grain
    // stays a pixel's, as a camera's does.
    for (int32_t y = 0; y < h_; ++y) {
      uint8_t* const row = photo_.rowPtr(static_cast<uint32_t>(y));
      for (int32_t x = 0; x < w_; ++x) {
        uint8_t* p = row + 4 * x;
        const int32_t u = x * kModest.w / w_, v = y * kModest.h / h_;
        const bool sun = (u - 300) * (u - 300) + (v - 220) * (v - 220) < 140 * 140;
        const bool house = u > 700 && u < 1050 && v > 420 && v < 700;
        const bool window = house && (u / 40) % 2 == 0 && (v / 40) % 2 == 0;
        const int stripe = (v > 600 && u < 600) ? ((u / 12) % 2) * 60 : 0;
        const int grain = static_cast<int>((x * 7919 + y * 104729) % 11) - 5;
        const auto level = [&](int v) { return static_cast<uint8_t>(std::clamp(v + grain, 0, 255)); };
        p[0] = level(sun ? 245 : house ? (window ? 40 : 200) : 60 + y * 120 / h_ + stripe);
        p[1] = level(sun ? 220 : house ? (window ? 60 : 150) : 90 + x * 100 / w_ + stripe / 2);
        p[2] = level(sun ? 90 : house ? (window ? 120 : 110) : 200 - y * 150 / h_);
        p[3] = 255;
      }
    }
    rec_.imageRect = Rect{0, 0, static_cast<int16_t>(h_), static_cast<int16_t>(w_)};
    rec_.inLastPlane = 2;
    rec_.imageWidth = w_;
    rec_.imageHeight = h_;
    rec_.planeCount = 3;
    rec_.imageMode = 3;
    rec_.resolutionH = 72 << 16;
    gFilterRecord = &rec_;
    SetSessionSpanImages(&photo_, &unused_);
    // The document's script, as the session makes it.
    ASSERT_EQ(document_.I_ScriptFile(3, w_, h_, 72.0f, kBoxLimit, kBoxLimit, 0, 0, kBoxLimit - 1,
                                     static_cast<int32_t>(per_.boxHeight - 1.0f)),
              0);
    document_.SetDrw(nullptr, &drawPar_);
  }
  void TearDown() override {
    // The program's order: the document gives its records back to the session's registry
    // before the registry goes.
    script_.reset();
    SetSessionSpanImages(nullptr, nullptr);
    gFilterRecord = nullptr;
    gPer = nullptr;
    delete per_.memMan;
  }

  Laye* Layer() { return document_.GetStack(0)->GetLaye(1); }

  // The stored effect's file read into the document's layer as Load reads it.
  void LoadStored(const Row& row) {
    const efflist::ListKind* kind = efflist::ListKindFor(0, row.family);
    ASSERT_NE(kind, nullptr);
    const std::string path = (library_->path() / "Effects" / std::to_string(row.family) /
                              plat::files::WithTypeExtension(row.name, kind->listed))
                                 .string();
    fichier file;
    ASSERT_TRUE(SetFicFromPosix(&file, path));
    char t1[256] = {}, t2[256] = {};
    ASSERT_EQ(ReadEffectIntoLayer(file, &document_, Layer(), t1, t2), 0) << path;
    ASSERT_GE(Layer()->oprnCount, 1);
  }

  // The operation made as the image tools make a new one of kind `code`:
  // the effect's defaults on the composite, its record, ramp and mask.
  void MakeOperation(int16_t code) {
    document_.SetEffect(0, 1, 1, code, 0, 0, w_, h_);
    document_.SetToChannel(0, 1, 1, 2);
    document_.SetAct(0, 1, 1, 1);
    const tuneeff::KindChange* k = tuneeff::KindChangeOf(code);
    if (k == nullptr) return;
    if (k->record == tuneeff::KindRecord::kColourMatrix) {
      std::vector<int32_t> matrix(4096);
      document_.GetColMat(0, 1, 1, matrix.data());
      document_.SetColMat(0, 1, 1, matrix.data());
    } else if (k->record == tuneeff::KindRecord::kRecord) {
      const RecordKind* rk = FindRecordKind(k->recordKind);
      ASSERT_NE(rk, nullptr);
      void* block = NewRecordBlock(rk->blockSize);
      ASSERT_NE(block, nullptr);
      rk->construct(block);
      document_.GetRecordPar(k->recordKind, 0, 1, 1, block);
      document_.SetRecordPar(k->recordKind, 0, 1, 1, block);
      if (rk->release != nullptr) rk->release(block);
      DeleteRecordBlock(block);
    }
    if (k->ramp >= 0) {
      auto ramp = std::make_unique<LutVign>();
      document_.GetLutVign(k->ramp, 0, 1, 1, ramp.get());
      document_.SetLutVign(0, 1, 1, ramp.get());
    }
    if (k->source != 0) document_.SetFromChannel(0, 1, 1, k->source);
    if (k->maskMode != 0) document_.SetIntExt(0, 1, 1, k->maskMode);
    if (k->maskChannel != 0) document_.SetMChannel(0, 1, 1, k->maskChannel);
    if (k->paramOneOpacity) document_.SetParam1(0, 1, 1, 255);
  }

  // A second layer, made current as the layer palette's Add makes it, holding one active
  // operation of `code` on the composite with its first parameter `p1`.
  void AddLayerWith(int16_t code, int16_t p1) {
    LayerFile* stack = document_.GetStack(0);
    stack->AddLaye(stack->layerCount, new Laye());
    const int16_t layer = stack->layerCount;
    document_.SetEffect(0, layer, 1, code, 0, 0, w_, h_);
    document_.SetToChannel(0, layer, 1, 2);
    document_.SetParam1(0, layer, 1, p1);
    document_.SetAct(0, layer, 1, 1);
  }

  void SaveLayers() {
    File_kern kern(&layers_);
    ASSERT_EQ(document_.SaveCombiLay(&kern, 0, nullptr), 0);
  }

  // The layer file over the picture fitted into a view of vw x vh, as the
  // layered editor and the image tools render their previews.
  Picture Preview(int32_t vw, int32_t vh, int16_t apply = 1) {
    int32_t fw = vw, fh = static_cast<int32_t>(int64_t{h_} * vw / w_);
    if (fh > vh) {
      fw = static_cast<int32_t>(int64_t{w_} * vh / h_);
      fh = vh;
    }
    return PreviewFitted(fw, fh, vw, vh, apply);
  }
  // The same into the first fw x fh samples of the view (the layered editor's zoomed render
  // takes the whole picture at the zoom's size, its sides each rounded on their own).
  Picture PreviewFitted(int32_t fw, int32_t fh, int32_t vw, int32_t vh, int16_t apply = 1) {
    const size_t n = static_cast<size_t>(vw) * vh;
    std::vector<uint8_t> planes[4] = {std::vector<uint8_t>(n), std::vector<uint8_t>(n), std::vector<uint8_t>(n),
                                      std::vector<uint8_t>(n)};
    uint8_t* p[4] = {planes[0].data(), planes[1].data(), planes[2].data(), planes[3].data()};
    plat::SeedRandom(20261208);
    const float scale = std::max(static_cast<float>(w_) / static_cast<float>(fw),
                                 static_cast<float>(h_) / static_cast<float>(fh));
    EXPECT_TRUE(RenderFittedPreview(layers_, apply, w_, h_, fw, fh, scale, vw, vh, p, nullptr));
    Picture out{fw, fh, std::vector<uint8_t>(static_cast<size_t>(fw) * fh * 3)};
    // The planes hold the fitted picture in their first fh rows, bottom row first.
    for (int32_t y = 0; y < fh; ++y)
      for (int32_t x = 0; x < fw; ++x)
        for (int c = 0; c < 3; ++c)
          out.rgb[(static_cast<size_t>(y) * fw + x) * 3 + c] = p[c][static_cast<size_t>(fh - 1 - y) * vw + x];
    return out;
  }

  // The layer file over the part of the picture the layered editor's zoomed view shows,
  // through the editor's own zoomed road (the part and the margin its layers reach, or the
  // whole picture where they reach it), as the window's planes of its view hold it: their first
  // shownWidth x shownHeight samples, top row first.
  Picture Zoomed(const ZoomedPart& part, int16_t apply = 1) {
    const int32_t vw = kEditorView[0], vh = kEditorView[1];
    const size_t n = static_cast<size_t>(vw) * vh;
    std::vector<uint8_t> planes[4] = {std::vector<uint8_t>(n), std::vector<uint8_t>(n), std::vector<uint8_t>(n),
                                      std::vector<uint8_t>(n)};
    uint8_t* p[4] = {planes[0].data(), planes[1].data(), planes[2].data(), planes[3].data()};
    plat::SeedRandom(20261208);
    EXPECT_TRUE(RenderZoomedPreview(layers_, apply, w_, h_, part, vw, vh, p, nullptr));
    const int32_t sw = part.shownWidth, sh = part.shownHeight;
    Picture out{sw, sh, std::vector<uint8_t>(static_cast<size_t>(sw) * sh * 3)};
    for (int32_t y = 0; y < sh; ++y)
      for (int32_t x = 0; x < sw; ++x)
        for (int c = 0; c < 3; ++c)
          out.rgb[(static_cast<size_t>(y) * sw + x) * 3 + c] = p[c][static_cast<size_t>(sh - 1 - y) * vw + x];
    return out;
  }

  // The layer file over the whole picture, as OK renders it.
  Picture Render() {
    ScriptFile s;
    EXPECT_EQ(s.I_ScriptFile(3, w_, h_, 72.0f, w_, h_, 0, 0, w_, h_), 0);
    s.SetDrwVal(0, 0, 1.0f, 1.0f, 0, 0);
    s.NewLimSize(0, 0, w_, h_, 1.0f, 1.0f);
    uint8_t* planes[4];
    for (int c = 0; c < 4; ++c) planes[c] = reinterpret_cast<uint8_t*>(s.planes->CreBuf(3 + c));
    // Row by row, each plane's row found once: a photograph's 24 million pixels.
    for (int32_t y = 0; y < h_; ++y) {
      const size_t at = static_cast<size_t>(h_ - 1 - y) * w_;
      const uint8_t* row = photo_.rowPtr(static_cast<uint32_t>(y));
      for (int32_t x = 0; x < w_; ++x)
        for (int c = 0; c < 3; ++c) planes[c][at + x] = row[4 * x + c];
      std::memset(planes[3] + at, 255, static_cast<size_t>(w_));
    }
    s.SetBuf(planes[0], planes[1], planes[2], nullptr, planes[3], nullptr);
    File_kern file(&layers_);
    int32_t value = 0;
    EXPECT_EQ(s.RecallCombiLay(&file, 2, &value, nullptr), 0);
    Laye* first = s.GetStack(0)->GetLaye(1);
    if (first != nullptr && first->paths != nullptr)
      first->paths->SetDrwVal(0, w_, 0, h_, 0.0f, 0.0f, 0, 1.0f, 1.0f, 0.0f, 0.0f);
    plat::SeedRandom(20261208);
    EXPECT_EQ(s.Render(0, 0, 0, nullptr, planes[3], nullptr, 0, 0), 0);
    Picture out{w_, h_, std::vector<uint8_t>(static_cast<size_t>(w_) * h_ * 3)};
    const uint8_t* rendered[3] = {s.ChannelPlane(3, 0), s.ChannelPlane(4, 0), s.ChannelPlane(5, 0)};
    for (int32_t y = 0; y < h_; ++y) {
      const size_t at = static_cast<size_t>(h_ - 1 - y) * w_;
      uint8_t* o = out.rgb.data() + static_cast<size_t>(y) * w_ * 3;
      for (int32_t x = 0; x < w_; ++x)
        for (int c = 0; c < 3; ++c) o[3 * x + c] = rendered[c][at + x];
    }
    return out;
  }

  // The picture as it is, top row first.
  Picture Untouched() const {
    Picture out{w_, h_, std::vector<uint8_t>(static_cast<size_t>(w_) * h_ * 3)};
    for (int32_t y = 0; y < h_; ++y) {
      const uint8_t* row = photo_.rowPtr(static_cast<uint32_t>(y));
      uint8_t* o = out.rgb.data() + static_cast<size_t>(y) * w_ * 3;
      for (int32_t x = 0; x < w_; ++x)
        for (int c = 0; c < 3; ++c) o[3 * x + c] = row[4 * x + c];
    }
    return out;
  }

  // The pictures a preview is measured by, each at the preview's size: the preview, the
  // untouched preview, the result scaled down and the untouched picture scaled down as it is.
  struct Views {
    Picture shown, untouched, result, picture;
    Figures figures() const {
      return {MedianDifference(shown, result), MedianDifference(untouched, result),
              MedianDifference(untouched, picture)};
    }
  };
  Views ViewsOf(const int32_t view[2]) {
    SaveLayers();
    Views v;
    v.shown = Preview(view[0], view[1]);
    v.untouched = Preview(view[0], view[1], 0);
    v.result = ScaledTo(Render(), v.shown.w, v.shown.h);
    v.picture = ScaledTo(Untouched(), v.shown.w, v.shown.h);
    return v;
  }
  // The same for the part a zoomed view shows, against OK's result `result` and the untouched
  // picture `picture` each scaled to the part's scale and cut to the part (the picture's is the
  // same for every layer file: made once by the caller).
  Views ZoomedViewsOf(const ZoomedPart& part, const Picture& result, const Picture& picture) {
    Views v;
    v.shown = Zoomed(part);
    v.untouched = Zoomed(part, 0);
    v.result = ScaledPart(result, part);
    v.picture = picture;
    return v;
  }
  // The preview of the layer file against what OK writes, at the view's scale.
  Figures Compare(const int32_t view[2]) { return ViewsOf(view).figures(); }

  // The row's parameters in place of the operation's defaults.
  void SetParams(const Row& row) {
    for (const auto& [n, v] : row.set) {
      void (ScriptFile::*const set[5])(int16_t, int16_t, int16_t, int16_t) = {
          &ScriptFile::SetParam1, &ScriptFile::SetParam2, &ScriptFile::SetParam3, &ScriptFile::SetParam4,
          &ScriptFile::SetParam5};
      (document_.*set[n - 1])(0, 1, 1, v);
    }
  }

  void CheckStored(const Row& row) {
    LoadStored(row);
    if (HasFatalFailure()) return;
    Check(row, Compare(row.family == tuneeff::kImageTools ? kToolsView : kEditorView));
  }
  void CheckTool(const Row& row) {
    MakeOperation(row.effect);
    if (HasFatalFailure()) return;
    SetParams(row);
    Check(row, Compare(kToolsView));
  }
  void Check(const Row& row, const Figures& f) const;
  // Which of the pictures the lists' entries name this one is (below).
  virtual int At() const;

  static vmktest::TempDir* library_;
  static bool made_;
  const int32_t w_, h_;
  // Where on the picture the figures are taken, when it is not at Fit (printed with them).
  std::string where_;
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

vmktest::TempDir* PreviewAgainstResult::library_ = nullptr;
bool PreviewAgainstResult::made_ = false;

// Which of the two pictures a list entry holds for.
constexpr int kAtModest = 1, kAtPhoto = 2, kAtBoth = kAtModest | kAtPhoto;
// And the two that are previewed on planes larger than the picture: a picture under three
// times its view at Fit, and a 3000 x 2000 one at the layered editor's zoom steps.
constexpr int kAtLarger = 4, kAtZoomSteps = 8;

int PreviewAgainstResult::At() const { return w_ == kPhoto.w ? kAtPhoto : kAtModest; }

const Unmatched* UnmatchedOf(const Row& row, int at) {
  for (const std::vector<Unmatched>* list : {&UnmatchedEffects(), &UnmatchedOnLargerPlanes()})
    for (const Unmatched& u : *list)
      if (RowKey(row) == u.key && (u.sizes & at) != 0) return &u;
  return nullptr;
}

double BoundOf(const Row& row, int at) {
  for (const Looser& l : LooserBounds())
    if (RowKey(row) == l.key && (l.sizes & at) != 0) return l.bound;
  return kBound;
}

// The figure against the row's bound, and on the photograph the relative rule wherever the
// result moves the picture; a row listed as unmatched must still fail one of them, or the
// list and the README say more than is true.
void PreviewAgainstResult::Check(const Row& row, const Figures& f) const {
  const int at = At();
  const bool relative = at != kAtModest && Moves(f);
  std::printf("preview against result %-36s at %d x %d%s %6.2f untouched %6.2f floor %.2f%s\n", RowKey(row).c_str(),
              w_, h_, where_.c_str(), f.preview, f.untouched, f.floor,
              at != kAtModest && !relative ? " (moves the picture no more than the floor)" : "");
  const bool within = f.preview <= BoundOf(row, at);
  if (const Unmatched* u = UnmatchedOf(row, at)) {
    EXPECT_FALSE(within && (!relative || NearEnough(f)))
        << u->key << " now previews like its result: take it off the list and the README";
    return;
  }
  EXPECT_TRUE(within) << RowKey(row) << where_ << ": " << f.preview << " from the result, bound " << BoundOf(row, at);
  if (relative) {
    EXPECT_TRUE(NearEnough(f)) << RowKey(row) << where_ << ": " << f.preview
                               << " from the result, the untouched preview " << f.untouched << ", the floor "
                               << f.floor;
  }
}

class StoredEffectPreview : public PreviewAgainstResult {
 protected:
  StoredEffectPreview() : PreviewAgainstResult(kModest) {}
};
class ToolPreview : public PreviewAgainstResult {
 protected:
  ToolPreview() : PreviewAgainstResult(kModest) {}
};
class StoredEffectPreviewAtPhotoSize : public PreviewAgainstResult {
 protected:
  StoredEffectPreviewAtPhotoSize() : PreviewAgainstResult(kPhoto) {}
};
class ToolPreviewAtPhotoSize : public PreviewAgainstResult {
 protected:
  ToolPreviewAtPhotoSize() : PreviewAgainstResult(kPhoto) {}
};

TEST_P(StoredEffectPreview, LooksLikeWhatOkWrites) { CheckStored(GetParam()); }

// The layered editor with Ripples in its first layer and a second layer posterizing to 4
// levels what the first made. A posterize sends each pixel of a grainy picture to one level
// or the next where the grain straddles a step: the result scaled down shows their mixture,
// and a view that posterized one picture pixel a sample showed whole regions a level off (the
// mean block difference was over 10 here, 17 on the live check's photograph).
class LayeredPreview : public PreviewAgainstResult {
 protected:
  LayeredPreview() : PreviewAgainstResult(kModest) {}
};
class LayeredPreviewAtPhotoSize : public PreviewAgainstResult {
 protected:
  LayeredPreviewAtPhotoSize() : PreviewAgainstResult(kPhoto) {}
};
constexpr double kLayeredBound = 3.0;

TEST_F(LayeredPreview, RipplesThenPosterizeFourLooksLikeWhatOkWrites) {
  LoadStored({115, "Ripples", 71, {}, {}});
  AddLayerWith(15, 4);
  const double d = Compare(kEditorView).preview;
  std::printf("preview against result ripples, posterize 4 at %d x %d %.2f\n", w_, h_, d);
  EXPECT_LE(d, kLayeredBound);
}

TEST_F(LayeredPreviewAtPhotoSize, RipplesThenPosterizeFourLooksLikeWhatOkWrites) {
  LoadStored({115, "Ripples", 71, {}, {}});
  AddLayerWith(15, 4);
  const double d = Compare(kEditorView).preview;
  std::printf("preview against result ripples, posterize 4 at %d x %d %.2f\n", w_, h_, d);
  EXPECT_LE(d, kLayeredBound);
}
TEST_P(ToolPreview, LooksLikeWhatOkWrites) { CheckTool(GetParam()); }
TEST_P(StoredEffectPreviewAtPhotoSize, LooksLikeWhatOkWrites) { CheckStored(GetParam()); }
TEST_P(ToolPreviewAtPhotoSize, LooksLikeWhatOkWrites) { CheckTool(GetParam()); }

// The wind at its default strength on a camera's picture, previewed at Fit in the image tools,
// along its rows both ways, down and down to the left. Its streaks, 18 of the photograph's
// pixels long at most, carry the picture on from streak to streak some 13 pixels on the
// average, under a view pixel; the preview draws that pull on its planes a fifth of the
// photograph's size, where the streaks scaled as lengths were 3 steps long and drew nothing
// (the first four steps of a streak weigh nothing): the preview was the untouched preview
// sample for sample. Measured sample by sample at the view's scale, the preview must change
// the untouched preview about as much as the result changes the untouched picture, and
// still look like the result. (Walked from x0 whatever the angle, a wind along its row to the
// left once drew nothing in the render or the preview.)
class WindPreviewAtPhotoSize : public PreviewAgainstResult {
 protected:
  WindPreviewAtPhotoSize() : PreviewAgainstResult(kPhoto) {}
};

TEST_F(WindPreviewAtPhotoSize, DrawsTheDefaultStrengthAsOkWritesIt) {
  MakeOperation(32);
  ASSERT_FALSE(HasFatalFailure());
  for (const int16_t angle : {0, 180, 270, 135}) {
    document_.SetParam2(0, 1, 1, angle);
    const Views v = ViewsOf(kToolsView);
    const double drawn = MeanDifference(v.shown, v.untouched), written = MeanDifference(v.result, v.picture);
    const double d = v.figures().preview;
    std::printf("wind at %d degrees: preview changes %.3f, result %.3f; preview against result %.2f\n", angle, drawn,
                written, d);
    EXPECT_GE(drawn, 0.5 * written) << angle;
    EXPECT_LE(drawn, 2.0 * written) << angle;
    EXPECT_LE(d, kBound) << angle;
  }
}

// Lengths the render keeps in the picture's pixels and reads at its own scale, which the
// reader of the operation list does not scale: the contrast expansion's disc and the shadow's
// blur and offset, drawn in the fitted preview at the planes' scale. Growing the mask's
// bright shapes by 131 (image tools, From Mask, with no selection a mask all bright) draws a
// white frame 131 of the picture's pixels wide inside its edge: the preview drew it 131 of
// its planes' samples wide, five times as wide on the photograph, a smaller picture in a wide
// frame (47 from the result, which the untouched preview is 15 from). On the photograph and
// on a 3000 x 2000 picture: the frame as wide as the result's (to a view pixel, along the
// middle row), and the preview by the bound and the relative rule; the same grown from the
// red channel, and a shadow of it blurred and moved.
// A layer whose lengths the checks below read: its effect, source channel, first three
// parameters and what it is called in a failure.
struct LengthCase {
  int16_t code, from, p1, p2, p3;
  const char* what;
};

class LengthsAtPlaneScale : public PreviewAgainstResult {
 protected:
  explicit LengthsAtPlaneScale(Size size) : PreviewAgainstResult(size) {}
  // How many columns from the left (or the right), along the middle row, are the frame's white.
  static int32_t FrameWidth(const Picture& p, bool fromRight = false) {
    const int32_t y = p.h / 2;
    for (int32_t i = 0; i < p.w; ++i) {
      const int32_t x = fromRight ? p.w - 1 - i : i;
      if (p.at(x, y, 0) < 250 || p.at(x, y, 1) < 250 || p.at(x, y, 2) < 250) return i;
    }
    return p.w;
  }
  void CheckAll(const int32_t* view = kToolsView) {
    const LengthCase cases[] = {
        {34, 6, 131, 255, 255, "contrast expansion 131 from the mask"},
        {34, 3, 131, 255, 255, "contrast expansion 131 from red"},
        {33, 3, 20, 60, 40, "shadow of red, blur 20, offset 60, 40"},
    };
    for (const LengthCase& c : cases) {
      MakeOperation(c.code);
      ASSERT_FALSE(HasFatalFailure());
      document_.SetParam1(0, 1, 1, c.p1);
      document_.SetParam2(0, 1, 1, c.p2);
      document_.SetParam3(0, 1, 1, c.p3);
      document_.SetFromChannel(0, 1, 1, c.from);
      // The shadow's own mask mode hides it where the mask is bright, as it is all over here.
      if (c.code == 33) document_.SetIntExt(0, 1, 1, 0);
      const Views v = ViewsOf(view);
      const Figures f = v.figures();
      std::printf("%s at %d x %d: preview against result %.2f, untouched %.2f, floor %.2f\n", c.what, w_, h_,
                  f.preview, f.untouched, f.floor);
      EXPECT_LE(f.preview, kBound) << c.what;
      EXPECT_TRUE(Moves(f)) << c.what;
      EXPECT_TRUE(NearEnough(f)) << c.what;
      if (c.from == 6) {
        const int32_t shown = FrameWidth(v.shown), written = FrameWidth(v.result);
        EXPECT_GE(written, 1) << c.what;
        EXPECT_LE(std::abs(shown - written), 1) << c.what << ": the preview's frame " << shown
                                                << " wide, the result's " << written;
      }
    }
  }
};
class LengthsAtPlaneScaleOnPhoto : public LengthsAtPlaneScale {
 protected:
  LengthsAtPlaneScaleOnPhoto() : LengthsAtPlaneScale(kPhoto) {}
};
class LengthsAtPlaneScaleOnCat : public LengthsAtPlaneScale {
 protected:
  LengthsAtPlaneScaleOnCat() : LengthsAtPlaneScale({3000, 2000}) {}
};

TEST_F(LengthsAtPlaneScaleOnPhoto, PreviewedAsOkWritesThem) { CheckAll(); }
TEST_F(LengthsAtPlaneScaleOnCat, PreviewedAsOkWritesThem) { CheckAll(); }

// A picture between one and three times the tools view's size is previewed on planes three
// times the fitted size, here 1.14 times the picture's: its lengths at the planes' scale there
// too (left in the picture's pixels, the disc's frame was 43 view pixels wide where OK's is 50).
class LengthsOnPlanesLargerThanThePicture : public LengthsAtPlaneScale {
 protected:
  LengthsOnPlanesLargerThanThePicture() : LengthsAtPlaneScale({1000, 700}) {}
};
TEST_F(LengthsOnPlanesLargerThanThePicture, PreviewedAsOkWritesThem) { CheckAll(); }

// A disc of 0 grows and shrinks nothing, where a disc of 1 stamps every edge pixel. Growing
// the bright shapes (34, 48) and shrinking them (47) by 0, from the mask (all bright without a
// selection) and, growing, from red: OK writes the picture as it was, and the image tools'
// preview is the untouched preview sample for sample, on planes larger than the picture and on
// smaller ones. By 1 both draw.
class DiscOfZero : public PreviewAgainstResult {
 protected:
  explicit DiscOfZero(Size size) : PreviewAgainstResult(size) {}
  void CheckAll() {
    const Picture picture = Untouched();
    struct Case {
      int16_t code, from;
    };
    for (const Case c : {Case{34, 6}, Case{48, 6}, Case{47, 6}, Case{34, 3}, Case{48, 3}})
      for (const int16_t disc : {0, 1}) {
        MakeOperation(c.code);
        ASSERT_FALSE(HasFatalFailure());
        document_.SetParam1(0, 1, 1, disc);
        document_.SetParam2(0, 1, 1, 255);
        document_.SetParam3(0, 1, 1, 255);
        document_.SetFromChannel(0, 1, 1, c.from);
        SaveLayers();
        const Picture shown = Preview(kToolsView[0], kToolsView[1]);
        const Picture untouched = Preview(kToolsView[0], kToolsView[1], 0);
        const Picture result = Render();
        const bool previewUntouched = shown.rgb == untouched.rgb, resultUntouched = result.rgb == picture.rgb;
        EXPECT_EQ(previewUntouched, disc == 0) << c.code << " from " << c.from << " by " << disc << " at " << w_;
        EXPECT_EQ(resultUntouched, disc == 0) << c.code << " from " << c.from << " by " << disc << " at " << w_;
      }
  }
};
class DiscOfZeroOnLargerPlanes : public DiscOfZero {
 protected:
  DiscOfZeroOnLargerPlanes() : DiscOfZero({1000, 700}) {}
};
class DiscOfZeroOnSmallerPlanes : public DiscOfZero {
 protected:
  DiscOfZeroOnSmallerPlanes() : DiscOfZero(kModest) {}
};
TEST_F(DiscOfZeroOnLargerPlanes, PreviewsAsOkWritesIt) { CheckAll(); }
TEST_F(DiscOfZeroOnSmallerPlanes, PreviewsAsOkWritesIt) { CheckAll(); }

// The stored effects and the image-tools operations on a picture between one and three times
// the views' size at Fit, previewed on planes larger than the picture (1.28 times its size in
// the layered editor's view, 1.14 in the image tools'), by the bound and the relative rule.
constexpr Size kLarger = {1000, 700};
class StoredEffectPreviewOnLargerPlanes : public PreviewAgainstResult {
 protected:
  StoredEffectPreviewOnLargerPlanes() : PreviewAgainstResult(kLarger) {}
  int At() const override { return kAtLarger; }
};
class ToolPreviewOnLargerPlanes : public PreviewAgainstResult {
 protected:
  ToolPreviewOnLargerPlanes() : PreviewAgainstResult(kLarger) {}
  int At() const override { return kAtLarger; }
};
TEST_P(StoredEffectPreviewOnLargerPlanes, LooksLikeWhatOkWrites) { CheckStored(GetParam()); }
TEST_P(ToolPreviewOnLargerPlanes, LooksLikeWhatOkWrites) { CheckTool(GetParam()); }

// The layered editor's zoom steps between Fit and 1:1 for a picture in its 640 x 480 main view,
// and the parts of the picture its view shows at each, as the window reckons them (its own
// functions): the zoom table for its fit zoom (filled as SetPanZoom fills it); the pan rectangle
// after the + presses from Fit, each keeping the middle of the part shown before it; the
// navigator's frame moved into the picture's bottom-right corner; and the picture's top-left
// corner, where 1:1 shows it and - keeps it. Each part is what the window's render takes on an
// ordinary screen (one plane sample a view pixel each way).
struct ZoomStep {
  int32_t zoom;  // x 10000
  ZoomedPart centred, bottomRight, topLeft;
};
std::vector<ZoomStep> EditorZoomSteps(Size picture) {
  const int32_t vw = kEditorView[0], vh = kEditorView[1];
  const float fx = std::min(static_cast<float>(vw) / static_cast<float>(picture.w), 1.0f);
  const float fy = std::min(static_cast<float>(vh) / static_cast<float>(picture.h), 1.0f);
  int32_t table[kZoomEntries] = {};
  int32_t lo = 0, mid = 0, hi = 0;
  FillZoomTable(table, std::min(static_cast<int32_t>(fx * 10000.0f), static_cast<int32_t>(fy * 10000.0f)), &lo,
                &mid, &hi);
  const auto part = [&](const int32_t pan[4], int32_t zoom) {
    return PinmainRenderedPart(PinmainZoomedView(picture.w, picture.h, vw, vh, pan, zoom), 1);
  };
  int32_t pan[4] = {0, 0, 100000, 100000};
  std::vector<ZoomStep> steps;
  for (int32_t k = lo + 1; k < mid; ++k) {
    PinmainPanAtZoom(picture.w, picture.h, vw, vh, PinmainPanCentre(picture.w, pan[0], pan[2]),
                     PinmainPanCentre(picture.h, pan[1], pan[3]), table[k], pan);
    int32_t corner[4] = {}, origin[4] = {};
    PinmainPanAtZoom(picture.w, picture.h, vw, vh, picture.w, picture.h, table[k], corner);
    PinmainPanAtZoom(picture.w, picture.h, vw, vh, 0.0, 0.0, table[k], origin);
    steps.push_back({table[k], part(pan, table[k]), part(corner, table[k]), part(origin, table[k])});
  }
  return steps;
}

// How many plane samples a view pixel each way a zoomed render of `part` of a picture takes:
// for layers that reach a margin about the part, and for those that reach the whole picture
// (0 where it is rendered at its own pixels and reduced to the view).
int32_t PartSupersampling(Size picture, const ZoomedPart& part) {
  return PlanZoomedPlanes(picture.w, picture.h, part, 0).k;
}
int32_t WholeSupersampling(Size picture, const ZoomedPart& part) {
  const ZoomedPlanes plan = PlanZoomedPlanes(picture.w, picture.h, part, kReachesWhole);
  return plan.ownPixels ? 0 : plan.k;
}

// The steps of a 3000 x 2000 picture run from 26 % to 95 %. Each part fills the view (the
// picture is larger than the view at every step): the centred one about the picture's middle
// (each press puts the part's first pixel on a whole pixel, which moves its middle by half a
// pixel at most), the corners' at the picture's edges. The part is supersampled three times up
// to 46 % and twice above (planes 0.79 to 1.9 times the picture's size); the whole picture three
// times to 31 % (planes 0.79 and 0.93 times its size) and rendered at its own pixels above, where
// three or two times would take planes larger than the picture.
TEST(EditorZoomSteps, RunFromFitToOneToOne) {
  constexpr Size cat = {3000, 2000};
  const std::vector<ZoomStep> steps = EditorZoomSteps(cat);
  ASSERT_EQ(steps.size(), 15u);
  EXPECT_EQ(steps.front().zoom, 2624);
  EXPECT_EQ(steps.back().zoom, 9508);
  std::vector<int32_t> part, whole;
  for (size_t i = 0; i < steps.size(); ++i) {
    const ZoomStep& z = steps[i];
    SCOPED_TRACE(z.zoom);
    const double step = 10000.0 / z.zoom;
    for (const ZoomedPart* p : {&z.centred, &z.bottomRight, &z.topLeft}) {
      EXPECT_DOUBLE_EQ(p->step, step);
      EXPECT_EQ(p->shownWidth, kEditorView[0]);
      EXPECT_EQ(p->shownHeight, kEditorView[1]);
    }
    const double presses = static_cast<double>(i + 1);
    EXPECT_NEAR(z.centred.left + kEditorView[0] * step / 2, cat.w / 2.0, 0.5 * presses + step);
    EXPECT_NEAR(z.centred.top + kEditorView[1] * step / 2, cat.h / 2.0, 0.5 * presses + step);
    EXPECT_NEAR(z.bottomRight.left + kEditorView[0] * step, cat.w, step);
    EXPECT_NEAR(z.bottomRight.top + kEditorView[1] * step, cat.h, step);
    EXPECT_EQ(z.topLeft.left, 0);
    EXPECT_EQ(z.topLeft.top, 0);
    part.push_back(PartSupersampling(cat, z.centred));
    whole.push_back(WholeSupersampling(cat, z.centred));
  }
  EXPECT_EQ(part, (std::vector<int32_t>{3, 3, 3, 3, 3, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2}));
  EXPECT_EQ(whole, (std::vector<int32_t>{3, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

// The steps the previews are checked at: the first above Fit, the last below 1:1, every step
// where a render's supersampling changes (of the part or of the whole picture), and between
// them every other step of a run of one supersampling, so that two checked steps of a run are
// at most two steps of the table apart. A step between two checked ones of its run renders as
// they do, at a scale between theirs: with all fifteen checked no row's outcome changed, and
// the test took twice as long.
std::vector<ZoomStep> CheckedZoomSteps(Size picture) {
  const std::vector<ZoomStep> all = EditorZoomSteps(picture);
  std::vector<ZoomStep> kept;
  size_t run = 0;
  for (size_t i = 0; i < all.size(); ++i) {
    const ZoomedPart& part = all[i].centred;
    const ZoomedPart& before = all[i == 0 ? 0 : i - 1].centred;
    const bool changes = i == 0 || PartSupersampling(picture, part) != PartSupersampling(picture, before) ||
                         WholeSupersampling(picture, part) != WholeSupersampling(picture, before);
    if (changes) run = i;
    if (changes || i + 1 == all.size() || (i - run) % 2 == 0) kept.push_back(all[i]);
  }
  return kept;
}

// Of the 3000 x 2000 picture's fifteen steps: 26 % (the first), 36 % (the whole picture at its
// own pixels from there), 46 %, 51 % (the part twice from there), 61, 70, 80 and 90 %, and 95 %
// (the last).
TEST(EditorZoomSteps, TheCheckedOnes) {
  std::vector<int32_t> zooms;
  for (const ZoomStep& z : CheckedZoomSteps({3000, 2000})) zooms.push_back(z.zoom);
  EXPECT_EQ(zooms, (std::vector<int32_t>{2624, 3608, 4591, 5083, 6066, 7049, 8033, 9016, 9508}));
}

// The stored effects on a 3000 x 2000 picture at the layered editor's zoom steps between Fit
// and 1:1 (CheckedZoomSteps), as the window shows them: the part its view shows, centred after
// the zoom presses and in the picture's bottom-right corner, rendered through its zoomed road
// (only the part and the margin its layers reach, or the whole picture where they reach it, at
// its own pixels or on planes smaller than it), against OK's render reduced to the part as that
// road reduces the whole picture (ScaledPart). A test takes one family of the library (its parameter names the family).
constexpr Size kCat = {3000, 2000};
class StoredEffectPreviewAtZoomSteps : public PreviewAgainstResult {
 protected:
  StoredEffectPreviewAtZoomSteps() : PreviewAgainstResult(kCat) {}
  int At() const override { return kAtZoomSteps; }
};

std::vector<Row> StoredFamilies() {
  std::vector<Row> families;
  for (const Row& r : StoredRows())
    if (std::none_of(families.begin(), families.end(), [&](const Row& f) { return f.family == r.family; }))
      families.push_back({r.family, "", 0, {}, {}});
  return families;
}

std::string FamilyName(const ::testing::TestParamInfo<Row>& i) { return "family_" + std::to_string(i.param.family); }

TEST_P(StoredEffectPreviewAtZoomSteps, LooksLikeWhatOkWrites) {
  struct Shown {
    const char* where;
    ZoomedPart part;
    Picture picture;  // the untouched picture as the part shows it reduced
  };
  std::vector<std::pair<int32_t, std::vector<Shown>>> steps;
  {
    const Picture picture = Untouched();
    for (const ZoomStep& z : CheckedZoomSteps(kCat)) {
      std::vector<Shown> parts;
      parts.push_back({"centred", z.centred, ScaledPart(picture, z.centred)});
      parts.push_back({"at the bottom-right", z.bottomRight, ScaledPart(picture, z.bottomRight)});
      steps.emplace_back(z.zoom, std::move(parts));
    }
  }
  for (const Row& row : StoredRows()) {
    if (row.family != GetParam().family) continue;
    LoadStored(row);
    if (HasFatalFailure()) return;
    SaveLayers();
    const Picture result = Render();
    // A row on the list must fail at some step (it may pass at a few, where the scales happen to
    // agree), or the list and the README say more than is true.
    const Unmatched* listed = UnmatchedOf(row, kAtZoomSteps);
    bool failed = false;
    for (const auto& [zoom, parts] : steps)
      for (const Shown& shown : parts) {
        const Figures f = ZoomedViewsOf(shown.part, result, shown.picture).figures();
        char where[64];
        std::snprintf(where, sizeof where, " zoomed to %.2f %% %s", zoom / 100.0, shown.where);
        where_ = where;
        if (listed == nullptr) {
          Check(row, f);
          continue;
        }
        const bool passes = f.preview <= BoundOf(row, kAtZoomSteps) && (!Moves(f) || NearEnough(f));
        std::printf("preview against result %-36s at %d x %d%s %6.2f untouched %6.2f floor %.2f (listed)%s\n",
                    RowKey(row).c_str(), w_, h_, where, f.preview, f.untouched, f.floor, passes ? "" : " fails");
        failed = failed || !passes;
      }
    if (listed != nullptr) {
      EXPECT_TRUE(failed) << listed->key << " now previews like its result at every step: take it off the list and "
                          << "the README";
    }
  }
}

// The lengths of a layer that reaches a margin about the part (the contrast expansion's disc,
// the blur, the motion blur) through the layered editor's zoomed road at steps below 1:1, where
// the part is rendered on planes larger than the picture (at 46 %, three samples a view pixel,
// 1.38 times the picture's size; at 70 %, two, 1.41 times): read at the scale of the part's own
// planes against the whole picture, they preview as OK's result scaled down, by the bound and
// the relative rule, in the picture's two corners (the disc's frame as wide as the result's, to a
// view pixel); and a shadow, which reaches the whole picture, at the picture's own pixels (two or
// three samples a view pixel would take planes larger than it), there the result reduced to the
// part, sample for sample. The relative rule passes a blur or a streak drawn too short, so each
// must also come within a fifth of the untouched preview's distance from the result above the
// floor (under a tenth here; left in the picture's pixels they came a quarter to a half of it from
// the result, and the disc's frame 65 view pixels wide at 70 % where OK's is 93).
TEST_F(LengthsAtPlaneScaleOnCat, AtTheZoomBelowOneToOne) {
  const LengthCase cases[] = {
      {34, 6, 131, 255, 255, "contrast expansion 131 from the mask"},
      {34, 3, 131, 255, 255, "contrast expansion 131 from red"},
      {11, 0, 24, 0, 0, "blur 24"},
      {84, 0, 120, 30, 0, "motion blur 120 at 30 degrees"},
      {33, 3, 20, 60, 40, "shadow of red, blur 20, offset 60, 40"},
  };
  const Picture picture = Untouched();
  std::vector<std::pair<int32_t, std::vector<std::pair<ZoomedPart, Picture>>>> steps;
  for (const ZoomStep& z : EditorZoomSteps({w_, h_})) {
    if (z.zoom != 4591 && z.zoom != 7049) continue;
    std::vector<std::pair<ZoomedPart, Picture>> parts;
    for (const ZoomedPart& part : {z.topLeft, z.bottomRight}) parts.emplace_back(part, ScaledPart(picture, part));
    steps.emplace_back(z.zoom, std::move(parts));
  }
  ASSERT_EQ(steps.size(), 2u);
  for (const LengthCase& c : cases) {
    MakeOperation(c.code);
    ASSERT_FALSE(HasFatalFailure());
    document_.SetParam1(0, 1, 1, c.p1);
    document_.SetParam2(0, 1, 1, c.p2);
    document_.SetParam3(0, 1, 1, c.p3);
    if (c.from != 0) document_.SetFromChannel(0, 1, 1, c.from);
    // The shadow's own mask mode hides it where the mask is bright, as it is all over here.
    if (c.code == 33) document_.SetIntExt(0, 1, 1, 0);
    SaveLayers();
    const Picture result = Render();
    for (const auto& [zoom, parts] : steps)
      for (const auto& [part, shownPicture] : parts) {
        const bool right = part.left > 0;
        char at[64];
        std::snprintf(at, sizeof at, " zoomed to %.2f %% at the %s", zoom / 100.0, right ? "bottom-right" : "top-left");
        const std::string where = c.what + std::string(at);
        if (c.code != 33) {
          EXPECT_GT(PlanZoomedPlanes(w_, h_, part, 1).wholeWidth, w_) << where;
        } else {
          EXPECT_TRUE(PlanZoomedPlanes(w_, h_, part, kReachesWhole).ownPixels) << where;
        }
        const Views v = ZoomedViewsOf(part, result, shownPicture);
        const Figures f = v.figures();
        std::printf("%s: preview against result %.2f, untouched %.2f, floor %.2f\n", where.c_str(), f.preview,
                    f.untouched, f.floor);
        EXPECT_LE(f.preview, kBound) << where;
        EXPECT_TRUE(Moves(f)) << where;
        EXPECT_TRUE(NearEnough(f)) << where;
        EXPECT_LE(f.preview - f.floor, 0.2 * (f.untouched - f.floor)) << where;
        if (c.code == 33) {
          EXPECT_EQ(v.shown.rgb, v.result.rgb) << where;
        }
        if (c.from == 6) {
          const int32_t shown = FrameWidth(v.shown, right), written = FrameWidth(v.result, right);
          EXPECT_GE(written, 1) << where;
          EXPECT_LE(std::abs(shown - written), 1)
              << where << ": the preview's frame " << shown << " wide, the result's " << written;
        }
      }
  }
}

// The library's two blurs on a camera's picture: the amount is scaled with the picture and
// the blur holds its radius at its largest, and the strong one must still render stronger
// than the soft one there (once both reached that radius and wrote the same file).
class LibraryBlursAtPhotoSize : public PreviewAgainstResult {
 protected:
  LibraryBlursAtPhotoSize() : PreviewAgainstResult(kPhoto) {}
  // How far the render's edges spread: the sum over the picture of the samples' distance
  // from their neighbour on the right, which a stronger blur lowers.
  static uint64_t Sharpness(const Picture& p) {
    uint64_t sum = 0;
    for (int32_t y = 0; y < p.h; y += 3)
      for (int32_t x = 1; x < p.w; ++x)
        for (int c = 0; c < 3; ++c) sum += static_cast<uint64_t>(std::abs(p.at(x, y, c) - p.at(x - 1, y, c)));
    return sum;
  }
  // The stored blur read into the document's layer (in place of what it held) and rendered
  // over the whole picture as OK renders it.
  uint64_t SharpnessOf(const char* name) {
    LoadStored({92, name, 11, {}, {}});
    EXPECT_EQ(Layer()->oprnCount, 1);
    SaveLayers();
    return Sharpness(Render());
  }
};

TEST_F(LibraryBlursAtPhotoSize, TheStrongBlurRendersStrongerThanTheSoftOne) {
  const uint64_t soft = SharpnessOf("Soft blur");
  const uint64_t strong = SharpnessOf("Strong blur");
  EXPECT_LT(strong, soft);
}

// The library's stored effects that one list offers as a weaker and a stronger setting of one
// effect, named so: on a picture with a photograph's grain the stronger one must write a
// version of its own, further from the untouched picture than the weaker one's. (Relief and
// Deep relief are two looks, not two strengths: other angles, and the deep one a lighter grey.)
struct StrengthPair {
  int16_t family;
  const char* weaker;
  const char* stronger;
  int16_t effect;
};
const StrengthPair kStrengthPairs[] = {
    {92, "Soft blur", "Strong blur", 11},
    {42, "Plaid light", "Plaid strong", 42},
};

class LibraryStrengths : public PreviewAgainstResult {
 protected:
  LibraryStrengths() : PreviewAgainstResult(kModest) {}
  // The stored effect read into the document's layer (in place of what it held) and rendered
  // over the whole picture as OK renders it.
  Picture RenderOf(const StrengthPair& p, const char* name) {
    LoadStored({p.family, name, p.effect, {}, {}});
    EXPECT_EQ(Layer()->oprnCount, 1) << name;
    SaveLayers();
    return Render();
  }
};

TEST_F(LibraryStrengths, TheStrongerOfEachPairChangesThePictureMore) {
  const Picture untouched = Untouched();
  for (const StrengthPair& p : kStrengthPairs) {
    const Picture weaker = RenderOf(p, p.weaker);
    const Picture stronger = RenderOf(p, p.stronger);
    const double dw = MeanDifference(weaker, untouched), ds = MeanDifference(stronger, untouched);
    std::printf("%-12s %.2f, %-12s %.2f from the untouched picture\n", p.weaker, dw, p.stronger, ds);
    EXPECT_FALSE(weaker.rgb == stronger.rgb) << p.stronger << " writes what " << p.weaker << " writes";
    EXPECT_GT(ds, dw) << p.stronger << " changes the picture less than " << p.weaker;
  }
}

std::string ParamName(const ::testing::TestParamInfo<Row>& i) { return RowName(i.param); }

INSTANTIATE_TEST_SUITE_P(Library, StoredEffectPreview, ::testing::ValuesIn(StoredRows()), ParamName);
INSTANTIATE_TEST_SUITE_P(Defaults, ToolPreview, ::testing::ValuesIn(ToolRows()), ParamName);
INSTANTIATE_TEST_SUITE_P(Library, StoredEffectPreviewAtPhotoSize, ::testing::ValuesIn(StoredRows()), ParamName);
INSTANTIATE_TEST_SUITE_P(Defaults, ToolPreviewAtPhotoSize, ::testing::ValuesIn(ToolRows()), ParamName);
INSTANTIATE_TEST_SUITE_P(Largest, ToolPreviewAtPhotoSize, ::testing::ValuesIn(LargestToolRows()), ParamName);
INSTANTIATE_TEST_SUITE_P(Wind, ToolPreviewAtPhotoSize, ::testing::ValuesIn(WindRows()), ParamName);
INSTANTIATE_TEST_SUITE_P(Library, StoredEffectPreviewOnLargerPlanes, ::testing::ValuesIn(StoredRows()), ParamName);
INSTANTIATE_TEST_SUITE_P(Defaults, ToolPreviewOnLargerPlanes, ::testing::ValuesIn(ToolRows()), ParamName);
INSTANTIATE_TEST_SUITE_P(Largest, ToolPreviewOnLargerPlanes, ::testing::ValuesIn(LargestToolRows()), ParamName);
INSTANTIATE_TEST_SUITE_P(Wind, ToolPreviewOnLargerPlanes, ::testing::ValuesIn(WindRows()), ParamName);
INSTANTIATE_TEST_SUITE_P(Library, StoredEffectPreviewAtZoomSteps, ::testing::ValuesIn(StoredFamilies()), FamilyName);

// Every key of the lists is a row of the test.
TEST(PreviewLists, NameRowsOfTheTest) {
  std::set<std::string> keys;
  for (const Row& r : StoredRows()) keys.insert(RowKey(r));
  for (const Row& r : ToolRows()) keys.insert(RowKey(r));
  for (const Row& r : LargestToolRows()) keys.insert(RowKey(r));
  for (const Row& r : WindRows()) keys.insert(RowKey(r));
  for (const Unmatched& u : UnmatchedEffects()) EXPECT_TRUE(keys.count(u.key)) << u.key;
  for (const Unmatched& u : UnmatchedOnLargerPlanes()) {
    EXPECT_TRUE(keys.count(u.key)) << u.key;
    EXPECT_EQ(u.sizes & kAtBoth, 0) << u.key << ": this list holds for the larger planes only";
  }
  for (const Looser& l : LooserBounds()) EXPECT_TRUE(keys.count(l.key)) << l.key;
}

// README.md's "What it does not do" has one item on the previews that differ
// from what OK writes, and it names every effect of the list above ("Name
// (number)" each) and no other number in brackets.
TEST(PreviewLists, TheReadmeNamesExactlyTheUnmatchedEffects) {
  const std::string readme = vmktest::ReadText(std::string(VMK_SOURCE_DIR) + "/README.md");
  const size_t section = readme.find("## What it does not do");
  ASSERT_NE(section, std::string::npos);
  const std::string marker = "- The fitted preview of these differs from what OK writes";
  const size_t start = readme.find(marker, section);
  ASSERT_NE(start, std::string::npos) << "README.md has no item beginning \"" << marker << "\"";
  size_t end = readme.find("\n- ", start + 1);
  end = std::min(end, readme.find("\n#", start + 1));
  std::string item = readme.substr(start, end == std::string::npos ? std::string::npos : end - start);
  for (char& c : item)
    if (c == '\n') c = ' ';
  // Lines wrap between words: one blank between words throughout.
  item = std::regex_replace(item, std::regex(" +"), " ");
  std::set<std::string> shown;
  for (const std::vector<Unmatched>* list : {&UnmatchedEffects(), &UnmatchedOnLargerPlanes()})
    for (const Unmatched& u : *list) {
      EXPECT_NE(item.find(u.shown), std::string::npos) << "README.md does not name " << u.shown;
      shown.insert(u.shown);
    }
  const std::regex number(R"(\(\d+\))");
  const auto numbers = static_cast<size_t>(
      std::distance(std::sregex_iterator(item.begin(), item.end(), number), std::sregex_iterator()));
  EXPECT_EQ(numbers, shown.size()) << "README.md names effects the test does not list: " << item;
}

const std::vector<Unmatched>& UnmatchedEffects() {
  static const std::vector<Unmatched> list = {
      {"41/Kaleidoscope", kAtPhoto, "Kaleidoscope (56)",
       "the kaleidoscope's tile is 999 samples square on any planes, a constant of the render: on a photograph "
       "the result's tile is a sixth of the picture's width and the preview's half of its planes' (on a "
       "modest picture the planes are about the picture's size, and so are the tiles)"},
      {"117/Fog", kAtBoth, "Fog (69)", "the fog draws its blotches and blur at their stored sizes in the planes' pixels"},
      {"tools/43", kAtPhoto, "weave (43)",
       "the weave's threads are whole pixels of the record, one to a few wide: planes a fifth of a photograph's "
       "size cannot draw them a fifth as wide"},
      {"tools/44", kAtPhoto, "edges (44)",
       "the edges are found on the picture at the planes' scale, a fifth of a photograph's, where its grain "
       "still shows; the result's edges of that grain average away when it is scaled down"},
      {"tools/122 largest", kAtPhoto, "film grain (122) at its largest",
       "grain of up to some 170 levels either way, clipped at black and white: the result scaled down to the "
       "view is still grainy (each view pixel the mean of some 28 of the photograph's, its block medians a few "
       "levels off by the grain alone) and darkened and lightened by the clipping; the preview's grain, as "
       "faint at its scale as the result's once scaled down, clips nothing, and grain at full strength on its "
       "planes clips as the result does but leaves nearly twice the result's grain in the view (3.8 from the "
       "result, the untouched preview 6.1) -- no grain drawn on other samples is the result's"},
  };
  return list;
}

const std::vector<Unmatched>& UnmatchedOnLargerPlanes() {
  // At the zoom steps the layers of these reach the whole picture, which the layered editor
  // renders at its own pixels from 36 % up, each view pixel the mean of the pixels under it as
  // ScaledPart reduces OK's result (there every whole-picture layer previews as the result, to
  // the sample), and at 26 % and 31 % three samples a view pixel on planes 0.79 and 0.93 times
  // its size each way: these differ at 26 % (31 % is not among the checked steps).
  static const std::vector<Unmatched> list = {
      {"41/Kaleidoscope", kAtLarger, "Kaleidoscope (56)",
       "the tile is 999 samples square on any planes: on planes larger than the picture it is a smaller share of "
       "it than the result's (on the 1000 x 700 picture in the layered editor's view, 780 of its pixels for 999)"},
      {"41/Kaleidoscope", kAtZoomSteps, "Kaleidoscope (56)",
       "the tile is 999 samples square on any planes: at 26 %, on planes smaller than the picture, it is a larger "
       "share of it than the result's (some 1270 of its pixels for 999)"},
      {"117/Fog", kAtLarger | kAtZoomSteps, "Fog (69)",
       "the fog draws its blotches and blur at their stored sizes in the planes' pixels (at the zoom steps, 26 %)"},
      {"118/Mosaic", kAtLarger, "Mosaic (120)",
       "the blocks are whole samples: on planes 1.28 times the picture's size a block of 8 is 10 samples, not "
       "10.24, and the grid drifts from the result's across the picture (some three blocks over it), so that the "
       "view's blocks lie elsewhere than the result's; on a photograph they are under a view pixel"},
      {"118/Mosaic", kAtZoomSteps, "Mosaic (120)",
       "the blocks are whole samples: at 26 % a block of 8 is 6 samples where the result's 8 pixels are 6.3 of "
       "the planes', and the grid drifts from the result's across the picture, so that the view's blocks lie "
       "elsewhere than the result's"},
      {"118/Film grain", kAtLarger | kAtZoomSteps, "Film grain (122)",
       "grain drawn a sample at a time on other samples is other grain: where it still shows in the view (a "
       "picture under three times its view, the zoom step of 26 %), the preview's grain and the result's are two "
       "draws, each as far from the other as from the untouched preview, which the relative rule cannot pass"},
      {"tools/122 largest", kAtLarger, "film grain (122) at its largest",
       "the grain at its largest clips at black and white and still shows in the view, as on the photograph"},
      {"42/Plaid strong", kAtZoomSteps, "Plaid strong (42)",
       "the plaid's weave is whole samples of the planes, its threads one wide and its pattern repeating every "
       "eight: at 26 % it repeats every eight of the planes' samples, 1.27 of the picture's pixels each, where "
       "the result's repeats every eight of the picture's pixels, and the strong weave comes a little more than "
       "the bound from the result in the picture's corner (Plaid light stays within it)"},
  };
  return list;
}

const std::vector<Looser>& LooserBounds() {
  static const std::vector<Looser> list = {};
  return list;
}

}  // namespace
