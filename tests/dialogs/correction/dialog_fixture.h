// A session for the colour-correction dialogs: the project's bundle (its nib
// and resource file) in a temporary folder, the application object with its
// views, one current document of the given size, and the toolbox's test
// driver on the virtual clock. Renders are counted by a stand-in engine that
// records the record it was handed.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/folder_scans.h"
#include "engines/correction/colour_correction.h"
#include "host/ApePlugInUtilities/ape_spans.h"
#include "host/ApePlugInUtilities/image_files.h"
#include "host/bundle_fixture.h"
#include "host/session/app_object.h"
#include "host/session/document.h"
#include "platform/toolbox/api/ui_services.h"
#include "platform/toolbox/test_driver.h"
#include "views/image_box.h"
#include "views/preview_engines.h"

namespace vmktest {

// One render handed to the colour-correction engine.
struct ColCorRender {
  double at;          // virtual clock
  int16_t mode;       // the preview mode short
  int32_t viewWidth;  // planes' width: tells the main view from the navigator
  std::vector<int32_t> words;
};

class ColCorDialogTest : public ::testing::Test {
 public:
  static std::vector<ColCorRender>& Renders() {
    static std::vector<ColCorRender> renders;
    return renders;
  }

 protected:
  void SetUp() override { Start(1200, 900); }
  void TearDown() override {
    SetSessionSpanImages(nullptr, nullptr);
    app_.reset();
    vmkviews::RegisterPreviewEngines();
    driver_.Pump();
    gPer = nullptr;
    gFilterRecord = nullptr;
  }
  void Start(int16_t width, int16_t height) {
    app_.reset();
    gPer = &per_;
    record_ = FilterRecord{};
    record_.planeCount = 3;
    record_.imageMode = 3;
    record_.imageWidth = width;
    record_.imageHeight = height;
    record_.imageRect = Rect{0, 0, height, width};
    record_.resolutionH = 300 << 16;
    gFilterRecord = &record_;
    ASSERT_EQ(LocateMakersFolder(&per_.makersFolder), 1);
    app_ = std::make_unique<VMKapp>();
    ASSERT_EQ(app_->InitNibRef(1), 0);
    app_->appData.documents[0] = new VMKdoc();
    record_.inLastPlane = 2;
    vmkviews::RegisterPreviewEngine(vmkviews::kPreviewColCor, 0, Record);
    Renders().clear();
  }
  // The document's picture: a pattern of gradients and fine texture, shown
  // through the real colour-correction engine.
  void UsePhoto() {
    const uint32_t w = static_cast<uint32_t>(record_.imageWidth);
    const uint32_t h = static_cast<uint32_t>(record_.imageHeight);
    photo_ = PixelBuffer(w, h, 1, 4);
    for (uint32_t y = 0; y < h; ++y)
      for (uint32_t x = 0; x < w; ++x) {
        uint8_t* p = photo_.rowPtr(y) + 4 * x;
        const uint32_t grain = (x * 7919u + y * 104729u) % 61u;
        p[0] = static_cast<uint8_t>(x * 255 / w / 2 + grain);
        p[1] = static_cast<uint8_t>(y * 255 / h / 2 + ((x / 40 + y / 40) % 2) * 60);
        p[2] = static_cast<uint8_t>(((x - w / 2) * (x - w / 2) + (y - h / 2) * (y - h / 2)) / (w + h) / 2 % 200);
        p[3] = 255;
      }
    SetSessionSpanImages(&photo_, &unused_);
    vmkviews::RegisterPreviewEngines();
  }
  // Renders of the main view: not the navigator's 300 wide planes (the main
  // view's are its own 500, or at and above 100 % a zoomed part's).
  std::vector<ColCorRender> MainRenders() const {
    std::vector<ColCorRender> out;
    for (const ColCorRender& r : Renders())
      if (r.viewWidth != 300) out.push_back(r);
    return out;
  }
  // A preset file of the effect in the maker's folder, holding `record`.
  void SavePreset(const std::string& name, ColCorPar* record, int16_t effect) {
    driver_.ui().AnswerSaveFile(bundle_.makersFile(name));
    FSSpec none{};
    ASSERT_EQ(Do_AColCor_file(1, none, record, effect), 0);
  }
  static bool Same(const ColCorPar& a, const ColCorPar& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

  // Records the call and paints the preview a flat (200, 100, 50).
  static int32_t Record(const vmkviews::PreviewCall& call) {
    const ColCorPar* r = call.recordAs<ColCorPar>();
    const size_t n = static_cast<size_t>(call.viewWidth) * static_cast<size_t>(call.viewHeight);
    std::memset(call.planes[0], 200, n);
    std::memset(call.planes[1], 100, n);
    std::memset(call.planes[2], 50, n);
    Renders().push_back({plat::ui::Now(), call.shorts[4], call.viewWidth,
                         std::vector<int32_t>(r->w, r->w + kColCorWords)});
    return 0;
  }

  TPermanent per_;
  FilterRecord record_;
  TestBundle bundle_;
  plat::tb::test::Driver driver_;
  std::unique_ptr<VMKapp> app_;
  PixelBuffer photo_;
  PixelBuffer unused_;
};

}  // namespace vmktest
