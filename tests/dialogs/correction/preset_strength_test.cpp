// The content library's presets of one effect at three strengths, each colour-correction
// dialog's Light, Medium and Strong, read from their files as the dialogs read them and
// rendered as OK renders them on photograph-sized pictures, each family measured by what it is
// for. Noise reduction and smoothing take grain away: on a photo-like plane with grain each
// version must be nearer the same plane without its grain than the one before (Strong at
// least half of the way), the plane without grain, whose gradients and patches have no fine
// texture, must come out within a level of itself, and on the live check's photograph with a
// camera's grain added the per-pixel gradient must fall from the input through Light, Medium and
// Strong. A photograph's fine texture goes with its grain: on a photograph without grain (a
// camera's, soft at its pixels, a table's wood grain and fur) each preset moves nearly every
// pixel and keeps less of the texture than the one before, by the figures the README gives:
// the smooth plane's small change says nothing of what a user sees on a photograph. Measured
// as a distance from the input instead, a preset that puts the grain back amplified (a
// contrast mask of high gain over the blur) passes as the stronger one. The families that sharpen or mix must change
// the picture more the stronger their name says they are, and Focus's Light must change a
// photograph as soft at its pixels as a camera's by at least a third of what Medium changes:
// a sharpening too small for the engine's whole levels leaves such a photograph as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "dialogs/correction/colcor_render.h"
#include "dialogs/correction/enlarged_photo.h"
#include "engines/correction/colour_correction.h"
#include "support/photo_planes.h"
#include "support/preset_files.h"
#include "tools/live-screen/photo.h"

namespace {

namespace fs = std::filesystem;
using vmktest::Picture;

// A camera picture's proportions, large enough for the steps' reach to show as on a
// photograph, small enough to render every preset in seconds under the sanitizers.
constexpr int32_t kW = 1500, kH = 1000;

struct Family {
  const char* folder;  // below Presets/ in the maker's folder
  const char* suffix;
  int16_t effect;
};

const Family kNoiseReduction{"Noise reduction", "sse4", 103};
const Family kSmoothing{"Smoothing", "sse5", 104};
const Family kFocus{"Focus", "sse3", 105};
const Family kChannelMixing{"Channel mixing", "sse2", 119};
const Family kFamilies[] = {kNoiseReduction, kSmoothing, kFocus, kChannelMixing};
const char* const kStrengths[] = {"Light", "Medium", "Strong"};

// The photo-like plane's grain for the smoothing families: a uniform ±20 levels in each
// sample, a heavy grain that a photograph's hard edges (patches 45 levels apart) still stand
// out of.
constexpr double kGrain = 20.0 / 127.5;
// A camera's grain over the live check's photograph: one Gaussian noise on the three channels
// of a pixel, as luminance grain, added to the photograph's own.
constexpr double kCameraGrain = 8.0;
// How far a smoothing preset may move a picture without grain nor fine texture.
constexpr double kCleanBound = 1.0;

// What the README says each preset does to a photograph without grain: the mean change per
// sample in levels and the share of its texture (its mean gradient) left, Light, Medium and
// Strong, each held to within kAboutLevels and kAboutShare of the figure the README rounds to.
struct OnPhotograph {
  double levels[3];
  double textureLeft[3];
};
const OnPhotograph kNoiseReductionOnPhotograph{{1.0, 3.0, 5.0}, {0.9, 2.0 / 3.0, 0.5}};
const OnPhotograph kSmoothingOnPhotograph{{2.0, 4.0, 7.0}, {0.8, 0.5, 1.0 / 3.0}};
constexpr double kAboutLevels = 0.5, kAboutShare = 0.06;
// "Nearly every pixel": the share of pixels Medium and Strong change at least.
constexpr double kNearlyEvery = 0.95;

Picture FromRgba(const std::vector<uint8_t>& rgba) {
  Picture p{kW, kH, std::vector<uint8_t>(static_cast<size_t>(kW) * kH * 3)};
  for (size_t i = 0; i < static_cast<size_t>(kW) * kH; ++i)
    for (size_t c = 0; c < 3; ++c) p.rgb[3 * i + c] = rgba[4 * i + c];
  return p;
}

Picture WithCameraGrain(Picture p) {
  uint32_t seed = 20261210u;
  auto uniform = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return ((seed >> 8) + 0.5) / 16777216.0;
  };
  for (size_t i = 0; i < p.rgb.size(); i += 3) {
    const double g = kCameraGrain * std::sqrt(-2.0 * std::log(uniform())) * std::cos(6.283185307179586 * uniform());
    for (size_t c = 0; c < 3; ++c)
      p.rgb[i + c] = static_cast<uint8_t>(std::clamp(std::lround(p.rgb[i + c] + g), 0L, 255L));
  }
  return p;
}

struct Planes {
  Picture grainy;        // photo-like, ±20 grain
  Picture clean;         // the same without its grain
  Picture grainyLive;    // the live check's photograph with a camera's grain
  Picture photoLike;     // photo-like with a heavy grain of its own in each channel
  Picture live;          // the live check's photograph as it is
  Picture enlarged;      // a camera's small picture enlarged, soft at its pixels
};

Planes MakePlanes() {
  Planes p;
  p.grainy = Picture{kW, kH, vmktest::PhotoLike(kW, kH, 3, kGrain)};
  p.clean = Picture{kW, kH, vmktest::PhotoLike(kW, kH, 3, 0.0)};
  p.live = FromRgba(livescreen::PhotoPixels(kW, kH));
  p.grainyLive = WithCameraGrain(p.live);
  p.photoLike = Picture{kW, kH, vmktest::PhotoLike(kW, kH, 3)};
  p.enlarged = FromRgba(vmktest::EnlargedPhotograph(kW, kH));
  return p;
}

// The mean absolute difference per sample of two pictures of one size.
double MeanDifference(const Picture& a, const Picture& b) {
  uint64_t sum = 0;
  for (size_t i = 0; i < a.rgb.size(); ++i) sum += static_cast<uint64_t>(std::abs(a.rgb[i] - b.rgb[i]));
  return static_cast<double>(sum) / static_cast<double>(a.rgb.size());
}

// The mean per sample of the length of the step to the right-hand and the lower neighbour:
// grain raises it at every pixel, a smoothing lowers it.
double Gradient(const Picture& p) {
  double sum = 0.0;
  for (int32_t y = 0; y + 1 < p.h; ++y)
    for (int32_t x = 0; x + 1 < p.w; ++x)
      for (int c = 0; c < 3; ++c) {
        const double dx = p.at(x + 1, y, c) - p.at(x, y, c), dy = p.at(x, y + 1, c) - p.at(x, y, c);
        sum += std::sqrt(dx * dx + dy * dy);
      }
  return sum / (static_cast<double>(p.w - 1) * (p.h - 1) * 3);
}

class PresetStrength : public vmktest::PresetFileTest {
 protected:
  static void SetUpTestSuite() { planes_ = new Planes(MakePlanes()); }
  static void TearDownTestSuite() {
    delete planes_;
    planes_ = nullptr;
  }
  void SetUp() override { ASSERT_TRUE(vmktest::MakeContentLibrary(dir_.path().string())); }

  // The preset's file read into a record at the picture's size, as the dialog's popup reads it.
  ColCorPar Preset(const Family& f, const char* strength) {
    ColCorPar record;
    Init_ColCorPar(&record, kW, kH, 72, f.effect, 0, 0);
    const fs::path file = dir_.path() / "Presets" / f.folder / (std::string(strength) + "." + f.suffix);
    EXPECT_TRUE(fs::exists(file)) << file;
    EXPECT_EQ(Do_AColCor_file(2, vmktest::SpecForPath(file.string()), &record, f.effect), 0) << file;
    return record;
  }

  // Light's, Medium's and Strong's versions of the picture.
  std::vector<Picture> Versions(const Family& f, const Picture& picture) {
    std::vector<Picture> out;
    for (const char* strength : kStrengths)
      out.push_back(vmktest::RenderedByEngineRow(picture, Preset(f, strength), f.effect));
    return out;
  }

  void CheckTakesGrainAway(const Family& f) {
    const Planes& p = *planes_;
    const double input = MeanDifference(p.grainy, p.clean);
    std::vector<double> left;
    for (const Picture& v : Versions(f, p.grainy)) left.push_back(MeanDifference(v, p.clean));
    std::printf("%-15s from the plane without grain: input %.2f, Light %.2f, Medium %.2f, Strong %.2f\n",
                f.folder, input, left[0], left[1], left[2]);
    double before = input;
    for (size_t k = 0; k < left.size(); ++k) {
      EXPECT_LT(left[k], before) << f.folder << ": " << kStrengths[k] << " leaves more grain than "
                                 << (k == 0 ? "the input has" : kStrengths[k - 1]);
      before = left[k];
    }
    EXPECT_LE(left[2], input / 2) << f.folder << ": Strong takes less than half of the grain away";

    std::vector<double> moved;
    for (const Picture& v : Versions(f, p.clean)) moved.push_back(MeanDifference(v, p.clean));
    std::printf("%-15s the plane without grain moved: Light %.2f, Medium %.2f, Strong %.2f\n", f.folder,
                moved[0], moved[1], moved[2]);
    for (size_t k = 0; k < moved.size(); ++k)
      EXPECT_LE(moved[k], kCleanBound) << f.folder << ": " << kStrengths[k]
                                       << " changes a picture without grain nor texture";

    std::vector<double> gradient{Gradient(p.grainyLive)};
    for (const Picture& v : Versions(f, p.grainyLive)) gradient.push_back(Gradient(v));
    std::printf("%-15s the grainy live photograph's gradient: input %.2f, Light %.2f, Medium %.2f, Strong %.2f\n",
                f.folder, gradient[0], gradient[1], gradient[2], gradient[3]);
    for (size_t k = 1; k < gradient.size(); ++k)
      EXPECT_LT(gradient[k], gradient[k - 1]) << f.folder << ": " << kStrengths[k - 1]
                                              << " leaves the grainy photograph no smoother than "
                                              << (k == 1 ? "the input" : kStrengths[k - 2]);
  }

  // On a photograph without grain, each preset changes nearly every pixel, further than the one
  // before, and leaves less of its fine texture, by the README's figures.
  void CheckFlattensTexture(const Family& f, const OnPhotograph& said) {
    const Picture& photo = planes_->enlarged;
    const double texture = Gradient(photo);
    double movedBefore = 0.0, leftBefore = 1.0;
    for (size_t k = 0; k < 3; ++k) {
      const Picture v = vmktest::RenderedByEngineRow(photo, Preset(f, kStrengths[k]), f.effect);
      const double moved = MeanDifference(v, photo), left = Gradient(v) / texture;
      size_t pixels = 0;
      for (size_t i = 0; i < v.rgb.size(); i += 3)
        pixels += v.rgb[i] != photo.rgb[i] || v.rgb[i + 1] != photo.rgb[i + 1] || v.rgb[i + 2] != photo.rgb[i + 2];
      const double share = static_cast<double>(pixels) / (static_cast<double>(v.rgb.size()) / 3);
      std::printf("%-15s %-6s on a photograph without grain: moves it %.2f, %.0f %% of the pixels, leaves %.0f %% "
                  "of its texture\n",
                  f.folder, kStrengths[k], moved, 100 * share, 100 * left);
      EXPECT_NEAR(moved, said.levels[k], kAboutLevels) << f.folder << ": " << kStrengths[k];
      EXPECT_NEAR(left, said.textureLeft[k], kAboutShare) << f.folder << ": " << kStrengths[k];
      if (k > 0) {
        EXPECT_GE(share, kNearlyEvery) << f.folder << ": " << kStrengths[k];
      }
      EXPECT_GT(moved, movedBefore) << f.folder << ": " << kStrengths[k];
      EXPECT_LT(left, leftBefore) << f.folder << ": " << kStrengths[k];
      movedBefore = moved;
      leftBefore = left;
    }
  }

  // Each version further from the picture than the one before; Light's change at least
  // `lightShare` of Medium's.
  void CheckChangesInOrder(const Family& f, double lightShare) {
    const Planes& p = *planes_;
    struct Named {
      const char* name;
      const Picture* picture;
    };
    for (const Named plane : {Named{"photo-like", &p.photoLike}, Named{"live photograph", &p.live},
                              Named{"enlarged photo", &p.enlarged}}) {
      const std::vector<Picture> versions = Versions(f, *plane.picture);
      std::vector<double> change;
      for (const Picture& v : versions) change.push_back(MeanDifference(v, *plane.picture));
      std::printf("%-15s on the %-15s Light %.3f, Medium %.3f, Strong %.3f from the untouched picture\n",
                  f.folder, plane.name, change[0], change[1], change[2]);
      EXPECT_GT(change[0], 0.0) << f.folder << " on the " << plane.name << ": Light changes nothing";
      EXPECT_GE(change[0], lightShare * change[1])
          << f.folder << " on the " << plane.name << ": Light changes the picture by less than "
          << std::lround(100 * lightShare) << " % of what Medium changes";
      for (size_t k = 1; k < versions.size(); ++k) {
        EXPECT_FALSE(versions[k].rgb == versions[k - 1].rgb)
            << f.folder << " on the " << plane.name << ": " << kStrengths[k] << " writes what "
            << kStrengths[k - 1] << " writes";
        EXPECT_GT(change[k], change[k - 1]) << f.folder << " on the " << plane.name << ": " << kStrengths[k]
                                            << " changes the picture less than " << kStrengths[k - 1];
      }
    }
  }

  static Planes* planes_;
};

Planes* PresetStrength::planes_ = nullptr;

TEST_F(PresetStrength, NoiseReductionTakesMoreGrainAwayTheStrongerItIs) { CheckTakesGrainAway(kNoiseReduction); }
TEST_F(PresetStrength, SmoothingTakesMoreGrainAwayTheStrongerItIs) { CheckTakesGrainAway(kSmoothing); }
TEST_F(PresetStrength, NoiseReductionFlattensAPhotographsTextureTheStrongerItIs) {
  CheckFlattensTexture(kNoiseReduction, kNoiseReductionOnPhotograph);
}
TEST_F(PresetStrength, SmoothingFlattensAPhotographsTextureTheStrongerItIs) {
  CheckFlattensTexture(kSmoothing, kSmoothingOnPhotograph);
}
TEST_F(PresetStrength, FocusSharpensMoreTheStrongerItIsAndLightVisibly) { CheckChangesInOrder(kFocus, 1.0 / 3.0); }
TEST_F(PresetStrength, ChannelMixingMixesMoreTheStrongerItIs) { CheckChangesInOrder(kChannelMixing, 0.0); }

// Every preset folder of the library whose presets are named by a strength is one of the
// families above, so that a new one is checked too.
TEST_F(PresetStrength, EveryFolderOfPresetsNamedByStrengthIsChecked) {
  std::set<std::string> checked;
  for (const Family& f : kFamilies) checked.insert(f.folder);
  const std::set<std::string> strengths = {"Light", "Medium", "Strong", "Soft", "Weak", "Slight", "Mild",
                                           "Heavy", "Subtle", "Small", "Large"};
  int folders = 0;
  for (const fs::directory_entry& folder : fs::directory_iterator(dir_.path() / "Presets")) {
    if (!folder.is_directory()) continue;
    ++folders;
    for (const fs::directory_entry& file : fs::directory_iterator(folder.path())) {
      if (strengths.count(file.path().stem().string()) != 0) {
        EXPECT_TRUE(checked.count(folder.path().filename().string()) != 0) << file.path();
      }
    }
  }
  EXPECT_GT(folders, 4);
}

}  // namespace
