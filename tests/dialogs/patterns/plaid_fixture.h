// A session for the plaid creator and its sub-dialogs: the correction
// dialogs' session (bundle, application object, a 1200 x 900 document, the
// driver on the virtual clock) with plaid presets written by the plaid
// writer into the maker's folder and records compared byte for byte.
#pragma once

#include <cstring>
#include <string>

#include "dialogs/correction/dialog_fixture.h"
#include "dialogs/patterns/plaid_dialog.h"

namespace vmktest {

class PlaidDialogTest : public ColCorDialogTest {
 protected:
  static constexpr OSType kPpla = FourCC("Ppla");
  static constexpr OSType kAhsv = FourCC("Ahsv");
  static constexpr int32_t kOk = 201, kCancel = 202, kReset = 203, kLoad = 204, kSave = 205;

  // A record whose colours, ramps, weaves, stripes and formulas all carry `k`.
  static PlaidPar Numbered(int k) {
    PlaidPar p;
    Init_PlaidPar(&p, 0);
    for (int i = 0; i < kPlaidColours; ++i)
      for (int c = 0; c < 3; ++c) {
        p.paletteA[c][i] = static_cast<uint8_t>(10 * k + i + 40 * c);
        p.paletteB[c][i] = static_cast<uint8_t>(200 - 10 * k - i - 30 * c);
      }
    Init_LutVign(k % 6, &p.ramp1, 0, 0, 0, 0);
    Init_LutVign((k + 1) % 6, &p.ramp2, 0, 0, 0, 0);
    Init_WeaveInfo(&p.weave1, static_cast<int16_t>(2 + k), 4);
    Init_WeaveInfo(&p.weave2, 3, static_cast<int16_t>(2 + k));
    std::snprintf(p.formula1, sizeof p.formula1, "a%d b c", k);
    std::snprintf(p.formula2, sizeof p.formula2, "d e%d", k);
    p.free1.stripCount = 2 + k;
    p.free2.stripCount = 3;
    for (int i = 0; i < kFreeStrips; ++i) {
      p.free1.stripWidth[i] = 5 + k + i;
      p.free2.stripWidth[i] = 7 + i;
      p.free1.stripColour[i] = (i + k) % kPlaidColours;
      p.free2.stripColour[i] = i % kPlaidColours;
    }
    return p;
  }
  // A plaid preset `name` (.hpld) in the maker's folder.
  void SavePlaid(const std::string& name, PlaidPar record) {
    driver_.ui().AnswerSaveFile(bundle_.makersFile(name + ".hpld"));
    FSSpec none{};
    ASSERT_EQ(Do_APlaidPar_file(1, none, &record), 0) << name;
  }
  std::string TempPath() const { return bundle_.makersFile("tmpvmkplaid.hpl"); }
  static bool Same(const PlaidPar& a, const PlaidPar& b) { return std::memcmp(&a, &b, sizeof a) == 0; }
  static bool SameColours(const PlaidPar& a, const PlaidPar& b) {
    return std::memcmp(a.paletteA, b.paletteA, sizeof a.paletteA) == 0 &&
           std::memcmp(a.paletteB, b.paletteB, sizeof a.paletteB) == 0;
  }
  static std::string Text(plat::tb::WindowRef w, OSType sig, int32_t id) {
    return plat::tb::GetControlText(plat::tb::FindControl(w, sig, id));
  }
  static bool Shown(plat::tb::WindowRef w, int32_t id) {
    return plat::tb::IsControlVisible(plat::tb::FindControl(w, kPpla, id));
  }
};

}  // namespace vmktest
