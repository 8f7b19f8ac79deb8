// The render road when a step of the layers cannot do its work: the render fails, the picture
// and the versions stay as they were, the user is told which step failed and why, and the
// session stays open for another try.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "app/file_access.h"
#include "host/host_fixture.h"
#include "host/render_progress.h"
#include "platform/files/file_io.h"
#include "platform/memory/memory.h"

namespace {

using vmktest::Sample;

struct Step {
  int16_t effect;
  int16_t p1 = 0, p2 = 0, p3 = 0, p4 = 0, p5 = 0;
};

// A combined-layer file of the steps, one operation each on the composite, in layer 1.
void WriteLayers(const std::string& path, const std::vector<Step>& steps) {
  ScriptFile s;
  ASSERT_EQ(s.I_ScriptFile(3, 4, 4, 72.0f, 4, 4, 0, 0, 3, 3), 0);
  for (size_t k = 0; k < steps.size(); ++k) {
    const auto o = static_cast<int16_t>(k + 1);
    s.SetEffect(0, 1, o, steps[k].effect, 0, 0, 0, 0);
    s.SetAct(0, 1, o, 1);
    s.SetFromChannel(0, 1, o, 2);
    s.SetToChannel(0, 1, o, 2);
    s.SetMode(0, 1, o, 0);
    s.SetOpa(0, 1, o, 255);
    s.SetMChannel(0, 1, o, 0);
    s.SetIntExt(0, 1, o, 1);
    s.SetParam1(0, 1, o, steps[k].p1);
    s.SetParam2(0, 1, o, steps[k].p2);
    s.SetParam3(0, 1, o, steps[k].p3);
    s.SetParam4(0, 1, o, steps[k].p4);
    s.SetParam5(0, 1, o, steps[k].p5);
  }
  vmktest::SaveLayerFile(s, path);
}

std::vector<uint8_t> Bytes(const PixelBuffer& b) {
  std::vector<uint8_t> out;
  for (uint32_t y = 0; y < b.height(); ++y)
    out.insert(out.end(), b.rowPtr(y), b.rowPtr(y) + b.width() * 4 * b.bytesPerComponent());
  return out;
}

class FailedStepRoadTest : public vmktest::HostTest {};

// The colour posterize's tables (some 35937 cells of its colour cube each, whatever the picture)
// refused by the memory manager's failure hook, a block limit the picture's own planes stay
// well under: the render stops at it with the picture as it was, and says which step ran
// short; with memory again the layers render.
TEST_F(FailedStepRoadTest, AStepRefusedItsMemoryIsToldAndLeavesThePicture) {
  const std::string a = Version("a.tif", vmktest::PatternImage(64, 48, 1));
  CarbonEditPlugin* s = Start({a});
  WriteLayers(bundle_.file("posterize.lay"), {{16, 10}, {78, 8}, {16, 10}});
  const std::vector<uint8_t> shown = Bytes(s->destination);
  const int64_t before = plat::SetBlockLimit(100000);
  const int32_t rendered = s->RenderLayerFile(bundle_.file("posterize.lay"));
  plat::SetBlockLimit(before);
  EXPECT_EQ(rendered, -1);
  EXPECT_EQ(Bytes(s->destination), shown);
  EXPECT_EQ(s->failedStep,
            "operation 2 (Posterize colours) of layer 1 could not get the memory it needs");
  EXPECT_NE(s->lastError.find("not enough memory"), std::string::npos) << s->lastError;
  EXPECT_NE(s->lastError.find(s->failedStep), std::string::npos) << s->lastError;
  // The session stays: the same layers render once memory is there.
  ASSERT_EQ(s->RenderLayerFile(bundle_.file("posterize.lay")), 0);
  EXPECT_NE(Bytes(s->destination), shown);
  EXPECT_TRUE(s->failedStep.empty());
  EXPECT_EQ(edit_->ended, 0);
}

// Save the picture into slot 4, invert it, recall slot 4, invert again: the picture inverted.
// On a maker's folder whose writes fail as on a full disk the render written back cannot keep
// slot 4 (its file): the render fails at the save, the picture stays, and the user is told
// so. Once the folder takes writes again the same layers render.
TEST_F(FailedStepRoadTest, ASaveBufferStepOnAFullFolderIsToldAndLeavesThePicture) {
  const vmktest::RawImage image = vmktest::PatternImage(20, 12, 1);
  const std::string a = Version("a.tif", image);
  CarbonEditPlugin* s = Start({a});
  // Installed as a confirmed effect leaves it, before the folder fills.
  WriteLayers(FicToPosix(gPer->layerScratch), {{96, 4}, {9}, {97, 4}, {9}});
  const std::vector<uint8_t> shown = Bytes(s->destination);
  plat::files::FailWritesForTesting(bundle_.makersFile(""), ENOSPC);
  const int32_t full = s->DoFilter();
  plat::files::FailWritesForTesting("", 0);
  EXPECT_EQ(full, -1);
  EXPECT_EQ(Bytes(s->destination), shown);
  EXPECT_EQ(s->failedStep.rfind("operation 1 (", 0), 0u) << s->failedStep;
  EXPECT_NE(s->failedStep.find(") of layer 1 could not write its file in the support folder"),
            std::string::npos)
      << s->failedStep;
  ASSERT_EQ(s->DoFilter(), 0);
  for (uint32_t y = 0; y < 12; ++y)
    for (uint32_t x = 0; x < 20; ++x)
      for (int k = 0; k < 3; ++k)
        ASSERT_EQ(Sample(s->destination, x, y, k), 255u - image.row(y)[x * 4 + k]) << x << "," << y;
}

}  // namespace
