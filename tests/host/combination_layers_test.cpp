// A confirmed image combination's layer file, rendered again on its own by a later session:
// the same pixels as the session that confirmed it, and a clear failure when a picture it
// composes is not there.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "app/core/pascal_strings.h"
#include "app/core/session_state.h"
#include "engines/patterns/image_combination_engine.h"
#include "engines/patterns/image_combination_record.h"
#include "host/host_fixture.h"

namespace {

std::vector<uint8_t> Bytes(const PixelBuffer& b) {
  std::vector<uint8_t> out;
  for (uint32_t y = 0; y < b.height(); ++y)
    out.insert(out.end(), b.rowPtr(y), b.rowPtr(y) + b.width() * 4 * b.bytesPerComponent());
  return out;
}

class CombinationLayersTest : public vmktest::HostTest {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(bundle_.makersFile("Images"));
    vmktest::WriteImageFile(bundle_.makersFile("Images/pic.tif"), plat::imageio::kTypeTIFF,
                            vmktest::PatternImage(7, 5, 1));
    photo_ = Version("a.tif", vmktest::PatternImage(6, 4, 1));
  }

  // Operation 1 of the session's layer file: the combination as its dialog confirms it (the
  // mask channel and its complement as the single-effect road sets them), one active entry
  // named as the content combinations name theirs, and an inactive one whose picture is
  // nowhere.
  void WriteCombinationLayers(const std::string& path) {
    ScriptFile s;
    ASSERT_EQ(s.I_ScriptFile(3, 4, 4, 72.0f, 4, 4, 0, 0, 3, 3), 0);
    s.SetEffect(0, 1, 1, 92, 0, 0, 0, 0);
    s.SetAct(0, 1, 1, 1);
    s.SetToChannel(0, 1, 1, 2);
    s.SetMode(0, 1, 1, 0);
    s.SetOpa(0, 1, 1, 255);
    s.SetIntExt(0, 1, 1, 2);
    s.SetMChannel(0, 1, 1, 6);
    auto par = std::make_unique<CombImaPar>();
    Init_CombImaPar(par.get(), 1);
    fichier picture;
    SetPStr(picture.path, ":Images:");
    SetPStr(picture.name, "pic.tif");
    AddCombIma(par.get(), 0, &picture);
    fichier gone;
    SetPStr(gone.path, ":Images:");
    SetPStr(gone.name, "gone.tif");
    AddCombIma(par.get(), 1, &gone);
    par->infos[1].active = 0;
    ASSERT_EQ(s.SetCombImaPar(0, 1, 1, par.get()), 0);
    vmktest::SaveLayerFile(s, path);
  }

  std::string photo_;
};

TEST_F(CombinationLayersTest, TheSavedFileRendersTheSessionsPixelsInALaterSession) {
  CarbonEditPlugin* s = Start({photo_});
  const std::vector<uint8_t> before = Bytes(s->destination);
  // The session's road after the dialog's OK: the layer scratch file, the current effect.
  WriteCombinationLayers(FicToPosix(gPer->layerScratch));
  gPer->currentEffect = 92;
  ASSERT_EQ(s->DoFilter(), 0);
  const std::vector<uint8_t> confirmed = Bytes(s->destination);
  ASSERT_NE(confirmed, before);
  std::filesystem::copy_file(FicToPosix(gPer->layerScratch), bundle_.file("saved.lay"));

  // A session that never opened the dialog: its current effect is not the combination's.
  session_.reset();
  s = Start({photo_});
  ASSERT_NE(gPer->currentEffect, 92);
  ASSERT_EQ(Bytes(s->destination), before);
  ASSERT_EQ(s->RenderLayerFile(bundle_.file("saved.lay")), 0) << s->lastError;
  EXPECT_EQ(Bytes(s->destination), confirmed);
  EXPECT_EQ(gPer->currentEffect, 92);
}

TEST_F(CombinationLayersTest, AMissingPictureIsAnErrorThatLeavesTheImage) {
  CarbonEditPlugin* s = Start({photo_});
  WriteCombinationLayers(bundle_.file("saved.lay"));
  std::filesystem::remove(bundle_.makersFile("Images/pic.tif"));
  const std::vector<uint8_t> before = Bytes(s->destination);
  EXPECT_LT(s->RenderLayerFile(bundle_.file("saved.lay")), 0);
  EXPECT_NE(s->lastError.find(":Images:pic.tif"), std::string::npos) << s->lastError;
  EXPECT_EQ(Bytes(s->destination), before);
  // Moved to another content folder, it is found there and the file renders.
  std::filesystem::create_directories(bundle_.makersFile("Tiles"));
  vmktest::WriteImageFile(bundle_.makersFile("Tiles/pic.tif"), plat::imageio::kTypeTIFF,
                          vmktest::PatternImage(7, 5, 1));
  EXPECT_EQ(s->RenderLayerFile(bundle_.file("saved.lay")), 0) << s->lastError;
  EXPECT_NE(Bytes(s->destination), before);
}

TEST_F(CombinationLayersTest, PicturesFoundLooksOnlyAtActiveEntries) {
  Start({photo_});
  auto par = std::make_unique<CombImaPar>();
  Init_CombImaPar(par.get(), 1);
  EXPECT_TRUE(vmkpat::CombImaPicturesFound(*par, nullptr));  // no entry
  fichier gone;
  SetPStr(gone.path, ":Images:");
  SetPStr(gone.name, "gone.tif");
  AddCombIma(par.get(), 0, &gone);
  std::string missing;
  EXPECT_FALSE(vmkpat::CombImaPicturesFound(*par, &missing));
  EXPECT_EQ(missing, ":Images:gone.tif");
  par->infos[0].active = 0;
  EXPECT_TRUE(vmkpat::CombImaPicturesFound(*par, nullptr));
  // An empty file is no picture either.
  vmktest::WriteText(bundle_.makersFile("Images/gone.tif"), "");
  par->infos[0].active = 1;
  EXPECT_FALSE(vmkpat::CombImaPicturesFound(*par, nullptr));
}

}  // namespace
