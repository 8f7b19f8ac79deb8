// The single-effect road: the application object's launcher through the
// editor's dispatcher, the launched operation's flags and the layer scratch
// file it leaves.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>

#include "dialogs/editor/dispatch_fixture.h"
#include "dialogs/editor/effect_launch.h"

using vmktest::DispatchTest;
namespace tb = plat::tb;

namespace {

constexpr int32_t kOk = 101, kCancel = 102;

// A row that answers 1 without a dialog, in the place of the effect's own
// (the image-tools window would open); the session's rows are put back when
// the test ends.
class StandInRow {
 public:
  // It stands in for whatever row a dialog folder registered for the code
  // in an earlier test of the program.
  StandInRow(int16_t code, EffectRunner run) : code_(code) {
    EffectDialogRegistry().Remove(code);
    EXPECT_EQ(EffectDialogRegistry().Add({{code}, false, run}), 0);
  }
  ~StandInRow() {
    EffectDialogRegistry().Remove(code_);
    RegisterEditorRows(EffectDialogRegistry());
  }

 private:
  int16_t code_;
};

int16_t Confirm(EffectCall&) { return 1; }

int16_t seenParam1 = 0;
int16_t ConfirmSeeingParam1(EffectCall& c) {
  c.script->GetParam1(c.stack, c.layer, c.operation, &seenParam1);
  return 1;
}

class LaunchTest : public DispatchTest {
 protected:
  void SetUp() override {
    DispatchTest::SetUp();
    app_->effectLauncher = LaunchTuneEffect;
    doc()->script->SetEffect(0, 1, 1, 16, 0, 0, 1200, 900);  // operation 1 as an earlier effect left it
    script()->SetIntExt(0, 1, 1, 3);
    script()->SetMChannel(0, 1, 1, 9);
    script()->SetToChannel(0, 1, 1, 4);
    layerFile_ = FicToPosix(per_.layerScratch);
    vmktest::WriteText(layerFile_, "layers of an earlier effect");
  }
  int16_t Get(Oprn* (ScriptFile::*get)(int16_t, int16_t, int16_t, int16_t*) const, ScriptFile* s = nullptr) {
    int16_t v = 0;
    ((s != nullptr ? s : script())->*get)(0, 1, 1, &v);
    return v;
  }
  std::vector<uint8_t> LayerBytes() const { return vmktest::ReadBytes(layerFile_); }
  // The layer scratch file read back as a script.
  std::unique_ptr<ScriptFile> LayerScript() {
    auto s = std::make_unique<ScriptFile>();
    s->I_ScriptFile(3, 1200, 900, 300.0f, 500, 500, 0, 0, 499, 374);
    File_kern file(&per_.layerScratch);
    int32_t value = 0;
    EXPECT_EQ(s->RecallCombiLay(&file, 2, &value, nullptr), 0);
    return s;
  }

  std::string layerFile_;
};

TEST_F(LaunchTest, WithoutALauncherNothingOpensAndTheAnswerIsZero) {
  app_->effectLauncher = nullptr;
  const std::vector<uint8_t> before = ScriptBytes();
  EXPECT_EQ(app_->LaunchEffect(105), 0);
  EXPECT_EQ(per_.currentEffect, 105);
  EXPECT_EQ(ScriptBytes(), before);
  EXPECT_EQ(vmktest::ReadText(layerFile_), "layers of an earlier effect");
}

TEST_F(LaunchTest, CancelledFocusLeavesScriptAndLayerFileAndNoiseOnlyItsMask) {
  const std::vector<uint8_t> before = ScriptBytes();
  const std::vector<uint8_t> layers = LayerBytes();
  driver_.Advance(0.1).Press(FourCC("Kfoc"), kCancel);
  EXPECT_EQ(app_->LaunchEffect(105), 0);
  EXPECT_EQ(ScriptBytes(), before);
  EXPECT_EQ(LayerBytes(), layers);
  for (int16_t code : {103, 104}) {
    driver_.Advance(0.1).Press(FourCC(code == 103 ? "Dnoi" : "Glim"), kCancel);
    EXPECT_EQ(app_->LaunchEffect(code), 0);
    EXPECT_EQ(Get(&ScriptFile::GetIntExt), 2);
    EXPECT_EQ(Get(&ScriptFile::GetMChannel), 6);
    EXPECT_EQ(LayerBytes(), layers);
    script()->SetIntExt(0, 1, 1, 3);
    script()->SetMChannel(0, 1, 1, 9);
    EXPECT_EQ(ScriptBytes(), before) << code;
  }
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(LaunchTest, ConfirmedNoiseReductionRendersOperationOneThroughTheInvertedMaskOfChannelSix) {
  driver_.Advance(0.1).Type(FourCC("Dnoi"), 18, "60").Advance(1.1).Press(FourCC("Dnoi"), kOk);
  EXPECT_EQ(app_->LaunchEffect(103), 1);
  auto stored = LayerScript();
  for (ScriptFile* s : {script(), stored.get()}) {
    EXPECT_EQ(Get(&ScriptFile::GetEffect, s), 103);
    int16_t act = 0;
    s->GetAct(0, 1, 1, &act);
    EXPECT_EQ(act, 1);
    EXPECT_EQ(Get(&ScriptFile::GetToChannel, s), 2);
    EXPECT_EQ(Get(&ScriptFile::GetIntExt, s), 2);
    EXPECT_EQ(Get(&ScriptFile::GetMChannel, s), 6);
    ColCorPar r;
    s->GetColCorPar(0, 1, 1, &r);
    EXPECT_EQ(r.w[kCCNoise + 1], 60);
  }
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(LaunchTest, TheImageToolsRewriteTheFileButLeaveOperationOnesFlags) {
  StandInRow tools(118, Confirm);
  EXPECT_EQ(app_->LaunchEffect(118), 1);
  auto stored = LayerScript();
  for (ScriptFile* s : {script(), stored.get()}) {
    EXPECT_EQ(Get(&ScriptFile::GetEffect, s), 16);
    EXPECT_EQ(Get(&ScriptFile::GetToChannel, s), 4);
    EXPECT_EQ(Get(&ScriptFile::GetIntExt, s), 3);
    EXPECT_EQ(Get(&ScriptFile::GetMChannel, s), 9);
  }
}

TEST_F(LaunchTest, RepeatsAndPlaidsUseTheMaskDirectlyAndAPlaidStartsAtFullOpacity) {
  StandInRow repeat(41, Confirm);
  StandInRow plaid(42, ConfirmSeeingParam1);
  EXPECT_EQ(app_->LaunchEffect(41), 1);
  EXPECT_EQ(Get(&ScriptFile::GetIntExt), 1);
  EXPECT_EQ(Get(&ScriptFile::GetMChannel), 6);
  seenParam1 = 0;
  EXPECT_EQ(app_->LaunchEffect(42), 1);
  EXPECT_EQ(seenParam1, 255);  // before the dialog
  EXPECT_EQ(Get(&ScriptFile::GetIntExt), 1);
}

TEST_F(LaunchTest, ALayerFileThatCannotBeWrittenAnswersNotStoredAndIsLeftAsItWas) {
  StandInRow tools(118, Confirm);
  const std::vector<uint8_t> layers = LayerBytes();
  // Files may not grow past 4 KB: the old file fits, the script does not.
  struct sigaction ignore {}, old {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGXFSZ, &ignore, &old);
  rlimit limit{}, saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  limit = saved;
  limit.rlim_cur = 4096;
  setrlimit(RLIMIT_FSIZE, &limit);
  const int16_t answer = app_->LaunchEffect(118);
  setrlimit(RLIMIT_FSIZE, &saved);
  sigaction(SIGXFSZ, &old, nullptr);
  // Not a cancel: the road must tell the user the effect was not applied.
  EXPECT_EQ(answer, kEffectNotStored);
  EXPECT_EQ(LayerBytes(), layers);
}

}  // namespace
