// The rows of the dispatcher: the owner's protocol of the four
// colour-correction dialogs, the mask quirk of noise reduction and
// smoothing, the render file of the "render" rows, and the file pickers.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <numeric>

#include "dialogs/correction/channel_mixer_dialog.h"
#include "dialogs/correction/focus_dialog.h"
#include "dialogs/correction/noise_dialog.h"
#include "dialogs/correction/smoothing_dialog.h"
#include "dialogs/editor/dispatch_fixture.h"
#include "engines/correction/colour_correction.h"
#include "script/misc_render.h"

using vmktest::DispatchTest;
namespace tb = plat::tb;

namespace {

constexpr int32_t kOk = 101, kCancel = 102;

struct ColCorCase {
  int16_t code;
  OSType signature;
  bool masksOutside;
  std::function<EffectDialog*()> open;  // the dialog while it runs
};

const ColCorCase kCases[] = {
    {103, FourCC("Dnoi"), true, [] { return static_cast<EffectDialog*>(gVMKdnoi); }},
    {104, FourCC("Glim"), true, [] { return static_cast<EffectDialog*>(gVMKglim); }},
    {105, FourCC("Kfoc"), false, [] { return static_cast<EffectDialog*>(gVMKkevr); }},
    {119, FourCC("Cmix"), false, [] { return static_cast<EffectDialog*>(gVMKcmix); }},
};

class RowsTest : public DispatchTest {
 protected:
  // Operation 2 of a noise reduction with its own record, mask 1 on channel 8.
  void PlantColCor(int16_t code) {
    Plant(1, 16);
    Plant(2, code);
    ColCorPar r;
    script()->GetColCorPar(0, 1, 2, &r);
    r.w[kCCNoise + 1] = 33;
    ASSERT_EQ(script()->SetColCorPar(0, 1, 2, &r), 0);
    script()->SetIntExt(0, 1, 2, 1);
    script()->SetMChannel(0, 1, 2, 8);
  }
  int16_t Field(int16_t o, Oprn* (ScriptFile::*get)(int16_t, int16_t, int16_t, int16_t*) const) {
    int16_t v = 0;
    (script()->*get)(0, 1, o, &v);
    return v;
  }
  std::string RenderFile() {
    fichier f;
    return RenderFileRecord(&f) ? FicToPosix(f) : std::string();
  }
};

TEST_F(RowsTest, CancelAndTheCloseBoxLeaveTheOperationButNoiseAndSmoothingMoveTheMask) {
  for (const ColCorCase& c : kCases)
    for (bool closeBox : {false, true}) {
      Start(1200, 900);
      PlantColCor(c.code == 103 ? 104 : 103);  // another code's record: the code is not stored either
      const std::vector<uint8_t> before = ScriptBytes();
      VMKtuneeff editor;
      Bind(editor, 2);
      int32_t kindSeen = 0;
      driver_.Advance(0.1).Do([&](tb::WindowRef) { kindSeen = c.open()->Word(kCCKind); });
      if (closeBox) driver_.CloseBox();
      else driver_.Press(c.signature, kCancel);
      EXPECT_EQ(editor.Perform_Effect(c.code, 0), 0) << c.code;
      EXPECT_EQ(kindSeen, c.code) << "the dialog is told its effect";
      EXPECT_EQ(Field(2, &ScriptFile::GetIntExt), c.masksOutside ? 2 : 1) << c.code;
      EXPECT_EQ(Field(2, &ScriptFile::GetMChannel), c.masksOutside ? 6 : 8) << c.code;
      // Apart from that mask the operation is as it was.
      script()->SetIntExt(0, 1, 2, 1);
      script()->SetMChannel(0, 1, 2, 8);
      EXPECT_EQ(ScriptBytes(), before) << c.code << " close box " << closeBox;
      EXPECT_TRUE(driver_.errors().empty()) << c.code;
    }
}

TEST_F(RowsTest, OkStoresTheEditedRecordAndTheCode) {
  for (const ColCorCase& c : kCases) {
    Start(1200, 900);
    PlantColCor(c.code == 103 ? 104 : 103);
    VMKtuneeff editor;
    Bind(editor, 2);
    ColCorPar edited;
    driver_.Advance(0.1)
        .Do([&](tb::WindowRef) {
          c.open()->Word(20) = 4321;
          static_cast<ColCorDialog*>(c.open())->GetColCorPar(&edited);
        })
        .Press(c.signature, kOk);
    EXPECT_EQ(editor.Perform_Effect(c.code, 0), 1) << c.code;
    EXPECT_EQ(Field(2, &ScriptFile::GetEffect), c.code);
    ColCorPar stored;
    script()->GetColCorPar(0, 1, 2, &stored);
    EXPECT_EQ(stored.w[20], 4321) << c.code;
    EXPECT_EQ(stored.w[kCCKind], c.code);
    EXPECT_EQ(std::memcmp(stored.w, edited.w, sizeof stored.w), 0) << c.code;
    EXPECT_EQ(Field(1, &ScriptFile::GetEffect), 16);  // only the current operation
    EXPECT_TRUE(driver_.errors().empty()) << c.code;
  }
}

TEST_F(RowsTest, ScratchRecordsAreReturnedAndWithoutThemNoDialogOpens) {
  PlantColCor(103);
  // The views keep their buffers from their first opening on: the count is
  // taken after one.
  int32_t blocks = 0;
  for (int pass = 0; pass < 2; ++pass) {
    if (pass == 1) blocks = per_.memMan->count();
    VMKtuneeff editor;
    Bind(editor, 2);
    driver_.Advance(0.1).Press(FourCC("Dnoi"), kCancel);
    editor.Perform_Effect(103, 0);
  }
  EXPECT_EQ(per_.memMan->count(), blocks);
  const std::vector<uint8_t> before = ScriptBytes();
  VMKtuneeff editor;
  Bind(editor, 2);
  {
    vmktest::NoWorkMemory refused;
    for (int16_t code : {103, 104, 105, 119, 26, 46, 111}) EXPECT_EQ(editor.Perform_Effect(code, 0), 0) << code;
  }
  EXPECT_EQ(ScriptBytes(), before);  // the mask too: nothing was run
  EXPECT_TRUE(driver_.ui().openRequests.empty());
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(RowsTest, RenderRowsWriteTheRenderFileOfTheEarlierOperationsUnderFlagOneOnly) {
  UsePhoto();
  Plant(1, 16);  // brightness by Param1
  script()->SetParam1(0, 1, 1, 90);
  script()->SetToChannel(0, 1, 1, 2);
  Plant(2, 119);
  const std::string file = RenderFile();
  ASSERT_FALSE(file.empty());
  auto meanRed = [&]() {
    std::vector<uint8_t> r(500 * 500), g(500 * 500), b(500 * 500);
    MiscRender m;
    EXPECT_EQ(m.ReadWriteRendFile(1, 500, 500, r.data(), g.data(), b.data(), nullptr, 500, 375), 0);
    return std::accumulate(r.begin(), r.begin() + 500 * 375, 0.0) / (500.0 * 375.0);
  };
  struct Run {
    int16_t code, flag, current;
    OSType signature;
    bool written;
  };
  double red[2] = {0, 0};
  for (const Run& run : {Run{119, 0, 2, FourCC("Cmix"), false}, Run{103, 1, 2, FourCC("Dnoi"), false},
                         Run{119, 1, 1, FourCC("Cmix"), true}, Run{119, 1, 2, FourCC("Cmix"), true}}) {
    std::filesystem::remove(file);
    VMKtuneeff editor;
    Bind(editor, run.current);
    bool existed = false;
    driver_.Advance(0.1)
        .Do([&](tb::WindowRef) {
          existed = std::filesystem::exists(file);
          if (existed) red[run.current - 1] = meanRed();
        })
        .Press(run.signature, kCancel);
    editor.Perform_Effect(run.code, run.flag);
    EXPECT_EQ(existed, run.written) << run.code << " flag " << run.flag;
  }
  // With operation 2 current the brightening operation 1 is in the file;
  // with operation 1 current nothing above it is.
  EXPECT_GT(red[1], red[0] + 40.0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(RowsTest, FilePickersOfferTheirTypesAndStoreOnlyAPickedFile) {
  Plant(1, 16);
  const std::vector<uint8_t> before = ScriptBytes();
  VMKtuneeff editor;
  Bind(editor, 2);
  driver_.ui().AnswerOpenFile(std::nullopt);
  driver_.ui().AnswerOpenFile(std::nullopt);
  EXPECT_EQ(editor.Perform_Effect(26, 1), 0);
  EXPECT_EQ(editor.Perform_Effect(46, 0), 0);
  EXPECT_EQ(ScriptBytes(), before);
  ASSERT_EQ(driver_.ui().openRequests.size(), 2u);
  EXPECT_EQ(driver_.ui().openRequests[0].prompt, "Load a New Path...");
  EXPECT_EQ(driver_.ui().openRequests[0].types, (std::vector<OSType>{FourCC("pAth"), FourCC("TEXT")}));
  EXPECT_EQ(driver_.ui().openRequests[1].prompt, "Load an Effect List...");
  EXPECT_EQ(driver_.ui().openRequests[1].types, (std::vector<OSType>{FourCC("aCH6")}));
  const std::string list = dir_.file("effects.ach6");
  vmktest::WriteText(list, "list");
  driver_.ui().AnswerOpenFile(list);
  EXPECT_EQ(editor.Perform_Effect(46, 0), 1);
  EXPECT_EQ(Field(2, &ScriptFile::GetEffect), 46);
  fichier* stored = nullptr;
  script()->GetFileOprn(0, 1, 2, &stored);
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(FicToPosix(*stored), list);
  EXPECT_EQ(stored->type, FourCC("aCH6"));
  EXPECT_EQ(stored->creator, FourCC("vMkC"));
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
