// The save-buffer (96) and recall-buffer (97) steps of renders that run at once, and what
// renders leave in the maker's folder: a preview's slots are its own, the render written
// back keeps them as the folder's swap files.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "operations/effects.h"
#include "operations/swap_slots.h"
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

// A preview neither reads nor clears the swap files that the last render written back left;
// the render written back replaces them with its own, in the files' layout.
TEST_F(RenderSwapSlots, APreviewLeavesTheFolderAndTheRenderWrittenBackLeavesItsFiles) {
  const Bytes earlier = {3, 0, kW, 0, 0, 0, kH, 0, 0, 0};
  vmktest::WriteBytes(Slot(kSlot), earlier);
  vmktest::WriteBytes(Slot(0), earlier);
  vmktest::WriteBytes(Slot(65), earlier);
  auto s = SaveInvertRecall();
  ASSERT_NE(s, nullptr);
  const Bytes picture = Picture(3);
  EXPECT_EQ(Rendered(*s, picture), Planes(picture));
  for (int slot : {0, int{kSlot}, 65}) EXPECT_EQ(vmktest::ReadBytes(Slot(slot)), earlier) << slot;
  {
    const swap_slots::RenderSlots back(swap_slots::Keeping::kMakersFolder);
    EXPECT_EQ(Rendered(*s, picture), Planes(picture));
  }
  Bytes file = {3, 0, kW, 0, 0, 0, kH, 0, 0, 0};
  const Bytes planes = Planes(picture);
  file.insert(file.end(), planes.begin(), planes.end());
  EXPECT_EQ(vmktest::ReadBytes(Slot(kSlot)), file);
  EXPECT_FALSE(fs::exists(Slot(0)));
  EXPECT_EQ(vmktest::ReadBytes(Slot(65)), earlier);
}

}  // namespace
