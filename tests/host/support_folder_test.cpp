// One session at a time in a maker's folder: a session holds the folder for
// its whole life, another is turned away with the reason and leaves the
// folder's files alone; and a confirmed effect whose render fails is told.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "dialogs/correction/noise_dialog.h"
#include "host/host_fixture.h"
#include "host/main_window.h"
#include "host/render_progress.h"

namespace {

namespace fs = std::filesystem;
using plat::files::FolderLock;
using vmktest::Sample;

class SupportFolderTest : public vmktest::HostTest {
 protected:
  std::string Makers() const { return fs::path(bundle_.makersFile("x")).parent_path().string(); }
  std::string Scratch() const { return bundle_.makersFile("com.vellmarkstead.lay"); }
};

TEST_F(SupportFolderTest, ASessionHoldsTheMakersFolderUntilItEnds) {
  CarbonEditPlugin* s = Start({Version("a.tif", vmktest::SolidImage(3, 3, 10, 20, 30))});
  ASSERT_NE(s->editWindow(), nullptr);
  FolderLock other;
  EXPECT_EQ(other.Take(Makers()), FolderLock::Result::kInUse);
  session_.reset();
  EXPECT_EQ(other.Take(Makers()), FolderLock::Result::kHeld);
}

TEST_F(SupportFolderTest, AFolderHeldByAnotherEditTurnsTheSessionAwayWithItsFilesUntouched) {
  const std::string a = Version("a.tif", vmktest::SolidImage(3, 3, 10, 20, 30));
  // The other edit's confirmed layers are in the scratch file.
  vmktest::WriteBrightnessLayers(Scratch(), 10);
  const std::vector<uint8_t> layers = vmktest::ReadBytes(Scratch());
  FolderLock other;
  ASSERT_EQ(other.Take(Makers()), FolderLock::Result::kHeld);
  CarbonEditPlugin* s = Start({a});
  EXPECT_EQ(s->editWindow(), nullptr);
  EXPECT_NE(s->lastError.find("another edit is using the support folder " + Makers()), std::string::npos)
      << s->lastError;
  EXPECT_EQ(vmktest::ReadBytes(Scratch()), layers);
  session_.reset();
  EXPECT_EQ(vmktest::ReadBytes(Scratch()), layers);
  // Once the other edit has ended, a session starts as ever (emptying the
  // scratch file of earlier layers).
  other.Release();
  s = Start({a});
  EXPECT_NE(s->editWindow(), nullptr);
  EXPECT_TRUE(s->lastError.empty()) << s->lastError;
  EXPECT_EQ(fs::file_size(Scratch()), 0u);
}

// The scratch file emptied under the render (by anything): the confirmed
// effect is not in the picture, and the user is told so.
TEST_F(SupportFolderTest, ARenderThatFailsAfterAConfirmedEffectIsTold) {
  constexpr OSType kDnoi = FourCC("Dnoi");
  constexpr int32_t kDenoiseButton = 43, kOk = 101;
  CarbonEditPlugin* s = Start({Version("a.tif", vmktest::PatternImage(40, 30, 1))});
  ASSERT_NE(s->editWindow(), nullptr);
  const PixelBuffer before = s->destination;
  int renders = 0;
  SetRenderStartWatcher([&] {
    ++renders;
    fs::resize_file(Scratch(), 0);
  });
  driver_.Press(kApemainSig, kDenoiseButton).Advance(3.1).Press(kDnoi, kOk).RunSteps(s->mainWindow->window);
  SetRenderStartWatcher(nullptr);
  EXPECT_EQ(renders, 1);
  ASSERT_EQ(driver_.ui().alertRequests.size(), 1u);
  EXPECT_EQ(driver_.ui().alertRequests[0].params[0], "The effect could not be rendered.");
  EXPECT_EQ(s->lastError, "the effect could not be rendered and was not applied");
  for (uint32_t y = 0; y < 30; ++y)
    for (uint32_t x = 0; x < 40; ++x)
      for (int k = 0; k < 3; ++k) ASSERT_EQ(Sample(s->destination, x, y, k), Sample(before, x, y, k));

  // A render the user stopped needs no word either.
  driver_.ui().alertRequests.clear();
  s->lastError.clear();
  SetRenderStartWatcher([] { CancelRender(); });
  driver_.Press(kApemainSig, kDenoiseButton).Advance(3.1).Press(kDnoi, kOk).RunSteps(s->mainWindow->window);
  SetRenderStartWatcher(nullptr);
  EXPECT_TRUE(driver_.ui().alertRequests.empty());
  EXPECT_EQ(s->lastError, "the render was cancelled");

  // The same effect rendered: no word.
  driver_.ui().alertRequests.clear();
  s->lastError.clear();
  driver_.Press(kApemainSig, kDenoiseButton).Advance(3.1).Press(kDnoi, kOk).RunSteps(s->mainWindow->window);
  EXPECT_TRUE(driver_.ui().alertRequests.empty());
  EXPECT_TRUE(s->lastError.empty()) << s->lastError;
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
