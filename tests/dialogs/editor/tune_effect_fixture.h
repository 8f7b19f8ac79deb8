// A session for the operation-list editor: the dispatcher's session (bundle,
// views, a 1200 x 900 document, the test driver), the document's layer 1
// planted with operations, the editor bound to it, and stored effects of
// the image-tools window in the maker's folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "app/file_access.h"
#include "dialogs/editor/dispatch_fixture.h"
#include "dialogs/editor/tune_effect.h"
#include "dialogs/editor/tune_effect_ids.h"
#include "dialogs/editor/tune_effect_tables.h"
#include "platform/resources/resource_file.h"
#include "platform/toolbox/toolbox.h"
#include "script/layers.h"
#include "script/operation.h"
#include "script/script_file.h"

namespace vmktest {

// One operation as planted: code, active, source, destination, mask mode,
// mask channel and the five parameters.
struct OpSpec {
  int16_t code = 0;
  int16_t act = 1;
  int16_t from = 1;
  int16_t to = 2;
  int16_t intExt = 3;
  int16_t mChannel = 1;
  int16_t params[5] = {0, 0, 0, 0, 0};
};

class TuneEffTest : public DispatchTest {
 protected:
  static constexpr OSType kSig = tuneeff::kSignature;

  Laye* Layer() const { return script()->GetStack(0)->GetLaye(1); }
  int16_t Count() const { return Layer()->oprnCount; }

  // Replaces the layer's operations by the given ones, in order.
  void Plant(const std::vector<OpSpec>& ops) {
    script()->CleanOprn(0, 1);
    for (size_t i = 0; i < ops.size(); ++i) {
      const auto k = static_cast<int16_t>(i + 1);
      const OpSpec& s = ops[i];
      script()->SetEffect(0, 1, k, s.code, 0, 0, 1200, 900);
      Oprn* op = script()->GetOprn(0, 1, k);
      ASSERT_NE(op, nullptr);
      op->Act = static_cast<int8_t>(s.act);
      op->FromChannel = static_cast<int8_t>(s.from);
      op->ToChannel = static_cast<int8_t>(s.to);
      op->IntExt = static_cast<int8_t>(s.intExt);
      op->MChannel = static_cast<int8_t>(s.mChannel);
      op->Param1 = s.params[0];
      op->Param2 = s.params[1];
      op->Param3 = s.params[2];
      op->Param4 = s.params[3];
      op->Param5 = s.params[4];
    }
  }
  // The codes of the layer's operations, in order.
  std::vector<int16_t> Codes() const {
    std::vector<int16_t> codes;
    for (const Oprn* op = Layer()->firstOprn; op != nullptr; op = op->NextOprn) codes.push_back(op->Effect);
    return codes;
  }
  // The layer as its stored effect record (operations and their records).
  std::vector<uint8_t> LayerBytes() {
    const std::string path = dir_.file("layer.ac28");
    fichier f;
    EXPECT_TRUE(SetFicFromPosix(&f, path));
    File_kern file(&f);
    EXPECT_EQ(script()->SaveScript(Layer()->oprnCount, Layer()->firstOprn, &file, nullptr, 0, 0, nullptr, 0), 0);
    return ReadBytes(path);
  }
  // A stored image-tools effect in the maker's folder: one operation of the
  // given code; its name sorts it into place.
  std::string StoreEffect(const std::string& name, int16_t code, int16_t p1 = 0) {
    const std::vector<uint8_t> keep = LayerBytes();
    Plant({{code, 1, 1, 2, 3, 1, {p1, 0, 0, 0, 0}}});
    const std::string path = bundle_.makersFile(name + ".ac28");
    fichier f;
    EXPECT_TRUE(SetFicFromPosix(&f, path));
    f.type = FourCC("aC28");
    f.creator = FourCC("vMkC");
    File_kern file(&f);
    EXPECT_EQ(script()->SaveScript(Layer()->oprnCount, Layer()->firstOprn, &file, nullptr, 0, 0, nullptr, 0), 0);
    RestoreLayer(keep);
    return path;
  }
  void RestoreLayer(const std::vector<uint8_t>& bytes) {
    const std::string path = dir_.file("restore.ac28");
    WriteBytes(path, bytes);
    fichier f;
    EXPECT_TRUE(SetFicFromPosix(&f, path));
    File_kern file(&f);
    EXPECT_EQ(script()->RecallScript(1, &Layer()->oprnCount, &Layer()->firstOprn, &file, 0, nullptr, nullptr,
                                     nullptr, nullptr, nullptr, 1.0f, 1.0f, 0),
              0);
  }
  // The editor as the main editing window binds it: layer 1 of stack 0.
  void BindEditor(VMKtuneeff& e) { e.SetScriptFile(script(), 0, 1, 1200, 900, 0, 0, 1200, 900); }

  // A control of the running window.
  static plat::tb::ControlRef Ctl(plat::tb::WindowRef w, int32_t id) { return plat::tb::FindControl(w, kSig, id); }
  static std::string Item(plat::tb::WindowRef w, int32_t id, int32_t item) {
    return plat::tb::GetMenuItemText(Ctl(w, id), item);
  }
  static std::string Channel(int16_t n) { return plat::res::GetIndString(tuneeff::kChannelNames, n); }
  // Posts a command as its control would send it.
  static void Command(plat::tb::WindowRef w, uint32_t command, int32_t id = -1) {
    plat::tb::Event e;
    e.eventClass = plat::tb::kEventClassCommand;
    e.kind = plat::tb::kEventCommandProcess;
    e.command = command;
    e.control = id >= 0 ? Ctl(w, id) : nullptr;
    e.window = w;
    plat::tb::SendEventToEventTarget(&e, w);
  }
  // Ends the running window with OK.
  void PressOk() { driver_.Press(kSig, 1); }
};

}  // namespace vmktest
