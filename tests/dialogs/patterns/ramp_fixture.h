// A session for the colour-ramp dialogs: the colour-correction dialogs'
// session (bundle, application object and views, one document, the test
// driver), ramp files written into its maker's folder by the ramp writer,
// and the editor's boxes and controls by name.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "dialogs/correction/dialog_fixture.h"
#include "script/lut_vign.h"

namespace vmktest {

class RampDialogTest : public ColCorDialogTest {
 protected:
  // Writes `ramp` as a ramp file of the library with its category text.
  void WriteRamp(const std::string& name, const std::string& category, const LutVign& ramp) {
    char text1[kLutVignTextSize] = {};
    char text2[kLutVignTextSize] = {};
    std::strncpy(text1, category.c_str(), sizeof text1 - 1);
    LutVign copy = ramp;
    driver_.ui().AnswerSaveFile(bundle_.makersFile(name));
    FSSpec none{};
    ASSERT_EQ(Do_ALutVign_file(1, none, &copy, text1, text2, 0, 0, 0, 0), 0);
  }
  // A ramp of its own for entry k: colours and opacity from k.
  static LutVign Numbered(int k) {
    LutVign r;
    for (int i = 0; i < 256; ++i) {
      r.opacity[i] = static_cast<uint8_t>(255 - i / 2);
      r.colour[0][i] = static_cast<uint8_t>(i);
      r.colour[1][i] = static_cast<uint8_t>(k * 10);
      r.colour[2][i] = static_cast<uint8_t>(255 - i);
    }
    return r;
  }
  static bool Same(const LutVign& a, const LutVign& b) { return std::memcmp(&a, &b, sizeof a) == 0; }
};

}  // namespace vmktest
