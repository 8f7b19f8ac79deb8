// A maker's folder in a temporary Application Support folder, with stored effect files
// and colour-ramp files written into it by the script's own savers, for the tests of the
// effect-list keeper and its browsers.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/core/pascal_strings.h"
#include "app/file_access.h"
#include "app/folder_scans.h"
#include "engines/families/effect_families.h"
#include "platform/files/file_types.h"
#include "script/effect_list_file.h"
#include "script/lut_vign.h"
#include "script/script_file.h"
#include "support/session.h"

namespace vmktest {

// Writes stored effects and ramps below a maker's folder.
class StoredEffects {
 public:
  static constexpr int32_t kW = 60, kH = 40;

  explicit StoredEffects(std::filesystem::path makers) : makers_(std::move(makers)) {
    RegisterEffectFamilies();
    script_.I_ScriptFile(3, kW, kH, 72.0f, kW, kH, 0, 0, kW - 1, kH - 1);
  }

  // A stored effect of type `type` named `name` in `category`, holding one operation of
  // `effect` with Param1 = `param`, and a preview of w x h whose pixels are all `shade`.
  std::string Effect(const std::string& name, const std::string& category,
                     OSType type = FourCC("aCH1"), int16_t effect = 11, int16_t param = 5,
                     int16_t w = 130, int16_t h = 100, uint8_t shade = 90,
                     const std::string& sub = "Effects") {
    std::filesystem::create_directories(makers_ / sub);
    const std::string posix =
        (makers_ / sub / plat::files::WithTypeExtension(name, type)).string();
    fichier f;
    EXPECT_TRUE(SetFicFromPosix(&f, posix));
    f.type = type;
    f.creator = FourCC("vMkC");
    script_.GetStack(0)->CleanOprnLaye(1);
    script_.SetEffect(0, 1, 1, effect, 0, 0, 0, 0);
    Oprn* op = script_.GetOprn(0, 1, 1);
    op->Param1 = param;
    std::vector<char> preview(67600, static_cast<char>(shade));
    char text[255] = {};
    std::strncpy(text, category.c_str(), sizeof text - 1);
    File_kern file(&f);
    EXPECT_EQ(script_.SaveScript(1, op, &file, preview.data(), w, h, text, 1), 0);
    return posix;
  }

  // A colour-ramp file of preset `preset` with its two names.
  std::string Ramp(const std::string& name, const std::string& first, const std::string& second,
                   int16_t preset = 3) {
    std::filesystem::create_directories(makers_ / "Ramps");
    const std::string posix = (makers_ / "Ramps" / name).string() + ".hvig";
    LutVign lut;
    Init_LutVign(preset, &lut, 200, 20, 20, 0);
    char n1[255] = {}, n2[255] = {};
    std::strncpy(n1, first.c_str(), sizeof n1 - 1);
    std::strncpy(n2, second.c_str(), sizeof n2 - 1);
    // Saving through the ramp's own writer would ask where: the bytes are laid out here.
    std::vector<uint8_t> bytes(kLutVignFileSize, 0);
    std::memcpy(bytes.data(), n1, 255);
    std::memcpy(bytes.data() + 255, n2, 255);
    std::memcpy(bytes.data() + 510, lut.opacity, 256);
    std::memcpy(bytes.data() + 766, lut.colour, 4 * 256);
    WriteBytes(posix, bytes);
    return posix;
  }

  ScriptFile& script() { return script_; }

 private:
  std::filesystem::path makers_;
  ScriptFile script_;
};

// A session whose maker's folder is a fresh temporary one.
class EffectListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir_.path() / "support" / "Vellmarkstead");
    env_ = std::make_unique<ScopedEnv>("VMK_SUPPORT_DIR", (dir_.path() / "support").c_str());
    ASSERT_EQ(LocateMakersFolder(&gPer->makersFolder), 1);
    gappData->makersFolder = gPer->makersFolder;
    stored_ = std::make_unique<StoredEffects>(makers());
  }
  std::filesystem::path makers() const { return dir_.path() / "support" / "Vellmarkstead"; }
  std::string ListPath(const char* name) const { return (makers() / (name + 1)).string(); }

  ScopedSession session_;
  ScopedAppData appData_;
  TempDir dir_;
  std::unique_ptr<ScopedEnv> env_;
  std::unique_ptr<StoredEffects> stored_;
};

}  // namespace vmktest
