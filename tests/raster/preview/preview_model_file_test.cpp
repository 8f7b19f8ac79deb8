#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/core/app_data.h"
#include "app/core/file_records.h"
#include "raster/preview/ymck_preview.h"
#include "support/colour_model_fixture.h"
#include "support/session.h"

namespace {

class PreviewModelFile : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SetFicFromPosix(&app_.data().makersFolder, dir_.path().string()));
  }
  std::string FilePath() const { return (dir_.path() / "VMKphop").string(); }

  vmktest::TempDir dir_;
  vmktest::ScopedAppData app_;
};

TEST_F(PreviewModelFile, WriteThenReadBack) {
  const auto model = vmktest::MakeComplementPreviewModel();
  model->bytes[kPhoBlack] = 77;  // not part of the file
  EXPECT_EQ(LoadPhoMod(1, model.get()), 0);
  EXPECT_EQ(std::filesystem::file_size(FilePath()), static_cast<uintmax_t>(3 * kDisplayPlaneSize));

  auto back = std::make_unique<PhoModTemplate>();
  std::memset(back->bytes, 0, sizeof(back->bytes));
  EXPECT_EQ(LoadPhoMod(0, back.get()), 0);
  EXPECT_EQ(std::memcmp(back->bytes, model->bytes, 3 * kDisplayPlaneSize), 0);
  EXPECT_EQ(back->bytes[kPhoBlack], 0);
  EXPECT_EQ(CreatePhoMod(back.get()), 0);
}

TEST_F(PreviewModelFile, MissingOrShortFilesFailAndKeepTheModel) {
  auto model = std::make_unique<PhoModTemplate>();
  std::memset(model->bytes, 9, sizeof(model->bytes));
  EXPECT_EQ(LoadPhoMod(0, model.get()), -1);
  vmktest::WriteBytes(FilePath(), std::vector<uint8_t>(kDisplayPlaneSize + 10, 1));
  EXPECT_EQ(LoadPhoMod(0, model.get()), -1);
  EXPECT_EQ(model->bytes[0], 9);
  EXPECT_EQ(model->bytes[2 * kDisplayPlaneSize], 9);
  // No application data: nowhere to look.
  gappData = nullptr;
  EXPECT_EQ(LoadPhoMod(0, model.get()), -1);
}

TEST_F(PreviewModelFile, WriteIntoAMissingFolderFails) {
  ASSERT_TRUE(SetFicFromPosix(&app_.data().makersFolder, (dir_.path() / "gone").string()));
  const auto model = vmktest::MakeComplementPreviewModel();
  EXPECT_EQ(LoadPhoMod(1, model.get()), -1);
}

}  // namespace
