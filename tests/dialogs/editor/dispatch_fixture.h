// A session for the effect dispatcher: the colour-correction dialogs'
// session (bundle, views, a 1200 x 900 document, the test driver) with the
// editor's and correction folders' rows registered, and the document's
// script read back as the bytes of its combined-layer file.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/file_access.h"
#include "dialogs/correction/correction_rows.h"
#include "dialogs/correction/dialog_fixture.h"
#include "dialogs/editor/editor_rows.h"
#include "dialogs/editor/tune_effect.h"
#include "dialogs/frame/effect_registry.h"
#include "engines/families/effect_families.h"
#include "script/script_file.h"
#include "support/session.h"

namespace vmktest {

class DispatchTest : public ColCorDialogTest {
 protected:
  void SetUp() override {
    RegisterEffectFamilies();
    ColCorDialogTest::SetUp();
    RegisterEditorRows(EffectDialogRegistry());
    RegisterCorrectionRows(EffectDialogRegistry());
  }
  VMKdoc* doc() const { return app_->appData.documents[0]; }
  ScriptFile* script() const { return doc()->script; }
  // An editor bound to the document's script as the effect launcher binds
  // it: operation `current` of layer 1 of stack 0.
  void Bind(VMKtuneeff& editor, int16_t current = 1) {
    editor.LoadVal(current, 0);
    editor.SetScriptFile(script(), 0, 1, 1200, 900, 0, 0, 1200, 900);
  }
  // The whole script as its combined-layer file stores it (the file names
  // itself inside, so it is always the same file).
  std::vector<uint8_t> ScriptBytes() {
    const std::string path = dir_.file("script.lay");
    fichier f;
    EXPECT_TRUE(SetFicFromPosix(&f, path));
    File_kern file(&f);
    EXPECT_EQ(script()->SaveCombiLay(&file, 0, nullptr), 0);
    return ReadBytes(path);
  }
  // Operation `o` of layer 1 given an effect and a few words, active.
  void Plant(int16_t o, int16_t effect) {
    script()->SetEffect(0, 1, o, effect, 0, 0, 1200, 900);
    script()->SetAct(0, 1, o, 1);
    script()->SetParam2(0, 1, o, 17);
  }

  TempDir dir_;
};

}  // namespace vmktest
