// The fractal and photo-repeat windows of the bundle's nib: every control
// the dialogs look up, with its signature, number, kind, command and range,
// the buttons that are not looked up, the views the application object
// binds and the windows' zoom.
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
  int minimum = 0;
  int maximum = 0;  // checked when either is nonzero
};

constexpr const char* V = "VmkCustomView";
constexpr const char* Sl = "QSlider";
constexpr const char* Sb = "QScrollBar";
constexpr const char* Ed = "QLineEdit";
constexpr const char* Tx = "QLabel";
constexpr const char* Pu = "QComboBox";
constexpr const char* Ar = "VmkLittleArrows";
constexpr const char* Cb = "QCheckBox";
constexpr const char* Rb = "QRadioButton";
constexpr const char* Bt = "QPushButton";
constexpr const char* Rg = "VmkRadioGroup";

void Check(const std::string& name, const std::string& sig, const std::vector<Row>& rows,
           const std::vector<std::string>& buttons, const std::set<std::string>& views) {
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
    if (r.minimum != 0 || r.maximum != 0) {
      EXPECT_EQ(c.minimum, r.minimum) << r.id;
      EXPECT_EQ(c.maximum, r.maximum) << r.id;
    }
  }
  for (const std::string& cmd : buttons) EXPECT_EQ(w.commands.count(cmd), 1u) << cmd;
  EXPECT_EQ(w.views, views);
}

bool Zoomable(const std::string& name) {
  QFile file(QString::fromStdString(std::string(VMK_SOURCE_DIR) + "/resources/nib/" + name + ".ui"));
  if (!file.open(QIODevice::ReadOnly)) return false;
  return file.readAll().contains("<property name=\"resizable\" stdset=\"0\"><bool>true</bool></property>");
}

TEST(FractalRepeatNibChecklist, OrrFract) {
  // The 39 controls of the dialog; the settings bars send their commands in
  // the order of their numbers.
  const std::vector<Row> rows = {
      {4, V, ""},          {24, V, ""},         {9, V, ""},          {7, V, ""},          {5, V, ""},
      {10, Tx, ""},        {8, Tx, ""},         {6, Tx, ""},         {20, Sb, "Seff"},    {25, Pu, "Pknd"},
      {26, Pu, "Plib"},    {27, Pu, "Popa"},    {28, Pu, "Pmod"},    {29, Pu, "Pblu"},    {31, Sl, "Site", 1, 64},
      {34, Sl, "Sstp", 0, 255}, {37, Sl, "Scyc", 20, 2000}, {40, Sl, "Sbai", 4, 255}, {32, Ed, ""}, {35, Ed, ""},
      {38, Ed, ""},        {41, Ed, ""},        {42, Ed, ""},        {44, Ed, ""},        {46, Ed, ""},
      {48, Ed, ""},        {50, Ed, ""},        {52, Ed, ""},        {53, Ar, "Lre0"},    {54, Ar, "Lre1"},
      {55, Ar, "Lre2"},    {56, Ar, "Lre3"},    {57, Ar, "Lim0"},    {58, Ar, "Lim1"},    {59, Ar, "Lim2"},
      {60, Ar, "Lim3"},    {61, Sl, "Szoo", -100, 99}, {62, Tx, ""},   {63, Tx, ""}};
  ASSERT_EQ(rows.size(), 39u);
  Check("OrrFract", "Orlf", rows, {"ok  ", "canc", "Bres", "Bloa", "Bsav", "Badj", "Bvig", "Binv", "Badd"},
        {"com.vellmarkstead.orrl.HIima", "com.vellmarkstead.orrl.HIvig", "com.vellmarkstead.orrl.HIss1",
         "com.vellmarkstead.orrl.HIss2", "com.vellmarkstead.orrl.HIss3"});
  EXPECT_TRUE(Zoomable("OrrFract"));
  const NibWindow w = ReadNib("OrrFract");
  EXPECT_EQ(w.byId.at(25).front().items, 31);
  EXPECT_EQ(w.byId.at(27).front().items, 11);
  EXPECT_EQ(w.byId.at(29).front().items, 11);
  // The digit arrows leave room for many steps either way.
  for (int id : {53, 54, 55, 56, 57, 58, 59, 60}) EXPECT_LE(w.byId.at(id).front().minimum, -10000) << id;
}

TEST(FractalRepeatNibChecklist, CasRep) {
  // The 39 controls of the dialog; the five copy popups send one command
  // per item.
  const std::vector<Row> rows = {
      {8, Ed, ""},          {9, Ed, ""},          {13, Pu, "Plib"},     {16, Cb, "Cgrd"},     {17, Cb, "Ccol"},
      {18, V, ""},          {19, Rg, "Rbvp"},     {21, Tx, ""},         {22, Cb, "Cmsk"},     {24, Ed, ""},
      {25, Cb, "Cact"},     {27, Sb, "Soff", -100, 100}, {28, Ed, ""}, {29, Sb, "Sopa", 0, 100}, {32, Ed, ""},
      {35, Ed, ""},         {33, Ed, ""},         {37, Ed, ""},         {38, Bt, "Bac0"},     {39, Bt, "Bac1"},
      {40, Bt, "Bac2"},     {41, Bt, "Bac3"},     {42, Bt, "Bac4"},     {43, Bt, "Bac5"},     {44, Bt, "Bac6"},
      {45, Bt, "Bac7"},     {46, Cb, "Call"},     {49, Pu, "Pmsk"},     {50, Pu, "Pmod"},     {56, Rb, "Rver"},
      {57, Rb, "Rhor"},     {59, Cb, "Ceff"},     {10, Tx, ""},         {51, Pu, ""},         {52, Pu, ""},
      {53, Pu, ""},         {54, Pu, ""},         {55, Pu, ""},         {58, Tx, ""}};
  ASSERT_EQ(rows.size(), 39u);
  Check("CasRep", "Prep", rows, {"ok  ", "canc", "Bres", "Bloa", "Bsav", "Bbrw", "Bran"},
        {"com.vellmarkstead.crep.HIima", "com.vellmarkstead.crep.HIori"});
  EXPECT_TRUE(Zoomable("CasRep"));
  const NibWindow w = ReadNib("CasRep");
  EXPECT_EQ(w.byId.at(49).front().items, 3);
  EXPECT_EQ(w.byId.at(50).front().items, 12);
  QFile file(QString::fromStdString(std::string(VMK_SOURCE_DIR) + "/resources/nib/CasRep.ui"));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray text = file.readAll();
  for (const char* family : {"Por", "Pof", "Psk", "Pms", "Pmo"}) {
    const std::string f = family;
    const std::string cmds = f + "1," + f + "2," + f + "3," + f + "4";
    EXPECT_TRUE(text.contains(QByteArray::fromStdString("<string>" + cmds + "</string>"))) << family;
  }
}

}  // namespace
