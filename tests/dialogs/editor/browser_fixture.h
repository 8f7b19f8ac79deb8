// A session for the effect browsers: the project's bundle (its nib) in a temporary folder
// whose maker's folder receives stored effects, the application object with its views, one
// current document over a generated picture, the toolbox's test driver on the virtual clock,
// and a main window that records what the browser asks of it.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/folder_scans.h"
#include "dialogs/editor/load_effect.h"
#include "effect_list_fixture.h"
#include "host/ApePlugInUtilities/ape_spans.h"
#include "host/ApePlugInUtilities/image_files.h"
#include "host/bundle_fixture.h"
#include "host/session/app_object.h"
#include "host/session/document.h"
#include "platform/toolbox/test_driver.h"
#include "script/script_record_file.h"
#include "views/image_box.h"
#include "views/preview_engines.h"

namespace vmktest {

// What the browser asked of the main window, in order: "prepare <name>" (a null file reads
// "prepare -"), "refresh <flag>", "loop".
class RecordingPinMain : public PinMainLink {
 public:
  void PrepareBuf(int16_t mode, fichier* file) override {
    calls.push_back("prepare " + std::to_string(mode) + " " +
                    (file != nullptr ? PStrString(file->name) : std::string("-")));
  }
  void SetRefreshFlag(int16_t flag) override { calls.push_back("refresh " + std::to_string(flag)); }
  void RunLoopOnce() override { calls.push_back("loop"); }
  std::vector<std::string> calls;
};

class BrowserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gPer = &per_;
    per_.memMan = &man_;
    record_.planeCount = 3;
    record_.imageMode = 3;
    record_.imageWidth = kW;
    record_.imageHeight = kH;
    record_.imageRect = Rect{0, 0, kH, kW};
    record_.resolutionH = 72 << 16;
    record_.inLastPlane = 2;
    gFilterRecord = &record_;
    ASSERT_EQ(LocateMakersFolder(&per_.makersFolder), 1);
    app_ = std::make_unique<VMKapp>();
    ASSERT_EQ(app_->InitNibRef(1), 0);
    app_->appData.documents[0] = new VMKdoc();
    gappData->makersFolder = per_.makersFolder;
    MakePhoto();
    vmkviews::RegisterPreviewEngines();
    stored_ = std::make_unique<StoredEffects>(bundle_.makersFile(""));
  }
  void TearDown() override {
    // Its script's blocks come from the session's registry, which goes with the application.
    stored_.reset();
    SetSessionSpanImages(nullptr, nullptr);
    app_.reset();
    driver_.Pump();
    gPer = nullptr;
    gFilterRecord = nullptr;
  }
  // A picture of gradients and squares, so that every effect changes something.
  void MakePhoto() {
    photo_ = PixelBuffer(kW, kH, 1, 4);
    for (uint32_t y = 0; y < kH; ++y)
      for (uint32_t x = 0; x < kW; ++x) {
        uint8_t* p = photo_.rowPtr(y) + 4 * x;
        p[0] = static_cast<uint8_t>(x * 255 / kW);
        p[1] = static_cast<uint8_t>(y * 255 / kH);
        p[2] = static_cast<uint8_t>(((x / 20 + y / 20) % 2) * 200 + 30);
        p[3] = 255;
      }
    SetSessionSpanImages(&photo_, &unused_);
  }
  DocData* Doc() const { return CurrentDocData(); }
  // The current layer's operations as stored bytes: equal bytes, equal layer.
  std::vector<uint8_t> LayerBytes() {
    DocData* doc = Doc();
    Laye* layer = doc->script->GetStack(doc->currentStack)->GetLaye(doc->currentLayer);
    fichier target;
    std::vector<uint8_t> bytes;
    scriptrecord::BuildScriptRecord(*doc->script, layer->oprnCount, layer->firstOprn, target,
                                    nullptr, 0, 0, nullptr, 0, &bytes);
    bytes.push_back(static_cast<uint8_t>(layer->oprnCount));
    return bytes;
  }
  // `n` stored effects of family 117 named "e01.ach1" on, in category `category`.
  void Store(int n, const std::string& category = "Warm", int from = 1) {
    for (int i = from; i < from + n; ++i) {
      char name[16];
      std::snprintf(name, sizeof name, "e%02d", i);
      stored_->Effect(name, category, FourCC("aCH1"), 16, static_cast<int16_t>(10 + i), 130, 100,
                      static_cast<uint8_t>(i * 10));
    }
  }

  static constexpr uint32_t kW = 240, kH = 180;
  CMemMan man_;
  TPermanent per_;
  FilterRecord record_;
  TestBundle bundle_;
  plat::tb::test::Driver driver_;
  std::unique_ptr<VMKapp> app_;
  PixelBuffer photo_;
  PixelBuffer unused_;
  std::unique_ptr<StoredEffects> stored_;
};

}  // namespace vmktest
