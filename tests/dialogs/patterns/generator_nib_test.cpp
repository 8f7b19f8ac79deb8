// The four generator windows of the bundle's nib: every control the dialogs
// look up, with its signature, number, kind and command, the popups' items,
// the buttons and the views the application object binds.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "dialogs/nib_reader.h"

namespace {

using vmktest::NibControl;
using vmktest::NibWindow;
using vmktest::ReadNib;

struct Row {
  int id;
  const char* kind;
  const char* cmd;
};

constexpr const char* V = "VmkCustomView";
constexpr const char* Sl = "QSlider";
constexpr const char* Ed = "QLineEdit";
constexpr const char* Tx = "QLabel";
constexpr const char* Pu = "QComboBox";
constexpr const char* Cb = "QCheckBox";
constexpr const char* Rb = "QRadioButton";
constexpr const char* Bt = "QPushButton";
constexpr const char* Ar = "VmkLittleArrows";

// Checks the looked-up controls and the buttons that are not looked up
// (ok, cancel, reset, load, save and, with a ramp, the two ramp buttons).
void Check(const std::string& name, const std::string& sig, const std::string& key,
                const std::vector<Row>& rows, const std::vector<std::string>& views) {
  SCOPED_TRACE(name);
  const NibWindow w = ReadNib(name);
  std::set<int> seen;
  for (const Row& r : rows) {
    EXPECT_TRUE(seen.insert(r.id).second) << "listed twice: " << r.id;
    auto it = w.byId.find(r.id);
    ASSERT_NE(it, w.byId.end()) << "control " << r.id;
    ASSERT_EQ(it->second.size(), 1u) << "control " << r.id;
    const NibControl& c = it->second.front();
    EXPECT_EQ(c.sig, sig) << r.id;
    EXPECT_EQ(c.kind, r.kind) << r.id;
    EXPECT_EQ(c.cmd, r.cmd) << r.id;
  }
  for (const char* cmd : {"ok  ", "canc", "Bres", "Bloa", "Bsav", "Badj", "Bvig", "Plib"})
    EXPECT_EQ(w.commands.count(cmd), 1u) << cmd;
  std::set<std::string> want;
  for (const std::string& v : views) want.insert("com.vellmarkstead." + key + "." + v);
  EXPECT_EQ(w.views, want);
}

std::vector<Row> ShiftRows(int hue, int hueBar, int hueArrows, int sat, int satBar, int satArrows, int val,
                           int valBar, int valArrows) {
  return {{hue, Ed, ""},     {hueBar, Sl, "Shue"}, {hueArrows, Ar, "Lahu"},
          {sat, Ed, ""},     {satBar, Sl, "Ssat"}, {satArrows, Ar, "Lasa"},
          {val, Ed, ""},     {valBar, Sl, "Sval"}, {valArrows, Ar, "Lava"}};
}

std::vector<Row> Join(std::vector<Row> a, const std::vector<Row>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(GeneratorNibChecklist, TextuGen) {
  // The fifteen parameter bars send their commands in the order of their
  // numbers.
  const std::vector<Row> rows = Join(
      {{4, V, ""},          {17, V, ""},          {21, Pu, "Plib"},     {36, Ed, ""},         {35, Sl, "Scam"},
       {39, Ed, ""},        {38, Sl, "Scbr"},     {45, Ed, ""},         {44, Sl, "Stde"},     {56, Ed, ""},
       {55, Sl, "Shre"},    {67, Ed, ""},         {66, Sl, "Stam"},     {30, Pu, "Pver"},     {49, Pu, "Phor"},
       {60, Pu, "Ppar"},    {34, Ed, ""},         {33, Sl, "Shde"},     {53, Ed, ""},         {52, Sl, "Shvo"},
       {64, Ed, ""},        {63, Sl, "Spsi"},     {42, Ed, ""},         {41, Sl, "Scco"},     {48, Ed, ""},
       {47, Sl, "Spre"},    {59, Ed, ""},         {58, Sl, "Spvo"},     {70, Ed, ""},         {69, Sl, "Svre"},
       {71, Pu, "Pequ"},    {75, Ed, ""},         {74, Sl, "Svde"},     {78, Ed, ""},         {77, Sl, "Stst"},
       {81, Ed, ""},        {80, Sl, "Svvo"}},
      ShiftRows(5, 9, 13, 12, 10, 14, 15, 11, 16));
  EXPECT_EQ(rows.size(), 46u);
  Check("TextuGen", "Tgen", "tgen", rows, {"HIima", "HIvig"});
  const NibWindow w = ReadNib("TextuGen");
  for (int kind : {30, 49, 60}) EXPECT_EQ(w.byId.at(kind).front().items, 4) << kind;
  EXPECT_EQ(w.byId.at(71).front().items, 6);
  for (const char* cmd : {"Shde", "Scam", "Scbr", "Scco", "Stde", "Spre", "Shvo", "Shre", "Spvo", "Spsi", "Stam",
                          "Svre", "Svde", "Stst", "Svvo"})
    EXPECT_EQ(w.commands.count(cmd), 1u) << cmd;
  EXPECT_EQ(w.byId.at(69).front().maximum, 1000);
  EXPECT_EQ(w.byId.at(35).front().minimum, -100);
}

TEST(GeneratorNibChecklist, SpiroMaker) {
  const std::vector<Row> rows = Join(
      {{8, V, ""},         {11, Pu, "Plib"},    {25, V, ""},         {28, Cb, "Ceff"},    {29, Cb, "Csha"},
       {48, Ed, ""},       {47, Sl, "Sblu"},    {51, Ed, ""},        {50, Sl, "Sxce"},    {54, Ed, ""},
       {53, Sl, "Syce"},   {31, Ed, ""},        {30, Sl, "Sac1"},    {33, Ed, ""},        {32, Sl, "Sac2"},
       {36, Ed, ""},       {35, Sl, "Sac3"},    {42, Ed, ""},        {41, Sl, "Sac4"},    {45, Ed, ""},
       {44, Sl, "Sac5"}},
      ShiftRows(13, 17, 21, 20, 18, 22, 23, 19, 24));
  EXPECT_EQ(rows.size(), 30u);
  Check("SpiroMaker", "Spir", "spir", rows, {"HIima", "HIvig", "HIcol"});
}

TEST(GeneratorNibChecklist, StarMaker) {
  std::vector<Row> rows = Join(
      {{8, V, ""},         {9, Tx, ""},         {42, Tx, ""},        {43, Tx, ""},        {12, Pu, "Plib"},
       {26, V, ""},        {67, Ed, ""},        {66, Sl, "Sxce"},    {70, Ed, ""},        {69, Sl, "Syce"},
       {73, Ed, ""},       {72, Sl, "Srad"},    {76, Ed, ""},        {75, Sl, "Sang"},    {63, Ed, ""},
       {62, Sl, "Sblu"},   {32, Ed, ""},        {31, Sl, "Sac1"},    {34, Ed, ""},        {33, Sl, "Sac2"},
       {37, Ed, ""},       {36, Sl, "Sac3"},    {39, Ed, ""},        {41, Ed, ""},        {50, Sl, "Rlxi"},
       {51, Sl, "Rexi"},   {59, Sl, "Rlxo"},    {60, Sl, "Rexo"},    {52, Sl, "Rvli"},    {61, Sl, "Rvlo"},
       {48, Cb, "Chir"},   {57, Cb, "Chor"},    {29, Cb, "Ceff"},    {30, Cb, "Csha"},    {49, Bt, "Bgni"},
       {58, Bt, "Bgno"},   {7, Tx, ""},         {35, Tx, ""}},
      ShiftRows(14, 18, 22, 21, 19, 23, 24, 20, 25));
  static const char* const inner[] = {"Rei1", "Rei2", "Rei3", "Rei4"};
  static const char* const outer[] = {"Reo1", "Reo2", "Reo3", "Reo4"};
  for (int k = 0; k < 4; ++k) {
    rows.push_back({44 + k, Rb, inner[k]});
    rows.push_back({53 + k, Rb, outer[k]});
  }
  EXPECT_EQ(rows.size(), 55u);
  Check("StarMaker", "Star", "star", rows, {"HIima", "HIvig", "HIcol"});
}

TEST(GeneratorNibChecklist, CookiCut) {
  // Nine bars share the eight commands in the order of their numbers; the
  // last two send the same one.
  const std::vector<Row> rows = Join(
      {{6, V, ""},         {9, Pu, "Plib"},     {23, V, ""},         {27, Pu, "Ceff"},    {28, Pu, "Csha"},
       {30, Ed, ""},       {29, Sl, "Sac1"},    {32, Ed, ""},        {31, Sl, "Sac2"},    {35, Ed, ""},
       {34, Sl, "Sac3"},   {38, Ed, ""},        {37, Sl, "Sac4"},    {41, Ed, ""},        {40, Sl, "Sac5"},
       {44, Ed, ""},       {43, Sl, "Sac6"},    {47, Ed, ""},        {46, Sl, "Sac7"},    {50, Ed, ""},
       {49, Sl, "Sac8"},   {53, Ed, ""},        {52, Sl, "Sac8"}},
      ShiftRows(11, 15, 19, 18, 16, 20, 21, 17, 22));
  EXPECT_EQ(rows.size(), 32u);
  Check("CookiCut", "Cook", "cook", rows, {"HIima", "HIvig"});
  const NibWindow w = ReadNib("CookiCut");
  EXPECT_EQ(w.byId.at(27).front().items, 2);
  EXPECT_EQ(w.byId.at(28).front().items, 2);
  EXPECT_EQ(w.byId.at(31).front().maximum, 200);
  EXPECT_EQ(w.byId.at(37).front().minimum, 1);
}

}  // namespace
