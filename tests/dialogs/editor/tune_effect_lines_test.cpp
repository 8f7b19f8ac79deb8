// The operation-list editor's texts and tables: the operation lines, the
// kind menus of every family against their string lists, and the slider
// layout of every effect code, walked from the tables.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "dialogs/editor/tune_effect_fixture.h"
#include "host/session/document.h"

using vmktest::OpSpec;
using vmktest::TuneEffTest;
using namespace tuneeff;

namespace {

std::string Name(int16_t list, int16_t item) { return plat::res::GetIndString(list, item); }

TEST_F(TuneEffTest, OperationLinesFollowTheirNineSteps) {
  std::vector<OpSpec> ops(12);
  for (auto& s : ops) s = {2, 1, 1, 1, 3, 1, {}};
  ops[0] = {0, 1, 1, 2, 3, 1, {}};                    // no effect: the number only
  ops[1] = {1, 1, 1, 2, 1, 7, {}};                    // effect 1: the number only
  ops[2] = {11, 0, 1, 1, 3, 1, {}};                   // inactive, nothing further
  ops[3] = {11, 1, 3, 4, 0, 1, {}};                   // " to " without " from "
  ops[4] = {2, 1, 3, 4, 2, 0, {}};                    // " from ", " to ", inverted mask of channel 1
  ops[5] = {96, 1, 1, 1, 3, 1, {12, 0, 0, 0, 0}};     // the buffer number
  ops[11] = {11, 1, 1, 5, 1, 7, {}};                  // the family-92 example
  Plant(ops);
  VMKtuneeff e;
  BindEditor(e);
  e.LoadKndMenu(92);
  const int16_t L = 16100;
  EXPECT_EQ(e.OperationLine(1, 92), "1 - ");
  EXPECT_EQ(e.OperationLine(2, 92), "2 - ");
  EXPECT_EQ(e.OperationLine(3, 92), "3 -     -" + Name(L, 11) + " ");
  EXPECT_EQ(e.OperationLine(4, 92), "4 - x  -" + Name(L, 11) + "  to " + Channel(4));
  EXPECT_EQ(e.OperationLine(5, 92),
            "5 - x  -" + Name(L, 2) + "  from " + Channel(3) + " to " + Channel(4) + Name(kMaskTexts, 2) + Channel(1));
  EXPECT_EQ(e.OperationLine(6, 92), "6 - x  -" + Name(L, e.codeToItem[96]) + " 12");
  EXPECT_EQ(e.OperationLine(9, 92), "9 - x  -" + Name(L, 2) + " ");
  EXPECT_EQ(e.OperationLine(10, 92), "10  - x  -" + Name(L, 2) + " ");
  // Operation 12, active, effect 11, source 1, destination 5, mask mode 1 on
  // channel 7: the number, "  - ", "x  -", item 11 of the list, " ", " in ",
  // channel 5, mask text 1 and channel 7.
  EXPECT_EQ(e.codeToItem[11], 11);
  EXPECT_EQ(e.OperationLine(12, 92),
            "12" + std::string("  - ") + "x  -" + Name(L, 11) + " " + " in " + Channel(5) + Name(kMaskTexts, 1) + Channel(7));
  // Mask mode 3, and 0 read as 3, add nothing; a missing operation is its number.
  Plant({{2, 1, 1, 1, 3, 1, {}}, {2, 1, 1, 1, 0, 4, {}}});
  EXPECT_EQ(e.OperationLine(1, 92), "1 - x  -" + Name(L, 2) + " ");
  EXPECT_EQ(e.OperationLine(2, 92), "2 - x  -" + Name(L, 2) + " ");
  EXPECT_EQ(e.OperationLine(3, 92), "3 - ");
}

TEST_F(TuneEffTest, LinesNameFileRecordsAndAreCutAt255Characters) {
  Plant({{24, 1, 1, 2, 3, 1, {}}, {2, 1, 1, 2, 3, 1, {}}});
  fichier file;
  Init_FicStruct(&file);
  SetPStr(file.name, "Sunset.tif");
  script()->SetFileOprn(0, 1, 1, &file);
  VMKtuneeff e;
  BindEditor(e);
  e.LoadKndMenu(117);
  EXPECT_EQ(e.OperationLine(1, 117), "1 - x  -" + Name(16180, e.codeToItem[24]) + " Sunset.tif in " + Channel(2));
  // A name so long that the line passes 255 characters is cut there.
  std::string longName(250, 'n');
  SetPStr(file.name, longName);
  script()->SetFileOprn(0, 1, 1, &file);
  EXPECT_EQ(e.OperationLine(1, 117).size(), 255u);
}

TEST_F(TuneEffTest, EveryFamilysKindMenuMatchesItsNameListInCountAndOrder) {
  ASSERT_EQ(Families().size(), 13u);
  const std::map<int16_t, int16_t> counts = {{41, 7},   {42, 5},   {58, 8},   {92, 38},  {94, 39},
                                             {100, 20}, {106, 32}, {111, 32}, {114, 35}, {115, 44},
                                             {116, 9},  {117, 43}, {118, 50}};
  // The same code has the same name in every list.
  std::map<int16_t, std::string> names;
  VMKtuneeff e;
  for (const Family& f : Families()) {
    SCOPED_TRACE(f.family);
    e.LoadKndMenu(f.family);
    EXPECT_EQ(e.itemCount, counts.at(f.family));
    EXPECT_EQ(plat::res::CountIndStrings(f.nameList), e.itemCount);
    EXPECT_EQ(Name(f.nameList, 1), "None");
    EXPECT_EQ(e.itemToCode[1], 0);
    EXPECT_EQ(e.codeToItem[0], 0);
    for (int16_t item = 2; item <= e.itemCount; ++item) {
      const int16_t code = f.codes[static_cast<size_t>(item - 2)];
      EXPECT_EQ(e.itemToCode[item], code);
      EXPECT_EQ(e.codeToItem[code], item);
      const auto it = names.emplace(code, Name(f.nameList, item)).first;
      EXPECT_EQ(it->second, Name(f.nameList, item)) << "code " << code;
      EXPECT_FALSE(it->second.empty());
    }
  }
  // The 13 families' file types.
  EXPECT_EQ(FamilyOf(118)->fileType, FourCC("aC28"));
  EXPECT_EQ(FamilyOf(117)->fileType, FourCC("aCH1"));
  EXPECT_EQ(FamilyOf(111)->fileType, 0u);
  EXPECT_EQ(FamilyOf(12), nullptr);
}

TEST_F(TuneEffTest, ACodeOutsideTheFamilyHasNoItemNoRowsAndNoAdjust) {
  Plant({{22, 1, 1, 2, 3, 1, {5, 5, 5, 5, 5}}});  // colour matrix: not in family 58
  VMKtuneeff e;
  BindEditor(e);
  e.family = 58;
  e.LoadKndMenu(58);
  e.DrawWindowContent(nullptr);
  EXPECT_EQ(e.currentKindItem, 0);
  for (int n = 0; n < 5; ++n) EXPECT_EQ(e.sliderShown[n], 0);
  EXPECT_EQ(e.showAdjust, 0);
  EXPECT_EQ(e.showBlend, 0);
  // In family 117 it is item 22, adjustable, with five rows.
  e.family = 117;
  e.LoadKndMenu(117);
  e.DrawWindowContent(nullptr);
  EXPECT_EQ(e.currentKindItem, 22);
  EXPECT_EQ(e.showAdjust, 1);
  EXPECT_EQ(e.sliderShown[4], 1);
}

// Every code's rows as the tables give them, on a single channel and on the
// composite destination.
TEST_F(TuneEffTest, EveryLayoutIsLaidOutAsItsTableSays) {
  VMKtuneeff e;
  BindEditor(e);
  e.family = 118;
  for (bool composite : {false, true}) {
    for (const SliderLayout& layout : composite ? CompositeLayouts() : Layouts()) {
      for (int16_t code : layout.codes) {
        SCOPED_TRACE(code);
        Plant({{code, 1, 1, static_cast<int16_t>(composite ? 2 : 3), 3, 1, {1, 2, 3, 2, 1}}});
        // Every code needs an item: a kind table of its own.
        std::fill(std::begin(e.codeToItem), std::end(e.codeToItem), int16_t{0});
        e.codeToItem[code] = 2;
        e.itemToCode[2] = code;
        e.DrawWindowContent(nullptr);
        const SliderLayout* expected = LayoutOf(code, composite || code == 18);
        for (int n = 0; n < 5; ++n) {
          const SliderRow& row = expected->rows[n];
          EXPECT_EQ(e.sliderShown[n], row.used() ? 1 : 0) << "row " << n;
          if (!row.used()) continue;
          EXPECT_EQ(e.sliderMinimum[n], row.minimum);
          EXPECT_EQ(e.sliderMaximum[n], row.maximum);
          const std::string title = PStrString(e.sliderTitle[n]);
          if (row.text != nullptr) {
            EXPECT_EQ(title, row.text);
          } else if (row.byValue.high < row.byValue.low) {
            EXPECT_EQ(title, Name(kSliderTitles, row.title));
          }
        }
      }
    }
  }
}

TEST_F(TuneEffTest, LayoutsOfTheCodesWithTheirOwnRules) {
  VMKtuneeff e;
  BindEditor(e);
  e.family = 117;
  // Each code as the current kind's.
  auto lay = [&](OpSpec s) {
    Plant({s});
    e.codeToItem[s.code] = 2;
    e.itemToCode[2] = s.code;
    e.DrawWindowContent(nullptr);
  };
  // 35: Param4 on row 4 (0..2000), Param5 on row 5 (0..5) titled by value.
  lay({35, 1, 1, 3, 3, 1, {10, 20, 30, 1500, 4}});
  EXPECT_EQ(e.sliderMaximum[3], 2000);
  EXPECT_EQ(e.sliderValue[3], 1500);
  EXPECT_EQ(e.sliderMaximum[4], 5);
  EXPECT_EQ(PStrString(e.sliderTitle[4]), Name(kSliderTitles, 40));
  lay({35, 1, 1, 3, 3, 1, {10, 20, 30, 1500, 9}});
  EXPECT_EQ(PStrString(e.sliderTitle[4]), Name(kSliderTitles, 33));
  EXPECT_EQ(e.sliderValue[4], 9);  // not clamped here
  // 13: five rows titled by percent.
  lay({13, 1, 1, 3, 3, 1, {}});
  const char* percent[] = {"0%", "25%", "50%", "75%", "100%"};
  for (int n = 0; n < 5; ++n) EXPECT_EQ(PStrString(e.sliderTitle[n]), percent[n]);
  // 71: a value outside 0..2 shows t67 and 0.
  lay({71, 1, 1, 3, 3, 1, {7, 0, 0, 0, 0}});
  EXPECT_EQ(PStrString(e.sliderTitle[0]), Name(kSliderTitles, 67));
  EXPECT_EQ(e.sliderValue[0], 0);
  lay({71, 1, 1, 3, 3, 1, {2, 0, 0, 0, 0}});
  EXPECT_EQ(PStrString(e.sliderTitle[0]), Name(kSliderTitles, 69));
  // 10 on the composite: red, green, blue in rows 2 to 4 and swatch 1 in
  // that colour; on a single channel two rows and no swatch.
  lay({10, 1, 1, 2, 3, 1, {9, 200, 100, 50, 0}});
  EXPECT_EQ(PStrString(e.sliderTitle[1]), "red");
  EXPECT_EQ(e.showSwatch[0], 1);
  EXPECT_EQ(e.swatchColours[0][0], 200);
  EXPECT_EQ(e.swatchColours[0][2], 50);
  lay({10, 1, 1, 4, 3, 1, {9, 200, 100, 50, 0}});
  EXPECT_EQ(e.sliderShown[2], 0);
  EXPECT_EQ(e.showSwatch[0], 0);
  // 60 on the composite: row 5 0..3 titled t89 to t92.
  lay({60, 1, 1, 2, 3, 1, {0, 0, 0, 0, 2}});
  EXPECT_EQ(e.sliderMaximum[4], 3);
  EXPECT_EQ(PStrString(e.sliderTitle[4]), Name(kSliderTitles, 91));
  // 91: swatch 1 grey of Param3; 86 on the composite: no row 2, two swatches.
  lay({91, 1, 1, 4, 3, 1, {0, 0, 77, 0, 0}});
  EXPECT_EQ(e.swatchColours[0][1], 77);
  lay({86, 1, 1, 2, 3, 1, {}});
  EXPECT_EQ(e.sliderShown[1], 0);
  EXPECT_EQ(e.showSwatch[1], 1);
  // The third swatch stays hidden.
  EXPECT_EQ(e.showSwatch[2], 0);
}

TEST_F(TuneEffTest, TheHslSampleColourFollowsTheOperationsShifts) {
  // Sample colour (128, 64, 255) high bytes; no shift keeps it.
  doc()->sevenWords[0] = static_cast<int16_t>(128 << 8);
  doc()->sevenWords[1] = static_cast<int16_t>(64 << 8);
  doc()->sevenWords[2] = static_cast<int16_t>(0xFF00);
  Plant({{18, 1, 1, 4, 3, 1, {0, 0, 0, 0, 0}}});
  VMKtuneeff e;
  BindEditor(e);
  e.LoadKndMenu(117);
  e.DrawWindowContent(nullptr);
  EXPECT_EQ(e.destChannel, 2);
  // Each fraction times 255 is truncated: a component may lose one.
  EXPECT_NEAR(static_cast<uint16_t>(doc()->sevenWords[3]) >> 8, 128, 1);
  EXPECT_NEAR(static_cast<uint16_t>(doc()->sevenWords[4]) >> 8, 64, 1);
  EXPECT_NEAR(static_cast<uint16_t>(doc()->sevenWords[5]) >> 8, 255, 1);
  EXPECT_EQ(doc()->sevenWords[3] & 0xFF, 0);
  // Full desaturation makes it grey.
  Plant({{18, 1, 1, 2, 3, 1, {0, -100, 0, 0, 0}}});
  e.DrawWindowContent(nullptr);
  EXPECT_EQ(doc()->sevenWords[3], doc()->sevenWords[4]);
  EXPECT_EQ(doc()->sevenWords[4], doc()->sevenWords[5]);
}

}  // namespace
