// The content library's stored effects: every family with a list file finds three to six
// of them in two categories or more, each holding one operation of the family's kinds and
// a thumbnail that differs from the plain picture.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "dialogs/editor/effect_list.h"
#include "effect_list_fixture.h"
#include "script/effect_list_file.h"
#include "script/layers.h"
#include "script/operation.h"

namespace {

class StoredEffectsContent : public vmktest::EffectListTest {};

TEST_F(StoredEffectsContent, EveryFamilyBrowsesItsOwnEffects) {
  ASSERT_TRUE(vmktest::MakeContentLibrary(makers().string()));
  std::vector<char> plain;
  for (const efflist::ListKind& kind : efflist::ListKinds()) {
    if (kind.mode != 0) continue;
    SCOPED_TRACE(kind.family);
    VMKlisteff list(0, 6);
    list.fillLimit = 6;
    MenuRef cat = plat::ui::NewMenu(1, "cat");
    MenuRef nam = plat::ui::NewMenu(2, "nam");
    const int16_t names = list.PrepareCatNamMenus(cat, nam, kind.family);
    EXPECT_GE(names, 3);
    EXPECT_LE(names, 6);
    EXPECT_GE(plat::ui::CountMenuItems(cat), 3);  // "ALL" and two categories or more
    std::vector<TSSeff> slots(6);
    std::vector<TSSeff*> table;
    for (TSSeff& s : slots) table.push_back(&s);
    list.UpdatePreviews(0, cat, 0, 1, table.data(), nullptr, nullptr);
    EXPECT_EQ(list.filled, names);
    std::set<std::vector<char>> thumbnails;
    for (int16_t k = 0; k < names; ++k) {
      const TSSeff& s = slots[static_cast<size_t>(k)];
      ASSERT_EQ(s.filled, 1);
      EXPECT_EQ(s.previewWidth, 130);
      EXPECT_EQ(s.previewHeight, 130);
      ScriptFile script;
      script.I_ScriptFile(3, 60, 40, 72.0f, 60, 40, 0, 0, 59, 39);
      Laye* layer = script.GetStack(0)->GetLaye(1);
      char t1[256] = {}, t2[256] = {};
      ASSERT_EQ(list.LoadEff(0, 1, k, table.data(), nullptr, layer, &script, t1, t2), 0);
      ASSERT_EQ(layer->oprnCount, 1);
      EXPECT_GT(layer->firstOprn->Effect, 1);
      // The thumbnails of one family all differ.
      fichier f;
      MakeEffListRecord(PStrString(s.file.path), PStrString(s.file.name), &f);
      const std::vector<uint8_t> bytes = vmktest::ReadBytes(FicToPosix(f));
      ASSERT_GT(bytes.size(), 518u + 67600u);
      thumbnails.insert(std::vector<char>(bytes.begin() + 518, bytes.begin() + 518 + 67600));
    }
    EXPECT_EQ(thumbnails.size(), static_cast<size_t>(names));
    plat::ui::DisposeMenu(cat);
    plat::ui::DisposeMenu(nam);
  }
}

}  // namespace
