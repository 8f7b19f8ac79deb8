// A session for the photo dialogs and the image library: the project's
// bundle in a temporary folder with an empty maker's folder, the application
// object with its views, one current document, and the toolbox's test driver
// on the virtual clock. Images are written into the maker's folder by the
// test.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/core/pascal_strings.h"
#include "app/folder_scans.h"
#include "app/image_library_files.h"
#include "host/ApePlugInUtilities/ape_spans.h"
#include "host/ApePlugInUtilities/image_files.h"
#include "host/bundle_fixture.h"
#include "host/session/app_object.h"
#include "host/session/document.h"
#include "platform/files/colon_paths.h"
#include "platform/imageio/image_io.h"
#include "platform/toolbox/test_driver.h"
#include "support/image_fixtures.h"

namespace vmktest {

class PhotoDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gPer = &per_;
    record_.planeCount = 3;
    record_.imageMode = 3;
    record_.imageWidth = 600;
    record_.imageHeight = 400;
    record_.imageRect = Rect{0, 0, 400, 600};
    record_.resolutionH = 300 << 16;
    gFilterRecord = &record_;
    ASSERT_EQ(LocateMakersFolder(&per_.makersFolder), 1);
    app_ = std::make_unique<VMKapp>();
    ASSERT_EQ(app_->InitNibRef(1), 0);
    app_->appData.documents[0] = new VMKdoc();
    makers_ = std::filesystem::path(bundle_.makersFile(""));
    ASSERT_TRUE(ImaLibraryFile(kImaListFileName, kImaListType, &listFile_));
    ASSERT_TRUE(ImaLibraryFile(kImaThumbFileName, kImaThumbType, &thumbFile_));
  }
  void TearDown() override {
    SetSessionSpanImages(nullptr, nullptr);
    app_.reset();
    // Windows opened and closed outside a modal loop (the library's progress
    // window) are taken back here, as the host's next loop turn would.
    driver_.Settle();
    gPer = nullptr;
    gFilterRecord = nullptr;
  }

  // The document's picture for the previews: soft gradients.
  void UsePhoto() {
    const uint32_t w = static_cast<uint32_t>(record_.imageWidth);
    const uint32_t h = static_cast<uint32_t>(record_.imageHeight);
    photo_ = PixelBuffer(w, h, 1, 4);
    for (uint32_t y = 0; y < h; ++y)
      for (uint32_t x = 0; x < w; ++x) {
        uint8_t* p = photo_.rowPtr(y) + 4 * x;
        p[0] = static_cast<uint8_t>(60 + x * 150 / w);
        p[1] = static_cast<uint8_t>(90 + y * 120 / h);
        p[2] = static_cast<uint8_t>(160 - (x + y) * 100 / (w + h));
        p[3] = 255;
      }
    SetSessionSpanImages(&photo_, &unused_);
  }

  // A picture of one colour in the maker's folder (TIFF unless the name
  // ends in ".jpg").
  void Image(const std::string& rel, uint32_t w, uint32_t h, uint8_t r = 200, uint8_t g = 100,
             uint8_t b = 50) {
    const std::filesystem::path p = makers_ / rel;
    std::filesystem::create_directories(p.parent_path());
    const bool jpeg = p.extension() == ".jpg";
    WriteImageFile(p.string(), jpeg ? plat::imageio::kTypeJPEG : plat::imageio::kTypeTIFF,
                   SolidImage(w, h, r, g, b));
  }
  std::string ListPath() const { return FicToPosix(listFile_); }
  std::string ThumbPath() const { return FicToPosix(thumbFile_); }
  std::string Colon(const std::string& rel) const {
    return plat::files::PosixToColon((makers_ / rel).string(), true);
  }

  TPermanent per_;
  FilterRecord record_;
  TestBundle bundle_;
  plat::tb::test::Driver driver_;
  std::unique_ptr<VMKapp> app_;
  std::filesystem::path makers_;
  PixelBuffer photo_;
  PixelBuffer unused_;
  fichier listFile_;
  fichier thumbFile_;
};

// Items of a popup, in order.
inline std::vector<std::string> Items(plat::tb::ControlRef popup) {
  std::vector<std::string> out;
  for (int32_t i = 1; i <= plat::tb::CountMenuItems(popup); ++i)
    out.push_back(plat::tb::GetMenuItemText(popup, i));
  return out;
}

}  // namespace vmktest
