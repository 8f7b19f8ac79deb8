// Reads the grid-warp window and its three small windows from the bundle's
// nib and checks every control the dialogs look up: its signature and
// number, its kind and its command, against the tables of the dialogs'
// design; and the commands that have buttons without numbers.
#include <gtest/gtest.h>

#include <QFile>
#include <QXmlStreamReader>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

struct NibControl {
  std::string kind;
  std::string sig;
  std::string cmd;
  std::string classId;
  int minimum = 0;
  int maximum = 99;
  bool checkable = false;
  bool exclusive = true;
  int items = 0;
  int radios = 0;
};

struct Window {
  std::map<int, std::vector<NibControl>> byId;
  std::multiset<std::string> commands;
};

Window Read(const std::string& name) {
  Window w;
  QFile file(QString::fromStdString(std::string(VMK_SOURCE_DIR) + "/resources/nib/" + name + ".ui"));
  EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
  QXmlStreamReader xml(&file);
  std::vector<NibControl> stack;
  std::vector<int> ids;
  std::string property;
  while (!xml.atEnd()) {
    xml.readNext();
    if (xml.isStartElement() && xml.name() == u"widget") {
      const std::string kind = xml.attributes().value("class").toString().toStdString();
      if (!stack.empty() && kind == "QRadioButton") ++stack.back().radios;
      NibControl c;
      c.kind = kind;
      stack.push_back(c);
      ids.push_back(-1);
    } else if (xml.isStartElement() && xml.name() == u"item") {
      if (!stack.empty()) ++stack.back().items;
    } else if (xml.isStartElement() && xml.name() == u"property") {
      property = xml.attributes().value("name").toString().toStdString();
    } else if (xml.isStartElement() && !stack.empty() &&
               (xml.name() == u"string" || xml.name() == u"number" || xml.name() == u"bool")) {
      const std::string v = xml.readElementText().toStdString();
      NibControl& c = stack.back();
      if (property == "sig") c.sig = v;
      if (property == "cmd") c.cmd = v;
      if (property == "classId") c.classId = v;
      if (property == "id") ids.back() = std::stoi(v);
      if (property == "minimum") c.minimum = std::stoi(v);
      if (property == "maximum") c.maximum = std::stoi(v);
      if (property == "checkable") c.checkable = v == "true";
      if (property == "autoExclusive") c.exclusive = v == "true";
    } else if (xml.isEndElement() && xml.name() == u"widget") {
      if (ids.back() >= 0) {
        w.byId[ids.back()].push_back(stack.back());
        if (!stack.back().cmd.empty()) w.commands.insert(stack.back().cmd);
      }
      stack.pop_back();
      ids.pop_back();
    }
  }
  EXPECT_FALSE(xml.hasError()) << name;
  return w;
}

struct Row {
  int id;
  const char* kind;
  const char* cmd;
};

constexpr const char* V = "VmkCustomView";
constexpr const char* Ind = "VmkIndicator";
constexpr const char* Rad = "VmkRadioGroup";
constexpr const char* Solo = "QRadioButton";
constexpr const char* Sl = "QSlider";
constexpr const char* Ed = "QLineEdit";
constexpr const char* Tx = "QLabel";
constexpr const char* Pu = "QComboBox";
constexpr const char* Cb = "QCheckBox";
constexpr const char* Gr = "QGroupBox";
constexpr const char* Bt = "QPushButton";

const NibControl& Check(const Window& w, const std::string& sig, const Row& r) {
  static const NibControl kNone;
  auto it = w.byId.find(r.id);
  EXPECT_NE(it, w.byId.end()) << "control " << r.id;
  if (it == w.byId.end()) return kNone;
  EXPECT_EQ(it->second.size(), 1u) << "control " << r.id;
  const NibControl& c = it->second.front();
  EXPECT_EQ(c.sig, sig) << r.id;
  EXPECT_EQ(c.kind, r.kind) << r.id;
  EXPECT_EQ(c.cmd, r.cmd) << r.id;
  return c;
}

// The 46 controls the grid-warp dialog looks up, the navigator the
// application object holds, and the commands of its buttons without numbers.
TEST(NibChecklist, Gridmain) {
  const Window w = Read("Gridmain");
  const std::vector<Row> rows = {
      {1, Gr, ""},       {18, Tx, ""},      {7, Pu, "Popa"},   {44, Cb, "Copa"},  {19, Ed, ""},
      {56, Sl, "Sopa"},  {8, Tx, ""},       {21, Tx, ""},      {22, Tx, ""},      {59, Tx, ""},
      {60, Tx, ""},      {9, V, ""},        {11, Tx, ""},      {13, Sl, "Span"},  {24, Bt, "Bdiv"},
      {25, Bt, "Bmul"},  {14, Ind, ""},     {20, Ind, ""},     {23, Solo, "Bac0"}, {30, Solo, "Bac1"},
      {31, Solo, "Bac2"}, {32, Solo, "Bac3"}, {33, Solo, "Bac4"}, {34, Solo, "Bac5"}, {35, Solo, "Bac6"},
      {36, Solo, "Bac7"}, {37, Solo, "Bac8"}, {38, Solo, "Bac9"}, {17, Ed, ""},      {55, Sl, "Ssmo"},
      {42, Cb, "Csmo"},  {27, Pu, "Pgrd"},  {28, Tx, ""},      {29, Cb, "Cmsk"},  {39, Solo, "Bgin"},
      {47, Solo, "Bgou"}, {49, Bt, "Bsin"}, {50, Bt, "Bsou"},  {48, Bt, "Blnk"},  {53, Cb, "Cgrd"},
      {54, Bt, "Badd"},  {57, Bt, "Bdel"},  {40, Cb, "Cprv"},  {41, Cb, "Cupd"},  {58, Bt, "Bupd"},
      {61, Pu, "Plib"}};
  ASSERT_EQ(rows.size(), 46u);
  for (const Row& r : rows) {
    const NibControl& c = Check(w, "Grid", r);
    // Radio buttons of their own: the dialog alone decides which is on.
    if (c.kind == Solo) {
      EXPECT_FALSE(c.exclusive) << r.id;
    }
    // The show and link buttons hold their state.
    if (r.id == 49 || r.id == 50 || r.id == 48) {
      EXPECT_TRUE(c.checkable) << r.id;
    }
  }
  EXPECT_EQ(w.byId.at(9).front().classId, "com.vellmarkstead.grid.HIima");
  ASSERT_EQ(w.byId.count(10), 1u);
  EXPECT_EQ(w.byId.at(10).front().classId, "com.vellmarkstead.grid.HIpan");
  EXPECT_EQ(w.byId.at(13).front().minimum, 0);
  EXPECT_EQ(w.byId.at(13).front().maximum, 200);
  for (const char* cmd : {"ok  ", "canc", "Bres", "Bloa", "Bsav", "Cred", "Cgre", "Cblu", "Bfpa", "Bsc1", "Bino",
                          "Boui", "Bdiv", "Bmul"})
    EXPECT_EQ(w.commands.count(cmd), 1u) << cmd;
}

TEST(NibChecklist, GridCreate) {
  const Window w = Read("GridCreate");
  const NibControl& group = Check(w, "Gcre", {3, Rad, "Rgrd"});
  EXPECT_EQ(group.radios, 3);  // values 1 to 3
  for (const Row& r : std::vector<Row>{{8, Ed, ""}, {9, Ed, ""}, {6, Tx, ""}, {7, Tx, ""}}) Check(w, "Gcre", r);
  for (const char* cmd : {"ok  ", "canc"}) EXPECT_EQ(w.commands.count(cmd), 1u) << cmd;
}

TEST(NibChecklist, GridReset) {
  const Window w = Read("GridReset");
  EXPECT_EQ(Check(w, "Gres", {3, Pu, ""}).items, 2);  // all grids, the current grid
  EXPECT_EQ(Check(w, "Gres", {4, Pu, ""}).items, 3);  // in, out, both
  for (const char* cmd : {"ok  ", "canc"}) EXPECT_EQ(w.commands.count(cmd), 1u) << cmd;
}

TEST(NibChecklist, GridBell) {
  const Window w = Read("GridBell");
  EXPECT_EQ(Check(w, "Gbel", {2, Pu, ""}).items, 2);  // the bell values 0 and 1, + 1
  for (const char* cmd : {"ok  ", "canc"}) EXPECT_EQ(w.commands.count(cmd), 1u) << cmd;
}

}  // namespace
