// The plaid family's windows in the bundle's nib: the weave editor with its
// shift and resize windows, the plaid creator and its HSV sub-window. Every
// control the dialogs look up, with its signature, number, kind and
// command, the fixed items of the menus, the buttons and the views the
// application object binds.
#include <gtest/gtest.h>

#include <QFile>

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
  int items = 0;
};

constexpr const char* V = "VmkCustomView";
constexpr const char* Sb = "QScrollBar";
constexpr const char* Ed = "QLineEdit";
constexpr const char* Tx = "QLabel";
constexpr const char* Pu = "QComboBox";
constexpr const char* Cb = "QCheckBox";
constexpr const char* Rb = "QRadioButton";
constexpr const char* Ar = "VmkLittleArrows";
constexpr const char* Gb = "QGroupBox";

void CheckRows(const NibWindow& w, const std::string& sig, const std::vector<Row>& rows) {
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
    if (r.items > 0) {
      EXPECT_EQ(c.items, r.items) << r.id;
    }
  }
}

void CheckCommands(const NibWindow& w, const std::vector<std::string>& commands) {
  for (const std::string& cmd : commands) EXPECT_EQ(w.commands.count(cmd), 1u) << cmd;
}

std::string RootText(const std::string& name) {
  QFile file(QString::fromStdString(std::string(VMK_SOURCE_DIR) + "/resources/nib/" + name + ".ui"));
  EXPECT_TRUE(file.open(QIODevice::ReadOnly));
  return file.readAll().toStdString();
}

TEST(PlaidNibChecklist, CreaWeav) {
  const NibWindow w = ReadNib("CreaWeav");
  CheckRows(w, "Cwea",
            {{21, Pu, "Plib"}, {8, Ed, ""},  {7, Ed, ""},  {26, Ed, ""},     {28, Ed, ""},     {30, Ed, ""},
             {34, Ed, ""},     {36, Ed, ""}, {38, Ed, ""}, {23, Cb, "Cpat"}, {40, Cb, "Ceff"}, {24, Cb, "Cgrd"}});
  CheckCommands(w, {"ok  ", "canc", "Bres", "Bloa", "Bsav", "Bop1", "Bop2", "Bop3", "Bop4", "Bop5", "Bop6", "Bop7",
                    "Bop8", "Bop9"});
  EXPECT_EQ(w.views, (std::set<std::string>{"com.vellmarkstead.cwea.HIima", "com.vellmarkstead.cwea.HIcolwa",
                                            "com.vellmarkstead.cwea.HIcolwe"}));
}

TEST(PlaidNibChecklist, ShiftAndExpandWeav) {
  for (const auto& [name, sig] : {std::pair{"ShiftWeav", "Swea"}, std::pair{"ExpandWeav", "Ewea"}}) {
    SCOPED_TRACE(name);
    const NibWindow w = ReadNib(name);
    CheckRows(w, sig, {{6, Ed, ""}, {5, Ed, ""}});
    CheckCommands(w, {"ok  ", "canc"});
    EXPECT_TRUE(w.views.empty());
  }
}

TEST(PlaidNibChecklist, AdjHSV) {
  const NibWindow w = ReadNib("AdjHSV");
  CheckRows(w, "Ahsv",
            {{6, Ed, ""},       {13, Ed, ""},      {16, Ed, ""},      {10, Sb, "Shua"},  {11, Sb, "Ssaa"},
             {12, Sb, "Svaa"},  {14, Ar, "Laha"},  {15, Ar, "Lasa"},  {17, Ar, "Lava"},  {18, Ed, ""},
             {25, Ed, ""},      {28, Ed, ""},      {22, Sb, "Shue"},  {23, Sb, "Ssae"},  {24, Sb, "Svae"},
             {26, Ar, "Lahe"},  {27, Ar, "Lase"},  {29, Ar, "Lave"},  {19, Tx, ""},      {20, Tx, ""},
             {21, Tx, ""},      {4, Gb, ""},       {5, Cb, "Clnk"}});
  CheckCommands(w, {"ok  ", "canc"});
  EXPECT_EQ(w.commands.count("clos"), 0u);
  // Its slider ranges: hue 180 either way, saturation and value 100.
  for (int id : {10, 22}) EXPECT_EQ(w.byId.at(id).front().maximum, 180);
  for (int id : {11, 12, 23, 24}) EXPECT_EQ(w.byId.at(id).front().minimum, -100);
  EXPECT_NE(RootText("AdjHSV").find("<property name=\"closeBox\" stdset=\"0\"><bool>false</bool>"), std::string::npos);
}

TEST(PlaidNibChecklist, CreaPlaid) {
  const NibWindow w = ReadNib("CreaPlaid");
  std::vector<Row> rows = {
      {10, V, ""},       {13, Pu, "Plib", 1},  {126, Pu, "Puni"},    {118, Ed, ""},        {119, Sb, "Sopa"},
      {33, Cb, "Csym"},  {34, Cb, "Cwwa"},     {35, Cb, "Cwwe"},     {36, Sb, "Swwa"},     {37, Sb, "Swwe"},
      {29, Ed, ""},      {7, Ed, ""},          {41, Ed, ""},         {47, Ed, ""},         {28, Ed, ""},
      {6, Ed, ""},       {108, Pu, "Pwwa", 5}, {109, Pu, "Pwwe", 5}, {110, Pu, "Pcwa", 6}, {111, Pu, "Pcwe", 6},
      {121, Pu, "Pwar", 7}, {122, Pu, "Pwef", 7}, {22, Rb, "Rvwa"},  {23, Rb, "Rcwa"},     {25, Rb, "Rvwe"},
      {26, Rb, "Rcwe"},  {15, Ed, ""},         {17, Ed, ""},         {113, Gb, ""},        {127, Tx, ""},
      {112, Gb, ""},     {133, Tx, ""},        {131, Pu, "Plsa"},    {137, Pu, "Plse"},    {132, Ed, ""},
      {138, Ed, ""},     {139, Ar, "Lara"},    {140, Ar, "Lare"},    {129, Pu, "Pcoa", 16}, {135, Pu, "Pcoe", 16},
      {130, Cb, "Cfra"}, {136, Cb, "Cfre"},    {141, Cb, "Raba"},    {142, Cb, "Rabe"},    {128, Tx, ""},
      {134, Tx, ""},     {19, Tx, ""},         {20, Tx, ""},         {123, Tx, ""},        {124, Tx, ""},
      {125, Tx, ""},     {16, Tx, ""},         {18, Tx, ""},         {39, Tx, ""},         {27, Tx, ""},
      {38, Tx, ""},      {106, V, ""},         {107, V, ""},         {114, V, ""},         {115, V, ""},
      {116, Tx, ""}};
  for (int id = 42; id <= 104; id += 2) rows.push_back({id, V, ""});
  CheckRows(w, "Ppla", rows);
  CheckCommands(w, {"ok  ", "canc", "Bres", "Bloa", "Bsav", "Bwar", "Bwef", "Wwa1", "Wwe1", "Bcwa", "Bcwe", "Bcp0",
                    "Bcp1", "Bcp2", "Bada", "Bade", "Bdea", "Bdee", "Pea1", "Pea2", "Pee1", "Pee2"});
  std::set<std::string> views;
  for (const char* v : {"HIima", "HIwwa", "HIwwe", "HIswa", "HIswe"}) views.insert(std::string("com.vellmarkstead.ppla.") + v);
  for (int k = 1; k <= 16; ++k) {
    views.insert("com.vellmarkstead.ppla.HIcwa" + std::to_string(k));
    views.insert("com.vellmarkstead.ppla.HIcwe" + std::to_string(k));
  }
  EXPECT_EQ(w.views, views);
  // The colour popups list the letters A to P.
  const std::string text = RootText("CreaPlaid");
  EXPECT_NE(text.find("<string>A</string>"), std::string::npos);
  EXPECT_NE(text.find("<string>P</string>"), std::string::npos);
}

}  // namespace
