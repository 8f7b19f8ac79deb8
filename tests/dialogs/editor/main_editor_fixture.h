// A session for the main editing window and its palettes: the dispatcher's
// session (bundle, views, a 1200 x 900 document with its script, the test
// driver) over a picture, with helpers that make paths, send a palette a
// command and read the layer stack back as bytes.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dialogs/editor/dispatch_fixture.h"
#include "dialogs/editor/layer_palette.h"
#include "dialogs/editor/main_editor.h"
#include "dialogs/editor/path_palette.h"
#include "app/core/pascal_strings.h"
#include "paths/path.h"
#include "paths/path_list.h"
#include "script/layers.h"

namespace vmktest {

inline constexpr OSType kMain = FourCC("Main");

class MainEditorTest : public DispatchTest {
 protected:
  void SetUp() override {
    DispatchTest::SetUp();
    UsePhoto();
    doc()->Initialize();
  }
  LayerFile* stack() const { return script()->GetStack(0); }
  // A layer stack of `n` layers named "L1".."Ln", layer 1 current.
  void MakeLayers(int n) {
    while (stack()->layerCount < n) stack()->AddLaye(stack()->layerCount, new Laye());
    for (int16_t k = 1; k <= stack()->layerCount; ++k) {
      Laye* l = stack()->GetLaye(k);
      const std::string name = "L" + std::to_string(k);
      l->name[0] = static_cast<unsigned char>(name.size());
      std::copy(name.begin(), name.end(), l->name + 1);
      if (l->paths == nullptr) l->paths = new CPathList(0);
    }
    doc()->currentLayer = 1;
    doc()->layer = stack()->GetLaye(1);
  }
  std::string LayerName(int16_t k) const { return PStrString(stack()->GetLaye(k)->name); }
  // `count` closed triangles into a list, each shifted by 10 x its index.
  static void AddTriangles(CPathList* list, int count, float at = 100.0f) {
    for (int k = 0; k < count; ++k) {
      list->AddPath(0);
      CPath* p = list->first;
      while (p->next != nullptr) p = p->next;
      const float x = at + 10.0f * static_cast<float>(k);
      p->AddPoint(x, at, 0);
      p->AddPoint(x + 50.0f, at, 0);
      p->AddPoint(x, at + 50.0f, 0);
    }
  }
  static int PathCount(const CPathList* list) {
    int n = 0;
    for (const CPath* p = list != nullptr ? list->first : nullptr; p != nullptr; p = p->next) ++n;
    return n;
  }
  static float LeftOf(const CPathList* list) {
    float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    list->GetBound(0, &x0, &y0, &x1, &y1);
    return x0;
  }
  // A command event straight to a window, as its control would send it.
  static void Send(plat::tb::WindowRef window, const char (&command)[5]) {
    plat::tb::Event e;
    e.eventClass = plat::tb::kEventClassCommand;
    e.kind = plat::tb::kEventCommandProcess;
    e.command = FourCC(command);
    e.window = window;
    plat::tb::SendEventToEventTarget(&e, window);
  }
  // The stack as a combined-layer file stores it.
  std::vector<uint8_t> StackBytes() { return ScriptBytes(); }
};

}  // namespace vmktest
