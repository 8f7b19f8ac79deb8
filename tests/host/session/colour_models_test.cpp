#include "host/session/colour_models.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "app/folder_scans.h"
#include "engines/correction/colour_correction.h"
#include "host/ApePlugInUtilities/image_files.h"
#include "host/bundle_fixture.h"
#include "host/session/app_object.h"
#include "host/session/document.h"
#include "platform/resources/resource_file.h"

namespace {

class ColourModelsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gPer = &per_;
    record_.planeCount = 3;
    record_.imageMode = 3;
    record_.imageWidth = 640;
    record_.imageHeight = 480;
    record_.imageRect = Rect{0, 0, 480, 640};
    record_.resolutionH = 240 << 16;
    gFilterRecord = &record_;
    ASSERT_EQ(LocateMakersFolder(&per_.makersFolder), 1);
    app_ = std::make_unique<VMKapp>();
    app_->appData.documents[0] = new VMKdoc();
    previousResources_ = plat::res::ResourceFolder();
    plat::res::SetResourceFolder(dir_.path().string());
  }
  void TearDown() override {
    plat::res::SetResourceFolder(previousResources_);
    app_.reset();
    gPer = nullptr;
    gFilterRecord = nullptr;
  }
  void PlantModel(size_t size) {
    std::filesystem::create_directories(dir_.path() / "MocL");
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7);
    vmktest::WriteBytes((dir_.path() / "MocL" / "128.bin").string(), bytes);
  }

  TPermanent per_;
  FilterRecord record_;
  vmktest::TestBundle bundle_;
  vmktest::TempDir dir_;
  std::unique_ptr<VMKapp> app_;
  std::string previousResources_;
};

TEST_F(ColourModelsTest, TheRecordTakesTheDocumentsSizeAndTheEffect) {
  ColCorPar r;
  ASSERT_EQ(init1_par(&r, 105), 0);
  EXPECT_EQ(r.w[kCCWidth], 640);
  EXPECT_EQ(r.w[kCCHeight], 480);
  EXPECT_EQ(r.w[kCCResolution], 240);
  EXPECT_EQ(r.w[kCCKind], 105);
  EXPECT_EQ(init1_par(nullptr, 105), -1);
}

TEST_F(ColourModelsTest, OnlyAResourceOfAModelsSizeBecomesTheSessionsModel) {
  auto model = std::make_unique<ModTemplate>();
  model->bytes[5] = 99;
  EXPECT_EQ(init1_cal(model.get()), -1);  // none
  EXPECT_EQ(init1_phomod(), -1);
  PlantModel(sizeof(ModTemplate) - 1);
  EXPECT_EQ(init1_cal(model.get()), -1);
  EXPECT_EQ(model->bytes[5], 99);  // nothing written
  const int32_t blocks = per_.memMan->count();
  EXPECT_EQ(init1_phomod(), -1);
  EXPECT_EQ(app_->appData.colourModel, nullptr);
  EXPECT_EQ(per_.memMan->count(), blocks);
  PlantModel(sizeof(ModTemplate));
  ASSERT_EQ(init1_cal(model.get()), 0);
  EXPECT_EQ(model->bytes[5], 35);
  EXPECT_EQ(model->bytes[kModTemplateSize - 1], static_cast<uint8_t>((kModTemplateSize - 1) * 7));
  ASSERT_EQ(init1_phomod(), 0);
  ASSERT_NE(app_->appData.colourModel, nullptr);
  EXPECT_EQ(static_cast<const ModTemplate*>(app_->appData.colourModel)->bytes[5], 35);
  EXPECT_EQ(init1_phomod(), 0);  // a second model replaces the first
  EXPECT_EQ(per_.memMan->count(), blocks + 1);
}

}  // namespace
