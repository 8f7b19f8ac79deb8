// A session for the generator dialogs (texture, spirograph, star, cookie
// cutter): the correction dialogs' session (bundle, application object, one
// document, the driver on the virtual clock) with the helpers these tests
// share: presets written by the families' own writers into the maker's
// folder, Option held through the scripted user, records compared byte for
// byte.
#pragma once

#include <cstring>
#include <string>

#include "dialogs/correction/dialog_fixture.h"
#include "platform/files/file_types.h"

namespace vmktest {

class GeneratorDialogTest : public ColCorDialogTest {
 protected:
  // A preset file `name` (no extension) in the maker's folder, holding
  // `record`, written with mode 1 of the family's writer.
  template <class R>
  void SavePreset(const std::string& name, int16_t (*writer)(int16_t, FSSpec, R*), R* record) {
    driver_.ui().AnswerSaveFile(bundle_.makersFile(name));
    FSSpec none{};
    ASSERT_EQ(writer(1, none, record), 0) << name;
  }
  // The modifier keys the dialogs see from now on.
  void Hold(uint32_t modifiers) { driver_.ui().SetModifiers(modifiers); }
  template <class R>
  static bool SameBytes(const R& a, const R& b) {
    return std::memcmp(&a, &b, sizeof(R)) == 0;
  }
};

}  // namespace vmktest
