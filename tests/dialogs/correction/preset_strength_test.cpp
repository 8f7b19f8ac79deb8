// The content library's presets of one effect at three strengths, each colour-correction
// dialog's Light, Medium and Strong, read from their files as the dialogs read them and
// rendered as OK renders them on photograph-sized pictures with grain: each must write a
// version of its own, further from the untouched picture the stronger its name says it is. A
// preset whose values sit in a step its record leaves switched off writes what the others
// write, and a stronger one can change the picture less than a weaker one where the grain
// answers one of its values the other way.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "dialogs/correction/colcor_render.h"
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

const Family kFamilies[] = {
    {"Noise reduction", "sse4", 103},
    {"Smoothing", "sse5", 104},
    {"Focus", "sse3", 105},
    {"Channel mixing", "sse2", 119},
};
const char* const kStrengths[] = {"Light", "Medium", "Strong"};

// Two pictures: waves, gradients and hard-edged patches under a heavy grain of its own in
// each channel; and the real-display check's photograph (sky, sun, hill, posts) with its
// grain, one noise on all three channels as a camera's luminance grain.
struct Plane {
  const char* name;
  Picture picture;
};

std::vector<Plane> MakePlanes() {
  std::vector<Plane> planes;
  planes.push_back({"photo-like", Picture{kW, kH, vmktest::PhotoLike(kW, kH, 3)}});
  const std::vector<uint8_t> rgba = livescreen::PhotoPixels(kW, kH);
  Picture live{kW, kH, std::vector<uint8_t>(static_cast<size_t>(kW) * kH * 3)};
  for (size_t i = 0; i < static_cast<size_t>(kW) * kH; ++i)
    for (size_t c = 0; c < 3; ++c) live.rgb[3 * i + c] = rgba[4 * i + c];
  planes.push_back({"live photograph", std::move(live)});
  return planes;
}

// The mean absolute difference per sample of two pictures of one size.
double MeanDifference(const Picture& a, const Picture& b) {
  uint64_t sum = 0;
  for (size_t i = 0; i < a.rgb.size(); ++i) sum += static_cast<uint64_t>(std::abs(a.rgb[i] - b.rgb[i]));
  return static_cast<double>(sum) / static_cast<double>(a.rgb.size());
}

class PresetStrength : public vmktest::PresetFileTest {
 protected:
  static void SetUpTestSuite() { planes_ = new std::vector<Plane>(MakePlanes()); }
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

  void CheckFamily(const Family& f) {
    for (const Plane& plane : *planes_) {
      std::vector<Picture> versions;
      std::vector<double> change;
      for (const char* strength : kStrengths) {
        versions.push_back(vmktest::RenderedByEngineRow(plane.picture, Preset(f, strength), f.effect));
        change.push_back(MeanDifference(versions.back(), plane.picture));
      }
      std::printf("%-15s on the %-15s Light %.2f, Medium %.2f, Strong %.2f from the untouched picture\n",
                  f.folder, plane.name, change[0], change[1], change[2]);
      EXPECT_GT(change[0], 0.0) << f.folder << " on the " << plane.name << ": Light changes nothing";
      for (size_t k = 1; k < versions.size(); ++k) {
        EXPECT_FALSE(versions[k].rgb == versions[k - 1].rgb)
            << f.folder << " on the " << plane.name << ": " << kStrengths[k] << " writes what "
            << kStrengths[k - 1] << " writes";
        EXPECT_GT(change[k], change[k - 1]) << f.folder << " on the " << plane.name << ": " << kStrengths[k]
                                            << " changes the picture less than " << kStrengths[k - 1];
      }
    }
  }

  static std::vector<Plane>* planes_;
};

std::vector<Plane>* PresetStrength::planes_ = nullptr;

TEST_F(PresetStrength, NoiseReduction) { CheckFamily(kFamilies[0]); }
TEST_F(PresetStrength, Smoothing) { CheckFamily(kFamilies[1]); }
TEST_F(PresetStrength, Focus) { CheckFamily(kFamilies[2]); }
TEST_F(PresetStrength, ChannelMixing) { CheckFamily(kFamilies[3]); }

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
