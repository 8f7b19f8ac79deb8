// The save-buffer (96) and recall-buffer (97) steps of renders that run at once, and what
// renders leave in the maker's folder: a preview's slots are its own, the render written
// back keeps them as the folder's swap files.
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "operations/effects.h"
#include "operations/swap_slots.h"
#include "platform/files/file_io.h"
#include "platform/parallel/cancel.h"
#include "platform/parallel/progress.h"
#include "script/script_file.h"
#include "support/at_once.h"
#include "support/session.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
constexpr int32_t kW = 24, kH = 10;
constexpr int16_t kSlot = 4;

class RenderSwapSlots : public vmktest::SessionTest {
 protected:
  void SetUp() override { ASSERT_TRUE(SetFicFromPosix(&app_.data().makersFolder, dir_.path().string())); }
  // Save the composite into the slot, invert it, recall it: the picture comes back.
  static std::unique_ptr<ScriptFile> SaveInvertRecall() {
    auto s = std::make_unique<ScriptFile>();
    if (s->I_ScriptFile(3, kW, kH, 72.0f, kW, kH, 0, 0, kW - 1, kH - 1) != 0) return nullptr;
    const int16_t effects[3] = {96, 9, 97};
    for (int16_t o = 1; o <= 3; ++o) {
      s->SetEffect(0, 1, o, effects[o - 1], 0, 0, 0, 0);
      s->SetAct(0, 1, o, 1);
      s->SetFromChannel(0, 1, o, 0);
      s->SetToChannel(0, 1, o, 2);
      s->SetParam1(0, 1, o, kSlot);
      s->SetMode(0, 1, o, 0);
      s->SetOpa(0, 1, o, 255);
      s->SetMChannel(0, 1, o, 0);
      s->SetIntExt(0, 1, o, 1);
    }
    return s;
  }
  static Bytes Picture(int seed) {
    Bytes rgba(4 * kW * kH);
    for (size_t i = 0; i < rgba.size(); ++i) rgba[i] = static_cast<uint8_t>(seed * 31 + 7 * i + i / 5);
    return rgba;
  }
  // The composite after a render, red, green and blue planes one after the other.
  static Bytes Rendered(ScriptFile& s, const Bytes& rgba) {
    if (s.Render(0, 0, 0, rgba.data(), nullptr, nullptr, 0, 0) != 0) return {};
    Bytes out;
    for (int32_t c = 3; c <= 5; ++c) {
      const uint8_t* p = s.ChannelPlane(c, 0);
      if (p == nullptr) return {};
      out.insert(out.end(), p, p + kW * kH);
    }
    return out;
  }
  static Bytes Planes(const Bytes& rgba) {
    Bytes out;
    for (int c = 0; c < 3; ++c)
      for (int32_t i = 0; i < kW * kH; ++i) out.push_back(rgba[4 * i + c]);
    return out;
  }
  std::string Slot(int slot) const { return dir_.file("pspBuf" + std::to_string(slot) + ".lst"); }
  // The folders of previews' own slots in the maker's folder.
  std::vector<fs::path> OwnFolders() const {
    std::vector<fs::path> found;
    for (const auto& e : fs::directory_iterator(dir_.path()))
      if (e.path().filename().string().rfind(".vellmarkstead-slots-", 0) == 0) found.push_back(e.path());
    return found;
  }

  vmktest::TempDir dir_;
  vmktest::ScopedAppData app_;
};

// Two windows' previews at once, each on a picture of its own: every round recalls the
// planes its own render saved, never the other's, and never finds them cleared by the
// other's start.
TEST_F(RenderSwapSlots, TwoRendersAtOnceEachRecallTheirOwnPlanes) {
  const Bytes a = Picture(1), b = Picture(2);
  auto sa = SaveInvertRecall(), sb = SaveInvertRecall();
  ASSERT_NE(sa, nullptr);
  ASSERT_NE(sb, nullptr);
  const Bytes wantA = Planes(a), wantB = Planes(b);
  ASSERT_EQ(Rendered(*sa, a), wantA);
  ASSERT_EQ(Rendered(*sb, b), wantB);
  EXPECT_EQ(vmktest::WrongRoundsAtOnce(150, [&] { return Rendered(*sa, a) == wantA; },
                                       [&] { return Rendered(*sb, b) == wantB; }),
            0);
  EXPECT_FALSE(fs::exists(Slot(kSlot)));
}

// A render, a preview's or the one written back, neither reads nor clears the swap files of the
// maker's folder, and leaves none there: its slots 0 to 64 are its own. Inside an operation's
// render the slots are the caller's.
TEST_F(RenderSwapSlots, ARenderLeavesTheMakersFolderAsItWas) {
  const Bytes earlier = {3, 0, kW, 0, 0, 0, kH, 0, 0, 0};
  vmktest::WriteBytes(Slot(kSlot), earlier);
  vmktest::WriteBytes(Slot(0), earlier);
  vmktest::WriteBytes(Slot(65), earlier);
  auto s = SaveInvertRecall();
  ASSERT_NE(s, nullptr);
  const Bytes picture = Picture(3);
  EXPECT_EQ(Rendered(*s, picture), Planes(picture));
  {
    const swap_slots::RenderSlots outer;
    EXPECT_EQ(Rendered(*s, picture), Planes(picture));
    EXPECT_EQ(Rendered(*s, picture), Planes(picture));
  }
  for (int slot : {0, int{kSlot}, 65}) EXPECT_EQ(vmktest::ReadBytes(Slot(slot)), earlier) << slot;
  EXPECT_TRUE(OwnFolders().empty());
}

// A preview's slots are files of its own folder while it renders (a save-buffer step, then
// each later step, sees them there), and the folder is gone once the render is over.
TEST_F(RenderSwapSlots, APreviewsSlotsLieInAFolderOfItsOwnUntilItsRenderEnds) {
  auto s = SaveInvertRecall();
  ASSERT_NE(s, nullptr);
  std::vector<size_t> sizes;  // of the slot file in the render's folder, at each report
  plat::ProgressMeter meter;
  meter.SetObserver([&](int32_t) {
    for (const fs::path& f : OwnFolders())
      sizes.push_back(fs::exists(f / "pspBuf4.lst") ? fs::file_size(f / "pspBuf4.lst") : 0);
  });
  const Bytes picture = Picture(5);
  {
    const plat::ProgressScope progress(&meter);
    EXPECT_EQ(Rendered(*s, picture), Planes(picture));
  }
  ASSERT_FALSE(sizes.empty());
  EXPECT_EQ(sizes.back(), 10u + 3u * kW * kH);
  EXPECT_TRUE(OwnFolders().empty());
  EXPECT_FALSE(fs::exists(Slot(kSlot)));
  EXPECT_EQ(plat::files::OpenFileCount(), 0);
}

// A preview cancelled once its save has been made stops, and leaves nothing of its folder.
TEST_F(RenderSwapSlots, ACancelledPreviewLeavesNothingOfItsFolder) {
  auto s = SaveInvertRecall();
  ASSERT_NE(s, nullptr);
  plat::CancelFlag cancel;
  plat::ProgressMeter meter;
  bool saved = false;
  meter.SetObserver([&](int32_t) {
    if (OwnFolders().empty()) return;
    saved = true;
    cancel.Cancel();
  });
  const Bytes picture = Picture(6);
  {
    const plat::CancelScope scope(&cancel);
    const plat::ProgressScope progress(&meter);
    (void)s->Render(0, 0, 0, picture.data(), nullptr, nullptr, 0, 0);
  }
  EXPECT_TRUE(saved);
  EXPECT_TRUE(OwnFolders().empty());
  EXPECT_EQ(plat::files::OpenFileCount(), 0);
}

// On a maker's folder whose disk is full, a render's save fails: it stops at the save step
// and leaves no folder behind.
TEST_F(RenderSwapSlots, ARenderOnAFullDiskFailsAtItsSaveAndLeavesNoFolder) {
  auto s = SaveInvertRecall();
  ASSERT_NE(s, nullptr);
  const Bytes picture = Picture(7);
  plat::files::FailWritesForTesting(dir_.path().string(), ENOSPC);
  const int32_t rendered = s->Render(0, 0, 0, picture.data(), nullptr, nullptr, 0, 0);
  const std::optional<RenderFailure> failure = s->Failure();
  plat::files::FailWritesForTesting("", 0);
  EXPECT_EQ(rendered, -1);
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(failure->effect, 96);
  EXPECT_EQ(failure->why, StepFailure::kFileUnwritable);
  EXPECT_FALSE(fs::exists(Slot(kSlot)));
  EXPECT_TRUE(OwnFolders().empty());
}

// A script that saves and recalls one and three planes under several blend modes and
// opacities renders the same bytes on its own and inside a caller's slots (a render inside an
// operation), and leaves no slot file behind either way.
TEST_F(RenderSwapSlots, ARenderRecallsTheSameOnItsOwnAndInsideACallersSlots) {
  ScriptFile s;
  ASSERT_EQ(s.I_ScriptFile(3, kW, kH, 72.0f, kW, kH, 0, 0, kW - 1, kH - 1), 0);
  struct Step {
    int16_t effect, from, to, slot, mode, opacity;
  };
  const Step steps[] = {
      {96, 0, 2, 4, 0, 255},   // the composite into slot 4
      {96, 0, 3, 7, 1, 200},   // red into slot 7 (added to itself at 200)
      {9, 0, 2, 0, 0, 255},    // invert the composite
      {97, 0, 4, 7, 0, 255},   // slot 7 over green
      {97, 0, 2, 4, 1, 128},   // slot 4 added over the composite at half
      {96, 0, 5, 64, 0, 255},  // blue into the last slot a render clears
      {9, 0, 5, 0, 0, 255},
      {97, 0, 5, 64, 3, 255},  // and back under another mode
      {97, 0, 3, 30, 1, 255},  // a slot nobody saved: red added to itself
  };
  int16_t o = 1;
  for (const Step& st : steps) {
    s.SetEffect(0, 1, o, st.effect, 0, 0, 0, 0);
    s.SetAct(0, 1, o, 1);
    s.SetFromChannel(0, 1, o, st.from);
    s.SetToChannel(0, 1, o, st.to);
    s.SetParam1(0, 1, o, st.slot);
    s.SetMode(0, 1, o, st.mode);
    s.SetOpa(0, 1, o, st.opacity);
    s.SetMChannel(0, 1, o, 0);
    s.SetIntExt(0, 1, o, 1);
    ++o;
  }
  const Bytes picture = Picture(8);
  const Bytes preview = Rendered(s, picture);
  ASSERT_FALSE(preview.empty());
  EXPECT_TRUE(OwnFolders().empty());
  Bytes inner;
  {
    const swap_slots::RenderSlots caller;
    inner = Rendered(s, picture);
  }
  EXPECT_EQ(preview, inner);
  EXPECT_NE(preview, Planes(picture));
  for (int slot : {4, 7, 30, 64}) EXPECT_FALSE(fs::exists(Slot(slot))) << slot;
  EXPECT_TRUE(OwnFolders().empty());
}

}  // namespace
