// One session at a time in a maker's folder: a session holds the folder for
// its whole life, another is turned away with the reason and leaves the
// folder's files and the first session's state alone; and a confirmed
// effect whose render fails is told.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/core/session_state.h"
#include "dialogs/correction/noise_dialog.h"
#include "host/ApePlugInUtilities/ape_spans.h"
#include "host/host_fixture.h"
#include "host/main_window.h"
#include "host/render_progress.h"
#include "support/folder_lock_faults.h"

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

// A second edit in the same process, turned away by the folder's hold: the
// first keeps its process-wide records through the refusal and the refused
// object's end, and its next effect renders as ever.
TEST_F(SupportFolderTest, ARefusedSecondSessionLeavesTheFirstItsStateAndItsEffects) {
  constexpr OSType kDnoi = FourCC("Dnoi");
  constexpr int32_t kDenoiseButton = 43, kOk = 101;
  CarbonEditPlugin* first = Start({Version("a.tif", vmktest::PatternImage(40, 30, 1))});
  ASSERT_NE(first->editWindow(), nullptr);
  const TPermanent* per = gPer;
  const FilterRecord* record = gFilterRecord;
  ASSERT_NE(per, nullptr);
  ASSERT_NE(record, nullptr);
  const FilterRecord recordBefore = *record;
  uint8_t rgb[3] = {};
  ASSERT_EQ(ReadAPEimage(0, rgb, nullptr, 3, 5, 7, 6, 8), 0);
  const std::vector<uint8_t> pixel(rgb, rgb + 3);

  auto edit = std::make_unique<plat::hostapi::FakeEditManager>(
      std::vector<std::string>{Version("b.tif", vmktest::SolidImage(7, 9, 1, 2, 3))});
  auto api = std::make_unique<plat::hostapi::FakeApiManager>(edit.get());
  auto second = std::make_unique<CarbonEditPlugin>(api.get(), "test", edit.get());
  EXPECT_EQ(second->editWindow(), nullptr);
  EXPECT_NE(second->lastError.find("another edit is using the support folder " + Makers()), std::string::npos)
      << second->lastError;
  EXPECT_EQ(gPer, per);
  EXPECT_EQ(gFilterRecord, record);
  EXPECT_EQ(gCarbonEditPlugin, first);
  second.reset();
  ASSERT_EQ(gPer, per);
  ASSERT_EQ(gFilterRecord, record);
  EXPECT_EQ(gCarbonEditPlugin, first);
  // The first's picture, not the refused one's, is what the records describe.
  EXPECT_EQ(gFilterRecord->imageWidth, recordBefore.imageWidth);
  EXPECT_EQ(gFilterRecord->imageHeight, recordBefore.imageHeight);
  // The render's road to the pixels is still the first session's.
  std::fill(rgb, rgb + 3, 0);
  ASSERT_EQ(ReadAPEimage(0, rgb, nullptr, 3, 5, 7, 6, 8), 0);
  EXPECT_EQ(std::vector<uint8_t>(rgb, rgb + 3), pixel);
  // The folder is still the first's.
  FolderLock other;
  EXPECT_EQ(other.Take(Makers()), FolderLock::Result::kInUse);

  const PixelBuffer before = first->destination;
  int renders = 0;
  SetRenderStartWatcher([&] { ++renders; });
  driver_.Press(kApemainSig, kDenoiseButton).Advance(3.1).Press(kDnoi, kOk).RunSteps(first->mainWindow->window);
  SetRenderStartWatcher(nullptr);
  EXPECT_EQ(renders, 1);
  EXPECT_TRUE(driver_.ui().alertRequests.empty());
  EXPECT_TRUE(first->lastError.empty()) << first->lastError;
  EXPECT_GT(fs::file_size(Scratch()), 0u);
  bool changed = false;
  for (uint32_t y = 0; y < 30 && !changed; ++y)
    for (uint32_t x = 0; x < 40 && !changed; ++x)
      for (int k = 0; k < 3; ++k) changed = changed || Sample(first->destination, x, y, k) != Sample(before, x, y, k);
  EXPECT_TRUE(changed);
  EXPECT_TRUE(driver_.errors().empty());
}

using vmktest::LockFaults;

// The folder itself cannot be locked, as on NFS: the session holds it
// through its hidden lock file, and another holder is turned away as ever.
TEST_F(SupportFolderTest, AFolderThatCannotItselfBeLockedIsHeldAllTheSame) {
  LockFaults faults(EBADF, 0);
  const std::string a = Version("a.tif", vmktest::SolidImage(3, 3, 10, 20, 30));
  CarbonEditPlugin* s = Start({a});
  ASSERT_NE(s->editWindow(), nullptr);
  EXPECT_TRUE(fs::is_regular_file(bundle_.makersFile(FolderLock::kLockFileName)));
  FolderLock other;
  EXPECT_EQ(other.Take(Makers()), FolderLock::Result::kInUse);
  session_.reset();
  ASSERT_EQ(other.Take(Makers()), FolderLock::Result::kHeld);
  s = Start({a});
  EXPECT_EQ(s->editWindow(), nullptr);
  EXPECT_NE(s->lastError.find("another edit is using the support folder " + Makers()), std::string::npos)
      << s->lastError;
}

// Nothing can be locked: the edit runs unlocked and the user is told so,
// in one line, once for the program's life. A second edit in the program
// is still turned away, with the first left as it was.
TEST_F(SupportFolderTest, AFolderThatCannotBeLockedAtAllIsUsedAndSaidSoOnce) {
  ForgetSupportFolderWarningForTesting();
  LockFaults faults(EBADF, ENOLCK);
  const std::string a = Version("a.tif", vmktest::SolidImage(3, 3, 10, 20, 30));
  testing::internal::CaptureStderr();
  CarbonEditPlugin* s = Start({a});
  EXPECT_NE(s->editWindow(), nullptr);
  EXPECT_TRUE(s->lastError.empty()) << s->lastError;
  const TPermanent* per = gPer;
  auto edit = std::make_unique<plat::hostapi::FakeEditManager>(std::vector<std::string>{a});
  auto api = std::make_unique<plat::hostapi::FakeApiManager>(edit.get());
  auto second = std::make_unique<CarbonEditPlugin>(api.get(), "test", edit.get());
  EXPECT_EQ(second->editWindow(), nullptr);
  EXPECT_EQ(second->lastError, "another edit is open in this program: finish or cancel it, then start again");
  second.reset();
  EXPECT_EQ(gPer, per);
  EXPECT_EQ(gCarbonEditPlugin, s);
  session_.reset();
  s = Start({a});
  EXPECT_NE(s->editWindow(), nullptr);
  session_.reset();
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "warning: the support folder " + Makers() +
                " cannot be locked (No locks available): it is used unlocked, so another edit started "
                "meanwhile could change its files under this one\n");
}

// A folder with files of the user's at the lock file's name: it is left as
// it is, the folder is held on this machine (another edit here is turned
// away), and the user is told, once, that an edit on another machine is
// not kept out and what stands in the way.
TEST_F(SupportFolderTest, ALockNameTakenByAFolderHoldsOnThisMachineOnlyAndSaysWhy) {
  ForgetSupportFolderWarningForTesting();
  const std::string name = bundle_.makersFile(FolderLock::kLockFileName);
  fs::create_directory(name);
  vmktest::WriteText(name + "/inside", "kept");
  const std::string a = Version("a.tif", vmktest::SolidImage(3, 3, 10, 20, 30));
  testing::internal::CaptureStderr();
  for (int edit = 0; edit < 2; ++edit) {
    CarbonEditPlugin* s = Start({a});
    EXPECT_NE(s->editWindow(), nullptr);
    EXPECT_TRUE(s->lastError.empty()) << s->lastError;
    FolderLock other;
    EXPECT_EQ(other.Take(Makers()), FolderLock::Result::kInUse);
    session_.reset();
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "warning: the support folder " + Makers() +
                " is held against other edits on this machine only (.vellmarkstead-lock in it is a folder that "
                "holds files, not a lock file): an edit started on another machine that shares it could change "
                "its files under this one\n");
  EXPECT_EQ(vmktest::ReadText(name + "/inside"), "kept");
}

// The scratch file emptied under the render (by anything): the confirmed
// effect is not in the picture, and the user is told so.
TEST_F(SupportFolderTest, ARenderThatFailsAfterAConfirmedEffectIsTold) {
  constexpr OSType kDnoi = FourCC("Dnoi");
  constexpr int32_t kDenoiseButton = 43, kOk = 101, kCancel = 102;
  CarbonEditPlugin* s = Start({Version("a.tif", vmktest::PatternImage(40, 30, 1))});
  ASSERT_NE(s->editWindow(), nullptr);
  const PixelBuffer before = s->destination;
  int renders = 0;
  SetRenderStartWatcher([&] {
    ++renders;
    fs::resize_file(Scratch(), 0);
  });
  // The dialog stays open after either; its Cancel leaves.
  driver_.Press(kApemainSig, kDenoiseButton)
      .Advance(3.1)
      .Press(kDnoi, kOk)
      .Press(kDnoi, kCancel)
      .RunSteps(s->mainWindow->window);
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
  driver_.Press(kApemainSig, kDenoiseButton)
      .Advance(3.1)
      .Press(kDnoi, kOk)
      .Press(kDnoi, kCancel)
      .RunSteps(s->mainWindow->window);
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
