// The windows of the main editor and its palettes in the bundle's nib: every
// control the code looks up, with its signature, kind and command.
#include <gtest/gtest.h>

#include "dialogs/nib_reader.h"

namespace {

struct Row {
  int id;
  const char* kind;
  const char* cmd;
};

void Check(const vmktest::NibWindow& w, const char* sig, std::initializer_list<Row> rows) {
  for (const Row& r : rows) {
    auto it = w.byId.find(r.id);
    ASSERT_NE(it, w.byId.end()) << sig << " " << r.id;
    ASSERT_EQ(it->second.size(), 1u) << sig << " " << r.id << " is not unique";
    const vmktest::NibControl& c = it->second.front();
    EXPECT_EQ(c.sig, sig) << r.id;
    EXPECT_EQ(c.kind, r.kind) << sig << " " << r.id;
    EXPECT_EQ(c.cmd, r.cmd) << sig << " " << r.id;
  }
}

TEST(MainEditorNib, PinMainHasItsTwentyTwoControlsViewsAndCommands) {
  const vmktest::NibWindow w = vmktest::ReadNib("PinMain");
  Check(w, "Main",
        {{9, "VmkCustomView", ""},  {11, "QSlider", "Span"},     {31, "QLabel", ""},      {23, "QGroupBox", ""},
         {29, "QLabel", ""},        {25, "QLabel", ""},          {27, "QCheckBox", "Copa"}, {24, "QComboBox", "Popa"},
         {28, "QSlider", "Sopa"},   {26, "QLineEdit", ""},       {6, "QLabel", ""},       {14, "QLabel", ""},
         {15, "QLabel", ""},        {16, "QPushButton", "Bdiv"}, {17, "QPushButton", "Bmul"},
         {12, "VmkIndicator", ""},  {13, "VmkIndicator", ""},    {18, "QCheckBox", "Ceff"},
         {20, "QComboBox", "Pcha"}, {30, "QLabel", ""},          {22, "QPushButton", "Bpth"},
         {3, "QGroupBox", ""},      {1, "QPushButton", "ok  "},  {2, "QPushButton", "canc"}});
  EXPECT_EQ(w.byId.at(11).front().minimum, 0);
  EXPECT_EQ(w.byId.at(11).front().maximum, 200);
  EXPECT_EQ(w.byId.at(24).front().items, 1);
  for (const char* view : {"com.vellmarkstead.pinmain.HIima", "com.vellmarkstead.pinmain.HIpan"})
    EXPECT_EQ(w.views.count(view), 1u) << view;
  for (const char* cmd : {"Bloa", "Bcom", "Btun", "Blay", "Bpth", "Bpre", "Bfpa", "Bsc1", "Cred", "Cgre", "Cblu"})
    EXPECT_EQ(w.commands.count(cmd), 1u) << cmd;
}

TEST(MainEditorNib, TheLayerPaletteAsksForEveryLayerOperation) {
  const vmktest::NibWindow w = vmktest::ReadNib("TuneLay");
  Check(w, "Tlay", {{1, "QCheckBox", "Bsee"}, {2, "QCheckBox", "Blok"}, {3, "QComboBox", "Play"}, {4, "QLabel", ""}});
  for (const char* cmd : {"Lay1", "Lay2", "Lay3", "Lay4", "Lay5", "Lay6", "Lay7", "Lay8", "Lay9", "La10", "La11",
                          "La12", "La13", "La14"})
    EXPECT_EQ(w.commands.count(cmd), 1u) << cmd;
}

TEST(MainEditorNib, ThePathPaletteHasItsIndicatorsModesAndOperations) {
  const vmktest::NibWindow w = vmktest::ReadNib("ToolPath");
  Check(w, "Tpth", {{1, "QComboBox", ""}, {2, "QGroupBox", ""}, {4, "QLabel", ""}, {20, "QPushButton", "Bsav"},
                    {21, "QPushButton", "Brec"}, {22, "QPushButton", "Bund"}, {23, "QPushButton", "Bclr"}});
  EXPECT_EQ(w.byId.at(1).front().items, 3);
  for (int id = 3; id <= 19; ++id) {
    if (id == 4) continue;
    Check(w, "Tpth", {{id, "VmkIndicator", ""}});
  }
  for (const char* cmd : {"Bpa1", "Bpa3", "Bpa4", "Bpa5", "Bpa6", "Bpa7", "Bpa8", "Bpa9", "Bp10", "Bp11", "Bp12",
                          "Bp13", "Bp14", "Bp15", "Bp16", "Bp17"})
    EXPECT_EQ(w.commands.count(cmd), 1u) << cmd;
}

}  // namespace
