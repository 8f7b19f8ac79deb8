// An edit session on the host fake: a test bundle, images written on the
// spot as the host's editable versions, and the toolbox's test driver.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/file_access.h"
#include "host/bundle_fixture.h"
#include "script/layers.h"
#include "script/script_file.h"
#include "host/edit_session.h"
#include "platform/hostapi/fake_host.h"
#include "platform/toolbox/test_driver.h"
#include "support/image_fixtures.h"

namespace vmktest {

class HostTest : public ::testing::Test {
 protected:
  // Writes `image` as a version file of the given type and returns its path.
  std::string Version(const std::string& name, const RawImage& image,
                      const char* type = plat::imageio::kTypeTIFF) {
    const std::string path = bundle_.file(name);
    WriteImageFile(path, type, image);
    return path;
  }
  CarbonEditPlugin* Start(const std::vector<std::string>& paths) {
    edit_ = std::make_unique<plat::hostapi::FakeEditManager>(paths);
    api_ = std::make_unique<plat::hostapi::FakeApiManager>(edit_.get());
    session_ = std::make_unique<CarbonEditPlugin>(api_.get(), "test", edit_.get());
    return session_.get();
  }
  PixelBuffer Read(const std::string& path) {
    PixelBuffer b;
    EXPECT_EQ(readSourceImage(path, nullptr, nullptr, 0, true, b), 0) << path;
    return b;
  }
  void TearDown() override {
    session_.reset();
    driver_.Pump();
  }

  TestBundle bundle_;
  plat::tb::test::Driver driver_;
  std::unique_ptr<plat::hostapi::FakeEditManager> edit_;
  std::unique_ptr<plat::hostapi::FakeApiManager> api_;
  std::unique_ptr<CarbonEditPlugin> session_;
};

// Component k of pixel x in row y of an 8- or 16-bit buffer.
inline uint32_t Sample(const PixelBuffer& b, uint32_t x, uint32_t y, int k) {
  const uint8_t* row = b.rowPtr(y);
  if (b.bytesPerComponent() == 2) return reinterpret_cast<const uint16_t*>(row)[x * 4 + k];
  return row[x * 4 + k];
}

// Sets every colour component of a buffer to `v`.
inline void Fill(PixelBuffer& b, uint32_t v) {
  for (uint32_t y = 0; y < b.height(); ++y) {
    uint8_t* row = b.rowPtr(y);
    for (uint32_t x = 0; x < b.width(); ++x)
      for (int k = 0; k < 3; ++k) {
        if (b.bytesPerComponent() == 2)
          reinterpret_cast<uint16_t*>(row)[x * 4 + k] = static_cast<uint16_t>(v);
        else
          row[x * 4 + k] = static_cast<uint8_t>(v);
      }
  }
}

// The script's layers saved as a combined-layer file at `path`.
inline void SaveLayerFile(ScriptFile& s, const std::string& path) {
  fichier f;
  ASSERT_TRUE(SetFicFromPosix(&f, path));
  File_kern file(&f);
  ASSERT_EQ(s.SaveCombiLay(&file, 0, nullptr), 0);
}

// A combined-layer file of one active operation: brightness `amount` on
// the composite, every pixel v becoming min(v + amount, 255).
inline void WriteBrightnessLayers(const std::string& path, int16_t amount) {
  ScriptFile s;
  ASSERT_EQ(s.I_ScriptFile(3, 4, 4, 72.0f, 4, 4, 0, 0, 3, 3), 0);
  s.SetEffect(0, 1, 1, 16, 0, 0, 0, 0);
  s.SetAct(0, 1, 1, 1);
  s.SetFromChannel(0, 1, 1, 0);
  s.SetToChannel(0, 1, 1, 2);
  s.SetParam1(0, 1, 1, amount);
  s.SetMode(0, 1, 1, 0);
  s.SetOpa(0, 1, 1, 255);
  s.SetMChannel(0, 1, 1, 0);
  s.SetIntExt(0, 1, 1, 1);
  SaveLayerFile(s, path);
}

}  // namespace vmktest
