// Loading a chosen stored effect: the layer takes it only when the whole record was read;
// otherwise it keeps its operations and one alert names the file.
#include "dialogs/editor/effect_recall.h"

#include <gtest/gtest.h>

#include "effect_list_fixture.h"
#include "platform/toolbox/api/scripted_ui.h"
#include "script/layers.h"
#include "script/operation.h"

namespace {

class EffectRecall : public vmktest::EffectListTest {
 protected:
  void SetUp() override {
    EffectListTest::SetUp();
    script_.I_ScriptFile(3, 60, 40, 72.0f, 60, 40, 0, 0, 59, 39);
    script_.SetEffect(0, 1, 1, 3, 0, 0, 0, 0);
    script_.SetEffect(0, 1, 2, 9, 0, 0, 0, 0);
    layer_ = script_.GetStack(0)->GetLaye(1);
  }
  fichier Record(const std::string& posix) {
    fichier f;
    EXPECT_TRUE(SetFicFromPosix(&f, posix));
    return f;
  }
  plat::ui::ScriptedUi ui_;
  plat::ui::ScopedServices services_{&ui_};
  ScriptFile script_;
  Laye* layer_ = nullptr;
};

TEST_F(EffectRecall, ReplacesTheOperationsAndTakesTheTexts) {
  const std::string good = stored_->Effect("good", "Warm", FourCC("aCH1"), 16);
  char t1[256] = {}, t2[256] = {};
  ASSERT_EQ(RecallEffectIntoLayer(Record(good), &script_, layer_, t1, t2), 0);
  ASSERT_EQ(layer_->oprnCount, 1);
  EXPECT_EQ(layer_->firstOprn->Effect, 16);
  EXPECT_STREQ(t2, "Warm");
  // The record's other text is the file's own name as the saver stored it, length first.
  EXPECT_STREQ(t1, "\tgood.ach1");
  EXPECT_TRUE(ui_.alertRequests.empty());
}

TEST_F(EffectRecall, AFailedReadKeepsTheLayerAndNamesTheFile) {
  const std::string bad = stored_->Effect("bad", "Warm");
  Oprn* before = layer_->firstOprn;
  char t1[256] = "first", t2[256] = "second";
  const auto failed = [&](const std::string& posix, const char* what) {
    EXPECT_EQ(RecallEffectIntoLayer(Record(posix), &script_, layer_, t1, t2), -1) << what;
    EXPECT_EQ(layer_->firstOprn, before) << what;
    EXPECT_EQ(layer_->oprnCount, 2) << what;
    EXPECT_EQ(layer_->firstOprn->Effect, 3) << what;
    ASSERT_FALSE(ui_.alertRequests.empty()) << what;
    // Named as the user saved it: without the type's suffix.
    EXPECT_NE(ui_.alertRequests.back().params.at(0).find(
                  "\"" + std::filesystem::path(posix).stem().string() + "\""),
              std::string::npos)
        << what;
  };
  failed((makers() / "missing.ach1").string(), "missing");
  std::vector<uint8_t> bytes = vmktest::ReadBytes(bad);
  bytes.resize(bytes.size() - 10);
  vmktest::WriteBytes(bad, bytes);
  failed(bad, "truncated");
  bytes[0] = 0;  // an unknown version: one alert, not the reader's own as well
  vmktest::WriteBytes(bad, bytes);
  const size_t alerts = ui_.alertRequests.size();
  failed(bad, "bad version");
  EXPECT_EQ(ui_.alertRequests.size(), alerts + 1);
  EXPECT_STREQ(t1, "first");
  EXPECT_STREQ(t2, "second");
}

}  // namespace
