// The default content library that the project makes for the maker's
// folder, run through its generator as ./run.sh runs it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/core/pascal_strings.h"
#include "app/folder_scans.h"
#include "platform/files/colon_paths.h"
#include "platform/imageio/image_io.h"
#include "support/preset_files.h"
#include "support/session.h"

namespace fs = std::filesystem;
namespace io = plat::imageio;

namespace {

std::vector<fs::path> ImagesIn(const fs::path& folder) {
  std::vector<fs::path> out;
  for (const auto& e : fs::directory_iterator(folder)) {
    const std::string ext = e.path().extension().string();
    if (e.is_regular_file() && (ext == ".tif" || ext == ".jpg")) out.push_back(e.path());
  }
  return out;
}

class ContentLibrary : public vmktest::SessionTest {
 protected:
  void SetUp() override {
    makers_ = dir_.path() / "Vellmarkstead";
    ASSERT_TRUE(vmktest::MakeContentLibrary(makers_.string()));
  }
  vmktest::TempDir dir_;
  fs::path makers_;
};

TEST_F(ContentLibrary, EveryContentFolderHoldsReadablePictures) {
  for (const char* colon : kContentFolders) {
    const fs::path folder = makers_ / plat::files::ColonToPosix(colon);
    ASSERT_TRUE(fs::is_directory(folder)) << colon;
    const std::vector<fs::path> images = ImagesIn(folder);
    EXPECT_FALSE(images.empty()) << colon;
    for (const fs::path& p : images) {
      uint32_t w = 0, h = 0;
      std::vector<uint8_t> argb;
      EXPECT_EQ(io::DecodeARGB(p.string(), &w, &h, &argb), io::kOk) << p;
      EXPECT_GE(w, 32u) << p;
      EXPECT_GE(h, 32u) << p;
      EXPECT_LE(w * h, 256u * 256u) << p;  // small: the tests make it often
    }
  }
  // The default tiles that new tessellation, repeat and border records name.
  EXPECT_TRUE(fs::is_regular_file(makers_ / "Images" / "generic.tif"));
  EXPECT_TRUE(fs::is_regular_file(makers_ / "Images" / "mirvder_rose.tif"));
}

// The second run names its folder from the working folder, as a user types it.
TEST_F(ContentLibrary, SameFilesEveryRunAndGreyMapsAreGrey) {
  const fs::path again = dir_.path() / "again";
#ifdef VMK_MAKE_CONTENT
  const std::string command = "cd '" + dir_.path().string() + "' && '" VMK_MAKE_CONTENT "' again/. >/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
#else
  GTEST_SKIP() << "no make-content";
#endif
  size_t compared = 0;
  for (const auto& e : fs::recursive_directory_iterator(makers_)) {
    if (!e.is_regular_file()) continue;
    const fs::path rel = fs::relative(e.path(), makers_);
    EXPECT_EQ(vmktest::ReadBytes(e.path().string()), vmktest::ReadBytes((again / rel).string())) << rel;
    ++compared;
  }
  EXPECT_GE(compared, 19u);

  for (const char* map : {"Tiles1/Displace/ripple.tif", "Tiles1/Displace/bumps.tif",
                          "Edges2/wavy.tif", "Tiles1/Lights/spot.tif"}) {
    uint32_t w = 0, h = 0;
    std::vector<uint8_t> argb;
    ASSERT_EQ(io::DecodeARGB((makers_ / map).string(), &w, &h, &argb), io::kOk) << map;
    bool grey = true;
    for (size_t i = 0; i < argb.size(); i += 4) grey = grey && argb[i + 1] == argb[i + 2] && argb[i + 2] == argb[i + 3];
    EXPECT_TRUE(grey) << map;
  }
}

TEST_F(ContentLibrary, ShiftMapsMoveAlongTwoAxesAndTheRoseKeepsItsAlpha) {
  for (const char* map : {"Tiles1/Displace/swirl.tif", "Tiles1/Displace/lens.tif"}) {
    uint32_t w = 0, h = 0;
    std::vector<uint8_t> argb;
    ASSERT_EQ(io::DecodeARGB((makers_ / map).string(), &w, &h, &argb), io::kOk) << map;
    bool twoAxes = false;
    for (size_t i = 0; i < argb.size(); i += 4) twoAxes = twoAxes || argb[i + 1] != argb[i + 2];
    EXPECT_TRUE(twoAxes) << map;
    // The corners lie outside the moving disc: 128 in red, green and blue moves nothing.
    for (size_t at : {size_t{0}, argb.size() - 4})
      for (int c = 1; c < 4; ++c) EXPECT_EQ(argb[at + c], 128) << map;
  }
  uint32_t w = 0, h = 0;
  std::vector<uint8_t> argb;
  ASSERT_EQ(io::DecodeARGB((makers_ / "Images" / "mirvder_rose.tif").string(), &w, &h, &argb),
            io::kOk);
  const size_t centre = (size_t{h / 2} * w + w / 2) * 4;
  EXPECT_EQ(argb[0], 0);          // the ground in the corner is see-through
  EXPECT_EQ(argb[centre], 255);   // the flower is opaque
}

TEST_F(ContentLibrary, AMovedContentFileIsFoundInTheLibrary) {
  ASSERT_TRUE(SetFicFromPosix(&gPer->makersFolder, makers_.string()));
  fichier f;
  SetPStr(f.path, plat::files::PosixToColon((dir_.path() / "old").string(), true));
  SetPStr(f.name, "wavy.tif");
  EXPECT_EQ(SearchAlternateFic(&f), 0);
  EXPECT_EQ(FicToPosix(f), (makers_ / "Edges2" / "wavy.tif").string());
}

}  // namespace

namespace {

std::vector<uint8_t> Decode(const fs::path& p, uint32_t* w, uint32_t* h) {
  std::vector<uint8_t> argb;
  EXPECT_EQ(io::DecodeARGB(p.string(), w, h, &argb), io::kOk) << p;
  return argb;
}

TEST_F(ContentLibrary, BorderTilesKeepTheirAlphaAndTheScreenHasItsImages) {
  // The border merges its tiles by their alpha: each tile is partly see-through.
  for (const char* tile : {"Bord/bands.tif", "Bord/rope.tif", "Bord/beads.tif"}) {
    uint32_t w = 0, h = 0;
    std::vector<uint8_t> argb;
    ASSERT_EQ(io::DecodeARGB((makers_ / tile).string(), &w, &h, &argb), io::kOk) << tile;
    size_t clear = 0, opaque = 0;
    for (size_t i = 0; i < argb.size(); i += 4) {
      clear += argb[i] == 0;
      opaque += argb[i] == 255;
    }
    EXPECT_GT(clear, argb.size() / 40) << tile;
    EXPECT_GT(opaque, argb.size() / 40) << tile;
  }
  // The screen's one image, and its level series from white (level 0) to black (255).
  EXPECT_TRUE(fs::is_regular_file(makers_ / "Tiles" / "screen_dot.tif"));
  int32_t previous = -1;
  for (int level = 0; level <= 255; level += 17) {
    char name[40];
    std::snprintf(name, sizeof name, "Tiles1/screen_level_%03d.tif", level);
    uint32_t w = 0, h = 0;
    std::vector<uint8_t> argb;
    ASSERT_EQ(io::DecodeARGB((makers_ / name).string(), &w, &h, &argb), io::kOk) << name;
    int32_t dark = 0;
    for (size_t i = 0; i < argb.size(); i += 4) dark += 255 - argb[i + 1];
    EXPECT_GT(dark, previous) << name;
    previous = dark;
    if (level == 0) {
      EXPECT_EQ(dark, 0);
    }
  }
  EXPECT_EQ(previous, 32 * 32 * 255);
}

}  // namespace

// The painter's brushes are grey, with paint in the middle and none at the corners; its
// papers are textured, not flat.
TEST_F(ContentLibrary, PainterBrushesAndPapers) {
  for (const char* brush : {"Sprays/brush_round_soft.tif", "Sprays/brush_flat_bristle.tif",
                            "Sprays/brush_dry.tif"}) {
    uint32_t w = 0, h = 0;
    const std::vector<uint8_t> argb = Decode(makers_ / brush, &w, &h);
    ASSERT_EQ(argb.size(), size_t{w} * h * 4) << brush;
    auto grey = [&](uint32_t x, uint32_t y) { return argb[(size_t{y} * w + x) * 4 + 1]; };
    bool isGrey = true;
    uint32_t painted = 0;
    for (size_t i = 0; i < argb.size(); i += 4) {
      isGrey = isGrey && argb[i + 1] == argb[i + 2] && argb[i + 2] == argb[i + 3];
      painted += argb[i + 1] > 128 ? 1 : 0;
    }
    EXPECT_TRUE(isGrey) << brush;
    EXPECT_GT(painted, w * h / 10) << brush;
    for (uint32_t x : {0u, w - 1})
      for (uint32_t y : {0u, h - 1}) EXPECT_EQ(grey(x, y), 0) << brush;
    // The dry brush may break anywhere; the others hold paint at their centre.
    if (std::string(brush).find("dry") == std::string::npos) {
      EXPECT_GT(grey(w / 2, h / 2), 200) << brush;
    }
  }
  for (const char* paper : {"HaldenF/canvas.tif", "HaldenF/laid_paper.tif"}) {
    uint32_t w = 0, h = 0;
    const std::vector<uint8_t> argb = Decode(makers_ / paper, &w, &h);
    uint8_t lo = 255, hi = 0;
    for (size_t i = 1; i < argb.size(); i += 4) {
      lo = std::min(lo, argb[i]);
      hi = std::max(hi, argb[i]);
    }
    EXPECT_GT(hi - lo, 20) << paper;
    EXPECT_GT(lo, 100) << paper;  // light enough to paint on
  }
}
