// Reads the image picker's and the combine-images windows of the bundle's nib
// and checks every control the dialogs look up: its signature and number,
// its kind and its command, against the tables of the dialogs' design.
#include <gtest/gtest.h>

#include <QFile>
#include <QXmlStreamReader>

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

struct NibControl {
  std::string kind;
  std::string cmd;
  std::string classId;
  std::vector<std::string> items;
  std::vector<std::string> pages;
  int minimum = 0;
  int maximum = 99;
};

struct Window {
  std::map<std::pair<std::string, int>, std::vector<NibControl>> bySigId;
  std::multiset<std::string> commands;
  bool resizable = false;
};

Window Read(const std::string& name) {
  Window w;
  QFile file(QString::fromStdString(std::string(VMK_SOURCE_DIR) + "/resources/nib/" + name + ".ui"));
  EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
  QXmlStreamReader xml(&file);
  std::vector<NibControl> stack;
  std::vector<std::pair<std::string, int>> keys;
  std::string property;
  bool inItem = false, inAttribute = false;
  while (!xml.atEnd()) {
    xml.readNext();
    if (xml.isStartElement() && xml.name() == u"widget") {
      stack.push_back({xml.attributes().value("class").toString().toStdString(), "", "", {}, {}});
      keys.push_back({"", -1});
    } else if (xml.isStartElement() && xml.name() == u"item") {
      inItem = true;
    } else if (xml.isEndElement() && xml.name() == u"item") {
      inItem = false;
    } else if (xml.isStartElement() && xml.name() == u"attribute") {
      inAttribute = true;
    } else if (xml.isEndElement() && xml.name() == u"attribute") {
      inAttribute = false;
    } else if (xml.isStartElement() && xml.name() == u"property") {
      property = xml.attributes().value("name").toString().toStdString();
    } else if (xml.isStartElement() && !stack.empty() &&
               (xml.name() == u"string" || xml.name() == u"number" || xml.name() == u"bool")) {
      const std::string v = xml.readElementText().toStdString();
      if (inAttribute) {
        // A tab page's title belongs to the tab widget that holds the page.
        if (stack.size() >= 2) stack[stack.size() - 2].pages.push_back(v);
        continue;
      }
      NibControl& c = stack.back();
      if (inItem) {
        c.items.push_back(v);
        continue;
      }
      if (property == "sig") keys.back().first = v;
      if (property == "cmd") c.cmd = v;
      if (property == "classId") c.classId = v;
      if (property == "id") keys.back().second = std::stoi(v);
      if (property == "minimum") c.minimum = std::stoi(v);
      if (property == "maximum") c.maximum = std::stoi(v);
      if (property == "resizable" && stack.size() == 1) w.resizable = v == "true";
    } else if (xml.isEndElement() && xml.name() == u"widget") {
      if (keys.back().second >= 0) {
        w.bySigId[keys.back()].push_back(stack.back());
        if (!stack.back().cmd.empty()) w.commands.insert(stack.back().cmd);
      } else if (!stack.back().cmd.empty()) {
        ADD_FAILURE() << name << ": a control with a command but no number";
      }
      stack.pop_back();
      keys.pop_back();
    }
  }
  EXPECT_FALSE(xml.hasError()) << name;
  return w;
}

struct Row {
  const char* sig;
  int id;
  const char* kind;
  const char* cmd;
};

constexpr const char* V = "VmkCustomView";
constexpr const char* Tx = "QLabel";
constexpr const char* Pu = "QComboBox";
constexpr const char* Cb = "QCheckBox";
constexpr const char* Sb = "QScrollBar";
constexpr const char* Gr = "QGroupBox";
constexpr const char* Bt = "QPushButton";
constexpr const char* Tab = "QTabWidget";

const NibControl& Control(const Window& w, const Row& r) {
  static const NibControl none;
  auto it = w.bySigId.find({r.sig, r.id});
  if (it == w.bySigId.end() || it->second.size() != 1) {
    ADD_FAILURE() << "control " << r.sig << " " << r.id;
    return none;
  }
  return it->second.front();
}

void Check(const Window& w, const std::vector<Row>& rows) {
  for (const Row& r : rows) {
    const NibControl& c = Control(w, r);
    EXPECT_EQ(c.kind, r.kind) << r.sig << " " << r.id;
    EXPECT_EQ(c.cmd, r.cmd) << r.sig << " " << r.id;
  }
}

TEST(PhotoNibChecklist, LoadIma) {
  const Window w = Read("LoadIma");
  std::vector<Row> rows;
  for (int k = 0; k < 15; ++k) {
    rows.push_back({"Leff", 4 + k, V, ""});
    rows.push_back({"Lima", 26 + k, Tx, ""});
  }
  rows.push_back({"Lima", 22, Sb, "Scli"});
  rows.push_back({"Lima", 23, Pu, "Pcat"});
  rows.push_back({"Lima", 24, Pu, "Pnam"});
  EXPECT_EQ(rows.size(), 33u);
  rows.push_back({"Lima", 4, Gr, ""});
  Check(w, rows);
  for (int k = 0; k < 15; ++k)
    EXPECT_EQ(Control(w, {"Leff", 4 + k, V, ""}).classId,
              "com.vellmarkstead.lima.HIima" + std::to_string(k));
  for (const char* cmd : {"ok  ", "canc", "Bupd", "Bloa", "Scli", "Pcat", "Pnam"})
    EXPECT_EQ(w.commands.count(cmd), 1u) << cmd;
}

TEST(PhotoNibChecklist, CombIma) {
  const Window w = Read("CombIma");
  const std::vector<Row> rows = {
      {"Cima", 9, V, ""},       {"Cima", 11, V, ""},      {"Cima", 13, V, ""},
      {"Cima", 10, Tx, ""},     {"Cima", 12, Tx, ""},     {"Cima", 51, Tx, ""},
      {"Cima", 48, Cb, "Chk1"}, {"Cima", 49, Cb, "Chk2"}, {"Cima", 50, Cb, "Chk3"},
      {"Cima", 8, V, ""},       {"Cima", 31, V, ""},      {"Cima", 45, V, ""},
      {"Cima", 23, Sb, "Sedg"}, {"Cima", 29, Tx, ""},     {"Cima", 28, Tx, ""},
      {"Cima", 1, Tab, "Tbch"}, {"Cima", 46, Gr, ""},     {"Cima", 52, Cb, "Cqua"},
      {"Cima", 47, Pu, "Plib"}, {"Cima", 33, Pu, "Pcat"}, {"Cima", 34, Pu, "Pnam"},
      {"Cima", 15, Tx, ""},     {"Cima", 17, Bt, "Bupd"}, {"Cima", 16, Tx, ""},
      {"Cima", 39, Cb, "Cact"}, {"Cima", 35, Pu, "Play"}, {"Cima", 36, Pu, "Popa"},
      {"Cima", 38, Pu, "Pblu"}, {"Cima", 37, Pu, "Pmod"}, {"Cima", 40, Pu, "Pedg"},
      {"Cima", 41, Pu, "Pbvh"}, {"Cima", 43, Pu, "Pbva"}, {"Cima", 42, Pu, "Ptxh"},
      {"Cima", 44, Pu, "Ptxv"}};
  EXPECT_EQ(rows.size(), 34u);
  Check(w, rows);
  EXPECT_TRUE(w.resizable);
  EXPECT_EQ(Control(w, rows[0]).classId, "com.vellmarkstead.cima.HIss0");
  EXPECT_EQ(Control(w, rows[2]).classId, "com.vellmarkstead.cima.HIss2");
  EXPECT_EQ(Control(w, {"Cima", 8, V, ""}).classId, "com.vellmarkstead.cima.HIima");
  EXPECT_EQ(Control(w, {"Cima", 31, V, ""}).classId, "com.vellmarkstead.cima.HIvig");
  EXPECT_EQ(Control(w, {"Cima", 45, V, ""}).classId, "com.vellmarkstead.cima.HIcol");
  // The tab: page 1 presets, page 2 library.
  EXPECT_EQ(Control(w, {"Cima", 1, Tab, ""}).pages, (std::vector<std::string>{"Presets", "Library"}));
  // Opacity: items 1 to 11 are 0 to 100 %.
  const std::vector<std::string> opacity = Control(w, {"Cima", 36, Pu, ""}).items;
  ASSERT_EQ(opacity.size(), 11u);
  EXPECT_EQ(opacity.front(), "0%");
  EXPECT_EQ(opacity.back(), "100%");
  // Texture popups: 1 none, 2 choose a file, 3 + k index k; across 1 + k.
  const std::vector<std::string> across = Control(w, {"Cima", 42, Pu, ""}).items;
  ASSERT_GE(across.size(), 13u);
  EXPECT_EQ(across[12], "10");
  const std::vector<std::string> down = Control(w, {"Cima", 44, Pu, ""}).items;
  ASSERT_GE(down.size(), 11u);
  EXPECT_EQ(down[10], "10");
  for (const char* cmd : {"ok  ", "canc", "Badd", "Pop1", "Pop2", "Pop3", "Pop4", "Pop5", "Pop6", "Pop7",
                          "Pop8", "Pop9", "Po10", "Po11", "Bsav", "Bloa", "Bres", "Bedg", "Bvig", "Badj",
                          "Binv", "Bupd"})
    EXPECT_EQ(w.commands.count(cmd), 1u) << cmd;
}

// The per-tile lists: tile k's box and companion in two runs of numbers,
// the image list's choose buttons 30 to 41, the two copy popups.
TEST(PhotoNibChecklist, ImageListAndVignList) {
  const int boxes[12] = {4, 6, 8, 10, 12, 14, 19, 21, 23, 25, 27, 29};
  const int companions[12] = {3, 5, 7, 9, 11, 13, 18, 20, 22, 24, 26, 28};
  const Window images = Read("ImageList");
  const Window ramps = Read("VignList");
  std::vector<Row> imageRows, rampRows;
  std::vector<std::string> chooseCmds, editCmds;
  for (int k = 0; k < 12; ++k) {
    chooseCmds.push_back(k < 10 ? "Bim" + std::to_string(k) : "Bi" + std::to_string(k));
    editCmds.push_back(k < 10 ? "Lvi" + std::to_string(k) : "Lv" + std::to_string(k));
  }
  for (int k = 0; k < 12; ++k) {
    imageRows.push_back({"Lima", boxes[k], V, ""});
    imageRows.push_back({"Lima", companions[k], Tx, ""});
    imageRows.push_back({"Lima", 30 + k, Bt, chooseCmds[k].c_str()});
    rampRows.push_back({"Livi", boxes[k], V, ""});
    rampRows.push_back({"Livi", companions[k], Bt, editCmds[k].c_str()});
  }
  for (std::vector<Row>* rows : {&imageRows, &rampRows}) {
    const char* sig = rows == &imageRows ? "Lima" : "Livi";
    rows->push_back({sig, 15, Pu, ""});
    rows->push_back({sig, 16, Pu, ""});
  }
  EXPECT_EQ(imageRows.size(), 38u);
  EXPECT_EQ(rampRows.size(), 26u);
  Check(images, imageRows);
  Check(ramps, rampRows);
  for (int k = 0; k < 12; ++k) {
    EXPECT_EQ(Control(images, {"Lima", boxes[k], V, ""}).classId,
              "com.vellmarkstead.liim.HIima" + std::to_string(k));
    EXPECT_EQ(Control(ramps, {"Livi", boxes[k], V, ""}).classId,
              "com.vellmarkstead.livi.HIvig" + std::to_string(k));
  }
  for (const Window* w : {&images, &ramps})
    for (const char* cmd : {"ok  ", "canc", "Bcpy"}) EXPECT_EQ(w->commands.count(cmd), 1u) << cmd;
}

TEST(PhotoNibChecklist, QuoTessAndOriIma) {
  constexpr const char* Sl = "QSlider";
  constexpr const char* Ed = "QLineEdit";
  constexpr const char* Rg = "VmkRadioGroup";
  constexpr const char* Iv = "VmkImageView";
  const Window w = Read("QuoTess");
  const std::vector<Row> rows = {
      {"Qtss", 7, Pu, "Plib"},  {"Qtss", 10, V, ""},      {"Qtss", 13, V, ""},      {"Qtss", 14, Tx, ""},
      {"Qtss", 44, Iv, ""},     {"Qtss", 45, Cb, "Ceff"}, {"Qtss", 11, Cb, "Cgrd"}, {"Qtss", 12, Pu, "Pknd"},
      {"Qtss", 15, Cb, "Cmsk"}, {"Qtss", 17, Sl, "Shue"}, {"Qtss", 18, Ed, ""},     {"Qtss", 20, Sl, "Ssat"},
      {"Qtss", 21, Ed, ""},     {"Qtss", 23, Sl, "Sval"}, {"Qtss", 24, Ed, ""},     {"Qtss", 26, Sl, "Sofx"},
      {"Qtss", 27, Ed, ""},     {"Qtss", 29, Sl, "Sofy"}, {"Qtss", 30, Ed, ""},     {"Qtss", 31, Cb, "Cact"},
      {"Qtss", 33, Pu, "Ptil"}, {"Qtss", 34, Rg, "Rbvp"}, {"Qtss", 39, Sl, "Sbld"}, {"Qtss", 40, Ed, ""},
      {"Qtss", 41, Pu, "Pmsk"}, {"Qtss", 42, Cb, "Call"}};
  EXPECT_EQ(rows.size(), 26u);
  Check(w, rows);
  EXPECT_TRUE(w.resizable);
  EXPECT_EQ(Control(w, rows[1]).classId, "com.vellmarkstead.qorl.HIima");
  EXPECT_EQ(Control(w, rows[2]).classId, "com.vellmarkstead.qorl.HIori");
  EXPECT_EQ(Control(w, {"Qtss", 12, Pu, ""}).items.size(), 17u);
  for (const char* cmd : {"ok  ", "canc", "Bloa", "Bsav", "Bres", "Bori", "Bbrw", "Bvig", "Pof1", "Pof2", "Pof3"})
    EXPECT_EQ(w.commands.count(cmd), 1u) << cmd;
  const Window o = Read("OriIma");
  Check(o, {{"Oima", 3, V, ""}, {"Oima", 4, Cb, "Cmsk"}, {"Oima", 6, Sl, "Sbld"}, {"Oima", 7, Ed, ""}});
  EXPECT_EQ(Control(o, {"Oima", 3, V, ""}).classId, "com.vellmarkstead.oima.HIima");
  for (const char* cmd : {"ok  ", "canc", "Bres"}) EXPECT_EQ(o.commands.count(cmd), 1u) << cmd;
}

TEST(PhotoNibChecklist, CreaBord) {
  constexpr const char* Sl = "QSlider";
  constexpr const char* Ed = "QLineEdit";
  constexpr const char* Rb = "QRadioButton";
  const Window w = Read("CreaBord");
  // 14, the tile view, is an image box like the preview: the tile's picture is drawn into it.
  const std::vector<Row> rows = {
      {"Cbor", 2, Pu, "Sico"},  {"Cbor", 62, Pu, "Play"}, {"Cbor", 13, Pu, "Psid"}, {"Cbor", 39, Pu, "Pcor"},
      {"Cbor", 27, Pu, "Ptil"}, {"Cbor", 9, Pu, "Plib"},  {"Cbor", 53, Pu, "Pima"}, {"Cbor", 46, Pu, "Pmod"},
      {"Cbor", 33, Pu, "Pmsk"}, {"Cbor", 41, Rb, "Rfil"}, {"Cbor", 40, Rb, "Rvig"}, {"Cbor", 61, Cb, "Clay"},
      {"Cbor", 52, Cb, "Csid"}, {"Cbor", 25, Cb, "Ctil"}, {"Cbor", 67, Cb, "Cal1"}, {"Cbor", 34, Cb, "Cal2"},
      {"Cbor", 66, Cb, "Ceff"}, {"Cbor", 65, Cb, "Cgrd"}, {"Cbor", 26, Tx, ""},     {"Cbor", 30, Tx, ""},
      {"Cbor", 54, Tx, ""},     {"Cbor", 64, Bt, "Bdel"}, {"Cbor", 14, V, ""},      {"Cbor", 12, V, ""},
      {"Cbor", 15, Gr, ""},     {"Cbor", 28, Gr, ""},     {"Cbor", 29, Tx, ""},     {"Cbor", 51, Tx, ""},
      {"Cbor", 63, Tx, ""},     {"Cbor", 31, Sl, "Srep"}, {"Cbor", 32, Ed, ""},     {"Cbor", 37, Sl, "Swid"},
      {"Cbor", 38, Ed, ""},     {"Cbor", 69, Sl, "Sbld"}, {"Cbor", 70, Ed, ""},     {"Cbor", 48, Sl, "Sopa"},
      {"Cbor", 49, Ed, ""},     {"Cbor", 43, Sl, "Sang"}, {"Cbor", 44, Ed, ""},     {"Cbor", 59, Sl, "Saji"},
      {"Cbor", 60, Ed, ""},     {"Cbor", 72, Sl, "Ssiz"}, {"Cbor", 73, Ed, ""},     {"Cbor", 56, Sl, "Ssji"},
      {"Cbor", 57, Ed, ""},     {"Cbor", 17, Sl, "Shue"}, {"Cbor", 18, Ed, ""},     {"Cbor", 20, Sl, "Ssat"},
      {"Cbor", 21, Ed, ""},     {"Cbor", 23, Sl, "Sval"}, {"Cbor", 24, Ed, ""}};
  EXPECT_EQ(rows.size(), 51u);
  Check(w, rows);
  EXPECT_TRUE(w.resizable);
  EXPECT_EQ(Control(w, rows[23]).classId, "com.vellmarkstead.cbor.HIima");
  EXPECT_EQ(Control(w, rows[22]).classId, "com.vellmarkstead.cbor.HIori");
  EXPECT_EQ(Control(w, rows[6]).items.size(), 16u);
  for (const char* cmd : {"ok  ", "canc", "Bloa", "Bsav", "Bres", "Badd", "Bdel", "Bfil", "Bvig"})
    EXPECT_EQ(w.commands.count(cmd), 1u) << cmd;
}

}  // namespace
